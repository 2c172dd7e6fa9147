// The properties grid driven through its in-place editors: the commit to the shown object
// (accepted, refused, unchanged, busy), list and Set-button rows, the error tip and the
// rebuild requests.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <functional>

#include "core/system/System.h"
#include "custom/FaderControl.h"
#include "core/support/SystemMessages.h"
#include "platform/WindowMessages.h"
#include "tests/support/TestDevices.h"
#include "ui/DevicePropertiesPane.h"

namespace {

void Key(QWidget* w, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &release);
}

// Types text as key presses, one character at a time.
void KeyClicks(QWidget* w, const QString& text) {
  for (QChar c : text) Key(w, c.isLetter() ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown, QString(c));
}

enum : std::uint32_t { kRowLevel = 1, kRowLabel = 2, kRowMode = 3, kRowEnabled = 4, kRowCode = 5 };

// A device with one row of each kind; its handler records each call and refuses a level
// outside 0 to 10.
class CGridDevice : public CTestDevice {
 public:
  using CTestDevice::CTestDevice;

  void FillPropertiesPane(IDevicePropertyGrid& grid) override {
    ++fills;
    auto group = std::make_unique<CDevicePropertyGroup>("General");
    group->Add(std::make_unique<CDeviceProperty>("Level", CDeviceProperty::Value(level), "Set the level", kRowLevel));
    group->Add(std::make_unique<CDeviceProperty>("Label", CDeviceProperty::Value(label), "Set the label", kRowLabel));
    auto& mode = group->Add(
        std::make_unique<CDeviceProperty>("Mode", CDeviceProperty::Value(std::string(kModes[mode_])), "", kRowMode));
    for (const char* m : kModes) mode.AddOption(m);
    mode.AllowEdit(false);
    group->Add(std::make_unique<CDeviceProperty>("Enabled", CDeviceProperty::Value(enabled), "", kRowEnabled));
    group->Add(std::make_unique<CDeviceProperty>("Code", CDeviceProperty::Value(std::string("0000")), "", kRowCode))
        .SetButtonMode(true);
    group->Add(std::make_unique<CDeviceProperty>("Firmware", CDeviceProperty::Value(std::string("1.0")), "", 99))
        .Enable(false);
    grid.AddGroup(std::move(group));
  }

  bool OnPropertyChanged(CDeviceProperty& row) override {
    calls.push_back(row.GetData());
    if (during) during(row);
    switch (row.GetData()) {
      case kRowLevel:
        if (row.GetNumber() < 0 || row.GetNumber() > 10) {
          row.SetErrorText("Level must be between 0 and 10");
          return false;
        }
        level = row.GetNumber();
        row.SetRefresh(refreshOnLevel);
        return true;
      case kRowLabel: label = row.GetText(); return true;
      case kRowMode: mode_ = GetPropertyComboSelection(row); return true;
      case kRowEnabled: enabled = row.GetBool(); return true;
      case kRowCode: code = row.GetText(); return true;
      default: return false;
    }
  }

  static constexpr const char* kModes[3] = {"Off", "Slow", "Fast"};
  std::int64_t level = 4;
  std::string label = "Stage";
  int mode_ = 1;
  bool enabled = true;
  std::string code;
  bool refreshOnLevel = false;
  int fills = 0;
  std::vector<std::uint32_t> calls;
  std::function<void(CDeviceProperty&)> during;
};

// A custom widget that shows one row and accepts everything.
class CGridWidget : public CTestWidget {
 public:
  void FillPropertiesPane(IDevicePropertyGrid& grid) override {
    auto group = std::make_unique<CDevicePropertyGroup>("Widget");
    group->Add(std::make_unique<CDeviceProperty>("Width", CDeviceProperty::Value(std::int64_t(40)), "", 2));
    grid.AddGroup(std::move(group));
  }
  bool OnPropertyChanged(CDeviceProperty& row) override {
    ++calls;
    return row.GetNumber() > 0;
  }
  int calls = 0;
};

class PropertiesGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    device = new CGridDevice(&system, 1);
    system.AppendDevice(device);
    pane.resize(300, 400);
    pane.show();
    pane.GetGrid().SetMessageSink(&sink);
    pane.ShowDeviceProperties(false, device);
  }

  CDevicePropertiesCtrl& Grid() { return pane.GetGrid(); }
  CDeviceProperty& Row(const char* name) { return *Grid().FindRow(name); }
  QLineEdit* Edit() { return Grid().GetEditor() ? Grid().GetEditor()->findChild<QLineEdit*>() : nullptr; }
  QComboBox* Combo() { return Grid().GetEditor() ? Grid().GetEditor()->findChild<QComboBox*>() : nullptr; }
  QString Shown(const char* name) { return Grid().ItemOf(&Row(name))->text(1); }

  // Opens the row's editor, types text over its value (or deletes it) and presses Enter.
  void Type(const char* name, const QString& text) {
    ASSERT_TRUE(Grid().BeginEdit(&Row(name)));
    ASSERT_NE(Edit(), nullptr);
    Edit()->selectAll();
    if (text.isEmpty()) Key(Edit(), Qt::Key_Backspace);
    KeyClicks(Edit(), text);
    Key(Edit(), Qt::Key_Return);
  }

  CSystem system;
  CGridDevice* device = nullptr;
  CRecordingSink sink;
  CDevicePropertiesPane pane{QStringLiteral("Properties")};
};

TEST_F(PropertiesGrid, ShowsGroupsRowsAndTheSelectedRowsDescription) {
  ASSERT_EQ(Grid().topLevelItemCount(), 1);
  EXPECT_EQ(Grid().topLevelItem(0)->text(0), "General");
  EXPECT_TRUE(Grid().topLevelItem(0)->isExpanded());
  EXPECT_EQ(Shown("Level"), "4");
  EXPECT_EQ(Shown("Mode"), "Slow");
  EXPECT_EQ(Shown("Enabled"), "True");
  Grid().setCurrentItem(Grid().ItemOf(&Row("Label")));
  EXPECT_TRUE(pane.GetDescriptionArea().text().contains("Set the label"));
  EXPECT_FALSE(Grid().BeginEdit(&Row("Firmware")));  // read-only: no editor
}

TEST_F(PropertiesGrid, AnAcceptedEditReachesTheDeviceOnce) {
  Type("Level", "7");
  EXPECT_EQ(device->calls, std::vector<std::uint32_t>{kRowLevel});
  EXPECT_EQ(device->level, 7);
  EXPECT_EQ(Shown("Level"), "7");
  EXPECT_EQ(Grid().GetEditor(), nullptr);
  EXPECT_FALSE(Grid().IsErrorTipVisible());
  EXPECT_FALSE(Grid().IsLocked());
}

TEST_F(PropertiesGrid, AnUnchangedTextDoesNotCallTheDevice) {
  Type("Level", " 4");  // reads as the same number
  Type("Label", "Stage");
  EXPECT_TRUE(device->calls.empty());
}

TEST_F(PropertiesGrid, ARefusalPutsTheOldValueBackAndShowsTheMessageUnderTheRow) {
  Type("Level", "42");
  EXPECT_EQ(device->level, 4);
  EXPECT_EQ(Shown("Level"), "4");
  EXPECT_EQ(Row("Level").GetNumber(), 4);
  ASSERT_TRUE(Grid().IsErrorTipVisible());
  EXPECT_EQ(Grid().GetErrorTipText(), "Level must be between 0 and 10");
  const QRect rowRect = Grid().visualItemRect(Grid().ItemOf(&Row("Level")));
  EXPECT_EQ(Grid().GetErrorTipPos().y(), Grid().viewport()->mapToGlobal(rowRect.bottomLeft()).y());
  EXPECT_EQ(Grid().GetErrorTipWidth(), Grid().viewport()->width() - 20);
  EXPECT_TRUE(Grid().IsErrorTimerRunning());

  Grid().OnErrorTimer();  // timer 77 ends the tip
  EXPECT_FALSE(Grid().IsErrorTipVisible());
  EXPECT_FALSE(Grid().IsErrorTimerRunning());
}

