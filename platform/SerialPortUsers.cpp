// The processes that hold a terminal line open, read from /proc/<pid>/fd, and the machine's
// consoles, read from /proc/consoles.
#include "platform/SerialPortUsers.h"

#include <dirent.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

namespace {

// Pseudo-terminal slaves have the majors 136 to 143; their index counts on through the majors.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

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

// The controlling terminal that /proc/<pid>/stat names (its seventh field, which every user may
// read), as a device number; 0 for none.
dev_t ControllingTerminal(const std::string& procFolder) {
  std::ifstream stat(procFolder + "/stat");
  std::string line;
  std::getline(stat, line);
  // The command name, in parentheses, may hold spaces and parentheses itself.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(line.substr(close + 1));
  std::string state;
  long parent = 0, group = 0, session = 0;
  unsigned long tty = 0;
  if (!(fields >> state >> parent >> group >> session >> tty) || tty == 0) return 0;
  // The kernel's encoding: minor bits 0-7 and 20-31, major bits 8-19.
  return makedev(unsigned((tty >> 8) & 0xFFF), unsigned((tty & 0xFF) | ((tty >> 12) & 0xFFF00)));
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

// The devices another process has open; of one whose open files this user may not read, its
// controlling terminal.
struct CProcessLines {
  pid_t pid = 0;
  std::vector<struct stat> devices;
  dev_t controlling = 0;
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
    CProcessLines lines;
    lines.pid = pid;
    DirHandle fds(::opendir((folder + "/fd").c_str()));
    if (!fds) {
      // Gone, or not ours to look into: a line that is its controlling terminal is still seen.
      lines.controlling = ControllingTerminal(folder);
      if (lines.controlling != 0) found.push_back(std::move(lines));
      continue;
    }
    while (const dirent* fd = ::readdir(fds.get())) {
      if (!IsAllDigits(fd->d_name)) continue;
      const std::string path = folder + "/fd/" + fd->d_name;
      char target[64];
      const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = '\0';
      // Devices live under /dev; sockets, pipes and files are passed over unread, and so is the
      // master side of a pseudo-terminal, which is the line's far end, not a use of the line.
      if (std::strncmp(target, "/dev/", 5) != 0) continue;
      if (std::strcmp(target, "/dev/ptmx") == 0 || std::strcmp(target, "/dev/pts/ptmx") == 0) continue;
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
  for (const CProcessLines& process : processes) {
    const bool holdsLine = std::any_of(process.devices.begin(), process.devices.end(),
                                       [&](const struct stat& file) { return IsSameLine(device, file); });
    const bool controls = process.controlling != 0 && process.controlling == device.st_rdev;
    if (holdsLine || controls) return SerialLineUser{process.pid, CommandName(process.pid)};
  }
  return std::nullopt;
}

std::string SerialLineUserName(pid_t pid) { return CommandName(pid); }

dev_t ControllingTerminalOf(pid_t pid) { return ControllingTerminal("/proc/" + std::to_string(pid)); }

namespace {

std::mutex g_consolesMutex;
std::string g_consolesFile;

// The device numbers of the lines /proc/consoles names: each line's last field, "4:64".
std::vector<dev_t> ConsoleLines() {
  std::string file;
  {
    std::lock_guard<std::mutex> lock(g_consolesMutex);
    file = g_consolesFile.empty() ? "/proc/consoles" : g_consolesFile;
  }
  std::vector<dev_t> lines;
  std::ifstream consoles(file);
  for (std::string line; std::getline(consoles, line);) {
    const std::size_t last = line.find_last_of(" \t");
    const std::string numbers = last == std::string::npos ? line : line.substr(last + 1);
    unsigned major = 0, minor = 0;
    char end = 0;
    if (std::sscanf(numbers.c_str(), "%u:%u%c", &major, &minor, &end) == 2) lines.push_back(makedev(major, minor));
  }
  return lines;
}

}  // namespace

bool IsMachineConsole(const std::string& path, const struct stat& device) {
  if (!S_ISCHR(device.st_mode)) return false;
  const unsigned major = ::major(device.st_rdev), minor = ::minor(device.st_rdev);
  // /dev/console and /dev/ttyprintk; the virtual consoles.
  if (major == 5 && (minor == 1 || minor == 3)) return true;
  if (major == 4 && minor < 64) return true;
  const std::vector<dev_t> consoles = ConsoleLines();
  if (std::find(consoles.begin(), consoles.end(), device.st_rdev) != consoles.end()) return true;
  // Also by name, where the console is another device's stand-in (a container's).
  std::error_code ec;
  const std::string real = std::filesystem::canonical(path, ec).string();
  if (ec) return false;
  if (real == "/dev/console") return true;
  return real.size() > 8 && real.rfind("/dev/tty", 0) == 0 &&
         std::all_of(real.begin() + 8, real.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

void SetConsoleListForTests(const std::string& file) {
  std::lock_guard<std::mutex> lock(g_consolesMutex);
  g_consolesFile = file;
}

std::string DescribeSerialLineUser(const SerialLineUser& user) {
  const std::string process = "process " + std::to_string(user.pid);
  return user.name.empty() ? process : user.name + ", " + process;
}
