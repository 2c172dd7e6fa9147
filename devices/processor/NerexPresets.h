// Preset memory lists of a processor, the defaults of a new memory, the delay budget of routed
// input/output pairs, the gain clamps per model and the filter-type fix-ups of some Calder units.
// UI thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "devices/processor/NerexSeriesMemory.h"

// An owning list of memories; element n - 1 is memory n.
using CNerexMemoryList = std::vector<std::unique_ptr<CNerexSeriesMemory>>;

// A list of memories seen read-only, the memories as well as the list (a const list of owning
// pointers would still hand out writable memories): what a device shows of its presets.
class CNerexMemoryView {
 public:
  // A list converts to its view, as a container converts to a span.
  CNerexMemoryView(const CNerexMemoryList& list) : m_list(&list) {}

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = const CNerexSeriesMemory*;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = const CNerexSeriesMemory*;

    explicit Iterator(CNerexMemoryList::const_iterator at) : m_at(at) {}
    const CNerexSeriesMemory* operator*() const { return m_at->get(); }
    Iterator& operator++() {
      ++m_at;
      return *this;
    }
    Iterator operator++(int) { return Iterator(m_at++); }
    friend bool operator==(const Iterator&, const Iterator&) = default;

   private:
    CNerexMemoryList::const_iterator m_at;
  };

  std::size_t size() const { return m_list->size(); }
  bool empty() const { return m_list->empty(); }
  // Memory i + 1 (null where the list holds none).
  const CNerexSeriesMemory* operator[](std::size_t i) const { return (*m_list)[i].get(); }
  Iterator begin() const { return Iterator(m_list->begin()); }
  Iterator end() const { return Iterator(m_list->end()); }

 private:
  const CNerexMemoryList* m_list;
};

inline constexpr std::size_t kNerexDefaultPresetCount = 20;

// The sum of an input delay and the delay of an output it feeds stays within this many delay
// units (650 ms).
inline constexpr std::uint32_t kNerexDelayLimit = 0x79E000;

// Fills a memory's parameter-id fields, its crossover defaults (high-pass type 3, q 6,
// frequency 12; low-pass type 4, q 6, frequency 433) and its channel names "Ch A".."Ch D" and
// "Ch 1".."Ch 8". The device's live settings get the same.
void InitMemoryDefaults(CNerexSeriesMemory& memory);

// Grows the list to n with new memories named "Preset %d" by their number, or deletes
// memories from the end until n remain. Serves both the preset and the crossover-preset list.
void ResizePresetList(CNerexMemoryList& list, std::size_t n);
inline void ResizeXoverPresetList(CNerexMemoryList& list, std::size_t n) { ResizePresetList(list, n); }

// The proposed delay of parameter id 249..260 (input or output delay), reduced so that no
// routed input/output pair of the model's channels exceeds the limit; for any other id only
// the limit itself applies. This is the one delay rule of the family (the change path calls
// it ClampDelayToBudget). Stored delays beyond the limit leave no budget.
std::uint32_t GetDelayValue(const CNerexSeriesMemory& image, int model, std::int32_t parameterId,
                            std::uint32_t proposed);

// Clamps the four input gains and eight output gains in place: inputs to -40.0..+15.0 dB on the
// Fennick models and -40.0..+6.0 dB on the others, outputs to -40.0..+15.0 dB.
void ClampGains(CNerexSeriesMemory& image, int model);

// Calder26 or Calder48 units with hardware code 0x1A1F7C or 0x1C4A21 lack filter types 5, 6,
// 7, 8, 11 and 12: such parametric bands become type 0 (keeping their bypass bit) with gain 0.
void ApplyHardwareVariantFixups(CNerexSeriesMemory& image, int model, std::uint32_t hardwareCode);

// A preset memory's name on the unit is a field of 16 bytes, each byte one character (codes 1
// to 255, Latin-1), blank padded; the program keeps it as text (UTF-8) with one character for
// each byte, so that a name goes back to the unit, into the file and into a preset file as the
// unit holds it.
//
// The name a memory keeps of a text: each character as the field carries it (a character
// beyond one byte as "?", a control character as a blank), the first 16 after any blanks it
// begins with, and no blank at its end, as the unit's reply is read.
std::string MemoryNameAsKept(const std::string& utf8);
// The field's bytes for that name (at most 16; the frame pads them with blanks).
std::string MemoryNameBytes(const std::string& utf8);
// The name the unit's field holds: one character for each byte up to the first NUL, a control
// byte as a blank, the blanks at both ends trimmed.
std::string MemoryNameFromBytes(const std::uint8_t* bytes, std::size_t count);
// Why a typed preset name would not reach the unit as typed (a character beyond ASCII, a
// control character, more than 16 characters), or empty when it would.
std::string PresetNameRefusal(const std::string& utf8);
