// What every device panel's layout must keep, on every page and view of every model: each
// widget inside the skin, no two controls on top of each other, no picture drawn over a control
// that it does not mean to cover, one widget per action id, and every text it shows readable in
// the drawing. Set ORVAK_PANEL_PNG_DIR to keep the drawings.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/draw/BitmapImage.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "panels/framework/BitmapFader.h"
#include "panels/framework/BitmapMeter.h"
#include "panels/framework/BitmapObject.h"
#include "panels/framework/BmpButton.h"
#include "panels/processor/CompressorMeter.h"
#include "panels/framework/CustomComboBox.h"
#include "panels/framework/Knob.h"
#include "panels/processor/NerexSeriesBaseControlPanel.h"
#include "panels/processor/NerexSeriesParametricControl.h"
#include "panels/PanelClasses.h"
#include "panels/framework/PanelLayoutRect.h"
#include "panels/framework/TextControl.h"
#include "panels/processor/TorvexSeriesDEQControl.h"
#include "platform/Image.h"
#include "resources/ProcessorPanelLayout.h"
#include "resources/ZelPanelLayout.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/RecordingFrame.h"

namespace {

// The widgets a user works with: every other kind only shows something.
bool TakesInput(const CControlObject* w) {
  if (const auto* text = dynamic_cast<const CTextControl*>(w)) return text->IsEditable();
  return dynamic_cast<const CBmpButton*>(w) || dynamic_cast<const CBitmapFader*>(w) || dynamic_cast<const CKnob*>(w) ||
         dynamic_cast<const CCustomComboBox*>(w) || dynamic_cast<const CNerexSeriesParametricControl*>(w) ||
         dynamic_cast<const CTorvexSeriesDEQControl*>(w);
}

std::string Describe(const CControlObject* w) {
  const CRect r = w->GetRect();
  return std::string(typeid(*w).name()) + " id " + std::to_string(w->GetId()) + " at (" + std::to_string(r.left) +
         ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " + std::to_string(r.bottom) + ")";
}

std::vector<CControlObject*> Visible(const CControlPanelWnd& panel) {
  std::vector<CControlObject*> shown;
  for (CControlObject* w : panel.GetControls())
    if (w->IsVisible()) shown.push_back(w);
  return shown;
}

// --- The rules, each checked on a panel as it is shown ---

// Every widget shown lies inside the skin.
void ExpectInsideTheSkin(const CControlPanelWnd& panel) {
  const CBitmapImage* skin = panel.GetBackgroundImage();
  ASSERT_TRUE(skin);
  const CRect bounds{0, 0, skin->GetWidth(), skin->GetHeight()};
  for (const CControlObject* w : Visible(panel)) {
    const CRect r = w->GetRect();
    EXPECT_TRUE(r.left >= bounds.left && r.top >= bounds.top && r.right <= bounds.right && r.bottom <= bounds.bottom)
        << Describe(w);
  }
}

// No two controls shown overlap.
void ExpectNoOverlappingControls(const CControlPanelWnd& panel) {
  const std::vector<CControlObject*> shown = Visible(panel);
  for (std::size_t a = 0; a < shown.size(); ++a)
    for (std::size_t b = a + 1; b < shown.size(); ++b)
      if (TakesInput(shown[a]) && TakesInput(shown[b])) {
        EXPECT_FALSE(RectsIntersect(shown[a]->GetRect(), shown[b]->GetRect()))
            << Describe(shown[a]) << " and " << Describe(shown[b]);
      }
}

// The list order is the drawing order: a picture made after a control would hide it, unless it
// is one of the covers meant to lie over the controls.
void ExpectNoPictureOverAControl(const CControlPanelWnd& panel, const std::set<int>& coverIds) {
  const std::vector<CControlObject*> shown = Visible(panel);
  for (std::size_t a = 0; a < shown.size(); ++a) {
    if (!TakesInput(shown[a])) continue;
    for (std::size_t b = a + 1; b < shown.size(); ++b) {
      const auto* picture = dynamic_cast<const CBitmapObject*>(shown[b]);
      if (!picture || coverIds.count(picture->GetId())) continue;
      EXPECT_FALSE(RectsIntersect(shown[a]->GetRect(), picture->GetRect()))
          << Describe(picture) << " over " << Describe(shown[a]);
    }
  }
}

