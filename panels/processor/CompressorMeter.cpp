// Transfer-curve graph: the curve is rendered with its grid into a back buffer when a
// parameter changes; the meter timer then only repaints the fill between two levels.
#include "panels/processor/CompressorMeter.h"

#include <algorithm>

#include "core/draw/BitmapImage.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Image.h"

namespace {

bool IsPresent(const CParamValue& v) {
  return !(v.id == 0 && v.kind == ParamKind::kNone && v.text.empty() && v.value == 0.0f && v.integer == 0 &&
           v.flag == 0);
}

const CPen& CurvePen() {
  static const CPen pen(CColour{0xFFAFCDFFu}, 2.0f, PenAlignment::Center);
  return pen;
}

}  // namespace

CCompressorMeter::CCompressorMeter(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect)
    : CControlObject(owner, id, rect), m_pImage(image) {
  SetNeededRights(0);
}

CCompressorMeter::~CCompressorMeter() = default;

float CCompressorMeter::EvaluateCurve(std::int32_t input) const {
  const float x = float(input), T = m_threshold, R = m_ratio, K = m_knee, M = m_maxGain;
  if (m_kneePresent) {
    const float S = 1.0f - 1.0f / R;
    if (x <= T - K) return x;
    if (x < T + K) return x - (x - (T - K)) * (x - (T - K)) * S / (4.0f * K);
    return x - (x - T) * S;
  }
  const int mode = m_modePresent ? m_mode : 0;
  switch (mode) {
    case 0: {
      if (x < T) return x;
      const float y = (x - T) / R + T;
      return x - y > M ? x - M : y;
    }
    case 1: {
      if (x < T) return x;
      const float y = (x - T) * R + T;
      return y - x > M ? x + M : y;
    }
    case 2: {
      if (x > T) return x;
      const float y = T - (T - x) * R;
      return x - y > M ? x - M : y;
    }
    case 3: {
      if (x > T) return x;
      const float y = T - (T - x) / R;
      return y - x > M ? x + M : y;
    }
    default: return 0.0f;
  }
}

CRect CCompressorMeter::UpdateFromParameter(const CParamValue& value) {
  (void)value;
  if (!m_owner) return CRect{};
  auto read = [this](std::int32_t id) { return m_owner->GetCurrentValue(id); };
  bool changed = false;
  if (const CParamValue v = read(m_thresholdId); IsPresent(v) && v.value != m_threshold) {
    m_threshold = v.value;
    changed = true;
  }
  if (const CParamValue v = read(m_ratioId); IsPresent(v) && v.value != m_ratio) {
    m_ratio = v.value;
    changed = true;
  }
  const CParamValue knee = read(m_kneeId);
  m_kneePresent = IsPresent(knee);
  if (m_kneePresent && knee.value != m_knee) {
    m_knee = knee.value;
    changed = true;
  }
  const CParamValue maxGain = read(m_maxGainId);
  m_maxGainPresent = IsPresent(maxGain);
  if (m_maxGainPresent && maxGain.value != m_maxGain) {
    m_maxGain = maxGain.value;
    changed = true;
  }
  const CParamValue mode = read(m_modeId);
  m_modePresent = IsPresent(mode);
  if (m_modePresent && std::uint8_t(mode.integer & 0xFF) != m_mode) {
    m_mode = std::uint8_t(mode.integer & 0xFF);
    changed = true;
  }
  if (!changed) return CRect{};
  RenderCurve();
  return m_rect;
}

void CCompressorMeter::GetGradientPositions(float& p1, float& p2, float& p3) const {
  const float n = float(Steps()), lo = float(m_minimum);
  p1 = std::min(1.0f - ((m_threshold + m_knee + 2.0f) - lo) / n, 0.97f);
  p2 = std::min(1.0f - (m_threshold - lo) / n, 0.98f);
  p3 = std::min(1.0f - ((m_threshold - m_knee - 2.0f) - lo) / n, 0.99f);
}

