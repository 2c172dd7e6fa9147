// Simulated bus, its wires and fault injection.
#include "tools/devsim/SimBus.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>

#include "core/protocol/SevenBit.h"
#include "platform/SerialPort.h"
#include "platform/SerialPortMemory.h"

using Clock = ISimWire::Clock;

std::size_t CLineWire::Read(std::uint8_t* dst, std::size_t max, Clock::time_point deadline) {
  return m_line->DeviceRead(dst, max, deadline);
}

void CLineWire::Write(const std::uint8_t* data, std::size_t n) {
  std::this_thread::sleep_until(m_line->DeviceWrite(data, n));
}

void CLineWire::Wake() { m_line->WakeDevice(); }

void CLineWire::SetPacing(std::uint32_t baudRate) { m_line->SetBaudRate(baudRate); }

Clock::duration CLineWire::ByteTime() const { return m_line->ByteTime(); }

void CLineWire::WriteLast(const std::uint8_t* data, std::size_t n) {
  if (n == 0) {
    m_line->EndReadWhenNothingMore();
    return;
  }
  std::this_thread::sleep_until(m_line->DeviceWrite(data, n, true));
}

CPtyWire::CPtyWire() {
  if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) m_wake[0] = m_wake[1] = -1;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return;
  if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    ::close(master);
    return;
  }
  char name[128];
  if (::ptsname_r(master, name, sizeof name) != 0) {
    ::close(master);
    return;
  }
  m_slavePath = name;
  // The line is raw before the program opens it; the master sets the slave's settings.
  termios raw{};
  if (::tcgetattr(master, &raw) == 0) {
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  m_master = master;
}

CPtyWire::~CPtyWire() {
  HangUp();
  for (int fd : m_wake) {
    if (fd >= 0) ::close(fd);
  }
}

void CPtyWire::HangUp() {
  const int master = m_master.exchange(-1);
  if (master >= 0) ::close(master);
  Wake();
}

std::uint32_t CPtyWire::LineBaud() const {
  // The settings that the master's descriptor reads are the slave's.
  termios settings{};
  const int master = m_master.load();
  if (master < 0 || ::tcgetattr(master, &settings) != 0) return 0;
  switch (::cfgetospeed(&settings)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
  }
}

std::size_t CPtyWire::Read(std::uint8_t* dst, std::size_t max, Clock::time_point deadline) {
  for (;;) {
    const int master = m_master.load();
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd fds[2] = {{master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    const int ready = ::poll(fds, 2, int(std::max<long long>(0, std::min<long long>(left + 1, 1000))));
    if (fds[1].revents & POLLIN) {
      std::uint8_t drain[64];
      while (::read(m_wake[0], drain, sizeof drain) > 0) {
      }
      return 0;
    }
    if (master < 0) return 0;
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      const ssize_t n = ::read(master, dst, max);
      if (n > 0) return std::size_t(n);
    }
    if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
      // Nobody has the slave open (the program has its port closed): wait a little instead of
      // spinning on the hang-up. What the program wrote before it closed the port is read first.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (Clock::now() >= deadline) return 0;
  }
}

namespace {

// Waits until the moment a byte completes on the wire. A sleep alone wakes late by the
// scheduler's slack and the line would run slower than a real one, so the last stretch is
// spun: each byte leaves on its bit time.
void PaceUntil(Clock::time_point at) {
  constexpr auto kSpin = std::chrono::microseconds(100);
  if (Clock::now() + kSpin < at) std::this_thread::sleep_until(at - kSpin);
  while (Clock::now() < at) {
  }
}

}  // namespace

void CPtyWire::Write(const std::uint8_t* data, std::size_t n) {
  const Clock::duration byteTime = ByteTime();
  const bool paced = byteTime != Clock::duration::zero();
  // Paced as the line would: each byte reaches the far end when its ten bits have been sent,
  // one byte time after the one before it; unpaced, everything at once.
  Clock::time_point at = Clock::now();
  for (std::size_t i = 0; i < n;) {
    if (paced) {
      at += byteTime;
      PaceUntil(at);
    }
    const int master = m_master.load();
    if (master < 0) return;
    const ssize_t written = ::write(master, data + i, paced ? 1 : n - i);
    if (written < 0) {
      if (errno != EAGAIN && errno != EINTR) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (paced) at = Clock::now() - byteTime;
      continue;
    }
    i += std::size_t(written);
  }
}

void CPtyWire::Wake() {
  if (m_wake[1] >= 0) {
    const std::uint8_t one = 1;
    (void)!::write(m_wake[1], &one, 1);
  }
}

void CPtyWire::SetPacing(std::uint32_t baudRate) { m_baudRate = baudRate; }

Clock::duration CPtyWire::ByteTime() const { return ByteTimeAt(m_baudRate.load()); }

bool LinkComPort(std::uint32_t portNumber, const std::string& device) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = GetComPortLinkFolder();
  fs::create_directories(folder, ec);
  const fs::path link = folder / ("com" + std::to_string(portNumber));
  fs::remove(link, ec);
  fs::create_symlink(device, link, ec);
  return !ec;
}

