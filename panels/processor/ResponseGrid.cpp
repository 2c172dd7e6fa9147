// Grid drawing of the response graphs.
#include "panels/processor/ResponseGrid.h"
#include "platform/TextFormat.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr CColour kBright{0xFFB4B4B4u};
constexpr CColour kDark{0xFF646464u};
constexpr CColour kLabel{0xFFFFFFFFu};

}  // namespace

void FillGraphBackground(Graphics& g, int width, int height) {
  const float w = float(width), h = float(height), half = float(height / 2);
  g.FillRectangle(CBrush::LinearGradient(CPointF{0.0f, -2.0f}, CPointF{0.0f, half + 2.0f}, CColour{0xFF000000u},
                                         CColour{0xFF28283Cu})
                      .SetWrapMode(WrapMode::Clamp),
                  CRectF{0.0f, 0.0f, w, half});
  g.FillRectangle(CBrush::LinearGradient(CPointF{0.0f, half - 2.0f}, CPointF{0.0f, h + 2.0f}, CColour{0xFF28283Cu},
                                         CColour{0xFF000000u})
                      .SetWrapMode(WrapMode::Clamp),
                  CRectF{0.0f, half, w, h - half});
}

double FrequencyCodeToX(const CRect& plot, double code) {
  return double(plot.left) + (code - 13.0) * double(plot.Width()) / 419.0;
}

void DrawFrequencyGrid(Graphics& g, const CRect& plot, const CFont* font) {
  const CPen bright(kBright, 1.0f), dark(kDark, 1.0f);
  const float top = float(plot.top), bottom = float(plot.bottom);
  const double lo = std::log10(7.8125 * std::pow(2.0, 13.0 / 36.0));
  const double hi = std::log10(7.8125 * std::pow(2.0, 432.0 / 36.0));
  for (int e = 1; e <= 5; ++e) {
    for (int m = 1; m <= 9; ++m) {
      const double f = double(m) * std::pow(10.0, double(e));
      if (f >= 40000.0) continue;
      const int x = int((std::log10(f) - lo) / (hi - lo) * double(plot.Width()));
      if (x < 1 || x >= plot.Width()) continue;
      const float px = float(plot.left + x);
      g.DrawLine(m == 1 ? bright : dark, CPointF{px, top}, CPointF{px, bottom});
      if ((m == 1 || m == 2 || m == 5) && f >= 11.0 && f < 30000.0) {
        g.DrawLine(bright, CPointF{px, bottom}, CPointF{px, bottom + 3.0f});
        const std::string label = f < 1000.0 ? FormatText("%dHz", int(f)) : FormatText("%dkHz", int(f / 1000.0));
        if (font)
          g.DrawString(label, *font, CRectF{px - 10.0f, bottom + 4.0f, 0.0f, 0.0f},
                       CStringFormat(StringAlignment::Near), CBrush(kLabel));
      }
    }
  }
}

void DrawLevelGrid(Graphics& g, const CRect& plot, int highestDb, int lowestDb, int stepDb, int labelEvery,
                   const CFont* font) {
  const CPen bright(kBright, 1.0f), dark(kDark, 1.0f);
  const float left = float(plot.left), right = float(plot.right), top = float(plot.top),
              bottom = float(plot.bottom);
  const double span = double(highestDb - lowestDb);
  for (int d = lowestDb; d <= highestDb && stepDb > 0; d += stepDb) {
    const float y = bottom - float(int(double(d - lowestDb) / span * double(plot.Height())));
    g.DrawLine(d == 0 ? bright : dark, CPointF{left, y}, CPointF{right, y});
    if (labelEvery > 0 && d % labelEvery == 0) {
      g.DrawLine(bright, CPointF{left - 3.0f, y}, CPointF{left, y});
      if (font)
        g.DrawString(FormatText("%ddB", d), *font, CRectF{left - 3.0f, y - 6.0f, 0.0f, 0.0f},
                     CStringFormat(StringAlignment::Far), CBrush(kLabel));
    }
  }
  g.DrawLine(bright, CPointF{left, top}, CPointF{right, top});
  g.DrawLine(bright, CPointF{left, bottom}, CPointF{right, bottom});
  g.DrawLine(bright, CPointF{left, top}, CPointF{left, bottom});
  g.DrawLine(bright, CPointF{right, top}, CPointF{right, bottom});
}
