// The comms worker: the serial transport, the worker thread with its events, the state machine
// of the online connection (idle, polling, autoscan, get and set security), the system command
// queue, discovery and the security passes. It reaches the open system only through
// ICommsDocument.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/comms/Security.h"
#include "core/comms/SerialComms.h"
#include "core/model/User.h"
#include "platform/Sync.h"
#include "platform/Types.h"
#include "platform/WindowMessages.h"

class CAppSettings;
class CControlMessage;
class CDevice;
class CSecurityDialogLink;
class IAutoscanDialog;
struct CSecurityRequest;

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

  // --- Dialog hand-overs ---
  IAutoscanDialog* GetAutoscanDialog() const { return m_autoscanDialog; }
  // UI thread: the autoscan dialog hands itself and its running flag over; the worker starts
  // the scan at its next idle turn, and clears the flag and the dialog when the scan ends.
  void SetAutoscanDialog(IAutoscanDialog* dialog, std::atomic<bool>* scanRunning);
  // The security dialog's link to the worker. The dialog hands it over once it is shown; the
  // worker sets its finished flag and clears it when the pass ends. A link handed over while
  // no pass waits for a dialog is finished at once, so a late dialog closes by itself.
  // Any thread.
  std::shared_ptr<CSecurityDialogLink> GetSecurityDialog() const;
  void SetSecurityDialog(std::shared_ptr<CSecurityDialogLink> link);

  // --- Device security passes (worker thread unless said) ---
  bool CheckDeviceSecurity(CDevice* device);
  bool SendSecurityData(CDevice* device, const CUserList& users);
  SecurityStep ConnectSecureDevices(const CSecurityGroup& group);
  void LogCannotConnect(CDevice* device);
  // Any thread.
  bool IsSecurityRefused(const CDevice* device) const;
  // Forgets the refusals of this connection (they are examined at the next pass at once) and,
  // with answers, what the user answered for each device too.
  void ClearSecurityRefusals(bool answers = false);
  const CSecurityTimings& GetSecurityTimings() const { return m_securityTimings; }
  void SetSecurityTimingsForTests(const CSecurityTimings& timings) { m_securityTimings = timings; }

  // --- Discovery (worker thread unless said) ---
  std::int64_t ProbeDeviceId(std::uint8_t level, std::uint32_t id, std::uint32_t& typeCode,
                             std::uint32_t& variant);
  void SendQuietCommand(const CDevice* device);
  void SendQuietCommand(std::uint32_t typeCode, std::uint32_t id);
  void KeepScanQuiet();
  void SendScanReset();
  bool CheckScanComplete();
  CDevice* AddFoundDevice(std::uint32_t id, std::uint32_t typeCode, std::uint32_t variant);
  void ResetBreakoutReadFlags();
  // UI thread: the devices found since the last call, for the system to place in a zone.
  std::vector<CDevice*> TakeUnplacedDevices();
  std::size_t GetUnplacedDeviceCount() const;
  void SetScanRangeForTests(std::uint32_t lastShortId, std::uint32_t lastGroup);
  std::uint32_t GetLastQuietRefresh() const { return m_lastQuietRefresh; }
  void SetLastQuietRefresh(std::uint32_t tick) { m_lastQuietRefresh = tick; }

  // The device is about to be deleted: nothing of the worker refers to it any more. UI thread,
  // under the system's lock (the worker's own lock is taken inside it).
  void ForgetDevice(const CDevice* device);

 private:
  // A device a get pass refused on this connection. Its replies are dropped without a pass
  // until its hold-off has run out; the next reply after that makes it due, and the next pass
  // examines it again. The hold-off doubles with every refusal, so a unit that keeps failing
  // does not bring the dialog back over and over.
  struct SecurityRefusal {
    const CDevice* device;
    std::uint32_t refusedAt;  // tick count
    std::uint32_t holdOffMs;
    bool due;
  };
  // What the user answered for a device on this connection: the Admin password accepted for
  // its user table (empty: none), and whether the import question was answered with it.
  struct SecurityAnswers {
    const CDevice* device;
    std::string password;
    bool importAnswered;
  };

  // Worker steps.
  void WorkerIdleStep();
  void AcknowledgeGoIdle();
  void WorkerOnlineStep();
  // Raises the go-idle request and wakes the worker.
  void RaiseGoIdle();
  // The worker fails or ends the connection: idle, then the message to the frame.
  void EndOnline(std::uint32_t message);

  // The outcome of a security pass: done, cancelled by the user, or ended by a transport error.
  enum class PassOutcome { kDone, kCancelled, kTransportError };
  PassOutcome RunGetSecurityPass();
  PassOutcome RunSetSecurityPass();
  void EndSecurityPass(PassOutcome outcome, bool setPass);
  void OpenSecurityDialog(WPARAM pass);
  void CloseSecurityDialog();
  void ShowSecurityProgress(const std::string& text);
  void ShowSecurityDeviceList(const char* header, const CSecurityGroup& group);
  std::int32_t AskSecurityDialog(const CSecurityRequest& request);
  bool IsSecurityPassStopRequested() const;
  void SecurityPause(std::uint32_t ms);
  void RefuseDevice(CDevice* device);
  // Under the document's lock (the worker's reply hand-over): a reply came from a device that waits for
  // its security step. True when a get pass should examine it: always, unless a pass refused
  // it and its hold-off has not run out yet.
  bool IsDueForSecurityPass(const CDevice* device);
  // Examined by the next get pass: waiting for its step, and not refused or due again.
  bool IsSecurityCandidate(const CDevice* device) const;
  // Refusals of devices that are settled now are dropped.
  void ForgetSettledRefusals();
  // The answers kept for the device, or null; under m_stateLock.
  const SecurityAnswers* FindAnswers(const CDevice* device) const;
  SecurityAnswers& AnswersOf(const CDevice* device);
  // What the user already answered for these devices on this connection.
  bool WasPasswordGiven(const CSecurityGroup& group, const std::string& password) const;
  void RememberPassword(const CSecurityGroup& group, const std::string& password);
  bool WasImportAnswered(const CSecurityGroup& group) const;
  void RememberImportAnswered(const CSecurityGroup& group);
  // Copies of the system's users, taken under the document's lock.
  void CopySystemUsers(CUserList& out) const;
  SecurityStep AskGroupPassword(const CSecurityGroup& group);
  SecurityStep GiveSystemUsers(CDevice* device, const CUserList& users);
  SecurityStep GiveSystemUsersOrConnect(const CSecurityGroup& group, const CUserList& users,
                                        const char* connectingText);
  SecurityStep OfferUserImport(const CSecurityGroup& group);
  bool IsTransportError() const;
  void Post(std::uint32_t message, WPARAM wParam = 0);
  // Runs the transaction in the transport's record and waits; false on a transport error.
  bool RunScanTransaction();

  // Discovery.
  void RunAutoscan();
  void EndAutoscan();
  bool IsScanRunning() const;
  void SendScanStatus(const std::string& text);
  void LogScanDetail(const std::string& text);
  bool RunLongIdPass();
  bool SearchLevel(int level, std::uint32_t base);
  bool TakeFoundUnit(std::uint32_t id, std::uint32_t typeCode, std::uint32_t variant);

  // The transport's view of the system.
  class TransportHost : public ICommsHost {
   public:
    explicit TransportHost(ICommsDocument& document) : m_document(document) {}
    void WriteLog(const std::string& text) override { m_document.WriteLog(text); }
    void WriteErrorLog(const std::string& text) override { m_document.WriteErrorLog(text); }
    bool IsLogCommsErrorsOn() const override;
    bool IsSuperDebugOn() const override;
    std::uint32_t GetDeviceIdForLog(const CDevice* device) const override;

   private:
    ICommsDocument& m_document;
  };

  ICommsDocument& m_document;
  // The document's lock: the reply hand-over, the device list and the devices' queues and
  // fields, which the families share with the UI thread.
  CCriticalSection& m_documentLock;
  // The worker's own lock: the system command queue, the dialog hand-over, the security
  // refusals and answers, and the discovery lists. Code holding it calls nothing that takes
  // the document's lock; code holding the document's lock may take it.
  mutable CCriticalSection m_stateLock;
  TransportHost m_transportHost;
  std::unique_ptr<CSerialComms> m_transport;
  std::atomic<std::int32_t> m_pollIndex{0};
  std::atomic<std::uint32_t> m_lastQuietRefresh{0};

  // Hand-over with the dialogs.
  std::atomic<IAutoscanDialog*> m_autoscanDialog{nullptr};
  std::atomic<std::atomic<bool>*> m_scanRunning{nullptr};
  std::shared_ptr<CSecurityDialogLink> m_securityDialog;  // guarded by m_stateLock
  bool m_securityDialogWanted = false;                   // guarded by m_stateLock
  std::vector<SecurityRefusal> m_securityRefused;         // guarded by m_stateLock
  std::vector<SecurityAnswers> m_securityAnswers;         // guarded by m_stateLock
  CSecurityTimings m_securityTimings;

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

  // Discovery: units of unknown type that a scan quieted (type, ID), devices found but not
  // yet in a zone (both guarded by m_stateLock), and the scan's range.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> m_quietedUnknownUnits;
  std::vector<CDevice*> m_unplacedDevices;
  std::uint32_t m_lastShortId = 63;
  std::uint32_t m_lastGroup = 127;

  CWorkerThread m_worker;  // last: it ends before anything it uses goes
};
