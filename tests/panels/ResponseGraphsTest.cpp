// The response graphs inside a small test panel: the dynamic-EQ graph, the compressor
// transfer curve and the EQ curve control, drawn into the panel's back buffer and checked by
// pixels and by the worked examples of their scales, and dragged with the mouse: every edit
// must reach the device as the right parameter value.
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "panels/processor/CompressorMeter.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/processor/ResponseGrid.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "tests/panels/PanelTestSupport.h"

namespace {

// A grid picture for the compressor graph: dark with a lighter line every 11 px.
CBitmapImage* MakeGridImage(int size) {
  CBitmapImage* image = MakeSolidImage(size, size, CColour{0xFF141418u});
  for (int i = 0; i < size; i += 11)
    for (int j = 0; j < size; ++j) {
      image->GetImage()->SetPixel(i, j, CColour{0xFF3C3C46u});
      image->GetImage()->SetPixel(j, i, CColour{0xFF3C3C46u});
    }
  return image;
}

class CGraphTestPanel : public CControlPanelWnd {
 public:
  static constexpr int kWidth = 860;
  static constexpr int kHeight = 660;

  CGraphTestPanel() : m_background(MakeSolidImage(kWidth, kHeight, CColour{0xFF202840u})), m_grid(MakeGridImage(88)) {}
  ~CGraphTestPanel() override {
    SetBackgroundImage(nullptr);
    DeleteImage(m_background);
    DeleteImage(m_grid);
  }

  bool Create() override {
    SetBackgroundImage(m_background);
    deq = new CTorvexSeriesDEQControl(this, CRect{10, 10, 510, 260});
    AddControl(deq);
    compressor = new CCompressorMeter(this, 1578 + 3, m_grid, CRect{530, 10, 617, 97});
    AddControl(compressor);
    eq = new CNerexSeriesParametricControl(this, kOutputEqCurveId, CRect{10, 280, 840, 650});
    AddControl(eq);
    return true;
  }
  void UpdateAllControls() override {
    CreateBackBuffer(kWidth, kHeight);
    ReloadAllControls();
  }
  CColour Pixel(int x, int y) const { return GetBackBuffer()->GetPixel(x, y); }

  CTorvexSeriesDEQControl* deq = nullptr;
  CCompressorMeter* compressor = nullptr;
  CNerexSeriesParametricControl* eq = nullptr;

 private:
  CBitmapImage* m_background;
  CBitmapImage* m_grid;
};

class ResponseGraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMemoryDefaults(image);
    device = new CTestDevice(&system, 1);
    system.AppendDevice(device);
    panel = new CGraphTestPanel;
    panel->SetDevice(device);
    ASSERT_TRUE(panel->Create());
    panel->UpdateAllControls();

    // Input 2's dynamic-EQ bands: a peaking boost at 1 kHz, a low-shelf cut at 125 Hz and an
    // inactive high-shelf cut below at 8 kHz.
    SetDeqBand(0, 1, 252, 6, kind(0));
    SetDeqBand(1, 0, 144, 3, kind(2));
    SetDeqBand(2, 2, 360, 0, kind(3));
    image.DeqBand(1, 0).ratio = 8;
    image.DeqBand(1, 0).threshold = 24;  // 10 dB
    image.DeqBand(1, 1).ratio = 8;
    image.DeqBand(1, 2).ratio = 0;
    for (int b = 0; b < 3; ++b) panel->deq->AddBand(new CDEQCurveData(&image.DeqBand(1, b), image.DeqIds(1, b), 1, b));
    panel->deq->SetBandMasks(masks);
  }
  void TearDown() override { delete panel; }

  static std::uint8_t kind(int k) { return std::uint8_t(k); }
  void SetDeqBand(int b, int mode, int frequency, int effect, std::uint8_t filterKind) {
    NerexDeqBand& band = image.DeqBand(1, b);
    band.mode = std::uint8_t(mode);
    band.frequency = std::uint16_t(frequency);
    band.effect = std::uint8_t(effect);
    band.q = 84;
    band.filterKind = filterKind;
  }
  void Redraw() { panel->RedrawRect(nullptr, false, true); }
  void Press(int x, int y) { panel->DispatchMouseMessage(WM_LBUTTONDOWN, MK_LBUTTON, x, y); }
  void Move(int x, int y) { panel->DispatchMouseMessage(WM_MOUSEMOVE, MK_LBUTTON, x, y); }
  void Release(int x, int y) { panel->DispatchMouseMessage(WM_LBUTTONUP, 0, x, y); }
  void Wheel(int x, int y, int delta) {
    panel->DispatchMouseMessage(WM_MOUSEWHEEL, std::uint32_t(std::int32_t(delta)), x, y);
  }
  std::vector<CParamValue>& Applied() { return device->applied; }
  void SavePng(const char* name) {
    if (const char* dir = std::getenv("ORVAK_SAVE_GRAPH_PNG"))
      panel->GetBackBuffer()->SavePng(std::string(dir) + "/" + name + ".png");
  }

  CSystem system;
  CTestDevice* device = nullptr;
  CGraphTestPanel* panel = nullptr;
  CNerexSeriesMemory image;
  std::uint8_t masks[3] = {0, 0, 0};
};

