// What the processor family asks of an open processor control panel beyond the common panel
// interface. The processor panels implement it next to CControlPanel; the device finds it on its
// open panel and never owns the panel. UI thread only.
#pragma once

#include <cstdint>

class INerexSeriesPanel {
 public:
  virtual ~INerexSeriesPanel() = default;

  // The meters changed: redraw them on the next meter timer.
  virtual void RequestMeterUpdate() = 0;
  // Rebuilds the preset list from the device's preset memories.
  virtual void RefillPresetList() = 0;
  // Page refreshes after a bulk change; all redraws the whole section.
  virtual void RefreshGeqCurve(bool all) = 0;
  virtual void RefreshPeqSection(bool all) = 0;
  virtual void RefreshDeqSection(bool all) = 0;
  virtual void RefreshOutputEqSection(bool all) = 0;
  virtual void RefreshOutputSection(bool all) = 0;
  virtual void SelectSideTab(std::uint32_t tabId, bool redraw) = 0;
  virtual void DrawInputsSection(bool redraw) = 0;
};
