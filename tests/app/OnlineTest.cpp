// Going online and offline through the frame's commands against the simulated bus, served on a
// pseudo-terminal that is linked as a COM port.
#include <QAction>
#include <QLineEdit>

#include "app/CommandIds.h"
#include "core/comms/CommsWorker.h"
#include "core/model/Device.h"
#include "core/model/DeviceProperty.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/SettingsStore.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/ModelChanges.h"
#include "tools/devsim/SimAnswerGate.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimDiscoveryUnit.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"
#include "panels/PanelClasses.h"
#include "panels/amplifier/ZelBreakControlPanel.h"
#include "panels/framework/BitmapObject.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/DeviceView.h"
#include "ui/LiveMeterView.h"
#include "ui/OutputWnd.h"
#include "ui/RackCommon.h"

namespace {

constexpr std::uint32_t kComPort = 7;
constexpr std::uint32_t kUnitId = 5;

// Whether a line of the frame's log holds the text.
bool LogHolds(CFrameUnderTest& f, const QString& text) {
  COutputList& list = f.GetOutputPane().GetLogList();
  for (int i = 0; i < list.count(); ++i) {
    if (list.item(i)->text().contains(text)) return true;
  }
  return false;
}

class OnlineTest : public SimBusFrameTest {
 protected:
  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterFileTestDevices();
    StartBus(kComPort, [](CSimBus& units) {
      SimDiscoveryConfig unit;
      unit.typeCode = std::uint8_t(CFileTestDevice::kPlainType);
      unit.shortId = kUnitId;
      units.Add<CSimDiscoveryUnit>(unit);
    });
  }

  bool LogHas(const QString& text) { return LogHolds(*frame, text); }
};

// A processor of the file (named "P1" there) and its unit (named "Main PA").
class ProcessorOnlineTest : public SimBusFrameTest {
 protected:
  static constexpr std::uint8_t kProcessorId = 3;

  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterProcessorFamily();
  }
  void StartProcessorBus() {
    StartBus(kComPort, [](CSimBus& units) {
      CSimProcessorUnit* unit = units.Add<CSimProcessorUnit>(120, kProcessorId);
      unit->SetDeviceName("Main PA");
      unit->SetFirmware("1.31");
    });
  }
  CDevice* AddFileProcessor(CSystem& system) {
    CDevice* device = system.CreateDevice(kProcessorId, 120, 0);
    NameDevice(device, "P1");
    system.AppendDevice(device);
    system.GetZones()[0]->AppendDevice(device);
    system.SetSelectedDevice(0);
    return device;
  }
  std::string ShownText(const char* row) {
    const CDeviceProperty* property = frame->GetPropertiesPane().GetGrid().FindRow(row);
    return property ? property->GetText() : std::string("(no row)");
  }
};

