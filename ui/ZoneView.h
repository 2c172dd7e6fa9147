// What the device rack and the live-meter strip share: the zones of the system drawn into a
// back buffer the size of the window, holding the part of the content the window shows (only
// the tiles there are drawn, and a scroll draws the newly shown part), a scroll bar on the
// scroll axis, the zone animation timers, device tooltips and the devices drawn in each blink
// phase. UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/Types.h"
#include "ui/NumberedTimers.h"

class CDevice;
class CImage;
class CSystem;
class CZone;
class Graphics;
class QScrollBar;

// The background of both views: a vertical gradient.
inline constexpr CColour kRackBackgroundTop{0xFF7D7D7Du};
inline constexpr CColour kRackBackgroundBottom{0xFF191919u};

class CZoneView : public CNumberedTimerWidget {
 public:
  ~CZoneView() override;

  // Set by the frame before the view is shown; not owned. The view is rebuilt at once.
  void SetSystem(CSystem* system);
  CSystem* GetSystem() const { return m_pSystem; }

  // Scrolling along the view's axis: 5 px a line, 30 px a page, limited to the content.
  enum class Scroll { LineBack, LineForward, PageBack, PageForward, Start, End };
  void ScrollBy(Scroll step);
  void ScrollTo(int position);
  int GetScrollPos() const { return m_scrollPos; }
  bool IsScrollBarShown() const;

  // The tile of a device in content coordinates, empty when it is not shown.
  virtual CRect GetDeviceRect(const CDevice* device) = 0;
  // Each device whose tile is shown, with its tile, in one walk of the zones.
  using TileVisitor = std::function<void(CDevice*, const CRect&)>;
  virtual void EachDeviceRect(const TileVisitor& each) = 0;
  // Lays the zones out again and redraws the whole back buffer.
  virtual void Rebuild() = 0;

  // A zone's animation timer: 101 plus the zone's index when that id is free, else the next
  // free id up to 200. Ticks go to that zone, wherever it stands in the list by then, so a
  // zone deleted meanwhile leaves the others moving; the timer stops when its zone ends its
  // animation or is gone.
  void StartZoneTimer(const CZone* zone, std::uint32_t periodMs);
  void StopZoneTimer(const CZone* zone);
  // The id of the zone's running timer, 0 when none.
  std::uint32_t GetZoneTimer(const CZone* zone) const;

  // The back buffer (tests and the benchmark): window pixels, content moved by the scroll
  // position along the scroll axis.
  const CImage* GetBackBuffer() const { return m_backBuffer.get(); }

 protected:
  // vertical: the rack (scrolls up and down); otherwise the strip (left and right). A device
  // without a name shows "ID : <id>" as its tooltip title when idWhenNameEmpty is set.
  CZoneView(bool vertical, bool idWhenNameEmpty, QWidget* parent);

  // The zone's own animation step and whether it runs, on this view's axis.
  virtual void AnimateZone(CZone& zone) = 0;
  virtual bool IsZoneAnimating(const CZone& zone) const = 0;
  // Drops every device that is no longer in the system from the view's lists.
  virtual void ForgetDeletedDevices();

  // The window's length along the scroll axis.
  int WindowExtent() const;
  // Shows or hides the bar for content of this length and keeps the position within it.
  void LayOut(int content);
  // The position after the window changed size: within content - window, not below 0.
  void ClampToWindow();
  // Makes the back buffer this size (the window's, less the scroll bar) when it is not, with a
  // graphics on it that draws content coordinates at the current scroll position.
  void EnsureBuffer(int width, int height);
  // The content the back buffer holds, and whether a content rectangle lies in it.
  CRect VisibleContent() const;
  bool IsShown(const CRect& contentRect) const;
  // Draws what lies in rect (content coordinates) into the back buffer.
  virtual void DrawAll(const CRect& rect) = 0;
  void InvalidateContent(const CRect& rect);
  CPoint ToContent(const QPoint& window) const;
  // The device whose tile holds the content point, or null; tile is set to its tile.
  CDevice* DeviceAt(const CPoint& content, CRect& tile);
  // Draws the device's tile again in the state when it has warnings and is connected (and
  // lists it as drawn in this phase), or in stopState when it was listed in the other phase.
  // Tiles that are not shown are skipped unless listShownOnly is false. Only those devices'
  // tiles are looked for, all in one walk: a rack of thousands of quiet units costs a glance at
  // each unit per phase.
  void Blink(bool phase, int state, int stopState, bool listShownOnly);
  virtual void RedrawTile(CDevice* device, const CRect& tile, int state) = 0;

  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool event(QEvent* event) override;
  void OnTimer(std::uint32_t id) override;

  std::unique_ptr<CImage> m_backBuffer;
  std::unique_ptr<Graphics> m_pGraphics;
  CSystem* m_pSystem = nullptr;
  QScrollBar* m_scrollBar;
  std::vector<CDevice*> m_litDevices;    // drawn in the warning look in the last phase "false"
  std::vector<CDevice*> m_unlitDevices;  // drawn normally in the last phase "true"
  int m_scrollPos = 0;
  int m_content = 0;  // content length along the scroll axis

 private:
  void ApplyScrollBar();
  // Draws the back buffer again for the scroll position when it holds another part.
  void FollowScroll();

  int m_bufferOrigin = 0;  // the scroll position the back buffer was drawn at
  bool m_vertical;
  bool m_idWhenNameEmpty;
  // Running zone timers by id.
  std::map<std::uint32_t, const CZone*> m_zoneTimers;
};
