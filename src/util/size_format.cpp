#include "util/size_format.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "util/blocks.h"

static const int kSizeTextBytes = 256;

int formatUnitValue(float value, char* text, const char* unit) {
    // The float arithmetic is deliberate: it gives exactly the value truncated
    // to two decimals for every figure formatSize produces below 16384.
    unsigned whole = (unsigned)value;
    float fraction = value - (float)whole;
    int first = (int)(fraction / 0.1);
    float rest = (float)(fraction - 0.1 * first);
    int second = (int)(rest / 0.01);
    if (first > 9) first = 9;
    if (second > 9) second = 9;
    if (first < 0) first = 0;
    if (second < 0) second = 0;
    sprintf(text, "%u.%d%d%s", whole, first, second, unit);
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
