// FreeImage decoding from a memory block: the format is told by its signature (only BMP, JPEG
// and PNG are let through), the block is read through FreeImage's I/O callbacks, the picture
// converted to 32 bits and flipped so that its top row comes first. Encoding goes the other
// way, into one of FreeImage's memory streams.
#include "platform/Bitmap.h"

#include <FreeImage.h>

#include <QImage>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/Image.h"

namespace {
// A read position in a block of bytes that FreeImage reads through the callbacks below.
struct MemoryBlock {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t position = 0;
};

// Reads up to size x count bytes, never past the end; returns how many whole items were read.
unsigned DLL_CALLCONV ReadProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
  auto* block = static_cast<MemoryBlock*>(handle);
  if (size == 0 || count == 0) return 0;
  const std::size_t wanted = std::size_t(size) * std::size_t(count);
  const std::size_t available = block->size - block->position;
  const std::size_t n = std::min(wanted, available);
  if (n) std::memcpy(buffer, block->data + block->position, n);
  block->position += n;
  return unsigned(n / size);
}

// Decoding never writes.
unsigned DLL_CALLCONV WriteProc(void*, unsigned, unsigned, fi_handle) { return 0; }

// Origin 0 from the start, 1 from the current position, 2 from the end; a target outside the
// block fails and leaves the position.
int DLL_CALLCONV SeekProc(fi_handle handle, long offset, int origin) {
  auto* block = static_cast<MemoryBlock*>(handle);
  long long base = 0;
  switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<long long>(block->position); break;
    case SEEK_END: base = static_cast<long long>(block->size); break;
    default: return -1;
  }
  const long long target = base + offset;
  if (target < 0 || target > static_cast<long long>(block->size)) return -1;
  block->position = std::size_t(target);
  return 0;
}

long DLL_CALLCONV TellProc(fi_handle handle) { return long(static_cast<MemoryBlock*>(handle)->position); }

FreeImageIO MemoryIo() {
  FreeImageIO io{};
  io.read_proc = ReadProc;
  io.write_proc = WriteProc;
  io.seek_proc = SeekProc;
  io.tell_proc = TellProc;
  return io;
}

void EnsureInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { FreeImage_Initialise(FALSE); });
}

bool Fail(std::string* error, const char* reason) {
  if (error) *error = reason;
  return false;
}

// Frees a FreeImage bitmap when it goes out of scope.
struct DibHolder {
  FIBITMAP* dib = nullptr;
  explicit DibHolder(FIBITMAP* d) : dib(d) {}
  ~DibHolder() {
    if (dib) FreeImage_Unload(dib);
  }
  DibHolder(const DibHolder&) = delete;
  DibHolder& operator=(const DibHolder&) = delete;
};
}  // namespace

std::optional<BitmapFormat> DetectBitmapFormat(const std::uint8_t* data, std::size_t size) {
  static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!data) return std::nullopt;
  if (size >= sizeof kPng && std::memcmp(data, kPng, sizeof kPng) == 0) return BitmapFormat::Png;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return BitmapFormat::Jpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return BitmapFormat::Bmp;
  return std::nullopt;
}

