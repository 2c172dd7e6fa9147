// The lock files that serial programs on Linux share: "LCK..<name>" in /run/lock or /var/lock,
// holding the PID of the process that uses the line, as text. A program that takes one tells
// every other program, of any user, that the line is in use; one whose process is gone is stale.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// A lock file that another live process holds.
struct SerialLineLock {
  std::string file;  // its path
  pid_t pid = 0;     // its holder; 0 when the file names no process it can be read for
};

// The lock file of the device that another process holds, or nullopt when there is none, or
// only stale ones (their process is gone) or ones of this process. A file that names no process
// (empty, damaged, no regular file) counts as held: it may be one being written. device: the
// path the port opens; the lock names of the device it leads to count too.
std::optional<SerialLineLock> FindSerialLineLock(const std::string& device);

// This program's lock file on a line, while it holds the line.
class CSerialLineLockFile {
 public:
  CSerialLineLockFile() = default;
  ~CSerialLineLockFile() { Release(); }
  CSerialLineLockFile(const CSerialLineLockFile&) = delete;
  CSerialLineLockFile& operator=(const CSerialLineLockFile&) = delete;

  // Takes the device's lock file: written whole under a name of its own and linked to the lock's
  // name, which fails when the name is taken, so that no one reads it half-written and of two
  // programs at the same moment one goes without; a stale one is taken over. False, with what
  // holds the line in held, when another live process holds a lock file of the device. True
  // without a file of this program's when no lock folder takes one from this user: the lock
  // files of others are honoured still.
  bool Take(const std::string& device, SerialLineLock& held);
  // Removes the file, when it still names this process.
  void Release();
  // The file taken; empty when none is held.
  const std::string& File() const { return m_file; }

 private:
  std::string m_file;
};

// Tests: the lock folders, in the order looked in (ours goes into the first that takes it);
// empty restores /run/lock and /var/lock.
void SetSerialLockFoldersForTests(std::vector<std::string> folders);
