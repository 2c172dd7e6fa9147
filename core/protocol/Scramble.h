// Chained scrambling of 32-bit words, used by the stored user records, the device user table
// and the processor's output record: c0 = w0 ^ seed, ci = wi ^ c(i-1).
#pragma once

#include <cstddef>
#include <cstdint>

// Scrambles wordCount consecutive little-endian u32 words of bytes in place.
void ScrambleWords(std::uint8_t* bytes, std::size_t wordCount, std::uint32_t seed);
// Reverses ScrambleWords with the same seed: wi = ci ^ c(i-1), with c(-1) = seed.
void UnscrambleWords(std::uint8_t* bytes, std::size_t wordCount, std::uint32_t seed);
// The same from in to out, which may be in itself or lie apart from it.
void UnscrambleWords(const std::uint8_t* in, std::uint8_t* out, std::size_t wordCount, std::uint32_t seed);

// Little-endian u32 access to a byte buffer.
inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline void StoreU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}
