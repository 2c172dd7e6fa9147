// What the hand does on a device panel is what the unit gets. A drag that something else cuts
// short (a window opening over the panel, the focus going elsewhere, the panel hidden, the unit
// going away) writes nothing afterwards, however the pointer passes over the control, with the
// button held or not, and a wheel notch then moves one step from what the unit holds. A change
// that a unit away or set aside cannot take is refused with words on every family, and the
// control shows what the unit holds once the press ends. The frames that leave are handed to
// the simulated units, which say what each unit holds.
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "core/model/Link.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/Knob.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "tests/panels/PanelRig.h"
#include "tests/support/ModalGuard.h"
#include "widgets/ErrorTip.h"

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
  void Set(const CParamValue& value) const { device->Gate().ApplyUserChange(value); }

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

// --- A change refused while the unit is away ---

namespace {

// How the unit is out of reach: silent, or another model answering at the device's ID.
enum class Reach { kSilent, kSetAside };

struct RefusalCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t hardware;
  std::uint32_t otherType;  // a unit of another model of the family
  // What the hand does, through the window.
  std::function<void(PressRig&)> act;
  // The parameter the act changes.
  int id;
  // True when the control shows the value the device holds.
  std::function<bool(PressRig&, const CParamValue&)> showsHeld;
};

void DragFader(PressRig& r, int id) {
  const QPoint cap = r.Cap(id);
  r.PressAndDrag(cap, QPoint(0, 12));
  SendMouse(*r.panel, QEvent::MouseButtonRelease, cap + QPoint(0, 36), Qt::LeftButton, Qt::NoButton);
}
void DragKnob(PressRig& r, int id) {
  const QPoint knob = r.Centre<CKnob>(id);
  r.PressAndDrag(knob, QPoint(0, 10));
  SendMouse(*r.panel, QEvent::MouseButtonRelease, knob + QPoint(0, 30), Qt::LeftButton, Qt::NoButton);
}
bool FaderHolds(PressRig& r, int id, const CParamValue& held) {
  const CBitmapFader& fader = r.Widget<CBitmapFader>(id);
  return std::fabs(fader.GetValue() - held.value) < 1e-4f;
}
bool KnobHolds(PressRig& r, int id, const CParamValue& held) {
  return std::fabs(r.Widget<CKnob>(id).GetValue() - held.value) < 1e-4f;
}
bool MuteHolds(PressRig& r, int id, const CParamValue& held) {
  return r.Widget<CBmpButton>(id).IsLit() == BoolOf(held);
}
bool TextHolds(PressRig& r, int id, const CParamValue& held) {
  return r.Widget<CTextControl>(id).GetText() == held.GetText();
}

