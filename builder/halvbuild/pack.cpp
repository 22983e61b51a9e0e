#include "halvbuild/pack.h"

#include <stdio.h>

#include <condition_variable>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "halvbuild/ansi_text.h"
#include "halvbuild/build_error.h"
#include "halvbuild/platform.h"
#include "halvbuild/product_layout.h"
#include "halvbuild/uninstaller_data.h"
#include "writer/encoder.h"
#include "writer/package_writer.h"

namespace fs = std::filesystem;

namespace {

// The files between reading and writing. Workers take files in package order
// while the window has room; the writing thread takes each stream in the same
// order and makes room again.
struct Window {
    Window(const std::vector<PlannedFile>& planned, const std::string& manifest, size_t jobs)
        : files(planned), manifestPath(manifest), maxJobs(jobs), streams(planned.size()), ready(planned.size()) {}

    const std::vector<PlannedFile>& files;
    const std::string& manifestPath;
    size_t maxJobs;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<uint8_t>> streams;
    std::vector<char> ready;
    size_t nextToStart = 0;
    size_t written = 0;
    uint64_t inFlight = 0;     // input bytes started and not yet written
    bool stop = false;
    std::exception_ptr error;
};

bool canStart(const Window& window) {
    if (window.nextToStart >= window.files.size() || window.nextToStart >= window.written + window.maxJobs)
        return false;
    return window.inFlight == 0 || window.inFlight + window.files[window.nextToStart].size <= kInFlightBytes;
}

std::vector<uint8_t> compressFile(const PlannedFile& file, const std::string& manifestPath) {
    std::ifstream input(fs::u8path(file.source), std::ios::binary);
    std::vector<uint8_t> content((size_t)file.size);
    if (input) input.read((char*)content.data(), (std::streamsize)content.size());
    if (!input || input.gcount() != (std::streamsize)content.size())
        throw locatedError(manifestPath, file.spot, "\"" + file.shown + "\": cannot read the file, or it shrank");
    if (input.peek() != std::ifstream::traits_type::eof())
        throw locatedError(manifestPath, file.spot, "\"" + file.shown + "\": the file grew while it was packed");
    return encodeStream(content);
}

void compressWorker(Window* window) {
    std::unique_lock<std::mutex> lock(window->mutex);
    for (;;) {
        window->changed.wait(lock, [&] {
            return window->stop || window->nextToStart >= window->files.size() || canStart(*window);
        });
        if (window->stop || window->nextToStart >= window->files.size()) return;
        const size_t index = window->nextToStart++;
        window->inFlight += window->files[index].size;
        lock.unlock();
        std::vector<uint8_t> stream;
        std::exception_ptr failure;
        try {
            stream = compressFile(window->files[index], window->manifestPath);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure) {
            if (!window->error) window->error = failure;
            window->stop = true;
        } else {
            window->streams[index] = std::move(stream);
            window->ready[index] = 1;
        }
        window->changed.notify_all();
    }
}

// Starts the workers; stops and joins them however the writing ends.
struct Workers {
    Window& window;
    std::vector<std::thread> threads;

    Workers(Window& shared, unsigned count) : window(shared) {
        for (unsigned i = 0; i < count; ++i) threads.emplace_back(compressWorker, &window);
    }
    ~Workers() {
        {
            std::lock_guard<std::mutex> lock(window.mutex);
            window.stop = true;
        }
        window.changed.notify_all();
        for (std::thread& thread : threads) thread.join();
    }
};

void writeFiles(PackageWriter* writer, const ProductLayout& layout, const std::string& manifestPath,
                unsigned threads, ProgressReporter* progress) {
    Window window(layout.files, manifestPath, 2 * (size_t)threads);
    Workers workers(window, threads);
    for (size_t i = 0; i < layout.files.size(); ++i) {
        std::vector<uint8_t> stream;
        {
            std::unique_lock<std::mutex> lock(window.mutex);
            window.changed.wait(lock, [&] { return window.ready[i] || window.error; });
            if (window.error) std::rethrow_exception(window.error);
            stream = std::move(window.streams[i]);
        }
        const PlannedFile& file = layout.files[i];
        writer->writeFileRecord(file.directoryIndex, file.name, (uint32_t)file.size, stream);
        progressFile(progress, fromAnsi(layout.header.directories[file.directoryIndex] + file.name), file.size,
                     stream.size());
        {
            std::lock_guard<std::mutex> lock(window.mutex);
            window.inFlight -= file.size;
            ++window.written;
        }
        window.changed.notify_all();
    }
}

void copyProgram(PackageWriter* writer, const std::string& programPath) {
    std::unique_ptr<FILE, int (*)(FILE*)> program(openFile(programPath, "rb"), fclose);
    if (!program) throw BuildError(programPath + ": cannot open the installer program");
    writer->copyProgram(program.get());
    if (writer->offset() == 0) throw BuildError(programPath + ": the installer program is empty");
}

void writeInstaller(FILE* output, const Manifest& manifest, const ProductLayout& layout,
                    const std::vector<uint8_t>& uninstaller, const PackOptions& options, PackResult* result) {
    PackageWriter writer(output);
    copyProgram(&writer, options.installerProgram);
    result->programBytes = writer.offset();
    writer.writeHeader(layout.header);
    ProgressReporter progress;
    progressStart(&progress, options.progress, options.progressOut ? options.progressOut : stderr,
                  (uint32_t)layout.files.size(), layout.productBytes);
    const unsigned cores = std::thread::hardware_concurrency();
    writeFiles(&writer, layout, manifest.path, options.threads ? options.threads : (cores ? cores : 1), &progress);
    writer.writeUninstaller(uninstaller.data(), uninstaller.size());
    writer.writeTrailingData(layout.trailing);
    writer.finish();
    progressFinish(&progress);
    result->outputBytes = writer.offset();
}

}  // namespace

PackResult packInstaller(const Manifest& manifest, const PackOptions& options) {
    ProductLayout layout = planProduct(manifest);
    const std::vector<uint8_t> uninstaller = makeUninstallerBytes(options.uninstallerProgram, layout);
    setRequiredSpace(&layout, uninstaller.size());
    PackResult result;
    result.fileCount = (uint32_t)layout.files.size();
    result.productBytes = layout.productBytes;
    result.requiredSpace = layout.header.requiredSpace;

    PendingOutput output(options.outputPath);
    try {
        writeInstaller(output.file(), manifest, layout, uninstaller, options, &result);
    } catch (const BuildError&) {
        throw;
    } catch (const std::exception& error) {
        throw BuildError(options.outputPath + ": " + error.what());
    }
    output.commit();
    return result;
}
