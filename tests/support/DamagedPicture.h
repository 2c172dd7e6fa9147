// An image read from a record whose PNG header is sound and whose pixel data is damaged: the
// load's check passes it, and the decode when it is first drawn fails.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/file/ImageTree.h"
#include "platform/Archive.h"
#include "platform/Image.h"

inline void LoadDamagedPicture(CCCImage& image, const std::string& name = "damaged") {
  CCCImage source;
  source.m_name = name;
  source.m_format = kImageFormatPng;
  CImage pixels(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) pixels.SetPixel(x, y, CColour::FromRgb(std::uint8_t(x * 15), std::uint8_t(y * 15), 90));
  source.SetBitmap(pixels);
  CArchive out;
  source.Serialize(out);
  std::vector<std::uint8_t> record = out.TakeData();
  const std::string idat = "IDAT";
  const auto at = std::search(record.begin(), record.end(), idat.begin(), idat.end());
  const std::size_t from = std::size_t(at - record.begin()) + 4;
  for (std::size_t i = from; i < from + 8 && i < record.size(); ++i) record[i] ^= 0x5A;
  CArchive in(std::move(record));
  image.Serialize(in);
}
