// In-memory serial line and its port end.
#include "platform/SerialPortMemory.h"

#include <sys/prctl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <atomic>
#include <optional>
#include <thread>

#include "platform/SerialPortQueue.h"

using Clock = CSerialLine::Clock;

Clock::duration ByteTimeAt(std::uint32_t baudRate) {
  if (baudRate == 0) return Clock::duration::zero();
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(std::int64_t(10) * 1000000000 / std::int64_t(baudRate)));
}

CSerialLine::CSerialLine(std::uint32_t baudRate) : m_baudRate(baudRate) {}

void CSerialLine::SetBaudRate(std::uint32_t baudRate) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_baudRate = baudRate;
}

std::uint32_t CSerialLine::GetBaudRate() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_baudRate;
}

Clock::duration CSerialLine::ByteTime() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return ByteTimeAt(m_baudRate);
}

Clock::time_point CSerialLine::Append(std::deque<Byte>& queue, Clock::time_point& free,
                                      const std::uint8_t* data, std::size_t n) {
  const Clock::duration byteTime = ByteTimeAt(m_baudRate);
  Clock::time_point at = std::max(Clock::now(), free);
  for (std::size_t i = 0; i < n; ++i) {
    at += byteTime;
    queue.push_back(Byte{data[i], at});
  }
  free = at;
  return at;
}

std::size_t CSerialLine::Arrived(const std::deque<Byte>& queue, Clock::time_point now) {
  std::size_t count = 0;
  while (count < queue.size() && queue[count].at <= now) ++count;
  return count;
}

Clock::time_point CSerialLine::DeviceWrite(const std::uint8_t* data, std::size_t n, bool thenNothingMore) {
  Clock::time_point last;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    last = Append(m_toPort, m_toPortFree, data, n);
    m_sentToPort += n;
    m_endReadWhenNothingMore = thenNothingMore && m_toDevice.empty();
  }
  m_cv.notify_all();
  return last;
}

std::size_t CSerialLine::DeviceRead(std::uint8_t* dst, std::size_t max, Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const std::uint64_t wakes = m_deviceWakes;
  for (;;) {
    const Clock::time_point now = Clock::now();
    const std::size_t arrived = std::min(Arrived(m_toDevice, now), max);
    if (arrived > 0) {
      for (std::size_t i = 0; i < arrived; ++i) dst[i] = m_toDevice[i].value;
      m_toDevice.erase(m_toDevice.begin(), m_toDevice.begin() + std::ptrdiff_t(arrived));
      return arrived;
    }
    if (now >= deadline || m_deviceWakes != wakes) return 0;
    Clock::time_point until = deadline;
    if (!m_toDevice.empty()) until = std::min(until, m_toDevice.front().at);
    m_cv.wait_until(lock, until);
  }
}

void CSerialLine::WakeDevice() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_deviceWakes;
  }
  m_cv.notify_all();
}

void CSerialLine::SetHangup(bool on) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hangup = on;
  }
  m_cv.notify_all();
}

void CSerialLine::EndReadWhenNothingMore() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Bytes from the port the device end has not taken yet are a request after the one this
    // silence answers: it no longer holds.
    if (m_toDevice.empty()) m_endReadWhenNothingMore = true;
  }
  m_cv.notify_all();
}

void CSerialLine::FailNextRead() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_failReads;
  }
  m_cv.notify_all();
}

void CSerialLine::SetOpenRefused(bool refused) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_openRefused = refused;
}

void CSerialLine::SetPurgesRefused(bool refused) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_purgesRefused = refused;
}

std::string CSerialLine::GetOpenedDevice() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_openedDevice;
}

std::uint32_t CSerialLine::GetOpenedBaudRate() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_openedBaudRate;
}

bool CSerialLine::IsPortOpen() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_portOpen;
}

std::uint64_t CSerialLine::BytesToDevice() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_sentToDevice;
}

std::uint64_t CSerialLine::BytesToPort() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_sentToPort;
}

