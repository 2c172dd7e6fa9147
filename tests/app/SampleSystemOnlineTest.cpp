// The sample system against the simulator started with the sample's own options, on a
// pseudo-terminal linked as a COM port: the file opens, goes online and every unit connects.
#include <string>

#include "app/CommandIds.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "custom/CustomControls.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/app/FrameFixture.h"
#include "tests/app/SampleSystem.h"
#include "tools/devsim/SimOptions.h"

namespace {

constexpr std::uint32_t kSamplePort = 9;

class SampleSystemOnlineTest : public SimBusFrameTest {
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

TEST_F(SampleSystemOnlineTest, EveryUnitOfTheSampleSystemConnects) {
  const std::string path = PathOf("sample.ovd");
  {
    CSystem sample;
    ASSERT_TRUE(BuildSampleSystem(sample));
    ASSERT_TRUE(sample.SaveFile(path));
  }
  CFrameUnderTest& f = MakeFrame();
  ASSERT_TRUE(f.OpenFilePath(path));
  CSystem& system = f.GetSystem();
  ASSERT_EQ(system.GetDeviceCount(), kSampleSystemUnitCount);

  prompts.goOnlineOk = true;
  prompts.goOnlineChoice = 0;  // the units' settings into the file
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  auto unconnected = [&] {
    std::string names;
    for (CDevice* device : system.GetDevices())
      if (!device->IsConnected()) names += " " + device->GetDisplayName();
    return names;
  };
  EXPECT_TRUE(WaitFor([&] { return unconnected().empty(); }, 60000)) << "not connected:" << unconnected();
  // The processors beside Zel units at short IDs told their firmware: their identification
  // requests were answered.
  for (CDevice* device : system.GetDevices()) {
    if (device->GetTypeCode() < 34 || device->GetTypeCode() > 56) {
      EXPECT_FALSE(device->GetFirmwareVersion().empty()) << device->GetDisplayName();
    }
  }
  f.RunCommand(Cmd::kOnline);
  EXPECT_FALSE(f.IsOnline());
}
