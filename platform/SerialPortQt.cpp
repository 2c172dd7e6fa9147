// QSerialPort on a private I/O thread; completions posted to the starting thread's queue.
#include "platform/SerialPortQt.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QSerialPort>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <mutex>

#include "platform/SerialPortQueue.h"

using SteadyClock = std::chrono::steady_clock;

namespace {

// One operation in flight. Touched only on the I/O thread once started.
struct Operation {
  std::uint8_t* readTo = nullptr;
  const std::uint8_t* writeFrom = nullptr;
  std::uint32_t count = 0;
  std::uint32_t done = 0;
  std::optional<SteadyClock::time_point> deadline;
  std::shared_ptr<CIoCompletionQueue> queue;
  SerialCompletion routine;
};

}  // namespace

class CQtSerialPort::Impl {
 public:
  Impl() { m_thread.setObjectName("serial-io"); }

  ~Impl() {
    if (!m_context) return;
    Close();
    RunOnIoThread([this] { delete m_context; });
    m_context = nullptr;
    m_thread.quit();
    m_thread.wait();
  }

  bool Open(const std::string& device, std::uint32_t baudRate) {
    // The I/O thread starts with the first open.
    if (!m_context) {
      m_thread.start();
      m_context = new QObject;
      m_context->moveToThread(&m_thread);
    }
    bool ok = false;
    RunOnIoThread([&] { ok = OpenOnIoThread(device, baudRate); });
    return ok;
  }

  void Close() {
    RunOnIoThread([this] { CloseOnIoThread(); });
  }

  bool IsOpen() const { return m_open.load(); }

  bool SetTimeouts(const SerialTimeouts& timeouts) {
    if (!m_open.load()) return false;
    std::lock_guard<std::mutex> lock(m_timeoutsMutex);
    m_timeouts = timeouts;
    return true;
  }

  // Queued on the I/O thread without waiting: it runs there before any write or read started
  // after it, which is all that a purge before a transaction needs, and it costs the caller no
  // round trip to that thread.
  bool Purge(std::uint32_t flags) {
    if (!m_open.load() || m_failed.load()) return false;
    QMetaObject::invokeMethod(
        m_context,
        [this, flags] {
          if (!m_port || !m_port->isOpen()) return;
          if (flags & kPurgeTx) m_port->clear(QSerialPort::Output);
          if (flags & kPurgeRx) m_port->clear(QSerialPort::Input);
        },
        Qt::QueuedConnection);
    return true;
  }

