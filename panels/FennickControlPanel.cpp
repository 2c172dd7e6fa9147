// The Fennick panels: their widgets on the compact skin, the refresh from the processor, the
// preset list and display, the meters, the user's rights and the preset questions.
#include "panels/FennickControlPanel.h"

#include <algorithm>
#include <map>

#include "core/BitmapImage.h"
#include "core/System.h"
#include "core/SystemFile.h"
#include "core/User.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/BitmapMeter.h"
#include "panels/BmpButton.h"
#include "panels/CustomComboBox.h"
#include "panels/TextControl.h"
#include "platform/Sync.h"
#include "resources/FennickPanelLayout.h"
#include "ui/dialogs/NerexPresetUi.h"

namespace fl = fennick_layout;

namespace {

constexpr const char* kLcdFace = "LiquidCrystal";
constexpr const char* kListFace = "DejaVu Sans";
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kSoftInk = 0xFFB8C0CCu;
constexpr std::uint32_t kLcdInk = 0xFF14200Au;
// A set bit of the user's restriction mask withholds recalling presets.
constexpr std::uint64_t kRestrictRecallPresets = 0x04;
// The preset display's buttons: recall the shown preset, show the next or the previous one.
constexpr int kLcdRecallId = 436;
constexpr int kLcdNextId = 437;
constexpr int kLcdPreviousId = 438;
// Meters read from -40 dB to +9 dB; a quieter reading shows as -40.
constexpr int kMeterTop = 9;
constexpr int kMeterFloor = -40;

CRect ToRect(const fl::Box& b) { return CRect{b.left, b.top, b.right, b.bottom}; }

std::map<std::uint32_t, CBitmapImage*>& Skins() {
  static std::map<std::uint32_t, CBitmapImage*> skins;
  return skins;
}

CBitmapImage* Skin(std::uint32_t id) {
  const auto it = Skins().find(id);
  return it == Skins().end() ? nullptr : it->second;
}

void LoadSkins() {
  if (!Skins().empty()) return;
  for (std::uint32_t id = fl::kSkinFennickBackground; id <= fl::kSkinMute; ++id) {
    auto* image = new CBitmapImage;
    image->LoadFromResource(CBitmapImage::kResourcePng, id);
    Skins()[id] = image;
  }
}

}  // namespace

int CFennickControlPanel::s_instances = 0;

CFennickControlPanel::CFennickControlPanel() = default;

CFennickControlPanel::~CFennickControlPanel() {
  // The background is shared: the base must not free it.
  SetBackgroundImage(nullptr);
  if (m_counted && --s_instances == 0) {
    for (auto& [id, image] : Skins()) DeleteImage(image);
    Skins().clear();
  }
}

std::uint32_t CFennickControlPanel::GetBackgroundSkin() const { return fl::kSkinFennickBackground; }
const char* CFennickControlPanel::GetHeaderFace() const { return "DejaVu Sans Condensed"; }

std::uint32_t CZelFennickControlPanel::GetBackgroundSkin() const { return fl::kSkinZelFennickBackground; }
const char* CZelFennickControlPanel::GetHeaderFace() const { return "HandelGotDLig"; }

CNerexSeriesDevice* CFennickControlPanel::Processor() const { return dynamic_cast<CNerexSeriesDevice*>(GetDevice()); }

