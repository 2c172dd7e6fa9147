// The comms worker: the state machine of the online connection (idle, polling, autoscan, get
// and set security), the hand-over of replies to the devices, the system command queue, going
// online and offline. The scan and the security passes are run by the passes it owns.
#include "core/comms/CommsWorker.h"

#include <algorithm>
#include <iterator>

#include "core/support/AppSettings.h"
#include "core/protocol/ControlMessage.h"
#include "core/model/Device.h"
#include "core/comms/Discovery.h"
#include "core/comms/SecurityDialog.h"
#include "core/support/SystemMessages.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "platform/TextFormat.h"

bool CCommsWorker::TransportHost::IsLogCommsErrorsOn() const { return m_document.GetSettings().logCommsErrors; }

bool CCommsWorker::TransportHost::IsSuperDebugOn() const { return m_document.GetSettings().superDebug; }

std::uint32_t CCommsWorker::TransportHost::GetDeviceIdForLog(const CDevice* device) const {
  return device ? device->GetDeviceId() : 0;
}

std::uint64_t CCommsWorker::TransportHost::GetDeviceHandle(const CDevice* device) const {
  return device ? device->GetHandle() : 0;
}

CCommsWorker::CCommsWorker(ICommsDocument& document)
    : m_document(document),
      m_documentLock(document.GetLock()),
      m_transportHost(document),
      m_transport(std::make_unique<CSerialComms>()),
      m_discovery(m_passHost, document),
      m_security(m_passHost, document) {
  m_transport->SetHost(&m_transportHost);
}

CCommsWorker::~CCommsWorker() {
  StopCommsThread();
  if (m_transport->IsOpen()) m_transport->Close();
}

void CCommsWorker::Start() {
  // A second start must not replace the events that a running worker waits on.
  if (m_run) return;
  m_workerState = kWorkerIdle;
  m_threadExitEvent = std::make_unique<CManualResetEvent>(false);
  m_idleEvent = std::make_unique<CManualResetEvent>(false);
  m_run = true;
  m_worker.Start([this] { CommsThreadMain(); }, true);
}

bool CCommsWorker::IsPortOpen() const { return m_transport->IsOpen(); }

void CCommsWorker::Post(std::uint32_t message, WPARAM wParam) {
  m_document.PostToFrame(CPostedMessage{message, wParam, 0, 0, {}});
}

// --- System command queue ---

void CCommsWorker::AppendSystemMessage(std::unique_ptr<CControlMessage> message) {
  if (!message) return;
  CSingleLock lock(m_stateLock);
  m_systemQueue.push_back(std::move(message));
}

bool CCommsWorker::PopSystemMessage(CControlMessage& record) {
  CSingleLock lock(m_stateLock);
  if (m_systemQueue.empty()) return false;
  record = *m_systemQueue.back();
  m_systemQueue.pop_back();
  return true;
}

std::size_t CCommsWorker::GetSystemQueueSize() const {
  CSingleLock lock(m_stateLock);
  return m_systemQueue.size();
}

void CCommsWorker::QueueSystemMessagesBehind(std::vector<std::unique_ptr<CControlMessage>> messages) {
  CSingleLock lock(m_stateLock);
  m_systemQueue.insert(m_systemQueue.begin(), std::make_move_iterator(messages.begin()),
                       std::make_move_iterator(messages.end()));
}

void CCommsWorker::ClearSystemQueue() {
  CSingleLock lock(m_stateLock);
  m_systemQueue.clear();
}

// --- State and hand-overs ---

void CCommsWorker::SetWorkerState(std::int32_t state) {
  m_workerState = state;
  m_wakeEvent.Set();
}

void CCommsWorker::ForgetDevice(const CDevice* device) {
  m_discovery.ForgetDevice(device);
  m_security.ForgetDevice(device);
}

// --- Going online and offline ---

bool CCommsWorker::GoOnline(std::uint32_t choice) {
  if (!SetOnline(true)) return false;
  const std::vector<CDevice*> devices = m_document.GetDevices();
  for (CDevice* device : devices) {
    device->Reinitialise(choice);
    device->UnitAtId().SetLateAnswerNote({});
  }
  // A device that an earlier one's frames reach too is left out (the frame names both), and a
  // device whose requests another's unit answers too is known for it.
  LeaveOutSharedAddresses(devices);
  MarkAddressClashes(devices);
  m_addressKey = AddressKey(devices);
  m_security.ClearRefusals(true);
  m_newSession = true;
  SetWorkerState(kWorkerOnline);
  return true;
}

