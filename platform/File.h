// A file opened for reading and writing at positions, as the log writer needs it, and a file's
// full path.
#pragma once

#include <cstdint>
#include <memory>
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

// The path from the root, as the current folder makes it ("show.ovd" run in /home/a gives
// "/home/a/show.ovd"), without "." and ".." steps; a link keeps its own name. Empty stays empty.
std::string FullFilePath(const std::string& path);
