// The atomic file writer on POSIX calls, with its write in place.
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>

#include "platform/Archive.h"

namespace {

std::atomic<int (*)(int)> g_fileSync{nullptr};

std::string Reason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

// Flushes a file's data, or a folder's entries, to the disk.
int SyncToDisk(int fd, bool folder) {
  if (int (*sync)(int) = g_fileSync.load()) return sync(fd);
  return folder ? ::fsync(fd) : ::fdatasync(fd);
}

std::size_t NameStart(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string FolderOf(const std::string& path) {
  const std::size_t start = NameStart(path);
  if (start == 0) return ".";
  return start == 1 ? "/" : path.substr(0, start - 1);
}

// The longest file name the folder of path takes, in bytes.
std::size_t LongestNameIn(const std::string& path) {
  const long longest = ::pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
  return longest > 0 ? std::size_t(longest) : std::size_t(NAME_MAX);
}

// A name beside path that no file has yet: the file's name, a dot and six random letters or
// digits. A name too long to take the seven more bytes is cut first, at the start of a
// character, so that a file whose name is near the longest the folder allows is still saved
// through a temporary file.
std::string TemporaryNameBeside(const std::string& path, std::size_t longestName) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  constexpr std::size_t kAdded = 7;
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  const std::size_t start = NameStart(path);
  std::string name = path.substr(start);
  if (longestName > kAdded && name.size() + kAdded > longestName) {
    std::size_t keep = longestName - kAdded;
    while (keep > 0 && (std::uint8_t(name[keep]) & 0xC0) == 0x80) --keep;
    name.resize(keep);
  }
  std::string temp = path.substr(0, start) + name + ".";
  for (std::size_t i = 1; i < kAdded; ++i) temp += kLetters[pick(random)];
  return temp;
}

// The file path names: a symbolic link's target, followed link by link (also a target that does
// not exist yet), a relative target taken from the folder of the link that holds it. Empty when
// the links go round or run deeper than the system itself would follow.
std::string FinalTarget(const std::string& path) {
  std::string at = path;
  for (int links = 0; links <= 40; ++links) {
    struct stat s {};
    if (::lstat(at.c_str(), &s) != 0 || !S_ISLNK(s.st_mode)) return at;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(at.c_str(), target, sizeof target);
    if (n <= 0 || std::size_t(n) >= sizeof target) return at;
    std::string next(target, std::size_t(n));
    const std::size_t slash = at.find_last_of('/');
    if (next[0] != '/' && slash != std::string::npos) next = at.substr(0, slash + 1) + next;
    at = std::move(next);
  }
  return {};
}

// Why the file may not be written over, or empty when it may. Only a regular file is: a folder,
// a device or a pipe is never replaced by a file nor written into. Then the file's own write
// bits, which a user the system lets write anything (root) heeds too: a file its owner marked
// read-only stays as it is, and every user is told so. Then the system's answer.
std::string WhyNotWritable(const std::string& path, const struct stat& file) {
  if (S_ISDIR(file.st_mode)) return Reason("The file could not be written", EISDIR);
  if (!S_ISREG(file.st_mode)) return "The file could not be written: it is not a regular file";
  const bool own = file.st_uid == ::geteuid();
  if (own ? (file.st_mode & S_IWUSR) == 0 : (file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return "The file could not be written: the file is read-only";
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    return Reason("The file could not be written", errno);
  return {};
}

// Writes size bytes at offset 0 of the file; false with errno set when the file takes no more.
bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += std::size_t(n);
  }
  return true;
}

// The file's first size bytes; false when they cannot be read (a file opened for writing only).
bool ReadAllAt(int fd, std::size_t size, std::vector<std::uint8_t>& bytes) {
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pread(fd, bytes.data() + done, size - done, off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

}  // namespace

void LetWritesPastTheFileSizeLimitFail() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

void SetFileSyncForTests(int (*sync)(int)) { g_fileSync = sync; }

// A link keeps pointing where it did: its target is what gets replaced, or made.
CAtomicFileWriter::CAtomicFileWriter(const std::string& path) : m_path(FinalTarget(path)) {}

CAtomicFileWriter::~CAtomicFileWriter() { Discard(); }

void CAtomicFileWriter::Fail(std::string reason) {
  if (m_failure.empty()) m_failure = std::move(reason);
}

void CAtomicFileWriter::Discard() {
  m_pending.clear();
  m_pending.shrink_to_fit();
  if (m_fd < 0) return;
  ::close(m_fd);
  m_fd = -1;
  // Written in place, the file itself is what is open: it stays.
  if (!m_inPlace) ::unlink(m_temp.c_str());
}

bool CAtomicFileWriter::Open(std::string* error) {
  Discard();
  m_failure.clear();
  m_written = 0;
  m_inPlace = false;
  m_temp.clear();
  if (m_path.empty()) {
    errno = ELOOP;
    if (error) *error = Reason("The file could not be created", ELOOP);
    return false;
  }
  struct stat original {};
  const bool replaces = ::stat(m_path.c_str(), &original) == 0;
  if (replaces) {
    std::string why = WhyNotWritable(m_path, original);
    if (!why.empty()) {
      if (error) *error = std::move(why);
      return false;
    }
  }
  // Writes that would pass the process's file-size limit fail here, before the system would
  // stop the process for them.
  rlimit size {};
  m_sizeLimit = ::getrlimit(RLIMIT_FSIZE, &size) == 0 && size.rlim_cur != RLIM_INFINITY
                    ? std::uint64_t(size.rlim_cur)
                    : std::numeric_limits<std::uint64_t>::max();
  // A renamed file would leave the file's other names holding the old bytes.
  if (replaces && original.st_nlink > 1) return OpenInPlace(error);

  // The temporary file starts with the permissions the file has for its owner alone, and gets
  // the rest once it has the file's owner and group: it never shows anyone what the file would
  // not. A new file has the usual permissions from the start.
  const mode_t mode = replaces ? (original.st_mode & S_IRWXU) : 0666;
  const std::size_t longestName = LongestNameIn(m_path);
  int code = 0;
  for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
    m_temp = TemporaryNameBeside(m_path, longestName);
    m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    code = errno;
    if (m_fd < 0 && code != EEXIST) break;
  }
  if (m_fd < 0) {
    m_temp.clear();
    // The folder takes no new file (the user may not write it, or it is full), but the file
    // itself may be written.
    if (replaces) return OpenInPlace(error);
    errno = code;
    if (error) *error = Reason("The file could not be created", code);
    return false;
  }
  if (!replaces) return true;
  // The owner, group and permissions of the file replaced, the owner first: a change of owner
  // clears the set-id bits. A file that cannot keep them (only root gives a file away) is
  // written in place instead, so that it stays the file of the user and group it was.
  struct stat made {};
  bool kept = ::fstat(m_fd, &made) == 0;
  if (kept && (made.st_uid != original.st_uid || made.st_gid != original.st_gid))
    kept = ::fchown(m_fd, original.st_uid, original.st_gid) == 0;
  kept = kept && ::fchmod(m_fd, original.st_mode & 07777) == 0 && ::fstat(m_fd, &made) == 0 &&
         (made.st_mode & 07777) == (original.st_mode & 07777);
  if (kept) return true;
  Discard();
  m_temp.clear();
  return OpenInPlace(error);
}

bool CAtomicFileWriter::OpenInPlace(std::string* error) {
  // Read access too where the user has it, so that the earlier bytes can be put back when the
  // write fails part-way. A pipe put at the path meanwhile is never waited on.
  int fd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::open(m_path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = Reason("The file could not be written", errno);
    return false;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    if (error) *error = "The file could not be written: it is not a regular file";
    return false;
  }
  m_fd = fd;
  m_inPlace = true;
  m_pending.clear();
  return true;
}

bool CAtomicFileWriter::Write(const void* data, std::size_t size, std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (m_failure.empty() && size > m_sizeLimit - std::min(m_written, m_sizeLimit))
    Fail(Reason("The file could not be written", EFBIG));
  if (m_failure.empty() && m_inPlace && size > 0) {
    // Held until Commit: the file keeps its bytes while the save is still being made.
    try {
      m_pending.insert(m_pending.end(), bytes, bytes + size);
      m_written += size;
      size = 0;
    } catch (const std::bad_alloc&) {
      Fail(Reason("The file could not be written", ENOMEM));
    }
  }
  while (m_failure.empty() && size > 0) {
    const ssize_t n = ::write(m_fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail(Reason("The file could not be written", n < 0 ? errno : ENOSPC));
      break;
    }
    bytes += n;
    size -= std::size_t(n);
    m_written += std::uint64_t(n);
  }
  if (m_failure.empty()) return true;
  if (error) *error = m_failure;
  Discard();
  return false;
}

bool CAtomicFileWriter::CommitInPlace() {
  const int fd = m_fd;
  // Two saves of the file in place (two instances of the program) take turns, so that neither
  // cuts the other's bytes short; the lock goes with the descriptor. A file system without such
  // locks goes on without.
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat now {};
  if (::fstat(fd, &now) != 0) {
    Fail(Reason("The file could not be written", errno));
    return false;
  }
  const std::size_t size = m_pending.size();
  const std::size_t before = std::size_t(now.st_size);
  // Room for the new bytes first: a full disk or quota refuses them before the file changes.
  // A file system that reserves no room goes on without.
  if (size > before && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
    Fail(Reason("The file could not be written", errno));
    return false;
  }
  std::vector<std::uint8_t> earlier;
  const bool restorable = ReadAllAt(fd, before, earlier);
  std::string failure;
  if (!WriteAllAt(fd, m_pending.data(), size))
    failure = Reason("The file could not be written", errno);
  else if (size < before && ::ftruncate(fd, off_t(size)) != 0)
    failure = Reason("The file could not be written", errno);
  else if (SyncToDisk(fd, false) != 0)
    failure = Reason("The file could not be flushed to the disk", errno);
  if (!failure.empty()) {
    // The file's earlier bytes and length, as far as the disk takes them back.
    if (restorable && WriteAllAt(fd, earlier.data(), before)) {
      [[maybe_unused]] const int cut = ::ftruncate(fd, off_t(before));
      [[maybe_unused]] const int flushed = SyncToDisk(fd, false);
    }
    Fail(failure);
    return false;
  }
  m_fd = -1;
  m_pending.clear();
  m_pending.shrink_to_fit();
  if (::close(fd) != 0) {
    Fail(Reason("The file could not be written", errno));
    return false;
  }
  return true;
}

bool CAtomicFileWriter::Commit(std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  bool done = m_failure.empty();
  if (done && m_inPlace) {
    done = CommitInPlace();
  } else if (done) {
    // The bytes must be on the disk before the rename replaces the original: a flush that
    // fails keeps the original and is reported.
    if (SyncToDisk(m_fd, false) != 0) {
      Fail(Reason("The file could not be flushed to the disk", errno));
      done = false;
    }
  }
  if (done && !m_inPlace) {
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) Fail(Reason("The file could not be written", errno));
    else if (::rename(m_temp.c_str(), m_path.c_str()) != 0) Fail(Reason("The file could not be replaced", errno));
    done = m_failure.empty();
    if (!done) ::unlink(m_temp.c_str());
    if (done) {
      // The rename reaches the disk with the folder's entries. The file is replaced by now,
      // whatever this flush says, so its result is not reported.
      const int folder = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (folder >= 0) {
        [[maybe_unused]] const int flushed = SyncToDisk(folder, true);
        ::close(folder);
      }
    }
  }
  if (!done) {
    if (error) *error = m_failure;
    Discard();
  }
  return done;
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
  CAtomicFileWriter file(path);
  return file.Open(error) && file.Write(bytes.data(), bytes.size(), error) && file.Commit(error);
}
