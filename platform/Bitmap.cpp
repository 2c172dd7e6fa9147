// FreeImage decoding from a memory block: the format is told by its signature (only BMP, JPEG
// and PNG are let through), the block is read through FreeImage's I/O callbacks, and the rows
// are copied into the picture's own memory, taken first, top row first and premultiplied.
// Encoding goes the other way, into one of FreeImage's memory streams.
#include "platform/Bitmap.h"

#include <FreeImage.h>

#include <QImage>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
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

void DLL_CALLCONV KeepMessage(FREE_IMAGE_FORMAT, const char* message);

void EnsureInitialised() {
  static std::once_flag once;
  std::call_once(once, [] {
    FreeImage_Initialise(FALSE);
    FreeImage_SetOutputMessage(KeepMessage);
  });
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
bool CheckHeader(const std::uint8_t* data, std::size_t size, std::string* error, BitmapFault* fault,
                 FREE_IMAGE_FORMAT& fif, int* width, int* height) {
  auto fail = [&](BitmapFault why, const char* reason) {
    if (fault) *fault = why;
    return Fail(error, reason);
  };
  if (!data || size == 0) return fail(BitmapFault::NoData, "no picture data");
  if (size > std::size_t(0x7FFFFFFF)) return fail(BitmapFault::Damaged, "picture data too large");
  // The decoder is the one of the format the bytes themselves are in.
  const std::optional<BitmapFormat> format = DetectBitmapFormat(data, size);
  if (!format) return fail(BitmapFault::NotAPicture, "not a BMP, JPEG or PNG picture");
  if (*format == BitmapFormat::Png && !PngChunksComplete(data, size))
    return fail(BitmapFault::Damaged, "picture data damaged");
  fif = FreeImageFormatOf(*format);
  EnsureInitialised();

  // The header alone, so that a damaged size claim takes no memory.
  FreeImageIO io = MemoryIo();
  MemoryBlock block{data, size, 0};
  DibHolder header(FreeImage_LoadFromHandle(fif, &io, &block, FIF_LOAD_NOPIXELS));
  if (!header.dib) return fail(BitmapFault::Damaged, "picture data damaged");
  const std::int64_t w = FreeImage_GetWidth(header.dib);
  const std::int64_t h = FreeImage_GetHeight(header.dib);
  if (w > 0 && h > 0) {
    if (width) *width = int(std::min<std::int64_t>(w, INT32_MAX));
    if (height) *height = int(std::min<std::int64_t>(h, INT32_MAX));
  }
  if (w <= 0 || h <= 0) return fail(BitmapFault::Damaged, "picture size out of range");
  if (w > kMaxBitmapSide || h > kMaxBitmapSide || w * h > kMaxBitmapPixels)
    return fail(BitmapFault::TooLarge, "picture size out of range");
  // A damaged header can claim a size that its few bytes could never fill; the pixels are
  // taken (several times over, while converting) before the data runs out.
  if (w * h > std::int64_t(size) * kMaxPixelsPerDataByte)
    return fail(BitmapFault::Damaged, "picture data too short for its size");
  return true;
}

std::atomic<std::int64_t> g_pictureMemoryLimit{0};

// What FreeImage last said on this thread: its loaders say why they gave up only this way.
thread_local std::string t_lastMessage;

void DLL_CALLCONV KeepMessage(FREE_IMAGE_FORMAT, const char* message) { t_lastMessage = message ? message : ""; }

// Pictures are 96 dots per inch, as every picture of ours (platform/Image).
constexpr int kDotsPerMeter96 = 3780;

bool SaysNoMemory(const std::string& message) {
  const QByteArray lower = QByteArray::fromStdString(message).toLower();
  return lower.contains("allocation failed") || lower.contains("insufficient memory") ||
         lower.contains("out of memory");
}

// The picture's own memory, opaque black until the rows are copied in; null when there is none.
QImage AllocatePicture(int width, int height) {
  const std::int64_t bytes = std::int64_t(width) * height * 4;
  const std::int64_t limit = g_pictureMemoryLimit.load();
  if (limit > 0 && bytes > limit) return QImage();
  return QImage(width, height, QImage::Format_ARGB32_Premultiplied);
}

// Rows of a FreeImage bitmap of 24 or 32 bits (B, G, R and, at 32, straight A), bottom row
// first, into the picture's premultiplied rows, top row first.
void CopyRows(FIBITMAP* dib, QImage& picture) {
  const int width = picture.width();
  const int height = picture.height();
  const unsigned step = FreeImage_GetBPP(dib) / 8;
  for (int y = 0; y < height; ++y) {
    const BYTE* src = FreeImage_GetScanLine(dib, height - 1 - y);
    auto* dst = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < width; ++x, src += step) {
      const int alpha = step == 4 ? src[FI_RGBA_ALPHA] : 255;
      dst[x] = qPremultiply(qRgba(src[FI_RGBA_RED], src[FI_RGBA_GREEN], src[FI_RGBA_BLUE], alpha));
    }
  }
}

}  // namespace

