// The security dialog end to end: the comms worker's security pass against the simulated
// secured unit, answered through the dialog's own widgets.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <atomic>

#include "core/comms/CommsWorker.h"
#include "core/support/LogFile.h"
#include "core/comms/SecurityDialog.h"
#include "core/comms/SerialComms.h"
#include "core/system/System.h"
#include "core/support/SystemMessages.h"
#include "devices/amplifier/PannexDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "platform/SerialPortMemory.h"
#include "platform/WindowMessages.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/SecureUnits.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "tests/ui/dialogs/FilePropertiesSheet.h"
#include "ui/dialogs/SecurityDlg.h"
#include "tests/support/RecordingUi.h"
#include "tools/devsim/SimAnswerGate.h"

namespace {

// The main frame as far as the pass needs it, on the UI thread: opens the dialog when asked.
class CDialogFrame : public CMessageTarget {
 public:
  explicit CDialogFrame(CSystem& system) : m_system(system) {}
  std::unique_ptr<CSecurityDlg> dialog;
  int dialogsOpened = 0;
  std::atomic<int> goOffline{0};

 protected:
  void OnMessage(const CPostedMessage& m) override {
    if (m.message == FrameMsg::kGoOffline) ++goOffline;
    if (m.message != FrameMsg::kOpenSecurityDlg) return;
    ++dialogsOpened;
    dialog = std::make_unique<CSecurityDlg>(m_system);
    dialog->SetTitle(m.wParam == 0 ? QStringLiteral("Checking Security...") : QStringLiteral("Updating Security..."));
    dialog->show();
  }

 private:
  CSystem& m_system;
};

// The system's UI services: posts reach the frame above on the UI thread.
class CDialogFrameUi : public CRecordingUi {
 public:
  explicit CDialogFrameUi(CMessageTarget& frame) : m_frame(frame) {}
  bool Post(CPostedMessage message) override { return m_frame.Post(std::move(message)); }

 private:
  CMessageTarget& m_frame;
};

class SecurityDlgTest : public ::testing::Test {
 protected:
  SecurityDlgTest() {
    system.GetComms().GetTransport().SetPort(std::make_unique<CMemorySerialPort>(line));
    system.GetComms().Security().SetTimingsForTests(QuickSecurityTimings());
  }
  ~SecurityDlgTest() override {
    system.GetComms().StopCommsThread();
    bus.Stop();
    frame.DispatchPendingMessages();
  }
  CSimSecurityUnit* AddSecureUnit(std::uint32_t id, const std::string& name, const SimUsers& users) {
    return ::AddSecureUnit(bus, system, &frame, 51, id, name, users);
  }
  // A module whose family keeps no security: the secured unit is then not the whole network.
  void AddModule(std::uint32_t id) {
    auto* pannex = new CPannexDevice(&system, &frame, 49, id);
    pannex->Initialise();
    NameDevice(pannex, "Module");
    system.AppendDevice(pannex);
  }
  void GoOnline() {
    bus.Start();
    system.Start(&ui);
    system.GetComms().SetNeedSecurityGet(true);
    ASSERT_TRUE(system.GoOnline(0));
    ASSERT_TRUE(WaitForUi([&] { return frame.dialog != nullptr; }));
  }
  CSecurityDlg& Dialog() { return *frame.dialog; }
  // The dialog asks for a password (device list or import) with an empty edit.
  bool WaitForPasswordPrompt() {
    return WaitForUi([&] {
      return frame.dialog && Dialog().PasswordEdit()->isVisible() && Dialog().PasswordEdit()->text().isEmpty() &&
             Dialog().GetAnswer() == kSecurityAnswerNone;
    });
  }
  bool WaitForDialogEnd() {
    return WaitForUi([&] { return frame.dialog && !Dialog().isVisible(); });
  }

  std::shared_ptr<CSerialLine> line = std::make_shared<CSerialLine>();
  CSimBus bus{std::make_unique<CLineWire>(line)};
  CSystem system;
  CDialogFrame frame{system};
  CDialogFrameUi ui{frame};
};

}  // namespace

