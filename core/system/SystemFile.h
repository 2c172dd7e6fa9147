// The system file (".ovd"): its reader and writer, what they tell the user (through the
// system's UI services), and what the system keeps of the file it read or saved last.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/File.h"

class CArchive;
class CSystem;

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

// The newest version that CSystemFile::Serialize writes; versions 1 to it are read.
inline constexpr unsigned kSystemFileVersion = 5;
// Begins the block of the values that links owe their members out of line ("OWED"), after the
// root record: never 0, so that zero padding after a file is not taken for it.
inline constexpr std::uint32_t kOwedLinkValuesMark = 0x4445574Fu;

// The open file of the system: reading and writing it, its path, whether it changed on the disk
// or in the units since, and the options it keeps for its next opening. UI thread (the frame
// offers Open only while offline).
class CSystemFile {
 public:
  explicit CSystemFile(CSystem& system) : m_system(system) {}
  CSystemFile(const CSystemFile&) = delete;
  CSystemFile& operator=(const CSystemFile&) = delete;

  // Writes the whole system (version 5), or reads a file of version 1 to 5 into fresh objects
  // that replace the system's contents only when the whole file was read. False after a
  // reported error; a failed read leaves the system's contents as they were.
  bool Serialize(CArchive& ar);
  // Reads the file at path. False when it cannot be read (no message) or when its contents
  // are refused (reported); the system is then cleared and keeps no path. On success the
  // path is kept and the file is not modified.
  bool OpenFile(const std::string& path);
  // Writes the file at path through a temporary file renamed into place. On failure the old
  // file is untouched, the failure is reported (or, when failure is given, its text goes there
  // instead), the path and the modified flag stay and the result is false. On success the path
  // is kept and the modified flag cleared.
  bool SaveFile(const std::string& path, std::string* failure = nullptr);
  // True when the system holds what its file, as last read or saved, does not: an edit (the
  // modified flag, which every change of the person's and every other record sets), or device
  // settings that the units' replies changed since (those leave the modified flag, and so
  // File > Save, alone; each device counts them). Microseconds under the lock at any size: no
  // record is stored to find out.
  bool HasChangesSinceStored();
  // True when the file at the system's path is no longer the one it read or saved last: a
  // program wrote over it, replaced or removed it since. False without a file.
  bool IsFileChangedOnDisk() const;

  const std::string& GetFilePath() const { return m_filePath; }
  void SetFilePath(const std::string& path) { m_filePath = path; }
  bool IsFullScreenNow() const { return m_fullScreenNow; }
  void SetFullScreenNow(bool on) { m_fullScreenNow = on; }
  bool GetFullScreenOnOpen() const { return m_fullScreenOnOpen; }
  void SetFullScreenOnOpen(bool on) { m_fullScreenOnOpen = on; }
  bool GetGoOnlineOnOpen() const { return m_goOnlineOnOpen; }
  void SetGoOnlineOnOpen(bool on) { m_goOnlineOnOpen = on; }
  // Set by the frame while a file's panels are reopened.
  bool IsLoading() const { return m_loading; }
  void SetLoading(bool on) { m_loading = on; }
  // Bit 0: the "Links" root of the control view's tree is expanded; bit 1: "Controls".
  std::uint32_t GetTreeState() const { return m_treeState; }
  void SetTreeState(std::uint32_t state) { m_treeState = state; }

 private:
  // The system sets the defaults of a new file and forgets the file when it is cleared.
  friend class CSystem;
  void SetDefaults();
  void Forget();
  // The devices' counts of changes their units' replies made (CDevice::GetUnitChanges), summed:
  // each only grows, so the sum moves whenever one does while the devices stay the same (adding
  // or deleting one marks the system modified). Takes the lock.
  std::uint64_t CountUnitChanges() const;

  CSystem& m_system;
  std::string m_filePath;
  // The file as this system last read or saved it: its stamp on the disk, and the devices'
  // count of changes their units made (CountUnitChanges) when it was read or stored.
  std::optional<CFileStamp> m_fileStamp;
  std::uint64_t m_storedUnitChanges = 0;
  bool m_fullScreenNow = false;
  bool m_fullScreenOnOpen = false;
  bool m_goOnlineOnOpen = false;
  bool m_loading = false;
  std::uint32_t m_treeState = 0;
};
