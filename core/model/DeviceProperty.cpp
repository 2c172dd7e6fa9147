// Device properties grid rows.
#include "core/model/DeviceProperty.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "core/values/ValueCodes.h"

CDeviceProperty::CDeviceProperty(std::string name, Value value, std::string description, std::uint32_t data)
    : m_name(std::move(name)), m_value(value), m_description(std::move(description)), m_data(data), m_reference(value) {}

std::unique_ptr<CDeviceProperty> CDeviceProperty::MakeMaskedEdit(std::string name, std::string text,
                                                                 std::string description, std::string mask,
                                                                 std::string templ, std::string validChars,
                                                                 std::uint32_t data) {
  auto row = std::make_unique<CDeviceProperty>(std::move(name), Value(std::move(text)), std::move(description), data);
  row->m_mask = std::move(mask);
  row->m_template = std::move(templ);
  row->m_validChars = std::move(validChars);
  return row;
}

namespace {

std::int64_t NumberOf(const CDeviceProperty::Value& value) {
  const auto* n = std::get_if<std::int64_t>(&value);
  return n ? *n : 0;
}

std::string TextOf(const CDeviceProperty::Value& value) {
  const auto* s = std::get_if<std::string>(&value);
  return s ? *s : std::string();
}

bool BoolOf(const CDeviceProperty::Value& value) {
  const auto* b = std::get_if<bool>(&value);
  return b && *b;
}

float FloatOf(const CDeviceProperty::Value& value) {
  if (const auto* f = std::get_if<float>(&value)) return *f;
  if (const auto* n = std::get_if<std::int64_t>(&value)) return float(*n);
  return 0.0f;
}

}  // namespace

std::int64_t CDeviceProperty::GetNumber() const { return NumberOf(GetEditedValue()); }
std::string CDeviceProperty::GetText() const { return TextOf(GetEditedValue()); }
bool CDeviceProperty::GetBool() const { return BoolOf(GetEditedValue()); }
float CDeviceProperty::GetFloat() const { return FloatOf(GetEditedValue()); }

void CDeviceProperty::SetComboSelection(int index) {
  m_comboSelection = index >= 0 && index < int(m_options.size()) ? index : -1;
  if (m_comboSelection >= 0) m_value = m_options[std::size_t(m_comboSelection)];
}

void CDeviceProperty::BeginCommit(const CPropertyVariant& typed) { m_edited = ValueOf(typed); }

void CDeviceProperty::BeginCommitChoice(int index) {
  m_comboSelection = index >= 0 && index < int(m_options.size()) ? index : -1;
  m_edited = m_comboSelection >= 0 ? Value(m_options[std::size_t(m_comboSelection)]) : m_value;
}

std::unique_ptr<CDeviceProperty> MakeChoiceRow(const std::string& name, const std::vector<const char*>& options,
                                               int selected, const std::string& description, std::uint32_t id) {
  const std::string shown = selected >= 0 && std::size_t(selected) < options.size() ? options[std::size_t(selected)] : "";
  auto row = std::make_unique<CDeviceProperty>(name, shown, description, id);
  for (const char* option : options) row->AddOption(option);
  row->AllowEdit(false);
  return row;
}

int GetPropertyComboSelection(const CDeviceProperty& row) {
  return row.GetOptions().empty() ? -1 : row.GetComboSelection();
}


// --- Read-back of typed text ---

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Leading blanks, an optional sign, then digits up to the first other character; wraps like
// the fixed-width word it is cut to afterwards.
std::uint64_t LeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10u + std::uint64_t(text[i] - '0');
  return negative ? ~value + 1u : value;
}

// The decimal number at the start of text (sign, digits, point, digits, exponent); 0 without one.
double LeadingReal(const std::string& text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  std::size_t i = b;
  if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t mantissa = i;
  while (i < e && text[i] >= '0' && text[i] <= '9') ++i;
  if (i < e && text[i] == '.') ++i;
  while (i < e && text[i] >= '0' && text[i] <= '9') ++i;
  if (i == mantissa || (i == mantissa + 1 && text[mantissa] == '.')) return 0.0;
  if (i < e && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < e && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < e && text[j] >= '0' && text[j] <= '9') {
      while (j < e && text[j] >= '0' && text[j] <= '9') ++j;
      i = j;
    }
  }
  // from_chars takes no leading '+' and is independent of the locale.
  std::size_t start = b;
  if (text[start] == '+') ++start;
  double value = 0.0;
  std::from_chars(text.data() + start, text.data() + i, value);
  return value;
}

