// The comms worker: the state machine of the online connection (idle, polling, autoscan, get
// and set security), the hand-over of replies to the devices, going online and offline.
#include "core/CommsWorker.h"

#include <cstdio>
#include <cstring>

#include "core/ControlMessage.h"
#include "core/Device.h"
#include "core/SerialComms.h"
#include "core/System.h"
#include "platform/SerialPort.h"
#include "platform/WindowMessages.h"

void CSystem::SetMessageBoxHandler(MessageBoxHandler handler, void* context) {
  m_messageBoxContext = context;
  m_messageBox = handler;
}

void CSystem::ShowMessage(const std::string& text, const std::string& caption) {
  if (m_messageBox) m_messageBox(m_messageBoxContext, text, caption);
}

void CSystem::PostToFrame(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (m_frame) m_frame->PostMessage(message, wParam, lParam);
}

// --- Going online and offline ---

bool CSystem::GoOnline(std::uint32_t choice) {
  if (!SetOnline(true)) {
    if (m_messageBox) m_messageBox(m_messageBoxContext, kFailedToConnectText, kOnlineErrorCaption);
    return false;
  }
  for (CDevice* device : GetDevices()) device->Reinitialise(choice);
  ClearSecurityRefusals();
  m_workerState = kWorkerOnline;
  return true;
}

bool CSystem::SetOnline(bool online) {
  if (online) {
    WriteLog("Going Online\n");
    if (m_settings.superDebug) {
      const std::uint32_t extra = m_settings.ReloadCommsTimeoutConstant();
      m_transport->SetExtraTimeout(extra);
      char line[64];
      std::snprintf(line, sizeof line, "Comms timeout = %dms\n", int(extra));
      WriteLog(line);
    }
    if (m_transport->IsOpen()) return true;
    const bool opened = m_transport->Open(m_settings.comPort, m_settings.baudRate, true);
    if (opened) m_transport->ResetErrorCount();
    return opened;
  }
  if (!m_transport->IsOpen()) return true;
  WriteLog("Going Offline\n");
  m_transport->Close();
  for (CDevice* device : GetDevices())
    if (device->GetCommsLevel() > kConnectedAbove) device->OnDisconnected(true);
  return true;
}

// --- Stopping ---

bool CSystem::RequestIdle() {
  if (!m_idleEvent || !m_worker.IsRunning()) return true;
  m_idleEvent->Reset();
  m_goIdle = true;
  // Bounded: the passes and scans give up at their next step, so only a worker stuck in the
  // transport could miss this; the request stays raised and the port closes under it.
  if (m_idleEvent->Wait(kStopWaitMs)) return true;
  WriteLog("The comms worker did not go idle in time\n");
  return false;
}

void CSystem::StopCommsThread() {
  if (!m_run) return;
  // Scans and passes look at this before every step, so the worker reaches idle within one
  // transaction and the waits below are a safety net only.
  m_stopping = true;
  if (m_worker.IsRunning()) {
    m_idleEvent->Reset();
    m_goIdle = true;
    m_idleEvent->Wait(kStopWaitMs);
  }
  m_run = false;
  if (m_worker.IsRunning()) m_threadExitEvent->Wait(kStopWaitMs);
  m_worker.Join(kStopWaitMs);
}

// --- The worker ---

void CSystem::CommsThreadMain() {
  while (m_run) {
    switch (m_workerState) {
      case kWorkerIdle:
        WorkerIdleStep();
        break;
      case kWorkerOnline:
        WorkerOnlineStep();
        break;
      case kWorkerAutoscan:
        RunAutoscan();
        EndAutoscan();
        break;
      case kWorkerGetSecurity:
        EndSecurityPass(RunGetSecurityPass(), false);
        break;
      case kWorkerSetSecurity:
        EndSecurityPass(RunSetSecurityPass(), true);
        break;
      default:
        // No such state: rest rather than spin.
        SleepEx(kWorkerIdleSleepMs, false);
        break;
    }
  }
  m_threadExitEvent->Set();
}

