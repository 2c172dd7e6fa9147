// The knob widget's records and image reference.
#include "custom/KnobControl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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
constexpr std::uint32_t kKnobRecordVersion = 1;

// The point at an angle (degrees clockwise from straight up) and radius about a centre.
CPointF PointAt(float cx, float cy, float degrees, float radius) {
  const float a = degrees * float(std::numbers::pi) / 180.0f;
  return CPointF{cx + radius * std::sin(a), cy - radius * std::cos(a)};
}
}  // namespace

CCCKnob::CCCKnob() : CCCScaleWidget(10.0f, -10.0f, 5, kKnobDefaultFlags) {}

CCCKnob::CCCKnob(CCustomControlPanel* view, const CRect& rect) : CCCKnob() {
  m_pView = view;
  m_rect = rect;
}

CCCKnob::CCCKnob(const CCCKnob& source)
    : CCCScaleWidget(source),
      m_pImage(source.m_pImage),
      m_maxAngle(source.m_maxAngle),
      m_minAngle(source.m_minAngle),
      m_ledColour(source.m_ledColour),
      m_knobColour(source.m_knobColour),
      m_notchColour(source.m_notchColour),
      m_ledSize(source.m_ledSize),
      m_notchRadius(source.m_notchRadius) {}

void CCCKnob::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  if (ar.IsStoring()) {
    ar.WriteU32(kKnobRecordVersion);
    ar << m_flags << m_rangeMax << m_rangeMin << m_maxAngle << m_minAngle << m_majorMarks << m_minorMarks
       << m_ledSize << m_notchRadius;
  } else {
    ReadRecordVersion(ar, kKnobRecordVersion, kKnobRecordVersion, "knob widget");
    ar >> m_flags >> m_rangeMax >> m_rangeMin >> m_maxAngle >> m_minAngle >> m_majorMarks >> m_minorMarks >>
        m_ledSize >> m_notchRadius;
    CheckReadRange();
    KeepShapeInRange();
  }
  ArchiveColour(ar, m_ledColour);
  ArchiveColour(ar, m_knobColour);
  ArchiveColour(ar, m_notchColour);
  ArchiveScaleTail(ar, m_pImage, lookup);
}

void CCCKnob::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kKnobRecordVersion)) return;
    ds.U32(m_flags);
    StreamScaledFloat(ds, m_rangeMax);
    StreamScaledFloat(ds, m_rangeMin);
    ds.I32(m_maxAngle);
    ds.I32(m_minAngle);
    ds.U32(m_majorMarks);
    ds.U32(m_minorMarks);
    ds.U32(m_ledSize);
    ds.U32(m_notchRadius);
    StreamColour(ds, m_ledColour);
    StreamColour(ds, m_knobColour);
    StreamColour(ds, m_notchColour);
    StreamColour(ds, m_scaleColour);
    CUuid imageId = m_pImage ? m_pImage->GetId() : CUuid{};
    StreamUuid(ds, imageId);
    m_scaleStyle.SerializeStream(ds);
  } catch (const CStreamError&) {
  }
  if (ds.IsLoading()) KeepShapeInRange();
}

void CCCKnob::KeepShapeInRange() {
  m_maxAngle = std::clamp(m_maxAngle, -kKnobAngleLimit, kKnobAngleLimit);
  m_minAngle = std::clamp(m_minAngle, -kKnobAngleLimit, kKnobAngleLimit);
  HoldMarkCounts();
  m_ledSize = std::uint32_t(ClampPanelLength(m_ledSize));
  m_notchRadius = std::uint32_t(ClampPanelLength(m_notchRadius));
}

bool CCCKnob::ReleaseImage(CCCImageBase* image) { return ReleaseImageRef(m_pImage, image); }

float CCCKnob::ValueToAngle(float value) const {
  const float range = m_rangeMax - m_rangeMin;
  if (range == 0.0f) return float(m_minAngle);
  const float sweep = float(m_maxAngle - m_minAngle);
  const float t = (m_flags & kKnobReversed) ? (m_rangeMax - value) / range : (value - m_rangeMin) / range;
  return t * sweep + float(m_minAngle);
}

float CCCKnob::DragStep() const {
  const float n = float(m_majorMarks ? m_majorMarks : 1);
  const float m = float(m_minorMarks ? m_minorMarks : 1);
  const float magnitude = std::max(0.1f, (m_rangeMax - m_rangeMin) / (n * m));
  return (m_flags & kKnobReversed) ? -magnitude : magnitude;
}

