// Chained scrambling of 32-bit words.
#include "core/comms/Scramble.h"

#include <bit>
#include <cstring>

namespace {

// A little-endian word where it lies: one plain load or store on a little-endian machine.
std::uint32_t Word(const std::uint8_t* p) {
  if constexpr (std::endian::native != std::endian::little) return LoadU32(p);
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void SetWord(std::uint8_t* p, std::uint32_t v) {
  if constexpr (std::endian::native != std::endian::little) return StoreU32(p, v);
  std::memcpy(p, &v, sizeof v);
}

}  // namespace

void ScrambleWords(std::uint8_t* bytes, std::size_t wordCount, std::uint32_t seed) {
  std::uint32_t previous = seed;
  for (std::size_t i = 0; i < wordCount; ++i) {
    std::uint8_t* p = bytes + 4 * i;
    previous = Word(p) ^ previous;
    SetWord(p, previous);
  }
}

void UnscrambleWords(std::uint8_t* bytes, std::size_t wordCount, std::uint32_t seed) {
  UnscrambleWords(bytes, bytes, wordCount, seed);
}

void UnscrambleWords(const std::uint8_t* in, std::uint8_t* out, std::size_t wordCount, std::uint32_t seed) {
  std::uint32_t previous = seed;
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Two words at a time: the pair w(i), w(i+1) as one 64-bit word x takes x ^ (x << 32 | c(i-1)).
    for (; i + 2 <= wordCount; i += 2) {
      std::uint64_t stored;
      std::memcpy(&stored, in + 4 * i, sizeof stored);
      const std::uint64_t plain = stored ^ ((stored << 32) | previous);
      std::memcpy(out + 4 * i, &plain, sizeof plain);
      previous = std::uint32_t(stored >> 32);
    }
  }
  for (; i < wordCount; ++i) {
    const std::uint32_t stored = Word(in + 4 * i);
    SetWord(out + 4 * i, stored ^ previous);
    previous = stored;
  }
}
