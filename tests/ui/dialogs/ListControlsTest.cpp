// The in-place rename of list rows, the horizontal extent list and the coloured tree.
#include <gtest/gtest.h>

#include <QLineEdit>

#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QScrollBar>

#include "tests/support/ClaimingPicture.h"
#include "tests/ui/dialogs/DialogTestSupport.h"
#include "ui/dialogs/EditableListBox.h"
#include "ui/dialogs/FileDialogEx.h"
#include "ui/dialogs/HListBox.h"
#include "ui/dialogs/TreeCtrlEx.h"

namespace {

void DoubleClick(QListWidget& list, int row) {
  const QPoint at = list.visualItemRect(list.item(row)).center();
  QMouseEvent press(QEvent::MouseButtonPress, at, list.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(list.viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, list.viewport()->mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(list.viewport(), &release);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, at, list.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(list.viewport(), &dbl);
}

class EditableListBoxTest : public ::testing::Test {
 protected:
  EditableListBoxTest() {
    list.resize(160, 200);
    for (const char* name : {"Admin", "Bob", "Carol"}) list.addItem(QString::fromLatin1(name));
    list.SetRowRenamedHandler([this](int index, const QString& old) { renames.push_back({index, old}); });
    list.show();
    WaitForUi([&] { return list.isVisible(); });
  }
  QStringList Rows() const {
    QStringList rows;
    for (int i = 0; i < list.count(); ++i) rows << list.item(i)->text();
    return rows;
  }
  struct Rename {
    int index;
    QString old;
  };
  CEditableListBox list;
  std::vector<Rename> renames;
};

}  // namespace

TEST_F(EditableListBoxTest, FirstRowIsNeverRenamedAndOthersOpenAnEditorOfEightCharacters) {
  list.setCurrentRow(0);
  DoubleClick(list, 0);
  EXPECT_FALSE(list.IsEditing());
  list.setCurrentRow(1);
  DoubleClick(list, 1);
  ASSERT_TRUE(list.IsEditing());
  EXPECT_EQ(list.GetEditIndex(), 1);
  CEditHelper* editor = list.GetEditor();
  EXPECT_EQ(editor->text(), "Bob");
  EXPECT_EQ(editor->selectedText(), "Bob");
  editor->clear();
  TypeText(editor, "NineChars");
  EXPECT_EQ(editor->text(), "NineChar");  // the ninth is refused
  PressKey(editor, Qt::Key_Return);
  EXPECT_FALSE(list.IsEditing());
  EXPECT_EQ(Rows(), (QStringList{"Admin", "NineChar", "Carol"}));
  ASSERT_EQ(renames.size(), 1u);
  EXPECT_EQ(renames[0].index, 1);
  EXPECT_EQ(renames[0].old, "Bob");
  EXPECT_EQ(list.currentRow(), 1);
}

TEST_F(EditableListBoxTest, ARowLongerThanEightCharactersStaysWholeInTheEditor) {
  list.item(2)->setText(QStringLiteral("LongerName12"));
  list.setCurrentRow(2);
  list.BeginEdit();
  CEditHelper* editor = list.GetEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), "LongerName12");
  editor->end(false);
  TypeText(editor, "x");
  EXPECT_EQ(editor->text(), "LongerName12");  // nothing more goes in
  PressKey(editor, Qt::Key_Return);
  EXPECT_EQ(Rows(), (QStringList{"Admin", "Bob", "LongerName12"}));
  EXPECT_TRUE(renames.empty());
  // Shortened below the limit it takes typing again up to eight characters.
  list.BeginEdit();
  editor = list.GetEditor();
  editor->setText(QStringLiteral("Short"));
  editor->end(false);
  TypeText(editor, "ABCDE");
  EXPECT_EQ(editor->text(), "ShortABC");
}

TEST_F(EditableListBoxTest, EscapeOrAnUnchangedTextRenamesNothingEvenWhenTheEditorThenLosesTheFocus) {
  list.setCurrentRow(2);
  list.BeginEdit();
  CEditHelper* editor = list.GetEditor();
  editor->setText("Zed");
  PressKey(editor, Qt::Key_Escape);
  // The editor goes later and loses the focus on its way: that must not commit "Zed".
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(editor, &out);
  WaitForUi([] { return true; });
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Rows(), (QStringList{"Admin", "Bob", "Carol"}));
  EXPECT_TRUE(renames.empty());

  list.BeginEdit();
  PressKey(list.GetEditor(), Qt::Key_Return);
  EXPECT_TRUE(renames.empty());
}

