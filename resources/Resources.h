// The program's own resources by number: the images ("BMP", "PNG", "ICON"), the string table
// and the version block. All lookups are safe from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The bytes of the resource of that kind and number (a whole PNG or BMP file); empty when
// there is none. The bytes stay valid until the program ends.
std::span<const std::uint8_t> FindResourceBytes(std::string_view kind, std::uint32_t id);

// A string-table entry as UTF-8; empty when the table has no such entry.
std::string LoadResourceString(std::uint32_t id);

// One image of the artwork table.
struct CResourceImageInfo {
  std::string kind;
  std::uint32_t id = 0;
  std::string name;
  int width = 0;
  int height = 0;
};
// Every embedded image, in table order.
std::vector<CResourceImageInfo> ListResourceImages();

// The version block: the file version as four 16-bit parts, most significant first, and the
// named texts ("ProductName", "CompanyName", "FileVersion", ...).
struct CVersionBlock {
  std::uint16_t fileVersion[4] = {0, 0, 0, 0};
  std::vector<std::pair<std::string, std::string>> strings;
};
const CVersionBlock& GetVersionBlock();
