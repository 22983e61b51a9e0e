#include "raster/pixel_surface.h"

#include <string.h>

static void describeBitmap(BITMAPINFO* info, int32_t width, int32_t height) {
    memset(info, 0, sizeof(*info));
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = -height;  // negative: rows run top to bottom
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 32;
    info->bmiHeader.biCompression = BI_RGB;
}

// The memory context and DIB section on reference; 1 when both exist.
static int makeBitmap(HDC reference, PixelSurface* surface) {
    surface->buffer = CreatePixelBuffer(surface->width, surface->height, 32, 0);
    if (!surface->buffer) return 0;
    surface->memoryDc = CreateCompatibleDC(reference);
    if (!surface->memoryDc) return 0;
    void* bits = 0;
    surface->bitmap = CreateDIBSection(reference, &surface->info, DIB_RGB_COLORS, &bits, 0, 0);
    if (!surface->bitmap || !bits) return 0;
    surface->buffer->pixels = (uint8_t*)bits;
    surface->previousBitmap = (HBITMAP)SelectObject(surface->memoryDc, surface->bitmap);
    return 1;
}

int CreatePixelSurface(HDC referenceDc, HWND window, PixelSurface* surface, int32_t width,
                       int32_t height, uint32_t bitsPerPixel) {
    if (!surface) return 0;
    memset(surface, 0, sizeof(*surface));
    if (width < 1 || height < 1 || width > PIXEL_MAX_SIDE || height > PIXEL_MAX_SIDE) return 0;
    if (bitsPerPixel != 32) return 0;
    surface->width = width;
    surface->height = height;
    describeBitmap(&surface->info, width, height);
    HDC reference = referenceDc;
    HDC windowDc = 0, desktopMemory = 0;
    if (!reference && window) {
        reference = windowDc = GetDC(window);
    } else if (!reference) {
        HWND desktop = GetDesktopWindow();
        HDC desktopDc = GetDC(desktop);
        reference = desktopMemory = CreateCompatibleDC(desktopDc);
        if (desktopDc) ReleaseDC(desktop, desktopDc);
    }
    int made = reference && makeBitmap(reference, surface);
    if (windowDc) ReleaseDC(window, windowDc);
    if (desktopMemory) DeleteDC(desktopMemory);
    if (!made) DestroyPixelSurface(surface);
    return made;
}

void PresentPixelSurface(HDC target, int32_t x, int32_t y, int32_t width, int32_t height,
                         const PixelSurface* surface) {
    if (!target || !surface || !surface->buffer || !surface->buffer->pixels) return;
    if (width > surface->width) width = surface->width;
    if (height > surface->height) height = surface->height;
    if (width < 1 || height < 1) return;
    // All scan lines are handed over. The source's y names the rectangle's
    // lower edge counted from the image's bottom, top-down images included, so
    // the top rows start height rows above the bottom.
    SetDIBitsToDevice(target, x, y, (DWORD)width, (DWORD)height, 0, surface->height - height, 0,
                      (UINT)surface->height, surface->buffer->pixels, &surface->info,
                      DIB_RGB_COLORS);
}

void DestroyPixelSurface(PixelSurface* surface) {
    if (!surface) return;
    if (surface->buffer) {
        // The pixels belong to the bitmap, not to the record.
        surface->buffer->pixels = 0;
        DestroyPixelBuffer(surface->buffer);
    }
    if (surface->memoryDc && surface->previousBitmap)
        SelectObject(surface->memoryDc, surface->previousBitmap);
    if (surface->bitmap) DeleteObject(surface->bitmap);
    if (surface->memoryDc) DeleteDC(surface->memoryDc);
    memset(surface, 0, sizeof(*surface));
}

EtchedColors SystemEtchedColors(void) {
    return MakeEtchedColors(GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
}

void PixelEtchedFrame(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height) {
    EtchedColors colours = SystemEtchedColors();
    PixelEtchedFrameWith(buffer, x, y, width, height, &colours);
}

void PixelGlassFace(PixelBuffer* buffer, COLORREF base, int32_t x, int32_t y, int32_t width,
                    int32_t height, int frame) {
    EtchedColors colours = SystemEtchedColors();
    PixelGlassFaceWith(buffer, base, x, y, width, height, frame ? &colours : 0);
}
