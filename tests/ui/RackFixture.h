// A started system with devices of known tile sizes in zones, for the rack, the live meters
// and the zones' own tests; the system's posts are recorded.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "platform/Graphics.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingFrame.h"
#include "tests/support/TestDevices.h"

// A device whose rack tile is `height` high and whose monitor tile is `width` wide, each filled
// with its colour; it records the states it was drawn with, its meters-only redraws and how
// often its tiles were measured (drawn without a graphics).
class CSizedDevice : public CTestDevice {
 public:
  CSizedDevice(IDeviceHost* system, std::uint32_t id, int tileHeight, int tileWidth, CColour colour)
      : CTestDevice(system, id), height(tileHeight), width(tileWidth), fill(colour) {}

  int DrawTile(Graphics* g, const CRect& rect, int state) override {
    if (!g) ++measures;
    if (g && rect != CRect{}) {
      g->FillRectangle(CBrush::Solid(fill), CRectF::FromRect(rect));
      tileStates.push_back(state);
    }
    return height;
  }
  int DrawMonitorTile(Graphics* g, const CRect& rect, Graphics* dc, int state) override {
    (void)dc;
    if (!g) ++measures;
    if (g && rect != CRect{}) {
      g->FillRectangle(CBrush::Solid(fill), CRectF::FromRect(rect));
      monitorStates.push_back(state);
    }
    return width;
  }
  CRect GetExtraRect(Graphics* dc, const CRect& tile) override {
    (void)dc;
    ++meterRedraws;
    return CRect{tile.left + 2, tile.top + 2, tile.left + 6, tile.bottom - 2};
  }
  std::uint32_t HasWarnings() override { return warnings; }
  std::string GetStatusText() override { return status; }

  int height;
  int width;
  CColour fill;
  std::uint32_t warnings = 0;
  std::string status;
  std::vector<int> tileStates;
  std::vector<int> monitorStates;
  int meterRedraws = 0;
  int measures = 0;
};

class RackFixture : public ::testing::Test {
 protected:
  void SetUp() override { system.Start(&sink); }
  void TearDown() override { system.GetComms().StopCommsThread(); }

  CZone& Zone(std::size_t i) { return *system.GetZones()[i]; }
  CZone& AddZone(const std::string& name) {
    auto* zone = new CZone(&system);
    zone->SetName(name);
    system.AppendZone(zone);
    return *zone;
  }
  CSizedDevice& AddDevice(CZone& zone, int tileHeight = 30, int tileWidth = 60, CColour colour = CColour{0xFF2040C0u}) {
    auto* device = new CSizedDevice(&system, std::uint32_t(system.GetDeviceCount() + 1), tileHeight, tileWidth, colour);
    system.AppendDevice(device);
    zone.AppendDevice(device);
    return *device;
  }
  std::size_t Posted(std::uint32_t message) const { return sink.Count(message); }

  CRecordingFrame sink;
  CSystem system;
};
