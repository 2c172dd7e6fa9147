// Terminal-device serial port: termios set-up, writes on the caller's thread, and reads carried
// on by the alertable waits of the thread that started them.
#include "platform/SerialPortTty.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iterator>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/SerialPortLockFile.h"
#include "platform/SerialPortQueue.h"
#include "platform/SerialPortUsers.h"
#include "platform/TextFormat.h"

using SteadyClock = std::chrono::steady_clock;

namespace {

// The termios speed of a baud rate; B0 for a rate the driver has no constant for.
speed_t SpeedOf(std::uint32_t baudRate) {
  switch (baudRate) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
  }
}

// Raw 8N1 without flow control. Reads never wait (the descriptor does not block); a wait on the
// line ends with its first byte.
bool ConfigureLine(int fd, std::uint32_t baudRate) {
  termios tio{};
  if (RetryInterrupted([&] { return ::tcgetattr(fd, &tio); }) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD | CS8;
  tio.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS);
  tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(baudRate);
  if (speed == B0 || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
  return RetryInterrupted([&] { return ::tcsetattr(fd, TCSANOW, &tio); }) == 0;
}

constexpr const char* kNotSerialText = "it is not a serial line";
constexpr const char* kInUseText = "in use by another program";
constexpr const char* kConsoleText = "it is the machine's console";
constexpr const char* kOwnTerminalText = "it is the terminal this program runs in";

// Why a device did not open, from the errno of its stat or open.
std::string OpenErrorText(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return "the device does not exist";
    case ELOOP: return "its link leads round in a loop";
    case EACCES:
    case EPERM: return "no permission to open the device";
    case EBUSY: return kInUseText;
    case EISDIR:
    case ENOTTY: return kNotSerialText;
    default: return std::string("it could not be opened: ") + std::strerror(error);
  }
}

// Whether a character device is a terminal, found without opening it: a pseudo-terminal, or a
// device the system files under the class "tty". A device the system does not describe may be
// one; its open tells.
bool MayBeTerminal(const struct stat& st) {
  if (IsPseudoTerminalSlave(st)) return true;
  const std::string link =
      "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev)) + "/subsystem";
  char target[256];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return true;
  const std::string subsystem(target, std::size_t(n));
  return subsystem.size() >= 4 && subsystem.compare(subsystem.size() - 4, 4, "/tty") == 0;
}

std::string InUseText(const std::optional<SerialLineUser>& user) {
  return user ? std::string(kInUseText) + " (" + DescribeSerialLineUser(*user) + ")" : kInUseText;
}

// The words for a line another process holds by its lock file: the process when the file names
// a live one, else the file.
std::string InUseText(const SerialLineLock& lock) {
  if (lock.pid != 0) return InUseText(SerialLineUser{lock.pid, SerialLineUserName(lock.pid)});
  return std::string(kInUseText) + " (its lock file " + lock.file + " names no process)";
}

// Why the device is no line for units though it is a terminal, or "": a console of the machine,
// the terminal this program runs in, or the pseudo-terminal multiplexer.
std::string NoUnitLineText(const std::string& device, const struct stat& st) {
  if (IsMachineConsole(device, st)) return kConsoleText;
  if (major(st.st_rdev) == 5 && minor(st.st_rdev) == 2) return kNotSerialText;
  // /dev/tty opens the terminal of the one who started the program, where there is one.
  if (major(st.st_rdev) == 5 && minor(st.st_rdev) == 0 && ControllingTerminalOf(::getpid()) != 0)
    return kOwnTerminalText;
  return {};
}

// The lines this process has made exclusive, by descriptor plus one (0: a free slot). The exclusive
// mode outlives the process that set it for as long as any other holds the line open (the far
// end of a pseudo-terminal does, always), and then no one but root opens the line any more: a
// signal that ends the process ends the mode first. Read in a signal handler: atomics only.
constexpr int kExclusiveSlots = 16;
std::atomic<int> g_exclusiveLines[kExclusiveSlots];
// The signals that end the program from outside, and what they did before.
constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_before[std::size(kEndingSignals)];

