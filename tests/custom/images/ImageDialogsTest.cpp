// The image selection dialog, its preview and the image library manager, driven offscreen
// through their widgets against a system whose panels use the file's images.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>

#include "custom/CPData.h"
#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "custom/BitmapControl.h"
#include "ui/images/ImageLibraryManagerDlg.h"
#include "ui/images/ImageSelectDlg.h"
#include "platform/Archive.h"
#include "platform/Bitmap.h"
#include "platform/Image.h"
#include "core/support/SystemMessages.h"
#include "tests/support/ClaimingPicture.h"
#include "tests/support/DamagedPicture.h"
#include "tests/support/RecordingUi.h"
#include "tests/support/WindowInput.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

int Finish(CBitmapDialogEx& dialog) {
  for (int i = 0; i < 100 && dialog.isVisible(); ++i) dialog.FadeStep();
  return dialog.isVisible() ? 0 : dialog.result();
}

CCCImage* MakeImage(const char* name, int width = 4, int height = 3) {
  auto* image = new CCCImage;
  image->m_name = name;
  image->m_format = kImageFormatPng;
  image->SetBitmap(CImage(width, height));
  return image;
}

QStringList Children(const QTreeWidgetItem* item) {
  QStringList names;
  for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
  return names;
}

std::vector<std::string> Names(const CCCImageDirectory& folder) {
  std::vector<std::string> names;
  for (const CCCImageBase* child : folder.GetChildren()) names.push_back(child->m_name);
  return names;
}

// A file with images "logo" (top level) and "knob" (in folder "Parts"), and a library with
// "badge" and folder "Icons" holding "star"; a panel uses "logo" as its background and in a
// bitmap widget.
class ImageDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    system.Settings().SetImageLibraryFilename(m_dir.filePath("ImageLib.ovl").toStdString());
    logo = MakeImage("logo");
    parts = new CCCImageDirectory("Parts");
    knob = MakeImage("knob");
    parts->AddChild(knob);
    system.Images().GetFileImages().AddChild(logo);
    system.Images().GetFileImages().AddChild(parts);
    badge = MakeImage("badge", 300, 100);
    icons = new CCCImageDirectory("Icons");
    star = MakeImage("star");
    icons->AddChild(star);
    system.Images().GetLibraryImages().AddChild(badge);
    system.Images().GetLibraryImages().AddChild(icons);
    panel = new CCPData(&system);
    panel->m_pBackgroundImage = logo;
    widget = new CCCBitmap;
    widget->m_pImage = logo;
    panel->m_widgets.push_back(widget);
    system.Panels().AppendCustomPanel(panel);
    system.SetModified(false);
  }
  std::string WritePicture(const char* name, int width, int height) {
    const QString path = m_dir.filePath(name);
    CImage(width, height).Native().save(path, "PNG");
    return path.toStdString();
  }

  QTemporaryDir m_dir;
  CSystem system;
  CCCImage* logo = nullptr;
  CCCImageDirectory* parts = nullptr;
  CCCImage* knob = nullptr;
  CCCImage* badge = nullptr;
  CCCImageDirectory* icons = nullptr;
  CCCImage* star = nullptr;
  CCPData* panel = nullptr;
  CCCBitmap* widget = nullptr;
};

// --- Preview ---

struct PlaceCase {
  int width, height;
  QRect expected;
};
class PreviewPlacement : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PreviewPlacement, FitsKeepsItsSizeLargerScalesDownByTheLargerRatioCentred) {
  const QRect inner(1, 1, 200, 100);
  EXPECT_EQ(CImagePreviewStatic::PlacePicture(inner, GetParam().width, GetParam().height), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Sizes, PreviewPlacement,
                         ::testing::Values(PlaceCase{50, 20, QRect(76, 41, 50, 20)},     // smaller: own size
                                           PlaceCase{400, 50, QRect(1, 38, 200, 25)},    // too wide only
                                           PlaceCase{100, 300, QRect(84, 1, 33, 100)},   // too high only
                                           PlaceCase{800, 200, QRect(1, 26, 200, 50)},   // both, width decides
                                           PlaceCase{200, 100, QRect(1, 1, 200, 100)}));  // exactly fits

TEST_F(ImageDialogs, PreviewDrawsNoImageOnDarkGreyAndAPictureOnWhiteWithABlackOutline) {
  CImagePreviewStatic preview;
  preview.resize(120, 80);
  QImage shot = preview.grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(20, 20, 20));
  bool light = false;
  for (int x = 0; x < 120 && !light; ++x)
    for (int y = 30; y < 50 && !light; ++y) light = qGray(shot.pixel(x, y)) > 150;
  EXPECT_TRUE(light) << "the \"No Image\" text";

  CImage red(10, 10);
  red.Fill(CColour::FromArgb(255, 255, 0, 0));
  preview.SetBitmap(red);
  shot = preview.grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(0, 0)), QColor(Qt::black));
  EXPECT_EQ(QColor(shot.pixel(119, 79)), QColor(Qt::black));
  EXPECT_EQ(QColor(shot.pixel(5, 5)), QColor(Qt::white));
  EXPECT_EQ(QColor(shot.pixel(60, 40)), QColor(255, 0, 0));
}

// --- Image selection ---

