// The installer's resources as the program loads them: every icon at the
// sizes the wizard asks for, with the depths and masks it was drawn with,
// the 8-bit side picture, the version information and the manifest.
#include <windows.h>

#include <commctrl.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "resource_ids.h"

namespace {

struct IconImageFormat {
  int size;
  int bitsPerPixel;
};

struct IconFormat {
  int id;
  std::vector<IconImageFormat> images;
};

const std::vector<IconFormat> kIcons = {
    {IDI_APP, {{16, 24}, {16, 32}, {32, 24}, {32, 32}}},
    {IDI_CREATE_SHORTCUTS, {{16, 32}}}, {IDI_PROGRAM_GROUP, {{16, 32}}}, {IDI_HELP_FILE, {{16, 32}}},
    {IDI_WEBSITE, {{16, 32}}}, {IDI_BROWSE, {{16, 32}}}, {IDI_REFRESH, {{16, 32}}},
    {IDI_HYPERLINK, {{16, 32}}}, {IDI_NEXT, {{16, 32}}}, {IDI_EXIT, {{16, 32}}},
    {IDI_BACK, {{16, 24}}}, {IDI_BANNER, {{32, 32}}},
};

// The bytes of a resource of this program, or an empty vector.
std::vector<uint8_t> resourceBytes(LPCSTR type, LPCSTR name) {
  HRSRC found = FindResourceA(nullptr, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + SizeofResource(nullptr, found));
}

uint32_t readU32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&value, &bytes[at], 4);
  return value;
}

uint16_t readU16(const std::vector<uint8_t>& bytes, size_t at) {
  uint16_t value = 0;
  if (at + 2 <= bytes.size()) std::memcpy(&value, &bytes[at], 2);
  return value;
}

// One image of an icon as stored: colour pixels (BGRA, or BGR for 24 bits)
// and the AND mask, both bottom-up. Empty when the resource is malformed.
struct StoredIcon {
  int size = 0;
  int bitsPerPixel = 0;
  std::vector<uint8_t> bytes;
  size_t colourStart = 0, colourRow = 0, maskStart = 0, maskRow = 0;

  bool transparent(int x, int y) const {  // y counted from the top
    size_t at = maskStart + size_t(size - 1 - y) * maskRow + x / 8;
    return bytes[at] & (0x80 >> (x % 8));
  }
  const uint8_t* pixel(int x, int y) const {
    return &bytes[colourStart + size_t(size - 1 - y) * colourRow + size_t(x) * (bitsPerPixel / 8)];
  }
};

// The group directory of icon id: (width, height, bits, RT_ICON id) per image.
struct GroupEntry {
  int width, height, bitsPerPixel, iconId;
};

std::vector<GroupEntry> groupEntries(int id) {
  std::vector<uint8_t> group = resourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(id));
  std::vector<GroupEntry> entries;
  if (group.size() < 6 || readU16(group, 2) != 1) return entries;
  size_t count = readU16(group, 4);
  if (group.size() < 6 + 14 * count) return entries;
  for (size_t i = 0; i < count; ++i) {
    size_t at = 6 + 14 * i;
    int width = group[at] ? group[at] : 256, height = group[at + 1] ? group[at + 1] : 256;
    entries.push_back({width, height, readU16(group, at + 6), readU16(group, at + 12)});
  }
  return entries;
}

StoredIcon storedIcon(const GroupEntry& entry) {
  StoredIcon icon;
  icon.bytes = resourceBytes(RT_ICON, MAKEINTRESOURCEA(entry.iconId));
  if (icon.bytes.size() < 40 || readU32(icon.bytes, 0) != 40) return {};
  icon.size = int(readU32(icon.bytes, 4));
  icon.bitsPerPixel = readU16(icon.bytes, 14);
  if (icon.size <= 0 || icon.size > 256 || int(readU32(icon.bytes, 8)) != 2 * icon.size) return {};
  if (icon.bitsPerPixel != 24 && icon.bitsPerPixel != 32) return {};
  icon.colourStart = 40;
  icon.colourRow = ((icon.size * icon.bitsPerPixel + 31) / 32) * 4;
  icon.maskStart = icon.colourStart + icon.colourRow * icon.size;
  icon.maskRow = ((icon.size + 31) / 32) * 4;
  if (icon.bytes.size() < icon.maskStart + icon.maskRow * icon.size) return {};
  return icon;
}

TEST(IconResources, EveryIconHoldsItsSizesAndDepths) {
  for (const IconFormat& format : kIcons) {
    SCOPED_TRACE(format.id);
    std::vector<GroupEntry> entries = groupEntries(format.id);
    ASSERT_EQ(entries.size(), format.images.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].width, format.images[i].size);
      EXPECT_EQ(entries[i].height, format.images[i].size);
      EXPECT_EQ(entries[i].bitsPerPixel, format.images[i].bitsPerPixel);
      StoredIcon icon = storedIcon(entries[i]);
      ASSERT_FALSE(icon.bytes.empty()) << "image " << i << " is malformed";
      EXPECT_EQ(icon.size, format.images[i].size);
      EXPECT_EQ(icon.bitsPerPixel, format.images[i].bitsPerPixel);
    }
  }
}

