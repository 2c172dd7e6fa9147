// The Fennick and Zel-Fennick matrix processors' control panels, on their compact skin
// (302 x 325, panel page 435): the device name and model line, the preset display with its
// previous, recall and next buttons, the list of preset memories and the buttons of the preset
// actions (store, recall, rename, delete, save and load a preset file, timed presets), and a
// level meter and mute lamp per input and output. The preset actions' questions are asked with
// the preset dialogs over the panel before an action goes in to the device. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "panels/processor/NerexSeriesBaseControlPanel.h"

class CFennickControlPanel : public CNerexSeriesBaseControlPanel {
 public:
  // Bound id of the preset list; its selection is read by the device's preset actions.
  static constexpr int kPresetListId = 419;

  CFennickControlPanel();
  // The last panel of either class frees the shared skins.
  ~CFennickControlPanel() override;

  static CControlPanelWnd* CreateObject() { return new CFennickControlPanel; }
  // Panels alive that ran Create.
  static int GetInstanceCount();

  // Puts the device on the compact page, loads the skins with the first panel and builds every
  // widget into the compact view's group. False without a Fennick device.
  bool Create() override;
  // The model line, then everything the base refreshes.
  void UpdateAllControls() override;
  // The model line follows a new ID at once.
  void UpdateDeviceId() override;
  // The compact view's meters on the meter timer; other pages as the base draws them.
  void OnTimer(std::uint32_t id) override;
  // The list keeps the row the user chose, limited to the memories there are; the display
  // follows the memories too.
  void RefillPresetList() override;
  // The Fennick panels have the compact page only: any other page the device is given turns
  // back to it, so that the panel never shows the empty groups of the other pages.
  void ShowPage(std::uint32_t page) override;

  // --- The preset questions ---
  int GetPresetSelection() const override;
  bool AskPresetFile(bool save, std::string& path) override;
  void ShowPresetFileError(const std::string& message) override;
  void ShowPresetFileNote(const std::string& message) override;
  bool EditTimedPresets(TimedPresetEntry* entries, int count) override;

  // --- Widgets, for tests ---
  CTextControl* GetNameText() const { return m_deviceName; }
  CTextControl* GetModelText() const { return m_headerText; }
  CTextControl* GetLcdText() const { return m_lcdText; }
  CCustomComboBox* GetPresetList() const { return m_presetList; }
  // The button of an action id (420 to 427, 436 to 438), null for another id.
  CBmpButton* GetActionButton(int id) const;
  // Inputs 0 to 3, then outputs 4 to 11.
  CBitmapMeter* GetMeter(int channel) const;
  CBmpButton* GetMute(int channel) const;

 protected:
  // The skin's background resource and the face of the header texts.
  virtual std::uint32_t GetBackgroundSkin() const;
  virtual const char* GetHeaderFace() const;

 private:
  // Appends the widget to the panel and to the compact view's group.
  template <class T>
  T* AddCompact(T* widget);
  // The model and ID line from the device.
  void ShowModelLine();

  bool m_counted = false;
  std::array<CBmpButton*, 7> m_actionButtons{};
};

// The Zel-Fennick's panel: the same panel on the Zel line's skin.
class CZelFennickControlPanel : public CFennickControlPanel {
 public:
  static CControlPanelWnd* CreateObject() { return new CZelFennickControlPanel; }

 protected:
  std::uint32_t GetBackgroundSkin() const override;
  const char* GetHeaderFace() const override;
};
