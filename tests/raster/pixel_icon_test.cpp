#include <gtest/gtest.h>

#include "raster/pixel_icon.h"
#include "raster/pixel_test_support.h"

TEST(PixelIconMask, ReadsColumnByColumnAsTheComplementOfRed) {
    BufferPtr drawn = makeFilled(2, 3, bgra(0, 0, 255, 0));  // white-ish: transparent
    at(drawn.get(), 0, 1) = bgra(9, 9, 0, 0);               // black: opaque
    at(drawn.get(), 1, 0) = bgra(0, 0, 0x0F, 0);
    uint8_t mask[6] = {};
    ASSERT_EQ(PixelReadIconMask(drawn.get(), mask, 6), 6);
    const uint8_t expected[6] = {0, 255, 0, 0xF0, 0, 0};
    EXPECT_EQ(memcmp(mask, expected, 6), 0);
    uint8_t small[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(PixelReadIconMask(drawn.get(), small, 5), 0);
    EXPECT_EQ(small[0], 1);
    EXPECT_EQ(PixelReadIconMask(nullptr, mask, 6), 0);
}

TEST(PixelIconMask, AppliesUntilTheIconShowsItsOwnAlpha) {
    BufferPtr image = makeFilled(2, 3, bgra(5, 5, 5, 0));
    const uint8_t mask[6] = {255, 0, 255, 1, 2, 3};
    PixelApplyIconMask(image.get(), mask, 6);
    EXPECT_EQ(at(image.get(), 0, 0).alpha, 255);
    EXPECT_EQ(at(image.get(), 0, 1).alpha, 0);
    EXPECT_EQ(at(image.get(), 1, 2).alpha, 3);

    image = makeFilled(2, 3, bgra(5, 5, 5, 0));
    at(image.get(), 1, 0).alpha = 200;  // the fourth pixel in column order
    PixelApplyIconMask(image.get(), mask, 6);
    EXPECT_EQ(at(image.get(), 0, 2).alpha, 255);
    EXPECT_EQ(at(image.get(), 1, 0).alpha, 200);
    EXPECT_EQ(at(image.get(), 1, 1).alpha, 0);  // the visit stopped for good

    image = makeFilled(2, 3, bgra(5, 5, 5, 0));
    PixelApplyIconMask(image.get(), mask, 2);
    EXPECT_EQ(at(image.get(), 0, 0).alpha, 255);
    EXPECT_EQ(at(image.get(), 0, 2).alpha, 0);  // beyond count
}
