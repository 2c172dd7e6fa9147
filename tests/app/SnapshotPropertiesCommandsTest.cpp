// The frame's snapshot commands and combo against a system with processors, and the
// properties pane showing the selected processor's rows and committing an edit to it.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>

#include "app/CommandIds.h"
#include "core/model/Confirm.h"
#include "core/model/Device.h"
#include "core/model/Snapshot.h"
#include "custom/ButtonControl.h"
#include "custom/CPData.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/WindowInput.h"
#include "ui/ConfirmDlg.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/DevicePropertiesPane.h"

namespace {

class SnapshotCommands : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    RegisterProcessorFamily();
    MakeFrame();
    frame->RunCommand(33120);
    frame->RunCommand(33114);
    SetConfirmSnapshotRecall(true);
    SetConfirmSnapshotDelete(true);
  }
  CSystem& System() { return frame->GetSystem(); }
  QComboBox& Combo() { return frame->GetSnapshotCombo(); }
  bool Enabled(std::uint32_t id) {
    frame->UpdateCommandUI();
    return frame->GetCommand(id)->isEnabled();
  }
  std::vector<std::string> Items() {
    std::vector<std::string> items;
    for (int i = 0; i < Combo().count(); ++i) items.push_back(Combo().itemText(i).toStdString());
    return items;
  }
  void NewSnapshot(const std::string& name) {
    prompts.snapshotCreate = CFakePrompts::SnapshotChoice{name, true, -1};
    frame->RunCommand(Cmd::kNewSnapshot);
  }
  void Choose(int index) {
    Combo().setCurrentIndex(index);
    frame->RunCommand(Cmd::kSnapshotCombo);
  }
};

TEST_F(SnapshotCommands, NewProposesTheFirstFreeNumberAndAddsTheTypedName) {
  EXPECT_TRUE(Enabled(Cmd::kNewSnapshot));
  EXPECT_FALSE(Enabled(Cmd::kDeleteSnapshot));
  EXPECT_FALSE(Enabled(Cmd::kRenameSnapshot));
  System().SetModified(false);
  NewSnapshot("Snapshot 1");
  NewSnapshot("Snapshot 3");
  NewSnapshot("Show");
  EXPECT_EQ(prompts.proposedSnapshotNames, (std::vector<std::string>{"Snapshot 1", "Snapshot 2", "Snapshot 2"}));
  EXPECT_EQ(Items(), (std::vector<std::string>{"Snapshot 1", "Snapshot 3", "Show"}));
  EXPECT_TRUE(System().IsModified());
  EXPECT_TRUE(Enabled(Cmd::kDeleteSnapshot));

  // Cancelled: nothing added.
  prompts.snapshotCreate.reset();
  frame->RunCommand(Cmd::kNewSnapshot);
  EXPECT_EQ(System().GetSnapshots().size(), 3u);
}

