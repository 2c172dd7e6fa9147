// The device security passes of the comms worker (its get and set security states): reading each device's user
// table, grouping devices by it, importing a secured network's users, asking the Admin
// password of a group, writing user tables, and the hand-over with the security dialog.
#include "core/model/DeviceTexts.h"
#include "core/comms/Security.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/comms/CommsPassHost.h"
#include "core/comms/CommsWorker.h"
#include "core/comms/PollPlan.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/Device.h"
#include "core/comms/SecurityDialog.h"
#include "core/comms/SerialComms.h"
#include "core/support/ScopeGuard.h"
#include "core/support/SystemMessages.h"
#include "platform/Clock.h"
#include "platform/TextFormat.h"

namespace {

// Device names shown in one list; the others are counted.
constexpr std::size_t kListedDevices = 4;

constexpr const char* kGettingSecurityInfo = "Getting security info from devices";
constexpr const char* kIncorrectPassword = "Incorrect Password";
constexpr const char* kCannotConnectList = "Cannot connect to the following devices : \n\n";
constexpr const char* kNoSecurityList = "Connecting to devices with no security : \n\n";
constexpr const char* kNotConnectingList = "Not connecting to the following devices : \n\n";
constexpr const char* kSecurityDataList = "Connecting to devices with security data : \n\n";
constexpr const char* kSetSecurityFailed = "Set security info failed for device ";
constexpr const char* kSettingSecurityData = "Setting security data for device ";
constexpr const char* kSettingSucceeded = "Success setting security data for device ";
constexpr const char* kSettingFailed = "Failed to set security data for device ";
constexpr const char* kConnectingDevice = "Connecting to device ";
constexpr const char* kConnectingNoSecurityData = "Connecting to device with no secrity data : ";
constexpr const char* kUpdatingSecurityData = "Updating security data for device ";

// wParam of FrameMsg::kOpenSecurityDlg.
constexpr WPARAM kGetPassDialog = 0;
constexpr WPARAM kSetPassDialog = 1;

// A wait with nothing to do: the program's clock is told of it (platform/Clock.h).
void SleepMs(std::uint32_t ms) {
  ClockIdleWait(ms);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Whether what was typed is the password of the unit's user, compared as the unit's user table
// keeps passwords (its first 8 bytes, blanks around them trimmed): a longer password typed in
// full is the one the unit was given.
bool IsPasswordOf(const CUser& unitUser, const std::string& typed) {
  CUser asTyped(unitUser.GetName(), typed);
  asTyped.SetRestrictionMask(unitUser.GetRestrictionMask());
  return !asTyped.DiffersInTableFrom(unitUser);
}

// Copies of users that go with the holder.
class CUserCopies {
 public:
  CUserCopies() = default;
  ~CUserCopies() { DeleteAllUsers(m_users); }
  CUserCopies(const CUserCopies&) = delete;
  CUserCopies& operator=(const CUserCopies&) = delete;
  CUserList& List() { return m_users; }

 private:
  CUserList m_users;
};

}  // namespace

// --- Records and groups ---

bool CDeviceSecurityRecord::HasSameDataAs(const CDeviceSecurityRecord& other) const {
  if (kind != other.kind) return false;
  // Devices are grouped by the tables they hold: families that give the users they read back
  // access records of their own still hold the same table.
  return kind != Kind::kUserList || AreUserTablesEqual(users, other.users);
}

CSecurityGroup TakeSecurityGroup(CSecurityGroup& records) {
  CSecurityGroup group;
  if (records.empty()) return group;
  group.push_back(std::move(records.front()));
  records.erase(records.begin());
  for (auto it = records.begin(); it != records.end();) {
    if ((*it)->HasSameDataAs(*group.front())) {
      group.push_back(std::move(*it));
      it = records.erase(it);
    } else {
      ++it;
    }
  }
  return group;
}

// --- Dialog hand-over ---

CSecurityPass::CSecurityPass(ICommsPassHost& host, ICommsDocument& document) : m_host(host), m_document(document) {}

std::shared_ptr<CSecurityDialogLink> CSecurityPass::GetDialog() const {
  CSingleLock lock(m_host.StateLock());
  return m_dialog;
}

void CSecurityPass::SetDialog(std::shared_ptr<CSecurityDialogLink> link) {
  CSingleLock lock(m_host.StateLock());
  if (link && !m_dialogWanted) {
    link->SetFinished();
    return;
  }
  m_dialog = std::move(link);
}

void CSecurityPass::CloseDialog() {
  CSingleLock lock(m_host.StateLock());
  if (m_dialog) m_dialog->SetFinished();
  m_dialog = nullptr;
  m_dialogWanted = false;
}

bool CSecurityPass::IsStopRequested() const { return m_host.IsEnding() || m_host.IsGoIdleRequested(); }

// --- Waiting with the worker's loop going on ---

// The awaitable of a wait: the pass records what it waits for and its step, and the worker
// returns to its loop. A wait that is over already, or one met while a device is examined aside
// (which shows and asks nothing, and runs inside the worker's own turn), goes on at once.
class CSecurityPass::Waiting {
 public:
  Waiting(CSecurityPass& pass, Wait wait) : m_pass(pass), m_wait(std::move(wait)) {}
  bool await_ready() const { return m_pass.m_examiningAside || m_pass.IsOver(m_wait); }
  void await_suspend(std::coroutine_handle<> step) {
    m_wait.step = step;
    m_pass.m_wait = std::move(m_wait);
  }
  void await_resume() const noexcept {}

