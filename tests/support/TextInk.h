// Reads drawn text back by its ink: light glyphs on a dark ground, compared with a word drawn
// alone in a given font.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Graphics.h"
#include "platform/Image.h"

// Light pixels of the area (the glyphs of light text on a dark well), row by row.
struct CInkMask {
  int width = 0;
  int height = 0;
  std::vector<bool> ink;

  bool At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && ink[std::size_t(y * width + x)];
  }
  int Count() const { return int(std::count(ink.begin(), ink.end(), true)); }
};

inline CInkMask InkOf(const CImage& image, const CRect& area, int threshold = 130) {
  CInkMask mask;
  mask.width = area.Width();
  mask.height = area.Height();
  mask.ink.resize(std::size_t(mask.width * mask.height));
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) {
      const CColour c = image.GetPixel(area.left + x, area.top + y);
      mask.ink[std::size_t(y * mask.width + x)] = (int(c.R()) + int(c.G()) + int(c.B())) / 3 > threshold;
    }
  return mask;
}

// The word drawn alone in the font, white on black, cropped to its ink.
inline CInkMask InkOfWord(const std::string& word, const CFont& font) {
  CImage canvas(160, 60);
  canvas.Fill(CColour{0xFF000000u});
  {
    Graphics g(canvas);
    g.SetTextRenderingHint(TextRenderingHint::AntiAliasGridFit);
    CStringFormat format;
    format.noWrap = true;
    g.DrawString(word, font, CRectF{8.0f, 8.0f, 0.0f, 0.0f}, format, CBrush(CColour{0xFFFFFFFFu}));
  }
  const CInkMask all = InkOf(canvas, CRect{0, 0, 160, 60});
  int left = all.width, top = all.height, right = -1, bottom = -1;
  for (int y = 0; y < all.height; ++y)
    for (int x = 0; x < all.width; ++x)
      if (all.At(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (right < 0) return CInkMask{};
  return InkOf(canvas, CRect{left, top, right + 1, bottom + 1});
}

// Where the word's ink matches the drawing best in the area, and how well: the overlap of the
// two inks over their union there (1: the same glyphs, lower: other shapes).
struct CInkMatch {
  double score = 0.0;
  int x = 0;  // the word's left edge in the area
  int width = 0;
};

inline CInkMatch FindWord(const CInkMask& area, const CInkMask& word) {
  CInkMatch best;
  best.width = word.width;
  if (word.Count() == 0) return best;
  for (int dy = -1; dy + word.height <= area.height + 1; ++dy)
    for (int dx = -1; dx + word.width <= area.width + 1; ++dx) {
      int both = 0, either = 0;
      for (int y = 0; y < word.height; ++y)
        for (int x = 0; x < word.width; ++x) {
          const bool a = area.At(dx + x, dy + y), b = word.At(x, y);
          both += a && b;
          either += a || b;
        }
      const double score = either > 0 ? double(both) / double(either) : 0.0;
      if (score > best.score) best.score = score, best.x = dx;
    }
  return best;
}

inline double BestMatch(const CInkMask& area, const CInkMask& word) { return FindWord(area, word).score; }
