// The image library file: created when missing, saved through a temporary file, switched to
// another file only when that file reads whole, a damaged file left alone and kept beside the
// library written over it, and undecodable pictures written back as they were read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "core/file/ImageTree.h"
#include "core/system/System.h"
#include "platform/AppPaths.h"
#include "platform/Archive.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/RecordingUi.h"

namespace {

// The message boxes shown, each as "caption: text".
class CMessageRecorder : public CRecordingUi {
 public:
  explicit CMessageRecorder(std::vector<std::string>& messages) : m_messages(messages) {}
  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    m_messages.push_back(caption + ": " + text);
  }

 private:
  std::vector<std::string>& m_messages;
};

Bytes ReadAll(const std::string& path) {
  Bytes bytes;
  ReadWholeFile(path, bytes, nullptr);
  return bytes;
}

std::string TestDataPath(const std::string& name) { return std::string(std::getenv("ORVAK_TEST_DATA")) + "/images/" + name; }

class ImageLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_system.SetUiServices(&m_ui);
  }
  std::string PathOf(const char* name) const { return m_dir.filePath(name).toStdString(); }
  // A library holding a folder with an image, saved at path by another system.
  CUuid WriteLibrary(const std::string& path) {
    CSystem other;
    other.Settings().SetImageLibraryFilename(path);
    auto* folder = new CCCImageDirectory("Logos");
    auto* image = new CCCImage;
    image->m_name = "mark";
    image->m_format = kImageFormatPng;
    image->SetBitmap(CImage(4, 4));
    folder->AddChild(image);
    other.Images().GetLibraryImages().AddChild(folder);
    EXPECT_TRUE(other.Images().SaveImageLibrary());
    return image->GetId();
  }

  QTemporaryDir m_dir;
  std::vector<std::string> m_messages;
  CMessageRecorder m_ui{m_messages};
  CSystem m_system;
};

TEST_F(ImageLibraryTest, FirstStart_CreatesAnEmpty28ByteLibraryAtTheDefaultPath) {
  m_system.Settings().LoadSettings();
  const std::string path = m_system.Settings().GetImageLibraryFilename();
  EXPECT_EQ(path, GetAppDataFolder() + "ImageLib.ovl");
  QDir().mkpath(QString::fromStdString(GetAppDataFolder()));
  QFile::remove(QString::fromStdString(path));
  m_system.Images().LoadImageLibrary();
  EXPECT_TRUE(m_messages.empty());
  Bytes expected;
  PutU32(expected, 1);
  PutUuid(expected, m_system.Images().GetLibraryImages().GetId());
  PutText(expected, "");
  PutU32(expected, 0);
  EXPECT_EQ(ReadAll(path), expected);
  EXPECT_EQ(expected.size(), 28u);
}

// A setting that names a link to a library not made yet (a shared folder's) gets the new
// library at the link's target; the link stays.
TEST_F(ImageLibraryTest, FirstStart_ThroughADanglingLinkMakesTheLibraryAtItsTarget) {
  const std::string link = PathOf("ImageLib.ovl");
  const std::string target = PathOf("shared.ovl");
  std::filesystem::create_symlink(target, link);
  m_system.Settings().SetImageLibraryFilename(link);
  m_system.Images().LoadImageLibrary();
  EXPECT_TRUE(m_messages.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(target).size(), 28u);
  EXPECT_TRUE(m_system.Images().SaveImageLibrary());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST_F(ImageLibraryTest, SavedLibrary_LoadsElsewhereWithTreeNamesAndIds) {
  const std::string path = PathOf("shared.ovl");
  const CUuid mark = WriteLibrary(path);
  m_system.Settings().SetImageLibraryFilename(path);
  m_system.Images().GetLibraryImages().AddChild(new CCCImageDirectory("stale"));
  m_system.Images().LoadImageLibrary();
  EXPECT_TRUE(m_messages.empty());
  ASSERT_EQ(m_system.Images().GetLibraryImages().GetChildren().size(), 1u);
  EXPECT_EQ(m_system.Images().GetLibraryImages().GetChildren()[0]->m_name, "Logos");
  CCCImage* image = m_system.Images().GetLibraryImages().FindImage(mark);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetPixelWidth(), 4);
  EXPECT_EQ(image->m_name, "mark");
  // The file's own images are another tree.
  EXPECT_EQ(m_system.Images().GetFileImages().FindImage(mark), nullptr);

  // Saving without an edit writes the same file again.
  const Bytes before = ReadAll(path);
  EXPECT_TRUE(m_system.Images().SaveImageLibrary());
  EXPECT_EQ(ReadAll(path), before);
}

