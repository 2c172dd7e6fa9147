// Main frame construction, bars, panes, docking layout and the close sequence.
#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <algorithm>

#include "app/AppResources.h"
#include "app/CommandIds.h"
#include "app/CommandStates.h"
#include "app/CommsCommands.h"
#include "app/FileCommands.h"
#include "app/KeptCopyOffer.h"
#include "app/MdiClient.h"
#include "app/RecentFileList.h"
#include "app/SnapshotCommands.h"
#include "app/UpdateChecker.h"
#include "app/UserPrompts.h"
#include "core/comms/CommsWorker.h"
#include "ui/images/PropertyPickerDialogs.h"
#include "platform/SettingsStore.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

namespace {

// Workspace section of the settings store and the version of the saved layout.
const char* const kWorkspaceSection = "Workspace";
const char* const kWorkspaceState = "DockingState";
const char* const kWorkspaceGeometry = "FrameGeometry";
constexpr int kWorkspaceVersion = 1;

struct ToolBarSpec {
  const char* objectName;
  const char* windowText;
  bool anySide;
};

// In table order: File, Comms, Global Mute, Design, Custom Control Panels, Snapshot.
const ToolBarSpec kToolBarSpecs[CMainFrame::kToolBarCount] = {
    {"FileToolbar", "", true},
    {"CommsToolbar", "Comms Toolbar", true},
    {"GlobalMuteToolbar", "Global Mute Toolbar", true},
    {"DesignToolbar", "Design Toolbar", true},
    {"CustomControlPanelsToolbar", "Custom Control Panels", false},
    {"SnapshotToolbar", "Snapshot Toolbar", false},
};

}  // namespace

// The frame's side of the model's requests: posts, message boxes, confirmations, file errors and
// the property pickers.
class CMainFrame::UiServices : public IUiServices {
 public:
  explicit UiServices(CMainFrame& frame) : m_frame(frame) {}
  bool Post(CPostedMessage message) override { return m_frame.Post(std::move(message)); }
  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    m_frame.Prompts().ShowMessage(caption, text, IUserPrompts::Icon::Warning);
  }
  bool AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                  bool& neverAgain) override {
    return m_frame.Prompts().AskConfirm(caption, question, okText, neverAgain);
  }
  void ShowFileError(const std::string& text, const std::string& caption) override {
    m_frame.ShowFileError(text, caption);
  }
  bool PickImage(IImageStore* images, CCCImageBase*& image) override {
    return m_frame.m_pickers && m_frame.m_pickers->PickImage(images, image);
  }
  bool PickParameter(IZonedDevices* devices, CCustomControlObject* widget) override {
    return m_frame.m_pickers && m_frame.m_pickers->PickParameter(devices, widget);
  }
  bool PickColour(std::uint32_t& colour) override { return m_frame.m_pickers && m_frame.m_pickers->PickColour(colour); }
  bool PickFont(CLogFont& font) override { return m_frame.m_pickers && m_frame.m_pickers->PickFont(font); }

 private:
  CMainFrame& m_frame;
};

CMainFrame::CMainFrame(CRecentFileList& recent, QWidget* parent)
    : QMainWindow(parent),
      m_recentFiles(recent),
      m_uiServices(std::make_unique<UiServices>(*this)),
      m_files(std::make_unique<CFileCommands>(*this, m_system)),
      m_keptCopies(std::make_unique<CKeptCopyOffer>(*this)),
      m_commsCommands(std::make_unique<CCommsCommands>(*this, m_system)),
      m_commandStates(std::make_unique<CCommandStates>(*this, m_system)),
      m_snapshots(std::make_unique<CSnapshotCommands>(*this, m_system)) {
  m_system.SetUiServices(m_uiServices.get());
  setObjectName(QStringLiteral("MainFrame"));
  const QImage icon = LoadAppIcon(kImgAppIcon);
  if (!icon.isNull()) setWindowIcon(QIcon(QPixmap::fromImage(icon)));
  resize(1024, 700);
}

