// The dynamic-EQ graph: a grid drawn once, a static layer (grid, full-range lines, handles)
// redrawn only when a band's full range changed, and the live fills drawn over it.
#include "panels/processor/TorvexSeriesDEQControl.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/processor/ResponseGrid.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"

namespace {

constexpr CColour kWhite{0xFFFFFFFFu};

bool IsCutMode(std::uint8_t mode) { return mode == 0 || mode == 2; }

}  // namespace

CTorvexSeriesDEQControl::CTorvexSeriesDEQControl(CControlPanelWnd* owner, const CRect& rect)
    : CControlObject(owner, kDeqGraphId, rect), m_fillPoints(kFillPoints), m_linePoints(kLinePoints) {
  m_labelStyle.Set("HandelGotDLig", 8.0f, kWhite);
  const int w = rect.Width(), h = rect.Height();
  m_plotLeft = 35;
  m_plotRight = w - 10;
  if (w < 45) {
    m_plotLeft = w - 10;
    m_plotRight = 35;
  }
  m_plotTop = 10;
  m_plotBottom = h - 20;
  if (h < 30) {
    m_plotTop = h - 20;
    m_plotBottom = 10;
  }
}

CTorvexSeriesDEQControl::~CTorvexSeriesDEQControl() { ClearCurves(); }

void CTorvexSeriesDEQControl::ClearCurves() {
  for (CDEQCurveData* band : m_bands) delete band;
  m_bands.clear();
}

int CTorvexSeriesDEQControl::SignedEffect(const NerexDeqBand& band) {
  const int effect = int(band.effect) + 6;
  return IsCutMode(band.mode) ? -effect : effect;
}

float CTorvexSeriesDEQControl::GetDynamicGain(const CDEQCurveData& data) {
  const NerexDeqBand& band = *data.pBand;
  const float L = float(data.level);
  const float T = float(44 - int(band.threshold)) / 2.0f;
  const float M = float(int(band.effect) + 6);
  const float R = std::pow(2.0f, float(band.ratio) / (band.mode == 0 ? 8.0f : 16.0f));
  float g = 0.0f;
  switch (band.mode) {
    case 0:
      if (L < T) return 0.0f;
      g = ((L - T) / R + T) - L;
      return g < -M ? -M : g;
    case 1:
      if (L < T) return 0.0f;
      g = ((L - T) * R + T) - L;
      return g > M ? M : g;
    case 2:
      if (L > T) return 0.0f;
      g = (T - (T - L) * R) - L;
      return g < -M ? -M : g;
    case 3:
      if (L > T) return 0.0f;
      g = (T - (T - L) / R) - L;
      return g > M ? M : g;
    default: return 0.0f;
  }
}

void CTorvexSeriesDEQControl::SetBandLevel(int band, int levelDb) {
  if (band < 0 || band >= int(m_bands.size())) return;
  CDEQCurveData& data = *m_bands[std::size_t(band)];
  if (data.pBand->ratio == 0) levelDb = 0;
  if (levelDb != data.level) {
    data.level = levelDb;
    data.currentStale = 1;
  }
}

bool CTorvexSeriesDEQControl::IsBandMasked(const CDEQCurveData& band) const {
  if (!m_pBandMasks || band.position < 0 || band.position > 2 || band.input < 0 || band.input > 7) return false;
  return (m_pBandMasks[band.position] >> band.input) & 1;
}

CRect CTorvexSeriesDEQControl::GetHandleRect(const CDEQCurveData& band) const {
  const int x = int(double(m_plotLeft) + (double(band.pBand->frequency) - 13.0) * PixelsPerStep());
  const int y = int(ZeroDbY() - double(SignedEffect(*band.pBand)) * PixelsPerDb());
  return CRect{x - 4, y - 4, x + 4, y + 4};
}

CDEQCurveData* CTorvexSeriesDEQControl::SelectedBand() const {
  if (m_selectedBand < 0 || m_selectedBand >= int(m_bands.size())) return nullptr;
  return m_bands[std::size_t(m_selectedBand)];
}

