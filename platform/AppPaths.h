// Folders the program keeps its files in.
#pragma once

#include <string>

// "<user data folder>/Orvak/" with a trailing slash, created when first asked for. Any thread.
std::string GetAppDataFolder();
// The user data folder itself (the parent of "Orvak/").
std::string GetUserDataRoot();
// The folder of the running executable, with a trailing slash.
std::string GetExecutableFolder();
// Puts the user data folder somewhere else (tests); empty restores the default.
void SetUserDataRootForTests(const std::string& folder);
