// Frequency responses of the processors' filter sections as the graphs draw them: the
// analogue prototypes of every parametric type, the crossover alignments and the graphic EQ's
// bands, evaluated in double-precision complex arithmetic (s = j f / f0, no bilinear
// transform). Pure functions, safe from any thread.
#pragma once

#include <array>
#include <complex>
#include <cstdint>

// The graphs' frequency axis: point k stands for frequency code 13 + k, 36 codes per octave
// from 7.8125 Hz (k = 0 is 10.03 Hz, k = 419 is 32 kHz).
inline constexpr int kCurvePoints = 420;
inline constexpr int kCurveFirstIndex = 13;
inline constexpr int kCurveLastIndex = kCurveFirstIndex + kCurvePoints - 1;  // 432

double CodeToHertz(double frequencyCode);
// Frequency of curve point k.
double CurvePointHertz(int k);
// Q of a Q code (12 codes per doubling, code 108 is Q 0.25).
double QCodeToQ(double qCode);

// Section types of the curve builder. 0 to 12 are the parametric filter types of a band
// record; 13 is a plain gain; 3 and 4 are the crossover high-pass and low-pass, whose
// alignment travels in the record's Q byte.
enum ESectionType : int {
  kSectionPeaking = 0,
  kSectionLowShelf = 1,
  kSectionHighShelf = 2,
  kSectionCrossoverHighPass = 3,
  kSectionCrossoverLowPass = 4,
  kSectionAllpass = 5,
  kSectionBandPass = 6,
  kSectionNotch = 7,
  kSectionPhase = 8,
  kSectionVariQLowPass = 9,
  kSectionVariQHighPass = 10,
  kSectionEllipticLowPass = 11,
  kSectionEllipticHighPass = 12,
  kSectionFlatGain = 13,
};

// Crossover alignments (the Q byte of a crossover record).
enum ECrossoverAlignment : int {
  kXover12Bessel = 0,
  kXover12Butterworth = 1,
  kXover18Bessel = 2,
  kXover18Butterworth = 3,
  kXover24Bessel = 4,
  kXover24Butterworth = 5,
  kXover24LinkwitzRiley = 6,
  kXover6Bensen = 7,
  kXover12LinkwitzRiley = 8,
  kXover48Bessel = 9,
  kXover48Butterworth = 10,
  kXover48LinkwitzRiley = 11,
};
// True for the 48 dB alignments, which take two parametric bands of the output.
bool IsCrossover48dB(int alignment);

// One section as the curve builder sees it. gainDb is used by the peaking, shelving and
// flat-gain types; q by the second-order types; for the phase type q carries the phase shift
// in degrees at f0; for the crossovers alignment picks the filter.
struct CEqSection {
  int type = kSectionPeaking;
  double frequency = 1000.0;  // Hz
  double q = 1.0;
  double gainDb = 0.0;
  int alignment = kXover24LinkwitzRiley;
};

// The complex response of the section at f hertz (its phase is arg of it).
std::complex<double> SectionResponse(const CEqSection& section, double hertz);
// Its magnitude in dB.
double SectionResponseDb(const CEqSection& section, double hertz);

// One point of an EQ curve: frequency in Hz and level in dB. The graphs draw magnitudes only.
struct CCurvePoint {
  double frequency = 0.0;
  double dB = 0.0;
};
using CCurvePoints = std::array<CCurvePoint, kCurvePoints>;

// Fills the 420 points with the section's level (frequencies too). The all-pass and phase
// types pass every frequency at 0 dB.
void ComputeSectionPoints(const CEqSection& section, CCurvePoints& points);
// Sets the points to 0 dB at the curve's frequencies.
void ClearCurvePoints(CCurvePoints& points);
// Adds the section's levels to the points.
void AddCurvePoints(const CCurvePoints& section, CCurvePoints& sum);

// The dynamic-EQ curve builder: sets one field (0 or 1) of the 420 three-value points to the
// response of section type 0, 1, 2 or 13 with the band's Q code, frequency code and gain.
// Flat when the gain is within +-0.01 dB (types 0 to 2), when bypass is non-zero, or for any
// other type. f0 and Q are taken in single precision as the unit computes them.
void ComputeSectionCurve(std::array<std::array<double, 3>, kCurvePoints>& points, int field, int sectionType,
                         int qIndex, int frequencyIndex, float gain, std::uint8_t bypass);

// Graphic EQ: 28 one-third-octave bands centred on 1 kHz x 2^((band - 15)/3).
inline constexpr int kGeqBandCount = 28;
double GeqBandCentreHertz(int band);
// Q shapes of the graphic EQ (the input's Q-shape byte).
enum EGeqShape : int {
  kGeqShapeProportionalQ = 0,  // "Varlo": the band narrows as its gain grows
  kGeqShapeConstantQ = 1,      // "Special": one-third octave at every gain
};
// The band as a peaking section for a gain in dB and a Q shape.
CEqSection GeqBandSection(int band, double gainDb, int shape);
