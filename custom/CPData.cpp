// Custom panel data: its record in the system file, the clipboard requests handed to its
// view, and the references it and its widgets let go of.
#include "custom/CPData.h"

#include <algorithm>
#include <utility>

#include "core/file/ImageTree.h"
#include "custom/CustomPanelHost.h"
#include "custom/PropertyPickers.h"
#include "core/support/SystemMessages.h"
#include "core/file/TextConversion.h"
#include "core/model/NameRules.h"
#include "core/model/UiServices.h"
#include "platform/Archive.h"
#include "platform/Clipboard.h"
#include "platform/TextFormat.h"
#include "platform/WindowMessages.h"

namespace {

constexpr std::uint32_t kPanelRecordVersion = 2;
constexpr std::uint32_t kPlacementLength = 44;
// A widget is at least its type id and the base record.
constexpr std::size_t kWidgetMinSize = 4 + 60;

// Placement words in the panel's own order.
enum { kPlFlags, kPlShowCmd, kPlMaxX, kPlMaxY, kPlMinX, kPlMinY, kPlLeft, kPlTop, kPlRight, kPlBottom };

}  // namespace

CCPData::CCPData(ICustomPanelHost* owner) : m_pOwner(owner), m_uuid(MakeUuid()) {}

CCPData::~CCPData() { DeleteCustomControlObjects(m_widgets); }

// --- Clipboard ---

void CCPData::CopyToClipboard(std::uint32_t command) {
  (void)command;
  if (m_pView) m_pView->CopySelection();
}

bool CCPData::CanCopy(std::uint32_t command) {
  (void)command;
  return m_pView && m_pView->HasSelection();
}

void CCPData::PasteFromClipboard(std::uint32_t command) {
  (void)command;
  if (m_pView) m_pView->PasteControls();
}

bool CCPData::CanPaste(std::uint32_t command) {
  (void)command;
  return m_pView && m_pOwner && !m_pOwner->GetCopiedWidgets().empty();
}

std::uint32_t CCPData::GetClipboardFormat() {
  return m_pView ? RegisterClipboardFormat(kCustomPanelClipboardFormat) : 0;
}

// --- Property list ---

bool CCPData::InDesignMode() const { return m_pOwner && m_pOwner->GetDesignMode() == 1; }

void CCPData::Rebuilt() {
  if (m_pView) m_pView->RebuildDisplay();
  if (m_pOwner) m_pOwner->SetModified();
}

namespace {
// The ids of the panel's property rows.
enum : std::uint32_t {
  kPanelRowName = 1,
  kPanelRowGridPitch = 3,
  kPanelRowBackground = 4,
  kPanelRowImage = 5,
  kPanelRowImageUsage = 6,
  kPanelRowDisableClose = 7,
};

// The choice index of an image usage: 0 tile, 1 centre, 2 stretch; none when no bit is set.
std::uint32_t UsageIndex(std::uint32_t usage) {
  if (usage & kImageUsageTile) return 0;
  if (usage & kImageUsageCentre) return 1;
  if (usage & kImageUsageStretch) return 2;
  return std::uint32_t(-1);
}
}  // namespace

// --- Property list and grid ---

void CCPData::GetProperties(std::vector<CPropertyItem>& items) { AppendPropertyList(*this, ListForm(), items); }

bool CCPData::ValidateProperty(CNamedPropertyValue& value) { return ValidatePropertyList(*this, ListForm(), value); }

// The list has no "Disable Close Panel" entry, and "Image Usage" only with an image.
CListForm CCPData::ListForm() const {
  CListForm form;
  form.rows.push_back({.id = kPanelRowDisableClose, .absent = true});
  if (!m_pBackgroundImage) form.rows.push_back({.id = kPanelRowImageUsage, .hidden = true});
  return form;
}

