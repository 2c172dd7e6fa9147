// The Zel breakout box's control panel: layout, pictures and the model line.
#include "panels/amplifier/ZelBreakControlPanel.h"

#include <string>

#include "core/draw/BitmapImage.h"
#include "core/model/Device.h"
#include "core/model/User.h"
#include "core/draw/RoundedBox.h"
#include "core/draw/TextStyle.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/Knob.h"
#include "panels/framework/TextControl.h"
#include "platform/Graphics.h"
#include "platform/Image.h"

namespace {

constexpr const char* kFace = "DejaVu Sans";
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kSoft = 0xFFB8C0CCu;
constexpr CColour kPanelTop{0xFF3A3F48u};
constexpr CColour kPanelBottom{0xFF1E2126u};
constexpr CColour kStripShade{0x22FFFFFFu};
constexpr CColour kRule{0xFF11131A};
constexpr CColour kAccent{0xFFE07B20u};
// The header on the left, then the strips up to the right margin.
constexpr int kHeaderWidth = 168;
constexpr int kStripsRight = CZelBreakControlPanel::kWidth - 6;
// What the strips' cover hides: every strip, top to bottom; the cover's plate.
constexpr CRect kStripArea{kHeaderWidth, 2, kStripsRight, CZelBreakControlPanel::kHeight - 2};
constexpr CColour kCoverPlate{0xFF16181Du};

CFont Font(float points, bool bold = false) {
  CTextStyle style;
  style.Set(kFace, points, CColour{kWhite});
  if (bold) {
    style.weight = 700;
    style.styleFlags = kTextStyleBold;
  }
  const CFont* font = style.GetFont();
  return font ? *font : CFont{};
}

// A picture of that size, every pixel transparent.
std::unique_ptr<CBitmapImage> Transparent(int width, int height) {
  auto image = std::make_unique<CBitmapImage>();
  image->CreateBlank(width, height);
  image->GetImage()->Fill(CColour{0x00000000u});
  return image;
}

// A button face with its caption centred below captionTop (room above for the button's LED),
// lighter at the top.
std::unique_ptr<CBitmapImage> Face(int width, int height, const std::string& caption, float captionTop) {
  auto image = Transparent(width, height);
  Graphics g(*image->GetImage());
  g.SetSmoothingMode(SmoothingMode::AntiAlias);
  CBrush body = CBrush::LinearGradient(CPointF{0.0f, 0.0f}, CPointF{0.0f, float(height)}, CColour{0xFF5A616Cu},
                                       CColour{0xFF2E3238u});
  CGraphicsPath outline;
  CreateRoundRectPath(outline, 6, 0, 0, width - 1, height - 1);
  g.FillPath(body, outline);
  g.DrawPath(CPen(CColour{0xFF101216u}, 1.0f), outline);
  CTextHintScope hint(g);
  const CStringFormat centred(StringAlignment::Center, StringAlignment::Center);
  g.DrawString(caption, Font(6.5f, true), CRectF{0.0f, captionTop, float(width), float(height) - captionTop}, centred,
               CBrush::Solid(CColour{kWhite}));
  return image;
}

// A round green LED.
std::unique_ptr<CBitmapImage> Led(int size) {
  auto image = Transparent(size, size);
  Graphics g(*image->GetImage());
  g.SetSmoothingMode(SmoothingMode::AntiAlias);
  const CRectF r{0.5f, 0.5f, float(size) - 1.0f, float(size) - 1.0f};
  CBrush glow = CBrush::LinearGradient(CPointF{0.0f, 0.0f}, CPointF{0.0f, float(size)}, CColour{0xFF8CFF8Cu},
                                       CColour{0xFF10A020u});
  g.FillEllipse(glow, r);
  g.DrawEllipse(CPen(CColour{0xFF0A3A10u}, 1.0f), r);
  return image;
}

}  // namespace

CZelBreakControlPanel::CZelBreakControlPanel() = default;

CZelBreakControlPanel::~CZelBreakControlPanel() = default;

