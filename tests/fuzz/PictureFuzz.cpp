// Fuzz target of the picture decoder: the bytes of an image record behind the byte that names
// the record's format. The decoder goes by the bytes' own signature whatever the record says, so
// that byte is stepped over. A picture that passes the check without its pixels and then decodes
// must have the size the check gave.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/Bitmap.h"
#include "platform/Image.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSetUp();
  CFuzzInput in(data, size);
  in.Byte();
  const auto bytes = in.Rest();
  int width = 0, height = 0;
  const bool checked = CheckBitmap(bytes.data(), bytes.size(), nullptr, &width, &height);
  CImage image;
  if (DecodeBitmap(bytes.data(), bytes.size(), image, nullptr) &&
      (!checked || image.Width() != width || image.Height() != height))
    std::abort();
  return 0;
}
