// Shared pieces of the processor device tests: a device made by the factory on a system with a
// recording frame, a panel that records what the device asks of it, a loopback that answers the device's requests from a simulated unit without a
// serial line, and hand-made reply frames.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/model/Confirm.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/ControlPanel.h"
#include "core/comms/SerialComms.h"
#include "core/protocol/SevenBit.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/SerialPortMemory.h"
#include "platform/WindowMessages.h"
#include "tests/support/ProcessorBus.h"
#include "tests/support/RecordingFrame.h"
#include "tools/devsim/SimProcessor.h"

using Bytes = std::vector<std::uint8_t>;

inline Bytes FrameBytes(const CControlMessage& m) { return Bytes(m.frame, m.frame + m.FrameBytes()); }

// A reply frame: start byte 0xA8, length, bytes 3 to 6 and the payload, 7-bit checksum.
inline Bytes MakeReply(std::uint8_t command, const Bytes& payload, std::uint8_t start = 0xA8) {
  Bytes body{0x10, 0x01, 0x00, command};
  body.insert(body.end(), payload.begin(), payload.end());
  return MakeFramedReply(start, body);
}

// The same with the payload 7-bit packed.
inline Bytes MakePackedReply(std::uint8_t command, const Bytes& raw) {
  Bytes packed(std::size_t(PackedLength7Bit(int(raw.size()))));
  if (!raw.empty()) Pack7Bit(raw.data(), int(raw.size()), packed.data());
  return MakeReply(command, packed);
}

// Answers every confirmation question with ok and counts the questions.
class CAnswer {
 public:
  bool AskConfirm(const std::string&, const std::string&, const std::string&, bool&) {
    ++asked;
    return ok;
  }
  bool ok = true;
  int asked = 0;
};

// A processor panel that records what the device asks of it.
class CRecordingNerexPanel : public CControlPanel, public INerexSeriesPanel {
 public:
  void NotifyParameterChanged(const CParamValue& value) override { ids.push_back(value.id); }
  void DestroyPanelWindow() override {}
  void UpdateAllControls() override { calls.push_back("UpdateAllControls"); }
  void RequestMeterUpdate() override { calls.push_back("RequestMeterUpdate"); }
  void RefillPresetList() override { calls.push_back("RefillPresetList"); }
  void RefreshGeqCurve(bool) override { calls.push_back("RefreshGeqCurve"); }
  void RefreshPeqSection(bool) override { calls.push_back("RefreshPeqSection"); }
  void RefreshDeqSection(bool) override { calls.push_back("RefreshDeqSection"); }
  void RefreshOutputEqSection(bool) override { calls.push_back("RefreshOutputEqSection"); }
  void RefreshOutputSection(bool) override { calls.push_back("RefreshOutputSection"); }
  void SelectSideTab(std::uint32_t tab, bool) override { calls.push_back("SelectSideTab " + std::to_string(tab)); }
  void DrawInputsSection(bool) override { calls.push_back("DrawInputsSection"); }
  void ShowPage(std::uint32_t page) override { calls.push_back("ShowPage " + std::to_string(page)); }
  void ShowPageControls(bool) override { calls.push_back("ShowPageControls"); }
  void ApplyGainNudge(bool) override { calls.push_back("ApplyGainNudge"); }
  void ApplyDelayDisplay(bool redraw) override { calls.push_back(redraw ? "ApplyDelayDisplay 1" : "ApplyDelayDisplay 0"); }
  void SelectInputPeqBand(int band, bool outer) override { Band("SelectInputPeqBand", band, outer); }
  void SelectOutputEqBand(int band, bool outer) override { Band("SelectOutputEqBand", band, outer); }
  void SelectDeqBand(int band, bool outer) override { Band("SelectDeqBand", band, outer); }
  void SelectGeqBand(int band, int) override { Band("SelectGeqBand", band, true); }
  void RefreshGeqSection(bool) override { calls.push_back("RefreshGeqSection"); }
  void UpdateBitMaskButtons(bool) override { calls.push_back("UpdateBitMaskButtons"); }
  void Band(const char* what, int band, bool outer) {
    calls.push_back(std::string(what) + " " + std::to_string(band) + (outer ? " outer" : ""));
  }

  std::vector<int> ids;
  std::vector<std::string> calls;
};

// A processor device of one model, owned by the test, on a system with a recording frame.
class ProcessorDeviceTest : public ::testing::Test {
 protected:
  CNerexSeriesDevice& Make(int model, std::uint32_t id = 1, std::uint32_t hardwareCode = 0) {
    m_device.reset(static_cast<CNerexSeriesDevice*>(
        CreateNerexSeriesDevice(&m_system, &m_sink, std::uint32_t(model), id, hardwareCode)));
    return *m_device;
  }

  // A request of the command made now (a read carries the device's count of changes).
  CControlMessage Ask(std::uint32_t command, bool write = false) {
    CControlMessage record;
    record.command = command;
    record.write = write;
    record.device = m_device.get();
    if (!write) m_device->ReadGuard().StampRead(record);
    return record;
  }
  // Hands reply bytes to the device as the worker does after a complete transaction, for a
  // request asked just now. The unit is one of the device's model: byte 3 of its reply repeats
  // the model.
  void Deliver(std::uint32_t command, const Bytes& reply, bool write = false) { DeliverTo(Ask(command, write), reply); }
  // The same for the request asked earlier.
  void DeliverTo(CControlMessage record, const Bytes& reply) {
    std::memcpy(record.frame, reply.data(), std::min(reply.size(), CControlMessage::kFrameSize));
    if (reply.size() > 3) record.frame[3] = std::uint8_t(m_device->GetModel());
    record.receivedLength = std::uint32_t(reply.size());
    record.expectedLength = record.receivedLength;
    CSingleLock lock(m_system.GetLock());
    m_device->ProcessReply(record);
  }

