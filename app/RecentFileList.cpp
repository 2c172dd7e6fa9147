// Recent-file list in the settings store.
#include "app/RecentFileList.h"

#include <algorithm>

#include "platform/File.h"
#include "platform/SettingsStore.h"

namespace {
const char* const kSection = "Recent File List";
std::string KeyOf(std::size_t index) { return "File" + std::to_string(index + 1); }
}  // namespace

void CRecentFileList::Load() {
  m_paths.clear();
  for (std::size_t i = 0; i < kSize; ++i) {
    std::string path = CSettingsStore::GetString(kSection, KeyOf(i), "");
    if (!path.empty() && Find(path) == m_paths.end()) m_paths.push_back(path);
  }
}

std::vector<std::string>::iterator CRecentFileList::Find(const std::string& path) {
  return std::find_if(m_paths.begin(), m_paths.end(), [&](const std::string& entry) { return IsSameFile(entry, path); });
}

void CRecentFileList::Add(const std::string& path) {
  if (path.empty()) return;
  // What another instance listed meanwhile stays: the list is read again and changed.
  Load();
  if (const auto it = Find(path); it != m_paths.end()) m_paths.erase(it);
  m_paths.insert(m_paths.begin(), path);
  if (m_paths.size() > kSize) m_paths.resize(kSize);
  Save();
}

void CRecentFileList::Remove(std::size_t index) {
  if (index >= m_paths.size()) return;
  const std::string path = m_paths[index];
  Load();
  if (const auto it = Find(path); it != m_paths.end()) m_paths.erase(it);
  Save();
}

std::string CRecentFileList::Get(std::size_t index) const {
  return index < m_paths.size() ? m_paths[index] : std::string();
}

void CRecentFileList::Save() const {
  for (std::size_t i = 0; i < kSize; ++i) {
    if (i < m_paths.size()) {
      CSettingsStore::WriteString(kSection, KeyOf(i), m_paths[i]);
    } else {
      CSettingsStore::Remove(kSection, KeyOf(i));
    }
  }
}
