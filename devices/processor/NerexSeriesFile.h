// Processor records in the system file (archive) and in data streams, and the Fennick preset
// file (".fnp") that holds one settings image. Loading is bounded: preset counts, record
// lengths and versions outside what any writer produced fail the load (CArchiveException)
// instead of reading on out of step. UI thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexSeriesMemory.h"

class CArchive;
class CDataStream;

// Versions written.
inline constexpr std::uint32_t kNerexMemoryRecordVersion = 5;
inline constexpr std::uint32_t kNerexDeviceRecordVersion = 6;
// The most preset memories (and crossover presets) a stored device may hold: memory numbers
// travel as one byte.
inline constexpr std::uint32_t kNerexMaxStoredPresets = 255;
// Bytes of the general record (general byte 7, front-panel code, general bytes 10 to 19) and
// of one timed-preset entry.
inline constexpr std::size_t kNerexGeneralBytes = 20;
inline constexpr std::size_t kNerexTimedPresetBytes = 6;
inline constexpr std::size_t kNerexTimedPresetCount = 10;

// Forms of the output record's plain bytes: memory versions 3, 4 and 5 of the file, and the
// stream record (version 5 without the matrix levels).
enum class ENerexOutputPlainForm { V3, V4, V5, Stream };

// The plain bytes of an output record before padding, and the bytes a form takes.
std::vector<std::uint8_t> BuildOutputPlainBytes(const NerexOutputSection& outputs, ENerexOutputPlainForm form);
// The same into bytes, which hold at least GetOutputPlainSize(form).
void WriteOutputPlainBytes(const NerexOutputSection& outputs, ENerexOutputPlainForm form, std::span<std::uint8_t> bytes);
std::size_t GetOutputPlainSize(ENerexOutputPlainForm form);
// Reads plain bytes of the form into the section (crossover kinds fixed, gains 0); false when
// there are too few bytes, and then the section is unchanged.
bool ParseOutputPlainBytes(std::span<const std::uint8_t> plain, ENerexOutputPlainForm form,
                           NerexOutputSection& outputs);
// Chains the little-endian words of bytes (a multiple of 4 long) with the key: c0 = p0 ^ key,
// ci = pi ^ c(i-1). Unscramble reverses it.
void ScrambleWords(std::vector<std::uint8_t>& bytes, std::uint32_t key);
void UnscrambleWords(std::vector<std::uint8_t>& bytes, std::uint32_t key);

// A processor's own fields of its device record (after the base record of every device).
// The record functions read and write these; the memories are the device's own.
struct NerexDeviceRecordFields {
  std::string* name = nullptr;  // UTF-8
  bool autoRtcUpdate = true;
  std::uint32_t delayUnits = 0;
  std::uint32_t delayMultiplier = 10;
  std::uint32_t gainNudge = 0;
  CNerexSeriesMemory* current = nullptr;
  CNerexMemoryList* presets = nullptr;
  CNerexMemoryList* xoverPresets = nullptr;
  std::array<std::uint8_t, kNerexGeneralBytes> general{};
  std::array<std::uint8_t, kNerexTimedPresetBytes * kNerexTimedPresetCount> timedPresets{};
};

// Writes version 6, or reads versions 1 to 6 (a version outside that, a preset count beyond
// kNerexMaxStoredPresets or a damaged memory record throws CArchiveException). Fields that an
// older version lacks keep their values.
void SerializeNerexDeviceRecord(CArchive& ar, NerexDeviceRecordFields& fields);
// The stream record (version 6 only). Reading changes the fields only when the whole record
// was read; a stream error or another version leaves them as they were. Returns whether the
// record was written or taken.
bool SerializeNerexDeviceStream(CDataStream& ds, NerexDeviceRecordFields& fields);

// The Fennick preset file: an archive holding one memory record (version 5). Saving goes
// through a temporary file renamed into place. Loading reads into a fresh image first and
// changes memory only when the file is exactly one whole record (its name in the archive's wide
// or narrow text form) and every value lies within what a stored image of the model may hold
// (values only: memory's parameter ids stay). Both return false with a reason when the file
// cannot be written or read; a file of another kind is named as no preset file. The name goes
// nowhere near the unit on a load: memory takes it as a preset memory keeps it
// (MemoryNameAsKept), and when that is not the file's name, note says what became of it.
bool SaveNerexPresetFile(const std::string& path, const CNerexSeriesMemory& memory, std::string* error);
bool LoadNerexPresetFile(const std::string& path, int model, CNerexSeriesMemory& memory, std::string* error,
                         std::string* note = nullptr);

// The file dialog's filter and default extension of preset files.
// The preset file's filters: saving, and opening (which offers the preset files only).
inline constexpr const char* kNerexPresetFileFilter = "Fennick Preset Files (*.fnp)|*.fnp|All Files (*.*)|*.*";
inline constexpr const char* kNerexPresetOpenFilter = "Fennick Files (*.fnp)|*.fnp";
inline constexpr const char* kNerexPresetFileExtension = "fnp";
