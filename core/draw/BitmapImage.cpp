// Skin pictures from the resources, decoded through FreeImage.
#include "core/draw/BitmapImage.h"

#include "platform/Bitmap.h"
#include "platform/Image.h"
#include "resources/Resources.h"

CBitmapImage::CBitmapImage() = default;
CBitmapImage::~CBitmapImage() = default;

bool CBitmapImage::LoadFromResource(int selector, std::uint32_t id) {
  const char* kind = selector == kResourceBmp ? "BMP" : selector == kResourcePng ? "PNG" : nullptr;
  if (!kind) return false;
  const auto bytes = FindResourceBytes(kind, id);
  if (bytes.empty()) return false;
  auto picture = std::make_unique<CImage>();
  if (!DecodeBitmap(bytes.data(), bytes.size(), *picture)) return false;
  m_bitmap = std::move(picture);
  return true;
}

void CBitmapImage::CreateBlank(int width, int height) {
  auto picture = std::make_unique<CImage>(width, height);
  m_bitmap = picture->IsNull() ? nullptr : std::move(picture);
}

int CBitmapImage::GetWidth() const { return m_bitmap ? m_bitmap->Width() : 0; }
int CBitmapImage::GetHeight() const { return m_bitmap ? m_bitmap->Height() : 0; }

void DeleteImage(CBitmapImage* image) { delete image; }
