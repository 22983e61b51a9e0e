// Pixel surfaces that GDI and the raster library draw on together, and icons
// drawn with their transparency kept or rebuilt from the mask.
#include <gtest/gtest.h>

#include "raster/pixel_rect.h"
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

TEST(PixelSurface, IsOnePictureForGdiAndThePrimitivesAndPresentsItsCorner) {
    PixelSurface source, target;
    ASSERT_EQ(CreatePixelSurface(nullptr, GetDesktopWindow(), &source, 5, 4, 32), 1);
    ASSERT_EQ(CreatePixelSurface(nullptr, nullptr, &target, 8, 6, 32), 1);
    ASSERT_EQ(source.buffer->stride, 20u);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++) at(source.buffer, x, y) = bgra(x * 40, y * 60, 7, 0);
    SetPixel(source.memoryDc, 1, 2, RGB(1, 2, 3));
    GdiFlush();
    EXPECT_EQ(at(source.buffer, 1, 2), bgra(3, 2, 1, 0));
    EXPECT_EQ(GetPixel(source.memoryDc, 4, 3), RGB(7, 180, 160));
    const PixelColor blank = bgra(1, 1, 1, 0);
    PixelFillRect(target.buffer, 0, 0, 8, 6, &blank);
    PresentPixelSurface(target.memoryDc, 1, 2, 3, 2, &source);
    GdiFlush();
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 8; x++) {
            bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
            EXPECT_EQ(at(target.buffer, x, y), inside ? at(source.buffer, x - 1, y - 2) : blank) << x << "," << y;
        }
    DestroyPixelSurface(&source);
    DestroyPixelSurface(&target);
    for (auto [width, height, bits] : {std::tuple<int, int, int>{0, 3, 32}, {3, -3, 32}, {3, 3, 24}}) {
        EXPECT_EQ(CreatePixelSurface(nullptr, nullptr, &source, width, height, bits), 0) << bits;
        EXPECT_TRUE(source.buffer == nullptr && source.bitmap == nullptr && source.memoryDc == nullptr);
    }
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

TEST(PixelEtchedFrame, UsesTheSystemButtonColours) {
    BufferPtr buffer = makeFilled(6, 5, backdrop);
    PixelEtchedFrame(buffer.get(), 0, 0, 6, 5);
    EXPECT_EQ(at(buffer.get(), 0, 0), AdjustColor(GetSysColor(COLOR_BTNSHADOW), 0));
    EXPECT_EQ(at(buffer.get(), 5, 4), AdjustColor(GetSysColor(COLOR_BTNSHADOW), 20));
    EXPECT_EQ(at(buffer.get(), 1, 1), AdjustColor(GetSysColor(COLOR_BTNHIGHLIGHT), 0));
    PixelGlassFace(buffer.get(), GetSysColor(COLOR_BTNFACE), 0, 0, 6, 5, 0);
    EXPECT_EQ(at(buffer.get(), 0, 0), AdjustColor(GetSysColor(COLOR_BTNFACE), 40));
}

}  // namespace
