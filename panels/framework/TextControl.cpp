// Text widget: drawing by the format flags, value formatting, wheel nudges and the edited text
// turned back into a value.
#include "panels/framework/TextControl.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "core/model/Device.h"
#include "core/values/ValueCodes.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Graphics.h"
#include "platform/MouseMessages.h"
#include "platform/TextFormat.h"

namespace {

// The number a typed text holds when it is one number with the kind's units and nothing else
// (ClassifyTypedValue); false for any other text.
bool TypedNumber(ParamKind kind, const std::string& text, double& out) {
  return ClassifyTypedValue(kind, text, &out) == ETypedValue::kNumber;
}

bool HasLetter(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](unsigned char c) { return std::isalpha(c) != 0; });
}

}  // namespace

CTextControl::CTextControl(CControlPanelWnd* owner, int id, bool editable, const std::string& face, float points,
                           std::uint32_t colour, std::uint32_t formatFlags, const CRect& rect)
    : CControlObject(owner, id, rect), m_editable(editable), m_formatFlags(formatFlags) {
  m_style.Set(face, points, CColour{colour});
  // A text that is neither typed in nor nudged by the wheel takes no input.
  if (!editable && !(formatFlags & kTextWheelNudge)) SetNeededRights(0);
}

void CTextControl::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  if (!m_text.empty()) {
    // The font made when the style was last set; made now when there is none yet.
    if (const CFont* font = m_style.Font() ? m_style.Font() : m_style.GetFont()) {
      CStringFormat format;
      format.alignment = (m_formatFlags & kTextCentre)  ? StringAlignment::Center
                         : (m_formatFlags & kTextRight) ? StringAlignment::Far
                                                        : StringAlignment::Near;
      format.lineAlignment = (m_formatFlags & kTextVCentre)  ? StringAlignment::Center
                             : (m_formatFlags & kTextBottom) ? StringAlignment::Far
                                                             : StringAlignment::Near;
      format.noWrap = (m_formatFlags & kTextSingleLine) != 0;
      format.noClip = (m_formatFlags & kTextNoClip) != 0;
      std::string text = m_text;
      if (format.noWrap) std::replace(text.begin(), text.end(), '\n', ' ');
      g.DrawString(text, *font, CRectF::FromRect(m_rect), format, CBrush(m_style.colour));
    }
  }
  if (!IsEnabled()) DrawDisabledLook(g);
}

bool CTextControl::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) {
  (void)x;
  (void)y;
  redraw = CRect{};
  switch (message) {
    case WM_LBUTTONDBLCLK:
      if (!m_editable || !m_owner) return false;
      m_owner->BeginTextEdit(this);
      return true;
    case WM_LBUTTONDOWN: return m_editable;
    case WM_MOUSEWHEEL: {
      if (!(m_formatFlags & kTextWheelNudge)) return false;
      const int notches = std::int32_t(flags) / WHEEL_DELTA;
      CParamValue next;
      if (notches != 0 && NudgedValue(GetOwnerCurrentValue(), notches, next)) SendValue(next);
      return true;
    }
    default: return false;
  }
}

CRect CTextControl::UpdateFromParameter(const CParamValue& value) {
  std::string text = FormatValue(value);
  if (text == m_text) return CRect{};
  m_text = std::move(text);
  return m_rect;
}

std::uint32_t CTextControl::GetDelayUnit() const {
  if (m_formatFlags & kTextDelayMs) return kTextDelayMs;
  if (m_formatFlags & kTextDelayMetres) return kTextDelayMetres;
  return m_formatFlags & kTextDelayFeet;
}

void CTextControl::ReplaceDelayUnit(std::uint32_t unit) {
  for (std::uint32_t bit : {kTextDelayMs, kTextDelayMetres, kTextDelayFeet}) {
    if (m_formatFlags & bit) {
      m_formatFlags &= ~bit;
      break;
    }
  }
  m_formatFlags |= unit;
}

