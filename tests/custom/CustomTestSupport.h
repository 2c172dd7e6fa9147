// Byte helpers and an id lookup for the tests of custom panel and image records.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "custom/CPData.h"
#include "custom/CustomControlObject.h"
#include "core/model/DeviceProperty.h"
#include "tests/support/CollectingGrid.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "core/file/Uuid.h"
#include "tests/support/FileTestDevices.h"

using Bytes = std::vector<std::uint8_t>;

inline void PutU32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}
inline void PutU32At(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
inline std::uint32_t GetU32At(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
inline void PutUuid(Bytes& b, const CUuid& id) { b.insert(b.end(), id.bytes.begin(), id.bytes.end()); }
// An ASCII text in the archive's wide form (shorter than 255 characters).
inline void PutText(Bytes& b, const std::string& ascii) {
  b.insert(b.end(), {0xFF, 0xFE, 0xFF, std::uint8_t(ascii.size())});
  for (char ch : ascii) b.insert(b.end(), {std::uint8_t(ch), 0});
}
// The first index where the two differ (a length difference counts), -1 when equal.
inline long FirstDifference(const Bytes& a, const Bytes& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return long(i);
  return a.size() == b.size() ? -1 : long(n);
}

// Ids a test has named, and nothing else.
class CTestLookup : public CRecordLookup {
 public:
  CDevice* FindDevice(const CUuid& id) const override { return Find(devices, id); }
  CCPData* FindPanel(const CUuid& id) const override { return Find(panels, id); }
  CCCImage* FindImage(const CUuid& id) const override { return Find(images, id); }

  std::map<CUuid, CDevice*> devices;
  std::map<CUuid, CCPData*> panels;
  std::map<CUuid, CCCImage*> images;

 private:
  template <class T>
  static T* Find(const std::map<CUuid, T*>& map, const CUuid& id) {
    auto it = map.find(id);
    return it == map.end() ? nullptr : it->second;
  }
};

// A panel view that hands out its panel and records what the widgets and the panel ask of it.
class CRecordingView : public CCustomControlPanel {
 public:
  void BroadcastParameterUpdate(CDevice*, std::uint32_t) override {}
  void BroadcastSnapshotRecalled(const CUuid&) override {}
  void DestroyPanelWindow() override {}
  CCPData* GetPanelData() const override { return panel; }
  void RebuildDisplay() override { ++rebuilds; }
  void SetPanelTitle(const std::string& name) override { title = name; }
  void RedrawRect(const CRect& rect) override { repainted.push_back(rect); }
  void RedrawControl(CCustomControlObject*) override { ++redraws; }

  CCPData* panel = nullptr;
  int rebuilds = 0;
  int redraws = 0;
  std::string title;
  std::vector<CRect> repainted;
};

// Puts the typed value into the row as the grid would read it back.
inline void Type(CDeviceProperty& row, const std::string& text) {
  row.SetEditText(text);
  row.SetVariant(row.GetValueAsVariant());
}

