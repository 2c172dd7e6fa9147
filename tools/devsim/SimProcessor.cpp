// The simulated processor unit.
#include "tools/devsim/SimProcessor.h"

#include <algorithm>
#include <cstring>

#include "core/protocol/SevenBit.h"
#include "devices/processor/NerexBlocks.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexPresets.h"

namespace {

constexpr std::uint8_t kReplyStart = 0xA8;
constexpr std::uint8_t kIdentStart = 0xB8;
constexpr std::uint8_t kProbeStart = 0xE8;
constexpr std::size_t kPayload = 7;
constexpr std::uint32_t kXoverFirstNumber = 257;

// Raw bytes that a packed frame of total length L carries.
std::size_t RawCount(std::size_t length) {
  if (length < 9) return 0;
  const std::size_t packed = length - 8;
  return packed - (packed + 7) / 8;
}

std::vector<std::uint8_t> Unpack(const SimBytes& frame, std::size_t count) {
  std::vector<std::uint8_t> raw(count);
  if (count > 0 && frame.size() >= kPayload + std::size_t(PackedLength7Bit(int(count))))
    Unpack7Bit(frame.data() + kPayload, int(count), raw.data());
  return raw;
}

bool FrameChecksumOk(const SimBytes& f) {
  if (f.size() < 8) return false;
  std::uint32_t sum = f[0] + ((f.size() - 1) & 0xFF);
  for (std::size_t i = 3; i + 1 < f.size(); ++i) sum += f[i];
  return std::uint8_t(sum & 0x7F) == f.back();
}

std::uint32_t MemoryNumberOf(const SimBytes& f) {
  return (std::uint32_t(f[9] & 0x7F) << 8) | (f[7] == 1 ? 0x80u : 0u) | (f[8] & 0x7F);
}

std::uint8_t SevenBits(std::uint32_t value) { return std::uint8_t(value & 0x7F); }

std::string TrimTrailing(std::string text) {
  const auto last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) out.push_back(i < text.size() ? std::uint8_t(text[i] & 0x7F) : 0x20);
}

NerexChannelName NameFrom(const std::uint8_t* bytes) {
  NerexChannelName name;
  for (std::size_t i = 0; i < name.size(); ++i) name[i] = char(bytes[i]);
  return name;
}

}  // namespace

CSimProcessorUnit::CSimProcessorUnit(int model, std::uint32_t deviceId, std::uint32_t hardwareCode)
    : m_model(model), m_deviceId(deviceId), m_hardwareCode(hardwareCode) {
  InitMemoryDefaults(m_current);
  ResizePresetList(m_presets, kNerexDefaultPresetCount);
  // A unit holds every code within its range: the compressor times follow the crossover as the
  // compressor-limiters flag of each image asks (a new image's release code lies beyond it).
  ApplyCompressorLimiters(m_current.outputs, m_current.outputs.compressorLimiters != 0);
  for (auto& preset : m_presets) ApplyCompressorLimiters(preset->outputs, preset->outputs.compressorLimiters != 0);
  for (auto& b : m_meters) b = 20;
  m_general[8] = 0x80;  // security code 8064
  m_general[9] = 0x1F;
  m_general[14] = 6;
  m_general[15] = 10;
}

std::vector<std::uint8_t> CSimProcessorUnit::EncodeReplyBlock(int block, const CNerexSeriesMemory& image, int model) {
  std::vector<std::uint8_t> out;
  const int n = GetInputCount(model), m = GetOutputCount(model);
  switch (block) {
    case kBlockInputs: {
      EncodeInputBlock(image.inputs, n, model, out);
      // The unit reports the first input's mute in bit 3 and the fourth's in bit 0.
      const std::size_t at = std::size_t(3 * n + (IsFennickModel(model) ? 64 : 3 * n));
      if (at < out.size()) {
        const std::uint8_t mute = image.inputs.muteMask;
        out[at] = std::uint8_t(((mute & 1) << 3) | (((mute >> 1) & 1) << 2) | (((mute >> 2) & 1) << 1) | ((mute >> 3) & 1));
      }
      break;
    }
    case kBlockOutputs:
      EncodeOutputBlockForWrite(image.outputs, m, model, out);
      // The Fennick units report routing masks after the link masks, which they do not take.
      if (IsFennickModel(model))
        out.insert(out.begin() + m, image.outputs.routingMasks.begin(), image.outputs.routingMasks.begin() + m);
      break;
    case kBlockGeq: EncodeGeqBlock(image.geq, n, out); break;
    case kBlockDeq: EncodeDeqBlock(image, n, out); break;
    default: break;
  }
  return out;
}