void UnlinkComPort(std::uint32_t portNumber) {
  std::error_code ec;
  std::filesystem::remove(
      std::filesystem::path(GetComPortLinkFolder()) / ("com" + std::to_string(portNumber)), ec);
}

SimFault SimFault::Silence() {
  SimFault f;
  f.silence = true;
  return f;
}
SimFault SimFault::Junk(SimBytes junk) {
  SimFault f;
  f.junkBefore = std::move(junk);
  return f;
}
SimFault SimFault::Split(std::vector<std::size_t> cuts, std::uint32_t gapMs) {
  SimFault f;
  f.cuts = std::move(cuts);
  f.gapMs = gapMs;
  return f;
}
SimFault SimFault::SplitUntilReleased(std::size_t cut) {
  SimFault f;
  f.cuts = {cut};
  f.restUntilReleased = true;
  return f;
}
SimFault SimFault::BadChecksum() {
  SimFault f;
  f.badChecksum = true;
  return f;
}
SimFault SimFault::WrongLength(int delta) {
  SimFault f;
  f.lengthDelta = delta;
  return f;
}
SimFault SimFault::Late(std::uint32_t delayMs) {
  SimFault f;
  f.delayMs = delayMs;
  return f;
}
SimFault SimFault::Held(std::uint32_t heldMs) {
  SimFault f;
  f.heldMs = heldMs;
  return f;
}
SimFault SimFault::HeldUntil(std::size_t requests) {
  SimFault f;
  f.heldForRequests = requests;
  f.heldUntilReleased = true;
  return f;
}
SimFault SimFault::Replace(SimBytes bytes) {
  SimFault f;
  f.replace = std::move(bytes);
  return f;
}

CSimBus::CSimBus(std::unique_ptr<ISimWire> wire) : m_wire(std::move(wire)) {}

CSimBus::~CSimBus() { Stop(); }

CSimUnit* CSimBus::AddUnit(std::unique_ptr<CSimUnit> unit) {
  m_units.push_back(std::move(unit));
  return m_units.back().get();
}

void CSimBus::Start() {
  if (m_running.exchange(true)) return;
  m_thread = std::thread([this] { Run(); });
}

void CSimBus::Stop() {
  if (!m_running.exchange(false)) return;
  m_wire->Wake();
  m_thread.join();
  m_held.clear();
  m_heldOnClock.clear();
  m_heldForRequests.clear();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_heldPending = 0;
  }
  m_cv.notify_all();
}

void CSimBus::InjectFault(SimFault fault) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_faults.push_back(std::move(fault));
}

void CSimBus::InjectFaults(const SimFault& fault, std::size_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::size_t i = 0; i < count; ++i) m_faults.push_back(fault);
}

std::size_t CSimBus::PendingFaults() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_faults.size();
}

void CSimBus::SetPacing(std::uint32_t baudRate) { m_wire->SetPacing(baudRate); }

