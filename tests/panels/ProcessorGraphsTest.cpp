// The EQ curve and the dynamic-EQ graph on the real processor panels of processors made by the
// factory: a crossover change redraws the curve's computed values at once, a handle drag of N
// steps moves the band N steps and draws once per step, the window shows what was drawn, the
// dynamic-EQ frequency strip stops at the band's lowest frequency, masked bands cannot be
// picked, and a locked setting keeps the panel's value while a linked processor follows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QPaintEvent>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/model/Link.h"
#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "panels/processor/NerexControlPanel.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/PanelClasses.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/TorvexControlPanel.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/devices/processor/ProcessorFixture.h"
#include "tests/support/ModelChanges.h"

namespace {

// Counts the paint events of a window that reach into a rectangle.
class CPaintCounter : public QObject {
 public:
  CPaintCounter(QWidget* window, const CRect& area)
      : m_window(window), m_area(area.left, area.top, area.Width(), area.Height()) {
    window->installEventFilter(this);
  }
  ~CPaintCounter() override { m_window->removeEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_window && event->type() == QEvent::Paint &&
        static_cast<QPaintEvent*>(event)->region().intersects(m_area))
      ++count;
    return false;
  }
  int count = 0;

 private:
  QWidget* m_window;
  QRect m_area;
};

// Leaves the panel's drawing for looking at when ORVAK_PANEL_PNG_DIR names a folder.
void Save(const CNerexSeriesBaseControlPanel& panel, const char* name) {
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    panel.GetBackBuffer()->Native().save(QString::fromLocal8Bit(dir) + QStringLiteral("/") + QString::fromLatin1(name));
}

class ProcessorGraphsTest : public ProcessorFixture {
 protected:
  void SetUp() override {
    RegisterDevicePanelClasses();
    m_system.Users().SetCurrentUser(0);
  }
  void TearDown() override {
    if (m_panel && m_panel->GetDevice()) m_panel->GetDevice()->SetControlPanel(nullptr);
    m_panel.reset();
  }
  // Opens the device's panel as the main frame does, shown on the page.
  CNerexSeriesBaseControlPanel& Open(CNerexSeriesDevice& device, std::uint32_t page) {
    m_panel.reset(dynamic_cast<CNerexSeriesBaseControlPanel*>(CreateControlPanel(device.GetControlPanelClass())));
    m_panel->SetDevice(&device);
    device.SetControlPanel(m_panel.get());
    EXPECT_TRUE(m_panel->Create());
    m_panel->UpdateAllControls();
    const CSize size = device.GetPanelSize();
    m_panel->resize(size.cx, size.cy);
    m_panel->show();
    ModelChange(device, MakeBoolParamValue(int(page), true));
    QApplication::processEvents();
    return *m_panel;
  }
  CNerexSeriesParametricControl* OutputCurve() const {
    for (CControlObject* control : m_panel->GetControls())
      if (control->GetId() == kOutputEqCurveId) return dynamic_cast<CNerexSeriesParametricControl*>(control);
    return nullptr;
  }
  void Press(int x, int y) { m_panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y); }
  void Move(int x, int y) { m_panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, x, y); }
  void Release(int x, int y) { m_panel->DispatchMouseMessage(WM_LBUTTONUP, 0, x, y); }
  static CPoint Centre(const CRect& r) { return CPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
  // The frequency code under a panel x, as the curve reads it.
  static int CodeAt(const CNerexSeriesParametricControl& curve, int x) {
    const CRect plot = curve.GetPlotRect();
    return int(double(x - plot.left) * 419.0 / double(plot.Width()) + 13.0);
  }

  std::unique_ptr<CNerexSeriesBaseControlPanel> m_panel;
};

}  // namespace

// --- The output EQ curve ---

