// The device security passes of the comms worker (states 3 and 4): reading each device's user
// table, grouping devices by it, importing a secured network's users, asking the Admin
// password of a group, writing user tables, and the hand-over with the security dialog.
#include "core/comms/Security.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/comms/CommsWorker.h"
#include "core/comms/ControlMessage.h"
#include "core/model/Device.h"
#include "core/comms/SecurityDialog.h"
#include "core/comms/SerialComms.h"
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

void SleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

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
  return kind != Kind::kUserList || AreUserListsEqual(users, other.users);
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

std::shared_ptr<CSecurityDialogLink> CCommsWorker::GetSecurityDialog() const {
  CSingleLock lock(m_stateLock);
  return m_securityDialog;
}

void CCommsWorker::SetSecurityDialog(std::shared_ptr<CSecurityDialogLink> link) {
  CSingleLock lock(m_stateLock);
  if (link && !m_securityDialogWanted) {
    link->SetFinished();
    return;
  }
  m_securityDialog = std::move(link);
}

void CCommsWorker::CloseSecurityDialog() {
  CSingleLock lock(m_stateLock);
  if (m_securityDialog) m_securityDialog->SetFinished();
  m_securityDialog = nullptr;
  m_securityDialogWanted = false;
}

bool CCommsWorker::IsSecurityPassStopRequested() const { return m_stopping || m_goIdle || !m_run; }

void CCommsWorker::SecurityPause(std::uint32_t ms) {
  const std::uint32_t step = std::max<std::uint32_t>(1, m_securityTimings.pollMs);
  for (std::uint32_t slept = 0; slept < ms && !IsSecurityPassStopRequested(); slept += step)
    SleepMs(std::min(step, ms - slept));
}

void CCommsWorker::OpenSecurityDialog(WPARAM pass) {
  {
    CSingleLock lock(m_stateLock);
    m_securityDialog = nullptr;
    m_securityDialogWanted = true;
  }
  Post(FrameMsg::kOpenSecurityDlg, pass);
  // Without a dialog the pass still runs: nothing is shown and nobody is asked. One that
  // comes later is still used for the rest of the pass.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_securityTimings.dialogOpenTimeoutMs);
  while (!GetSecurityDialog() && !IsSecurityPassStopRequested() && std::chrono::steady_clock::now() < end)
    SleepMs(m_securityTimings.pollMs);
}

void CCommsWorker::ShowSecurityProgress(const std::string& text) {
  const std::shared_ptr<CSecurityDialogLink> dialog = GetSecurityDialog();
  if (!dialog) return;
  CSecurityRequest request;
  request.kind = kSecurityProgressLine;
  request.text = text;
  dialog->Send(std::move(request), m_securityTimings.dialogSendTimeoutMs);
}

void CCommsWorker::ShowSecurityDeviceList(const char* header, const CSecurityGroup& group) {
  std::string text = header;
  for (std::size_t i = 0; i < group.size() && i < kListedDevices; ++i) text += group[i]->device->GetName() + "\n";
  if (group.size() > kListedDevices) text += FormatText("+ %d more devices...", int(group.size() - kListedDevices));
  ShowSecurityProgress(text);
  SecurityPause(m_securityTimings.messagePauseMs);
}

std::int32_t CCommsWorker::AskSecurityDialog(const CSecurityRequest& request) {
  const std::shared_ptr<CSecurityDialogLink> dialog = GetSecurityDialog();
  if (!dialog || dialog->IsClosed()) return kNoSecurityDialog;
  if (!dialog->Send(request, m_securityTimings.dialogSendTimeoutMs))
    return IsSecurityPassStopRequested() ? kSecurityAnswerAbort : kNoSecurityDialog;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_securityTimings.answerTimeoutMs);
  for (;;) {
    const std::int32_t answer = dialog->GetAnswer();
    if (answer == kSecurityAnswerOk || answer == kSecurityAnswerSkip) return answer;
    // Any other answer, a dialog that went away unanswered, a stop or a question left
    // unanswered for too long ends the pass as Abort would.
    if (answer != kSecurityAnswerNone || dialog->IsClosed() || IsSecurityPassStopRequested() ||
        std::chrono::steady_clock::now() >= end)
      return kSecurityAnswerAbort;
    SleepMs(m_securityTimings.pollMs);
  }
}

