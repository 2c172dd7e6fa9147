// The text widget's two property editors: the properties grid's rows and the property list.
#include "custom/TextControl.h"
#include "custom/WidgetProperties.h"

namespace {

enum : std::uint32_t {
  kIdCaption = 11,
  kIdTextColour,
  kIdFont,
  kIdHorizontal,
  kIdVertical,
  kIdCornerRadius,
  kIdOutline,
  kIdOutlineWidth,
  kIdOutlineColour,
  kIdAppendUnits,
  kIdDelayUnits,
  kIdReadOnly,
};

constexpr std::uint32_t kHorizontalBits[] = {kTextAlignLeft, kTextAlignCentre, kTextAlignRight};
constexpr std::uint32_t kVerticalBits[] = {kTextAlignTop, kTextAlignMiddle, kTextAlignBottom};
constexpr std::uint32_t kDelayBits[] = {kTextDelayMs, kTextDelayMetres, kTextDelayFeet};

const std::vector<std::string> kDelayNames = {"ms", "m", "ft"};
const std::vector<std::string> kHorizontalNames = {"Left", "Centre", "Right"};
const std::vector<std::string> kVerticalNames = {"Top", "Centre", "Bottom"};
const std::vector<std::string> kNoYes = {"No", "Yes"};
const std::vector<std::string> kOffOn = {"Off", "On"};

// Which of the unit rows a widget has: delay units for a bound delay, appended units for a
// bound value of another kind that has units of its own.
bool HasDelayUnits(const CCCTextControl& w) { return w.IsLinked() && w.GetParameterValue().kind == ParamKind::kDelay; }
bool HasAppendUnits(const CCCTextControl& w) {
  if (!w.IsLinked()) return false;
  const ParamKind kind = w.GetParameterValue().kind;
  return kind != ParamKind::kQ && kind != ParamKind::kDelay && kind != ParamKind::kPhase;
}

}  // namespace

void CCCTextControl::FillPropertiesPane(IDevicePropertyGrid& grid) {
  CCustomControlObject::FillPropertiesPane(grid);
  ICustomPanelHost* host = WidgetHost(*this);
  auto group = std::make_unique<CDevicePropertyGroup>("Text Appearance");
  if (HasDelayUnits(*this))
    group->Add(MakeNameListRow("Delay Units", kDelayNames, IndexOfBit(m_flags, kDelayBits),
                               "The delay unit this control displays the parameter in", kIdDelayUnits));
  if (HasAppendUnits(*this))
    group->Add(MakeNameListRow("Append Units", kNoYes, (m_flags & kTextAppendUnits) ? 1 : 0,
                               "Whether the units are appended to this value", kIdAppendUnits));
  group->Add(MakeNameListRow("Horizontal Alignment", kHorizontalNames, IndexOfBit(m_flags, kHorizontalBits),
                             "Horizontal alignment of the text within the button bounds", kIdHorizontal));
  group->Add(MakeNameListRow("Vertical Alignment", kVerticalNames, IndexOfBit(m_flags, kVerticalBits),
                             "Vertical alignment of the text within the button bounds", kIdVertical));
  group->Add(MakeFontRow(host, m_textStyle, "Font", kIdFont));
  group->Add(MakeColourRow(host, m_textColour, "Text Colour", "Colour to be used for the button text", kIdTextColour));
  const bool outline = (m_flags & kTextOutline) != 0;
  group->Add(MakeNameListRow("Text Outline", kOffOn, outline ? 1 : 0, "Whether an outline is drawn around the text",
                             kIdOutline));
  if (outline) {
    group->Add(MakeNumberRow("Outline Width", m_outlineWidth, "The width of the outline in pixels", kIdOutlineWidth));
    group->Add(MakeNumberRow("Corner Radius", m_cornerRadius, "The radius of the corners in pixels", kIdCornerRadius));
    group->Add(MakeColourRow(host, m_outlineColour, "Outline Colour", "Colour to be used for the button outline",
                             kIdOutlineColour));
  }
  group->Add(MakeNameListRow("Read Only", kNoYes, (m_flags & kTextReadOnly) ? 1 : 0,
                             "Whether this control is read-only when in operate mode", kIdReadOnly));
  grid.AddGroup(std::move(group));
}

// The list's wording of the alignment, font and colour entries.
CListForm CCCTextControl::ListForm() const {
  return CListForm{{{.id = kIdHorizontal, .description = "Horizontal aligmnent of the text within the control bounds"},
                    {.id = kIdVertical, .description = "Vertical aligmnent of the text within the control bounds"},
                    {.id = kIdFont, .description = "Font to be used for the control text"},
                    {.id = kIdTextColour, .description = "Colour to be used for the control text"},
                    {.id = kIdOutlineColour, .description = "Colour to be used for the control outline"}},
                   {}};
}

bool CCCTextControl::OnPropertyChanged(CDeviceProperty& row) {
  const std::uint32_t id = row.GetData();
  if (id >= 1 && id <= 3) {
    const bool handled = CCustomControlObject::OnPropertyChanged(row);
    // The delay and units rows depend on the bound parameter's kind.
    if (id == 3) row.SetRefresh(true);
    return handled;
  }
  return FinishRowEdit(row, ApplyEdit(id, CWidgetEdit::FromRow(row, m_textStyle)));
}

CWidgetEditResult CCCTextControl::ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) {
  CWidgetEditResult result;
  bool changed = false;
  auto onOff = [&](std::uint32_t bit) {
    if (edit.index >= 0) changed = SetFlag(m_flags, bit, edit.index != 0);
  };
  switch (id) {
    case kIdCaption:
      changed = edit.text != m_caption;
      m_caption = edit.text;
      break;
    case kIdTextColour: changed = TakeColour(edit, m_textColour); break;
    case kIdOutlineColour: changed = TakeColour(edit, m_outlineColour); break;
    case kIdFont: changed = TakeStyle(edit, m_textStyle); break;
    case kIdHorizontal: changed = SetOneOf(m_flags, kHorizontalBits, edit.index); break;
    case kIdVertical: changed = SetOneOf(m_flags, kVerticalBits, edit.index); break;
    case kIdCornerRadius:
    case kIdOutlineWidth: {
      const bool radius = id == kIdCornerRadius;
      if (auto refusal = HalfSizeRefusal(m_rect, edit.number, radius ? "Corner radius" : "Outline width"))
        return CWidgetEditResult::Refuse(*refusal);
      std::uint32_t& field = radius ? m_cornerRadius : m_outlineWidth;
      changed = edit.number != field;
      field = edit.number;
      break;
    }
    case kIdOutline:
      onOff(kTextOutline);
      result.structure = changed;  // the three outline rows appear or go
      break;
    case kIdAppendUnits: onOff(kTextAppendUnits); break;
    case kIdDelayUnits:
      if (!HasDelayUnits(*this) || edit.index < 0) return result;
      changed = SetOneOf(m_flags, kDelayBits, edit.index);
      result.structure = true;
      break;
    case kIdReadOnly: onOff(kTextReadOnly); break;
    default: return CWidgetEditResult::Refuse();
  }
  if (changed) {
    MarkModified(*this);
    if (id == kIdAppendUnits || id == kIdDelayUnits) RefreshState();
    if (m_pView) m_pView->RedrawControl(this);
  }
  return result;
}
