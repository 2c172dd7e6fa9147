// Fuzz target of the discovery replies: short-ID, long-ID and type-query replies of any
// length, parsed as the scan parses what it received.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/protocol/DiscoveryFrames.h"
#include "core/comms/SerialComms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > CSerialComms::kReceiveBufferSize) return 0;
  // Exactly the bytes received: a parser that reads past them is caught.
  const std::vector<std::uint8_t> buffer(data, data + size);
  const std::uint32_t received = std::uint32_t(size);
  CScanIdentity identity;
  ParseShortIdReply(buffer.data(), received, identity);
  std::uint32_t id = 0;
  ParseLongIdReply(buffer.data(), received, id);
  ParseTypeQueryReply(buffer.data(), received, identity);
  return 0;
}
