// Firmware data and other files for the loader tests.
#include "tests/ui/loader/BootLineFixture.h"

SimBootBytes FirmwareData(std::size_t size, const std::vector<std::uint8_t>& code, std::size_t offset) {
  SimBootBytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = std::uint8_t(i * 7 + 1);
  for (int twice = 0; twice < 2; ++twice) {
    for (std::size_t i = 0; i < code.size(); ++i) data[offset + twice * code.size() + i] = code[i];
  }
  return data;
}

BootBytes Opening(const std::string& start, std::size_t size) {
  BootBytes file(start.begin(), start.end());
  for (std::size_t i = file.size(); i < size; ++i) file.push_back(std::uint8_t(i * 37 + 11));
  return file;
}
