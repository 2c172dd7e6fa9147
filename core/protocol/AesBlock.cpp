// AES-128 block encryption: key expansion to 44 words, ten rounds of SubBytes, ShiftRows,
// MixColumns (not in the last round) and AddRoundKey. The S-box is built once from its
// definition (multiplicative inverse in GF(2^8), then the affine map).
#include "core/protocol/AesBlock.h"

#include <array>

namespace {
std::uint8_t Xtime(std::uint8_t x) { return std::uint8_t((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00)); }

std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
  std::uint8_t result = 0;
  while (b) {
    if (b & 1) result ^= a;
    a = Xtime(a);
    b >>= 1;
  }
  return result;
}

std::uint8_t RotateLeft(std::uint8_t x, int n) { return std::uint8_t((x << n) | (x >> (8 - n))); }

const std::array<std::uint8_t, 256>& SBox() {
  static const std::array<std::uint8_t, 256> box = [] {
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i) {
      std::uint8_t inverse = 0;
      for (int j = 1; j < 256 && i != 0; ++j) {
        if (Multiply(std::uint8_t(i), std::uint8_t(j)) == 1) {
          inverse = std::uint8_t(j);
          break;
        }
      }
      s[std::size_t(i)] = std::uint8_t(inverse ^ RotateLeft(inverse, 1) ^ RotateLeft(inverse, 2) ^
                                       RotateLeft(inverse, 3) ^ RotateLeft(inverse, 4) ^ 0x63);
    }
    return s;
  }();
  return box;
}
}  // namespace

void AesEncryptBlock(std::uint8_t block[16], const std::uint8_t key[16]) {
  const auto& sbox = SBox();
  // Key expansion: 44 words of 4 bytes.
  std::uint8_t w[176];
  for (int i = 0; i < 16; ++i) w[i] = key[i];
  std::uint8_t rcon = 0x01;
  for (int i = 4; i < 44; ++i) {
    std::uint8_t t[4] = {w[4 * (i - 1)], w[4 * (i - 1) + 1], w[4 * (i - 1) + 2], w[4 * (i - 1) + 3]};
    if (i % 4 == 0) {
      const std::uint8_t first = t[0];
      t[0] = std::uint8_t(sbox[t[1]] ^ rcon);
      t[1] = sbox[t[2]];
      t[2] = sbox[t[3]];
      t[3] = sbox[first];
      rcon = Xtime(rcon);
    }
    for (int j = 0; j < 4; ++j) w[4 * i + j] = std::uint8_t(w[4 * (i - 4) + j] ^ t[j]);
  }

  std::uint8_t s[16];
  for (int i = 0; i < 16; ++i) s[i] = std::uint8_t(block[i] ^ w[i]);
  for (int round = 1; round <= 10; ++round) {
    for (auto& b : s) b = sbox[b];
    // ShiftRows: byte (row r, column c) sits at index 4c + r; row r turns left by r.
    std::uint8_t shifted[16];
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r) shifted[4 * c + r] = s[4 * ((c + r) % 4) + r];
    for (int i = 0; i < 16; ++i) s[i] = shifted[i];
    if (round != 10) {
      for (int c = 0; c < 4; ++c) {
        std::uint8_t* col = s + 4 * c;
        const std::uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = std::uint8_t(Xtime(a0) ^ Xtime(a1) ^ a1 ^ a2 ^ a3);
        col[1] = std::uint8_t(a0 ^ Xtime(a1) ^ Xtime(a2) ^ a2 ^ a3);
        col[2] = std::uint8_t(a0 ^ a1 ^ Xtime(a2) ^ Xtime(a3) ^ a3);
        col[3] = std::uint8_t(Xtime(a0) ^ a0 ^ a1 ^ a2 ^ Xtime(a3));
      }
    }
    for (int i = 0; i < 16; ++i) s[i] ^= w[16 * round + i];
  }
  for (int i = 0; i < 16; ++i) block[i] = s[i];
}
