#include <gtest/gtest.h>

#include "raster/pixel_blit.h"
#include "raster/pixel_test_support.h"

namespace {

// Composes one source pixel onto one destination pixel and returns the result.
PixelColor blitOne(PixelColor destination, PixelColor source, int mode) {
    BufferPtr target = makeFilled(1, 1, destination);
    BufferPtr image = makeFilled(1, 1, source);
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 1, 1, image.get(), 0, 0, mode), 1);
    return at(target.get(), 0, 0);
}

const PixelColor old = bgra(10, 20, 30, 77);
const PixelColor picked = bgra(200, 100, 50, 128);

}  // namespace

// The expected values below are worked out by hand from the formulas; a is a
// 32-bit float, the sums are in double, results truncated.
TEST(PixelBlitModes, AlphaBlendsByTheSourceAlphaAndKeepsTheDestinationAlpha) {
    // a = single(128 / 255) = 0.50196081: 200a + 10(1-a) = 105.37,
    // 100a + 20(1-a) = 60.16, 50a + 30(1-a) = 40.04.
    EXPECT_EQ(blitOne(old, picked, BlitAlpha), bgra(105, 60, 40, 77));
    EXPECT_EQ(blitOne(old, bgra(200, 100, 50, 0), BlitAlpha), old);
    EXPECT_EQ(blitOne(old, bgra(200, 100, 50, 255), BlitAlpha), bgra(200, 100, 50, 77));
}

TEST(PixelBlitModes, FadedUsesSevenTenthsOfTheAlpha) {
    // a = single(128 / 255 * 0.7) = 0.35137254: 200a + 10(1-a) = 76.76,
    // 100a + 20(1-a) = 48.11, 50a + 30(1-a) = 37.03.
    EXPECT_EQ(blitOne(old, picked, BlitFaded), bgra(76, 48, 37, 77));
    EXPECT_EQ(blitOne(old, bgra(1, 2, 3, 0), BlitFaded), old);
}

TEST(PixelBlitModes, ShadeLightensOrDarkensByTheSourceBlueAndCopiesItsAlpha) {
    // v = 200: k = single(72 / 127) = 0.56692916; 10 + 245k = 148.9,
    // 20 + 235k = 153.2, 30 + 225k = 157.6.
    EXPECT_EQ(blitOne(old, bgra(200, 0, 0, 99), BlitShade), bgra(148, 153, 157, 99));
    // v = 40: k = single(87 / 127) = 0.68503934; 100 - 100k = 31.5,
    // 150 - 150k = 47.2, 250 - 250k = 78.7.
    EXPECT_EQ(blitOne(bgra(100, 150, 250, 0), bgra(40, 0, 0, 99), BlitShade),
              bgra(31, 47, 78, 99));
    EXPECT_EQ(blitOne(old, bgra(0, 9, 9, 5), BlitShade), bgra(0, 0, 0, 5));
    EXPECT_EQ(blitOne(old, bgra(255, 9, 9, 5), BlitShade), bgra(255, 255, 255, 5));
    EXPECT_EQ(blitOne(old, bgra(127, 9, 9, 5), BlitShade), bgra(10, 20, 30, 5));
    EXPECT_EQ(blitOne(old, bgra(128, 9, 9, 5), BlitShade), bgra(10, 20, 30, 5));
}

TEST(PixelBlitModes, GrayWeighsRedGreenBlueAndCopiesTheAlpha) {
    // 0.34 * 50 + 0.44 * 100 + 0.22 * 200 = 105.
    EXPECT_EQ(blitOne(old, picked, BlitGray), bgra(105, 105, 105, 128));
    // The weights sum to 1, yet in double 23 comes out as 22.999..., so 22.
    EXPECT_EQ(blitOne(old, bgra(23, 23, 23, 0), BlitGray), bgra(22, 22, 22, 0));
}

TEST(PixelBlitModes, MutedPullsTheChannelsTogetherThenBlends) {
    // R* = 0.2*100 + 0.6*50 + 0.2*200 = 90, G* = 0.6*100 + 0.2*50 + 0.2*200 = 110,
    // B* = 0.2*50 + 0.2*100 + 0.6*200 = 150; a = 0.50196081:
    // red 90a + 30(1-a) = 60.1, green 20(1-a) + 110a = 65.2, blue 10(1-a) + 150a = 80.3.
    EXPECT_EQ(blitOne(old, picked, BlitMuted), bgra(80, 65, 60, 77));
}

TEST(PixelBlitModes, GrayHalfBlendsTheGreyAtHalfStrengthAndMakesItOpaque) {
    // g = 105, w = single(128 / 255) * 0.5 = 0.25098041: 10(1-w) + 105w = 33.8,
    // 20(1-w) + 105w = 41.3, 30(1-w) + 105w = 48.8.
    EXPECT_EQ(blitOne(old, picked, BlitGrayHalf), bgra(33, 41, 48, 255));
    EXPECT_EQ(blitOne(old, bgra(255, 255, 255, 0), BlitGrayHalf), bgra(10, 20, 30, 255));
}

