// Row builders that the Zel families' property pages share: grid rows, list rows and option
// lists. UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/DeviceProperty.h"
#include "core/ParamRecords.h"
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

// A choice of the list; a value a unit reported beyond the list selects none (the -1 of a
// choice).
inline CPropertyOptions Options(const std::vector<std::string>& texts, std::uint32_t selected) {
  CPropertyOptions options;
  options.options = texts;
  options.selected = selected < texts.size() ? selected : 0xFFFFFFFFu;
  return options;
}

// The property list's "General" heading with the ID, "Amp Name" and "Firmware Version" items
// and one name item a channel (property ids firstChannelId and on).
inline void AppendGeneralItems(std::vector<CPropertyItem>& items, std::int32_t idProperty, std::uint32_t deviceId,
                               std::int32_t nameProperty, const std::string& name, const std::string& firmware,
                               std::int32_t firstChannelId, const std::string* channelNames, int channels,
                               std::uint8_t edit, std::uint8_t idEdit) {
  items.push_back(MakeGroupPropertyItem("General", ""));
  items.push_back(MakeTextPropertyItem(idProperty, std::int32_t(deviceId), "ID", "Set the device ID", idEdit, 1, 0));
  items.push_back(MakeStringPropertyItem(nameProperty, name, "Amp Name", "Set the device name", edit, 1, 0));
  items.push_back(MakeStringPropertyItem(0, firmware, "Firmware Version",
                                         "The firmware version currently in the amplifier", 0, 1, 0));
  for (int n = 0; n < channels; ++n)
    items.push_back(MakeStringPropertyItem(firstChannelId + n, channelNames[n], FormatText("Channel %d Name", n + 1),
                                           FormatText("Set the name for Channel %d", n + 1), edit, 1, 0));
}

}  // namespace zelrows