void ExpectSent(const CParamValue& value, int id, float expected, ParamKind kind) {
  EXPECT_EQ(value.id, id);
  EXPECT_EQ(value.kind, kind);
  EXPECT_NEAR(value.value, expected, 1e-4) << "id " << id;
}

bool IsGrey(CColour c, int level, int tolerance = 2) {
  return std::abs(int(c.R()) - level) <= tolerance && std::abs(int(c.G()) - level) <= tolerance &&
         std::abs(int(c.B()) - level) <= tolerance;
}

// --- Dynamic-EQ graph ---

TEST_F(ResponseGraphTest, Deq_PlotRectangleHandlesAndPointValuesFollowTheScales) {
  EXPECT_EQ(panel->deq->GetPlotRect(), (CRect{35, 10, 490, 230}));
  CTorvexSeriesDEQControl narrow(nullptr, CRect{0, 0, 40, 25});
  EXPECT_EQ(narrow.GetPlotRect(), (CRect{30, 5, 35, 10}));
  // 1 kHz (code 252) boosted 12 dB: x = trunc(35 + 239 x 455/419) = 294, y0 = 120,
  // y = trunc(120 - 12 x 220/36) = 46.
  EXPECT_EQ(panel->deq->GetHandleRect(*panel->deq->GetBands()[0]), (CRect{290, 42, 298, 50}));
  // Cut 9 dB at 125 Hz (code 144): x = trunc(35 + 131 x 1.08592) = 177, y = trunc(120 + 55) = 175.
  EXPECT_EQ(panel->deq->GetHandleRect(*panel->deq->GetBands()[1]), (CRect{173, 171, 181, 179}));
  int dB = 0, index = 0;
  panel->deq->PointToValues(10 + 294, 10 + 46, dB, index);
  EXPECT_EQ(dB, 12);
  EXPECT_EQ(index, 251);
  // Left of the plot the code keeps falling: trunc(-35 / 1.08592 + 13) = -19.
  panel->deq->PointToValues(10, 10 + 46, dB, index);
  EXPECT_EQ(index, -19);
}

TEST_F(ResponseGraphTest, Deq_DynamicGainFollowsModeThresholdRatioAndRange) {
  NerexDeqBand band;
  CDEQCurveData data(&band, {}, 0, 0);
  band.threshold = 24;  // T = 10 dB
  band.effect = 0;      // M = 6 dB
  auto gain = [&](int mode, int ratio, int level) {
    band.mode = std::uint8_t(mode);
    band.ratio = std::uint8_t(ratio);
    data.level = level;
    return CTorvexSeriesDEQControl::GetDynamicGain(data);
  };
  EXPECT_FLOAT_EQ(gain(0, 8, 9), 0.0f);     // below the threshold
  EXPECT_FLOAT_EQ(gain(0, 8, 20), -5.0f);   // R = 2: (20 - 10)/2 + 10 - 20
  EXPECT_FLOAT_EQ(gain(0, 8, 40), -6.0f);   // limited to the range
  EXPECT_NEAR(gain(1, 8, 12), 2.0f * std::sqrt(2.0f) - 2.0f, 1e-5);  // R = 2^(8/16)
  EXPECT_FLOAT_EQ(gain(1, 16, 30), 6.0f);
  EXPECT_FLOAT_EQ(gain(2, 16, 4), -6.0f);   // T - (T - L) x 2 - L
  EXPECT_FLOAT_EQ(gain(2, 16, 11), 0.0f);
  EXPECT_FLOAT_EQ(gain(3, 16, 4), 3.0f);    // T - (T - L)/2 - L
  EXPECT_FLOAT_EQ(gain(4, 16, 4), 0.0f);
}

