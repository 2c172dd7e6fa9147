// Main frame: the current user's rights, the custom panel combo, device panels, design mode
// and the messages of the worker and devices.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>

#include "app/CommandIds.h"
#include "app/CommandStates.h"
#include "app/CommsCommands.h"
#include "app/FileCommands.h"
#include "app/KeptCopyOffer.h"
#include "app/MainFrame.h"
#include "app/MainFrameDialogs.h"
#include "app/MdiClient.h"
#include "app/RecentFileList.h"
#include "app/SnapshotCommands.h"
#include "app/UserPrompts.h"
#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "core/comms/Discovery.h"
#include "core/model/Confirm.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "core/model/Snapshot.h"
#include "core/model/User.h"
#include "core/support/LogFile.h"
#include "core/system/SystemFile.h"
#include "core/system/Zone.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Archive.h"
#include "platform/AtomicFile.h"
#include "platform/File.h"
#include "platform/TextFormat.h"
#include "ui/ChildFrame.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

namespace {

// Timer ids of a zone's collapse animation on the rack and the live meters: 101 + zone index.
constexpr std::uint32_t kZoneTimerPeriodMs = 33;

}  // namespace

// --- The current user ---

bool CMainFrame::CurrentUserHasRestriction(std::uint64_t bits) const {
  return (m_system.GetCurrentUserRestrictions() & bits) != 0;
}

bool CMainFrame::CurrentUserMayUse(const CUuid& uuid) const { return m_system.Users().CurrentUserMayOpen(uuid); }

// --- Command states ---

bool CMainFrame::GetLoadLastFileOnStartup() const { return m_system.GetSettings().loadLastFileOnStartup; }

// --- File commands ---

void CMainFrame::ShowSelectedDeviceProperties() {
  m_propertiesPane->ShowDeviceProperties(true, m_system.GetDevice(m_system.GetSelectedDevice()));
}

// --- Combos ---

void CMainFrame::FillCustomPanelCombo() {
  QComboBox& combo = *m_panelCombo;
  const int previous = combo.currentIndex();
  combo.clear();
  const auto& panels = m_system.GetCustomPanels();
  for (std::size_t i = 0; i < panels.size(); ++i) {
    if (!CurrentUserMayUse(panels[i]->GetUuid())) continue;
    combo.addItem(QString::fromStdString(panels[i]->m_name), QVariant::fromValue(int(i)));
  }
  const int count = combo.count();
  if (count == 0) return;
  combo.setCurrentIndex(previous < 0 ? 0 : previous < count ? previous : count - 1);
}

// --- Panel windows ---

namespace {

// The frame that holds an open device panel, or null.
CChildFrame* FrameOfPanel(CControlPanel* panel) {
  return dynamic_cast<CChildFrame*>(FindPanelFrame(dynamic_cast<QWidget*>(panel)));
}

}  // namespace

