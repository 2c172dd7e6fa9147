// Static pictures and LEDs.
#include "panels/framework/BitmapObject.h"

#include "core/draw/BitmapImage.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

namespace {

// The picture drawn 1:1 from the rectangle's corner, cut to the rectangle.
void DrawClipped(Graphics& g, const CImage& image, const CRect& rect, const CColourMatrix* colours) {
  const float w = float(std::min(rect.Width(), image.Width()));
  const float h = float(std::min(rect.Height(), image.Height()));
  if (w <= 0.0f || h <= 0.0f) return;
  g.DrawImage(image, CRectF{float(rect.left), float(rect.top), w, h}, CRectF{0.0f, 0.0f, w, h}, colours);
}

}  // namespace

CBitmapObject::CBitmapObject(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect,
                             std::uint32_t flags)
    : CControlObject(owner, id, rect), m_pImage(image), m_flags(flags) {
  SetNeededRights(0);
}

void CBitmapObject::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  if (m_pImage && m_pImage->GetImage()) {
    const CColourMatrix half = CColourMatrix::Scale(1.0f, 1.0f, 1.0f, 0.5f);
    DrawClipped(g, *m_pImage->GetImage(), m_rect, (m_flags & kBitmapHalfOpacity) ? &half : nullptr);
  }
  if (!IsEnabled()) DrawDisabledLook(g);
}

CBitmapLED::CBitmapLED(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect, bool lit)
    : CBitmapObject(owner, id, image, rect, 0), m_lit(lit) {}

void CBitmapLED::Draw(Graphics& g, const CRect& clip) {
  CBitmapObject::Draw(g, clip);
  if (!m_lit && m_pImage && m_pImage->GetImage()) {
    const CImage& image = *m_pImage->GetImage();
    g.FillRectangle(CBrush(CColour{kUnlitVeil}),
                    CRectF{float(m_rect.left), float(m_rect.top), float(std::min(m_rect.Width(), image.Width())),
                           float(std::min(m_rect.Height(), image.Height()))});
  }
}

CRect CBitmapLED::UpdateFromParameter(const CParamValue& value) {
  if (value.kind != ParamKind::kBool || BoolOf(value) == m_lit) return CRect{};
  m_lit = BoolOf(value);
  return m_rect;
}
