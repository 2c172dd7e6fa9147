// The analogue prototypes of the processors' filter sections. Every response is a ratio of
// polynomials in s = j f / f0; high-pass forms are the low-pass forms at 1 / s.
#include "panels/response/EqResponse.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kOneThirdOctaveQ = 4.318473046963146;  // sqrt(2^(1/3)) / (2^(1/3) - 1)

// (a s^2 + b s + c) / (d s^2 + e s + g)
Complex Biquad(Complex s, double a, double b, double c, double d, double e, double g) {
  return (a * s * s + b * s + c) / (d * s * s + e * s + g);
}

// Butterworth low-pass of order n with its -3 dB point at s = j: 1 / prod (s - p_k), the poles
// p_k = exp(j pi (2k + n - 1) / 2n), k = 1..n, evenly spaced on the left half of the unit circle.
Complex ButterworthLowPass(Complex s, int n) {
  Complex den = 1.0;
  for (int k = 1; k <= n; ++k) den *= s - std::polar(1.0, kPi * double(2 * k + n - 1) / double(2 * n));
  return 1.0 / den;
}

// Coefficients of the reverse Bessel polynomial theta_n(s), lowest power first:
// a_k = (2n - k)! / (2^(n - k) k! (n - k)!).
std::vector<double> BesselCoefficients(int n) {
  std::vector<double> a(std::size_t(n) + 1);
  for (int k = 0; k <= n; ++k) {
    double v = 1.0;
    for (int i = n - k + 1; i <= 2 * n - k; ++i) v *= double(i);  // (2n-k)! / (n-k)!
    for (int i = 2; i <= k; ++i) v /= double(i);
    v /= std::pow(2.0, double(n - k));
    a[std::size_t(k)] = v;
  }
  return a;
}

Complex Polynomial(const std::vector<double>& a, Complex s) {
  Complex v = 0.0;
  for (std::size_t k = a.size(); k-- > 0;) v = v * s + a[k];
  return v;
}

// Bessel (Thomson) low-pass of order n, theta_n(0) / theta_n(s w), with w chosen so that the
// -3 dB point lies at s = j (the magnitude-normalised form crossovers use).
struct BesselTable {
  std::vector<double> coefficients;
  double scale = 1.0;
};

const BesselTable& Bessel(int n) {
  static const auto make = [](int order) {
    BesselTable t;
    t.coefficients = BesselCoefficients(order);
    const double dc = t.coefficients[0];
    // |H(j w)| falls monotonically: bisect for 1/sqrt(2).
    double lo = 0.1, hi = 10.0;
    for (int i = 0; i < 80; ++i) {
      const double mid = 0.5 * (lo + hi);
      if (std::abs(dc / Polynomial(t.coefficients, Complex(0.0, mid))) > std::sqrt(0.5)) lo = mid;
      else hi = mid;
    }
    t.scale = 0.5 * (lo + hi);
    return t;
  };
  static const BesselTable tables[] = {make(2), make(3), make(4), make(8)};
  switch (n) {
    case 2: return tables[0];
    case 3: return tables[1];
    case 4: return tables[2];
    default: return tables[3];
  }
}

Complex BesselLowPass(Complex s, int n) {
  const BesselTable& t = Bessel(n);
  return t.coefficients[0] / Polynomial(t.coefficients, s * t.scale);
}

// The low-pass of a crossover alignment with its corner at s = j.
Complex CrossoverLowPass(Complex s, int alignment) {
  switch (alignment) {
    case kXover12Bessel: return BesselLowPass(s, 2);
    case kXover12Butterworth: return ButterworthLowPass(s, 2);
    case kXover18Bessel: return BesselLowPass(s, 3);
    case kXover18Butterworth: return ButterworthLowPass(s, 3);
    case kXover24Bessel: return BesselLowPass(s, 4);
    case kXover24Butterworth: return ButterworthLowPass(s, 4);
    // Linkwitz-Riley of order 2n: a Butterworth of order n squared, -6 dB at the corner.
    case kXover24LinkwitzRiley: {
      const Complex h = ButterworthLowPass(s, 2);
      return h * h;
    }
    case kXover6Bensen: return ButterworthLowPass(s, 1);  // first order, 1 / (1 + s)
    case kXover12LinkwitzRiley: {
      const Complex h = ButterworthLowPass(s, 1);
      return h * h;
    }
    case kXover48Bessel: return BesselLowPass(s, 8);
    case kXover48Butterworth: return ButterworthLowPass(s, 8);
    case kXover48LinkwitzRiley: {
      const Complex h = ButterworthLowPass(s, 4);
      return h * h;
    }
    default: return ButterworthLowPass(s, 2);
  }
}

