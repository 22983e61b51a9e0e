// Windows file formats for the rendered pictures: icon files (.ico) with 24-
// and 32-bit images and their AND masks, and 8-bit palettised bitmaps (.bmp).
// Single-threaded; results are returned by value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

// Below this alpha a pixel counts as transparent in the AND mask (and, for a
// 24-bit image, disappears); at or above it the pixel is opaque.
constexpr int kMaskAlphaThreshold = 128;

// The colour that half-transparent edge pixels of a 24-bit icon are blended
// onto: a neutral grey between the classic and the XP button faces, where
// these icons are shown.
Rgba maskMatte();

struct IconImage {
  Image image;       // at most 255 x 255
  int bitsPerPixel;  // 24 or 32
};

// A complete .ico file holding the images in the order given.
std::vector<uint8_t> encodeIcon(const std::vector<IconImage>& images);

// An 8-bit palettised .bmp (BITMAPINFOHEADER, 256 palette entries) of an
// opaque picture: the palette is chosen by median cut over the picture's
// colours and pixels are mapped with a light ordered dither so that smooth
// gradients do not band. The pixels are stored run-length encoded (BI_RLE8),
// which the system expands when it loads the bitmap resource.
std::vector<uint8_t> encodePalettedBitmap(const Image& picture);

// Writes bytes to path; returns false (after saying why on stderr) on failure.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