// A button's id is the action or the switch it sends: no other widget carries it, shown or
// not.
void ExpectButtonIdsUnshared(const CControlPanelWnd& panel) {
  const auto& all = panel.GetControls();
  for (const CControlObject* button : all) {
    if (!dynamic_cast<const CBmpButton*>(button)) continue;
    for (const CControlObject* other : all) {
      if (other == button) continue;
      EXPECT_NE(other->GetId(), button->GetId()) << Describe(button) << " and " << Describe(other);
    }
  }
}

// Controls shown together share an id only when it names a parameter of the device (a fader
// and its readout).
void ExpectSharedIdsNameParameters(const CControlPanelWnd& panel, CDevice& device) {
  const std::vector<CControlObject*> shown = Visible(panel);
  for (std::size_t a = 0; a < shown.size(); ++a)
    for (std::size_t b = a + 1; b < shown.size(); ++b) {
      const int id = shown[a]->GetId();
      if (!TakesInput(shown[a]) || !TakesInput(shown[b]) || shown[b]->GetId() != id) continue;
      const CParamInfo info = device.GetParameterAt(id);
      EXPECT_TRUE(info.id == id && info.name != "NULL") << Describe(shown[a]) << " and " << Describe(shown[b]);
    }
}

// Every text shown is drawn: hiding it changes its part of the drawing.
void ExpectEveryTextDrawn(CControlPanelWnd& panel) {
  CImage* buffer = panel.GetBackBuffer();
  ASSERT_TRUE(buffer);
  for (CControlObject* w : Visible(panel)) {
    auto* text = dynamic_cast<CTextControl*>(w);
    if (!text || text->GetText().empty()) continue;
    const CRect r = text->GetRect();
    std::vector<std::uint32_t> drawn;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) drawn.push_back(buffer->GetPixel(x, y).argb);
    text->SetVisible(false);
    panel.RedrawRect(&r, false, true);
    int changed = 0;
    std::size_t i = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) changed += buffer->GetPixel(x, y).argb != drawn[i++];
    text->SetVisible(true);
    panel.RedrawRect(&r, false, true);
    EXPECT_GT(changed, 0) << Describe(text) << " \"" << text->GetText() << "\"";
  }
}

// One panel in one state: the device it shows, made by the case, and what the case does to
// the panel after the refresh.
struct PanelCase {
  std::string name;
  std::function<CDevice*(CSystem&, IMessageSink&)> make;
  std::function<void(CDevice&, CControlPanelWnd&)> show;
  // Pictures drawn on purpose over the controls under them (the covers of withheld rights).
  std::set<int> coverIds;
};

class PanelLayout : public ::testing::TestWithParam<PanelCase> {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    RegisterDevicePanelClasses();
    device = GetParam().make(system, frame);
    ASSERT_NE(device, nullptr);
    system.AppendDevice(device);
    NameDevice(device, "Layout");
    panel.reset(CreateControlPanel(device->GetControlPanelClass()));
    ASSERT_NE(panel, nullptr);
    panel->SetDevice(device);
    device->SetControlPanel(panel.get());
    ASSERT_TRUE(panel->Create());
    panel->UpdateAllControls();
    if (GetParam().show) GetParam().show(*device, *panel);
    panel->RedrawRect(nullptr, false, true);
    if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
      panel->GetBackBuffer()->Native().save(QString::fromLocal8Bit(dir) + "/layout-" +
                                            QString::fromStdString(GetParam().name) + ".png");
  }
  void TearDown() override {
    if (device) device->SetControlPanel(nullptr);
    panel.reset();
  }
  CRecordingFrame frame;
  CSystem system;
  CDevice* device = nullptr;
  std::unique_ptr<CControlPanelWnd> panel;
};

}  // namespace

TEST_P(PanelLayout, KeepsEveryLayoutRule) {
  ExpectInsideTheSkin(*panel);
  ExpectNoOverlappingControls(*panel);
  ExpectNoPictureOverAControl(*panel, GetParam().coverIds);
  ExpectButtonIdsUnshared(*panel);
  ExpectSharedIdsNameParameters(*panel, *device);
  ExpectEveryTextDrawn(*panel);
}

