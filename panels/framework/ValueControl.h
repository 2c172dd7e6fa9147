// Base of the widgets that hold one number within a range and send it as a level (faders and
// knobs): limiting, sending, the end of a drag, the wheel, the arrow keys and updates from the
// device. UI thread only.
#pragma once

#include <cstdint>

#include "panels/framework/ControlObject.h"

class CValueControl : public CControlObject {
 public:
  CValueControl(CControlPanelWnd* owner, int id, const CRect& rect) : CControlObject(owner, id, rect) {}

  // Release ends a drag; the wheel moves a step per notch, and at least one of the unit's own
  // steps. Derived widgets handle the press and the drag itself and pass the rest here.
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;
  // Up/Right and Down/Left move a step, Page Up/Down ten; each at least one of the unit's steps.
  // Wheel and keys step from the value the device holds, not from what the widget showed.
  bool OnKeyDown(int key, std::uint32_t flags, CRect& redraw) override;
  // A drag cut short ends as a release does.
  void OnDeactivate() override;
  // A number (ignored while the user drags: his drag leads).
  CRect UpdateFromParameter(const CParamValue& value) override;

  bool IsDragging() const { return m_dragging; }

  float GetValue() const { return m_value; }
  // Limited to the range; no redraw, nothing sent.
  void SetValue(float value);

 protected:
  // The range, lowest first.
  virtual void GetRange(float& low, float& high) const = 0;
  // The change of one wheel notch or key step.
  virtual float GetStep() const = 0;
  // Starts a drag from the value the device holds: the widget captures the mouse until the
  // release. The rectangle to redraw when the widget showed another value; else empty.
  CRect BeginDrag();
  // Sets the value (limited) and sends it when it changed; redraw gets the rectangle then (and
  // is left as it was otherwise).
  void ChangeValue(float value, CRect& redraw);
  // Ends a drag: the widget shows again the value the device holds
  // (a drag the device refused, or took in coarser steps, leaves no value of its own behind).
  // The rectangle to redraw; empty when nothing changed.
  CRect EndDrag();
  // Moves the value nudge steps of GetStep from the value the device holds.
  void Nudge(float steps, CRect& redraw);

  float m_value = 0.0f;
  bool m_dragging = false;
};
