// The raster library on plain buffers: each blend mode on one pixel worked
// out by hand from its formula (a factor held in single precision, sums in
// double, results truncated), clipping at every edge, the progress bar's fill
// and shading slices, icon masks. (Faces, frames and the bar as the controls
// draw them: tests/controls/check_gallery.)
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "raster/pixel_bar.h"
#include "raster/pixel_blit.h"
#include "raster/pixel_icon.h"
#include "raster/pixel_rect.h"
#include "raster/raster_test_support.h"

TEST(PixelBlit, ComposesOnePixelInEachMode) {
    const PixelColor old = bgra(10, 20, 30, 77), picked = bgra(200, 100, 50, 128);
    const PixelColor white = bgra(255, 255, 255, 0), black = bgra(0, 0, 0, 0);
    const struct { int mode; PixelColor destination, source, expected; } cases[] = {
        // a = single(128 / 255): 200a + 10(1-a) = 105.37, ...; the destination alpha stays.
        {BlitAlpha, old, picked, bgra(105, 60, 40, 77)},
        {BlitAlpha, old, bgra(200, 100, 50, 255), bgra(200, 100, 50, 77)},
        // a = single(128 / 255 * 0.7): 200a + 10(1-a) = 76.76, ...
        {BlitFaded, old, picked, bgra(76, 48, 37, 77)},
        // Blue 200 lightens by k = single(72 / 127): 10 + 245k = 148.9, ...; the alpha is copied.
        {BlitShade, old, bgra(200, 0, 0, 99), bgra(148, 153, 157, 99)},
        // Blue 40 darkens by k = single(87 / 127): 100 - 100k = 31.5, ...
        {BlitShade, bgra(100, 150, 250, 0), bgra(40, 0, 0, 99), bgra(31, 47, 78, 99)},
        {BlitShade, old, bgra(127, 9, 9, 5), bgra(10, 20, 30, 5)},
        {BlitShade, old, bgra(128, 9, 9, 5), bgra(10, 20, 30, 5)},
        // 0.34 * 50 + 0.44 * 100 + 0.22 * 200 = 105; 23 comes out as 22.999..., so 22.
        {BlitGray, old, picked, bgra(105, 105, 105, 128)},
        {BlitGray, old, bgra(23, 23, 23, 0), bgra(22, 22, 22, 0)},
        // R* = 90, G* = 110, B* = 150 blended by a = single(128 / 255).
        {BlitMuted, old, picked, bgra(80, 65, 60, 77)},
        // Grey 105 at w = single(128 / 255) * 0.5 over the destination, made opaque.
        {BlitGrayHalf, old, picked, bgra(33, 41, 48, 255)},
        {BlitCopy, old, picked, picked},
        // Where a factor is rounded to single precision the last digit depends
        // on it: each of these would come out one higher or lower in double.
        {BlitAlpha, white, bgra(0, 0, 0, 1), bgra(253, 253, 253, 0)},
        {BlitFaded, black, bgra(255, 255, 255, 10), bgra(7, 7, 7, 0)},
        {BlitShade, bgra(1, 1, 1, 0), bgra(129, 0, 0, 0), bgra(2, 2, 2, 0)},
        {BlitShade, bgra(127, 127, 127, 0), bgra(1, 0, 0, 0), bgra(0, 0, 0, 0)},
        {BlitMuted, black, bgra(3, 0, 1, 255), bgra(2, 0, 1, 0)},
        {BlitGrayHalf, white, bgra(0, 0, 0, 2), bgra(253, 253, 253, 255)},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        BufferPtr target = makeFilled(1, 1, cases[i].destination), image = makeFilled(1, 1, cases[i].source);
        EXPECT_EQ(PixelBlit(target.get(), 0, 0, 1, 1, image.get(), 0, 0, cases[i].mode), 1);
        EXPECT_EQ(at(target.get(), 0, 0), cases[i].expected) << "case " << i;
    }
    // A 24-bit source is read through its stride, by BlitAlpha only.
    BufferPtr target = makeFilled(2, 2, old), image(CreatePixelBuffer(3, 2, 24, 1));
    for (int i = 0; i < 18; i++) image->pixels[i] = (uint8_t)i;
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 1, 0, BlitAlpha), 1);
    EXPECT_EQ(at(target.get(), 1, 1), bgra(15, 16, 17, 77));
    EXPECT_EQ(PixelBlit(target.get(), 0, 0, 2, 2, image.get(), 0, 0, BlitCopy), 1);
    EXPECT_EQ(at(target.get(), 0, 0), bgra(3, 4, 5, 77));
}

