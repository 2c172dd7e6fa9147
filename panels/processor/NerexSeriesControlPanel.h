// The control panel of the Nerex-series processors (Nerex24 to Nerex48, Calder26, Calder48,
// Hollin2): the Mixer page with its input and output channel strips, routing, limiter and link
// views behind three side tabs, and the Input GEQ, Input PEQ and Output PEQ pages. It builds the
// whole widget tree, centres the strips of a smaller model, draws its section labels into
// offscreen pictures, shows the gains of the graphic-EQ faders as tooltips and records the
// channel a right click points at. It names no image: the model panels (NerexControlPanel.h)
// supply the skin through the getters. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

#include "core/draw/TextStyle.h"
#include "panels/framework/BitmapFader.h"
#include "panels/processor/NerexSeriesBaseControlPanel.h"
#include "resources/ProcessorPanelLayout.h"

class CBitmapImage;
class CBitmapObject;

class CNerexSeriesControlPanel : public CNerexSeriesBaseControlPanel {
 public:
  // The section pictures and the offscreen buffers they show, in creation order (the layout's
  // nerex_layout::kSections).
  enum Section : int { kInputsSection, kOutputsSection, kOutputNumbers, kInputLetters, kOutputEqNumbers, kSections };

  CNerexSeriesControlPanel();
  ~CNerexSeriesControlPanel() override;

  // Loads the skin, then builds the widget tree in drawing order.
  bool Create() override;

  // --- The panel's behaviour ---
  // Section pictures, tooltips, header line, strip places, filter lists, then the base reload.
  void UpdateAllControls() override;
  void DrawInputsSection(bool redraw) override;
  void ShowPage(std::uint32_t page) override;
  void SelectSideTab(std::uint32_t tab, bool redraw) override;
  void EnableAllControls(bool enable) override;
  // Stores the channel under the point in the device's context-menu channel.
  void OnRightClick(int x, int y) override;
  // The section drawings into the offscreen pictures.
  void DrawInputsSectionBody();
  void DrawOutputsSection();
  void DrawOutputNumbers();
  void DrawInputLetters();
  void DrawOutputEqNumbers();

  // Strip edges of the device's model (0 without a device).
  int GetInputStripX(int i) const;
  int GetOutputStripX(int k) const;
  // Empties a drop-down list.
  static void DeleteStringArray(CCustomComboBox* combo);

  // --- The skin: the model panels choose the images ---
  // Loads the model's shared images (once for all its panels) and this panel's buffers.
  virtual void LoadSkinImages() = 0;
  virtual CBitmapImage* GetBackgroundImage() const = 0;
  virtual CBitmapImage* GetMixerPageImage() const = 0;
  virtual CBitmapImage* GetSourceTabImage() const = 0;
  virtual CBitmapImage* GetLimitersTabImage() const = 0;
  virtual CBitmapImage* GetLinkingTabImage() const = 0;
  virtual CBitmapImage* GetInputGeqPageImage() const = 0;
  virtual CBitmapImage* GetInputPeqPageImage() const = 0;
  virtual CBitmapImage* GetOutputPeqPageImage() const = 0;
  virtual CBitmapImage* GetFaderCapImage() const = 0;
  virtual CBitmapImage* GetSelectionFrameImage() const = 0;
  virtual CBitmapImage* GetMeterImage() const = 0;
  virtual CBitmapImage* GetLedOffImage() const = 0;
  virtual CBitmapImage* GetBlueLedImage() const = 0;
  virtual CBitmapImage* GetSmallBlueLedImage() const = 0;
  virtual CBitmapImage* GetRedLedImage() const = 0;
  virtual CBitmapImage* GetInputStripImage() const = 0;
  virtual CBitmapImage* GetOutputStripImage() const = 0;
  virtual CBitmapImage* GetTallOverlayImage() const = 0;
  virtual CBitmapImage* GetShortOverlayImage() const = 0;
  // The compact view's header, and the faces of its preset display's recall, next and previous
  // buttons.
  virtual CBitmapImage* GetCompactPageImage() const = 0;
  virtual CBitmapImage* GetLcdRecallImage() const = 0;
  virtual CBitmapImage* GetLcdNextImage() const = 0;
  virtual CBitmapImage* GetLcdPreviousImage() const = 0;
  // The page tabs' places in the header: the four of the Nerex header (a panel whose header
  // has fewer tabs hides the others).
  virtual std::span<const processor_layout::Button> GetPageTabPlaces() const;