std::string CTextControl::FormatValue(const CParamValue& value) const {
  switch (value.kind) {
    case ParamKind::kBool: return BoolOf(value) ? "On" : "Off";
    case ParamKind::kText: return value.text;
    case ParamKind::kInteger: return std::to_string(value.integer);
    case ParamKind::kNone: return m_text;
    default: break;
  }
  const double v = value.value;
  switch (value.kind) {
    case ParamKind::kLevel:
      if (m_formatFlags & kTextWholeDb) return FormatText(v == std::floor(v) ? "%.0fdB" : "%.1fdB", v);
      break;
    case ParamKind::kDelay:
      if (GetDelayUnit() == kTextDelayMetres) return FormatText("%.3fm", v * kMetresPerMs);
      if (GetDelayUnit() == kTextDelayFeet) return FormatText("%.2fft", v * kFeetPerMs);
      break;
    case ParamKind::kRatio: return FormatText("%.1f:1", v);
    case ParamKind::kTime: return FormatText(v < 10.0 ? "%.2fms" : v < 100.0 ? "%.1fms" : "%.0fms", v);
    default: break;
  }
  std::string text = FormatParameterValue(CParamInfo{}, value.value, value);
  return text.empty() ? FormatText("%.1f", v) : text;
}

bool CTextControl::NudgedValue(const CParamValue& current, int notches, CParamValue& out) const {
  const int steps = notches * m_nudgeStep;
  const float v = current.value;
  float next = v;
  switch (current.kind) {
    case ParamKind::kInteger: out = MakeIntParamValue(m_id, current.integer + steps); return true;
    case ParamKind::kLevel: {
      const float step = (m_formatFlags & kTextFineNudge) ? 0.1f : 1.0f;
      next = NudgedLevel(v, float(steps) * step);
      break;
    }
    case ParamKind::kFrequency: next = IndexToFreq(std::max(0, FreqToIndex(v) + steps)); break;
    // A higher Q code is a narrower band: the wheel turned up widens it.
    case ParamKind::kQ: next = IndexToQ(std::clamp(QToIndex(v) - steps, 0, 108)); break;
    case ParamKind::kDelay: {
      const int index = std::clamp(m_nudgeStep, 0, int(std::size(kDelayStepUnits)) - 1);
      next = std::max(0.0f, v + float(double(notches) * kDelayStepUnits[index] * kDelayUnitMs));
      break;
    }
    case ParamKind::kRatio: {
      const int code = v > 0.0f ? int(std::lround(4.0 * std::log2(double(v)))) : 0;
      next = float(std::pow(2.0, double(std::max(0, code + steps)) / 4.0));
      break;
    }
    case ParamKind::kTime: next = IndexToQuarterStep(std::max(0, QuarterStepToIndex(v) + steps)); break;
    default: return false;
  }
  out = CParamValue(m_id, next, current.kind);
  return true;
}

bool CTextControl::ParseEditedText(const std::string& text, CParamValue& out) const {
  const CParamValue current = GetOwnerCurrentValue();
  double number = 0.0;
  switch (current.kind) {
    case ParamKind::kNone: return false;
    case ParamKind::kText: out = MakeTextParamValue(m_id, text); return true;
    case ParamKind::kBool: {
      std::string lower = text;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
      if (lower == "on" || lower == "true") {
        out = MakeBoolParamValue(m_id, true);
      } else if (lower == "off" || lower == "false") {
        out = MakeBoolParamValue(m_id, false);
      } else if (TypedNumber(ParamKind::kBool, text, number)) {
        out = MakeBoolParamValue(m_id, number != 0.0);
      } else {
        return false;
      }
      return true;
    }
    case ParamKind::kInteger:
      if (!TypedNumber(current.kind, text, number) || std::fabs(number) > 2147483647.0) return false;
      out = MakeIntParamValue(m_id, std::int32_t(std::lround(number)));
      return true;
    default: break;
  }
  if (!TypedNumber(current.kind, text, number)) return false;
  float value = float(number);
  switch (current.kind) {
    case ParamKind::kFrequency:
    case ParamKind::kQ: value = ParseParameterValue(current, text); break;
    case ParamKind::kDelay: {
      // A bare number is in the readout's unit.
      std::string typed = text;
      if (!HasLetter(typed)) {
        const std::uint32_t unit = GetDelayUnit();
        typed += unit == kTextDelayMetres ? "m" : unit == kTextDelayFeet ? "ft" : "ms";
      }
      value = ParseParameterValue(current, typed);
      break;
    }
    default: break;
  }
  out = CParamValue(m_id, value, current.kind);
  return true;
}

void CTextControl::CommitEdit(const std::string& text) {
  CParamValue value;
  if (!ParseEditedText(text, value)) return;
  // What the device would not take is not sent: the widget keeps showing what it holds, and
  // the panel says why.
  CDevice* device = m_owner ? m_owner->GetDevice() : nullptr;
  if (const std::string refusal = device ? device->ControlChangeRefusal(value) : std::string(); !refusal.empty()) {
    m_owner->ShowRefusal(m_rect, refusal);
    return;
  }
  SendValue(value);
}
