// The fader widget's records, bounds and image reference.
#include "custom/FaderControl.h"

#include <algorithm>

#include "custom/CPData.h"
#include "core/file/DataStream.h"
#include "core/model/Device.h"
#include "custom/WidgetDrawing.h"
#include "platform/Graphics.h"
#include "platform/MouseMessages.h"
#include "platform/Image.h"
#include "core/file/ImageTree.h"
#include "custom/CustomControls.h"
#include "platform/Archive.h"

namespace {
constexpr std::uint32_t kFaderRecordVersion = 1;
constexpr int kBoundsMargin = 4;
}  // namespace

CCCFader::CCCFader() : CCCScaleWidget(100.0f, 0.0f, 10, kFaderDefaultFlags) {}

CCCFader::CCCFader(CCustomControlPanel* view, const CRect& rect) : CCCFader() {
  m_pView = view;
  m_rect = rect;
}

CCCFader::CCCFader(const CCCFader& source)
    : CCCScaleWidget(source),
      m_pKnobImage(source.m_pKnobImage),
      m_fillColour(source.m_fillColour),
      m_lineColour(source.m_lineColour) {}

void CCCFader::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  if (ar.IsStoring()) {
    ar.WriteU32(kFaderRecordVersion);
    ar << m_flags << m_rangeMax << m_rangeMin << m_majorMarks << m_minorMarks;
  } else {
    ReadRecordVersion(ar, kFaderRecordVersion, kFaderRecordVersion, "fader widget");
    ar >> m_flags >> m_rangeMax >> m_rangeMin >> m_majorMarks >> m_minorMarks;
    CheckReadRange();
    HoldMarkCounts();
  }
  ArchiveColour(ar, m_fillColour);
  ArchiveColour(ar, m_lineColour);
  ArchiveScaleTail(ar, m_pKnobImage, lookup);
}

void CCCFader::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kFaderRecordVersion)) return;
    ds.U32(m_flags);
    StreamScaledFloat(ds, m_rangeMax);
    StreamScaledFloat(ds, m_rangeMin);
    ds.U32(m_majorMarks);
    ds.U32(m_minorMarks);
    if (ds.IsLoading()) HoldMarkCounts();
    StreamColour(ds, m_fillColour);
    StreamColour(ds, m_lineColour);
    StreamColour(ds, m_scaleColour);
    CUuid imageId = m_pKnobImage ? m_pKnobImage->GetId() : CUuid{};
    ds.Bytes(imageId.bytes.data(), imageId.bytes.size());
    m_scaleStyle.SerializeStream(ds);
  } catch (const CStreamError&) {
  }
}

std::uint32_t CCCFader::GetSizingMode() const {
  if (!DrawablePicture(m_pKnobImage)) return 3;
  return (m_flags & kFaderHorizontal) ? 1 : 2;
}

bool CCCFader::ReleaseImage(CCCImageBase* image) { return ReleaseImageRef(m_pKnobImage, image); }

CSize CCCFader::GetKnobSize() const {
  const int w = m_rect.Width(), h = m_rect.Height();
  if (const CCCImage* picture = DrawablePicture(m_pKnobImage)) {
    const int iw = picture->GetPixelWidth(), ih = picture->GetPixelHeight();
    return IsHorizontal() ? CSize{ih, iw} : CSize{iw, ih};
  }
  const bool scale = IsScaleShown();
  if (IsHorizontal()) return scale ? CSize{h, h / 2} : CSize{2 * h, h};
  return scale ? CSize{w / 2, w} : CSize{w, 2 * w};
}

int CCCFader::GetTravel() const {
  const CSize knob = GetKnobSize();
  return IsHorizontal() ? m_rect.Width() - knob.cx : m_rect.Height() - knob.cy;
}

CPoint CCCFader::GetKnobPosition() const {
  const float range = m_rangeMax - m_rangeMin;
  // A range of zero width leaves the knob at the minimum's end.
  const float t = range != 0.0f ? (m_rangeMax - m_value) / range : 1.0f;
  const int travel = std::max(0, GetTravel());
  const int along = int(t * float(travel));
  const CSize knob = GetKnobSize();
  CPoint p{m_rect.left, m_rect.top};
  const CCCImage* picture = DrawablePicture(m_pKnobImage);
  const int imageWidth = picture ? picture->GetPixelWidth() : 0;
  if (IsHorizontal()) {
    p.x = m_rect.right - along - knob.cx;
    if (IsScaleBefore()) p.y = m_rect.top + (picture ? imageWidth : m_rect.Height() / 2);
  } else {
    p.y = m_rect.top + along;
    if (IsScaleBefore()) p.x = m_rect.left + (picture ? imageWidth : m_rect.Width() / 2);
  }
  return p;
}

