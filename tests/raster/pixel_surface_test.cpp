#include <gtest/gtest.h>

#include "raster/pixel_rect.h"
#include "raster/pixel_surface.h"
#include "raster/pixel_test_support.h"

namespace {

struct Surface {
    PixelSurface record;
    Surface(int32_t width, int32_t height) { made = CreatePixelSurface(0, 0, &record, width, height, 32); }
    ~Surface() { DestroyPixelSurface(&record); }
    int made;
};

bool sameColour(PixelColor a, PixelColor b) {
    return a.blue == b.blue && a.green == b.green && a.red == b.red;
}

const PixelColor backdrop = bgra(50, 60, 70, 33);

// A 16 x 16 icon whose left half is opaque colour and right half transparent,
// built at 24 bits (transparency in the mask only) or at 32 bits (in the alpha
// channel as well).
HICON makeIcon(int bitsPerPixel, PixelColor colour) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = (WORD)bitsPerPixel;
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!image) return nullptr;
    int bytes = bitsPerPixel / 8, stride = (16 * bytes + 3) & ~3;
    for (int y = 0; y < 16; y++) {
        for (int x = 0; x < 16; x++) {
            uint8_t* pixel = (uint8_t*)bits + y * stride + x * bytes;
            PixelColor value = x < 8 ? colour : bgra(0, 0, 0, 0);
            memcpy(pixel, &value, (size_t)bytes);
        }
    }
    uint8_t maskBits[16 * 2];
    for (int y = 0; y < 16; y++) {
        maskBits[y * 2] = 0x00;      // opaque
        maskBits[y * 2 + 1] = 0xFF;  // transparent
    }
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, maskBits);
    ICONINFO iconInfo = {TRUE, 0, 0, mask, image};
    HICON icon = CreateIconIndirect(&iconInfo);
    DeleteObject(mask);
    DeleteObject(image);
    return icon;
}

}  // namespace

TEST(PixelSurface, IsOnePictureForGdiAndThePrimitives) {
    Surface surface(5, 4);
    ASSERT_TRUE(surface.made);
    const PixelSurface& s = surface.record;
    ASSERT_NE(s.buffer, nullptr);
    EXPECT_EQ(s.buffer->width, 5);
    EXPECT_EQ(s.buffer->stride, 20u);
    EXPECT_EQ(s.buffer->bitsPerPixel, 32u);
    EXPECT_EQ(s.info.bmiHeader.biHeight, -4);
    PixelColor grey = MakeColor(9, 9, 9);
    PixelFillRect(s.buffer, 0, 0, 5, 4, &grey);
    SetPixel(s.memoryDc, 1, 2, RGB(1, 2, 3));
    GdiFlush();
    EXPECT_TRUE(sameColour(at(s.buffer, 1, 2), bgra(3, 2, 1, 0)));
    EXPECT_EQ(GetPixel(s.memoryDc, 4, 3), RGB(9, 9, 9));
}

TEST(PixelSurface, CreationTakesEveryKindOfReferenceAndRefusesWhatItCannotDescribe) {
    HDC screen = GetDC(nullptr);
    PixelSurface surface;
    ASSERT_EQ(CreatePixelSurface(screen, nullptr, &surface, 3, 3, 32), 1);
    DestroyPixelSurface(&surface);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(CreatePixelSurface(nullptr, GetDesktopWindow(), &surface, 3, 3, 32), 1);
    DestroyPixelSurface(&surface);
    EXPECT_EQ(surface.memoryDc, nullptr);
    const struct { int32_t width, height, bits; } refused[] = {{0, 3, 32}, {3, -3, 32}, {3, 3, 24}};
    for (const auto& r : refused) {
        EXPECT_EQ(CreatePixelSurface(nullptr, nullptr, &surface, r.width, r.height, r.bits), 0) << r.bits;
        EXPECT_EQ(surface.buffer, nullptr);
        EXPECT_EQ(surface.bitmap, nullptr);
    }
    DestroyPixelSurface(&surface);
    EXPECT_EQ(CreatePixelSurface(nullptr, nullptr, nullptr, 3, 3, 32), 0);
}

