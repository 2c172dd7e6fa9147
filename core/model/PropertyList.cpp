// Property list records, their builders, and the list built from grid rows.
#include "core/model/PropertyList.h"

#include <algorithm>
#include <memory>

#include "core/model/DeviceProperty.h"

void CPropertyValue::Clear() {
  m_data.reset();
  changed = 0;
  propertyId = 0;
  type = kPropNone;
}

void CNamedPropertyValue::Clear() {
  CPropertyValue::Clear();
  text.clear();
}

std::string CPropertyValue::GetString() const {
  const auto* s = GetData<std::string>();
  return s ? *s : std::string();
}

std::int32_t CPropertyValue::GetNumber() const {
  if (const auto* cells = GetData<std::vector<std::int32_t>>()) return cells->empty() ? 0 : cells->front();
  const auto* number = GetData<std::int32_t>();
  return number ? *number : 0;
}

namespace {
template <class T>
CPropertyItem MakeItem(std::int32_t propertyId, std::int32_t type, T data, const std::string& name,
                       const std::string& description, std::uint8_t o1, std::uint8_t o2, std::uint8_t o3) {
  CPropertyItem item{name, description, {}, o1, o2, o3};
  item.value.propertyId = propertyId;
  item.value.SetData(type, std::move(data));
  return item;
}
}  // namespace

CPropertyItem MakeGroupPropertyItem(const std::string& name, const std::string& description) {
  CPropertyItem item{name, description, {}, 0, 0, 0};
  item.value.type = kPropGroup;
  return item;
}

CPropertyItem MakeTextPropertyItem(std::int32_t propertyId, std::int32_t number, const std::string& name,
                                   const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                   std::uint8_t o3) {
  return MakeItem(propertyId, kPropArray, std::vector<std::int32_t>{number}, name, description, o1, o2, o3);
}

CPropertyItem MakeStringPropertyItem(std::int32_t propertyId, const std::string& text, const std::string& name,
                                     const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                     std::uint8_t o3) {
  return MakeItem(propertyId, kPropString, text, name, description, o1, o2, o3);
}

CPropertyItem MakeChoicePropertyItem(std::int32_t propertyId, const CPropertyOptions& options,
                                     const std::string& name, const std::string& description, std::uint8_t o1,
                                     std::uint8_t o2, std::uint8_t o3) {
  return MakeItem(propertyId, kPropOptions, options, name, description, o1, o2, o3);
}

CPropertyItem MakeSignedPropertyItem(std::int32_t propertyId, std::int32_t number, const std::string& name,
                                     const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                     std::uint8_t o3) {
  return MakeItem(propertyId, kPropObject, number, name, description, o1, o2, o3);
}

CPropertyItem MakeColourPropertyItem(std::int32_t propertyId, CColour colour, const std::string& name,
                                     const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                     std::uint8_t o3) {
  return MakeItem(propertyId, kPropColour, colour, name, description, o1, o2, o3);
}

CPropertyItem MakeFontPropertyItem(std::int32_t propertyId, const CTextStyle& style, const std::string& name,
                                   const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                   std::uint8_t o3) {
  return MakeItem(propertyId, kPropTextStyle, style, name, description, o1, o2, o3);
}

CPropertyItem MakeImagePropertyItem(std::int32_t propertyId, CCCImage* image, const std::string& name,
                                    const std::string& description, std::uint8_t o1, std::uint8_t o2,
                                    std::uint8_t o3) {
  return MakeItem(propertyId, kPropImage, image, name, description, o1, o2, o3);
}

CColour GetColourPropertyValue(const CPropertyValue& value) {
  const CColour* colour = value.GetData<CColour>();
  return colour ? *colour : CColour{};
}

CTextStyle GetFontPropertyValue(const CPropertyValue& value) {
  const CTextStyle* style = value.GetData<CTextStyle>();
  return style ? *style : CTextStyle{};
}

