// What the amplifier family asks of an open amplifier control panel beyond the common panel
// interface. The amplifier panel implements it next to CControlPanel; the device finds it on
// its open panel and never owns the panel. UI thread only.
#pragma once

class IZelSeriesPanel {
 public:
  virtual ~IZelSeriesPanel() = default;

  // The information page (temperature, counters, impedances); force sets every text.
  virtual void RefreshInfoDisplay(bool force) = 0;
  // The level meters from the device's meter record.
  virtual void RefreshLevelMeters() = 0;
  // The state widgets (standby, protect, limits, loads); force redraws them all.
  virtual void RefreshState(bool force) = 0;
  // The mode and solo widgets after a mode change.
  virtual void UpdateStateWidgets() = 0;
  // Drops the widget that holds the mouse (a standby change disables the controls) and
  // redraws the whole panel.
  virtual void ReleaseActiveWidgetAndRedraw() = 0;
};
