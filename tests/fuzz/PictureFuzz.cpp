// Fuzz target of the picture decoder: the bytes of an image record, checked against the format
// the first byte names (0 for any of BMP, JPEG and PNG) and decoded. A picture that passes the
// check without its pixels and then decodes must have the size the check gave.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "platform/Bitmap.h"
#include "platform/Image.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  CFuzzInput in(data, size);
  const int choice = in.Byte() % 4;
  const std::optional<BitmapFormat> expected =
      choice == 0 ? std::nullopt : std::optional<BitmapFormat>(BitmapFormat(choice));
  const auto bytes = in.Rest();
  int width = 0, height = 0;
  const bool checked = CheckBitmap(bytes.data(), bytes.size(), expected, nullptr, &width, &height);
  CImage image;
  if (DecodeBitmap(bytes.data(), bytes.size(), image, nullptr, expected) &&
      (!checked || image.Width() != width || image.Height() != height))
    std::abort();
  return 0;
}