namespace {

FREE_IMAGE_FORMAT FreeImageFormatOf(BitmapFormat format) {
  switch (format) {
    case BitmapFormat::Bmp: return FIF_BMP;
    case BitmapFormat::Jpeg: return FIF_JPEG;
    case BitmapFormat::Png: return FIF_PNG;
  }
  return FIF_UNKNOWN;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// A PNG is its signature and chunks (length, type, data, check word) up to the closing IEND: a
// file cut short or with a damaged length never gets there.
bool PngChunksComplete(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 8;
  bool first = true;
  while (size - at >= 12) {
    const std::uint32_t length = BigEndian32(data + at);
    if (length > 0x7FFFFFFFu || length > size - at - 12) return false;
    const std::uint8_t* type = data + at + 4;
    if (first && std::memcmp(type, "IHDR", 4) != 0) return false;
    if (std::memcmp(type, "IEND", 4) == 0) return true;
    first = false;
    at += 12 + std::size_t(length);
  }
  return false;
}

// The format check and the header: after it, the FreeImage format to load with.
bool CheckHeader(const std::uint8_t* data, std::size_t size, std::string* error, FREE_IMAGE_FORMAT& fif, int* width,
                 int* height) {
  if (!data || size == 0) return Fail(error, "no picture data");
  if (size > std::size_t(0x7FFFFFFF)) return Fail(error, "picture data too large");
  // The decoder is the one of the format the bytes themselves are in.
  const std::optional<BitmapFormat> format = DetectBitmapFormat(data, size);
  if (!format) return Fail(error, "not a BMP, JPEG or PNG picture");
  if (*format == BitmapFormat::Png && !PngChunksComplete(data, size)) return Fail(error, "picture data damaged");
  fif = FreeImageFormatOf(*format);
  EnsureInitialised();

  // The header alone, so that a damaged size claim takes no memory.
  FreeImageIO io = MemoryIo();
  MemoryBlock block{data, size, 0};
  DibHolder header(FreeImage_LoadFromHandle(fif, &io, &block, FIF_LOAD_NOPIXELS));
  if (!header.dib) return Fail(error, "picture data damaged");
  const std::int64_t w = FreeImage_GetWidth(header.dib);
  const std::int64_t h = FreeImage_GetHeight(header.dib);
  if (w <= 0 || h <= 0 || w > kMaxBitmapSide || h > kMaxBitmapSide || w * h > kMaxBitmapPixels)
    return Fail(error, "picture size out of range");
  // A damaged header can claim a size that its few bytes could never fill; the pixels are
  // taken (several times over, while converting) before the data runs out.
  if (w * h > std::int64_t(size) * kMaxPixelsPerDataByte) return Fail(error, "picture data too short for its size");
  if (width) *width = int(w);
  if (height) *height = int(h);
  return true;
}

}  // namespace

bool CheckBitmap(const std::uint8_t* data, std::size_t size, std::string* error, int* width, int* height) {
  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  return CheckHeader(data, size, error, fif, width, height);
}

bool DecodeBitmap(const std::uint8_t* data, std::size_t size, CImage& out, std::string* error) {
  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  if (!CheckHeader(data, size, error, fif, nullptr, nullptr)) return false;
  FreeImageIO io = MemoryIo();
  MemoryBlock block{data, size, 0};
  DibHolder loaded(FreeImage_LoadFromHandle(fif, &io, &block, 0));
  if (!loaded.dib || !FreeImage_HasPixels(loaded.dib)) return Fail(error, "picture data damaged");
  DibHolder converted(FreeImage_ConvertTo32Bits(loaded.dib));
  if (!converted.dib) return Fail(error, "picture conversion failed");
  // FreeImage keeps the bottom row first; flipped, the rows run top first.
  if (!FreeImage_FlipVertical(converted.dib)) return Fail(error, "picture flip failed");

  const int width = int(FreeImage_GetWidth(converted.dib));
  const int height = int(FreeImage_GetHeight(converted.dib));
  const int pitch = int(FreeImage_GetPitch(converted.dib));
  static_assert(FI_RGBA_BLUE == 0 && FI_RGBA_GREEN == 1 && FI_RGBA_RED == 2 && FI_RGBA_ALPHA == 3,
                "FreeImage must keep 32-bit pixels as B, G, R, A");
  CImage image = CImage::FromBgraPixels(width, height, pitch, FreeImage_GetBits(converted.dib));
  if (image.IsNull()) return Fail(error, "out of memory for picture");
  out = std::move(image);
  return true;
}

std::string GetImageLibraryVersion() { return FreeImage_GetVersion(); }

std::string GetImageLibraryCopyright() { return FreeImage_GetCopyrightMessage(); }

namespace {
// FreeImage's memory stream, freed when it goes out of scope.
struct MemoryHolder {
  FIMEMORY* memory = FreeImage_OpenMemory(nullptr, 0);
  MemoryHolder() = default;
  ~MemoryHolder() {
    if (memory) FreeImage_CloseMemory(memory);
  }
  MemoryHolder(const MemoryHolder&) = delete;
  MemoryHolder& operator=(const MemoryHolder&) = delete;
};
}  // namespace

bool EncodeBitmap(const CImage& image, BitmapFormat format, std::vector<std::uint8_t>& out, std::string* error) {
  if (image.IsNull()) return Fail(error, "no picture");
  EnsureInitialised();
  const int width = image.Width();
  const int height = image.Height();
  DibHolder dib(FreeImage_Allocate(width, height, 32, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!dib.dib) return Fail(error, "out of memory for picture");
  // Straight alpha, one native-endian ARGB word a pixel: the bytes B, G, R, A that FreeImage
  // keeps too, with its bottom row first.
  const QImage straight = image.Native().convertToFormat(QImage::Format_ARGB32);
  if (straight.isNull()) return Fail(error, "out of memory for picture");
  for (int y = 0; y < height; ++y)
    std::memcpy(FreeImage_GetScanLine(dib.dib, height - 1 - y), straight.constScanLine(y), std::size_t(width) * 4);

  const FREE_IMAGE_FORMAT fif = FreeImageFormatOf(format);
  if (fif == FIF_UNKNOWN) return Fail(error, "unknown picture format");
  DibHolder rgb(fif == FIF_JPEG ? FreeImage_ConvertTo24Bits(dib.dib) : nullptr);
  FIBITMAP* source = fif == FIF_JPEG ? rgb.dib : dib.dib;
  if (!source) return Fail(error, "picture conversion failed");

  MemoryHolder memory;
  // PNG at the fastest level: about three times faster than the default level, a little larger.
  const int flags = fif == FIF_PNG ? PNG_Z_BEST_SPEED : 0;
  if (!memory.memory || !FreeImage_SaveToMemory(fif, source, memory.memory, flags)) return Fail(error, "picture encoding failed");
  BYTE* bytes = nullptr;
  DWORD size = 0;
  if (!FreeImage_AcquireMemory(memory.memory, &bytes, &size)) return Fail(error, "picture encoding failed");
  out.assign(bytes, bytes + size);
  return true;
}