void CCPData::FillPropertiesPane(IDevicePropertyGrid& grid) {
  if (!InDesignMode()) return;
  auto general = std::make_unique<CDevicePropertyGroup>("General");
  general->Add(std::make_unique<CDeviceProperty>("Name", m_name, "Set the control panel name", kPanelRowName));
  general->Add(MakeChoiceRow("Disable Close Panel", {"No", "Yes"}, m_disableClosePanel ? 1 : 0,
                         "Whether to disable the close panel button so that the window can never be closed "
                         "(apart from by admin users)",
                         kPanelRowDisableClose));
  CDeviceProperty& pitch = general->Add(
      std::make_unique<CDeviceProperty>("Grid Pitch", std::int64_t(m_gridPitch), "The pitch of the grid in pixels",
                                        kPanelRowGridPitch));
  pitch.SetValueType(EPropertyValueType::UI4);
  grid.AddGroup(std::move(general));

  auto background = std::make_unique<CDevicePropertyGroup>("Background");
  auto colour = std::make_unique<CColourPropertyCtrl>(m_pOwner, CColourPropertyCtrl::ToColorRef(m_background),
                                                      "Background Colour", kPanelRowBackground,
                                                      "Colour to be used as the background for this control panel");
  colour->m_fullColour = m_background;
  colour->AllowEdit(false);
  background->Add(std::move(colour));
  background->Add(std::make_unique<CImagePropertyCtrl>(m_pOwner, m_pBackgroundImage, "Background Image", kPanelRowImage,
                                                       "Image to be used as the background for this control panel"));
  const std::uint32_t usage = UsageIndex(m_imageUsage);
  background->Add(MakeChoiceRow("Image Usage", {"Tile", "Centre", "Stretch"}, usage > 2 ? -1 : int(usage),
                            "How to use the background image", kPanelRowImageUsage));
  grid.AddGroup(std::move(background));
}

bool CCPData::OnPropertyChanged(CDeviceProperty& row) {
  bool changed = false;
  switch (row.GetData()) {
    case kPanelRowName: {
      const std::string name = row.GetText();
      if (std::string refusal = NameRefusal(name, kPanelNameRule); !refusal.empty()) {
        row.SetErrorText(refusal);
        return false;
      }
      changed = name != m_name;
      m_name = name;
      if (IUiServices* ui = m_pOwner ? m_pOwner->GetUiServices() : nullptr) ui->PostMessage(FrameMsg::kPanelRenamed);
      if (m_pView) m_pView->SetPanelTitle(m_name);
      break;
    }
    case kPanelRowGridPitch: {
      const std::int64_t pitch = row.GetNumber();
      if (pitch < kGridPitchMin || pitch > kGridPitchMax) {
        row.SetErrorText(FormatText(kGridPitchRangeText, kGridPitchMin, kGridPitchMax));
        return false;
      }
      changed = pitch != m_gridPitch;
      m_gridPitch = std::int32_t(pitch);
      break;
    }
    case kPanelRowBackground: {
      auto* colourRow = dynamic_cast<CColourPropertyCtrl*>(&row);
      if (!colourRow) return false;
      CColour colour;
      changed = colourRow->EditedColour(m_background, colour);
      if (changed) m_background = colour;
      break;
    }
    case kPanelRowImage: {
      auto* imageRow = dynamic_cast<CImagePropertyCtrl*>(&row);
      if (!imageRow) return false;
      CCCImageBase* node = imageRow->GetImage();
      CCCImage* image = node && !node->IsDirectory() ? static_cast<CCCImage*>(node) : nullptr;
      changed = image != m_pBackgroundImage;
      m_pBackgroundImage = image;
      break;
    }
    case kPanelRowImageUsage: {
      const int index = GetPropertyComboSelection(row);
      if (index < 0 || index > 2) return true;
      const std::uint32_t usage = (m_imageUsage & ~0x7u) | (1u << index);
      changed = usage != m_imageUsage;
      m_imageUsage = usage;
      break;
    }
    case kPanelRowDisableClose: {
      const bool disable = GetPropertyComboSelection(row) != 0;
      changed = disable != m_disableClosePanel;
      m_disableClosePanel = disable;
      break;
    }
    default: return false;
  }
  if (changed && m_pOwner) m_pOwner->SetModified();
  const std::uint32_t id = row.GetData();
  if (id >= kPanelRowGridPitch && id <= kPanelRowImageUsage && m_pView) m_pView->RebuildDisplay();
  return true;
}

// --- Record ---

