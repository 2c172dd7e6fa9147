// Firmware files that are plainly something else: signatures, Intel HEX text, family file names.
#include "ui/loader/FirmwareFiles.h"

#include <cstring>

#include "ui/loader/Loaders.h"

namespace {

bool HasAt(const BootBytes& file, std::size_t offset, const char* bytes, std::size_t n) {
  return file.size() >= offset + n && std::memcmp(file.data() + offset, bytes, n) == 0;
}

template <std::size_t N>
bool HasAt(const BootBytes& file, std::size_t offset, const char (&bytes)[N]) {
  return HasAt(file, offset, bytes, N - 1);  // without the terminating zero
}

std::uint32_t Le32(const BootBytes& file, std::size_t offset) {
  return std::uint32_t(file[offset]) | std::uint32_t(file[offset + 1]) << 8 | std::uint32_t(file[offset + 2]) << 16 |
         std::uint32_t(file[offset + 3]) << 24;
}

// A JPEG file: the start-of-image marker, then the marker of its first segment.
bool IsJpeg(const BootBytes& f) { return HasAt(f, 0, "\xFF\xD8\xFF") && f.size() > 3 && f[3] >= 0xC0 && f[3] != 0xFF; }

// A BMP file: "BM", the four reserved bytes zero and a header size that some version of the
// format has.
bool IsBmp(const BootBytes& f) {
  if (!HasAt(f, 0, "BM") || f.size() < 18 || Le32(f, 6) != 0) return false;
  const std::uint32_t header = Le32(f, 14);
  for (std::uint32_t size : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    if (header == size) return true;
  }
  return false;
}

// gzip: its magic, the deflate method and no reserved flag bit.
bool IsGzip(const BootBytes& f) { return HasAt(f, 0, "\x1F\x8B\x08") && f.size() > 3 && (f[3] & 0xE0) == 0; }

// bzip2: "BZh", the block size digit, then the magic of a block or of the stream's end.
bool IsBzip2(const BootBytes& f) {
  return HasAt(f, 0, "BZh") && f.size() >= 10 && f[3] >= '1' && f[3] <= '9' &&
         (HasAt(f, 4, "\x31\x41\x59\x26\x53\x59") || HasAt(f, 4, "\x17\x72\x45\x38\x50\x90"));
}

struct Signature {
  const char* kind;
  bool (*matches)(const BootBytes& file);
};

const Signature kSignatures[] = {
    {"a PNG picture", [](const BootBytes& f) { return HasAt(f, 0, "\x89PNG\r\n\x1A\n"); }},
    {"a JPEG picture", IsJpeg},
    {"a GIF picture", [](const BootBytes& f) { return HasAt(f, 0, "GIF87a") || HasAt(f, 0, "GIF89a"); }},
    {"a BMP picture", IsBmp},
    {"a TIFF picture", [](const BootBytes& f) { return HasAt(f, 0, "II*\0", 4) || HasAt(f, 0, "MM\0*", 4); }},
    {"a WebP picture", [](const BootBytes& f) { return HasAt(f, 0, "RIFF") && HasAt(f, 8, "WEBP"); }},
    {"a ZIP archive",
     [](const BootBytes& f) { return HasAt(f, 0, "PK\3\4") || HasAt(f, 0, "PK\5\6") || HasAt(f, 0, "PK\7\x08"); }},
    {"a gzip archive", IsGzip},
    {"a bzip2 archive", IsBzip2},
    {"an xz archive", [](const BootBytes& f) { return HasAt(f, 0, "\xFD" "7zXZ\0", 6); }},
    {"a 7z archive", [](const BootBytes& f) { return HasAt(f, 0, "7z\xBC\xAF\x27\x1C"); }},
    {"a RAR archive", [](const BootBytes& f) { return HasAt(f, 0, "Rar!\x1A\x07"); }},
    {"a zstd archive", [](const BootBytes& f) { return HasAt(f, 0, "\x28\xB5\x2F\xFD"); }},
    {"a tar archive", [](const BootBytes& f) { return HasAt(f, 257, "ustar"); }},
    {"a PDF document", [](const BootBytes& f) { return HasAt(f, 0, "%PDF-"); }},
    {"an ELF program", [](const BootBytes& f) { return HasAt(f, 0, "\x7F" "ELF"); }},
};

int HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte of the two hexadecimal digits at file[at], or -1 (also past the end).
int HexByteAt(const BootBytes& file, std::size_t at) {
  if (at + 2 > file.size()) return -1;
  const int high = HexValue(file[at]);
  const int low = HexValue(file[at + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string KnownFileKind(const BootBytes& file) {
  for (const Signature& signature : kSignatures) {
    if (signature.matches(file)) return signature.kind;
  }
  return std::string();
}

bool OpensWithIntelHexRecord(const BootBytes& file) {
  std::size_t at = HasAt(file, 0, "\xEF\xBB\xBF") ? 3 : 0;
  while (at < file.size() && (file[at] == ' ' || file[at] == '\t' || file[at] == '\r' || file[at] == '\n')) ++at;
  if (at >= file.size() || file[at] != ':') return false;
  const int n = HexByteAt(file, at + 1);
  if (n < 0) return false;
  // Length, address, type, data and checksum: n + 5 bytes in hexadecimal digits.
  std::uint32_t sum = 0;
  for (int i = 0; i < n + 5; ++i) {
    const int byte = HexByteAt(file, at + 1 + 2 * std::size_t(i));
    if (byte < 0) return false;
    sum += std::uint32_t(byte);
  }
  const std::size_t end = at + 1 + 2 * (std::size_t(n) + 5);
  const int type = HexByteAt(file, at + 7);
  return (sum & 0xFF) == 0 && type <= 5 && (end == file.size() || file[end] == '\r' || file[end] == '\n');
}

std::string ForeignFirmwareText(const BootBytes& file, FirmwareFormat format, const std::string& chosenPath) {
  if (!chosenPath.empty()) {
    if (const std::string owner = AutomaticFirmwareOwner(BaseName(chosenPath)); !owner.empty())
      return "Firmware file is for " + owner + ", not for this unit !!";
  }
  const std::string expected = format == FirmwareFormat::kRawImage ? "a processor image" : "Intel HEX firmware";
  if (const std::string kind = KnownFileKind(file); !kind.empty())
    return "Firmware file is " + kind + ", not " + expected + " !!";
  if (format == FirmwareFormat::kRawImage && OpensWithIntelHexRecord(file))
    return "Firmware file is Intel HEX (amplifier or Zel firmware), not a processor image !!";
  return std::string();
}

bool HexFirmwareHolds(ILoaderReport& log, const BootBytes& file, const std::string& chosenPath, HexScan& scan) {
  if (const std::string foreign = ForeignFirmwareText(file, FirmwareFormat::kIntelHex, chosenPath); !foreign.empty()) {
    log.LogLine(foreign, false);
    return false;
  }
  scan = ScanHexFile(file);
  if (!scan.wellFormed || scan.dataCharacters.empty()) {
    log.LogLine(kDamagedFirmwareText, false);
    return false;
  }
  return true;
}
