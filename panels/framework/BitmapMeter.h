// A level or gain-reduction meter of a device panel drawn from a picture. UI thread only.
#pragma once

#include <cstdint>

#include "panels/framework/ControlObject.h"

class CBitmapImage;

// Mode flags of a meter.
enum : std::uint32_t {
  // Gain reduction: the lit part grows from the top down as the level falls below the top
  // (else a level meter lit from the bottom up to the level).
  kMeterGainReduction = 0x1,
  // A one-pixel peak mark that holds the highest level and falls 1 dB a redraw.
  kMeterPeakHold = 0x2,
};

class CBitmapMeter : public CControlObject {
 public:
  // top and floor in dB (integers); the level and the peak start at the floor.
  CBitmapMeter(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect, int top,
               std::uint32_t mode, int floor);

  void Draw(Graphics& g, const CRect& clip) override;
  // A float value sets the level (limited to floor and top).
  CRect UpdateFromParameter(const CParamValue& value) override;

  // Draws the meter into the graphics (the panel's back buffer) and returns the rectangle to
  // invalidate; with full the whole widget, else only when the shown level changed since the
  // last draw (empty otherwise).
  bool DrawLevel(CRect& out, Graphics& g, bool full);

  int GetLevel() const { return m_level; }
  // Limited to floor and top.
  void SetLevel(int level);
  int GetPeak() const { return m_peak; }
  int m_top;
  int m_floor;
  std::uint32_t m_mode;

  // Height in pixels of the lit part for a level.
  int LitHeight(int level) const;

 private:
  CBitmapImage* m_pImage;
  CTintedImage m_dim{CColourMatrix::Scale(0.22f, 0.22f, 0.22f, 1.0f)};
  int m_level;
  int m_peak;
  int m_drawnLevel;
  int m_drawnPeak;
};
