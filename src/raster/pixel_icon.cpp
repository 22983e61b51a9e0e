#include "raster/pixel_icon.h"

#include "raster/pixel_clip.h"

int32_t PixelReadIconMask(const PixelBuffer* maskImage, uint8_t* mask, int32_t capacity) {
    if (!mask || !pixelDrawable(maskImage)) return 0;
    int64_t count = (int64_t)maskImage->width * maskImage->height;
    if (count > capacity) return 0;
    int32_t entry = 0;
    for (int32_t x = 0; x < maskImage->width; x++)
        for (int32_t y = 0; y < maskImage->height; y++)
            mask[entry++] = (uint8_t)~pixelAt(maskImage, x, y)[2];
    return entry;
}

void PixelApplyIconMask(PixelBuffer* image, const uint8_t* mask, int32_t count) {
    if (!mask || !pixelDrawable(image)) return;
    int32_t entry = 0;
    for (int32_t x = 0; x < image->width; x++) {
        for (int32_t y = 0; y < image->height; y++) {
            uint8_t* pixel = pixelAt(image, x, y);
            if (entry >= count || pixel[3] != 0) return;
            pixel[3] = mask[entry++];
        }
    }
}
