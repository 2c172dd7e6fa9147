// Device families for tests of the system file, links and snapshots: a device that keeps a
// name, a level and a label in its own record and makes a one-byte-per-field settings image,
// registered under two type codes (one of which makes no snapshot image).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/model/Device.h"

class CFileTestDevice : public CDevice {
 public:
  // Type codes no real family uses: the first makes snapshot images, the second does not.
  static constexpr std::uint32_t kImagingType = 240;
  static constexpr std::uint32_t kPlainType = 241;
  // Its parameters.
  static constexpr int kLevel = 1;
  static constexpr int kTrim = 2;

  CFileTestDevice(IDeviceHost* system, std::uint32_t typeCode, std::uint32_t deviceId, IMessageSink* frame,
                  std::uint32_t modelIndex)
      : CDevice(system, typeCode, deviceId, frame, modelIndex) {}
  ~CFileTestDevice() override { Queue().ClearQueue(); }

  const char* GetControlPanelClass() override { return nullptr; }
  std::string GetModelName() override { return "File Test"; }
  CParamValue GetCurrentValue(int parameterId) override;
  void ApplyControlChange(const CParamValue& value) override;
  // Base record, then the name, level, trim and label.
  void Serialize(CArchive& ar) override;
  CSnapshotData* CreateSnapshotData() override;
  void ApplySnapshotData(const CSnapshotData& data) override;

  std::int32_t level = 0;
  std::int32_t trim = 0;
  std::string label;
  std::vector<CParamValue> applied;   // changes in the order they arrived
  int snapshotsApplied = 0;
};

// Registers both type codes with the device factory.
void RegisterFileTestDevices();
