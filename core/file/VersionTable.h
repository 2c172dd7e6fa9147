// The program's version texts (from its version block) and the firmware version table, the
// small text file "Orvak.ini" beside the executable that names the firmware version expected
// of each product family ("ZEL_SERIES=1.23").
#pragma once

#include <string>

// A named text of the version block ("ProductName", "FileVersion", ...); empty when missing.
std::string GetVersionInfoString(const std::string& name);
// "Version %u.%u.%u Build %u" from the four parts of the file version.
std::string GetVersionText();
// The version block's product name.
std::string GetProductNameText();

// The table's file name, in the program's folder.
inline constexpr const char* kFirmwareTableName = "Orvak.ini";

// The expected firmware version of a product family ("ZEL_SERIES", "ZEL_6", "ZEL_BREAK",
// "Fennick", "PX4", "PX5", ...) from "Orvak.ini" beside the executable; empty when the file
// or the key is missing. Read afresh on every call. Any thread.
std::string ReadIniValue(const std::string& key);
// The same lookup in a file of that path. The first occurrence of the key anywhere in the
// file counts (exact, case-sensitive); the byte after it (the "=") is skipped and the rest of
// that line is returned, trimmed of blanks.
std::string ReadIniValueFromFile(const std::string& path, const std::string& key);
