// What each family's control panel lets the current user do, through the panel window: every
// control that changes a unit needs "Can Use Device Controls" (a name, "Can Edit Device
// Properties"), whether clicked, dragged, turned by the wheel, typed in or sent keys after a
// press made before the user changed; what only moves the panel needs nothing. The frames that
// leave are handed to the simulated unit, which says what the unit now holds. Set
// ORVAK_PANEL_PNG_DIR to keep the panels as a user without the rights sees them.
#include <QImage>
#include <QListWidget>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/PanelClasses.h"
#include "panels/amplifier/ZelBreakControlPanel.h"
#include "panels/amplifier/ZelSeriesControlPanel.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/framework/Knob.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/NerexSeriesBaseControlPanel.h"
#include "platform/Image.h"
#include "tests/panels/PanelRig.h"

namespace {

struct ControlCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t hardware;
  // The restriction bits the control needs; 0 for what only moves the panel.
  std::uint64_t rights;
  // What a user with every right did before the guest became current (may be empty).
  std::function<void(PanelRig&)> before;
  // What the guest does, through the window.
  std::function<void(PanelRig&)> act;
  // What the unit holds (or, for what moves the panel, the device shows) that the act changes.
  std::function<std::string(PanelRig&)> holds;
};

const ControlCase kControlCases[] = {
    // --- Zel amplifier ---
    {"ZelKnobDrag", kZel2, 0, kControls, {},
     [](PanelRig& r) {
       const QPoint knob = r.Centre<CKnob>(kZelParamGain);
       Drag(*r.panel, knob, knob + QPoint(0, 40));
     },
     [](PanelRig& r) { return std::to_string(r.AmpHolds().gainIndex[0]); }},
    {"ZelGainTyped", kZel2, 0, kControls, {}, [](PanelRig& r) { r.EditText(kZelParamGain, "-20"); },
     [](PanelRig& r) { return std::to_string(r.AmpHolds().gainIndex[0]); }},
    {"ZelMuteClick", kZel2, 0, kControls, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kZelParamMute)); },
     [](PanelRig& r) { return std::to_string(r.AmpHolds().muteMask); }},
    {"ZelKeysToTheKnobPressedBeforeTheSwitch", kZel2, 0, kControls,
     [](PanelRig& r) { Click(*r.panel, r.Centre<CKnob>(kZelParamGain)); },
     [](PanelRig& r) {
       for (int i = 0; i < 3; ++i) Key(*r.panel, Qt::Key_PageDown);
     },
     [](PanelRig& r) { return std::to_string(r.AmpHolds().gainIndex[0]); }},
    {"ZelChannelName", kZel2, 0, kControls | kNames, {},
     [](PanelRig& r) { r.EditText(kZelParamChannelName, "Lead"); },
     [](PanelRig& r) { return r.AmpHolds().channelNames[0]; }},
    {"ZelAmpName", kZel2, 0, kNames, {}, [](PanelRig& r) { r.EditText(kZelParamAmpName, "Stage Left"); },
     [](PanelRig& r) { return r.AmpHolds().name; }},
    {"ZelAmpNameBoxOpenedBeforeTheSwitch", kZel2, 0, kNames,
     [](PanelRig& r) { DoubleClick(*r.panel, r.Centre<CTextControl>(kZelParamAmpName)); },
     [](PanelRig& r) { TypeAndEnter(r.panel->GetInPlaceEditor(), "Stage Left"); },
     [](PanelRig& r) { return r.AmpHolds().name; }},
    {"ZelIdentify", kZel2, 0, 0, {},
     [](PanelRig& r) {
       Click(*r.panel, r.Centre<CBmpButton>(kZelParamIdentify));
     },
     [](PanelRig& r) { return std::to_string(r.twins.amp->ReadCount(0xB0)); }},
    {"ZelDisplayPage", kZel2, 0, 0, {},
     [](PanelRig& r) {
       Click(*r.panel, r.Centre<CBmpButton>(kZelParamPanelPage));
     },
     [](PanelRig& r) { return std::to_string(r.Amp().GetDisplayPage()); }},

    // --- Zel breakout box ---
    {"BoxKnobDrag", kBox8, 0, kControls, {},
     [](PanelRig& r) {
       const QPoint knob = r.Centre<CKnob>(kBreakParamGain + 1);
       Drag(*r.panel, knob, knob + QPoint(0, 30));
     },
     [](PanelRig& r) { return std::to_string(r.BoxHolds().gains[1]); }},
    {"BoxGainTextWheel", kBox8, 0, kControls, {},
     [](PanelRig& r) { Wheel(*r.panel, r.Centre<CTextControl>(kBreakParamGain + 1), -10); },
     [](PanelRig& r) { return std::to_string(r.BoxHolds().gains[1]); }},
    {"BoxMuteClick", kBox8, 0, kControls, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kBreakParamMute)); },
     [](PanelRig& r) { return std::to_string(r.BoxHolds().muteMask); }},
    {"BoxKeysToTheKnobPressedBeforeTheSwitch", kBox8, 0, kControls,
     [](PanelRig& r) { Click(*r.panel, r.Centre<CKnob>(kBreakParamGain + 2)); },
     [](PanelRig& r) {
       for (int i = 0; i < 3; ++i) Key(*r.panel, Qt::Key_Down);
     },
     [](PanelRig& r) { return std::to_string(r.BoxHolds().gains[2]); }},
    {"BoxChannelName", kBox8, 0, kControls | kNames, {},
     [](PanelRig& r) { r.EditText(kBreakParamChannelName, "Kick"); },
     [](PanelRig& r) { return r.BoxHolds().channelNames[0]; }},
    {"BoxName", kBox8, 0, kNames, {}, [](PanelRig& r) { r.EditText(kBreakParamBoxName, "Renamed"); },
     [](PanelRig& r) { return r.BoxHolds().name; }},
    {"BoxIdentify", kBox8, 0, 0, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kBreakParamIdentify)); },
     [](PanelRig& r) { return std::to_string(r.twins.box->ReadCount(0xB0)); }},

    // --- Processors ---
    {"NerexInputFaderDrag", kModelNerex48, 0, kControls, {},
     [](PanelRig& r) {
       const QPoint cap = r.Cap(kParamInputGain);
       Drag(*r.panel, cap, cap - QPoint(0, 26));
     },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().inputs.gains[0]); }},
    {"NerexOutputMuteClick", kModelNerex48, 0, kControls, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamOutputMute + 2)); },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().outputs.muteMask); }},
    {"NerexKeysToTheFaderPressedBeforeTheSwitch", kModelNerex48, 0, kControls,
     [](PanelRig& r) { Click(*r.panel, r.Cap(kParamOutputGain + 1)); },
     [](PanelRig& r) { Key(*r.panel, Qt::Key_PageDown); },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().outputs.gains[1]); }},
    {"NerexDelayWheel", kModelNerex48, 0, kControls, {},
     [](PanelRig& r) { Wheel(*r.panel, r.Centre<CTextControl>(kParamInputDelay + 1), 5); },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().inputs.delays[1]); }},
    {"NerexAutoLimitersList", kModelNerex48, 0, kControls, {},
     [](PanelRig& r) {
       // The Limiters side tab moves the panel only: the guest reaches the lists.
       Click(*r.panel, r.Centre<CBmpButton>(kNerexSideTabLimiters));
       Click(*r.panel, r.Centre<CCustomComboBox>(kParamAutoLimiters));
       if (QListWidget* list = r.panel->GetDropDown()) {
         list->setCurrentRow(list->count() - 1);
         Key(*list, Qt::Key_Return);
       }
     },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().outputs.autoLimiters); }},
    {"NerexInputName", kModelNerex48, 0, kNames, {}, [](PanelRig& r) { r.EditText(kParamInputName, "Vox"); },
     [](PanelRig& r) { return NameOf(r.ProcessorHolds().inputs.names[0]); }},
    {"NerexDeviceName", kModelNerex48, 0, kNames, {}, [](PanelRig& r) { r.EditText(kParamDeviceName, "Foyer"); },
     [](PanelRig& r) { return r.twins.processor->DeviceName(); }},
    {"NerexPageTab", kModelNerex48, 0, 0, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kNerexPageOutputEq)); },
     [](PanelRig& r) { return std::to_string(r.Processor().PanelView().GetPanelPage()); }},
    {"Calder48OutputFaderDrag", kModelCalder48, kHardwareCalder48, kControls, {},
     [](PanelRig& r) {
       const QPoint cap = r.Cap(kParamOutputGain + 3);
       Drag(*r.panel, cap, cap + QPoint(0, 30));
     },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().outputs.gains[3]); }},
    {"Hollin2InputMuteClick", kModelCalder48, kHardwareHollin2, kControls, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamInputMute + 1)); },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().inputs.muteMask); }},
    {"Torvex48InputFaderDrag", kModelTorvex48, 0, kControls, {},
     [](PanelRig& r) {
       const QPoint cap = r.Cap(kParamInputGain + 2);
       Drag(*r.panel, cap, cap - QPoint(0, 20));
     },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().inputs.gains[2]); }},
    {"Torvex48PolarityClick", kModelTorvex48, 0, kControls, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamOutputPhase + 4)); },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().outputs.phaseMask); }},
    {"FennickOutputMuteClick", kModelFennick, 0, kControls, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamOutputMute + 1)); },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().outputs.muteMask); }},
    {"ZelFennickInputMuteClick", kModelZelFennick, 0, kControls, {},
     [](PanelRig& r) { Click(*r.panel, r.Centre<CBmpButton>(kParamInputMute)); },
     [](PanelRig& r) { return std::to_string(r.ProcessorHolds().inputs.muteMask); }},
};

