// The Zel breakout box's control panel (887 x 124): the box name, model and ID, its online and
// network LEDs and the identify button on the left; one strip per channel (8 or 16) with the
// channel's name, gain knob and readout and mute button. A user without the right to use device
// controls finds the strips under a half-opacity cover that takes the clicks; one without the
// right to edit device properties cannot type the names. Pictures are drawn in code. UI thread.
#pragma once

#include <memory>
#include <vector>

#include "panels/framework/ControlPanelWnd.h"

class CBitmapImage;
class CBitmapObject;
class CBmpButton;
class CKnob;

class CZelBreakControlPanel : public CControlPanelWnd {
 public:
  static constexpr int kWidth = 887;
  static constexpr int kHeight = 124;

  CZelBreakControlPanel();
  ~CZelBreakControlPanel() override;

  static CControlPanelWnd* CreateObject() { return new CZelBreakControlPanel; }

  // Builds the widgets for the bound box's channel count.
  bool Create() override;
  // The model and ID line, the current user's rights, then every bound widget from the device,
  // then the whole panel.
  void UpdateAllControls() override;
  void UpdateOnlineStatus(bool online) override;
  // The model and ID line follows a new ID at once.
  void UpdateDeviceId() override;
  // The strips' cover shows while the current user lacks the right to use device controls;
  // the box and channel names are editable while the user holds the right to edit device
  // properties. The panel is redrawn when asked.
  void ApplyPermissions(bool redraw) override;

  int GetChannelCount() const { return m_channels; }
  CTextControl* GetModelText() const { return m_modelText; }
  CTextControl* GetBoxName() const { return m_boxName; }
  CBitmapObject* GetStripCover() const { return m_stripCover; }

 private:
  // Draws the background for the channel count: the header, the strips and their numbers.
  void DrawBackground();
  // The model and ID line from the box, redrawn when asked.
  void ShowModelLine(bool redraw);

  int m_channels = 0;
  CTextControl* m_modelText = nullptr;
  CTextControl* m_boxName = nullptr;
  std::vector<CTextControl*> m_channelNames;
  CBitmapObject* m_stripCover = nullptr;
  std::unique_ptr<CBitmapImage> m_coverImage;
  std::unique_ptr<CBitmapImage> m_led;
  std::unique_ptr<CBitmapImage> m_muteFace;
  std::unique_ptr<CBitmapImage> m_identifyFace;
};
