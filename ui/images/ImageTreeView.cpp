// The image preview, the image tree and the dialog base of the two image dialogs.
#include "ui/images/ImageTreeView.h"

#include <QDropEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleOption>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/file/ImageTree.h"
#include "core/support/ScopeGuard.h"
#include "core/system/ImageStore.h"
#include "platform/Image.h"

namespace {
constexpr int kNodeRole = Qt::UserRole + 1;
}

// --- Preview ---

CImagePreviewStatic::CImagePreviewStatic(QWidget* parent) : QWidget(parent), m_bitmap(std::make_unique<CImage>()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

CImagePreviewStatic::~CImagePreviewStatic() = default;

void CImagePreviewStatic::SetBitmap(const CImage& bitmap) {
  *m_bitmap = bitmap;
  update();
}

const CImage* CImagePreviewStatic::GetBitmap() const { return m_bitmap->IsNull() ? nullptr : m_bitmap.get(); }

QRect CImagePreviewStatic::PlacePicture(const QRect& inner, int width, int height) {
  if (width <= 0 || height <= 0 || inner.width() <= 0 || inner.height() <= 0) return QRect();
  int w = width;
  int h = height;
  if (w > inner.width() || h > inner.height()) {
    const double rx = double(w) / inner.width();
    const double ry = double(h) / inner.height();
    if (rx >= ry) {
      w = inner.width();
      h = std::max(1, int(std::lround(height / rx)));
    } else {
      h = inner.height();
      w = std::max(1, int(std::lround(width / ry)));
    }
  }
  return QRect(inner.left() + (inner.width() - w) / 2, inner.top() + (inner.height() - h) / 2, w, h);
}

void CImagePreviewStatic::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter p(this);
  const QRect r = rect();
  const QRect inner(r.left() + 1, r.top() + 1, r.width() - 2, r.height() - 2);
  if (m_bitmap->IsNull()) {
    p.fillRect(r, palette().window());
    p.fillRect(inner, QColor(20, 20, 20));
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(18);
    p.setFont(font);
    p.setPen(QColor(220, 220, 220));
    p.drawText(inner, Qt::AlignCenter, QStringLiteral("No Image"));
    return;
  }
  p.fillRect(r, Qt::white);
  p.setPen(QPen(Qt::black, 1.0));
  p.drawRect(r.adjusted(0, 0, -1, -1));
  const QImage& picture = m_bitmap->Native();
  const QRect place = PlacePicture(inner, picture.width(), picture.height());
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(place, picture, picture.rect());
}

// --- Texts ---

QSize CElidedLabel::minimumSizeHint() const {
  QSize size = QLabel::minimumSizeHint();
  size.setWidth(std::min(size.width(), fontMetrics().horizontalAdvance(QStringLiteral("Name : ..."))));
  return size;
}

QSize CElidedLabel::sizeHint() const { return minimumSizeHint(); }

QString CElidedLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void CElidedLabel::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter p(this);
  style()->drawItemText(&p, contentsRect(), int(alignment()) | Qt::TextSingleLine, palette(), isEnabled(), ShownText(),
                        foregroundRole());
}

bool CElidedLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    // The whole text, only when it is cut.
    if (ShownText() != text())
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QLabel::event(event);
}

// --- Tree ---

