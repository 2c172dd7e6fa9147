// The atomic file writer on POSIX calls: the temporary file renamed into place, the write in
// place behind a kept copy of the earlier bytes, and the kept copies a save cut short leaves.
#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
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

#include "platform/AppPaths.h"
#include "platform/Archive.h"
#include "platform/File.h"

namespace {

std::atomic<int (*)(int)> g_fileSync{nullptr};
std::atomic<void (*)(int)> g_stepHook{nullptr};
std::atomic<int> g_step{0};

// Tells the test hook of the next step that changes the disk.
void Step() {
  if (void (*hook)(int) = g_stepHook.load()) hook(++g_step);
}

std::string Reason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

// Flushes a file's data, or a folder's entries, to the disk.
int SyncToDisk(int fd, bool folder) {
  if (int (*sync)(int) = g_fileSync.load()) return sync(fd);
  return folder ? ::fsync(fd) : ::fdatasync(fd);
}

// Has the disk start writing the file's bytes from..to without waiting for them, so that the
// flush at the end finds most of them written; a hint that a system without it does without.
constexpr std::uint64_t kWriteOutBytes = 1 << 20;
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

// Flushes the folder's entries (a file made, renamed or removed there) to the disk; 0 or errno.
int SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int code = SyncToDisk(fd, true) == 0 ? 0 : errno;
  ::close(fd);
  return code;
}

// The longest file name the folder of path takes, in bytes.
std::size_t LongestNameIn(const std::string& path) {
  const long longest = ::pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
  return longest > 0 ? std::size_t(longest) : std::size_t(NAME_MAX);
}

// The first bytes of a name, at most keep of them, cut at the start of a character.
std::string CutName(std::string name, std::size_t keep) {
  if (name.size() <= keep) return name;
  while (keep > 0 && (std::uint8_t(name[keep]) & 0xC0) == 0x80) --keep;
  name.resize(keep);
  return name;
}

constexpr std::size_t kRandomLetters = 6;
constexpr const char* kTemporaryEnd = ".saving";
constexpr const char* kKeptCopyEnd = ".kept";

std::string RandomLetters() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string letters;
  for (std::size_t i = 0; i < kRandomLetters; ++i) letters += kLetters[pick(random)];
  return letters;
}

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

// Takes the file's lock for a save: two saves of one file take turns. A file system without
// such locks goes on without.
void LockForSave(int fd) {
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

// Makes the file at path, which may not exist yet, and locks it for this save: another save
// sweeping its folder leaves a locked file alone. -1 with errno set when it cannot be made
// (EEXIST also when a sweep removed it before the lock was taken: another name is tried).
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

// Calls found(folder descriptor, name, open descriptor) for each regular file of the user in
// folder whose name passes named and that no save holds (its lock is taken, and held during
// the call).
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

// Writes size bytes at offset; false with errno set when the file takes no more.
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

// Reads size bytes at offset; false with errno set when they are not all there.
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

// The check word of a kept copy's earlier bytes, taken as they stream by. Copies of the first
// form carry a word taken a byte at a time (each byte folded in and multiplied); those of the
// second, which saves make now, one taken eight bytes at a time in four lanes that do not wait
// for each other, many times faster, with each lane's words mixed in by multiplication and
// rotation and the lanes and the length mixed together at the end.
class CCheckWord {
 public:
  explicit CCheckWord(bool byBytes) : m_byBytes(byBytes) {}

  void Add(const std::uint8_t* data, std::size_t size) {
    if (m_byBytes) {
      for (std::size_t i = 0; i < size; ++i) m_byteWord = (m_byteWord ^ data[i]) * 0x100000001B3ull;
      return;
    }
    m_length += size;
    if (m_pending > 0) {
      const std::size_t n = std::min(size, kStripe - m_pending);
      std::memcpy(m_stripe + m_pending, data, n);
      m_pending += n;
      data += n;
      size -= n;
      if (m_pending < kStripe) return;
      TakeStripe(m_stripe);
      m_pending = 0;
    }
    for (; size >= kStripe; data += kStripe, size -= kStripe) TakeStripe(data);
    std::memcpy(m_stripe, data, size);
    m_pending = size;
  }

  std::uint64_t Word() const {
    if (m_byBytes) return m_byteWord;
    std::uint64_t word = kP5;
    if (m_length >= kStripe) {
      word = std::rotl(m_lanes[0], 1) + std::rotl(m_lanes[1], 7) + std::rotl(m_lanes[2], 12) + std::rotl(m_lanes[3], 18);
      for (const std::uint64_t lane : m_lanes) word = (word ^ Round(0, lane)) * kP1 + kP4;
    }
    word += m_length;
    std::size_t at = 0;
    for (; at + 8 <= m_pending; at += 8) word = std::rotl(word ^ Round(0, Load(m_stripe + at, 8)), 27) * kP1 + kP4;
    if (at + 4 <= m_pending) {
      word = std::rotl(word ^ (Load(m_stripe + at, 4) * kP1), 23) * kP2 + kP3;
      at += 4;
    }
    for (; at < m_pending; ++at) word = std::rotl(word ^ (m_stripe[at] * kP5), 11) * kP1;
    word = (word ^ (word >> 33)) * kP2;
    word = (word ^ (word >> 29)) * kP3;
    return word ^ (word >> 32);
  }

 private:
  static constexpr std::size_t kStripe = 32;
  static constexpr std::uint64_t kP1 = 0x9E3779B185EBCA87ull, kP2 = 0xC2B2AE3D27D4EB4Full,
                                 kP3 = 0x165667B19E3779F9ull, kP4 = 0x85EBCA77C2B2AE63ull,
                                 kP5 = 0x27D4EB2F165667C5ull;

  // size bytes, the first the lowest, whatever the machine's own order.
  static std::uint64_t Load(const std::uint8_t* at, std::size_t size) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, size);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
  }
  static std::uint64_t Round(std::uint64_t lane, std::uint64_t word) {
    return std::rotl(lane + word * kP2, 31) * kP1;
  }
  void TakeStripe(const std::uint8_t* stripe) {
    for (std::size_t i = 0; i < 4; ++i) m_lanes[i] = Round(m_lanes[i], Load(stripe + 8 * i, 8));
  }

  bool m_byBytes;
  std::uint64_t m_byteWord = 0xCBF29CE484222325ull;
  std::uint64_t m_lanes[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
  std::uint64_t m_length = 0;
  std::uint8_t m_stripe[kStripe] = {};
  std::size_t m_pending = 0;
};