// A Zel-3 amplifier (ID 2, its alarm threshold at 80) and an XB-16 breakout box (ID 11) on the
// simulated bus, online, their rows edited through the properties pane as a user types.
class ZelOnlineTest : public SimBusFrameTest {
 protected:
  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterAmplifierFamilies();
    StartBus(kComPort, [this](CSimBus& units) {
      SimSecurityConfig ampConfig;
      ampConfig.typeCode = 52;
      ampConfig.deviceId = 2;
      ampUnit = units.Add<CSimZelAmpUnit>(ampConfig);
      SimSecurityConfig boxConfig;
      boxConfig.typeCode = 41;
      boxConfig.deviceId = 11;
      boxUnit = units.Add<CSimZelBreakUnit>(boxConfig);
    });
    CFrameUnderTest& f = MakeFrame();
    CSystem& system = f.GetSystem();
    amp = static_cast<CZelSeriesDevice*>(system.CreateDevice(2, 52, 0));
    box = static_cast<CZelBreakDevice*>(system.CreateDevice(11, 41, 0));
    for (CDevice* device : {static_cast<CDevice*>(amp), static_cast<CDevice*>(box)}) {
      system.AppendDevice(device);
      system.GetZones()[0]->AppendDevice(device);
    }
    prompts.goOnlineChoice = 0;  // the units' settings into the file
    f.RunCommand(Cmd::kOnline);
    ASSERT_TRUE(f.IsOnline());
    ASSERT_TRUE(WaitFor(
        [&] {
          return amp->IsConnected() && amp->IsReadOutComplete() && box->IsConnected() && box->IsReadOutComplete();
        },
        20000));
  }

  CDevicePropertiesCtrl& Grid() { return frame->GetPropertiesPane().GetGrid(); }
  void Show(CDevice* device) {
    PostAbout(*frame, FrameMsg::kSelectDevice, device, 1);
    ProcessEvents();
    ASSERT_EQ(Grid().GetCurrentDevice(), device);
  }
  // Types text into the row's editor and presses Enter.
  void Type(const char* row, const std::string& text) { TypeIntoRow(Grid(), row, text); }
  std::string Shown(const char* row) { return Grid().ItemOf(Grid().FindRow(row))->text(1).toStdString(); }

  CSimZelAmpUnit* ampUnit = nullptr;
  CSimZelBreakUnit* boxUnit = nullptr;
  CZelSeriesDevice* amp = nullptr;
  CZelBreakDevice* box = nullptr;
};

}  // namespace

// A refused threshold leaves the row at the one the amplifier holds: 70, accepted and sent
// since the pane was filled with 80, not the 80 it was filled with.
TEST_F(ZelOnlineTest, ARefusedThresholdShowsTheThresholdTheAmplifierHolds) {
  Show(amp);
  EXPECT_EQ(Shown("Alarm Temp. Threshold"), "80");
  Type("Alarm Temp. Threshold", "70");
  ASSERT_TRUE(WaitFor([&] { return ampUnit->State().alarmTemperature == 70 && amp->GetAlarmTemperature() == 70; }));
  Type("Alarm Temp. Threshold", "999");
  EXPECT_EQ(Grid().GetErrorTipText(), "Temperature alarm threshold must be between 40 and 110");
  EXPECT_EQ(Shown("Alarm Temp. Threshold"), "70");
  Type("Alarm Temp. Threshold", "seventy");
  EXPECT_EQ(Grid().GetErrorTipText(), "\"seventy\" is not a number");
  EXPECT_EQ(Shown("Alarm Temp. Threshold"), "70");
  ProcessEvents();
  EXPECT_EQ(ampUnit->State().alarmTemperature, 70);
  EXPECT_EQ(amp->GetAlarmTemperature(), 70);
}

// Names typed in the pane reach amplifier and box as typed; one the units' fields cannot carry
// is refused with a message, and the row shows the name the unit holds.
TEST_F(ZelOnlineTest, NamesTypedInThePaneReachTheUnitsOrAreRefusedWithAMessage) {
  Show(amp);
  Type("Channel 1 Name", "Cello 20 (L)");
  Type("Amp Name", "C\xC3\xA9llo 20\xC2\xB0");
  EXPECT_EQ(Grid().GetErrorTipText(),
            QString::fromUtf8("Device name cannot contain \"\xC3\xA9\" - the unit takes ASCII characters only"));
  EXPECT_EQ(Shown("Amp Name"), "Sim Amplifier");
  Show(box);
  Type("Channel 2 Name", "Vox \xE2\x84\x96 2");
  EXPECT_EQ(Grid().GetErrorTipText(),
            QString::fromUtf8("Channel name cannot contain \"\xE2\x84\x96\" - the unit takes ASCII characters only"));
  EXPECT_EQ(Shown("Channel 2 Name"), "Input 2");
  Type("Device Name", "Stage Right ~#2");
  ASSERT_TRUE(WaitFor([&] {
    return ampUnit->State().channelNames[0] == "Cello 20 (L)" && boxUnit->State().name == "Stage Right ~#2";
  }));
  EXPECT_EQ(ampUnit->State().name, "Sim Amplifier");
  EXPECT_EQ(boxUnit->State().channelNames[1], "Input 2");
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    Type("Channel 2 Name", "Vox \xC3\xA4");
    frame->GetPropertiesPane().grab().save(folder + "/zel-name-refused.png");
    for (QWidget* w : Grid().findChildren<QWidget*>())
      if (w->isWindow() && w->isVisible()) w->grab().save(folder + "/zel-name-tip.png");
  }
}

