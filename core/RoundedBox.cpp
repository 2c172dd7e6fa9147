// Rounded rectangle paths and frames.
#include "core/RoundedBox.h"

#include <algorithm>

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
  const float p = float(x + w - d - 1);
  const float bottom = float(y + h - d - 1);
  path.AddArc(p, float(y), float(a), float(a), 270.0f, 90.0f);
  path.AddArc(p, bottom, float(a), float(a), 0.0f, 90.0f);
  path.AddArc(float(x), bottom, float(a), float(a), 90.0f, 90.0f);
  path.CloseFigure();
}

void DrawRoundedBox(Graphics& g, CColour colour, int border, int radius, int x, int y, int w, int h) {
  if (border == 1) {
    CGraphicsPath outline;
    CreateRoundRectPath(outline, 2 * radius, x, y, w, h);
    g.DrawPath(CPen(colour, 1.0f, PenAlignment::Inset), outline);
    return;
  }
  // The band between the outer rounded rectangle and the one inset by the border.
  CGraphicsPath ring(FillMode::Alternate);
  CreateRoundRectPath(ring, 2 * radius, x, y, w, h);
  CGraphicsPath inner;
  CreateRoundRectPath(inner, std::max(2 * (radius - border), 1), x + border, y + border, w - 2 * border, h - 2 * border);
  ring.AddPath(inner);
  g.FillPath(CBrush(colour), ring);
}
