// How many memories a unit holds, as the read of its memories finds out: misses counted in a
// row for one memory, a memory answered late passed by, the count the read ends at, and the
// refusal of a preset row beyond what the unit holds.
#include <gtest/gtest.h>

#include "devices/processor/NerexMemoryReadout.h"

namespace {

constexpr std::uint32_t kFlags = 53;
constexpr std::uint32_t kName = 49;

using Outcome = CNerexMemoryReadout::Outcome;

// Asks for memory number and notes whether the unit missed it, times in a row.
Outcome AskAndMiss(CNerexMemoryReadout& r, std::uint32_t command, std::uint32_t number, std::uint32_t times,
                   bool missed = true) {
  Outcome last;
  for (std::uint32_t i = 0; i < times; ++i) {
    r.Asked(command, number);
    last = r.NoteAnswer(missed);
  }
  return last;
}

struct EndCase {
  const char* name;
  std::uint32_t number;  // the memory left unanswered
  bool xover;
  std::size_t held;
};

class MemoryReadoutEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(MemoryReadoutEndTest, AMemoryLeftUnansweredThreeTimesInARowEndsTheReadBeforeIt) {
  const EndCase& c = GetParam();
  CNerexMemoryReadout r;
  EXPECT_EQ(AskAndMiss(r, kFlags, c.number, kMemoryMissesToEnd - 1).kind, Outcome::kNothing);
  EXPECT_EQ(r.PresetsToRead(40), 40u);
  const Outcome o = AskAndMiss(r, kFlags, c.number, 1);
  ASSERT_EQ(o.kind, Outcome::kUnitHoldsFewer);
  EXPECT_EQ(o.xover, c.xover);
  EXPECT_EQ(o.held, c.held);
  if (c.xover) {
    EXPECT_EQ(r.XoversToRead(10), c.held);
    EXPECT_EQ(r.UnitXovers(), c.held);
    EXPECT_EQ(r.PresetsToRead(40), 40u);
  } else {
    EXPECT_EQ(r.PresetsToRead(40), c.held);
    EXPECT_EQ(r.UnitPresets(), c.held);
    EXPECT_EQ(r.XoversToRead(10), 10u);
  }
}

INSTANTIATE_TEST_SUITE_P(Memories, MemoryReadoutEndTest,
                         ::testing::Values(EndCase{"Preset21", 21, false, 20}, EndCase{"FirstPreset", 1, false, 0},
                                           EndCase{"Crossover3", kNerexXoverBase + 3, true, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MemoryReadoutTest, AnAnswerBetweenTheMissesStartsTheCountAfresh) {
  CNerexMemoryReadout r;
  AskAndMiss(r, kFlags, 21, kMemoryMissesToEnd - 1);
  AskAndMiss(r, kFlags, 21, 1, false);
  EXPECT_EQ(AskAndMiss(r, kFlags, 21, kMemoryMissesToEnd - 1).kind, Outcome::kNothing);
  EXPECT_EQ(r.UnitPresets(), kAnyMemoryCount);
  // Misses of another memory count for that one alone.
  AskAndMiss(r, kFlags, 22, 1);
  EXPECT_EQ(AskAndMiss(r, kFlags, 21, kMemoryMissesToEnd - 1).kind, Outcome::kNothing);
  EXPECT_EQ(AskAndMiss(r, kFlags, 21, 1).kind, Outcome::kUnitHoldsFewer);
}

TEST(MemoryReadoutTest, ATurnWithoutAMemoryAskedNotesNothing) {
  CNerexMemoryReadout r;
  for (std::uint32_t i = 0; i < 2 * kMemoryMissesToEnd; ++i) EXPECT_EQ(r.NoteAnswer(true).kind, Outcome::kNothing);
  // A memory asked is noted once: the turn after it has nothing asked.
  r.Asked(kName, 4);
  r.NoteAnswer(true);
  EXPECT_EQ(r.NoteAnswer(true).kind, Outcome::kNothing);
  EXPECT_EQ(r.PresetsToRead(300), kNerexMaxPresetNumber);
}

TEST(MemoryReadoutTest, AMemoryAnsweredLateIsPassedByAndNamedOnceItsPassHasEnded) {
  CNerexMemoryReadout r;
  for (const std::uint32_t n : {3u, 5u, 6u, 7u, kNerexXoverBase + 2}) {
    r.AnsweredLate(n);
    const Outcome o = AskAndMiss(r, kName, n, kMemoryMissesToEnd);
    ASSERT_EQ(o.kind, Outcome::kPassedBy) << n;
    EXPECT_EQ(o.command, kName);
    EXPECT_EQ(o.number, n);
  }
  EXPECT_EQ(r.UnitPresets(), kAnyMemoryCount);
  EXPECT_EQ(r.UnitXovers(), kAnyMemoryCount);
  // Not before its pass has ended, and then once.
  EXPECT_EQ(r.TakePassedBy(false, [](std::uint32_t, std::uint32_t) { return false; }), "");
  EXPECT_EQ(r.TakePassedBy(false, [](std::uint32_t command, std::uint32_t) { return command == kName; }), "3, 5-7");
  EXPECT_EQ(r.TakePassedBy(false, [](std::uint32_t, std::uint32_t) { return true; }), "");
  EXPECT_EQ(r.TakePassedBy(true, [](std::uint32_t, std::uint32_t) { return true; }), "2");
}

TEST(MemoryReadoutTest, ResetForgetsWhatTheReadFound) {
  CNerexMemoryReadout r;
  AskAndMiss(r, kFlags, 11, kMemoryMissesToEnd);
  AskAndMiss(r, kFlags, kNerexXoverBase + 1, kMemoryMissesToEnd);
  ASSERT_EQ(r.UnitPresets(), 10u);
  ASSERT_EQ(r.UnitXovers(), 0u);
  r.Reset();
  EXPECT_EQ(r.UnitPresets(), kAnyMemoryCount);
  EXPECT_EQ(r.UnitXovers(), kAnyMemoryCount);
}

struct RowCase {
  int row;
  const char* refusal;
};

class MemoryReadoutRowTest : public ::testing::TestWithParam<RowCase> {};

// The unit holds 20 of the file's 40 presets and 1 of its 3 crossover presets.
TEST_P(MemoryReadoutRowTest, ARowBeyondTheUnitsMemoriesIsRefusedInWords) {
  CNerexMemoryReadout r;
  AskAndMiss(r, kFlags, 21, kMemoryMissesToEnd);
  AskAndMiss(r, kFlags, kNerexXoverBase + 2, kMemoryMissesToEnd);
  EXPECT_EQ(r.RowBeyondUnitRefusal(GetParam().row, 40, 3), GetParam().refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MemoryReadoutRowTest,
    ::testing::Values(RowCase{-1, ""}, RowCase{0, ""}, RowCase{19, ""},
                      RowCase{20, "The unit holds 20 preset memories - it has no memory 21"},
                      RowCase{39, "The unit holds 20 preset memories - it has no memory 40"}, RowCase{40, ""},
                      RowCase{41, "The unit holds 1 crossover preset - it has no crossover preset 2"},
                      RowCase{43, ""}));

TEST(MemoryReadoutTest, BeforeTheReadFindsACountEveryRowMayBeHeld) {
  const CNerexMemoryReadout r;
  for (const int row : {0, 254, 255, 300}) EXPECT_EQ(r.RowBeyondUnitRefusal(row, 255, 50), "") << row;
}

}  // namespace
