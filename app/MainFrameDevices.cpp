// Main frame: device, zone, clipboard and log commands, and the wiring of the device view and
// the live meters to the system.
#include <QAction>
#include <QCursor>
#include <QMenu>

#include "app/AppResources.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "ui/CustomControlPanelWnd.h"
#include "app/UserPrompts.h"
#include "core/model/Confirm.h"
#include "core/model/Device.h"
#include "core/system/Zone.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"

namespace {

// The Add Device menu in order; id 0 is a separator.
struct ModelItem {
  std::uint32_t id;
  const char* text;
};
constexpr ModelItem kModelMenu[] = {
    {33056, "QOL Zel-1"},       {33051, "QOL Zel-2"},       {33052, "QOL Zel-3"},
    {33053, "QOL Zel-4"},       {33054, "QOL Zel-5"},       {33055, "QOL Zel-6"},
    {0, nullptr},               {33040, "QOL Cobranet XB-08"}, {33044, "QOL Dante XB-08"},
    {0, nullptr},               {33016, "Fennick"},         {33017, "QOL Zel-Fennick"},
    {0, nullptr},               {33120, "Nerex48"},         {33118, "Nerex46"},
    {33116, "Nerex44"},         {33115, "Nerex26"},         {33114, "Nerex24"},
    {33138, "Halcrest Hollin2"}, {0, nullptr},              {33121, "Torvex48"},
};
// The Hollin2 item makes a processor of type 112 with its own model word.
constexpr std::uint32_t kHollin2Command = 33138;
constexpr std::uint32_t kHollin2Type = 112;
constexpr std::uint32_t kHollin2Model = 0x1C4A21;

}  // namespace

void CMainFrame::CreateDeviceCommands() {
  for (const ModelItem& item : kModelMenu) {
    if (item.id != 0) AddCommand(item.id, QString::fromLatin1(item.text));
  }
}

void CMainFrame::ConnectDevicePanes() {
  CDeviceRack& rack = m_deviceView->GetRack();
  rack.SetSystem(&m_system);
  m_outputPane->GetLiveMeterView().SetSystem(&m_system);
  m_deviceView->SetCommandLookup([this](std::uint32_t id) { return GetCommand(id); });
  m_deviceView->SetBeforeMenu([this] { UpdateCommandUI(); });
}

void CMainFrame::ForgetSystemInPanes() {
  if (m_deviceView) m_deviceView->GetRack().SetSystem(nullptr);
  if (m_outputPane) m_outputPane->GetLiveMeterView().SetSystem(nullptr);
}

void CMainFrame::OnAddDeviceMenu() {
  QMenu menu(this);
  for (const ModelItem& item : kModelMenu) {
    if (item.id == 0)
      menu.addSeparator();
    else
      menu.addAction(GetCommand(item.id));
  }
  menu.exec(QCursor::pos());
}

void CMainFrame::OnAddDeviceModel(std::uint32_t command) {
  if (!Cmd::IsModelCommand(command)) return;
  const bool hollin2 = command == kHollin2Command;
  const std::uint32_t type = hollin2 ? kHollin2Type : command - Cmd::kFirstModelCommand;
  if (!m_system.AddDeviceNamed(type, hollin2 ? kHollin2Model : 0)) return;
  const int index = m_system.GetDeviceCount() - 1;
  CDevice* device = m_system.GetDevice(index);
  m_system.SetSelectedDevice(index);
  OnSelectDevice(device, false);
  m_deviceView->GetRack().Refresh();
  m_outputPane->GetLiveMeterView().Redraw();
  m_system.SetModified(true);
}

void CMainFrame::OnDeleteDevice() {
  const int index = m_system.GetSelectedDevice();
  if (!m_system.GetDevice(index) || m_online) return;
  if (!m_system.ConfirmAction(kConfirmDeviceDelete)) return;
  m_system.DeleteDevice(index);
  m_deviceView->GetRack().Refresh();
  m_outputPane->GetLiveMeterView().Redraw();
  ShowSelectedDeviceProperties();
}

void CMainFrame::OnAddZone() {
  m_system.AddZone();
  m_system.SetModified(true);
}

void CMainFrame::OnDeleteZone() {
  CZone* zone = m_system.GetSelectedDeviceZone();
  const auto& zones = m_system.GetZones();
  if (!zone || zones.empty() || zone == zones.front() || m_online) return;
  // A click on a zone's header selects nothing: the question names the zone the command takes,
  // the selected device's, so that no other zone is deleted unawares.
  bool deleteDevices = false;
  if (!Prompts().AskDeleteZone(zone->GetName(), int(zone->GetDevices().size()), deleteDevices)) return;
  m_system.DeleteZone(zone, deleteDevices);
  if (m_deviceView->isVisible()) m_deviceView->GetRack().Refresh();
  m_outputPane->GetLiveMeterView().Redraw();
  if (deleteDevices) ShowSelectedDeviceProperties();
  m_system.SetModified(true);
}

CMainFrame::EClipboardTarget CMainFrame::ClipboardTarget() const {
  const CDevicePropertiesCtrl& grid = m_propertiesPane->GetGrid();
  if (grid.GetCurrentDevice()) return EClipboardTarget::kDevice;
  if (grid.GetCurrentPanel() || grid.GetCurrentWidget()) return EClipboardTarget::kPanelView;
  return EClipboardTarget::kNone;
}

void CMainFrame::OnEditCopy() { RunClipboardCommand(true); }

void CMainFrame::OnEditPaste() { RunClipboardCommand(false); }

void CMainFrame::RunClipboardCommand(bool copy) {
  switch (ClipboardTarget()) {
    case EClipboardTarget::kDevice:
      if (CDevice* device = m_system.GetDevice(m_system.GetSelectedDevice())) {
        if (copy)
          device->CopyToClipboard(Cmd::kWholeDevice);
        else
          device->PasteFromClipboard(Cmd::kWholeDevice);
      }
      break;
    case EClipboardTarget::kPanelView:
      if (CCustomControlPanelWnd* view = GetActiveCustomPanelView()) {
        if (copy)
          view->CopySelection();
        else
          view->PasteControls();
      }
      break;
    case EClipboardTarget::kNone: break;
  }
}

void CMainFrame::OnExportLogFile() {
  std::string path;
  const std::string initial = ProductName().toStdString() + "LogFile.txt";
  if (!Prompts().ChooseFileToSave({"Text Files (*.txt)|*.txt|All Files (*.*)|*.*||", "txt", initial}, path)) return;
  std::string error;
  if (m_system.ExportLogFile(path, &error)) return;
  Prompts().ShowMessage(ProductName().toStdString(), "Failed to copy log file.\n" + error,
                        IUserPrompts::Icon::Exclamation);
}
