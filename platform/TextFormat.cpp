// printf patterns into strings.
#include "platform/TextFormat.h"

#include <cstdio>

std::string FormatText(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = FormatTextList(format, args);
  va_end(args);
  return text;
}

std::string FormatTextList(const char* format, std::va_list args) {
  // Most texts fit the first try; a longer one is written again at its measured length.
  char small[256];
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  if (length < 0) {
    va_end(again);
    return {};
  }
  if (std::size_t(length) < sizeof small) {
    va_end(again);
    return std::string(small, std::size_t(length));
  }
  std::string text(std::size_t(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

std::string WithThousands(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string text;
  text.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}