TEST_F(ImageDialogs, SelectionShowsBothBranchesCollapsedAndFollowsTheSelection) {
  CImageSelectDlg dialog(&system.Images());
  dialog.show();
  QTreeWidget* tree = dialog.Tree();
  ASSERT_EQ(tree->topLevelItemCount(), 2);
  EXPECT_EQ(tree->topLevelItem(0)->text(0), "File");
  EXPECT_EQ(tree->topLevelItem(1)->text(0), "Library");
  EXPECT_FALSE(tree->topLevelItem(0)->isExpanded());
  EXPECT_EQ(Children(dialog.FileRootItem()), QStringList({"logo", "Parts"}));
  EXPECT_EQ(Children(dialog.LibraryRootItem()->child(1)), QStringList({"star"}));
  EXPECT_EQ(tree->currentItem(), nullptr);
  EXPECT_TRUE(dialog.UseButton()->isEnabled());

  tree->setCurrentItem(dialog.ItemOf(badge));
  EXPECT_EQ(dialog.m_pSelectedImage, badge);
  EXPECT_EQ(dialog.NameText()->text(), "Name : badge");
  EXPECT_EQ(dialog.SizeText()->text(), "Size : 300W x 100H");
  EXPECT_EQ(dialog.TypeText()->text(), "Type : PNG");
  ASSERT_NE(dialog.Preview()->GetBitmap(), nullptr);
  EXPECT_EQ(dialog.Preview()->GetBitmap()->Native().cacheKey(), badge->GetBitmap().Native().cacheKey());
  tree->setCurrentItem(dialog.ItemOf(icons));
  EXPECT_EQ(dialog.m_pSelectedImage, nullptr);
  EXPECT_FALSE(dialog.UseButton()->isEnabled());
  EXPECT_EQ(dialog.NameText()->text(), "Name : ");
  EXPECT_EQ(dialog.SizeText()->text(), "Size : ");
  EXPECT_EQ(dialog.TypeText()->text(), "Type :");
  EXPECT_EQ(dialog.Preview()->GetBitmap(), nullptr);
  tree->setCurrentItem(dialog.ItemOf(knob));
  EXPECT_TRUE(dialog.UseButton()->isEnabled());
}

// The skin's light window-text colour stays out of the white tree: the expand marks left of
// the roots are drawn dark.
TEST_F(ImageDialogs, TreeBranchMarksAreDarkOnTheWhiteGround) {
  CImageSelectDlg dialog(&system.Images());
  dialog.resize(625, 398);
  dialog.show();
  QTreeWidget* tree = dialog.Tree();
  const QRect row = tree->visualItemRect(dialog.FileRootItem());
  ASSERT_GT(row.left(), 8);
  const QImage shot = tree->viewport()->grab().toImage();
  int darkest = 255;
  for (int y = row.top(); y <= row.bottom(); ++y)
    for (int x = 0; x < row.left(); ++x) darkest = std::min(darkest, qGray(shot.pixel(x, y)));
  EXPECT_LT(darkest, 140);
}

TEST_F(ImageDialogs, ChoosingALibraryImageCopiesItIntoTheFileOnceWithItsId) {
  CImageSelectDlg first(&system.Images());
  first.show();
  first.Tree()->setCurrentItem(first.ItemOf(badge));
  first.UseButton()->click();
  EXPECT_EQ(Finish(first), QDialog::Accepted);
  ASSERT_NE(first.m_pSelectedImage, nullptr);
  EXPECT_NE(first.m_pSelectedImage, badge);
  EXPECT_EQ(first.m_pSelectedImage->GetId(), badge->GetId());
  EXPECT_EQ(first.m_pSelectedImage->m_name, "badge");
  EXPECT_EQ(first.m_pSelectedImage->GetPixelWidth(), 300);
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().back(), first.m_pSelectedImage);
  EXPECT_TRUE(system.IsModified());

  system.SetModified(false);
  CImageSelectDlg again(&system.Images());
  again.show();
  again.Tree()->setCurrentItem(again.ItemOf(badge));
  again.OnDblClk();  // a double click on an image chooses it
  EXPECT_EQ(Finish(again), QDialog::Accepted);
  EXPECT_EQ(again.m_pSelectedImage, first.m_pSelectedImage);
  EXPECT_EQ(Names(system.Images().GetFileImages()), (std::vector<std::string>{"logo", "Parts", "badge"}));
  EXPECT_FALSE(system.IsModified());
}

TEST_F(ImageDialogs, ALibraryImageWhoseIdTheFileHoldsInAFolderIsNotCopied) {
  parts->AddChild(new CCCImage(*star));
  CCCImage* own = static_cast<CCCImage*>(parts->GetChildren().back());
  CImageSelectDlg dialog(&system.Images());
  dialog.show();
  dialog.Tree()->setCurrentItem(dialog.ItemOf(star));
  dialog.UseButton()->click();
  EXPECT_EQ(Finish(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.m_pSelectedImage, own);
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().size(), 2u);
  EXPECT_FALSE(system.IsModified());
}

TEST_F(ImageDialogs, UseWithoutASelectionAndRemoveEndWithNoImageCancelWithCancel) {
  CImageSelectDlg use(&system.Images());
  use.show();
  use.UseButton()->click();
  EXPECT_EQ(Finish(use), QDialog::Accepted);
  EXPECT_EQ(use.m_pSelectedImage, nullptr);

  CImageSelectDlg remove(&system.Images());
  remove.show();
  remove.Tree()->setCurrentItem(remove.ItemOf(logo));
  remove.RemoveButton()->click();
  EXPECT_EQ(Finish(remove), QDialog::Accepted);
  EXPECT_EQ(remove.m_pSelectedImage, nullptr);

  CImageSelectDlg cancel(&system.Images());
  cancel.show();
  cancel.Tree()->setCurrentItem(cancel.ItemOf(badge));
  cancel.CancelButton()->click();
  EXPECT_EQ(Finish(cancel), QDialog::Rejected);
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().size(), 2u);
  EXPECT_FALSE(system.IsModified());
}

// --- Image library manager ---

class ImageManager : public ImageDialogs {
 protected:
  void SetUp() override {
    ImageDialogs::SetUp();
    dialog = std::make_unique<CImageLibraryManagerDlg>(&system.Images());
    dialog->SetMessageHandler([this](const QString& text) { messages.push_back(text); });
    dialog->SetHelpHandler([this](const QString& text) { messages.push_back(text); });
    dialog->SetQuestionHandler([this](const QString& text) {
      questions.push_back(text);
      return answer;
    });
    dialog->SetFileChooser([this] { return QString::fromStdString(chosen); });
    dialog->show();
  }
  void Select(const CCCImageBase* node) { dialog->Tree()->setCurrentItem(dialog->ItemOf(node)); }
  void Drag(const CCCImageBase* node, QTreeWidgetItem* target) { dialog->EndDrag(dialog->ItemOf(node), target); }
  QTreeWidgetItem* Item(const CCCImageBase* node) const { return dialog->ItemOf(node); }

