// The Zel amplifiers' control panel: its widgets (at the places of resources/ZelPanelLayout.h),
// the refresh from the amplifier, the meters, the information display and the user's rights.
#include "panels/amplifier/ZelSeriesControlPanel.h"

#include <cstdio>

#include "core/draw/BitmapImage.h"
#include "core/model/DeviceHost.h"
#include "core/model/User.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/Knob.h"
#include "panels/framework/PanelLayoutRect.h"
#include "panels/framework/SkinCache.h"
#include "panels/framework/TextControl.h"
#include "platform/MouseMessages.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"
#include "resources/ZelPanelLayout.h"

namespace zl = zel_layout;

namespace {

constexpr const char* kNameFace = "HandelGotDLig";
constexpr const char* kLabelFace = "Arial Black";
constexpr const char* kLcdFace = "LiquidCrystal";
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kDisplayInk = 0xFF000000u;
constexpr std::uint32_t kProtectInk = 0xFFB40000u;
// Gains of -60 to 0 dB on the knobs; names of 16 and 40 characters.
constexpr int kGainMin = -60;
constexpr int kGainMax = 0;
constexpr int kKnobTickLength = 3;
constexpr int kChannelNameChars = 16;
constexpr int kAmpNameChars = 40;
// The widgets' flags: the gain readout's, the mute and solo buttons' (toggles with a face and
// their LED colour).
constexpr std::uint32_t kGainTextFlags = 0x165;
constexpr std::uint32_t kMuteFlags = 0x10C;
constexpr std::uint32_t kSoloFlags = 0x100C;

// Every skin: resource number and whether it is a "PNG" (else a "BMP") resource.
constexpr CSkinCache::Skin kSkins[] = {
    {4124, true}, {4125, true}, {4126, true}, {4127, true}, {4128, true}, {4129, true}, {4132, false},
    {4133, false}, {4134, false}, {4135, false}, {4136, true}, {4137, true}, {4138, true}, {4139, true},
    {4140, true}, {4141, true}, {4104, false}, {4105, false}, {4106, false}, {4107, false}, {4123, false},
};

CSkinCache& Skins() {
  static CSkinCache skins;
  return skins;
}

CBitmapImage* Skin(std::uint32_t id) { return Skins().Get(id); }

// The rectangle at the point of the skin's size (empty when the skin did not load).
CRect SizedFrom(zl::Spot at, std::uint32_t id) {
  const CBitmapImage* image = Skin(id);
  return CRect{at.x, at.y, at.x + (image ? image->GetWidth() : 0), at.y + (image ? image->GetHeight() : 0)};
}

// The background of a type code: the Zel-1 (56), then the Zel-2 to Zel-6 (51 to 55) in resource
// order; the Zel-3's for any other.
std::uint32_t BackgroundOf(std::uint32_t typeCode) {
  if (typeCode == 56) return kZelSkinBackgroundZel1;
  if (typeCode >= 51 && typeCode <= 55) return kZelSkinBackgroundZel1 + 1 + (typeCode - 51);
  return kZelSkinBackgroundZel3;
}

struct DisplayRow {
  const char* face;
  float points;
  CRect rect;
  const char* text;
};

// The information display in creation order (all bound to the display's text id, not editable,
// no flags).
const DisplayRow kDisplayRows[CZelSeriesControlPanel::kDisplayTexts] = {
    {kLabelFace, 7, {480, 50, 580, 70}, "TOTAL UP TIME"},
    {kLabelFace, 7, {480, 82, 620, 97}, "CURRENT UP TIME"},
    {kLabelFace, 7, {480, 114, 580, 129}, "POWER CYCLES"},
    {kLabelFace, 7, {580, 115, 630, 130}, "TEMP."},
    {kLabelFace, 7, {580, 50, 650, 125}, "ACTIVE\nLOADS"},
    {kLabelFace, 10, {605, 125, 630, 155}, "\xC2\xBA" "C"},
    {kLabelFace, 8, {510, 125, 540, 145}, "V"},
    {kLabelFace, 8, {510, 82, 550, 102}, "V"},
    {kLabelFace, 8, {510, 105, 550, 125}, "A"},
    {kLabelFace, 8, {510, 62, 550, 82}, "A"},
    {kLabelFace, 8, {560, 72, 650, 92}, "\xCE\xA9"},
    {kLabelFace, 8, {560, 115, 650, 135}, "\xCE\xA9"},
    {kLabelFace, 7, {480, 90, 680, 110}, "____________________"},
    {kLcdFace, 14, {480, 65, 650, 90}, ""},
    {kLcdFace, 14, {480, 97, 650, 112}, ""},
    {kLcdFace, 14, {480, 129, 580, 154}, ""},
    {kLcdFace, 14, {580, 130, 650, 155}, ""},
    {kLcdFace, 14, {475, 82, 515, 102}, ""},
    {kLcdFace, 14, {475, 125, 515, 145}, ""},
    {kLcdFace, 14, {475, 62, 515, 82}, ""},
    {kLcdFace, 14, {475, 105, 515, 125}, ""},
    {kLcdFace, 14, {525, 72, 565, 92}, ""},
    {kLcdFace, 14, {525, 115, 565, 135}, ""},
    {kLabelFace, 8, {490, 45, 590, 70}, ""},
    {kLabelFace, 8, {490, 140, 590, 165}, ""},
};

// The amplifier's mode, which the comms worker writes under the system's lock.
std::uint32_t ModeOf(CZelSeriesDevice& amp) {
  CSingleLock lock(amp.GetHost()->GetLock());
  return amp.GetMode();
}

// Level LED thresholds (V), top LED first.
constexpr float kLevelThresholds[5] = {36.0f, 27.0f, 18.0f, 9.0f, 0.5f};

}  // namespace

