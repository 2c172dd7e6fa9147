// Serves one simulated boot-load unit in real time on the device end of a wire (the
// pseudo-terminal of orvak-devsim), for running the loader from the application.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tools/devsim/SimBootUnit.h"
#include "tools/devsim/SimBus.h"

class CSimBootServer {
 public:
  // portBaud tells the baud rate the program's port is set to now (0 when unknown).
  CSimBootServer(std::unique_ptr<ISimWire> wire, CSimBootUnit& unit, std::function<std::uint32_t()> portBaud);
  ~CSimBootServer();
  CSimBootServer(const CSimBootServer&) = delete;
  CSimBootServer& operator=(const CSimBootServer&) = delete;

  void Start();
  void Stop();

 private:
  void Run();

  std::unique_ptr<ISimWire> m_wire;
  CSimBootUnit& m_unit;
  std::function<std::uint32_t()> m_portBaud;
  std::atomic<bool> m_running{false};
  std::thread m_thread;
};

// The baud rate that the program has set on the slave side of the wire's pseudo-terminal, read
// through its master; the wire must outlive the function (the server that owns both).
std::function<std::uint32_t()> PtyPortBaud(const CPtyWire& wire);

// orvak-devsim's "--boot-unit FAMILY:TYPE": a unit of that family ("amp", "zel", "sornic" or
// "processor") and type code; null for anything else.
std::unique_ptr<CSimBootUnit> MakeBootUnit(const std::string& spec);
