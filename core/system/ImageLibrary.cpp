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
  CCCImageDirectory loaded;
  CImageLoadReport report;
  if (!ReadImageLibraryFile(path, loaded, report, nullptr)) {
    m_libraryUnread = true;
    ShowMessage(kOpenFailedText, kImageLibraryCaption);
    return;
  }
  m_libraryImages.TakeFrom(loaded);
  if (report.undecodedImages)
    ShowMessage(PicturesNotReadText(report.undecodedImages, report.firstNames, true), kImageLibraryCaption);
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

bool CSystem::ChangeImageLibraryFile(const std::string& path, std::string* refusal) {
  CCCImageDirectory loaded;
  CImageLoadReport report;
  if (!ReadImageLibraryFile(path, loaded, report, refusal)) return false;
  m_libraryImages.TakeFrom(loaded);
  m_libraryUnread = false;
  SetImageLibraryFilename(path);
  if (report.undecodedImages)
    ShowMessage(PicturesNotReadText(report.undecodedImages, report.firstNames, true), kImageLibraryCaption);
  return true;
}

bool ReadImageLibraryFile(const std::string& path, CCCImageDirectory& root, CImageLoadReport& report,
                          std::string* refusal) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, &error)) {
    if (refusal) *refusal = "The file could not be read" + (error.empty() ? std::string(".") : ": " + error);
    return false;
  }
  try {
    CArchive ar(bytes);
    root.Serialize(ar, &report);
    return true;
  } catch (const CArchiveException& e) {
    if (refusal && e.GetCause() == CArchiveException::NewerVersion)
      *refusal = "The file is not an image library file, or one written by a later version of the program.";
    else if (refusal)
      *refusal = std::string("The file is not an image library file, or it is damaged (") + e.what() + ").";
    return false;
  } catch (const std::exception& e) {
    if (refusal) *refusal = std::string("The file could not be read: ") + e.what();
    return false;
  }
}
