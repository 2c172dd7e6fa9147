// Image tree nodes and their archive records: a picture keeps the bytes it was read with and
// is stored with them again while it is unchanged; a new or changed picture is encoded in its
// format when stored. Loading checks the bytes; the pixels are decoded when used, and held
// decoded within one budget of memory shared by every image.
#include "core/file/ImageTree.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/file/DataStream.h"
#include "platform/Archive.h"
#include "platform/Bitmap.h"
#include "platform/TextFormat.h"

namespace {

constexpr std::uint32_t kImageRecordVersion = 1;
constexpr std::uint32_t kFolderRecordVersion = 1;
constexpr std::uint32_t kImageStreamVersion = 1;
constexpr std::uint32_t kFolderTag = 1;
constexpr std::uint32_t kImageTag = 0;
// A child is at least its tag and its record's version word.
constexpr std::size_t kChildMinSize = 8;
// Folders nest no deeper than this in any file that was written by a person.
constexpr int kMaxFolderDepth = 256;

void LoadHeader(CArchive& ar, std::uint32_t expectedVersion, CCCImageBase& node) {
  ReadRecordVersion(ar, expectedVersion, expectedVersion, "image");
  ArchiveUuid(ar, node.m_id);
  node.m_name = ar.ReadString();
}

void StoreHeader(CArchive& ar, std::uint32_t version, CCCImageBase& node) {
  ar.WriteU32(version);
  ArchiveUuid(ar, node.m_id);
  ar.WriteString(node.m_name);
}

}  // namespace

void CCCImageBase::SerializeStream(CDataStream& ds) {
  try {
    std::uint32_t version = kImageStreamVersion;
    ds.U32(version);
  } catch (const CStreamError&) {
  }
}

// --- Images ---

namespace {

// The format a record names for its bytes, which a new encoding is made in: none for a record
// of no known format (any of the three is its format; this program stores it as PNG).
std::optional<BitmapFormat> ExpectedFormat(std::int32_t format) {
  if (format == kImageFormatBmp || format == kImageFormatJpeg || format == kImageFormatPng)
    return BitmapFormat(format);
  return std::nullopt;
}

IImageDecodeNotice* g_decodeNotice = nullptr;
CPictureHold* g_hold = nullptr;

bool IsFileOfFormat(const std::vector<std::uint8_t>& bytes, std::int32_t format) {
  const std::optional<BitmapFormat> found = DetectBitmapFormat(bytes.data(), bytes.size());
  const std::optional<BitmapFormat> expected = ExpectedFormat(format);
  return found && (!expected || *found == *expected);
}

std::size_t PixelBytes(int width, int height) {
  return std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0)) * 4;
}

}  // namespace

// The images that hold decoded pixels, least recently used first, and the bytes they hold.
class CDecodedPictures {
 public:
  // Never destroyed: images may outlive any static.
  static CDecodedPictures& Get() {
    static CDecodedPictures* const pictures = new CDecodedPictures;
    return *pictures;
  }

  void Add(const CCCImage& image) {
    image.m_keptBytes = std::max<std::size_t>(PixelBytes(image.m_bitmap.Width(), image.m_bitmap.Height()), 1);
    image.m_use = m_order.insert(m_order.end(), &image);
    m_bytes += image.m_keptBytes;
  }
  void Remove(const CCCImage& image) {
    if (!image.m_keptBytes) return;
    m_order.erase(image.m_use);
    m_bytes -= image.m_keptBytes;
    image.m_keptBytes = 0;
  }
  void Touch(const CCCImage& image) {
    if (image.m_keptBytes) m_order.splice(m_order.end(), m_order, image.m_use);
  }
  // Lets go of the least recently used pictures that can be decoded again and that nobody else
  // holds, but never of except, until need more bytes fit the limit (all: of every one of them).
  void MakeRoom(std::size_t need, const CCCImage* except, bool all = false) {
    for (auto it = m_order.begin(); it != m_order.end() && (all || m_bytes + need > m_limit);) {
      const CCCImage* image = *it++;
      if (image == except || image->m_stored.empty() || image->m_bitmap.IsShared()) continue;
      image->LetPixelsGo();
    }
  }

  // Decodes bytes for image once the pictures it needs room from have let go; a decode that
  // finds no memory is tried once more after every picture that can has let go.
  bool Decode(const std::vector<std::uint8_t>& bytes, int width, int height, const CCCImage& image, CImage& out,
              BitmapFault& fault) {
    MakeRoom(PixelBytes(width, height), &image);
    if (DecodeBitmap(bytes.data(), bytes.size(), out, nullptr, &fault)) return true;
    if (fault != BitmapFault::NoMemory) return false;
    MakeRoom(0, &image, true);
    return DecodeBitmap(bytes.data(), bytes.size(), out, nullptr, &fault);
  }

