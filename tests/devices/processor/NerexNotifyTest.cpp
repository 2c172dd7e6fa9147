// The notification sweeps: which ids are pushed, in which order, by model, and what the open
// panel is asked afterwards. The sweeps send nothing to the unit.
#include "tests/devices/processor/ProcessorTestSupport.h"

#include <algorithm>

namespace {

class NerexNotifyTest : public ProcessorDeviceTest {
 protected:
  std::vector<int> Sweep(int model) {
    CNerexSeriesDevice& d = Make(model);
    panel = CRecordingNerexPanel{};
    d.SetControlPanel(&panel);
    NotifyAllParameters(d);
    d.SetControlPanel(nullptr);
    return panel.ids;
  }
  static bool Has(const std::vector<int>& ids, int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

  CRecordingNerexPanel panel;
};

}  // namespace

TEST_F(NerexNotifyTest, WholeSweepPushesEveryChannelInOrderWhateverTheModel) {
  const std::vector<int> ids = Sweep(114);  // two inputs, four outputs
  // Input 0 starts with name, gain, mute and its four link bits.
  ASSERT_GE(ids.size(), 7u);
  EXPECT_EQ(std::vector<int>(ids.begin(), ids.begin() + 7), (std::vector<int>{128, 13, 25, 339, 340, 341, 342}));
  EXPECT_TRUE(Has(ids, 131));   // input 3's name on a two-input model
  EXPECT_TRUE(Has(ids, 139));   // output 7's name on a four-output model
  EXPECT_TRUE(Has(ids, 252));   // input delays on the Nerex models
  EXPECT_FALSE(Has(ids, 1364)); // compressors only on the Torvex48
  EXPECT_FALSE(Has(ids, 1506)); // the dynamic-EQ filter kind is not pushed
  EXPECT_EQ(ids.back(), 58);
  // The two dynamic-EQ flags are pushed once per input.
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 1590), 4);
  // "Auto Limiters" and "Compressor Limiters" come between the inputs and the outputs.
  const auto autoAt = std::find(ids.begin(), ids.end(), 422) - ids.begin();
  EXPECT_EQ(ids[std::size_t(autoAt + 1)], 1444);
  EXPECT_EQ(ids[std::size_t(autoAt + 2)], 132);
}

TEST_F(NerexNotifyTest, FennickSkipsInputDelaysAndTorvexPushesItsCompressorsInOrder) {
  const std::vector<int> fennick = Sweep(16);
  EXPECT_FALSE(Has(fennick, 249));
  EXPECT_FALSE(Has(fennick, 1364));
  const std::vector<int> torvex = Sweep(121);
  const auto at = std::find(torvex.begin(), torvex.end(), 1364) - torvex.begin();
  EXPECT_EQ(std::vector<int>(torvex.begin() + at, torvex.begin() + at + 6),
            (std::vector<int>{1364, 1372, 1380, 1388, 1404, 1396}));
  // Every id pushed has a value: none is the empty value.
  for (int id : torvex) EXPECT_NE(id, 0);
}

TEST_F(NerexNotifyTest, SweepEndsWithThePresetListAndThePanelsPage) {
  CNerexSeriesDevice& d = Make(121);
  d.SetControlPanel(&panel);
  d.PanelView().SetSideTab(297);
  NotifyAllParameters(d);
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"RefillPresetList", "SelectSideTab 297"}));
  panel.calls.clear();
  d.PanelView().SetPanelPage(64);
  NotifyAllParameters(d);
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"RefillPresetList", "RefreshDeqSection"}));
  d.SetControlPanel(nullptr);
  EXPECT_EQ(d.Queue().GetQueueSize(), 0u);
}

TEST_F(NerexNotifyTest, ChannelSweepsPushTheLinkGroupOnly) {
  CNerexSeriesDevice& d = Make(120);
  d.SetControlPanel(&panel);
  WritableSettings(d).outputs.linkMasks[2] = 0x0C;
  NotifyOutputChannelParameters(d, 2);
  EXPECT_TRUE(Has(panel.ids, 19));
  EXPECT_TRUE(Has(panel.ids, 20));
  EXPECT_FALSE(Has(panel.ids, 18));
  EXPECT_TRUE(panel.calls.empty());
  panel.ids.clear();
  WritableSettings(d).inputs.linkMasks[1] = 0;
  NotifyInputChannelParameters(d, 1);
  EXPECT_TRUE(panel.ids.empty());
  EXPECT_EQ(panel.calls, (std::vector<std::string>{"DrawInputsSection"}));
  d.SetControlPanel(nullptr);
}
