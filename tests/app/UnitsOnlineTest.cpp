// What reaches the units online, against the simulator on a pseudo-terminal linked as a COM
// port: "Retrieve" writes nothing (a recall made offline, the links, values read from a unit),
// a change or a recall made while a unit is away is refused where the person made it, nothing
// goes to ID 0, and an autoscan polls one device per ID.
#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QApplication>
#include <QTimer>
#include <QToolTip>
#include <QHelpEvent>

#include <algorithm>
#include <array>

#include "core/model/DeviceTexts.h"
#include "app/CommandIds.h"
#include "core/comms/CommsWorker.h"
#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/values/ParamRecords.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "custom/ButtonControl.h"
#include "custom/CPData.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/MouseMessages.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/BusFrames.h"
#include "tools/devsim/SimDiscoveryUnit.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"
#include "ui/AutoscanDlg.h"
#include "ui/CustomControlPanelWnd.h"
#include "ui/DeviceRack.h"
#include "ui/DeviceView.h"
#include "ui/OutputWnd.h"
#include "ui/dialogs/LinkManagerDlg.h"
#include "widgets/ErrorTip.h"
#include "core/protocol/SevenBit.h"
#include "tests/support/ModelChanges.h"

namespace {

constexpr std::uint32_t kPort = 12;

// Parameter ids: a processor's Input A gain, a Zel amplifier's channel 1 gain, a box's
// channel 1 mute.
constexpr int kProcessorGainA = 13;
constexpr int kAmpGain1 = 5;
constexpr int kBoxMute1 = 17;

using Frame = BusFrame;
Frame Decode(const SimBytes& r) { return DecodeBusFrame(r); }
std::string Describe(const std::vector<Frame>& frames) { return DescribeBusFrames(frames); }

class UnitsOnlineTest : public SimBusFrameTest {
 protected:
  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
  }

  // The units: a Fennick processor at ID 3 (it reports a preset recalled on its front panel), a
  // Nerex48 at ID 4, two Zel-3 amplifiers at IDs 2 and 5 and an XB-16 box at ID 11, each holding
  // settings of its own; the Nerex48, amplifier 2 and the box can be switched off and on.
  void StartUnits() {
    StartBus(kPort, [this](CSimBus& units) {
      p3 = units.Add<CSimProcessorUnit>(16, 3);
      p4Switch = units.Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(120, 4));
      p4 = static_cast<CSimProcessorUnit*>(&p4Switch->Unit());
      a2Switch = units.Add<CSimSwitchedUnit>(std::make_unique<CSimZelAmpUnit>(Zel(52, 2)));
      a2 = static_cast<CSimZelAmpUnit*>(&a2Switch->Unit());
      a5 = units.Add<CSimZelAmpUnit>(Zel(52, 5));
      boxSwitch = units.Add<CSimSwitchedUnit>(std::make_unique<CSimZelBreakUnit>(Zel(41, 11)));
      box = static_cast<CSimZelBreakUnit*>(&boxSwitch->Unit());
    });
    SetGainA(*p3, -100);
    SetGainA(*p4, -200);
    a2->Update([](SimZelAmpState& s) {
      s.gainIndex[0] = 10;
      s.alarmTemperature = 85;
      s.mode = 3;
    });
    a5->Update([](SimZelAmpState& s) { s.gainIndex[0] = 30; });
    box->Update([](SimZelBreakState& s) {
      s.muteMask = 0x00F0;
      s.gains[0] = 4;
    });
  }
  static SimSecurityConfig Zel(std::uint8_t type, std::uint32_t id) {
    SimSecurityConfig config;
    config.typeCode = type;
    config.deviceId = id;
    return config;
  }
  static void SetGainA(CSimProcessorUnit& unit, std::int16_t tenths) {
    CNerexSeriesMemory image = unit.Current();
    image.inputs.gains[0] = tenths;
    unit.SetCurrent(image);
  }

  // The file: a device of each unit with the defaults of one added offline.
  void MakeFile() {
    CSystem& system = MakeFrame().GetSystem();
    d3 = static_cast<CNerexSeriesDevice*>(Append(system, 3, 16));
    d3->HostOptions().SetAutoRtcUpdate(false);  // the Fennick's clock is not set either: nothing is written
    d4 = static_cast<CNerexSeriesDevice*>(Append(system, 4, 120));
    amp2 = static_cast<CZelSeriesDevice*>(Append(system, 2, 52));
    amp5 = static_cast<CZelSeriesDevice*>(Append(system, 5, 52));
    dbox = static_cast<CZelBreakDevice*>(Append(system, 11, 41));
  }
  static CDevice* Append(CSystem& system, std::uint32_t id, std::uint32_t type) {
    CDevice* device = system.CreateDevice(id, type, 0);
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
    return device;
  }
  // A link of one parameter of two devices; linking is on in a new file.
  void Link(CDevice& a, CDevice& b, int id) {
    auto* link = new CLink("Link " + std::to_string(id));
    link->AddRef(new CLinkRef(a.GetUuid(), std::uint32_t(id)));
    link->AddRef(new CLinkRef(b.GetUuid(), std::uint32_t(id)));
    frame->GetSystem().Links().AppendLink(link);
    ASSERT_TRUE(frame->GetSystem().Links().AreLinksActive());
  }

  // Goes online with "Retrieve" and waits until every unit has been read out in full.
  void GoOnlineAndReadOut() {
    prompts.goOnlineChoice = 0;
    frame->RunCommand(Cmd::kOnline);
    ASSERT_TRUE(frame->IsOnline());
    ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  }
  bool ReadOut() const {
    return d3->IsConnected() && d3->AllBlocksReceived() && d4->IsConnected() && d4->AllBlocksReceived() &&
           amp2->IsConnected() && amp2->IsReadOutComplete() && amp5->IsConnected() && amp5->IsReadOutComplete() &&
           dbox->IsConnected() && dbox->IsReadOutComplete();
  }
  // Lets the frame handle what the read-out posted and the worker send what was queued: every
  // queue empty, then more requests on the bus.
  void Settle(std::size_t requests = 60) {
    CSystem& system = frame->GetSystem();
    auto queued = [&] {
      std::size_t n = 0;
      for (CDevice* device : system.GetDevices()) n += device->Queue().GetQueueSize();
      return n;
    };
    ASSERT_TRUE(WaitFor([&] { return queued() == 0; }, 20000));
    const std::size_t before = bus->RequestCount();
    ASSERT_TRUE(WaitFor([&] { return bus->RequestCount() >= before + requests; }, 30000));
  }
  // Every frame on the bus from request from on that writes to a unit.
  std::vector<Frame> Writes(std::size_t from = 0) const {
    std::vector<Frame> out;
    const std::vector<SimBytes> requests = bus->Requests();
    for (std::size_t i = from; i < requests.size(); ++i)
      if (const Frame f = Decode(requests[i]); f.write) out.push_back(f);
    return out;
  }
  // Runs Autoscan; once the scan has ended, takes the notes its dialog lists (saved as the
  // picture when ORVAK_TEST_PICTURES names a folder) and the bus's request count, and presses OK.
  QString RunAutoscanReadingItsNotes(const char* picture, std::size_t* requestsAtTheEnd = nullptr) {
    QString notes;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = dynamic_cast<CAutoscanDlg*>(w);
        auto* ok = dialog ? dialog->findChild<QAbstractButton*>() : nullptr;
        if (!ok || ok->text() != "OK" || !notes.isEmpty()) continue;
        notes = dialog->GetNotesText();
        if (requestsAtTheEnd) *requestsAtTheEnd = bus->RequestCount();
        if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
          dialog->grab().save(folder + "/" + picture + ".png");
        ok->click();
      }
    });
    closer.start(20);
    frame->RunCommand(Cmd::kAutoscan);
    closer.stop();
    return notes;
  }
  bool LogHas(const std::string& text) { return LogCount(text) > 0; }
  int LogCount(const std::string& text) {
    COutputList& list = frame->GetOutputPane().GetLogList();
    int n = 0;
    for (int i = 0; i < list.count(); ++i)
      if (list.item(i)->text().toStdString().find(text) != std::string::npos) ++n;
    return n;
  }
  // Types text into a row of the properties pane for the device, as a person does, and presses
  // Enter.
  void TypeInPane(CDevice* device, const char* row, const std::string& text) {
    PostAbout(*frame, FrameMsg::kSelectDevice, device, 1);
    ProcessEvents();
    CDevicePropertiesCtrl& grid = frame->GetPropertiesPane().GetGrid();
    ASSERT_EQ(grid.GetCurrentDevice(), device);
    TypeIntoRow(grid, row, text);
  }
  // Chooses the device, as a click on its tile does, and shows it in the pane.
  void ChooseDevice(CDevice* device) {
    frame->GetSystem().SetSelectedDevice(frame->GetSystem().GetDeviceIndex(device));
    PostAbout(*frame, FrameMsg::kSelectDevice, device, 1);
    ProcessEvents();
    ASSERT_EQ(frame->GetPropertiesPane().GetGrid().GetCurrentDevice(), device);
  }
  // Whether the pane's ID row takes an edit, as it does while the device's unit is not connected.
  bool PaneIdEditable() {
    const CDeviceProperty* row = frame->GetPropertiesPane().GetGrid().FindRow("ID");
    return row && row->IsEnabled();
  }
  // The tooltip the rack shows over the device's tile; shot as rack-<shot>.png and
  // rack-<shot>-tip.png when pictures are asked for.
  QString RackTooltip(CDevice* device, const QString& shot = {}) {
    CDeviceRack& rack = frame->GetDeviceView().GetRack();
    const CRect tile = rack.GetDeviceRect(device);
    EXPECT_GT(tile.Width(), 0);
    const QPoint at(tile.left + 20, tile.top + 10 - rack.GetScrollPos());
    QHelpEvent help(QEvent::ToolTip, at, rack.mapToGlobal(at));
    QApplication::sendEvent(&rack, &help);
    const QString text = QToolTip::text();
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty() && !shot.isEmpty()) {
      rack.grab().save(folder + "/rack-" + shot + ".png");
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && QByteArray(w->metaObject()->className()) == "QTipLabel")
          w->grab().save(folder + "/rack-" + shot + "-tip.png");
    }
    QToolTip::hideText();
    return text;
  }
  static int GainA(const CNerexSeriesDevice& d) { return d.GetCurrentSettings().inputs.gains[0]; }
  static int GainA(const CSimProcessorUnit& u) { return u.Current().inputs.gains[0]; }

  CSimProcessorUnit* p3 = nullptr;
  CSimProcessorUnit* p4 = nullptr;
  CSimZelAmpUnit* a2 = nullptr;
  CSimZelAmpUnit* a5 = nullptr;
  CSimZelBreakUnit* box = nullptr;
  CSimSwitchedUnit* p4Switch = nullptr;
  CSimSwitchedUnit* a2Switch = nullptr;
  CSimSwitchedUnit* boxSwitch = nullptr;
  CNerexSeriesDevice* d3 = nullptr;
  CNerexSeriesDevice* d4 = nullptr;
  CZelSeriesDevice* amp2 = nullptr;
  CZelSeriesDevice* amp5 = nullptr;
  CZelBreakDevice* dbox = nullptr;
};

}  // namespace

// What the file holds before "Retrieve": a snapshot of its devices recalled offline, or links
// between the processors' Input A gains and the amplifiers' channel 1 gains.
struct RetrieveCase {
  const char* name;
  bool offlineRecall;
  bool links;
};

class RetrieveTest : public UnitsOnlineTest, public ::testing::WithParamInterface<RetrieveCase> {};