void CTorvexSeriesDEQControl::PointToValues(int x, int y, int& dB, int& index) const {
  const double ppd = PixelsPerDb(), ppf = PixelsPerStep();
  // Kept well inside int however far the pointer lies from the plot.
  auto whole = [](double v) { return int(std::clamp(v, -1.0e6, 1.0e6)); };
  dB = whole((double(m_rect.top + m_plotTop) + 18.0 * ppd - double(y)) / ppd);
  index = whole(double(x - m_rect.left - m_plotLeft) / ppf + 13.0);
}

// --- Drawing ---

void CTorvexSeriesDEQControl::DrawGrid() {
  const int w = m_rect.Width(), h = m_rect.Height();
  m_grid = std::make_unique<CImage>(w, h);
  m_static = std::make_unique<CImage>(w, h);
  Graphics g(*m_grid);
  g.SetTextRenderingHint(TextRenderingHint::AntiAlias);
  FillGraphBackground(g, w, h);
  const CFont* font = m_labelStyle.GetFont();
  DrawFrequencyGrid(g, GetPlotRect(), font);
  // Lines every 3 dB, labelled at the even ones (every 6 dB).
  DrawLevelGrid(g, GetPlotRect(), 18, -18, 3, 2, font);
}

void CTorvexSeriesDEQControl::RenderStaticLayer() {
  bool stale = false;
  for (CDEQCurveData* band : m_bands) {
    if (!band->fullRangeStale) continue;
    const NerexDeqBand& r = *band->pBand;
    ComputeSectionCurve(band->points, 0, GetFilterTypeCode(r), r.q, r.frequency, float(SignedEffect(r)), r.bypass);
    band->fullRangeStale = 0;
    stale = true;
  }
  if (!stale) return;
  Graphics g(*m_static);
  g.SetCompositingMode(CompositingMode::SourceCopy);
  g.DrawImage(*m_grid, 0.0f, 0.0f);
  g.SetCompositingMode(CompositingMode::SourceOver);
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  const double ppd = PixelsPerDb(), ppf = PixelsPerStep(), y0 = ZeroDbY();
  for (std::size_t b = 0; b < m_bands.size() && b < 3; ++b) {
    const auto& points = m_bands[b]->points;
    for (int k = 0; k < kLinePoints; ++k) {
      const double v = std::clamp(points[std::size_t(k)][0], -18.0, 18.0);
      m_linePoints[std::size_t(k)] = CPointF{float(double(m_plotLeft) + k * ppf), float(y0 - v * ppd)};
    }
    const bool selected = int(b) == m_selectedBand;
    g.DrawLines(selected ? CPen(CColour{0xC802FF00u}, 3.0f) : CPen(CColour{0xFFAFCDFFu}, 2.0f, PenAlignment::Center),
                m_linePoints);
  }
  DrawBandHandles(g);
}

void CTorvexSeriesDEQControl::DrawBandHandles(Graphics& g) {
  const CFont* font = m_labelStyle.GetFont();
  for (std::size_t b = 0; b < m_bands.size(); ++b) {
    const CDEQCurveData& band = *m_bands[b];
    if (IsBandMasked(band)) continue;
    const CRect r = GetHandleRect(band);
    const CRectF circle = CRectF::FromRect(r);
    if (int(b) == m_selectedBand) g.FillEllipse(CBrush(CColour{~0x00FF00FFu}), circle);
    g.DrawEllipse(CPen(kWhite, 1.0f), circle);
    if (!font) continue;
    const float cx = float(r.left + 4);
    const float top = IsCutMode(band.pBand->mode) ? float(r.bottom + 7) : float(r.top - 14);
    g.DrawString(std::to_string(int(b) + 1), *font, CRectF{cx, top, 0.0f, 0.0f}, CStringFormat(StringAlignment::Center),
                 CBrush(kWhite));
  }
}

