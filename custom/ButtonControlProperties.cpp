// The button's and the LED's two property editors: action, appearance and text.
#include <cstdio>

#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "custom/PropertyPickers.h"
#include "core/model/Snapshot.h"
#include "custom/CustomPanelHost.h"
#include "core/support/SystemMessages.h"
#include "core/model/UiServices.h"
#include "custom/ButtonControl.h"

namespace {

enum : std::uint32_t {
  kIdText = 11,
  kIdTextColour = 12,
  kIdFont = 13,
  kIdHorizontal = 14,
  kIdVertical = 15,
  kIdImage = 16,
  kIdImageUse = 17,
  kIdCornerRadius = 18,
  kIdOutline = 19,
  kIdOutlineWidth = 20,
  kIdOutlineColour = 21,
  kIdFill = 22,
  kIdFillColour = 23,
  kIdOffset = 24,
  kIdAction = 25,
  kIdPanel = 26,
  kIdSnapshot = 27,
  kIdHalo = 28,
  kIdHaloColour = 29,
  kIdHaloSize = 30,
};

constexpr std::uint32_t kImageUseBits[] = {kButtonStretchImage, kButtonFixToImage};
constexpr std::uint32_t kHorizontalBits[] = {kButtonAlignLeft, kButtonAlignCentre, kButtonAlignRight};
constexpr std::uint32_t kVerticalBits[] = {kButtonAlignTop, kButtonAlignMiddle, kButtonAlignBottom};
constexpr std::uint32_t kActionBits[] = {kButtonModifyParameter, kButtonLaunchPanel, kButtonRecallSnapshot};
constexpr std::uint32_t kHaloSizeMax = 20;
constexpr std::uint32_t kHaloSizeMin = 1;

const std::vector<std::string> kActionNames = {"Modify Parameter", "Launch Custom Panel", "Recall Snapshot"};
const std::vector<std::string> kImageUseNames = {"Stretch Image", "Fix To Image"};
const std::vector<std::string> kHorizontalNames = {"Left", "Centre", "Right"};
const std::vector<std::string> kVerticalNames = {"Top", "Centre", "Bottom"};
const std::vector<std::string> kOffOn = {"Off", "On"};
const std::vector<std::string> kNoYes = {"No", "Yes"};

std::vector<std::string> PanelNames(const ICustomPanelHost* host) {
  std::vector<std::string> names;
  if (host)
    for (const CCPData* panel : host->GetCustomPanels()) names.push_back(panel->GetName());
  return names;
}

std::vector<std::string> SnapshotNames(const ICustomPanelHost* host) {
  std::vector<std::string> names;
  if (host)
    for (const CSnapshot* snapshot : host->GetSnapshots()) names.push_back(snapshot->GetName());
  return names;
}

// The index of the entry with that id, -1 for none (the nil id names none).
template <class T>
int IndexOfId(const std::vector<T*>& list, const CUuid& id) {
  if (id.IsNil()) return -1;
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i]->GetUuid() == id) return int(i);
  return -1;
}

int PanelIndex(const ICustomPanelHost* host, const CUuid& id) {
  return host ? IndexOfId(host->GetCustomPanels(), id) : -1;
}

int SnapshotIndex(const ICustomPanelHost* host, const CUuid& id) {
  return host ? IndexOfId(host->GetSnapshots(), id) : -1;
}

// Which names the groups carry: the button's or the LED's.
const char* AppearanceGroup(bool led) { return led ? "LED Appearance" : "Button Appearance"; }
const char* TextGroup(bool led) { return led ? "LED Text" : "Button Text"; }

}  // namespace