// A crossover change (typed, linked or from a preset) shows the new roll-off at once: the
// curve's computed sum is that of the new filters, and the changed filter's band is selected.
TEST_F(ProcessorGraphsTest, CrossoverChangesRecomputeTheCurveAtOnce) {
  CNerexSeriesDevice& d = Make(kModelNerex48);
  Open(d, kNerexPageOutputEq);
  CNerexSeriesParametricControl* curve = OutputCurve();
  ASSERT_NE(curve, nullptr);
  const int k25 = int(std::lround(36.0 * std::log2(25.0 / 7.8125))) - kCurveFirstIndex;  // 25 Hz
  const int k20k = int(std::lround(36.0 * std::log2(20000.0 / 7.8125))) - kCurveFirstIndex;
  // The nine parametric bands are flat: the sum is the two crossover filters.
  auto expected = [&](int k) {
    const NerexOutputSection& out = d.GetCurrentSettings().outputs;
    double sum = 0.0;
    for (const NerexEqBand* filter : {&out.highPass[0], &out.lowPass[0]}) {
      CEqSection section;
      EXPECT_TRUE(MakeEqSection(*filter, section));
      sum += SectionResponseDb(section, CurvePointHertz(k));
    }
    return sum;
  };
  EXPECT_NEAR(curve->GetSum()[std::size_t(k25)].dB, expected(k25), 1e-9);
  EXPECT_GT(curve->GetSum()[std::size_t(k25)].dB, -1.0);

  ModelChange(d, CParamValue(kParamHighPassFrequency, 200.0f, ParamKind::kFrequency));
  EXPECT_EQ(curve->m_selectedBand, 9);
  EXPECT_NEAR(curve->GetSum()[std::size_t(k25)].dB, expected(k25), 1e-9);
  EXPECT_LT(curve->GetSum()[std::size_t(k25)].dB, -40.0);

  ModelChange(d, CParamValue(kParamLowPassFrequency, 5000.0f, ParamKind::kFrequency));
  EXPECT_EQ(curve->m_selectedBand, 10);
  EXPECT_NEAR(curve->GetSum()[std::size_t(k20k)].dB, expected(k20k), 1e-9);
  const double before = curve->GetSum()[std::size_t(k20k)].dB;
  ModelChange(d, MakeIntParamValue(kParamLowPassType, kXover48LinkwitzRiley));
  EXPECT_EQ(curve->m_selectedBand, 10);
  EXPECT_NEAR(curve->GetSum()[std::size_t(k20k)].dB, expected(k20k), 1e-9);
  EXPECT_LT(curve->GetSum()[std::size_t(k20k)].dB, before - 20.0);
  // A 48 dB low-pass takes parametric bands 7 and 8: their handles go.
  EXPECT_TRUE(IsRectEmpty(curve->GetHandleRect(7)));
  Save(*m_panel, "nerex_output_eq_crossover.png");
}

// Dragging the high-pass handle follows the pointer the whole way: N moves, N new frequencies.
TEST_F(ProcessorGraphsTest, DraggingTheHighPassHandleFollowsEveryStep) {
  CNerexSeriesDevice& d = Make(kModelNerex48);
  ModelChange(d, CParamValue(kParamHighPassFrequency, 100.0f, ParamKind::kFrequency));
  Open(d, kNerexPageOutputEq);
  CNerexSeriesParametricControl* curve = OutputCurve();
  ASSERT_NE(curve, nullptr);
  const CPoint start = Centre(curve->GetHandleRect(9));
  Press(start.x, start.y);
  ASSERT_EQ(curve->m_selectedBand, 9);
  const std::uint16_t& code = d.GetCurrentSettings().outputs.highPass[0].frequency;
  for (int step = 1; step <= 6; ++step) {
    const int x = start.x + 15 * step;
    Move(x, start.y);
    EXPECT_EQ(code, CodeAt(*curve, x)) << "step " << step;
    EXPECT_EQ(curve->m_selectedBand, 9) << "step " << step;
  }
  Release(start.x + 90, start.y);
}

