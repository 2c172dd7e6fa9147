// The pieces the widget kinds' property editors share.
#include "custom/WidgetProperties.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "custom/PropertyPickers.h"
#include "custom/CustomPanelHost.h"
#include "core/values/ValueCodes.h"

namespace {
// The selection band the panel view draws around a selected widget.
constexpr int kSelectionMargin = 6;
// The range rows' ids, the same for faders and knobs.
constexpr std::uint32_t kRangeMaxId = 14;
constexpr std::uint32_t kRangeMinId = 15;
// The scale mark counts' ids, likewise.
constexpr std::uint32_t kScaleMajorMarksId = 18;
}  // namespace

CWidgetEdit CWidgetEdit::FromRow(const CDeviceProperty& row, const CTextStyle& current) {
  CWidgetEdit edit;
  edit.index = GetPropertyComboSelection(row);
  edit.number = std::uint32_t(row.GetNumber());
  edit.text = row.GetText();
  const auto* filled = std::get_if<std::string>(&row.GetReferenceValue());
  edit.textAsFilled = filled && *filled == edit.text;
  edit.fromList = row.GetListValue() != nullptr;
  if (const auto* colour = dynamic_cast<const CColourPropertyCtrl*>(&row)) {
    edit.fullColour = edit.fromList && colour->m_fullColour;
    edit.colour = edit.fullColour ? *colour->m_fullColour : CColourPropertyCtrl::FromColorRef(colour->m_colour);
  }
  if (const auto* font = dynamic_cast<const CFontPropertyCtrl*>(&row)) {
    CTextStyle style = current;
    if (edit.fromList && font->m_style)
      style = *font->m_style;
    else
      style.FromLogFont(font->m_logFont);
    edit.style = style;
  }
  if (const auto* image = dynamic_cast<const CImagePropertyCtrl*>(&row)) {
    CCCImageBase* node = image->GetImage();
    edit.image = node && !node->IsDirectory() ? static_cast<CCCImage*>(node) : nullptr;
  }
  return edit;
}

bool FinishRowEdit(CDeviceProperty& row, const CWidgetEditResult& result) {
  if (!result.accepted) {
    row.SetErrorText(result.message);
    return false;
  }
  if (result.structure) row.SetRefresh(true);
  return true;
}

ICustomPanelHost* WidgetHost(const CCustomControlObject& widget) {
  CCPData* panel = widget.m_pView ? widget.m_pView->GetPanelData() : nullptr;
  return panel ? panel->GetOwner() : nullptr;
}

void MarkModified(const CCustomControlObject& widget) {
  if (ICustomPanelHost* host = WidgetHost(widget)) host->SetModified();
}

CRect GrownRect(const CRect& rect, int by) {
  return CRect{rect.left - by, rect.top - by, rect.right + by, rect.bottom + by};
}

CRect WidgetArea(const CCustomControlObject& widget) {
  const CRect& r = widget.m_rect;
  CRect area = GrownRect(CRect{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                               std::max(r.top, r.bottom)},
                         kSelectionMargin);
  UnionRects(area, area, widget.GetBoundsRect());
  return area;
}

void RepaintWidget(const CCustomControlObject& widget, const CRect& before) {
  if (!widget.m_pView) return;
  CRect area;
  UnionRects(area, before, WidgetArea(widget));
  widget.m_pView->RedrawRect(area);
}

bool TakeColour(const CWidgetEdit& edit, CColour& field) {
  if (!edit.colour) return false;
  const std::uint32_t mask = edit.fullColour ? 0xFFFFFFFFu : 0xFFFFFFu;
  if ((edit.colour->argb & mask) == (field.argb & mask)) return false;
  field = *edit.colour;
  return true;
}

bool TakeStyle(const CWidgetEdit& edit, CTextStyle& field) {
  if (!edit.style) return false;
  if (!(*edit.style != field) && edit.style->weight == field.weight) return false;
  field = *edit.style;
  return true;
}

bool SetFlag(std::uint32_t& flags, std::uint32_t bit, bool on) {
  const std::uint32_t old = flags;
  flags = on ? (flags | bit) : (flags & ~bit);
  return flags != old;
}

bool SetOneOf(std::uint32_t& flags, const std::uint32_t* bits, int count, int index) {
  if (index < 0 || index >= count) return false;
  std::uint32_t all = 0;
  for (int i = 0; i < count; ++i) all |= bits[i];
  const std::uint32_t old = flags;
  flags = (flags & ~all) | bits[index];
  return flags != old;
}

int IndexOfBit(std::uint32_t flags, const std::uint32_t* bits, int count) {
  for (int i = 0; i < count; ++i)
    if (flags & bits[i]) return i;
  return -1;
}

