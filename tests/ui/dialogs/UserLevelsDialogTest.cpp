// The user levels page and the general page of the file's properties, through their widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "core/comms/CommsWorker.h"
#include "custom/CPData.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TestDevices.h"
#include "tests/support/WindowInput.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "tests/ui/dialogs/FilePropertiesSheet.h"
#include "ui/dialogs/EditableListBox.h"
#include "ui/SettingsSheet.h"
#include "ui/dialogs/PasswordDialogs.h"
#include "ui/dialogs/UserLevelsDialog.h"

namespace {

class UserLevelsTest : public ::testing::Test {
 protected:
  UserLevelsTest() {
    for (const char* name : {"Amp", "Desk"}) {
      auto* device = new CTestDevice(&system, std::uint32_t(system.GetDeviceCount() + 1));
      NameDevice(device, name);
      system.AppendDevice(device);
    }
    auto* panel = new CCPData;
    panel->m_name = "Stage";
    system.Panels().AppendCustomPanel(panel);
  }
  void AddSystemUser(const std::string& name, std::uint64_t mask) {
    auto* user = new CUser(name, name + "pw");
    user->SetRestrictionMask(mask);
    for (CDevice* d : system.GetDevices()) user->m_devicePermissions.push_back(new CPanelPermissions(d->GetUuid(), 1));
    for (CCPData* p : system.GetCustomPanels()) user->m_panelPermissions.push_back(new CPanelPermissions(p->GetUuid(), 1));
    system.Users().GetUsers().push_back(user);
  }
  static QStringList Names(const CUserLevelsDialog& page) {
    QStringList names;
    for (int i = 0; i < page.UserList()->count(); ++i) names << page.UserList()->item(i)->text();
    return names;
  }
  static bool AnyRightEnabled(const CUserLevelsDialog& page) {
    for (int i = 0; i < CUserLevelsDialog::kRightCount; ++i)
      if (page.RightBox(i)->isEnabled()) return true;
    return false;
  }
  CSystem system;
};

}  // namespace

TEST_F(UserLevelsTest, OnlyTheBuiltInUserShowsDisabledRightsAnEmptyTreeAndCannotBeDeleted) {
  CUserLevelsDialog page(&system);
  EXPECT_EQ(Names(page), QStringList{"Admin"});
  EXPECT_EQ(page.UserList()->currentRow(), 0);
  EXPECT_FALSE(AnyRightEnabled(page));
  EXPECT_FALSE(page.PanelTree()->isEnabled());
  EXPECT_EQ(page.PanelTree()->topLevelItemCount(), 0);
  EXPECT_TRUE(page.PasswordEdit()->isEnabled());
  for (int i = 0; i < CUserLevelsDialog::kRightCount; ++i) EXPECT_TRUE(page.RightBox(i)->isChecked());
  EXPECT_EQ(page.RightBox(1)->text(), "Can Use Device Controls");
  page.DeleteButton()->click();
  EXPECT_EQ(Names(page), QStringList{"Admin"});
}

