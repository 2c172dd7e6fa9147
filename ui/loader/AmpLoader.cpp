// Amplifier modules: firmware through the boot loader at 9600 baud, and preset sets.
#include <algorithm>
#include <bitset>
#include <cstring>

#include "core/comms/SerialComms.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::uint32_t kChunkBytes = 50;
constexpr int kRebootTries = 30;
// A unit that answered none of this many last chunks may have stopped during the transfer.
constexpr int kSilentChunks = 5;

// Writes a frame, waits 100 ms and tells whether the unit answered with the ACK.
bool SendAcknowledged(CSerialComms& port, ILoaderClock& clock, const std::uint8_t* frame, std::uint32_t n) {
  if (port.WriteRaw(frame, n) < n) return false;
  clock.Sleep(100);
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

// After the transfer: reopens the port and waits for the unit to answer again. A unit that
// does not come back is only warned about when it answered the end of the transfer; one that
// fell silent before it may hold part of the file on erased firmware, and the load fails.
bool FinishAmpLoad(const CLoaderContext& c, CSerialComms& port, bool fellSilent) {
  c.report.LogLine("Done", false);
  port.Close();
  c.clock.Sleep(100);
  if (!port.Open(c.job.connectedPort, kScanBaud, false)) {
    c.report.LogLine("Failed to re-open COM port", false);
    return false;
  }
  std::string waiting = "Waiting for amp to reboot";
  c.report.LogLine(waiting, false);
  for (int i = 0; i < kRebootTries; ++i) {
    c.clock.Sleep(1000);
    waiting += ".";
    c.report.LogLine(waiting, true);
    if (QueryTypeShortId(port, c.clock) != 0) return true;
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
// fellSilent tells whether the unit answered none of the last kSilentChunks chunks.
PassResult SendChunks(const CLoaderContext& c, CSerialComms& port, const BootBytes& file, bool& fellSilent) {
  ILoaderReport& log = c.report;
  log.LogLine("Sending Hex file 0% done", false);
  port.PurgeRaw(kPurgeRx);

  std::size_t position = 0;
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
    const std::uint32_t got = port.ReadRaw(5);
    port.PurgeRaw(kPurgeRx);
    for (std::uint32_t i = 0; i < got; ++i) {
      if (port.ReceiveBuffer()[i] != '_') refused = true;
    }
    ++chunks;
    unanswered = got > 0 ? 0 : unanswered + 1;
    const double percent = SentPercent(position, file.size());
    log.LogLine(FormatText("Sending Hex file %.1f%% done", percent), true);
    log.Progress(int(percent));
  }
  // A file of fewer chunks counts as unanswered when none of them was answered.
  fellSilent = unanswered >= std::min(kSilentChunks, chunks);
  return refused ? PassResult::kRefused : PassResult::kLoaded;
}

PassResult RunAmpPass(const CLoaderContext& c, bool firstPass) {
  ILoaderReport& log = c.report;
  BootBytes file;
  if (!ReadWholeFile(c.job.firmwarePath, file)) {
    log.LogLine(FormatText("Cannot open firmware file %s!!", c.job.firmwarePath.c_str()), false);
    return PassResult::kFailed;
  }
  // Empty, cut short, not Intel HEX or without a data record (no image at all): nothing of it
  // may reach the unit.
  if (const HexScan hex = ScanHexFile(file); !hex.wellFormed || hex.dataCharacters.empty()) {
    log.LogLine(kDamagedFirmwareText, false);
    return PassResult::kFailed;
  }
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
    c.clock.Sleep(100);
    if (!port.Open(c.job.connectedPort, kBootLoaderBaud, false)) return PassResult::kFailed;
    port.PurgeRaw(kPurgeRx);
    const std::uint8_t start = '1';
    if (!WriteOrReport(port, log, &start, 1)) return PassResult::kFailed;
  }
  c.clock.Sleep(2000);
  if (!reopened) {
    log.LogLine("Failed to open COM port", false);
    return PassResult::kFailed;
  }
  if (port.ReadRaw(69) < 69) {
    log.LogLine("Boot command to amp failed", false);
    return PassResult::kFailed;
  }
  if (firstPass) log.LogLine("Erasing current firmware...", false);
  const std::uint8_t erase = 'y';
  if (!WriteOrReport(port, log, &erase, 1)) return PassResult::kFailed;
  c.clock.Sleep(2000);
  if (port.ReadRaw(20) < 20) {
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
