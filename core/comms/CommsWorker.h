// The comms worker: the serial transport, the worker thread with its events, the state machine
// of the online connection (idle, polling, autoscan, get and set security) and the system
// command queue. It owns discovery and the security passes and runs them in their states. It
// reaches the open system only through ICommsDocument.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/comms/CommsPassHost.h"
#include "core/comms/Discovery.h"
#include "core/comms/PollPlan.h"
#include "core/comms/Security.h"
#include "core/comms/SerialComms.h"
#include "core/model/User.h"
#include "platform/Sync.h"
#include "platform/Types.h"
#include "platform/WindowMessages.h"

class CAppSettings;
class CControlMessage;
class CDevice;

inline constexpr const char* kFatalCommsErrorText = "Fatal Comms Error - Going Offline";
inline constexpr const char* kFailedToConnectText = "Failed to connect - check comms settings";
inline constexpr const char* kOnlineErrorCaption = "Online Error";

// Waits of the worker, ms: the longest idle wait (it is woken at once by every request), the
// wait inside a transaction, the wait with nothing to send.
inline constexpr std::uint32_t kWorkerIdleWaitMs = 1000;
inline constexpr std::uint32_t kWorkerPendingSleepMs = 5;
inline constexpr std::uint32_t kWorkerNothingSleepMs = 1;

// Longest wait of each step of StopCommsThread, ms.
inline constexpr std::uint32_t kStopWaitMs = 30000;

// States of the comms worker.
enum : std::int32_t {
  kWorkerIdle = 0,
  kWorkerOnline = 1,
  kWorkerAutoscan = 2,
  kWorkerGetSecurity = 3,
  kWorkerSetSecurity = 4,
};

// What the comms worker needs of the open system. Any thread unless said.
class ICommsDocument {
 public:
  virtual ~ICommsDocument() = default;
  // The system's recursive lock: the device list, the device queues, the reply hand-over and the log.
  virtual CCriticalSection& GetLock() const = 0;
  // A copy of the device list, taken under the lock.
  virtual std::vector<CDevice*> GetDevices() const = 0;
  // A new device of the type (its family's Initialise run), or null for a type no family takes.
  virtual CDevice* CreateDevice(std::uint32_t deviceId, std::uint32_t typeCode, std::uint32_t variant) = 0;
  // Appends a device under the lock; the system owns it from now on.
  virtual void AppendDevice(CDevice* device) = 0;
  virtual const CAppSettings& GetSettings() const = 0;
  // Reads the "CommsTimeoutConstant" setting again and keeps it.
  virtual std::uint32_t ReloadCommsTimeoutConstant() = 0;
  virtual void WriteLog(const std::string& text) = 0;
  virtual void WriteErrorLog(const std::string& text) = 0;
  // Posts the message to the main frame; nothing without one.
  virtual void PostToFrame(CPostedMessage message) = 0;
  // The users that the security passes write and compare, and whether system security is on.
  // Read under the lock.
  virtual const CUserList& GetUsers() const = 0;
  virtual bool GetUseSystemSecurity() const = 0;
  // Replaces the system's users by copies of the network's (at most 10), turns system security
  // on, logs in the administrator and marks the file modified. Takes the lock.
  virtual void ImportNetworkUsers(const CUserList& network) = 0;
};

class CCommsWorker {
 public:
  explicit CCommsWorker(ICommsDocument& document);
  // Stops the thread when it still runs and closes the port.
  ~CCommsWorker();
  CCommsWorker(const CCommsWorker&) = delete;
  CCommsWorker& operator=(const CCommsWorker&) = delete;

  // Creates the events and starts the thread idle; a second call starts no second thread.
  void Start();
  // The transport. The worker runs its transactions while online; the UI thread opens and
  // closes it only while the worker is idle.
  CSerialComms& GetTransport() { return *m_transport; }
  bool IsPortOpen() const;

  // --- System command queue (any thread) ---
  void AppendSystemMessage(std::unique_ptr<CControlMessage> message);
  // Moves the most recently added message into record; false when there is none.
  bool PopSystemMessage(CControlMessage& record);
  std::size_t GetSystemQueueSize() const;
  // Puts the messages below everything still waiting, so that they go out after it; among
  // themselves the last one goes out first.
  void QueueSystemMessagesBehind(std::vector<std::unique_ptr<CControlMessage>> messages);
  void ClearSystemQueue();

