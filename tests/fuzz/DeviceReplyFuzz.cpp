// Fuzz target of the replies a unit sends: the bytes are handed to a device of any family as
// the worker hands a completed transaction, for any command, read or write. Input: the device
// type, the command, the write flag, then the reply bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/protocol/ControlMessage.h"
#include "core/model/Device.h"
#include "core/system/System.h"
#include "platform/Sync.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  static CSystem system;
  CFuzzInput in(data, size);
  std::unique_ptr<CDevice> device(CreateFuzzDevice(system, in.Byte(), 1));
  if (!device) return 0;
  CControlMessage record;
  record.command = in.Byte();
  record.write = (in.Byte() & 1) != 0;
  record.device = device.get();
  const auto reply = in.Rest();
  const std::size_t n = std::min(reply.size(), CControlMessage::kFrameSize);
  if (n) std::memcpy(record.frame, reply.data(), n);
  record.receivedLength = std::uint32_t(n);
  record.expectedLength = record.receivedLength;
  CSingleLock lock(system.GetLock());
  device->ProcessReply(record);
  return 0;
}