// A band's handle drag of N steps moves the band N steps; each mouse message paints the curve
// once (the gain and the frequency it changes do not each paint it), and the window ends up
// showing the drawing.
TEST_F(ProcessorGraphsTest, ABandDragMovesEveryStepAndPaintsTheCurveOncePerMove) {
  CNerexSeriesDevice& d = Make(kModelNerex48);
  ModelChange(d, CParamValue(kParamOutputPeqGain + 2, 6.0f, ParamKind::kLevel));
  ModelChange(d, CParamValue(kParamOutputPeqFrequency + 2, 500.0f, ParamKind::kFrequency));
  Open(d, kNerexPageOutputEq);
  CNerexSeriesParametricControl* curve = OutputCurve();
  ASSERT_NE(curve, nullptr);
  const NerexEqBand& band = d.GetCurrentSettings().outputs.PeqBand(0, 2);
  const CPoint start = Centre(curve->GetHandleRect(2));
  Press(start.x, start.y);
  ASSERT_EQ(curve->m_selectedBand, 2);
  QApplication::processEvents();
  const CRect plot = curve->GetPlotRect();
  const double pixelsPerDb = double(plot.Height()) / double(curve->GetHighestDb() - curve->GetLowestDb());
  CPaintCounter paints(m_panel.get(), curve->GetRect());
  for (int step = 1; step <= 8; ++step) {
    const int x = start.x + 7 * step, y = start.y - 5 * step;
    paints.count = 0;
    Move(x, y);
    EXPECT_EQ(paints.count, 1) << "step " << step;
    QApplication::processEvents();
    EXPECT_EQ(band.frequency, CodeAt(*curve, x)) << "step " << step;
    const double dB = double(curve->GetHighestDb()) - double(y - plot.top) / pixelsPerDb;
    EXPECT_EQ(band.gain, int(std::lround(dB * 10.0))) << "step " << step;
  }
  // What the window shows of the curve is what the panel drew.
  const QImage shown = m_panel->screen()->grabWindow(m_panel->winId()).toImage().convertToFormat(QImage::Format_RGB32);
  const QImage drawn = m_panel->GetBackBuffer()->Native().convertToFormat(QImage::Format_RGB32);
  const CRect r = curve->GetRect();
  int differing = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const QRgb a = shown.pixel(x, y), b = drawn.pixel(x, y);
      differing += a != b ? 1 : 0;
    }
  EXPECT_EQ(differing, 0);
  Release(start.x + 56, start.y - 40);
  Save(*m_panel, "nerex_output_eq_drag.png");
}

// --- The dynamic-EQ graph ---

class ProcessorDeqGraphTest : public ProcessorGraphsTest {
 protected:
  CTorvexSeriesDEQControl& OpenDeq(CNerexSeriesDevice& d) {
    Open(d, kNerexPageInputDeq);
    return *m_panel->GetDeqGraph();
  }
  // A panel point over band b's handle.
  CPoint HandleOf(CTorvexSeriesDEQControl& graph, int b) {
    const CRect h = graph.GetHandleRect(*graph.GetBands()[std::size_t(b)]);
    return CPoint{graph.GetRect().left + h.left + 4, graph.GetRect().top + h.top + 4};
  }
};

// A frequency-strip drag far past the left edge stops at the band's lowest frequency (it
// jumped to the highest when the position below the scale wrapped round).
TEST_F(ProcessorDeqGraphTest, FrequencyStripDragPastTheLeftEdgeStopsAtTheLowestFrequency) {
  CNerexSeriesDevice& d = Make(kModelTorvex48);
  for (int kind : {0, 2, 3}) {  // parametric 48, low shelf 48, high shelf 78
    SCOPED_TRACE(kind);
    NerexDeqBand& band = WritableSettings(d).DeqBand(0, 0);
    band.filterKind = std::uint8_t(kind);
    band.frequency = 252;
    CTorvexSeriesDEQControl& graph = OpenDeq(d);
    const CPoint handle = HandleOf(graph, 0);
    Press(handle.x, handle.y);
    Release(handle.x, handle.y);
    ASSERT_EQ(graph.GetSelectedBand(), 0);
    const CRect r = graph.GetRect();
    const int stripY = r.top + graph.GetPlotRect().bottom + 5;
    Press(handle.x, stripY);
    for (int x : {handle.x - 100, r.left + 5, r.left - 40, -500}) Move(x, stripY);
    Release(-500, stripY);
    std::int32_t low = 0, high = 0;
    GetRangeLimits(kRangeFrequency, GetFilterTypeCode(band), low, high);
    EXPECT_EQ(band.frequency, low);
  }
}

