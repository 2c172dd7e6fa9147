// The Torvex48 panel's pictures: taken by every panel that is built, loaded with the first and
// freed with the last; and each panel's section buffers.
#include "panels/processor/TorvexControlPanel.h"

#include "core/draw/BitmapImage.h"
#include "resources/TorvexPanelLayout.h"

namespace {

CSkinCache& Skins() {
  static CSkinCache skins;
  return skins;
}

}  // namespace

const std::array<CSkinCache::Skin, CTorvexControlPanel::kSkinCount> CTorvexControlPanel::kSkinResources{{
    {2179, true}, {2211, true}, {2171, true}, {2173, true}, {2172, true}, {2219, true}, {2228, true}, {2229, true},
    {2213, true}, {2214, true}, {2215, true}, {2212, true}, {2221, true}, {2225, true}, {2216, true}, {2140, false},
    {2146, true}, {2145, true}, {2157, true}, {2159, true}, {2158, true}, {2217, true}, {2218, true}, {2220, true},
    {2177, true}, {2178, true}, {2240, true}, {2241, true}, {2242, true}, {2246, true}, {2247, true}, {2248, true},
    {2249, true},
}};

int CTorvexControlPanel::GetInstanceCount() { return Skins().GetUsers(); }

CBitmapImage* CTorvexControlPanel::GetSkin(int skin) { return Skins().Get(kSkinResources[std::size_t(skin)].id); }

CTorvexControlPanel::~CTorvexControlPanel() {
  // The background is the class's picture: the window base must not free it.
  SetBackgroundImage(nullptr);
  // Only a panel that took the pictures gives them back, so a panel that was never built
  // cannot free the pictures other panels still show.
  if (m_counted) Skins().Release();
  for (CBitmapImage*& buffer : m_buffers) {
    DeleteImage(buffer);
    buffer = nullptr;
  }
}

void CTorvexControlPanel::LoadSkinImages() {
  if (!m_counted) {
    m_counted = true;
    Skins().Acquire(kSkinResources);
  }
  for (int b = 0; b < kTorvexSectionCount; ++b) {
    if (m_buffers[std::size_t(b)]) continue;
    auto* buffer = new CBitmapImage;
    buffer->CreateBlank(torvex_layout::kSections[b].width, torvex_layout::kSections[b].height);
    m_buffers[std::size_t(b)] = buffer;
  }
}
