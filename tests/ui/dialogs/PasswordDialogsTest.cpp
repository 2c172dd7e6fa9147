// Switch user and change password, driven through their widgets.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "core/system/System.h"
#include "core/model/User.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "ui/dialogs/PasswordDialogs.h"

namespace {

struct Box {
  QString text;
  QString caption;
};

class PasswordDialogsTest : public ::testing::Test {
 protected:
  PasswordDialogsTest() {
    system.Users().GetUsers()[0]->m_password = "Root";
    system.Users().GetUsers().push_back(new CUser("Bob", "Secret"));
    system.Users().GetUsers().push_back(new CUser("Carol", ""));
    system.Users().SetCurrentUser(1);
  }
  PasswordErrorBox Recorder() {
    return [this](const QString& text, const QString& caption) { boxes.push_back({text, caption}); };
  }
  QStringList ComboNames(const QComboBox& combo) const {
    QStringList names;
    for (int i = 0; i < combo.count(); ++i) names << combo.itemText(i);
    return names;
  }
  CSystem system;
  std::vector<Box> boxes;
};

}  // namespace

TEST_F(PasswordDialogsTest, SwitchListsEveryOtherUserAndRefusesThePasswordInAnotherCase) {
  CSwitchUserDialog dialog(system);
  dialog.SetErrorBox(Recorder());
  EXPECT_EQ(dialog.windowTitle(), "Switch User");
  EXPECT_EQ(ComboNames(*dialog.UserList()), (QStringList{"Admin", "Carol"}));
  EXPECT_EQ(dialog.UserList()->currentIndex(), 0);
  EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
  SaveShotIfAsked(dialog, "switch-user");

  dialog.PasswordEdit()->setText("root");
  dialog.OkButton()->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The password entered was incorrect.  Try again.");
  EXPECT_EQ(boxes[0].caption, "Password Error");
  EXPECT_EQ(system.Users().GetCurrentUser(), 1);
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(dialog.PasswordEdit()->text(), "root");  // kept for correcting

  dialog.PasswordEdit()->setText("Root");
  dialog.OkButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(system.Users().GetCurrentUser(), 0);

  // The next switch lists everybody but the new current user.
  CSwitchUserDialog next(system);
  EXPECT_EQ(ComboNames(*next.UserList()), (QStringList{"Bob", "Carol"}));
}

TEST_F(PasswordDialogsTest, SwitchToAUserWithAnEmptyPasswordNeedsAnEmptyEdit) {
  CSwitchUserDialog dialog(system);
  dialog.SetErrorBox(Recorder());
  dialog.UserList()->setCurrentIndex(1);
  dialog.OkButton()->click();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(system.Users().GetCurrentUser(), 2);
}

TEST_F(PasswordDialogsTest, ChangePasswordNeedsTheCurrentOneAndTakesEightCharactersOrNone) {
  CUser& bob = *system.Users().GetUsers()[1];
  CChangePasswordDialog dialog(bob);
  dialog.SetErrorBox(Recorder());
  EXPECT_EQ(dialog.windowTitle(), "Change Password");
  SaveShotIfAsked(dialog, "change-password");
  TypeText(dialog.NewEdit(), "TooLongPassword");
  EXPECT_EQ(dialog.NewEdit()->text(), "TooLongP");
  dialog.CurrentEdit()->setText("secret");
  dialog.OkButton()->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The current password is incorrect.  Try again.");
  EXPECT_EQ(boxes[0].caption, "Password Error");
  EXPECT_EQ(bob.GetPassword(), "Secret");

  dialog.CurrentEdit()->setText("Secret");
  dialog.NewEdit()->clear();
  dialog.OkButton()->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(bob.GetPassword(), "");
}

namespace {

struct RefusedPassword {
  const char* typed;
  const char* message;
};

class ChangePasswordRefusalTest : public PasswordDialogsTest, public ::testing::WithParamInterface<RefusedPassword> {};

}  // namespace

// A new password the file would not keep as typed is refused with its reason, and the old one
// stays.
TEST_P(ChangePasswordRefusalTest, ANewPasswordTheFileWouldCutIsRefused) {
  CUser& bob = *system.Users().GetUsers()[1];
  CChangePasswordDialog dialog(bob);
  dialog.SetErrorBox(Recorder());
  dialog.CurrentEdit()->setText("Secret");
  dialog.NewEdit()->setText(QString::fromUtf8(GetParam().typed));
  dialog.OkButton()->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, QString::fromUtf8(GetParam().message));
  EXPECT_EQ(boxes[0].caption, "Password Error");
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_EQ(bob.GetPassword(), "Secret");
}

INSTANTIATE_TEST_SUITE_P(
    Typed, ChangePasswordRefusalTest,
    ::testing::Values(RefusedPassword{"Geheim\u20AC", "Password cannot contain \"\u20AC\" - the file keeps ASCII characters only"},
                      RefusedPassword{" pw", "Password cannot begin or end with a blank"},
                      RefusedPassword{"abc ", "Password cannot begin or end with a blank"},
                      RefusedPassword{"a\tb", "Password cannot contain control characters"}));
