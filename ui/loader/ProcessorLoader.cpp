// Processors: a plain firmware image in addressed 128-byte blocks, each acknowledged with FA.
#include <algorithm>
#include <cstring>

#include "core/comms/SerialComms.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/FirmwareFiles.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::uint32_t kBlockBytes = 128;
constexpr std::uint8_t kBlockAck = 0xFA;
constexpr std::uint32_t kIdentityWaitMs = 10;
constexpr std::uint32_t kIdentityBytes = 21;
// The pauses before and after the boot command.
constexpr std::uint32_t kSettleMs = 1000;
constexpr std::uint32_t kBootWaitMs = 3000;
// The time a unit that keeps answering takes to acknowledge a block, at most, for the bound of
// the load's time (a unit that stops answering ends the load after one read time-out).
constexpr std::uint32_t kBlockAnswerMs = 20;

bool AnswersIdentity(CSerialComms& port, ILoaderClock& clock) {
  const std::uint8_t query[] = {0xB0, 0x01};
  port.PurgeRaw(kPurgeTx);
  port.PurgeRaw(kPurgeRx);
  port.WriteRaw(query, 2);
  clock.Sleep(kIdentityWaitMs);
  const std::uint8_t* reply = port.ReceiveBuffer();
  return port.ReadRaw(kIdentityBytes) == kIdentityBytes && reply[0] == 0xB8 && reply[1] == 0x00 && reply[2] == 0x14;
}

bool IsAutomatic(std::uint8_t type) { return type == 0x10 || type == 0x11; }

// The image for a unit of this type: the file its loader picks itself (Fennick family) or the
// one the user chose, read whole; false, reported, when there is none, it cannot be read, or it
// is plainly no processor image (Intel HEX text, a picture, an archive, another family's file)
// or no image at all: shorter than a block (an empty file, a line of text), or so long that a
// block address would not fit its three bytes below the end block's FF FF FF.
bool ReadImage(const CLoaderContext& c, std::uint8_t type, BootBytes& file) {
  ILoaderReport& log = c.report;
  const bool automatic = IsAutomatic(type);
  if (automatic && AutomaticFirmwareVersion(type, c.job.programFolder).empty()) {
    log.LogLine(NoFirmwareVersionText(type), false);
    return false;
  }
  const std::string path = automatic ? AutomaticFirmwarePath(type, c.job.programFolder) : c.job.firmwarePath;
  if (!ReadWholeFile(path, file)) {
    log.LogLine(FormatText("Cannot open firmware file %s!!", path.c_str()), false);
    return false;
  }
  const std::string foreign = ForeignFirmwareText(file, FirmwareFormat::kRawImage, automatic ? "" : path);
  if (!foreign.empty()) {
    log.LogLine(foreign, false);
    return false;
  }
  if (file.size() < kBlockBytes || file.size() > kProcessorEndAddress + 1 - kBlockBytes) {
    log.LogLine(kDamagedFirmwareText, false);
    return false;
  }
  return true;
}

bool Acknowledged(CSerialComms& port) { return port.ReadRaw(1) == 1 && port.ReceiveBuffer()[0] == kBlockAck; }

}  // namespace

// The probes, the pauses around the boot command and its answer, the blocks with their answers,
// one block that goes unanswered, and the end block.
std::uint64_t LongestProcessorFirmwareMs(std::uint64_t fileBytes) {
  const std::uint64_t blocks = fileBytes / kBlockBytes + 1;
  const std::uint64_t frame = kBlockBytes + 5;
  const std::uint64_t longRead = ReadLimitMs(1, kLongReadTimeouts.readTotalConstant);
  return ShortTypeQueryLongestMs() + WireMs(2, kScanBaud) + kIdentityWaitMs + ReadLimitMs(kIdentityBytes) +
         kSettleMs + WireMs(BuildProcessorBootCommand(0).size(), kScanBaud) + kBootWaitMs + longRead +
         WireMs(blocks * frame, kScanBaud) + blocks * kBlockAnswerMs + longRead + WireMs(frame, kScanBaud);
}

bool LoadProcessorFirmware(const CLoaderContext& c) {
  ILoaderReport& log = c.report;
  // The file the scan's unit takes is read and checked before any byte goes to the unit.
  BootBytes file;
  if (!ReadImage(c, c.job.deviceType, file)) return false;
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
  // Another unit answered since the scan: it takes the file of its own type, and never a file
  // chosen for another model.
  if (!IsAutomatic(type) && c.job.firmwareFor != 0 && type != c.job.firmwareFor) {
    log.LogLine(FormatText("Firmware file was chosen for the %s, not for this %s !!",
                           LoaderModelName(c.job.firmwareFor).c_str(), LoaderModelName(type).c_str()),
                false);
    return false;
  }
  if (type != c.job.deviceType && (IsAutomatic(type) || IsAutomatic(c.job.deviceType)) && !ReadImage(c, type, file))
    return false;
  port.SetRawTimeouts(kLongReadTimeouts);
  c.clock.Sleep(kSettleMs);
  log.LogLine("Sending boot command", false);
  port.PurgeRaw(kPurgeTx);
  port.PurgeRaw(kPurgeRx);
  const BootBytes boot = BuildProcessorBootCommand(type);
  port.WriteRaw(boot.data(), std::uint32_t(boot.size()));
  c.clock.Sleep(kBootWaitMs);
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
