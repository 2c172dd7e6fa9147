// Device properties grid rows.
#include "core/DeviceProperty.h"

CDeviceProperty::CDeviceProperty(std::string name, Value value, std::string description, std::uint32_t data)
    : m_name(std::move(name)), m_value(value), m_description(std::move(description)), m_data(data), m_reference(value) {}

std::unique_ptr<CDeviceProperty> CDeviceProperty::MakeMaskedEdit(std::string name, std::string text,
                                                                 std::string description, std::string mask,
                                                                 std::string templ, std::string validChars,
                                                                 std::uint32_t data) {
  auto row = std::make_unique<CDeviceProperty>(std::move(name), Value(std::move(text)), std::move(description), data);
  row->m_mask = std::move(mask);
  row->m_template = std::move(templ);
  row->m_validChars = std::move(validChars);
  return row;
}

std::int64_t CDeviceProperty::GetNumber() const {
  const auto* n = std::get_if<std::int64_t>(&m_value);
  return n ? *n : 0;
}

std::string CDeviceProperty::GetText() const {
  const auto* s = std::get_if<std::string>(&m_value);
  return s ? *s : std::string();
}

bool CDeviceProperty::GetBool() const {
  const auto* b = std::get_if<bool>(&m_value);
  return b && *b;
}

float CDeviceProperty::GetFloat() const {
  if (const auto* f = std::get_if<float>(&m_value)) return *f;
  if (const auto* n = std::get_if<std::int64_t>(&m_value)) return float(*n);
  return 0.0f;
}

void CDeviceProperty::SetComboSelection(int index) {
  m_comboSelection = index >= 0 && index < int(m_options.size()) ? index : -1;
  if (m_comboSelection >= 0) m_value = m_options[std::size_t(m_comboSelection)];
}

int GetPropertyComboSelection(const CDeviceProperty& row) {
  return row.GetOptions().empty() ? -1 : row.GetComboSelection();
}

