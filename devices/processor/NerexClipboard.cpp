// The processor clipboard record, its byte form and the can-paste rules.
#include "devices/processor/NerexClipboard.h"

#include <algorithm>

#include "devices/processor/NerexByteIo.h"
#include "devices/processor/NerexChannelRules.h"
#include "devices/processor/NerexModelTable.h"
#include "devices/processor/NerexRecordBytes.h"

namespace {

template <std::size_t N>
std::span<std::uint8_t, N> At(std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return std::span<std::uint8_t, N>(bytes.data() + offset, N);
}

template <std::size_t N>
std::span<const std::uint8_t, N> At(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return std::span<const std::uint8_t, N>(bytes.data() + offset, N);
}

// The lock bytes that a pasted output channel must find clear for the selected output.
bool OutputHasLock(const NerexOutputSection& outputs, int output) {
  if (output < 0 || output >= kNerexMaxOutputs) return true;
  const std::uint8_t bit = std::uint8_t(1u << output);
  if (outputs.channelGroups[kGroupGainLockA] & bit) return true;
  for (int i = kGroupDelayLock; i <= kGroupPeqBandLock + kNerexOutputPeqBands - 1; ++i)
    if (outputs.channelGroups[i] & bit) return true;
  return false;
}

// The record's head and its properties tail, walked by a CSpanWriter from a const record or by
// a CSpanReader.
template <class Io, class Record>
void HeadFields(Io& io, Record& r) {
  io.U32(r.copiedInput);
  io.U32(r.copiedOutput);
  io.U32(r.model);
  io.U32(r.inputCount);
  io.U32(r.outputCount);
}

template <class Io, class Properties>
void PropertyFields(Io& io, Properties& p) {
  io.U16(p.securityCode);
  for (auto* v : {&p.systemLock, &p.gpiMode, &p.memoryOffset, &p.transmitPreset, &p.onDelay, &p.lcdContrast,
                  &p.ledTimeout})
    io.U8(*v);
  io.Pad(3);
  io.U8(p.autoRtcUpdate);
  io.Pad(3);
  io.U32(p.delayUnits);
  io.U32(p.delayMultiplier);
  io.U32(p.gainNudge);
}

}  // namespace

std::uint32_t GetClipboardInputCount(int model) { return std::uint32_t(GetInputCount(model)); }
std::uint32_t GetClipboardOutputCount(int model) { return std::uint32_t(GetOutputCount(model)); }

NerexClipboardRecord MakeClipboardRecord(const CNerexSeriesMemory& image, int model,
                                         const NerexClipboardProperties& properties, std::uint32_t command,
                                         std::uint32_t selectedChannel) {
  NerexClipboardRecord r;
  r.settings.inputs.CopyFrom(image.inputs);
  r.settings.outputs.CopyFrom(image.outputs);
  r.settings.geq.CopyFrom(image.geq);
  r.settings.CopyDeqBlockFrom(image);
  r.properties = properties;
  r.model = std::uint32_t(model);
  r.inputCount = GetClipboardInputCount(model);
  r.outputCount = GetClipboardOutputCount(model);
  if (command == kCmdCopyChannel) {
    if (selectedChannel >= 1 && selectedChannel <= 4) r.copiedInput = selectedChannel;
    if (selectedChannel >= 5 && selectedChannel <= 12) r.copiedOutput = selectedChannel;
  }
  return r;
}

std::vector<std::uint8_t> StoreClipboardRecord(const NerexClipboardRecord& r) {
  std::vector<std::uint8_t> bytes(kNerexClipboardRecordBytes, 0);
  CSpanWriter head(bytes);
  HeadFields(head, r);
  StoreRecordBytes(r.settings.inputs, At<kInputSectionBytes>(bytes, kClipOffsetInputs));
  StoreRecordBytes(r.settings.outputs, At<kOutputSectionBytes>(bytes, kClipOffsetOutputs));
  StoreRecordBytes(r.settings.geq, At<kGeqBlockBytes>(bytes, kClipOffsetGeq));
  StoreDeqBlockBytes(r.settings, At<kDeqBlockBytes>(bytes, kClipOffsetDeq));

  CSpanWriter tail(std::span<std::uint8_t>(bytes).subspan(kClipOffsetSecurityCode));
  PropertyFields(tail, r.properties);
  return bytes;
}

