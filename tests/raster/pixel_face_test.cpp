#include <gtest/gtest.h>

#include "raster/pixel_face.h"
#include "raster/pixel_test_support.h"

namespace {

const PixelColor paper = bgra(1, 1, 1, 1);

}  // namespace

TEST(PixelGradient, StopsOneStepShortOfTheBottomColour) {
    BufferPtr buffer = makeFilled(3, 4, paper);
    PixelColor black = MakeColor(0, 0, 0), white = MakeColor(255, 255, 255);
    PixelGradient(buffer.get(), 0, 0, 3, 4, &black, &white);
    // t = 0, 0.25, 0.5, 0.75 of 255: 0, 63.75, 127.5, 191.25.
    const int greys[4] = {0, 63, 127, 191};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(at(buffer.get(), x, y), bgra(greys[y], greys[y], greys[y], 0));
}

TEST(PixelGradient, CountsFromTheFirstVisibleRowOverTheRequestedHeight) {
    BufferPtr buffer = makeFilled(2, 3, paper);
    PixelColor black = MakeColor(0, 0, 0), white = MakeColor(255, 255, 255);
    PixelGradient(buffer.get(), 1, -2, 5, 4, &black, &white);
    EXPECT_EQ(picture(buffer.get(), paper), ".#|.#|..|");
    EXPECT_EQ(at(buffer.get(), 1, 0), bgra(0, 0, 0, 0));
    EXPECT_EQ(at(buffer.get(), 1, 1), bgra(63, 63, 63, 0));
    PixelGradient(buffer.get(), 0, 0, 2, 3, nullptr, &white);
    EXPECT_EQ(at(buffer.get(), 0, 0), paper);
}

TEST(PixelEtchedFrame, DrawsShadowSoftShadowAndHighlightOutlines) {
    EtchedColors colours = MakeEtchedColors(0x00FFFFFF, 0x00808080);
    EXPECT_EQ(colours.highlight, bgra(255, 255, 255, 0));
    EXPECT_EQ(colours.shadow, bgra(128, 128, 128, 0));
    EXPECT_EQ(colours.softShadow, bgra(148, 148, 148, 0));
    BufferPtr buffer = makeFilled(6, 5, paper);
    PixelEtchedFrameWith(buffer.get(), 0, 0, 6, 5, &colours);
    const char* expected[5] = {"SSSSSs", "SHHHSs", "SHHHSs", "SSSSSs", "ssssss"};
    for (int y = 0; y < 5; y++) {
        for (int x = 0; x < 6; x++) {
            char kind = expected[y][x];
            PixelColor want = kind == 'S' ? colours.shadow : kind == 's' ? colours.softShadow : colours.highlight;
            EXPECT_EQ(at(buffer.get(), x, y), want) << "at " << x << "," << y;
        }
    }
}

TEST(PixelGlassFace, SplitsIntoATopBandAndABottomBand) {
    BufferPtr buffer = makeFilled(2, 5, paper);
    PixelGlassFaceWith(buffer.get(), 0x00646464, 0, 0, 2, 5, nullptr);  // grey 100
    // Top band, 2 rows: 140 to 100, t = 0 and 0.5. Bottom band, 3 rows: 80 to
    // 120, t = single(1/3) gives 93.33 and t = single(2/3) gives 106.67.
    const int greys[5] = {140, 120, 80, 93, 106};
    for (int y = 0; y < 5; y++) EXPECT_EQ(at(buffer.get(), 1, y), bgra(greys[y], greys[y], greys[y], 0));
    EtchedColors colours = MakeEtchedColors(0x00FFFFFF, 0x00000000);
    PixelGlassFaceWith(buffer.get(), 0x00646464, 0, 0, 2, 5, &colours);
    EXPECT_EQ(at(buffer.get(), 1, 4), colours.softShadow);
    EXPECT_EQ(at(buffer.get(), 0, 0), colours.shadow);
}