void CTorvexSeriesDEQControl::DrawDynamicFills(CRect& out, Graphics& g, bool copy) {
  out = CRect{m_rect.left + m_plotLeft, m_rect.top + m_plotTop, m_rect.left + m_plotRight,
              m_rect.top + m_plotBottom};
  for (CDEQCurveData* band : m_bands) {
    if (!band->currentStale) continue;
    const NerexDeqBand& r = *band->pBand;
    ComputeSectionCurve(band->points, 1, GetFilterTypeCode(r), r.q, r.frequency, GetDynamicGain(*band), r.bypass);
    band->currentStale = 0;
  }
  const SmoothingMode previous = g.GetSmoothingMode();
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  if (copy && m_static) {
    const CRectF source{float(m_plotLeft), float(m_plotTop), float(m_plotRight - m_plotLeft),
                        float(m_plotBottom - m_plotTop)};
    g.DrawImage(*m_static, CRectF::FromRect(out), source);
  }
  const double ppd = PixelsPerDb(), ppf = PixelsPerStep();
  const double y0 = double(m_rect.top) + ZeroDbY();
  const double left = double(m_rect.left + m_plotLeft);
  for (std::size_t b = 0; b < m_bands.size() && b < 3; ++b) {
    const CDEQCurveData& band = *m_bands[b];
    if (band.pBand->ratio == 0) continue;
    m_fillPoints[0] = CPointF{float(left), float(y0)};
    for (int k = 0; k < kLinePoints; ++k) {
      const double v = std::clamp(band.points[std::size_t(k)][1], -18.0, 18.0);
      m_fillPoints[std::size_t(k) + 1] = CPointF{float(left + k * ppf), float(y0 - v * ppd)};
    }
    m_fillPoints[kFillPoints - 1] = CPointF{float(m_rect.left + m_plotRight), float(y0)};
    const double range = double(int(band.pBand->effect) + 6) * ppd;
    CBrush brush = CBrush::LinearGradient(CPointF{0.0f, float(std::lround(y0 - range))},
                                          CPointF{0.0f, float(std::lround(y0 + range))}, CColour{0x80FF0000u},
                                          CColour{0x80FF0000u});
    brush.SetInterpolationColours({{0.0f, CColour{0x80FF0000u}},
                                   {0.3f, CColour{0x80FFFF00u}},
                                   {0.5f, CColour{0x80008000u}},
                                   {0.7f, CColour{0x80FFFF00u}},
                                   {1.0f, CColour{0x80FF0000u}}});
    brush.SetWrapMode(WrapMode::Clamp);
    g.FillPolygon(brush, m_fillPoints, FillMode::Alternate);
  }
  g.SetSmoothingMode(previous);
}

void CTorvexSeriesDEQControl::Draw(Graphics& g, const CRect& clip) {
  if (!m_visible) return;
  if (!m_grid) DrawGrid();
  const CClipState saved = g.SaveClip();
  g.SetClip(clip);
  RenderStaticLayer();
  const CRect area{std::max(clip.left, m_rect.left), std::max(clip.top, m_rect.top), std::min(clip.right, m_rect.right),
                   std::min(clip.bottom, m_rect.bottom)};
  if (!IsRectEmpty(area)) {
    const CRectF source{float(area.left - m_rect.left), float(area.top - m_rect.top), float(area.Width()),
                        float(area.Height())};
    g.DrawImage(*m_static, CRectF::FromRect(area), source);
  }
  CRect fills;
  DrawDynamicFills(fills, g, false);
  g.RestoreClip(saved);
}

// --- Mouse ---

void CTorvexSeriesDEQControl::SendEffect(const CDEQCurveData& band, int effectDb) const {
  if (effectDb != int(band.pBand->effect) + 6 && band.ids.effectId != 0)
    SendValue(CParamValue(std::int32_t(band.ids.effectId), float(effectDb), ParamKind::kLevel));
}