// The owner is handed the row before the row takes the edit: while the handler runs the row
// still holds (and shows) its own value beside the edited one, so a refused value never
// becomes the row's, not even for the time of the handler.
TEST_F(PropertiesGrid, TheHandlerReadsTheEditWhileTheRowKeepsAndShowsItsOwnValue) {
  struct Seen {
    CDeviceProperty::Value own;
    std::int64_t number = 0;
    std::string text;
    int choice = -1;
    QString shown;
  };
  std::vector<Seen> seen;
  device->during = [&](CDeviceProperty& row) {
    seen.push_back({row.GetValue(), row.GetNumber(), row.GetText(), GetPropertyComboSelection(row),
                    Grid().ItemOf(&row)->text(1)});
  };
  Type("Level", "42");  // refused
  Type("Level", "7");   // accepted
  ASSERT_TRUE(Grid().BeginEdit(&Row("Mode")));
  emit Combo()->activated(2);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].own, CDeviceProperty::Value(std::int64_t(4)));
  EXPECT_EQ(seen[0].number, 42);
  EXPECT_EQ(seen[0].shown, "4");
  EXPECT_EQ(seen[1].own, CDeviceProperty::Value(std::int64_t(4)));
  EXPECT_EQ(seen[1].number, 7);
  EXPECT_EQ(seen[2].own, CDeviceProperty::Value(std::string("Slow")));
  EXPECT_EQ(seen[2].text, "Fast");
  EXPECT_EQ(seen[2].choice, 2);
  EXPECT_EQ(seen[2].shown, "Slow");
  // After the answers: the refusal left nothing, the acceptances are the rows' values.
  EXPECT_EQ(Row("Level").GetValue(), CDeviceProperty::Value(std::int64_t(7)));
  EXPECT_EQ(Row("Level").GetNumber(), 7);
  EXPECT_EQ(Shown("Level"), "7");
  EXPECT_EQ(Row("Mode").GetText(), "Fast");
  EXPECT_EQ(Shown("Mode"), "Fast");
}

// After a refusal the row shows what the object holds: the value of an edit it accepted since
// the pane was filled, or one it took by another way (a unit's report) before the pane knew.
TEST_F(PropertiesGrid, ARefusalShowsTheValueTheObjectHoldsNow) {
  Type("Level", "6");
  Type("Level", "11");
  EXPECT_EQ(device->level, 6);
  EXPECT_EQ(Shown("Level"), "6");
  EXPECT_EQ(Row("Level").GetNumber(), 6);
  device->level = 9;  // the grid was not told
  Type("Level", "12");
  EXPECT_EQ(Shown("Level"), "9");
  // An accepted value is what an unchanged commit compares with.
  Type("Level", "9");
  EXPECT_EQ(device->calls.size(), 3u);
}

// Text that is no value of a number row (letters, a number with more after it, a fraction,
// nothing, a number its word cannot hold) is refused as such: the owner never sees it as 0 or
// wrapped, the row keeps what the object holds and the tip says why. A number the word holds
// still goes to the owner, which refuses it with its own words.
TEST_F(PropertiesGrid, TextThatIsNoNumberOfTheRowIsRefusedBeforeTheOwner) {
  device->level = 0;  // text that reads as 0 must not pass as "unchanged" either
  pane.ShowDeviceProperties(true, device);
  const std::pair<const char*, const char*> refused[] = {{"abc", "\"abc\" is not a number"},
                                                          {"7abc", "\"7abc\" is not a number"},
                                                          {"2.5", "\"2.5\" is not a whole number"},
                                                          {"", "Enter a number"},
                                                          {"4294967303", "4294967303 is out of range"}};
  for (const auto& [typed, message] : refused) {
    SCOPED_TRACE(typed);
    Type("Level", typed);
    EXPECT_TRUE(device->calls.empty());
    EXPECT_EQ(device->level, 0);
    EXPECT_EQ(Shown("Level"), "0");
    ASSERT_TRUE(Grid().IsErrorTipVisible());
    EXPECT_EQ(Grid().GetErrorTipText(), message);
  }
  Type("Level", "4294967295");  // the word's -1
  EXPECT_EQ(device->calls, std::vector<std::uint32_t>{kRowLevel});
  EXPECT_EQ(Grid().GetErrorTipText(), "Level must be between 0 and 10");
  EXPECT_EQ(Shown("Level"), "0");
  Type("Label", "abc");  // a text row takes any text
  EXPECT_EQ(device->label, "abc");

  // A widget's handler runs at every commit, but not for text that is no number.
  CGridWidget widget;
  pane.ShowControlProperties(false, &widget);
  Type("Width", "ten");
  EXPECT_EQ(widget.calls, 0);
  EXPECT_EQ(Grid().GetErrorTipText(), "\"ten\" is not a number");
  EXPECT_EQ(Shown("Width"), "40");
}