  std::unique_ptr<CImageLibraryManagerDlg> dialog;
  std::vector<QString> messages;
  std::vector<QString> questions;
  bool answer = true;  // to the question before a delete
  std::string chosen;
};

TEST_F(ImageManager, OpensWithPlaceholderTextsAndDeleteEnabledOnlyForNodes) {
  EXPECT_EQ(dialog->NameText()->text(), "Name");
  EXPECT_EQ(dialog->SizeText()->text(), "Size");
  EXPECT_EQ(dialog->TypeText()->text(), "Type");
  EXPECT_FALSE(dialog->DeleteAction()->isEnabled());
  Select(&system.Images().GetFileImages());
  EXPECT_FALSE(dialog->DeleteAction()->isEnabled());
  Select(parts);
  EXPECT_TRUE(dialog->DeleteAction()->isEnabled());
  EXPECT_EQ(dialog->NameText()->text(), "Name : ");
  dialog->HelpAction()->trigger();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].startsWith("Image Library Help\n\nYou can add BMP, JPG or PNG files.\n"));
}

TEST_F(ImageManager, AddImageGoesToTheSelectedFolderOrTheSelectedImagesFolder) {
  chosen = WritePicture("wave.png", 8, 6);
  Select(&system.Images().GetLibraryImages());
  dialog->AddImageAction()->trigger();
  const auto& library = system.Images().GetLibraryImages().GetChildren();
  ASSERT_EQ(library.size(), 3u);
  EXPECT_EQ(library.back()->m_name, "wave");
  EXPECT_FALSE(system.IsModified()) << "a library edit leaves the file alone";
  EXPECT_EQ(dialog->Tree()->currentItem(), Item(library.back()));
  EXPECT_TRUE(dialog->LibraryRootItem()->isExpanded());
  EXPECT_EQ(dialog->SizeText()->text(), "Size : 8W x 6H");
  EXPECT_EQ(dialog->TypeText()->text(), "Type : PNG");

  Select(knob);
  dialog->AddImageAction()->trigger();
  EXPECT_EQ(Names(*parts), (std::vector<std::string>{"knob", "wave"}));
  EXPECT_EQ(Children(Item(parts)), QStringList({"knob", "wave"}));
  EXPECT_TRUE(system.IsModified());
}

TEST_F(ImageManager, AnyOtherExtensionGivesFormatNoneAndAPictureThatFailsAddsNothing) {
  chosen = WritePicture("photo.jpeg", 5, 5);
  Select(&system.Images().GetFileImages());
  dialog->AddImageAction()->trigger();
  auto* added = static_cast<CCCImage*>(system.Images().GetFileImages().GetChildren().back());
  EXPECT_EQ(added->m_name, "photo.");
  EXPECT_EQ(added->m_format, kImageFormatNone);
  EXPECT_EQ(dialog->TypeText()->text(), "Type : ");

  QFile broken(m_dir.filePath("broken.png"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("not a picture");
  broken.close();
  chosen = broken.fileName().toStdString();
  dialog->AddImageAction()->trigger();
  EXPECT_EQ(messages,
            std::vector<QString>{"Error loading image\n\nbroken.png\nThe file is not a BMP, JPEG or PNG picture."});
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().size(), 3u);

  chosen.clear();  // cancelled
  dialog->AddImageAction()->trigger();
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().size(), 3u);
}

// A folder added to the file's pictures is a change of the file.
TEST_F(ImageManager, AddDirectoryAppendsNewFolderUnselectedAndMarksTheFile) {
  Select(logo);
  dialog->AddDirectoryAction()->trigger();
  EXPECT_EQ(Names(system.Images().GetFileImages()), (std::vector<std::string>{"logo", "Parts", "New Folder"}));
  EXPECT_EQ(Children(dialog->FileRootItem()), QStringList({"logo", "Parts", "New Folder"}));
  EXPECT_EQ(dialog->Tree()->currentItem(), Item(logo));
  EXPECT_TRUE(system.IsModified());
  system.SetModified(false);
  Select(star);
  dialog->AddDirectoryAction()->trigger();  // in the library
  EXPECT_FALSE(system.IsModified());
}

TEST_F(ImageManager, DeletingAFileFolderClearsEveryReferenceAndMarksTheFile) {
  parts->AddChild(new CCCImage(*badge));
  CCCImage* inFolder = static_cast<CCCImage*>(parts->GetChildren().back());
  panel->m_pBackgroundImage = inFolder;
  widget->m_pImage = knob;
  Select(parts);
  dialog->DeleteAction()->trigger();
  EXPECT_EQ(panel->m_pBackgroundImage, nullptr);
  EXPECT_EQ(widget->m_pImage, nullptr);
  EXPECT_EQ(Names(system.Images().GetFileImages()), std::vector<std::string>{"logo"});
  EXPECT_EQ(Children(dialog->FileRootItem()), QStringList({"logo"}));
  EXPECT_TRUE(system.IsModified());
}

TEST_F(ImageManager, DeletingALibraryNodeLeavesTheFileAndItsPanelsAlone) {
  Select(icons);
  dialog->DeleteAction()->trigger();
  EXPECT_EQ(Names(system.Images().GetLibraryImages()), std::vector<std::string>{"badge"});
  EXPECT_EQ(panel->m_pBackgroundImage, logo);
  EXPECT_FALSE(system.IsModified());
}

