// Picker rows of the properties grid.
#include "custom/PropertyPickers.h"

#include <cstdio>

#include "custom/CustomControlObject.h"
#include "core/model/Device.h"
#include "core/model/PropertyList.h"
#include "core/file/ImageTree.h"
#include "custom/CustomPanelHost.h"
#include "core/file/TextConversion.h"
#include "core/model/UiServices.h"
#include "platform/TextFormat.h"

CPickerPropertyCtrl::CPickerPropertyCtrl(ICustomPanelHost* host, std::string name, std::string description,
                                         std::uint32_t data)
    : CDeviceProperty(std::move(name), std::string(), std::move(description), data), m_pHost(host) {
  SetPickerButton(true);
}

void CPickerPropertyCtrl::OnClickButton() {
  m_pressed = true;
  if (m_pHost && m_pHost->GetUiServices()) RunPicker(*m_pHost);
  m_pressed = false;
  ShowOwnValue();
}

void CPickerPropertyCtrl::RestoreReferenceValue() {
  RestoreFilledValue();
  ShowOwnValue();
}

CImagePropertyCtrl::CImagePropertyCtrl(ICustomPanelHost* host, CCCImageBase* image, std::string name, std::uint32_t data,
                                       std::string description)
    : CPickerPropertyCtrl(host, std::move(name), std::move(description), data) {
  m_image.Set(image);
  m_filledImage = m_image;
  ShowFilledValue();
}

void CImagePropertyCtrl::CNamedImage::Set(CCCImageBase* image) {
  node = image;
  handle = image ? image->GetHandle() : 0;
}

bool CImagePropertyCtrl::CNamedImage::Forget(std::uint64_t ending) {
  if (!node || handle != ending) return false;
  node = nullptr;
  handle = 0;
  return true;
}

std::string CImagePropertyCtrl::FormatProperty() const {
  const CCCImageBase* image = m_image.node;
  if (!image) return "No Image";
  // A picture that did not decode keeps its name, and the row says what is wrong with it.
  const bool damaged = !image->IsDirectory() && static_cast<const CCCImage*>(image)->IsDamaged();
  return damaged ? image->m_name + kDamagedImageSuffix : image->m_name;
}

bool CImagePropertyCtrl::ForgetObject(std::uint64_t handle) {
  const bool shown = m_image.Forget(handle);
  const bool filled = m_filledImage.Forget(handle);
  if (shown || filled) ShowOwnValue();
  return shown || filled;
}

void CImagePropertyCtrl::RunPicker(ICustomPanelHost& host) {
  CCCImageBase* chosen = m_image.node;
  if (host.PickImage(chosen)) m_image.Set(chosen);
}

CParameterPropertyCtrl::CParameterPropertyCtrl(ICustomPanelHost* host, CCustomControlObject* widget, std::string name)
    : CPickerPropertyCtrl(host, std::move(name), "The parameter that this control is linked to", 3),
      m_pWidget(widget) {
  if (m_pWidget) {
    m_widgetHandle = m_pWidget->GetHandle();
    m_pFilledDevice = m_pWidget->m_pDevice;
    m_filledDeviceHandle = m_pFilledDevice ? m_pFilledDevice->GetHandle() : 0;
    m_filledParameterId = m_pWidget->m_parameterId;
  }
  ShowFilledValue();
}

bool CParameterPropertyCtrl::ForgetObject(std::uint64_t handle) {
  if (m_pWidget && handle == m_widgetHandle) {
    m_pWidget = nullptr;
    m_pFilledDevice = nullptr;
    ShowOwnValue();
    return true;
  }
  if (m_pFilledDevice && handle == m_filledDeviceHandle) {
    // The value shown stays until the row is built again: the widget may still name the
    // ending device, which is not read now.
    m_pFilledDevice = nullptr;
    m_filledParameterId = 0;
    return true;
  }
  return false;
}

void CParameterPropertyCtrl::RestoreFilledValue() {
  if (!m_pWidget) return;
  m_pWidget->m_pDevice = m_pFilledDevice;
  m_pWidget->m_parameterId = m_filledParameterId;
}

bool CParameterPropertyCtrl::ChangedBinding() const {
  return m_pWidget && (m_pWidget->m_pDevice != m_pFilledDevice || m_pWidget->m_parameterId != m_filledParameterId);
}

std::string CParameterPropertyCtrl::FormatProperty() const {
  if (!m_pWidget || !m_pWidget->m_pDevice) return "No Parameter";
  CDevice* device = m_pWidget->m_pDevice;
  return device->GetName() + " - " + device->GetParameterAt(int(m_pWidget->m_parameterId)).name;
}

void CParameterPropertyCtrl::RunPicker(ICustomPanelHost& host) {
  if (m_pWidget) host.PickParameter(m_pWidget);
}

