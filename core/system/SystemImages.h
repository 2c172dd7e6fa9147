// The system's pictures: the file's image tree and the image library (its own file, ".ovl"),
// with the notices of pictures that do not decode.
#pragma once

#include <string>
#include <vector>

#include "core/file/ImageTree.h"
#include "core/system/ImageStore.h"

class CSystem;

// UI thread. While the system has UI services it is the process's image decode notice (until
// another is, or it goes): pictures of its trees that fail to decode when drawn are gathered for
// TakePictureNotices, and the frame is told with FrameMsg::kImageNotDecoded when the first of
// them arrives.
class CSystemImages final : public IImageStore, private IImageDecodeNotice {
 public:
  explicit CSystemImages(CSystem& system) : m_system(system) {}
  ~CSystemImages() override;
  CSystemImages(const CSystemImages&) = delete;
  CSystemImages& operator=(const CSystemImages&) = delete;

  CCCImageDirectory& GetFileImages() override { return m_fileImages; }
  CCCImageDirectory& GetLibraryImages() override { return m_libraryImages; }
  // Marks the system's file modified.
  void SetModified(bool modified = true) override;
  // Deletes an image or a folder of the file's image tree; every widget gives its images up.
  void DeleteImage(CCCImageBase* node, bool deleteContents) override;

  // Reads the image library file named by the settings into the library tree; a missing file
  // is created with an empty library. A file that cannot be read is left alone and the
  // library stays empty; each failure is shown.
  void LoadImageLibrary();
  // Writes the library tree to the library file through a temporary file; false (shown with
  // the reason) when it cannot be written, and the old file stays. A library file that could
  // not be read is first copied beside itself (GetImageLibraryBackupPath), so that writing the
  // library over it loses nothing; no copy, no write.
  bool SaveImageLibrary() override;
  // True while the library file holds something other than the library: it was there but
  // could not be read at start-up.
  bool IsImageLibraryUnread() const { return m_libraryUnread; }
  // Where the next save keeps an unread library file: its name with ".bak" added, or with
  // ".bak2", ".bak3" ... when that name is taken.
  std::string GetImageLibraryBackupPath() const;
  // Reads the library file at path into a temporary tree; only when the whole file was read
  // does it replace the library and become the setting. False otherwise, with nothing changed
  // and nothing shown: refusal (when given) says why, for the settings page to tell the user.
  // Pictures of the new library that do not read are told of in one notice.
  bool ChangeImageLibraryFile(const std::string& path, std::string* refusal = nullptr);

  // What the pictures that did not decode since the last call make: one notice each for the
  // file's and the library's, the damaged and those without memory, with the count and the
  // first names; nothing is gathered afterwards until another picture fails.
  struct CPictureNotice {
    std::string caption;
    std::string text;
  };
  std::vector<CPictureNotice> TakePictureNotices();

 private:
  // The system installs the notice with its UI services (and forgets what was gathered for
  // others), and empties the trees with its contents.
  friend class CSystem;
  void ListenForUndecodedPictures(bool on);

  void OnPictureNotDecoded(const CCCImage& image, BitmapFault fault) override;

  CSystem& m_system;
  CCCImageDirectory m_fileImages;
  CCCImageDirectory m_libraryImages;
  bool m_libraryUnread = false;
  // The pictures that did not decode since the frame last took them: [in the library][for want
  // of memory].
  struct CUndecodedPictures {
    int count = 0;
    std::vector<std::string> firstNames;
  };
  CUndecodedPictures m_undecodedPictures[2][2];
};

// Reads the image library file at path into root (empty before), counting its pictures that do
// not read in report. False when the file cannot be read or is not a whole library, with why in
// the user's words in refusal (when given); root then holds what was read before the fault.
// UI thread.
bool ReadImageLibraryFile(const std::string& path, CCCImageDirectory& root, CImageLoadReport& report,
                          std::string* refusal);