// The code of the first character of UTF-8 text.
std::uint32_t FirstCharacter(const std::string& text) {
  if (text.empty()) return 0;
  const auto b0 = std::uint8_t(text[0]);
  int more = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
  std::uint32_t code = more == 3 ? (b0 & 0x07u) : more == 2 ? (b0 & 0x0Fu) : more == 1 ? (b0 & 0x1Fu) : b0;
  for (std::size_t i = 1; more > 0 && i < text.size() && (std::uint8_t(text[i]) & 0xC0) == 0x80; --more, ++i)
    code = (code << 6) | (std::uint8_t(text[i]) & 0x3Fu);
  return code;
}

// Text trimmed of blanks at both ends.
std::string_view Trimmed(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when the whole text is a decimal integer: an optional sign, then digits only.
bool IsWholeNumber(std::string_view text) {
  std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (!IsDigit(text[i])) return false;
  return true;
}

// True when the whole text is a decimal number: an optional sign, digits with at most one
// point (at least one digit), and an optional exponent with its own digits.
bool IsDecimalNumber(std::string_view text) {
  std::size_t i = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) ++digits;
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && IsDigit(text[i]); ++i) ++digits;
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponent = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == exponent) return false;
  }
  return i == text.size();
}

// The typed text as a message shows it: at most 24 bytes, not cut inside a character.
std::string Shown(std::string_view text) {
  constexpr std::size_t kMost = 24;
  if (text.size() <= kMost) return std::string(text);
  std::size_t n = kMost;
  while (n > 0 && (std::uint8_t(text[n]) & 0xC0) == 0x80) --n;
  return std::string(text.substr(0, n)) + "...";
}

std::string Quoted(std::string_view text) { return "\"" + Shown(text) + "\""; }

// Bits of the word an integer type is cut to.
int WordBits(EPropertyValueType type) {
  return type == EPropertyValueType::I2 || type == EPropertyValueType::UI2 ? 16 : 32;
}

}  // namespace

std::string PropertyTextRefusal(EPropertyValueType type, const std::string& typed) {
  const std::string_view text = Trimmed(typed);
  switch (type) {
    case EPropertyValueType::I2:
    case EPropertyValueType::I4:
    case EPropertyValueType::UI2:
    case EPropertyValueType::UI4: {
      if (text.empty()) return "Enter a number";
      if (!IsWholeNumber(text))
        return Quoted(text) + (IsDecimalNumber(text) ? " is not a whole number" : " is not a number");
      // Any number the word holds, read signed or unsigned: -2^(n-1) to 2^n - 1.
      const long long half = 1LL << (WordBits(type) - 1);
      long long value = 0;
      const char* first = text.data() + (text[0] == '+' ? 1 : 0);
      const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
      (void)end;
      if (error != std::errc() || value < -half || value > 2 * half - 1) return Shown(text) + " is out of range";
      return std::string();
    }
    case EPropertyValueType::R4:
    case EPropertyValueType::R8: {
      if (text.empty()) return "Enter a number";
      if (!IsDecimalNumber(text)) return Quoted(text) + " is not a number";
      double value = 0.0;
      const char* first = text.data() + (text[0] == '+' ? 1 : 0);
      const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
      (void)end;
      const bool fits = type == EPropertyValueType::R4 ? std::isfinite(float(value)) : std::isfinite(value);
      if (error != std::errc() || !fits) return Shown(text) + " is out of range";
      return std::string();
    }
    default: return std::string();
  }
}

std::string ParameterTextRefusal(ParamKind kind, const std::string& typed) {
  const std::string_view text = Trimmed(typed);
  if (text.empty()) return "Enter a number";
  switch (ClassifyTypedValue(kind, typed)) {
    case ETypedValue::kNumber: return std::string();
    case ETypedValue::kOutOfRange: return Shown(text) + " is out of range";
    case ETypedValue::kNotANumber: break;
  }
  return Quoted(text) + " is not a number";
}

