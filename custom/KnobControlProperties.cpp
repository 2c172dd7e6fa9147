// The knob's two property editors: range, image and notch, angles, scale and LED ring.
#include "core/file/ImageTree.h"
#include "custom/KnobControl.h"
#include "platform/TextFormat.h"

namespace {

enum : std::uint32_t {
  kIdImage = 11,
  kIdKnobColour = 12,
  kIdNotchColour = 13,
  kIdRangeMax = 14,
  kIdRangeMin = 15,
  kIdDrawNotch = 16,
  kIdDrawScale = 17,
  kIdMajorMarks = 18,
  kIdMinorMarks = 19,
  kIdMaxAngle = 20,
  kIdMinAngle = 21,
  kIdReversed = 22,
  kIdDrawLeds = 23,
  kIdLedColour = 24,
  kIdRotateBitmap = 25,
  kIdNotchRadius = 26,
  kIdScaleColour = 27,
  kIdScaleFont = 28,
  kIdLedSize = 29,
  kIdDecimals = 30,
};

constexpr std::uint32_t kMarksMax = 20;
constexpr std::int32_t kLedSizeMax = 5;

const std::vector<std::string> kNoYes = {"No", "Yes"};

// What each on/off property switches.
std::uint32_t SwitchBit(std::uint32_t id) {
  switch (id) {
    case kIdDrawNotch: return kKnobDrawNotch;
    case kIdDrawScale: return kKnobDrawScale;
    case kIdDrawLeds: return kKnobDrawLeds;
    case kIdRotateBitmap: return kKnobRotateBitmap;
    case kIdReversed: return kKnobReversed;
    default: return 0;
  }
}

}  // namespace

namespace {
// Which rows and entries a knob has, read from its state once.
struct CKnobRows {
  bool linked, image, rotate, notch, scale, leds;
  explicit CKnobRows(const CCCKnob& k)
      : linked(k.IsLinked()),
        image(k.m_pImage != nullptr),
        rotate((k.m_flags & kKnobRotateBitmap) != 0),
        notch((k.m_flags & kKnobDrawNotch) || !k.m_pImage || !(k.m_flags & kKnobRotateBitmap)),
        scale(k.IsScaleShown()),
        leds((k.m_flags & kKnobDrawLeds) != 0) {}
};

constexpr CCCScaleWidget::ScaleIds kScaleIds{kIdRangeMax, kIdRangeMin, kIdScaleColour, kIdScaleFont, kIdDecimals};
}  // namespace

void CCCKnob::FillPropertiesPane(IDevicePropertyGrid& grid) {
  CCustomControlObject::FillPropertiesPane(grid);
  ICustomPanelHost* host = WidgetHost(*this);
  const CKnobRows has(*this);
  AddRangeRows(grid, *this, "Knob Range", Range());
  auto look = std::make_unique<CDevicePropertyGroup>("Knob Appearance");
  look->Add(MakeImageRow(host, m_pImage, "Image", "Image to be used for the knob", kIdImage));
  if (!has.image) look->Add(MakeColourRow(host, m_knobColour, "Knob Colour", "Colour to be used for the knob", kIdKnobColour));
  if (has.image)
    look->Add(MakeNameListRow("Rotate Bitmap", kNoYes, has.rotate ? 1 : 0, "Whether the knob bitmap is rotated or static",
                              kIdRotateBitmap));
  if (has.image && has.rotate)
    look->Add(MakeNameListRow("Draw Notch", kNoYes, (m_flags & kKnobDrawNotch) ? 1 : 0,
                              "Whether the knob notch is drawn on top of the bitmap", kIdDrawNotch));
  if (has.notch) {
    look->Add(MakeNumberRow("Notch Radius", m_notchRadius, "The radius of the notch from the centre of the control",
                            kIdNotchRadius));
    look->Add(MakeColourRow(host, m_notchColour, "Notch Colour", "Colour to be used for the knob notch", kIdNotchColour));
  }
  look->Add(MakeSignedRow("Max Angle", m_maxAngle,
                          "The maximum angle this control will go to (in degrees from vertical)", kIdMaxAngle));
  look->Add(MakeSignedRow("Min Angle", m_minAngle,
                          "The minimum angle this control will go to (in degrees from vertical)", kIdMinAngle));
  if (has.linked)
    look->Add(MakeNameListRow("Draw Scale", kNoYes, has.scale ? 1 : 0, "Whether the scale is drawn next to the knob",
                              kIdDrawScale));
  if (has.scale) AddScaleRows(*look, host, ScaleRows(kScaleIds));
  look->Add(MakeNameListRow("Draw LEDs", kNoYes, has.leds ? 1 : 0, "Whether an LED ring is drawn around the knob",
                            kIdDrawLeds));
  if (has.leds) {
    look->Add(MakeColourRow(host, m_ledColour, "LED Colour", "Colour to be used for the LED ring", kIdLedColour));
    look->Add(MakeNumberRow("LED Size", m_ledSize, "The size of the LEDs drawn around the edge of the knob", kIdLedSize));
  }
  grid.AddGroup(std::move(look));
}