TEST_F(EditableListBoxTest, LosingTheFocusOrScrollingCommitsAndASortedListMovesTheRow) {
  list.setCurrentRow(1);
  list.BeginEdit();
  list.GetEditor()->setText("Dave");
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(list.GetEditor(), &out);
  EXPECT_EQ(Rows(), (QStringList{"Admin", "Dave", "Carol"}));

  list.SetSorted(true);
  list.setCurrentRow(1);
  list.BeginEdit();
  list.GetEditor()->setText("Abe");
  list.EndEdit(true);
  EXPECT_EQ(Rows(), (QStringList{"Abe", "Admin", "Carol"}));
  EXPECT_EQ(list.currentRow(), 0);
  EXPECT_EQ(renames.back().index, 0);

  list.setCurrentRow(2);
  list.BeginEdit();
  list.GetEditor()->setText("Cy");
  list.verticalScrollBar()->setRange(0, 10);
  list.verticalScrollBar()->setValue(1);
  EXPECT_FALSE(list.IsEditing());
  EXPECT_TRUE(Rows().contains("Cy"));
}

TEST(HListBoxTest, ExtentFollowsTheWidestRowAndABadIndexChangesNothing) {
  CHListBox list;
  list.AddString("short");
  const int shortWidth = list.GetHorizontalExtent();
  list.AddString("a much longer row of progress text");
  const int longWidth = list.GetHorizontalExtent();
  EXPECT_GT(longWidth, shortWidth);
  list.AddString("medium row");
  EXPECT_EQ(list.GetHorizontalExtent(), longWidth);
  EXPECT_EQ(list.DeleteString(7), -1);
  EXPECT_EQ(list.GetHorizontalExtent(), longWidth);
  EXPECT_EQ(list.DeleteString(1), 2);
  EXPECT_LT(list.GetHorizontalExtent(), longWidth);
  EXPECT_GT(list.GetHorizontalExtent(), shortWidth);
  list.DeleteString(0);
  list.DeleteString(0);
  EXPECT_EQ(list.GetHorizontalExtent(), 0);
}

TEST(TreeCtrlExTest, GreyAndBoldItemsKeepTheirLookTogether) {
  CTreeCtrlEx tree;
  auto* item = new QTreeWidgetItem(&tree, {QStringLiteral("Member")});
  tree.SetItemGrey(item);
  tree.SetItemBold(item, true);
  EXPECT_EQ(item->foreground(0).color(), QColor(150, 150, 150));
  EXPECT_TRUE(CTreeCtrlEx::IsItemBold(item));
  tree.SetItemBold(item, false);
  EXPECT_FALSE(CTreeCtrlEx::IsItemBold(item));
  EXPECT_EQ(item->foreground(0).color(), QColor(150, 150, 150));
}

TEST(TreeCtrlExTest, ASelectedGreyItemIsGreyWithoutTheFocusAndSelectedWithIt) {
  QWidget window;
  auto* tree = new CTreeCtrlEx(&window);
  auto* other = new QLineEdit(&window);
  tree->setGeometry(0, 0, 200, 120);
  other->setGeometry(0, 130, 200, 24);
  auto* grey = new QTreeWidgetItem(tree, {QStringLiteral("Greyed member")});
  auto* plain = new QTreeWidgetItem(tree, {QStringLiteral("Plain member")});
  tree->SetItemGrey(grey);
  window.show();
  window.activateWindow();
  WaitForUi([&] { return QApplication::activeWindow() == &window; });
  const QColor highlight = tree->palette().color(QPalette::Active, QPalette::Highlight);
  // Pixels of the item's row in the highlight colour, and in a grey near the item's own.
  auto look = [&](QTreeWidgetItem* item, int& highlighted, int& greyText) {
    const QImage image = tree->viewport()->grab().toImage();
    const QRect row = tree->visualItemRect(item);
    highlighted = greyText = 0;
    for (int y = row.top(); y <= row.bottom(); ++y)
      for (int x = row.left(); x <= row.right(); ++x) {
        const QColor c = image.pixelColor(x, y);
        highlighted += c == highlight ? 1 : 0;
        greyText += (c.red() == c.green() && c.green() == c.blue() && c.red() >= 140 && c.red() <= 200) ? 1 : 0;
      }
  };
  int highlighted = 0, greyText = 0;
  tree->setCurrentItem(grey);
  other->setFocus();
  ASSERT_TRUE(WaitForUi([&] { return other->hasFocus(); }));
  look(grey, highlighted, greyText);
  EXPECT_EQ(highlighted, 0);
  EXPECT_GT(greyText, 10);
  tree->setFocus();
  ASSERT_TRUE(WaitForUi([&] { return tree->hasFocus(); }));
  look(grey, highlighted, greyText);
  EXPECT_GT(highlighted, 50);
  // An item without its own colour keeps the selection look without the focus.
  tree->setCurrentItem(plain);
  other->setFocus();
  ASSERT_TRUE(WaitForUi([&] { return other->hasFocus(); }));
  look(plain, highlighted, greyText);
  const QColor inactive = tree->palette().color(QPalette::Inactive, QPalette::Highlight);
  const QImage image = tree->viewport()->grab().toImage();
  EXPECT_EQ(image.pixelColor(tree->visualItemRect(plain).right() - 2, tree->visualItemRect(plain).center().y()),
            inactive);
}

