// The view of one custom control panel: its background, grid and widgets drawn into a back
// buffer; in operate mode the mouse goes to the widgets, in design mode the mouse and keys edit
// the panel (select, band, move, nudge, snap, resize, place, delete, z-order, copy and paste).
// UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QWidget>

#include "core/CustomControlObject.h"
#include "core/DeviceMenu.h"
#include "platform/Types.h"
#include "platform/WindowMessages.h"

class CImage;
class CSystem;
class Graphics;
class QLineEdit;
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

class CCustomControlPanelWnd : public QWidget, public CCustomControlPanel, public CTextEditorHost {
 public:
  // What the view asks the main window to show in the properties pane, answered before the
  // call returns: the panel's properties (the view), or a widget's (null: none); force builds
  // the rows again when they are shown already.
  using ShowPanelPropertiesFn = std::function<void(CCustomControlPanel& view, bool force)>;
  using ShowWidgetPropertiesFn = std::function<void(CCustomControlObject* widget, bool force)>;

  explicit CCustomControlPanelWnd(CSystem& system, QWidget* parent = nullptr);
  ~CCustomControlPanelWnd() override;
  CCustomControlPanelWnd(const CCustomControlPanelWnd&) = delete;
  CCustomControlPanelWnd& operator=(const CCustomControlPanelWnd&) = delete;

  // Binds the panel data and the view in both directions; every widget's owning view is this.
  void SetPanelData(CCPData* data);
  void SetPropertiesHandlers(ShowPanelPropertiesFn showPanel, ShowWidgetPropertiesFn showWidget) {
    m_showPanelProperties = std::move(showPanel);
    m_showWidgetProperties = std::move(showWidget);
  }
  // The main window's commands chosen in the context menu (its Properties).
  void SetMainCommandHandler(std::function<void(std::uint32_t)> handler) { m_mainCommand = std::move(handler); }
  // Closes the window that holds the view (the frame); the view is deleted with it.
  void SetCloseHandler(std::function<void()> close) { m_close = std::move(close); }
  void SetTitleHandler(std::function<void(const std::string&)> title) { m_title = std::move(title); }
  void SetRaiseHandler(std::function<void()> raise) { m_raise = std::move(raise); }

  // --- CCustomControlPanel ---
  void BroadcastParameterUpdate(CDevice* device, std::uint32_t parameterId) override;
  void BroadcastSnapshotRecalled(const CUuid& snapshot) override;
  void DestroyPanelWindow() override;
  void BringPanelToTop() override;
  CCPData* GetPanelData() const override { return m_data; }
  void RedrawRect(const CRect& rect) override { RedrawRect(rect, true, true); }
  // The widget's area: grown by the selection band when it is selected and nothing moves,
  // else its bounds.
  void RedrawControl(CCustomControlObject* widget) override;
  bool HasSelection() const override { return !m_selection.empty(); }
  void CopySelection() override;
  void PasteControls() override;
  void RebuildDisplay() override;
  void SetPanelTitle(const std::string& name) override;
  void SetActiveControl(CCustomControlObject* widget) override;
  bool IsSelected(const CCustomControlObject* widget) const override;

  // --- CTextEditorHost: one edit box at a time, a child of the view ---
  // A box already open for another editor ends first, as if the user had clicked elsewhere.
  bool OpenTextEditor(CCCTextEdit* editor, const CRect& rect, const std::string& text, int alignment) override;
  void CloseTextEditor(CCCTextEdit* editor) override;
  // The open edit box, null when none.
  QLineEdit* GetTextEditorBox() const { return m_editBox; }

