// Rectangle helpers of the custom panel view and its designer. Edges count as inside; a
// rectangle without area is nothing to unite.
#pragma once

#include <algorithm>

#include "platform/Types.h"

namespace panelgeometry {

inline bool IsEmpty(const CRect& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }
inline bool HasArea(const CRect& r) { return r.Width() != 0 && r.Height() != 0; }

inline CRect Normalised(CRect r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

inline CRect Grown(const CRect& r, int by) { return CRect{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

inline CRect Offset(const CRect& r, int dx, int dy) {
  return CRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

inline CRect Union(const CRect& a, const CRect& b) {
  if (!HasArea(a)) return b;
  if (!HasArea(b)) return a;
  return CRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

inline bool HoldsPoint(const CRect& r, CPoint p) {
  return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

inline bool Meets(const CRect& a, const CRect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace panelgeometry