TEST_F(UserLevelsTest, AddedUsersTakeTheFreeNumbersTheirNameAsPasswordAndEveryDeviceAndPanel) {
  AddSystemUser("User1", 0x02);
  AddSystemUser("User3", 0x02);
  CUserLevelsDialog page(&system);
  for (int i = 0; i < 4; ++i) page.AddButton()->click();
  EXPECT_EQ(Names(page), (QStringList{"Admin", "User1", "User3", "User2", "User4", "User5", "User6"}));
  const CUser& added = *page.GetWorkingUsers()[3];
  EXPECT_EQ(added.GetPassword(), "User2");
  EXPECT_EQ(added.GetRestrictionMask(), 0x02u);
  ASSERT_EQ(added.m_devicePermissions.size(), 2u);
  EXPECT_EQ(added.m_panelPermissions.size(), 1u);
  // The last one added is shown: rights enabled, every device and panel ticked.
  EXPECT_EQ(page.UserList()->currentRow(), 6);
  EXPECT_TRUE(AnyRightEnabled(page));
  EXPECT_FALSE(page.RightBox(1)->isChecked());
  ASSERT_NE(page.DevicesRoot(), nullptr);
  EXPECT_EQ(page.DevicesRoot()->text(0), "Devices");
  EXPECT_EQ(page.PanelsRoot()->text(0), "Custom Control Panels");
  ASSERT_EQ(page.DevicesRoot()->childCount(), 2);
  EXPECT_EQ(page.DevicesRoot()->child(1)->text(0), "Desk (Test Model, ID 2)");
  EXPECT_EQ(page.DevicesRoot()->child(1)->checkState(0), Qt::Checked);
  EXPECT_EQ(page.DevicesRoot()->checkState(0), Qt::Checked);
  EXPECT_EQ(page.PanelsRoot()->child(0)->text(0), "Stage");
  EXPECT_EQ(page.GetWorkingUsers().size(), 7u);
  SaveShotIfAsked(page, "user-levels");
  // Ten at most.
  for (int i = 0; i < 5; ++i) page.AddButton()->click();
  EXPECT_EQ(page.GetWorkingUsers().size(), 10u);
  EXPECT_EQ(system.Users().GetUsers().size(), 3u);  // nothing applied yet
}

// A unit whose name was never read (a Sornic or a Pannex module) still has its line, by model
// and ID.
TEST_F(UserLevelsTest, DevicesAreListedWithModelAndIdAndAUnitWithoutANameToo) {
  NameDevice(system.GetDevice(0), "");
  AddSystemUser("User1", 0x02);
  CUserLevelsDialog page(&system);
  page.UserList()->setCurrentRow(1);
  ASSERT_NE(page.DevicesRoot(), nullptr);
  ASSERT_EQ(page.DevicesRoot()->childCount(), 2);
  EXPECT_EQ(page.DevicesRoot()->child(0)->text(0), "(Test Model, ID 1)");
  EXPECT_EQ(page.DevicesRoot()->child(1)->text(0), "Desk (Test Model, ID 2)");
}

// The buttons' pictures: a blue user in the upper left, and in the lower right quarter a green
// badge on Add and a red one on Delete; the texts stay beside them.
TEST_F(UserLevelsTest, AddAndDeleteShowAUserWithAGreenOrARedBadge) {
  CUserLevelsDialog page(&system);
  struct Expect {
    QPushButton* button;
    const char* text;
    bool red;
  };
  for (const Expect& e : {Expect{page.AddButton(), "Add", false}, Expect{page.DeleteButton(), "Delete", true}}) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(e.button->text(), e.text);
    const QImage picture = e.button->icon().pixmap(16, 16).toImage();
    ASSERT_EQ(picture.size(), QSize(16, 16));
    const QColor head = picture.pixelColor(6, 4);
    EXPECT_GT(head.blue(), head.red() + 60);
    int green = 0, red = 0;
    for (int y = 8; y < 16; ++y) {
      for (int x = 8; x < 16; ++x) {
        const QColor c = picture.pixelColor(x, y);
        if (c.alpha() < 200) continue;
        if (c.green() > c.red() + 60 && c.green() > c.blue() + 40) ++green;
        if (c.red() > c.green() + 80 && c.red() > c.blue() + 80) ++red;
      }
    }
    EXPECT_GT(e.red ? red : green, 8);
    EXPECT_EQ(e.red ? green : red, 0);
  }
}

TEST_F(UserLevelsTest, GrantingEveryRightDisablesTheBoxesOnlyWhenTheUserIsShownAgain) {
  CUserLevelsDialog page(&system);
  page.AddButton()->click();
  page.RightBox(1)->click();  // "Can Use Device Controls"
  EXPECT_EQ(page.GetWorkingUsers()[1]->GetRestrictionMask(), 0u);
  EXPECT_TRUE(AnyRightEnabled(page));
  page.UserList()->setCurrentRow(0);
  page.UserList()->setCurrentRow(1);
  EXPECT_FALSE(AnyRightEnabled(page));
  EXPECT_FALSE(page.PanelTree()->isEnabled());
}

