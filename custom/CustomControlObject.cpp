// The widget base: its record, stream record, sizing rule and bound parameter; the factory
// of widget kinds; the shared pieces of the kinds' records.
#include "custom/CustomControlObject.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "custom/CPData.h"
#include "core/file/DataStream.h"
#include "core/model/Device.h"
#include "core/file/ImageTree.h"
#include "custom/PropertyPickers.h"
#include "custom/CustomPanelHost.h"
#include "core/file/TextConversion.h"
#include "core/draw/TextStyle.h"
#include "platform/Archive.h"
#include "platform/Graphics.h"
#include "platform/Image.h"
#include "platform/TextFormat.h"

namespace {

constexpr std::uint32_t kBaseRecordVersion = 1;

std::map<std::uint32_t, CustomControlCreator>& Creators() {
  static std::map<std::uint32_t, CustomControlCreator> creators;
  return creators;
}

}  // namespace

CCustomControlObject::CCustomControlObject(const CCustomControlObject& source)
    : CObjectProperties(source), m_rect(source.m_rect), m_pView(source.m_pView), m_hitTest(source.m_hitTest) {}

CCPData* CCustomControlObject::GetPanel() const { return m_pView ? m_pView->GetPanelData() : nullptr; }

bool CCustomControlObject::InDesignMode() const {
  const CCPData* panel = GetPanel();
  return panel && panel->GetOwner() && panel->GetOwner()->GetDesignMode() == 1;
}

bool CCustomControlObject::CurrentUserMayUse() const {
  return !ChangesDevice() || m_pDevice->Gate().MayCurrentUserChange(int(m_parameterId));
}

std::string CCustomControlObject::RightsRefusal() const {
  return ChangesDevice() ? m_pDevice->Gate().RightsRefusalFor(int(m_parameterId)) : std::string();
}

std::string CCustomControlObject::PressRefusal() const {
  if (!TakesPresses() || InDesignMode()) return std::string();
  if (std::string refusal = RightsRefusal(); !refusal.empty()) return refusal;
  if (ChangesDevice() && IsUnitAway()) return kNotConnectedRefusal;
  return std::string();
}

bool CCustomControlObject::IsRefusedToUser() const {
  return TakesPresses() && !InDesignMode() && !RightsRefusal().empty();
}

void CCustomControlObject::FillPropertiesPane(IDevicePropertyGrid& grid) {
  auto general = std::make_unique<CDevicePropertyGroup>("General");
  general->Add(std::make_unique<CDeviceProperty>("Position", WidgetPositionText(m_rect),
                                                 "Co-ordinates of the top left corner of the control",
                                                 kWidgetPositionRow))
      .AllowEdit(false);
  general->Add(std::make_unique<CDeviceProperty>("Size", WidgetSizeText(m_rect), "Size of the control", kWidgetSizeRow))
      .AllowEdit(false);
  grid.AddGroup(std::move(general));
  const std::uint32_t type = GetControlType();
  if (type == kControlBitmap || type == kControlButton) return;
  auto parameter = std::make_unique<CDevicePropertyGroup>("Parameter");
  CCPData* panel = GetPanel();
  parameter->Add(std::make_unique<CParameterPropertyCtrl>(panel ? panel->GetOwner() : nullptr, this, "Parameter"))
      .AllowEdit(false);
  grid.AddGroup(std::move(parameter));
}

bool CCustomControlObject::OnPropertyChanged(CDeviceProperty& row) {
  switch (row.GetData()) {
    case 1:
    case 2: return true;
    case 3: {
      if (const CPropertyValue* listed = row.GetListValue()) {
        const CParameterRef chosen = GetPropertyValue(*listed);
        if (chosen.device == m_pDevice && chosen.parameterId == m_parameterId) return true;
        if (!MayBindTo(chosen)) return false;
        m_pDevice = chosen.device;
        m_parameterId = chosen.parameterId;
        row.SetRefresh(true);
      }
      RefreshState();
      CCPData* panel = GetPanel();
      if (panel && panel->GetOwner()) panel->GetOwner()->SetModified();
      return true;
    }
    default: return false;
  }
}

bool CCustomControlObject::MayBindTo(const CParameterRef& binding) const {
  // No device: the widget is unbound, as the parameter picker leaves it.
  if (!binding.device) return binding.parameterId == 0;
  const CCPData* panel = GetPanel();
  const ICustomPanelHost* host = panel ? panel->GetOwner() : nullptr;
  if (!host || host->GetDeviceIndex(binding.device) < 0) return false;
  // A parameter the picker would offer for this kind of widget.
  std::vector<CParamInfo> offered;
  binding.device->ListParameters(int(GetControlType()), offered);
  return std::any_of(offered.begin(), offered.end(),
                     [&](const CParamInfo& info) { return std::uint32_t(info.id) == binding.parameterId; });
}