void CMainFrame::OpenDevicePanel(CDevice* device, bool activate) {
  if (!device) return;
  CControlPanel* panel = device->GetControlPanel();
  if (panel) {
    if (CChildFrame* frame = FrameOfPanel(panel)) frame->showNormal();
    panel->BringPanelToTop();
  } else {
    // A family without a panel class, or a user without access to the device: no window.
    if (!device->GetControlPanelClass() || !CurrentUserMayUse(device->GetUuid())) return;
    CControlPanelWnd* view = CreateControlPanel(device->GetControlPanelClass());
    if (!view) return;
    auto* frame = new CChildFrame(&m_system, view, view);
    frame->setWindowIcon(windowIcon());
    m_mdiClient->addSubWindow(frame);
    const CWindowPlacement placement = device->PanelPlacement().GetPanelPlacement();
    if (placement.normalPosition.left == -1 && placement.normalPosition.top == -1) {
      // Never placed: the area chooses where it goes when it is shown.
      frame->resize(100, 100);
    } else {
      frame->SetWindowPlacement(placement);
    }
    frame->setWindowTitle(QString::fromStdString(device->GetDisplayName()));
    // The panel knows its device before it builds its widgets, so that it can build them for
    // it; the device takes the panel once it stands (a panel that fails leaves the device's
    // "was open" mark for the next save).
    view->SetDevice(device);
    if (!view->Create()) {
      view->SetDevice(nullptr);
      delete frame;
      return;
    }
    device->SetControlPanel(view);
    view->UpdateAllControls();
    frame->SizeToPanel(device->GetPanelSize());
    // A frame never placed gets its place from the area when it is shown: recorded after, once
    // its close button is in view.
    frame->show();
    m_mdiClient->BringCloseButtonIntoView(frame);
    frame->SavePlacement();
    if (activate) m_mdiClient->setActiveSubWindow(frame);
    panel = view;
  }
  m_system.SetModified(true);
  m_system.Panels().OnPanelActivated(CSystemPanels::CPanelView{panel, nullptr});
  PostMessage(FrameMsg::kSetMessageString, Cmd::kIdleMessage, 0);
}

// --- Online commands ---

void CMainFrame::SetDesignMode(std::int32_t mode) {
  if (m_system.GetDesignMode() == mode) return;
  m_system.Panels().SetDesignMode(mode);
  m_system.File().SetLoading(true);
  for (CCPData* panel : m_system.GetCustomPanels()) {
    if (!panel->m_pView) continue;
    panel->m_pView->DestroyPanelWindow();
    panel->m_pView = nullptr;
    if (CurrentUserMayUse(panel->GetUuid())) OpenCustomPanel(panel);
  }
  m_system.Panels().RestorePanelOrder();
  m_system.File().SetLoading(false);
  m_propertiesPane->RefreshProperties();
}

void CMainFrame::SetFullScreenFlag(bool on) { m_system.File().SetFullScreenNow(on); }

// --- Messages ---

CDevice* CMainFrame::MessageDevice(const CPostedMessage& message) const {
  return m_system.FindDeviceByHandle(message.handle);
}

CZone* CMainFrame::MessageZone(const CPostedMessage& message) const {
  for (CZone* zone : m_system.GetZones()) {
    if (message.handle != 0 && zone->GetHandle() == message.handle) return zone;
  }
  return nullptr;
}

void CMainFrame::OnMessage(const CPostedMessage& posted) {
  // Once the close question has been answered only queued log lines are still shown;
  // everything else still queued is dropped.
  if (m_closing && posted.message != FrameMsg::kLogLine) return;
  const auto& handlers = MessageHandlers();
  if (const auto it = handlers.find(posted.message); it != handlers.end()) it->second(*this, posted);
  // A message without a handler does nothing.
}

void CMainFrame::OnZoneTimerMessage(const CPostedMessage& posted) {
  using namespace FrameMsg;
  // The timer belongs to the zone itself: deleting another zone meanwhile leaves it running.
  // A zone deleted before its message arrives is not found; a timer it still has stops on its
  // next tick.
  const CZone* zone = MessageZone(posted);
  if (!zone) return;
  CDeviceRack& rack = m_deviceView->GetRack();
  CLiveMeterView& meters = m_outputPane->GetLiveMeterView();
  switch (posted.message) {
    case kRackZoneTimerStart: rack.StartZoneTimer(zone, kZoneTimerPeriodMs); break;
    case kRackZoneTimerStop: rack.StopZoneTimer(zone); break;
    case kMeterZoneTimerStart: meters.StartZoneTimer(zone, kZoneTimerPeriodMs); break;
    case kMeterZoneTimerStop: meters.StopZoneTimer(zone); break;
    default: break;
  }
}

