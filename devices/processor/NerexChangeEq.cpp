// The filter and dynamics writes of a processor's change path: parametric EQ bands of inputs
// and outputs, the output crossovers, the input graphic EQ, the output compressors and the
// input dynamic-EQ bands. Each follows the channel-write pattern of the change path (link
// group, lock, one frame for the link master, re-notification). UI thread.
#include <algorithm>
#include <cmath>

#include "core/protocol/ControlMessage.h"
#include "core/model/DeviceHost.h"
#include "core/values/ValueCodes.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/NerexValueRanges.h"
#include "platform/Sync.h"

namespace {

bool Bit(unsigned mask, int bit) { return (mask >> bit) & 1u; }
bool InRange(int id, int first, int count) { return id >= first && id < first + count; }

int Clamp(int code, int fieldKind, int filterType) {
  std::int32_t low = 0, high = 0;
  GetRangeLimits(fieldKind, filterType, low, high);
  return std::clamp(code, int(low), int(high));
}

std::int16_t ToInt16(int v) { return std::int16_t(std::clamp(v, -32768, 32767)); }

// --- Parametric EQ bands ---

enum EPeqField { kPeqFrequency, kPeqQ, kPeqGain, kPeqType, kPeqBypass };

int PeqType(const NerexEqBand& band) { return band.type & 0x7F; }
bool TypeShowsQ(int type) { return type == 8 || type == 11 || type == 12; }

// One change of a parametric-EQ band: the band, the link group it writes and the group's
// master, whose band is sent.
struct CPeqChange {
  CPeqChange(CNerexSeriesDevice& device, bool isInput, int what, int n, const CParamValue& requested)
      : d(device),
        value(requested),
        input(isInput),
        field(what),
        width(isInput ? kNerexInputPeqBands : kNerexOutputPeqBands),
        channel(n / width),
        band(n % width),
        group(isInput ? InputLinkGroup(device, channel) : OutputLinkGroup(device, channel)),
        master(isInput ? InputLinkMaster(device, channel) : OutputLinkMaster(device, channel)) {}

  // The first id of a field's range.
  int FirstId(int f) const {
    static constexpr int kInputs[] = {kParamInputPeqFrequency, kParamInputPeqQ, kParamInputPeqGain,
                                      kParamInputPeqType, kParamInputPeqBypass};
    static constexpr int kOutputs[] = {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain,
                                       kParamOutputPeqType, kParamOutputPeqBypass};
    return input ? kInputs[f] : kOutputs[f];
  }
  NerexEqBand& Band(CNerexSeriesMemory& image, int ch) const {
    return input ? image.inputs.PeqBand(ch, band) : image.outputs.PeqBand(ch, band);
  }
  template <class Write>
  void ForGroup(CNerexSeriesMemory& image, Write write) const {
    for (int j = 0; j < 8; ++j)
      if (Bit(group, j)) write(Band(image, j));
  }
  // Every band of the group hears the field's value again.
  void RenotifyField(int f) const {
    for (int j = 0; j < 8; ++j)
      if (Bit(group, j)) Renotify(d, FirstId(f) + width * j + band);
  }
  // An output band that the lock of its channel's band keeps takes no change: the group's
  // widgets hear what the device keeps.
  bool Kept() const {
    if (input) return false;
    bool locked;
    {
      CSingleLock lock(d.SettingsLock());
      locked = TestDeviceBit(d.GetCurrentSettings().outputs, channel, band);
    }
    if (!locked) return false;
    for (int j = 0; j < 8; ++j)
      if (Bit(group, j)) RenotifyKept(d, FirstId(field) + width * j + band, value);
    return true;
  }

