// What the processor family tells an open processor control panel beyond the common panel
// interface (CControlPanel): what to show and redraw after a change. It asks the panel nothing:
// the questions of a preset action are the panel's own, asked before the action is handed in
// (panels/processor/NerexPresetUi.h). The processor panels implement it next to CControlPanel;
// the device finds it on its open panel and never owns the panel. UI thread only.
#pragma once

#include <cstdint>
#include <string>

// The output EQ curve's sections: the nine parametric bands of the output, then its high-pass
// and its low-pass filter.
inline constexpr int kOutputCurveHighPassBand = 9;
inline constexpr int kOutputCurveLowPassBand = 10;

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
  // Rebuild the panel's texts of linked channel names from the device's channel names (after
  // "Paste Channel Names"). Panels without such texts keep the default.
  virtual void GetLinkedInputNames(bool rebuild) { (void)rebuild; }
  virtual void GetLinkedOutputNames(bool rebuild) { (void)rebuild; }

  // What a control change asks of the open panel. Panels that lack a view do nothing.
  // Shows a page (59..65, 435) with its widget groups.
  virtual void ShowPage(std::uint32_t page) { (void)page; }
  // Moves the equaliser pages to the selected input or output.
  virtual void ShowPageControls(bool redraw) { (void)redraw; }
  // The gain faders take the device's "Gain Nudge" step.
  virtual void ApplyGainNudge(bool redraw) { (void)redraw; }
  // The delay readouts take the device's "Delay Units" and "Delay Multiplier".
  virtual void ApplyDelayDisplay(bool redraw) { (void)redraw; }
  // An equaliser band was changed: the page selects it and redraws its curve. outermost is
  // true when the change came from outside, not from a linked or re-notified parameter.
  virtual void SelectInputPeqBand(int band, bool outermost) { (void)band, (void)outermost; }
  virtual void SelectOutputEqBand(int band, bool outermost) { (void)band, (void)outermost; }
  virtual void SelectDeqBand(int band, bool outermost) { (void)band, (void)outermost; }
  virtual void SelectGeqBand(int band, int second) { (void)band, (void)second; }
  virtual void RefreshGeqSection(bool redraw) { (void)redraw; }
  // The routing buttons light from the routing masks.
  virtual void UpdateBitMaskButtons(bool redraw) { (void)redraw; }

  // The text of the panel's preset display.
  virtual void SetLcdText(const std::string& text) { (void)text; }
};