void EndExclusiveModes(int signal) {
  for (std::atomic<int>& slot : g_exclusiveLines) {
    const int fd = slot.load() - 1;
    if (fd >= 0) ::ioctl(fd, TIOCNXCL);
  }
  // The signal goes on as it would have: to the handler before, or ending the process once
  // this handler has returned.
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (kEndingSignals[i] == signal) ::sigaction(signal, &g_before[i], nullptr);
  }
  ::raise(signal);
}

void WatchEndingSignals() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
      struct sigaction before {};
      if (::sigaction(kEndingSignals[i], nullptr, &before) != 0) continue;
      // A signal the program was started to ignore (nohup) stays ignored.
      if (!(before.sa_flags & SA_SIGINFO) && before.sa_handler == SIG_IGN) continue;
      g_before[i] = before;
      struct sigaction watch {};
      watch.sa_handler = EndExclusiveModes;
      sigemptyset(&watch.sa_mask);
      watch.sa_flags = SA_RESTART;
      ::sigaction(kEndingSignals[i], &watch, nullptr);
    }
  });
}

void NoteExclusive(int fd, bool exclusive) {
  if (exclusive) WatchEndingSignals();
  for (std::atomic<int>& slot : g_exclusiveLines) {
    int expected = exclusive ? 0 : fd + 1;
    if (slot.compare_exchange_strong(expected, exclusive ? fd + 1 : 0)) return;
  }
}

// Lets go of a descriptor TakeLine opened. exclusive: this program set the line's exclusive
// mode, which then ends; a mode another holder set stays.
void ReleaseLine(int fd, bool exclusive) {
  if (exclusive) {
    NoteExclusive(fd, false);
    RetryInterrupted([&] { return ::ioctl(fd, TIOCNXCL); });
  }
  // Not run again when interrupted: the descriptor is released either way.
  ::close(fd);
}

// Opens the device as this program's own line, changing nothing on it: -1, with the reason in
// why, when it is no terminal line, is a console of the machine, does not open, or another
// program holds it. Another program holds it when it has a lock file of the line, has the device
// open (as far as this user may see), holds the lock this program takes on the line, or has made
// the line exclusive. A line is opened only when none of what can be seen without opening it
// says so. The lock on the device is taken at once, so that of two programs that open one line
// at the same moment one goes without; it is a lock on the open file, which ends with its
// descriptor and which no one, root included, passes by. With lockFile the line is taken as well:
// its lock file is taken, for every other serial program to see, and its exclusive mode set, so
// that no later open of it succeeds but root's.
int TakeLine(const std::string& device, CSerialLineLockFile* lockFile, std::string& why) {
  if (device.empty()) {
    why = "no device is named for this port";
    return -1;
  }
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) {
    why = OpenErrorText(errno);
    return -1;
  }
  // Nothing but a terminal device is opened: a file, a pipe, a folder or another device is no
  // line (and the programs that have one of those open use no line of this program's).
  if (!S_ISCHR(st.st_mode) || !MayBeTerminal(st)) {
    why = kNotSerialText;
    return -1;
  }
  if (why = NoUnitLineText(device, st); !why.empty()) return -1;
  if (const auto lock = FindSerialLineLock(device)) {
    why = InUseText(*lock);
    return -1;
  }
  if (const auto user = FindOtherSerialLineUser(st)) {
    why = InUseText(user);
    return -1;
  }
  const int fd = RetryInterrupted([&] { return ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) {
    why = OpenErrorText(errno);
    return -1;
  }
  termios tio{};
  if (RetryInterrupted([&] { return ::tcgetattr(fd, &tio); }) != 0) {
    why = OpenErrorText(errno);
    ReleaseLine(fd, false);
    return -1;
  }
  if (RetryInterrupted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
    why = errno == EWOULDBLOCK ? InUseText(FindOtherSerialLineUser(st)) : OpenErrorText(errno);
    ReleaseLine(fd, false);
    return -1;
  }
  int alreadyExclusive = 0;
  if (RetryInterrupted([&] { return ::ioctl(fd, TIOCGEXCL, &alreadyExclusive); }) == 0 && alreadyExclusive != 0) {
    why = InUseText(FindOtherSerialLineUser(st));
    ReleaseLine(fd, false);
    return -1;
  }
  if (!lockFile) return fd;
  SerialLineLock held;
  if (!lockFile->Take(device, held)) {
    why = InUseText(held);
    ReleaseLine(fd, false);
    return -1;
  }
  NoteExclusive(fd, true);
  if (RetryInterrupted([&] { return ::ioctl(fd, TIOCEXCL); }) != 0) {
    why = OpenErrorText(errno);
    lockFile->Release();
    NoteExclusive(fd, false);
    ReleaseLine(fd, false);
    return -1;
  }
  return fd;
}

