// A Nerex48 found by an autoscan through the frame's commands, against the simulated unit on a
// pseudo-terminal linked as a COM port: its panel opens from the rack, shows the unit's values
// and its meters move with the unit's readings on the 20 ms tick.
#include <QImage>
#include <array>
#include <cstdlib>

#include "app/CommandIds.h"
#include "core/comms/CommsWorker.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/processor/NerexControlPanel.h"
#include "panels/PanelClasses.h"
#include "panels/framework/TextControl.h"
#include "tests/app/FrameFixture.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimProcessor.h"

namespace {

constexpr std::uint32_t kNerexPanelPort = 8;
constexpr std::uint8_t kUnitId = 3;

class NerexPanelOnlineTest : public SimBusFrameTest {
 protected:
  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterProcessorFamily();
    RegisterDevicePanelClasses();
    StartBus(kNerexPanelPort, [this](CSimBus& units) {
      unit = units.Add<CSimProcessorUnit>(120, kUnitId);
      CNerexSeriesMemory image = unit->Current();
      image.inputs.gains[3] = -60;
      image.outputs.names[0] = MakeChannelName("Sub L");
      unit->SetCurrent(image);
      unit->SetDeviceName("Main PA");
    });
  }

  CSimProcessorUnit* unit = nullptr;
};

}  // namespace

TEST_F(NerexPanelOnlineTest, FoundUnitOpensItsPanelWithItsValuesAndMovingMeters) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.GetComms().Discovery().SetScanRangeForTests(kUnitId + 1, 0);
  f.RunCommand(Cmd::kAutoscan);
  ASSERT_TRUE(f.IsOnline());
  ASSERT_TRUE(WaitFor([&] { return system.GetDeviceCount() == 1; }, 10000));
  auto* device = dynamic_cast<CNerexSeriesDevice*>(system.GetDevice(0));
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(WaitFor([&] { return device->AllBlocksReceived(); }, 20000));

  // What a double-click on its tile posts.
  PostAbout(f, FrameMsg::kOpenDevicePanel, device);
  ProcessEvents();
  auto* panel = dynamic_cast<CNerexControlPanel*>(device->GetControlPanel());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(WaitFor([&] { return panel->GetDeviceNameText()->GetText() == "Main PA"; }));
  EXPECT_NEAR(panel->GetInputFader(3)->GetValue(), -6.0f, 0.01f);
  EXPECT_EQ(panel->GetOutputName(0)->GetText(), "Sub L");

  std::array<std::uint8_t, 32> meters{};
  meters.fill(49);      // -40 dB
  meters[1] = 12;       // input B at -3 dB
  meters[4 + 2] = 29;   // output 3 at -20 dB
  unit->SetMeterBytes(meters);
  ASSERT_TRUE(WaitFor([&] { return panel->GetInputMeter(1)->GetLevel() == -3; }, 10000));
  EXPECT_TRUE(WaitFor([&] { return panel->GetOutputMeter(2)->GetLevel() == -20; }));
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    f.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/frame-online-nerex48.png"));

  f.RunCommand(Cmd::kOnline);  // offline: the meters fall to the floor
  EXPECT_FALSE(f.IsOnline());
  EXPECT_TRUE(WaitFor([&] { return panel->GetInputMeter(1)->GetLevel() == -40; }));
}
