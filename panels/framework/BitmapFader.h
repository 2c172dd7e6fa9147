// A fader of a device panel drawn with a cap picture over a drawn track. UI thread only.
#pragma once

#include <cstdint>

#include "panels/framework/ValueControl.h"

class CBitmapImage;

// Fader kinds.
enum : int {
  kFaderChannelGain = 2,
  kFaderGeqBand = 6,
};

// The track law is linear in dB for both kinds: the cap's centre travels from the bottom of
// the rectangle less half the cap (minimum) to its top plus half the cap (maximum). The panels'
// ranges are short (a graphic-EQ band spans 24 dB, a channel gain a few tens), so a linear
// track keeps every step of a wheel or key nudge the same distance. A graphic-EQ fader marks
// its centre (0 dB) on the track.
class CBitmapFader : public CValueControl {
 public:
  // capImage is not owned.
  CBitmapFader(CControlPanelWnd* owner, int id, CBitmapImage* capImage, int kind, const CRect& rect);

  void Draw(Graphics& g, const CRect& clip) override;
  // A press on the cap drags it; a press on the track moves the cap's centre to the pointer;
  // the wheel and the keys move the value a nudge step.
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;

  int GetKind() const { return m_kind; }
  // The cap centre's y for a value, and the value at a y (limited to the range).
  int ValueToY(float value) const;
  float YToValue(int y) const;

  float m_maximum = 10.0f;
  float m_minimum = -60.0f;
  float m_nudgeStep = 0.5f;

 protected:
  void GetRange(float& low, float& high) const override {
    low = m_minimum;
    high = m_maximum;
  }
  float GetStep() const override { return m_nudgeStep; }

 private:
  int CapHeight() const;

  CBitmapImage* m_pCap;
  int m_kind;
  int m_grabOffset = 0;  // pointer y minus cap centre at the press
};
