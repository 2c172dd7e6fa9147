// Fuzz target of the processor's block decoders: the settings blocks read from a unit and
// the stored forms of the same blocks, for any model and channel. Input: the model, the
// decoder, the channel, the form, then the block bytes.
#include <cstddef>
#include <cstdint>

#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int kModels[] = {16, 17, 110, 112, 114, 115, 116, 118, 120, 121};
  CFuzzInput in(data, size);
  const int model = kModels[in.Byte() % std::size(kModels)];
  const int decoder = in.Byte() % 8;
  const int n = in.Byte() % 16;
  const int format = in.Byte() % 4;
  const auto bytes = in.Rest();
  CNerexSeriesMemory image;
  switch (decoder) {
    case 0: DecodeInputBlock(bytes, n, model, image); break;
    case 1: DecodeOutputBlock(bytes, n, model, image); break;
    case 2: DecodeGeqBlock(bytes, n, model, image); break;
    case 3: DecodeDeqBlockReply(bytes, n, model, image); break;
    case 4: DecodeInputBlockV1(format, bytes, n, model, image); break;
    case 5: DecodeOutputBlockSnapshot(format, bytes, n, model, image); break;
    case 6: DecodeGeqBlockSnapshot(bytes, n, image); break;
    default: DecodeDeqBlock(format, bytes, n, model, image); break;
  }
  return 0;
}