CImageTreeWidget::CImageTreeWidget(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setIconSize(QSize(16, 15));
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

QTreeWidgetItem* CImageTreeWidget::DropTargetAt(const QPoint& point) const {
  if (QTreeWidgetItem* under = itemAt(point)) return under;
  return m_passed.isValid() ? itemFromIndex(m_passed) : nullptr;
}

void CImageTreeWidget::ForgetPassedItem() {
  if (m_overEmptySpace && m_passed.isValid()) viewport()->update(visualRect(m_passed));
  m_passed = QPersistentModelIndex();
  m_overEmptySpace = false;
}

void CImageTreeWidget::dragEnterEvent(QDragEnterEvent* event) {
  ForgetPassedItem();
  QTreeWidget::dragEnterEvent(event);
}

void CImageTreeWidget::dragMoveEvent(QDragMoveEvent* event) {
  QTreeWidget::dragMoveEvent(event);
  if (event->source() == this) event->acceptProposedAction();
  const QModelIndex under = indexAt(event->position().toPoint());
  const bool wasOverEmptySpace = m_overEmptySpace;
  m_overEmptySpace = !under.isValid();
  if (under.isValid()) m_passed = under;
  if (m_passed.isValid() && wasOverEmptySpace != m_overEmptySpace) viewport()->update(visualRect(m_passed));
}

void CImageTreeWidget::dragLeaveEvent(QDragLeaveEvent* event) {
  ForgetPassedItem();
  QTreeWidget::dragLeaveEvent(event);
}

void CImageTreeWidget::dropEvent(QDropEvent* event) {
  QTreeWidgetItem* target = DropTargetAt(event->position().toPoint());
  ForgetPassedItem();
  if (event->source() != this) {
    event->ignore();
    return;
  }
  QTreeWidgetItem* dragged = currentItem();
  // The drop is ours: nothing is removed at the drag's source afterwards.
  event->setDropAction(Qt::IgnoreAction);
  event->accept();
  if (dragged && target && onDrop) onDrop(dragged, target);
}

void CImageTreeWidget::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  if (!m_overEmptySpace || !m_passed.isValid()) return;
  // Over empty space the item the drop will go to keeps the highlight the view gives an item
  // under the pointer.
  QPainter painter(viewport());
  QStyleOption option;
  option.initFrom(this);
  option.rect = visualRect(m_passed);
  style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemDrop, &option, &painter, this);
}

QIcon ImageTreeIcon(int index) {
  QPixmap pixmap(16, 15);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (index) {
    case 0:  // a root: a small cabinet of drawers
      p.setPen(QColor(60, 60, 90));
      p.setBrush(QColor(120, 140, 200));
      p.drawRoundedRect(QRectF(1.5, 1.5, 13, 12), 1.5, 1.5);
      p.setPen(QColor(240, 240, 250));
      p.drawLine(QPointF(3, 5.5), QPointF(13, 5.5));
      p.drawLine(QPointF(3, 9.5), QPointF(13, 9.5));
      break;
    case 1: {  // a folder
      QPainterPath path;
      path.moveTo(1.5, 3.5);
      path.lineTo(6, 3.5);
      path.lineTo(7.5, 5);
      path.lineTo(14.5, 5);
      path.lineTo(14.5, 13.5);
      path.lineTo(1.5, 13.5);
      path.closeSubpath();
      p.setPen(QColor(150, 110, 20));
      p.setBrush(QColor(240, 200, 80));
      p.drawPath(path);
      break;
    }
    default: {  // a picture: a framed landscape
      p.setPen(QColor(70, 70, 70));
      p.setBrush(QColor(170, 215, 245));
      p.drawRect(QRectF(1.5, 2.5, 13, 10));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(60, 150, 60));
      QPolygonF hills{{2, 12}, {6, 7}, {9, 10}, {11, 8}, {14, 12}};
      p.drawPolygon(hills);
      p.setBrush(QColor(250, 210, 40));
      p.drawEllipse(QPointF(11, 5.5), 1.5, 1.5);
      break;
    }
  }
  return QIcon(pixmap);
}

CCCImageBase* NodeOfItem(const QTreeWidgetItem* item) {
  return item ? static_cast<CCCImageBase*>(item->data(0, kNodeRole).value<void*>()) : nullptr;
}

