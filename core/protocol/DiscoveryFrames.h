// Frames of the autoscan: probes by short ID and by long ID, the type query, the quiet command,
// the scan reset and the scan-complete check, and the parsers of their replies.
#pragma once

#include <cstdint>

class CControlMessage;

// Commands (the first frame byte of every scan frame but the quiet command).
enum : std::uint8_t {
  kScanShortProbe = 0xE0,  // also the type query
  kScanLevel0 = 0xB0,      // long-ID probe comparing all four ID bytes
  kScanLevel1 = 0xB1,      // ... the three low bytes
  kScanLevel2 = 0xB2,      // ... the two low bytes
  kScanLevel3 = 0xB3,      // ... the lowest byte
  kScanReset = 0xBE,
  kScanCompleteCheck = 0xBF,
  kScanQuiet = 0x28,
};

// Reply lengths and start bytes.
inline constexpr std::uint32_t kShortProbeReplyLength = 10;
inline constexpr std::uint32_t kLongProbeReplyLength = 24;
inline constexpr std::uint32_t kTypeQueryReplyLength = 15;
inline constexpr std::uint8_t kShortReplyStart = 0xE8;
inline constexpr std::uint8_t kLongReplyStart = 0xB8;

// Quiet command frame length.
inline constexpr std::uint32_t kQuietFrameLength = 13;

// Each builder fills the whole record: no target device, both request arguments 0.
// "E0 n": asks the unit at short ID n (1 to 63) for its type; 10-byte reply from 0xE8.
void BuildShortIdProbe(CControlMessage& m, std::uint32_t shortId);
// "L id3 id2 id1 id0" (each 7 bits of the ID): every unit whose ID matches in the bytes that
// level L compares answers with 24 bytes from 0xB8. The no-retry flag is set.
void BuildLongIdProbe(CControlMessage& m, std::uint8_t level, std::uint32_t id);
// "E0 r3 r4 r5 r6": the four ID bytes as the probe reply carried them; 15-byte reply from 0xE8.
void BuildTypeQuery(CControlMessage& m, const std::uint8_t idBytes[4]);
// "F1 00 0C T id3 id2 id1 id0 00 28 7F 7F S": a write (ACK awaited) that keeps the unit out of
// long-ID probes for at least 120 s.
void BuildQuietCommand(CControlMessage& m, std::uint32_t typeCode, std::uint32_t id);
// "BE 00 00 00 00": a broadcast without answer; every unit answers probes again.
void BuildScanReset(CControlMessage& m);
// "BF 00 00 00 00": answered (24 bytes from 0xB8) by every unit that is not quiet. The no-retry
// flag is set.
void BuildScanCompleteCheck(CControlMessage& m);

// What a reply gave: the unit's type code and its variant (the model index of the factory).
struct CScanIdentity {
  std::uint32_t typeCode = 0;
  std::uint32_t variant = 0;
};

// Parses a complete short-ID reply of received bytes (forms E8 00 09, E8 00 1C, E8 00 1B).
// False for any other header or a reply shorter than its form.
bool ParseShortIdReply(const std::uint8_t* reply, std::uint32_t received, CScanIdentity& out);
// The unit ID of a complete long-ID probe reply (header B8 00 17): bytes 3 to 6, big-endian.
bool ParseLongIdReply(const std::uint8_t* reply, std::uint32_t received, std::uint32_t& id);
// A complete type-query reply (header E8 00 0E): type byte 7, variant bytes 10 to 13.
bool ParseTypeQueryReply(const std::uint8_t* reply, std::uint32_t received, CScanIdentity& out);