std::optional<std::string> HalfSizeRefusal(const CRect& rect, std::uint32_t value, const char* what) {
  const int halfHeight = (rect.bottom - rect.top) / 2;
  const int halfWidth = (rect.right - rect.left) / 2;
  if (value > std::uint32_t(halfHeight))
    return FormatText("%s cannot be greater than half the height (%d pixels)", what, halfHeight);
  if (value > std::uint32_t(halfWidth))
    return FormatText("%s cannot be greater than half the width (%d pixels)", what, halfWidth);
  return std::nullopt;
}

std::string FormatRangeValue(const CCustomControlObject& widget, float value) {
  return FormatParameterValue(widget.GetParameterInfo(), value, widget.GetParameterValue());
}

void AddRangeRows(IDevicePropertyGrid& grid, const CCustomControlObject& widget, const char* group,
                  const CRangeFields& range) {
  if (!widget.IsLinked()) return;
  auto rows = std::make_unique<CDevicePropertyGroup>(group);
  rows->Add(MakeTextRow("Range Max", FormatRangeValue(widget, range.maximum), "The maximum value this control can have",
                        kRangeMaxId));
  rows->Add(MakeTextRow("Range Min", FormatRangeValue(widget, range.minimum), "The minimum value this control can have",
                        kRangeMinId));
  grid.AddGroup(std::move(rows));
}

CWidgetEditResult ApplyRangeEdit(CCustomControlObject& widget, const CWidgetEdit& edit, bool isMax,
                                 const CRangeFields& range, bool& changed) {
  changed = false;
  if (edit.textAsFilled) return {};
  const CParamValue current = widget.GetParameterValue();
  const CParamInfo info = widget.GetParameterInfo();
  // Letters are no number, and a range without end would turn every drag into a value that is
  // not one: the text must be a value of the parameter's kind, with its units.
  if (std::string refusal = ParameterTextRefusal(current.kind, edit.text); !refusal.empty())
    return CWidgetEditResult::Refuse(std::move(refusal));
  const float value = ParseParameterValue(current, edit.text);
  if (isMax) {
    if (value == range.maximum) return {};
    if (!(value > range.minimum)) return CWidgetEditResult::Refuse("Maximum value must be greater than minimum value");
    if (current.kind == ParamKind::kLevel && std::trunc(value * 10.0f) > std::trunc(info.maximum * 10.0f))
      return CWidgetEditResult::Refuse(
          FormatText("Maximum value cannot be greater than %.1f for this parameter", double(info.maximum)));
    if (current.kind == ParamKind::kDelay && std::trunc(value * 100.0f) > std::trunc(info.maximum * 100.0f))
      return CWidgetEditResult::Refuse(
          FormatText("Maximum value cannot be greater than %.2f for this parameter", double(info.maximum)));
    range.maximum = value;
  } else {
    if (value == range.minimum) return {};
    if (!(value < range.maximum)) return CWidgetEditResult::Refuse("Minimum value must be less than maximum value");
    if (value < info.minimum)
      return CWidgetEditResult::Refuse(
          FormatText("Minimum value cannot be less than %.1f for this parameter", double(info.minimum)));
    range.minimum = value;
  }
  changed = true;
  widget.OnParameterUpdate(current);
  CWidgetEditResult result;
  result.structure = true;
  return result;
}

namespace {
// A bound widget takes its parameter's range; the old and new areas are repainted.
void AdoptParameterRange(CCustomControlObject& widget, const CRangeFields& range, const CRect& before) {
  if (widget.IsLinked()) {
    const CParamInfo info = widget.GetParameterInfo();
    range.maximum = info.maximum;
    range.minimum = info.minimum;
    widget.OnParameterUpdate(widget.GetParameterValue());
  }
  RepaintWidget(widget, before);
}
}  // namespace

std::optional<bool> CommitSharedRangeRow(CCustomControlObject& widget, CDeviceProperty& row,
                                         const CRangeFields& range) {
  const std::uint32_t id = row.GetData();
  if (id < 1 || id > 3) return std::nullopt;
  const CRect before = WidgetArea(widget);
  if (!widget.CCustomControlObject::OnPropertyChanged(row)) return false;
  // A new binding brings its parameter's range: a list edit that binds anew asks for the rows
  // again, and in the grid the row's picker has bound the widget already. An edit that keeps
  // the binding (the row entered and left, the picker cancelled, the same parameter chosen)
  // keeps the range the widget has.
  const auto* picker = dynamic_cast<const CParameterPropertyCtrl*>(&row);
  const bool rebound = row.GetListValue() ? row.IsRefresh() : picker && picker->ChangedBinding();
  if (id == 3 && rebound) {
    AdoptParameterRange(widget, range, before);
    row.SetRefresh(true);
  }
  return true;
}