bool CCommsWorker::SetOnline(bool online) {
  const CAppSettings& settings = m_document.GetSettings();
  if (online) {
    m_document.WriteLog("Going Online\n");
    if (settings.superDebug) {
      const std::uint32_t extra = m_document.ReloadCommsTimeoutConstant();
      m_transport->SetExtraTimeout(extra);
      m_document.WriteLog(FormatText("Comms timeout = %dms\n", int(extra)));
    }
    if (m_transport->IsOpen()) return true;
    const bool opened = m_transport->Open(settings.comPort, settings.baudRate, true);
    if (opened) m_transport->ResetErrorCount();
    return opened;
  }
  if (!m_transport->IsOpen()) return true;
  if (!IsWorkerIdle()) return false;
  m_document.WriteLog("Going Offline\n");
  m_transport->Close();
  for (CDevice* device : m_document.GetDevices()) {
    // Changes still owed to a unit go no further in this session.
    if (const std::size_t owed = device->Queue().GetQueuedWriteCount())
      m_document.WriteLog(FormatText("%s: %zu change(s) not acknowledged before going offline - the unit may not "
                                     "hold them\n",
                                     device->GetUnitText().c_str(), owed));
    if (device->GetCommsLevel() > kConnectedAbove) device->OnDisconnected(true);
    else device->EndUnconnectedSession();
  }
  return true;
}

// --- Stopping ---

void CCommsWorker::RaiseGoIdle() {
  m_goIdle = true;
  m_wakeEvent.Set();
}

bool CCommsWorker::RequestIdle() {
  if (!m_idleEvent || !m_worker.IsRunning()) return true;
  m_idleEvent->Reset();
  RaiseGoIdle();
  // Bounded: the passes and scans give up at their next step, so only a worker stuck in the
  // transport could miss this. The request stays raised: the worker goes idle as soon as it
  // is out, and until then the port stays open under it.
  if (m_idleEvent->Wait(m_idleWaitMs)) return true;
  m_document.WriteLog("The comms worker did not go idle in time\n");
  return false;
}

bool CCommsWorker::IsWorkerIdle() const {
  // The worker leaves the transport alone before it sets its state to idle (a go-idle
  // request, the end of a scan or pass that failed, a fatal error).
  return !m_worker.IsRunning() || m_workerState == kWorkerIdle;
}

void CCommsWorker::StopCommsThread() {
  if (!m_run) return;
  // Scans and passes look at this before every step, so the worker reaches idle within one
  // transaction and the waits below are a safety net only.
  m_stopping = true;
  if (m_worker.IsRunning()) {
    m_idleEvent->Reset();
    RaiseGoIdle();
    m_idleEvent->Wait(kStopWaitMs);
  }
  m_run = false;
  m_wakeEvent.Set();
  if (m_worker.IsRunning()) m_threadExitEvent->Wait(kStopWaitMs);
  m_worker.Join(kStopWaitMs);
}

// --- The worker ---

void CCommsWorker::CommsThreadMain() {
  while (m_run) {
    // A security pass that waits is this turn's work, whatever state was set meanwhile.
    if (m_security.IsUnderWay()) {
      WorkerSecurityStep(m_security.IsSetPass());
      continue;
    }
    switch (m_workerState) {
      case kWorkerIdle:
        WorkerIdleStep();
        break;
      case kWorkerOnline:
        WorkerOnlineStep();
        break;
      case kWorkerAutoscan:
        m_discovery.Run();
        EndAutoscan();
        break;
      case kWorkerGetSecurity:
        WorkerSecurityStep(false);
        break;
      case kWorkerSetSecurity:
        WorkerSecurityStep(true);
        break;
      default:
        // No such state: rest until something changes rather than spin.
        m_wakeEvent.Wait(kWorkerIdleWaitMs);
        break;
    }
  }
  // The worker ends: every wait of a pass still under way is over (the worker is ending), and the
  // pass goes to its end as at a stop.
  while (m_security.IsUnderWay()) WorkerSecurityStep(m_security.IsSetPass());
  m_threadExitEvent->Set();
}

