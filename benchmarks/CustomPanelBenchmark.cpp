// A custom panel of 200 widgets of mixed kinds (faders, knobs with LED rings, buttons, LEDs,
// texts and bitmaps) in a 1000 x 700 back buffer: one full redraw (goal: under 5 ms) and one
// widget update from a broadcast value, that is every widget offered the value and the changed
// area repainted (goal: under 0.2 ms). Each is reported in ms, as a ratio to one plain fill of
// the same back buffer measured in the same run, and as its share of the goal.
#include <QGuiApplication>
#include <memory>
#include <vector>

#include "benchmarks/BenchmarkMain.h"
#include "benchmarks/DrawBenchmark.h"

#include "custom/BitmapControl.h"
#include "custom/ButtonControl.h"
#include "custom/FaderControl.h"
#include "custom/KnobControl.h"
#include "custom/TextControl.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 700;

struct Panel {
  CImage buffer{kWidth, kHeight};
  std::vector<std::unique_ptr<CCustomControlObject>> widgets;
  CCCFader* target = nullptr;

  Panel() {
    for (int i = 0; i < 200; ++i) {
      const int x = (i % 20) * 50, y = (i / 20) * 70;
      switch (i % 6) {
        case 0: {
          auto fader = std::make_unique<CCCFader>(nullptr, CRect{x + 15, y, x + 35, y + 68});
          fader->m_value = float(i % 100);
          if (!target) target = fader.get();
          widgets.push_back(std::move(fader));
          break;
        }
        case 1: {
          auto knob = std::make_unique<CCCKnob>(nullptr, CRect{x + 5, y + 5, x + 45, y + 45});
          knob->m_flags |= kKnobDrawLeds;
          knob->m_value = float(i % 20) - 10.0f;
          widgets.push_back(std::move(knob));
          break;
        }
        case 2: {
          auto button = std::make_unique<CCCButton>(nullptr, CRect{x + 2, y + 20, x + 48, y + 40});
          button->m_text = "Mute";
          button->m_flags |= kButtonFill | kButtonHalo;
          button->m_state = (i % 4) == 0;
          widgets.push_back(std::move(button));
          break;
        }
        case 3: {
          auto led = std::make_unique<CCCLED>(nullptr, CRect{x + 15, y + 20, x + 35, y + 40});
          led->m_state = (i % 3) == 0;
          widgets.push_back(std::move(led));
          break;
        }
        case 4:
          widgets.push_back(std::make_unique<CCCTextControl>(nullptr, "Arial", 10.0f, kTextDefaultFlags,
                                                             CRect{x, y + 25, x + 50, y + 45}));
          break;
        default:
          widgets.push_back(std::make_unique<CCCBitmap>(nullptr, CRect{x + 5, y + 5, x + 45, y + 65}));
          break;
      }
    }
  }

  // Background, then every widget that meets the area, in order.
  void Repaint(Graphics& g, const CRect& area) {
    g.SetClip(area);
    g.Clear(CColour{0xFF000028u});
    for (auto& w : widgets) {
      const CRect b = w->GetBoundsRect();
      if (b.right < area.left || b.left > area.right || b.bottom < area.top || b.top > area.bottom) continue;
      w->Draw(g, area, false);
      g.SetClip(area);
    }
    g.ResetClip();
  }
};

// The goals of the two steps, in ms.
constexpr double kRedrawGoalMs = 5.0;
constexpr double kUpdateGoalMs = 0.2;

void BM_FullPanelRedraw(benchmark::State& state) {
  Panel panel;
  Graphics g(panel.buffer);
  MeasureAgainstFill(state, kWidth, kHeight, kRedrawGoalMs, [&] { panel.Repaint(g, CRect{0, 0, kWidth, kHeight}); });
}

void BM_BroadcastUpdate(benchmark::State& state) {
  Panel panel;
  Graphics g(panel.buffer);
  panel.Repaint(g, CRect{0, 0, kWidth, kHeight});
  float value = 0.0f;
  MeasureAgainstFill(state, kWidth, kHeight, kUpdateGoalMs, [&] {
    value = value >= 99.0f ? 0.0f : value + 1.0f;
    const CParamValue update(1, value, ParamKind::kLevel);
    CRect dirty = panel.target->OnParameterUpdate(update);
    if (dirty.Width() > 0 && dirty.Height() > 0) panel.Repaint(g, dirty);
  });
}

}  // namespace

BENCHMARK(BM_FullPanelRedraw)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BroadcastUpdate)->UseManualTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return RunBenchmarks<QGuiApplication>(argc, argv); }
