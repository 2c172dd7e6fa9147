// The simulator's command-line options and the units they put on a bus: parsed once for the
// executable and for tests that serve the same units in-process.
#pragma once

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
};

// Parses the options (without the program's name) into out. False on an unknown option, a
// missing value or a value out of its range; out is then incomplete.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& out);
// The words of an option line, split at blanks.
std::vector<std::string> SplitSimOptions(const std::string& line);
// Puts the units the options name on the bus, which must not run yet: framed units (one at ID
// 1 when no other unit is named), scan units, processors, secured units and Zel units, each Zel
// unit at a short ID also found by an autoscan. Returns the number of units named.
std::size_t AddSimUnits(const SimOptions& options, CSimBus& bus);
