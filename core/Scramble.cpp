// Chained scrambling of 32-bit words.
#include "core/Scramble.h"

void ScrambleWords(std::uint8_t* bytes, std::size_t wordCount, std::uint32_t seed) {
  std::uint32_t previous = seed;
  for (std::size_t i = 0; i < wordCount; ++i) {
    std::uint8_t* p = bytes + 4 * i;
    previous = LoadU32(p) ^ previous;
    StoreU32(p, previous);
  }
}

void UnscrambleWords(std::uint8_t* bytes, std::size_t wordCount, std::uint32_t seed) {
  std::uint32_t previous = seed;
  for (std::size_t i = 0; i < wordCount; ++i) {
    std::uint8_t* p = bytes + 4 * i;
    const std::uint32_t stored = LoadU32(p);
    StoreU32(p, stored ^ previous);
    previous = stored;
  }
}