// A picture or folder of the file renamed is a change of the file; one of the library is not.
TEST_F(ImageManager, RenameTakesAnyTextTheEmptyOneIncludedRootsAreNotEditable) {
  QTreeWidgetItem* item = Item(logo);
  Select(logo);
  item->setText(0, "");
  EXPECT_EQ(logo->m_name, "");
  EXPECT_EQ(dialog->NameText()->text(), "Name : ");
  EXPECT_TRUE(system.IsModified());
  system.SetModified(false);
  item->setText(0, "Brand");
  EXPECT_EQ(logo->m_name, "Brand");
  EXPECT_TRUE(system.IsModified());
  system.SetModified(false);
  Item(parts)->setText(0, "Pieces");
  EXPECT_EQ(parts->m_name, "Pieces");
  EXPECT_TRUE(system.IsModified());
  system.SetModified(false);
  Item(icons)->setText(0, "Symbols");
  EXPECT_EQ(icons->m_name, "Symbols");
  EXPECT_FALSE(system.IsModified());
  EXPECT_FALSE(dialog->FileRootItem()->flags() & Qt::ItemIsEditable);
  EXPECT_FALSE(dialog->LibraryRootItem()->flags() & Qt::ItemIsDragEnabled);
}

TEST_F(ImageManager, DraggingAFileImageToTheLibraryCopiesItAndTheCopyCannotComeBack) {
  Drag(logo, dialog->LibraryRootItem());
  const auto& library = system.Images().GetLibraryImages().GetChildren();
  ASSERT_EQ(library.size(), 3u);
  auto* copy = static_cast<CCCImage*>(library.back());
  EXPECT_EQ(copy->GetId(), logo->GetId());
  EXPECT_NE(copy, logo);
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().front(), logo) << "the original stays";
  EXPECT_EQ(dialog->Tree()->currentItem(), Item(copy));
  EXPECT_FALSE(system.IsModified()) << "the target is the library";

  Drag(logo, Item(parts));  // the original now sits in a folder of the file
  EXPECT_EQ(Names(*parts), (std::vector<std::string>{"knob", "logo"}));
  EXPECT_TRUE(system.IsModified());
  Drag(copy, dialog->FileRootItem());
  EXPECT_EQ(messages, std::vector<QString>{"This image is already in the file"});
  Drag(logo, Item(badge));
  EXPECT_EQ(messages.back(), "This image is already in the library");
  EXPECT_EQ(system.Images().GetFileImages().GetChildren().size(), 1u);
}

TEST_F(ImageManager, ALibraryImageDroppedOnAFileImageIsCopiedRightBehindIt) {
  Drag(star, Item(logo));
  EXPECT_EQ(Names(system.Images().GetFileImages()), (std::vector<std::string>{"logo", "star", "Parts"}));
  EXPECT_EQ(Children(dialog->FileRootItem()), QStringList({"logo", "star", "Parts"}));
  EXPECT_EQ(Names(*icons), std::vector<std::string>{"star"});
  EXPECT_TRUE(system.IsModified());
}

TEST_F(ImageManager, FoldersMoveWithinABranchButNeverAcrossOrIntoThemselves) {
  auto* inner = new CCCImageDirectory("Inner");
  parts->AddChild(inner);
  dialog->FillTree();
  Drag(parts, Item(inner));
  Drag(parts, Item(parts));
  Drag(parts, dialog->FileRootItem());  // already its parent
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Names(system.Images().GetFileImages()), (std::vector<std::string>{"logo", "Parts"}));
  EXPECT_FALSE(system.IsModified());

  Drag(icons, dialog->FileRootItem());
  EXPECT_EQ(messages, std::vector<QString>{"Cannot copy directories between the file and library"});

  Drag(inner, Item(logo));  // onto an image: right behind it, with its subtree
  EXPECT_EQ(Names(system.Images().GetFileImages()), (std::vector<std::string>{"logo", "Inner", "Parts"}));
  EXPECT_EQ(Children(dialog->FileRootItem()), QStringList({"logo", "Inner", "Parts"}));
  EXPECT_TRUE(system.IsModified());
}

TEST_F(ImageManager, AnImageDroppedOnASiblingLandsDirectlyBehindIt) {
  auto* a = MakeImage("a");
  auto* b = MakeImage("b");
  auto* c = MakeImage("c");
  for (CCCImage* image : {a, b, c}) system.Images().GetLibraryImages().AddChild(image);
  dialog->FillTree();
  Drag(a, Item(c));
  EXPECT_EQ(Names(system.Images().GetLibraryImages()), (std::vector<std::string>{"badge", "Icons", "b", "c", "a"}));
  Drag(c, Item(badge));
  EXPECT_EQ(Names(system.Images().GetLibraryImages()), (std::vector<std::string>{"badge", "c", "Icons", "b", "a"}));
  EXPECT_EQ(Children(dialog->LibraryRootItem()), QStringList({"badge", "c", "Icons", "b", "a"}));
  Drag(b, Item(icons));
  EXPECT_EQ(Names(*icons), (std::vector<std::string>{"star", "b"}));
  EXPECT_EQ(Children(Item(icons)), QStringList({"star", "b"}));
  EXPECT_FALSE(system.IsModified());
}