std::string FormatZelUpTime(std::uint32_t s) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d:%02d:%02d\n", int(s / 604800u), int(s % 604800u / 86400u),
                int(s % 86400u / 3600u), int(s % 3600u / 60u), int(s % 60u));
  return buffer;
}

CZelSeriesControlPanel::CZelSeriesControlPanel() = default;

CZelSeriesControlPanel::~CZelSeriesControlPanel() {
  // The background is shared: the base must not free it.
  SetBackgroundImage(nullptr);
  if (m_counted) Skins().Release();
}

int CZelSeriesControlPanel::GetInstanceCount() { return Skins().GetUsers(); }
bool CZelSeriesControlPanel::AreSkinsLoaded() { return Skins().IsLoaded(); }

CZelSeriesDevice* CZelSeriesControlPanel::Amp() const { return dynamic_cast<CZelSeriesDevice*>(GetDevice()); }

int CZelSeriesControlPanel::ChannelCount() const {
  const CDevice* device = GetDevice();
  return device ? GetZelSeriesChannelCount(device->GetTypeCode()) : 2;
}

template <class T>
T* CZelSeriesControlPanel::Add(T* widget) {
  AddControl(widget);
  return widget;
}

bool CZelSeriesControlPanel::Create() {
  Skins().Acquire(kSkins);
  m_counted = true;
  SetBackgroundImage(Skin(kZelSkinBackgroundZel3));
  const CRect plateBounds = SizedFrom(zl::Spot{0, 0}, kZelSkinChannelCover);
  for (int ch = 0; ch < zl::kChannels; ++ch) {
    const int x = zl::kPlate.x + zl::kChannelPitch * ch;
    m_plates[std::size_t(ch)] =
        Add(new CBitmapObject(this, zl::kPlateId + ch, Skin(kZelSkinPlateA + std::uint32_t(ch)),
                              CRect{x, zl::kPlate.y, x + plateBounds.right, zl::kPlate.y + plateBounds.bottom}));
  }
  m_onlineStrip = Add(new CBitmapObject(this, zl::kOnlineStripId, Skin(kZelSkinOnlineStrip),
                                        SizedFrom(zl::kStatusStrip, kZelSkinOnlineStrip)));
  m_offlineStrip = Add(new CBitmapObject(this, zl::kOfflineStripId, Skin(kZelSkinOfflineStrip),
                                         SizedFrom(zl::kStatusStrip, kZelSkinOfflineStrip)));
  m_awayStrip = Add(new CBitmapObject(this, zl::kAwayStripId, Skin(kZelSkinAwayStrip),
                                      SizedFrom(zl::kStatusStrip, kZelSkinAwayStrip)));
  m_standbyCover = Add(new CBitmapObject(this, zl::kStandbyCoverId, Skin(kZelSkinStandbyCover),
                                         SizedFrom(zl::kStandbyCover, kZelSkinStandbyCover)));
  for (int ch = 0; ch < zl::kChannels; ++ch) CreateChannel(ch);
  CreateStatusWidgets();
  m_ampName =
      Add(new CTextControl(this, kZelParamAmpName, true, kNameFace, 14, kWhite, kTextCentre, ToRect(zl::kAmpName)));
  m_ampName->SetMaxLength(kAmpNameChars);
  m_ampName->SetNeededRights(kRestrictEditDeviceProperties);
  for (int row = 0; row < kDisplayTexts; ++row) {
    const DisplayRow& d = kDisplayRows[row];
    CTextControl* text =
        Add(new CTextControl(this, zl::kDisplayTextId, false, d.face, d.points, kDisplayInk, 0, d.rect));
    text->SetText(d.text);
    m_display[std::size_t(row)] = text;
  }
  return true;
}

