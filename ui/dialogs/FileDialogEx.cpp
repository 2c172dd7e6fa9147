// Thumbnail view of the file dialog.
#include "ui/dialogs/FileDialogEx.h"

#include <QAbstractFileIconProvider>
#include <QFile>
#include <QImageReader>
#include <QListView>
#include <QMetaObject>
#include <QPixmap>
#include <optional>

#include "platform/Bitmap.h"

namespace {

class CThumbnailIconProvider : public QAbstractFileIconProvider {
 public:
  QIcon icon(const QFileInfo& info) const override {
    if (info.isFile()) {
      const QImage image = CFileDialogEx::Thumbnail(info.filePath());
      if (!image.isNull()) return QIcon(QPixmap::fromImage(image));
    }
    return QAbstractFileIconProvider::icon(info);
  }
};

}  // namespace

QImage CFileDialogEx::Thumbnail(const QString& path, NoThumbnail* why) {
  auto none = [why](NoThumbnail reason) {
    if (why) *why = reason;
    return QImage();
  };
  if (why) *why = NoThumbnail::None;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return none(NoThumbnail::Unreadable);
  const QByteArray head = file.read(16);
  const std::optional<BitmapFormat> format =
      DetectBitmapFormat(reinterpret_cast<const std::uint8_t*>(head.constData()), std::size_t(head.size()));
  if (!format) return none(NoThumbnail::NotAPicture);
  const QByteArray name = *format == BitmapFormat::Png ? "png" : *format == BitmapFormat::Jpeg ? "jpeg" : "bmp";
  QImageReader reader(&file, name);
  reader.setAutoDetectImageFormat(false);
  file.seek(0);
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) return none(NoThumbnail::Unreadable);
  const qint64 pixels = qint64(size.width()) * size.height();
  const qint64 most = *format == BitmapFormat::Jpeg ? kMaxBitmapPixels : kThumbnailPixels;
  if (size.width() > kMaxBitmapSide || size.height() > kMaxBitmapSide || pixels > most)
    return none(NoThumbnail::TooLarge);
  reader.setScaledSize(size.scaled(kThumbnailSize, kThumbnailSize, Qt::KeepAspectRatio));
  const QImage image = reader.read();
  return image.isNull() ? none(NoThumbnail::Unreadable) : image;
}

CFileDialogEx::CFileDialogEx(bool open, const QString& defaultExtension, const QString& fileName,
                             const QString& filter, QWidget* parent)
    : QFileDialog(parent), m_icons(std::make_unique<CThumbnailIconProvider>()) {
  // Our own dialog: the desktop's dialogs offer no thumbnail view to switch to.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  setDefaultSuffix(defaultExtension);
  setNameFilter(filter);
  if (!fileName.isEmpty()) selectFile(fileName);
  setIconProvider(m_icons.get());
  setViewMode(QFileDialog::List);
}

CFileDialogEx::~CFileDialogEx() = default;

void CFileDialogEx::showEvent(QShowEvent* event) {
  QFileDialog::showEvent(event);
  // Once the dialog has laid out its views.
  QMetaObject::invokeMethod(this, [this] { SwitchToThumbnails(); }, Qt::QueuedConnection);
}

void CFileDialogEx::SwitchToThumbnails() {
  auto* list = findChild<QListView*>(QStringLiteral("listView"));
  if (!list) return;
  list->setViewMode(QListView::IconMode);
  list->setIconSize(QSize(kThumbnailSize, kThumbnailSize));
  list->setGridSize(QSize(kThumbnailSize + 40, kThumbnailSize + 36));
  list->setWrapping(true);
  list->setResizeMode(QListView::Adjust);
}

bool CFileDialogEx::IsThumbnailView() const {
  auto* list = findChild<QListView*>(QStringLiteral("listView"));
  return list && list->viewMode() == QListView::IconMode;
}

QIcon CFileDialogEx::IconFor(const QString& path) const { return m_icons->icon(QFileInfo(path)); }