std::size_t CSimProcessorUnit::RequestLength(const SimBytes& bytes) const {
  // Discovery probes and the identification request are not framed: they end with the line
  // going quiet.
  if (!bytes.empty() && (bytes[0] == 0xE0 || bytes[0] == 0xB0)) return kSimUnknownLength;
  return CSimUnit::RequestLength(bytes);
}

SimAnswer CSimProcessorUnit::Handle(const SimBytes& request) {
  if (request.size() == 5 && request[0] == 0xB0 && m_answersLongIdProbe && m_deviceId > 63) {
    for (int group = 0; group < 4; ++group)
      if (request[std::size_t(4 - group)] != SevenBits(m_deviceId >> (8 * group))) return SimAnswer::Silence();
    std::vector<std::uint8_t> body(20, 0);
    for (std::size_t i = 0; i < 4; ++i) body[i] = SevenBits(m_deviceId >> (8 * (3 - i)));
    return SimAnswer::Reply(kIdentStart, body);
  }
  if (request.size() == 2 && request[1] == IdByte()) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (request[0] == 0xE0) {
      const std::uint32_t v = m_hardwareCode;
      return SimAnswer::Reply(kProbeStart, {SevenBits(m_deviceId), SevenBits(m_model), SevenBits(v >> 24),
                                            SevenBits(v >> 16), SevenBits(v >> 8), SevenBits(v)});
    }
    if (request[0] == 0xB0) {
      ++m_reads[0xB0];
      SimProcessorFault fault;
      const bool faulty = TakeFault(0xB0, fault);
      if (faulty && fault.kind == SimProcessorFault::Kind::kSilence) return SimAnswer::Silence();
      std::vector<std::uint8_t> body(17, 0x20);
      body[0] = SevenBits(m_model);
      body[1] = SevenBits(m_deviceId);
      const std::size_t at = (IsFennickModel(m_model) ? 14 : 15) - 3;
      for (std::size_t i = 0; i < 5; ++i) body[at + i] = i < m_firmware.size() ? std::uint8_t(m_firmware[i] & 0x7F) : 0x20;
      if (faulty && fault.kind == SimProcessorFault::Kind::kCutData)
        body.resize(body.size() > std::size_t(fault.value) ? body.size() - std::size_t(fault.value) : 0);
      return SimAnswer::Reply(kIdentStart, body);
    }
    return SimAnswer::Silence();
  }
  if (request.size() < 8 || (request[0] != 0xF0 && request[0] != 0xF1) || request[4] != IdByte())
    return SimAnswer::Silence();
  // A frame with a bad checksum is ignored, as a unit would.
  if (!FrameChecksumOk(request)) return SimAnswer::Silence();
  const std::uint8_t command = request[6];
  std::lock_guard<std::mutex> lock(m_mutex);
  if (request[0] == 0xF1) {
    m_writes.push_back(request);
    ApplyWrite(request, command);
    return SimAnswer::Ack();
  }
  ++m_reads[command];
  return Read(request, command);
}

bool CSimProcessorUnit::TakeFault(std::uint8_t command, SimProcessorFault& fault) {
  auto it = m_faults.find(command);
  if (it == m_faults.end() || it->second.empty()) return false;
  fault = it->second.front();
  it->second.pop_front();
  return true;
}

SimAnswer CSimProcessorUnit::Framed(std::uint8_t command, const std::vector<std::uint8_t>& payload) const {
  // Like every byte after the start byte, the unit's ID comes back as its low seven bits.
  std::vector<std::uint8_t> body{SevenBits(m_model), SevenBits(m_deviceId), 0, SevenBits(command)};
  if (!m_repeatsHeader) std::fill(body.begin(), body.end(), std::uint8_t(0));
  body.insert(body.end(), payload.begin(), payload.end());
  return SimAnswer::Reply(kReplyStart, body);
}