  std::size_t m_bytes = 0;
  std::size_t m_limit = kDefaultDecodedPictureLimit;

 private:
  std::list<const CCCImage*> m_order;
};

void SetDecodedPictureLimit(std::size_t bytes) {
  CDecodedPictures::Get().m_limit = bytes;
  CDecodedPictures::Get().MakeRoom(0, nullptr);
}

std::size_t GetDecodedPictureBytes() { return CDecodedPictures::Get().m_bytes; }

CPictureUse::CPictureUse(CPictureHold& hold) : m_outer(g_hold) { g_hold = &hold; }

CPictureUse::~CPictureUse() { g_hold = m_outer; }

void SetImageDecodeNotice(IImageDecodeNotice* notice) { g_decodeNotice = notice; }

IImageDecodeNotice* GetImageDecodeNotice() { return g_decodeNotice; }

std::string QuotedPictureName(const std::string& name) {
  constexpr std::size_t kLongest = 48;
  std::size_t at = 0;
  std::size_t characters = 0;
  while (at < name.size() && characters < kLongest) {
    ++at;
    while (at < name.size() && (std::uint8_t(name[at]) & 0xC0) == 0x80) ++at;  // the rest of a character
    ++characters;
  }
  return "\"" + name.substr(0, at) + (at < name.size() ? "...\"" : "\"");
}

std::string PicturesNotReadText(int count, const std::vector<std::string>& firstNames, bool inLibrary,
                                BitmapFault fault) {
  const char* where = inLibrary ? " of the image library" : " of this file";
  std::string names;
  for (std::size_t i = 0; i < firstNames.size(); ++i) {
    if (i) names += i + 1 == firstNames.size() && int(firstNames.size()) == count ? " and " : ", ";
    names += QuotedPictureName(firstNames[i]);
  }
  if (count > int(firstNames.size()))
    names += " and " + WithThousands(std::uint64_t(count) - firstNames.size()) + " more";
  std::string text = std::string(kImageLoadErrorText) + "\n\n";
  const bool one = count == 1;
  if (fault == BitmapFault::NoMemory) {
    text += one ? "There was not enough memory to show the picture " + names + where + "."
                : "There was not enough memory to show " + WithThousands(std::uint64_t(count)) + " pictures" + where +
                      ": " + names + ".";
    text += one ? "\nIt is tried again when it is next shown." : "\nThey are tried again when they are next shown.";
  } else {
    text += one ? "The picture " + names + where + " could not be read."
                : WithThousands(std::uint64_t(count)) + " pictures" + where + " could not be read: " + names + ".";
    text += one ? "\nIt is kept as it is and shown without a picture."
                : "\nThey are kept as they are and shown without a picture.";
  }
  return text;
}

std::string PictureRefusalText(BitmapFault fault, int width, int height) {
  switch (fault) {
    case BitmapFault::None: return {};
    case BitmapFault::NoData: return "The file is empty.";
    case BitmapFault::NotAPicture: return "The file is not a BMP, JPEG or PNG picture.";
    case BitmapFault::Damaged: return "The picture's data is damaged.";
    case BitmapFault::TooLarge:
      return "The picture is " + WithThousands(std::uint64_t(std::max(width, 0))) + " x " +
             WithThousands(std::uint64_t(std::max(height, 0))) + " pixels; a picture may have up to " +
             WithThousands(kMaxBitmapSide) + " pixels a side and " + WithThousands(std::uint64_t(kMaxBitmapPixels)) +
             " pixels in all.";
    case BitmapFault::NoMemory: return "There is not enough memory to open the picture.";
  }
  return {};
}

CCCImage::CCCImage(const CCCImage& source)
    : CCCImageBase(source),
      m_format(source.m_format),
      m_stored(source.m_stored),
      m_storedFormat(source.m_storedFormat),
      m_width(source.m_width),
      m_height(source.m_height),
      m_decodes(source.m_decodes),
      m_fault(source.m_fault),
      m_faultTold(source.m_faultTold) {
  if (!source.m_stored.empty()) {
    // The bytes are the picture: the copy decodes them when it is used.
    m_undecoded = source.m_undecoded || source.IsDecoded();
  } else if (source.IsDecoded()) {
    Keep(source.m_bitmap);
  }
}