  CNerexSeriesDevice& d;
  const CParamValue& value;
  const bool input;
  const int field;
  const int width;
  const int channel;
  const int band;
  const unsigned group;
  const int master;
};

// What storing a band's change leaves to do: the master's band to send (unless send is
// cleared), and for a type change the types before and after and whether the Q moved.
struct CPeqStored {
  NerexEqBand frame;
  bool send = true;
  bool qMoved = false;
  int oldType = 0;
  int newType = 0;
};

// Frequency, Q and gain (under the settings lock). A frequency code of 0 and an unchanged Q or
// gain leave the band alone; any other code is clamped to the range of the band's type and
// written into the whole group.
void StorePeqNumber(const CPeqChange& c, CNerexSeriesMemory& image, CPeqStored& out) {
  const NerexEqBand& m = c.Band(image, c.master);
  const float v = c.value.value;
  int code = 0, range = kRangeGain;
  bool leave = false;
  switch (c.field) {
    case kPeqFrequency:
      code = FreqToIndex(v);
      leave = code == 0;
      range = kRangeFrequency;
      break;
    case kPeqQ:
      code = std::min(c.value.kind == ParamKind::kPhase ? int(BoundedForCode(v)) / 2 : QToIndex(v), 128);
      leave = code == m.q;
      range = kRangeQ;
      break;
    default:
      code = RoundHalfUp(v * 10.0f);
      leave = code == m.gain;
      break;
  }
  if (leave) {
    out.send = false;
    return;
  }
  const int clamped = Clamp(code, range, PeqType(m));
  c.ForGroup(image, [&](NerexEqBand& x) {
    if (c.field == kPeqFrequency) x.frequency = std::uint16_t(clamped);
    else if (c.field == kPeqQ) x.q = std::uint8_t(clamped);
    else x.gain = ToInt16(clamped);
  });
}

// The filter type (under the settings lock): written into the group, the hardware's fix-ups
// applied, then the master's gain, Q and frequency held to the new type's ranges and any that
// moved copied to the group.
void StorePeqType(const CPeqChange& c, CNerexSeriesDevice& d, CNerexSeriesMemory& image, CPeqStored& out) {
  NerexEqBand& m = c.Band(image, c.master);
  out.oldType = PeqType(m);
  // A type beyond the list (a linked integer of another list) is held at its last entry.
  const int typeCode = kFilterTypeCodes.Clamp(c.value.integer);
  c.ForGroup(image, [&](NerexEqBand& x) { x.type = std::uint8_t((x.type & 0x80) | typeCode); });
  ApplyHardwareVariantFixups(image, d.GetModel(), d.GetHardwareCode());
  out.newType = PeqType(m);
  const NerexEqBand before = m;
  m.gain = ToInt16(Clamp(m.gain, kRangeGain, out.newType));
  m.q = std::uint8_t(Clamp(m.q, kRangeQ, out.newType));
  m.frequency = std::uint16_t(Clamp(m.frequency, kRangeFrequency, out.newType));
  out.qMoved = m.q != before.q;
  c.ForGroup(image, [&](NerexEqBand& x) {
    if (m.gain != before.gain) x.gain = m.gain;
    if (m.q != before.q) x.q = m.q;
    if (m.frequency != before.frequency) x.frequency = m.frequency;
  });
}

// The bypass bit beside the filter type's four bits (under the settings lock).
void StorePeqBypass(const CPeqChange& c, CNerexSeriesMemory& image) {
  const std::uint8_t byte = std::uint8_t((c.value.flag ? 0x80 : 0) | (c.Band(image, c.master).type & 0x0F));
  c.ForGroup(image, [&](NerexEqBand& x) { x.type = byte; });
}

// The band's frame and the widgets' notices; a type change announces the fields it may have
// moved, the Q when it moved or either type shows one.
void SendPeqChange(const CPeqChange& c, const CPeqStored& s) {
  const std::uint8_t channel = c.input ? InputChannelByte(c.master) : OutputChannelByte(c.master);
  auto send = [&] {
    QueueBuilt(c.d, false,
               [&](CControlMessage& msg) { return BuildCommand16LenMessage(c.d, msg, s.frame, channel, c.band); });
  };
  if (c.field == kPeqType) {
    c.RenotifyField(kPeqType);
    send();
    c.RenotifyField(kPeqGain);
    c.RenotifyField(kPeqFrequency);
    if (s.qMoved || TypeShowsQ(s.oldType) || TypeShowsQ(s.newType)) c.RenotifyField(kPeqQ);
  } else {
    if (s.send) send();
    c.RenotifyField(c.field);
  }
  if (INerexSeriesPanel* panel = c.d.GetNerexPanel()) {
    const bool outermost = c.d.IsOutermostChange(c.value.id);
    if (c.input) panel->SelectInputPeqBand(c.band, outermost);
    else panel->SelectOutputEqBand(c.band, outermost);
  }
}

void PeqBand(CNerexSeriesDevice& d, bool input, int field, int n, const CParamValue& value) {
  const CPeqChange change(d, input, field, n, value);
  if (change.Kept()) return;
  CPeqStored stored;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = WritableSettings(d);
    switch (field) {
      case kPeqFrequency:
      case kPeqQ:
      case kPeqGain: StorePeqNumber(change, image, stored); break;
      case kPeqType: StorePeqType(change, d, image, stored); break;
      default: StorePeqBypass(change, image); break;
    }
    stored.frame = change.Band(image, change.master);
  }
  SendPeqChange(change, stored);
}

