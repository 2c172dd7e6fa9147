// A processor bus for tests and benchmarks: simulated processor units behind an in-memory
// serial line that the system object's own transport opens. Either the system's comms worker
// serves the devices (StartWorker, Autoscan, WaitFor), or a stand-in of the worker serves them
// one transaction at a time on the calling thread (Open, Serve, Turn, RunUntil) with a minimal
// security step that admits every unit.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/comms/Discovery.h"
#include "core/comms/SerialComms.h"
#include "core/system/System.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/SerialPortMemory.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingFrame.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimProcessor.h"

class CProcessorBus {
 public:
  // baudRate 0: bytes arrive at once; otherwise both directions are paced.
  explicit CProcessorBus(std::uint32_t baudRate = 0);
  ~CProcessorBus();
  CProcessorBus(const CProcessorBus&) = delete;
  CProcessorBus& operator=(const CProcessorBus&) = delete;

  // Before the bus starts.
  CSimProcessorUnit* AddUnit(int model, std::uint32_t deviceId, std::uint32_t hardwareCode = 0);

  // Tests: reads wait long for answers that come, and end as soon as the units have sent all
  // they send for the request (see CSimBus::SetSilenceEndsReads): what a transaction reads then
  // follows what the units send, not how fast the machine runs. Benchmarks keep the real read
  // time-outs.
  void DecideOnEvents();

  // --- Stand-in worker on the calling thread ---
  // Starts the bus and opens the system's port. False when the port does not open.
  bool Open();
  // A device made by the factory and appended to the system, reinitialised with mode.
  CNerexSeriesDevice* AddDevice(int model, std::uint32_t deviceId, std::uint32_t hardwareCode = 0,
                                std::uint32_t mode = 0);
  // One worker turn for one device: its next request, the transaction, the outcome. False when
  // the device had nothing to send.
  bool Serve(CNerexSeriesDevice* device);
  // One turn for every device in list order; true when any transaction ran.
  bool Turn();
  // Turns until done() holds or maxTurns have run; true when done() held.
  bool RunUntil(const std::function<bool()>& done, int maxTurns = 2000);

  // --- The system's own worker ---
  // Starts the bus and the worker and goes online with the choice (0 read the units, 1 send
  // the file's settings). False when going online fails.
  bool StartWorker(std::uint32_t choice = 0);
  // Starts the worker (reading the units) and waits until the device is connected and has read
  // its unit out in full; false when either fails.
  bool StartAndReadOut(CNerexSeriesDevice* device);
  // Runs an autoscan over short IDs 1..lastShortId (and one long-ID group) and waits for its end.
  bool Autoscan(std::uint32_t lastShortId, std::uint32_t timeoutMs = 20000);
  // Waits until done() holds (checked under the system's lock); false after timeoutMs.
  bool WaitFor(const std::function<bool()>& done, std::uint32_t timeoutMs = 20000);

  CSystem& System() { return m_system; }
  CRecordingFrame& Frame() { return m_frame; }
  CSimBus& Bus() { return m_bus; }
  CSerialComms& Comms() { return m_system.GetComms().GetTransport(); }
  const std::shared_ptr<CSerialLine>& Line() const { return m_line; }
  // The processors of the system, in list order.
  std::vector<CNerexSeriesDevice*> Devices() const;
  // Transactions that ended incomplete, and transport errors (stand-in worker only).
  std::uint32_t Misses() const { return m_misses; }

 private:
  class CScanDialog : public IAutoscanDialog {
   public:
    void OnStatusText(const std::string&) override {}
  };

  // Runs the transaction now in the transport's record; false on a transport error.
  bool RunTransaction();
  void SecurityStep(CNerexSeriesDevice* device);

  CRecordingFrame m_frame;
  std::shared_ptr<CSerialLine> m_line;
  CSimBus m_bus;
  CSystem m_system;  // after the bus and the line: its worker stops before they go
  CScanDialog m_scanDialog;
  std::atomic<bool> m_scanRunning{false};
  std::uint32_t m_misses = 0;
};
