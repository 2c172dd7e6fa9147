// Byte frames of the boot-load protocol, the three probes of the port scan, and the checks of
// Intel HEX firmware files (record stepping and the unit signature).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/loader/LoaderContext.h"
#include "platform/SerialPort.h"
#include "platform/TextFormat.h"

class CSerialComms;

using BootBytes = std::vector<std::uint8_t>;

// Baud rates of the loader's dialogues.
constexpr std::uint32_t kScanBaud = 115200;
constexpr std::uint32_t kLongIdBaud = 57600;
constexpr std::uint32_t kBootLoaderBaud = 9600;

// The seven-bit sum of a frame's bytes.
std::uint8_t BootChecksum(const std::uint8_t* data, std::size_t n);

// Frames the loader sends (T = the unit's type code).
BootBytes BuildShortBootCommand(std::uint8_t type);                  // F0 00 0A T 01 0D 15 "ZYR" cs
BootBytes BuildLongBootCommand(std::uint8_t type, std::uint32_t id);  // F0 00 0D T I3..I0 00 15 "QOL" cs
BootBytes BuildClearPresetCommand(std::uint8_t type, std::uint8_t slot);  // F1 00 08 T 01 0D 13 N cs
// The name's first 40 bytes, padded with spaces.
BootBytes BuildPresetNameCommand(std::uint8_t type, const std::string& name40);
BootBytes BuildProcessorBootCommand(std::uint8_t type);  // F0 00 07 T 01 2A 2C cs
// F0, the three address bytes, the 128 bytes and the low 8 bits of the sum of bytes 1 to 131.
BootBytes BuildProcessorBlock(std::uint32_t address, const std::uint8_t* block128);
constexpr std::uint32_t kProcessorEndAddress = 0xFFFFFF;

// Probes on an open port; each returns 0 on any failure. The short type query leaves the
// unit's hardware code in receive-buffer bytes 5 to 8, the type query by long ID its code in
// bytes 8 to 13.
std::uint8_t QueryTypeShortId(CSerialComms& port, ILoaderClock& clock);
std::uint32_t QueryLongId(CSerialComms& port, ILoaderClock& clock);
std::uint8_t QueryTypeLongId(CSerialComms& port, ILoaderClock& clock, std::uint32_t longId);

// Bounds of the loaders' time, in ms, for the longest each load can last. The wire time of n
// bytes at a baud rate (ten bits a byte), rounded up.
constexpr std::uint64_t WireMs(std::uint64_t n, std::uint32_t baud) { return (n * 10000 + baud - 1) / baud; }
// A port as CSerialComms opens it reads for 1 ms a byte plus this; the Sornic and processor
// loaders set the long time-outs before their boot commands.
constexpr std::uint32_t kOpenReadConstantMs = 2;
constexpr SerialTimeouts kLongReadTimeouts{0, 1, 5000, 0, 0};
// A read of n bytes that times out.
constexpr std::uint64_t ReadLimitMs(std::uint64_t n, std::uint32_t constantMs = kOpenReadConstantMs) {
  return n + constantMs;
}
// The probes at their longest, on a port opened at the baud rate they use (a reply that never
// comes); the long-ID probes also under the long time-outs.
std::uint64_t ShortTypeQueryLongestMs();
std::uint64_t LongIdQueryLongestMs(std::uint32_t readConstantMs = kOpenReadConstantMs);

// Upper-case hexadecimal digits of the bytes, high nibble first, written twice in a row.
std::string BuildUnitSignature(const std::uint8_t* code, std::size_t n);

// Result of stepping through an Intel HEX file record by record.
struct HexScan {
  // Every record is complete (":" , two length digits, 2n + 13 characters with CR LF) and the
  // file ends with the end record (length 0); no byte lies past it.
  bool wellFormed = false;
  // The data characters of every record before the end record, in file order.
  std::string dataCharacters;
};
// Never reads past a record or the file.
HexScan ScanHexFile(const BootBytes& file);
// Whether the signature occurs among the data characters (it may span records).
bool HexFileHasSignature(const BootBytes& file, const std::string& signature);

// The share of a file sent, in percent, for the progress line and bar: exactly 100 once every
// byte is sent (single precision would give 99.99999 for some lengths, and the bar would stop
// at 99).
inline double SentPercent(std::size_t sent, std::size_t total) { return double(sent) * 100.0 / double(total); }

// Writes bytes to the unit; when the port takes them no more (unplugged, hung up) the log gets
// "Failed to write to COM port" and the result is false.
bool WriteOrReport(CSerialComms& port, ILoaderReport& log, const std::uint8_t* data, std::uint32_t n);
inline bool WriteOrReport(CSerialComms& port, ILoaderReport& log, const BootBytes& bytes) {
  return WriteOrReport(port, log, bytes.data(), std::uint32_t(bytes.size()));
}

// The most bytes a firmware or preset file may hold: more than the largest processor image
// (16 MB) and than Intel HEX text of an image that size (under 48 MB).
constexpr std::size_t kMaxLoaderFileBytes = std::size_t(64) << 20;
// The whole file; false when it cannot be opened or read, or is no regular file of at most
// kMaxLoaderFileBytes (a pipe is never waited on, a device never read).
bool ReadWholeFile(const std::string& path, BootBytes& contents);

