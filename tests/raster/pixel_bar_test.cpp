#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "raster/pixel_bar.h"
#include "raster/pixel_test_support.h"

namespace {

const PixelColor stale = bgra(7, 7, 7, 77);
const PixelColor start = MakeColor(0, 0, 255);
const PixelColor end = MakeColor(128, 128, 255);
const PixelColor white = MakeColor(255, 255, 255);
const PixelColor black = MakeColor(0, 0, 0);
const PixelColor inner = bgra(255, 255, 255, 77);  // the background keeps the old alpha

// Gradient columns of row `row` inside a one-pixel border: those whose red is
// not the white background's.
int filledColumns(const PixelBuffer* buffer, int row) {
    int n = 0;
    for (int x = 1; x < buffer->width - 1; x++) n += at(buffer, x, row).red != 255;
    return n;
}

}  // namespace

// t grows in single precision: 50 steps of 1/100 stay below 0.5, so 0.5 fills 51.
TEST(PixelBarFill, CountsTheFilledLengthInSinglePrecision) {
    BufferPtr bar = makeFilled(102, 4, stale);
    const struct { float fraction; int columns; } cases[] = {
        {0.25f, 25}, {0.5f, 51}, {7.0f, 100}, {0.0f, 0}, {-1.0f, 0}, {NAN, 0}, {1.0f, 100}};
    for (const auto& c : cases) {
        ASSERT_EQ(PixelBarFill(bar.get(), nullptr, &start, &end, &white, &black, c.fraction, 0), 1);
        EXPECT_EQ(filledColumns(bar.get(), 1), c.columns) << "fraction " << c.fraction;
        EXPECT_EQ(filledColumns(bar.get(), 2), c.columns);
    }
    // Column k has t = k steps of single(0.01): t(1) = 0.0099999998, red 1.28;
    // t(99) just under 0.99, red 126.7, blue stays 255. Alpha bytes are left.
    EXPECT_EQ(at(bar.get(), 1, 1), bgra(255, 0, 0, 77));
    EXPECT_EQ(at(bar.get(), 2, 1), bgra(255, 1, 1, 77));
    EXPECT_EQ(at(bar.get(), 100, 1), bgra(255, 126, 126, 77));
}

// A border needs three rows; the inner rows run over the right border column.
TEST(PixelBarFill, FramesTheBarWithTheBorderColourFromThreeRows) {
    BufferPtr bar = makeFilled(6, 4, stale);
    PixelBarFill(bar.get(), nullptr, &start, &end, &white, &black, 0.0f, 0);
    EXPECT_EQ(picture(bar.get(), {{'B', black}, {'w', inner}}), "BBBBBB|BwwwwB|BwwwwB|BBBBBB|");
    bar = makeFilled(4, 2, stale);
    PixelBarFill(bar.get(), nullptr, &start, &end, &white, &black, 0.0f, 0);
    EXPECT_EQ(picture(bar.get(), {{'B', black}, {'w', inner}}), "wwww|wwww|");
}

TEST(PixelBarFill, ToleratesTinyAndMissingArguments) {
    for (int width = 1; width <= 3; width++) {
        BufferPtr bar = makeFilled(width, 3, stale);
        EXPECT_EQ(PixelBarFill(bar.get(), nullptr, &start, &end, &white, &black, 1.0f, 0), 1);
        EXPECT_EQ(at(bar.get(), 0, 1), black);
    }
    BufferPtr bar = makeFilled(4, 3, stale);
    EXPECT_EQ(PixelBarFill(nullptr, nullptr, &start, &end, &white, &black, 1.0f, 0), 0);
    EXPECT_EQ(PixelBarFill(bar.get(), nullptr, nullptr, &end, &white, &black, 1.0f, 0), 0);
    BufferPtr blank(CreatePixelBuffer(4, 3, 32, 0));
    EXPECT_EQ(PixelBarFill(blank.get(), nullptr, &start, &end, &white, &black, 1.0f, 0), 0);
    EXPECT_EQ(picture(bar.get(), stale), "....|....|....|");
}

namespace {

// A shading image of neutral blue 128 (the colour stays) whose alpha names
// its column, 10 + column, so the destination's alpha shows what landed where.
BufferPtr markedShading(int width, int height) {
    BufferPtr shading(CreatePixelBuffer(width, height, 32, 1));
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) at(shading.get(), x, y) = bgra(128, 0, 0, 10 + x);
    return shading;
}

}  // namespace

// The shading goes on in three slices: left cap, a middle repeated from the
// image's centre, right cap; a fill too short for both caps is split between them.
TEST(PixelBarFill, LaysTheShadingInSlices) {
    const struct {
        const char* what;
        int shading, bar;
        float fraction;
        int cap;
        std::vector<int> alphas;
    } cases[] = {
        // 15 steps of single(0.05) stay below 0.72: n = 15, cap 2, the middle's
        // 11 columns in pieces of 4, 4, 3 from shading columns 2..5.
        {"three slices", 8, 20, 0.72f, 2,
         {10, 11, 12, 13, 14, 15, 12, 13, 14, 15, 12, 13, 14, 16, 17, 0, 0, 0, 0, 0}},
        // n = 5, cap 3: half 2 from the left, rest 3 from the right end of the image.
        {"split caps", 8, 10, 0.45f, 3, {10, 11, 15, 16, 17, 0, 0, 0, 0, 0}},
        {"one column", 8, 10, 0.05f, 3, std::vector<int>(10, 0)},
        // No middle could advance: refused rather than looping.
        {"image no wider than the caps", 4, 20, 1.0f, 2, std::vector<int>(20, 0)},
        {"negative cap", 4, 20, 1.0f, -1, std::vector<int>(20, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BufferPtr shading = markedShading(c.shading, 1);
        BufferPtr bar = makeFilled(c.bar, 1, bgra(0, 0, 0, 0));
        PixelBarFill(bar.get(), shading.get(), &start, &end, &white, nullptr, c.fraction, c.cap);
        std::vector<int> alphas;
        for (int x = 0; x < c.bar; x++) alphas.push_back(at(bar.get(), x, 0).alpha);
        EXPECT_EQ(alphas, c.alphas);
    }
}

TEST(PixelBarFill, CopiesRowsOnlyAsFarAsTheShadingReaches) {
    BufferPtr shading = markedShading(8, 2);
    BufferPtr bar = makeFilled(10, 6, stale);
    PixelBarFill(bar.get(), shading.get(), &start, &end, &white, &black, 0.0f, 2);
    // limit = min(2 + 2, 6): inner rows 1 and 2 are built, rows 3 and 4 keep
    // the old image, row 5 is border.
    EXPECT_EQ(picture(bar.get(), {{'B', black}, {'w', inner}, {'.', stale}}),
              "BBBBBBBBBB|BwwwwwwwwB|BwwwwwwwwB|..........|..........|BBBBBBBBBB|");
}
