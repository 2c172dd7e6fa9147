// The Nerex-series model panels: each only chooses its skin, a set of images loaded once for all
// open panels of its model and freed with the last of them, and makes its panel's offscreen
// buffers. CNerexControlPanel serves the Nerex models, CCalder48ControlPanel the Calder26 and
// Calder48, CHollin2ControlPanel the Hollin2. UI thread only.
#pragma once

#include <array>
#include <cstdint>

#include "panels/processor/NerexSeriesControlPanel.h"

// The images of one model's skin, in getter order, with the number of panels holding them.
class CNerexSkinSet {
 public:
  static constexpr int kImages = 23;
  enum Image : int {
    kBackground,
    kMixerPage,
    kSourceTab,
    kLimitersTab,
    kLinkingTab,
    kInputGeqPage,
    kInputPeqPage,
    kOutputPeqPage,
    kFaderCap,
    kSelectionFrame,
    kMeter,
    kLedOff,
    kBlueLed,
    kSmallBlueLed,
    kRedLed,
    kInputStrip,
    kOutputStrip,
    kTallOverlay,
    kShortOverlay,
    kCompactPage,
    kLcdRecall,
    kLcdNext,
    kLcdPrevious,
  };
  // Resource numbers in getter order; the fader cap is a "BMP" resource, the others "PNG".
  using ResourceIds = std::array<std::uint32_t, kImages>;

  explicit constexpr CNerexSkinSet(const ResourceIds& ids) : m_ids(ids) {}

  // One more panel holds the set; the first loads it (an image that fails to load stays null).
  void Acquire();
  // One panel less; the last frees every image.
  void Release();
  CBitmapImage* Get(Image image) const { return m_images[std::size_t(image)]; }
  int GetInstanceCount() const { return m_instances; }
  bool IsLoaded() const { return m_images[kBackground] != nullptr; }
  const ResourceIds& GetResourceIds() const { return m_ids; }

 private:
  ResourceIds m_ids;
  std::array<CBitmapImage*, kImages> m_images{};
  int m_instances = 0;
};

// What the three model panels share: the skin set is acquired when the skin is loaded and
// released only by a panel that acquired it, so a panel destroyed before it was created frees
// nothing another panel still uses.
class CNerexModelControlPanel : public CNerexSeriesControlPanel {
 public:
  explicit CNerexModelControlPanel(CNerexSkinSet& skins) : m_skins(skins) {}
  ~CNerexModelControlPanel() override;

  void LoadSkinImages() override;
  CBitmapImage* GetBackgroundImage() const override { return m_skins.Get(CNerexSkinSet::kBackground); }
  CBitmapImage* GetMixerPageImage() const override { return m_skins.Get(CNerexSkinSet::kMixerPage); }
  CBitmapImage* GetSourceTabImage() const override { return m_skins.Get(CNerexSkinSet::kSourceTab); }
  CBitmapImage* GetLimitersTabImage() const override { return m_skins.Get(CNerexSkinSet::kLimitersTab); }
  CBitmapImage* GetLinkingTabImage() const override { return m_skins.Get(CNerexSkinSet::kLinkingTab); }
  CBitmapImage* GetInputGeqPageImage() const override { return m_skins.Get(CNerexSkinSet::kInputGeqPage); }
  CBitmapImage* GetInputPeqPageImage() const override { return m_skins.Get(CNerexSkinSet::kInputPeqPage); }
  CBitmapImage* GetOutputPeqPageImage() const override { return m_skins.Get(CNerexSkinSet::kOutputPeqPage); }
  CBitmapImage* GetFaderCapImage() const override { return m_skins.Get(CNerexSkinSet::kFaderCap); }
  CBitmapImage* GetSelectionFrameImage() const override { return m_skins.Get(CNerexSkinSet::kSelectionFrame); }
  CBitmapImage* GetMeterImage() const override { return m_skins.Get(CNerexSkinSet::kMeter); }
  CBitmapImage* GetLedOffImage() const override { return m_skins.Get(CNerexSkinSet::kLedOff); }
  CBitmapImage* GetBlueLedImage() const override { return m_skins.Get(CNerexSkinSet::kBlueLed); }
  CBitmapImage* GetSmallBlueLedImage() const override { return m_skins.Get(CNerexSkinSet::kSmallBlueLed); }
  CBitmapImage* GetRedLedImage() const override { return m_skins.Get(CNerexSkinSet::kRedLed); }
  CBitmapImage* GetInputStripImage() const override { return m_skins.Get(CNerexSkinSet::kInputStrip); }
  CBitmapImage* GetOutputStripImage() const override { return m_skins.Get(CNerexSkinSet::kOutputStrip); }
  CBitmapImage* GetTallOverlayImage() const override { return m_skins.Get(CNerexSkinSet::kTallOverlay); }
  CBitmapImage* GetShortOverlayImage() const override { return m_skins.Get(CNerexSkinSet::kShortOverlay); }
  CBitmapImage* GetCompactPageImage() const override { return m_skins.Get(CNerexSkinSet::kCompactPage); }
  CBitmapImage* GetLcdRecallImage() const override { return m_skins.Get(CNerexSkinSet::kLcdRecall); }
  CBitmapImage* GetLcdNextImage() const override { return m_skins.Get(CNerexSkinSet::kLcdNext); }
  CBitmapImage* GetLcdPreviousImage() const override { return m_skins.Get(CNerexSkinSet::kLcdPrevious); }

 private:
  CNerexSkinSet& m_skins;
  bool m_acquired = false;
};

class CNerexControlPanel : public CNerexModelControlPanel {
 public:
  CNerexControlPanel() : CNerexModelControlPanel(s_skins) {}
  static CControlPanelWnd* CreateObject() { return new CNerexControlPanel; }
  static CNerexSkinSet& Skins() { return s_skins; }

 private:
  static CNerexSkinSet s_skins;
};

// The Calder48 layout: three page tabs side by side (no Input GEQ page).
class CCalder48ControlPanel : public CNerexModelControlPanel {
 public:
  CCalder48ControlPanel() : CNerexModelControlPanel(s_skins) {}
  static CControlPanelWnd* CreateObject() { return new CCalder48ControlPanel; }
  static CNerexSkinSet& Skins() { return s_skins; }
  // Mixer, Input PEQ and Output PEQ side by side, 78 x 22 each; the Input GEQ tab is hidden.
  std::span<const processor_layout::Button> GetPageTabPlaces() const override;

 protected:
  explicit CCalder48ControlPanel(CNerexSkinSet& skins) : CNerexModelControlPanel(skins) {}

 private:
  static CNerexSkinSet s_skins;
};

class CHollin2ControlPanel : public CCalder48ControlPanel {
 public:
  CHollin2ControlPanel() : CCalder48ControlPanel(s_skins) {}
  static CControlPanelWnd* CreateObject() { return new CHollin2ControlPanel; }
  static CNerexSkinSet& Skins() { return s_skins; }

 private:
  static CNerexSkinSet s_skins;
};
