// The main frame's online commands and what the frame shows as units come and go.
#include "core/comms/CommsWorker.h"
#include "app/CommsCommands.h"

#include <string>

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/MainFrameDialogs.h"
#include "app/UserPrompts.h"
#include "core/comms/Discovery.h"
#include "core/model/Confirm.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"
#include "platform/TextFormat.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

namespace {

// Units named in each list of the going-online notice; the log names every one.
constexpr int kNamedUnits = 5;

// One list of the notice: its first units, one a line, and how many more there are.
struct CUnitList {
  std::string names;
  int count = 0;
  void Add(const std::string& line) {
    if (count++ < kNamedUnits) names += "\n" + line;
  }
  std::string Text() const {
    if (count <= kNamedUnits) return names;
    return names + "\n... and " + WithThousands(std::uint64_t(count - kNamedUnits)) + " more, each named in the log";
  }
};

}  // namespace

void CCommsCommands::OnOnline() {
  if (m_frame.m_online) {
    // A worker that has not gone idle may still be inside a transaction: the port stays open
    // under it and the frame stays online; the request stays raised, so the next Go Offline
    // finds the worker idle.
    if (!m_system.GetComms().RequestIdle() || !m_system.GetComms().SetOnline(false)) {
      m_frame.UpdateCommandUI();
      return;
    }
    ShowOffline();
    return;
  }

  std::uint32_t choice = m_system.GetSettings().onGoOnline;
  if (choice != kGoOnlineRetrieve && choice != kGoOnlineSend && choice != kGoOnlineAsk) {
    // A choice that a later version stored, or a damaged setting: the person is asked, as by
    // default, and the log says why.
    m_system.WriteLog("Going Online: the setting OnGoOnline=" + std::to_string(choice) +
                      " is no choice this version knows - asking what to do\n");
    choice = kGoOnlineAsk;
  }
  if (!m_frame.m_autoscanRunning) m_system.GetComms().SetNeedSecurityGet(true);
  if (m_system.GetDesignMode() != 0) m_frame.SetDesignMode(0);
  if (choice == kGoOnlineAsk) {
    if (m_system.GetDeviceCount() == 0) {
      choice = kGoOnlineRetrieve;
    } else {
      bool always = false;
      if (!m_frame.Prompts().AskGoOnline(choice, always)) {
        // Cancelled: everything stays offline as it was.
        m_system.GetComms().SetNeedSecurityGet(false);
        return;
      }
      if (always) m_system.Settings().SetOnGoOnline(choice);
    }
  }
  bool connected = false;
  if (choice == kGoOnlineRetrieve || choice == kGoOnlineSend) connected = m_system.GoOnline(choice);
  if (connected) {
    m_frame.m_online = true;
    // Until their units connect, the widgets and the panels take no changes.
    m_system.Panels().RedrawCustomPanels(nullptr);
    TellPanelsOnlineState();
    TellUnaddressedUnits();
  } else {
    m_system.GetComms().RequestIdle();
    m_system.GetComms().SetNeedSecurityGet(false);
  }
  m_frame.ShowSelectedDeviceProperties();
  m_frame.UpdateCommandUI();
}

void CCommsCommands::TellUnaddressedUnits() {
  CUnitList own, beyond, shared, clashing;
  const std::vector<CDevice*> devices = m_system.GetDevices();
  for (CDevice* device : devices) {
    if (device->GetDeviceId() == 0) {
      m_system.WriteLog("Left out until it has an ID of its own: " + device->GetUnitText() + "\n");
      own.Add(device->GetUnitText());
      continue;
    }
    // The family's frames would carry such an ID to the unit at another ID, or to every unit of
    // the model.
    const std::string refusal = device->AddressRules().AddressRefusal(device->GetDeviceId());
    if (refusal.empty()) continue;
    m_system.WriteLog("Left out until it has an ID its frames carry: " + device->GetUnitText() + " - " + refusal + "\n");
    beyond.Add(device->GetUnitText() + " - " + refusal);
  }
  // Devices that the frames of an earlier device reach too: the worker leaves them out.
  for (const CSharedAddress& s : FindSharedAddresses(devices)) {
    m_system.WriteLog("Left out: " + s.device->GetUnitText() + " - its frames would also reach " +
                      s.earlier->GetUnitText() + "\n");
    shared.Add(s.device->GetUnitText() + " - same frames as " + s.earlier->GetUnitText());
  }
  // Devices whose requests another device's unit answers too: they are asked, but cannot be read
  // while both units are on the line. Those beside a device left out are told of with it.
  for (const CAddressClash& clash : FindAddressClashes(devices)) {
    const std::string text = clash.device->GetUnitText() + " - " + AddressClashText(clash);
    m_system.WriteLog("Address clash: " + text + "\n");
    if (!clash.leftOut) clashing.Add(text);
  }
  std::string told;
  auto addPart = [&told](const CUnitList& list, const char* one, const char* many) {
    if (list.count == 0) return;
    if (!told.empty()) told += "\n\n";
    told += list.count == 1 ? std::string(one) : "These " + WithThousands(std::uint64_t(list.count)) + many;
    told += list.Text();
  };
  addPart(own,
          "This unit has ID 0, the address of every unit of a model. Nothing is sent to it or read from it until it "
          "has an ID of its own.\n",
          " units have ID 0, the address of every unit of a model. Nothing is sent to them or read from them "
          "until each has an ID of its own.\n");
  addPart(beyond,
          "This unit has an ID that its frames cannot carry: they would reach another unit. Nothing is sent to it or "
          "read from it until it has an ID they carry.\n",
          " units have IDs that their frames cannot carry: they would reach other units. Nothing is sent to "
          "them or read from them until each has an ID they carry.\n");
  addPart(shared,
          "This unit is reached by the frames of a unit before it in the file: it would take what that unit is sent. "
          "Nothing is sent to it or read from it until it has an ID of its own, and while it is on the line the "
          "unit before it does not connect: their answers garble each other.\n",
          " units are reached by the frames of units before them in the file: each would take what the other "
          "is sent. Nothing is sent to them or read from them until each has an ID of its own, and while one is on "
          "the line the unit before it does not connect: their answers garble each other.\n");
  addPart(clashing,
          "A unit of another family answers this unit's identity query too: while both are on the line their "
          "answers garble each other, and it does not connect. It is asked now and then, as an absent unit is.\n",
          " units have their identity query answered by a unit of another family too: while both of a pair are on "
          "the line their answers garble each other, and the unit does not connect. Each is asked now and then, as "
          "an absent unit is.\n");
  if (told.empty()) return;
  m_frame.Prompts().ShowMessage(CMainFrame::ProductName().toStdString(), told, IUserPrompts::Icon::Exclamation);
}

