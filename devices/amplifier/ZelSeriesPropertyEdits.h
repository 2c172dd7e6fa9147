// The Zel amplifier's edits of its property rows: which row takes which values, the refusals
// in words, and the change that each accepted edit hands to the amplifier's change path.
// UI thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CZelSeriesDevice;
struct ZelPropertyEdit;

class CZelSeriesPropertyEdits {
 public:
  // Property ids of the rows that are no parameters.
  enum : std::uint32_t {
    kPropGpioInput = 52,  // 52 input, 53 output, 54 aux relay
    kPropGpioOutput = 53,
    kPropAuxRelay = 54,
    kPropVca = 83,  // 83 to 86
    kPropMode = 87,
  };

  explicit CZelSeriesPropertyEdits(CZelSeriesDevice& device) : m_device(device) {}
  CZelSeriesPropertyEdits(const CZelSeriesPropertyEdits&) = delete;
  CZelSeriesPropertyEdits& operator=(const CZelSeriesPropertyEdits&) = delete;

  // The edit of one of the family's own rows: true when it was taken (or changed nothing),
  // false with the refusal in message; no answer for a row that is not the family's own.
  std::optional<bool> Apply(const ZelPropertyEdit& edit, std::string& message);

  // The routing table's count of the per-channel rows.
  int GetChannelCount() const;

 private:
  bool EditMode(int offset, const ZelPropertyEdit& edit, std::string& message);
  bool EditPowerOnDelay(int offset, const ZelPropertyEdit& edit, std::string& message);
  bool EditAlarmTemperature(int offset, const ZelPropertyEdit& edit, std::string& message);
  // A number the row must hold within low to high ("<what> must be between <low> and <high>");
  // one other than current goes to the parameter.
  bool EditNumber(const ZelPropertyEdit& edit, int parameterId, std::int64_t low, std::int64_t high, const char* what,
                  std::int64_t current, std::string& message);
  // offset 0 input, 1 output, 2 aux relay.
  bool EditGpio(int offset, const ZelPropertyEdit& edit, std::string& message);
  bool EditVca(int channel, const ZelPropertyEdit& edit, std::string& message);
  bool EditWindow(int channel, const ZelPropertyEdit& edit, std::string& message);
  bool EditReference(int channel, const ZelPropertyEdit& edit, std::string& message);
  // The GPIO byte with the VCA bits, through the change path.
  void SendGpio();

  CZelSeriesDevice& m_device;
};
