#include "pictures.h"

#include <cmath>
#include <vector>

namespace {

const float kPi = 3.14159265f;

namespace palette {
const Rgba ink = rgb(16, 40, 70);
const Rgba navy = rgb(22, 56, 98);
const Rgba blue = rgb(38, 104, 168);
const Rgba sky = rgb(84, 152, 212);
const Rgba teal = rgb(22, 132, 136);
const Rgba tealLight = rgb(84, 186, 176);
const Rgba mint = rgb(190, 236, 224);
const Rgba sand = rgb(234, 178, 82);
const Rgba sandLight = rgb(250, 216, 142);
const Rgba sandDark = rgb(178, 120, 40);
const Rgba paper = rgb(250, 248, 242);
const Rgba paperShade = rgb(214, 222, 228);
const Rgba brick = rgb(196, 78, 62);
const Rgba brickLight = rgb(228, 124, 100);
const Rgba white = rgb(255, 255, 255);
}  // namespace palette

using namespace palette;

// Every icon is designed on a 16 x 16 grid and scaled to its size; `unit` is
// one screen pixel in grid units, so that outlines stay one pixel wide at 32
// x 32 as well.
struct Pen {
  float unit;
};

// A vertical gradient between top and bottom, evaluated at y.
Rgba vertical(Rgba top, Rgba bottom, float y, float y0, float y1) {
  return mix(top, bottom, (y - y0) / (y1 - y0));
}

// A round badge: gradient fill, a one-pixel darker rim and a soft highlight
// in its upper half. The glyph is drawn over it by the caller.
Rgba badge(float x, float y, Rgba light, Rgba dark, Pen pen) {
  const float cx = 8, cy = 8, r = 7.5f;
  if (!inCircle(x, y, cx, cy, r)) return {};
  if (!inCircle(x, y, cx, cy, r - pen.unit)) return mix(dark, ink, 0.45f);
  Rgba colour = vertical(light, dark, y, 1, 15);
  if (inCircle(x, y, cx, cy - 2.6f, 4.6f) && y < cy - 0.5f)
    colour = over(colour, withAlpha(white, 0.16f));
  return colour;
}

bool inRightArrow(float x, float y) {
  return inRect(x, y, 4, 7, 8.5f, 9) || inPolygon(x, y, {8, 4.2f, 12.2f, 8, 8, 11.8f});
}

// Inside the polygon or within about `reach` of it: room for an outline.
bool nearPolygon(float x, float y, const std::vector<float>& points, float reach) {
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy)
      if (inPolygon(x + dx * reach, y + dy * reach, points)) return true;
  return false;
}

// A stroke along y = f(x): the distance is taken to a fine polyline.
bool nearCurve(float x, float y, float x0, float x1, float halfWidth, float (*f)(float)) {
  const int pieces = 48;
  for (int i = 0; i < pieces; ++i) {
    float a = x0 + (x1 - x0) * i / pieces, b = x0 + (x1 - x0) * (i + 1) / pieces;
    if (nearSegment(x, y, a, f(a), b, f(b), halfWidth)) return true;
  }
  return false;
}

float emblemWave(float x) { return 8.0f - 2.6f * std::sin(2 * kPi * (x - 3.0f) / 10.0f); }

// 208 and 212: the maker's mark, a sine wave on a rounded tile.
Rgba emblem(float x, float y, Pen pen) {
  if (!inRoundRect(x, y, 0.5f, 0.5f, 15.5f, 15.5f, 3.2f)) return {};
  if (!inRoundRect(x, y, 0.5f + pen.unit, 0.5f + pen.unit, 15.5f - pen.unit, 15.5f - pen.unit, 3.2f - pen.unit))
    return ink;
  Rgba colour = vertical(tealLight, navy, y + x * 0.35f, 1, 20);
  if (y < 7.5f && inRoundRect(x, y, 1.5f, 1.5f, 14.5f, 14.5f, 2.4f)) colour = over(colour, withAlpha(white, 0.10f));
  if (nearCurve(x, y + pen.unit * 0.8f, 3, 13, 1.15f, emblemWave)) colour = mix(colour, ink, 0.35f);
  if (nearCurve(x, y, 3, 13, 1.15f, emblemWave)) colour = vertical(white, sandLight, y, 5, 11);
  return colour;
}

