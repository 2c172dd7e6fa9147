// A file opened for reading and writing at positions, as the log writer needs it; a file's
// full path, and what tells whether a file is still the one that was read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CFile {
 public:
  enum class Mode {
    kRead,       // an existing file, read only
    kReadWrite,  // created when missing; what is there stays
    kTruncate,   // created when missing, emptied otherwise; write only
  };

  CFile();
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // False when the file cannot be opened in that mode.
  bool Open(const std::string& path, Mode mode);
  void Close();
  // -1 when the file is not open.
  std::int64_t Size() const;
  bool Seek(std::int64_t position);
  // Bytes read or written, -1 on an error.
  std::int64_t Read(void* data, std::int64_t n);
  std::int64_t Write(const void* data, std::int64_t n);
  bool Resize(std::int64_t size);
  bool Flush();

 private:
  class Impl;
  std::unique_ptr<Impl> m_impl;
};

// Paths are bytes as the system takes them; they need not be UTF-8.

// The path from the root, as the current folder makes it ("show.ovd" run in /home/a gives
// "/home/a/show.ovd"), without "." and ".." steps, naming the file that the system opens for
// the path: the folders are followed through their links as the system follows them, so that a
// ".." after a link to a folder leads up from where the link points ("a/ln/../x" is the "x"
// beside the link's target). The last name keeps its own: a link to a file is known by the
// link's name. Empty stays empty.
std::string FullFilePath(const std::string& path);
// True when path names a file (or a link to one) that the user may read.
bool IsReadableFile(const std::string& path);
// True when a and b name one file: the same full path (FullFilePath), also for a file that is
// not there (yet, or any more), or a link or another hard link to a file that is.
bool IsSameFile(const std::string& a, const std::string& b);

// What changes when a file is written or replaced: which file the name leads to, its length and
// the time of its last write (to the nanosecond, as the file system keeps it).
struct CFileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t writtenNs = 0;
  bool operator==(const CFileStamp&) const = default;
};
// The stamp of the file that path leads to now; none when there is no such file.
std::optional<CFileStamp> ReadFileStamp(const std::string& path);
