// Drawing and value helpers the widget kinds share.
#pragma once

#include <cstdint>
#include <string>

#include "core/ParamRecords.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/Types.h"

class CTextStyle;

// The colour with red, green and blue each raised by 70 (185 and more give 255), opaque.
CColour HighlightColour(CColour colour);
// Value kinds that faders and knobs follow: the numeric ones.
bool IsFollowedValueKind(std::int32_t kind);
// A scale label: the value with 0, 1, 2 or 3 decimals by flag 0x100, 0x200, 0x400 or 0x800
// (empty with none), then "dB" for a gain or "ms" for a delay.
std::string FormatScaleLabel(std::uint32_t flags, float value, std::int32_t kind);
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
// The extent of a widget's scale, measured on a scratch canvas (nothing is drawn).
template <class Widget>
CRect MeasureScale(const Widget& widget) {
  CImage scratch(1, 1);
  Graphics g(scratch);
  return const_cast<Widget&>(widget).DrawScale(g, false);
}