void CTorvexSeriesDEQControl::SendFrequency(const CDEQCurveData& band, int index) const {
  std::int32_t lo = 0, hi = 0;
  GetRangeLimits(kRangeFrequency, GetFilterTypeCode(*band.pBand), lo, hi);
  index = std::clamp(index, int(lo), int(hi));
  if (index != int(band.pBand->frequency) && band.ids.frequencyId != 0)
    SendValue(CParamValue(std::int32_t(band.ids.frequencyId), IndexToFreq(index), ParamKind::kFrequency));
}

bool CTorvexSeriesDEQControl::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y,
                                             CRect& redraw) {
  redraw = CRect{};
  switch (message) {
    case WM_LBUTTONDOWN: {
      const CPoint local{x - m_rect.left, y - m_rect.top};
      for (std::size_t b = 0; b < m_bands.size(); ++b) {
        if (IsBandMasked(*m_bands[b]) || !GetHandleRect(*m_bands[b]).Contains(local)) continue;
        m_selectedBand = int(b);
        m_pressed = 1;
        m_effectDrag = m_frequencyDrag = 0;
        m_bands[b]->fullRangeStale = 1;  // the selected line is drawn thicker
        redraw = m_rect;
        return true;
      }
      CDEQCurveData* selected = SelectedBand();
      if (!selected) return true;
      const CRect handle = GetHandleRect(*selected);
      const int grabX = m_rect.left + handle.left + 4 - x, grabY = m_rect.top + handle.top + 4 - y;
      if (CRect{m_rect.left, m_rect.top, m_rect.left + m_plotLeft, m_rect.bottom}.Contains(CPoint{x, y})) {
        m_pressed = m_effectDrag = 1;
        m_grabX = grabX;
        m_grabY = grabY;
      } else if (CRect{m_rect.left, m_rect.top + m_plotBottom, m_rect.right, m_rect.bottom}.Contains(CPoint{x, y})) {
        m_pressed = m_frequencyDrag = 1;
        m_grabX = grabX;
        m_grabY = grabY;
      }
      return true;
    }
    case WM_LBUTTONUP:
      m_pressed = m_effectDrag = m_frequencyDrag = 0;
      return true;
    case WM_MOUSEMOVE: {
      if (!m_pressed) return true;
      CDEQCurveData* band = SelectedBand();
      if (!band) return true;
      int dB = 0, index = 0;
      if (m_effectDrag) {
        PointToValues(x + m_grabX, y + m_grabY, dB, index);
        SendEffect(*band, std::clamp(std::abs(dB), 6, 18));
      } else if (m_frequencyDrag) {
        PointToValues(x + m_grabX, y + m_grabY, dB, index);
        SendFrequency(*band, index);
      } else {
        const bool inside = x >= m_rect.left + m_plotLeft - 5 && x <= m_rect.left + m_plotRight + 5 &&
                            y >= m_rect.top + m_plotTop - 5 && y <= m_rect.top + m_plotBottom + 5;
        if (!inside) {
          m_pressed = 0;
          return true;
        }
        PointToValues(x, y, dB, index);
        int effect = 0;
        if (IsCutMode(band->pBand->mode)) effect = dB > 0 ? 6 : std::clamp(-dB, 6, 18);
        else effect = std::clamp(dB, 6, 18);
        SendEffect(*band, effect);
        // The effect's change may have rebuilt the band list; look the band up again.
        band = SelectedBand();
        if (band) SendFrequency(*band, index);
      }
      return true;
    }
    case WM_MOUSEWHEEL: {
      CDEQCurveData* band = SelectedBand();
      if (!m_pressed || !band || band->ids.qId == 0 || !m_owner) return true;
      const int notches = int(std::int16_t(flags & 0xFFFF)) / WHEEL_DELTA;
      const CParamValue current = m_owner->GetCurrentValue(std::int32_t(band->ids.qId));
      SendValue(CParamValue(std::int32_t(band->ids.qId), IndexToQ(QToIndex(current.value) - notches),
                            ParamKind::kQ));
      return true;
    }
    default: return false;
  }
}