CRect CCCKnob::AdjustSizingRect(const CRect& rect, int handle) const {
  CRect r = rect;
  const CCCImage* picture = DrawablePicture(m_pImage);
  const int minimum = picture ? picture->GetPixelWidth() : 0;
  if (!picture) {
    r = CCustomControlObject::AdjustSizingRect(rect, handle);
  } else {
    const bool left = handle == 1 || handle == 5 || handle == 7;
    const bool right = handle == 2 || handle == 6 || handle == 8;
    const bool top = handle == 3 || handle == 5 || handle == 6;
    const bool bottom = handle == 4 || handle == 7 || handle == 8;
    if (left && r.Width() < minimum) r.left = r.right - minimum;
    if (right && r.Width() < minimum) r.right = r.left + minimum;
    if (top && r.Height() < minimum) r.top = r.bottom - minimum;
    if (bottom && r.Height() < minimum) r.bottom = r.top + minimum;
  }
  const int w = r.Width(), h = r.Height();
  switch (handle) {
    case 1: case 2: r.bottom = r.top + w; break;
    case 3: case 4: r.right = r.left + h; break;
    case 5: if (w <= h) r.left = r.right - h; else r.top = r.bottom - w; break;
    case 6: if (h < w) r.top = r.bottom - w; else r.right = r.left + h; break;
    case 7: if (w <= h) r.left = r.right - h; else r.bottom = r.top + w; break;
    case 8: if (h < w) r.bottom = r.top + w; else r.right = r.left + h; break;
    default: break;
  }
  return r;
}

CRect CCCKnob::DrawScale(Graphics& g, bool draw) {
  const std::optional<ScaleSteps> steps = GetScaleSteps();
  if (!steps) return m_rect;
  const ParamKind kind = steps->kind;
  const float majorStep = steps->major, minorStep = steps->minor;
  const int r = m_rect.Width() / 2;
  const float cx = float(m_rect.left + r), cy = float(m_rect.top + r);
  const CPen pen(m_scaleColour, 1.0f);
  CRect bounds = m_rect;
  float v = m_rangeMin;
  for (std::uint32_t k = 0; k < m_majorMarks; ++k, v += majorStep) {
    const float a = ValueToAngle(v);
    if (draw) {
      g.DrawLine(pen, PointAt(cx, cy, a, float(r + 2)), PointAt(cx, cy, a, float(r + 7)));
      if (v <= m_rangeMax && minorStep > 0.0f)
        for (std::uint32_t j = 0; j <= m_minorMarks + 1; ++j) {
          const float u = v + float(j) * minorStep;
          if (u > v + majorStep || u > m_rangeMax) break;
          const float b = ValueToAngle(u);
          g.DrawLine(pen, PointAt(cx, cy, b, float(r + 2)), PointAt(cx, cy, b, float(r + 4)));
        }
    }
    const std::string label = FormatScaleLabel(m_flags, v, kind);
    const CPointF anchor = PointAt(cx, cy, a, float(r + 8));
    const CStringFormat format(a < 0.0f ? StringAlignment::Far : a == 0.0f ? StringAlignment::Center : StringAlignment::Near,
                               StringAlignment::Center);
    const CRectF box{anchor.x, anchor.y, 0, 0};
    if (draw) DrawStyledText(g, label, m_scaleStyle, box, format, m_scaleColour);
    UnionRects(bounds, bounds, MeasureStyledText(g, label, m_scaleStyle, box, format));
  }
  return bounds;
}

CRect CCCKnob::GetBoundsRect() const {
  if (InDesignMode() && IsScaleShown()) {
    CRect r = m_rect;
    UnionRects(r, r, MeasureScale(*this));
    return r;
  }
  if (m_flags & kKnobDrawLeds) return CRect{m_rect.left - 1, m_rect.top - 1, m_rect.right + 1, m_rect.bottom + 1};
  return m_rect;
}

namespace {
// The LED ring's lit ticks: every 10 degrees from the minimum angle up to the value's angle.
int LitTicks(int minAngle, int last) {
  int n = 0;
  for (int a = minAngle; a <= last && n < 360; a += 10) ++n;
  return n;
}
}  // namespace

void CCCKnob::DrawBody(Graphics& g, float angle) const {
  const int w = m_rect.Width(), h = m_rect.Height();
  const float cx = float(m_rect.left) + 0.5f * float(w), cy = float(m_rect.top) + 0.5f * float(h);
  const bool leds = (m_flags & kKnobDrawLeds) != 0;
  if (!DrawablePicture(m_pImage)) {
    CRectF body = CRectF::FromRect(m_rect);
    if (leds) {
      g.FillEllipse(CBrush(CColour{0xFF000000u}), body);
      const int size = int(m_ledSize);
      body = CRectF{float(m_rect.left + size), float(m_rect.top + size), float(w - 2 * size), float(h - 2 * size)};
    }
    if (!body.IsEmpty()) g.FillEllipse(CBrush::EllipseGradient(body, HighlightColour(m_knobColour), m_knobColour), body);
  }
  if (leds) {
    const CPen pen(m_ledColour, 1.5f);
    const float ro = 0.5f * float(w), ri = ro - float(m_ledSize);
    // One path for the whole ring: one stroke however many ticks are lit.
    CGraphicsPath ring;
    const int ticks = LitTicks(m_minAngle, int(angle));
    for (int n = 0; n < ticks; ++n) {
      const float a = float(m_minAngle + 10 * n);
      ring.StartFigure();
      ring.AddLine(PointAt(cx, cy, a, ri), PointAt(cx, cy, a, ro));
    }
    if (!ring.IsEmpty()) g.DrawPath(pen, ring);
  }
}

