// The processes that hold a terminal line open, read from /proc/<pid>/fd.
#include "platform/SerialPortUsers.h"

#include <dirent.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

// Pseudo-terminal slaves have the majors 136 to 143; their index counts on through the majors.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

long PtyIndex(const struct stat& st) {
  return long(major(st.st_rdev) - kFirstPtySlaveMajor) * 256 + long(minor(st.st_rdev));
}

// Whether an open file is the line: a pseudo-terminal by its node in its own devpts (each
// container's numbers start again at 0), any other device by its number, through whichever
// node it was opened.
bool IsSameLine(const struct stat& line, const struct stat& file) {
  if (!S_ISCHR(file.st_mode) || file.st_rdev != line.st_rdev) return false;
  if (IsPseudoTerminalSlave(line)) return file.st_dev == line.st_dev && file.st_ino == line.st_ino;
  return true;
}

bool IsAllDigits(const char* text) {
  if (*text == '\0') return false;
  for (; *text; ++text) {
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  }
  return true;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// The pseudo-terminal a master descriptor of the process serves ("tty-index:" of its fdinfo),
// or -1.
long MasterIndex(const std::string& procFolder, const char* fd) {
  std::ifstream info(procFolder + "/fdinfo/" + fd);
  std::string key;
  while (info >> key) {
    if (key == "tty-index:") {
      long index = -1;
      info >> index;
      return index;
    }
  }
  return -1;
}

std::string CommandName(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

bool IsPseudoTerminalSlave(const struct stat& st) {
  return S_ISCHR(st.st_mode) && major(st.st_rdev) >= kFirstPtySlaveMajor && major(st.st_rdev) <= kLastPtySlaveMajor;
}

namespace {

// The devices another process has open, and the pseudo-terminals whose master it holds.
struct CProcessLines {
  pid_t pid = 0;
  std::vector<struct stat> devices;
  std::vector<long> masters;
};

std::atomic<int> g_reads{0};

// Every other process that has a device open, as far as this user may look into it.
std::vector<CProcessLines> ReadProcessLines() {
  ++g_reads;
  std::vector<CProcessLines> found;
  const pid_t self = ::getpid();
  DirHandle proc(::opendir("/proc"));
  if (!proc) return found;
  while (const dirent* process = ::readdir(proc.get())) {
    if (!IsAllDigits(process->d_name)) continue;
    const pid_t pid = pid_t(std::atol(process->d_name));
    if (pid == self) continue;
    const std::string folder = std::string("/proc/") + process->d_name;
    DirHandle fds(::opendir((folder + "/fd").c_str()));
    if (!fds) continue;  // gone, or not ours to look into
    CProcessLines lines;
    lines.pid = pid;
    while (const dirent* fd = ::readdir(fds.get())) {
      if (!IsAllDigits(fd->d_name)) continue;
      const std::string path = folder + "/fd/" + fd->d_name;
      char target[64];
      const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = '\0';
      // Devices live under /dev; sockets, pipes and files are passed over unread.
      if (std::strncmp(target, "/dev/", 5) != 0) continue;
      if (std::strcmp(target, "/dev/ptmx") == 0 || std::strcmp(target, "/dev/pts/ptmx") == 0) {
        lines.masters.push_back(MasterIndex(folder, fd->d_name));
        continue;
      }
      struct stat file {};
      if (::stat(path.c_str(), &file) == 0 && S_ISCHR(file.st_mode)) lines.devices.push_back(file);
    }
    if (!lines.devices.empty()) found.push_back(std::move(lines));
  }
  return found;
}

// The look a CSerialLineUsersLook keeps on its thread, once taken.
struct CLook {
  bool taken = false;
  std::vector<CProcessLines> processes;
};
thread_local CLook* t_look = nullptr;

}  // namespace

CSerialLineUsersLook::CSerialLineUsersLook() : m_owns(t_look == nullptr) {
  if (m_owns) t_look = new CLook;
}

CSerialLineUsersLook::~CSerialLineUsersLook() {
  if (!m_owns) return;
  delete t_look;
  t_look = nullptr;
}

int SerialLineUserReadsForTests() { return g_reads; }

std::optional<SerialLineUser> FindOtherSerialLineUser(const struct stat& device) {
  std::vector<CProcessLines> now;
  if (t_look && !t_look->taken) {
    t_look->processes = ReadProcessLines();
    t_look->taken = true;
  }
  const std::vector<CProcessLines>& processes = t_look ? t_look->processes : (now = ReadProcessLines());
  const bool pty = IsPseudoTerminalSlave(device);
  for (const CProcessLines& process : processes) {
    const bool holdsLine = std::any_of(process.devices.begin(), process.devices.end(),
                                       [&](const struct stat& file) { return IsSameLine(device, file); });
    const bool farEnd = pty && std::find(process.masters.begin(), process.masters.end(), PtyIndex(device)) !=
                                   process.masters.end();
    if (holdsLine && !farEnd) return SerialLineUser{process.pid, CommandName(process.pid)};
  }
  return std::nullopt;
}

std::string DescribeSerialLineUser(const SerialLineUser& user) {
  const std::string process = "process " + std::to_string(user.pid);
  return user.name.empty() ? process : user.name + ", " + process;
}
