// A system online on an in-memory line (so that queued writes are kept) with a recording main
// frame, Zel amplifiers made by the factory, and builders of the family's reply frames.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/comms/CommsWorker.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceProperty.h"
#include "core/protocol/SevenBit.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/SerialPortMemory.h"
#include "tests/core/BusHarness.h"
#include "tests/support/ModelChanges.h"
#include "tools/devsim/SimUnit.h"

using Bytes = std::vector<std::uint8_t>;

inline Bytes FrameOf(const CControlMessage& m) { return Bytes(m.frame, m.frame + m.frameLength); }

// A reply of the family as a unit sends it: 0xA8, 14-bit length, type, ID groups, 0, command,
// the payload (packed 8-to-7 when asked) from byte 10, zeros up to totalLength, checksum.
inline Bytes ZelReply(const CDevice& d, std::uint8_t command, std::size_t totalLength, const Bytes& payload,
                      bool packed = false) {
  Bytes data = payload;
  if (packed) {
    data.assign(std::size_t(PackedLength7Bit(int(payload.size()))), 0);
    Pack7Bit(payload.data(), int(payload.size()), data.data());
  }
  Bytes body(totalLength - 4, 0);
  const std::uint32_t id = d.GetDeviceId();
  body[0] = std::uint8_t(d.GetTypeCode());
  for (int i = 0; i < 4; ++i) body[std::size_t(1 + i)] = std::uint8_t((id >> (24 - 8 * i)) & 0x7F);
  body[6] = command;
  for (std::size_t i = 0; i < data.size() && 7 + i < body.size(); ++i) body[7 + i] = data[i];
  return MakeFramedReply(0xA8, body);
}

// A read of the command asked now.
inline CControlMessage AskZelRead(CDevice& d, std::uint32_t command, std::uint32_t argument = 0) {
  CControlMessage m;
  m.Set(command, 11, 0, &d, false, 0xA8, argument, 0);
  d.ReadGuard().StampRead(m);
  return m;
}
// Hands the reply to the read to the device as the worker does.
inline void DeliverZelReplyTo(CDevice& d, CControlMessage read, const Bytes& reply) {
  read.expectedLength = std::uint32_t(reply.size());
  std::copy(reply.begin(), reply.end(), read.frame);
  read.receivedLength = std::uint32_t(reply.size());
  d.ProcessReply(read);
}
// Hands a reply to the device as the worker does: the request's command and argument, asked
// just now, the reply bytes in the frame.
inline void DeliverZelReply(CDevice& d, std::uint32_t command, const Bytes& reply, std::uint32_t argument = 0) {
  DeliverZelReplyTo(d, AskZelRead(d, command, argument), reply);
}

// The properties pane's grid as far as a device fills it: its groups of rows.
// A clipboard record pasted as the family's paste takes it once the rights and the unit are
// checked (PasteFromClipboard).
inline void PasteZelRecord(CZelBaseDevice& d, const ZelClipboardRecord& record, std::uint32_t command) {
  CDeviceTestAccess::PasteRecord(d, record, command);
}

class Grid : public IDevicePropertyGrid {
 public:
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override { groups.push_back(std::move(group)); }
  CDeviceProperty* Find(const std::string& name) {
    for (auto& group : groups)
      for (auto& row : group->rows)
        if (row->GetName() == name) return row.get();
    return nullptr;
  }
  std::vector<std::string> Names(std::size_t group) const {
    std::vector<std::string> out;
    for (const auto& row : groups[group]->rows) out.push_back(row->GetName());
    return out;
  }
  std::vector<std::unique_ptr<CDevicePropertyGroup>> groups;
};

class ZelAmpFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
    system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
    system.Start(&frame);
    ASSERT_TRUE(system.GetComms().SetOnline(true));
  }
  void TearDown() override {
    CZelBaseDevice::SetFirmwareTableReader(nullptr);
    system.GetComms().SetOnline(false);
    system.GetComms().StopCommsThread();
  }

  CZelSeriesDevice* Add(std::uint32_t type = 51, std::uint32_t id = 5) {
    auto* device = static_cast<CZelSeriesDevice*>(system.CreateDevice(id, type, 0));
    NameDevice(device, "Amp");
    system.AppendDevice(device);
    return device;
  }
  CZelBreakDevice* AddBox(std::uint32_t type = 41, std::uint32_t id = 7) {
    auto* device = static_cast<CZelBreakDevice*>(system.CreateDevice(id, type, 0));
    NameDevice(device, "Box");
    system.AppendDevice(device);
    return device;
  }
  // Every read-out reply of a quiet breakout box on firmware "1.00" that keeps the device's
  // name and answers the network-master list of the system as it is.
  void ReadOutBox(CZelBreakDevice& d) {
    Bytes identity(24, 0);
    identity[0] = 0xB8;
    identity[2] = 0x17;
    for (int i = 0; i < 4; ++i) identity[std::size_t(19 + i)] = std::uint8_t("1.00"[i]);
    Deliver(d, 0xB0, identity);
    Deliver(d, 59, ZelReply(d, 59, 33, Bytes(19, 0), true));
    Deliver(d, 63, ZelReply(d, 63, 12, {0x01}));
    std::vector<std::uint32_t> types, ids;
    system.CollectZelDeviceIds(types, ids);
    Deliver(d, 70, ZelReply(d, 70, 12, {std::uint8_t(types.size() - 1)}));
    Bytes name(40, ' ');
    const std::string current = d.GetName();
    std::copy_n(current.begin(), std::min<std::size_t>(current.size(), 40), name.begin());
    Deliver(d, 60, ZelReply(d, 60, 51, name));
    for (int c = 0; c < d.GetChannelCount(); ++c) {
      Bytes channel(16, ' ');
      const std::string text = d.GetChannelName(c);
      std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 16), channel.begin());
      Deliver(d, 67, ZelReply(d, 67, 27, channel), std::uint32_t(c));
    }
  }
  // Runs change with the system offline (the port closed), as the file is edited, then goes
  // online again: online, a unit that is not connected takes no change.
  template <class Change>
  void Offline(Change change) {
    ASSERT_TRUE(system.GetComms().SetOnline(false));
    change();
    ASSERT_TRUE(system.GetComms().SetOnline(true));
  }
  // Connected, security done: writes that are not forced are kept.
  static void Connect(CDevice& d) {
    d.SetNeedsInitialisation(false);
    for (int i = 0; i < 3; ++i) d.UpdateCommsState(true);
  }
  // Every queued frame, oldest first.
  static std::vector<Bytes> Queued(const CDevice& d) {
    std::vector<Bytes> out;
    CControlMessage m;
    for (std::size_t i = 0; d.Queue().PeekQueuedMessage(i, m); ++i) out.push_back(FrameOf(m));
    return out;
  }
  // Takes every queued message off the queue, as the worker sends them before the next read.
  static void SendQueued(CDevice& d) {
    CControlMessage m;
    while (d.Queue().PopMessage(m)) {
    }
  }
  static void Deliver(CDevice& d, std::uint32_t command, const Bytes& reply, std::uint32_t argument = 0) {
    DeliverZelReply(d, command, reply, argument);
  }
  // Sets every read-out bit by delivering the read-out replies of a quiet unit that keeps the
  // device's name, runs firmware "1.00" and has its alarm threshold at 90 unless told.
  void ReadOut(CZelSeriesDevice& d, Bytes settings = {0, 0, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0, 0}) {
    Bytes identity(24, 0);
    identity[0] = 0xB8;
    identity[2] = 0x17;
    for (int i = 0; i < 4; ++i) identity[std::size_t(19 + i)] = std::uint8_t("1.00"[i]);
    Deliver(d, 0xB0, identity);
    Bytes name(40, ' ');
    const std::string current = d.GetName();
    std::copy_n(current.begin(), std::min<std::size_t>(current.size(), 40), name.begin());
    Deliver(d, 0x3C, ZelReply(d, 0x3C, 51, name));
    for (int n = 0; n < d.GetChannelCount(); ++n)
      Deliver(d, 0x43, ZelReply(d, 0x43, 27, Bytes(16, ' ')), std::uint32_t(n));
    Deliver(d, 0x45, ZelReply(d, 0x45, 21, Bytes(8, 0), true));
    Deliver(d, 0x3F, ZelReply(d, 0x3F, 12, {0x4F}));
    Deliver(d, 0x3B, ZelReply(d, 0x3B, 26, settings, true));
    Deliver(d, 0x3D, ZelReply(d, 0x3D, 13, {30, 0}));
  }

  // Edits the named row as the pane does: a new value, or a list choice, then the device; the
  // rows stay in grid, the row in last and its refusal in message.
  bool Edit(CDevice& d, const std::string& name, CDeviceProperty::Value value, int choice = -1) {
    grid = Grid();
    d.FillPropertiesPane(grid);
    CDeviceProperty* row = grid.Find(name);
    EXPECT_NE(row, nullptr) << name;
    if (!row) return false;
    if (choice >= 0)
      row->SetComboSelection(choice);
    else
      row->SetValue(value);
    const bool ok = CommitPropertyRow(d, *row);
    message = row->GetErrorText();
    last = row;
    return ok;
  }

  Grid grid;
  std::string message;
  CDeviceProperty* last = nullptr;
  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CTestFrame frame;
  CSystem system;
};