// "Retrieve" takes the units' settings into the file and writes nothing: no recall made offline
// is sent, and nothing read from one linked unit is written to the other.
TEST_P(RetrieveTest, WritesNothingAndEveryUnitKeepsItsOwnSettings) {
  StartUnits();
  MakeFile();
  CSystem& system = frame->GetSystem();
  if (GetParam().offlineRecall) {
    system.Snapshots().AddSnapshot("Offline");
    system.Snapshots().RecallSnapshot(0);
    EXPECT_EQ(system.GetCurrentSnapshot(), 0);
  }
  if (GetParam().links) {
    Link(*d3, *d4, kProcessorGainA);
    Link(*amp2, *amp5, kAmpGain1);
  }
  GoOnlineAndReadOut();
  Settle();

  EXPECT_TRUE(Writes().empty()) << Describe(Writes());
  EXPECT_EQ(GainA(*p3), -100);
  EXPECT_EQ(GainA(*p4), -200);
  const SimZelAmpState two = a2->State();
  EXPECT_EQ(two.gainIndex[0], 10);
  EXPECT_EQ(two.alarmTemperature, 85);
  EXPECT_EQ(two.mode, 3);
  EXPECT_EQ(a5->State().gainIndex[0], 30);
  EXPECT_EQ(box->State().muteMask, 0x00F0);
  EXPECT_EQ(box->State().gains[0], 4);
  // The file holds what each unit holds.
  EXPECT_EQ(GainA(*d3), -100);
  EXPECT_EQ(GainA(*d4), -200);
  EXPECT_EQ(amp2->GetGainIndex(0), 10);
  EXPECT_EQ(amp2->GetAlarmTemperature(), 85);
  EXPECT_EQ(amp5->GetGainIndex(0), 30);
  EXPECT_EQ(dbox->GetMuteMask(), 0x00F0u);
}

INSTANTIATE_TEST_SUITE_P(Files, RetrieveTest,
                         ::testing::Values(RetrieveCase{"recall_made_offline", true, false},
                                           RetrieveCase{"links_between_units", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A value that a unit reports (a preset recalled on its front panel, a gain turned on an
// amplifier) shows in the file and the windows and stays there; a person's change still
// follows the link to the other unit.
TEST_F(UnitsOnlineTest, ValuesAUnitReportsDoNotSpreadOverLinksButAPersonsChangeDoes) {
  StartUnits();
  CNerexSeriesMemory preset = p3->Current();
  preset.inputs.gains[0] = -60;
  preset.sectionFlags = kSectionAll;
  preset.name = "Quiet";
  p3->SetPreset(1, preset);
  MakeFile();
  Link(*d3, *d4, kProcessorGainA);
  Link(*amp2, *amp5, kAmpGain1);
  GoOnlineAndReadOut();
  Settle();
  const std::size_t from = bus->RequestCount();

  // Preset 1 recalled on unit 3's front panel; amplifier 2's gain turned on the unit.
  p3->SetCurrent(preset);
  std::array<std::uint8_t, 20> general = p3->GeneralSettings();
  general[NerexGeneralSettings::kCurrentPreset] = 1;
  p3->SetGeneralSettings(general);
  a2->Update([](SimZelAmpState& s) { s.gainIndex[0] = 20; });
  ASSERT_TRUE(WaitFor([&] { return GainA(*d3) == -60 && amp2->GetGainIndex(0) == 20; }, 30000))
      << GainA(*d3) << " " << int(amp2->GetGainIndex(0)) << " presets " << p3->PresetCount() << " "
      << d3->GetPresets().size() << " flags " << d3->GetPresets()[0]->sectionFlags << " reads79 " << p3->ReadCount(79);
  Settle();
  EXPECT_TRUE(Writes(from).empty()) << Describe(Writes(from));
  EXPECT_EQ(GainA(*p4), -200);
  EXPECT_EQ(GainA(*d4), -200);
  EXPECT_EQ(a5->State().gainIndex[0], 30);
  EXPECT_EQ(amp5->GetGainIndex(0), 30);

  // The person's change reaches both units.
  ModelChange(amp2, CParamValue(kAmpGain1, -5.0f, ParamKind::kLevel));
  ASSERT_TRUE(WaitFor([&] { return a2->State().gainIndex[0] == 5 && a5->State().gainIndex[0] == 5; }));
  ModelChange(d3, CParamValue(kProcessorGainA, -3.0f, ParamKind::kLevel));
  EXPECT_TRUE(WaitFor([&] { return GainA(*p3) == -30 && GainA(*p4) == -30; }));
}

// Widgets of a custom panel bound to a unit that goes away take no change until it is back: the
// fader (Nerex48 Input A gain), the knob (amplifier channel 1 gain) and the Modify Parameter
// button (box channel 1 mute) show the parameter inactive and what the unit holds, the file
// keeps it, and a press says why; once the units are back a change reaches them again.
TEST_F(UnitsOnlineTest, WidgetsOfAUnitThatIsAwayTakeNoChangeAndShowWhatTheUnitHolds) {
  StartUnits();
  MakeFile();
  CSystem& system = frame->GetSystem();
  auto* panel = new CCPData(&system);
  auto* fader = new CCCFader(nullptr, CRect{10, 10, 40, 210});
  auto* knob = new CCCKnob(nullptr, CRect{60, 10, 120, 70});
  auto* button = new CCCButton(nullptr, CRect{140, 10, 200, 40});
  button->m_flags = (button->m_flags & ~kButtonActions) | kButtonModifyParameter;
  const struct {
    CCustomControlObject* widget;
    CDevice* device;
    int id;
  } bindings[] = {{fader, d4, kProcessorGainA}, {knob, amp2, kAmpGain1}, {button, dbox, kBoxMute1}};
  for (const auto& b : bindings) {
    b.widget->m_pDevice = b.device;
    b.widget->m_parameterId = std::uint32_t(b.id);
    panel->m_widgets.push_back(b.widget);
  }
  fader->m_rangeMin = -40.0f;
  fader->m_rangeMax = 6.0f;
  knob->m_rangeMin = -60.0f;
  knob->m_rangeMax = 0.0f;
  system.Panels().AppendCustomPanel(panel);
  GoOnlineAndReadOut();
  frame->OpenCustomPanel(panel);
  auto* view = dynamic_cast<CCustomControlPanelWnd*>(panel->m_pView);
  ASSERT_NE(view, nullptr);
  Settle();
  auto act = [&] {
    // The fader's knob dragged to the top, the knob dragged 10 pixels down, the button pressed.
    const CPoint knobAt = fader->GetKnobPosition();
    const CPoint grip{knobAt.x + 3, knobAt.y + 3};
    view->OnLButtonDown(MK_LBUTTON, grip);
    view->OnMouseMove(MK_LBUTTON, CPoint{grip.x, -300});
    view->OnLButtonUp(0, CPoint{grip.x, -300});
    view->OnLButtonDown(MK_LBUTTON, CPoint{90, 40});
    for (int y = 41; y <= 50; ++y) view->OnMouseMove(MK_LBUTTON, CPoint{90, y});
    view->OnLButtonUp(0, CPoint{90, 50});
    view->OnLButtonDown(MK_LBUTTON, CPoint{170, 25});
    view->OnLButtonUp(0, CPoint{170, 25});
    ProcessEvents();
  };
  auto expectHeld = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(GainA(*d4), -200);
    EXPECT_EQ(amp2->GetGainIndex(0), 10);
    EXPECT_EQ(dbox->GetMuteMask(), 0x00F0u);
    EXPECT_FALSE(button->m_state);  // not lit: the unit's channel 1 plays
    EXPECT_EQ(GainA(*p4), -200);
    EXPECT_EQ(a2->State().gainIndex[0], 10);
    EXPECT_EQ(box->State().muteMask, 0x00F0);
  };

  for (CSimSwitchedUnit* unit : {p4Switch, a2Switch, boxSwitch}) unit->SetSilent(true);
  ASSERT_TRUE(WaitFor([&] { return !d4->IsConnected() && !amp2->IsConnected() && !dbox->IsConnected(); }, 60000));
  ProcessEvents();
  for (const auto& b : bindings) EXPECT_EQ(b.widget->GetParameterInfo().inactive, 1) << b.id;
  act();
  expectHeld("while away");
  // A press says why under the widget: the button's came last.
  const CErrorTip* tip = view->GetRefusalTip();
  ASSERT_NE(tip, nullptr) << "refused without a word";
  EXPECT_EQ(tip->Message().toStdString(), kNotConnectedRefusal);

  for (CSimSwitchedUnit* unit : {p4Switch, a2Switch, boxSwitch}) unit->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  Settle();
  expectHeld("back");
  for (const auto& b : bindings) EXPECT_EQ(b.widget->GetParameterInfo().inactive, 0) << b.id;
  act();
  EXPECT_NE(amp2->GetGainIndex(0), 10);
  EXPECT_TRUE(WaitFor([&] {
    return GainA(*p4) == 60 && a2->State().gainIndex[0] == amp2->GetGainIndex(0) && box->State().muteMask == 0x00F1;
  })) << GainA(*p4) << " " << int(a2->State().gainIndex[0]) << " " << box->State().muteMask;
  EXPECT_TRUE(button->m_state);
}

// The pane shows the chosen device as its unit is: a unit that falls silent can be given another
// ID there, one that answers again cannot, for the processors and both Zel families.
TEST_F(UnitsOnlineTest, ThePaneFollowsTheChosenDeviceAsItsUnitGoesAndComesBack) {
  StartUnits();
  MakeFile();
  GoOnlineAndReadOut();
  const std::pair<CDevice*, CSimSwitchedUnit*> units[] = {{d4, p4Switch}, {amp2, a2Switch}, {dbox, boxSwitch}};
  for (const auto& [device, unit] : units) {
    SCOPED_TRACE(device->GetModelName());
    ChooseDevice(device);
    EXPECT_FALSE(PaneIdEditable());
    // The pane is filled again once the frame has the device's notice.
    unit->SetSilent(true);
    EXPECT_TRUE(WaitFor([&] { return device->GetCommsLevel() == 0 && PaneIdEditable(); }, 30000));
    unit->SetSilent(false);
    EXPECT_TRUE(WaitFor([&] { return device->IsConnected() && !PaneIdEditable(); }, 30000));
  }
}

// A snapshot recalled while one of its units is away reaches the others; the one away keeps
// what its unit holds, in the file too, and the log names it, and so does the place the recall
// was made: a panel's snapshot button, or the snapshot combo.
TEST_F(UnitsOnlineTest, ARecallThatMissesAUnitLeavesItsDeviceAsTheUnitIsAndIsLogged) {
  StartUnits();
  MakeFile();
  CSystem& system = frame->GetSystem();
  auto* panel = new CCPData(&system);
  auto* button = new CCCButton(nullptr, CRect{20, 20, 90, 44});
  button->m_flags = (button->m_flags & ~kButtonActions) | kButtonRecallSnapshot;
  panel->m_widgets.push_back(button);
  system.Panels().AppendCustomPanel(panel);
  GoOnlineAndReadOut();
  for (CNerexSeriesDevice* d : {d3, d4}) ModelChange(d, CParamValue(kProcessorGainA, -10.0f, ParamKind::kLevel));
  CSnapshot* snapshot = system.Snapshots().AddSnapshot("S-10");
  for (CNerexSeriesDevice* d : {d3, d4}) ModelChange(d, CParamValue(kProcessorGainA, -20.0f, ParamKind::kLevel));
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -200 && GainA(*p4) == -200; }));

  p4Switch->SetSilent(true);
  ASSERT_TRUE(WaitFor([&] { return !d4->IsConnected(); }, 60000));
  button->m_snapshotId = snapshot->GetUuid();
  frame->OpenCustomPanel(panel);
  auto* view = dynamic_cast<CCustomControlPanelWnd*>(panel->m_pView);
  ASSERT_NE(view, nullptr);
  view->OnLButtonDown(MK_LBUTTON, CPoint{50, 30});
  view->OnLButtonUp(0, CPoint{50, 30});
  ProcessEvents();
  EXPECT_EQ(system.GetCurrentSnapshot(), 0);
  EXPECT_TRUE(WaitFor([&] { return GainA(*p3) == -100; }));
  EXPECT_EQ(GainA(*d3), -100);
  EXPECT_EQ(GainA(*d4), -200);
  const std::string missed = "Snapshot \"S-10\" not recalled on Nerex48 Sim Processor ID: 4 (not connected)";
  EXPECT_TRUE(WaitFor([&] { return LogHas(missed); }));
  ASSERT_NE(view->GetRefusalTip(), nullptr) << "the button said nothing";
  EXPECT_EQ(view->GetRefusalTip()->Message().toStdString(), missed);
  EXPECT_EQ(frame->Snapshots().GetSnapshotTip(), nullptr);
  // Recalled from the combo, the combo says it.
  frame->GetSnapshotCombo().setCurrentIndex(0);
  frame->RunCommand(Cmd::kSnapshotCombo);
  ASSERT_NE(frame->Snapshots().GetSnapshotTip(), nullptr) << "the combo said nothing";
  EXPECT_TRUE(frame->Snapshots().GetSnapshotTip()->isVisible());
  EXPECT_EQ(frame->Snapshots().GetSnapshotTip()->Message().toStdString(), missed);

  p4Switch->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return d4->IsConnected(); }, 60000));
  Settle();
  EXPECT_EQ(GainA(*p4), -200);
  EXPECT_EQ(GainA(*d4), -200);
}