void CCustomControlObject::GetProperties(std::vector<CPropertyItem>& items) {
  AppendPropertyList(*this, ListForm(), items);
}

bool CCustomControlObject::ValidateProperty(CNamedPropertyValue& value) {
  return ValidatePropertyList(*this, ListForm(), value);
}

CPropertyItem MakeParameterPropertyItem(const CParameterRef& parameter, const std::string& name,
                                        const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                        std::uint8_t o3) {
  CPropertyItem item{name, description, {}, o1, o2, o3};
  item.value.propertyId = 3;
  item.value.SetData(kPropParameter, parameter);
  return item;
}

CParameterRef GetPropertyValue(const CPropertyValue& value) {
  const CParameterRef* parameter = value.GetData<CParameterRef>();
  return parameter ? *parameter : CParameterRef{};
}

void CCustomControlObject::CopyToClipboard(std::uint32_t command) {
  if (CCPData* panel = GetPanel()) panel->CopyToClipboard(command);
}

bool CCustomControlObject::CanCopy(std::uint32_t command) {
  CCPData* panel = GetPanel();
  return panel && panel->CanCopy(command);
}

void CCustomControlObject::PasteFromClipboard(std::uint32_t command) {
  if (CCPData* panel = GetPanel()) panel->PasteFromClipboard(command);
}

bool CCustomControlObject::CanPaste(std::uint32_t command) {
  CCPData* panel = GetPanel();
  return panel && panel->CanPaste(command);
}

std::uint32_t CCustomControlObject::GetClipboardFormat() {
  CCPData* panel = GetPanel();
  return panel ? panel->GetClipboardFormat() : 0;
}

void CCustomControlObject::Serialize(CArchive& ar, const CRecordLookup& lookup) {
  if (ar.IsStoring()) {
    ar.WriteU32(kBaseRecordVersion);
    ar.WriteI32(m_rect.left);
    ar.WriteI32(m_rect.right);
    ar.WriteI32(m_rect.top);
    ar.WriteI32(m_rect.bottom);
    CCPData* panel = GetPanel();
    CUuid panelId = panel ? panel->GetUuid() : CUuid{};
    ArchiveUuid(ar, panelId);
    CUuid deviceId = m_pDevice ? m_pDevice->GetUuid() : CUuid{};
    ArchiveUuid(ar, deviceId);
    ar.WriteU32(m_parameterId);
    ar.WriteBool(m_hitTest);
    return;
  }
  // Reading on after a record of another layout would take its bytes for the next fields.
  ReadRecordVersion(ar, kBaseRecordVersion, kBaseRecordVersion, "widget");
  const std::int32_t left = ar.ReadI32();
  const std::int32_t right = ar.ReadI32();
  const std::int32_t top = ar.ReadI32();
  const std::int32_t bottom = ar.ReadI32();
  m_rect = HoldPanelRect(left, top, right, bottom);
  CUuid panelId;
  ArchiveUuid(ar, panelId);
  CUuid deviceId;
  ArchiveUuid(ar, deviceId);
  CCPData* panel = panelId.IsNil() ? nullptr : lookup.FindPanel(panelId);
  m_pView = panel ? panel->m_pView : nullptr;
  m_pDevice = deviceId.IsNil() ? nullptr : lookup.FindDevice(deviceId);
  m_parameterId = ar.ReadU32();
  m_hitTest = ar.ReadBool();
}

void CCustomControlObject::SerializeStream(CDataStream& ds, const CRecordLookup& lookup) {
  try {
    if (!ds.Version(kBaseRecordVersion)) return;
    CRect rect = m_rect;
    StreamRect(ds, rect);
    CCPData* panel = GetPanel();
    CUuid panelId = panel ? panel->GetUuid() : CUuid{};
    StreamUuid(ds, panelId);
    CUuid deviceId = m_pDevice ? m_pDevice->GetUuid() : CUuid{};
    StreamUuid(ds, deviceId);
    std::uint32_t parameterId = m_parameterId;
    ds.U32(parameterId);
    std::uint8_t hitTest = m_hitTest ? 1 : 0;
    ds.U8(hitTest);
    if (ds.IsLoading()) {
      m_rect = HoldPanelRect(rect.left, rect.top, rect.right, rect.bottom);
      CCPData* found = panelId.IsNil() ? nullptr : lookup.FindPanel(panelId);
      m_pView = found ? found->m_pView : nullptr;
      m_pDevice = deviceId.IsNil() ? nullptr : lookup.FindDevice(deviceId);
      m_parameterId = parameterId;
      m_hitTest = hitTest != 0;
    }
  } catch (const CStreamError&) {
  }
}

void CCustomControlObject::RefreshState() {
  const CRect dirty = OnParameterUpdate(GetParameterValue());
  if (m_pView && dirty.Width() != 0 && dirty.Height() != 0) m_pView->RedrawRect(dirty);
}

