// The link manager through its widgets: every edit lands in the system's links at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <QClipboard>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/system/System.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/TestDevices.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "ui/dialogs/LinkManagerDlg.h"
#include "ui/dialogs/TreeCtrlEx.h"
#include "widgets/ErrorTip.h"

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
      NameDevice(device, name);
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
  ASSERT_EQ(system.Links().GetLinks().size(), 2u);
  EXPECT_EQ(system.Links().GetLinks()[1]->GetName(), "Link 2");
  dialog.LinkTree()->setCurrentItem(dialog.LinkTree()->topLevelItem(0));
  dialog.DeleteLinkButton()->click();
  ASSERT_EQ(system.Links().GetLinks().size(), 1u);
  dialog.AddLinkButton()->click();
  EXPECT_EQ(system.Links().GetLinks()[1]->GetName(), "Link 1");
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
  CLink& link = *system.Links().GetLinks()[0];
  ASSERT_EQ(link.GetMembers().size(), 1u);
  EXPECT_EQ(link.m_master, 0);
  EXPECT_EQ(link.GetMembers()[0]->m_parameterId, 1u);
  EXPECT_EQ(link.GetMembers()[0]->GetUuid(), system.GetDevice(0)->GetUuid());
  ASSERT_EQ(linkItem->childCount(), 1);
  EXPECT_EQ(linkItem->child(0)->text(0), "Left (Test Model, ID 1) - Gain A");
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
  CLink& link = *system.Links().GetLinks()[0];
  auto fill = [&] {
    AddMember(dialog, linkItem, 0, "Gain A");
    AddMember(dialog, linkItem, 1, "Gain A");
    AddMember(dialog, linkItem, 2, "Gain A");
    ASSERT_EQ(link.GetMembers().size(), 3u);
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
  EXPECT_EQ(linkItem->child(1)->text(0), "Sub (Test Model, ID 1) - Gain A");
  EXPECT_EQ(BoldChildren(linkItem), (QList<bool>{false, true}));
  remove(1);  // the master and the last: the one before it
  EXPECT_EQ(link.m_master, 0);
  remove(0);  // the last member: no master
  EXPECT_EQ(link.m_master, -1);
  EXPECT_TRUE(link.GetMembers().empty());
  dialog.DeviceList()->setCurrentIndex(0);
  EXPECT_EQ(Parameters(dialog), (QStringList{"Gain A", "Gain B", "Mute"}));

  fill();
  master(2);
  remove(0);  // before the master: the master stays, one place down
  EXPECT_EQ(link.m_master, 1);
  EXPECT_EQ(link.GetMembers()[1]->GetUuid(), system.GetDevice(2)->GetUuid());
  EXPECT_EQ(BoldChildren(linkItem), (QList<bool>{false, true}));
  dialog.LinkTree()->setCurrentItem(linkItem);
  EXPECT_FALSE(dialog.RemoveMemberButton()->isEnabled());
}

TEST_F(LinkManagerTest, OpensOnTheRememberedDeviceAndShowsStoredLinksWithTheirMaster) {
  CLink* link = system.Links().AddLink();
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
  EXPECT_EQ(item->child(1)->text(0), "Right (Test Model, ID 1) - Gain B");
  EXPECT_EQ(BoldChildren(item), (QList<bool>{false, true}));
  EXPECT_EQ(item->child(1)->foreground(0).color(), CTreeCtrlEx::GreyColour());
  EXPECT_EQ(dialog.DeviceList()->currentIndex(), 0);
  item->setExpanded(true);
  dialog.LinkTree()->setCurrentItem(item->child(0));
  SaveShotIfAsked(dialog, "link-manager");
  dialog.DeviceList()->setCurrentIndex(2);
  EXPECT_EQ(dialog.GetCurrentDevice(), 2);
}

