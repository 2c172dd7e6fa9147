// The Fennick panels: their widgets on the compact skin, the model line, the preset list's
// kept row, the compact view's meters and the preset questions.
#include "panels/processor/FennickControlPanel.h"

#include <algorithm>
#include <array>

#include "core/model/DeviceHost.h"
#include "core/system/SystemFile.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/framework/PanelLayoutRect.h"
#include "panels/framework/SkinCache.h"
#include "panels/framework/TextControl.h"
#include "resources/FennickPanelLayout.h"
#include "resources/ProcessorPanelLayout.h"
#include "panels/processor/NerexPresetUi.h"
#include "platform/Sync.h"

namespace fl = fennick_layout;
namespace pl = processor_layout;

namespace {

constexpr const char* kLcdFace = panel_face::kLcd;
constexpr const char* kListFace = "DejaVu Sans";
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kSoftInk = 0xFFB8C0CCu;
constexpr std::uint32_t kLcdInk = 0xFF14200Au;
constexpr const char* kPresetFileCaption = "Preset File";
// Meters read up to +9 dB; a quieter reading than the base's lowest level shows as that.
constexpr int kMeterTop = 9;
// The panel's buttons send true on a press and sink while held.
constexpr std::uint32_t kPushFlags = kButtonMomentary | kButtonFace | kButtonRedrawOnPress;

// The skins of both models, all "PNG" resources.
constexpr auto kSkins = [] {
  std::array<CSkinCache::Skin, fl::kSkinMute - fl::kSkinFennickBackground + 1> skins{};
  for (std::size_t i = 0; i < skins.size(); ++i) skins[i] = {fl::kSkinFennickBackground + std::uint32_t(i), true};
  return skins;
}();

CSkinCache& Skins() {
  static CSkinCache skins;
  return skins;
}

CBitmapImage* Skin(std::uint32_t id) { return Skins().Get(id); }

}  // namespace

CFennickControlPanel::CFennickControlPanel() = default;

CFennickControlPanel::~CFennickControlPanel() {
  // The background is shared: the base must not free it.
  SetBackgroundImage(nullptr);
  if (m_counted) Skins().Release();
}

int CFennickControlPanel::GetInstanceCount() { return Skins().GetUsers(); }

std::uint32_t CFennickControlPanel::GetBackgroundSkin() const { return fl::kSkinFennickBackground; }
const char* CFennickControlPanel::GetHeaderFace() const { return "DejaVu Sans Condensed"; }

std::uint32_t CZelFennickControlPanel::GetBackgroundSkin() const { return fl::kSkinZelFennickBackground; }
const char* CZelFennickControlPanel::GetHeaderFace() const { return "HandelGotDLig"; }

template <class T>
T* CFennickControlPanel::AddCompact(T* widget) {
  return Add(widget, {kPanelGroupCompact});
}

bool CFennickControlPanel::Create() {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device || !IsFennickModel(device->GetModel())) return false;
  // The compact skin is the Fennick's page: the device sizes the panel's window by it.
  device->PanelView().SetPanelPage(kNerexPageCompact);
  Skins().Acquire(kSkins);
  m_counted = true;
  SetBackgroundImage(Skin(GetBackgroundSkin()));

  const char* face = GetHeaderFace();
  const fl::Box name = fl::kNameField;
  m_deviceName = AddCompact(new CTextControl(this, kParamDeviceName, true, face, 11.0f, kWhite,
                                             kTextVCentre | kTextSingleLine,
                                             CRect{name.left + 6, name.top, name.right - 6, name.bottom}));
  // The unit holds 40 characters of its name.
  m_deviceName->SetMaxLength(40);
  m_headerText = AddCompact(new CTextControl(this, 0, false, face, 7.5f, kSoftInk, kTextVCentre | kTextSingleLine,
                                             ToRect(fl::kModelLine)));

  m_lcdText = AddCompact(new CTextControl(this, 0, false, kLcdFace, 20.0f, kLcdInk,
                                          kTextCentre | kTextVCentre | kTextSingleLine, ToRect(fl::kLcdText)));
  const struct {
    int id;
    std::uint32_t skin;
    fl::Box box;
  } lcdButtons[] = {{pl::kLcdRecallId, fl::kSkinLcdRecall, fl::kLcdRecall},
                    {pl::kLcdNextId, fl::kSkinLcdNext, fl::kLcdNext},
                    {pl::kLcdPreviousId, fl::kSkinLcdPrevious, fl::kLcdPrevious}};
  for (std::size_t i = 0; i < m_presetButtons.size(); ++i) {
    m_presetButtons[i] = AddCompact(new CBmpButton(this, lcdButtons[i].id, Skin(lcdButtons[i].skin),
                                                   ToRect(lcdButtons[i].box), kPushFlags));
    m_presetButtons[i]->m_highlightRadius = 4;
  }

  m_presetList = AddCompact(new CCustomComboBox(this, kPresetListId, ToRect(fl::kPresetList)));
  m_presetList->GetTextStyle().Set(kListFace, 8.0f, CColour{kWhite});
  m_presetList->m_colour1 = 0xFF1A1C21u;
  m_presetList->m_colour2 = 0xFF5A616Cu;

  for (int i = 0; i < fl::kActionCount; ++i) {
    CBmpButton* button = AddCompact(new CBmpButton(this, fl::kActions[i].id, Skin(fl::kSkinStore + std::uint32_t(i)),
                                                   ToRect(fl::kActions[i].box), kPushFlags));
    button->m_highlightRadius = 4;
    m_actionButtons[std::size_t(i)] = button;
  }

  for (int c = 0; c < fl::kInputs + fl::kOutputs; ++c) {
    const bool input = c < fl::kInputs;
    const int channel = input ? c : c - fl::kInputs;
    const int meterLeft = fl::ColumnCentre(c) - fl::kMeterWidth / 2;
    const int muteLeft = fl::ColumnCentre(c) - fl::kMuteWidth / 2;
    auto* meter = AddCompact(
        new CBitmapMeter(this, (input ? pl::kInputMeterId : pl::kOutputMeterId) + channel, Skin(fl::kSkinMeter),
                         CRect{meterLeft, fl::kMeterTop, meterLeft + fl::kMeterWidth, fl::kMeterTop + fl::kMeterHeight},
                         kMeterTop, 0, kMeterLowestDb));
    auto* mute =
        AddCompact(new CBmpButton(this, (input ? kParamInputMute : kParamOutputMute) + channel, Skin(fl::kSkinMute),
                                  CRect{muteLeft, fl::kMuteTop, muteLeft + fl::kMuteWidth, fl::kMuteTop + fl::kMuteHeight}, 0));
    if (input) {
      m_inputMeters[std::size_t(channel)] = meter;
      m_inputMutes[std::size_t(channel)] = mute;
    } else {
      m_outputMeters[std::size_t(channel)] = meter;
      m_outputMutes[std::size_t(channel)] = mute;
    }
  }
  return true;
}