TEST_F(ResponseGraphTest, Deq_GridLinesLabelsCurvesAndLiveFillsAreDrawn) {
  Redraw();
  SavePng("deq_static");
  // 100 Hz is a bright decade line at x = 35 + trunc(1.0 - log10 10.0312 ... ) = 35 + 129;
  // 30 kHz a dark line at 35 + 451; the background between them.
  EXPECT_TRUE(IsGrey(panel->Pixel(10 + 164, 25), 0xB4));
  EXPECT_FALSE(IsGrey(panel->Pixel(10 + 163, 25), 0xB4, 40));
  EXPECT_TRUE(IsGrey(panel->Pixel(10 + 486, 25), 0x64));
  // The -12 dB line (y = 230 - 36) is dark; the frame bright.
  EXPECT_TRUE(IsGrey(panel->Pixel(10 + 100, 10 + 194), 0x64));
  EXPECT_TRUE(IsGrey(panel->Pixel(10 + 100, 10 + 10), 0xB4));
  // Labels: white text below the plot and left of it.
  int white = 0;
  for (int y = 10 + 234; y < 10 + 250; ++y)
    for (int x = 10 + 35; x < 10 + 490; ++x) white += panel->Pixel(x, y).R() > 200 ? 1 : 0;
  EXPECT_GT(white, 100);
  // The boost band's full-range line crosses 1 kHz near +12 dB, in the line colour.
  const CColour line = panel->Pixel(10 + 294, 10 + 47);
  EXPECT_GT(line.B(), 200);
  EXPECT_GT(line.G(), 150);

  // A detector level of 20 dB gives +4.1 dB at 1 kHz: the area between 0 and +4 dB fills.
  // x = 300 lies beside the 1 kHz grid line (304).
  const CColour before = panel->Pixel(10 + 290, 10 + 110);
  const CColour aboveBefore = panel->Pixel(10 + 290, 10 + 90);
  panel->deq->SetBandLevel(0, 20);
  CRect out;
  panel->deq->DrawDynamicFills(out, *panel->GetBackBufferGraphics(), true);
  SavePng("deq_fill");
  EXPECT_EQ(out, (CRect{45, 20, 500, 240}));
  const CColour filled = panel->Pixel(10 + 290, 10 + 110);
  EXPECT_GT(filled.G(), before.G() + 20);
  EXPECT_GT(filled.G(), filled.B() + 20);
  // Above the current gain (y = 120 - 4.1 x 6.1 = 95) nothing is filled.
  EXPECT_EQ(panel->Pixel(10 + 290, 10 + 90), aboveBefore);
  // The inactive band keeps level 0 whatever it is fed.
  panel->deq->SetBandLevel(2, -30);
  EXPECT_EQ(panel->deq->GetBands()[2]->level, 0);
  EXPECT_EQ(panel->deq->GetBands()[2]->currentStale, 0);
}

TEST_F(ResponseGraphTest, Deq_HandleDragSendsEffectThenFrequencyAndEndsOutsideThePlot) {
  Press(10 + 294, 10 + 46);
  EXPECT_EQ(panel->deq->GetSelectedBand(), 0);
  EXPECT_TRUE(Applied().empty());
  // To +15 dB (y = 120 - 15 x 6.11 = 28.3) at x = 35 + 100.
  Move(10 + 135, 10 + 28);
  ASSERT_EQ(Applied().size(), 2u);
  ExpectSent(Applied()[0], kParamDeqEffect + 3, 15.0f, ParamKind::kLevel);
  ExpectSent(Applied()[1], kParamDeqFrequency + 3, IndexToFreq(int(100 / (455.0 / 419.0) + 13)), ParamKind::kFrequency);
  // Far above the top: still inside the enlarged plot, the effect stops at 18.
  Applied().clear();
  Move(10 + 135, 10 + 6);
  ASSERT_FALSE(Applied().empty());
  ExpectSent(Applied()[0], kParamDeqEffect + 3, 18.0f, ParamKind::kLevel);
  // Leaving the enlarged plot ends the drag.
  Applied().clear();
  Move(10 + 135, 10 + 3);
  Move(10 + 200, 10 + 100);
  EXPECT_TRUE(Applied().empty());
  EXPECT_FALSE(panel->deq->IsPressed());
}

TEST_F(ResponseGraphTest, Deq_CutBandAboveZeroSendsSixAndBelowTheScaleEighteen) {
  Press(10 + 177, 10 + 175);
  ASSERT_EQ(panel->deq->GetSelectedBand(), 1);
  Move(10 + 177, 10 + 60);  // above 0 dB
  ASSERT_FALSE(Applied().empty());
  ExpectSent(Applied()[0], kParamDeqEffect + 4, 6.0f, ParamKind::kLevel);
  Applied().clear();
  Move(10 + 177, 10 + 233);  // below -18 dB
  ExpectSent(Applied().at(0), kParamDeqEffect + 4, 18.0f, ParamKind::kLevel);
  // A masked band cannot be picked; the selection stays.
  Release(10 + 177, 10 + 233);
  masks[0] = 0x02;  // input 2's first band
  Press(10 + 294, 10 + 46);
  EXPECT_EQ(panel->deq->GetSelectedBand(), 1);
}

TEST_F(ResponseGraphTest, Deq_StripsDragEffectAndFrequencyAndTheWheelStepsQ) {
  panel->deq->SetSelectedBand(0);
  // Left strip: effect drag keeping the grab offset (handle centre 304, 56).
  Press(10 + 10, 10 + 100);
  Move(10 + 10, 10 + 91);  // the handle would be at y = 56 - 9 = 47: 13.6 dB
  ExpectSent(Applied().at(0), kParamDeqEffect + 3, 13.0f, ParamKind::kLevel);
  Release(10 + 10, 10 + 91);
  // Strip below the plot: frequency drag, limited to the band type's range (48..432).
  Applied().clear();
  Press(10 + 250, 10 + 240);
  Move(10 + 495, 10 + 240);  // code 436 by the pointer
  ExpectSent(Applied().at(0), kParamDeqFrequency + 3, IndexToFreq(432), ParamKind::kFrequency);
  // The wheel while pressed: one notch up narrows the band by one Q code.
  Applied().clear();
  device->values[kParamDeqQ + 3] = CParamValue(kParamDeqQ + 3, IndexToQ(84), ParamKind::kQ);
  Wheel(10 + 250, 10 + 240, 120);
  ExpectSent(Applied().at(0), kParamDeqQ + 3, IndexToQ(83), ParamKind::kQ);
  // A selection beyond the list sends nothing.
  Applied().clear();
  panel->deq->SetSelectedBand(5);
  Wheel(10 + 250, 10 + 240, 120);
  Move(10 + 300, 10 + 240);
  EXPECT_TRUE(Applied().empty());
}

