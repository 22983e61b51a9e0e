// The complete image of a progress bar: gradient fill, background, border and
// an optional three-slice shading image laid over the filled part.
//
// Any thread may call it on a buffer it alone draws on. It allocates nothing,
// so a control may rebuild its image on every position change. Portable: no
// platform headers.
#pragma once

#include "raster/pixel_buffer.h"

// Rebuilds the bar image in destination (32 bits per pixel).
//
// b = 1 when border is given and the destination is at least 3 rows high,
// else 0; the inner width is w = width - 2b. fraction is clamped to 0..1 (not
// a number stays so and draws no gradient). Row b from column b receives the
// gradient: t runs from 0 in steps of single(1 / w), accumulated in single
// precision, and while t < fraction, at most w times, the next pixel's blue,
// green and red become trunc(start * (1 - t) + end * t); alpha bytes are left.
// The number of pixels so written is the filled length n (fraction 0.5 over
// w = 100 gives 51, fraction 1 exactly w). With background, the rest of that
// row gets the background's blue, green and red (alpha left). With a border,
// row 0 and the last row become the border colour (all four bytes), as do the
// first and last pixels of row 1. Then rows b + 1 to limit - b - 1 become
// copies of row b, where limit is the height or, with a shading image,
// min(shading height + 2b, height).
//
// shading (32 bits per pixel, or null) is laid over the first n inner columns
// at (b, b) with BlitShade, cut into a left cap of cap columns, a middle
// repeated from shading columns cap .. shading width - cap - 1, and a right cap
// of the last cap columns; when n <= 2 * cap, the left n / 2 columns and the
// right n / 2 + n % 2 columns of the image are laid instead (nothing when
// n / 2 is 0). No shading is laid when cap is negative, or when the middle is
// needed but the image is not wider than 2 * cap (it could not advance).
//
// Returns 0 with nothing drawn when destination is missing, has no pixels or
// is not 32 bits per pixel, or when start or end is null; otherwise 1.
int PixelBarFill(PixelBuffer* destination, const PixelBuffer* shading, const PixelColor* start,
                 const PixelColor* end, const PixelColor* background, const PixelColor* border,
                 float fraction, int32_t cap);
