// Snapshot images, copies and the snapshot records of the system file.
#include "core/model/Snapshot.h"

#include "platform/Archive.h"

namespace {
constexpr std::uint32_t kSnapshotVersion = 1;
constexpr std::uint32_t kImageVersion = 1;
constexpr std::size_t kImageMinSize = 4;  // its version word
}  // namespace

void CSnapshotData::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteU32(kImageVersion);
    ArchiveUuid(ar, m_uuid);
    ar.WriteBool(m_flag);
    ar.WriteU32(GetLength());
    ar.WriteBytes(m_data.data(), m_data.size());
    return;
  }
  ReadRecordVersion(ar, kImageVersion, kImageVersion, "snapshot image record");
  ArchiveUuid(ar, m_uuid);
  m_flag = ar.ReadBool();
  const std::uint32_t length = ar.ReadU32();
  ar.CheckCount(length, 1);
  ar.ReadBytes(m_data, length);
}

void CSnapshot::Clear() {
  for (CSnapshotData* d : m_data) delete d;
  m_data.clear();
}

void CSnapshot::CopyFrom(const CSnapshot& other) {
  if (&other == this) return;
  Clear();
  for (const CSnapshotData* image : other.m_data) m_data.push_back(new CSnapshotData(*image));
}

void CSnapshot::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteU32(kSnapshotVersion);
    ArchiveUuid(ar, m_uuid);
    ar.WriteU32(std::uint32_t(m_data.size()));
    for (CSnapshotData* image : m_data) image->Serialize(ar);
    ar.WriteString(m_name);
    return;
  }
  ReadRecordVersion(ar, kSnapshotVersion, kSnapshotVersion, "snapshot record");
  ArchiveUuid(ar, m_uuid);
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kImageMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* image = new CSnapshotData;
    m_data.push_back(image);
    image->Serialize(ar);
  }
  m_name = ar.ReadString();
}