// --- Device operations ---

bool CCommsWorker::IsTransportError() const { return m_transport->GetStatus() == kCommsError; }

bool CCommsWorker::CheckDeviceSecurity(CDevice* device) {
  CControlMessage& record = m_transport->Transaction();
  record.noRetry = false;
  if (!device->BuildSecurityCheckMessage(record)) return true;
  if (!RunScanTransaction() || record.receivedLength != record.expectedLength) return false;
  CSingleLock lock(m_documentLock);
  const std::uint32_t n = std::min<std::uint32_t>(record.receivedLength, CSerialComms::kReceiveBufferSize);
  std::memcpy(record.frame, m_transport->ReceiveBuffer(), n);
  device->ProcessReply(record);
  return true;
}

bool CCommsWorker::SendSecurityData(CDevice* device, const CUserList& users) {
  CControlMessage& record = m_transport->Transaction();
  record.noRetry = false;
  if (!device->BuildWriteSecurityMessage(&record, &users)) return true;
  const std::uint32_t extra = m_transport->GetExtraTimeout();
  m_transport->SetExtraTimeout(std::max(extra, m_securityTimings.writeTimeoutMs));
  const bool ran = RunScanTransaction();
  m_transport->SetExtraTimeout(extra);
  return ran && record.receivedLength == record.expectedLength;
}

void CCommsWorker::LogCannotConnect(CDevice* device) {
  m_document.WriteLog("Cannot connect to " + device->GetModelName() + " " + device->GetName() +
                      FormatText(" ID %d\n", int(device->GetDeviceId())));
}

bool CCommsWorker::IsSecurityRefused(const CDevice* device) const {
  CSingleLock lock(m_stateLock);
  return std::any_of(m_securityRefused.begin(), m_securityRefused.end(),
                     [device](const SecurityRefusal& r) { return r.device == device; });
}

void CCommsWorker::ClearSecurityRefusals(bool answers) {
  CSingleLock lock(m_stateLock);
  m_securityRefused.clear();
  if (answers) m_securityAnswers.clear();
}

void CCommsWorker::RefuseDevice(CDevice* device) {
  device->SetNeedsInitialisation(true);
  LogCannotConnect(device);
  const std::uint32_t now = GetTickCount();
  CSingleLock lock(m_stateLock);
  for (SecurityRefusal& r : m_securityRefused) {
    if (r.device != device) continue;
    const std::uint32_t doubled = r.holdOffMs > m_securityTimings.refusedHoldOffMaxMs / 2
                                      ? m_securityTimings.refusedHoldOffMaxMs
                                      : 2 * r.holdOffMs;
    r = {device, now, std::max(doubled, m_securityTimings.refusedHoldOffMs), false};
    return;
  }
  m_securityRefused.push_back({device, now, m_securityTimings.refusedHoldOffMs, false});
}

bool CCommsWorker::IsDueForSecurityPass(const CDevice* device) {
  CSingleLock lock(m_stateLock);
  for (SecurityRefusal& r : m_securityRefused) {
    if (r.device != device) continue;
    if (!r.due && TicksSince(r.refusedAt, GetTickCount()) >= r.holdOffMs) r.due = true;
    return r.due;
  }
  return true;
}

bool CCommsWorker::IsSecurityCandidate(const CDevice* device) const {
  if (!device->NeedsInitialisation() || device->GetDeviceId() == 0 || device->IsIgnored()) return false;
  CSingleLock lock(m_stateLock);
  for (const SecurityRefusal& r : m_securityRefused)
    if (r.device == device) return r.due;
  return true;
}

void CCommsWorker::ForgetSettledRefusals() {
  CSingleLock lock(m_stateLock);
  std::erase_if(m_securityRefused,
                [](const SecurityRefusal& r) { return !r.device->NeedsInitialisation(); });
}

const CCommsWorker::SecurityAnswers* CCommsWorker::FindAnswers(const CDevice* device) const {
  for (const SecurityAnswers& a : m_securityAnswers)
    if (a.device == device) return &a;
  return nullptr;
}

