// Drawing and value helpers the widget kinds share.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/values/ParamRecords.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/Types.h"

class CTextStyle;

// The colour with red, green and blue each raised by 70 (185 and more give 255), opaque.
CColour HighlightColour(CColour colour);
// Value kinds that faders and knobs follow: the numeric ones.
bool IsFollowedValueKind(ParamKind kind);
// A scale label: the value with 0, 1, 2 or 3 decimals by flag 0x100, 0x200, 0x400 or 0x800
// (empty with none), then "dB" for a gain or "ms" for a delay.
std::string FormatScaleLabel(std::uint32_t flags, float value, ParamKind kind);
// Clamps into [minimum, maximum]; a reversed range gives the minimum.
float ClampToRange(float value, float minimum, float maximum);
// Text in the style's font (the default font when it has none).
void DrawStyledText(Graphics& g, const std::string& text, CTextStyle& style, const CRectF& layout,
                    const CStringFormat& format, CColour colour);
// The measured box of such a text, cut to whole pixels.
CRect MeasureStyledText(Graphics& g, const std::string& text, CTextStyle& style, const CRectF& layout,
                        const CStringFormat& format);

// A string format from six consecutive flag bits starting at first: left, centre, right
// (tested in that order), then top, middle, bottom.
CStringFormat AlignedFormat(std::uint32_t flags, std::uint32_t first);
// A numeric value reported to a fader or knob, clamped into the range and stored in stored.
// False (nothing to redraw) for other kinds, and when neither the value nor the parameter's
// inactive flag changed.
bool TakeRangeValue(const CParamValue& value, float minimum, float maximum, bool inactiveChanged, float& stored);
// Clips the graphics to the area being repainted for as long as it lives, then gives it back
// the clip it had: the view's clip holds for every widget drawn after this one.
class CRepaintClip {
 public:
  CRepaintClip(Graphics& g, const CRect& paint) : m_g(g), m_given(g.SaveClip()) { g.SetClip(paint); }
  ~CRepaintClip() { m_g.RestoreClip(m_given); }
  CRepaintClip(const CRepaintClip&) = delete;
  CRepaintClip& operator=(const CRepaintClip&) = delete;

 private:
  Graphics& m_g;
  CClipState m_given;
};

// Part of a widget's drawing kept as an image, drawn again only when what it depends on (the
// key) changes. Shapes drawn at whole-pixel offsets cover the same pixels wherever they are
// drawn, so the image is made at the origin and copied to its place. A copy starts empty.
// Drawings larger than kMaxPixels are not kept: they are drawn in place every time.
class CDrawingCache {
 public:
  static constexpr std::int64_t kMaxPixels = 512 * 512;

  CDrawingCache() = default;
  CDrawingCache(const CDrawingCache&) {}
  CDrawingCache& operator=(const CDrawingCache&) {
    Clear();
    return *this;
  }
  // Copies the drawing to (x, y) on g; when the key or the size changed, draw first renders it
  // afresh on a transparent w x h image with the given smoothing (draw draws as if the image's
  // top-left corner were the origin). Nothing for an empty size.
  void Draw(Graphics& g, int x, int y, int w, int h, SmoothingMode smoothing, std::vector<std::uint32_t> key,
            const std::function<void(Graphics&)>& draw);
  void Clear() {
    m_image.reset();
    m_key.clear();
  }
  bool IsKept() const { return m_image != nullptr; }

 private:
  std::unique_ptr<CImage> m_image;
  std::vector<std::uint32_t> m_key;
};

// The extent of a widget's scale, measured on a scratch canvas (nothing is drawn).
template <class Widget>
CRect MeasureScale(const Widget& widget) {
  CImage scratch(1, 1);
  Graphics g(scratch);
  return const_cast<Widget&>(widget).DrawScale(g, false);
}
