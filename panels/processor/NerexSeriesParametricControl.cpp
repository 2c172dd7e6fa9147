// EQ response graph: sections recomputed only while stale, the sum after any of them moved;
// the grid is drawn once per size and scale.
#include "panels/processor/NerexSeriesParametricControl.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/values/ValueCodes.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/processor/ResponseGrid.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"

namespace {

constexpr CColour kWhite{0xFFFFFFFFu};
constexpr CColour kSectionLine{0xA0AFCDFFu};
constexpr CColour kSelectedLine{0xFF02FF00u};
constexpr CColour kSumLine{0xFFFFC83Cu};
constexpr CColour kSumFill{0x38FFC83Cu};
constexpr CColour kHandleFill{0xFF1E1E2Au};
constexpr CColour kSelectedHandle{0xFF00FF00u};
constexpr CColour kBypassedHandle{0xFF808080u};
constexpr int kHandleRadius = 6;
constexpr int kGeqHandleRadius = 4;

int TypeOf(const NerexEqBand& band) { return band.type & 0x7F; }
bool IsCrossover(const NerexEqBand& band) {
  return TypeOf(band) == kSectionCrossoverHighPass || TypeOf(band) == kSectionCrossoverLowPass;
}
bool HasGain(int type) { return type == kSectionPeaking || type == kSectionLowShelf || type == kSectionHighShelf; }

// Frequency code of a graphic-EQ band's centre.
double GeqBandCode(int band) { return 36.0 * std::log2(GeqBandCentreHertz(band) / 7.8125); }

}  // namespace

bool MakeEqSection(const NerexEqBand& band, CEqSection& section) {
  const int type = TypeOf(band);
  section = CEqSection{};
  section.type = type;
  section.frequency = CodeToHertz(double(band.frequency));
  if (type == kSectionCrossoverHighPass || type == kSectionCrossoverLowPass) {
    section.alignment = band.q;
    return true;
  }
  if (band.type & 0x80) return false;
  if (type == kSectionPhase) section.q = 2.0 * double(band.q);  // degrees
  else section.q = QCodeToQ(double(band.q));
  if (HasGain(type)) section.gainDb = double(band.gain) / 10.0;
  return true;
}

CNerexSeriesParametricControl::CNerexSeriesParametricControl(CControlPanelWnd* owner, int id, const CRect& rect)
    : CControlObject(owner, id, rect), m_line(kCurvePoints) {
  m_labelStyle.Set("HandelGotDLig", 8.0f, kWhite);
  ClearCurvePoints(m_sum);
}

CNerexSeriesParametricControl::~CNerexSeriesParametricControl() { ClearSections(); }

void CNerexSeriesParametricControl::ClearSections() {
  for (CCurveData* section : m_sections) delete section;
  m_sections.clear();
  m_layerStale = true;
}

void CNerexSeriesParametricControl::MarkStale(int section) {
  for (int i = 0; i < int(m_sections.size()); ++i)
    if (section < 0 || i == section) m_sections[std::size_t(i)]->stale = 1;
}

bool CNerexSeriesParametricControl::IsSectionTaken(int section) const {
  if (m_graphicEqMode || section < 5 || section > 8 || section >= int(m_sections.size())) return false;
  const NerexEqBand* own = m_sections[std::size_t(section)]->pBand;
  if (own && IsCrossover(*own)) return false;
  for (const CCurveData* data : m_sections) {
    if (!data->pBand || !IsCrossover(*data->pBand) || !IsCrossover48dB(data->pBand->q)) continue;
    const bool highPass = TypeOf(*data->pBand) == kSectionCrossoverHighPass;
    if (highPass ? (section == 5 || section == 6) : (section == 7 || section == 8)) return true;
  }
  return false;
}