// A member that a value of the link passed by while its unit was away reads "out of line" in
// red, with why in its tooltip, and its link opens to show it; the others read as ever.
TEST_F(LinkManagerTest, ShowsAMemberOutOfLineInRedWithWhyInItsTooltip) {
  CLink* link = system.Links().AddLink();
  link->m_name = "Delay towers";
  link->AddMember(system.GetDevice(0)->GetUuid(), 1);
  link->AddMember(system.GetDevice(1)->GetUuid(), 1)->SetMissedValue(CParamValue(1, -16.7f, ParamKind::kLevel));
  link->AddMember(system.GetDevice(2)->GetUuid(), 1);
  CLink* other = system.Links().AddLink();
  other->AddMember(system.GetDevice(0)->GetUuid(), 3);
  other->AddMember(system.GetDevice(1)->GetUuid(), 3);
  CLinkManagerDlg dialog(system);
  Open(dialog);
  QTreeWidgetItem* item = dialog.LinkTree()->topLevelItem(0);
  EXPECT_TRUE(item->isExpanded());
  EXPECT_FALSE(dialog.LinkTree()->topLevelItem(1)->isExpanded());
  EXPECT_EQ(item->child(0)->text(0), "Left (Test Model, ID 1) - Gain A");
  EXPECT_EQ(item->child(1)->text(0), "Out of line: Right (Test Model, ID 1) - Gain A");
  EXPECT_EQ(item->child(1)->toolTip(0), "Out of line: Right (Test Model, ID 1) - Gain A\n" +
                                            QString::fromLatin1(CLinkManagerDlg::kOutOfLineNote));
  const QColor red = item->child(1)->foreground(0).color();
  EXPECT_GT(red.red(), 3 * std::max(red.green(), red.blue()));
  EXPECT_NE(item->child(0)->foreground(0).color(), red);
  SaveShotIfAsked(dialog, "link-manager-out-of-line");
}

// How what a link owed a member out of line ends: with the dialog's "-" or ">>", the device
// deleted, or linking switched off (then on and off again).
struct OwedValueEnd {
  const char* name;
  const char* why;
  std::function<void(CSystem&, CLinkManagerDlg&, QTreeWidgetItem* linkItem)> end;
};

class OwedValueEndTest : public LinkManagerTest, public ::testing::WithParamInterface<OwedValueEnd> {};

// The log says once which member will not take the link's value when its unit is back, and why;
// the mark goes, and the file, which kept the value, is changed. Members in line end silently.
TEST_P(OwedValueEndTest, IsSaidOnceInTheLogAndTheMarkGoes) {
  CRecordingFrame log;
  system.SetUiServices(&log);
  CLink* link = system.Links().AddLink();
  link->m_name = "Delay towers";
  link->AddMember(system.GetDevice(0)->GetUuid(), 1);
  CLinkRef* away = link->AddMember(system.GetDevice(1)->GetUuid(), 1);
  away->SetMissedValue(CParamValue(1, -16.7f, ParamKind::kLevel));
  link->AddMember(system.GetDevice(2)->GetUuid(), 1);
  const std::string unit = system.GetDevice(1)->GetUnitText();
  system.SetModified(false);
  CLinkManagerDlg dialog(system);
  Open(dialog);
  GetParam().end(system, dialog, dialog.LinkTree()->topLevelItem(0));

  const std::vector<std::string> lines = log.LogLines();
  const auto said = [&](const std::string& text) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
  };
  EXPECT_EQ(said("Link \"Delay towers\" not applied to " + unit + " when it is back: " + GetParam().why), 1);
  EXPECT_EQ(said(" not applied to "), 1);
  EXPECT_TRUE(system.IsModified());
  for (const CLink* left : system.Links().GetLinks())
    for (const CLinkRef* member : left->GetMembers()) EXPECT_FALSE(member->IsOutOfLine());
  system.SetUiServices(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, OwedValueEndTest,
    ::testing::Values(
        OwedValueEnd{"LinkDeleted", "the link was deleted",
                     [](CSystem&, CLinkManagerDlg& dialog, QTreeWidgetItem* linkItem) {
                       dialog.LinkTree()->setCurrentItem(linkItem);
                       dialog.DeleteLinkButton()->click();
                     }},
        OwedValueEnd{"MemberTakenOut", "it was taken out of the link",
                     [](CSystem&, CLinkManagerDlg& dialog, QTreeWidgetItem* linkItem) {
                       for (int member : {1, 1, 0}) {
                         dialog.LinkTree()->setCurrentItem(linkItem->child(member));
                         dialog.RemoveMemberButton()->click();
                       }
                     }},
        OwedValueEnd{"DeviceDeleted", "the device was deleted",
                     [](CSystem& system, CLinkManagerDlg& dialog, QTreeWidgetItem*) {
                       dialog.close();
                       system.DeleteDevice(1);
                       system.DeleteDevice(0);
                     }}),
    [](const ::testing::TestParamInfo<OwedValueEnd>& info) { return std::string(info.param.name); });