// The amplifier's System Monitor column follows the temperature its unit reports: the
// thermometer, covered grey from the top down to the temperature, uncovers as the unit warms.
TEST_F(ZelOnlineTest, TheSystemMonitorThermometerFollowsTheTemperatureTheUnitReports) {
  frame->GetOutputPane().show();
  frame->GetOutputPane().GetTabs().setCurrentIndex(0);
  ProcessEvents();
  CLiveMeterView& meters = frame->GetOutputPane().GetLiveMeterView();
  meters.Redraw();
  ASSERT_TRUE(WaitFor([&] { return amp->GetTemperature() == 35 && meters.GetDeviceRect(amp) != CRect{}; }));
  // The column's middle at the 50 degree mark: covered at 35, bare at 65.
  const CRect tile = meters.GetDeviceRect(amp);
  const int h = tile.Height() - 70;
  const int x = tile.left + 32, y = tile.top + 10 + int(40.0f / 90.0f * float(h));
  auto bare = [&] {
    const CColour c = meters.GetBackBuffer()->GetPixel(x, y);
    return c.R() > 150 && c.B() < 60;
  };
  ASSERT_TRUE(WaitFor([&] { return !bare(); }));
  ampUnit->Update([](SimZelAmpState& s) { s.temperature = 65; });
  ASSERT_TRUE(WaitFor([&] { return amp->GetTemperature() == 65; }, 20000));
  EXPECT_TRUE(WaitFor(bare, 2000));
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    meters.grab().save(folder + "/zel-monitor-65.png");
  ampUnit->Update([](SimZelAmpState& s) { s.temperature = 35; });
  EXPECT_TRUE(WaitFor([&] { return !bare(); }, 20000));
}

// The unit reports a load fault on channel 1 while its load monitoring is off; a window typed in
// the pane switches monitoring on under the standing fault: the alarm reaches the log and the
// rack's tooltip, and the window typed back to 0 clears it with its line.
TEST_F(ZelOnlineTest, AWindowTypedUnderAStandingLoadFaultRaisesItsAlarmAndClearsIt) {
  ampUnit->Update([](SimZelAmpState& s) { s.meters[8] = 0x01; });
  ASSERT_TRUE(WaitFor([&] { return amp->GetMeters().loadFaultBits == 0x01; }, 20000));
  EXPECT_FALSE(CZelLoadAlarms::IsCheck(amp->GetChannelLoad(0)));
  Show(amp);
  Type("Ch 1 Window", "20");
  ASSERT_TRUE(WaitFor([&] { return LogHolds(*frame, "Amplifier ID 2 Load Error on Channel 1"); }));
  // The log line and the tooltip's warning come from two messages of the same reply.
  EXPECT_TRUE(WaitFor([&] { return DeviceToolTip(*amp, true).contains("Load Alarm on Channel 1"); }));
  EXPECT_NE(amp->HasWarnings(), 0u);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    frame->GetDeviceView().GetRack().UpdateDevice(true);
    frame->GetOutputPane().GetLiveMeterView().UpdateDeviceMeters(true);
    ProcessEvents();
    frame->grab().save(folder + "/zel-load-alarm-frame.png");
  }
  Type("Ch 1 Window", "0");
  ASSERT_TRUE(WaitFor([&] { return LogHolds(*frame, "Amplifier ID 2 Load Error Cleared on Channel 1"); }));
  EXPECT_TRUE(WaitFor([&] { return !DeviceToolTip(*amp, true).contains("Load Alarm"); }));
  EXPECT_TRUE(WaitFor([&] { return ampUnit->State().impedanceWindow[0] == 0; }));
}