TEST(FileDialogExTest, ShowsThumbnailsOfImagesOnceShown) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage picture(200, 100, QImage::Format_RGB32);
  picture.fill(Qt::red);
  const QString png = dir.filePath("red.png");
  ASSERT_TRUE(picture.save(png));
  const QString text = dir.filePath("notes.txt");
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("x");
  file.close();

  CFileDialogEx dialog(true, "png", QString(), "Images (*.png *.bmp *.jpg)");
  dialog.setDirectory(dir.path());
  dialog.show();
  ASSERT_TRUE(WaitForUi([&] { return dialog.IsThumbnailView(); }));
  const QImage thumb = dialog.IconFor(png).pixmap(QSize(64, 64)).toImage();
  ASSERT_FALSE(thumb.isNull());
  EXPECT_EQ(thumb.width(), 64);
  EXPECT_EQ(thumb.pixelColor(32, thumb.height() / 2), QColor(Qt::red));
  EXPECT_TRUE(dialog.IconFor(text).pixmap(QSize(64, 64)).toImage().pixelColor(32, 32) != QColor(Qt::red));
  dialog.reject();
}

// Only a BMP, JPEG or PNG by its signature is read for a thumbnail, and a picture larger than
// a picture may be, or than a thumbnail is read from (a JPEG is read at an eighth of its size),
// is refused from its header, before any pixel is read.
TEST(FileDialogExTest, ThumbnailsAreReadOnlyFromPicturesOfASizeToRead) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto write = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    return file.fileName();
  };
  QImage photo(3000, 2000, QImage::Format_RGB32);
  photo.fill(Qt::blue);
  const QString jpeg = dir.filePath("photo.jpg");
  const QString png = dir.filePath("screen.png");
  ASSERT_TRUE(photo.save(jpeg, "JPEG"));
  ASSERT_TRUE(photo.save(png, "PNG"));
  using Why = CFileDialogEx::NoThumbnail;
  struct Case {
    QString path;
    Why why;
  };
  const Case cases[] = {{write("bomb.png", PngClaiming(20000, 20000)), Why::TooLarge},
                        {write("wide.png", PngClaiming(10000, 8000)), Why::TooLarge},
                        {png, Why::TooLarge},
                        {write("notes.png", {'n', 'o', 't', 'e', 's'}), Why::NotAPicture},
                        {jpeg, Why::None}};
  for (const Case& c : cases) {
    Why why = Why::Unreadable;
    const QImage thumb = CFileDialogEx::Thumbnail(c.path, &why);
    EXPECT_EQ(why, c.why) << c.path.toStdString();
    EXPECT_EQ(thumb.isNull(), c.why != Why::None) << c.path.toStdString();
  }
  const QImage thumb = CFileDialogEx::Thumbnail(jpeg);
  EXPECT_EQ(thumb.size(), QSize(64, 42));
  EXPECT_GT(thumb.pixelColor(32, 20).blue(), 240);
  EXPECT_LT(thumb.pixelColor(32, 20).red(), 16);
}