CCommsWorker::SecurityAnswers& CCommsWorker::AnswersOf(const CDevice* device) {
  for (SecurityAnswers& a : m_securityAnswers)
    if (a.device == device) return a;
  return m_securityAnswers.emplace_back(SecurityAnswers{device, {}, false});
}

bool CCommsWorker::WasPasswordGiven(const CSecurityGroup& group, const std::string& password) const {
  CSingleLock lock(m_stateLock);
  return std::all_of(group.begin(), group.end(), [&](const auto& record) {
    const SecurityAnswers* answers = FindAnswers(record->device);
    return answers && !answers->password.empty() && answers->password == password;
  });
}

void CCommsWorker::RememberPassword(const CSecurityGroup& group, const std::string& password) {
  CSingleLock lock(m_stateLock);
  for (const auto& record : group) AnswersOf(record->device).password = password;
}

bool CCommsWorker::WasImportAnswered(const CSecurityGroup& group) const {
  CSingleLock lock(m_stateLock);
  return std::all_of(group.begin(), group.end(), [&](const auto& record) {
    const SecurityAnswers* answers = FindAnswers(record->device);
    return answers && answers->importAnswered;
  });
}

void CCommsWorker::RememberImportAnswered(const CSecurityGroup& group) {
  CSingleLock lock(m_stateLock);
  for (const auto& record : group) AnswersOf(record->device).importAnswered = true;
}

void CCommsWorker::CopySystemUsers(CUserList& out) const {
  DeleteAllUsers(out);
  CSingleLock lock(m_documentLock);
  for (const CUser* user : m_document.GetUsers()) {
    auto* copy = new CUser;
    copy->CopyFrom(*user);
    out.push_back(copy);
  }
}

// --- Settling groups ---

