// The frame's user, link and help commands: their enable rules and what they do after the
// dialogs (answered by the scripted prompts), and the security dialog opened on the worker's
// request.
#include <QAction>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include "app/CommandIds.h"
#include "core/comms/CommsWorker.h"
#include "core/model/Link.h"
#include "core/comms/SecurityDialog.h"
#include "core/system/System.h"
#include "core/model/User.h"
#include "tests/app/FrameFixture.h"
#include "tests/support/TestDevices.h"

namespace {

class UserCommandsTest : public FrameTest {
 protected:
  CFrameUnderTest& MakeSecuredFrame() {
    CFrameUnderTest& f = MakeFrame();
    CSystem& system = f.GetSystem();
    system.Users().GetUsers().push_back(new CUser("Bob", "pw"));
    system.Users().GetUsers().back()->SetRestrictionMask(kRestrictUseDeviceControls);
    system.Users().SetUseSystemSecurity(true);
    return f;
  }
  static bool Enabled(CMainFrame& f, std::uint32_t id) {
    f.UpdateCommandUI();
    return f.GetCommand(id)->isEnabled();
  }
};

}  // namespace

TEST_F(UserCommandsTest, EnableRulesFollowSecurityRestrictionsAndDevices) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  EXPECT_TRUE(Enabled(f, Cmd::kFileProperties));
  EXPECT_FALSE(Enabled(f, Cmd::kLinkManager));  // no devices
  EXPECT_FALSE(Enabled(f, Cmd::kSwitchUsers));  // security off
  EXPECT_FALSE(Enabled(f, Cmd::kChangePassword));
  EXPECT_FALSE(Enabled(f, Cmd::kAddLink));  // as the Link Manager, where a link is filled
  EXPECT_TRUE(Enabled(f, Cmd::kQuickStartGuide));
  EXPECT_TRUE(Enabled(f, Cmd::kImageLibraryManager));
  EXPECT_FALSE(Enabled(f, Cmd::kDeleteLink));  // links are deleted in the Link Manager
  EXPECT_FALSE(Enabled(f, Cmd::kVisualLinker));
  EXPECT_TRUE(f.GetCommand(Cmd::kLinkingStatus)->isChecked());

  system.AppendDevice(new CTestDevice(&system, 1, &f));
  system.Users().SetUseSystemSecurity(true);
  EXPECT_TRUE(Enabled(f, Cmd::kLinkManager));
  EXPECT_TRUE(Enabled(f, Cmd::kAddLink));
  EXPECT_FALSE(Enabled(f, Cmd::kSwitchUsers));  // one user only
  EXPECT_TRUE(Enabled(f, Cmd::kChangePassword));
  system.Users().GetUsers().push_back(new CUser("Bob", "pw"));
  EXPECT_TRUE(Enabled(f, Cmd::kSwitchUsers));

  // A restricted current user: no file properties, links, linking status or image library.
  system.Users().SetCurrentUser(1);
  system.Users().GetUsers()[1]->SetRestrictionMask(kRestrictChangePassword);
  EXPECT_FALSE(Enabled(f, Cmd::kFileProperties));
  EXPECT_FALSE(Enabled(f, Cmd::kLinkManager));
  EXPECT_FALSE(Enabled(f, Cmd::kAddLink));
  EXPECT_FALSE(Enabled(f, Cmd::kLinkingStatus));
  EXPECT_FALSE(Enabled(f, Cmd::kImageLibraryManager));
  EXPECT_FALSE(Enabled(f, Cmd::kChangePassword));
  EXPECT_TRUE(Enabled(f, Cmd::kSwitchUsers));
  EXPECT_FALSE(Enabled(f, Cmd::kDeleteLink));
}

TEST_F(UserCommandsTest, SwitchUsersMakesTheChosenUserCurrentAndTheStatusNamesIt) {
  CFrameUnderTest& f = MakeSecuredFrame();
  prompts.switchToUser = 1;
  f.RunCommand(Cmd::kSwitchUsers);
  EXPECT_EQ(prompts.switchUserDialogs, 1);
  EXPECT_EQ(f.GetSystem().Users().GetCurrentUser(), 1);
  EXPECT_TRUE(f.GetSystem().IsModified());
  ProcessEvents();
  EXPECT_EQ(f.GetStatusText(), "Current User - Bob");

  f.GetSystem().SetModified(false);
  prompts.switchToUser = -1;  // cancelled
  f.RunCommand(Cmd::kSwitchUsers);
  EXPECT_FALSE(f.GetSystem().IsModified());
}

TEST_F(UserCommandsTest, ChangePasswordChangesTheCurrentUsersPasswordOffline) {
  CFrameUnderTest& f = MakeSecuredFrame();
  f.RunCommand(Cmd::kChangePassword);  // cancelled: nothing changes
  EXPECT_FALSE(f.GetSystem().IsModified());
  prompts.newPassword = "fresh";
  f.RunCommand(Cmd::kChangePassword);
  EXPECT_EQ(f.GetSystem().Users().GetUsers()[0]->GetPassword(), "fresh");
  EXPECT_TRUE(f.GetSystem().IsModified());
  EXPECT_FALSE(f.GetSystem().GetComms().NeedSecuritySet());  // offline: nothing to write
}

TEST_F(UserCommandsTest, FilePropertiesOkRefreshesTheStatusTextFromTheSecuritySetting) {
  CFrameUnderTest& f = MakeFrame();
  prompts.onFileProperties = [](CSystem& system) { system.Users().SetUseSystemSecurity(true); };
  f.RunCommand(Cmd::kFileProperties);
  ProcessEvents();
  EXPECT_EQ(prompts.filePropertiesSheets, 1);
  EXPECT_EQ(f.GetStatusText(), "Current User - Admin");
}

