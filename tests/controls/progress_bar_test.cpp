#include <gtest/gtest.h>

#include "controls/progress_bar.h"
#include "controls/test_support.h"
#include "raster/pixel_buffer.h"

namespace {

const uint32_t kWhite = 0xFFFFFF;
const uint32_t kBlack = 0x000000;

class ProgressBarTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        bar = createChild(parent, kProgressBoyClassName, "", 7, 10, 10, 102, 12);
        ASSERT_NE(bar, nullptr);
    }
    // The installer's configuration: border, range 0..100, blue gradient.
    void configure() {
        const PixelColor colours[4] = {MakeColor(0, 0, 255), MakeColor(128, 128, 255),
                                       MakeColor(0, 0, 0), MakeColor(255, 255, 255)};
        SendMessageA(bar, PBB_SETBORDER, 1, 0);
        SendMessageA(bar, PBB_SETRANGE, 0, 100);
        SendMessageA(bar, PBB_SETCOLORS, 0, (LPARAM)colours);
    }
    // Gradient columns of the middle row: inner pixels that are not background.
    int filledColumns(const Capture& image, uint32_t background = kWhite) {
        int n = 0;
        for (int x = 1; x < image.width - 1; ++x) n += image.at(x, image.height / 2) != background;
        return n;
    }
    int setPosition(int position) {
        SendMessageA(bar, PBB_SETPOS, position, 0);
        return filledColumns(captureClient(bar));
    }
    HWND bar = nullptr;
};

TEST_F(ProgressBarTest, PositionFillsItsShareOfTheInnerWidth) {
    configure();
    struct Case {
        int minimum, maximum, position, columns;
    };
    const Case cases[] = {
        {0, 100, 0, 0}, {0, 100, 25, 25}, {0, 100, 50, 51},  // t accumulates in single precision
        {0, 100, 100, 100}, {0, 100, -5, 0}, {0, 100, 250, 100},
        // An empty range is full only above its minimum.
        {10, 10, 10, 0}, {10, 10, 11, 100}, {10, 10, 9, 0},
        // The extreme range does not overflow.
        {INT_MIN, INT_MAX, INT_MAX, 100}, {INT_MIN, INT_MAX, INT_MIN, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " at " << c.position);
        SendMessageA(bar, PBB_SETRANGE, (WPARAM)(INT_PTR)c.minimum, c.maximum);
        EXPECT_EQ(setPosition(c.position), c.columns);
    }
}

TEST_F(ProgressBarTest, BorderAndGradientColoursAreDrawn) {
    configure();
    SendMessageA(bar, PBB_SETPOS, 100, 0);
    Capture image = captureClient(bar);
    EXPECT_EQ(image.at(0, 0), kBlack);
    EXPECT_EQ(image.at(101, 11), kBlack);
    EXPECT_EQ(image.at(0, 6), kBlack);
    EXPECT_EQ(image.at(101, 6), kBlack);
    EXPECT_EQ(image.at(1, 6), 0x0000FF) << "starts with the start colour";
    // The colour of a column depends on its place in the whole bar.
    uint32_t last = image.at(100, 6);
    EXPECT_GT(last >> 16, 120u);
    EXPECT_EQ(last & 255, 255u);
    SendMessageA(bar, PBB_SETPOS, 30, 0);
    Capture shorter = captureClient(bar);
    EXPECT_EQ(shorter.at(20, 6), image.at(20, 6));
    InvalidateRect(bar, nullptr, TRUE);
    EXPECT_EQ(captureClient(bar).pixels, shorter.pixels) << "a paint shows the image without rebuilding it";
}

TEST_F(ProgressBarTest, NewColoursShowFromTheNextPositionOnly) {
    configure();
    SendMessageA(bar, PBB_SETPOS, 50, 0);
    Capture before = captureClient(bar);
    const PixelColor red[4] = {MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(0, 255, 0),
                               MakeColor(0, 0, 0)};
    EXPECT_EQ(SendMessageA(bar, PBB_SETCOLORS, 0, (LPARAM)red), 1);
    EXPECT_EQ(captureClient(bar).pixels, before.pixels);
    SendMessageA(bar, PBB_SETPOS, 50, 0);
    Capture after = captureClient(bar);
    EXPECT_EQ(after.at(10, 6), 0xFF0000u);
    EXPECT_EQ(after.at(90, 6), kBlack) << "background";
    EXPECT_EQ(after.at(0, 0), 0x00FF00u) << "border";
    EXPECT_EQ(SendMessageA(bar, PBB_SETCOLORS, 0, 0), 0);
}

