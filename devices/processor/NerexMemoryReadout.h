// CNerexMemoryReadout: how many preset memories and crossover presets a unit holds, as the read
// of its memories finds out. A memory the unit leaves unanswered kMemoryMissesToEnd times in a
// row, answering its probes between, is one it does not hold: the read of memories ends there.
// One whose read the unit answered late, though, it holds: the read passes it by, the file
// keeping it, and goes on. The device keeps one under its settings lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Times in a row a unit leaves one memory of the read-out unanswered, answering its probes
// between, before the read-out takes it that the unit does not hold that memory.
inline constexpr std::uint32_t kMemoryMissesToEnd = 3;
// No bound on the memories the read-out reads but the file's own count.
inline constexpr std::size_t kAnyMemoryCount = ~std::size_t(0);
// Memory numbers of crossover presets start after this one (list position + 257).
inline constexpr std::uint32_t kNerexXoverBase = 256;
// Highest memory number of a preset memory.
inline constexpr std::size_t kNerexMaxPresetNumber = 255;

class CNerexMemoryReadout {
 public:
  // What became of the memory asked for last, at the device's next turn.
  struct Outcome {
    enum Kind { kNothing, kPassedBy, kUnitHoldsFewer } kind = kNothing;
    // kPassedBy: the command and number of the memory passed by.
    std::uint32_t command = 0;
    std::uint32_t number = 0;
    // kUnitHoldsFewer: crossover presets or presets, and how many the unit holds.
    bool xover = false;
    std::size_t held = 0;
  };

  // The read-out asked for the flags or the name (command) of memory number (1 to 255 the
  // presets, from 257 the crossover presets).
  void Asked(std::uint32_t command, std::uint32_t number);
  // A read of memory number was answered after its time-out: the unit holds that memory.
  void AnsweredLate(std::uint32_t number);
  // At the device's next turn: whether the unit left the last request unanswered (missed). A
  // memory left so kMemoryMissesToEnd times in a row is passed by when it was answered late,
  // else the unit holds the memories before it only (PresetsToRead, XoversToRead say so
  // from then on).
  Outcome NoteAnswer(bool missed);
  // The memories passed by in a pass that has ended (ended(command, number)), presets
  // (xover false) or crossover presets, as "3, 5-7", taken from the record; empty for none.
  template <class Ended>
  std::string TakePassedBy(bool xover, Ended ended);

  // The presets (crossover presets) the read reads of inFile: the file's, as far as the unit
  // holds them.
  std::size_t PresetsToRead(std::size_t inFile) const;
  std::size_t XoversToRead(std::size_t inFile) const;
  // As the read-out found when the unit left one unanswered; kAnyMemoryCount until then.
  std::size_t UnitPresets() const { return m_unitPresets; }
  std::size_t UnitXovers() const { return m_unitXovers; }
  // Why row (the memories first, 0-based, then the crossover presets) of lists of presets and
  // xovers names a memory the unit does not hold; empty when it may hold it.
  std::string RowBeyondUnitRefusal(int row, std::size_t presets, std::size_t xovers) const;

  // Everything found forgotten (the device is read afresh).
  void Reset() { *this = CNerexMemoryReadout{}; }

 private:
  static std::string NumberRuns(const std::vector<std::uint32_t>& numbers);

  // The memory the last request of the read asked for (0: the last request was none of its),
  // and its command; the memory left unanswered and how often in a row.
  std::uint32_t m_asked = 0;
  std::uint32_t m_askedCommand = 0;
  std::uint32_t m_unanswered = 0;
  std::uint32_t m_misses = 0;
  // The memories a read of which the unit answered late, and those passed by, each with the
  // command of its pass.
  std::set<std::uint32_t> m_heldLate;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> m_passedBy;
  std::size_t m_unitPresets = kAnyMemoryCount;
  std::size_t m_unitXovers = kAnyMemoryCount;
};

template <class Ended>
std::string CNerexMemoryReadout::TakePassedBy(bool xover, Ended ended) {
  std::vector<std::uint32_t> numbers;
  std::erase_if(m_passedBy, [&](const std::pair<std::uint32_t, std::uint32_t>& m) {
    if ((m.second > kNerexXoverBase) != xover || !ended(m.first, m.second)) return false;
    numbers.push_back(xover ? m.second - kNerexXoverBase : m.second);
    return true;
  });
  return NumberRuns(numbers);
}
