// Value grids at their end points and round trips, value texts and parsing, and AES.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/protocol/AesBlock.h"
#include "core/values/ValueCodes.h"

namespace {
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

CParamValue ValueOfKind(ParamKind kind, float value = 0.0f) { return CParamValue(1, value, kind); }

std::string Format(ParamKind kind, float value, std::uint32_t optionBits = 0, float minimum = 0.0f) {
  CParamInfo info;
  info.options = optionBits;
  info.minimum = minimum;
  return FormatParameterValue(info, value, ValueOfKind(kind));
}

float Parse(ParamKind kind, const std::string& text, float current = 0.0f) {
  return ParseParameterValue(ValueOfKind(kind, current), text);
}
}  // namespace

TEST(RoundingTest, RoundIndex_PositiveHalvesAndEveryNegativeFractionGoDown) {
  EXPECT_EQ(RoundIndex(2.5f), 2);
  EXPECT_EQ(RoundIndex(2.6f), 3);
  EXPECT_EQ(RoundIndex(3.0f), 3);
  EXPECT_EQ(RoundIndex(-2.4f), -3);
  EXPECT_EQ(RoundIndex(-0.25f), -1);
  EXPECT_EQ(RoundIndex(-3.0f), -3);
}

TEST(RoundingTest, RoundNearestHalfDown_TiesGoTowardMinusInfinity) {
  EXPECT_EQ(RoundNearestHalfDown(2.5f), 2);
  EXPECT_EQ(RoundNearestHalfDown(2.6f), 3);
  EXPECT_EQ(RoundNearestHalfDown(-2.5f), -3);
  EXPECT_EQ(RoundNearestHalfDown(-2.3f), -2);
  EXPECT_EQ(RoundNearestHalfDown(0.0f), 0);
}

TEST(RoundingTest, RoundHalfUpAndHalfAway_DifferOnlyOnNegativeHalves) {
  EXPECT_EQ(RoundHalfUp(2.5f), 3);
  EXPECT_EQ(RoundHalfUp(-2.5f), -2);
  EXPECT_EQ(RoundHalfUp(2.4f), 2);
  EXPECT_EQ(RoundHalfAway(2.5f), 3);
  EXPECT_EQ(RoundHalfAway(-2.5f), -3);
  EXPECT_EQ(RoundHalfAway(-2.4f), -2);
}

TEST(RoundingTest, NaNAndHugeValues_StayInsideTheIntRange) {
  EXPECT_EQ(RoundIndex(kNaN), 0);
  EXPECT_EQ(RoundIndex(1e20f), INT_MAX);
  EXPECT_EQ(RoundIndex(-1e20f), INT_MIN);
  EXPECT_EQ(RoundNearestHalfDown(-1e20f), INT_MIN);
  EXPECT_EQ(RoundHalfAway(kNaN), 0);
}

TEST(FrequencyCodeTest, EndPointsOfTheGrid) {
  EXPECT_EQ(FreqToIndex(1000.0f), 252);
  EXPECT_EQ(IndexToFreq(252), 1000.0f);
  EXPECT_EQ(FreqToIndex(7.8125f), 0);
  EXPECT_EQ(IndexToFreq(0), 7.8125f);
  EXPECT_EQ(IndexToFreq(432), 32000.0f);
  EXPECT_GT(IndexToFreq(kFreqIndexAbove32kHz), 32000.0f);
  EXPECT_NEAR(IndexToFreq(kFreqIndexBelow10Hz), 9.84f, 0.01f);
}

TEST(FrequencyCodeTest, EveryCodeRoundTripsAndSnapsToItself) {
  for (int i = 0; i <= 440; ++i) {
    const float f = IndexToFreq(i);
    EXPECT_EQ(FreqToIndex(f), i) << "code " << i;
    EXPECT_EQ(SnapFreq(f), f) << "code " << i;
  }
}

TEST(FrequencyCodeTest, NonPositiveOrNaNFrequency_GivesCodeZeroNotAnOverflow) {
  EXPECT_EQ(FreqToIndex(0.0f), 0);
  EXPECT_EQ(FreqToIndex(-50.0f), 0);
  EXPECT_EQ(FreqToIndex(kNaN), 0);
  EXPECT_EQ(SnapFreq(0.0f), 7.8125f);
}

