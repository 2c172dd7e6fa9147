// The system file (".ovd"): what its reader and writer tell the user (through the system's UI
// services).
#pragma once

#include <cstdint>
#include <string>

// Texts and caption of the system file's error messages.
inline constexpr const char* kFileErrorCaption = "File Error";
inline constexpr const char* kFileTooNewText = "Cannot open file (probably created in a more recent version)";
inline constexpr const char* kFileBadDeviceTypeText = "Error opening file - invalid device type found";
inline constexpr const char* kFileDamagedText = "Error opening file - the file is damaged or incomplete";
// A file with bytes after the system it begins with (two files joined, or a damaged one) is
// refused: a save would drop them. The counts follow in brackets. Zero bytes alone after it
// (padding) are let be.
inline constexpr const char* kFileBytesAfterEndText = "Error opening file - the file holds more than one system";
inline constexpr const char* kFileSaveFailedText = "Error saving file - the file could not be written";
// A file holding more users than the program keeps opens without the rest; the notice names
// them, one a line, after this text.
inline constexpr const char* kFileUsersLeftOutText =
    "This file holds more users than can be kept. These users were left out:";

// The newest version that CSystem::Serialize writes; versions 1 to it are read.
inline constexpr unsigned kSystemFileVersion = 5;
// Begins the block of the values that links owe their members out of line ("OWED"), after the
// root record: never 0, so that zero padding after a file is not taken for it.
inline constexpr std::uint32_t kOwedLinkValuesMark = 0x4445574Fu;
