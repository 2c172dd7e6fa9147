// The one rule for every name the program keeps (zones, snapshots, links, custom panels, users,
// and the names it sends to units), with the words a refused name is refused in, and what each
// holder of a name can carry. Any thread.
#pragma once

#include <cstddef>
#include <string>

// What a holder keeps of a name. Every name refuses control characters (a tab or a line end
// pasted with it would split a line of the log, a list row or a header, and a unit's display
// would show it as it stands); a holder with a limit refuses more characters than it keeps; one
// that keeps a 7-bit byte per character refuses every character beyond ASCII.
struct CNameRule {
  const char* what;             // how the words name it: "Link name", "Channel name"
  std::size_t maxCharacters;    // 0: any number
  const char* asciiOnlyReason;  // null: any character but a control one; else why ASCII only
};

inline constexpr const char* kUnitTakesAsciiOnly = "the unit takes ASCII characters only";
inline constexpr const char* kFileKeepsAsciiOnly = "the file keeps ASCII characters only";

// The program's own names, kept in the system file as typed.
inline constexpr CNameRule kZoneNameRule{"Zone name", 0, nullptr};
inline constexpr CNameRule kSnapshotNameRule{"Snapshot name", 0, nullptr};
inline constexpr CNameRule kLinkNameRule{"Link name", 30, nullptr};
inline constexpr CNameRule kPanelNameRule{"Panel name", 40, nullptr};
// A user's record keeps 8 bytes of 7-bit text.
inline constexpr CNameRule kUserNameRule{"User name", 8, kFileKeepsAsciiOnly};

// Names a unit's frames carry, one 7-bit byte per character in a field of fixed length: the
// device names of processors and Zel units, a processor's channel names, a Zel unit's channel
// names and the names of a processor's preset memories as a person types them.
inline constexpr CNameRule kUnitDeviceNameRule{"Device name", 40, kUnitTakesAsciiOnly};
inline constexpr CNameRule kProcessorChannelNameRule{"Channel name", 8, kUnitTakesAsciiOnly};
inline constexpr CNameRule kZelChannelNameRule{"Channel name", 16, kUnitTakesAsciiOnly};
inline constexpr CNameRule kPresetNameRule{"Preset name", 16, kUnitTakesAsciiOnly};

// Why the holder cannot keep the name as typed (UTF-8), in words ("Link name cannot contain
// control characters", "Channel name cannot contain "Ü" - the unit takes ASCII characters only",
// "Link name too long - 30 characters max"), or empty when it can. A character beyond ASCII is
// named first, then control characters, then the length.
std::string NameRefusal(const std::string& utf8, const CNameRule& rule);

// The character of a UTF-8 text that starts at byte i, with i moved past it; a byte that starts
// no whole sequence is one character of its own (U+FFFD).
char32_t NextNameCharacter(const std::string& utf8, std::size_t& i);
// The characters of a UTF-8 text, counted as NextNameCharacter walks them.
std::size_t NameCharacters(const std::string& utf8);

// True for a character no name holds: the C0 and C1 controls, DEL, and the line and paragraph
// separators.
bool IsNameControlCharacter(char32_t c);
