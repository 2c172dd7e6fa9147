// The response math against values worked out by hand from each filter family's textbook
// properties (corner levels, centre gains, asymptotes, complementary sums).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "panels/processor/response/EqResponse.h"

namespace {

constexpr double kMinus3dB = -3.0102999566398;  // 10 log10(1/2)
constexpr double kMinus6dB = -6.0205999132796;  // 20 log10(1/2)

CEqSection Make(int type, double frequency, double q, double gainDb, int alignment = 0) {
  CEqSection s;
  s.type = type;
  s.frequency = frequency;
  s.q = q;
  s.gainDb = gainDb;
  s.alignment = alignment;
  return s;
}

CEqSection Crossover(bool highPass, int alignment, double frequency = 1000.0) {
  return Make(highPass ? kSectionCrossoverHighPass : kSectionCrossoverLowPass, frequency, 1.0, 0.0, alignment);
}

struct ResponseCase {
  const char* name;
  CEqSection section;
  double hertz;
  double expectedDb;
};

void PrintTo(const ResponseCase& c, std::ostream* os) { *os << c.name; }

// |Butterworth of order n| one octave beyond its corner: -10 log10(1 + 2^(2n)).
double ButterworthOctave(int n) { return -10.0 * std::log10(1.0 + std::pow(2.0, 2.0 * n)); }

class SectionResponseTest : public ::testing::TestWithParam<ResponseCase> {};

TEST_P(SectionResponseTest, LevelAtFrequencyMatchesTheTextbookValue) {
  const ResponseCase& c = GetParam();
  EXPECT_NEAR(SectionResponseDb(c.section, c.hertz), c.expectedDb, 1e-3) << c.name;
}

// Q = 1/sqrt(3) with its -3 dB point at f0 has its pole frequency at f0 / sqrt(0.618034) =
// 1.27202 f0, where a second-order low-pass is Q (-4.7712 dB) down.
const double kBesselPole = 1.0 / std::sqrt((std::sqrt(5.0) - 1.0) / 2.0);

INSTANTIATE_TEST_SUITE_P(
    EveryFilterType, SectionResponseTest,
    ::testing::Values(
        ResponseCase{"peaking centre", Make(kSectionPeaking, 1000, 2.0, 9.5), 1000, 9.5},
        ResponseCase{"peaking cut centre", Make(kSectionPeaking, 250, 0.7, -12.0), 250, -12.0},
        ResponseCase{"peaking far below", Make(kSectionPeaking, 1000, 4.0, 12.0), 10, 0.0},
        ResponseCase{"low shelf DC", Make(kSectionLowShelf, 200, 0.7, 8.0), 0.5, 8.0},
        ResponseCase{"low shelf corner is half", Make(kSectionLowShelf, 200, 0.7, 8.0), 200, 4.0},
        ResponseCase{"low shelf treble", Make(kSectionLowShelf, 200, 0.7, 8.0), 200000, 0.0},
        ResponseCase{"high shelf treble", Make(kSectionHighShelf, 5000, 1.0, -6.0), 5e6, -6.0},
        ResponseCase{"high shelf corner is half", Make(kSectionHighShelf, 5000, 1.0, -6.0), 5000, -3.0},
        ResponseCase{"allpass keeps level", Make(kSectionAllpass, 700, 3.0, 0.0), 650, 0.0},
        ResponseCase{"band pass centre", Make(kSectionBandPass, 1000, 2.0, 0.0), 1000, 0.0},
        // (w/Q) / sqrt((1 - w^2)^2 + (w/Q)^2) at w = 2, Q = 2: 1 / sqrt(9 + 1)
        ResponseCase{"band pass octave above", Make(kSectionBandPass, 1000, 2.0, 0.0), 2000, -10.0},
        // (1 - w^2) / sqrt((1 - w^2)^2 + (w/Q)^2) at w = 2, Q = 2: 3 / sqrt(10)
        ResponseCase{"notch octave above", Make(kSectionNotch, 1000, 2.0, 0.0), 2000, 20 * std::log10(3 / std::sqrt(10.0))},
        ResponseCase{"phase keeps level", Make(kSectionPhase, 1000, 90.0, 0.0), 3000, 0.0},
        ResponseCase{"variq low-pass corner is Q", Make(kSectionVariQLowPass, 1000, 4.0, 0.0), 1000, 20 * std::log10(4.0)},
        ResponseCase{"variq high-pass corner is Q", Make(kSectionVariQHighPass, 1000, 0.5, 0.0), 1000, 20 * std::log10(0.5)},
        ResponseCase{"variq low-pass 12 dB per octave", Make(kSectionVariQLowPass, 100, 0.7071, 0.0), 100000, -120.0},
        ResponseCase{"elliptic low-pass passband", Make(kSectionEllipticLowPass, 1000, 2.0, 0.0), 1, 0.0},
        // (1 - w^2/4) / sqrt((1 - w^2)^2 + (w/Q)^2) at w = 1, Q = 2: 0.75 / 0.5
        ResponseCase{"elliptic low-pass corner", Make(kSectionEllipticLowPass, 1000, 2.0, 0.0), 1000, 20 * std::log10(1.5)},
        ResponseCase{"elliptic high-pass passband", Make(kSectionEllipticHighPass, 100, 2.0, 0.0), 1e7, 0.0},
        ResponseCase{"flat gain", Make(kSectionFlatGain, 1000, 1.0, -7.5), 33, -7.5},
        ResponseCase{"butterworth 12 corner", Crossover(false, kXover12Butterworth), 1000, kMinus3dB},
        ResponseCase{"butterworth 12 octave", Crossover(false, kXover12Butterworth), 2000, ButterworthOctave(2)},
        ResponseCase{"butterworth 18 octave", Crossover(true, kXover18Butterworth), 500, ButterworthOctave(3)},
        ResponseCase{"butterworth 24 corner", Crossover(true, kXover24Butterworth), 1000, kMinus3dB},
        ResponseCase{"butterworth 24 octave", Crossover(false, kXover24Butterworth), 2000, ButterworthOctave(4)},
        ResponseCase{"butterworth 48 octave", Crossover(false, kXover48Butterworth), 2000, ButterworthOctave(8)},
        ResponseCase{"butterworth 48 corner", Crossover(true, kXover48Butterworth, 80), 80, kMinus3dB},
        ResponseCase{"bessel 12 corner", Crossover(false, kXover12Bessel), 1000, kMinus3dB},
        ResponseCase{"bessel 12 pole frequency", Crossover(false, kXover12Bessel), 1000 * kBesselPole,
                     20 * std::log10(1 / std::sqrt(3.0))},
        ResponseCase{"bessel 12 high-pass pole", Crossover(true, kXover12Bessel), 1000 / kBesselPole,
                     20 * std::log10(1 / std::sqrt(3.0))},
        ResponseCase{"bessel 18 corner", Crossover(true, kXover18Bessel), 1000, kMinus3dB},
        ResponseCase{"bessel 24 corner", Crossover(false, kXover24Bessel), 1000, kMinus3dB},
        ResponseCase{"bessel 48 corner", Crossover(false, kXover48Bessel), 1000, kMinus3dB},
        ResponseCase{"bensen 6 corner", Crossover(false, kXover6Bensen), 1000, kMinus3dB},
        ResponseCase{"bensen 6 far", Crossover(true, kXover6Bensen), 10, -20 * std::log10(std::sqrt(1 + 1e4))},
        ResponseCase{"linkwitz-riley 12 corner", Crossover(false, kXover12LinkwitzRiley), 1000, kMinus6dB},
        ResponseCase{"linkwitz-riley 24 corner", Crossover(true, kXover24LinkwitzRiley), 1000, kMinus6dB},
        ResponseCase{"linkwitz-riley 24 octave", Crossover(false, kXover24LinkwitzRiley), 2000, 2 * ButterworthOctave(2)},
        ResponseCase{"linkwitz-riley 48 corner", Crossover(false, kXover48LinkwitzRiley), 1000, kMinus6dB}),
    [](const ::testing::TestParamInfo<ResponseCase>& info) {
      std::string name;
      for (const char* p = info.param.name; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST(EqResponse, LinkwitzRileyPairsSumFlatAndBesselRollsOffSlowerThanButterworth) {
  for (double f : {20.0, 300.0, 999.0, 1000.0, 1700.0, 15000.0}) {
    for (int a : {kXover24LinkwitzRiley, kXover48LinkwitzRiley}) {
      const auto sum = SectionResponse(Crossover(false, a), f) + SectionResponse(Crossover(true, a), f);
      EXPECT_NEAR(std::abs(sum), 1.0, 1e-9) << f << " alignment " << a;
    }
    // The second-order pair sums flat with one side inverted; the first-order pair as it is.
    const auto lr12 = SectionResponse(Crossover(false, kXover12LinkwitzRiley), f) -
                      SectionResponse(Crossover(true, kXover12LinkwitzRiley), f);
    EXPECT_NEAR(std::abs(lr12), 1.0, 1e-9) << f;
    const auto first = SectionResponse(Crossover(false, kXover6Bensen), f) + SectionResponse(Crossover(true, kXover6Bensen), f);
    EXPECT_NEAR(std::abs(first - 1.0), 0.0, 1e-12) << f;
  }
  EXPECT_GT(SectionResponseDb(Crossover(false, kXover24Bessel), 3000),
            SectionResponseDb(Crossover(false, kXover24Butterworth), 3000));
}

TEST(EqResponse, PhasesOfTheAllPassTypesAndNotchDepth) {
  const double allpass = std::arg(SectionResponse(Make(kSectionAllpass, 700, 3.0, 0.0), 700)) * 180.0 / 3.14159265358979;
  EXPECT_NEAR(std::abs(allpass), 180.0, 1e-6);
  const double phase = std::arg(SectionResponse(Make(kSectionPhase, 1000, 120.0, 0.0), 1000)) * 180.0 / 3.14159265358979;
  EXPECT_NEAR(phase, -120.0, 1e-6);
  EXPECT_LT(SectionResponseDb(Make(kSectionNotch, 1000, 2.0, 0.0), 1000), -200.0);
  EXPECT_LT(SectionResponseDb(Make(kSectionEllipticLowPass, 1000, 2.0, 0.0), 2000), -200.0);
  EXPECT_LT(SectionResponseDb(Make(kSectionEllipticHighPass, 1000, 2.0, 0.0), 500), -200.0);
}

TEST(EqResponse, CurvePointsSpanTenHertzToThirtyTwoKilohertzAndSumAddsDecibels) {
  EXPECT_NEAR(CurvePointHertz(0), 10.03, 0.01);
  EXPECT_NEAR(CurvePointHertz(kCurvePoints - 1), 32000.0, 1e-6);
  EXPECT_NEAR(QCodeToQ(72), 2.0, 1e-12);
  CCurvePoints a{}, b{}, sum{};
  ComputeSectionPoints(Make(kSectionPeaking, CurvePointHertz(200), 1.0, 6.0), a);
  ComputeSectionPoints(Make(kSectionFlatGain, 1000, 1.0, -2.0), b);
  ClearCurvePoints(sum);
  AddCurvePoints(a, sum);
  AddCurvePoints(b, sum);
  EXPECT_NEAR(sum[200].dB, 4.0, 1e-9);
  EXPECT_DOUBLE_EQ(sum[200].frequency, CurvePointHertz(200));
  EXPECT_NEAR(sum[0].dB, -2.0, 0.01);
}

TEST(EqResponse, DynamicCurveBuilderIsFlatWhenGainTinyOrBypassedAndLevelForFullBandwidth) {
  std::array<std::array<double, 3>, kCurvePoints> points{};
  for (auto& p : points) p = {5.0, 5.0, 5.0};
  // Frequency code 252 is point 239; Q code 84 is Q 1.
  ComputeSectionCurve(points, 1, kSectionPeaking, 84, 252, 12.0f, 0);
  EXPECT_NEAR(points[239][1], 12.0, 1e-4);
  EXPECT_EQ(points[239][0], 5.0);  // the other fields are left alone
  ComputeSectionCurve(points, 1, kSectionPeaking, 84, 252, 0.01f, 0);
  EXPECT_EQ(points[239][1], 0.0);
  ComputeSectionCurve(points, 1, kSectionLowShelf, 84, 252, -9.0f, 1);
  EXPECT_EQ(points[0][1], 0.0);
  ComputeSectionCurve(points, 0, kSectionFlatGain, 84, 252, -7.0f, 0);
  for (const auto& p : points) ASSERT_EQ(p[0], -7.0);
  ComputeSectionCurve(points, 0, kSectionLowShelf, 84, 252, -9.0f, 0);
  EXPECT_NEAR(points[0][0], -9.0, 0.01);
  EXPECT_NEAR(points[kCurvePoints - 1][0], 0.0, 0.01);
  ComputeSectionCurve(points, 0, kSectionNotch, 84, 252, -9.0f, 0);
  EXPECT_EQ(points[239][0], 0.0);
}

TEST(EqResponse, GraphicEqBandsPeakAtTheirCentreAndProportionalQWidensAtSmallGains) {
  EXPECT_NEAR(GeqBandCentreHertz(15), 1000.0, 1e-9);
  EXPECT_NEAR(GeqBandCentreHertz(0), 31.25, 1e-9);  // five octaves below 1 kHz
  for (int shape : {kGeqShapeProportionalQ, kGeqShapeConstantQ})
    EXPECT_NEAR(SectionResponseDb(GeqBandSection(20, 6.0, shape), GeqBandCentreHertz(20)), 6.0, 1e-9);
  const double octave = GeqBandCentreHertz(18);  // an octave above band 15
  EXPECT_GT(SectionResponseDb(GeqBandSection(15, 4.0, kGeqShapeProportionalQ), octave),
            SectionResponseDb(GeqBandSection(15, 4.0, kGeqShapeConstantQ), octave) + 0.5);
  // At full gain both shapes are one-third octave wide.
  EXPECT_NEAR(SectionResponseDb(GeqBandSection(15, 15.0, kGeqShapeProportionalQ), octave),
              SectionResponseDb(GeqBandSection(15, 15.0, kGeqShapeConstantQ), octave), 1e-9);
}

}  // namespace