 private:
  CSecurityPass& m_pass;
  Wait m_wait;
};

CSecurityPass::Waiting CSecurityPass::WaitUntil(WaitFor what, std::uint32_t ms,
                                                 std::shared_ptr<CSecurityDialogLink> dialog) {
  return Waiting(*this, Wait{what, std::chrono::steady_clock::now() + std::chrono::milliseconds(ms),
                             std::move(dialog), {}});
}

bool CSecurityPass::IsOver(const Wait& wait) const {
  if (IsStopRequested() || IsTransportError() || std::chrono::steady_clock::now() >= wait.until) return true;
  switch (wait.what) {
    case WaitFor::kDialog: return GetDialog() != nullptr;
    case WaitFor::kAnswer:
      return !wait.dialog || wait.dialog->GetAnswer() != kSecurityAnswerNone || wait.dialog->IsClosed();
    case WaitFor::kPause: return false;
  }
  return true;
}

CSecurityPass::Waiting CSecurityPass::Pause(std::uint32_t ms) {
  // The pauses pace what the dialog shows; a device examined aside shows nothing.
  return WaitUntil(WaitFor::kPause, ms);
}

void CSecurityPass::Start(bool setPass) {
  m_wait = {};
  m_setPass = setPass;
  m_run = setPass ? RunSetPass() : RunGetPass();
  m_run.Start();
}

bool CSecurityPass::IsWaitOver() const { return !m_wait.step || IsOver(m_wait); }

void CSecurityPass::Resume() {
  const std::coroutine_handle<> step = std::exchange(m_wait, {}).step;
  if (step) step.resume();
}

void CSecurityPass::OnPolledWhileWaiting() {
  // One that answers while the pass waits for its step is examined.
  if (m_settling && !m_examiningAside && !IsStopRequested()) ExamineAside();
}

std::optional<SecurityPassOutcome> CSecurityPass::TakeOutcome() {
  if (!m_run.IsDone()) return std::nullopt;
  const SecurityPassOutcome outcome = m_run.TakeResult();
  m_run = {};
  return outcome;
}

CPassTask<void> CSecurityPass::OpenDialog(WPARAM pass) {
  {
    CSingleLock lock(m_host.StateLock());
    m_dialog = nullptr;
    m_dialogWanted = true;
  }
  m_document.PostToFrame(CPostedMessage{FrameMsg::kOpenSecurityDlg, pass, 0, 0, {}});
  // Without a dialog the pass still runs: nothing is shown and nobody is asked. One that
  // comes later is still used for the rest of the pass.
  co_await WaitUntil(WaitFor::kDialog, m_timings.dialogOpenTimeoutMs);
}

void CSecurityPass::ShowProgress(const std::string& text) {
  // A line would take the place of the question the dialog may show.
  if (m_examiningAside) return;
  const std::shared_ptr<CSecurityDialogLink> dialog = GetDialog();
  if (!dialog) return;
  CSecurityRequest request;
  request.kind = kSecurityProgressLine;
  request.text = text;
  dialog->Send(std::move(request), m_timings.dialogSendTimeoutMs);
}

void CSecurityPass::ShowHowFar(std::size_t index, std::size_t count, CDevice* device) {
  const std::shared_ptr<CSecurityDialogLink> dialog = GetDialog();
  if (!dialog) return;
  CSecurityRequest request;
  request.kind = kSecurityProgressCount;
  request.text = std::string(kGettingSecurityInfo) + "\n\nChecked " + WithThousands(index) + " of " +
                 WithThousands(count) + "\nAsking " + DeviceListText(*device);
  dialog->Update(std::move(request));
}

CPassTask<void> CSecurityPass::ShowDeviceList(const char* header, const CSecurityGroup& group) {
  std::string text = header;
  for (std::size_t i = 0; i < group.size() && i < kListedDevices; ++i) text += DeviceListText(*group[i]->device) + "\n";
  if (group.size() > kListedDevices) text += FormatText("+ %d more devices...", int(group.size() - kListedDevices));
  ShowProgress(text);
  co_await Pause(m_timings.messagePauseMs);
}

CPassTask<std::int32_t> CSecurityPass::AskDialog(const CSecurityRequest& request) {
  // A device examined aside is settled inside the worker's turn, while the dialog may show the
  // pass's own question: it asks nothing. Its devices are refused and examined again after
  // their hold-off, when the pass asks in turn.
  if (m_examiningAside) co_return kNoSecurityDialog;
  const std::shared_ptr<CSecurityDialogLink> dialog = GetDialog();
  if (!dialog || dialog->IsClosed()) co_return kNoSecurityDialog;
  if (!dialog->Send(request, m_timings.dialogSendTimeoutMs))
    co_return IsStopRequested() ? kSecurityAnswerAbort : kNoSecurityDialog;
  // The pass waits for the answer; the worker polls the other units meanwhile.
  co_await WaitUntil(WaitFor::kAnswer, m_timings.answerTimeoutMs, dialog);
  const std::int32_t answer = dialog->GetAnswer();
  if (answer == kSecurityAnswerOk || answer == kSecurityAnswerSkip) co_return answer;
  // Any other answer, a dialog that went away unanswered, a stop, a question left unanswered
  // for too long or a transport error ends the pass as Abort would.
  co_return kSecurityAnswerAbort;
}

// --- Device operations ---

bool CSecurityPass::IsTransportError() const { return m_host.Transport().GetStatus() == kCommsError; }

bool CSecurityPass::CheckDeviceSecurity(CDevice* device, std::uint32_t maxSilentSends) {
  CSerialComms& comms = m_host.Transport();
  CControlMessage& record = comms.Transaction();
  record.noRetry = false;
  if (!device->BuildSecurityCheckMessage(record)) return true;
  if (!m_host.RunTransaction(maxSilentSends)) return false;
  const bool shorter = comms.EndedOnShorterReply();
  if (!shorter && record.receivedLength != record.expectedLength) return false;
  NoteHeard(device);
  CSingleLock lock(m_document.GetLock());
  comms.CopyReplyToTransaction();
  // A shorter reply tells only the unit's model: the check is answered when that is another one.
  if (shorter) return device->UnitAtId().TakeModelOfShorterReply(record);
  device->ProcessReply(record);
  return true;
}

bool CSecurityPass::SendSecurityData(CDevice* device, const CUserList& users) {
  CSerialComms& comms = m_host.Transport();
  CControlMessage& record = comms.Transaction();
  record.noRetry = false;
  if (!device->BuildWriteSecurityMessage(&record, &users)) return true;
  const std::uint32_t extra = comms.GetExtraTimeout();
  comms.SetExtraTimeout(std::max(extra, m_timings.writeTimeoutMs));
  const bool ran = m_host.RunTransaction();
  comms.SetExtraTimeout(extra);
  return ran && record.receivedLength == record.expectedLength;
}

void CSecurityPass::LogCannotConnect(CDevice* device) {
  // A unit without a name is named by its model alone.
  const std::string name = device->GetName();
  m_document.WriteLog("Cannot connect to " + device->GetModelName() + (name.empty() ? "" : " " + name) +
                      FormatText(" ID %d\n", int(device->GetDeviceId())));
}

bool CSecurityPass::IsRefused(const CDevice* device) const {
  CSingleLock lock(m_host.StateLock());
  return std::any_of(m_refused.begin(), m_refused.end(),
                     [device](const Refusal& r) { return r.device == device; });
}

void CSecurityPass::ClearRefusals(bool answers) {
  CSingleLock lock(m_host.StateLock());
  m_refused.clear();
  if (!answers) return;
  m_answers.clear();
  m_answered.clear();
}

void CSecurityPass::ForgetDevice(const CDevice* device) {
  CSingleLock lock(m_host.StateLock());
  std::erase_if(m_refused, [device](const Refusal& r) { return r.device == device; });
  std::erase_if(m_answers, [device](const Answers& a) { return a.device == device; });
  std::erase(m_heard, device);
  m_held.erase(device);
  m_answered.erase(device);
}

void CSecurityPass::NoteHeard(const CDevice* device) {
  CSingleLock lock(m_host.StateLock());
  m_answered.insert(device);
}

bool CSecurityPass::WasHeard(const CDevice* device) const {
  CSingleLock lock(m_host.StateLock());
  return m_answered.count(device) != 0;
}

void CSecurityPass::RefuseDevice(CDevice* device) {
  device->SetNeedsInitialisation(true);
  {
    // The answers of its security checks may have raised it to connected: a refused unit is not.
    CSingleLock lock(m_document.GetLock());
    if (device->IsConnected()) {
      device->OnDisconnected(false);
      device->Post(FrameMsg::kRedrawMeterEntry);
      device->Post(FrameMsg::kRefreshRack);
    }
  }
  LogCannotConnect(device);
  const std::uint32_t now = GetTickCount();
  CSingleLock lock(m_host.StateLock());
  for (Refusal& r : m_refused) {
    if (r.device != device) continue;
    const std::uint32_t doubled = r.holdOffMs > m_timings.refusedHoldOffMaxMs / 2
                                      ? m_timings.refusedHoldOffMaxMs
                                      : 2 * r.holdOffMs;
    r = {device, now, std::max(doubled, m_timings.refusedHoldOffMs), false};
    return;
  }
  m_refused.push_back({device, now, m_timings.refusedHoldOffMs, false});
}

bool CSecurityPass::IsDueForPass(const CDevice* device) {
  CSingleLock lock(m_host.StateLock());
  m_answered.insert(device);
  bool due = true;
  for (Refusal& r : m_refused) {
    if (r.device != device) continue;
    if (!r.due && TicksSince(r.refusedAt, GetTickCount()) >= r.holdOffMs) r.due = true;
    due = r.due;
    break;
  }
  if (due && std::find(m_heard.begin(), m_heard.end(), device) == m_heard.end()) m_heard.push_back(device);
  return due;
}

bool CSecurityPass::HoldsDevice(const CDevice* device) const {
  CSingleLock lock(m_host.StateLock());
  return m_held.count(device) != 0;
}

void CSecurityPass::Release(const CSecurityGroup& group) {
  CSingleLock lock(m_host.StateLock());
  for (const auto& record : group) m_held.erase(record->device);
}

bool CSecurityPass::IsCandidate(const CDevice* device) const {
  if (!device->NeedsInitialisation() || !device->AddressRules().IsAddressable() || device->IsIgnored()) return false;
  CSingleLock lock(m_host.StateLock());
  for (const Refusal& r : m_refused)
    if (r.device == device) return r.due;
  return true;
}

void CSecurityPass::ForgetSettledRefusals() {
  CSingleLock lock(m_host.StateLock());
  std::erase_if(m_refused,
                [](const Refusal& r) { return !r.device->NeedsInitialisation(); });
}

const CSecurityPass::Answers* CSecurityPass::FindAnswers(const CDevice* device) const {
  for (const Answers& a : m_answers)
    if (a.device == device) return &a;
  return nullptr;
}

CSecurityPass::Answers& CSecurityPass::AnswersOf(const CDevice* device) {
  for (Answers& a : m_answers)
    if (a.device == device) return a;
  return m_answers.emplace_back(Answers{device, {}, false});
}

bool CSecurityPass::WasPasswordGiven(const CSecurityGroup& group, const std::string& password) const {
  CSingleLock lock(m_host.StateLock());
  return std::all_of(group.begin(), group.end(), [&](const auto& record) {
    const Answers* answers = FindAnswers(record->device);
    return answers && !answers->password.empty() && answers->password == password;
  });
}

void CSecurityPass::RememberPassword(const CSecurityGroup& group, const std::string& password) {
  CSingleLock lock(m_host.StateLock());
  for (const auto& record : group) AnswersOf(record->device).password = password;
}

bool CSecurityPass::WasImportAnswered(const CSecurityGroup& group) const {
  CSingleLock lock(m_host.StateLock());
  return std::all_of(group.begin(), group.end(), [&](const auto& record) {
    const Answers* answers = FindAnswers(record->device);
    return answers && answers->importAnswered;
  });
}

void CSecurityPass::RememberImportAnswered(const CSecurityGroup& group) {
  CSingleLock lock(m_host.StateLock());
  for (const auto& record : group) AnswersOf(record->device).importAnswered = true;
}

void CSecurityPass::CopySystemUsers(CUserList& out) const {
  DeleteAllUsers(out);
  CSingleLock lock(m_document.GetLock());
  for (const CUser* user : m_document.GetUsers()) {
    auto* copy = new CUser;
    copy->CopyFrom(*user);
    out.push_back(copy);
  }
}

// --- Settling groups ---

CPassTask<SecurityStep> CSecurityPass::AskGroupPassword(const CSecurityGroup& group) {
  CSecurityRequest request;
  request.kind = kSecurityAskPasswords;
  for (const auto& record : group) request.deviceNames.push_back(DeviceListText(*record->device));
  const CUser& admin = *group.front()->users.front();
  const std::string password = admin.GetPassword();
  // A group whose password the user already gave on this connection (its units are examined
  // again after a failed write) is not asked for it again.
  for (bool given = WasPasswordGiven(group, password); !given;) {
    const std::int32_t answer = co_await AskDialog(request);
    if (answer == kSecurityAnswerAbort) {
      if (auto dialog = GetDialog()) dialog->SetFinished();
      co_return SecurityStep::kAborted;
    }
    if (answer == kNoSecurityDialog) {
      // Nobody can give the password: the devices stay unconnected, but are not ignored.
      for (const auto& record : group) RefuseDevice(record->device);
      co_return SecurityStep::kGoOn;
    }
    if (answer == kSecurityAnswerSkip) {
      co_await ShowDeviceList(kNotConnectingList, group);
      for (const auto& record : group) {
        RefuseDevice(record->device);
        record->device->SetIgnored(true);
      }
      co_return SecurityStep::kGoOn;
    }
    const std::shared_ptr<CSecurityDialogLink> dialog = GetDialog();
    given = dialog && IsPasswordOf(admin, dialog->GetPasswordText());
    if (given) {
      RememberPassword(group, password);
    } else {
      ShowProgress(kIncorrectPassword);
      co_await Pause(m_timings.messagePauseMs);
    }
  }
  // The right password: the units give up their own table and take the empty one.
  const CUserList none;
  for (const auto& record : group) {
    CDevice* device = record->device;
    if (SendSecurityData(device, none)) {
      device->SetNeedsInitialisation(false);
      continue;
    }
    if (IsTransportError()) co_return SecurityStep::kTransportError;
    ShowProgress(kSetSecurityFailed + device->GetName());
    co_await Pause(m_timings.messagePauseMs);
    RefuseDevice(device);
  }
  co_return SecurityStep::kGoOn;
}

SecurityStep CSecurityPass::GiveSystemUsersOrConnect(const CSecurityGroup& group, const CUserList& users,
                                                    const char* connectingText) {
  for (const auto& record : group) {
    CDevice* device = record->device;
    if (device->BuildWriteSecurityMessage(nullptr, nullptr)) {
      const SecurityStep step = GiveSystemUsers(device, users);
      if (step != SecurityStep::kGoOn) return step;
    } else {
      ShowProgress(connectingText + device->GetName());
      device->SetNeedsInitialisation(false);
    }
  }
  return SecurityStep::kGoOn;
}

SecurityStep CSecurityPass::GiveSystemUsers(CDevice* device, const CUserList& users) {
  ShowProgress(kSettingSecurityData + device->GetName());
  const bool ok = SendSecurityData(device, users);
  if (!ok && IsTransportError()) return SecurityStep::kTransportError;
  device->SetNeedsInitialisation(!ok);
  if (ok) {
    ShowProgress(kSettingSucceeded + device->GetName());
  } else {
    RefuseDevice(device);
    ShowProgress(kSettingFailed + device->GetName());
  }
  return SecurityStep::kGoOn;
}

bool CSecurityPass::AsksQuestion(const CSecurityGroup& group, std::size_t deviceCount) const {
  if (group.empty()) return false;
  const CDeviceSecurityRecord& first = *group.front();
  if (first.kind == CDeviceSecurityRecord::Kind::kNoAnswer || !first.HoldsUsers()) return false;
  const bool systemSecurity = m_document.GetUseSystemSecurity();
  if (group.size() == deviceCount && !systemSecurity && !WasImportAnswered(group)) return true;
  const std::string password = first.users.front()->GetPassword();
  if (!systemSecurity) return !WasPasswordGiven(group, password);
  // As ConnectSecureDevices decides: the system's table, or one whose Admin is the system's, is
  // written without a question.
  CUserCopies copies;
  CopySystemUsers(copies.List());
  const CUserList& users = copies.List();
  if (AreUserTablesEqual(first.users, users)) return false;
  if (!users.empty() && !first.users.front()->DiffersInTableFrom(*users.front())) return false;
  return !WasPasswordGiven(group, password);
}

CPassTask<SecurityStep> CSecurityPass::ConnectSecureDevices(const CSecurityGroup& group) {
  if (group.empty()) co_return SecurityStep::kGoOn;
  const CDeviceSecurityRecord& first = *group.front();

  if (first.kind == CDeviceSecurityRecord::Kind::kNoAnswer) {
    co_await ShowDeviceList(kCannotConnectList, group);
    for (const auto& record : group) RefuseDevice(record->device);
    co_return SecurityStep::kGoOn;
  }

  if (!m_document.GetUseSystemSecurity()) {
    // An empty user table asks for no password: such units are as good as unsecured.
    if (!first.HoldsUsers()) {
      co_await ShowDeviceList(kNoSecurityList, group);
      for (const auto& record : group) record->device->SetNeedsInitialisation(false);
      co_return SecurityStep::kGoOn;
    }
    co_return co_await AskGroupPassword(group);
  }

  // The users may be edited on the UI thread meanwhile: the group is settled with one copy.
  CUserCopies copies;
  CopySystemUsers(copies.List());
  const CUserList& users = copies.List();

  if (!first.HoldsUsers()) {
    co_return GiveSystemUsersOrConnect(group, users, kConnectingNoSecurityData);
  }

  // Units keep only what the user table carries (no access records, names and passwords cut to
  // 8 bytes): what they give back is compared with the system's users in that form, or users
  // just written would never compare equal and the Admin password would be asked every other
  // time.
  if (AreUserTablesEqual(first.users, users)) {
    co_await ShowDeviceList(kSecurityDataList, group);
    for (const auto& record : group) record->device->SetNeedsInitialisation(false);
    co_return SecurityStep::kGoOn;
  }

  if (!users.empty() && !first.users.front()->DiffersInTableFrom(*users.front())) {
    co_return GiveSystemUsersOrConnect(group, users, kConnectingDevice);
  }

  co_return co_await AskGroupPassword(group);
}

CPassTask<SecurityStep> CSecurityPass::OfferUserImport(const CSecurityGroup& group) {
  // Declined once on this connection for these very units: not asked again when they are
  // examined again.
  if (WasImportAnswered(group)) co_return SecurityStep::kGoOn;
  const CDeviceSecurityRecord& network = *group.front();
  CSecurityRequest question;
  question.kind = kSecurityAskImport;
  std::int32_t answer = co_await AskDialog(question);
  if (answer == kSecurityAnswerAbort) co_return SecurityStep::kAborted;
  if (answer == kNoSecurityDialog) co_return SecurityStep::kGoOn;
  RememberImportAnswered(group);
  if (answer != kSecurityAnswerOk) co_return SecurityStep::kGoOn;

  CSecurityRequest passwordRequest;
  passwordRequest.kind = kSecurityAskImportPassword;
  const CUser& admin = *network.users.front();
  for (;;) {
    answer = co_await AskDialog(passwordRequest);
    if (answer == kSecurityAnswerAbort) co_return SecurityStep::kAborted;
    if (answer != kSecurityAnswerOk) co_return SecurityStep::kGoOn;
    const std::shared_ptr<CSecurityDialogLink> dialog = GetDialog();
    if (dialog && IsPasswordOf(admin, dialog->GetPasswordText())) {
      m_document.ImportNetworkUsers(network.users);
      co_return SecurityStep::kGoOn;
    }
    ShowProgress(kIncorrectPassword);
    co_await Pause(m_timings.messagePauseMs);
  }
}

// --- The passes ---

CSecurityPass::Presence CSecurityPass::AskWhetherPresent(CDevice* device) {
  CSerialComms& comms = m_host.Transport();
  CControlMessage& record = comms.Transaction();
  record.noRetry = false;
  if (!device->BuildPresenceProbe(record)) {
    // The family's check is asked so instead; a family without one is asked nothing.
    if (CheckDeviceSecurity(device, CPollPlan::kOfflineProbeSends)) return Presence::kChecked;
    if (IsTransportError()) return Presence::kTransportError;
    return comms.HeardNothing() ? Presence::kSilent : Presence::kHeard;
  }
  if (!m_host.RunTransaction(CPollPlan::kOfflineProbeSends)) return Presence::kTransportError;
  if (comms.HeardNothing()) return Presence::kSilent;
  const bool shorter = comms.EndedOnShorterReply();
  // Bytes that were not its answer (another unit's, garbled) tell nothing: the unit is asked on.
  if (!shorter && (record.receivedLength != record.expectedLength ||
                   record.replyEcho == CControlMessage::EReplyEcho::kOther))
    return Presence::kHeard;
  NoteHeard(device);
  // Who answers is taken as from any reply before the security step: a unit of another model
  // there is named and set aside at once.
  CSingleLock lock(m_document.GetLock());
  comms.CopyReplyToTransaction();
  return device->UnitAtId().TakeModelOfShorterReply(record) ? Presence::kOtherModel : Presence::kHeard;
}

std::unique_ptr<CDeviceSecurityRecord> CSecurityPass::Examine(CDevice* device) {
  using Kind = CDeviceSecurityRecord::Kind;
  bool checked = false;
  if (!WasHeard(device)) {
    switch (AskWhetherPresent(device)) {
      case Presence::kSilent: return std::make_unique<CDeviceSecurityRecord>(device, Kind::kNoAnswer);
      case Presence::kOtherModel:
      case Presence::kTransportError: return nullptr;
      case Presence::kChecked: checked = true; break;
      case Presence::kHeard: break;
    }
  }
  if (!checked && !CheckDeviceSecurity(device)) {
    if (IsTransportError()) return nullptr;
    return std::make_unique<CDeviceSecurityRecord>(device, Kind::kNoAnswer);
  }
  // The check's answer came from a unit of another model: nothing more is read from it, and no
  // user table is written to it.
  if (device->UnitAtId().IsSetAside()) return nullptr;
  CControlMessage& request = m_host.Transport().Transaction();
  if (!device->BuildReadSecurityMessage(request))
    return std::make_unique<CDeviceSecurityRecord>(device, Kind::kNoSecurity);
  if (!m_host.RunTransaction()) return nullptr;
  if (request.receivedLength != request.expectedLength)
    return std::make_unique<CDeviceSecurityRecord>(device, Kind::kNoAnswer);
  auto record = std::make_unique<CDeviceSecurityRecord>(device, Kind::kUserList);
  device->DecodeSecurityBlock(m_host.Transport().ReceiveBuffer(), record->users);
  return record;
}

void CSecurityPass::ExamineAside() {
  CDevice* device = nullptr;
  {
    CSingleLock lock(m_host.StateLock());
    if (m_heard.empty()) return;
  }
  // Looked up in the list, which holds only devices that still exist.
  for (CDevice* candidate : m_document.GetDevices()) {
    bool heard = false;
    {
      CSingleLock lock(m_host.StateLock());
      const auto at = std::find(m_heard.begin(), m_heard.end(), candidate);
      if (at == m_heard.end()) continue;
      m_heard.erase(at);
      heard = m_held.count(candidate) == 0;
    }
    if (heard && IsCandidate(candidate)) {
      device = candidate;
      break;
    }
  }
  if (!device) return;
  CScopedValue aside(m_examiningAside, true);
  std::unique_ptr<CDeviceSecurityRecord> record = Examine(device);
  if (!record) return;
  CSecurityGroup group;
  group.push_back(std::move(record));
  if (AsksQuestion(group, m_deviceCount)) {
    // Asked once the pass has settled what it holds now.
    {
      CSingleLock lock(m_host.StateLock());
      m_held.insert(device);
    }
    m_pending.push_back(std::move(group.front()));
    return;
  }
  // Settled inside this turn of the worker: nothing waits while a device is examined aside
  // (see Waiting), so the step has ended when Start returns.
  CPassTask<SecurityStep> settle = ConnectSecureDevices(group);
  settle.Start();
}

CPassTask<SecurityPassOutcome> CSecurityPass::RunGetPass() {
  // Devices refused earlier on this connection are examined again only once they answer after
  // their hold-off, so that a unit that keeps failing does not bring the dialog back again and
  // again; with nothing to examine no dialog opens at all.
  std::vector<CDevice*> candidates;
  const std::vector<CDevice*> devices = m_document.GetDevices();
  for (CDevice* device : devices)
    if (IsCandidate(device)) candidates.push_back(device);
  if (candidates.empty()) co_return SecurityPassOutcome::kDone;

  // Until the pass ends it holds what it examines: those devices are not polled while it waits.
  CScopeGuard held([this] {
    m_pending.clear();
    CSingleLock lock(m_host.StateLock());
    m_held.clear();
  });
  {
    CSingleLock lock(m_host.StateLock());
    m_held = std::unordered_set<const CDevice*>(candidates.begin(), candidates.end());
    m_heard.clear();
  }
  m_deviceCount = devices.size();
  m_pending.clear();

  co_await OpenDialog(kGetPassDialog);
  ShowProgress(kGettingSecurityInfo);

  bool aborted = false;
  bool transportError = false;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    CDevice* device = candidates[i];
    const std::shared_ptr<CSecurityDialogLink> dialog = GetDialog();
    if (IsStopRequested() || (dialog && dialog->GetAnswer() == kSecurityAnswerAbort)) {
      aborted = true;
      break;
    }
    ShowHowFar(i, candidates.size(), device);
    std::unique_ptr<CDeviceSecurityRecord> record = Examine(device);
    if (IsTransportError()) {
      transportError = true;
      SleepMs(m_timings.pollMs);
      break;
    }
    if (record) m_pending.push_back(std::move(record));
    SleepMs(m_timings.pollMs);
  }