int TimeoutMs(SteadyClock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - SteadyClock::now()).count();
  return int(std::clamp<std::int64_t>(left, 0, 1 << 30));
}

// What a port's operations share with the reads in progress on their threads. The descriptor
// is closed only while no thread waits on it or reads or writes it.
struct CTtyLine {
  std::mutex mutex;
  std::condition_variable idle;
  int fd = -1;
  std::uint32_t baudRate = 57600;
  SerialTimeouts timeouts;
  bool failed = false;
  int users = 0;  // threads waiting on, reading or writing the descriptor
  // Cleared when the port closes: what was in flight is dropped. A new one for each open.
  std::shared_ptr<std::atomic<bool>> live = std::make_shared<std::atomic<bool>>(true);
  // The queue whose waits carry on the read in flight (woken when the port closes under it).
  std::weak_ptr<CIoCompletionQueue> readQueue;
  std::atomic<bool> readBusy{false};
  std::atomic<bool> writeBusy{false};
  // A write of this open of the line may have left bytes in the output queue: its drain did not
  // succeed. Every other write ends once its bytes have left.
  bool outputMayWait = false;
  std::string lastError;  // why the last failed operation failed
  std::atomic<std::uint64_t> wakeups{0};
  // The line's lock file while the port holds the line (when a lock folder takes it).
  CSerialLineLockFile lockFile;
};

// Why the last call failed, from errno.
std::string ErrorText() { return std::strerror(errno); }

// Why a write failed whose bytes did not all leave the port in the time it had.
std::string NotTakenText(std::uint32_t written, std::uint32_t n, std::chrono::milliseconds allowed) {
  const std::string time = allowed.count() >= 1000 ? FormatText("%.1f s", double(allowed.count()) / 1000.0)
                                                    : FormatText("%lld ms", static_cast<long long>(allowed.count()));
  if (written == 0) return "the line takes no bytes: nothing written has left the port in " + time;
  return FormatText("the line takes no more bytes: %u of %u bytes written have left the port in ", unsigned(written),
                    unsigned(n)) +
         time;
}
constexpr const char* kHungUpText = "the line hung up";

// Takes what has arrived into the read; the line's mutex is held. False when the line has
// failed: an I/O error, or nothing to read on a line that reports a hang-up (a look made only
// for an empty read); the line's last error then says which.
bool TakeArrived(CTtyLine& line, std::uint8_t* to, std::uint32_t count, std::uint32_t& done) {
  const int fd = line.fd;
  const std::uint32_t before = done;
  while (done < count) {
    const ssize_t got = RetryInterrupted([&] { return ::read(fd, to + done, count - done); });
    if (got > 0) {
      done += std::uint32_t(got);
      continue;
    }
    if (got < 0 && errno != EAGAIN) {
      line.lastError = ErrorText();
      return false;
    }
    break;
  }
  if (done != before) return true;
  pollfd p{fd, POLLIN, 0};
  if (RetryInterrupted([&] { return ::poll(&p, 1, 0); }) < 0) {
    line.lastError = ErrorText();
    return false;
  }
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
    line.lastError = kHungUpText;
    return false;
  }
  return true;
}

// One read, carried on by its thread's alertable waits: it waits for the first byte, sleeps
// while the rest is on the wire at the line's baud rate until all but the last byte should be
// here, and waits for that one. A few wake-ups a reply, none of them late.
class CTtyRead : public IAlertableWork {
 public:
  CTtyRead(std::shared_ptr<CTtyLine> line, std::shared_ptr<std::atomic<bool>> live, std::uint8_t* to,
           std::uint32_t count, std::optional<Clock::time_point> deadline, std::weak_ptr<CIoCompletionQueue> queue,
           SerialCompletion routine)
      : m_line(std::move(line)),
        m_live(std::move(live)),
        m_to(to),
        m_count(count),
        m_deadline(deadline),
        m_queue(std::move(queue)),
        m_routine(std::move(routine)) {}

