// Pictures in the system file: a picture keeps the bytes it was read with through any number
// of saves, a new or changed one is encoded in its format, and bytes that are no picture of the
// record's format are never decoded and go back unchanged.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "core/file/ImageTree.h"
#include "core/support/SystemMessages.h"
#include "core/system/System.h"
#include "custom/CustomControls.h"
#include "platform/Archive.h"
#include "platform/Bitmap.h"
#include "tests/custom/CustomTestSupport.h"
#include "tests/support/FixedTick.h"
#include "tests/support/RecordingUi.h"

namespace {

Bytes ReadTestData(const std::string& name) {
  Bytes bytes;
  ReadWholeFile(std::string(std::getenv("ORVAK_TEST_DATA")) + "/images/" + name, bytes, nullptr);
  return bytes;
}

// A photograph-like picture: smooth fields with fine detail, which JPEG cannot keep exactly.
CImage MakePhoto(int w, int h, int seed) {
  CImage picture(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      picture.SetPixel(x, y, CColour::FromRgb(std::uint8_t(x * 5 + seed), std::uint8_t(y * 7 + ((x * y + seed) % 23)),
                                              std::uint8_t((x ^ y) * 9)));
  return picture;
}

CCCImage* MakeImage(const std::string& name, std::int32_t format, CImage picture) {
  auto* image = new CCCImage;
  image->m_name = name;
  image->m_format = format;
  image->SetBitmap(std::move(picture));
  return image;
}

Bytes Store(CSystem& s) {
  CArchive ar;
  EXPECT_TRUE(s.File().Serialize(ar));
  return ar.TakeData();
}

bool Read(CSystem& s, const Bytes& file, CRecordingUi& ui) {
  s.SetUiServices(&ui);
  CArchive in(file);
  return s.File().Serialize(in);
}

CCCImage* ImageAt(CSystem& s, std::size_t index) {
  return static_cast<CCCImage*>(s.Images().GetFileImages().GetChildren().at(index));
}

bool SamePixels(const CImage& a, const CImage& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

// The system file with one image record at its root, whose format and bytes the test gives.
Bytes FileWithImageRecord(std::int32_t format, const Bytes& data, CUuid* id = nullptr) {
  CSystem s;
  auto* image = new CCCImage;
  image->m_name = "picture";
  image->m_format = format;
  s.Images().GetFileImages().AddChild(image);
  if (id) *id = image->GetId();
  Bytes file = Store(s);
  // The record ends the image tree: its length word and its (empty) data come just before the
  // panel and snapshot counts.
  const std::size_t lengthAt = file.size() - 8 - 4;
  EXPECT_EQ(GetU32At(file, lengthAt), 0u);
  PutU32At(file, lengthAt, std::uint32_t(data.size()));
  file.insert(file.begin() + std::ptrdiff_t(lengthAt + 4), data.begin(), data.end());
  return file;
}

// Files stored twice compare byte for byte: the users' records are scrambled with a fixed key.
class PictureRecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterCustomControls(); }
  FixedTick m_tick{0x01020304};
};

TEST_F(PictureRecordsTest, SaveOpenSaveLoop_KeepsJpegAndPngBytesAndPixelsOfTheFirstOpen) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A JPEG file added from disk, and pictures made in the program in each format.
  const std::string jpegPath = dir.filePath("camera.jpg").toStdString();
  Bytes jpegFile;
  ASSERT_TRUE(EncodeBitmap(MakePhoto(40, 30, 3), BitmapFormat::Jpeg, jpegFile));
  ASSERT_TRUE(WriteFileAtomically(jpegPath, jpegFile, nullptr));
  CSystem s;
  auto* camera = new CCCImage;
  ASSERT_TRUE(camera->LoadFromFile(jpegPath, kImageFormatJpeg));
  EXPECT_EQ(camera->GetStoredBytes(), jpegFile);
  s.Images().GetFileImages().AddChild(camera);
  s.Images().GetFileImages().AddChild(MakeImage("photo", kImageFormatJpeg, MakePhoto(48, 32, 1)));
  s.Images().GetFileImages().AddChild(MakeImage("logo", kImageFormatPng, MakePhoto(24, 16, 2)));
  s.Images().GetFileImages().AddChild(MakeImage("tiles", kImageFormatBmp, MakePhoto(8, 8, 4)));

  const Bytes first = Store(s);
  CRecordingUi ui;
  auto opened = std::make_unique<CSystem>();
  ASSERT_TRUE(Read(*opened, first, ui));
  std::vector<CImage> firstOpen;
  for (std::size_t i = 0; i < 4; ++i) firstOpen.push_back(ImageAt(*opened, i)->GetBitmap());
  EXPECT_EQ(ImageAt(*opened, 0)->GetStoredBytes(), jpegFile);

