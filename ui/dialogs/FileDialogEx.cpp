// Thumbnail view of the file dialog.
#include "ui/dialogs/FileDialogEx.h"

#include <QAbstractFileIconProvider>
#include <QImageReader>
#include <QListView>
#include <QMetaObject>
#include <QPixmap>

namespace {

class CThumbnailIconProvider : public QAbstractFileIconProvider {
 public:
  QIcon icon(const QFileInfo& info) const override {
    if (info.isFile() && !QImageReader::imageFormat(info.filePath()).isEmpty()) {
      QImageReader reader(info.filePath());
      const QSize size = reader.size();
      if (size.isValid()) reader.setScaledSize(size.scaled(CFileDialogEx::kThumbnailSize, CFileDialogEx::kThumbnailSize,
                                                           Qt::KeepAspectRatio));
      const QImage image = reader.read();
      if (!image.isNull()) return QIcon(QPixmap::fromImage(image));
    }
    return QAbstractFileIconProvider::icon(info);
  }
};

}  // namespace

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
