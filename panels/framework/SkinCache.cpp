// Skin pictures shared by the open panels of a class.
#include "panels/framework/SkinCache.h"

#include "core/draw/BitmapImage.h"

void CSkinCache::Acquire(std::span<const Skin> skins) {
  if (m_users++ > 0 && IsLoaded()) return;
  for (const Skin& skin : skins) {
    if (m_images.count(skin.id)) continue;
    auto* image = new CBitmapImage;
    image->LoadFromResource(skin.png ? CBitmapImage::kResourcePng : CBitmapImage::kResourceBmp, skin.id);
    m_images[skin.id] = image;
  }
}

void CSkinCache::Release() {
  if (m_users > 0 && --m_users == 0) Free();
}

CBitmapImage* CSkinCache::Get(std::uint32_t id) const {
  const auto it = m_images.find(id);
  return it == m_images.end() ? nullptr : it->second;
}

void CSkinCache::Free() {
  for (auto& [id, image] : m_images) DeleteImage(image);
  m_images.clear();
}
