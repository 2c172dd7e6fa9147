// The command states on their own: which of the frame's commands a system's state and the
// current user's rights enable, read from a CCommandStates made beside the frame's own.
#include <gtest/gtest.h>

#include <QAction>

#include <functional>
#include <map>
#include <string>

#include "app/CommandIds.h"
#include "app/CommandStates.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/TestDevices.h"
#include "ui/CustomPanelDesigner.h"

namespace {

struct StateCase {
  std::string name;
  // Brings the frame's system to the state.
  std::function<void(CMainFrame&)> arrange;
  std::map<std::uint32_t, bool> enabled;
};

void AddStateDevice(CMainFrame& frame) {
  frame.GetSystem().AppendDevice(new CTestDevice(&frame.GetSystem(), 1, &frame));
}

class CommandStatesTest : public FrameTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(CommandStatesTest, EachCommandFollowsItsRule) {
  CMainFrame& frame = MakeFrame();
  GetParam().arrange(frame);
  const CCommandStates states(frame, frame.GetSystem());
  for (const auto& [id, enabled] : GetParam().enabled) EXPECT_EQ(states.IsCommandEnabled(id), enabled) << id;
  // The menus and toolbars show the same.
  frame.UpdateCommandUI();
  for (const auto& [id, enabled] : GetParam().enabled) {
    if (QAction* action = frame.GetCommand(id)) {
      EXPECT_EQ(action->isEnabled(), enabled) << id;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    States, CommandStatesTest,
    ::testing::Values(
        StateCase{"Empty",
                  [](CMainFrame&) {},
                  {{Cmd::kFileNew, true},
                   {Cmd::kFileSave, false},  // nothing to store
                   {Cmd::kFileSaveAs, true},
                   {Cmd::kOnline, false},  // no devices
                   {Cmd::kGlobalMute, false},
                   {Cmd::kOptions, true},
                   {Cmd::kNewSnapshot, false},
                   {Cmd::kLinkManager, false},
                   {Cmd::kAddLink, false},
                   {Cmd::kDeleteLink, false},  // links are deleted in the Link Manager
                   {Cmd::kVisualLinker, false},
                   {Cmd::kSwitchUsers, false},  // no security
                   {Cmd::kNewCustomPanel, false},
                   {Cmd::kFullScreen, true}}},
        StateCase{"ADeviceModifiedInDesignMode",
                  [](CMainFrame& f) {
                    AddStateDevice(f);
                    f.GetSystem().SetModified(true);
                    f.GetSystem().Panels().SetDesignMode(1);
                  },
                  {{Cmd::kFileSave, true},
                   {Cmd::kOnline, true},
                   {Cmd::kNewSnapshot, true},
                   {Cmd::kLinkManager, true},
                   {Cmd::kAddLink, true},
                   {Cmd::kNewCustomPanel, true},
                   {Cmd::kDesignMode, true},
                   {Cmd::kFileProperties, true}}},
        StateCase{"AUserWithoutApplicationSettings",
                  [](CMainFrame& f) {
                    AddStateDevice(f);
                    f.GetSystem().Users().GetUsers()[0]->m_restrictLow = kRestrictApplicationSettings;
                  },
                  {{Cmd::kOnline, true},
                   {Cmd::kOptions, false},
                   // Any restriction takes the commands that change the system's make-up.
                   {Cmd::kNewSnapshot, false},
                   {Cmd::kLinkManager, false},
                   {Cmd::kFileProperties, false},
                   {Cmd::kDesignMode, false},
                   {Cmd::kSnapshotCombo, true}}},
        StateCase{"AUserWhoMayNotRecallSnapshots",
                  [](CMainFrame& f) {
                    AddStateDevice(f);
                    f.GetSystem().Users().GetUsers()[0]->m_restrictLow = kRestrictRecallSnapshots;
                  },
                  {{Cmd::kSnapshotCombo, false}, {Cmd::kOptions, true}}}),
    [](const ::testing::TestParamInfo<StateCase>& info) { return info.param.name; });

TEST(CommandStatesToolTest, TheDesignToolsAreTheDesignersRangeOnly) {
  EXPECT_TRUE(CCommandStates::IsDesignTool(kCmdSelectMode));
  EXPECT_TRUE(CCommandStates::IsDesignTool(kCmdLowerToBottom));
  EXPECT_FALSE(CCommandStates::IsDesignTool(kCmdSelectMode - 1));
  EXPECT_FALSE(CCommandStates::IsDesignTool(kCmdLowerToBottom + 1));
  EXPECT_TRUE(Cmd::IsModelCommand(Cmd::kFirstModelCommand));
  EXPECT_TRUE(Cmd::IsModelCommand(Cmd::kLastModelCommand));
  EXPECT_FALSE(Cmd::IsModelCommand(Cmd::kLastModelCommand + 1));
}

}  // namespace