CMainFrame::~CMainFrame() {
  // A frame destroyed without closing (tests, a failed start) still ends the worker here; of
  // what it posted only the log lines are still shown.
  m_closing = true;
  m_system.GetComms().StopCommsThread();
  if (m_mdiClient) m_mdiClient->SetResizeHandler(nullptr);
  // Panel windows go before the system object: their views point at it and its devices. A
  // window closed by the program (Switch Users closes and reopens the custom panels) waits for
  // its deferred deletion outside the area's list, so every frame among the children goes.
  if (m_mdiClient) {
    for (QMdiSubWindow* frame : m_mdiClient->findChildren<QMdiSubWindow*>()) delete frame;
  }
  DispatchPendingMessages();
  // The panes outlive this object's message target and the system while the window base
  // destroys them.
  if (m_outputPane) m_outputPane->SetMessageSink(nullptr);
  ForgetSystemInPanes();
}

void CMainFrame::SetUserPrompts(IUserPrompts* prompts) {
  m_prompts = prompts;
}

IUserPrompts& CMainFrame::Prompts() {
  if (m_prompts) return *m_prompts;
  if (!m_ownPrompts) m_ownPrompts = std::make_unique<CQtUserPrompts>(this);
  return *m_ownPrompts;
}

QString CMainFrame::ProductName() { return AppString(kStrProductName); }

bool CMainFrame::OnCreate() {
  if (m_created) return true;
  // The panel area under the bar that holds its "Close Full Screen" button in full screen.
  auto* centre = new QWidget(this);
  m_mdiClient = new CMdiClient(centre);
  auto* column = new QVBoxLayout(centre);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(m_mdiClient->GetCloseFullScreenBar());
  column->addWidget(m_mdiClient, 1);
  setCentralWidget(centre);
  m_mdiClient->SetResizeHandler([this] { OnPanelAreaResized(); });
  m_mdiClient->SetCloseFullScreenHandler([this] {
    if (m_fullScreen) OnFullScreen();
  });

  // The system reads its settings, loads the image library and starts its worker, idle; the
  // worker's messages come to this frame.
  m_system.SetSystemMonitorVisible(m_systemMonitorVisible);
  m_system.Start(m_uiServices.get());

  CreateCommands();
  if (!CreateMenuBar()) return false;
  CreateStatusBar();
  if (!CreateToolBars()) return false;
  setDockNestingEnabled(true);
  if (!CreateDockingWindows()) return false;

  FillCustomPanelCombo();
  m_snapshots->FillSnapshotCombo();
  if (const std::uint32_t minutes = m_system.GetSettings().autoSave; minutes != 0) {
    SetTimer(FrameTimer::kAutosave, minutes * 60000u);
  }
  SetTimer(FrameTimer::kBlink, FrameTimer::kBlinkPeriodMs);
  m_files->UpdateTitle();
  m_mdiClient->SetLogo(LoadAppImage(kImgLogo));
  m_created = true;
  UpdateCommandUI();
  return true;
}

QAction* CMainFrame::AddCommand(std::uint32_t id, const QString& text, const QString& statusTip) {
  auto* action = new QAction(text, this);
  action->setData(QVariant::fromValue<uint>(id));
  if (!statusTip.isEmpty()) action->setStatusTip(statusTip);
  connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  m_commands[id] = action;
  return action;
}

