// The Nerex-series panel after Create: strips placed by the model's channel counts, pages and
// side tabs, the right-click channel, the section drawings and the graphic-EQ tooltips.
#include <cstdio>

#include "core/draw/BitmapImage.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/processor/NerexSeriesControlPanel.h"
#include "panels/processor/NerexSeriesLayout.h"
#include "panels/framework/TextControl.h"
#include "platform/Image.h"
#include "platform/Sync.h"
#include "panels/processor/NerexPresetUi.h"

namespace L = nerex_layout;

namespace {

constexpr std::uint32_t kBandFill = 0x78000000u;
constexpr std::uint32_t kWhiteInk = 0xFFFFFFFFu;
constexpr std::uint32_t kBlackInk = 0xFF000000u;

// The models whose inputs have a graphic EQ (and so its shortcut button).
bool HasInputGeq(int model) { return IsTorvexLayoutModel(model); }

void Show(CControlObject* control, bool visible) {
  if (control) control->SetVisible(visible);
}

void MoveTo(CControlObject* control, int left, int top) {
  if (control) control->MoveTo(left, top);
}

void MoveCombo(CCustomComboBox* combo, int left, int top) {
  if (!combo) return;
  combo->MoveTo(left, top);
  combo->m_dropAnchor = combo->GetRect();
}

std::string Letter(char first, int index) { return std::string(1, char(first + index)); }

// Text with its top-left corner at (x, y).
void DrawAt(Graphics& g, const std::string& text, CTextStyle& style, float x, float y, std::uint32_t ink) {
  if (const CFont* font = style.GetFont())
    g.DrawString(text, *font, CRectF{x, y, 0.0f, 0.0f}, CStringFormat(StringAlignment::Near), CBrush(CColour{ink}));
}

// Text centred in a box.
void DrawCentred(Graphics& g, const std::string& text, CTextStyle& style, const CRectF& box, std::uint32_t ink) {
  if (const CFont* font = style.GetFont()) {
    CStringFormat format(StringAlignment::Center, StringAlignment::Center);
    format.noWrap = true;
    format.noClip = true;
    g.DrawString(text, *font, box, format, CBrush(CColour{ink}));
  }
}

void DrawPicture(Graphics& g, const CBitmapImage* image, float x, float y) {
  if (image && image->GetImage()) g.DrawImage(*image->GetImage(), x, y);
}

// The Calder and Hollin heading: square corners with the top corners cut.
CGraphicsPath ChamferedBand(const CRectF& r, float cut) {
  CGraphicsPath path;
  path.AddPolygon({{r.x + cut, r.y}, {r.Right() - cut, r.y}, {r.Right(), r.y + cut}, {r.Right(), r.Bottom()},
                   {r.x, r.Bottom()}, {r.x, r.y + cut}});
  return path;
}

}  // namespace

// --- Geometry ---

int CNerexSeriesControlPanel::GetInputStripX(int i) const {
  return GetNerexDevice() ? L::InputStripX(GetInputCount(), i) : 0;
}

int CNerexSeriesControlPanel::GetOutputStripX(int k) const {
  return GetNerexDevice() ? L::OutputStripX(GetOutputCount(), k) : 0;
}

void CNerexSeriesControlPanel::DeleteStringArray(CCustomComboBox* combo) {
  if (combo) combo->DeleteStringArray();
}