CCCImage::~CCCImage() { CDecodedPictures::Get().Remove(*this); }

void CCCImage::Keep(CImage picture) const {
  CDecodedPictures& pictures = CDecodedPictures::Get();
  pictures.Remove(*this);
  m_bitmap = std::move(picture);
  m_width = m_bitmap.Width();
  m_height = m_bitmap.Height();
  pictures.Add(*this);
  pictures.MakeRoom(0, this);
}

void CCCImage::LetPixelsGo() const {
  CDecodedPictures::Get().Remove(*this);
  m_bitmap = CImage();
  m_undecoded = true;
}

void CCCImage::Forget() const {
  CDecodedPictures::Get().Remove(*this);
  m_bitmap = CImage();
}

void CCCImage::Serialize(CArchive& ar, CImageLoadReport* report) {
  if (ar.IsStoring()) {
    StoreHeader(ar, kImageRecordVersion, *this);
    ar.WriteU32(std::uint32_t(m_format));
    const std::vector<std::uint8_t>& bytes = BytesToStore();
    ar.WriteU32(std::uint32_t(bytes.size()));
    if (!bytes.empty()) ar.WriteBytes(bytes.data(), bytes.size());
    return;
  }

  LoadHeader(ar, kImageRecordVersion, *this);
  m_format = ar.ReadI32();
  const std::uint32_t length = ar.ReadU32();
  ar.CheckCount(length, 1);
  ar.ReadBytes(m_stored, length);
  m_storedFormat = m_format;
  Forget();
  // The bytes are checked, and later decoded, as the picture file they are, whatever format the
  // record names; they are kept as read either way.
  int width = 0;
  int height = 0;
  BitmapFault fault = BitmapFault::None;
  m_undecoded = CheckBitmap(m_stored.data(), m_stored.size(), nullptr, &width, &height, &fault);
  m_width = m_undecoded ? width : 0;
  m_height = m_undecoded ? height : 0;
  m_decodes = false;
  m_fault = fault;
  // The load's report tells of bytes that fail the check.
  m_faultTold = !m_undecoded;
  if (!m_undecoded && report) {
    ++report->undecodedImages;
    if (report->firstNames.size() < kNamedPictures) report->firstNames.push_back(m_name);
  }
}

bool CCCImage::HasBitmap() const {
  if (IsDecoded()) return true;
  if (m_undecoded && m_decodes) return true;
  return m_undecoded && !GetBitmap().IsNull();
}

CImage CCCImage::GetBitmap() const {
  if (!IsDecoded() && m_undecoded) Decode();
  if (!IsDecoded()) return CImage();
  CDecodedPictures::Get().Touch(*this);
  if (g_hold) g_hold->m_pictures[GetHandle()] = m_bitmap;
  return m_bitmap;
}

void CCCImage::Decode() const {
  CImage decoded;
  BitmapFault fault = BitmapFault::None;
  if (CDecodedPictures::Get().Decode(m_stored, m_width, m_height, *this, decoded, fault)) {
    m_undecoded = false;
    m_decodes = true;
    m_fault = BitmapFault::None;
    m_faultTold = false;
    Keep(std::move(decoded));
    return;
  }
  // Bytes that do not read stay so; a want of memory may pass.
  m_undecoded = fault == BitmapFault::NoMemory;
  m_fault = fault;
  if (m_faultTold) return;
  m_faultTold = true;
  if (g_decodeNotice) g_decodeNotice->OnPictureNotDecoded(*this, fault);
}

void CCCImage::SetBitmap(CImage bitmap) {
  m_stored.clear();
  m_undecoded = false;
  m_fault = BitmapFault::None;
  m_faultTold = false;
  m_decodes = !bitmap.IsNull();
  if (bitmap.IsNull()) {
    Forget();
    m_width = m_height = 0;
  } else {
    Keep(std::move(bitmap));
  }
}

const std::vector<std::uint8_t>& CCCImage::BytesToStore() {
  // Unchanged bytes go back as they are, those that are no picture and those of a picture file
  // of another format than the record's included; a picture whose format was changed since is
  // encoded in the new one when it decodes.
  if (!m_stored.empty() && (m_format == m_storedFormat || IsFileOfFormat(m_stored, m_format) || !HasBitmap()))
    return m_stored;
  const CImage picture = GetBitmap();
  if (picture.IsNull()) return m_stored;
  const BitmapFormat format = ExpectedFormat(m_format).value_or(BitmapFormat::Png);
  std::vector<std::uint8_t> encoded;
  // An encoder failure (out of memory) stores what was there, no bytes for a new picture.
  if (EncodeBitmap(picture, format, encoded)) {
    m_stored = std::move(encoded);
    m_storedFormat = m_format;
  }
  return m_stored;
}

