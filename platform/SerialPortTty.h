// The serial port on a terminal device (termios). A write runs on the thread that starts it; a
// private I/O thread of the port waits for the bytes of each read, looking at the line when
// they should have arrived rather than at every byte, and hands the completion back to the
// thread that started the read.
#pragma once

#include <memory>

#include "platform/SerialPort.h"

class CTtySerialPort : public ISerialPort {
 public:
  CTtySerialPort();
  ~CTtySerialPort() override;
  CTtySerialPort(const CTtySerialPort&) = delete;
  CTtySerialPort& operator=(const CTtySerialPort&) = delete;

  bool Open(const std::string& device, std::uint32_t baudRate) override;
  void Close() override;
  bool IsOpen() const override;
  bool SetTimeouts(const SerialTimeouts& timeouts) override;
  bool Purge(std::uint32_t flags) override;

  // How many times the I/O thread has woken for reads since the port was made (benchmarks
  // and tests of the read path's cost).
  std::uint64_t ReadWakeups() const;

 protected:
  bool StartWrite(const std::uint8_t* data, std::uint32_t n,
                  std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) override;
  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) override;

 private:
  class Impl;
  std::unique_ptr<Impl> m_impl;
};