const std::unordered_map<std::uint32_t, CMainFrame::MessageHandler>& CMainFrame::MessageHandlers() {
  using namespace FrameMsg;
  using M = const CPostedMessage&;
  static const std::unordered_map<std::uint32_t, MessageHandler> handlers = {
      {kOpenDevicePanel,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.OpenDevicePanel(device, true);
       }},
      {kRedrawMeterEntry,
       [](CMainFrame& f, M m) {
         if (!f.m_outputPane->isVisible()) return;
         if (CDevice* device = f.MessageDevice(m)) f.m_outputPane->GetLiveMeterView().AddDevice(device, m.lParam);
       }},
      {kRefreshRack,
       [](CMainFrame& f, M) {
         // Devices that an autoscan found join their zone here, on the UI thread.
         f.m_system.PlaceFoundDevices(f.m_system.GetSelectedDeviceZone());
         if (f.m_deviceView->isVisible()) f.m_deviceView->GetRack().Refresh();
       }},
      {kResizeDevicePanel,
       [](CMainFrame& f, M m) {
         CDevice* device = f.MessageDevice(m);
         if (CChildFrame* frame = device ? FrameOfPanel(device->GetControlPanel()) : nullptr) {
           frame->SizeToPanel(device->GetPanelSize());
           f.m_system.SetModified(true);
         }
       }},
      {kPanelCaption,
       [](CMainFrame& f, M m) {
         // The device's name changed (a name reply, or an edit). Its open panel, if it still
         // has one, takes it as its title; the properties show it for the panel's device and
         // for the selected device, whose panel need not be open.
         CDevice* device = f.MessageDevice(m);
         if (!device) return;
         CControlPanel* view = device->GetControlPanel();
         if (CChildFrame* frame = view ? FrameOfPanel(view) : nullptr) {
           frame->setWindowTitle(QString::fromStdString(device->GetDisplayName()));
         }
         if (view || f.m_system.IsSelectedDevice(device)) f.m_propertiesPane->ShowDeviceProperties(true, device);
       }},
      {kLogLine, [](CMainFrame& f, M m) { f.OnLogLine(m.text); }},
      {kSelectDevice,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.OnSelectDevice(device, m.lParam != 0);
       }},
      {kStatusText, [](CMainFrame& f, M m) { f.SetStatusText(QString::fromStdString(m.text)); }},
      {kStatusEvent,
       [](CMainFrame& f, M m) {
         // The families post status events from their units' replies: what the event announces
         // again is what the unit holds, for the windows, and never a change to spread.
         if (CDevice* device = f.MessageDevice(m))
           device->HeldValues().AnnounceUnitValues([&] { device->OnStatusEvent(int(m.lParam)); });
       }},
      {kInvalidatePanel,
       [](CMainFrame& f, M m) {
         CDevice* device = f.MessageDevice(m);
         if (auto* window = device ? dynamic_cast<QWidget*>(device->GetControlPanel()) : nullptr) window->update();
       }},
      {kFatalCommsError, [](CMainFrame& f, M) { f.m_commsCommands->OnFatalCommsError(); }},
      {kGoOffline,
       [](CMainFrame& f, M) {
         if (f.m_online) f.m_commsCommands->OnOnline();
       }},
      {kOpenSecurityDlg, [](CMainFrame& f, M m) { f.m_commsCommands->OnOpenSecurityDlg(m.wParam); }},
      {kPanelOnlineState,
       [](CMainFrame& f, M m) {
         CDevice* device = f.MessageDevice(m);
         if (CControlPanel* panel = device ? device->GetControlPanel() : nullptr) panel->UpdateOnlineStatus(m.lParam != 0);
       }},
      {kRackZoneTimerStart, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kRackZoneTimerStop, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kMeterZoneTimerStart, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kMeterZoneTimerStop, [](CMainFrame& f, M m) { f.OnZoneTimerMessage(m); }},
      {kRebuildMeters,
       [](CMainFrame& f, M) {
         if (!f.m_outputPane->isVisible()) return;
         f.m_outputPane->GetLiveMeterView().Rebuild();
         f.m_outputPane->GetLiveMeterView().update();
       }},
      {kShowDeviceProps,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m); device && f.m_system.IsSelectedDevice(device))
           f.m_propertiesPane->ShowDeviceProperties(true, device);
       }},
      // The view and the widget are found by handle only while a panel of the system still
      // holds them: a message that arrives after they have gone does nothing.
      {kShowPanelProps,
       [](CMainFrame& f, M m) {
         for (CCPData* panel : f.m_system.GetCustomPanels()) {
           if (panel->m_pView && panel->m_pView->GetHandle() == m.handle)
             f.OnShowPanelProperties(panel->m_pView, m.lParam != 0);
         }
       }},
      {kShowWidgetProps,
       [](CMainFrame& f, M m) {
         for (CCPData* panel : f.m_system.GetCustomPanels()) {
           for (CCustomControlObject* widget : panel->m_widgets) {
             if (widget->GetHandle() == m.handle) f.m_propertiesPane->ShowControlProperties(m.lParam != 0, widget);
           }
         }
       }},
      {kPanelRenamed, [](CMainFrame& f, M) { f.FillCustomPanelCombo(); }},
      // Named by UUID: a panel or snapshot deleted before the message arrived is not found.
      {kOpenCustomPanel,
       [](CMainFrame& f, M m) {
         for (CCPData* panel : f.m_system.GetCustomPanels()) {
           if (panel->GetUuid().ToString() != m.text) continue;
           f.OpenCustomPanel(panel);
           return;
         }
       }},
      {kRecallSnapshot, [](CMainFrame& f, M m) { f.m_snapshots->OnRecallSnapshot(m.text, m.handle); }},
      {kPropagateOnline,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.m_commsCommands->PropagateOnlineStatus(device);
       }},
      {kPropagateWarning,
       [](CMainFrame& f, M m) {
         if (CDevice* device = f.MessageDevice(m)) f.m_commsCommands->PropagateWarningStatus(device);
       }},
      {kSystemMonitorVisible,
       [](CMainFrame& f, M m) {
         f.m_systemMonitorVisible = m.wParam != 0;
         f.m_system.SetSystemMonitorVisible(f.m_systemMonitorVisible);
       }},
      {kImageNotDecoded,
       [](CMainFrame& f, M) {
         for (const CSystemImages::CPictureNotice& notice : f.m_system.Images().TakePictureNotices())
           f.ShowFileError(notice.text, notice.caption);
       }},
      {kSetMessageString, [](CMainFrame& f, M m) { f.OnSetMessageString(std::uint32_t(m.wParam)); }},
  };
  return handlers;
}

