// The system's pictures: the image library file (".ovl", exactly one folder record, the library
// root's), the deletion of the file's images and the notices of pictures that do not decode.
#include "core/system/SystemImages.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "custom/CPData.h"
#include "core/support/SystemMessages.h"
#include "core/system/System.h"
#include "core/system/SystemFile.h"
#include "core/system/SystemSettings.h"
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

// The folder under root that holds node as a direct child, or null.
CCCImageDirectory* FindParentFolder(CCCImageDirectory& root, const CCCImageBase* node) {
  for (CCCImageBase* child : root.GetChildren()) {
    if (child == node) return &root;
    if (child->IsDirectory())
      if (CCCImageDirectory* found = FindParentFolder(*static_cast<CCCImageDirectory*>(child), node)) return found;
  }
  return nullptr;
}

}  // namespace

CSystemImages::~CSystemImages() {
  if (GetImageDecodeNotice() == this) SetImageDecodeNotice(nullptr);
}

void CSystemImages::SetModified(bool modified) { m_system.SetModified(modified); }

void CSystemImages::ListenForUndecodedPictures(bool on) {
  // Pictures gathered for other services are never told there.
  for (auto& kinds : m_undecodedPictures)
    for (CUndecodedPictures& pictures : kinds) pictures = CUndecodedPictures();
  if (on) SetImageDecodeNotice(this);
  else if (GetImageDecodeNotice() == this) SetImageDecodeNotice(nullptr);
}

void CSystemImages::DeleteImage(CCCImageBase* node, bool deleteContents) {
  if (!node) return;
  CCCImageDirectory* parent = FindParentFolder(m_fileImages, node);
  if (!parent) return;  // not a node of the file's tree
  if (node->IsDirectory()) {
    auto* folder = static_cast<CCCImageDirectory*>(node);
    while (!folder->GetChildren().empty()) DeleteImage(folder->GetChildren().front(), deleteContents);
  } else {
    for (CCPData* panel : m_system.GetCustomPanels()) panel->ReleaseImage(node);
    for (CCustomControlObject* widget : m_system.Panels().GetCopiedWidgets()) widget->ReleaseImage(node);
  }
  parent->RemoveChild(node, deleteContents);
}

namespace {
bool HoldsImage(const CCCImageDirectory& folder, const CCCImage& image) {
  for (const CCCImageBase* child : folder.GetChildren()) {
    if (child == &image) return true;
    if (child->IsDirectory() && HoldsImage(static_cast<const CCCImageDirectory&>(*child), image)) return true;
  }
  return false;
}
}  // namespace

void CSystemImages::OnPictureNotDecoded(const CCCImage& image, BitmapFault fault) {
  bool waiting = false;
  for (const auto& kinds : m_undecodedPictures)
    for (const CUndecodedPictures& pictures : kinds) waiting = waiting || pictures.count > 0;
  CUndecodedPictures& pictures =
      m_undecodedPictures[HoldsImage(m_libraryImages, image) ? 1 : 0][fault == BitmapFault::NoMemory ? 1 : 0];
  ++pictures.count;
  if (pictures.firstNames.size() < kNamedPictures) pictures.firstNames.push_back(image.m_name);
  // The picture is often being drawn: the frame shows the notice after the paint, not inside it,
  // and once for all the pictures that fail until then.
  if (!waiting) m_system.PostToFrame(FrameMsg::kImageNotDecoded);
}

std::vector<CSystemImages::CPictureNotice> CSystemImages::TakePictureNotices() {
  std::vector<CPictureNotice> notices;
  for (int library = 0; library < 2; ++library) {
    for (int noMemory = 0; noMemory < 2; ++noMemory) {
      CUndecodedPictures& pictures = m_undecodedPictures[library][noMemory];
      if (pictures.count == 0) continue;
      notices.push_back({library ? kImageLibraryCaption : kFileErrorCaption,
                         PicturesNotReadText(pictures.count, pictures.firstNames, library != 0,
                                             noMemory ? BitmapFault::NoMemory : BitmapFault::Damaged)});
      pictures = CUndecodedPictures();
    }
  }
  return notices;
}

void CSystemImages::LoadImageLibrary() {
  m_libraryImages.RemoveAll();
  m_libraryUnread = false;
  const std::string path = m_system.Settings().GetImageLibraryFilename();
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
      m_system.ShowMessage(FormatText(kCreateFailedText, code), kImageLibraryCaption);
    }
    return;
  }

  // A file that is there but cannot be read is never overwritten here.
  CCCImageDirectory loaded;
  CImageLoadReport report;
  if (!ReadImageLibraryFile(path, loaded, report, nullptr)) {
    m_libraryUnread = true;
    m_system.ShowMessage(kOpenFailedText, kImageLibraryCaption);
    return;
  }
  m_libraryImages.TakeFrom(loaded);
  if (report.undecodedImages)
    m_system.ShowMessage(PicturesNotReadText(report.undecodedImages, report.firstNames, true), kImageLibraryCaption);
}

std::string CSystemImages::GetImageLibraryBackupPath() const {
  const std::string path = m_system.Settings().GetImageLibraryFilename();
  std::string backup = path + ".bak";
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(backup, ec) && n < 1000; ++n) backup = path + ".bak" + std::to_string(n);
  return backup;
}

bool CSystemImages::SaveImageLibrary() {
  const std::string path = m_system.Settings().GetImageLibraryFilename();
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
    m_system.ShowMessage(std::string(kSaveFailedText) + "\n" + path + "\n" + error, kImageLibraryCaption);
    return false;
  }
  m_libraryUnread = false;
  return true;
}

bool CSystemImages::ChangeImageLibraryFile(const std::string& path, std::string* refusal) {
  CCCImageDirectory loaded;
  CImageLoadReport report;
  if (!ReadImageLibraryFile(path, loaded, report, refusal)) return false;
  m_libraryImages.TakeFrom(loaded);
  m_libraryUnread = false;
  m_system.Settings().SetImageLibraryFilename(path);
  if (report.undecodedImages)
    m_system.ShowMessage(PicturesNotReadText(report.undecodedImages, report.firstNames, true), kImageLibraryCaption);
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
