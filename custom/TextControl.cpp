// The text widget's records and bounds.
#include "custom/TextControl.h"

#include <cstdio>

#include "core/file/DataStream.h"
#include "core/model/Device.h"
#include "core/draw/RoundedBox.h"
#include "core/values/ValueCodes.h"
#include "custom/WidgetDrawing.h"
#include "platform/Graphics.h"
#include "platform/MouseMessages.h"
#include "platform/Archive.h"
#include "platform/TextFormat.h"

namespace {
constexpr std::uint32_t kTextRecordVersion = 1;
}

CCCTextControl::CCCTextControl(CCustomControlPanel* view, const std::string& face, float points, std::uint32_t flags,
                               const CRect& rect)
    : m_flags(flags) {
  m_pView = view;
  m_rect = rect;
  m_textStyle.face = face;
  m_textStyle.size = std::int32_t(points * 100.0f);
}

CCCTextControl::CCCTextControl(const CCCTextControl& source)
    : CCustomControlObject(source),
      m_flags(source.m_flags),
      m_textColour(source.m_textColour),
      m_outlineColour(source.m_outlineColour),
      m_textStyle(source.m_textStyle),
      m_cornerRadius(source.m_cornerRadius),
      m_outlineWidth(source.m_outlineWidth),
      m_delayDragStep(source.m_delayDragStep),
      m_caption(source.m_caption),
      m_pressed(source.m_pressed),
      m_storedFont(source.m_storedFont) {}

void CCCTextControl::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  CCustomControlObject::Serialize(ar, lookup);
  if (ar.IsStoring()) {
    ar.WriteU32(kTextRecordVersion);
    ar << m_flags << m_caption << m_cornerRadius;
  } else {
    ReadRecordVersion(ar, kTextRecordVersion, kTextRecordVersion, "text widget");
    ar >> m_flags >> m_caption >> m_cornerRadius;
  }
  ArchiveColour(ar, m_haloColour);
  ArchiveColour(ar, m_textColour);
  ArchiveColour(ar, m_outlineColour);
  if (ar.IsStoring())
    ar << m_outlineWidth << m_delayDragStep;
  else
    ar >> m_outlineWidth >> m_delayDragStep;
  ArchiveTextStyle(ar, m_textStyle, m_storedFont);
  if (ar.IsLoading()) KeepLengthsInRange();
}

void CCCTextControl::KeepLengthsInRange() {
  m_cornerRadius = std::uint32_t(ClampPanelLength(m_cornerRadius));
  m_outlineWidth = std::uint32_t(ClampPanelLength(m_outlineWidth));
}

void CCCTextControl::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  (void)lookup;
  try {
    if (!ds.Version(kTextRecordVersion)) return;
    ds.U32(m_flags);
    StreamString(ds, m_caption);
    ds.U32(m_cornerRadius);
    StreamColour(ds, m_haloColour);
    StreamColour(ds, m_textColour);
    StreamColour(ds, m_outlineColour);
    ds.U32(m_outlineWidth);
    ds.U32(m_delayDragStep);
    m_textStyle.SerializeStream(ds);
  } catch (const CStreamError&) {
  }
  if (ds.IsLoading()) KeepLengthsInRange();
}

CRect CCCTextControl::GetBoundsRect() const {
  CRect r = m_rect;
  if (m_flags & kTextHalo) {
    r.left -= kTextHaloMargin;
    r.top -= kTextHaloMargin;
    r.right += kTextHaloMargin;
    r.bottom += kTextHaloMargin;
  }
  return r;
}


std::uint32_t CCCTextControl::GetDelayUnit() const {
  if (m_flags & kTextDelayMs) return kTextDelayMs;
  if (m_flags & kTextDelayMetres) return kTextDelayMetres;
  if (m_flags & kTextDelayFeet) return kTextDelayFeet;
  return 0;
}

void CCCTextControl::SetDelayUnit(std::uint32_t unit) {
  m_flags = (m_flags & ~(kTextDelayMs | kTextDelayMetres | kTextDelayFeet)) | unit;
}