// Channel ch's knob, readout, buttons, name and LEDs.
void CZelSeriesControlPanel::CreateChannel(int ch) {
  const auto c = std::size_t(ch);
  const int dx = zl::kChannelPitch * ch;
  auto at = [dx](zl::Spot spot) { return zl::Spot{spot.x + dx, spot.y}; };
  CKnob* knob = Add(new CKnob(this, kZelParamGain + ch, ToRect(zl::kKnob.Moved(dx, 0))));
  knob->m_minimum = kGainMin;
  knob->m_maximum = kGainMax;
  knob->m_tickLength = kKnobTickLength;
  m_knobs[c] = knob;
  m_gainTexts[c] = Add(new CTextControl(this, kZelParamGain + ch, true, kNameFace, 8, kWhite, kGainTextFlags,
                                        ToRect(zl::kGainText.Moved(dx, 0))));
  m_mutes[c] = Add(new CBmpButton(this, kZelParamMute + ch, Skin(kZelSkinButton),
                                  SizedFrom(at(zl::kMute), kZelSkinButton), kMuteFlags));
  m_solos[c] = Add(new CBmpButton(this, kZelParamSolo + ch, Skin(kZelSkinButton),
                                  SizedFrom(at(zl::kSolo), kZelSkinButton), kSoloFlags));
  CTextControl* name = Add(new CTextControl(this, kZelParamChannelName + ch, true, kNameFace, 7, kWhite, kTextRight,
                                            ToRect(zl::kChannelName.Moved(dx, 0))));
  name->SetMaxLength(kChannelNameChars);
  // Under the channel cover, and a name besides.
  name->SetNeededRights(kRestrictUseDeviceControls | kRestrictEditDeviceProperties);
  m_names[c] = name;
  m_limits[c] = Add(
      new CBitmapLED(this, kZelParamLimit + ch, Skin(kZelSkinLedRed), SizedFrom(at(zl::kLimitLed), kZelSkinLedRed)));
  for (int j = 0; j < zl::kLevelLeds; ++j) {
    // The level LEDs take the red LED's size.
    const CRect r = SizedFrom(zl::Spot{zl::kLevelLed.x + dx, zl::kLevelLed.y + zl::kLedPitch * j}, kZelSkinLedRed);
    m_levels[c][std::size_t(j)] = Add(new CBitmapLED(this, zl::kLevelLedId + ch, Skin(kZelSkinLedLevel), r));
  }
  const int down = zl::kLedPitch * ch;
  m_oks[c] = Add(new CBitmapLED(this, kZelParamOk + ch, Skin(kZelSkinLedGreen),
                                SizedFrom(zl::Spot{zl::kOkLed.x, zl::kOkLed.y + down}, kZelSkinLedGreen)));
  m_checks[c] = Add(new CBitmapLED(this, kZelParamCheck + ch, Skin(kZelSkinLedRed),
                                   SizedFrom(zl::Spot{zl::kCheckLed.x, zl::kCheckLed.y + down}, kZelSkinLedRed)));
}

