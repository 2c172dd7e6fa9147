// The processor's reply handler: every read reply is taken apart into the device's model, the
// received mask that drives the polling schedule is kept, the firmware is checked against the
// version table and the unit's clock is kept in step. Comms worker thread, under the system's
// lock; windows hear of changes only through posted messages.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "core/model/DeviceTexts.h"
#include "core/protocol/ControlMessage.h"
#include "core/protocol/SevenBit.h"
#include "core/model/DeviceHost.h"
#include "core/support/SystemMessages.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexMessages.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

namespace {

constexpr std::uint32_t kXoverBase = 256;
constexpr std::size_t kMaxPresetNumber = 255;
constexpr std::size_t kDeviceNameBytes = 40;
constexpr std::size_t kMemoryNameBytes = 16;
constexpr std::size_t kIdentReplyLength = 21;
constexpr std::size_t kFlagsReplyLength = 12;
constexpr std::size_t kTimedPresetBytes = kNerexTimedPresets * 6;

// The packed payload of a reply (frame bytes 7 up to the checksum), unpacked as far as the
// received bytes reach; never reads past them.
std::vector<std::uint8_t> UnpackPayload(const CControlMessage& record) {
  const std::size_t received = std::min<std::size_t>(record.receivedLength, CControlMessage::kFrameSize);
  if (received < kNerexPayload + 2) return {};
  const int packed = int(received - kNerexPayload - 1);
  const int count = packed - (packed + 7) / 8;
  std::vector<std::uint8_t> raw(std::size_t(std::max(count, 0)));
  if (count > 0) Unpack7Bit(record.frame + kNerexPayload, count, raw.data());
  return raw;
}

// The signed 16-bit little-endian memory number that starts an unpacked reply.
int RawMemoryNumber(const std::vector<std::uint8_t>& raw) {
  return int(std::int16_t(std::uint16_t(raw[0] | raw[1] << 8)));
}

// Trailing blanks removed, and leading ones too when asked.
std::string TrimBlanks(std::string text, bool leading) {
  const auto last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  if (leading) text.erase(0, text.find_first_not_of(' '));
  return text;
}

}  // namespace

// Dispatches one reply by the request's command. Runs under the system's lock.
class CNerexReplyHandler {
 public:
  CNerexReplyHandler(CNerexSeriesDevice& device, CControlMessage& record, bool initialised)
      : d(device), r(record), m_initialised(initialised),
        m_received(std::min<std::size_t>(record.receivedLength, CControlMessage::kFrameSize)) {}

  void Run() {
    switch (r.command) {
      case kCmdMeters: Meters(); break;
      case kCmdMeterPage: MeterPage(); break;
      case kCmdIdentify: Identification(); break;
      case kCmdReadInputs: Block(kReceivedInputBlock); break;
      case kCmdReadOutputs: Block(kReceivedOutputBlock); break;
      case kCmdReadGeq: Block(kReceivedGeqBlock); break;
      case kCmdReadDeq: Block(kReceivedDeqBlock); break;
      case kCmdReadNames: Names(); break;
      case kCmdReadMemoryName: MemoryName(); break;
      case kCmdReadMemoryFlags: MemoryFlags(); break;
      case kCmdReadTimedPresets: TimedPresets(); break;
      case kCmdReadGeneral: General(); break;
      default: break;
    }
  }

 private:
  // Data bytes present before the checksum, counted from frame byte 7.
  std::size_t DataBytes() const { return m_received > kNerexPayload ? m_received - kNerexPayload - 1 : 0; }
  std::uint8_t B(std::size_t k) const { return r.frame[kNerexPayload + k]; }

  void Meters() {
    if (d.IsIgnored()) return;
    const int n = d.GetInputCount(), m = d.GetOutputCount();
    if (DataBytes() < std::size_t(n + m)) return d.RefuseReply(r, "too short");
    bool changed = false;
    for (int i = 0; i < n; ++i) changed |= SetMeter(d.m_meters.Input(std::size_t(i)), 9.0f - float(B(std::size_t(i))));
    for (int j = 0; j < m; ++j)
      changed |= SetMeter(d.m_meters.Output(std::size_t(j)), 9.0f - float(B(std::size_t(n + j))));
    if (changed) PostMeters();
  }