// --- Compressor transfer curve ---

class CompressorGraphTest : public ResponseGraphTest {
 protected:
  void Compressor(float threshold, float ratio, float knee) {
    CCompressorMeter& c = *panel->compressor;
    c.m_thresholdId = kParamCompressorThreshold;
    c.m_ratioId = kParamCompressorRatio;
    c.m_kneeId = kParamCompressorSoftKnee;
    device->values[kParamCompressorThreshold] = CParamValue(kParamCompressorThreshold, threshold, ParamKind::kLevel);
    device->values[kParamCompressorRatio] = CParamValue(kParamCompressorRatio, ratio, ParamKind::kRatio);
    device->values[kParamCompressorSoftKnee] = CParamValue(kParamCompressorSoftKnee, knee, ParamKind::kLevel);
  }
  void DeqBand(float threshold, float ratio, float range, int mode) {
    CCompressorMeter& c = *panel->compressor;
    c.m_thresholdId = kParamDeqThreshold;
    c.m_ratioId = kParamDeqRatio;
    c.m_maxGainId = kParamDeqEffect;
    c.m_modeId = kParamDeqMode;
    device->values[kParamDeqThreshold] = CParamValue(kParamDeqThreshold, threshold, ParamKind::kLevel);
    device->values[kParamDeqRatio] = CParamValue(kParamDeqRatio, ratio, ParamKind::kRatio);
    device->values[kParamDeqEffect] = CParamValue(kParamDeqEffect, range, ParamKind::kLevel);
    device->values[kParamDeqMode] = MakeIntParamValue(kParamDeqMode, mode);
  }
};

TEST_F(CompressorGraphTest, EvaluateCurve_SoftKneeHardKneeAndTheFourModes) {
  Compressor(-10.0f, 4.0f, 4.0f);
  EXPECT_EQ(panel->compressor->UpdateFromParameter(CParamValue{}), panel->compressor->GetRect());
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(-20), -20.0f);
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(-10), -10.75f);  // 4^2 x 0.75 / 16 below
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(10), -5.0f);
  // Nothing changed: nothing to redraw.
  EXPECT_TRUE(IsRectEmpty(panel->compressor->UpdateFromParameter(CParamValue{})));
  // Knee 0: the hard knee.
  device->values[kParamCompressorSoftKnee].value = 0.0f;
  panel->compressor->UpdateFromParameter(CParamValue{});
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(-11), -11.0f);
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(-6), -9.0f);

  panel->compressor->m_kneeId = 0;
  DeqBand(0.0f, 2.0f, 6.0f, 1);  // boost above, range 6
  panel->compressor->UpdateFromParameter(CParamValue{});
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(2), 4.0f);
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(10), 16.0f);  // never more than 6 dB above
  device->values[kParamDeqMode].integer = 0;
  panel->compressor->UpdateFromParameter(CParamValue{});
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(4), 2.0f);
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(20), 14.0f);
  device->values[kParamDeqMode].integer = 2;
  panel->compressor->UpdateFromParameter(CParamValue{});
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(-2), -4.0f);
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(-10), -16.0f);
  device->values[kParamDeqMode].integer = 3;
  panel->compressor->UpdateFromParameter(CParamValue{});
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(-4), -2.0f);
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(5), 5.0f);
  device->values[kParamDeqMode].integer = 7;
  panel->compressor->UpdateFromParameter(CParamValue{});
  EXPECT_FLOAT_EQ(panel->compressor->EvaluateCurve(5), 0.0f);
}

TEST_F(CompressorGraphTest, GradientPositionsAndCurvePointsFollowTheThreshold) {
  Compressor(-10.0f, 4.0f, 0.0f);
  panel->compressor->UpdateFromParameter(CParamValue{});
  float p1 = 0, p2 = 0, p3 = 0;
  panel->compressor->GetGradientPositions(p1, p2, p3);
  EXPECT_FLOAT_EQ(p1, 0.7f);
  EXPECT_FLOAT_EQ(p2, 0.75f);
  EXPECT_FLOAT_EQ(p3, 0.8f);
  // Point i: x = i x 87/40, y = 87 - 87/40 x (out + 20).
  const auto& points = panel->compressor->GetCurvePoints();
  ASSERT_EQ(points.size(), 41u);
  EXPECT_FLOAT_EQ(points[0].y, 87.0f);
  EXPECT_FLOAT_EQ(points[40].x, 87.0f);
  EXPECT_NEAR(points[40].y, 87.0f - 2.175f * 17.5f, 1e-3);  // 20 dB in: -10 + 30/4 out
  device->values[kParamCompressorThreshold].value = -20.0f;
  panel->compressor->UpdateFromParameter(CParamValue{});
  panel->compressor->GetGradientPositions(p1, p2, p3);
  EXPECT_FLOAT_EQ(p1, 0.95f);
  EXPECT_FLOAT_EQ(p2, 0.98f);
  EXPECT_FLOAT_EQ(p3, 0.99f);
}

