// Pieces of the processor's change path (CNerexSeriesDevice::ApplyControlChange) that its
// groups share: re-notification through the base change path, and the write frames of single
// settings. The family's own code includes this header, never a window
// (tests/CheckUserChanges.cmake): what windows share with the change path (link groups, preset
// names) is in NerexChannelRules.h and NerexPresets.h. UI thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/values/ParamRecords.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexPresets.h"

class CChangeAnswer;
class CNerexSeriesDevice;

// Commands of the single-setting writes (frames without a reply, write flag set).
enum : std::uint32_t {
  kCmdChannelGain = 2,
  kCmdMutes = 3,
  kCmdHighPass = 6,
  kCmdLowPass = 7,
  kCmdPolarity = 25,
  kCmdOutputTrim = 36,
  kCmdMatrixGain = 39,
  kCmdGeqBand = 40,
};

// Channel bytes of the frames: inputs 1..4, outputs 5..12.
inline std::uint8_t InputChannelByte(int input) { return std::uint8_t(input + 1); }
inline std::uint8_t OutputChannelByte(int output) { return std::uint8_t(output + 5); }


// Pushes the stored value of id through the base change path (open panel, custom panels,
// parameter links); for each channel of group, id first + channel, ascending.
void Renotify(CNerexSeriesDevice& device, int id);
void RenotifyGroup(CNerexSeriesDevice& device, int first, unsigned group);
// The same for a change that a lock kept from the setting: the widgets show the stored value,
// the parameter links receive requested (under id, or id first + channel).
void RenotifyKept(CNerexSeriesDevice& device, int id, const CParamValue& requested);
void RenotifyGroupKept(CNerexSeriesDevice& device, int first, unsigned group, const CParamValue& requested);

// Queues a write (not forced) of raw bytes, 7-bit packed from frame byte 7.
void QueuePackedWrite(CNerexSeriesDevice& device, std::uint32_t command, const std::vector<std::uint8_t>& raw);
// Queues a write whose payload bytes go as they are (each kept within 7 bits).
void QueuePlainWrite(CNerexSeriesDevice& device, std::uint32_t command, const std::vector<std::uint8_t>& payload);

// The groups of ids; each returns false for an id outside its groups and then does nothing.
// They run inside ApplyControlChange's guard and exit. The device name is the device's own
// piece (it alone stores a name).
bool ApplyChannelSettingChange(CNerexSeriesDevice& device, const CParamValue& value);
bool ApplyEqDynamicsChange(CNerexSeriesDevice& device, const CParamValue& value);
// The preset, preset-file and timed-preset actions (ids 420-427, 436-438, 495, 497-500), with
// what the person answered to their questions (a CNerexPresetAnswer; without one they act on
// no row).
bool ApplyPresetActionChange(CNerexSeriesDevice& device, const CParamValue& value, CChangeAnswer& answer);
bool ApplySectionActionChange(CNerexSeriesDevice& device, const CParamValue& value);

// Why a typed device name would not reach the unit as typed (a character beyond ASCII, a
// control character, more characters than the unit keeps), or empty when it would.
std::string DeviceNameRefusal(const std::string& utf8);
// The same for a typed channel name (eight characters).
std::string ChannelNameRefusal(const std::string& utf8);
