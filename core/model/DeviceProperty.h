// Rows of the device properties grid as the device model fills and reads them. The grid
// control (ui) implements IDevicePropertyGrid, takes the rows a device hands to its
// FillPropertiesPane, and gives a row back to the device's OnPropertyChanged after the user
// changed it. No window code here. UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/values/ParamRecords.h"

class CPropertyValue;
struct CPropertyItem;

// The type of a row's value, which decides how the text typed into the row is read back.
enum class EPropertyValueType { I2, I4, UI2, UI4, R4, R8, Text, Bool, UI1, Other };

// A value read back from typed text, in the row's value type.
struct CPropertyVariant {
  EPropertyValueType type = EPropertyValueType::Other;
  std::int64_t integer = 0;  // I2, I4, UI2, UI4, UI1
  double real = 0.0;         // R4, R8
  std::string text;          // Text
  bool flag = false;         // Bool

  bool operator==(const CPropertyVariant& o) const {
    return type == o.type && integer == o.integer && real == o.real && text == o.text && flag == o.flag;
  }
  bool operator!=(const CPropertyVariant& o) const { return !(*this == o); }
};

// The value that text stands for in a row of that type. Integers: leading blanks skipped, an
// optional sign, digits up to the first other character, cut to the type's width. Reals:
// blanks trimmed at both ends, the leading number. Text: exactly as typed. Bool: blanks
// trimmed at the right, true exactly for "True". UI1: the first character's code. Text that
// PropertyTextRefusal refuses reads as its leading number (0 without one); callers that take
// typed text refuse it first.
CPropertyVariant ReadPropertyText(EPropertyValueType type, const std::string& text);
// Why text cannot stand for a value of the type, as a refusal shows it; empty when it can. The
// integer types take the whole text (blanks around it aside) as a decimal integer that the
// type's word holds, read signed or unsigned (-2^(n-1) to 2^n - 1): "abc", "12abc", "12.5" and
// numbers the word cannot hold (4294967308 for a 32-bit row) are refused, never read as 0 or
// wrapped. The real types take the whole text as a decimal number within the type's range.
// Empty text is no number. Text, Bool, UI1 and Other take any text.
std::string PropertyTextRefusal(EPropertyValueType type, const std::string& text);
// The same words for text typed as a value of a parameter kind (ClassifyTypedValue): "Enter a
// number", "\"5x\" is not a number", "1e999 is out of range"; empty when the text is a value.
std::string ParameterTextRefusal(ParamKind kind, const std::string& text);
// The text a row shows for a value ("True"/"False" for a flag, the shortest form of a real).
std::string FormatPropertyVariant(const CPropertyVariant& value);

// A row: name, value, description, the data word (the property id), the option texts of a
// list row, its switches, the error text of a refused change and the reference value that the
// grid restores after a refusal.
class CDeviceProperty {
 public:
  // A number, a text, a true/false value or a decimal (float rows).
  using Value = std::variant<std::int64_t, std::string, bool, float>;

  CDeviceProperty(std::string name, Value value, std::string description, std::uint32_t data = 0);
  virtual ~CDeviceProperty() = default;
  CDeviceProperty(const CDeviceProperty&) = delete;
  CDeviceProperty& operator=(const CDeviceProperty&) = delete;

  // A masked edit row: each position of mask "D" takes one of validChars; templ shows the
  // empty positions.
  static std::unique_ptr<CDeviceProperty> MakeMaskedEdit(std::string name, std::string text, std::string description,
                                                         std::string mask, std::string templ,
                                                         std::string validChars, std::uint32_t data);

  const std::string& GetName() const { return m_name; }
  const std::string& GetDescription() const { return m_description; }
  std::uint32_t GetData() const { return m_data; }
  void SetData(std::uint32_t data) { m_data = data; }

  // The row's own value; while an edit is being committed, still the value before it.
  const Value& GetValue() const { return m_value; }
  void SetValue(Value value) { m_value = std::move(value); }
  // The value an owner reads (the edited value while an edit is being committed, else the
  // row's own) as a number (0 when it is not one), as text (empty when not text), as bool.
  std::int64_t GetNumber() const;
  std::string GetText() const;
  bool GetBool() const;
  // The same value as a decimal (a number row converts; 0 otherwise).
  float GetFloat() const;

  // --- An edit being committed ---
  // The grid hands the row to its owner before the row takes the edit: for that time the
  // edited value (typed text read back, or the chosen item of the row's list with its index)
  // is held beside the row's own, and the readers above read it. An owner that refuses leaves
  // the row as it was; the grid stores the edit only after an owner accepted it.
  void BeginCommit(const CPropertyVariant& typed);
  void BeginCommitChoice(int index);
  void EndCommit() { m_edited.reset(); }
  // The edited value while an edit is being committed, else the row's own.
  const Value& GetEditedValue() const { return m_edited ? *m_edited : m_value; }

  // List rows: the option texts, each one allowed.
  void AddOption(const std::string& text) { m_options.push_back(text); }
  const std::vector<std::string>& GetOptions() const { return m_options; }
  // The index the user picked in the in-place list; -1 when nothing is picked. The grid sets
  // it; choosing also makes the value the option's text.
  int GetComboSelection() const { return m_comboSelection; }
  void SetComboSelection(int index);

  bool IsAllowEdit() const { return m_allowEdit; }
  void AllowEdit(bool on) { m_allowEdit = on; }
  bool IsEnabled() const { return m_enabled; }
  void Enable(bool on) { m_enabled = on; }
  // Set-button mode: the row carries a "Set" button and reaches its owner only when that
  // button is clicked (also with its text unchanged); Enter only shows the typed text.
  bool HasButton() const { return m_button; }
  void SetButtonMode(bool on) { m_button = on; }

