#include "raster/pixel_buffer.h"

#include <stdlib.h>
#include <string.h>

static int validDepth(uint32_t bitsPerPixel) {
    return bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

static int validSide(int32_t side) {
    return side >= 1 && side <= PIXEL_MAX_SIDE;
}

PixelBuffer* CreatePixelBuffer(int32_t width, int32_t height, uint32_t bitsPerPixel, int allocate) {
    if (!validSide(width) || !validSide(height) || !validDepth(bitsPerPixel)) return 0;
    PixelBuffer* buffer = (PixelBuffer*)calloc(1, sizeof(PixelBuffer));
    if (!buffer) return 0;
    buffer->width = width;
    buffer->height = height;
    buffer->stride = bitsPerPixel / 8 * (uint32_t)width;
    buffer->bitsPerPixel = bitsPerPixel;
    if (allocate) {
        buffer->pixels = (uint8_t*)malloc((size_t)buffer->stride * (size_t)height);
        if (!buffer->pixels) {
            free(buffer);
            return 0;
        }
    }
    return buffer;
}

PixelBuffer* CopyPixelBuffer(const PixelBuffer* source) {
    if (!source || !validSide(source->width) || !validSide(source->height)) return 0;
    if (!validDepth(source->bitsPerPixel)) return 0;
    if (source->stride != source->bitsPerPixel / 8 * (uint32_t)source->width) return 0;
    PixelBuffer* copy = (PixelBuffer*)malloc(sizeof(PixelBuffer));
    if (!copy) return 0;
    *copy = *source;
    // Two records freeing one auxiliary block would free it twice.
    copy->auxiliary = 0;
    if (source->pixels) {
        size_t size = (size_t)source->stride * (size_t)source->height;
        copy->pixels = (uint8_t*)malloc(size);
        if (!copy->pixels) {
            free(copy);
            return 0;
        }
        memcpy(copy->pixels, source->pixels, size);
    }
    return copy;
}

int DestroyPixelBuffer(PixelBuffer* buffer) {
    if (!buffer) return 0;
    free(buffer->pixels);
    free(buffer->auxiliary);
    free(buffer);
    return 1;
}

PixelColor MakeColor(uint8_t red, uint8_t green, uint8_t blue) {
    PixelColor colour = {blue, green, red, 255};
    return colour;
}

PixelColor ColorFromRef(PixelColorRef colour) {
    PixelColor result = {(uint8_t)(colour >> 16), (uint8_t)(colour >> 8), (uint8_t)colour, 0};
    return result;
}

static uint8_t addClamped(uint8_t channel, int32_t amount) {
    int32_t value = (int32_t)channel + amount;
    if (value > 255) return 255;
    if (value < 0) return 0;
    return (uint8_t)value;
}

PixelColor AdjustColor(PixelColorRef colour, int32_t amount) {
    // Beyond +-255 every channel saturates anyway; the limit keeps the sum in range.
    if (amount > 255) amount = 255;
    if (amount < -255) amount = -255;
    PixelColor result = ColorFromRef(colour);
    result.red = addClamped(result.red, amount);
    result.green = addClamped(result.green, amount);
    result.blue = addClamped(result.blue, amount);
    return result;
}
