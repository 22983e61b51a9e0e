#include <gtest/gtest.h>

#include "raster/pixel_face.h"
#include "raster/pixel_test_support.h"

namespace {

const PixelColor paper = bgra(1, 1, 1, 1);
const PixelColor black = MakeColor(0, 0, 0), white = MakeColor(255, 255, 255);

PixelColor grey(int level) { return bgra(level, level, level, 0); }

}  // namespace

TEST(PixelGradient, StopsOneStepShortOfTheBottomColour) {
    BufferPtr buffer = makeFilled(3, 4, paper);
    PixelGradient(buffer.get(), 0, 0, 3, 4, &black, &white);
    // t = 0, 0.25, 0.5, 0.75 of 255: 0, 63.75, 127.5, 191.25.
    EXPECT_EQ(picture(buffer.get(), {{'0', grey(0)}, {'1', grey(63)}, {'2', grey(127)}, {'3', grey(191)}}),
              "000|111|222|333|");
}

TEST(PixelGradient, CountsFromTheFirstVisibleRowOverTheRequestedHeight) {
    BufferPtr buffer = makeFilled(2, 3, paper);
    PixelGradient(buffer.get(), 1, -2, 5, 4, &black, &white);
    EXPECT_EQ(picture(buffer.get(), {{'.', paper}, {'0', grey(0)}, {'1', grey(63)}}), ".0|.1|..|");
    PixelGradient(buffer.get(), 0, 0, 2, 3, nullptr, &white);
    EXPECT_EQ(at(buffer.get(), 0, 0), paper);
}

TEST(PixelEtchedFrame, DrawsShadowSoftShadowAndHighlightOutlines) {
    EtchedColors colours = MakeEtchedColors(0x00FFFFFF, 0x00808080);
    EXPECT_EQ(colours.highlight, grey(255));
    EXPECT_EQ(colours.shadow, grey(128));
    EXPECT_EQ(colours.softShadow, grey(148));
    BufferPtr buffer = makeFilled(6, 5, paper);
    PixelEtchedFrameWith(buffer.get(), 0, 0, 6, 5, &colours);
    EXPECT_EQ(picture(buffer.get(),
                      {{'S', colours.shadow}, {'s', colours.softShadow}, {'H', colours.highlight}}),
              "SSSSSs|SHHHSs|SHHHSs|SSSSSs|ssssss|");
}

TEST(PixelGlassFace, SplitsIntoATopBandAndABottomBand) {
    BufferPtr buffer = makeFilled(2, 5, paper);
    PixelGlassFaceWith(buffer.get(), 0x00646464, 0, 0, 2, 5, nullptr);  // grey 100
    // Top band, 2 rows: 140 to 100, t = 0 and 0.5. Bottom band, 3 rows: 80 to
    // 120, t = single(1/3) gives 93.33 and t = single(2/3) gives 106.67.
    EXPECT_EQ(picture(buffer.get(), {{'a', grey(140)}, {'b', grey(120)}, {'c', grey(80)}, {'d', grey(93)},
                                     {'e', grey(106)}}),
              "aa|bb|cc|dd|ee|");
    EtchedColors colours = MakeEtchedColors(0x00FFFFFF, 0x00000000);
    PixelGlassFaceWith(buffer.get(), 0x00646464, 0, 0, 2, 5, &colours);
    EXPECT_EQ(at(buffer.get(), 1, 4), colours.softShadow);
    EXPECT_EQ(at(buffer.get(), 0, 0), colours.shadow);
}
