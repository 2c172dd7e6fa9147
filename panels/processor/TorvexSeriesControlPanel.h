// The Torvex-series processor panel (850 x 600; the Torvex48: four inputs, eight outputs,
// dynamic EQ on the inputs, compressors on the outputs). It builds the whole widget tree over
// the shared processor panel base: the header with its page tabs, the input and output strips
// of the Mixer page with the Source (Router or Matrix view), Limiters and Linking side tabs, and
// the Input GEQ, Input PEQ, Input DEQ, Output EQ and Output Comp pages. Fixed labels (channel
// letters and numbers, side-tab overlays) are drawn into seven offscreen section pictures. It
// names no image: the skin class (CTorvexControlPanel) supplies the pictures and the section
// buffers. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "core/draw/TextStyle.h"
#include "panels/processor/NerexSeriesBaseControlPanel.h"

class CBitmapImage;
class CBitmapObject;
class CCompressorMeter;

// The offscreen section pictures in creation order (the layout's torvex_layout::kSections).
enum ETorvexSection : int {
  kTorvexSectionInputs = 0,
  kTorvexSectionSideTabs,
  kTorvexSectionOutputNumbers,
  kTorvexSectionCompNumbers,
  kTorvexSectionInputLetters,
  kTorvexSectionDeqLetters,
  kTorvexSectionOutputEqNumbers,
  kTorvexSectionCount,
};

class CTorvexSeriesControlPanel : public CNerexSeriesBaseControlPanel {
 public:
  static constexpr int kWidth = 850;
  static constexpr int kHeight = 600;
  // The legend after the model name in the header.
  static constexpr const char* kLegend = "   VELDRA SIGNAL CONTROL";

  CTorvexSeriesControlPanel();
  ~CTorvexSeriesControlPanel() override;

  // Strip origins, centred for n inputs and m outputs.
  static int GetInputStripX(int input, int inputCount);
  static int GetOutputStripX(int output, int outputCount);

  // Loads the skin and builds every widget, in drawing order.
  bool Create() override;

  // --- The panel's operations ---
  // Draws the section pictures, sets up the tooltips the first time, lays out the strips again
  // and reloads every value.
  void UpdateAllControls() override;
  // Lights the routing buttons from the routing masks.
  void UpdateBitMaskButtons(bool redraw) override;
  // Redraws the Inputs section picture (the argument is not used).
  void DrawInputsSection(bool redraw) override;
  void ShowPage(std::uint32_t page) override;
  void SelectSideTab(std::uint32_t tab, bool redraw) override;
  void EnableAllControls(bool enable) override;
  // Records the channel under a right click in the device before its context menu opens.
  void OnRightClick(int x, int y) override;

  // --- Section drawings (each into its offscreen buffer) ---
  void DrawInputsSectionBody();
  void DrawSideTabSection();
  void DrawOutputNumbers();
  void DrawCompressorNumbers();
  void DrawInputLetters();
  void DrawDeqInputLetters();
  void DrawOutputEqNumbers();

  // The area a side-tab change redraws: the side-tab section and the Source view's sub-tabs,
  // across to the panel's right edge.
  CRect GetSideTabRedrawRect() const;

  // --- Skin (supplied by the model class) ---
  // Loads the class's pictures when they are not loaded and makes this panel's section buffers.
  virtual void LoadSkinImages() = 0;
  virtual CBitmapImage* GetBackgroundImage() = 0;
  virtual CBitmapImage* GetMixerPageImage() = 0;
  virtual CBitmapImage* GetSourceTabImage() = 0;
  virtual CBitmapImage* GetLimitersTabImage() = 0;
  virtual CBitmapImage* GetLinkingTabImage() = 0;
  virtual CBitmapImage* GetMixerInputsImage() = 0;
  virtual CBitmapImage* GetMatrixTabImage() = 0;
  virtual CBitmapImage* GetRouterTabImage() = 0;
  virtual CBitmapImage* GetInputGeqPageImage() = 0;
  virtual CBitmapImage* GetInputPeqPageImage() = 0;
  virtual CBitmapImage* GetInputDeqPageImage() = 0;
  virtual CBitmapImage* GetOutputEqPageImage() = 0;
  virtual CBitmapImage* GetSelectionFrameImage() = 0;
  virtual CBitmapImage* GetLargeSelectionFrameImage() = 0;
  virtual CBitmapImage* GetOutputCompPageImage() = 0;
  virtual CBitmapImage* GetFaderCapImage() = 0;
  virtual CBitmapImage* GetMeterImage() = 0;
  virtual CBitmapImage* GetLedOffImage() = 0;
  virtual CBitmapImage* GetBlueLedImage() = 0;
  virtual CBitmapImage* GetSmallBlueLedImage() = 0;
  virtual CBitmapImage* GetRedLedImage() = 0;
  virtual CBitmapImage* GetInputStripImage() = 0;
  virtual CBitmapImage* GetOutputStripImage() = 0;
  virtual CBitmapImage* GetCompressorStripImage() = 0;
  virtual CBitmapImage* GetTallOverlayImage() = 0;
  virtual CBitmapImage* GetShortOverlayImage() = 0;
  virtual CBitmapImage* GetSmallCompressorGraphImage() = 0;
  virtual CBitmapImage* GetLargeCompressorGraphImage() = 0;
  virtual CBitmapImage* GetGainReductionMeterImage() = 0;
  // The compact view's header, and the faces of its preset display's recall, next and previous
  // buttons.
  virtual CBitmapImage* GetCompactPageImage() = 0;
  virtual CBitmapImage* GetLcdRecallImage() = 0;
  virtual CBitmapImage* GetLcdNextImage() = 0;
  virtual CBitmapImage* GetLcdPreviousImage() = 0;

