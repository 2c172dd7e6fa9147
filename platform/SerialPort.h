// Serial port interface with overlapped reads and writes whose completion routines run on the
// thread that started them, inside that thread's alertable waits (SleepEx); the COM-number
// mapping of this platform; and the factory of real ports.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class CIoCompletionQueue;

// What SleepEx returns when it ran completion routines.
constexpr std::uint32_t WAIT_IO_COMPLETION = 0xC0;

// Sleeps up to ms milliseconds. With alertable set, the completion routines of I/O that this
// thread started run inside the wait, and the wait ends after running them (WAIT_IO_COMPLETION);
// otherwise it returns 0 when the time is up.
std::uint32_t SleepEx(std::uint32_t ms, bool alertable);

// Read and write time-outs in milliseconds. A read of n bytes ends after
// readTotalMultiplier x n + readTotalConstant ms with what has arrived; with both 0 it waits
// until n bytes have come, except that readInterval 0xFFFFFFFF with both 0 returns at once
// with what is there. readInterval is otherwise not used. Writes end when the bytes have left
// the port; a write limit of 0 (multiplier and constant) means none of the caller's, and the
// port allows what a line that takes bytes needs.
struct SerialTimeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 0;
  std::uint32_t writeTotalConstant = 0;

  // Time allowed for a read of n bytes; nullopt waits without limit.
  std::optional<std::chrono::milliseconds> ReadLimit(std::uint32_t n) const;
  std::optional<std::chrono::milliseconds> WriteLimit(std::uint32_t n) const;
};

// Purge flags: drop what waits to be sent, what has been received.
enum : std::uint32_t { kPurgeTx = 1, kPurgeRx = 2 };

// How an overlapped operation ended: ok is false when the line failed (an I/O error, or a port
// that reports data but gives none); bytes is the count moved.
using SerialCompletion = std::function<void(bool ok, std::uint32_t bytes)>;

// One serial port. Opening, closing and configuring may happen on any thread; one thread at a
// time runs operations on an open port.
class ISerialPort {
 public:
  virtual ~ISerialPort() = default;

  // Opens the device (a path such as "/dev/ttyUSB0") at the baud rate with 8 data bits, no
  // parity, one stop bit, DTR and RTS on and no flow control, and holds it alone: while it is
  // open no other program, nor another port of this one, opens the line, and its lock file tells
  // every serial program that it is in use. False when the device cannot be opened or
  // configured, is a console of the machine, or another program holds it; the port is then
  // closed and GetLastErrorText says why. A line that another program holds is left as it was:
  // its settings are not changed and nothing is written or read on it.
  virtual bool Open(const std::string& device, std::uint32_t baudRate) = 0;
  // Whether Open(device, baudRate) would take the line, found without taking it: the line's
  // settings stay as they are, its modem lines are not set and no byte goes either way. False,
  // with the reason in *reason (when given), when it would not. The port stays closed. By
  // default the port opens and closes again.
  virtual bool CanOpen(const std::string& device, std::uint32_t baudRate, std::string* reason);
  // Closes the port. Operations in flight are dropped: their completion routines never run.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
  virtual bool Purge(std::uint32_t flags) = 0;
  // Why the last failed operation of this open of the port failed, in the system's words (the
  // text of its I/O error, or that the line hung up); empty while none has failed. After an Open
  // that failed, why the port did not open ("the device does not exist", "in use by another
  // program"...). Any thread.
  virtual std::string GetLastErrorText() const { return {}; }

  // Overlapped write: the completion runs on the calling thread, inside its alertable waits,
  // once every byte has left the port (drained). A port may send the bytes before the call
  // returns (a terminal device does; the in-memory line returns at once). False when the write
  // cannot be started (closed, failed, or a write already in flight). data must stay valid
  // until the completion has run. A write whose bytes have not all left by its limit fails with
  // the count that left: the line takes no bytes, and GetLastErrorText says so.
  bool WriteEx(const std::uint8_t* data, std::uint32_t n, SerialCompletion done);
  // Overlapped read of n bytes into data, ending when n bytes have come or the read time-out
  // has passed; the completion runs as for WriteEx. The time-out counts from this call.
  bool ReadEx(std::uint8_t* data, std::uint32_t n, SerialCompletion done);

  // Blocking forms: return when the operation has ended; false on an I/O error.
  bool Write(const std::uint8_t* data, std::uint32_t n, std::uint32_t* written);
  bool Read(std::uint8_t* data, std::uint32_t n, std::uint32_t* got);

 protected:
  // Start an operation whose completion routine is posted to queue.
  virtual bool StartWrite(const std::uint8_t* data, std::uint32_t n,
                          std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) = 0;
  virtual bool StartRead(std::uint8_t* data, std::uint32_t n,
                         std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) = 0;
};

// The port numbers the program offers and scans: COM1 to COM32, as many as the device names below
// cover without a link.
inline constexpr std::uint32_t kFirstComPort = 1;
inline constexpr std::uint32_t kLastComPort = 32;

// "<app-data>/Orvak/ports/": a link com<n> there names the device that "COM<n>" opens.
std::string GetComPortLinkFolder();
// The device that port number n opens: the target of the link com<n> in the ports folder when
// that link exists; otherwise COM1-COM8 are /dev/ttyUSB0-7, COM9-COM16 /dev/ttyACM0-7 and
// COM17-COM32 /dev/ttyS0-15. Empty for any other number.
std::string GetComPortDevice(std::uint32_t portNumber);

// A new, closed port on the platform's serial driver (or what the test factory makes).
std::unique_ptr<ISerialPort> CreateSerialPort();
// Tests: makes CreateSerialPort return ports of the factory (empty restores the real ports).
void SetSerialPortFactoryForTests(std::function<std::unique_ptr<ISerialPort>()> factory);