// Ends the port's operations when their bytes have arrived, drained or timed out. All its state
// is guarded by the line's mutex.
class CMemorySerialPort::Driver {
 public:
  struct Operation {
    std::uint8_t* readTo = nullptr;
    std::uint32_t count = 0;
    std::uint32_t done = 0;
    std::optional<Clock::time_point> deadline;
    Clock::time_point drainAt{};
    std::shared_ptr<CIoCompletionQueue> queue;
    SerialCompletion routine;
  };

  explicit Driver(CSerialLine& line) : m_line(line), m_thread([this] { Run(); }) {}

  ~Driver() {
    {
      std::lock_guard<std::mutex> lock(m_line.m_mutex);
      m_stop = true;
    }
    m_line.m_cv.notify_all();
    m_thread.join();
  }

  // Caller holds the line's mutex for everything below.
  void Complete(std::optional<Operation>& op, bool ok, std::atomic<bool>& busy) {
    op->queue->PostCompletion(m_live, busy, std::move(op->routine), ok, op->done);
    op.reset();
  }

  void Cancel() {
    m_live->store(false);
    m_live = std::make_shared<std::atomic<bool>>(true);
    m_read.reset();
    m_write.reset();
    m_readBusy = false;
    m_writeBusy = false;
  }

  CSerialLine& m_line;
  bool m_open = false;
  SerialTimeouts m_timeouts;
  std::optional<Operation> m_read;
  std::optional<Operation> m_write;
  std::atomic<bool> m_readBusy{false};
  std::atomic<bool> m_writeBusy{false};
  std::shared_ptr<std::atomic<bool>> m_live = std::make_shared<std::atomic<bool>>(true);
  bool m_stop = false;
  std::string m_lastError;  // why the last failed operation failed

 private:
  void Run() {
    // Timed waits here stand for hardware: wake on time, not up to 50 us late.
    prctl(PR_SET_TIMERSLACK, 1UL);
    std::unique_lock<std::mutex> lock(m_line.m_mutex);
    while (!m_stop) {
      const Clock::time_point now = Clock::now();
      Clock::time_point wake = Clock::time_point::max();
      if (m_write) {
        if (now >= m_write->drainAt) {
          Complete(m_write, true, m_writeBusy);
        } else {
          wake = std::min(wake, m_write->drainAt);
        }
      }
      if (m_read) {
        if (m_line.m_failReads > 0 || m_line.m_hangup) {
          m_lastError = m_line.m_failReads > 0 ? std::strerror(EIO) : "the line hung up";
          if (m_line.m_failReads > 0) --m_line.m_failReads;
          Complete(m_read, false, m_readBusy);
        } else {
          auto& queue = m_line.m_toPort;
          const std::size_t take =
              std::min<std::size_t>(CSerialLine::Arrived(queue, now), m_read->count - m_read->done);
          for (std::size_t i = 0; i < take; ++i) m_read->readTo[m_read->done + i] = queue[i].value;
          queue.erase(queue.begin(), queue.begin() + std::ptrdiff_t(take));
          m_read->done += std::uint32_t(take);
          // Nothing more on its way: the read ends as at its time-out.
          const bool nothingMore = m_line.m_endReadWhenNothingMore && queue.empty();
          if (m_read->done == m_read->count || (m_read->deadline && now >= *m_read->deadline) || nothingMore) {
            Complete(m_read, true, m_readBusy);
          } else {
            if (!queue.empty()) wake = std::min(wake, queue.front().at);
            if (m_read->deadline) wake = std::min(wake, *m_read->deadline);
          }
        }
      }
      if (wake == Clock::time_point::max()) {
        m_line.m_cv.wait(lock);
      } else {
        m_line.m_cv.wait_until(lock, wake);
      }
    }
  }

  std::thread m_thread;
};

CMemorySerialPort::CMemorySerialPort(std::shared_ptr<CSerialLine> line)
    : m_line(std::move(line)), m_driver(std::make_unique<Driver>(*m_line)) {}

CMemorySerialPort::~CMemorySerialPort() {
  Close();
  m_driver.reset();
}

