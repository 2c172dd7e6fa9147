// Row builders that the Zel families' property pages share: grid rows and texts with a number.
// UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/model/DeviceProperty.h"
#include "core/values/ParamRecords.h"
#include "platform/TextFormat.h"

namespace zelrows {

// Property id of the rows that only show a value.
inline constexpr std::uint32_t kZelPropReadOnly = 0;

// The texts of indexes 0 to count - 1.
inline std::vector<std::string> Texts(std::string (*text)(std::uint32_t), std::uint32_t count) {
  std::vector<std::string> out;
  for (std::uint32_t i = 0; i < count; ++i) out.push_back(text(i));
  return out;
}

// A grid row, shown disabled without the right to edit.
inline std::unique_ptr<CDeviceProperty> Row(const std::string& name, CDeviceProperty::Value value,
                                            const std::string& text, std::uint32_t id, bool enabled) {
  auto row = std::make_unique<CDeviceProperty>(name, std::move(value), text, id);
  row->Enable(enabled);
  return row;
}

// A grid row that offers only its options.
inline std::unique_ptr<CDeviceProperty> ListRow(const std::string& name, const std::string& shown,
                                                const std::string& text, std::uint32_t id,
                                                const std::vector<std::string>& options, bool enabled) {
  auto row = Row(name, CDeviceProperty::Value(shown), text, id, enabled);
  for (const std::string& option : options) row->AddOption(option);
  row->AllowEdit(false);
  return row;
}

}  // namespace zelrows
