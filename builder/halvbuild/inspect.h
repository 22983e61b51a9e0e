// Reading an installer file back: what `halvbuild inspect` prints and checks.
//
// inspectInstaller checks the container and the checksum with the
// installer's own package reader, then walks the whole package: header,
// directories, every file record with its sizes, the uninstaller record, the
// shortcuts, the program group and the closing strings, and checks that the
// closing strings end exactly where the trailer begins. With a folder to
// verify against it also expands every stream and compares it byte for byte
// with the file at the same place under that folder (directory entries taken
// as subfolders; the uninstaller is compared when the folder holds one).
//
// Threads: the package's decompressor has process-wide working storage, so
// only one inspection may run at a time. Memory: nothing outlives the call.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

struct InspectResult {
    uint32_t fileCount = 0;
    uint32_t differences = 0;    // files that are missing, differ or do not expand
};

// Prints the contents of the installer at path to out (package strings as
// UTF-8). verifyFolder empty: no expansion. Throws BuildError when the file
// cannot be read or is not a sound installer (trailer, checksum, header,
// records, lists, or bytes left before the trailer); differences found by
// the verification are printed and counted, not thrown.
InspectResult inspectInstaller(const std::string& path, const std::string& verifyFolder, FILE* out);
