// Byte counts as short texts with binary units ("1.50 KB", "10.00 GB").
//
// Any thread may call these. formatSize returns a new 256-byte block that the
// caller releases with freeBlock. Portable: no platform headers.
#pragma once

#include <stdint.h>

// Text for the byte count (high:low), truncated (never rounded) to two
// decimals: "<n> bytes" up to 1024, then KB, MB, GB, TB each above its
// threshold. Returns a new zero-filled 256-byte block, or null when it could
// not be allocated.
char* formatSize(uint32_t low, uint32_t high);

// Overwrites text with value, truncated (never rounded) to two decimals
// whatever precision the floating-point unit runs at, followed by unit; text
// must hold the result. Returns 1.
int formatUnitValue(float value, char* text, const char* unit);

enum BuildStringKind {
    BUILD_END = 0,    // ends the list of pairs
    BUILD_TEXT = 1,   // value: const char*
    BUILD_INT = 3,    // value: int, written as signed decimal
};

// Assembles *text from (kind, value) pairs ended by BUILD_END. With capacity
// above 0 a new zero-filled block of that size is stored at *text first; with
// capacity 0 the block already there is reused. The caller guarantees that the
// result fits. Returns 1.
int buildString(char** text, int capacity, ...);