void CCommsWorker::WorkerIdleStep() {
  if (m_goIdle) AcknowledgeGoIdle();
  // Woken at once by a new state, a request to go idle or the end; the time-out is a safety
  // net only.
  if (m_workerState == kWorkerIdle && m_run && !m_goIdle) m_wakeEvent.Wait(kWorkerIdleWaitMs);
}

void CCommsWorker::AcknowledgeGoIdle() {
  CSingleLock lock(m_stateLock);
  // The request is cleared before the event is set: the requester may raise the next request
  // as soon as it sees the event, and that one must not be lost.
  m_goIdle = false;
  m_idleEvent->Set();
}

void CCommsWorker::EndOnline(std::uint32_t message) {
  m_workerState = kWorkerIdle;
  m_goIdle = true;  // acknowledged by the idle state's next turn
  // What the plan knew goes with the session, however it ended.
  ResetPlan();
  JudgeWritesDue(true);
  Post(message);
}

void CCommsWorker::ResetPlan() {
  std::vector<std::pair<std::uint64_t, CControlMessage>> aside = m_plan.TakeRequestsAside();
  m_plan.Reset();
  if (aside.empty()) return;
  // A read is asked again by its device's own schedule; a write is owed to the unit until it is
  // acknowledged.
  CSingleLock lock(m_documentLock);
  const std::vector<CDevice*> devices = m_document.GetDevices();
  for (const auto& [handle, request] : aside) {
    if (!request.write) continue;
    for (CDevice* device : devices)
      if (device->GetHandle() == handle) device->Queue().PutBack(request);
  }
}

namespace {

// A device as the poll plan sees it.
PollUnit PollUnitOf(const CDevice& device) {
  PollUnit unit;
  unit.handle = device.GetHandle();
  unit.deviceId = device.GetDeviceId();
  unit.addressable = device.AddressRules().IsAddressable();
  unit.level = device.GetCommsLevel();
  unit.connected = device.IsConnected();
  unit.clash = device.UnitAtId().HasAddressClash();
  return unit;
}

// The devices of one look at the list, and the transport, as the poll plan asks them.
class CPollSource : public IPollSource {
 public:
  CPollSource(const std::vector<CDevice*>& devices, CSerialComms& transport)
      : m_devices(devices), m_transport(transport) {}
  bool TakeRequest(std::size_t index, CControlMessage& record) override {
    return m_devices[index]->GetNextPollMessage(record);
  }
  bool WaitsForLateAnswers(const CControlMessage& request) override { return m_transport.WaitsForLateAnswers(request); }
  bool AwaitsLateAnswerFrom(std::uint64_t unit) override { return m_transport.AwaitsLateAnswerFrom(unit); }

 private:
  const std::vector<CDevice*>& m_devices;
  CSerialComms& m_transport;
};

}  // namespace

void CCommsWorker::WorkerOnlineStep() {
  CSerialComms& comms = *m_transport;
  if (comms.GetStatus() == kCommsError) {
    EndOnFatalError();
    return;
  }
  if (comms.GetStatus() == kCommsPending) {
    if (!comms.IsDone()) {
      SleepEx(kWorkerPendingSleepMs, true);
      return;
    }
    HandOver();
    return;
  }

  // Idle transport: requests first, then the system queue, then the devices in turn.
  // A new session starts with nothing known of any unit's silences, before anything of it is
  // sent: the security pass that going online starts serves the units it has settled, and what
  // the plan learns and holds aside meanwhile belongs to this session.
  if (m_newSession.exchange(false)) {
    ResetPlan();
    StartSessionJudgements();
  }
  if (m_goIdle) {
    // Going offline: what the plan knew goes with the session; the writes it held aside wait in
    // their devices' queues, as the others do.
    ResetPlan();
    JudgeWritesDue(true);
    m_workerState = kWorkerIdle;
    AcknowledgeGoIdle();
    return;
  }
  if (m_discovery.GetAutoscanDialog()) {
    m_workerState = kWorkerAutoscan;
    return;
  }
  if (m_needSecurityGet) {
    m_workerState = kWorkerGetSecurity;
    return;
  }
  if (m_needSecuritySet) {
    m_workerState = kWorkerSetSecurity;
    return;
  }
  if (StartNextTransaction(false)) return;
  // Late answers that have come meanwhile end their watch, and free the requests waiting aside.
  if (m_plan.HasRequestsAside()) comms.LookForLateAnswers();
  NoteUnitsHeardLate();
  ClockIdleWait(kWorkerNothingSleepMs);
  SleepEx(kWorkerNothingSleepMs, true);
}