  for (int generation = 1; generation <= 4; ++generation) {
    const Bytes saved = Store(*opened);
    EXPECT_EQ(FirstDifference(saved, first), -1) << "generation " << generation;
    auto next = std::make_unique<CSystem>();
    ASSERT_TRUE(Read(*next, saved, ui));
    for (std::size_t i = 0; i < 4; ++i) {
      ASSERT_TRUE(ImageAt(*next, i)->HasBitmap());
      EXPECT_TRUE(SamePixels(ImageAt(*next, i)->GetBitmap(), firstOpen[i])) << "generation " << generation << " image " << i;
    }
    opened = std::move(next);
  }
  EXPECT_TRUE(ui.FileErrors().empty());
}

TEST_F(PictureRecordsTest, ChangedPictureOrFormat_IsEncodedAfreshInTheRecordsFormat) {
  CSystem s;
  s.Images().GetFileImages().AddChild(MakeImage("photo", kImageFormatJpeg, MakePhoto(16, 12, 5)));
  s.Images().GetFileImages().AddChild(MakeImage("logo", kImageFormatPng, MakePhoto(16, 12, 6)));
  CSystem back;
  CRecordingUi ui;
  ASSERT_TRUE(Read(back, Store(s), ui));
  CCCImage* photo = ImageAt(back, 0);
  CCCImage* logo = ImageAt(back, 1);
  const CImage decodedPhoto = photo->GetBitmap();
  const Bytes photoBytes = photo->GetStoredBytes();

  // The photo is to be stored as PNG from now on: its decoded pixels, losslessly.
  photo->m_format = kImageFormatPng;
  const CImage replacement = MakePhoto(10, 10, 7);
  logo->SetBitmap(replacement);
  EXPECT_TRUE(logo->GetStoredBytes().empty());

  CSystem again;
  ASSERT_TRUE(Read(again, Store(back), ui));
  const Bytes& stored = ImageAt(again, 0)->GetStoredBytes();
  EXPECT_EQ(DetectBitmapFormat(stored.data(), stored.size()), BitmapFormat::Png);
  EXPECT_NE(stored, photoBytes);
  EXPECT_TRUE(SamePixels(ImageAt(again, 0)->GetBitmap(), decodedPhoto));
  EXPECT_TRUE(SamePixels(ImageAt(again, 1)->GetBitmap(), replacement));
  EXPECT_TRUE(ui.FileErrors().empty());
}

// Bytes that are no BMP, JPEG or PNG picture: other formats (damaged pictures that hung or
// over-read their decoders).
struct ForeignPicture {
  const char* name;
  std::int32_t format;
};

class ForeignPictureTest : public PictureRecordsTest, public ::testing::WithParamInterface<ForeignPicture> {};

TEST_P(ForeignPictureTest, IsNeverDecodedAndIsStoredBackUnchanged) {
  const Bytes data = ReadTestData(GetParam().name);
  ASSERT_FALSE(data.empty());
  CUuid id;
  const Bytes file = FileWithImageRecord(GetParam().format, data, &id);
  CSystem back;
  CRecordingUi ui;
  ASSERT_TRUE(Read(back, file, ui));
  ASSERT_EQ(ui.FileErrors().size(), 1u);
  EXPECT_EQ(ui.FileErrors()[0].first,
            "Error loading image\n\nThe picture \"picture\" of this file could not be read.\n"
            "It is kept as it is and shown without a picture.");
  CCCImage* image = back.Images().GetFileImages().FindImage(id);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->m_name, "picture");
  EXPECT_FALSE(image->HasBitmap());
  EXPECT_EQ(image->GetPixelWidth(), 0);
  EXPECT_EQ(image->GetStoredBytes(), data);
  EXPECT_EQ(FirstDifference(Store(back), file), -1);
}

INSTANTIATE_TEST_SUITE_P(Damaged, ForeignPictureTest,
                         ::testing::Values(ForeignPicture{"gif-hang.gif", kImageFormatPng},
                                           ForeignPicture{"gif-252-bytes-1.9GB.gif", kImageFormatNone},
                                           ForeignPicture{"exr-34-bytes-hang.exr", kImageFormatBmp},
                                           ForeignPicture{"exr-106-bytes-spin.exr", kImageFormatPng},
                                           ForeignPicture{"xpm-heap-overread.xpm", kImageFormatPng},
                                           ForeignPicture{"xpm-leak.xpm", kImageFormatJpeg}));