// A drag that leaves the items for empty space below them still drops on the item it passed
// last; a new drag, or one that left the tree, has passed none.
TEST_F(ImageManager, ADropOverEmptySpaceGoesToTheLastItemPassed) {
  CImageTreeWidget* tree = dialog->Tree();
  tree->expandAll();
  QWidget* viewport = tree->viewport();
  const QPoint overLogo = tree->visualItemRect(Item(logo)).center();
  const QPoint overBadge = tree->visualItemRect(Item(badge)).center();
  const QPoint empty(overLogo.x(), viewport->height() - 4);
  ASSERT_EQ(tree->itemAt(empty), nullptr);
  // What a drag of the item "knob" carries.
  const std::unique_ptr<QMimeData> mime(tree->model()->mimeData({tree->indexFromItem(Item(knob))}));
  auto send = [&](QEvent::Type type, QPoint at) {
    QDragMoveEvent event(at, Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier, type);
    QApplication::sendEvent(viewport, &event);
  };
  // A drag that enters is moved at once.
  send(QEvent::DragEnter, overLogo);
  send(QEvent::DragMove, overLogo);
  EXPECT_EQ(tree->DropTargetAt(empty), Item(logo));
  send(QEvent::DragMove, overBadge);
  send(QEvent::DragMove, empty);
  EXPECT_EQ(tree->DropTargetAt(empty), Item(badge));
  EXPECT_EQ(tree->DropTargetAt(overLogo), Item(logo)) << "an item under the pointer comes first";
  QDragLeaveEvent leave;
  QApplication::sendEvent(viewport, &leave);
  EXPECT_EQ(tree->DropTargetAt(empty), nullptr);
  send(QEvent::DragEnter, empty);
  send(QEvent::DragMove, empty);
  EXPECT_EQ(tree->DropTargetAt(empty), nullptr);
}

TEST_F(ImageManager, EnterAndEscapeNeverCloseAndTheCloseBoxSavesAnEditedLibrary) {
  for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &press);
  }
  EXPECT_TRUE(dialog->isVisible());
  Select(&system.Images().GetLibraryImages());
  dialog->AddDirectoryAction()->trigger();
  const QString path = m_dir.filePath("ImageLib.ovl");
  EXPECT_FALSE(QFile::exists(path));
  dialog->reject();
  EXPECT_EQ(Finish(*dialog), QDialog::Rejected);
  CSystem other;
  EXPECT_TRUE(other.Images().ChangeImageLibraryFile(path.toStdString()));
  EXPECT_EQ(Names(other.Images().GetLibraryImages()), (std::vector<std::string>{"badge", "Icons", "New Folder"}));
}

// What the user does before closing the manager, and whether the library file is written.
enum class Edit { None, FileFolder, FileRename, FileImage, FileDelete, FileMove, CopyToFile, LibraryFolder,
                  LibraryRename, LibraryImage, LibraryDelete, LibraryMove, CopyToLibrary };
struct EditCase {
  Edit edit;
  bool writesLibrary;
};

class ManagerClose : public ImageManager, public ::testing::WithParamInterface<EditCase> {};

TEST_P(ManagerClose, WritesTheLibraryOnlyAfterAnEditOfIt) {
  const std::string path = m_dir.filePath("ImageLib.ovl").toStdString();
  const Bytes before = {'o', 'l', 'd'};
  ASSERT_TRUE(WriteFileAtomically(path, before, nullptr));
  chosen = WritePicture("wave.png", 8, 6);
  Item(badge)->setText(0, "badge");  // the same name again is no edit
  switch (GetParam().edit) {
    case Edit::None: break;
    case Edit::FileFolder: Select(parts); dialog->AddDirectoryAction()->trigger(); break;
    case Edit::FileRename: Item(knob)->setText(0, "dial"); break;
    case Edit::FileImage: Select(&system.Images().GetFileImages()); dialog->AddImageAction()->trigger(); break;
    case Edit::FileDelete: Select(knob); dialog->DeleteAction()->trigger(); break;
    case Edit::FileMove: Drag(logo, Item(parts)); break;
    case Edit::CopyToFile: Drag(star, dialog->FileRootItem()); break;
    case Edit::LibraryFolder: Select(star); dialog->AddDirectoryAction()->trigger(); break;
    case Edit::LibraryRename: Item(star)->setText(0, "sun"); break;
    case Edit::LibraryImage: Select(icons); dialog->AddImageAction()->trigger(); break;
    case Edit::LibraryDelete: Select(badge); dialog->DeleteAction()->trigger(); break;
    case Edit::LibraryMove: Drag(badge, Item(icons)); break;
    case Edit::CopyToLibrary: Drag(knob, dialog->LibraryRootItem()); break;
  }
  dialog->reject();
  EXPECT_EQ(Finish(*dialog), QDialog::Rejected);
  Bytes after;
  ASSERT_TRUE(ReadWholeFile(path, after, nullptr));
  if (!GetParam().writesLibrary) {
    EXPECT_EQ(after, before);
    return;
  }
  CSystem other;
  ASSERT_TRUE(other.Images().ChangeImageLibraryFile(path));
  EXPECT_EQ(Names(other.Images().GetLibraryImages()), Names(system.Images().GetLibraryImages()));
}

INSTANTIATE_TEST_SUITE_P(
    Edits, ManagerClose,
    ::testing::Values(EditCase{Edit::None, false}, EditCase{Edit::FileFolder, false}, EditCase{Edit::FileRename, false},
                      EditCase{Edit::FileImage, false}, EditCase{Edit::FileDelete, false},
                      EditCase{Edit::FileMove, false}, EditCase{Edit::CopyToFile, false},
                      EditCase{Edit::LibraryFolder, true}, EditCase{Edit::LibraryRename, true},
                      EditCase{Edit::LibraryImage, true}, EditCase{Edit::LibraryDelete, true},
                      EditCase{Edit::LibraryMove, true}, EditCase{Edit::CopyToLibrary, true}));

