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

// Why bytes gave no picture. Only NoMemory may go otherwise another time: the others are the
// bytes' own.
enum class BitmapFault {
  None,
  NoData,       // no bytes at all
  NotAPicture,  // no BMP, JPEG or PNG signature
  Damaged,      // the header or the pixel data does not read
  TooLarge,     // a size past kMaxBitmapSide a side or kMaxBitmapPixels in all
  NoMemory,     // the pixels could not be given memory
};

// The format the bytes' signature names; none for any other bytes, other picture formats
// included. Any thread.
std::optional<BitmapFormat> DetectBitmapFormat(const std::uint8_t* data, std::size_t size);

// What can be known of a picture without decoding its pixels: the bytes are a BMP, JPEG or PNG
// file, told by their own signature whatever format a record names for them, its header reads,
// its size lies within the limits above and, for a PNG, its chunks run whole up to the closing
// one. False with a reason and its fault otherwise. width and height (when given) receive the
// size the header gives, also when it is too large. Any thread.
bool CheckBitmap(const std::uint8_t* data, std::size_t size, std::string* error = nullptr, int* width = nullptr,
                 int* height = nullptr, BitmapFault* fault = nullptr);

// Decodes the bytes into a 32-bit picture, top row first, after the checks of CheckBitmap. The
// picture's own memory is taken before its pixels are decoded, so that a picture that cannot
// have it costs no decoding. Returns false with a reason and its fault, leaving out untouched,
// when a check fails, the pixels do not decode or there is no memory for them. Any thread.
bool DecodeBitmap(const std::uint8_t* data, std::size_t size, CImage& out, std::string* error = nullptr,
                  BitmapFault* fault = nullptr);

// Tests: a decode whose picture would take more than this many bytes of pixels fails as if
// memory had run out (0: no such limit). Any thread.
void SetPictureMemoryLimitForTests(std::int64_t bytes);

// The version and the copyright line of the image library this program runs with.
std::string GetImageLibraryVersion();
std::string GetImageLibraryCopyright();

// Encodes the picture as a complete file of the format: PNG at the fastest compression level,
// BMP and JPEG with the encoder's default settings (JPEG drops the alpha channel). False with a
// reason, out untouched, for a null picture or when the encoder fails. Any thread.
bool EncodeBitmap(const CImage& image, BitmapFormat format, std::vector<std::uint8_t>& out,
                  std::string* error = nullptr);
