// A file replaced whole or not at all: written as a temporary file beside its path, flushed to
// the disk and renamed over the path only when every byte got there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Until Commit, and when a step fails or the writer goes without a commit, the file at path is
// untouched and no temporary file is left. A file whose write permission is off for the user
// (by its mode, even for a user the system lets write anything) is refused by Open, as is a
// write past the process's file-size limit. The new file keeps the owner, group and permissions
// of the one it replaces where the process may set them; a path that is a symbolic link has its
// target replaced, or made when the link dangles. Each step returns false with a reason when it
// fails, and the writer then takes nothing more. One thread drives it.
class CAtomicFileWriter {
 public:
  explicit CAtomicFileWriter(const std::string& path);
  ~CAtomicFileWriter();
  CAtomicFileWriter(const CAtomicFileWriter&) = delete;
  CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

  // Creates the temporary file.
  bool Open(std::string* error);
  // Appends size bytes.
  bool Write(const void* data, std::size_t size, std::string* error);
  // Flushes the file's data to the disk, closes it and renames it into place.
  bool Commit(std::string* error);

 private:
  void Fail(std::string reason);
  void Discard();

  std::string m_path;  // the file replaced (a link's target); empty when the links go round
  std::string m_temp;
  int m_fd = -1;
  std::uint64_t m_written = 0;    // bytes written to the temporary file
  std::uint64_t m_sizeLimit = 0;  // the process's file-size limit, read by Open
  std::string m_failure;  // why the writer failed; empty while it has not
};

// Makes a write past the process's file-size limit fail (EFBIG) instead of ending the process
// with SIGXFSZ, so that a save can report it and keep the user's work. Called once at start-up,
// before any thread starts.
void LetWritesPastTheFileSizeLimitFail();
