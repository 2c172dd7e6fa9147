// Model groups, link masters, lock tests, read-back completeness and merge masks.
#include "devices/processor/NerexChannelRules.h"

#include "devices/processor/NerexModelTable.h"

bool IsFennickModel(int model) { return model == kModelFennick || model == kModelZelFennick; }

bool IsNerexSmallModel(int model) {
  switch (model) {
    case kModelCalder26:
    case kModelCalder48:
    case kModelNerex24:
    case kModelNerex26:
    case kModelNerex44:
    case kModelNerex46:
    case kModelNerex48:
      return true;
    default:
      return false;
  }
}

bool IsTorvexLayoutModel(int model) {
  switch (model) {
    case kModelNerex24:
    case kModelNerex26:
    case kModelNerex44:
    case kModelNerex46:
    case kModelNerex48:
    case kModelTorvex48:
      return true;
    default:
      return false;
  }
}

int GetLinkMaster(std::span<const std::uint8_t> masks, int channel, int count) {
  if (channel < 0 || channel >= int(masks.size()) || channel >= count || count > 8) return channel;
  // Bits at or beyond the model's channel count name no channel of this unit.
  const unsigned mask = masks[channel] & ((1u << count) - 1u);
  if (mask == 0 || mask == (1u << channel)) return channel;
  for (int j = 0; j < count; ++j)
    if (mask & (1u << j)) return j;
  return channel;
}

int GetInputLinkMaster(const NerexInputSection& inputs, int input, int inputCount) {
  return GetLinkMaster(inputs.linkMasks, input, inputCount);
}

int GetOutputLinkMaster(const NerexOutputSection& outputs, int output, int outputCount) {
  return GetLinkMaster(outputs.linkMasks, output, outputCount);
}

namespace {
bool LockBit(const NerexOutputSection& outputs, int byte, int output) {
  if (output < 0 || output >= kNerexMaxOutputs) return false;
  return (outputs.channelGroups[byte] >> output) & 1;
}
}  // namespace

bool IsChannelInGroupA(const NerexOutputSection& outputs, int output) {
  return LockBit(outputs, kGroupHighPassLock, output);
}
bool IsChannelInGroupB(const NerexOutputSection& outputs, int output) {
  return LockBit(outputs, kGroupLowPassLock, output);
}
bool IsChannelInGroupC(const NerexOutputSection& outputs, int output) {
  return LockBit(outputs, kGroupDelayLock, output);
}
bool IsChannelInGroupD(const NerexOutputSection& outputs, int output) {
  return LockBit(outputs, kGroupLimiterLock, output);
}
bool IsChannelInGroupE(const NerexOutputSection& outputs, int output) {
  return LockBit(outputs, kGroupPhaseLock, output);
}

bool TestDeviceBit(const NerexOutputSection& outputs, int output, int band) {
  if (band < 0 || band >= kNerexOutputPeqBands) return false;
  return LockBit(outputs, kGroupPeqBandLock + band, output);
}

bool IsChannelInAnyGroup(const NerexOutputSection& outputs, int output) {
  if (LockBit(outputs, kGroupGainLockA, output)) return true;
  for (int byte = kGroupDelayLock; byte < kGroupPeqBandLock + kNerexOutputPeqBands; ++byte)
    if (LockBit(outputs, byte, output)) return true;
  return false;
}

int GetFilterTypeCode(const NerexDeqBand& band) {
  switch (band.filterKind) {
    case 1: return 13;
    case 2: return 1;
    case 3: return 2;
    default: return 0;
  }
}

std::uint32_t GetRequiredBlocksMask(int model) {
  if (IsFennickModel(model)) return 0x1FB;
  if (model == kModelTorvex48) return 0xE7F;
  if (IsTorvexLayoutModel(model)) return 0x67F;
  return 0x67B;
}

bool AllBlocksReceived(int model, std::uint32_t receivedMask) {
  const std::uint32_t required = GetRequiredBlocksMask(model);
  return (receivedMask & required) == required;
}

std::uint32_t GetMessageMergeMask(std::uint8_t command) {
  switch (command) {
    case 1: case 2: case 6: case 7:
    case 8: case 9: case 10: case 11: case 12: case 13: case 14: case 15: case 16:
    case 22: case 23: case 24:
      return 0x17F;  // header, command and channel byte
    case 39:
      return 0x37F;  // ... and the output and input of the matrix point
    case 40:
      return 0x57F;  // ... and the input channel and graphic-EQ band
    default:
      return 0;
  }
}

ENerexPanelKind GetControlPanelKind(int model, std::uint32_t hardwareCode) {
  switch (model) {
    case kModelFennick: return ENerexPanelKind::Fennick;
    case kModelZelFennick: return ENerexPanelKind::ZelFennick;
    case kModelCalder26: return ENerexPanelKind::Calder48;
    case kModelCalder48:
      return hardwareCode == kHardwareCalder48 ? ENerexPanelKind::Calder48 : ENerexPanelKind::Hollin2;
    case kModelTorvex48: return ENerexPanelKind::Torvex;
    default: return ENerexPanelKind::Nerex;
  }
}

NerexPanelSize GetPanelSize(int model, std::uint32_t panelPage) {
  if (IsFennickModel(model) && panelPage == kCompactFennickPage) return {302, 325};
  return {850, 600};
}