void CMainFrame::CreateCommands() {
  using namespace Cmd;
  AddCommand(kFileNew, "&New", "Create a new document\nNew")->setShortcut(QKeySequence("Ctrl+N"));
  AddCommand(kFileOpen, "&Open...", "Open an existing document\nOpen")->setShortcut(QKeySequence("Ctrl+O"));
  AddCommand(kFileSave, "&Save", "Save the active document\nSave")->setShortcut(QKeySequence("Ctrl+S"));
  AddCommand(kFileSaveAs, "Save &As...", "Save the active document with a new name\nSave As");
  for (std::uint32_t i = 0; i < kRecentFileCount; ++i) {
    AddCommand(kRecentFile1 + i, "Recent File", "Open this document");
  }
  AddCommand(kAppExit, "E&xit", "Quit the application; prompts to save documents\nExit");
  AddCommand(kFileProperties, "Properties");
  AddCommand(kExportLogFile, "Export Log File...");

  AddCommand(kEditCopy, "&Copy", "Copy the selection and put it on the Clipboard\nCopy")
      ->setShortcut(QKeySequence("Ctrl+C"));
  AddCommand(kEditPaste, "&Paste All Device Settings", "Insert Clipboard contents\nPaste")
      ->setShortcuts({QKeySequence("Ctrl+V"), QKeySequence("Shift+Insert")});

  AddCommand(kViewDeviceView, "Device View")->setCheckable(true);
  AddCommand(kViewSystemMonitor, "System Monitor")->setCheckable(true);
  AddCommand(kViewDeviceProperties, "Device Properties")->setCheckable(true);
  AddCommand(kViewFileToolbar, "File")->setCheckable(true);
  AddCommand(kViewCommsToolbar, "Comms")->setCheckable(true);
  AddCommand(kViewMuteToolbar, "System Mute")->setCheckable(true);
  AddCommand(kViewDesignToolbar, "Design")->setCheckable(true);
  AddCommand(kViewPanelsToolbar, "Custom Control Panel")->setCheckable(true);
  AddCommand(kViewSnapshotToolbar, "Snapshot")->setCheckable(true);
  AddCommand(kViewStatusBar, "&Status Bar", "Show or hide the status bar\nToggle StatusBar")->setCheckable(true);
  QAction* full = AddCommand(kFullScreen, "Full Screen");
  full->setCheckable(true);
  full->setShortcut(QKeySequence("Ctrl+F"));
  AddCommand(kNextPane, "Next Pane")->setShortcut(QKeySequence("F6"));
  AddCommand(kPrevPane, "Previous Pane")->setShortcut(QKeySequence("Shift+F6"));

  QAction* online = AddCommand(kOnline, "Go Online");
  online->setIconText(QStringLiteral("Online"));
  online->setCheckable(true);
  online->setShortcut(QKeySequence("Ctrl+Q"));
  AddCommand(kOptions, "Options", "Set the application options\nApplication Options");
  QAction* mute = AddCommand(kGlobalMute, "Global Mute", "Mute all outputs in the system\nSystem Mute");
  mute->setCheckable(true);
  mute->setShortcut(QKeySequence("Ctrl+M"));
  AddCommand(kAutoscan, "Autoscan");
  AddCommand(kLoader, "Preset/Firmware Loader");

  AddCommand(kSwitchUsers, "Switch Users");
  AddCommand(kChangePassword, "Change Password");

  AddCommand(kDeviceProperties, "Properties");
  AddCommand(kPanelProperties, "Properties");
  AddCommand(kAddDevice, "Add Device", "Add a new device\nNew Device");
  AddCommand(kDeleteDevice, "Delete Device", "Delete the currently selected device\nDelete Device");
  AddCommand(kAddZone, "Add Zone", "Add a new zone to the rack\nAdd Zone");
  AddCommand(kDeleteZone, "Delete Zone", "Remove the currently active zone from the rack\nDelete Zone");

  AddCommand(kLinkManager, "Link Manager");
  AddCommand(kLinkingStatus, "Linking Status")->setCheckable(true);
  AddCommand(kAddLink, "Add Link");
  AddCommand(kDeleteLink, "Delete Link");
  AddCommand(kVisualLinker, "Visual Linker");
  AddCommand(kOperateMode, "Operate Mode")->setCheckable(true);
  AddCommand(kDesignMode, "Design Mode")->setCheckable(true);
  AddCommand(kImageLibraryManager, "Image Library Manager");

  AddCommand(kNewCustomPanel, "New Custom Control Panel");
  AddCommand(kDeletePanel, "Delete Panel");
  AddCommand(kNewSnapshot, "New Snapshot", "Creates a new snapshot");
  AddCommand(kDeleteSnapshot, "Delete Snapshot", "Deletes the currently selected Snapshot");
  AddCommand(kRenameSnapshot, "Rename Snapshot", "Renames the currently selected Snapshot");

  AddCommand(kAppAbout, "&About...", "Display program information, version number and copyright\nAbout");
  AddCommand(kQuickStartGuide, "Quick Start Guide");
  AddCommand(kCheckForUpdates, "Check for Updates");
  CreateDeviceCommands();

  // The accelerators work on the frame itself, also while full screen has put the menus and
  // toolbars away.
  for (auto& [id, action] : m_commands) {
    (void)id;
    addAction(action);
  }

  // Status tips carry "prompt\ntip" as the string table does: the menu shows the prompt,
  // the tool tip the part after the line break.
  for (auto& [id, action] : m_commands) {
    (void)id;
    const QString tip = action->statusTip();
    const int split = tip.indexOf('\n');
    if (split >= 0) {
      action->setStatusTip(tip.left(split));
      action->setToolTip(tip.mid(split + 1));
    }
  }
}