// Reads count bytes of the file from offset, block by block, and passes each block to take with
// how many bytes came before it; a take that returns other than 0 stops the walk with that
// code. 0, the code, or the errno of the read that failed.
constexpr std::size_t kCopyBlock = 1 << 20;
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

// Streams count bytes from one file to another, block by block, each block going out to the
// disk as the next is read; each block read is passed to seen (when given). 0, or the errno of
// the step that failed.
int CopyBytes(int from, std::uint64_t fromOffset, int to, std::uint64_t toOffset, std::uint64_t count,
              const std::function<void(const std::uint8_t*, std::size_t)>& seen = {}) {
  return EachBlock(from, fromOffset, count, [&](const std::uint8_t* data, std::size_t n, std::uint64_t done) {
    if (seen) seen(data, n);
    if (!WriteAllAt(to, data, n, toOffset + done)) return errno;
    StartWritingOut(to, toOffset + done, toOffset + done + n);
    return 0;
  });
}

// A kept copy: the 8 bytes "OVKEPT02" (or "OVKEPT01" for the first form), the length of the
// file's path (u32, little-endian), the path, the earlier bytes' length (u64), the earlier
// bytes, and their check word (u64) of that form.
constexpr std::size_t kMagicBytes = 8;
constexpr char kCopyMagic[kMagicBytes] = {'O', 'V', 'K', 'E', 'P', 'T', '0', '2'};
constexpr char kFirstCopyMagic[kMagicBytes] = {'O', 'V', 'K', 'E', 'P', 'T', '0', '1'};
constexpr std::size_t kCheckBytes = 8;

void PutWord(std::vector<std::uint8_t>& out, std::uint64_t word, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(word >> (8 * i)));
}
std::uint64_t TakeWord(const std::uint8_t* in, int bytes) {
  std::uint64_t word = 0;
  for (int i = bytes; i-- > 0;) word = (word << 8) | in[i];
  return word;
}

std::vector<std::uint8_t> CopyHeader(const std::string& file, std::uint64_t size) {
  std::vector<std::uint8_t> header(kCopyMagic, kCopyMagic + kMagicBytes);
  PutWord(header, file.size(), 4);
  header.insert(header.end(), file.begin(), file.end());
  PutWord(header, size, 8);
  return header;
}

