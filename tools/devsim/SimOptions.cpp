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

// A number of seconds from 0 to a day: decimal digits with a point, nothing else.
bool ReadSeconds(std::string_view text, double& out) {
  const char* last = text.data() + text.size();
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), last, value);
  if (text.empty() || error != std::errc{} || end != last || !(value >= 0 && value <= 86400)) return false;
  out = value;
  return true;
}

// The optional EVERY and TIMES that repeat a silence or a turn, from field first on: EVERY more
// than `least` seconds, TIMES at least 1.
bool ReadRepeat(const std::vector<std::string_view>& f, std::size_t first, double least, double& every,
                std::size_t& times) {
  if (f.size() > first && (!ReadSeconds(f[first], every) || !(every > least))) return false;
  if (f.size() > first + 1 && (!ReadNumber(f[first + 1], times, 1000000) || times == 0)) return false;
  return true;
}

bool ParseSilentUnit(const std::string& value, SimOptions& out) {
  SimOptions::Silence silence;
  const std::vector<std::string_view> f = Fields(value, 5);
  if (f.size() < 3 || !ReadNumber(f[0], silence.id) || !ReadSeconds(f[1], silence.afterSeconds) ||
      !ReadSeconds(f[2], silence.forSeconds))
    return false;
  // A silence for good happens once.
  if (f.size() > 3 && silence.forSeconds == 0) return false;
  if (!ReadRepeat(f, 3, silence.forSeconds, silence.everySeconds, silence.times)) return false;
  out.silentUnits.push_back(silence);
  return true;
}

bool ParseSwapUnit(const std::string& value, SimOptions& out) {
  SimOptions::Swap swap;
  const std::vector<std::string_view> f = Fields(value, 4);
  if (f.size() < 2 || !ReadNumber(f[0], swap.id) || !ReadSeconds(f[1], swap.afterSeconds) ||
      !ReadRepeat(f, 2, 0, swap.everySeconds, swap.times))
    return false;
  out.swapUnits.push_back(swap);
  return true;
}

