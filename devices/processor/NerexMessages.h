// Frames of the processor family: the frame layout with its checksum, memory numbers, and the
// builders of every write message (one setting group of one channel, or a whole settings
// block). Each builder fills a message the caller created and finalises its frame; the family
// queues it (QueueBuilt, NerexChange.h), forced or not. A builder that returns false leaves
// nothing to send.
// Builders read the device's current settings under its settings lock; UI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol/ControlMessage.h"
#include "core/model/Device.h"
#include "devices/processor/NerexSeriesMemory.h"

class CNerexSeriesDevice;
struct NerexClockReading;

// Start byte of every framed reply, and of the identification reply.
inline constexpr std::uint8_t kNerexReplyStart = 0xA8;
inline constexpr std::uint8_t kNerexIdentReplyStart = 0xB8;
// First payload byte of a frame.
inline constexpr std::size_t kNerexPayload = 7;

// Commands of the family.
enum : std::uint32_t {
  kCmdDelay = 1,
  kCmdEqBandFirst = 8,  // + band 0..8
  kCmdMatrixRow = 21,
  kCmdDeq = 22,
  kCmdCompressor = 23,
  kCmdLimiter = 24,
  kCmdWriteInputs = 26,
  kCmdMemoryName = 28,
  kCmdClearMemory = 30,
  kCmdWriteOutputs = 31,
  kCmdAutoLimiters = 33,
  kCmdNames = 35,
  kCmdWriteGeq = 42,
  kCmdWriteDeq = 43,
  kCmdReadInputs = 48,
  kCmdReadMemoryName = 49,
  kCmdReadOutputs = 50,
  kCmdReadNames = 51,
  kCmdReadGeq = 52,
  kCmdReadMemoryFlags = 53,
  kCmdReadDeq = 54,
  kCmdMeters = 62,
  kCmdMeterPage = 63,
  kCmdReadSecurity = 74,
  kCmdWriteSecurity = 75,
  kCmdSetClock = 76,
  kCmdTimedPresets = 77,
  kCmdReadTimedPresets = 78,
  kCmdReadGeneral = 79,
  kCmdGeneralSettings = 80,
  kCmdIdentify = 176,
};

// Settings-block writes and the names write wait this much longer for their ACK, ms.
inline constexpr std::uint32_t kNerexBlockWriteTimeoutBase = 50;

// Writes bytes 0 to 6 (start byte from the write flag, the length L - 1 as two 7-bit bytes, the
// model id, the low byte of the device ID, 0, the command) and the checksum into byte L - 1:
// (byte 0 + the low byte of L - 1 + bytes 3 to L - 2) & 0x7F. The message's write flag, command
// and frame length must be set; frames shorter than 8 bytes or longer than the buffer are left
// alone.
void FinaliseFrame(CControlMessage& message, std::uint32_t model, std::uint32_t deviceId);
void FinaliseFrame(CControlMessage& message, const CDevice& device);

// A memory number (0 current settings, 1..255 preset n, 257 and up crossover preset n - 257)
// as the three request bytes: bit 7 as bit 0, bits 0-6, bits 8-14.
void PutMemoryNumber(std::uint8_t* dst, std::uint32_t number);
std::uint32_t GetMemoryNumber(const std::uint8_t* src);

// Text as it travels in the unpacked names frame: one byte per character, a character that
// does not fit in 7 bits becomes '?', cut at length bytes and padded with blanks to length.
std::string ToSevenBitText(std::string_view utf8, std::size_t length);
// The most characters of a device name: the names frame's field, one byte per character.
inline constexpr std::size_t kNerexDeviceNameCharacters = 40;

// Mode bytes of the blocks of one stored memory, in the order inputs, graphic EQ, outputs,
// dynamic EQ, only those whose section flag is set: 0x80 when another block follows, 0x40 when
// one went before, and the section flags in bits 0-3 of the last.
std::uint8_t MemoryBlockMode(std::uint32_t sectionFlags, int block);

// Fills message with the write for one parametric band (command 8 + band, length 16): channel
// byte, type byte with bits 4-6 cleared, Q code, frequency code, gain; one packed group.
bool BuildCommand16LenMessage(CNerexSeriesDevice& device, CControlMessage& message, const NerexEqBand& band,
                              std::uint8_t channel, int bandIndex);
// Torvex48 only: the matrix row of one output (command 21, length 15).
bool BuildCommand21Message(CNerexSeriesDevice& device, CControlMessage& message, int output);
// The dynamic-EQ settings of one input, number 1..4 (command 22, length 35).
bool BuildDeqMessage(CNerexSeriesDevice& device, CControlMessage& message, int inputNumber);
// One output's compressor (command 23, length 14).
bool BuildCommand23Message(CNerexSeriesDevice& device, CControlMessage& message, const NerexCompressor& compressor,
                           std::uint8_t channel, bool compressorLimiters);
// One output's limiter (command 24, length 15): byte 7 zero, byte 8 the channel, bytes 9-13
// the record's five bytes, each kept within 7 bits.
bool BuildCommand24Message(CNerexSeriesDevice& device, CControlMessage& message, const NerexLimiter& limiter,
                           std::uint8_t channel);
// Settings-block writes: [memory byte, mode byte, block of image], packed. The image is the
// current settings unless another (a preset memory) is given. False for a model without the
// block.
bool BuildBlock26Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image = nullptr);
bool BuildBlock31Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image = nullptr);
bool BuildBlock42Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image = nullptr);
bool BuildBlock43Message(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t memory, std::uint8_t mode,
                         const CNerexSeriesMemory* image = nullptr);
// The names write (command 35, length 144): device name in 40 bytes, 4 input and 8 output
// names of 8 bytes, all as 7-bit text.
bool BuildBlock35Message(CNerexSeriesDevice& device, CControlMessage& message);
// The general settings (command 80, length 22): security code, system lock, then bytes 11 to
// 19 each XOR 0x80; 12 bytes packed.
bool BuildGeneralSettingsMessage(CNerexSeriesDevice& device, CControlMessage& message);
// A memory's name (command 28, length 28): [number, the name's bytes (MemoryNameBytes) blank
// padded to 16], packed.
bool BuildMemoryNameMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t number,
                            const std::string& name);
// Empties memory n on the unit (command 30, length 10).
bool BuildClearMemoryMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint8_t number);
// Sets the unit's clock (command 76, length 15): year of century, month, day, weekday, hour,
// minute, packed.
bool BuildClockMessage(CNerexSeriesDevice& device, CControlMessage& message, const NerexClockReading& clock);

// A write of one setting: the raw bytes 7-bit packed from frame byte 7, or the payload bytes
// as they are (each kept within 7 bits). False when the payload is empty or does not fit.
bool BuildPackedWriteMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint32_t command,
                             const std::vector<std::uint8_t>& raw);
bool BuildPlainWriteMessage(CNerexSeriesDevice& device, CControlMessage& message, std::uint32_t command,
                            const std::vector<std::uint8_t>& payload);

// Gain reduction of output o's compressor at its metered level, dB: positive while it
// compresses, else the distance below the knee (zero or negative); -6 when the ratio code is 0.
float CalcCompressorCurveLevel(const CNerexSeriesDevice& device, int output);