CRect CCustomControlObject::AdjustSizingRect(const CRect& rect, int handle) const {
  CRect r = rect;
  const bool left = handle == 1 || handle == 5 || handle == 7;
  const bool right = handle == 2 || handle == 6 || handle == 8;
  const bool top = handle == 3 || handle == 5 || handle == 6;
  const bool bottom = handle == 4 || handle == 7 || handle == 8;
  if (left && r.right - r.left < kMinControlSize) r.left = r.right - kMinControlSize;
  if (right && r.right - r.left < kMinControlSize) r.right = r.left + kMinControlSize;
  if (top && r.bottom - r.top < kMinControlSize) r.top = r.bottom - kMinControlSize;
  if (bottom && r.bottom - r.top < kMinControlSize) r.bottom = r.top + kMinControlSize;
  return r;
}

CParamInfo CCustomControlObject::GetDrawnParameterInfo(std::uint8_t& shownInactive) const {
  if (m_pDevice) {
    const CParamInfo info = m_pDevice->GetParameterAt(int(m_parameterId));
    // Online with the unit away, a setting takes no change: the widget shows what the device
    // holds and ignores input until the unit is back. In design mode the widget changes no
    // setting, and is drawn whole so that the person sees what they place.
    shownInactive = AwayFor(info) ? 1 : info.inactive;
    return info;
  }
  CParamInfo info;
  info.name = "NULL";
  shownInactive = info.inactive;
  return info;
}

CParamInfo CCustomControlObject::GetParameterInfo() const {
  std::uint8_t shownInactive = 0;
  CParamInfo info = GetDrawnParameterInfo(shownInactive);
  info.inactive = shownInactive;
  return info;
}

bool CCustomControlObject::IsUnitAway() const {
  // The cheap questions first: this runs at every draw of a bound widget.
  if (!m_pDevice || !m_pDevice->HeldValues().IsAwayOnline() || InDesignMode()) return false;
  return AwayFor(m_pDevice->GetParameterAt(int(m_parameterId)));
}

bool CCustomControlObject::AwayFor(const CParamInfo& info) const {
  return m_pDevice && m_pDevice->HeldValues().IsAwayOnline() && !InDesignMode() && !(info.options & kParamOptionReadOnly);
}

namespace {
// A widget whose unit is away: each pixel of its drawing in the grey of its brightness, at
// 55 % of its opacity. A widget the current user may not use: each pixel of its drawing under
// the dark shade of the device panels' locked controls (a third of its colour over near black).
CColourMatrix RefusedLook(bool away, bool refusedToUser) {
  CColourMatrix look = CColourMatrix::Identity();
  if (away) {
    look = CColourMatrix{};
    constexpr float kWeights[3] = {0.30f, 0.59f, 0.11f};
    for (int from = 0; from < 3; ++from)
      for (int to = 0; to < 3; ++to) look.m[from][to] = kWeights[from];
    look.m[3][3] = 0.55f;
    look.m[4][4] = 1.0f;
  }
  if (refusedToUser) {
    constexpr float kKept = 1.0f - 0xA8 / 255.0f;
    constexpr float kShade = (0xA8 / 255.0f) * (0x18 / 255.0f);
    for (int from = 0; from < 3; ++from)
      for (int to = 0; to < 3; ++to) look.m[from][to] *= kKept;
    for (int to = 0; to < 3; ++to) look.m[4][to] = kShade;
  }
  return look;
}
}  // namespace

void CCustomControlObject::DrawInPanel(Graphics& graphics, const CRect& clip, bool designMode) {
  const bool away = IsUnitAway();
  const bool refusedToUser = IsRefusedToUser();
  if (!away && !refusedToUser) {
    Draw(graphics, clip, designMode);
    return;
  }
  // The drawing is made on a layer of the part being repainted, then laid on the panel.
  const CRect drawn = GetDrawnRect();
  const CRect area{std::max(drawn.left, clip.left), std::max(drawn.top, clip.top), std::min(drawn.right, clip.right),
                   std::min(drawn.bottom, clip.bottom)};
  if (area.right <= area.left || area.bottom <= area.top) return;
  CImage layer(area.Width(), area.Height());
  {
    Graphics onLayer(layer);
    onLayer.TranslateTransform(-float(area.left), -float(area.top));
    Draw(onLayer, area, designMode);
  }
  const CColourMatrix look = RefusedLook(away, refusedToUser);
  graphics.DrawImage(layer, CRectF::FromRect(area), CRectF{0.0f, 0.0f, float(area.Width()), float(area.Height())},
                     &look);
}

CParamValue CCustomControlObject::GetParameterValue() const {
  if (m_pDevice) return m_pDevice->GetCurrentValue(int(m_parameterId));
  return CParamValue{};
}

