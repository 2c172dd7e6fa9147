// Value grids and value texts. Intermediate products and logarithms are double precision and
// are narrowed to single precision at fixed steps, so that every grid point converts to its
// own code and back exactly.
#include "core/values/ValueCodes.h"

#include <algorithm>
#include <boost/format.hpp>
#include <cctype>
#include <charconv>
#include <climits>
#include <cfloat>
#include <cmath>
#include <string_view>

namespace {
constexpr double kFreqBase = 7.8125;
constexpr double kQBase = 0.25;
// Delay unit in seconds: divisions use its single-precision value, products the double one.
constexpr double kDelayUnit = 8.138e-5;
constexpr float kDelayUnitSingle = 8.138e-5f;
// Largest delay count kept, a multiple of every rounding step.
constexpr double kMaxDelayCount = 4294967040.0;

// Truncation toward zero into the int range; NaN gives 0.
int TruncToInt(double x) {
  if (std::isnan(x)) return 0;
  if (x >= double(INT_MAX)) return INT_MAX;
  if (x <= double(INT_MIN)) return INT_MIN;
  return int(std::trunc(x));
}

int ClampToInt(double x) {
  if (std::isnan(x)) return 0;
  if (x >= double(INT_MAX)) return INT_MAX;
  if (x <= double(INT_MIN)) return INT_MIN;
  return int(x);
}

// The delay count of a time, truncated toward zero; 0 for times that are not positive.
std::uint32_t DelayCount(float seconds) {
  if (!(seconds > 0.0f)) return 0;
  const double n = std::trunc(double(seconds) / double(kDelayUnitSingle));
  return std::uint32_t(std::min(n, kMaxDelayCount));
}

// n brought to a multiple of step; a remainder of at most half the step goes down.
std::uint32_t RoundToStep(std::uint32_t n, std::uint32_t step) {
  const std::uint32_t r = n % step;
  return r <= step / 2 ? n - r : n - r + step;
}

bool IsBlankChar(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Where the number of text read from from starts for std::from_chars: past white space and a
// leading '+', which from_chars does not take.
std::size_t NumberStart(const std::string& text, std::size_t from) {
  std::size_t start = from;
  while (start < text.size() && IsBlankChar(text[start])) ++start;
  if (start < text.size() && text[start] == '+') ++start;
  return start;
}

// Reads a leading number the way strtod does (white space, sign, digits, point, exponent),
// but always with a decimal point, whatever the process locale. No number gives 0.
double LeadingNumber(const std::string& text, std::size_t from, std::size_t* end) {
  double value = 0.0;
  const char* first = text.data() + NumberStart(text, from);
  const char* last = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::invalid_argument || ptr == first) {
    if (end) *end = from;
    return 0.0;
  }
  if (end) *end = std::size_t(ptr - text.data());
  return ec == std::errc() ? value : 0.0;
}

void SkipBlanks(std::string_view& rest) {
  while (!rest.empty() && IsBlankChar(rest.front())) rest.remove_prefix(1);
}

// Takes the word off the front of rest when it starts with it, letters case-blind.
bool TakeWord(std::string_view& rest, std::string_view word) {
  if (rest.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(rest[i])) != word[i]) return false;
  rest.remove_prefix(word.size());
  return true;
}