  // Line's mutex held: takes what is there already. False when the read is over.
  bool Start() {
    if (!TakeArrived(*m_line, m_to, m_count, m_done)) return Finish(false);
    m_started = m_done > 0;
    return Plan();
  }

  Watch BeginWait() override {
    std::lock_guard<std::mutex> lock(m_line->mutex);
    if (!m_live->load() || m_line->fd < 0) return Watch{-1, Clock::now()};
    if (!m_watchLine) return Watch{-1, m_wakeAt};
    ++m_line->users;
    m_polling = true;
    return Watch{m_line->fd, m_wakeAt};
  }

  void EndWait(short revents) override {
    m_revents = revents;
    if (!m_polling) return;
    m_polling = false;
    {
      std::lock_guard<std::mutex> lock(m_line->mutex);
      --m_line->users;
    }
    m_line->idle.notify_all();
  }

  bool Continue() override {
    std::lock_guard<std::mutex> lock(m_line->mutex);
    if (!m_live->load() || m_line->fd < 0) return false;  // closed: dropped
    const Clock::time_point now = Clock::now();
    const bool readable = m_watchLine && (m_revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL));
    const bool due = m_wakeAt && now >= *m_wakeAt;
    m_revents = 0;
    if (!readable && !due) return true;  // woken for something else
    ++m_line->wakeups;
    if (!TakeArrived(*m_line, m_to, m_count, m_done)) return Finish(false);
    m_started = m_started || m_done > 0;
    return Plan();
  }

 private:
  // Line's mutex held: what to wait for next, or the end. False when the read is over.
  bool Plan() {
    const Clock::time_point now = Clock::now();
    if (m_done >= m_count || (m_deadline && now >= *m_deadline)) return Finish(true);
    const std::uint32_t remaining = m_count - m_done;
    if (m_started && remaining > kTailBytes) {
      // The rest is on the wire: sleep until all but its last byte should be here.
      const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / std::max<std::uint32_t>(m_line->baudRate, 1));
      m_watchLine = false;
      m_wakeAt = now + byteTime * (remaining - kTailBytes);
      if (m_deadline) m_wakeAt = std::min(*m_wakeAt, *m_deadline);
    } else {
      m_watchLine = true;
      m_wakeAt = m_deadline;
    }
    return true;
  }

  // Line's mutex held: posts the completion. Always false (the read is over).
  bool Finish(bool ok) {
    if (!ok) m_line->failed = true;
    if (auto queue = m_queue.lock()) queue->PostCompletion(m_live, m_line->readBusy, std::move(m_routine), ok, m_done);
    return false;
  }

  // Bytes at the end of a reply waited for on the line instead of slept through.
  static constexpr std::uint32_t kTailBytes = 1;

  const std::shared_ptr<CTtyLine> m_line;
  const std::shared_ptr<std::atomic<bool>> m_live;
  std::uint8_t* const m_to;
  const std::uint32_t m_count;
  const std::optional<Clock::time_point> m_deadline;
  const std::weak_ptr<CIoCompletionQueue> m_queue;  // which holds this read
  SerialCompletion m_routine;
  std::uint32_t m_done = 0;
  bool m_started = false;
  bool m_watchLine = true;
  std::optional<Clock::time_point> m_wakeAt;
  bool m_polling = false;
  short m_revents = 0;
};

}  // namespace

class CTtySerialPort::Impl {
 public:
  ~Impl() { Close(); }

