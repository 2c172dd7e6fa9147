// Global-mute broadcast frames.
#include "core/comms/GlobalMute.h"

#include <algorithm>

#include "core/protocol/ControlMessage.h"
#include "core/protocol/SevenBit.h"

namespace {
enum class MuteLayout { k9Byte, k9ByteModule, k12Byte };

struct MuteTarget {
  std::uint8_t type;
  MuteLayout layout;
};

constexpr MuteTarget kMuteTargets[kGlobalMuteFrameCount] = {
    {0x71, MuteLayout::k9Byte},       {0x79, MuteLayout::k9Byte},       {0x10, MuteLayout::k9Byte},
    {0x5E, MuteLayout::k9Byte},       {0x62, MuteLayout::k9Byte},       {0x31, MuteLayout::k9ByteModule},
    {0x32, MuteLayout::k9ByteModule}, {0x38, MuteLayout::k12Byte},      {0x33, MuteLayout::k12Byte},
    {0x34, MuteLayout::k12Byte},      {0x35, MuteLayout::k12Byte},      {0x36, MuteLayout::k12Byte},
    {0x37, MuteLayout::k12Byte},      {0x28, MuteLayout::k12Byte},      {0x29, MuteLayout::k12Byte},
    {0x2A, MuteLayout::k12Byte},      {0x2B, MuteLayout::k12Byte},      {0x2C, MuteLayout::k12Byte},
    {0x2D, MuteLayout::k12Byte},
};

// The mute argument of each layout.
constexpr std::uint8_t kMute9Byte = 2;
constexpr std::uint8_t kMute12Byte = 1;
// Byte 5 of the module variant.
constexpr std::uint8_t kModuleMarker = 0x0D;

std::unique_ptr<CControlMessage> MakeMuteFrame(const MuteTarget& target, bool mute) {
  auto m = std::make_unique<CControlMessage>();
  const bool twelve = target.layout == MuteLayout::k12Byte;
  const std::uint32_t length = twelve ? 12 : 9;
  m->Set(kGlobalMuteCommand, length, 0, nullptr, false, CControlMessage::kDefaultReplyStart, 0, 0);
  std::uint8_t* f = m->frame;
  f[0] = 0xF0;
  f[1] = 0x00;
  f[2] = std::uint8_t(length - 1);
  f[3] = target.type;  // bytes 4 onwards stay 0 (broadcast ID) unless set below
  if (target.layout == MuteLayout::k9ByteModule) f[5] = kModuleMarker;
  f[length - 3] = std::uint8_t(kGlobalMuteCommand);
  f[length - 2] = mute ? (twelve ? kMute12Byte : kMute9Byte) : 0;
  f[length - 1] = Checksum7Bit(f, length - 1);
  return m;
}
}  // namespace

std::vector<std::unique_ptr<CControlMessage>> BuildGlobalMuteMessages(bool mute) {
  std::vector<std::unique_ptr<CControlMessage>> out;
  out.reserve(kGlobalMuteFrameCount);
  for (const MuteTarget& t : kMuteTargets) out.push_back(MakeMuteFrame(t, mute));
  return out;
}