TEST_F(SecurityDlgTest, SecuredUnitAsksForItsPasswordRefusesAWrongOneAndConnectsWithTheRightOne) {
  CSimSecurityUnit* unit = AddSecureUnit(5, "AmpA", {{"Boss", "Secret1"}, {"Op", "x"}});
  AddModule(9);
  GoOnline();
  ASSERT_TRUE(WaitForPasswordPrompt());
  CSecurityDlg& dialog = Dialog();
  EXPECT_EQ(dialog.GetTitle(), "Checking Security...");
  EXPECT_EQ(dialog.HeaderLine()->text(), "The following devices need passwords to connect :");
  EXPECT_EQ(dialog.PromptLine()->text(), "Please enter Admin password (case sensitive) :");
  ASSERT_EQ(dialog.DeviceList()->count(), 1);
  EXPECT_EQ(dialog.DeviceList()->item(0)->text(), "AmpA (Zel-2, ID 5)");
  EXPECT_FALSE(dialog.MessageArea()->isVisible());
  EXPECT_TRUE(dialog.AbortButton()->isVisible());
  EXPECT_EQ(dialog.CancelButton()->text(), "Cancel");
  EXPECT_EQ(dialog.OkButton()->text(), "Ok");
  EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
  SaveShotIfAsked(dialog, "security-passwords");

  TypeText(dialog.PasswordEdit(), "secret1");  // the wrong case
  dialog.OkButton()->click();
  // "Incorrect Password", then the same question again with an empty edit.
  ASSERT_TRUE(WaitForPasswordPrompt());
  EXPECT_EQ(unit->SecurityWrites(), 0);
  EXPECT_EQ(dialog.DeviceList()->count(), 1);

  TypeText(dialog.PasswordEdit(), "Secret1");
  PressKey(dialog.PasswordEdit(), Qt::Key_Return);
  ASSERT_TRUE(WaitForDialogEnd());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(dialog.GetLink()->IsClosed());
  EXPECT_TRUE(unit->GetUsers().empty());
  EXPECT_FALSE(system.GetDevice(0)->NeedsInitialisation());
  EXPECT_FALSE(system.Users().GetUseSystemSecurity());
  EXPECT_EQ(frame.dialogsOpened, 1);
}

TEST_F(SecurityDlgTest, CancelLeavesTheUnitUnconnectedAndShowsWhichDevicesAreLeftOut) {
  CSimSecurityUnit* unit = AddSecureUnit(5, "AmpA", {{"Boss", "pw"}});
  AddModule(9);
  // Long enough that the device list is still shown when the test looks.
  CSecurityTimings timings = system.GetComms().Security().GetTimings();
  timings.messagePauseMs = 2000;
  system.GetComms().Security().SetTimingsForTests(timings);
  GoOnline();
  ASSERT_TRUE(WaitForPasswordPrompt());
  PressKey(&Dialog(), Qt::Key_Escape);  // Cancel: the dialog stays open
  ASSERT_TRUE(WaitForUi([&] { return Dialog().MessageArea()->isVisible(); }));
  EXPECT_EQ(Dialog().MessageArea()->text(), "Not connecting to the following devices : \n\nAmpA (Zel-2, ID 5)\n");
  EXPECT_FALSE(Dialog().OkButton()->isVisible());
  SaveShotIfAsked(Dialog(), "security-progress");
  ASSERT_TRUE(WaitForDialogEnd());
  EXPECT_EQ(unit->GetUsers().size(), 1u);
  EXPECT_TRUE(system.GetDevice(0)->NeedsInitialisation());
  EXPECT_TRUE(system.GetDevice(0)->IsIgnored());
}

// A Sornic is not polled, so its name is never read: the question names it by model and ID.
TEST_F(SecurityDlgTest, ASornicWithoutANameIsNamedByModelAndIdInThePasswordQuestion) {
  ::AddSecureUnit(bus, system, &frame, 60, 5, "", {{"Boss", "secret"}});
  AddSecureUnit(7, "Stage Amp", {{"Boss", "secret"}});
  AddModule(9);
  GoOnline();
  ASSERT_TRUE(WaitForPasswordPrompt());
  ASSERT_EQ(Dialog().DeviceList()->count(), 2);
  EXPECT_EQ(Dialog().DeviceList()->item(0)->text(), "(Sornic, ID 5)");
  EXPECT_EQ(Dialog().DeviceList()->item(1)->text(), "Stage Amp (Zel-2, ID 7)");
  SaveShotIfAsked(Dialog(), "security-sornic");
  TypeText(Dialog().PasswordEdit(), "secret");
  Dialog().OkButton()->click();
  ASSERT_TRUE(WaitForDialogEnd());
  EXPECT_FALSE(system.GetDevice(0)->NeedsInitialisation());
}

