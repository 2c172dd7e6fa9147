// Zel amplifiers and breakout boxes, and the Sornic amplifier: units reached by long ID at
// 57600 baud whose boot loaders take the firmware file as one unanswered stream.
#include "core/SerialComms.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/Loaders.h"

namespace {

constexpr std::uint32_t kChunkBytes = 50;
constexpr int kRebootTries = 30;

bool LoadLongIdFirmware(const CLoaderContext& c, bool sornic) {
  ILoaderReport& log = c.report;
  CSerialComms port;
  if (!port.Open(c.job.connectedPort, kLongIdBaud, false)) {
    log.LogLine(FormatText("Cannot open COM%u", c.job.connectedPort), false);
    return false;
  }
  const std::uint32_t longId = QueryLongId(port, c.clock);
  const std::uint8_t type = longId != 0 ? QueryTypeLongId(port, c.clock, longId) : 0;
  if (type == 0) {
    log.LogLine("Cannot connect to device", false);
    return false;
  }
  const std::string signature = BuildUnitSignature(port.ReceiveBuffer() + 8, 6);
  if (!sornic && AutomaticFirmwareVersion(type, c.job.programFolder).empty()) {
    log.LogLine(NoFirmwareVersionText(type), false);
    return false;
  }
  const std::string path = sornic ? c.job.firmwarePath : AutomaticFirmwarePath(type, c.job.programFolder);
  BootBytes file;
  if (!ReadWholeFile(path, file)) {
    log.LogLine(FormatText("Cannot open firmware file %s!!", path.c_str()), false);
    return false;
  }
  const HexScan hex = ScanHexFile(file);
  if (!sornic) log.LogLine("Checking firmware file...", false);
  // Empty, cut short or not Intel HEX files never reach the unit; the Sornic amplifier's
  // files carry no signature.
  if (!hex.wellFormed) {
    log.LogLine(kDamagedFirmwareText, false);
    return false;
  }
  if (!sornic && hex.dataCharacters.find(signature) == std::string::npos) {
    log.LogLine("Incompatible firmware file !!", false);
    return false;
  }
  if (sornic) port.SetRawTimeouts(SerialTimeouts{0, 1, 5000, 0, 0});

  log.LogLine("Sending boot command", false);
  if (!WriteOrReport(port, log, BuildLongBootCommand(type, longId))) return false;
  if (!sornic) {
    port.Close();
    port.Open(c.job.connectedPort, kBootLoaderBaud, false);
    c.clock.Sleep(5000);
  }
  if (port.ReadRaw(61) < 50) {
    log.LogLine("Boot command to device failed", false);
    return false;
  }
  log.LogLine("Erasing current firmware...", false);
  port.PurgeRaw(kPurgeRx);
  const std::uint8_t erase = 'y';
  if (!WriteOrReport(port, log, &erase, 1)) return false;
  c.clock.Sleep(5000);
  if (port.ReadRaw(16) < 16) {
    log.LogLine("Load command to device failed", false);
    return false;
  }
  log.LogLine("Sending Hex file 0% done", false);
  port.PurgeRaw(kPurgeRx);

  for (std::size_t position = 0; position < file.size();) {
    const std::size_t chunk = position + kChunkBytes >= file.size() ? file.size() - position : kChunkBytes;
    if (!WriteOrReport(port, log, file.data() + position, std::uint32_t(chunk))) return false;
    position += chunk;
    const float percent = float(position) * 100.0f / float(file.size());
    log.LogLine(FormatText("Sending Hex file %.1f%% done", double(percent)), true);
    log.Progress(int(percent));
  }
  if (!sornic) {
    port.Close();
    if (!port.Open(c.job.connectedPort, kLongIdBaud, false)) {
      log.LogLine("Failed to re-open COM port", false);
      return false;
    }
  }
  log.LogLine("Done", false);

  std::string waiting = "Waiting for device to reboot";
  log.LogLine(waiting, false);
  for (int i = 0; i < kRebootTries; ++i) {
    c.clock.Sleep(1000);
    waiting += ".";
    log.LogLine(waiting, true);
    if (QueryLongId(port, c.clock) != 0) return true;
  }
  log.LogLine("Warning - cannot reconnect to device", false);
  return true;
}

}  // namespace

bool LoadZelFirmware(const CLoaderContext& context) { return LoadLongIdFirmware(context, false); }

bool LoadSornicAmpFirmware(const CLoaderContext& context) { return LoadLongIdFirmware(context, true); }
