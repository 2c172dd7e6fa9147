// The knob widget (control type 4): a rotary control bound to a parameter.
#pragma once

#include "core/CustomControlObject.h"
#include "core/TextStyle.h"
#include "custom/WidgetProperties.h"
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

class CCCKnob : public CCustomControlObject {
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
  void Deactivate() override { m_dragging = false; }
  void OnMouseLeave() override { m_dragging = false; }
  CRect OnParameterUpdate(const CParamValue& value) override;

  bool IsScaleShown() const { return (m_flags & kKnobDrawScale) && IsLinked(); }
  // Degrees clockwise from straight up for a value.
  float ValueToAngle(float value) const;
  // The value one pixel of upward drag adds (negative when reversed).
  float DragStep() const;
  CRect DrawScale(Graphics& g, bool draw);
  // Whether the drawn body is kept as an image between draws (a large one is not).
  bool IsBodyKept() const { return m_bodyCache.IsKept(); }

  void FillPropertiesPane(IDevicePropertyGrid& grid) override;
  bool OnPropertyChanged(CDeviceProperty& row) override;

  std::uint32_t m_flags = kKnobDefaultFlags;
  CCCImage* m_pImage = nullptr;  // not owned
  float m_rangeMax = 10.0f;
  float m_rangeMin = -10.0f;
  std::int32_t m_maxAngle = 150;
  std::int32_t m_minAngle = -150;
  std::uint32_t m_majorMarks = 5;
  std::uint32_t m_minorMarks = 5;
  CColour m_ledColour = CColour::FromArgb(255, 0, 255, 0);
  CColour m_knobColour = CColour::FromArgb(255, 0, 0, 128);
  CColour m_notchColour = CColour::FromArgb(255, 255, 255, 255);
  CColour m_scaleColour = CColour::FromArgb(255, 255, 255, 255);
  std::uint32_t m_ledSize = 3;
  std::uint32_t m_notchRadius = 6;
  CTextStyle m_scaleStyle;  // Arial 8 points
  float m_value = 0.0f;
  bool m_dragging = false;
  CPoint m_lastPoint;
  std::optional<CLogFont> m_storedFont;  // the font record read last, if any

 private:
  // Angles, mark counts, LED size and notch radius read from a record are held to what a
  // knob can show.
  void KeepShapeInRange();
  // One edit of either property editor, by property id (the binding's is applied already).
  CWidgetEditResult ApplyEdit(std::uint32_t id, const CWidgetEdit& edit);
  CRangeFields Range() { return {m_rangeMax, m_rangeMin}; }
  // The drawn body and its LED ring, which change only with the lit ticks and the looks.
  void DrawBody(Graphics& g, float angle) const;
  CDrawingCache m_bodyCache;
};
