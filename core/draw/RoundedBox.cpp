// Rounded rectangle paths and frames.
#include "core/draw/RoundedBox.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/Graphics.h"

void CreateRoundRectPath(CGraphicsPath& path, int d, int x, int y, int w, int h) {
  d = std::max(0, std::min({d, w, h}));
  path.Reset();
  path.AddArc(float(x), float(y), float(d), float(d), 180.0f, 90.0f);
  int a = d;
  if (d == 20) {
    a = 21;
    --w;
    --h;
  }
  // In floating point: a rectangle at the edge of the integer range does not wrap round.
  const float p = float(x) + float(w) - float(d) - 1.0f;
  const float bottom = float(y) + float(h) - float(d) - 1.0f;
  path.AddArc(p, float(y), float(a), float(a), 270.0f, 90.0f);
  path.AddArc(p, bottom, float(a), float(a), 0.0f, 90.0f);
  path.AddArc(float(x), bottom, float(a), float(a), 90.0f, 90.0f);
  path.CloseFigure();
}

namespace {
// Sums and products of the box's numbers, held to the int range.
int Held(std::int64_t value) {
  return int(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
}  // namespace

void DrawRoundedBox(Graphics& g, CColour colour, int border, int radius, int x, int y, int w, int h) {
  const std::int64_t b = border, r = radius;
  if (border == 1) {
    CGraphicsPath outline;
    CreateRoundRectPath(outline, Held(2 * r), x, y, w, h);
    g.DrawPath(CPen(colour, 1.0f, PenAlignment::Inset), outline);
    return;
  }
  // The band between the outer rounded rectangle and the one inset by the border.
  CGraphicsPath ring(FillMode::Alternate);
  CreateRoundRectPath(ring, Held(2 * r), x, y, w, h);
  CGraphicsPath inner;
  CreateRoundRectPath(inner, Held(std::max<std::int64_t>(2 * (r - b), 1)), Held(x + b), Held(y + b), Held(w - 2 * b),
                      Held(h - 2 * b));
  ring.AddPath(inner);
  g.FillPath(CBrush(colour), ring);
}