CRect CCCFader::GetKnobRect() const {
  const CPoint p = GetKnobPosition();
  const CSize knob = GetKnobSize();
  CRect r{p.x, p.y, p.x + knob.cx, p.y + knob.cy};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

bool CCCFader::HitTestKnob(int x, int y) const {
  const CRect r = GetKnobRect();
  return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

CRect CCCFader::AdjustSizingRect(const CRect& rect, int handle) const {
  CRect r = CCustomControlObject::AdjustSizingRect(rect, handle);
  if (const CCCImage* picture = DrawablePicture(m_pKnobImage)) {
    const int width = picture->GetPixelWidth() * (IsScaleShown() ? 2 : 1);
    if (IsHorizontal()) r.bottom = r.top + width;
    else r.right = r.left + width;
  } else if (IsHorizontal()) {
    if (r.Width() < 4 * r.Height()) {
      if (handle == 1 || handle == 5 || handle == 7) r.left = r.right - 4 * r.Height();
      else r.right = r.left + 4 * r.Height();
    }
  } else if (r.Height() < 4 * r.Width()) {
    if (handle == 3 || handle == 5 || handle == 6) r.top = r.bottom - 4 * r.Width();
    else r.bottom = r.top + 4 * r.Width();
  }
  return r;
}

CRect CCCFader::DrawScale(Graphics& g, bool draw) {
  const std::optional<ScaleSteps> steps = GetScaleSteps();
  if (!steps) return m_rect;
  const ParamKind kind = steps->kind;
  const float range = m_rangeMax - m_rangeMin;
  const float majorStep = steps->major, minorStep = steps->minor;
  const CSize knob = GetKnobSize();
  const bool horizontal = IsHorizontal();
  const bool before = IsScaleBefore();
  const int start = horizontal ? m_rect.left + knob.cx / 2 : m_rect.bottom - knob.cy / 2;
  const int end = horizontal ? m_rect.right - knob.cx / 2 : m_rect.top + knob.cy / 2;
  const int length = std::abs(end - start);
  const int middle = horizontal ? m_rect.top + m_rect.Height() / 2 : m_rect.left + m_rect.Width() / 2;
  auto at = [&](float v) {
    if (range == 0.0f) return horizontal ? end : start;
    return horizontal ? (m_rect.right - knob.cx / 2) - int((m_rangeMax - v) / range * float(length))
                      : start - int((v - m_rangeMin) / range * float(length));
  };
  const int side = before ? -1 : 1;
  const int minorEnd = (!horizontal && before) ? 3 : 2;
  const CPen pen(m_scaleColour, 1.0f);
  auto mark = [&](float v, int reach) {
    const float p = float(at(v));
    if (horizontal) g.DrawLine(pen, CPointF{p, float(middle)}, CPointF{p, float(middle + side * reach)});
    else g.DrawLine(pen, CPointF{float(middle), p}, CPointF{float(middle + side * reach), p});
  };
  CRect bounds = m_rect;
  float v = m_rangeMin;
  for (std::uint32_t k = 0; k < m_majorMarks; ++k, v += majorStep) {
    if (draw) {
      mark(v, 5);
      if (k + 1 < m_majorMarks)
        for (std::uint32_t j = 0; j <= m_minorMarks; ++j) {
          const float u = v + float(j) * minorStep;
          if (u >= v + majorStep || u > m_rangeMax) break;
          mark(u, minorEnd);
        }
    }
    const std::string label = FormatScaleLabel(m_flags, v, kind);
    const int p = at(v);
    CRect box;
    if (!horizontal) {
      const CStringFormat format(before ? StringAlignment::Far : StringAlignment::Near);
      const CRectF anchor{float(middle + side * 5), float(p - 6), 0, 0};
      if (draw) DrawStyledText(g, label, m_scaleStyle, anchor, format, m_scaleColour);
      box = MeasureStyledText(g, label, m_scaleStyle, anchor, format);
    } else {
      const CStringFormat format(before ? StringAlignment::Near : StringAlignment::Far, StringAlignment::Center);
      const float ax = float(p), ay = float(before ? middle - 7 : middle + 5);
      const CRectF origin{0, 0, 0, 0};
      if (draw) {
        const CMatrix saved = g.GetTransform();
        g.TranslateTransform(ax, ay);
        g.RotateTransform(270.0f);
        DrawStyledText(g, label, m_scaleStyle, origin, format, m_scaleColour);
        g.SetTransform(saved);
      }
      // The box measured unrotated, turned a quarter turn about the anchor.
      const CRect m = MeasureStyledText(g, label, m_scaleStyle, origin, format);
      box = CRect{int(ax) + m.top, int(ay) - m.right, int(ax) + m.bottom, int(ay) - m.left};
    }
    UnionRects(bounds, bounds, box);
  }
  return bounds;
}

CRect CCCFader::GetBoundsRect() const {
  CRect r = m_rect;
  r.right += kBoundsMargin;
  r.bottom += kBoundsMargin;
  if (InDesignMode() && IsScaleShown()) UnionRects(r, r, MeasureScale(*this));
  return r;
}

void CCCFader::Draw(Graphics& g, const CRect& paint, bool designMode) {
  (void)paint;
  (void)designMode;
  if (!m_hitTest) return;
  std::uint8_t shownInactive = 0;
  const CParamInfo info = GetDrawnParameterInfo(shownInactive);
  const CSize knob = GetKnobSize();
  const int w = m_rect.Width(), h = m_rect.Height();
  if (m_flags & kFaderDrawSlot) {
    const CPen slot(CColour{0xFF000000u}, 3.0f);
    if (IsHorizontal()) {
      const int y = m_rect.top + (IsScaleBefore() ? 3 * h / 4 : IsScaleAfter() ? h / 4 : h / 2);
      g.DrawLine(slot, CPointF{float(m_rect.left + knob.cy), float(y)}, CPointF{float(m_rect.right - knob.cy), float(y)});
    } else {
      const int x = m_rect.left + (IsScaleBefore() ? 3 * w / 4 : IsScaleAfter() ? w / 4 : w / 2);
      g.DrawLine(slot, CPointF{float(x), float(m_rect.top + knob.cx)}, CPointF{float(x), float(m_rect.bottom - knob.cx)});
    }
  }
  if (IsScaleShown()) DrawScale(g, true);
  if (!info.inactive) {
    const CPoint p = GetKnobPosition();
    int outline = 0;
    if (const CCCImage* picture = DrawablePicture(m_pKnobImage)) {
      const CImage& image = picture->GetBitmap();
      if (IsHorizontal()) {
        const CMatrix saved = g.GetTransform();
        g.TranslateTransform(float(p.x), float(p.y + picture->GetPixelWidth()));
        g.RotateTransform(270.0f);
        g.DrawImage(image, 0.0f, 0.0f);
        g.SetTransform(saved);
      } else {
        g.DrawImage(image, float(p.x), float(p.y));
      }
    } else {
      outline = 1;
      const CColour highlight = HighlightColour(m_fillColour);
      const int side = IsHorizontal() ? knob.cy : knob.cx;
      const CPoint second = IsHorizontal() ? CPoint{p.x + side, p.y} : CPoint{p.x, p.y + side};
      const CPoint squares[2] = {p, second};
      for (int i = 0; i < 2; ++i) {
        const CRectF square{float(squares[i].x), float(squares[i].y), float(side), float(side)};
        const CRectF grown{square.x - 2, square.y - 2, square.width + 4, square.height + 4};
        g.FillRectangle(CBrush::LinearGradient(grown, i == 0 ? highlight : m_fillColour, i == 0 ? m_fillColour : highlight,
                                               !IsHorizontal()),
                        square);
      }
      for (const CPoint& q : squares)
        g.DrawRectangle(CPen(m_lineColour, 1.0f), CRectF{float(q.x), float(q.y), float(side), float(side)});
    }
    for (int j = 0; j < 3; ++j) {
      const CPen shade(CColour::FromArgb(std::uint8_t((3 - j) * 200 / 3), 50, 50, 50), 1.0f);
      const float sx = float(p.x + knob.cx + outline + j), sy = float(p.y + knob.cy + outline + j);
      g.DrawLine(shade, CPointF{float(p.x + 3), sy}, CPointF{sx, sy});
      g.DrawLine(shade, CPointF{sx, float(p.y + 3)}, CPointF{sx, sy - 1.0f});
    }
  }
  m_lastInactive = shownInactive;
}

void CCCFader::OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                               CRect& invalid) {
  (void)flags;
  (void)designMode;
  const int x = point.x, y = point.y;
  const bool locked = GetParameterInfo().inactive != 0;
  if (message == WM_LBUTTONDOWN) {
    if (!HitTestKnob(x, y) || locked) return;
    m_dragging = true;
    if (m_pView) m_pView->SetActiveControl(this);
    const CPoint knob = GetKnobPosition();
    m_grabOffset = CPoint{x - knob.x, y - knob.y};
  } else if (message == WM_LBUTTONUP) {
    m_dragging = false;
    if (m_pView) m_pView->SetActiveControl(nullptr);
  } else if (message == WM_MOUSEMOVE && m_dragging && !locked) {
    const int travel = GetTravel();
    if (travel <= 0) return;  // a knob as long as the control cannot move
    const float range = m_rangeMax - m_rangeMin;
    float value;
    if (IsHorizontal()) {
      const int d = (x - m_grabOffset.x) - m_rect.left;
      value = float(d) * range / float(travel) + m_rangeMin;
    } else {
      const int d = (y - m_grabOffset.y) - m_rect.top;
      value = float(travel - d) * range / float(travel) + m_rangeMin;
    }
    value = ClampToRange(value, m_rangeMin, m_rangeMax);
    if (value == m_value) return;
    const CRect before = GetKnobRect();
    m_value = value;
    if (IsLinked())
      m_pDevice->Gate().ApplyUserChange(CParamValue(std::int32_t(m_parameterId), value, GetParameterValue().kind));
    const CRect after = GetKnobRect();
    if (after != before) {
      UnionRects(invalid, before, after);
      invalid.right += kBoundsMargin;
      invalid.bottom += kBoundsMargin;
    }
  }
}
