#include <string.h>

#include "package/package_format.h"

// Whole 64 KiB blocks keep the read calls few; the block size is a multiple of
// 8 so that every block starts on a word boundary.
enum : uint32_t { kChecksumBlock = 64 * 1024 };

static uint32_t loadWord(const unsigned char* bytes) {
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
           (uint32_t)bytes[3] << 24;
}

// XOR of the whole words of count bytes (count a multiple of 4). Two words at
// a time through a 64-bit load on little-endian hosts; the halves fold at the end.
static uint32_t xorWords(const unsigned char* bytes, size_t count) {
    size_t i = 0;
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

uint32_t checksumUpdate(uint32_t sum, uint64_t offset, const void* bytes, size_t size) {
    const unsigned char* p = (const unsigned char*)bytes;
    size_t i = 0;
    for (; i < size && ((offset + i) & 3) != 0; ++i) sum ^= (uint32_t)p[i] << (8 * ((offset + i) & 3));
    size_t whole = (size - i) & ~(size_t)3;
    sum ^= xorWords(p + i, whole);
    for (i += whole; i < size; ++i) sum ^= (uint32_t)p[i] << (8 * ((offset + i) & 3));
    return sum;
}

uint32_t computeFileChecksum(const char* path, uint32_t coveredLength, uint32_t seed) {
    FILE* file = path ? fopen(path, "rb") : nullptr;
    if (!file) return 0;
    setvbuf(file, nullptr, _IONBF, 0);
    uint32_t sum = computeChecksumOf(file, coveredLength, seed);
    fclose(file);
    return sum;
}

// A file that ends before the covered length is read word by word: its final
// partial word keeps the high bytes of the word before it (zeros when there is
// none), where checksumUpdate completes it with zeros. That result is kept so
// that both sides of the trailer agree.
uint32_t computeChecksumOf(FILE* file, uint32_t coveredLength, uint32_t seed) {
    if (!file || fseek(file, 0, SEEK_SET) != 0) return 0;
    unsigned char block[kChecksumBlock];
    unsigned char before[4] = {0, 0, 0, 0};  // the last word of the previous block
    uint32_t sum = seed;
    for (uint32_t offset = 0; offset < coveredLength; offset += kChecksumBlock) {
        uint32_t left = coveredLength - offset;
        uint32_t wanted = left < kChecksumBlock ? left : kChecksumBlock;
        uint32_t got = (uint32_t)fread(block, 1, wanted, file);
        sum = checksumUpdate(sum, offset, block, got);
        if (got < wanted) {
            uint32_t whole = got & ~3u, partial = got & 3u;
            if (partial != 0) {
                unsigned char stale[4] = {0, 0, 0, 0};
                memcpy(stale + partial, (whole >= 4 ? block + whole - 4 : before) + partial, 4 - partial);
                sum ^= loadWord(stale);
            }
            break;
        }
        if (got == kChecksumBlock) memcpy(before, block + kChecksumBlock - 4, 4);
    }
    return sum;
}