bool LoadClipboardRecord(std::span<const std::uint8_t> bytes, NerexClipboardRecord& record) {
  if (bytes.size() < kNerexClipboardRecordBytes) return false;
  NerexClipboardRecord r = record;
  CSpanReader head(bytes);
  HeadFields(head, r);
  // Every loop of the paste runs over these: check them before anything is taken.
  if (r.inputCount > std::uint32_t(kNerexMaxInputs) || r.outputCount > std::uint32_t(kNerexMaxOutputs)) return false;
  if (r.copiedInput > r.inputCount) return false;
  if (r.copiedOutput != 0 && (r.copiedOutput < 5 || r.copiedOutput > 4 + r.outputCount)) return false;
  if (r.copiedInput != 0 && r.copiedOutput != 0) return false;

  // The record's own sections keep their parameter ids; only values are taken.
  CNerexSeriesMemory loaded;
  LoadRecordBytes(At<kInputSectionBytes>(bytes, kClipOffsetInputs), loaded.inputs);
  LoadRecordBytes(At<kOutputSectionBytes>(bytes, kClipOffsetOutputs), loaded.outputs);
  LoadRecordBytes(At<kGeqBlockBytes>(bytes, kClipOffsetGeq), loaded.geq);
  LoadDeqBlockBytes(At<kDeqBlockBytes>(bytes, kClipOffsetDeq), loaded);
  r.settings.inputs.CopyFrom(loaded.inputs);
  r.settings.outputs.CopyFrom(loaded.outputs);
  r.settings.geq.CopyFrom(loaded.geq);
  r.settings.CopyDeqBlockFrom(loaded);

  CSpanReader tail(bytes.subspan(kClipOffsetSecurityCode, kNerexClipboardRecordBytes - kClipOffsetSecurityCode));
  PropertyFields(tail, r.properties);
  record = std::move(r);
  return true;
}

bool CanPasteRecord(std::uint32_t command, const NerexClipboardRecord& r, int deviceModel,
                    std::uint32_t selectedChannel, const NerexOutputSection& deviceOutputs) {
  const std::uint32_t in = r.copiedInput, out = r.copiedOutput, sel = selectedChannel;
  switch (command) {
    case 0:
    case kCmdPasteUnused:
    case kCmdPasteAllInputs:
    case kCmdPasteAllOutputs:
    case kCmdPasteMixer:
    case kCmdPasteProperties:
    case kCmdPasteChannelNames:
      return in == 0 && out == 0;
    case kCmdPasteInputChannel:
    case kCmdPasteInputFilters:
      return in != 0 && sel <= 4;
    case kCmdPasteOutputChannel:
    case kCmdPasteOutputFilters:
      return out != 0 && sel >= 5 && sel <= 12 && !OutputHasLock(deviceOutputs, int(sel) - 5);
    case kCmdPasteMatrix: {
      const int model = int(r.model);
      const bool pair = (IsFennickModel(deviceModel) && IsFennickModel(model)) ||
                        (deviceModel == kModelTorvex48 && model == kModelTorvex48);
      return pair && !(in != 0 && out == 0);
    }
    default:
      return false;
  }
}

std::int16_t MatrixGainFromLevel(std::uint16_t level) {
  return std::int16_t(std::clamp(150 - int(level), -401, 150));
}

std::uint16_t MatrixLevelFromGain(std::int16_t gain) { return std::uint16_t(std::clamp(150 - int(gain), 0, 551)); }
