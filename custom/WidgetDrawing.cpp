// Drawing and value helpers the widget kinds share.
#include "custom/WidgetDrawing.h"

#include <cmath>
#include <cstdio>

#include "core/draw/TextStyle.h"
#include "platform/TextFormat.h"

CColour HighlightColour(CColour colour) {
  auto raise = [](std::uint32_t c) { return std::uint8_t(c >= 185 ? 255 : c + 70); };
  return CColour::FromArgb(255, raise((colour.argb >> 16) & 0xFF), raise((colour.argb >> 8) & 0xFF),
                           raise(colour.argb & 0xFF));
}

bool IsFollowedValueKind(ParamKind kind) {
  switch (kind) {
    case ParamKind::kLevel:
    case ParamKind::kFrequency:
    case ParamKind::kQ:
    case ParamKind::kDelay:
    case ParamKind::kPhase:
    case ParamKind::kRatio:
    case ParamKind::kTime: return true;
    default: return false;
  }
}

std::string FormatScaleLabel(std::uint32_t flags, float value, ParamKind kind) {
  const char* format = nullptr;
  if (flags & 0x100) format = "%.0f";
  else if (flags & 0x200) format = "%.1f";
  else if (flags & 0x400) format = "%.2f";
  else if (flags & 0x800) format = "%.3f";
  std::string text;
  if (format) text = FormatText(format, double(value));
  if (kind == ParamKind::kLevel) text += "dB";
  else if (kind == ParamKind::kDelay) text += "ms";
  return text;
}

float ClampToRange(float value, float minimum, float maximum) {
  if (value > maximum) value = maximum;
  if (value < minimum) value = minimum;
  return value;
}

void DrawStyledText(Graphics& g, const std::string& text, CTextStyle& style, const CRectF& layout,
                    const CStringFormat& format, CColour colour) {
  const CFont* font = style.GetFont();
  g.DrawString(text, font ? *font : CFont{}, layout, format, CBrush(colour));
}

CRect MeasureStyledText(Graphics& g, const std::string& text, CTextStyle& style, const CRectF& layout,
                        const CStringFormat& format) {
  const CFont* font = style.GetFont();
  const CRectF box = g.MeasureString(text, font ? *font : CFont{}, layout, format);
  return CRect{int(box.x), int(box.y), int(box.Right()), int(box.Bottom())};
}

CStringFormat AlignedFormat(std::uint32_t flags, std::uint32_t first) {
  CStringFormat format;
  if (flags & first) format.alignment = StringAlignment::Near;
  else if (flags & (first << 1)) format.alignment = StringAlignment::Center;
  else if (flags & (first << 2)) format.alignment = StringAlignment::Far;
  if (flags & (first << 3)) format.lineAlignment = StringAlignment::Near;
  else if (flags & (first << 4)) format.lineAlignment = StringAlignment::Center;
  else if (flags & (first << 5)) format.lineAlignment = StringAlignment::Far;
  return format;
}

bool TakeRangeValue(const CParamValue& value, float minimum, float maximum, bool inactiveChanged, float& stored) {
  if (!IsFollowedValueKind(value.kind)) return false;
  const float clamped = ClampToRange(value.value, minimum, maximum);
  if (clamped == stored && !inactiveChanged) return false;
  stored = clamped;
  return true;
}

void CDrawingCache::Draw(Graphics& g, int x, int y, int w, int h, SmoothingMode smoothing,
                         std::vector<std::uint32_t> key, const std::function<void(Graphics&)>& draw) {
  if (w <= 0 || h <= 0) return;
  if (std::int64_t(w) * h > kMaxPixels) {
    Clear();
    const CGraphicsState saved = g.Save();
    g.TranslateTransform(float(x), float(y));
    g.SetSmoothingMode(smoothing);
    draw(g);
    g.Restore(saved);
    return;
  }
  key.insert(key.end(), {std::uint32_t(w), std::uint32_t(h), std::uint32_t(smoothing)});
  if (!m_image || key != m_key) {
    m_image = std::make_unique<CImage>(w, h);
    Graphics cache(*m_image);
    cache.SetSmoothingMode(smoothing);
    draw(cache);
    m_key = std::move(key);
  }
  g.DrawImage(*m_image, float(x), float(y));
}