// A person's change at one member of a link while another member's unit is away reaches the
// units that are there. The member away is named once in the log and shown out of line in the
// Link Manager (switching linking off and on again leaves it so); once its unit is back it is
// written the link's value, on the unit and in the file, and the log says so: a Nerex48 and a
// Zel-3 amplifier, in a "Retrieve" and in a "Send" session.
class LinkedMemberAwayTest : public UnitsOnlineTest, public ::testing::WithParamInterface<std::uint32_t> {
 protected:
  // The frames written to the unit of the device from request from on: (channel, value) of each
  // gain write, the processor's in tenths of a dB, the amplifier's as its gain index.
  std::vector<std::pair<int, int>> GainWrites(const CDevice& device, std::size_t from) const {
    std::vector<std::pair<int, int>> out;
    const std::vector<SimBytes> requests = bus->Requests();
    for (std::size_t i = from; i < requests.size(); ++i) {
      const SimBytes& r = requests[i];
      const Frame f = Decode(r);
      if (!f.write || f.id != device.GetDeviceId() || std::uint32_t(f.type) != device.GetTypeCode()) continue;
      if (IsZelFrameType(f.type)) {
        if (f.command == 0x08 && r.size() >= 12) out.emplace_back(r[10], r[11]);
      } else if (f.command == 2 && r.size() >= 12) {
        std::uint8_t raw[3] = {};
        Unpack7Bit(r.data() + 7, 3, raw);
        out.emplace_back(raw[0], std::int16_t(raw[1] | raw[2] << 8));
      }
    }
    return out;
  }
  static bool Outs(const CLink& link, std::size_t member) { return link.GetMembers()[member]->IsOutOfLine(); }
  // What the unit of the device held after each frame written to it from request from on: its
  // Input A gain in tenths of a dB, or its channel 1 gain index. A simulated twin of the unit,
  // which starts at a level no test value has, takes the frames in order.
  static constexpr int kTwinGainA = 55;
  static constexpr int kTwinGainIndex = 20;
  std::vector<int> HeldAfterEachWrite(CDevice& device, std::size_t from) const {
    std::vector<int> held;
    const std::vector<SimBytes> requests = bus->Requests();
    const auto written = [&](const SimBytes& r) {
      const Frame f = Decode(r);
      return f.write && f.id == device.GetDeviceId() && std::uint32_t(f.type) == device.GetTypeCode();
    };
    if (IsZelFrameType(int(device.GetTypeCode()))) {
      CSimZelAmpUnit twin(Zel(std::uint8_t(device.GetTypeCode()), device.GetDeviceId()));
      twin.Update([](SimZelAmpState& s) { s.gainIndex[0] = kTwinGainIndex; });
      for (std::size_t i = from; i < requests.size(); ++i)
        if (written(requests[i])) {
          twin.Handle(requests[i]);
          held.push_back(twin.State().gainIndex[0]);
        }
    } else {
      CSimProcessorUnit twin(int(device.GetTypeCode()), device.GetDeviceId());
      SetGainA(twin, kTwinGainA);
      for (std::size_t i = from; i < requests.size(); ++i)
        if (written(requests[i])) {
          twin.Handle(requests[i]);
          held.push_back(GainA(twin));
        }
    }
    return held;
  }
  // The devices of the file open now, by their IDs.
  void FindDevicesAgain() {
    CSystem& system = frame->GetSystem();
    auto byId = [&](std::uint32_t id) {
      for (CDevice* device : system.GetDevices())
        if (device->GetDeviceId() == id) return device;
      return static_cast<CDevice*>(nullptr);
    };
    d3 = static_cast<CNerexSeriesDevice*>(byId(3));
    d4 = static_cast<CNerexSeriesDevice*>(byId(4));
    amp2 = static_cast<CZelSeriesDevice*>(byId(2));
    amp5 = static_cast<CZelSeriesDevice*>(byId(5));
    dbox = static_cast<CZelBreakDevice*>(byId(11));
    ASSERT_TRUE(d3 && d4 && amp2 && amp5 && dbox);
  }
  // The file's processors linked by their Input A gains and two amplifiers by their channel 1
  // gains (the links "Link 13" and "Link 5"), online in the session of the case and read out.
  // Each link's master is its first member: the unit that stays, or with switchedLead the one
  // that can be switched off.
  void LinkAndGoOnline(bool switchedLead = false) {
    StartUnits();
    MakeFile();
    if (switchedLead) {
      Link(*d4, *d3, kProcessorGainA);
      Link(*amp2, *amp5, kAmpGain1);
    } else {
      Link(*d3, *d4, kProcessorGainA);
      Link(*amp5, *amp2, kAmpGain1);
    }
    prompts.goOnlineChoice = GetParam();
    frame->RunCommand(Cmd::kOnline);
    ASSERT_TRUE(frame->IsOnline());
    ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
    Settle();
  }
  // The Nerex48 and amplifier 2 fall silent, and the frame hears of it.
  void SwitchedUnitsAway() {
    p4Switch->SetSilent(true);
    a2Switch->SetSilent(true);
    ASSERT_TRUE(WaitFor([&] { return !d4->IsConnected() && !amp2->IsConnected(); }, 60000));
    ProcessEvents();
  }
  // Offline, the Link Manager opened and closed: the links are applied again.
  void OfflineThroughTheLinkManager() {
    frame->RunCommand(Cmd::kOnline);
    ASSERT_FALSE(frame->IsOnline());
    frame->RunCommand(Cmd::kLinkManager);
  }
  // The Nerex48 and amplifier 2 answer again and the frame goes online in the session of the
  // case; true once every unit is read out and the two hold the links' values (-16.7 dB, 7).
  bool SwitchedUnitsBackOnlineAtTheLinksValues() {
    p4Switch->SetSilent(false);
    a2Switch->SetSilent(false);
    frame->RunCommand(Cmd::kOnline);
    if (!frame->IsOnline() || !WaitFor([&] { return ReadOut(); }, 60000)) return false;
    Settle();
    const bool taken = WaitFor([&] { return GainA(*p4) == -167 && a2->State().gainIndex[0] == 7; });
    Settle();
    return taken;
  }
};

TEST_P(LinkedMemberAwayTest, IsNamedWhileAwayAndTakesTheLinksValueWhenItsUnitIsBack) {
  LinkAndGoOnline();
  CSystem& system = frame->GetSystem();
  const CLink& gains = *system.Links().GetLinks()[0];
  const CLink& amps = *system.Links().GetLinks()[1];

  SwitchedUnitsAway();
  const std::size_t away = bus->RequestCount();
  // A drag of the processor's fader and of the amplifier's knob, as their panels hand it in.
  for (float level : {-3.0f, -8.2f, -12.5f, -16.7f})
    ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, level, ParamKind::kLevel)));
  for (float level : {-2.0f, -7.0f}) ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, level, ParamKind::kLevel)));
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -167 && a5->State().gainIndex[0] == 7; }));
  // Linking switched off and on again: the master's value passes the members away once more.
  frame->RunCommand(Cmd::kLinkingStatus);
  frame->RunCommand(Cmd::kLinkingStatus);
  ASSERT_TRUE(system.Links().AreLinksActive());
  ProcessEvents();

  EXPECT_TRUE(GainWrites(*d4, away).empty());
  EXPECT_TRUE(GainWrites(*amp2, away).empty());
  EXPECT_EQ(GainA(*d4), GainA(*p4));
  EXPECT_FALSE(Outs(gains, 0));
  EXPECT_TRUE(Outs(gains, 1));
  EXPECT_FALSE(Outs(amps, 0));
  EXPECT_TRUE(Outs(amps, 1));
  EXPECT_EQ(LogCount("Link \"Link 13\" not applied to " + d4->GetUnitText() + " (not connected)"), 1);
  EXPECT_EQ(LogCount("Link \"Link 5\" not applied to " + amp2->GetUnitText() + " (not connected)"), 1);
  {
    CLinkManagerDlg manager(system);
    manager.OnInitDialog();
    const QTreeWidgetItem* processors = manager.LinkTree()->topLevelItem(0);
    const QTreeWidgetItem* amplifiers = manager.LinkTree()->topLevelItem(1);
    EXPECT_FALSE(processors->child(0)->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark));
    EXPECT_TRUE(processors->child(1)->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark));
    EXPECT_TRUE(amplifiers->child(1)->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark));
    EXPECT_TRUE(processors->isExpanded());
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
      manager.show();
      ProcessEvents();
      manager.grab().save(folder + "/link-manager-away.png");
    }
  }

  const std::size_t back = bus->RequestCount();
  p4Switch->SetSilent(false);
  a2Switch->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  Settle();
  ASSERT_TRUE(WaitFor([&] { return GainA(*p4) == -167 && a2->State().gainIndex[0] == 7; }))
      << GainA(*p4) << " " << int(a2->State().gainIndex[0]);
  EXPECT_EQ(GainWrites(*d4, back), (std::vector<std::pair<int, int>>{{1, -167}}));
  EXPECT_EQ(GainWrites(*amp2, back), (std::vector<std::pair<int, int>>{{0, 7}}));
  EXPECT_EQ(GainA(*d4), -167);
  EXPECT_EQ(amp2->GetGainIndex(0), 7);
  EXPECT_FALSE(Outs(gains, 1));
  EXPECT_FALSE(Outs(amps, 1));
  EXPECT_EQ(LogCount("Link \"Link 13\" applied to " + d4->GetUnitText() + " now that it is back"), 1);
  EXPECT_EQ(LogCount("Link \"Link 5\" applied to " + amp2->GetUnitText() + " now that it is back"), 1);
  // The others got nothing more.
  EXPECT_TRUE(GainWrites(*d3, back).empty());
  EXPECT_TRUE(GainWrites(*amp5, back).empty());
}

// Linking switched off while members are out of line gives their units nothing: back, each
// keeps what it holds, and the log says once that the link's value will not come.
TEST_P(LinkedMemberAwayTest, BackWhileLinkingIsOffKeepsItsOwnValueAndTheLogSaysTheDebtEnded) {
  LinkAndGoOnline();
  CSystem& system = frame->GetSystem();
  SwitchedUnitsAway();
  ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, -16.7f, ParamKind::kLevel)));
  ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, -7.0f, ParamKind::kLevel)));
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -167 && a5->State().gainIndex[0] == 7; }));
  ASSERT_TRUE(Outs(*system.Links().GetLinks()[0], 1));
  frame->RunCommand(Cmd::kLinkingStatus);
  ASSERT_FALSE(system.Links().AreLinksActive());

  const std::size_t back = bus->RequestCount();
  p4Switch->SetSilent(false);
  a2Switch->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  Settle();
  EXPECT_TRUE(GainWrites(*d4, back).empty());
  EXPECT_TRUE(GainWrites(*amp2, back).empty());
  EXPECT_FALSE(Outs(*system.Links().GetLinks()[0], 1));
  EXPECT_FALSE(Outs(*system.Links().GetLinks()[1], 1));
  EXPECT_EQ(LogCount("Link \"Link 13\" not applied to " + d4->GetUnitText() + " when it is back: linking is switched off"), 1);
  EXPECT_EQ(LogCount("Link \"Link 5\" not applied to " + amp2->GetUnitText() + " when it is back: linking is switched off"), 1);
}

