// Which device the comms worker asks next, and how many of its request's sends may meet silence:
// the turn in the device list, the units passed over (resting after silence, or awaited for a
// late answer), the requests set aside until a late answer they could take has come, and what is
// known of each unit's silences and late answers. No port and no devices: it sees each device as
// a PollUnit, takes requests through IPollSource, and works on times in microseconds on the
// program's clock given by the caller. Not locked: the worker thread only.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/protocol/ControlMessage.h"

// A unit that is not connected and left its last request unanswered (silent: switched off, say)
// is passed over for a rest, so that the silent units together hold the line for at most
// kSilentSharePercent of the time while others answer: after its unanswered request each silent
// unit rests until the last unanswered requests of all silent units make that share of the time
// (while no unit answers, until the others have had their turn), at most kMaxSilentRestMs, so
// that it is asked again soon enough to connect within seconds of answering. Until it shows
// offline (its level down to 0) its rest is sized on kCountdownSharePercent, so that units
// switched off show offline within seconds. A unit still connected is asked again at its next
// turn, or sooner at its pace (kCountdownPaceUs).
inline constexpr std::uint32_t kSilentSharePercent = 30;
inline constexpr std::uint32_t kCountdownSharePercent = 50;
inline constexpr std::uint32_t kMaxSilentRestMs = 2500;
// A unit that missed its last request while it still shows online is asked again at its next
// turn, and at the latest this long after that miss, before the units whose turn it is: its misses
// are counted at its own pace, so that a unit switched off shows offline within seconds however
// long a turn round the others takes (units whose answers come late make it long). Not a unit
// known to answer late: its answers, not its silence, are what it misses.
inline constexpr std::int64_t kCountdownPaceUs = 150000;

// One device of the list, as it stands when the plan is asked.
struct PollUnit {
  std::uint64_t handle = 0;    // the device's handle
  std::uint32_t deviceId = 0;  // the ID its requests name now
  bool addressable = true;     // a request may go to it (an ID of its own, no other model there)
  std::int32_t level = 0;      // its connection level: 0 offline
  bool connected = false;
  // Another unit answers its requests too (CDevice::HasAddressClash): a request of it that ends
  // unanswered costs the line what one met by silence at every send would, and it rests as long.
  bool clash = false;
};

// What the plan asks of the devices and the transport while it chooses.
class IPollSource {
 public:
  virtual ~IPollSource() = default;
  // The next request of the device at the index of the list, into record; false when it has
  // nothing to send now.
  virtual bool TakeRequest(std::size_t index, CControlMessage& record) = 0;
  // Whether the request, started now, would first wait for late answers still on their way.
  virtual bool WaitsForLateAnswers(const CControlMessage& request) = 0;
  // Whether the unit may still send a late answer: it is passed over while others have work.
  virtual bool AwaitsLateAnswerFrom(std::uint64_t unit) = 0;
};

class CPollPlan {
 public:
  // How long a late answer of a unit is remembered: meanwhile its requests keep a resend.
  static constexpr std::int64_t kLateAnswerMemoryUs = 30000000;
  // Transactions of units in a row that heard nothing at all, from which the line counts as
  // silent (a cable pulled, the units' power off): every unit counting down is then asked once.
  static constexpr std::uint32_t kSilentLineStreak = 2;
  // Most times a unit counting down to offline is asked in one turn for a request (a unit that
  // has work only at some turns, as a breakout box has, would take many rounds to miss six).
  static constexpr int kCountdownAsks = 16;
  // Sends of a probe of a unit offline that is most likely absent: one resend, so that an answer
  // up to two read time-outs late is heard.
  static constexpr std::uint32_t kOfflineProbeSends = 2;

  // A session begins or ends: nothing is known of any unit, nothing waits aside, and the turn is
  // at the start of the list. The caller first takes what waits aside (TakeRequestsAside): a
  // request taken from a device leaves it only on the wire or back to the device.
  void Reset();
  // The requests waiting aside, each with its device's handle, taken out of the plan.
  std::vector<std::pair<std::uint64_t, CControlMessage>> TakeRequestsAside();

