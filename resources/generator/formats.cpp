#include "formats.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct Writer {
  std::vector<uint8_t> bytes;
  void u8(unsigned value) { bytes.push_back(uint8_t(value)); }
  void u16(unsigned value) {
    u8(value & 0xFF);
    u8(value >> 8);
  }
  void u32(uint32_t value) {
    u16(value & 0xFFFF);
    u16(value >> 16);
  }
};

int toByte(float channel) { return std::clamp(int(std::lround(channel * 255.0f)), 0, 255); }

bool isOpaque(Rgba pixel) { return toByte(pixel.a) >= kMaskAlphaThreshold; }

uint32_t rowBytes(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

uint32_t iconDataSize(const IconImage& icon) {
  int w = icon.image.width, h = icon.image.height;
  return 40 + h * (rowBytes(w, icon.bitsPerPixel) + rowBytes(w, 1));
}

// Icon images carry no resolution (readers of .ico files insist on zero);
// the side picture says 72 dpi.
enum : uint32_t { kUncompressed = 0, kRle8 = 1 };  // BI_RGB, BI_RLE8

void writeBitmapInfoHeader(Writer& out, int width, int height, int bitsPerPixel,
                           uint32_t imageSize, uint32_t coloursUsed, uint32_t pixelsPerMetre,
                           uint32_t compression = kUncompressed) {
  out.u32(40);
  out.u32(uint32_t(width));
  out.u32(uint32_t(height));
  out.u16(1);
  out.u16(bitsPerPixel);
  out.u32(compression);
  out.u32(imageSize);
  out.u32(pixelsPerMetre);
  out.u32(pixelsPerMetre);
  out.u32(coloursUsed);
  out.u32(0);
}

// One pixel of the colour (XOR) image. Transparent pixels are black so that
// AND-then-XOR leaves the background untouched on systems without alpha.
void writeIconPixel(Writer& out, Rgba pixel, int bitsPerPixel) {
  if (bitsPerPixel == 32) {
    if (toByte(pixel.a) == 0) pixel = {};
    out.u8(toByte(pixel.b));
    out.u8(toByte(pixel.g));
    out.u8(toByte(pixel.r));
    out.u8(toByte(pixel.a));
    return;
  }
  if (!isOpaque(pixel)) pixel = {};
  else pixel = over(maskMatte(), pixel);
  out.u8(toByte(pixel.b));
  out.u8(toByte(pixel.g));
  out.u8(toByte(pixel.r));
}

void writeIconData(Writer& out, const IconImage& icon) {
  const Image& image = icon.image;
  uint32_t colourRow = rowBytes(image.width, icon.bitsPerPixel);
  uint32_t maskRow = rowBytes(image.width, 1);
  // An icon's header counts the colour image and the mask: twice the height.
  writeBitmapInfoHeader(out, image.width, image.height * 2, icon.bitsPerPixel,
                        image.height * (colourRow + maskRow), 0, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    size_t start = out.bytes.size();
    for (int x = 0; x < image.width; ++x) writeIconPixel(out, image.at(x, y), icon.bitsPerPixel);
    out.bytes.resize(start + colourRow, 0);
  }
  for (int y = image.height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskRow, 0);
    for (int x = 0; x < image.width; ++x) {
      if (!isOpaque(image.at(x, y))) row[x / 8] |= uint8_t(0x80 >> (x % 8));
    }
    out.bytes.insert(out.bytes.end(), row.begin(), row.end());
  }
}

using Colour = std::array<int, 3>;

// Median cut: split the box with the widest channel range at the median of
// that channel until there are as many boxes as palette entries.
std::vector<Colour> medianCutPalette(std::vector<Colour> colours, size_t entries) {
  struct Box { size_t begin, end; };
  std::vector<Box> boxes{{0, colours.size()}};
  auto widest = [&](const Box& box, int& channel) {
    int best = -1;
    for (int c = 0; c < 3; ++c) {
      auto [lo, hi] = std::minmax_element(colours.begin() + box.begin, colours.begin() + box.end,
                                          [c](const Colour& a, const Colour& b) { return a[c] < b[c]; });
      int range = (*hi)[c] - (*lo)[c];
      if (range > best) { best = range; channel = c; }
    }
    return best;
  };
  while (boxes.size() < entries) {
    size_t pick = boxes.size();
    int pickChannel = 0, pickRange = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      int channel = 0;
      int range = boxes[i].end - boxes[i].begin > 1 ? widest(boxes[i], channel) : 0;
      if (range > pickRange) { pickRange = range; pick = i; pickChannel = channel; }
    }
    if (pick == boxes.size()) break;
    Box box = boxes[pick];
    auto first = colours.begin() + box.begin, last = colours.begin() + box.end;
    std::stable_sort(first, last, [pickChannel](const Colour& a, const Colour& b) {
      return a[pickChannel] < b[pickChannel];
    });
    size_t middle = box.begin + (box.end - box.begin) / 2;
    boxes[pick] = {box.begin, middle};
    boxes.push_back({middle, box.end});
  }
  std::vector<Colour> palette;
  for (const Box& box : boxes) {
    long sum[3] = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; ++i)
      for (int c = 0; c < 3; ++c) sum[c] += colours[i][c];
    long n = long(box.end - box.begin);
    palette.push_back({int((sum[0] + n / 2) / n), int((sum[1] + n / 2) / n), int((sum[2] + n / 2) / n)});
  }
  return palette;
}

