#include "fuzz_support.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static char scratchPath[4096];

static void removeScratchFile() {
    if (scratchPath[0]) unlink(scratchPath);
}

const char* writeScratchFile(const uint8_t* data, size_t size) {
    if (!scratchPath[0]) {
        const char* folder = getenv("TMPDIR");
        snprintf(scratchPath, sizeof scratchPath, "%s/halv-fuzz-%ld.bin",
                 folder && folder[0] ? folder : "/tmp", (long)getpid());
        atexit(removeScratchFile);
    }
    FILE* file = fopen(scratchPath, "wb");
    if (!file) abort();
    if (size && fwrite(data, 1, size, file) != size) abort();
    if (fclose(file) != 0) abort();
    return scratchPath;
}

// fmemopen refuses a zero-sized buffer; /dev/null is an empty file that seeks.
FILE* openMemoryFile(const uint8_t* data, size_t size) {
    FILE* file = size ? fmemopen((void*)data, size, "rb") : fopen("/dev/null", "rb");
    if (!file) abort();
    return file;
}

uint32_t takeU32(const uint8_t** data, size_t* size) {
    if (*size < 4) return 0;
    const uint8_t* bytes = *data;
    uint32_t value = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
                     (uint32_t)bytes[3] << 24;
    *data += 4;
    *size -= 4;
    return value;
}
