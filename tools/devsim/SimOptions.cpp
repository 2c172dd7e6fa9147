// The simulator's options and the units they put on the bus.
#include "tools/devsim/SimOptions.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "devices/processor/NerexModelTable.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"

namespace {

bool ParseScanUnit(const std::string& value, SimOptions& out) {
  char* end = nullptr;
  SimDiscoveryConfig config;
  config.typeCode = std::uint8_t(std::strtoul(value.c_str(), &end, 0));
  if (*end == ':') config.shortId = std::uint32_t(std::strtoul(end + 1, &end, 0));
  if (*end == ':') config.longId = std::uint32_t(std::strtoul(end + 1, &end, 0));
  if (*end != 0 || config.shortId > 63 || (config.longId & 0x80808080u) != 0) return false;
  out.scanUnits.push_back(config);
  return true;
}

bool ParseProcessor(const std::string& value, SimOptions& out) {
  SimOptions::Processor p;
  if (std::sscanf(value.c_str(), "%u:%u:%u", &p.type, &p.id, &p.variant) < 2 || p.id < 1 || p.id > 63 ||
      GetInputCount(int(p.type)) == 0)
    return false;
  out.processors.push_back(p);
  return true;
}

bool ParseSecureUnit(const std::string& value, SimOptions& out) {
  char* end = nullptr;
  SimSecurityConfig config;
  config.typeCode = std::uint8_t(std::strtoul(value.c_str(), &end, 0));
  if (*end != ':') return false;
  config.deviceId = std::uint32_t(std::strtoul(end + 1, &end, 0));
  SimOptions::Users users;
  if (*end == ':') {
    const std::string rest = end + 1;
    const std::size_t colon = rest.find(':');
    if (colon == std::string::npos) return false;
    users.emplace_back(rest.substr(0, colon), rest.substr(colon + 1));
  } else if (*end != 0) {
    return false;
  }
  out.secureUnits.emplace_back(config, users);
  return true;
}

bool ParseZelUnit(const std::string& value, bool box, SimOptions& out) {
  char* end = nullptr;
  SimSecurityConfig config;
  config.typeCode = std::uint8_t(std::strtoul(value.c_str(), &end, 0));
  const bool known =
      box ? config.typeCode >= 34 && config.typeCode <= 47 : config.typeCode >= 51 && config.typeCode <= 56;
  if (*end != ':' || !known) return false;
  config.deviceId = std::uint32_t(std::strtoul(end + 1, &end, 0));
  std::string name = box ? "Sim Breakout" : "Sim Amplifier";
  if (*end == ':')
    name = end + 1;
  else if (*end != 0)
    return false;
  out.zelUnits.emplace_back(config, name);
  return true;
}

bool ParseReply(const std::string& value, SimOptions& out) {
  unsigned command = 0, length = 0;
  if (std::sscanf(value.c_str(), "%u:%u", &command, &length) != 2 || length < 4 || length > 1024) return false;
  out.replies.emplace_back(command, length);
  return true;
}

bool ParseLateUnit(const std::string& value, SimOptions& out) {
  unsigned id = 0, ms = 0;
  char end = 0;
  if (std::sscanf(value.c_str(), "%u:%u%c", &id, &ms, &end) != 2 || ms == 0 || ms > 60000) return false;
  out.lateUnits.emplace_back(id, ms);
  return true;
}

bool ParseSilentUnit(const std::string& value, SimOptions& out) {
  SimOptions::Silence silence;
  unsigned id = 0;
  char end = 0;
  if (std::sscanf(value.c_str(), "%u:%lf:%lf%c", &id, &silence.afterSeconds, &silence.forSeconds, &end) != 3 ||
      !(silence.afterSeconds >= 0 && silence.afterSeconds <= 86400) ||
      !(silence.forSeconds >= 0 && silence.forSeconds <= 86400))
    return false;
  silence.id = id;
  out.silentUnits.push_back(silence);
  return true;
}

// What each --zel-state key changes, and the largest value it takes.
struct ZelStateKey {
  const char* key;
  bool box;
  unsigned maximum;
};
constexpr ZelStateKey kZelStateKeys[] = {
    {"temp", false, 127}, {"protect", false, 1}, {"load-fault", false, 15}, {"alarm", true, 1}, {"network", true, 1},
};

const ZelStateKey* FindZelStateKey(const std::string& key) {
  for (const ZelStateKey& k : kZelStateKeys)
    if (key == k.key) return &k;
  return nullptr;
}

bool ParseZelState(const std::string& value, SimOptions& out) {
  SimOptions::ZelReport report;
  unsigned id = 0;
  char key[32] = {};
  char end = 0;
  if (std::sscanf(value.c_str(), "%u:%lf:%31[a-z-]=%u%c", &id, &report.afterSeconds, key, &report.value, &end) != 4 ||
      !(report.afterSeconds >= 0 && report.afterSeconds <= 86400))
    return false;
  const ZelStateKey* known = FindZelStateKey(key);
  if (!known || report.value > known->maximum) return false;
  report.id = id;
  report.key = key;
  out.zelReports.push_back(report);
  return true;
}

// Each --zel-state names a Zel unit of its key's kind at its ID.
bool ZelStatesHaveTheirUnits(const SimOptions& options) {
  for (const SimOptions::ZelReport& report : options.zelReports) {
    const bool box = FindZelStateKey(report.key)->box;
    const bool found = std::any_of(options.zelUnits.begin(), options.zelUnits.end(), [&](const auto& unit) {
      const unsigned type = unit.first.typeCode;
      return unit.first.deviceId == report.id && (box ? type <= 47 : type >= 51);
    });
    if (!found) return false;
  }
  return true;
}

// The state change of a --zel-state report on an amplifier and on a breakout box.
void ApplyZelReport(const SimOptions::ZelReport& r, SimZelAmpState& s) {
  if (r.key == "temp") s.temperature = std::uint8_t(r.value);
  if (r.key == "protect") s.protect = r.value != 0;
  if (r.key == "load-fault") s.meters[8] = std::uint8_t(r.value);
}
void ApplyZelReport(const SimOptions::ZelReport& r, SimZelBreakState& s) {
  if (r.key == "alarm") s.alarm = r.value != 0;
  if (r.key == "network") s.networkActive = r.value != 0;
}

// Schedules the --zel-state reports of the unit's ID on it.
template <typename Unit>
void ScheduleZelReports(const SimOptions& options, std::uint32_t id, Unit& unit) {
  using Seconds = std::chrono::duration<double>;
  for (const SimOptions::ZelReport& report : options.zelReports) {
    if (report.id != id) continue;
    unit.UpdateAfter(std::chrono::duration_cast<std::chrono::steady_clock::duration>(Seconds(report.afterSeconds)),
                     [report](auto& state) { ApplyZelReport(report, state); });
  }
}

// Puts the unit on the bus, wrapped when an option makes the units at its ID late or silent.
// Returns the unit as it was made.
template <typename Unit>
Unit* AddUnitAt(const SimOptions& options, std::uint32_t id, std::unique_ptr<Unit> unit, CSimBus& bus) {
  Unit* made = unit.get();
  std::unique_ptr<CSimSwitchedUnit> switched;
  auto wrapped = [&]() -> CSimSwitchedUnit& {
    if (!switched) switched = std::make_unique<CSimSwitchedUnit>(std::move(unit));
    return *switched;
  };
  for (const auto& [lateId, ms] : options.lateUnits)
    if (lateId == id) wrapped().SetAnswerHeldMs(ms);
  for (const SimOptions::Silence& s : options.silentUnits) {
    if (s.id != id) continue;
    using Seconds = std::chrono::duration<double>;
    using Duration = CSimSwitchedUnit::Clock::duration;
    wrapped().SetSilentPeriod(std::chrono::duration_cast<Duration>(Seconds(s.afterSeconds)),
                              std::chrono::duration_cast<Duration>(Seconds(s.forSeconds)));
  }
  if (switched) {
    bus.AddUnit(std::move(switched));
  } else {
    bus.AddUnit(std::move(unit));
  }
  return made;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& out) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (i + 1 >= args.size()) return false;  // every option takes a value
    const std::string& value = args[++i];
    bool ok = true;
    if (arg == "--com") {
      out.com = std::uint32_t(std::strtoul(value.c_str(), nullptr, 10));
    } else if (arg == "--baud") {
      out.baud = std::uint32_t(std::strtoul(value.c_str(), nullptr, 10));
    } else if (arg == "--unit") {
      out.ids.push_back(unsigned(std::strtoul(value.c_str(), nullptr, 10)));
    } else if (arg == "--scan-unit") {
      ok = ParseScanUnit(value, out);
    } else if (arg == "--processor") {
      ok = ParseProcessor(value, out);
    } else if (arg == "--secure-unit") {
      ok = ParseSecureUnit(value, out);
    } else if (arg == "--zel-amp" || arg == "--zel-break") {
      ok = ParseZelUnit(value, arg == "--zel-break", out);
    } else if (arg == "--boot-unit") {
      out.bootUnit = value;
    } else if (arg == "--reply") {
      ok = ParseReply(value, out);
    } else if (arg == "--late-unit") {
      ok = ParseLateUnit(value, out);
    } else if (arg == "--silent-unit") {
      ok = ParseSilentUnit(value, out);
    } else if (arg == "--zel-state") {
      ok = ParseZelState(value, out);
    } else if (arg == "--boot-silent-after") {
      char* end = nullptr;
      out.bootSilentAfter = std::size_t(std::strtoul(value.c_str(), &end, 10));
      ok = *end == 0 && !value.empty() && value[0] != '-';
    } else {
      ok = false;
    }
    if (!ok) return false;
  }
  return ZelStatesHaveTheirUnits(out);
}