bool CFennickControlPanel::Create() {
  CNerexSeriesDevice* device = Processor();
  if (!device || !IsFennickModel(device->GetModel())) return false;
  // The compact skin is the Fennick's page: the device sizes the panel's window by it.
  device->SetPanelPage(kNerexPageCompact);
  ++s_instances;
  m_counted = true;
  LoadSkins();
  SetBackgroundImage(Skin(GetBackgroundSkin()));

  auto add = [this](auto* widget) {
    AddControl(widget);
    return widget;
  };
  const char* face = GetHeaderFace();
  m_nameText = add(new CTextControl(this, kParamDeviceName, true, face, 11.0f, kWhite,
                                    kTextVCentre | kTextSingleLine, CRect{fl::kNameField.left + 6, fl::kNameField.top, fl::kNameField.right - 6, fl::kNameField.bottom}));
  m_nameText->SetMaxLength(16);
  m_modelText = add(new CTextControl(this, 0, false, face, 7.5f, kSoftInk, kTextVCentre | kTextSingleLine,
                                     ToRect(fl::kModelLine)));

  m_lcdText = add(new CTextControl(this, 0, false, kLcdFace, 14.0f, kLcdInk,
                                   kTextCentre | kTextVCentre | kTextSingleLine, ToRect(fl::kLcdText)));
  const struct {
    int id;
    std::uint32_t skin;
    fl::Box box;
  } lcdButtons[] = {{kLcdRecallId, fl::kSkinLcdRecall, fl::kLcdRecall},
                    {kLcdNextId, fl::kSkinLcdNext, fl::kLcdNext},
                    {kLcdPreviousId, fl::kSkinLcdPrevious, fl::kLcdPrevious}};
  for (std::size_t i = 0; i < m_lcdButtons.size(); ++i) {
    CBmpButton* button = add(new CBmpButton(this, lcdButtons[i].id, Skin(lcdButtons[i].skin), ToRect(lcdButtons[i].box),
                                            kButtonMomentary | kButtonFace | kButtonRedrawOnPress));
    button->m_highlightRadius = 4;
    m_lcdButtons[i] = button;
  }

  m_presetList = add(new CCustomComboBox(this, kPresetListId, ToRect(fl::kPresetList)));
  m_presetList->GetTextStyle().Set(kListFace, 8.0f, CColour{kWhite});
  m_presetList->m_colour1 = 0xFF1A1C21u;
  m_presetList->m_colour2 = 0xFF5A616Cu;

  for (int i = 0; i < fl::kActionCount; ++i) {
    CBmpButton* button =
        add(new CBmpButton(this, fl::kActions[i].id, Skin(fl::kSkinStore + std::uint32_t(i)), ToRect(fl::kActions[i].box),
                           kButtonMomentary | kButtonFace | kButtonRedrawOnPress));
    button->m_highlightRadius = 4;
    m_actionButtons[std::size_t(i)] = button;
  }

  for (int c = 0; c < fl::kInputs + fl::kOutputs; ++c) {
    const bool input = c < fl::kInputs;
    const int channel = input ? c : c - fl::kInputs;
    const int meterLeft = fl::ColumnCentre(c) - fl::kMeterWidth / 2;
    m_meters[std::size_t(c)] =
        add(new CBitmapMeter(this, (input ? 1 : 5) + channel, Skin(fl::kSkinMeter),
                             CRect{meterLeft, fl::kMeterTop, meterLeft + fl::kMeterWidth, fl::kMeterTop + fl::kMeterHeight},
                             kMeterTop, 0, kMeterFloor));
    const int muteLeft = fl::ColumnCentre(c) - fl::kMuteWidth / 2;
    m_mutes[std::size_t(c)] =
        add(new CBmpButton(this, (input ? kParamInputMute : kParamOutputMute) + channel, Skin(fl::kSkinMute),
                           CRect{muteLeft, fl::kMuteTop, muteLeft + fl::kMuteWidth, fl::kMuteTop + fl::kMuteHeight}, 0));
  }
  return true;
}

CBmpButton* CFennickControlPanel::GetActionButton(int id) const {
  for (CBmpButton* button : m_actionButtons)
    if (button && button->GetId() == id) return button;
  for (CBmpButton* button : m_lcdButtons)
    if (button && button->GetId() == id) return button;
  return nullptr;
}

void CFennickControlPanel::Redraw(const CRect& rect) { RedrawRect(&rect, true, true); }

std::uint64_t CFennickControlPanel::RestrictionMask() const {
  const CDevice* device = GetDevice();
  const CSystem* system = device ? device->GetSystem() : nullptr;
  if (!system) return 0;
  const int index = system->GetCurrentUser();
  if (index < 0 || std::size_t(index) >= system->GetUsers().size()) return 0;
  return system->GetUsers()[std::size_t(index)]->GetRestrictionMask();
}

void CFennickControlPanel::ApplyPermissions(bool redraw) {
  if (!m_nameText) return;
  m_nameText->SetEditable((RestrictionMask() & kRestrictEditDeviceProperties) == 0);
  if (redraw) RedrawRect(nullptr, true, true);
}

