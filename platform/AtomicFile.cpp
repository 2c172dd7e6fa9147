// The atomic file writer on POSIX calls: the temporary file renamed into place and the write in
// place behind a kept copy of the earlier bytes (the copies themselves: AtomicFileCopies.cpp).
#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <random>

#include "platform/Archive.h"
#include "platform/AtomicFileDisk.h"
#include "platform/File.h"

namespace {

std::atomic<int (*)(int)> g_fileSync{nullptr};
std::atomic<void (*)(int)> g_stepHook{nullptr};
std::atomic<int> g_step{0};

}  // namespace

namespace atomic_file {

void Step() {
  if (void (*hook)(int) = g_stepHook.load()) hook(++g_step);
}

std::string Reason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

int SyncToDisk(int fd, bool folder) {
  if (int (*sync)(int) = g_fileSync.load()) return sync(fd);
  return folder ? ::fsync(fd) : ::fdatasync(fd);
}

void StartWritingOut(int fd, std::uint64_t from, std::uint64_t to) {
#if defined(SYNC_FILE_RANGE_WRITE)
  ::sync_file_range(fd, off_t(from), off_t(to - from), SYNC_FILE_RANGE_WRITE);
#else
  (void)fd, (void)from, (void)to;
#endif
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

int SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int code = SyncToDisk(fd, true) == 0 ? 0 : errno;
  ::close(fd);
  return code;
}

std::string CutName(std::string name, std::size_t keep) {
  if (name.size() <= keep) return name;
  while (keep > 0 && (std::uint8_t(name[keep]) & 0xC0) == 0x80) --keep;
  name.resize(keep);
  return name;
}

std::string RandomLetters() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string letters;
  for (std::size_t i = 0; i < kRandomLetters; ++i) letters += kLetters[pick(random)];
  return letters;
}

void LockForSave(int fd) {
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

int MakeLockedFile(const std::string& path, mode_t mode) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  LockForSave(fd);
  struct stat made {};
  if (::fstat(fd, &made) == 0 && made.st_nlink == 0) {
    ::close(fd);
    errno = EEXIST;
    return -1;
  }
  return fd;
}

void EachUnheldFile(const std::string& folder, const std::function<bool(const std::string&)>& named,
                    const std::function<void(int, const std::string&, int)>& found) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const int folderFd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!named(name)) continue;
    const int fd = ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat s {};
    if (::fstat(fd, &s) == 0 && S_ISREG(s.st_mode) && s.st_uid == ::geteuid() && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      found(folderFd, name, fd);
    ::close(fd);
  }
  ::closedir(dir);
}

bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    Step();
    const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += std::size_t(n);
  }
  return true;
}

bool ReadAllAt(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::pread(fd, data + done, size - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += std::size_t(n);
  }
  return true;
}

int EachBlock(int fd, std::uint64_t offset, std::uint64_t count,
              const std::function<int(const std::uint8_t*, std::size_t, std::uint64_t done)>& take) {
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[kCopyBlock]);
  if (!block) return ENOMEM;
  for (std::uint64_t done = 0; done < count;) {
    const std::size_t n = std::size_t(std::min<std::uint64_t>(kCopyBlock, count - done));
    if (!ReadAllAt(fd, block.get(), n, offset + done)) return errno;
    if (const int code = take(block.get(), n, done)) return code;
    done += n;
  }
  return 0;
}

int CopyBytes(int from, std::uint64_t fromOffset, int to, std::uint64_t toOffset, std::uint64_t count,
              const std::function<void(const std::uint8_t*, std::size_t)>& seen) {
  return EachBlock(from, fromOffset, count, [&](const std::uint8_t* data, std::size_t n, std::uint64_t done) {
    if (seen) seen(data, n);
    if (!WriteAllAt(to, data, n, toOffset + done)) return errno;
    StartWritingOut(to, toOffset + done, toOffset + done + n);
    return 0;
  });
}

