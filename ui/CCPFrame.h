// The frame of a custom control panel: the design toolbar, a border and toolbar that follow
// the design mode, the placement kept in the panel data in design-mode geometry, and the close
// box refused to restricted users of a locked panel. UI thread.
#pragma once

#include <cstdint>
#include <functional>

#include "ui/PanelFrame.h"

class CCPData;
class CCustomControlPanel;
class CSystem;
class QToolBar;

// Commands of the design toolbar, in its order.
inline constexpr std::uint32_t kDesignSelectMode = 32869;
inline constexpr std::uint32_t kDesignLowerToBottom = 32882;
// Control id and toolbar resource of the design toolbar.
inline constexpr int kDesignToolBarId = 59401;
inline constexpr int kDesignToolBarResource = 371;

// What a sizing border adds to a fixed one on each side (the size frame less the fixed frame).
inline constexpr int kSizeFrameExtra = 4 - 3;

class CCCPFrame : public CPanelFrame {
 public:
  // view is the custom panel's window; panel the same object seen through its interface.
  CCCPFrame(CCustomControlPanel* panel, QWidget* view, QWidget* parent = nullptr);

  // Set by the opener right after construction.
  void SetSystem(CSystem* system);
  CSystem* GetSystem() const { return m_system; }
  CCustomControlPanel* GetPanel() const { return m_panel; }
  // The panel data bound to the view (the system's panel whose open view it is), or null.
  CCPData* GetPanelData() const;
  QToolBar* GetDesignToolBar() const { return m_toolBar; }
  // The design tools' commands go here (the view handles them).
  void SetCommandHandler(std::function<void(std::uint32_t)> handler) { m_onCommand = std::move(handler); }

  // Lays the toolbar and the view out for the system's design mode: in design mode the
  // toolbar above the view and a sizing border; in operate mode the view alone, fixed size.
  void LayoutForMode();
  // Stores the placement in the panel data in design-mode geometry when it differs (the file
  // is then modified).
  void SavePlacement();
  // Applies a placement stored in design-mode geometry to the frame in the current mode.
  void RestorePlacement(const CWindowPlacement& placement);
  // The toolbar's height in design mode.
  int ToolBarHeight() const;
  // Closes the frame for the program; never refused (the close box and the system menu's
  // Close are the user's and are refused by IsCloseRefused).
  void CloseFromProgram();
  // Whether the user's close is refused now.
  bool IsCloseRefused() const;
  // Drops the close box and the system menu's Close item.
  void RemoveCloseCommand();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void OnExitSizeMove() override { SavePlacement(); }
  void OnSetFocus() override;

 private:
  void CreateDesignToolBar();
  bool DesignMode() const;

  CCustomControlPanel* m_panel;
  QWidget* m_view;
  QWidget* m_client = nullptr;
  QToolBar* m_toolBar = nullptr;
  CSystem* m_system = nullptr;
  std::function<void(std::uint32_t)> m_onCommand;
  bool m_programClose = false;
  bool m_laidOut = false;
};