  // --- Widgets, for tests and the model panels ---
  CBitmapObject* GetSectionPicture(int section) const { return m_sectionPictures[std::size_t(section)]; }
  CBitmapImage* GetSectionBuffer(int section) const { return m_buffers[std::size_t(section)].get(); }
  CBitmapObject* GetPageImage(int index) const { return m_pageImages[std::size_t(index)]; }
  CBitmapObject* GetOutputStripBackground(int k) const { return m_outputStrips[std::size_t(k)]; }
  const CTextStyle& GetSmallLabelStyle() const { return m_smallLabelStyle; }
  const CTextStyle& GetLabelStyle() const { return m_labelStyle; }

 protected:
  // Makes this panel's five offscreen buffers at their sizes (the model panels' LoadSkinImages).
  void CreateSectionBuffers();
  // Frees them (the model panels' destructors, before the family's).
  void FreeSectionBuffers();

 private:
  // --- Building the widget tree, a part at a time in drawing order (Create) ---
  void CreatePagePictures();
  void CreateHeader();
  void CreateInputStrip(int i);
  void CreateOutputStripPictures();
  void CreateOutputStrip(int k);
  void CreateLimiterViews(int k, int x);
  void CreateSideTabs();
  void CreateGeqPage();
  void CreateInputPeqPage();
  void CreateOutputPeqPage();
  // A band row of the page's group; the ids are those of band 0 of the first channel, in the
  // order frequency, Q, gain, type, bypass.
  BandRow CreateBandRow(int band, int group, const std::array<int, 5>& firstIds);
  // A value readout with its back brush, and a drop-down list in the panel's face.
  CTextControl* AddReadout(int id, const char* face, float points, std::uint32_t flags, const CRect& rect,
                           std::uint32_t brush, std::initializer_list<int> groups);
  CCustomComboBox* AddCombo(int id, const CRect& rect, float points, std::initializer_list<int> groups);
  // A gain fader (a channel's, else a graphic-EQ band's) of the range, in the Mixer group unless
  // told; a strip's level meter, also shown in the compact view.
  CBitmapFader* AddGainFader(int id, const CRect& rect, float minimum, float maximum, int kind = kFaderChannelGain,
                             std::initializer_list<int> groups = {kPanelGroupMixer});
  CBitmapMeter* AddLevelMeter(int id, const panel_layout::StripPlace& place, int x);
  // The section picture showing buffer s.
  void AddSection(int s, std::initializer_list<int> groups);
  // Moves every strip widget to the model's strip edges.
  void PlaceStrips();
  // Fills every parametric-EQ type list with the model's filter types.
  void FillEqTypeLists();
  // Clears a buffer to transparent and hands a graphics on it to draw.
  template <class DrawFn>
  void DrawInto(int section, DrawFn draw);
  // The heading band with its caption over the strips starting at x, count strips wide.
  void DrawHeading(Graphics& g, float x, int count, const char* caption);

  std::array<CBitmapObject*, 8> m_outputStrips{};
  std::array<CBitmapObject*, 5> m_pageImages{};  // Mixer, Input GEQ, Input PEQ, Output PEQ, compact view
  std::array<CBitmapObject*, kSections> m_sectionPictures{};
  std::array<std::unique_ptr<CBitmapImage>, kSections> m_buffers;
  CTextStyle m_smallLabelStyle;
  CTextStyle m_labelStyle;
  CTextStyle m_tabTitleStyle;
  // The side tab the outputs section was drawn for (0: none yet).
  std::uint32_t m_drawnSideTab = 0;
};