const RefusalCase kRefusalCases[] = {
    {"NerexFaderDrag", kModelNerex48, 0, kModelTorvex48, [](PressRig& r) { DragFader(r, kParamInputGain); },
     kParamInputGain, [](PressRig& r, const CParamValue& v) { return FaderHolds(r, kParamInputGain, v); }},
    {"NerexMuteClick", kModelNerex48, 0, kModelTorvex48,
     [](PressRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamInputMute)); }, kParamInputMute,
     [](PressRig& r, const CParamValue& v) { return MuteHolds(r, kParamInputMute, v); }},
    // A change that asks its confirmation first is refused before the question.
    {"NerexRoutingClick", kModelNerex48, 0, kModelTorvex48,
     [](PressRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamMatrixRouting + 1)); }, kParamMatrixRouting + 1,
     [](PressRig& r, const CParamValue& v) { return MuteHolds(r, kParamMatrixRouting + 1, v); }},
    // The preset manager is not opened for a unit that takes none of its actions.
    {"NerexPresetsButton", kModelNerex48, 0, kModelTorvex48,
     [](PressRig& r) {
       CModalGuard guard;
       Click(*r.panel, r.Centre<CBmpButton>(kPresetActionManager));
       EXPECT_EQ(guard.opened, 0) << "the preset manager opened";
     },
     kPresetActionManager, [](PressRig&, const CParamValue&) { return true; }},
    {"NerexNameTyped", kModelNerex48, 0, kModelTorvex48, [](PressRig& r) { r.EditText(kParamInputName, "Vox"); },
     kParamInputName, [](PressRig& r, const CParamValue& v) { return TextHolds(r, kParamInputName, v); }},
    {"Calder48FaderDrag", kModelCalder48, kHardwareCalder48, kModelNerex48,
     [](PressRig& r) { DragFader(r, kParamOutputGain + 1); }, kParamOutputGain + 1,
     [](PressRig& r, const CParamValue& v) { return FaderHolds(r, kParamOutputGain + 1, v); }},
    {"Hollin2MuteClick", kModelCalder48, kHardwareHollin2, kModelNerex48,
     [](PressRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamInputMute + 1)); }, kParamInputMute + 1,
     [](PressRig& r, const CParamValue& v) { return MuteHolds(r, kParamInputMute + 1, v); }},
    {"Torvex48FaderDrag", kModelTorvex48, 0, kModelNerex48, [](PressRig& r) { DragFader(r, kParamInputGain + 2); },
     kParamInputGain + 2, [](PressRig& r, const CParamValue& v) { return FaderHolds(r, kParamInputGain + 2, v); }},
    {"FennickMuteClick", kModelFennick, 0, kModelNerex48,
     [](PressRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamOutputMute + 1)); }, kParamOutputMute + 1,
     [](PressRig& r, const CParamValue& v) { return MuteHolds(r, kParamOutputMute + 1, v); }},
    {"ZelFennickMuteClick", kModelZelFennick, 0, kModelNerex48,
     [](PressRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamInputMute)); }, kParamInputMute,
     [](PressRig& r, const CParamValue& v) { return MuteHolds(r, kParamInputMute, v); }},
    {"ZelAmpKnobDrag", kZel2, 0, 55, [](PressRig& r) { DragKnob(r, kZelParamGain); }, kZelParamGain,
     [](PressRig& r, const CParamValue& v) { return KnobHolds(r, kZelParamGain, v); }},
    {"ZelAmpMuteClick", kZel2, 0, 55, [](PressRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kZelParamMute)); },
     kZelParamMute, [](PressRig& r, const CParamValue& v) { return MuteHolds(r, kZelParamMute, v); }},
    {"BoxKnobDrag", kBox8, 0, 41, [](PressRig& r) { DragKnob(r, kBreakParamGain + 1); }, kBreakParamGain + 1,
     [](PressRig& r, const CParamValue& v) { return KnobHolds(r, kBreakParamGain + 1, v); }},
    {"BoxMuteClick", kBox8, 0, 41, [](PressRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kBreakParamMute + 2)); },
     kBreakParamMute + 2, [](PressRig& r, const CParamValue& v) { return MuteHolds(r, kBreakParamMute + 2, v); }},
    {"BoxChannelNameTyped", kBox8, 0, 41, [](PressRig& r) { r.EditText(kBreakParamChannelName + 2, "AwayName"); },
     kBreakParamChannelName + 2,
     [](PressRig& r, const CParamValue& v) { return TextHolds(r, kBreakParamChannelName + 2, v); }},
    {"BoxNameTyped", kBox8, 0, 41, [](PressRig& r) { r.EditText(kBreakParamBoxName, "Stage"); }, kBreakParamBoxName,
     [](PressRig& r, const CParamValue& v) { return TextHolds(r, kBreakParamBoxName, v); }},
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class RefusedChangeTest : public PressRig, public ::testing::WithParamInterface<std::tuple<RefusalCase, Reach>> {};

}  // namespace

