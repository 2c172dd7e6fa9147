// "Link Manager": creates, renames and deletes the system's links and chooses their members and
// master. It works on the system's links directly: every change is made at once, with no undo.
// Devices are named by their name, model and ID ("Stage (Nerex48, ID 3)"), in the device list
// and in the members ("Stage (Nerex48, ID 3) - Input Channel A Gain"); a member whose unit was
// away when the link changed is marked out of line.
#pragma once

#include <cstdint>

#include "widgets/BitmapDialogEx.h"

class CSystem;
class CDevice;
class CErrorTip;
class CLink;
class CLinkRef;
class CTreeCtrlEx;
class QComboBox;
class QListWidget;
class QPushButton;
class QTreeWidgetItem;

class CLinkManagerDlg : public CBitmapDialogEx {
 public:
  // A link's name is at most this long (kLinkNameRule): typing stops there, and a longer name
  // pasted is refused in words.
  static constexpr int kMaxLinkName = 30;
  // Before the text of a member that is out of line (CLinkRef::IsOutOfLine), where a long
  // name cannot cut it off, and in its tooltip.
  static constexpr const char* kOutOfLineMark = "Out of line: ";
  static constexpr const char* kOutOfLineNote =
      "Its unit was away when the link changed: it takes the link's value when the unit is back.";

  explicit CLinkManagerDlg(CSystem& system, QWidget* parent = nullptr);

  // Index of the device shown, in the system's device list: given before the dialog opens and
  // read back after it closed.
  std::int32_t GetCurrentDevice() const { return m_currentDevice; }
  void SetCurrentDevice(std::int32_t index) { m_currentDevice = index; }

  // Fills the tree and the lists (the dialog's opening). Runs once, when first shown.
  void OnInitDialog();

  void OnAddLink();       // "+"
  void OnDeleteLink();    // "-"
  void OnAddMember();     // "<<", or a double click on a parameter
  void OnRemoveMember();  // ">>"
  // A double click on a member makes it the link's master.
  void OnMemberDoubleClicked(QTreeWidgetItem* item);
  void FillParameterList();
  // Shows again which members are out of line: the links mark and clear them while the dialog
  // is open (a member's unit back, a snapshot recalled).
  void ShowOutOfLineMarks();

  CTreeCtrlEx* LinkTree() const { return m_tree; }
  QComboBox* DeviceList() const { return m_devices; }
  QListWidget* ParameterList() const { return m_parameters; }
  QPushButton* AddLinkButton() const { return m_addLink; }
  QPushButton* DeleteLinkButton() const { return m_deleteLink; }
  QPushButton* AddMemberButton() const { return m_addMember; }
  QPushButton* RemoveMemberButton() const { return m_removeMember; }
  // The tip that says why a link name was refused; null before the first refusal.
  CErrorTip* RefusalTip() const { return m_refusalTip; }

  // Tree items: a top-level item carries its link, a child its member.
  static CLink* ItemLink(const QTreeWidgetItem* item);
  static CLinkRef* ItemMember(const QTreeWidgetItem* item);

 protected:
  void showEvent(QShowEvent* event) override;
  // Enter and Escape never close the dialog (a label edit ends by its own editor).
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString MemberText(const CLinkRef& member) const;
  QTreeWidgetItem* AddLinkItem(CLink* link);
  QTreeWidgetItem* AddMemberItem(QTreeWidgetItem* linkItem, CLinkRef* member);
  // The member's text, colour and tooltip, marked while it is out of line.
  void ShowMemberState(QTreeWidgetItem* item, const CLinkRef& member);
  // The link item of the selection (the item, or the parent of a member item); null for none.
  QTreeWidgetItem* SelectedLinkItem() const;
  // Exactly the master's item of the link is drawn bold.
  void ShowMaster(QTreeWidgetItem* linkItem);
  void OnTreeSelectionChanged();
  void OnItemRenamed(QTreeWidgetItem* item);
  CDevice* SelectedDevice() const;

  CSystem& m_system;
  std::int32_t m_currentDevice = 0;
  bool m_initialised = false;
  bool m_filling = false;
  QTreeWidgetItem* m_lastLinkItem = nullptr;
  CErrorTip* m_refusalTip = nullptr;

  CTreeCtrlEx* m_tree;
  QComboBox* m_devices;
  QListWidget* m_parameters;
  QPushButton* m_addLink;
  QPushButton* m_deleteLink;
  QPushButton* m_addMember;
  QPushButton* m_removeMember;
};
