// The Zel amplifiers' control panel (887 x 189): per channel a plate, the gain knob and its
// readout, mute and solo, the channel name, the limit LED and a five-LED level column; beside
// them the OK and check LEDs, the information display with its page button, the temperature
// bar, the mode and state LEDs, Standby and Identify, the amplifier name and the online strip.
// The skins are the program's numbered images, shared by every open amplifier panel. UI thread.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "devices/amplifier/ZelSeriesPanel.h"
#include "panels/framework/ControlPanelWnd.h"

class CBitmapImage;
class CBitmapLED;
class CBitmapObject;
class CBmpButton;
class CKnob;
class CTextControl;
class CZelSeriesDevice;

// Skin images of the panel by resource number.
enum : std::uint32_t {
  kZelSkinBackgroundZel1 = 4124,  // 4124 to 4129: backgrounds of type codes 56, 51 to 55
  kZelSkinBackgroundZel3 = 4126,  // type code 52's, and the one Create sets
  kZelSkinPlateA = 4132,          // 4132 to 4135: channel plates A to D
  kZelSkinOnlineStrip = 4136,
  kZelSkinOfflineStrip = 4137,
  kZelSkinAwayStrip = 4141,
  kZelSkinStandbyCover = 4138,
  kZelSkinChannelCover = 4139,
  kZelSkinStatusCover = 4140,
  kZelSkinButton = 4104,
  kZelSkinLedGreen = 4105,
  kZelSkinLedRed = 4106,
  kZelSkinLedAmber = 4107,
  kZelSkinLedLevel = 4123,
};

// Up-time counters as weeks, days, hours, minutes and seconds: "WW:DD:HH:MM:SS\n".
std::string FormatZelUpTime(std::uint32_t seconds);

class CZelSeriesControlPanel : public CControlPanelWnd, public IZelSeriesPanel {
 public:
  static constexpr int kWidth = 887;
  static constexpr int kHeight = 189;
  // The information display's rows (display index 0 is the "TOTAL UP TIME" label).
  static constexpr int kDisplayTexts = 25;
  enum : int {
    kRowTotalLabel = 0,
    kRowCurrentLabel = 1,
    kRowCyclesLabel = 2,
    kRowTempLabel = 3,
    kRowLoadsLabel = 4,
    kRowTempUnit = 5,
    kRowSeparator = 12,
    kRowTotal = 13,
    kRowCurrent = 14,
    kRowCycles = 15,
    kRowTemp = 16,
    kRowVoltage1 = 17,
    kRowVoltage2 = 18,
    kRowCurrent1 = 19,
    kRowCurrent2 = 20,
    kRowImpedance1 = 21,
    kRowImpedance2 = 22,
    kRowChannel1 = 23,
    kRowChannel2 = 24,
  };

  CZelSeriesControlPanel();
  // The last panel of the class frees the shared skins.
  ~CZelSeriesControlPanel() override;

  static CControlPanelWnd* CreateObject() { return new CZelSeriesControlPanel; }
  // Panels alive that ran Create.
  static int GetInstanceCount();
  // True while the shared skins are loaded.
  static bool AreSkinsLoaded();

