// Small rules of the processor family: model groups, link masters, output locks, the read-back
// completeness test, the merge masks of queued writes, the panel kind and size, and the
// clipboard format name. All read a type code or a settings image and change nothing; the link
// masters, the completeness test and the merge masks are also called on the comms worker
// under the system lock.
#pragma once

#include <cstdint>
#include <span>

#include "devices/processor/NerexSeriesMemory.h"

bool IsFennickModel(int model);       // 16, 17
bool IsNerexSmallModel(int model);    // 110, 112, 114, 115, 116, 118, 120
bool IsTorvexLayoutModel(int model);  // 114, 115, 116, 118, 120, 121: the models with a graphic EQ

// The master (lowest member) of a channel's link group over a table of link masks. Only the
// bits of the model's channels (below count) are looked at: a channel whose mask holds no other
// such bit is its own master. A channel outside the table or the count is returned as it is.
int GetLinkMaster(std::span<const std::uint8_t> masks, int channel, int count);
int GetInputLinkMaster(const NerexInputSection& inputs, int input, int inputCount);
int GetOutputLinkMaster(const NerexOutputSection& outputs, int output, int outputCount);

// Output lock tests: bit output of one lock byte of the channel-group area.
bool IsChannelInGroupA(const NerexOutputSection& outputs, int output);  // high-pass
bool IsChannelInGroupB(const NerexOutputSection& outputs, int output);  // low-pass
bool IsChannelInGroupC(const NerexOutputSection& outputs, int output);  // delay
bool IsChannelInGroupD(const NerexOutputSection& outputs, int output);  // limiter
bool IsChannelInGroupE(const NerexOutputSection& outputs, int output);  // phase
bool TestDeviceBit(const NerexOutputSection& outputs, int output, int band);  // PEQ band 0..8
// Any of the locks above, or the further lock byte; linking such an output is refused.
bool IsChannelInAnyGroup(const NerexOutputSection& outputs, int output);

// Filter type of a dynamic-EQ band for range look-ups: filter kind 1 -> 13, 2 -> 1, 3 -> 2,
// anything else -> 0.
int GetFilterTypeCode(const NerexDeqBand& band);

// Bits of the received-blocks mask, one per kind of reply of the initial read-back.
enum : std::uint32_t {
  kReceivedInputBlock = 0x001,   // reply 48
  kReceivedOutputBlock = 0x002,  // reply 50
  kReceivedGeqBlock = 0x004,     // reply 52
  kReceivedMeters = 0x008,       // reply 51
  kReceived49 = 0x010,
  kReceived53 = 0x020,
  kReceivedIdentity = 0x040,     // reply 176
  kReceivedTimedPresets = 0x080, // reply 78
  kReceived79 = 0x100,
  kReceived49Second = 0x200,
  kReceived53Second = 0x400,
  kReceivedDeqBlock = 0x800,     // reply 54
};

// The bits a model needs before its read-back is complete.
std::uint32_t GetRequiredBlocksMask(int model);
bool AllBlocksReceived(int model, std::uint32_t receivedMask);

// Which frame bytes (bit i = byte i) must match for a newer queued write of this command to
// replace an older one; 0 = never replaced. Settings-block writes are never replaced.
std::uint32_t GetMessageMergeMask(std::uint8_t command);

// The control panel a model opens.
enum class ENerexPanelKind {
  Fennick,
  ZelFennick,
  Calder48,
  Hollin2,
  Torvex,
  Nerex,
};
ENerexPanelKind GetControlPanelKind(int model, std::uint32_t hardwareCode);

inline constexpr std::uint32_t kCompactFennickPage = 435;
struct NerexPanelSize {
  int width;
  int height;
};
NerexPanelSize GetPanelSize(int model, std::uint32_t panelPage);

// Clipboard format name of the family's settings block.
inline constexpr const char* kNerexClipboardFormat = "NerexSeriesSettings";

class CNerexSeriesDevice;
// The link group of a channel of the device as a bit mask: the bits of its link mask below the
// model's channel count, always with the channel's own bit; and the group's master. Each reads
// the device's settings under their lock.
unsigned InputLinkGroup(const CNerexSeriesDevice& device, int input);
unsigned OutputLinkGroup(const CNerexSeriesDevice& device, int output);
int InputLinkMaster(const CNerexSeriesDevice& device, int input);
int OutputLinkMaster(const CNerexSeriesDevice& device, int output);
