// Device families for tests of the system file, links and snapshots.
#include "tests/support/FileTestDevices.h"

#include "core/model/DeviceFactory.h"
#include "core/model/Snapshot.h"
#include "platform/Archive.h"

CParamValue CFileTestDevice::GetCurrentValue(int parameterId) {
  if (parameterId == kLevel) return MakeIntParamValue(kLevel, level);
  if (parameterId == kTrim) return MakeIntParamValue(kTrim, trim);
  return CDevice::GetCurrentValue(parameterId);
}

void CFileTestDevice::ApplyControlChange(const CParamValue& value) {
  applied.push_back(value);
  if (value.id == kLevel) level = value.integer;
  if (value.id == kTrim) trim = value.integer;
  CDevice::ApplyControlChange(value);
}

void CFileTestDevice::Serialize(CArchive& ar) {
  CDevice::Serialize(ar);
  if (ar.IsStoring()) {
    ar.WriteString(m_name);
    ar.WriteI32(level);
    ar.WriteI32(trim);
    ar.WriteString(label);
  } else {
    m_name = ar.ReadString();
    level = ar.ReadI32();
    trim = ar.ReadI32();
    label = ar.ReadString();
  }
}

CSnapshotData* CFileTestDevice::CreateSnapshotData() {
  if (GetTypeCode() != kImagingType) return nullptr;
  return new CSnapshotData(GetUuid(), {std::uint8_t(level), std::uint8_t(trim)});
}

void CFileTestDevice::ApplySnapshotData(const CSnapshotData& data) {
  ++snapshotsApplied;
  if (data.m_data.size() >= 2) {
    level = data.m_data[0];
    trim = data.m_data[1];
  }
}

void RegisterFileTestDevices() {
  auto create = [](IDeviceHost* system, IMessageSink* frame, std::uint32_t typeCode, std::uint32_t deviceId,
                   std::uint32_t modelIndex) -> CDevice* {
    return new CFileTestDevice(system, typeCode, deviceId, frame, modelIndex);
  };
  RegisterDeviceCreator(CFileTestDevice::kImagingType, create);
  RegisterDeviceCreator(CFileTestDevice::kPlainType, create);
}
