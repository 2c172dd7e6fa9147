// The Torvex48 panel's pictures: loaded with the first panel that holds them, freed with the
// last, and each panel's section buffers.
#include "panels/TorvexControlPanel.h"

#include "core/BitmapImage.h"

namespace {
constexpr std::uint32_t kFaderCapResource = 2140;
}  // namespace

const std::array<std::uint32_t, CTorvexControlPanel::kSkinCount> CTorvexControlPanel::kSkinResources{
    2179, 2211, 2171, 2173, 2172, 2219, 2228, 2229, 2213, 2214, 2215, 2212, 2221, 2225, 2216,
    kFaderCapResource, 2146, 2145, 2157, 2159, 2158, 2217, 2218, 2220, 2177, 2178, 2240, 2241, 2242};

std::array<CBitmapImage*, CTorvexControlPanel::kSkinCount> CTorvexControlPanel::s_skins{};
int CTorvexControlPanel::s_instances = 0;

CTorvexControlPanel::~CTorvexControlPanel() {
  // The background is the class's picture: the window base must not free it.
  SetBackgroundImage(nullptr);
  // Only a panel that took the pictures gives them back, so a panel that was never built
  // cannot free the pictures other panels still show.
  if (m_counted && --s_instances == 0) {
    for (CBitmapImage*& image : s_skins) {
      DeleteImage(image);
      image = nullptr;
    }
  }
  for (CBitmapImage*& buffer : m_buffers) {
    DeleteImage(buffer);
    buffer = nullptr;
  }
}

bool CTorvexControlPanel::Create() {
  if (!m_counted) {
    m_counted = true;
    ++s_instances;
  }
  return CTorvexSeriesControlPanel::Create();
}

void CTorvexControlPanel::LoadSkinImages() {
  if (!s_skins[kSkinBackground]) {
    for (int s = 0; s < kSkinCount; ++s) {
      const std::uint32_t id = kSkinResources[std::size_t(s)];
      auto* image = new CBitmapImage;
      image->LoadFromResource(id == kFaderCapResource ? CBitmapImage::kResourceBmp : CBitmapImage::kResourcePng, id);
      DeleteImage(s_skins[std::size_t(s)]);
      s_skins[std::size_t(s)] = image;
    }
  }
  for (int b = 0; b < kTorvexSectionCount; ++b) {
    if (m_buffers[std::size_t(b)]) continue;
    auto* buffer = new CBitmapImage;
    buffer->CreateBlank(kBufferSizes[std::size_t(b)][0], kBufferSizes[std::size_t(b)][1]);
    m_buffers[std::size_t(b)] = buffer;
  }
}
