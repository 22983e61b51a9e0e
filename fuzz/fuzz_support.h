// What the fuzz targets share: the readers under test take a path or a FILE,
// so each input is handed to them as one or the other.
// Each target runs on one thread; the scratch file belongs to the process.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Writes the input to this process's scratch file (named with the process id
// under TMPDIR or /tmp, removed at exit) and returns its path; aborts when the
// file cannot be written, since every later result would be meaningless.
const char* writeScratchFile(const uint8_t* data, size_t size);

// A read-only FILE over the input (an empty input gives an empty file); the
// caller closes it. Aborts when the C library cannot open one.
FILE* openMemoryFile(const uint8_t* data, size_t size);

// Takes a little-endian u32 from the front of the input, or 0 when fewer than
// four bytes are left; advances past what it took.
uint32_t takeU32(const uint8_t** data, size_t* size);
