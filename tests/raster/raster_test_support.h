// Owned buffers, pixel access and pictures of a buffer as text, so that a
// raster test states a whole image at once.
#pragma once

#include <stdint.h>
#include <string.h>

#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>

#include "raster/pixel_buffer.h"

struct BufferDeleter {
    void operator()(PixelBuffer* buffer) const { DestroyPixelBuffer(buffer); }
};
using BufferPtr = std::unique_ptr<PixelBuffer, BufferDeleter>;

inline PixelColor bgra(int blue, int green, int red, int alpha) {
    return PixelColor{(uint8_t)blue, (uint8_t)green, (uint8_t)red, (uint8_t)alpha};
}
inline bool operator==(const PixelColor& a, const PixelColor& b) { return memcmp(&a, &b, sizeof a) == 0; }
inline void PrintTo(const PixelColor& c, std::ostream* out) {
    *out << "bgra(" << int(c.blue) << ", " << int(c.green) << ", " << int(c.red) << ", " << int(c.alpha) << ")";
}

inline PixelColor& at(const PixelBuffer* buffer, int32_t x, int32_t y) {
    return ((PixelColor*)(buffer->pixels + (size_t)y * buffer->stride))[x];
}

// A 32-bit buffer with every pixel set to fill.
inline BufferPtr makeFilled(int32_t width, int32_t height, PixelColor fill) {
    BufferPtr buffer(CreatePixelBuffer(width, height, 32, 1));
    for (int32_t y = 0; buffer && y < height; y++)
        for (int32_t x = 0; x < width; x++) at(buffer.get(), x, y) = fill;
    return buffer;
}

// The buffer as rows of text, one letter a pixel: the letter of the last
// legend colour it equals, '#' for any other colour; rows end with '|'.
inline std::string picture(const PixelBuffer* buffer, std::initializer_list<std::pair<char, PixelColor>> legend) {
    std::string text;
    for (int32_t y = 0; y < buffer->height; y++, text += '|') {
        for (int32_t x = 0; x < buffer->width; x++) {
            char letter = '#';
            for (const auto& entry : legend)
                if (entry.second == at(buffer, x, y)) letter = entry.first;
            text += letter;
        }
    }
    return text;
}

inline std::string picture(const PixelBuffer* buffer, PixelColor background) {
    return picture(buffer, {{'.', background}});
}

// What draw does to a width x height buffer filled with background.
template <typename Draw>
std::string drawn(int32_t width, int32_t height, PixelColor background, Draw draw) {
    BufferPtr buffer = makeFilled(width, height, background);
    draw(buffer.get());
    return picture(buffer.get(), background);
}