TEST_F(CompressorGraphTest, DrawLevel_FillsUnderTheCurveUpToTheLevelAndSkipsAnUnchangedLevel) {
  Compressor(-10.0f, 1.0f, 0.0f);  // ratio 1: plain green
  panel->compressor->UpdateFromParameter(CParamValue{});
  CRect out;
  Graphics& g = *panel->GetBackBufferGraphics();
  panel->compressor->DrawLevel(out, g, true);
  EXPECT_EQ(out, panel->compressor->GetRect());
  panel->compressor->m_level = 35;
  panel->compressor->DrawLevel(out, g, false);
  EXPECT_EQ(panel->compressor->m_level, 20);
  EXPECT_FALSE(IsRectEmpty(out));
  panel->compressor->DrawLevel(out, g, false);
  EXPECT_TRUE(IsRectEmpty(out));
  SavePng("compressor_full");
  // Under the diagonal, near the bottom right: green over the grid.
  const CColour under = panel->Pixel(530 + 80, 10 + 80);
  EXPECT_GT(under.G(), under.R() + 30);
  // Above the curve: the grid picture alone.
  EXPECT_EQ(panel->Pixel(530 + 5, 10 + 5), CColour{0xFF141418u});
  // A level at -10 fills under the curve up to x = 10 x 87/40 and, like a meter, at that
  // height (y = 87 - 21.75) across the rest.
  panel->compressor->m_level = -10;
  panel->compressor->DrawLevel(out, g, false);
  EXPECT_GT(panel->Pixel(530 + 60, 10 + 84).G(), 60);
  EXPECT_EQ(panel->Pixel(530 + 60, 10 + 60), CColour{0xFF141418u});
  // A real compressor grades the fill: red above the threshold.
  device->values[kParamCompressorRatio].value = 8.0f;
  panel->compressor->UpdateFromParameter(CParamValue{});
  panel->compressor->m_level = 20;
  panel->compressor->DrawLevel(out, g, true);
  SavePng("compressor_graded");
  const CColour top = panel->Pixel(530 + 84, 10 + 60);
  EXPECT_GT(top.R(), top.G());
}

// --- EQ curve control ---

class EqCurveTest : public ResponseGraphTest {
 protected:
  void SetUp() override {
    ResponseGraphTest::SetUp();
    // Output 3: band 1 peaking +12 dB at 1 kHz Q 2, band 4 a notch at 4 kHz, the others flat;
    // a 24 dB Linkwitz-Riley high-pass at 80 Hz and a 12 dB Butterworth low-pass at 12 kHz.
    NerexOutputSection& out = image.outputs;
    NerexEqBand& peak = out.PeqBand(2, 0);
    peak.type = kSectionPeaking;
    peak.frequency = 252;
    peak.gain = 120;
    peak.q = 72;
    NerexEqBand& notch = out.PeqBand(2, 3);
    notch.type = kSectionNotch;
    notch.frequency = 324;
    notch.q = 60;
    out.highPass[2].q = kXover24LinkwitzRiley;
    out.highPass[2].frequency = 117;  // 37.5 x 2^(...) ~ 80 Hz
    out.lowPass[2].q = kXover12Butterworth;
    out.lowPass[2].frequency = 387;
    for (int b = 0; b < 9; ++b) panel->eq->AddSection(new CCurveData(&out.PeqBand(2, b), out.PeqIds(2, b)));
    panel->eq->AddSection(new CCurveData(&out.highPass[2], out.highPassIds[2]));
    panel->eq->AddSection(new CCurveData(&out.lowPass[2], out.lowPassIds[2]));
  }
  int HandleX(int section) const {
    const CRect r = panel->eq->GetHandleRect(section);
    return (r.left + r.right) / 2;
  }
  int HandleY(int section) const {
    const CRect r = panel->eq->GetHandleRect(section);
    return (r.top + r.bottom) / 2;
  }
};

