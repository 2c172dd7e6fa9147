// Context menus as the model builds them, and the command-state record of their items.
// The device rack turns a CMenu into a window menu and asks the selected device for the
// state of each item through a CCmdUI.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The Copy and Paste commands of the main window's Edit menu. Device context menus start with
// them, so that the same command copies or pastes a device's settings from either place.
inline constexpr std::uint32_t kCmdEditCopy = 57634;
inline constexpr std::uint32_t kCmdEditPaste = 57637;

class CMenu {
 public:
  struct Item {
    std::uint32_t id = 0;  // 0 for separators and popups
    std::string text;
    bool separator = false;
    std::shared_ptr<CMenu> submenu;  // set for a popup item; shared with whoever built it
  };

  int GetItemCount() const { return int(m_items.size()); }
  // The item at pos, or null when pos is out of range.
  const Item* GetItem(int pos) const;
  // The command id at pos; 0 for separators, popups and positions out of range.
  std::uint32_t GetItemId(int pos) const;
  // The popup at pos, or null.
  std::shared_ptr<CMenu> GetSubMenu(int pos) const;
  // Position of the first item with this command id, or -1.
  int FindItem(std::uint32_t id) const;

  // Inserts before pos; a pos past the end appends.
  void InsertItem(int pos, std::uint32_t id, const std::string& text);
  void InsertSeparator(int pos);
  void InsertPopup(int pos, std::shared_ptr<CMenu> submenu, const std::string& text);
  void AppendItem(std::uint32_t id, const std::string& text) { InsertItem(GetItemCount(), id, text); }
  void AppendSeparator() { InsertSeparator(GetItemCount()); }
  // False when pos is out of range.
  bool SetItemText(int pos, const std::string& text);
  bool RemoveItem(int pos);
  void RemoveAll() { m_items.clear(); }

 private:
  void Insert(int pos, Item item);
  std::vector<Item> m_items;
};

// The enabled and ticked state of one command, filled by whoever handles the command.
class CCmdUI {
 public:
  explicit CCmdUI(std::uint32_t id) : m_id(id) {}
  std::uint32_t GetId() const { return m_id; }
  void Enable(bool on = true) { m_enabled = on; }
  void SetCheck(int check = 1) { m_check = check; }
  bool IsEnabled() const { return m_enabled; }
  int GetCheck() const { return m_check; }

 private:
  std::uint32_t m_id;
  bool m_enabled = true;
  int m_check = 0;
};

// First and last command ids that belong to the device families' context-menu items.
inline constexpr std::uint32_t kFirstDeviceMenuCommand = 33868;
inline constexpr std::uint32_t kLastDeviceMenuCommand = 33968;

// Removes every device item (ids 33868 to 33968) and every popup, so that the items of the
// device shown before are gone when the next device adds its own.
void RemoveDeviceMenuItems(CMenu& menu);