  bool Open(const std::string& device, std::uint32_t baudRate) {
    CTtyLine& line = *m_line;
    std::lock_guard<std::mutex> lock(line.mutex);
    if (line.fd >= 0) return false;
    if (SpeedOf(baudRate) == B0) {
      line.lastError = "the line takes no rate of " + std::to_string(baudRate) + " baud";
      return false;
    }
    std::string why;
    const int fd = TakeLine(device, &line.lockFile, why);
    if (fd < 0) {
      line.lastError = why;
      return false;
    }
    if (!ConfigureLine(fd, baudRate)) {
      line.lastError = "the line could not be set up: " + ErrorText();
      ReleaseLine(fd, true);
      line.lockFile.Release();
      return false;
    }
    // Lines without modem control (pseudo-terminals) refuse DTR and RTS; that is no reason not
    // to talk on them.
    int modem = TIOCM_DTR | TIOCM_RTS;
    RetryInterrupted([&] { return ::ioctl(fd, TIOCMBIS, &modem); });
    // What arrived before the port was opened is stale. Output is left alone: on a pseudo-
    // terminal an output flush drops bytes an earlier open of the line wrote and the other end
    // has not read yet (a boot command sent just before the port reopens at the boot rate).
    RetryInterrupted([&] { return ::tcflush(fd, TCIFLUSH); });
    line.fd = fd;
    line.baudRate = baudRate;
    line.failed = false;
    line.readBusy = false;
    line.writeBusy = false;
    line.outputMayWait = false;
    line.lastError.clear();
    line.live = std::make_shared<std::atomic<bool>>(true);
    line.timeouts = SerialTimeouts{};
    return true;
  }

  // Nothing of the line is changed: the descriptor opened to look is closed again before the
  // line is set up, and without the exclusive mode that the open of the port sets.
  bool CanOpen(const std::string& device, std::uint32_t baudRate, std::string* reason) {
    std::string why;
    {
      std::lock_guard<std::mutex> lock(m_line->mutex);
      if (m_line->fd >= 0) why = "the port is open already";
    }
    if (why.empty() && SpeedOf(baudRate) == B0) why = "the line takes no rate of " + std::to_string(baudRate) + " baud";
    if (why.empty()) {
      const int fd = TakeLine(device, nullptr, why);
      if (fd >= 0) ReleaseLine(fd, false);
      if (fd >= 0) return true;
    }
    if (reason) *reason = why;
    return false;
  }

  void Close() {
    CTtyLine& line = *m_line;
    std::unique_lock<std::mutex> lock(line.mutex);
    if (line.fd < 0) return;
    line.live->store(false);
    line.readBusy = false;
    line.writeBusy = false;
    // A thread waiting on the line looks up, sees the port closed and lets go of it.
    if (auto queue = line.readQueue.lock()) queue->Wake();
    line.idle.wait(lock, [&] { return line.users == 0; });
    // The lock on the line ends with the descriptor; its lock file goes after it.
    ReleaseLine(line.fd, true);
    line.fd = -1;
    line.lockFile.Release();
  }

  bool IsOpen() const {
    std::lock_guard<std::mutex> lock(m_line->mutex);
    return m_line->fd >= 0;
  }

  bool SetTimeouts(const SerialTimeouts& timeouts) {
    std::lock_guard<std::mutex> lock(m_line->mutex);
    if (m_line->fd < 0) return false;
    m_line->timeouts = timeouts;
    return true;
  }

  // A transaction purges only while nothing is in flight.
  bool Purge(std::uint32_t flags) {
    std::lock_guard<std::mutex> lock(m_line->mutex);
    if (m_line->fd < 0 || m_line->failed) return false;
    // Only bytes of this open that may still wait in the output are dropped from it. A write
    // ends once its bytes have left a UART, so after one that drained there is nothing to drop;
    // and a pseudo-terminal keeps no output of its own: an output flush there drops what was
    // written and the other end has not read yet (this open's frames, or an earlier open's).
    const bool tx = (flags & kPurgeTx) && m_line->outputMayWait, rx = flags & kPurgeRx;
    if (!tx && !rx) return true;
    const int which = tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH;
    return RetryInterrupted([&] { return ::tcflush(m_line->fd, which); }) == 0;
  }

