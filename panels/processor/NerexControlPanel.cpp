// The Nerex-series model panels and their reference-counted skin sets.
#include "panels/processor/NerexControlPanel.h"

#include "core/draw/BitmapImage.h"
#include "resources/NerexPanelLayout.h"

void CNerexSkinSet::Acquire() {
  if (m_instances++ > 0 && IsLoaded()) return;
  for (int i = 0; i < kImages; ++i) {
    if (m_images[std::size_t(i)]) continue;
    auto* image = new CBitmapImage;
    image->LoadFromResource(i == kFaderCap ? CBitmapImage::kResourceBmp : CBitmapImage::kResourcePng,
                            m_ids[std::size_t(i)]);
    m_images[std::size_t(i)] = image;
  }
}

void CNerexSkinSet::Release() {
  if (m_instances <= 0 || --m_instances > 0) return;
  for (CBitmapImage*& image : m_images) {
    DeleteImage(image);
    image = nullptr;
  }
}

CNerexModelControlPanel::~CNerexModelControlPanel() {
  // The background is the set's: the panel must not free it.
  SetBackgroundImage(nullptr);
  FreeSectionBuffers();
  if (m_acquired) m_skins.Release();
}

void CNerexModelControlPanel::LoadSkinImages() {
  if (!m_acquired) {
    m_skins.Acquire();
    m_acquired = true;
  }
  CreateSectionBuffers();
}

// Getter order: background, mixer page, source / limiters / linking tabs, input GEQ, input PEQ
// and output PEQ pages, fader cap, selection frame, meter, LED off, blue, small blue and red
// LEDs, input and output strips, tall and short overlays, the compact view's header and its
// recall, next and previous faces.
CNerexSkinSet CNerexControlPanel::s_skins({2179, 2167, 2171, 2173, 2172, 2169, 2170, 2168, 2140, 2221, 2146, 2145,
                                           2157, 2159, 2158, 2175, 2176, 2177, 2178, 2243, 2247, 2248, 2249});
CNerexSkinSet CCalder48ControlPanel::s_skins({2199, 2205, 2202, 2204, 2203, 2169, 2207, 2206, 2140, 2224, 2146,
                                              2145, 2157, 2159, 2158, 2200, 2201, 2177, 2178, 2244, 2247, 2248,
                                              2249});
CNerexSkinSet CHollin2ControlPanel::s_skins({2199, 2233, 2230, 2232, 2231, 2169, 2235, 2234, 2140, 2239, 2146,
                                             2145, 2157, 2159, 2158, 2200, 2201, 2177, 2178, 2245, 2247, 2248,
                                             2249});

std::span<const processor_layout::Button> CCalder48ControlPanel::GetPageTabPlaces() const {
  return nerex_layout::kThreePageTabs;
}
