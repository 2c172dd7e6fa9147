// Where a device's control panel goes: the panel frame's placement, its place in the order of
// the open panels, and whether a loaded record's panel was open when it was stored. The device's
// record (CDevice::Serialize) and its data stream carry them in one run of words.
#pragma once

#include <array>
#include <cstdint>

class CArchive;
class CDataStream;
struct CWindowPlacement;

// UI thread, except that the worker reads the words through the device's record when it prints
// what the record stores (CDevice::StoredPrint, under the system's lock).
class CPanelPlacement {
 public:
  CPanelPlacement() = default;
  CPanelPlacement(const CPanelPlacement&) = delete;
  CPanelPlacement& operator=(const CPanelPlacement&) = delete;

  // Set by loading a record whose panel was open when it was stored; the frame reads and
  // clears it before it reopens the panel. Never a window pointer.
  bool WasPanelOpenWhenStored() const { return m_panelWasOpen; }
  void ClearPanelWasOpen() { m_panelWasOpen = false; }
  // 0 closed, open panels 1 to m with the highest on top.
  std::int32_t GetPanelOrder() const { return m_panelOrder; }
  void SetPanelOrder(std::int32_t order) { m_panelOrder = order; }
  // The panel frame's placement (positions and normal rectangle in window terms).
  CWindowPlacement GetPanelPlacement() const;
  void SetPanelPlacement(const CWindowPlacement& placement);

  // The record's run: the placement block (its length word, then minimised before maximised),
  // whether the panel is open (panelOpen), and the order. Loading takes the open word as the
  // mark of a panel open when stored and puts the normal rectangle's edges in order. Loading
  // errors throw CArchiveException.
  void Store(CArchive& ar, bool panelOpen) const;
  void Load(CArchive& ar);
  // The same run in a data stream, which keeps the device's own order (the maximised point is
  // the first position). A stream error throws CStreamError, leaving what was read taken.
  void Stream(CDataStream& ds, bool panelOpen);

 private:
  // Placement words in the device's own order.
  enum {
    kPlFlags,
    kPlShowCmd,
    kPlMaxX,
    kPlMaxY,
    kPlMinX,
    kPlMinY,
    kPlLeft,
    kPlTop,
    kPlRight,
    kPlBottom,
    kPlacementWords
  };

  bool m_panelWasOpen = false;
  std::array<std::int32_t, kPlacementWords> m_placement{0, 3, -1, -1, -1, -1, -1, -1, 500, 500};
  std::int32_t m_panelOrder = 0;
};
