// A unit of a family with its simulated twin (RightsFixture.h) and the unit's own control panel
// opened on it as the main frame opens it, shown offscreen; helpers find its widgets and drive
// them with Qt's events.
#pragma once

#include <QApplication>
#include <QPoint>
#include <QString>
#include <memory>
#include <string>

#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/PanelClasses.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/framework/TextControl.h"
#include "tests/panels/RightsFixture.h"
#include "tests/support/ModelChanges.h"

class PanelRig : public RightsFixture {
 public:
  // Opens the device's own panel as the main frame does, shown offscreen; a processor's on the
  // page given (0: its first).
  void Open(std::uint32_t type, std::uint32_t hardware, std::uint32_t page = 0) {
    RegisterDevicePanelClasses();
    const std::uint32_t id = IsZelAmpType(type) ? 5 : IsZelBoxType(type) ? 7 : 1;
    device = AddUnit(type, id, hardware);
    ASSERT_NE(device, nullptr);
    if (IsZelAmpType(type)) NameDevice(device, "Amp");
    if (page) Processor().PanelView().SetPanelPage(page);
    panel.reset(CreateControlPanel(device->GetControlPanelClass()));
    ASSERT_NE(panel, nullptr) << device->GetControlPanelClass();
    panel->SetDevice(device);
    device->SetControlPanel(panel.get());
    ASSERT_TRUE(panel->Create());
    panel->UpdateAllControls();
    const CSize size = device->GetPanelSize();
    panel->resize(size.cx, size.cy);
    panel->show();
    QApplication::processEvents();
  }
  void Close() {
    if (device) device->SetControlPanel(nullptr);
    panel.reset();
  }

  // The first shown widget of the kind bound to the id.
  template <class T>
  T* Find(int id) const {
    for (CControlObject* control : panel->GetControls())
      if (control->GetId() == id && control->IsVisible())
        if (auto* widget = dynamic_cast<T*>(control)) return widget;
    ADD_FAILURE() << "no widget bound to " << id;
    return nullptr;
  }
  template <class T>
  QPoint Centre(int id) const {
    const T* widget = Find<T>(id);
    if (!widget) return QPoint(-1, -1);
    const CRect r = widget->GetRect();
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // Where a fader's cap stands now.
  QPoint Cap(int id) const {
    const CBitmapFader* fader = Find<CBitmapFader>(id);
    if (!fader) return QPoint(-1, -1);
    const CRect r = fader->GetRect();
    return QPoint((r.left + r.right) / 2, fader->ValueToY(fader->GetValue()));
  }
  // Opens the text's edit box with a double click, types the text and ends with Enter (when
  // the box opened).
  void EditText(int id, const QString& text) {
    DoubleClick(*panel, Centre<CTextControl>(id));
    TypeAndEnter(panel->GetInPlaceEditor(), text);
  }

  CZelSeriesDevice& Amp() const { return *static_cast<CZelSeriesDevice*>(device); }
  CNerexSeriesDevice& Processor() const { return *static_cast<CNerexSeriesDevice*>(device); }
  SimZelAmpState AmpHolds() const { return twins.amp->State(); }
  SimZelBreakState BoxHolds() const { return twins.box->State(); }
  CNerexSeriesMemory ProcessorHolds() const { return twins.processor->Current(); }

  CDevice* device = nullptr;
  std::unique_ptr<CControlPanelWnd> panel;
};
