// A rotary control of a device panel, drawn with vector shapes. UI thread only.
#pragma once

#include <cstdint>

#include "panels/framework/ValueControl.h"

// Mark styles of a knob.
enum : int {
  kKnobNoMarks = 0,
  kKnobRimTicks = 1,  // ticks every 10 degrees outside the body along the whole sweep
};

class CKnob : public CValueControl {
 public:
  CKnob(CControlPanelWnd* owner, int id, const CRect& rect);

  void Draw(Graphics& g, const CRect& clip) override;
  // A drag sets value = value at the press + (press y - y) x step, limited to the range; the
  // wheel and the keys move one step.
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;
  // The pointer's angle for a value, degrees clockwise from 12 o'clock.
  float ValueToAngle(float value) const;

  int m_maximum = 100;
  int m_minimum = -100;
  float m_step = 1.0f;  // value change per pixel of vertical drag and per wheel notch
  float m_minAngle = -150.0f;
  float m_maxAngle = 150.0f;
  int m_pointerRadius = 6;
  // Lit ticks every 10 degrees from the minimum angle to the value's angle, this long inward
  // from the rim (0: none).
  int m_tickLength = 0;
  int m_markStyle = kKnobNoMarks;
  std::uint32_t m_colour = 0xFF3CA0FFu;

 protected:
  void GetRange(float& low, float& high) const override {
    low = float(m_minimum);
    high = float(m_maximum);
  }
  float GetStep() const override { return m_step; }

 private:
  int m_startY = 0;
  float m_startValue = 0.0f;
};
