// The Fennick panels on processors made by the factory: the compact skin and its size, what
// they show, every button driven through the widgets with the real preset dialogs answered, a
// selection beyond the preset list, and store and recall against the simulated unit. Set
// ORVAK_TILE_PNG_DIR to keep the renderings for a look.
#include "tests/devices/processor/ProcessorTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>

#include "core/model/User.h"
#include "core/protocol/SevenBit.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesFile.h"
#include "devices/processor/ProcessorFamily.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/processor/FennickControlPanel.h"
#include "panels/PanelClasses.h"
#include "panels/framework/TextControl.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "platform/Sync.h"
#include "resources/FennickPanelLayout.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/CollectingGrid.h"
#include "tests/support/ModalGuard.h"
#include "tests/support/ReadWhileAsked.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/TextInk.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "widgets/ErrorTip.h"
#include "panels/processor/FennickPresetDlg.h"
#include "panels/processor/FennickTimedPresetDlg.h"
#include "tests/support/ModelChanges.h"

namespace {

namespace fl = fennick_layout;

// Answers the next modal dialog of type T from inside its own event loop; counts the answers.
class CDialogAnswerer {
 public:
  template <class T>
  void Next(std::function<void(T&)> answer) {
    m_timer = std::make_unique<QTimer>();
    m_timer->setInterval(2);
    QObject::connect(m_timer.get(), &QTimer::timeout, [this, answer] {
      auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget());
      if (!dialog) return;
      m_timer->stop();
      ++answered;
      answer(*dialog);
    });
    m_timer->start();
  }
  int answered = 0;

 private:
  std::unique_ptr<QTimer> m_timer;
};

// Each runs whileOpen (when given) in the dialog's event loop before it answers.
void AnswerName(CDialogAnswerer& answerer, const QString& name, std::function<void()> whileOpen = {}) {
  answerer.Next<CFennickPresetDlg>([name, whileOpen](CFennickPresetDlg& dialog) {
    if (whileOpen) whileOpen();
    dialog.NameEdit()->setText(name);
    dialog.SaveButton()->click();
  });
}

void AnswerFile(CDialogAnswerer& answerer, const QString& path, std::function<void()> whileOpen = {}) {
  answerer.Next<QFileDialog>([path, whileOpen](QFileDialog& dialog) {
    if (whileOpen) whileOpen();
    dialog.selectFile(path);
    static_cast<QDialog&>(dialog).accept();
  });
}

// Opens the device's panel as the main frame does.
std::unique_ptr<CFennickControlPanel> OpenPanel(CNerexSeriesDevice& device) {
  RegisterDevicePanelClasses();
  std::unique_ptr<CFennickControlPanel> panel(
      dynamic_cast<CFennickControlPanel*>(CreateControlPanel(device.GetControlPanelClass())));
  if (!panel) return nullptr;
  panel->SetDevice(&device);
  if (!panel->Create()) return nullptr;
  device.SetControlPanel(panel.get());
  panel->UpdateAllControls();
  const CSize size = device.GetPanelSize();
  panel->setFixedSize(size.cx, size.cy);
  panel->show();
  QApplication::processEvents();
  return panel;
}

void Click(CControlPanelWnd& panel, const CControlObject& widget) {
  const CRect r = widget.GetRect();
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  panel.DispatchMouseMessage(WM_LBUTTONDOWN, 0, x, y);
  panel.DispatchMouseMessage(WM_LBUTTONUP, 0, x, y);
}