void CSimBus::SetShare(Share& share, double chance, std::uint32_t seed) {
  std::lock_guard<std::mutex> lock(m_mutex);
  share.chance = chance;
  share.draw.seed(seed);
}

std::size_t CSimBus::CountOf(const Share& share) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return share.count;
}

void CSimBus::SetAnswerLoss(double chance, std::uint32_t seed) { SetShare(m_loss, chance, seed); }

std::size_t CSimBus::LostAnswerCount() const { return CountOf(m_loss); }

void CSimBus::SetAckLoss(double chance, std::uint32_t seed) { SetShare(m_ackLoss, chance, seed); }

std::size_t CSimBus::LostAckCount() const { return CountOf(m_ackLoss); }

void CSimBus::SetWrongAnswers(double chance, std::uint32_t seed, SimWrong kind) {
  SetShare(m_wrong[std::size_t(kind)], chance, seed);
}

std::size_t CSimBus::WrongAnswerCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::size_t n = 0;
  for (const Share& share : m_wrong) n += share.count;
  return n;
}

void CSimBus::SetLateAnswers(double chance, std::uint32_t heldMs, std::uint32_t seed) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_late.chance = chance;
  m_lateHeldMs = heldMs;
  m_late.draw.seed(seed);
}

void CSimBus::SetChangedLengths(double chance, std::uint32_t seed) { SetShare(m_changedLength, chance, seed); }

std::size_t CSimBus::ChangedLengthCount() const { return CountOf(m_changedLength); }

std::size_t CSimBus::LateAnswerCount() const { return CountOf(m_late); }

void CSimBus::ReleaseHeldAnswers() {
  m_release = true;
  m_wire->Wake();
}

bool CSimBus::WaitForHeldAnswers(std::uint32_t timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_heldPending == 0; });
}

std::vector<SimBytes> CSimBus::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

std::size_t CSimBus::RequestCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests.size();
}

bool CSimBus::WaitForRequests(std::size_t count, std::uint32_t timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return m_handled >= count; });
}

std::size_t CSimBus::FrameLength(const SimBytes& pending) const {
  bool needMore = false;
  for (const auto& unit : m_units) {
    const std::size_t length = unit->RequestLength(pending);
    if (length == kSimNeedMoreBytes) {
      needMore = true;
    } else if (length != kSimUnknownLength) {
      return length;
    }
  }
  return needMore ? kSimNeedMoreBytes : kSimUnknownLength;
}

void CSimBus::Run() {
  // The bus stands for hardware: its timed waits should end on time, not up to 50 us late.
  prctl(PR_SET_TIMERSLACK, 1UL);
  SimBytes pending;
  Clock::time_point lastByte = Clock::now();
  std::uint8_t chunk[1100];
  while (m_running.load()) {
    // A request whose length no unit knows ends when the line has been quiet for three byte
    // times (2 ms at least); one that never completes is dropped after 100 ms of quiet.
    const Clock::duration quiet = std::max<Clock::duration>(3 * m_wire->ByteTime(),
                                                            std::chrono::milliseconds(2));
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(100);
    const std::size_t known = pending.empty() ? kSimNeedMoreBytes : FrameLength(pending);
    if (!pending.empty()) {
      deadline = lastByte + (known == kSimUnknownLength ? quiet : std::chrono::milliseconds(100));
    }
    // An answer held back leaves on time, whatever the program sends meanwhile.
    const Clock::time_point wake = m_held.empty() ? deadline : std::min(deadline, m_held.begin()->first);
    const std::size_t n = m_wire->Read(chunk, sizeof chunk, wake);
    if (n > 0) {
      pending.insert(pending.end(), chunk, chunk + n);
      lastByte = Clock::now();
    }
    while (!pending.empty()) {
      const std::size_t length = FrameLength(pending);
      if (length != kSimNeedMoreBytes && length != kSimUnknownLength && length <= pending.size()) {
        const SimBytes frame(pending.begin(), pending.begin() + std::ptrdiff_t(length));
        pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(length));
        m_laterRequestTaken = !pending.empty();
        Dispatch(frame);
        continue;
      }
      const bool quietNow = n == 0 && Clock::now() >= deadline;
      if (quietNow && length == kSimUnknownLength) {
        const SimBytes frame = pending;
        pending.clear();
        m_laterRequestTaken = false;
        Dispatch(frame);
      } else if (quietNow) {
        pending.clear();  // an incomplete frame: the program has given up on it
      }
      break;
    }
    m_laterRequestTaken = !pending.empty();
    SendHeldAnswers();
  }
}

