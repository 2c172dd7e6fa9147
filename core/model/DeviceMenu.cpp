// Model-side context menus.
#include "core/model/DeviceMenu.h"

const CMenu::Item* CMenu::GetItem(int pos) const {
  return pos >= 0 && pos < GetItemCount() ? &m_items[std::size_t(pos)] : nullptr;
}

std::uint32_t CMenu::GetItemId(int pos) const {
  const Item* item = GetItem(pos);
  return item && !item->separator && !item->submenu ? item->id : 0;
}

std::shared_ptr<CMenu> CMenu::GetSubMenu(int pos) const {
  const Item* item = GetItem(pos);
  return item ? item->submenu : nullptr;
}

int CMenu::FindItem(std::uint32_t id) const {
  for (int i = 0; i < GetItemCount(); ++i)
    if (GetItemId(i) == id) return i;
  return -1;
}

void CMenu::Insert(int pos, Item item) {
  if (pos < 0 || pos > GetItemCount()) pos = GetItemCount();
  m_items.insert(m_items.begin() + pos, std::move(item));
}

void CMenu::InsertItem(int pos, std::uint32_t id, const std::string& text) {
  Item item;
  item.id = id;
  item.text = text;
  Insert(pos, std::move(item));
}

void CMenu::InsertSeparator(int pos) {
  Item item;
  item.separator = true;
  Insert(pos, std::move(item));
}

void CMenu::InsertPopup(int pos, std::shared_ptr<CMenu> submenu, const std::string& text) {
  Item item;
  item.text = text;
  item.submenu = std::move(submenu);
  Insert(pos, std::move(item));
}

bool CMenu::SetItemText(int pos, const std::string& text) {
  if (!GetItem(pos)) return false;
  m_items[std::size_t(pos)].text = text;
  return true;
}

bool CMenu::RemoveItem(int pos) {
  if (!GetItem(pos)) return false;
  m_items.erase(m_items.begin() + pos);
  return true;
}

void RemoveDeviceMenuItems(CMenu& menu) {
  int pos = 0;
  while (pos < menu.GetItemCount()) {
    const std::uint32_t id = menu.GetItemId(pos);
    const bool deviceItem = id >= kFirstDeviceMenuCommand && id <= kLastDeviceMenuCommand;
    if (deviceItem || menu.GetSubMenu(pos))
      menu.RemoveItem(pos);  // the next item moved into pos: test it again
    else
      ++pos;
  }
}