// Members whose units fall silent as the link's value is on its way to them, before their ACK:
// once shown away they fall out of line, as members away when the value came do (named once in
// the log, marked in the Link Manager), and take the link's value when their units are back. A
// person's own change of one of those units, made in the same moment, stays owed: the device keeps
// it meanwhile and its unit gets it when it is back. No line says that a unit may not hold a
// change, and nothing older than the link's value reaches the members.
TEST_P(LinkedMemberAwayTest, MembersThatFallSilentBeforeTheirAckFallOutOfLineAndTakeTheValueWhenBack) {
  LinkAndGoOnline();
  CSystem& system = frame->GetSystem();
  const CLink& gains = *system.Links().GetLinks()[0];
  const CLink& amps = *system.Links().GetLinks()[1];
  // The changes are made while the worker holds still, and the units switched off before it
  // goes on: the changes' writes are the first requests their silence meets.
  ASSERT_TRUE(system.GetComms().RequestIdle());
  ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, -16.7f, ParamKind::kLevel)));
  ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, -7.0f, ParamKind::kLevel)));
  ASSERT_TRUE(amp2->Gate().ApplyUserChange(MakeBoolParamValue(kZelParamMute, true)));
  ASSERT_EQ(amp2->GetMuteMask() & 1, 1);
  const std::size_t changed = bus->RequestCount();
  p4Switch->SetSilent(true);
  a2Switch->SetSilent(true);
  system.GetComms().SetWorkerState(kWorkerOnline);
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -167 && a5->State().gainIndex[0] == 7; }, 30000));
  // The log lines reach the log pane through the window's queue, after the units' state.
  const std::string notApplied[] = {"Link \"Link 13\" not applied to " + d4->GetUnitText() + " (not connected)",
                                    "Link \"Link 5\" not applied to " + amp2->GetUnitText() + " (not connected)"};
  ASSERT_TRUE(WaitFor([&] {
    return !d4->IsConnected() && !amp2->IsConnected() && Outs(gains, 1) && Outs(amps, 1) && LogHas(notApplied[0]) &&
           LogHas(notApplied[1]);
  }, 60000));
  EXPECT_FALSE(Outs(gains, 0));
  EXPECT_FALSE(Outs(amps, 0));
  EXPECT_EQ(LogCount(notApplied[0]), 1);
  EXPECT_EQ(LogCount(notApplied[1]), 1);
  // The person's mute stays where it was put.
  EXPECT_EQ(amp2->GetMuteMask() & 1, 1);
  {
    CLinkManagerDlg manager(system);
    manager.OnInitDialog();
    EXPECT_TRUE(manager.LinkTree()->topLevelItem(0)->child(1)->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark));
    EXPECT_TRUE(manager.LinkTree()->topLevelItem(1)->child(1)->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark));
  }

  const std::size_t back = bus->RequestCount();
  p4Switch->SetSilent(false);
  a2Switch->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  Settle();
  const std::string applied[] = {"Link \"Link 13\" applied to " + d4->GetUnitText() + " now that it is back",
                                 "Link \"Link 5\" applied to " + amp2->GetUnitText() + " now that it is back"};
  ASSERT_TRUE(WaitFor([&] {
    return GainA(*p4) == -167 && a2->State().gainIndex[0] == 7 && LogHas(applied[0]) && LogHas(applied[1]);
  })) << GainA(*p4) << " " << int(a2->State().gainIndex[0]);
  EXPECT_EQ(a2->State().muteMask & 1, 1);
  EXPECT_EQ(amp2->GetMuteMask() & 1, 1);
  EXPECT_FALSE(Outs(gains, 1));
  EXPECT_FALSE(Outs(amps, 1));
  EXPECT_EQ(LogCount(applied[0]), 1);
  EXPECT_EQ(LogCount(applied[1]), 1);
  for (const auto& write : GainWrites(*d4, changed)) EXPECT_EQ(write.second, -167);
  for (const auto& write : GainWrites(*amp2, changed)) EXPECT_EQ(write.second, 7);
  EXPECT_FALSE(GainWrites(*d4, back).empty());
  EXPECT_EQ(LogCount("may not hold"), 0);
}

// A master whose unit is away holds the link's value as a value it is still to take, not as
// its own, which its unit never got: the Link Manager closed (as after a look at the marks) or
// linking switched off and on gives the others the link's value again, not the master's old
// one, and the master takes the link's value when its unit is back.
TEST_P(LinkedMemberAwayTest, AMasterAwayGivesTheOthersTheLinksValueNotItsOld) {
  LinkAndGoOnline(true);
  CSystem& system = frame->GetSystem();
  const CLink& gains = *system.Links().GetLinks()[0];
  const CLink& amps = *system.Links().GetLinks()[1];
  ASSERT_EQ(gains.GetMasterRef(), gains.GetMembers()[0]);
  SwitchedUnitsAway();
  ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, -16.7f, ParamKind::kLevel)));
  ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, -7.0f, ParamKind::kLevel)));
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -167 && a5->State().gainIndex[0] == 7; }));
  ASSERT_TRUE(Outs(gains, 0));
  ASSERT_TRUE(Outs(amps, 0));

  const std::size_t looked = bus->RequestCount();
  frame->RunCommand(Cmd::kLinkManager);
  frame->RunCommand(Cmd::kLinkingStatus);
  frame->RunCommand(Cmd::kLinkingStatus);
  ASSERT_TRUE(system.Links().AreLinksActive());
  Settle();
  EXPECT_EQ(GainA(*p3), -167);
  EXPECT_EQ(GainA(*d3), -167);
  EXPECT_EQ(a5->State().gainIndex[0], 7);
  EXPECT_EQ(amp5->GetGainIndex(0), 7);
  for (const auto& write : GainWrites(*d3, looked)) EXPECT_EQ(write.second, -167);
  for (const auto& write : GainWrites(*amp5, looked)) EXPECT_EQ(write.second, 7);
  EXPECT_TRUE(Outs(gains, 0));
  EXPECT_TRUE(Outs(amps, 0));

  // Offline the same: the file keeps the link's value in the others, the masters their marks.
  OfflineThroughTheLinkManager();
  EXPECT_EQ(GainA(*d3), -167);
  EXPECT_EQ(amp5->GetGainIndex(0), 7);
  EXPECT_TRUE(Outs(gains, 0));
  EXPECT_TRUE(Outs(amps, 0));

  EXPECT_TRUE(SwitchedUnitsBackOnlineAtTheLinksValues()) << GainA(*p4) << " " << int(a2->State().gainIndex[0]);
  EXPECT_EQ(GainA(*p3), -167);
  EXPECT_EQ(a5->State().gainIndex[0], 7);
  EXPECT_FALSE(Outs(gains, 0));
  EXPECT_FALSE(Outs(amps, 0));
}

// A member that missed a value of its link while its unit was away keeps its mark, and the
// value it is to take, through a time offline: the links applied again there (the Link
// Manager closed) do not count it in line, so that its unit, back in either session, is
// written the link's value instead of keeping what it held.
TEST_P(LinkedMemberAwayTest, AMemberAwayKeepsWhatItIsToTakeThroughATimeOffline) {
  LinkAndGoOnline();
  const CLink& gains = *frame->GetSystem().Links().GetLinks()[0];
  const CLink& amps = *frame->GetSystem().Links().GetLinks()[1];
  const int d4Held = GainA(*d4), amp2Held = amp2->GetGainIndex(0);
  SwitchedUnitsAway();
  ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, -16.7f, ParamKind::kLevel)));
  ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, -7.0f, ParamKind::kLevel)));
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -167 && a5->State().gainIndex[0] == 7; }));

  OfflineThroughTheLinkManager();
  EXPECT_TRUE(Outs(gains, 1));
  EXPECT_TRUE(Outs(amps, 1));
  EXPECT_EQ(GainA(*d4), d4Held);
  EXPECT_EQ(amp2->GetGainIndex(0), amp2Held);

  EXPECT_TRUE(SwitchedUnitsBackOnlineAtTheLinksValues()) << GainA(*p4) << " " << int(a2->State().gainIndex[0]);
  EXPECT_EQ(GainA(*p4), -167);
  EXPECT_EQ(GainA(*d4), -167);
  EXPECT_EQ(amp2->GetGainIndex(0), 7);
  EXPECT_FALSE(Outs(gains, 1));
  EXPECT_FALSE(Outs(amps, 1));
}

// A snapshot recalled while a member is out of line is the later choice: the recall passes the
// member's unit by (logged), and the link's value from before the recall is no longer given to
// it when its unit is back, which keeps what it holds, as any unit a recall passed by does.
TEST_P(LinkedMemberAwayTest, ARecallMadeWhileItWasAwayEndsWhatTheLinkWasToGiveIt) {
  LinkAndGoOnline();
  CSystem& system = frame->GetSystem();
  const CLink& gains = *system.Links().GetLinks()[0];
  const CLink& amps = *system.Links().GetLinks()[1];
  CSnapshot* show = system.Snapshots().AddSnapshot("Show");
  const int p3Show = GainA(*p3), p4Held = GainA(*p4);
  const int a5Show = a5->State().gainIndex[0], a2Held = a2->State().gainIndex[0];

  SwitchedUnitsAway();
  ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, -16.7f, ParamKind::kLevel)));
  ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, -7.0f, ParamKind::kLevel)));
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -167 && a5->State().gainIndex[0] == 7; }));
  ASSERT_TRUE(Outs(gains, 1));
  ASSERT_TRUE(Outs(amps, 1));

  // As a panel's snapshot button asks the frame.
  frame->Post(CPostedMessage{FrameMsg::kRecallSnapshot, 0, 0, 0, show->GetUuid().ToString()});
  ProcessEvents();
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == p3Show && a5->State().gainIndex[0] == a5Show; }));
  EXPECT_FALSE(Outs(gains, 1));
  EXPECT_FALSE(Outs(amps, 1));
  for (CDevice* d : {static_cast<CDevice*>(d4), static_cast<CDevice*>(amp2)}) {
    EXPECT_TRUE(LogHas("Snapshot \"Show\" not recalled on " + d->GetUnitText() + " (not connected)"));
    EXPECT_TRUE(LogHas(" not applied to " + d->GetUnitText() + " when it is back: snapshot \"Show\" was recalled since"))
        << d->GetUnitText();
  }

  p4Switch->SetSilent(false);
  a2Switch->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  Settle();
  Settle();
  // Each unit the recall passed by keeps what it held, in the file too; the others keep the recall.
  EXPECT_EQ(GainA(*p4), p4Held);
  EXPECT_EQ(GainA(*d4), p4Held);
  EXPECT_EQ(a2->State().gainIndex[0], a2Held);
  EXPECT_EQ(amp2->GetGainIndex(0), a2Held);
  EXPECT_EQ(GainA(*p3), p3Show);
  EXPECT_EQ(a5->State().gainIndex[0], a5Show);
  EXPECT_EQ(LogCount(" now that it is back"), 0);
}