// The temperature bar, the mode and state LEDs, the three buttons and the covers.
void CZelSeriesControlPanel::CreateStatusWidgets() {
  for (int k = 0; k < zl::kTemperatureLeds; ++k) {
    const std::uint32_t image = k < 4 ? kZelSkinLedGreen : k < 6 ? kZelSkinLedAmber : kZelSkinLedRed;
    const zl::Spot spot{zl::kTemperatureLed.x, zl::kTemperatureLed.y - zl::kLedPitch * k};
    m_temperature[std::size_t(k)] =
        Add(new CBitmapLED(this, zl::kTemperatureLedId, Skin(image), SizedFrom(spot, image)));
  }
  auto led = [&](int id, std::uint32_t image, zl::Spot spot) {
    return Add(new CBitmapLED(this, id, Skin(image), SizedFrom(spot, image)));
  };
  m_mono = led(kZelParamMonoLed, kZelSkinLedGreen, zl::kMonoLed);
  m_bridge = led(kZelParamBridgeLed, kZelSkinLedRed, zl::kBridgeLed);
  m_stereo = led(kZelParamStereoLed, kZelSkinLedAmber, zl::kStereoLed);
  m_active = led(kZelParamActiveLed, kZelSkinLedGreen, zl::kActiveLed);
  m_standbyLed = led(kZelParamStandbyLed, kZelSkinLedRed, zl::kStandbyLed);
  m_protect = led(kZelParamProtectLed, kZelSkinLedRed, zl::kProtectLed);
  auto button = [&](int id, zl::Spot spot) {
    return Add(new CBmpButton(this, id, Skin(kZelSkinButton), SizedFrom(spot, kZelSkinButton), kButtonFace));
  };
  m_standbyButton = button(kZelParamStandby, zl::kStandbyButton);
  m_pageButton = button(kZelParamPanelPage, zl::kPageButton);
  m_identifyButton = button(kZelParamIdentify, zl::kIdentifyButton);
  // Turning the display's page and asking the unit to show itself change nothing.
  m_pageButton->SetNeededRights(0);
  m_identifyButton->SetNeededRights(0);
  m_channelCover = Add(new CBitmapObject(this, zl::kChannelCoverId, Skin(kZelSkinChannelCover),
                                         SizedFrom(zl::kChannelCover, kZelSkinChannelCover), kBitmapHalfOpacity));
  m_statusCover = Add(new CBitmapObject(this, zl::kStatusCoverId, Skin(kZelSkinStatusCover),
                                        SizedFrom(zl::kStatusCover, kZelSkinStatusCover), kBitmapHalfOpacity));
}

void CZelSeriesControlPanel::Redraw(const CRect& rect) { RedrawRect(&rect, true, true); }