void CNerexSeriesControlPanel::PlaceStrips() {
  for (int i = 0; i < L::kMaxInputs; ++i) {
    const auto c = std::size_t(i);
    const int x = GetInputStripX(i);
    MoveTo(m_inputFaders[c], x + L::kInputFader.dx, L::kInputFader.top);
    MoveTo(m_inputMeters[c], x + L::kInputMeter.dx, L::kInputMeter.top);
    MoveTo(m_inputGainTexts[c], x + L::kInputGainText.dx, L::kInputGainText.top);
    MoveTo(m_inputDelays[c], x + L::kInputDelayText.dx, L::kInputDelayText.top);
    for (int j = 0; j < 4; ++j)
      MoveTo(m_inputLinks[c][std::size_t(j)], x + L::kInputLink.dx, L::kInputLink.top + L::kRowPitch * j);
    MoveTo(m_inputRows[0][c], x + L::kInputGeqShortcut.dx, L::kInputGeqShortcut.top);
    MoveTo(m_inputRows[1][c], x + L::kInputPeqShortcut.dx, L::kInputPeqShortcut.top);
    MoveTo(m_inputMutes[c], x + L::kInputMute.dx, L::kInputMute.top);
    MoveTo(m_inputNames[c], x + L::kInputName.dx, L::kInputName.top);
  }
  for (int k = 0; k < L::kMaxOutputs; ++k) {
    const auto c = std::size_t(k);
    const int x = GetOutputStripX(k);
    MoveTo(m_outputStrips[c], x + L::kOutputStrip.dx, L::kOutputStrip.top);
    MoveTo(m_outputFaders[c], x + L::kOutputFader.dx, L::kOutputFader.top);
    MoveTo(m_outputMeters[c], x + L::kOutputMeter.dx, L::kOutputMeter.top);
    MoveTo(m_outputGainTexts[c], x + L::kOutputGainText.dx, L::kOutputGainText.top);
    MoveTo(m_outputMutes[c], x + L::kOutputMute.dx, L::kOutputMute.top);
    MoveTo(m_outputPolarity[c], x + L::kOutputPolarity.dx, L::kOutputPolarity.top);
    MoveTo(m_outputRows[0][c], x + L::kOutputPeqShortcut.dx, L::kOutputPeqShortcut.top);
    MoveTo(m_outputDelays[c], x + L::kOutputDelayText.dx, L::kOutputDelayText.top);
    MoveTo(m_outputNames[c], x + L::kOutputName.dx, L::kOutputName.top);
    for (int i = 0; i < 4; ++i)
      MoveTo(m_routingButtons[c][std::size_t(i)], x + L::kMatrixRouting.dx, L::kMatrixRouting.top + L::kRowPitch * i);
    for (int j = 0; j < 8; ++j)
      MoveTo(m_outputLinks[c][std::size_t(j)], x + L::kOutputLink.dx, L::kOutputLink.top + L::kRowPitch * j);
    MoveTo(m_limiterLevels[c], x + L::kLimiterLevel.dx, L::kLimiterLevel.top);
    MoveTo(m_clipLevels[c], x + L::kClipLevel.dx, L::kClipLevel.top);
    MoveCombo(m_clipReleases[c], x + L::kClipRelease.dx, L::kClipRelease.top);
    MoveCombo(m_limiterReleases[c], x + L::kLimiterRelease.dx, L::kLimiterRelease.top);
    MoveCombo(m_limiterAttacks[c], x + L::kLimiterAttack.dx, L::kLimiterAttack.top);
  }
}

void CNerexSeriesControlPanel::FillEqTypeLists() {
  const CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const auto items = L::EqTypeItemsFor(device->GetModel(), device->GetHardwareCode());
  auto refill = [&items](CCustomComboBox* combo) {
    if (!combo) return;
    DeleteStringArray(combo);
    for (const L::ComboItem& item : items) combo->AddItem(item.text, item.value);
  };
  for (CCustomComboBox* combo : m_peqType) refill(combo);
  for (CCustomComboBox* combo : m_outputPeqType) refill(combo);
}

// --- Reload ---

void CNerexSeriesControlPanel::UpdateAllControls() {
  CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  DrawInputsSectionBody();
  DrawOutputsSection();
  DrawOutputNumbers();
  DrawInputLetters();
  DrawOutputEqNumbers();
  EnableToolTips();
  if (m_headerText)
    m_headerText->SetText(device->GetHardwareCode() == kHardwareHollin2
                              ? std::string("Hollin2 LOUDSPEAKER MANAGEMENT SYSTEM")
                              : device->GetModelName() + "   AUDIO MANAGEMENT SYSTEM");
  PlaceStrips();
  FillEqTypeLists();
  CNerexSeriesBaseControlPanel::UpdateAllControls();
}

void CNerexSeriesControlPanel::DrawInputsSection(bool redraw) {
  DrawInputsSectionBody();
  if (redraw) RedrawControl(m_sectionPictures[kInputsSection]);
}

// --- Pages, side tabs and visibility ---