// Systems that ignore alpha draw through the AND mask alone, so mask and
// alpha must tell the same story; transparent pixels must be black or the
// XOR step tints the background.
TEST(IconResources, MaskAgreesWithAlphaAndHidesNothingVisible) {
  for (const IconFormat& format : kIcons) {
    for (const GroupEntry& entry : groupEntries(format.id)) {
      SCOPED_TRACE(testing::Message() << format.id << " " << entry.width << "x" << entry.bitsPerPixel);
      StoredIcon icon = storedIcon(entry);
      ASSERT_FALSE(icon.bytes.empty());
      int opaque = 0;
      for (int y = 0; y < icon.size; ++y) {
        for (int x = 0; x < icon.size; ++x) {
          const uint8_t* p = icon.pixel(x, y);
          bool hidden = icon.transparent(x, y);
          if (icon.bitsPerPixel == 32) {
            EXPECT_EQ(hidden, p[3] < 128) << x << "," << y;
          }
          if (hidden && (icon.bitsPerPixel == 24 || p[3] == 0)) {
            EXPECT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y;
          }
          opaque += !hidden;
        }
      }
      EXPECT_TRUE(icon.transparent(0, 0)) << "the corner shows the background";
      EXPECT_GT(opaque, icon.size * icon.size / 4) << "the picture is nearly empty";
      EXPECT_LT(opaque, icon.size * icon.size) << "the icon has no transparent part";
    }
  }
}

// A 32-bit white or black DIB section with a memory DC selected into it.
struct Canvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  uint32_t* pixels = nullptr;
  int size = 0;

  Canvas(int side, uint32_t fill) : size(side) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels = static_cast<uint32_t*>(bits);
    if (pixels) {
      previous = SelectObject(dc, bitmap);
      for (int i = 0; i < side * side; ++i) pixels[i] = fill;
    }
  }
  ~Canvas() {
    if (previous) SelectObject(dc, previous);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
  }
  uint32_t at(int x, int y) const { return pixels[y * size + x] & 0xFFFFFF; }
};

HICON loadIcon(int id, int size) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size,
                                       LR_DEFAULTCOLOR));
}

// The sizes at which the installer loads each icon.
std::vector<std::pair<int, int>> loadedSizes() {
  std::vector<std::pair<int, int>> sizes;
  for (int id = IDI_APP; id < IDI_APP + SMALL_ICON_COUNT; ++id) sizes.push_back({id, 16});
  sizes.push_back({IDI_APP, 32});
  sizes.push_back({IDI_BANNER, 32});
  return sizes;
}

