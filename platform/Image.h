// An offscreen picture of 32-bit ARGB pixels: the target and the source of Graphics drawing,
// and what decoded bitmaps are held as.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

class QImage;

class CImage {
 public:
  // A null image (no pixels).
  CImage();
  // A fully transparent image; a null image when either size is not positive.
  CImage(int width, int height);
  CImage(const CImage& other);
  CImage(CImage&& other) noexcept;
  CImage& operator=(const CImage& other);
  CImage& operator=(CImage&& other) noexcept;
  ~CImage();

  // Copies rows of straight-alpha pixels in memory order B, G, R, A (rows top first,
  // strideBytes apart). A null image when the sizes are not positive or pixels is null.
  static CImage FromBgraPixels(int width, int height, int strideBytes, const std::uint8_t* pixels);

  bool IsNull() const;
  // True while another CImage holds the same pixels (a copy shares them until either writes).
  bool IsShared() const;
  int Width() const;
  int Height() const;

  // The pixel with straight alpha; false (and out untouched) outside the image.
  bool GetPixel(int x, int y, CColour& out) const;
  // The pixel with straight alpha; transparent black outside the image.
  CColour GetPixel(int x, int y) const;
  void SetPixel(int x, int y, CColour colour);
  void Fill(CColour colour);

  // PNG bytes of the picture (empty for a null image); for diagnostics and tests.
  std::vector<std::uint8_t> EncodePng() const;
  bool SavePng(const std::string& path) const;

  // The Qt picture behind it, for the drawing layer and windows.
  QImage& Native();
  const QImage& Native() const;

 private:
  std::unique_ptr<QImage> m_image;
};