// The box reports its network lost and an alarm: its open panel's Network LED goes out, the log
// says so, the rack tile's LED turns yellow and its tooltip names both; then all is well again.
TEST_F(ZelOnlineTest, ABreakoutBoxAlarmAndItsNetworkReachThePanelTheLogAndTheRack) {
  RegisterDevicePanelClasses();
  PostAbout(*frame, FrameMsg::kOpenDevicePanel, box);
  ProcessEvents();
  auto* panel = dynamic_cast<CZelBreakControlPanel*>(box->GetControlPanel());
  ASSERT_NE(panel, nullptr);
  CBitmapLED* network = nullptr;
  for (CControlObject* control : panel->GetControls())
    if (control->GetId() == kBreakParamNetworkActive) network = dynamic_cast<CBitmapLED*>(control);
  ASSERT_NE(network, nullptr);
  ASSERT_TRUE(WaitFor([&] { return network->IsLit(); }));
  // The tile's LED, drawn in the phase that shows it: green, yellow with a warning.
  auto tileLed = [&] {
    CImage image(240, 23);
    image.Fill(CColour{0xFF202020u});
    Graphics g(image);
    box->DrawTile(&g, CRect{0, 0, 240, 23}, 0);
    return image.GetPixel(240 - 25, 11);
  };
  EXPECT_LT(tileLed().R(), 90);

  boxUnit->Update([](SimZelBreakState& s) {
    s.networkActive = false;
    s.alarm = true;
  });
  ASSERT_TRUE(WaitFor([&] { return LogHolds(*frame, "Breakout Box ID 11 Alarm Active"); }, 20000));
  EXPECT_TRUE(WaitFor([&] { return !network->IsLit(); }));
  const QString tip = DeviceToolTip(*box, true);
  EXPECT_TRUE(tip.contains("Alarm Active")) << tip.toStdString();
  EXPECT_TRUE(tip.contains("Network Not Active")) << tip.toStdString();
  const CColour yellow = tileLed();
  EXPECT_TRUE(yellow.R() > 150 && yellow.G() > 150 && yellow.B() < 100);
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    panel->GetBackBuffer()->SavePng((folder + "/zel-box-panel-alarm.png").toStdString());
    frame->GetDeviceView().GetRack().UpdateDevice(true);  // the blink's phase that shows the LED
    ProcessEvents();
    frame->grab().save(folder + "/zel-box-alarm-frame.png");
  }

  boxUnit->Update([](SimZelBreakState& s) {
    s.networkActive = true;
    s.alarm = false;
  });
  ASSERT_TRUE(WaitFor([&] { return LogHolds(*frame, "Breakout Box ID 11 Alarm Cleared"); }, 20000));
  EXPECT_TRUE(WaitFor([&] { return network->IsLit(); }));
  EXPECT_TRUE(DeviceToolTip(*box, true).isEmpty());
  EXPECT_LT(tileLed().R(), 90);
}

TEST_F(ProcessorOnlineTest, SelectedUnitReadOutAfterGoingOnlineShowsItsNameAndFirmwareInTheProperties) {
  StartProcessorBus();
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  auto* device = dynamic_cast<CNerexSeriesDevice*>(AddFileProcessor(system));
  ASSERT_NE(device, nullptr);
  PostAbout(f, FrameMsg::kShowDeviceProps, device);
  ProcessEvents();
  ASSERT_EQ(ShownText("Name"), "P1");

  prompts.goOnlineChoice = 0;  // the unit's settings into the file
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  ASSERT_TRUE(WaitFor([&] { return device->AllBlocksReceived(); }, 20000));
  EXPECT_TRUE(WaitFor([&] { return ShownText("Name") == "Main PA"; })) << ShownText("Name");
  EXPECT_EQ(ShownText("Firmware Version"), "1.31");
}

