// The property list of CObjectProperties: its records (a tagged value that owns what it holds,
// a choice list, one row), their builders, and the list built from an owner's grid rows. The
// list and the grid are one path: GetProperties reads the rows that FillPropertiesPane makes,
// and ValidateProperty puts the edited value into its row and hands it to OnPropertyChanged,
// so every check and message is the grid's. The list takes what the grid takes: an edit of a
// row the grid does not show or does not enable at that moment is refused, and so is a value
// of another kind than the row's item. What a kind's list shows differently (a label, a
// description, the order or wording of a choice, a row it leaves out) is its CListForm. UI
// thread.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/draw/TextStyle.h"
#include "platform/Types.h"

class CCCImage;
class CDeviceProperty;
class IDevicePropertyGrid;

// A choice list: the selected index (kNoChoice for none) and the option texts.
struct CPropertyOptions {
  static constexpr std::uint32_t kNoChoice = 0xFFFFFFFFu;
  std::uint32_t selected = 0;
  std::vector<std::string> options;

  void Clear() { options.clear(); }
};

// Type codes of CPropertyValue and what the value owns.
enum : std::int32_t {
  kPropNone = 0,
  kPropGroup = 1,      // a group heading
  kPropArray = 2,      // an array of 32-bit numbers (one cell for a number row)
  kPropObject = 3,     // one owned object (a signed number row holds one std::int32_t)
  kPropArray4 = 4,     // an array
  kPropString = 5,     // a byte string
  kPropColour = 6,     // a CColour, all four bytes
  kPropTextStyle = 7,  // a CTextStyle
  kPropParameter = 8,  // the device and parameter a widget is bound to
  kPropBlock9 = 9,
  kPropBlock10 = 10,
  kPropBlock11 = 11,
  kPropOptions = 12,   // a choice list
  kPropObject13 = 13,  // one owned object (a float row holds one float)
  kPropImage = 14,     // a CCCImage*, not owned
};

// A tagged value that owns what it holds.
class CPropertyValue {
 public:
  std::uint8_t changed = 0;
  std::int32_t propertyId = 0;
  std::int32_t type = kPropNone;

  CPropertyValue() = default;
  CPropertyValue(const CPropertyValue&) = default;
  CPropertyValue& operator=(const CPropertyValue&) = default;
  virtual ~CPropertyValue() = default;

  // Frees what the value holds and zeroes id, type and the changed byte (a named value also
  // empties its text, whichever type it is cleared through).
  virtual void Clear();

  bool HasData() const { return m_data.has_value(); }
  template <class T>
  void SetData(std::int32_t newType, T value) {
    type = newType;
    m_data = std::move(value);
  }
  // The held object when it is of type T, else null.
  template <class T>
  const T* GetData() const {
    return std::any_cast<T>(&m_data);
  }

  void SetString(const std::string& text) { SetData(kPropString, text); }
  std::string GetString() const;
  // The number of a number row: its first cell, or the signed number (0 when it has none).
  std::int32_t GetNumber() const;
  void SetNumber(std::int32_t value) { SetData(kPropArray, std::vector<std::int32_t>{value}); }
  const CPropertyOptions* GetOptions() const { return GetData<CPropertyOptions>(); }

 private:
  std::any m_data;
};

// A property value with a text: the refusal message of ValidateProperty.
class CNamedPropertyValue : public CPropertyValue {
 public:
  std::string text;
  void Clear() override;
};

// One row of a property list. The options are flags for the consumer: the first allows typing
// a value, the second enables the row, the third gives it a button.
struct CPropertyItem {
  std::string name;
  std::string description;
  CNamedPropertyValue value;
  std::uint8_t option1 = 0;
  std::uint8_t option2 = 0;
  std::uint8_t option3 = 0;
};

CPropertyItem MakeGroupPropertyItem(const std::string& name, const std::string& description);
CPropertyItem MakeTextPropertyItem(std::int32_t propertyId, std::int32_t number, const std::string& name,
                                   const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                   std::uint8_t o3);
CPropertyItem MakeStringPropertyItem(std::int32_t propertyId, const std::string& text, const std::string& name,
                                     const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                     std::uint8_t o3);
CPropertyItem MakeChoicePropertyItem(std::int32_t propertyId, const CPropertyOptions& options,
                                     const std::string& name, const std::string& description, std::uint8_t o1,
                                     std::uint8_t o2, std::uint8_t o3);
// A signed 32-bit number (kPropObject holding one std::int32_t).
CPropertyItem MakeSignedPropertyItem(std::int32_t propertyId, std::int32_t number, const std::string& name,
                                     const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                     std::uint8_t o3);
