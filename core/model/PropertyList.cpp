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
const std::vector<std::string> kNoYes{"No", "Yes"};

bool IsBoolRow(const CDeviceProperty& row) { return std::holds_alternative<bool>(row.GetValue()); }

// The choices the list shows for a choice or true/false row.
std::vector<std::string> ListChoices(const CDeviceProperty& row, const CListRowForm* form) {
  if (form && (form->indexOnly || !form->options.empty())) return form->indexOnly ? std::vector<std::string>{} : form->options;
  if (IsBoolRow(row) || row.GetOptions() == kYesNo) return kNoYes;
  return row.GetOptions();
}

int IndexOf(const std::vector<std::string>& texts, const std::string& text) {
  const auto at = std::find(texts.begin(), texts.end(), text);
  return at == texts.end() ? -1 : int(at - texts.begin());
}

std::uint8_t Flag(bool on) { return on ? 1 : 0; }

CPropertyItem ItemOf(const CDeviceProperty& row, const CListRowForm* form) {
  const std::string name = form && form->name ? form->name : row.GetName();
  const std::string description = form && form->description ? form->description : row.GetDescription();
  const auto id = std::int32_t(row.GetData());
  const bool enabled = row.IsEnabled();
  CPropertyItem item;
  if (!row.GetOptions().empty() || IsBoolRow(row) || (form && !form->options.empty())) {
    CPropertyOptions options;
    options.options = ListChoices(row, form);
    const int grid = IsBoolRow(row) ? int(row.GetBool()) : IndexOf(row.GetOptions(), row.GetText());
    // Choices are matched by text; where the list words them otherwise, by position.
    const int byText = IndexOf(options.options, row.GetText());
    const int index = (form && form->indexOnly) || IsBoolRow(row) || byText < 0 ? grid : byText;
    options.selected = index < 0 ? CPropertyOptions::kNoChoice : std::uint32_t(index);
    item = MakeChoicePropertyItem(id, options, name, description, 0, Flag(enabled), Flag(row.HasButton()));
  } else {
    const bool typed = row.IsAllowEdit() && enabled;
    item = MakeStringPropertyItem(id, row.GetText(), name, description, Flag(typed), 1, Flag(row.HasButton()));
    if (form && form->type == kPropArray) {
      item.value.SetNumber(std::int32_t(ReadPropertyText(EPropertyValueType::I4, row.GetValueText()).integer));
    } else if (!row.ToListValue(item.value)) {
      if (const auto* number = std::get_if<std::int64_t>(&row.GetValue())) {
        if (form && form->type == kPropObject)
          item.value.SetData(kPropObject, std::int32_t(*number));
        else
          item.value.SetNumber(std::int32_t(*number));
      } else if (const auto* real = std::get_if<float>(&row.GetValue())) {
        item.value.SetData(kPropObject13, *real);
        item.option1 = 0;
        item.option2 = Flag(enabled);
      }
    }
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
  CRowsGrid grid;
  fill(grid);
  CDeviceProperty* row = nullptr;
  for (const auto& group : grid.groups)
    for (const auto& candidate : group->rows)
      if (!row && candidate->GetData() == id) row = candidate.get();
  CDeviceProperty bare("", std::string(), "", id);
  if (!row) row = &bare;
  const CListRowForm* rowForm = form.Find(id, row == &bare ? nullptr : &row->GetName());
  if (rowForm && rowForm->absent) return false;

  row->SetListValue(&value);
  if (const CPropertyOptions* options = value.GetOptions()) {
    if (options->selected == CPropertyOptions::kNoChoice) return true;
    const std::vector<std::string> list = ListChoices(*row, rowForm);
    const int index = int(options->selected);
    const bool inList = std::size_t(index) < list.size();
    if (IsBoolRow(*row)) {
      row->SetValue(index != 0);
    } else if (list.empty() || !inList) {
      // Offered without texts, or beyond them: the index goes to the row as it came.
      row->SetComboSelection(index);
      if (row->GetComboSelection() < 0) return false;
    } else {
      const int byText = IndexOf(row->GetOptions(), list[std::size_t(index)]);
      row->SetComboSelection(byText < 0 ? index : byText);
    }
  } else if (!row->TakeListValue(value)) {
    if (value.type == kPropString) {
      const std::string text = value.GetString();
      if (std::holds_alternative<std::int64_t>(row->GetValue())) {
        // Text that is no number of the row's type is refused, as in the grid.
        const std::string refusal = PropertyTextRefusal(row->GetValueType(), text);
        if (!refusal.empty()) {
          row->SetListValue(nullptr);
          value.text = refusal;
          return false;
        }
        row->SetVariant(ReadPropertyText(row->GetValueType(), text));
      } else
        row->SetValue(text);
    } else if (const auto* real = value.GetData<float>()) {
      row->SetValue(*real);
    } else if (value.type == kPropArray || value.type == kPropObject) {
      if (std::holds_alternative<std::string>(row->GetValue()) && row != &bare)
        row->SetValue(std::to_string(value.GetNumber()));
      else
        row->SetValue(std::int64_t(value.GetNumber()));
    }
  }
  const bool accepted = commit(*row);
  row->SetListValue(nullptr);
  if (!accepted) {
    value.text = row->GetErrorText();
    return false;
  }
  if (row->IsRefresh()) value.changed = 1;
  return true;
}