void CSimBus::SendHeldAnswers() {
  auto sent = [this] {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_heldPending;
    }
    m_cv.notify_all();
  };
  const bool release = m_release.exchange(false);
  const std::size_t requests = RequestCount();
  while (!m_heldForRequests.empty() &&
         (release || (m_heldForRequests.front().untilRequest != 0 && m_heldForRequests.front().untilRequest <= requests))) {
    const SimBytes bytes = std::move(m_heldForRequests.front().bytes);
    const bool last = m_heldForRequests.front().rest && EndsReads();
    m_heldForRequests.erase(m_heldForRequests.begin());
    Send(bytes, {}, 0, last);
    sent();
  }
  while (!m_held.empty() && m_held.begin()->first <= Clock::now()) {
    const SimBytes bytes = std::move(m_held.begin()->second);
    m_held.erase(m_held.begin());
    Send(bytes, {}, 0);
    sent();
  }
}

void CSimBus::SendAnswersDueOnTheClock() {
  if (!m_heldClock) return;
  const std::int64_t now = m_heldClock();
  while (!m_heldOnClock.empty() && m_heldOnClock.begin()->first <= now) {
    const SimBytes bytes = std::move(m_heldOnClock.begin()->second);
    m_heldOnClock.erase(m_heldOnClock.begin());
    Send(bytes, {}, 0);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_heldPending;
    }
    m_cv.notify_all();
  }
}

CSimBus::Answer CSimBus::CollectAnswer(const SimBytes& frame) {
  // Every addressed unit answers; several answers at once mix on the wire.
  Answer answer;
  int answering = 0;
  for (const auto& unit : m_units) {
    const SimAnswer a = unit->Handle(frame);
    if (a.kind == SimAnswer::Kind::kSilence) continue;
    const SimBytes wire = a.Wire();
    if (++answering == 1) {
      answer.bytes = wire;
      answer.framed = a.kind == SimAnswer::Kind::kBytes;
      answer.ack = a.kind == SimAnswer::Kind::kAck;
      answer.unit = unit.get();
    } else {
      if (wire.size() > answer.bytes.size()) answer.bytes.resize(wire.size(), 0);
      for (std::size_t i = 0; i < wire.size(); ++i) answer.bytes[i] |= wire[i];
      answer.framed = false;
      answer.ack = false;
      answer.unit = nullptr;
    }
    answer.delayMs = std::max(answer.delayMs, a.delayMs);
    answer.heldMs = std::max(answer.heldMs, a.heldMs);
    answer.heldForRequests = std::max(answer.heldForRequests, a.heldForRequests);
  }
  // Mixed framed replies never pass as a good reply by chance: when the mixture still reads as
  // a whole frame, its last byte fails the 7-bit sum.
  SimBytes& bytes = answer.bytes;
  if (answering > 1 && bytes.size() >= 4 && Get14Bit(bytes.data() + 1) + 1 == bytes.size() &&
      bytes.back() == Checksum7Bit(bytes.data(), bytes.size() - 1))
    bytes.back() = std::uint8_t((bytes.back() + 1) & 0x7F);
  // What a wrong answer may name: the IDs asked for, the unit's last command.
  if (answer.unit) {
    const SimHeader h = answer.unit->Header();
    if (frame.size() > h.idAt + h.idBytes && frame.size() > h.commandAt) {
      std::vector<SimBytes>& seen = m_idsSeen[h.idBytes];
      const SimBytes id = h.IdIn(frame);
      if (std::find(seen.begin(), seen.end(), id) == seen.end()) seen.push_back(id);
    }
  }
  return answer;
}

