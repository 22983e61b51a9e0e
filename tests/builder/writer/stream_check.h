// Test helpers for the writer's tests: expanding a stream the way the
// installer does, and files in the test's temporary folder.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Expands stream to uncompressedSize bytes through the installer's
// expandStream (via files in the temporary folder, as the installer reads
// its own file). Fails the current test and returns what was produced when
// the expansion reports failure or does not stop at the stream's end.
std::vector<uint8_t> expandThroughInstaller(const std::vector<uint8_t>& stream,
                                            size_t uncompressedSize);

// A path in the test's temporary folder, distinct per name.
std::string tempPath(const std::string& name);

// Writes bytes to path; fails the current test when it cannot.
void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The bytes of the file at path; empty when it cannot be opened.
std::vector<uint8_t> readWholeFile(const std::string& path);
