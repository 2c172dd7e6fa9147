// Conversions between wide text (UTF-16, as windows show it) and UTF-8 byte strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using CWideString = std::u16string;

// Invalid UTF-8 decodes to U+FFFD, never fails.
CWideString Utf8ToCString(const std::string& utf8);
std::string CStringToUtf8(const CWideString& wide);
// Bytes that each stand for one character code 0 to 255 (Latin-1), as UTF-8.
std::string Latin1ToUtf8(const std::uint8_t* bytes, std::size_t count);
// Encodes into one shared 1024-byte buffer (terminated) and returns it; the next call
// overwrites it and longer texts are cut at a character boundary. UI thread only.
const char* WideToUtf8Buffer(const CWideString& wide);
// Removes every occurrence of c from text; returns how many were removed.
std::size_t EraseChar(char c, std::string& text);
// The character at index, or a blank at or past the end.
char CharAtOrSpace(const std::string& text, std::size_t index);
