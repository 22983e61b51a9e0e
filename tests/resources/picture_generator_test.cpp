// The picture generator's file formats and rendering, checked byte by byte on
// small hand-made pictures whose every pixel is known.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "canvas.h"
#include "formats.h"
#include "pictures.h"

namespace {

uint32_t u32(const std::vector<uint8_t>& bytes, size_t at) {
  EXPECT_LE(at + 4, bytes.size());
  uint32_t value = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&value, &bytes[at], 4);
  return value;
}

uint16_t u16(const std::vector<uint8_t>& bytes, size_t at) {
  EXPECT_LE(at + 2, bytes.size());
  uint16_t value = 0;
  if (at + 2 <= bytes.size()) std::memcpy(&value, &bytes[at], 2);
  return value;
}

Image flat(int width, int height, Rgba colour) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.assign(size_t(width) * height, colour);
  return image;
}

void put(Image& image, int x, int y, Rgba colour) { image.pixels[size_t(y) * image.width + x] = colour; }

TEST(Render, AveragesCoverageWithoutDarkeningEdges) {
  // Left half of the single pixel covered by opaque red.
  Image image = render(1, 1, 8, [](float x, float) { return x < 0.5f ? rgb(255, 0, 0) : Rgba{}; });
  Rgba pixel = image.at(0, 0);
  EXPECT_FLOAT_EQ(pixel.a, 0.5f);
  EXPECT_FLOAT_EQ(pixel.r, 1.0f) << "transparent samples must not pull the colour toward black";
  EXPECT_FLOAT_EQ(pixel.g, 0.0f);
}

TEST(Render, OverKeepsTheBottomWhereTheTopIsClear) {
  Rgba bottom = rgb(10, 20, 30);
  Rgba result = over(bottom, Rgba{});
  EXPECT_FLOAT_EQ(result.r, bottom.r);
  EXPECT_FLOAT_EQ(result.a, 1.0f);
  Rgba half = over(rgb(0, 0, 0), withAlpha(rgb(255, 255, 255), 0.5f));
  EXPECT_FLOAT_EQ(half.g, 0.5f);
  EXPECT_FLOAT_EQ(half.a, 1.0f);
}

// A 5 x 3 picture makes every row need padding: 15 bytes of colour become
// 16, and the mask's 5 bits take a whole 4-byte row.
TEST(EncodeIcon, Writes24BitImagesBottomUpWithPaddedRowsAndMask) {
  Image image = flat(5, 3, rgb(200, 100, 50));
  put(image, 0, 0, Rgba{});                               // clear: masked, black
  put(image, 4, 0, withAlpha(rgb(255, 255, 255), 0.3f));  // mostly clear: masked
  put(image, 2, 2, withAlpha(rgb(0, 0, 255), 0.8f));      // mostly opaque: kept on the matte
  std::vector<uint8_t> file = encodeIcon({{image, 24}});

  ASSERT_EQ(file.size(), 6u + 16 + 40 + 3 * 16 + 3 * 4);
  EXPECT_EQ(u16(file, 2), 1);  // icon
  EXPECT_EQ(u16(file, 4), 1);  // one image
  EXPECT_EQ(file[6], 5);
  EXPECT_EQ(file[7], 3);
  EXPECT_EQ(u16(file, 6 + 6), 24);
  EXPECT_EQ(u32(file, 6 + 8), 40u + 3 * 16 + 3 * 4);
  EXPECT_EQ(u32(file, 6 + 12), 22u);

  const size_t header = 22;
  EXPECT_EQ(u32(file, header + 4), 5u);
  EXPECT_EQ(u32(file, header + 8), 6u) << "colour image and mask";
  EXPECT_EQ(u16(file, header + 14), 24);
  EXPECT_EQ(u32(file, header + 24), 0u) << "no resolution";

  const size_t colour = header + 40, mask = colour + 3 * 16;
  // Row 0 of the picture is the last row stored.
  const uint8_t* top = &file[colour + 2 * 16];
  EXPECT_EQ(top[0] | top[1] | top[2], 0);
  EXPECT_EQ(top[3], 50);   // blue
  EXPECT_EQ(top[4], 100);  // green
  EXPECT_EQ(top[5], 200);  // red
  EXPECT_EQ(top[12] | top[13] | top[14], 0);
  EXPECT_EQ(top[15], 0) << "padding";
  EXPECT_EQ(file[mask + 2 * 4], 0x88) << "pixels 0 and 4 of the top row are masked";
  EXPECT_EQ(file[mask + 0], 0x00);
  const uint8_t* bottom = &file[colour];
  Rgba blended = over(maskMatte(), withAlpha(rgb(0, 0, 255), 0.8f));
  EXPECT_NEAR(bottom[2 * 3 + 0], blended.b * 255, 1);
  EXPECT_NEAR(bottom[2 * 3 + 2], blended.r * 255, 1);
}

