// The frame of a device control panel: a fixed-size MDI child that keeps its placement in the
// device and reports activation and closing for the stacking order of open panels. UI thread.
#pragma once

#include "platform/Types.h"
#include "ui/PanelFrame.h"

class CControlPanel;
class CSystem;

class CChildFrame : public CPanelFrame {
 public:
  // view is the panel's window (it becomes the frame's widget); panel is the same object seen
  // through the model-side interface; system keeps the stacking order (may be null).
  CChildFrame(CSystem* system, CControlPanel* panel, QWidget* view, QWidget* parent = nullptr);

  CControlPanel* GetPanel() const { return m_panel; }
  // Sizes the frame so that its client area is exactly client, without moving it; the user
  // cannot resize it afterwards.
  void SizeToPanel(CSize client);
  // Stores the frame's placement in the device when it differs from the stored one (the file
  // is then modified). Nothing while the panel has no device.
  void SavePlacement();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void OnExitSizeMove() override { SavePlacement(); }
  void OnSetFocus() override;

 private:
  CSystem* m_system;
  CControlPanel* m_panel;
};