double Db(Complex h) {
  const double m = std::abs(h);
  return m > 1e-30 ? 20.0 * std::log10(m) : -600.0;
}

double WrapDegrees(double d) {
  while (d > 180.0) d -= 360.0;
  while (d <= -180.0) d += 360.0;
  return d;
}

}  // namespace

double CodeToHertz(double frequencyCode) { return 7.8125 * std::pow(2.0, frequencyCode / 36.0); }
double CurvePointHertz(int k) { return CodeToHertz(double(kCurveFirstIndex + k)); }
double QCodeToQ(double qCode) { return 0.25 * std::pow(2.0, (108.0 - qCode) / 12.0); }

bool IsCrossover48dB(int alignment) {
  return alignment == kXover48Bessel || alignment == kXover48Butterworth || alignment == kXover48LinkwitzRiley;
}

std::complex<double> SectionResponse(const CEqSection& section, double hertz) {
  const double f0 = section.frequency > 0.0 ? section.frequency : 1.0;
  const double q = section.q > 0.0 ? section.q : 1e-3;
  const Complex s(0.0, hertz / f0);
  switch (section.type) {
    // Peaking and shelving second-order equalisers (the analogue prototypes of the audio
    // cookbook forms), A = 10^(gain / 40).
    case kSectionPeaking: {
      const double A = std::pow(10.0, section.gainDb / 40.0);
      return Biquad(s, 1.0, A / q, 1.0, 1.0, 1.0 / (A * q), 1.0);
    }
    case kSectionLowShelf: {
      const double A = std::pow(10.0, section.gainDb / 40.0), r = std::sqrt(A);
      return Biquad(s, A, A * r / q, A * A, A, r / q, 1.0);
    }
    case kSectionHighShelf: {
      const double A = std::pow(10.0, section.gainDb / 40.0), r = std::sqrt(A);
      return Biquad(s, A * A, A * r / q, A, 1.0, r / q, A);
    }
    case kSectionCrossoverHighPass: return CrossoverLowPass(1.0 / s, section.alignment);
    case kSectionCrossoverLowPass: return CrossoverLowPass(s, section.alignment);
    // Second-order all-pass: (s^2 - s/Q + 1) / (s^2 + s/Q + 1); unit magnitude, 360 degrees
    // of phase turn, -180 at f0.
    case kSectionAllpass: return Biquad(s, 1.0, -1.0 / q, 1.0, 1.0, 1.0 / q, 1.0);
    // Constant-peak band-pass: (s/Q) / (s^2 + s/Q + 1), 0 dB at f0.
    case kSectionBandPass: return Biquad(s, 0.0, 1.0 / q, 0.0, 1.0, 1.0 / q, 1.0);
    // Notch: (s^2 + 1) / (s^2 + s/Q + 1), a zero of transmission at f0.
    case kSectionNotch: return Biquad(s, 1.0, 0.0, 1.0, 1.0, 1.0 / q, 1.0);
    // Phase: first-order all-pass (1 - s t) / (1 + s t) with t = tan(phi / 2), so that the
    // phase at f0 is -phi (phi in degrees, carried in q).
    case kSectionPhase: {
      const double t = std::tan(section.q * kPi / 360.0);
      return (1.0 - s * t) / (1.0 + s * t);
    }
    // Second-order low-pass and high-pass of variable Q: 1 / (s^2 + s/Q + 1), s^2 / (...).
    case kSectionVariQLowPass: return Biquad(s, 0.0, 0.0, 1.0, 1.0, 1.0 / q, 1.0);
    case kSectionVariQHighPass: return Biquad(s, 1.0, 0.0, 0.0, 1.0, 1.0 / q, 1.0);
    // Second-order elliptic (Cauer) sections: the low-pass notch (s^2/wz^2 + 1) / (s^2 + s/Q + 1)
    // with its transmission zero an octave above the corner (wz = 2), and the high-pass notch
    // (s^2 + wz^2) / (s^2 + s/Q + 1) with the zero an octave below (wz = 1/2).
    case kSectionEllipticLowPass: return Biquad(s, 0.25, 0.0, 1.0, 1.0, 1.0 / q, 1.0);
    case kSectionEllipticHighPass: return Biquad(s, 1.0, 0.0, 0.25, 1.0, 1.0 / q, 1.0);
    case kSectionFlatGain: return Complex(std::pow(10.0, section.gainDb / 20.0), 0.0);
    default: return Complex(1.0, 0.0);
  }
}

