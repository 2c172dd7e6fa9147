// Frame layout, memory numbers and the write builders of the processor family.
#include "devices/processor/NerexMessages.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/protocol/SevenBit.h"
#include "core/file/TextConversion.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChange.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexParamIds.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "platform/Sync.h"

namespace {

constexpr std::size_t kMemoryNameBytes = 16;

// Sets the fields every write of the family shares.
void SetWrite(CControlMessage& message, CNerexSeriesDevice& device, std::uint32_t command, std::uint32_t length,
              std::uint32_t timeoutBase = 0) {
  message.Set(command, length, 0, &device, true, kNerexReplyStart, 0, timeoutBase);
}

// Packs raw into the payload and finalises a frame whose length follows from the packing.
bool FinishPacked(CNerexSeriesDevice& device, CControlMessage& message, std::uint32_t command,
                  const std::vector<std::uint8_t>& raw, std::uint32_t timeoutBase = 0) {
  const int packed = PackedLength7Bit(int(raw.size()));
  const std::uint32_t length = std::uint32_t(kNerexPayload + std::size_t(packed) + 1);
  if (raw.empty() || length > CControlMessage::kFrameSize) return false;
  Pack7Bit(raw.data(), int(raw.size()), message.frame + kNerexPayload);
  SetWrite(message, device, command, length, timeoutBase);
  FinaliseFrame(message, device);
  return true;
}

bool BuildBlockMessage(CNerexSeriesDevice& device, CControlMessage& message, int block, std::uint32_t command,
                       std::uint8_t memory, std::uint8_t mode, const CNerexSeriesMemory* image) {
  const std::uint32_t length = GetBlockFrameLength(block, device.GetModel());
  if (length == 0) return false;
  std::vector<std::uint8_t> raw;
  {
    CSingleLock lock(device.SettingsLock());
    raw = BuildBlockWritePayload(block, image ? *image : device.GetCurrentSettings(), device.GetModel(), memory,
                                 mode);
  }
  if (raw.empty()) return false;
  if (!FinishPacked(device, message, command, raw, kNerexBlockWriteTimeoutBase)) return false;
  return message.frameLength == length;
}

// Next code point of UTF-8 text starting at i; an invalid byte counts as one character.
std::uint32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto b = std::uint8_t(s[i++]);
  if (b < 0x80) return b;
  int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  if (more == 0) return 0xFFFD;
  std::uint32_t cp = b & (0x3F >> more);
  for (; more > 0 && i < s.size() && (std::uint8_t(s[i]) & 0xC0) == 0x80; --more)
    cp = (cp << 6) | (std::uint8_t(s[i++]) & 0x3F);
  return more == 0 ? cp : 0xFFFD;
}

}  // namespace

void FinaliseFrame(CControlMessage& message, std::uint32_t model, std::uint32_t deviceId) {
  const std::uint32_t length = message.frameLength;
  if (length < 8 || length > CControlMessage::kFrameSize) return;
  std::uint8_t* f = message.frame;
  f[0] = std::uint8_t(message.write ? 0xF1 : 0xF0);
  Put14Bit(f + 1, length - 1);
  f[3] = std::uint8_t(model);
  f[4] = std::uint8_t(deviceId);
  f[5] = 0;
  f[6] = std::uint8_t(message.command);
  // A framed reply repeats the unit's ID (byte 4) and the command (byte 6).
  message.replyEchoMask = (1u << 4) | (1u << 6);
  // Byte 1 stays out of the sum; the length enters as its low 8 bits.
  std::uint32_t sum = f[0] + ((length - 1) & 0xFF);
  for (std::uint32_t i = 3; i + 1 < length; ++i) sum += f[i];
  f[length - 1] = std::uint8_t(sum & 0x7F);
}

void FinaliseFrame(CControlMessage& message, const CDevice& device) {
  FinaliseFrame(message, device.GetTypeCode(), device.GetDeviceId());
}

void PutMemoryNumber(std::uint8_t* dst, std::uint32_t number) {
  dst[0] = std::uint8_t((number >> 7) & 1);
  dst[1] = std::uint8_t(number & 0x7F);
  dst[2] = std::uint8_t((number >> 8) & 0x7F);
}

std::uint32_t GetMemoryNumber(const std::uint8_t* src) {
  return (std::uint32_t(src[2] & 0x7F) << 8) | (src[0] == 1 ? 0x80u : 0u) | (src[1] & 0x7F);
}