// Mouse events through the window, as the user's mouse sends them.
void SendMouse(QWidget& window, QEvent::Type type, const CControlObject& widget) {
  const CRect r = widget.GetRect();
  const QPointF at((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
  QMouseEvent event(type, at, window.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
  QApplication::sendEvent(&window, &event);
}
void PressThroughTheWindow(QWidget& window, const CControlObject& widget) {
  SendMouse(window, QEvent::MouseButtonPress, widget);
}
void ClickThroughTheWindow(QWidget& window, const CControlObject& widget) {
  SendMouse(window, QEvent::MouseButtonPress, widget);
  SendMouse(window, QEvent::MouseButtonRelease, widget);
}

// Chooses a row of the preset list through its drop-down.
void ChoosePreset(CFennickControlPanel& panel, int row) {
  Click(panel, *panel.GetPresetList());
  ASSERT_NE(panel.GetDropDown(), nullptr);
  ASSERT_LT(row, panel.GetDropDown()->count());
  panel.CloseDropDown(row);
}

void Keep(const CFennickControlPanel& panel, const std::string& name) {
  if (const char* dir = std::getenv("ORVAK_TILE_PNG_DIR")) panel.GetBackBuffer()->SavePng(std::string(dir) + "/" + name);
}

class FennickPanelTest : public ProcessorDeviceTest {
 protected:
  ~FennickPanelTest() override { m_system.SetUiServices(nullptr); }
  void TearDown() override {
    if (m_device) m_device->SetControlPanel(nullptr);
    panel.reset();
  }
  CNerexSeriesDevice& Ready(int model, bool online = true) {
    RegisterProcessorFamily();
    CNerexSeriesDevice& d = Make(model, 3);
    NameDevice(d, "Foyer");
    Stored(2, "Two");
    Stored(5, "Five");
    if (online) {
      OpenPort();
      Connect();
    }
    m_ui.SetConfirmPrompt(&answer);
    m_system.SetUiServices(&m_ui);
    panel = OpenPanel(d);
    return d;
  }
  void Stored(int n, const std::string& name) {
    CNerexSeriesMemory& m = *WritablePresets(*m_device)[std::size_t(n) - 1];
    m.sectionFlags = kSectionInputs | kSectionOutputs;
    m.name = name;
  }
  std::vector<std::uint32_t> Commands() const {
    std::vector<std::uint32_t> out;
    for (const Bytes& f : Queued()) out.push_back(f[6]);
    return out;
  }
  int Dark(const CRect& area) const {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x) {
        const CColour c = panel->GetBackBuffer()->GetPixel(x, y);
        n += c.R() < 80 && c.G() < 80 && c.B() < 80;
      }
    return n;
  }

  CAnswer answer;
  CRecordingUi m_ui;
  CDialogAnswerer dialogs;
  std::unique_ptr<CFennickControlPanel> panel;
};

// --- Opening ---

struct ModelCase {
  int model;
  bool zel;
  CColour stripe;
};

// Cases print by name, so that CTest's names stay the same from run to run.
void PrintTo(const ModelCase& c, std::ostream* os) { *os << "model " << c.model; }

class FennickPanelModelTest : public FennickPanelTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(FennickPanelModelTest, OpensOnTheCompactSkinWithTheDeviceThePresetsAndTheChannels) {
  const ModelCase m = GetParam();
  CNerexSeriesDevice& d = Ready(m.model, false);
  ASSERT_NE(panel, nullptr);
  Keep(*panel, "fennick_panel_" + std::to_string(m.model) + ".png");
  EXPECT_EQ(dynamic_cast<CZelFennickControlPanel*>(panel.get()) != nullptr, m.zel);
  EXPECT_EQ(CFennickControlPanel::GetInstanceCount(), 1);
  EXPECT_EQ(d.PanelView().GetPanelPage(), std::uint32_t(kNerexPageCompact));
  EXPECT_EQ(d.GetPanelSize(), (CSize{fl::kWidth, fl::kHeight}));
  EXPECT_EQ(panel->GetBackBuffer()->Width(), fl::kWidth);
  EXPECT_EQ(panel->GetBackBuffer()->Height(), fl::kHeight);
  EXPECT_EQ(panel->GetBackBuffer()->GetPixel(4, 160), m.stripe);

  EXPECT_EQ(panel->GetNameText()->GetText(), "Foyer");
  EXPECT_EQ(panel->GetNameText()->GetMaxLength(), 40);
  EXPECT_EQ(panel->GetModelText()->GetText(), d.GetModelName() + "   ID 3");
  // The display shows the first stored memory; the list every memory, empty ones as "--".
  EXPECT_EQ(panel->GetLcdText()->GetText(), "2. Two");
  EXPECT_GT(Dark(panel->GetLcdText()->GetRect()), 20);
  const auto& items = panel->GetPresetList()->GetItems();
  ASSERT_EQ(items.size(), d.GetPresets().size());
  EXPECT_EQ(items[0]->text, "1. --");
  EXPECT_EQ(items[1]->text, "2. Two");
  EXPECT_EQ(items[4]->value, 4);
  EXPECT_EQ(panel->GetPresetSelection(), 0);
  EXPECT_EQ(panel->GetPresetList()->GetId(), CFennickControlPanel::kPresetListId);
  for (int id : {420, 421, 423, 424, 425, 426, 427, 436, 437, 438}) {
    ASSERT_NE(panel->GetActionButton(id), nullptr) << id;
    EXPECT_TRUE(panel->GetActionButton(id)->IsVisible()) << id;
  }
  EXPECT_EQ(panel->GetMeter(0)->GetId(), 1);
  EXPECT_EQ(panel->GetMeter(4)->GetId(), 5);
  EXPECT_EQ(panel->GetMute(3)->GetId(), kParamInputMute + 3);
  EXPECT_EQ(panel->GetMute(11)->GetId(), kParamOutputMute + 7);
}

// A new ID given in the properties pane offline shows on the model line at once.
TEST_P(FennickPanelModelTest, TheModelLineFollowsANewIdAtOnce) {
  CNerexSeriesDevice& d = Ready(GetParam().model, false);
  ASSERT_NE(panel, nullptr);
  const CRect line = panel->GetModelText()->GetRect();
  const QImage before = panel->GetBackBuffer()->Native().copy(line.left, line.top, line.Width(), line.Height());
  CCollectingGrid grid;
  d.FillPropertiesPane(grid);
  CDeviceProperty* row = grid.Find("ID");
  ASSERT_NE(row, nullptr);
  row->SetValue(std::int64_t(12));
  ASSERT_TRUE(d.Gate().ApplyUserPropertyChange(*row)) << row->GetErrorText();
  EXPECT_EQ(panel->GetModelText()->GetText(), d.GetModelName() + "   ID 12");
  EXPECT_NE(panel->GetBackBuffer()->Native().copy(line.left, line.top, line.Width(), line.Height()), before);
  Keep(*panel, "fennick_panel_new_id_" + std::to_string(GetParam().model) + ".png");
}

INSTANTIATE_TEST_SUITE_P(Models, FennickPanelModelTest,
                         ::testing::Values(ModelCase{16, false, CColour{0xFF2F7FD0u}},
                                           ModelCase{17, true, CColour{0xFFE07B20u}}),
                         [](const ::testing::TestParamInfo<ModelCase>& info) {
                           return "Model" + std::to_string(info.param.model);
                         });

TEST_F(FennickPanelTest, TheActivePresetIsStarredAMuteReachesTheDeviceAndThePageStaysCompact) {
  CNerexSeriesDevice& d = Ready(16, false);
  WritableGeneralSettings(d).bytes[NerexGeneralSettings::kCurrentPreset] = 5;
  panel->RefillPresetList();
  EXPECT_EQ(panel->GetPresetList()->GetItems()[4]->text, "5. Five*");
  Click(*panel, *panel->GetMute(5));
  EXPECT_TRUE(BoolOf(d.GetCurrentValue(kParamOutputMute + 1)));
  EXPECT_TRUE(panel->GetMute(5)->IsLit());
  // Another page given to the device (a tab id from elsewhere) leaves the compact view.
  ModelChange(d, MakeBoolParamValue(kNerexPageMixer, true));
  EXPECT_EQ(d.PanelView().GetPanelPage(), std::uint32_t(kNerexPageCompact));
  EXPECT_TRUE(panel->GetPresetList()->IsVisible());
  EXPECT_TRUE(panel->GetActionButton(420)->IsVisible());
}

TEST_F(FennickPanelTest, WithoutTheRightToRecallPresetsTheDisplayButtonsHide) {
  CNerexSeriesDevice& d = Ready(16, false);
  auto* user = new CUser("Guest", "");
  user->SetRestrictionMask(0x04 | kRestrictEditDeviceProperties);
  m_system.Users().GetUsers().push_back(user);
  m_system.Users().SetCurrentUser(int(m_system.Users().GetUsers().size()) - 1);
  panel->UpdateAllControls();
  for (int id : {436, 437, 438}) EXPECT_FALSE(panel->GetActionButton(id)->IsVisible()) << id;
  EXPECT_TRUE(panel->GetActionButton(421)->IsVisible());
  EXPECT_FALSE(panel->GetNameText()->IsEditable());
  (void)d;
}

TEST_F(FennickPanelTest, TheCompactMetersFollowTheAnnouncedReadingsOnTheTimer) {
  CNerexSeriesDevice& d = Ready(16);
  // The request that opening the panel left is served first.
  panel->OnTimer(CFennickControlPanel::kMeterTimerId);
  // Each level byte reads as 9 dB minus the byte: -12, -61, 9 and -31 dB.
  Deliver(62, MakeFramedReply(0xA8, {0x10, 0x01, 0x00, 62, 21, 70, 40, 40, 0, 40, 40, 40, 40, 40, 40, 40}));
  panel->OnTimer(CFennickControlPanel::kMeterTimerId);
  EXPECT_EQ(panel->GetMeter(0)->GetLevel(), CFennickControlPanel::kMeterLowestDb) << "not announced yet";
  d.OnStatusEvent(104);
  panel->OnTimer(CFennickControlPanel::kMeterTimerId + 1);
  EXPECT_EQ(panel->GetMeter(0)->GetLevel(), CFennickControlPanel::kMeterLowestDb) << "another timer";
  panel->OnTimer(CFennickControlPanel::kMeterTimerId);
  EXPECT_EQ(panel->GetMeter(0)->GetLevel(), -12);
  EXPECT_EQ(panel->GetMeter(1)->GetLevel(), -40);
  EXPECT_EQ(panel->GetMeter(4)->GetLevel(), 9);
  EXPECT_EQ(panel->GetMeter(5)->GetLevel(), -31);
  EXPECT_FALSE(panel->IsMeterUpdateRequested());
  // The full meter is lit to its top, the quiet one stays dark.
  auto lit = [&](int channel) {
    const CRect r = panel->GetMeter(channel)->GetRect();
    const CColour c = panel->GetBackBuffer()->GetPixel((r.left + r.right) / 2, r.top + 1);
    return c.R() > 150;
  };
  EXPECT_TRUE(lit(4));
  EXPECT_FALSE(lit(1));
}

// --- Every button through the widgets ---

enum class EDialog { None, Name, SaveFile, OpenFile, Timed };

struct ButtonCase {
  const char* name;
  int id;
  EDialog dialog;
  std::vector<std::uint32_t> commands;
  const char* lcd;  // the display afterwards, null: unchanged
};

void PrintTo(const ButtonCase& c, std::ostream* os) { *os << c.name; }

class FennickPanelButtonTest : public FennickPanelTest, public ::testing::WithParamInterface<ButtonCase> {};

// Each button's questions (the name, the file, the timed presets, a confirmation) wait in their
// own event loops, and are asked before the action goes in: a read of the unit asked while one
// is open is not overtaken by a change under way, so its reply is taken.
TEST_P(FennickPanelButtonTest, RaisesItsActionOnTheSelectedMemory) {
  const ButtonCase& c = GetParam();
  CNerexSeriesDevice& d = Ready(16);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("show.fnp"));
  if (c.dialog == EDialog::OpenFile) {
    ASSERT_TRUE(d.SavePresetFile(file.toStdString(), nullptr));
  }
  ChoosePreset(*panel, 1);
  CReadWhileAsked reads(d);
  m_ui.SetConfirmPrompt(&reads);
  const std::function<void()> whileOpen = std::ref(reads);
  switch (c.dialog) {
    case EDialog::None: break;
    case EDialog::Name: AnswerName(dialogs, QStringLiteral("Stage"), whileOpen); break;
    case EDialog::SaveFile:
    case EDialog::OpenFile: AnswerFile(dialogs, file, whileOpen); break;
    case EDialog::Timed:
      dialogs.Next<CFennickTimedPresetDlg>([whileOpen](CFennickTimedPresetDlg& dialog) {
        whileOpen();
        dialog.OkButton()->click();
      });
      break;
  }
  const std::string lcdBefore = panel->GetLcdText()->GetText();
  Click(*panel, *panel->GetActionButton(c.id));
  EXPECT_EQ(dialogs.answered, c.dialog == EDialog::None ? 0 : 1);
  // Only the display's next and previous ask nothing.
  EXPECT_EQ(reads.asked > 0, c.id != 437 && c.id != 438);
  EXPECT_FALSE(reads.overtaken) << "a read stamped while a question is open is overtaken";
  EXPECT_EQ(Commands(), c.commands);
  EXPECT_EQ(panel->GetLcdText()->GetText(), c.lcd ? std::string(c.lcd) : lcdBefore);
  if (c.dialog == EDialog::SaveFile) {
    EXPECT_TRUE(QFile::exists(file));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, FennickPanelButtonTest,
    ::testing::Values(ButtonCase{"Store", 420, EDialog::Name, {26, 31, 28}, nullptr},
                      ButtonCase{"Recall", 421, EDialog::None, {27, 79}, nullptr},
                      ButtonCase{"Rename", 423, EDialog::Name, {28}, nullptr},
                      ButtonCase{"Delete", 427, EDialog::None, {30}, nullptr},
                      ButtonCase{"SaveFile", 424, EDialog::SaveFile, {}, nullptr},
                      ButtonCase{"LoadFile", 425, EDialog::OpenFile, {26, 31}, nullptr},
                      ButtonCase{"TimedPresets", 426, EDialog::Timed, {77}, nullptr},
                      ButtonCase{"LcdRecall", 436, EDialog::None, {27}, "2. Two*"},
                      ButtonCase{"LcdNext", 437, EDialog::None, {}, "5. Five"},
                      ButtonCase{"LcdPrevious", 438, EDialog::None, {}, "5. Five"}),
    [](const ::testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

// The display reads "2. Two": the number in the LCD face, then the point, a blank and the name
// in letters (a segment face ran them together as "2Two").
TEST_F(FennickPanelTest, DisplayShowsThePresetNumberPointAndNameApart) {
  Ready(16);
  CTextControl* lcd = panel->GetLcdText();
  ASSERT_EQ(lcd->GetText(), "2. Two");
  const CFont& face = *lcd->GetTextStyle().GetFont();
  // The display is dark text on a light glass: read its ink from the negative.
  const CRect r = lcd->GetRect();
  CImage negative(r.Width(), r.Height());
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x) {
      const CColour c = panel->GetBackBuffer()->GetPixel(r.left + x, r.top + y);
      negative.SetPixel(x, y, CColour::FromRgb(std::uint8_t(255 - c.R()), std::uint8_t(255 - c.G()), std::uint8_t(255 - c.B())));
    }
  // Ink is what stands out halfway from the glass towards the darkest glyph pixel.
  int low = 255, high = 0;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < r.Width(); ++x) {
      const int v = negative.GetPixel(x, y).R();
      low = std::min(low, v), high = std::max(high, v);
    }
  const CInkMask shown = InkOf(negative, CRect{0, 0, r.Width(), r.Height()}, (low + high) / 2);
  const CInkMatch number = FindWord(shown, InkOfWord("2", face));
  const CInkMatch name = FindWord(shown, InkOfWord("Two", CompanionFontFor(face)));
  EXPECT_GT(number.score, 0.9);
  EXPECT_GT(name.score, 0.9);
  EXPECT_LT(FindWord(shown, InkOfWord("Tuo", CompanionFontFor(face))).score, name.score - 0.1);
  // Between them the point and a blank: a gap of some pixels with a little ink in it.
  const int gapLeft = number.x + number.width, gapRight = name.x;
  EXPECT_GE(gapRight - gapLeft, 5);
  int point = 0;
  for (int x = gapLeft; x < gapRight; ++x)
    for (int y = 0; y < shown.height; ++y) point += shown.At(x, y);
  EXPECT_GT(point, 0);
  EXPECT_LT(point, 12);
}

// A button whose action opens a dialog lets go of the mouse: the button-up went to the dialog,
// yet the next click on the panel reaches what it is clicked on and opens no dialog again.
class FennickPanelDialogButtonTest : public FennickPanelTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(FennickPanelDialogButtonTest, LetsGoOfTheMouseWhenItsDialogEnds) {
  const ButtonCase& c = GetParam();
  Ready(16);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ChoosePreset(*panel, 1);
  switch (c.dialog) {
    case EDialog::Name: AnswerName(dialogs, QStringLiteral("Stage")); break;
    case EDialog::SaveFile: AnswerFile(dialogs, dir.filePath(QStringLiteral("show.fnp"))); break;
    default: dialogs.Next<CFennickTimedPresetDlg>([](CFennickTimedPresetDlg& dialog) { dialog.OkButton()->click(); });
  }
  auto* button = dynamic_cast<CBmpButton*>(panel->GetActionButton(c.id));
  ASSERT_NE(button, nullptr);
  // Pressed through the window: the dialog opens and is answered within the press.
  PressThroughTheWindow(*panel, *button);
  EXPECT_EQ(dialogs.answered, 1);
  EXPECT_EQ(panel->GetActiveObject(), nullptr);
  EXPECT_FALSE(button->IsPressed());

  const std::string lcd = panel->GetLcdText()->GetText();
  {
    // Any dialog that would open now is cancelled and counted.
    CModalGuard guard;
    ClickThroughTheWindow(*panel, *panel->GetActionButton(437));
    ClickThroughTheWindow(*panel, *panel->GetLcdText());
    EXPECT_EQ(guard.opened, 0);
  }
  EXPECT_NE(panel->GetLcdText()->GetText(), lcd);
  EXPECT_EQ(panel->GetActiveObject(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Buttons, FennickPanelDialogButtonTest,
                         ::testing::Values(ButtonCase{"Store", 420, EDialog::Name, {}, nullptr},
                                           ButtonCase{"SaveFile", 424, EDialog::SaveFile, {}, nullptr},
                                           ButtonCase{"TimedPresets", 426, EDialog::Timed, {}, nullptr}),
                         [](const ::testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

// With the unit away online a preset action is refused before its questions: no name, file or
// timed-presets dialog opens and no confirmation is asked, so that nothing the person answers is
// lost to the refusal; the button says why, and nothing is queued.
class FennickPanelAwayTest : public FennickPanelTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(FennickPanelAwayTest, RefusesTheActionBeforeAskingAnything) {
  const ButtonCase& c = GetParam();
  CNerexSeriesDevice& d = Ready(16);
  ChoosePreset(*panel, 1);
  d.OnDisconnected(false);
  panel->UpdateOnlineStatus(d.IsConnected());
  ASSERT_TRUE(d.HeldValues().IsAwayOnline());
  d.Queue().ClearQueue();
  {
    // Any dialog that opens is cancelled and counted.
    CModalGuard guard;
    ClickThroughTheWindow(*panel, *panel->GetActionButton(c.id));
    EXPECT_EQ(guard.opened, 0);
  }
  EXPECT_EQ(answer.asked, 0);
  EXPECT_TRUE(Commands().empty());
  const CErrorTip* tip = panel->GetRefusalTip();
  ASSERT_NE(tip, nullptr) << "refused without a word";
  EXPECT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->Message().toStdString(), kNotConnectedRefusal);
}

INSTANTIATE_TEST_SUITE_P(Buttons, FennickPanelAwayTest,
                         ::testing::Values(ButtonCase{"Store", 420, EDialog::Name, {}, nullptr},
                                           ButtonCase{"Recall", 421, EDialog::None, {}, nullptr},
                                           ButtonCase{"Rename", 423, EDialog::Name, {}, nullptr},
                                           ButtonCase{"Delete", 427, EDialog::None, {}, nullptr},
                                           ButtonCase{"SaveFile", 424, EDialog::SaveFile, {}, nullptr},
                                           ButtonCase{"LoadFile", 425, EDialog::OpenFile, {}, nullptr},
                                           ButtonCase{"TimedPresets", 426, EDialog::Timed, {}, nullptr},
                                           ButtonCase{"LcdRecall", 436, EDialog::None, {}, nullptr}),
                         [](const ::testing::TestParamInfo<ButtonCase>& info) { return std::string(info.param.name); });

TEST_F(FennickPanelTest, TheListAndTheDisplayFollowAStoreAndADelete) {
  CNerexSeriesDevice& d = Ready(16, false);
  // Memory 2 deleted: the display moves on to the next stored one once the presets are
  // announced again.
  ChoosePreset(*panel, 1);
  Click(*panel, *panel->GetActionButton(427));
  d.OnStatusEvent(kNerexStatusPresets);
  EXPECT_EQ(panel->GetPresetList()->GetItems()[1]->text, "2. --");
  EXPECT_EQ(panel->GetPresetSelection(), 1);
  EXPECT_EQ(panel->GetLcdText()->GetText(), "5. Five");
  AnswerName(dialogs, QStringLiteral("Late"));
  Click(*panel, *panel->GetActionButton(420));
  d.OnStatusEvent(kNerexStatusPresets);
  EXPECT_EQ(panel->GetPresetList()->GetItems()[1]->text, "2. Late");
  Click(*panel, *panel->GetActionButton(438));
  EXPECT_EQ(panel->GetLcdText()->GetText(), "2. Late");
}

TEST_F(FennickPanelTest, ASelectionBeyondTheListIsRefused) {
  CNerexSeriesDevice& d = Ready(16);
  ChoosePreset(*panel, 9);
  // The memories shrink under the panel's list: the store asks nothing and sends nothing.
  ResizePresetList(WritablePresets(d), 5);
  AnswerName(dialogs, QStringLiteral("Stage"));
  Click(*panel, *panel->GetActionButton(420));
  EXPECT_EQ(dialogs.answered, 0);
  EXPECT_TRUE(Commands().empty());
  // Refilled, the list keeps its last row; a row beyond it cannot be chosen.
  panel->RefillPresetList();
  EXPECT_EQ(panel->GetPresetSelection(), 4);
  panel->GetPresetList()->SetCurSel(7);
  EXPECT_EQ(panel->GetPresetSelection(), 4);
}

TEST_F(FennickPanelTest, ADamagedPresetFileChangesNothingAndSaysWhy) {
  CNerexSeriesDevice& d = Ready(16);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("bad.fnp"));
  QFile damaged(file);
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
  damaged.write("\x05\x00\x00\x00garbage", 11);
  damaged.close();
  const CNerexSeriesMemory before = d.GetCurrentSettings();
  AnswerFile(dialogs, file);
  Click(*panel, *panel->GetActionButton(425));
  EXPECT_EQ(dialogs.answered, 1);
  EXPECT_EQ(d.GetCurrentSettings(), before);
  EXPECT_TRUE(Commands().empty());
  ASSERT_EQ(m_ui.FileErrors().size(), 1u);
  EXPECT_EQ(m_ui.FileErrors()[0].second, "File Error");
  EXPECT_FALSE(m_ui.FileErrors()[0].first.empty());
}

// A preset file that an earlier version wrote with a name no preset memory keeps: its settings
// load and go to the unit, and the box says what became of the name.
TEST_F(FennickPanelTest, APresetFileWhoseNameNoMemoryKeepsLoadsAndSaysWhatBecameOfIt) {
  CNerexSeriesDevice& d = Ready(16);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("long.fnp"));
  CNerexSeriesMemory image = d.GetCurrentSettings();
  image.inputs.gains[1] = 70;
  image.name = "Main stage left and right";
  ASSERT_TRUE(SaveNerexPresetFile(file.toStdString(), image, nullptr));
  AnswerFile(dialogs, file);
  Click(*panel, *panel->GetActionButton(425));
  EXPECT_EQ(d.GetCurrentSettings().inputs.gains[1], 70);
  EXPECT_EQ(d.GetCurrentSettings().name, "Main stage left");
  EXPECT_EQ(Commands(), (std::vector<std::uint32_t>{26, 31}));
  ASSERT_EQ(m_ui.FileErrors().size(), 1u);
  EXPECT_EQ(m_ui.FileErrors()[0].second, "Preset File");
  EXPECT_EQ(m_ui.FileErrors()[0].first,
            "The preset file's name \"Main stage left and right\" is longer than the 16 characters of a preset name "
            "on the unit. Its settings were loaded, named \"Main stage left\".");
}

// --- Against the simulated unit ---

TEST(FennickPanelBus, StoreAndRecallThroughThePanelReachTheUnit) {
  RegisterProcessorFamily();
  CDialogAnswerer dialogs;
  std::unique_ptr<CFennickControlPanel> panel;
  CheckFennickStoreAndRecallOnTheBus(
      [&](CNerexSeriesDevice& d) {
        panel = OpenPanel(d);
        ASSERT_NE(panel, nullptr);
      },
      [&](int row) { ChoosePreset(*panel, row); },
      [&](int id) {
        if (id == 420) AnswerName(dialogs, QStringLiteral("Stage"));
        Click(*panel, *panel->GetActionButton(id));
        if (id == 420) {
          EXPECT_EQ(dialogs.answered, 1);
          panel->RefillPresetList();
          EXPECT_EQ(panel->GetPresetList()->GetItems()[4]->text, "5. Stage");
          EXPECT_EQ(panel->GetPresetSelection(), 4);
        }
      },
      [&] { panel.reset(); });
}

}  // namespace

// --- Timed presets: OK changes only what the person changed ---

namespace {

NerexClockReading g_today;
NerexClockReading Today() { return g_today; }

struct TimedDay {
  const char* name;
  int year, month, day;
};

void PrintTo(const TimedDay& c, std::ostream* os) { *os << c.name; }

class FennickTimedPresetsTest : public FennickPanelTest, public ::testing::WithParamInterface<TimedDay> {
 protected:
  ~FennickTimedPresetsTest() override { CNerexSources::SetLocalClock(nullptr); }
  // The processor ready, with the local clock at noon of the case's day.
  CNerexSeriesDevice& ReadyOnTheDay() {
    const TimedDay& c = GetParam();
    g_today = NerexClockReading{c.year % 100, c.month, c.day, 1, 12, 0};
    CNerexSources::SetLocalClock(&Today);
    return Ready(16);
  }
  // The ten entries of the last timed-preset frame queued.
  std::array<TimedPresetEntry, kNerexTimedPresets> SentEntries() const {
    std::array<TimedPresetEntry, kNerexTimedPresets> sent{};
    const std::vector<Bytes> frames = Queued();
    const auto last = std::find_if(frames.rbegin(), frames.rend(), [](const Bytes& f) { return f[6] == 77; });
    EXPECT_NE(last, frames.rend());
    if (last == frames.rend()) return sent;
    std::array<std::uint8_t, 6 * kNerexTimedPresets> raw{};
    Unpack7Bit(last->data() + 7, int(raw.size()), raw.data());
    for (int i = 0; i < kNerexTimedPresets; ++i) {
      const std::uint8_t* b = raw.data() + 6 * i;
      sent[std::size_t(i)] = {b[0], b[1], b[2], b[3], b[4], b[5]};
    }
    return sent;
  }
};

}  // namespace

// Entries as a unit or a file may hold them: a one-shot for 5 January, one for 29 February, a
// weekly entry of a memory that is not stored, entries of memory 25 (beyond the unit's 20) and
// memory 0, switched-off rows with old bytes. OK without a touch sends them as they were; a
// new time on five rows sends only the new times, each date in the year it falls in and each
// preset its own, shown as its own number.
TEST_P(FennickTimedPresetsTest, UntouchedRowsKeepTheirBytesAndDatesTheirDay) {
  CNerexSeriesDevice& d = ReadyOnTheDay();
  std::array<TimedPresetEntry, kNerexTimedPresets> entries{};
  entries[0] = {5, 0x80, 1, 5, 7, 30};
  entries[1] = {3, 0x20, 0, 0, 8, 0};  // memory 3 is not stored
  entries[2] = {2, 0x80, 2, 29, 9, 0};
  entries[4] = {9, 0, 4, 9, 6, 45};
  entries[6] = {25, 0x7F, 0, 0, 8, 0};
  entries[7] = {0, 0x7F, 0, 0, 9, 0};
  WritableTimedPresets(d) = entries;

  dialogs.Next<CFennickTimedPresetDlg>([](CFennickTimedPresetDlg& dialog) {
    EXPECT_EQ(dialog.GetRow(1).preset->currentText(), "3. --");
    EXPECT_EQ(dialog.GetRow(6).preset->currentText(), "25. --");
    EXPECT_EQ(dialog.GetRow(7).preset->currentText(), "0. --");
    SaveShotIfAsked(dialog, "fennick-timed-kept");
    dialog.OkButton()->click();
  });
  Click(*panel, *panel->GetActionButton(426));
  ASSERT_EQ(dialogs.answered, 1);
  EXPECT_EQ(d.GetTimedPresets(), entries);
  EXPECT_EQ(SentEntries(), entries);

  const std::vector<int> timed{0, 1, 2, 6, 7};
  dialogs.Next<CFennickTimedPresetDlg>([&](CFennickTimedPresetDlg& dialog) {
    for (int row : timed) dialog.GetRow(row).time->setTime(dialog.GetRow(row).time->time().addSecs(60));
    dialog.OkButton()->click();
  });
  Click(*panel, *panel->GetActionButton(426));
  ASSERT_EQ(dialogs.answered, 2);
  for (int row : timed) ++entries[std::size_t(row)].minute;
  EXPECT_EQ(d.GetTimedPresets(), entries);
  EXPECT_EQ(SentEntries(), entries);
}

// The unit's table, read while the dialog is open, is what the rows the person left as shown
// keep: OK sends the rows changed in the dialog and the unit's own rows for the others, and
// nothing the unit reported meanwhile is written over with what the dialog showed before.
TEST_P(FennickTimedPresetsTest, ATableReadWhileTheDialogIsOpenStaysInTheRowsLeftAsShown) {
  CNerexSeriesDevice& d = ReadyOnTheDay();
  std::array<TimedPresetEntry, kNerexTimedPresets> entries{};
  entries[0] = {5, 0x80, 1, 5, 7, 30};
  entries[2] = {2, 0x20, 0, 0, 8, 0};
  WritableTimedPresets(d) = entries;
  std::array<TimedPresetEntry, kNerexTimedPresets> unit = entries;
  unit[0].minute = 45;
  unit[5] = {5, 0x7F, 0, 0, 22, 15};
  Bytes raw;
  for (const TimedPresetEntry& e : unit) raw.insert(raw.end(), {e.preset, e.mode, e.month, e.day, e.hour, e.minute});

  dialogs.Next<CFennickTimedPresetDlg>([&](CFennickTimedPresetDlg& dialog) {
    Deliver(kCmdReadTimedPresets, MakePackedReply(kCmdReadTimedPresets, raw));
    EXPECT_EQ(d.GetTimedPresets(), unit) << "the reply was not taken";
    dialog.GetRow(2).time->setTime(dialog.GetRow(2).time->time().addSecs(60));
    dialog.OkButton()->click();
  });
  Click(*panel, *panel->GetActionButton(426));
  ASSERT_EQ(dialogs.answered, 1);
  std::array<TimedPresetEntry, kNerexTimedPresets> expected = unit;
  expected[2].minute = 1;
  EXPECT_EQ(d.GetTimedPresets(), expected);
  EXPECT_EQ(SentEntries(), expected);
}

INSTANTIATE_TEST_SUITE_P(Days, FennickTimedPresetsTest,
                         ::testing::Values(TimedDay{"December", 2025, 12, 8}, TimedDay{"NewYear", 2024, 1, 3},
                                           TimedDay{"LeapDay", 2028, 2, 29}, TimedDay{"MarchOfALeapYear", 2024, 3, 1}),
                         [](const ::testing::TestParamInfo<TimedDay>& info) { return std::string(info.param.name); });
