// A file saved whole or not at all. As a rule it is written as a temporary file beside its path,
// flushed to the disk and renamed over the path only when every byte got there. Where that
// cannot be done for a file the user may write, the file is written in place instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Until Commit, and when a step fails or the writer goes without a commit, the file at path is
// untouched and no temporary file is left. A file whose write permission is off for the user
// (by its mode, even for a user the system lets write anything) is refused by Open, as is a path
// that names a folder, a device or a pipe, and a write past the process's file-size limit. The
// new file keeps the owner, group and permissions of the one it replaces; a path that is a
// symbolic link has its target replaced, or made when the link dangles. After the rename the
// folder is flushed to the disk too.
//
// An existing file is written in place, keeping its inode, where the rename would change what
// the file is: when no temporary file can be made beside it (a folder the user may not write),
// when the file has more than one hard link, or when the new file could not be given its owner
// and group (another user's file in a shared folder). The bytes are then held until Commit,
// which reserves the room for them first, writes them over the file, cuts it to their length
// and flushes it; when that fails part-way the file's earlier bytes are written back (where the
// user may read the file). Two such saves of one file take turns, under a lock on the file.
//
// Each step returns false with a reason when it fails, and the writer then takes nothing more.
// One thread drives it.
class CAtomicFileWriter {
 public:
  explicit CAtomicFileWriter(const std::string& path);
  ~CAtomicFileWriter();
  CAtomicFileWriter(const CAtomicFileWriter&) = delete;
  CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

  // Creates the temporary file, or opens the file to be written in place.
  bool Open(std::string* error);
  // Appends size bytes.
  bool Write(const void* data, std::size_t size, std::string* error);
  // Flushes the file's data to the disk, closes it and renames it into place; or writes the
  // bytes over the file and flushes it.
  bool Commit(std::string* error);
  // After a successful Open: whether the file is written in place.
  bool WritesInPlace() const { return m_inPlace; }

 private:
  void Fail(std::string reason);
  void Discard();
  // Opens the existing file at m_path for the write in place; false with a reason.
  bool OpenInPlace(std::string* error);
  bool CommitInPlace();

  std::string m_path;  // the file replaced (a link's target); empty when the links go round
  std::string m_temp;  // the temporary file; empty when writing in place
  int m_fd = -1;
  bool m_inPlace = false;
  std::vector<std::uint8_t> m_pending;  // in place: the bytes written, held until Commit
  std::uint64_t m_written = 0;    // bytes taken by Write
  std::uint64_t m_sizeLimit = 0;  // the process's file-size limit, read by Open
  std::string m_failure;  // why the writer failed; empty while it has not
};

// Makes a write past the process's file-size limit fail (EFBIG) instead of ending the process
// with SIGXFSZ, so that a save can report it and keep the user's work. Called once at start-up,
// before any thread starts.
void LetWritesPastTheFileSizeLimitFail();