// A PNG whose header is sound and whose pixel data is damaged: the load's check passes it, the
// decode fails.
Bytes PngWithDamagedPixels() {
  Bytes png;
  EXPECT_TRUE(EncodeBitmap(MakePhoto(16, 16, 3), BitmapFormat::Png, png));
  const std::string idat = "IDAT";
  const auto at = std::search(png.begin(), png.end(), idat.begin(), idat.end());
  EXPECT_NE(at, png.end());
  for (auto p = at + 4; p < at + 12; ++p) *p ^= 0x5A;
  EXPECT_TRUE(CheckBitmap(png.data(), png.size(), nullptr));
  return png;
}

// Such a picture loads without a word, as its pixels are decoded when first used; when that
// decode fails the frame is told once (after the paint that asked for it), with the tree the
// picture is in, and the picture's bytes are kept as they were read.
class DamagedPixelsTest : public PictureRecordsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DamagedPixelsTest, FailedDecodeOnFirstUseIsToldOnce) {
  const bool library = GetParam();
  const Bytes png = PngWithDamagedPixels();
  CSystem s;
  CRecordingUi ui;
  CUuid id;
  if (library) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("lib.ovl").toStdString();
    CSystem other;
    other.Settings().SetImageLibraryFilename(path);
    auto* image = new CCCImage;
    image->m_format = kImageFormatPng;
    other.Images().GetLibraryImages().AddChild(new CCCImageDirectory("Logos"));
    static_cast<CCCImageDirectory*>(other.Images().GetLibraryImages().GetChildren()[0])->AddChild(image);
    id = image->GetId();
    ASSERT_TRUE(other.Images().SaveImageLibrary());
    Bytes file;
    ASSERT_TRUE(ReadWholeFile(path, file, nullptr));
    // The image's record ends the file with its length word (0).
    PutU32At(file, file.size() - 4, std::uint32_t(png.size()));
    file.insert(file.end(), png.begin(), png.end());
    ASSERT_TRUE(WriteFileAtomically(path, file, nullptr));
    s.SetUiServices(&ui);
    ASSERT_TRUE(s.Images().ChangeImageLibraryFile(path));
  } else {
    ASSERT_TRUE(Read(s, FileWithImageRecord(kImageFormatPng, png, &id), ui));
  }
  EXPECT_TRUE(ui.FileErrors().empty());
  EXPECT_TRUE(ui.MessageBoxes().empty());
  CCCImage* image = (library ? s.Images().GetLibraryImages() : s.Images().GetFileImages()).FindImage(id);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(ui.Count(FrameMsg::kImageNotDecoded), 0u);
  EXPECT_FALSE(image->HasBitmap());
  EXPECT_FALSE(image->HasBitmap());
  EXPECT_EQ(image->GetPixelWidth(), 0);
  ASSERT_EQ(ui.Count(FrameMsg::kImageNotDecoded), 1u);
  const std::vector<CSystemImages::CPictureNotice> notices = s.Images().TakePictureNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].caption, library ? "Image Library" : "File Error");
  EXPECT_EQ(notices[0].text, PicturesNotReadText(1, {image->m_name}, library));
  EXPECT_TRUE(s.Images().TakePictureNotices().empty());
  EXPECT_EQ(image->GetStoredBytes(), png);
}

INSTANTIATE_TEST_SUITE_P(Trees, DamagedPixelsTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Library" : "File");
                         });

// A BMP, JPEG or PNG picture is decoded as the file it is, whatever format its record names
// (none, an unknown one, or another of the three), and its bytes go back as they were read
// through any number of saves.
struct MisfiledPicture {
  const char* name;
  BitmapFormat data;     // the picture file the record holds
  std::int32_t format;   // the format the record names
};

class MisfiledPictureTest : public PictureRecordsTest, public ::testing::WithParamInterface<MisfiledPicture> {};

