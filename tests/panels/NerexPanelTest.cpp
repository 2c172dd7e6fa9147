// The Nerex-series panel and its model panels: strip geometry and creation order by model,
// page, side-tab and channel visibility, right clicks, tooltips, the skin sets' lifetime, the
// filter lists, the rendered panel, and the panel against a simulated Nerex48 on the bus.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/BitmapImage.h"
#include "core/User.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "panels/BitmapFader.h"
#include "panels/BitmapMeter.h"
#include "panels/BitmapObject.h"
#include "panels/BmpButton.h"
#include "panels/CustomComboBox.h"
#include "panels/NerexControlPanel.h"
#include "panels/NerexSeriesLayout.h"
#include "panels/PanelClasses.h"
#include "panels/TextControl.h"
#include "platform/Image.h"
#include "platform/MouseMessages.h"
#include "tests/devices/processor/ProcessorFixture.h"

namespace {

namespace L = nerex_layout;

// Leaves the drawing for looking at when ORVAK_PANEL_PNG_DIR names a folder.
void Save(const CImage& image, const std::string& name) {
  if (const char* dir = std::getenv("ORVAK_PANEL_PNG_DIR"))
    image.Native().save(QString::fromLocal8Bit(dir) + QStringLiteral("/") + QString::fromStdString(name));
}

// Opens the panel the device names, as the main frame does: bound, built, refreshed.
std::unique_ptr<CNerexSeriesControlPanel> OpenPanel(CNerexSeriesDevice& device) {
  RegisterDevicePanelClasses();
  std::unique_ptr<CNerexSeriesControlPanel> panel(
      dynamic_cast<CNerexSeriesControlPanel*>(CreateControlPanel(device.GetControlPanelClass())));
  EXPECT_TRUE(panel);
  if (!panel) return panel;
  panel->SetDevice(&device);
  device.SetControlPanel(panel.get());
  EXPECT_TRUE(panel->Create());
  panel->UpdateAllControls();
  return panel;
}

class NerexPanelTest : public ProcessorFixture {
 protected:
  void TearDown() override {
    for (auto& panel : m_panels) {
      if (panel && panel->GetDevice()) panel->GetDevice()->SetControlPanel(nullptr);
      panel.reset();
    }
    ProcessorFixture::TearDown();
  }
  CNerexSeriesControlPanel& Open(CNerexSeriesDevice& device) {
    m_panels.push_back(OpenPanel(device));
    return *m_panels.back();
  }
  std::vector<std::unique_ptr<CNerexSeriesControlPanel>> m_panels;
};

}  // namespace

// --- Rendering ---

TEST_F(NerexPanelTest, RenderedMixerPageShowsStripsHeadingsAndMeters) {
  CNerexSeriesDevice& device = Make(kModelNerex48);
  CNerexSeriesControlPanel& panel = Open(device);
  const CImage* buffer = panel.GetBackBuffer();
  ASSERT_TRUE(buffer);
  Save(*buffer, "nerex48-mixer.png");
  for (std::uint32_t page : {60u, 61u, 63u}) {
    device.SetPanelPage(page);
    panel.ShowPage(page);
    Save(*buffer, "nerex48-page" + std::to_string(page) + ".png");
  }
  for (std::uint32_t tab : {296u, 297u}) {
    device.SetPanelPage(59);
    device.SetSideTab(tab);
    panel.ShowPage(59);
    Save(*buffer, "nerex48-tab" + std::to_string(tab) + ".png");
  }
}
