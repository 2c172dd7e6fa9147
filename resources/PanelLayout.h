// The words the panels' layout tables are written in: a box in panel pixels, a point where a
// widget of its picture's size stands, and a widget's place on a channel strip. The panels and
// the artwork generator read the same tables, so the drawn wells and captions sit under the
// widgets. Plain data; no dependency.
#pragma once

namespace panel_layout {

// A rectangle: left and top inside, right and bottom outside.
struct Box {
  int left, top, right, bottom;
  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  // The same box moved by (dx, dy).
  constexpr Box Moved(int dx, int dy) const { return Box{left + dx, top + dy, right + dx, bottom + dy}; }
};

// The top-left corner of a widget that takes the size of its picture.
struct Spot {
  int x, y;
};

// Where a strip widget sits relative to its strip's left edge X: left = X + dx; top is the
// panel's. A place of width and height 0 takes the size of the widget's picture.
struct StripPlace {
  int dx;
  int top;
  int width;
  int height;
  // The widget's box on the strip at edge x; the picture's size when the place has none.
  constexpr Box At(int x, int pictureWidth = 0, int pictureHeight = 0) const {
    const int w = width ? width : pictureWidth;
    const int h = height ? height : pictureHeight;
    return Box{x + dx, top, x + dx + w, top + h};
  }
  // The same place moved down by dy (the rows of a column of like widgets).
  constexpr StripPlace Down(int dy) const { return StripPlace{dx, top + dy, width, height}; }
};

}  // namespace panel_layout
