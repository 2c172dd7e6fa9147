// What the image dialogs need of the system: the file's image tree and the image library, the
// modified flag, saving the library and deleting an image with every reference to it. The
// system implements it. UI thread.
#pragma once

class CCCImageBase;
class CCCImageDirectory;

class IImageStore {
 public:
  virtual CCCImageDirectory& GetFileImages() = 0;
  virtual CCCImageDirectory& GetLibraryImages() = 0;
  virtual void SetModified(bool modified = true) = 0;
  // False (shown with the reason) when the library file cannot be written.
  virtual bool SaveImageLibrary() = 0;
  // Deletes an image or a folder of the file's image tree; every widget gives its images up.
  virtual void DeleteImage(CCCImageBase* node, bool deleteContents) = 0;

 protected:
  ~IImageStore() = default;
};