// A library cut short fails to load at start-up: the manager leaves it as it is until the
// library itself is edited, and then keeps it beside the new one.
TEST_F(ImageManager, ALibraryThatFailedToLoadIsWrittenOnlyAfterALibraryEditAndKeptBeside) {
  dialog.reset();
  const std::string path = m_dir.filePath("ImageLib.ovl").toStdString();
  Bytes cut;
  ASSERT_TRUE(ReadWholeFile(std::string(std::getenv("ORVAK_TEST_DATA")) + "/images/library-cut-short.ovl", cut, nullptr));
  ASSERT_TRUE(WriteFileAtomically(path, cut, nullptr));
  system.Images().LoadImageLibrary();
  ASSERT_TRUE(system.Images().GetLibraryImages().GetChildren().empty());

  auto manage = [&](const CCCImageDirectory& root, bool addFolder) {
    CImageLibraryManagerDlg manager(&system.Images());
    manager.SetFileChooser([&] { return QString::fromStdString(WritePicture("wave.png", 8, 6)); });
    manager.show();
    manager.Tree()->setCurrentItem(manager.ItemOf(&root));
    if (addFolder) manager.AddDirectoryAction()->trigger();
    else manager.AddImageAction()->trigger();
    manager.reject();
    Finish(manager);
  };
  manage(system.Images().GetFileImages(), false);
  Bytes after;
  ASSERT_TRUE(ReadWholeFile(path, after, nullptr));
  EXPECT_EQ(after, cut);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path + ".bak")));

  manage(system.Images().GetLibraryImages(), true);
  Bytes kept;
  ASSERT_TRUE(ReadWholeFile(path + ".bak", kept, nullptr));
  EXPECT_EQ(kept, cut);
  CSystem other;
  ASSERT_TRUE(other.Images().ChangeImageLibraryFile(path));
  EXPECT_EQ(Names(other.Images().GetLibraryImages()), std::vector<std::string>{"New Folder"});
}

// --- Deleting ---

// A folder, and anything of the library, goes only after a question that names it and counts
// its pictures; No keeps everything, the library file included. A picture of the file goes
// unasked, as not saving the file brings it back.
TEST_F(ImageManager, DeletingAFolderOrALibraryNodeAsksFirstAndNoKeepsEverything) {
  auto* small = new CCCImageDirectory("small");
  for (int i = 0; i < 1200; ++i) small->AddChild(MakeImage(("pic" + std::to_string(i)).c_str()));
  system.Images().GetFileImages().AddChild(small);
  dialog->FillTree();
  const std::string path = m_dir.filePath("ImageLib.ovl").toStdString();
  const Bytes before = {'o', 'l', 'd'};
  ASSERT_TRUE(WriteFileAtomically(path, before, nullptr));

  answer = false;
  for (const CCCImageBase* node : std::initializer_list<const CCCImageBase*>{small, parts, icons, badge}) {
    Select(node);
    dialog->DeleteAction()->trigger();
  }
  const QString library = "\nEvery file on this computer shares the library: what is deleted cannot be brought back.";
  const QString file = "\nPanels that show its pictures lose them; closing the file without saving brings them back.";
  EXPECT_EQ(questions,
            (std::vector<QString>{
                "Delete the folder \"small\" from this file?\nThe 1,200 pictures in it go with it." + file,
                "Delete the folder \"Parts\" from this file?\nThe picture in it goes with it." + file,
                "Delete the folder \"Icons\" from the image library?\nThe picture in it goes with it." + library,
                "Delete the picture \"badge\" from the image library?" + library}));
  EXPECT_EQ(Names(system.Images().GetFileImages()), (std::vector<std::string>{"logo", "Parts", "small"}));
  EXPECT_EQ(small->GetChildren().size(), 1200u);
  EXPECT_EQ(Names(system.Images().GetLibraryImages()), (std::vector<std::string>{"badge", "Icons"}));
  EXPECT_EQ(Children(dialog->LibraryRootItem()), QStringList({"badge", "Icons"}));
  EXPECT_FALSE(system.IsModified());

  questions.clear();
  Select(logo);
  dialog->DeleteAction()->trigger();
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(Names(system.Images().GetFileImages()), (std::vector<std::string>{"Parts", "small"}));
  dialog->reject();
  Finish(*dialog);
  Bytes after;
  ASSERT_TRUE(ReadWholeFile(path, after, nullptr));
  EXPECT_EQ(after, before);
}

TEST_F(ImageManager, YesDeletesTheLibraryFolderAndTheLibraryIsWrittenWithoutIt) {
  Select(icons);
  dialog->DeleteAction()->trigger();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(Names(system.Images().GetLibraryImages()), std::vector<std::string>{"badge"});
  dialog->reject();
  Finish(*dialog);
  CSystem other;
  ASSERT_TRUE(other.Images().ChangeImageLibraryFile(m_dir.filePath("ImageLib.ovl").toStdString()));
  EXPECT_EQ(Names(other.Images().GetLibraryImages()), std::vector<std::string>{"badge"});
}

// The question is a warning box whose default answer is No.
TEST_F(ImageDialogs, TheDeleteQuestionIsAWarningBoxThatDefaultsToNo) {
  CImageLibraryManagerDlg manager(&system.Images());
  manager.SetTitle("Image Library Manager");
  manager.show();
  manager.Tree()->setCurrentItem(manager.ItemOf(icons));
  QString text;
  QString caption;
  bool noIsTheDefault = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    text = box->text();
    caption = box->windowTitle();
    noIsTheDefault = box->defaultButton() == box->button(QMessageBox::No);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &enter);
  });
  poll.start(0);
  manager.DeleteAction()->trigger();
  EXPECT_EQ(caption, "Image Library Manager");
  EXPECT_TRUE(text.startsWith("Delete the folder \"Icons\" from the image library?")) << text.toStdString();
  EXPECT_TRUE(noIsTheDefault);
  EXPECT_EQ(Names(system.Images().GetLibraryImages()), (std::vector<std::string>{"badge", "Icons"}));
}

// --- Where the manager's boxes stand ---

enum class EManagerBox { kDeleteQuestion, kAddImageRefusal, kHelp, kPictureNotice };

struct ManagerBoxCase {
  const char* name;
  EManagerBox box;
};

class ManagerBoxPlace : public ImageDialogs, public ::testing::WithParamInterface<ManagerBoxCase> {};

