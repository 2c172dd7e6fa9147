// The comms worker: the state machine of the online connection (idle, polling, autoscan, get
// and set security), the hand-over of replies to the devices, the system command queue, going
// online and offline. The scan and the security passes are run by the passes it owns.
#include "core/comms/CommsWorker.h"

#include <algorithm>
#include <cstring>
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
  for (CDevice* device : m_document.GetDevices()) device->Reinitialise(choice);
  m_security.ClearRefusals(true);
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
        EndSecurityPass(m_security.RunGetPass(), false);
        break;
      case kWorkerSetSecurity:
        EndSecurityPass(m_security.RunSetPass(), true);
        break;
      default:
        // No such state: rest until something changes rather than spin.
        m_wakeEvent.Wait(kWorkerIdleWaitMs);
        break;
    }
  }
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
  Post(message);
}

void CCommsWorker::WorkerOnlineStep() {
  CSerialComms& comms = *m_transport;
  CControlMessage& record = comms.Transaction();

  if (comms.GetStatus() == kCommsError) {
    comms.SetStatus(kCommsIdle);
    EndOnline(FrameMsg::kFatalCommsError);
    return;
  }

  if (comms.GetStatus() == kCommsPending) {
    if (!comms.IsDone()) {
      SleepEx(kWorkerPendingSleepMs, true);
      return;
    }
    // The reply hand-over: the device's fields and queue are shared with the UI thread under
    // the document's lock.
    CSingleLock lock(m_documentLock);
    CDevice* device = record.device;
    if (device && record.receivedLength == record.expectedLength) {
      if (device->NeedsInitialisation()) {
        // The reply is dropped until a security pass admits the device.
        if (m_security.IsDueForPass(device)) m_needSecurityGet = true;
      } else {
        const std::uint32_t n = record.receivedLength < CSerialComms::kReceiveBufferSize
                                    ? record.receivedLength
                                    : std::uint32_t(CSerialComms::kReceiveBufferSize);
        std::memcpy(record.frame, comms.ReceiveBuffer(), n);
        device->ProcessReply(record);
      }
      m_silent.erase(device->GetHandle());
      m_lastAnswerUs = ClockMicroseconds();
    } else if (device) {
      device->UpdateCommsState(false);
      AfterMiss(*device);
    }
    m_pollIndex = m_pollIndex + 1;
    comms.SetStatus(kCommsIdle);
    return;
  }

  // Idle transport: requests first, then the system queue, then the devices in turn.
  if (m_goIdle) {
    // Going offline: requests waiting aside go with the session, as the devices' queues do.
    m_waiting.clear();
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

  const std::vector<CDevice*> devices = m_document.GetDevices();
  if (m_pollIndex >= std::int32_t(devices.size())) m_pollIndex = 0;
  if (PopSystemMessage(record)) {
    record.noRetry = false;
    StartTransaction();
    return;
  }
  // Round the whole list once from the device whose turn it is, passing over devices that rest
  // and those whose units may still send a late answer. When nobody else had anything to send,
  // those are asked too; a request of theirs that could take such an answer for its own waits
  // aside, and goes once the answer has come or can no longer come, while the others go on.
  const std::int32_t count = std::int32_t(devices.size());
  const std::int32_t first = m_pollIndex;
  if (!m_waiting.empty()) ForgetWaitingOfDevicesGone(devices);
  std::vector<std::int32_t> awaited;
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t i = (first + k) % count;
    const CDevice& device = *devices[std::size_t(i)];
    // Not addressable (ID 0, or another model answers at its ID), or resting.
    if (!device.IsAddressable() || Rests(device)) continue;
    auto waiting = m_waiting.find(device.GetHandle());
    // A device given a new ID meanwhile drops the request that names the old one, as it drops
    // its queue.
    if (waiting != m_waiting.end() && waiting->second.deviceId != device.GetDeviceId()) {
      m_waiting.erase(waiting);
      waiting = m_waiting.end();
    }
    if (waiting != m_waiting.end()) {
      if (m_transport->WaitsForLateAnswers(waiting->second.request)) continue;
      m_pollIndex = i;
      record.noRetry = false;
      record = waiting->second.request;
      m_waiting.erase(waiting);
      StartTransaction();
      return;
    }
    if (m_transport->AwaitsLateAnswerFrom(device.GetHandle())) {
      awaited.push_back(i);
      continue;
    }
    if (StartNextRequestOf(devices, i)) return;
  }
  for (std::int32_t i : awaited) {
    if (StartNextRequestOf(devices, i)) return;
  }
  m_pollIndex = first;
  // Late answers that have come meanwhile end their watch, and free the requests waiting aside.
  if (!m_waiting.empty()) m_transport->LookForLateAnswers();
  SleepEx(kWorkerNothingSleepMs, true);
}

