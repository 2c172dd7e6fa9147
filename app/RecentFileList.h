// The four most recently opened or saved system files, most recent first, kept in the
// settings store (section "Recent File List", values "File1" to "File4").
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CRecentFileList {
 public:
  static constexpr std::size_t kSize = 4;

  // UI thread, all of them.
  // Reads the entries from the store (missing ones are empty).
  void Load();
  // Puts path first; an entry equal to it moves up instead of appearing twice; the oldest
  // drops off. Writes the list to the store at once.
  void Add(const std::string& path);
  // Removes entry index (a file that could not be opened).
  void Remove(std::size_t index);
  // Entry index (0 = most recent), empty when there is none.
  std::string Get(std::size_t index) const;
  std::size_t Count() const { return m_paths.size(); }

 private:
  void Save() const;

  std::vector<std::string> m_paths;
};