QTreeWidgetItem* InsertImageItem(QTreeWidgetItem* parent, CCCImageBase* node, int index) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, QString::fromStdString(node->m_name));
  item->setIcon(0, ImageTreeIcon(node->IsDirectory() ? 1 : 2));
  item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(node)));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                 Qt::ItemIsDropEnabled);
  if (index < 0 || index > parent->childCount()) index = parent->childCount();
  parent->insertChild(index, item);
  if (node->IsDirectory())
    for (CCCImageBase* child : static_cast<CCCImageDirectory*>(node)->GetChildren()) InsertImageItem(item, child);
  return item;
}

CImageInfoTexts ImageInfoTexts(const CCCImage* image) {
  if (!image) return {QStringLiteral("Name : "), QStringLiteral("Size : "), QStringLiteral("Type :")};
  CImageInfoTexts texts;
  texts.name = QStringLiteral("Name : ") + QString::fromStdString(image->m_name);
  // A picture that did not decode has no size to tell.
  if (image->HasBitmap()) {
    texts.size = QStringLiteral("Size : %1W x %2H").arg(image->GetPixelWidth()).arg(image->GetPixelHeight());
  } else {
    texts.size = QStringLiteral("Size : ") + QString::fromStdString(PictureRefusalText(image->GetFault(), 0, 0));
  }
  static const char* const kTypes[] = {"", "BMP", "JPG", "PNG"};
  const int format = image->m_format >= 0 && image->m_format <= 3 ? image->m_format : 0;
  texts.type = QStringLiteral("Type : ") + QString::fromLatin1(kTypes[format]);
  return texts;
}

// --- Boxes over the dialogs ---

namespace {

// Takes its place when it is shown, after the box has laid itself out and before its window
// appears.
class CBoxOver : public QMessageBox {
 public:
  CBoxOver(QWidget& owner, Icon icon, const QString& title, const QString& text, StandardButtons buttons)
      : QMessageBox(icon, title, text, buttons, &owner), m_owner(owner) {}

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    const QWidget& window = *m_owner.window();
    QRect place(QPoint(), frameGeometry().size());
    place.moveCenter(window.frameGeometry().center());
    if (const QScreen* shown = window.screen()) {
      // Wholly on the screen that shows the window, when it fits.
      const QRect area = shown->availableGeometry();
      place.moveLeft(std::clamp(place.left(), area.left(), std::max(area.left(), area.right() + 1 - place.width())));
      place.moveTop(std::clamp(place.top(), area.top(), std::max(area.top(), area.bottom() + 1 - place.height())));
    }
    move(place.topLeft());
  }

 private:
  QWidget& m_owner;
};

}  // namespace

int ExecBoxOver(QWidget& owner, QMessageBox::Icon icon, const QString& title, const QString& text,
                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton) {
  CBoxOver box(owner, icon, title, text, buttons);
  box.setDefaultButton(defaultButton);
  return box.exec();
}

// --- Dialog base ---