TEST_F(LinkManagerTest, RenamingALinkStoresTheTextAndEnterOrEscapeNeverCloseTheDialog) {
  CLinkManagerDlg dialog(system);
  Open(dialog);
  dialog.AddLinkButton()->click();
  QTreeWidgetItem* item = dialog.LinkTree()->topLevelItem(0);
  EXPECT_TRUE(item->flags() & Qt::ItemIsEditable);
  item->setText(0, "");
  EXPECT_EQ(system.Links().GetLinks()[0]->GetName(), "");
  item->setText(0, "Front fills");
  EXPECT_EQ(system.Links().GetLinks()[0]->GetName(), "Front fills");
  PressKey(&dialog, Qt::Key_Escape);
  PressKey(&dialog, Qt::Key_Return);
  for (int i = 0; i < 30; ++i) dialog.FadeStep();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.IsFadingIn());
}

// A link name is written into the log's lines: a line end in it would start a line without a
// time stamp. Such a name, and one longer than 30 characters pasted into the editor (typing
// stops at 30), is refused in words under the link, which keeps its name.
TEST_F(LinkManagerTest, ALinkNameWithALineEndOrOverThirtyCharactersIsRefusedInWords) {
  CLinkManagerDlg dialog(system);
  Open(dialog);
  dialog.AddLinkButton()->click();
  QTreeWidgetItem* item = dialog.LinkTree()->topLevelItem(0);
  item->setText(0, "Front fills");
  struct {
    const char* typed;
    const char* refusal;
  } const cases[] = {
      {"L\xC3\xAFnk\tX\nY", "Link name cannot contain control characters"},
      {"Fills and delays of the front of house", "Link name too long - 30 characters max"},
  };
  for (const auto& c : cases) {
    item->setText(0, QString::fromUtf8(c.typed));
    EXPECT_EQ(system.Links().GetLinks()[0]->GetName(), "Front fills") << c.typed;
    EXPECT_EQ(item->text(0), "Front fills");
    ASSERT_NE(dialog.RefusalTip(), nullptr);
    EXPECT_TRUE(dialog.RefusalTip()->isVisible());
    EXPECT_EQ(dialog.RefusalTip()->Message(), c.refusal);
  }
  if (const QByteArray dir = qgetenv("ORVAK_SHOTS_DIR"); !dir.isEmpty()) {
    // The dialog with the tip where it stands over it.
    QImage shot = dialog.grab().toImage();
    QPainter painter(&shot);
    dialog.RefusalTip()->render(&painter, dialog.RefusalTip()->mapToGlobal(QPoint()) - dialog.mapToGlobal(QPoint()));
    painter.end();
    shot.save(QString::fromUtf8(dir) + QStringLiteral("/link-manager-name-refused.png"));
  }

  // Through the editor: typing stops at 30 characters, a paste goes in whole.
  dialog.LinkTree()->editItem(item, 0);
  auto* editor = dialog.LinkTree()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->clear();
  TypeText(editor, QStringLiteral("Fills and delays of the front of house"));
  EXPECT_EQ(editor->text(), QStringLiteral("Fills and delays of the front "));
  editor->selectAll();
  QApplication::clipboard()->setText(QStringLiteral("Fills and delays of the front of house"));
  editor->paste();
  EXPECT_EQ(editor->text(), QStringLiteral("Fills and delays of the front of house"));
  PressKey(editor, Qt::Key_Return);
  EXPECT_EQ(system.Links().GetLinks()[0]->GetName(), "Front fills");
  item->setText(0, QString::fromUtf8("L\xC3\xAFnk 2"));
  EXPECT_EQ(system.Links().GetLinks()[0]->GetName(), "L\xC3\xAFnk 2");
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
  EXPECT_TRUE(empty.Links().GetLinks()[0]->GetMembers().empty());
  dialog.DeleteLinkButton()->click();
  EXPECT_TRUE(empty.Links().GetLinks().empty());
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

// Two units that carry the same name (as an autoscan leaves them) are told apart by their model
// and ID, in the device list and in the links' members; every text shows whole.
TEST(LinkManagerNames, UnitsOfOneNameAreToldApartByModelAndId) {
  RegisterProcessorFamily();
  CSystem system;
  for (const auto& [id, type] : {std::pair{3u, 120u}, {4u, 120u}, {9u, 121u}}) {
    CDevice* device = system.CreateDevice(id, type, 0);
    ASSERT_NE(device, nullptr);
    NameDevice(device, "Sim Processor");
    system.AppendDevice(device);
  }
  CLinkManagerDlg dialog(system);
  dialog.SetTitle("Link Manager");
  dialog.SetCloseBoxShown(true);
  dialog.show();
  WaitForUi([&] { return dialog.isVisible(); });
  QStringList devices;
  for (int i = 0; i < dialog.DeviceList()->count(); ++i) devices << dialog.DeviceList()->itemText(i);
  EXPECT_EQ(devices.join('|').toStdString(),
            "Sim Processor (Nerex48, ID 3)|Sim Processor (Nerex48, ID 4)|Sim Processor (Torvex48, ID 9)");

  dialog.AddLinkButton()->click();
  QTreeWidgetItem* linkItem = dialog.LinkTree()->topLevelItem(0);
  for (int device : {0, 1, 2}) {
    dialog.LinkTree()->setCurrentItem(linkItem);
    dialog.DeviceList()->setCurrentIndex(device);
    dialog.ParameterList()->setCurrentRow(0);
    dialog.AddMemberButton()->click();
  }
  ASSERT_EQ(linkItem->childCount(), 3);
  EXPECT_TRUE(linkItem->child(0)->text(0).startsWith("Sim Processor (Nerex48, ID 3) - "));
  EXPECT_TRUE(linkItem->child(1)->text(0).startsWith("Sim Processor (Nerex48, ID 4) - "));
  EXPECT_TRUE(linkItem->child(2)->text(0).startsWith("Sim Processor (Torvex48, ID 9) - "));
  SaveShotIfAsked(dialog, "link-manager-names");

  // Whole: the longest member and the chosen device fit their boxes.
  const QFontMetrics tree(dialog.LinkTree()->font());
  for (int i = 0; i < linkItem->childCount(); ++i) {
    const QRect row = dialog.LinkTree()->visualItemRect(linkItem->child(i));
    EXPECT_LE(row.left() + tree.horizontalAdvance(linkItem->child(i)->text(0)), dialog.LinkTree()->viewport()->width())
        << linkItem->child(i)->text(0).toStdString();
  }
  const QFontMetrics combo(dialog.DeviceList()->font());
  EXPECT_LT(combo.horizontalAdvance(dialog.DeviceList()->itemText(2)), dialog.DeviceList()->width() - 30);
}