  const std::string& GetErrorText() const { return m_errorText; }
  void SetErrorText(const std::string& text) { m_errorText = text; }

  const Value& GetReferenceValue() const { return m_reference; }
  void SetReferenceValue(Value value) { m_reference = std::move(value); }
  // A refused change: the value goes back to the reference value.
  virtual void RestoreReferenceValue() { m_value = m_reference; }

  // The type that typed text is read back in: by default I4 for a number, Text, Bool, R4.
  EPropertyValueType GetValueType() const;
  void SetValueType(EPropertyValueType type) { m_valueType = type; }
  // The value as the grid shows it, and as a variant of the row's type.
  std::string GetValueText() const;
  CPropertyVariant GetVariant() const;
  // Stores a read-back value into the row's value.
  void SetVariant(const CPropertyVariant& value);

  // The text of the row's open in-place editor; none while the row is not being edited. The
  // grid keeps it current.
  const std::optional<std::string>& GetEditText() const { return m_editText; }
  void SetEditText(std::optional<std::string> text) { m_editText = std::move(text); }
  // The value that the in-place editor's text stands for (the row's own value without one).
  CPropertyVariant GetValueAsVariant() const;
  // Why the in-place editor's text cannot be taken (PropertyTextRefusal); empty when it can, and
  // when the text is the one the row shows.
  std::string GetEditRefusal() const;
  // True when the row's list has a picked item (any, the current one included), else when
  // the editor's text stands for another value than the row holds.
  bool HasNewValue() const;

  // Set by an owner while accepting a value when the whole grid must be filled again.
  bool IsRefresh() const { return m_refresh; }
  void SetRefresh(bool on) { m_refresh = on; }
  // A picker row: a "..." button at the right of its value runs OnClickButton (the picker of
  // the row's kind, UI thread), then the grid commits the row.
  bool HasPickerButton() const { return m_picker; }
  void SetPickerButton(bool on) { m_picker = on; }
  virtual void OnClickButton() {}
  // True only while a click on the Set button is being committed.
  bool IsInClick() const { return m_inClick; }
  void SetInClick(bool on) { m_inClick = on; }
  // The message text of a refusal; the same field as the error text.
  std::string GetMessageText() const { return m_errorText; }

  // The property list's item of a row whose value is its own (a picker row), made by the item
  // builder of its kind with the id, label, description and options already in item; false
  // when the row's plain value stands for it.
  virtual bool ToListItem(CPropertyItem& item) const {
    (void)item;
    return false;
  }
  // Takes an edited list value of the item's kind into a row whose ToListItem gives its item;
  // false when the value holds no such thing (the edit is then refused).
  virtual bool TakeListValue(const CPropertyValue& value) {
    (void)value;
    return false;
  }
  // The list value an edit came in through (ValidateProperty); null for an edit in the grid.
  // The few rules that differ between the two read it.
  const CPropertyValue* GetListValue() const { return m_listValue; }
  void SetListValue(const CPropertyValue* value) { m_listValue = value; }

  const std::string& GetEditMask() const { return m_mask; }
  const std::string& GetEditTemplate() const { return m_template; }
  const std::string& GetValidChars() const { return m_validChars; }

 private:
  // The row's value that a read-back value stands for (the row's own for a type without one).
  Value ValueOf(const CPropertyVariant& value) const;

  std::string m_name;
  Value m_value;
  std::string m_description;
  std::uint32_t m_data = 0;
  std::vector<std::string> m_options;
  int m_comboSelection = -1;
  bool m_allowEdit = true;
  bool m_enabled = true;
  bool m_button = false;
  std::string m_errorText;
  Value m_reference;
  std::string m_mask;
  std::string m_template;
  std::string m_validChars;
  std::optional<EPropertyValueType> m_valueType;
  std::optional<std::string> m_editText;
  std::optional<Value> m_edited;
  bool m_refresh = false;
  bool m_inClick = false;
  bool m_picker = false;
  const CPropertyValue* m_listValue = nullptr;
};

// A group heading with its rows, added to the grid at once.
struct CDevicePropertyGroup {
  std::string name;
  std::vector<std::unique_ptr<CDeviceProperty>> rows;

  explicit CDevicePropertyGroup(std::string n) : name(std::move(n)) {}
  CDeviceProperty& Add(std::unique_ptr<CDeviceProperty> row) {
    rows.push_back(std::move(row));
    return *rows.back();
  }
};

// A list row without free typing that shows option selected (nothing when out of range).
std::unique_ptr<CDeviceProperty> MakeChoiceRow(const std::string& name, const std::vector<const char*>& options,
                                               int selected, const std::string& description, std::uint32_t id);

// The selected index of the row's in-place list, or -1 when the row has no list.
int GetPropertyComboSelection(const CDeviceProperty& row);

// What the grid offers the model: it takes whole groups, each shown at once.
class IDevicePropertyGrid {
 public:
  virtual ~IDevicePropertyGrid() = default;
  virtual void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) = 0;
};

// An object other than a device that shows rows in the grid (a custom panel's data, a custom
// widget, or a view that stands for its panel); the grid finds it by a cast. Its handler is
// called at every commit, changed or not.
class IPropertyGridOwner {
 public:
  virtual ~IPropertyGridOwner() = default;
  virtual void FillPropertiesPane(IDevicePropertyGrid& grid) = 0;
  // True when accepted; false with the row's message text set.
  virtual bool OnPropertyChanged(CDeviceProperty& row) = 0;
};

