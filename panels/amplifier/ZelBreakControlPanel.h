// The Zel breakout box's control panel (887 x 124): the box name, model and ID, its online and
// network LEDs and the identify button on the left; one strip per channel (8 or 16) with the
// channel's name, gain knob and readout and mute button. Pictures are drawn in code. UI thread.
#pragma once

#include <memory>
#include <vector>

#include "panels/framework/ControlPanelWnd.h"

class CBitmapImage;
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
  // The model and ID line, then every bound widget from the device, then the whole panel.
  void UpdateAllControls() override;
  void UpdateOnlineStatus(bool online) override;

  int GetChannelCount() const { return m_channels; }
  CTextControl* GetModelText() const { return m_modelText; }

 private:
  // Draws the background for the channel count: the header, the strips and their numbers.
  void DrawBackground();

  int m_channels = 0;
  CTextControl* m_modelText = nullptr;
  std::unique_ptr<CBitmapImage> m_led;
  std::unique_ptr<CBitmapImage> m_muteFace;
  std::unique_ptr<CBitmapImage> m_identifyFace;
};
