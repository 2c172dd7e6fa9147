// The Torvex48's panel: the Torvex-series panel with the model's own pictures. The pictures are
// class data, loaded by the first panel that is built and freed with the last one; each panel
// has its own seven section buffers. UI thread only.
#pragma once

#include <array>
#include <cstdint>

#include "panels/TorvexSeriesControlPanel.h"

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
    kSkinCount,
  };
  // Resource number of each picture; all are "PNG" resources but the fader cap ("BMP").
  static const std::array<std::uint32_t, kSkinCount> kSkinResources;
  // Sizes of the section buffers in creation order.
  static constexpr std::array<std::array<int, 2>, kTorvexSectionCount> kBufferSizes{
      {{275, 487}, {570, 255}, {570, 15}, {800, 15}, {100, 15}, {100, 15}, {210, 15}}};

  CTorvexControlPanel() = default;
  // A panel that was counted releases the pictures when it is the last; it frees its buffers.
  ~CTorvexControlPanel() override;

  static CControlPanelWnd* CreateObject() { return new CTorvexControlPanel; }
  // Panels that hold the pictures.
  static int GetInstanceCount() { return s_instances; }
  // The class's picture (null while not loaded).
  static CBitmapImage* GetSkin(int skin) { return s_skins[std::size_t(skin)]; }

  // Counts the panel as a holder of the pictures, then builds it.
  bool Create() override;
  void LoadSkinImages() override;

  CBitmapImage* GetBackgroundImage() override { return s_skins[kSkinBackground]; }
  CBitmapImage* GetMixerPageImage() override { return s_skins[kSkinMixerPage]; }
  CBitmapImage* GetSourceTabImage() override { return s_skins[kSkinSourceTab]; }
  CBitmapImage* GetLimitersTabImage() override { return s_skins[kSkinLimitersTab]; }
  CBitmapImage* GetLinkingTabImage() override { return s_skins[kSkinLinkingTab]; }
  CBitmapImage* GetMixerInputsImage() override { return s_skins[kSkinMixerInputs]; }
  CBitmapImage* GetMatrixTabImage() override { return s_skins[kSkinMatrixTab]; }
  CBitmapImage* GetRouterTabImage() override { return s_skins[kSkinRouterTab]; }
  CBitmapImage* GetInputGeqPageImage() override { return s_skins[kSkinInputGeqPage]; }
  CBitmapImage* GetInputPeqPageImage() override { return s_skins[kSkinInputPeqPage]; }
  CBitmapImage* GetInputDeqPageImage() override { return s_skins[kSkinInputDeqPage]; }
  CBitmapImage* GetOutputEqPageImage() override { return s_skins[kSkinOutputEqPage]; }
  CBitmapImage* GetSelectionFrameImage() override { return s_skins[kSkinSelectionFrame]; }
  CBitmapImage* GetLargeSelectionFrameImage() override { return s_skins[kSkinLargeSelectionFrame]; }
  CBitmapImage* GetOutputCompPageImage() override { return s_skins[kSkinOutputCompPage]; }
  CBitmapImage* GetFaderCapImage() override { return s_skins[kSkinFaderCap]; }
  CBitmapImage* GetMeterImage() override { return s_skins[kSkinMeter]; }
  CBitmapImage* GetLedOffImage() override { return s_skins[kSkinLedOff]; }
  CBitmapImage* GetBlueLedImage() override { return s_skins[kSkinBlueLed]; }
  CBitmapImage* GetSmallBlueLedImage() override { return s_skins[kSkinSmallBlueLed]; }
  CBitmapImage* GetRedLedImage() override { return s_skins[kSkinRedLed]; }
  CBitmapImage* GetInputStripImage() override { return s_skins[kSkinInputStrip]; }
  CBitmapImage* GetOutputStripImage() override { return s_skins[kSkinOutputStrip]; }
  CBitmapImage* GetCompressorStripImage() override { return s_skins[kSkinCompressorStrip]; }
  CBitmapImage* GetTallOverlayImage() override { return s_skins[kSkinTallOverlay]; }
  CBitmapImage* GetShortOverlayImage() override { return s_skins[kSkinShortOverlay]; }
  CBitmapImage* GetSmallCompressorGraphImage() override { return s_skins[kSkinSmallCompressorGraph]; }
  CBitmapImage* GetLargeCompressorGraphImage() override { return s_skins[kSkinLargeCompressorGraph]; }
  CBitmapImage* GetGainReductionMeterImage() override { return s_skins[kSkinGainReductionMeter]; }

 private:
  static std::array<CBitmapImage*, kSkinCount> s_skins;
  static int s_instances;
  bool m_counted = false;
};