void CNerexSeriesParametricControl::ComputeSection(int index) {
  CCurveData& data = *m_sections[std::size_t(index)];
  if (m_graphicEqMode) {
    if (!m_pGeqGains || index >= kGeqBandCount || (m_pGeqBypass && *m_pGeqBypass != 0)) {
      ClearCurvePoints(data.points);
      return;
    }
    const int shape = m_pGeqShape ? int(*m_pGeqShape) : int(kGeqShapeProportionalQ);
    ComputeSectionPoints(GeqBandSection(index, double(m_pGeqGains[index]) / 10.0, shape), data.points);
    return;
  }
  CEqSection section;
  if (!data.pBand || IsSectionTaken(index) || !MakeEqSection(*data.pBand, section)) {
    ClearCurvePoints(data.points);
    return;
  }
  ComputeSectionPoints(section, data.points);
}

int CNerexSeriesParametricControl::RecomputeStale() {
  // A crossover's alignment decides whether bands 5 to 8 are its own.
  for (const CCurveData* data : m_sections)
    if (data->stale && data->pBand && IsCrossover(*data->pBand))
      for (int b = 5; b <= 8 && b < int(m_sections.size()); ++b) m_sections[std::size_t(b)]->stale = 1;
  int count = 0;
  for (int i = 0; i < int(m_sections.size()); ++i) {
    if (!m_sections[std::size_t(i)]->stale) continue;
    ComputeSection(i);
    m_sections[std::size_t(i)]->stale = 0;
    if (i != m_selectedBand) m_layerStale = true;
    ++count;
  }
  if (count > 0) {
    ClearCurvePoints(m_sum);
    for (const CCurveData* data : m_sections) AddCurvePoints(data->points, m_sum);
  }
  return count;
}

// --- Scale ---

CRect CNerexSeriesParametricControl::GetPlotRect() const {
  return CRect{m_rect.left + 35, m_rect.top + 10, m_rect.right - 10, m_rect.bottom - 20};
}

double CNerexSeriesParametricControl::PixelsPerDb() const {
  return double(GetPlotRect().Height()) / double(GetHighestDb() - GetLowestDb());
}

double CNerexSeriesParametricControl::DbToY(double dB) const {
  return double(GetPlotRect().top) + (double(GetHighestDb()) - dB) * PixelsPerDb();
}

double CNerexSeriesParametricControl::YToDb(int y) const {
  return double(GetHighestDb()) - (double(y) - double(GetPlotRect().top)) / PixelsPerDb();
}

int CNerexSeriesParametricControl::XToCode(int x) const {
  const CRect plot = GetPlotRect();
  return int(double(x - plot.left) * 419.0 / double(plot.Width()) + 13.0);
}

CRect CNerexSeriesParametricControl::GetHandleRect(int section) const {
  if (section < 0 || section >= int(m_sections.size())) return CRect{};
  const CRect plot = GetPlotRect();
  if (m_graphicEqMode) {
    if (!m_pGeqGains || section >= kGeqBandCount) return CRect{};
    const int x = int(FrequencyCodeToX(plot, GeqBandCode(section)));
    const double dB = std::clamp(double(m_pGeqGains[section]) / 10.0, double(GetLowestDb()), double(GetHighestDb()));
    const int y = int(DbToY(dB));
    return CRect{x - kGeqHandleRadius, y - kGeqHandleRadius, x + kGeqHandleRadius, y + kGeqHandleRadius};
  }
  const NerexEqBand* band = m_sections[std::size_t(section)]->pBand;
  if (!band || IsSectionTaken(section)) return CRect{};
  const double code = std::clamp(double(band->frequency), 13.0, 432.0);
  const double dB = HasGain(TypeOf(*band)) ? double(band->gain) / 10.0 : 0.0;
  const int x = int(FrequencyCodeToX(plot, code));
  const int y = int(DbToY(std::clamp(dB, double(GetLowestDb()), double(GetHighestDb()))));
  return CRect{x - kHandleRadius, y - kHandleRadius, x + kHandleRadius, y + kHandleRadius};
}

// --- Drawing ---

