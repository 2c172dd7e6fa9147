// The link manager through its widgets: every edit lands in the system's links at once.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/system/System.h"
#include "tests/support/TestDevices.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "ui/dialogs/LinkManagerDlg.h"
#include "ui/dialogs/TreeCtrlEx.h"

namespace {

// Two gains and a level meter of one kind, a mute of another; the meter is an indication.
class CLinkTestDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;
  CParamInfo GetParameterAt(int id) override {
    CParamInfo info;
    info.id = id;
    switch (id) {
      case 1: info.name = "Gain A"; info.kind = ParamKind::kLevel; break;
      case 2: info.name = "Gain B"; info.kind = ParamKind::kLevel; break;
      case 3: info.name = "Mute"; info.kind = ParamKind::kBool; break;
      case 4: info.name = "Level"; info.kind = ParamKind::kLevel; info.options = kParamOptionReadOnly; break;
      default: return CParamInfo{"NULL"};
    }
    return info;
  }
  void ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out) override {
    for (int id = 1; id <= 4; ++id) {
      CParamInfo info = GetParameterAt(id);
      if (like.name == "NULL" || info.kind == like.kind) out.push_back(info);
    }
  }
};

class LinkManagerTest : public ::testing::Test {
 protected:
  LinkManagerTest() {
    for (const char* name : {"Left", "Right", "Sub"}) {
      auto* device = new CLinkTestDevice(&system, 1);
      device->SetName(name);
      system.AppendDevice(device);
    }
  }
  void Open(CLinkManagerDlg& dialog) {
    dialog.SetTitle("Link Manager");
    dialog.SetCloseBoxShown(true);
    dialog.show();
    WaitForUi([&] { return dialog.isVisible(); });
  }
  static QStringList Parameters(const CLinkManagerDlg& dialog) {
    QStringList rows;
    for (int i = 0; i < dialog.ParameterList()->count(); ++i) rows << dialog.ParameterList()->item(i)->text();
    return rows;
  }
  static void ChooseParameter(CLinkManagerDlg& dialog, const QString& name) {
    for (int i = 0; i < dialog.ParameterList()->count(); ++i)
      if (dialog.ParameterList()->item(i)->text() == name) dialog.ParameterList()->setCurrentRow(i);
  }
  // Selects the link item, chooses the device and the parameter and presses "<<".
  static void AddMember(CLinkManagerDlg& dialog, QTreeWidgetItem* linkItem, int device, const QString& parameter) {
    dialog.LinkTree()->setCurrentItem(linkItem);
    dialog.DeviceList()->setCurrentIndex(device);
    ChooseParameter(dialog, parameter);
    dialog.AddMemberButton()->click();
  }
  static QList<bool> BoldChildren(QTreeWidgetItem* linkItem) {
    QList<bool> bold;
    for (int i = 0; i < linkItem->childCount(); ++i) bold << CTreeCtrlEx::IsItemBold(linkItem->child(i));
    return bold;
  }
  CSystem system;
};

}  // namespace

TEST_F(LinkManagerTest, PlusNamesLinksByTheFirstFreeNumberAndMinusDeletesWithoutAsking) {
  CLinkManagerDlg dialog(system);
  Open(dialog);
  dialog.AddLinkButton()->click();
  dialog.AddLinkButton()->click();
  ASSERT_EQ(system.GetLinks().size(), 2u);
  EXPECT_EQ(system.GetLinks()[1]->GetName(), "Link 2");
  dialog.LinkTree()->setCurrentItem(dialog.LinkTree()->topLevelItem(0));
  dialog.DeleteLinkButton()->click();
  ASSERT_EQ(system.GetLinks().size(), 1u);
  dialog.AddLinkButton()->click();
  EXPECT_EQ(system.GetLinks()[1]->GetName(), "Link 1");
  EXPECT_EQ(dialog.LinkTree()->topLevelItem(1)->text(0), "Link 1");
}