bool CMainFrame::CreateMenuBar() {
  using namespace Cmd;
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MenuBar"));

  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->addAction(GetCommand(kFileNew));
  file->addAction(GetCommand(kFileOpen));
  file->addAction(GetCommand(kFileSave));
  file->addAction(GetCommand(kFileSaveAs));
  file->addSeparator();
  file->addAction(GetCommand(kFileProperties));
  file->addAction(GetCommand(kExportLogFile));
  m_recentSeparator = file->addSeparator();
  for (std::uint32_t i = 0; i < kRecentFileCount; ++i) file->addAction(GetCommand(kRecentFile1 + i));
  file->addSeparator();
  file->addAction(GetCommand(kAppExit));
  m_recentMenuAnchor = file;

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  edit->addAction(GetCommand(kEditCopy));
  edit->addAction(GetCommand(kEditPaste));

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  QMenu* toolbars = view->addMenu(QStringLiteral("Toolbars"));
  for (std::uint32_t id : {kViewFileToolbar, kViewCommsToolbar, kViewMuteToolbar, kViewDesignToolbar,
                           kViewPanelsToolbar, kViewSnapshotToolbar}) {
    toolbars->addAction(GetCommand(id));
  }
  view->addAction(GetCommand(kViewStatusBar));
  view->addSeparator();
  view->addAction(GetCommand(kViewDeviceView));
  view->addAction(GetCommand(kViewSystemMonitor));
  view->addAction(GetCommand(kViewDeviceProperties));
  view->addSeparator();
  view->addAction(GetCommand(kFullScreen));

  QMenu* devices = bar->addMenu(QStringLiteral("&Devices"));
  devices->addAction(GetCommand(kAddDevice));
  devices->addAction(GetCommand(kDeleteDevice));
  devices->addSeparator();
  devices->addAction(GetCommand(kAddZone));
  devices->addAction(GetCommand(kDeleteZone));
  devices->addSeparator();
  devices->addAction(GetCommand(kDeviceProperties));

  QMenu* comms = bar->addMenu(QStringLiteral("&Comms"));
  comms->addAction(GetCommand(kOnline));
  comms->addAction(GetCommand(kAutoscan));
  comms->addAction(GetCommand(kGlobalMute));
  comms->addSeparator();
  comms->addAction(GetCommand(kOptions));

  QMenu* design = bar->addMenu(QStringLiteral("De&sign"));
  design->addAction(GetCommand(kLinkManager));
  design->addAction(GetCommand(kLinkingStatus));
  design->addAction(GetCommand(kAddLink));
  design->addAction(GetCommand(kDeleteLink));
  design->addAction(GetCommand(kVisualLinker));
  design->addSeparator();
  design->addAction(GetCommand(kOperateMode));
  design->addAction(GetCommand(kDesignMode));
  design->addSeparator();
  design->addAction(GetCommand(kNewCustomPanel));
  design->addAction(GetCommand(kDeletePanel));
  design->addAction(GetCommand(kImageLibraryManager));

  QMenu* users = bar->addMenu(QStringLiteral("&Users"));
  users->addAction(GetCommand(kSwitchUsers));
  users->addAction(GetCommand(kChangePassword));

  QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
  tools->addAction(GetCommand(kLoader));

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->addAction(GetCommand(kQuickStartGuide));
  help->addAction(GetCommand(kCheckForUpdates));
  help->addSeparator();
  help->addAction(GetCommand(kAppAbout));

  // Menus read their states just before they open, so every item shows the state of that moment.
  for (QMenu* menu : {file, edit, view, devices, comms, design, users, tools, help}) {
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandUI(); });
  }
  return true;
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar"));
  m_statusMessage = new QLabel(bar);
  bar->addWidget(m_statusMessage, 1);
  for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
    auto* label = new QLabel(QString::fromLatin1(indicator), bar);
    label->setEnabled(false);
    bar->addPermanentWidget(label);
  }
}

