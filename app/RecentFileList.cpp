// Recent-file list in the settings store.
#include "app/RecentFileList.h"

#include <algorithm>

#include "platform/SettingsStore.h"

namespace {
const char* const kSection = "Recent File List";
std::string KeyOf(std::size_t index) { return "File" + std::to_string(index + 1); }
}  // namespace

void CRecentFileList::Load() {
  m_paths.clear();
  for (std::size_t i = 0; i < kSize; ++i) {
    std::string path = CSettingsStore::GetString(kSection, KeyOf(i), "");
    if (!path.empty() && std::find(m_paths.begin(), m_paths.end(), path) == m_paths.end()) {
      m_paths.push_back(path);
    }
  }
}

void CRecentFileList::Add(const std::string& path) {
  if (path.empty()) return;
  m_paths.erase(std::remove(m_paths.begin(), m_paths.end(), path), m_paths.end());
  m_paths.insert(m_paths.begin(), path);
  if (m_paths.size() > kSize) m_paths.resize(kSize);
  Save();
}

void CRecentFileList::Remove(std::size_t index) {
  if (index >= m_paths.size()) return;
  m_paths.erase(m_paths.begin() + std::ptrdiff_t(index));
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