bool CCommsWorker::StartNextTransaction(bool whilePassWaits) {
  CControlMessage& record = m_transport->Transaction();
  if (PopSystemMessage(record)) {
    record.noRetry = false;
    StartTransaction();
    return true;
  }
  const std::vector<CDevice*> devices = m_document.GetDevices();
  TakeUpAddresses(devices);
  std::vector<PollUnit> units;
  units.reserve(devices.size());
  for (const CDevice* device : devices) {
    units.push_back(PollUnitOf(*device));
    // While a security pass waits, the devices it holds are not asked anything.
    if (whilePassWaits && device->NeedsInitialisation() && m_security.HoldsDevice(device))
      units.back().addressable = false;
  }
  CPollSource source(devices, *m_transport);
  if (m_plan.Next(units, source, record, ClockMicroseconds()) < 0) return false;
  StartTransaction();
  return true;
}

std::uint64_t CCommsWorker::AddressKey(const std::vector<CDevice*>& devices) {
  // FNV-1a over each device's handle and ID: any device added, deleted or given a new ID
  // changes it.
  std::uint64_t key = 14695981039346656037ull;
  for (const CDevice* device : devices) {
    for (const std::uint64_t word : {device->GetHandle(), std::uint64_t(device->GetDeviceId())}) {
      key ^= word;
      key *= 1099511628211ull;
    }
  }
  return key;
}

void CCommsWorker::TakeUpAddresses(const std::vector<CDevice*>& devices) {
  const std::uint64_t key = AddressKey(devices);
  if (key == m_addressKey) return;
  m_addressKey = key;
  for (const CSharedAddress& s : LeaveOutSharedAddresses(devices))
    m_document.WriteLog("Left out: " + s.device->GetUnitText() + " - its frames would also reach " +
                        s.earlier->GetUnitText() + "\n");
  for (const CAddressClash& clash : MarkAddressClashes(devices))
    m_document.WriteLog("Address clash: " + clash.device->GetUnitText() + " - " + AddressClashText(clash) + "\n");
}

void CCommsWorker::StartTransaction() {
  m_plan.OnStart(ClockMicroseconds(), m_transport->Transaction().maxSilentSends);
  m_transport->StartWrite(true);
}

void CCommsWorker::HandOver() {
  CSerialComms& comms = *m_transport;
  CControlMessage& record = comms.Transaction();
  {
    // The device's fields and queue are shared with the UI thread under the document's lock.
    CSingleLock lock(m_documentLock);
    if (CDevice* device = record.device) {
      // A reply that names another unit (its answer come late, taken by a request whose unit is
      // not known to repeat the header) is no answer of this unit's.
      const bool another = record.replyEcho == CControlMessage::EReplyEcho::kOther;
      const bool whole = record.receivedLength == record.expectedLength && !another;
      const bool shorter = comms.EndedOnShorterReply();
      if (shorter) {
        // Only the model it names is read from it, before or after a security pass.
        comms.CopyReplyToTransaction();
        if (!device->UnitAtId().TakeModelOfShorterReply(record)) device->UpdateCommsState(false);
      } else if (!whole) {
        if (another)
          comms.LogCommsError(FormatText("Reply to command 0x%X for device ID %u names another unit - not used",
                                         unsigned(record.command), unsigned(device->GetDeviceId()))
                                  .c_str(),
                              true);
        // Whether the unit answered its request before this one: a write it then leaves without
        // an ACK was met by a unit that is there.
        const bool answeredBefore = !device->HasMissedLastReply();
        device->UpdateCommsState(false);
        // A change that got no ACK may not be held by the unit: it goes again, and given up the
        // log says so.
        if (record.write && !device->Queue().QueueWriteAgain(record, answeredBefore)) JudgeGivenUpWrite(*device, record);
      } else if (device->NeedsInitialisation()) {
        // Nothing of the reply is taken until a security pass admits the device, but who answers
        // is: a unit of another model there is named and set aside at once.
        comms.CopyReplyToTransaction();
        if (!device->UnitAtId().TakeModelOfShorterReply(record) && m_security.IsDueForPass(device)) m_needSecurityGet = true;
      } else {
        comms.CopyReplyToTransaction();
        device->ProcessReply(record);
      }
      // While the unit is away, the values of links still owed to it are the links' to keep: the
      // frame marks their members out of line, as it marks a member away when a value comes.
      if (!device->IsConnected() && device->Queue().NoteLinkWritesOwed()) device->Post(FrameMsg::kPropagateOnline);
      m_plan.OnOutcome(PollUnitOf(*device), whole || shorter, comms.HeardNothing(), ClockMicroseconds(),
                       comms.SilentSendUs());
    }
  }
  NoteUnitsHeardLate();
  m_plan.OnTransactionEnd();
  comms.SetStatus(kCommsIdle);
}

