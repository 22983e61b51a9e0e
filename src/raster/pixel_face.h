// Gradients, the etched frame and the two-band button face.
//
// Any thread may call these on a buffer it alone draws on. Nothing is
// allocated. All of them clip as the rectangle primitives do (pixel_rect.h).
// Portable: no platform headers; the variants that read the system's colours
// are in pixel_surface.h (PixelEtchedFrame, PixelGlassFace).
#pragma once

#include "raster/pixel_buffer.h"

// Vertical two-colour gradient over the clipped rectangle. Visible rows are
// numbered k = 0, 1, ... from the first visible row; with h the requested
// height (not the clipped one) as a 32-bit float, row k has t = single(k / h),
// u = single(1 - t) and each of red, green, blue = trunc(top * u + bottom * t).
// Every pixel gets that colour with alpha 0. The last row stops one step short
// of the bottom colour: 4 rows from black to white are 0, 63, 127, 191. Null
// colours draw nothing.
void PixelGradient(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                   const PixelColor* top, const PixelColor* bottom);

// The three colours of an etched frame.
struct EtchedColors {
    PixelColor highlight;
    PixelColor shadow;
    PixelColor softShadow;
};

// highlight = AdjustColor(highlight, 0), shadow = AdjustColor(shadow, 0),
// softShadow = AdjustColor(shadow, +20).
EtchedColors MakeEtchedColors(PixelColorRef highlight, PixelColorRef shadow);

// The etched frame in the given colours, drawn in this order: a highlight
// outline of (x + 1, y + 1, width - 3, height - 3), a shadow outline of
// (x, y, width - 1, height - 1), and the soft shadow along the last column and
// the last row of (x, y, width, height). A null colours record draws nothing.
void PixelEtchedFrameWith(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width,
                          int32_t height, const EtchedColors* colours);

// The two-band face of a button on base: with half = trunc(height * 0.5), a
// gradient over the top half rows from AdjustColor(base, +40) to
// AdjustColor(base, 0), then over the remaining height - half rows from
// AdjustColor(base, -20) to AdjustColor(base, +20); then, when frame is not
// null, PixelEtchedFrameWith over the whole rectangle.
void PixelGlassFaceWith(PixelBuffer* buffer, PixelColorRef base, int32_t x, int32_t y,
                        int32_t width, int32_t height, const EtchedColors* frame);
