// The main frame: menu bar, six toolbars, status bar, the three panes and the central area
// for panel windows. It routes every command of its menus and toolbars and every message that
// the comms worker, the devices and the panels post to it. The rules of the file commands,
// the kept copies' offer, the online commands, the snapshot commands and the command states
// are classes of their own that the frame holds (FileCommands.h and its neighbours).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/CommandStates.h"
#include "app/CommsCommands.h"
#include "app/FileCommands.h"
#include "app/KeptCopyOffer.h"
#include "app/SnapshotCommands.h"
#include "core/system/System.h"
#include "core/system/SystemFile.h"
#include "core/model/UiServices.h"
#include "platform/WindowMessages.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class CDeviceView;
class CErrorTip;
class COutputWnd;
class CDevicePropertiesPane;
class CMdiClient;
class CDevice;
class CCPData;
class CControlPanel;
class CCustomControlPanel;
class CCustomControlPanelWnd;
class CCustomControlObject;
struct CUuid;
class CUser;
struct CKeptCopy;
class CRecentFileList;
class CUpdateChecker;
class CZone;
class IUserPrompts;

class CMainFrame : public QMainWindow, public CMessageTarget {
 public:
  // recent: the application's recent-file list (outlives the frame).
  explicit CMainFrame(CRecentFileList& recent, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Builds bars and panes, starts the system and the timers. False when a bar or pane could
  // not be created (the application then does not start). UI thread, once.
  bool OnCreate();
  // Lays out the bars from the saved workspace, or the first-start layout. Once, after OnCreate.
  void RestoreDocking();

  // Questions and file dialogs go through prompts (the frame's own dialogs when not set).
  void SetUserPrompts(IUserPrompts* prompts);
  IUserPrompts& Prompts();
  void SetUpdateChecker(CUpdateChecker* checker) { m_updateChecker = checker; }
  // The application's About box (command 57664 is the application's own command).
  void SetAboutHandler(std::function<void()> handler) { m_onAbout = std::move(handler); }

  // Commands by id, as the menus, toolbars and accelerators run them.
  QAction* GetCommand(std::uint32_t id) const;
  void RunCommand(std::uint32_t id);
  // Enables, checks and renames every command by its rule (at idle time and before a menu
  // opens).
  void UpdateCommandUI();

  // The rule sets of the frame's commands, each in a class of its own: the file commands and
  // autosave, the offer of the kept copies, the online commands, the snapshot commands.
  CFileCommands& Files() { return *m_files; }
  CKeptCopyOffer& KeptCopies() { return *m_keptCopies; }
  CCommsCommands& CommsCommands() { return *m_commsCommands; }
  CSnapshotCommands& Snapshots() { return *m_snapshots; }

  // Device, zone, clipboard and log commands.
  // Pops up the menu of device models at the cursor.
  void OnAddDeviceMenu();
  // 33000 to 33256: adds a device of the model, names and selects it.
  void OnAddDeviceModel(std::uint32_t command);
  void OnDeleteDevice();
  void OnAddZone();
  void OnDeleteZone();
  void OnEditCopy();
  void OnEditPaste();
  void OnExportLogFile();

  // User and link commands (MainFrameUsers.cpp).
  void OnFileProperties();
  void OnSwitchUsers();
  void OnChangePassword();
  void OnLinkManager();
  // An open Link Manager shows again which members are out of line, after the links marked or
  // cleared some while it was open.
  void ShowLinkMarksInOpenManager();
  void OnLinkingStatus();
  void OnAddLink();
  void OnQuickStartGuide();
  // The quick start guide's file, in the program's folder.
  static std::string QuickStartGuidePath();

  // The custom panel combo, refilled after New and Open.
  void FillCustomPanelCombo();

  // Panel windows (device control panels and custom panels).
  void OpenDevicePanel(CDevice* device, bool activate);
  void OpenCustomPanel(CCPData* panel);
  // 1 design mode, 0 operate mode: every open custom panel is closed and reopened in it.
  void SetDesignMode(std::int32_t mode);

  // The system object the frame owns; it lives exactly as long as the frame.
  CSystem& GetSystem() { return m_system; }

  // Panes, bars and state, for the application object and tests.
  CDeviceView& GetDeviceView() { return *m_deviceView; }
  COutputWnd& GetOutputPane() { return *m_outputPane; }
  CDevicePropertiesPane& GetPropertiesPane() { return *m_propertiesPane; }
  CMdiClient& GetMdiClient() { return *m_mdiClient; }
  QToolBar* GetToolBar(int index) const;
  static constexpr int kToolBarCount = 6;
  QComboBox& GetPanelCombo() { return *m_panelCombo; }
  QComboBox& GetSnapshotCombo() { return *m_snapshotCombo; }
  QString GetStatusText() const;
  bool IsOnline() const { return m_online; }
  bool IsSystemMonitorVisible() const { return m_systemMonitorVisible; }
  bool GetBlinkPhase() const { return m_blinkPhase; }
  bool IsFullScreen() const { return m_fullScreen; }
  // Full screen: the area for panel windows alone covers the monitor (menus, toolbars, panes
  // and the status bar are put away); leaving brings the window and its bars back. Both ways,
  // panel windows left outside the area are brought back once the area has its new size.
  void OnFullScreen();
  // Every device panel and then every custom panel whose top-left corner lies outside the
  // panel area moves there, keeping its size, to (0, 0), the next to (20, 20) and so on.
  void RecoverOffscreenPanels();
  // F6 and Shift+F6: the keyboard focus goes to the next or the previous shown pane, in the
  // order device view, panel area, output pane, properties pane.
  void OnNextPane(bool forward);
  // The "LoadLastFileOnStartup" setting.
  bool GetLoadLastFileOnStartup() const;

  // The product name shown in titles and boxes.
  static QString ProductName();

 protected:
  // UI thread.
  void OnMessage(const CPostedMessage& message) override;
  void OnTimer(std::uint32_t id) override;
  void closeEvent(QCloseEvent* event) override;
  // Escape that no window inside took leaves full screen.
  void keyPressEvent(QKeyEvent* event) override;
  // The system file's error messages, shown on this window.
  void ShowFileError(const std::string& text, const std::string& caption);

 private:
  struct CommandSpec;
  void CreateCommands();
  QAction* AddCommand(std::uint32_t id, const QString& text, const QString& statusTip = QString());
  bool CreateMenuBar();
  bool CreateToolBars();
  bool CreateDockingWindows();
  void CreateStatusBar();
  void SaveDocking();
  void FillRecentFileMenu();
  bool RunCustomPanelCommand(std::uint32_t id);
  void OnDeletePanel();
  // What Copy and Paste act on, by the properties grid's current object: the selected device
  // for a device, the active custom panel view's widgets for a custom panel or a widget.
  enum class EClipboardTarget { kNone, kDevice, kPanelView };
  EClipboardTarget ClipboardTarget() const;
  // Copy (or Paste) on that target.
  void RunClipboardCommand(bool copy);
  // The custom panel view of the active panel window, null when another kind is active.
  CCustomControlPanelWnd* GetActiveCustomPanelView() const;
  void CreateDeviceCommands();
  void ConnectDevicePanes();
  // The rack and the live meters let go of the system (the frame is going).
  void ForgetSystemInPanes();
  void SetFullScreenFlag(bool on);
  // The panel area has a new size: the stray panels come back when a full-screen step waits.
  void OnPanelAreaResized();

  // Close sequence (WM_CLOSE).
  bool OnClose();

  // Frame messages.
  void OnLogLine(const std::string& line);
  void OnSetMessageString(std::uint32_t id);
  void OnSelectDevice(CDevice* device, bool force);
  void OnShowPanelProperties(CCustomControlPanel* view, bool force);
  // The device a message names, or null when it is no longer in the system (a message that
  // was queued before its device was deleted).
  CDevice* MessageDevice(const CPostedMessage& message) const;
  // The frame's handler of each message it takes (UI thread).
  using MessageHandler = void (*)(CMainFrame& frame, const CPostedMessage& message);
  static const std::unordered_map<std::uint32_t, MessageHandler>& MessageHandlers();
  void OnZoneTimerMessage(const CPostedMessage& message);
  // The zone the message names by its handle; null when it is no longer in the system.
  CZone* MessageZone(const CPostedMessage& message) const;

  // Empties the properties grid, then shows the selected device (none: stays empty).
  void ShowSelectedDeviceProperties();

  // The current user's rights, read through the system, which reads them under its lock. A
  // current-user index that names no user has no rights.
  bool CurrentUserHasRestriction(std::uint64_t bits) const;
  bool CurrentUserMayUse(const CUuid& uuid) const;

  void SetStatusText(const QString& text);

  CRecentFileList& m_recentFiles;
  IUserPrompts* m_prompts = nullptr;
  std::unique_ptr<IUserPrompts> m_ownPrompts;
  CUpdateChecker* m_updateChecker = nullptr;
  std::function<void()> m_onAbout;

  std::map<std::uint32_t, QAction*> m_commands;
  QMenu* m_recentMenuAnchor = nullptr;
  QAction* m_recentSeparator = nullptr;
  QToolBar* m_toolBars[kToolBarCount] = {};
  QComboBox* m_panelCombo = nullptr;
  QComboBox* m_snapshotCombo = nullptr;
  QLabel* m_statusMessage = nullptr;

  CDeviceView* m_deviceView = nullptr;
  COutputWnd* m_outputPane = nullptr;
  CDevicePropertiesPane* m_propertiesPane = nullptr;
  // The dialogs of the grid's picker rows, installed while this frame lives.
  std::unique_ptr<class CQtPropertyPickers> m_pickers;
  CMdiClient* m_mdiClient = nullptr;

  // Declared after the panes' pointers and before the flags; destroyed before the frame's
  // window and its message target, after the worker has stopped (OnClose or its destructor).
  // What the model asks of this frame; installed in the system once, outlives it.
  class UiServices;
  std::unique_ptr<UiServices> m_uiServices;
  CSystem m_system;
  // The frame's rule sets, made with the frame; each holds the frame and the system.
  friend class CFileCommands;
  friend class CKeptCopyOffer;
  friend class CCommsCommands;
  friend class CCommandStates;
  friend class CSnapshotCommands;
  std::unique_ptr<CFileCommands> m_files;
  std::unique_ptr<CKeptCopyOffer> m_keptCopies;
  std::unique_ptr<CCommsCommands> m_commsCommands;
  std::unique_ptr<CCommandStates> m_commandStates;
  std::unique_ptr<CSnapshotCommands> m_snapshots;

  bool m_online = false;
  bool m_systemMonitorVisible = true;
  bool m_blinkPhase = false;
  bool m_autoscanRunning = false;
  bool m_fullScreen = false;
  bool m_closing = false;
  bool m_created = false;
  bool m_wasMaximised = false;
  // What full screen put away, shown again on leaving it.
  std::vector<QPointer<QWidget>> m_hiddenForFullScreen;
  // The frame's size once the full-screen step has taken effect; the stray panels come back
  // when the panel area is resized at that size.
  QSize m_fullScreenStepSize;
  QSize m_sizeBeforeFullScreen;
  bool m_recoverPanelsPending = false;
  // The device the link manager showed last time (not stored in the file).
  std::int32_t m_linkManagerDevice = 0;
  QByteArray m_normalGeometry;
};
