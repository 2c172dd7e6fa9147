// The filter and dynamics writes of a processor's change path: parametric EQ bands of inputs
// and outputs, the output crossovers, the input graphic EQ, the output compressors and the
// input dynamic-EQ bands. Each follows the channel-write pattern of the change path (link
// group, lock, one frame for the link master, re-notification). UI thread.
#include <algorithm>
#include <cmath>

#include "core/Confirm.h"
#include "core/ControlMessage.h"
#include "core/System.h"
#include "core/ValueCodes.h"
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

void PeqBand(CNerexSeriesDevice& d, bool input, int field, int n, const CParamValue& value) {
  const int width = input ? kNerexInputPeqBands : kNerexOutputPeqBands;
  const int c = n / width, b = n % width;
  const int firstOf[] = {input ? int(kParamInputPeqFrequency) : int(kParamOutputPeqFrequency),
                         input ? int(kParamInputPeqQ) : int(kParamOutputPeqQ),
                         input ? int(kParamInputPeqGain) : int(kParamOutputPeqGain),
                         input ? int(kParamInputPeqType) : int(kParamOutputPeqType),
                         input ? int(kParamInputPeqBypass) : int(kParamOutputPeqBypass)};
  const unsigned group = input ? InputLinkGroup(d, c) : OutputLinkGroup(d, c);
  const int master = input ? InputLinkMaster(d, c) : OutputLinkMaster(d, c);
  auto renotify = [&](int f) {
    for (int j = 0; j < 8; ++j)
      if (Bit(group, j)) Renotify(d, firstOf[f] + width * j + b);
  };
  auto select = [&] {
    INerexSeriesPanel* panel = d.GetNerexPanel();
    if (!panel) return;
    const bool outermost = d.IsOutermostChange(value.id);
    if (input) panel->SelectInputPeqBand(b, outermost);
    else panel->SelectOutputEqBand(b, outermost);
  };
  if (!input) {
    bool locked;
    {
      CSingleLock lock(d.SettingsLock());
      locked = TestDeviceBit(d.GetCurrentSettings().outputs, c, b);
    }
    if (locked) {
      for (int j = 0; j < 8; ++j)
        if (Bit(group, j)) RenotifyKept(d, firstOf[field] + width * j + b, value);
      return;
    }
  }

  NerexEqBand frame;
  bool send = true, qMoved = false;
  int oldType = 0, newType = 0;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = d.GetCurrentSettings();
    auto band = [&](int ch) -> NerexEqBand& { return input ? image.inputs.PeqBand(ch, b) : image.outputs.PeqBand(ch, b); };
    auto forGroup = [&](auto write) {
      for (int j = 0; j < 8; ++j)
        if (Bit(group, j)) write(band(j));
    };
    NerexEqBand& m = band(master);
    const int type = PeqType(m);
    // A frequency code of 0 and an unchanged Q or gain leave the band alone; any other code is
    // clamped to the range of the band's type and written into the whole group.
    auto store = [&](int code, bool leave, int rangeKind, auto set) {
      if (leave) {
        send = false;
        return;
      }
      const int clamped = Clamp(code, rangeKind, type);
      forGroup([&](NerexEqBand& x) { set(x, clamped); });
    };
    switch (field) {
      case kPeqFrequency: {
        const int code = FreqToIndex(value.value);
        store(code, code == 0, kRangeFrequency, [](NerexEqBand& x, int c) { x.frequency = std::uint16_t(c); });
        break;
      }
      case kPeqQ: {
        const int code = std::min(
            value.kind == ParamKind::kPhase ? int(BoundedForCode(value.value)) / 2 : QToIndex(value.value), 128);
        store(code, code == m.q, kRangeQ, [](NerexEqBand& x, int c) { x.q = std::uint8_t(c); });
        break;
      }
      case kPeqGain: {
        const int code = RoundHalfUp(value.value * 10.0f);
        store(code, code == m.gain, kRangeGain, [](NerexEqBand& x, int c) { x.gain = ToInt16(c); });
        break;
      }
      case kPeqType: {
        oldType = type;
        // A type beyond the list (a linked integer of another list) is held at its last entry.
        const int typeCode = kFilterTypeCodes.Clamp(value.integer);
        forGroup([&](NerexEqBand& x) { x.type = std::uint8_t((x.type & 0x80) | typeCode); });
        ApplyHardwareVariantFixups(image, d.GetModel(), d.GetHardwareCode());
        newType = PeqType(m);
        const NerexEqBand before = m;
        m.gain = ToInt16(Clamp(m.gain, kRangeGain, newType));
        m.q = std::uint8_t(Clamp(m.q, kRangeQ, newType));
        m.frequency = std::uint16_t(Clamp(m.frequency, kRangeFrequency, newType));
        qMoved = m.q != before.q;
        forGroup([&](NerexEqBand& x) {
          if (m.gain != before.gain) x.gain = m.gain;
          if (m.q != before.q) x.q = m.q;
          if (m.frequency != before.frequency) x.frequency = m.frequency;
        });
        break;
      }
      default: {
        // The bypass bit beside the filter type's four bits.
        const std::uint8_t byte = std::uint8_t((value.flag ? 0x80 : 0) | (m.type & 0x0F));
        forGroup([&](NerexEqBand& x) { x.type = byte; });
        break;
      }
    }
    frame = m;
  }
  const std::uint8_t channel = input ? InputChannelByte(master) : OutputChannelByte(master);
  if (field == kPeqType) {
    renotify(kPeqType);
    QueueBuilt(d, false, [&](CControlMessage& msg) { return BuildCommand16LenMessage(d, msg, frame, channel, b); });
    renotify(kPeqGain);
    renotify(kPeqFrequency);
    if (qMoved || TypeShowsQ(oldType) || TypeShowsQ(newType)) renotify(kPeqQ);
  } else {
    if (send)
      QueueBuilt(d, false, [&](CControlMessage& msg) { return BuildCommand16LenMessage(d, msg, frame, channel, b); });
    renotify(field);
  }
  select();
}

