// A control change reaches the device's open panel, the open custom panels and the members of
// every link that holds the changed parameter, one level deep and never in circles.
#include <gtest/gtest.h>

#include "custom/CPData.h"
#include "core/model/Link.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "tests/support/TestDevices.h"
#include "tests/support/ModelChanges.h"

namespace {

class DeviceChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      devices[i] = new CTestDevice(&system, std::uint32_t(i + 1));
      system.AppendDevice(devices[i]);
    }
  }

  // A link with the members given as (device index, parameter id).
  CLink* AddLink(std::initializer_list<std::pair<int, int>> members) {
    auto* link = new CLink("Link " + std::to_string(system.Links().GetLinks().size() + 1));
    for (auto [d, id] : members) link->AddRef(new CLinkRef(devices[d]->GetUuid(), std::uint32_t(id)));
    system.Links().AppendLink(link);
    return link;
  }

  static std::vector<int> Ids(const std::vector<CParamValue>& values) {
    std::vector<int> ids;
    for (const auto& v : values) ids.push_back(v.id);
    return ids;
  }

  CSystem system;
  CTestDevice* devices[3] = {};
};

}  // namespace

TEST_F(DeviceChangeTest, OpenPanelIsNotifiedWithTheValue) {
  CTestControlPanel panel;
  devices[0]->SetControlPanel(&panel);
  ModelChange(devices[0], MakeIntParamValue(kTestGain, -12));
  ASSERT_EQ(panel.notified.size(), 1u);
  EXPECT_EQ(panel.notified[0].id, kTestGain);
  EXPECT_EQ(panel.notified[0].integer, -12);
}

TEST_F(DeviceChangeTest, OnlyOpenCustomPanelsAreAskedToRefresh) {
  CTestCustomPanelView view;
  auto* open = new CCPData;
  open->m_pView = &view;
  system.Panels().AppendCustomPanel(open);
  system.Panels().AppendCustomPanel(new CCPData);  // closed: has no view to ask
  ModelChange(devices[1], MakeBoolParamValue(kTestMute, true));
  ASSERT_EQ(view.updates.size(), 1u);
  EXPECT_EQ(view.updates[0].device, devices[1]);
  EXPECT_EQ(view.updates[0].parameterId, std::uint32_t(kTestMute));
}

TEST_F(DeviceChangeTest, LinkedMembersReceiveValueUnderTheirOwnParameterId) {
  AddLink({{0, kTestGain}, {1, kTestGain}, {2, kTestMute}});
  CParamValue v = MakeIntParamValue(kTestGain, 7);
  v.text = "seven";
  v.value = 7.5f;
  ModelChange(devices[0], v);
  ASSERT_EQ(devices[1]->applied.size(), 1u);
  EXPECT_EQ(devices[1]->applied[0].id, kTestGain);
  EXPECT_EQ(devices[1]->applied[0].integer, 7);
  ASSERT_EQ(devices[2]->applied.size(), 1u);
  const CParamValue& got = devices[2]->applied[0];
  EXPECT_EQ(got.id, kTestMute);
  EXPECT_EQ(got.kind, ParamKind::kInteger);
  EXPECT_EQ(got.text, "seven");
  EXPECT_EQ(got.value, 7.5f);
  EXPECT_EQ(devices[0]->applied.size(), 1u);  // the source is never fed back
  EXPECT_FALSE(system.IsLinksBusy());
}

TEST_F(DeviceChangeTest, TwoLinksSpreadLinkByLinkAndSharedMemberGetsItTwice) {
  AddLink({{0, kTestGain}, {1, kTestGain}});
  AddLink({{2, kTestLabel}, {0, kTestGain}, {1, kTestMute}});
  ModelChange(devices[0], MakeIntParamValue(kTestGain, 1));
  EXPECT_EQ(Ids(devices[1]->applied), (std::vector<int>{kTestGain, kTestMute}));
  EXPECT_EQ(Ids(devices[2]->applied), (std::vector<int>{kTestLabel}));
}