// Every box the manager raises stands over the manager, centred on it, wherever it is on the
// screen, and its place is set by the program: a window manager keeps it there rather than
// choosing one of its own by the main window.
TEST_P(ManagerBoxPlace, StandsOverTheManagerAtAPlaceTheProgramSets) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  QWidget main;
  main.setGeometry(screen);
  main.show();
  CImageLibraryManagerDlg manager(&system.Images(), &main);
  manager.SetTitle("Image Library Manager");
  manager.show();
  // Away from the main window's middle, wholly on the screen.
  manager.move(screen.right() + 1 - manager.width(), screen.bottom() + 1 - manager.height());
  QApplication::processEvents();
  const QString bad = m_dir.filePath("bad.png");
  ASSERT_TRUE(WriteFileAtomically(bad.toStdString(), {'n', 'o'}, nullptr));
  manager.SetFileChooser([&bad] { return bad; });
  auto* damaged = new CCCImage;
  LoadDamagedPicture(*damaged);
  system.Images().GetLibraryImages().AddChild(damaged);
  manager.FillTree();

  QRect placed;
  bool moved = false;
  QString title;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    placed = box->frameGeometry();
    moved = box->testAttribute(Qt::WA_Moved);
    title = box->windowTitle();
    if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty()) {
      QImage shot(main.size(), QImage::Format_ARGB32);
      shot.fill(Qt::darkGray);
      QPainter painter(&shot);
      manager.render(&painter, manager.pos() - main.pos());
      box->render(&painter, box->pos() - main.pos());
      painter.end();
      shot.save(folder + QStringLiteral("/manager-box-%1.png").arg(QString::fromLatin1(GetParam().name)));
    }
    box->reject();
  });
  poll.start(0);
  switch (GetParam().box) {
    case EManagerBox::kDeleteQuestion:
      manager.Tree()->setCurrentItem(manager.ItemOf(icons));
      manager.DeleteAction()->trigger();
      break;
    case EManagerBox::kAddImageRefusal:
      manager.Tree()->setCurrentItem(manager.LibraryRootItem());
      manager.AddImageAction()->trigger();
      break;
    case EManagerBox::kHelp: manager.HelpAction()->trigger(); break;
    case EManagerBox::kPictureNotice:
      manager.Tree()->setCurrentItem(manager.ItemOf(damaged));
      for (int i = 0; i < 10 && placed.isNull(); ++i) QApplication::processEvents();
      break;
  }
  poll.stop();
  ASSERT_FALSE(placed.isNull()) << "no box";
  EXPECT_EQ(title, "Image Library Manager");
  EXPECT_TRUE(moved);
  const QPoint centre = manager.frameGeometry().center();
  EXPECT_LE((placed.center() - centre).manhattanLength(), 2)
      << placed.center().x() << "," << placed.center().y() << " over " << centre.x() << "," << centre.y();
  EXPECT_EQ(Names(system.Images().GetLibraryImages()), (std::vector<std::string>{"badge", "Icons", "damaged"}));
}

INSTANTIATE_TEST_SUITE_P(Boxes, ManagerBoxPlace,
                         ::testing::Values(ManagerBoxCase{"DeleteQuestion", EManagerBox::kDeleteQuestion},
                                           ManagerBoxCase{"AddImageRefusal", EManagerBox::kAddImageRefusal},
                                           ManagerBoxCase{"Help", EManagerBox::kHelp},
                                           ManagerBoxCase{"PictureNotice", EManagerBox::kPictureNotice}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Refusals of Add Image ---

struct RefusalCase {
  const char* file;
  Bytes bytes;
  const char* reason;
};

class AddImageRefusal : public ImageManager, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(AddImageRefusal, SaysWhyAndAddsNothing) {
  const QString path = m_dir.filePath(GetParam().file);
  ASSERT_TRUE(WriteFileAtomically(path.toStdString(), GetParam().bytes, nullptr));
  chosen = path.toStdString();
  Select(&system.Images().GetLibraryImages());
  dialog->AddImageAction()->trigger();
  EXPECT_EQ(messages, std::vector<QString>{
                          QStringLiteral("Error loading image\n\n%1\n%2").arg(GetParam().file, GetParam().reason)});
  EXPECT_EQ(system.Images().GetLibraryImages().GetChildren().size(), 2u);
}

Bytes CutPng() {
  Bytes png;
  EXPECT_TRUE(EncodeBitmap(CImage(40, 30), BitmapFormat::Png, png));
  png.resize(png.size() / 2);
  return png;
}

INSTANTIATE_TEST_SUITE_P(
    Files, AddImageRefusal,
    ::testing::Values(RefusalCase{"text.png",
                                  {'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'},
                                  "The file is not a BMP, JPEG or PNG picture."},
                      RefusalCase{"cut.png", CutPng(), "The picture's data is damaged."},
                      RefusalCase{"empty.bmp", {}, "The file is empty."},
                      RefusalCase{"bomb20k.png", PngClaiming(20000, 20000),
                                  "The picture is 20,000 x 20,000 pixels; a picture may have up to 16,384 pixels a "
                                  "side and 67,108,864 pixels in all."},
                      RefusalCase{"wide.png", PngClaiming(10000, 8000),
                                  "The picture is 10,000 x 8,000 pixels; a picture may have up to 16,384 pixels a "
                                  "side and 67,108,864 pixels in all."}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) {
      std::string name = info.param.file;
      return name.substr(0, name.find('.'));
    });

// --- Memory ---

// The manager walked through pictures kept as bytes shows each, while the pictures it holds
// decoded stay within the budget; one walked past is decoded again when shown again.
TEST_F(ImageManager, WalkingThePicturesKeepsTheDecodedOnesWithinTheBudget) {
  constexpr int kCount = 12;
  std::vector<CCCImage*> walked;
  auto* folder = new CCCImageDirectory("large");
  for (int i = 0; i < kCount; ++i) {
    const QString path = m_dir.filePath(QStringLiteral("p%1.png").arg(i));
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(QColor(i * 20, 255 - i * 20, 90));
    ASSERT_TRUE(picture.save(path, "PNG"));
    auto* image = new CCCImage;
    ASSERT_TRUE(image->LoadFromFile(path.toStdString(), kImageFormatPng));
    folder->AddChild(image);
    walked.push_back(image);
  }
  system.Images().GetFileImages().AddChild(folder);
  dialog->FillTree();
  const std::size_t each = 400 * 300 * 4;
  SetDecodedPictureLimit(2 * each);
  auto shownColour = [&] {
    const QImage shot = dialog->Preview()->grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() / 2);
  };
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kCount; ++i) {
      Select(walked[std::size_t(i)]);
      EXPECT_EQ(shownColour(), QColor(i * 20, 255 - i * 20, 90)) << "picture " << i;
      EXPECT_EQ(dialog->SizeText()->text(), "Size : 400W x 300H");
      EXPECT_LE(GetDecodedPictureBytes(), 2 * each) << "picture " << i;
    }
    EXPECT_FALSE(walked.front()->IsDecoded());
    EXPECT_TRUE(walked.back()->IsDecoded());
  }
  SetDecodedPictureLimit(kDefaultDecodedPictureLimit);
}

