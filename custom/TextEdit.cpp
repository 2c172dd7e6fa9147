// The text widget's in-place editor.
#include "custom/TextEdit.h"

#include <cctype>
#include <cmath>

#include "custom/CustomControlObject.h"
#include "core/model/Device.h"
#include "core/values/ValueCodes.h"
#include "custom/TextControl.h"

namespace {
// Distances sound travels in one millisecond.
constexpr double kMetresPerMs = 0.34337189;
constexpr double kFeetPerMs = 1.126548232;

bool LastTwoAre(const std::string& s, char a, char b) {
  const std::size_t n = s.size();
  return std::tolower(static_cast<unsigned char>(s[n - 2])) == a &&
         std::tolower(static_cast<unsigned char>(s[n - 1])) == b;
}

// The value kinds a typed text is read as a number for: gain, frequency, Q, delay and angle.
bool IsNumberKind(ParamKind kind) {
  switch (kind) {
    case ParamKind::kLevel:
    case ParamKind::kFrequency:
    case ParamKind::kQ:
    case ParamKind::kDelay:
    case ParamKind::kPhase: return true;
    default: return false;
  }
}

float ParseDelay(const std::string& text, std::uint32_t delayUnit) {
  double n = std::fabs(double(ParseParameterValue(CParamValue(0, 0.0f, ParamKind::kLevel), text)));
  if (text.size() > 2) {
    const char last = text.back();
    if (LastTwoAre(text, 'm', 's')) return SnapDelayTime(float(n));
    if (LastTwoAre(text, 'm', 'm')) return SnapDelayTime(float(n / 343.37189));
    if (LastTwoAre(text, 'c', 'm')) return SnapDelayTime(float(n / 34.337189));
    if (last == 'm' || last == 'M') return SnapDelayTime(float(n / kMetresPerMs));
    if (LastTwoAre(text, 'f', 't')) return SnapDelayTime(float(n / kFeetPerMs));
  }
  switch (delayUnit) {
    case kTextDelayMs: return SnapDelayTime(float(n));
    case kTextDelayMetres: return SnapDelayTime(float(n / kMetresPerMs));
    case kTextDelayFeet: return SnapDelayTime(float(n / kFeetPerMs));
    default: return float(n);
  }
}
}  // namespace

std::optional<float> ParseEditedValue(ParamKind kind, const std::string& text, std::uint32_t delayUnit) {
  // A text that is not one number with the kind's units (an emptied box, "-", "dB", "5x"), or
  // a number without a finite value ("nan", "inf", one beyond the range of a value), stands for
  // no value at all: a unit must never be sent one.
  if (!IsNumberKind(kind) || ClassifyTypedValue(kind, text) != ETypedValue::kNumber) return std::nullopt;
  const float value =
      kind == ParamKind::kDelay ? ParseDelay(text, delayUnit) : ParseParameterValue(CParamValue(0, 0.0f, kind), text);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

bool IsEditCharAllowed(ParamKind kind, char32_t ch) {
  if (ch == 8 || ch == 13 || ch == 27 || (ch >= U'0' && ch <= U'9')) return true;
  const char32_t lower = (ch >= U'A' && ch <= U'Z') ? ch + 32 : ch;
  switch (kind) {
    case ParamKind::kFrequency: return ch == U'.' || lower == U'k' || lower == U'h' || lower == U'z';
    case ParamKind::kLevel: return ch == U'.' || ch == U'-' || lower == U'd' || lower == U'b';
    case ParamKind::kDelay:
      return ch == U'.' || ch == U'-' || lower == U'm' || lower == U's' || lower == U'f' || lower == U't';
    case ParamKind::kQ: return ch == U'.' || ch == U'-';
    case ParamKind::kInteger:
    case ParamKind::kPhase: return false;
    default: return true;
  }
}

CCCTextEdit::~CCCTextEdit() {
  if (!m_open) return;
  m_commit = false;
  Close();
}

int CCCTextEdit::Alignment(std::uint32_t flags) {
  if (flags & kTextAlignRight) return 2;
  if (flags & kTextAlignLeft) return 0;
  return 1;
}

bool CCCTextEdit::Open(CCustomControlPanel* view, CCCTextControl* widget) {
  if (m_open || !view || !widget) return false;
  m_pView = view;
  m_pWidget = widget;
  // Every edit starts committable: an edit thrown away with Escape does not make the next
  // one, ended by a click elsewhere, lose its text.
  m_commit = true;
  CTextEditorHost* host = dynamic_cast<CTextEditorHost*>(view);
  if (!host) return false;
  const CRect r = widget->m_rect;
  m_open = host->OpenTextEditor(this, CRect{r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}, widget->GetText(),
                                Alignment(widget->m_flags));
  return m_open;
}

bool CCCTextEdit::OnChar(char32_t ch) const {
  if (!m_pWidget) return true;
  return IsEditCharAllowed(m_pWidget->GetParameterValue().kind, ch);
}

void CCCTextEdit::OnKeyDown(int key) {
  if (!m_open) return;
  if (key == 13) {
    m_commit = true;
    Close();
  } else if (key == 27) {
    m_commit = false;
    Close();
  }
}

void CCCTextEdit::OnKillFocus(const std::string& text) {
  if (!m_open) return;
  m_open = false;
  if (m_commit) Commit(text);
}

void CCCTextEdit::Detach() {
  m_open = false;
  m_pView = nullptr;
}

void CCCTextEdit::Close() {
  // The view destroys its box, which reports the loss of focus (OnKillFocus) on its way.
  if (auto* host = dynamic_cast<CTextEditorHost*>(m_pView)) host->CloseTextEditor(this);
  m_open = false;
}

void CCCTextEdit::Commit(const std::string& text) {
  // The right is the one of whoever is the current user when the edit ends.
  if (!m_pWidget) return;
  if (!m_pWidget->CurrentUserMayUse()) {
    m_pWidget->RefreshState();
    if (auto* host = dynamic_cast<CTextEditorHost*>(m_pView))
      host->ShowEditRefused(*m_pWidget, m_pWidget->RightsRefusal());
    return;
  }
  const CParamValue current = m_pWidget->GetParameterValue();
  const std::int32_t id = std::int32_t(m_pWidget->m_parameterId);
  // A text the device would not take as typed (a name its unit cannot hold) is refused with
  // the device's words, and the widget goes on showing what the device keeps.
  if (current.kind == ParamKind::kText && m_pWidget->m_pDevice) {
    if (const std::string refusal = m_pWidget->m_pDevice->ControlChangeRefusal(MakeTextParamValue(id, text));
        !refusal.empty()) {
      m_pWidget->RefreshState();
      if (auto* host = dynamic_cast<CTextEditorHost*>(m_pView)) host->ShowEditRefused(*m_pWidget, refusal);
      return;
    }
  }
  m_pWidget->m_caption = text;
  if (m_pView) m_pView->RedrawControl(m_pWidget);
  CParamValue value;
  if (current.kind == ParamKind::kText) {
    value = MakeTextParamValue(id, text);
  } else if (const auto number = ParseEditedValue(current.kind, text, m_pWidget->GetDelayUnit())) {
    value = CParamValue(id, *number, current.kind);
  } else {
    // A text without a value was refused: the widget shows the value the device still has.
    if (IsNumberKind(current.kind) && m_pWidget->IsLinked()) m_pWidget->RefreshState();
    return;
  }
  if (m_pWidget->m_pDevice) m_pWidget->m_pDevice->Gate().ApplyUserChange(value);
}
