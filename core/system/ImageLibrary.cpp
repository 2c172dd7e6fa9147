// The image library file (".ovl"): exactly one folder record, the library root's.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "platform/Archive.h"
#include "platform/TextFormat.h"

namespace {

constexpr const char* kCreateFailedText = "Could not create new Image Library file, GetLastError = %d";
constexpr const char* kOpenFailedText = "Exception while opening Image Library file";
constexpr const char* kSaveFailedText = "Could not save Image Library file";

std::vector<std::uint8_t> StoreTree(CCCImageDirectory& root) {
  CArchive ar;
  root.Serialize(ar);
  return ar.TakeData();
}

// Reads a whole library file into root; false when the bytes are no complete folder record.
bool LoadTree(const std::vector<std::uint8_t>& bytes, CCCImageDirectory& root, CImageLoadReport& report) {
  try {
    CArchive ar(bytes);
    root.Serialize(ar, &report);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void CSystem::LoadImageLibrary() {
  m_libraryImages.RemoveAll();
  m_libraryUnread = false;
  const std::string path = GetImageLibraryFilename();
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !ec) {
    // First start, or a setting naming a new path: an empty library is written there.
    errno = 0;
    if (!WriteFileAtomically(path, StoreTree(m_libraryImages), nullptr)) {
      // The system's code of the failure: a missing folder is the common case.
      const int saved = errno;
      std::error_code folderError;
      const bool folderExists = std::filesystem::is_directory(std::filesystem::path(path).parent_path(), folderError);
      const int code = !folderExists ? ENOENT : saved ? saved : EACCES;
      ShowMessage(FormatText(kCreateFailedText, code), kImageLibraryCaption);
    }
    return;
  }

  // A file that is there but cannot be read is never overwritten here.
  std::vector<std::uint8_t> bytes;
  CCCImageDirectory loaded;
  CImageLoadReport report;
  if (!ReadWholeFile(path, bytes, nullptr) || !LoadTree(bytes, loaded, report)) {
    m_libraryUnread = true;
    ShowMessage(kOpenFailedText, kImageLibraryCaption);
    return;
  }
  m_libraryImages.TakeFrom(loaded);
  for (int i = 0; i < report.undecodedImages; ++i) ShowMessage(kImageLoadErrorText, kImageLibraryCaption);
}

std::string CSystem::GetImageLibraryBackupPath() const {
  const std::string path = GetImageLibraryFilename();
  std::string backup = path + ".bak";
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(backup, ec) && n < 1000; ++n) backup = path + ".bak" + std::to_string(n);
  return backup;
}

bool CSystem::SaveImageLibrary() {
  const std::string path = GetImageLibraryFilename();
  std::string error;
  bool written = true;
  std::error_code ec;
  if (m_libraryUnread && std::filesystem::exists(path, ec)) {
    const std::string backup = GetImageLibraryBackupPath();
    if (!std::filesystem::copy_file(path, backup, ec)) {
      error = "The unread file could not be kept as " + backup + "\n" + ec.message();
      written = false;
    }
  }
  if (written) written = WriteFileAtomically(path, StoreTree(m_libraryImages), &error);
  if (!written) {
    ShowMessage(std::string(kSaveFailedText) + "\n" + path + "\n" + error, kImageLibraryCaption);
    return false;
  }
  m_libraryUnread = false;
  return true;
}

bool CSystem::ChangeImageLibraryFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  CCCImageDirectory loaded;
  CImageLoadReport report;
  if (!ReadWholeFile(path, bytes, nullptr) || !LoadTree(bytes, loaded, report)) return false;
  m_libraryImages.TakeFrom(loaded);
  m_libraryUnread = false;
  SetImageLibraryFilename(path);
  for (int i = 0; i < report.undecodedImages; ++i) ShowMessage(kImageLoadErrorText, kImageLibraryCaption);
  return true;
}