void CCCKnob::Draw(Graphics& g, const CRect& paint, bool designMode) {
  (void)designMode;
  std::uint8_t shownInactive = 0;
  const CParamInfo info = GetDrawnParameterInfo(shownInactive);
  const bool locked = info.inactive != 0;
  if (m_hitTest) {
    const CRepaintClip clip(g, paint);
    const int w = m_rect.Width(), h = m_rect.Height();
    const float cx = float(m_rect.left) + 0.5f * float(w), cy = float(m_rect.top) + 0.5f * float(h);
    const SmoothingMode savedMode = g.GetSmoothingMode();
    g.SetSmoothingMode(SmoothingMode::HighQuality);
    const float angle = ValueToAngle(m_value);
    const bool leds = (m_flags & kKnobDrawLeds) != 0;
    const CCCImage* picture = DrawablePicture(m_pImage);
    if (!locked) {
      if (picture) {
        const CMatrix saved = g.GetTransform();
        g.TranslateTransform(cx, cy);
        if (m_flags & kKnobRotateBitmap) g.RotateTransform(angle);
        const float iw = float(picture->GetPixelWidth()), ih = float(picture->GetPixelHeight());
        g.DrawImage(picture->GetBitmap(), -(iw - 1.0f) / 2.0f, -(ih - 1.0f) / 2.0f);
        g.SetTransform(saved);
      }
      if (!picture || leds) {
        // Without an image the body is drawn too; with one, only the ring.
        const std::uint32_t ticks = leds ? std::uint32_t(LitTicks(m_minAngle, int(angle))) : 0u;
        // The ring's pen reaches past the rectangle by less than a pixel.
        const int x0 = m_rect.left - 1, y0 = m_rect.top - 1;
        m_bodyCache.Draw(g, x0, y0, w + 2, h + 2, SmoothingMode::HighQuality,
                         {picture ? 1u : 0u, leds ? 1u : 0u, m_ledSize, m_knobColour.argb, m_ledColour.argb,
                          std::uint32_t(m_minAngle), ticks},
                         [&](Graphics& cache) {
                           cache.TranslateTransform(-float(x0), -float(y0));
                           DrawBody(cache, angle);
                         });
      }
    }
    if (IsScaleShown()) DrawScale(g, true);
    const bool notch = (m_flags & kKnobDrawNotch) || !picture || !(m_flags & kKnobRotateBitmap);
    if (!locked && notch) {
      const CPointF c = PointAt(cx, cy, angle, float(m_notchRadius));
      g.FillEllipse(CBrush(m_notchColour), CRectF{c.x - 2.0f, c.y - 2.0f, 4.0f, 4.0f});
    }
    g.SetSmoothingMode(savedMode);
  }
  m_lastInactive = shownInactive;
}

void CCCKnob::OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                               CRect& invalid) {
  (void)flags;
  (void)designMode;
  const int x = point.x, y = point.y;
  (void)invalid;
  const bool locked = GetParameterInfo().inactive != 0;
  if (message == WM_LBUTTONDOWN) {
    const bool inside = x >= m_rect.left && x <= m_rect.right && y >= m_rect.top && y <= m_rect.bottom;
    if (inside && !locked) {
      m_dragging = true;
      if (m_pView) m_pView->SetActiveControl(this);
      m_lastPoint = CPoint{x, y};
    } else if (m_pView) {
      m_pView->SetActiveControl(nullptr);
    }
  } else if (message == WM_LBUTTONUP) {
    m_dragging = false;
  } else if (message == WM_MOUSEMOVE && m_dragging && !locked) {
    // Each pixel moves the drag step, and at least one of the unit's own steps.
    const float delta = float(m_lastPoint.y - y) * DragStep();
    const float moved = IsLinked() ? m_pDevice->NudgeLevel(int(m_parameterId), m_value, delta) : m_value + delta;
    const float value = ClampToRange(delta == 0.0f ? m_value : moved, m_rangeMin, m_rangeMax);
    if (value != m_value && IsLinked())
      m_pDevice->Gate().ApplyUserChange(CParamValue(std::int32_t(m_parameterId), value, GetParameterValue().kind));
    m_lastPoint = CPoint{x, y};
  }
}