SecurityStep CCommsWorker::AskGroupPassword(const CSecurityGroup& group) {
  CSecurityRequest request;
  request.kind = kSecurityAskPasswords;
  for (const auto& record : group) request.deviceNames.push_back(record->device->GetName());
  const std::string password = group.front()->users.front()->GetPassword();
  // A group whose password the user already gave on this connection (its units are examined
  // again after a failed write) is not asked for it again.
  for (bool given = WasPasswordGiven(group, password); !given;) {
    const std::int32_t answer = AskSecurityDialog(request);
    if (answer == kSecurityAnswerAbort) {
      if (auto dialog = GetSecurityDialog()) dialog->SetFinished();
      return SecurityStep::kAborted;
    }
    if (answer == kNoSecurityDialog) {
      // Nobody can give the password: the devices stay unconnected, but are not ignored.
      for (const auto& record : group) RefuseDevice(record->device);
      return SecurityStep::kGoOn;
    }
    if (answer == kSecurityAnswerSkip) {
      ShowSecurityDeviceList(kNotConnectingList, group);
      for (const auto& record : group) {
        RefuseDevice(record->device);
        record->device->SetIgnored(true);
      }
      return SecurityStep::kGoOn;
    }
    const std::shared_ptr<CSecurityDialogLink> dialog = GetSecurityDialog();
    given = dialog && dialog->GetPasswordText() == password;
    if (given) {
      RememberPassword(group, password);
    } else {
      ShowSecurityProgress(kIncorrectPassword);
      SecurityPause(m_securityTimings.messagePauseMs);
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
    if (IsTransportError()) return SecurityStep::kTransportError;
    ShowSecurityProgress(kSetSecurityFailed + device->GetName());
    SecurityPause(m_securityTimings.messagePauseMs);
    RefuseDevice(device);
  }
  return SecurityStep::kGoOn;
}

SecurityStep CCommsWorker::GiveSystemUsersOrConnect(const CSecurityGroup& group, const CUserList& users,
                                                    const char* connectingText) {
  for (const auto& record : group) {
    CDevice* device = record->device;
    if (device->BuildWriteSecurityMessage(nullptr, nullptr)) {
      const SecurityStep step = GiveSystemUsers(device, users);
      if (step != SecurityStep::kGoOn) return step;
    } else {
      ShowSecurityProgress(connectingText + device->GetName());
      device->SetNeedsInitialisation(false);
    }
  }
  return SecurityStep::kGoOn;
}

SecurityStep CCommsWorker::GiveSystemUsers(CDevice* device, const CUserList& users) {
  ShowSecurityProgress(kSettingSecurityData + device->GetName());
  const bool ok = SendSecurityData(device, users);
  if (!ok && IsTransportError()) return SecurityStep::kTransportError;
  device->SetNeedsInitialisation(!ok);
  if (ok) {
    ShowSecurityProgress(kSettingSucceeded + device->GetName());
  } else {
    RefuseDevice(device);
    ShowSecurityProgress(kSettingFailed + device->GetName());
  }
  return SecurityStep::kGoOn;
}

SecurityStep CCommsWorker::ConnectSecureDevices(const CSecurityGroup& group) {
  if (group.empty()) return SecurityStep::kGoOn;
  const CDeviceSecurityRecord& first = *group.front();

  if (first.kind == CDeviceSecurityRecord::Kind::kNoAnswer) {
    ShowSecurityDeviceList(kCannotConnectList, group);
    for (const auto& record : group) RefuseDevice(record->device);
    return SecurityStep::kGoOn;
  }

  if (!m_document.GetUseSystemSecurity()) {
    // An empty user table asks for no password: such units are as good as unsecured.
    if (!first.HoldsUsers()) {
      ShowSecurityDeviceList(kNoSecurityList, group);
      for (const auto& record : group) record->device->SetNeedsInitialisation(false);
      return SecurityStep::kGoOn;
    }
    return AskGroupPassword(group);
  }

  // The users may be edited on the UI thread meanwhile: the group is settled with one copy.
  CUserCopies copies;
  CopySystemUsers(copies.List());
  const CUserList& users = copies.List();

  if (!first.HoldsUsers()) {
    return GiveSystemUsersOrConnect(group, users, kConnectingNoSecurityData);
  }

  if (AreUserListsEqual(first.users, users)) {
    ShowSecurityDeviceList(kSecurityDataList, group);
    for (const auto& record : group) record->device->SetNeedsInitialisation(false);
    return SecurityStep::kGoOn;
  }

  if (!users.empty() && !first.users.front()->DiffersFrom(*users.front())) {
    return GiveSystemUsersOrConnect(group, users, kConnectingDevice);
  }

  return AskGroupPassword(group);
}

SecurityStep CCommsWorker::OfferUserImport(const CSecurityGroup& group) {
  // Declined once on this connection for these very units: not asked again when they are
  // examined again.
  if (WasImportAnswered(group)) return SecurityStep::kGoOn;
  const CDeviceSecurityRecord& network = *group.front();
  CSecurityRequest question;
  question.kind = kSecurityAskImport;
  std::int32_t answer = AskSecurityDialog(question);
  if (answer == kSecurityAnswerAbort) return SecurityStep::kAborted;
  if (answer == kNoSecurityDialog) return SecurityStep::kGoOn;
  RememberImportAnswered(group);
  if (answer != kSecurityAnswerOk) return SecurityStep::kGoOn;

  CSecurityRequest passwordRequest;
  passwordRequest.kind = kSecurityAskImportPassword;
  const std::string password = network.users.front()->GetPassword();
  for (;;) {
    answer = AskSecurityDialog(passwordRequest);
    if (answer == kSecurityAnswerAbort) return SecurityStep::kAborted;
    if (answer != kSecurityAnswerOk) return SecurityStep::kGoOn;
    const std::shared_ptr<CSecurityDialogLink> dialog = GetSecurityDialog();
    if (dialog && dialog->GetPasswordText() == password) {
      m_document.ImportNetworkUsers(network.users);
      return SecurityStep::kGoOn;
    }
    ShowSecurityProgress(kIncorrectPassword);
    SecurityPause(m_securityTimings.messagePauseMs);
  }
}

// --- The passes ---

CCommsWorker::PassOutcome CCommsWorker::RunGetSecurityPass() {
  // Devices refused earlier on this connection are examined again only once they answer after
  // their hold-off, so that a unit that keeps failing does not bring the dialog back again and
  // again; with nothing to examine no dialog opens at all.
  std::vector<CDevice*> candidates;
  const std::vector<CDevice*> devices = m_document.GetDevices();
  for (CDevice* device : devices)
    if (IsSecurityCandidate(device)) candidates.push_back(device);
  if (candidates.empty()) return PassOutcome::kDone;

  OpenSecurityDialog(kGetPassDialog);
  ShowSecurityProgress(kGettingSecurityInfo);

  CSecurityGroup records;
  bool aborted = false;
  bool transportError = false;
  for (CDevice* device : candidates) {
    const std::shared_ptr<CSecurityDialogLink> dialog = GetSecurityDialog();
    if (IsSecurityPassStopRequested() || (dialog && dialog->GetAnswer() == kSecurityAnswerAbort)) {
      aborted = true;
      break;
    }
    using Kind = CDeviceSecurityRecord::Kind;
    std::unique_ptr<CDeviceSecurityRecord> record;
    if (!CheckDeviceSecurity(device)) {
      if (IsTransportError()) {
        transportError = true;
        break;
      }
      record = std::make_unique<CDeviceSecurityRecord>(device, Kind::kNoAnswer);
    } else {
      CControlMessage& request = m_transport->Transaction();
      if (!device->BuildReadSecurityMessage(request)) {
        record = std::make_unique<CDeviceSecurityRecord>(device, Kind::kNoSecurity);
      } else if (!RunScanTransaction()) {
        transportError = true;
        SleepMs(m_securityTimings.pollMs);
        break;
      } else if (request.receivedLength == request.expectedLength) {
        record = std::make_unique<CDeviceSecurityRecord>(device, Kind::kUserList);
        device->DecodeSecurityBlock(m_transport->ReceiveBuffer(), record->users);
      } else {
        record = std::make_unique<CDeviceSecurityRecord>(device, Kind::kNoAnswer);
      }
    }
    records.push_back(std::move(record));
    SleepMs(m_securityTimings.pollMs);
  }

  const int deviceCount = int(devices.size());
  while (!aborted && !transportError && !records.empty()) {
    const CSecurityGroup group = TakeSecurityGroup(records);
    SecurityStep step = SecurityStep::kGoOn;
    if (int(group.size()) == deviceCount && !m_document.GetUseSystemSecurity() && group.front()->HoldsUsers())
      step = OfferUserImport(group);
    if (step == SecurityStep::kGoOn) step = ConnectSecureDevices(group);
    aborted = step == SecurityStep::kAborted;
    transportError = step == SecurityStep::kTransportError;
  }

  ForgetSettledRefusals();
  if (transportError) return PassOutcome::kTransportError;
  return aborted ? PassOutcome::kCancelled : PassOutcome::kDone;
}

CCommsWorker::PassOutcome CCommsWorker::RunSetSecurityPass() {
  OpenSecurityDialog(kSetPassDialog);
  // One copy for the whole pass (empty without file security): the users may be edited on the
  // UI thread meanwhile, and an edit raises another set pass.
  CUserCopies copies;
  if (m_document.GetUseSystemSecurity()) CopySystemUsers(copies.List());
  for (CDevice* device : m_document.GetDevices()) {
    if (device->NeedsInitialisation() || device->GetDeviceId() == 0 || !device->BuildWriteSecurityMessage(nullptr, nullptr))
      continue;
    if (IsSecurityPassStopRequested()) return PassOutcome::kCancelled;
    ShowSecurityProgress(kUpdatingSecurityData + device->GetName());
    SecurityPause(m_securityTimings.updatePauseMs);
    const bool ok = SendSecurityData(device, copies.List());
    if (!ok && IsTransportError()) return PassOutcome::kTransportError;
    if (!ok) {
      ShowSecurityProgress(kSetSecurityFailed + device->GetName());
      SecurityPause(m_securityTimings.messagePauseMs);
    }
    device->SetNeedsInitialisation(!ok);
  }
  const std::shared_ptr<CSecurityDialogLink> dialog = GetSecurityDialog();
  return dialog && dialog->IsFinished() ? PassOutcome::kCancelled : PassOutcome::kDone;
}
