// Terminal-device serial port: termios set-up, writes on the caller's thread, reads on a private
// I/O thread that sleeps while a reply is on the wire.
#include "platform/SerialPortTty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/SerialPortQueue.h"

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
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD | CS8;
  tio.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS);
  tio.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = SpeedOf(baudRate);
  if (speed == B0 || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

int TimeoutMs(SteadyClock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - SteadyClock::now()).count();
  return int(std::clamp<std::int64_t>(left, 0, 1 << 30));
}

}  // namespace

class CTtySerialPort::Impl {
 public:
  Impl() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  ~Impl() {
    Close();
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_cv.notify_all();
    Wake();
    if (m_thread.joinable()) m_thread.join();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
  }

  bool Open(const std::string& device, std::uint32_t baudRate) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0 || device.empty() || m_wakeFd < 0) return false;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Not shared: a second open of the line fails while this one holds it.
    if (::ioctl(fd, TIOCEXCL) != 0 || !ConfigureLine(fd, baudRate)) {
      ::ioctl(fd, TIOCNXCL);
      ::close(fd);
      return false;
    }
    // Lines without modem control (pseudo-terminals) refuse DTR and RTS; that is no reason not
    // to talk on them.
    int modem = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &modem);
    ::tcflush(fd, TCIOFLUSH);
    m_fd = fd;
    m_baudRate = baudRate;
    m_failed = false;
    m_readBusy = false;
    m_writeBusy = false;
    m_live = std::make_shared<std::atomic<bool>>(true);
    m_timeouts = SerialTimeouts{};
    if (!m_thread.joinable()) m_thread = std::thread([this] { Run(); });
    return true;
  }

  void Close() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_fd < 0) return;
    m_live->store(false);
    m_read.reset();
    m_readBusy = false;
    m_writeBusy = false;
    Wake();
    // The descriptor goes only when neither the I/O thread nor a writer uses it.
    m_cv.wait(lock, [this] { return !m_ioUsesFd && m_writers == 0; });
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
  }

  bool IsOpen() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fd >= 0;
  }

  bool SetTimeouts(const SerialTimeouts& timeouts) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0) return false;
    m_timeouts = timeouts;
    return true;
  }

  // Runs on the calling thread: a transaction purges only while nothing is in flight.
  bool Purge(std::uint32_t flags) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0 || m_failed) return false;
    const bool tx = flags & kPurgeTx, rx = flags & kPurgeRx;
    if (!tx && !rx) return true;
    return ::tcflush(m_fd, tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH) == 0;
  }

  // The bytes are handed to the driver here, on the calling thread, and the call returns once
  // they have left the port; the completion then waits for the caller's next alertable wait.
  bool StartWrite(const std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                  SerialCompletion done) {
    int fd = -1;
    std::shared_ptr<std::atomic<bool>> live;
    SteadyClock::time_point deadline;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_fd < 0 || m_failed || m_writeBusy.exchange(true)) return false;
      fd = m_fd;
      live = m_live;
      ++m_writers;
      // Without a write limit a write may take twice its time on the wire, plus two seconds.
      const auto limit = m_timeouts.WriteLimit(n);
      deadline = SteadyClock::now() + (limit ? *limit
                                             : std::chrono::milliseconds(2000 + std::uint64_t(n) * 20000 /
                                                                                    std::max<std::uint32_t>(m_baudRate, 1)));
    }
    std::uint32_t written = 0;
    bool ok = true;
    while (ok && written < n) {
      const ssize_t got = ::write(fd, data + written, n - written);
      if (got > 0) {
        written += std::uint32_t(got);
      } else if (got < 0 && errno == EINTR) {
        continue;
      } else if (got < 0 && errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        const int timeout = TimeoutMs(deadline);
        if (timeout == 0) break;  // a short write: the caller tells by the count
        if (::poll(&p, 1, timeout) < 0 && errno != EINTR) ok = false;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ok = false;
      } else {
        ok = false;
      }
    }
    // The write ends when the bytes have left the line, so that reply timing holds.
    if (ok && written > 0 && ::tcdrain(fd) != 0 && errno != ENOTTY && errno != EINVAL && errno != EINTR) ok = false;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_writers;
      if (!ok) m_failed = true;
    }
    m_cv.notify_all();
    queue->PostCompletion(live, m_writeBusy, std::move(done), ok, written);
    return true;
  }

  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_fd < 0 || m_failed || m_readBusy.exchange(true)) return false;
      Operation op;
      op.readTo = data;
      op.count = n;
      if (auto limit = m_timeouts.ReadLimit(n)) op.deadline = SteadyClock::now() + *limit;
      op.queue = std::move(queue);
      op.routine = std::move(done);
      op.live = m_live;
      m_read = std::move(op);
    }
    m_cv.notify_all();
    return true;
  }

  std::uint64_t ReadWakeups() const { return m_wakeups.load(); }

 private:
  struct Operation {
    std::uint8_t* readTo = nullptr;
    std::uint32_t count = 0;
    std::uint32_t done = 0;
    std::optional<SteadyClock::time_point> deadline;
    std::shared_ptr<CIoCompletionQueue> queue;
    SerialCompletion routine;
    std::shared_ptr<std::atomic<bool>> live;
  };

  // What one wait of the I/O thread found.
  enum class Wait { kReadable, kHungUp, kTimedOut, kWoken };

  void Wake() {
    if (m_wakeFd < 0) return;
    const std::uint64_t one = 1;
    (void)!::write(m_wakeFd, &one, sizeof one);
  }

  void ClearWake() {
    std::uint64_t count = 0;
    (void)!::read(m_wakeFd, &count, sizeof count);
  }

  // Waits for a byte on fd (watchLine) or only for time to pass, until the deadline (none: no
  // limit) or a wake from Close. Nanosecond resolution: a reply's end is a fraction of a ms.
  Wait WaitFor(int fd, bool watchLine, std::optional<SteadyClock::time_point> until) {
    pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {fd, POLLIN, 0}};
    timespec limit{};
    timespec* timeout = nullptr;
    if (until) {
      const auto left = std::max<SteadyClock::duration>(*until - SteadyClock::now(), SteadyClock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      limit.tv_sec = time_t(ns / 1000000000);
      limit.tv_nsec = long(ns % 1000000000);
      timeout = &limit;
    }
    const int ready = ::ppoll(fds, watchLine ? 2 : 1, timeout, nullptr);
    ++m_wakeups;
    if (ready < 0) return errno == EINTR ? Wait::kWoken : Wait::kHungUp;
    if (fds[0].revents & POLLIN) {
      ClearWake();
      return Wait::kWoken;
    }
    if (watchLine && (fds[1].revents & POLLIN)) return Wait::kReadable;
    if (watchLine && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) return Wait::kHungUp;
    return ready == 0 ? Wait::kTimedOut : Wait::kWoken;
  }

  // Takes what has arrived into the read. False when the line has failed: an I/O error, or
  // nothing to read on a line that reports a hang-up (a look made only for an empty read).
  bool TakeArrived(int fd, Operation& op) {
    const std::uint32_t before = op.done;
    while (op.done < op.count) {
      const ssize_t got = ::read(fd, op.readTo + op.done, op.count - op.done);
      if (got > 0) {
        op.done += std::uint32_t(got);
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno != EAGAIN) return false;
      break;
    }
    if (op.done != before) return true;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
  }

  void Run() {
    // The end of a reply is a fraction of a millisecond away: wake on time, not up to 50 us late.
    prctl(PR_SET_TIMERSLACK, 1UL);
    prctl(PR_SET_NAME, "serial-io");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
      if (!m_read || m_fd < 0) {
        m_cv.wait(lock);
        continue;
      }
      const int fd = m_fd;
      const SteadyClock::duration byteTime =
          std::chrono::nanoseconds(10'000'000'000LL / std::max<std::uint32_t>(m_baudRate, 1));
      const std::shared_ptr<std::atomic<bool>> live = m_read->live;
      Operation op = std::move(*m_read);
      m_read.reset();
      m_ioUsesFd = true;
      lock.unlock();
      const bool ok = ReadUntilDone(fd, byteTime, op, *live);
      lock.lock();
      m_ioUsesFd = false;
      if (!ok) m_failed = true;
      m_cv.notify_all();
      if (live->load()) op.queue->PostCompletion(live, m_readBusy, std::move(op.routine), ok, op.done);
    }
  }

  // One read, start to end: it waits for the first byte, sleeps while the rest is on the wire
  // at the line's baud rate until all but the last byte should be here, and waits for that one:
  // a few wake-ups a reply, and none of them late. False when the line failed.
  bool ReadUntilDone(int fd, SteadyClock::duration byteTime, Operation& op, const std::atomic<bool>& live) {
    if (!TakeArrived(fd, op)) return false;
    bool started = op.done > 0;
    while (op.done < op.count && live.load()) {
      if (op.deadline && SteadyClock::now() >= *op.deadline) break;
      std::uint32_t remaining = op.count - op.done;
      if (started && remaining > kTailBytes) {
        std::optional<SteadyClock::time_point> rest = SteadyClock::now() + byteTime * (remaining - kTailBytes);
        if (op.deadline) rest = std::min(*rest, *op.deadline);
        if (WaitFor(fd, false, rest) == Wait::kWoken) continue;  // Close, or a signal
        if (!TakeArrived(fd, op)) return false;
        remaining = op.count - op.done;
        if (remaining == 0) break;
      }
      const Wait wait = WaitFor(fd, true, op.deadline);
      if (wait == Wait::kWoken) continue;
      if (wait == Wait::kTimedOut) {
        // The limit has passed: what came last counts, and an empty line is looked at once.
        return TakeArrived(fd, op);
      }
      const std::uint32_t before = op.done;
      if (!TakeArrived(fd, op)) return false;
      if (wait == Wait::kHungUp && op.done == before) return false;
      started = started || op.done > 0;
    }
    return true;
  }

  // Bytes at the end of a reply waited for on the line instead of slept through.
  static constexpr std::uint32_t kTailBytes = 1;

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::thread m_thread;
  const int m_wakeFd;
  int m_fd = -1;
  std::uint32_t m_baudRate = 57600;
  SerialTimeouts m_timeouts;
  std::optional<Operation> m_read;
  std::shared_ptr<std::atomic<bool>> m_live = std::make_shared<std::atomic<bool>>(true);
  bool m_failed = false;
  bool m_stop = false;
  bool m_ioUsesFd = false;
  int m_writers = 0;
  std::atomic<bool> m_readBusy{false};
  std::atomic<bool> m_writeBusy{false};
  std::atomic<std::uint64_t> m_wakeups{0};
};

CTtySerialPort::CTtySerialPort() : m_impl(std::make_unique<Impl>()) {}
CTtySerialPort::~CTtySerialPort() = default;

bool CTtySerialPort::Open(const std::string& device, std::uint32_t baudRate) {
  return m_impl->Open(device, baudRate);
}
void CTtySerialPort::Close() { m_impl->Close(); }
bool CTtySerialPort::IsOpen() const { return m_impl->IsOpen(); }
bool CTtySerialPort::SetTimeouts(const SerialTimeouts& timeouts) { return m_impl->SetTimeouts(timeouts); }
bool CTtySerialPort::Purge(std::uint32_t flags) { return m_impl->Purge(flags); }
std::uint64_t CTtySerialPort::ReadWakeups() const { return m_impl->ReadWakeups(); }
bool CTtySerialPort::StartWrite(const std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                                SerialCompletion done) {
  return m_impl->StartWrite(data, n, std::move(queue), std::move(done));
}
bool CTtySerialPort::StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                               SerialCompletion done) {
  return m_impl->StartRead(data, n, std::move(queue), std::move(done));
}
