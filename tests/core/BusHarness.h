// A system object online on an in-memory line with a simulated bus behind it, a recording main
// frame, and helpers to wait for the worker. For the comms worker and discovery tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/protocol/ControlMessage.h"
#include "core/comms/Discovery.h"
#include "core/support/LogFile.h"
#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "platform/SerialPortMemory.h"
#include "platform/WindowMessages.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/TestDevices.h"
#include "tests/support/WaitFor.h"
#include "tools/devsim/SimBus.h"


// The main frame as the model sees it: every message recorded, log lines kept as text.
class CTestFrame : public CRecordingUi {
 public:
  bool Post(CPostedMessage message) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (message.message == FrameMsg::kLogLine) {
      m_log.push_back(std::move(message.text));
    } else {
      m_messages.push_back(std::move(message));
    }
    return true;
  }
  // Messages of the number; with anyParam false only those with this wParam.
  std::size_t Count(std::uint32_t message, WPARAM wParam = 0, bool anyParam = true) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t n = 0;
    for (const auto& m : m_messages)
      if (m.message == message && (anyParam || m.wParam == wParam)) ++n;
    return n;
  }
  // Messages of the number about the device.
  std::size_t CountFor(std::uint32_t message, const CDevice* device) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t n = 0;
    for (const auto& m : m_messages)
      if (m.message == message && device && m.handle == device->GetHandle()) ++n;
    return n;
  }
  std::vector<CRecordingSink::Message> Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
  }
  // Log texts, each without its time stamp.
  std::vector<std::string> LogLines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> out;
    for (const auto& line : m_log) out.push_back(line.size() > 23 ? line.substr(23) : line);
    return out;
  }
  std::size_t CountLogLinesStartingWith(const std::string& prefix) const {
    std::size_t n = 0;
    for (const auto& line : LogLines())
      if (line.rfind(prefix, 0) == 0) ++n;
    return n;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<CRecordingSink::Message> m_messages;
  std::vector<std::string> m_log;
};

// The autoscan dialog: records the progress lines; a test may stop the scan at a line.
class CTestScanDialog : public IAutoscanDialog {
 public:
  void OnStatusText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back(text);
    if (text == stopAt) running = false;
  }
  void OnUnitNotAdded(const std::string& text) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notes.push_back(text);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
  }
  // The units found but not added, and the answers not read, as the dialog lists them.
  std::vector<std::string> Notes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notes;
  }
  std::atomic<bool> running{true};
  std::string stopAt;

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
  std::vector<std::string> m_notes;
};

class CBusHarness {
 public:
  CBusHarness() {
    system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
  }
  ~CBusHarness() {
    system.GetComms().StopCommsThread();
    bus.Stop();
  }

  // Reads wait long for answers that come, and end as soon as the units have sent all they send
  // for the request (see CSimBus::SetSilenceEndsReads): what a transaction reads then follows
  // what the units send, not how fast the machine runs.
  void DecideOnEvents() {
    bus.SetSilenceEndsReads(true);
    system.GetComms().GetTransport().SetExtraTimeout(kLongReadWaitMs);
  }
  // No security dialog opens in these tests: the security passes neither wait for one nor pause.
  void SkipSecurityDialog() {
    CSecurityTimings timings;
    timings.dialogOpenTimeoutMs = 0;
    timings.messagePauseMs = 0;
    timings.updatePauseMs = 0;
    system.GetComms().Security().SetTimingsForTests(timings);
  }
  // Starts the bus and the worker, and goes online reading the units (0) or sending the file's
  // settings (1).
  bool StartOnline(std::uint32_t choice = 0) {
    bus.Start();
    system.Start(&frame);
    return system.GoOnline(choice);
  }
  // Hands a dialog to the worker and waits for the scan to end.
  bool RunScan(CTestScanDialog& dialog, std::uint32_t timeoutMs = 60000) {
    system.GetComms().Discovery().SetAutoscanDialog(&dialog, &dialog.running);
    return WaitFor([&] { return system.GetComms().Discovery().GetAutoscanDialog() == nullptr && !dialog.running; },
                   timeoutMs);
  }
  // Requests the bus saw whose first byte is b.
  std::size_t CountRequests(std::uint8_t first) const {
    std::size_t n = 0;
    for (const auto& r : bus.Requests())
      if (!r.empty() && r[0] == first) ++n;
    return n;
  }

  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CSimBus bus{std::make_unique<CLineWire>(line)};
  CTestFrame frame;
  CSystem system;
};

// A test device that polls a 20-byte read of command 0x3E in the F0/F1 layout every turn
// (queued messages first) and counts the replies it gets.
class CPollingTestDevice : public CTestDevice {
 public:
  static constexpr std::uint8_t kReadCommand = 0x3E;
  static constexpr std::uint32_t kReplyLength = 20;

  CPollingTestDevice(IDeviceHost* system, std::uint32_t id, IMessageSink* frame) : CTestDevice(system, id, frame) {}

  bool GetNextPollMessage(CControlMessage& record) override {
    ++polls;
    if (!Queue().PopMessage(record)) {
      const std::uint8_t bytes[7] = {0xF0, 0x00, 0x07, 0x10, std::uint8_t(GetDeviceId()), 0x00, kReadCommand};
      record.Set(kReadCommand, 8, kReplyLength, this, false, 0xA8, 0, timeoutBase);
      for (int i = 0; i < 7; ++i) record.frame[i] = bytes[i];
      record.frame[7] = Checksum7Bit(bytes, 7);
      if (repliesRepeatTheHeader) record.replyEchoMask = (1u << 4) | (1u << 6);
    }
    ++requestsMade;
    return true;
  }
  void TakeReply(CControlMessage& record) override {
    if (NeedsInitialisation()) ++processedWhileUninitialised;
    {
      std::lock_guard<std::mutex> lock(m_replyMutex);
      m_lastReply.assign(record.frame, record.frame + record.receivedLength);
    }
    ++processed;
    UpdateCommsState(true);
  }

  // The reply bytes last handed over; the worker may be writing the next one meanwhile.
  std::vector<std::uint8_t> LastReply() const {
    std::lock_guard<std::mutex> lock(m_replyMutex);
    return m_lastReply;
  }

  std::atomic<std::uint32_t> timeoutBase{0};  // added to each read time-out, ms; tests change it online
  // The unit's replies repeat the read's ID (byte 4) and command (byte 6), and the transport is
  // told to hold them to it.
  std::atomic<bool> repliesRepeatTheHeader{false};
  std::atomic<int> polls{0};
  // Requests handed to the worker, counted once their frame is complete (polls counts the calls
  // as they begin).
  std::atomic<int> requestsMade{0};
  std::atomic<int> processed{0};
  std::atomic<int> processedWhileUninitialised{0};

 private:
  mutable std::mutex m_replyMutex;
  std::vector<std::uint8_t> m_lastReply;
};