namespace {

std::function<CDevice*(CSystem&, IMessageSink&)> Processor(int model, std::uint32_t hardware = 0) {
  return [=](CSystem& system, IMessageSink& frame) {
    return CreateNerexSeriesDevice(&system, &frame, std::uint32_t(model), 1, hardware);
  };
}

std::function<CDevice*(CSystem&, IMessageSink&)> Amplifier(std::uint32_t type) {
  return [=](CSystem& system, IMessageSink&) { return system.CreateDevice(5, type, 0); };
}

// Shows a page (and on the Mixer page a side tab, and the Router or Matrix view).
std::function<void(CDevice&, CControlPanelWnd&)> Page(std::uint32_t page, std::uint32_t tab = 295,
                                                      bool matrix = false) {
  return [=](CDevice& device, CControlPanelWnd& panel) {
    auto& processor = static_cast<CNerexSeriesDevice&>(device);
    {
      CSingleLock lock(processor.SettingsLock());
      WritableSettings(processor).outputs.mixerFlag = matrix ? 1 : 0;
    }
    processor.PanelView().SetSideTab(tab);
    processor.PanelView().SetPanelPage(page);
    auto& base = static_cast<CNerexSeriesBaseControlPanel&>(panel);
    base.ShowPage(page);
    if (page == kNerexPageMixer) base.SelectSideTab(tab, true);
  };
}

// The pages and Mixer views of the full models, and the views where the panels differ by model:
// the strips a small model centres, the Calder and Hollin headers of three tabs.
std::vector<PanelCase> Cases() {
  std::vector<PanelCase> cases;
  const struct {
    const char* name;
    int model;
    std::uint32_t hardware;
    std::vector<std::uint32_t> tabs;
    std::vector<std::uint32_t> pages;
  } processors[] = {
      {"Nerex48", kModelNerex48, 0, {295, 296, 297}, {60, 61, 63}},
      {"Nerex24", kModelNerex24, 0, {295, 296, 297}, {61}},
      {"Calder26", kModelCalder26, 0, {296}, {63}},
      {"Hollin2", kModelCalder48, kHardwareHollin2, {297}, {61}},
      {"Torvex48", kModelTorvex48, 0, {295, 296, 297}, {60, 61, 63, 64, 65}},
  };
  for (const auto& p : processors) {
    for (std::uint32_t tab : p.tabs)
      cases.push_back({std::string(p.name) + "Tab" + std::to_string(tab),
                       Processor(p.model, p.hardware),
                       Page(kNerexPageMixer, tab),
                       {}});
    for (std::uint32_t page : p.pages)
      cases.push_back(
          {std::string(p.name) + "Page" + std::to_string(page), Processor(p.model, p.hardware), Page(page), {}});
  }
  cases.push_back({"Torvex48Matrix", Processor(kModelTorvex48), Page(kNerexPageMixer, 295, true), {}});
  // The compact view of each processor header: four tabs, three tabs, six tabs; a small model.
  for (const auto& p : processors)
    cases.push_back({std::string(p.name) + "Compact", Processor(p.model, p.hardware), Page(kNerexPageCompact), {}});
  cases.push_back({"Fennick", Processor(kModelFennick), nullptr, {}});
  // The Zel amplifiers' covers lie over the controls they withhold.
  const std::set<int> zelCovers = {zel_layout::kChannelCoverId, zel_layout::kStatusCoverId,
                                   zel_layout::kStandbyCoverId};
  for (std::uint32_t type : {51u, 55u})
    cases.push_back({"Zel" + std::to_string(type), Amplifier(type), nullptr, zelCovers});
  // Eight and sixteen channels.
  for (std::uint32_t type : {34u, 35u}) cases.push_back({"Break" + std::to_string(type), Amplifier(type), nullptr, {}});
  return cases;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Panels, PanelLayout, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<PanelCase>& info) { return info.param.name; });

namespace {

int Brightness(CColour c) { return int(c.R()) + int(c.G()) + int(c.B()); }

CControlObject* FindShown(const CControlPanelWnd& panel, const std::function<bool(const CControlObject*)>& match) {
  for (CControlObject* w : panel.GetControls())
    if (w->IsVisible() && match(w)) return w;
  return nullptr;
}

// The drawing of the rectangle, pixel by pixel.
std::vector<std::uint32_t> Pixels(const CImage& image, const CRect& r) {
  std::vector<std::uint32_t> pixels;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) pixels.push_back(image.GetPixel(x, y).argb);
  return pixels;
}

bool IsPageTab(const CControlObject* w) {
  namespace P = processor_layout;
  const std::set<int> pages = {P::kPageMixer,    P::kPageInputGeq, P::kPageInputPeq,
                               P::kPageOutputEq, P::kPageInputDeq, P::kPageOutputComp};
  return dynamic_cast<const CBmpButton*>(w) && pages.count(w->GetId()) != 0;
}

}  // namespace

