// The fader widget (control type 3): a knob along a straight travel, bound to a parameter.
#pragma once

#include "custom/ScaleWidget.h"

// Fader flags.
enum : std::uint32_t {
  kFaderHorizontal = 0x001,
  kFaderDrawSlot = 0x008,
  kFaderDrawScale = 0x010,
  kFaderScaleBefore = 0x020,
  kFaderScaleAfter = 0x040,
  kFaderDecimals0 = 0x100,
  kFaderDecimals1 = 0x200,
  kFaderDecimals2 = 0x400,
  kFaderDecimals3 = 0x800,
};
inline constexpr std::uint32_t kFaderDefaultFlags = 0x128;

class CCCFader : public CCCScaleWidget {
 public:
  // Made for loading.
  CCCFader();
  // Made by the Add Fader command with (0, 0, 15, 150).
  CCCFader(CCustomControlPanel* view, const CRect& rect);
  // The clipboard copy: not bound, not dragging.
  CCCFader(const CCCFader& source);

  // Version 1; another version throws CArchiveException (BadFormat). The value is not stored.
  void Serialize(CArchive& ar, const CRecordLookup& lookup) override;
  // The fader's own fields; the range as hundred-thousandths; the image id is not applied.
  void SerializeStream(CDataStream& ds, const CRecordLookup& lookup) override;
  std::uint32_t GetControlType() const override { return kControlFader; }
  // The rectangle and 4 pixels more on the right and at the bottom; in design mode with the
  // scale shown, its labels too.
  CRect GetBoundsRect() const override;
  // Free without a knob image; with one, along the travel only.
  std::uint32_t GetSizingMode() const override;
  // The 10-pixel minimum; a drawn knob keeps the travel at least four times as long as wide,
  // a knob image fixes the width across the travel.
  CRect AdjustSizingRect(const CRect& rect, int handle) const override;
  bool ReleaseImage(CCCImageBase* image) override;
  void Draw(Graphics& g, const CRect& paint, bool designMode) override;
  // Drags the knob; every new value is sent to the bound device at once.
  void OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                      CRect& redraw) override;
  bool TakesPresses() const override { return true; }

  bool IsHorizontal() const { return (m_flags & kFaderHorizontal) != 0; }
  // The scale needs the draw bit and a binding.
  bool IsScaleShown() const override { return (m_flags & kFaderDrawScale) && IsLinked(); }
  bool IsScaleBefore() const { return (m_flags & kFaderScaleBefore) && (m_flags & kFaderDrawScale); }
  bool IsScaleAfter() const { return (m_flags & kFaderScaleAfter) && (m_flags & kFaderDrawScale); }
  // The knob's width and height on screen.
  CSize GetKnobSize() const;
  // The length the knob's top or left edge travels; 0 or less when it cannot move.
  int GetTravel() const;
  CPoint GetKnobPosition() const;
  CRect GetKnobRect() const;
  bool HitTestKnob(int x, int y) const;
  CRect DrawScale(Graphics& g, bool draw) override;

  void FillPropertiesPane(IDevicePropertyGrid& grid) override;

  CCCImage* m_pKnobImage = nullptr;  // not owned
  CColour m_fillColour = CColour::FromArgb(255, 255, 0, 0);
  CColour m_lineColour = CColour::FromArgb(255, 255, 255, 255);
  CPoint m_grabOffset;

 protected:
  CWidgetEditResult ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) override;
  CListForm ListForm() const override;
};