  void MeterPage() {
    if (d.IsIgnored()) return;
    const int n = d.GetInputCount(), m = d.GetOutputCount();
    const int page = d.m_meterPageSent;
    std::size_t needed = 0;
    switch (page) {
      case 0: case 20: needed = std::size_t(n + m); break;
      case 12: needed = std::size_t(3 * n); break;
      case 64: needed = std::size_t(4 * n + 2 * m); break;
      default: break;
    }
    if (DataBytes() < needed) return d.RefuseReply(r, "too short");
    bool changed = false;
    auto inputsAndOutputs = [&] {
      for (int i = 0; i < n; ++i) changed |= SetMeter(d.m_meters.Input(std::size_t(i)), 9.0f - float(B(std::size_t(i))));
      for (int j = 0; j < m; ++j) {
        const int limit = d.m_current.outputs.limiters[std::size_t(j)].level;
        const float level = (22.0f - float(B(std::size_t(n + j)))) - float(22 - limit);
        changed |= SetMeter(d.m_meters.Output(std::size_t(j)), level);
      }
    };
    auto deq = [&](int base) {
      for (int k = 0; k < kNerexDeqBandsPerInput; ++k)
        for (int i = 0; i < n; ++i)
          changed |= SetMeter(d.m_meters.DeqBand(std::size_t(i), std::size_t(k)),
                              22.0f - float(B(std::size_t(base + k * n + i))));
    };
    auto compressors = [&](int base) {
      for (int j = 0; j < m; ++j)
        changed |= SetMeter(d.m_meters.Compressor(std::size_t(j)), 22.0f - float(B(std::size_t(base + j))));
    };
    switch (page) {
      case 0: inputsAndOutputs(); break;
      case 12: deq(0); break;
      case 20: compressors(n); break;
      case 64:
        inputsAndOutputs();
        deq(n + m);
        compressors(4 * n + m);
        break;
      default: break;
    }
    if (changed) PostMeters();
  }

  // A memory's name and section flags as the unit reports them.
  void TakeMemoryName(CNerexSeriesMemory& memory, const std::string& name) {
    memory.name = name;
  }
  void TakeMemoryFlags(CNerexSeriesMemory& memory, std::uint8_t flags) {
    memory.sectionFlags = flags;
  }

  // Stores a meter reading; true when it differs from the one held. Readings that did not move
  // need no redraw: a unit at rest would otherwise have the monitor and its panel redrawn on
  // every poll.
  static bool SetMeter(std::atomic<float>& meter, float value) { return meter.exchange(value) != value; }

  void PostMeters() {
    d.Post(FrameMsg::kStatusEvent, kNerexStatusMeters);
    d.Post(FrameMsg::kRedrawMeterEntry, 1);
  }

  void Identification() {
    if (m_received < kIdentReplyLength || r.frame[0] != kNerexIdentReplyStart || r.frame[1] != 0 || r.frame[2] != 20)
      return d.RefuseReply(r, "wrong header");
    const int model = d.GetModel();
    const std::size_t at = IsFennickModel(model) ? 14 : 15;
    const std::string version = TrimBlanks(ReplyText(r.frame + at, 5), true);
    // A unit probed again after a missed reply tells the same version: it was checked already.
    const bool checked = (d.m_receivedMask & kReceivedIdentity) != 0 && version == d.m_firmwareVersion;
    d.m_firmwareVersion = version;
    d.m_receivedMask |= kReceivedIdentity;
    if (checked) return;
    if (IsFennickModel(model)) {
      // A table without the "Fennick" key expects no version: nothing to warn about.
      const std::string expected = CNerexSources::ReadFirmwareTable("Fennick");
      if (!expected.empty() && expected != d.m_firmwareVersion) {
        d.m_warningBits |= kNerexWarningFirmware;
        if (d.m_host)
          d.m_host->WriteLog("Firmware Version = v" + d.m_firmwareVersion + " should be v" + expected + "\n");
        d.Post(FrameMsg::kPropagateWarning);
      }
    }
    if (model == kModelTorvex48) d.m_extendedMeters = std::strtod(d.m_firmwareVersion.c_str(), nullptr) > 1.2;
  }

  // The image a memory number of a block, name or flags reply names; null when there is none.
  CNerexSeriesMemory* PresetAt(int index) {
    if (index < 0 || std::size_t(index) >= d.m_presets.size()) return nullptr;
    return d.m_presets[std::size_t(index)].get();
  }
  CNerexSeriesMemory* XoverAt(int index) {
    if (index < 0 || std::size_t(index) >= d.m_xoverPresets.size()) return nullptr;
    return d.m_xoverPresets[std::size_t(index)].get();
  }

