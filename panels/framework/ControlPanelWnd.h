// The window of every device control panel: it implements the panel interface the devices
// see (core/model/ControlPanel.h), owns its widgets, draws them into a back buffer of the panel's
// size and routes the mouse, the wheel and the keys to them. The family panels derive from it
// and build their widgets in Create. UI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/model/ControlPanel.h"
#include "platform/Types.h"
#include "widgets/WidgetHostWnd.h"

class CBitmapImage;
class CControlObject;
class CCustomComboBox;
class CErrorTip;
class CImage;
class CMenu;
class CTextControl;
class Graphics;
class QLineEdit;
class QListWidget;

class CControlPanelWnd : public CWidgetHostWnd, public CControlPanel {
 public:
  explicit CControlPanelWnd(QWidget* parent = nullptr);
  // Deletes every widget, the background image when still set, and unbinds the device.
  ~CControlPanelWnd() override;

  // Builds the widgets; the device is bound before it runs. The base builds nothing.
  virtual bool Create() { return true; }

  // --- The model-side interface ---
  void NotifyParameterChanged(const CParamValue& value) override;
  void DestroyPanelWindow() override;
  void BringPanelToTop() override;
  // The unit gone away (or set aside) ends the press. The family panels call it from theirs.
  void UpdateOnlineStatus(bool online) override;
  // Says why under the widget whose change the person is making now (ApplyUserChange); a
  // refusal of a change that came another way (a link, a recall) says nothing here.
  void ShowChangeRefused(int parameterId, const std::string& reason) override;

  // --- Widgets ---
  // Appends a widget (the panel owns it from now on); append order is drawing order.
  void AddControl(CControlObject* control);
  const std::vector<CControlObject*>& GetControls() const { return m_controls; }
  // The top-most visible widget under the point, or null.
  CControlObject* HitTest(int x, int y) const;
  // Makes the widget the active (mouse-capturing) one, null releases; the widget that loses
  // that state is told so. Returns the widget that was active before.
  virtual CControlObject* SetActiveObject(CControlObject* control);
  CControlObject* GetActiveObject() const { return m_pActive; }
  CControlObject* GetPreviousActiveObject() const { return m_pPrevActive; }
  // Ends the press of the active widget, if any: it is released and redrawn, and later mouse
  // messages go to the widget under the pointer again; every widget that follows a drag of its
  // own stops (OnDeactivate). Runs when the press is cut short: a modal dialog or another
  // window takes over, the panel loses the keyboard focus or is hidden, the unit goes away, the
  // pointer moves with the button up.
  void EndMousePress();
  // Hands a person's change made at the widget on (HandUserChange, then the device judges it in
  // CUserChangeGate::ApplyUserChange); a refusal the device gives meanwhile shows under the widget.
  void ApplyUserChange(const CControlObject& control, const CParamValue& value);

  // --- The current user's rights, decided when the person acts ---
  // The current user's restriction mask, read now from the device's system (every right
  // withheld without a device or a system).
  std::uint64_t GetUserRestrictions() const;
  // The rights the widget's input needs on this panel. Base: what the widget says.
  virtual std::uint64_t GetNeededRights(const CControlObject& control) const;
  // True when the current user holds every right the widget's input needs.
  bool UserMayUse(const CControlObject& control) const;
  // Hands a person's change made at one of the panel's widgets to the device: the question the
  // device names for it is asked first (ConfirmAndApplyUserChange), never inside the change.
  // Panels whose widgets ask more (a name, a file) override it. Nothing without a device.
  virtual void HandUserChange(const CParamValue& value);
  // True when a widget shown above it takes the clicks at its centre (a cover over it).
  bool IsCovered(const CControlObject& control) const;
  // True when the widget takes input now: shown, enabled, not covered and usable by the
  // current user. A widget that does not takes no click, wheel or key at all.
  bool TakesInput(const CControlObject& control) const;

