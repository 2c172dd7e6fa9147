// A processor bus for tests and benchmarks: simulated processor units behind an in-memory
// serial line, the transport on the program's side, and processor devices that a small
// stand-in of the comms worker serves in turn on the calling thread (transactions, the reply
// hand-over under the system's lock, a minimal security step that admits every unit).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/SerialComms.h"
#include "core/System.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/SerialPortMemory.h"
#include "platform/WindowMessages.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimProcessor.h"

class CProcessorBus {
 public:
  // baudRate 0: bytes arrive at once; otherwise both directions are paced.
  explicit CProcessorBus(std::uint32_t baudRate = 0);
  ~CProcessorBus();
  CProcessorBus(const CProcessorBus&) = delete;
  CProcessorBus& operator=(const CProcessorBus&) = delete;

  // Before Start.
  CSimProcessorUnit* AddUnit(int model, std::uint8_t deviceId, std::uint32_t hardwareCode = 0);
  // A device made by the factory and appended to the system; Reinitialise(mode) as going online.
  CNerexSeriesDevice* AddDevice(int model, std::uint8_t deviceId, std::uint32_t hardwareCode = 0,
                                std::uint32_t mode = 0);
  // Starts the bus and opens the port. False when the port does not open.
  bool Start();

  // One worker turn for one device: its next request, the transaction, the outcome. False when
  // the device had nothing to send.
  bool Serve(CNerexSeriesDevice* device);
  // One turn for every device in list order; true when any transaction ran.
  bool Turn();
  // Turns until done() holds or maxTurns have run; true when done() held.
  bool RunUntil(const std::function<bool()>& done, int maxTurns = 2000);

  CSystem& System() { return m_system; }
  CRecordingSink& Frame() { return m_frame; }
  CSimBus& Bus() { return m_bus; }
  CSerialComms& Comms() { return m_comms; }
  const std::shared_ptr<CSerialLine>& Line() const { return m_line; }
  // Transactions that ended incomplete, and transport errors.
  std::uint32_t Misses() const { return m_misses; }

 private:
  // Runs the transaction now in the transport's record; false on a transport error.
  bool RunTransaction();
  void SecurityStep(CNerexSeriesDevice* device);

  CSystem m_system;
  CRecordingSink m_frame;
  std::shared_ptr<CSerialLine> m_line;
  CSimBus m_bus;
  CSerialComms m_comms;
  std::vector<CNerexSeriesDevice*> m_devices;
  std::uint32_t m_misses = 0;
};
