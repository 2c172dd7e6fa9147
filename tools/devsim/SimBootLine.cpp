// The boot-load line on its own clock, and its port end.
#include "tools/devsim/SimBootLine.h"

#include <algorithm>

#include "platform/SerialPortQueue.h"

// The port end: every operation ends at once in the line's time; its completion routine is
// queued to the starting thread as a real port's would be.
class CSimBootPort : public ISerialPort {
 public:
  explicit CSimBootPort(std::shared_ptr<CSimBootLine> line) : m_line(std::move(line)) {}
  ~CSimBootPort() override { Close(); }

  bool Open(const std::string& device, std::uint32_t baudRate) override {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (m_open || !m_line->OpenPort(device, baudRate)) return false;
    m_open = true;
    m_timeouts = SerialTimeouts{};
    return true;
  }
  void Close() override {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (!m_open) return;
    m_open = false;
    m_line->ClosePort();
  }
  bool IsOpen() const override {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    return m_open;
  }
  bool SetTimeouts(const SerialTimeouts& timeouts) override {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    m_timeouts = timeouts;
    return m_open;
  }
  bool Purge(std::uint32_t flags) override {
    std::lock_guard<std::mutex> lock(m_line->m_mutex);
    if (!m_open || m_line->m_broken) return false;
    if (flags & kPurgeRx) m_line->DropArrived();
    return true;
  }

 protected:
  bool StartWrite(const std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                  SerialCompletion done) override {
    {
      std::lock_guard<std::mutex> lock(m_line->m_mutex);
      if (!m_open || m_line->m_broken) return false;
      m_line->WritePort(data, n);
    }
    queue->Post([done = std::move(done), n] { done(true, n); });
    return true;
  }
  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) override {
    std::uint32_t got = 0;
    {
      std::lock_guard<std::mutex> lock(m_line->m_mutex);
      if (!m_open || m_line->m_broken) return false;
      got = m_line->ReadPort(data, n, m_timeouts);
    }
    queue->Post([done = std::move(done), got] { done(true, got); });
    return true;
  }

 private:
  std::shared_ptr<CSimBootLine> m_line;
  bool m_open = false;
  SerialTimeouts m_timeouts;
};

CSimBootLine::CSimBootLine(CSimBootUnit& unit, std::string device) : m_unit(unit), m_device(std::move(device)) {}

std::unique_ptr<ISerialPort> CSimBootLine::CreatePort() { return std::make_unique<CSimBootPort>(shared_from_this()); }

std::uint64_t CSimBootLine::NowUs() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nowUs;
}

void CSimBootLine::AdvanceMs(std::uint32_t ms) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nowUs += std::uint64_t(ms) * 1000;
}

void CSimBootLine::SetPlugged(bool plugged) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_plugged = plugged;
}

void CSimBootLine::BreakOpenPortAfter(std::uint64_t bytesWritten) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_breakAfter = bytesWritten;
}

std::vector<CSimBootLine::Write> CSimBootLine::Writes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_writes;
}

std::uint64_t CSimBootLine::BytesWritten() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bytesWritten;
}

std::uint64_t CSimBootLine::WireTimeUs() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_wireUs;
}

bool CSimBootLine::OpenPort(const std::string& device, std::uint32_t baud) {
  if (!m_plugged || device != m_device || m_open) return false;
  m_open = true;
  m_broken = false;
  m_baud = baud;
  // What arrived while nobody listened is lost.
  DropArrived();
  return true;
}

void CSimBootLine::ClosePort() { m_open = false; }

void CSimBootLine::DropArrived() {
  while (!m_toPort.empty() && m_toPort.front().atUs <= m_nowUs) m_toPort.pop_front();
}

void CSimBootLine::WritePort(const std::uint8_t* data, std::uint32_t n) {
  // The write returns when its last byte has left: the unit has it all then.
  const std::uint64_t wire = std::uint64_t(n) * SimByteTimeUs(m_baud);
  m_nowUs += wire;
  m_wireUs += wire;
  m_bytesWritten += n;
  if (m_breakAfter != 0 && m_bytesWritten >= m_breakAfter) {
    m_broken = true;
    m_breakAfter = 0;
  }
  m_writes.push_back({SimBootBytes(data, data + n), m_baud});
  std::vector<SimBootByte> out;
  m_unit.Receive(data, n, m_baud, m_nowUs, out);
  for (const SimBootByte& byte : out) {
    // Kept in arrival order; a unit sends one answer at a time.
    auto at = std::upper_bound(m_toPort.begin(), m_toPort.end(), byte.atUs,
                               [](std::uint64_t t, const SimBootByte& b) { return t < b.atUs; });
    m_toPort.insert(at, byte);
  }
}

std::uint32_t CSimBootLine::ReadPort(std::uint8_t* data, std::uint32_t n, const SerialTimeouts& timeouts) {
  const auto limit = timeouts.ReadLimit(n);
  const std::uint64_t deadline =
      limit ? m_nowUs + std::uint64_t(limit->count()) * 1000 : std::numeric_limits<std::uint64_t>::max();
  std::uint32_t got = 0;
  std::uint64_t lastAt = m_nowUs;
  while (got < n && !m_toPort.empty() && m_toPort.front().atUs <= deadline) {
    const SimBootByte byte = m_toPort.front();
    m_toPort.pop_front();
    lastAt = std::max(lastAt, byte.atUs);
    // A byte sent at another baud rate than the port's is noise the port drops.
    if (byte.baud != m_baud) continue;
    data[got++] = byte.value;
    m_wireUs += SimByteTimeUs(byte.baud);
  }
  if (got == n) {
    m_nowUs = lastAt;
  } else if (limit) {
    m_nowUs = deadline;
  } else {
    m_nowUs = lastAt;
  }
  return got;
}
