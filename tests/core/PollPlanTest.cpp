// The comms worker's poll plan on its own: devices as numbers, requests from a scripted source,
// times in microseconds. Who is asked next, how many of a request's sends may meet silence, how
// long a silent unit rests, and the requests set aside for late answers.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/comms/PollPlan.h"

namespace {

constexpr std::int64_t kSendUs = 60000;  // one send met by silence: its read time-out
constexpr std::int64_t kAnswerUs = 4000;

// Devices 0 to n - 1 (handles 100 + i, IDs 1 + i). Each has a request at every ask unless it has
// asks to pass first; the request's argument names the device.
class CScriptedSource : public IPollSource {
 public:
  bool TakeRequest(std::size_t index, CControlMessage& record) override {
    asks.push_back(index);
    if (passes.size() > index && passes[index] > 0) {
      --passes[index];
      return false;
    }
    if (idle.count(index) != 0) return false;
    record.Set(0x3E, 8, 20, nullptr, false, 0xA8, std::uint32_t(index), 0);
    record.frame[4] = std::uint8_t(++made);
    return true;
  }
  bool WaitsForLateAnswers(const CControlMessage& request) override { return waiting.count(request.argument) != 0; }
  bool AwaitsLateAnswerFrom(std::uint64_t unit) override { return awaited.count(unit) != 0; }

  std::vector<std::size_t> asks;
  std::vector<int> passes;        // asks that give nothing, by device
  std::set<std::size_t> idle;     // devices with nothing to send
  std::set<std::uint32_t> waiting;  // devices whose requests would wait for late answers
  std::set<std::uint64_t> awaited;  // units that may still answer late
  int made = 0;
};

class PollPlanTest : public ::testing::Test {
 protected:
  void MakeUnits(std::size_t n, std::int32_t level = 6) {
    units.clear();
    for (std::size_t i = 0; i < n; ++i) units.push_back(PollUnit{100 + i, std::uint32_t(1 + i), true, level, level > 2});
  }
  struct Step {
    std::int32_t index;
    std::uint32_t silentSends;
    std::uint8_t tag;  // frame byte 4: which request went
  };
  // The next request; when one goes, it ends answered or not (silent: every send met silence, each
  // a read time-out), the clock moving on by what it took.
  Step Run(bool answered, bool silent = true) {
    CControlMessage record;
    const std::int32_t i = plan.Next(units, source, record, now);
    if (i < 0) return {i, 0, 0};
    plan.OnStart(now, record.maxSilentSends);
    const std::uint32_t sends = record.maxSilentSends == 0 ? 3 : record.maxSilentSends;
    now += answered ? kAnswerUs : silent ? sends * kSendUs : kAnswerUs;
    plan.OnOutcome(units[std::size_t(i)], answered, !answered && silent, now, kSendUs);
    plan.OnTransactionEnd();
    return {i, record.maxSilentSends, record.frame[4]};
  }
  std::vector<std::int32_t> Order(int n, bool answered = true) {
    std::vector<std::int32_t> order;
    for (int k = 0; k < n; ++k) order.push_back(Run(answered).index);
    return order;
  }

