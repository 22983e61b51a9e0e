// Installing a generated product under Wine beside a plain copy of the same
// tree, and the peak memory of the installing process (a benchmark program,
// not a test).
//
//   engine_install_bench.exe [megabytes...]      (default: 10 100)
//
// For each size the program writes a product tree and its installer file,
// then runs itself once to install it and once to copy the tree, so that
// each figure of peak memory belongs to that step alone.
#include <windows.h>
#include <psapi.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "engine/install_state.h"
#include "engine/setup_messages.h"
#include "engine_harness.h"
#include "support/files.h"
#include "support/package_bytes.h"

namespace {

const size_t fileBytes = 1 << 20;

// Half the files are random bytes, half repetitive text, as a product of
// programs and data files might be.
std::vector<uint8_t> fileContent(size_t index) {
    if (index % 2 == 0) return package_bytes::randomBytes(fileBytes, (uint32_t)index + 1);
    std::vector<uint8_t> text(fileBytes);
    const char* words = "harbour tide coast chart 0123456789 ";
    for (size_t i = 0; i < text.size(); ++i) text[i] = (uint8_t)words[(i * 7 + index + i / 97) % 36];
    return text;
}

void makeProduct(const std::string& root, size_t megabytes) {
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "tree").c_str(), nullptr);
    CreateDirectoryA((root + "tree\\data").c_str(), nullptr);
    InstallerContents spec = basicInstaller();
    for (size_t i = 0; i < megabytes; ++i) {
        FileEntry file{(uint32_t)(i % 2), "file" + std::to_string(i) + ".bin", fileContent(i)};
        test_files::writeFile(root + "tree" + spec.header.directories[file.directoryIndex] + file.name, file.content);
        spec.files.push_back(file);
    }
    writeInstaller(root + "setup.exe", spec);
}

struct Step {
    double seconds;
    double cpuSeconds;
    SIZE_T peakWorkingSet;
    SIZE_T peakPagefile;
};

double processorSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        return (double)(((uint64_t)time.dwHighDateTime << 32) | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

// One line: step, wall seconds, processor seconds of the step, peak working
// set and peak pagefile use of the process.
void report(const char* what, double seconds, double cpuSeconds) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    printf("%s %.3f %.3f %lu %lu\n", what, seconds, cpuSeconds, (unsigned long)counters.PeakWorkingSetSize,
           (unsigned long)counters.PeakPagefileUsage);
}

double now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}

int installStep(const std::string& root) {
    setUpEngineHarness();
    std::string destination = root + "installed\\";
    CreateDirectoryA(destination.c_str(), nullptr);
    loadInstaller(root + "setup.exe", destination);
    double start = now();
    double cpuStart = processorSeconds();
    Report done = runExtraction();
    double seconds = now() - start;
    if (done.first != WM_SETUP_EXTRACTED) return 1;
    report("install", seconds, processorSeconds() - cpuStart);
    return 0;
}

void copyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((from + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            copyTree(from + name + "\\", to + name + "\\");
        } else {
            CopyFileA((from + name).c_str(), (to + name).c_str(), FALSE);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}

int copyStep(const std::string& root) {
    double start = now();
    double cpuStart = processorSeconds();
    copyTree(root + "tree\\", root + "copied\\");
    report("copy", now() - start, processorSeconds() - cpuStart);
    return 0;
}

// Runs this program for one step and reads its figures.
bool runStep(const char* step, const std::string& root, Step* figures) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    // The folder goes without its backslash, which would escape the quotation mark.
    std::string folder = root.substr(0, root.size() - 1);
    std::string command = std::string("\"") + self + "\" --" + step + " \"" + folder + "\"";
    std::string output = root + step + ".txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(file);
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(file);
    FILE* result = fopen(output.c_str(), "r");
    char name[32];
    unsigned long workingSet = 0, pagefile = 0;
    bool read = result && fscanf(result, "%31s %lf %lf %lu %lu", name, &figures->seconds, &figures->cpuSeconds, &workingSet,
                                  &pagefile) == 5;
    if (result) fclose(result);
    figures->peakWorkingSet = workingSet;
    figures->peakPagefile = pagefile;
    return read;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--install") == 0) return installStep(std::string(argv[2]) + "\\");
    if (argc == 3 && strcmp(argv[1], "--copy") == 0) return copyStep(std::string(argv[2]) + "\\");

    std::vector<size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back((size_t)atoi(argv[i]));
    if (sizes.empty()) sizes = {10, 100};
    // MB/s against wall time, and against the step's own processor time
    // (steadier on a busy machine).
    printf("%6s %13s %13s %13s %13s %17s %14s\n", "MB", "install MB/s", "copy MB/s", "install cpu", "copy cpu",
           "peak working set", "peak pagefile");
    for (size_t megabytes : sizes) {
        char temporary[MAX_PATH];
        GetTempPathA(sizeof temporary, temporary);
        std::string root = std::string(temporary) + "halv-install-bench-" + std::to_string(GetCurrentProcessId()) + "\\";
        makeProduct(root, megabytes);
        Step install = {}, copy = {};
        bool ran = runStep("install", root, &install) && runStep("copy", root, &copy);
        test_files::removeTree(root);
        if (!ran) {
            printf("%8u failed\n", (unsigned)megabytes);
            return 1;
        }
        printf("%6u %13.1f %13.1f %13.1f %13.1f %14lu KB %11lu KB\n", (unsigned)megabytes, megabytes / install.seconds,
               megabytes / copy.seconds, megabytes / install.cpuSeconds, megabytes / copy.cpuSeconds,
               (unsigned long)(install.peakWorkingSet / 1024), (unsigned long)(install.peakPagefile / 1024));
    }
    return 0;
}