SimAnswer CSimProcessorUnit::Packed(std::uint8_t command, const std::vector<std::uint8_t>& raw) const {
  std::vector<std::uint8_t> packed(std::size_t(PackedLength7Bit(int(raw.size()))));
  if (!raw.empty()) Pack7Bit(raw.data(), int(raw.size()), packed.data());
  return Framed(command, packed);
}

CNerexSeriesMemory* CSimProcessorUnit::Memory(std::uint32_t number, bool allowXover) {
  if (number == 0) return &m_current;
  if (number <= 255) return number <= m_presets.size() ? m_presets[number - 1].get() : nullptr;
  if (allowXover && number >= kXoverFirstNumber && number - kXoverFirstNumber < m_xoverPresets.size())
    return m_xoverPresets[number - kXoverFirstNumber].get();
  return nullptr;
}

SimAnswer CSimProcessorUnit::Read(const SimBytes& request, std::uint8_t command) {
  SimProcessorFault fault;
  const bool faulty = TakeFault(command, fault);
  using Kind = SimProcessorFault::Kind;
  if (faulty && fault.kind == Kind::kSilence) return SimAnswer::Silence();
  if (faulty && fault.kind == Kind::kAnotherUnit) {
    SimAnswer answer = Read(request, command);
    if (answer.kind == SimAnswer::Kind::kBytes && answer.bytes.size() > 5) {
      answer.bytes[4] = std::uint8_t(fault.value & 0x7F);
      answer.bytes.back() = Checksum7Bit(answer.bytes.data(), answer.bytes.size() - 1);
    }
    return answer;
  }
  const int wrong = faulty && fault.kind == Kind::kWrongMemory ? fault.value : 0;
  const std::size_t cut = faulty && fault.kind == Kind::kCutData ? std::size_t(std::max(fault.value, 0)) : 0;
  auto cutRaw = [&](std::vector<std::uint8_t> raw) {
    raw.resize(raw.size() > cut ? raw.size() - cut : 0);
    return raw;
  };
  const int n = GetInputCount(m_model), m = GetOutputCount(m_model);

  switch (command) {
    case 48: case 50: case 52: case 54: {
      if (request.size() < 11) return SimAnswer::Silence();
      const std::uint32_t number = MemoryNumberOf(request);
      const CNerexSeriesMemory* memory = Memory(number, command == 50);
      if (!memory) return SimAnswer::Silence();
      const int block = command == 48 ? kBlockInputs : command == 50 ? kBlockOutputs : command == 52 ? kBlockGeq : kBlockDeq;
      const auto named = std::uint16_t(int(number) + wrong);
      std::vector<std::uint8_t> raw{std::uint8_t(named), std::uint8_t(named >> 8)};
      const std::vector<std::uint8_t> data = EncodeReplyBlock(block, *memory, m_model);
      raw.insert(raw.end(), data.begin(), data.end());
      return Packed(command, cutRaw(raw));
    }
    case 49: {
      if (request.size() < 11) return SimAnswer::Silence();
      const std::uint32_t number = MemoryNumberOf(request);
      const CNerexSeriesMemory* memory = Memory(number, true);
      if (!memory || number == 0) return SimAnswer::Silence();
      const auto named = std::uint16_t(int(number) + wrong);
      std::vector<std::uint8_t> raw{std::uint8_t(named), std::uint8_t(named >> 8)};
      for (std::size_t i = 0; i < 16; ++i) raw.push_back(i < memory->name.size() ? std::uint8_t(memory->name[i]) : 0x20);
      return Packed(command, cutRaw(raw));
    }
    case 53: {
      if (request.size() < 11) return SimAnswer::Silence();
      const std::uint32_t number = MemoryNumberOf(request);
      const CNerexSeriesMemory* memory = Memory(number, true);
      if (!memory || number == 0) return SimAnswer::Silence();
      const std::uint32_t named = std::uint32_t(int(number) + wrong);
      std::vector<std::uint8_t> payload{std::uint8_t((named >> 7) & 1), std::uint8_t(named & 0x7F),
                                        std::uint8_t((named >> 8) & 0x7F), std::uint8_t(memory->sectionFlags & 0x7F)};
      return Framed(command, payload);
    }
    case 51: {
      // The name, then a slot for each of the four inputs and eight outputs a unit can have;
      // the reply carries 40 + 8 x (inputs + outputs) of those bytes, so a unit with fewer
      // channels sends a shorter reply.
      std::vector<std::uint8_t> text;
      PutText(text, m_name, 40);
      const bool compact = faulty && fault.kind == Kind::kCompactNames;
      for (int i = 0; i < (compact ? n : kNerexMaxInputs); ++i)
        PutText(text, std::string(m_current.inputs.names[std::size_t(i)].data(), kNerexNameLength), kNerexNameLength);
      for (int j = 0; j < (compact ? m : kNerexMaxOutputs); ++j)
        PutText(text, std::string(m_current.outputs.names[std::size_t(j)].data(), kNerexNameLength), kNerexNameLength);
      text.resize(std::min(text.size(), std::size_t(40 + 8 * (n + m))));
      return Framed(command, cutRaw(text));
    }
    case 62:
      return Framed(command, cutRaw(std::vector<std::uint8_t>(m_meters.begin(), m_meters.begin() + 12)));
    case 63: {
      if (request.size() < 9) return SimAnswer::Silence();
      const std::size_t count = request[7] == 64 ? 32 : 12;
      return Framed(command, cutRaw(std::vector<std::uint8_t>(m_meters.begin(), m_meters.begin() + std::ptrdiff_t(count))));
    }
    case 74:
      if (!IsFennickModel(m_model)) return SimAnswer::Silence();
      return Packed(command, cutRaw(std::vector<std::uint8_t>(m_security.begin(), m_security.end())));
    case 78:
      return Packed(command, cutRaw(std::vector<std::uint8_t>(m_timed.begin(), m_timed.end())));
    case 79:
      return Packed(command, cutRaw(std::vector<std::uint8_t>(m_general.begin(), m_general.end())));
    default:
      return SimAnswer::Silence();
  }
}

