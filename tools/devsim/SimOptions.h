// The simulator's command-line options and the units they put on a bus: parsed once for the
// executable and for tests that serve the same units in-process.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/devsim/SimDiscoveryUnit.h"
#include "tools/devsim/SimSecurityUnit.h"

class CSimBus;

struct SimOptions {
  struct Processor {
    unsigned type = 0;
    unsigned id = 0;
    unsigned variant = 0;
  };
  using Users = std::vector<std::pair<std::string, std::string>>;

  std::uint32_t com = 0;
  std::uint32_t baud = 57600;
  std::vector<unsigned> ids;                                  // --unit
  std::vector<std::pair<unsigned, unsigned>> replies;         // --reply CMD:LENGTH
  std::vector<SimDiscoveryConfig> scanUnits;                  // --scan-unit
  std::vector<Processor> processors;                          // --processor
  std::vector<std::pair<SimSecurityConfig, Users>> secureUnits;       // --secure-unit
  std::vector<std::pair<SimSecurityConfig, std::string>> zelUnits;    // --zel-amp, --zel-break (name)
  std::string bootUnit;                                       // --boot-unit FAMILY:TYPE; empty: the bus
  // --late-unit ID:MS: every answer of the units at device ID leaves MS ms late.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> lateUnits;
  // --silent-unit ID:AFTER:FOR[:EVERY[:TIMES]]: the units at device ID fall silent AFTER seconds
  // after the start, for FOR seconds (0: for good); with EVERY (more than FOR), again every EVERY
  // seconds after the start of the silence before, TIMES silences in all (none: without end).
  struct Silence {
    std::uint32_t id = 0;
    double afterSeconds = 0;
    double forSeconds = 0;
    double everySeconds = 0;  // 0: once
    std::size_t times = 0;    // 0: without end
  };
  std::vector<Silence> silentUnits;
  // --swap-unit ID:AFTER[:EVERY[:TIMES]]: the units at device ID take turns (a unit of another
  // model that takes the place of a unit while the program is online): the first put on the bus
  // answers until AFTER seconds after the start; without EVERY the others from then on, with it
  // each the next in turn for EVERY seconds, TIMES changes of turn in all (none: without end).
  struct Swap {
    std::uint32_t id = 0;
    double afterSeconds = 0;
    double everySeconds = 0;  // 0: one change, to all the others
    std::size_t times = 0;    // 0: without end
  };
  std::vector<Swap> swapUnits;
  // --ack-loss PERCENT[:SEED]: the ACK of each write is lost with this chance (the unit has taken
  // the write), drawn with the seed (default 1).
  double ackLossPercent = 0;
  std::uint32_t ackLossSeed = 1;
  // --zel-state ID:AFTER:KEY=VALUE: AFTER seconds after the start the Zel unit at ID reports
  // VALUE for KEY: an amplifier's "temp" (degrees), "protect" (0 or 1) and "load-fault" (a mask
  // of channels, bit 0 the first), a breakout box's "alarm" and "network" (0 or 1).
  struct ZelReport {
    std::uint32_t id = 0;
    double afterSeconds = 0;
    std::string key;
    unsigned value = 0;
  };
  std::vector<ZelReport> zelReports;
  // --boot-silent-after N: the boot-load unit falls silent after taking N records (blocks on a
  // processor) of a transfer; 0 never.
  std::size_t bootSilentAfter = 0;
};

// Parses the options (without the program's name) into out. False on an unknown option, a
// missing value, a value out of its range or a --zel-state for no Zel unit of its kind at that
// ID; out is then incomplete.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& out);
// The words of an option line, split at blanks.
std::vector<std::string> SplitSimOptions(const std::string& line);
// Puts the units the options name on the bus, which must not run yet: framed units (one at ID
// 1 when no other unit is named), scan units, processors, secured units and Zel units, each Zel
// unit at a short ID also found by an autoscan; a unit at an ID that --late-unit,
// --silent-unit or --swap-unit names answers late, falls silent or takes turns as they say, a
// Zel unit reports the states --zel-state gives it (the silences and turns counted from start,
// the states from this call), and the bus loses ACKs as --ack-loss says. Returns the number of
// units named.
std::size_t AddSimUnits(const SimOptions& options, CSimBus& bus,
                        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now());