// --- Pictures whose pixels do not decode ---

// Walked through by keyboard, pictures whose pixels do not decode give one notice over the
// manager for the whole walk and none through the system (the main window's boxes); each says
// why under the preview. The Image Selection dialog does the same.
TEST_F(ImageManager, WalkingThroughPicturesThatDoNotDecodeGivesOneNotice) {
  CRecordingUi ui;
  system.SetUiServices(&ui);
  // A folder of pictures whose pixels do not decode, named name0, name1 and so on.
  auto damagedFolder = [](const std::string& name, int count) {
    auto* folder = new CCCImageDirectory(name);
    for (int i = 0; i < count; ++i) {
      auto* image = new CCCImage;
      LoadDamagedPicture(*image, name + std::to_string(i));
      folder->AddChild(image);
    }
    return folder;
  };
  CCCImageDirectory* bad = damagedFolder("bad", 20);
  system.Images().GetFileImages().AddChild(bad);
  dialog->FillTree();
  dialog->Tree()->expandItem(dialog->FileRootItem());
  dialog->Tree()->expandItem(Item(bad));
  Select(bad);
  std::size_t systemBoxes = 0;
  for (int i = 0; i < 20; ++i) {
    Key(*dialog->Tree(), Qt::Key_Down);
    QApplication::processEvents();
    // As the main window shows the system's notices, each time it is told.
    if (ui.Take().size()) systemBoxes += system.Images().TakePictureNotices().size();
    EXPECT_EQ(dialog->NameText()->text(), QStringLiteral("Name : bad%1").arg(i));
    EXPECT_EQ(dialog->SizeText()->text(), "Size : The picture's data is damaged.");
  }
  if (const QString folder = qEnvironmentVariable("ORVAK_TEST_PICTURES"); !folder.isEmpty())
    dialog->grab().save(folder + "/manager-damaged.png");
  EXPECT_EQ(systemBoxes, 0u);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            "Error loading image\n\nThe picture \"bad0\" of this file could not be read.\nIt is kept as it is and "
            "shown without a picture.\nWhile this window is open, other pictures that cannot be shown say so under "
            "the preview.");

  CImageSelectDlg select(&system.Images());
  std::vector<QString> told;
  select.SetMessageHandler([&told](const QString& text) { told.push_back(text); });
  CCCImageDirectory* worse = damagedFolder("worse", 5);
  system.Images().GetLibraryImages().AddChild(worse);
  select.show();
  for (const CCCImageBase* node : worse->GetChildren()) {
    select.Tree()->setCurrentItem(select.ItemOf(node));
    QApplication::processEvents();
    if (ui.Take().size()) systemBoxes += system.Images().TakePictureNotices().size();
  }
  EXPECT_EQ(systemBoxes, 0u);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].contains("The picture \"worse0\" of the image library could not be read.")) << told[0].toStdString();
  system.SetUiServices(nullptr);
}

// --- Long names ---

// A 300-character name is cut in the view: neither dialog grows, both stay on the screen with
// their buttons and close box, and the whole name is kept.
TEST_F(ImageDialogs, ALongNameIsCutInTheViewAndNeitherDialogOutgrowsTheScreen) {
  const std::string name(300, 'L');
  badge->m_name = name;
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  CImageLibraryManagerDlg manager(&system.Images());
  CImageSelectDlg select(&system.Images());
  for (CImageTreeDlgBase* dialog : std::initializer_list<CImageTreeDlgBase*>{&manager, &select}) {
    dialog->SetCloseBoxShown(true);
    dialog->resize(625, 398);
    dialog->show();
    const int width = dialog->width();
    dialog->Tree()->setCurrentItem(dialog->ItemOf(badge));
    QApplication::processEvents();
    EXPECT_EQ(dialog->width(), width);
    EXPECT_TRUE(screen.contains(dialog->frameGeometry())) << dialog->frameGeometry().width();
    EXPECT_EQ(dialog->NameText()->text().toStdString(), "Name : " + name);
    const QString shown = static_cast<CElidedLabel*>(dialog->NameText())->ShownText();
    EXPECT_LT(shown.size(), 100);
    EXPECT_TRUE(shown.startsWith("Name : LLL") && shown.endsWith(QChar(0x2026))) << shown.toStdString();
    const QRect inside = dialog->rect();
    EXPECT_TRUE(inside.contains(dialog->CloseBoxRect()));
    EXPECT_TRUE(inside.contains(
        dialog->NameText()->geometry().translated(dialog->NameText()->parentWidget()->mapTo(dialog, QPoint(0, 0)))));
  }
  for (QPushButton* button : {select.UseButton(), select.RemoveButton(), select.CancelButton()})
    EXPECT_TRUE(select.rect().contains(QRect(button->mapTo(&select, QPoint(0, 0)), button->size())))
        << button->text().toStdString();
}

}  // namespace
