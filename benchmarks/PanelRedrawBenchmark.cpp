// Redraw of a device panel of 850 x 600 pixels holding 300 widgets (texts, buttons, meters,
// faders, knobs, LEDs): the whole panel, and one widget. Each is reported as a ratio to one
// plain fill of the panel's back buffer measured in the same run (ratio_to_fill) and as the
// share of the 20 ms meter tick that one redraw takes (share_of_budget; goals: whole panel
// below 0.25, one widget below 0.01).
#include <memory>

#include "benchmarks/WidgetBenchmark.h"
#include "core/draw/BitmapImage.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/framework/Knob.h"
#include "panels/framework/TextControl.h"
#include "platform/Image.h"

namespace {

constexpr double kMeterTickMs = 20.0;
constexpr int kWidth = 850, kHeight = 600;

CBitmapImage* Solid(int w, int h, std::uint32_t argb) {
  auto* image = new CBitmapImage;
  image->CreateBlank(w, h);
  image->GetImage()->Fill(CColour{argb});
  return image;
}

class CBenchPanel : public CControlPanelWnd {
 public:
  CBenchPanel()
      : m_led(Solid(18, 18, 0xFF3080FFu)), m_cap(Solid(15, 31, 0xFFD0D0D0u)), m_meter(Solid(14, 130, 0xFF20D040u)) {
    SetBackgroundImage(Solid(kWidth, kHeight, 0xFF2A2E36u));
    CreateBackBuffer(kWidth, kHeight);
    // 12 strips of 25 widgets each.
    for (int s = 0; s < 12; ++s) {
      const int x = 15 + 68 * s;
      for (int row = 0; row < 8; ++row) {
        AddControl(new CTextControl(this, 1000 + s * 8 + row, true, "DejaVu Sans", 8.0f, 0xFFE6E6E6u, 0x116D,
                                    CRect{x, 20 + 18 * row, x + 60, 35 + 18 * row}));
        static_cast<CTextControl*>(GetControls().back())->SetText("-12.5 dB");
      }
      for (int b = 0; b < 8; ++b) AddControl(new CBmpButton(this, 2000 + s * 8 + b, m_led.get(), CRect{x + (b % 3) * 20, 170 + (b / 3) * 20, x + (b % 3) * 20 + 18, 188 + (b / 3) * 20}, 1));
      AddControl(new CBitmapMeter(this, 3000 + s, m_meter.get(), CRect{x, 240, x + 14, 370}, 0, 0, -40));
      static_cast<CBitmapMeter*>(GetControls().back())->SetLevel(-12);
      auto* fader = new CBitmapFader(this, 4000 + s, m_cap.get(), kFaderChannelGain, CRect{x + 25, 240, x + 40, 420});
      fader->SetValue(-6.0f);
      AddControl(fader);
      auto* knob = new CKnob(this, 5000 + s, CRect{x + 10, 430, x + 40, 460});
      knob->m_tickLength = 3;
      AddControl(knob);
      for (int l = 0; l < 6; ++l)
        AddControl(new CBitmapLED(this, 6000 + s * 6 + l, m_led.get(), CRect{x + l * 10, 480, x + l * 10 + 9, 489}, l % 2 == 0));
    }
  }
  ~CBenchPanel() override = default;

 private:
  std::unique_ptr<CBitmapImage> m_led, m_cap, m_meter;
};

void BM_FullPanelRedraw(benchmark::State& state) {
  CBenchPanel panel;
  state.counters["widgets"] = double(panel.GetControls().size());
  MeasureAgainstFill(state, kWidth, kHeight, kMeterTickMs, [&] { panel.RedrawRect(nullptr, false, true); });
}
BENCHMARK(BM_FullPanelRedraw)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_OneWidgetRedraw(benchmark::State& state) {
  CBenchPanel panel;
  const CRect rect = panel.GetControls()[0]->GetRect();
  MeasureAgainstFill(state, kWidth, kHeight, kMeterTickMs, [&] { panel.RedrawRect(&rect, false, true); });
}
BENCHMARK(BM_OneWidgetRedraw)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunWidgetBenchmarks(argc, argv); }