  // Groups that ask nobody anything are settled first, so that their units are polled while a
  // question waits; then each group that asks, in list order. Devices examined meanwhile (they
  // answered while the pass waited) join the pending records.
  CScopedValue settling(m_settling, true);
  while (!aborted && !transportError && !m_pending.empty()) {
    std::vector<CSecurityGroup> asking;
    while (!aborted && !transportError && !m_pending.empty()) {
      CSecurityGroup group = TakeSecurityGroup(m_pending);
      if (AsksQuestion(group, m_deviceCount)) {
        asking.push_back(std::move(group));
        continue;
      }
      const SecurityStep step = co_await ConnectSecureDevices(group);
      Release(group);
      aborted = step == SecurityStep::kAborted;
      transportError = step == SecurityStep::kTransportError;
    }
    for (CSecurityGroup& group : asking) {
      if (aborted || transportError) break;
      SecurityStep step = SecurityStep::kGoOn;
      if (group.size() == m_deviceCount && !m_document.GetUseSystemSecurity() && group.front()->HoldsUsers())
        step = co_await OfferUserImport(group);
      if (step == SecurityStep::kGoOn) step = co_await ConnectSecureDevices(group);
      Release(group);
      aborted = step == SecurityStep::kAborted;
      transportError = step == SecurityStep::kTransportError;
    }
  }

