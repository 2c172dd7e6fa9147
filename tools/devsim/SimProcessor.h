// A simulated processor unit of any model: it answers discovery by its short ID, the
// identification request, every read of the family (settings blocks of its current settings,
// preset memories and crossover presets, memory names and section flags, names, meters and
// meter pages, security block, timed presets, general settings) from a settings image of its
// own, acknowledges every write and applies the ones it knows (it stores, recalls, renames and
// clears its memories and keeps the timed presets) (a write for one channel reaches
// every channel linked with it in the unit's own link masks). Faults of content can be given
// per command. Thread-safe: tests read and change the unit while the bus runs.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/processor/NerexSeriesMemory.h"
#include "tools/devsim/SimUnit.h"

// A fault in the content of the next reply to one command.
struct SimProcessorFault {
  enum class Kind {
    kWrongMemory,   // the reply names memory number + value (53: the flags reply)
    kCutData,       // value data bytes are left out; the frame stays well formed
    kSilence,       // no answer
    kCompactNames,  // names reply: only the model's channels, one after the other
    kAnotherUnit,   // the whole reply names unit value in its ID byte (4)
  };
  Kind kind = Kind::kSilence;
  int value = 0;

  static SimProcessorFault WrongMemory(int offset) { return {Kind::kWrongMemory, offset}; }
  static SimProcessorFault CutData(int bytes) { return {Kind::kCutData, bytes}; }
  static SimProcessorFault Silence() { return {Kind::kSilence, 0}; }
  static SimProcessorFault CompactNames() { return {Kind::kCompactNames, 0}; }
  static SimProcessorFault AnotherUnit(int id) { return {Kind::kAnotherUnit, id}; }
};

class CSimProcessorUnit : public CSimUnit {
 public:
  // model: the type code (16, 17, 110 .. 121); hardwareCode: the variant reported by discovery.
  // Requests name the unit by the low byte of its ID.
  CSimProcessorUnit(int model, std::uint32_t deviceId, std::uint32_t hardwareCode = 0);

  std::size_t RequestLength(const SimBytes& bytes) const override;
  SimAnswer Handle(const SimBytes& request) override;

  int Model() const { return m_model; }
  std::uint32_t DeviceId() const { return m_deviceId; }

  // --- The unit's state (copies in and out) ---
  CNerexSeriesMemory Current() const;
  void SetCurrent(const CNerexSeriesMemory& image);
  // Preset memories 1..count (and crossover presets 0..count-1); new ones are empty.
  void SetPresetCount(std::size_t count);
  std::size_t PresetCount() const;
  CNerexSeriesMemory Preset(std::size_t number) const;
  void SetPreset(std::size_t number, const CNerexSeriesMemory& memory);
  void SetXoverPresetCount(std::size_t count);
  CNerexSeriesMemory XoverPreset(std::size_t index) const;
  void SetXoverPreset(std::size_t index, const CNerexSeriesMemory& memory);
  std::string DeviceName() const;
  void SetDeviceName(const std::string& name);
  // Five characters at most, e.g. "1.25".
  void SetFirmware(const std::string& version);
  // Whether framed replies repeat the request's type, ID and command in bytes 3 to 6 (they do
  // unless told otherwise); a unit that does not leaves zeros there.
  void SetRepeatsHeader(bool on) { m_repeatsHeader = on; }
  // Whether the unit, at a long ID (above 63), answers the long-ID probe of its ID (B0 and the
  // four seven-bit groups of the ID, most significant first) as the autoscan finds it: B8 00 17,
  // the ID's groups in bytes 3 to 6. Off unless told.
  void SetAnswersLongIdProbe(bool on) { m_answersLongIdProbe = on; }
  // Raw meter bytes of commands 62 and 63 (32 bytes; the page decides which are sent).
  void SetMeterBytes(const std::array<std::uint8_t, 32>& bytes);
  std::array<std::uint8_t, 20> GeneralSettings() const;
  void SetGeneralSettings(const std::array<std::uint8_t, 20>& bytes);
  std::array<std::uint8_t, 60> TimedPresets() const;
  void SetTimedPresets(const std::array<std::uint8_t, 60>& bytes);
  std::array<std::uint8_t, 245> SecurityBlock() const;
  void SetSecurityBlock(const std::array<std::uint8_t, 245>& bytes);

  // The next reply to command gets this fault (faults of a command are used in order); the
  // identification request counts as command 0xB0.
  void InjectReplyFault(std::uint8_t command, SimProcessorFault fault);
  // Every write frame acknowledged, in order; and those of one command.
  std::vector<SimBytes> Writes() const;
  std::vector<SimBytes> WritesOf(std::uint8_t command) const;
  // Reads answered, by command.
  std::size_t ReadCount(std::uint8_t command) const;

  // Encodes a settings block of an image as the unit sends it (without the memory prefix):
  // block 0, 5, 16 or 17.
  static std::vector<std::uint8_t> EncodeReplyBlock(int block, const CNerexSeriesMemory& image, int model);

 private:
  SimAnswer Read(const SimBytes& request, std::uint8_t command);
  void ApplyWrite(const SimBytes& request, std::uint8_t command);
  CNerexSeriesMemory* Memory(std::uint32_t number, bool allowXover);
  bool TakeFault(std::uint8_t command, SimProcessorFault& fault);
  SimAnswer Framed(std::uint8_t command, const std::vector<std::uint8_t>& payload) const;
  SimAnswer Packed(std::uint8_t command, const std::vector<std::uint8_t>& raw) const;

  std::uint8_t IdByte() const { return std::uint8_t(m_deviceId & 0xFF); }

  const int m_model;
  const std::uint32_t m_deviceId;
  const std::uint32_t m_hardwareCode;
  mutable std::mutex m_mutex;
  CNerexSeriesMemory m_current;
  std::vector<std::unique_ptr<CNerexSeriesMemory>> m_presets;
  std::vector<std::unique_ptr<CNerexSeriesMemory>> m_xoverPresets;
  std::string m_name = "Sim Processor";
  std::string m_firmware = "1.25";
  std::array<std::uint8_t, 32> m_meters{};
  std::array<std::uint8_t, 20> m_general{};
  std::array<std::uint8_t, 60> m_timed{};
  std::array<std::uint8_t, 245> m_security{};
  std::map<std::uint8_t, std::deque<SimProcessorFault>> m_faults;
  std::vector<SimBytes> m_writes;
  std::map<std::uint8_t, std::size_t> m_reads;
  std::atomic<bool> m_repeatsHeader{true};
  std::atomic<bool> m_answersLongIdProbe{false};
};
