#include <gtest/gtest.h>

#include "raster/pixel_rect.h"
#include "raster/pixel_test_support.h"

namespace {

const PixelColor paper = bgra(1, 1, 1, 1);
const PixelColor ink = bgra(200, 100, 50, 255);

std::string fill(int32_t x, int32_t y, int32_t width, int32_t height) {
    return drawn(6, 3, paper, [&](PixelBuffer* b) { PixelFillRect(b, x, y, width, height, &ink); });
}

// A one-row dotted line from x over width at phase.
std::string dotted(int32_t x, int32_t width, int32_t phase) {
    return drawn(6, 1, paper,
                 [&](PixelBuffer* b) { PixelDottedFrame(b, 0, x, 0, width, 1, phase, 1, 0, 0, 0); });
}

}  // namespace

TEST(PixelFillRect, ClipsAtEveryEdgeAndStoresAllFourBytes) {
    EXPECT_EQ(fill(-5, 0, 10, 1), "#####.|......|......|");
    EXPECT_EQ(fill(4, 1, 10, 1), "......|....##|......|");
    EXPECT_EQ(fill(6, 0, 10, 3), "......|......|......|");
    EXPECT_EQ(fill(0, -2, 1, 3), "#.....|......|......|");
    EXPECT_EQ(fill(0, 2, 2, 99), "......|......|##....|");
    EXPECT_EQ(fill(0, 3, 6, 3), "......|......|......|");
    EXPECT_EQ(fill(-10, 0, 10, 3), "......|......|......|");
    EXPECT_EQ(fill(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), "......|......|......|");
    EXPECT_EQ(fill(INT32_MAX, 0, INT32_MAX, 3), "......|......|......|");
    EXPECT_EQ(fill(2, 1, -3, 1), "......|......|......|");
    BufferPtr buffer = makeFilled(6, 3, paper);
    PixelFillRect(buffer.get(), -1, -1, INT32_MAX, INT32_MAX, &ink);
    EXPECT_EQ(picture(buffer.get(), {{'i', ink}}), "iiiiii|iiiiii|iiiiii|");
}

TEST(PixelRectangles, DrawNothingOnMissingOrForeignBuffers) {
    PixelFillRect(nullptr, 0, 0, 5, 5, &ink);
    BufferPtr deep = makeFilled(2, 2, paper);
    deep->bitsPerPixel = 24;
    PixelFillRect(deep.get(), 0, 0, 2, 2, &ink);
    PixelDottedFrame(deep.get(), 0, 0, 0, 2, 2, 0, 1, 1, 1, 1);
    deep->bitsPerPixel = 32;
    deep->stride = 4;  // rows shorter than the width: refused rather than overrun
    PixelFillRect(deep.get(), 0, 0, 2, 2, &ink);
    deep->stride = 8;
    PixelFillRect(deep.get(), 0, 0, 2, 2, nullptr);
    EXPECT_EQ(picture(deep.get(), paper), "..|..|");
    BufferPtr empty(CreatePixelBuffer(2, 2, 32, 0));
    PixelFrameRect(empty.get(), 0, 0, 2, 2, &ink);
}

TEST(PixelFrames, OutlineOnlyTheChosenEdgesOfTheClippedArea) {
    EXPECT_EQ(drawn(6, 4, paper, [](PixelBuffer* b) { PixelFrameRect(b, 1, 1, 20, 2, &ink); }),
              "......|.#####|.#####|......|");
    EXPECT_EQ(drawn(4, 4, paper, [](PixelBuffer* b) { PixelFrameRect(b, 0, 0, 4, 4, &ink); }),
              "####|#..#|#..#|####|");
    EXPECT_EQ(drawn(4, 2, paper, [](PixelBuffer* b) { PixelFrameRect(b, 1, 0, 1, 2, &ink); }), ".#..|.#..|");
    EXPECT_EQ(drawn(5, 4, paper, [](PixelBuffer* b) { PixelEdges(b, 1, 1, 30, 2, &ink, 0, 0, 1, 1); }),
              ".....|....#|.####|.....|");
    EXPECT_EQ(drawn(5, 4, paper, [](PixelBuffer* b) { PixelEdges(b, -1, 0, 3, 4, &ink, 1, 1, 0, 0); }),
              "##...|#....|#....|#....|");
}

// The dash restarts on each edge; the phase shifts it, negative phases wrap.
TEST(PixelDottedFrame, DashesByEdgeAndPhase) {
    BufferPtr buffer = makeFilled(6, 6, paper);
    PixelDottedFrame(buffer.get(), 0x00336699, 0, 0, 6, 6, 0, 1, 0, 0, 0);
    EXPECT_EQ(picture(buffer.get(), paper), "##..##|......|......|......|......|......|");
    EXPECT_EQ(at(buffer.get(), 0, 0), bgra(0x33, 0x66, 0x99, 0));
    EXPECT_EQ(drawn(6, 6, paper, [](PixelBuffer* b) { PixelDottedFrame(b, 0, 0, 0, 6, 6, 0, 1, 1, 1, 1); }),
              "##..##|#....#|......|......|#....#|##..##|");
    EXPECT_EQ(dotted(0, 6, 1), "#..##.|");
    EXPECT_EQ(dotted(0, 6, -3), "#..##.|");
    EXPECT_EQ(dotted(-2, 8, INT32_MIN), "##..##|");
}
