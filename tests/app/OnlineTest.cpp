// Going online and offline through the frame's commands against the simulated bus, served on a
// pseudo-terminal that is linked as a COM port.
#include <QAction>

#include "app/CommandIds.h"
#include "core/model/Device.h"
#include "core/model/DeviceProperty.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/SettingsStore.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FileTestDevices.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimDiscoveryUnit.h"
#include "tools/devsim/SimProcessor.h"
#include "ui/DevicePropertiesPane.h"
#include "ui/OutputWnd.h"

namespace {

constexpr std::uint32_t kComPort = 7;
constexpr std::uint32_t kUnitId = 5;

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

  bool LogHas(const QString& text) {
    COutputList& list = frame->GetOutputPane().GetLogList();
    for (int i = 0; i < list.count(); ++i) {
      if (list.item(i)->text().endsWith(text)) return true;
    }
    return false;
  }
};

// A processor of the file (named "P1" there) and its unit (named "Main PA"), or no unit at all.
class ProcessorOnlineTest : public SimBusFrameTest {
 protected:
  static constexpr std::uint8_t kProcessorId = 3;

  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterProcessorFamily();
  }
  void StartProcessorBus(bool withUnit) {
    StartBus(kComPort, [withUnit](CSimBus& units) {
      if (!withUnit) return;
      CSimProcessorUnit* unit = units.Add<CSimProcessorUnit>(120, kProcessorId);
      unit->SetDeviceName("Main PA");
      unit->SetFirmware("1.31");
    });
  }
  CDevice* AddFileProcessor(CSystem& system) {
    CDevice* device = system.CreateDevice(kProcessorId, 120, 0);
    device->SetName("P1");
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

}  // namespace

TEST_F(ProcessorOnlineTest, SelectedUnitReadOutAfterGoingOnlineShowsItsNameAndFirmwareInTheProperties) {
  StartProcessorBus(true);
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
  StartProcessorBus(false);  // nothing answers: every request waits out its time-out
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddFileProcessor(system);
  // Every transaction lasts seconds, and the wait for the worker is far shorter than that.
  system.GetComms().GetTransport().SetExtraTimeout(1500);
  system.GetComms().SetIdleWaitForTests(50);
  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  const std::size_t before = bus->RequestCount();
  ASSERT_TRUE(WaitFor([&] { return bus->RequestCount() > before; }, 10000));

  f.RunCommand(Cmd::kOnline);
  EXPECT_TRUE(f.IsOnline());
  EXPECT_TRUE(system.IsPortOpen());
  f.UpdateCommandUI();
  EXPECT_EQ(f.GetCommand(Cmd::kOnline)->text(), "Go Offline");

  // The request stayed raised: the worker goes idle once its transaction has ended, and then
  // Go Offline closes the port.
  ASSERT_TRUE(WaitFor([&] { return system.GetComms().GetWorkerState() == kWorkerIdle; }, 20000));
  f.RunCommand(Cmd::kOnline);
  EXPECT_FALSE(f.IsOnline());
  EXPECT_FALSE(system.IsPortOpen());
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

TEST_F(OnlineTest, Online_PortThatDoesNotOpenShowsTheErrorAndStaysOffline) {
  CSettingsStore::WriteInt("Settings", "ComPort", 31);  // nothing linked there
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(system.CreateDevice(kUnitId, CFileTestDevice::kPlainType, 0));
  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  EXPECT_FALSE(f.IsOnline());
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].caption, "Online Error");
  EXPECT_EQ(prompts.messages[0].text, "Failed to connect - check comms settings");
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
  f.OnGlobalMute();  // offline: nothing
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