TEST_F(SecurityDlgTest, ImportOfTheNetworksUsersNeedsItsAdminPassword) {
  AddSecureUnit(5, "AmpA", {{"Boss", "pw1"}, {"Op", "pw2"}});
  GoOnline();
  ASSERT_TRUE(WaitForUi([&] { return frame.dialog && Dialog().OkButton()->isVisible(); }));
  CSecurityDlg& dialog = Dialog();
  EXPECT_EQ(dialog.MessageArea()->text(),
            "You are connecting to a secure network.\n\nWould you like to import the user data from the network?");
  EXPECT_EQ(dialog.CancelButton()->text(), "Don't Import");
  EXPECT_EQ(dialog.OkButton()->text(), "Import");
  EXPECT_FALSE(dialog.PasswordEdit()->isVisible());
  SaveShotIfAsked(dialog, "security-import");
  dialog.OkButton()->click();

  ASSERT_TRUE(WaitForPasswordPrompt());
  EXPECT_EQ(dialog.MessageArea()->text(),
            "\n\n\nPlease enter the Admin password\nto import the user settings from\nthe network (case sensitive) :");
  EXPECT_EQ(dialog.OkButton()->text(), "Ok");
  EXPECT_FALSE(dialog.DeviceList()->isVisible());
  SaveShotIfAsked(dialog, "security-import-password");
  TypeText(dialog.PasswordEdit(), "pw1");
  dialog.OkButton()->click();
  ASSERT_TRUE(WaitForDialogEnd());
  ASSERT_EQ(system.Users().GetUsers().size(), 2u);
  EXPECT_EQ(system.Users().GetUsers()[0]->GetName(), "Boss");
  EXPECT_TRUE(system.Users().GetUseSystemSecurity());
  EXPECT_FALSE(system.GetDevice(0)->NeedsInitialisation());
}

TEST_F(SecurityDlgTest, EscapeDeclinesTheImportAndAbortAtThePasswordTakesTheConnectionOffline) {
  AddSecureUnit(5, "AmpA", {{"Boss", "pw1"}});
  GoOnline();
  ASSERT_TRUE(WaitForUi([&] { return frame.dialog && Dialog().OkButton()->text() == "Import"; }));
  PressKey(&Dialog(), Qt::Key_Escape);
  // Declined: the unit's own password is asked for instead.
  ASSERT_TRUE(WaitForPasswordPrompt());
  EXPECT_TRUE(Dialog().DeviceList()->isVisible());
  Dialog().AbortButton()->click();
  ASSERT_TRUE(WaitForUi([&] { return frame.goOffline.load() == 1; }));
  ASSERT_TRUE(WaitForDialogEnd());
  EXPECT_EQ(system.Users().GetUsers()[0]->GetName(), "Admin");
  EXPECT_TRUE(system.GetDevice(0)->NeedsInitialisation());
}

// While the pass checks the units the dialog says how many it has checked, of how many, and which
// unit it asks (held there by the unit's answer to its check); Abort then ends the pass before
// the next unit is asked.
TEST_F(SecurityDlgTest, TheDialogSaysHowFarTheCheckIsAndAbortEndsItBeforeTheNextUnit) {
  // Reads wait for what the units send, not for the machine.
  bus.SetSilenceEndsReads(true);
  system.GetComms().GetTransport().SetExtraTimeout(kLongReadWaitMs);
  AddSecureUnit(5, "Stage Left", {});
  SimSecurityConfig config;
  config.typeCode = 51;
  config.deviceId = 6;
  auto* gate = bus.Add<CSimAnswerGate>(std::make_unique<CSimZelAmpUnit>(config));
  auto* held = new CZelSeriesDevice(&system, &frame, 51, 6);
  held->Initialise();
  NameDevice(held, "Stage Right Flown Sub Array");
  system.AppendDevice(held);
  auto* absent = new CZelSeriesDevice(&system, &frame, 51, 7);  // no unit answers at ID 7
  absent->Initialise();
  system.AppendDevice(absent);
  gate->HoldNextAnswerTo(60);  // its security check
  GoOnline();
  ASSERT_TRUE(gate->WaitUntilHolding());
  ASSERT_TRUE(WaitForUi([&] { return Dialog().MessageArea()->text().contains(QStringLiteral("Checked 1 of 3")); }));
  CSecurityDlg& dialog = Dialog();
  QLabel& message = *dialog.MessageArea();
  EXPECT_EQ(message.text(), "Getting security info from devices\n\nChecked 1 of 3\n"
                            "Asking Stage Right Flown Sub Array (Zel-2, ID 6)");
  EXPECT_TRUE(message.isVisible());
  EXPECT_TRUE(dialog.AbortButton()->isVisible());
  EXPECT_FALSE(dialog.OkButton()->isVisible());
  EXPECT_FALSE(dialog.PasswordEdit()->isVisible());
  // Every line fits the message area, clear of the buttons.
  EXPECT_LE(message.heightForWidth(message.width()), message.height());
  EXPECT_LT(message.geometry().bottom(), dialog.AbortButton()->geometry().top());
  SaveShotIfAsked(dialog, "security-how-far");

  dialog.AbortButton()->click();
  gate->Release();
  ASSERT_TRUE(WaitForUi([&] { return frame.goOffline.load() == 1; }));
  ASSERT_TRUE(WaitForDialogEnd());
  const std::vector<SimBytes> requests = bus.Requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), SimBytes{0xB0, 0x00, 0x00, 0x00, 0x07}), 0);
  EXPECT_TRUE(absent->NeedsInitialisation());
}