TEST_F(ProcessorOnlineTest, GoingOfflineNeverClosesThePortUnderAWorkerThatHasNotGoneIdle) {
  // The unit's first answer is held until the test lets it go: the worker stays in that
  // transaction, its read waiting far longer than anything the test does meanwhile, and the
  // wait for the worker to go idle is far shorter than that.
  CSimAnswerGate* gate = nullptr;
  StartBus(kComPort, [&gate](CSimBus& units) {
    gate = units.Add<CSimAnswerGate>(std::make_unique<CSimProcessorUnit>(120, kProcessorId));
  });
  gate->HoldNextAnswer();
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddFileProcessor(system);
  system.GetComms().GetTransport().SetExtraTimeout(kLongReadWaitMs);
  system.GetComms().SetIdleWaitForTests(50);
  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  ASSERT_TRUE(gate->WaitUntilHolding());

  f.RunCommand(Cmd::kOnline);
  EXPECT_TRUE(f.IsOnline());
  EXPECT_TRUE(system.IsPortOpen());
  f.UpdateCommandUI();
  EXPECT_EQ(f.GetCommand(Cmd::kOnline)->text(), "Go Offline");

  // The request stayed raised: the worker goes idle once its transaction has ended, and then
  // Go Offline closes the port.
  gate->Release();
  ASSERT_TRUE(WaitFor([&] { return system.GetComms().GetWorkerState() == kWorkerIdle; }, 20000));
  // Going offline now waits for the idle worker to answer the request as the program does: on a
  // busy machine its turn may take longer than the short wait above.
  system.GetComms().SetIdleWaitForTests(kStopWaitMs);
  f.RunCommand(Cmd::kOnline);
  EXPECT_FALSE(f.IsOnline());
  EXPECT_FALSE(system.IsPortOpen());
}

// The line hangs up under a connected processor whose properties are shown: the frame goes
// offline and says so, the log names the port and why, and the pane shows the unit as offline
// (its ID editable again) without another device being chosen.
TEST_F(ProcessorOnlineTest, LineThatHangsUpEndsOnlineAndThePaneShowsTheUnitOffline) {
  StartProcessorBus();
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  auto* device = dynamic_cast<CNerexSeriesDevice*>(AddFileProcessor(system));
  ASSERT_NE(device, nullptr);
  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  ASSERT_TRUE(WaitFor([&] { return device->AllBlocksReceived() && device->IsConnected(); }, 20000));
  PostAbout(f, FrameMsg::kShowDeviceProps, device);
  ProcessEvents();
  CDevicePropertiesCtrl& grid = f.GetPropertiesPane().GetGrid();
  auto idLooksEditable = [&] {
    const CDeviceProperty* row = grid.FindRow("ID");
    return row && row->IsEnabled() &&
           grid.ItemOf(row)->foreground(0).color() != grid.palette().color(QPalette::Disabled, QPalette::Text);
  };
  ASSERT_TRUE(WaitFor([&] { return !idLooksEditable(); }));

  bus->Stop();
  dynamic_cast<CPtyWire&>(bus->Wire()).HangUp();
  ASSERT_TRUE(WaitFor([&] { return !prompts.messages.empty(); }, 20000));
  EXPECT_EQ(prompts.messages[0].text, "Fatal Comms Error - Going Offline");
  EXPECT_FALSE(f.IsOnline());
  EXPECT_TRUE(LogHolds(f, QString("Fatal Comms Error on COM%1 (").arg(kComPort)));
  EXPECT_TRUE(LogHolds(f, QStringLiteral("failed: ")));
  EXPECT_TRUE(idLooksEditable());
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
    f.GetPropertiesPane().grab().save(folder + "/fatal-comms-error-pane.png");
    COutputList& log = f.GetOutputPane().GetLogList();
    log.resize(900, 200);
    log.grab().save(folder + "/fatal-comms-error-log.png");
  }
}