void CZelSeriesControlPanel::UpdateAllControls() {
  CZelSeriesDevice* amp = Amp();
  if (!amp) return;
  const CSize size = amp->GetPanelSize();
  CreateBackBuffer(size.cx, size.cy);

  const std::uint32_t type = amp->GetTypeCode();
  SetBackgroundImage(Skin(BackgroundOf(type)));
  const int channels = ChannelCount();
  for (int ch = 2; ch < 4; ++ch) m_plates[std::size_t(ch)]->SetVisible(type == 55);
  if (type == 55) {
    m_mono->SetVisible(false);
    for (int ch = 0; ch < 4; ++ch) {
      const int down = zl::kLedPitch * ch;
      m_oks[std::size_t(ch)]->SetRect(
          SizedFrom(zl::Spot{zl::kOkLedOfFour.x, zl::kOkLedOfFour.y + down}, kZelSkinLedGreen));
      m_checks[std::size_t(ch)]->SetRect(
          SizedFrom(zl::Spot{zl::kCheckLedOfFour.x, zl::kCheckLedOfFour.y + down}, kZelSkinLedGreen));
    }
  }
  for (int ch = 0; ch < 4; ++ch) {
    const auto c = std::size_t(ch);
    const bool shown = ch < channels;
    for (CControlObject* w : std::initializer_list<CControlObject*>{m_knobs[c], m_gainTexts[c], m_mutes[c], m_solos[c],
                                                                     m_names[c], m_limits[c], m_oks[c], m_checks[c]})
      w->SetVisible(shown);
    for (CBitmapLED* level : m_levels[c]) level->SetVisible(shown);
  }
  ShowStrip(amp->IsConnected());
  ApplyPermissions(false);

  for (int ch = 0; ch < 4; ++ch) {
    const auto c = std::size_t(ch);
    const CParamValue gain = amp->GetCurrentValue(kZelParamGain + ch);
    m_knobs[c]->UpdateFromParameter(gain);
    m_gainTexts[c]->UpdateFromParameter(gain);
    m_mutes[c]->UpdateFromParameter(amp->GetCurrentValue(kZelParamMute + ch));
    m_solos[c]->UpdateFromParameter(amp->GetCurrentValue(kZelParamSolo + ch));
    m_names[c]->UpdateFromParameter(amp->GetCurrentValue(kZelParamChannelName + ch));
    m_limits[c]->UpdateFromParameter(amp->GetCurrentValue(kZelParamLimit + ch));
    m_oks[c]->UpdateFromParameter(amp->GetCurrentValue(kZelParamOk + ch));
    m_checks[c]->UpdateFromParameter(amp->GetCurrentValue(kZelParamCheck + ch));
  }
  m_ampName->UpdateFromParameter(amp->GetCurrentValue(kZelParamAmpName));
  m_mono->UpdateFromParameter(amp->GetCurrentValue(kZelParamMonoLed));
  m_bridge->UpdateFromParameter(amp->GetCurrentValue(kZelParamBridgeLed));
  m_stereo->UpdateFromParameter(amp->GetCurrentValue(kZelParamStereoLed));
  m_active->UpdateFromParameter(amp->GetCurrentValue(kZelParamActiveLed));
  m_standbyLed->UpdateFromParameter(amp->GetCurrentValue(kZelParamStandbyLed));
  m_protect->UpdateFromParameter(amp->GetCurrentValue(kZelParamProtectLed));

  RefreshInfoDisplay(true);
  UpdateStateWidgets(ModeOf(*amp));
  m_standbyCover->SetVisible(amp->IsInStandby());
  RefreshLevelMeters();
  RedrawRect(nullptr, true, true);
}

void CZelSeriesControlPanel::ApplyPermissions(bool redraw) {
  const std::uint64_t mask = GetUserRestrictions();
  const bool covered = (mask & kRestrictUseDeviceControls) != 0;
  m_channelCover->SetVisible(covered);
  m_statusCover->SetVisible(covered);
  const bool editable = (mask & kRestrictEditDeviceProperties) == 0;
  m_ampName->SetEditable(editable);
  for (int ch = 0; ch < ChannelCount(); ++ch) m_names[std::size_t(ch)]->SetEditable(editable);
  if (redraw) RedrawRect(nullptr, true, true);
}

void CZelSeriesControlPanel::ShowStrip(bool online) {
  const CDevice* device = GetDevice();
  const bool away = !online && device && device->HeldValues().IsAwayOnline();
  m_onlineStrip->SetVisible(online);
  m_awayStrip->SetVisible(away);
  m_offlineStrip->SetVisible(!online && !away);
}