TEST(FrequencyCodeTest, NegativeCode_GivesTheFrequencyBelowTheGridNotInfinity) {
  EXPECT_FLOAT_EQ(IndexToFreq(-36), 3.90625f);
  EXPECT_TRUE(std::isfinite(IndexToFreq(-1)));
}

TEST(QCodeTest, EndPointsOfTheTable) {
  EXPECT_EQ(QToIndex(0.25f), 108);
  EXPECT_EQ(QToIndex(128.0f), 0);
  EXPECT_EQ(QToIndex(1000.0f), 0);
  EXPECT_EQ(IndexToQ(0), 128.0f);
  EXPECT_EQ(IndexToQ(108), 0.25f);
  EXPECT_NEAR(IndexToQ(72), 2.0f, 1e-6f);
}

TEST(QCodeTest, EveryCodeRoundTrips) {
  for (int i = 0; i <= kQIndexMax; ++i) {
    EXPECT_EQ(QToIndex(IndexToQ(i)), i) << "code " << i;
    EXPECT_EQ(SnapQ(IndexToQ(i)), IndexToQ(i)) << "code " << i;
  }
}

TEST(QCodeTest, CodesAreClampedToTheTable_NoLogOfZeroNoInfiniteQ) {
  EXPECT_EQ(QToIndex(0.01f), kQIndexMax);  // would be 164 beyond the table
  EXPECT_EQ(QToIndex(0.0f), kQIndexMax);
  EXPECT_EQ(QToIndex(-3.0f), kQIndexMax);
  EXPECT_EQ(QToIndex(kNaN), kQIndexMax);
  EXPECT_EQ(IndexToQ(200), 0.25f);  // an unsigned 108 - 200 would overflow to infinity
  EXPECT_EQ(IndexToQ(-5), 128.0f);
}

TEST(DelayCodeTest, RoundingToTheFineAndCoarseSteps) {
  EXPECT_EQ(SecondsToSamples(false, 0.001f), 12u);
  EXPECT_EQ(SecondsToSamples(true, 0.001f), 0u);  // 12 is below half of 128
  EXPECT_EQ(SecondsToSamples(true, 0.01f), 128u);  // 122 is above half of 128
  // 14 units: remainder 2 is half the step and goes down; 15 goes up.
  EXPECT_EQ(SecondsToSamples(false, 14.5f * 8.138e-5f), 12u);
  EXPECT_EQ(SecondsToSamples(false, 15.5f * 8.138e-5f), 16u);
  EXPECT_NEAR(SamplesToSeconds(12288), 1.0f, 1e-5f);
}

TEST(DelayCodeTest, StepMultiplesRoundTrip) {
  for (std::uint32_t n = 0; n <= 40000; n += 4) {
    EXPECT_EQ(SecondsToSamples(false, SamplesToSeconds(n)), n) << n;
    EXPECT_EQ(SnapDelayTime(SamplesToSeconds(n)), SamplesToSeconds(n)) << n;
  }
  for (std::uint32_t n = 0; n <= 128 * 2000; n += 128) EXPECT_EQ(SecondsToSamples(true, SamplesToSeconds(n)), n) << n;
}

TEST(DelayCodeTest, NegativeNaNAndHugeTimes_GiveCountsInRange) {
  EXPECT_EQ(SecondsToSamples(false, -1.0f), 0u);
  EXPECT_EQ(SecondsToSamples(true, kNaN), 0u);
  EXPECT_EQ(SecondsToSamples(false, 1e9f), 4294967040u);
  EXPECT_EQ(SnapDelayTime(-0.5f), 0.0f);
}

TEST(QuarterStepTest, EndPointsAndRoundTrip) {
  EXPECT_EQ(QuarterStepToIndex(1.0f), 15);
  EXPECT_EQ(QuarterStepToIndex(2.0f), 19);
  EXPECT_EQ(QuarterStepToIndex(0.01f), 0);
  EXPECT_EQ(IndexToQuarterStep(15), 1.0f);
  EXPECT_EQ(IndexToQuarterStep(19), 2.0f);
  for (int i = 0; i <= 80; ++i) EXPECT_EQ(QuarterStepToIndex(IndexToQuarterStep(i)), i) << i;
}

