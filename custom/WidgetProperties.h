// What the widget kinds' property rows share: the properties grid's rows, one edited value read
// from a row, and the checks and effects that recur from kind to kind. Every kind applies an
// edit from a CWidgetEdit.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "custom/CustomControlObject.h"
#include "core/model/DeviceProperty.h"
#include "core/draw/TextStyle.h"
#include "platform/TextFormat.h"

class ICustomPanelHost;

// One edited value, read from a grid row (FromRow).
struct CWidgetEdit {
  int index = -1;               // a list row's chosen index; -1 none
  std::uint32_t number = 0;     // a typed number (a signed row's value cast)
  std::string text;             // a typed text
  bool textAsFilled = false;    // grid: the text is the one the row was filled with
  std::optional<CColour> colour;  // grid: opaque, only red, green and blue count
  bool fullColour = false;        // list: the colour's four bytes count
  std::optional<CTextStyle> style;
  bool fromList = false;          // the edit came through the property list
  CCCImage* image = nullptr;       // an image row's or entry's image; null: none

  // The grid row after the commit; style starts from current, which a font row changes.
  static CWidgetEdit FromRow(const CDeviceProperty& row, const CTextStyle& current);
};

// What applying an edit asks of the editor it came from.
struct CWidgetEditResult {
  bool accepted = true;
  std::string message;     // the refusal's text; empty for a silent refusal
  bool structure = false;  // the rows or entries must be built again

  static CWidgetEditResult Refuse(std::string text = {}) { return {false, std::move(text), false}; }
};

// Hands the result back to the grid (message text, refresh flag) and gives the handler's answer.
bool FinishRowEdit(CDeviceProperty& row, const CWidgetEditResult& result);

// --- Owners ---
// The host of the widget's panel; null while the panel is not open.
ICustomPanelHost* WidgetHost(const CCustomControlObject& widget);
void MarkModified(const CCustomControlObject& widget);
CRect GrownRect(const CRect& rect, int by);
// The area a repaint of the widget must cover: the rectangle with its selection band, and
// what the widget draws outside it.
CRect WidgetArea(const CCustomControlObject& widget);
// Repaints before united with the widget's area now.
void RepaintWidget(const CCustomControlObject& widget, const CRect& before);

// --- Values ---
// Takes the edit's colour when it differs by red, green and blue (stored opaque). True when the
// field changed.
bool TakeColour(const CWidgetEdit& edit, CColour& field);
// Takes the edit's style when it differs (the weight counts). True when the field changed.
bool TakeStyle(const CWidgetEdit& edit, CTextStyle& field);
// Sets or clears bit; true when it changed.
bool SetFlag(std::uint32_t& flags, std::uint32_t bit, bool on);
// Sets the one bit of the group at index (0 to count-1) and clears the others; any other
// index changes nothing. True when the flags changed.
bool SetOneOf(std::uint32_t& flags, const std::uint32_t* bits, int count, int index);
// The index of the first bit of the group that is set; -1 for none.
int IndexOfBit(std::uint32_t flags, const std::uint32_t* bits, int count);
template <int N>
int IndexOfBit(std::uint32_t flags, const std::uint32_t (&bits)[N]) {
  return IndexOfBit(flags, bits, N);
}
template <int N>
bool SetOneOf(std::uint32_t& flags, const std::uint32_t (&bits)[N], int index) {
  return SetOneOf(flags, bits, N, index);
}
// The message refusing a corner radius or outline width (what: "Corner radius" or "Outline
// width") beyond half the rectangle's height, then its width; none when the value fits.
std::optional<std::string> HalfSizeRefusal(const CRect& rect, std::uint32_t value, const char* what);

// --- Range of a fader or knob ---
// The range a fader or knob keeps for its bound parameter.
struct CRangeFields {
  float& maximum;
  float& minimum;
};
// A range bound as its row shows it: the bound parameter's value text.
std::string FormatRangeValue(const CCustomControlObject& widget, float value);
// The group of "Range Max" (id 14) and "Range Min" (15), for a bound widget only.
void AddRangeRows(IDevicePropertyGrid& grid, const CCustomControlObject& widget, const char* group,
                  const CRangeFields& range);
