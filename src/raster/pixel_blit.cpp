#include "raster/pixel_blit.h"

#include "raster/pixel_clip.h"

// The mode formulas name every product and partial sum as a double so that,
// with -ffloat-store on x87 targets, each is rounded to double exactly where
// the formulas say; truncated results all lie in 0..255.

static inline uint8_t truncByte(double value) {
    return (uint8_t)(int32_t)value;
}

static inline double single(double value) {
    return (double)(float)value;
}

static inline uint8_t mix(double source, double factor, double destination, double rest) {
    double front = source * factor;
    double back = destination * rest;
    double sum = front + back;
    return truncByte(sum);
}

static inline double greyOf(const uint8_t* s) {
    double red = 0.34 * s[2];
    double green = 0.44 * s[1];
    double sum = red + green;
    double blue = 0.22 * s[0];
    sum = sum + blue;
    return (double)truncByte(sum);
}

static void rowCopy24(uint8_t* d, const uint8_t* s, int32_t count) {
    for (int32_t i = 0; i < count; i++, d += 4, s += 3) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
}

// BlitAlpha (factor 1) and BlitFaded (factor 0.7) differ only in the alpha factor.
static void rowAlpha(uint8_t* d, const uint8_t* s, int32_t count, double factor) {
    for (int32_t i = 0; i < count; i++, d += 4, s += 4) {
        double quotient = s[3] / 255.0;
        double a = single(quotient * factor);
        double rest = 1.0 - a;
        for (int c = 0; c < 3; c++) d[c] = mix(s[c], a, d[c], rest);
    }
}

static inline uint8_t lighten(uint8_t d, double k) {
    double room = (255.0 - d) * k;
    double sum = d + room;
    return truncByte(sum);
}

static inline uint8_t darken(uint8_t d, double k) {
    double part = k * d;
    double rest = d - part;
    return truncByte(rest);
}

static void rowShade(uint8_t* d, const uint8_t* s, int32_t count) {
    for (int32_t i = 0; i < count; i++, d += 4, s += 4) {
        int v = s[0];
        if (v > 128) {
            double k = single((v - 128) / 127.0);
            for (int c = 0; c < 3; c++) d[c] = lighten(d[c], k);
        } else if (v < 128) {
            double k = single((127 - v) / 127.0);
            for (int c = 0; c < 3; c++) d[c] = darken(d[c], k);
        }
        d[3] = s[3];
    }
}

static void rowGray(uint8_t* d, const uint8_t* s, int32_t count) {
    for (int32_t i = 0; i < count; i++, d += 4, s += 4) {
        uint8_t g = (uint8_t)greyOf(s);
        d[0] = d[1] = d[2] = g;
        d[3] = s[3];
    }
}

static inline double sum3(double first, double second, double third) {
    double sum = first + second;
    sum = sum + third;
    return (double)truncByte(sum);
}

static void rowMuted(uint8_t* d, const uint8_t* s, int32_t count) {
    for (int32_t i = 0; i < count; i++, d += 4, s += 4) {
        double rs = s[2], gs = s[1], bs = s[0];
        double red = sum3(0.2 * gs, 0.6 * rs, 0.2 * bs);
        double green = sum3(0.6 * gs, 0.2 * rs, 0.2 * bs);
        double blue = sum3(single(0.2 * rs), 0.2 * gs, 0.6 * bs);
        double a = single(s[3] / 255.0);
        double rest = 1.0 - a;
        d[2] = mix(red, a, d[2], rest);
        d[1] = mix(green, a, d[1], rest);
        d[0] = mix(blue, a, d[0], rest);
    }
}

static void rowGrayHalf(uint8_t* d, const uint8_t* s, int32_t count) {
    for (int32_t i = 0; i < count; i++, d += 4, s += 4) {
        double g = greyOf(s);
        double w = single(s[3] / 255.0) * 0.5;
        double rest = 1.0 - w;
        for (int c = 0; c < 3; c++) d[c] = mix(d[c], rest, g, w);
        d[3] = 255;
    }
}

static void rowCopy32(uint8_t* d, const uint8_t* s, int32_t count) {
    for (int32_t i = 0; i < count; i++, d += 4, s += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = s[3];
    }
}

static void blitRow(uint8_t* d, const uint8_t* s, int32_t count, int mode, uint32_t sourceBits) {
    switch (mode) {
    case BlitAlpha:
        if (sourceBits == 24) rowCopy24(d, s, count);
        else rowAlpha(d, s, count, 1.0);
        break;
    case BlitShade: rowShade(d, s, count); break;
    case BlitGray: rowGray(d, s, count); break;
    case BlitMuted: rowMuted(d, s, count); break;
    case BlitGrayHalf: rowGrayHalf(d, s, count); break;
    case BlitCopy: rowCopy32(d, s, count); break;
    case BlitFaded: rowAlpha(d, s, count, 0.7); break;
    }
}

// 1 when the mode can read this source: 24 or 32 bits for BlitAlpha, 32 for
// the others, with rows no shorter than the width says.
static int sourceFits(const PixelBuffer* source, int mode) {
    if (source->width < 1 || source->height < 1) return 0;
    if (source->bitsPerPixel == 32) return source->stride == (uint32_t)source->width * 4;
    return mode == BlitAlpha && source->bitsPerPixel == 24 &&
           source->stride >= (uint32_t)source->width * 3;
}

// Clips one axis: destination start `at`, length, destination size, source
// start and source size. Returns the first destination index and stores the
// end; the range may come out empty.
static int64_t clipAxis(int64_t at, int64_t length, int64_t size, int64_t sourceAt,
                        int64_t sourceSize, int64_t* end) {
    int64_t first = at > 0 ? at : 0;
    if (at - sourceAt > first) first = at - sourceAt;
    int64_t last = at + length < size ? at + length : size;
    if (at + sourceSize - sourceAt < last) last = at + sourceSize - sourceAt;
    *end = last;
    return first;
}

int PixelBlit(PixelBuffer* destination, int32_t x, int32_t y, int32_t width, int32_t height,
              const PixelBuffer* source, int32_t sourceX, int32_t sourceY, int mode) {
    if (!destination || !source || !destination->pixels || !source->pixels) return 0;
    if (!pixelDrawable(destination)) return 1;
    int64_t right = (int64_t)x + width, bottom = (int64_t)y + height;
    if (sourceX >= source->width || x >= destination->width || right <= 0) return 0;
    if (sourceY >= source->height || y >= destination->height || bottom <= 0) return 0;
    if (mode < BlitAlpha || mode > BlitFaded || !sourceFits(source, mode)) return 1;
    int64_t x1, y1;
    int64_t x0 = clipAxis(x, width, destination->width, sourceX, source->width, &x1);
    int64_t y0 = clipAxis(y, height, destination->height, sourceY, source->height, &y1);
    if (x1 <= x0 || y1 <= y0) return 1;
    uint32_t bytes = source->bitsPerPixel / 8;
    for (int64_t row = y0; row < y1; row++) {
        size_t sourceRow = (size_t)(sourceY + (row - y)) * source->stride;
        size_t sourceColumn = (size_t)(sourceX + (x0 - x)) * bytes;
        blitRow(pixelAt(destination, (int32_t)x0, (int32_t)row),
                source->pixels + sourceRow + sourceColumn, (int32_t)(x1 - x0), mode,
                source->bitsPerPixel);
    }
    return 1;
}
