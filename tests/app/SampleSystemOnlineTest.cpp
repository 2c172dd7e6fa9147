// The sample system against the simulator started with the sample's own options, on a
// pseudo-terminal linked as a COM port: the file opens, goes online and every unit connects.
#include <algorithm>
#include <string>

#include "app/CommandIds.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "custom/CustomControls.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/Sync.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/app/FrameFixture.h"
#include "tests/app/SampleSystem.h"
#include "tools/devsim/SimOptions.h"

namespace {

constexpr std::uint32_t kSamplePort = 9;

// Going online retrieves the units' settings (0) or sends the file's (1).
class SampleSystemOnlineTest : public SimBusFrameTest, public ::testing::WithParamInterface<std::uint32_t> {
 protected:
  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    RegisterCustomControls();
    SimOptions options;
    ASSERT_TRUE(ParseSimOptions(SplitSimOptions(kSampleSystemSimulatorOptions), options));
    StartBus(kSamplePort, [&](CSimBus& units) {
      EXPECT_EQ(AddSimUnits(options, units), std::size_t(kSampleSystemUnitCount));
      units.SetPacing(options.baud);
    });
  }
};

}  // namespace

TEST_P(SampleSystemOnlineTest, EveryUnitOfTheSampleSystemConnects) {
  const std::string path = PathOf("sample.ovd");
  {
    CSystem sample;
    ASSERT_TRUE(BuildSampleSystem(sample));
    ASSERT_TRUE(sample.File().SaveFile(path));
  }
  CFrameUnderTest& f = MakeFrame();
  ASSERT_TRUE(f.Files().OpenFilePath(path));
  CSystem& system = f.GetSystem();
  ASSERT_EQ(system.GetDeviceCount(), kSampleSystemUnitCount);

  prompts.goOnlineOk = true;
  prompts.goOnlineChoice = GetParam();
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  auto unconnected = [&] {
    std::string names;
    for (CDevice* device : system.GetDevices())
      if (!device->IsConnected()) names += " " + device->GetDisplayName();
    return names;
  };
  EXPECT_TRUE(WaitFor([&] { return unconnected().empty(); }, 60000)) << "not connected:" << unconnected();
  // The processors beside Zel units at short IDs told their firmware when read out: their
  // identification requests were answered.
  for (CDevice* device : GetParam() == 0 ? system.GetDevices() : std::vector<CDevice*>{}) {
    if (device->GetTypeCode() < 34 || device->GetTypeCode() > 56) {
      EXPECT_FALSE(device->GetFirmwareVersion().empty()) << device->GetDisplayName();
    }
  }
  // The amplifiers' alarm threshold is one the units take: "Send" writes the sample's, and no
  // unit raises its temperature alarm at the simulated 35 degrees C.
  auto thresholdsWritten = [&] {
    std::vector<int> written;
    for (const SimBytes& request : bus->Requests()) {
      const bool amplifier = request.size() > 3 && request[3] >= 51 && request[3] <= 56;
      if (amplifier && request.size() == 12 && request[9] == kZelCmdAlarmTemperature) written.push_back(request[10]);
    }
    return written;
  };
  const std::vector<int> sent = GetParam() == 1 ? std::vector<int>(3, kSampleAlarmTemperature) : std::vector<int>{};
  // The writes queued at going online leave one a turn, some after the units connected.
  EXPECT_TRUE(WaitFor([&] {
    const std::vector<CDevice*> devices = system.GetDevices();
    return thresholdsWritten().size() == sent.size() &&
           std::all_of(devices.begin(), devices.end(), [](CDevice* d) { return d->Queue().GetQueueSize() == 0; });
  }, 20000));
  EXPECT_EQ(thresholdsWritten(), sent);
  for (CDevice* device : system.GetDevices()) {
    auto* amplifier = dynamic_cast<CZelSeriesDevice*>(device);
    if (!amplifier) continue;
    EXPECT_TRUE(WaitFor([&] {
      CSingleLock lock(system.GetLock());
      return (amplifier->GetHaveRead() & kZelReadTemperature) != 0;
    }));
    CSingleLock lock(system.GetLock());
    EXPECT_EQ(amplifier->GetAlarmTemperature(), kSampleAlarmTemperature) << device->GetDisplayName();
    EXPECT_EQ(amplifier->GetWarningBits() & (kZelWarnTemperatureHardware | kZelWarnTemperatureSoftware), 0u)
        << device->GetDisplayName();
  }
  f.RunCommand(Cmd::kOnline);
  EXPECT_FALSE(f.IsOnline());
}

INSTANTIATE_TEST_SUITE_P(GoOnline, SampleSystemOnlineTest, ::testing::Values(0u, 1u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                           return std::string(info.param == 0 ? "Retrieve" : "Send");
                         });
