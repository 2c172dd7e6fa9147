// The processor's parameter catalogue: for every parameter id its descriptor (name, kind,
// range, disabled state, option words) and its current value from the settings image, and the
// lists built on them. Reads only; UI thread.
#include <cmath>
#include <iterator>
#include <optional>

#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexValueRanges.h"
#include "platform/Sync.h"
#include "platform/TextFormat.h"

namespace {

constexpr float kMaxDelayMs = 649.99835f;
// The highest id any row names.
constexpr int kLastCatalogueId = 1597;

enum class ERow {
  InputGain, OutputGain, InputMute, OutputMute, OutputPhase, DeviceName, InputName, OutputName,
  InputDelay, OutputDelay, MatrixGain, LimiterLevel, LimiterClipLevel, LimiterAttack, LimiterRelease,
  LimiterClipRelease, InputLinkBit, OutputLink, AutoLimiters, MatrixRouting,
  InPeqFreq, InPeqQ, InPeqGain, InPeqType, InPeqBypass,
  OutPeqFreq, OutPeqQ, OutPeqGain, OutPeqType, OutPeqBypass,
  HighPassFreq, LowPassFreq, HighPassType, LowPassType, GeqBand, GeqBypass, GeqMode,
  Online, Offline, Warnings,
  CompThreshold, CompRatio, CompAttack, CompRelease, CompKnee, CompBypass, Unused1412, CompLimiters,
  DeqThreshold, DeqRatio, DeqAttack, DeqRelease, DeqMode, DeqKind, DeqBypass, DeqFreq, DeqEffect, DeqQ,
  Unused1578, DynamicEqMode, DynamicEqLinking,
};

struct RowRange {
  int first;
  int count;
  ERow row;
};

constexpr RowRange kRows[] = {
    {13, 4, ERow::InputGain},        {17, 8, ERow::OutputGain},        {25, 4, ERow::InputMute},
    {29, 8, ERow::OutputMute},       {37, 8, ERow::OutputPhase},       {58, 1, ERow::DeviceName},
    {128, 4, ERow::InputName},       {132, 8, ERow::OutputName},       {249, 4, ERow::InputDelay},
    {253, 8, ERow::OutputDelay},     {263, 32, ERow::MatrixGain},      {299, 8, ERow::LimiterLevel},
    {307, 8, ERow::LimiterClipLevel}, {315, 8, ERow::LimiterAttack},   {323, 8, ERow::LimiterRelease},
    {331, 8, ERow::LimiterClipRelease}, {339, 16, ERow::InputLinkBit}, {355, 64, ERow::OutputLink},
    {422, 1, ERow::AutoLimiters},    {439, 32, ERow::MatrixRouting},   {508, 32, ERow::InPeqFreq},
    {540, 32, ERow::InPeqQ},         {572, 32, ERow::InPeqGain},       {604, 32, ERow::InPeqType},
    {636, 32, ERow::InPeqBypass},    {700, 72, ERow::OutPeqFreq},      {772, 72, ERow::OutPeqQ},
    {844, 72, ERow::OutPeqGain},     {916, 72, ERow::OutPeqType},      {988, 72, ERow::OutPeqBypass},
    {1100, 8, ERow::HighPassFreq},   {1108, 8, ERow::LowPassFreq},     {1116, 8, ERow::HighPassType},
    {1124, 8, ERow::LowPassType},    {1200, 112, ERow::GeqBand},       {1312, 4, ERow::GeqBypass},
    {1316, 4, ERow::GeqMode},        {1352, 1, ERow::Online},          {1353, 1, ERow::Offline},
    {1354, 1, ERow::Warnings},       {1364, 8, ERow::CompThreshold},   {1372, 8, ERow::CompRatio},
    {1380, 8, ERow::CompAttack},     {1388, 8, ERow::CompRelease},     {1396, 8, ERow::CompKnee},
    {1404, 8, ERow::CompBypass},     {1412, 8, ERow::Unused1412},      {1444, 1, ERow::CompLimiters},
    {1446, 12, ERow::DeqThreshold},  {1458, 12, ERow::DeqRatio},       {1470, 12, ERow::DeqAttack},
    {1482, 12, ERow::DeqRelease},    {1494, 12, ERow::DeqMode},        {1506, 12, ERow::DeqKind},
    {1518, 12, ERow::DeqBypass},     {1530, 12, ERow::DeqFreq},        {1542, 12, ERow::DeqEffect},
    {1554, 12, ERow::DeqQ},          {1578, 12, ERow::Unused1578},     {1590, 1, ERow::DynamicEqMode},
    {1591, 1, ERow::DynamicEqLinking},
};

// The row of an id and the offset n within it; false for an id no row names.
bool FindRow(int id, ERow& row, int& n) {
  for (const RowRange& r : kRows) {
    if (id >= r.first && id < r.first + r.count) {
      row = r.row;
      n = id - r.first;
      return true;
    }
  }
  return false;
}

CParamInfo NullInfo() {
  CParamInfo info;
  info.name = "NULL";
  return info;
}

CParamInfo Info(int id, std::string name, ParamKind kind, float maximum = 0.0f, float minimum = 0.0f,
                std::uint32_t textLimit = 0, std::uint32_t options = 0, bool disabled = false) {
  CParamInfo info;
  info.name = std::move(name);
  info.kind = kind;
  info.id = id;
  info.inactive = disabled ? 1 : 0;
  info.maximum = maximum;
  info.minimum = minimum;
  info.textLimit = textLimit;
  info.options = options;
  return info;
}

char InputLetter(int input) { return char('A' + input); }

int PeqType(const NerexEqBand& band) { return band.type & 0x7F; }

// Deq band type code: 13 for a full-bandwidth band (no frequency, no Q), else its filter kind.
int DeqBandTypeCode(const NerexDeqBand& band) { return band.filterKind == 1 ? 13 : band.filterKind; }

std::string TrimName(const NerexChannelName& name) {
  std::string text(name.data(), name.size());
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool Bit(std::uint32_t mask, int bit) { return (mask >> bit) & 1u; }

bool HasInputDelay(int model) { return IsNerexSmallModel(model) || model == kModelTorvex48; }
bool HasMatrixGains(int model) { return IsFennickModel(model) || model == kModelTorvex48; }

CParamValue FloatValue(int id, float value, ParamKind kind) { return CParamValue(id, value, kind); }

// The fields of a PEQ band, in the order of their rows for inputs and for outputs.
enum EPeqField { kPeqFrequency, kPeqQ, kPeqGain, kPeqType, kPeqBypass };
static_assert(int(ERow::InPeqBypass) - int(ERow::InPeqFreq) == kPeqBypass);
static_assert(int(ERow::OutPeqBypass) - int(ERow::OutPeqFreq) == kPeqBypass);

// The descriptor of one field of a PEQ band. label names the channel and band; disabled greys
// out every field of the band.
CParamInfo PeqBandInfo(int id, int field, const std::string& label, const NerexEqBand& band, bool disabled) {
  const int type = PeqType(band);
  switch (field) {
    case kPeqFrequency: return Info(id, label + " Frequency", ParamKind::kFrequency, 0, 0, 0, 0, disabled);
    case kPeqQ:
      return Info(id, label + " Q", type == 8 ? ParamKind::kPhase : ParamKind::kQ, 0, 0, 0, 0,
                  type == 11 || type == 12 || disabled);
    case kPeqGain: return Info(id, label + " Gain", ParamKind::kLevel, 15.0f, -40.0f, 0, 0, type > 2 || disabled);
    case kPeqType: return Info(id, label + " Type", ParamKind::kInteger, 0, 0, 0, 0, disabled);
    default: return Info(id, label + " Bypass", ParamKind::kBool, 0, 0, 0, 0, disabled);
  }
}

// Rows whose descriptor is the same for every model: a name with the row's channel, a kind, a
// range, a text limit, an option word and what greys the parameter out.
enum class EChannel {
  kNone,         // one parameter, no channel in its name
  kInput,        // an input of the model, named by its letter
  kInputNumber,  // an input of the model, named by its number
  kOutput,       // an output of the model, named by its number
};
enum class EDisabledBy { kNever, kGroupC, kGroupD, kGroupE, kAutoLimitersOrGroupD, kCompressorLimiters };

struct CPlainRow {
  ERow row;
  EChannel channel;
  const char* name;  // printf format of the name, with the channel when there is one
  ParamKind kind;
  float maximum = 0.0f;
  float minimum = 0.0f;
  std::uint32_t textLimit = 0;
  std::uint32_t options = 0;
  EDisabledBy disabledBy = EDisabledBy::kNever;
};

constexpr CPlainRow kPlainRows[] = {
    {ERow::InputMute, EChannel::kInput, "Input Channel %c Mute", ParamKind::kBool},
    {ERow::OutputMute, EChannel::kOutput, "Output Channel %d Mute", ParamKind::kBool},
    {ERow::OutputPhase, EChannel::kOutput, "Output Channel %d Phase", ParamKind::kBool, 0, 0, 0, 0,
     EDisabledBy::kGroupE},
    {ERow::DeviceName, EChannel::kNone, "Device Name", ParamKind::kText, 0, 0, 40},
    {ERow::InputName, EChannel::kInput, "Input Channel %c Name", ParamKind::kText, 0, 0, 8},
    {ERow::OutputName, EChannel::kOutput, "Output Channel %d Name", ParamKind::kText, 0, 0, 8},
    {ERow::OutputDelay, EChannel::kOutput, "Output Channel %d Delay", ParamKind::kDelay, kMaxDelayMs, 0.0f, 0, 0,
     EDisabledBy::kGroupC},
    {ERow::LimiterLevel, EChannel::kOutput, "Output Channel %d Limiter Level", ParamKind::kLevel, 22.0f, -10.0f, 0, 0,
     EDisabledBy::kGroupD},
    {ERow::LimiterClipLevel, EChannel::kOutput, "Output Channel %d Limiter Clip Level", ParamKind::kLevel, 12.0f, 2.0f,
     0, 0, EDisabledBy::kGroupD},
    {ERow::LimiterAttack, EChannel::kOutput, "Output Channel %d Limiter Attack", ParamKind::kInteger, 0, 0, 0,
     kParamOptionReadOnly, EDisabledBy::kAutoLimitersOrGroupD},
    {ERow::LimiterRelease, EChannel::kOutput, "Output Channel %d Limiter Release", ParamKind::kInteger, 0, 0, 0,
     kParamOptionReadOnly, EDisabledBy::kAutoLimitersOrGroupD},
    {ERow::LimiterClipRelease, EChannel::kOutput, "Output Channel %d Limiter Clip Release", ParamKind::kInteger, 0, 0,
     0, kParamOptionReadOnly, EDisabledBy::kAutoLimitersOrGroupD},
    {ERow::GeqBypass, EChannel::kInputNumber, "Input Channel %d GEQ Bypass", ParamKind::kBool},
    {ERow::Online, EChannel::kNone, "Online Status", ParamKind::kBool, 0, 0, 0, kParamOptionsStatusIndication},
    {ERow::Offline, EChannel::kNone, "Offline Status", ParamKind::kBool, 0, 0, 0, kParamOptionsStatusIndication},
    {ERow::Warnings, EChannel::kNone, "Warnings Active", ParamKind::kBool, 0, 0, 0, kParamOptionsStatusIndication},
    {ERow::CompThreshold, EChannel::kOutput, "Output Channel %d Compressor Threshold", ParamKind::kLevel, 22.0f, -22.0f,
     4},
    {ERow::CompRatio, EChannel::kOutput, "Output Channel %d Compressor Ratio", ParamKind::kRatio, 0, 0, 0,
     kParamOptionReadOnly},
    {ERow::CompAttack, EChannel::kOutput, "Output Channel %d Compressor Attack", ParamKind::kTime, 0, 0, 0,
     kParamOptionReadOnly, EDisabledBy::kCompressorLimiters},
    {ERow::CompRelease, EChannel::kOutput, "Output Channel %d Compressor Release", ParamKind::kTime, 0, 0, 0,
     kParamOptionReadOnly, EDisabledBy::kCompressorLimiters},
    {ERow::CompKnee, EChannel::kOutput, "Output Channel %d Compressor Soft Knee", ParamKind::kLevel, 0, 0, 0,
     kParamOptionReadOnly},
    // The number goes through a one-character conversion: "1" to "8".
    {ERow::CompBypass, EChannel::kOutput, "Output Channel %c Compressor Bypass", ParamKind::kBool},
    {ERow::CompLimiters, EChannel::kNone, "Compressor Limiters", ParamKind::kInteger, 0, 0, 0, kParamOptionReadOnly},
    {ERow::DynamicEqMode, EChannel::kNone, "Dynamic EQ Mode", ParamKind::kInteger, 0, 0, 0, kParamOptionReadOnly},
    {ERow::DynamicEqLinking, EChannel::kNone, "Dynamic EQ Linking", ParamKind::kInteger, 0, 0, 0, kParamOptionReadOnly},
};

const CPlainRow* FindPlainRow(ERow row) {
  for (const CPlainRow& plain : kPlainRows)
    if (plain.row == row) return &plain;
  return nullptr;
}

// The descriptor of a plain row for channel n; null when the model has no such channel.
std::optional<CParamInfo> PlainRowInfo(const CPlainRow& plain, int id, int n, int inputs, int outputs,
                                       const NerexOutputSection& out) {
  std::string name;
  switch (plain.channel) {
    case EChannel::kNone:
      name = plain.name;
      break;
    case EChannel::kInput:
      if (n >= inputs) return std::nullopt;
      name = FormatText(plain.name, InputLetter(n));
      break;
    case EChannel::kInputNumber:
      if (n >= inputs) return std::nullopt;
      name = FormatText(plain.name, n + 1);
      break;
    case EChannel::kOutput:
      if (n >= outputs) return std::nullopt;
      name = plain.row == ERow::CompBypass ? FormatText(plain.name, char('1' + n)) : FormatText(plain.name, n + 1);
      break;
  }
  bool disabled = false;
  switch (plain.disabledBy) {
    case EDisabledBy::kNever: break;
    case EDisabledBy::kGroupC: disabled = IsChannelInGroupC(out, n); break;
    case EDisabledBy::kGroupD: disabled = IsChannelInGroupD(out, n); break;
    case EDisabledBy::kGroupE: disabled = IsChannelInGroupE(out, n); break;
    case EDisabledBy::kAutoLimitersOrGroupD: disabled = out.autoLimiters != 0 || IsChannelInGroupD(out, n); break;
    case EDisabledBy::kCompressorLimiters: disabled = out.compressorLimiters != 0; break;
  }
  return Info(id, std::move(name), plain.kind, plain.maximum, plain.minimum, plain.textLimit, plain.options,
              disabled);
}

// A band's code as the change path would have written it for the band's filter type.
int BandCode(int code, int rangeKind, int type) {
  std::int32_t low = 0, high = 0;
  GetRangeLimits(rangeKind, type, low, high);
  return NerexCodeRange{low, high}.Clamp(code);
}

CParamValue PeqBandValue(int id, int field, const NerexEqBand& band) {
  const int type = PeqType(band);
  switch (field) {
    case kPeqFrequency:
      return FloatValue(id, IndexToFreq(BandCode(band.frequency, kRangeFrequency, type)), ParamKind::kFrequency);
    case kPeqQ:
      if (type == 8) return FloatValue(id, 2.0f * float(BandCode(band.q, kRangeQ, type)), ParamKind::kPhase);
      return FloatValue(id, IndexToQ(BandCode(band.q, kRangeQ, type)), ParamKind::kQ);
    case kPeqGain: return FloatValue(id, float(BandCode(band.gain, kRangeGain, type)) / 10.0f, ParamKind::kLevel);
    case kPeqType: return MakeIntParamValue(id, PeqType(band));
    default: return MakeBoolParamValue(id, Bit(band.type, 7));
  }
}

// Whether an output's parametric band is out of use: taken by a 48 dB crossover filter, or
// locked for the channel. A crossover record holds its type code in the Q byte (the type byte
// marks high or low pass).
bool IsOutputBandDisabled(const NerexOutputSection& out, int o, int b) {
  const int hp = out.highPass[std::size_t(o)].q, lp = out.lowPass[std::size_t(o)].q;
  auto is48dB = [](int type) { return type == 9 || type == 10 || type == 11; };
  if (is48dB(hp) && (b == 5 || b == 6)) return true;
  if (is48dB(lp) && (b == 7 || b == 8)) return true;
  return TestDeviceBit(out, o, b);
}

// What a row's descriptor or value depends on: the id and its channel or entry n, the model,
// its channels and the settings (read under the settings lock).
struct CRowContext {
  int id;
  int n;
  int model;
  int inputs;
  int outputs;
  const CNerexSeriesMemory& current;
};

// The rows of gains, delays, matrix gains, output links and auto limiters; none for other
// rows and for a channel the model lacks.
std::optional<CParamInfo> ChannelRowInfo(ERow row, const CRowContext& c) {
  const int id = c.id, n = c.n;
  const NerexOutputSection& out = c.current.outputs;
  switch (row) {
    case ERow::InputGain:
      if (n >= c.inputs) break;
      return Info(id, FormatText("Input Channel %c Gain", InputLetter(n)), ParamKind::kLevel,
                  IsFennickModel(c.model) ? 15.0f : 6.0f, -40.0f);
    case ERow::OutputGain: {
      if (n >= c.outputs) break;
      const std::string name = FormatText("Output Channel %d Gain", n + 1);
      if (IsChannelFlagClear(out, n)) return Info(id, name, ParamKind::kLevel, 15.0f, -40.0f);
      if (IsChannelFlagSetOnly(out, n)) return Info(id, name, ParamKind::kLevel, 12.0f, -12.0f);
      return Info(id, name, ParamKind::kLevel, 15.0f, -40.0f, 0, 0, true);
    }
    case ERow::InputDelay:
      if (!HasInputDelay(c.model) || n >= c.inputs) break;
      return Info(id, FormatText("Input Channel %c Delay", InputLetter(n)), ParamKind::kDelay, kMaxDelayMs, 0.0f, 0, 0,
                  c.model == kModelTorvex48 && out.mixerFlag == 1);
    case ERow::MatrixGain:
      if (!HasMatrixGains(c.model)) break;
      return Info(id, FormatText("Matrix Gain : Output Channel %d : Input Channel %c", n / 4 + 1, InputLetter(n % 4)),
                  ParamKind::kLevel, 15.0f, -40.1f, 0, kParamOptionMuteAtMinimum);
    case ERow::OutputLink:
      return Info(id, FormatText("Output Link : Channel %d+%d", n / 8 + 1, n % 8 + 1), ParamKind::kBool, 0, 0, 0,
                  kParamOptionReadOnly, IsChannelInAnyGroup(out, n / 8) || IsChannelInAnyGroup(out, n % 8));
    case ERow::AutoLimiters: {
      bool locked = false;
      for (int o = 0; o < c.outputs; ++o) locked = locked || IsChannelInGroupD(out, o);
      return Info(id, "Auto Limiters", ParamKind::kInteger, 0, 0, 0, kParamOptionReadOnly, locked);
    }
    default: break;
  }
  return std::nullopt;
}

// The rows of a dynamic-EQ band; none for a channel the model lacks.
std::optional<CParamInfo> DeqRowInfo(ERow row, const CRowContext& c) {
  const int id = c.id, input = c.n / 3, b = c.n % 3;
  if (input >= c.inputs) return std::nullopt;
  const bool fullBand = DeqBandTypeCode(c.current.deqBands[std::size_t(c.n)]) == 13;
  auto name = [&](const char* what) { return FormatText("Input Channel %d DEQ Band %d %s", input + 1, b + 1, what); };
  switch (row) {
    case ERow::DeqThreshold: return Info(id, name("Threshold"), ParamKind::kLevel, 0, 0, 0, kParamOptionReadOnly);
    case ERow::DeqRatio: return Info(id, name("Ratio"), ParamKind::kRatio, 0, 0, 0, kParamOptionReadOnly);
    case ERow::DeqAttack: return Info(id, name("Attack"), ParamKind::kTime, 0, 0, 0, kParamOptionReadOnly);
    case ERow::DeqRelease: return Info(id, name("Release"), ParamKind::kTime, 0, 0, 0, kParamOptionReadOnly);
    case ERow::DeqBypass: return Info(id, name("Bypass"), ParamKind::kBool, 0, 0, 0, kParamOptionReadOnly);
    case ERow::DeqFreq: return Info(id, name("Frequency"), ParamKind::kFrequency, 0, 0, 0, kParamOptionReadOnly, fullBand);
    case ERow::DeqEffect: return Info(id, name("Effect"), ParamKind::kLevel, 0, 0, 0, kParamOptionReadOnly);
    default: return Info(id, name("Q"), ParamKind::kQ, 0, 0, 0, kParamOptionReadOnly, fullBand);
  }
}

// The rows of the parametric bands, the crossovers and the dynamic-EQ bands; none for other
// rows and for a channel the model lacks.
std::optional<CParamInfo> FilterRowInfo(ERow row, const CRowContext& c) {
  const int id = c.id, n = c.n;
  const NerexOutputSection& out = c.current.outputs;
  switch (row) {
    case ERow::InPeqFreq:
    case ERow::InPeqQ:
    case ERow::InPeqGain:
    case ERow::InPeqType:
    case ERow::InPeqBypass: {
      const int input = n / 8, b = n % 8;
      if (input >= c.inputs) break;
      return PeqBandInfo(id, int(row) - int(ERow::InPeqFreq),
                         FormatText("Input PEQ : Channel %c : Band %d", InputLetter(input), b + 1),
                         c.current.inputs.PeqBand(input, b), false);
    }
    case ERow::OutPeqFreq:
    case ERow::OutPeqQ:
    case ERow::OutPeqGain:
    case ERow::OutPeqType:
    case ERow::OutPeqBypass: {
      const int o = n / 9, b = n % 9;
      if (o >= c.outputs) break;
      return PeqBandInfo(id, int(row) - int(ERow::OutPeqFreq),
                         FormatText("Output PEQ : Channel %d : Band %d", o + 1, b + 1), out.PeqBand(o, b),
                         IsOutputBandDisabled(out, o, b));
    }
    case ERow::HighPassFreq:
    case ERow::LowPassFreq:
    case ERow::HighPassType:
    case ERow::LowPassType: {
      if (n >= c.outputs) break;
      const bool high = row == ERow::HighPassFreq || row == ERow::HighPassType;
      const bool type = row == ERow::HighPassType || row == ERow::LowPassType;
      return Info(id, FormatText("Output XOver %s %s : Channel %d", high ? "HPF" : "LPF", type ? "Type" : "Freq", n + 1),
                  type ? ParamKind::kInteger : ParamKind::kFrequency, 0, 0, 0, kParamOptionReadOnly,
                  high ? IsChannelInGroupA(out, n) : IsChannelInGroupB(out, n));
    }
    case ERow::DeqThreshold:
    case ERow::DeqRatio:
    case ERow::DeqAttack:
    case ERow::DeqRelease:
    case ERow::DeqBypass:
    case ERow::DeqFreq:
    case ERow::DeqEffect:
    case ERow::DeqQ: return DeqRowInfo(row, c);
    default: break;
  }
  return std::nullopt;
}

// Codes are shown within the ranges the change path writes, whatever a unit or a file held.
CParamValue Tenths(int id, int code, NerexCodeRange range) {
  return FloatValue(id, float(range.Clamp(code)) / 10.0f, ParamKind::kLevel);
}
CParamValue DelayValue(int id, std::uint32_t code) {
  return FloatValue(id, SamplesToSeconds(std::min(code, std::uint32_t(kDelayCodes.high))), ParamKind::kDelay);
}

// The values of gains, mutes, phases, channel names, delays, matrix gains, limiters, links and
// routing; none for other rows.
std::optional<CParamValue> ChannelRowValue(ERow row, const CRowContext& c) {
  const int id = c.id, n = c.n;
  const auto u = std::size_t(n);
  const NerexInputSection& in = c.current.inputs;
  const NerexOutputSection& out = c.current.outputs;
  auto master = [&] { return std::size_t(GetOutputLinkMaster(out, n, c.outputs)); };
  switch (row) {
    case ERow::InputGain:
      return Tenths(id, in.gains[u], NerexCodeRange{kOutputGainCodes.low, GetInputGainHighCode(c.model)});
    case ERow::OutputGain:
      if (IsChannelFlagClear(out, n)) return Tenths(id, out.gains[u], kOutputGainCodes);
      if (IsChannelFlagSetOnly(out, n)) return Tenths(id, out.trims[u], kOutputTrimCodes);
      return FloatValue(id, 0.0f, ParamKind::kLevel);
    case ERow::InputMute: return MakeBoolParamValue(id, Bit(in.muteMask, n));
    case ERow::OutputMute: return MakeBoolParamValue(id, Bit(out.muteMask, n));
    case ERow::OutputPhase: return MakeBoolParamValue(id, Bit(out.phaseMask, n));
    case ERow::InputName: return MakeTextParamValue(id, TrimName(in.names[u]));
    case ERow::OutputName: return MakeTextParamValue(id, TrimName(out.names[u]));
    case ERow::InputDelay: return DelayValue(id, in.delays[u]);
    case ERow::OutputDelay: return DelayValue(id, out.delays[u]);
    case ERow::MatrixGain: {
      const auto o = std::size_t(n / 4), i = std::size_t(n % 4);
      if (c.model == kModelTorvex48)
        return FloatValue(id, float(150 - kMatrixLevelCodes.Clamp(out.matrixLevels[o][i])) / 10.0f, ParamKind::kLevel);
      return Tenths(id, in.matrixGains[o][i], kMatrixGainCodes);
    }
    case ERow::LimiterLevel:
      return FloatValue(id, float(22 - kLimiterLevelCodes.Clamp(out.limiters[u].level)), ParamKind::kLevel);
    case ERow::LimiterClipLevel:
      return FloatValue(id, float(kLimiterClipLevelCodes.Clamp(out.limiters[u].clipLevel)), ParamKind::kLevel);
    case ERow::LimiterAttack: return MakeIntParamValue(id, kLimiterAttackCodes.Clamp(out.limiters[master()].attack));
    case ERow::LimiterRelease:
      return MakeIntParamValue(id, kLimiterReleaseCodes.Clamp(out.limiters[master()].release));
    case ERow::LimiterClipRelease:
      return MakeIntParamValue(id, kLimiterClipReleaseCodes.Clamp(out.limiters[master()].clipRelease));
    case ERow::InputLinkBit: return MakeBoolParamValue(id, Bit(in.linkMasks[std::size_t(n / 4)], n % 4));
    case ERow::OutputLink: return MakeBoolParamValue(id, Bit(out.linkMasks[std::size_t(n / 8)], n % 8));
    case ERow::AutoLimiters: return MakeIntParamValue(id, out.autoLimiters);
    case ERow::MatrixRouting: return MakeBoolParamValue(id, Bit(out.routingMasks[std::size_t(n / 4)], n % 4));
    default: return std::nullopt;
  }
}

// The values of the compressors; none for other rows.
std::optional<CParamValue> CompressorRowValue(ERow row, const CRowContext& c) {
  const int id = c.id;
  const NerexOutputSection& out = c.current.outputs;
  // Threshold, ratio and times are the link master's; knee and bypass the output's own.
  auto own = [&]() -> const NerexCompressor& { return out.compressors[std::size_t(c.n)]; };
  auto linked = [&]() -> const NerexCompressor& {
    return out.compressors[std::size_t(GetOutputLinkMaster(out, c.n, c.outputs))];
  };
  switch (row) {
    case ERow::CompThreshold:
      return FloatValue(id, float(22 - kCompressorThresholdCodes.Clamp(linked().threshold)), ParamKind::kLevel);
    case ERow::CompRatio:
      return FloatValue(id, std::pow(2.0f, float(kCompressorRatioCodes.Clamp(linked().ratio)) / 4.0f),
                        ParamKind::kRatio);
    case ERow::CompAttack:
      return FloatValue(id, IndexToQuarterStep(kCompressorAttackCodes.Clamp(linked().attack)), ParamKind::kTime);
    case ERow::CompRelease:
      return FloatValue(id, IndexToQuarterStep(kCompressorReleaseCodes.Clamp(linked().release) + 37), ParamKind::kTime);
    case ERow::CompKnee: return FloatValue(id, float(kCompressorKneeCodes.Clamp(own().softKnee)), ParamKind::kLevel);
    case ERow::CompBypass: return MakeBoolParamValue(id, own().bypass != 0);
    case ERow::CompLimiters: return MakeIntParamValue(id, out.compressorLimiters);
    default: return std::nullopt;
  }
}

// The values of the parametric bands, the crossovers and the graphic EQ; none for other rows.
std::optional<CParamValue> FilterRowValue(ERow row, const CRowContext& c) {
  const int id = c.id, n = c.n;
  const auto u = std::size_t(n);
  const NerexOutputSection& out = c.current.outputs;
  switch (row) {
    case ERow::InPeqFreq:
    case ERow::InPeqQ:
    case ERow::InPeqGain:
    case ERow::InPeqType:
    case ERow::InPeqBypass:
      return PeqBandValue(id, int(row) - int(ERow::InPeqFreq), c.current.inputs.PeqBand(n / 8, n % 8));
    case ERow::OutPeqFreq:
    case ERow::OutPeqQ:
    case ERow::OutPeqGain:
    case ERow::OutPeqType:
    case ERow::OutPeqBypass:
      return PeqBandValue(id, int(row) - int(ERow::OutPeqFreq), out.PeqBand(n / 9, n % 9));
    case ERow::HighPassFreq:
      return FloatValue(id, IndexToFreq(kHighPassCodes.Clamp(out.highPass[u].frequency)), ParamKind::kFrequency);
    case ERow::LowPassFreq:
      return FloatValue(id, IndexToFreq(kLowPassCodes.Clamp(out.lowPass[u].frequency)), ParamKind::kFrequency);
    case ERow::HighPassType: return MakeIntParamValue(id, kCrossoverTypeCodes.Clamp(out.highPass[u].q));
    case ERow::LowPassType: return MakeIntParamValue(id, kCrossoverTypeCodes.Clamp(out.lowPass[u].q));
    case ERow::GeqBand:
      return FloatValue(id, float(c.current.geq.bands[std::size_t(n / 28)][std::size_t(n % 28)]) / 10.0f,
                        ParamKind::kLevel);
    case ERow::GeqBypass: return MakeBoolParamValue(id, c.current.geq.bypass[u] != 0);
    case ERow::GeqMode: return MakeIntParamValue(id, c.current.geq.modes[u]);
    default: return std::nullopt;
  }
}

// The values of the dynamic-EQ bands and flags; none for other rows.
std::optional<CParamValue> DeqRowValue(ERow row, const CRowContext& c) {
  const int id = c.id;
  const NerexDeqBand& band = c.current.deqBands[std::size_t(c.n) % kNerexDeqBands];
  switch (row) {
    case ERow::DeqThreshold:
      return FloatValue(id, float(44 - kDeqThresholdCodes.Clamp(band.threshold)) * 0.5f, ParamKind::kLevel);
    case ERow::DeqRatio:
      return FloatValue(id, std::pow(2.0f, float(kDeqRatioCodes.Clamp(band.ratio)) / (band.mode == 0 ? 8.0f : 16.0f)),
                        ParamKind::kRatio);
    case ERow::DeqAttack:
      return FloatValue(id, IndexToQuarterStep(kDeqAttackCodes.Clamp(band.attack)), ParamKind::kTime);
    case ERow::DeqRelease:
      return FloatValue(id, IndexToQuarterStep(kDeqReleaseCodes.Clamp(band.release) + 29), ParamKind::kTime);
    case ERow::DeqMode: return MakeIntParamValue(id, band.mode);
    case ERow::DeqKind: return MakeIntParamValue(id, band.filterKind);
    case ERow::DeqBypass: return MakeBoolParamValue(id, band.bypass != 0);
    case ERow::DeqFreq:
      return FloatValue(id, IndexToFreq(kDeqFrequencyCodes.Clamp(band.frequency)), ParamKind::kFrequency);
    case ERow::DeqEffect: return FloatValue(id, float(kDeqEffectCodes.Clamp(band.effect) + 6), ParamKind::kLevel);
    case ERow::DeqQ:
      return FloatValue(id, IndexToQ(BandCode(band.q, kRangeQ, GetFilterTypeCode(band))), ParamKind::kQ);
    case ERow::DynamicEqMode: return MakeIntParamValue(id, c.current.deqMode ? 1 : 0);
    case ERow::DynamicEqLinking: return MakeIntParamValue(id, c.current.deqLinking ? 1 : 0);
    default: return std::nullopt;
  }
}

}  // namespace

bool IsChannelFlagClear(const NerexOutputSection& outputs, int output) {
  return !Bit(outputs.channelGroups[kGroupGainLockA], output);
}

bool IsChannelFlagSetOnly(const NerexOutputSection& outputs, int output) {
  return Bit(outputs.channelGroups[kGroupGainLockA], output) && !Bit(outputs.channelGroups[kGroupGainLockB], output);
}

int GetDeqBandTypeCode(const NerexDeqBand& band) { return DeqBandTypeCode(band); }




CParamInfo CNerexSeriesDevice::GetParameterAt(int id) {
  ERow row;
  int n = 0;
  if (!FindRow(id, row, n)) return NullInfo();
  CSingleLock lock(SettingsLock());
  const int inputs = GetInputCount(), outputs = GetOutputCount();
  if (const CPlainRow* plain = FindPlainRow(row))
    return PlainRowInfo(*plain, id, n, inputs, outputs, m_current.outputs).value_or(NullInfo());
  // The rows that depend on the model or on more of the settings.
  const CRowContext context{id, n, GetModel(), inputs, outputs, m_current};
  if (std::optional<CParamInfo> info = ChannelRowInfo(row, context)) return *info;
  return FilterRowInfo(row, context).value_or(NullInfo());
}

CParamValue CNerexSeriesDevice::GetCurrentValue(int id) {
  ERow row;
  int n = 0;
  if (!FindRow(id, row, n)) return MakeNoParamValue();
  CSingleLock lock(SettingsLock());
  switch (row) {
    case ERow::DeviceName: return MakeTextParamValue(id, GetName());
    case ERow::Online: return MakeBoolParamValue(id, IsConnected());
    case ERow::Offline: return MakeBoolParamValue(id, !IsConnected());
    case ERow::Warnings: return MakeBoolParamValue(id, m_warningBits != 0);
    case ERow::Unused1412:
    case ERow::Unused1578: return MakeBoolParamValue(id, false);
    default: break;
  }
  const CRowContext context{id, n, GetModel(), GetInputCount(), GetOutputCount(), m_current};
  for (auto value : {ChannelRowValue, CompressorRowValue, FilterRowValue, DeqRowValue})
    if (std::optional<CParamValue> v = value(row, context)) return *v;
  return MakeNoParamValue();
}

void CNerexSeriesDevice::ListParameters(int controlKind, std::vector<CParamInfo>& out) {
  const int model = GetModel();
  const int inputs = GetInputCount(), outputs = GetOutputCount();
  auto add = [&](int id) { out.push_back(GetParameterAt(id)); };
  auto inputGains = [&] { for (int i = 0; i < inputs; ++i) add(kParamInputGain + i); };
  auto outputGains = [&] { for (int o = 0; o < outputs; ++o) add(kParamOutputGain + o); };
  auto limiterLevels = [&] { for (int o = 0; o < outputs; ++o) add(kParamLimiterLevel + o); };
  auto clipLevels = [&] { for (int o = 0; o < outputs; ++o) add(kParamLimiterClipLevel + o); };
  auto inputDelays = [&] {
    if (HasInputDelay(model))
      for (int i = 0; i < inputs; ++i) add(kParamInputDelay + i);
  };
  auto outputDelays = [&] { for (int o = 0; o < outputs; ++o) add(kParamOutputDelay + o); };
  auto inputPeq = [&](int first) {
    for (int i = 0; i < inputs; ++i)
      for (int b = 0; b < kNerexInputPeqBands; ++b) add(first + kNerexInputPeqBands * i + b);
  };
  auto outputPeq = [&](int first) {
    for (int o = 0; o < outputs; ++o)
      for (int b = 0; b < kNerexOutputPeqBands; ++b) add(first + kNerexOutputPeqBands * o + b);
  };
  auto matrixGains = [&] {
    if (!HasMatrixGains(model)) return;
    for (int o = 0; o < outputs; ++o)
      for (int i = 0; i < inputs; ++i) add(kParamMatrixGain + 4 * o + i);
  };
  auto buttons = [&] {
    for (int i = 0; i < inputs; ++i) add(kParamInputMute + i);
    for (int o = 0; o < outputs; ++o) add(kParamOutputMute + o);
    for (int o = 0; o < outputs; ++o) add(kParamOutputPhase + o);
    inputPeq(kParamInputPeqBypass);
    outputPeq(kParamOutputPeqBypass);
  };

  switch (controlKind) {
    case 2:  // LED
      add(kParamOnlineStatus);
      add(kParamOfflineStatus);
      add(kParamWarningsActive);
      buttons();
      break;
    case 8:  // button
      buttons();
      break;
    case 3:  // fader
    case 4:  // knob
      inputGains();
      outputGains();
      limiterLevels();
      clipLevels();
      inputDelays();
      outputDelays();
      inputPeq(kParamInputPeqGain);
      outputPeq(kParamOutputPeqGain);
      matrixGains();
      break;
    case 5:  // text
      add(kParamDeviceName);
      for (int i = 0; i < inputs; ++i) add(kParamInputName + i);
      for (int o = 0; o < outputs; ++o) add(kParamOutputName + o);
      inputGains();
      outputGains();
      limiterLevels();
      clipLevels();
      inputDelays();
      outputDelays();
      inputPeq(kParamInputPeqFrequency);
      inputPeq(kParamInputPeqQ);
      inputPeq(kParamInputPeqGain);
      outputPeq(kParamOutputPeqFrequency);
      outputPeq(kParamOutputPeqQ);
      outputPeq(kParamOutputPeqGain);
      matrixGains();
      break;
    default:
      break;
  }
}

void CNerexSeriesDevice::ListMatchingParameters(const CParamInfo& like, std::vector<CParamInfo>& out) {
  const CParamInfo null = NullInfo();
  const bool any = like == null;
  for (int id = 0; id <= kLastCatalogueId; ++id) {
    CParamInfo info = GetParameterAt(id);
    if (info == null) continue;
    if (any || info.kind == like.kind) out.push_back(std::move(info));
  }
}

CParamInfo CNerexSeriesDevice::FindParameter(const CParamInfo& info) {
  // The catalogue is keyed by id: only that id's descriptor can match.
  if (info.id >= 0 && info.id <= kLastCatalogueId) {
    CParamInfo entry = GetParameterAt(info.id);
    if (entry.name != "NULL" && entry == info) return entry;
  }
  return NullInfo();
}
