// Progress of a build as the publisher sees it.
//
// On a terminal one line is redrawn in place: a bar, files done of all,
// bytes done of all and the rate. Anywhere else (a log, a pipe) each packed
// file gets one plain line. Quiet prints nothing at all. Only the thread
// that writes the installer calls a reporter.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <chrono>
#include <string>

enum class ProgressStyle { Quiet, Lines, Bar };

struct ProgressReporter {
    ProgressStyle style = ProgressStyle::Quiet;
    FILE* out = nullptr;
    uint32_t totalFiles = 0;
    uint64_t totalBytes = 0;
    uint32_t filesDone = 0;
    uint64_t bytesDone = 0;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastDrawn;
};

// Bar when out is a terminal, else Lines; Quiet when quiet is set.
ProgressStyle progressStyleFor(FILE* out, bool quiet);

// Starts reporting on out for a build of totalFiles files of totalBytes bytes.
void progressStart(ProgressReporter* reporter, ProgressStyle style, FILE* out, uint32_t totalFiles,
                   uint64_t totalBytes);

// One file was written: name as installed, its size and its stream's size.
void progressFile(ProgressReporter* reporter, const std::string& name, uint64_t size, uint64_t compressedSize);

// Ends the bar's line (the bar is drawn complete first).
void progressFinish(ProgressReporter* reporter);

// "12.3 MB" style text for a byte count (decimal units, one decimal).
std::string byteText(uint64_t bytes);
