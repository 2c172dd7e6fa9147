// The rack-tile background of the Zel families.
#include "devices/amplifier/ZelTileSkins.h"

#include "core/draw/BitmapImage.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

namespace {

void DrawSkin(Graphics& g, const CBitmapImage* skin, int x, int y) {
  if (skin && skin->GetImage()) g.DrawImage(*skin->GetImage(), float(x), float(y));
}

int SkinWidth(const CBitmapImage* skin) { return skin ? skin->GetWidth() : 0; }

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