// The compact view of a processor panel, drawn: the preset display's text on its own dark well,
// the display's buttons each drawing a face with a light caption or arrow, no page tab reaching
// into the display's row, the same drawing whichever page it is entered from, and the tabs back
// in the header's row on leaving it.
class CompactView : public PanelLayout {};

TEST_P(CompactView, ShowsThePresetDisplayOnItsWellWithItsButtonsDrawn) {
  CImage& buffer = *panel->GetBackBuffer();
  auto redraw = [&](const CRect& r) { panel->RedrawRect(&r, false, true); };
  const CRect lcdRect = ToRect(processor_layout::kLcdText);
  CControlObject* lcd =
      FindShown(*panel, [&](const CControlObject* w) { return dynamic_cast<const CTextControl*>(w) && w->GetRect() == lcdRect; });
  ASSERT_NE(lcd, nullptr);
  lcd->SetVisible(false);
  redraw(lcdRect);
  int brightest = 0;
  for (int y = lcdRect.top; y < lcdRect.bottom; ++y)
    for (int x = lcdRect.left; x < lcdRect.right; ++x) brightest = std::max(brightest, Brightness(buffer.GetPixel(x, y)));
  EXPECT_LT(brightest, 150) << "the display's well is not dark under its whole text";
  lcd->SetVisible(true);
  redraw(lcdRect);

  for (const auto& place : processor_layout::kLcdButtons) {
    SCOPED_TRACE(place.id);
    CControlObject* button = FindShown(*panel, [&](const CControlObject* w) { return w->GetId() == place.id; });
    ASSERT_NE(button, nullptr);
    const CRect r = button->GetRect();
    const std::vector<std::uint32_t> drawn = Pixels(buffer, r);
    int light = 0;
    for (std::uint32_t argb : drawn) light += Brightness(CColour{argb}) > 500 ? 1 : 0;
    EXPECT_GT(light, 8) << "no caption or arrow on the face";
    button->SetVisible(false);
    redraw(r);
    const std::vector<std::uint32_t> bare = Pixels(buffer, r);
    button->SetVisible(true);
    redraw(r);
    int changed = 0;
    for (std::size_t i = 0; i < drawn.size(); ++i) changed += drawn[i] != bare[i] ? 1 : 0;
    EXPECT_GT(changed, int(drawn.size()) / 2) << "the button draws no face of its own";
  }

  std::vector<CRect> compactTabs;
  for (const CControlObject* w : panel->GetControls()) {
    if (!w->IsVisible() || !IsPageTab(w)) continue;
    compactTabs.push_back(w->GetRect());
    EXPECT_LT(w->GetRect().bottom, processor_layout::kLcdText.top) << Describe(w);
  }
  EXPECT_GE(compactTabs.size(), 3u);

  // Entered from the Mixer page or from an equaliser page, the view is drawn alike.
  const std::vector<std::uint32_t> fromMixer = Pixels(buffer, CRect{0, 0, buffer.Width(), buffer.Height()});
  Page(kNerexPageInputPeq)(*device, *panel);
  Page(kNerexPageCompact)(*device, *panel);
  panel->RedrawRect(nullptr, false, true);
  EXPECT_TRUE(Pixels(buffer, CRect{0, 0, buffer.Width(), buffer.Height()}) == fromMixer);

  // On the Mixer page the tabs stand in the header's row again, one above the other's place.
  Page(kNerexPageMixer)(*device, *panel);
  std::size_t t = 0;
  for (const CControlObject* w : panel->GetControls()) {
    if (!w->IsVisible() || !IsPageTab(w) || t >= compactTabs.size()) continue;
    const CRect r = w->GetRect();
    EXPECT_TRUE(r.left == compactTabs[t].left && r.right == compactTabs[t].right && r.bottom > compactTabs[t].bottom)
        << Describe(w);
    ++t;
  }
  EXPECT_EQ(t, compactTabs.size());
}

namespace {

std::vector<PanelCase> CompactCases() {
  std::vector<PanelCase> cases;
  for (const PanelCase& c : Cases())
    if (c.name.size() > 7 && c.name.compare(c.name.size() - 7, 7, "Compact") == 0) cases.push_back(c);
  return cases;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Processors, CompactView, ::testing::ValuesIn(CompactCases()),
                         [](const ::testing::TestParamInfo<PanelCase>& info) { return info.param.name; });
