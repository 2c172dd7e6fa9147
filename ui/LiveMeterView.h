// The "System Monitor" strip: every device's monitor tile grouped by zones, left to right,
// scrolled horizontally. Meter replies only queue their device; every 20 ms the queue is
// drained and only what changed is drawn into the back buffer and painted. UI thread.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Types.h"
#include "ui/ZoneView.h"

class CLiveMeterView : public CZoneView {
 public:
  // The queue's timer and its period.
  static constexpr std::uint32_t kDrainTimer = 99;
  static constexpr std::uint32_t kDrainPeriodMs = 20;

  explicit CLiveMeterView(QWidget* parent = nullptr);
  ~CLiveMeterView() override;

  // Queues a redraw of the device's tile: meterOnly 1 when only its meters changed, 0 for the
  // whole tile. A strip that has grown since it was laid out is rebuilt instead.
  void AddDevice(CDevice* device, std::intptr_t meterOnly);
  // Rebuilds and repaints everything.
  void Redraw();
  // Re-lays out the strip, remaking the back buffer when the window's size changed, and redraws
  // what the window shows.
  void Rebuild() override;
  // The warning blink of the frame's 333 ms timer.
  void UpdateDeviceMeters(bool blinkPhase);
  // Drains the queue (the 20 ms timer).
  void DrainQueue();

  int GetContentWidth();
  int GetClientHeight() const;
  CRect GetDeviceRect(const CDevice* device) override;
  void EachDeviceRect(const TileVisitor& each) override;
  CRect GetZoneHeaderRect(const CZone* zone);
  std::size_t GetQueueSize() const { return m_queueDevices.size(); }
  // The content area painted by the last drain (empty when nothing was drawn).
  CRect GetLastDrainRect() const { return m_lastDrain; }

  // A left button press and a double click at a window point.
  void HandleClick(int x, int y);
  void HandleDoubleClick(int x, int y);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void OnTimer(std::uint32_t id) override;
  void AnimateZone(CZone& zone) override;
  bool IsZoneAnimating(const CZone& zone) const override;
  void ForgetDeletedDevices() override;
  void RedrawTile(CDevice* device, const CRect& tile, int state) override;
  void DrawAll(const CRect& rect) override;

 private:
  void FillBackground(const CRect& rect);

  std::vector<CDevice*> m_queueDevices;
  std::vector<std::intptr_t> m_queueFlags;
  CRect m_lastDrain;
  int m_laidOutWidth = 0;  // the larger of the content and the window at the last layout
};