void CNerexSeriesParametricControl::DrawGrid() {
  m_grid = std::make_unique<CImage>(m_rect.Width(), m_rect.Height());
  m_gridForGeq = m_graphicEqMode;
  m_layerStale = true;
  Graphics g(*m_grid);
  g.SetTextRenderingHint(TextRenderingHint::AntiAlias);
  FillGraphBackground(g, m_rect.Width(), m_rect.Height());
  const CRect plot = GetPlotRect();
  const CRect local{plot.left - m_rect.left, plot.top - m_rect.top, plot.right - m_rect.left, plot.bottom - m_rect.top};
  const CFont* font = m_labelStyle.GetFont();
  DrawFrequencyGrid(g, local, font);
  DrawLevelGrid(g, local, GetHighestDb(), GetLowestDb(), m_graphicEqMode ? 3 : 6, 6, font);
}

void CNerexSeriesParametricControl::DrawHandles(Graphics& g) {
  const CFont* font = m_labelStyle.GetFont();
  std::vector<CRect> rects;
  for (int i = 0; i < int(m_sections.size()); ++i) rects.push_back(GetHandleRect(i));
  // Last to first, so that where handles coincide (unused bands keep one place) the band a
  // press picks lies on top and alone shows its label.
  for (int i = int(m_sections.size()) - 1; i >= 0; --i) {
    const CRect r = rects[std::size_t(i)];
    if (IsRectEmpty(r)) continue;
    const bool covered = std::find(rects.begin(), rects.begin() + i, r) != rects.begin() + i;
    const CRectF circle = CRectF::FromRect(r);
    const bool selected = i == m_selectedBand;
    const NerexEqBand* band = m_sections[std::size_t(i)]->pBand;
    const bool bypassed = band && !IsCrossover(*band) && (band->type & 0x80);
    g.FillEllipse(CBrush(selected ? kSelectedHandle : kHandleFill), circle);
    g.DrawEllipse(CPen(bypassed ? kBypassedHandle : kWhite, 1.0f), circle);
    if (m_graphicEqMode || !font || covered) continue;
    std::string label = std::to_string(i + 1);
    if (band && TypeOf(*band) == kSectionCrossoverHighPass) label = "HP";
    else if (band && TypeOf(*band) == kSectionCrossoverLowPass) label = "LP";
    g.DrawString(label, *font, CRectF{float(r.left + r.right) / 2.0f, float(r.top - 14), 0.0f, 0.0f},
                 CStringFormat(StringAlignment::Center), CBrush(bypassed ? kBypassedHandle : kWhite));
  }
  // The selected handle stays visible over the ones that share its place.
  if (m_selectedBand >= 0 && m_selectedBand < int(rects.size()) && !IsRectEmpty(rects[std::size_t(m_selectedBand)])) {
    const CRectF circle = CRectF::FromRect(rects[std::size_t(m_selectedBand)]);
    g.FillEllipse(CBrush(kSelectedHandle), circle);
    g.DrawEllipse(CPen(kWhite, 1.0f), circle);
  }
}

void CNerexSeriesParametricControl::TraceLine(const CCurvePoints& points, float dx, float dy) {
  const CRect plot = GetPlotRect();
  const float xScale = float(plot.Width()) / 419.0f;
  const float low = float(GetLowestDb()) - 2.0f, high = float(GetHighestDb()) + 2.0f;
  for (int k = 0; k < kCurvePoints; ++k)
    m_line[std::size_t(k)] = CPointF{float(plot.left) + float(k) * xScale + dx,
                                     float(DbToY(std::clamp(float(points[std::size_t(k)].dB), low, high))) + dy};
}

