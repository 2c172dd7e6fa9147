// The system's users and their rights (CSystemUsers): the questions about the current user, and
// the users a unit hands over online.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "custom/CPData.h"
#include "core/model/User.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "tests/support/TestDevices.h"

namespace {

// Users named User0, User1 ... with the given restriction masks; owned by the caller.
CUserList MakeUsers(const std::vector<std::uint64_t>& masks) {
  CUserList users;
  for (std::size_t i = 0; i < masks.size(); ++i) {
    auto* user = new CUser("User" + std::to_string(i), "pw" + std::to_string(i));
    user->SetRestrictionMask(masks[i]);
    users.push_back(user);
  }
  return users;
}

struct CUserListOwner {
  CUserList users;
  ~CUserListOwner() { DeleteAllUsers(users); }
};

}  // namespace

// An index that names no user, past the list or past the ten users the system keeps, answers
// every question as without a user: every right withheld, no panel opened, no name.
class CurrentUserNamingNoneTest : public ::testing::TestWithParam<int> {};

TEST_P(CurrentUserNamingNoneTest, WithholdsEveryRightAndNamesNobody) {
  CSystem s;
  CSystemUsers& users = s.Users();
  users.DeleteAllUsers();
  users.GetUsers() = MakeUsers(std::vector<std::uint64_t>(11, 0));
  users.SetCurrentUser(GetParam());
  EXPECT_EQ(users.GetCurrentUserRestrictions(), ~std::uint64_t{0});
  EXPECT_EQ(s.GetCurrentUserRestrictions(), ~std::uint64_t{0});
  EXPECT_FALSE(s.CanCurrentUserEditDeviceProperties());
  EXPECT_FALSE(s.MayCurrentUserRecallSnapshots());
  EXPECT_FALSE(users.CurrentUserMayOpen(CUuid()));
  EXPECT_FALSE(users.IsCurrentUserRestricted());
  EXPECT_EQ(users.GetCurrentUserName(), "");
}

INSTANTIATE_TEST_SUITE_P(SystemUsersTest, CurrentUserNamingNoneTest, ::testing::Values(-1, 10, 11, 40));

TEST(SystemUsersTest, TheCurrentUsersQuestionsAnswerFromThatUser) {
  CSystem s;
  CSystemUsers& users = s.Users();
  users.DeleteAllUsers();
  users.GetUsers() = MakeUsers({0, kRestrictRecallSnapshots | kRestrictEditDeviceProperties});
  const CUuid allowed = MakeUuid();
  const CUuid withheld = MakeUuid();
  users.GetUsers()[1]->m_devicePermissions.push_back(new CPanelPermissions(allowed, CPanelPermissions::kCanUse));
  users.GetUsers()[1]->m_panelPermissions.push_back(new CPanelPermissions(withheld, 0));

  users.SetCurrentUser(0);
  EXPECT_FALSE(users.IsCurrentUserRestricted());
  EXPECT_TRUE(users.CurrentUserMayOpen(withheld));  // an unrestricted user opens every panel
  EXPECT_TRUE(s.MayCurrentUserRecallSnapshots());
  EXPECT_EQ(users.GetCurrentUserName(), "User0");

  users.SetCurrentUser(1);
  EXPECT_TRUE(users.IsCurrentUserRestricted());
  EXPECT_TRUE(users.CurrentUserMayOpen(allowed));
  EXPECT_FALSE(users.CurrentUserMayOpen(withheld));
  EXPECT_FALSE(users.CurrentUserMayOpen(MakeUuid()));  // no record: not opened
  EXPECT_FALSE(s.MayCurrentUserRecallSnapshots());
  EXPECT_FALSE(s.CanCurrentUserEditDeviceProperties());
  EXPECT_EQ(users.GetCurrentUserName(), "User1");
}

TEST(SystemUsersTest, ImportedUsersAreCopiesWithRecordsAndTheAdministratorLoggedIn) {
  CSystem s;
  auto* device = new CTestDevice(&s, 1);
  s.AppendDevice(device);
  s.GetZones()[0]->AppendDevice(device);
  CCPData* panel = s.Panels().AddCustomPanel();
  CSystemUsers& users = s.Users();
  users.SetCurrentUser(0);
  s.SetModified(false);
  const std::uint32_t importsBefore = users.GetUserImports();

  // Twelve users on the unit: the system keeps ten.
  CUserListOwner network{MakeUsers({0, kRestrictUseDeviceControls, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})};
  users.ImportNetworkUsers(network.users);

  ASSERT_EQ(users.GetUsers().size(), kMaxUsers);
  for (std::size_t i = 0; i < kMaxUsers; ++i) {
    const CUser& user = *users.GetUsers()[i];
    EXPECT_NE(&user, network.users[i]) << "a copy, not the unit's own";
    EXPECT_EQ(user.GetName(), network.users[i]->GetName());
    EXPECT_EQ(user.GetRestrictionMask(), network.users[i]->GetRestrictionMask());
    // The first user never gets records; the others one for the device and one for the panel.
    EXPECT_EQ(user.HasPermissionRecord(device->GetUuid()), i > 0) << i;
    EXPECT_EQ(user.HasPermissionRecord(panel->GetUuid()), i > 0) << i;
  }
  EXPECT_TRUE(users.GetUseSystemSecurity());
  EXPECT_EQ(users.GetUserImports(), importsBefore + 1);
  EXPECT_EQ(users.GetCurrentUser(), 0);
  EXPECT_TRUE(s.IsModified());

  // A restricted user opens the panels of the records the import gave.
  users.SetCurrentUser(1);
  EXPECT_TRUE(users.CurrentUserMayOpen(device->GetUuid()));
  EXPECT_TRUE(users.CurrentUserMayOpen(panel->GetUuid()));

  // A second import from the current user 1 logs the administrator in again.
  users.ImportNetworkUsers(network.users);
  EXPECT_EQ(users.GetCurrentUser(), 0);
  EXPECT_EQ(users.GetUserImports(), importsBefore + 2);
}