TEST(IconResources, LoadAtTheSizesTheInstallerAsksFor) {
  for (auto [id, size] : loadedSizes()) {
    SCOPED_TRACE(testing::Message() << id << " at " << size);
    HICON icon = loadIcon(id, size);
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    EXPECT_TRUE(info.fIcon);
    BITMAP colour = {}, mask = {};
    ASSERT_NE(info.hbmColor, nullptr) << "a colour icon has a colour bitmap";
    ASSERT_TRUE(GetObjectA(info.hbmColor, sizeof colour, &colour));
    ASSERT_TRUE(GetObjectA(info.hbmMask, sizeof mask, &mask));
    EXPECT_EQ(colour.bmWidth, size);
    EXPECT_EQ(colour.bmHeight, size);
    EXPECT_EQ(mask.bmWidth, size);
    EXPECT_EQ(mask.bmHeight, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

// Drawn by the system onto white and onto black, an icon must leave its
// transparent pixels alone and cover its opaque ones completely.
TEST(IconResources, DrawOnlyTheirOpaquePixels) {
  for (auto [id, size] : loadedSizes()) {
    SCOPED_TRACE(testing::Message() << id << " at " << size);
    StoredIcon stored;
    for (const GroupEntry& entry : groupEntries(id))
      if (entry.width == size) stored = storedIcon(entry);
    ASSERT_FALSE(stored.bytes.empty());
    HICON icon = loadIcon(id, size);
    ASSERT_NE(icon, nullptr);
    Canvas white(size, 0xFFFFFF), black(size, 0x000000);
    ASSERT_TRUE(white.pixels && black.pixels);
    EXPECT_TRUE(DrawIconEx(white.dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
    EXPECT_TRUE(DrawIconEx(black.dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
    DestroyIcon(icon);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        bool hidden = stored.transparent(x, y);
        bool clear = hidden && (stored.bitsPerPixel == 24 || stored.pixel(x, y)[3] == 0);
        bool solid = !hidden && (stored.bitsPerPixel == 24 || stored.pixel(x, y)[3] == 255);
        if (clear) {
          EXPECT_EQ(white.at(x, y), 0xFFFFFFu) << x << "," << y;
          EXPECT_EQ(black.at(x, y), 0u) << x << "," << y;
        }
        if (solid) {
          EXPECT_EQ(white.at(x, y), black.at(x, y)) << x << "," << y;
        }
      }
    }
  }
}

TEST(SidePicture, IsAnEightBitPictureOf180By200) {
  std::vector<uint8_t> dib = resourceBytes(RT_BITMAP, MAKEINTRESOURCEA(IDB_SIDE_PICTURE));
  ASSERT_GE(dib.size(), 40u);
  ASSERT_EQ(readU32(dib, 0), 40u);
  EXPECT_EQ(readU32(dib, 4), 180u);
  EXPECT_EQ(readU32(dib, 8), 200u);
  EXPECT_EQ(readU16(dib, 14), 8);
  EXPECT_EQ(readU32(dib, 16), 0u) << "uncompressed";
  uint32_t colours = readU32(dib, 32) ? readU32(dib, 32) : 256;
  ASSERT_LE(colours, 256u);
  size_t pixelsStart = 40 + 4 * size_t(colours);
  ASSERT_GE(dib.size(), pixelsStart + 180 * 200);
  // A picture, not a flat fill: most of the palette is used.
  bool used[256] = {};
  for (size_t i = pixelsStart; i < pixelsStart + 180 * 200; ++i) used[dib[i]] = true;
  int distinct = 0;
  for (bool u : used) distinct += u;
  EXPECT_GT(distinct, 128);
}

TEST(SidePicture, LoadsAsTheInstallerLoadsIt) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HBITMAP picture = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_SIDE_PICTURE), IMAGE_BITMAP, 180, 200, LR_DEFAULTCOLOR));
  ASSERT_NE(picture, nullptr);
  BITMAP bitmap = {};
  ASSERT_TRUE(GetObjectA(picture, sizeof bitmap, &bitmap));
  EXPECT_EQ(bitmap.bmWidth, 180);
  EXPECT_EQ(bitmap.bmHeight, 200);
  DeleteObject(picture);

  HBITMAP section = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_SIDE_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(section, nullptr);
  DIBSECTION dib = {};
  ASSERT_EQ(GetObjectA(section, sizeof dib, &dib), int(sizeof dib));
  EXPECT_EQ(dib.dsBmih.biBitCount, 8);
  EXPECT_EQ(dib.dsBm.bmWidth, 180);
  EXPECT_EQ(dib.dsBm.bmHeight, 200);
  DeleteObject(section);
}

std::string versionString(const std::vector<uint8_t>& block, const char* name) {
  std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
  char* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) || !text) return {};
  return std::string(text, strnlen(text, length));
}

TEST(VersionInformation, NamesTheSystemAndItsVersion) {
  char path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof *fixed);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00000008u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00000008u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  EXPECT_EQ(versionString(block, "FileDescription"), "Halvorsine Install System");
  EXPECT_EQ(versionString(block, "InternalName"), "Halvorsine Install System");
  EXPECT_EQ(versionString(block, "ProductName"), "Halvorsine Install System");
  EXPECT_EQ(versionString(block, "FileVersion"), "0, 8, 0, 0");
  EXPECT_EQ(versionString(block, "ProductVersion"), "0, 8, 0, 0");
}

TEST(Manifest, NamesTheProgramsArchitecture) {
  std::vector<uint8_t> bytes = resourceBytes(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
  ASSERT_FALSE(bytes.empty());
  std::string manifest(bytes.begin(), bytes.end());
  EXPECT_NE(manifest.find("name=\"Halvorsine Installer System\" version=\"1.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
  const char* arch = sizeof(void*) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\"";
  size_t first = manifest.find(arch);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(manifest.find(arch, first + 1), std::string::npos) << "the dependency names it too";
}

// The manifest is what makes the loader bind version 6 of the common
// controls, which lives in the side-by-side store; without it the process
// gets version 5 from the system folder.
TEST(Manifest, BindsTheCommonControlsFromTheSideBySideStore) {
  InitCommonControls();
  HMODULE controls = GetModuleHandleA("comctl32.dll");
  ASSERT_NE(controls, nullptr);
  char path[MAX_PATH] = "";
  ASSERT_GT(GetModuleFileNameA(controls, path, sizeof path), 0u);
  std::string lower(path);
  for (char& c : lower) c = char(tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(lower.find("microsoft.windows.common-controls"), std::string::npos) << path;
  EXPECT_NE(lower.find("_6.0."), std::string::npos) << path;
}

}  // namespace