// The Link Manager, open while the marks change, shows them as they are: a member whose unit is
// back is no longer marked, nor one whose value a recall superseded, while the others stay so.
TEST_P(LinkedMemberAwayTest, AnOpenLinkManagerShowsTheMarksAsTheyChange) {
  LinkAndGoOnline();
  CSystem& system = frame->GetSystem();
  CSnapshot* show = system.Snapshots().AddSnapshot("Show");
  SwitchedUnitsAway();
  ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, -16.7f, ParamKind::kLevel)));
  ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, -7.0f, ParamKind::kLevel)));

  CLinkManagerDlg manager(system, frame.get());
  manager.setModal(true);
  manager.show();
  ProcessEvents();
  const QTreeWidgetItem* processor = manager.LinkTree()->topLevelItem(0)->child(1);
  const QTreeWidgetItem* amplifier = manager.LinkTree()->topLevelItem(1)->child(1);
  const auto marked = [](const QTreeWidgetItem* item) {
    return item->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark) &&
           item->toolTip(0).contains(CLinkManagerDlg::kOutOfLineNote);
  };
  ASSERT_TRUE(marked(processor));
  ASSERT_TRUE(marked(amplifier));
  const QColor plain = manager.LinkTree()->topLevelItem(0)->child(0)->foreground(0).color();

  p4Switch->SetSilent(false);
  ASSERT_TRUE(WaitFor([&] { return d4->IsConnected() && d4->AllBlocksReceived(); }, 60000));
  Settle();
  ASSERT_TRUE(WaitFor([&] { return GainA(*p4) == -167; }));
  ProcessEvents();
  EXPECT_FALSE(marked(processor)) << processor->text(0).toStdString();
  EXPECT_EQ(processor->text(0).toStdString(), DeviceListText(*d4) + " - " + d4->GetParameterAt(kProcessorGainA).name);
  EXPECT_EQ(processor->foreground(0).color(), plain);
  EXPECT_TRUE(marked(amplifier));
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    manager.grab().save(folder + "/link-manager-one-back.png");

  frame->Post(CPostedMessage{FrameMsg::kRecallSnapshot, 0, 0, 0, show->GetUuid().ToString()});
  ProcessEvents();
  EXPECT_FALSE(marked(amplifier)) << amplifier->text(0).toStdString();
  manager.close();
}

// A member out of line when autosave stored the file stays so when a new run of the program
// opens that file (the run before ended online without saving again, as in a crash): the log
// and the Link Manager name it, and its unit, back in either session, holds the link's value.
// Every frame that reaches its unit is handed to a simulated twin that starts at a level of its
// own: none of them gives the unit the level it held before, which a "Send" session would
// otherwise carry to it from the file.
TEST_P(LinkedMemberAwayTest, StaysOutOfLineThroughAnAutosaveAndANewRunAndIsNeverSentTheOldValue) {
  LinkAndGoOnline();
  const std::string path = PathOf("show.ovd");
  ASSERT_TRUE(frame->GetSystem().File().SaveFile(path));
  const int d4Held = GainA(*d4), amp2Held = amp2->GetGainIndex(0);
  SwitchedUnitsAway();
  ASSERT_TRUE(d3->Gate().ApplyUserChange(CParamValue(kProcessorGainA, -16.7f, ParamKind::kLevel)));
  ASSERT_TRUE(amp5->Gate().ApplyUserChange(CParamValue(kAmpGain1, -7.0f, ParamKind::kLevel)));
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == -167 && a5->State().gainIndex[0] == 7; }));
  frame->Tick(FrameTimer::kAutosave);
  QFile stored(QString::fromStdString(path));
  ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
  ASSERT_TRUE(stored.readAll().contains("OWED"));  // the block of what links owe, after the record

  // A new run of the program on the file.
  frame.reset();
  MakeFrame();
  ASSERT_TRUE(frame->Files().OpenFilePath(path));
  ProcessEvents();
  CSystem& system = frame->GetSystem();
  FindDevicesAgain();
  ASSERT_EQ(system.Links().GetLinks().size(), 2u);
  const CLink& gains = *system.Links().GetLinks()[0];
  const CLink& amps = *system.Links().GetLinks()[1];
  EXPECT_FALSE(Outs(gains, 0));
  EXPECT_TRUE(Outs(gains, 1));
  EXPECT_FALSE(Outs(amps, 0));
  EXPECT_TRUE(Outs(amps, 1));
  EXPECT_EQ(GainA(*d4), d4Held);
  EXPECT_EQ(amp2->GetGainIndex(0), amp2Held);
  const std::string owed = " when the file was saved - it takes the link's value when it is back";
  EXPECT_EQ(LogCount("Link \"Link 13\" not applied to " + d4->GetUnitText() + owed), 1);
  EXPECT_EQ(LogCount("Link \"Link 5\" not applied to " + amp2->GetUnitText() + owed), 1);
  EXPECT_EQ(LogCount(owed), 2);
  {
    CLinkManagerDlg manager(system, frame.get());
    manager.show();
    ProcessEvents();
    for (int l = 0; l < 2; ++l) {
      const QTreeWidgetItem* link = manager.LinkTree()->topLevelItem(l);
      EXPECT_TRUE(link->isExpanded());
      EXPECT_FALSE(link->child(0)->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark));
      EXPECT_TRUE(link->child(1)->text(0).startsWith(CLinkManagerDlg::kOutOfLineMark));
    }
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
      manager.grab().save(folder + "/link-manager-reopened.png");
    manager.close();
  }

  const std::size_t reopened = bus->RequestCount();
  EXPECT_TRUE(SwitchedUnitsBackOnlineAtTheLinksValues()) << GainA(*p4) << " " << int(a2->State().gainIndex[0]);
  EXPECT_EQ(GainA(*d4), -167);
  EXPECT_EQ(amp2->GetGainIndex(0), 7);
  EXPECT_FALSE(Outs(gains, 1));
  EXPECT_FALSE(Outs(amps, 1));
  EXPECT_EQ(LogCount("Link \"Link 13\" applied to " + d4->GetUnitText() + " now that it is back"), 1);
  EXPECT_EQ(LogCount("Link \"Link 5\" applied to " + amp2->GetUnitText() + " now that it is back"), 1);
  const std::vector<int> processor = HeldAfterEachWrite(*d4, reopened);
  const std::vector<int> amplifier = HeldAfterEachWrite(*amp2, reopened);
  const auto only = [](const std::vector<int>& held, int untouched, int taken) {
    return std::count(held.begin(), held.end(), taken) > 0 &&
           std::all_of(held.begin(), held.end(), [&](int v) { return v == untouched || v == taken; });
  };
  EXPECT_TRUE(only(processor, kTwinGainA, -167)) << ::testing::PrintToString(processor);
  EXPECT_TRUE(only(amplifier, kTwinGainIndex, 7)) << ::testing::PrintToString(amplifier);
}

INSTANTIATE_TEST_SUITE_P(Sessions, LinkedMemberAwayTest, ::testing::Values(0u, 1u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                           return std::string(info.param == 0 ? "Retrieve" : "Send");
                         });

// A snapshot whose units were set apart while linking was off, recalled with linking on: every
// unit of both processors, both amplifiers and the box's two linked channels ends at the level
// its own image holds, on the unit and in the file, and no linked member is sent another unit's
// level after its own image.
TEST_F(UnitsOnlineTest, ARecallWithLinkingOnPutsEveryUnitAtItsOwnRecalledLevel) {
  StartUnits();
  MakeFile();
  CSystem& system = frame->GetSystem();
  Link(*d3, *d4, kProcessorGainA);
  Link(*amp2, *amp5, kAmpGain1);
  auto* channels = new CLink("Box channels");
  channels->AddMember(dbox->GetUuid(), kBreakParamGain);
  channels->AddMember(dbox->GetUuid(), kBreakParamGain + 1);
  system.Links().AppendLink(channels);
  GoOnlineAndReadOut();
  Settle();

  const auto set = [](CDevice* device, int id, float level) {
    ModelChange(device, CParamValue(id, level, ParamKind::kLevel));
  };
  system.Links().SetLinksActive(false);
  set(d3, kProcessorGainA, -10.0f);
  set(d4, kProcessorGainA, -20.0f);
  set(amp2, kAmpGain1, -4.0f);
  set(amp5, kAmpGain1, -8.0f);
  set(dbox, kBreakParamGain, -2.0f);
  set(dbox, kBreakParamGain + 1, -6.0f);
  const std::uint8_t amp2Gain = amp2->GetGainIndex(0), amp5Gain = amp5->GetGainIndex(0);
  const std::uint8_t boxGain1 = dbox->GetGain(0), boxGain2 = dbox->GetGain(1);
  ASSERT_NE(amp2Gain, amp5Gain);
  ASSERT_NE(boxGain1, boxGain2);
  system.Snapshots().AddSnapshot("Apart");
  for (CDevice* d : {static_cast<CDevice*>(d3), static_cast<CDevice*>(d4)}) set(d, kProcessorGainA, 0.0f);
  for (CDevice* d : {static_cast<CDevice*>(amp2), static_cast<CDevice*>(amp5)}) set(d, kAmpGain1, 0.0f);
  set(dbox, kBreakParamGain, 0.0f);
  set(dbox, kBreakParamGain + 1, 0.0f);
  ASSERT_TRUE(WaitFor([&] { return GainA(*p3) == 0 && GainA(*p4) == 0 && box->State().gains[1] == dbox->GetGain(1); }));
  Settle();
  system.Links().SetLinksActive(true);

  const std::size_t from = bus->RequestCount();
  ASSERT_TRUE(system.Snapshots().RecallSnapshot(0));
  Settle();
  // The processors take their images as block writes; none gets the other's single value.
  std::vector<Frame> singleValues;
  for (const Frame& f : Writes(from))
    if ((f.type == 16 || f.type == 120) && f.command == 2) singleValues.push_back(f);
  EXPECT_TRUE(singleValues.empty()) << Describe(singleValues);
  EXPECT_EQ(GainA(*p3), -100);
  EXPECT_EQ(GainA(*p4), -200);
  EXPECT_EQ(GainA(*d3), -100);
  EXPECT_EQ(GainA(*d4), -200);
  EXPECT_EQ(a2->State().gainIndex[0], amp2Gain);
  EXPECT_EQ(a5->State().gainIndex[0], amp5Gain);
  EXPECT_EQ(amp2->GetGainIndex(0), amp2Gain);
  EXPECT_EQ(amp5->GetGainIndex(0), amp5Gain);
  EXPECT_EQ(box->State().gains[0], boxGain1);
  EXPECT_EQ(box->State().gains[1], boxGain2);
  EXPECT_EQ(dbox->GetGain(0), boxGain1);
  EXPECT_EQ(dbox->GetGain(1), boxGain2);
  EXPECT_EQ(system.GetCurrentSnapshot(), 0);
}

// Units added by hand have ID 0, the address of every unit of a model: going online ("Send")
// names them and queues nothing for them, and once their IDs are set in the pane no frame ever
// went to ID 0; the units then get the file's settings at their IDs, as at going online: the
// hand-added Nerex48's empty preset clears the unit's, and the threshold the file never set
// stays the amplifier's.
TEST_F(UnitsOnlineTest, NothingGoesToIdZeroAndGoingOnlineNamesTheUnitsThatHaveIt) {
  CSimProcessorUnit* processor = nullptr;
  CSimZelAmpUnit* amplifier = nullptr;
  CNerexSeriesMemory stored;
  StartBus(kPort, [&](CSimBus& units) {
    processor = units.Add<CSimProcessorUnit>(120, 20);
    amplifier = units.Add<CSimZelAmpUnit>(Zel(55, 3));
  });
  stored = processor->Current();
  stored.inputs.gains[0] = -60;
  stored.sectionFlags = kSectionAll;
  stored.name = "Unit preset";
  processor->SetPreset(1, stored);
  amplifier->Update([](SimZelAmpState& s) { s.alarmTemperature = 85; });
  CSystem& system = MakeFrame().GetSystem();
  ASSERT_TRUE(system.AddDevice(120, 0));
  ASSERT_TRUE(system.AddDevice(55, 0));
  CDevice* nerex = system.GetDevice(0);
  auto* zel = static_cast<CZelSeriesDevice*>(system.GetDevice(1));
  ASSERT_EQ(nerex->GetDeviceId(), 0u);

  prompts.goOnlineChoice = 1;  // the file's settings to the units
  frame->RunCommand(Cmd::kOnline);
  ASSERT_TRUE(frame->IsOnline());
  EXPECT_EQ(prompts.messages.size(), 1u);  // its words: UnaddressedUnitsTest
  EXPECT_TRUE(WaitFor([&] { return LogHas("Left out until it has an ID of its own: Zel-6 ID: 0"); }));
  EXPECT_EQ(nerex->Queue().GetQueueSize(), 0u);
  EXPECT_EQ(zel->Queue().GetQueueSize(), 0u);

  TypeInPane(nerex, "ID", "20");
  TypeInPane(zel, "ID", "3");
  ASSERT_EQ(nerex->GetDeviceId(), 20u);
  ASSERT_EQ(zel->GetDeviceId(), 3u);
  ASSERT_TRUE(WaitFor([&] { return nerex->IsConnected() && zel->IsConnected() && zel->IsReadOutComplete(); }, 60000));
  Settle();
  std::vector<Frame> toIdZero;
  for (const SimBytes& r : bus->Requests())
    if (const Frame f = Decode(r); (f.type == 120 || f.type == 55) && f.id == 0) toIdZero.push_back(f);
  EXPECT_TRUE(toIdZero.empty()) << Describe(toIdZero);
  EXPECT_EQ(processor->Preset(1).sectionFlags, 0u);
  EXPECT_EQ(processor->DeviceName(), nerex->GetName());
  EXPECT_EQ(amplifier->State().alarmTemperature, 85);
  EXPECT_EQ(zel->GetAlarmTemperature(), 85);
}