// 201: the product box, an isometric package with a sand tape band.
Rgba packageBox(float x, float y, Pen pen) {
  const float l = 1.5f, r = 14.5f, c = 8, top = 1.5f, mid = 4.75f, centre = 8, low = 11.25f, bottom = 14.5f;
  std::vector<float> leftFace{l, mid, c, centre, c, bottom, l, low};
  std::vector<float> rightFace{c, centre, r, mid, r, low, c, bottom};
  std::vector<float> topFace{l, mid, c, top, r, mid, c, centre};
  std::vector<float> outline{l, mid, c, top, r, mid, r, low, c, bottom, l, low};
  const float w = pen.unit * 0.55f;
  for (size_t i = 0; i < outline.size(); i += 2) {
    size_t j = (i + 2) % outline.size();
    if (nearSegment(x, y, outline[i], outline[i + 1], outline[j], outline[j + 1], w)) return ink;
  }
  Rgba colour;
  // The tape crosses the lid parallel to its back-right edge, through the
  // lid's centre (y = 0.5 x + 0.75), then runs down the right face.
  if (inPolygon(x, y, topFace)) {
    colour = vertical(mint, tealLight, y, top, centre);
    if (std::fabs(y - (0.5f * x + 0.75f)) / 1.118f < 1.1f) colour = vertical(sandLight, sand, y, top, centre);
  } else if (inPolygon(x, y, leftFace)) {
    colour = vertical(tealLight, teal, y, mid, bottom);
  } else if (inPolygon(x, y, rightFace)) {
    colour = vertical(blue, navy, y, mid, bottom);
    if (std::fabs(x - 11.25f) < 1.1f) colour = vertical(sand, sandDark, y, mid, bottom);
  } else {
    return {};
  }
  if (nearSegment(x, y, c, centre, c, bottom, w * 0.8f) || nearSegment(x, y, l, mid, c, centre, w * 0.8f) ||
      nearSegment(x, y, c, centre, r, mid, w * 0.8f))
    colour = mix(colour, ink, 0.45f);
  return colour;
}

// A sheet of paper with a folded corner, the base of the shortcut icon.
Rgba page(float x, float y, Pen pen) {
  std::vector<float> sheet{3.5f, 0.5f, 10.5f, 0.5f, 13.5f, 3.5f, 13.5f, 15.5f, 3.5f, 15.5f};
  if (!inPolygon(x, y, sheet)) return {};
  const float w = pen.unit;
  std::vector<float> inner{3.5f + w, 0.5f + w, 10.5f - w * 0.4f, 0.5f + w, 13.5f - w, 3.5f + w * 0.4f,
                           13.5f - w, 15.5f - w, 3.5f + w, 15.5f - w};
  if (!inPolygon(x, y, inner)) return ink;
  if (inPolygon(x, y, {10.5f, 0.5f, 10.5f, 3.5f, 13.5f, 3.5f})) return paperShade;
  Rgba colour = vertical(paper, paperShade, y, 0, 16);
  for (float line : {6.0f, 8.5f, 11.0f})
    if (inRect(x, y, 6, line, 11.5f, line + w)) colour = mix(colour, sky, 0.55f);
  return colour;
}

// 202: a shortcut to the product: a page with the shortcut arrow badge.
Rgba shortcut(float x, float y, Pen pen) {
  Rgba colour = page(x, y, pen);
  if (inRoundRect(x, y, 0.5f, 8.5f, 8.5f, 15.5f, 1.5f)) {
    colour = inRoundRect(x, y, 0.5f + pen.unit, 8.5f + pen.unit, 8.5f - pen.unit, 15.5f - pen.unit, 1.0f)
                 ? vertical(white, paperShade, y, 9, 15)
                 : ink;
    if (nearSegment(x, y, 2.6f, 13.6f, 5.2f, 11.0f, 0.8f) || inPolygon(x, y, {7.2f, 9.5f, 7.2f, 13.0f, 3.7f, 9.5f}))
      colour = teal;
  }
  return colour;
}

