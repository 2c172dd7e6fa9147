// The main frame: menu bar, six toolbars, status bar, the three panes and the central area
// for panel windows. It routes every command of its menus and toolbars and every message that
// the comms worker, the devices and the panels post to it.
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

  // File commands.
  void OnFileNew();
  void OnFileOpen();
  // True when the file was stored (with a path or through the dialog).
  bool OnFileSave();
  void OnFileSaveAs();
  // n = 1 to 4.
  void OnRecentFile(int n);
  // True when the file was opened; false when the user cancelled or the load failed. The file
  // is known by its full path from here on (the title, the recent files, its saves), whatever
  // folder the path was given from. A file that does not open, of which a save cut short kept
  // the earlier bytes, is offered to be put back and opened again.
  bool OpenFilePath(const std::string& path);
  // Each copy of a file's earlier bytes that a save cut short kept (platform/AtomicFile.h), of
  // every file or of the file at path, the copies of one file together and newest first, each
  // offered with what its file is now (gone, not opening, or written since): the user puts it
  // back over the file (what the file held is kept as a copy of its own), saves it under
  // another name, deletes it, or keeps it to be asked again at the next start (saves of its
  // file leave it meanwhile). True when one was put back.
  bool OfferKeptCopies(const std::string& path = {});
  // True when the caller may drop the file (saved, not modified, or No); false on Cancel and
  // when the save did not happen.
  bool AskSaveChanges();
  // 1 OK, 2 Cancel; stored (when given) tells whether the file was stored after OK.
  int SaveAsDialog(bool* stored = nullptr);
  void UpdateTitle();

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

  // Online commands.
  void OnOnline();
  void OnAutoscan();
  void OnGlobalMute();
  void OnOptions();

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

  // Custom panel and snapshot combos, refilled after New and Open.
  void FillCustomPanelCombo();
  void FillSnapshotCombo();

  // Snapshot commands (MainFrameSnapshots.cpp). The combo recalls the chosen snapshot after
  // the confirmation; New names a new snapshot or overwrites one; Delete and Rename act on the
  // combo's chosen snapshot.
  void OnSnapshotCombo();
  // After a recall was asked for: the combo filled again when the snapshot was recalled, else
  // the snapshot controls showing the current snapshot again.
  void ShowSnapshotRecall(bool recalled);
  // Says message in a tip under the snapshot combo: what a recall made there could not do.
  void SayAtSnapshotCombo(const std::string& message);
  // The tip, null before the first message.
  CErrorTip* GetSnapshotTip() const { return m_snapshotTip; }
  static constexpr int kSnapshotTipMs = 3000;
  void OnNewSnapshot();
  void OnDeleteSnapshot();
  void OnRenameSnapshot();

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
  bool IsCommandEnabled(std::uint32_t id) const;
  // The device, zone, clipboard and model commands; no answer for the others.
  std::optional<bool> IsDeviceCommandEnabled(std::uint32_t id) const;
  // The snapshot commands; no answer for the others.
  std::optional<bool> IsSnapshotCommandEnabled(std::uint32_t id) const;
  // The custom panel commands: New and Delete Panel, the modes, the combo and the design tools.
  std::optional<bool> IsCustomPanelCommandEnabled(std::uint32_t id) const;
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
  // Enables and ticks the design toolbar of every open custom panel window.
  void UpdateDesignToolBars();
  // The snapshot combo, the properties and the modified flag after snapshots were added,
  // overwritten or deleted.
  void AfterSnapshotsChanged();
  void CreateDeviceCommands();
  void ConnectDevicePanes();
  // The rack and the live meters let go of the system (the frame is going).
  void ForgetSystemInPanes();
  // Checks and texts that follow the system's state.
  void UpdateSystemCommandUI();
  // Timer 78: stores a system that holds changes its file does not, unless a question is open
  // or another program changed the file since it was read or saved.
  void OnAutosave();
  // Shows text in the status bar in place of the idle text while the file stays the open one.
  void SetAutosaveNotice(const std::string& text);
  // Stops the comms worker and waits for it (closing).
  void StopSystem();
  void SetFullScreenFlag(bool on);
  // The panel area has a new size: the stray panels come back when a full-screen step waits.
  void OnPanelAreaResized();

  // Close sequence (WM_CLOSE).
  bool OnClose();

  // Frame messages.
  void OnLogLine(const std::string& line);
  void OnSetMessageString(std::uint32_t id);
  void OnSelectDevice(CDevice* device, bool force);
  void OnFatalCommsError();
  void OnOpenSecurityDlg(WPARAM pass);
  void OnShowPanelProperties(CCustomControlPanel* view, bool force);
  // The snapshot named by its UUID text, after the confirmation; nothing when none has it.
  // button is the handle of the custom-panel button that asked for it (0: none), under which
  // a refusal, or the units the recall passed by, are told; without that button, under the
  // snapshot combo.
  void OnRecallSnapshot(const std::string& snapshotId, std::uint64_t button = 0);
  void PropagateOnlineStatus(CDevice* device);
  // Going online: the units that still have ID 0, and those whose IDs their frames cannot carry,
  // go to the log and one message.
  void TellUnaddressedUnits();
  // Going online or offline: each open device panel shows whether its unit is connected now (a
  // unit away at that moment posts nothing of its own).
  void TellPanelsOnlineState();
  // The frame is offline: the panels, meters, rack, custom panels and the selected device's
  // properties show it.
  void ShowOffline();
  void PropagateWarningStatus(CDevice* device);
  // The device a message names, or null when it is no longer in the system (a message that
  // was queued before its device was deleted).
  CDevice* MessageDevice(const CPostedMessage& message) const;
  // The frame's handler of each message it takes (UI thread).
  using MessageHandler = void (*)(CMainFrame& frame, const CPostedMessage& message);
  static const std::unordered_map<std::uint32_t, MessageHandler>& MessageHandlers();
  void OnZoneTimerMessage(const CPostedMessage& message);
  // The zone the message names by its handle; null when it is no longer in the system.
  CZone* MessageZone(const CPostedMessage& message) const;

  // Refreshes of the panes after the system changed as a whole (New, Open).
  void RefreshAfterClear();
  // Empties the properties grid, then shows the selected device (none: stays empty).
  void ShowSelectedDeviceProperties();
  // Stores the file to path; true when it was stored. A failure is reported, or, when failure
  // is given, its text goes there instead.
  bool StoreFile(const std::string& path, std::string* failure = nullptr);
  // The file was saved or read again: what autosave said about it holds no longer.
  void ForgetAutosaveNotices();
  // False, with a message, when path names no file that can be read.
  bool CheckFileReadable(const std::string& path);
  // The question about one kept copy; opens tells whether its file opens (looked at when not
  // given), untilSaved that Keep lasts until the file is next saved; place and count, where the
  // copy stands among those of its file, newest first. True when it was put back.
  bool OfferKeptCopy(const CKeptCopy& kept, std::optional<bool> opens, bool untilSaved, std::size_t place = 1,
                     std::size_t count = 1);
  // The save dialog for a system file, starting at initialName: a name given back without an
  // extension becomes the ".ovd" file, asked about before one of that name is replaced (No asks
  // for a name again). False when no name was given.
  bool ChooseSystemFileToSave(const std::string& initialName, std::string& path);
  // Where the Open and Save As dialogs start: the open file's folder, with its name when
  // withName (Save As); for an untitled system the folder of the file used last, or the
  // documents folder. Without a name the files' pattern stands in its place.
  std::string FileDialogStart(bool withName) const;
  // Says what copies of the file at path are kept, as it is opened (opened: whether it
  // opened): asks about each that was not asked about before, or each when the file did not
  // open, and names the others. told gets those left; true when one was put back (the rest then
  // wait).
  bool TellOfKeptCopies(const std::string& path, bool opened, std::vector<CKeptCopy>& told);

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
  CErrorTip* m_snapshotTip = nullptr;  // a child window, made at the first message
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
  // What autosave could not do, for the file at the notice's path, until a save succeeds; the
  // file's stamp on the disk that another program's change was last told for; the file whose
  // failed autosave was told.
  std::string m_autosaveNotice;
  std::string m_autosaveNoticePath;
  std::optional<CFileStamp> m_toldOutsideChange;
  std::string m_autosaveFailureTold;
  QByteArray m_normalGeometry;
};
