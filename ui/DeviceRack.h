// The device rack: every zone of the system as a 20 px header followed by the tiles of its
// devices, drawn by their families into one back buffer as high as the content, scrolled
// vertically. Select, double click to open a panel, drag to reorder, collapse and rename zones,
// tooltips and the warning blink. UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Types.h"
#include "ui/NumberedTimers.h"

class CDevice;
class CImage;
class CSystem;
class CZone;
class Graphics;
class QLineEdit;
class QScrollBar;

// The background of the rack and the live meters: a vertical gradient over the whole content.
inline constexpr CColour kRackBackgroundTop{0xFF7D7D7Du};
inline constexpr CColour kRackBackgroundBottom{0xFF191919u};

class CDeviceRack : public CNumberedTimerWidget {
 public:
  explicit CDeviceRack(QWidget* parent = nullptr);
  ~CDeviceRack() override;

  // Set by the frame before the rack is shown; not owned.
  void SetSystem(CSystem* system);
  CSystem* GetSystem() const { return m_pSystem; }

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
  int GetScrollPos() const { return m_scrollPos; }
  bool IsScrollBarShown() const;
  // The tile of a device, or the empty rectangle when it is not shown.
  CRect GetDeviceRect(const CDevice* device);
  CRect GetZoneHeaderRect(const CZone* zone);
  CZone* FindZoneOfDevice(const CDevice* device) const;

  // Scroll steps as the scroll bar and the wheel give them.
  enum class Scroll { LineUp, LineDown, PageUp, PageDown, Top, Bottom };
  void ScrollBy(Scroll step);
  void ScrollTo(int position);

  // The back buffer (tests and the benchmark).
  const CImage* GetBackBuffer() const { return m_backBuffer.get(); }
  // The index of the zone being renamed, -1 when none; the editor while renaming.
  int GetRenameZone() const { return m_nRenameZone; }
  QLineEdit* GetRenameEditor() const { return m_edit; }
  void BeginRename(int zoneIndex);
  void EndRename(bool apply);
  CDevice* GetDragDevice() const { return m_pDragDevice; }

  // Where the context menu is shown (the device view); global screen point.
  void SetContextMenuHandler(std::function<void(const QPoint&)> handler) { m_onContextMenu = std::move(handler); }

  // Mouse steps at a window point (the Qt events end up here; tests call them too).
  enum class Mouse { LeftDown, LeftUp, DoubleClick, RightDown, Move, Leave };
  void HandleMouse(Mouse message, int x, int windowY);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void OnTimer(std::uint32_t id) override;

 private:
  void Rebuild();
  void DrawAll(const CRect& rect);
  void DrawSelection(const CRect& tile);
  void FillBackground(const CRect& rect);
  void RedrawTile(CDevice* device, const CRect& tile, int state);
  void SelectDevice(CDevice* device);
  void DragStep(int contentY);
  void ApplyScrollBar();
  void InvalidateContent(const CRect& rect);
  void ForgetDeletedDevices();
  void Post(std::uint32_t message, WPARAM wParam);

  std::unique_ptr<CImage> m_backBuffer;
  std::unique_ptr<Graphics> m_pGraphics;
  CSystem* m_pSystem = nullptr;
  QScrollBar* m_scrollBar;
  QLineEdit* m_edit = nullptr;
  std::vector<CDevice*> m_litDevices;
  std::vector<CDevice*> m_unlitDevices;
  CDevice* m_pDragDevice = nullptr;
  int m_nRenameZone = -1;
  int m_scrollPos = 0;
  int m_contentHeight = 0;
  std::function<void(const QPoint&)> m_onContextMenu;
};