void CCPData::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  if (ar.IsStoring()) {
    ar.WriteU32(kPanelRecordVersion);
    ArchiveUuid(ar, m_uuid);
    ar.WriteString(m_name);
    ar.WriteBool(m_showGrid);
    ar.WriteBool(m_snapToGrid);
    ar.WriteBool(m_disableClosePanel);
    ar.WriteI32(m_gridPitch);
    ar.WriteU32(m_background.argb);
    CUuid imageId = m_pBackgroundImage ? m_pBackgroundImage->GetId() : CUuid{};
    ArchiveUuid(ar, imageId);
    // Window-placement order: length first, minimised before maximised.
    ar.WriteU32(kPlacementLength);
    for (int word : {kPlFlags, kPlShowCmd, kPlMinX, kPlMinY, kPlMaxX, kPlMaxY, kPlLeft, kPlTop, kPlRight, kPlBottom})
      ar.WriteI32(m_placement[std::size_t(word)]);
    ar.WriteU32(m_imageUsage);
    ar.WriteU32(m_pView || m_panelWasOpen ? 1u : 0u);
    ar.WriteI32(m_panelOrder);
    ar.WriteU32(std::uint32_t(m_widgets.size()));
    for (CCustomControlObject* widget : m_widgets) {
      ar.WriteU32(widget->GetControlType());
      widget->Serialize(ar, lookup);
    }
    return;
  }

  // Any other version would leave its fields to be read as the records that follow it.
  const std::uint32_t version = ReadRecordVersion(ar, 1, kPanelRecordVersion, "custom panel");
  ArchiveUuid(ar, m_uuid);
  m_name = ar.ReadString();
  m_showGrid = ar.ReadBool();
  m_snapToGrid = ar.ReadBool();
  m_disableClosePanel = ar.ReadBool();
  // A pitch outside the grid's range would draw no grid or a grid of one-pixel steps.
  if (version == 2) m_gridPitch = std::clamp(ar.ReadI32(), kGridPitchMin, kGridPitchMax);
  m_background.argb = ar.ReadU32();
  CUuid imageId;
  ArchiveUuid(ar, imageId);
  m_pBackgroundImage = imageId.IsNil() ? nullptr : lookup.FindImage(imageId);
  ar.ReadU32();  // placement length
  for (int word : {kPlFlags, kPlShowCmd, kPlMinX, kPlMinY, kPlMaxX, kPlMaxY, kPlLeft, kPlTop, kPlRight, kPlBottom})
    m_placement[std::size_t(word)] = ar.ReadI32();
  // Positions stay on a plausible screen and the window no larger than one: its view keeps a
  // picture of its whole area.
  for (int word : {kPlMinX, kPlMinY, kPlMaxX, kPlMaxY, kPlLeft, kPlTop, kPlRight, kPlBottom})
    m_placement[std::size_t(word)] = ClampPanelCoordinate(m_placement[std::size_t(word)]);
  if (m_placement[kPlRight] < m_placement[kPlLeft]) std::swap(m_placement[kPlLeft], m_placement[kPlRight]);
  if (m_placement[kPlBottom] < m_placement[kPlTop]) std::swap(m_placement[kPlTop], m_placement[kPlBottom]);
  m_placement[kPlRight] = std::min(m_placement[kPlRight], m_placement[kPlLeft] + kPanelSizeLimit);
  m_placement[kPlBottom] = std::min(m_placement[kPlBottom], m_placement[kPlTop] + kPanelSizeLimit);
  m_imageUsage = ar.ReadU32();
  // The stored word was a window address: it only tells that the panel was open.
  m_panelWasOpen = ar.ReadU32() != 0;
  m_panelOrder = ar.ReadI32();
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kWidgetMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t type = ar.ReadU32();
    CCustomControlObject* widget = CreateCustomControl(type);
    if (!widget) throw CArchiveException(CArchiveException::BadFormat, "unknown custom widget type");
    m_widgets.push_back(widget);
    widget->Serialize(ar, lookup);
  }
}

// --- References ---

void CCPData::Redraw(CCustomControlObject* widget, bool changed) {
  if (changed && m_pView) m_pView->RedrawControl(widget);
}

void CCPData::DetachDevice(const CDevice* device) {
  for (CCustomControlObject* w : m_widgets) {
    if (w->m_pDevice != device) continue;
    w->m_pDevice = nullptr;
    Redraw(w, true);
  }
}

void CCPData::ReleaseImage(CCCImageBase* image) {
  for (CCustomControlObject* w : m_widgets) Redraw(w, w->ReleaseImage(image));
  if (!m_pBackgroundImage || m_pBackgroundImage != image) return;
  // The whole panel showed the picture: the open view draws its background again.
  m_pBackgroundImage = nullptr;
  if (m_pView) m_pView->RebuildDisplay();
}

void CCPData::ClearPanelReference(const CUuid& panel) {
  for (CCustomControlObject* w : m_widgets) Redraw(w, w->ClearPanelReference(panel));
}

void CCPData::ClearSnapshotReference(const CUuid& snapshot) {
  for (CCustomControlObject* w : m_widgets) Redraw(w, w->ClearSnapshotReference(snapshot));
}

// --- Lookups ---

CCPData* FindCustomPanel(const ICustomPanelHost& host, const CUuid& id) {
  for (CCPData* panel : host.GetCustomPanels())
    if (panel->GetUuid() == id) return panel;
  return nullptr;
}
