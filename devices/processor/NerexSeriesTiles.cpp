// The processor's rack tile and its column of live meters, drawn through Graphics with the
// family's skin images. UI thread: the shared images and the meter bitmap belong to it.
#include "devices/processor/NerexTiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

#include "core/draw/BitmapImage.h"
#include "core/draw/RoundedBox.h"
#include "core/draw/TextStyle.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

namespace {

constexpr int kTileHeight = 30;
constexpr CColour kWhite{0xFFFFFFFFu};
constexpr CColour kMeterGrey{0xFF7D7D7Du};
constexpr CColour kMeterRed{0xFFFF0000u};
constexpr CColour kMeterYellow{0xFFFFFF00u};
constexpr CColour kMeterGreen{0xFF008000u};
constexpr CColour kIgnoredFill{0x96323232u};
constexpr const char* kMeterFace = "DejaVu Sans Condensed";

// A tile set's skin resources and its text and LED placement.
struct TileSet {
  std::uint32_t left, right, middle;  // "BMP" resources: left end, right end, middle piece
  const char* face;
  float points;
  int textLeft, textTop, textWidthLess, lineHeight;
  int ledLeftFromRight, ledRightFromRight;  // LED: right - a .. right - b, top + 10 .. bottom - 10
};

constexpr TileSet kFennick{2154, 2155, 2156, "DejaVu Sans Condensed", 8, 32, 3, 66, 13, 42, 32};
constexpr TileSet kZelFennick{2162, 2163, 2164, "HandelGotDLig", 8, 30, 2, 52, 12, 30, 20};
constexpr TileSet kNerex{2141, 2142, 2143, "DejaVu Sans Condensed", 8, 28, 3, 62, 13, 38, 28};
constexpr TileSet kHollin2{2236, 2237, 2238, "DejaVu Sans Condensed", 8, 32, 2, 62, 13, 38, 28};
constexpr TileSet kCalder{2208, 2209, 2210, "Bliss", 9, 32, 2, 62, 13, 38, 28};

const TileSet& TileSetOf(int model, std::uint32_t hardwareCode) {
  switch (model) {
    case kModelFennick: return kFennick;
    case kModelZelFennick: return kZelFennick;
    case kModelCalder26:
    case kModelCalder48: return hardwareCode == kHardwareHollin2 ? kHollin2 : kCalder;
    default: return kNerex;
  }
}

// The fifteen skin images, loaded on first use and kept for the whole run.
CBitmapImage* Skin(std::uint32_t id) {
  static std::array<std::unique_ptr<CBitmapImage>, 15> images;
  static constexpr std::array<std::uint32_t, 15> kIds{2141, 2142, 2143, 2154, 2155, 2156, 2162, 2163,
                                                      2164, 2208, 2209, 2210, 2236, 2237, 2238};
  for (std::size_t i = 0; i < kIds.size(); ++i) {
    if (kIds[i] != id) continue;
    if (!images[i]) {
      images[i] = std::make_unique<CBitmapImage>();
      images[i]->LoadFromResource(CBitmapImage::kResourceBmp, id);
    }
    return images[i]->IsEmpty() ? nullptr : images[i].get();
  }
  return nullptr;
}

// The shared meter bitmap: 10 pixels wide, a vertical gradient red - yellow - green.
struct MeterBitmap {
  int height = -1;
  std::unique_ptr<CImage> image;
};
MeterBitmap& SharedMeterBitmap() {
  static MeterBitmap bitmap;
  return bitmap;
}

std::optional<CFont> FontOf(const char* face, float points) { return CreateGdiplusFont(face, points, 0); }

// Copies rows [from, from + count) of the meter bitmap to (x, y).
void CopyMeterRows(Graphics& dc, int x, int y, int from, int count) {
  const MeterBitmap& bitmap = SharedMeterBitmap();
  if (!bitmap.image || count <= 0) return;
  dc.DrawImage(*bitmap.image, CRectF{float(x), float(y), 10.0f, float(count)},
               CRectF{0.0f, float(from), 10.0f, float(count)});
}

void FillBox(Graphics& dc, int x, int y, int height, CColour colour) {
  if (height > 0) dc.FillRectangle(CBrush::Solid(colour), CRectF{float(x), float(y), 10.0f, float(height)});
}

CRect Union(const CRect& a, const CRect& b) {
  if (a == CRect{}) return b;
  return CRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

}  // namespace

void BuildMeterBitmap(int height) {
  MeterBitmap& bitmap = SharedMeterBitmap();
  bitmap.height = std::max(height, 0);
  bitmap.image = std::make_unique<CImage>(10, bitmap.height);
  if (bitmap.image->IsNull()) return;
  Graphics g(*bitmap.image);
  CBrush brush = CBrush::LinearGradient(CPointF{0.0f, 0.0f}, CPointF{0.0f, float(bitmap.height + 1)}, kMeterRed,
                                        kMeterGreen);
  brush.SetInterpolationColours({{0.0f, kMeterRed}, {0.6f, kMeterYellow}, {1.0f, kMeterGreen}});
  g.FillRectangle(brush, CRectF{0.0f, 0.0f, 10.0f, float(bitmap.height)});
}

int GetMeterBitmapHeight() { return SharedMeterBitmap().height; }

CRect DrawMeterBar(Graphics& dc, const CRect& m, CRect& result, float level) {
  const int x = m.left;
  const int barTop = m.top + 20;
  const int bar = std::max(0, m.Height() - 40);
  const int available = std::max(0, SharedMeterBitmap().height);
  // +9 dB at the top of the bar, -85 dB at its bottom.
  int unlit = int(std::trunc((9.0 - double(level)) / 94.0 * double(bar)));
  unlit = std::clamp(unlit, 0, bar);
  FillBox(dc, x, barTop, unlit, kMeterGrey);
  CopyMeterRows(dc, x, barTop + unlit, unlit, std::min(bar, available) - unlit);

  // Signal and clip boxes: the bitmap's green foot and red head, or grey.
  const int signalTop = m.bottom - 10, clipTop = m.top;
  if (level > -85.0f && available >= 10)
    CopyMeterRows(dc, x, signalTop, available - 10, 10);
  else
    FillBox(dc, x, signalTop, 10, level > -85.0f ? kMeterGreen : kMeterGrey);
  if (level > 0.0f && available >= 10)
    CopyMeterRows(dc, x, clipTop, 0, 10);
  else
    FillBox(dc, x, clipTop, 10, level > 0.0f ? kMeterRed : kMeterGrey);
  result = m;
  return m;
}

// --- The device's drawings ---

int GetMonitorTileWidth(const CNerexSeriesDevice& device) {
  const int channels = device.GetInputCount() + device.GetOutputCount();
  return 10 * int(std::trunc(1.5 * channels + 6.0));
}

int CNerexSeriesDevice::DrawTile(Graphics* g, const CRect& r, int blinkPhase) {
  if (r == CRect{} || !g) return kTileHeight;
  CTextHintScope hint(*g);
  const TileSet& set = TileSetOf(GetModel(), GetHardwareCode());
  CBitmapImage* left = Skin(set.left);
  CBitmapImage* right = Skin(set.right);
  CBitmapImage* middle = Skin(set.middle);
  const int leftWidth = left ? left->GetWidth() : 0;
  const int rightWidth = right ? right->GetWidth() : 0;

  if (left) g->DrawImage(*left->GetImage(), float(r.left), float(r.top));
  bool full = r.Width() >= leftWidth + rightWidth;
  if (full) {
    if (right) g->DrawImage(*right->GetImage(), float(r.right - rightWidth), float(r.top));
    const int span = r.Width() - leftWidth - rightWidth;
    if (middle && middle->GetWidth() == 1 && span > 0) {
      // A one-column middle piece repeated across the span is that column stretched: one draw.
      g->DrawImage(*middle->GetImage(), CRectF{float(r.left + leftWidth), float(r.top), float(span),
                                               float(middle->GetHeight())});
    } else if (middle) {
      for (int x = r.left + leftWidth; x < r.right - rightWidth; ++x)
        g->DrawImage(*middle->GetImage(), float(x), float(r.top));
    }
  } else if (right && r.Width() > leftWidth) {
    // Too narrow for both ends: as much of the right end as fits, its outer edge kept.
    const int fits = r.Width() - leftWidth;
    g->DrawImage(*right->GetImage(), CRectF{float(r.left + leftWidth), float(r.top), float(fits), float(right->GetHeight())},
                 CRectF{float(rightWidth - fits), 0.0f, float(fits), float(right->GetHeight())});
  }

  const bool blinkOff = HasWarnings() != 0 && blinkPhase != 0 && blinkPhase != 1;
  if (full && !blinkOff) {
    if (const std::optional<CFont> font = FontOf(set.face, set.points)) {
      const CRectF line{float(r.left + set.textLeft), float(r.top + set.textTop), float(r.Width() - set.textWidthLess),
                        float(set.lineHeight)};
      CStringFormat near(StringAlignment::Near);
      near.noWrap = true;
      g->DrawString(GetName(), *font, line, near, CBrush::Solid(kWhite));
      CRectF second = line;
      second.y += float(set.lineHeight);
      g->DrawString(GetModelName() + "   ID : " + std::to_string(int(GetDeviceId())), *font, second, near,
                    CBrush::Solid(kWhite));
    }
    const int colour = HasWarnings() ? kLedYellow : IsConnected() ? kLedGreen : kLedRed;
    DrawLed(*g, colour, r.right - set.ledLeftFromRight, r.top + 10, r.right - set.ledRightFromRight, r.bottom - 10);
  }
  CDevice::DrawTile(g, r, blinkPhase);
  return kTileHeight;
}

CRect CNerexSeriesDevice::GetExtraRect(Graphics* dc, const CRect& r) {
  CRect meter{r.left + 10, r.top + 10, r.left + 30, r.top + 10 + std::max(0, r.Height() - 40)};
  CRect all{};
  auto draw = [&](float level) {
    CRect drawn = meter;
    if (dc) DrawMeterBar(*dc, meter, drawn, std::min(level, 9.0f));
    all = Union(all, drawn);
  };
  for (int i = 0; i < GetInputCount(); ++i) {
    meter.left += 15;
    meter.right += 15;
    draw(m_meters.GetInputMeter(i));
  }
  meter.left += 10;
  meter.right += 10;
  for (int o = 0; o < GetOutputCount(); ++o) {
    meter.left += 15;
    meter.right += 15;
    draw(m_meters.GetOutputMeter(o));
  }
  return all;
}

int CNerexSeriesDevice::DrawMonitorTile(Graphics* g, const CRect& r, Graphics* dc, int mode) {
  const int width = ::GetMonitorTileWidth(*this);
  if (!g) return width;
  CTextHintScope hint(*g);
  const int h = std::max(0, r.Height() - 80);
  if (GetMeterBitmapHeight() != h) BuildMeterBitmap(h);
  GetExtraRect(dc ? dc : g, r);
  if (mode == 1) return width;

  const bool blinkOff = mode == 3 && HasWarnings() != 0;
  if (!blinkOff) {
    if (const std::optional<CFont> font = FontOf(kMeterFace, 8)) {
      // The name reads upwards along the left edge.
      const CMatrix saved = g->GetTransform();
      g->TranslateTransform(float(r.left + 4), float(r.top + h + 50));
      g->RotateTransform(270.0f);
      CStringFormat near(StringAlignment::Near);
      near.noWrap = true;
      g->DrawString(GetName(), *font, CRectF{0.0f, 0.0f, float(h + 40), 13.0f}, near, CBrush::Solid(kWhite));
      g->SetTransform(saved);
    }
  }

  // Level scale right of the last meter. A text drawn at a point starts a sixth of its em further
  // in, as the generic string layout pads it: without that gap the tick ran into the figures and
  // "0" read "-0", "-9" read "--9".
  const int k = GetInputCount() + GetOutputCount();
  if (const std::optional<CFont> small = FontOf(kMeterFace, 6)) {
    const CPen pen(kWhite, 1.0f);
    const float inset = small->emPixels / 6.0f;
    for (int v = 9; v >= -81; v -= 9) {
      const int y = r.top + 30 + int(std::trunc((9.0 - v) / 94.0 * h));
      const float x = float(r.left + 15 * k + 30);
      g->DrawLine(pen, CPointF{x, float(y)}, CPointF{x + 3.0f, float(y)});
      CStringFormat at(StringAlignment::Near);
      at.noWrap = true;
      g->DrawString(std::to_string(v), *small, CRectF{x + 4.0f + inset, float(y - 3), 0.0f, 0.0f}, at,
                    CBrush::Solid(kWhite));
    }
    if (!blinkOff) {
      const int colour = HasWarnings() ? kLedYellow : IsConnected() ? kLedGreen : kLedRed;
      DrawLed(*g, colour, r.left + width - 30, r.top + h + 60, r.left + width - 20, r.top + h + 70);
      CStringFormat near(StringAlignment::Near);
      near.noWrap = true;
      g->DrawString("Status", *small, CRectF{float(r.left + width - 70), float(r.top + h + 60), 30.0f, 10.0f}, near,
                    CBrush::Solid(kWhite));
    }
  }

  const int x = r.left + 2, y = r.top + 2, w = width - 4, ht = r.Height() - 4;
  if (IsIgnored()) {
    CGraphicsPath path;
    CreateRoundRectPath(path, 16, x, y, w, ht);
    g->FillPath(CBrush::Solid(kIgnoredFill), path);
  }
  DrawRoundedBox(*g, kWhite, 1, 8, x, y, w, ht);
  return width;
}