TEST_F(ImageLibraryTest, DamagedLibrary_IsLeftAloneWithOneMessage) {
  const std::string path = PathOf("damaged.ovl");
  WriteLibrary(path);
  Bytes damaged = ReadAll(path);
  damaged.resize(damaged.size() - 10);
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(reinterpret_cast<const char*>(damaged.data()), qint64(damaged.size()));
  f.close();

  m_system.Settings().SetImageLibraryFilename(path);
  m_system.Images().LoadImageLibrary();
  EXPECT_EQ(m_messages, std::vector<std::string>{"Image Library: Exception while opening Image Library file"});
  EXPECT_TRUE(m_system.Images().GetLibraryImages().GetChildren().empty());
  EXPECT_EQ(ReadAll(path), damaged);
}

// A thousand pictures that do not read give one notice, at start-up and at a change of the
// file alike, with their count and the first names; each stays in the library by its name.
TEST_F(ImageLibraryTest, UndecodablePictures_AreToldInOneNoticeWithTheirCountAndFirstNames) {
  const std::string path = PathOf("blank.ovl");
  CSystem other;
  other.Settings().SetImageLibraryFilename(path);
  auto* fine = new CCCImage;
  fine->SetBitmap(CImage(2, 2));
  other.Images().GetLibraryImages().AddChild(fine);
  auto* folder = new CCCImageDirectory("small");
  other.Images().GetLibraryImages().AddChild(folder);
  for (int i = 0; i < 1000; ++i) {
    auto* blank = new CCCImage;  // no picture: stored with no bytes, which decode to nothing
    blank->m_name = "pic" + std::to_string(i);
    folder->AddChild(blank);
  }
  ASSERT_TRUE(other.Images().SaveImageLibrary());

  const std::vector<std::string> once{
      "Image Library: Error loading image\n\n1,000 pictures of the image library could not be read: \"pic0\", "
      "\"pic1\", \"pic2\", \"pic3\", \"pic4\" and 995 more.\nThey are kept as they are and shown without a picture."};
  m_system.Settings().SetImageLibraryFilename(path);
  m_system.Images().LoadImageLibrary();
  EXPECT_EQ(m_messages, once);
  ASSERT_EQ(m_system.Images().GetLibraryImages().GetChildren().size(), 2u);
  const auto* small = static_cast<const CCCImageDirectory*>(m_system.Images().GetLibraryImages().GetChildren()[1]);
  ASSERT_EQ(small->GetChildren().size(), 1000u);
  EXPECT_EQ(small->GetChildren()[999]->m_name, "pic999");
  EXPECT_FALSE(static_cast<const CCCImage*>(small->GetChildren()[999])->HasBitmap());
  m_messages.clear();
  EXPECT_TRUE(m_system.Images().ChangeImageLibraryFile(path));
  EXPECT_EQ(m_messages, once);
}

// The notice quotes long names cut short, counts in the singular for one, and tells a want of
// memory apart from pictures that do not read.
TEST(PictureNoticeTest, NamesAreCutShortAndMemoryIsToldApart) {
  const std::string longName(300, 'L');
  EXPECT_EQ(QuotedPictureName(longName), "\"" + std::string(48, 'L') + "...\"");
  EXPECT_EQ(QuotedPictureName("\u00e9t\u00e9"), "\"\u00e9t\u00e9\"");
  EXPECT_EQ(QuotedPictureName(std::string(47, 'a') + "\u00e9\u00e9"), "\"" + std::string(47, 'a') + "\u00e9...\"");
  EXPECT_EQ(PicturesNotReadText(1, {longName}, false),
            "Error loading image\n\nThe picture \"" + std::string(48, 'L') +
                "...\" of this file could not be read.\nIt is kept as it is and shown without a picture.");
  EXPECT_EQ(PicturesNotReadText(3, {"a", "b", "c"}, true, BitmapFault::NoMemory),
            "Error loading image\n\nThere was not enough memory to show 3 pictures of the image library: \"a\", \"b\" "
            "and \"c\".\nThey are tried again when they are next shown.");
}