// Going online names the units that have ID 0 in one message, in words for one unit or many; so
// too Zel units whose identity query a processor of the file at the same long ID answers.
struct UnaddressedCase {
  const char* name;
  std::vector<std::uint32_t> types;
  const char* message;
  std::vector<std::uint32_t> ids = {};  // by device; ID 0 for all when empty
};

class UnaddressedUnitsTest : public UnitsOnlineTest, public ::testing::WithParamInterface<UnaddressedCase> {};

TEST_P(UnaddressedUnitsTest, GoingOnlineNamesThemInOneMessage) {
  const UnaddressedCase& c = GetParam();
  StartBus(kPort, [](CSimBus&) {});
  CSystem& system = MakeFrame().GetSystem();
  for (std::size_t i = 0; i < c.types.size(); ++i) {
    if (c.ids.empty()) {
      ASSERT_TRUE(system.AddDevice(c.types[i], 0));
    } else {
      Append(system, c.ids[i], c.types[i])->SetIgnored(true);
    }
  }
  prompts.goOnlineChoice = 1;
  frame->RunCommand(Cmd::kOnline);
  ASSERT_TRUE(frame->IsOnline());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, c.message);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Orvak"), QString::fromStdString(c.message), QMessageBox::Ok);
    box.show();
    QApplication::processEvents();
    box.grab().save(folder + "/going-online-" + QString::fromLatin1(c.name) + ".png");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Units, UnaddressedUnitsTest,
    ::testing::Values(UnaddressedCase{"One", {55},
                                      "This unit has ID 0, the address of every unit of a model. Nothing is sent to "
                                      "it or read from it until it has an ID of its own.\n\nZel-6 ID: 0"},
                      UnaddressedCase{"Two", {120, 55},
                                      "These 2 units have ID 0, the address of every unit of a model. Nothing is sent "
                                      "to them or read from them until each has an ID of its own.\n\nNerex48 ID: "
                                      "0\nZel-6 ID: 0"},
                      // Five are named; the log names every one.
                      UnaddressedCase{"Seven", {120, 55, 121, 52, 16, 53, 41},
                                      "These 7 units have ID 0, the address of every unit of a model. Nothing is sent "
                                      "to them or read from them until each has an ID of its own.\n\nNerex48 ID: "
                                      "0\nZel-6 ID: 0\nTorvex48 ID: 0\nZel-3 ID: 0\nFennick ID: 0\n... and 2 more, each "
                                      "named in the log"},
                      UnaddressedCase{"ZelAtAProcessorsLongId", {114, 53, 120, 56},
                                      "A unit of another family answers this unit's identity query too: while both "
                                      "are on the line their answers garble each other, and it does not connect. It "
                                      "is asked now and then, as an absent unit is.\n\nZel-4 ID: 300 - its identity "
                                      "query is also answered by Nerex24 ID: 300",
                                      {300, 300, 4, 4}},
                      UnaddressedCase{"ZelsAtProcessorsLongIds", {114, 53, 120, 56},
                                      "These 2 units have their identity query answered by a unit of another family "
                                      "too: while both of a pair are on the line their answers garble each other, and "
                                      "the unit does not connect. Each is asked now and then, as an absent unit "
                                      "is.\n\nZel-4 ID: 300 - its identity query is also answered by Nerex24 ID: "
                                      "300\nZel-1 ID: 70000 - its identity query is also answered by Nerex48 ID: "
                                      "70000",
                                      {300, 300, 70000, 70000}}),
    [](const ::testing::TestParamInfo<UnaddressedCase>& info) { return std::string(info.param.name); });

// A file of 5,000 processors at IDs 1 to 5,000: their frames carry the ID's low byte, so the 19
// at 256, 512 ... would address every unit of their model, and 4,726 are reached by the frames
// of a processor before them. Going online tells of both in one notice of a size that fits the
// screen, with the count and the first five of each, and the log names every one.
TEST_F(UnitsOnlineTest, AFileOfManyUnitsIsToldOfInOneNoticeThatFitsTheScreen) {
  StartBus(kPort, [](CSimBus&) {});
  CSystem& system = MakeFrame().GetSystem();
  // Each ignored when online, so that going online does not wait for a security step that would
  // ask each absent unit in turn: the notice names devices by their IDs alone.
  for (std::uint32_t id = 1; id <= 5000; ++id) Append(system, id, 120)->SetIgnored(true);
  prompts.goOnlineChoice = 0;
  frame->RunCommand(Cmd::kOnline);
  ASSERT_TRUE(frame->IsOnline());
  ASSERT_EQ(prompts.messages.size(), 1u);
  const std::string& text = prompts.messages[0].text;
  EXPECT_EQ(text,
            "These 19 units have IDs that their frames cannot carry: they would reach other units. Nothing is sent to "
            "them or read from them until each has an ID they carry.\n\n"
            "Nerex48 ID: 256 - Device ID 256 would address every unit of its model\n"
            "Nerex48 ID: 512 - Device ID 512 would address every unit of its model\n"
            "Nerex48 ID: 768 - Device ID 768 would address every unit of its model\n"
            "Nerex48 ID: 1024 - Device ID 1024 would address every unit of its model\n"
            "Nerex48 ID: 1280 - Device ID 1280 would address every unit of its model\n"
            "... and 14 more, each named in the log\n\n"
            "These 4,726 units are reached by the frames of units before them in the file: each would take what the "
            "other is sent. Nothing is sent to them or read from them until each has an ID of its own, and while one "
            "is on the line the unit before it does not connect: their answers garble each other.\n\n"
            "Nerex48 ID: 257 - same frames as Nerex48 ID: 1\n"
            "Nerex48 ID: 258 - same frames as Nerex48 ID: 2\n"
            "Nerex48 ID: 259 - same frames as Nerex48 ID: 3\n"
            "Nerex48 ID: 260 - same frames as Nerex48 ID: 4\n"
            "Nerex48 ID: 261 - same frames as Nerex48 ID: 5\n"
            "... and 4,721 more, each named in the log");
  std::size_t leftOut = 0;
  for (CDevice* device : system.GetDevices()) leftOut += device->AddressRules().IsLeftOut() ? 1 : 0;
  EXPECT_EQ(leftOut, 4726u);

  // The box the person sees, with its button on the screen.
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Orvak"), QString::fromStdString(text), QMessageBox::Ok);
  box.show();
  QApplication::processEvents();
  EXPECT_LE(box.height(), 600);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    box.grab().save(folder + "/going-online-many-units.png");
}

// An autoscan that finds a Nerex48 at the ID where the file has a Nerex24 says so in the log
// and in its dialog, adds no second device at that ID, and from then on no Nerex24 frame goes
// to the Nerex48; another unit is found and polled as ever.
TEST_F(UnitsOnlineTest, AutoscanOfAnotherModelAtAnIdOfTheFileSaysSoAndPollsOneDeviceThere) {
  StartBus(kPort, [&](CSimBus& units) {
    units.Add<CSimProcessorUnit>(120, 3);
    units.Add<CSimProcessorUnit>(115, 5);
  });
  CSystem& system = MakeFrame().GetSystem();
  CDevice* nerex24 = Append(system, 3, 114);
  system.GetComms().Discovery().SetScanRangeForTests(6, 0);
  prompts.goOnlineChoice = 0;

  // The dialog stays open after the scan with its list until OK.
  std::size_t scanEnded = 0;
  const QString notes = RunAutoscanReadingItsNotes("autoscan-other-model", &scanEnded);

  EXPECT_EQ(notes, "ID 3: the file has a Nerex24, the unit is a Nerex48");
  EXPECT_TRUE(LogHas("ID 3: the file has a Nerex24, the unit is a Nerex48 - the unit is not added and the Nerex24 is not polled"));
  ASSERT_EQ(system.GetDeviceCount(), 2);  // the Nerex24 and the Nerex26 found at ID 5
  EXPECT_EQ(system.GetDevice(0), nerex24);
  EXPECT_EQ(system.GetDevice(1)->GetTypeCode(), 115u);
  ASSERT_TRUE(WaitFor([&] { return system.GetDevice(1)->IsConnected(); }, 30000));
  const std::size_t before = bus->RequestCount();
  ASSERT_TRUE(WaitFor([&] { return bus->RequestCount() >= before + 40; }, 30000));
  EXPECT_FALSE(nerex24->IsConnected());
  const std::vector<SimBytes> requests = bus->Requests();
  std::vector<Frame> toOtherModel;
  for (std::size_t i = scanEnded; i < requests.size(); ++i)
    if (const Frame f = Decode(requests[i]); f.type == 114) toOtherModel.push_back(f);
  EXPECT_TRUE(toOtherModel.empty()) << Describe(toOtherModel);
}

// A "Send" session, and a "Retrieve" session after changes made in an earlier one: no change
// overtakes a read in either, so the comms error log names no reply left out for one (the file's
// settings still being sent leave the replies of that time out without a line).
TEST_F(UnitsOnlineTest, NoReplyIsLoggedAsLeftOutForAChangeThatWasNotMade) {
  StartUnits();
  MakeFile();
  CSystem& system = frame->GetSystem();
  system.Settings().SetLogCommsErrors(true);
  ModelChange(amp2, MakeTextParamValue(kZelParamAmpName, "Stage"));
  ModelChange(dbox, MakeTextParamValue(kBreakParamBoxName, "Racks"));
  prompts.goOnlineChoice = 1;
  frame->RunCommand(Cmd::kOnline);
  ASSERT_TRUE(frame->IsOnline());
  ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  Settle();
  ProcessEvents();
  EXPECT_EQ(LogCount("asked before a change"), 0);

  frame->RunCommand(Cmd::kOnline);  // offline
  ASSERT_FALSE(frame->IsOnline());
  GoOnlineAndReadOut();
  Settle();
  ProcessEvents();
  EXPECT_EQ(LogCount("asked before a change"), 0);
}