// --ack-loss PERCENT[:SEED].
bool ParseAckLoss(const std::string& value, SimOptions& out) {
  const std::vector<std::string_view> f = Fields(value, 2);
  const char* last = f[0].data() + f[0].size();
  double percent = 0;
  const auto [end, error] = std::from_chars(f[0].data(), last, percent);
  if (f[0].empty() || error != std::errc{} || end != last || !(percent >= 0 && percent <= 100)) return false;
  if (f.size() > 1 && !ReadNumber(f[1], out.ackLossSeed)) return false;
  out.ackLossPercent = percent;
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

// How many units the options put at the device ID.
std::size_t UnitsAt(const SimOptions& options, std::uint32_t id) {
  std::size_t n = 0;
  for (unsigned unit : options.ids) n += unit == id ? 1 : 0;
  for (const SimOptions::Processor& p : options.processors) n += p.id == id ? 1 : 0;
  for (const auto& unit : options.secureUnits) n += unit.first.deviceId == id ? 1 : 0;
  for (const auto& unit : options.zelUnits) n += unit.first.deviceId == id ? 1 : 0;
  return n;
}

// Puts the unit on the bus, wrapped when an option makes the units at its ID late, silent or
// take turns; placed counts the units put at each ID so far. Returns the unit as it was made.
template <typename Unit>
Unit* AddUnitAt(const SimOptions& options, std::uint32_t id, std::unique_ptr<Unit> unit, CSimBus& bus,
                std::map<std::uint32_t, int>& placed, CSimSwitchedUnit::Clock::time_point start) {
  Unit* made = unit.get();
  const bool first = placed[id]++ == 0;
  std::unique_ptr<CSimSwitchedUnit> switched;
  auto wrapped = [&]() -> CSimSwitchedUnit& {
    if (!switched) switched = std::make_unique<CSimSwitchedUnit>(std::move(unit));
    return *switched;
  };
  for (const auto& [lateId, ms] : options.lateUnits)
    if (lateId == id) wrapped().SetAnswerHeldMs(ms);
  using Duration = CSimSwitchedUnit::Clock::duration;
  auto seconds = [](double s) { return std::chrono::duration_cast<Duration>(std::chrono::duration<double>(s)); };
  for (const SimOptions::Silence& s : options.silentUnits) {
    if (s.id != id) continue;
    wrapped().SetSilentPeriod(seconds(s.afterSeconds), seconds(s.forSeconds), seconds(s.everySeconds), s.times, start);
  }
  for (const SimOptions::Swap& swap : options.swapUnits) {
    if (swap.id != id) continue;
    const Duration turn = seconds(swap.afterSeconds);
    if (swap.everySeconds > 0) {
      // Each in turn, in the order put on the bus.
      wrapped().SetTurns(std::size_t(placed[id] - 1), UnitsAt(options, id), turn, seconds(swap.everySeconds),
                         swap.times, start);
    } else if (first) {
      // The first answers until the turn and is silent for good after it; the others are silent until it.
      wrapped().SetSilentPeriod(turn, Duration::zero(), {}, 0, start);
    } else if (turn > Duration::zero()) {
      wrapped().SetSilentPeriod(Duration::zero(), turn, {}, 0, start);
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
    } else if (arg == "--ack-loss") {
      ok = ParseAckLoss(value, out);
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

std::size_t AddSimUnits(const SimOptions& options, CSimBus& bus, std::chrono::steady_clock::time_point start) {
  std::vector<unsigned> ids = options.ids;
  if (ids.empty() && options.processors.empty() && options.zelUnits.empty() && options.secureUnits.empty())
    ids.push_back(1);
  std::vector<std::pair<unsigned, unsigned>> replies = options.replies;
  if (replies.empty()) replies.emplace_back(62, 20);
  std::map<std::uint32_t, int> placed;

  for (unsigned id : ids) {
    auto* unit = AddUnitAt(options, id, std::make_unique<CFramedUnit>(std::uint8_t(id)), bus, placed, start);
    for (auto [command, length] : replies) unit->SetReplyLength(std::uint8_t(command), length);
  }
  for (const SimDiscoveryConfig& config : options.scanUnits) bus.Add<CSimDiscoveryUnit>(config);
  for (const SimOptions::Processor& p : options.processors)
    AddUnitAt(options, p.id, std::make_unique<CSimProcessorUnit>(int(p.type), p.id, p.variant), bus, placed, start);
  for (const auto& [config, users] : options.secureUnits) {
    if (IsZelAmpType(config.typeCode))
      AddUnitAt(options, config.deviceId, std::make_unique<CSimZelAmpUnit>(config), bus, placed, start)->SetUsers(users);
    else if (IsZelBoxType(config.typeCode))
      AddUnitAt(options, config.deviceId, std::make_unique<CSimZelBreakUnit>(config), bus, placed, start)->SetUsers(users);
    else
      AddUnitAt(options, config.deviceId, std::make_unique<CSimSecurityUnit>(config), bus, placed, start)->SetUsers(users);
  }
  for (const auto& [config, unitName] : options.zelUnits) {
    // Clang before 16 lets no lambda capture a structured binding: a plain reference it may.
    const std::string& name = unitName;
    if (IsZelAmpType(config.typeCode)) {
      auto* amp = AddUnitAt(options, config.deviceId, std::make_unique<CSimZelAmpUnit>(config), bus, placed, start);
      amp->Update([&](SimZelAmpState& state) { state.name = name; });
      ScheduleZelReports(options, config.deviceId, *amp);
    } else {
      auto* box = AddUnitAt(options, config.deviceId, std::make_unique<CSimZelBreakUnit>(config), bus, placed, start);
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
  if (options.ackLossPercent > 0) bus.SetAckLoss(options.ackLossPercent / 100.0, options.ackLossSeed);
  return ids.size() + options.processors.size() + options.secureUnits.size() + options.zelUnits.size();
}
