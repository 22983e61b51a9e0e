#include "util/size_format.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "util/blocks.h"

static const int kSizeTextBytes = 256;

// The hundredths of a fraction of 0 to 1, truncated, from the float's own
// bits: (m / 2^23) * 2^(e - 127) * 100 in integers. Floating-point arithmetic
// here would depend on the precision the x87 unit happens to run at (with 64
// bits, 0.5 / 0.1 comes out just under 5, so 1536 bytes would read 1.49 KB).
static unsigned hundredthsOf(float fraction) {
    uint32_t bits;
    memcpy(&bits, &fraction, sizeof bits);
    const uint32_t exponent = bits >> 23 & 0xFF;
    const uint64_t mantissa = exponent ? (bits & 0x7FFFFFu) | 0x800000u : bits & 0x7FFFFFu;
    const uint32_t shift = 150 - (exponent ? exponent : 1);  // fractions below 1: exponent below 127
    return shift >= 64 ? 0 : (unsigned)(mantissa * 100 >> shift);
}

int formatUnitValue(float value, char* text, const char* unit) {
    // Every figure formatSize produces below 16384 is the value truncated to
    // two decimals; a float holds those values exactly.
    unsigned whole = (unsigned)value;
    unsigned hundredths = hundredthsOf(value - (float)whole);
    sprintf(text, "%u.%u%u%s", whole, hundredths / 10, hundredths % 10, unit);
    return 1;
}

int buildString(char** text, int capacity, ...) {
    if (capacity > 0) allocBlock((void**)text, capacity, 1, 0);
    if (!text || !*text) return 1;
    char* out = *text;
    out[0] = '\0';
    va_list pairs;
    va_start(pairs, capacity);
    for (int kind = va_arg(pairs, int); kind != BUILD_END; kind = va_arg(pairs, int)) {
        if (kind == BUILD_TEXT) {
            strcat(out, va_arg(pairs, const char*));
        } else if (kind == BUILD_INT) {
            sprintf(out + strlen(out), "%d", va_arg(pairs, int));
        }
    }
    va_end(pairs);
    return 1;
}

char* formatSize(uint32_t low, uint32_t high) {
    char* text = nullptr;
    allocBlock((void**)&text, kSizeTextBytes, 1, 0);
    if (!text) return nullptr;
    uint64_t n = ((uint64_t)high << 32) | low;
    if (n > (1ull << 40)) {
        formatUnitValue((float)((double)(n >> 30) / 1024.0), text, " TB");
    } else if (n > (1ull << 30)) {
        formatUnitValue((float)((double)(n >> 20) / 1024.0), text, " GB");
    } else if (n > (1ull << 20)) {
        formatUnitValue((float)((double)(n >> 10) / 1024.0), text, " MB");
    } else if (n > 1024) {
        formatUnitValue((float)((double)n / 1024.0), text, " KB");
    } else {
        buildString(&text, 0, BUILD_INT, (int)n, BUILD_TEXT, " bytes", BUILD_END);
    }
    return text;
}