CImageTreeDlgBase::CImageTreeDlgBase(IImageStore* images, QWidget* parent, int topMargin)
    : CBitmapDialogEx(parent), m_images(images) {
  m_tree = new CImageTreeWidget(this);
  m_tree->setMinimumSize(245, 300);
  m_preview = new CImagePreviewStatic(this);
  m_preview->setMinimumSize(316, 184);
  m_name = new CElidedLabel(QStringLiteral("Name"), this);
  m_size = new CElidedLabel(QStringLiteral("Size"), this);
  m_type = new CElidedLabel(QStringLiteral("Type"), this);

  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  left->addWidget(new QLabel(QStringLiteral("Images"), this));
  left->addWidget(m_tree, 1);

  auto* group = new QGroupBox(QStringLiteral("Image Properties"), this);
  auto* info = new QVBoxLayout(group);
  info->setContentsMargins(10, 8, 10, 8);
  info->setSpacing(6);
  info->addWidget(m_name);
  info->addWidget(m_size);
  info->addWidget(m_type);

  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  right->addWidget(new QLabel(QStringLiteral("Preview"), this));
  right->addWidget(m_preview, 1);
  right->addSpacing(6);
  right->addWidget(group);

  auto* columns = new QHBoxLayout;
  columns->setSpacing(20);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  m_body = new QVBoxLayout(this);
  m_body->setContentsMargins(22, topMargin, 22, 14);
  m_body->setSpacing(10);
  m_body->addLayout(columns, 1);

  // The dialog's warnings stand over it.
  SetMessageHandler([this](const QString& text) {
    ExecBoxOver(*this, QMessageBox::Warning, GetTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
  });
}

QTreeWidgetItem* CImageTreeDlgBase::ItemOf(const CCCImageBase* node) const {
  for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
    if (NodeOfItem(*it) == node) return *it;
  return nullptr;
}

void CImageTreeDlgBase::FillTree() {
  m_filling = true;
  m_tree->clear();
  auto makeRoot = [this](const QString& text, CCCImageDirectory& folder) {
    auto* root = new QTreeWidgetItem(m_tree);
    root->setText(0, text);
    root->setIcon(0, ImageTreeIcon(0));
    root->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(&folder)));
    root->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled);
    for (CCCImageBase* child : folder.GetChildren()) InsertImageItem(root, child);
    return root;
  };
  m_fileRoot = makeRoot(QStringLiteral("File"), m_images->GetFileImages());
  m_libraryRoot = makeRoot(QStringLiteral("Library"), m_images->GetLibraryImages());
  m_tree->setCurrentItem(nullptr);
  m_tree->clearSelection();
  m_filling = false;
}

bool CImageTreeDlgBase::IsInFileBranch(const QTreeWidgetItem* item) const {
  while (item && item->parent()) item = item->parent();
  return item && item == m_fileRoot;
}

void CImageTreeDlgBase::ShowImageInfo(const CCCImage* image) {
  const CImageInfoTexts texts = ImageInfoTexts(image);
  m_name->setText(texts.name);
  m_size->setText(texts.size);
  m_type->setText(texts.type);
}

CCCImage* CImageTreeDlgBase::ShowSelection() {
  CCCImageBase* node = NodeOfItem(m_tree->currentItem());
  CCCImage* image = node && !node->IsDirectory() ? static_cast<CCCImage*>(node) : nullptr;
  // The picture shown before is let go first, so that the budget of decoded pictures may give
  // its memory to the next.
  m_preview->SetBitmap(CImage());
  {
    // This dialog hears of the selected picture that gives none, not the system's notice.
    IImageDecodeNotice* const before = GetImageDecodeNotice();
    SetImageDecodeNotice(this);
    CScopeGuard restore([before] { SetImageDecodeNotice(before); });
    m_preview->SetBitmap(image ? image->GetBitmap() : CImage());
  }
  ShowImageInfo(image);
  m_preview->repaint();
  return image;
}

void CImageTreeDlgBase::OnPictureNotDecoded(const CCCImage& image, BitmapFault fault) {
  if (m_pictureNoticeGiven) return;
  m_pictureNoticeGiven = true;
  const bool inLibrary = !IsInFileBranch(ItemOf(&image));
  const QString text =
      QString::fromStdString(PicturesNotReadText(1, {image.m_name}, inLibrary, fault)) +
      QStringLiteral("\nWhile this window is open, other pictures that cannot be shown say so under the preview.");
  // Not inside the selection's handler: once the selection is shown.
  QTimer::singleShot(0, this, [this, text] { ShowWarning(text); });
}

void CImageTreeDlgBase::showEvent(QShowEvent* event) {
  CBitmapDialogEx::showEvent(event);
  KeepOnScreen();
}

void CImageTreeDlgBase::KeepOnScreen() {
  const QScreen* shown = screen();
  if (!shown) return;
  const QRect area = shown->availableGeometry();
  setMaximumSize(area.size());
  if (width() > area.width() || height() > area.height()) resize(size().boundedTo(area.size()));
  QPoint at = pos();
  at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - width())));
  at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - height())));
  if (at != pos()) move(at);
}