std::string CCCTextControl::FormatValue(const CParamValue& v) const {
  const float x = v.value;
  const bool units = (m_flags & kTextAppendUnits) != 0;
  switch (v.kind) {
    case ParamKind::kText:
      return v.text;
    case ParamKind::kLevel: {
      const CParamInfo info = GetParameterInfo();
      if ((info.options & kParamOptionMuteAtMinimum) && x <= info.minimum) return "Mute";
      std::string t;
      switch (m_flags & 0xF00) {
        case 0x100: t = FormatText("%.1f", double(x)); break;
        case 0x200: t = FormatText("%.2d", int(x)); break;
        case 0x400: t = FormatText("%.1d", int(x)); break;
        default: break;
      }
      return units ? t + " dB" : t;
    }
    case ParamKind::kFrequency: {
      const int index = FreqToIndex(x);
      if (index == kFreqIndexBelow10Hz) return "<10Hz";
      if (index == kFreqIndexAbove32kHz) return ">32kHz";
      std::string t;
      if (x >= 1000.0f) {
        const int k = int(x / 1000.0f);
        const float r = x - float(k) * 1000.0f;
        t = k < 10 ? FormatText("%dk %.2d", k, int(r * 100.0f / 1000.0f))
                   : FormatText("%dk %.1d", k, int(r * 10.0f / 1000.0f));
      } else {
        t = FormatText(x <= 100.0f ? "%.1f" : "%3.f", double(x));
      }
      return units ? t + " Hz" : t;
    }
    case ParamKind::kQ:
      return FormatText(double(x) > 13.6 ? "%.0f" : double(x) > 1.27 ? "%.1f" : "%.2f", double(x));
    case ParamKind::kDelay: {
      float y = x;
      const char* unit = "ms";
      switch (GetDelayUnit()) {
        case kTextDelayMs: break;
        case kTextDelayMetres: y = x * 0.3433719f; unit = "m"; break;
        case kTextDelayFeet: y = x * 1.1265483f; unit = "ft"; break;
        default: return std::string();
      }
      const char* format = double(y) < 9.99 ? "%.4f" : double(y) < 99.99 ? "%.3f" : "%.2f";
      return FormatText(format, double(y)) + unit;
    }
    case ParamKind::kPhase:
      return FormatText("%d", int(x)) + "\u02DA";
    default:
      return std::string();
  }
}

CRect CCCTextControl::OnParameterUpdate(const CParamValue& value) {
  const CParamValue empty;
  if (value.id == empty.id && value.kind == empty.kind && value.text.empty() && value.value == 0.0f &&
      value.integer == 0 && value.flag == 0 && value.extra == 0)
    return CRect{};
  const std::string text = FormatValue(value);
  if (text == m_caption && GetParameterInfo().inactive == m_lastInactive) return CRect{};
  m_caption = text;
  return GetBoundsRect();
}