std::string ToSevenBitText(std::string_view utf8, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < utf8.size() && out.size() < length;) {
    const std::uint32_t cp = NextCodePoint(utf8, i);
    out.push_back(cp < 0x80 ? char(cp) : '?');
  }
  out.resize(length, ' ');
  return out;
}

std::uint8_t MemoryBlockMode(std::uint32_t sectionFlags, int block) {
  static constexpr struct {
    int block;
    std::uint32_t flag;
  } kOrder[] = {{kBlockInputs, kSectionInputs}, {kBlockGeq, kSectionGeq}, {kBlockOutputs, kSectionOutputs},
                {kBlockDeq, kSectionDeq}};
  int position = -1, count = 0;
  for (const auto& entry : kOrder) {
    if (!(sectionFlags & entry.flag)) continue;
    if (entry.block == block) position = count;
    ++count;
  }
  if (position < 0) return 0;
  std::uint8_t mode = 0;
  if (position < count - 1) mode |= 0x80;
  if (position > 0) mode |= 0x40;
  if (position == count - 1) mode |= std::uint8_t(sectionFlags & kSectionAll);
  return mode;
}

bool BuildCommand16LenMessage(CNerexSeriesDevice& device, CControlMessage& message, const NerexEqBand& band,
                              std::uint8_t channel, int bandIndex) {
  if (bandIndex < 0 || bandIndex >= kNerexOutputPeqBands) return false;
  const auto frequency = std::uint16_t(band.frequency);
  const auto gain = std::uint16_t(band.gain);
  const std::vector<std::uint8_t> raw{channel,
                                      std::uint8_t(band.type & 0x8F),
                                      band.q,
                                      std::uint8_t(frequency),
                                      std::uint8_t(frequency >> 8),
                                      std::uint8_t(gain),
                                      std::uint8_t(gain >> 8)};
  return FinishPacked(device, message, kCmdEqBandFirst + std::uint32_t(bandIndex), raw);
}

bool BuildCommand21Message(CNerexSeriesDevice& device, CControlMessage& message, int output) {
  if (device.GetModel() != 121 || output < 0 || output >= kNerexMaxOutputs) return false;
  std::array<std::uint16_t, kNerexMaxInputs> levels;
  {
    CSingleLock lock(device.SettingsLock());
    levels = device.GetCurrentSettings().outputs.matrixLevels[std::size_t(output)];
  }
  const unsigned a1 = levels[0] & 0x3FF, a2 = levels[1] & 0x3FF, a3 = levels[2] & 0x3FF, a4 = levels[3] & 0x3FF;
  const std::vector<std::uint8_t> raw{std::uint8_t(output + 5),
                                      std::uint8_t(a1 >> 2),
                                      std::uint8_t(((a1 & 3) << 6) | (a2 >> 4)),
                                      std::uint8_t(((a2 & 0xF) << 4) | (a3 >> 6)),
                                      std::uint8_t(((a3 & 0x3F) << 2) | (a4 >> 8)),
                                      std::uint8_t(a4 & 0xFF)};
  return FinishPacked(device, message, kCmdMatrixRow, raw);
}

bool BuildDeqMessage(CNerexSeriesDevice& device, CControlMessage& message, int inputNumber) {
  if (inputNumber < 1 || inputNumber > kNerexMaxInputs) return false;
  std::vector<std::uint8_t> raw;
  {
    CSingleLock lock(device.SettingsLock());
    const CNerexSeriesMemory& image = device.GetCurrentSettings();
    raw.push_back(std::uint8_t(inputNumber));
    raw.push_back(std::uint8_t((image.deqMode ? 1 : 0) + (image.deqLinking ? 2 : 0)));
    std::array<std::uint8_t, 7> band{};
    for (int k = 0; k < kNerexDeqBandsPerInput; ++k) {
      PackDeqBand(image.DeqBand(inputNumber - 1, k), band);
      raw.insert(raw.end(), band.begin(), band.end());
    }
  }
  return FinishPacked(device, message, kCmdDeq, raw);
}

