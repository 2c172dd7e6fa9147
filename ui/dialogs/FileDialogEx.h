// An open-file dialog whose file list shows thumbnails of the image files, for choosing images.
#pragma once

#include <QFileDialog>
#include <memory>

class QAbstractFileIconProvider;

class CFileDialogEx : public QFileDialog {
 public:
  // Edge of a thumbnail, pixels.
  static constexpr int kThumbnailSize = 64;

  // open: an open dialog, else a save dialog; filter in Qt's form ("Images (*.png *.bmp)").
  CFileDialogEx(bool open, const QString& defaultExtension, const QString& fileName, const QString& filter,
                QWidget* parent = nullptr);
  ~CFileDialogEx() override;

  // True once the file list shows thumbnails (after the dialog was shown).
  bool IsThumbnailView() const;
  // The picture the list shows for a file: a thumbnail of an image, else the file's icon.
  QIcon IconFor(const QString& path) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SwitchToThumbnails();

  std::unique_ptr<QAbstractFileIconProvider> m_icons;
};