TEST(EncodeIcon, Keeps32BitAlphaAndMasksBelowHalf) {
  Image image = flat(2, 2, rgb(1, 2, 3));
  put(image, 0, 0, Rgba{0.5f, 0.5f, 0.5f, 0});            // invisible colour is dropped
  put(image, 1, 0, withAlpha(rgb(40, 50, 60), 0.4f));     // visible where alpha counts, masked elsewhere
  put(image, 0, 1, withAlpha(rgb(40, 50, 60), 0.6f));
  std::vector<uint8_t> file = encodeIcon({{image, 32}});
  const size_t colour = 22 + 40, mask = colour + 2 * 8;
  ASSERT_EQ(file.size(), mask + 2 * 4);
  const uint8_t* top = &file[colour + 8];
  EXPECT_EQ(top[0] | top[1] | top[2] | top[3], 0);
  EXPECT_EQ(top[4], 60);
  EXPECT_EQ(top[7], 102);  // 0.4 of 255
  EXPECT_EQ(file[mask + 4], 0xC0);
  EXPECT_EQ(file[colour + 3], 153);
  EXPECT_EQ(file[mask], 0x00);
}

TEST(EncodeIcon, ChainsTheOffsetsOfSeveralImages) {
  std::vector<uint8_t> file = encodeIcon({{flat(16, 16, rgb(9, 9, 9)), 24}, {flat(32, 32, rgb(9, 9, 9)), 32}});
  uint32_t firstSize = u32(file, 6 + 8), firstOffset = u32(file, 6 + 12);
  uint32_t secondSize = u32(file, 22 + 8), secondOffset = u32(file, 22 + 12);
  EXPECT_EQ(firstOffset, 6u + 2 * 16);
  EXPECT_EQ(firstSize, 40u + 16 * 48 + 16 * 4);
  EXPECT_EQ(secondOffset, firstOffset + firstSize);
  EXPECT_EQ(secondSize, 40u + 32 * 128 + 32 * 4);
  EXPECT_EQ(file.size(), size_t(secondOffset) + secondSize);
}

TEST(EncodePalettedBitmap, KeepsAFewColoursExactly) {
  Image image = flat(5, 2, rgb(20, 40, 60));
  put(image, 1, 0, rgb(250, 200, 10));
  put(image, 3, 1, rgb(0, 128, 255));
  std::vector<uint8_t> file = encodePalettedBitmap(image);
  const size_t pixels = 14 + 40 + 256 * 4;
  ASSERT_EQ(file.size(), pixels + 2 * 8);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(u32(file, 2), file.size());
  EXPECT_EQ(u32(file, 10), pixels);
  EXPECT_EQ(u16(file, 14 + 14), 8);
  EXPECT_EQ(u32(file, 14 + 32), 256u);
  auto colourAt = [&](int x, int y) {
    uint8_t index = file[pixels + size_t(1 - y) * 8 + x];
    const uint8_t* entry = &file[14 + 40 + index * 4];
    return std::vector<int>{entry[2], entry[1], entry[0]};
  };
  EXPECT_EQ(colourAt(0, 0), (std::vector<int>{20, 40, 60}));
  EXPECT_EQ(colourAt(1, 0), (std::vector<int>{250, 200, 10}));
  EXPECT_EQ(colourAt(3, 1), (std::vector<int>{0, 128, 255}));
  EXPECT_EQ(colourAt(4, 1), (std::vector<int>{20, 40, 60}));
}

// A smooth two-axis gradient with far more than 256 colours stays close to
// the original everywhere.
TEST(EncodePalettedBitmap, FollowsGradientsClosely) {
  Image image = render(64, 64, 1, [](float x, float y) {
    return Rgba{x / 64, y / 64, 0.5f + 0.25f * (x - y) / 64, 1};
  });
  std::vector<uint8_t> file = encodePalettedBitmap(image);
  const size_t pixels = 14 + 40 + 256 * 4;
  ASSERT_EQ(file.size(), pixels + 64 * 64);
  int worst = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint8_t* entry = &file[14 + 40 + file[pixels + size_t(63 - y) * 64 + x] * 4];
      Rgba want = image.at(x, y);
      worst = std::max({worst, std::abs(entry[2] - int(want.r * 255 + 0.5f)),
                        std::abs(entry[1] - int(want.g * 255 + 0.5f)),
                        std::abs(entry[0] - int(want.b * 255 + 0.5f))});
    }
  }
  EXPECT_LE(worst, 12);
}

TEST(Pictures, EveryIconIdHasADrawingAndOthersAreEmpty) {
  for (int id = 201; id <= 212; ++id) {
    Image image = render(16, 16, 2, iconScene(id, 16));
    int covered = 0;
    for (const Rgba& p : image.pixels) covered += p.a > 0.5f;
    EXPECT_GT(covered, 64) << id;
  }
  Image none = render(16, 16, 2, iconScene(213, 16));
  for (const Rgba& p : none.pixels) EXPECT_EQ(p.a, 0.0f);
}

TEST(Pictures, SidePictureIsOpaqueAndVaried) {
  Image image = render(180, 200, 1, sidePictureScene());
  std::set<uint32_t> colours;
  for (const Rgba& p : image.pixels) {
    EXPECT_EQ(p.a, 1.0f);
    colours.insert(uint32_t(p.r * 255) << 16 | uint32_t(p.g * 255) << 8 | uint32_t(p.b * 255));
  }
  EXPECT_GT(colours.size(), 256u) << "enough detail to need a chosen palette";
}

}  // namespace
