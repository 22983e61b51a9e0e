// Icons drawn onto pixel buffers with their transparency kept or rebuilt from
// the mask (the controls' looks as a whole: tests/controls/check_gallery).
#include <gtest/gtest.h>

#include "raster/pixel_surface.h"
#include "raster/raster_test_support.h"

#include <tuple>

namespace {

const PixelColor backdrop = bgra(50, 60, 70, 33);

// A 16 x 16 icon whose left half is opaque colour and right half transparent:
// at 24 bits the transparency is in the mask only, at 32 in the alpha as well.
HICON makeIcon(int bitsPerPixel, PixelColor colour) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, (WORD)bitsPerPixel, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const int bytes = bitsPerPixel / 8, stride = (16 * bytes + 3) & ~3;
    uint8_t maskBits[32];
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            PixelColor value = x < 8 ? colour : bgra(0, 0, 0, 0);
            memcpy((uint8_t*)bits + y * stride + x * bytes, &value, (size_t)bytes);
        }
        maskBits[y * 2] = 0x00;  // opaque
        maskBits[y * 2 + 1] = 0xFF;
    }
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, maskBits);
    ICONINFO iconInfo = {TRUE, 0, 0, mask, image};
    HICON icon = CreateIconIndirect(&iconInfo);
    DeleteObject(mask);
    DeleteObject(image);
    return icon;
}

// A 24-bit icon has its transparency rebuilt from the mask; a 32-bit icon
// keeps its own alpha. Either way the destination alpha stays.
TEST(PixelDrawIcon, DrawsTheOpaqueHalfOnlyOrAFadedGreyWhole) {
    for (auto [bits, colour, left, top] : {std::tuple<int, PixelColor, int, int>{24, bgra(0, 0, 200, 0), 2, 3},
                                           {32, bgra(0, 180, 0, 255), 0, 0}}) {
        HICON icon = makeIcon(bits, colour);
        BufferPtr target = makeFilled(20, 20, backdrop);
        EXPECT_EQ(PixelDrawIcon(target.get(), BlitAlpha, left, top, 16, 16, icon), 1);
        colour.alpha = backdrop.alpha;
        for (int y = 0; y < 20; y++)
            for (int x = 0; x < 20; x++) {
                bool opaque = x >= left && x < left + 8 && y >= top && y < top + 16;
                EXPECT_EQ(at(target.get(), x, y), opaque ? colour : backdrop) << bits << " at " << x << "," << y;
            }
        DestroyIcon(icon);
    }
    HICON icon = makeIcon(24, bgra(0, 0, 200, 0));
    BufferPtr target = makeFilled(16, 16, backdrop);
    EXPECT_EQ(PixelDrawIcon(target.get(), BlitGrayHalf, 0, 0, 16, 16, icon), 1);
    EXPECT_EQ(at(target.get(), 0, 0), bgra(59, 64, 69, 255));  // grey 0.34 * 200 = 68 at half strength
    EXPECT_EQ(at(target.get(), 15, 15), bgra(50, 60, 70, 255));
    EXPECT_EQ(PixelDrawIcon(target.get(), BlitAlpha, 0, 0, 4, 4, nullptr), 0);
    EXPECT_EQ(PixelDrawIcon(target.get(), BlitAlpha, 0, 0, 0, 4, icon), 0);
    DestroyIcon(icon);
}

}  // namespace
