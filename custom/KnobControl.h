// The knob widget (control type 4): a rotary control bound to a parameter.
#pragma once

#include "custom/ScaleWidget.h"
#include "custom/WidgetDrawing.h"

// Knob flags.
enum : std::uint32_t {
  kKnobReversed = 0x001,
  kKnobDrawScale = 0x004,
  kKnobDrawNotch = 0x008,
  kKnobDrawLeds = 0x010,
  kKnobRotateBitmap = 0x020,
  kKnobDecimals0 = 0x100,
  kKnobDecimals1 = 0x200,
  kKnobDecimals2 = 0x400,
  kKnobDecimals3 = 0x800,
};
inline constexpr std::uint32_t kKnobDefaultFlags = 0x120;
// The angles a knob turns between lie within this many degrees either side of straight up.
inline constexpr std::int32_t kKnobAngleLimit = 180;

class CCCKnob : public CCCScaleWidget {
 public:
  // Made for loading.
  CCCKnob();
  // Made by the Add Knob command with (0, 0, 40, 40).
  CCCKnob(CCustomControlPanel* view, const CRect& rect);
  // The clipboard copy: not bound, not dragging.
  CCCKnob(const CCCKnob& source);

  // Version 1; another version throws CArchiveException (BadFormat). The value is not stored.
  void Serialize(CArchive& ar, const CRecordLookup& lookup) override;
  // The knob's own fields; the range as hundred-thousandths; the image id is not applied.
  void SerializeStream(CDataStream& ds, const CRecordLookup& lookup) override;
  std::uint32_t GetControlType() const override { return kControlKnob; }
  std::uint32_t GetSizingMode() const override { return 3; }
  // At least 10 pixels (an image's width with one), then square.
  CRect AdjustSizingRect(const CRect& rect, int handle) const override;
  bool ReleaseImage(CCCImageBase* image) override;
  // The control rectangle; in design mode with the scale shown, its labels too; else with
  // the LED ring one pixel more on every side.
  CRect GetBoundsRect() const override;
  void Draw(Graphics& g, const CRect& paint, bool designMode) override;
  // Upward drags turn the knob by steps; the value is sent and comes back as an update.
  void OnMouseMessage(std::uint32_t message, std::uint32_t flags, bool designMode, CPoint point,
                      CRect& redraw) override;
  bool TakesPresses() const override { return true; }

  bool IsScaleShown() const override { return (m_flags & kKnobDrawScale) && IsLinked(); }
  // Degrees clockwise from straight up for a value.
  float ValueToAngle(float value) const;
  // The value one pixel of upward drag adds (negative when reversed).
  float DragStep() const;
  CRect DrawScale(Graphics& g, bool draw) override;
  // Whether the drawn body is kept as an image between draws (a large one is not).
  bool IsBodyKept() const { return m_bodyCache.IsKept(); }

  void FillPropertiesPane(IDevicePropertyGrid& grid) override;

  CCCImage* m_pImage = nullptr;  // not owned
  std::int32_t m_maxAngle = 150;
  std::int32_t m_minAngle = -150;
  CColour m_ledColour = CColour::FromArgb(255, 0, 255, 0);
  CColour m_knobColour = CColour::FromArgb(255, 0, 0, 128);
  CColour m_notchColour = CColour::FromArgb(255, 255, 255, 255);
  std::uint32_t m_ledSize = 3;
  std::uint32_t m_notchRadius = 6;
  CPoint m_lastPoint;

 protected:
  CWidgetEditResult ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) override;
  CListForm ListForm() const override;

 private:
  // Angles, mark counts, LED size and notch radius read from a record are held to what a
  // knob can show.
  void KeepShapeInRange();
  // The knob's own edits (not the range or the scale's colour, font and decimals); a refused
  // one changes nothing. The mark counts, angles, notch radius and LED size have their own.
  CWidgetEditResult ApplyKnobEdit(std::uint32_t id, const CWidgetEdit& edit, bool& changed);
  CWidgetEditResult EditMarks(std::uint32_t& field, const CWidgetEdit& edit, bool& changed);
  CWidgetEditResult EditAngle(bool isMax, const CWidgetEdit& edit, bool& changed);
  CWidgetEditResult EditNotchRadius(const CWidgetEdit& edit, bool& changed);
  CWidgetEditResult EditLedSize(const CWidgetEdit& edit, bool& changed);
  // The drawn body and its LED ring, which change only with the lit ticks and the looks.
  void DrawBody(Graphics& g, float angle) const;
  CDrawingCache m_bodyCache;
};
