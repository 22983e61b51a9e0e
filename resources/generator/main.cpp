// Draws the installer's icons and side picture and writes them as the files
// that resources/installer.rc names: icons/201.ico ... icons/212.ico and
// side.bmp under the folder given on the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "formats.h"
#include "pictures.h"

namespace {

// Samples per pixel edge: 16 x 16 samples keep one-pixel strokes of the 16 x
// 16 icons smooth; the side picture has no such fine detail.
const int kIconSamples = 16;
const int kPictureSamples = 6;

struct IconFormat {
  int id;
  std::vector<std::pair<int, int>> sizesAndDepths;
};

const IconFormat kIcons[] = {
    {201, {{16, 24}, {16, 32}, {32, 24}, {32, 32}}},
    {202, {{16, 32}}}, {203, {{16, 32}}}, {204, {{16, 32}}}, {205, {{16, 32}}},
    {206, {{16, 32}}}, {207, {{16, 32}}}, {208, {{16, 32}}}, {209, {{16, 32}}},
    {210, {{16, 32}}}, {211, {{16, 24}}}, {212, {{32, 32}}},
};

bool writeIcons(const std::string& folder) {
  for (const IconFormat& format : kIcons) {
    std::vector<IconImage> images;
    for (auto [size, depth] : format.sizesAndDepths)
      images.push_back({render(size, size, kIconSamples, iconScene(format.id, size)), depth});
    if (!writeFile(folder + "/icons/" + std::to_string(format.id) + ".ico", encodeIcon(images))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s RESOURCE-FOLDER\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  if (!writeIcons(folder)) return 1;
  Image side = render(180, 200, kPictureSamples, sidePictureScene());
  return writeFile(folder + "/side.bmp", encodePalettedBitmap(side)) ? 0 : 1;
}
