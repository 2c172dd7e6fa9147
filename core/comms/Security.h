// Device security passes: what the get pass learns of each device, the groups it settles
// together, the pauses and time-outs of both passes, and the passes themselves.
#pragma once

#include <chrono>
#include <coroutine>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/comms/PassTask.h"
#include "core/model/User.h"
#include "platform/Types.h"

class CDevice;
class CSecurityDialogLink;
class ICommsDocument;
class ICommsPassHost;
struct CSecurityRequest;

// The security data of one device examined by the get pass.
struct CDeviceSecurityRecord {
  enum class Kind {
    kUserList,    // the device's user table (possibly empty)
    kNoSecurity,  // the family reads no security block
    kNoAnswer,    // the check or the read failed
  };

  CDeviceSecurityRecord(CDevice* d, Kind k) : device(d), kind(k) {}
  ~CDeviceSecurityRecord() { DeleteAllUsers(users); }
  CDeviceSecurityRecord(const CDeviceSecurityRecord&) = delete;
  CDeviceSecurityRecord& operator=(const CDeviceSecurityRecord&) = delete;

  // Same kind, and for user lists equal user tables (AreUserTablesEqual).
  bool HasSameDataAs(const CDeviceSecurityRecord& other) const;
  // A user list with at least one user: only then is there a password to ask for.
  bool HoldsUsers() const { return kind == Kind::kUserList && !users.empty(); }

  CDevice* device;
  Kind kind;
  CUserList users;  // owned; kUserList only
};

using CSecurityGroup = std::vector<std::unique_ptr<CDeviceSecurityRecord>>;

// Takes the first record off records with every later one of equal data, in list order.
CSecurityGroup TakeSecurityGroup(CSecurityGroup& records);

// What asking the dialog gives when there is no dialog to ask.
inline constexpr std::int32_t kNoSecurityDialog = -1;

// How a step of a pass ended.
enum class SecurityStep { kGoOn, kAborted, kTransportError };

// Pauses and time-outs of the passes, ms.
struct CSecurityTimings {
  std::uint32_t pollMs = 10;            // between looks at the dialog, and between devices
  std::uint32_t messagePauseMs = 1000;  // after a device list, a failure or a wrong password
  std::uint32_t updatePauseMs = 500;    // set pass: before each device's write
  std::uint32_t writeTimeoutMs = 500;   // least extra transport time-out of a security write
  // Bounds of the waits on the dialog: until it opens (then the pass runs without it), until
  // it takes a request, and until it is answered (then taken as Abort).
  std::uint32_t dialogOpenTimeoutMs = 1000;
  std::uint32_t dialogSendTimeoutMs = 5000;
  std::uint32_t answerTimeoutMs = 15 * 60 * 1000;
  // A refused device that answers is examined again once this hold-off has run out since its
  // refusal; every further refusal doubles it, up to the most.
  std::uint32_t refusedHoldOffMs = 2000;
  std::uint32_t refusedHoldOffMaxMs = 120000;
};

// How a pass ended: done, cancelled by the user, or ended by a transport error.
enum class SecurityPassOutcome { kDone, kCancelled, kTransportError };

// The get pass (the worker's get-security state) reads the user table of each device that waits
// for its security step, groups devices by it and settles each group: with the system's users,
// the Admin password or the import of a secured network's users. The set pass (the worker's
// set-security state) writes the system's users to every connected device. The comms worker
// owns the passes; their steps run on the worker thread unless said.
// A pass that waits (for the person's answer, for its dialog, through a pause) records what it
// waits for and returns to the worker, whose loop goes on polling the units the pass does not
// hold and resumes the pass once the wait is over:
//   Start -> [IsWaitOver ? Resume : poll, OnPolledWhileWaiting]... -> TakeOutcome
class CSecurityPass {
 public:
  CSecurityPass(ICommsPassHost& host, ICommsDocument& document);
  CSecurityPass(const CSecurityPass&) = delete;
  CSecurityPass& operator=(const CSecurityPass&) = delete;