// --- Crossovers ---

bool Is48dB(int type) { return type == 9 || type == 10 || type == 11; }

void Crossover(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  const int k = (id - kParamHighPassFrequency) / 8, o = (id - kParamHighPassFrequency) % 8;
  const bool high = k == 0 || k == 2, isType = k >= 2;
  const int first = kParamHighPassFrequency + 8 * k;
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
  const unsigned group = OutputLinkGroup(d, o);
  const int master = OutputLinkMaster(d, o);
  NerexEqBand frame;
  bool send = true;
  int oldType = 0, newType = 0;
  std::vector<std::int32_t> derived;
  {
    CSingleLock lock(d.SettingsLock());
    NerexOutputSection& out = d.GetCurrentSettings().outputs;
    auto& filters = high ? out.highPass : out.lowPass;
    NerexEqBand& m = filters[std::size_t(master)];
    if (isType) {
      // A crossover record keeps its type code where a parametric band keeps its Q.
      oldType = m.q;
      newType = kCrossoverTypeCodes.Clamp(value.integer);
      for (int j = 0; j < kNerexMaxOutputs; ++j)
        if (Bit(group, j)) filters[std::size_t(j)].q = std::uint8_t(newType);
    } else {
      int code = FreqToIndex(value.value);
      // The high-pass stays at or below the low-pass, whatever the range clamp did.
      if (high) code = std::min(kHighPassCodes.Clamp(code), int(out.lowPass[std::size_t(master)].frequency));
      else code = std::max(kLowPassCodes.Clamp(code), int(out.highPass[std::size_t(master)].frequency));
      if (code == m.frequency) {
        send = false;
      } else {
        for (int j = 0; j < kNerexMaxOutputs; ++j)
          if (Bit(group, j)) filters[std::size_t(j)].frequency = std::uint16_t(code);
        // The automatic dynamics times follow the high-pass.
        if (high && out.autoLimiters) derived = ApplyAutoLimiters(out, true);
        if (high && out.compressorLimiters) {
          const std::vector<std::int32_t> more = ApplyCompressorLimiters(out, true);
          derived.insert(derived.end(), more.begin(), more.end());
        }
      }
    }
    frame = m;
  }
  if (send) {
    const auto f = std::uint16_t(frame.frequency);
    QueuePackedWrite(d, high ? kCmdHighPass : kCmdLowPass,
                     {OutputChannelByte(master), frame.q, std::uint8_t(f & 0xFF), std::uint8_t(f >> 8)});
  }
  for (std::int32_t announce : derived) Renotify(d, announce);
  if (isType && (Is48dB(oldType) || Is48dB(newType))) {
    // A 48 dB filter takes two parametric bands of the output.
    const int firstBand = high ? 5 : 7;
    for (int b = firstBand; b < firstBand + 2; ++b)
      for (int field : {kParamOutputPeqFrequency, kParamOutputPeqQ, kParamOutputPeqGain, kParamOutputPeqType,
                        kParamOutputPeqBypass})
        Renotify(d, field + kNerexOutputPeqBands * master + b);
  }
  RenotifyGroup(d, first, group);
  // The output curve holds the output's high-pass as band 9 and its low-pass as band 10.
  if (INerexSeriesPanel* panel = d.GetNerexPanel())
    panel->SelectOutputEqBand(high ? kOutputCurveHighPassBand : kOutputCurveLowPassBand, d.IsOutermostChange(id));
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
    auto& bands = d.GetCurrentSettings().geq.bands;
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
    NerexGeqBlock& geq = d.GetCurrentSettings().geq;
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
  if (CSystem* system = d.GetSystem(); !system || !system->ConfirmAction(kConfirmFlattenGraphicEq)) return;
  const unsigned group = InputLinkGroup(d, input);
  {
    CSingleLock lock(d.SettingsLock());
    auto& bands = d.GetCurrentSettings().geq.bands;
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
    auto& records = d.GetCurrentSettings().outputs.compressors;
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
    d.CDevice::ApplyControlChange(MakeBoolParamValue(id, value.flag != 0));
    return;
  }
  RenotifyGroup(d, firstOf[field], group);
  if (otherMoved) RenotifyGroup(d, field == kCompAttack ? kParamCompressorRelease : kParamCompressorAttack, group);
}

