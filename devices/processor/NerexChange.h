// The processor family's own way in to a device: what its code outside the class (the change
// path of CNerexSeriesDevice::ApplyControlChange, the frames, records, paste and clone) writes
// of what the device stores, the frames it queues for the unit, and the pieces of the change
// path its groups share: re-notification through the base change path, and the write frames
// of single settings. Windows read the device through its const views and hand a change in
// through CUserChangeGate::ApplyUserChange; only the family's library (and the tests, which reach the
// family as its own code does) compiles with ORVAK_PROCESSOR_FAMILY, so a window that includes
// this header does not compile. What windows share with the change path (link groups, preset
// names) is in NerexChannelRules.h and NerexPresets.h. UI thread.
#pragma once

#if !defined(ORVAK_PROCESSOR_FAMILY)
#error "devices/processor/NerexChange.h belongs to the processor family: a window reads a processor through its const views and hands a change in through CUserChangeGate::ApplyUserChange"
#endif

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/protocol/ControlMessage.h"
#include "core/values/ParamRecords.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexNotifier.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesDevice.h"

class CChangeAnswer;

// The writers of a processor's stored state and of its queue (a friend of the device). The
// family's code calls the functions below rather than this class.
class CNerexChangeAccess {
 public:
  static CNerexSeriesMemory& CurrentSettings(CNerexSeriesDevice& d) { return d.m_current; }
  static CNerexMemoryList& Presets(CNerexSeriesDevice& d) { return d.m_presets; }
  static CNerexMemoryList& XoverPresets(CNerexSeriesDevice& d) { return d.m_xoverPresets; }
  static NerexGeneralSettings& GeneralSettings(CNerexSeriesDevice& d) { return d.m_general; }
  static std::array<TimedPresetEntry, kNerexTimedPresets>& TimedPresets(CNerexSeriesDevice& d) {
    return d.m_timedPresets;
  }
  static std::array<std::uint8_t, kNerexDeqBandsPerInput>& DeqBandMasks(CNerexSeriesDevice& d) {
    return d.m_deqBandMasks;
  }
  static void Queue(CNerexSeriesDevice& d, bool force, std::unique_ptr<CControlMessage> message) {
    d.QueueMessage(force, std::move(message));
  }
  static void ApplyBaseChange(CNerexSeriesDevice& d, const CParamValue& value) { d.CDevice::ApplyControlChange(value); }
  static void ApplyKeptChange(CNerexSeriesDevice& d, const CParamValue& stored, const CParamValue& requested) {
    d.ApplyKeptControlChange(stored, requested);
  }
  static void NotifyAllParameters(CNerexSeriesDevice& d) { CNerexNotifier(d).NotifyAllParameters(); }
  static void NotifyInputChannelParameters(CNerexSeriesDevice& d, int c) {
    CNerexNotifier(d).NotifyInputChannelParameters(c);
  }
  static void NotifyOutputChannelParameters(CNerexSeriesDevice& d, int c) {
    CNerexNotifier(d).NotifyOutputChannelParameters(c);
  }
  static void PostStatusEvent(CNerexSeriesDevice& d, int code) { d.Post(FrameMsg::kStatusEvent, code); }
  static bool LoadPresetFile(CNerexSeriesDevice& d, const std::string& path, std::string* error, std::string* note) {
    return d.LoadPresetFile(path, error, note);
  }
};

// What the device stores, writable: the live settings, the preset memories, the crossover
// presets, the general settings, the timed presets and the dynamic-EQ band masks. Written under
// SettingsLock, and inside a CSettingsChange where a read on its way could put the
// unit's old values back.
inline CNerexSeriesMemory& WritableSettings(CNerexSeriesDevice& d) { return CNerexChangeAccess::CurrentSettings(d); }
inline CNerexMemoryList& WritablePresets(CNerexSeriesDevice& d) { return CNerexChangeAccess::Presets(d); }
inline CNerexMemoryList& WritableXoverPresets(CNerexSeriesDevice& d) { return CNerexChangeAccess::XoverPresets(d); }
inline NerexGeneralSettings& WritableGeneralSettings(CNerexSeriesDevice& d) {
  return CNerexChangeAccess::GeneralSettings(d);
}
inline std::array<TimedPresetEntry, kNerexTimedPresets>& WritableTimedPresets(CNerexSeriesDevice& d) {
  return CNerexChangeAccess::TimedPresets(d);
}
inline std::array<std::uint8_t, kNerexDeqBandsPerInput>& WritableDeqBandMasks(CNerexSeriesDevice& d) {
  return CNerexChangeAccess::DeqBandMasks(d);
}

// Queues a frame for the unit (CDevice::QueueMessage), forced or not.
inline void QueueFrame(CNerexSeriesDevice& d, bool force, std::unique_ptr<CControlMessage> message) {
  CNerexChangeAccess::Queue(d, force, std::move(message));
}
// Builds with build and queues the message on the device (forced or not); nothing when the
// builder has nothing to send.
template <class Build>
void QueueBuilt(CNerexSeriesDevice& device, bool force, Build build) {
  auto message = std::make_unique<CControlMessage>();
  if (build(*message)) QueueFrame(device, force, std::move(message));
}

// The device's notification sweeps (CNerexNotifier: every parameter, and the two of a channel's
// link group), and the load of a preset file into its current settings.
inline void NotifyAllParameters(CNerexSeriesDevice& d) { CNerexChangeAccess::NotifyAllParameters(d); }
inline void NotifyInputChannelParameters(CNerexSeriesDevice& d, int channel) {
  CNerexChangeAccess::NotifyInputChannelParameters(d, channel);
}
inline void NotifyOutputChannelParameters(CNerexSeriesDevice& d, int channel) {
  CNerexChangeAccess::NotifyOutputChannelParameters(d, channel);
}
// Posts a status event (kNerexStatus...) to the main frame for the device.
inline void PostStatusEvent(CNerexSeriesDevice& d, int code) { CNerexChangeAccess::PostStatusEvent(d, code); }
inline bool LoadPresetFile(CNerexSeriesDevice& d, const std::string& path, std::string* error,
                           std::string* note = nullptr) {
  return CNerexChangeAccess::LoadPresetFile(d, path, error, note);
}

// Re-limits the four input delays against the delay budget; each input whose delay changes is
// stored in every input of its link group, pushed to the panels and links, and sent (command 1,
// length 13, queued without force).
void BuildDelayMessages(CNerexSeriesDevice& device);

// Copies every setting of source into device (current settings, preset count and memories,
// security and option bytes, host options, timed presets), then pushes every parameter.
void CloneFrom(CNerexSeriesDevice& device, const CNerexSeriesDevice& source);

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