void CCCButton::FillPropertiesPane(IDevicePropertyGrid& grid) {
  CCustomControlObject::FillPropertiesPane(grid);
  ICustomPanelHost* host = WidgetHost(*this);
  const bool led = IsLED();
  if (!led) {
    auto action = std::make_unique<CDevicePropertyGroup>("Action");
    action->Add(MakeNameListRow("Action", kActionNames, IndexOfBit(m_flags, kActionBits),
                                "What the button does when pressed", kIdAction));
    if (m_flags & kButtonModifyParameter)
      action->Add(std::make_unique<CParameterPropertyCtrl>(host, this, "Parameter")).AllowEdit(false);
    if (m_flags & kButtonLaunchPanel)
      action->Add(MakeNameListRow("Panel", PanelNames(host), PanelIndex(host, m_panelId),
                                  "The Custom Control Panel that this button launches", kIdPanel));
    if (m_flags & kButtonRecallSnapshot)
      action->Add(MakeNameListRow("Snapshot", SnapshotNames(host), SnapshotIndex(host, m_snapshotId),
                                  "The Snapshot that this button recalls", kIdSnapshot));
    grid.AddGroup(std::move(action));
  }

  auto look = std::make_unique<CDevicePropertyGroup>(AppearanceGroup(led));
  look->Add(MakeImageRow(host, m_pImage, "Image", "Image to be used for this control", kIdImage));
  if (m_pImage) {
    look->Add(MakeNameListRow("Image Use", kImageUseNames, IndexOfBit(m_flags, kImageUseBits),
                              "How to use the control image", kIdImageUse));
  } else {
    const bool outline = (m_flags & kButtonOutline) != 0;
    look->Add(MakeNameListRow("Outline", kOffOn, outline ? 1 : 0, "Whether an outline is drawn around the control",
                              kIdOutline));
    if (outline) {
      look->Add(MakeNumberRow("Outline Width", std::uint32_t(m_outlineWidth), "The width of the outline in pixels",
                              kIdOutlineWidth));
      look->Add(MakeNumberRow("Corner Radius", std::uint32_t(m_cornerRadius), "The radius of the corners in pixels",
                              kIdCornerRadius));
      look->Add(MakeColourRow(host, m_outlineColour, "Outline Colour", "Colour to be used for the button outline",
                              kIdOutlineColour));
    }
    const bool fill = (m_flags & kButtonFill) != 0;
    look->Add(MakeNameListRow("Fill", kOffOn, fill ? 1 : 0, "Whether the control has a fill colour", kIdFill));
    if (fill)
      look->Add(MakeColourRow(host, m_fillColour, "Fill Colour", "Colour to be used for the button fill", kIdFillColour));
  }
  const bool halo = (m_flags & kButtonHalo) != 0;
  look->Add(MakeNameListRow("Halo", kOffOn, halo ? 1 : 0, "Whether the control has a halo rather than a shading",
                            kIdHalo));
  if (halo) {
    look->Add(MakeColourRow(host, m_haloColour, "Halo Colour", "Colour to be used for the selection halo", kIdHaloColour));
    look->Add(MakeNumberRow("Halo Size", std::uint32_t(m_haloSize), "The width of the halo in pixels", kIdHaloSize));
  }
  grid.AddGroup(std::move(look));

  auto text = std::make_unique<CDevicePropertyGroup>(TextGroup(led));
  text->Add(MakeTextRow("Text", m_text, "Text to display on the button", kIdText));
  text->Add(MakeNameListRow("Horizontal Alignment", kHorizontalNames, IndexOfBit(m_flags, kHorizontalBits),
                            "Horizontal alignment of the text within the control bounds", kIdHorizontal));
  text->Add(MakeNameListRow("Vertical Alignment", kVerticalNames, IndexOfBit(m_flags, kVerticalBits),
                            "Vertical alignment of the text within the control bounds", kIdVertical));
  text->Add(MakeFontRow(host, m_textStyle, "Font", kIdFont));
  text->Add(MakeColourRow(host, m_textColour, "Text Colour", "Colour to be used for the control text", kIdTextColour));
  grid.AddGroup(std::move(text));
}

// The list has no halo, offset or font entries, yet takes a font and the offset look (which
// has no row in either editor); its alignment descriptions are its own, and "Outline" is a
// "No", "Yes" choice. A panel or snapshot past the list's end is the owner's to take.
CListForm CCCButton::ListForm() const {
  const ICustomPanelHost* host = WidgetHost(*this);
  auto listed = [](int index) { return std::optional<std::uint32_t>(std::uint32_t(index)); };
  const bool offset = (m_flags & kButtonOffset) != 0;
  return CListForm{{{.id = kIdOutline, .choices = {{"No", 0}, {"Yes", 1}}},
                    {.id = kIdHorizontal, .description = "Horizontal aligmnent of the text within the control bounds"},
                    {.id = kIdVertical, .description = "Vertical aligmnent of the text within the control bounds"},
                    {.id = kIdFont, .hidden = true},
                    {.id = kIdOffset,
                     .rowless = [offset] { return MakeNameListRow("", kOffOn, offset ? 1 : 0, "", kIdOffset); }},
                    // Two panels or snapshots of one name are told apart by their place.
                    {.id = kIdPanel, .pastEnd = true, .selected = listed(PanelIndex(host, m_panelId))},
                    {.id = kIdSnapshot, .pastEnd = true, .selected = listed(SnapshotIndex(host, m_snapshotId))},
                    {.id = kIdHalo, .absent = true},
                    {.id = kIdHaloColour, .absent = true},
                    {.id = kIdHaloSize, .absent = true}},
                   {}};
}

bool CCCButton::OnPropertyChanged(CDeviceProperty& row) {
  const std::uint32_t id = row.GetData();
  if (id >= 1 && id <= 3) return CCustomControlObject::OnPropertyChanged(row);
  return FinishRowEdit(row, ApplyEdit(id, CWidgetEdit::FromRow(row, m_textStyle)));
}

