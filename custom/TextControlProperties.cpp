// The text widget's rows in the properties grid.
#include <cstdio>
#include <memory>
#include <vector>

#include "core/CPData.h"
#include "core/PropertyPickers.h"
#include "core/System.h"
#include "custom/TextControl.h"

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

// The index of the first of the three bits that is set, -1 for none.
int IndexOfBit(std::uint32_t flags, const std::uint32_t (&bits)[3]) {
  for (int i = 0; i < 3; ++i)
    if (flags & bits[i]) return i;
  return -1;
}

std::unique_ptr<CDeviceProperty> Number(const char* name, std::uint32_t value, const char* description,
                                        std::uint32_t id) {
  auto row = std::make_unique<CDeviceProperty>(name, std::int64_t(value), description, id);
  row->SetValueType(EPropertyValueType::UI4);
  return row;
}

std::unique_ptr<CDeviceProperty> Colour(CSystem* system, const CColour& colour, const char* name,
                                        const char* description, std::uint32_t id) {
  auto row = std::make_unique<CColourPropertyCtrl>(system, CColourPropertyCtrl::ToColorRef(colour), name, id,
                                                   description);
  row->AllowEdit(false);
  return row;
}

// Takes the row's colour (alpha 255) when red, green or blue differ.
bool TakeColour(const CDeviceProperty& row, CColour& colour) {
  const auto* picked = dynamic_cast<const CColourPropertyCtrl*>(&row);
  if (!picked) return false;
  const CColour chosen = CColourPropertyCtrl::FromColorRef(picked->m_colour);
  if ((chosen.argb & 0xFFFFFF) == (colour.argb & 0xFFFFFF)) return false;
  colour = chosen;
  return true;
}

}  // namespace

void CCCTextControl::FillPropertiesPane(IDevicePropertyGrid& grid) {
  CCustomControlObject::FillPropertiesPane(grid);
  CCPData* panel = m_pView ? m_pView->GetPanelData() : nullptr;
  CSystem* system = panel ? panel->GetOwner() : nullptr;
  const std::int32_t kind = IsLinked() ? GetParameterValue().kind : 0;
  auto group = std::make_unique<CDevicePropertyGroup>("Text Appearance");
  if (IsLinked() && kind == 4)
    group->Add(MakeChoiceRow("Delay Units", {"ms", "m", "ft"}, IndexOfBit(m_flags, kDelayBits),
                      "The delay unit this control displays the parameter in", kIdDelayUnits));
  if (IsLinked() && kind != 3 && kind != 4 && kind != 9)
    group->Add(MakeChoiceRow("Append Units", {"No", "Yes"}, (m_flags & kTextAppendUnits) ? 1 : 0,
                      "Whether the units are appended to this value", kIdAppendUnits));
  group->Add(MakeChoiceRow("Horizontal Alignment", {"Left", "Centre", "Right"}, IndexOfBit(m_flags, kHorizontalBits),
                    "Horizontal alignment of the text within the button bounds", kIdHorizontal));
  group->Add(MakeChoiceRow("Vertical Alignment", {"Top", "Centre", "Bottom"}, IndexOfBit(m_flags, kVerticalBits),
                    "Vertical alignment of the text within the button bounds", kIdVertical));
  CLogFont font;
  m_textStyle.ToLogFont(font);
  group->Add(std::make_unique<CFontPropertyCtrl>(system, font, "Font")).SetData(kIdFont);
  group->Add(Colour(system, m_textColour, "Text Colour", "Colour to be used for the button text", kIdTextColour));
  const bool outline = (m_flags & kTextOutline) != 0;
  group->Add(MakeChoiceRow("Text Outline", {"Off", "On"}, outline ? 1 : 0, "Whether an outline is drawn around the text",
                    kIdOutline));
  if (outline) {
    group->Add(Number("Outline Width", m_outlineWidth, "The width of the outline in pixels", kIdOutlineWidth));
    group->Add(Number("Corner Radius", m_cornerRadius, "The radius of the corners in pixels", kIdCornerRadius));
    group->Add(Colour(system, m_outlineColour, "Outline Colour", "Colour to be used for the button outline",
                      kIdOutlineColour));
  }
  group->Add(MakeChoiceRow("Read Only", {"No", "Yes"}, (m_flags & kTextReadOnly) ? 1 : 0,
                    "Whether this control is read-only when in operate mode", kIdReadOnly));
  grid.AddGroup(std::move(group));
}