TEST(PixelBlit, ClipsToBothBuffersAndRefusesOriginsOutside) {
    const PixelColor old = bgra(10, 20, 30, 77);
    BufferPtr image = makeFilled(2, 2, bgra(200, 100, 50, 128));
    auto copy = [&](int32_t x, int32_t y, int32_t size, int32_t sourceX, int32_t sourceY, int mode = BlitCopy) {
        return drawn(5, 3, old, [&](PixelBuffer* b) {
            EXPECT_EQ(PixelBlit(b, x, y, size, size, image.get(), sourceX, sourceY, mode), 1);
        });
    };
    EXPECT_EQ(copy(1, 0, 50, 0, 0), ".##..|.##..|.....|");
    EXPECT_EQ(copy(3, 1, 5, -1, 1), ".....|....#|.....|");
    EXPECT_EQ(copy(0, 0, 2, 0, 0, 7), ".....|.....|.....|") << "unknown modes draw nothing";
    const struct { int32_t x, y, height, sourceX, sourceY; } outside[] = {
        {0, 0, 2, 2, 0}, {0, 0, 2, 0, 2}, {5, 0, 2, 0, 0}, {-2, 0, 2, 0, 0}, {0, 3, 2, 0, 0},
        {0, INT32_MIN, INT32_MAX, 0, 0}};
    BufferPtr target = makeFilled(5, 3, old);
    for (const auto& o : outside)
        EXPECT_EQ(PixelBlit(target.get(), o.x, o.y, 2, o.height, image.get(), o.sourceX, o.sourceY, BlitCopy), 0)
            << o.x << "," << o.y << " from " << o.sourceX << "," << o.sourceY;
    image->stride = 4;  // rows shorter than the width says
    EXPECT_EQ(copy(0, 0, 2, 0, 0), ".....|.....|.....|");
    BufferPtr gradient(CreatePixelBuffer(3, 3, 32, 1));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++) at(gradient.get(), x, y) = bgra(x, y, 0, 255);
    target = makeFilled(3, 3, old);
    EXPECT_EQ(PixelBlit(target.get(), -1, -2, 3, 3, gradient.get(), 0, 0, BlitCopy), 1);
    EXPECT_EQ(picture(target.get(), {{'.', old}, {'a', bgra(1, 2, 0, 255)}, {'b', bgra(2, 2, 0, 255)}}),
              "ab.|...|...|");
}

TEST(PixelBuffer, RefusesSizesThatAreNoImageAndCopiesOnlyWholeRows) {
    const struct { int32_t width, height; uint32_t bits; } refused[] = {
        {0, 5, 32}, {5, -1, 32}, {-2, -3, 32}, {PIXEL_MAX_SIDE + 1, 1, 32}, {4, 4, 12}};
    for (const auto& r : refused) EXPECT_EQ(CreatePixelBuffer(r.width, r.height, r.bits, 1), nullptr) << r.width;
    BufferPtr source = makeFilled(3, 2, bgra(1, 2, 3, 4));
    source->auxiliary = malloc(8);
    BufferPtr copy(CopyPixelBuffer(source.get()));
    EXPECT_EQ(picture(copy.get(), bgra(1, 2, 3, 4)), "...|...|");
    EXPECT_TRUE(copy->pixels != source->pixels && copy->auxiliary == nullptr) << "its own pixels, no shared block";
    source->stride = 4;  // copying would read past the rows
    EXPECT_EQ(CopyPixelBuffer(source.get()), nullptr);
}

