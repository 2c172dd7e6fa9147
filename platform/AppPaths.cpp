// Application folders on QStandardPaths.
#include "platform/AppPaths.h"

#include <QDir>
#include <QStandardPaths>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace {
std::mutex g_mutex;
std::string g_rootOverride;
}  // namespace

std::string GetUserDataRoot() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_rootOverride.empty()) return g_rootOverride;
  }
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty()) base = QDir::homePath();
  return base.toStdString();
}

std::string GetAppDataFolder() {
  std::string folder = GetUserDataRoot() + "/Orvak/";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

std::string GetExecutableFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  return exe.parent_path().string() + "/";
}

void SetUserDataRootForTests(const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_rootOverride = folder;
}
