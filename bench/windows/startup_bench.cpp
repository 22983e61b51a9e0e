// Measures an installer under Wine, for scripts/bench (not a test).
//   startup_bench.exe INSTALLER DESTINATION
//     one of ours, driven like a user would with every option off: the time
//     from starting it to its first painted window (the integrity check reads
//     the whole file first), the time of the installation, and the process's
//     peak working set.
//   startup_bench.exe --silent INSTALLER [ARGUMENT...]
//     any installer that runs unattended: the time from its start to its exit
//     and its peak working set, sampled every 5 ms while it runs.
#include "driver.h"
#include "support/files.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>

using namespace e2e;

namespace {

LARGE_INTEGER now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter;
}

double ms(const LARGE_INTEGER& to, const LARGE_INTEGER& from) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

// The peak working set so far in MB, or -1 when the process cannot be asked.
double peakMegabytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return -1;
    return (double)counters.PeakWorkingSetSize / 1e6;
}

int driveOurs(const char* installer, const char* destination) {
    test_files::removeTree(destination);
    const LARGE_INTEGER start = now();
    Installer run(installer);
    if (!run.waitForWindow(120000)) return 1;
    const LARGE_INTEGER shown = now();
    if (run.text(run.rightButton()) == "I Agree") run.click(run.rightButton());
    run.typeDestination(std::string(destination) + "\\");
    run.click(run.rightButton());
    if (!run.waitForButton(run.rightButton(), "Next", 600000)) return 1;
    const LARGE_INTEGER done = now();
    // The extraction is the busiest part; the high-water mark holds it.
    const double peak = peakMegabytes(run.handle());
    run.click(run.rightButton());
    for (int i = 0; i < 5; ++i)
        if (HWND box = run.optionBox(i); box && IsWindowVisible(box)) test_windows::sendBounded(box, BM_CLICK, 0, 0);
    run.click(run.rightButton());
    run.waitForExit();
    std::printf("first window: %.0f ms\ninstallation (Install pressed to Next enabled): %.0f ms\n"
                "peak working set: %.1f MB\n",
                ms(shown, start), ms(done, shown), peak);
    return 0;
}

int runSilent(int count, char** arguments) {
    std::string commandLine = std::string("\"") + arguments[0] + "\"";
    for (int i = 1; i < count; ++i) commandLine += std::string(" ") + arguments[i];
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const LARGE_INTEGER start = now();
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %s\n", arguments[0]);
        return 1;
    }
    double peak = -1;
    while (WaitForSingleObject(info.hProcess, 5) == WAIT_TIMEOUT) {
        const double sample = peakMegabytes(info.hProcess);
        if (sample > peak) peak = sample;
    }
    const LARGE_INTEGER end = now();
    DWORD code = 1;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    std::printf("run to exit: %.0f ms (exit code %lu)\npeak working set: %.1f MB\n", ms(end, start),
                (unsigned long)code, peak);
    return code == 0 ? 0 : 1;
}

}  // namespace

int main(int argumentCount, char** arguments) {
    if (argumentCount >= 3 && std::strcmp(arguments[1], "--silent") == 0)
        return runSilent(argumentCount - 2, arguments + 2);
    if (argumentCount != 3) {
        std::fprintf(stderr, "usage: startup_bench INSTALLER DESTINATION\n"
                             "       startup_bench --silent INSTALLER [ARGUMENT...]\n");
        return 2;
    }
    return driveOurs(arguments[1], arguments[2]);
}
