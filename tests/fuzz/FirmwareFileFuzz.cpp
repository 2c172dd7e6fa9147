// libFuzzer target of the firmware file checks (records, signatures, other kinds of file) and of
// the simulated boot loader's record parser: any bytes give a verdict, never a read past the data.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/devsim/SimBootUnit.h"
#include "ui/loader/BootFrames.h"
#include "ui/loader/FirmwareFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const BootBytes file(data, data + size);
  const HexScan scan = ScanHexFile(file);
  // The data characters are never more than the file holds.
  if (scan.dataCharacters.size() > size) __builtin_trap();
  HexFileHasSignature(file, "1234567812345678");
  // What the file plainly is, for both kinds of loader.
  ForeignFirmwareText(file, FirmwareFormat::kRawImage, "FennickFirmware_v1.hex");
  ForeignFirmwareText(file, FirmwareFormat::kIntelHex, std::string());

  // The same bytes streamed into an amplifier module's boot loader after its erase.
  CSimBootUnit unit(CSimBootUnit::Family::kAmpModule, 0x31);
  unit.StartInBootLoader();
  std::vector<SimBootByte> out;
  const std::uint8_t start[] = {'1', 'y'};
  unit.Receive(start, sizeof start, 9600, 0, out);
  unit.Receive(data, size, 9600, 1000, out);
  return 0;
}