std::vector<std::string> SplitSimOptions(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::size_t AddSimUnits(const SimOptions& options, CSimBus& bus) {
  std::vector<unsigned> ids = options.ids;
  if (ids.empty() && options.processors.empty() && options.zelUnits.empty() && options.secureUnits.empty())
    ids.push_back(1);
  std::vector<std::pair<unsigned, unsigned>> replies = options.replies;
  if (replies.empty()) replies.emplace_back(62, 20);

  for (unsigned id : ids) {
    auto* unit = AddUnitAt(options, id, std::make_unique<CFramedUnit>(std::uint8_t(id)), bus);
    for (auto [command, length] : replies) unit->SetReplyLength(std::uint8_t(command), length);
  }
  for (const SimDiscoveryConfig& config : options.scanUnits) bus.Add<CSimDiscoveryUnit>(config);
  for (const SimOptions::Processor& p : options.processors)
    AddUnitAt(options, p.id, std::make_unique<CSimProcessorUnit>(int(p.type), p.id, p.variant), bus);
  for (const auto& [config, users] : options.secureUnits) {
    if (config.typeCode >= 51 && config.typeCode <= 56)
      AddUnitAt(options, config.deviceId, std::make_unique<CSimZelAmpUnit>(config), bus)->SetUsers(users);
    else if (config.typeCode >= 34 && config.typeCode <= 47)
      AddUnitAt(options, config.deviceId, std::make_unique<CSimZelBreakUnit>(config), bus)->SetUsers(users);
    else
      AddUnitAt(options, config.deviceId, std::make_unique<CSimSecurityUnit>(config), bus)->SetUsers(users);
  }
  for (const auto& [config, unitName] : options.zelUnits) {
    // Clang before 16 lets no lambda capture a structured binding: a plain reference it may.
    const std::string& name = unitName;
    if (config.typeCode >= 51) {
      auto* amp = AddUnitAt(options, config.deviceId, std::make_unique<CSimZelAmpUnit>(config), bus);
      amp->Update([&](SimZelAmpState& state) { state.name = name; });
      ScheduleZelReports(options, config.deviceId, *amp);
    } else {
      auto* box = AddUnitAt(options, config.deviceId, std::make_unique<CSimZelBreakUnit>(config), bus);
      box->Update([&](SimZelBreakState& state) { state.name = name; });
      ScheduleZelReports(options, config.deviceId, *box);
    }
    // An autoscan by short IDs finds it.
    if (config.deviceId >= 1 && config.deviceId <= 63) {
      SimDiscoveryConfig discovery;
      discovery.typeCode = config.typeCode;
      discovery.shortId = config.deviceId;
      bus.Add<CSimDiscoveryUnit>(discovery);
    }
  }
  return ids.size() + options.processors.size() + options.secureUnits.size() + options.zelUnits.size();
}