// --- Crossovers ---

bool Is48dB(int type) { return type == 9 || type == 10 || type == 11; }

// One change of an output's crossover filter: high-pass or low-pass, type or frequency.
struct CCrossoverChange {
  int output;
  bool high;
  bool isType;
  unsigned group;
  int master;
};

// What storing a crossover change leaves to do: the master's filter to send (unless send is
// cleared), the types before and after, and the dynamics times that followed.
struct CCrossoverStored {
  NerexEqBand frame;
  bool send = true;
  int oldType = 0;
  int newType = 0;
  std::vector<std::int32_t> derived;
};

// The type (under the settings lock). A crossover record keeps its type code where a
// parametric band keeps its Q.
void StoreCrossoverType(const CCrossoverChange& c, NerexOutputSection& out, int requested, CCrossoverStored& s) {
  auto& filters = c.high ? out.highPass : out.lowPass;
  s.oldType = filters[std::size_t(c.master)].q;
  s.newType = kCrossoverTypeCodes.Clamp(requested);
  for (int j = 0; j < kNerexMaxOutputs; ++j)
    if (Bit(c.group, j)) filters[std::size_t(j)].q = std::uint8_t(s.newType);
}

// The frequency (under the settings lock). The high-pass stays at or below the low-pass,
// whatever the range clamp did; the automatic dynamics times follow the high-pass.
void StoreCrossoverFrequency(const CCrossoverChange& c, NerexOutputSection& out, float requested,
                             CCrossoverStored& s) {
  auto& filters = c.high ? out.highPass : out.lowPass;
  const auto m = std::size_t(c.master);
  int code = FreqToIndex(requested);
  if (c.high) code = std::min(kHighPassCodes.Clamp(code), int(out.lowPass[m].frequency));
  else code = std::max(kLowPassCodes.Clamp(code), int(out.highPass[m].frequency));
  if (code == filters[m].frequency) {
    s.send = false;
    return;
  }
  for (int j = 0; j < kNerexMaxOutputs; ++j)
    if (Bit(c.group, j)) filters[std::size_t(j)].frequency = std::uint16_t(code);
  if (c.high && out.autoLimiters) s.derived = ApplyAutoLimiters(out, true);
  if (c.high && out.compressorLimiters) {
    const std::vector<std::int32_t> more = ApplyCompressorLimiters(out, true);
    s.derived.insert(s.derived.end(), more.begin(), more.end());
  }
}

// The filter's frame and the widgets' notices: a 48 dB filter takes two parametric bands of
// the output, whose widgets hear their values again when a type change goes to or from one.
void SendCrossoverChange(CNerexSeriesDevice& d, const CCrossoverChange& c, const CCrossoverStored& s, int id) {
  if (s.send) {
    const auto f = std::uint16_t(s.frame.frequency);
    QueuePackedWrite(d, c.high ? kCmdHighPass : kCmdLowPass,
                     {OutputChannelByte(c.master), s.frame.q, std::uint8_t(f & 0xFF), std::uint8_t(f >> 8)});
  }
  for (std::int32_t announce : s.derived) Renotify(d, announce);
  if (c.isType && (Is48dB(s.oldType) || Is48dB(s.newType))) {
    const int firstBand = c.high ? 5 : 7;
    for (int b = firstBand; b < firstBand + 2; ++b)
      for (int field : {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain, kParamOutputPeqType,
                        kParamOutputPeqBypass})
        Renotify(d, field + kNerexOutputPeqBands * c.master + b);
  }
  const int kind = (id - kParamHighPassFrequency) / 8;
  RenotifyGroup(d, kParamHighPassFrequency + 8 * kind, c.group);
  // The output curve holds the output's high-pass as band 9 and its low-pass as band 10.
  if (INerexSeriesPanel* panel = d.GetNerexPanel())
    panel->SelectOutputEqBand(c.high ? kOutputCurveHighPassBand : kOutputCurveLowPassBand, d.IsOutermostChange(id));
}