TEST(PixelSurface, PresentCopiesTheTopLeftPixels) {
    Surface source(5, 4), target(8, 6);
    ASSERT_TRUE(source.made && target.made);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 5; x++) at(source.record.buffer, x, y) = bgra(x * 40, y * 60, 7, 255);
    for (int pass = 0; pass < 2; pass++) {
        PixelColor blank = MakeColor(1, 1, 1);
        PixelFillRect(target.record.buffer, 0, 0, 8, 6, &blank);
        int32_t width = pass ? 3 : 5, height = pass ? 2 : 4;
        PresentPixelSurface(target.record.memoryDc, 1, 2, width, height, &source.record);
        GdiFlush();
        for (int y = 0; y < 6; y++) {
            for (int x = 0; x < 8; x++) {
                bool inside = x >= 1 && x < 1 + width && y >= 2 && y < 2 + height;
                PixelColor want = inside ? at(source.record.buffer, x - 1, y - 2) : blank;
                EXPECT_TRUE(sameColour(at(target.record.buffer, x, y), want))
                    << "pass " << pass << " at " << x << "," << y;
            }
        }
    }
}

// A 24-bit icon has its transparency rebuilt from the mask; a 32-bit icon
// keeps its own alpha. Either way the destination alpha stays.
TEST(PixelDrawIcon, DrawsTheOpaqueHalfOnly) {
    const struct { int bits; PixelColor colour; int32_t x, y; } icons[] = {
        {24, bgra(0, 0, 200, 0), 2, 3}, {32, bgra(0, 180, 0, 255), 0, 0}};
    for (const auto& c : icons) {
        SCOPED_TRACE(c.bits);
        HICON icon = makeIcon(c.bits, c.colour);
        ASSERT_NE(icon, nullptr);
        BufferPtr target = makeFilled(20, 20, backdrop);
        EXPECT_EQ(PixelDrawIcon(target.get(), BlitAlpha, c.x, c.y, 16, 16, icon), 1);
        PixelColor drawn = c.colour;
        drawn.alpha = backdrop.alpha;
        for (int y = 0; y < 20; y++)
            for (int x = 0; x < 20; x++) {
                bool opaque = x >= c.x && x < c.x + 8 && y >= c.y && y < c.y + 16;
                EXPECT_EQ(at(target.get(), x, y), opaque ? drawn : backdrop) << "at " << x << "," << y;
            }
        DestroyIcon(icon);
    }
}

TEST(PixelDrawIcon, DisabledLookAndRefusals) {
    HICON icon = makeIcon(24, bgra(0, 0, 200, 0));
    ASSERT_NE(icon, nullptr);
    // Grey 0.34 * 200 = 68 at half strength, every pixel opaque.
    BufferPtr target = makeFilled(16, 16, backdrop);
    EXPECT_EQ(PixelDrawIcon(target.get(), BlitGrayHalf, 0, 0, 16, 16, icon), 1);
    EXPECT_EQ(at(target.get(), 0, 0), bgra(59, 64, 69, 255));
    EXPECT_EQ(at(target.get(), 15, 15), bgra(50, 60, 70, 255));
    target = makeFilled(4, 4, backdrop);
    EXPECT_EQ(PixelDrawIcon(target.get(), BlitAlpha, 0, 0, 4, 4, nullptr), 0);
    EXPECT_EQ(PixelDrawIcon(target.get(), BlitAlpha, 0, 0, 0, 4, icon), 0);
    EXPECT_EQ(PixelDrawIcon(nullptr, BlitAlpha, 0, 0, 4, 4, icon), 1);
    EXPECT_EQ(picture(target.get(), backdrop), "....|....|....|....|");
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
