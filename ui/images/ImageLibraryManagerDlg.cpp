// Image library manager.
#include "ui/images/ImageLibraryManagerDlg.h"

#include <QAction>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

#include "core/file/ImageTree.h"
#include "core/system/ImageStore.h"
#include "ui/dialogs/FileDialogEx.h"

namespace {

// The toolbar's 16 by 16 buttons: a tree icon with a green plus, a red cross, a question mark.
QIcon ToolIcon(int kind) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  auto plus = [&p] {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 140, 40));
    p.drawRect(QRectF(11, 8, 2, 8));
    p.drawRect(QRectF(8, 11, 8, 2));
  };
  switch (kind) {
    case 0:
    case 1:
      p.drawPixmap(0, 0, ImageTreeIcon(kind == 0 ? 2 : 1).pixmap(16, 15));
      plus();
      break;
    case 2:
      p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
      p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
      break;
    default: {
      p.setPen(QPen(QColor(30, 70, 160), 1));
      p.setBrush(QColor(60, 110, 210));
      p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
      QFont font = p.font();
      font.setBold(true);
      font.setPixelSize(12);
      p.setFont(font);
      p.setPen(Qt::white);
      p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
  }
  return QIcon(pixmap);
}

std::int32_t FormatOfExtension(const QString& path) {
  const int dot = path.lastIndexOf('.');
  const QString ext = dot < 0 ? QString() : path.mid(dot + 1);
  if (ext == QLatin1String("bmp") || ext == QLatin1String("BMP")) return kImageFormatBmp;
  if (ext == QLatin1String("png") || ext == QLatin1String("PNG")) return kImageFormatPng;
  if (ext == QLatin1String("jpg") || ext == QLatin1String("JPG")) return kImageFormatJpeg;
  return kImageFormatNone;
}

bool IsFolderItem(const QTreeWidgetItem* item) {
  const CCCImageBase* node = NodeOfItem(item);
  return node && node->IsDirectory();
}

CCCImageDirectory* FolderOfItem(const QTreeWidgetItem* item) {
  return static_cast<CCCImageDirectory*>(NodeOfItem(item));
}

int CountPictures(const CCCImageDirectory& folder) {
  int count = 0;
  for (const CCCImageBase* child : folder.GetChildren())
    count += child->IsDirectory() ? CountPictures(*static_cast<const CCCImageDirectory*>(child)) : 1;
  return count;
}

QString Quoted(const std::string& name) { return QString::fromStdString(QuotedPictureName(name)); }

}  // namespace

QString DeleteQuestion(const CCCImageBase& node, bool inLibrary) {
  const QString from = inLibrary ? QStringLiteral("the image library") : QStringLiteral("this file");
  QString question;
  if (node.IsDirectory()) {
    const int count = CountPictures(static_cast<const CCCImageDirectory&>(node));
    QString what = QStringLiteral("The %1 pictures in it go with it.").arg(QLocale(QLocale::English).toString(count));
    if (count == 0) what = QStringLiteral("It holds no pictures.");
    if (count == 1) what = QStringLiteral("The picture in it goes with it.");
    question = QStringLiteral("Delete the folder %1 from %2?\n%3").arg(Quoted(node.m_name), from, what);
  } else if (inLibrary) {
    question = QStringLiteral("Delete the picture %1 from %2?").arg(Quoted(node.m_name), from);
  } else {
    return QString();
  }
  if (inLibrary)
    question += QStringLiteral("\nEvery file on this computer shares the library: what is deleted cannot be "
                               "brought back.");
  else
    question += QStringLiteral("\nPanels that show its pictures lose them; closing the file without saving "
                               "brings them back.");
  return question;
}