CPropertyItem MakeColourPropertyItem(std::int32_t propertyId, CColour colour, const std::string& name,
                                     const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                     std::uint8_t o3);
CPropertyItem MakeFontPropertyItem(std::int32_t propertyId, const CTextStyle& style, const std::string& name,
                                   const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                   std::uint8_t o3);
CPropertyItem MakeImagePropertyItem(std::int32_t propertyId, CCCImage* image, const std::string& name,
                                    const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                    std::uint8_t o3);
// Readers of an edited value; a value of another kind gives the default.
CColour GetColourPropertyValue(const CPropertyValue& value);
CTextStyle GetFontPropertyValue(const CPropertyValue& value);
CCCImage* GetImagePropertyValue(const CPropertyValue& value);

// --- The list built from the grid rows ---

// One choice as the list offers it: its text, and the index of the grid's choice it stands for
// (on a true/false row 0 is false and 1 true). The index, not the text, ties the two, so each
// keeps its own wording.
struct CListChoice {
  std::string text;
  int grid = 0;
};
// The texts as choices that stand for the grid's choices in the same order.
std::vector<CListChoice> SameOrderChoices(const std::vector<std::string>& texts);

// How one row shows in a kind's list where it differs from the grid.
struct CListRowForm {
  std::uint32_t id = 0;
  const char* row = nullptr;          // the grid's label, where rows share an id
  const char* name = nullptr;         // the list's label
  const char* description = nullptr;  // the list's description
  // The list's choices in its order, where it words or orders them otherwise; empty: the grid's
  // ("Yes", "No" and true/false rows list "No" first).
  std::vector<CListChoice> choices;
  bool indexOnly = false;  // a choice listed without texts: index n stands for the grid's choice n
  // An index past the choices reaches the owner as the index one past the grid's last choice,
  // for the owner's own rule to take (elsewhere it is refused).
  bool pastEnd = false;
  bool hidden = false;  // not listed; an edit of it still goes to its row
  bool absent = false;  // not listed, and an edit of it is refused
  bool inert = false;   // an id without a row whose edit is accepted and changes nothing
  // The selected index listed, where the grid's text cannot give it (a stored value outside
  // the choices).
  std::optional<std::uint32_t> selected;
  int flags = -1;         // option1 | option2 << 8 | option3 << 16, when not the default
  std::int32_t type = 0;  // the value's type, when not the default of the row (an edit may
                          // come as either)
  // A property with no grid row that the list edits: an edit of it goes into the row this
  // makes, as the grid makes its rows. Not listed.
  std::function<std::unique_ptr<CDeviceProperty>()> rowless;
};

// A kind's list form: its row differences, and the list heading of each grid group that does
// not keep its own (an empty heading puts the rows under the heading before).
struct CListForm {
  std::vector<CListRowForm> rows;
  std::vector<std::pair<std::string, std::string>> groups;
  // The form of the row with id (and label, when the form names one).
  const CListRowForm* Find(std::uint32_t id, const std::string* label = nullptr) const;
};

using FillRowsFn = std::function<void(IDevicePropertyGrid&)>;
using CommitRowFn = std::function<bool(CDeviceProperty&)>;

// Appends the rows fill makes as list items: a heading per group, then its rows, each made by
// the item builder of its kind. A choice row lists the choice showing. Default options: a typed
// row (typing when enabled, 1, 0), any other (0, enabled, 0); the third is set on a row with a
// button.
void AppendPropertyList(const FillRowsFn& fill, const CListForm& form, std::vector<CPropertyItem>& items);
// Puts the edited value into the row of its id and commits it with commit: a refusal's message
// goes into value.text, a refill request sets value.changed. Refused without a message: an id
// with no row (but for a form's rowless and inert ids), a row the grid disables, a value of
// another kind than the row's item, a choice index past the choices (but where the form says
// pastEnd). A choice with no selection is accepted and changes nothing.
bool ValidatePropertyList(const FillRowsFn& fill, const CommitRowFn& commit, const CListForm& form,
                          CNamedPropertyValue& value);

// For an object with both grid operations.
template <class Owner>
void AppendPropertyList(Owner& owner, const CListForm& form, std::vector<CPropertyItem>& items) {
  AppendPropertyList([&](IDevicePropertyGrid& grid) { owner.FillPropertiesPane(grid); }, form, items);
}
template <class Owner>
bool ValidatePropertyList(Owner& owner, const CListForm& form, CNamedPropertyValue& value) {
  return ValidatePropertyList([&](IDevicePropertyGrid& grid) { owner.FillPropertiesPane(grid); },
                              [&](CDeviceProperty& row) { return owner.OnPropertyChanged(row); }, form, value);
}