void CNerexSeriesControlPanel::EnableAllControls(bool enable) {
  const CNerexSeriesDevice* device = GetNerexDevice();
  const int n = GetInputCount();
  const int m = GetOutputCount();
  const bool geq = device && HasInputGeq(device->GetModel());
  for (std::size_t t = 0; t < 3; ++t) Show(m_sideTabs[t], enable);
  for (int s : {kInputsSection, kOutputsSection, kOutputNumbers}) Show(m_sectionPictures[std::size_t(s)], enable);
  for (int c = 0; c < L::kMaxInputs; ++c) {
    const auto i = std::size_t(c);
    const bool shown = enable && c < n;
    for (CControlObject* control :
         {static_cast<CControlObject*>(m_inputFaders[i]), static_cast<CControlObject*>(m_inputMeters[i]),
          static_cast<CControlObject*>(m_inputGainTexts[i]), static_cast<CControlObject*>(m_inputDelays[i]),
          static_cast<CControlObject*>(m_inputMutes[i]), static_cast<CControlObject*>(m_inputNames[i]),
          m_inputRows[1][i]})
      Show(control, shown);
    Show(m_inputRows[0][i], shown && geq);
    for (int j = 0; j < 4; ++j) Show(m_inputLinks[i][std::size_t(j)], shown && j < n);
  }
  for (int c = 0; c < L::kMaxOutputs; ++c) {
    const auto k = std::size_t(c);
    const bool shown = enable && c < m;
    for (CControlObject* control :
         {static_cast<CControlObject*>(m_outputStrips[k]), static_cast<CControlObject*>(m_outputFaders[k]),
          static_cast<CControlObject*>(m_outputMeters[k]), static_cast<CControlObject*>(m_outputGainTexts[k]),
          static_cast<CControlObject*>(m_outputDelays[k]), static_cast<CControlObject*>(m_outputMutes[k]),
          static_cast<CControlObject*>(m_outputPolarity[k]), static_cast<CControlObject*>(m_outputNames[k]),
          m_outputRows[0][k]})
      Show(control, shown);
  }
  if (enable && device)
    SelectSideTab(device->PanelView().GetSideTab(), false);
  else
    SelectSideTab(0, false);
}

void CNerexSeriesControlPanel::SelectSideTab(std::uint32_t tab, bool redraw) {
  // The outputs section shows the tab's picture: a tab the device changed while the panel was
  // on another page is drawn now, so that showing the Mixer page again shows it.
  if (!redraw && tab != 0 && tab != m_drawnSideTab) DrawOutputsSection();
  const int n = GetInputCount();
  const int m = GetOutputCount();
  switch (tab) {
    case kNerexSideTabSource:
      Show(m_autoLimiters, false);
      SetGroupVisible(kPanelGroupLimiters, false);
      SetGroupVisible(kPanelGroupLinking, false);
      for (int k = 0; k < L::kMaxOutputs; ++k)
        for (int i = 0; i < 4; ++i) Show(m_routingButtons[std::size_t(k)][std::size_t(i)], k < m && i < n);
      break;
    case kNerexSideTabLimiters:
      SetGroupVisible(kPanelGroupSource, false);
      SetGroupVisible(kPanelGroupLinking, false);
      Show(m_autoLimiters, true);
      for (int k = 0; k < L::kMaxOutputs; ++k) {
        const auto c = std::size_t(k);
        for (CControlObject* control :
             {static_cast<CControlObject*>(m_limiterLevels[c]), static_cast<CControlObject*>(m_clipLevels[c]),
              static_cast<CControlObject*>(m_limiterAttacks[c]), static_cast<CControlObject*>(m_limiterReleases[c]),
              static_cast<CControlObject*>(m_clipReleases[c])})
          Show(control, k < m);
      }
      break;
    case kNerexSideTabLinking:
      Show(m_autoLimiters, false);
      SetGroupVisible(kPanelGroupSource, false);
      SetGroupVisible(kPanelGroupLimiters, false);
      for (int k = 0; k < L::kMaxOutputs; ++k)
        for (int j = 0; j < 8; ++j) Show(m_outputLinks[std::size_t(k)][std::size_t(j)], k < m && j < m);
      break;
    default:
      SetGroupVisible(kPanelGroupSource, false);
      SetGroupVisible(kPanelGroupLimiters, false);
      SetGroupVisible(kPanelGroupLinking, false);
      break;
  }
  if (!redraw) return;
  DrawOutputsSection();
  const CBitmapObject* outputs = m_sectionPictures[kOutputsSection];
  const CBitmapImage* background = CControlPanelWnd::GetBackgroundImage();
  if (!outputs) return;
  const CRect r = outputs->GetRect();
  const CRect area{r.left, r.top, background ? background->GetWidth() : r.right, r.left + 300};
  RedrawRect(&area, true, true);
}