void CSimProcessorUnit::ApplyWrite(const SimBytes& f, std::uint8_t command) {
  const int n = GetInputCount(m_model), m = GetOutputCount(m_model);
  // Channel bytes: inputs 1..4, outputs 5..12.
  auto isInput = [&](int ch) { return ch >= 1 && ch <= kNerexMaxInputs; };
  auto isOutput = [&](int ch) { return ch >= 5 && ch <= 4 + kNerexMaxOutputs; };
  // A write for a channel reaches every channel linked with it on the unit.
  auto linked = [](const auto& masks, int channel) {
    std::vector<int> out;
    const unsigned mask = masks[std::size_t(channel)] | (1u << channel);
    for (int j = 0; j < int(masks.size()); ++j)
      if (mask & (1u << j)) out.push_back(j);
    return out;
  };
  auto inputsOf = [&](int ch) { return linked(m_current.inputs.linkMasks, ch - 1); };
  auto outputsOf = [&](int ch) { return linked(m_current.outputs.linkMasks, ch - 5); };

  // Stores one value for the channel's group, in the input or the output table.
  auto toGroup = [&](int ch, auto& inputs, auto& outputs, auto value) {
    if (isInput(ch))
      for (int j : inputsOf(ch)) inputs[std::size_t(j)] = value;
    if (isOutput(ch))
      for (int j : outputsOf(ch)) outputs[std::size_t(j)] = value;
  };

  if (command == 1) {
    const auto raw = Unpack(f, 4);
    toGroup(raw[0], m_current.inputs.delays, m_current.outputs.delays,
            std::uint32_t(raw[1] | raw[2] << 8 | std::uint32_t(raw[3]) << 16));
  } else if (command == 2) {
    const auto raw = Unpack(f, 3);
    toGroup(raw[0], m_current.inputs.gains, m_current.outputs.gains, std::int16_t(std::uint16_t(raw[1] | raw[2] << 8)));
  } else if (command == 3) {
    const auto raw = Unpack(f, 2);
    m_current.inputs.muteMask = raw[0];
    m_current.outputs.muteMask = raw[1];
  } else if (command == 6 || command == 7) {
    const auto raw = Unpack(f, 4);
    if (isOutput(raw[0]))
      for (int j : outputsOf(raw[0])) {
        NerexEqBand& filter = command == 6 ? m_current.outputs.highPass[std::size_t(j)] : m_current.outputs.lowPass[std::size_t(j)];
        filter.q = raw[1];  // a crossover's type code
        filter.frequency = std::uint16_t(raw[2] | raw[3] << 8);
      }
  } else if (command >= 8 && command <= 16) {
    const auto raw = Unpack(f, 7);
    const int band = command - 8;
    auto apply = [&](NerexEqBand& target) {
      target.type = raw[1];
      target.q = raw[2];
      target.frequency = std::uint16_t(raw[3] | raw[4] << 8);
      target.gain = std::int16_t(std::uint16_t(raw[5] | raw[6] << 8));
    };
    if (isInput(raw[0]) && band < kNerexInputPeqBands)
      for (int j : inputsOf(raw[0])) apply(m_current.inputs.PeqBand(j, band));
    if (isOutput(raw[0]))
      for (int j : outputsOf(raw[0])) apply(m_current.outputs.PeqBand(j, band));
  } else if (command == 21) {
    const auto raw = Unpack(f, 6);
    if (isOutput(raw[0])) {
      auto& levels = m_current.outputs.matrixLevels[raw[0] - 5u];
      levels[0] = std::uint16_t((raw[1] << 2) | (raw[2] >> 6));
      levels[1] = std::uint16_t(((raw[2] & 0x3F) << 4) | (raw[3] >> 4));
      levels[2] = std::uint16_t(((raw[3] & 0x0F) << 6) | (raw[4] >> 2));
      levels[3] = std::uint16_t(((raw[4] & 0x03) << 8) | raw[5]);
    }
  } else if (command == 22) {
    const auto raw = Unpack(f, 23);
    if (isInput(raw[0])) {
      m_current.deqMode = raw[1] & 1;
      m_current.deqLinking = (raw[1] >> 1) & 1;
      // With dynamic-EQ linking each input's bands stand alone.
      const std::vector<int> inputs = m_current.deqLinking ? std::vector<int>{raw[0] - 1} : inputsOf(raw[0]);
      for (int j : inputs)
        for (int k = 0; k < kNerexDeqBandsPerInput; ++k)
          UnpackDeqBand(std::span<const std::uint8_t, 7>(raw.data() + 2 + 7 * k, 7), m_current.DeqBand(j, k));
    }
  } else if (command == 23) {
    const auto raw = Unpack(f, 5);
    if (isOutput(raw[0])) {
      for (int j : outputsOf(raw[0])) {
        NerexCompressor& c = m_current.outputs.compressors[std::size_t(j)];
        c.bypass = (raw[1] >> 6) & 1;
        c.ratio = raw[1] & 0x3F;
        c.attack = raw[2] >> 1;
        c.release = std::uint8_t(((raw[2] & 1) << 5) | (raw[3] >> 3));
        c.threshold = std::uint8_t(((raw[3] & 7) << 4) | (raw[4] >> 4));
        c.softKnee = raw[4] & 0x0F;
      }
      m_current.outputs.compressorLimiters = (raw[1] >> 7) & 1;
    }
  } else if (command == 24) {
    if (f.size() >= 15 && isOutput(f[8]))
      for (int j : outputsOf(f[8])) m_current.outputs.limiters[std::size_t(j)] = NerexLimiter{f[9], f[10], f[11], f[12], f[13]};
  } else if (command == 25) {
    m_current.outputs.phaseMask = Unpack(f, 1)[0];
  } else if (command == 33) {
    if (f.size() >= 9) m_current.outputs.autoLimiters = f[7] ? 1 : 0;
  } else if (command == 36) {
    const auto raw = Unpack(f, 2);
    if (isOutput(raw[0]))
      for (int j : outputsOf(raw[0])) m_current.outputs.trims[std::size_t(j)] = std::int8_t(raw[1]);
  } else if (command == 39) {
    const auto raw = Unpack(f, 4);
    if (raw[0] >= 1 && raw[0] <= kNerexMaxOutputs && raw[1] >= 1 && raw[1] <= kNerexMaxInputs)
      m_current.inputs.matrixGains[raw[0] - 1u][raw[1] - 1u] = std::int16_t(std::uint16_t(raw[2] | raw[3] << 8));
  } else if (command == 40) {
    const auto raw = Unpack(f, 5);
    if (isInput(raw[0]) && raw[2] < kNerexGeqBands)
      for (int j : inputsOf(raw[0]))
        m_current.geq.bands[std::size_t(j)][raw[2]] = std::int16_t(std::uint16_t(raw[3] | raw[4] << 8));
  } else if (command == 26 || command == 31 || command == 42 || command == 43) {
    const auto raw = Unpack(f, RawCount(f.size()));
    if (raw.size() < 2) return;
    CNerexSeriesMemory* memory = Memory(raw[0], false);
    if (!memory) return;
    std::vector<std::uint8_t> data(raw.begin() + 2, raw.end());
    if (command == 26) DecodeInputBlockV1(2, data, n, m_model, *memory);
    if (command == 31) {
      if (m_model == kModelTorvex48) {
        // The write carries the compressor-limiters flag in the compressors' first byte; the
        // stored form keeps it as a byte of its own before them.
        const std::size_t at = std::size_t(73 * m + 3);
        if (at < data.size()) data.insert(data.begin() + std::ptrdiff_t(at), std::uint8_t(data[at] >> 7));
      }
      DecodeOutputBlockSnapshot(2, data, m, m_model, *memory);
    }
    if (command == 42) DecodeGeqBlockSnapshot(data, n, *memory);
    if (command == 43) DecodeDeqBlock(2, data, n, m_model, *memory);
    // The last block of a stored memory carries its section flags.
    if (raw[0] != 0 && !(raw[1] & 0x80)) memory->sectionFlags = raw[1] & kSectionAll;
  } else if (command == 27) {
    // Recall: the sections of the mask that the memory holds become the current settings;
    // a stored memory (not a crossover preset) becomes the current preset.
    const auto raw = Unpack(f, 3);
    const std::uint32_t number = raw[0] | std::uint32_t(raw[1]) << 8;
    const CNerexSeriesMemory* memory = number == 0 ? nullptr : Memory(number, true);
    if (!memory || !memory->HoldsAnySection()) return;
    const std::uint32_t sections = raw[2] & memory->sectionFlags;
    if (sections & kSectionInputs) m_current.inputs.CopyFrom(memory->inputs);
    if (sections & kSectionOutputs) m_current.outputs.CopyFrom(memory->outputs);
    if (sections & kSectionGeq) m_current.geq.CopyFrom(memory->geq);
    if (sections & kSectionDeq) m_current.CopyDeqBlockFrom(*memory);
    m_current.name = memory->name;
    if (number < kXoverFirstNumber) m_general[7] = std::uint8_t(number);
  } else if (command == 28) {
    const auto raw = Unpack(f, 17);
    if (CNerexSeriesMemory* memory = Memory(raw[0], false); memory && raw[0] != 0)
      memory->name = TrimTrailing(std::string(raw.begin() + 1, raw.end()));
  } else if (command == 30) {
    const auto raw = Unpack(f, 1);
    if (CNerexSeriesMemory* memory = Memory(raw[0], false); memory && raw[0] != 0) memory->sectionFlags = 0;
  } else if (command == 35) {
    if (f.size() < 144) return;
    m_name = TrimTrailing(std::string(f.begin() + 7, f.begin() + 47));
    for (int i = 0; i < kNerexMaxInputs; ++i) m_current.inputs.names[std::size_t(i)] = NameFrom(f.data() + 47 + 8 * i);
    for (int j = 0; j < kNerexMaxOutputs; ++j) m_current.outputs.names[std::size_t(j)] = NameFrom(f.data() + 79 + 8 * j);
  } else if (command == 75) {
    const auto raw = Unpack(f, m_security.size());
    std::copy(raw.begin(), raw.end(), m_security.begin());
  } else if (command == 76) {
    const auto raw = Unpack(f, 6);
    std::copy(raw.begin(), raw.end(), m_general.begin());
  } else if (command == 77) {
    const auto raw = Unpack(f, m_timed.size());
    std::copy(raw.begin(), raw.end(), m_timed.begin());
  } else if (command == 80) {
    const auto raw = Unpack(f, 12);
    m_general[8] = raw[0];
    m_general[9] = raw[1];
    m_general[10] = raw[2];
    for (std::size_t i = 3; i < raw.size(); ++i) m_general[8 + i] = std::uint8_t(raw[i] ^ 0x80);
  }
}

