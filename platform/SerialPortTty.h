// The serial port on a terminal device (termios). A write runs on the thread that starts it; a
// read goes on inside that thread's alertable waits, which look at the line when the reply's
// bytes should have arrived rather than at every byte. The port has no thread of its own.
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
  bool CanOpen(const std::string& device, std::uint32_t baudRate, std::string* reason) override;
  void Close() override;
  bool IsOpen() const override;
  bool SetTimeouts(const SerialTimeouts& timeouts) override;
  bool Purge(std::uint32_t flags) override;
  std::string GetLastErrorText() const override;

  // How many times a wait has woken for the port's reads since it was made (benchmarks and
  // tests of the read path's cost).
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
