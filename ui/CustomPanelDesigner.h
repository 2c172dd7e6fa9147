// CCustomPanelDesigner: the design-mode editor of a custom panel view. It selects widgets (a
// click, a Ctrl click, a band dragged over them), moves and resizes them with the mouse
// showing ghost frames, snaps to the grid, places a new widget, nudges the selection with the
// arrow keys, deletes it, changes the stacking order and copies and pastes widgets. The view
// draws what the designer holds (selection frames, ghosts, the band). UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

#include "custom/CustomControlObject.h"
#include "core/model/DeviceMenu.h"
#include "platform/Types.h"
#include "platform/WindowMessages.h"

class CCustomControlPanelWnd;
class QMenu;

// Design tools: which toolbar button shows ticked.
enum : std::uint32_t {
  kToolSelect = 0,
  kToolText = 1,
  kToolKnob = 2,
  kToolFader = 3,
  kToolBitmap = 4,
  kToolButton = 5,
  kToolLed = 6,
};

// The design commands the view handles.
enum : std::uint32_t {
  kCmdSelectMode = 32869,
  kCmdAddText = 32870,
  kCmdAddKnob = 32871,
  kCmdAddFader = 32872,
  kCmdAddBitmap = 32873,
  kCmdAddLed = 32874,
  kCmdAddButton = 32875,
  kCmdShowGrid = 32876,
  kCmdSnapToGrid = 32877,
  kCmdDeleteControl = 32878,
  kCmdRaise = 32879,
  kCmdLower = 32880,
  kCmdRaiseToTop = 32881,
  kCmdLowerToBottom = 32882,
  kCmdPanelProperties = 32883,
};

// Width of the band around a selected widget that holds its frame and handles.
inline constexpr int kSelectionBand = 6;

class CCustomPanelDesigner {
 public:
  explicit CCustomPanelDesigner(CCustomControlPanelWnd& view);
  CCustomPanelDesigner(const CCustomPanelDesigner&) = delete;
  CCustomPanelDesigner& operator=(const CCustomPanelDesigner&) = delete;

  // --- The mouse and keys in design mode (client coordinates) ---
  // Places the pending widget; else selects the widget under the point (Ctrl adds it) and
  // starts a move, or starts a resize on a handle of the selection, or starts a band.
  void OnLButtonDown(std::uint32_t flags, CPoint point);
  // The ghost of the pending widget, the move or the resize follows; the band selects the
  // widgets wholly inside it; else the cursor shows the handle under the point.
  void OnMouseMove(CPoint point);
  // Ends a move or resize (the widgets take their new rectangles) or the band.
  void OnLButtonUp(CPoint point);
  // A right click: places the pending widget, or selects (Ctrl adds) without starting a move.
  void OnRightClick(std::uint32_t flags, CPoint point);
  // Backspace and Delete delete the selection, Escape cancels what the mouse is doing, the
  // arrows nudge the selection by a pixel (a grid pitch when snapping).
  void OnKeyDown(int key);

  // --- Commands ---
  // The tools, delete, the stacking order, copy and paste; others nothing.
  void OnCommand(std::uint32_t id);
  // Whether a tool, delete or stacking command is enabled now; checked receives its tick
  // (a tool's). Others: false.
  bool IsCommandEnabled(std::uint32_t id, bool* checked) const;
  // Trims the context menu to "Properties" and the separator and adds the items for the
  // selection and the copied widgets; each action carries its command id as data.
  void UpdateContextMenu(QMenu& menu) const;
  // Copies the selection to the system's copied widgets (none: keeps what was copied) and
  // starts the paste offsets again.
  void CopySelection();
  // The copied widgets, at the pointer when it is over the view, else each paste one group
  // width further right; they become the selection.
  void PasteControls();

  // --- Selection ---
  const std::vector<CCustomControlObject*>& GetSelection() const { return m_selection; }
  bool IsSelected(const CCustomControlObject* widget) const { return m_selected.count(widget) != 0; }
  void AddToSelection(CCustomControlObject* widget);
  void ClearSelection();
  // Forgets the selection and what the mouse was doing (the panel data goes).
  void Reset();
  // While a move runs the selection frames are not drawn; the band's rectangle, if any.
  bool IsMoving() const { return m_moving; }
  // A widget being placed, moved or resized, or a band being drawn: what Escape cancels.
  bool HasEditToCancel() const { return m_pending || m_moving || m_handle != 0 || m_band; }
  bool IsBandShown() const { return m_band; }
  CRect GetBandRect() const;

  std::uint32_t GetTool() const { return m_tool; }
  CCustomControlObject* GetPendingControl() const { return m_pending.get(); }
  int GetPasteCounter() const { return m_pasteCounter; }

  // --- Geometry ---
  CPoint SnapToGrid(CPoint point) const;
  // Handle 1 to 8 under the point for the widget's sizing mode, 0 when none.
  static int HitTestHandle(const CCustomControlObject* widget, int x, int y);
  static CRect GetHandleRect(const CCustomControlObject* widget, int handle);
  // The handles the widget's sizing mode offers, in the order they are hit-tested and drawn.
  static std::vector<int> Handles(const CCustomControlObject* widget);
  // The widget's rectangle grown by the selection band, normalised.
  static CRect GetControlRect(const CCustomControlObject* widget);

 private:
  void StartResize(CCustomControlObject* widget, int handle, CPoint point);
  void StartBand();
  void MoveGhosts(CPoint point);
  void ResizeGhost(CPoint point);
  void DragBand(CPoint point);
  void PlacePending();
  CPoint MoveOffset(CPoint point) const;
  CRect ResizedRect(const CCustomControlObject* widget, CPoint anchor) const;
  void CancelEdit();
  // Wipes the band-selection rectangle from the window and ends the band.
  void EraseBand();
  // Ends any drag: band, move or handle resize.
  void EndDrag();
  void Nudge(int key);
  void DeleteSelection();
  void MoveInZOrder(std::uint32_t id);
  void SetPending(std::uint32_t tool, CCustomControlObject* widget);
  void SetSizingCursor(int handle);
  int SelectionIndex(const CCustomControlObject* widget) const;
  void ShowWidgetProperties(CCustomControlObject* widget, LPARAM force = 0);
  // One widget selected: the pane shows it, its Position and Size rows those of its rectangle.
  void ShowSelectedWidgetProperties();
  void ShowPanelProperties();

  CCustomControlPanelWnd& m_view;
  std::uint32_t m_tool = kToolSelect;
  std::unique_ptr<CCustomControlObject> m_pending;
  bool m_moving = false;
  int m_handle = 0;
  bool m_moved = false;
  CPoint m_dragStart;
  CPoint m_grabOffset;
  int m_pasteCounter = 0;
  bool m_band = false;
  CPoint m_bandStart;
  CPoint m_bandEnd;
  // The selection in the order it was made (the last one leads a move), the same widgets as a
  // set (a panel of thousands asks of each widget whether it is selected at every redraw), and
  // one point per selected widget.
  std::vector<CCustomControlObject*> m_selection;
  std::unordered_set<const CCustomControlObject*> m_selected;
  std::vector<CPoint> m_points;
};