bool CSimBus::MakeWrong(Answer& answer, const SimBytes& frame, SimWrong kind) {
  SimBytes& bytes = answer.bytes;
  const SimHeader h = answer.unit ? answer.unit->Header() : SimHeader{};
  switch (kind) {
    case SimWrong::kUnitNotOnTheBus:
      bytes[4] ^= 0x08;
      break;
    case SimWrong::kUnitOnTheBus: {
      // The next unit of the same layout after this one, in the order the bus was first asked
      // for them.
      const std::vector<SimBytes>& seen = m_idsSeen[h.idBytes];
      if (frame.size() <= h.idAt + h.idBytes || bytes.size() <= h.idAt + h.idBytes + 1) return false;
      const auto at = std::find(seen.begin(), seen.end(), h.IdIn(frame));
      if (seen.size() < 2 || at == seen.end()) return false;
      const SimBytes& other = std::next(at) == seen.end() ? seen.front() : *std::next(at);
      for (std::size_t i = 0; i < h.idBytes; ++i) bytes[h.idAt + i] = std::uint8_t(other[i] & 0x7F);
      break;
    }
    case SimWrong::kCommand: {
      if (frame.size() <= h.commandAt || bytes.size() <= h.commandAt + 1) return false;
      const std::uint8_t asked = frame[h.commandAt] & 0x7F;
      const auto last = m_lastCommand.find(answer.unit);
      bytes[h.commandAt] = last != m_lastCommand.end() && last->second != asked ? last->second : std::uint8_t(asked ^ 0x01);
      break;
    }
  }
  bytes.back() = Checksum7Bit(bytes.data(), bytes.size() - 1);
  return true;
}

CSimBus::Leaving CSimBus::ApplyFault(const SimFault& fault, Answer& answer, std::size_t requestNumber) {
  SimBytes& bytes = answer.bytes;
  if (fault.replace) bytes = *fault.replace;
  if (fault.silence) bytes.clear();
  if (!bytes.empty() && answer.framed && bytes.size() >= 4) {
    if (fault.lengthDelta != 0) {
      const std::uint32_t length = std::uint32_t(int(Get14Bit(bytes.data() + 1)) + fault.lengthDelta);
      Put14Bit(bytes.data() + 1, length);
      bytes.back() = Checksum7Bit(bytes.data(), bytes.size() - 1);
    }
    if (fault.badChecksum) bytes.back() = std::uint8_t((bytes.back() + 1) & 0x7F);
  }
  if (!bytes.empty()) bytes.insert(bytes.begin(), fault.junkBefore.begin(), fault.junkBefore.end());
  answer.delayMs += fault.delayMs;
  answer.heldMs += fault.heldMs;
  Leaving leaving;
  leaving.cuts = fault.cuts;
  leaving.gapMs = fault.gapMs;
  leaving.heldForRequests = fault.heldUntilReleased;
  leaving.restHeld = fault.restUntilReleased && !fault.cuts.empty() && fault.cuts.front() < bytes.size();
  leaving.untilRequest = fault.heldForRequests != 0 ? requestNumber + fault.heldForRequests : 0;
  return leaving;
}

