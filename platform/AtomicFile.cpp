// The atomic file writer on POSIX calls.
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
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

}  // namespace

void SetFileSyncForTests(int (*sync)(int fd)) { g_fileSync = sync; }

CAtomicFileWriter::CAtomicFileWriter(const std::string& path) : m_path(path) {
  // A link keeps pointing where it did: its target is what gets replaced.
  char resolved[PATH_MAX];
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && ::realpath(path.c_str(), resolved))
    m_path = resolved;
}

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
  struct stat original {};
  const bool replaces = ::stat(m_path.c_str(), &original) == 0;
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
  // The permissions of the file replaced, where they can be set; the save goes on without.
  if (replaces) {
    [[maybe_unused]] const int kept = ::fchmod(m_fd, original.st_mode & 07777);
  }
  return true;
}

bool CAtomicFileWriter::Write(const void* data, std::size_t size, std::string* error) {
  if (m_fd < 0) Fail("The file is not open for writing");
  const auto* bytes = static_cast<const char*>(data);
  while (m_failure.empty() && size > 0) {
    const ssize_t n = ::write(m_fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail(Reason("The file could not be written", n < 0 ? errno : ENOSPC));
      break;
    }
    bytes += n;
    size -= std::size_t(n);
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