  // Loads the skins with the first panel and builds every widget.
  bool Create() override;
  void UpdateAllControls() override;
  void ApplyPermissions(bool redraw) override;
  // The status strip, and what lights only while the unit is connected: the display, the
  // level, temperature and limit LEDs. A unit can leave the connected level before it is
  // disconnected, and go offline from there without another status hint.
  void UpdateOnlineStatus(bool online) override;
  // A double-click on the information display steps its page; the rest goes to the widgets.
  void DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y) override;

  // --- What the amplifier asks of its panel ---
  void RefreshInfoDisplay(bool force) override;
  void RefreshLevelMeters() override;
  // The unused channel by mode, then the standby cover (redrawn when redraw and it changed).
  void RefreshState(bool redraw) override;
  // Hides the channel that a mono or bridged amplifier does not use, shows it otherwise.
  void UpdateStateWidgets() override;
  void ReleaseActiveWidgetAndRedraw() override;
  void UpdateStateWidgets(std::uint32_t mode);

  // --- Widgets, for tests ---
  CBitmapObject* GetPlate(int ch) const { return m_plates[std::size_t(ch)]; }
  CBitmapObject* GetOnlineStrip() const { return m_onlineStrip; }
  CBitmapObject* GetOfflineStrip() const { return m_offlineStrip; }
  CBitmapObject* GetAwayStrip() const { return m_awayStrip; }
  CBitmapObject* GetStandbyCover() const { return m_standbyCover; }
  CBitmapObject* GetChannelCover() const { return m_channelCover; }
  CBitmapObject* GetStatusCover() const { return m_statusCover; }
  CKnob* GetKnob(int ch) const { return m_knobs[std::size_t(ch)]; }
  CTextControl* GetGainText(int ch) const { return m_gainTexts[std::size_t(ch)]; }
  CBmpButton* GetMute(int ch) const { return m_mutes[std::size_t(ch)]; }
  CBmpButton* GetSolo(int ch) const { return m_solos[std::size_t(ch)]; }
  CTextControl* GetNameText(int ch) const { return m_names[std::size_t(ch)]; }
  CBitmapLED* GetLimitLed(int ch) const { return m_limits[std::size_t(ch)]; }
  CBitmapLED* GetLevelLed(int ch, int j) const { return m_levels[std::size_t(ch)][std::size_t(j)]; }
  CBitmapLED* GetOkLed(int ch) const { return m_oks[std::size_t(ch)]; }
  CBitmapLED* GetCheckLed(int ch) const { return m_checks[std::size_t(ch)]; }
  CBitmapLED* GetTemperatureLed(int k) const { return m_temperature[std::size_t(k)]; }
  CBitmapLED* GetMonoLed() const { return m_mono; }
  CBitmapLED* GetStereoLed() const { return m_stereo; }
  CBitmapLED* GetBridgeLed() const { return m_bridge; }
  CBitmapLED* GetActiveLed() const { return m_active; }
  CBitmapLED* GetStandbyLed() const { return m_standbyLed; }
  CBitmapLED* GetProtectLed() const { return m_protect; }
  CBmpButton* GetStandbyButton() const { return m_standbyButton; }
  CBmpButton* GetPageButton() const { return m_pageButton; }
  CBmpButton* GetIdentifyButton() const { return m_identifyButton; }
  CTextControl* GetAmpName() const { return m_ampName; }
  CTextControl* GetDisplayText(int row) const { return m_display[std::size_t(row)]; }

 private:
  // --- Building the widgets (Create) ---
  // Appends the widget to the panel's list, in drawing order.
  template <class T>
  T* Add(T* widget);
  void CreateChannel(int ch);
  void CreateStatusWidgets();
  // Shows the strip that says where a change goes: the unit's when online is set; none while
  // the system is online and the unit away, as the amplifier then refuses every change; else
  // the file's.
  void ShowStrip(bool online);

  CZelSeriesDevice* Amp() const;
  int ChannelCount() const;
  // One display text: set when it differs, redrawn unless the refresh is forced.
  void SetDisplayText(int row, const std::string& text, bool forced);
  void ShowDisplayRows(std::initializer_list<int> shown, std::initializer_list<int> hidden);
  void Redraw(const CRect& rect);
  void SetLedLit(CBitmapLED* led, bool lit);

  bool m_counted = false;

  std::array<CBitmapObject*, 4> m_plates{};
  CBitmapObject* m_onlineStrip = nullptr;
  CBitmapObject* m_offlineStrip = nullptr;
  CBitmapObject* m_awayStrip = nullptr;
  CBitmapObject* m_standbyCover = nullptr;
  CBitmapObject* m_channelCover = nullptr;
  CBitmapObject* m_statusCover = nullptr;
  std::array<CKnob*, 4> m_knobs{};
  std::array<CTextControl*, 4> m_gainTexts{};
  std::array<CBmpButton*, 4> m_mutes{};
  std::array<CBmpButton*, 4> m_solos{};
  std::array<CTextControl*, 4> m_names{};
  std::array<CBitmapLED*, 4> m_limits{};
  std::array<std::array<CBitmapLED*, 5>, 4> m_levels{};
  std::array<CBitmapLED*, 4> m_oks{};
  std::array<CBitmapLED*, 4> m_checks{};
  std::array<CBitmapLED*, 7> m_temperature{};
  CBitmapLED* m_mono = nullptr;
  CBitmapLED* m_stereo = nullptr;
  CBitmapLED* m_bridge = nullptr;
  CBitmapLED* m_active = nullptr;
  CBitmapLED* m_standbyLed = nullptr;
  CBitmapLED* m_protect = nullptr;
  CBmpButton* m_standbyButton = nullptr;
  CBmpButton* m_pageButton = nullptr;
  CBmpButton* m_identifyButton = nullptr;
  CTextControl* m_ampName = nullptr;
  std::array<CTextControl*, kDisplayTexts> m_display{};
};