// The device keeps three band masks (band position, bit per input); the DEQ refresh hands them
// to the graph, which then neither draws nor picks a masked band's handle.
TEST_F(ProcessorDeqGraphTest, AMaskedBandHasNoHandleToPick) {
  CNerexSeriesDevice& d = Make(kModelTorvex48);
  WritableDeqBandMasks(d)[1] = 0x01;  // input A's second band
  CTorvexSeriesDEQControl& graph = OpenDeq(d);
  ASSERT_EQ(graph.GetBands().size(), 3u);
  EXPECT_FALSE(graph.IsBandMasked(*graph.GetBands()[0]));
  EXPECT_TRUE(graph.IsBandMasked(*graph.GetBands()[1]));
  // Bands 1 and 2 lie apart; band 2 alone answers its handle.
  WritableSettings(d).DeqBand(0, 1).frequency = 100;
  WritableSettings(d).DeqBand(0, 2).frequency = 350;
  m_panel->RefreshDeqSection(true);
  const CPoint masked = HandleOf(graph, 1);
  Press(masked.x, masked.y);
  Release(masked.x, masked.y);
  EXPECT_NE(graph.GetSelectedBand(), 1);
  const CPoint open = HandleOf(graph, 2);
  Press(open.x, open.y);
  Release(open.x, open.y);
  EXPECT_EQ(graph.GetSelectedBand(), 2);
  Save(*m_panel, "torvex_deq_masked_band.png");
  // The other inputs' second bands are not masked.
  ModelChange(d, MakeBoolParamValue(120 + 1, true));  // input B
  ASSERT_EQ(d.GetSelectedInput(), 1u);
  EXPECT_FALSE(graph.IsBandMasked(*graph.GetBands()[1]));
}

// --- Locked settings ---

// A locked output gain keeps its value on this unit and on its panel, while a processor whose
// gain is linked to it takes the gain the user asked for.
TEST_F(ProcessorGraphsTest, ALockedGainKeepsThePanelsValueAndTheLinkedProcessorFollows) {
  CNerexSeriesDevice& locked = Make(kModelNerex48, 1);
  CNerexSeriesDevice& linked = Make(kModelNerex48, 2);
  auto* link = new CLink("Mains");
  link->AddRef(new CLinkRef(locked.GetUuid(), kParamOutputGain + 1));
  link->AddRef(new CLinkRef(linked.GetUuid(), kParamOutputGain + 1));
  m_system.Links().AppendLink(link);
  m_system.Links().SetLinksActive(true);
  WritableSettings(locked).outputs.gains[1] = 35;
  std::uint8_t* locks = WritableSettings(locked).outputs.channelGroups.data();
  locks[kGroupGainLockA] = locks[kGroupGainLockB] = 0x02;
  Open(locked, kNerexPageMixer);
  CTextControl* readout = nullptr;
  for (CControlObject* control : m_panel->GetControls())
    if (control->GetId() == kParamOutputGain + 1 && (readout = dynamic_cast<CTextControl*>(control))) break;
  ASSERT_NE(readout, nullptr);
  const std::string shown = readout->GetText();
  ModelChange(locked, CParamValue(kParamOutputGain + 1, -12.5f, ParamKind::kLevel));
  EXPECT_EQ(locked.GetCurrentSettings().outputs.gains[1], 35);
  EXPECT_EQ(readout->GetText(), shown);
  EXPECT_EQ(linked.GetCurrentSettings().outputs.gains[1], -125);
}