TEST_F(ImageLibraryTest, MissingFolder_CannotCreateOrSaveAndSaysSo) {
  const std::string path = PathOf("no/such/folder/lib.ovl");
  m_system.Settings().SetImageLibraryFilename(path);
  m_system.Images().LoadImageLibrary();
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0], "Image Library: Could not create new Image Library file, GetLastError = 2");
  // The save says why, as the system file's save does.
  EXPECT_FALSE(m_system.Images().SaveImageLibrary());
  const std::string prefix = "Image Library: Could not save Image Library file\n" + path + "\n";
  ASSERT_EQ(m_messages.back().rfind(prefix, 0), 0u) << m_messages.back();
  EXPECT_GT(m_messages.back().size(), prefix.size());
}

TEST_F(ImageLibraryTest, UnreadLibrary_IsKeptBesideTheLibraryFirstWrittenOverIt) {
  const std::string path = PathOf("ImageLib.ovl");
  const Bytes cut = ReadAll(TestDataPath("library-cut-short.ovl"));
  ASSERT_FALSE(cut.empty());
  ASSERT_TRUE(WriteFileAtomically(path, cut, nullptr));
  ASSERT_TRUE(WriteFileAtomically(path + ".bak", {1, 2, 3}, nullptr));  // an older backup stays
  m_system.Settings().SetImageLibraryFilename(path);
  m_system.Images().LoadImageLibrary();
  EXPECT_EQ(m_messages, std::vector<std::string>{"Image Library: Exception while opening Image Library file"});
  EXPECT_TRUE(m_system.Images().IsImageLibraryUnread());
  EXPECT_EQ(m_system.Images().GetImageLibraryBackupPath(), path + ".bak2");

  m_system.Images().GetLibraryImages().AddChild(new CCCImageDirectory("New Folder"));
  ASSERT_TRUE(m_system.Images().SaveImageLibrary());
  EXPECT_EQ(ReadAll(path + ".bak2"), cut);
  EXPECT_EQ(ReadAll(path + ".bak"), (Bytes{1, 2, 3}));
  EXPECT_FALSE(m_system.Images().IsImageLibraryUnread());
  CSystem other;
  ASSERT_TRUE(other.Images().ChangeImageLibraryFile(path));
  ASSERT_EQ(other.Images().GetLibraryImages().GetChildren().size(), 1u);

  // The file now holds the library: later saves keep no further copy.
  ASSERT_TRUE(m_system.Images().SaveImageLibrary());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path + ".bak3")));
}

// A pipe or a device named as the library is refused at once with the usual message: start-up
// neither waits for a writer for good nor reads /dev/zero until memory runs out. The library is
// then never written over it, and neither can be changed to nor added as a picture.
TEST_F(ImageLibraryTest, PipeOrDeviceAsTheLibrary_IsRefusedAtOnceAndNeverWrittenOver) {
  const std::string pipe = PathOf("ImageLib.ovl");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    m_messages.clear();
    m_system.Settings().SetImageLibraryFilename(path);
    m_system.Images().LoadImageLibrary();
    EXPECT_EQ(m_messages, std::vector<std::string>{"Image Library: Exception while opening Image Library file"});
    EXPECT_TRUE(m_system.Images().IsImageLibraryUnread());
    EXPECT_TRUE(m_system.Images().GetLibraryImages().GetChildren().empty());
    EXPECT_FALSE(m_system.Images().SaveImageLibrary());
    EXPECT_FALSE(std::filesystem::exists(m_system.Images().GetImageLibraryBackupPath() + "2"));
    CSystem other;
    EXPECT_FALSE(other.Images().ChangeImageLibraryFile(path));
    CCCImage picture;
    EXPECT_FALSE(picture.LoadFromFile(path, kImageFormatPng));
  }
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/zero"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path().toStdString()),
                          std::filesystem::directory_iterator()),
            1);
}

