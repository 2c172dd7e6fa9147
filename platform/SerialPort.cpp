// Completion queues, alertable sleep, COM-number mapping and the serial port factory.
#include "platform/SerialPort.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/AppPaths.h"
#include "platform/SerialPortTty.h"
#include "platform/SerialPortQueue.h"

using SteadyClock = std::chrono::steady_clock;

CIoCompletionQueue::CIoCompletionQueue() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CIoCompletionQueue::~CIoCompletionQueue() {
  if (m_wakeFd >= 0) ::close(m_wakeFd);
}

std::shared_ptr<CIoCompletionQueue> CIoCompletionQueue::ForCurrentThread() {
  thread_local std::shared_ptr<CIoCompletionQueue> queue = [] {
    // This thread's waits end on the line's byte times (a reply's last byte, a read's time
    // limit): let them end on time instead of up to the scheduler's default slack of 50 us late.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    return std::make_shared<CIoCompletionQueue>();
  }();
  return queue;
}

void CIoCompletionQueue::Post(std::function<void()> routine) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routines.push_back(std::move(routine));
  }
  // The owner looks at its routines before it waits: only another thread needs to wake it.
  if (std::this_thread::get_id() != m_owner) Wake();
}

void CIoCompletionQueue::PostCompletion(const std::shared_ptr<std::atomic<bool>>& live, std::atomic<bool>& busy,
                                        SerialCompletion routine, bool ok, std::uint32_t bytes) {
  Post([live, &busy, routine = std::move(routine), ok, bytes] {
    if (!live->load()) return;
    busy = false;
    if (routine) routine(ok, bytes);
  });
}

void CIoCompletionQueue::Wake() {
  if (m_wakeFd < 0) return;
  const std::uint64_t one = 1;
  (void)!RetryInterrupted([&] { return ::write(m_wakeFd, &one, sizeof one); });
}

void CIoCompletionQueue::AddWork(std::shared_ptr<IAlertableWork> work) { m_work.push_back(std::move(work)); }

std::size_t CIoCompletionQueue::RunQueued() {
  std::deque<std::function<void()>> ready;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ready.swap(m_routines);
  }
  for (auto& routine : ready) routine();
  return ready.size();
}

std::size_t CIoCompletionQueue::WaitAndRun(SteadyClock::time_point deadline) {
  for (;;) {
    if (const std::size_t ran = RunQueued(); ran > 0) return ran;
    // One wait on the wake descriptor and on what the work watches, until the earliest time
    // anyone wants to go on.
    std::vector<pollfd>& fds = m_pollFds;
    fds.assign(1, pollfd{m_wakeFd, POLLIN, 0});
    m_pollSlots.assign(m_work.size(), 0);
    SteadyClock::time_point until = deadline;
    for (std::size_t i = 0; i < m_work.size(); ++i) {
      const IAlertableWork::Watch watch = m_work[i]->BeginWait();
      if (watch.fd >= 0) {
        m_pollSlots[i] = fds.size();
        fds.push_back({watch.fd, POLLIN, 0});
      }
      if (watch.until) until = std::min(until, *watch.until);
    }
    const SteadyClock::time_point now = SteadyClock::now();
    const std::int64_t ns =
        until <= now ? 0 : std::chrono::duration_cast<std::chrono::nanoseconds>(until - now).count();
    const timespec timeout{time_t(ns / 1000000000), long(ns % 1000000000)};
    if (::ppoll(fds.data(), nfds_t(fds.size()), &timeout, nullptr) < 0) {
      for (pollfd& p : fds) p.revents = 0;
    }
    if (fds[0].revents & POLLIN) {
      std::uint64_t count = 0;
      (void)!RetryInterrupted([&] { return ::read(m_wakeFd, &count, sizeof count); });
    }
    for (std::size_t i = 0; i < m_work.size(); ++i) {
      m_work[i]->EndWait(m_pollSlots[i] != 0 ? fds[m_pollSlots[i]].revents : short(0));
    }
    // Ended work leaves the list; its completion is queued now.
    m_work.erase(std::remove_if(m_work.begin(), m_work.end(), [](const auto& item) { return !item->Continue(); }),
                 m_work.end());
    if (SteadyClock::now() >= deadline) return RunQueued();
  }
}

std::size_t CIoCompletionQueue::RunPending() {
  return WaitAndRun(SteadyClock::time_point::min());
}

