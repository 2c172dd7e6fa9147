// Decoding and encoding of picture files held in memory (PNG, BMP, JPEG) through FreeImage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CImage;

// Largest picture accepted, in pixels per side and in all; a header that claims more is
// refused before any pixel memory is taken.
constexpr int kMaxBitmapSide = 16384;
constexpr std::int64_t kMaxBitmapPixels = std::int64_t(64) * 1024 * 1024;
// The most pixels one byte of picture data can describe: one bit a pixel at the densest
// deflate ratio (1032 to 1); run-length and JPEG data stay well below it.
constexpr std::int64_t kMaxPixelsPerDataByte = 8 * 1032;

// Decodes the bytes into a 32-bit picture, top row first. Returns false with a reason, leaving
// out untouched, when the bytes are not a picture FreeImage reads or the picture is too large.
// Any thread.
bool DecodeBitmap(const std::uint8_t* data, std::size_t size, CImage& out, std::string* error = nullptr);

// The version and the copyright line of the image library this program runs with.
std::string GetImageLibraryVersion();
std::string GetImageLibraryCopyright();

// File formats a picture is encoded in; the numbers are those that image records store.
enum class BitmapFormat : int { Bmp = 1, Jpeg = 2, Png = 3 };

// Encodes the picture as a complete file of the format (the encoder's default settings; JPEG
// drops the alpha channel). False with a reason, out untouched, for a null picture or when the
// encoder fails. Any thread.
bool EncodeBitmap(const CImage& image, BitmapFormat format, std::vector<std::uint8_t>& out,
                  std::string* error = nullptr);