  CPollPlan plan;
  CScriptedSource source;
  std::vector<PollUnit> units;
  std::int64_t now = 1000000;
};

TEST_F(PollPlanTest, DevicesTakeOneRequestEachInTurn_PassingOverThoseWithNothingAndThoseNotAddressable) {
  MakeUnits(4);
  source.idle = {1};
  units[2].addressable = false;
  EXPECT_EQ(Order(5), (std::vector<std::int32_t>{0, 3, 0, 3, 0}));
  // With nobody to ask the turn stays where it was.
  source.idle = {0, 1, 3};
  EXPECT_EQ(Run(true).index, -1);
  source.idle = {};
  units[2].addressable = true;
  EXPECT_EQ(Order(3), (std::vector<std::int32_t>{1, 2, 3}));
}

// How many sends of a unit's next request may meet silence, after what came of its last ones.
struct SilentSendsCase {
  const char* name;
  std::int32_t level;       // the unit's level when asked
  bool answeredLast;        // its last transaction was answered
  bool heardSomething;      // ...or heard bytes that made no reply
  bool lateAnswerBefore;    // a late answer of it was heard before its last transaction
  bool lateAnswerAfter;     // ...or after
  bool newSession;          // the plan was reset since
  std::int64_t laterUs;     // time passed before it is asked
  std::uint32_t expected;
};

const SilentSendsCase kSilentSendsCases[] = {
    {"AnsweredLast", 6, true, false, false, false, false, 0, 0},
    {"SilentWhileConnected", 6, false, false, false, false, false, 0, 1},
    {"SilentCountingDown", 2, false, false, false, false, false, 3000000, 1},
    {"HeardBytesThatMadeNoReply", 6, false, true, false, false, false, 0, 0},
    {"SilentAndKnownToAnswerLate", 6, false, false, true, false, false, 0, 2},
    {"SilentAndLateLongAgo", 6, false, false, true, false, false, CPollPlan::kLateAnswerMemoryUs, 1},
    {"SilentOffline", 0, false, false, false, false, false, 3000000, 2},
    {"OfflineNeverAsked", 0, true, false, false, false, true, 0, 0},
    {"SilentThenItsLateAnswerCame", 6, false, false, false, true, false, 0, 0},
    {"SilentOfflineThenItsLateAnswerCame", 0, false, false, false, true, false, 0, 0},
    {"SilentThenANewSession", 6, false, false, false, false, true, 0, 0},
    {"SilentOfflineThenANewSession", 0, false, false, false, false, true, 0, 0},
};

class PollPlanSilentSends : public PollPlanTest, public ::testing::WithParamInterface<SilentSendsCase> {};

TEST_P(PollPlanSilentSends, FollowWhatCameOfTheUnitsLastRequests) {
  const SilentSendsCase& c = GetParam();
  MakeUnits(2);
  // Device 0 answers between device 1's transactions: the line is not silent.
  source.idle = {1};
  Run(true);
  source.idle = {0};
  if (c.lateAnswerBefore) plan.OnLateAnswer(101, now);
  units[1].level = c.level;
  units[1].connected = c.level > 2;
  ASSERT_EQ(Run(c.answeredLast, !c.heardSomething).index, 1);
  if (c.lateAnswerAfter) plan.OnLateAnswer(101, now);
  if (c.newSession) plan.Reset();
  now += c.laterUs;
  source.idle = {1};
  Run(true);
  source.idle = {0};
  const Step step = Run(true);
  ASSERT_EQ(step.index, 1);
  EXPECT_EQ(step.silentSends, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PollPlanSilentSends, ::testing::ValuesIn(kSilentSendsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// When two transactions in a row heard nothing at all the line counts as silent: every unit still
// counting down is asked once, its first miss too, and one with work only at some turns (a
// breakout box) is asked until it has some, so that all show offline within seconds. Something
// heard on the line ends it.
TEST_F(PollPlanTest, OnASilentLineEveryUnitIsAskedOnce_AndOneWithWorkOnlyAtSomeTurnsUntilItHasSome) {
  MakeUnits(4);
  source.passes = {0, 0, 0, 10};
  EXPECT_EQ(Run(false).silentSends, 0u);
  EXPECT_EQ(Run(false).silentSends, 0u);
  const Step third = Run(false);
  EXPECT_EQ(third.index, 2);
  EXPECT_EQ(third.silentSends, 1u);
  source.asks.clear();
  const Step box = Run(false);
  EXPECT_EQ(box.index, 3);
  EXPECT_EQ(box.silentSends, 1u);
  EXPECT_EQ(source.asks, std::vector<std::size_t>(11, 3));
  // Nothing after kCountdownAsks asks: passed over this turn.
  source.passes = {CPollPlan::kCountdownAsks, 0, 0, 0};
  EXPECT_EQ(Run(false).index, 1);
  // Device 2 answers: the line is heard again. A unit silent last is still asked once, device 0,
  // passed over longer than its pace, first; and device 2, answered last, with every resend.
  EXPECT_EQ(Run(true).index, 2);
  const Step first = Run(true);
  EXPECT_EQ(first.index, 0);
  EXPECT_EQ(first.silentSends, 1u);
  const Step box2 = Run(true);
  EXPECT_EQ(box2.index, 3);
  EXPECT_EQ(box2.silentSends, 1u);
  Run(true);
  Run(true);
  const Step answered = Run(true);
  EXPECT_EQ(answered.index, 2);
  EXPECT_EQ(answered.silentSends, 0u);
}

// A silent unit that is not connected rests so that the silent units hold the line for 30 % of
// the time while others answer (50 % while it still counts down), sized on what its next request
// costs; with nobody answering they only take turns; a connected one is asked at its next turn.
TEST_F(PollPlanTest, ASilentUnitRestsForItsShareOfTheLine) {
  MakeUnits(2);
  source.idle = {1};
  Run(true);
  source.idle = {};
  units[1].level = 0;
  units[1].connected = false;
  ASSERT_EQ(Run(false).index, 1);  // three sends: 180 ms; the next probe has two, 120 ms
  // 120 ms is 30 % of 400 ms: it rests 280 ms from the end of its request.
  EXPECT_TRUE(plan.Rests(101, now + 279999));
  EXPECT_FALSE(plan.Rests(101, now + 280000));
  EXPECT_EQ(Order(3), (std::vector<std::int32_t>{0, 0, 0}));
  now += 280000;
  EXPECT_EQ(Run(true).index, 1);

  // Counting down (level 1): 50 %; its next request, one send, 60 ms: it rests as long.
  units[1].level = 1;
  source.idle = {0};
  ASSERT_EQ(Run(false).index, 1);
  EXPECT_TRUE(plan.Rests(101, now + kSendUs - 1));
  EXPECT_FALSE(plan.Rests(101, now + kSendUs));

  // Answers garbled at once by another unit's at its address (a clash) cost it as long as silence
  // would: it rests as long as a unit that answers nothing, and the one without a clash a moment.
  for (const bool clash : {true, false}) {
    now += 10000000;
    units[1].level = 0;
    units[1].clash = clash;
    source.idle = {};
    Run(true);
    ASSERT_EQ(Run(false, false).index, 1);
    EXPECT_EQ(plan.Rests(101, now + 279999), clash);
  }
  units[1].clash = false;

  // Connected: asked again at once.
  now += 10000000;
  units[1].level = 5;
  units[1].connected = true;
  Run(false);
  EXPECT_FALSE(plan.Rests(101, now));

  // Nobody answers: two silent units take turns, each resting while the other is asked (once,
  // 60 ms).
  MakeUnits(2, 1);
  plan.Reset();
  source.idle = {};
  now += 10000000;
  Run(false);
  Run(false);
  EXPECT_TRUE(plan.Rests(101, now + kSendUs - 1));
  EXPECT_FALSE(plan.Rests(101, now + kSendUs));
  const Step other = Run(false);
  EXPECT_EQ(other.index, 0);
  EXPECT_EQ(other.silentSends, 1u);
}

// A unit that missed its last request while it shows online is asked again at its own pace,
// before the others' turns, however long they take (each here 200 ms): kCountdownPaceUs after its
// miss at the latest, the turn going on where it was. A unit known to answer late, whose misses are
// its late answers, waits for its turn.
struct PaceCase {
  const char* name;
  bool answersLate;
  std::vector<std::int32_t> order;
};

class PollPlanPace : public PollPlanTest, public ::testing::WithParamInterface<PaceCase> {};

TEST_P(PollPlanPace, AUnitThatMissedIsAskedAgainAtItsOwnPace) {
  MakeUnits(5);
  Order(5);
  if (GetParam().answersLate) plan.OnLateAnswer(100, now);
  // Device 0 misses (three sends, 180 ms); the others take 200 ms each.
  ASSERT_EQ(Run(false).index, 0);
  std::vector<std::int32_t> order;
  for (int k = 0; k < 5; ++k) {
    CControlMessage record;
    const std::int32_t i = plan.Next(units, source, record, now);
    plan.OnStart(now, record.maxSilentSends);
    now += i == 0 ? kSendUs : 200000;
    plan.OnOutcome(units[std::size_t(i)], i != 0, i == 0, now, kSendUs);
    plan.OnTransactionEnd();
    order.push_back(i);
  }
  EXPECT_EQ(order, GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(Cases, PollPlanPace,
                         ::testing::Values(PaceCase{"Silent", false, {1, 0, 2, 0, 3}},
                                           PaceCase{"KnownToAnswerLate", true, {1, 2, 3, 4, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A device whose unit may still answer late is passed over while others have work, and asked when
// nobody else has; a request that could take that answer for its own waits aside, goes when it no
// longer would, and is dropped when its device has a new ID or is gone.
TEST_F(PollPlanTest, AwaitedUnitsWaitForOthers_AndRequestsAsideGoWhenTheyMay) {
  MakeUnits(3);
  source.awaited = {101};
  EXPECT_EQ(Order(4), (std::vector<std::int32_t>{0, 2, 0, 2}));
  source.idle = {0, 2};
  EXPECT_EQ(Run(true).index, 1);

  source.awaited = {};
  source.idle = {};
  source.waiting = {1};
  EXPECT_EQ(Order(3), (std::vector<std::int32_t>{2, 0, 2}));  // device 1's request set aside
  EXPECT_TRUE(plan.HasRequestsAside());
  // At device 1's turn the request set aside goes, not a new one.
  source.waiting = {};
  source.idle = {0, 2};
  int made = source.made;
  EXPECT_EQ(Run(true).index, 1);
  EXPECT_EQ(source.made, made);
  EXPECT_FALSE(plan.HasRequestsAside());

  // Given a new ID, the device drops the request naming the old one and makes a new one.
  source.waiting = {1};
  source.idle = {};
  Order(3);
  ASSERT_TRUE(plan.HasRequestsAside());
  units[1].deviceId = 9;
  source.waiting = {};
  source.idle = {0, 2};
  made = source.made;
  EXPECT_EQ(Run(true).index, 1);
  EXPECT_EQ(source.made, made + 1);

  // A device gone takes its request aside with it.
  source.waiting = {1};
  source.idle = {};
  Order(3);
  ASSERT_TRUE(plan.HasRequestsAside());
  units.erase(units.begin() + 1);
  Run(true);
  EXPECT_FALSE(plan.HasRequestsAside());
}

}  // namespace
