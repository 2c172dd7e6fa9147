// An in-memory serial line for tests and the simulator: a port end with the interface of a
// real port, and a device end that a simulated bus reads and writes. Each byte carries the time
// it reaches the far end, so a line with a baud rate delivers bytes at the wire's pace (ten bits
// a byte) and a write drains only when its last byte has arrived.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/SerialPort.h"

class CMemorySerialPort;

// Time one byte takes on the wire at the baud rate (ten bits); 0 baud takes no time.
std::chrono::steady_clock::duration ByteTimeAt(std::uint32_t baudRate);

class CSerialLine {
 public:
  using Clock = std::chrono::steady_clock;

  // Baud rate 0: bytes arrive at once.
  explicit CSerialLine(std::uint32_t baudRate = 0);

  // Any thread.
  void SetBaudRate(std::uint32_t baudRate);
  std::uint32_t GetBaudRate() const;
  Clock::duration ByteTime() const;

  // Device end. Sends bytes towards the port; returns when the last one arrives there. With
  // thenNothingMore, they are all the device end sends for now (see EndReadWhenNothingMore);
  // otherwise more is on its way.
  Clock::time_point DeviceWrite(const std::uint8_t* data, std::size_t n, bool thenNothingMore = false);
  // Waits until a byte from the port has arrived or the deadline passes, then takes up to max
  // of the bytes that have arrived. Returns 0 at the deadline.
  std::size_t DeviceRead(std::uint8_t* dst, std::size_t max, Clock::time_point deadline);
  // Wakes a device end waiting in DeviceRead (it then returns 0).
  void WakeDevice();
  // The device end sends nothing more for now (a test's unit that stays silent): the port's reads
  // end as soon as they have taken every byte sent so far, as when their time-out runs out, until
  // the receive queue is purged, the port writes or the device end sends again. It is ignored
  // while the port has sent bytes the device end has not taken: it then answers an earlier
  // request. Tests only: a silence then costs no time, so reads may wait long for answers that
  // do come.
  void EndReadWhenNothingMore();

  // Faults seen by the port end: with hang-up set the port reports data but gives none, so a
  // read fails; FailNextRead makes the next read end with an I/O error; with open refused the
  // port cannot be opened; with purges refused the port opens but cannot purge its queues (a
  // line that fails its set-up).
  void SetHangup(bool on);
  void FailNextRead();
  void SetOpenRefused(bool refused);
  void SetPurgesRefused(bool refused);

  // What the port end was last opened with, and whether it is open now.
  std::string GetOpenedDevice() const;
  std::uint32_t GetOpenedBaudRate() const;
  bool IsPortOpen() const;
  // Bytes sent each way so far.
  std::uint64_t BytesToDevice() const;
  std::uint64_t BytesToPort() const;

 private:
  friend class CMemorySerialPort;
  struct Byte {
    std::uint8_t value;
    Clock::time_point at;
  };
  // Caller holds m_mutex.
  Clock::time_point Append(std::deque<Byte>& queue, Clock::time_point& free,
                           const std::uint8_t* data, std::size_t n);
  static std::size_t Arrived(const std::deque<Byte>& queue, Clock::time_point now);

  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  std::uint32_t m_baudRate;
  std::deque<Byte> m_toDevice;
  std::deque<Byte> m_toPort;
  Clock::time_point m_toDeviceFree{};
  Clock::time_point m_toPortFree{};
  std::uint64_t m_sentToDevice = 0;
  std::uint64_t m_sentToPort = 0;
  bool m_hangup = false;
  int m_failReads = 0;
  bool m_openRefused = false;
  bool m_purgesRefused = false;
  bool m_endReadWhenNothingMore = false;
  bool m_portOpen = false;
  std::uint64_t m_deviceWakes = 0;
  std::string m_openedDevice;
  std::uint32_t m_openedBaudRate = 0;
};

// The port end of a CSerialLine. A private driver thread ends the operations; their completion
// routines run on the starting thread as with a real port.
class CMemorySerialPort : public ISerialPort {
 public:
  explicit CMemorySerialPort(std::shared_ptr<CSerialLine> line);
  ~CMemorySerialPort() override;
  CMemorySerialPort(const CMemorySerialPort&) = delete;
  CMemorySerialPort& operator=(const CMemorySerialPort&) = delete;

  bool Open(const std::string& device, std::uint32_t baudRate) override;
  void Close() override;
  bool IsOpen() const override;
  bool SetTimeouts(const SerialTimeouts& timeouts) override;
  bool Purge(std::uint32_t flags) override;
  std::string GetLastErrorText() const override;

  const std::shared_ptr<CSerialLine>& Line() const { return m_line; }

 protected:
  bool StartWrite(const std::uint8_t* data, std::uint32_t n,
                  std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) override;
  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) override;

 private:
  class Driver;
  std::shared_ptr<CSerialLine> m_line;
  std::unique_ptr<Driver> m_driver;
};
