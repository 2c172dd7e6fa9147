// The Torvex48's panel: the Torvex-series panel with the model's own pictures. The pictures are
// class data, loaded by the first panel that is built and freed with the last one that was;
// each panel has its own seven section buffers. UI thread only.
#pragma once

#include <array>
#include <cstdint>

#include "panels/framework/SkinCache.h"
#include "panels/processor/TorvexSeriesControlPanel.h"

class CTorvexControlPanel : public CTorvexSeriesControlPanel {
 public:
  // The pictures in the order of their getters.
  enum ESkin : int {
    kSkinBackground,
    kSkinMixerPage,
    kSkinSourceTab,
    kSkinLimitersTab,
    kSkinLinkingTab,
    kSkinMixerInputs,
    kSkinMatrixTab,
    kSkinRouterTab,
    kSkinInputGeqPage,
    kSkinInputPeqPage,
    kSkinInputDeqPage,
    kSkinOutputEqPage,
    kSkinSelectionFrame,
    kSkinLargeSelectionFrame,
    kSkinOutputCompPage,
    kSkinFaderCap,
    kSkinMeter,
    kSkinLedOff,
    kSkinBlueLed,
    kSkinSmallBlueLed,
    kSkinRedLed,
    kSkinInputStrip,
    kSkinOutputStrip,
    kSkinCompressorStrip,
    kSkinTallOverlay,
    kSkinShortOverlay,
    kSkinSmallCompressorGraph,
    kSkinLargeCompressorGraph,
    kSkinGainReductionMeter,
    kSkinCompactPage,
    kSkinLcdRecall,
    kSkinLcdNext,
    kSkinLcdPrevious,
    kSkinCount,
  };
  // Resource number of each picture; all are "PNG" resources but the fader cap ("BMP").
  static const std::array<CSkinCache::Skin, kSkinCount> kSkinResources;

  CTorvexControlPanel() = default;
  // A panel that was counted releases the pictures when it is the last; it frees its buffers.
  ~CTorvexControlPanel() override;

  static CControlPanelWnd* CreateObject() { return new CTorvexControlPanel; }
  // Panels that hold the pictures.
  static int GetInstanceCount();
  // The class's picture (null while not loaded).
  static CBitmapImage* GetSkin(int skin);

  // The first call of a panel takes the class's pictures (the class's first panel loads them);
  // every call makes the section buffers this panel lacks.
  void LoadSkinImages() override;

  CBitmapImage* GetBackgroundImage() override { return GetSkin(kSkinBackground); }
  CBitmapImage* GetMixerPageImage() override { return GetSkin(kSkinMixerPage); }
  CBitmapImage* GetSourceTabImage() override { return GetSkin(kSkinSourceTab); }
  CBitmapImage* GetLimitersTabImage() override { return GetSkin(kSkinLimitersTab); }
  CBitmapImage* GetLinkingTabImage() override { return GetSkin(kSkinLinkingTab); }
  CBitmapImage* GetMixerInputsImage() override { return GetSkin(kSkinMixerInputs); }
  CBitmapImage* GetMatrixTabImage() override { return GetSkin(kSkinMatrixTab); }
  CBitmapImage* GetRouterTabImage() override { return GetSkin(kSkinRouterTab); }
  CBitmapImage* GetInputGeqPageImage() override { return GetSkin(kSkinInputGeqPage); }
  CBitmapImage* GetInputPeqPageImage() override { return GetSkin(kSkinInputPeqPage); }
  CBitmapImage* GetInputDeqPageImage() override { return GetSkin(kSkinInputDeqPage); }
  CBitmapImage* GetOutputEqPageImage() override { return GetSkin(kSkinOutputEqPage); }
  CBitmapImage* GetSelectionFrameImage() override { return GetSkin(kSkinSelectionFrame); }
  CBitmapImage* GetLargeSelectionFrameImage() override { return GetSkin(kSkinLargeSelectionFrame); }
  CBitmapImage* GetOutputCompPageImage() override { return GetSkin(kSkinOutputCompPage); }
  CBitmapImage* GetFaderCapImage() override { return GetSkin(kSkinFaderCap); }
  CBitmapImage* GetMeterImage() override { return GetSkin(kSkinMeter); }
  CBitmapImage* GetLedOffImage() override { return GetSkin(kSkinLedOff); }
  CBitmapImage* GetBlueLedImage() override { return GetSkin(kSkinBlueLed); }
  CBitmapImage* GetSmallBlueLedImage() override { return GetSkin(kSkinSmallBlueLed); }
  CBitmapImage* GetRedLedImage() override { return GetSkin(kSkinRedLed); }
  CBitmapImage* GetInputStripImage() override { return GetSkin(kSkinInputStrip); }
  CBitmapImage* GetOutputStripImage() override { return GetSkin(kSkinOutputStrip); }
  CBitmapImage* GetCompressorStripImage() override { return GetSkin(kSkinCompressorStrip); }
  CBitmapImage* GetTallOverlayImage() override { return GetSkin(kSkinTallOverlay); }
  CBitmapImage* GetShortOverlayImage() override { return GetSkin(kSkinShortOverlay); }
  CBitmapImage* GetSmallCompressorGraphImage() override { return GetSkin(kSkinSmallCompressorGraph); }
  CBitmapImage* GetLargeCompressorGraphImage() override { return GetSkin(kSkinLargeCompressorGraph); }
  CBitmapImage* GetGainReductionMeterImage() override { return GetSkin(kSkinGainReductionMeter); }
  CBitmapImage* GetCompactPageImage() override { return GetSkin(kSkinCompactPage); }
  CBitmapImage* GetLcdRecallImage() override { return GetSkin(kSkinLcdRecall); }
  CBitmapImage* GetLcdNextImage() override { return GetSkin(kSkinLcdNext); }
  CBitmapImage* GetLcdPreviousImage() override { return GetSkin(kSkinLcdPrevious); }

 private:
  bool m_counted = false;
};
