// Nodes of the image trees that the system holds: the file's own images and the image library.
// A node is an image (a picture, the bytes it is stored as and their format) or a folder that
// owns its children. Panels and widgets point at images of the file's tree and store their ids.
// UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "core/file/Uuid.h"
#include "platform/Bitmap.h"
#include "platform/Image.h"
#include "platform/ObjectHandle.h"

class CArchive;
class CDataStream;

// How many pictures a notice names; the others are counted.
inline constexpr std::size_t kNamedPictures = 5;

// What a load of image records met that the user is told about once it is over.
struct CImageLoadReport {
  int undecodedImages = 0;              // images kept without a picture
  std::vector<std::string> firstNames;  // the names of the first kNamedPictures of them
};

inline constexpr const char* kImageLoadErrorText = "Error loading image";
inline constexpr const char* kImageLibraryCaption = "Image Library";
inline constexpr const char* kChangeLibraryFailedText = "Could not change Image Library file";
inline constexpr const char* kImageLibraryFilter = "Orvak Image Library Files (*.ovl)";

// The one notice about pictures that gave no picture: kImageLoadErrorText, then how many, the
// first names (each cut short when long), and what becomes of them. inLibrary: pictures of the
// image library, else of the file; fault NoMemory: there was no memory for them, which a later
// use tries again; any other: they do not read, and are kept as they are.
std::string PicturesNotReadText(int count, const std::vector<std::string>& firstNames, bool inLibrary,
                                BitmapFault fault = BitmapFault::Damaged);
// Why a picture file was refused, in the user's words; width and height are the size its
// header gave (for TooLarge).
std::string PictureRefusalText(BitmapFault fault, int width, int height);
// A picture's name as notices and questions quote it: at most 48 characters, a longer one cut
// with "..." (UTF-8 in and out).
std::string QuotedPictureName(const std::string& name);

class CCCImage;

// Told of a picture whose bytes passed the load check but did not decode when it was used, with
// why (UI thread): once, until it decodes again. The system that shows the user its files
// installs one.
class IImageDecodeNotice {
 public:
  virtual ~IImageDecodeNotice() = default;
  virtual void OnPictureNotDecoded(const CCCImage& image, BitmapFault fault) = 0;
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

// The decoded pictures of every image share one budget of memory. A picture kept as bytes is
// decoded when it is used and stays decoded while the pictures decoded since fit the budget;
// past it, the least recently used that nobody else holds (no window draws them and no copy
// lives) are let go, to be decoded again at their next use. UI thread.
inline constexpr std::size_t kDefaultDecodedPictureLimit = std::size_t(64) << 20;
void SetDecodedPictureLimit(std::size_t bytes);
// The bytes of pixels that the images hold decoded now.
std::size_t GetDecodedPictureBytes();

// Keeps the pictures handed out while a CPictureUse of it is open, until Clear or its end: a
// window that draws them at every paint holds them, so that the budget never lets go of a
// picture it shows. UI thread.
class CPictureHold {
 public:
  void Clear() { m_pictures.clear(); }
  std::size_t Count() const { return m_pictures.size(); }

 private:
  friend class CCCImage;
  std::map<std::uint64_t, CImage> m_pictures;  // by the image's handle
};

// While it lives, every picture that CCCImage::GetBitmap hands out is kept by the hold too.
// Uses nest; the innermost keeps.
class CPictureUse {
 public:
  explicit CPictureUse(CPictureHold& hold);
  ~CPictureUse();
  CPictureUse(const CPictureUse&) = delete;
  CPictureUse& operator=(const CPictureUse&) = delete;

 private:
  CPictureHold* m_outer;
};

class CCCImage : public CCCImageBase {
 public:
  CCCImage() = default;
  // Same id, name, format and stored bytes. A picture kept as bytes is decoded anew when the
  // copy is first used; one without bytes (a changed picture not stored since) is shared.
  CCCImage(const CCCImage& source);
  CCCImage& operator=(const CCCImage&) = delete;
  ~CCCImage() override;

