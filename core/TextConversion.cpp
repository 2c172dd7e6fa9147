// Text conversions on QString's UTF-8 codec.
#include "core/TextConversion.h"

#include <QString>
#include <algorithm>
#include <cstring>

CWideString Utf8ToCString(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
}

std::string CStringToUtf8(const CWideString& wide) { return QString::fromStdU16String(wide).toStdString(); }

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
