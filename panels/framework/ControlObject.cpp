// Base widget behaviour: rectangle, binding, visibility and the way values reach the device.
#include "panels/framework/ControlObject.h"

#include <algorithm>

#include "core/model/Device.h"
#include "core/model/User.h"
#include "panels/framework/ControlPanelWnd.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

CRect UnionRect(const CRect& a, const CRect& b) {
  if (IsRectEmpty(a)) return b;
  if (IsRectEmpty(b)) return a;
  return CRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

bool RectsIntersect(const CRect& a, const CRect& b) {
  return !IsRectEmpty(a) && !IsRectEmpty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom &&
         b.top < a.bottom;
}

const CImage& CTintedImage::Get(const CImage& source) {
  if (!m_image || m_source != &source || m_image->Width() != source.Width() || m_image->Height() != source.Height()) {
    m_image = std::make_unique<CImage>(source.Width(), source.Height());
    m_source = &source;
    if (!m_image->IsNull()) {
      Graphics g(*m_image);
      g.SetCompositingMode(CompositingMode::SourceCopy);
      const CRectF all{0.0f, 0.0f, float(source.Width()), float(source.Height())};
      g.DrawImage(source, all, all, &m_colours);
    }
  }
  return *m_image;
}

CControlObject::CControlObject(CControlPanelWnd* owner, int id, const CRect& rect)
    : m_rect(rect), m_owner(owner), m_id(id), m_neededRights(kRestrictUseDeviceControls) {}

void CControlObject::Draw(Graphics& g, const CRect& clip) {
  (void)g;
  (void)clip;
}

bool CControlObject::OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) {
  (void)message;
  (void)flags;
  (void)x;
  (void)y;
  redraw = CRect{};
  return false;
}

bool CControlObject::OnKeyDown(int key, std::uint32_t flags, CRect& redraw) {
  (void)key;
  (void)flags;
  redraw = CRect{};
  return false;
}

CRect CControlObject::UpdateFromParameter(const CParamValue& value) {
  (void)value;
  return CRect{};
}

bool CControlObject::HitTest(int x, int y) const { return m_rect.Contains(CPoint{x, y}); }

CParamValue CControlObject::GetOwnerCurrentValue() const {
  return m_owner ? m_owner->GetCurrentValue(m_id) : MakeNoParamValue();
}

void CControlObject::MoveTo(int left, int top) {
  m_rect = CRect{left, top, left + m_rect.Width(), top + m_rect.Height()};
}

void CControlObject::SendValue(const CParamValue& value) const {
  // The right is decided now, by who is the current user when the widget acts; the device
  // judges the value it is handed again.
  if (!m_owner || !m_owner->UserMayUse(*this)) return;
  m_owner->HandUserChange(value);
}

float CControlObject::NudgedLevel(float value, float delta) const {
  CDevice* device = m_owner ? m_owner->GetDevice() : nullptr;
  return device ? device->NudgeLevel(m_id, value, delta) : value + delta;
}

void CControlObject::DrawDisabledLook(Graphics& g) const {
  g.FillRectangle(CBrush(CColour{0x90303030u}), CRectF::FromRect(m_rect));
}

CGraphicsPath RoundedRectPath(const CRectF& r, float radius) {
  CGraphicsPath path;
  if (radius <= 0.0f) {
    path.AddRectangle(r);
    return path;
  }
  const float d = std::min({radius * 2.0f, r.width, r.height});
  path.AddArc(r.x, r.y, d, d, 180.0f, 90.0f);
  path.AddArc(r.Right() - d, r.y, d, d, 270.0f, 90.0f);
  path.AddArc(r.Right() - d, r.Bottom() - d, d, d, 0.0f, 90.0f);
  path.AddArc(r.x, r.Bottom() - d, d, d, 90.0f, 90.0f);
  path.CloseFigure();
  return path;
}
