// Device-backed pixel images and the raster drawing that needs the platform.
//
// A PixelSurface is a PixelBuffer whose pixels are also a top-down 32-bit DIB
// section selected into a memory device context, so that GDI (text, icons,
// BitBlt) and the primitives of the raster library draw on the same pixels.
// The record is storage the caller provides (stack or heap); CreatePixelSurface
// fills it and DestroyPixelSurface releases what it made. A surface belongs to
// the thread that made it; the controls make one per paint on the main thread.
// Win32 only.
#pragma once

#include <windows.h>

#include "raster/pixel_blit.h"
#include "raster/pixel_buffer.h"
#include "raster/pixel_face.h"

struct PixelSurface {
    HDC memoryDc;            // compatible with the reference context
    HBITMAP bitmap;          // the DIB section, selected into memoryDc
    HBITMAP previousBitmap;  // what memoryDc held before; put back on destroy
    BITMAPINFO info;         // 40-byte header, biHeight = -height (top-down), 32 bits, BI_RGB
    int32_t width;
    int32_t height;
    PixelBuffer* buffer;     // owned record: stride width * 4, 32 bits, pixels = the DIB's bits
};

// Fills surface with a width x height DIB section of bitsPerPixel bits and a
// memory context holding it. The reference context is referenceDc, else
// GetDC(window), else a memory context made from the desktop window's context;
// a context obtained here is released before returning. The initial pixels are
// whatever the system gives: callers fill the whole surface before drawing.
// Returns 1 on success. Returns 0 when width or height is below 1 or above
// PIXEL_MAX_SIDE, bitsPerPixel is not 32 (the buffer record always describes
// 32-bit unpadded rows), or a GDI object or memory could not be had; the
// record is then zeroed and everything made so far released, so
// DestroyPixelSurface on it is harmless.
int CreatePixelSurface(HDC referenceDc, HWND window, PixelSurface* surface, int32_t width,
                       int32_t height, uint32_t bitsPerPixel);

// Copies the top-left width x height pixels of surface to (x, y) of target in
// one SetDIBitsToDevice call. Nothing happens for a null or empty surface;
// width and height are cut to the surface's size.
void PresentPixelSurface(HDC target, int32_t x, int32_t y, int32_t width, int32_t height,
                         const PixelSurface* surface);

// Releases what CreatePixelSurface made: the buffer record (not its pixels,
// which belong to the bitmap), the bitmap after putting previousBitmap back,
// and the memory context; the record is zeroed. Harmless on a zeroed record.
void DestroyPixelSurface(PixelSurface* surface);

// Draws icon at width x height onto destination at (x, y) with PixelBlit in
// mode (a PixelBlitMode), keeping its transparency: the icon's mask and image
// are drawn into a temporary 32-bit surface cleared to zero, and an icon
// without an alpha channel gets the mask as its alpha (pixel_icon.h), so its
// transparent pixels have alpha 0 and BlitAlpha leaves the destination there.
// Returns 0 when GetIconInfo fails on icon or the temporary surface (or its
// mask array) cannot be made; 1 otherwise, also when the icon has no colour
// bitmap (nothing is drawn then).
int PixelDrawIcon(PixelBuffer* destination, int mode, int32_t x, int32_t y, int32_t width,
                  int32_t height, HICON icon);

// The etched colours of the system: COLOR_BTNHIGHLIGHT and COLOR_BTNSHADOW
// through MakeEtchedColors.
EtchedColors SystemEtchedColors(void);

// PixelEtchedFrameWith in the system's etched colours.
void PixelEtchedFrame(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height);

// PixelGlassFaceWith on base, with the etched frame in the system's colours
// when frame is non-zero.
void PixelGlassFace(PixelBuffer* buffer, COLORREF base, int32_t x, int32_t y, int32_t width,
                    int32_t height, int frame);
