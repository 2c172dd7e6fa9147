// Rows of the device properties grid as the device model fills and reads them. The grid
// control (ui) implements IDevicePropertyGrid, takes the rows a device hands to its
// FillPropertiesPane, and gives a row back to the device's OnPropertyChanged after the user
// changed it. No window code here. UI thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

// A row: name, value, description, the data word (the property id), the option texts of a
// list row, its switches, the error text of a refused change and the reference value that the
// grid restores after a refusal.
class CDeviceProperty {
 public:
  // A number, a text, a true/false value or a decimal (float rows).
  using Value = std::variant<std::int64_t, std::string, bool, float>;

  CDeviceProperty(std::string name, Value value, std::string description, std::uint32_t data = 0);

  // A masked edit row: each position of mask "D" takes one of validChars; templ shows the
  // empty positions.
  static std::unique_ptr<CDeviceProperty> MakeMaskedEdit(std::string name, std::string text, std::string description,
                                                         std::string mask, std::string templ,
                                                         std::string validChars, std::uint32_t data);

  const std::string& GetName() const { return m_name; }
  const std::string& GetDescription() const { return m_description; }
  std::uint32_t GetData() const { return m_data; }
  void SetData(std::uint32_t data) { m_data = data; }

  const Value& GetValue() const { return m_value; }
  void SetValue(Value value) { m_value = std::move(value); }
  // The value as a number (0 when it is not one), as text (empty when not text), as bool.
  std::int64_t GetNumber() const;
  std::string GetText() const;
  bool GetBool() const;
  // The value as a decimal (a number row converts; 0 otherwise).
  float GetFloat() const;

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
  // A button row shows a button and is applied when it is clicked.
  bool HasButton() const { return m_button; }
  void SetButtonMode(bool on) { m_button = on; }

  const std::string& GetErrorText() const { return m_errorText; }
  void SetErrorText(const std::string& text) { m_errorText = text; }

  const Value& GetReferenceValue() const { return m_reference; }
  void SetReferenceValue(Value value) { m_reference = std::move(value); }
  // A refused change: the value goes back to the reference value.
  void RestoreReferenceValue() { m_value = m_reference; }

  const std::string& GetEditMask() const { return m_mask; }
  const std::string& GetEditTemplate() const { return m_template; }
  const std::string& GetValidChars() const { return m_validChars; }

 private:
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

// The selected index of the row's in-place list, or -1 when the row has no list.
int GetPropertyComboSelection(const CDeviceProperty& row);

// What the grid offers the model: it takes whole groups, each shown at once.
class IDevicePropertyGrid {
 public:
  virtual ~IDevicePropertyGrid() = default;
  virtual void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) = 0;
};