CCCImage* GetImagePropertyValue(const CPropertyValue& value) {
  CCCImage* const* image = value.GetData<CCCImage*>();
  return image ? *image : nullptr;
}

// --- The list built from the grid rows ---

std::vector<CListChoice> SameOrderChoices(const std::vector<std::string>& texts) {
  std::vector<CListChoice> choices;
  for (std::size_t i = 0; i < texts.size(); ++i) choices.push_back({texts[i], int(i)});
  return choices;
}

const CListRowForm* CListForm::Find(std::uint32_t id, const std::string* label) const {
  for (const CListRowForm& row : rows)
    if (row.id == id && (!row.row || !label || *label == row.row)) return &row;
  return nullptr;
}

namespace {
class CRowsGrid : public IDevicePropertyGrid {
 public:
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override { groups.push_back(std::move(group)); }
  std::vector<std::unique_ptr<CDevicePropertyGroup>> groups;
};

const std::vector<std::string> kYesNo{"Yes", "No"};

bool IsBoolRow(const CDeviceProperty& row) { return std::holds_alternative<bool>(row.GetValue()); }

bool IsChoiceRow(const CDeviceProperty& row, const CListRowForm* form) {
  return !row.GetOptions().empty() || IsBoolRow(row) || (form && !form->choices.empty());
}

int IndexOf(const std::vector<std::string>& texts, const std::string& text) {
  const auto at = std::find(texts.begin(), texts.end(), text);
  return at == texts.end() ? -1 : int(at - texts.begin());
}

// The choices a choice row lists, each tied to the grid's choice it stands for. A true/false
// row and a "Yes", "No" row list "No" first.
std::vector<CListChoice> ListChoices(const CDeviceProperty& row, const CListRowForm* form) {
  if (form && !form->choices.empty()) return form->choices;
  if (form && form->indexOnly) return {};
  if (IsBoolRow(row)) return {{"No", 0}, {"Yes", 1}};
  if (row.GetOptions() == kYesNo) return {{"No", 1}, {"Yes", 0}};
  return SameOrderChoices(row.GetOptions());
}

// The grid's choice that a list index stands for; -1 past the list's choices.
int GridChoice(const CDeviceProperty& row, const CListRowForm* form, std::uint32_t index) {
  if (form && form->indexOnly) return index < row.GetOptions().size() ? int(index) : -1;
  const std::vector<CListChoice> choices = ListChoices(row, form);
  return index < choices.size() ? choices[index].grid : -1;
}

// The list index of the choice the row shows; none when the grid shows none.
std::uint32_t ListSelection(const CDeviceProperty& row, const CListRowForm* form) {
  if (form && form->selected) return *form->selected;
  const bool textRow = row.GetOptions().empty() && !IsBoolRow(row);
  const int grid = IsBoolRow(row) ? int(row.GetBool()) : IndexOf(row.GetOptions(), row.GetText());
  if (form && form->indexOnly) return grid < 0 ? CPropertyOptions::kNoChoice : std::uint32_t(grid);
  const std::vector<CListChoice> choices = ListChoices(row, form);
  for (std::size_t i = 0; i < choices.size(); ++i) {
    // A text the list offers as a choice is matched by its wording.
    if (textRow ? choices[i].text == row.GetText() : grid >= 0 && choices[i].grid == grid) return std::uint32_t(i);
  }
  return CPropertyOptions::kNoChoice;
}

std::uint8_t Flag(bool on) { return on ? 1 : 0; }

// The kind of item a row's plain value lists as.
std::int32_t PlainType(const CDeviceProperty& row) {
  if (std::holds_alternative<std::int64_t>(row.GetValue())) return kPropArray;
  if (std::holds_alternative<float>(row.GetValue())) return kPropObject13;
  return kPropString;
}

bool HasOwnListItem(const CDeviceProperty& row) {
  CPropertyItem probe;
  return row.ToListItem(probe);
}

// The item of a row whose plain value stands for it; item holds the label, description and
// options.
CPropertyItem PlainItem(const CDeviceProperty& row, const CListRowForm* form, const CPropertyItem& item) {
  const auto id = item.value.propertyId;
  const std::int32_t type = form && form->type ? form->type : PlainType(row);
  const auto* number = std::get_if<std::int64_t>(&row.GetValue());
  switch (type) {
    case kPropArray: {
      // A number listed for a row that holds its text reads the text as the row reads it.
      const std::int64_t n = number ? *number : ReadPropertyText(EPropertyValueType::I4, row.GetValueText()).integer;
      return MakeTextPropertyItem(id, std::int32_t(n), item.name, item.description, item.option1, item.option2,
                                  item.option3);
    }
    case kPropObject:
      return MakeSignedPropertyItem(id, std::int32_t(number ? *number : 0), item.name, item.description,
                                    item.option1, item.option2, item.option3);
    case kPropObject13: {
      CPropertyItem real{item.name, item.description, {}, 0, Flag(row.IsEnabled()), item.option3};
      real.value.propertyId = id;
      real.value.SetData(kPropObject13, row.GetFloat());
      return real;
    }
    default:
      return MakeStringPropertyItem(id, row.GetText(), item.name, item.description, item.option1, item.option2,
                                    item.option3);
  }
}

CPropertyItem ItemOf(const CDeviceProperty& row, const CListRowForm* form) {
  const std::string name = form && form->name ? form->name : row.GetName();
  const std::string description = form && form->description ? form->description : row.GetDescription();
  const auto id = std::int32_t(row.GetData());
  const bool enabled = row.IsEnabled();
  CPropertyItem item;
  if (IsChoiceRow(row, form)) {
    CPropertyOptions options;
    for (const CListChoice& choice : ListChoices(row, form)) options.options.push_back(choice.text);
    options.selected = ListSelection(row, form);
    item = MakeChoicePropertyItem(id, options, name, description, 0, Flag(enabled), Flag(row.HasButton()));
  } else {
    item = CPropertyItem{name, description, {}, Flag(row.IsAllowEdit() && enabled), 1, Flag(row.HasButton())};
    item.value.propertyId = id;
    if (!row.ToListItem(item)) item = PlainItem(row, form, item);
  }
  if (form && form->flags >= 0) {
    item.option1 = std::uint8_t(form->flags & 0xFF);
    item.option2 = std::uint8_t((form->flags >> 8) & 0xFF);
    item.option3 = std::uint8_t((form->flags >> 16) & 0xFF);
  }
  return item;
}

std::string ListHeading(const CListForm& form, const std::string& group) {
  for (const auto& [grid, list] : form.groups)
    if (grid == group) return list;
  return group;
}

// True when the value's data is what its type code names (the kinds this layer knows; a
// row of its own kind checks its own).
bool HoldsItsType(const CPropertyValue& value) {
  switch (value.type) {
    case kPropOptions: return value.GetOptions() != nullptr;
    case kPropArray: {
      const auto* cells = value.GetData<std::vector<std::int32_t>>();
      return cells && !cells->empty();
    }
    case kPropObject: return value.GetData<std::int32_t>() != nullptr;
    case kPropString: return value.GetData<std::string>() != nullptr;
    case kPropObject13: return value.GetData<float>() != nullptr;
    default: return value.HasData();
  }
}

// True when the row takes a value of that kind: the kind of its item, or, where the form lists
// it as another kind, also the row's own.
bool TakesKindOf(const CDeviceProperty& row, const CListRowForm* form, const CPropertyValue& value) {
  const std::int32_t listed = ItemOf(row, form).value.type;
  const bool kind = value.type == listed || (form && form->type && value.type == PlainType(row));
  return kind && HoldsItsType(value);
}

// Puts a choice into the row as the grid's choice it stands for; false when the row takes no
// such choice.
bool PutChoice(CDeviceProperty& row, const CListRowForm* form, std::uint32_t index) {
  int grid = GridChoice(row, form, index);
  if (IsBoolRow(row)) {
    if (grid < 0) return false;
    row.SetValue(grid != 0);
    return true;
  }
  if (row.GetOptions().empty()) return false;
  if (grid < 0) {
    if (!form || !form->pastEnd) return false;
    // The owner reads the index one past its last choice and applies its own rule to it.
    grid = int(row.GetOptions().size());
    row.AddOption(std::string());
  }
  row.SetComboSelection(grid);
  return true;
}

// Puts a plain value (a number, a text or a decimal, of a kind the row takes) into the row.
void PutPlain(CDeviceProperty& row, const CPropertyValue& value) {
  if (value.type == kPropString) {
    row.SetValue(value.GetString());
  } else if (const auto* real = value.GetData<float>()) {
    row.SetValue(*real);
  } else if (std::holds_alternative<std::int64_t>(row.GetValue())) {
    row.SetValue(std::int64_t(value.GetNumber()));
  } else {
    // A text row listed as a number (the security code) reads the number's digits.
    row.SetValue(std::to_string(value.GetNumber()));
  }
}
}  // namespace

