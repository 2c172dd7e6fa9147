// The analogue prototypes of the processors' filter sections. Every response is a ratio of
// polynomials in s = j f / f0; high-pass forms are the low-pass forms at 1 / s.
#include "panels/processor/response/EqResponse.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kOneThirdOctaveQ = 4.318473046963146;  // sqrt(2^(1/3)) / (2^(1/3) - 1)

// Poles of the Butterworth low-pass of order n with its -3 dB point at s = j:
// p_k = exp(j pi (2k + n - 1) / 2n), k = 1..n, evenly spaced on the left half of the unit
// circle; H(s) = 1 / prod (s - p_k).
std::vector<Complex> ButterworthPoles(int n) {
  std::vector<Complex> poles;
  for (int k = 1; k <= n; ++k) poles.push_back(std::polar(1.0, kPi * double(2 * k + n - 1) / double(2 * n)));
  return poles;
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

// A section made ready for evaluation at many frequencies: the coefficients worked out once.
struct CPrepared {
  enum class Kind { Biquad, FirstOrderAllpass, Poles, Bessel, Gain };
  Kind kind = Kind::Gain;
  // Biquad (a s^2 + b s + c) / (d s^2 + e s + g); g doubles as the plain gain.
  double a = 0, b = 0, c = 0, d = 0, e = 0, g = 0;
  double t = 0;                                     // first-order all-pass time constant
  bool highPass = false;                            // evaluate the low-pass form at 1 / s
  bool squared = false;                             // Linkwitz-Riley: the Butterworth squared
  std::vector<Complex> poles;
  const BesselTable* bessel = nullptr;
};

void SetBiquad(CPrepared& p, double a, double b, double c, double d, double e, double g) {
  p.kind = CPrepared::Kind::Biquad;
  p.a = a, p.b = b, p.c = c, p.d = d, p.e = e, p.g = g;
}

// The low-pass of each crossover alignment with its corner at s = j.
void PrepareCrossover(CPrepared& p, int alignment) {
  auto butterworth = [&](int n, bool squared) {
    p.kind = CPrepared::Kind::Poles;
    p.poles = ButterworthPoles(n);
    p.squared = squared;
  };
  auto bessel = [&](int n) {
    p.kind = CPrepared::Kind::Bessel;
    p.bessel = &Bessel(n);
  };
  switch (alignment) {
    case kXover12Bessel: bessel(2); break;
    case kXover12Butterworth: butterworth(2, false); break;
    case kXover18Bessel: bessel(3); break;
    case kXover18Butterworth: butterworth(3, false); break;
    case kXover24Bessel: bessel(4); break;
    case kXover24Butterworth: butterworth(4, false); break;
    // Linkwitz-Riley of order 2n: a Butterworth of order n squared, -6 dB at the corner.
    case kXover24LinkwitzRiley: butterworth(2, true); break;
    case kXover6Bensen: butterworth(1, false); break;  // first order, 1 / (1 + s)
    case kXover12LinkwitzRiley: butterworth(1, true); break;
    case kXover48Bessel: bessel(8); break;
    case kXover48Butterworth: butterworth(8, false); break;
    case kXover48LinkwitzRiley: butterworth(4, true); break;
    default: butterworth(2, false); break;
  }
}

CPrepared Prepare(const CEqSection& section) {
  CPrepared p;
  const double q = section.q > 0.0 ? section.q : 1e-3;
  switch (section.type) {
    // Peaking and shelving second-order equalisers (the analogue prototypes of the audio
    // cookbook forms), A = 10^(gain / 40).
    case kSectionPeaking: {
      const double A = std::pow(10.0, section.gainDb / 40.0);
      SetBiquad(p, 1.0, A / q, 1.0, 1.0, 1.0 / (A * q), 1.0);
      break;
    }
    case kSectionLowShelf: {
      const double A = std::pow(10.0, section.gainDb / 40.0), r = std::sqrt(A);
      SetBiquad(p, A, A * r / q, A * A, A, r / q, 1.0);
      break;
    }
    case kSectionHighShelf: {
      const double A = std::pow(10.0, section.gainDb / 40.0), r = std::sqrt(A);
      SetBiquad(p, A * A, A * r / q, A, 1.0, r / q, A);
      break;
    }
    case kSectionCrossoverHighPass:
    case kSectionCrossoverLowPass:
      PrepareCrossover(p, section.alignment);
      p.highPass = section.type == kSectionCrossoverHighPass;
      break;
    // Second-order all-pass: (s^2 - s/Q + 1) / (s^2 + s/Q + 1); unit magnitude, 360 degrees
    // of phase turn, -180 at f0.
    case kSectionAllpass: SetBiquad(p, 1.0, -1.0 / q, 1.0, 1.0, 1.0 / q, 1.0); break;
    // Constant-peak band-pass: (s/Q) / (s^2 + s/Q + 1), 0 dB at f0.
    case kSectionBandPass: SetBiquad(p, 0.0, 1.0 / q, 0.0, 1.0, 1.0 / q, 1.0); break;
    // Notch: (s^2 + 1) / (s^2 + s/Q + 1), a zero of transmission at f0.
    case kSectionNotch: SetBiquad(p, 1.0, 0.0, 1.0, 1.0, 1.0 / q, 1.0); break;
    // Phase: first-order all-pass (1 - s t) / (1 + s t) with t = tan(phi / 2), so that the
    // phase at f0 is -phi (phi in degrees, carried in q).
    case kSectionPhase:
      p.kind = CPrepared::Kind::FirstOrderAllpass;
      p.t = std::tan(section.q * kPi / 360.0);
      break;
    // Second-order low-pass and high-pass of variable Q: 1 / (s^2 + s/Q + 1), s^2 / (...).
    case kSectionVariQLowPass: SetBiquad(p, 0.0, 0.0, 1.0, 1.0, 1.0 / q, 1.0); break;
    case kSectionVariQHighPass: SetBiquad(p, 1.0, 0.0, 0.0, 1.0, 1.0 / q, 1.0); break;
    // Second-order elliptic (Cauer) sections: the low-pass notch (s^2/wz^2 + 1) / (s^2 + s/Q + 1)
    // with its transmission zero an octave above the corner (wz = 2), and the high-pass notch
    // (s^2 + wz^2) / (s^2 + s/Q + 1) with the zero an octave below (wz = 1/2).
    case kSectionEllipticLowPass: SetBiquad(p, 0.25, 0.0, 1.0, 1.0, 1.0 / q, 1.0); break;
    case kSectionEllipticHighPass: SetBiquad(p, 1.0, 0.0, 0.25, 1.0, 1.0 / q, 1.0); break;
    case kSectionFlatGain: p.g = std::pow(10.0, section.gainDb / 20.0); break;
    default: p.g = 1.0; break;
  }
  return p;
}

// The response of a prepared section at s = j w as numerator over denominator, in plain
// double arithmetic (the graphs evaluate thousands of points per redraw).
struct CFraction {
  double nr = 1.0, ni = 0.0, dr = 1.0, di = 0.0;
};

CFraction Evaluate(const CPrepared& p, double w) {
  CFraction f;
  switch (p.kind) {
    case CPrepared::Kind::Biquad:
      f.nr = p.c - p.a * w * w;
      f.ni = p.b * w;
      f.dr = p.g - p.d * w * w;
      f.di = p.e * w;
      break;
    case CPrepared::Kind::FirstOrderAllpass:
      f.ni = -w * p.t;
      f.di = w * p.t;
      break;
    case CPrepared::Kind::Poles: {
      const double x = p.highPass ? -1.0 / w : w;  // 1 / (j w) = j (-1 / w)
      for (const Complex& pole : p.poles) {
        const double tr = -pole.real(), ti = x - pole.imag();
        const double r = f.dr * tr - f.di * ti;
        f.di = f.dr * ti + f.di * tr;
        f.dr = r;
      }
      break;
    }
    case CPrepared::Kind::Bessel: {
      const double x = (p.highPass ? -1.0 / w : w) * p.bessel->scale;
      const auto& a = p.bessel->coefficients;
      double vr = 0.0, vi = 0.0;
      for (std::size_t k = a.size(); k-- > 0;) {
        const double r = -vi * x + a[k];  // v (j x) + a_k
        vi = vr * x;
        vr = r;
      }
      f.nr = a[0];
      f.dr = vr;
      f.di = vi;
      break;
    }
    case CPrepared::Kind::Gain: f.nr = p.g; break;
  }
  return f;
}

// 10 log10 x as a multiple of log2 x, which the maths library works out in about half the time.
constexpr double kDbPerPowerOctave = 3.0102999566398119521;  // 10 log10 2

double DbOf(const CPrepared& p, const CFraction& f) {
  const double num = f.nr * f.nr + f.ni * f.ni, den = f.dr * f.dr + f.di * f.di;
  if (num <= 1e-60 * den) return -600.0;
  return (p.squared ? 2.0 * kDbPerPowerOctave : kDbPerPowerOctave) * std::log2(num / den);
}

// Drawing code elsewhere in the process can leave the upper halves of the x86 vector
// registers dirty; until they are cleared every following SSE instruction (ours and the maths
// library's) runs many times slower. The point loops clear them first.
void ClearUpperVectorState() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (__builtin_cpu_supports("avx")) __asm__ volatile("vzeroupper");
#endif
}

