// Device view pane: layout, toolbar rules and the rack's context menu.
#include "ui/DeviceView.h"

#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "core/model/Device.h"
#include "core/model/DeviceMenu.h"
#include "core/system/System.h"

namespace {
constexpr std::uint32_t kProperties = 32832;
constexpr std::uint32_t kNewDevice = 32782;
constexpr std::uint32_t kDeleteDevice = 32828;
constexpr std::uint32_t kAddZone = 32846;
constexpr std::uint32_t kDeleteZone = 32847;
constexpr std::uint32_t kCopy = 57634;
constexpr std::uint32_t kPaste = 57637;

bool IsFrameCommand(std::uint32_t id) {
  return id == kProperties || id == kCopy || id == kPaste || id == kNewDevice || id == kDeleteDevice;
}

// Adds the items of a model menu (with its popups) to a window menu. The frame's own commands
// are its actions, or, when the device gave one another text, an item of that text that runs
// the frame's action; every other item runs the device's own command, enabled and ticked as
// the device says.
void AddMenuItems(QMenu& target, const CMenu& source, CDevice* device,
                  const std::function<QAction*(std::uint32_t)>& lookup) {
  for (int i = 0; i < source.GetItemCount(); ++i) {
    const CMenu::Item* item = source.GetItem(i);
    const QString text = QString::fromStdString(item->text);
    if (item->separator) {
      target.addSeparator();
    } else if (item->submenu) {
      AddMenuItems(*target.addMenu(text), *item->submenu, device, lookup);
    } else if (IsFrameCommand(item->id)) {
      QAction* command = lookup ? lookup(item->id) : nullptr;
      if (!command) continue;
      if (text == command->text()) {
        target.addAction(command);
        continue;
      }
      QAction* renamed = target.addAction(text);
      renamed->setEnabled(command->isEnabled());
      QObject::connect(renamed, &QAction::triggered, command, [command] { command->trigger(); });
    } else if (device) {
      const std::uint32_t id = item->id;
      QAction* action = target.addAction(text);
      CCmdUI state(id);
      device->OnUpdateContextMenuCommand(state);
      action->setEnabled(state.IsEnabled());
      if (state.GetCheck() != 0) {
        action->setCheckable(true);
        action->setChecked(true);
      }
      // The device may be gone by the time the item is chosen.
      IDeviceHost* host = device->GetHost();
      QObject::connect(action, &QAction::triggered, action, [host, device, id] {
        const std::vector<CDevice*> devices = host->GetDevices();
        if (std::find(devices.begin(), devices.end(), device) != devices.end()) device->OnContextMenuCommand(id, 0);
      });
    }
  }
}
}  // namespace

std::optional<bool> DeviceViewCommandEnabled(std::uint32_t command, const CDeviceViewState& state) {
  if (!state.frameIsMainWindow) return std::nullopt;
  switch (command) {
    case kProperties: return state.deviceSelected;
    case kNewDevice:
    case kAddZone: return true;
    case kDeleteDevice: return state.deviceSelected && !state.online;
    case kDeleteZone: return !state.online && state.zoneCount > 1 && state.selectedZoneIndex > 0;
    default: return std::nullopt;
  }
}

CDeviceView::CDeviceView(const QString& title, QWidget* parent) : QDockWidget(title, parent) {
  auto* body = new QWidget(this);
  m_toolBar = new CDeviceViewToolBar(body);
  m_toolBar->setObjectName(QStringLiteral("DeviceViewToolBar"));
  m_toolBar->setMovable(false);
  m_toolBar->setFloatable(false);
  m_toolBar->setIconSize(QSize(16, 16));
  m_rack = new CDeviceRack(body);
  m_rack->setObjectName(QStringLiteral("DeviceRack"));
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_toolBar);
  layout->addWidget(m_rack, 1);
  setWidget(body);
  setMinimumSize(150, 150);
  m_rack->SetContextMenuHandler([this](const QPoint& at) { ShowContextMenu(at); });
}

QMenu* CDeviceView::BuildContextMenu(CDevice* selected) {
  // The frame's items first; the selected device then adds its own among them (its paste
  // items after Paste, which it may rename) before the menu becomes a window menu.
  CMenu items;
  for (std::uint32_t id : {kProperties, 0u, kCopy, kPaste, 0u, kNewDevice, kDeleteDevice}) {
    if (id == 0) {
      items.AppendSeparator();
      continue;
    }
    QAction* command = m_lookup ? m_lookup(id) : nullptr;
    items.AppendItem(id, command ? command->text().toStdString() : std::string());
  }
  if (selected) selected->BuildContextMenu(items, 0);
  auto* menu = new QMenu(this);
  AddMenuItems(*menu, items, selected, m_lookup);
  return menu;
}

void CDeviceView::ShowContextMenu(const QPoint& globalPos) {
  if (m_beforeMenu) m_beforeMenu();
  CSystem* system = m_rack->GetSystem();
  CDevice* selected = system ? system->GetDevice(system->GetSelectedDevice()) : nullptr;
  QMenu* menu = BuildContextMenu(selected);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(globalPos);
}
