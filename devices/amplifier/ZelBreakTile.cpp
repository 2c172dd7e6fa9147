// The Zel breakout box's rack tile: the model line's skins, the box name and the status LED,
// which blink together while the box has warnings or reports an alarm. UI thread.
#include "devices/amplifier/ZelBreakTile.h"

#include <array>
#include <memory>

#include "core/draw/BitmapImage.h"
#include "core/model/DeviceHost.h"
#include "core/draw/TextStyle.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelTileSkins.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/Sync.h"

namespace {

constexpr int kTileHeight = 23;
constexpr const char* kFace = "HandelGotDLig";
constexpr CColour kWhite{0xFFFFFFFFu};
// Resource numbers by model line (XB, Fennick, Quill), each left, right, middle.
constexpr std::array<std::array<std::uint32_t, 3>, 3> kSkinIds{
    {{4119, 4120, 4121}, {4153, 4154, 4155}, {4156, 4157, 4158}}};

enum Line { kLineXb = 0, kLineFennick = 1, kLineQuill = 2 };

Line LineOf(std::uint32_t typeCode) {
  if (typeCode >= 40 && typeCode <= 45) return kLineXb;
  if (typeCode == 46 || typeCode == 47) return kLineQuill;
  return kLineFennick;
}

std::array<std::array<std::unique_ptr<CBitmapImage>, 3>, 3>& Skins() {
  static std::array<std::array<std::unique_ptr<CBitmapImage>, 3>, 3> skins;
  return skins;
}

}  // namespace

void AcquireZelBreakSkins() {
  for (std::size_t line = 0; line < kSkinIds.size(); ++line)
    for (std::size_t i = 0; i < 3; ++i) {
      auto& skin = Skins()[line][i];
      if (skin && !skin->IsEmpty()) continue;
      skin = std::make_unique<CBitmapImage>();
      skin->LoadFromResource(CBitmapImage::kResourceBmp, kSkinIds[line][i]);
    }
}

void ReleaseZelBreakSkins() {
  for (auto& line : Skins())
    for (auto& skin : line) skin.reset();
}

CBitmapImage* GetZelBreakSkin(std::uint32_t typeCode, ZelBreakSkin which) {
  CBitmapImage* skin = Skins()[std::size_t(LineOf(typeCode))][std::size_t(which)].get();
  return skin && !skin->IsEmpty() ? skin : nullptr;
}

int CZelBreakDevice::DrawTile(Graphics* g, const CRect& rect, int blinkPhase) {
  if (!g || rect == CRect{}) return kTileHeight;
  const CBitmapImage* left = GetZelBreakSkin(m_typeCode, ZelBreakSkin::kLeft);
  const CBitmapImage* right = GetZelBreakSkin(m_typeCode, ZelBreakSkin::kRight);
  const CBitmapImage* middle = GetZelBreakSkin(m_typeCode, ZelBreakSkin::kMiddle);
  DrawZelTileSkins(*g, rect, left, right, middle);
  const int L = rect.left, T = rect.top, R = rect.right, W = rect.Width();

  if (blinkPhase == 0 || blinkPhase == 1 || HasWarnings() == 0) {
    std::string name;
    {
      CSingleLock lock(m_host->GetLock());
      name = m_name;
    }
    CTextStyle style;
    style.Set(kFace, 8.0f, kWhite);
    const CFont* font = style.GetFont();
    {
      CTextHintScope hint(*g);
      g->DrawString(name, font ? *font : CFont{}, CRectF{float(L + 30), float(T + 5), float(W - 52), 12.0f},
                    CStringFormat(StringAlignment::Near), CBrush::Solid(kWhite));
    }
    const int led = !IsConnected() ? kLedRed : HasWarnings() != 0 ? kLedYellow : kLedGreen;
    const int ledRight = LineOf(m_typeCode) == kLineXb ? R - 20 : R - 30;
    DrawLed(*g, led, ledRight - 10, T + 7, ledRight, rect.bottom - 6);
  }
  CDevice::DrawTile(g, rect, blinkPhase);
  return kTileHeight;
}