void Crossover(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  const int k = (id - kParamHighPassFrequency) / 8, o = (id - kParamHighPassFrequency) % 8;
  const bool high = k == 0 || k == 2;
  bool locked;
  {
    CSingleLock lock(d.SettingsLock());
    const NerexOutputSection& out = d.GetCurrentSettings().outputs;
    locked = high ? IsChannelInGroupA(out, o) : IsChannelInGroupB(out, o);
  }
  if (locked) {
    RenotifyKept(d, id, value);
    return;
  }
  const CCrossoverChange change{o, high, k >= 2, OutputLinkGroup(d, o), OutputLinkMaster(d, o)};
  CCrossoverStored stored;
  {
    CSingleLock lock(d.SettingsLock());
    NerexOutputSection& out = WritableSettings(d).outputs;
    if (change.isType) StoreCrossoverType(change, out, value.integer, stored);
    else StoreCrossoverFrequency(change, out, value.value, stored);
    stored.frame = (high ? out.highPass : out.lowPass)[std::size_t(change.master)];
  }
  SendCrossoverChange(d, change, stored, id);
}

// --- Graphic EQ ---

void QueueGeqBlock(CNerexSeriesDevice& d) {
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildBlock42Message(d, m, 0, 0xC0); });
}

void GeqBand(CNerexSeriesDevice& d, int n, float value) {
  const int c = n / kNerexGeqBands, band = n % kNerexGeqBands;
  const std::int16_t g = ToInt16(RoundHalfUp(value * 10.0f));
  const unsigned group = InputLinkGroup(d, c);
  const int master = InputLinkMaster(d, c);
  {
    CSingleLock lock(d.SettingsLock());
    auto& bands = WritableSettings(d).geq.bands;
    for (int j = 0; j < kNerexMaxInputs; ++j)
      if (Bit(group, j)) bands[std::size_t(j)][std::size_t(band)] = g;
  }
  const auto v = std::uint16_t(g);
  QueuePackedWrite(d, kCmdGeqBand,
                   {InputChannelByte(master), 0, std::uint8_t(band), std::uint8_t(v & 0xFF), std::uint8_t(v >> 8)});
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->SelectGeqBand(band, 1);
}

void GeqFlags(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  {
    CSingleLock lock(d.SettingsLock());
    NerexGeqBlock& geq = WritableSettings(d).geq;
    if (id < kParamGeqMode) {
      const unsigned group = InputLinkGroup(d, id - kParamGeqBypass);
      for (int j = 0; j < kNerexMaxInputs; ++j)
        if (Bit(group, j)) geq.bypass[std::size_t(j)] = value.flag ? 1 : 0;
    } else {
      // One Q shape for the four inputs, whichever of the four ids is used.
      geq.modes.fill(std::uint8_t(value.integer));
    }
  }
  QueueGeqBlock(d);
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->RefreshGeqCurve(true);
}

void GeqFlatten(CNerexSeriesDevice& d, int input) {
  const unsigned group = InputLinkGroup(d, input);
  {
    CSingleLock lock(d.SettingsLock());
    auto& bands = WritableSettings(d).geq.bands;
    for (int j = 0; j < kNerexMaxInputs; ++j)
      if (Bit(group, j)) bands[std::size_t(j)].fill(0);
  }
  QueueGeqBlock(d);
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) panel->RefreshGeqSection(true);
}

// --- Compressors (Torvex48) ---

enum ECompField { kCompThreshold, kCompRatio, kCompAttack, kCompRelease, kCompKnee, kCompBypass };

