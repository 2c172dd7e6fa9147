// A system online on an in-memory line (so that queued writes are kept) with a recording main
// frame, Zel amplifiers made by the factory, and builders of the family's reply frames.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/ControlMessage.h"
#include "core/SevenBit.h"
#include "core/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/SerialPortMemory.h"
#include "tests/core/BusHarness.h"
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

class ZelAmpFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    CZelBaseDevice::SetFirmwareTableReader([](const std::string&) { return std::string("1.00"); });
    system.GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
    system.Start(&frame);
    ASSERT_TRUE(system.SetOnline(true));
  }
  void TearDown() override {
    CZelBaseDevice::SetFirmwareTableReader(nullptr);
    system.SetOnline(false);
    system.StopCommsThread();
  }

  CZelSeriesDevice* Add(std::uint32_t type = 51, std::uint32_t id = 5) {
    auto* device = static_cast<CZelSeriesDevice*>(system.CreateDevice(id, type, 0));
    device->SetName("Amp");
    system.AppendDevice(device);
    return device;
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
    for (std::size_t i = 0; d.PeekQueuedMessage(i, m); ++i) out.push_back(FrameOf(m));
    return out;
  }
  // Hands a reply to the device as the worker does: the request's command and argument, the
  // reply bytes in the frame.
  static void Deliver(CZelSeriesDevice& d, std::uint32_t command, const Bytes& reply, std::uint32_t argument = 0) {
    CControlMessage m;
    m.Set(command, 11, std::uint32_t(reply.size()), &d, false, 0xA8, argument, 0);
    std::copy(reply.begin(), reply.end(), m.frame);
    m.receivedLength = std::uint32_t(reply.size());
    d.ProcessReply(m);
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

  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CTestFrame frame;
  CSystem system;
};
