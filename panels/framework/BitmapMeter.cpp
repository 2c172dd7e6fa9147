// Level and gain-reduction meters: the lit part of the picture over a dimmed copy of it.
#include "panels/framework/BitmapMeter.h"

#include <algorithm>
#include <cmath>

#include "core/draw/BitmapImage.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

CBitmapMeter::CBitmapMeter(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect, int top,
                           std::uint32_t mode, int floor)
    : CControlObject(owner, id, rect),
      m_top(top),
      m_floor(floor),
      m_mode(mode),
      m_pImage(image),
      m_level(floor),
      m_peak(floor),
      m_drawnLevel(floor),
      m_drawnPeak(floor) {
  SetNeededRights(0);
}

void CBitmapMeter::SetLevel(int level) {
  m_level = std::clamp(level, std::min(m_floor, m_top), std::max(m_floor, m_top));
  if (m_level > m_peak) m_peak = m_level;
}

int CBitmapMeter::LitHeight(int level) const {
  const int height = m_rect.Height();
  if (m_top == m_floor || height <= 0) return 0;
  double fraction = double(level - m_floor) / double(m_top - m_floor);
  if (m_mode & kMeterGainReduction) fraction = 1.0 - fraction;
  return int(std::lround(std::clamp(fraction, 0.0, 1.0) * height));
}

void CBitmapMeter::Draw(Graphics& g, const CRect& clip) {
  (void)clip;
  if (m_pImage && m_pImage->GetImage()) {
    const CImage& image = *m_pImage->GetImage();
    const float w = float(std::min(m_rect.Width(), image.Width()));
    const float h = float(std::min(m_rect.Height(), image.Height()));
    if (w > 0.0f && h > 0.0f) {
      const float x = float(m_rect.left);
      const float y = float(m_rect.top);
      g.DrawImage(m_dim.Get(image), CRectF{x, y, w, h}, CRectF{0.0f, 0.0f, w, h});
      const float lit = std::min(h, float(LitHeight(m_level)));
      if (lit > 0.0f) {
        // A level meter lights from the bottom, a gain-reduction meter from the top.
        const float from = (m_mode & kMeterGainReduction) ? 0.0f : h - lit;
        g.DrawImage(image, CRectF{x, y + from, w, lit}, CRectF{0.0f, from, w, lit});
      }
      if ((m_mode & kMeterPeakHold) && m_peak > m_floor) {
        const int peak = LitHeight(m_peak);
        const float row = (m_mode & kMeterGainReduction) ? float(std::max(peak - 1, 0)) : h - float(std::max(peak, 1));
        g.DrawImage(image, CRectF{x, y + row, w, 1.0f}, CRectF{0.0f, row, w, 1.0f});
      }
    }
  }
  if (!IsEnabled()) DrawDisabledLook(g);
}

CRect CBitmapMeter::UpdateFromParameter(const CParamValue& value) {
  if (value.kind == ParamKind::kNone || value.kind == ParamKind::kText || value.kind == ParamKind::kBool)
    return CRect{};
  const int before = m_level;
  SetLevel(value.kind == ParamKind::kInteger ? value.integer : int(value.value));
  return m_level == before ? CRect{} : m_rect;
}

bool CBitmapMeter::DrawLevel(CRect& out, Graphics& g, bool full) {
  out = CRect{};
  if (!full && m_level == m_drawnLevel && m_peak == m_drawnPeak) return false;
  if (m_owner && m_owner->GetBackBufferGraphics() == &g) {
    // Through the panel, so that whatever lies under or over the meter is drawn too.
    m_owner->RedrawRect(&m_rect, false, true);
  } else {
    Draw(g, m_rect);
  }
  m_drawnLevel = m_level;
  m_drawnPeak = m_peak;
  if (m_peak > m_level) --m_peak;
  out = m_rect;
  return true;
}