// --- State ---

CNerexSeriesMemory CSimProcessorUnit::Current() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_current;
}

void CSimProcessorUnit::SetCurrent(const CNerexSeriesMemory& image) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_current = image;
}

void CSimProcessorUnit::SetPresetCount(std::size_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ResizePresetList(m_presets, count);
}

std::size_t CSimProcessorUnit::PresetCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_presets.size();
}

CNerexSeriesMemory CSimProcessorUnit::Preset(std::size_t number) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return number >= 1 && number <= m_presets.size() ? *m_presets[number - 1] : CNerexSeriesMemory{};
}

void CSimProcessorUnit::SetPreset(std::size_t number, const CNerexSeriesMemory& memory) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (number >= 1 && number <= m_presets.size()) *m_presets[number - 1] = memory;
}

void CSimProcessorUnit::SetXoverPresetCount(std::size_t count) {
  std::lock_guard<std::mutex> lock(m_mutex);
  const std::size_t held = m_xoverPresets.size();
  ResizeXoverPresetList(m_xoverPresets, count);
  for (std::size_t k = held; k < m_xoverPresets.size(); ++k)
    ApplyCompressorLimiters(m_xoverPresets[k]->outputs, m_xoverPresets[k]->outputs.compressorLimiters != 0);
}

CNerexSeriesMemory CSimProcessorUnit::XoverPreset(std::size_t index) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return index < m_xoverPresets.size() ? *m_xoverPresets[index] : CNerexSeriesMemory{};
}