CColourPropertyCtrl::CColourPropertyCtrl(ICustomPanelHost* host, std::uint32_t colour, std::string name, std::uint32_t data,
                                         std::string description)
    : CPickerPropertyCtrl(host, std::move(name), std::move(description), data),
      m_colour(colour),
      m_filledColour(colour) {
  ShowFilledValue();
}

std::string CColourPropertyCtrl::FormatProperty() const {
  return FormatText("%02x%02x%02x", unsigned(m_colour & 0xFF), unsigned((m_colour >> 8) & 0xFF),
                    unsigned((m_colour >> 16) & 0xFF));
}

std::uint32_t CColourPropertyCtrl::ToColorRef(const CColour& colour) {
  return std::uint32_t(colour.R()) | std::uint32_t(colour.G()) << 8 | std::uint32_t(colour.B()) << 16;
}

CColour CColourPropertyCtrl::FromColorRef(std::uint32_t colour) {
  return CColour::FromArgb(255, std::uint8_t(colour), std::uint8_t(colour >> 8), std::uint8_t(colour >> 16));
}

void CColourPropertyCtrl::RunPicker(ICustomPanelHost& host) {
  std::uint32_t chosen = m_colour;
  if (host.GetUiServices()->PickColour(chosen)) m_colour = chosen & 0xFFFFFF;
}

CFontPropertyCtrl::CFontPropertyCtrl(ICustomPanelHost* host, const CLogFont& font, std::string name)
    : CPickerPropertyCtrl(host, std::move(name), std::string(), 0), m_logFont(font), m_filledFont(font) {
  ShowFilledValue();
}

std::string CFontPropertyCtrl::FormatProperty() const { return CStringToUtf8(m_logFont.faceName); }

void CFontPropertyCtrl::RunPicker(ICustomPanelHost& host) {
  CLogFont chosen = m_logFont;
  if (host.GetUiServices()->PickFont(chosen)) m_logFont = chosen;
}

// --- The property list's items and edited values ---

bool CImagePropertyCtrl::ToListItem(CPropertyItem& item) const {
  CCCImageBase* node = m_image.node;
  CCCImage* image = node && !node->IsDirectory() ? static_cast<CCCImage*>(node) : nullptr;
  item = MakeImagePropertyItem(item.value.propertyId, image, item.name, item.description, item.option1, item.option2,
                               item.option3);
  return true;
}

bool CImagePropertyCtrl::TakeListValue(const CPropertyValue& value) {
  CCCImage* const* image = value.GetData<CCCImage*>();
  if (!image) return false;
  m_image.Set(*image);
  return true;
}

bool CParameterPropertyCtrl::ToListItem(CPropertyItem& item) const {
  const CParameterRef binding{m_pWidget, m_pWidget ? m_pWidget->m_pDevice : nullptr,
                              m_pWidget ? m_pWidget->m_parameterId : 0};
  item = MakeParameterPropertyItem(binding, item.name, item.description, item.option1, item.option2, item.option3);
  return true;
}

bool CParameterPropertyCtrl::TakeListValue(const CPropertyValue& value) {
  return value.GetData<CParameterRef>() != nullptr;
}

bool CColourPropertyCtrl::ToListItem(CPropertyItem& item) const {
  item = MakeColourPropertyItem(item.value.propertyId, m_fullColour ? *m_fullColour : FromColorRef(m_colour), item.name,
                                item.description, item.option1, item.option2, item.option3);
  return true;
}

bool CColourPropertyCtrl::TakeListValue(const CPropertyValue& value) {
  const CColour* colour = value.GetData<CColour>();
  if (!colour) return false;
  m_fullColour = *colour;
  m_colour = ToColorRef(*colour);
  return true;
}

bool CColourPropertyCtrl::EditedColour(CColour current, CColour& edited) const {
  if (GetListValue() && m_fullColour) {
    edited = *m_fullColour;
    return edited.argb != current.argb;
  }
  edited = FromColorRef(m_colour);
  return (edited.argb & 0xFFFFFFu) != (current.argb & 0xFFFFFFu);
}

bool CFontPropertyCtrl::ToListItem(CPropertyItem& item) const {
  CTextStyle style;
  if (m_style)
    style = *m_style;
  else
    style.FromLogFont(m_logFont);
  item = MakeFontPropertyItem(item.value.propertyId, style, item.name, item.description, item.option1, item.option2,
                              item.option3);
  return true;
}

bool CFontPropertyCtrl::TakeListValue(const CPropertyValue& value) {
  const CTextStyle* style = value.GetData<CTextStyle>();
  if (!style) return false;
  m_style = *style;
  m_style->ToLogFont(m_logFont);
  return true;
}