const std::vector<std::string> kScaleDecimalNames = {"0", "1", "2", "3"};
namespace {
constexpr std::uint32_t kScaleDecimalBits[] = {0x100, 0x200, 0x400, 0x800};
}

bool HasScaleDecimals(const CCustomControlObject& widget) {
  const ParamKind kind = widget.GetParameterValue().kind;
  return kind == ParamKind::kLevel || kind == ParamKind::kDelay;
}

int ScaleDecimalsIndex(std::uint32_t flags) { return IndexOfBit(flags, kScaleDecimalBits); }

bool SetScaleDecimals(const CCustomControlObject& widget, std::uint32_t& flags, int index) {
  return HasScaleDecimals(widget) && SetOneOf(flags, kScaleDecimalBits, index);
}

void AddScaleRows(CDevicePropertyGroup& group, ICustomPanelHost* host, const CScaleRows& scale,
                  std::unique_ptr<CDeviceProperty> placement) {
  group.Add(MakeNumberRow("Number Major Scale Marks", scale.majorMarks, "The number of marks on the major scale",
                          kScaleMajorMarksId));
  group.Add(MakeNumberRow("Number Minor Scale Mark", scale.minorMarks,
                          "The number of minor marks between the major scale marks", kScaleMinorMarksId));
  if (HasScaleDecimals(scale.widget))
    group.Add(MakeNameListRow("Scale Decimal Places", kScaleDecimalNames, ScaleDecimalsIndex(scale.flags),
                              "The number of decimal places shown on scale markings", scale.decimalsId));
  if (placement) group.Add(std::move(placement));
  group.Add(MakeColourRow(host, scale.colour, "Scale Colour", "Colour to be used for the scale and text",
                          scale.colourId));
  group.Add(MakeFontRow(host, scale.style, "Scale Font", scale.fontId));
}

void FinishChange(const CCustomControlObject& widget, const CRect& before, bool changed) {
  if (!changed) return;
  MarkModified(widget);
  RepaintWidget(widget, before);
}

std::optional<bool> ChosenYes(const CWidgetEdit& edit) {
  if (edit.index < 0 || edit.index > 1) return std::nullopt;
  return edit.index == 0;
}

std::unique_ptr<CDeviceProperty> MakeNumberRow(const char* name, std::uint32_t value, const char* description,
                                               std::uint32_t id) {
  auto row = std::make_unique<CDeviceProperty>(name, std::int64_t(value), description, id);
  row->SetValueType(EPropertyValueType::UI4);
  return row;
}

std::unique_ptr<CDeviceProperty> MakeSignedRow(const char* name, std::int32_t value, const char* description,
                                               std::uint32_t id) {
  auto row = std::make_unique<CDeviceProperty>(name, std::int64_t(value), description, id);
  row->SetValueType(EPropertyValueType::I4);
  return row;
}

std::unique_ptr<CDeviceProperty> MakeTextRow(const char* name, const std::string& value, const char* description,
                                             std::uint32_t id) {
  return std::make_unique<CDeviceProperty>(name, value, description, id);
}

std::unique_ptr<CDeviceProperty> MakeColourRow(ICustomPanelHost* host, CColour colour, const char* name,
                                               const char* description, std::uint32_t id) {
  auto row = std::make_unique<CColourPropertyCtrl>(host, CColourPropertyCtrl::ToColorRef(colour), name, id,
                                                   description);
  row->m_fullColour = colour;
  row->AllowEdit(false);
  return row;
}

std::unique_ptr<CDeviceProperty> MakeFontRow(ICustomPanelHost* host, const CTextStyle& style, const char* name,
                                             std::uint32_t id) {
  CLogFont font;
  style.ToLogFont(font);
  auto row = std::make_unique<CFontPropertyCtrl>(host, font, name);
  row->m_style = style;
  row->SetData(id);
  return row;
}

std::unique_ptr<CDeviceProperty> MakeImageRow(ICustomPanelHost* host, CCCImage* image, const char* name,
                                              const char* description, std::uint32_t id) {
  return std::make_unique<CImagePropertyCtrl>(host, image, name, id, description);
}

std::unique_ptr<CDeviceProperty> MakeNameListRow(const char* name, const std::vector<std::string>& options,
                                                 int selected, const char* description, std::uint32_t id) {
  const std::string shown = selected >= 0 && std::size_t(selected) < options.size() ? options[std::size_t(selected)] : "";
  auto row = std::make_unique<CDeviceProperty>(name, shown, description, id);
  for (const std::string& option : options) row->AddOption(option);
  row->AllowEdit(false);
  return row;
}