// Takes a typed range maximum (isMax) or minimum for the bound parameter. An equal value
// changes nothing; a maximum not above the minimum, above the parameter's maximum (to a tenth
// for levels, a hundredth for delays), a minimum not below the maximum or below the
// parameter's minimum is refused. A grid row committed with the text it was filled with (a
// rounded or unit-less rendering of the bound) changes nothing. A new bound clamps the value
// into the range and asks for the rows again; changed tells whether it moved.
CWidgetEditResult ApplyRangeEdit(CCustomControlObject& widget, const CWidgetEdit& edit, bool isMax,
                                 const CRangeFields& range, bool& changed);
// The shared rows (ids 1 to 3) of a fader or knob through the base; a new binding then sets
// the range to the parameter's and the rows are built again. None for the widget's own ids.
std::optional<bool> CommitSharedRangeRow(CCustomControlObject& widget, CDeviceProperty& row,
                                         const CRangeFields& range);
// A scale's decimal places (flags 0x100, 0x200, 0x400, 0x800 for 0 to 3): offered for a bound
// level or delay only; the index of the set one (-1 none); set by index for a level or a delay.
extern const std::vector<std::string> kScaleDecimalNames;
bool HasScaleDecimals(const CCustomControlObject& widget);
int ScaleDecimalsIndex(std::uint32_t flags);
bool SetScaleDecimals(const CCustomControlObject& widget, std::uint32_t& flags, int index);
// The minor scale marks' id, the same in both kinds.
inline constexpr std::uint32_t kScaleMinorMarksId = 19;
// The scale rows of a fader or knob, shown while its scale is: the mark counts (ids 18 and 19),
// the decimal places for a bound level or delay, the widget's own placement row or entry if
// any, then the scale's colour and font.
struct CScaleRows {
  const CCustomControlObject& widget;
  std::uint32_t majorMarks;
  std::uint32_t minorMarks;
  std::uint32_t flags;
  CColour colour;
  const CTextStyle& style;
  std::uint32_t decimalsId, colourId, fontId;
};
void AddScaleRows(CDevicePropertyGroup& group, ICustomPanelHost* host, const CScaleRows& scale,
                  std::unique_ptr<CDeviceProperty> placement = nullptr);
// The end of an edit: when it changed the widget, the file is marked modified and the widget
// repainted over before and its area now.
void FinishChange(const CCustomControlObject& widget, const CRect& before, bool changed);
// A fader's Yes/No choice, its rows listing "Yes" first. None for no choice.
std::optional<bool> ChosenYes(const CWidgetEdit& edit);

// --- Grid rows ---
std::unique_ptr<CDeviceProperty> MakeNumberRow(const char* name, std::uint32_t value, const char* description,
                                               std::uint32_t id);
std::unique_ptr<CDeviceProperty> MakeSignedRow(const char* name, std::int32_t value, const char* description,
                                               std::uint32_t id);
std::unique_ptr<CDeviceProperty> MakeTextRow(const char* name, const std::string& value, const char* description,
                                             std::uint32_t id);
std::unique_ptr<CDeviceProperty> MakeColourRow(ICustomPanelHost* host, CColour colour, const char* name,
                                               const char* description, std::uint32_t id);
std::unique_ptr<CDeviceProperty> MakeFontRow(ICustomPanelHost* host, const CTextStyle& style, const char* name,
                                             std::uint32_t id);
std::unique_ptr<CDeviceProperty> MakeImageRow(ICustomPanelHost* host, CCCImage* image, const char* name,
                                              const char* description, std::uint32_t id);
// A list row of names (panel or snapshot names, which may repeat).
std::unique_ptr<CDeviceProperty> MakeNameListRow(const char* name, const std::vector<std::string>& options,
                                                 int selected, const char* description, std::uint32_t id);

