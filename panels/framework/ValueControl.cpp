// Shared number handling of faders and knobs.
#include "panels/framework/ValueControl.h"

#include <algorithm>
#include <cmath>

#include "panels/framework/ControlPanelWnd.h"
#include "platform/MouseMessages.h"

void CValueControl::SetValue(float value) {
  float low = 0.0f;
  float high = 0.0f;
  GetRange(low, high);
  m_value = std::isfinite(value) ? std::clamp(value, std::min(low, high), std::max(low, high)) : std::min(low, high);
}

CRect CValueControl::BeginDrag() {
  if (m_owner) m_owner->SetActiveObject(this);
  // The drag starts from what the device holds.
  const CRect changed = UpdateFromParameter(GetOwnerCurrentValue());
  m_dragging = true;
  return changed;
}

void CValueControl::ChangeValue(float value, CRect& redraw) {
  const float before = m_value;
  SetValue(value);
  if (m_value == before) return;
  redraw = m_rect;
  SendValue(CParamValue(m_id, m_value, ParamKind::kLevel));
}

CRect CValueControl::EndDrag() {
  if (!m_dragging) return CRect{};
  m_dragging = false;
  return UpdateFromParameter(GetOwnerCurrentValue());
}

void CValueControl::OnDeactivate() {
  const CRect changed = EndDrag();
  if (m_owner && !IsRectEmpty(changed)) m_owner->RedrawRect(&changed, true, true);
}

void CValueControl::Nudge(float steps, CRect& redraw) {
  // A value the widget showed on its own (a drag's) is no place to step from.
  redraw = UpdateFromParameter(GetOwnerCurrentValue());
  ChangeValue(NudgedLevel(m_value, steps * GetStep()), redraw);
}

bool CValueControl::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) {
  (void)x;
  (void)y;
  redraw = CRect{};
  switch (message) {
    case WM_LBUTTONUP:
      redraw = EndDrag();
      if (m_owner && m_owner->GetActiveObject() == this) m_owner->SetActiveObject(nullptr);
      return true;
    case WM_MOUSEWHEEL: {
      const int notches = std::int32_t(flags) / WHEEL_DELTA;
      if (notches != 0) Nudge(float(notches), redraw);
      return true;
    }
    default: return false;
  }
}

bool CValueControl::OnKeyDown(int key, std::uint32_t flags, CRect& redraw) {
  (void)flags;
  redraw = CRect{};
  float steps = 0.0f;
  switch (key) {
    case VK_UP:
    case VK_RIGHT: steps = 1.0f; break;
    case VK_DOWN:
    case VK_LEFT: steps = -1.0f; break;
    case VK_PRIOR: steps = 10.0f; break;
    case VK_NEXT: steps = -10.0f; break;
    default: return false;
  }
  Nudge(steps, redraw);
  return true;
}

CRect CValueControl::UpdateFromParameter(const CParamValue& value) {
  if (value.kind == ParamKind::kNone || value.kind == ParamKind::kText || value.kind == ParamKind::kBool)
    return CRect{};
  if (m_dragging) return CRect{};
  const float before = m_value;
  SetValue(value.kind == ParamKind::kInteger ? float(value.integer) : value.value);
  return m_value == before ? CRect{} : m_rect;
}