bool CMemorySerialPort::Open(const std::string& device, std::uint32_t baudRate) {
  std::lock_guard<std::mutex> lock(m_line->m_mutex);
  if (m_driver->m_open) return false;
  if (m_line->m_openRefused) {
    m_driver->m_lastError = "the line refused to open";
    return false;
  }
  m_driver->Cancel();
  m_driver->m_open = true;
  m_driver->m_timeouts = SerialTimeouts{};
  m_driver->m_lastError.clear();
  m_line->m_portOpen = true;
  m_line->m_openedDevice = device;
  m_line->m_openedBaudRate = baudRate;
  return true;
}

void CMemorySerialPort::Close() {
  {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (!m_driver->m_open) return;
    m_driver->Cancel();
    m_driver->m_open = false;
    m_line->m_portOpen = false;
  }
  m_line->m_cv.notify_all();
}

bool CMemorySerialPort::IsOpen() const {
  std::lock_guard<std::mutex> lock(m_line->m_mutex);
  return m_driver->m_open;
}

bool CMemorySerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  std::lock_guard<std::mutex> lock(m_line->m_mutex);
  if (!m_driver->m_open) return false;
  m_driver->m_timeouts = timeouts;
  return true;
}

std::string CMemorySerialPort::GetLastErrorText() const {
  std::lock_guard<std::mutex> lock(m_line->m_mutex);
  return m_driver->m_lastError;
}

bool CMemorySerialPort::Purge(std::uint32_t flags) {
  std::lock_guard<std::mutex> lock(m_line->m_mutex);
  if (!m_driver->m_open) return false;
  if (m_line->m_purgesRefused) {
    m_driver->m_lastError = std::strerror(EIO);
    return false;
  }
  const Clock::time_point now = Clock::now();
  if (flags & kPurgeTx) {
    // Bytes still waiting to go out are dropped; what is on the wire is gone already.
    auto& queue = m_line->m_toDevice;
    while (!queue.empty() && queue.back().at > now) queue.pop_back();
    m_line->m_toDeviceFree = std::min(m_line->m_toDeviceFree, now);
  }
  if (flags & kPurgeRx) {
    m_line->m_endReadWhenNothingMore = false;
    auto& queue = m_line->m_toPort;
    queue.erase(queue.begin(),
                queue.begin() + std::ptrdiff_t(CSerialLine::Arrived(queue, now)));
  }
  return true;
}

bool CMemorySerialPort::StartWrite(const std::uint8_t* data, std::uint32_t n,
                                   std::shared_ptr<CIoCompletionQueue> queue,
                                   SerialCompletion done) {
  {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (m_driver->m_open && m_line->m_hangup) m_driver->m_lastError = "the line hung up";
    if (!m_driver->m_open || m_line->m_hangup || m_driver->m_writeBusy.exchange(true)) return false;
    Driver::Operation op;
    op.count = n;
    op.done = n;
    op.drainAt = m_line->Append(m_line->m_toDevice, m_line->m_toDeviceFree, data, n);
    m_line->m_sentToDevice += n;
    // What the port sends next is answered afresh: an earlier silence ends no read of it.
    m_line->m_endReadWhenNothingMore = false;
    op.queue = std::move(queue);
    op.routine = std::move(done);
    m_driver->m_write = std::move(op);
  }
  m_line->m_cv.notify_all();
  return true;
}

bool CMemorySerialPort::StartRead(std::uint8_t* data, std::uint32_t n,
                                  std::shared_ptr<CIoCompletionQueue> queue,
                                  SerialCompletion done) {
  {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (!m_driver->m_open || m_driver->m_readBusy.exchange(true)) return false;
    Driver::Operation op;
    op.readTo = data;
    op.count = n;
    if (auto limit = m_driver->m_timeouts.ReadLimit(n)) op.deadline = Clock::now() + *limit;
    op.queue = std::move(queue);
    op.routine = std::move(done);
    m_driver->m_read = std::move(op);
  }
  m_line->m_cv.notify_all();
  return true;
}