  // Rounds the list once from the device whose turn it is (after a unit whose pace is due, see
  // kCountdownPaceUs) and fills record with the first request to go, passing over devices that
  // are not addressable, that rest, and whose units may still send a late answer; when nobody
  // else had anything to send, those are asked too (the awaited, and on a silent line the
  // resting, whose rest ends first first). A request that could take a late answer still on its
  // way for its own is set aside, and goes once that answer has come or can no longer come, while
  // others go on. Returns the device's index with the request in record (its silent sends' limit
  // set), or -1 when nobody has work now.
  std::int32_t Next(const std::vector<PollUnit>& units, IPollSource& source, CControlMessage& record,
                    std::int64_t nowUs);
  // A transaction has started (one that Next gave, or another), whose sends may meet silence
  // maxSilentSends times (0: as often as it is sent).
  void OnStart(std::int64_t nowUs, std::uint32_t maxSilentSends);
  // The transaction for the unit (as it stands after its outcome) ended: answered in full, or
  // not; and whether anything at all was heard on the line during its reads. silentSendUs: what
  // one of its sends met by silence costs (its read time-out), for a unit in an address clash.
  void OnOutcome(const PollUnit& unit, bool answered, bool heardNothing, std::int64_t nowUs,
                 std::int64_t silentSendUs = 0);
  // A transaction ended, whoever it was for: the turn passes on.
  void OnTransactionEnd() { ++m_turn; }
  // An answer of the unit came after its own transaction had given up on it: the unit is alive,
  // and slow. Its silence is forgotten, and its requests keep a resend for a while.
  void OnLateAnswer(std::uint64_t unit, std::int64_t nowUs);

  bool HasRequestsAside() const { return !m_aside.empty(); }
  // Whether the unit rests now (tests and the worker's log).
  bool Rests(std::uint64_t unit, std::int64_t nowUs) const;

 private:
  // What is known of a unit whose last transaction ended unanswered: how long its next one is
  // likely to take (as long as that one, or when nothing was heard, a read time-out for each send
  // it may spend on silence), until when it rests, and whether nothing at all was heard.
  struct Silence {
    std::int64_t costUs = 0;  // the next transaction's time, likely
    std::int64_t endedUs = 0;  // when the unanswered transaction ended
    std::int64_t untilUs = 0;
    bool heardNothing = false;
  };
  // A request taken from a device that waits aside, with the ID its frame names.
  struct Aside {
    CControlMessage request;
    std::uint32_t deviceId = 0;
  };

  // The unit that missed its last request while online and whose next ask is the most overdue
  // at its own pace (kCountdownPaceUs); -1 when none is.
  std::int32_t OverdueAtItsPace(const std::vector<PollUnit>& units, IPollSource& source, std::int64_t nowUs);
  // Asks the device at the index for its request (more than once while it counts down) and
  // starts it or sets it aside; true when record holds a request to go.
  bool Take(const PollUnit& unit, std::size_t index, IPollSource& source, CControlMessage& record,
            std::int64_t nowUs);
  // How many sends of the unit's next request may meet silence before it ends (0: no limit but
  // the retries): once for a unit counting down after a silence, or on a silent line; twice for
  // such a unit known to answer late, and for a probe of a unit offline, so that an answer up to
  // two read time-outs late is heard.
  std::uint32_t SilentSendsFor(const PollUnit& unit, std::int64_t nowUs) const;
  // The unit is connected or counting down to offline, and its last request or the line was
  // silent.
  bool CountsDown(const PollUnit& unit) const;
  bool HeardNothingLast(std::uint64_t unit) const;
  bool AnswersLate(std::uint64_t unit, std::int64_t nowUs) const;
  // Forgets what is kept for units no longer in the list.
  void ForgetUnitsGone(const std::vector<PollUnit>& units);

  std::size_t m_turn = 0;
  std::int64_t m_startUs = 0;
  // The most sends of the transaction in flight.
  std::uint32_t m_sends = CControlMessage::kMaxSends;
  std::int64_t m_lastAnswerUs = 0;
  // Transactions in a row for units that heard nothing at all.
  std::uint32_t m_silentStreak = 0;
  // By device handle.
  std::unordered_map<std::uint64_t, Silence> m_silent;
  std::unordered_map<std::uint64_t, Aside> m_aside;
  std::unordered_map<std::uint64_t, std::int64_t> m_lateSeenUs;
};
