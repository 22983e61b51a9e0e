#include <string.h>

#include "package/package_format.h"

// Whole 64 KiB blocks keep the read calls few; the block size is a multiple of
// 8 so that every block but the last starts on a word boundary.
enum : uint32_t { kChecksumBlock = 64 * 1024 };

static uint32_t loadWord(const unsigned char* bytes) {
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
           (uint32_t)bytes[3] << 24;
}

// XOR of the whole words of count bytes (count a multiple of 4). Two words at
// a time through a 64-bit load on little-endian hosts; the halves fold at the end.
static uint32_t xorWords(const unsigned char* bytes, uint32_t count) {
    uint32_t i = 0;
    uint32_t sum = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t wide = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t pair;
        memcpy(&pair, bytes + i, 8);
        wide ^= pair;
    }
    sum = (uint32_t)wide ^ (uint32_t)(wide >> 32);
#endif
    for (; i < count; i += 4) sum ^= loadWord(bytes + i);
    return sum;
}

// The final partial word of r bytes. Within the covered length it is
// completed with zero bytes. When the file ends before the covered length,
// the file's own word-by-word reading leaves the high bytes of the word
// before it in place; that result is kept so both sides of the trailer agree.
static uint32_t partialWord(const unsigned char* bytes, uint32_t r, const unsigned char* before,
                            int fileEnded) {
    unsigned char word[4];
    memcpy(word, fileEnded ? before : (const unsigned char*)"\0\0\0\0", 4);
    memcpy(word, bytes, r);
    return loadWord(word);
}

uint32_t computeFileChecksum(const char* path, uint32_t coveredLength, uint32_t seed) {
    FILE* file = path ? fopen(path, "rb") : nullptr;
    if (!file) return 0;
    setvbuf(file, nullptr, _IONBF, 0);
    unsigned char block[kChecksumBlock];
    unsigned char before[4] = {0, 0, 0, 0};
    uint32_t sum = seed;
    uint32_t remaining = coveredLength;
    while (remaining > 0) {
        uint32_t wanted = remaining < kChecksumBlock ? remaining : kChecksumBlock;
        uint32_t got = (uint32_t)fread(block, 1, wanted, file);
        uint32_t whole = got & ~3u;
        sum ^= xorWords(block, whole);
        if (got % 4 != 0) {
            if (whole >= 4) memcpy(before, block + whole - 4, 4);
            sum ^= partialWord(block + whole, got % 4, before, got < wanted);
        }
        if (got < wanted) break;
        if (whole >= 4) memcpy(before, block + whole - 4, 4);
        remaining -= got;
    }
    fclose(file);
    return sum;
}
