#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace {
float clamp01(float value) { return std::min(1.0f, std::max(0.0f, value)); }
}  // namespace

Rgba rgb(int red, int green, int blue) {
  return {red / 255.0f, green / 255.0f, blue / 255.0f, 1.0f};
}

Rgba mix(Rgba from, Rgba to, float t) {
  t = clamp01(t);
  return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t,
          from.b + (to.b - from.b) * t, from.a + (to.a - from.a) * t};
}

Rgba withAlpha(Rgba colour, float alpha) {
  colour.a = clamp01(alpha);
  return colour;
}

Rgba over(Rgba bottom, Rgba top) {
  float a = top.a + bottom.a * (1 - top.a);
  if (a <= 0) return {};
  auto channel = [&](float t, float b) { return (t * top.a + b * bottom.a * (1 - top.a)) / a; };
  return {channel(top.r, bottom.r), channel(top.g, bottom.g), channel(top.b, bottom.b), a};
}

Image render(int width, int height, int samples, const Scene& scene) {
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.resize(size_t(width) * height);
  const float step = 1.0f / samples;
  const float count = float(samples * samples);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          Rgba c = scene(x + (sx + 0.5f) * step, y + (sy + 0.5f) * step);
          r += c.r * c.a;
          g += c.g * c.a;
          b += c.b * c.a;
          a += c.a;
        }
      }
      Rgba& out = image.pixels[size_t(y) * width + x];
      out.a = a / count;
      if (a > 0) out = {r / a, g / a, b / a, out.a};
    }
  }
  return image;
}

bool inCircle(float x, float y, float cx, float cy, float radius) {
  float dx = x - cx, dy = y - cy;
  return dx * dx + dy * dy <= radius * radius;
}

bool inRing(float x, float y, float cx, float cy, float inner, float outer) {
  return inCircle(x, y, cx, cy, outer) && !inCircle(x, y, cx, cy, inner);
}

bool inRect(float x, float y, float left, float top, float right, float bottom) {
  return x >= left && x < right && y >= top && y < bottom;
}

bool inRoundRect(float x, float y, float left, float top, float right, float bottom,
                 float radius) {
  if (!inRect(x, y, left, top, right, bottom)) return false;
  float cx = std::clamp(x, left + radius, right - radius);
  float cy = std::clamp(y, top + radius, bottom - radius);
  return inCircle(x, y, cx, cy, radius);
}

bool nearSegment(float x, float y, float x0, float y0, float x1, float y1, float halfWidth) {
  float dx = x1 - x0, dy = y1 - y0;
  float length2 = dx * dx + dy * dy;
  float t = length2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / length2 : 0;
  t = clamp01(t);
  return inCircle(x, y, x0 + t * dx, y0 + t * dy, halfWidth);
}

bool inPolygon(float x, float y, const std::vector<float>& points) {
  bool inside = false;
  size_t n = points.size() / 2;
  for (size_t i = 0, j = n - 1; i < n; j = i++) {
    float xi = points[2 * i], yi = points[2 * i + 1];
    float xj = points[2 * j], yj = points[2 * j + 1];
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

float angleAt(float x, float y, float cx, float cy) {
  float degrees = std::atan2(y - cy, x - cx) * 180.0f / 3.14159265f;
  return degrees < 0 ? degrees + 360.0f : degrees;
}