  // --- The worker's side of a pass (worker thread) ---
  // Starts the get pass (setPass false) or the set pass and runs it until it first waits or
  // ends.
  void Start(bool setPass);
  // A pass has started and its outcome has not been taken yet.
  bool IsUnderWay() const { return m_run.IsValid(); }
  bool IsSetPass() const { return m_setPass; }
  // What the waiting pass waits for has come, or its time has run out, the worker is asked to
  // stop or the transport has failed: Resume goes on with it.
  bool IsWaitOver() const;
  // Goes on with the pass until it waits again or ends.
  void Resume();
  // The worker has polled once for the units the pass does not hold while it waits: a device
  // that answered meanwhile and waits for its step is examined aside.
  void OnPolledWhileWaiting();
  // The outcome of the pass once it has ended (then it is no longer under way); nothing before.
  std::optional<SecurityPassOutcome> TakeOutcome();

  // The security dialog's link. The dialog hands it over once it is shown; CloseDialog sets
  // its finished flag and clears it when the pass ends. A link handed over while no pass waits
  // for a dialog is finished at once, so a late dialog closes by itself. Any thread.
  std::shared_ptr<CSecurityDialogLink> GetDialog() const;
  void SetDialog(std::shared_ptr<CSecurityDialogLink> link);
  void CloseDialog();

  // The family's security check of the device: true when the family has none, or when its reply
  // came back complete (and went to the device); false on a transport error or a short reply.
  // maxSilentSends as ICommsPassHost::RunTransaction takes it.
  bool CheckDeviceSecurity(CDevice* device, std::uint32_t maxSilentSends = 0);
  // Writes the users as the device's user table: true when the family keeps no table, or when
  // the write was answered in full.
  bool SendSecurityData(CDevice* device, const CUserList& users);
  // Settles one group of devices that hold equal security data; the group outlives the step.
  CPassTask<SecurityStep> ConnectSecureDevices(const CSecurityGroup& group);
  void LogCannotConnect(CDevice* device);

  // Any thread.
  bool IsRefused(const CDevice* device) const;
  // Forgets the refusals of this connection (they are examined at the next pass at once) and,
  // with answers (a new connection), what the user answered for each device and which units
  // were heard too.
  void ClearRefusals(bool answers = false);
  // Under the document's lock (the worker's reply hand-over): a reply came from a device that
  // waits for its security step; its unit counts as heard on this connection (see Examine).
  // True when a get pass should examine it: always, unless a pass refused it and its hold-off
  // has not run out yet. A get pass that waits (on a question, say) examines such a device
  // meanwhile.
  bool IsDueForPass(const CDevice* device);
  // Whether the get pass under way holds the device: it examines it, or it waits for the answer
  // to a question about it. Such a device is not polled while the pass waits; every other one
  // is. Any thread.
  bool HoldsDevice(const CDevice* device) const;
  // The device is about to be deleted: its refusal and answers go.
  void ForgetDevice(const CDevice* device);

  const CSecurityTimings& GetTimings() const { return m_timings; }
  void SetTimingsForTests(const CSecurityTimings& timings) { m_timings = timings; }

 private:
  // A device a get pass refused on this connection. Its replies are dropped without a pass
  // until its hold-off has run out; the next reply after that makes it due, and the next pass
  // examines it again. The hold-off doubles with every refusal, so a unit that keeps failing
  // does not bring the dialog back over and over.
  struct Refusal {
    const CDevice* device;
    std::uint32_t refusedAt;  // tick count
    std::uint32_t holdOffMs;
    bool due;
  };
  // What the user answered for a device on this connection: the Admin password accepted for
  // its user table (empty: none), and whether the import question was answered with it.
  struct Answers {
    const CDevice* device;
    std::string password;
    bool importAnswered;
  };

