// Seven-bit wire coding shared by every frame on the device bus: 8-to-7 payload packing,
// 14-bit lengths and 7-bit checksums.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Packs n source bytes in groups of up to seven, each group preceded by a byte that holds
// the group's top bits (bit j for byte j). Returns the packed length n + ceil(n / 7), 0 for n < 1.
// dst must hold that many bytes.
int Pack7Bit(const std::uint8_t* src, int n, std::uint8_t* dst);

// Reverses Pack7Bit: reads m + ceil(m / 7) bytes from src and writes m bytes to dst.
void Unpack7Bit(const std::uint8_t* src, int m, std::uint8_t* dst);

// Packed length of n raw bytes.
constexpr int PackedLength7Bit(int n) { return n < 1 ? 0 : n + (n + 6) / 7; }

// Sum of count bytes masked with 0x7F.
std::uint8_t Checksum7Bit(const std::uint8_t* bytes, std::size_t count);

// A 14-bit value as two seven-bit bytes, high 7 bits first.
inline void Put14Bit(std::uint8_t* dst, std::uint32_t value) {
  dst[0] = std::uint8_t((value >> 7) & 0x7F);
  dst[1] = std::uint8_t(value & 0x7F);
}
inline std::uint32_t Get14Bit(const std::uint8_t* src) {
  return (std::uint32_t(src[0]) << 7) + src[1];
}

// Text bytes of a reply; a byte that is not 7-bit text becomes '?'.
std::string ReplyText(const std::uint8_t* bytes, std::size_t count);
