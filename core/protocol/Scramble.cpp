// Chained scrambling of 32-bit words.
#include "core/protocol/Scramble.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  std::size_t i = 0;
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    // Four words at a time: word k of four takes the XOR of words 0..k (two shifted XORs) and
    // of the last scrambled word before them.
    __m128i before = _mm_set1_epi32(int(previous));
    for (; i + 4 <= wordCount; i += 4) {
      auto* p = reinterpret_cast<__m128i*>(bytes + 4 * i);
      __m128i words = _mm_loadu_si128(p);
      words = _mm_xor_si128(words, _mm_slli_si128(words, 4));
      words = _mm_xor_si128(words, _mm_slli_si128(words, 8));
      words = _mm_xor_si128(words, before);
      _mm_storeu_si128(p, words);
      before = _mm_shuffle_epi32(words, 0xFF);
    }
    previous = std::uint32_t(_mm_cvtsi128_si32(before));
  }
#endif
  for (; i < wordCount; ++i) {
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
#if defined(__SSE2__)
    // Four words at a time: each takes the stored word before it, the last of the previous four
    // for the first.
    __m128i before = _mm_slli_si128(_mm_cvtsi32_si128(int(previous)), 12);
    for (; i + 4 <= wordCount; i += 4) {
      const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i));
      const __m128i shifted = _mm_or_si128(_mm_slli_si128(stored, 4), _mm_srli_si128(before, 12));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), _mm_xor_si128(stored, shifted));
      before = stored;
    }
    previous = std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(before, 12)));
#endif
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