void CNerexSeriesParametricControl::DrawLayer() {
  if (!m_layer || m_layer->Width() != m_grid->Width() || m_layer->Height() != m_grid->Height())
    m_layer = std::make_unique<CImage>(m_grid->Width(), m_grid->Height());
  Graphics g(*m_layer);
  g.SetCompositingMode(CompositingMode::SourceCopy);
  g.DrawImage(*m_grid, 0.0f, 0.0f);
  g.SetCompositingMode(CompositingMode::SourceOver);
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  const CRect plot = GetPlotRect();
  const float dx = -float(m_rect.left), dy = -float(m_rect.top);
  g.IntersectClip(CRectF{float(plot.left) + dx, float(plot.top) + dy, float(plot.Width() + 1), float(plot.Height() + 1)});
  for (int i = 0; i < int(m_sections.size()); ++i) {
    if (i == m_selectedBand || IsSectionTaken(i)) continue;
    TraceLine(m_sections[std::size_t(i)]->points, dx, dy);
    g.DrawLines(CPen(kSectionLine, 1.0f), m_line);
  }
  m_layerStale = false;
  m_layerSelection = m_selectedBand;
}

void CNerexSeriesParametricControl::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  if (!m_visible) return;
  if (!m_grid || m_grid->Width() != m_rect.Width() || m_grid->Height() != m_rect.Height() ||
      m_gridForGeq != m_graphicEqMode)
    DrawGrid();
  RecomputeStale();
  if (m_layerStale || m_layerSelection != m_selectedBand) DrawLayer();
  const CClipState saved = g.SaveClip();
  g.IntersectClip(CRectF::FromRect(m_rect));
  g.DrawImage(*m_layer, float(m_rect.left), float(m_rect.top));

  const CRect plot = GetPlotRect();
  const SmoothingMode previous = g.GetSmoothingMode();
  g.SetSmoothingMode(SmoothingMode::HighQuality);
  const CClipState widgetClip = g.SaveClip();
  g.IntersectClip(CRectF{float(plot.left), float(plot.top), float(plot.Width() + 1), float(plot.Height() + 1)});
  // The sum, filled towards the 0 dB line, then the selected section over it.
  TraceLine(m_sum, 0.0f, 0.0f);
  std::vector<CPointF> fill(m_line);
  const float y0 = float(DbToY(0.0));
  fill.push_back(CPointF{m_line.back().x, y0});
  fill.push_back(CPointF{m_line.front().x, y0});
  g.FillPolygon(CBrush(kSumFill), fill, FillMode::Alternate);
  g.DrawLines(CPen(kSumLine, 2.0f), m_line);
  if (m_selectedBand >= 0 && m_selectedBand < int(m_sections.size()) && !IsSectionTaken(m_selectedBand)) {
    TraceLine(m_sections[std::size_t(m_selectedBand)]->points, 0.0f, 0.0f);
    g.DrawLines(CPen(kSelectedLine, 2.0f), m_line);
  }
  g.RestoreClip(widgetClip);
  DrawHandles(g);
  g.SetSmoothingMode(previous);
  g.RestoreClip(saved);
}

// --- Mouse ---

void CNerexSeriesParametricControl::DragBand(int x, int y) {
  const NerexEqBand* band = m_sections[std::size_t(m_selectedBand)]->pBand;
  if (!band) return;
  NerexEqBandIds ids = m_sections[std::size_t(m_selectedBand)]->ids;
  const int type = TypeOf(*band);
  std::int32_t lo = 0, hi = 0;
  if (HasGain(type) && ids.gainId != 0) {
    GetRangeLimits(kRangeGain, type, lo, hi);
    const int tenths = std::clamp(int(std::lround(YToDb(y) * 10.0)), int(lo), int(hi));
    if (tenths != band->gain)
      SendValue(CParamValue(std::int32_t(ids.gainId), float(tenths) / 10.0f, ParamKind::kLevel));
  }
  // The gain's change may have rebuilt the section list: look the band up again.
  if (m_selectedBand < 0 || m_selectedBand >= int(m_sections.size())) return;
  band = m_sections[std::size_t(m_selectedBand)]->pBand;
  ids = m_sections[std::size_t(m_selectedBand)]->ids;
  if (!band || ids.frequencyId == 0) return;
  GetRangeLimits(kRangeFrequency, TypeOf(*band), lo, hi);
  const int code = std::clamp(XToCode(x), int(lo), int(hi));
  if (code != band->frequency)
    SendValue(CParamValue(std::int32_t(ids.frequencyId), IndexToFreq(code), ParamKind::kFrequency));
}

