// A small device family for tests: three parameters kept in memory, every change recorded,
// a merge mask chosen by the test; a control panel and a custom panel view that record calls.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "custom/CPData.h"
#include "core/model/ControlPanel.h"
#include "core/model/Device.h"

class CControlMessage;

// Parameter ids of the test family.
enum : int { kTestGain = 1, kTestMute = 2, kTestLabel = 3 };

class CTestDevice : public CDevice {
 public:
  // Type code of the test family (no real family uses it).
  static constexpr std::uint32_t kTypeCode = 250;

  CTestDevice(IDeviceHost* system, std::uint32_t deviceId, IMessageSink* frame = nullptr)
      : CDevice(system, kTypeCode, deviceId, frame, 0) {}
  ~CTestDevice() override { Queue().ClearQueue(); }

  const char* GetControlPanelClass() override { return "CTestControlPanel"; }
  std::string GetModelName() override { return "Test Model"; }
  CParamInfo GetParameterAt(int n) override;
  CParamValue GetCurrentValue(int parameterId) override;
  // Stores the value, queues a write when queueing is on, then runs the base behaviour.
  void ApplyControlChange(const CParamValue& value) override;
  std::uint32_t GetMessageMergeMask(const CControlMessage& message) override;
  // The test family queues whatever frame a test gives it.
  using CDevice::QueueMessage;

  // Builds a write message: command, then the frame bytes given.
  static std::unique_ptr<CControlMessage> MakeMessage(std::uint32_t command,
                                                      std::vector<std::uint8_t> frame);
  // Raises the connection level to connected (three good replies).
  void Connect();

  std::uint32_t mergeMask = 0;
  bool queueChanges = false;
  std::vector<CParamValue> applied;  // every change that reached this device, in order
  std::map<int, CParamValue> values;
};

class CTestControlPanel : public CControlPanel {
 public:
  void NotifyParameterChanged(const CParamValue& value) override { notified.push_back(value); }
  void UpdateAllControls() override { ++updateAllCount; }
  void DestroyPanelWindow() override { ++destroyCount; }

  std::vector<CParamValue> notified;
  int updateAllCount = 0;
  int destroyCount = 0;
};

class CTestCustomPanelView : public CCustomControlPanel {
 public:
  struct Update {
    CDevice* device;
    std::uint32_t parameterId;
  };
  void BroadcastParameterUpdate(CDevice* device, std::uint32_t parameterId) override {
    updates.push_back({device, parameterId});
  }
  void BroadcastSnapshotRecalled(const CUuid& snapshot) override { recalled.push_back(snapshot); }
  void DestroyPanelWindow() override { ++destroyCount; }
  void RebuildDisplay() override { ++rebuildCount; }

  std::vector<Update> updates;
  std::vector<CUuid> recalled;
  int destroyCount = 0;
  int rebuildCount = 0;
};

// A custom widget that counts its deletion.
class CTestWidget : public CCustomControlObject {
 public:
  explicit CTestWidget(int* deleted = nullptr) : m_deleted(deleted) {}
  ~CTestWidget() override {
    if (m_deleted) ++*m_deleted;
  }
  std::uint32_t GetControlType() const override { return kControlBitmap; }

 private:
  int* m_deleted;
};