  void Block(std::uint32_t bit) {
    const std::vector<std::uint8_t> raw = UnpackPayload(r);
    if (raw.size() < 2) return d.RefuseReply(r, "too short");
    const int number = RawMemoryNumber(raw);
    CNerexSeriesMemory* target = nullptr;
    if (number == 0) {
      // The current settings that a change has overtaken stay as the file has them; the
      // read-back asks for the block again once the change has reached the unit.
      if (d.ReadGuard().LeavesOvertakenReply(r)) return;
      target = &d.m_current;
    }
    else if (number >= 1 && number <= int(kMaxPresetNumber)) target = PresetAt(number - 1);
    else if (r.command == kCmdReadOutputs && number > int(kXoverBase)) target = XoverAt(number - int(kXoverBase) - 1);
    if (!target) return d.RefuseReply(r, "no such memory");
    const int model = d.GetModel(), n = d.GetInputCount(), m = d.GetOutputCount();
    const std::span<const std::uint8_t> payload(raw);
    bool ok = false;
    switch (r.command) {
      case kCmdReadInputs: ok = DecodeInputBlock(payload, n, model, *target); break;
      case kCmdReadOutputs: ok = DecodeOutputBlock(payload, m, model, *target); break;
      case kCmdReadGeq: ok = DecodeGeqBlock(payload, n, model, *target); break;
      case kCmdReadDeq: ok = DecodeDeqBlockReply(payload, n, model, *target); break;
      default: break;
    }
    if (!ok) return d.RefuseReply(r, "too short");
    d.m_receivedMask |= bit;
  }

  void Names() {
    // Byte 7 to 46 the device name; input names from 47, output names from 79, 8 bytes apart.
    const std::size_t data = DataBytes();
    if (data < kDeviceNameBytes) return d.RefuseReply(r, "too short");
    // Names that a change has overtaken, or that wait in the queue for this unit (settings being
    // sent), stay as the file has them and are asked again; the panel's title still follows.
    const bool keepFileNames = d.ReadGuard().LeavesOvertakenReply(r);
    if (!keepFileNames) {
      d.m_receivedMask |= kReceivedMeters;
      const std::string name = TrimBlanks(ReplyText(r.frame + kNerexPayload, kDeviceNameBytes), false);
      d.SetName(name);
    }
    auto takeName = [&](NerexChannelName& slot, std::size_t at) {
      // Seven characters of each slot travel; the eighth stays. Slots past the data stay too.
      if (keepFileNames || at + 7 > data) return;
      const std::string text = ReplyText(r.frame + kNerexPayload + at, 7);
      std::copy(text.begin(), text.end(), slot.begin());
    };
    for (int i = 0; i < kNerexMaxInputs; ++i) takeName(d.m_current.inputs.names[std::size_t(i)], 40 + 8 * std::size_t(i));
    for (int j = 0; j < kNerexMaxOutputs; ++j)
      takeName(d.m_current.outputs.names[std::size_t(j)], 72 + 8 * std::size_t(j));
    d.Post(FrameMsg::kPanelCaption);
  }

  void MemoryName() {
    const std::vector<std::uint8_t> raw = UnpackPayload(r);
    if (raw.size() < 2 + kMemoryNameBytes) return d.RefuseReply(r, "too short");
    ++d.m_memoryNameIndex;
    const int n = RawMemoryNumber(raw) - 1;
    // One character for each byte of the field, so that the name goes back to the unit as it holds it.
    const std::string name = MemoryNameFromBytes(raw.data() + 2, kMemoryNameBytes);
    if (n >= 0 && n < int(kXoverBase)) {
      if (CNerexSeriesMemory* memory = PresetAt(n)) TakeMemoryName(*memory, name);
      else d.RefuseReply(r, "no such memory");
      if (d.m_memoryNameIndex == std::min(d.m_presets.size(), kMaxPresetNumber)) {
        d.m_receivedMask |= kReceived49;
        if (!d.m_xoverPresets.empty()) {
          d.m_memoryFlagsIndex = d.m_memoryNameIndex = kXoverBase;
        } else {
          d.m_receivedMask |= kReceived49Second | kReceived53Second;
        }
        d.Post(FrameMsg::kStatusEvent, kNerexStatusPresets);
      }
    } else if (n >= int(kXoverBase)) {
      if (CNerexSeriesMemory* memory = XoverAt(n - int(kXoverBase))) TakeMemoryName(*memory, name);
      else d.RefuseReply(r, "no such memory");
      if (d.m_memoryNameIndex == kXoverBase + d.m_xoverPresets.size()) {
        d.m_receivedMask |= kReceived49Second;
        d.Post(FrameMsg::kStatusEvent, kNerexStatusPresets);
      }
    } else {
      d.RefuseReply(r, "no such memory");
    }
  }

  void MemoryFlags() {
    if (m_received < kFlagsReplyLength) return d.RefuseReply(r, "too short");
    const int number = int(GetMemoryNumber(r.frame + kNerexPayload));
    const int n = number - 1;
    // A reply for another memory than the one asked for is dropped; it is asked again.
    if (n != int(d.m_memoryFlagsIndex)) return d.RefuseReply(r, "not the memory asked for");
    const std::uint8_t flags = B(3);
    if (n < int(kXoverBase)) {
      CNerexSeriesMemory* memory = PresetAt(n);
      if (!memory) return d.RefuseReply(r, "no such memory");
      ++d.m_memoryFlagsIndex;
      TakeMemoryFlags(*memory, flags);
      if (d.m_memoryFlagsIndex == std::min(d.m_presets.size(), kMaxPresetNumber)) d.m_receivedMask |= kReceived53;
    } else {
      CNerexSeriesMemory* memory = XoverAt(n - int(kXoverBase));
      if (!memory) return d.RefuseReply(r, "no such memory");
      ++d.m_memoryFlagsIndex;
      TakeMemoryFlags(*memory, flags);
      if (d.m_memoryFlagsIndex - kXoverBase == d.m_xoverPresets.size()) d.m_receivedMask |= kReceived53Second;
    }
  }