TEST(QuarterStepTest, NonPositiveValue_GivesIndexZeroNotALogOfZero) {
  EXPECT_EQ(QuarterStepToIndex(0.0f), 0);
  EXPECT_EQ(QuarterStepToIndex(-4.0f), 0);
  EXPECT_EQ(QuarterStepToIndex(kNaN), 0);
  EXPECT_FLOAT_EQ(IndexToQuarterStep(-1), std::pow(2.0f, -4.0f));
}

TEST(FormatParameterValueTest, GainShowsMuteOnlyWithTheOptionBitAtTheMinimum) {
  EXPECT_EQ(Format(ParamKind::kLevel, -80.0f, 0x2, -80.0f), "Mute");
  EXPECT_EQ(Format(ParamKind::kLevel, -80.0f, 0x0, -80.0f), "-80.0 dB");
  EXPECT_EQ(Format(ParamKind::kLevel, -79.9f, 0x2, -80.0f), "-79.9 dB");
  EXPECT_EQ(Format(ParamKind::kLevel, 6.0f), "6.0 dB");
}

TEST(FormatParameterValueTest, FrequencyTexts) {
  EXPECT_EQ(Format(ParamKind::kFrequency, 1500.0f), "1k 50 Hz");
  EXPECT_EQ(Format(ParamKind::kFrequency, 12500.0f), "12k 5 Hz");
  EXPECT_EQ(Format(ParamKind::kFrequency, 100.0f), "100.0 Hz");
  EXPECT_EQ(Format(ParamKind::kFrequency, 150.4f), "150 Hz");
  EXPECT_EQ(Format(ParamKind::kFrequency, 20.0f), "20.0 Hz");
  EXPECT_EQ(Format(ParamKind::kFrequency, IndexToFreq(kFreqIndexBelow10Hz)), "<10Hz");
  EXPECT_EQ(Format(ParamKind::kFrequency, IndexToFreq(kFreqIndexAbove32kHz)), ">32kHz");
}

TEST(FormatParameterValueTest, KiloHertzHundredsAreZeroPadded_1019HzIsNotShownAs1k1) {
  EXPECT_EQ(Format(ParamKind::kFrequency, 1000.0f), "1k 00 Hz");
  EXPECT_EQ(Format(ParamKind::kFrequency, IndexToFreq(253)), "1k 01 Hz");  // 1019.4 Hz
  EXPECT_EQ(Format(ParamKind::kFrequency, 1050.0f), "1k 05 Hz");
}

TEST(FormatParameterValueTest, QDelayAndDegreeTexts) {
  EXPECT_EQ(Format(ParamKind::kQ, 13.6f), "14");  // the float 13.6 is above the double 13.6
  EXPECT_EQ(Format(ParamKind::kQ, 4.0f), "4.0");
  EXPECT_EQ(Format(ParamKind::kQ, 1.27f), "1.27");
  EXPECT_EQ(Format(ParamKind::kQ, 0.5f), "0.50");
  EXPECT_EQ(Format(ParamKind::kDelay, 9.99f), "9.9900ms");  // the float 9.99 is below the double 9.99
  EXPECT_EQ(Format(ParamKind::kDelay, 50.0f), "50.000ms");
  EXPECT_EQ(Format(ParamKind::kDelay, 150.0f), "150.00ms");
  EXPECT_EQ(Format(ParamKind::kPhase, 45.7f), "45\xCB\x9A");
  EXPECT_EQ(Format(ParamKind::kPhase, -3.9f), "-3\xCB\x9A");
}

TEST(FormatParameterValueTest, OtherKindsHaveNoText) {
  EXPECT_EQ(Format(ParamKind::kInteger, 3.0f), "");
  EXPECT_EQ(Format(ParamKind::kTime, 3.0f), "");
}

TEST(ParseParameterValueTest, FrequencyForms) {
  EXPECT_EQ(Parse(ParamKind::kFrequency, "1k 50 Hz"), SnapFreq(1500.0f));
  EXPECT_EQ(Parse(ParamKind::kFrequency, "2k5"), SnapFreq(2500.0f));
  EXPECT_EQ(Parse(ParamKind::kFrequency, "2K"), SnapFreq(2000.0f));
  EXPECT_EQ(Parse(ParamKind::kFrequency, "250 Hz"), SnapFreq(250.0f));
  EXPECT_EQ(Parse(ParamKind::kFrequency, "nonsense"), IndexToFreq(0));
}