bool BuildCommand23Message(CNerexSeriesDevice& device, CControlMessage& message, const NerexCompressor& c,
                           std::uint8_t channel, bool compressorLimiters) {
  // Each value is cut to its field first, as in the output block, so none spills into the next.
  const unsigned threshold = c.threshold & 0x7F, attack = c.attack & 0x7F, release = c.release & 0x3F,
                 knee = c.softKnee & 0x0F;
  const std::vector<std::uint8_t> raw{
      channel,
      std::uint8_t((compressorLimiters ? 0x80 : 0) + (c.bypass ? 0x40 : 0) + (c.ratio & 0x3F)),
      std::uint8_t(attack * 2 + ((release >> 5) & 1)),
      std::uint8_t(release * 8 + (threshold >> 4)),
      std::uint8_t(threshold * 16 + knee)};
  return FinishPacked(device, message, kCmdCompressor, raw);
}

bool BuildCommand24Message(CNerexSeriesDevice& device, CControlMessage& message, const NerexLimiter& limiter,
                           std::uint8_t channel) {
  std::uint8_t* f = message.frame;
  f[7] = 0;
  f[8] = std::uint8_t(channel & 0x7F);
  // Sent without packing: every byte must stay within 7 bits on the wire.
  f[9] = std::uint8_t(limiter.level & 0x7F);
  f[10] = std::uint8_t(limiter.attack & 0x7F);
  f[11] = std::uint8_t(limiter.release & 0x7F);
  f[12] = std::uint8_t(limiter.clipLevel & 0x7F);
  f[13] = std::uint8_t(limiter.clipRelease & 0x7F);
  SetWrite(message, device, kCmdLimiter, 15);
  FinaliseFrame(message, device);
  return true;
}

bool BuildBlock26Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image) {
  return BuildBlockMessage(device, message, kBlockInputs, kCmdWriteInputs, memory, mode, image);
}

bool BuildBlock31Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image) {
  return BuildBlockMessage(device, message, kBlockOutputs, kCmdWriteOutputs, memory, mode, image);
}

bool BuildBlock42Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image) {
  return BuildBlockMessage(device, message, kBlockGeq, kCmdWriteGeq, memory, mode, image);
}

bool BuildBlock43Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image) {
  return BuildBlockMessage(device, message, kBlockDeq, kCmdWriteDeq, memory, mode, image);
}

bool BuildBlock35Message(CNerexSeriesDevice& device, CControlMessage& message) {
  std::string text;
  {
    CSingleLock lock(device.SettingsLock());
    const CNerexSeriesMemory& image = device.GetCurrentSettings();
    text = ToSevenBitText(device.GetName(), kNerexDeviceNameCharacters);
    for (const auto& name : image.inputs.names)
      text += ToSevenBitText(std::string_view(name.data(), name.size()), kNerexNameLength);
    for (const auto& name : image.outputs.names)
      text += ToSevenBitText(std::string_view(name.data(), name.size()), kNerexNameLength);
  }
  std::memcpy(message.frame + kNerexPayload, text.data(), text.size());
  SetWrite(message, device, kCmdNames, std::uint32_t(kNerexPayload + text.size() + 1), kNerexBlockWriteTimeoutBase);
  FinaliseFrame(message, device);
  return true;
}

bool BuildGeneralSettingsMessage(CNerexSeriesDevice& device, CControlMessage& message) {
  std::vector<std::uint8_t> raw;
  {
    CSingleLock lock(device.SettingsLock());
    const auto& g = device.GetGeneralSettings().bytes;
    raw = {g[NerexGeneralSettings::kSecurityCodeLow], g[NerexGeneralSettings::kSecurityCodeHigh],
           g[NerexGeneralSettings::kSystemLock]};
    for (int i = NerexGeneralSettings::kGpiMode; i < NerexGeneralSettings::kSize; ++i)
      raw.push_back(std::uint8_t(g[std::size_t(i)] ^ 0x80));
  }
  return FinishPacked(device, message, kCmdGeneralSettings, raw);
}

bool BuildMemoryNameMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t number,
                            const std::string& name) {
  std::vector<std::uint8_t> raw{number};
  const std::string bytes = MemoryNameBytes(name);
  for (std::size_t i = 0; i < kMemoryNameBytes; ++i) raw.push_back(std::uint8_t(CharAtOrSpace(bytes, i)));
  return FinishPacked(device, message, kCmdMemoryName, raw);
}

bool BuildClearMemoryMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t number) {
  return FinishPacked(device, message, kCmdClearMemory, {number});
}

bool BuildClockMessage(CNerexSeriesDevice& device, CControlMessage& message, const NerexClockReading& clock) {
  const std::vector<std::uint8_t> raw{std::uint8_t(clock.yearOfCentury), std::uint8_t(clock.month),
                                      std::uint8_t(clock.day),           std::uint8_t(clock.weekday),
                                      std::uint8_t(clock.hour),          std::uint8_t(clock.minute)};
  return FinishPacked(device, message, kCmdSetClock, raw);
}

