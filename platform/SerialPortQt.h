// The serial port on QSerialPort. The QSerialPort lives on a private I/O thread of the port,
// which moves the bytes; completion routines are handed back to the thread that started each
// operation and run inside its alertable waits.
#pragma once

#include <memory>

#include "platform/SerialPort.h"

class CQtSerialPort : public ISerialPort {
 public:
  CQtSerialPort();
  ~CQtSerialPort() override;
  CQtSerialPort(const CQtSerialPort&) = delete;
  CQtSerialPort& operator=(const CQtSerialPort&) = delete;

  bool Open(const std::string& device, std::uint32_t baudRate) override;
  void Close() override;
  bool IsOpen() const override;
  bool SetTimeouts(const SerialTimeouts& timeouts) override;
  bool Purge(std::uint32_t flags) override;

 protected:
  bool StartWrite(const std::uint8_t* data, std::uint32_t n,
                  std::shared_ptr<CIoCompletionQueue> queue, SerialCompletion done) override;
  bool StartRead(std::uint8_t* data, std::uint32_t n, std::shared_ptr<CIoCompletionQueue> queue,
                 SerialCompletion done) override;

 private:
  class Impl;
  std::unique_ptr<Impl> m_impl;
};
