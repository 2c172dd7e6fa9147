// Skin pictures of a panel class by resource number: loaded with the class's first panel that
// builds its widgets, shared by every open panel of the class and freed with the last one.
// UI thread only.
#pragma once

#include <cstdint>
#include <map>
#include <span>

class CBitmapImage;

class CSkinCache {
 public:
  struct Skin {
    std::uint32_t id;
    bool png;  // a "PNG" resource, else a "BMP" one
  };

  CSkinCache() = default;
  ~CSkinCache() { Free(); }
  CSkinCache(const CSkinCache&) = delete;
  CSkinCache& operator=(const CSkinCache&) = delete;

  // A panel starts using the pictures: the first one loads them.
  void Acquire(std::span<const Skin> skins);
  // A panel that acquired them goes: the last one frees them.
  void Release();
  // The picture, null when it is not loaded.
  CBitmapImage* Get(std::uint32_t id) const;
  bool IsLoaded() const { return !m_images.empty(); }
  // Panels that acquired the pictures and have not released them.
  int GetUsers() const { return m_users; }

 private:
  void Free();

  std::map<std::uint32_t, CBitmapImage*> m_images;  // owning
  int m_users = 0;
};
