// Snapshots: named sets of per-device settings images, recalled in one go.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Uuid.h"

class CArchive;

// One device's settings image. Its bytes are opaque here: the device family makes and reads them.
class CSnapshotData {
 public:
  CSnapshotData() = default;
  CSnapshotData(const CUuid& device, std::vector<std::uint8_t> bytes, bool flag = true)
      : m_uuid(device), m_flag(flag), m_data(std::move(bytes)) {}
  CSnapshotData(const CSnapshotData& other) = default;
  CSnapshotData& operator=(const CSnapshotData& other) = default;

  CUuid GetUuid() const { return m_uuid; }
  std::uint32_t GetLength() const { return std::uint32_t(m_data.size()); }
  const std::vector<std::uint8_t>& GetData() const { return m_data; }

  // u32 version 1, 16 device UUID bytes, BOOL flag, u32 length, the bytes. A record of another
  // version reads nothing more; a length beyond the data left throws before anything is allocated.
  void Serialize(CArchive& ar);

  CUuid m_uuid = MakeUuid();
  bool m_flag = false;
  std::vector<std::uint8_t> m_data;
};

class CSnapshot {
 public:
  explicit CSnapshot(const std::string& name) : m_name(name), m_uuid(MakeUuid()) {}

  std::string GetName() const { return m_name; }
  void SetName(const std::string& name) { m_name = name; }
  CUuid GetUuid() const { return m_uuid; }

  void Clear() { m_data.clear(); }
  // Replaces the images by copies of the other snapshot's, in order; name and UUID stay.
  void CopyFrom(const CSnapshot& other);

  // u32 version 1, 16 UUID bytes, u32 image count, the images, then the name.
  void Serialize(CArchive& ar);

  std::string m_name;
  CUuid m_uuid;
  std::vector<std::unique_ptr<CSnapshotData>> m_data;
};

using CSnapshotList = std::vector<std::unique_ptr<CSnapshot>>;
