// Test helpers: settings images filled with seeded random values that fit the widths the
// blocks carry, and byte-sequence builders for golden frames.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "devices/processor/NerexSeriesMemory.h"

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