void CFennickControlPanel::UpdateAllControls() {
  CNerexSeriesDevice* device = Processor();
  if (!device || !m_nameText) return;
  ApplyPermissions(false);
  const CSize size = device->GetPanelSize();
  CreateBackBuffer(size.cx, size.cy);
  if (!HasTimer(kMeterTimerId)) SetTimer(kMeterTimerId, kMeterPeriodMs);
  m_modelText->SetText(device->GetModelName() + "   ID " + std::to_string(device->GetDeviceId()));
  ReloadAllControls();
  RequestMeterUpdate();
  RefillPresetList();
  ShowPage(device->GetPanelPage());
}

void CFennickControlPanel::ShowPage(std::uint32_t page) {
  CNerexSeriesDevice* device = Processor();
  if (!device || page != kNerexPageCompact) return;
  const bool mayRecall = (RestrictionMask() & kRestrictRecallPresets) == 0;
  for (CBmpButton* button : m_lcdButtons) button->SetVisible(mayRecall);
  m_lcdText->SetText(device->GetSelectedPresetLabel(kSectionAll));
  RedrawRect(nullptr, true, true);
}

void CFennickControlPanel::RefillPresetList() {
  CNerexSeriesDevice* device = Processor();
  if (!device || !m_presetList) return;
  const int kept = m_presetList->GetCurSel();
  m_presetList->DeleteStringArray();
  {
    CSingleLock lock(device->SettingsLock());
    const CNerexMemoryList& presets = device->GetPresets();
    const std::uint32_t active = device->GetGeneralSettings().GetCurrentPreset();
    for (std::size_t m = 0; m < presets.size(); ++m) {
      const std::string number = std::to_string(m + 1) + ". ";
      std::string text = number + "--";
      if (presets[m] && presets[m]->HoldsAnySection()) {
        text = number + presets[m]->name;
        if (m + 1 == active) text += "*";
      }
      m_presetList->AddItem(text, std::int32_t(m));
    }
  }
  // The list keeps the row the user chose; a new list starts at the first memory.
  const int rows = int(m_presetList->GetItems().size());
  m_presetList->SetCurSel(rows == 0 ? -1 : std::clamp(kept, 0, rows - 1));
  Redraw(m_presetList->GetRect());
}

void CFennickControlPanel::SetLcdText(const std::string& text) {
  if (!m_lcdText) return;
  m_lcdText->SetText(text);
  Redraw(m_lcdText->GetRect());
}

void CFennickControlPanel::OnTimer(std::uint32_t id) {
  CNerexSeriesDevice* device = Processor();
  if (id != kMeterTimerId || !m_meterUpdateRequested || !device || !GetBackBufferGraphics()) return;
  for (int c = 0; c < fl::kInputs + fl::kOutputs; ++c) {
    const float reading = c < fl::kInputs ? device->GetInputMeter(c) : device->GetOutputMeter(c - fl::kInputs);
    const int level = std::max(int(reading), kMeterFloor);
    CBitmapMeter* meter = m_meters[std::size_t(c)];
    if (level == meter->GetLevel()) continue;
    meter->SetLevel(level);
    const CRect rect = meter->GetRect();
    RedrawRect(&rect, true, true);
  }
  m_meterUpdateRequested = false;
}

// --- The preset questions ---

int CFennickControlPanel::GetPresetSelection() const { return m_presetList ? m_presetList->GetCurSel() : -1; }

bool CFennickControlPanel::AskPresetName(const std::string& caption, std::string& name) {
  return NerexPresetUi::AskPresetName(this, caption, name);
}

bool CFennickControlPanel::AskPresetFile(bool save, std::string& path) {
  return NerexPresetUi::AskPresetFile(this, save, path);
}

void CFennickControlPanel::ShowPresetFileError(const std::string& message) {
  if (const CDevice* device = GetDevice(); device && device->GetSystem())
    device->GetSystem()->ShowFileError(message, kFileErrorCaption);
}

bool CFennickControlPanel::EditTimedPresets(TimedPresetEntry* entries, int count) {
  CNerexSeriesDevice* device = Processor();
  if (!device || count != kNerexTimedPresets) return false;
  return NerexPresetUi::EditTimedPresets(this, *device, entries);
}

void CFennickControlPanel::OpenPresetManager() {
  if (CNerexSeriesDevice* device = Processor()) NerexPresetUi::OpenPresetManager(this, *device);
}
