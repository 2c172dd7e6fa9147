// Amplifier modules: firmware through the boot loader at 9600 baud, and preset sets.
#include <algorithm>
#include <bitset>
#include <cstring>

#include "core/comms/SerialComms.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/FirmwareFiles.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::uint32_t kChunkBytes = 50;
// Up to this many answer bytes are read for a chunk.
constexpr std::uint32_t kChunkAnswerBytes = 5;
constexpr int kRebootTries = 30;
constexpr std::uint32_t kRebootTryMs = 1000;
// A unit that answered none of this many last chunks may have stopped during the transfer.
constexpr int kSilentChunks = 5;
// The boot loader's pauses: before its banner (after the boot command or "1") and while it
// erases; the pause before a port is opened again.
constexpr std::uint32_t kBootWaitMs = 2000;
constexpr std::uint32_t kEraseWaitMs = 2000;
constexpr std::uint32_t kReopenWaitMs = 100;
constexpr std::uint32_t kBannerBytes = 69;
constexpr std::uint32_t kEraseAnswerBytes = 20;
// A preset frame or command waits this long for its one-byte answer.
constexpr std::uint32_t kPresetAnswerWaitMs = 100;

// Writes a frame, waits 100 ms and tells whether the unit answered with the ACK.
bool SendAcknowledged(CSerialComms& port, ILoaderClock& clock, const std::uint8_t* frame, std::uint32_t n) {
  if (port.WriteRaw(frame, n) < n) return false;
  clock.Sleep(kPresetAnswerWaitMs);
  return port.ReadRaw(1) == 1 && port.ReceiveBuffer()[0] == CSerialComms::kAck;
}

bool SendPresetCommand(CSerialComms& port, ILoaderClock& clock, int slotIndex, std::uint8_t type) {
  const BootBytes frame = BuildClearPresetCommand(type, std::uint8_t(slotIndex + 1));
  return SendAcknowledged(port, clock, frame.data(), std::uint32_t(frame.size()));
}

bool SendPresetName(CSerialComms& port, ILoaderClock& clock, const std::string& name, std::uint8_t type) {
  const BootBytes frame = BuildPresetNameCommand(type, name);
  return SendAcknowledged(port, clock, frame.data(), std::uint32_t(frame.size()));
}

// After the transfer: reopens the port and waits for the unit to answer again. "Done" says that
// the unit took the file: at once for one that answered to the end of it, and only once it
// answers again for one that fell silent before (until then it may hold part of the file on
// erased firmware). One that answered to the end and does not come back is only warned about;
// one that fell silent and does not come back fails the load.
bool FinishAmpLoad(const CLoaderContext& c, CSerialComms& port, bool fellSilent) {
  port.Close();
  c.clock.Sleep(kReopenWaitMs);
  if (!port.Open(c.job.connectedPort, kScanBaud, false)) {
    c.report.LogLine("Failed to re-open COM port", false);
    return false;
  }
  if (!fellSilent) c.report.LogLine("Done", false);
  std::string waiting = "Waiting for amp to reboot";
  c.report.LogLine(waiting, false);
  for (int i = 0; i < kRebootTries; ++i) {
    c.clock.Sleep(kRebootTryMs);
    waiting += ".";
    c.report.LogLine(waiting, true);
    if (QueryTypeShortId(port, c.clock) != 0) {
      if (fellSilent) c.report.LogLine("Done", false);
      return true;
    }
  }
  if (fellSilent) {
    c.report.LogLine(kStoppedRespondingText, false);
    return false;
  }
  c.report.LogLine("Warning - cannot reconnect to amp", false);
  return true;
}

enum class PassResult { kLoaded, kRefused, kFailed };

