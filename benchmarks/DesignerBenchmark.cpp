// The custom panel designer with many widgets: a Paste of every widget, a Delete of every widget
// and a mouse move of a band selection over them, each on an 800 x 600 panel of 1,000 and of
// 4,000 LEDs in the same run. growth is the time at 4,000 over the time at 1,000 (goal: at most
// 5, that is no worse than linear with a little to spare); the Delete also reports the growth
// of freeing the same widgets alone (floor_growth). Also a full redraw of a 1600 x 1200
// panel tiled with a 1 x 1 picture, against the same panel tiled with a 64 x 64 picture
// (tile_ratio, goal: at most 2).
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "benchmarks/WidgetBenchmark.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "custom/ButtonControl.h"
#include "custom/CPData.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "ui/CustomControlPanelWnd.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFew = 1000;
constexpr int kMany = 4000;
constexpr double kGrowthGoal = 5.0;
constexpr int kRounds = 5;

// The view with its pointer away from the panel: a Paste goes beside the copied group.
class CBenchView : public CCustomControlPanelWnd {
 public:
  using CCustomControlPanelWnd::CCustomControlPanelWnd;

 protected:
  CPoint PointerPosition() const override { return CPoint{-100, -100}; }
};

// A design-mode panel of count 8 x 8 LEDs on a 10-pixel grid, 80 to a row, drawn once.
struct Panel {
  CSystem system;
  CCPData* data = nullptr;
  std::unique_ptr<CBenchView> view;

  explicit Panel(int count, int width = 800, int height = 600) {
    data = new CCPData(&system);
    system.Panels().AppendCustomPanel(data);
    system.Panels().SetDesignMode(1);
    view = std::make_unique<CBenchView>(system);
    view->resize(width, height);
    for (int i = 0; i < count; ++i) {
      const int x = (i % 80) * 10, y = (i / 80) * 10;
      data->m_widgets.push_back(new CCCLED(view.get(), CRect{x + 1, y + 1, x + 9, y + 9}));
    }
    view->SetPanelData(data);
    view->RebuildDisplay();
  }
  ~Panel() {
    view.reset();
    system.SetModified(false);
  }
  void SelectAll() {
    for (CCustomControlObject* widget : data->m_widgets) view->Designer().AddToSelection(widget);
  }
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// The least time of kRounds of work on a fresh panel of count widgets; ready sets the panel up
// untimed.
double Timed(int count, const std::function<void(Panel&)>& ready, const std::function<void(Panel&)>& work) {
  double least = 1e9;
  for (int round = 0; round < kRounds; ++round) {
    Panel panel(count);
    ready(panel);
    const auto start = Clock::now();
    work(panel);
    least = std::min(least, Seconds(start));
  }
  return least;
}

// The growth of work from 1,000 to 4,000 widgets; the same for floor (when given), work's share
// that no designer can avoid, as floor_growth.
void ReportGrowth(benchmark::State& state, const std::function<void(Panel&)>& ready,
                  const std::function<void(Panel&)>& work, const std::function<void(Panel&)>& floor = {}) {
  double few = 0, many = 0, floorFew = 0, floorMany = 0;
  for (auto _ : state) {
    few = Timed(kFew, ready, work);
    many = Timed(kMany, ready, work);
    if (floor) {
      floorFew = Timed(kFew, ready, floor);
      floorMany = Timed(kMany, ready, floor);
    }
  }
  state.counters["ms_1000"] = few * 1e3;
  state.counters["ms_4000"] = many * 1e3;
  state.counters["growth"] = many / few;
  state.counters["goal_growth"] = kGrowthGoal;
  if (floor) state.counters["floor_growth"] = floorMany / floorFew;
}

void BM_PasteEveryWidget(benchmark::State& state) {
  ReportGrowth(
      state,
      [](Panel& p) {
        p.SelectAll();
        p.view->CopySelection();
      },
      [](Panel& p) { p.view->PasteControls(); });
}
BENCHMARK(BM_PasteEveryWidget)->Iterations(1)->Unit(benchmark::kSecond);

// floor_growth: the widgets freed alone, without the designer, whose cost the memory system sets.
void BM_DeleteEveryWidget(benchmark::State& state) {
  ReportGrowth(
      state, [](Panel& p) { p.SelectAll(); }, [](Panel& p) { p.view->OnKeyDown(VK_DELETE); },
      [](Panel& p) {
        p.view->Designer().Reset();
        DeleteCustomControlObjects(p.data->m_widgets);
      });
}
BENCHMARK(BM_DeleteEveryWidget)->Iterations(1)->Unit(benchmark::kSecond);

// A band from the free top-left corner: one move over every widget (each becomes selected),
// one back over half of them (the other half drop out); the time of the two moves.
void BM_BandSelectionMoves(benchmark::State& state) {
  ReportGrowth(
      state, [](Panel& p) { p.view->OnLButtonDown(0, CPoint{0, 0}); },
      [](Panel& p) {
        p.view->OnMouseMove(MK_LBUTTON, CPoint{799, 599});
        p.view->OnMouseMove(MK_LBUTTON, CPoint{399, 599});
      });
}
BENCHMARK(BM_BandSelectionMoves)->Iterations(1)->Unit(benchmark::kSecond);

// The least time of a full redraw of a large panel tiled with a picture of side pixels.
double TiledRedraw(int side) {
  Panel panel(0, 1600, 1200);
  CImage picture(side, side);
  picture.Fill(CColour::FromRgb(90, 120, 150));
  auto* image = new CCCImage;
  image->SetBitmap(picture);
  panel.system.Images().GetFileImages().AddChild(image);
  panel.data->m_pBackgroundImage = image;
  panel.data->m_imageUsage = kImageUsageTile;
  panel.view->RebuildDisplay();
  double least = 1e9;
  for (int round = 0; round < 2 * kRounds; ++round) {
    const auto start = Clock::now();
    panel.view->RedrawRect(CRect{0, 0, 1600, 1200});
    least = std::min(least, Seconds(start));
  }
  panel.data->m_pBackgroundImage = nullptr;
  return least;
}

void BM_TinyTiledBackground(benchmark::State& state) {
  double tiny = 0, large = 0;
  for (auto _ : state) {
    tiny = TiledRedraw(1);
    large = TiledRedraw(64);
  }
  state.counters["ms_1x1"] = tiny * 1e3;
  state.counters["ms_64x64"] = large * 1e3;
  state.counters["tile_ratio"] = tiny / large;
  state.counters["goal_ratio"] = 2.0;
}
BENCHMARK(BM_TinyTiledBackground)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunWidgetBenchmarks(argc, argv); }