namespace {
// Late answers heard from a unit before the person is told that it answers late: one may be a
// unit slowed once.
constexpr std::uint32_t kLateAnswersToTell = 3;

// The log line of a write given up without an ACK.
std::string MayNotHoldText(std::uint32_t deviceId, std::uint32_t command, std::uint32_t tries) {
  return FormatText("No ACK from device ID %u for command 0x%X after %u tries - the unit may not hold that change\n",
                    unsigned(deviceId), unsigned(command), unsigned(tries));
}
// The comms error line of one given up to a unit that answers late.
std::string LateAckText(std::uint32_t deviceId, std::uint32_t command, std::uint32_t tries) {
  return FormatText("No ACK in time from device ID %u for command 0x%X after %u tries - the unit answers late\n",
                    unsigned(deviceId), unsigned(command), unsigned(tries));
}
}  // namespace

void CCommsWorker::NoteUnitsHeardLate() {
  const std::int64_t now = ClockMicroseconds();
  const std::vector<LateAnswerHeard> heard = m_transport->TakeAnswersHeardLate();
  if (!heard.empty()) {
    CSingleLock lock(m_documentLock);
    const std::vector<CDevice*> devices = m_document.GetDevices();
    for (const LateAnswerHeard& late : heard) {
      m_plan.OnLateAnswer(late.unit, now);
      m_heardLateUs[late.unit] = now;
      // Its writes given up: its answers come late, and so did their ACKs.
      std::erase_if(m_givenUp, [&](const GivenUpWrite& w) {
        if (w.unit != late.unit) return false;
        m_document.WriteErrorLog(LateAckText(w.deviceId, w.command, w.tries));
        return true;
      });
      const auto device = std::find_if(devices.begin(), devices.end(),
                                       [&](const CDevice* d) { return d->GetHandle() == late.unit; });
      if (device == devices.end()) continue;
      (*device)->OnLateAnswer(late.command, late.argument);
      TellUnitAnswersLate(**device);
    }
  }
  JudgeWritesDue(false);
}

void CCommsWorker::TellUnitAnswersLate(CDevice& device) {
  const std::uint64_t unit = device.GetHandle();
  if (m_transport->LateAnswersHeardFrom(unit) < kLateAnswersToTell || !m_toldLate.insert(unit).second) return;
  // What serves it: a read time-out that waits as long as its answers came after their requests,
  // with a margin.
  const unsigned lateMs = unsigned((m_transport->ShortestLatenessOf(unit) + 999) / 1000);
  const unsigned serves = (lateMs + 49) / 50 * 50 + 50;
  m_document.WriteLog(FormatText("%s answers later than the read time-out, about %u ms after a request - with "
                                 "\"SuperDebug\" on and \"CommsTimeoutConstant\" at %u the program waits for its "
                                 "answers\n",
                                 device.GetUnitText().c_str(), lateMs, serves));
  device.UnitAtId().SetLateAnswerNote(FormatText(
      "Answers about %u ms late: \"SuperDebug\" on and \"CommsTimeoutConstant\" at %u serve it", lateMs, serves));
}

void CCommsWorker::JudgeGivenUpWrite(const CDevice& device, const CControlMessage& record) {
  const std::int64_t now = ClockMicroseconds();
  GivenUpWrite write{device.GetHandle(), device.GetDeviceId(), record.command, record.unansweredTries + 1,
                     now + CLateAnswerBook::kLongestLatenessUs};
  const auto heard = m_heardLateUs.find(write.unit);
  if (heard != m_heardLateUs.end() && now - heard->second < CPollPlan::kLateAnswerMemoryUs) {
    m_document.WriteErrorLog(LateAckText(write.deviceId, write.command, write.tries));
  } else if (m_transport->MayAnswerLate(write.unit)) {
    // Its late answers, should they come, tell.
    m_givenUp.push_back(write);
  } else {
    m_document.WriteLog(MayNotHoldText(write.deviceId, write.command, write.tries));
  }
}