double SectionResponseDb(const CEqSection& section, double hertz) { return Db(SectionResponse(section, hertz)); }

void ClearCurvePoints(CCurvePoints& points) {
  for (int k = 0; k < kCurvePoints; ++k) points[std::size_t(k)] = CCurvePoint{CurvePointHertz(k), 0.0, 0.0};
}

void ComputeSectionPoints(const CEqSection& section, CCurvePoints& points) {
  for (int k = 0; k < kCurvePoints; ++k) {
    const double f = CurvePointHertz(k);
    const Complex h = SectionResponse(section, f);
    points[std::size_t(k)] = CCurvePoint{f, Db(h), std::arg(h) * 180.0 / kPi};
  }
}

void AddCurvePoints(const CCurvePoints& section, CCurvePoints& sum) {
  for (std::size_t k = 0; k < section.size(); ++k) {
    sum[k].dB += section[k].dB;
    sum[k].phase = WrapDegrees(sum[k].phase + section[k].phase);
  }
}

void ComputeSectionCurve(std::array<std::array<double, 3>, kCurvePoints>& points, int field, int sectionType,
                         int qIndex, int frequencyIndex, float gain, std::uint8_t bypass) {
  const std::size_t f = std::size_t(field);
  for (auto& p : points) p[f] = 0.0;
  const bool shaped = sectionType == kSectionPeaking || sectionType == kSectionLowShelf ||
                      sectionType == kSectionHighShelf;
  if (shaped && gain >= -0.01f && gain <= 0.01f) return;
  if (bypass != 0) return;
  if (sectionType == kSectionFlatGain) {
    for (auto& p : points) p[f] += double(gain);
    return;
  }
  if (!shaped) return;
  CEqSection section;
  section.type = sectionType;
  section.frequency = double(float(7.8125f * std::pow(2.0f, float(frequencyIndex) / 36.0f)));
  section.q = double(float(0.25f * std::pow(2.0f, float(108 - qIndex) / 12.0f)));
  section.gainDb = double(gain);
  for (int k = 0; k < kCurvePoints; ++k)
    points[std::size_t(k)][f] += Db(SectionResponse(section, CurvePointHertz(k)));
}

double GeqBandCentreHertz(int band) { return 1000.0 * std::pow(2.0, double(band - 15) / 3.0); }

CEqSection GeqBandSection(int band, double gainDb, int shape) {
  CEqSection section;
  section.type = kSectionPeaking;
  section.frequency = GeqBandCentreHertz(band);
  section.gainDb = gainDb;
  // Constant Q keeps the one-third-octave width at every setting; proportional Q (as analogue
  // graphic equalisers behave) is a third of an octave at full 15 dB and widens as the gain
  // falls, down to about an octave and a half.
  if (shape == kGeqShapeConstantQ) section.q = kOneThirdOctaveQ;
  else section.q = kOneThirdOctaveQ * std::max(std::abs(gainDb), 1.5) / 15.0;
  return section;
}