// An autoscan on the line: a processor found by its long ID, 257, is added (its frames carry 1);
// one at 256 is not (they would carry 0, the address of every unit of the model); two units at
// long ID 65793 (0x010101) garble each other's answers. The dialog stays open after the scan with the unit
// not added and the answers it could not read until OK.
TEST_F(UnitsOnlineTest, AutoscanAddsAProcessorAtALongIdAndNamesWhatItCouldNotAddOrRead) {
  StartBus(kPort, [&](CSimBus& units) {
    auto unit = [&](std::uint8_t type, std::uint32_t longId) {
      SimDiscoveryConfig config;
      config.typeCode = type;
      config.longId = longId;
      units.Add<CSimDiscoveryUnit>(config);
    };
    unit(120, 0x0101);
    unit(120, 0x0100);
    unit(53, 0x010101);
    unit(54, 0x010101);
  });
  CSystem& system = MakeFrame().GetSystem();
  system.GetComms().Discovery().SetScanRangeForTests(0, 1);
  prompts.goOnlineChoice = 0;

  const QString notes = RunAutoscanReadingItsNotes("autoscan-long-ids");

  EXPECT_EQ(notes.toStdString(),
            "ID 256: a Nerex48 is not added - Device ID 256 would address every unit of its model\n"
            "The answer at ID 65793 could not be read (two units with the same ID?): nothing there is added");
  ASSERT_EQ(system.GetDeviceCount(), 1);
  EXPECT_EQ(system.GetDevice(0)->GetTypeCode(), 120u);
  EXPECT_EQ(system.GetDevice(0)->GetDeviceId(), 257u);
  EXPECT_TRUE(system.GetDevice(0)->AddressRules().IsAddressable());
  EXPECT_TRUE(LogHas("Autoscan: unreadable answer at long ID 65793 (two units with the same ID?)"));
}

// What "Retrieve" takes from the units is no edit of the person's: File > Save stays greyed.
// Autosave still keeps it: it stores the file once after the read-out, then nothing while the
// units report what the file holds, and again once a unit reports a value of its own.
TEST_F(UnitsOnlineTest, AutosaveKeepsWhatTheUnitsReportedAndNothingMore) {
  StartUnits();
  MakeFile();
  CSystem& system = frame->GetSystem();
  const std::string path = PathOf("retrieved.ovd");
  ASSERT_TRUE(system.File().SaveFile(path));
  GoOnlineAndReadOut();
  Settle();
  EXPECT_FALSE(system.IsModified());
  frame->UpdateCommandUI();
  EXPECT_FALSE(frame->GetCommand(Cmd::kFileSave)->isEnabled());
  auto storedGain = [&] {
    CSystem stored;
    EXPECT_TRUE(stored.File().OpenFile(path));
    return stored.GetDeviceCount() == 5 ? int(static_cast<CZelSeriesDevice*>(stored.GetDevice(2))->GetGainIndex(0)) : -1;
  };
  ASSERT_EQ(storedGain(), 0);

  frame->Tick(FrameTimer::kAutosave);
  EXPECT_EQ(storedGain(), 10);
  const auto saved = WriteMark(path);
  Settle();
  frame->Tick(FrameTimer::kAutosave);
  EXPECT_EQ(WriteMark(path), saved);

  a2->Update([](SimZelAmpState& s) { s.gainIndex[0] = 20; });
  ASSERT_TRUE(WaitFor([&] { return amp2->GetGainIndex(0) == 20; }, 30000));
  frame->Tick(FrameTimer::kAutosave);
  EXPECT_EQ(storedGain(), 20);
  EXPECT_TRUE(prompts.messages.empty());
}

// Units of another model at two devices' IDs, found going online ("Send"): the log names each
// once, each device's rack tooltip names both models, nothing is written to either unit, and
// the unit of the file's model at another ID gets the file's settings.
TEST_F(UnitsOnlineTest, AnotherModelAtADevicesIdIsNamedInTheLogAndTheRackTooltipAndIsSentNothing) {
  StartBus(kPort, [&](CSimBus& units) {
    units.Add<CSimProcessorUnit>(121, 1);
    units.Add<CSimZelAmpUnit>(Zel(55, 2));
    units.Add<CSimProcessorUnit>(120, 4);
  });
  CSystem& system = MakeFrame().GetSystem();
  CDevice* nerex = Append(system, 1, 120);
  NameDevice(nerex, "Front of House");
  CDevice* zel = Append(system, 2, 52);
  NameDevice(zel, "Main Amp");
  CDevice* own = Append(system, 4, 120);
  prompts.goOnlineChoice = 1;
  frame->RunCommand(Cmd::kOnline);
  ASSERT_TRUE(frame->IsOnline());
  ASSERT_TRUE(WaitFor([&] { return nerex->UnitAtId().GetOtherModelAtId() == 121 && zel->UnitAtId().GetOtherModelAtId() == 55 && own->IsConnected(); },
                      60000));
  Settle();

  const struct {
    CDevice* device;
    const char* note;
  } cases[] = {{nerex, "ID 1: the file has a Nerex48, the unit is a Torvex48"},
               {zel, "ID 2: the file has a Zel-3, the unit is a Zel-6"}};
  std::vector<Frame> toOtherModels, toOwnModel;
  for (const Frame& f : Writes()) (f.id == 4 ? toOwnModel : toOtherModels).push_back(f);
  EXPECT_TRUE(toOtherModels.empty()) << Describe(toOtherModels);
  EXPECT_FALSE(toOwnModel.empty());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    EXPECT_EQ(LogCount(std::string(c.note) + " - nothing is sent to that unit or read from it"), 1);
    EXPECT_FALSE(c.device->IsConnected());
    const QString tip = RackTooltip(c.device, "other-model-" + QString::number(c.device->GetDeviceId()));
    EXPECT_TRUE(tip.contains(c.note)) << tip.toStdString();
    EXPECT_TRUE(tip.contains("Not Connected")) << tip.toStdString();
  }
}

// A processor of the same line with another number of channels at a device's ID.
struct ChannelCountCase {
  const char* name;
  std::uint32_t fileType;
  std::uint32_t unitType;
  std::uint32_t session;  // kGoOnlineRetrieve or kGoOnlineSend
  const char* note;
};
void PrintTo(const ChannelCountCase& c, std::ostream* os) { *os << c.name; }

class OtherChannelCountTest : public UnitsOnlineTest, public ::testing::WithParamInterface<ChannelCountCase> {};

// A Nerex24 where the file has a Nerex48 answers every request with fewer bytes than the device
// asks for (its names and blocks are laid out for two inputs and four outputs), and a Nerex48
// where the file has a Nerex24 with more. Either way, at going online with "Send" or "Retrieve",
// the device is set aside: the log and its rack tooltip name both models once, nothing is
// written to that ID and nothing read into the file, while the unit at the next ID is read out.
// Once a unit of the file's model answers at the ID, the device takes it up as the session chose.
TEST_P(OtherChannelCountTest, IsSetAsideNamedAndTakenUpWhenTheFilesModelAnswersThere) {
  const ChannelCountCase& c = GetParam();
  CSimSwitchedUnit* other = nullptr;
  CSimSwitchedUnit* own = nullptr;
  StartBus(kPort, [&](CSimBus& units) {
    other = units.Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(int(c.unitType), 1));
    own = units.Add<CSimSwitchedUnit>(std::make_unique<CSimProcessorUnit>(int(c.fileType), 1));
    own->SetSilent(true);
    units.Add<CSimProcessorUnit>(120, 4);
  });
  CSystem& system = MakeFrame().GetSystem();
  // Every request is answered here (one of the units at ID 1 is always on): the reads wait far
  // longer than a busy machine can hold a reply up on the line, so that none is taken for
  // silence and the unit for one that cannot be connected to.
  system.GetComms().GetTransport().SetExtraTimeout(1000);
  auto* device = static_cast<CNerexSeriesDevice*>(Append(system, 1, c.fileType));
  NameDevice(device, "Front of House");
  auto* neighbour = static_cast<CNerexSeriesDevice*>(Append(system, 4, 120));
  prompts.goOnlineChoice = c.session;
  frame->RunCommand(Cmd::kOnline);
  ASSERT_TRUE(frame->IsOnline());
  ASSERT_TRUE(WaitFor([&] { return device->UnitAtId().GetOtherModelAtId() == c.unitType && neighbour->AllBlocksReceived(); },
                      60000));
  Settle();

  EXPECT_EQ(LogCount(std::string(c.note) + " - nothing is sent to that unit or read from it"), 1);
  EXPECT_EQ(LogCount("Cannot connect to"), 0);
  EXPECT_FALSE(device->IsConnected());
  EXPECT_EQ(device->GetName(), "Front of House");
  const QString tip = RackTooltip(device, "other-channel-count");
  EXPECT_TRUE(tip.contains(c.note)) << tip.toStdString();
  std::vector<Frame> toTheId;
  for (const Frame& f : Writes())
    if (f.id == 1) toTheId.push_back(f);
  EXPECT_TRUE(toTheId.empty()) << Describe(toTheId);

  // The file's model comes to the ID.
  other->SetSilent(true);
  own->SetSilent(false);
  const std::size_t swapped = bus->RequestCount();
  ASSERT_TRUE(WaitFor([&] { return device->IsConnected() && device->AllBlocksReceived(); }, 60000));
  Settle();
  EXPECT_EQ(device->UnitAtId().GetOtherModelAtId(), 0u);
  EXPECT_EQ(LogCount("ID 1: the unit is a " + device->GetModelName() + " again"), 1);
  EXPECT_FALSE(RackTooltip(device).contains(c.note));
  std::vector<Frame> writes;
  for (const Frame& f : Writes(swapped))
    if (f.id == 1) writes.push_back(f);
  if (c.session == kGoOnlineSend) {
    // The file's settings, in the file's model's frames.
    EXPECT_FALSE(writes.empty());
    EXPECT_TRUE(std::all_of(writes.begin(), writes.end(), [&](const Frame& f) { return f.type == int(c.fileType); }))
        << Describe(writes);
    EXPECT_EQ(device->GetName(), "Front of House");
  } else {
    EXPECT_TRUE(writes.empty()) << Describe(writes);
    EXPECT_EQ(device->GetName(), "Sim Processor");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, OtherChannelCountTest,
    ::testing::Values(
        ChannelCountCase{"Nerex48_Nerex24_Send", 120, 114, kGoOnlineSend,
                         "ID 1: the file has a Nerex48, the unit is a Nerex24"},
        ChannelCountCase{"Nerex48_Nerex24_Retrieve", 120, 114, kGoOnlineRetrieve,
                         "ID 1: the file has a Nerex48, the unit is a Nerex24"},
        ChannelCountCase{"Nerex24_Nerex48_Send", 114, 120, kGoOnlineSend,
                         "ID 1: the file has a Nerex24, the unit is a Nerex48"},
        ChannelCountCase{"Nerex24_Nerex48_Retrieve", 114, 120, kGoOnlineRetrieve,
                         "ID 1: the file has a Nerex24, the unit is a Nerex48"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file holding IDs that the frames cannot carry, a Zel-1 at 189 (it would go out as 61) and a
// Nerex48 at 256 (the processors' frames carry the ID's low byte, here 0, the address of every
// unit of the model), and a Torvex48 at 556 beside a Nerex48 at 300 (both go out as 0x2C): going online
// names them in one message and in the log and polls none, so that the units at 61 and at 300
// hear nothing meant for another; the Nerex48 at 300, a long ID, is read out, and the log names its
// clash with the unit at 556. The ID row refuses such an ID in the same words and takes one the
// frames carry.
TEST_F(UnitsOnlineTest, IdsTheFramesCannotCarryAreNamedAtGoingOnlineNeverPolledAndRefusedInThePane) {
  CSimZelAmpUnit* at61 = nullptr;
  CSimProcessorUnit* at300 = nullptr;
  StartBus(kPort, [&](CSimBus& units) {
    at61 = units.Add<CSimZelAmpUnit>(Zel(56, 61));
    units.Add<CSimProcessorUnit>(120, 4);
    at300 = units.Add<CSimProcessorUnit>(120, 300);
  });
  at300->SetDeviceName("Long");
  CSystem& system = MakeFrame().GetSystem();
  CDevice* zel = Append(system, 189, 56);
  NameDevice(zel, "Stage Amp");
  CDevice* zero = Append(system, 256, 120);
  CDevice* long300 = Append(system, 300, 120);
  CDevice* long556 = Append(system, 556, 121);
  CDevice* own = Append(system, 4, 120);
  prompts.goOnlineChoice = 0;
  frame->RunCommand(Cmd::kOnline);
  ASSERT_TRUE(frame->IsOnline());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text,
            "These 2 units have IDs that their frames cannot carry: they would reach other units. Nothing is sent to "
            "them or read from them until each has an ID they carry.\n\nZel-1 Stage Amp ID: 189 - Device ID 189 "
            "would address ID 61 - each byte of the ID must be 0 to 127\nNerex48 ID: 256 - Device ID 256 would "
            "address every unit of its model\n\nThis unit is reached by the "
            "frames of a unit before it in the file: it would take what that unit is sent. Nothing is sent to it or "
            "read from it until it has an ID of its own, and while it is on the line the unit before it does not "
            "connect: their answers garble each other.\n\nTorvex48 ID: 556 - same frames as Nerex48 ID: 300");
  EXPECT_TRUE(WaitFor([&] {
    return LogHas("Left out until it has an ID its frames carry: Zel-1 Stage Amp ID: 189 - Device ID 189 would "
                  "address ID 61 - each byte of the ID must be 0 to 127") &&
           LogHas("Left out until it has an ID its frames carry: Nerex48 ID: 256 - Device ID 256 would address "
                  "every unit of its model") &&
           LogHas("Left out: Torvex48 ID: 556 - its frames would also reach Nerex48 ID: 300") &&
           LogHas("Address clash: Nerex48 ID: 300 - its frames are also answered by Torvex48 ID: 556 (left out)");
  }));
  ASSERT_TRUE(WaitFor([&] { return own->IsConnected() && long300->IsConnected(); }, 60000));
  ASSERT_TRUE(WaitFor([&] { return long300->GetName() == "Long"; }, 60000));
  Settle();
  // Only the units at 4 and at 300 (0x2C) are asked anything, and only in the Nerex48's frames.
  std::vector<Frame> toOthers;
  for (const Frame& f : DecodeBusFrames(bus->Requests()))
    if (f.id != 4 && !(f.id == 0x2C && (f.type == 120 || f.identification)) && f.command != 0) toOthers.push_back(f);
  EXPECT_TRUE(toOthers.empty()) << Describe(toOthers);
  EXPECT_FALSE(zel->IsConnected());
  EXPECT_FALSE(zero->IsConnected());
  EXPECT_FALSE(long556->IsConnected());
  EXPECT_TRUE(long556->AddressRules().IsLeftOut());

  // The pane: a processor ID whose frames would reach the unit at 300 is refused.
  TypeInPane(long556, "ID", "44");
  EXPECT_EQ(long556->GetDeviceId(), 556u);
  EXPECT_EQ(frame->GetPropertiesPane().GetGrid().GetErrorTipText(),
            "Device ID 44 would also address Nerex48 Long ID: 300");

  // The pane: 190 (it would go out as 62) is refused in the same words; 61 is taken, and the
  // unit there is read.
  TypeInPane(zel, "ID", "190");
  CDevicePropertiesCtrl& grid = frame->GetPropertiesPane().GetGrid();
  EXPECT_EQ(zel->GetDeviceId(), 189u);
  ASSERT_TRUE(grid.IsErrorTipVisible());
  EXPECT_EQ(grid.GetErrorTipText(), "Device ID 190 would address ID 62 - each byte of the ID must be 0 to 127");
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    frame->GetPropertiesPane().grab().save(folder + "/pane-zel-id-refused.png");
    for (QWidget* w : grid.findChildren<QWidget*>())
      if (w->isWindow() && w->isVisible()) w->grab().save(folder + "/pane-zel-id-refused-tip.png");
  }
  TypeInPane(zel, "ID", "61");
  EXPECT_EQ(zel->GetDeviceId(), 61u);
  ASSERT_TRUE(WaitFor([&] { return zel->IsConnected(); }, 60000));
  EXPECT_GT(at61->ReadCount(0x3C), 0u);
}

// A device taken up again while online, in a session whose choice was made at the "Ask"
// question: the unit gets the file's settings in a "Send" session, as at going online, and the
// file keeps them; in a "Retrieve" session the unit is read into the file and nothing is written.
struct TakeUpCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t session;
};