  bool StartWrite(const std::uint8_t* data, std::uint32_t n,
                  std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) {
    if (!m_open.load() || m_failed.load() || m_writeBusy.exchange(true)) return false;
    Operation op;
    op.writeFrom = data;
    op.count = n;
    {
      std::lock_guard<std::mutex> lock(m_timeoutsMutex);
      if (auto limit = m_timeouts.WriteLimit(n)) op.deadline = SteadyClock::now() + *limit;
    }
    op.queue = std::move(queue);
    op.routine = std::move(done);
    QMetaObject::invokeMethod(
        m_context, [this, op = std::move(op)]() mutable { WriteOnIoThread(std::move(op)); },
        Qt::QueuedConnection);
    return true;
  }

  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) {
    if (!m_open.load() || m_failed.load() || m_readBusy.exchange(true)) return false;
    Operation op;
    op.readTo = data;
    op.count = n;
    {
      std::lock_guard<std::mutex> lock(m_timeoutsMutex);
      if (auto limit = m_timeouts.ReadLimit(n)) op.deadline = SteadyClock::now() + *limit;
    }
    op.queue = std::move(queue);
    op.routine = std::move(done);
    QMetaObject::invokeMethod(
        m_context, [this, op = std::move(op)]() mutable { ReadOnIoThread(std::move(op)); },
        Qt::QueuedConnection);
    return true;
  }

 private:
  // Runs work on the I/O thread and waits for it; nothing to do before the first open.
  void RunOnIoThread(const std::function<void()>& work) {
    if (!m_context) return;
    if (QThread::currentThread() == &m_thread) {
      work();
      return;
    }
    QMetaObject::invokeMethod(m_context, work, Qt::BlockingQueuedConnection);
  }

  bool OpenOnIoThread(const std::string& device, std::uint32_t baudRate) {
    if (m_port) return false;
    m_port = new QSerialPort(m_context);
    m_baudRate = baudRate ? baudRate : 57600;
    m_port->setPortName(QString::fromStdString(device));
    if (device.empty() || !m_port->open(QIODevice::ReadWrite) ||
        !m_port->setBaudRate(qint32(baudRate)) || !m_port->setDataBits(QSerialPort::Data8) ||
        !m_port->setParity(QSerialPort::NoParity) || !m_port->setStopBits(QSerialPort::OneStop) ||
        !m_port->setFlowControl(QSerialPort::NoFlowControl)) {
      delete m_port;
      m_port = nullptr;
      return false;
    }
    // Lines without modem control (pseudo-terminals) refuse DTR and RTS; that is no reason
    // not to talk on them.
    if (!m_port->setDataTerminalReady(true) || !m_port->setRequestToSend(true)) {
      m_port->clearError();
    }

    m_live = std::make_shared<std::atomic<bool>>(true);
    m_failed = false;
    m_readBusy = false;
    m_writeBusy = false;

    QObject::connect(m_port, &QSerialPort::readyRead, m_context, [this] {
      m_bytesSeen = true;
      FillRead();
    });
    QObject::connect(m_port, &QSerialPort::errorOccurred, m_context,
                     [this](QSerialPort::SerialPortError error) {
                       if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) {
                         Fail();
                       }
                     });
    m_readTimer = new QTimer(m_context);
    m_readTimer->setSingleShot(true);
    m_readTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_readTimer, &QTimer::timeout, m_context, [this] { EndRead(true); });

    // A hung-up line stays readable but gives no bytes; QSerialPort then keeps polling without
    // telling anyone. A watch on a duplicate of the descriptor notices that and fails the line.
    m_watchFd = ::dup(int(m_port->handle()));
    if (m_watchFd >= 0) {
      m_watch = new QSocketNotifier(m_watchFd, QSocketNotifier::Read, m_context);
      QObject::connect(m_watch, &QSocketNotifier::activated, m_context, [this] { CheckHangup(); });
    }
    m_open = true;
    return true;
  }

  void CloseOnIoThread() {
    if (m_live) m_live->store(false);
    m_read.reset();
    m_open = false;
    m_readBusy = false;
    m_writeBusy = false;
    delete m_watch;
    m_watch = nullptr;
    if (m_watchFd >= 0) ::close(m_watchFd);
    m_watchFd = -1;
    delete m_readTimer;
    m_readTimer = nullptr;
    if (m_port) {
      m_port->disconnect(m_context);
      m_port->close();
      delete m_port;
      m_port = nullptr;
    }
  }

  // Hands the completion to the starting thread.
  void Complete(Operation& op, bool ok, std::atomic<bool>& busy) {
    op.queue->PostCompletion(m_live, busy, std::move(op.routine), ok, op.done);
  }

  void WriteOnIoThread(Operation op) {
    if (!m_port || m_failed.load()) {
      Complete(op, false, m_writeBusy);
      return;
    }
    // Without a write limit a write may take twice its time on the wire, plus two seconds.
    const auto deadline =
        op.deadline ? *op.deadline
                    : SteadyClock::now() + std::chrono::milliseconds(
                                               2000 + std::uint64_t(op.count) * 20000 / m_baudRate);
    bool ok = true;
    if (op.count > 0) {
      ok = m_port->write(reinterpret_cast<const char*>(op.writeFrom), op.count) == qint64(op.count);
      while (ok && !m_failed.load() && m_port->bytesToWrite() > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) break;
        if (!m_port->waitForBytesWritten(int(left.count())) &&
            m_port->error() != QSerialPort::TimeoutError) {
          ok = false;
        }
        m_port->clearError();
      }
      if (ok && !m_failed.load()) {
        op.done = std::uint32_t(op.count - std::uint32_t(m_port->bytesToWrite()));
        // The write ends when the bytes have left the line, so that reply timing holds.
        if (::tcdrain(int(m_port->handle())) != 0 && errno != ENOTTY && errno != EINVAL) {
          ok = false;
        }
      }
    }
    if (m_failed.load()) ok = false;
    Complete(op, ok, m_writeBusy);
  }

  void ReadOnIoThread(Operation op) {
    if (!m_port || m_failed.load()) {
      Complete(op, false, m_readBusy);
      return;
    }
    m_read = std::move(op);
    FillRead();
    if (!m_read) return;
    if (m_read->deadline) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          *m_read->deadline - SteadyClock::now());
      if (left.count() <= 0) {
        EndRead(true);
        return;
      }
      // QTimer takes an int; a longer limit (about 25 days and more) waits that long instead.
      m_readTimer->start(int(std::min<std::int64_t>(left.count(), INT_MAX)));
    }
  }

  void FillRead() {
    if (!m_read || !m_port) return;
    const qint64 want = qint64(m_read->count - m_read->done);
    if (want > 0) {
      const qint64 got = m_port->read(reinterpret_cast<char*>(m_read->readTo + m_read->done), want);
      if (got < 0) {
        Fail();
        return;
      }
      m_read->done += std::uint32_t(got);
    }
    if (m_read->done >= m_read->count) EndRead(true);
  }

  void EndRead(bool ok) {
    if (!m_read) return;
    if (m_readTimer) m_readTimer->stop();
    Operation op = std::move(*m_read);
    m_read.reset();
    Complete(op, ok, m_readBusy);
  }

  void CheckHangup() {
    // Bytes that came in since the last look show a live line: no system call for them. A
    // hung-up line gives none, so the watch fires again at once and the look below follows.
    if (m_watchFd < 0 || m_bytesSeen.exchange(false)) return;
    pollfd p{m_watchFd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return;
    int queued = 0;
    const bool empty = ::ioctl(m_watchFd, FIONREAD, &queued) == 0 && queued == 0;
    if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) || ((p.revents & POLLIN) && empty)) Fail();
  }

  // The line is gone: the operation in flight fails, later ones cannot start, and the port
  // stops polling the descriptor.
  void Fail() {
    if (m_failed.exchange(true)) return;
    EndRead(false);
    if (m_watch) m_watch->setEnabled(false);
    if (m_port) {
      m_port->disconnect(m_context);
      m_port->close();
    }
  }

  QThread m_thread;
  QObject* m_context = nullptr;
  QSerialPort* m_port = nullptr;
  QTimer* m_readTimer = nullptr;
  QSocketNotifier* m_watch = nullptr;
  int m_watchFd = -1;
  std::uint32_t m_baudRate = 57600;
  std::optional<Operation> m_read;
  std::shared_ptr<std::atomic<bool>> m_live;
  std::atomic<bool> m_open{false};
  std::atomic<bool> m_failed{false};
  std::atomic<bool> m_readBusy{false};
  std::atomic<bool> m_writeBusy{false};
  std::atomic<bool> m_bytesSeen{false};  // I/O thread
  mutable std::mutex m_timeoutsMutex;
  SerialTimeouts m_timeouts;
};

CQtSerialPort::CQtSerialPort() : m_impl(std::make_unique<Impl>()) {}
CQtSerialPort::~CQtSerialPort() = default;

bool CQtSerialPort::Open(const std::string& device, std::uint32_t baudRate) {
  return m_impl->Open(device, baudRate);
}
void CQtSerialPort::Close() { m_impl->Close(); }
bool CQtSerialPort::IsOpen() const { return m_impl->IsOpen(); }
bool CQtSerialPort::SetTimeouts(const SerialTimeouts& timeouts) {
  return m_impl->SetTimeouts(timeouts);
}
bool CQtSerialPort::Purge(std::uint32_t flags) { return m_impl->Purge(flags); }
bool CQtSerialPort::StartWrite(const std::uint8_t* data, std::uint32_t n,
                               std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) {
  return m_impl->StartWrite(data, n, std::move(queue), std::move(done));
}
bool CQtSerialPort::StartRead(std::uint8_t* data, std::uint32_t n,
                              std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) {
  return m_impl->StartRead(data, n, std::move(queue), std::move(done));
}
