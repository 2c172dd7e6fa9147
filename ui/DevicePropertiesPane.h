// The properties pane and its grid: two columns of rows in groups, one object at a time (a
// device, a custom panel or a custom widget). A finished edit goes to the object's handler,
// which applies or refuses it; a refused value is put back and its message shown in the
// "Error" tip under the row for three seconds. UI thread, all of it.
#pragma once

#include <QDockWidget>
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/model/DeviceProperty.h"
#include "platform/ObjectHandle.h"
#include "platform/Types.h"

class CDevice;
class IDeviceHost;
class CCustomControlPanel;
class CCustomControlObject;
class IMessageSink;
class QLabel;
class QTreeWidgetItem;
class CErrorTip;

class CDevicePropertiesCtrl : public QTreeWidget, public IDevicePropertyGrid {
 public:
  explicit CDevicePropertiesCtrl(QWidget* parent = nullptr);
  ~CDevicePropertiesCtrl() override;

  // Shows the group and its rows at once; the grid keeps them until the next RemoveAll.
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override;
  const std::vector<std::unique_ptr<CDevicePropertyGroup>>& GetGroups() const { return m_groups; }
  void RemoveAll();
  void ExpandAll();

  CDevice* GetCurrentDevice() const { return m_device; }
  CCustomControlPanel* GetCurrentPanel() const { return m_panel; }
  CCustomControlObject* GetCurrentWidget() const { return m_widget; }
  // One of the three (the others become null). The grid lets go of it when it ends, whatever
  // ended it: it then shows nothing (at once, or once the events run when the grid was busy).
  void SetCurrentDevice(CDevice* device);
  void SetCurrentPanel(CCustomControlPanel* panel);
  void SetCurrentWidget(CCustomControlObject* widget);
  void ClearCurrent();
  // Who fills and answers the rows of the current panel or widget: the view when it does,
  // else the panel's data; the widget. Null for a device or nothing.
  IPropertyGridOwner* GetCurrentOwner() const;

  // Busy: set while an owner's handler runs; the pane and the frame then never empty or
  // refill the grid, so the row being committed stays alive.
  bool IsLocked() const { return m_locked; }
  void SetLocked(bool locked) { m_locked = locked; }

  // Where the rebuild requests go (the main window).
  void SetMessageSink(IMessageSink* sink) { m_sink = sink; }
  // The system whose current user the rows of a custom panel or widget are judged by: they need
  // the right to edit device properties, as a device's rows do (a device asks its own system).
  // Without one (a grid on its own) they need no right. Not owned.
  void SetRightsHost(const IDeviceHost* host) { m_rightsHost = host; }
  // True when the current user may edit a panel's or a widget's rows now.
  bool MayEditPanelRows() const;
  // The description area that shows the selected row's name and description.
  void SetDescriptionLabel(QLabel* label) { m_description = label; }

  // --- Rows and their in-place editors ---
  // The row named name (first match), null when none.
  CDeviceProperty* FindRow(const std::string& name) const;
  QTreeWidgetItem* ItemOf(const CDeviceProperty* row) const;
  CDeviceProperty* RowOf(const QTreeWidgetItem* item) const;
  // The rows whose data word is data take text as their value (and as the value a refusal puts
  // back), unless one is being edited.
  void ShowRowValue(std::uint32_t data, const std::string& text);
  // Selects the row and opens its editor (none for read-only and disabled rows). True when an
  // editor opened.
  bool BeginEdit(CDeviceProperty* row);
  CDeviceProperty* GetEditRow() const { return m_editRow; }
  // The open editor: a line edit for typed values, a list for option and true/false rows.
  QWidget* GetEditor() const { return m_editor; }
  // Ends the open edit; update commits it, otherwise it is cancelled.
  void EndEdit(bool update);
  // The edit's list closed with the item index chosen: the choice is committed at once.
  void OnCloseCombo(int index);
  // A click on the row's button: in Set-button mode the edit is committed through the row's
  // owner even when unchanged; otherwise the row's own button action, then the commit.
  void OnClickButton();

