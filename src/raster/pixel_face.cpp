#include "raster/pixel_face.h"

#include "raster/pixel_clip.h"

static inline uint8_t gradientChannel(uint8_t top, uint8_t bottom, double u, double t) {
    double upper = top * u;
    double lower = bottom * t;
    double sum = upper + lower;
    return (uint8_t)(int32_t)sum;
}

static void gradientArea(PixelBuffer* buffer, int64_t x, int64_t y, int64_t width, int64_t height,
                         const PixelColor* top, const PixelColor* bottom) {
    PixelArea area;
    if (!top || !bottom || !pixelDrawable(buffer) || !pixelClip(buffer, x, y, width, height, &area))
        return;
    // The ratio uses the requested height and counts rows from the first visible one.
    double h = (double)(float)height;
    for (int32_t k = 0; k < area.y1 - area.y0; k++) {
        double t = (double)(float)(k / h);
        double u = (double)(float)(1.0 - t);
        PixelColor colour = {gradientChannel(top->blue, bottom->blue, u, t),
                             gradientChannel(top->green, bottom->green, u, t),
                             gradientChannel(top->red, bottom->red, u, t), 0};
        PixelColor* row = (PixelColor*)pixelAt(buffer, 0, area.y0 + k);
        for (int32_t column = area.x0; column < area.x1; column++) row[column] = colour;
    }
}

void PixelGradient(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                   const PixelColor* top, const PixelColor* bottom) {
    gradientArea(buffer, x, y, width, height, top, bottom);
}

EtchedColors MakeEtchedColors(PixelColorRef highlight, PixelColorRef shadow) {
    EtchedColors colours = {AdjustColor(highlight, 0), AdjustColor(shadow, 0),
                            AdjustColor(shadow, 20)};
    return colours;
}

static void edgesArea(PixelBuffer* buffer, int64_t x, int64_t y, int64_t width, int64_t height,
                      const PixelColor* colour, int top, int left, int bottom, int right) {
    PixelArea area;
    if (pixelClip(buffer, x, y, width, height, &area))
        pixelEdgesArea(buffer, &area, colour, top, left, bottom, right);
}

void PixelEtchedFrameWith(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width,
                          int32_t height, const EtchedColors* colours) {
    if (!colours || !pixelDrawable(buffer)) return;
    int64_t left = x, top = y;
    edgesArea(buffer, left + 1, top + 1, (int64_t)width - 3, (int64_t)height - 3,
              &colours->highlight, 1, 1, 1, 1);
    edgesArea(buffer, left, top, (int64_t)width - 1, (int64_t)height - 1, &colours->shadow,
              1, 1, 1, 1);
    edgesArea(buffer, left, top, width, height, &colours->softShadow, 0, 0, 1, 1);
}

void PixelGlassFaceWith(PixelBuffer* buffer, PixelColorRef base, int32_t x, int32_t y,
                        int32_t width, int32_t height, const EtchedColors* frame) {
    int64_t half = (int64_t)(height * 0.5);
    PixelColor light = AdjustColor(base, 40);
    PixelColor plain = AdjustColor(base, 0);
    PixelColor dark = AdjustColor(base, -20);
    PixelColor mid = AdjustColor(base, 20);
    gradientArea(buffer, x, y, width, half, &light, &plain);
    gradientArea(buffer, x, (int64_t)y + half, width, (int64_t)height - half, &dark, &mid);
    if (frame) PixelEtchedFrameWith(buffer, x, y, width, height, frame);
}