TEST(PixelRect, FillsFramesAndDashesClippedAtEveryEdge) {
    const PixelColor paper = bgra(1, 1, 1, 1), ink = bgra(200, 100, 50, 255);
    auto fill = [&](int32_t x, int32_t y, int32_t width, int32_t height) {
        return drawn(6, 3, paper, [&](PixelBuffer* b) { PixelFillRect(b, x, y, width, height, &ink); });
    };
    EXPECT_EQ(fill(-5, 0, 10, 1), "#####.|......|......|");
    EXPECT_EQ(fill(4, 1, 10, 1), "......|....##|......|");
    EXPECT_EQ(fill(0, 2, 2, 99), "......|......|##....|");
    for (auto nothing : {fill(6, 0, 10, 3), fill(0, 3, 6, 3), fill(-10, 0, 10, 3), fill(2, 1, -3, 1),
                         fill(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), fill(INT32_MAX, 0, INT32_MAX, 3)})
        EXPECT_EQ(nothing, "......|......|......|");
    EXPECT_EQ(drawn(6, 4, paper, [&](PixelBuffer* b) { PixelFrameRect(b, 1, 1, 20, 2, &ink); }),
              "......|.#####|.#####|......|");
    // The dash (on, on, off, off) restarts on each edge; the phase shifts it, negative phases wrap.
    EXPECT_EQ(drawn(6, 6, paper, [](PixelBuffer* b) { PixelDottedFrame(b, 0, 0, 0, 6, 6, 0, 1, 1, 1, 1); }),
              "##..##|#....#|......|......|#....#|##..##|");
    for (int32_t phase : {1, -3})
        EXPECT_EQ(drawn(6, 1, paper, [&](PixelBuffer* b) { PixelDottedFrame(b, 0, 0, 0, 6, 1, phase, 1, 0, 0, 0); }),
                  "#..##.|");
    BufferPtr deep = makeFilled(2, 2, paper);
    deep->stride = 4;  // rows shorter than the width: refused rather than overrun
    PixelFillRect(deep.get(), 0, 0, 2, 2, &ink);
    PixelDottedFrame(deep.get(), 0, 0, 0, 2, 2, 0, 1, 1, 1, 1);
    deep->stride = 8;
    EXPECT_EQ(picture(deep.get(), paper), "..|..|");
}

// Gradient columns of row `row` inside a one-pixel border: those whose red is
// not the white background's.
int filledColumns(const PixelBuffer* buffer, int row) {
    int n = 0;
    for (int x = 1; x < buffer->width - 1; x++) n += at(buffer, x, row).red != 255;
    return n;
}

// A shading image of neutral blue 128 (the colour stays) whose alpha names
// its column, 10 + column, so the bar's alpha shows what landed where.
BufferPtr markedShading(int width, int height) {
    BufferPtr shading(CreatePixelBuffer(width, height, 32, 1));
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) at(shading.get(), x, y) = bgra(128, 0, 0, 10 + x);
    return shading;
}

