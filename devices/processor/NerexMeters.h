// CNerexMeters: a processor's meter readings in dB - inputs, outputs, the dynamic-EQ bands and
// the output compressors. The unit's meter replies write them on the comms worker; the panels,
// the tiles and the monitor read them anywhere (atomics, no lock). Each starts, and falls back
// when the device is ignored or goes offline, at kNerexMeterFloor.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

#include "devices/processor/NerexSeriesMemory.h"

// Meter readings start (and fall back) at this level, dB.
inline constexpr float kNerexMeterFloor = -112.0f;

class CNerexMeters {
 public:
  CNerexMeters() { Reset(); }
  CNerexMeters(const CNerexMeters&) = delete;
  CNerexMeters& operator=(const CNerexMeters&) = delete;

  // The reading of a channel (band 0 to 2 of an input's dynamic EQ); the floor for one the
  // device does not have.
  float GetInputMeter(int input) const;
  float GetOutputMeter(int output) const;
  float GetDeqMeter(int input, int band) const;
  float GetCompressorMeter(int output) const;

  // Every reading back to the floor.
  void Reset();

  // Where a meter reply stores a reading (the reply has checked the index).
  std::atomic<float>& Input(std::size_t input) { return m_inputs[input]; }
  std::atomic<float>& Output(std::size_t output) { return m_outputs[output]; }
  std::atomic<float>& DeqBand(std::size_t input, std::size_t band) {
    return m_deqBands[input * kNerexDeqBandsPerInput + band];
  }
  std::atomic<float>& Compressor(std::size_t output) { return m_compressors[output]; }

 private:
  std::array<std::atomic<float>, kNerexMaxInputs> m_inputs;
  std::array<std::atomic<float>, kNerexMaxOutputs> m_outputs;
  std::array<std::atomic<float>, kNerexDeqBands> m_deqBands;
  std::array<std::atomic<float>, kNerexMaxOutputs> m_compressors;
};
