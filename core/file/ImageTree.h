// Nodes of the image trees that the system holds: the file's own images and the image library.
// A node is an image (a picture, the bytes it is stored as and their format) or a folder that
// owns its children. Panels and widgets point at images of the file's tree and store their ids.
// UI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/file/Uuid.h"
#include "platform/Image.h"
#include "platform/ObjectHandle.h"

class CArchive;
class CDataStream;

// What a load of image records met that the user is told about once it is over.
struct CImageLoadReport {
  int undecodedImages = 0;  // images kept without a picture
};

inline constexpr const char* kImageLoadErrorText = "Error loading image";
inline constexpr const char* kImageLibraryCaption = "Image Library";
inline constexpr const char* kChangeLibraryFailedText = "Could not change Image Library file";
inline constexpr const char* kImageLibraryFilter = "Orvak Image Library Files (*.ovl)";

class CCCImage;

// Told of a picture whose bytes passed the load check but did not decode when it was first used
// (UI thread). The system that shows the user its files installs one.
class IImageDecodeNotice {
 public:
  virtual ~IImageDecodeNotice() = default;
  virtual void OnPictureNotDecoded(const CCCImage& image) = 0;
};
// The one notice of the process (null: nobody is told). Not owned.
void SetImageDecodeNotice(IImageDecodeNotice* notice);
IImageDecodeNotice* GetImageDecodeNotice();

class CCCImageBase {
 public:
  CCCImageBase() : m_id(MakeUuid()) {}
  virtual ~CCCImageBase() = default;
  // Stores or loads the node's record. A damaged record throws CArchiveException; a picture
  // that does not decode is counted in report (when given) and leaves the image without one.
  virtual void Serialize(CArchive& ar, CImageLoadReport* report = nullptr) = 0;
  // The stream form: a u32 version 1 and nothing else.
  virtual void SerializeStream(CDataStream& ds);
  virtual bool IsDirectory() const = 0;

  CUuid GetId() const { return m_id; }
  std::string GetImageName() const { return m_name; }
  // Names the node while it exists; a copy has its own.
  std::uint64_t GetHandle() const { return m_handle.Value(); }

  std::string m_name;  // UTF-8; empty for a root
  CUuid m_id;

 protected:
  CCCImageBase(const CCCImageBase&) = default;
  CCCImageBase& operator=(const CCCImageBase&) = default;

 private:
  CObjectHandle m_handle;
};

// The formats an image is stored in (0: none of them; stored as PNG).
enum : std::int32_t { kImageFormatNone = 0, kImageFormatBmp = 1, kImageFormatJpeg = 2, kImageFormatPng = 3 };

class CCCImage : public CCCImageBase {
 public:
  CCCImage() = default;
  // Same id, name and format, and a copy of the picture and of its stored bytes.
  CCCImage(const CCCImage& source) = default;
  CCCImage& operator=(const CCCImage&) = delete;

  // Stores the picture's bytes as they were read or made while the picture and its format are
  // unchanged (a picture whose format was changed since is encoded afresh in the new one).
  // Loading keeps the bytes and checks them without decoding the pixels, as the picture file
  // they are whatever format the record names; the pixels are decoded on first use.
  void Serialize(CArchive& ar, CImageLoadReport* report = nullptr) override;
  bool IsDirectory() const override { return false; }

  // Decodes a picture file (BMP, JPEG or PNG). The format is taken first; an image that already
  // has a picture refuses (false). On success the name becomes the file's name without folder
  // and without its last four characters, and the file's bytes are kept to be stored as they
  // are when they are a file of the image's format.
  bool LoadFromFile(const std::string& path, std::int32_t format);

  // The picture, decoded from the stored bytes when first asked for; null (and no size) when
  // they did not decode, which the image decode notice hears of once.
  bool HasBitmap() const { return !GetBitmap().IsNull(); }
  const CImage& GetBitmap() const;
  // True when the image was read with bytes that give no picture (decoded now when that was
  // not tried yet): a damaged picture, whose bytes are still kept and stored back.
  bool IsDamaged() const { return !HasBitmap() && !m_stored.empty(); }
  // A changed picture: it is encoded afresh when next stored.
  void SetBitmap(CImage bitmap);
  // The picture's size in pixels, 0 without a picture.
  int GetPixelWidth() const { return HasBitmap() ? m_bitmap.Width() : 0; }
  int GetPixelHeight() const { return HasBitmap() ? m_bitmap.Height() : 0; }
  // The bytes the next store writes while the picture is unchanged: those it was read with
  // (also when they did not decode), the file it was added from, or its last encoding. Empty
  // for a new or changed picture that was not stored since.
  const std::vector<std::uint8_t>& GetStoredBytes() const { return m_stored; }

  std::int32_t m_format = kImageFormatNone;

 private:
  // The bytes to store in the image's format: the kept ones, or the picture encoded afresh.
  const std::vector<std::uint8_t>& BytesToStore();

  mutable CImage m_bitmap;  // null until decoded, and when the picture did not decode
  std::vector<std::uint8_t> m_stored;
  std::int32_t m_storedFormat = kImageFormatNone;  // the format m_stored was read or made under
  mutable bool m_undecoded = false;  // m_stored holds a picture not decoded yet
};

// The image when it has a picture to draw, else null: widgets lay out and draw a picture that
// did not decode as they do no picture, so that it can be seen and replaced.
inline const CCCImage* DrawablePicture(const CCCImage* image) { return image && image->HasBitmap() ? image : nullptr; }

// A folder of an image tree; it owns its children.
class CCCImageDirectory : public CCCImageBase {
 public:
  CCCImageDirectory() = default;
  explicit CCCImageDirectory(const std::string& name) { m_name = name; }
  ~CCCImageDirectory() override { RemoveAll(); }
  CCCImageDirectory(const CCCImageDirectory&) = delete;
  CCCImageDirectory& operator=(const CCCImageDirectory&) = delete;

  // Loading appends the stored children to those the folder has; callers empty it first.
  void Serialize(CArchive& ar, CImageLoadReport* report = nullptr) override;
  bool IsDirectory() const override { return true; }

  const std::vector<CCCImageBase*>& GetChildren() const { return m_children; }
  // Takes ownership of the node.
  void AddChild(CCCImageBase* node) { m_children.push_back(node); }
  // Takes ownership of the node and puts it at index (at the end when index is past it).
  void InsertChild(std::size_t index, CCCImageBase* node);
  // Deletes every child.
  void RemoveAll();
  // Removes a direct child and destroys it; false when it is not a direct child. With
  // deleteContents false a folder's own children are first taken out (not destroyed) and are
  // the caller's from then on.
  bool RemoveChild(CCCImageBase* child, bool deleteContents);
  // Takes a direct child out without destroying it.
  bool DetachChild(CCCImageBase* child);
  // Takes over the other folder's id, name and children; the other folder is left empty.
  void TakeFrom(CCCImageDirectory& other);

  // Depth first in child order; folders' own ids never match. Null when no image has the id.
  CCCImage* FindImage(const CUuid& id) const;
  bool ContainsImage(const CUuid& id) const { return FindImage(id) != nullptr; }

 private:
  void Load(CArchive& ar, CImageLoadReport* report, int depth);

  std::vector<CCCImageBase*> m_children;
};
