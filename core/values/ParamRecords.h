// Parameter descriptions and values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Value kinds of parameters (CParamInfo::kind and CParamValue::kind). Bool, text, integer and
// none have values of their own; every other kind is a float shown and typed by its kind
// (FormatParameterValue, ParseParameterValue). The numbers are fixed: families, links and
// stored widgets agree on them.
enum class ParamKind : std::int32_t {
  kUnset = 0,      // the "NULL" descriptor's
  kLevel = 1,      // dB
  kFrequency = 2,  // Hz
  kQ = 3,
  kDelay = 4,      // ms
  kBool = 5,
  kText = 6,
  kInteger = 7,
  kNone = 8,       // no value
  kPhase = 9,      // whole degrees
  kRatio = 10,
  kTime = 11,
};

// Bits of a parameter's option word (CParamInfo::options).
// The parameter is a state of the unit (online, offline, warnings, activity).
inline constexpr std::uint32_t kParamOptionStatus = 0x1;
// A level at or below the minimum reads "Mute".
inline constexpr std::uint32_t kParamOptionMuteAtMinimum = 0x2;
// A read-only indication: the link manager never offers it and no parameter links to it.
inline constexpr std::uint32_t kParamOptionReadOnly = 0x4;
// A command: a button bound to it sends its state as it is instead of toggling it.
inline constexpr std::uint32_t kParamOptionCommand = 0x8;
// Two parameters can be linked only when they agree in these bits.
inline constexpr std::uint32_t kParamOptionLinkClass = kParamOptionStatus | kParamOptionCommand;
// The words the families give their indication rows.
inline constexpr std::uint32_t kParamOptionsStatusIndication = kParamOptionReadOnly | kParamOptionStatus;
inline constexpr std::uint32_t kParamOptionsCommandIndication = kParamOptionReadOnly | kParamOptionCommand;

// Describes one device parameter that widgets, links and selection lists bind to.
struct CParamInfo {
  std::string name;  // "NULL" marks the end of a device's list
  ParamKind kind = ParamKind::kUnset;  // the format of its values (FormatParameterValue)
  std::int32_t id = 0;
  // Set while the parameter cannot be used now: the widgets draw it inactive and ignore input.
  std::uint8_t inactive = 0;
  float maximum = 0.0f;
  float minimum = 0.0f;
  std::uint32_t textLimit = 0;  // the longest text of a text parameter; 0 when none is set
  std::uint32_t options = 0;    // kParamOption... bits

  bool operator==(const CParamInfo& o) const {
    return name == o.name && kind == o.kind && id == o.id && maximum == o.maximum &&
           minimum == o.minimum && textLimit == o.textLimit && options == o.options && inactive == o.inactive;
  }
  bool operator!=(const CParamInfo& o) const { return !(*this == o); }
};

// One parameter value.
struct CParamValue {
  std::int32_t id = 0;
  ParamKind kind = ParamKind::kNone;
  std::string text;
  float value = 0.0f;
  std::int32_t integer = 0;
  std::uint8_t flag = 0;
  // 0 in every builder; no family gives it a meaning.
  std::uint32_t extra = 0;

  CParamValue() = default;
  CParamValue(std::int32_t id_, float value_, ParamKind kind_) : id(id_), kind(kind_), value(value_) {}

  std::string GetText() const { return text; }
  bool IsBool() const { return kind == ParamKind::kBool; }
  bool IsText() const { return kind == ParamKind::kText; }
  bool IsInteger() const { return kind == ParamKind::kInteger; }
  bool IsNone() const { return kind == ParamKind::kNone; }
};

CParamValue MakeBoolParamValue(std::int32_t id, bool value);
CParamValue MakeTextParamValue(std::int32_t id, const std::string& text);
CParamValue MakeIntParamValue(std::int32_t id, std::int32_t value);
// What a device without parameters answers: id 0, no value.
CParamValue MakeNoParamValue();
