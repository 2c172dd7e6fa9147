// The system file (".ovd"): what its reader and writer tell the user (through the system's UI
// services).
#pragma once

#include <string>

// Texts and caption of the system file's error messages.
inline constexpr const char* kFileErrorCaption = "File Error";
inline constexpr const char* kFileTooNewText = "Cannot open file (probably created in a more recent version)";
inline constexpr const char* kFileBadDeviceTypeText = "Error opening file - invalid device type found";
inline constexpr const char* kFileDamagedText = "Error opening file - the file is damaged or incomplete";
inline constexpr const char* kFileSaveFailedText = "Error saving file - the file could not be written";
// A file holding more users than the program keeps opens without the rest; the notice names
// them, one a line, after this text.
inline constexpr const char* kFileUsersLeftOutText =
    "This file holds more users than can be kept. These users were left out:";

// The newest version that CSystem::Serialize writes; versions 1 to it are read. Version 6 is
// version 5 with the values links owe their members out of line after the snapshots; a file in
// which no link owes one is written as version 5, which earlier programs read as well.
inline constexpr unsigned kSystemFileVersion = 6;
inline constexpr unsigned kSystemFileVersionWithoutOwedValues = 5;