void CSimBus::Dispatch(const SimBytes& frame) {
  std::optional<SimFault> fault;
  bool lose = false, late = false, wrong[kSimWrongKinds] = {};
  std::uint32_t changedBy = 0;
  std::uint32_t lateHeldMs = 0;
  std::size_t requestNumber = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(frame);
    requestNumber = m_requests.size();
    if (!m_faults.empty()) {
      fault = std::move(m_faults.front());
      m_faults.pop_front();
    }
    lose = m_loss.Draw();
    for (std::size_t k = 0; k < kSimWrongKinds; ++k) wrong[k] = m_wrong[k].Draw();
    late = m_late.Draw();
    if (m_changedLength.Draw()) changedBy = 100 + std::uint32_t(m_changedLength.draw() % 701);
    lateHeldMs = m_lateHeldMs;
  }
  // Answers held until this request leave ahead of its own.
  SendHeldAnswers();

  const std::int64_t cameUs = m_heldClock ? m_heldClock() : 0;
  Answer answer = CollectAnswer(frame);
  if (m_answerWatcher) m_answerWatcher(frame, answer.bytes);
  // Those due on the test's clock by the end of this request's read come during it.
  SendAnswersDueOnTheClock();
  SimBytes& bytes = answer.bytes;
  Leaving leaving = fault ? ApplyFault(*fault, answer, requestNumber) : Leaving{};
  if (answer.heldForRequests != 0 && !leaving.heldForRequests) {
    leaving.heldForRequests = true;
    leaving.untilRequest = requestNumber + answer.heldForRequests;
  }
  // At most one wrong answer of one kind, the first drawn that applies.
  int madeWrong = -1;
  for (std::size_t k = 0; k < kSimWrongKinds && madeWrong < 0; ++k) {
    if (wrong[k] && answer.framed && bytes.size() >= 6 && MakeWrong(answer, frame, SimWrong(k))) madeWrong = int(k);
  }
  if (answer.unit && frame.size() > answer.unit->Header().commandAt)
    m_lastCommand[answer.unit] = frame[answer.unit->Header().commandAt] & 0x7F;
  if (late && !bytes.empty()) answer.heldMs += lateHeldMs;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (lose && !bytes.empty()) {
      bytes.clear();
      ++m_loss.count;
    }
    // The unit took the write; only its ACK is lost.
    if (answer.ack && !bytes.empty() && m_ackLoss.Draw()) {
      bytes.clear();
      ++m_ackLoss.count;
    }
    if (madeWrong >= 0 && !bytes.empty()) ++m_wrong[madeWrong].count;
    if (late && !bytes.empty()) ++m_late.count;
    if (changedBy != 0 && answer.framed && bytes.size() >= 4) {
      Put14Bit(bytes.data() + 1, std::min<std::uint32_t>(Get14Bit(bytes.data() + 1) + changedBy, 1022));
      ++m_changedLength.count;
    }
    if ((answer.heldMs != 0 || leaving.heldForRequests || leaving.restHeld) && !bytes.empty()) ++m_heldPending;
  }
  if (!bytes.empty()) {
    if (answer.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
    if (leaving.heldForRequests) {
      m_heldForRequests.push_back({leaving.untilRequest, bytes});
    } else if (answer.heldMs != 0 && m_heldClock) {
      m_heldOnClock.emplace(cameUs + std::int64_t(answer.heldMs) * 1000, bytes);
    } else if (answer.heldMs != 0) {
      m_held.emplace(Clock::now() + std::chrono::milliseconds(answer.heldMs), bytes);
    } else if (leaving.restHeld) {
      const auto cut = bytes.begin() + std::ptrdiff_t(leaving.cuts.front());
      SendHeldAnswers();
      Send(SimBytes(bytes.begin(), cut), {}, 0, EndsReads());
      m_heldForRequests.push_back({0, SimBytes(cut, bytes.end()), true});
    } else {
      SendHeldAnswers();
      Send(bytes, leaving.cuts, leaving.gapMs, EndsReads());
    }
  }
  // Nothing more for this request now: no answer, or one held back whole.
  if (EndsReads() && (bytes.empty() || leaving.heldForRequests || answer.heldMs != 0)) m_wire->WriteLast(nullptr, 0);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_handled;
  }
  m_cv.notify_all();
}

void CSimBus::Send(const SimBytes& bytes, const std::vector<std::size_t>& cuts, std::uint32_t gapMs, bool last) {
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    if (cut <= from || cut >= bytes.size()) continue;
    m_wire->Write(bytes.data() + from, cut - from);
    std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    from = cut;
  }
  if (last) {
    m_wire->WriteLast(bytes.data() + from, bytes.size() - from);
  } else {
    m_wire->Write(bytes.data() + from, bytes.size() - from);
  }
}