TEST_F(EqCurveTest, SumAddsEverySectionAndOnlyStaleSectionsAreRecomputed) {
  EXPECT_EQ(panel->eq->RecomputeStale(), 11);
  EXPECT_EQ(panel->eq->RecomputeStale(), 0);
  const CCurvePoints& sum = panel->eq->GetSum();
  // At 1 kHz: the +12 dB peak, plus what the crossovers and the notch take there.
  CEqSection hp, lp, notch;
  ASSERT_TRUE(MakeEqSection(image.outputs.highPass[2], hp));
  ASSERT_TRUE(MakeEqSection(image.outputs.lowPass[2], lp));
  ASSERT_TRUE(MakeEqSection(image.outputs.PeqBand(2, 3), notch));
  const double f = CurvePointHertz(239);
  EXPECT_NEAR(sum[239].dB, 12.0 + SectionResponseDb(hp, f) + SectionResponseDb(lp, f) + SectionResponseDb(notch, f), 1e-6);
  EXPECT_LT(sum[0].dB, -40.0);  // far below the high-pass
  // One band moved: one section recomputed, and the sum follows.
  image.outputs.PeqBand(2, 0).gain = -60;
  panel->eq->MarkStale(0);
  EXPECT_EQ(panel->eq->RecomputeStale(), 1);
  EXPECT_NEAR(panel->eq->GetSum()[239].dB, -6.0 + SectionResponseDb(hp, f) + SectionResponseDb(lp, f) + SectionResponseDb(notch, f), 1e-6);
  // A bypassed band draws flat.
  image.outputs.PeqBand(2, 0).type |= 0x80;
  panel->eq->MarkStale(0);
  panel->eq->RecomputeStale();
  EXPECT_NEAR(panel->eq->m_sections[0]->points[239].dB, 0.0, 1e-12);
}

TEST_F(EqCurveTest, A48dBCrossoverTakesItsTwoBandsAndTheirHandles) {
  image.outputs.PeqBand(2, 5).type = kSectionPeaking;
  image.outputs.PeqBand(2, 5).gain = 90;
  panel->eq->RecomputeStale();
  EXPECT_NEAR(panel->eq->m_sections[5]->points[239].dB, 9.0, 0.5);
  image.outputs.highPass[2].q = kXover48LinkwitzRiley;
  panel->eq->MarkStale(9);
  EXPECT_EQ(panel->eq->RecomputeStale(), 5);  // the high-pass and bands 5 to 8
  EXPECT_TRUE(panel->eq->IsSectionTaken(5));
  EXPECT_TRUE(panel->eq->IsSectionTaken(6));
  EXPECT_FALSE(panel->eq->IsSectionTaken(7));
  EXPECT_EQ(panel->eq->m_sections[5]->points[239].dB, 0.0);
  EXPECT_TRUE(IsRectEmpty(panel->eq->GetHandleRect(5)));
  // 48 dB Linkwitz-Riley: -6 dB at its corner.
  const int k = image.outputs.highPass[2].frequency - kCurveFirstIndex;
  EXPECT_NEAR(panel->eq->m_sections[9]->points[std::size_t(k)].dB, -6.0206, 1e-3);
}

TEST_F(EqCurveTest, DraggingABandSendsGainThenFrequencyAndTheWheelSendsQ) {
  Redraw();
  Press(HandleX(0), HandleY(0));
  EXPECT_EQ(panel->eq->m_selectedBand, 0);
  EXPECT_TRUE(panel->eq->m_dragging);
  const CRect plot = panel->eq->GetPlotRect();
  // 48 dB over 340 px: +6 dB lies 12 x 340/48 = 85 px below the top.
  Move(plot.left + 200, plot.top + 85);
  ASSERT_EQ(Applied().size(), 2u);
  ExpectSent(Applied()[0], kParamOutputPeqGain + 18, 6.0f, ParamKind::kLevel);
  ExpectSent(Applied()[1], kParamOutputPeqFrequency + 18, IndexToFreq(int(200 * 419.0 / plot.Width() + 13)),
             ParamKind::kFrequency);
  // The gain stays within the type's range (+15 dB).
  Applied().clear();
  Move(plot.left + 200, plot.top + 1);
  ExpectSent(Applied().at(0), kParamOutputPeqGain + 18, 15.0f, ParamKind::kLevel);
  // Q: one notch up is one Q code narrower.
  Applied().clear();
  device->values[kParamOutputPeqQ + 18] = CParamValue(kParamOutputPeqQ + 18, IndexToQ(72), ParamKind::kQ);
  Wheel(plot.left + 200, plot.top + 1, 120);
  ExpectSent(Applied().at(0), kParamOutputPeqQ + 18, IndexToQ(71), ParamKind::kQ);
  // Out of the graph the drag ends.
  Applied().clear();
  Move(plot.left + 200, plot.bottom + 12);
  EXPECT_FALSE(panel->eq->m_dragging);
  Move(plot.left + 300, plot.top + 100);
  EXPECT_TRUE(Applied().empty());
}

TEST_F(EqCurveTest, WheelOnAPhaseBandTurnsItsAngleAndAFixedQBandSendsNothing) {
  NerexEqBand& phase = image.outputs.PeqBand(2, 4);
  phase.type = kSectionPhase;
  phase.q = 30;
  phase.frequency = 200;
  NerexEqBand& elliptic = image.outputs.PeqBand(2, 5);
  elliptic.type = kSectionEllipticHighPass;
  elliptic.q = 72;
  elliptic.frequency = 150;
  Redraw();
  device->values[kParamOutputPeqQ + 22] =
      CParamValue(kParamOutputPeqQ + 22, 60.0f, ParamKind::kPhase);  // 2 degrees a code
  Press(HandleX(4), HandleY(4));
  ASSERT_EQ(panel->eq->m_selectedBand, 4);
  Wheel(HandleX(4), HandleY(4), -240);
  ExpectSent(Applied().at(0), kParamOutputPeqQ + 22, 56.0f, ParamKind::kPhase);
  Release(HandleX(4), HandleY(4));
  Applied().clear();
  device->values[kParamOutputPeqQ + 23] = CParamValue(kParamOutputPeqQ + 23, 2.0f, ParamKind::kQ);
  Press(HandleX(5), HandleY(5));
  ASSERT_EQ(panel->eq->m_selectedBand, 5);
  Wheel(HandleX(5), HandleY(5), 120);
  EXPECT_TRUE(Applied().empty());
}

