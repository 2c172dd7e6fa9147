// Real-time service of a boot-load unit on a wire.
#include "tools/devsim/SimBootServer.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <memory>

using SteadyClock = std::chrono::steady_clock;

CSimBootServer::CSimBootServer(std::unique_ptr<ISimWire> wire, CSimBootUnit& unit,
                               std::function<std::uint32_t()> portBaud)
    : m_wire(std::move(wire)), m_unit(unit), m_portBaud(std::move(portBaud)) {}

CSimBootServer::~CSimBootServer() { Stop(); }

void CSimBootServer::Start() {
  if (m_running.exchange(true)) return;
  m_wire->SetPacing(0);
  m_thread = std::thread([this] { Run(); });
}

void CSimBootServer::Stop() {
  if (!m_running.exchange(false)) return;
  m_wire->Wake();
  m_thread.join();
}

void CSimBootServer::Run() {
  const SteadyClock::time_point start = SteadyClock::now();
  const auto nowUs = [&] {
    return std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(SteadyClock::now() - start).count());
  };
  std::deque<SimBootByte> pending;
  std::uint8_t buffer[1024];
  // The rate last seen on the port: bytes read after it changed may have been sent at either.
  std::uint32_t lastSeen = m_portBaud();
  while (m_running.load()) {
    SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(20);
    if (!pending.empty()) {
      deadline = std::min(deadline, start + std::chrono::microseconds(pending.front().atUs));
    }
    const std::uint32_t baudBefore = m_portBaud();
    const std::size_t n = m_wire->Read(buffer, sizeof buffer, deadline);
    if (n > 0) {
      std::vector<SimBootByte> out;
      // The program may set its port to the next baud rate before the bytes sent at the last one
      // are read here, even before this turn looked at the rate: when the rate changed since it
      // was last seen, the unit cannot tell and takes them.
      const std::uint32_t baudAfter = m_portBaud();
      const bool steady = baudBefore == baudAfter && baudBefore == lastSeen;
      m_unit.Receive(buffer, n, steady ? baudAfter : 0, nowUs(), out);
      pending.insert(pending.end(), out.begin(), out.end());
      std::stable_sort(pending.begin(), pending.end(),
                       [](const SimBootByte& a, const SimBootByte& b) { return a.atUs < b.atUs; });
    }
    SimBootBytes due;
    const std::uint64_t now = nowUs();
    const std::uint32_t baud = m_portBaud();
    lastSeen = baud;
    while (!pending.empty() && pending.front().atUs <= now) {
      // Sent at a baud rate the port is not set to: noise the port drops.
      if (pending.front().baud == baud || baud == 0) due.push_back(pending.front().value);
      pending.pop_front();
    }
    if (!due.empty()) m_wire->Write(due.data(), due.size());
  }
}

std::function<std::uint32_t()> PtyPortBaud(const CPtyWire& wire) {
  return [&wire] { return wire.LineBaud(); };
}

std::unique_ptr<CSimBootUnit> MakeBootUnit(const std::string& spec) {
  const std::size_t colon = spec.find(':');
  if (colon == std::string::npos) return nullptr;
  const std::string family = spec.substr(0, colon);
  char* end = nullptr;
  const unsigned long type = std::strtoul(spec.c_str() + colon + 1, &end, 0);
  if (*end != 0 || type == 0 || type > 0x7F) return nullptr;
  CSimBootUnit::Family kind;
  if (family == "amp") {
    kind = CSimBootUnit::Family::kAmpModule;
  } else if (family == "zel") {
    kind = CSimBootUnit::Family::kZel;
  } else if (family == "sornic") {
    kind = CSimBootUnit::Family::kSornic;
  } else if (family == "processor") {
    kind = CSimBootUnit::Family::kProcessor;
  } else {
    return nullptr;
  }
  return std::make_unique<CSimBootUnit>(kind, std::uint8_t(type));
}
