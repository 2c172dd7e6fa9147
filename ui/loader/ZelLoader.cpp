// Zel amplifiers and breakout boxes, and the Sornic amplifier: units reached by long ID at
// 57600 baud whose boot loaders take the firmware file as one unanswered stream.
#include "core/comms/SerialComms.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/FirmwareFiles.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::uint32_t kChunkBytes = 50;
constexpr int kRebootTries = 30;
constexpr std::uint32_t kRebootTryMs = 1000;
// The boot loader's pauses: before its banner (Zel family; a Sornic's read waits instead) and
// while it erases; the least and most banner bytes read, and the erase answer's length.
constexpr std::uint32_t kBootWaitMs = 5000;
constexpr std::uint32_t kEraseWaitMs = 5000;
constexpr std::uint32_t kBannerLeast = 50;
constexpr std::uint32_t kBannerBytes = 61;
constexpr std::uint32_t kEraseAnswerBytes = 16;

// The unit on the port.
struct CLongIdUnit {
  std::uint32_t longId = 0;
  std::uint8_t type = 0;
};

// Reads the Sornic amplifier's firmware, the file the user chose, before any byte goes to the
// unit; false, reported, when it cannot be opened or is no Intel HEX firmware. Its files carry
// no signature to check against the unit.
bool ReadSornicFile(const CLoaderContext& c, BootBytes& file) {
  if (!ReadWholeFile(c.job.firmwarePath, file)) {
    c.report.LogLine(FormatText("Cannot open firmware file %s!!", c.job.firmwarePath.c_str()), false);
    return false;
  }
  HexScan hex;
  return HexFirmwareHolds(c.report, file, c.job.firmwarePath, hex);
}

// Finds the unit, and for the Zel family reads the firmware file meant for it, checked against
// the unit's signature; false, reported, when either is missing or the file does not fit.
bool FindUnitAndFile(const CLoaderContext& c, bool sornic, CSerialComms& port, CLongIdUnit& unit, BootBytes& file) {
  ILoaderReport& log = c.report;
  unit.longId = QueryLongId(port, c.clock);
  unit.type = unit.longId != 0 ? QueryTypeLongId(port, c.clock, unit.longId) : 0;
  if (unit.type == 0) {
    log.LogLine("Cannot connect to device", false);
    return false;
  }
  if (sornic) return true;
  const std::string signature = BuildUnitSignature(port.ReceiveBuffer() + 8, 6);
  if (AutomaticFirmwareVersion(unit.type, c.job.programFolder).empty()) {
    log.LogLine(NoFirmwareVersionText(unit.type), false);
    return false;
  }
  const std::string path = AutomaticFirmwarePath(unit.type, c.job.programFolder);
  if (!ReadWholeFile(path, file)) {
    log.LogLine(FormatText("Cannot open firmware file %s!!", path.c_str()), false);
    return false;
  }
  log.LogLine("Checking firmware file...", false);
  // Another kind of file, empty, cut short or not Intel HEX never reaches the unit, nor one
  // that holds no data record (no image at all).
  HexScan hex;
  if (!HexFirmwareHolds(log, file, std::string(), hex)) return false;
  if (hex.dataCharacters.find(signature) == std::string::npos) {
    log.LogLine("Incompatible firmware file !!", false);
    return false;
  }
  return true;
}

// Starts the unit's boot loader and has it erase the firmware; false, reported, when the
// loader does not answer.
bool BootAndErase(const CLoaderContext& c, bool sornic, CSerialComms& port, const CLongIdUnit& unit) {
  ILoaderReport& log = c.report;
  if (sornic) port.SetRawTimeouts(kLongReadTimeouts);
  log.LogLine("Sending boot command", false);
  if (!WriteOrReport(port, log, BuildLongBootCommand(unit.type, unit.longId))) return false;
  if (!sornic) {
    port.Close();
    port.Open(c.job.connectedPort, kBootLoaderBaud, false);
    c.clock.Sleep(kBootWaitMs);
  }
  if (port.ReadRaw(kBannerBytes) < kBannerLeast) {
    log.LogLine("Boot command to device failed", false);
    return false;
  }
  log.LogLine("Erasing current firmware...", false);
  port.PurgeRaw(kPurgeRx);
  const std::uint8_t erase = 'y';
  if (!WriteOrReport(port, log, &erase, 1)) return false;
  c.clock.Sleep(kEraseWaitMs);
  if (port.ReadRaw(kEraseAnswerBytes) < kEraseAnswerBytes) {
    log.LogLine("Load command to device failed", false);
    return false;
  }
  return true;
}

