// Text of a printf pattern with its arguments, as a string of whatever length it takes. The
// compiler checks each pattern against its arguments. Any thread.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

[[gnu::format(printf, 1, 2)]] std::string FormatText(const char* format, ...);
// The same with the arguments as a list.
[[gnu::format(printf, 1, 0)]] std::string FormatTextList(const char* format, std::va_list args);
// A count with its thousands set apart: "1,200".
std::string WithThousands(std::uint64_t value);
