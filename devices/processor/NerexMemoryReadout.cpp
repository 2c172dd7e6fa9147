// How many memories a unit holds, as the read of its memories finds out (CNerexMemoryReadout).
#include "devices/processor/NerexMemoryReadout.h"

#include <algorithm>

#include "platform/TextFormat.h"

void CNerexMemoryReadout::Asked(std::uint32_t command, std::uint32_t number) {
  m_asked = number;
  m_askedCommand = command;
}

void CNerexMemoryReadout::AnsweredLate(std::uint32_t number) { m_heldLate.insert(number); }

CNerexMemoryReadout::Outcome CNerexMemoryReadout::NoteAnswer(bool missed) {
  Outcome outcome;
  const std::uint32_t asked = m_asked;
  const std::uint32_t command = m_askedCommand;
  if (asked == 0) return outcome;
  m_asked = 0;
  if (!missed) {
    if (asked == m_unanswered) m_unanswered = m_misses = 0;
    return outcome;
  }
  if (asked != m_unanswered) {
    m_unanswered = asked;
    m_misses = 0;
  }
  if (++m_misses < kMemoryMissesToEnd) return outcome;
  m_unanswered = m_misses = 0;
  if (m_heldLate.count(asked) != 0) {
    // Its answers came, only later than the read waits: the unit holds the memory. The read
    // passes it by, the file keeping it, and goes on with the next one.
    m_passedBy.emplace_back(command, asked);
    outcome.kind = Outcome::kPassedBy;
    outcome.command = command;
    outcome.number = asked;
    return outcome;
  }
  // The unit answers (its probe came back before each of these asks) but not for this memory:
  // it holds the ones before it only.
  outcome.kind = Outcome::kUnitHoldsFewer;
  outcome.xover = asked > kNerexXoverBase;
  outcome.held = outcome.xover ? asked - kNerexXoverBase - 1 : asked - 1;
  (outcome.xover ? m_unitXovers : m_unitPresets) = outcome.held;
  return outcome;
}

std::size_t CNerexMemoryReadout::PresetsToRead(std::size_t inFile) const {
  return std::min({inFile, kNerexMaxPresetNumber, m_unitPresets});
}

std::size_t CNerexMemoryReadout::XoversToRead(std::size_t inFile) const { return std::min(inFile, m_unitXovers); }

std::string CNerexMemoryReadout::RowBeyondUnitRefusal(int row, std::size_t presets, std::size_t xovers) const {
  if (row < 0) return std::string();
  if (std::size_t(row) < presets) {
    if (std::size_t(row) < m_unitPresets) return std::string();
    return FormatText("The unit holds %zu preset %s - it has no memory %d", m_unitPresets,
                      m_unitPresets == 1 ? "memory" : "memories", row + 1);
  }
  const std::size_t xover = std::size_t(row) - presets;
  if (xover >= xovers || xover < m_unitXovers) return std::string();
  return FormatText("The unit holds %zu crossover preset%s - it has no crossover preset %zu", m_unitXovers,
                    m_unitXovers == 1 ? "" : "s", xover + 1);
}

std::string CNerexMemoryReadout::NumberRuns(const std::vector<std::uint32_t>& numbers) {
  std::string text;
  std::uint32_t from = 0, to = 0;
  auto flush = [&] {
    if (from == 0) return;
    text += (text.empty() ? "" : ", ") + std::to_string(from) + (to > from ? "-" + std::to_string(to) : "");
  };
  for (const std::uint32_t n : numbers) {
    if (from != 0 && n == to + 1) {
      to = n;
    } else {
      flush();
      from = to = n;
    }
  }
  flush();
  return text;
}