TEST_P(MisfiledPictureTest, IsDecodedAndStoredBackUnchanged) {
  const CImage photo = MakePhoto(8, 6, 2);
  Bytes data;
  ASSERT_TRUE(EncodeBitmap(photo, GetParam().data, data));
  CUuid id;
  const Bytes file = FileWithImageRecord(GetParam().format, data, &id);
  CSystem back;
  CRecordingUi ui;
  ASSERT_TRUE(Read(back, file, ui));
  EXPECT_TRUE(ui.FileErrors().empty());
  CCCImage* image = back.Images().GetFileImages().FindImage(id);
  ASSERT_NE(image, nullptr);
  ASSERT_TRUE(image->HasBitmap());
  EXPECT_EQ(image->GetPixelWidth(), 8);
  EXPECT_EQ(image->GetPixelHeight(), 6);
  if (GetParam().data != BitmapFormat::Jpeg) {
    EXPECT_TRUE(SamePixels(image->GetBitmap(), photo));
  }
  EXPECT_EQ(ui.Count(FrameMsg::kImageNotDecoded), 0u);
  const Bytes saved = Store(back);
  EXPECT_EQ(FirstDifference(saved, file), -1);
  CSystem again;
  ASSERT_TRUE(Read(again, saved, ui));
  EXPECT_EQ(again.Images().GetFileImages().FindImage(id)->GetStoredBytes(), data);
  EXPECT_EQ(FirstDifference(Store(again), file), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Records, MisfiledPictureTest,
    ::testing::Values(MisfiledPicture{"PngAsBmp", BitmapFormat::Png, kImageFormatBmp},
                      MisfiledPicture{"PngAsJpeg", BitmapFormat::Png, kImageFormatJpeg},
                      MisfiledPicture{"JpegAsPng", BitmapFormat::Jpeg, kImageFormatPng},
                      MisfiledPicture{"BmpAsJpeg", BitmapFormat::Bmp, kImageFormatJpeg},
                      MisfiledPicture{"JpegAsNone", BitmapFormat::Jpeg, kImageFormatNone},
                      MisfiledPicture{"JpegAsUnknown", BitmapFormat::Jpeg, 9}),
    [](const ::testing::TestParamInfo<MisfiledPicture>& info) { return std::string(info.param.name); });

TEST_F(PictureRecordsTest, SystemFileWithADamagedGif_OpensWithANoticeAndSavesItBack) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string path = dir.filePath("gif.ovd").toStdString();
  const Bytes original = ReadTestData("system-gif-hang.ovd");
  ASSERT_TRUE(WriteFileAtomically(path, original, nullptr));
  const Bytes gif = ReadTestData("gif-hang.gif");

  CSystem s;
  CRecordingUi ui;
  s.SetUiServices(&ui);
  ASSERT_TRUE(s.File().OpenFile(path));
  ASSERT_EQ(ui.FileErrors().size(), 1u);
  EXPECT_EQ(ui.FileErrors()[0].first.rfind(std::string(kImageLoadErrorText) + "\n\nThe picture ", 0), 0u);
  // The GIF's bytes stay in the file as they were.
  ASSERT_TRUE(s.File().SaveFile(path));
  Bytes saved;
  ASSERT_TRUE(ReadWholeFile(path, saved, nullptr));
  EXPECT_NE(std::search(saved.begin(), saved.end(), gif.begin(), gif.end()), saved.end());
}

}  // namespace

// --- Decoded pictures and their budget ---

// A file of pictures kept as bytes, as a file opens them: each a photograph side by side pixels
// stored as PNG, named "pic0", "pic1" ...
class PictureBudgetTest : public PictureRecordsTest {
 protected:
  void TearDown() override {
    SetDecodedPictureLimit(kDefaultDecodedPictureLimit);
    SetPictureMemoryLimitForTests(0);
  }
  void OpenPictures(int count, int side) {
    CSystem s;
    for (int i = 0; i < count; ++i)
      s.Images().GetFileImages().AddChild(MakeImage("pic" + std::to_string(i), kImageFormatPng, MakePhoto(side, side, i)));
    m_file = Store(s);
    ASSERT_TRUE(Read(m_system, m_file, m_ui));
  }
  static constexpr int kSide = 64;
  static constexpr std::size_t kEach = kSide * kSide * 4;
  Bytes m_file;
  CSystem m_system;
  CRecordingUi m_ui;
};

TEST_F(PictureBudgetTest, WalkedPicturesStayWithinTheBudgetAndComeBackTheSame) {
  OpenPictures(20, kSide);
  SetDecodedPictureLimit(3 * kEach);
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(SamePixels(ImageAt(m_system, std::size_t(i))->GetBitmap(), MakePhoto(kSide, kSide, i)));
    EXPECT_LE(GetDecodedPictureBytes(), 3 * kEach) << "after picture " << i;
  }
  CCCImage* first = ImageAt(m_system, 0);
  EXPECT_FALSE(first->IsDecoded());
  EXPECT_TRUE(ImageAt(m_system, 19)->IsDecoded());
  // A picture let go still has its picture and its size, told without decoding it.
  EXPECT_TRUE(first->HasBitmap());
  EXPECT_EQ(first->GetPixelWidth(), kSide);
  EXPECT_FALSE(first->IsDecoded());
  EXPECT_TRUE(SamePixels(first->GetBitmap(), MakePhoto(kSide, kSide, 0)));
  EXPECT_LE(GetDecodedPictureBytes(), 3 * kEach);
  EXPECT_FALSE(ImageAt(m_system, 17)->IsDecoded());
  EXPECT_TRUE(m_ui.FileErrors().empty());
  EXPECT_EQ(m_ui.Count(FrameMsg::kImageNotDecoded), 0u);
  EXPECT_EQ(FirstDifference(Store(m_system), m_file), -1);
}

