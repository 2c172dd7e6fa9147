// What a custom panel's widgets let the current user do in operate mode, through the panel's
// window: a widget bound to a unit's parameter changes it only for a user who holds the rights
// the device names for that parameter ("Can Use Device Controls"; "Can Edit Device Properties"
// for a name), whether dragged, clicked or typed in, and an edit opened before the user changed
// ends without a change. The frames that leave are handed to the simulated units.
#include <QPainter>

#include <functional>
#include <string>
#include <vector>

#include "custom/ButtonControl.h"
#include "custom/CPData.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "tests/panels/RightsFixture.h"
#include "core/model/Snapshot.h"
#include "core/support/SystemMessages.h"
#include "tests/support/RecordingUi.h"
#include "ui/CustomControlPanelWnd.h"
#include "widgets/ErrorTip.h"

namespace {

class CustomPanelRig : public RightsFixture {
 public:
  void SetUp() override {
    RightsFixture::SetUp();
    processor = AddUnit(kModelNerex48, 1);
    amp = AddUnit(51, 5);
    box = AddUnit(40, 7);
    data = new CCPData(&system);
    system.Panels().AppendCustomPanel(data);
  }
  void TearDown() override {
    view.reset();
    RightsFixture::TearDown();
  }

  // The widget, bound to the device's parameter, on the panel.
  template <class T>
  T* Place(T* widget, CDevice* device, int parameterId) {
    widget->m_pDevice = device;
    widget->m_parameterId = std::uint32_t(parameterId);
    data->m_widgets.push_back(widget);
    bound = device;
    return widget;
  }
  // The panel's window in operate mode, shown offscreen.
  void Open() {
    system.Panels().SetDesignMode(0);
    view = std::make_unique<CCustomControlPanelWnd>(system);
    view->resize(320, 240);
    view->SetPanelData(data);
    view->show();
    view->RebuildDisplay();
    QApplication::processEvents();
  }
  static QPoint Centre(const CCustomControlObject* widget) {
    const CRect r = widget->m_rect;
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // How far the widget's drawing stands from the panel's colour, on average over the pixels of
  // its rectangle that it covers (0 when it covers none), drawn afresh.
  double Ink(const CCustomControlObject* w) {
    view->RebuildDisplay();
    const CImage& drawn = *view->GetBackBuffer();
    const CColour panel = drawn.GetPixel(drawn.Width() - 1, drawn.Height() - 1);
    double sum = 0.0;
    int covered = 0;
    for (int y = w->m_rect.top; y < w->m_rect.bottom; ++y) {
      for (int x = w->m_rect.left; x < w->m_rect.right; ++x) {
        const CColour c = drawn.GetPixel(x, y);
        const int distance = std::abs(c.R() - panel.R()) + std::abs(c.G() - panel.G()) + std::abs(c.B() - panel.B());
        if (distance == 0) continue;
        sum += distance;
        ++covered;
      }
    }
    return covered ? sum / covered : 0.0;
  }
  // The window with the tip laid over it, kept as a picture when ORVAK_TEST_PICTURES names a
  // folder.
  void SaveShot(const CErrorTip* tip, const std::string& name) {
    const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES");
    if (folder.isEmpty()) return;
    QImage shot(view->size(), QImage::Format_ARGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    view->render(&painter);
    if (tip) const_cast<CErrorTip*>(tip)->render(&painter, view->mapFromGlobal(tip->pos()));
    painter.end();
    shot.save(folder + "/" + QString::fromStdString(name) + ".png");
  }
  // Double-clicks the text widget, types the text and ends with Enter (when a box opened).
  void EditText(const CCustomControlObject* widget, const QString& text) {
    DoubleClick(*view, Centre(widget));
    TypeAndEnter(view->GetTextEditorBox(), text);
  }

  CDevice* processor = nullptr;
  CDevice* amp = nullptr;
  CDevice* box = nullptr;
  CDevice* bound = nullptr;  // the device the case's widget is bound to
  CCPData* data = nullptr;
  std::unique_ptr<CCustomControlPanelWnd> view;
  CCustomControlObject* widget = nullptr;
};

struct WidgetCase {
  const char* name;
  // Places the widget, bound, on the panel.
  std::function<CCustomControlObject*(CustomPanelRig&)> place;
  // What a user with every right did before the guest became current (may be empty).
  std::function<void(CustomPanelRig&)> before;
  // What the guest does, through the window.
  std::function<void(CustomPanelRig&)> act;
  // What the bound unit holds that the act changes.
  std::function<std::string(CustomPanelRig&)> holds;
  // The rights a change of the bound parameter needs.
  std::uint64_t needed = kRestrictUseDeviceControls;
};

const WidgetCase kWidgetCases[] = {
    {"KnobOnAProcessorsInputGain",
     [](CustomPanelRig& r) { return r.Place(new CCCKnob(nullptr, CRect{20, 20, 70, 70}), r.processor, kParamInputGain); },
     {},
     [](CustomPanelRig& r) {
       const QPoint knob = r.Centre(r.widget);
       Drag(*r.view, knob, knob - QPoint(0, 30));
     },
     [](CustomPanelRig& r) { return std::to_string(r.twins.processor->Current().inputs.gains[0]); }},
    {"KnobOnAZelAmplifiersGain",
     [](CustomPanelRig& r) { return r.Place(new CCCKnob(nullptr, CRect{20, 20, 70, 70}), r.amp, kZelParamGain); },
     {},
     [](CustomPanelRig& r) {
       const QPoint knob = r.Centre(r.widget);
       Drag(*r.view, knob, knob + QPoint(0, 40));
     },
     [](CustomPanelRig& r) { return std::to_string(r.twins.amp->State().gainIndex[0]); }},
    {"FaderOnABreakoutBoxsGain",
     [](CustomPanelRig& r) {
       auto* fader = r.Place(new CCCFader(nullptr, CRect{20, 20, 40, 200}), r.box, kBreakParamGain + 2);
       fader->m_rangeMin = -24.0f;
       fader->m_rangeMax = 0.0f;
       return fader;
     },
     {},
     [](CustomPanelRig& r) {
       const CPoint knob = static_cast<CCCFader*>(r.widget)->GetKnobPosition();
       const QPoint grip(knob.x + 3, knob.y + 3);
       Drag(*r.view, grip, grip + QPoint(0, 60));
     },
     [](CustomPanelRig& r) { return std::to_string(r.twins.box->State().gains[2]); }},
    {"ButtonOnAProcessorsOutputMute",
     [](CustomPanelRig& r) {
       return r.Place(new CCCButton(nullptr, CRect{20, 20, 80, 50}), r.processor, kParamOutputMute + 1);
     },
     {}, [](CustomPanelRig& r) { Click(*r.view, r.Centre(r.widget)); },
     [](CustomPanelRig& r) { return std::to_string(r.twins.processor->Current().outputs.muteMask); }},
    {"ButtonOnAZelAmplifiersMute",
     [](CustomPanelRig& r) { return r.Place(new CCCButton(nullptr, CRect{20, 20, 80, 50}), r.amp, kZelParamMute + 1); },
     {}, [](CustomPanelRig& r) { Click(*r.view, r.Centre(r.widget)); },
     [](CustomPanelRig& r) { return std::to_string(r.twins.amp->State().muteMask); }},
    {"TextDraggedOnAProcessorsOutputGain",
     [](CustomPanelRig& r) {
       return r.Place(new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{20, 100, 120, 120}),
                      r.processor, kParamOutputGain + 2);
     },
     {},
     [](CustomPanelRig& r) {
       const QPoint text = r.Centre(r.widget);
       Drag(*r.view, text, text - QPoint(0, 4));
     },
     [](CustomPanelRig& r) { return std::to_string(r.twins.processor->Current().outputs.gains[2]); }},
    {"TextTypedInAProcessorsInputGain",
     [](CustomPanelRig& r) {
       return r.Place(new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{20, 100, 120, 120}),
                      r.processor, kParamInputGain + 3);
     },
     {}, [](CustomPanelRig& r) { r.EditText(r.widget, "-6"); },
     [](CustomPanelRig& r) { return std::to_string(r.twins.processor->Current().inputs.gains[3]); }},
    {"TextTypedInAProcessorsInputName",
     [](CustomPanelRig& r) {
       return r.Place(new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{20, 100, 120, 120}),
                      r.processor, kParamInputName + 1);
     },
     {}, [](CustomPanelRig& r) { r.EditText(r.widget, "Choir"); },
     [](CustomPanelRig& r) { return NameOf(r.twins.processor->Current().inputs.names[1]); },
     kRestrictEditDeviceProperties},
    {"TextTypedInABreakoutBoxsName",
     [](CustomPanelRig& r) {
       return r.Place(new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{20, 100, 120, 120}), r.box,
                      kBreakParamBoxName);
     },
     {}, [](CustomPanelRig& r) { r.EditText(r.widget, "Rack"); },
     [](CustomPanelRig& r) { return r.twins.box->State().name; }, kRestrictEditDeviceProperties},
    {"TextBoxOpenedBeforeTheSwitchOnAZelChannelName",
     [](CustomPanelRig& r) {
       return r.Place(new CCCTextControl(nullptr, "Arial", 10.0f, kTextDefaultFlags, CRect{20, 100, 120, 120}), r.amp,
                      kZelParamChannelName);
     },
     [](CustomPanelRig& r) { DoubleClick(*r.view, r.Centre(r.widget)); },
     [](CustomPanelRig& r) { TypeAndEnter(r.view->GetTextEditorBox(), "Lead"); },
     [](CustomPanelRig& r) { return r.twins.amp->State().channelNames[0]; },
     kRestrictUseDeviceControls | kRestrictEditDeviceProperties},
};