TEST_F(SnapshotCommands, NewPreselectsTheChosenSnapshotAndOverwritesItInPlace) {
  NewSnapshot("A");
  NewSnapshot("B");
  Combo().setCurrentIndex(1);
  const CUuid id = System().GetSnapshots()[1]->GetUuid();
  prompts.snapshotCreate = CFakePrompts::SnapshotChoice{"ignored", false, 1};
  frame->RunCommand(Cmd::kNewSnapshot);
  EXPECT_EQ(prompts.proposedSnapshotIndex, 1);
  ASSERT_EQ(Items(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(System().GetSnapshots()[1]->GetUuid(), id);
  EXPECT_EQ(Combo().currentIndex(), 1);
}

TEST_F(SnapshotCommands, ChoosingInTheComboRecallsAfterTheQuestionAndMovesTheStar) {
  NewSnapshot("A");
  NewSnapshot("B");
  System().SetModified(false);
  Choose(1);
  EXPECT_EQ(System().GetCurrentSnapshot(), 1);
  // The devices' settings and the current snapshot changed: New asks before dropping them.
  EXPECT_TRUE(System().IsModified());
  frame->RunCommand(Cmd::kFileNew);
  EXPECT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(System().GetSnapshots().size(), 2u);
  EXPECT_EQ(Items(), (std::vector<std::string>{"A", "B*"}));
  EXPECT_EQ(Combo().currentIndex(), 1);
  prompts.confirmOk = false;
  Choose(0);
  EXPECT_EQ(System().GetCurrentSnapshot(), 1);
  // Declined: the combo shows the snapshot recalled, which Delete and Rename act on.
  EXPECT_EQ(Combo().currentIndex(), 1);
  EXPECT_EQ(Combo().currentText().toStdString(), "B*");
  prompts.confirms.clear();
  prompts.confirmOk = false;
  frame->RunCommand(Cmd::kDeleteSnapshot);
  ASSERT_EQ(prompts.confirms.size(), 1u);
  EXPECT_EQ(prompts.confirms[0].text, "Are you sure you want to delete this snapshot?\n\n\"B\"");
  prompts.confirmOk = true;
  Choose(0);
  EXPECT_EQ(Items(), (std::vector<std::string>{"A*", "B"}));

  // A user who may not recall snapshots finds the combo disabled.
  System().Users().GetUsers()[0]->SetRestrictionMask(kRestrictRecallSnapshots);
  frame->UpdateCommandUI();
  EXPECT_FALSE(Combo().isEnabled());
  EXPECT_FALSE(Enabled(Cmd::kNewSnapshot));
}

TEST_F(SnapshotCommands, DeleteKeepsTheChosenIndexWhileItLastsAndEmptiesTheCombo) {
  NewSnapshot("A");
  NewSnapshot("B");
  Combo().setCurrentIndex(1);
  prompts.confirmOk = false;
  frame->RunCommand(Cmd::kDeleteSnapshot);
  EXPECT_EQ(Items().size(), 2u);
  prompts.confirmOk = true;
  frame->RunCommand(Cmd::kDeleteSnapshot);
  EXPECT_EQ(Items(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(Combo().currentIndex(), 0);
  frame->RunCommand(Cmd::kDeleteSnapshot);
  EXPECT_TRUE(Items().empty());
  EXPECT_FALSE(Enabled(Cmd::kDeleteSnapshot));
}

// The roads by which a snapshot is recalled: the toolbar's combo, and a custom panel's button.
enum class ERecallRoad { kCombo, kPanelButton };

class SnapshotRecallRoads : public SnapshotCommands, public ::testing::WithParamInterface<ERecallRoad> {};

// After a recall by any road the combo shows the snapshot recalled, and Delete asks about it by
// its name and deletes that one: the snapshot chosen before, and its button, stay.
TEST_P(SnapshotRecallRoads, TheComboShowsWhatWasRecalledAndDeleteNamesWhatItDeletes) {
  NewSnapshot("Snap 0");
  NewSnapshot("Snap 1");
  NewSnapshot("Snap 66");
  Combo().setCurrentIndex(0);

  // A panel with a button for "Snap 0" and one for "Snap 66".
  frame->RunCommand(Cmd::kDesignMode);
  frame->RunCommand(Cmd::kNewCustomPanel);
  CCPData* panel = System().GetCustomPanels()[0];
  auto button = [&](int top, int snapshot) {
    auto* widget = new CCCButton(panel->m_pView, CRect{10, top, 90, top + 30});
    widget->m_flags = (widget->m_flags & ~kButtonActions) | kButtonRecallSnapshot;
    widget->m_snapshotId = System().GetSnapshots()[std::size_t(snapshot)]->GetUuid();
    panel->m_widgets.push_back(widget);
    return widget;
  };
  CCCButton* s0 = button(10, 0);
  CCCButton* s66 = button(60, 2);
  const CUuid snap0 = s0->m_snapshotId;
  frame->RunCommand(Cmd::kOperateMode);
  auto* view = dynamic_cast<CCustomControlPanelWnd*>(panel->m_pView);
  ASSERT_NE(view, nullptr);

  if (GetParam() == ERecallRoad::kCombo) {
    Choose(2);
  } else {
    Click(*view, QPoint(50, 75));
    ProcessEvents();
  }
  ASSERT_EQ(System().GetCurrentSnapshot(), 2);
  EXPECT_EQ(Combo().currentIndex(), 2);
  EXPECT_EQ(Combo().currentText().toStdString(), "Snap 66*");
  EXPECT_TRUE(s66->m_state);

  // Refused: the question named it, and nothing goes.
  prompts.confirms.clear();
  prompts.confirmOk = false;
  frame->RunCommand(Cmd::kDeleteSnapshot);
  ASSERT_EQ(prompts.confirms.size(), 1u);
  EXPECT_EQ(prompts.confirms[0].caption, "Confirm Snapshot Delete");
  EXPECT_EQ(prompts.confirms[0].text, "Are you sure you want to delete this snapshot?\n\n\"Snap 66\"");
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    CConfirmDlg box(QString::fromStdString(prompts.confirms[0].caption), QString::fromStdString(prompts.confirms[0].text),
                    QStringLiteral("Delete"));
    box.grab().save(folder + "/snapshot-delete-question.png");
    frame->grab().save(folder + "/snapshot-recalled-frame.png");
  }
  EXPECT_EQ(Items(), (std::vector<std::string>{"Snap 0", "Snap 1", "Snap 66*"}));

  prompts.confirmOk = true;
  frame->RunCommand(Cmd::kDeleteSnapshot);
  EXPECT_EQ(Items(), (std::vector<std::string>{"Snap 0", "Snap 1"}));
  EXPECT_EQ(System().GetCurrentSnapshot(), -1);
  EXPECT_EQ(s0->m_snapshotId, snap0);
  EXPECT_EQ(s66->m_snapshotId, CUuid{});

  // Each question names the snapshot it is about: the next one is about the one now shown.
  prompts.confirmOk = false;
  frame->RunCommand(Cmd::kDeleteSnapshot);
  ASSERT_EQ(prompts.confirms.size(), 3u);
  EXPECT_EQ(prompts.confirms[2].text,
            "Are you sure you want to delete this snapshot?\n\n\"" + Combo().currentText().toStdString() + "\"");
}

INSTANTIATE_TEST_SUITE_P(Roads, SnapshotRecallRoads, ::testing::Values(ERecallRoad::kCombo, ERecallRoad::kPanelButton),
                         [](const auto& info) { return info.param == ERecallRoad::kCombo ? "Combo" : "PanelButton"; });

TEST_F(SnapshotCommands, RenameTakesTheTypedNameAndKeepsTheChoice) {
  NewSnapshot("A");
  NewSnapshot("B");
  Combo().setCurrentIndex(1);
  System().SetModified(false);
  prompts.snapshotRename = "C";
  frame->RunCommand(Cmd::kRenameSnapshot);
  EXPECT_EQ(prompts.renamedFrom, std::vector<std::string>{"B"});
  EXPECT_EQ(Items(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(Combo().currentIndex(), 1);
  EXPECT_TRUE(System().IsModified());
  prompts.snapshotRename.reset();
  frame->RunCommand(Cmd::kRenameSnapshot);
  EXPECT_EQ(System().GetSnapshots()[1]->m_name, "C");
}

// --- The properties pane on the selected processor ---

TEST_F(SnapshotCommands, SelectedProcessorShowsItsRowsAndAGridEditReachesIt) {
  CDevicePropertiesCtrl& grid = frame->GetPropertiesPane().GetGrid();
  CDevice* device = System().GetDevice(1);
  ASSERT_EQ(grid.GetCurrentDevice(), device);
  ASSERT_NE(grid.FindRow("ID"), nullptr);
  ASSERT_NE(grid.FindRow("Delay Units"), nullptr);
  const std::uint32_t oldId = device->GetDeviceId();

  auto type = [&](const char* name, const char* text) {
    ASSERT_TRUE(grid.BeginEdit(grid.FindRow(name)));
    auto* edit = grid.GetEditor()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromLatin1(text));
    emit edit->textEdited(edit->text());
    emit edit->returnPressed();
  };
  System().SetModified(false);
  type("ID", "99");
  EXPECT_EQ(device->GetDeviceId(), oldId);
  EXPECT_EQ(grid.GetErrorTipText(), "Device ID must be between 0 and 63");
  EXPECT_FALSE(System().IsModified());
  // Text that is no number never readdresses the unit: not as ID 0, not wrapped to ID 12.
  const std::pair<const char*, const char*> refused[] = {{"abc", "\"abc\" is not a number"},
                                                          {"12abc", "\"12abc\" is not a number"},
                                                          {"4294967308", "4294967308 is out of range"}};
  for (const auto& [typed, message] : refused) {
    type("ID", typed);
    EXPECT_EQ(device->GetDeviceId(), oldId) << typed;
    EXPECT_EQ(grid.GetErrorTipText(), message);
    EXPECT_EQ(grid.ItemOf(grid.FindRow("ID"))->text(1), QString::number(oldId));
  }
  EXPECT_FALSE(System().IsModified());

  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    frame->GetPropertiesPane().resize(320, 560);
    grid.BeginEdit(grid.FindRow("Delay Units"));
    frame->GetPropertiesPane().grab().save(folder + "/pane.png");
    System().File().SaveFile((folder + "/sample.ovd").toStdString());
    for (QWidget* w : grid.findChildren<QWidget*>())
      if (w->isWindow() && w->isVisible()) w->grab().save(folder + "/tip.png");
    grid.EndEdit(false);
  }
  type("ID", "17");
  EXPECT_EQ(device->GetDeviceId(), 17u);
  EXPECT_TRUE(System().IsModified());
  ProcessEvents();  // the rack's refresh and the panel title request
  EXPECT_EQ(grid.GetCurrentDevice(), device);
  EXPECT_EQ(grid.ItemOf(grid.FindRow("ID"))->text(1), "17");
}

}  // namespace

namespace {

TEST_F(SnapshotCommands, SecurityCodeRowTakesFourDigitsThroughItsMask) {
  frame->RunCommand(33016);  // a Fennick, selected
  CDevicePropertiesCtrl& grid = frame->GetPropertiesPane().GetGrid();
  CDeviceProperty* code = grid.FindRow("Security Code");
  ASSERT_NE(code, nullptr);
  auto type = [&](const char* text) {
    ASSERT_TRUE(grid.BeginEdit(code));
    auto* edit = grid.GetEditor()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->clear();
    edit->insert(QString::fromLatin1(text));
    emit edit->textEdited(edit->text());
    emit edit->returnPressed();
  };
  const QString before = grid.ItemOf(code)->text(1);
  type("12");
  EXPECT_EQ(grid.GetErrorTipText(), "Security code must be 4 digits");
  EXPECT_EQ(grid.ItemOf(code)->text(1), before);
  type("4x21");  // the mask lets no letter in
  EXPECT_EQ(grid.ItemOf(code)->text(1), before);
  type("4321");
  EXPECT_EQ(grid.ItemOf(code)->text(1), "4321");
}

}  // namespace
