// Going online with Retrieve and offline again with units of each family on the
// simulated bus (a pseudo-terminal linked as a COM port): what the properties
// pane, the rack tiles, the System Monitor columns and an open panel show
// afterwards.
#include <cstdlib>

#include "app/CommandIds.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "panels/framework/BitmapObject.h"
#include "panels/PanelClasses.h"
#include "panels/amplifier/ZelSeriesControlPanel.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/FirmwareTableFile.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TileImages.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"
#include "ui/DevicePropertiesPane.h"

namespace {

constexpr std::uint32_t kLooksPort = 11;
constexpr CColour kBackground{0xFF202020u};

enum class Led { kRed, kGreen, kYellow, kOther };
std::ostream& operator<<(std::ostream& out, Led led) {
  const char* names[] = {"red", "green", "yellow", "other"};
  return out << names[int(led)];
}

Led LedAt(const CImage& image, int x, int y) {
  const CColour c = image.GetPixel(x, y);
  if (c.R() > 150 && c.G() > 150 && c.B() < 100) return Led::kYellow;
  if (c.R() > 150 && c.G() < 90) return Led::kRed;
  if (c.G() > 150 && c.R() < 90) return Led::kGreen;
  return Led::kOther;
}

class OfflineLooksTest : public SimBusFrameTest {
 protected:
  void SetUp() override {
    SimBusFrameTest::SetUp();
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    RegisterDevicePanelClasses();
    StartBus(kLooksPort, [](CSimBus& units) {
      units.Add<CSimProcessorUnit>(120, 1)->SetDeviceName("Sim Processor");
      units.Add<CSimProcessorUnit>(16, 4)->SetDeviceName("Sim Fennick");
      SimSecurityConfig amp;
      amp.typeCode = 52;
      amp.deviceId = 2;
      units.Add<CSimZelAmpUnit>(amp)->Update([](SimZelAmpState& s) {
        s.name = "Sim Amplifier";
        s.limitBits = 0x0E;  // channel A limiting
        s.meters[0] = 40;    // its output at 240 / 6 V: every level light on
      });
      SimSecurityConfig box;
      box.typeCode = 40;
      box.deviceId = 3;
      units.Add<CSimZelBreakUnit>(box)->Update([](SimZelBreakState& s) { s.name = "Sim Box"; });
    });
  }

  // The file's units, named as the file names them, the first one selected.
  void AddUnits(CSystem& system) {
    const std::pair<std::uint32_t, std::uint32_t> units[] = {{1, 120}, {4, 16}, {2, 52}, {3, 40}};
    for (auto [id, type] : units) {
      CDevice* d = system.CreateDevice(id, type, 0);
      NameDevice(d, "File " + std::to_string(id));
      system.AppendDevice(d);
      system.GetZones()[0]->AppendDevice(d);
    }
    system.SetSelectedDevice(0);
  }

  // Goes online with Retrieve and waits until every unit is read out.
  bool GoOnlineAndReadOut(CFrameUnderTest& f) {
    prompts.goOnlineChoice = 0;
    f.RunCommand(Cmd::kOnline);
    if (!f.IsOnline()) return false;
    CSystem& system = f.GetSystem();
    return WaitFor(
        [&] {
          for (CDevice* d : system.GetDevices()) {
            if (auto* p = dynamic_cast<CNerexSeriesDevice*>(d); p && !p->AllBlocksReceived()) return false;
            if (auto* a = dynamic_cast<CZelSeriesDevice*>(d); a && !a->IsReadOutComplete()) return false;
            if (auto* b = dynamic_cast<CZelBreakDevice*>(d); b && !b->IsReadOutComplete()) return false;
          }
          return true;
        },
        60000);
  }

  std::string ShownName(CFrameUnderTest& f, const char* row) {
    CDeviceProperty* property = f.GetPropertiesPane().GetGrid().FindRow(row);
    return property ? property->GetValueText() : std::string("(no row)");
  }
};

}  // namespace

TEST_F(OfflineLooksTest, AfterRetrieveThePropertiesPaneShowsTheNameTheUnitSent) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddUnits(system);
  PostAbout(f, FrameMsg::kSelectDevice, system.GetDevice(0), 1);
  ProcessEvents();
  ASSERT_EQ(ShownName(f, "Name"), "File 1");
  ASSERT_TRUE(GoOnlineAndReadOut(f));
  EXPECT_EQ(system.GetDevice(0)->GetName(), "Sim Processor");
  // The pane follows the message that the reply posts, which may come just after the read-out
  // is seen complete.
  EXPECT_TRUE(WaitFor([&] { return ShownName(f, "Name") == "Sim Processor"; })) << ShownName(f, "Name");
  // The same for an amplifier that is selected while the names arrive.
  f.RunCommand(Cmd::kOnline);
  NameDevice(system.GetDevice(2), "File 2");
  PostAbout(f, FrameMsg::kSelectDevice, system.GetDevice(2), 1);
  ProcessEvents();
  ASSERT_EQ(ShownName(f, "Amp Name"), "File 2");
  ASSERT_TRUE(GoOnlineAndReadOut(f));
  EXPECT_TRUE(WaitFor([&] { return ShownName(f, "Amp Name") == "Sim Amplifier"; })) << ShownName(f, "Amp Name");
}