bool CMainFrame::CreateToolBars() {
  using namespace Cmd;
  for (int i = 0; i < kToolBarCount; ++i) {
    auto* bar = new QToolBar(QString::fromLatin1(kToolBarSpecs[i].windowText), this);
    bar->setObjectName(QString::fromLatin1(kToolBarSpecs[i].objectName));
    bar->setAllowedAreas(kToolBarSpecs[i].anySide ? Qt::AllToolBarAreas : Qt::TopToolBarArea);
    bar->setIconSize(QSize(16, 16));
    m_toolBars[i] = bar;
  }
  auto add = [this](QToolBar* bar, std::uint32_t id) {
    QAction* action = GetCommand(id);
    const QImage image = LoadToolbarImage(id);
    if (!image.isNull()) action->setIcon(QIcon(QPixmap::fromImage(image)));
    bar->addAction(action);
  };
  QToolBar* file = m_toolBars[0];
  add(file, kFileNew);
  add(file, kFileOpen);
  add(file, kFileSave);
  file->addSeparator();
  add(file, kEditCopy);
  add(file, kEditPaste);
  file->addSeparator();
  add(file, kAppAbout);

  add(m_toolBars[1], kOnline);
  add(m_toolBars[1], kOptions);
  add(m_toolBars[1], kAutoscan);

  add(m_toolBars[2], kGlobalMute);

  QToolBar* design = m_toolBars[3];
  add(design, kLinkManager);
  add(design, kLinkingStatus);
  design->addSeparator();
  add(design, kOperateMode);
  add(design, kDesignMode);
  design->addSeparator();
  add(design, kImageLibraryManager);

  // The two combos stand where the placeholder buttons 32801 and 32810 were: drop-down
  // lists without an edit field, 150 pixels wide.
  m_panelCombo = new QComboBox(m_toolBars[4]);
  m_panelCombo->setObjectName(QStringLiteral("PanelCombo"));
  m_panelCombo->setEditable(false);
  m_panelCombo->setFixedWidth(150);
  m_toolBars[4]->addWidget(m_panelCombo);
  m_toolBars[4]->addSeparator();
  add(m_toolBars[4], kNewCustomPanel);
  add(m_toolBars[4], kDeletePanel);
  connect(m_panelCombo, &QComboBox::activated, this, [this] { RunCommand(Cmd::kPanelCombo); });

  m_snapshotCombo = new QComboBox(m_toolBars[5]);
  m_snapshotCombo->setObjectName(QStringLiteral("SnapshotCombo"));
  m_snapshotCombo->setEditable(false);
  m_snapshotCombo->setFixedWidth(150);
  m_toolBars[5]->addWidget(m_snapshotCombo);
  m_toolBars[5]->addSeparator();
  add(m_toolBars[5], kNewSnapshot);
  add(m_toolBars[5], kDeleteSnapshot);
  add(m_toolBars[5], kRenameSnapshot);
  connect(m_snapshotCombo, &QComboBox::activated, this, [this] { RunCommand(Cmd::kSnapshotCombo); });

  // First layout: File, Comms, Global Mute and Design in one row, left to right; the Custom
  // Control Panels and Snapshot toolbars together in the next row. A saved workspace moves
  // them later (RestoreDocking).
  for (int i = 0; i < 4; ++i) addToolBar(Qt::TopToolBarArea, m_toolBars[i]);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, m_toolBars[4]);
  addToolBar(Qt::TopToolBarArea, m_toolBars[5]);

  // Images of toolbar 131 for the menus only.
  for (std::uint32_t id : {kDeviceProperties, kAddDevice, kDeleteDevice, kAddZone, kDeleteZone}) {
    const QImage image = LoadToolbarImage(id);
    if (!image.isNull()) GetCommand(id)->setIcon(QIcon(QPixmap::fromImage(image)));
  }
  return true;
}