  // The bytes are handed to the driver here, on the calling thread, and the call returns once
  // they have left the port; the completion then waits for the caller's next alertable wait.
  bool StartWrite(const std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                  SerialCompletion done) {
    CTtyLine& line = *m_line;
    int fd = -1;
    std::shared_ptr<std::atomic<bool>> live;
    SteadyClock::time_point deadline;
    std::chrono::milliseconds allowed{};
    {
      std::lock_guard<std::mutex> lock(line.mutex);
      if (line.fd < 0 || line.failed || line.writeBusy.exchange(true)) return false;
      fd = line.fd;
      live = line.live;
      ++line.users;
      // Without a write limit a write may take twice its time on the wire, plus two seconds.
      const auto limit = line.timeouts.WriteLimit(n);
      const std::uint64_t wireMs = std::uint64_t(n) * 10000 / std::max<std::uint32_t>(line.baudRate, 1);
      allowed = limit ? *limit : std::chrono::milliseconds(2000 + 2 * wireMs);
      deadline = SteadyClock::now() + allowed;
    }
    std::uint32_t written = 0;
    bool ok = true;
    std::string error;
    while (ok && written < n) {
      const ssize_t got = RetryInterrupted([&] { return ::write(fd, data + written, n - written); });
      if (got > 0) {
        written += std::uint32_t(got);
      } else if (got < 0 && errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        if (TimeoutMs(deadline) == 0) {
          // The line takes nothing in (an adapter or a far end that has stopped reading): a
          // failure of the line, which says that the bytes never left.
          ok = false;
          error = NotTakenText(written, n, allowed);
          break;
        }
        if (RetryInterrupted([&] { return ::poll(&p, 1, TimeoutMs(deadline)); }) < 0) {
          ok = false;
          error = ErrorText();
        } else if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
          ok = false;
          error = kHungUpText;
        }
      } else {
        ok = false;
        error = ErrorText();
      }
    }
    // The write ends when the bytes have left the line, so that reply timing holds.
    bool drained = false;
    if (ok && written > 0) {
      drained = RetryInterrupted([&] { return ::tcdrain(fd); }) == 0;
      if (!drained && errno != ENOTTY && errno != EINVAL) {
        ok = false;
        error = ErrorText();
      }
    }
    {
      std::lock_guard<std::mutex> lock(line.mutex);
      --line.users;
      if (written > 0) line.outputMayWait = !drained;
      if (!ok) {
        line.failed = true;
        line.lastError = error;
      }
    }
    line.idle.notify_all();
    queue->PostCompletion(live, line.writeBusy, std::move(done), ok, written);
    return true;
  }

  // The read goes on inside the calling thread's alertable waits: no other thread is woken for
  // it, and its completion runs where its last byte was taken.
  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) {
    CTtyLine& line = *m_line;
    std::lock_guard<std::mutex> lock(line.mutex);
    if (line.fd < 0 || line.failed || line.readBusy.exchange(true)) return false;
    std::optional<SteadyClock::time_point> deadline;
    if (auto limit = line.timeouts.ReadLimit(n)) deadline = SteadyClock::now() + *limit;
    auto read = std::make_shared<CTtyRead>(m_line, line.live, data, n, deadline, queue, std::move(done));
    line.readQueue = queue;
    if (read->Start()) queue->AddWork(std::move(read));
    return true;
  }

  std::uint64_t ReadWakeups() const { return m_line->wakeups.load(); }

  std::string LastErrorText() const {
    std::lock_guard<std::mutex> lock(m_line->mutex);
    return m_line->lastError;
  }

 private:
  const std::shared_ptr<CTtyLine> m_line = std::make_shared<CTtyLine>();
};

CTtySerialPort::CTtySerialPort() : m_impl(std::make_unique<Impl>()) {}
CTtySerialPort::~CTtySerialPort() = default;

bool CTtySerialPort::Open(const std::string& device, std::uint32_t baudRate) {
  return m_impl->Open(device, baudRate);
}
bool CTtySerialPort::CanOpen(const std::string& device, std::uint32_t baudRate, std::string* reason) {
  return m_impl->CanOpen(device, baudRate, reason);
}
void CTtySerialPort::Close() { m_impl->Close(); }
bool CTtySerialPort::IsOpen() const { return m_impl->IsOpen(); }
bool CTtySerialPort::SetTimeouts(const SerialTimeouts& timeouts) { return m_impl->SetTimeouts(timeouts); }
bool CTtySerialPort::Purge(std::uint32_t flags) { return m_impl->Purge(flags); }
std::string CTtySerialPort::GetLastErrorText() const { return m_impl->LastErrorText(); }
std::uint64_t CTtySerialPort::ReadWakeups() const { return m_impl->ReadWakeups(); }
bool CTtySerialPort::StartWrite(const std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                                SerialCompletion done) {
  return m_impl->StartWrite(data, n, std::move(queue), std::move(done));
}
bool CTtySerialPort::StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                               SerialCompletion done) {
  return m_impl->StartRead(data, n, std::move(queue), std::move(done));
}
