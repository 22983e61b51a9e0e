#include <gtest/gtest.h>
#include <stdlib.h>

#include "raster/pixel_buffer.h"
#include "raster/pixel_test_support.h"

TEST(PixelBuffer, CreateSetsTheLayoutAndRefusesEmptyOrNegativeSizes) {
    BufferPtr buffer(CreatePixelBuffer(7, 3, 24, 1));
    ASSERT_TRUE(buffer);
    EXPECT_EQ(buffer->stride, 21u);
    EXPECT_NE(buffer->pixels, nullptr);
    EXPECT_EQ(buffer->auxiliary, nullptr);
    EXPECT_EQ(buffer->reserved[0] | buffer->reserved[1] | buffer->reserved2, 0u);

    BufferPtr record(CreatePixelBuffer(4, 4, 32, 0));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->pixels, nullptr);

    // Two negative sides multiply to a positive area, but are no image.
    const struct { int32_t width, height; uint32_t bits; } refused[] = {
        {0, 5, 32}, {5, -1, 32}, {-2, -3, 32}, {PIXEL_MAX_SIDE + 1, 1, 32}, {4, 4, 0}, {4, 4, 12}};
    for (const auto& r : refused)
        EXPECT_EQ(CreatePixelBuffer(r.width, r.height, r.bits, 1), nullptr) << r.width << "x" << r.height;
    EXPECT_EQ(DestroyPixelBuffer(nullptr), 0);
    EXPECT_EQ(DestroyPixelBuffer(CreatePixelBuffer(2, 2, 32, 1)), 1);
}

TEST(PixelBuffer, CopyOwnsItsPixelsAndNeverSharesTheAuxiliaryBlock) {
    BufferPtr source = makeFilled(3, 2, bgra(1, 2, 3, 4));
    at(source.get(), 2, 1) = bgra(9, 8, 7, 6);
    source->auxiliary = malloc(8);
    BufferPtr copy(CopyPixelBuffer(source.get()));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->pixels, source->pixels);
    EXPECT_EQ(memcmp(copy->pixels, source->pixels, 3 * 2 * 4), 0);
    EXPECT_EQ(copy->auxiliary, nullptr);
    at(source.get(), 0, 0) = bgra(0, 0, 0, 0);
    EXPECT_EQ(at(copy.get(), 0, 0), bgra(1, 2, 3, 4));

    EXPECT_EQ(CopyPixelBuffer(nullptr), nullptr);
    PixelBuffer forged = *source;
    forged.stride = 4;  // shorter than the width says: copying would read past the rows
    EXPECT_EQ(CopyPixelBuffer(&forged), nullptr);
}

TEST(PixelColorTest, MakeAndFromRefLayBytesOutBlueGreenRedAlpha) {
    // Both red 0x56, green 0x34, blue 0x12.
    PixelColor made = MakeColor(0x56, 0x34, 0x12), fromRef = ColorFromRef(0x00123456);
    const uint8_t madeBytes[4] = {0x12, 0x34, 0x56, 0xFF}, refBytes[4] = {0x12, 0x34, 0x56, 0x00};
    EXPECT_EQ(memcmp(&made, madeBytes, 4), 0);
    EXPECT_EQ(memcmp(&fromRef, refBytes, 4), 0);
}

TEST(PixelColorTest, AdjustClampsEachChannelAndClearsAlpha) {
    // red 208, green 224, blue 240 brightened by 40: 248, 264 -> 255, 280 -> 255.
    EXPECT_EQ(AdjustColor(0x00F0E0D0, 40), bgra(255, 255, 248, 0));
    EXPECT_EQ(AdjustColor(0x00000000, -20), bgra(0, 0, 0, 0));
    EXPECT_EQ(AdjustColor(0x00102030, -20), bgra(0, 12, 28, 0));
    EXPECT_EQ(AdjustColor(0xFF102030, 0), bgra(0x10, 0x20, 0x30, 0));
    EXPECT_EQ(AdjustColor(0x00808080, INT32_MAX), bgra(255, 255, 255, 0));
    EXPECT_EQ(AdjustColor(0x00808080, INT32_MIN), bgra(0, 0, 0, 0));
}
