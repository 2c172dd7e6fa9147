// The fader's and the knob's common ground: range, value, scale, record ends and edits.
#include "custom/ScaleWidget.h"

#include <algorithm>

#include "custom/CustomControls.h"
#include "custom/WidgetDrawing.h"

namespace {
constexpr std::int32_t kScaleFontSize = 800;  // 8 points
}  // namespace

CCCScaleWidget::CCCScaleWidget(float rangeMax, float rangeMin, std::uint32_t majorMarks, std::uint32_t flags)
    : m_rangeMax(rangeMax), m_rangeMin(rangeMin), m_majorMarks(majorMarks), m_flags(flags) {
  m_scaleStyle.size = kScaleFontSize;
}

CCCScaleWidget::CCCScaleWidget(const CCCScaleWidget& source)
    : CCustomControlObject(source),
      m_rangeMax(source.m_rangeMax),
      m_rangeMin(source.m_rangeMin),
      m_value(source.m_value),
      m_majorMarks(source.m_majorMarks),
      m_minorMarks(source.m_minorMarks),
      m_flags(source.m_flags),
      m_scaleColour(source.m_scaleColour),
      m_scaleStyle(source.m_scaleStyle),
      m_storedFont(source.m_storedFont) {}

CRect CCCScaleWidget::OnParameterUpdate(const CParamValue& value) {
  const bool inactiveChanged = GetParameterInfo().inactive != m_lastInactive;
  return TakeRangeValue(value, m_rangeMin, m_rangeMax, inactiveChanged, m_value) ? GetBoundsRect() : CRect{};
}

CRect CCCScaleWidget::GetDrawnRect() const {
  CRect drawn = GetBoundsRect();
  if (IsScaleShown()) UnionRects(drawn, drawn, MeasureScale(*this));
  return drawn;
}

void CCCScaleWidget::CheckReadRange() {
  m_rangeMax = CheckedRangeBound(m_rangeMax);
  m_rangeMin = CheckedRangeBound(m_rangeMin);
}

void CCCScaleWidget::HoldMarkCounts() {
  m_majorMarks = std::min(m_majorMarks, kScaleMarksLimit);
  m_minorMarks = std::min(m_minorMarks, kScaleMarksLimit);
}

void CCCScaleWidget::ArchiveScaleTail(CArchive& ar, CCCImage*& image, const CRecordLookup& lookup) {
  ArchiveColour(ar, m_scaleColour);
  ArchiveImageRef(ar, image, lookup);
  ArchiveTextStyle(ar, m_scaleStyle, m_storedFont);
}

std::optional<CCCScaleWidget::ScaleSteps> CCCScaleWidget::GetScaleSteps() const {
  const ParamKind kind = GetParameterValue().kind;
  if ((kind != ParamKind::kLevel && kind != ParamKind::kDelay) || m_majorMarks == 0) return std::nullopt;
  const float major = m_majorMarks > 1 ? (m_rangeMax - m_rangeMin) / float(m_majorMarks - 1) : 0.0f;
  return ScaleSteps{kind, major, major / float(m_minorMarks + 1)};
}

CListForm CCCScaleWidget::ScaleListForm(const ScaleIds& ids) {
  return CListForm{{{.id = kScaleMinorMarksId, .name = "Number Minor Scale Marks",
                     .description = "The number of marks on the minor scale"},
                    {.id = ids.scaleFont, .description = "Font to be used for the scale text"}},
                   {}};
}

bool CCCScaleWidget::OnPropertyChanged(CDeviceProperty& row) {
  if (const std::optional<bool> shared = CommitSharedRangeRow(*this, row, Range())) return *shared;
  return FinishRowEdit(row, ApplyEdit(row.GetData(), CWidgetEdit::FromRow(row, m_scaleStyle)));
}

CScaleRows CCCScaleWidget::ScaleRows(const ScaleIds& ids) const {
  return {*this,         m_majorMarks,   m_minorMarks,    m_flags,   m_scaleColour,
          m_scaleStyle,  ids.decimals,   ids.scaleColour, ids.scaleFont};
}

bool CCCScaleWidget::ApplyScaleEdit(std::uint32_t id, const CWidgetEdit& edit, const ScaleIds& ids,
                                    CWidgetEditResult& result, bool& changed) {
  if (id == ids.scaleColour) {
    changed = TakeColour(edit, m_scaleColour);
  } else if (id == ids.scaleFont) {
    changed = TakeStyle(edit, m_scaleStyle);
  } else if (id == ids.rangeMax || id == ids.rangeMin) {
    result = ApplyRangeEdit(*this, edit, id == ids.rangeMax, Range(), changed);
  } else if (id == ids.decimals) {
    changed = result.structure = SetScaleDecimals(*this, m_flags, edit.index);
  } else {
    return false;
  }
  return true;
}
