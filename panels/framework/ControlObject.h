// Base of the built-in widgets of the device control panels. A widget is a plain object that
// draws itself into its panel's back buffer and takes the mouse messages the panel routes to
// it; it never is a window of its own. UI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "core/values/ParamRecords.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/Types.h"

class CControlPanelWnd;

// True when the rectangle covers no pixel.
inline bool IsRectEmpty(const CRect& r) { return r.right <= r.left || r.bottom <= r.top; }
// The smallest rectangle that holds both (an empty one counts as nothing).
CRect UnionRect(const CRect& a, const CRect& b);
// True when the two rectangles share a pixel.
bool RectsIntersect(const CRect& a, const CRect& b);
// The rectangle with rounded corners of that radius as a path (square corners for 0).
CGraphicsPath RoundedRectPath(const CRectF& r, float radius);
// The state a bool parameter value carries.
inline bool BoolOf(const CParamValue& value) { return value.flag != 0; }

// A copy of a picture passed once through a colour matrix, remade only when another picture
// (or one of another size) is asked for; widgets keep one for their dimmed looks, so that a
// redraw copies pixels instead of transforming them.
class CTintedImage {
 public:
  explicit CTintedImage(const CColourMatrix& colours) : m_colours(colours) {}
  const CImage& Get(const CImage& source);

 private:
  CColourMatrix m_colours;
  std::unique_ptr<CImage> m_image;
  const CImage* m_source = nullptr;
};

class CControlObject {
 public:
  // owner: the panel that holds the widget in its list; id: the bound parameter id.
  CControlObject(CControlPanelWnd* owner, int id, const CRect& rect);
  virtual ~CControlObject() = default;
  CControlObject(const CControlObject&) = delete;
  CControlObject& operator=(const CControlObject&) = delete;

  // Draws the widget into the panel's back buffer; clip is the area being redrawn.
  virtual void Draw(Graphics& g, const CRect& clip);
  // A mouse message routed to the widget (WM_* of platform/MouseMessages.h; the wheel's
  // signed delta comes in flags). redraw receives the area to redraw (empty: nothing). True
  // when the widget took the message.
  virtual bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw);
  // A key pressed while the widget is the panel's focus widget; true when taken.
  virtual bool OnKeyDown(int key, std::uint32_t flags, CRect& redraw);
  // The widget's press is over without its button-up: it stopped being the panel's active
  // (mouse-capturing) widget, or the panel lost the press (another window took over, the focus
  // went, the panel was hidden, the unit went away, the button was seen up). A widget that
  // follows the pointer stops following it. Base: nothing.
  virtual void OnDeactivate() {}
  // The pointer left the widget; returns the area to redraw.
  virtual CRect OnMouseLeave() { return CRect{}; }
  virtual CRect GetRect() const { return m_rect; }
  // Takes a new value of the bound parameter and returns the area to redraw; the base takes
  // nothing and returns an empty rectangle.
  virtual CRect UpdateFromParameter(const CParamValue& value);
  // True when the point belongs to the widget (the base: inside its rectangle).
  virtual bool HitTest(int x, int y) const;

  // The bound parameter's current value through the owner panel (empty when unbound).
  CParamValue GetOwnerCurrentValue() const;

  CControlPanelWnd* GetOwner() const { return m_owner; }
  int GetId() const { return m_id; }
  void SetId(int id) { m_id = id; }
  void SetRect(const CRect& rect) { m_rect = rect; }
  // Moves the widget keeping its size.
  void MoveTo(int left, int top);
  bool IsVisible() const { return m_visible; }
  void SetVisible(bool visible) { m_visible = visible; }
  // A disabled widget is drawn greyed and ignores input, but still covers what lies below it.
  // It is disabled when the panel disables it or when the device marks its parameter disabled
  // (the disabled flag of the parameter's description, such as a locked setting).
  bool IsEnabled() const { return m_enabled && !m_parameterDisabled; }
  void SetEnabled(bool enabled) { m_enabled = enabled; }
  bool IsParameterDisabled() const { return m_parameterDisabled; }
  void SetParameterDisabled(bool disabled) { m_parameterDisabled = disabled; }
  // The rights the widget's input needs: restriction bits of a user's mask (User.h). A current
  // user who lacks one of them gets no input to the widget, and the widget sends nothing while
  // that user is current (the panel may decide otherwise by the widget, GetNeededRights of the
  // panel). Widgets start needing the right to use device controls; pictures, LEDs, meters and
  // texts that take no input need none, and the panels free what only moves the panel.
  std::uint64_t GetNeededRights() const { return m_neededRights; }
  void SetNeededRights(std::uint64_t rights) { m_neededRights = rights; }

 protected:
  // Hands the value to the owner panel's device, which judges a person's change
  // (CControlPanelWnd::HandUserChange, CUserChangeGate::ApplyUserChange); nothing without one, nor while
  // the current user lacks a right the widget needs.
  void SendValue(const CParamValue& value) const;
  // The level a nudge by delta from value sends: at least one of the unit's own steps
  // (CDevice::NudgeLevel); value + delta without a device.
  float NudgedLevel(float value, float delta) const;
  // The grey veil of a disabled widget, over its rectangle.
  void DrawDisabledLook(Graphics& g) const;

  CRect m_rect;
  CControlPanelWnd* m_owner;
  int m_id;
  bool m_visible = true;
  bool m_enabled = true;
  bool m_parameterDisabled = false;
  std::uint64_t m_neededRights;
};
