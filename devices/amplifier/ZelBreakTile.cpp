// The Zel breakout box's rack tile: the model line's skins, the box name and the status LED,
// which blink together while the box has warnings or reports an alarm. UI thread.
#include "devices/amplifier/ZelBreakTile.h"

#include <array>
#include <memory>

#include "core/BitmapImage.h"
#include "core/System.h"
#include "core/TextStyle.h"
#include "devices/amplifier/ZelBreakDevice.h"
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

void DrawSkin(Graphics& g, const CBitmapImage* skin, int x, int y) {
  if (skin && skin->GetImage()) g.DrawImage(*skin->GetImage(), float(x), float(y));
}

int SkinWidth(const CBitmapImage* skin) { return skin ? skin->GetWidth() : 0; }

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
  const int L = rect.left, T = rect.top, R = rect.right, W = rect.Width();
  const int lw = SkinWidth(left), rw = SkinWidth(right);

  DrawSkin(*g, left, L, T);
  if (W >= lw + rw) {
    DrawSkin(*g, right, R - rw, T);
    const int span = R - rw - (L + lw);
    if (middle && middle->GetWidth() == 1 && span > 0) {
      // The one-column middle piece repeated across the span is that column stretched: one draw.
      g->DrawImage(*middle->GetImage(), CRectF{float(L + lw), float(T), float(span), float(middle->GetHeight())});
    } else {
      for (int x = L + lw; x < R - rw; ++x) DrawSkin(*g, middle, x, T);
    }
  } else if (W > lw && right) {
    // A tile narrower than both ends shows the right end's left part after the left end.
    g->DrawImage(*right->GetImage(), CRectF{float(L + lw), float(T), float(W - lw), float(right->GetHeight())},
                 CRectF{0.0f, 0.0f, float(W - lw), float(right->GetHeight())});
  }

  if (blinkPhase == 0 || blinkPhase == 1 || HasWarnings() == 0) {
    std::string name;
    {
      CSingleLock lock(m_system->GetLock());
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
    const int led = !IsConnected() ? kLedRed : m_warningBits != 0 ? kLedYellow : kLedGreen;
    const int ledRight = LineOf(m_typeCode) == kLineXb ? R - 20 : R - 30;
    DrawLed(*g, led, ledRight - 10, T + 7, ledRight, rect.bottom - 6);
  }
  CDevice::DrawTile(g, rect, blinkPhase);
  return kTileHeight;
}