void CSystem::WorkerIdleStep() {
  if (m_goIdle) AcknowledgeGoIdle();
  SleepEx(kWorkerIdleSleepMs, false);
}

void CSystem::AcknowledgeGoIdle() {
  CSingleLock lock(m_lock);
  // The request is cleared before the event is set: the requester may raise the next request
  // as soon as it sees the event, and that one must not be lost.
  m_goIdle = false;
  m_idleEvent->Set();
}

void CSystem::WorkerOnlineStep() {
  CSerialComms& comms = *m_transport;
  CControlMessage& record = comms.Transaction();

  if (comms.GetStatus() == kCommsError) {
    comms.SetStatus(kCommsIdle);
    m_workerState = kWorkerIdle;
    m_goIdle = true;  // acknowledged by the idle state's next turn
    PostToFrame(UWM_FATAL_COMMS_ERROR);
    return;
  }

  if (comms.GetStatus() == kCommsPending) {
    if (!comms.IsDone()) {
      SleepEx(kWorkerPendingSleepMs, true);
      return;
    }
    CSingleLock lock(m_lock);
    CDevice* device = record.device;
    if (device && record.receivedLength == record.expectedLength) {
      if (device->NeedsInitialisation()) {
        m_needSecurityGet = true;  // the reply is dropped until the security pass admits it
      } else {
        const std::uint32_t n = record.receivedLength < CSerialComms::kReceiveBufferSize
                                    ? record.receivedLength
                                    : std::uint32_t(CSerialComms::kReceiveBufferSize);
        std::memcpy(record.frame, comms.ReceiveBuffer(), n);
        device->ProcessReply(record);
      }
    } else if (device) {
      device->UpdateCommsState(false);
    }
    m_pollIndex = m_pollIndex + 1;
    comms.SetStatus(kCommsIdle);
    return;
  }

  // Idle transport: requests first, then the system queue, then the devices in turn.
  if (m_goIdle) {
    m_workerState = kWorkerIdle;
    AcknowledgeGoIdle();
    return;
  }
  if (m_autoscanDialog) {
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

  const std::vector<CDevice*> devices = GetDevices();
  if (m_pollIndex >= std::int32_t(devices.size())) m_pollIndex = 0;
  if (PopSystemMessage(record)) {
    record.noRetry = false;
    comms.StartWrite(true);
    return;
  }
  for (std::int32_t i = m_pollIndex; i < std::int32_t(devices.size()); ++i) {
    CDevice* device = devices[std::size_t(i)];
    m_pollIndex = i;
    if (device->GetDeviceId() == 0) continue;  // not addressed yet
    record.noRetry = false;
    if (device->GetNextPollMessage(record)) {
      comms.StartWrite(true);
      return;
    }
  }
  m_pollIndex = std::int32_t(devices.size());
  SleepEx(kWorkerNothingSleepMs, true);
}

// --- End of a security pass ---

void CSystem::EndSecurityPass(PassOutcome outcome, bool setPass) {
  switch (outcome) {
    case PassOutcome::kTransportError:
      m_transport->SetStatus(kCommsIdle);
      m_goIdle = true;
      m_workerState = kWorkerIdle;
      PostToFrame(UWM_FATAL_COMMS_ERROR);
      break;
    case PassOutcome::kCancelled:
      m_goIdle = true;
      m_workerState = kWorkerIdle;
      PostToFrame(UWM_GO_OFFLINE);
      break;
    case PassOutcome::kDone:
      m_workerState = kWorkerOnline;
      break;
  }
  // Whatever the outcome the dialog closes, also after a fatal comms error.
  CloseSecurityDialog();
  m_needSecurityGet = false;
  if (setPass) m_needSecuritySet = false;
}

bool CSystem::RunScanTransaction() {
  m_transport->StartWrite(true);
  if (m_transport->GetStatus() == kCommsError) return false;
  return m_transport->WaitForCompletion();
}
