// Snapshots: named sets of per-device setting images, recalled in one go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/file/Uuid.h"

class CArchive;

// One device's settings image; opaque to everyone but the device's family.
class CSnapshotData {
 public:
  CSnapshotData() : m_uuid(MakeUuid()) {}
  CSnapshotData(const CUuid& device, std::vector<std::uint8_t> bytes, bool flag = true)
      : m_uuid(device), m_flag(flag), m_data(std::move(bytes)) {}
  // Copies UUID, flag and bytes into a buffer of its own.
  CSnapshotData(const CSnapshotData& other) = default;
  CSnapshotData& operator=(const CSnapshotData&) = default;
  const CUuid& GetUuid() const { return m_uuid; }
  std::uint32_t GetLength() const { return std::uint32_t(m_data.size()); }

  // u32 version 1, 16 device UUID bytes, BOOL flag, u32 length, the bytes. A record of a later
  // version throws NewerVersion and one of version 0 BadFormat: records carry no length, so
  // reading on would take its fields for the next record's. A length beyond the data left throws
  // before any allocation.
  void Serialize(CArchive& ar);

  CUuid m_uuid;  // the device's
  bool m_flag = false;
  std::vector<std::uint8_t> m_data;
};

class CSnapshot {
 public:
  explicit CSnapshot(const std::string& name) : m_name(name), m_uuid(MakeUuid()) {}
  ~CSnapshot() { Clear(); }
  CSnapshot(const CSnapshot&) = delete;
  CSnapshot& operator=(const CSnapshot&) = delete;

  const CUuid& GetUuid() const { return m_uuid; }
  std::string GetName() const { return m_name; }
  // Deletes every image.
  void Clear();
  // Replaces the images by copies of the other's, in order; name and UUID stay.
  void CopyFrom(const CSnapshot& other);

  // u32 version 1, 16 UUID bytes, u32 image count, the images, then the name. A record of
  // another version throws, as an image of one does (NewerVersion for a later one). Throws
  // CArchiveException on short or bad data.
  void Serialize(CArchive& ar);

  std::string m_name;
  CUuid m_uuid;
  std::vector<CSnapshotData*> m_data;  // owning, in device-list order at capture
};
