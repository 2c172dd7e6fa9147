// Decoding and encoding of picture files held in memory (PNG, BMP, JPEG) through FreeImage.
// No other picture format reaches a decoder: bytes are told apart by their own signature first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

// File formats a picture is stored in; the numbers are those that image records store. They
// are the only formats read or written.
enum class BitmapFormat : int { Bmp = 1, Jpeg = 2, Png = 3 };

// The format the bytes' signature names; none for any other bytes, other picture formats
// included. Any thread.
std::optional<BitmapFormat> DetectBitmapFormat(const std::uint8_t* data, std::size_t size);

// What can be known of a picture without decoding its pixels: the bytes are a BMP, JPEG or PNG
// file, told by their own signature whatever format a record names for them, its header reads,
// its size lies within the limits above and, for a PNG, its chunks run whole up to the closing
// one. False with a reason otherwise. width and height (when given) receive the size. Any
// thread.
bool CheckBitmap(const std::uint8_t* data, std::size_t size, std::string* error = nullptr, int* width = nullptr,
                 int* height = nullptr);

// Decodes the bytes into a 32-bit picture, top row first, after the checks of CheckBitmap.
// Returns false with a reason, leaving out untouched, when a check fails or the pixels do not
// decode. Any thread.
bool DecodeBitmap(const std::uint8_t* data, std::size_t size, CImage& out, std::string* error = nullptr);

// The version and the copyright line of the image library this program runs with.
std::string GetImageLibraryVersion();
std::string GetImageLibraryCopyright();

// Encodes the picture as a complete file of the format: PNG at the fastest compression level,
// BMP and JPEG with the encoder's default settings (JPEG drops the alpha channel). False with a
// reason, out untouched, for a null picture or when the encoder fails. Any thread.
bool EncodeBitmap(const CImage& image, BitmapFormat format, std::vector<std::uint8_t>& out,
                  std::string* error = nullptr);