TEST_F(ProgressBarTest, DefaultsShowHalfWithoutBorder) {
    Capture image = captureClient(bar);
    EXPECT_EQ(image.at(0, 0), 0x002880u) << "start colour in the first column";
    int filled = 0;
    for (int x = 0; x < image.width; ++x) filled += image.at(x, 6) != kWhite;
    EXPECT_EQ(filled, 51) << "position 50 of 0..100 over 102 columns";
}

TEST_F(ProgressBarTest, ThinBarDrawsNoBorder) {
    DestroyWindow(bar);
    bar = createChild(parent, kProgressBoyClassName, "", 7, 10, 10, 102, 2);
    configure();
    SendMessageA(bar, PBB_SETPOS, 0, 0);
    Capture image = captureClient(bar);
    EXPECT_EQ(image.count(kWhite), 102 * 2);
}

TEST_F(ProgressBarTest, ResizeRebuildsTheImageAtTheNewSize) {
    configure();
    SendMessageA(bar, PBB_SETPOS, 50, 0);
    SetWindowPos(bar, nullptr, 0, 0, 202, 12, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(filledColumns(captureClient(bar)), 101);
}

TEST_F(ProgressBarTest, PositionChangeAllocatesNothingAndResizeDoes) {
    configure();
    installHeapCounter();
    long before = heapCounter.allocations;
    for (int position = 0; position <= 100; position += 10) SendMessageA(bar, PBB_SETPOS, position, 0);
    SendMessageA(bar, PBB_SETRANGE, 0, 200);
    EXPECT_EQ(heapCounter.allocations, before);
    SetWindowPos(bar, nullptr, 0, 0, 150, 12, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_GT(heapCounter.allocations, before) << "the counter sees the control's allocations";
}

PixelBuffer* makeShading(int width, int height, uint8_t blue) {
    PixelBuffer* shading = CreatePixelBuffer(width, height, 32, 1);
    for (int i = 0; i < width * height; ++i) {
        shading->pixels[i * 4] = blue;
        shading->pixels[i * 4 + 1] = 0;
        shading->pixels[i * 4 + 2] = 0;
        shading->pixels[i * 4 + 3] = 255;
    }
    return shading;
}

TEST_F(ProgressBarTest, ShadingIsCopiedLaidOverTheFillAndFreedWhenReplaced) {
    installHeapCounter();
    DestroyWindow(bar);
    long allocations = heapCounter.allocations, frees = heapCounter.frees;
    bar = createChild(parent, kProgressBoyClassName, "", 7, 10, 10, 102, 12);
    configure();
    PixelBuffer* dark = makeShading(10, 10, 0);  // blue 0 turns the fill black
    EXPECT_EQ(SendMessageA(bar, PBB_SETSHADING, (WPARAM)dark, 3), 1);
    DestroyPixelBuffer(dark);  // the control keeps its own copy
    SendMessageA(bar, PBB_SETPOS, 50, 0);
    {
        Capture image = captureClient(bar);
        EXPECT_EQ(image.at(10, 5), kBlack);
        EXPECT_EQ(image.at(80, 5), kWhite) << "only the filled part is shaded";
    }

    PixelBuffer* light = makeShading(10, 10, 255);
    EXPECT_EQ(SendMessageA(bar, PBB_SETSHADING, (WPARAM)light, 3), 1);
    DestroyPixelBuffer(light);
    SendMessageA(bar, PBB_SETPOS, 50, 0);
    EXPECT_EQ(captureClient(bar).at(10, 5), kWhite);
    EXPECT_EQ(SendMessageA(bar, PBB_SETSHADING, 0, 0), 0) << "dropped";
    DestroyWindow(bar);
    bar = nullptr;
    long made = heapCounter.allocations - allocations, freed = heapCounter.frees - frees;
    EXPECT_EQ(made, freed) << "the state, the image and every copy were freed";
}

TEST_F(ProgressBarTest, ShadingTooNarrowForItsCapsIsNeverRepeated) {
    configure();
    SendMessageA(bar, PBB_SETPOS, 100, 0);
    Capture plain = captureClient(bar);
    PixelBuffer* narrow = makeShading(6, 10, 0);
    SendMessageA(bar, PBB_SETSHADING, (WPARAM)narrow, 3);  // no middle slice to repeat
    DestroyPixelBuffer(narrow);
    SendMessageA(bar, PBB_SETPOS, 100, 0);  // returns rather than looping
    EXPECT_EQ(captureClient(bar).pixels, plain.pixels);
}

}  // namespace
