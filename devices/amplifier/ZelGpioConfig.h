// The Zel amplifier's GPIO configuration: the input and output functions and the aux relay,
// packed in one byte as the unit's settings reply and the GPIO write carry it, and their texts.
#pragma once

#include <cstdint>
#include <string>

// GPIO byte: bits 0 to 2 input, 3 to 5 output, bit 6 aux relay.
void UnpackZelSeriesGpioConfig(std::uint8_t gpio, std::uint32_t& input, std::uint32_t& output, std::uint32_t& aux);
std::uint8_t PackZelSeriesGpioConfig(std::uint32_t input, std::uint32_t output, std::uint32_t aux);
std::string ZelSeriesGpioInputText(std::uint32_t value);
std::string ZelSeriesGpioOutputText(std::uint32_t value);
std::string ZelSeriesAuxRelayText(std::uint32_t value);

// The three choices. A value beyond its list (a byte from a unit or a file) is kept as it came
// and shown with an empty text.
class CZelGpioConfig {
 public:
  // Which choice an offset names: the order of the properties' GPIO rows.
  enum EChoice : int { kInput = 0, kOutput = 1, kAuxRelay = 2 };

  static CZelGpioConfig FromByte(std::uint8_t gpio);
  std::uint8_t Byte() const { return PackZelSeriesGpioConfig(m_input, m_output, m_auxRelay); }

  std::uint32_t Input() const { return m_input; }
  std::uint32_t Output() const { return m_output; }
  std::uint32_t AuxRelay() const { return m_auxRelay; }
  std::string GetGpioInputText() const { return ZelSeriesGpioInputText(m_input); }
  std::string GetGpioOutputText() const { return ZelSeriesGpioOutputText(m_output); }
  std::string GetAuxRelayText() const { return ZelSeriesAuxRelayText(m_auxRelay); }

  // How many values the choice offers: six functions for the input and the output, two for
  // the relay.
  static std::uint32_t ChoiceCount(EChoice choice) { return choice == kAuxRelay ? 2 : 6; }
  // Takes value for the choice; false, changing nothing, when the choice does not offer it or
  // already holds it.
  bool Choose(EChoice choice, std::uint32_t value);

  bool operator==(const CZelGpioConfig&) const = default;

 private:
  std::uint32_t m_input = 0;
  std::uint32_t m_output = 0;
  std::uint32_t m_auxRelay = 0;
};