// True when what follows a typed number is only blanks and the units of the kind.
bool IsUnitTail(ParamKind kind, std::string_view rest) {
  switch (kind) {
    case ParamKind::kLevel:
      SkipBlanks(rest);
      TakeWord(rest, "db");
      break;
    case ParamKind::kFrequency:
      // The k right after the number, as ParseParameterValue reads it, then its fraction.
      if (TakeWord(rest, "k")) {
        if (rest.size() > 1 && rest[0] == ' ' && std::isdigit(static_cast<unsigned char>(rest[1])))
          rest.remove_prefix(1);
        while (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
      }
      SkipBlanks(rest);
      TakeWord(rest, "hz");
      break;
    case ParamKind::kDelay:
      SkipBlanks(rest);
      (void)(TakeWord(rest, "ms") || TakeWord(rest, "mm") || TakeWord(rest, "cm") || TakeWord(rest, "m") ||
             TakeWord(rest, "ft"));
      break;
    case ParamKind::kTime:
      SkipBlanks(rest);
      TakeWord(rest, "ms");
      break;
    case ParamKind::kRatio:
      SkipBlanks(rest);
      TakeWord(rest, ":1");
      break;
    case ParamKind::kPhase:
      SkipBlanks(rest);
      (void)(TakeWord(rest, "\xCB\x9A") || TakeWord(rest, "\xC2\xB0"));  // ring above, degree sign
      break;
    default: break;
  }
  SkipBlanks(rest);
  return rest.empty();
}

bool EndsWithPair(const std::string& text, char a, char b) {
  const std::size_t n = text.size();
  return std::tolower(static_cast<unsigned char>(text[n - 2])) == a &&
         std::tolower(static_cast<unsigned char>(text[n - 1])) == b;
}

std::string FormatFrequency(float value) {
  const int index = FreqToIndex(value);
  if (index == kFreqIndexBelow10Hz) return "<10Hz";
  if (index == kFreqIndexAbove32kHz) return ">32kHz";
  const double v = value;
  if (v >= 1000.0) {
    const int k = TruncToInt(v / 1000.0);
    // The hundreds are zero-padded so that 1019 Hz reads "1k 01", never "1k 1" (1.1 kHz).
    if (k < 10) return (boost::format("%dk %02d") % k % TruncToInt((v - 1000.0 * k) * 100.0 / 1000.0)).str() + " Hz";
    return (boost::format("%dk %d") % k % TruncToInt((v - 1000.0 * k) * 10.0 / 1000.0)).str() + " Hz";
  }
  if (v > 100.0) return (boost::format("%3.f") % v).str() + " Hz";
  return (boost::format("%.1f") % v).str() + " Hz";
}
}  // namespace

int RoundIndex(float x) {
  const double f = std::fmod(double(x), 1.0);
  return ClampToInt(f > 0.5 ? std::ceil(double(x)) : std::floor(double(x)));
}

int RoundNearestHalfDown(float x) {
  const double f = std::fmod(double(x), 1.0);
  if (x > 0.0f) return ClampToInt(f > 0.5 ? std::ceil(double(x)) : std::floor(double(x)));
  return ClampToInt(f > -0.5 ? std::ceil(double(x)) : std::floor(double(x)));
}

int RoundHalfUp(float x) { return ClampToInt(std::floor(double(x) + 0.5)); }

int RoundHalfAway(float x) { return ClampToInt(std::round(double(x))); }

int FreqToIndex(float hertz) {
  if (!(hertz > 0.0f)) return 0;
  return RoundIndex(float(std::log10(double(hertz) / kFreqBase) * 36.0 / std::log10(2.0)));
}

float IndexToFreq(int index) {
  return float(std::pow(2.0, double(float(double(index) / 36.0))) * kFreqBase);
}

float SnapFreq(float hertz) { return IndexToFreq(FreqToIndex(hertz)); }

int QToIndex(float q) {
  if (!(q > 0.0f)) return kQIndexMax;
  const int index = kQIndexMax - RoundIndex(float(std::log10(double(float(double(q) * 4.0))) * 12.0 / std::log10(2.0)));
  return std::clamp(index, 0, kQIndexMax);
}

float IndexToQ(int index) {
  const int i = std::clamp(index, 0, kQIndexMax);
  return float(std::pow(2.0, double(float(double(kQIndexMax - i) / 12.0))) * kQBase);
}

float SnapQ(float q) { return IndexToQ(QToIndex(q)); }

std::uint32_t SecondsToSamples(bool coarse, float seconds) {
  return RoundToStep(DelayCount(seconds), coarse ? 128u : 4u);
}

float SamplesToSeconds(std::uint32_t samples) { return float(double(samples) * kDelayUnit); }