void QueueCompressor(CNerexSeriesDevice& d, int output) {
  NerexCompressor record;
  bool limiters;
  {
    CSingleLock lock(d.SettingsLock());
    const NerexOutputSection& out = d.GetCurrentSettings().outputs;
    record = out.compressors[std::size_t(output)];
    limiters = out.compressorLimiters != 0;
  }
  QueueBuilt(d, false, [&](CControlMessage& m) {
    return BuildCommand23Message(d, m, record, OutputChannelByte(output), limiters);
  });
}

void Compressor(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  const int field = (id - kParamCompressorThreshold) / 8, o = (id - kParamCompressorThreshold) % 8;
  const int firstOf[] = {kParamCompressorThreshold, kParamCompressorRatio, kParamCompressorAttack,
                         kParamCompressorRelease, kParamCompressorSoftKnee, kParamCompressorBypass};
  const unsigned group = OutputLinkGroup(d, o);
  const int master = OutputLinkMaster(d, o);
  const float v = value.value;
  int code = 0;
  switch (field) {
    case kCompThreshold: code = kCompressorThresholdCodes.Clamp(22 - RoundHalfAway(BoundedForCode(v))); break;
    case kCompRatio: code = kCompressorRatioCodes.Clamp(RoundHalfUp(4.0f * std::log2(v))); break;
    case kCompAttack: code = kCompressorAttackCodes.Clamp(QuarterStepToIndex(v)); break;
    case kCompRelease: code = kCompressorReleaseCodes.Clamp(QuarterStepToIndex(v) - 37); break;
    case kCompKnee: code = kCompressorKneeCodes.Clamp(RoundHalfUp(v)); break;
    default: code = value.flag ? 1 : 0; break;
  }
  auto member = [field](NerexCompressor& c) -> std::uint8_t& {
    switch (field) {
      case kCompThreshold: return c.threshold;
      case kCompRatio: return c.ratio;
      case kCompAttack: return c.attack;
      case kCompRelease: return c.release;
      case kCompKnee: return c.softKnee;
      default: return c.bypass;
    }
  };
  bool send = true, otherMoved = false;
  {
    CSingleLock lock(d.SettingsLock());
    auto& records = WritableSettings(d).outputs.compressors;
    if (field != kCompBypass && member(records[std::size_t(master)]) == code) {
      send = false;
    } else {
      for (int j = 0; j < kNerexMaxOutputs; ++j) {
        if (!Bit(group, j)) continue;
        NerexCompressor& r = records[std::size_t(j)];
        member(r) = std::uint8_t(code);
        // Attack and release keep within 37 codes of each other.
        if (field == kCompAttack && code > r.release + 37) {
          r.release = std::uint8_t(code - 37);
          otherMoved = true;
        }
        if (field == kCompRelease && code < r.attack - 37) {
          r.attack = std::uint8_t(code + 37);
          otherMoved = true;
        }
      }
    }
  }
  if (send) QueueCompressor(d, master);
  if (field == kCompBypass) {
    Renotify(d, id);
    return;
  }
  RenotifyGroup(d, firstOf[field], group);
  if (otherMoved) RenotifyGroup(d, field == kCompAttack ? kParamCompressorRelease : kParamCompressorAttack, group);
}

void CompressorLimiters(CNerexSeriesDevice& d, bool on) {
  std::vector<std::int32_t> announce;
  {
    CSingleLock lock(d.SettingsLock());
    announce = ApplyCompressorLimiters(WritableSettings(d).outputs, on);
  }
  QueueCompressor(d, 0);
  for (std::int32_t id : announce) Renotify(d, id);
}

// --- Dynamic EQ (Torvex48) ---

enum EDeqField { kDeqThreshold, kDeqRatio, kDeqAttack, kDeqRelease, kDeqMode, kDeqKind, kDeqBypass, kDeqFrequency,
                 kDeqEffect, kDeqQ };
constexpr int kDeqCompanion = 1578;  // + 3 x input + band: the band's graph

// One change of a dynamic-EQ band: the band, the group it writes and the group's master, and
// what storing it leaves to do (send the master's frame unless send is cleared; announce the
// other time or the Q when they moved).
struct CDeqChange {
  int field;
  int band;
  unsigned group;
  int master;
  bool send = true;
  bool otherMoved = false;
  bool qMoved = false;
};

template <class Write>
void ForDeqGroup(CNerexSeriesMemory& image, const CDeqChange& c, Write write) {
  for (int j = 0; j < kNerexMaxInputs; ++j)
    if (Bit(c.group, j)) write(image.DeqBand(j, c.band));
}

