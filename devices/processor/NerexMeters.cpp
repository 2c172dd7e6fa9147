// A processor's meter readings (CNerexMeters).
#include "devices/processor/NerexMeters.h"

float CNerexMeters::GetInputMeter(int input) const {
  return input >= 0 && input < kNerexMaxInputs ? m_inputs[std::size_t(input)].load() : kNerexMeterFloor;
}

float CNerexMeters::GetOutputMeter(int output) const {
  return output >= 0 && output < kNerexMaxOutputs ? m_outputs[std::size_t(output)].load() : kNerexMeterFloor;
}

float CNerexMeters::GetDeqMeter(int input, int band) const {
  if (input < 0 || input >= kNerexMaxInputs || band < 0 || band >= kNerexDeqBandsPerInput) return kNerexMeterFloor;
  return m_deqBands[std::size_t(input * kNerexDeqBandsPerInput + band)].load();
}

float CNerexMeters::GetCompressorMeter(int output) const {
  return output >= 0 && output < kNerexMaxOutputs ? m_compressors[std::size_t(output)].load() : kNerexMeterFloor;
}

void CNerexMeters::Reset() {
  for (auto& m : m_inputs) m = kNerexMeterFloor;
  for (auto& m : m_outputs) m = kNerexMeterFloor;
  for (auto& m : m_deqBands) m = kNerexMeterFloor;
  for (auto& m : m_compressors) m = kNerexMeterFloor;
}