void CCCTextControl::Draw(Graphics& g, const CRect& paint, bool designMode) {
  (void)designMode;
  std::uint8_t shownInactive = 0;
  const CParamInfo info = GetDrawnParameterInfo(shownInactive);
  if (!m_caption.empty() && m_hitTest) {
    const CRepaintClip clip(g, paint);
    const SmoothingMode savedMode = g.GetSmoothingMode();
    const TextRenderingHint savedHint = g.GetTextRenderingHint();
    g.SetSmoothingMode(SmoothingMode::HighQuality);
    g.SetTextRenderingHint(TextRenderingHint::ClearTypeGridFit);
    const CStringFormat format = AlignedFormat(m_flags, kTextAlignLeft);
    int x = m_rect.left, y = m_rect.top, w = m_rect.Width(), h = m_rect.Height();
    if (m_pressed) {
      const std::uint32_t rgb = m_haloColour.argb & 0xFFFFFFu;
      DrawRoundedBox(g, CColour{0xFF000000u | rgb}, 1, 4, x - 1, y - 1, w + 2, h + 2);
      DrawRoundedBox(g, CColour{(155u << 24) | rgb}, 1, 5, x - 2, y - 2, w + 4, h + 4);
      DrawRoundedBox(g, CColour{(55u << 24) | rgb}, 1, 6, x - 3, y - 3, w + 6, h + 6);
    }
    if (m_flags & kTextOutline) {
      const CColour colour =
          info.inactive ? CColour{(100u << 24) | (m_outlineColour.argb & 0xFFFFFFu)} : m_outlineColour;
      DrawRoundedBox(g, colour, int(m_outlineWidth), int(m_cornerRadius), x, y, w, h);
      x += 1;
      y += 1;
      w -= 2;
      h -= 2;
    }
    if (!info.inactive) {
      const CRectF layout{float(x), float(y), float(w), float(h)};
      if (info.kind == ParamKind::kLevel && (info.options & kParamOptionMuteAtMinimum) &&
          GetParameterValue().value <= info.minimum) {
        CStringFormat centred = format;
        centred.alignment = StringAlignment::Center;
        DrawStyledText(g, m_caption, m_textStyle, layout, centred, CColour{0xFFFF0000u});
      } else {
        DrawStyledText(g, m_caption, m_textStyle, layout, format, m_textColour);
      }
    }
    g.SetSmoothingMode(savedMode);
    g.SetTextRenderingHint(savedHint);
  }
  m_lastInactive = shownInactive;
}

void CCCTextControl::Deactivate() {
  m_dragging = false;
  if (m_pressed) {
    m_pressed = false;
    if (m_pView) m_pView->RedrawControl(this);
  }
}

void CCCTextControl::OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                               CRect& invalid) {
  (void)flags;
  const int x = point.x, y = point.y;
  (void)invalid;
  const CParamInfo info = GetParameterInfo();
  if (message == WM_LBUTTONDOWN) {
    const bool accepted =
        !(m_flags & kTextReadOnly) && (m_flags & kTextDragEnabled) && Contains(x, y) && !info.inactive;
    if (accepted) {
      m_dragging = true;
      if (m_pView) m_pView->SetActiveControl(this);
      m_lastPoint = CPoint{x, y};
    } else if (m_pView) {
      m_pView->SetActiveControl(nullptr);
    }
    if (m_flags & kTextHalo) {
      m_pressed = accepted;
      if (m_pView) m_pView->RedrawControl(this);
    }
  } else if (message == WM_LBUTTONUP) {
    m_dragging = false;
  } else if (message == WM_MOUSEMOVE && m_dragging) {
    const int d = m_lastPoint.y - y;
    const float x0 = GetParameterValue().value;
    bool send = true;
    float value = x0;
    switch (info.kind) {
      case ParamKind::kLevel:
        // One pixel moves 1 dB, and at least one of the unit's own steps.
        value = m_pDevice ? m_pDevice->NudgeLevel(int(m_parameterId), x0, float(d)) : x0 + float(d);
        break;
      case ParamKind::kFrequency: value = IndexToFreq(FreqToIndex(x0) + d); break;
      case ParamKind::kQ: value = IndexToQ(QToIndex(x0) + d); break;
      case ParamKind::kDelay: value = std::max(0.0f, float(m_delayDragStep) * float(d) * 0.0001f + x0); break;
      case ParamKind::kPhase: value = std::max(0.0f, x0 + 2.0f * float(d)); break;
      default: send = false; break;
    }
    if (send && m_pDevice) m_pDevice->Gate().ApplyUserChange(CParamValue(std::int32_t(m_parameterId), value, info.kind));
    m_lastPoint = CPoint{x, y};
  } else if (message == WM_LBUTTONDBLCLK) {
    if (((!designMode && !(m_flags & kTextReadOnly)) || designMode) && Contains(x, y) && m_hitTest && !info.inactive &&
        !m_editor.IsOpen())
      m_editor.Open(m_pView, this);
  }
}
