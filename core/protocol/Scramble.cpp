// Chained scrambling of 32-bit words.
#include "core/protocol/Scramble.h"

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
  std::uint32_t previous = seed;
  for (std::size_t i = 0; i < wordCount; ++i) {
    std::uint8_t* p = bytes + 4 * i;
    const std::uint32_t stored = Word(p);
    SetWord(p, stored ^ previous);
    previous = stored;
  }
}