  void TimedPresets() {
    const std::vector<std::uint8_t> raw = UnpackPayload(r);
    if (raw.size() < kTimedPresetBytes) return d.RefuseReply(r, "too short");
    if (d.ReadGuard().LeavesOvertakenReply(r)) return;
    for (std::size_t e = 0; e < d.m_timedPresets.size(); ++e) {
      const std::uint8_t* b = raw.data() + 6 * e;
      const TimedPresetEntry entry{b[0], b[1], b[2], b[3], b[4], b[5]};
      d.m_timedPresets[e] = entry;
    }
    d.m_receivedMask |= kReceivedTimedPresets;
  }

  void General() {
    const std::vector<std::uint8_t> raw = UnpackPayload(r);
    if (raw.size() < std::size_t(NerexGeneralSettings::kSize)) return d.RefuseReply(r, "too short");
    const NerexGeneralSettings old = d.m_general;
    NerexGeneralSettings received;
    std::copy(raw.begin(), raw.begin() + NerexGeneralSettings::kSize, received.bytes.begin());
    // The settings that a person edits and the general frame writes (from the security code on)
    // stay as the file has them when a change has overtaken the read, and are asked again; the
    // clock and the current preset are the unit's.
    const bool overtaken = d.ReadGuard().IsReadOvertaken(r);
    if (overtaken)
      std::copy(old.bytes.begin() + NerexGeneralSettings::kSecurityCodeLow, old.bytes.end(),
                received.bytes.begin() + NerexGeneralSettings::kSecurityCodeLow);
    CopyGeneralSettings(received, d.m_general);
    const NerexGeneralSettings& now = d.m_general;

    const int preset = now.GetCurrentPreset();
    if ((preset != old.GetCurrentPreset() || now.bytes[NerexGeneralSettings::kRecallFlag]) && preset != 0 &&
        m_initialised) {
      if (CNerexSeriesMemory* memory = PresetAt(preset - 1)) {
        d.m_current.CopyFrom(*memory);
        d.Post(FrameMsg::kStatusEvent, kNerexStatusSettings);
      } else {
        d.RefuseReply(r, "no such memory");
      }
    }
    for (int b = NerexGeneralSettings::kSecurityCodeLow; b <= NerexGeneralSettings::kLedTimeout; ++b) {
      if (now.bytes[std::size_t(b)] != old.bytes[std::size_t(b)]) {
        d.Post(FrameMsg::kShowDeviceProps, 1);
        break;
      }
    }
    if (d.HostOptions().GetAutoRtcUpdate()) {
      const NerexClockReading pc = CNerexSources::ReadLocalClock();
      const int unit[] = {now.bytes[0], now.bytes[1], now.bytes[2], now.bytes[3], now.bytes[4], now.bytes[5]};
      const int local[] = {pc.yearOfCentury, pc.month, pc.day, pc.weekday, pc.hour, pc.minute};
      if (!std::equal(std::begin(unit), std::end(unit), std::begin(local)))
        QueueBuilt(d, false, [&](CControlMessage& m) { return BuildClockMessage(d, m, pc); });
    }
    if (!overtaken) d.m_receivedMask |= kReceived79;
  }

  CNerexSeriesDevice& d;
  CControlMessage& r;
  bool m_initialised;
  std::size_t m_received;
};

void CNerexSeriesDevice::TakeReply(CControlMessage& record) {
  bool before = false, after = false;
  {
    CSingleLock lock(SettingsLock());
    // Every reply but the ACK repeats the unit's model in byte 3: a reply of another model's
    // unit is not taken.
    if (!record.write && record.receivedLength > 3 && !UnitAtId().TakeUnitModel(record)) return;
    before = AllBlocksReceived();
    // Set commands are answered by their ACK only.
    if (!record.write) CNerexReplyHandler(*this, record, before).Run();
    after = AllBlocksReceived();
  }
  if (after && !before) {
    m_poller.RunInitialisedEdge();
  } else if (!after) {
    m_warningBits |= kNerexWarningNotInitialised;
    Post(FrameMsg::kPropagateWarning);
  }
  UpdateCommsState(true);
}

void CNerexSeriesDevice::RefuseReply(const CControlMessage& record, const char* why) {
  ++m_refusedReplies;
  LogUnusedReply(*this, record, why);
}