void CZelSeriesControlPanel::UpdateOnlineStatus(bool online) {
  CControlPanelWnd::UpdateOnlineStatus(online);
  ShowStrip(online);
  const CRect strip = m_onlineStrip->GetRect();
  RedrawRect(&strip, true, false);
  RefreshInfoDisplay(true);
  RefreshLevelMeters();
  if (CZelSeriesDevice* amp = Amp()) {
    for (int ch = 0; ch < ChannelCount(); ++ch) {
      const CRect changed = m_limits[std::size_t(ch)]->UpdateFromParameter(amp->GetCurrentValue(kZelParamLimit + ch));
      if (!IsRectEmpty(changed)) Redraw(changed);
    }
  }
}

void CZelSeriesControlPanel::DispatchMouseMessage(std::uint32_t message, std::uint32_t flags, int x, int y) {
  if (message == WM_LBUTTONDBLCLK && ToRect(zl::kPageArea).Contains(CPoint{x, y})) {
    if (CDevice* device = GetDevice()) {
      CParamValue step;
      step.id = kZelParamPanelPage;
      step.kind = ParamKind::kNone;
      device->Gate().ApplyUserChange(step);
    }
    return;
  }
  CControlPanelWnd::DispatchMouseMessage(message, flags, x, y);
}

void CZelSeriesControlPanel::RefreshState(bool redraw) {
  CZelSeriesDevice* amp = Amp();
  if (!amp) return;
  UpdateStateWidgets(ModeOf(*amp));
  const bool standby = amp->IsInStandby();
  if (m_standbyCover->IsVisible() == standby) return;
  m_standbyCover->SetVisible(standby);
  if (redraw) Redraw(m_standbyCover->GetRect());
}

void CZelSeriesControlPanel::UpdateStateWidgets() {
  if (CZelSeriesDevice* amp = Amp()) UpdateStateWidgets(ModeOf(*amp));
}

void CZelSeriesControlPanel::UpdateStateWidgets(std::uint32_t mode) {
  const std::size_t c = ChannelCount() == 4 ? 3 : 1;
  const bool shown = mode != 1 && mode != 3;
  for (CControlObject* w : std::initializer_list<CControlObject*>{m_mutes[c], m_solos[c], m_knobs[c], m_gainTexts[c],
                                                                   m_names[c], m_plates[c], m_limits[c]})
    w->SetVisible(shown);
  for (CBitmapLED* level : m_levels[c]) level->SetVisible(shown);
  for (CBitmapLED* level : m_levels[c]) Redraw(level->GetRect());
  for (CControlObject* w : std::initializer_list<CControlObject*>{m_mutes[c], m_solos[c], m_plates[c], m_names[c],
                                                                   m_limits[c]})
    Redraw(w->GetRect());
}

void CZelSeriesControlPanel::ReleaseActiveWidgetAndRedraw() {
  SetActiveObject(nullptr);
  RedrawRect(nullptr, true, true);
}

void CZelSeriesControlPanel::SetLedLit(CBitmapLED* led, bool lit) {
  if (led->IsLit() == lit) return;
  led->SetLit(lit);
  Redraw(led->GetRect());
}

void CZelSeriesControlPanel::RefreshLevelMeters() {
  CZelSeriesDevice* amp = Amp();
  if (!amp) return;
  ZelSeriesMeters meters;
  std::int32_t temperature = 0;
  bool live = false;
  {
    CSingleLock lock(amp->GetHost()->GetLock());
    meters = amp->GetMeters();
    live = amp->IsConnected() && !amp->IsInStandby();
    temperature = live ? amp->GetTemperature() : 0;
  }
  for (int ch = 0; ch < ChannelCount(); ++ch) {
    const float v = live ? meters.outputVoltage[std::size_t(ch)] : 0.0f;
    for (int j = 0; j < 5; ++j) SetLedLit(m_levels[std::size_t(ch)][std::size_t(j)], v > kLevelThresholds[j]);
  }
  for (int k = 0; k < 7; ++k)
    SetLedLit(m_temperature[std::size_t(k)], std::uint32_t(temperature) >= std::uint32_t(30 + 10 * k));
}

void CZelSeriesControlPanel::SetDisplayText(int row, const std::string& text, bool forced) {
  CTextControl* control = m_display[std::size_t(row)];
  if (control->GetText() == text) return;
  control->SetText(text);
  if (!forced) Redraw(control->GetRect());
}

