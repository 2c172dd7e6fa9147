// Decoding of picture files held in memory (PNG and BMP above all) through FreeImage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CImage;

// Largest picture accepted, in pixels per side and in all; a header that claims more is
// refused before any pixel memory is taken.
constexpr int kMaxBitmapSide = 16384;
constexpr std::int64_t kMaxBitmapPixels = std::int64_t(64) * 1024 * 1024;

// Decodes the bytes into a 32-bit picture, top row first. Returns false with a reason, leaving
// out untouched, when the bytes are not a picture FreeImage reads or the picture is too large.
// Any thread.
bool DecodeBitmap(const std::uint8_t* data, std::size_t size, CImage& out, std::string* error = nullptr);

// The version and the copyright line of the image library this program runs with.
std::string GetImageLibraryVersion();
std::string GetImageLibraryCopyright();