TEST_P(RefusedChangeTest, SaysWhyAndTheControlShowsWhatTheUnitHolds) {
  const auto& [c, reach] = GetParam();
  Open(c.type, c.hardware);
  if (HasFatalFailure()) return;
  if (reach == Reach::kSilent) {
    UnitAway(false);
  } else {
    device->UnitAtId().SetAside(c.otherType, "Other");
    panel->UpdateOnlineStatus(device->IsConnected());
  }
  ASSERT_TRUE(device->HeldValues().IsAwayOnline());
  DeliverQueued(*device);
  const CParamValue held = device->GetCurrentValue(c.id);
  EXPECT_EQ(panel->GetRefusalTip(), nullptr);

  c.act(*this);
  EXPECT_EQ(DeliverQueued(*device), 0u);
  const CErrorTip* tip = panel->GetRefusalTip();
  ASSERT_NE(tip, nullptr) << "refused without a word";
  EXPECT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->Message().toStdString(), "Cannot change settings - the unit is not connected");
  EXPECT_TRUE(c.showsHeld(*this, device->GetCurrentValue(c.id)));
  EXPECT_TRUE(c.showsHeld(*this, held));
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR")) {
    // The panel with the tip where it stands over it.
    const QPoint origin = panel->mapToGlobal(QPoint());
    QImage shot(panel->width(), std::max(panel->height(), tip->geometry().bottom() - origin.y() + 1),
                QImage::Format_ARGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    panel->render(&painter);
    const_cast<CErrorTip*>(tip)->render(&painter, tip->pos() - origin);
    painter.end();
    shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/refused-%1.png").arg(c.name));
  }
}

INSTANTIATE_TEST_SUITE_P(Families, RefusedChangeTest,
                         ::testing::Combine(::testing::ValuesIn(kRefusalCases),
                                            ::testing::Values(Reach::kSilent, Reach::kSetAside)),
                         [](const ::testing::TestParamInfo<std::tuple<RefusalCase, Reach>>& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == Reach::kSilent ? "_Silent" : "_SetAside");
                         });

// --- A name the unit would not keep ---

namespace {

struct PastedNameCase {
  const char* name;
  std::uint32_t type;
  int id;
  const char* pasted;
  const char* refusal;  // empty: the unit takes it
};

const PastedNameCase kPastedNames[] = {
    {"NerexBeyondAsciiAndTab", kModelNerex48, kParamInputName, "\xC3\x9C" "b\tX",
     "Channel name cannot contain \"\xC3\x9C\" - the unit takes ASCII characters only"},
    {"NerexNineCharacters", kModelNerex48, kParamOutputName + 5, "ABCDEFGHI", "Channel name too long - 8 characters max"},
    {"NerexEightCharacters", kModelNerex48, kParamOutputName + 5, "ABCDEFGH", ""},
    {"TorvexElevenCharacters", kModelTorvex48, kParamInputName + 1, "ABCDEFGHIJK",
     "Channel name too long - 8 characters max"},
    {"TorvexLineEnd", kModelTorvex48, kParamInputName + 1, "Kick\nSn", "Channel name cannot contain control characters"},
    {"TorvexDeviceNameTooLong", kModelTorvex48, kParamDeviceName, "0123456789012345678901234567890123456789X",
     "Device name too long - 40 characters max"},
    {"ZelChannelNameTooLong", kZel2, kZelParamChannelName, "Seventeen letters", "Channel name too long - 16 characters max"},
};

void PrintTo(const PastedNameCase& c, std::ostream* os) { *os << c.name; }

class PastedNameTest : public PressRig, public ::testing::WithParamInterface<PastedNameCase> {};

}  // namespace