TEST(PixelBlitModes, CopyTakesAllFourBytes) {
    EXPECT_EQ(blitOne(old, picked, BlitCopy), picked);
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
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 2, 0, BlitCopy), 0);
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 2, BlitCopy), 0);
    EXPECT_EQ(PixelBlit(target.get(), 4, 0, 2, 2, image.get(), 0, 0, BlitCopy), 0);
    EXPECT_EQ(PixelBlit(target.get(), -2, 0, 2, 2, image.get(), 0, 0, BlitCopy), 0);
    EXPECT_EQ(PixelBlit(target.get(), 0, 4, 2, 2, image.get(), 0, 0, BlitCopy), 0);
    EXPECT_EQ(PixelBlit(target.get(), 0, INT32_MIN, 2, INT32_MAX, image.get(), 0, 0, BlitCopy), 0);
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 0, 7), 1);
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 0, -1), 1);
    EXPECT_EQ(picture(target.get(), old), "....|....|....|....|");
    BufferPtr deep = makeFilled(2, 2, old);
    deep->bitsPerPixel = 24;
    EXPECT_EQ(PixelBlit(deep.get(), 0, 0, 2, 2, image.get(), 0, 0, BlitCopy), 1);
    deep->bitsPerPixel = 32;
    EXPECT_EQ(picture(deep.get(), old), "..|..|");
}

TEST(PixelBlit, NeverReadsOutsideTheSource) {
    BufferPtr target = makeFilled(5, 3, old);
    BufferPtr image = makeFilled(2, 2, picked);
    EXPECT_EQ(PixelBlit(target.get(), 1, 0, 50, 50, image.get(), 0, 0, BlitCopy), 1);
    EXPECT_EQ(picture(target.get(), old), ".##..|.##..|.....|");
    target = makeFilled(5, 3, old);
    EXPECT_EQ(PixelBlit(target.get(), 3, 1, 5, 5, image.get(), -1, 1, BlitCopy), 1);
    EXPECT_EQ(picture(target.get(), old), ".....|....#|.....|");
    target = makeFilled(5, 3, old);
    image->stride = 4;  // rows shorter than the width says
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 0, BlitCopy), 1);
    EXPECT_EQ(picture(target.get(), old), ".....|.....|.....|");
}

TEST(PixelBlit, ANegativeDestinationOriginSkipsTheHiddenPartOfTheSource) {
    BufferPtr target = makeFilled(3, 3, old);
    BufferPtr image(CreatePixelBuffer(3, 3, 32, 1));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++) at(image.get(), x, y) = bgra(x, y, 0, 255);
    EXPECT_EQ(PixelBlit(target.get(), -1, -2, 3, 3, image.get(), 0, 0, BlitCopy), 1);
    EXPECT_EQ(at(target.get(), 0, 0), bgra(1, 2, 0, 255));
    EXPECT_EQ(at(target.get(), 1, 0), bgra(2, 2, 0, 255));
    EXPECT_EQ(picture(target.get(), old), "##.|...|...|");
}

// Where a factor is rounded to single precision the last digit depends on it;
// in double each of these would come out one higher or one lower.
TEST(PixelBlitModes, SinglePrecisionFactorsDecideTheTruncatedDigit) {
    const PixelColor white = bgra(255, 255, 255, 0), black = bgra(0, 0, 0, 0);
    // a = single(1 / 255) = 0.0039215689 lies above 1/255: 255(1 - a) = 253.99999994.
    EXPECT_EQ(blitOne(white, bgra(0, 0, 0, 1), BlitAlpha), bgra(253, 253, 253, 0));
    // a = single(10 / 255 * 0.7) = 0.0274509806: 255a = 7.00000006.
    EXPECT_EQ(blitOne(black, bgra(255, 255, 255, 10), BlitFaded), bgra(7, 7, 7, 0));
    // k = single(1 / 127) = 0.0078740157 lies below: 1 + 254k = 2.9999999925.
    EXPECT_EQ(blitOne(bgra(1, 1, 1, 0), bgra(129, 0, 0, 0), BlitShade), bgra(2, 2, 2, 0));
    // k = single(126 / 127) = 0.99212599 lies above: 127 - 127k = 0.99999...
    EXPECT_EQ(blitOne(bgra(127, 127, 127, 0), bgra(1, 0, 0, 0), BlitShade), bgra(0, 0, 0, 0));
    // B* = trunc(single(0.2 * 1) + 0.6 * 3) = trunc(2.000000003) = 2; R* = trunc(1.2) = 1.
    EXPECT_EQ(blitOne(black, bgra(3, 0, 1, 255), BlitMuted), bgra(2, 0, 1, 0));
    // w = single(2 / 255) * 0.5 = 0.0039215689: 255(1 - w) = 253.99999994.
    EXPECT_EQ(blitOne(white, bgra(0, 0, 0, 2), BlitGrayHalf), bgra(253, 253, 253, 255));
}
