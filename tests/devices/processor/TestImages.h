// Test helpers: settings images filled with seeded random values that fit the widths the
// blocks carry, and byte-sequence builders for golden frames.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesMemory.h"
#include "devices/processor/NerexValueRanges.h"

using Bytes = std::vector<std::uint8_t>;

// Appends the given bytes count times.
inline void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes, int count = 1) {
  for (int i = 0; i < count; ++i) out.insert(out.end(), bytes.begin(), bytes.end());
}

inline void AppendText8(Bytes& out, const char* text) {
  const NerexChannelName name = MakeChannelName(text);
  out.insert(out.end(), name.begin(), name.end());
}

// Every value field random within what its block carries; link masks hold only each
// channel's own bit so that no channel takes another's values. Parameter ids stay 0.
inline CNerexSeriesMemory MakeRandomImage(unsigned seed) {
  std::mt19937 rng(seed);
  auto u8 = [&] { return std::uint8_t(rng()); };
  auto u16 = [&] { return std::uint16_t(rng()); };
  auto i16 = [&] { return std::int16_t(rng()); };
  auto bits = [&](int n) { return std::uint8_t(rng() & ((1u << n) - 1u)); };
  auto name = [&] {
    NerexChannelName n;
    for (auto& c : n) c = char('!' + rng() % 90);
    return n;
  };
  auto band = [&](NerexEqBand& b) {
    b.type = u8();
    b.q = u8();
    b.frequency = u16();
    b.gain = i16();
  };

  CNerexSeriesMemory m;
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    m.inputs.gains[i] = i16();
    m.inputs.delays[i] = rng() & 0xFFFFFF;
    m.inputs.names[i] = name();
  }
  m.inputs.muteMask = u8();
  for (auto& b : m.inputs.peqBands) band(b);
  for (auto& row : m.inputs.matrixGains)
    for (auto& g : row) g = std::int16_t(-401 + int(rng() % 552));

  NerexOutputSection& out = m.outputs;
  out.mixerFlag = u8();
  out.muteMask = u8();
  out.phaseMask = u8();
  out.autoLimiters = u8();
  out.compressorLimiters = bits(1);
  for (auto& b : out.channelGroups) b = u8();
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    out.routingMasks[o] = u8();
    for (auto& level : out.matrixLevels[o]) level = std::uint16_t(rng() & 0x3FF);
    out.gains[o] = i16();
    out.delays[o] = rng() & 0xFFFFFF;
    out.highPass[o] = NerexEqBand{3, u8(), u16(), 0};
    out.lowPass[o] = NerexEqBand{4, u8(), u16(), 0};
    out.trims[o] = std::int8_t(u8());
    out.limiters[o] = NerexLimiter{u8(), u8(), u8(), u8(), u8()};
    out.names[o] = name();
    out.compressors[o] = NerexCompressor{bits(7), bits(7), bits(6), bits(6), bits(4), bits(1)};
  }
  for (auto& b : out.peqBands) band(b);

  for (int i = 0; i < kNerexMaxInputs; ++i) {
    m.geq.modes[i] = u8();
    m.geq.bypass[i] = u8();
    for (auto& g : m.geq.bands[i]) g = i16();
  }
  m.deqMode = bits(1);
  m.deqLinking = bits(1);
  for (auto& b : m.deqBands) {
    b.mode = bits(2);
    b.q = bits(7);
    b.frequency = std::uint16_t(rng() & 0x1FF);
    b.effect = bits(4);
    b.threshold = bits(7);
    b.ratio = bits(5);
    b.attack = bits(6);
    b.release = bits(6);
    b.filterKind = bits(2);
    b.bypass = bits(1);
  }
  return m;
}

// Brings v into low..high by its remainder, so that different values stay different.
template <class T>
void Fold(T& v, long long low, long long high) {
  const long long span = high - low + 1;
  v = T(low + ((static_cast<long long>(v) - low) % span + span) % span);
}

// A random image whose every value lies within the range a stored image of the model holds
// (what preset files and system files may carry): MakeRandomImage with each ranged field folded
// in.
inline CNerexSeriesMemory MakeRandomStoredImage(unsigned seed, int model = kModelFennick) {
  CNerexSeriesMemory m = MakeRandomImage(seed);
  auto band = [](NerexEqBand& b) {
    std::uint8_t type = b.type & 0x7F;
    Fold(type, 0, 12);
    b.type = std::uint8_t((b.type & 0x80) | type);
    Fold(b.q, 0, 108);
    Fold(b.frequency, 12, 433);
    Fold(b.gain, -300, 150);
  };
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    Fold(m.inputs.gains[i], -400, std::min(150, GetInputGainHighCode(model)));
    Fold(m.inputs.delays[i], 0, 7987200);
  }
  for (auto& b : m.inputs.peqBands) band(b);
  NerexOutputSection& out = m.outputs;
  Fold(out.mixerFlag, 0, 1);
  Fold(out.autoLimiters, 0, 1);
  for (int o = 0; o < kNerexMaxOutputs; ++o) {
    for (auto& level : out.matrixLevels[o]) Fold(level, 0, 551);
    Fold(out.gains[o], -400, 150);
    Fold(out.trims[o], -120, 120);
    Fold(out.delays[o], 0, 7987200);
    Fold(out.highPass[o].q, 0, 11);
    Fold(out.highPass[o].frequency, 12, 396);
    Fold(out.lowPass[o].q, 0, 11);
    Fold(out.lowPass[o].frequency, 78, 433);
    NerexLimiter& l = out.limiters[o];
    Fold(l.level, 0, 32);
    Fold(l.attack, 0, 19);
    Fold(l.release, 0, 4);
    Fold(l.clipLevel, 2, 12);
    Fold(l.clipRelease, 0, 2);
    NerexCompressor& c = out.compressors[o];
    Fold(c.threshold, 0, 44);
    Fold(c.attack, 0, 51);
    Fold(c.release, 0, 51);
    Fold(c.ratio, 0, 16);
    Fold(c.softKnee, 0, 12);
  }
  for (auto& b : out.peqBands) band(b);
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    Fold(m.geq.modes[i], 0, 1);
    Fold(m.geq.bypass[i], 0, 1);
    for (auto& g : m.geq.bands[i]) Fold(g, -150, 150);
  }
  for (auto& b : m.deqBands) {
    Fold(b.q, 0, 108);
    Fold(b.frequency, 48, 432);
    Fold(b.effect, 0, 12);
    Fold(b.threshold, 0, 108);
    Fold(b.ratio, 0, 16);
    Fold(b.attack, 0, 59);
    Fold(b.release, 0, 33);
  }
  return m;
}

// Every processor model with its input and output counts.
struct ModelCase {
  int model;
  int inputs;
  int outputs;
};

inline const std::vector<ModelCase>& AllModels() {
  static const std::vector<ModelCase> models{{16, 4, 8},  {17, 4, 8},  {110, 2, 6}, {112, 4, 8},
                                             {114, 2, 4}, {115, 2, 6}, {116, 4, 4}, {118, 4, 6},
                                             {120, 4, 8}, {121, 4, 8}};
  return models;
}