  // --- State and requests ---
  std::int32_t GetWorkerState() const { return m_workerState; }
  // Sets the state and wakes an idle worker.
  void SetWorkerState(std::int32_t state);
  bool NeedSecurityGet() const { return m_needSecurityGet; }
  void SetNeedSecurityGet(bool on) { m_needSecurityGet = on; }
  bool NeedSecuritySet() const { return m_needSecuritySet; }
  void SetNeedSecuritySet(bool on) { m_needSecuritySet = on; }
  bool IsWorkerRunning() const { return m_worker.IsRunning(); }
  bool IsStopping() const { return m_stopping; }
  // Asks the worker to go idle and waits until it has (UI thread); false when it has not after
  // kStopWaitMs. The request then stays raised, and the port must stay open: the worker may
  // still be inside a transaction.
  bool RequestIdle();
  // True while the worker leaves the transport alone: it is not running, or in its idle state.
  // Any thread.
  bool IsWorkerIdle() const;
  void SetIdleWaitForTests(std::uint32_t ms) { m_idleWaitMs = ms; }
  // Ends the worker for good; every wait is bounded (kStopWaitMs each). UI thread.
  void StopCommsThread();
  // The worker's loop (worker thread).
  void CommsThreadMain();

  // --- Going online and offline (UI thread, worker idle) ---
  // Opens the port and reinitialises every device with the choice, then sets the worker
  // polling. False when the port did not open.
  bool GoOnline(std::uint32_t choice);
  // Going offline closes the port, but never under a worker that has not gone idle: then
  // nothing changes and the result is false.
  bool SetOnline(bool online);

  // --- The passes the worker runs ---
  // The autoscan; its dialog hands itself over here (SetAutoscanDialog) to start a scan.
  CDiscoveryPass& Discovery() { return m_discovery; }
  // The security passes; the security dialog hands its link over here (SetDialog).
  CSecurityPass& Security() { return m_security; }

  // The device is about to be deleted: nothing of the worker refers to it any more. UI thread,
  // under the system's lock (the worker's own lock is taken inside it).
  void ForgetDevice(const CDevice* device);

 private:
  // Worker steps.
  void WorkerIdleStep();
  void AcknowledgeGoIdle();
  void WorkerOnlineStep();
  // Raises the go-idle request and wakes the worker.
  void RaiseGoIdle();
  // The worker fails or ends the connection: idle, then the message to the frame.
  void EndOnline(std::uint32_t message);
  // The poll plan starts afresh (a session begins or ends); the writes it held aside go back
  // to the front of their devices' queues, so that none is lost with the plan. Worker thread.
  void ResetPlan();

  void EndAutoscan();
  // One turn of the worker in a security state: starts the pass, resumes it once what it waits
  // for has come, or polls the units it does not hold while it waits; ends the pass when it has
  // ended. The pass under way keeps the worker in these turns until it ends.
  void WorkerSecurityStep(bool setPass);
  void EndSecurityPass(SecurityPassOutcome outcome, bool setPass);
  // Starts the transaction in the transport's record.
  void StartTransaction();
  // Starts the next transaction: the system queue's first, then the request the poll plan
  // chooses; whilePassWaits, the devices that the security pass holds are passed over. False
  // when nobody has anything to send.
  bool StartNextTransaction(bool whilePassWaits);
  // The transaction has ended: the reply goes to its device (or a miss is counted), and the poll
  // plan learns the outcome. Takes the document's lock.
  void HandOver();
  // Tells the poll plan and the devices of the late answers the transport has heard, and the
  // person, once a session, of a unit that answers later than the read time-out; then judges the
  // writes given up whose time has come (JudgeWritesDue). Takes the document's lock.
  void NoteUnitsHeardLate();
  // Tells the person, once a session, that the device's unit answers later than the read
  // time-out, and which settings serve it: in the log, and in the device's tooltip
  // (CUnitAtId::SetLateAnswerNote). Under the document's lock.
  void TellUnitAnswersLate(CDevice& device);
  // The log's word on a write the device gave up without an ACK: that the unit may not hold it,
  // unless its late answers say otherwise. A unit heard answering late in the last
  // CPollPlan::kLateAnswerMemoryUs, or, when it may answer late, within
  // CLateAnswerBook::kLongestLatenessUs after the write, is there and slow: its ACK came late
  // too, and the comms error log says so instead.
  void JudgeGivenUpWrite(const CDevice& device, const CControlMessage& record);
  // Says that the unit may not hold each write given up whose wait for late answers is over, or
  // with all every one (the session ends).
  void JudgeWritesDue(bool all);
  // A new session: nothing is known of late answers, and nobody has been told of them.
  void StartSessionJudgements();
  // While a security pass waits: runs one transaction for a device the pass does not hold, so
  // that the meters and alarms of the units settled go on and the others are probed, or sleeps
  // ms when none has work. False on a transport error (the status stays error).
  bool PollSettledDevices(std::uint32_t ms);
  void Post(std::uint32_t message, WPARAM wParam = 0);
  // What tells whether the devices' IDs may have changed: a key over the list's devices and IDs.
  static std::uint64_t AddressKey(const std::vector<CDevice*>& devices);
  // When the list or an ID changed since it last looked, leaves out the devices that an earlier
  // one's frames reach too, and takes back the others; logs those newly left out.
  void TakeUpAddresses(const std::vector<CDevice*>& devices);
  // The worker fails the connection on a transport error: the log says which port and why.
  void EndOnFatalError();