struct WidgetRun {
  const WidgetCase* widget;
  bool withheld;  // the guest lacks the rights the parameter needs (and holds every other one)
};

std::vector<WidgetRun> WidgetRuns() {
  std::vector<WidgetRun> runs;
  for (const WidgetCase& c : kWidgetCases) {
    runs.push_back({&c, false});
    runs.push_back({&c, true});
  }
  return runs;
}

class CustomPanelRightsTest : public CustomPanelRig, public ::testing::WithParamInterface<WidgetRun> {};

}  // namespace

// A user without the rights sees the widget under the device panels' dark shade, and a press
// says why under it, in the words of the right withheld.
TEST_P(CustomPanelRightsTest, TheWidgetChangesItsUnitOnlyForAUserWhoHoldsTheRightsOfItsParameter) {
  const WidgetRun& run = GetParam();
  const WidgetCase& c = *run.widget;
  widget = c.place(*this);
  Open();
  if (c.before) c.before(*this);
  const double lit = Ink(widget);
  BecomeGuest(run.withheld ? c.needed : kEveryRight & ~c.needed);
  const double shown = Ink(widget);
  ExpectAChangeOnlyWithTheRight(*bound, run.withheld, [&] { c.act(*this); }, [&] { return c.holds(*this); });
  const CErrorTip* tip = view->GetRefusalTip();
  if (run.withheld) {
    EXPECT_EQ(view->GetTextEditorBox(), nullptr);
    if (lit > 0.0) {  // an empty name draws nothing to shade
      EXPECT_LT(shown, lit * 0.7) << "drawn as a widget the user may use";
    }
    ASSERT_NE(tip, nullptr) << "refused without a word";
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->Message().toStdString(), NoRightRefusal(c.needed));
    const QPoint corner = view->mapFromGlobal(tip->pos());  // across the widget, under or above it
    EXPECT_LE(corner.x(), widget->m_rect.left);
    EXPECT_GE(corner.x() + tip->width(), widget->m_rect.right);
    SaveShot(tip, std::string("custom-restricted-") + c.name);
  } else {
    EXPECT_EQ(shown, lit);
    EXPECT_EQ(tip, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CustomPanelRightsTest, ::testing::ValuesIn(WidgetRuns()),
                         [](const ::testing::TestParamInfo<WidgetRun>& info) {
                           return std::string(info.param.widget->name) + (info.param.withheld ? "_Withheld" : "_Held");
                         });

// A button that recalls a snapshot, for a user without "Can Recall Snapshots": drawn darkened,
// and a press says why and asks the frame for no recall; for a user with that right alone, a
// press asks for the recall.
class SnapshotButtonRightsTest : public CustomPanelRig, public ::testing::WithParamInterface<bool> {};

TEST_P(SnapshotButtonRightsTest, APressAsksForTheRecallOnlyWithTheRight) {
  const bool withheld = GetParam();
  CRecordingUi ui;
  system.SetUiServices(&ui);
  auto* button = new CCCButton(nullptr, CRect{20, 20, 90, 44});
  button->m_flags = (button->m_flags & ~kButtonActions) | kButtonRecallSnapshot | kButtonFill;
  button->m_text = "Show";
  button->m_snapshotId = system.Snapshots().AddSnapshot("Show")->GetUuid();
  data->m_widgets.push_back(button);
  Open();
  const double lit = Ink(button);
  const std::uint64_t snapshots = kRestrictRecallSnapshots;
  BecomeGuest(withheld ? snapshots : kEveryRight & ~snapshots);
  const double shown = Ink(button);
  Click(*view, Centre(button));
  const CErrorTip* tip = view->GetRefusalTip();
  EXPECT_EQ(ui.Count(FrameMsg::kRecallSnapshot), withheld ? 0u : 1u);
  if (withheld) {
    EXPECT_LT(shown, lit * 0.7) << "drawn as a button the user may press";
    ASSERT_NE(tip, nullptr) << "refused without a word";
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->Message().toStdString(), "The current user cannot recall snapshots");
    SaveShot(tip, "custom-restricted-SnapshotButton");
  } else {
    EXPECT_EQ(shown, lit);
    EXPECT_EQ(tip, nullptr);
  }
  view.reset();
  system.SetUiServices(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Rights, SnapshotButtonRightsTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Withheld" : "Held");
                         });