TEST_F(UserCommandsTest, LinkManagerKeepsItsDeviceBetweenOpeningsAndAChangeMarksTheFile) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(new CTestDevice(&system, 1, &f));
  prompts.onLinkManager = [](CSystem& s) { s.Links().AddLink(); };
  prompts.linkManagerDeviceIndexOut = 2;
  f.RunCommand(Cmd::kLinkManager);
  EXPECT_TRUE(system.IsModified());
  system.SetModified(false);
  prompts.onLinkManager = nullptr;
  f.RunCommand(Cmd::kLinkManager);
  EXPECT_EQ(prompts.linkManagerDeviceIndexes, (std::vector<std::int32_t>{0, 2}));
  EXPECT_FALSE(system.IsModified());  // nothing changed the second time
}

TEST_F(UserCommandsTest, ImageLibraryManagerOpensTheDialog) {
  CFrameUnderTest& f = MakeFrame();
  f.RunCommand(Cmd::kImageLibraryManager);
  EXPECT_EQ(prompts.imageLibraryManagers, 1);
}

// Design > Delete Link is greyed in the menu: choosing it deletes no link and changes nothing.
TEST_F(UserCommandsTest, DeleteLinkIsGreyedAndLeavesTheLinks) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(new CTestDevice(&system, 1, &f));
  f.RunCommand(Cmd::kAddLink);
  system.SetModified(false);
  f.UpdateCommandUI();
  QAction* item = f.GetCommand(Cmd::kDeleteLink);
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->isEnabled());
  item->trigger();
  f.RunCommand(Cmd::kDeleteLink);
  EXPECT_EQ(system.Links().GetLinks().size(), 1u);
  EXPECT_FALSE(system.IsModified());
}

TEST_F(UserCommandsTest, LinkingStatusAndAddLinkChangeTheFile) {
  CFrameUnderTest& f = MakeFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(new CTestDevice(&system, 1, &f));
  f.RunCommand(Cmd::kLinkingStatus);
  EXPECT_FALSE(system.Links().AreLinksActive());
  EXPECT_FALSE(f.GetCommand(Cmd::kLinkingStatus)->isChecked());
  EXPECT_TRUE(system.IsModified());
  f.RunCommand(Cmd::kLinkingStatus);
  EXPECT_TRUE(system.Links().AreLinksActive());
  system.SetModified(false);
  f.RunCommand(Cmd::kAddLink);
  f.RunCommand(Cmd::kAddLink);
  ASSERT_EQ(system.Links().GetLinks().size(), 2u);
  EXPECT_EQ(system.Links().GetLinks()[1]->GetName(), "Link 2");
  EXPECT_TRUE(system.IsModified());
}

// A user who may not open the Link Manager is not offered Add Link either, by the menu or the
// toolbar: the command adds no link and leaves the file unchanged; the administrator's adds one.
TEST_F(UserCommandsTest, AddLinkIsOfferedOnlyToAUserWhoMayOpenTheLinkManager) {
  CFrameUnderTest& f = MakeSecuredFrame();
  CSystem& system = f.GetSystem();
  system.AppendDevice(new CTestDevice(&system, 1, &f));
  system.Users().SetCurrentUser(1);  // Bob: every right but the use of the controls
  system.SetModified(false);
  f.UpdateCommandUI();
  EXPECT_FALSE(f.GetCommand(Cmd::kLinkManager)->isEnabled());
  EXPECT_FALSE(f.GetCommand(Cmd::kAddLink)->isEnabled());
  f.GetCommand(Cmd::kAddLink)->trigger();
  f.RunCommand(Cmd::kAddLink);
  EXPECT_TRUE(system.Links().GetLinks().empty());
  EXPECT_FALSE(system.IsModified());

  system.Users().SetCurrentUser(0);
  f.RunCommand(Cmd::kAddLink);
  ASSERT_EQ(system.Links().GetLinks().size(), 1u);
  EXPECT_EQ(system.Links().GetLinks()[0]->GetName(), "Link 1");
  EXPECT_TRUE(system.IsModified());
}

TEST_F(UserCommandsTest, QuickStartGuideThatCannotBeOpenedIsReported) {
  CFrameUnderTest& f = MakeFrame();
  f.RunCommand(Cmd::kQuickStartGuide);
  ASSERT_EQ(prompts.openedDocuments.size(), 1u);
  EXPECT_TRUE(QString::fromStdString(prompts.openedDocuments[0]).endsWith("/Orvak Quick Start Guide.pdf"));
  EXPECT_TRUE(prompts.messages.empty());
  prompts.openDocumentOk = false;
  f.RunCommand(Cmd::kQuickStartGuide);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, "Could not open Quick Start Guide.");
}

TEST_F(UserCommandsTest, QuickStartGuideMissingBesideTheProgramSaysSoInAMessageBox) {
  CFrameUnderTest& f = MakeFrame();
  ASSERT_FALSE(QFileInfo::exists(QString::fromStdString(CMainFrame::QuickStartGuidePath())));
  f.SetUserPrompts(nullptr);  // the frame's own message boxes
  QString shown;
  QTimer::singleShot(0, [&shown] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->text();
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    box->accept();
  });
  f.RunCommand(Cmd::kQuickStartGuide);
  EXPECT_EQ(shown, "Could not open Quick Start Guide.");
}

TEST_F(UserCommandsTest, SecurityDialogOpenedWithoutAPassClosesByItself) {
  CFrameUnderTest& f = MakeFrame();
  f.PostMessage(FrameMsg::kOpenSecurityDlg, 0, 0);
  // The modal dialog runs inside the handler and ends once it sees that no pass waits for it.
  ProcessEvents();
  EXPECT_EQ(f.GetSystem().GetComms().Security().GetDialog(), nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
