// Pixel images in memory and the colours drawn on them.
//
// A PixelBuffer is a plain record over a block of pixels: 32 bits per pixel
// (blue, green, red, alpha in memory, the order of a 32-bit device-independent
// bitmap), rows top to bottom, no row padding. Every drawing primitive of the
// raster library works on such records and needs nothing from the platform.
//
// Any thread may call these; a buffer must not be drawn on by two threads at
// once. A buffer returned by CreatePixelBuffer or CopyPixelBuffer belongs to the
// caller, who releases it with DestroyPixelBuffer. Portable: no platform headers.
#pragma once

#include <stdint.h>

// One pixel as it lies in memory. Read as a little-endian 32-bit word it is
// (alpha << 24) | (red << 16) | (green << 8) | blue. In source images alpha 255
// is opaque and 0 transparent; colours made from system colours carry alpha 0;
// the screen copy ignores alpha. Primitives that fill store all four bytes.
struct PixelColor {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t alpha;
};

// A colour reference of the platform: 0x00BBGGRR (red in the low byte). The
// same value as a Win32 COLORREF, which converts to it implicitly.
typedef uint32_t PixelColorRef;

struct PixelBuffer {
    int32_t width;          // pixels per row
    int32_t height;         // number of rows
    uint32_t stride;        // bytes per row = bitsPerPixel / 8 * width
    uint32_t bitsPerPixel;  // 32 for every image drawn on; 24 only as a BlitAlpha source
    uint32_t reserved[2];   // zero
    uint8_t* pixels;        // stride * height bytes; pixel (x, y) at y * stride + x * bytes
    void* auxiliary;        // null; freed with the record when set
    uint32_t reserved2;     // zero
};

// Largest width or height accepted anywhere in the library, so that every
// byte offset of a pixel fits in 32 bits.
enum { PIXEL_MAX_SIDE = 16384 };

// A new record of width x height at bitsPerPixel (8, 16, 24 or 32), stride =
// bitsPerPixel / 8 * width. With allocate non-zero it also owns a new pixel
// block of stride * height bytes whose contents are undefined; with allocate 0
// pixels is null. Returns null when width or height is below 1 or above
// PIXEL_MAX_SIDE, for any other depth, or when memory ran out.
PixelBuffer* CreatePixelBuffer(int32_t width, int32_t height, uint32_t bitsPerPixel, int allocate);

// A new record with every field of source and its own copy of the pixels
// (bitsPerPixel / 8 * width * height bytes; pixels stays null when the source
// has none). The copy never shares the auxiliary block (its auxiliary is
// null). Returns null when source is null, its width or height is below 1 or
// above PIXEL_MAX_SIDE, its stride is not bitsPerPixel / 8 * width, or memory
// ran out.
PixelBuffer* CopyPixelBuffer(const PixelBuffer* source);

// Frees the pixels (when set), the auxiliary block (when set) and the record.
// Only for buffers from CreatePixelBuffer or CopyPixelBuffer: the buffer inside
// a PixelSurface is released with the surface. Returns 0 for null, else 1.
int DestroyPixelBuffer(PixelBuffer* buffer);

// Blue, green, red as given; alpha 255.
PixelColor MakeColor(uint8_t red, uint8_t green, uint8_t blue);

// The colour of a colour reference (red from bits 0..7, green 8..15, blue
// 16..23) with alpha 0.
PixelColor ColorFromRef(PixelColorRef colour);

// ColorFromRef(colour) with amount added to each of red, green and blue,
// clamped to 0..255; alpha 0. Callers brighten with +20 and +40 and darken
// with -20.
PixelColor AdjustColor(PixelColorRef colour, int32_t amount);