uint8_t nearestEntry(const std::vector<Colour>& palette, const float colour[3]) {
  size_t best = 0;
  float bestDistance = 1e30f;
  for (size_t i = 0; i < palette.size(); ++i) {
    float d = 0;
    for (int c = 0; c < 3; ++c) {
      float diff = colour[c] - palette[i][c];
      d += diff * diff;
    }
    if (d < bestDistance) { bestDistance = d; best = i; }
  }
  return uint8_t(best);
}

}  // namespace

Rgba maskMatte() { return rgb(224, 220, 210); }

std::vector<uint8_t> encodeIcon(const std::vector<IconImage>& images) {
  Writer out;
  out.u16(0);
  out.u16(1);  // icon, not cursor
  out.u16(unsigned(images.size()));
  uint32_t offset = 6 + 16 * uint32_t(images.size());
  for (const IconImage& icon : images) {
    out.u8(icon.image.width & 0xFF);  // 256 would be written as 0
    out.u8(icon.image.height & 0xFF);
    out.u8(0);  // no colour table
    out.u8(0);
    out.u16(1);
    out.u16(icon.bitsPerPixel);
    out.u32(iconDataSize(icon));
    out.u32(offset);
    offset += iconDataSize(icon);
  }
  for (const IconImage& icon : images) writeIconData(out, icon);
  return out.bytes;
}

namespace {

// One row of 8-bit pixels in the shortest run-length form: runs of one value
// (count, value) and literal stretches of 3 to 255 pixels (0, count, the
// pixels, padded to a whole 16-bit word), chosen by dynamic programming, then
// the row's end marker (0, 0), or the picture's (0, 1) after its last row.
void writeRle8Row(Writer& out, const std::vector<uint8_t>& row, bool last) {
  const size_t n = row.size();
  std::vector<size_t> cost(n + 1, 0), step(n + 1, 0);
  std::vector<bool> literal(n + 1, false);
  for (size_t i = n; i-- > 0;) {
    cost[i] = SIZE_MAX;
    for (size_t length = 1; length <= 255 && i + length <= n && row[i + length - 1] == row[i]; ++length) {
      if (2 + cost[i + length] < cost[i]) cost[i] = 2 + cost[i + length], step[i] = length, literal[i] = false;
    }
    for (size_t length = 3; length <= 255 && i + length <= n; ++length) {
      size_t bytes = 2 + length + (length & 1) + cost[i + length];
      if (bytes < cost[i]) cost[i] = bytes, step[i] = length, literal[i] = true;
    }
  }
  for (size_t i = 0; i < n; i += step[i]) {
    if (literal[i]) {
      out.u8(0);
      out.u8(unsigned(step[i]));
      for (size_t k = 0; k < step[i]; ++k) out.u8(row[i + k]);
      if (step[i] & 1) out.u8(0);
    } else {
      out.u8(unsigned(step[i]));
      out.u8(row[i]);
    }
  }
  out.u8(0);
  out.u8(last ? 1 : 0);
}

}  // namespace

std::vector<uint8_t> encodePalettedBitmap(const Image& picture) {
  std::vector<Colour> colours;
  for (const Rgba& p : picture.pixels) colours.push_back({toByte(p.r), toByte(p.g), toByte(p.b)});
  std::vector<Colour> palette = medianCutPalette(colours, 256);

  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const float amplitude = 4.0f;  // in 0..255 steps; about the palette's spacing in gradients
  Writer pixels;
  for (int y = picture.height - 1; y >= 0; --y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < picture.width; ++x) {
      float offset = (bayer[y % 4][x % 4] + 0.5f) / 16.0f - 0.5f;
      Rgba p = picture.at(x, y);
      float colour[3] = {p.r * 255 + offset * amplitude, p.g * 255 + offset * amplitude,
                         p.b * 255 + offset * amplitude};
      row.push_back(nearestEntry(palette, colour));
    }
    writeRle8Row(pixels, row, y == 0);
  }
  uint32_t imageSize = uint32_t(pixels.bytes.size());
  uint32_t dataOffset = 14 + 40 + 256 * 4;

  Writer out;
  out.u8('B');
  out.u8('M');
  out.u32(dataOffset + imageSize);
  out.u32(0);
  out.u32(dataOffset);
  writeBitmapInfoHeader(out, picture.width, picture.height, 8, imageSize, 256, 2835, kRle8);  // 72 dpi
  for (size_t i = 0; i < 256; ++i) {
    Colour c = i < palette.size() ? palette[i] : Colour{0, 0, 0};
    out.u8(c[2]);
    out.u8(c[1]);
    out.u8(c[0]);
    out.u8(0);
  }
  out.bytes.insert(out.bytes.end(), pixels.bytes.begin(), pixels.bytes.end());
  return out.bytes;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "fopen(%s): cannot create the file. %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0) written = false;
  if (!written) std::fprintf(stderr, "fwrite(%s): the file is incomplete.\n", path.c_str());
  return written;
}