  // --- The commit ---
  // Hands the edited row to the current object's handler (a device's through
  // CUserChangeGate::ApplyUserPropertyChange, which refuses it while the current user, now, not when
  // the rows were filled, lacks the right to edit device properties). Typed text that is no
  // value of the row's type is refused without it, as is a panel's or widget's row while the
  // current user lacks that right. A refused row shows the value the object holds (a picker
  // row its own choice) and the tip; an accepted value becomes the row's reference value.
  // Always true: the edit always ends.
  bool ValidateItemData(CDeviceProperty& row);
  // After the row's stored value changed: a rebuild the handler asked for is posted.
  void OnPropertyChanged(CDeviceProperty& row);

  // The error tip; visible from a refusal until timer 77 ends it.
  bool IsErrorTipVisible() const;
  QString GetErrorTipText() const;
  QPoint GetErrorTipPos() const;
  int GetErrorTipWidth() const;
  bool IsErrorTimerRunning() const { return m_errorTimer != 0; }
  // Timer 77 (3000 ms after the last refusal) hides the tip.
  void OnErrorTimer();

  // Wide enough for the names and values of a device's rows side by side.
  QSize sizeHint() const override { return {270, 400}; }

  static constexpr int kErrorTimerId = 77;
  static constexpr int kErrorTipMs = 3000;

 protected:
  void timerEvent(QTimerEvent* event) override;
  // An open edit stays open, neither committed nor cancelled, when focus leaves the grid.
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowErrorTip(const CDeviceProperty& row);
  // A refusal: the row takes the value the object holds, its editor that text, and the tip
  // shows the row's message.
  void RefuseEdit(CDeviceProperty& row);
  // The value the current object gives the row when it fills the grid now (the row found by
  // its data word and name); none when the object has no such row.
  std::optional<CDeviceProperty::Value> HeldValue(const CDeviceProperty& row) const;
  void UpdateItemText(const CDeviceProperty& row);
  void UpdateDescription();
  void CloseEditor();
  // The name column as wide as its longest name, within 45 percent to two thirds of the grid.
  void FitNameColumn();
  void PostRebuild();
  // An object ended (its handle): the current one is dropped with its rows; a row that names
  // another one (a picture, a bound device) lets go of it, and the rows are built again.
  void OnObjectEnded(std::uint64_t handle);

  CDevice* m_device = nullptr;
  CCustomControlPanel* m_panel = nullptr;
  CCustomControlObject* m_widget = nullptr;
  std::uint64_t m_currentHandle = 0;  // the current object's, 0 for none
  CObjectEndWatch m_endWatch{[this](std::uint64_t handle) { OnObjectEnded(handle); }};
  bool m_locked = false;
  IMessageSink* m_sink = nullptr;
  const IDeviceHost* m_rightsHost = nullptr;
  QLabel* m_description = nullptr;
  std::vector<std::unique_ptr<CDevicePropertyGroup>> m_groups;

  CDeviceProperty* m_editRow = nullptr;
  QWidget* m_editor = nullptr;
  std::string m_editStartText;  // the row's value text when the edit began
  int m_comboPicked = -1;        // the list item chosen in this edit, -1 none

  CErrorTip* m_errorTip = nullptr;
  int m_errorTimer = 0;  // Qt's id of timer 77, 0 while it does not run
};

class CDevicePropertiesPane : public QDockWidget {
 public:
  explicit CDevicePropertiesPane(const QString& title, QWidget* parent = nullptr);

  CDevicePropertiesCtrl& GetGrid() { return *m_grid; }
  QLabel& GetDescriptionArea() { return *m_description; }

  // Each shows one object (null clears the pane) unless the grid is busy; without force
  // nothing happens when the object is already shown.
  void ShowDeviceProperties(bool force, CDevice* device);
  void ShowPanelProperties(bool force, CCustomControlPanel* view);
  void ShowControlProperties(bool force, CCustomControlObject* widget);
  // Fills the rows of the current object again (nothing while busy or with nothing shown).
  void RefreshProperties();
  // Design mode: while the widget shown is moved or resized, its Position and Size rows show
  // the rectangle it is being given.
  void ShowControlGeometry(CCustomControlObject* widget, const CRect& rect);

 private:
  void Fill();
  // Unless busy, or already shown (shown) without force: empties the rows, makes the object
  // current and fills them from it.
  void Show(bool force, bool shown, const std::function<void()>& makeCurrent);

  CDevicePropertiesCtrl* m_grid;
  QLabel* m_description;
};