// The angles are signed entries; the LED colour is worded as the list words it; the colours
// are typed entries and the scale font is not. The reversed look has no row in either editor,
// and a decimal places index past the four is the knob's to take.
CListForm CCCKnob::ListForm() const {
  constexpr int kTyped = 1 | 1 << 8, kPicked = 1 << 8;
  CListForm form = ScaleListForm(kScaleIds);
  for (CListRowForm& row : form.rows)
    if (row.id == kIdScaleFont) row.flags = kPicked;
  for (std::uint32_t colour : {kIdKnobColour, kIdNotchColour, kIdScaleColour})
    form.rows.push_back({.id = colour, .flags = kTyped});
  form.rows.push_back({.id = kIdLedColour, .description = "Colour to be used for the LED Ring", .flags = kTyped});
  form.rows.push_back({.id = kIdMaxAngle, .type = kPropObject});
  form.rows.push_back({.id = kIdMinAngle, .type = kPropObject});
  form.rows.push_back({.id = kIdDecimals, .pastEnd = true});
  const bool reversed = (m_flags & kKnobReversed) != 0;
  form.rows.push_back({.id = kIdReversed, .rowless = [reversed] {
                         return MakeNameListRow("", kNoYes, reversed ? 1 : 0, "", kIdReversed);
                       }});
  return form;
}

CWidgetEditResult CCCKnob::ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) {
  CWidgetEditResult result;
  const CRect before = WidgetArea(*this);
  bool changed = false;
  if (!ApplyScaleEdit(id, edit, kScaleIds, result, changed)) {
    result = ApplyKnobEdit(id, edit, changed);
    if (!result.accepted) return result;
  }
  FinishChange(*this, before, changed);
  return result;
}

CWidgetEditResult CCCKnob::ApplyKnobEdit(std::uint32_t id, const CWidgetEdit& edit, bool& changed) {
  CWidgetEditResult result;
  switch (id) {
    case kIdImage:
      result.structure = true;
      if (edit.image == m_pImage) break;
      m_pImage = edit.image;
      changed = result.structure = true;
      break;
    case kIdKnobColour: changed = TakeColour(edit, m_knobColour); break;
    case kIdNotchColour: changed = TakeColour(edit, m_notchColour); break;
    case kIdLedColour: changed = TakeColour(edit, m_ledColour); break;
    case kIdDrawNotch:
    case kIdDrawScale:
    case kIdDrawLeds:
    case kIdRotateBitmap:
    case kIdReversed: {
      if (edit.index < 0) break;
      const bool on = edit.index != 0;
      const std::uint32_t bit = SwitchBit(id);
      const bool was = id == kIdDrawScale ? IsScaleShown() : (m_flags & bit) != 0;
      if (on == was) break;
      SetFlag(m_flags, bit, on);
      changed = result.structure = true;
      break;
    }
    case kIdMajorMarks: return EditMarks(m_majorMarks, edit, changed);
    case kIdMinorMarks: return EditMarks(m_minorMarks, edit, changed);
    case kIdMaxAngle: return EditAngle(true, edit, changed);
    case kIdMinAngle: return EditAngle(false, edit, changed);
    case kIdNotchRadius: return EditNotchRadius(edit, changed);
    case kIdLedSize: return EditLedSize(edit, changed);
    default: return CWidgetEditResult::Refuse();
  }
  return result;
}

CWidgetEditResult CCCKnob::EditMarks(std::uint32_t& field, const CWidgetEdit& edit, bool& changed) {
  if (edit.number > kMarksMax)
    return CWidgetEditResult::Refuse(FormatText("Cannot have more than %d scale marks", int(kMarksMax)));
  if (edit.number == field || edit.number == 0) return CWidgetEditResult::Refuse();
  field = edit.number;
  changed = true;
  return {};
}

CWidgetEditResult CCCKnob::EditAngle(bool isMax, const CWidgetEdit& edit, bool& changed) {
  // Each angle stays within the limit and on its side of the other.
  const auto angle = std::int32_t(edit.number);
  const bool refused = isMax ? angle == m_maxAngle || angle >= kKnobAngleLimit || angle <= m_minAngle
                             : angle == m_minAngle || angle <= -kKnobAngleLimit || angle >= m_maxAngle;
  if (refused) return CWidgetEditResult::Refuse();
  (isMax ? m_maxAngle : m_minAngle) = angle;
  changed = true;
  return {};
}

CWidgetEditResult CCCKnob::EditNotchRadius(const CWidgetEdit& edit, bool& changed) {
  if (edit.number == m_notchRadius || edit.number == 0) return CWidgetEditResult::Refuse();
  // The notch stays inside the knob, and inside the LED ring when there is one.
  const std::int64_t halfWidth = (m_rect.right - m_rect.left) / 2;
  const std::int64_t limit = (m_flags & kKnobDrawLeds) ? halfWidth - std::int64_t(m_ledSize) : halfWidth;
  if (std::int64_t(edit.number) >= limit)
    return CWidgetEditResult::Refuse(FormatText("Radius cannot be greater than %d", int(limit - 1)));
  m_notchRadius = edit.number;
  changed = true;
  return {};
}

CWidgetEditResult CCCKnob::EditLedSize(const CWidgetEdit& edit, bool& changed) {
  // The row's number compares as signed, so a negative size reads as one.
  const std::int64_t size = std::int64_t(std::int32_t(edit.number));
  if (size == std::int64_t(m_ledSize)) return {};
  if (size > kLedSizeMax)
    return CWidgetEditResult::Refuse(FormatText("LED size cannot be greater than %d", int(kLedSizeMax)));
  if (size <= 0) return CWidgetEditResult::Refuse("LED size cannot be less than or equal to 0");
  const std::int64_t inside = std::int64_t((m_rect.right - m_rect.left) / 2) - size;
  if ((m_flags & kKnobDrawLeds) && std::int64_t(m_notchRadius) >= inside)
    m_notchRadius = std::uint32_t(std::max<std::int64_t>(inside - 1, 0));
  m_ledSize = std::uint32_t(size);
  changed = true;
  return {};
}