// Libraries holding a picture that is no BMP, JPEG or PNG picture: a damaged GIF that
// hung the program at start-up, an EXR that decoded for ever, an XPM that read past its buffer.
class UndecodableLibraryTest : public ImageLibraryTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UndecodableLibraryTest, LoadsWithANoticeAndIsSavedBackByteForByte) {
  const std::string path = PathOf("ImageLib.ovl");
  const Bytes original = ReadAll(TestDataPath(GetParam()));
  ASSERT_FALSE(original.empty());
  ASSERT_TRUE(WriteFileAtomically(path, original, nullptr));
  m_system.Settings().SetImageLibraryFilename(path);
  m_system.Images().LoadImageLibrary();
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].rfind("Image Library: Error loading image\n\nThe picture ", 0), 0u) << m_messages[0];
  EXPECT_FALSE(m_system.Images().IsImageLibraryUnread());
  ASSERT_EQ(m_system.Images().GetLibraryImages().GetChildren().size(), 2u);
  const auto* skins = static_cast<const CCCImageDirectory*>(m_system.Images().GetLibraryImages().GetChildren()[0]);
  EXPECT_EQ(skins->m_name, "Skins");
  ASSERT_FALSE(skins->GetChildren().empty());
  const auto* damaged = static_cast<const CCCImage*>(skins->GetChildren()[0]);
  EXPECT_FALSE(damaged->HasBitmap());

  ASSERT_TRUE(m_system.Images().SaveImageLibrary());
  EXPECT_EQ(FirstDifference(ReadAll(path), original), -1);
}

INSTANTIATE_TEST_SUITE_P(DamagedPictures, UndecodableLibraryTest,
                         ::testing::Values("library-gif-hang.ovl", "library-exr-hang.ovl", "library-xpm-overread.ovl"));

TEST_F(ImageLibraryTest, Change_OnlyAWholeFileReplacesTheLibraryAndTheSetting) {
  const std::string first = PathOf("first.ovl");
  WriteLibrary(first);
  m_system.Settings().SetImageLibraryFilename(first);
  m_system.Images().LoadImageLibrary();
  const CUuid firstRoot = m_system.Images().GetLibraryImages().GetId();

  // A missing file and a damaged one change nothing and say nothing themselves.
  const std::string broken = PathOf("broken.ovl");
  QFile f(QString::fromStdString(broken));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("not a library");
  f.close();
  for (const std::string& path : {PathOf("missing.ovl"), broken}) {
    EXPECT_FALSE(m_system.Images().ChangeImageLibraryFile(path));
    EXPECT_EQ(m_system.Settings().GetImageLibraryFilename(), first);
    EXPECT_EQ(m_system.Images().GetLibraryImages().GetId(), firstRoot);
    EXPECT_EQ(m_system.Images().GetLibraryImages().GetChildren().size(), 1u);
  }
  EXPECT_TRUE(m_messages.empty());

  const std::string second = PathOf("second.ovl");
  const CUuid mark = WriteLibrary(second);
  ASSERT_TRUE(m_system.Images().ChangeImageLibraryFile(second));
  EXPECT_EQ(m_system.Settings().GetImageLibraryFilename(), second);
  EXPECT_NE(m_system.Images().GetLibraryImages().FindImage(mark), nullptr);
  EXPECT_NE(m_system.Images().GetLibraryImages().GetId(), firstRoot);
  CSystem next;
  next.Settings().LoadSettings();
  EXPECT_EQ(next.Settings().GetImageLibraryFilename(), second);
}

TEST_F(ImageLibraryTest, LoadFromFile_NamesTheImageAfterTheFileAndRefusesASecondPicture) {
  CImage picture(6, 3);
  picture.Fill(CColour::FromRgb(1, 2, 3));
  const std::string path = PathOf("brand logo.png");
  ASSERT_TRUE(picture.SavePng(path));
  CCCImage image;
  ASSERT_TRUE(image.LoadFromFile(path, kImageFormatPng));
  EXPECT_EQ(image.m_name, "brand logo");
  EXPECT_EQ(image.GetPixelWidth(), 6);
  EXPECT_EQ(image.GetBitmap().GetPixel(5, 2), CColour::FromRgb(1, 2, 3));
  EXPECT_FALSE(image.LoadFromFile(path, kImageFormatJpeg));
  EXPECT_EQ(image.m_format, kImageFormatJpeg);

  CCCImage none;
  EXPECT_FALSE(none.LoadFromFile(PathOf("missing.png"), kImageFormatPng));
  EXPECT_FALSE(none.LoadFromFile(m_dir.path().toStdString(), kImageFormatPng));
  EXPECT_FALSE(none.HasBitmap());
  EXPECT_TRUE(none.m_name.empty());

  // A copy keeps the id, the name, the format and the picture.
  const CCCImage copy(image);
  EXPECT_EQ(copy.GetId(), image.GetId());
  EXPECT_EQ(copy.m_name, "brand logo");
  EXPECT_EQ(copy.GetBitmap().GetPixel(0, 0), CColour::FromRgb(1, 2, 3));
}

}  // namespace
