#include "raster/pixel_rect.h"

#include "raster/pixel_clip.h"

int pixelDrawable(const PixelBuffer* buffer) {
    return buffer && buffer->pixels && buffer->bitsPerPixel == 32 && buffer->width >= 1 &&
           buffer->height >= 1 && buffer->stride == (uint32_t)buffer->width * 4;
}

int pixelClip(const PixelBuffer* buffer, int64_t x, int64_t y, int64_t width, int64_t height,
              PixelArea* area) {
    if (x >= buffer->width || x + width <= 0 || y >= buffer->height || y + height <= 0) return 0;
    int64_t x1 = x + width < buffer->width ? x + width : buffer->width;
    int64_t y1 = y + height < buffer->height ? y + height : buffer->height;
    area->x0 = (int32_t)(x > 0 ? x : 0);
    area->y0 = (int32_t)(y > 0 ? y : 0);
    area->x1 = (int32_t)x1;
    area->y1 = (int32_t)y1;
    return area->x1 > area->x0 && area->y1 > area->y0;
}

static void fillRow(uint8_t* row, int32_t count, const PixelColor* colour) {
    PixelColor* pixel = (PixelColor*)row;
    for (int32_t i = 0; i < count; i++) pixel[i] = *colour;
}

static void fillColumn(const PixelBuffer* buffer, int32_t x, int32_t y0, int32_t y1,
                       const PixelColor* colour) {
    for (int32_t y = y0; y < y1; y++) *(PixelColor*)pixelAt(buffer, x, y) = *colour;
}

void pixelEdgesArea(PixelBuffer* buffer, const PixelArea* area, const PixelColor* colour,
                    int top, int left, int bottom, int right) {
    int32_t count = area->x1 - area->x0;
    if (top) fillRow(pixelAt(buffer, area->x0, area->y0), count, colour);
    if (bottom) fillRow(pixelAt(buffer, area->x0, area->y1 - 1), count, colour);
    if (left) fillColumn(buffer, area->x0, area->y0, area->y1, colour);
    if (right) fillColumn(buffer, area->x1 - 1, area->y0, area->y1, colour);
}

void PixelFillRect(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                   const PixelColor* colour) {
    PixelArea area;
    if (!colour || !pixelDrawable(buffer) || !pixelClip(buffer, x, y, width, height, &area)) return;
    for (int32_t row = area.y0; row < area.y1; row++)
        fillRow(pixelAt(buffer, area.x0, row), area.x1 - area.x0, colour);
}

void PixelFrameRect(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                    const PixelColor* colour) {
    PixelEdges(buffer, x, y, width, height, colour, 1, 1, 1, 1);
}

void PixelEdges(PixelBuffer* buffer, int32_t x, int32_t y, int32_t width, int32_t height,
                const PixelColor* colour, int top, int left, int bottom, int right) {
    PixelArea area;
    if (!colour || !pixelDrawable(buffer) || !pixelClip(buffer, x, y, width, height, &area)) return;
    pixelEdgesArea(buffer, &area, colour, top, left, bottom, right);
}

// The dash pattern on, on, off, off: counter values 0 and 1 (mod 4) are on.
static int dashOn(uint32_t counter) {
    return (counter & 3) < 2;
}

static void dottedRow(const PixelBuffer* buffer, int32_t y, const PixelArea* area,
                      uint32_t phase, const PixelColor* colour) {
    PixelColor* row = (PixelColor*)pixelAt(buffer, 0, y);
    for (int32_t x = area->x0; x < area->x1; x++)
        if (dashOn(phase + (uint32_t)(x - area->x0))) row[x] = *colour;
}

static void dottedColumn(const PixelBuffer* buffer, int32_t x, const PixelArea* area,
                         uint32_t phase, const PixelColor* colour) {
    for (int32_t y = area->y0; y < area->y1; y++)
        if (dashOn(phase + (uint32_t)(y - area->y0))) *(PixelColor*)pixelAt(buffer, x, y) = *colour;
}

void PixelDottedFrame(PixelBuffer* buffer, PixelColorRef colour, int32_t x, int32_t y,
                      int32_t width, int32_t height, int32_t phase, int top, int left,
                      int bottom, int right) {
    PixelArea area;
    if (!pixelDrawable(buffer) || !pixelClip(buffer, x, y, width, height, &area)) return;
    PixelColor dot = AdjustColor(colour, 0);
    // Phase modulo 4 as a non-negative value, so a negative phase walks the same pattern.
    uint32_t start = (uint32_t)(((phase % 4) + 4) % 4);
    if (top) dottedRow(buffer, area.y0, &area, start, &dot);
    if (bottom) dottedRow(buffer, area.y1 - 1, &area, start, &dot);
    if (left) dottedColumn(buffer, area.x0, &area, start, &dot);
    if (right) dottedColumn(buffer, area.x1 - 1, &area, start, &dot);
}