  // The transport's view of the system.
  class TransportHost : public ICommsHost {
   public:
    explicit TransportHost(ICommsDocument& document) : m_document(document) {}
    void WriteLog(const std::string& text) override { m_document.WriteLog(text); }
    void WriteErrorLog(const std::string& text) override { m_document.WriteErrorLog(text); }
    bool IsLogCommsErrorsOn() const override;
    bool IsSuperDebugOn() const override;
    std::uint32_t GetDeviceIdForLog(const CDevice* device) const override;
    std::uint64_t GetDeviceHandle(const CDevice* device) const override;

   private:
    ICommsDocument& m_document;
  };

  // The passes' view of the worker.
  class PassHost : public ICommsPassHost {
   public:
    explicit PassHost(CCommsWorker& worker) : m_worker(worker) {}
    CSerialComms& Transport() override { return *m_worker.m_transport; }
    bool RunTransaction(std::uint32_t maxSilentSends) override;
    bool IsEnding() const override { return m_worker.m_stopping || !m_worker.m_run; }
    bool IsGoIdleRequested() const override { return m_worker.m_goIdle; }
    CCriticalSection& StateLock() const override { return m_worker.m_stateLock; }

   private:
    CCommsWorker& m_worker;
  };

  ICommsDocument& m_document;
  // The document's lock: the reply hand-over, the device list and the devices' queues and
  // fields, which the families share with the UI thread.
  CCriticalSection& m_documentLock;
  // The worker's own lock: the system command queue, and what the passes keep between runs (the
  // security dialog hand-over, refusals and answers, the discovery lists). Code holding it calls
  // nothing that takes the document's lock; code holding the document's lock may take it.
  mutable CCriticalSection m_stateLock;
  TransportHost m_transportHost;
  std::unique_ptr<CSerialComms> m_transport;
  // Worker thread only: who is asked next, and how.
  CPollPlan m_plan;
  // Worker thread only: the writes given up without an ACK whose judgement waits for the unit's
  // late answers (see JudgeGivenUpWrite), when each unit was last heard answering late, and the
  // units the person has been told answer late, this session.
  struct GivenUpWrite {
    std::uint64_t unit = 0;
    std::uint32_t deviceId = 0;
    std::uint32_t command = 0;
    std::uint32_t tries = 0;
    std::int64_t untilUs = 0;
  };
  std::vector<GivenUpWrite> m_givenUp;
  std::unordered_map<std::uint64_t, std::int64_t> m_heardLateUs;
  std::unordered_set<std::uint64_t> m_toldLate;
  // Set by GoOnline: the worker starts the poll plan afresh before its next request.
  std::atomic<bool> m_newSession{false};
  // The device list's AddressKey when devices were last left out (GoOnline, then the worker).
  std::atomic<std::uint64_t> m_addressKey{0};
  PassHost m_passHost{*this};
  CDiscoveryPass m_discovery;
  CSecurityPass m_security;

  // State and events.
  std::atomic<std::int32_t> m_workerState{kWorkerIdle};
  std::atomic<bool> m_needSecurityGet{false};
  std::atomic<bool> m_needSecuritySet{false};
  std::unique_ptr<CManualResetEvent> m_threadExitEvent;  // created by Start
  std::unique_ptr<CManualResetEvent> m_idleEvent;        // created by Start
  // Wakes the idle worker: a new state, a request to go idle, or the end.
  CAutoResetEvent m_wakeEvent;
  std::vector<std::unique_ptr<CControlMessage>> m_systemQueue;  // guarded by m_stateLock
  std::atomic<bool> m_run{false};
  std::atomic<bool> m_goIdle{false};
  std::atomic<bool> m_stopping{false};
  std::uint32_t m_idleWaitMs = kStopWaitMs;

  CWorkerThread m_worker;  // last: it ends before anything it uses goes
};
