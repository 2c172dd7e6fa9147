// What discovery asks of a family that keeps a 32-bit word of the read-out blocks it has
// received from its unit (the breakout boxes): after a scan it clears the bits of the blocks to
// be read again.
#pragma once

#include <cstdint>

// Worker thread.
class IBlockReceivedWord {
 public:
  virtual ~IBlockReceivedWord() = default;
  // word := word & keep.
  virtual void MaskBlockReceivedWord(std::uint32_t keep) = 0;
  virtual std::uint32_t GetBlockReceivedWord() const = 0;
};