  ForgetSettledRefusals();
  // Also one that came while the pass waited and polled the settled units.
  if (transportError || IsTransportError()) co_return SecurityPassOutcome::kTransportError;
  co_return aborted ? SecurityPassOutcome::kCancelled : SecurityPassOutcome::kDone;
}

CPassTask<SecurityPassOutcome> CSecurityPass::RunSetPass() {
  co_await OpenDialog(kSetPassDialog);
  // One copy for the whole pass (empty without file security): the users may be edited on the
  // UI thread meanwhile, and an edit raises another set pass.
  CUserCopies copies;
  if (m_document.GetUseSystemSecurity()) CopySystemUsers(copies.List());
  for (CDevice* device : m_document.GetDevices()) {
    if (device->NeedsInitialisation() || !device->AddressRules().IsAddressable() || device->UnitAtId().IsSetAside() ||
        !device->BuildWriteSecurityMessage(nullptr, nullptr))
      continue;
    if (IsStopRequested()) co_return SecurityPassOutcome::kCancelled;
    ShowProgress(kUpdatingSecurityData + device->GetName());
    co_await Pause(m_timings.updatePauseMs);
    const bool ok = SendSecurityData(device, copies.List());
    if (!ok && IsTransportError()) co_return SecurityPassOutcome::kTransportError;
    if (!ok) {
      ShowProgress(kSetSecurityFailed + device->GetName());
      co_await Pause(m_timings.messagePauseMs);
    }
    device->SetNeedsInitialisation(!ok);
  }
  if (IsTransportError()) co_return SecurityPassOutcome::kTransportError;
  const std::shared_ptr<CSecurityDialogLink> dialog = GetDialog();
  co_return dialog && dialog->IsFinished() ? SecurityPassOutcome::kCancelled : SecurityPassOutcome::kDone;
}