void CCommsWorker::JudgeWritesDue(bool all) {
  if (m_givenUp.empty()) return;
  const std::int64_t now = ClockMicroseconds();
  std::erase_if(m_givenUp, [&](const GivenUpWrite& w) {
    if (!all && now < w.untilUs) return false;
    m_document.WriteLog(MayNotHoldText(w.deviceId, w.command, w.tries));
    return true;
  });
}

void CCommsWorker::StartSessionJudgements() {
  m_givenUp.clear();
  m_heardLateUs.clear();
  m_toldLate.clear();
}

bool CCommsWorker::PollSettledDevices(std::uint32_t ms) {
  CSerialComms& comms = *m_transport;
  if (comms.GetStatus() == kCommsError) return false;
  if (m_stopping || m_goIdle || !StartNextTransaction(true)) {
    NoteUnitsHeardLate();
    SleepEx(ms, true);
    return true;
  }
  // A transport error stays in the status: the pass ends on it.
  if (!comms.WaitForCompletion()) return false;
  HandOver();
  return true;
}

void CCommsWorker::EndOnFatalError() {
  CSerialComms& comms = *m_transport;
  const std::uint32_t port = comms.GetPortNumber();
  // The device that was opened: the port's link may name another one by now.
  const std::string device = comms.GetDevice();
  const std::string failure = comms.GetFailureText();
  m_document.WriteLog(FormatText("Fatal Comms Error on COM%u", unsigned(port)) +
                      (device.empty() ? std::string() : " (" + device + ")") +
                      (failure.empty() ? std::string() : ": " + failure) + "\n");
  comms.SetStatus(kCommsIdle);
  EndOnline(FrameMsg::kFatalCommsError);
}

// --- End of a scan or a security pass ---

void CCommsWorker::EndAutoscan() {
  if (m_transport->GetStatus() == kCommsError) {
    EndOnFatalError();
  } else {
    m_workerState = kWorkerOnline;
    if (!m_document.GetDevices().empty()) {
      m_discovery.ResetBreakoutReadFlags();
      m_security.ClearRefusals();
      m_needSecurityGet = true;
    } else {
      Post(FrameMsg::kGoOffline);
    }
  }
  // The dialog may close as soon as the scan has let it go: nothing of it is touched afterwards.
  m_discovery.Finish();
}

void CCommsWorker::WorkerSecurityStep(bool setPass) {
  if (!m_security.IsUnderWay()) {
    m_security.Start(setPass);
  } else if (m_security.IsWaitOver()) {
    m_security.Resume();
  } else {
    // The units the pass does not hold are polled meanwhile: their meters and alarms go on while
    // a question waits. A transport error stays in the status, and ends the wait.
    if (PollSettledDevices(std::max<std::uint32_t>(1, m_security.GetTimings().pollMs)))
      m_security.OnPolledWhileWaiting();
  }
  if (const std::optional<SecurityPassOutcome> outcome = m_security.TakeOutcome())
    EndSecurityPass(*outcome, setPass);
}

void CCommsWorker::EndSecurityPass(SecurityPassOutcome outcome, bool setPass) {
  switch (outcome) {
    case SecurityPassOutcome::kTransportError:
      EndOnFatalError();
      break;
    case SecurityPassOutcome::kCancelled:
      EndOnline(FrameMsg::kGoOffline);
      break;
    case SecurityPassOutcome::kDone:
      m_workerState = kWorkerOnline;
      break;
  }
  // Whatever the outcome the dialog closes, also after a fatal comms error.
  m_security.CloseDialog();
  m_needSecurityGet = false;
  if (setPass) m_needSecuritySet = false;
}

bool CCommsWorker::PassHost::RunTransaction(std::uint32_t maxSilentSends) {
  CSerialComms& transport = *m_worker.m_transport;
  // A transport error met while the pass waited stays until the pass ends on it.
  if (transport.GetStatus() == kCommsError) return false;
  // The passes ask each unit with every resend the transport allows, unless they say otherwise.
  transport.Transaction().maxSilentSends = maxSilentSends;
  transport.StartWrite(true);
  if (transport.GetStatus() == kCommsError) return false;
  return transport.WaitForCompletion();
}
