// Faders: a drawn track with a cap picture; drag, click, wheel and keys send the new value.
#include "panels/framework/BitmapFader.h"

#include <algorithm>
#include <cmath>

#include "core/draw/BitmapImage.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"

CBitmapFader::CBitmapFader(CControlPanelWnd* owner, int id, CBitmapImage* capImage, int kind, const CRect& rect)
    : CValueControl(owner, id, rect), m_pCap(capImage), m_kind(kind) {}

int CBitmapFader::CapHeight() const {
  const int h = m_pCap && m_pCap->GetImage() ? m_pCap->GetImage()->Height() : 0;
  return std::clamp(h > 0 ? h : 10, 1, std::max(1, m_rect.Height()));
}

int CBitmapFader::ValueToY(float value) const {
  const int half = CapHeight() / 2;
  const int topY = m_rect.top + half;
  const int bottomY = m_rect.bottom - (CapHeight() - half);
  if (m_maximum == m_minimum) return bottomY;
  const double fraction = std::clamp(double(value - m_minimum) / double(m_maximum - m_minimum), 0.0, 1.0);
  return int(std::lround(bottomY - fraction * (bottomY - topY)));
}

float CBitmapFader::YToValue(int y) const {
  const int half = CapHeight() / 2;
  const int topY = m_rect.top + half;
  const int bottomY = m_rect.bottom - (CapHeight() - half);
  if (bottomY <= topY) return m_minimum;
  const double fraction = std::clamp(double(bottomY - y) / double(bottomY - topY), 0.0, 1.0);
  return float(m_minimum + fraction * (m_maximum - m_minimum));
}

void CBitmapFader::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  const float cx = float(m_rect.left) + float(m_rect.Width()) / 2.0f;
  const int half = CapHeight() / 2;
  const float topY = float(m_rect.top + half);
  const float bottomY = float(m_rect.bottom - (CapHeight() - half));
  // The groove: a dark slot with a light edge on its right.
  g.FillRectangle(CBrush(CColour{0xFF101010u}), CRectF{cx - 2.0f, topY, 4.0f, bottomY - topY});
  g.FillRectangle(CBrush(CColour{0xFF5A5A5Au}), CRectF{cx + 2.0f, topY, 1.0f, bottomY - topY});
  if (m_kind == kFaderGeqBand && m_minimum < 0.0f && m_maximum > 0.0f) {
    const float zero = float(ValueToY(0.0f));
    g.FillRectangle(CBrush(CColour{0xFF8C8C8Cu}), CRectF{float(m_rect.left), zero, float(m_rect.Width()), 1.0f});
  }
  const float capY = float(ValueToY(m_value) - half);
  if (m_pCap && m_pCap->GetImage()) {
    const CImage& cap = *m_pCap->GetImage();
    g.DrawImage(cap, float(m_rect.left) + (float(m_rect.Width()) - float(cap.Width())) / 2.0f, capY);
  } else {
    const CRectF capRect{float(m_rect.left), capY, float(m_rect.Width()), float(CapHeight())};
    g.FillRectangle(CBrush::LinearGradient(capRect, CColour{0xFFE0E0E0u}, CColour{0xFF707070u}, true), capRect);
    g.FillRectangle(CBrush(CColour{0xFF202020u}), CRectF{capRect.x, capY + float(half), capRect.width, 1.0f});
  }
  if (!IsEnabled()) DrawDisabledLook(g);
}

bool CBitmapFader::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) {
  redraw = CRect{};
  switch (message) {
    case WM_LBUTTONDOWN: {
      redraw = BeginDrag();
      const int capY = ValueToY(m_value);
      const int half = CapHeight() / 2;
      if (y >= capY - half && y < capY - half + CapHeight()) {
        m_grabOffset = y - capY;
      } else {
        m_grabOffset = 0;
        ChangeValue(YToValue(y), redraw);
      }
      return true;
    }
    case WM_MOUSEMOVE:
      if (m_dragging) ChangeValue(YToValue(y - m_grabOffset), redraw);
      return true;
    default: return CValueControl::OnMouseMessage(message, flags, x, y, redraw);
  }
}
