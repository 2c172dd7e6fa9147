// The shared base of the processor control panels (the Nerex-series, Torvex-series and Fennick
// panels). It builds no widget of its own: the derived panel's Create builds the widget tree,
// appends every widget to the panel's list, stores the ones shared code reaches in the fields
// below and puts them in the ten widget groups. The base then drives them: pages and side tabs
// (which groups show), the current user's rights, the 20 ms level-meter timer, the section
// refreshes of the equaliser and compressor pages with their band selection, the captions that
// name ganged channels, the gain-nudge and delay display settings, the preset list and the LCD
// text. Page, side tab and selected channels live in the device, so a reopened panel shows the
// same view. A field the derived panel leaves null is skipped by every operation. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "devices/processor/NerexPanel.h"
#include "panels/framework/ControlPanelWnd.h"
#include "panels/processor/NerexPresetUi.h"

class CBitmapFader;
class CBitmapMeter;
class CBmpButton;
class CCompressorMeter;
class CControlObject;
class CCustomComboBox;
class CNerexSeriesDevice;
class CNerexSeriesParametricControl;
class CTextControl;
class CTorvexSeriesDEQControl;
class CBitmapImage;
class CBitmapObject;
namespace nerex_layout {
struct ComboItem;
}
namespace processor_layout {
struct Button;
}

// The faces the processor panels name.
namespace panel_face {
inline constexpr const char* kCondensed = "DejaVu Sans Condensed";
inline constexpr const char* kValue = "HandelGotDLig";
inline constexpr const char* kLcd = "LiquidCrystal";
// The channel gain readouts' size in the LCD face.
inline constexpr float kGainReadoutPoints = 14.0f;
}  // namespace panel_face

// The ten widget groups, shown and hidden whole.
enum : int {
  kPanelGroupMixer = 0,       // the Mixer page: strips, header and section pictures, side tabs
  kPanelGroupSource = 1,      // the Source side tab's view
  kPanelGroupLimiters = 2,    // the Limiters side tab's view
  kPanelGroupLinking = 3,     // the Linking side tab's view
  kPanelGroupInputGeq = 4,    // the Input GEQ page
  kPanelGroupInputPeq = 5,    // the Input PEQ page
  kPanelGroupInputDeq = 6,    // the Input DEQ page
  kPanelGroupOutputEq = 7,    // the Output EQ page
  kPanelGroupOutputComp = 8,  // the Output Comp page
  kPanelGroupCompact = 9,     // the compact view
  kPanelGroupCount = 10,
};

// The page that shows only the row of output channel buttons, and the Mixer page's Limiters and
// Linking side tabs.
enum : std::uint32_t {
  kNerexPageOutputRow = 62,
  kNerexSideTabLimiters = 296,
  kNerexSideTabLinking = 297,
};

class CNerexSeriesBaseControlPanel : public CControlPanelWnd, public INerexSeriesPanel, public INerexPresetQuestions {
 public:
  // The level-meter timer: its id and period.
  static constexpr std::uint32_t kMeterTimerId = 1966;
  static constexpr std::uint32_t kMeterPeriodMs = 20;
  // The lowest level the mixer and compressor meters are given, dB.
  static constexpr int kMeterLowestDb = -40;

  using ControlGroup = std::vector<CControlObject*>;  // not owning

  CNerexSeriesBaseControlPanel();
  // Empties the groups; the widgets themselves go with the panel's widget list.
  ~CNerexSeriesBaseControlPanel() override;

  static CControlPanelWnd* CreateObject() { return new CNerexSeriesBaseControlPanel; }

  // The base builds nothing; the derived panels build their widget tree here.
  bool Create() override { return CControlPanelWnd::Create(); }

