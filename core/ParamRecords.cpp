// Builders of parameter values and property rows.
#include "core/ParamRecords.h"

CParamValue MakeBoolParamValue(std::int32_t id, bool value) {
  CParamValue v;
  v.id = id;
  v.kind = ParamKind::kBool;
  v.flag = value ? 1 : 0;
  return v;
}

CParamValue MakeTextParamValue(std::int32_t id, const std::string& text) {
  CParamValue v;
  v.id = id;
  v.kind = ParamKind::kText;
  v.text = text;
  return v;
}

CParamValue MakeIntParamValue(std::int32_t id, std::int32_t value) {
  CParamValue v;
  v.id = id;
  v.kind = ParamKind::kInteger;
  v.integer = value;
  v.value = 0.0f;
  return v;
}

CParamValue MakeNoParamValue() { return CParamValue{}; }

void CPropertyValue::Clear() {
  m_data.reset();
  changed = 0;
  propertyId = 0;
  type = kPropNone;
}

std::string CPropertyValue::GetString() const {
  const auto* s = GetData<std::string>();
  return s ? *s : std::string();
}

std::int32_t CPropertyValue::GetNumber() const {
  const auto* cells = GetData<std::vector<std::int32_t>>();
  return (cells && !cells->empty()) ? cells->front() : 0;
}

namespace {
CPropertyItem MakeItem(std::int32_t propertyId, const std::string& name, const std::string& description,
                       std::uint8_t o1, std::uint8_t o2, std::uint8_t o3) {
  CPropertyItem item;
  item.name = name;
  item.description = description;
  item.value.propertyId = propertyId;
  item.option1 = o1;
  item.option2 = o2;
  item.option3 = o3;
  return item;
}
}  // namespace

CPropertyItem MakeGroupPropertyItem(const std::string& name, const std::string& description) {
  CPropertyItem item = MakeItem(0, name, description, 0, 0, 0);
  item.value.type = kPropGroup;
  return item;
}

CPropertyItem MakeTextPropertyItem(std::int32_t propertyId, std::int32_t number, const std::string& name,
                                   const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                   std::uint8_t o3) {
  CPropertyItem item = MakeItem(propertyId, name, description, o1, o2, o3);
  item.value.SetNumber(number);
  return item;
}

CPropertyItem MakeStringPropertyItem(std::int32_t propertyId, const std::string& text,
                                     const std::string& name, const std::string& description,
                                     std::uint8_t o1, std::uint8_t o2, std::uint8_t o3) {
  CPropertyItem item = MakeItem(propertyId, name, description, o1, o2, o3);
  item.value.SetString(text);
  return item;
}

CPropertyItem MakeChoicePropertyItem(std::int32_t propertyId, const CPropertyOptions& options,
                                     const std::string& name, const std::string& description,
                                     std::uint8_t o1, std::uint8_t o2, std::uint8_t o3) {
  CPropertyItem item = MakeItem(propertyId, name, description, o1, o2, o3);
  item.value.SetData(kPropOptions, options);
  return item;
}

CPropertyItem MakeSignedPropertyItem(std::int32_t propertyId, std::int32_t number, const std::string& name,
                                     const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                     std::uint8_t o3) {
  CPropertyItem item = MakeItem(propertyId, name, description, o1, o2, o3);
  item.value.SetData(kPropObject, number);
  return item;
}