TEST_F(PropertiesGrid, AListChoiceIsCommittedWhenTheListClosesEvenForTheCurrentItem) {
  ASSERT_TRUE(Grid().BeginEdit(&Row("Mode")));
  ASSERT_NE(Combo(), nullptr);
  EXPECT_EQ(Combo()->currentText(), "Slow");
  emit Combo()->activated(1);  // the current item again
  EXPECT_EQ(device->calls, std::vector<std::uint32_t>{kRowMode});
  ASSERT_TRUE(Grid().BeginEdit(&Row("Mode")));
  emit Combo()->activated(2);
  EXPECT_EQ(device->mode_, 2);
  EXPECT_EQ(Shown("Mode"), "Fast");

  ASSERT_TRUE(Grid().BeginEdit(&Row("Enabled")));
  emit Combo()->activated(1);  // "False"
  EXPECT_FALSE(device->enabled);
  EXPECT_EQ(Shown("Enabled"), "False");
}

TEST_F(PropertiesGrid, InSetButtonModeOnlyTheButtonCommits) {
  Type("Code", "1234");
  EXPECT_TRUE(device->calls.empty());
  EXPECT_EQ(Shown("Code"), "1234");  // the row just shows the typed text
  ASSERT_TRUE(Grid().BeginEdit(&Row("Code")));
  auto* set = Grid().GetEditor()->findChild<QAbstractButton*>("SetButton");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->text(), "Set");
  set->click();  // unchanged text, still committed
  EXPECT_EQ(device->calls, std::vector<std::uint32_t>{kRowCode});
  EXPECT_EQ(device->code, "1234");
  EXPECT_FALSE(Row("Code").IsInClick());

  // A read-only value with a Set button: the editor opens read-only and the button commits.
  Row("Code").AllowEdit(false);
  ASSERT_TRUE(Grid().BeginEdit(&Row("Code")));
  EXPECT_TRUE(Edit()->isReadOnly());
  Grid().GetEditor()->findChild<QAbstractButton*>("SetButton")->click();
  EXPECT_EQ(device->calls.size(), 2u);
}

TEST_F(PropertiesGrid, WhileTheHandlerRunsTheGridIsNeverRebuilt) {
  device->during = [this](CDeviceProperty&) {
    EXPECT_TRUE(Grid().IsLocked());
    pane.ShowDeviceProperties(true, device);
    pane.RefreshProperties();
    pane.ShowDeviceProperties(true, nullptr);
  };
  const int fills = device->fills;
  Type("Level", "3");
  EXPECT_EQ(device->fills, fills);
  EXPECT_EQ(Grid().GetCurrentDevice(), device);
  EXPECT_EQ(Shown("Level"), "3");
  EXPECT_FALSE(Grid().IsLocked());
}

TEST_F(PropertiesGrid, ARefreshRequestIsPostedForTheShownObjectWithForce) {
  device->refreshOnLevel = true;
  Type("Level", "2");
  const auto posted = sink.Take();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].message, FrameMsg::kSelectDevice);
  EXPECT_EQ(posted[0].handle, device->GetHandle());
  EXPECT_EQ(posted[0].lParam, 1);
  EXPECT_FALSE(Row("Level").IsRefresh());
}