std::int32_t ClampPanelCoordinate(std::int64_t value) {
  return std::int32_t(std::clamp<std::int64_t>(value, -kPanelCoordinateLimit, kPanelCoordinateLimit));
}

CRect HoldPanelRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
  auto hold = [](std::int64_t& a, std::int64_t& b) {
    const std::int64_t low = std::min(a, b), high = std::max(a, b);
    std::int64_t shift = 0;
    if (high - low <= 2 * std::int64_t(kPanelCoordinateLimit)) {
      if (high > kPanelCoordinateLimit) shift = kPanelCoordinateLimit - high;
      if (low < -kPanelCoordinateLimit) shift = -kPanelCoordinateLimit - low;
    }
    a += shift;
    b += shift;
  };
  hold(left, right);
  hold(top, bottom);
  return CRect{ClampPanelCoordinate(left), ClampPanelCoordinate(top), ClampPanelCoordinate(right),
               ClampPanelCoordinate(bottom)};
}

std::int32_t ClampPanelLength(std::int64_t value) {
  return std::int32_t(std::clamp<std::int64_t>(value, 0, kPanelCoordinateLimit));
}

void DeleteCustomControlObjects(std::vector<CCustomControlObject*>& widgets) {
  for (CCustomControlObject* w : widgets) delete w;
  widgets.clear();
}

// --- Factory ---

void RegisterCustomControl(std::uint32_t controlType, CustomControlCreator creator) {
  Creators()[controlType] = creator;
}

CCustomControlObject* CreateCustomControl(std::uint32_t controlType) {
  auto it = Creators().find(controlType);
  return it == Creators().end() ? nullptr : it->second();
}

// --- Record helpers ---

void ArchiveColour(CArchive& ar, CColour& colour) {
  if (ar.IsStoring())
    ar.WriteU32(colour.argb);
  else
    colour.argb = ar.ReadU32();
}

void ArchiveTextStyle(CArchive& ar, CTextStyle& style, std::optional<CLogFont>& stored) {
  if (ar.IsStoring()) {
    // The record read last is written again while it still gives this style, so that the
    // fields the style does not keep survive a round trip.
    CLogFont lf;
    bool same = false;
    if (stored) {
      CTextStyle fromStored;
      fromStored.FromLogFont(*stored);
      fromStored.colour = style.colour;
      same = fromStored == style && fromStored.weight == style.weight;
    }
    if (same)
      lf = *stored;
    else
      style.ToLogFont(lf);
    ar.WriteI32(lf.height);
    ar.WriteI32(lf.width);
    ar.WriteI32(lf.escapement);
    ar.WriteI32(lf.orientation);
    ar.WriteI32(lf.weight);
    for (std::uint8_t b : {lf.italic, lf.underline, lf.strikeOut, lf.charSet, lf.outPrecision, lf.clipPrecision,
                           lf.quality, lf.pitchAndFamily})
      ar.WriteU8(b);
    ar.WriteString(CStringToUtf8(lf.faceName));
    return;
  }
  CLogFont lf;
  lf.height = ar.ReadI32();
  lf.width = ar.ReadI32();
  lf.escapement = ar.ReadI32();
  lf.orientation = ar.ReadI32();
  lf.weight = ar.ReadI32();
  for (std::uint8_t* b : {&lf.italic, &lf.underline, &lf.strikeOut, &lf.charSet, &lf.outPrecision, &lf.clipPrecision,
                          &lf.quality, &lf.pitchAndFamily})
    *b = ar.ReadU8();
  // The face field holds 31 characters; a longer stored name is cut there.
  lf.faceName = Utf8ToCString(ar.ReadString()).substr(0, kLogFontFaceMax);
  // The colour is not part of the record: the style keeps its own.
  const CColour colour = style.colour;
  style.FromLogFont(lf);
  style.colour = colour;
  stored = lf;
}

bool ReleaseImageRef(CCCImage*& ref, const CCCImageBase* image) {
  if (!ref || ref != image) return false;
  ref = nullptr;
  return true;
}

void ArchiveImageRef(CArchive& ar, CCCImage*& image, const CRecordLookup& lookup) {
  CUuid id = image ? image->GetId() : CUuid{};
  ArchiveUuid(ar, id);
  if (ar.IsLoading()) image = id.IsNil() ? nullptr : lookup.FindImage(id);
}

bool UnionRects(CRect& out, const CRect& a, const CRect& b) {
  out = b;
  if (b.left == b.right || b.top == b.bottom) {
    out = a;
  } else {
    out.left = std::min(out.left, a.left);
    out.top = std::min(out.top, a.top);
    out.right = std::max(out.right, a.right);
    out.bottom = std::max(out.bottom, a.bottom);
  }
  return out.left != out.right && out.top != out.bottom;
}
