// What the image library manager and the image selection dialog share: the preview of one
// picture, the tree that mirrors the file's images and the image library, and the texts that
// describe the selected image. UI thread.
#pragma once

#include <QLabel>
#include <QMessageBox>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/file/ImageTree.h"
#include "widgets/BitmapDialogEx.h"

class CCCImage;
class CCCImageBase;
class CCCImageDirectory;
class CImage;
class IImageStore;

// Shows one picture fitted into the control: a picture that fits keeps its size, a larger one
// is scaled down keeping its aspect ratio; both centred on white with a black outline.
// Without a picture, "No Image" on dark grey.
class CImagePreviewStatic : public QWidget {
 public:
  explicit CImagePreviewStatic(QWidget* parent = nullptr);
  ~CImagePreviewStatic() override;
  // The picture to show, held (its pixels shared) until the next; a null one shows "No Image".
  // Repaints at once.
  void SetBitmap(const CImage& bitmap);
  // The picture shown; null for none.
  const CImage* GetBitmap() const;
  // Where the picture lands inside the inner rectangle (left+1, top+1, width-2, height-2).
  static QRect PlacePicture(const QRect& inner, int width, int height);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<CImage> m_bitmap;  // never null; a null picture while none is shown
};

// A one-line text that is cut with "..." to the width its layout gives it, rather than
// widening its window; its tooltip then tells the whole text. text() is the whole text.
class CElidedLabel : public QLabel {
 public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;
  // The text as it is drawn now.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
};

// The tree of both image dialogs. A drop inside it goes to onDrop (dragged item, target) and
// never moves items by itself. The target is the item under the pointer; over empty space it
// is the last item the drag passed over, which stays highlighted there.
class CImageTreeWidget : public QTreeWidget {
 public:
  explicit CImageTreeWidget(QWidget* parent = nullptr);
  std::function<void(QTreeWidgetItem*, QTreeWidgetItem*)> onDrop;
  // The target of a drop at a point of the viewport; null when the drag has passed no item.
  QTreeWidgetItem* DropTargetAt(const QPoint& point) const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void ForgetPassedItem();

  QPersistentModelIndex m_passed;  // the last item under the pointer during this drag
  bool m_overEmptySpace = false;
};

// A modal message box standing over owner's window, centred on it once it has its size: its
// place is the program's, which a window manager keeps, rather than one the window manager
// chooses away from the window it belongs to. Returns the button pressed (QMessageBox's
// standard buttons; escape gives the default for a box of one button, else No).
int ExecBoxOver(QWidget& owner, QMessageBox::Icon icon, const QString& title, const QString& text,
                QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);

// Tree icons: 0 the two roots, 1 a folder, 2 an image.
QIcon ImageTreeIcon(int index);
// The node a tree item stands for.
CCCImageBase* NodeOfItem(const QTreeWidgetItem* item);
// The item for node (its whole subtree for a folder) at index under parent (last when -1).
QTreeWidgetItem* InsertImageItem(QTreeWidgetItem* parent, CCCImageBase* node, int index = -1);

// The texts of the "Image Properties" group for an image, or for none. A picture that gave no
// picture tells why in place of its size.
struct CImageInfoTexts {
  QString name, size, type;
};
CImageInfoTexts ImageInfoTexts(const CCCImage* image);

// The skinned dialog both image dialogs build on: the "Images" tree with its "File" and
// "Library" branches, the preview and the three information texts.
class CImageTreeDlgBase : public CBitmapDialogEx, private IImageDecodeNotice {
 public:
  CImageTreeDlgBase(IImageStore* images, QWidget* parent, int topMargin);

  CImageTreeWidget* Tree() const { return m_tree; }
  CImagePreviewStatic* Preview() const { return m_preview; }
  QLabel* NameText() const { return m_name; }
  QLabel* SizeText() const { return m_size; }
  QLabel* TypeText() const { return m_type; }
  QTreeWidgetItem* FileRootItem() const { return m_fileRoot; }
  QTreeWidgetItem* LibraryRootItem() const { return m_libraryRoot; }
  // The item of node in the tree, null when none shows it.
  QTreeWidgetItem* ItemOf(const CCCImageBase* node) const;

  // Empties the tree and shows both branches again, roots collapsed, nothing selected.
  void FillTree();
  // True when the item lies under the "File" root.
  bool IsInFileBranch(const QTreeWidgetItem* item) const;
  void ShowImageInfo(const CCCImage* image);
  // The preview and the texts follow the selected item; returns its image, null for none. The
  // first picture of the dialog's walk that gives no picture is told of in one notice over the
  // dialog, after the selection has been shown; the others only say why under the preview, so
  // that a walk through many such pictures is not stopped at each.
  CCCImage* ShowSelection();

 protected:
  // The dialog is kept within the available area of its screen: no wider or higher, and moved
  // inside it.
  void showEvent(QShowEvent* event) override;
  void KeepOnScreen();

  // The body's main layout, for the dialog's own buttons below the tree and the preview.
  class QVBoxLayout* Body() const { return m_body; }

  IImageStore* m_images;  // the system's images; not owned
  CImageTreeWidget* m_tree;
  bool m_filling = false;  // set while the tree is being rebuilt

 private:
  void OnPictureNotDecoded(const CCCImage& image, BitmapFault fault) override;

  bool m_pictureNoticeGiven = false;
  CImagePreviewStatic* m_preview;
  CElidedLabel* m_name;
  CElidedLabel* m_size;
  CElidedLabel* m_type;
  QTreeWidgetItem* m_fileRoot = nullptr;
  QTreeWidgetItem* m_libraryRoot = nullptr;
  class QVBoxLayout* m_body;
};
