// The composite blit: a source rectangle composed onto a destination buffer
// in one of seven modes.
//
// Any thread may call it on buffers it alone draws on. Nothing is allocated.
// Portable: no platform headers.
#pragma once

#include "raster/pixel_buffer.h"

// In the formulas, s is a source channel, d the destination's old channel, As
// the source alpha; products and sums are in double precision, single(...) is a
// factor rounded to a 32-bit float when formed, and every channel result is
// truncated toward zero.
enum PixelBlitMode {
    // 24-bit source: blue, green, red copied. 32-bit source: a = single(As /
    // 255), each channel s * a + d * (1 - a). Destination alpha unchanged.
    BlitAlpha = 0,
    // The source's blue byte v lightens (v > 128: k = single((v - 128) / 127),
    // d + (255 - d) * k) or darkens (v < 128: k = single((127 - v) / 127),
    // d - k * d) the destination; 127 and 128 leave the colour. Alpha = As.
    BlitShade = 1,
    // Grey of the source, (0.34 R + 0.44 G) + 0.22 B, in all three. Alpha = As.
    BlitGray = 2,
    // The source's colours pulled toward each other (each 0.6 of its own and
    // 0.2 of the two others), then blended like BlitAlpha. Alpha unchanged.
    BlitMuted = 3,
    // The source's grey blended at half strength, w = single(As / 255) * 0.5,
    // d * (1 - w) + grey * w. Alpha = 255.
    BlitGrayHalf = 4,
    // All four bytes copied.
    BlitCopy = 5,
    // As BlitAlpha (32-bit) with a = single(As / 255 * 0.7). Alpha unchanged.
    BlitFaded = 6,
};

// Composes the source rectangle at (sourceX, sourceY) onto the destination
// rectangle (x, y, width, height); destination pixel (x + i, y + j) is computed
// from its old value and source pixel (sourceX + i, sourceY + j) alone.
//
// Result 0 (nothing drawn) when either buffer or its pixels is missing, or when
// sourceX >= source width, x >= destination width, x + width <= 0, sourceY >=
// source height, y >= destination height or y + height <= 0. Result 1 in every
// other case, including those that draw nothing: a destination that is not
// 32 bits per pixel, a mode above 6 or below 0, a source depth the mode does
// not take (BlitAlpha takes 24 and 32 bits, the other modes 32), a source
// whose stride does not match its width (32 bits: exactly width * 4; 24 bits:
// at least width * 3), or an area that clipping empties.
//
// Clipping: the destination area is clipped as the rectangle primitives clip
// (pixel_rect.h), and further so that no source pixel outside the source is
// read: the source's far edges are checked as well as its origin, and a
// destination origin left of or above the buffer (or a negative source origin)
// skips the source columns and rows that fall outside, so the visible part of
// the image stays where it would have been.
int PixelBlit(PixelBuffer* destination, int32_t x, int32_t y, int32_t width, int32_t height,
              const PixelBuffer* source, int32_t sourceX, int32_t sourceY, int mode);