TEST_F(UserLevelsTest, UntickedPanelStaysUntickedAcrossSelectionsAndReachesTheSystemOnlyOnApply) {
  AddSystemUser("Op", 0x02);
  CUserLevelsDialog page(&system);
  page.show();
  page.UserList()->setCurrentRow(1);
  page.PanelsRoot()->child(0)->setCheckState(0, Qt::Unchecked);
  page.DevicesRoot()->child(0)->setCheckState(0, Qt::Unchecked);
  page.UserList()->setCurrentRow(0);
  page.UserList()->setCurrentRow(1);
  EXPECT_EQ(page.PanelsRoot()->child(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(page.DevicesRoot()->checkState(0), Qt::PartiallyChecked);  // some ticked, some not
  EXPECT_EQ(system.Users().GetUsers()[1]->m_panelPermissions[0]->GetFlags(), 1u);

  page.RightBox(5)->click();  // withhold "Can Recall Snapshots"
  page.PasswordEdit()->setText("newpw");
  page.Apply();
  const CUser& op = *system.Users().GetUsers()[1];
  EXPECT_EQ(op.m_panelPermissions[0]->GetFlags(), 0u);
  EXPECT_EQ(op.m_devicePermissions[0]->GetFlags(), 0u);
  EXPECT_EQ(op.m_devicePermissions[1]->GetFlags(), 1u);
  EXPECT_EQ(op.GetRestrictionMask(), 0x22u);
  EXPECT_EQ(op.GetPassword(), "newpw");
  EXPECT_TRUE(system.IsModified());
  EXPECT_FALSE(system.GetComms().NeedSecuritySet());  // offline: nothing for the devices
}

TEST_F(UserLevelsTest, DeletingTheLastOfFiveSelectsTheFourthAndApplyRepairsTheCurrentUser) {
  for (const char* name : {"A", "B", "C", "D"}) AddSystemUser(name, 0x02);
  system.Users().SetCurrentUser(4);
  CUserLevelsDialog page(&system);
  page.show();
  EXPECT_EQ(page.UserList()->currentRow(), 4);
  page.DeleteButton()->click();
  EXPECT_EQ(Names(page), (QStringList{"Admin", "A", "B", "C"}));
  EXPECT_EQ(page.UserList()->currentRow(), 3);
  page.UserList()->setCurrentRow(1);
  page.DeleteButton()->click();
  EXPECT_EQ(page.UserList()->currentRow(), 1);
  page.Apply();
  ASSERT_EQ(system.Users().GetUsers().size(), 3u);
  EXPECT_EQ(system.Users().GetUsers()[1]->GetName(), "B");
  // The logged-in user "D" is gone: the administrator is current, not a stale index.
  EXPECT_EQ(system.Users().GetCurrentUser(), 0);
}

TEST_F(UserLevelsTest, ApplyKeepsTheCurrentPersonWhenAUserBeforeItGoes) {
  for (const char* name : {"A", "B"}) AddSystemUser(name, 0x02);
  system.Users().SetCurrentUser(2);
  CUserLevelsDialog page(&system);
  page.show();
  page.UserList()->setCurrentRow(1);
  page.DeleteButton()->click();
  page.Apply();
  EXPECT_EQ(system.Users().GetCurrentUser(), 1);
  EXPECT_EQ(system.Users().GetUsers()[1]->GetName(), "B");
}

TEST_F(UserLevelsTest, RenamingInPlaceRenamesTheWorkingUserAndEnterNeverReachesTheSheet) {
  AddSystemUser("Op", 0x02);
  CUserLevelsDialog page(&system);
  page.show();
  page.UserList()->setCurrentRow(1);
  page.UserList()->BeginEdit();
  ASSERT_TRUE(page.UserList()->IsEditing());
  page.UserList()->GetEditor()->setText("Oper");
  PressKey(&page, Qt::Key_Return);  // the page ends the rename
  EXPECT_FALSE(page.UserList()->IsEditing());
  EXPECT_EQ(page.GetWorkingUsers()[1]->GetName(), "Oper");
  EXPECT_TRUE(page.RightBox(0)->isEnabled());  // still showing the renamed user
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(&page, &enter);
  EXPECT_TRUE(enter.isAccepted());
  page.Apply();
  EXPECT_EQ(system.Users().GetUsers()[1]->GetName(), "Oper");
}

TEST_F(UserLevelsTest, EnterOnAFocusedAddOrDeleteButtonNeverRepeatsItNorClosesTheSheet) {
  for (const char* name : {"Op1", "Op2", "Op3"}) AddSystemUser(name, 0x02);
  CSettingsSheet sheet(QStringLiteral("File Properties"));
  auto* page = new CUserLevelsDialog(&system);
  sheet.AddPage(QStringLiteral("User Levels"), page);
  sheet.show();
  auto press = [](QWidget* target, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  };
  page->UserList()->setCurrentRow(1);
  page->DeleteButton()->setFocus();
  page->DeleteButton()->click();
  ASSERT_EQ(page->GetWorkingUsers().size(), 3u);
  press(page->DeleteButton(), Qt::Key_Return);
  press(page->DeleteButton(), Qt::Key_Enter);
  EXPECT_EQ(page->GetWorkingUsers().size(), 3u) << "Enter deleted another user";
  page->AddButton()->setFocus();
  page->AddButton()->click();
  ASSERT_EQ(page->GetWorkingUsers().size(), 4u);
  press(page->AddButton(), Qt::Key_Return);
  EXPECT_EQ(page->GetWorkingUsers().size(), 4u) << "Enter added another user";
  press(page->AddButton(), Qt::Key_Escape);
  press(page->UserList(), Qt::Key_Return);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_EQ(sheet.result(), 0);
  EXPECT_EQ(system.Users().GetUsers().size(), 4u) << "the sheet applied nothing";
}

TEST_F(UserLevelsTest, APageNeverShownAppliesNothing) {
  AddSystemUser("Op", 0x02);
  CUserLevelsDialog page(&system);
  // Changed without being shown, as no user can: the sheet was closed on its first page.
  page.UserList()->setCurrentRow(1);
  page.DeleteButton()->click();
  ASSERT_EQ(page.GetWorkingUsers().size(), 1u);
  page.Apply();
  EXPECT_FALSE(system.IsModified());
  EXPECT_EQ(system.Users().GetUsers().size(), 2u);
}

TEST_F(UserLevelsTest, GeneralPageStoresTheThreeOptionsOnApply) {
  system.File().SetGoOnlineOnOpen(true);
  CGeneralFilePropertiesDialog page(&system);
  EXPECT_TRUE(page.GoOnlineBox()->isChecked());
  EXPECT_FALSE(page.SecurityBox()->isChecked());
  EXPECT_EQ(page.SecurityBox()->text(), "Use system security");
  SaveShotIfAsked(page, "file-general");
  page.SecurityBox()->click();
  page.FullScreenBox()->click();
  page.GoOnlineBox()->click();
  EXPECT_FALSE(system.Users().GetUseSystemSecurity());
  page.Apply();
  EXPECT_TRUE(system.Users().GetUseSystemSecurity());
  EXPECT_TRUE(system.File().GetFullScreenOnOpen());
  EXPECT_FALSE(system.File().GetGoOnlineOnOpen());
  EXPECT_TRUE(system.IsModified());
}

// --- What the boxes take is what the file keeps ---

namespace {

// The system saved and opened again into back.
void SaveAndReopen(CSystem& system, CSystem& back) {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("users.ovd")).toStdString();
  ASSERT_TRUE(system.File().SaveFile(path));
  ASSERT_TRUE(back.File().OpenFile(path));
}

struct TypedPassword {
  const char* typed;
  const char* shown;    // what the box holds once every key was typed
  const char* message;  // the first message, or empty
  bool taken;           // OK applies it
};

// A system of users only, which the file keeps whole.
class UserFileTest : public ::testing::Test {
 protected:
  void AddSystemUser(const std::string& name) {
    auto* user = new CUser(name, name + "pw");
    user->SetRestrictionMask(0x02);
    system.Users().GetUsers().push_back(user);
  }
  CSystem system;
};

class PasswordBoxTest : public UserFileTest, public ::testing::WithParamInterface<TypedPassword> {};

}  // namespace

// A password typed for Admin: a character the file cannot keep is refused as it is typed, a
// blank at either end at OK; what OK takes works in Switch Users after the file is saved and
// opened again.
TEST_P(PasswordBoxTest, WhatTheBoxTakesLetsItsUserInAfterReopening) {
  const TypedPassword& c = GetParam();
  AddSystemUser("Op");
  FilePropertiesSheet open(system);
  open.users->UserList()->setCurrentRow(0);
  QLineEdit* box = open.users->PasswordEdit();
  box->selectAll();
  PressKey(box, Qt::Key_Backspace);
  TypeText(box, QString::fromUtf8(c.typed));
  EXPECT_EQ(box->text(), QString::fromUtf8(c.shown));
  if (std::string(c.typed) == "a b") SaveShotIfAsked(open.sheet, "user-levels-password");
  open.PressOk();
  EXPECT_EQ(open.messages.value(0), QString::fromUtf8(c.message));
  EXPECT_EQ(open.sheet.isVisible(), !c.taken);
  if (!c.taken) {
    EXPECT_EQ(system.Users().GetUsers()[0]->GetPassword(), "Marigold");
    EXPECT_EQ(open.users->UserList()->currentRow(), 0);  // the user whose password is refused
    return;
  }
  system.Users().SetCurrentUser(1);
  CSystem back;
  SaveAndReopen(system, back);
  CSwitchUserDialog switchUser(back);
  switchUser.SetErrorBox([&](const QString& text, const QString&) { ADD_FAILURE() << text.toStdString(); });
  ASSERT_EQ(switchUser.UserList()->currentText(), "Admin");
  switchUser.PasswordEdit()->setText(QString::fromUtf8(c.shown));
  switchUser.OkButton()->click();
  EXPECT_EQ(back.Users().GetCurrentUser(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, PasswordBoxTest,
    ::testing::Values(TypedPassword{"12345678", "12345678", "", true},
                      TypedPassword{"Geheim\u20AC", "Geheim",
                                    "Password cannot contain \"\u20AC\" - the file keeps ASCII characters only", true},
                      TypedPassword{"p\u00E4ssw\u00F6r", "psswr",
                                    "Password cannot contain \"\u00E4\" - the file keeps ASCII characters only", true},
                      TypedPassword{"\u043F\u0430\u0440\u043E\u043B\u044C12", "12",
                                    "Password cannot contain \"\u043F\" - the file keeps ASCII characters only", true},
                      TypedPassword{" pw", " pw", "The password of Admin cannot begin or end with a blank", false},
                      TypedPassword{"abc ", "abc ", "The password of Admin cannot begin or end with a blank", false},
                      TypedPassword{"a b", "a b", "", true}));

namespace {

struct RenamedUser {
  const char* typed;
  const char* message;  // empty: taken
};

class UserRenameTest : public UserFileTest, public ::testing::WithParamInterface<RenamedUser> {};

}  // namespace

// A rename in place: a name the file would not keep, an empty one or one another user has is
// refused with a message and the row keeps its name; a name taken comes back from the file.
TEST_P(UserRenameTest, NamesAreKeptAsTypedAndTellTheUsersApart) {
  const RenamedUser& c = GetParam();
  AddSystemUser("Op");
  AddSystemUser("Operator");
  FilePropertiesSheet open(system);
  open.users->UserList()->setCurrentRow(1);
  open.users->UserList()->BeginEdit();
  ASSERT_TRUE(open.users->UserList()->IsEditing());
  open.users->UserList()->GetEditor()->setText(QString::fromUtf8(c.typed));
  PressKey(open.users, Qt::Key_Return);
  const bool taken = std::string(c.message).empty();
  const QString expected = taken ? QString::fromUtf8(c.typed).left(8) : QStringLiteral("Op");
  EXPECT_EQ(open.messages.value(0), QString::fromUtf8(c.message));
  EXPECT_EQ(open.users->UserList()->item(1)->text(), expected);
  EXPECT_EQ(QString::fromStdString(open.users->GetWorkingUsers()[1]->GetName()), expected);
  open.PressOk();
  EXPECT_FALSE(open.sheet.isVisible());
  CSystem back;
  SaveAndReopen(system, back);
  ASSERT_EQ(back.Users().GetUsers().size(), 3u);
  EXPECT_EQ(QString::fromStdString(back.Users().GetUsers()[1]->GetName()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, UserRenameTest,
    ::testing::Values(RenamedUser{"Op2", ""}, RenamedUser{"", "User name cannot be empty"},
                      RenamedUser{"Admin", "A user named \"Admin\" exists already"},
                      // Kept whole, not cut to the eight characters of the name of another user.
                      RenamedUser{"Operator2", "User name too long - 8 characters max"},
                      RenamedUser{"B\u00E4cker", "User name cannot contain \"\u00E4\" - the file keeps ASCII characters only"},
                      RenamedUser{" Op3", "User name cannot begin or end with a blank"},
                      RenamedUser{"Op\tx", "User name cannot contain control characters"}));

// --- A right taken away through a root of the tree ---

namespace {

// Clicks the tick box of a tree item as the pointer does.
void ClickTick(QTreeWidget* tree, QTreeWidgetItem* item) {
  tree->scrollToItem(item);
  QStyleOptionViewItem option;
  option.initFrom(tree->viewport());
  option.rect = tree->visualItemRect(item);
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  const QRect box = tree->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, tree);
  Click(*tree->viewport(), box.center());
}

std::vector<Qt::CheckState> Ticks(const QTreeWidgetItem* root) {
  std::vector<Qt::CheckState> ticks;
  for (int i = 0; i < root->childCount(); ++i) ticks.push_back(root->child(i)->checkState(0));
  return ticks;
}

// Two processors and two custom panels, and "Op", who may open all four and use no control.
class UserRightsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProcessorFamily();
    for (std::uint32_t id : {1u, 2u}) {
      CDevice* device = system.CreateDevice(id, 120, 0);
      ASSERT_NE(device, nullptr);
      system.AppendDevice(device);
    }
    for (const char* name : {"Stage", "Front"}) {
      auto* panel = new CCPData;
      panel->m_name = name;
      system.Panels().AppendCustomPanel(panel);
    }
    auto* op = new CUser("Op", "Oppw");
    op->SetRestrictionMask(kRestrictUseDeviceControls);
    for (CDevice* d : system.GetDevices()) op->m_devicePermissions.push_back(new CPanelPermissions(d->GetUuid(), 1));
    for (CCPData* p : system.GetCustomPanels())
      op->m_panelPermissions.push_back(new CPanelPermissions(p->GetUuid(), 1));
    system.Users().GetUsers().push_back(op);
    system.Users().SetUseSystemSecurity(true);
  }
  // Whether Op, logged in, may open each device and then each panel of the system.
  static std::vector<bool> OpMayOpen(CSystem& s) {
    s.Users().SetCurrentUser(1);
    std::vector<bool> may;
    for (CDevice* d : s.GetDevices()) may.push_back(s.Users().CurrentUserMayOpen(d->GetUuid()));
    for (CCPData* p : s.GetCustomPanels()) may.push_back(s.Users().CurrentUserMayOpen(p->GetUuid()));
    s.Users().SetCurrentUser(0);
    return may;
  }
  CSystem system;
};

}  // namespace

// Unticking "Custom Control Panels" or "Devices" unticks everything under it, ticking one gives
// everything back, and a root shows whether all, none or some of its items are ticked. What OK
// takes is what the file keeps: after a save and reopen the user opens none of them, and the
// page shows both roots unticked.
TEST_F(UserRightsFileTest, UntickingARootTakesAwayEveryItemUnderItAndTheFileKeepsIt) {
  ASSERT_EQ(OpMayOpen(system), (std::vector<bool>{true, true, true, true}));
  const auto none = std::vector<Qt::CheckState>{Qt::Unchecked, Qt::Unchecked};
  const auto all = std::vector<Qt::CheckState>{Qt::Checked, Qt::Checked};
  {
    FilePropertiesSheet open(system);
    CUserLevelsDialog& page = *open.users;
    page.UserList()->setCurrentRow(1);
    QTreeWidget* tree = page.PanelTree();
    ASSERT_EQ(page.PanelsRoot()->checkState(0), Qt::Checked);
    ClickTick(tree, page.PanelsRoot());
    EXPECT_EQ(page.PanelsRoot()->checkState(0), Qt::Unchecked);
    EXPECT_EQ(Ticks(page.PanelsRoot()), none);

    // One device unticked: the root shows "some"; a click on it ticks all, the next unticks all.
    ClickTick(tree, page.DevicesRoot()->child(1));
    EXPECT_EQ(Ticks(page.DevicesRoot()), (std::vector<Qt::CheckState>{Qt::Checked, Qt::Unchecked}));
    EXPECT_EQ(page.DevicesRoot()->checkState(0), Qt::PartiallyChecked);
    SaveShotIfAsked(open.sheet, "user-levels-some-devices");
    ClickTick(tree, page.DevicesRoot());
    EXPECT_EQ(page.DevicesRoot()->checkState(0), Qt::Checked);
    EXPECT_EQ(Ticks(page.DevicesRoot()), all);
    ClickTick(tree, page.DevicesRoot());
    EXPECT_EQ(page.DevicesRoot()->checkState(0), Qt::Unchecked);
    EXPECT_EQ(Ticks(page.DevicesRoot()), none);

    // Shown again after another user: as it was left.
    page.UserList()->setCurrentRow(0);
    page.UserList()->setCurrentRow(1);
    EXPECT_EQ(page.DevicesRoot()->checkState(0), Qt::Unchecked);
    EXPECT_EQ(page.PanelsRoot()->checkState(0), Qt::Unchecked);
    EXPECT_EQ(Ticks(page.PanelsRoot()), none);
    SaveShotIfAsked(open.sheet, "user-levels-rights-taken");
    open.PressOk();
    ASSERT_FALSE(open.sheet.isVisible());
  }
  EXPECT_EQ(OpMayOpen(system), (std::vector<bool>{false, false, false, false}));

  CSystem back;
  SaveAndReopen(system, back);
  ASSERT_EQ(back.Users().GetUsers().size(), 2u);
  EXPECT_EQ(OpMayOpen(back), (std::vector<bool>{false, false, false, false}));
  FilePropertiesSheet again(back);
  again.users->UserList()->setCurrentRow(1);
  EXPECT_EQ(again.users->DevicesRoot()->checkState(0), Qt::Unchecked);
  EXPECT_EQ(again.users->PanelsRoot()->checkState(0), Qt::Unchecked);

  // Ticking a root gives every item back.
  ClickTick(again.users->PanelTree(), again.users->PanelsRoot());
  EXPECT_EQ(Ticks(again.users->PanelsRoot()), all);
  again.PressOk();
  EXPECT_EQ(OpMayOpen(back), (std::vector<bool>{false, false, true, true}));
}
