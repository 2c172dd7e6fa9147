// What the hand does on a device panel is what the unit gets. A drag that something else cuts
// short (a window opening over the panel, the focus going elsewhere, the panel hidden, the unit
// going away) writes nothing afterwards, however the pointer passes over the control, with the
// button held or not, and a wheel notch or a key then moves one step from what the unit holds.
// The frames that leave are handed to the simulated units.
#include <QDialog>
#include <QLineEdit>
#include <cmath>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "panels/framework/Knob.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "tests/panels/PanelRig.h"

namespace {

QPoint CentreOf(const CRect& r) { return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

class PressRig : public PanelRig {
 public:
  void TearDown() override {
    Close();
    PanelRig::TearDown();
  }

  // The shown widget of the kind bound to the id.
  template <class T>
  T& Widget(int id) const {
    T* widget = Find<T>(id);
    if (!widget) throw std::runtime_error("no widget");
    return *widget;
  }
  // A person's change handed to the device, as a window hands it.
  void Set(const CParamValue& value) const { device->ApplyUserChange(value); }

  // Presses at the point and drags three steps, the button held.
  void PressAndDrag(QPoint start, QPoint step) {
    SendMouse(*panel, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    for (int k = 1; k <= 3; ++k) SendMouse(*panel, QEvent::MouseMove, start + k * step, Qt::NoButton, Qt::LeftButton);
  }
  // The pointer passes to and fro over where the drag went, with the buttons given.
  void PassOver(QPoint start, QPoint step, Qt::MouseButtons held) {
    for (int k : {4, 2, -1, 1, 5, 3}) SendMouse(*panel, QEvent::MouseMove, start + k * step, Qt::NoButton, held);
  }
  // The device leaves the bus (the unit silent) and the panel is told, as the main frame tells
  // it; with back set the unit answers again afterwards and the panel is told so.
  void UnitAway(bool back) {
    device->OnDisconnected(false);
    panel->UpdateOnlineStatus(device->IsConnected());
    if (!back) return;
    device->SetNeedsInitialisation(false);
    for (int i = 0; i < 3; ++i) device->UpdateCommsState(true);
    panel->UpdateOnlineStatus(device->IsConnected());
  }
};

// --- A drag cut short ---

struct DragCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t hardware;
  std::uint32_t page;  // a processor's page (0: its first)
  // Readies the control and gives the panel point where the drag starts.
  std::function<QPoint(PressRig&)> grab;
  QPoint step;  // one move of the drag
  int widgetId;  // the widget under the start
  // The level parameter a wheel notch over the control moves, with the control's step per
  // notch (0: the control takes no wheel of a level).
  int wheelId;
  float wheelStep;
};

// Band 2 of a parametric graph away from the others, and its handle's centre.
QPoint CurveHandle(PressRig& r, int curveId, int frequencyId, int gainId) {
  r.Set(CParamValue(frequencyId, 500.0f, ParamKind::kFrequency));
  r.Set(CParamValue(gainId, 6.0f, ParamKind::kLevel));
  return CentreOf(r.Widget<CNerexSeriesParametricControl>(curveId).GetHandleRect(2));
}

// The dynamic-EQ graph with input A's first band at 1 kHz and a 12 dB range.
CTorvexSeriesDEQControl& DeqGraph(PressRig& r) {
  auto& graph = r.Widget<CTorvexSeriesDEQControl>(kDeqGraphId);
  const NerexDeqBandIds ids = graph.GetBands().at(0)->ids;
  r.Set(CParamValue(std::int32_t(ids.frequencyId), 1000.0f, ParamKind::kFrequency));
  r.Set(CParamValue(std::int32_t(ids.effectId), 12.0f, ParamKind::kLevel));
  return r.Widget<CTorvexSeriesDEQControl>(kDeqGraphId);
}
QPoint DeqHandle(CTorvexSeriesDEQControl& graph) {
  const CRect h = graph.GetHandleRect(*graph.GetBands().at(0));
  return QPoint(graph.GetRect().left + h.left + 4, graph.GetRect().top + h.top + 4);
}
// Selects the band with a click on its handle and gives the point of a strip beside the plot.
QPoint DeqStrip(PressRig& r, bool range) {
  CTorvexSeriesDEQControl& graph = DeqGraph(r);
  const QPoint handle = DeqHandle(graph);
  Click(*r.panel, handle);
  const CRect g = graph.GetRect();
  return range ? QPoint(g.left + graph.GetPlotRect().left / 2, handle.y())
               : QPoint(handle.x(), g.top + graph.GetPlotRect().bottom + 5);
}

const DragCase kDragCases[] = {
    {"NerexInputFader", kModelNerex48, 0, 0, [](PressRig& r) { return r.Cap(kParamInputGain + 1); }, QPoint(0, 8),
     kParamInputGain + 1, kParamInputGain + 1, 0.1f},
    {"NerexGeqFader", kModelNerex48, 0, kNerexPageInputGeq, [](PressRig& r) { return r.Cap(kParamGeqBand + 3); },
     QPoint(0, 6), kParamGeqBand + 3, kParamGeqBand + 3, 0.1f},
    {"Calder48OutputFader", kModelCalder48, kHardwareCalder48, 0,
     [](PressRig& r) { return r.Cap(kParamOutputGain + 2); }, QPoint(0, 8), kParamOutputGain + 2,
     kParamOutputGain + 2, 0.1f},
    {"ZelAmpKnob", kZel2, 0, 0, [](PressRig& r) { return r.Centre<CKnob>(kZelParamGain); }, QPoint(0, 8),
     kZelParamGain, kZelParamGain, 1.0f},
    {"BoxKnob", kBox8, 0, 0, [](PressRig& r) { return r.Centre<CKnob>(kBreakParamGain + 1); }, QPoint(0, 6),
     kBreakParamGain + 1, kBreakParamGain + 1, 0.5f},
    {"NerexGeqCurve", kModelNerex48, 0, kNerexPageInputGeq,
     [](PressRig& r) {
       const CRect plot = r.Widget<CNerexSeriesParametricControl>(kGraphicEqCurveId).GetPlotRect();
       return CentreOf(plot) + QPoint(plot.Width() / 5, 0);
     },
     QPoint(0, 6), kGraphicEqCurveId, 0, 0.0f},
    {"NerexInputPeqCurve", kModelNerex48, 0, kNerexPageInputPeq,
     [](PressRig& r) { return CurveHandle(r, kInputPeqCurveId, kParamInputPeqFrequency + 2, kParamInputPeqGain + 2); },
     QPoint(6, -4), kInputPeqCurveId, 0, 0.0f},
    {"NerexOutputEqCurve", kModelNerex48, 0, kNerexPageOutputEq,
     [](PressRig& r) {
       return CurveHandle(r, kOutputEqCurveId, kParamOutputPeqFrequency + 2, kParamOutputPeqGain + 2);
     },
     QPoint(6, -4), kOutputEqCurveId, 0, 0.0f},
    {"TorvexDeqHandle", kModelTorvex48, 0, kNerexPageInputDeq, [](PressRig& r) { return DeqHandle(DeqGraph(r)); },
     QPoint(6, -4), kDeqGraphId, 0, 0.0f},
    {"TorvexDeqRangeStrip", kModelTorvex48, 0, kNerexPageInputDeq, [](PressRig& r) { return DeqStrip(r, true); },
     QPoint(0, -6), kDeqGraphId, 0, 0.0f},
    {"TorvexDeqFrequencyStrip", kModelTorvex48, 0, kNerexPageInputDeq,
     [](PressRig& r) { return DeqStrip(r, false); }, QPoint(8, 0), kDeqGraphId, 0, 0.0f},
};

// Cases print by name, so that CTest's names stay the same from run to run.
void PrintTo(const DragCase& c, std::ostream* os) { *os << c.name; }

// What takes the press from the panel mid-drag; the button-up lands elsewhere.
enum class Cut { kModalWindow, kOtherWindow, kFocusElsewhere, kPanelHidden, kUnitAway };

const char* CutName(Cut cut) {
  switch (cut) {
    case Cut::kModalWindow: return "ModalWindow";
    case Cut::kOtherWindow: return "OtherWindow";
    case Cut::kFocusElsewhere: return "FocusElsewhere";
    case Cut::kPanelHidden: return "PanelHidden";
    case Cut::kUnitAway: return "UnitAway";
  }
  return "";
}

class DragCutShortTest : public PressRig, public ::testing::WithParamInterface<std::tuple<DragCase, Cut>> {
 protected:
  // Cuts the press short as it happens to a person: the window that opens (a message, the
  // password question, "Checking Security...") takes the button-up and closes again; another
  // window or box takes the focus; the panel is hidden and shown again; the unit falls silent
  // and answers again, the button held all along.
  void CutShort(Cut cut) {
    switch (cut) {
      case Cut::kModalWindow: {
        QDialog window;
        window.setModal(true);
        window.show();
        QApplication::processEvents();
        SendMouse(window, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
        window.close();
        QApplication::processEvents();
        break;
      }
      case Cut::kOtherWindow: {
        QWidget other;
        other.show();
        other.activateWindow();
        QApplication::processEvents();
        SendMouse(other, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
        break;
      }
      case Cut::kFocusElsewhere: {
        QLineEdit elsewhere;
        elsewhere.show();
        elsewhere.setFocus();
        QApplication::processEvents();
        SendMouse(elsewhere, QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton);
        break;
      }
      case Cut::kPanelHidden:
        panel->hide();
        panel->show();
        QApplication::processEvents();
        break;
      case Cut::kUnitAway: UnitAway(true); break;
    }
    panel->activateWindow();
    QApplication::processEvents();
  }
};

}  // namespace

TEST_P(DragCutShortTest, NothingReachesTheUnitAfterwardsButWhatTheHandDoes) {
  const auto& [c, cut] = GetParam();
  Open(c.type, c.hardware, c.page);
  if (HasFatalFailure()) return;
  panel->activateWindow();
  panel->setFocus();
  QApplication::processEvents();
  const QPoint start = c.grab(*this);
  const CControlObject* under = panel->HitTest(start.x(), start.y());
  ASSERT_TRUE(under && under->GetId() == c.widgetId) << "not over the control";
  DeliverQueued(*device);
  PressAndDrag(start, c.step);
  ASSERT_GT(DeliverQueued(*device), 0u) << "the drag sent nothing";

  CutShort(cut);
  // The pointer passes over the control, the button still held (a window that closed by
  // itself) and let go.
  PassOver(start, c.step, Qt::LeftButton);
  PassOver(start, c.step, Qt::NoButton);
  EXPECT_EQ(DeliverQueued(*device), 0u) << "the pointer moved a value with nobody dragging";

  if (c.wheelId) {
    // One notch moves one step from what the unit holds.
    const float held = device->GetCurrentValue(c.wheelId).value;
    Wheel(*panel, start, 1);
    EXPECT_EQ(DeliverQueued(*device), 1u);
    const float now = device->GetCurrentValue(c.wheelId).value;
    EXPECT_GT(now, held);
    EXPECT_LE(now, device->NudgeLevel(c.wheelId, held, c.wheelStep) + 0.01f) << "from " << held;
    // And a key the control pressed last takes one step down from there.
    Key(*panel, Qt::Key_Down);
    EXPECT_EQ(DeliverQueued(*device), 1u);
    const float down = device->GetCurrentValue(c.wheelId).value;
    EXPECT_LT(down, now);
    EXPECT_GE(down, device->NudgeLevel(c.wheelId, now, -c.wheelStep) - 0.01f) << "from " << now;
  }
  // The hand drags it again.
  const QPoint again = c.grab(*this);
  DeliverQueued(*device);
  PressAndDrag(again, c.step);
  SendMouse(*panel, QEvent::MouseButtonRelease, again + 3 * c.step, Qt::LeftButton, Qt::NoButton);
  EXPECT_GT(DeliverQueued(*device), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, DragCutShortTest,
    ::testing::Combine(::testing::ValuesIn(kDragCases),
                       ::testing::Values(Cut::kModalWindow, Cut::kOtherWindow, Cut::kFocusElsewhere,
                                         Cut::kPanelHidden, Cut::kUnitAway)),
    [](const ::testing::TestParamInfo<std::tuple<DragCase, Cut>>& info) {
      return std::string(std::get<0>(info.param).name) + "_" + CutName(std::get<1>(info.param));
    });
