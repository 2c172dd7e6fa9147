// The simulator's options and the units they put on the bus.
#include "tools/devsim/SimOptions.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <sstream>
#include <string_view>

#include "devices/processor/NerexModelTable.h"
#include "tools/devsim/SimBus.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"

namespace {

// The whole of text as a number from 0 to max: decimal digits, or "0x" and hexadecimal digits
// where hex allows them. Nothing else is a number: no sign, blank or letter, and no number past
// max, so that no value wraps round into another.
template <typename Number>
bool ReadNumber(std::string_view text, Number& out, std::uint64_t max = std::numeric_limits<Number>::max(),
                bool hex = false) {
  int base = 10;
  if (hex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint64_t value = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value, base);
  if (text.empty() || error != std::errc{} || end != last || value > max) return false;
  out = Number(value);
  return true;
}

// The value's fields between colons: at most count, the last one keeping any colons of its own
// (a name or a password may hold them).
std::vector<std::string_view> Fields(std::string_view value, std::size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const std::size_t colon = value.find(':');
    if (colon == std::string_view::npos) break;
    fields.push_back(value.substr(0, colon));
    value.remove_prefix(colon + 1);
  }
  fields.push_back(value);
  return fields;
}

bool ParseScanUnit(const std::string& value, SimOptions& out) {
  SimDiscoveryConfig config;
  const std::vector<std::string_view> f = Fields(value, 3);
  if (!ReadNumber(f[0], config.typeCode, 0xFF, true) || (f.size() > 1 && !ReadNumber(f[1], config.shortId, 63, true)) ||
      (f.size() > 2 && !ReadNumber(f[2], config.longId, 0xFFFFFFFFu, true)) || (config.longId & 0x80808080u) != 0)
    return false;
  out.scanUnits.push_back(config);
  return true;
}

bool ParseProcessor(const std::string& value, SimOptions& out) {
  SimOptions::Processor p;
  const std::vector<std::string_view> f = Fields(value, 3);
  if (f.size() < 2 || !ReadNumber(f[0], p.type, 0xFF) || !ReadNumber(f[1], p.id, 63) || p.id < 1 ||
      (f.size() > 2 && !ReadNumber(f[2], p.variant)) || GetInputCount(int(p.type)) == 0)
    return false;
  out.processors.push_back(p);
  return true;
}

bool ParseSecureUnit(const std::string& value, SimOptions& out) {
  SimSecurityConfig config;
  const std::vector<std::string_view> f = Fields(value, 4);
  if (f.size() == 3 || !ReadNumber(f[0], config.typeCode, 0xFF) || f.size() < 2 || !ReadNumber(f[1], config.deviceId))
    return false;
  SimOptions::Users users;
  if (f.size() == 4) users.emplace_back(std::string(f[2]), std::string(f[3]));
  out.secureUnits.emplace_back(config, users);
  return true;
}

// The type codes of the Zel amplifiers and of the breakout boxes.
bool IsZelAmpType(unsigned type) { return type >= 51 && type <= 56; }
bool IsZelBoxType(unsigned type) { return type >= 34 && type <= 47; }

bool ParseZelUnit(const std::string& value, bool box, SimOptions& out) {
  SimSecurityConfig config;
  const std::vector<std::string_view> f = Fields(value, 3);
  if (f.size() < 2 || !ReadNumber(f[0], config.typeCode, 0xFF) || !ReadNumber(f[1], config.deviceId)) return false;
  if (!(box ? IsZelBoxType(config.typeCode) : IsZelAmpType(config.typeCode))) return false;
  const std::string name = f.size() > 2 ? std::string(f[2]) : box ? "Sim Breakout" : "Sim Amplifier";
  out.zelUnits.emplace_back(config, name);
  return true;
}

bool ParseReply(const std::string& value, SimOptions& out) {
  unsigned command = 0, length = 0;
  const std::vector<std::string_view> f = Fields(value, 2);
  if (f.size() != 2 || !ReadNumber(f[0], command, 0xFF) || !ReadNumber(f[1], length, 1024) || length < 4) return false;
  out.replies.emplace_back(command, length);
  return true;
}

bool ParseLateUnit(const std::string& value, SimOptions& out) {
  std::uint32_t id = 0, ms = 0;
  const std::vector<std::string_view> f = Fields(value, 2);
  if (f.size() != 2 || !ReadNumber(f[0], id) || !ReadNumber(f[1], ms, 60000) || ms == 0) return false;
  out.lateUnits.emplace_back(id, ms);
  return true;
}

bool ParseSilentUnit(const std::string& value, SimOptions& out) {
  SimOptions::Silence silence;
  const std::vector<std::string_view> f = Fields(value, 2);
  double after = 0, during = 0;
  char end = 0;
  if (f.size() != 2 || !ReadNumber(f[0], silence.id) ||
      std::sscanf(std::string(f[1]).c_str(), "%lf:%lf%c", &after, &during, &end) != 2 || !(after >= 0 && after <= 86400) ||
      !(during >= 0 && during <= 86400))
    return false;
  silence.afterSeconds = after;
  silence.forSeconds = during;
  out.silentUnits.push_back(silence);
  return true;
}