void CZelSeriesControlPanel::ShowDisplayRows(std::initializer_list<int> shown, std::initializer_list<int> hidden) {
  for (int row : shown) m_display[std::size_t(row)]->SetVisible(true);
  for (int row : hidden) m_display[std::size_t(row)]->SetVisible(false);
}

void CZelSeriesControlPanel::RefreshInfoDisplay(bool force) {
  CZelSeriesDevice* amp = Amp();
  if (!amp) return;
  std::uint32_t page = 0;
  std::uint8_t notInProtect = 1;
  bool connected = false;
  bool standby = false;
  std::int32_t temperature = 0;
  std::uint32_t counter1 = 0;
  std::uint32_t counter2 = 0;
  std::uint16_t cycles = 0;
  ZelSeriesMeters meters;
  {
    CSingleLock lock(amp->GetHost()->GetLock());
    page = amp->GetDisplayPage();
    notInProtect = amp->GetNotInProtect();
    connected = amp->IsConnected();
    standby = amp->IsInStandby();
    temperature = amp->GetTemperature();
    counter1 = amp->GetUpTimeCounter1();
    counter2 = amp->GetUpTimeCounter2();
    cycles = amp->GetPowerCycleCount();
    meters = amp->GetMeters();
  }

  const std::uint32_t ink = notInProtect != 0 ? kDisplayInk : kProtectInk;
  if (ink != m_display[kRowTotalLabel]->GetBrushColour() || force) {
    for (CTextControl* text : m_display) text->SetBrushColour(ink);
    force = true;
  }

  if (page == 0) {
    if (force)
      ShowDisplayRows({0, 1, 2, 3, 5, 13, 14, 15, 16}, {4, 6, 7, 8, 9, 10, 11, 12, 17, 18, 19, 20, 21, 22, 23, 24});
    SetDisplayText(kRowTotal, FormatZelUpTime(counter1), force);
    SetDisplayText(kRowCurrent, FormatZelUpTime(counter1 - counter2), force);
    SetDisplayText(kRowCycles, FormatText("%.6d", int(cycles)), force);
    const bool none = !connected || standby || temperature == 0;
    SetDisplayText(kRowTemp, none ? std::string("--") : FormatText("%.2d", int(temperature)), force);
  } else if (page == 1 || page == 2) {
    if (force) ShowDisplayRows({3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 16, 17, 18, 19, 20, 21, 22, 23, 24}, {0, 1, 2, 13, 14, 15});
    SetDisplayText(kRowTemp, FormatText("%.2d", int(connected && !standby ? temperature : 0)), force);
    const std::size_t first = page == 1 ? 0 : 2;
    const std::size_t second = first + 1;
    SetDisplayText(kRowVoltage1, FormatText("%.1f", double(meters.outputVoltage[first])), force);
    SetDisplayText(kRowVoltage2, FormatText("%.1f", double(meters.outputVoltage[second])), force);
    SetDisplayText(kRowCurrent1, FormatText("%.1f", double(meters.outputCurrent[first])), force);
    SetDisplayText(kRowCurrent2, FormatText("%.1f", double(meters.outputCurrent[second])), force);
    auto impedance = [&](std::size_t ch) -> std::string {
      const float current = meters.outputCurrent[ch];
      if (meters.loadMonitorState[ch] != 0 || !connected || current < 0.1f || (ch == 0 && standby))
        return "--";
      const int tenths = int(meters.outputVoltage[ch] / current * 10.0f);
      return FormatText("%.1f", double(tenths) / 10.0);
    };
    SetDisplayText(kRowImpedance1, impedance(first), force);
    SetDisplayText(kRowImpedance2, impedance(second), force);
    if (force) {
      SetDisplayText(kRowChannel1, page == 1 ? "Channel A" : "Channel C", true);
      SetDisplayText(kRowChannel2, page == 1 ? "Channel B" : "Channel D", true);
    }
  }
  if (force) Redraw(ToRect(zl::kDisplayArea));
}
