// The Zel amplifier's rack tile (skins, name, model and ID, status LED, warning blink) and its
// System Monitor column (thermometer, scale, name, LEDs and labels). UI thread; the fields shown
// are copied under the system's lock.
#include "devices/amplifier/ZelSeriesTiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

#include "core/draw/BitmapImage.h"
#include "core/draw/RoundedBox.h"
#include "core/model/DeviceHost.h"
#include "core/draw/TextStyle.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/amplifier/ZelTileSkins.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

constexpr int kTileHeight = 30;
constexpr int kMonitorWidth = 60;
constexpr const char* kFace = "HandelGotDLig";
constexpr CColour kWhite{0xFFFFFFFFu};
constexpr CColour kBulb{0xFF0000C8u};
constexpr CColour kHot{0xFFFF0000u};
constexpr CColour kWarm{0xFFFF8000u};
constexpr CColour kCover{0xDC808080u};
constexpr CColour kIgnoredFill{0x96323232u};
constexpr std::array<std::uint32_t, 3> kSkinIds{4116, 4117, 4118};

std::array<std::unique_ptr<CBitmapImage>, 3>& Skins() {
  static std::array<std::unique_ptr<CBitmapImage>, 3> skins;
  return skins;
}

// The tile text style at a size in points.
CFont TextFont(float points) {
  CTextStyle style;
  style.Set(kFace, points, kWhite);
  const CFont* font = style.GetFont();
  return font ? *font : CFont{};
}

void Text(Graphics& g, const std::string& text, float points, const CRectF& layout) {
  g.DrawString(text, TextFont(points), layout, CStringFormat(StringAlignment::Near), CBrush::Solid(kWhite));
}

// Thermometer: a bulb and a column (top left at x0, y0, h high) coloured blue (cold) to red
// (hot), covered in grey from the top down to the temperature t.
void DrawThermometer(Graphics& g, float x0, float y0, float h, std::int32_t t) {
  const CRectF bulb{x0 - 5.0f, y0 + h - 5.0f, 15.0f, 15.0f};
  const CRectF column{x0, y0, 5.0f, h};
  g.FillEllipse(CBrush::Solid(kBulb), bulb);
  CBrush gradient = CBrush::LinearGradient(CPointF{0.0f, y0 - 1.0f}, CPointF{0.0f, y0 + h + 1.0f}, kHot, kBulb);
  gradient.SetInterpolationColours({{0.0f, kHot}, {0.7f, kWarm}, {1.0f, kBulb}});
  g.FillRectangle(gradient, column);
  // Above the top of the scale the column stays uncovered.
  const float cover = std::clamp(std::trunc(float(90 - t) / 90.0f * h), 0.0f, h);
  if (cover > 0.0f) g.FillRectangle(CBrush::Solid(kCover), CRectF{x0, y0, 5.0f, cover});
  // One outline around column and bulb: down the column's left side, round the bulb from
  // where the side meets it to where the right side does, and up again.
  const float cy = bulb.y + 7.5f, r = 7.5f;
  const float dx = 2.5f, dy = std::sqrt(r * r - dx * dx);
  const float meet = float(std::atan2(dy, dx) * 180.0 / 3.14159265358979);  // degrees above the axis
  CGraphicsPath outline;
  outline.StartFigure();
  outline.AddLine(CPointF{x0, y0}, CPointF{x0, cy - dy});
  outline.AddArc(bulb.x, bulb.y, 15.0f, 15.0f, 180.0f + meet, -(360.0f - 2.0f * (90.0f - meet)));
  outline.AddLine(CPointF{x0 + 5.0f, cy - dy}, CPointF{x0 + 5.0f, y0});
  outline.CloseFigure();
  outline.Flatten(0.25f);
  g.DrawPath(CPen(kWhite, 1.0f), outline);
}

}  // namespace

void AcquireZelSeriesSkins() {
  auto& skins = Skins();
  for (std::size_t i = 0; i < kSkinIds.size(); ++i) {
    skins[i] = std::make_unique<CBitmapImage>();
    skins[i]->LoadFromResource(CBitmapImage::kResourceBmp, kSkinIds[i]);
  }
}

void ReleaseZelSeriesSkins() {
  for (auto& skin : Skins()) skin.reset();
}

CBitmapImage* GetZelSeriesSkin(int which) {
  if (which < 0 || which >= int(kSkinIds.size())) return nullptr;
  CBitmapImage* skin = Skins()[std::size_t(which)].get();
  return skin && !skin->IsEmpty() ? skin : nullptr;
}