void SetPictureMemoryLimitForTests(std::int64_t bytes) { g_pictureMemoryLimit = bytes; }

bool CheckBitmap(const std::uint8_t* data, std::size_t size, std::string* error, int* width, int* height,
                 BitmapFault* fault) {
  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  if (fault) *fault = BitmapFault::None;
  return CheckHeader(data, size, error, fault, fif, width, height);
}

bool DecodeBitmap(const std::uint8_t* data, std::size_t size, CImage& out, std::string* error, BitmapFault* fault) {
  FREE_IMAGE_FORMAT fif = FIF_UNKNOWN;
  int width = 0;
  int height = 0;
  if (fault) *fault = BitmapFault::None;
  if (!CheckHeader(data, size, error, fault, fif, &width, &height)) return false;
  auto noMemory = [&](const char* reason) {
    if (fault) *fault = BitmapFault::NoMemory;
    return Fail(error, reason);
  };
  QImage picture = AllocatePicture(width, height);
  if (picture.isNull()) return noMemory("out of memory for picture");

  FreeImageIO io = MemoryIo();
  MemoryBlock block{data, size, 0};
  t_lastMessage.clear();
  DibHolder loaded(FreeImage_LoadFromHandle(fif, &io, &block, 0));
  if (!loaded.dib || !FreeImage_HasPixels(loaded.dib)) {
    if (SaysNoMemory(t_lastMessage)) return noMemory("out of memory while decoding picture");
    if (fault) *fault = BitmapFault::Damaged;
    return Fail(error, "picture data damaged");
  }
  if (int(FreeImage_GetWidth(loaded.dib)) != width || int(FreeImage_GetHeight(loaded.dib)) != height) {
    if (fault) *fault = BitmapFault::Damaged;
    return Fail(error, "picture data damaged");
  }
  const unsigned bpp = FreeImage_GetBPP(loaded.dib);
  if (FreeImage_GetImageType(loaded.dib) == FIT_BITMAP && (bpp == 24 || bpp == 32)) {
    CopyRows(loaded.dib, picture);
  } else {
    // Palettes, grey levels and 16-bit samples go through FreeImage's own conversion.
    DibHolder converted(FreeImage_ConvertTo32Bits(loaded.dib));
    if (!converted.dib) {
      const bool convertible = FreeImage_GetImageType(loaded.dib) == FIT_BITMAP ||
                               FreeImage_GetImageType(loaded.dib) == FIT_RGB16 ||
                               FreeImage_GetImageType(loaded.dib) == FIT_RGBA16;
      if (convertible) return noMemory("out of memory while converting picture");
      if (fault) *fault = BitmapFault::Damaged;
      return Fail(error, "picture conversion failed");
    }
    FreeImage_Unload(loaded.dib);
    loaded.dib = nullptr;
    CopyRows(converted.dib, picture);
  }
  static_assert(FI_RGBA_BLUE == 0 && FI_RGBA_GREEN == 1 && FI_RGBA_RED == 2 && FI_RGBA_ALPHA == 3,
                "FreeImage must keep 32-bit pixels as B, G, R, A");
  picture.setDotsPerMeterX(kDotsPerMeter96);
  picture.setDotsPerMeterY(kDotsPerMeter96);
  out.Native() = std::move(picture);
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
