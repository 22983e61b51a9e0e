// Reading the package's integers, shared by the readers of this folder only.
// Any thread; works on the caller's FILE. Portable: no platform headers.
#pragma once

#include <stdint.h>
#include <stdio.h>

// Reads a little-endian u32, assembled from bytes so that the host's byte
// order does not matter. Returns 1, or 0 when the file ends first.
static inline int readU32(FILE* file, uint32_t* value) {
    unsigned char bytes[4];
    if (fread(bytes, 1, 4, file) != 4) return 0;
    *value = (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
             (uint32_t)bytes[3] << 24;
    return 1;
}
