// A named, collapsible group of devices in the device rack and the live-meter strip: its data,
// its record in the system file and the moves that reorder its devices.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ObjectHandle.h"
#include "platform/Types.h"

class CArchive;
class CDevice;
class CSystem;
class Graphics;
struct CUuid;

// Height of a zone's header row in the rack and width of its header column in the strip.
inline constexpr int kZoneHeaderSize = 20;

// UI thread. A zone holds its devices by pointer and never owns them.
class CZone {
 public:
  explicit CZone(CSystem* system) : m_pSystem(system) {}

  // Names the zone in posted messages (the frame looks it up in the system's zones).
  std::uint64_t GetHandle() const { return m_handle.Value(); }

  const std::string& GetName() const { return m_name; }
  void SetName(const std::string& name) { m_name = name; }

  const std::vector<CDevice*>& GetDevices() const { return m_devices; }
  bool HasDevice(const CDevice* device) const;
  void AppendDevice(CDevice* device) { m_devices.push_back(device); }
  // False when the device is not in the zone.
  bool RemoveDevice(const CDevice* device);
  // Puts the device before all others. Always true.
  bool InsertDeviceFirst(CDevice* device);
  // One place towards the front; false when it is the first entry or not in the zone.
  bool MoveDeviceUp(const CDevice* device);
  // One place towards the back; false when it is the last entry or not in the zone.
  bool MoveDeviceDown(const CDevice* device);

  // u32 version 1, name, u32 collapsed in the rack, u32 collapsed in the strip, u32 device
  // count and each device's 16 UUID bytes. Loading a record of another version throws
  // (NewerVersion for a later one); each stored UUID is looked up among the owning system's devices and a UUID that
  // names none is dropped. Throws CArchiveException on short or bad data.
  void Serialize(CArchive& ar);
  // The same, looking devices up with findDevice (which answers null to drop a UUID).
  using DeviceLookup = std::function<CDevice*(const CUuid&)>;
  void Serialize(CArchive& ar, const DeviceLookup& findDevice);

  // --- The rack (vertical) and the live-meter strip (horizontal) ---
  // Coordinates are content pixels. A null graphics draws nothing and only measures; with a
  // graphics, only the header and tiles within its clip bounds are drawn.
  // Draws the zone at the area's left, top and right edges; returns its height: the animated
  // height while the rack animation runs (unless fullHeight), else 20 plus the tile heights
  // (20 alone for a collapsed zone).
  int Draw(Graphics* g, const CRect& area, bool fullHeight);
  void DrawHeader(Graphics& g, const CRect& header);
  // Draws the zone from the area's left edge between its top and bottom; returns its width as
  // Draw does its height. dc is where the families draw their meters (may be g itself).
  int DrawMeters(Graphics* g, const CRect& area, Graphics* dc, bool fullWidth);
  void DrawMeterHeader(Graphics& g, const CRect& column);

  // The tile of a device of this zone, or the empty rectangle when it is not here or not shown.
  // cursor enters holding the zone's top (rack) or left edge (strip) and leaves past the zone.
  CRect GetDeviceRect(const CDevice* device, CRect& cursor);
  CRect GetMeterRect(const CDevice* device, CRect& cursor);
  // Each device of this zone whose tile is shown, with that tile, in order: the tiles that
  // GetDeviceRect and GetMeterRect give, in one walk of the zone. The cursor moves as theirs.
  using TileVisitor = std::function<void(CDevice*, const CRect&)>;
  void EachDeviceRect(CRect& cursor, const TileVisitor& each);
  void EachMeterRect(CRect& cursor, const TileVisitor& each);
  // The device whose tile holds the point, else null; the cursor moves past the zone. Tiles of
  // a zone that is collapsing are still hit, those of one that is expanding are not.
  CDevice* HitTestDevice(int x, int y, CRect& cursor);
  CDevice* HitTestMeter(int x, int y, CRect& cursor);

  // A click on the header's arrow starts the collapse or the expansion; a click elsewhere or
  // during an animation does nothing.
  void OnHeaderClick(CPoint point, const CRect& header);
  void OnMeterHeaderClick(CPoint point, const CRect& column);
  // One 33 ms tick of the rack's or the strip's animation.
  void AnimateStep();
  void AnimateMeterStep();

  CSystem* m_pSystem;
  std::vector<CDevice*> m_devices;
  std::string m_name = "Zone";
  bool m_bCollapsed = false;       // in the device rack
  bool m_bMeterCollapsed = false;  // in the live-meter strip
  // Collapse animations: state 0 still, 1 collapsing, 2 expanding; the height (rack) or width
  // (strip) in pixels of the whole zone while a state runs. Not stored.
  std::int32_t m_nAnimState = 0;
  std::int32_t m_nAnimHeight = 0;
  std::int32_t m_nMeterAnimState = 0;
  std::int32_t m_nMeterAnimWidth = 0;

 private:
  // The steps of one animation: collapsing shrinks by `large` while the size is at least
  // `largeFrom`, else by `small`; expanding grows by `large`.
  struct CAnimationSteps {
    int large;
    int small;
    int largeFrom;
  };
  // One tick of an animation in state (1 collapsing, 2 expanding); true when it ended, with
  // the state still and the collapsed flag and the size as the end leaves them.
  static bool AnimationTick(std::int32_t& state, std::int32_t& size, bool& collapsed, const CAnimationSteps& steps,
                            int fullSize);
  // Posts the message about this zone (its handle) to the owner's frame.
  void Post(std::uint32_t message);

  CObjectHandle m_handle;
};
