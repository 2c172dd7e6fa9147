// The four most recently opened or saved system files, most recent first, kept in the
// settings store (section "Recent File List", values "File1" to "File4"), which every instance
// of the program shares: each change is made to the list as the store holds it then.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CRecentFileList {
 public:
  static constexpr std::size_t kSize = 4;

  // UI thread, all of them.
  // Reads the entries from the store (missing ones are empty); a file listed again under another
  // name (a link to it) is listed once, by its newer name.
  void Load();
  // Reads the list from the store, puts path first (an entry naming the same file, also through
  // a link, goes), lets the oldest drop off and writes the list to the store at once.
  void Add(const std::string& path);
  // Removes entry index (a file that could not be opened) from the list as the store holds it.
  void Remove(std::size_t index);
  // Entry index (0 = most recent), empty when there is none.
  std::string Get(std::size_t index) const;
  std::size_t Count() const { return m_paths.size(); }

 private:
  void Save() const;
  // The entry that names the same file as path.
  std::vector<std::string>::iterator Find(const std::string& path);

  std::vector<std::string> m_paths;
};