// The start of the copy open at fd: its file, the earlier bytes' length and where they start.
struct CCopyHeader {
  std::string file;
  std::uint64_t size = 0;
  std::uint64_t dataStart = 0;
  bool firstForm = false;  // its check word is taken a byte at a time
};
// Reads it; false for a copy that is not whole (its save stopped while it was made).
bool ReadCopyHeader(int fd, CCopyHeader& header) {
  struct stat s {};
  std::uint8_t fixed[kMagicBytes + 4];
  if (::fstat(fd, &s) != 0 || !ReadAllAt(fd, fixed, sizeof fixed, 0)) return false;
  const bool firstForm = std::memcmp(fixed, kFirstCopyMagic, kMagicBytes) == 0;
  if (!firstForm && std::memcmp(fixed, kCopyMagic, kMagicBytes) != 0) return false;
  const std::uint64_t pathLength = TakeWord(fixed + kMagicBytes, 4);
  if (pathLength == 0 || pathLength > PATH_MAX) return false;
  std::string file(std::size_t(pathLength), '\0');
  std::uint8_t length[8];
  if (!ReadAllAt(fd, reinterpret_cast<std::uint8_t*>(file.data()), file.size(), sizeof fixed) ||
      !ReadAllAt(fd, length, sizeof length, sizeof fixed + pathLength))
    return false;
  header.file = std::move(file);
  header.size = TakeWord(length, 8);
  header.dataStart = sizeof fixed + pathLength + sizeof length;
  header.firstForm = firstForm;
  return std::uint64_t(s.st_size) == header.dataStart + header.size + kCheckBytes;
}

// Whether the copy's earlier bytes still match their check word.
bool CopyIsSound(int fd, const CCopyHeader& header) {
  std::uint8_t stored[kCheckBytes];
  if (!ReadAllAt(fd, stored, sizeof stored, header.dataStart + header.size)) return false;
  CCheckWord word(header.firstForm);
  const int code = EachBlock(fd, header.dataStart, header.size, [&word](const std::uint8_t* data, std::size_t n, std::uint64_t) {
    word.Add(data, n);
    return 0;
  });
  return code == 0 && word.Word() == TakeWord(stored, 8);
}

// Whether the file at path holds exactly the copy's earlier bytes.
bool FileHoldsTheCopy(const std::string& path, int copyFd, const CCopyHeader& header) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat s {};
  bool same = ::fstat(fd, &s) == 0 && S_ISREG(s.st_mode) && std::uint64_t(s.st_size) == header.size;
  std::unique_ptr<std::uint8_t[]> theirs(new (std::nothrow) std::uint8_t[kCopyBlock]);
  same = same && theirs &&
         EachBlock(fd, 0, header.size, [&](const std::uint8_t* ours, std::size_t n, std::uint64_t done) {
           const bool alike = ReadAllAt(copyFd, theirs.get(), n, header.dataStart + done) &&
                              std::memcmp(ours, theirs.get(), n) == 0;
           return alike ? 0 : EIO;
         }) == 0;
  ::close(fd);
  return same;
}

// Removes a copy by name and flushes the folder, so that the removal too is on the disk.
void RemoveCopy(const std::string& copy) {
  Step();
  ::unlink(copy.c_str());
  SyncFolder(FolderOf(copy));
}

