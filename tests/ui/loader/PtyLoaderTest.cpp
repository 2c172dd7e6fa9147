// The amplifier module's firmware load in real time through the program's own serial port on a
// pseudo-terminal, against a boot loader that answers records around the moment the loader stops
// waiting for the answer and purges (a few hundred chunks, so that answers and purges meet).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>

#include "tests/ui/loader/BootLineFixture.h"
#include "tools/devsim/SimBootServer.h"
#include "tools/devsim/SimBus.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::uint32_t kPtyPort = 21;

TEST(AmpFirmwareOnAPty, LateChunkAnswersArePurgedAndTheWholeFileGoesIn) {
  CSimBootUnit unit(CSimBootUnit::Family::kAmpModule, 0x31);
  unit.SetRecordAnswerDelays({7, 6, 8, 7, 12, 25, 50});
  auto wire = std::make_unique<CPtyWire>();
  ASSERT_TRUE(wire->IsValid());
  const std::string slave = wire->SlavePath();
  ASSERT_TRUE(LinkComPort(kPtyPort, slave));
  auto portBaud = PtyPortBaud(*wire);
  CSimBootServer server(std::move(wire), unit, std::move(portBaud));
  server.Start();

  QTemporaryDir folder;
  const SimBootBytes data = FirmwareData(4000, {0x12, 0x34, 0x56, 0x78}, 100);
  const BootBytes hex = MakeHex(data);
  CLoaderJob job;
  job.connectedPort = kPtyPort;
  job.deviceType = 0x31;
  job.firmwarePath = folder.path().toStdString() + "/amp.hex";
  {
    std::ofstream out(job.firmwarePath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(hex.data()), std::streamsize(hex.size()));
  }
  CSystemLoaderClock clock;
  CRecordingReport report;
  const bool loaded = LoadAmpFirmware(CLoaderContext{job, clock, report});
  server.Stop();
  UnlinkComPort(kPtyPort);

  EXPECT_TRUE(loaded);
  EXPECT_TRUE(unit.IsComplete());
  EXPECT_EQ(unit.ImageBytes(), data);
  EXPECT_EQ(unit.Erases(), 1u);
  const auto& log = report.lines;
  EXPECT_NE(std::find(log.begin(), log.end(), "Sending Hex file 100.0% done"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Done"), log.end());
}

}  // namespace