  // --- Drawing ---
  // Creates the back buffer on the first call; later calls keep the one there is.
  void CreateBackBuffer(int width, int height);
  Graphics* GetBackBufferGraphics() const { return m_graphics.get(); }
  // The picture drawn under the widgets. The panel frees it on destruction while it is still
  // set, so panels that share one picture set it back to null first.
  void SetBackgroundImage(CBitmapImage* image) { m_pBackgroundImage = image; }
  CBitmapImage* GetBackgroundImage() const { return m_pBackgroundImage; }
  // Redraws the area (null: the whole buffer) into the back buffer: the background part when
  // asked, then every visible widget that meets it in list order, a widget that needs the right
  // to use device controls under a dark shade while the current user lacks it and no cover
  // hides the widget; invalidates it in the window when asked.
  virtual void RedrawRect(const CRect* rect, bool invalidate, bool drawBackground);
  // Routes a mouse message to the active widget, else to the top-most visible widget under
  // the point, and redraws what the widget returns; a widget that takes no input now gets
  // nothing (an active one that stopped taking input loses the press). An unhandled right click
  // opens the device's context menu.
  virtual void DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y);
  // Routes a key to the active widget, else to the one active last, when that widget takes
  // input now.
  virtual bool DispatchKeyDown(int key, std::uint32_t flags);
  // A right click that no widget took, before the context menu opens. Base: nothing.
  virtual void OnRightClick(int x, int y);
  // The widgets re-read their bound values and their parameters' disabled flags from the
  // device (panels call it from their UpdateAllControls); then the whole panel is redrawn.
  void ReloadAllControls();
  // True when the device describes the parameter with its disabled flag set. The parameter
  // is looked up by id (GetParameterAt of the id must describe that id).
  bool IsParameterDisabled(int parameterId) const;

  // --- Timers and tooltips ---
  // Starts (or restarts) timer id; OnTimer(id) runs every periodMs.
  void SetTimer(std::uint32_t id, std::uint32_t periodMs);
  void KillTimer(std::uint32_t id);
  bool HasTimer(std::uint32_t id) const { return m_timers.count(id) != 0; }
  virtual void OnTimer(std::uint32_t id) { (void)id; }
  // A tool area whose text GetToolTipText gives when the pointer rests there.
  void AddToolTip(int toolId, const CRect& rect);
  void RemoveAllToolTips() { m_tools.clear(); }
  int GetToolTipCount() const { return int(m_tools.size()); }
  // The tool under the point, 0 when none.
  int FindToolTip(int x, int y) const;
  virtual std::string GetToolTipText(int toolId);
  // Milliseconds a tooltip stays up.
  static constexpr int kToolTipAutoPopMs = 2000;

  // --- In-place editing and drop-down lists (for the widgets) ---
  // Opens a line editor over the text control with its text; Enter or leaving it commits,
  // Escape cancels.
  void BeginTextEdit(CTextControl* control);
  // Ends the edit; the text goes to the control when commit is set.
  void EndTextEdit(bool commit);
  QLineEdit* GetInPlaceEditor() const { return GetEditBox(); }
  CTextControl* GetEditedControl() const { return m_pEdited; }
  // Opens the combo box's list below its drop-down anchor; a click on an item chooses it.
  void OpenDropDown(CCustomComboBox* combo);
  // Closes the list; the item at index goes to the combo when index is not negative.
  void CloseDropDown(int index);
  QListWidget* GetDropDown() const { return m_dropDown; }
  // Says why an edit of the widget at rect was refused: the refusal tip under it, for
  // kRefusalTipMs. The tip, null before the first refusal.
  void ShowRefusal(const CRect& rect, const std::string& message);
  CErrorTip* GetRefusalTip() const { return m_refusalTip; }
  static constexpr int kRefusalTipMs = 3000;

  // Milliseconds the device's reply timer still runs (0: no reply awaited); while it runs the
  // window shows "Waiting..." over the panel.
  std::uint32_t GetReplyWaitRemaining() const;

 protected:
  // Shows the menu at the global point and returns the chosen command id (0: none).
  virtual std::uint32_t TrackPopupMenu(const CMenu& menu, const QPoint& globalPos);
  // Builds and runs the device's context menu and carries out its choice.
  void ShowDeviceContextMenu(const QPoint& globalPos);

  // The back buffer, with a veil and "Waiting..." while the device's reply timer runs.
  void paintEvent(QPaintEvent* event) override;
  // Moves tell the widget the pointer left that it left; every message goes to
  // DispatchMouseMessage (a right double click as a right button down).
  void OnMouseMessage(std::uint32_t message, std::uint32_t flags, CPoint point) override;
  // Enter commits the edit, Escape drops it; leaving the box commits it.
  void OnEditBoxKey(int key) override;
  void OnEditBoxFocusOut(Qt::FocusReason reason) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Tells the widget under the pointer before that the pointer left it.
  void TrackHover(int x, int y);

  std::vector<CControlObject*> m_controls;  // owning
  CControlObject* m_pActive = nullptr;
  CControlObject* m_pPrevActive = nullptr;
  CControlObject* m_pHover = nullptr;
  const CControlObject* m_pChanging = nullptr;  // whose change ApplyUserChange is handing on
  CBitmapImage* m_pBackgroundImage = nullptr;
  std::unique_ptr<Graphics> m_graphics;

  std::map<std::uint32_t, int> m_timers;  // our id to Qt's timer id
  struct Tool {
    int id;
    CRect rect;
  };
  std::vector<Tool> m_tools;

  CTextControl* m_pEdited = nullptr;
  QListWidget* m_dropDown = nullptr;
  CCustomComboBox* m_pDropCombo = nullptr;
  CErrorTip* m_refusalTip = nullptr;
};

// Registry of the device panel classes by the name a family's GetControlPanelClass gives.
using ControlPanelCreator = CControlPanelWnd* (*)();
// Registers (or replaces) the creator of a panel class.
void RegisterControlPanelClass(const std::string& name, ControlPanelCreator creator);
// A new panel of the class, or null when the name is null or no class has it.
CControlPanelWnd* CreateControlPanel(const char* className);
// Removes every registration. Tests only.
void ClearControlPanelClassesForTests();