bool CMainFrame::CreateDockingWindows() {
  m_deviceView = new CDeviceView(AppString(kStrDeviceView), this);
  m_deviceView->setObjectName(QStringLiteral("DeviceView"));
  m_deviceView->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  m_deviceView->resize(200, 200);

  m_outputPane = new COutputWnd(AppString(kStrOutput), this);
  m_outputPane->setObjectName(QStringLiteral("OutputPane"));
  m_outputPane->SetMessageSink(this);
  m_outputPane->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
  m_outputPane->resize(100, 100);

  m_propertiesPane = new CDevicePropertiesPane(AppString(kStrProperties), this);
  m_propertiesPane->setObjectName(QStringLiteral("PropertiesPane"));
  m_propertiesPane->GetGrid().SetMessageSink(this);
  m_propertiesPane->GetGrid().SetRightsHost(&m_system);
  m_pickers = std::make_unique<CQtPropertyPickers>(&m_propertiesPane->GetGrid());
  m_propertiesPane->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  m_propertiesPane->resize(100, 100);

  const QImage deviceIcon = LoadAppImage(kImgDeviceViewIcon);
  if (!deviceIcon.isNull()) m_deviceView->setWindowIcon(QIcon(QPixmap::fromImage(deviceIcon)));
  const QImage outputIcon = LoadAppImage(kImgOutputIcon);
  if (!outputIcon.isNull()) m_outputPane->setWindowIcon(QIcon(QPixmap::fromImage(outputIcon)));

  ConnectDevicePanes();

  // The device view's toolbar runs the frame's commands.
  CDeviceViewToolBar& tools = m_deviceView->GetToolBar();
  tools.addAction(GetCommand(Cmd::kDeviceProperties));
  tools.addSeparator();
  tools.addAction(GetCommand(Cmd::kAddDevice));
  tools.addAction(GetCommand(Cmd::kDeleteDevice));
  tools.addSeparator();
  tools.addAction(GetCommand(Cmd::kAddZone));
  tools.addAction(GetCommand(Cmd::kDeleteZone));

  addDockWidget(Qt::LeftDockWidgetArea, m_deviceView);
  addDockWidget(Qt::BottomDockWidgetArea, m_outputPane);
  addDockWidget(Qt::RightDockWidgetArea, m_propertiesPane);
  return true;
}

void CMainFrame::RestoreDocking() {
  // First start: most of the screen, centred, so that the rack, the panels and a System
  // Monitor strip tall enough for its meters all have room; never smaller than 1024 x 700.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    const QSize size(std::max(1024, area.width() * 9 / 10), std::max(700, area.height() * 9 / 10));
    resize(size);
    // Centred, but with the title bar on the screen when the screen is smaller than that.
    const QPoint centred = area.center() - QPoint(size.width() / 2, size.height() / 2);
    move(std::max(centred.x(), area.left()), std::max(centred.y(), area.top()));
  }
  // First sizes of the panes; a saved workspace replaces them. The output pane leaves the
  // System Monitor strip about 190 pixels: room for the meters, thermometers and names.
  resizeDocks({m_deviceView, m_propertiesPane}, {220, 290}, Qt::Horizontal);
  resizeDocks({m_outputPane}, {260}, Qt::Vertical);

  // A saved workspace moves every bar and pane it knows to where the user left it; bars and
  // panes it does not know keep the first-start layout that OnCreate made.
  const std::string state = CSettingsStore::GetString(kWorkspaceSection, kWorkspaceState, "");
  if (!state.empty()) {
    restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state)), kWorkspaceVersion);
  }
  const std::string geometry = CSettingsStore::GetString(kWorkspaceSection, kWorkspaceGeometry, "");
  if (!geometry.empty()) restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(geometry)));
  FillCustomPanelCombo();
  m_snapshots->FillSnapshotCombo();
  UpdateCommandUI();
}

void CMainFrame::SaveDocking() {
  CSettingsStore::WriteString(kWorkspaceSection, kWorkspaceState,
                              saveState(kWorkspaceVersion).toBase64().toStdString());
  CSettingsStore::WriteString(kWorkspaceSection, kWorkspaceGeometry,
                              saveGeometry().toBase64().toStdString());
}

QToolBar* CMainFrame::GetToolBar(int index) const {
  return index >= 0 && index < kToolBarCount ? m_toolBars[index] : nullptr;
}

QAction* CMainFrame::GetCommand(std::uint32_t id) const {
  auto it = m_commands.find(id);
  return it == m_commands.end() ? nullptr : it->second;
}

void CMainFrame::SetStatusText(const QString& text) {
  if (m_statusMessage) m_statusMessage->setText(text);
}

QString CMainFrame::GetStatusText() const { return m_statusMessage ? m_statusMessage->text() : QString(); }

void CMainFrame::ShowFileError(const std::string& text, const std::string& caption) {
  Prompts().ShowMessage(caption, text, IUserPrompts::Icon::Exclamation);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (OnClose()) {
    event->accept();
    // The application ends with its main window (a splash still up does not keep it alive).
    QCoreApplication::exit(0);
  } else {
    event->ignore();
  }
}