void CMainFrame::OnSetMessageString(std::uint32_t id) {
  if (id != Cmd::kIdleMessage) return;
  // What autosave could not do stays in view while it is so for the open file.
  if (const std::string* notice = m_files->AutosaveNotice()) {
    SetStatusText(QString::fromStdString(*notice));
  } else if (m_system.Users().GetUseSystemSecurity()) {
    SetStatusText(QStringLiteral("Current User - ") + QString::fromStdString(m_system.Users().GetCurrentUserName()));
  } else {
    SetStatusText(QStringLiteral("Ready (File Security Disabled)"));
  }
}

void CMainFrame::OnSelectDevice(CDevice* device, bool force) {
  const int selected = m_system.GetSelectedDevice();
  if (selected >= 0 && m_system.GetDevice(selected) != device) {
    const int index = m_system.GetDeviceIndex(device);
    if (index >= 0) {
      m_system.SetSelectedDevice(index);
      OnSelectDevice(device, false);  // as sent to the frame: the rack shows the new selection
    }
  }
  m_propertiesPane->ShowDeviceProperties(force, device);
  m_deviceView->GetRack().Refresh();
}

void CMainFrame::OnShowPanelProperties(CCustomControlPanel* view, bool force) {
  m_propertiesPane->ShowPanelProperties(force, view);
}