TEST_F(OfflineLooksTest, UnitsThatDroppedOutWithWarningsLookOfflineAfterGoingOffline) {
  // A Fennick on other firmware than the table's, and a Nerex: both connected
  // and read out; then the bus goes quiet and they drop out while online, the
  // Fennick keeping its warning.
  CNerexSources::SetFirmwareTableReader(&CFirmwareTableFile::Read);
  const CFirmwareTableFile table("Fennick=9.99\n");
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddUnits(system);
  ASSERT_TRUE(GoOnlineAndReadOut(f));
  auto* fennick = dynamic_cast<CNerexSeriesDevice*>(system.GetDevice(1));
  ASSERT_NE(fennick, nullptr);
  ASSERT_TRUE(WaitFor([&] { return fennick->HasWarnings() != 0; }));
  CDevice* amp = system.GetDevice(2);
  PostAbout(f, FrameMsg::kOpenDevicePanel, amp);
  ProcessEvents();
  auto* panel = dynamic_cast<CZelSeriesControlPanel*>(amp->GetControlPanel());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(WaitFor([&] {
    return panel->GetOnlineStrip()->IsVisible() && panel->GetLimitLed(0)->IsLit() && panel->GetLevelLed(0, 4)->IsLit();
  }));
  bus->InjectFaults(SimFault::Silence(), 100000);
  ASSERT_TRUE(WaitFor(
      [&] {
        return fennick->GetCommsLevel() == 0 && system.GetDevice(0)->GetCommsLevel() == 0 && amp->GetCommsLevel() == 0;
      },
      60000));
  EXPECT_NE(fennick->HasWarnings(),
            0u);  // while online the dropped unit keeps its warning
  // Online with its unit away, the amplifier takes no change, and its panel says so once the
  // frame has handled the drop the worker posted.
  EXPECT_TRUE(WaitFor([&] { return panel->GetAwayStrip()->IsVisible(); }));
  EXPECT_FALSE(panel->GetOfflineStrip()->IsVisible());

  f.RunCommand(Cmd::kOnline);
  ASSERT_FALSE(f.IsOnline());
  ProcessEvents();
  for (CDevice* d : system.GetDevices()) {
    SCOPED_TRACE(d->GetName());
    EXPECT_FALSE(d->IsConnected());
    EXPECT_EQ(d->HasWarnings(), 0u);
    EXPECT_EQ(d->GetStatusText(), "");
  }
  // The Fennick's tile LED and its System Monitor status LED are red, not
  // yellow.
  const CImage tile = RenderTile(*fennick, 240, 1, kBackground);
  EXPECT_EQ(LedAt(tile, 240 - 37, 15), Led::kRed);
  const int width = fennick->DrawMonitorTile(nullptr, CRect{}, nullptr, 0);
  CImage column = BlankImage(width, 300, kBackground);
  {
    Graphics g(column);
    fennick->DrawMonitorTile(&g, CRect{0, 0, width, 300}, nullptr, 2);
  }
  const int h = 300 - 80;
  EXPECT_EQ(LedAt(column, width - 25, h + 65), Led::kRed);

  // The amplifier's open panel: the offline strip, no limit or level lights, no
  // temperature; the mode and standby settings the file keeps stay shown.
  EXPECT_TRUE(panel->GetOfflineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOnlineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetAwayStrip()->IsVisible());
  for (int ch = 0; ch < 2; ++ch) {
    EXPECT_FALSE(panel->GetLimitLed(ch)->IsLit()) << ch;
    for (int j = 0; j < 5; ++j) EXPECT_FALSE(panel->GetLevelLed(ch, j)->IsLit()) << ch << " " << j;
  }
  for (int k = 0; k < 7; ++k) EXPECT_FALSE(panel->GetTemperatureLed(k)->IsLit()) << k;
  EXPECT_TRUE(panel->GetStereoLed()->IsLit());
  EXPECT_TRUE(panel->GetActiveLed()->IsLit());
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    f.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/frame-offline-after-drop.png"));
  CNerexSources::SetFirmwareTableReader(nullptr);
}

// A panel open before going online shows at once that its amplifier takes no change while the
// unit does not answer (here there is none at its ID), and the file's strip again once offline.
TEST_F(OfflineLooksTest, AnAmplifierPanelOpenWhenGoingOnlineSaysItsUnitIsNotConnected) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  AddUnits(system);
  CDevice* missing = system.CreateDevice(9, 55, 0);
  system.AppendDevice(missing);
  system.GetZones()[0]->AppendDevice(missing);
  PostAbout(f, FrameMsg::kOpenDevicePanel, missing);
  ProcessEvents();
  auto* panel = dynamic_cast<CZelSeriesControlPanel*>(missing->GetControlPanel());
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(panel->GetOfflineStrip()->IsVisible());

  prompts.goOnlineChoice = 0;
  f.RunCommand(Cmd::kOnline);
  ASSERT_TRUE(f.IsOnline());
  ProcessEvents();
  EXPECT_TRUE(panel->GetAwayStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOfflineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetOnlineStrip()->IsVisible());

  f.RunCommand(Cmd::kOnline);
  ASSERT_FALSE(f.IsOnline());
  ProcessEvents();
  EXPECT_TRUE(panel->GetOfflineStrip()->IsVisible());
  EXPECT_FALSE(panel->GetAwayStrip()->IsVisible());
}