// Sends the file in chunks, each answered by the unit: sent whole (kLoaded), one refused
// (kRefused) or a failed write (kFailed). A missing or late answer does not stop the transfer;
// fellSilent tells whether the unit answered none of the last kSilentChunks chunks, and then
// the progress line and bar go back to the share it answered for, with a line that says so:
// what reached the unit, not what went into a silent line.
PassResult SendChunks(const CLoaderContext& c, CSerialComms& port, const BootBytes& file, bool& fellSilent) {
  ILoaderReport& log = c.report;
  log.LogLine("Sending Hex file 0% done", false);
  port.PurgeRaw(kPurgeRx);

  std::size_t position = 0;
  std::size_t answered = 0;  // the file up to the last chunk answered
  bool last = false;
  bool refused = false;
  int chunks = 0, unanswered = 0;  // chunks sent, and since the last answer
  while (!last && !refused) {
    std::size_t chunk = kChunkBytes;
    if (position + kChunkBytes >= file.size()) {
      chunk = file.size() - position;
      last = true;
    }
    if (!WriteOrReport(port, log, file.data() + position, std::uint32_t(chunk))) return PassResult::kFailed;
    position += chunk;
    // An answer that comes after this read has given up is purged with the rest; the unit
    // keeps taking chunks, and only an answer other than "_" refuses one.
    const std::uint32_t got = port.ReadRaw(kChunkAnswerBytes);
    port.PurgeRaw(kPurgeRx);
    for (std::uint32_t i = 0; i < got; ++i) {
      if (port.ReceiveBuffer()[i] != '_') refused = true;
    }
    ++chunks;
    unanswered = got > 0 ? 0 : unanswered + 1;
    if (got > 0) answered = position;
    const double percent = SentPercent(position, file.size());
    log.LogLine(FormatText("Sending Hex file %.1f%% done", percent), true);
    log.Progress(int(percent));
  }
  // A file of fewer chunks counts as unanswered when none of them was answered.
  fellSilent = unanswered >= std::min(kSilentChunks, chunks);
  if (fellSilent && !refused) {
    const double percent = SentPercent(answered, file.size());
    log.LogLine(FormatText("Sending Hex file %.1f%% done", percent), true);
    log.Progress(int(percent));
    log.LogLine("The amp answered no chunk after that", false);
  }
  return refused ? PassResult::kRefused : PassResult::kLoaded;
}

PassResult RunAmpPass(const CLoaderContext& c, bool firstPass) {
  ILoaderReport& log = c.report;
  BootBytes file;
  if (!ReadWholeFile(c.job.firmwarePath, file)) {
    log.LogLine(FormatText("Cannot open firmware file %s!!", c.job.firmwarePath.c_str()), false);
    return PassResult::kFailed;
  }
  // Another kind of file, empty, cut short, not Intel HEX or without a data record (no image at
  // all): nothing of it may reach the unit.
  if (HexScan hex; !HexFirmwareHolds(log, file, c.job.firmwarePath, hex)) return PassResult::kFailed;
  CSerialComms port;
  if (!port.Open(c.job.connectedPort, kScanBaud, false)) {
    log.LogLine(FormatText("Cannot open COM%u", c.job.connectedPort), false);
    return PassResult::kFailed;
  }
  bool reopened = true;
  if (const std::uint8_t type = QueryTypeShortId(port, c.clock); type != 0) {
    log.LogLine("Checking firmware file...!!", false);
    if (!HexFileHasSignature(file, BuildUnitSignature(port.ReceiveBuffer() + 5, 4))) {
      log.LogLine("Incompatible firmware file !!", false);
      return PassResult::kFailed;
    }
    log.LogLine("Sending boot command", false);
    if (!WriteOrReport(port, log, BuildShortBootCommand(type))) return PassResult::kFailed;
    port.Close();
    reopened = port.Open(c.job.connectedPort, kBootLoaderBaud, false);
  } else {
    // The unit may sit in its boot loader already: start it with "1".
    if (firstPass) {
      log.LogLine("Cannot connect to amp", false);
      log.LogLine("Retrying to see if amp is already in boot load mode", false);
    }
    port.Close();
    c.clock.Sleep(kReopenWaitMs);
    if (!port.Open(c.job.connectedPort, kBootLoaderBaud, false)) return PassResult::kFailed;
    port.PurgeRaw(kPurgeRx);
    const std::uint8_t start = '1';
    if (!WriteOrReport(port, log, &start, 1)) return PassResult::kFailed;
  }
  c.clock.Sleep(kBootWaitMs);
  if (!reopened) {
    log.LogLine("Failed to open COM port", false);
    return PassResult::kFailed;
  }
  if (port.ReadRaw(kBannerBytes) < kBannerBytes) {
    log.LogLine("Boot command to amp failed", false);
    return PassResult::kFailed;
  }
  if (firstPass) log.LogLine("Erasing current firmware...", false);
  const std::uint8_t erase = 'y';
  if (!WriteOrReport(port, log, &erase, 1)) return PassResult::kFailed;
  c.clock.Sleep(kEraseWaitMs);
  if (port.ReadRaw(kEraseAnswerBytes) < kEraseAnswerBytes) {
    log.LogLine("Load command to amp failed", false);
    return PassResult::kFailed;
  }
  bool fellSilent = false;
  switch (SendChunks(c, port, file, fellSilent)) {
    case PassResult::kLoaded: return FinishAmpLoad(c, port, fellSilent) ? PassResult::kLoaded : PassResult::kFailed;
    case PassResult::kRefused:
      log.LogLine("Sector 1 load complete.  Starting sector 2...", false);
      return PassResult::kRefused;
    default: return PassResult::kFailed;
  }
}

}  // namespace

