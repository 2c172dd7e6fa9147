// CSystem::ConfirmAction and the "ConfirmDialogs" bits: who is asked, with which texts, and
// which bit the never-again box clears.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/support/AppSettings.h"
#include "core/model/Confirm.h"
#include "core/system/System.h"
#include "platform/SettingsStore.h"
#include "tests/support/RecordingUi.h"

namespace {

// Answers every question as scripted and records what it was asked.
class CScriptedConfirm {
 public:
  struct Question {
    std::string caption, question, okText;
  };
  bool AskConfirm(const std::string& caption, const std::string& question, const std::string& okText,
                  bool& neverAgain) {
    asked.push_back({caption, question, okText});
    if (answerOk) neverAgain = tickNeverAgain;
    return answerOk;
  }
  bool answerOk = true;
  bool tickNeverAgain = false;
  std::vector<Question> asked;
};

struct ConfirmFixture : ::testing::Test {
  void SetUp() override {
    CSettingsStore::Remove(SettingKeys::kSection, SettingKeys::kConfirmDialogs);
    ui.SetConfirmPrompt(&prompt);
    system.SetUiServices(&ui);
  }
  CScriptedConfirm prompt;
  CRecordingUi ui;
  CSystem system;
};

}  // namespace

TEST_F(ConfirmFixture, WithoutTheSettingEveryActionAsksWithItsOwnTexts) {
  const std::vector<std::vector<std::string>> expected = {
      {"Confirm Global Mute", "Are you sure you want to Global Mute?", "Mute"},
      {"Confirm Flatten Graphic EQ", "Are you sure you want to flatten this graphic EQ?", "Flatten"},
      {"Confirm Preset Recall", "Are you sure you want to recall this preset?", "Recall"},
      {"Confirm Preset Overwrite", "Are you sure you want to store this preset over an existing preset?", "Store"},
      {"Confirm Preset Delete", "Are you sure you want to delete this preset?", "Delete"},
      {"Confirm Device Delete", "Are you sure you want to delete this device?", "Delete"},
      {"Confirm Control Panel Delete", "Are you sure you want to delete this Custom Control Panel?", "Delete"},
      {"Confirm Change Routing",
       "Are you sure you want to change the routing? This will mute all outputs on this device", "Yes"},
      {"Confirm Snapshot Recall", "Are you sure you want to recall this snapshot?", "Recall"},
      {"Confirm Snapshot Delete", "Are you sure you want to delete this snapshot?", "Delete"},
  };
  for (std::uint32_t bit : kConfirmBits) EXPECT_TRUE(system.ConfirmAction(bit));
  ASSERT_EQ(prompt.asked.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(prompt.asked[i].caption, expected[i][0]);
    EXPECT_EQ(prompt.asked[i].question, expected[i][1]);
    EXPECT_EQ(prompt.asked[i].okText, expected[i][2]);
  }
  EXPECT_FALSE(CSettingsStore::Contains(SettingKeys::kSection, SettingKeys::kConfirmDialogs));
}

TEST_F(ConfirmFixture, GlobalMuteQuestionTurnsIntoUnmuteWhileTheSystemIsMuted) {
  system.SetGlobalMute(true);
  EXPECT_TRUE(system.ConfirmAction(kConfirmGlobalMute));
  ASSERT_EQ(prompt.asked.size(), 1u);
  EXPECT_EQ(prompt.asked[0].caption, "Confirm Global Unmute");
  EXPECT_EQ(prompt.asked[0].question, "Are you sure you want to Global Unmute?");
  EXPECT_EQ(prompt.asked[0].okText, "Unmute");
}

TEST_F(ConfirmFixture, CancelWithNeverAgainTickedRefusesAndLeavesTheSettingAlone) {
  CAppSettings::SetConfirmDialogs(0x3FF);
  prompt.answerOk = false;
  prompt.tickNeverAgain = true;
  EXPECT_FALSE(system.ConfirmAction(kConfirmPresetDelete));
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0x3FFu);
}

TEST_F(ConfirmFixture, NeverAgainOnOkClearsOnlyThatActionsBit) {
  prompt.tickNeverAgain = true;
  EXPECT_TRUE(system.ConfirmAction(kConfirmSnapshotRecall));
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0xFFFFFFFFu & ~0x100u);
  prompt.asked.clear();
  EXPECT_TRUE(system.ConfirmAction(kConfirmSnapshotRecall));
  EXPECT_TRUE(prompt.asked.empty());
  EXPECT_TRUE(system.ConfirmAction(kConfirmSnapshotDelete));
  EXPECT_EQ(prompt.asked.size(), 1u);
}

TEST_F(ConfirmFixture, OkWithoutNeverAgainKeepsAsking) {
  EXPECT_TRUE(system.ConfirmAction(kConfirmDeviceDelete));
  EXPECT_TRUE(system.ConfirmAction(kConfirmDeviceDelete));
  EXPECT_EQ(prompt.asked.size(), 2u);
  EXPECT_TRUE(GetConfirmBit(kConfirmDeviceDelete));
}

TEST_F(ConfirmFixture, ClearingBitOneSilencesBothMuteAndUnmute) {
  SetConfirmGlobalMute(false);
  EXPECT_TRUE(system.ConfirmAction(kConfirmGlobalMute));
  system.SetGlobalMute(true);
  EXPECT_TRUE(system.ConfirmAction(kConfirmGlobalMute));
  EXPECT_TRUE(prompt.asked.empty());
}

TEST_F(ConfirmFixture, ValuesThatAreNotOneActionBitGoAheadWithoutAsking) {
  for (std::uint32_t action : {0u, 0x3u, 0x400u, 0x80000000u}) EXPECT_TRUE(system.ConfirmAction(action));
  EXPECT_TRUE(prompt.asked.empty());
}

TEST_F(ConfirmFixture, WithoutAQuestionBoxARiskyActionDoesNotRun) {
  system.SetUiServices(nullptr);
  EXPECT_FALSE(system.ConfirmAction(kConfirmDeviceDelete));
  SetConfirmDeviceDelete(false);
  EXPECT_TRUE(system.ConfirmAction(kConfirmDeviceDelete));
}

TEST(ConfirmSettings, EachSetterChangesOnlyItsBitAndWritesAtOnce) {
  CAppSettings::SetConfirmDialogs(0);
  SetConfirmPresetOverwrite(true);
  EXPECT_EQ(CSettingsStore::GetInt(SettingKeys::kSection, SettingKeys::kConfirmDialogs, 0), 0x8u);
  SetConfirmChangeRouting(true);
  SetConfirmSnapshotDelete(true);
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0x288u);
  EXPECT_TRUE(GetConfirmChangeRouting());
  EXPECT_FALSE(GetConfirmPanelDelete());
  SetConfirmPresetOverwrite(false);
  EXPECT_EQ(CAppSettings::GetConfirmDialogs(), 0x280u);
  EXPECT_FALSE(GetConfirmPresetOverwrite());
}