void CCommsCommands::TellPanelsOnlineState() {
  for (CDevice* device : m_system.GetDevices())
    if (CControlPanel* panel = device->GetControlPanel()) panel->UpdateOnlineStatus(device->IsConnected());
}

void CCommsCommands::OnAutoscan() {
  m_frame.m_autoscanRunning = true;
  if (!m_frame.m_online) OnOnline();
  if (m_frame.m_online) RunAutoscanDialog(m_frame, m_system);
  m_frame.m_autoscanRunning = false;
  m_frame.m_deviceView->GetRack().Refresh();
  m_frame.m_outputPane->GetLiveMeterView().Redraw();
  if (m_system.GetDeviceCount() > 0 && m_system.GetSelectedDevice() < 0) {
    m_system.SetSelectedDevice(0);
    m_frame.OnSelectDevice(m_system.GetDevice(0), false);
  }
  m_frame.UpdateCommandUI();
}

void CCommsCommands::OnGlobalMute() {
  if (!m_frame.m_online) return;
  if (!m_system.ConfirmAction(kConfirmGlobalMute)) return;
  // The broadcast records the new state.
  m_system.SendGlobalMute(!m_system.IsGlobalMute());
  m_frame.UpdateCommandUI();
}

void CCommsCommands::OnOptions() {
  if (!m_frame.Prompts().RunSettingsSheet(m_system)) return;
  const std::uint32_t minutes = m_system.GetSettings().autoSave;
  if (minutes != 0) {
    m_frame.SetTimer(FrameTimer::kAutosave, minutes * 60000u);
  } else {
    m_frame.KillTimer(FrameTimer::kAutosave);
  }
}

void CCommsCommands::StopSystem() { m_system.GetComms().StopCommsThread(); }

void CCommsCommands::ShowOffline() {
  m_frame.m_online = false;
  TellPanelsOnlineState();
  m_frame.m_outputPane->GetLiveMeterView().Redraw();
  m_frame.m_deviceView->GetRack().Refresh();
  m_system.Panels().RedrawCustomPanels(nullptr);
  m_frame.ShowSelectedDeviceProperties();
  m_frame.UpdateCommandUI();
}

void CCommsCommands::OnFatalCommsError() {
  m_frame.m_online = false;
  m_system.GetComms().SetOnline(false);
  // Everything shows offline as after Go Offline.
  ShowOffline();
  m_frame.Prompts().ShowMessage(CMainFrame::ProductName().toStdString(), "Fatal Comms Error - Going Offline",
                                IUserPrompts::Icon::Exclamation);
}

void CCommsCommands::OnOpenSecurityDlg(WPARAM pass) {
  RunSecurityDialog(m_frame, m_system, pass == 0 ? "Checking Security..." : "Updating Security...");
}

void CCommsCommands::PropagateOnlineStatus(CDevice* device) {
  // Panels and linked widgets follow; nothing goes to the unit.
  device->SystemEntries().AnnounceConnectionStatus();
  // Its widgets take changes again, or no longer.
  m_system.Panels().RedrawCustomPanels(device);
  // Away, the links keep the values whose writes it had not acknowledged; back, it takes what
  // its links gave while it was away.
  m_system.Links().MarkLinkWritesOwed(device);
  m_system.Links().BringLinkMembersIntoLine(device);
  m_frame.ShowLinkMarksInOpenManager();
}

void CCommsCommands::PropagateWarningStatus(CDevice* device) { device->SystemEntries().AnnounceWarningStatus(); }