void AppendPropertyList(const FillRowsFn& fill, const CListForm& form, std::vector<CPropertyItem>& items) {
  CRowsGrid grid;
  fill(grid);
  std::string heading;
  for (const auto& group : grid.groups) {
    std::vector<CPropertyItem> rows;
    for (const auto& row : group->rows) {
      const CListRowForm* rowForm = form.Find(row->GetData(), &row->GetName());
      if (!rowForm || !(rowForm->hidden || rowForm->absent)) rows.push_back(ItemOf(*row, rowForm));
    }
    const std::string listed = ListHeading(form, group->name);
    // A group whose rows the list leaves out all goes with them.
    if (rows.empty() && !group->rows.empty()) continue;
    if (!listed.empty() && listed != heading) items.push_back(MakeGroupPropertyItem(listed, ""));
    if (!listed.empty()) heading = listed;
    for (CPropertyItem& item : rows) items.push_back(std::move(item));
  }
}

bool ValidatePropertyList(const FillRowsFn& fill, const CommitRowFn& commit, const CListForm& form,
                          CNamedPropertyValue& value) {
  const auto id = std::uint32_t(value.propertyId);
  value.text.clear();
  CRowsGrid grid;
  fill(grid);
  CDeviceProperty* row = nullptr;
  for (const auto& group : grid.groups)
    for (const auto& candidate : group->rows)
      if (!row && candidate->GetData() == id) row = candidate.get();
  const CListRowForm* rowForm = form.Find(id, row ? &row->GetName() : nullptr);
  std::unique_ptr<CDeviceProperty> rowless;
  if (!row && rowForm && rowForm->inert) return true;
  if (!row && rowForm && rowForm->rowless) {
    rowless = rowForm->rowless();
    row = rowless.get();
  }
  // The grid does not offer it now, or offers it without letting it be changed.
  if (!row || (rowForm && rowForm->absent) || !row->IsEnabled()) return false;
  if (!TakesKindOf(*row, rowForm, value)) return false;

  if (const CPropertyOptions* options = value.GetOptions()) {
    if (options->selected == CPropertyOptions::kNoChoice) return true;
    if (!PutChoice(*row, rowForm, options->selected)) return false;
  } else if (HasOwnListItem(*row)) {
    if (!row->TakeListValue(value)) return false;
  } else {
    PutPlain(*row, value);
  }
  row->SetListValue(&value);
  const bool accepted = commit(*row);
  row->SetListValue(nullptr);
  if (!accepted) {
    value.text = row->GetErrorText();
    return false;
  }
  if (row->IsRefresh()) value.changed = 1;
  return true;
}
