// A properties grid for tests: keeps the groups an object fills and finds their rows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/model/DeviceProperty.h"

// Takes the groups an object fills, as the properties pane would.
class CCollectingGrid : public IDevicePropertyGrid {
 public:
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override { groups.push_back(std::move(group)); }
  // Group names in brackets, each followed by its rows' names.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& group : groups) {
      names.push_back("[" + group->name + "]");
      for (const auto& row : group->rows) names.push_back(row->GetName());
    }
    return names;
  }
  CDeviceProperty* Row(std::uint32_t id) const {
    for (const auto& group : groups)
      for (const auto& row : group->rows)
        if (row->GetData() == id) return row.get();
    return nullptr;
  }
  CDeviceProperty* Find(const std::string& name) const {
    for (const auto& group : groups)
      for (const auto& row : group->rows)
        if (row->GetName() == name) return row.get();
    return nullptr;
  }
  std::vector<std::unique_ptr<CDevicePropertyGroup>> groups;
};