CPropertyVariant ReadPropertyText(EPropertyValueType type, const std::string& text) {
  CPropertyVariant v;
  v.type = type;
  switch (type) {
    case EPropertyValueType::I2: v.integer = std::int16_t(std::uint16_t(LeadingInteger(text))); break;
    case EPropertyValueType::I4: v.integer = std::int32_t(std::uint32_t(LeadingInteger(text))); break;
    case EPropertyValueType::UI2: v.integer = std::uint16_t(LeadingInteger(text)); break;
    case EPropertyValueType::UI4: v.integer = std::uint32_t(LeadingInteger(text)); break;
    case EPropertyValueType::R4: v.real = double(float(LeadingReal(text))); break;
    case EPropertyValueType::R8: v.real = LeadingReal(text); break;
    case EPropertyValueType::Text: v.text = text; break;
    case EPropertyValueType::Bool: {
      std::size_t e = text.size();
      while (e > 0 && IsBlank(text[e - 1])) --e;
      v.flag = e == 4 && text.compare(0, 4, "True") == 0;
      break;
    }
    case EPropertyValueType::UI1: v.integer = FirstCharacter(text) & 0xFFu; break;
    case EPropertyValueType::Other: break;
  }
  return v;
}

std::string FormatPropertyVariant(const CPropertyVariant& value) {
  switch (value.type) {
    case EPropertyValueType::R4:
    case EPropertyValueType::R8: {
      char buffer[64];
      const auto result = value.type == EPropertyValueType::R4
                              ? std::to_chars(buffer, buffer + sizeof buffer, float(value.real))
                              : std::to_chars(buffer, buffer + sizeof buffer, value.real);
      return std::string(buffer, result.ptr);
    }
    case EPropertyValueType::Text: return value.text;
    case EPropertyValueType::Bool: return value.flag ? "True" : "False";
    case EPropertyValueType::Other: return std::string();
    default: return std::to_string(value.integer);
  }
}

// --- The row's value as the grid shows and edits it ---

EPropertyValueType CDeviceProperty::GetValueType() const {
  if (m_valueType) return *m_valueType;
  switch (m_value.index()) {
    case 0: return EPropertyValueType::I4;
    case 1: return EPropertyValueType::Text;
    case 2: return EPropertyValueType::Bool;
    default: return EPropertyValueType::R4;
  }
}

CPropertyVariant CDeviceProperty::GetVariant() const {
  CPropertyVariant v;
  v.type = GetValueType();
  switch (v.type) {
    case EPropertyValueType::R4:
    case EPropertyValueType::R8:
      v.real = double(FloatOf(m_value));
      break;
    case EPropertyValueType::Text: v.text = TextOf(m_value); break;
    case EPropertyValueType::Bool: v.flag = BoolOf(m_value); break;
    case EPropertyValueType::Other: break;
    default: {
      // The number cut to the type's width, as typed text would read.
      v = ReadPropertyText(v.type, std::to_string(NumberOf(m_value)));
      break;
    }
  }
  return v;
}

std::string CDeviceProperty::GetValueText() const { return FormatPropertyVariant(GetVariant()); }

CDeviceProperty::Value CDeviceProperty::ValueOf(const CPropertyVariant& value) const {
  switch (value.type) {
    case EPropertyValueType::R4:
    case EPropertyValueType::R8: return float(value.real);
    case EPropertyValueType::Text: return value.text;
    case EPropertyValueType::Bool: return value.flag;
    case EPropertyValueType::Other: return m_value;
    default: return value.integer;
  }
}

void CDeviceProperty::SetVariant(const CPropertyVariant& value) { m_value = ValueOf(value); }

CPropertyVariant CDeviceProperty::GetValueAsVariant() const {
  return m_editText ? ReadPropertyText(GetValueType(), *m_editText) : GetVariant();
}

std::string CDeviceProperty::GetEditRefusal() const {
  if (!m_editText || *m_editText == GetValueText()) return std::string();
  return PropertyTextRefusal(GetValueType(), *m_editText);
}

bool CDeviceProperty::HasNewValue() const {
  if (!m_options.empty() && m_comboSelection >= 0) return true;
  return GetValueAsVariant() != GetVariant();
}
