// The rack-tile background of the Zel families.
#include "devices/amplifier/ZelTileSkins.h"

#include "core/draw/BitmapImage.h"
#include "core/draw/TextStyle.h"
#include "core/model/Device.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/TextFormat.h"

namespace {

void DrawSkin(Graphics& g, const CBitmapImage* skin, int x, int y) {
  if (skin && skin->GetImage()) g.DrawImage(*skin->GetImage(), float(x), float(y));
}

int SkinWidth(const CBitmapImage* skin) { return skin ? skin->GetWidth() : 0; }

constexpr CColour kWhite{0xFFFFFFFFu};

}  // namespace

bool DrawZelTileSkins(Graphics& g, const CRect& rect, const CBitmapImage* left, const CBitmapImage* right,
                      const CBitmapImage* middle) {
  const int L = rect.left, T = rect.top, R = rect.right, W = rect.Width();
  const int lw = SkinWidth(left), rw = SkinWidth(right);
  DrawSkin(g, left, L, T);
  if (W >= lw + rw) {
    DrawSkin(g, right, R - rw, T);
    const int span = R - rw - (L + lw);
    if (middle && middle->GetImage() && middle->GetWidth() == 1 && span > 0) {
      // The one-column middle piece repeated across the span is that column stretched: one draw.
      g.DrawImage(*middle->GetImage(), CRectF{float(L + lw), float(T), float(span), float(middle->GetHeight())});
    } else {
      for (int x = L + lw; x < R - rw; ++x) DrawSkin(g, middle, x, T);
    }
    return true;
  }
  if (W > lw && right && right->GetImage()) {
    const float shown = float(W - lw), height = float(right->GetHeight());
    g.DrawImage(*right->GetImage(), CRectF{float(L + lw), float(T), shown, height}, CRectF{0.0f, 0.0f, shown, height});
  }
  return false;
}

void DrawAmplifierTileFace(CDevice& device, Graphics& g, const CRect& rect, const std::string& name, int ledColour) {
  CTextStyle style;
  style.Set("HandelGotDLig", 8.0f, kWhite);
  const CFont font = style.GetFont() ? *style.GetFont() : CFont{};
  {
    CTextHintScope hint(g);
    const CRectF line1{float(rect.left + 30), float(rect.top + 2), float(rect.Width() - 52), 12.0f};
    const CStringFormat near(StringAlignment::Near);
    g.DrawString(name, font, line1, near, CBrush::Solid(kWhite));
    g.DrawString(device.GetModelName() + "   " + FormatText("ID : %d", int(device.GetDeviceId())), font,
                 CRectF{line1.x, line1.y + 12.0f, line1.width, 12.0f}, near, CBrush::Solid(kWhite));
  }
  device.DrawLed(g, ledColour, rect.right - 30, rect.top + 10, rect.right - 20, rect.bottom - 10);
}