bool BuildPackedWriteMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint32_t command,
                             const std::vector<std::uint8_t>& raw) {
  return FinishPacked(device, message, command, raw);
}

bool BuildPlainWriteMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint32_t command,
                            const std::vector<std::uint8_t>& payload) {
  const std::size_t length = kNerexPayload + payload.size() + 1;
  if (payload.empty() || length > CControlMessage::kFrameSize) return false;
  for (std::size_t i = 0; i < payload.size(); ++i) message.frame[kNerexPayload + i] = std::uint8_t(payload[i] & 0x7F);
  SetWrite(message, device, command, std::uint32_t(length));
  FinaliseFrame(message, device);
  return true;
}

void BuildDelayMessages(CNerexSeriesDevice& device) {
  for (int i = 0; i < kNerexMaxInputs; ++i) {
    std::vector<int> changed;
    std::uint32_t delay = 0;
    {
      CSingleLock lock(device.SettingsLock());
      CNerexSeriesMemory& image = WritableSettings(device);
      const std::uint32_t stored = image.inputs.delays[std::size_t(i)];
      delay = GetDelayValue(image, device.GetModel(), kParamInputDelay + i, stored);
      if (delay == stored) continue;
      const std::uint8_t group = image.inputs.linkMasks[std::size_t(i)];
      for (int j = 0; j < kNerexMaxInputs; ++j) {
        if (!(group & (1u << j))) continue;
        image.inputs.delays[std::size_t(j)] = delay;
        changed.push_back(j);
      }
    }
    for (int j : changed) {
      Renotify(device, kParamInputDelay + j);
      QueueBuilt(device, false, [&](CControlMessage& m) {
        return FinishPacked(device, m, kCmdDelay,
                            {std::uint8_t(j + 1), std::uint8_t(delay & 0xFF), std::uint8_t((delay >> 8) & 0xFF),
                             std::uint8_t((delay >> 16) & 0xFF)});
      });
    }
  }
}

void CloneFrom(CNerexSeriesDevice& device, const CNerexSeriesDevice& source) {
  if (&device == &source) return;
  {
    CSingleLock lock(device.SettingsLock());
    WritableSettings(device).CopyFrom(source.GetCurrentSettings());
    ResizePresetList(WritablePresets(device), source.GetPresets().size());
    NerexGeneralSettings& g = WritableGeneralSettings(device);
    const NerexGeneralSettings& s = source.GetGeneralSettings();
    g.SetSecurityCode(s.GetSecurityCode());
    for (int b = NerexGeneralSettings::kSystemLock; b <= NerexGeneralSettings::kLedTimeout; ++b)
      g.bytes[std::size_t(b)] = s.bytes[std::size_t(b)];
    for (std::size_t n = 0; n < device.GetPresets().size(); ++n)
      WritablePresets(device)[n]->CopyFrom(*source.GetPresets()[n]);
    WritableTimedPresets(device) = source.GetTimedPresets();
  }
  device.HostOptions().SetAutoRtcUpdate(source.HostOptions().GetAutoRtcUpdate());
  device.HostOptions().SetDelayUnits(source.HostOptions().GetDelayUnits());
  device.HostOptions().SetDelayMultiplier(source.HostOptions().GetDelayMultiplier());
  device.HostOptions().SetGainNudge(source.HostOptions().GetGainNudge());
  NotifyAllParameters(device);
}

float CalcCompressorCurveLevel(const CNerexSeriesDevice& device, int output) {
  if (output < 0 || output >= kNerexMaxOutputs) return 0.0f;
  const NerexCompressor c = device.GetCurrentSettings().outputs.compressors[std::size_t(output)];
  const float level = device.Meters().GetCompressorMeter(output);
  if (c.ratio == 0) return -6.0f;
  const float threshold = 22.0f - float(c.threshold);
  const float knee = float(c.softKnee);
  const float low = threshold - knee;
  const float slope = 1.0f - 1.0f / std::pow(2.0f, float(c.ratio) / 4.0f);
  float y;
  if (low >= level) {
    y = level;
  } else if (threshold + knee <= level) {
    y = level - (level - threshold) * slope;
  } else {
    y = level - (level - low) * (level - low) * slope / (4.0f * knee);
  }
  if (y < level) return level - y;
  return level - low;
}
