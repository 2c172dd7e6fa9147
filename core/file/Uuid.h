// 16-byte UUIDs of devices, custom panels and snapshots.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

class CArchive;

struct CUuid {
  std::array<std::uint8_t, 16> bytes{};

  bool IsNil() const {
    for (auto b : bytes)
      if (b) return false;
    return true;
  }
  std::string ToString() const;  // lower-case 8-4-4-4-12 form, for logs and tests
  friend bool operator==(const CUuid&, const CUuid&) = default;
  friend auto operator<=>(const CUuid&, const CUuid&) = default;
};

// Hash of a UUID for unordered containers: UUIDs are random, so their first eight bytes hash
// them well.
struct CUuidHash {
  std::size_t operator()(const CUuid& uuid) const {
    std::uint64_t h;
    std::memcpy(&h, uuid.bytes.data(), sizeof h);
    return std::size_t(h);
  }
};

// The nil UUID when nil is set, else a fresh random version-4 UUID. Any thread.
CUuid MakeUuid(bool nil = false);
// Copies source into target unless they are the same object.
void AssignUuid(CUuid& target, const CUuid& source);
// Stores or loads the 16 bytes through the archive, in order, with no version word.
void ArchiveUuid(CArchive& ar, CUuid& uuid);
