// The installer reads its own file's trailer and header before anything
// else; the input is the whole installer file.
#include <string.h>

#include "fuzz_support.h"
#include "package/package_format.h"

static void requireTerminated(const char* text, size_t capacity) {
    if (!memchr(text, '\0', capacity)) __builtin_trap();
}

static PackageHeader header;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = writeScratchFile(data, size);
    if (size >= kTrailerBytes) computeFileChecksum(path, (uint32_t)size - 4, checksumSeed);
    if (!readPackageHeader(path, &header)) return 0;
    // What the installer relies on once the reader said yes.
    if (header.directoryCount > kMaxDirectories) __builtin_trap();
    if ((uint64_t)header.packageOffset + header.packageSize + kTrailerBytes != size) __builtin_trap();
    if ((uint64_t)fileTableOffset(&header) > (uint64_t)header.packageOffset + header.packageSize)
        __builtin_trap();
    requireTerminated(header.installerTitle, sizeof header.installerTitle);
    requireTerminated(header.defaultFolderName, sizeof header.defaultFolderName);
    requireTerminated(header.displayName, sizeof header.displayName);
    requireTerminated(header.licenceText, sizeof header.licenceText);
    for (uint32_t i = 0; i < header.directoryCount; ++i)
        requireTerminated(header.directories[i], sizeof header.directories[i]);
    return 0;
}