float SnapDelayTime(float seconds) { return SamplesToSeconds(RoundToStep(DelayCount(seconds), 4u)); }

int QuarterStepToIndex(float x) {
  if (!(x > 0.0f)) return 0;
  const int index = RoundIndex(float(float(std::log(double(x)) / std::log(2.0) * 4.0) + 15.0));
  return std::max(index, 0);
}

float IndexToQuarterStep(int index) { return float(std::pow(2.0, (double(index) - 15.0) * 0.25)); }

std::string FormatParameterValue(const CParamInfo& info, float value, const CParamValue& current) {
  const double v = value;
  switch (current.kind) {
    case ParamKind::kLevel:
      if ((info.options & kParamOptionMuteAtMinimum) && value <= info.minimum) return "Mute";
      return (boost::format("%.1f") % v).str() + " dB";
    case ParamKind::kFrequency:
      return FormatFrequency(value);
    case ParamKind::kQ:
      if (v > 13.6) return (boost::format("%.0f") % v).str();
      if (v > 1.27) return (boost::format("%.1f") % v).str();
      return (boost::format("%.2f") % v).str();
    case ParamKind::kDelay:
      if (v < 9.99) return (boost::format("%.4f") % v).str() + "ms";
      if (v < 99.99) return (boost::format("%.3f") % v).str() + "ms";
      return (boost::format("%.2f") % v).str() + "ms";
    case ParamKind::kPhase:
      return (boost::format("%d") % TruncToInt(v)).str() + "\xCB\x9A";  // U+02DA ring above
    default:
      return std::string();
  }
}

ETypedValue ClassifyTypedValue(ParamKind kind, const std::string& text, double* number) {
  const char* first = text.data() + NumberStart(text, 0);
  const char* last = text.data() + text.size();
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::invalid_argument || ptr == first || std::isnan(value)) return ETypedValue::kNotANumber;
  if (!IsUnitTail(kind, std::string_view(ptr, std::size_t(last - ptr)))) return ETypedValue::kNotANumber;
  // Values are kept in single precision.
  if (ec != std::errc() || !(std::fabs(value) <= double(FLT_MAX))) return ETypedValue::kOutOfRange;
  if (number) *number = value;
  return ETypedValue::kNumber;
}

float ParseParameterValue(const CParamValue& current, const std::string& text) {
  std::size_t end = 0;
  const double number = LeadingNumber(text, 0, &end);
  switch (current.kind) {
    case ParamKind::kLevel:
    case ParamKind::kPhase:
      return float(number);
    case ParamKind::kFrequency: {
      double v = number;
      if (end > 0 && end < text.size() && (text[end] == 'k' || text[end] == 'K')) {
        // The character after the number, or the blank after the k, stands for the point.
        const std::size_t point = (end + 1 < text.size() && text[end + 1] == ' ') ? end + 1 : end;
        const std::string fraction = "." + text.substr(point + 1);
        std::size_t fractionEnd = 0;
        double f = LeadingNumber(fraction, 0, &fractionEnd);
        if (fractionEnd == 0 || !std::isfinite(f)) f = 0.0;
        v = (v + f) * 1000.0;
      }
      return SnapFreq(float(v));
    }
    case ParamKind::kQ:
      return SnapQ(float(number));
    case ParamKind::kDelay: {
      double v = std::fabs(number);
      // The unit is told by the last two characters; "ms" and anything unknown mean ms.
      if (text.size() > 2 && !EndsWithPair(text, 'm', 's')) {
        const char last = text.back();
        if (EndsWithPair(text, 'm', 'm')) {
          v /= 343.37189;
        } else if (EndsWithPair(text, 'c', 'm')) {
          v /= 34.337189;
        } else if (last == 'm' || last == 'M') {
          v /= 0.34337189;
        } else if (text.compare(text.size() - 2, 2, "ft") == 0) {
          v /= 1.126548232;
        }
      }
      return SnapDelayTime(float(v));
    }
    default:
      return current.value;
  }
}
