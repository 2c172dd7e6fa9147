// Image tree nodes and their archive records: a picture keeps the bytes it was read with and
// is stored with them again while it is unchanged; a new or changed picture is encoded in its
// format when stored. Loading checks the bytes; the pixels are decoded when first used.
#include "core/file/ImageTree.h"

#include <algorithm>
#include <optional>

#include "core/file/DataStream.h"
#include "platform/Archive.h"
#include "platform/Bitmap.h"

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

bool IsFileOfFormat(const std::vector<std::uint8_t>& bytes, std::int32_t format) {
  const std::optional<BitmapFormat> found = DetectBitmapFormat(bytes.data(), bytes.size());
  const std::optional<BitmapFormat> expected = ExpectedFormat(format);
  return found && (!expected || *found == *expected);
}

}  // namespace

void SetImageDecodeNotice(IImageDecodeNotice* notice) { g_decodeNotice = notice; }

IImageDecodeNotice* GetImageDecodeNotice() { return g_decodeNotice; }

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
  m_bitmap = CImage();
  // The bytes are checked, and later decoded, as the picture file they are, whatever format the
  // record names; they are kept as read either way.
  m_undecoded = CheckBitmap(m_stored.data(), m_stored.size());
  if (!m_undecoded && report) ++report->undecodedImages;
}

const CImage& CCCImage::GetBitmap() const {
  if (m_undecoded) {
    m_undecoded = false;
    CImage decoded;
    if (DecodeBitmap(m_stored.data(), m_stored.size(), decoded))
      m_bitmap = std::move(decoded);
    else if (g_decodeNotice)
      g_decodeNotice->OnPictureNotDecoded(*this);
  }
  return m_bitmap;
}

void CCCImage::SetBitmap(CImage bitmap) {
  m_bitmap = std::move(bitmap);
  m_stored.clear();
  m_undecoded = false;
}

const std::vector<std::uint8_t>& CCCImage::BytesToStore() {
  // Unchanged bytes go back as they are, those that are no picture and those of a picture file
  // of another format than the record's included; a picture whose format was changed since is
  // encoded in the new one when it decodes.
  if (!m_stored.empty() && (m_format == m_storedFormat || IsFileOfFormat(m_stored, m_format) || !HasBitmap()))
    return m_stored;
  if (m_stored.empty() && !HasBitmap()) return m_stored;
  const BitmapFormat format = ExpectedFormat(m_format).value_or(BitmapFormat::Png);
  std::vector<std::uint8_t> encoded;
  // An encoder failure (out of memory) stores what was there, no bytes for a new picture.
  if (EncodeBitmap(m_bitmap, format, encoded)) {
    m_stored = std::move(encoded);
    m_storedFormat = m_format;
  }
  return m_stored;
}

bool CCCImage::LoadFromFile(const std::string& path, std::int32_t format) {
  m_format = format;
  if (HasBitmap()) return false;
  std::vector<std::uint8_t> bytes;
  CImage decoded;
  if (!ReadWholeFile(path, bytes, nullptr) || !DecodeBitmap(bytes.data(), bytes.size(), decoded)) return false;
  m_bitmap = std::move(decoded);
  m_undecoded = false;
  // A file of the image's format is stored as it is, without a second encoding.
  if (IsFileOfFormat(bytes, format)) m_stored = std::move(bytes);
  else m_stored.clear();
  m_storedFormat = format;
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
