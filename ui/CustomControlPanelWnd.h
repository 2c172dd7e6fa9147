// The view of one custom control panel: its background, grid and widgets drawn into a back
// buffer; in operate mode the mouse goes to the widgets, in design mode to the designer, which
// edits the panel (select, band, move, nudge, snap, resize, place, delete, z-order, copy and
// paste). UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/file/ImageTree.h"
#include "custom/CustomControlObject.h"
#include "core/model/DeviceMenu.h"
#include "platform/Types.h"
#include "platform/WindowMessages.h"
#include "ui/CustomPanelDesigner.h"
#include "widgets/WidgetHostWnd.h"

class CErrorTip;
class CSystem;
class Graphics;
class QMenu;

class CCustomControlPanelWnd : public CWidgetHostWnd, public CCustomControlPanel, public CTextEditorHost {
 public:
  // What the view asks the main window to show in the properties pane, answered before the
  // call returns: the panel's properties (the view), or a widget's (null: none); force builds
  // the rows again when they are shown already.
  using ShowPanelPropertiesFn = std::function<void(CCustomControlPanel& view, bool force)>;
  using ShowWidgetPropertiesFn = std::function<void(CCustomControlObject* widget, bool force)>;

  explicit CCustomControlPanelWnd(CSystem& system, QWidget* parent = nullptr);
  ~CCustomControlPanelWnd() override;

  // Binds the panel data and the view in both directions; every widget's owning view is this.
  void SetPanelData(CCPData* data);
  void SetPropertiesHandlers(ShowPanelPropertiesFn showPanel, ShowWidgetPropertiesFn showWidget) {
    m_showPanelProperties = std::move(showPanel);
    m_showWidgetProperties = std::move(showWidget);
  }
  // Design mode: the rectangle a widget is being moved or resized to, for the properties pane
  // to show while the mouse moves.
  void SetGeometryHandler(std::function<void(CCustomControlObject* widget, const CRect& rect)> handler) {
    m_showWidgetGeometry = std::move(handler);
  }
  // The main window's commands chosen in the context menu (its Properties).
  void SetMainCommandHandler(std::function<void(std::uint32_t)> handler) { m_mainCommand = std::move(handler); }
  // Closes the window that holds the view (the frame); the view is deleted with it.
  void SetCloseHandler(std::function<void()> close) { m_close = std::move(close); }
  void SetTitleHandler(std::function<void(const std::string&)> title) { m_title = std::move(title); }
  void SetRaiseHandler(std::function<void()> raise) { m_raise = std::move(raise); }

  // The design-mode editor (selection, tools, geometry).
  CCustomPanelDesigner& Designer() { return m_designer; }
  const CCustomPanelDesigner& Designer() const { return m_designer; }

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
  bool HasSelection() const override { return !m_designer.GetSelection().empty(); }
  void CopySelection() override { m_designer.CopySelection(); }
  void PasteControls() override { m_designer.PasteControls(); }
  void RebuildDisplay() override;
  void SetPanelTitle(const std::string& name) override;
  void SetActiveControl(CCustomControlObject* widget) override;
  bool IsSelected(const CCustomControlObject* widget) const override { return m_designer.IsSelected(widget); }
  // The refusal tip under the widget, for kRefusalTipMs.
  void ShowWidgetMessage(const CCustomControlObject& widget, const std::string& message) override;

  // --- CTextEditorHost: one edit box at a time, a child of the view ---
  // A box already open for another editor ends first, as if the user had clicked elsewhere.
  bool OpenTextEditor(CCCTextEdit* editor, const CRect& rect, const std::string& text, int alignment) override;
  void CloseTextEditor(CCCTextEdit* editor) override;
  // The open edit box, null when none.
  QLineEdit* GetTextEditorBox() const { return GetEditBox(); }
  // The refusal tip under the widget whose edit was refused, for kRefusalTipMs.
  void ShowEditRefused(const CCustomControlObject& widget, const std::string& message) override;
  // The tip, null before the first refusal.
  CErrorTip* GetRefusalTip() const { return m_refusalTip; }
  static constexpr int kRefusalTipMs = 3000;