TEST_F(PictureBudgetTest, PicturesAWindowHoldsStayBeyondTheBudgetUntilItLetsGo) {
  OpenPictures(6, kSide);
  SetDecodedPictureLimit(kEach);
  CPictureHold hold;
  {
    const CPictureUse use(hold);
    ImageAt(m_system, 0)->GetBitmap();
    ImageAt(m_system, 1)->GetBitmap();
  }
  EXPECT_EQ(hold.Count(), 2u);
  ImageAt(m_system, 2)->GetBitmap();
  ImageAt(m_system, 3)->GetBitmap();
  EXPECT_TRUE(ImageAt(m_system, 0)->IsDecoded());
  EXPECT_TRUE(ImageAt(m_system, 1)->IsDecoded());
  EXPECT_FALSE(ImageAt(m_system, 2)->IsDecoded());
  EXPECT_TRUE(ImageAt(m_system, 3)->IsDecoded());
  hold.Clear();
  ImageAt(m_system, 4)->GetBitmap();
  EXPECT_FALSE(ImageAt(m_system, 0)->IsDecoded());
  EXPECT_FALSE(ImageAt(m_system, 1)->IsDecoded());
  EXPECT_LE(GetDecodedPictureBytes(), kEach);
}

// A good picture that finds no memory is not damaged: the user hears of it once, as a want of
// memory, and its next use decodes it once there is memory.
TEST_F(PictureBudgetTest, ADecodeWithoutMemoryIsNotDamageAndIsTriedAgainAtTheNextUse) {
  OpenPictures(1, kSide);
  CCCImage* image = ImageAt(m_system, 0);
  SetPictureMemoryLimitForTests(1024);
  EXPECT_FALSE(image->HasBitmap());
  EXPECT_EQ(image->GetFault(), BitmapFault::NoMemory);
  EXPECT_FALSE(image->IsDamaged());
  EXPECT_TRUE(image->GetBitmap().IsNull());
  EXPECT_EQ(m_ui.Count(FrameMsg::kImageNotDecoded), 1u);
  const std::vector<CSystemImages::CPictureNotice> notices = m_system.Images().TakePictureNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].caption, "File Error");
  EXPECT_EQ(notices[0].text,
            "Error loading image\n\nThere was not enough memory to show the picture \"pic0\" of "
            "this file.\nIt is tried again when it is next shown.");

  SetPictureMemoryLimitForTests(0);
  EXPECT_TRUE(image->HasBitmap());
  EXPECT_TRUE(SamePixels(image->GetBitmap(), MakePhoto(kSide, kSide, 0)));
  EXPECT_EQ(image->GetFault(), BitmapFault::None);
  EXPECT_EQ(m_ui.Count(FrameMsg::kImageNotDecoded), 1u);
}

// The memory a picture needs taken away for real: an address space that holds the picture's
// own pixels but not the decoder's is told as a want of memory, not as damage. The picture is
// larger than the 64 MiB that an idle thread's malloc arena keeps in reserve.
TEST_F(PictureBudgetTest, ARealAllocationFailureIsToldAsNoMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators need address space of their own";
#endif
  CImage large(4500, 4000);
  large.Fill(CColour::FromArgb(200, 10, 120, 240));
  Bytes png;
  ASSERT_TRUE(EncodeBitmap(large, BitmapFormat::Png, png));
  large = CImage();
  // Room for the picture's 72 MB and a little more; the decoder's bitmap of as many does not fit.
  auto decodeWithoutRoom = [&png] {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t used = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE));
    const rlimit limit{used + (rlim_t(96) << 20), RLIM_INFINITY};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
    CImage out;
    BitmapFault fault = BitmapFault::None;
    std::string error;
    const bool decoded = DecodeBitmap(png.data(), png.size(), out, &error, &fault);
    if (decoded) std::_Exit(1);
    std::_Exit(fault != BitmapFault::NoMemory                    ? 10 + int(fault)
               : error == "out of memory while decoding picture" ? 0
                                                                 : 3);
  };
  EXPECT_EXIT(decodeWithoutRoom(), ::testing::ExitedWithCode(0), "");
}
