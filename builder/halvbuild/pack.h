// Packing: turns a planned product into the installer file.
//
// The output is written to a pending file beside it and moved into place in
// one step only when it is complete, so a failed or interrupted build never
// leaves half an installer or its pending file (an older file of that name
// stays as it was; see PendingOutput in platform.h). Files are read and
// compressed on several threads, but only a bounded window of them is in
// memory at once: at most two per thread and kInFlightBytes of input
// (a larger file runs alone), written in package order as they complete. The
// same inputs give the same bytes on every run, on any number of threads.
//
// Threads: call from one thread; packInstaller starts and joins its own
// workers. Memory: nothing outlives the call.
#pragma once

#include <stdint.h>

#include <string>

#include "halvbuild/manifest.h"
#include "halvbuild/progress.h"

// Input bytes that may be in flight (read, being compressed or waiting to be
// written) at once.
constexpr uint64_t kInFlightBytes = 64ull << 20;

struct PackOptions {
    std::string outputPath;
    std::string installerProgram;     // the installer.exe the package is appended to
    std::string uninstallerProgram;   // the program packed as HalvUninstaller.exe
    unsigned threads = 0;             // 0: one per core
    ProgressStyle progress = ProgressStyle::Quiet;
    FILE* progressOut = nullptr;      // where progress goes (stderr when null)
};

struct PackResult {
    uint32_t fileCount = 0;
    uint64_t productBytes = 0;        // sum of the product's file sizes
    uint64_t programBytes = 0;        // the installer program's size
    uint64_t outputBytes = 0;         // the installer file's size
    uint32_t requiredSpace = 0;
};

// Plans the product of manifest (planProduct), packs it and renames the
// result to options.outputPath. Throws BuildError on any failure (the message
// names the manifest line and field where one is at fault); outputPath is
// then left as it was and no pending file remains.
PackResult packInstaller(const Manifest& manifest, const PackOptions& options);
