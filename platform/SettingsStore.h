// The user's settings profile: QSettings under organisation "ZYRQOL", application "Orvak".
#pragma once

#include <cstdint>
#include <string>

// Typed reads with defaults and writes that reach the store at once. Any thread. Strings are
// kept byte for byte, also those that are not UTF-8.
class CSettingsStore {
 public:
  static std::uint32_t GetInt(const std::string& section, const std::string& key, std::uint32_t def);
  static void WriteInt(const std::string& section, const std::string& key, std::uint32_t value);
  static std::string GetString(const std::string& section, const std::string& key, const std::string& def);
  static void WriteString(const std::string& section, const std::string& key, const std::string& value);
  static bool Contains(const std::string& section, const std::string& key);
  static void Remove(const std::string& section, const std::string& key);

  // Keeps the store in an ini file inside folder (tests); an empty folder restores the user's profile.
  static void UseFolderForTests(const std::string& folder);
};