bool CCCTextControl::OnPropertyChanged(CDeviceProperty& row) {
  const std::uint32_t id = row.GetData();
  if (id >= 1 && id <= 3) {
    const bool handled = CCustomControlObject::OnPropertyChanged(row);
    // The delay and units rows depend on the bound parameter's kind.
    if (id == 3) row.SetRefresh(true);
    return handled;
  }
  bool changed = false;
  bool refresh = false;
  const int selection = GetPropertyComboSelection(row);
  auto setBits = [&](const std::uint32_t (&bits)[3]) {
    if (selection < 0 || selection > 2) return;
    const std::uint32_t flags = (m_flags & ~(bits[0] | bits[1] | bits[2])) | bits[selection];
    changed = flags != m_flags;
    m_flags = flags;
  };
  auto setFlag = [&](std::uint32_t bit) {
    const bool on = selection != 0;
    changed = on != ((m_flags & bit) != 0);
    m_flags = on ? (m_flags | bit) : (m_flags & ~bit);
  };
  switch (id) {
    case kIdCaption:
      changed = row.GetText() != m_caption;
      m_caption = row.GetText();
      break;
    case kIdTextColour: changed = TakeColour(row, m_textColour); break;
    case kIdOutlineColour: changed = TakeColour(row, m_outlineColour); break;
    case kIdFont:
      if (const auto* font = dynamic_cast<const CFontPropertyCtrl*>(&row)) {
        CTextStyle style = m_textStyle;
        style.FromLogFont(font->m_logFont);
        changed = !(style == m_textStyle);
        if (changed) m_textStyle = style;
      }
      break;
    case kIdHorizontal: setBits(kHorizontalBits); break;
    case kIdVertical: setBits(kVerticalBits); break;
    case kIdCornerRadius:
    case kIdOutlineWidth: {
      const auto n = std::uint32_t(row.GetNumber());
      const int halfHeight = (m_rect.bottom - m_rect.top) / 2;
      const int halfWidth = (m_rect.right - m_rect.left) / 2;
      const char* what = id == kIdCornerRadius ? "Corner radius" : "Outline width";
      char text[96];
      if (n > std::uint32_t(halfHeight)) {
        std::snprintf(text, sizeof text, "%s cannot be greater than half the height (%d pixels)", what, halfHeight);
        row.SetErrorText(text);
        return false;
      }
      if (n > std::uint32_t(halfWidth)) {
        std::snprintf(text, sizeof text, "%s cannot be greater than half the width (%d pixels)", what, halfWidth);
        row.SetErrorText(text);
        return false;
      }
      std::uint32_t& field = id == kIdCornerRadius ? m_cornerRadius : m_outlineWidth;
      changed = n != field;
      field = n;
      break;
    }
    case kIdOutline:
      setFlag(kTextOutline);
      refresh = changed;  // the three outline rows appear or go
      break;
    case kIdAppendUnits: setFlag(kTextAppendUnits); break;
    case kIdDelayUnits:
      if (!IsLinked() || GetParameterValue().kind != 4) return true;
      setBits(kDelayBits);
      refresh = true;
      break;
    case kIdReadOnly: setFlag(kTextReadOnly); break;
    default: return false;
  }
  if (changed) {
    CCPData* panel = m_pView ? m_pView->GetPanelData() : nullptr;
    if (panel && panel->GetOwner()) panel->GetOwner()->SetModified();
    if (id == kIdAppendUnits || id == kIdDelayUnits) RefreshState();
    if (m_pView) m_pView->RedrawControl(this);
  }
  if (refresh) row.SetRefresh(true);
  return true;
}