void CNerexSeriesParametricControl::DragGeqBand(int y) {
  if (!m_pGeqGains || m_geqFirstId == 0 || m_selectedBand >= kGeqBandCount) return;
  const int limit = int(std::lround(m_geqRangeDb * 10.0f));
  const int tenths = std::clamp(int(std::lround(YToDb(y) * 10.0)), -limit, limit);
  if (tenths != m_pGeqGains[m_selectedBand])
    SendValue(CParamValue(m_geqFirstId + m_selectedBand, float(tenths) / 10.0f, ParamKind::kLevel));
}

void CNerexSeriesParametricControl::WheelBand(int notches) {
  const NerexEqBand* band = m_sections[std::size_t(m_selectedBand)]->pBand;
  const NerexEqBandIds& ids = m_sections[std::size_t(m_selectedBand)]->ids;
  if (!band || ids.qId == 0 || IsCrossover(*band) || !m_owner) return;
  const int type = TypeOf(*band);
  std::int32_t lo = 0, hi = 0;
  GetRangeLimits(kRangeQ, type, lo, hi);
  const CParamValue current = m_owner->GetCurrentValue(std::int32_t(ids.qId));
  if (type == kSectionPhase) {
    // The phase travels in degrees, two per code; a notch turns one code.
    const int code = std::clamp(int(current.value) / 2 + notches, int(lo), int(hi));
    if (code == band->q) return;
    CParamValue value(std::int32_t(ids.qId), float(2 * code), ParamKind::kPhase);
    value.integer = 2 * code;
    SendValue(value);
    return;
  }
  const int code = std::clamp(QToIndex(current.value) - notches, int(lo), int(hi));
  if (code == band->q) return;
  SendValue(CParamValue(std::int32_t(ids.qId), IndexToQ(code), ParamKind::kQ));
}

bool CNerexSeriesParametricControl::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y,
                                                   CRect& redraw) {
  redraw = CRect{};
  const CRect plot = GetPlotRect();
  const bool nearPlot =
      x >= plot.left - 5 && x <= plot.right + 5 && y >= plot.top - 5 && y <= plot.bottom + 5;
  const bool selectionValid = m_selectedBand >= 0 && m_selectedBand < int(m_sections.size());
  switch (message) {
    case WM_LBUTTONDOWN: {
      if (m_graphicEqMode) {
        if (!nearPlot || m_sections.empty()) return true;
        int best = 0;
        for (int b = 1; b < int(m_sections.size()) && b < kGeqBandCount; ++b)
          if (std::abs(FrequencyCodeToX(plot, GeqBandCode(b)) - x) < std::abs(FrequencyCodeToX(plot, GeqBandCode(best)) - x))
            best = b;
        m_selectedBand = best;
        m_dragging = true;
        redraw = m_rect;
        return true;
      }
      for (int i = 0; i < int(m_sections.size()); ++i) {
        if (!GetHandleRect(i).Contains(CPoint{x, y})) continue;
        m_selectedBand = i;
        m_dragging = true;
        redraw = m_rect;
        return true;
      }
      return true;
    }
    case WM_LBUTTONUP: m_dragging = false; return true;
    case WM_MOUSEMOVE:
      if (!m_dragging || !selectionValid) return true;
      if (!nearPlot) {
        m_dragging = false;
        return true;
      }
      if (m_graphicEqMode) DragGeqBand(y);
      else DragBand(x, y);
      return true;
    case WM_MOUSEWHEEL:
      if (!m_graphicEqMode && selectionValid) WheelBand(int(std::int16_t(flags & 0xFFFF)) / WHEEL_DELTA);
      return true;
    default: return false;
  }
}
