// The names rule and its words.
#include "core/model/NameRules.h"

#include <cstdint>

#include "platform/TextFormat.h"

char32_t NextNameCharacter(const std::string& utf8, std::size_t& i) {
  const auto lead = std::uint8_t(utf8[i++]);
  if (lead < 0x80) return lead;
  const int more = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (more < 0 || i + std::size_t(more) > utf8.size()) return 0xFFFD;
  char32_t c = lead & (0x3F >> more);
  for (int k = 0; k < more; ++k) {
    const auto next = std::uint8_t(utf8[i + std::size_t(k)]);
    if ((next & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (next & 0x3F);
  }
  i += std::size_t(more);
  return c;
}

bool IsNameControlCharacter(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

std::size_t NameCharacters(const std::string& utf8) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size(); ++count) NextNameCharacter(utf8, i);
  return count;
}

std::string NameRefusal(const std::string& utf8, const CNameRule& rule) {
  bool control = false;
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size(); ++count) {
    const std::size_t at = i;
    const char32_t c = NextNameCharacter(utf8, i);
    if (rule.asciiOnlyReason && c >= 0xA0)
      return FormatText("%s cannot contain \"%s\" - %s", rule.what, utf8.substr(at, i - at).c_str(),
                        rule.asciiOnlyReason);
    control = control || IsNameControlCharacter(c);
  }
  if (control) return FormatText("%s cannot contain control characters", rule.what);
  if (rule.maxCharacters > 0 && count > rule.maxCharacters)
    return FormatText("%s too long - %d characters max", rule.what, int(rule.maxCharacters));
  return std::string();
}