TEST_F(PropertiesGrid, ShowingTheSameObjectRebuildsOnlyWithForce) {
  const int fills = device->fills;
  pane.ShowDeviceProperties(false, device);
  EXPECT_EQ(device->fills, fills);
  pane.ShowDeviceProperties(true, device);
  EXPECT_EQ(device->fills, fills + 1);
  EXPECT_TRUE(Grid().topLevelItem(0)->isExpanded());
  pane.RefreshProperties();
  EXPECT_EQ(device->fills, fills + 2);
  pane.ShowDeviceProperties(false, nullptr);
  EXPECT_EQ(Grid().topLevelItemCount(), 0);
  pane.RefreshProperties();  // nothing shown: nothing happens
  EXPECT_EQ(Grid().topLevelItemCount(), 0);
}

TEST_F(PropertiesGrid, AWidgetsHandlerRunsAtEveryCommitChangedOrNot) {
  CGridWidget widget;
  pane.ShowControlProperties(false, &widget);
  EXPECT_EQ(Grid().GetCurrentDevice(), nullptr);
  ASSERT_NE(Grid().FindRow("Width"), nullptr);
  Type("Width", "40");
  EXPECT_EQ(widget.calls, 1);
  Type("Width", "-3");
  EXPECT_EQ(widget.calls, 2);
  EXPECT_EQ(Shown("Width"), "40");
  EXPECT_TRUE(Grid().IsErrorTipVisible());
  EXPECT_EQ(Grid().GetErrorTipText(), "");  // the label "Error" only
  pane.ShowControlProperties(false, nullptr);
  EXPECT_EQ(Grid().GetCurrentWidget(), nullptr);
}

// A bound fader's Range rows refuse letters as every number row does: the row keeps its value
// and the tip under it says why.
TEST_F(PropertiesGrid, AFadersRangeRowsRefuseLettersWithTheRowsWords) {
  // A device whose every parameter is the test family's gain, a level from -80 to 10 dB.
  class CGainDevice : public CTestDevice {
   public:
    using CTestDevice::CTestDevice;
    CParamInfo GetParameterAt(int) override { return CTestDevice::GetParameterAt(0); }
  };
  auto* gain = new CGainDevice(&system, 2);
  system.AppendDevice(gain);
  gain->values[kTestGain] = CParamValue(kTestGain, -3.0f, ParamKind::kLevel);
  CCCFader fader;
  fader.m_rect = CRect{0, 0, 15, 150};
  fader.m_pDevice = gain;
  fader.m_parameterId = kTestGain;
  fader.m_rangeMin = -40.0f;
  fader.m_rangeMax = 10.0f;
  pane.ShowControlProperties(false, &fader);
  for (const auto& [row, typed] : {std::pair<const char*, QString>{"Range Min", "abc"}, {"Range Max", "5x"}}) {
    SCOPED_TRACE(row);
    const QString before = Shown(row);
    Type(row, typed);
    EXPECT_EQ(Shown(row), before);
    ASSERT_TRUE(Grid().IsErrorTipVisible());
    EXPECT_EQ(Grid().GetErrorTipText(), "\"" + typed + "\" is not a number");
  }
  EXPECT_FLOAT_EQ(fader.m_rangeMin, -40.0f);
  EXPECT_FLOAT_EQ(fader.m_rangeMax, 10.0f);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    pane.grab().save(folder + "/fader-range-refused.png");
    for (QWidget* w : Grid().findChildren<QWidget*>())
      if (w->isWindow() && w->isVisible()) w->grab().save(folder + "/fader-range-tip.png");
  }
  Type("Range Max", "5 dB");
  EXPECT_FLOAT_EQ(fader.m_rangeMax, 5.0f);
  pane.ShowControlProperties(false, nullptr);
}

TEST_F(PropertiesGrid, FocusLeavingTheGridLeavesTheEditOpenAndEscapeCancelsIt) {
  QLineEdit other;
  other.show();
  ASSERT_TRUE(Grid().BeginEdit(&Row("Label")));
  KeyClicks(Edit(), "X");
  other.setFocus();
  QApplication::processEvents();
  EXPECT_EQ(Grid().GetEditRow(), &Row("Label"));
  Key(Edit(), Qt::Key_Escape);
  EXPECT_EQ(Grid().GetEditRow(), nullptr);
  EXPECT_TRUE(device->calls.empty());
  EXPECT_EQ(Shown("Label"), "Stage");
}

}  // namespace
