// Lock files of serial lines: who holds one, and taking and giving back this program's own.
#include "platform/SerialPortLockFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/SerialPortQueue.h"
#include "platform/TextFormat.h"

namespace fs = std::filesystem;

namespace {

std::mutex g_foldersMutex;
std::vector<std::string> g_testFolders;
// Numbers the temporary files of this process, of which two threads may write one each.
std::atomic<unsigned> g_temporaries{0};

// The folders that exist, each once (/var/lock is mostly a link to /run/lock).
std::vector<std::string> LockFolders() {
  std::vector<std::string> wanted;
  {
    std::lock_guard<std::mutex> lock(g_foldersMutex);
    wanted = g_testFolders;
  }
  if (wanted.empty()) wanted = {"/run/lock", "/var/lock"};
  std::vector<std::string> folders;
  std::vector<std::string> seen;
  for (const std::string& folder : wanted) {
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec || !fs::is_directory(real, ec)) continue;
    if (std::find(seen.begin(), seen.end(), real.string()) != seen.end()) continue;
    seen.push_back(real.string());
    folders.push_back(real.string());
  }
  return folders;
}

// The names a lock file of the device goes by: its path below /dev with each "/" as "_" (the
// common form: "ttyUSB0", "pts_5"), and its last part alone ("5"), as some programs name it; for
// the device the path leads to and for the path as named. The first is the name this program
// takes.
std::vector<std::string> LockNames(const std::string& device) {
  std::vector<std::string> names;
  const auto add = [&names](const fs::path& path) {
    const std::string text = path.lexically_normal().string();
    if (text.rfind("/dev/", 0) == 0 && text.size() > 5) {
      std::string below = text.substr(5);
      std::replace(below.begin(), below.end(), '/', '_');
      names.push_back(below);
    }
    names.push_back(path.filename().string());
  };
  std::error_code ec;
  const fs::path real = fs::canonical(device, ec);
  if (!ec) add(real);
  add(fs::path(device));
  std::vector<std::string> unique;
  for (const std::string& name : names) {
    if (!name.empty() && name != "." && name != ".." && std::find(unique.begin(), unique.end(), name) == unique.end())
      unique.push_back(name);
  }
  return unique;
}

// What a lock file holds.
struct LockContent {
  bool exists = false;
  pid_t pid = 0;  // 0: it names no process
};

// The PID a lock file names: ten characters of text and a line end as most programs write it, or
// the four bytes of a binary number as older ones did.
LockContent ReadLock(const std::string& file) {
  LockContent content;
  // Not blocking: whatever is planted there (a pipe) is never waited on.
  const int fd = RetryInterrupted([&] { return ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) {
    content.exists = errno != ENOENT && errno != ENOTDIR;
    return content;
  }
  content.exists = true;
  struct stat st {};
  char text[32] = {};
  ssize_t n = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) n = RetryInterrupted([&] { return ::read(fd, text, sizeof text - 1); });
  ::close(fd);
  if (n <= 0) return content;
  const auto isText = [](char c) { return (c >= '0' && c <= '9') || c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
  if (n == sizeof(int) && !std::all_of(text, text + n, isText)) {
    int binary = 0;
    std::memcpy(&binary, text, sizeof binary);
    content.pid = binary > 0 ? pid_t(binary) : 0;
    return content;
  }
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  long value = 0;
  const char* digits = p;
  while (*p >= '0' && *p <= '9' && value <= INT_MAX) value = value * 10 + (*p++ - '0');
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
  if (p == digits || *p != '\0' || value <= 0 || value > INT_MAX) return content;
  content.pid = pid_t(value);
  return content;
}

// Whether the process runs, also when it is another user's (which a signal may not reach).
bool ProcessRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Whether the lock, as read, holds the line against this process.
bool HeldByAnother(const LockContent& content) {
  if (!content.exists) return false;
  if (content.pid == 0) return true;
  return content.pid != ::getpid() && ProcessRuns(content.pid);
}

}  // namespace

std::optional<SerialLineLock> FindSerialLineLock(const std::string& device) {
  const std::vector<std::string> names = LockNames(device);
  for (const std::string& folder : LockFolders()) {
    for (const std::string& name : names) {
      const std::string file = folder + "/LCK.." + name;
      const LockContent content = ReadLock(file);
      if (HeldByAnother(content)) return SerialLineLock{file, content.pid};
    }
  }
  return std::nullopt;
}

bool CSerialLineLockFile::Take(const std::string& device, SerialLineLock& held) {
  Release();
  if (auto other = FindSerialLineLock(device)) {
    held = *other;
    return false;
  }
  const std::vector<std::string> names = LockNames(device);
  if (names.empty()) return true;
  const pid_t self = ::getpid();
  const std::string text = FormatText("%10d\n", int(self));
  for (const std::string& folder : LockFolders()) {
    const std::string file = folder + "/LCK.." + names.front();
    const std::string temporary =
        folder + "/LTMP." + std::to_string(self) + "." + std::to_string(++g_temporaries) + ".orvak";
    ::unlink(temporary.c_str());
    const int fd =
        RetryInterrupted([&] { return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); });
    if (fd < 0) continue;  // a folder this user may not write: the next, or none
    const bool written = RetryInterrupted([&] { return ::write(fd, text.data(), text.size()); }) == ssize_t(text.size());
    ::fchmod(fd, 0644);  // readable by every program, whatever this user's mask
    ::close(fd);
    // The name is the lock: linked only when no one has it. One found there meanwhile is judged
    // again: another live holder has the line; a stale one, or a leftover of this process, goes.
    bool taken = false;
    for (int attempt = 0; written && !taken && attempt < 3; ++attempt) {
      if (::link(temporary.c_str(), file.c_str()) == 0) {
        taken = true;
        break;
      }
      if (errno != EEXIST) break;
      const LockContent content = ReadLock(file);
      if (HeldByAnother(content)) {
        ::unlink(temporary.c_str());
        held = SerialLineLock{file, content.pid};
        return false;
      }
      // In a sticky folder only the file's owner removes it: then the line goes without our file.
      if (::unlink(file.c_str()) != 0 && errno != ENOENT) break;
    }
    ::unlink(temporary.c_str());
    if (taken) {
      m_file = file;
      return true;
    }
  }
  return true;
}

void CSerialLineLockFile::Release() {
  if (m_file.empty()) return;
  // Only a file that is still ours goes: one a program put in its place after judging ours
  // stale is that program's.
  if (ReadLock(m_file).pid == ::getpid()) ::unlink(m_file.c_str());
  m_file.clear();
}

void SetSerialLockFoldersForTests(std::vector<std::string> folders) {
  std::lock_guard<std::mutex> lock(g_foldersMutex);
  g_testFolders = std::move(folders);
}