int CZelSeriesDevice::DrawTile(Graphics* g, const CRect& rect, int blinkPhase) {
  if (!g || rect == CRect{}) return kTileHeight;
  const CBitmapImage* left = GetZelSeriesSkin(0);
  const CBitmapImage* right = GetZelSeriesSkin(1);
  const CBitmapImage* middle = GetZelSeriesSkin(2);
  if (DrawZelTileSkins(*g, rect, left, right, middle)) {
    const bool warning = HasWarnings() != 0;
    if (blinkPhase == 0 || blinkPhase == 1 || !warning) {
      std::string name;
      {
        CSingleLock lock(m_host->GetLock());
        name = m_name;
      }
      DrawAmplifierTileFace(*this, *g, rect, name, !IsConnected() ? kLedRed : m_warningBits != 0 ? kLedYellow : kLedGreen);
    }
  }
  CDevice::DrawTile(g, rect, blinkPhase);
  return kTileHeight;
}

int CZelSeriesDevice::DrawMonitorTile(Graphics* g, const CRect& rect, Graphics* dc, int mode) {
  (void)dc;
  if (!g) return kMonitorWidth;
  const SmoothingMode savedSmoothing = g->GetSmoothingMode();
  g->SetSmoothingMode(SmoothingMode::AntiAlias);
  const int L = rect.left, T = rect.top, B = rect.bottom, H = B - T;
  const bool connected = IsConnected();
  std::int32_t temperature = 0;
  bool standby = false;
  std::string name;
  {
    CSingleLock lock(m_host->GetLock());
    temperature = m_temperature;
    standby = IsInStandby();
    name = m_name;
  }

  const float x0 = float(L + 30), y0 = float(T + 10), h = float(std::max(H - 70, 0));
  DrawThermometer(*g, x0, y0, h, !connected || standby || temperature < 10 ? 10 : temperature);

  if (mode != 1) {
    CTextHintScope hint(*g);
    const bool hideBlinking = mode == 3 && HasWarnings() != 0;
    if (!hideBlinking) {
      const CMatrix saved = g->GetTransform();
      g->TranslateTransform(float(L + 4), float(B - 44));
      g->RotateTransform(270.0f);
      Text(*g, name, 8.0f, CRectF{0.0f, 0.0f, float(std::max(H - 44, 0)), 12.0f});
      g->SetTransform(saved);

      DrawLed(*g, !connected ? kLedRed : m_warningBits != 0 ? kLedYellow : kLedGreen, L + 40, B - 20, L + 50, B - 10);
      Text(*g, "Comms", 6.0f, CRectF{float(L + 7), float(B - 20), 38.0f, 10.0f});
      if (connected) {
        DrawLed(*g, standby ? kLedRed : kLedGreen, L + 40, B - 30, L + 50, B - 20);
        Text(*g, standby ? "Standby" : "Active", 6.0f, CRectF{float(L + 7), float(B - 30), 38.0f, 10.0f});
      }
    }
    // The model name is cut to its 48 x 10 line above the LED labels. The face's capitals sit
    // low in its line: set one pixel up inside the cut, they keep their lower edge.
    const CClipState clip = g->SaveClip();
    g->IntersectClip(CRectF{float(L + 7), float(B - 45), 48.0f, 10.0f});
    Text(*g, GetModelName(), 8.0f, CRectF{float(L + 7), float(B - 46), 48.0f, 11.0f});
    g->RestoreClip(clip);
    for (int mark = 20; mark <= 90; mark += 10) {
      const float y = y0 + h - std::trunc(float(mark) / 90.0f * h);
      g->DrawLine(CPen(kWhite, 1.0f), CPointF{x0 + 5.0f, y}, CPointF{x0 + 8.0f, y});
      Text(*g, std::to_string(mark), 6.0f, CRectF{x0 + 9.0f, y - 3.0f, 0.0f, 0.0f});
    }
  }

  if (m_ignored) {
    CGraphicsPath veil;
    CreateRoundRectPath(veil, 32, L + 2, T + 2, 56, H - 4);
    g->FillPath(CBrush::Solid(kIgnoredFill), veil);
  }
  DrawRoundedBox(*g, kWhite, 1, 8, L + 2, T + 2, 56, H - 4);
  g->SetSmoothingMode(savedSmoothing);
  return kMonitorWidth;
}
