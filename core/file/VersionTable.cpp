// Version texts and the firmware version table reader.
#include "core/file/VersionTable.h"

#include <sys/stat.h>

#include <boost/format.hpp>
#include <fstream>
#include <iterator>

#include "platform/AppPaths.h"
#include "resources/Resources.h"

namespace {
// The table is a few lines; anything longer is not ours and is read only this far.
constexpr std::streamsize kMaxTableBytes = 1 << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }
}  // namespace

std::string GetVersionInfoString(const std::string& name) {
  for (const auto& [key, value] : GetVersionBlock().strings)
    if (key == name) return value;
  return std::string();
}

std::string GetVersionText() {
  const auto& v = GetVersionBlock().fileVersion;
  return (boost::format("Version %u.%u.%u Build %u") % v[0] % v[1] % v[2] % v[3]).str();
}

std::string GetProductNameText() { return GetVersionInfoString("ProductName"); }

std::string ReadIniValue(const std::string& key) {
  return ReadIniValueFromFile(GetExecutableFolder() + kFirmwareTableName, key);
}

std::string ReadIniValueFromFile(const std::string& path, const std::string& key) {
  if (key.empty()) return std::string();
  // Only a regular file is read: a pipe or a device put in the table's place would hold up the
  // read (and start-up with it) for good.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::string();
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::string();
  std::string content(std::size_t(kMaxTableBytes), '\0');
  file.read(content.data(), kMaxTableBytes);
  content.resize(std::size_t(file.gcount()));

  const std::size_t at = content.find(key);
  if (at == std::string::npos) return std::string();
  std::size_t begin = at + key.size() + 1;  // past the separator byte
  if (begin > content.size()) return std::string();
  std::size_t end = content.find_first_of("\r\n", begin);
  if (end == std::string::npos) end = content.size();
  while (begin < end && IsBlank(content[begin])) ++begin;
  while (end > begin && IsBlank(content[end - 1])) --end;
  return content.substr(begin, end - begin);
}