  // --- Painting (CustomControlPanelPaint.cpp) ---
  // Repaints one rectangle of the back buffer: background, image, grid in design mode,
  // widgets that meet it with their selection frames, the band; invalidate copies it to the
  // screen. Nothing before the first back buffer. The pictures drawn stay decoded while the
  // window shows them (a repaint of the whole window starts the count afresh).
  void RedrawRect(const CRect& rect, bool invalidate, bool drawBackground);
  void CreateBackBuffer(int width, int height);
  int GetControlCount() const;

  // --- Operate mode ---
  // Delivery of a mouse message to the active widget, then the topmost one under the point;
  // a widget the current user may not use gets nothing (CurrentUserMayUse). A press that a
  // widget refuses (PressRefusal: a right withheld, its unit away) reaches it not either, and
  // the refusal tip under it says why.
  void DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y);
  // The topmost widget whose hit-test flag is set and whose rectangle holds the point, edges
  // included; null when none.
  CCustomControlObject* HitTest(CPoint point) const;
  CCustomControlObject* GetActiveControl() const { return m_active; }

  // --- Mouse and keys as the window receives them (client coordinates): to the widgets in
  // operate mode, to the designer in design mode ---
  void OnLButtonDown(std::uint32_t flags, CPoint point);
  void OnLButtonUp(std::uint32_t flags, CPoint point);
  void OnMouseMove(std::uint32_t flags, CPoint point);
  void OnDesignClick(std::uint32_t flags, CPoint point);
  void OnKeyDown(int key);

  // --- Commands ---
  // Show Grid and Snap To Grid here, the others by the designer.
  void OnCommand(std::uint32_t id);
  // Whether the command is enabled now; checked receives its tick.
  bool IsCommandEnabled(std::uint32_t id, bool* checked = nullptr) const;

 protected:
  // The mouse pointer in client coordinates.
  virtual CPoint PointerPosition() const;

  void OnMouseMessage(std::uint32_t message, std::uint32_t flags, CPoint point) override;
  // Enter and Escape go to the editor; leaving the box ends the edit with its text (not when
  // the box's own context menu takes the focus for a moment).
  void OnEditBoxKey(int key) override;
  void OnEditBoxFocusOut(Qt::FocusReason reason) override;
  // The characters of text the open edit may take, the others dropped (control characters
  // are kept: they edit rather than type).
  QString FilterTypedText(const QString& text) const override;

  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  friend class CCustomPanelDesigner;

  // The left button and moves: to the widgets in operate mode, to the designer in design mode.
  void RouteMouse(std::uint32_t message, std::uint32_t flags, CPoint point);
  // Takes the edit box away; with report, its editor is told the focus left with the text.
  void EndTextEditor(bool report);
  bool DesignMode() const;
  // Lets go of the panel data and its widgets (only those still bound to this view).
  void Detach();
  void ShowPanelProperties();
  void ShowWidgetProperties(CCustomControlObject* widget, bool force = false);
  void ShowWidgetGeometry(CCustomControlObject* widget, const CRect& rect);
  void SetModified();
  // A widget that goes stops being the active one.
  void ForgetActiveControl(const CCustomControlObject* widget);
  void DrawBackground(Graphics& g, const CRect& clip);
  void DrawSelection(Graphics& g, const CCustomControlObject* widget);
  static void DrawFrame(Graphics& g, const CRect& rect);
  // Draws the frame into the back buffer and invalidates its grown area.
  void ShowGhost(const CRect& rect);
  // The same for many rectangles, shown in one update.
  void ShowGhosts(const std::vector<CRect>& rects);

  CSystem& m_system;
  CCPData* m_data = nullptr;
  CCustomControlObject* m_active = nullptr;
  CCustomPanelDesigner m_designer{*this};
  ShowPanelPropertiesFn m_showPanelProperties;
  ShowWidgetPropertiesFn m_showWidgetProperties;
  std::function<void(CCustomControlObject*, const CRect&)> m_showWidgetGeometry;
  std::function<void(std::uint32_t)> m_mainCommand;
  std::function<void()> m_close;
  std::function<void(const std::string&)> m_title;
  std::function<void()> m_raise;
  CCCTextEdit* m_editing = nullptr;  // the editor the edit box reports to; not owned
  CErrorTip* m_refusalTip = nullptr;  // a child window, made at the first refusal
  CPictureHold m_pictures;           // the pictures the window draws
};