TEST_F(OnlineTest, Autoscan_GoesOnlineFindsTheUnitShowsItAndGoesOffline) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.GetComms().Discovery().SetScanRangeForTests(kUnitId + 1, 0);
  EXPECT_FALSE(f.GetCommand(Cmd::kOnline)->isEnabled());  // no devices yet

  // "Ask" with an empty system goes online at once, without the question.
  f.RunCommand(Cmd::kAutoscan);
  EXPECT_EQ(prompts.goOnlineAsked, 0);
  ASSERT_TRUE(f.IsOnline());
  EXPECT_TRUE(system.IsPortOpen());

  ASSERT_TRUE(WaitFor([&] { return !system.GetZones()[0]->GetDevices().empty(); }));
  ASSERT_EQ(system.GetDeviceCount(), 1);
  CDevice* device = system.GetDevice(0);
  EXPECT_EQ(device->GetDeviceId(), kUnitId);
  EXPECT_EQ(device->GetTypeCode(), CFileTestDevice::kPlainType);
  EXPECT_EQ(system.GetZones()[0]->GetDevices()[0], device);
  EXPECT_EQ(system.GetSelectedDevice(), 0);
  EXPECT_EQ(f.GetPropertiesPane().GetGrid().GetCurrentDevice(), device);
  EXPECT_TRUE(system.IsModified());
  EXPECT_TRUE(WaitFor([&] { return LogHas("Going Online"); }));

  f.UpdateCommandUI();
  QAction* online = f.GetCommand(Cmd::kOnline);
  EXPECT_TRUE(online->isChecked());
  EXPECT_EQ(online->text(), "Go Offline");
  EXPECT_FALSE(f.GetCommand(Cmd::kFileNew)->isEnabled());
  EXPECT_FALSE(f.GetCommand(Cmd::kOptions)->isEnabled());
  EXPECT_TRUE(f.GetCommand(Cmd::kGlobalMute)->isEnabled());
  // The loader opens the port itself: never while the system holds it.
  f.RunCommand(Cmd::kLoader);
  EXPECT_EQ(prompts.loaderDialogs, 0);

  f.RunCommand(Cmd::kOnline);
  EXPECT_FALSE(f.IsOnline());
  EXPECT_FALSE(system.IsPortOpen());
  EXPECT_TRUE(WaitFor([&] { return LogHas("Going Offline"); }));
  EXPECT_EQ(f.GetCommand(Cmd::kOnline)->text(), "Go Online");
  EXPECT_GT(bus->RequestCount(), 0u);
  f.RunCommand(Cmd::kLoader);
  EXPECT_EQ(prompts.loaderDialogs, 1);
}

TEST_F(OnlineTest, Online_AsksWithDevicesAndCancelLeavesEverythingOffline) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(system.CreateDevice(kUnitId, CFileTestDevice::kPlainType, 0));

  prompts.goOnlineOk = false;
  f.RunCommand(Cmd::kOnline);
  EXPECT_EQ(prompts.goOnlineAsked, 1);
  EXPECT_FALSE(f.IsOnline());
  EXPECT_FALSE(system.IsPortOpen());
  EXPECT_FALSE(system.GetComms().NeedSecurityGet());

  // OK with "always" stores the choice: the next time nothing is asked.
  prompts.goOnlineOk = true;
  prompts.goOnlineChoice = 1;
  prompts.goOnlineAlways = true;
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  EXPECT_EQ(system.GetSettings().onGoOnline, 1u);
  EXPECT_EQ(CSettingsStore::GetInt("Settings", "OnGoOnline", 2), 1u);

  // The worker's "go offline" message takes the frame offline.
  f.PostMessage(FrameMsg::kGoOffline, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !f.IsOnline(); }));
  EXPECT_FALSE(system.IsPortOpen());
  f.RunCommand(Cmd::kOnline);
  EXPECT_EQ(prompts.goOnlineAsked, 2);
  EXPECT_TRUE(f.IsOnline());
}