// The curve's frequencies, worked out once.
const std::array<double, kCurvePoints>& PointHertz() {
  static const std::array<double, kCurvePoints> table = [] {
    std::array<double, kCurvePoints> t{};
    for (int k = 0; k < kCurvePoints; ++k) t[std::size_t(k)] = 7.8125 * std::pow(2.0, double(kCurveFirstIndex + k) / 36.0);
    return t;
  }();
  return table;
}

}  // namespace

double CodeToHertz(double frequencyCode) { return 7.8125 * std::pow(2.0, frequencyCode / 36.0); }
double CurvePointHertz(int k) {
  return k >= 0 && k < kCurvePoints ? PointHertz()[std::size_t(k)] : CodeToHertz(double(kCurveFirstIndex + k));
}
double QCodeToQ(double qCode) { return 0.25 * std::pow(2.0, (108.0 - qCode) / 12.0); }

bool IsCrossover48dB(int alignment) {
  return alignment == kXover48Bessel || alignment == kXover48Butterworth || alignment == kXover48LinkwitzRiley;
}

std::complex<double> SectionResponse(const CEqSection& section, double hertz) {
  const double f0 = section.frequency > 0.0 ? section.frequency : 1.0;
  const CPrepared p = Prepare(section);
  const CFraction f = Evaluate(p, hertz / f0);
  const Complex h = Complex(f.nr, f.ni) / Complex(f.dr, f.di);
  return p.squared ? h * h : h;
}

