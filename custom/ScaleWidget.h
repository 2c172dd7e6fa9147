// CCCScaleWidget: what a fader and a knob share. Both move a value within a range bound to a
// parameter, draw a scale of major and minor marks with labels in their own colour and font,
// keep the decimals of the labels in the same flag bits, follow a drag, end their records
// alike and offer the same range and scale rows in their property editors.
#pragma once

#include <cstdint>
#include <optional>

#include "custom/CustomControlObject.h"
#include "core/draw/TextStyle.h"
#include "custom/WidgetProperties.h"

class CCCScaleWidget : public CCustomControlObject {
 public:
  void Deactivate() override { m_dragging = false; }
  void OnMouseLeave() override { m_dragging = false; }
  // Numeric values move the widget (clamped to the range); the bounds to redraw when it moved
  // or the parameter's inactive flag changed, else nothing.
  CRect OnParameterUpdate(const CParamValue& value) override;
  // Draws the scale (or only measures it) and returns the rectangle with its labels.
  virtual CRect DrawScale(Graphics& g, bool draw) = 0;
  // True when the widget draws its scale: the kind's flag is set and the widget is bound.
  virtual bool IsScaleShown() const = 0;
  // The bounds and, when shown, the scale with its labels.
  CRect GetDrawnRect() const override;

  // The binding's rows and the range first (through the shared range handling), then the
  // kind's own edit.
  bool OnPropertyChanged(CDeviceProperty& row) override;

  // A kind's ids of the rows both kinds have.
  struct ScaleIds {
    std::uint32_t rangeMax, rangeMin, scaleColour, scaleFont, decimals;
  };

  float m_rangeMax;
  float m_rangeMin;
  float m_value = 0.0f;
  std::uint32_t m_majorMarks;
  std::uint32_t m_minorMarks = 5;
  std::uint32_t m_flags;
  CColour m_scaleColour = CColour::FromArgb(255, 255, 255, 255);
  CTextStyle m_scaleStyle;               // Arial 8 points
  std::optional<CLogFont> m_storedFont;  // the font record read last, if any
  bool m_dragging = false;

 protected:
  CCCScaleWidget(float rangeMax, float rangeMin, std::uint32_t majorMarks, std::uint32_t flags);
  // The clipboard copy: not bound, not dragging.
  CCCScaleWidget(const CCCScaleWidget& source);

  CRangeFields Range() { return {m_rangeMax, m_rangeMin}; }
  // A record's range as read: a bound that is not a number makes the record damaged, any other
  // is held within half the float range.
  void CheckReadRange();
  // Mark counts read from a record held to what the rows let a widget have.
  void HoldMarkCounts();
  // The end of the system-file record both kinds keep: the scale colour, the image and the
  // scale font.
  void ArchiveScaleTail(CArchive& ar, CCCImage*& image, const CRecordLookup& lookup);

  // The steps of the drawn scale from the minimum: between major marks and between minor ones;
  // none when the bound value has no scale (not a level or a number) or there are no marks.
  struct ScaleSteps {
    ParamKind kind;
    float major;
    float minor;
  };
  std::optional<ScaleSteps> GetScaleSteps() const;

  // One edit of either property editor, by property id (the binding's is applied already).
  virtual CWidgetEditResult ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) = 0;
  // The scale rows of the kind's ids.
  CScaleRows ScaleRows(const ScaleIds& ids) const;
  // The list's wording of the scale entries both kinds have.
  static CListForm ScaleListForm(const ScaleIds& ids);
  // Applies the edit when its id is one of the rows both kinds have (true), with the result
  // and whether the widget changed; false for the kind's own rows.
  bool ApplyScaleEdit(std::uint32_t id, const CWidgetEdit& edit, const ScaleIds& ids, CWidgetEditResult& result,
                      bool& changed);
};
