// A unit as the autoscan sees it: it answers a short-ID probe at its short ID, long-ID probes
// that match its long ID, the type query, the quiet command, the scan reset and the
// scan-complete check. Several such units answering at once collide on the bus.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "tools/devsim/SimUnit.h"

// Header forms of the short-ID reply.
enum class ShortReplyForm {
  kForm1,  // E8 00 09: type byte 4, variant bytes 5-8 (10 bytes)
  kForm2,  // E8 00 1C: byte 6 = type - 84, variant low bytes 4 and 5 (29 bytes)
  kForm3,  // E8 00 1B: as form 1 in a 28-byte reply
};

struct SimDiscoveryConfig {
  std::uint8_t typeCode = 0;  // sent as given: every family's code is below 0x80, a test family's may not be
  std::uint32_t shortId = 0;  // 1 to 63; 0: the unit does not answer short-ID probes
  std::uint32_t longId = 0;   // four 7-bit groups; 0: the unit takes no part in the long-ID search
  std::uint32_t variant = 0;  // each byte below 0x80
  ShortReplyForm form = ShortReplyForm::kForm1;
  std::string firmware = "1.00";  // four characters in the probe reply
  bool ignoresQuiet = false;      // acknowledges the quiet command but keeps answering
};

// Thread-safe: the bus thread answers while a test reads the counters.
class CSimDiscoveryUnit : public CSimUnit {
 public:
  explicit CSimDiscoveryUnit(const SimDiscoveryConfig& config) : m_config(config) {}

  // E0, B0-B3, BE and BF frames: E0 frames have two lengths (probe and type query) and B0
  // frames are a processor's two-byte identification request too, so their end is told by the
  // line going quiet; the others are five bytes. F0/F1 as the default.
  std::size_t RequestLength(const SimBytes& bytes) const override;
  SimAnswer Handle(const SimBytes& request) override;

  const SimDiscoveryConfig& Config() const { return m_config; }
  bool IsQuiet() const { return m_quiet; }
  // Quiet commands this unit acknowledged.
  int QuietCount() const { return m_quietCount; }
  // Long-ID probes this unit answered.
  int ProbeAnswers() const { return m_probeAnswers; }

 private:
  bool MatchesLevel(const SimBytes& request) const;
  SimAnswer ShortReply() const;
  SimAnswer LongReply() const;

  const SimDiscoveryConfig m_config;
  std::atomic<bool> m_quiet{false};
  std::atomic<int> m_quietCount{0};
  std::atomic<int> m_probeAnswers{0};
};
