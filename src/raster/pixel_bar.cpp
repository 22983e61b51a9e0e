#include "raster/pixel_bar.h"

#include <string.h>

#include "raster/pixel_blit.h"
#include "raster/pixel_clip.h"

static inline uint8_t barChannel(uint8_t start, uint8_t end, double t) {
    double left = start * (1.0 - t);
    double right = end * t;
    double sum = left + right;
    return (uint8_t)(int32_t)sum;
}

// Writes the gradient from row[0] on and returns the filled length: t grows in
// single precision, so 50 steps of 1/100 stay just below 0.5 and fraction
// 0.5 fills 51 pixels.
static int32_t fillGradient(PixelColor* row, int32_t innerWidth, float fraction,
                            const PixelColor* start, const PixelColor* end) {
    if (!(fraction > 0.0f) || innerWidth < 1) return 0;
    float step = (float)(1.0 / innerWidth);
    float t = 0.0f;
    int32_t n = 0;
    while (t < fraction && n < innerWidth) {
        row[n].blue = barChannel(start->blue, end->blue, t);
        row[n].green = barChannel(start->green, end->green, t);
        row[n].red = barChannel(start->red, end->red, t);
        n++;
        t = (float)((double)t + step);
    }
    return n;
}

static void fillBackground(PixelColor* row, int32_t count, const PixelColor* background) {
    for (int32_t i = 0; i < count; i++) {
        row[i].blue = background->blue;
        row[i].green = background->green;
        row[i].red = background->red;
    }
}

static void drawBorder(PixelBuffer* destination, const PixelColor* border) {
    PixelColor* first = (PixelColor*)pixelAt(destination, 0, 0);
    PixelColor* second = (PixelColor*)pixelAt(destination, 0, 1);
    for (int32_t i = 0; i < destination->width; i++) first[i] = *border;
    second[0] = *border;
    second[destination->width - 1] = *border;
    memcpy(pixelAt(destination, 0, destination->height - 1), first, destination->stride);
}

static void blitShade(PixelBuffer* destination, int32_t x, int32_t y, int32_t width,
                      const PixelBuffer* shading, int32_t sourceX) {
    PixelBlit(destination, x, y, width, shading->height, shading, sourceX, 0, BlitShade);
}

// Three slices: left cap, a middle repeated from the image's centre, right cap.
static void layShading(PixelBuffer* destination, const PixelBuffer* shading, int32_t b,
                       int32_t n, int32_t cap) {
    if (cap < 0) return;
    int32_t shadingWidth = shading->width;
    if ((int64_t)n <= 2 * (int64_t)cap) {
        int32_t half = n / 2, rest = half + n % 2;
        if (half == 0) return;
        blitShade(destination, b, b, half, shading, 0);
        blitShade(destination, b + half, b, rest, shading, shadingWidth - rest);
        return;
    }
    int32_t piece = shadingWidth - 2 * cap;  // cap < n / 2, so 2 * cap fits
    if (piece <= 0) return;
    blitShade(destination, b, b, cap, shading, 0);
    int32_t at = b + cap;
    for (int32_t remaining = n - 2 * cap; remaining > 0;) {
        int32_t take = remaining < piece ? remaining : piece;
        blitShade(destination, at, b, take, shading, cap);
        at += take;
        remaining -= take;
    }
    blitShade(destination, at, b, cap, shading, shadingWidth - cap);
}

int PixelBarFill(PixelBuffer* destination, const PixelBuffer* shading, const PixelColor* start,
                 const PixelColor* end, const PixelColor* background, const PixelColor* border,
                 float fraction, int32_t cap) {
    if (!pixelDrawable(destination) || !start || !end) return 0;
    if (fraction > 1.0f) fraction = 1.0f;
    if (fraction < 0.0f) fraction = 0.0f;
    int32_t width = destination->width, height = destination->height;
    int32_t b = border && height >= 3 ? 1 : 0;
    int32_t innerWidth = width - 2 * b;
    PixelColor* row = (PixelColor*)pixelAt(destination, b, b);
    int32_t n = fillGradient(row, innerWidth, fraction, start, end);
    // The inner row runs to the end of the buffer row, over the right border column too.
    if (background) fillBackground(row + n, width - b - n, background);
    if (b) drawBorder(destination, border);
    int64_t limit = height;
    if (shading && (int64_t)shading->height + 2 * b < limit) limit = (int64_t)shading->height + 2 * b;
    for (int32_t y = b + 1; y <= limit - b - 1; y++)
        memcpy(pixelAt(destination, 0, y), pixelAt(destination, 0, b), destination->stride);
    if (shading) layShading(destination, shading, b, n, cap);
    return 1;
}
