#include "halvbuild/progress.h"

#include "halvbuild/platform.h"

namespace {

constexpr int kBarWidth = 30;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void drawBar(ProgressReporter* reporter) {
    const double fraction = reporter->totalBytes == 0 ? (reporter->totalFiles == 0 ? 1.0 : (double)reporter->filesDone / reporter->totalFiles)
                                                      : (double)reporter->bytesDone / (double)reporter->totalBytes;
    const int filled = (int)(fraction * kBarWidth);
    const double seconds = secondsSince(reporter->started);
    const double rate = seconds > 0 ? reporter->bytesDone / seconds : 0;
    printText(reporter->out, "\r[%.*s%*s] %u/%u files  %s of %s  %s/s   ", filled,
            "##############################", kBarWidth - filled, "", (unsigned)reporter->filesDone,
            (unsigned)reporter->totalFiles, byteText(reporter->bytesDone).c_str(),
            byteText(reporter->totalBytes).c_str(), byteText((uint64_t)rate).c_str());
    fflush(reporter->out);
    reporter->lastDrawn = std::chrono::steady_clock::now();
}

}  // namespace

std::string byteText(uint64_t bytes) {
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
    if (bytes < 1000) return std::to_string(bytes) + " bytes";
    // Tenths rounded in integers: C runtimes round a half of "%.1f"
    // differently, and halvbuild prints the same on every system.
    uint64_t scale = 1000;
    int unit = 0;
    while (unit < 3 && bytes / scale >= 1000) scale *= 1000, ++unit;
    const uint64_t tenths = (bytes + scale / 20) / (scale / 10);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

ProgressStyle progressStyleFor(FILE* out, bool quiet) {
    if (quiet) return ProgressStyle::Quiet;
    return isConsole(out) ? ProgressStyle::Bar : ProgressStyle::Lines;
}

void progressStart(ProgressReporter* reporter, ProgressStyle style, FILE* out, uint32_t totalFiles,
                   uint64_t totalBytes) {
    *reporter = ProgressReporter();
    reporter->style = style;
    reporter->out = out;
    reporter->totalFiles = totalFiles;
    reporter->totalBytes = totalBytes;
    reporter->started = std::chrono::steady_clock::now();
    if (style == ProgressStyle::Bar) drawBar(reporter);
}

void progressFile(ProgressReporter* reporter, const std::string& name, uint64_t size, uint64_t compressedSize) {
    ++reporter->filesDone;
    reporter->bytesDone += size;
    if (reporter->style == ProgressStyle::Lines) {
        printText(reporter->out, "%u/%u %s %llu -> %llu\n", (unsigned)reporter->filesDone,
                (unsigned)reporter->totalFiles, name.c_str(), (unsigned long long)size,
                (unsigned long long)compressedSize);
    } else if (reporter->style == ProgressStyle::Bar &&
               std::chrono::steady_clock::now() - reporter->lastDrawn > std::chrono::milliseconds(100)) {
        drawBar(reporter);
    }
}

void progressFinish(ProgressReporter* reporter) {
    if (reporter->style != ProgressStyle::Bar) return;
    drawBar(reporter);
    printText(reporter->out, "\n");
}