using ControlRun = RightsRun<ControlCase>;

class PanelRightsTest : public PanelRig, public ::testing::WithParamInterface<ControlRun> {
 protected:
  void TearDown() override {
    Close();
    PanelRig::TearDown();
  }
};

}  // namespace

TEST_P(PanelRightsTest, TheControlChangesTheUnitOnlyForAUserWithItsRights) {
  const ControlRun& run = GetParam();
  const ControlCase& c = *run.c;
  Open(c.type, c.hardware);
  if (HasFatalFailure()) return;
  if (c.before) c.before(*this);
  // The guest becomes current and the panel is told, as Users > Switch Users does.
  BecomeGuest(run.withheld ? run.withheld : kEveryRight & ~c.rights);
  panel->ApplyPermissions(true);
  ExpectAChangeOnlyWithTheRight(*device, run.withheld != 0, [&] { c.act(*this); }, [&] { return c.holds(*this); });
  if (run.withheld) {
    EXPECT_EQ(panel->GetInPlaceEditor(), nullptr);
    EXPECT_EQ(panel->GetDropDown(), nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Families, PanelRightsTest, ::testing::ValuesIn(RightsRuns(kControlCases)),
                         RightsRunName<ControlCase>);

// --- The look ---

namespace {

struct LookCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t hardware;
  std::uint32_t page;  // a processor's page (0: its first)
  int control;         // a control that changes the unit: dimmed
  int navigation;      // a widget that needs no right (0: none): unchanged
};

const LookCase kLookCases[] = {
    {"Zel2", kZel2, 0, 0, kZelParamMute, kZelParamIdentify},
    {"Zel4", 55, 0, 0, kZelParamMute + 3, kZelParamPanelPage},
    {"Box8", kBox8, 0, 0, kBreakParamMute + 3, kBreakParamIdentify},
    {"Box16", 41, 0, 0, kBreakParamMute + 12, kBreakParamIdentify},
    {"Nerex48", kModelNerex48, 0, 0, kParamOutputMute + 4, kNerexPageInputGeq},
    {"Nerex48InputGeq", kModelNerex48, 0, kNerexPageInputGeq, kParamGeqBand + 3, kNerexPageMixer},
    {"Nerex48InputPeq", kModelNerex48, 0, kNerexPageInputPeq, kParamInputPeqGain + 1, kNerexPageMixer},
    {"Nerex48OutputEq", kModelNerex48, 0, kNerexPageOutputEq, kParamOutputPeqFrequency + 2, kNerexPageMixer},
    {"Calder26", kModelCalder26, 0, 0, kParamOutputMute + 1, kNerexPageOutputEq},
    {"Hollin2", kModelCalder48, kHardwareHollin2, 0, kParamInputMute + 2, kNerexPageOutputEq},
    {"Torvex48", kModelTorvex48, 0, 0, kParamOutputMute, kNerexSideTabLinking},
    {"Torvex48InputDeq", kModelTorvex48, 0, kNerexPageInputDeq, kParamDeqThreshold, kNerexPageMixer},
    {"Torvex48OutputComp", kModelTorvex48, 0, kNerexPageOutputComp, kParamCompressorThreshold + 2, kNerexPageMixer},
    {"Fennick", kModelFennick, 0, 0, kParamOutputMute + 3, 0},
    {"ZelFennick", kModelZelFennick, 0, 0, kParamInputMute + 1, 0},
};

class PanelLookTest : public PanelRig, public ::testing::WithParamInterface<LookCase> {
 protected:
  void TearDown() override {
    Close();
    PanelRig::TearDown();
  }
  // The summed brightness of the widget's area in the back buffer.
  long Brightness(int id) const {
    const CControlObject* widget = nullptr;
    for (CControlObject* control : panel->GetControls())
      if (control->GetId() == id && control->IsVisible() && !dynamic_cast<CBitmapObject*>(control)) widget = control;
    EXPECT_NE(widget, nullptr) << id;
    if (!widget) return 0;
    const CRect r = widget->GetRect();
    long sum = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const CColour c = panel->GetBackBuffer()->GetPixel(x, y);
        sum += c.R() + c.G() + c.B();
      }
    return sum;
  }
};

}  // namespace

TEST_P(PanelLookTest, AUserWithoutTheRightSeesTheControlsDimmedAndThePanelsWaysAroundAsTheyWere) {
  const LookCase& c = GetParam();
  Open(c.type, c.hardware, c.page);
  if (HasFatalFailure()) return;
  const long control = Brightness(c.control);
  const long navigation = c.navigation ? Brightness(c.navigation) : 0;
  BecomeGuest(kRestrictUseDeviceControls | kRestrictEditDeviceProperties);
  panel->ApplyPermissions(true);
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    panel->GetBackBuffer()->Native().save(QString::fromLocal8Bit(dir) + QStringLiteral("/locked-%1.png").arg(c.name));
  EXPECT_LT(Brightness(c.control), control * 9 / 10);
  if (c.navigation) {
    EXPECT_EQ(Brightness(c.navigation), navigation);
  }
  // The user who holds the right again sees the panel as it was.
  BecomeAdmin();
  panel->ApplyPermissions(true);
  EXPECT_EQ(Brightness(c.control), control);
}

INSTANTIATE_TEST_SUITE_P(Families, PanelLookTest, ::testing::ValuesIn(kLookCases),
                         [](const ::testing::TestParamInfo<LookCase>& info) { return std::string(info.param.name); });
