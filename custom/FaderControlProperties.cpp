// The fader's two property editors: range, knob image and colours, orientation and scale.
#include "core/file/ImageTree.h"
#include "custom/FaderControl.h"

namespace {

enum : std::uint32_t {
  kIdImage = 11,
  kIdFillColour = 12,
  kIdLineColour = 13,
  kIdRangeMax = 14,
  kIdRangeMin = 15,
  kIdUnused = 16,
  kIdDrawScale = 17,
  kIdMajorMarks = 18,
  kIdMinorMarks = 19,
  kIdScaleLocation = 20,
  kIdDrawSlot = 21,
  kIdHorizontal = 22,
  kIdScaleFont = 24,
  kIdScaleColour = 25,
  kIdDecimals = 26,
};

constexpr std::uint32_t kMarksLimit = 20;
constexpr std::uint32_t kLocationBits[] = {kFaderScaleBefore, kFaderScaleAfter};

const std::vector<std::string> kGridYesNo = {"Yes", "No"};
const std::vector<std::string> kListNoYes = {"No", "Yes"};

std::vector<std::string> LocationNames(bool horizontal) {
  return horizontal ? std::vector<std::string>{"Top", "Bottom"} : std::vector<std::string>{"Left", "Right"};
}

constexpr CCCScaleWidget::ScaleIds kScaleIds{kIdRangeMax, kIdRangeMin, kIdScaleColour, kIdScaleFont, kIdDecimals};

}  // namespace

void CCCFader::FillPropertiesPane(IDevicePropertyGrid& grid) {
  CCustomControlObject::FillPropertiesPane(grid);
  ICustomPanelHost* host = WidgetHost(*this);
  AddRangeRows(grid, *this, "Fader Range", Range());
  auto look = std::make_unique<CDevicePropertyGroup>("Fader Appearance");
  look->Add(MakeImageRow(host, m_pKnobImage, "Image", "Image to be used for the fader knob", kIdImage));
  if (!m_pKnobImage) {
    look->Add(MakeColourRow(host, m_fillColour, "Fill Colour", "Colour to be used for the fader knob", kIdFillColour));
    look->Add(MakeColourRow(host, m_lineColour, "Line Colour", "Colour to be used for the fader knob line",
                            kIdLineColour));
  }
  look->Add(MakeNameListRow("Horizontal", kGridYesNo, IsHorizontal() ? 0 : 1, "Whether the fader operates horizontally",
                            kIdHorizontal));
  if (IsLinked())
    look->Add(MakeNameListRow("Draw Scale", kGridYesNo, IsScaleShown() ? 0 : 1,
                              "Whether the scale is drawn next to the fader", kIdDrawScale));
  if (IsScaleShown())
    AddScaleRows(*look, host, ScaleRows(kScaleIds),
                 MakeNameListRow("Scale Location", LocationNames(IsHorizontal()), (m_flags & kFaderScaleBefore) ? 0 : 1,
                                 "Where the scale is drawn in relation to the fader", kIdScaleLocation));
  look->Add(MakeNameListRow("Draw Slot", kGridYesNo, (m_flags & kFaderDrawSlot) ? 0 : 1,
                            "Whether the fader slot is drawn beneath the knob", kIdDrawSlot));
  grid.AddGroup(std::move(look));
}

// Id 16 has no row in either editor; an edit of it is accepted and changes nothing.
CListForm CCCFader::ListForm() const {
  CListForm form = ScaleListForm(kScaleIds);
  form.rows.push_back({.id = kIdUnused, .inert = true});
  return form;
}

CWidgetEditResult CCCFader::ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) {
  CWidgetEditResult result;
  const CRect before = WidgetArea(*this);
  bool changed = false;
  // A knob image sets the fader's width across the travel: twice the image's with the scale.
  auto fitToImage = [this] {
    if (!m_pKnobImage) return;
    const int across = m_pKnobImage->GetPixelWidth() * (IsScaleShown() ? 2 : 1);
    if (IsHorizontal()) m_rect.bottom = m_rect.top + across;
    else m_rect.right = m_rect.left + across;
  };
  if (ApplyScaleEdit(id, edit, kScaleIds, result, changed)) {
    FinishChange(*this, before, changed);
    return result;
  }
  switch (id) {
    case kIdImage:
      result.structure = true;
      if (edit.image == m_pKnobImage) break;
      m_pKnobImage = edit.image;
      fitToImage();
      changed = result.structure = true;
      break;
    case kIdFillColour: changed = TakeColour(edit, m_fillColour); break;
    case kIdLineColour: changed = TakeColour(edit, m_lineColour); break;
    case kIdUnused: break;
    case kIdDrawScale: {
      const std::optional<bool> on = ChosenYes(edit);
      if (!on || *on == IsScaleShown()) break;
      SetFlag(m_flags, kFaderDrawScale, *on);
      fitToImage();
      changed = result.structure = true;
      break;
    }
    case kIdMajorMarks:
    case kIdMinorMarks: {
      if (edit.number >= kMarksLimit)
        return CWidgetEditResult::Refuse(FormatText("Cannot have more than %d scale marks", int(kMarksLimit)));
      std::uint32_t& field = id == kIdMajorMarks ? m_majorMarks : m_minorMarks;
      changed = edit.number != field;
      field = edit.number;
      break;
    }
    case kIdScaleLocation: changed = SetOneOf(m_flags, kLocationBits, edit.index); break;
    case kIdDrawSlot:
      if (const std::optional<bool> on = ChosenYes(edit)) changed = SetFlag(m_flags, kFaderDrawSlot, *on);
      break;
    case kIdHorizontal: {
      const std::optional<bool> on = ChosenYes(edit);
      if (!on || !SetFlag(m_flags, kFaderHorizontal, *on)) break;
      // The control turns about its top-left corner.
      const int width = m_rect.Width(), height = m_rect.Height();
      m_rect.right = m_rect.left + height;
      m_rect.bottom = m_rect.top + width;
      changed = result.structure = true;
      break;
    }
    default: return CWidgetEditResult::Refuse();
  }
  FinishChange(*this, before, changed);
  return result;
}