// Folders share the sand accent; `open` tilts the front flap forward.
Rgba folder(float x, float y, Pen pen, bool open) {
  const float w = pen.unit;
  Rgba colour;
  if (inRoundRect(x, y, 0.5f, 2.5f, 7.5f, 6.0f, 1.0f)) {
    colour = inRoundRect(x, y, 0.5f + w, 2.5f + w, 7.5f - w, 6.0f, 0.6f) ? sandDark : ink;
  }
  if (inRoundRect(x, y, 0.5f, 4.5f, 15.5f, 14.5f, 1.0f)) {
    colour = inRoundRect(x, y, 0.5f + w, 4.5f + w, 15.5f - w, 14.5f - w, 0.6f)
                 ? vertical(sand, sandDark, y, 4, 15)
                 : ink;
  }
  if (open) {
    std::vector<float> flap{3.0f, 7.5f, 15.9f, 7.5f, 13.2f, 14.5f, 0.5f, 14.5f};
    if (inPolygon(x, y, flap)) {
      std::vector<float> inner{3.0f + w * 1.2f, 7.5f + w, 15.9f - w * 1.4f, 7.5f + w, 13.2f - w * 0.6f, 14.5f - w,
                               0.5f + w * 1.4f, 14.5f - w};
      colour = inPolygon(x, y, inner) ? vertical(sandLight, sand, y, 7, 15) : ink;
    }
  } else if (inRect(x, y, 0.5f + w, 4.5f + w, 15.5f - w, 5.5f + w)) {
    colour = mix(colour, sandLight, 0.8f);
  }
  return colour;
}

// 203: the program group: a closed folder holding four program tiles.
Rgba programGroup(float x, float y, Pen pen) {
  Rgba colour = folder(x, y, pen, false);
  const float tiles[4][2] = {{4.5f, 7}, {8.5f, 7}, {4.5f, 10.5f}, {8.5f, 10.5f}};
  const Rgba fills[4] = {teal, blue, blue, teal};
  for (int i = 0; i < 4; ++i) {
    float tx = tiles[i][0] + 0.5f, ty = tiles[i][1];
    if (inRect(x, y, tx - pen.unit, ty - pen.unit, tx + 3, ty + 2.5f)) colour = mix(sandDark, ink, 0.3f);
    if (inRect(x, y, tx, ty, tx + 3 - pen.unit, ty + 2.5f - pen.unit)) colour = vertical(mix(fills[i], white, 0.35f), fills[i], y, ty, ty + 2.5f);
  }
  return colour;
}

// 204: the help file: a question mark on a blue badge.
Rgba help(float x, float y, Pen pen) {
  Rgba colour = badge(x, y, sky, navy, pen);
  if (colour.a == 0) return colour;
  float a = angleAt(x, y, 8, 6.2f);
  bool hook = inRing(x, y, 8, 6.2f, 1.55f, 3.55f) && (a >= 170 || a <= 75);
  bool stem = inRect(x, y, 7.0f, 8.6f, 9.0f, 10.3f) || inPolygon(x, y, {8.1f, 9.4f, 9.0f, 8.7f, 9.45f, 7.9f, 8.0f, 7.8f, 7.0f, 8.7f});
  bool dot = inCircle(x, y, 8, 12.2f, 1.15f);
  if (hook || stem || dot) colour = white;
  return colour;
}