double SectionResponseDb(const CEqSection& section, double hertz) {
  const double f0 = section.frequency > 0.0 ? section.frequency : 1.0;
  const CPrepared p = Prepare(section);
  return DbOf(p, Evaluate(p, hertz / f0));
}

void ClearCurvePoints(CCurvePoints& points) {
  const auto& hertz = PointHertz();
  for (std::size_t k = 0; k < points.size(); ++k) points[k] = CCurvePoint{hertz[k], 0.0};
}

void ComputeSectionPoints(const CEqSection& section, CCurvePoints& points) {
  // The all-pass forms turn the phase only: their magnitude is 1 everywhere.
  if (section.type == kSectionAllpass || section.type == kSectionPhase) {
    ClearCurvePoints(points);
    return;
  }
  ClearUpperVectorState();
  const CPrepared prepared = Prepare(section);
  const double f0 = section.frequency > 0.0 ? section.frequency : 1.0;
  const auto& hertz = PointHertz();
  for (std::size_t k = 0; k < points.size(); ++k)
    points[k] = CCurvePoint{hertz[k], DbOf(prepared, Evaluate(prepared, hertz[k] / f0))};
}

void AddCurvePoints(const CCurvePoints& section, CCurvePoints& sum) {
  for (std::size_t k = 0; k < section.size(); ++k) sum[k].dB += section[k].dB;
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
  ClearUpperVectorState();
  const CPrepared prepared = Prepare(section);
  const auto& hertz = PointHertz();
  for (std::size_t k = 0; k < points.size(); ++k)
    points[k][f] += DbOf(prepared, Evaluate(prepared, hertz[k] / section.frequency));
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