// Two passes, the second after a refused chunk; the wait for the unit's restart ends the load.
std::uint64_t LongestAmpFirmwareMs(std::uint64_t fileBytes) {
  const std::uint64_t chunks = std::max<std::uint64_t>(1, (fileBytes + kChunkBytes - 1) / kChunkBytes);
  const std::uint64_t boot = std::max(WireMs(BuildShortBootCommand(0).size(), kScanBaud),
                                      kReopenWaitMs + WireMs(1, kBootLoaderBaud));  // boot command or "1"
  const std::uint64_t pass = ShortTypeQueryLongestMs() + boot + kBootWaitMs + ReadLimitMs(kBannerBytes) +
                             WireMs(1, kBootLoaderBaud) + kEraseWaitMs + ReadLimitMs(kEraseAnswerBytes) +
                             WireMs(fileBytes, kBootLoaderBaud) + chunks * ReadLimitMs(kChunkAnswerBytes);
  return 2 * pass + kReopenWaitMs + kRebootTries * (kRebootTryMs + ShortTypeQueryLongestMs());
}

// The frames of the file and the loader's own, each followed by its wait and one-byte answer.
std::uint64_t LongestAmpPresetsMs(std::uint64_t fileBytes) {
  const std::uint64_t ownFrames = 10 * BuildClearPresetCommand(0, 1).size() + BuildPresetNameCommand(0, "").size();
  return ShortTypeQueryLongestMs() + WireMs(fileBytes + ownFrames, kScanBaud) +
         11 * (kPresetAnswerWaitMs + ReadLimitMs(1));
}

bool LoadAmpFirmware(const CLoaderContext& context) {
  for (bool firstPass : {true, false}) {
    const PassResult result = RunAmpPass(context, firstPass);
    if (result != PassResult::kRefused) return result == PassResult::kLoaded;
  }
  return false;
}

bool LoadAmpPresets(const CLoaderContext& c) {
  ILoaderReport& log = c.report;
  BootBytes file;
  if (!ReadWholeFile(c.job.presetPath, file)) {
    log.LogLine(FormatText("Cannot open preset file %s", c.job.presetPath.c_str()), false);
    return false;
  }
  CSerialComms port;
  if (!port.Open(c.job.connectedPort, kScanBaud, false)) {
    log.LogLine("Cannot open COM port ", false);
    return false;
  }
  const std::uint8_t type = QueryTypeShortId(port, c.clock);
  if (type == 0) {
    log.LogLine("Cannot connect to amp", false);
    return false;
  }
  // The header up to the mask; a file that holds no preset may end there.
  if (file.size() < 18 || file[12] != type || std::memcmp(file.data() + 8, port.ReceiveBuffer() + 5, 4) != 0) {
    log.LogLine("Preset file does not match amp type", false);
    return false;
  }
  const std::uint32_t mask = std::uint32_t(file[16]) | std::uint32_t(file[17]) << 8;
  // A file that ends before its last preset frame touches no slot at all.
  const std::size_t held = std::bitset<10>(mask & 0x3FF).count();
  const std::size_t frameLength = file.size() >= 35 ? 1 + std::size_t(file[33]) * 128 + file[34] : 0;
  if (held > 0 && (frameLength == 0 || 32 + held * frameLength > file.size())) {
    log.LogLine("Preset File Failed to Load!!", false);
    return false;
  }
  std::size_t offset = 32;
  for (int i = 0; i < 10; ++i) {
    if (mask & (1u << i)) {
      log.LogLine(FormatText("Storing Preset:%i", i), false);
      if (!SendAcknowledged(port, c.clock, file.data() + offset, std::uint32_t(frameLength))) return false;
      offset += frameLength;
    } else {
      log.LogLine(FormatText("Clearing Preset:%i", i), false);
      if (!SendPresetCommand(port, c.clock, i, type)) {
        log.LogLine("Preset File Failed to Load!!", false);
        return false;
      }
    }
  }
  if (!SendPresetName(port, c.clock, PresetSetName(c.job.presetPath), type)) {
    log.LogLine("Preset name failed to load!!", false);
    return false;
  }
  log.LogLine("Preset name loaded OK", false);
  return true;
}
