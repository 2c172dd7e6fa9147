// The device rack: every zone of the system as a 20 px header followed by the tiles of its
// devices, drawn by their families into a back buffer the size of the window, scrolled
// vertically. Select, double click to open a panel, drag to reorder, collapse and rename zones,
// tooltips and the warning blink. UI thread.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/Types.h"
#include "ui/ZoneView.h"

class CErrorTip;
class QLineEdit;

class CDeviceRack : public CZoneView {
 public:
  explicit CDeviceRack(QWidget* parent = nullptr);
  ~CDeviceRack() override;

  // Rebuilds the layout and the back buffer and repaints everything, after any device or
  // zone change.
  void Refresh();
  // The warning blink of the frame's 333 ms timer: only blinking tiles and those that stopped
  // blinking are redrawn.
  void UpdateDevice(bool blinkPhase);
  // 1 when a tile lies under the window point, -1 otherwise.
  int IsDeviceAt(int x, int y);
  // True when the window point lies on a zone's header or tile (where the context menu opens).
  bool IsZoneAt(int x, int y);

  // Content geometry (content y = window y + scroll position).
  int GetContentHeight();
  int GetClientWidth() const;
  CRect GetDeviceRect(const CDevice* device) override;
  void EachDeviceRect(const TileVisitor& each) override;
  CRect GetZoneHeaderRect(const CZone* zone);
  CZone* FindZoneOfDevice(const CDevice* device) const;
  void Rebuild() override;
  // The index of the zone being renamed, -1 when none; the editor while renaming.
  int GetRenameZone() const { return m_nRenameZone; }
  QLineEdit* GetRenameEditor() const { return m_edit; }
  // The tip that says why a zone name was refused; null before the first refusal.
  CErrorTip* GetRefusalTip() const { return m_refusalTip; }
  static constexpr int kRefusalTipMs = 3000;
  void BeginRename(int zoneIndex);
  void EndRename(bool apply);
  CDevice* GetDragDevice() const { return m_pDragDevice; }

  // Where the context menu is shown (the device view); global screen point.
  void SetContextMenuHandler(std::function<void(const QPoint&)> handler) { m_onContextMenu = std::move(handler); }

  // Mouse steps at a window point (the Qt events end up here; tests call them too).
  enum class Mouse { LeftDown, LeftUp, DoubleClick, RightDown, Move, Leave };
  void HandleMouse(Mouse message, int x, int windowY);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void AnimateZone(CZone& zone) override;
  bool IsZoneAnimating(const CZone& zone) const override;
  void ForgetDeletedDevices() override;
  void RedrawTile(CDevice* device, const CRect& tile, int state) override;
  void DrawAll(const CRect& rect) override;

 private:
  void DrawSelection(const CRect& tile);
  void FillBackground(const CRect& rect);
  void SelectDevice(CDevice* device);
  void DragStep(int contentY);
  void Post(std::uint32_t message, const CDevice* device = nullptr);
  // The rename editor over the name area of its zone's header, in window coordinates.
  void PlaceRenameEditor();

  QLineEdit* m_edit = nullptr;
  CErrorTip* m_refusalTip = nullptr;
  CDevice* m_pDragDevice = nullptr;
  int m_nRenameZone = -1;
  std::function<void(const QPoint&)> m_onContextMenu;
};