CBmpButton* CFennickControlPanel::GetActionButton(int id) const {
  for (CBmpButton* button : m_actionButtons)
    if (button && button->GetId() == id) return button;
  for (CBmpButton* button : m_presetButtons)
    if (button && button->GetId() == id) return button;
  return nullptr;
}

CBitmapMeter* CFennickControlPanel::GetMeter(int channel) const {
  return channel < fl::kInputs ? m_inputMeters[std::size_t(channel)] : m_outputMeters[std::size_t(channel - fl::kInputs)];
}

CBmpButton* CFennickControlPanel::GetMute(int channel) const {
  return channel < fl::kInputs ? m_inputMutes[std::size_t(channel)] : m_outputMutes[std::size_t(channel - fl::kInputs)];
}

void CFennickControlPanel::UpdateAllControls() {
  ShowModelLine();
  CNerexSeriesBaseControlPanel::UpdateAllControls();
}

void CFennickControlPanel::ShowModelLine() {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (device && m_headerText)
    m_headerText->SetText(device->GetModelName() + "   ID " + std::to_string(device->GetDeviceId()));
}

void CFennickControlPanel::UpdateDeviceId() {
  ShowModelLine();
  if (m_headerText) RedrawControl(m_headerText);
}

void CFennickControlPanel::ShowPage(std::uint32_t page) {
  if (page != kNerexPageCompact)
    if (CNerexSeriesDevice* device = GetNerexDevice()) device->PanelView().SetPanelPage(kNerexPageCompact);
  CNerexSeriesBaseControlPanel::ShowPage(kNerexPageCompact);
}

void CFennickControlPanel::RefillPresetList() {
  const int kept = m_presetList ? m_presetList->GetCurSel() : -1;
  CNerexSeriesBaseControlPanel::RefillPresetList();
  if (!m_presetList) return;
  const int rows = int(m_presetList->GetItems().size());
  m_presetList->SetCurSel(rows == 0 ? -1 : std::clamp(kept, 0, rows - 1));
  RedrawControl(m_presetList);
  // A memory stored, renamed or deleted may be the one the display shows.
  if (CNerexSeriesDevice* device = GetNerexDevice()) SetLcdText(device->GetSelectedPresetLabel(kSectionAll), true);
}

void CFennickControlPanel::OnTimer(std::uint32_t id) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (id != kMeterTimerId || !IsMeterUpdateRequested() || !device || device->PanelView().GetPanelPage() != kNerexPageCompact) {
    CNerexSeriesBaseControlPanel::OnTimer(id);
    return;
  }
  for (int c = 0; c < fl::kInputs + fl::kOutputs; ++c) {
    const float reading = c < fl::kInputs ? device->Meters().GetInputMeter(c) : device->Meters().GetOutputMeter(c - fl::kInputs);
    CBitmapMeter* meter = GetMeter(c);
    const int level = std::max(int(reading), kMeterLowestDb);
    if (level == meter->GetLevel()) continue;
    meter->SetLevel(level);
    RedrawControl(meter);
  }
  m_meterUpdateRequested = false;
}

// --- The preset questions ---

int CFennickControlPanel::GetPresetSelection() const { return m_presetList ? m_presetList->GetCurSel() : -1; }


bool CFennickControlPanel::AskPresetFile(bool save, std::string& path) {
  return NerexPresetUi::AskPresetFile(this, save, path);
}

void CFennickControlPanel::ShowPresetFileError(const std::string& message) {
  if (const CDevice* device = GetDevice(); device && device->GetHost())
    device->GetHost()->ShowFileError(message, kFileErrorCaption);
}

void CFennickControlPanel::ShowPresetFileNote(const std::string& message) {
  if (const CDevice* device = GetDevice(); device && device->GetHost())
    device->GetHost()->ShowFileError(message, kPresetFileCaption);
}

bool CFennickControlPanel::EditTimedPresets(TimedPresetEntry* entries, int count) {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device || count != kNerexTimedPresets) return false;
  return NerexPresetUi::EditTimedPresets(this, *device, entries);
}