// Writes the copy's earlier bytes over the file open at fd and cuts it to their length; 0 or
// the errno of the step that failed.
int PutBytesBack(int copyFd, const CCopyHeader& header, int fd) {
  if (const int code = CopyBytes(copyFd, header.dataStart, fd, 0, header.size)) return code;
  Step();
  if (::ftruncate(fd, off_t(header.size)) != 0) return errno;
  Step();
  return SyncToDisk(fd, false) == 0 ? 0 : errno;
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

namespace {

std::string KeptCopyFolderPath() { return GetAppDataFolder() + "KeptCopies/"; }

// Whether path names a file in the kept-copies folder (by whatever path to that folder).
bool InKeptCopyFolder(const std::string& path) {
  struct stat folder {}, copies {};
  return ::stat(FolderOf(FullFilePath(path)).c_str(), &folder) == 0 && ::stat(KeptCopyFolderPath().c_str(), &copies) == 0 &&
         folder.st_dev == copies.st_dev && folder.st_ino == copies.st_ino;
}

std::int64_t Nanoseconds(const struct timespec& t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; }

// A copy the person set aside has no write permission for its owner.
bool IsSetAside(int fd) {
  struct stat s {};
  return ::fstat(fd, &s) == 0 && (s.st_mode & S_IWUSR) == 0;
}

// Calls found for each copy in the kept-copies folder that no running save holds and that is
// whole, with the descriptor it holds locked and what its start says; one that is not whole (its
// save stopped before its file changed) is removed on the way. Of one file only when file is
// given. The folder is not made when it is not there.
void EachUnheldCopy(const std::string& file,
                    const std::function<void(int folderFd, const std::string& name, int fd, const CCopyHeader&)>& found) {
  const std::size_t endLength = std::strlen(kKeptCopyEnd);
  EachUnheldFile(
      KeptCopyFolderPath(),
      [endLength](const std::string& name) {
        return name.size() > endLength && name.compare(name.size() - endLength, endLength, kKeptCopyEnd) == 0;
      },
      [&](int folderFd, const std::string& name, int fd) {
        CCopyHeader header;
        if (!ReadCopyHeader(fd, header)) {
          ::unlinkat(folderFd, name.c_str(), 0);
        } else if (file.empty() || IsSameFile(file, header.file)) {
          found(folderFd, name, fd, header);
        }
      });
}

// Removes the copies of the file that earlier saves left, but those set aside: the file has
// just been saved whole. Each removal is a step of the save.
void RetireKeptCopies(const std::string& file) {
  bool removed = false;
  EachUnheldCopy(file, [&removed](int folderFd, const std::string& name, int fd, const CCopyHeader&) {
    if (IsSetAside(fd)) return;
    Step();
    removed = ::unlinkat(folderFd, name.c_str(), 0) == 0 || removed;
  });
  if (removed) SyncFolder(KeptCopyFolderPath());
}

// The copy open at fd, named name in the kept-copies folder, as it is found: removed (and
// none) when it is of no use, i.e. its file holds the same bytes again.
std::optional<CKeptCopy> TakeFoundCopy(int folderFd, const std::string& name, int fd, const CCopyHeader& header) {
  CKeptCopy kept{header.file, KeptCopyFolderPath() + name, header.size};
  kept.damaged = !CopyIsSound(fd, header);
  if (!kept.damaged && FileHoldsTheCopy(header.file, fd, header)) {
    ::unlinkat(folderFd, name.c_str(), 0);
    return std::nullopt;
  }
  struct stat copy {}, file {};
  if (::fstat(fd, &copy) == 0) {
    kept.setAside = (copy.st_mode & S_IWUSR) == 0;
    kept.keptAt = Nanoseconds(copy.st_mtim);
  }
  if (::stat(header.file.c_str(), &file) == 0) kept.fileChangedAt = Nanoseconds(file.st_mtim);
  return kept;
}

// Opens the copy and takes its lock: -1 when it is gone or a running save holds it.
int OpenUnheldCopy(const std::string& copy) {
  const int fd = ::open(copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string GetKeptCopyFolder() {
  const std::string folder = KeptCopyFolderPath();
  // The copies hold what the files held: for the user alone.
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::vector<CKeptCopy> FindKeptCopies(const std::string& file) {
  std::vector<CKeptCopy> found;
  EachUnheldCopy(file, [&](int folderFd, const std::string& name, int fd, const CCopyHeader& header) {
    if (std::optional<CKeptCopy> kept = TakeFoundCopy(folderFd, name, fd, header)) found.push_back(std::move(*kept));
  });
  return found;
}

std::optional<CKeptCopy> FindKeptCopyAt(const std::string& copy) {
  if (!InKeptCopyFolder(copy)) return std::nullopt;
  const std::string name = copy.substr(NameStart(copy));
  std::optional<CKeptCopy> found;
  EachUnheldCopy({}, [&](int folderFd, const std::string& each, int fd, const CCopyHeader& header) {
    if (!found && each == name) found = TakeFoundCopy(folderFd, each, fd, header);
  });
  return found;
}

bool PutKeptCopyBack(const CKeptCopy& kept, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const int copyFd = OpenUnheldCopy(kept.copy);
  if (copyFd < 0) return fail("The kept copy could not be read: it is gone or in use");
  CCopyHeader header;
  const bool whole = ReadCopyHeader(copyFd, header);
  if (!whole || !CopyIsSound(copyFd, header)) {
    ::close(copyFd);
    return fail(whole ? "The kept copy is damaged: its bytes do not match their check word"
                      : "The kept copy could not be read: it is not whole");
  }
  const int fd = ::open(header.file.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  struct stat s {};
  if (fd < 0 || ::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
    const int code = fd < 0 ? errno : EINVAL;
    if (fd >= 0) ::close(fd);
    ::close(copyFd);
    return fail(Reason("The file could not be written", code));
  }
  LockForSave(fd);
  const int code = PutBytesBack(copyFd, header, fd);
  ::close(fd);
  if (code == 0) RemoveCopy(kept.copy);
  ::close(copyFd);
  return code == 0 || fail(Reason("The file could not be written", code));
}

bool SaveKeptCopyAs(const CKeptCopy& kept, const std::string& destination, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (InKeptCopyFolder(destination))
    return fail("The file could not be written: choose a folder other than that of the kept copies");
  const int copyFd = OpenUnheldCopy(kept.copy);
  if (copyFd < 0) return fail("The kept copy could not be read: it is gone or in use");
  // The copy stays locked while it is saved: the save's own sweep of copies leaves it.
  CCopyHeader header;
  bool saved = ReadCopyHeader(copyFd, header) || fail("The kept copy could not be read: it is not whole");
  CAtomicFileWriter out(destination);
  saved = saved && out.Open(error);
  if (saved) {
    bool written = true;
    const int code = EachBlock(copyFd, header.dataStart, header.size, [&](const std::uint8_t* data, std::size_t n, std::uint64_t) {
      written = out.Write(data, n, error);
      return written ? 0 : EIO;
    });
    if (code != 0 && written) fail(Reason("The kept copy could not be read", code));
    saved = code == 0 && out.Commit(error);
  }
  if (saved) RemoveCopy(kept.copy);
  ::close(copyFd);
  return saved;
}

void DiscardKeptCopy(const CKeptCopy& kept) {
  const int fd = OpenUnheldCopy(kept.copy);
  if (fd < 0) return;
  RemoveCopy(kept.copy);
  ::close(fd);
}

void SetKeptCopyAside(const CKeptCopy& kept) {
  const int fd = OpenUnheldCopy(kept.copy);
  if (fd < 0) return;
  ::fchmod(fd, 0400);
  ::close(fd);
}

void ReleaseKeptCopy(const CKeptCopy& kept) {
  const int fd = OpenUnheldCopy(kept.copy);
  if (fd < 0) return;
  ::fchmod(fd, 0600);
  ::close(fd);
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
  CCopyHeader header;
  int code = ReadCopyHeader(m_copyFd, header) ? 0 : EIO;
  if (code == 0) code = PutBytesBack(m_copyFd, header, m_fd);
  if (code != 0 && !m_failure.empty())
    m_failure += "; the file's earlier bytes could not be put back (" + std::string(std::strerror(code)) +
                 ") and are kept in " + m_copy;
  CloseKeptCopy(code == 0);
}

void CAtomicFileWriter::CloseKeptCopy(bool remove) {
  if (m_copyFd < 0) return;
  if (remove) RemoveCopy(m_copy);
  ::close(m_copyFd);
  m_copyFd = -1;
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
    if (m_copyFd >= 0) CloseKeptCopy(true);
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
  const std::string folder = GetKeptCopyFolder();
  const std::string full = FullFilePath(m_path);
  for (int attempt = 0; attempt < 100 && m_copyFd < 0; ++attempt) {
    m_copy = folder + CutName(full.substr(NameStart(full)), 100) + "." + RandomLetters() + kKeptCopyEnd;
    Step();
    m_copyFd = MakeLockedFile(m_copy, 0600);
    if (m_copyFd < 0 && errno != EEXIST) break;
  }
  int code = m_copyFd < 0 ? errno : 0;
  // Writable for its owner whatever the process's mask: a copy without that is one the person
  // set aside.
  if (code == 0 && ::fchmod(m_copyFd, 0600) != 0) code = errno;
  if (code == 0) {
    const std::vector<std::uint8_t> header = CopyHeader(full, m_earlierSize);
    CCheckWord word(false);
    if (!WriteAllAt(m_copyFd, header.data(), header.size(), 0)) code = errno;
    if (code == 0) {
      code = CopyBytes(fd, 0, m_copyFd, header.size(), m_earlierSize,
                       [&word](const std::uint8_t* data, std::size_t n) { word.Add(data, n); });
    }
    std::vector<std::uint8_t> check;
    PutWord(check, word.Word(), 8);
    if (code == 0 && !WriteAllAt(m_copyFd, check.data(), check.size(), header.size() + m_earlierSize)) code = errno;
    if (code == 0) {
      Step();
      if (SyncToDisk(m_copyFd, false) != 0) code = errno;
    }
    if (code == 0) {
      Step();
      code = SyncFolder(folder);
    }
  }
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
  }
  Step();
  if (SyncToDisk(m_fd, false) != 0) {
    Fail(Reason("The file could not be flushed to the disk", errno));
    return false;
  }
  // The new bytes are on the disk: the copy goes, and with the lock still held, so do the
  // copies that earlier saves of the file left when they were cut short.
  CloseKeptCopy(true);
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
      // saves of the file left go.
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