  // Stores the picture's bytes as they were read or made while the picture and its format are
  // unchanged (a picture whose format was changed since is encoded afresh in the new one).
  // Loading keeps the bytes and checks them without decoding the pixels, as the picture file
  // they are whatever format the record names; the pixels are decoded on use.
  void Serialize(CArchive& ar, CImageLoadReport* report = nullptr) override;
  bool IsDirectory() const override { return false; }

  // Decodes a picture file (BMP, JPEG or PNG). The format is taken first; an image that already
  // has a picture refuses (false). On success the name becomes the file's name without folder
  // and without its last four characters, and the file's bytes are kept to be stored as they
  // are when they are a file of the image's format. A refused file leaves why in refusal (when
  // given), in the user's words: its size is told from its header before any pixel is decoded.
  bool LoadFromFile(const std::string& path, std::int32_t format, std::string* refusal = nullptr);

  // The picture, decoded from the stored bytes when it is not held decoded now (the budget
  // above); the copy shares its pixels and keeps them while it lives. Null when the bytes give
  // no picture, which the image decode notice hears of once. A decode that found no memory is
  // tried again at the next use, after the budget let go of every picture it could.
  CImage GetBitmap() const;
  // True when there is a picture: held, or bytes that decoded before (decoding only bytes that
  // were never decoded, or found no memory).
  bool HasBitmap() const;
  // True while the pixels are held decoded.
  bool IsDecoded() const { return !m_bitmap.IsNull(); }
  // Why the last decode gave no picture; None when it gave one or none was tried.
  BitmapFault GetFault() const { return m_fault; }
  // True when the image was read with bytes that give no picture (decoded now when that was
  // not tried yet): a damaged picture, whose bytes are still kept and stored back. One that
  // found no memory is not damaged.
  bool IsDamaged() const { return !HasBitmap() && !m_stored.empty() && m_fault != BitmapFault::NoMemory; }
  // A changed picture: it is encoded afresh when next stored.
  void SetBitmap(CImage bitmap);
  // The picture's size in pixels, 0 without a picture.
  int GetPixelWidth() const { return HasBitmap() ? m_width : 0; }
  int GetPixelHeight() const { return HasBitmap() ? m_height : 0; }
  // The bytes the next store writes while the picture is unchanged: those it was read with
  // (also when they did not decode), the file it was added from, or its last encoding. Empty
  // for a new or changed picture that was not stored since.
  const std::vector<std::uint8_t>& GetStoredBytes() const { return m_stored; }

  std::int32_t m_format = kImageFormatNone;

 private:
  friend class CDecodedPictures;

  // The bytes to store in the image's format: the kept ones, or the picture encoded afresh.
  const std::vector<std::uint8_t>& BytesToStore();
  // Decodes the stored bytes into m_bitmap, or notes why they gave none.
  void Decode() const;
  // Takes the decoded picture into the budget (UI thread).
  void Keep(CImage picture) const;
  // Gives the decoded pixels up; the bytes stay, to be decoded again.
  void LetPixelsGo() const;
  // Drops the decoded picture without a decode to come (a new picture or new bytes follow).
  void Forget() const;

  mutable CImage m_bitmap;  // null while not decoded, and when the picture did not decode
  std::vector<std::uint8_t> m_stored;
  std::int32_t m_storedFormat = kImageFormatNone;  // the format m_stored was read or made under
  mutable int m_width = 0;                         // from the bytes' header, or the picture's
  mutable int m_height = 0;
  mutable bool m_undecoded = false;  // m_stored holds a picture not decoded now
  mutable bool m_decodes = false;    // m_stored gave a picture before (or the picture is held)
  mutable BitmapFault m_fault = BitmapFault::None;
  mutable bool m_faultTold = false;  // the notice heard of m_fault
  // The image's place in the budget's order of use while it holds pixels.
  mutable std::list<const CCCImage*>::iterator m_use;
  mutable std::size_t m_keptBytes = 0;  // 0: not in the budget
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