CWidgetEditResult CCCButton::ApplyEdit(std::uint32_t id, const CWidgetEdit& edit) {
  switch (id) {
    case kIdImage: return EditImage(edit);
    case kIdAction: return EditAction(edit);
    case kIdPanel:
    case kIdSnapshot: return EditTarget(id == kIdPanel, edit);
    default: break;
  }
  CWidgetEditResult result;
  const CRect before = WidgetArea(*this);
  bool changed = false;
  auto onOff = [&](std::uint32_t bit) {
    if (edit.index < 0) return;
    changed = SetFlag(m_flags, bit, edit.index != 0);
    result.structure = changed;
  };
  switch (id) {
    case kIdText:
      changed = edit.text != m_text;
      m_text = edit.text;
      break;
    case kIdTextColour: changed = TakeColour(edit, m_textColour); break;
    case kIdOutlineColour: changed = TakeColour(edit, m_outlineColour); break;
    case kIdFillColour: changed = TakeColour(edit, m_fillColour); break;
    case kIdHaloColour: changed = TakeColour(edit, m_haloColour); break;
    case kIdFont: changed = TakeStyle(edit, m_textStyle); break;
    case kIdHorizontal: changed = SetOneOf(m_flags, kHorizontalBits, edit.index); break;
    case kIdVertical: changed = SetOneOf(m_flags, kVerticalBits, edit.index); break;
    case kIdImageUse: changed = EditImageUse(edit); break;
    case kIdCornerRadius:
    case kIdOutlineWidth: result = EditEdgeSize(id == kIdCornerRadius, edit, changed); break;
    case kIdOutline: onOff(kButtonOutline); break;
    case kIdFill: onOff(kButtonFill); break;
    case kIdOffset: onOff(kButtonOffset); break;
    case kIdHalo: onOff(kButtonHalo); break;
    case kIdHaloSize: result = EditHaloSize(edit, changed); break;
    default: return CWidgetEditResult::Refuse();
  }
  if (!result.accepted) return result;
  FinishChange(*this, before, changed);
  return result;
}

CWidgetEditResult CCCButton::EditImage(const CWidgetEdit& edit) {
  CWidgetEditResult result;
  const CRect before = WidgetArea(*this);
  // Grid: every commit rebuilds the rows (Image Use against Outline and Fill).
  result.structure = true;
  if (edit.image == m_pImage) return result;
  m_pImage = edit.image;
  if (m_pImage && (m_flags & kButtonFixToImage))
    m_rect = CRect{m_rect.left, m_rect.top, m_rect.left + m_pImage->GetPixelWidth(),
                   m_rect.top + m_pImage->GetPixelHeight()};
  RepaintWidget(*this, before);
  result.structure = true;
  MarkModified(*this);
  return result;
}

CWidgetEditResult CCCButton::EditAction(const CWidgetEdit& edit) {
  CWidgetEditResult result;
  result.structure = SetOneOf(m_flags, kActionBits, edit.index);
  if (!result.structure) return result;
  MarkModified(*this);
  // The grid asks for its rows again through the edited row; an edit through the list has the
  // properties pane shown again too.
  if (edit.fromList) {
    ICustomPanelHost* host = WidgetHost(*this);
    if (IUiServices* ui = host ? host->GetUiServices() : nullptr)
      ui->Post(CPostedMessage{FrameMsg::kShowWidgetProps, 0, 1, GetHandle(), {}});
  }
  return result;
}

CWidgetEditResult CCCButton::EditTarget(bool panel, const CWidgetEdit& edit) {
  ICustomPanelHost* host = WidgetHost(*this);
  if (!host || edit.index < 0) return {};
  const std::size_t at = std::size_t(edit.index);
  CUuid chosen;
  if (panel && at < host->GetCustomPanels().size()) chosen = host->GetCustomPanels()[at]->GetUuid();
  else if (!panel && at < host->GetSnapshots().size()) chosen = host->GetSnapshots()[at]->GetUuid();
  else return {};
  CUuid& field = panel ? m_panelId : m_snapshotId;
  if (field != chosen) MarkModified(*this);
  field = chosen;
  return {};
}

bool CCCButton::EditImageUse(const CWidgetEdit& edit) {
  const CRect old = m_rect;
  bool changed = SetOneOf(m_flags, kImageUseBits, edit.index);
  if (edit.index == 1 && m_pImage) {
    m_rect = CRect{m_rect.left, m_rect.top, m_rect.left + m_pImage->GetPixelWidth(),
                   m_rect.top + m_pImage->GetPixelHeight()};
    if (m_pView) m_pView->RedrawRect(GrownRect(old, 12));
    changed = changed || m_rect != old;
  }
  return changed;
}

CWidgetEditResult CCCButton::EditEdgeSize(bool radius, const CWidgetEdit& edit, bool& changed) {
  if (auto refusal = HalfSizeRefusal(m_rect, edit.number, radius ? "Corner radius" : "Outline width"))
    return CWidgetEditResult::Refuse(*refusal);
  std::int32_t& field = radius ? m_cornerRadius : m_outlineWidth;
  changed = std::int32_t(edit.number) != field;
  field = std::int32_t(edit.number);
  return {};
}

CWidgetEditResult CCCButton::EditHaloSize(const CWidgetEdit& edit, bool& changed) {
  if (edit.number > kHaloSizeMax)
    return CWidgetEditResult::Refuse(FormatText("Halo size cannot be greater than %d pixels", int(kHaloSizeMax)));
  if (edit.number < kHaloSizeMin)
    return CWidgetEditResult::Refuse(FormatText("Halo size cannot be less than %d pixels", int(kHaloSizeMin)));
  changed = std::int32_t(edit.number) != m_haloSize;
  m_haloSize = std::int32_t(edit.number);
  return {};
}