bool CCommsWorker::StartNextRequestOf(const std::vector<CDevice*>& devices, std::int32_t index) {
  CControlMessage& record = m_transport->Transaction();
  m_pollIndex = index;
  record.noRetry = false;
  CDevice& device = *devices[std::size_t(index)];
  // Read before the frame is made: a new ID given while it is made then drops it too.
  const std::uint32_t id = device.GetDeviceId();
  if (!device.GetNextPollMessage(record)) return false;
  if (m_transport->WaitsForLateAnswers(record)) {
    m_waiting.insert_or_assign(device.GetHandle(), WaitingRequest{record, id});
    return false;
  }
  // A unit that heard nothing of its last request is most likely switched off: it is asked
  // once, not three times, until it answers again, so that it shows offline within seconds.
  const auto silent = m_silent.find(device.GetHandle());
  if (silent != m_silent.end() && silent->second.heardNothing) m_transport->GiveUpAtFirstSilence();
  StartTransaction();
  return true;
}

void CCommsWorker::ForgetWaitingOfDevicesGone(const std::vector<CDevice*>& devices) {
  std::erase_if(m_waiting, [&](const auto& entry) {
    return std::none_of(devices.begin(), devices.end(), [&](const CDevice* d) { return d->GetHandle() == entry.first; });
  });
}

void CCommsWorker::StartTransaction() {
  m_transactionStartUs = ClockMicroseconds();
  m_transport->StartWrite(true);
}

void CCommsWorker::AfterMiss(const CDevice& device) {
  const std::int64_t now = ClockMicroseconds();
  const std::int64_t longest = std::int64_t(kMaxSilentRestMs) * 1000;
  // A unit not heard of for long (removed, readdressed, ignored) no longer counts as silent.
  std::erase_if(m_silent, [&](const auto& entry) { return entry.second.untilUs + 2 * longest < now; });
  SilentRest& rest = m_silent[device.GetHandle()];
  rest.costUs = now - m_transactionStartUs;
  rest.heardNothing = m_transport->HeardNothing();
  rest.untilUs = now;
  // A connected unit that missed a reply is asked again at its next turn: one lost reply must
  // not freeze its meters and hold back its changes.
  if (device.IsConnected()) return;
  std::int64_t silentCost = 0;
  for (const auto& entry : m_silent) silentCost += entry.second.costUs;
  // Until the silent units' last unanswered requests are that share of the time since this one's
  // ended, counting those still to come. With no unit answering there is nobody to leave the
  // line to: the silent units only take turns.
  const bool othersAnswer = now - m_lastAnswerUs < longest;
  const std::int64_t share = device.GetCommsLevel() > 0 ? kCountdownSharePercent : kSilentSharePercent;
  const std::int64_t wait = (othersAnswer ? silentCost * 100 / share : silentCost) - rest.costUs;
  rest.untilUs = now + std::clamp<std::int64_t>(wait, 0, longest);
}

bool CCommsWorker::Rests(const CDevice& device) const {
  const auto rest = m_silent.find(device.GetHandle());
  return rest != m_silent.end() && ClockMicroseconds() < rest->second.untilUs;
}

// --- End of a scan or a security pass ---

void CCommsWorker::EndAutoscan() {
  if (m_transport->GetStatus() == kCommsError) {
    m_transport->SetStatus(kCommsIdle);
    EndOnline(FrameMsg::kFatalCommsError);
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

void CCommsWorker::EndSecurityPass(SecurityPassOutcome outcome, bool setPass) {
  switch (outcome) {
    case SecurityPassOutcome::kTransportError:
      m_transport->SetStatus(kCommsIdle);
      EndOnline(FrameMsg::kFatalCommsError);
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

bool CCommsWorker::PassHost::RunTransaction() {
  CSerialComms& transport = *m_worker.m_transport;
  transport.StartWrite(true);
  if (transport.GetStatus() == kCommsError) return false;
  return transport.WaitForCompletion();
}
