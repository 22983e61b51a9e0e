#include <stdlib.h>

#include "raster/pixel_icon.h"
#include "raster/pixel_surface.h"

// Masks of icons up to 64 x 64 (the wizard's are 16 x 16) live on the stack,
// so a button's paint allocates no mask array.
enum { STACK_MASK_BYTES = 64 * 64 };

static void releaseIconBitmaps(ICONINFO* info) {
    if (info->hbmMask) DeleteObject(info->hbmMask);
    if (info->hbmColor) DeleteObject(info->hbmColor);
}

// Mask, then image, into the cleared surface; the mask read in between
// becomes the alpha of an icon that has none. 0 when the mask array is missing.
static int drawIconPixels(PixelSurface* surface, HICON icon) {
    uint8_t stackMask[STACK_MASK_BYTES];
    int32_t count = surface->width * surface->height;
    uint8_t* mask = count <= STACK_MASK_BYTES ? stackMask : (uint8_t*)malloc((size_t)count);
    if (!mask) return 0;
    DrawIconEx(surface->memoryDc, 0, 0, icon, surface->width, surface->height, 0, 0, DI_MASK);
    // GDI may batch drawing on a DIB section: flush before its bits are read.
    GdiFlush();
    PixelReadIconMask(surface->buffer, mask, count);
    DrawIconEx(surface->memoryDc, 0, 0, icon, surface->width, surface->height, 0, 0, DI_IMAGE);
    GdiFlush();
    PixelApplyIconMask(surface->buffer, mask, count);
    if (mask != stackMask) free(mask);
    return 1;
}

int PixelDrawIcon(PixelBuffer* destination, int mode, int32_t x, int32_t y, int32_t width,
                  int32_t height, HICON icon) {
    ICONINFO info;
    if (!icon || !GetIconInfo(icon, &info)) return 0;
    PixelSurface surface;
    if (!CreatePixelSurface(0, 0, &surface, width, height, 32)) {
        releaseIconBitmaps(&info);
        return 0;
    }
    BitBlt(surface.memoryDc, 0, 0, width, height, 0, 0, 0, BLACKNESS);
    BITMAP colour;
    int result = 1;
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof(colour), &colour)) {
        result = drawIconPixels(&surface, icon);
        if (result) PixelBlit(destination, x, y, width, height, surface.buffer, 0, 0, mode);
    }
    releaseIconBitmaps(&info);
    DestroyPixelSurface(&surface);
    return result;
}