// A choice that this version does not know in the settings (a later version's, or damage) asks, as
// the default does, and the log says why; the person's answer goes online.
TEST_F(OnlineTest, Online_AChoiceThisVersionDoesNotKnowAsksAndSaysWhy) {
  CSettingsStore::WriteInt("Settings", "OnGoOnline", 5);
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(system.CreateDevice(kUnitId, CFileTestDevice::kPlainType, 0));
  ASSERT_EQ(system.GetSettings().onGoOnline, 5u);

  prompts.goOnlineOk = false;
  f.RunCommand(Cmd::kOnline);
  EXPECT_EQ(prompts.goOnlineAsked, 1);
  EXPECT_FALSE(f.IsOnline());
  ProcessEvents();
  EXPECT_TRUE(LogHas("the setting OnGoOnline=5 is no choice this version knows - asking what to do"));

  prompts.goOnlineOk = true;
  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  EXPECT_EQ(prompts.goOnlineAsked, 2);
  EXPECT_TRUE(f.IsOnline());
  CSettingsStore::WriteInt("Settings", "OnGoOnline", 2);
}

TEST_F(OnlineTest, Online_PortThatDoesNotOpenShowsTheErrorAndStaysOffline) {
  CSettingsStore::WriteInt("Settings", "ComPort", 31);
  ASSERT_TRUE(LinkComPort(31, "/dev/orvak-no-such-port"));
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(system.CreateDevice(kUnitId, CFileTestDevice::kPlainType, 0));
  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  EXPECT_FALSE(f.IsOnline());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].caption, "Online Error");
  EXPECT_EQ(prompts.messages[0].text,
            "Failed to connect - check comms settings\n\nCOM31 (/dev/orvak-no-such-port): the device does not exist");
  EXPECT_FALSE(system.GetComms().NeedSecurityGet());
  EXPECT_EQ(system.GetComms().GetWorkerState(), kWorkerIdle);
}

TEST_F(OnlineTest, FatalCommsError_GoesOfflineFirstThenTellsTheUser) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(system.CreateDevice(kUnitId, CFileTestDevice::kPlainType, 0));
  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  system.GetComms().RequestIdle();  // as the worker does before it posts the error
  f.PostMessage(FrameMsg::kFatalCommsError, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return !prompts.messages.empty(); }));
  EXPECT_EQ(prompts.messages[0].text, "Fatal Comms Error - Going Offline");
  EXPECT_FALSE(f.IsOnline());
  EXPECT_FALSE(system.IsPortOpen());
}

TEST_F(OnlineTest, GlobalMute_OnlyOnlineAndOnlyAfterTheConfirmation) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(system.CreateDevice(kUnitId, CFileTestDevice::kPlainType, 0));
  f.UpdateCommandUI();
  EXPECT_FALSE(f.GetCommand(Cmd::kGlobalMute)->isEnabled());
  f.CommsCommands().OnGlobalMute();  // offline: nothing
  EXPECT_TRUE(prompts.confirms.empty());

  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  prompts.confirmOk = false;
  f.RunCommand(Cmd::kGlobalMute);
  EXPECT_EQ(prompts.confirms.size(), 1u);
  EXPECT_FALSE(system.IsGlobalMute());

  prompts.confirmOk = true;
  f.RunCommand(Cmd::kGlobalMute);
  EXPECT_TRUE(system.IsGlobalMute());
  EXPECT_TRUE(f.GetCommand(Cmd::kGlobalMute)->isChecked());
  const std::size_t before = bus->RequestCount();
  EXPECT_TRUE(WaitFor([&] { return bus->RequestCount() > before; }));  // the broadcast goes out

  f.RunCommand(Cmd::kGlobalMute);
  EXPECT_FALSE(system.IsGlobalMute());
  EXPECT_FALSE(f.GetCommand(Cmd::kGlobalMute)->isChecked());
}
