// Seven-bit wire coding.
#include "core/protocol/SevenBit.h"

int Pack7Bit(const std::uint8_t* src, int n, std::uint8_t* dst) {
  if (n < 1) return 0;
  int out = 0;
  for (int group = 0; group < n; group += 7) {
    const int count = (n - group < 7) ? n - group : 7;
    std::uint8_t prefix = 0;
    for (int j = 0; j < count; ++j) {
      if (src[group + j] & 0x80) prefix = std::uint8_t(prefix | (1u << j));
    }
    dst[out++] = prefix;
    for (int j = 0; j < count; ++j) dst[out++] = std::uint8_t(src[group + j] & 0x7F);
  }
  return out;
}

void Unpack7Bit(const std::uint8_t* src, int m, std::uint8_t* dst) {
  int in = 0;
  std::uint8_t prefix = 0;
  for (int i = 0; i < m; ++i) {
    const int j = i % 7;
    if (j == 0) prefix = src[in++];
    const std::uint8_t data = src[in++];
    dst[i] = (prefix & (1u << j)) ? std::uint8_t(data | 0x80) : data;
  }
}

std::uint8_t Checksum7Bit(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return std::uint8_t(sum & 0x7F);
}

std::string ReplyText(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  text.reserve(count);
  for (std::size_t i = 0; i < count; ++i) text.push_back(bytes[i] < 0x80 ? char(bytes[i]) : '?');
  return text;
}
