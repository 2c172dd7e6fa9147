// A push or toggle button of a device panel drawn from a picture. UI thread only.
#pragma once

#include <cstdint>

#include "panels/framework/ControlObject.h"

class CBitmapImage;

// Button flags.
enum : std::uint32_t {
  kButtonAlphaHit = 0x1,     // only the picture's non-transparent pixels take the mouse
  kButtonMomentary = 0x2,    // a press sends true (else a press toggles and sends the new state)
  kButtonRedrawOnPress = 0x4,
  // The picture is a button face: while the mouse holds it down the face is drawn sunk by
  // one pixel and darker, and its lit state shows as a small LED of the colour chosen below
  // (a button without a colour shows no LED). Without this bit the picture is the LED itself
  // and the lit state shows as its full brightness against a dimmed picture.
  kButtonFace = 0x8,
  kButtonIgnorePress = 0x10,
  // LED colours of a face button.
  kButtonLedRed = 0x100,
  kButtonLedGreen = 0x200,
  kButtonLedBlue = 0x400,
  kButtonLedOrange = 0x800,
  kButtonLedYellow = 0x1000,
  kButtonLedWhite = 0x2000,
};

class CBmpButton : public CControlObject {
 public:
  // image may be null (an invisible hot area with its highlight). Not owned.
  CBmpButton(CControlPanelWnd* owner, int id, CBitmapImage* image, const CRect& rect, std::uint32_t flags);

  void Draw(Graphics& g, const CRect& clip) override;
  bool OnMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y, CRect& redraw) override;
  void OnDeactivate() override;
  CRect OnMouseLeave() override;
  // A bool value sets the lit state.
  CRect UpdateFromParameter(const CParamValue& value) override;
  bool HitTest(int x, int y) const override;

  bool IsLit() const { return m_lit; }
  void SetLit(bool lit) { m_lit = lit; }
  std::uint32_t GetFlags() const { return m_flags; }
  bool IsPressed() const { return m_pressed; }
  bool IsHot() const { return m_hot; }
  // The LED colour of the flags (ARGB), 0 when none is chosen.
  std::uint32_t GetLedColour() const;

  // The grey highlight shown while the pointer is over the button (a third of the alpha) and
  // while it is pressed (the whole alpha).
  int m_highlightRadius = 0;
  int m_highlightAlpha = 170;

 private:
  CBitmapImage* m_pImage;
  std::uint32_t m_flags;
  CTintedImage m_dim{CColourMatrix::Scale(0.35f, 0.35f, 0.35f, 1.0f)};
  CTintedImage m_darker{CColourMatrix::Scale(0.8f, 0.8f, 0.8f, 1.0f)};
  bool m_lit = false;
  bool m_pressed = false;
  bool m_hot = false;
};