void CNerexSeriesControlPanel::ShowPage(std::uint32_t page) {
  auto showOnly = [this](int index) {
    for (std::size_t p = 0; p < m_pageImages.size(); ++p) Show(m_pageImages[p], int(p) == index);
  };
  auto placeRow = [this](L::Spot first) {
    for (int j = 0; j < L::kChannelSelects; ++j) {
      CBmpButton* led = m_channelSelect[std::size_t(j)];
      if (!led) continue;
      const CBitmapImage* image = GetBlueLedImage();
      const int w = image ? image->GetWidth() : led->GetRect().Width();
      const int h = image ? image->GetHeight() : led->GetRect().Height();
      const int left = first.x + L::kChannelSelectPitch * j;
      led->SetRect(CRect{left, first.y, left + w, first.y + h});
    }
  };
  bool known = true;
  switch (page) {
    case kNerexPageInputGeq:
      showOnly(1);
      placeRow(L::kChannelSelectOnInputEq);
      break;
    case kNerexPageInputPeq:
      showOnly(2);
      placeRow(L::kChannelSelectOnInputEq);
      break;
    case kNerexPageOutputEq:
      showOnly(3);
      placeRow(L::kChannelSelect);
      break;
    case kNerexPageMixer:
      showOnly(0);
      // Without a valid current user the button stays hidden: no right is read from nowhere.
      Show(m_presetManagerButton, UserMayRecallPresets());
      break;
    case kNerexPageCompact:
      // The compact view's own header.
      showOnly(4);
      break;
    default: known = false; break;
  }
  // The tabs stand where the header shown draws them: in the compact view's lower row there.
  if (known) PlacePageTabs(GetPageTabPlaces(), L::kCompactTabsTop, page == kNerexPageCompact);
  CNerexSeriesBaseControlPanel::ShowPage(page);
}

std::span<const processor_layout::Button> CNerexSeriesControlPanel::GetPageTabPlaces() const { return L::kPageTabs; }

// --- Right clicks ---

void CNerexSeriesControlPanel::OnRightClick(int x, int y) {
  if (CNerexSeriesDevice* device = GetNerexDevice()) {
    const int n = GetInputCount();
    const int m = GetOutputCount();
    std::uint32_t channel = 0;
    switch (device->PanelView().GetPanelPage()) {
      case kNerexPageInputGeq:
      case kNerexPageInputPeq: {
        CSingleLock lock(device->SettingsLock());
        channel = std::uint32_t(
            GetInputLinkMaster(device->GetCurrentSettings().inputs, int(SelectedInput()), n) + 1);
        break;
      }
      case kNerexPageOutputEq: {
        CSingleLock lock(device->SettingsLock());
        channel = std::uint32_t(
            GetOutputLinkMaster(device->GetCurrentSettings().outputs, int(SelectedOutput()), m) + 5);
        break;
      }
      case kNerexPageMixer: {
        const CBitmapObject* inputs = m_sectionPictures[kInputsSection];
        const CRect band = inputs ? inputs->GetRect() : CRect{};
        for (int i = 0; i < n && channel == 0; ++i) {
          const int left = GetInputStripX(i);
          if (x >= left && x <= left + L::kStripWidth && y >= band.top && y < band.bottom)
            channel = std::uint32_t(i + 1);
        }
        for (int k = 0; k < m && channel == 0; ++k) {
          const CBitmapObject* strip = m_outputStrips[std::size_t(k)];
          if (strip && strip->GetRect().Contains(CPoint{x, y})) channel = std::uint32_t(k + 5);
        }
        break;
      }
      default: break;
    }
    device->PanelView().SetSelectedChannel(channel);
  }
  CNerexSeriesBaseControlPanel::OnRightClick(x, y);
}

// --- Section drawings ---

template <class DrawFn>
void CNerexSeriesControlPanel::DrawInto(int section, DrawFn draw) {
  CBitmapImage* buffer = m_buffers[std::size_t(section)].get();
  if (!buffer || !buffer->GetImage()) return;
  Graphics g(*buffer->GetImage());
  g.SetSmoothingMode(SmoothingMode::AntiAlias);
  g.SetTextRenderingHint(TextRenderingHint::AntiAliasGridFit);
  g.SetCompositingMode(CompositingMode::SourceCopy);
  g.Clear(CColour{0x00000000u});
  g.SetCompositingMode(CompositingMode::SourceOver);
  draw(g);
}

void CNerexSeriesControlPanel::DrawHeading(Graphics& g, float x, int count, const char* caption) {
  if (count <= 0) return;
  const CRectF band{x, 5.0f, float(66 * count - 6), 15.0f};
  const CNerexSeriesDevice* device = GetNerexDevice();
  const int model = device ? device->GetModel() : 0;
  const bool calder = model == kModelCalder26 || model == kModelCalder48;
  const CGraphicsPath shape = calder ? ChamferedBand(band, 4.0f) : RoundedRectPath(band, 6.0f);
  g.FillPath(CBrush(CColour{kBandFill}), shape);
  g.DrawPath(CPen(CColour{0x60FFFFFFu}), shape);
  DrawCentred(g, caption, m_labelStyle, band, kWhiteInk);
}

