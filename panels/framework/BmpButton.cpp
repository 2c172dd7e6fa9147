// Picture buttons: press, toggle, hover and press highlights, lit state and the face LED.
#include "panels/framework/BmpButton.h"

#include <algorithm>

#include "core/draw/BitmapImage.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"

CBmpButton::CBmpButton(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect, std::uint32_t flags)
    : CControlObject(owner, id, rect), m_pImage(image), m_flags(flags) {}

std::uint32_t CBmpButton::GetLedColour() const {
  if (m_flags & kButtonLedRed) return 0xFFFF2020u;
  if (m_flags & kButtonLedGreen) return 0xFF20E040u;
  if (m_flags & kButtonLedBlue) return 0xFF3080FFu;
  if (m_flags & kButtonLedOrange) return 0xFFFF9020u;
  if (m_flags & kButtonLedYellow) return 0xFFFFE030u;
  if (m_flags & kButtonLedWhite) return 0xFFFFFFFFu;
  return 0;
}

void CBmpButton::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  const bool face = (m_flags & kButtonFace) != 0;
  const bool sunk = face && m_pressed;
  const CRectF area = CRectF::FromRect(m_rect);
  if (m_pImage && m_pImage->GetImage()) {
    const CImage& image = *m_pImage->GetImage();
    const float w = float(std::min(m_rect.Width(), image.Width()));
    const float h = float(std::min(m_rect.Height(), image.Height()));
    const float shift = sunk ? 1.0f : 0.0f;
    // An LED picture shows its lit state by its brightness.
    const CImage& shown = !face && !m_lit ? m_dim.Get(image) : sunk ? m_darker.Get(image) : image;
    if (w > 0.0f && h > 0.0f) g.DrawImage(shown, CRectF{area.x + shift, area.y + shift, w, h}, CRectF{0.0f, 0.0f, w, h});
  }
  const std::uint32_t led = GetLedColour();
  if (face && led != 0) {
    // A small LED in the face's upper middle: the colour when lit, a dark lens when not.
    const float d = std::max(3.0f, std::min(area.width, area.height) * 0.3f);
    const CRectF lens{area.x + (area.width - d) / 2.0f + (sunk ? 1.0f : 0.0f), area.y + 2.0f + (sunk ? 1.0f : 0.0f), d, d};
    const CColour on{led};
    const CColour off = CColour::FromArgb(255, std::uint8_t(on.R() / 5), std::uint8_t(on.G() / 5), std::uint8_t(on.B() / 5));
    g.FillEllipse(CBrush(m_lit ? on : off), lens);
  }
  if (m_hot || m_pressed) {
    const int alpha = std::clamp(m_pressed ? m_highlightAlpha : m_highlightAlpha / 3, 0, 255);
    g.FillPath(CBrush(CColour::FromArgb(std::uint8_t(alpha), 128, 128, 128)),
               RoundedRectPath(area, float(m_highlightRadius)));
  }
  if (!IsEnabled()) DrawDisabledLook(g);
}

bool CBmpButton::HitTest(int x, int y) const {
  if (!CControlObject::HitTest(x, y)) return false;
  if (!(m_flags & kButtonAlphaHit) || !m_pImage || !m_pImage->GetImage()) return true;
  CColour pixel;
  return m_pImage->GetImage()->GetPixel(x - m_rect.left, y - m_rect.top, pixel) && pixel.A() != 0;
}

bool CBmpButton::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) {
  (void)flags;
  redraw = CRect{};
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (m_flags & kButtonIgnorePress) return true;
      if (m_owner) m_owner->SetActiveObject(this);
      m_pressed = true;
      bool state = true;
      if (!(m_flags & kButtonMomentary)) state = !m_lit;
      m_lit = state;
      redraw = m_rect;
      SendValue(MakeBoolParamValue(m_id, state));
      return true;
    }
    case WM_LBUTTONUP:
      if (m_owner && m_owner->GetActiveObject() == this) m_owner->SetActiveObject(nullptr);
      if (m_pressed) {
        m_pressed = false;
        m_hot = HitTest(x, y);
        redraw = m_rect;
      }
      return true;
    case WM_MOUSEMOVE: {
      const bool hot = HitTest(x, y);
      if (hot != m_hot) {
        m_hot = hot;
        redraw = m_rect;
      }
      return true;
    }
    default: return false;
  }
}

void CBmpButton::OnDeactivate() { m_pressed = false; }

CRect CBmpButton::OnMouseLeave() {
  if (!m_hot && !m_pressed) return CRect{};
  m_hot = false;
  return m_rect;
}

CRect CBmpButton::UpdateFromParameter(const CParamValue& value) {
  if (value.kind != ParamKind::kBool || BoolOf(value) == m_lit) return CRect{};
  m_lit = BoolOf(value);
  return m_rect;
}