// Threshold, ratio and effect: an unchanged code leaves the band alone, another is clamped and
// written into the group.
void StoreDeqByte(CNerexSeriesMemory& image, CDeqChange& c, float v) {
  const NerexDeqBand& m = image.DeqBand(c.master, c.band);
  int raw = 0;
  std::uint8_t NerexDeqBand::*member = &NerexDeqBand::effect;
  NerexCodeRange range = kDeqEffectCodes;
  switch (c.field) {
    case kDeqThreshold:
      raw = 44 - RoundHalfAway(2.0f * BoundedForCode(v));
      member = &NerexDeqBand::threshold;
      range = kDeqThresholdCodes;
      break;
    case kDeqRatio:
      raw = RoundHalfAway((m.mode == 0 ? 8.0f : 16.0f) * std::log2(v));
      member = &NerexDeqBand::ratio;
      range = kDeqRatioCodes;
      break;
    default: raw = RoundHalfAway(BoundedForCode(v)) - 6; break;
  }
  if (raw == m.*member) {
    c.send = false;
    return;
  }
  const auto code = std::uint8_t(range.Clamp(raw));
  ForDeqGroup(image, c, [&](NerexDeqBand& x) { x.*member = code; });
}

// Attack and release keep within 29 codes of each other: the other one follows.
void StoreDeqTime(CNerexSeriesMemory& image, CDeqChange& c, float v) {
  if (c.field == kDeqAttack) {
    const int code = kDeqAttackCodes.Clamp(QuarterStepToIndex(v));
    ForDeqGroup(image, c, [&](NerexDeqBand& x) {
      x.attack = std::uint8_t(code);
      if (code > x.release + 29) {
        x.release = std::uint8_t(code - 29);
        c.otherMoved = true;
      }
    });
  } else {
    const int code = kDeqReleaseCodes.Clamp(QuarterStepToIndex(v) - 29);
    ForDeqGroup(image, c, [&](NerexDeqBand& x) {
      x.release = std::uint8_t(code);
      if (code < x.attack - 29) {
        x.attack = std::uint8_t(code + 29);
        c.otherMoved = true;
      }
    });
  }
}

// The frequency (an unchanged code leaves the band alone) and the Q (held to the range of the
// band's filter type).
void StoreDeqFilter(CNerexSeriesMemory& image, CDeqChange& c, float v) {
  const NerexDeqBand& m = image.DeqBand(c.master, c.band);
  if (c.field == kDeqQ) {
    const auto code = std::uint8_t(Clamp(std::min(QToIndex(v), 128), kRangeQ, GetFilterTypeCode(m)));
    ForDeqGroup(image, c, [&](NerexDeqBand& x) { x.q = code; });
    return;
  }
  const int code = FreqToIndex(v);
  if (code == m.frequency) {
    c.send = false;
    return;
  }
  const auto clamped = std::uint16_t(kDeqFrequencyCodes.Clamp(code));
  ForDeqGroup(image, c, [&](NerexDeqBand& x) { x.frequency = clamped; });
}

// The filter kind; the Q follows into the new kind's range. False when the kind is the one
// the band has: nothing at all happens then.
bool StoreDeqKind(CNerexSeriesMemory& image, CDeqChange& c, std::int32_t kind) {
  const NerexDeqBand& m = image.DeqBand(c.master, c.band);
  if (kind == m.filterKind) return false;
  ForDeqGroup(image, c, [&](NerexDeqBand& x) { x.filterKind = std::uint8_t(kind); });
  const auto q = std::uint8_t(Clamp(m.q, kRangeQ, GetFilterTypeCode(m)));
  if (q != m.q) {
    c.qMoved = true;
    ForDeqGroup(image, c, [&](NerexDeqBand& x) { x.q = q; });
  }
  return true;
}

