// The family loaders that the loader dialog's worker runs. Each opens the job's port itself,
// reports through the context and returns true on success. Loader worker thread only.
#pragma once

#include <cstdint>
#include <string>

#include "ui/loader/LoaderContext.h"

// The log line for a firmware file that cannot be loaded as it is (empty, cut short, not in
// the format the unit takes); a file for another unit gets "Incompatible firmware file !!".
inline constexpr const char* kDamagedFirmwareText = "Firmware file is damaged or in the wrong format !!";
// The log line of a unit that stopped answering during a load, which then fails.
inline constexpr const char* kStoppedRespondingText = "Device has stopped responding";

// Amplifier modules (0x30 to 0x32): Intel HEX firmware through the boot loader at 9600 baud.
bool LoadAmpFirmware(const CLoaderContext& context);
// Amplifier modules: the presets of a preset file, then the file's name as the set's name.
bool LoadAmpPresets(const CLoaderContext& context);
// Zel amplifiers and breakout boxes: the firmware file named by the version table.
bool LoadZelFirmware(const CLoaderContext& context);
// Sornic amplifier: the chosen firmware file, boot loader at 57600 baud.
bool LoadSornicAmpFirmware(const CLoaderContext& context);
// Processors: a plain byte image in addressed 128-byte blocks.
bool LoadProcessorFirmware(const CLoaderContext& context);

// Which loader a type code takes.
enum class LoaderKind { kNone, kAmpModule, kZel, kSornic, kProcessor };
LoaderKind LoaderKindOf(std::uint8_t type);
// The scan's status text for a supported type code ("Zel-2 Connected"); empty for 0x30 and
// for codes outside the table.
std::string ConnectedText(std::uint8_t type);
// The model a type code names in the log ("Nerex48", "Vm4 Amplifier", "amplifier module" for
// 0x30); "unit" for codes outside the table.
std::string LoaderModelName(std::uint8_t type);

// The firmware file the Zel family loader or the processor loader picks by itself for a type
// code: folder, prefix, version from the table with "." made "_", ".hex". Empty for codes
// whose file the user chooses.
std::string AutomaticFirmwarePath(std::uint8_t type, const std::string& programFolder);
// The version that file is named by; empty when the table or its key is missing (then there is
// no file to pick) and for codes whose file the user chooses.
std::string AutomaticFirmwareVersion(std::uint8_t type, const std::string& programFolder);
// The loader's line when the table names no version for the type code's file.
std::string NoFirmwareVersionText(std::uint8_t type);
// The units whose loader picks a file of this name itself ("the Fennick processors" for
// "FennickFirmware_v1_25.hex"; letter case aside); empty for any other name.
std::string AutomaticFirmwareOwner(const std::string& fileName);

// The longest a load can last, in milliseconds of the loader's clock: the loader's waits and
// read time-outs, with the unit answering as late as they allow or not at all, and the file's
// bytes at the boot loader's baud rate. Each loader's is beside it; LongestLoadMs adds up the
// job's (the size of each file it names, none when it cannot be read).
std::uint64_t LongestAmpFirmwareMs(std::uint64_t fileBytes);
std::uint64_t LongestAmpPresetsMs(std::uint64_t fileBytes);
std::uint64_t LongestLongIdFirmwareMs(std::uint64_t fileBytes, bool sornic);
std::uint64_t LongestProcessorFirmwareMs(std::uint64_t fileBytes);
std::uint64_t LongestLoadMs(const CLoaderJob& job);

// The name a preset set is stored under: the file's name (after the last separator), its first
// 40 characters, each cut to its low 8 bits.
std::string PresetSetName(const std::string& path);
