// Static pictures and LEDs of a device panel. UI thread only.
#pragma once

#include <cstdint>

#include "panels/framework/ControlObject.h"

class CBitmapImage;

// Flag of CBitmapObject: the picture is drawn at half opacity.
inline constexpr std::uint32_t kBitmapHalfOpacity = 0x1;

// A picture (or an offscreen buffer) drawn 1:1 from the rectangle's top-left corner, clipped
// to the rectangle. It has no mouse handling but takes the clicks in its rectangle while
// shown. The image is not owned.
class CBitmapObject : public CControlObject {
 public:
  CBitmapObject(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect, std::uint32_t flags = 0);

  void Draw(Graphics& g, const CRect& clip) override;

  CBitmapImage* GetImage() const { return m_pImage; }
  void SetImage(CBitmapImage* image) { m_pImage = image; }

 protected:
  CBitmapImage* m_pImage;
  std::uint32_t m_flags;
};

// An LED: its picture, with a translucent grey over it while it is not lit.
class CBitmapLED : public CBitmapObject {
 public:
  static constexpr std::uint32_t kUnlitVeil = 0xD2808080u;

  CBitmapLED(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect, bool lit = true);

  void Draw(Graphics& g, const CRect& clip) override;
  // A bool value sets the lit state; returns the rectangle when it changed.
  CRect UpdateFromParameter(const CParamValue& value) override;

  bool IsLit() const { return m_lit; }
  void SetLit(bool lit) { m_lit = lit; }

 private:
  bool m_lit;
};
