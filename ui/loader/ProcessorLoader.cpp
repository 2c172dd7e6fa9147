// Processors: a plain firmware image in addressed 128-byte blocks, each acknowledged with FA.
#include <algorithm>
#include <cstring>

#include "core/comms/SerialComms.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::uint32_t kBlockBytes = 128;
constexpr std::uint8_t kBlockAck = 0xFA;

bool AnswersIdentity(CSerialComms& port, ILoaderClock& clock) {
  const std::uint8_t query[] = {0xB0, 0x01};
  port.PurgeRaw(kPurgeTx);
  port.PurgeRaw(kPurgeRx);
  port.WriteRaw(query, 2);
  clock.Sleep(10);
  const std::uint8_t* reply = port.ReceiveBuffer();
  return port.ReadRaw(21) == 21 && reply[0] == 0xB8 && reply[1] == 0x00 && reply[2] == 0x14;
}

bool Acknowledged(CSerialComms& port) { return port.ReadRaw(1) == 1 && port.ReceiveBuffer()[0] == kBlockAck; }

}  // namespace

bool LoadProcessorFirmware(const CLoaderContext& c) {
  ILoaderReport& log = c.report;
  CSerialComms port;
  if (!port.Open(c.job.connectedPort, kScanBaud, false)) {
    log.LogLine(FormatText("Cannot open COM%u", c.job.connectedPort), false);
    return false;
  }
  const std::uint8_t type = QueryTypeShortId(port, c.clock);
  if (type == 0 || !AnswersIdentity(port, c.clock)) {
    log.LogLine("Cannot connect to device", false);
    return false;
  }
  const bool automatic = type == 0x10 || type == 0x11;
  if (automatic && AutomaticFirmwareVersion(type, c.job.programFolder).empty()) {
    log.LogLine(NoFirmwareVersionText(type), false);
    return false;
  }
  const std::string path = automatic ? AutomaticFirmwarePath(type, c.job.programFolder) : c.job.firmwarePath;
  BootBytes file;
  if (!ReadWholeFile(path, file)) {
    log.LogLine(FormatText("Cannot open firmware file %s!!", path.c_str()), false);
    return false;
  }
  // An image is whole blocks and at most one partial block at its end: a file shorter than one
  // block (an empty one, a line of text) is no firmware and never reaches the unit. A block
  // address must fit its three bytes below the end block's FF FF FF.
  if (file.size() < kBlockBytes || file.size() > kProcessorEndAddress + 1 - kBlockBytes) {
    log.LogLine(kDamagedFirmwareText, false);
    return false;
  }
  port.SetRawTimeouts(SerialTimeouts{0, 1, 5000, 0, 0});
  c.clock.Sleep(1000);
  log.LogLine("Sending boot command", false);
  port.PurgeRaw(kPurgeTx);
  port.PurgeRaw(kPurgeRx);
  const BootBytes boot = BuildProcessorBootCommand(type);
  port.WriteRaw(boot.data(), std::uint32_t(boot.size()));
  c.clock.Sleep(3000);
  if (!Acknowledged(port)) {
    log.LogLine("Boot command to device failed", false);
    return false;
  }

  std::uint8_t block[kBlockBytes];
  std::uint8_t endBlock[kBlockBytes];
  std::memset(endBlock, 0xFF, kBlockBytes);
  for (std::size_t k = 0;; ++k) {
    std::memset(block, 0xFF, kBlockBytes);
    const std::size_t start = k * kBlockBytes;
    const std::size_t got = std::min<std::size_t>(kBlockBytes, file.size() - start);
    std::memcpy(block, file.data() + start, got);
    const bool last = got < kBlockBytes;
    const bool blank = std::all_of(block, block + kBlockBytes, [](std::uint8_t b) { return b == 0xFF; });
    if (got > 0 && !blank) {
      const BootBytes frame = BuildProcessorBlock(std::uint32_t(start), block);
      port.PurgeRaw(kPurgeTx);
      port.PurgeRaw(kPurgeRx);
      port.WriteRaw(frame.data(), std::uint32_t(frame.size()));
      if (!Acknowledged(port)) {
        log.LogLine(kStoppedRespondingText, false);
        return false;
      }
      if (last) std::memcpy(endBlock, block, kBlockBytes);
    }
    // The share of the file sent with this block, so that the last line reads 100.
    const double percent = SentPercent(start + got, file.size());
    log.LogLine(FormatText("Sending Hex file %.1f%% done", percent), true);
    log.Progress(int(percent));
    if (last) break;
  }
  return WriteOrReport(port, log, BuildProcessorBlock(kProcessorEndAddress, endBlock));
}
