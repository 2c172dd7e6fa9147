// The interface of everything that the properties pane and the clipboard edit:
// devices, custom widgets and custom-panel data.
#pragma once

#include <cstdint>
#include <vector>

#include "core/model/PropertyList.h"
#include "core/values/ParamRecords.h"

class CObjectProperties {
 public:
  virtual ~CObjectProperties() = default;

  // Appends the object's property list (a group heading, then the rows under it); the caller
  // owns the items.
  virtual void GetProperties(std::vector<CPropertyItem>& items) = 0;
  // Checks one edited value and applies it when acceptable. On a refusal returns false with
  // the message for the user, if any, in value.text.
  virtual bool ValidateProperty(CNamedPropertyValue& value) = 0;

  // command: 0 for the whole object, or the menu command that asked (for example a channel copy).
  virtual void CopyToClipboard(std::uint32_t command) = 0;
  virtual bool CanCopy(std::uint32_t command) = 0;
  virtual void PasteFromClipboard(std::uint32_t command) = 0;
  virtual bool CanPaste(std::uint32_t command) = 0;
  // The registered clipboard format of the object's family, 0 when it has none.
  virtual std::uint32_t GetClipboardFormat() = 0;
};