CImageLibraryManagerDlg::CImageLibraryManagerDlg(IImageStore* images, QWidget* parent)
    : CImageTreeDlgBase(images, parent, 60) {
  m_toolBar = new QToolBar(this);
  m_toolBar->setIconSize(QSize(16, 16));
  m_addImage = m_toolBar->addAction(ToolIcon(0), QStringLiteral("Add Image"));
  m_addImage->setStatusTip(QStringLiteral("Add a new image to the file or Image Library"));
  m_addDirectory = m_toolBar->addAction(ToolIcon(1), QStringLiteral("Add Directory"));
  m_addDirectory->setStatusTip(QStringLiteral("Add a new directory to the file or Image Library"));
  m_toolBar->addSeparator();
  m_delete = m_toolBar->addAction(ToolIcon(2), QStringLiteral("Delete"));
  m_delete->setStatusTip(QStringLiteral("Delete the currently selected item"));
  m_toolBar->addSeparator();
  m_helpAction = m_toolBar->addAction(ToolIcon(3), QStringLiteral("Help"));
  m_helpAction->setStatusTip(QStringLiteral("Display help information for the Image Library Manager"));

  m_tree->setDragEnabled(true);
  m_tree->setAcceptDrops(true);
  m_tree->setDropIndicatorShown(true);
  m_tree->setDragDropMode(QAbstractItemView::DragDrop);
  m_tree->setDefaultDropAction(Qt::MoveAction);
  m_tree->onDrop = [this](QTreeWidgetItem* dragged, QTreeWidgetItem* target) { EndDrag(dragged, target); };

  // The help and the questions stand over the manager, as its warnings do.
  m_help = [this](const QString& text) {
    ExecBoxOver(*this, QMessageBox::Information, GetTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
  };
  m_ask = [this](const QString& text) {
    return ExecBoxOver(*this, QMessageBox::Warning, GetTitle(), text, QMessageBox::Yes | QMessageBox::No,
                       QMessageBox::No) == QMessageBox::Yes;
  };
  m_chooseFile = [this]() -> QString {
    CFileDialogEx dialog(true, QStringLiteral("*.bmp;*.png;*.jpg"), QStringLiteral("*.bmp;*.png;*.jpg"),
                         QStringLiteral("Image Files (*.bmp *.png *.jpg);;All Files (*)"), this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().front();
  };

  connect(m_addImage, &QAction::triggered, this, [this] { OnAddImage(); });
  connect(m_addDirectory, &QAction::triggered, this, [this] { OnAddDirectory(); });
  connect(m_delete, &QAction::triggered, this, [this] { OnDelete(); });
  connect(m_helpAction, &QAction::triggered, this, [this] { OnHelp(); });
  connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
    if (m_filling) return;
    OnSelChanged();
  });
  connect(m_tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
    if (!m_filling) OnEndLabelEdit(item);
  });
}

void CImageLibraryManagerDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    m_opened = true;
    FillTree();
    ShowImageInfo(nullptr);
    NameText()->setText(QStringLiteral("Name"));
    SizeText()->setText(QStringLiteral("Size"));
    TypeText()->setText(QStringLiteral("Type"));
    m_toolBar->setGeometry(5, 22, width() - 10, 25);
    OnUpdateDelete();
  }
  CImageTreeDlgBase::showEvent(event);
}

void CImageLibraryManagerDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    default: CImageTreeDlgBase::keyPressEvent(event);
  }
}

void CImageLibraryManagerDlg::accept() {
  if (m_libraryEdited) m_images->SaveImageLibrary();
  CImageTreeDlgBase::accept();
}

void CImageLibraryManagerDlg::reject() {
  if (m_libraryEdited) m_images->SaveImageLibrary();
  CImageTreeDlgBase::reject();
}

void CImageLibraryManagerDlg::NoteEdit(const QTreeWidgetItem* item) {
  if (!item) return;
  // The file's pictures and folders are part of the file: any edit of them is a change of it.
  if (IsInFileBranch(item)) {
    m_images->SetModified();
  } else {
    m_libraryEdited = true;
  }
}

void CImageLibraryManagerDlg::Warn(const char* text) {
  ShowWarning(QString::fromUtf8(text));
}

void CImageLibraryManagerDlg::OnSelChanged() {
  ShowSelection();
  OnUpdateDelete();
}

void CImageLibraryManagerDlg::OnUpdateDelete() {
  QTreeWidgetItem* item = m_tree->currentItem();
  m_delete->setEnabled(item && NodeOfItem(item) && item != FileRootItem() && item != LibraryRootItem());
}

QTreeWidgetItem* CImageLibraryManagerDlg::TargetFolderItem() const {
  QTreeWidgetItem* item = m_tree->currentItem();
  if (!item) return nullptr;
  return IsFolderItem(item) ? item : item->parent();
}

void CImageLibraryManagerDlg::OnAddImage() {
  const QString path = m_chooseFile ? m_chooseFile() : QString();
  if (path.isEmpty()) return;
  auto* image = new CCCImage;
  std::string refusal;
  if (!image->LoadFromFile(path.toStdString(), FormatOfExtension(path), &refusal)) {
    delete image;
    ShowWarning(
        QStringLiteral("%1\n\n%2\n%3")
            .arg(QString::fromUtf8(kImageLoadErrorText), QFileInfo(path).fileName(), QString::fromStdString(refusal)));
    return;
  }
  QTreeWidgetItem* target = TargetFolderItem();
  if (!target) {
    delete image;
    return;
  }
  FolderOfItem(target)->AddChild(image);
  NoteEdit(target);
  m_filling = true;
  QTreeWidgetItem* item = InsertImageItem(target, image);
  m_filling = false;
  target->setExpanded(true);
  m_tree->setCurrentItem(item);
}