bool CZelBreakControlPanel::Create() {
  CDevice* device = GetDevice();
  if (!device) return false;
  m_channels = GetZelBreakChannelCount(device->GetTypeCode());
  if (m_channels == 0) return false;
  m_led = Led(12);
  m_muteFace = Face(40, 24, "MUTE", 7.0f);
  m_identifyFace = Face(84, 20, "IDENTIFY", 0.0f);
  DrawBackground();

  // Header: the box name (typed in place), model and ID, the LEDs and identify.
  m_boxName = new CTextControl(this, kBreakParamBoxName, true, kFace, 10.0f, kWhite,
                               kTextVCentre | kTextSingleLine, CRect{14, 6, kHeaderWidth - 8, 26});
  m_boxName->SetMaxLength(int(kBreakBoxNameBytes));
  m_boxName->SetNeededRights(kRestrictEditDeviceProperties);
  AddControl(m_boxName);
  m_modelText = new CTextControl(this, 0, false, kFace, 7.5f, kSoft, kTextVCentre | kTextSingleLine,
                                 CRect{14, 26, kHeaderWidth - 8, 42});
  AddControl(m_modelText);
  AddControl(new CBitmapLED(this, kBreakParamDeviceActive, m_led.get(), CRect{14, 52, 26, 64}, false));
  AddControl(new CBitmapLED(this, kBreakParamNetworkActive, m_led.get(), CRect{14, 72, 26, 84}, false));
  auto* identify = new CBmpButton(this, kBreakParamIdentify, m_identifyFace.get(), CRect{14, 94, 98, 114},
                                  kButtonMomentary | kButtonFace | kButtonRedrawOnPress);
  // Asking the box to show itself changes nothing.
  identify->SetNeededRights(0);
  AddControl(identify);

  // One strip a channel.
  const int width = (kStripsRight - kHeaderWidth) / m_channels;
  for (int c = 0; c < m_channels; ++c) {
    const int x = kHeaderWidth + c * width;
    const int mid = x + width / 2;
    auto* channel = new CTextControl(this, kBreakParamChannelName + c, true, kFace, 7.0f, kWhite,
                                     kTextCentre | kTextVCentre | kTextSingleLine,
                                     CRect{x + 2, 4, x + width - 2, 18});
    channel->SetMaxLength(int(kBreakChannelNameBytes));
    // Under the cover, and a name besides.
    channel->SetNeededRights(kRestrictUseDeviceControls | kRestrictEditDeviceProperties);
    AddControl(channel);
    m_channelNames.push_back(channel);
    auto* knob = new CKnob(this, kBreakParamGain + c, CRect{mid - 16, 20, mid + 16, 52});
    knob->m_minimum = -24;
    knob->m_maximum = 0;
    knob->m_step = 0.5f;
    knob->m_tickLength = 3;
    knob->m_colour = 0xFFE07B20u;
    AddControl(knob);
    AddControl(new CTextControl(this, kBreakParamGain + c, true, kFace, 7.0f, kSoft,
                                kTextCentre | kTextVCentre | kTextSingleLine | kTextWheelNudge | kTextFineNudge,
                                CRect{x + 1, 54, x + width - 1, 68}));
    AddControl(new CBmpButton(this, kBreakParamMute + c, m_muteFace.get(), CRect{mid - 20, 72, mid + 20, 96},
                              kButtonFace | kButtonLedRed | kButtonRedrawOnPress));
  }
  // A plate of the panel's darkest grey, laid over the strips at half opacity.
  m_coverImage = Transparent(kStripArea.Width(), kStripArea.Height());
  m_coverImage->GetImage()->Fill(kCoverPlate);
  m_stripCover = new CBitmapObject(this, 0, m_coverImage.get(), kStripArea, kBitmapHalfOpacity);
  m_stripCover->SetVisible(false);
  AddControl(m_stripCover);
  return true;
}

void CZelBreakControlPanel::DrawBackground() {
  auto* background = new CBitmapImage;
  background->CreateBlank(kWidth, kHeight);
  CImage& canvas = *background->GetImage();
  Graphics g(canvas);
  const CBrush shade =
      CBrush::LinearGradient(CPointF{0.0f, 0.0f}, CPointF{0.0f, float(kHeight)}, kPanelTop, kPanelBottom);
  g.FillRectangle(shade, CRectF{0.0f, 0.0f, float(kWidth), float(kHeight)});
  // The family's stripe and the rule between header and strips.
  g.FillRectangle(CBrush::Solid(kAccent), CRectF{4.0f, 8.0f, 3.0f, float(kHeight) - 16.0f});
  g.FillRectangle(CBrush::Solid(kRule), CRectF{float(kHeaderWidth) - 4.0f, 6.0f, 1.0f, float(kHeight) - 12.0f});

  CTextHintScope hint(g);
  const CBrush soft = CBrush::Solid(CColour{kSoft});
  const CStringFormat near(StringAlignment::Near);
  g.DrawString("Online", Font(7.5f), CRectF{32.0f, 51.0f, 100.0f, 14.0f}, near, soft);
  g.DrawString("Network", Font(7.5f), CRectF{32.0f, 71.0f, 100.0f, 14.0f}, near, soft);

  const int width = (kStripsRight - kHeaderWidth) / m_channels;
  CStringFormat centred(StringAlignment::Center);
  for (int c = 0; c < m_channels; ++c) {
    const int x = kHeaderWidth + c * width;
    if (c % 2 == 0)
      g.FillRectangle(CBrush::Solid(kStripShade), CRectF{float(x), 2.0f, float(width), float(kHeight) - 4.0f});
    g.DrawString(std::to_string(c + 1), Font(8.0f, true), CRectF{float(x), 98.0f, float(width), 16.0f}, centred, soft);
  }
  SetBackgroundImage(background);
}

void CZelBreakControlPanel::UpdateAllControls() {
  CreateBackBuffer(kWidth, kHeight);
  ShowModelLine(false);
  ApplyPermissions(false);
  ReloadAllControls();
}

void CZelBreakControlPanel::ShowModelLine(bool redraw) {
  CDevice* device = GetDevice();
  if (!device || !m_modelText) return;
  m_modelText->SetText(device->GetModelName() + "   ID " + std::to_string(device->GetDeviceId()));
  if (!redraw) return;
  const CRect r = m_modelText->GetRect();
  RedrawRect(&r, true, true);
}

void CZelBreakControlPanel::UpdateDeviceId() { ShowModelLine(true); }

void CZelBreakControlPanel::ApplyPermissions(bool redraw) {
  const std::uint64_t mask = GetUserRestrictions();
  if (m_stripCover) m_stripCover->SetVisible((mask & kRestrictUseDeviceControls) != 0);
  const bool editable = (mask & kRestrictEditDeviceProperties) == 0;
  if (m_boxName) m_boxName->SetEditable(editable);
  for (CTextControl* name : m_channelNames) name->SetEditable(editable);
  if (redraw) RedrawRect(nullptr, true, true);
}

void CZelBreakControlPanel::UpdateOnlineStatus(bool online) {
  CControlPanelWnd::UpdateOnlineStatus(online);
  UpdateAllControls();
}