  // Opens the system's port on an in-memory line, so that queued messages are kept.
  void OpenPort() {
    m_system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(m_line));
    ASSERT_TRUE(m_system.GetComms().SetOnline(true));
  }

  // Raises the connection level to connected with answered writes.
  void Connect() {
    for (int i = 0; i < 3; ++i) m_device->UpdateCommsState(true);
  }

  // The frames waiting in the device's queue, in order.
  std::vector<Bytes> Queued() const {
    std::vector<Bytes> out;
    CControlMessage m;
    for (std::size_t i = 0; m_device->Queue().PeekQueuedMessage(i, m); ++i) out.push_back(FrameBytes(m));
    return out;
  }

  std::size_t Posted(std::uint32_t message, LPARAM lParam) const {
    std::size_t n = 0;
    for (const auto& m : m_sink.Messages())
      if (m.message == message && m.lParam == lParam) ++n;
    return n;
  }

  std::shared_ptr<CSerialLine> m_line = std::make_shared<CSerialLine>();
  CSystem m_system;
  CRecordingFrame m_sink;
  std::unique_ptr<CNerexSeriesDevice> m_device;
};

// Answers a device's requests from a simulated unit, in memory: the device's next request goes
// to the unit and the unit's answer straight back to the device, as a complete transaction.
class CLoopback {
 public:
  CLoopback(CSystem& system, CNerexSeriesDevice& device, CSimProcessorUnit& unit)
      : m_system(system), m_device(device), m_unit(unit) {}

  // False when the device had nothing to send. Unanswered requests count as misses.
  bool Step() {
    CControlMessage t;
    if (!m_device.GetNextPollMessage(t)) return false;
    last = t;
    sent.push_back(t);
    const SimBytes reply = m_unit.Handle(Bytes(t.frame, t.frame + t.FrameBytes())).Wire();
    // As the transport does, a reply whose header announces more than expected is read whole.
    const bool longer = reply.size() > t.expectedLength && reply.size() >= 3 && Get14Bit(reply.data() + 1) + 1 == reply.size();
    if (reply.empty() || (!t.write && reply.size() != t.expectedLength && !longer)) {
      m_device.UpdateCommsState(false);
      ++misses;
      return true;
    }
    if (m_device.NeedsInitialisation()) {
      m_device.SetNeedsInitialisation(false);
      return true;
    }
    std::memcpy(t.frame, reply.data(), reply.size());
    t.receivedLength = std::uint32_t(reply.size());
    CSingleLock lock(m_system.GetLock());
    m_device.ProcessReply(t);
    return true;
  }

  // Steps until the device's read-back is complete; false after maxSteps.
  bool ReadInFull(int maxSteps = 5000) {
    for (int i = 0; i < maxSteps && !m_device.AllBlocksReceived(); ++i) Step();
    return m_device.AllBlocksReceived();
  }

  // The memory number of a request of the block, name and flags reads.
  static std::uint32_t MemoryOf(const CControlMessage& m) { return GetMemoryNumber(m.frame + 7); }
  // "command" or "command/memory" for each request sent, in order.
  std::vector<std::string> Trace() const {
    std::vector<std::string> out;
    for (const auto& m : sent) {
      std::string item = std::to_string(m.command);
      if (m.frameLength == 11) item += "/" + std::to_string(MemoryOf(m));
      out.push_back(item);
    }
    return out;
  }

  CControlMessage last;
  std::vector<CControlMessage> sent;
  int misses = 0;

 private:
  CSystem& m_system;
  CNerexSeriesDevice& m_device;
  CSimProcessorUnit& m_unit;
};

// Store and recall against a simulated Fennick with 20 memories on the bus: the device is read
// out, open(device) gives it its panel, choose(row) selects row 4 (memory 5) and raise(id)
// raises the store (420, the name "Stage" being asked for) and then the recall (421). The unit
// must end up holding the stored settings as memory 5 and playing them. close() lets the panel go
// before the device does, however the check ends.
inline void CheckFennickStoreAndRecallOnTheBus(const std::function<void(CNerexSeriesDevice&)>& open,
                                               const std::function<void(int)>& choose,
                                               const std::function<void(int)>& raise,
                                               const std::function<void()>& close) {
  CAnswer answer;
  CProcessorBus bus;
  bus.DecideOnEvents();
  struct CCloser {
    const std::function<void()>& close;
    ~CCloser() { close(); }
  } closer{close};
  CSimProcessorUnit* unit = bus.AddUnit(16, 3);
  unit->SetPresetCount(20);
  CNerexSeriesDevice* d = bus.AddDevice(16, 3);
  bus.Frame().SetConfirmPrompt(&answer);
  ASSERT_TRUE(bus.StartAndReadOut(d));
  open(*d);
  if (::testing::Test::HasFatalFailure()) return;
  {
    CSingleLock lock(bus.System().GetLock());
    WritableSettings(*d).inputs.gains[0] = 42;
  }
  choose(4);
  raise(420);
  ASSERT_TRUE(bus.WaitFor([&] { return unit->WritesOf(28).size() == 1; }));
  const CNerexSeriesMemory stored = unit->Preset(5);
  EXPECT_EQ(stored.sectionFlags, 3u);
  EXPECT_EQ(stored.name, "Stage");
  EXPECT_EQ(stored.inputs.gains[0], 42);
  raise(421);
  ASSERT_TRUE(bus.WaitFor([&] { return unit->GeneralSettings()[7] == 5 && unit->Current().inputs.gains[0] == 42; }));
}
