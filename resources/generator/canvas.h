// Pictures drawn in code: a scene is a function that gives the colour at any
// point of the picture plane, and render() averages it over a grid of samples
// inside each pixel, which is all the anti-aliasing the pictures need.
// Single-threaded; everything is returned by value.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// A colour with straight (not premultiplied) alpha, every channel 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

Rgba rgb(int red, int green, int blue);              // opaque, channels 0..255
Rgba mix(Rgba from, Rgba to, float t);               // t outside 0..1 is clamped
Rgba withAlpha(Rgba colour, float alpha);
// Porter-Duff "over": top composited onto bottom.
Rgba over(Rgba bottom, Rgba top);

// Colour at (x, y) in pixel units: (0, 0) is the top-left corner of the top-left
// pixel, (width, height) the bottom-right corner of the picture.
using Scene = std::function<Rgba(float x, float y)>;

// A rendered picture, rows top to bottom, straight alpha.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgba> pixels;
  Rgba at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// Averages scene over samples x samples points per pixel (premultiplied, so
// that transparent samples do not darken edges).
Image render(int width, int height, int samples, const Scene& scene);

// Point-in-shape tests used by the scenes; all in pixel units.
bool inCircle(float x, float y, float cx, float cy, float radius);
bool inRing(float x, float y, float cx, float cy, float inner, float outer);
bool inRect(float x, float y, float left, float top, float right, float bottom);
bool inRoundRect(float x, float y, float left, float top, float right, float bottom,
                 float radius);
// Points closer than halfWidth to the segment (x0, y0)-(x1, y1): a stroke with
// round caps.
bool nearSegment(float x, float y, float x0, float y0, float x1, float y1, float halfWidth);
// Even-odd test against a closed polygon given as x0, y0, x1, y1, ...
bool inPolygon(float x, float y, const std::vector<float>& points);
// Angle of (x, y) seen from (cx, cy) in degrees, 0 to the right, growing
// clockwise on screen (y down), in 0..360.
float angleAt(float x, float y, float cx, float cy);
