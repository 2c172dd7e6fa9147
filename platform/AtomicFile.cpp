// The atomic file writer on POSIX calls.
#include "platform/AtomicFile.h"

#include <fcntl.h>
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
#include <random>

#include "platform/Archive.h"

namespace {

std::atomic<int (*)(int)> g_fileSync{nullptr};

std::string Reason(const std::string& what, int code) { return what + ": " + std::strerror(code); }

// A name beside path that no file has yet: path, a dot and six random letters or digits.
std::string TemporaryNameBeside(const std::string& path) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string name = path + ".";
  for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
  return name;
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

// Why the file may not be written over, or empty when it may. The system's answer first; then
// the file's own write bits, which a user the system lets write anything (root) still heeds: a
// file its owner marked read-only stays as it is.
std::string WhyNotWritable(const std::string& path, const struct stat& file) {
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    return Reason("The file could not be written", errno);
  const bool own = file.st_uid == ::geteuid();
  if (own ? (file.st_mode & S_IWUSR) == 0 : (file.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
    return "The file could not be written: the file is read-only";
  return {};
}

}  // namespace

void LetWritesPastTheFileSizeLimitFail() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

void SetFileSyncForTests(int (*sync)(int fd)) { g_fileSync = sync; }

// A link keeps pointing where it did: its target is what gets replaced, or made.
CAtomicFileWriter::CAtomicFileWriter(const std::string& path) : m_path(FinalTarget(path)) {}

CAtomicFileWriter::~CAtomicFileWriter() { Discard(); }

void CAtomicFileWriter::Fail(std::string reason) {
  if (m_failure.empty()) m_failure = std::move(reason);
}

void CAtomicFileWriter::Discard() {
  if (m_fd < 0) return;
  ::close(m_fd);
  m_fd = -1;
  ::unlink(m_temp.c_str());
}

bool CAtomicFileWriter::Open(std::string* error) {
  Discard();
  m_failure.clear();
  m_written = 0;
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
  int code = 0;
  for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
    m_temp = TemporaryNameBeside(m_path);
    m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    code = errno;
    if (m_fd < 0 && code != EEXIST) break;
  }
  if (m_fd < 0) {
    if (error) *error = Reason("The file could not be created", code);
    return false;
  }
  // The owner, group and permissions of the file replaced, where the process may set them; the
  // save goes on without. The owner first: a change of owner clears the set-id bits.
  if (replaces) {
    const bool anothers = original.st_uid != ::geteuid() || original.st_gid != ::getegid();
    if (anothers && ::fchown(m_fd, original.st_uid, original.st_gid) != 0) {
      // Only root gives a file away; a member of the file's group may still give it the group.
      [[maybe_unused]] const int group = ::fchown(m_fd, uid_t(-1), original.st_gid);
    }
    [[maybe_unused]] const int kept = ::fchmod(m_fd, original.st_mode & 07777);
  }
  return true;
}

bool CAtomicFileWriter::Write(const void* data, std::size_t size, std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  const auto* bytes = static_cast<const char*>(data);
  if (m_failure.empty() && size > m_sizeLimit - std::min(m_written, m_sizeLimit))
    Fail(Reason("The file could not be written", EFBIG));
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

bool CAtomicFileWriter::Commit(std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  bool done = m_failure.empty();
  // The bytes must be on the disk before the rename replaces the original: a flush that fails
  // keeps the original and is reported.
  int (*sync)(int) = g_fileSync.load();
  if (done && (sync ? sync : ::fdatasync)(m_fd) != 0) {
    Fail(Reason("The file could not be flushed to the disk", errno));
    done = false;
  }
  if (done) {
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) Fail(Reason("The file could not be written", errno));
    else if (::rename(m_temp.c_str(), m_path.c_str()) != 0) Fail(Reason("The file could not be replaced", errno));
    done = m_failure.empty();
    if (!done) ::unlink(m_temp.c_str());
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