  // --- CControlPanel ---
  // Reloads every value from the device, starts the meter timer the first time and ends on the
  // device's current page.
  void UpdateAllControls() override;
  // The current user's rights: 0x10 (edit device properties) makes the device and channel names
  // editable; 0x04 (recall presets) shows the preset manager button on the Mixer page; 0x02
  // (use device controls) shades the controls that change the unit (GetNeededRights); the
  // panel is redrawn when asked.
  void ApplyPermissions(bool redraw) override;
  void UpdateOnlineStatus(bool online) override { CControlPanelWnd::UpdateOnlineStatus(online); }

  // --- CControlPanelWnd ---
  // What the device needs for a change of the widget's id (CUserChangeGate::RightsNeededFor): nothing
  // for what only moves the panel, the right to recall presets for the preset widgets (which
  // that right also shows), the right to edit device properties for the names, the right to
  // use device controls for the rest. A widget that takes no input needs nothing.
  std::uint64_t GetNeededRights(const CControlObject& control) const override;
  // Also ties the equaliser readouts to the band selection of the curve shown.
  CControlObject* SetActiveObject(CControlObject* control) override;
  // Also ends a band drag of the curve shown once the pointer leaves it.
  void DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y) override;
  // The meter timer: redraws the meters of the page once new readings were announced.
  void OnTimer(std::uint32_t id) override;

  // --- The panel's own operations, in order ---
  // New meter readings: the next tick redraws the meters.
  void RequestMeterUpdate() override;
  // The channel-select buttons of the device's page (shown, lit by the link group of the
  // selected channel), then the page's section refresh.
  void ShowPageControls(bool redraw) override;
  void RefreshGeqSection(bool redraw) override;
  void RefreshPeqSection(bool redraw) override;
  void RefreshDeqSection(bool redraw) override;
  void RefreshOutputEqSection(bool redraw) override;
  void RefreshOutputSection(bool redraw) override;
  // Base: nothing; panels with bit-mask buttons or drawn sections override them.
  void UpdateBitMaskButtons(bool redraw) override { (void)redraw; }
  void DrawInputsSection(bool redraw) override { (void)redraw; }
  // Band selection of the curves; each acts only on its own page.
  void SelectGeqBand(int band, int second) override;
  void RefreshGeqCurve(bool redraw) override;
  void SelectInputPeqBand(int band, bool redraw) override;
  void SelectDeqBand(int band, bool redraw) override;
  void SelectOutputEqBand(int band, bool redraw) override;
  // The device's "Gain Nudge" and "Delay Units" / "Delay Multiplier" settings.
  void ApplyGainNudge(bool redraw) override;
  void ApplyDelayDisplay(bool redraw) override;
  // Rebuilds the preset list (when the panel has one) from the device's memories.
  void RefillPresetList() override;
  // The LCD text (UTF-8); its rectangle is redrawn, and invalidated when asked.
  virtual void SetLcdText(const std::string& text, bool invalidate);
  void SetLcdText(const std::string& text) override { SetLcdText(text, true); }
  // Shows the page's widget groups (the six pages and the compact view; any other page shows
  // nothing new) and redraws the background's rectangle. Derived panels place their page
  // pictures, then call this.
  void ShowPage(std::uint32_t page) override;
  // Shows the view of the Source, Limiters or Linking side tab (any other id hides all three).
  void SelectSideTab(std::uint32_t tab, bool redraw) override;
  // Shows (hides) the Mixer page's group, then the device's side tab (none).
  virtual void EnableAllControls(bool enable);

  // --- Presets ---
  // The row chosen in the preset list (0-based), -1 when the panel has none or none is chosen.
  int GetPresetSelection() const override;
  // The preset manager dialog over the panel (modal).
  void OpenPresetManager() override;
  // The preset name dialog over the panel, for the Store and Rename buttons.
  bool AskPresetName(const std::string& caption, std::string& name) override;
  // A preset action asks its questions and is handed in with the answers (HandPresetAction);
  // another change asks its confirmation first, and a routing change declined shows the
  // routing held again.
  void HandUserChange(const CParamValue& value) override;

  // --- Tooltips ---
  // The gain of the graphic-EQ band under tool 1..28 on page 60 (the selected input's),
  // "%.1fdB"; else empty.
  std::string GetToolTipText(int toolId) override;
  // The tools of page 60, one per graphic-EQ fader; none on other pages, and nothing before the
  // first UpdateAllControls.
  void SetupToolTips();
  bool HasToolTips() const { return m_toolTipsEnabled; }

  // --- Captions and groups ---
  // The selected input's (output's) caption: the names of the channels ganged with it.
  void UpdateInputLinkCaption(bool redraw);
  void UpdateOutputLinkCaption(bool redraw);
  void GetLinkedInputNames(bool rebuild) override { UpdateInputLinkCaption(rebuild); }
  void GetLinkedOutputNames(bool rebuild) override { UpdateOutputLinkCaption(rebuild); }
  // Sets the visible flag of every widget of the group, in order; nothing is redrawn.
  void SetGroupVisible(int group, bool visible);
  // Puts a widget in a group (a widget may stand in several).
  void AddToGroup(int group, CControlObject* control);
  const ControlGroup& GetGroup(int group) const { return m_groups[std::size_t(group)]; }
  // The back buffer of the panel's size, made only when there is none.
  void CreateBackBufferIfNone(int width, int height) { CreateBackBuffer(width, height); }

  // The processor the panel shows; null without one.
  CNerexSeriesDevice* GetNerexDevice() const;
  // The device's channel counts (0 without a device).
  int GetInputCount() const;
  int GetOutputCount() const;
  // The current user's rights (a current-user index beyond the user list holds none).
  bool UserMayRecallPresets() const;
  bool UserMayEditDeviceProperties() const;
  std::uint32_t GetMeterTimerId() const { return m_meterTimerId; }
  bool IsMeterUpdateRequested() const { return m_meterUpdateRequested; }

 protected:
  // What the panel's widgets are, read by tests.
  friend class CNerexPanelWidgets;

  // Turns the tooltips on the first time (the panel's first reload) and sets up the page's tools.
  void EnableToolTips();

  // --- Building the widget tree (derived panels' Create) ---
  // The rectangle at (x, y) of the picture's size (empty without a picture).
  static CRect SizedAt(int x, int y, const CBitmapImage* image);
  // Appends the widget to the panel's list and to the groups, in order.
  template <class T>
  T* Add(T* widget, std::initializer_list<int> groups = {}) {
    AddControl(widget);
    for (int group : groups) AddToGroup(group, widget);
    return widget;
  }
  CTextControl* AddText(int id, bool editable, const char* face, float points, std::uint32_t colour,
                        std::uint32_t flags, const CRect& rect, std::initializer_list<int> groups = {});
  // A picture at (x, y) of its image's size.
  CBitmapObject* AddPicture(int id, CBitmapImage* image, int x, int y, std::initializer_list<int> groups = {});
  CBmpButton* AddButton(int id, CBitmapImage* image, const CRect& rect, std::uint32_t flags,
                        std::initializer_list<int> groups = {});
  // A button at (x, y) of its picture's size.
  CBmpButton* AddButton(int id, CBitmapImage* image, int x, int y, std::uint32_t flags,
                        std::initializer_list<int> groups = {});
  // Appends the items to a drop-down list.
  static void AddItems(CCustomComboBox* combo, std::span<const nerex_layout::ComboItem> items);
  // The widgets of one band row of a parametric page as the derived panel builds them, and
  // where the base keeps them: in the Input PEQ page's or the Output EQ page's row fields.
  struct BandRow {
    CControlObject* frame = nullptr;
    CTextControl* frequency = nullptr;
    CTextControl* q = nullptr;
    CTextControl* gain = nullptr;
    CCustomComboBox* type = nullptr;
    CBmpButton* bypass = nullptr;
  };
  void KeepInputPeqRow(int band, const BandRow& row);
  void KeepOutputEqRow(int band, const BandRow& row);

  // Puts each page tab at the place its id has among places, or in the compact view's row
  // (from rowTop down to the row's bottom) with the same left and right; a tab that has no place
  // there is hidden.
  void PlacePageTabs(std::span<const processor_layout::Button> places, int rowTop, bool compact);
  // Redraws the whole client area (the background image's rectangle), invalidating it.
  void RedrawPanel();
  // Draws the latest readings on the meters shown now (a page or channel that just appeared).
  void ShowLatestMeterReadings();
  // Redraws one widget's rectangle with the background, invalidating it.
  void RedrawControl(const CControlObject* control);
  // Binds the widget to id and hands it the device's current value; skips a null widget.
  void BindAndRefresh(CControlObject* control, int id);
  // Hands the widget the current value of its bound id (and its disabled flag); skips a null
  // widget.
  void Refresh(CControlObject* control);
  // Binds the band rows of an equaliser page to one channel: row b of the field whose first id
  // is firstIds[f] (frequency, Q, gain, type, bypass) gets firstIds[f] + offset + b.
  template <std::size_t N>
  void BindBandRows(const std::array<CTextControl*, N>& frequency, const std::array<CTextControl*, N>& q,
                    const std::array<CTextControl*, N>& gain, const std::array<CCustomComboBox*, N>& type,
                    const std::array<CBmpButton*, N>& bypass, const std::array<int, 5>& firstIds, int offset);
  // The device's selected input (output), limited to the channels a panel has; 0 without one.
  std::uint32_t SelectedInput() const;
  std::uint32_t SelectedOutput() const;
  // True when the device shows this page.
  bool IsOnPage(std::uint32_t page) const;
  // The input (else output) caption from the selected channel's link group.
  void UpdateLinkCaption(bool inputs, bool redraw);
  // Draws the widget into the back buffer and paints its rectangle at once. While a mouse move
  // is handled the widget is drawn and painted once, when the move is done, however many of
  // its values the move changed.
  void RepaintControlNow(CControlObject* control);
  // Shows the band's frame only; a frame that changed is redrawn when asked.
  void ShowBandFrame(std::span<CControlObject* const> frames, int band, bool redraw);

  // ====== Widget fields (not owning; null when the derived panel builds no such widget) ======
  // Each comment names the id the widget carries: a parameter of NerexParamIds.h or an id of
  // the panels' own (resources/ProcessorPanelLayout.h, TorvexPanelLayout.h). i counts inputs,
  // k outputs, j the linked channel, b bands.
  std::array<CBmpButton*, 6> m_pageTabs{};                 // derived panels only
  CBmpButton* m_presetManagerButton = nullptr;             // kPresetManagerId
  std::array<CBmpButton*, 8> m_channelSelect{};            // kChannelSelectId + j
  std::array<CBmpButton*, 5> m_sideTabs{};                 // derived panels only
  std::array<CBitmapFader*, 4> m_inputFaders{};            // kParamInputGain + i
  std::array<CTextControl*, 4> m_inputGainTexts{};         // kParamInputGain + i
  std::array<CBitmapFader*, 8> m_outputFaders{};           // kParamOutputGain + k
  std::array<CTextControl*, 8> m_outputGainTexts{};        // kParamOutputGain + k
  std::array<CBitmapMeter*, 4> m_inputMeters{};            // meter timer
  std::array<CBitmapMeter*, 8> m_outputMeters{};           // meter timer
  std::array<CBmpButton*, 4> m_inputMutes{};               // kParamInputMute + i
  std::array<std::array<CControlObject*, 4>, 3> m_inputRows{};   // derived panels only
  std::array<CBmpButton*, 8> m_outputMutes{};              // kParamOutputMute + k
  std::array<CBmpButton*, 8> m_outputPolarity{};           // kParamOutputPhase + k
  std::array<std::array<CControlObject*, 8>, 2> m_outputRows{};  // derived panels only
  CTextControl* m_deviceName = nullptr;                    // kParamDeviceName
  CTextControl* m_headerText = nullptr;                    // derived panels only
  std::array<CTextControl*, 4> m_inputNames{};             // kParamInputName + i
  std::array<CTextControl*, 8> m_outputNames{};            // kParamOutputName + k
  std::array<CTextControl*, 4> m_inputDelays{};            // kParamInputDelay + i
  std::array<CTextControl*, 8> m_outputDelays{};           // kParamOutputDelay + k
  std::array<CControlObject*, 2> m_spareWidgets{};         // not used by the base
  CCustomComboBox* m_autoLimiters = nullptr;               // kParamAutoLimiters
  std::array<std::array<CControlObject*, 4>, 8> m_matrixGains{};       // [k][i]: kParamMatrixGain + 4k + i
  std::array<std::array<CControlObject*, 4>, 8> m_matrixGainTexts{};   // [k][i]: the same ids
  std::array<std::array<CBmpButton*, 4>, 8> m_routingButtons{};        // [k][i]: kParamMatrixRouting + 4k + i
  std::array<CTextControl*, 8> m_limiterLevels{};          // kParamLimiterLevel + k
  std::array<CTextControl*, 8> m_clipLevels{};             // kParamLimiterClipLevel + k
  std::array<CCustomComboBox*, 8> m_limiterAttacks{};      // kParamLimiterAttack + k
  std::array<CCustomComboBox*, 8> m_limiterReleases{};     // kParamLimiterRelease + k
  std::array<CCustomComboBox*, 8> m_clipReleases{};        // kParamLimiterClipRelease + k
  std::array<std::array<CBmpButton*, 8>, 8> m_outputLinks{};  // [k][j]: kParamOutputLinkBit + 8k + j
  std::array<std::array<CBmpButton*, 4>, 4> m_inputLinks{};   // [i][j]: kParamInputLinkBit + 4i + j
  std::array<CControlObject*, 7> m_moreSpareWidgets{};     // not used by the base
  CCustomComboBox* m_presetList = nullptr;                 // refilled by RefillPresetList
  std::array<CBmpButton*, 3> m_presetButtons{};            // kLcdRecallId, kLcdNextId, kLcdPreviousId
  CTextControl* m_lcdText = nullptr;                       // SetLcdText

  // Input GEQ page; s is the selected input.
  CControlObject* m_geqBypass = nullptr;                   // kParamGeqBypass + s
  CControlObject* m_geqFlat = nullptr;                     // kGeqFlattenId + s
  CControlObject* m_geqShape = nullptr;                    // kParamGeqMode + s
  CNerexSeriesParametricControl* m_geqCurve = nullptr;
  std::array<CControlObject*, 28> m_geqFaders{};           // kParamGeqBand + 28s + b

  // Input PEQ page.
  CNerexSeriesParametricControl* m_peqCurve = nullptr;
  CTextControl* m_inputCaption = nullptr;
  std::array<CTextControl*, 8> m_peqFrequency{};           // kParamInputPeqFrequency + 8s + b
  std::array<CTextControl*, 8> m_peqQ{};                   // kParamInputPeqQ + 8s + b
  std::array<CTextControl*, 8> m_peqGain{};                // kParamInputPeqGain + 8s + b
  std::array<CCustomComboBox*, 8> m_peqType{};             // kParamInputPeqType + 8s + b
  std::array<CBmpButton*, 8> m_peqBypass{};                // kParamInputPeqBypass + 8s + b
  std::array<CControlObject*, 8> m_peqFrames{};            // only the selected band's shows

  // Input DEQ page; n = 3s + b.
  CTorvexSeriesDEQControl* m_deqGraph = nullptr;
  CCustomComboBox* m_deqModeList = nullptr;                // kParamDynamicEqMode
  CCustomComboBox* m_deqLinkingList = nullptr;             // kParamDynamicEqLinking
  std::array<CTextControl*, 3> m_deqFrequency{};           // kParamDeqFrequency + n
  std::array<CTextControl*, 3> m_deqQ{};                   // kParamDeqQ + n
  std::array<CTextControl*, 3> m_deqEffect{};              // kParamDeqEffect + n
  std::array<CCustomComboBox*, 3> m_deqShape{};            // kParamDeqFilterKind + n
  std::array<CBmpButton*, 3> m_deqBypass{};                // kParamDeqBypass + n
  std::array<CTextControl*, 3> m_deqThreshold{};           // kParamDeqThreshold + n
  std::array<CTextControl*, 3> m_deqRatio{};               // kParamDeqRatio + n
  std::array<CTextControl*, 3> m_deqAttack{};              // kParamDeqAttack + n
  std::array<CTextControl*, 3> m_deqRelease{};             // kParamDeqRelease + n
  std::array<CCustomComboBox*, 3> m_deqDynamicMode{};      // kParamDeqMode + n
  std::array<CCompressorMeter*, 3> m_deqBandGraphs{};      // kDeqBandGraphId + n
  std::array<CControlObject*, 3> m_deqFrames{};            // only the selected band's shows
  CCustomComboBox* m_compressorLimiters = nullptr;         // kParamCompressorLimiters

  // Output EQ page; o is the selected output.
  CNerexSeriesParametricControl* m_outputEqCurve = nullptr;
  CTextControl* m_outputCaption = nullptr;
  std::array<CTextControl*, 9> m_outputPeqFrequency{};     // kParamOutputPeqFrequency + 9o + b
  std::array<CTextControl*, 9> m_outputPeqQ{};             // kParamOutputPeqQ + 9o + b
  std::array<CTextControl*, 9> m_outputPeqGain{};          // kParamOutputPeqGain + 9o + b
  std::array<CCustomComboBox*, 9> m_outputPeqType{};       // kParamOutputPeqType + 9o + b
  std::array<CBmpButton*, 9> m_outputPeqBypass{};          // kParamOutputPeqBypass + 9o + b
  std::array<CControlObject*, 9> m_outputPeqFrames{};      // only the selected band's shows
  CTextControl* m_highPassFrequency = nullptr;             // kParamHighPassFrequency + o
  CTextControl* m_lowPassFrequency = nullptr;              // kParamLowPassFrequency + o
  CCustomComboBox* m_highPassType = nullptr;               // kParamHighPassType + o
  CCustomComboBox* m_lowPassType = nullptr;                // kParamLowPassType + o

  // Output compressor page, per output k.
  std::array<CTextControl*, 8> m_compressorNames{};        // kParamOutputName + k
  std::array<CBitmapMeter*, 8> m_gainReductionMeters{};
  std::array<CBmpButton*, 8> m_compressorBypass{};         // kParamCompressorBypass + k
  std::array<CTextControl*, 8> m_compressorThreshold{};    // kParamCompressorThreshold + k
  std::array<CTextControl*, 8> m_compressorRatio{};        // kParamCompressorRatio + k
  std::array<CTextControl*, 8> m_compressorAttack{};       // kParamCompressorAttack + k
  std::array<CTextControl*, 8> m_compressorRelease{};      // kParamCompressorRelease + k
  std::array<CTextControl*, 8> m_compressorSoftKnee{};     // kParamCompressorSoftKnee + k
  std::array<CCompressorMeter*, 8> m_compressorGraphs{};   // kCompressorGraphId + k

  std::array<ControlGroup, kPanelGroupCount> m_groups;
  CControlObject* m_sideViewFrame = nullptr;               // redrawn by SelectSideTab
  std::uint32_t m_meterTimerId = 0;                        // 0 while no timer runs
  bool m_toolTipsEnabled = false;
  // The widgets to repaint once the mouse move in hand is done; collecting while set.
  bool m_collectRepaints = false;
  std::vector<CControlObject*> m_pendingRepaints;
  bool m_meterUpdateRequested = false;
};
