// An open-file dialog whose file list shows thumbnails of the image files, for choosing images.
#pragma once

#include <QFileDialog>
#include <memory>

class QAbstractFileIconProvider;

class CFileDialogEx : public QFileDialog {
 public:
  // Edge of a thumbnail, pixels.
  static constexpr int kThumbnailSize = 64;
  // The most pixels a BMP or PNG picture may have to be read for its thumbnail: each is read
  // whole on the window thread while the list fills. A JPEG is read at an eighth of its size.
  static constexpr qint64 kThumbnailPixels = qint64(2048) * 2048;

  // Why a file shows no thumbnail.
  enum class NoThumbnail { None, NotAPicture, TooLarge, Unreadable };
  // The thumbnail of a picture file: only a BMP, JPEG or PNG by its own signature is read, by the
  // decoder of that format alone, and only when its header gives a size within the limits (the
  // program's for pictures, and kThumbnailPixels), told before any pixel is read. A null image
  // otherwise, with why (when given).
  static QImage Thumbnail(const QString& path, NoThumbnail* why = nullptr);

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