bool CCCImage::LoadFromFile(const std::string& path, std::int32_t format, std::string* refusal) {
  m_format = format;
  if (HasBitmap()) return false;
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, &error)) {
    if (refusal) *refusal = "The file could not be read" + (error.empty() ? std::string(".") : ": " + error);
    return false;
  }
  int width = 0;
  int height = 0;
  BitmapFault fault = BitmapFault::None;
  // The header first: a picture too large to take is refused before any pixel is decoded.
  CImage decoded;
  if (!CheckBitmap(bytes.data(), bytes.size(), nullptr, &width, &height, &fault) ||
      !CDecodedPictures::Get().Decode(bytes, width, height, *this, decoded, fault)) {
    if (refusal) *refusal = PictureRefusalText(fault, width, height);
    return false;
  }
  m_undecoded = false;
  m_decodes = true;
  m_fault = BitmapFault::None;
  m_faultTold = false;
  // A file of the image's format is stored as it is, without a second encoding.
  if (IsFileOfFormat(bytes, format)) m_stored = std::move(bytes);
  else m_stored.clear();
  m_storedFormat = format;
  Keep(std::move(decoded));
  std::string name = path.substr(path.find_last_of('/') + 1);
  name.resize(name.size() > 4 ? name.size() - 4 : 0);
  m_name = name;
  return true;
}

// --- Folders ---

void CCCImageDirectory::Serialize(CArchive& ar, CImageLoadReport* report) {
  if (ar.IsLoading()) {
    Load(ar, report, 0);
    return;
  }
  StoreHeader(ar, kFolderRecordVersion, *this);
  ar.WriteU32(std::uint32_t(m_children.size()));
  for (CCCImageBase* child : m_children) {
    ar.WriteU32(child->IsDirectory() ? kFolderTag : kImageTag);
    child->Serialize(ar, report);
  }
}

void CCCImageDirectory::Load(CArchive& ar, CImageLoadReport* report, int depth) {
  if (depth > kMaxFolderDepth) throw CArchiveException(CArchiveException::BadFormat, "image folders nested too deep");
  LoadHeader(ar, kFolderRecordVersion, *this);
  const std::uint32_t count = ar.ReadU32();
  ar.CheckCount(count, kChildMinSize);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t tag = ar.ReadU32();
    if (tag == kImageTag) {
      auto* image = new CCCImage;
      m_children.push_back(image);
      image->Serialize(ar, report);
    } else {
      auto* folder = new CCCImageDirectory;
      m_children.push_back(folder);
      folder->Load(ar, report, depth + 1);
    }
  }
}

void CCCImageDirectory::InsertChild(std::size_t index, CCCImageBase* node) {
  m_children.insert(m_children.begin() + std::ptrdiff_t(std::min(index, m_children.size())), node);
}

void CCCImageDirectory::RemoveAll() {
  while (!m_children.empty()) {
    CCCImageBase* first = m_children.front();
    m_children.erase(m_children.begin());
    delete first;
  }
}

bool CCCImageDirectory::DetachChild(CCCImageBase* child) {
  auto it = std::find(m_children.begin(), m_children.end(), child);
  if (it == m_children.end()) return false;
  m_children.erase(it);
  return true;
}

bool CCCImageDirectory::RemoveChild(CCCImageBase* child, bool deleteContents) {
  if (!DetachChild(child)) return false;
  if (!deleteContents && child->IsDirectory()) {
    auto* folder = static_cast<CCCImageDirectory*>(child);
    while (!folder->m_children.empty()) folder->m_children.pop_back();
  }
  delete child;
  return true;
}

void CCCImageDirectory::TakeFrom(CCCImageDirectory& other) {
  RemoveAll();
  m_id = other.m_id;
  m_name = other.m_name;
  m_children.swap(other.m_children);
}

CCCImage* CCCImageDirectory::FindImage(const CUuid& id) const {
  for (CCCImageBase* child : m_children) {
    if (child->IsDirectory()) {
      if (CCCImage* found = static_cast<CCCImageDirectory*>(child)->FindImage(id)) return found;
    } else if (child->m_id == id) {
      return static_cast<CCCImage*>(child);
    }
  }
  return nullptr;
}