bool ParseSwapUnit(const std::string& value, SimOptions& out) {
  std::uint32_t id = 0;
  double after = 0;
  const std::vector<std::string_view> f = Fields(value, 2);
  if (f.size() != 2 || !ReadNumber(f[0], id)) return false;
  const char* last = f[1].data() + f[1].size();
  const auto [end, error] = std::from_chars(f[1].data(), last, after);
  if (f[1].empty() || error != std::errc{} || end != last || !(after >= 0 && after <= 86400)) return false;
  out.swapUnits.emplace_back(id, after);
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
  const std::vector<std::string_view> f = Fields(value, 3);
  if (f.size() != 3 || !ReadNumber(f[0], report.id)) return false;
  const char* last = f[1].data() + f[1].size();
  const auto [end, error] = std::from_chars(f[1].data(), last, report.afterSeconds);
  if (f[1].empty() || error != std::errc{} || end != last || !(report.afterSeconds >= 0 && report.afterSeconds <= 86400))
    return false;
  const std::size_t equals = f[2].find('=');
  if (equals == std::string_view::npos) return false;
  report.key = std::string(f[2].substr(0, equals));
  const ZelStateKey* known = FindZelStateKey(report.key);
  if (!known || !ReadNumber(f[2].substr(equals + 1), report.value, known->maximum)) return false;
  out.zelReports.push_back(report);
  return true;
}

// Each --zel-state names a Zel unit of its key's kind at its ID.
bool ZelStatesHaveTheirUnits(const SimOptions& options) {
  for (const SimOptions::ZelReport& report : options.zelReports) {
    const bool box = FindZelStateKey(report.key)->box;
    const bool found = std::any_of(options.zelUnits.begin(), options.zelUnits.end(), [&](const auto& unit) {
      const unsigned type = unit.first.typeCode;
      return unit.first.deviceId == report.id && (box ? IsZelBoxType(type) : IsZelAmpType(type));
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

// Puts the unit on the bus, wrapped when an option makes the units at its ID late, silent or
// take turns; placed counts the units put at each ID so far. Returns the unit as it was made.
template <typename Unit>
Unit* AddUnitAt(const SimOptions& options, std::uint32_t id, std::unique_ptr<Unit> unit, CSimBus& bus,
                std::map<std::uint32_t, int>& placed) {
  Unit* made = unit.get();
  const bool first = placed[id]++ == 0;
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
  for (const auto& [swapId, after] : options.swapUnits) {
    if (swapId != id) continue;
    using Duration = CSimSwitchedUnit::Clock::duration;
    const auto turn = std::chrono::duration_cast<Duration>(std::chrono::duration<double>(after));
    // The first answers until the turn and is silent for good after it; the others are silent until it.
    if (first) {
      wrapped().SetSilentPeriod(turn, Duration::zero());
    } else if (turn > Duration::zero()) {
      wrapped().SetSilentPeriod(Duration::zero(), turn);
    }
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
      ok = ReadNumber(value, out.com);
    } else if (arg == "--baud") {
      ok = ReadNumber(value, out.baud);
    } else if (arg == "--unit") {
      out.ids.push_back(0);
      ok = ReadNumber(value, out.ids.back(), 0xFF);
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
    } else if (arg == "--swap-unit") {
      ok = ParseSwapUnit(value, out);
    } else if (arg == "--zel-state") {
      ok = ParseZelState(value, out);
    } else if (arg == "--boot-silent-after") {
      ok = ReadNumber(value, out.bootSilentAfter);
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
  std::map<std::uint32_t, int> placed;

  for (unsigned id : ids) {
    auto* unit = AddUnitAt(options, id, std::make_unique<CFramedUnit>(std::uint8_t(id)), bus, placed);
    for (auto [command, length] : replies) unit->SetReplyLength(std::uint8_t(command), length);
  }
  for (const SimDiscoveryConfig& config : options.scanUnits) bus.Add<CSimDiscoveryUnit>(config);
  for (const SimOptions::Processor& p : options.processors)
    AddUnitAt(options, p.id, std::make_unique<CSimProcessorUnit>(int(p.type), p.id, p.variant), bus, placed);
  for (const auto& [config, users] : options.secureUnits) {
    if (IsZelAmpType(config.typeCode))
      AddUnitAt(options, config.deviceId, std::make_unique<CSimZelAmpUnit>(config), bus, placed)->SetUsers(users);
    else if (IsZelBoxType(config.typeCode))
      AddUnitAt(options, config.deviceId, std::make_unique<CSimZelBreakUnit>(config), bus, placed)->SetUsers(users);
    else
      AddUnitAt(options, config.deviceId, std::make_unique<CSimSecurityUnit>(config), bus, placed)->SetUsers(users);
  }
  for (const auto& [config, unitName] : options.zelUnits) {
    // Clang before 16 lets no lambda capture a structured binding: a plain reference it may.
    const std::string& name = unitName;
    if (IsZelAmpType(config.typeCode)) {
      auto* amp = AddUnitAt(options, config.deviceId, std::make_unique<CSimZelAmpUnit>(config), bus, placed);
      amp->Update([&](SimZelAmpState& state) { state.name = name; });
      ScheduleZelReports(options, config.deviceId, *amp);
    } else {
      auto* box = AddUnitAt(options, config.deviceId, std::make_unique<CSimZelBreakUnit>(config), bus, placed);
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