TEST_F(LinkManagerTest, FirstMemberBecomesTheBoldMasterAndRestrictsTheParametersOffered) {
  CLinkManagerDlg dialog(system);
  Open(dialog);
  EXPECT_EQ(dialog.DeviceList()->count(), 3);
  // Every parameter but the indication.
  EXPECT_EQ(Parameters(dialog), (QStringList{"Gain A", "Gain B", "Mute"}));
  dialog.AddLinkButton()->click();
  QTreeWidgetItem* linkItem = dialog.LinkTree()->topLevelItem(0);
  AddMember(dialog, linkItem, 0, "Gain A");
  CLink& link = *system.GetLinks()[0];
  ASSERT_EQ(link.m_members.size(), 1u);
  EXPECT_EQ(link.m_master, 0);
  EXPECT_EQ(link.m_members[0]->m_parameterId, 1u);
  EXPECT_EQ(link.m_members[0]->GetUuid(), system.GetDevice(0)->GetUuid());
  ASSERT_EQ(linkItem->childCount(), 1);
  EXPECT_EQ(linkItem->child(0)->text(0), "Left - Gain A");
  EXPECT_TRUE(CTreeCtrlEx::IsItemBold(linkItem->child(0)));
  EXPECT_TRUE(linkItem->isExpanded());
  // Only gains now, and not the one already linked.
  EXPECT_EQ(Parameters(dialog), QStringList{"Gain B"});
  dialog.DeviceList()->setCurrentIndex(1);
  EXPECT_EQ(Parameters(dialog), (QStringList{"Gain A", "Gain B"}));

  // A linked parameter is never offered, for any link.
  dialog.AddLinkButton()->click();
  dialog.LinkTree()->setCurrentItem(dialog.LinkTree()->topLevelItem(1));
  dialog.DeviceList()->setCurrentIndex(0);
  EXPECT_EQ(Parameters(dialog), (QStringList{"Gain B", "Mute"}));
}

TEST_F(LinkManagerTest, RemovingMembersMovesTheMasterAsTheRulesSay) {
  CLinkManagerDlg dialog(system);
  Open(dialog);
  dialog.AddLinkButton()->click();
  QTreeWidgetItem* linkItem = dialog.LinkTree()->topLevelItem(0);
  CLink& link = *system.GetLinks()[0];
  auto fill = [&] {
    AddMember(dialog, linkItem, 0, "Gain A");
    AddMember(dialog, linkItem, 1, "Gain A");
    AddMember(dialog, linkItem, 2, "Gain A");
    ASSERT_EQ(link.m_members.size(), 3u);
  };
  auto remove = [&](int index) {
    dialog.LinkTree()->setCurrentItem(linkItem->child(index));
    EXPECT_TRUE(dialog.RemoveMemberButton()->isEnabled());
    dialog.RemoveMemberButton()->click();
  };
  auto master = [&](int index) { emit dialog.LinkTree()->itemDoubleClicked(linkItem->child(index), 0); };

  fill();
  master(1);
  EXPECT_EQ(link.m_master, 1);
  EXPECT_EQ(BoldChildren(linkItem), (QList<bool>{false, true, false}));
  remove(1);  // the master: the one after it takes over
  EXPECT_EQ(link.m_master, 1);
  EXPECT_EQ(linkItem->child(1)->text(0), "Sub - Gain A");
  EXPECT_EQ(BoldChildren(linkItem), (QList<bool>{false, true}));
  remove(1);  // the master and the last: the one before it
  EXPECT_EQ(link.m_master, 0);
  remove(0);  // the last member: no master
  EXPECT_EQ(link.m_master, -1);
  EXPECT_TRUE(link.m_members.empty());
  dialog.DeviceList()->setCurrentIndex(0);
  EXPECT_EQ(Parameters(dialog), (QStringList{"Gain A", "Gain B", "Mute"}));

  fill();
  master(2);
  remove(0);  // before the master: the master stays, one place down
  EXPECT_EQ(link.m_master, 1);
  EXPECT_EQ(link.m_members[1]->GetUuid(), system.GetDevice(2)->GetUuid());
  EXPECT_EQ(BoldChildren(linkItem), (QList<bool>{false, true}));
  dialog.LinkTree()->setCurrentItem(linkItem);
  EXPECT_FALSE(dialog.RemoveMemberButton()->isEnabled());
}