// Streams the file in chunks, reporting the share sent; false, reported, on a failed write.
bool SendFile(const CLoaderContext& c, CSerialComms& port, const BootBytes& file) {
  ILoaderReport& log = c.report;
  log.LogLine("Sending Hex file 0% done", false);
  port.PurgeRaw(kPurgeRx);
  for (std::size_t position = 0; position < file.size();) {
    const std::size_t chunk = position + kChunkBytes >= file.size() ? file.size() - position : kChunkBytes;
    if (!WriteOrReport(port, log, file.data() + position, std::uint32_t(chunk))) return false;
    position += chunk;
    const double percent = SentPercent(position, file.size());
    log.LogLine(FormatText("Sending Hex file %.1f%% done", percent), true);
    log.Progress(int(percent));
  }
  return true;
}

bool LoadLongIdFirmware(const CLoaderContext& c, bool sornic) {
  ILoaderReport& log = c.report;
  BootBytes file;
  if (sornic && !ReadSornicFile(c, file)) return false;
  CSerialComms port;
  if (!port.Open(c.job.connectedPort, kLongIdBaud, false)) {
    log.LogLine(FormatText("Cannot open COM%u", c.job.connectedPort), false);
    return false;
  }
  CLongIdUnit unit;
  if (!FindUnitAndFile(c, sornic, port, unit, file) || !BootAndErase(c, sornic, port, unit) ||
      !SendFile(c, port, file))
    return false;
  if (!sornic) {
    port.Close();
    if (!port.Open(c.job.connectedPort, kLongIdBaud, false)) {
      log.LogLine("Failed to re-open COM port", false);
      return false;
    }
  }

  // The unit answers no chunk of the stream: only its answer after the reboot tells that it took
  // the whole file, and only then is the load "Done". One that never answers again may have
  // stopped at any point of the stream, its firmware erased, and the load fails.
  std::string waiting = "Waiting for device to reboot";
  log.LogLine(waiting, false);
  for (int i = 0; i < kRebootTries; ++i) {
    c.clock.Sleep(kRebootTryMs);
    waiting += ".";
    log.LogLine(waiting, true);
    if (QueryLongId(port, c.clock) != 0) {
      log.LogLine("Done", false);
      return true;
    }
  }
  log.LogLine(kStoppedRespondingText, false);
  return false;
}

}  // namespace

// The unit's two long-ID probes, its boot loader's answers and pauses, the stream, and the
// reconnection queries, which wait out the long read time-out on a Sornic.
std::uint64_t LongestLongIdFirmwareMs(std::uint64_t fileBytes, bool sornic) {
  const std::uint32_t bootBaud = sornic ? kLongIdBaud : kBootLoaderBaud;
  const std::uint32_t readConstant = sornic ? kLongReadTimeouts.readTotalConstant : kOpenReadConstantMs;
  return 2 * LongIdQueryLongestMs() + WireMs(BuildLongBootCommand(0, 0).size(), kLongIdBaud) +
         (sornic ? 0 : kBootWaitMs) + ReadLimitMs(kBannerBytes, readConstant) + WireMs(1, bootBaud) + kEraseWaitMs +
         ReadLimitMs(kEraseAnswerBytes, readConstant) + WireMs(fileBytes, bootBaud) +
         kRebootTries * (kRebootTryMs + LongIdQueryLongestMs(readConstant));
}

bool LoadZelFirmware(const CLoaderContext& context) { return LoadLongIdFirmware(context, false); }

bool LoadSornicAmpFirmware(const CLoaderContext& context) { return LoadLongIdFirmware(context, true); }
