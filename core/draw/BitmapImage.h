// A skin or widget picture loaded from the program's "BMP" and "PNG" resources, or a blank
// picture to draw into. UI thread only.
#pragma once

#include <cstdint>
#include <memory>

class CImage;

class CBitmapImage {
 public:
  enum : int {
    kResourceBmp = 0,
    kResourcePng = 1,
  };

  CBitmapImage();
  ~CBitmapImage();
  CBitmapImage(const CBitmapImage&) = delete;
  CBitmapImage& operator=(const CBitmapImage&) = delete;

  // Loads the "BMP" (selector 0) or "PNG" (selector 1) resource of that number as 32 bits per
  // pixel. Any other selector, a missing resource or undecodable bytes load nothing and leave
  // the image as it was; returns whether a picture was loaded.
  bool LoadFromResource(int selector, std::uint32_t id);
  // A new fully transparent picture of that size (nothing when a size is not positive).
  void CreateBlank(int width, int height);

  bool IsEmpty() const { return !m_bitmap; }
  // Pixel size; 0 while empty.
  int GetWidth() const;
  int GetHeight() const;
  // The picture, for drawing it or drawing into it; null while empty.
  CImage* GetImage() { return m_bitmap.get(); }
  const CImage* GetImage() const { return m_bitmap.get(); }

 private:
  std::unique_ptr<CImage> m_bitmap;
};

// Deletes an image made with new, with its picture; a null image is ignored.
void DeleteImage(CBitmapImage* image);