TEST_F(EqCurveTest, CrossoverHandlesSendOnlyTheirFrequencyWithinTheirRange) {
  Redraw();
  Press(HandleX(10), HandleY(10));
  ASSERT_EQ(panel->eq->m_selectedBand, 10);
  const CRect plot = panel->eq->GetPlotRect();
  Move(plot.right + 4, plot.top + 30);
  ASSERT_EQ(Applied().size(), 1u);
  ExpectSent(Applied()[0], kParamLowPassFrequency + 2, IndexToFreq(433), ParamKind::kFrequency);
  Wheel(plot.right, plot.top + 30, 120);  // a crossover has no Q
  EXPECT_EQ(Applied().size(), 1u);
  Release(plot.right, plot.top + 30);
  Press(HandleX(9), HandleY(9));
  Move(plot.left - 4, plot.top + 30);
  ExpectSent(Applied().back(), kParamHighPassFrequency + 2, IndexToFreq(12), ParamKind::kFrequency);
}

TEST_F(EqCurveTest, RenderedGraphShowsGridSumSelectedBandAndHandles) {
  panel->eq->m_selectedBand = 3;
  Redraw();
  SavePng("output_eq");
  const CRect plot = panel->eq->GetPlotRect();
  // The sum half an octave above 1 kHz (point 257) in amber.
  const int x = int(FrequencyCodeToX(plot, 13 + 257));
  const int sumY = plot.top + int((18.0 - panel->eq->GetSum()[257].dB) * plot.Height() / 48.0);
  bool amber = false;
  for (int y = sumY - 2; y <= sumY + 2; ++y) {
    const CColour c = panel->Pixel(x, y);
    amber = amber || (c.R() > 200 && c.G() > 150 && c.B() < 120);
  }
  EXPECT_TRUE(amber);
  // The selected handle is filled green, the others dark with a white ring.
  EXPECT_EQ(panel->Pixel(HandleX(3), HandleY(3)), CColour{0xFF00FF00u});
  EXPECT_EQ(panel->Pixel(HandleX(1), HandleY(1)), CColour{0xFF1E1E2Au});
  // Bands 2, 3 and 5 to 9 share 1 kHz at 0 dB: a selected one among them stays on top.
  panel->eq->m_selectedBand = 6;
  Redraw();
  EXPECT_EQ(HandleX(6), HandleX(1));
  EXPECT_EQ(panel->Pixel(HandleX(6), HandleY(6)), CColour{0xFF00FF00u});
  // The 0 dB tick left of the plot is bright, the -6 dB one too; 18 dB of 48 from the top.
  EXPECT_TRUE(IsGrey(panel->Pixel(plot.left - 2, plot.bottom - int(30.0 / 48.0 * plot.Height())), 0xB4));
  EXPECT_TRUE(IsGrey(panel->Pixel(plot.left - 2, plot.bottom - int(24.0 / 48.0 * plot.Height())), 0xB4));
}

TEST_F(EqCurveTest, GraphicEqModeDrawsTheBandsAndDragsTheNearestBandsGain) {
  NerexGeqBlock& geq = image.geq;
  geq.bands[1][15] = 60;
  geq.bands[1][5] = -90;
  geq.modes[1] = kGeqShapeConstantQ;
  CNerexSeriesParametricControl& eq = *panel->eq;
  eq.ClearSections();
  eq.m_graphicEqMode = true;
  eq.m_pGeqShape = &geq.modes[1];
  eq.m_pGeqBypass = &geq.bypass[1];
  eq.m_pGeqGains = geq.bands[1].data();
  eq.m_geqFirstId = kParamGeqBand + 28;
  for (int b = 0; b < kGeqBandCount; ++b) eq.AddSection(new CCurveData);
  eq.m_selectedBand = 15;
  Redraw();
  SavePng("graphic_eq");
  const int k = int(std::lround(36.0 * std::log2(1000.0 / 7.8125))) - kCurveFirstIndex;
  EXPECT_NEAR(eq.GetSum()[std::size_t(k)].dB, 6.0, 0.2);
  // Bypassed: flat.
  geq.bypass[1] = 1;
  eq.MarkStale(-1);
  eq.RecomputeStale();
  EXPECT_EQ(eq.GetSum()[std::size_t(k)].dB, 0.0);
  geq.bypass[1] = 0;
  eq.MarkStale(-1);
  // A press near the 100 Hz band selects it; dragging sets its gain within 15 dB.
  const CRect plot = eq.GetPlotRect();
  Press(int(FrequencyCodeToX(plot, 36.0 * std::log2(GeqBandCentreHertz(5) / 7.8125))) + 2, plot.top + 100);
  EXPECT_EQ(eq.m_selectedBand, 5);
  Move(plot.left + 100, plot.top + 2);
  ExpectSent(Applied().at(0), kParamGeqBand + 28 + 5, 15.0f, ParamKind::kLevel);
}

