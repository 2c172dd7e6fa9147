// Snapshots: named sets of per-device setting images, recalled in one go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Uuid.h"

// One device's settings image; opaque to everyone but the device's family.
class CSnapshotData {
 public:
  CSnapshotData() : m_uuid(MakeUuid()) {}
  CSnapshotData(const CSnapshotData& other) = default;
  CSnapshotData& operator=(const CSnapshotData&) = default;
  const CUuid& GetUuid() const { return m_uuid; }
  std::uint32_t GetLength() const { return std::uint32_t(m_data.size()); }

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
  // Deletes every image.
  void Clear();

  std::string m_name;
  CUuid m_uuid;
  std::vector<CSnapshotData*> m_data;  // owning, in device-list order at capture
};