TEST_F(SecurityDlgTest, DialogWithoutAPassShowsOnlyAbortTakesEnterAsOkAndClosesItself) {
  CSecurityDlg dialog(system);
  dialog.SetTitle("Checking Security...");
  dialog.show();
  EXPECT_TRUE(dialog.AbortButton()->isVisible());
  for (QWidget* w : {static_cast<QWidget*>(dialog.OkButton()), static_cast<QWidget*>(dialog.CancelButton()),
                     static_cast<QWidget*>(dialog.PasswordEdit()), static_cast<QWidget*>(dialog.MessageArea()),
                     static_cast<QWidget*>(dialog.DeviceList()), static_cast<QWidget*>(dialog.HeaderLine())})
    EXPECT_FALSE(w->isVisible());
  ASSERT_NE(dialog.GetLink(), nullptr);
  // No pass waits for it: the link is finished at once, and the dialog notices and fades out.
  EXPECT_TRUE(dialog.GetLink()->IsFinished());
  PressKey(&dialog, Qt::Key_Return);
  EXPECT_EQ(dialog.GetAnswer(), kSecurityAnswerOk);
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(WaitForUi([&] { return !dialog.isVisible(); }));
  EXPECT_TRUE(dialog.GetLink()->IsClosed());
}

// File Properties open while the unit's users are imported: its OK then puts neither the users
// nor the security flag it read back, but reads them again and says so; the next OK keeps the
// unit's users on the unit. The imported users may open the unit's panel at once.
TEST_F(SecurityDlgTest, ASheetOpenedBeforeAnImportNeverUndoesIt) {
  CSimSecurityUnit* unit = AddSecureUnit(5, "AmpA", {{"Boss", "pw1"}, {"Op", "pw2"}});
  FilePropertiesSheet open(system);
  CSettingsSheet& sheet = open.sheet;
  CGeneralFilePropertiesDialog* general = open.general;
  CUserLevelsDialog* users = open.users;
  users->AddButton()->click();
  EXPECT_FALSE(general->SecurityBox()->isChecked());

  GoOnline();
  ASSERT_TRUE(WaitForUi([&] { return Dialog().OkButton()->text() == "Import"; }));
  Dialog().OkButton()->click();
  ASSERT_TRUE(WaitForPasswordPrompt());
  TypeText(Dialog().PasswordEdit(), "pw1");
  Dialog().OkButton()->click();
  ASSERT_TRUE(WaitForDialogEnd());
  ASSERT_EQ(system.Users().GetUsers().size(), 2u);
  const CUser& op = *system.Users().GetUsers()[1];
  ASSERT_EQ(op.m_devicePermissions.size(), 1u);
  EXPECT_TRUE(op.CanAccessPanel(system.GetDevice(0)->GetUuid()));

  open.PressOk();
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_EQ(open.messages, QStringList{CUserLevelsDialog::UsersImportedText()});
  EXPECT_EQ(system.Users().GetUsers()[0]->GetName(), "Boss");
  EXPECT_TRUE(system.Users().GetUseSystemSecurity());
  EXPECT_TRUE(general->SecurityBox()->isChecked());
  ASSERT_EQ(users->UserList()->count(), 2);
  EXPECT_EQ(users->UserList()->item(1)->text(), "Op");
  ASSERT_EQ(users->GetWorkingUsers()[1]->m_devicePermissions.size(), 1u);
  users->UserList()->setCurrentRow(1);
  SaveShotIfAsked(sheet, "file-properties-reread");

  // Applied now: the unit is given the users it holds.
  const int dialogs = frame.dialogsOpened;
  open.PressOk();
  EXPECT_FALSE(sheet.isVisible());
  ASSERT_TRUE(WaitForUi([&] { return frame.dialogsOpened > dialogs && !Dialog().isVisible(); }));
  EXPECT_EQ(unit->GetUsers(), (SimUsers{{"Boss", "pw1"}, {"Op", "pw2"}}));
  EXPECT_EQ(system.Users().GetUsers()[0]->GetName(), "Boss");
}