void CNerexSeriesControlPanel::DrawInputsSectionBody() {
  const int n = GetInputCount();
  DrawInto(kInputsSection, [&](Graphics& g) {
    DrawHeading(g, float(GetInputStripX(0)), n, "Inputs");
    for (int i = 0; i < n; ++i) {
      const float edge = float(GetInputStripX(i));
      DrawPicture(g, GetInputStripImage(), edge, float(L::kInputStrip.top - L::kInputsSection.top));
      for (int j = 0; j < n; ++j) DrawAt(g, Letter('A', j), m_smallLabelStyle, edge + 7.0f, 47.0f + 25.0f * float(j), kWhiteInk);
      DrawAt(g, Letter('A', i), m_labelStyle, edge + 5.0f, 442.0f, kBlackInk);
    }
  });
}

void CNerexSeriesControlPanel::DrawOutputsSection() {
  const CNerexSeriesDevice* device = GetNerexDevice();
  if (!device) return;
  const int n = GetInputCount();
  const int m = GetOutputCount();
  const int first = GetOutputStripX(0);
  const float origin = float(L::kSections[kOutputsSection].left);
  for (CBmpButton* tab : m_sideTabs) {
    if (!tab) continue;
    const CRect r = tab->GetRect();
    tab->SetRect(CRect{first + L::kSideTabLeft, r.top, first + L::kSideTabRight, r.bottom});
  }
  MoveCombo(m_autoLimiters, first + L::kAutoLimitersPlaced.dx, L::kAutoLimitersPlaced.top);
  const std::uint32_t tab = device->PanelView().GetSideTab();
  m_drawnSideTab = tab;
  DrawInto(kOutputsSection, [&](Graphics& g) {
    DrawHeading(g, float(first) - origin, m, "Outputs");
    const float tabX = float(first - 30) - origin;
    auto overlays = [&](char firstLabel, int rows) {
      for (int k = 0; k < m; ++k) {
        const float edge = float(GetOutputStripX(k)) - origin;
        DrawPicture(g, GetTallOverlayImage(), edge + 3.0f, 29.0f);
        for (int r = 0; r < rows; ++r)
          DrawAt(g, Letter(firstLabel, r), m_smallLabelStyle, edge + 7.0f, 40.0f + 25.0f * float(r), kWhiteInk);
      }
    };
    switch (tab) {
      case kNerexSideTabSource:
        DrawPicture(g, GetSourceTabImage(), tabX, 25.0f);
        overlays('A', n);
        break;
      case kNerexSideTabLimiters:
        DrawPicture(g, GetLimitersTabImage(), tabX, 25.0f);
        DrawAt(g, "Auto Limiters", m_tabTitleStyle, float(first) - origin + 3.0f, 28.0f, kWhiteInk);
        break;
      case kNerexSideTabLinking:
        DrawPicture(g, GetLinkingTabImage(), tabX, 25.0f);
        overlays('1', m);
        break;
      default: break;
    }
  });
}

void CNerexSeriesControlPanel::DrawOutputNumbers() {
  const int m = GetOutputCount();
  const float origin = float(L::kSections[kOutputNumbers].left);
  DrawInto(kOutputNumbers, [&](Graphics& g) {
    for (int k = 0; k < m; ++k)
      DrawAt(g, Letter('1', k), m_labelStyle, float(GetOutputStripX(k)) - origin + 5.0f, 0.0f, kBlackInk);
  });
}

void CNerexSeriesControlPanel::DrawInputLetters() {
  const int n = GetInputCount();
  DrawInto(kInputLetters, [&](Graphics& g) {
    for (int i = 0; i < n; ++i)
      DrawCentred(g, Letter('A', i), m_labelStyle, CRectF{28.0f * float(i) - 4.0f, 0.0f, 20.0f, 15.0f}, kWhiteInk);
  });
}

void CNerexSeriesControlPanel::DrawOutputEqNumbers() {
  const int m = GetOutputCount();
  DrawInto(kOutputEqNumbers, [&](Graphics& g) {
    for (int k = 0; k < m; ++k)
      DrawCentred(g, Letter('1', k), m_labelStyle, CRectF{28.0f * float(k) - 4.0f, 0.0f, 20.0f, 15.0f}, kWhiteInk);
  });
}
