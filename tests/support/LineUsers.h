// Pseudo-terminals for tests of who may use a serial line: the test process holds the master
// (the line's far end, which sees every byte the program writes), and another process can be
// made to use the slave as its own line, as a terminal program or a modem daemon would.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/SerialPort.h"

class CTestPty {
 public:
  CTestPty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) == 0) m_slave = name;
  }
  ~CTestPty() {
    if (m_master >= 0) ::close(m_master);
  }
  CTestPty(const CTestPty&) = delete;
  CTestPty& operator=(const CTestPty&) = delete;

  bool IsValid() const { return m_master >= 0 && !m_slave.empty(); }
  int Master() const { return m_master; }
  const std::string& SlavePath() const { return m_slave; }

  // What reached the far end so far.
  std::vector<std::uint8_t> Received() const {
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[256];
    for (ssize_t n; (n = ::read(m_master, chunk, sizeof chunk)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    return bytes;
  }

  // Fills what the line holds towards the far end, which never reads it: the line then takes
  // no bytes, as an adapter or a far end that has stopped reading. Full is when the far end's
  // own buffer is (what the kernel has not moved into it yet may make room again until then).
  // False when it did not fill.
  bool FillTowardsTheFarEnd() const {
    const int fd = ::open(m_slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    const std::vector<std::uint8_t> chunk(4096, 0x55);
    bool full = false;
    for (int round = 0; round < 1000 && !full; ++round) {
      while (::write(fd, chunk.data(), chunk.size()) > 0) {
      }
      int waiting = 0;
      full = errno == EAGAIN && ::ioctl(m_master, FIONREAD, &waiting) == 0 && waiting >= 4095;
      pollfd room{fd, POLLOUT, 0};
      if (!full) ::poll(&room, 1, 10);
    }
    ::close(fd);
    return full;
  }

  // Keeps what the line holds towards the far end full from this process's own descriptor of the
  // slave, until the returned filler is destroyed: whatever room a program's set-up of the line
  // makes (a flush of its output) is taken again at once, so the program's writes find the line
  // full however the kernel moves its buffers meanwhile.
  class CKeptFull {
   public:
    explicit CKeptFull(const std::string& slave) {
      m_fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      if (m_fd < 0) return;
      m_thread = std::thread([this] {
        const std::vector<std::uint8_t> chunk(4096, 0x55);
        while (!m_stop.load()) {
          while (::write(m_fd, chunk.data(), chunk.size()) > 0) {
          }
          pollfd room{m_fd, POLLOUT, 0};
          ::poll(&room, 1, 5);
        }
      });
    }
    ~CKeptFull() {
      m_stop.store(true);
      if (m_thread.joinable()) m_thread.join();
      if (m_fd >= 0) ::close(m_fd);
    }
    CKeptFull(const CKeptFull&) = delete;
    CKeptFull& operator=(const CKeptFull&) = delete;
    bool IsValid() const { return m_fd >= 0; }

   private:
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
  };

  // The line's settings as they stand, looked at through a descriptor of this process.
  termios Settings() const {
    termios settings{};
    const int fd = ::open(m_slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      ::tcgetattr(fd, &settings);
      ::close(fd);
    }
    return settings;
  }

 private:
  int m_master = -1;
  std::string m_slave;
};

// This process's command name, as another process sees it in /proc (and as the forked other
// program below is named).
inline std::string OwnCommandName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// A line's settings as a terminal program leaves them: 9600 baud, canonical input, echo.
inline bool IsTerminalAt9600(const termios& t) {
  return ::cfgetospeed(&t) == B9600 && ::cfgetispeed(&t) == B9600 && (t.c_lflag & ICANON) && (t.c_lflag & ECHO);
}

// Another process that opens the pseudo-terminal's slave as its line, sets it to 9600 baud,
// canonical input and echo, and holds it until this object goes. With alsoMaster it holds the
// master as well, as a program that made the pseudo-terminal and uses its slave itself.
class COtherProgramOnLine {
 public:
  COtherProgramOnLine(const CTestPty& pty, bool alsoMaster = false) {
    int ready[2];
    int hold[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    if (::pipe2(hold, O_CLOEXEC) != 0) {
      ::close(ready[0]);
      ::close(ready[1]);
      return;
    }
    const char* slave = pty.SlavePath().c_str();
    const int master = alsoMaster ? pty.Master() : -1;
    m_pid = ::fork();
    if (m_pid == 0) {
      // System calls only from here: the child of a test process that may run threads. It keeps
      // nothing of the test's but its two pipes (and the master when asked).
      for (int fd = 3; fd < 4096; ++fd) {
        if (fd != ready[1] && fd != hold[0] && fd != master) ::close(fd);
      }
      const int line = ::open(slave, O_RDWR | O_NOCTTY);
      termios t{};
      char ok = 0;
      if (line >= 0 && ::tcgetattr(line, &t) == 0) {
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        t.c_lflag |= ICANON | ECHO;
        ok = ::tcsetattr(line, TCSANOW, &t) == 0 ? 1 : 0;
      }
      (void)!::write(ready[1], &ok, 1);
      char end = 0;
      (void)!::read(hold[0], &end, 1);  // until the test closes its end
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(hold[0]);
    m_hold = hold[1];
    char ok = 0;
    m_ready = m_pid > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
  }
  ~COtherProgramOnLine() {
    if (m_hold >= 0) ::close(m_hold);
    if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
  }
  COtherProgramOnLine(const COtherProgramOnLine&) = delete;
  COtherProgramOnLine& operator=(const COtherProgramOnLine&) = delete;

  // The line is open and set in the other process.
  bool IsReady() const { return m_ready; }
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  int m_hold = -1;
  bool m_ready = false;
};

// The path of the lock file that serial programs take for the line in the folder:
// "<folder>/LCK..pts_5" for /dev/pts/5.
inline std::string LineLockFile(const std::string& folder, const std::string& line) {
  std::string name = line.rfind("/dev/", 0) == 0 ? line.substr(5) : line;
  std::replace(name.begin(), name.end(), '/', '_');
  return folder + "/LCK.." + name;
}

// Writes a lock file with the bytes given; false when it could not be written.
inline bool WriteLineLockFile(const std::string& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  return bool(out.flush());
}

// A lock file's text as serial programs write it: the PID in ten characters and a line end.
inline std::string LockFileText(pid_t pid) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", int(pid));
  return text;
}

// The text of a whole file; "" when it cannot be read.
inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A process that has run and ended: its PID names no process any more (until the system gives
// it out again, which takes a round of all PIDs).
inline pid_t PidOfAnEndedProcess() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

// Names the device in a list of the machine's consoles in the form of /proc/consoles, at path.
inline bool WriteConsoleList(const std::string& path, const std::string& device) {
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return false;
  std::ofstream out(path);
  out << "tty0                 -WU (E  p  )    4:1\n"
      << device.substr(5) << "                -W- (EC p a)    " << major(st.st_rdev) << ":" << minor(st.st_rdev) << "\n";
  return bool(out.flush());
}

// Pseudo-terminals, each used by another program as its line (COtherProgramOnLine), linked as
// the COM numbers given. Ready when every line is set and linked.
class CLinesOfOtherPrograms {
 public:
  explicit CLinesOfOtherPrograms(const std::vector<std::uint32_t>& ports);

  bool IsReady() const { return m_ready; }
  // Whether every line keeps the other program's settings and no byte reached it.
  bool Untouched() const {
    for (const auto& line : m_lines)
      if (!IsTerminalAt9600(line->Settings()) || !line->Received().empty()) return false;
    return true;
  }

 private:
  std::vector<std::unique_ptr<CTestPty>> m_lines;
  std::vector<std::unique_ptr<COtherProgramOnLine>> m_users;
  bool m_ready = true;
};

// Links COM number n to the device (in place of any link it had).
inline bool LinkComPortForTest(std::uint32_t n, const std::string& device) {
  std::error_code ec;
  std::filesystem::create_directories(GetComPortLinkFolder(), ec);
  const std::string link = GetComPortLinkFolder() + "com" + std::to_string(n);
  ::unlink(link.c_str());
  return ::symlink(device.c_str(), link.c_str()) == 0;
}

// Points every COM number at a device that does not exist, so that a scan of the ports meets
// only the lines a test links afterwards (and none of the machine's own).
inline void LinkEveryComPortToNothing() {
  for (std::uint32_t n = kFirstComPort; n <= kLastComPort; ++n)
    LinkComPortForTest(n, "/dev/orvak-test-no-such-port-" + std::to_string(n));
}

inline CLinesOfOtherPrograms::CLinesOfOtherPrograms(const std::vector<std::uint32_t>& ports) {
  for (const std::uint32_t port : ports) {
    m_lines.push_back(std::make_unique<CTestPty>());
    m_users.push_back(std::make_unique<COtherProgramOnLine>(*m_lines.back()));
    m_ready = m_ready && m_lines.back()->IsValid() && m_users.back()->IsReady() &&
              LinkComPortForTest(port, m_lines.back()->SlavePath());
  }
}
