// Clipping shared by the raster primitives (internal to the raster library).
//
// Coordinates arrive as 32-bit values but are combined in 64 bits, so sums
// such as x + width never overflow. Portable: no platform headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "raster/pixel_buffer.h"

// The clipped area: columns x0 .. x1 - 1, rows y0 .. y1 - 1, never empty.
struct PixelArea {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
};

// 1 when buffer can be drawn on: it exists, has pixels, is 32 bits per pixel,
// has a positive size and a stride of exactly width * 4.
int pixelDrawable(const PixelBuffer* buffer);

// Clips (x, y, width, height) to buffer, which must be drawable. Returns 1 and
// fills area when some pixel remains, else 0.
int pixelClip(const PixelBuffer* buffer, int64_t x, int64_t y, int64_t width, int64_t height,
              PixelArea* area);

// The pixel at (x, y) of a drawable buffer.
inline uint8_t* pixelAt(const PixelBuffer* buffer, int32_t x, int32_t y) {
    return buffer->pixels + (size_t)y * buffer->stride + (size_t)x * 4;
}

// The frame and edge lines on an already clipped area, for primitives that
// work on 64-bit rectangles (the etched frame).
void pixelEdgesArea(PixelBuffer* buffer, const PixelArea* area, const PixelColor* colour,
                    int top, int left, int bottom, int right);