// 205: the web site: a globe with meridians and the equator.
Rgba globe(float x, float y, Pen pen) {
  const float cx = 8, cy = 8, r = 7.5f, w = pen.unit;
  if (!inCircle(x, y, cx, cy, r)) return {};
  if (!inCircle(x, y, cx, cy, r - w)) return ink;
  Rgba colour = vertical(sky, blue, y, 1, 15);
  bool land = inCircle(x, y, 5.2f, 5.8f, 2.7f) || inCircle(x, y, 6.6f, 8.4f, 1.6f) ||
              inCircle(x, y, 11.2f, 10.6f, 2.4f);
  if (land) colour = vertical(tealLight, teal, y, 2, 14);
  float ex = (x - cx) / 3.4f, ey = (y - cy) / (r - w);
  float ellipse = std::sqrt(ex * ex + ey * ey);
  bool meridian = std::fabs(ellipse - 1) * 3.4f < w * 0.55f || std::fabs(x - cx) < w * 0.5f;
  bool parallel = std::fabs(y - cy) < w * 0.5f;
  if (meridian || parallel) colour = mix(colour, mint, 0.7f);
  if (inCircle(x, y, cx - 2.5f, cy - 2.8f, 3.2f)) colour = over(colour, withAlpha(white, 0.12f));
  return colour;
}

// 207: refresh: a circular arrow running clockwise.
Rgba refresh(float x, float y, Pen pen) {
  const float cx = 8, cy = 8.4f, r = 5.0f, half = 1.35f;
  const float end = 255.0f * kPi / 180.0f;
  float px = cx + r * std::cos(end), py = cy + r * std::sin(end);
  float tx = -std::sin(end), ty = std::cos(end);  // clockwise direction at the arc's end
  float nx = std::cos(end), ny = std::sin(end);
  std::vector<float> head{px + tx * 3.2f, py + ty * 3.2f, px + nx * 3.0f, py + ny * 3.0f, px - nx * 3.0f,
                          py - ny * 3.0f};
  float a = angleAt(x, y, cx, cy);
  bool arc = inRing(x, y, cx, cy, r - half, r + half) && (a >= 345 || a <= 255);
  bool inArrow = arc || inPolygon(x, y, head);
  bool inOutline = (inRing(x, y, cx, cy, r - half - pen.unit, r + half + pen.unit) && (a >= 340 || a <= 256)) ||
                   nearPolygon(x, y, head, pen.unit * 0.8f);
  if (inArrow) return vertical(tealLight, teal, y, 2, 14);
  if (inOutline) return ink;
  return {};
}

// 209, 211: forward and back; 210: exit or cancel.
Rgba forward(float x, float y, Pen pen) {
  Rgba colour = badge(x, y, tealLight, teal, pen);
  if (colour.a > 0 && inRightArrow(x, y)) colour = white;
  return colour;
}

Rgba back(float x, float y, Pen pen) { return forward(16 - x, y, pen); }

Rgba cancel(float x, float y, Pen pen) {
  Rgba colour = badge(x, y, brickLight, brick, pen);
  if (colour.a > 0 && (nearSegment(x, y, 5.2f, 5.2f, 10.8f, 10.8f, 1.15f) ||
                       nearSegment(x, y, 10.8f, 5.2f, 5.2f, 10.8f, 1.15f)))
    colour = white;
  return colour;
}

using IconDrawing = Rgba (*)(float, float, Pen);

IconDrawing drawingFor(int id) {
  switch (id) {
    case 201: return packageBox;
    case 202: return shortcut;
    case 203: return programGroup;
    case 204: return help;
    case 205: return globe;
    case 206: return [](float x, float y, Pen pen) { return folder(x, y, pen, true); };
    case 207: return refresh;
    case 208: return emblem;
    case 209: return forward;
    case 210: return cancel;
    case 211: return back;
    case 212: return emblem;
    default: return nullptr;
  }
}

}  // namespace

Scene iconScene(int id, int size) {
  IconDrawing drawing = drawingFor(id);
  if (!drawing) return [](float, float) { return Rgba{}; };
  float scale = 16.0f / size;
  Pen pen{scale};
  return [drawing, scale, pen](float x, float y) { return drawing(x * scale, y * scale, pen); };
}
