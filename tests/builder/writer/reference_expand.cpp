// A plain expandStream for builds without the installer's package library:
// decodes the whole stream in memory, item by item, as the format states.
#include <vector>

#include "package/decompressor.h"

int expandStream(FILE* input, int32_t startOffset, int32_t compressedSize,
                 int32_t uncompressedSize, FILE* output, ProgressCallback progress) {
    if (!input || !output || uncompressedSize <= 0 || compressedSize <= 0 || progress) return 0;
    // Four zero bytes behind the stream let the last item be read whole;
    // the cursor is checked against the stream's end after each item.
    std::vector<uint8_t> stream((size_t)compressedSize + 4, 0);
    if (fseek(input, startOffset, SEEK_SET) != 0 ||
        fread(stream.data(), 1, (size_t)compressedSize, input) != (size_t)compressedSize) {
        return 0;
    }
    const uint64_t totalBits = (uint64_t)compressedSize * 8;
    uint64_t cursor = 0;
    auto take = [&](uint32_t bits) {
        uint32_t value = 0;
        for (uint32_t i = 0; i < bits; ++i, ++cursor) {
            value |= (uint32_t)((stream[cursor / 8] >> (cursor % 8)) & 1) << i;
        }
        return value;
    };
    uint8_t ring[256] = {0};
    uint32_t write = 0;
    std::vector<uint8_t> out;
    while (out.size() < (size_t)uncompressedSize) {
        if (cursor >= totalBits) return 0;
        uint8_t items[17];
        uint32_t count = 1;
        if (take(1) == 0) {
            items[0] = (uint8_t)take(8);
        } else {
            uint32_t position = take(8);
            count = take(4) + 2;
            for (uint32_t i = 0; i < count; ++i) items[i] = ring[(position + i) & 255];
        }
        if (cursor > totalBits) return 0;
        for (uint32_t i = 0; i < count; ++i) {
            out.push_back(items[i]);
            ring[write] = items[i];
            write = (write + 1) & 255;
        }
    }
    out.resize((size_t)uncompressedSize);
    return fwrite(out.data(), 1, out.size(), output) == out.size() ? 1 : 0;
}