// The band's frame and the widgets' notices (each band's graph too).
void SendDeqChange(CNerexSeriesDevice& d, const CDeqChange& c, int id) {
  if (c.send) QueueBuilt(d, false, [&](CControlMessage& m) { return BuildDeqMessage(d, m, c.master + 1); });
  auto renotify = [&](int firstId) {
    for (int j = 0; j < kNerexMaxInputs; ++j) {
      if (!Bit(c.group, j)) continue;
      Renotify(d, firstId + kNerexDeqBandsPerInput * j + c.band);
      Renotify(d, kDeqCompanion + kNerexDeqBandsPerInput * j + c.band);
    }
  };
  renotify(kParamDeqThreshold + kNerexDeqBands * c.field);
  if (c.otherMoved) renotify(c.field == kDeqAttack ? kParamDeqRelease : kParamDeqAttack);
  if (c.qMoved) renotify(kParamDeqQ);
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) {
    panel->SelectDeqBand(c.band, d.IsOutermostChange(id));
    if (c.field == kDeqMode) panel->RefreshDeqSection(true);
  }
}

void DynamicEq(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  const int n = (id - kParamDeqThreshold) % kNerexDeqBands;
  const int input = n / kNerexDeqBandsPerInput;
  CDeqChange c{(id - kParamDeqThreshold) / kNerexDeqBands, n % kNerexDeqBandsPerInput, 0, 0};
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = WritableSettings(d);
    // With dynamic-EQ linking the bands of each input stand alone; else they follow the links.
    const bool own = image.deqLinking != 0;
    c.group = own ? 1u << input : InputLinkGroup(d, input);
    c.master = own ? input : InputLinkMaster(d, input);
    switch (c.field) {
      case kDeqThreshold:
      case kDeqRatio:
      case kDeqEffect: StoreDeqByte(image, c, value.value); break;
      case kDeqAttack:
      case kDeqRelease: StoreDeqTime(image, c, value.value); break;
      case kDeqFrequency:
      case kDeqQ: StoreDeqFilter(image, c, value.value); break;
      case kDeqMode: ForDeqGroup(image, c, [&](NerexDeqBand& x) { x.mode = std::uint8_t(value.integer); }); break;
      case kDeqKind:
        if (!StoreDeqKind(image, c, value.integer)) return;
        break;
      default: ForDeqGroup(image, c, [&](NerexDeqBand& x) { x.bypass = value.flag ? 1 : 0; }); break;
    }
  }
  SendDeqChange(d, c, id);
}

void DynamicEqFlag(CNerexSeriesDevice& d, int id, bool on) {
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = WritableSettings(d);
    std::uint8_t& flag = id == kParamDynamicEqMode ? image.deqMode : image.deqLinking;
    if ((flag != 0) == on) return;
    flag = on ? 1 : 0;
  }
  // Both flags travel in every dynamic-EQ frame.
  QueueBuilt(d, false, [&](CControlMessage& m) { return BuildDeqMessage(d, m, 1); });
  Renotify(d, id);
}

}  // namespace

bool ApplyEqDynamicsChange(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  if (InRange(id, kParamInputPeqFrequency, 5 * 32)) {
    const int k = id - kParamInputPeqFrequency;
    PeqBand(d, true, k / 32, k % 32, value);
  } else if (InRange(id, kParamOutputPeqFrequency, 5 * 72)) {
    const int k = id - kParamOutputPeqFrequency;
    PeqBand(d, false, k / 72, k % 72, value);
  } else if (InRange(id, kParamHighPassFrequency, 32)) {
    Crossover(d, value);
  } else if (InRange(id, kParamGeqBand, kNerexMaxInputs * kNerexGeqBands)) {
    GeqBand(d, id - kParamGeqBand, value.value);
  } else if (InRange(id, kParamGeqBypass, 8)) {
    GeqFlags(d, value);
  } else if (InRange(id, kParamGeqFlatten, kNerexMaxInputs)) {
    GeqFlatten(d, id - kParamGeqFlatten);
  } else if (InRange(id, kParamCompressorThreshold, 48)) {
    Compressor(d, value);
  } else if (id == kParamCompressorLimiters) {
    CompressorLimiters(d, value.integer != 0);
  } else if (InRange(id, kParamDeqThreshold, 10 * kNerexDeqBands)) {
    DynamicEq(d, value);
  } else if (id == kParamDynamicEqMode || id == kParamDynamicEqLinking) {
    DynamicEqFlag(d, id, value.integer != 0);
  } else {
    return false;
  }
  return true;
}