TEST_F(LinkManagerTest, OpensOnTheRememberedDeviceAndShowsStoredLinksWithTheirMaster) {
  CLink* link = system.AddLink();
  link->m_name = "Mains";
  link->AddMember(system.GetDevice(0)->GetUuid(), 2);
  link->AddMember(system.GetDevice(1)->GetUuid(), 2)->m_displayFlag = true;
  link->m_master = 1;
  CLinkManagerDlg dialog(system);
  dialog.SetCurrentDevice(7);  // past the end: the first device
  Open(dialog);
  QTreeWidgetItem* item = dialog.LinkTree()->topLevelItem(0);
  EXPECT_EQ(item->text(0), "Mains");
  EXPECT_FALSE(item->isExpanded());
  EXPECT_EQ(item->child(1)->text(0), "Right - Gain B");
  EXPECT_EQ(BoldChildren(item), (QList<bool>{false, true}));
  EXPECT_EQ(item->child(1)->foreground(0).color(), CTreeCtrlEx::GreyColour());
  EXPECT_EQ(dialog.DeviceList()->currentIndex(), 0);
  item->setExpanded(true);
  dialog.LinkTree()->setCurrentItem(item->child(0));
  SaveShotIfAsked(dialog, "link-manager");
  dialog.DeviceList()->setCurrentIndex(2);
  EXPECT_EQ(dialog.GetCurrentDevice(), 2);
}

TEST_F(LinkManagerTest, RenamingALinkStoresTheTextAndEnterOrEscapeNeverCloseTheDialog) {
  CLinkManagerDlg dialog(system);
  Open(dialog);
  dialog.AddLinkButton()->click();
  QTreeWidgetItem* item = dialog.LinkTree()->topLevelItem(0);
  EXPECT_TRUE(item->flags() & Qt::ItemIsEditable);
  item->setText(0, "");
  EXPECT_EQ(system.GetLinks()[0]->GetName(), "");
  item->setText(0, "Front fills");
  EXPECT_EQ(system.GetLinks()[0]->GetName(), "Front fills");
  PressKey(&dialog, Qt::Key_Escape);
  PressKey(&dialog, Qt::Key_Return);
  for (int i = 0; i < 30; ++i) dialog.FadeStep();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.IsFadingIn());
}

TEST_F(LinkManagerTest, WithoutDevicesLinksCanStillBeMadeRenamedAndDeleted) {
  CSystem empty;
  CLinkManagerDlg dialog(empty);
  Open(dialog);
  EXPECT_EQ(dialog.DeviceList()->count(), 0);
  EXPECT_EQ(dialog.ParameterList()->count(), 0);
  dialog.AddLinkButton()->click();
  dialog.LinkTree()->setCurrentItem(dialog.LinkTree()->topLevelItem(0));
  dialog.AddMemberButton()->click();  // nothing to add: nothing happens
  EXPECT_TRUE(empty.GetLinks()[0]->m_members.empty());
  dialog.DeleteLinkButton()->click();
  EXPECT_TRUE(empty.GetLinks().empty());
}

TEST_F(LinkManagerTest, CloseBoxEndsTheDialogWithCancel) {
  CLinkManagerDlg dialog(system);
  Open(dialog);
  const QPoint at = dialog.CloseBoxRect().center();
  QMouseEvent press(QEvent::MouseButtonPress, at, dialog.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &press);
  EXPECT_FALSE(dialog.IsFadingIn());
  for (int i = 0; i < 30 && dialog.isVisible(); ++i) dialog.FadeStep();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}
