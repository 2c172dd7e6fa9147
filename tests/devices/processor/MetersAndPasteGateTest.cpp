// A processor's meter readings (every one at the floor at first and after a reset, the floor
// for a channel or band the device does not have) and its paste gate (closed only between the
// start and end of a paste, and never before its event is made).
#include <gtest/gtest.h>

#include "devices/processor/NerexMeters.h"
#include "devices/processor/NerexPasteGate.h"

namespace {

struct MeterCase {
  const char* name;
  float (*read)(const CNerexMeters&, int);
  std::atomic<float>& (*write)(CNerexMeters&, int);
  int count;  // channels (bands) the device has
};

class MetersTest : public ::testing::TestWithParam<MeterCase> {};

TEST_P(MetersTest, AReadingIsKeptUntilResetAndAChannelBeyondTheDevicesReadsTheFloor) {
  const MeterCase& c = GetParam();
  CNerexMeters meters;
  for (int i = 0; i < c.count; ++i) EXPECT_FLOAT_EQ(c.read(meters, i), kNerexMeterFloor) << i;
  for (int i = 0; i < c.count; ++i) c.write(meters, i) = -float(i);
  for (int i = 0; i < c.count; ++i) EXPECT_FLOAT_EQ(c.read(meters, i), -float(i)) << i;
  for (const int beyond : {-1, c.count, c.count + 100}) EXPECT_FLOAT_EQ(c.read(meters, beyond), kNerexMeterFloor);
  meters.Reset();
  for (int i = 0; i < c.count; ++i) EXPECT_FLOAT_EQ(c.read(meters, i), kNerexMeterFloor) << i;
}

// The dynamic-EQ bands are read by input and band, three bands an input.
float ReadDeq(const CNerexMeters& m, int n) {
  return n < 0 ? m.GetDeqMeter(-1, 0) : m.GetDeqMeter(n / kNerexDeqBandsPerInput, n % kNerexDeqBandsPerInput);
}
std::atomic<float>& WriteDeq(CNerexMeters& m, int n) {
  return m.DeqBand(std::size_t(n / kNerexDeqBandsPerInput), std::size_t(n % kNerexDeqBandsPerInput));
}

INSTANTIATE_TEST_SUITE_P(
    Meters, MetersTest,
    ::testing::Values(
        MeterCase{"Inputs", [](const CNerexMeters& m, int i) { return m.GetInputMeter(i); },
                  [](CNerexMeters& m, int i) -> std::atomic<float>& { return m.Input(std::size_t(i)); }, kNerexMaxInputs},
        MeterCase{"Outputs", [](const CNerexMeters& m, int i) { return m.GetOutputMeter(i); },
                  [](CNerexMeters& m, int i) -> std::atomic<float>& { return m.Output(std::size_t(i)); },
                  kNerexMaxOutputs},
        MeterCase{"DynamicEqBands", &ReadDeq, &WriteDeq, kNerexDeqBands},
        MeterCase{"Compressors", [](const CNerexMeters& m, int i) { return m.GetCompressorMeter(i); },
                  [](CNerexMeters& m, int i) -> std::atomic<float>& { return m.Compressor(std::size_t(i)); },
                  kNerexMaxOutputs}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MetersTest, ABandBeyondAnInputsThreeReadsTheFloorNotTheNextInputs) {
  CNerexMeters meters;
  meters.DeqBand(1, 0) = 4.0f;
  EXPECT_FLOAT_EQ(meters.GetDeqMeter(1, 0), 4.0f);
  EXPECT_FLOAT_EQ(meters.GetDeqMeter(0, kNerexDeqBandsPerInput), kNerexMeterFloor);
  EXPECT_FLOAT_EQ(meters.GetDeqMeter(0, -1), kNerexMeterFloor);
}

TEST(PasteGateTest, ClosesOnlyFromTheStartToTheEndOfAPasteOnceItsEventIsMade) {
  CNerexPasteGate gate;
  EXPECT_EQ(gate.GetPasteEvent(), nullptr);
  gate.BeginPaste();
  EXPECT_FALSE(gate.IsPasteInProgress());
  gate.MakeEvent();
  ASSERT_NE(gate.GetPasteEvent(), nullptr);
  EXPECT_FALSE(gate.IsPasteInProgress());
  gate.BeginPaste();
  EXPECT_TRUE(gate.IsPasteInProgress());
  // Made again, the gate keeps its event and its state.
  CManualResetEvent* event = gate.GetPasteEvent();
  gate.MakeEvent();
  EXPECT_EQ(gate.GetPasteEvent(), event);
  EXPECT_TRUE(gate.IsPasteInProgress());
  gate.EndPaste();
  EXPECT_FALSE(gate.IsPasteInProgress());
}

}  // namespace