void CImageLibraryManagerDlg::OnAddDirectory() {
  QTreeWidgetItem* target = TargetFolderItem();
  if (!target) return;
  auto* folder = new CCCImageDirectory("New Folder");
  FolderOfItem(target)->AddChild(folder);
  NoteEdit(target);
  m_filling = true;
  InsertImageItem(target, folder);
  m_filling = false;
  target->setExpanded(true);
}

void CImageLibraryManagerDlg::OnDelete() {
  QTreeWidgetItem* item = m_tree->currentItem();
  CCCImageBase* node = NodeOfItem(item);
  if (!item || !node || !item->parent()) return;
  const bool inFile = IsInFileBranch(item);
  const QString question = DeleteQuestion(*node, !inFile);
  if (!question.isEmpty() && !(m_ask && m_ask(question))) return;
  NoteEdit(item);
  CCCImageDirectory* folder = FolderOfItem(item->parent());
  m_filling = true;
  delete item;
  m_filling = false;
  if (inFile) {
    m_images->DeleteImage(node, true);
  } else {
    folder->RemoveChild(node, true);
  }
  OnSelChanged();
}

void CImageLibraryManagerDlg::OnHelp() {
  if (m_help) m_help(QString::fromUtf8(kImageLibraryHelpText));
}

void CImageLibraryManagerDlg::OnEndLabelEdit(QTreeWidgetItem* item) {
  CCCImageBase* node = NodeOfItem(item);
  if (!node || !item->parent()) return;
  const std::string name = item->text(0).toStdString();
  if (name != node->m_name) NoteEdit(item);
  node->m_name = name;
  if (!node->IsDirectory() && item == m_tree->currentItem()) ShowImageInfo(static_cast<CCCImage*>(node));
}

void CImageLibraryManagerDlg::PlaceNode(QTreeWidgetItem* dragged, QTreeWidgetItem* folderItem,
                                        QTreeWidgetItem* after, bool copy) {
  CCCImageBase* node = NodeOfItem(dragged);
  NoteEdit(folderItem);
  if (!copy) NoteEdit(dragged);
  m_filling = true;
  if (copy) {
    node = new CCCImage(*static_cast<CCCImage*>(node));
  } else {
    FolderOfItem(dragged->parent())->DetachChild(node);
    delete dragged;
  }
  // Right after the target image, counted once the dragged node has left its old place.
  const int index = after ? folderItem->indexOfChild(after) + 1 : -1;
  CCCImageDirectory* folder = FolderOfItem(folderItem);
  if (index < 0)
    folder->AddChild(node);
  else
    folder->InsertChild(std::size_t(index), node);
  QTreeWidgetItem* item = InsertImageItem(folderItem, node, index);
  m_filling = false;
  (after ? after : folderItem)->setExpanded(true);
  m_tree->setCurrentItem(item);
}

void CImageLibraryManagerDlg::EndDrag(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
  CCCImageBase* node = NodeOfItem(dragged);
  if (!node || !target || !dragged->parent()) return;
  const bool targetIsFolder = IsFolderItem(target);
  const bool crossing = IsInFileBranch(dragged) != IsInFileBranch(target);
  if (targetIsFolder && target == dragged->parent()) return;
  if (target == dragged) return;
  QTreeWidgetItem* folderItem = targetIsFolder ? target : target->parent();
  QTreeWidgetItem* after = targetIsFolder ? nullptr : target;
  if (node->IsDirectory()) {
    for (const QTreeWidgetItem* up = target; up; up = up->parent())
      if (up == dragged) return;  // into itself
    if (crossing) {
      Warn(kDirectoryCrossingText);
      return;
    }
    PlaceNode(dragged, folderItem, after, false);
    return;
  }
  if (crossing) {
    const bool toFile = IsInFileBranch(target);
    const CCCImageDirectory& branch = toFile ? m_images->GetFileImages() : m_images->GetLibraryImages();
    if (branch.ContainsImage(node->GetId())) {
      Warn(toFile ? kAlreadyInFileText : kAlreadyInLibraryText);
      return;
    }
  }
  PlaceNode(dragged, folderItem, after, crossing);
}