  // Repaints one rectangle of the back buffer: background, image, grid in design mode,
  // widgets that meet it with their selection frames, the band; invalidate copies it to the
  // screen. Nothing before the first back buffer.
  void RedrawRect(const CRect& rect, bool invalidate, bool drawBackground);
  void CreateBackBuffer(int width, int height);
  const CImage* GetBackBuffer() const { return m_backBuffer.get(); }
  // The widget's rectangle grown by the selection band, normalised.
  static CRect GetControlRect(const CCustomControlObject* widget);
  int GetControlCount() const;
  // Operate-mode delivery of a mouse message to the active widget, then the topmost one
  // under the point.
  void DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y);
  // The topmost widget whose hit-test flag is set and whose rectangle holds the point, edges
  // included; null when none.
  CCustomControlObject* HitTest(CPoint point) const;

  // --- Mouse and keys as the window receives them (client coordinates) ---
  void OnLButtonDown(std::uint32_t flags, CPoint point);
  void OnLButtonUp(std::uint32_t flags, CPoint point);
  void OnMouseMove(std::uint32_t flags, CPoint point);
  void OnDesignClick(std::uint32_t flags, CPoint point);
  void OnKeyDown(int key);

  // --- Design editing ---
  CPoint SnapToGrid(CPoint point) const;
  // Handle 1 to 8 under the point for the widget's sizing mode, 0 when none.
  static int HitTestHandle(const CCustomControlObject* widget, int x, int y);
  static CRect GetHandleRect(const CCustomControlObject* widget, int handle);
  const std::vector<CCustomControlObject*>& GetSelection() const { return m_selection; }
  void AddToSelection(CCustomControlObject* widget);
  void ClearSelection();
  // Trims the context menu to "Properties" and the separator and adds the items for the
  // selection and the copied widgets; each action carries its command id as data.
  void UpdateContextMenu(QMenu& menu) const;

  // --- Design commands ---
  void OnCommand(std::uint32_t id);
  // Whether the command is enabled now; checked receives its tick.
  bool IsCommandEnabled(std::uint32_t id, bool* checked = nullptr) const;
  std::uint32_t GetTool() const { return m_tool; }
  CCustomControlObject* GetPendingControl() const { return m_pending.get(); }
  CCustomControlObject* GetActiveControl() const { return m_active; }
  int GetPasteCounter() const { return m_pasteCounter; }

 protected:
  // The mouse pointer in client coordinates.
  virtual CPoint PointerPosition() const;

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // The edit box's keys, characters and loss of focus go to its editor.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The characters of text the open edit may take, the others dropped (control characters
  // are kept: they edit rather than type).
  QString FilterEditText(const QString& text) const;
  // Takes the edit box away; with report, its editor is told the focus left with the text.
  void EndTextEditor(bool report);
  bool DesignMode() const;
  // Lets go of the panel data and its widgets (only those still bound to this view).
  void Detach();
  void ShowPanelProperties();
  void ShowWidgetProperties(CCustomControlObject* widget, bool force = false);
  void SetModified();
  void DrawBackground(Graphics& g, const CRect& clip);
  void DrawSelection(Graphics& g, const CCustomControlObject* widget);
  static void DrawFrame(Graphics& g, const CRect& rect);
  // Draws the frame into the back buffer and invalidates its grown area.
  void ShowGhost(const CRect& rect);
  void PlacePending();
  CPoint MoveOffset(CPoint point) const;
  CRect ResizeGhost(const CCustomControlObject* widget, CPoint anchor) const;
  void CancelEdit();
  // Wipes the band-selection rectangle from the window and ends the band.
  void EraseBand();
  // Ends any drag: band, move or handle resize.
  void EndDrag();
  void Nudge(int key);
  void DeleteSelection();
  void MoveInZOrder(std::uint32_t id);
  void AddControl(std::uint32_t tool, CCustomControlObject* widget);
  void SetSizingCursor(int handle);
  int SelectionIndex(const CCustomControlObject* widget) const;

  CSystem& m_system;
  CCPData* m_data = nullptr;
  std::unique_ptr<CImage> m_backBuffer;
  CCustomControlObject* m_active = nullptr;
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
  std::vector<CCustomControlObject*> m_selection;
  std::vector<CPoint> m_points;  // one per selected widget
  ShowPanelPropertiesFn m_showPanelProperties;
  ShowWidgetPropertiesFn m_showWidgetProperties;
  std::function<void(std::uint32_t)> m_mainCommand;
  std::function<void()> m_close;
  std::function<void(const std::string&)> m_title;
  std::function<void()> m_raise;
  QLineEdit* m_editBox = nullptr;      // child of the view while a text widget is edited
  CCCTextEdit* m_editing = nullptr;    // the editor the box reports to; not owned
};
