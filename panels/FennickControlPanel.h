// The Fennick and Zel-Fennick matrix processors' control panels, on their compact skin
// (302 x 325, panel page 435): the device name and model line, the preset display with its
// previous, recall and next buttons, the list of preset memories and the buttons of the preset
// actions (store, recall, rename, delete, save and load a preset file, timed presets), and a
// level meter and mute lamp per input and output. The preset questions the device's actions
// ask are answered with the preset dialogs over the panel. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "devices/processor/NerexPanel.h"
#include "panels/ControlPanelWnd.h"

class CBitmapImage;
class CBitmapMeter;
class CBmpButton;
class CCustomComboBox;
class CNerexSeriesDevice;
class CTextControl;

class CFennickControlPanel : public CControlPanelWnd, public INerexSeriesPanel {
 public:
  // The meter timer and its period.
  static constexpr std::uint32_t kMeterTimerId = 1966;
  static constexpr std::uint32_t kMeterPeriodMs = 20;
  // Bound id of the preset list; its selection is read by the device's preset actions.
  static constexpr int kPresetListId = 419;

  CFennickControlPanel();
  // The last panel of either class frees the shared skins.
  ~CFennickControlPanel() override;

  static CControlPanelWnd* CreateObject() { return new CFennickControlPanel; }
  // Panels alive that ran Create.
  static int GetInstanceCount() { return s_instances; }

  // Puts the device on the compact page, loads the skins with the first panel and builds every
  // widget. False without a Fennick device.
  bool Create() override;
  // Re-reads every widget, the preset list and the display from the device and redraws.
  void UpdateAllControls() override;
  // The device name is editable with the right to edit device properties; the display's three
  // buttons show with the right to recall presets.
  void ApplyPermissions(bool redraw) override;
  void OnTimer(std::uint32_t id) override;

  // --- What the device asks of its panel ---
  void RequestMeterUpdate() override { m_meterUpdateRequested = true; }
  void RefillPresetList() override;
  void RefreshGeqCurve(bool) override {}
  void RefreshPeqSection(bool) override {}
  void RefreshDeqSection(bool) override {}
  void RefreshOutputEqSection(bool) override {}
  void RefreshOutputSection(bool) override {}
  void SelectSideTab(std::uint32_t, bool) override {}
  void DrawInputsSection(bool) override {}
  void ShowPage(std::uint32_t page) override;

  // --- The preset questions ---
  int GetPresetSelection() const override;
  bool AskPresetName(const std::string& caption, std::string& name) override;
  bool AskPresetFile(bool save, std::string& path) override;
  void ShowPresetFileError(const std::string& message) override;
  bool EditTimedPresets(TimedPresetEntry* entries, int count) override;
  void OpenPresetManager() override;
  void SetLcdText(const std::string& text) override;

  // --- Widgets, for tests ---
  CTextControl* GetNameText() const { return m_nameText; }
  CTextControl* GetModelText() const { return m_modelText; }
  CTextControl* GetLcdText() const { return m_lcdText; }
  CCustomComboBox* GetPresetList() const { return m_presetList; }
  // The button of an action id (420 to 427, 436 to 438), null for another id.
  CBmpButton* GetActionButton(int id) const;
  CBitmapMeter* GetMeter(int channel) const { return m_meters[std::size_t(channel)]; }
  CBmpButton* GetMute(int channel) const { return m_mutes[std::size_t(channel)]; }

 protected:
  // The skin's background resource and the face of the header texts.
  virtual std::uint32_t GetBackgroundSkin() const;
  virtual const char* GetHeaderFace() const;

 private:
  CNerexSeriesDevice* Processor() const;
  // The current user's restriction mask (0 without a system or user).
  std::uint64_t RestrictionMask() const;
  void Redraw(const CRect& rect);

  static int s_instances;
  bool m_counted = false;
  bool m_meterUpdateRequested = false;

  CTextControl* m_nameText = nullptr;
  CTextControl* m_modelText = nullptr;
  CTextControl* m_lcdText = nullptr;
  CCustomComboBox* m_presetList = nullptr;
  std::array<CBmpButton*, 7> m_actionButtons{};
  std::array<CBmpButton*, 3> m_lcdButtons{};  // recall (436), next (437), previous (438)
  std::array<CBitmapMeter*, 12> m_meters{};   // inputs A to D, then outputs 1 to 8
  std::array<CBmpButton*, 12> m_mutes{};
};

// The Zel-Fennick's panel: the same panel on the Zel line's skin.
class CZelFennickControlPanel : public CFennickControlPanel {
 public:
  static CControlPanelWnd* CreateObject() { return new CZelFennickControlPanel; }

 protected:
  std::uint32_t GetBackgroundSkin() const override;
  const char* GetHeaderFace() const override;
};
