// A PNG whose header claims a size and whose pixel data is a few bytes: a reader that goes by
// the header alone sees the size, one that reads the pixels finds them damaged.
#pragma once

#include <cstdint>
#include <vector>

inline std::vector<std::uint8_t> PngClaiming(std::uint32_t width, std::uint32_t height) {
  auto crc = [](const std::vector<std::uint8_t>& data, std::size_t from) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < data.size(); ++i) {
      c ^= data[i];
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
  };
  auto put32 = [](std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out.push_back(std::uint8_t(v >> shift));
  };
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
    put32(png, std::uint32_t(data.size()));
    const std::size_t from = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(png, crc(png, from));
  };
  std::vector<std::uint8_t> header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB
  chunk("IHDR", header);
  chunk("IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00});
  chunk("IEND", {});
  return png;
}
