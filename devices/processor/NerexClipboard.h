// The processor family's clipboard block: one fixed-size record of 4208 bytes holding the
// whole current settings image and the general properties of the copied processor, with two
// channel fields that tell a whole-device copy from a channel copy. The byte layout is the
// exchange format between instances of the program; it is written field by field, never as
// the compiler lays the structure out. UI thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "devices/processor/NerexSeriesMemory.h"

inline constexpr std::size_t kNerexClipboardRecordBytes = 4208;

// Offsets of the record's parts.
enum : std::size_t {
  kClipOffsetCopiedInput = 0,
  kClipOffsetCopiedOutput = 4,
  kClipOffsetModel = 8,
  kClipOffsetInputCount = 12,
  kClipOffsetOutputCount = 16,
  kClipOffsetInputs = 20,
  kClipOffsetOutputs = 916,
  kClipOffsetGeq = 3360,
  kClipOffsetDeq = 3592,
  kClipOffsetReserved = 4172,
  kClipOffsetSecurityCode = 4180,
  kClipOffsetSystemLock = 4182,
  kClipOffsetGpiMode = 4183,
  kClipOffsetMemoryOffset = 4184,
  kClipOffsetTransmitPreset = 4185,
  kClipOffsetOnDelay = 4186,
  kClipOffsetLcdContrast = 4187,
  kClipOffsetLedTimeout = 4188,
  kClipOffsetAutoRtc = 4192,
  kClipOffsetDelayUnits = 4196,
  kClipOffsetDelayMultiplier = 4200,
  kClipOffsetGainNudge = 4204,
};

// Paste commands of the family (0 is Edit > Paste, "Paste All Current Settings").
enum : std::uint32_t {
  kCmdCopyChannel = 33868,
  kCmdPasteUnused = 33869,
  kCmdPasteAllInputs = 33870,
  kCmdPasteAllOutputs = 33871,
  kCmdPasteInputChannel = 33872,
  kCmdPasteInputFilters = 33873,
  kCmdPasteOutputChannel = 33874,
  kCmdPasteOutputFilters = 33875,
  kCmdPasteMatrix = 33876,
  kCmdPasteMixer = 33877,
  kCmdPasteProperties = 33878,
  kCmdPasteChannelNames = 33879,
};

// General properties of a processor as the clipboard carries them (the device's general
// settings bytes of the same names, and its host-side options).
struct NerexClipboardProperties {
  std::uint16_t securityCode = 8064;
  std::uint8_t systemLock = 0;
  std::uint8_t gpiMode = 0;
  std::uint8_t memoryOffset = 0;
  std::uint8_t transmitPreset = 0;
  std::uint8_t onDelay = 6;
  std::uint8_t lcdContrast = 10;
  std::uint8_t ledTimeout = 0;
  std::uint8_t autoRtcUpdate = 0;  // 0 off, 1 on
  std::uint32_t delayUnits = 0;
  std::uint32_t delayMultiplier = 0;
  std::uint32_t gainNudge = 0;
  friend bool operator==(const NerexClipboardProperties&, const NerexClipboardProperties&) = default;
};

struct NerexClipboardRecord {
  std::uint32_t copiedInput = 0;   // 1..4 when one input was copied, else 0
  std::uint32_t copiedOutput = 0;  // device channel 5..12 when one output was copied, else 0
  std::uint32_t model = 0;         // type code of the source
  std::uint32_t inputCount = 0;
  std::uint32_t outputCount = 0;
  // The source's input, output, graphic-EQ and dynamic-EQ sections; the image's name and
  // section flags are not part of the record.
  CNerexSeriesMemory settings;
  NerexClipboardProperties properties;

  bool IsWholeDeviceCopy() const { return copiedInput == 0 && copiedOutput == 0; }
};

// The source's channel counts as the record states them: 0 for a code that is no processor.
std::uint32_t GetClipboardInputCount(int model);
std::uint32_t GetClipboardOutputCount(int model);

// A record of the image's sections and the properties. command 0 copies the whole device;
// kCmdCopyChannel the selected channel (1..4 input, 5..12 output, 0 none: a whole copy).
NerexClipboardRecord MakeClipboardRecord(const CNerexSeriesMemory& image, int model,
                                         const NerexClipboardProperties& properties, std::uint32_t command,
                                         std::uint32_t selectedChannel);

// The 4208 bytes of the record; reserved and padding bytes are 0.
std::vector<std::uint8_t> StoreClipboardRecord(const NerexClipboardRecord& record);
// Reads a block. False (and record unchanged) when it is shorter than the record, or when its
// channel counts or copied-channel fields are out of range: counts above 4 inputs or 8
// outputs, a copied input above the input count, a copied output outside 5 .. 4 + output
// count, or both channel fields set. The parameter ids of record's sections stay.
bool LoadClipboardRecord(std::span<const std::uint8_t> bytes, NerexClipboardRecord& record);

// Whether a paste command has something to apply to a device of this model with this selected
// channel (the user-rights test is the caller's).
bool CanPasteRecord(std::uint32_t command, const NerexClipboardRecord& record, int deviceModel,
                    std::uint32_t selectedChannel, const NerexOutputSection& deviceOutputs);

// The matrix conversions between the Fennick mixer gains and the Torvex48 mixer levels:
// value' = 150 - value, kept inside the target's range.
std::int16_t MatrixGainFromLevel(std::uint16_t level);  // -401 .. 150
std::uint16_t MatrixLevelFromGain(std::int16_t gain);   // 0 .. 551