void CompressorLimiters(CNerexSeriesDevice& d, bool on) {
  std::vector<std::int32_t> announce;
  {
    CSingleLock lock(d.SettingsLock());
    announce = ApplyCompressorLimiters(d.GetCurrentSettings().outputs, on);
  }
  QueueCompressor(d, 0);
  for (std::int32_t id : announce) Renotify(d, id);
}

// --- Dynamic EQ (Torvex48) ---

enum EDeqField { kDeqThreshold, kDeqRatio, kDeqAttack, kDeqRelease, kDeqMode, kDeqKind, kDeqBypass, kDeqFrequency,
                 kDeqEffect, kDeqQ };
constexpr int kDeqCompanion = 1578;  // + 3 x input + band: the band's graph

void DynamicEq(CNerexSeriesDevice& d, const CParamValue& value) {
  const int id = value.id;
  const int field = (id - kParamDeqThreshold) / kNerexDeqBands, n = (id - kParamDeqThreshold) % kNerexDeqBands;
  const int c = n / kNerexDeqBandsPerInput, b = n % kNerexDeqBandsPerInput;
  const int first = kParamDeqThreshold + kNerexDeqBands * field;
  const float v = value.value;
  unsigned group;
  int master;
  bool send = true, otherMoved = false, qMoved = false;
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = d.GetCurrentSettings();
    // With dynamic-EQ linking the bands of each input stand alone; else they follow the links.
    const bool own = image.deqLinking != 0;
    group = own ? 1u << c : InputLinkGroup(d, c);
    master = own ? c : InputLinkMaster(d, c);
    NerexDeqBand& m = image.DeqBand(master, b);
    auto forGroup = [&](auto write) {
      for (int j = 0; j < kNerexMaxInputs; ++j)
        if (Bit(group, j)) write(image.DeqBand(j, b));
    };
    auto byteField = [&](int raw, std::uint8_t NerexDeqBand::*member, NerexCodeRange range) {
      if (raw == m.*member) {
        send = false;
        return;
      }
      const auto code = std::uint8_t(range.Clamp(raw));
      forGroup([&](NerexDeqBand& x) { x.*member = code; });
    };
    switch (field) {
      case kDeqThreshold: byteField(44 - RoundHalfAway(2.0f * BoundedForCode(v)), &NerexDeqBand::threshold, kDeqThresholdCodes); break;
      case kDeqRatio:
        byteField(RoundHalfAway((m.mode == 0 ? 8.0f : 16.0f) * std::log2(v)), &NerexDeqBand::ratio, kDeqRatioCodes);
        break;
      case kDeqEffect: byteField(RoundHalfAway(BoundedForCode(v)) - 6, &NerexDeqBand::effect, kDeqEffectCodes); break;
      case kDeqAttack: {
        const int code = kDeqAttackCodes.Clamp(QuarterStepToIndex(v));
        forGroup([&](NerexDeqBand& x) {
          x.attack = std::uint8_t(code);
          if (code > x.release + 29) {
            x.release = std::uint8_t(code - 29);
            otherMoved = true;
          }
        });
        break;
      }
      case kDeqRelease: {
        const int code = kDeqReleaseCodes.Clamp(QuarterStepToIndex(v) - 29);
        forGroup([&](NerexDeqBand& x) {
          x.release = std::uint8_t(code);
          if (code < x.attack - 29) {
            x.attack = std::uint8_t(code + 29);
            otherMoved = true;
          }
        });
        break;
      }
      case kDeqFrequency: {
        const int code = FreqToIndex(v);
        if (code == m.frequency) {
          send = false;
          break;
        }
        const auto clamped = std::uint16_t(kDeqFrequencyCodes.Clamp(code));
        forGroup([&](NerexDeqBand& x) { x.frequency = clamped; });
        break;
      }
      case kDeqQ: {
        const auto code = std::uint8_t(Clamp(std::min(QToIndex(v), 128), kRangeQ, GetFilterTypeCode(m)));
        forGroup([&](NerexDeqBand& x) { x.q = code; });
        break;
      }
      case kDeqMode: forGroup([&](NerexDeqBand& x) { x.mode = std::uint8_t(value.integer); }); break;
      case kDeqKind: {
        if (value.integer == m.filterKind) return;  // nothing at all
        forGroup([&](NerexDeqBand& x) { x.filterKind = std::uint8_t(value.integer); });
        const auto q = std::uint8_t(Clamp(m.q, kRangeQ, GetFilterTypeCode(m)));
        if (q != m.q) {
          qMoved = true;
          forGroup([&](NerexDeqBand& x) { x.q = q; });
        }
        break;
      }
      default: forGroup([&](NerexDeqBand& x) { x.bypass = value.flag ? 1 : 0; }); break;
    }
  }
  if (send) QueueBuilt(d, false, [&](CControlMessage& m) { return BuildDeqMessage(d, m, master + 1); });
  auto renotify = [&](int firstId) {
    for (int j = 0; j < kNerexMaxInputs; ++j) {
      if (!Bit(group, j)) continue;
      Renotify(d, firstId + kNerexDeqBandsPerInput * j + b);
      Renotify(d, kDeqCompanion + kNerexDeqBandsPerInput * j + b);
    }
  };
  renotify(first);
  if (otherMoved) renotify(field == kDeqAttack ? kParamDeqRelease : kParamDeqAttack);
  if (qMoved) renotify(kParamDeqQ);
  if (INerexSeriesPanel* panel = d.GetNerexPanel()) {
    panel->SelectDeqBand(b, d.IsOutermostChange(id));
    if (field == kDeqMode) panel->RefreshDeqSection(true);
  }
}

void DynamicEqFlag(CNerexSeriesDevice& d, int id, bool on) {
  {
    CSingleLock lock(d.SettingsLock());
    CNerexSeriesMemory& image = d.GetCurrentSettings();
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
  } else if (InRange(id, kParamGeqMode + 4, 4)) {
    GeqFlatten(d, id - kParamGeqMode - 4);
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