TEST(ParseParameterValueTest, FormattedFrequenciesParseBackToTheSameCode) {
  const CParamValue freq = ValueOfKind(ParamKind::kFrequency);
  for (int i = kFreqIndexBelow10Hz + 1; i < 380; ++i) {
    const std::string text = FormatParameterValue(CParamInfo{}, IndexToFreq(i), freq);
    EXPECT_EQ(FreqToIndex(ParseParameterValue(freq, text)), i) << text;
  }
}

TEST(ParseParameterValueTest, DelayUnitsAndSign) {
  EXPECT_EQ(Parse(ParamKind::kDelay, "10ms"), SnapDelayTime(10.0f));
  EXPECT_EQ(Parse(ParamKind::kDelay, "10"), SnapDelayTime(10.0f));
  EXPECT_EQ(Parse(ParamKind::kDelay, "-5"), SnapDelayTime(5.0f));
  EXPECT_EQ(Parse(ParamKind::kDelay, "343.37189mm"), SnapDelayTime(1.0f));
  EXPECT_EQ(Parse(ParamKind::kDelay, "34.337189CM"), SnapDelayTime(1.0f));
  EXPECT_EQ(Parse(ParamKind::kDelay, "0.34337189m"), SnapDelayTime(1.0f));
  EXPECT_EQ(Parse(ParamKind::kDelay, "1.126548232ft"), SnapDelayTime(1.0f));
  EXPECT_EQ(Parse(ParamKind::kDelay, "3 apples"), SnapDelayTime(3.0f));
}

TEST(ParseParameterValueTest, TypedDelaysKeepTheirMillisecondsOnTheUnitsGrid) {
  // A delay value is in milliseconds and one delay unit is 8.138e-5 ms: a typed delay moves
  // by less than the fine step of 4 units (0.33 microseconds), never by a fraction of a ms.
  for (const char* text : {"10ms", "2.5", "123.456", "649.9", "0.3"}) {
    const float ms = Parse(ParamKind::kDelay, text);
    EXPECT_NEAR(ms, std::strtof(text, nullptr), 4 * 8.138e-5f) << text;
    EXPECT_EQ(SecondsToSamples(false, ms) % 4, 0u) << text;
  }
  EXPECT_EQ(SecondsToSamples(false, Parse(ParamKind::kDelay, "10ms")), 122880u);
}

TEST(ParseParameterValueTest, GainQAndUnknownKinds) {
  EXPECT_EQ(Parse(ParamKind::kLevel, "-12.5 dB"), -12.5f);
  EXPECT_EQ(Parse(ParamKind::kPhase, "  +30"), 30.0f);
  EXPECT_EQ(Parse(ParamKind::kQ, "2.1"), SnapQ(2.1f));
  EXPECT_EQ(Parse(ParamKind::kLevel, ""), 0.0f);
  EXPECT_EQ(Parse(ParamKind::kInteger, "99", 4.5f), 4.5f);
}

TEST(AesTest, EncryptsTheStandardsExampleVectors) {
  // FIPS-197 appendix B.
  std::uint8_t key1[16] = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                           0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
  std::uint8_t block1[16] = {0x32, 0x43, 0xf6, 0xa8, 0x88, 0x5a, 0x30, 0x8d,
                             0x31, 0x31, 0x98, 0xa2, 0xe0, 0x37, 0x07, 0x34};
  const std::uint8_t expected1[16] = {0x39, 0x25, 0x84, 0x1d, 0x02, 0xdc, 0x09, 0xfb,
                                      0xdc, 0x11, 0x85, 0x97, 0x19, 0x6a, 0x0b, 0x32};
  AesEncryptBlock(block1, key1);
  EXPECT_EQ(0, std::memcmp(block1, expected1, 16));

  // FIPS-197 appendix C.1.
  std::uint8_t key2[16];
  std::uint8_t block2[16];
  for (int i = 0; i < 16; ++i) {
    key2[i] = std::uint8_t(i);
    block2[i] = std::uint8_t(i * 0x11);
  }
  const std::uint8_t expected2[16] = {0x69, 0xc4, 0xe0, 0xd8, 0x6a, 0x7b, 0x04, 0x30,
                                      0xd8, 0xcd, 0xb7, 0x80, 0x70, 0xb4, 0xc5, 0x5a};
  AesEncryptBlock(block2, key2);
  EXPECT_EQ(0, std::memcmp(block2, expected2, 16));
}
