// A serial line to one simulated boot-load unit that runs on a clock of its own: the program's
// reads, writes and waits move that clock instead of waiting, so a whole firmware dialogue of
// minutes runs in milliseconds and always the same way. Bytes keep their wire times at the
// baud rate the port is opened at.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "tools/devsim/SimBootUnit.h"

class CSimBootLine : public std::enable_shared_from_this<CSimBootLine> {
 public:
  // The unit answers on the port whose device is device ("/dev/ttyUSB2" is COM3).
  CSimBootLine(CSimBootUnit& unit, std::string device);

  // A new closed port on this line (for SetSerialPortFactoryForTests).
  std::unique_ptr<ISerialPort> CreatePort();

  // The line's clock. Any thread.
  std::uint64_t NowUs() const;
  void AdvanceMs(std::uint32_t ms);
  // Unplugged: the port no longer opens.
  void SetPlugged(bool plugged);
  // The open port dies once the program has written this many bytes in all: its writes, reads
  // and purges fail from then on, while a port opened again works (0: never).
  void BreakOpenPortAfter(std::uint64_t bytesWritten);

  // Every write the program made, with the baud rate it was made at.
  struct Write {
    SimBootBytes bytes;
    std::uint32_t baud;
  };
  std::vector<Write> Writes() const;
  std::uint64_t BytesWritten() const;
  // Wire time of every byte written and read so far, microseconds.
  std::uint64_t WireTimeUs() const;

 private:
  friend class CSimBootPort;
  // Port side, under m_mutex.
  bool OpenPort(const std::string& device, std::uint32_t baud);
  void ClosePort();
  void DropArrived();
  void WritePort(const std::uint8_t* data, std::uint32_t n);
  std::uint32_t ReadPort(std::uint8_t* data, std::uint32_t n, const SerialTimeouts& timeouts);

  mutable std::mutex m_mutex;
  CSimBootUnit& m_unit;
  const std::string m_device;
  std::uint64_t m_nowUs = 0;
  bool m_plugged = true;
  bool m_open = false;
  std::uint64_t m_breakAfter = 0;
  bool m_broken = false;
  std::uint32_t m_baud = 0;
  std::deque<SimBootByte> m_toPort;
  std::vector<Write> m_writes;
  std::uint64_t m_bytesWritten = 0;
  std::uint64_t m_wireUs = 0;
};
