// Rectangle primitives: fill, outline, chosen edges, dotted edges.
//
// Any thread may call these on a buffer it alone draws on. Nothing is
// allocated and nothing is returned to free. Portable: no platform headers.
//
// Clipping, the same for every primitive here and for PixelBlit: the buffer
// must exist, have pixels and be 32 bits per pixel, or nothing is drawn. The
// rectangle (x, y, width, height) draws nothing when x >= buffer width,
// x + width <= 0, y >= buffer height or y + height <= 0. Otherwise the drawn
// area is columns max(x, 0) up to but excluding min(x + width, buffer width),
// rows max(y, 0) up to but excluding min(y + height, buffer height). Edges are
// those of this clipped area: a rectangle running past the right border of the
// buffer has its right edge in the buffer's last column. No argument, however
// large or negative, makes a primitive touch memory outside the buffer.
#pragma once

#include "raster/pixel_buffer.h"

// Every pixel of the clipped area gets colour (all four bytes). A null colour
// draws nothing.
void PixelFillRect(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                   const PixelColor* colour);

// One-pixel outline of the clipped area in colour: its top and bottom rows and
// its left and right columns. A one-row or one-column area is drawn over twice.
void PixelFrameRect(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                    const PixelColor* colour);

// As PixelFrameRect, but only the edges whose flag is non-zero: top = first
// row, left = first column, bottom = last row, right = last column of the
// clipped area.
void PixelEdges(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                const PixelColor* colour, int top, int left, int bottom, int right);

// Dotted edges (a focus rectangle) in AdjustColor(colour, 0), alpha 0. The dash
// pattern is on, on, off, off. Each chosen edge is walked from its left or top
// end with a counter starting at phase (taken modulo 4, negative phases
// included); a pixel is set when the pattern at the counter is on. Each edge
// restarts the pattern, so corners take its first entries. Callers pass phase 0.
void PixelDottedFrame(PixelBuffer* buffer, PixelColorRef colour, int32_t x, int32_t y,
                      int32_t width, int32_t height, int32_t phase, int top, int left,
                      int bottom, int right);
