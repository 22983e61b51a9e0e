#include <gtest/gtest.h>

#include "raster/pixel_blit.h"
#include "raster/pixel_test_support.h"

namespace {

const PixelColor old = bgra(10, 20, 30, 77);
const PixelColor picked = bgra(200, 100, 50, 128);
const PixelColor white = bgra(255, 255, 255, 0), black = bgra(0, 0, 0, 0);

}  // namespace

// One source pixel composed onto one destination pixel in each mode. The
// expected values are worked out by hand from the formulas; a is a 32-bit
// float, the sums are in double, results truncated.
TEST(PixelBlitModes, ComposeOnePixel) {
    const struct { int mode; PixelColor destination, source, expected; } cases[] = {
        // Alpha blends by the source alpha and keeps the destination alpha.
        // a = single(128 / 255) = 0.50196081: 200a + 10(1-a) = 105.37,
        // 100a + 20(1-a) = 60.16, 50a + 30(1-a) = 40.04.
        {BlitAlpha, old, picked, bgra(105, 60, 40, 77)},
        {BlitAlpha, old, bgra(200, 100, 50, 0), old},
        {BlitAlpha, old, bgra(200, 100, 50, 255), bgra(200, 100, 50, 77)},
        // Faded uses seven tenths of the alpha. a = single(128 / 255 * 0.7) =
        // 0.35137254: 200a + 10(1-a) = 76.76, 100a + 20(1-a) = 48.11, 50a + 30(1-a) = 37.03.
        {BlitFaded, old, picked, bgra(76, 48, 37, 77)},
        {BlitFaded, old, bgra(1, 2, 3, 0), old},
        // Shade lightens or darkens by the source blue and copies its alpha.
        // v = 200: k = single(72 / 127) = 0.56692916; 10 + 245k = 148.9,
        // 20 + 235k = 153.2, 30 + 225k = 157.6.
        {BlitShade, old, bgra(200, 0, 0, 99), bgra(148, 153, 157, 99)},
        // v = 40: k = single(87 / 127) = 0.68503934; 100 - 100k = 31.5,
        // 150 - 150k = 47.2, 250 - 250k = 78.7.
        {BlitShade, bgra(100, 150, 250, 0), bgra(40, 0, 0, 99), bgra(31, 47, 78, 99)},
        {BlitShade, old, bgra(0, 9, 9, 5), bgra(0, 0, 0, 5)},
        {BlitShade, old, bgra(255, 9, 9, 5), bgra(255, 255, 255, 5)},
        {BlitShade, old, bgra(127, 9, 9, 5), bgra(10, 20, 30, 5)},
        {BlitShade, old, bgra(128, 9, 9, 5), bgra(10, 20, 30, 5)},
        // Gray weighs red, green, blue and copies the alpha: 0.34 * 50 +
        // 0.44 * 100 + 0.22 * 200 = 105. The weights sum to 1, yet in double 23
        // comes out as 22.999..., so 22.
        {BlitGray, old, picked, bgra(105, 105, 105, 128)},
        {BlitGray, old, bgra(23, 23, 23, 0), bgra(22, 22, 22, 0)},
        // Muted pulls the channels together, then blends: R* = 0.2*100 + 0.6*50
        // + 0.2*200 = 90, G* = 0.6*100 + 0.2*50 + 0.2*200 = 110, B* = 0.2*50 +
        // 0.2*100 + 0.6*200 = 150; a = 0.50196081: red 90a + 30(1-a) = 60.1,
        // green 20(1-a) + 110a = 65.2, blue 10(1-a) + 150a = 80.3.
        {BlitMuted, old, picked, bgra(80, 65, 60, 77)},
        // Gray-half blends the grey at half strength and makes it opaque: g = 105,
        // w = single(128 / 255) * 0.5 = 0.25098041: 10(1-w) + 105w = 33.8,
        // 20(1-w) + 105w = 41.3, 30(1-w) + 105w = 48.8.
        {BlitGrayHalf, old, picked, bgra(33, 41, 48, 255)},
        {BlitGrayHalf, old, bgra(255, 255, 255, 0), bgra(10, 20, 30, 255)},
        {BlitCopy, old, picked, picked},  // all four bytes
        // Where a factor is rounded to single precision the last digit depends
        // on it; in double each of these would come out one higher or lower.
        // a = single(1 / 255) = 0.0039215689 lies above 1/255: 255(1 - a) = 253.99999994.
        {BlitAlpha, white, bgra(0, 0, 0, 1), bgra(253, 253, 253, 0)},
        // a = single(10 / 255 * 0.7) = 0.0274509806: 255a = 7.00000006.
        {BlitFaded, black, bgra(255, 255, 255, 10), bgra(7, 7, 7, 0)},
        // k = single(1 / 127) = 0.0078740157 lies below: 1 + 254k = 2.9999999925.
        {BlitShade, bgra(1, 1, 1, 0), bgra(129, 0, 0, 0), bgra(2, 2, 2, 0)},
        // k = single(126 / 127) = 0.99212599 lies above: 127 - 127k = 0.99999...
        {BlitShade, bgra(127, 127, 127, 0), bgra(1, 0, 0, 0), bgra(0, 0, 0, 0)},
        // B* = trunc(single(0.2 * 1) + 0.6 * 3) = trunc(2.000000003) = 2; R* = trunc(1.2) = 1.
        {BlitMuted, black, bgra(3, 0, 1, 255), bgra(2, 0, 1, 0)},
        // w = single(2 / 255) * 0.5 = 0.0039215689: 255(1 - w) = 253.99999994.
        {BlitGrayHalf, white, bgra(0, 0, 0, 2), bgra(253, 253, 253, 255)},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        SCOPED_TRACE(testing::Message() << "case " << i << ", mode " << cases[i].mode);
        BufferPtr target = makeFilled(1, 1, cases[i].destination);
        BufferPtr image = makeFilled(1, 1, cases[i].source);
        EXPECT_EQ(PixelBlit(target.get(), 0, 0, 1, 1, image.get(), 0, 0, cases[i].mode), 1);
        EXPECT_EQ(at(target.get(), 0, 0), cases[i].expected);
    }
}