TEST_F(DeviceChangeTest, CircularLinksSpreadOneLevelAndStop) {
  // Every device's gain is linked to the others twice over: without the guard the linked
  // devices' own changes would spread again without end.
  AddLink({{0, kTestGain}, {1, kTestGain}, {2, kTestGain}});
  AddLink({{1, kTestGain}, {2, kTestGain}, {0, kTestGain}});
  ModelChange(devices[1], MakeIntParamValue(kTestGain, 4));
  EXPECT_EQ(devices[0]->applied.size(), 2u);
  EXPECT_EQ(devices[1]->applied.size(), 1u);
  EXPECT_EQ(devices[2]->applied.size(), 2u);
  // The guard is released: the next change spreads again.
  ModelChange(devices[2], MakeIntParamValue(kTestGain, 5));
  EXPECT_EQ(devices[0]->applied.size(), 4u);
}

TEST_F(DeviceChangeTest, LinkingOffKeepsChangeOnItsDevice) {
  AddLink({{0, kTestGain}, {1, kTestGain}});
  system.Links().SetLinksActive(false);
  ModelChange(devices[0], MakeIntParamValue(kTestGain, 1));
  EXPECT_TRUE(devices[1]->applied.empty());
}

TEST_F(DeviceChangeTest, OtherParameterOfLinkedDeviceDoesNotSpread) {
  AddLink({{0, kTestGain}, {1, kTestGain}});
  ModelChange(devices[0], MakeBoolParamValue(kTestMute, true));
  EXPECT_TRUE(devices[1]->applied.empty());
}

TEST_F(DeviceChangeTest, MemberWhoseDeviceIsGoneIsSkipped) {
  CLink* link = AddLink({{0, kTestGain}, {1, kTestGain}});
  link->AddRef(new CLinkRef(MakeUuid(), kTestGain));  // no device has this UUID
  link->AddRef(new CLinkRef(devices[2]->GetUuid(), kTestGain));
  ModelChange(devices[0], MakeIntParamValue(kTestGain, 2));
  EXPECT_EQ(devices[1]->applied.size(), 1u);
  EXPECT_EQ(devices[2]->applied.size(), 1u);
}

TEST_F(DeviceChangeTest, LinkedDevicesRefreshTheirOwnOpenPanels) {
  AddLink({{0, kTestGain}, {1, kTestMute}});
  CTestControlPanel panel;
  devices[1]->SetControlPanel(&panel);
  ModelChange(devices[0], MakeIntParamValue(kTestGain, 3));
  ASSERT_EQ(panel.notified.size(), 1u);
  EXPECT_EQ(panel.notified[0].id, kTestMute);
}

// A person's change (ApplyUserChange) goes down the change path only for a current user who
// holds "Can Use Device Controls"; refused, the open panel shows the held value again and
// nothing else moves. A device without a system has no such user.
TEST_F(DeviceChangeTest, APersonsChangeNeedsTheRightAndARefusalShowsTheHeldValueAgain) {
  CTestControlPanel panel;
  devices[0]->SetControlPanel(&panel);
  devices[0]->values[kTestGain] = MakeIntParamValue(kTestGain, -6);
  system.Users().GetUsers().push_back(new CUser("Guest", "guest"));
  system.Users().GetUsers().back()->SetRestrictionMask(kRestrictUseDeviceControls);
  system.Users().SetCurrentUser(1);

  EXPECT_FALSE(devices[0]->Gate().ApplyUserChange(MakeIntParamValue(kTestGain, -12)));
  EXPECT_TRUE(devices[0]->applied.empty());
  ASSERT_EQ(panel.notified.size(), 1u);
  EXPECT_EQ(panel.notified[0].integer, -6);

  system.Users().SetCurrentUser(0);
  EXPECT_TRUE(devices[0]->Gate().ApplyUserChange(MakeIntParamValue(kTestGain, -12)));
  ASSERT_EQ(devices[0]->applied.size(), 1u);
  EXPECT_EQ(devices[0]->applied[0].integer, -12);

  CTestDevice alone(nullptr, 9);
  EXPECT_FALSE(alone.Gate().ApplyUserChange(MakeIntParamValue(kTestGain, -12)));
  EXPECT_TRUE(alone.applied.empty());
}