void PutWord(std::vector<std::uint8_t>& out, std::uint64_t word, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(word >> (8 * i)));
}

std::uint64_t TakeWord(const std::uint8_t* in, int bytes) {
  std::uint64_t word = 0;
  for (int i = bytes; i-- > 0;) word = (word << 8) | in[i];
  return word;
}

}  // namespace atomic_file

using namespace atomic_file;

namespace {

// The disk is told to start writing a file's bytes each time this many more have come, so that
// the flush at the end finds most of them written.
constexpr std::uint64_t kWriteOutBytes = 1 << 20;

// The longest file name the folder of path takes, in bytes.
std::size_t LongestNameIn(const std::string& path) {
  const long longest = ::pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
  return longest > 0 ? std::size_t(longest) : std::size_t(NAME_MAX);
}

constexpr const char* kTemporaryEnd = ".saving";

// Whether name is what the name stem, a dot, six letters or digits and the end make.
bool IsNameOf(const std::string& name, const std::string& stem, const std::string& end) {
  if (name.size() != stem.size() + 1 + kRandomLetters + end.size()) return false;
  if (name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '.') return false;
  if (name.compare(name.size() - end.size(), end.size(), end) != 0) return false;
  return std::all_of(name.begin() + std::ptrdiff_t(stem.size() + 1), name.end() - std::ptrdiff_t(end.size()),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// The stem of the temporary files beside path: the file's name, cut at the start of a
// character when it is too long to take the temporary's ending within the folder's longest
// name, so that a file whose name is near that length is still saved through a temporary.
std::string TemporaryStem(const std::string& path, std::size_t longestName) {
  const std::size_t added = 1 + kRandomLetters + std::strlen(kTemporaryEnd);
  const std::string name = path.substr(NameStart(path));
  return longestName > added ? CutName(name, longestName - added) : name;
}

// Removes the temporary files that earlier saves of path left beside it when they were cut
// short: the user's own, of this file's name, that no running save holds.
void RemoveLeftTemporaries(const std::string& path, std::size_t longestName) {
  const std::string stem = TemporaryStem(path, longestName);
  EachUnheldFile(
      FolderOf(path), [&](const std::string& name) { return IsNameOf(name, stem, kTemporaryEnd); },
      [](int folderFd, const std::string& name, int) { ::unlinkat(folderFd, name.c_str(), 0); });
}

// The file path names: a symbolic link's target, followed link by link (also a target that does
// not exist yet), a relative target taken from the folder of the link that holds it. A link in
// a folder that everybody may write and whose sticky bit is set is followed only when it is the
// user's own or the folder owner's: another user may have put it there to have the save write
// where they could not. Else refused, and also when the links go round or run deeper than the
// system itself would follow.
struct CTarget {
  std::string path;
  std::string refused;
};
CTarget FinalTarget(const std::string& path) {
  std::string at = path;
  for (int links = 0; links <= 40; ++links) {
    struct stat s {};
    if (::lstat(at.c_str(), &s) != 0 || !S_ISLNK(s.st_mode)) return {at, {}};
    struct stat folder {};
    if (::stat(FolderOf(at).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH) &&
        s.st_uid != ::geteuid() && s.st_uid != folder.st_uid)
      return {{}, "The file could not be written: it is a link that another user made in a shared folder"};
    char target[PATH_MAX];
    const ssize_t n = ::readlink(at.c_str(), target, sizeof target);
    if (n <= 0 || std::size_t(n) >= sizeof target) return {at, {}};
    std::string next(target, std::size_t(n));
    const std::size_t slash = at.find_last_of('/');
    if (next[0] != '/' && slash != std::string::npos) next = at.substr(0, slash + 1) + next;
    at = std::move(next);
  }
  return {{}, Reason("The file could not be created", ELOOP)};
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

}  // namespace

void LetWritesPastTheFileSizeLimitFail() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

void SetFileSyncForTests(int (*sync)(int)) { g_fileSync = sync; }

void SetSaveStepHookForTests(void (*hook)(int step)) {
  g_step = 0;
  g_stepHook = hook;
}

// A link keeps pointing where it did: its target is what gets replaced, or made.
CAtomicFileWriter::CAtomicFileWriter(const std::string& path) {
  CTarget target = FinalTarget(path);
  m_path = std::move(target.path);
  m_refused = std::move(target.refused);
}

CAtomicFileWriter::~CAtomicFileWriter() { Discard(); }

void CAtomicFileWriter::Fail(std::string reason) {
  if (m_failure.empty()) m_failure = std::move(reason);
}

void CAtomicFileWriter::Discard() {
  if (m_fd < 0) return;
  if (m_inPlace) {
    PutEarlierBytesBack();
  } else {
    // Removed while it is still locked: no sweep of another save takes it meanwhile.
    ::unlink(m_temp.c_str());
  }
  ::close(m_fd);
  m_fd = -1;
}

void CAtomicFileWriter::PutEarlierBytesBack() {
  if (m_copyFd < 0) return;
  const int code = PutKeptBytesBack(m_copyFd, m_fd);
  if (code != 0 && !m_failure.empty())
    m_failure += "; the file's earlier bytes could not be put back (" + std::string(std::strerror(code)) +
                 ") and are kept in " + m_copy;
  EndKeptCopy(m_copy, m_copyFd, code == 0);
}

bool CAtomicFileWriter::Open(std::string* error) {
  Discard();
  m_failure.clear();
  m_written = 0;
  m_writingOut = 0;
  m_inPlace = false;
  m_temp.clear();
  if (!m_refused.empty()) {
    if (error) *error = m_refused;
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
  RemoveLeftTemporaries(m_path, longestName);
  const std::string stem = m_path.substr(0, NameStart(m_path)) + TemporaryStem(m_path, longestName);
  int code = 0;
  for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
    m_temp = stem + "." + RandomLetters() + kTemporaryEnd;
    Step();
    m_fd = MakeLockedFile(m_temp, mode);
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
  auto refuse = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  // Read access too, to keep the earlier bytes. A pipe put at the path meanwhile is never
  // waited on.
  const int fd = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(Reason("The file could not be written", errno));
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ::close(fd);
    return refuse("The file could not be written: it is not a regular file");
  }
  // From here to the end of the save the file is this save's: another save in place waits, and
  // so does a whole-file read.
  LockForSave(fd);
  if (::fstat(fd, &opened) != 0) {
    const int code = errno;
    ::close(fd);
    return refuse(Reason("The file could not be written", code));
  }
  m_earlierSize = std::uint64_t(opened.st_size);

  // The earlier bytes go to a copy in the user's own folder first, flushed to the disk with
  // the copy's name before a byte of the file changes: a save cut short leaves them there.
  const int code = MakeKeptCopy(fd, FullFilePath(m_path), m_earlierSize, m_copy, m_copyFd);
  if (code != 0) {
    ::close(fd);
    return refuse(Reason("The file could not be written: a copy of its earlier bytes could not be kept or flushed to the disk",
                         code));
  }
  m_fd = fd;
  m_inPlace = true;
  return true;
}

bool CAtomicFileWriter::Write(const void* data, std::size_t size, std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  if (m_failure.empty() && size > m_sizeLimit - std::min(m_written, m_sizeLimit))
    Fail(Reason("The file could not be written", EFBIG));
  // In place the bytes go straight over the file: its earlier ones are kept in the copy.
  if (m_failure.empty() && !WriteAllAt(m_fd, static_cast<const std::uint8_t*>(data), size, m_written))
    Fail(Reason("The file could not be written", errno));
  if (m_failure.empty()) {
    // The copy follows the file's time: written later by anything else, the file is newer.
    if (m_inPlace) FollowFileTime(m_copyFd, m_fd);
    m_written += size;
    if (m_written - m_writingOut >= kWriteOutBytes) {
      StartWritingOut(m_fd, m_writingOut, m_written);
      m_writingOut = m_written;
    }
    return true;
  }
  Discard();
  if (error) *error = m_failure;
  return false;
}

bool CAtomicFileWriter::CommitInPlace() {
  if (m_written < m_earlierSize) {
    Step();
    if (::ftruncate(m_fd, off_t(m_written)) != 0) {
      Fail(Reason("The file could not be written", errno));
      return false;
    }
    FollowFileTime(m_copyFd, m_fd);
  }
  Step();
  if (SyncToDisk(m_fd, false) != 0) {
    Fail(Reason("The file could not be flushed to the disk", errno));
    return false;
  }
  // The new bytes are on the disk: the copy says so before it goes, and with the lock still
  // held, so do the copies of the file that earlier saves left and the person knows of.
  MarkKeptCopyFinished(m_copyFd);
  EndKeptCopy(m_copy, m_copyFd, true);
  RetireKeptCopies(m_path);
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0) {
    Fail(Reason("The file could not be written", errno));
    return false;
  }
  return true;
}

bool CAtomicFileWriter::Flush(std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  if (m_failure.empty()) {
    Step();
    if (SyncToDisk(m_fd, false) != 0) Fail(Reason("The file could not be flushed to the disk", errno));
  }
  if (m_failure.empty()) return true;
  if (error) *error = m_failure;
  return false;
}

bool CAtomicFileWriter::Commit(std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  bool done = m_failure.empty();
  if (done && m_inPlace) {
    done = CommitInPlace();
  } else if (done) {
    // The bytes must be on the disk before the rename replaces the original: a flush that
    // fails keeps the original and is reported. The file is renamed while it is still locked,
    // so that no other save takes it for one cut short.
    Step();
    if (SyncToDisk(m_fd, false) != 0) {
      Fail(Reason("The file could not be flushed to the disk", errno));
    } else {
      Step();
      if (::rename(m_temp.c_str(), m_path.c_str()) != 0) Fail(Reason("The file could not be replaced", errno));
    }
    done = m_failure.empty();
    if (done) {
      const int fd = m_fd;
      m_fd = -1;
      // Flushed already: what close could still report has reached the disk.
      ::close(fd);
      // The rename reaches the disk with the folder's entries. The file is replaced by now,
      // whatever this flush says, so its result is not reported. Then the copies that earlier
      // saves of the file left and the person knows of go.
      Step();
      SyncFolder(FolderOf(m_path));
      RetireKeptCopies(m_path);
    }
  }
  if (!done) {
    Discard();
    if (error) *error = m_failure;
  }
  return done;
}

bool SaveFileTail(const std::string& source, std::uint64_t from, const std::string& destination,
                  std::string* error) {
  const int in = ::open(source.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  struct stat s {};
  if (in < 0 || ::fstat(in, &s) != 0 || !S_ISREG(s.st_mode)) {
    const int code = in < 0 ? errno : EINVAL;
    if (in >= 0) ::close(in);
    if (error) *error = Reason("The file could not be read", code);
    return false;
  }
  CAtomicFileWriter out(destination);
  std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[kCopyBlock]);
  bool saved = block && out.Open(error);
  const std::uint64_t size = std::uint64_t(s.st_size);
  for (std::uint64_t at = from; saved && at < size;) {
    const std::size_t n = std::size_t(std::min<std::uint64_t>(kCopyBlock, size - at));
    if (!ReadAllAt(in, block.get(), n, at)) {
      if (error) *error = Reason("The file could not be read", errno);
      saved = false;
    } else {
      saved = out.Write(block.get(), n, error);
    }
    at += n;
  }
  ::close(in);
  return saved && out.Commit(error);
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
  CAtomicFileWriter file(path);
  return file.Open(error) && file.Write(bytes.data(), bytes.size(), error) && file.Commit(error);
}