std::uint32_t SleepEx(std::uint32_t ms, bool alertable) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
  if (!alertable) {
    std::this_thread::sleep_until(deadline);
    return 0;
  }
  return CIoCompletionQueue::ForCurrentThread()->WaitAndRun(deadline) ? WAIT_IO_COMPLETION : 0;
}

std::optional<std::chrono::milliseconds> SerialTimeouts::ReadLimit(std::uint32_t n) const {
  if (readTotalMultiplier == 0 && readTotalConstant == 0) {
    if (readInterval == 0xFFFFFFFFu) return std::chrono::milliseconds(0);
    return std::nullopt;
  }
  return std::chrono::milliseconds(std::uint64_t(readTotalMultiplier) * n + readTotalConstant);
}

std::optional<std::chrono::milliseconds> SerialTimeouts::WriteLimit(std::uint32_t n) const {
  if (writeTotalMultiplier == 0 && writeTotalConstant == 0) return std::nullopt;
  return std::chrono::milliseconds(std::uint64_t(writeTotalMultiplier) * n + writeTotalConstant);
}

bool ISerialPort::CanOpen(const std::string& device, std::uint32_t baudRate, std::string* reason) {
  if (IsOpen()) {
    if (reason) *reason = "the port is open already";
    return false;
  }
  if (Open(device, baudRate)) {
    Close();
    return true;
  }
  if (reason) *reason = GetLastErrorText();
  return false;
}

bool ISerialPort::WriteEx(const std::uint8_t* data, std::uint32_t n, SerialCompletion done) {
  return StartWrite(data, n, CIoCompletionQueue::ForCurrentThread(), std::move(done));
}

bool ISerialPort::ReadEx(std::uint8_t* data, std::uint32_t n, SerialCompletion done) {
  return StartRead(data, n, CIoCompletionQueue::ForCurrentThread(), std::move(done));
}

namespace {

// Runs one operation on a private queue and waits for its end.
template <typename Start>
bool RunBlocking(Start start, std::uint32_t* moved) {
  auto queue = std::make_shared<CIoCompletionQueue>();
  bool ended = false;
  bool ok = false;
  std::uint32_t count = 0;
  if (!start(queue, [&](bool success, std::uint32_t bytes) {
        ended = true;
        ok = success;
        count = bytes;
      })) {
    if (moved) *moved = 0;
    return false;
  }
  while (!ended) queue->WaitAndRun(SteadyClock::now() + std::chrono::seconds(1));
  if (moved) *moved = count;
  return ok;
}

}  // namespace

bool ISerialPort::Write(const std::uint8_t* data, std::uint32_t n, std::uint32_t* written) {
  return RunBlocking(
      [&](std::shared_ptr<CIoCompletionQueue> q, SerialCompletion done) {
        return StartWrite(data, n, std::move(q), std::move(done));
      },
      written);
}

bool ISerialPort::Read(std::uint8_t* data, std::uint32_t n, std::uint32_t* got) {
  return RunBlocking(
      [&](std::shared_ptr<CIoCompletionQueue> q, SerialCompletion done) {
        return StartRead(data, n, std::move(q), std::move(done));
      },
      got);
}

std::string GetComPortLinkFolder() { return GetAppDataFolder() + "ports/"; }

std::string GetComPortDevice(std::uint32_t portNumber) {
  namespace fs = std::filesystem;
  const fs::path link = fs::path(GetComPortLinkFolder()) / ("com" + std::to_string(portNumber));
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(link, ec))) {
    fs::path target = fs::read_symlink(link, ec);
    if (!ec) {
      if (target.is_relative()) target = link.parent_path() / target;
      return target.lexically_normal().string();
    }
  }
  if (portNumber >= 1 && portNumber <= 8) return "/dev/ttyUSB" + std::to_string(portNumber - 1);
  if (portNumber >= 9 && portNumber <= 16) return "/dev/ttyACM" + std::to_string(portNumber - 9);
  if (portNumber >= 17 && portNumber <= 32) return "/dev/ttyS" + std::to_string(portNumber - 17);
  return std::string();
}

namespace {
std::mutex g_factoryMutex;
std::function<std::unique_ptr<ISerialPort>()> g_factory;
}  // namespace

std::unique_ptr<ISerialPort> CreateSerialPort() {
  {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    if (g_factory) return g_factory();
  }
  return std::make_unique<CTtySerialPort>();
}

void SetSerialPortFactoryForTests(std::function<std::unique_ptr<ISerialPort>()> factory) {
  std::lock_guard<std::mutex> lock(g_factoryMutex);
  g_factory = std::move(factory);
}
