// Small helpers for the raster tests: owned buffers, pixel access, colours,
// and pictures of a buffer as text, so a test states a whole image at once.
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

// A 32-bit buffer with every pixel set to fill.
inline BufferPtr makeFilled(int32_t width, int32_t height, PixelColor fill) {
    BufferPtr buffer(CreatePixelBuffer(width, height, 32, 1));
    if (buffer)
        for (int32_t i = 0; i < width * height; i++) ((PixelColor*)buffer->pixels)[i] = fill;
    return buffer;
}

inline PixelColor& at(const PixelBuffer* buffer, int32_t x, int32_t y) {
    return ((PixelColor*)(buffer->pixels + (size_t)y * buffer->stride))[x];
}

inline PixelColor bgra(int blue, int green, int red, int alpha) {
    PixelColor colour = {(uint8_t)blue, (uint8_t)green, (uint8_t)red, (uint8_t)alpha};
    return colour;
}

inline bool operator==(const PixelColor& a, const PixelColor& b) {
    return memcmp(&a, &b, sizeof(a)) == 0;
}

inline void PrintTo(const PixelColor& colour, std::ostream* out) {
    *out << "bgra(" << int(colour.blue) << ", " << int(colour.green) << ", " << int(colour.red)
         << ", " << int(colour.alpha) << ")";
}

// The buffer as rows of text, one letter a pixel: the letter of the first
// legend colour it equals, '#' for any other colour; rows end with '|'.
inline std::string picture(const PixelBuffer* buffer,
                           std::initializer_list<std::pair<char, PixelColor>> legend) {
    std::string text;
    for (int32_t y = 0; y < buffer->height; y++) {
        for (int32_t x = 0; x < buffer->width; x++) {
            char letter = '#';
            for (auto it = legend.end(); it != legend.begin();)
                if ((--it)->second == at(buffer, x, y)) letter = it->first;
            text += letter;
        }
        text += '|';
    }
    return text;
}

// '.' where a pixel still equals background, '#' elsewhere.
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