  // --- Widgets, for tests ---
  CBitmapObject* GetSectionPicture(int section) const { return m_sectionPictures[std::size_t(section)]; }
  CBitmapImage* GetSectionBuffer(int section) const { return m_buffers[std::size_t(section)]; }
  CBitmapObject* GetOutputStrip(int k) const { return m_outputStrips[std::size_t(k)]; }
  CBitmapObject* GetCompressorStrip(int k) const { return m_compressorStrips[std::size_t(k)]; }
  // In the order Mixer, Input GEQ, Input PEQ, Input DEQ, Output EQ, Output Comp, compact view.
  CBitmapObject* GetPagePicture(int index) const { return m_pagePictures[std::size_t(index)]; }
  CBitmapObject* GetMatrixTabPicture() const { return m_matrixTabPicture; }
  CBitmapObject* GetRouterTabPicture() const { return m_routerTabPicture; }

 protected:
  // The section buffers, made by LoadSkinImages and freed by the skin class; the pictures
  // only show them.
  std::array<CBitmapImage*, kTorvexSectionCount> m_buffers{};

 private:
  // --- Building the widget tree, a part at a time in drawing order (Create) ---
  void CreatePagePictures();
  void CreateHeader();
  void CreateInputStrip(int i);
  void CreateOutputStripPictures();
  void CreateOutputStrip(int k);
  // The side-tab views over output strip k (creation edge x): Source, Linking and Limiters.
  void CreateSourceView(int k, int x);
  void CreateLinkingAndLimiterViews(int k, int x);
  void CreateSideTabs();
  void CreateGeqPageControls();
  void CreateDeqPage();
  void CreateDeqColumn(int s);
  void CreateGeqFaders();
  void CreateInputPeqPage();
  void CreateOutputEqPage();
  void CreateCompressorPage();
  void CreateCompressorStrip(int k);
  // A band row of a parametric page; the ids are those of band 0 of the first channel, in the
  // order frequency, Q, gain, type, bypass.
  BandRow CreateBandRow(int band, int group, const std::array<int, 5>& firstIds);
  // A button without a picture that lights its area, and a drop-down list.
  CBmpButton* AddHotArea(int id, const CRect& rect, int radius, std::initializer_list<int> groups = {});
  CCustomComboBox* AddCombo(int id, const CRect& rect, std::initializer_list<int> groups);
  // A transfer-curve graph and the parameters its curve follows: threshold, ratio, knee,
  // maximum gain and mode (0: none).
  CCompressorMeter* AddCurveGraph(int id, CBitmapImage* image, const CRect& rect, int group,
                                  const std::array<int, 5>& ids);
  // The section picture showing buffer index.
  void AddSection(int index, std::initializer_list<int> groups);

  // The Router/Matrix flag of the Source view (set: Matrix view).
  bool IsMatrixView() const;
  // Lays the Mixer-page strips out at their centred origins.
  void LayOutStrips();
  // Draws into one section buffer, cleared first; nothing without the buffer.
  template <typename Body>
  void DrawSection(int section, Body body);
  void DrawLabel(Graphics& g, const std::string& text, CTextStyle& style, float x, float y, std::uint32_t argb);

  std::array<CBitmapObject*, 8> m_outputStrips{};
  std::array<CBitmapObject*, 8> m_compressorStrips{};
  std::array<CBitmapObject*, 7> m_pagePictures{};
  std::array<CBitmapObject*, kTorvexSectionCount> m_sectionPictures{};
  CBitmapObject* m_matrixTabPicture = nullptr;
  CBitmapObject* m_routerTabPicture = nullptr;
  CTextStyle m_smallLabelStyle;
  CTextStyle m_labelStyle;
};