class TakeUpInASessionTest : public UnitsOnlineTest, public ::testing::WithParamInterface<TakeUpCase> {
 protected:
  bool IsProcessor() const { return GetParam().type >= 110; }
  // The unit at ID 12, holding a gain of its own, and the file with a device of its model at
  // id, named "Front of House", holding another; online in the session the case names, chosen
  // at the question.
  void GoOnlineWithTheUnitAt12(std::uint32_t id) {
    const TakeUpCase& c = GetParam();
    StartBus(kPort, [&](CSimBus& units) {
      if (IsProcessor()) {
        nerexUnit = units.Add<CSimProcessorUnit>(int(c.type), 12);
      } else {
        zelUnit = units.Add<CSimZelAmpUnit>(Zel(std::uint8_t(c.type), 12));
      }
    });
    SetUnitGain(0);
    CSystem& system = MakeFrame().GetSystem();
    system.Settings().SetOnGoOnline(kGoOnlineAsk);
    device = Append(system, id, c.type);
    NameDevice(device, "Front of House");
    ModelChange(device, CParamValue(IsProcessor() ? kProcessorGainA : kAmpGain1, -6.0f, ParamKind::kLevel));
    filesGain = FileGain();
    ASSERT_NE(filesGain, UnitGain());
    prompts.goOnlineChoice = c.session;
    frame->RunCommand(Cmd::kOnline);
    ASSERT_TRUE(frame->IsOnline());
  }
  // A gain of the unit's own, changed at the unit: one of three that the file never holds.
  void SetUnitGain(int which) {
    if (IsProcessor()) {
      SetGainA(*nerexUnit, std::int16_t(-200 - 50 * which));
    } else {
      zelUnit->Update([&](SimZelAmpState& s) { s.gainIndex[0] = std::uint8_t(30 - 5 * which); });
    }
  }
  int FileGain() {
    CSingleLock lock(frame->GetSystem().GetLock());
    return IsProcessor() ? GainA(*static_cast<CNerexSeriesDevice*>(device))
                         : int(static_cast<CZelSeriesDevice*>(device)->GetGainIndex(0));
  }
  int UnitGain() const { return IsProcessor() ? GainA(*nerexUnit) : int(zelUnit->State().gainIndex[0]); }
  bool ReadOut() const {
    if (!device->IsConnected()) return false;
    if (IsProcessor()) return static_cast<CNerexSeriesDevice*>(device)->AllBlocksReceived();
    return static_cast<CZelSeriesDevice*>(device)->IsReadOutComplete();
  }
  // What the session did from request before on: the file's settings sent to ID 12 and kept, or
  // the unit's gain read into the file with nothing written.
  void ExpectTakenUpAsTheSessionChose(std::size_t before) {
    ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
    Settle();
    const int unitsGain = UnitGain();
    const std::vector<Frame> writes = Writes(before);
    if (GetParam().session == kGoOnlineSend) {
      ASSERT_FALSE(writes.empty());
      for (const Frame& f : writes) EXPECT_EQ(f.id, 12u) << Describe({f});
      if (IsProcessor()) {
        // The presets, the current settings and the names, as at going online.
        auto sent = [&](int command) {
          return std::any_of(writes.begin(), writes.end(), [&](const Frame& f) { return f.command == command; });
        };
        EXPECT_TRUE(sent(0x1E) && sent(0x1A) && sent(0x1F) && sent(0x23)) << Describe(writes);
        EXPECT_EQ(device->GetName(), "Front of House");
        EXPECT_EQ(nerexUnit->DeviceName(), "Front of House");
      }
      EXPECT_EQ(FileGain(), filesGain);
      EXPECT_EQ(unitsGain, filesGain);
    } else {
      EXPECT_TRUE(writes.empty()) << Describe(writes);
      EXPECT_NE(unitsGain, filesGain);
      EXPECT_EQ(FileGain(), unitsGain);
      if (IsProcessor()) {
        EXPECT_EQ(device->GetName(), "Sim Processor");
      }
    }
  }
  // "Ignore Device When Online" from the device's menu in the rack, ticked while the device is
  // ignored: chosen, or whether it is ticked.
  void ChooseIgnoreDevice() { IgnoreDeviceItem(true); }
  bool IgnoreDeviceTicked() { return IgnoreDeviceItem(false); }
  bool IgnoreDeviceItem(bool choose) {
    std::unique_ptr<QMenu> menu(frame->GetDeviceView().BuildContextMenu(device));
    QAction* ignore = nullptr;
    for (QAction* a : menu->actions())
      if (a->text() == "Ignore Device When Online") ignore = a;
    EXPECT_NE(ignore, nullptr);
    if (!ignore) return false;
    if (choose) ignore->trigger();
    ProcessEvents();
    return ignore->isChecked();
  }

  CSimProcessorUnit* nerexUnit = nullptr;
  CSimZelAmpUnit* zelUnit = nullptr;
  CDevice* device = nullptr;
  int filesGain = 0;
};

// A device that could not connect at its ID is given its unit's ID in the pane while online.
TEST_P(TakeUpInASessionTest, TheUnitAtANewIdIsTakenUpAsAtGoingOnline) {
  GoOnlineWithTheUnitAt12(1);
  ASSERT_TRUE(WaitFor([&] { return LogHas("Cannot connect to " + device->GetModelName() + " Front of House ID 1"); }, 60000));
  const std::size_t before = bus->RequestCount();
  TypeInPane(device, "ID", "12");
  ASSERT_EQ(device->GetDeviceId(), 12u);
  ExpectTakenUpAsTheSessionChose(before);
}

// A device ignored while online, whose unit is changed at its front meanwhile, is taken up with
// the session's choice when "Ignore Device When Online" is turned off: neither the "Ask" setting
// nor the other choice set in the options during the session decides it. The pane follows the
// device as it is ignored, and the menu item is ticked while it is.
TEST_P(TakeUpInASessionTest, TurningIgnoreOffTakesTheUnitUpAsTheSessionChose) {
  GoOnlineWithTheUnitAt12(12);
  ASSERT_TRUE(WaitFor([&] { return ReadOut(); }, 60000));
  Settle();
  ChooseDevice(device);
  EXPECT_FALSE(PaneIdEditable());
  const std::uint32_t other = GetParam().session == kGoOnlineSend ? kGoOnlineRetrieve : kGoOnlineSend;
  for (const std::uint32_t setting : {std::uint32_t(kGoOnlineAsk), other}) {
    SCOPED_TRACE(setting);
    frame->GetSystem().Settings().SetOnGoOnline(setting);
    ChooseIgnoreDevice();
    ASSERT_TRUE(device->IsIgnored());
    EXPECT_TRUE(IgnoreDeviceTicked());
    EXPECT_FALSE(device->IsConnected());
    // The pane shows the device as one whose unit is not connected: its ID can be set.
    EXPECT_TRUE(PaneIdEditable());
    SetUnitGain(setting == kGoOnlineAsk ? 1 : 2);
    const std::size_t before = bus->RequestCount();
    ChooseIgnoreDevice();
    ASSERT_FALSE(device->IsIgnored());
    EXPECT_FALSE(IgnoreDeviceTicked());
    ExpectTakenUpAsTheSessionChose(before);
  }
  frame->GetSystem().Settings().SetOnGoOnline(kGoOnlineAsk);
}

INSTANTIATE_TEST_SUITE_P(Sessions, TakeUpInASessionTest,
                         ::testing::Values(TakeUpCase{"Nerex48_Send", 120, kGoOnlineSend},
                                           TakeUpCase{"Nerex48_Retrieve", 120, kGoOnlineRetrieve},
                                           TakeUpCase{"Zel3_Send", 52, kGoOnlineSend},
                                           TakeUpCase{"Zel3_Retrieve", 52, kGoOnlineRetrieve}),
                         [](const auto& info) { return std::string(info.param.name); });