  // Reads the device's security data: its check, then its user table. Null when a unit of
  // another model answered (the device is set aside), or on a transport error. A unit not heard
  // from on this connection may well be absent (a file may hold units switched off or taken
  // away): it is first asked as the poll plan asks a unit offline, with its family's presence
  // probe (or, without one, the check) and one resend; one that meets that with silence is
  // recorded as not answering, without the longer check and its resends.
  std::unique_ptr<CDeviceSecurityRecord> Examine(CDevice* device);
  // How the first question to a unit not heard from went.
  enum class Presence { kSilent, kHeard, kChecked, kOtherModel, kTransportError };
  Presence AskWhetherPresent(CDevice* device);
  // The device's unit has answered on this connection: a get pass examines it at once.
  void NoteHeard(const CDevice* device);
  bool WasHeard(const CDevice* device) const;
  // The get pass is about to ask the candidate at the index (of count): the dialog shows how
  // far it is, without waiting for the window.
  void ShowHowFar(std::size_t index, std::size_t count, CDevice* device);
  // Whether settling the group asks the person something (a password, or the import of the
  // network's users); deviceCount: the devices of the system.
  bool AsksQuestion(const CSecurityGroup& group, std::size_t deviceCount) const;
  // The get pass no longer holds these devices.
  void Release(const CSecurityGroup& group);
  // While the get pass waits: examines one device that answered since and waits for its step,
  // unless the pass holds it. One that can be settled without asking anybody is settled at
  // once (nothing is shown in the dialog, which may show a question); one that asks is held
  // and settled later in the pass.
  void ExamineAside();
  // What a waiting pass waits for: the dialog to be handed over, the answer to the question the
  // dialog took, or the end of a pause. Every wait also ends at its time, on a stop and on a
  // transport error.
  enum class WaitFor { kDialog, kAnswer, kPause };
  struct Wait {
    WaitFor what = WaitFor::kPause;
    std::chrono::steady_clock::time_point until{};
    std::shared_ptr<CSecurityDialogLink> dialog;  // kAnswer
    // The step of the pass that waits; none while nothing waits.
    std::coroutine_handle<> step;
  };
  class Waiting;
  // co_await of the result waits up to ms for what.
  Waiting WaitUntil(WaitFor what, std::uint32_t ms, std::shared_ptr<CSecurityDialogLink> dialog = {});
  bool IsOver(const Wait& wait) const;
  CPassTask<SecurityPassOutcome> RunGetPass();
  CPassTask<SecurityPassOutcome> RunSetPass();
  CPassTask<void> OpenDialog(WPARAM pass);
  void ShowProgress(const std::string& text);
  CPassTask<void> ShowDeviceList(const char* header, const CSecurityGroup& group);
  CPassTask<std::int32_t> AskDialog(const CSecurityRequest& request);
  bool IsStopRequested() const;
  // co_await of the result waits ms, the worker polling the settled units meanwhile; it ends
  // early on a stop or a transport error.
  Waiting Pause(std::uint32_t ms);
  void RefuseDevice(CDevice* device);
  // Examined by the next get pass: waiting for its step, and not refused or due again.
  bool IsCandidate(const CDevice* device) const;
  // Refusals of devices that are settled now are dropped.
  void ForgetSettledRefusals();
  // The answers kept for the device, or null; under the state lock.
  const Answers* FindAnswers(const CDevice* device) const;
  Answers& AnswersOf(const CDevice* device);
  // What the user already answered for these devices on this connection.
  bool WasPasswordGiven(const CSecurityGroup& group, const std::string& password) const;
  void RememberPassword(const CSecurityGroup& group, const std::string& password);
  bool WasImportAnswered(const CSecurityGroup& group) const;
  void RememberImportAnswered(const CSecurityGroup& group);
  // Copies of the system's users, taken under the document's lock.
  void CopySystemUsers(CUserList& out) const;
  CPassTask<SecurityStep> AskGroupPassword(const CSecurityGroup& group);
  SecurityStep GiveSystemUsers(CDevice* device, const CUserList& users);
  SecurityStep GiveSystemUsersOrConnect(const CSecurityGroup& group, const CUserList& users,
                                        const char* connectingText);
  CPassTask<SecurityStep> OfferUserImport(const CSecurityGroup& group);
  bool IsTransportError() const;

  ICommsPassHost& m_host;
  ICommsDocument& m_document;
  CSecurityTimings m_timings;
  // Guarded by the worker's state lock.
  std::shared_ptr<CSecurityDialogLink> m_dialog;
  bool m_dialogWanted = false;
  std::vector<Refusal> m_refused;
  std::vector<Answers> m_answers;
  // The devices the get pass under way holds, and those that answered meanwhile and are due for
  // their step.
  std::unordered_set<const CDevice*> m_held;
  std::vector<const CDevice*> m_heard;
  // The devices whose units have answered on this connection (see NoteHeard).
  std::unordered_set<const CDevice*> m_answered;
  // Worker thread: the records the get pass has still to settle; whether it settles groups now
  // (and so may examine devices aside while it waits), and whether it is examining one aside.
  CSecurityGroup m_pending;
  std::size_t m_deviceCount = 0;
  bool m_settling = false;
  bool m_examiningAside = false;
  // Worker thread: the pass under way, whether it is the set pass, and what it waits for.
  CPassTask<SecurityPassOutcome> m_run;
  bool m_setPass = false;
  Wait m_wait;
};