// A name pasted into a name box goes in whole, however many characters the box takes typed:
// one the unit would not keep as it stands (a character beyond ASCII, a control character, more
// characters than its field) is refused in words under the box and nothing leaves, and the box
// shows the name the unit holds; one it keeps reaches it as pasted.
TEST_P(PastedNameTest, ANameTheUnitWouldNotKeepIsRefusedInWordsNeverCut) {
  const PastedNameCase& c = GetParam();
  Open(c.type, 0);
  if (HasFatalFailure()) return;
  DeliverQueued(*device);
  const std::string held = device->GetCurrentValue(c.id).GetText();
  CTextControl& text = Widget<CTextControl>(c.id);
  DoubleClick(*panel, Centre<CTextControl>(c.id));
  QLineEdit* box = panel->GetInPlaceEditor();
  ASSERT_NE(box, nullptr);
  box->selectAll();
  QApplication::clipboard()->setText(QString::fromUtf8(c.pasted));
  box->paste();
  EXPECT_EQ(box->text(), QString::fromUtf8(c.pasted));
  Key(*box, Qt::Key_Return);
  const std::size_t frames = DeliverQueued(*device);
  if (*c.refusal) {
    EXPECT_EQ(frames, 0u);
    ASSERT_NE(panel->GetRefusalTip(), nullptr);
    EXPECT_EQ(panel->GetRefusalTip()->Message().toStdString(), c.refusal);
    EXPECT_EQ(device->GetCurrentValue(c.id).GetText(), held);
    EXPECT_EQ(text.GetText(), held);
  } else {
    EXPECT_EQ(frames, 1u);
    EXPECT_EQ(panel->GetRefusalTip(), nullptr);
    EXPECT_EQ(device->GetCurrentValue(c.id).GetText(), c.pasted);
    EXPECT_EQ(std::string(ProcessorHolds().outputs.names[5].data(), 8), c.pasted);
  }
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"); dir && *c.refusal) {
    const CErrorTip* tip = panel->GetRefusalTip();
    const QPoint origin = panel->mapToGlobal(QPoint());
    QImage shot(panel->width(), std::max(panel->height(), tip->geometry().bottom() - origin.y() + 1),
                QImage::Format_ARGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    panel->render(&painter);
    const_cast<CErrorTip*>(tip)->render(&painter, tip->pos() - origin);
    painter.end();
    shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/pasted-%1.png").arg(c.name));
  }
}

INSTANTIATE_TEST_SUITE_P(Families, PastedNameTest, ::testing::ValuesIn(kPastedNames),
                         [](const ::testing::TestParamInfo<PastedNameCase>& info) { return std::string(info.param.name); });

// A change that reaches a unit away over a link is not the person's at that unit's panel: the
// member's panel says nothing, while the unit that was changed takes it.
using LinkedRefusalTest = PressRig;

TEST_F(LinkedRefusalTest, TheMembersPanelSaysNothingOfAChangeThatCameOverALink) {
  Open(kModelNerex48, 0);
  if (HasFatalFailure()) return;
  CDevice* member = device;
  CDevice* master = AddUnit(kModelNerex48, 2);
  ASSERT_NE(master, nullptr);
  auto* link = new CLink("Mains");
  link->AddRef(new CLinkRef(master->GetUuid(), kParamOutputGain + 1));
  link->AddRef(new CLinkRef(member->GetUuid(), kParamOutputGain + 1));
  system.Links().AppendLink(link);
  system.Links().SetLinksActive(true);
  UnitAway(false);
  DeliverQueued(*member);
  DeliverQueued(*master);
  master->Gate().ApplyUserChange(CParamValue(kParamOutputGain + 1, -10.0f, ParamKind::kLevel));
  EXPECT_GT(DeliverQueued(*master), 0u);
  EXPECT_EQ(DeliverQueued(*member), 0u);
  EXPECT_TRUE(panel->GetRefusalTip() == nullptr || !panel->GetRefusalTip()->isVisible());
  // The member's own control, moved by the hand, says why.
  DragFader(*this, kParamOutputGain + 1);
  ASSERT_NE(panel->GetRefusalTip(), nullptr);
  EXPECT_TRUE(panel->GetRefusalTip()->isVisible());
}
