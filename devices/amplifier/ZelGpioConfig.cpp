// The Zel amplifier's GPIO byte and its texts.
#include "devices/amplifier/ZelGpioConfig.h"

void UnpackZelSeriesGpioConfig(std::uint8_t gpio, std::uint32_t& input, std::uint32_t& output, std::uint32_t& aux) {
  input = gpio & 0x07u;
  output = (gpio >> 3) & 0x07u;
  aux = (gpio >> 6) & 0x01u;
}

std::uint8_t PackZelSeriesGpioConfig(std::uint32_t input, std::uint32_t output, std::uint32_t aux) {
  return std::uint8_t((input + output * 8 + aux * 64) & 0xFF);
}

std::string ZelSeriesGpioInputText(std::uint32_t value) {
  static const char* const kTexts[] = {"Disabled",      "Mute Enable", "Standby Enable",
                                       "Delay Disable", "Trim Bypass", "VCA Mode"};
  return value < 6 ? kTexts[value] : "";
}

std::string ZelSeriesGpioOutputText(std::uint32_t value) {
  static const char* const kTexts[] = {"Disabled",         "A/P Monitor",        "Temp. Alarm",
                                       "Limiters Monitor", "Load Monitor Alarm", "A/P or Load Monitor Alarm"};
  return value < 6 ? kTexts[value] : "";
}

std::string ZelSeriesAuxRelayText(std::uint32_t value) {
  static const char* const kTexts[] = {"Inverted GP Out", "Follows GP Out"};
  return value < 2 ? kTexts[value] : "";
}

CZelGpioConfig CZelGpioConfig::FromByte(std::uint8_t gpio) {
  CZelGpioConfig config;
  UnpackZelSeriesGpioConfig(gpio, config.m_input, config.m_output, config.m_auxRelay);
  return config;
}

bool CZelGpioConfig::Choose(EChoice choice, std::uint32_t value) {
  if (value >= ChoiceCount(choice)) return false;
  std::uint32_t& field = choice == kInput ? m_input : choice == kOutput ? m_output : m_auxRelay;
  if (field == value) return false;
  field = value;
  return true;
}