TEST(PixelBarFill, FillsInSinglePrecisionAndLaysTheShadingInSlices) {
    const PixelColor stale = bgra(7, 7, 7, 77), start = MakeColor(0, 0, 255), end = MakeColor(128, 128, 255);
    const PixelColor white = MakeColor(255, 255, 255), black = MakeColor(0, 0, 0);
    BufferPtr bar = makeFilled(102, 4, stale);
    // t grows in single precision: 50 steps of 1/100 stay below 0.5, so 0.5 fills 51.
    for (auto [fraction, columns] : std::vector<std::pair<float, int>>{
             {0.25f, 25}, {0.5f, 51}, {7.0f, 100}, {0.0f, 0}, {-1.0f, 0}, {NAN, 0}, {1.0f, 100}}) {
        ASSERT_EQ(PixelBarFill(bar.get(), nullptr, &start, &end, &white, &black, fraction, 0), 1);
        EXPECT_EQ(filledColumns(bar.get(), 1), columns) << fraction;
        EXPECT_EQ(filledColumns(bar.get(), 2), columns) << fraction;
    }
    // t(1) = 0.0099999998 gives red 1.28; t(99), just under 0.99, red 126.7. Alpha bytes stay.
    EXPECT_EQ(at(bar.get(), 2, 1), bgra(255, 1, 1, 77));
    EXPECT_EQ(at(bar.get(), 100, 1), bgra(255, 126, 126, 77));
    const struct { int shading, bar; float fraction; int cap; std::vector<int> alphas; } slices[] = {
        // n = 15, cap 2: the middle's 11 columns in pieces of 4, 4, 3 from shading columns 2..5.
        {8, 20, 0.72f, 2, {10, 11, 12, 13, 14, 15, 12, 13, 14, 15, 12, 13, 14, 16, 17, 0, 0, 0, 0, 0}},
        // n = 5, cap 3: half 2 from the left, rest 3 from the right end of the image.
        {8, 10, 0.45f, 3, {10, 11, 15, 16, 17, 0, 0, 0, 0, 0}},
        {8, 10, 0.05f, 3, std::vector<int>(10, 0)},
        {4, 20, 1.0f, 2, std::vector<int>(20, 0)},  // no middle could advance: refused, not looping
        {4, 20, 1.0f, -1, std::vector<int>(20, 0)},
    };
    for (const auto& s : slices) {
        bar = makeFilled(s.bar, 1, bgra(0, 0, 0, 0));
        PixelBarFill(bar.get(), markedShading(s.shading, 1).get(), &start, &end, &white, nullptr, s.fraction, s.cap);
        std::vector<int> alphas;
        for (int x = 0; x < s.bar; x++) alphas.push_back(at(bar.get(), x, 0).alpha);
        EXPECT_EQ(alphas, s.alphas) << s.fraction;
    }
    EXPECT_EQ(PixelBarFill(bar.get(), nullptr, nullptr, &end, &white, &black, 1.0f, 0), 0);
}

TEST(PixelIconMask, IsReadColumnByColumnAndAppliedUntilTheIconShowsItsOwnAlpha) {
    BufferPtr drawn = makeFilled(2, 3, bgra(0, 0, 255, 0));  // white-ish: transparent
    at(drawn.get(), 0, 1) = bgra(9, 9, 0, 0);               // black: opaque
    at(drawn.get(), 1, 0) = bgra(0, 0, 0x0F, 0);
    uint8_t mask[6] = {};
    ASSERT_EQ(PixelReadIconMask(drawn.get(), mask, 6), 6);
    EXPECT_EQ(std::vector<uint8_t>(mask, mask + 6), (std::vector<uint8_t>{0, 255, 0, 0xF0, 0, 0}));
    EXPECT_EQ(PixelReadIconMask(drawn.get(), mask, 5), 0);
    const uint8_t applied[6] = {255, 0, 255, 1, 2, 3};
    // Entries given, and the alpha the icon itself gives the fourth pixel in column order: there the visit stops for good.
    for (auto [count, own, expected] : {std::tuple<int, int, const char*>{6, 0, "F1|02|F3|"}, {6, 200, "F#|00|F0|"},
                                        {2, 0, "F0|00|00|"}}) {
        BufferPtr image = makeFilled(2, 3, bgra(5, 5, 5, 0));
        at(image.get(), 1, 0).alpha = (uint8_t)own;
        PixelApplyIconMask(image.get(), applied, count);
        EXPECT_EQ(picture(image.get(), {{'0', bgra(5, 5, 5, 0)}, {'F', bgra(5, 5, 5, 255)}, {'1', bgra(5, 5, 5, 1)},
                                        {'2', bgra(5, 5, 5, 2)}, {'3', bgra(5, 5, 5, 3)}}),
                  expected) << count << ", " << own;
    }
}