void CSimProcessorUnit::SetXoverPreset(std::size_t index, const CNerexSeriesMemory& memory) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index < m_xoverPresets.size()) *m_xoverPresets[index] = memory;
}

std::string CSimProcessorUnit::DeviceName() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_name;
}

void CSimProcessorUnit::SetDeviceName(const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_name = name;
}

void CSimProcessorUnit::SetFirmware(const std::string& version) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_firmware = version.substr(0, 5);
}

void CSimProcessorUnit::SetMeterBytes(const std::array<std::uint8_t, 32>& bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::size_t i = 0; i < bytes.size(); ++i) m_meters[i] = bytes[i] & 0x7F;
}

std::array<std::uint8_t, 20> CSimProcessorUnit::GeneralSettings() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_general;
}

void CSimProcessorUnit::SetGeneralSettings(const std::array<std::uint8_t, 20>& bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_general = bytes;
}

std::array<std::uint8_t, 60> CSimProcessorUnit::TimedPresets() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_timed;
}

void CSimProcessorUnit::SetTimedPresets(const std::array<std::uint8_t, 60>& bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_timed = bytes;
}

std::array<std::uint8_t, 245> CSimProcessorUnit::SecurityBlock() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_security;
}

void CSimProcessorUnit::SetSecurityBlock(const std::array<std::uint8_t, 245>& bytes) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_security = bytes;
}

void CSimProcessorUnit::InjectReplyFault(std::uint8_t command, SimProcessorFault fault) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_faults[command].push_back(fault);
}

std::vector<SimBytes> CSimProcessorUnit::Writes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_writes;
}

std::vector<SimBytes> CSimProcessorUnit::WritesOf(std::uint8_t command) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<SimBytes> out;
  for (const SimBytes& w : m_writes)
    if (w.size() > 6 && w[6] == command) out.push_back(w);
  return out;
}

std::size_t CSimProcessorUnit::ReadCount(std::uint8_t command) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_reads.find(command);
  return it == m_reads.end() ? 0 : it->second;
}
