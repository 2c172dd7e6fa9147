// Rotary control: a shaded body, a pointer and lit ticks along the rim up to the value.
#include "panels/framework/Knob.h"

#include <algorithm>
#include <cmath>

#include "panels/framework/ControlPanelWnd.h"
#include "platform/Graphics.h"
#include "platform/MouseMessages.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

CPointF OnCircle(float cx, float cy, float radius, float degrees) {
  const double a = double(degrees) * kPi / 180.0;
  return CPointF{cx + float(radius * std::sin(a)), cy - float(radius * std::cos(a))};
}

}  // namespace

CKnob::CKnob(CControlPanelWnd* owner, int id, const CRect& rect) : CValueControl(owner, id, rect) {}

float CKnob::ValueToAngle(float value) const {
  if (m_maximum == m_minimum) return m_minAngle;
  const float fraction = std::clamp((value - float(m_minimum)) / float(m_maximum - m_minimum), 0.0f, 1.0f);
  return m_minAngle + fraction * (m_maxAngle - m_minAngle);
}

void CKnob::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  const float cx = float(m_rect.left) + float(m_rect.Width()) / 2.0f;
  const float cy = float(m_rect.top) + float(m_rect.Height()) / 2.0f;
  const float radius = float(std::min(m_rect.Width(), m_rect.Height())) / 2.0f - 1.0f;
  if (radius <= 2.0f) return;
  const CColour colour{m_colour};
  const CRectF body{cx - radius, cy - radius, radius * 2.0f, radius * 2.0f};
  // Body lit from the upper left, with a dark rim.
  CBrush shade = CBrush::EllipseGradient(CRectF{body.x - radius * 0.4f, body.y - radius * 0.4f, body.width * 1.2f,
                                                body.height * 1.2f},
                                         CColour{0xFF6E6E6Eu}, CColour{0xFF1C1C1Cu});
  g.FillEllipse(shade, body);
  g.DrawEllipse(CPen(CColour{0xFF0A0A0Au}, 1.0f), body);

  const float angle = ValueToAngle(m_value);
  if (m_tickLength > 0) {
    const float outer = radius - 1.0f;
    const float inner = std::max(1.0f, outer - float(m_tickLength));
    for (float a = m_minAngle; a <= angle + 0.01f; a += 10.0f)
      g.DrawLine(CPen(colour, 1.0f), OnCircle(cx, cy, inner, a), OnCircle(cx, cy, outer, a));
  }
  if (m_markStyle == kKnobRimTicks) {
    for (float a = m_minAngle; a <= m_maxAngle + 0.01f; a += 10.0f)
      g.DrawLine(CPen(CColour{0xFFB4B4B4u}, 1.0f), OnCircle(cx, cy, radius + 1.0f, a),
                 OnCircle(cx, cy, radius + 3.0f, a));
  }
  const float tip = std::max(2.0f, radius - float(m_pointerRadius));
  g.DrawLine(CPen(CColour{0xFFF0F0F0u}, 2.0f), OnCircle(cx, cy, tip * 0.25f, angle), OnCircle(cx, cy, tip, angle));
  if (!IsEnabled()) DrawDisabledLook(g);
}

bool CKnob::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) {
  redraw = CRect{};
  switch (message) {
    case WM_LBUTTONDOWN:
      redraw = BeginDrag();
      m_startY = y;
      m_startValue = m_value;
      return true;
    case WM_MOUSEMOVE:
      if (m_dragging) ChangeValue(m_startValue + float(m_startY - y) * m_step, redraw);
      return true;
    default: return CValueControl::OnMouseMessage(message, flags, x, y, redraw);
  }
}