TEST(PixelBlitModes, AlphaCopiesATwentyFourBitSourceThroughItsStride) {
    BufferPtr target = makeFilled(2, 2, old);
    BufferPtr image(CreatePixelBuffer(3, 2, 24, 1));
    for (int i = 0; i < 18; i++) image->pixels[i] = (uint8_t)i;
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 1, 0, BlitAlpha), 1);
    EXPECT_EQ(at(target.get(), 0, 0), bgra(3, 4, 5, 77));
    EXPECT_EQ(at(target.get(), 1, 1), bgra(15, 16, 17, 77));
    // The other modes read four bytes per pixel: a 24-bit source is refused.
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 0, BlitCopy), 1);
    EXPECT_EQ(at(target.get(), 0, 0), bgra(3, 4, 5, 77));
}

TEST(PixelBlit, RejectsOriginsOutsideEitherBuffer) {
    BufferPtr target = makeFilled(4, 4, old);
    BufferPtr image = makeFilled(2, 2, picked);
    EXPECT_EQ(PixelBlit(nullptr, 0, 0, 2, 2, image.get(), 0, 0, BlitCopy), 0);
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, nullptr, 0, 0, BlitCopy), 0);
    const struct { int32_t x, y, height, sourceX, sourceY; } outside[] = {
        {0, 0, 2, 2, 0}, {0, 0, 2, 0, 2}, {4, 0, 2, 0, 0}, {-2, 0, 2, 0, 0}, {0, 4, 2, 0, 0},
        {0, INT32_MIN, INT32_MAX, 0, 0}};
    for (const auto& o : outside)
        EXPECT_EQ(PixelBlit(target.get(), o.x, o.y, 2, o.height, image.get(), o.sourceX, o.sourceY,
                            BlitCopy),
                  0)
            << o.x << "," << o.y << " from " << o.sourceX << "," << o.sourceY;
    // Unknown modes, and destinations of another depth, succeed drawing nothing.
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 0, 7), 1);
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 0, -1), 1);
    EXPECT_EQ(picture(target.get(), old), "....|....|....|....|");
    BufferPtr deep = makeFilled(2, 2, old);
    deep->bitsPerPixel = 24;
    EXPECT_EQ(PixelBlit(deep.get(), 0, 0, 2, 2, image.get(), 0, 0, BlitCopy), 1);
    deep->bitsPerPixel = 32;
    EXPECT_EQ(picture(deep.get(), old), "..|..|");
}

// The area is clipped to both buffers; a negative destination origin skips the
// hidden part of the source.
TEST(PixelBlit, ClipsToBothBuffers) {
    BufferPtr image = makeFilled(2, 2, picked);
    auto copy = [&](int32_t x, int32_t y, int32_t size, int32_t sourceX, int32_t sourceY) {
        return drawn(5, 3, old, [&](PixelBuffer* b) {
            EXPECT_EQ(PixelBlit(b, x, y, size, size, image.get(), sourceX, sourceY, BlitCopy), 1);
        });
    };
    EXPECT_EQ(copy(1, 0, 50, 0, 0), ".##..|.##..|.....|");
    EXPECT_EQ(copy(3, 1, 5, -1, 1), ".....|....#|.....|");
    image->stride = 4;  // rows shorter than the width says
    EXPECT_EQ(copy(0, 0, 2, 0, 0), ".....|.....|.....|");

    BufferPtr target = makeFilled(3, 3, old);
    BufferPtr gradient(CreatePixelBuffer(3, 3, 32, 1));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++) at(gradient.get(), x, y) = bgra(x, y, 0, 255);
    EXPECT_EQ(PixelBlit(target.get(), -1, -2, 3, 3, gradient.get(), 0, 0, BlitCopy), 1);
    EXPECT_EQ(picture(target.get(), {{'.', old}, {'a', bgra(1, 2, 0, 255)}, {'b', bgra(2, 2, 0, 255)}}),
              "ab.|...|...|");
}