void CCompressorMeter::RenderCurve() {
  const int w = m_rect.Width(), h = m_rect.Height(), n = Steps();
  m_back = std::make_unique<CImage>(w, h);
  Graphics g(*m_back);
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  const float sx = float(w) / float(n);
  m_curve.assign(std::size_t(n) + 1, CPointF{});
  for (int i = 0; i <= n; ++i)
    m_curve[std::size_t(i)] =
        CPointF{float(i) * sx, float(h) - sx * (EvaluateCurve(m_minimum + i) - float(m_minimum))};
  m_fill.assign(std::size_t(n) + 4, CPointF{});

  const bool below = m_modePresent && (m_mode == 2 || m_mode == 3);
  const CColour top{below ? 0x80008000u : 0x80FF0000u};
  const CColour bottom{below ? 0x80FF0000u : 0x80008000u};
  const CColour middle{0x80FFFF00u};
  float p1 = 0, p2 = 0, p3 = 0;
  GetGradientPositions(p1, p2, p3);
  m_gradedBrush = CBrush::LinearGradient(CPointF{float(m_rect.left), float(m_rect.top)},
                                         CPointF{float(m_rect.left), float(m_rect.bottom)}, top, bottom);
  // Stops must ascend; a threshold near an axis end can push them together.
  p2 = std::max(p2, p1);
  p3 = std::max(p3, p2);
  m_gradedBrush.SetInterpolationColours({{0.0f, top}, {std::max(p1, 0.0f), top}, {std::max(p2, 0.0f), middle},
                                         {std::max(p3, 0.0f), bottom}, {1.0f, bottom}});

  if (m_pImage && m_pImage->GetImage()) {
    const CRectF part{0.0f, 0.0f, float(std::min(w, m_pImage->GetWidth())), float(std::min(h, m_pImage->GetHeight()))};
    g.DrawImage(*m_pImage->GetImage(), part, part);
  }
  g.DrawLines(CurvePen(), m_curve);
}

void CCompressorMeter::DrawLevel(CRect& out, Graphics& g, bool full) {
  out = CRect{};
  if (!m_back || !m_visible) return;
  m_level = std::clamp(m_level, m_minimum, m_maximum);
  if (m_level == m_lastLevel && !full) return;
  const CClipState saved = g.SaveClip();
  g.SetClip(m_rect);

  const int n = m_level - m_minimum;
  const float left = float(m_rect.left), top = float(m_rect.top), right = float(m_rect.right),
              bottom = float(m_rect.bottom);
  auto curve = [&](int i) { return CPointF{left + m_curve[std::size_t(i)].x, top + m_curve[std::size_t(i)].y}; };
  const bool atMinimum = m_level == m_minimum;
  std::vector<CPointF> fill(std::size_t(n) + 4);
  for (int i = 0; i <= n; ++i) fill[std::size_t(i) + 1] = curve(i);
  fill[std::size_t(n) + 2] = CPointF{right, fill[std::size_t(n) + 1].y};
  fill[0] = CPointF{left, atMinimum ? fill[1].y : bottom};
  fill[std::size_t(n) + 3] = CPointF{right, atMinimum ? fill[1].y : bottom};
  std::copy(fill.begin(), fill.end(), m_fill.begin());

  CRect area = m_rect;
  if (!full) {
    const int oldN = std::clamp(m_lastLevel, m_minimum, m_maximum) - m_minimum;
    const CPointF a = curve(std::min(oldN, n)), b = curve(std::max(oldN, n));
    const float high = std::min(a.y, b.y), low = std::max(a.y, b.y);
    area = CRect{int(a.x) - 2, int(high) - 2, m_rect.right, int(low) + 3};
    if (atMinimum || m_lastLevel <= m_minimum) area.bottom = m_rect.bottom;
    area.left = std::max(area.left, m_rect.left);
    area.top = std::max(area.top, m_rect.top);
    area.bottom = std::min(area.bottom, m_rect.bottom);
  }

  g.DrawImage(*m_back, CRectF::FromRect(m_rect));
  const SmoothingMode previous = g.GetSmoothingMode();
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  g.FillPolygon(m_ratio > 1.01f ? m_gradedBrush : CBrush(CColour{0x80008000u}), fill, FillMode::Alternate);
  g.SetSmoothingMode(previous);
  g.RestoreClip(saved);
  m_lastLevel = m_level;
  out = area;
}

void CCompressorMeter::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  if (!m_visible) return;
  CRect out;
  DrawLevel(out, g, true);
}
