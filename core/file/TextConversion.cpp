// Text conversions on QString's UTF-8 codec.
#include "core/file/TextConversion.h"

#include <QString>
#include <algorithm>
#include <cstring>

CWideString Utf8ToCString(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
}

std::string CStringToUtf8(const CWideString& wide) { return QString::fromStdU16String(wide).toStdString(); }

std::string Latin1ToUtf8(const std::uint8_t* bytes, std::size_t count) {
  std::string utf8;
  utf8.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      utf8.push_back(char(b));
    } else {
      utf8.push_back(char(0xC0 | (b >> 6)));
      utf8.push_back(char(0x80 | (b & 0x3F)));
    }
  }
  return utf8;
}

const char* WideToUtf8Buffer(const CWideString& wide) {
  static char buffer[1024];
  std::string utf8 = CStringToUtf8(wide);
  std::size_t n = std::min(utf8.size(), sizeof buffer - 1);
  // Do not cut inside a multi-byte sequence.
  if (n < utf8.size())
    while (n > 0 && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
  std::memcpy(buffer, utf8.data(), n);
  buffer[n] = '\0';
  return buffer;
}

std::size_t EraseChar(char c, std::string& text) {
  auto it = std::remove(text.begin(), text.end(), c);
  std::size_t removed = std::size_t(text.end() - it);
  text.erase(it, text.end());
  return removed;
}

char CharAtOrSpace(const std::string& text, std::size_t index) {
  return index < text.size() ? text[index] : ' ';
}