// --- On a processor's own settings ---

// A Torvex48 whose changes are recorded instead of applied.
class CRecordingProcessor : public CNerexSeriesDevice {
 public:
  explicit CRecordingProcessor(IDeviceHost* system) : CNerexSeriesDevice(system, 121, 9, nullptr, 0) {}
  void ApplyControlChange(const CParamValue& value) override { applied.push_back(value); }
  std::vector<CParamValue> applied;
};

// Binds the panel to the processor (the system owns it) and shows the input's dynamic-EQ
// bands, band 'boosted' set to boost 12 dB at 1 kHz.
CNerexSeriesMemory& ShowProcessorDeq(CSystem& system, CGraphTestPanel& panel, CNerexSeriesDevice* processor,
                                     int input, int boosted) {
  system.AppendDevice(processor);
  panel.SetDevice(processor);
  CNerexSeriesMemory& settings = WritableSettings(*processor);
  NerexDeqBand& band = settings.DeqBand(input, boosted);
  band.mode = 1;
  band.effect = 6;
  band.frequency = 252;
  panel.deq->ClearCurves();
  for (int b = 0; b < 3; ++b)
    panel.deq->AddBand(new CDEQCurveData(&settings.DeqBand(input, b), settings.DeqIds(input, b), input, b));
  panel.RedrawRect(nullptr, false, true);
  return settings;
}

TEST_F(ResponseGraphTest, OnAProcessorsOwnBandsADragSendsThatBandsParameterIds) {
  auto* processor = new CRecordingProcessor(&system);
  // Input 3's second dynamic-EQ band.
  CNerexSeriesMemory& settings = ShowProcessorDeq(system, *panel, processor, 2, 1);
  const CRect handle = panel->deq->GetHandleRect(*panel->deq->GetBands()[1]);
  Press(10 + handle.left + 4, 10 + handle.top + 4);
  Move(10 + 135, 10 + 28);
  ASSERT_EQ(processor->applied.size(), 2u);
  EXPECT_EQ(processor->applied[0].id, 1542 + 3 * 2 + 1);  // effect
  EXPECT_EQ(processor->applied[1].id, 1530 + 3 * 2 + 1);  // frequency
  Release(10 + 135, 10 + 28);

  // Output 5's third parametric band.
  NerexEqBand& peq = settings.outputs.PeqBand(4, 2);
  peq.gain = 30;
  panel->eq->ClearSections();
  NerexOutputSection& out = settings.outputs;
  for (int b = 0; b < 9; ++b) panel->eq->AddSection(new CCurveData(&out.PeqBand(4, b), out.PeqIds(4, b)));
  panel->eq->AddSection(new CCurveData(&out.highPass[4], out.highPassIds[4]));
  panel->eq->AddSection(new CCurveData(&out.lowPass[4], out.lowPassIds[4]));
  processor->applied.clear();
  Redraw();
  const CRect eqHandle = panel->eq->GetHandleRect(2);
  Press(eqHandle.left + 6, eqHandle.top + 6);
  ASSERT_EQ(panel->eq->m_selectedBand, 2);
  Move(eqHandle.left + 40, eqHandle.top + 40);
  ASSERT_EQ(processor->applied.size(), 2u);
  EXPECT_EQ(processor->applied[0].id, 844 + 9 * 4 + 2);  // gain
  EXPECT_EQ(processor->applied[1].id, 700 + 9 * 4 + 2);  // frequency
  // The high-pass handle carries the crossover's own id.
  processor->applied.clear();
  Release(eqHandle.left + 40, eqHandle.top + 40);
  const CRect hp = panel->eq->GetHandleRect(9);
  Press(hp.left + 6, hp.top + 6);
  Move(hp.left + 60, hp.top + 6);
  ASSERT_EQ(processor->applied.size(), 1u);
  EXPECT_EQ(processor->applied[0].id, 1100 + 4);
  panel->SetDevice(device);
}

TEST_F(ResponseGraphTest, DraggingAProcessorsBandChangesItsSettings) {
  auto* processor = new CNerexSeriesDevice(&system, 121, 9, nullptr, 0);
  const NerexDeqBand& band = ShowProcessorDeq(system, *panel, processor, 0, 0).DeqBand(0, 0);
  const CRect handle = panel->deq->GetHandleRect(*panel->deq->GetBands()[0]);
  Press(10 + handle.left + 4, 10 + handle.top + 4);
  Move(10 + 135, 10 + 28);  // +15 dB at code 105
  EXPECT_EQ(band.effect, 9);
  EXPECT_EQ(band.frequency, 105);
  panel->SetDevice(device);
}

}  // namespace
