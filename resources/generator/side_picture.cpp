#include <cmath>
#include <cstdint>
#include <vector>

#include "pictures.h"

namespace {

struct Ridge {
  float base;                  // mean height of the ridge line
  float amplitude[2];          // of its two sine waves
  float period[2];             // in pixels
  float phase[2];              // in radians
  Rgba crest;                  // colour at the ridge line
  Rgba foot;                   // colour 60 pixels below it
};

// Far to near: each range is darker, bluer and less hazy than the one behind.
const Ridge kRidges[] = {
    {118, {5, 2.5f}, {150, 55}, {1.0f, 2.0f}, rgb(120, 184, 196), rgb(92, 158, 178)},
    {132, {8, 3}, {190, 70}, {0.4f, 0.3f}, rgb(70, 144, 162), rgb(44, 112, 138)},
    {149, {11, 4}, {250, 95}, {2.4f, 1.0f}, rgb(30, 112, 126), rgb(20, 82, 108)},
    {168, {9, 3}, {170, 66}, {4.0f, 0.2f}, rgb(20, 74, 100), rgb(14, 50, 80)},
    {187, {7, 2}, {280, 80}, {1.2f, 2.6f}, rgb(13, 42, 68), rgb(9, 28, 50)},
};

const float kPi = 3.14159265f;

float ridgeHeight(const Ridge& ridge, float x) {
  float h = ridge.base;
  for (int i = 0; i < 2; ++i) h -= ridge.amplitude[i] * std::sin(2 * kPi * x / ridge.period[i] + ridge.phase[i]);
  return h;
}

Rgba skyAt(float y) {
  struct Stop { float y; Rgba colour; };
  static const Stop stops[] = {{0, rgb(12, 28, 56)},      {60, rgb(24, 66, 112)}, {100, rgb(64, 132, 170)},
                               {128, rgb(176, 214, 208)}, {200, rgb(230, 232, 206)}};
  for (size_t i = 1; i < sizeof stops / sizeof stops[0]; ++i) {
    if (y <= stops[i].y) return mix(stops[i - 1].colour, stops[i].colour, (y - stops[i - 1].y) / (stops[i].y - stops[i - 1].y));
  }
  return stops[4].colour;
}

// A few faint stars in the upper sky at fixed, scattered places.
bool onStar(float x, float y) {
  uint32_t seed = 20240611u;
  for (int i = 0; i < 26; ++i) {
    seed = seed * 1664525u + 1013904223u;
    float sx = float(seed >> 8 & 0xFFFF) / 65536.0f * 176 + 2;
    seed = seed * 1664525u + 1013904223u;
    float sy = float(seed >> 8 & 0xFFFF) / 65536.0f * 64 + 2;
    if (inCircle(x, y, sx, sy, 0.55f + (i % 3) * 0.2f)) return true;
  }
  return false;
}

Rgba skyWithSun(float x, float y) {
  const float sunX = 126, sunY = 104, sunRadius = 15;
  Rgba colour = skyAt(y);
  float d = std::sqrt((x - sunX) * (x - sunX) + (y - sunY) * (y - sunY));
  float glow = 0.42f * std::exp(-std::fmax(0.0f, d - sunRadius) / 22.0f);
  colour = over(colour, withAlpha(rgb(255, 236, 196), glow));
  if (d <= sunRadius) colour = mix(rgb(255, 244, 218), rgb(252, 226, 170), (y - (sunY - sunRadius)) / (2 * sunRadius));
  if (onStar(x, y)) colour = over(colour, withAlpha(rgb(236, 244, 255), 0.75f * (1 - y / 90)));
  // Two thin streaks of cloud across the glow.
  for (float cloudY : {96.0f, 109.0f}) {
    float dy = (y - cloudY) / 1.6f, dx = (x - 120) / 70.0f;
    if (dx * dx + dy * dy < 1) colour = over(colour, withAlpha(rgb(210, 150, 140), 0.22f * (1 - dx * dx)));
  }
  return colour;
}

}  // namespace

Scene sidePictureScene() {
  return [](float x, float y) {
    Rgba colour = skyWithSun(x, y);
    for (const Ridge& ridge : kRidges) {
      float top = ridgeHeight(ridge, x);
      if (y < top) continue;
      colour = mix(ridge.crest, ridge.foot, (y - top) / 60.0f);
      // Evening light catches the upper edge of each ridge.
      if (y - top < 1.5f) colour = mix(colour, rgb(250, 214, 150), 0.22f);
    }
    return colour;
  };
}
