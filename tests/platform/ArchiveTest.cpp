#include "platform/Archive.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AtomicFile.h"

using Bytes = std::vector<std::uint8_t>;

TEST(Archive, WritesLittleEndianWordsAndFourByteBools) {
  CArchive ar;
  ar.WriteU8(0x12);
  ar.WriteU16(0x3456);
  ar.WriteU32(0x789ABCDE);
  ar.WriteBool(true);
  ar.WriteBool(false);
  EXPECT_EQ(ar.Data(), (Bytes{0x12, 0x56, 0x34, 0xDE, 0xBC, 0x9A, 0x78, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Archive, WideStringGoldenBytes) {
  CArchive ar;
  ar.WriteString("Main Zone");
  Bytes expected = {0xFF, 0xFE, 0xFF, 0x09, 'M', 0, 'a', 0, 'i', 0, 'n', 0, ' ', 0,
                    'Z',  0,    'o',  0,    'n', 0, 'e', 0};
  EXPECT_EQ(ar.Data(), expected);
}

TEST(Archive, StringLengthFormsRoundTrip) {
  for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(0xFE), std::size_t(0xFF),
                        std::size_t(0x1234), std::size_t(0xFFFD), std::size_t(0xFFFE), std::size_t(70000)}) {
    std::string text(n, 'x');
    CArchive out;
    out.WriteString(text);
    const Bytes& d = out.Data();
    if (n < 0xFF) {
      EXPECT_EQ(d.size(), 4 + 2 * n);
    } else if (n < 0xFFFE) {
      EXPECT_EQ(d[3], 0xFF);
      EXPECT_EQ(d.size(), 6 + 2 * n);
    } else {
      EXPECT_EQ(d[3], 0xFF);
      EXPECT_EQ(d[4], 0xFF);
      EXPECT_EQ(d[5], 0xFF);
      EXPECT_EQ(d.size(), 10 + 2 * n);
    }
    CArchive in(out.TakeData());
    EXPECT_EQ(in.ReadString(), text) << n;
    EXPECT_EQ(in.Remaining(), 0u);
  }
}

TEST(Archive, NonAsciiTextSurvivesUtf16) {
  CArchive out;
  out.WriteString("Zone \xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
  CArchive in(out.TakeData());
  EXPECT_EQ(in.ReadString(), "Zone \xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
}

TEST(Archive, ReadsNarrowCountedStrings) {
  CArchive in(Bytes{3, 'a', 'b', 0xE9, 0xFF, 0x02, 0x00, 'h', 'i'});
  EXPECT_EQ(in.ReadString(), "ab\xC3\xA9");
  EXPECT_EQ(in.ReadString(), "hi");
}

TEST(Archive, RoundTripsEveryType) {
  CArchive out;
  out << std::uint8_t(7) << std::uint16_t(65535) << std::uint32_t(0xFFFFFFFF) << std::int32_t(-5)
      << 1.5f << -2.25 << std::string("text");
  out.WriteU64(0x0102030405060708ull);
  out.WriteBool(true);
  CArchive in(out.TakeData());
  std::uint8_t a;
  std::uint16_t b;
  std::uint32_t c;
  std::int32_t d;
  float e;
  double f;
  std::string g;
  in >> a >> b >> c >> d >> e >> f >> g;
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 65535);
  EXPECT_EQ(c, 0xFFFFFFFFu);
  EXPECT_EQ(d, -5);
  EXPECT_EQ(e, 1.5f);
  EXPECT_EQ(f, -2.25);
  EXPECT_EQ(g, "text");
  EXPECT_EQ(in.ReadU64(), 0x0102030405060708ull);
  EXPECT_TRUE(in.ReadBool());
}

TEST(Archive, AnyNonZeroBoolReadsTrue) {
  CArchive in(Bytes{0, 1, 0, 0});
  EXPECT_TRUE(in.ReadBool());
}

TEST(Archive, ShortReadThrowsEndOfFile) {
  CArchive in(Bytes{1, 2, 3});
  try {
    in.ReadU32();
    FAIL() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::EndOfFile);
  }
}

TEST(Archive, OversizedStringLengthRefusedBeforeAllocation) {
  // Wide marker then a u32 length of 0x7FFFFFFF with two bytes of data behind it.
  CArchive in(Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0});
  try {
    in.ReadString();
    FAIL() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::BadCount);
  }
}

TEST(Archive, CheckCountComparesWithBytesLeft) {
  CArchive in(Bytes(8, 0));
  EXPECT_NO_THROW(in.CheckCount(2, 4));
  EXPECT_THROW(in.CheckCount(3, 4), CArchiveException);
  EXPECT_THROW(in.CheckCount(0xFFFFFFFFFFFFFFFFull, 16), CArchiveException);
}

TEST(Archive, StoreKeepsGrowingAcrossDataAndReserveAndHoldsOnlyWhatWasWritten) {
  CArchive ar;
  ar.Reserve(1 << 16);  // room only: nothing stored yet
  EXPECT_TRUE(ar.Data().empty());
  Bytes expected;
  for (std::uint32_t i = 0; i < 5000; ++i) {
    ar.WriteU16(std::uint16_t(i));
    expected.push_back(std::uint8_t(i));
    expected.push_back(std::uint8_t(i >> 8));
    if (i == 100) {
      EXPECT_EQ(ar.Data().size(), expected.size());  // a look in the middle
    }
  }
  const std::uint8_t block[3] = {7, 8, 9};
  ar.WriteBytes(block, 3);
  ar.WriteBytes(block, 0);
  expected.insert(expected.end(), block, block + 3);
  EXPECT_EQ(ar.Data(), expected);
  EXPECT_EQ(ar.TakeData(), expected);
}

TEST(Archive, SinkArchiveHandsOnTheBytesABufferedOneHoldsInBlocksAndLargePiecesWhole) {
  // Small writes past several blocks, a string, a piece larger than a block, and room written
  // in place: the sink sees the same bytes in the same order, no block over the block size
  // except the large piece, and the rest only at Flush.
  const Bytes large(CArchive::kSinkBlockBytes + 7, 0xAB);
  auto store = [&large](CArchive& ar) {
    for (std::uint32_t i = 0; i < 200000; ++i) ar.WriteU32(i * 2654435761u);
    ar.WriteString("Zone \xC3\xA9");
    ar.WriteBytes(large.data(), large.size());
    std::uint8_t* room = ar.WriteSpan(3);
    room[0] = 1, room[1] = 2, room[2] = 3;
  };
  CArchive buffered;
  store(buffered);
  Bytes sunk;
  std::vector<std::size_t> blocks;
  CArchive streamed([&](const std::uint8_t* data, std::size_t size) {
    sunk.insert(sunk.end(), data, data + size);
    blocks.push_back(size);
  });
  store(streamed);
  const std::size_t beforeFlush = sunk.size();
  streamed.Flush();
  EXPECT_GT(sunk.size(), beforeFlush);
  EXPECT_EQ(sunk, buffered.Data());
  ASSERT_GE(blocks.size(), 4u);
  EXPECT_EQ(std::count(blocks.begin(), blocks.end(), large.size()), 1);
  for (std::size_t size : blocks) EXPECT_TRUE(size <= CArchive::kSinkBlockBytes || size == large.size());

  // A sink that cannot take a block stops the store with its exception.
  CArchive failing([](const std::uint8_t*, std::size_t) {
    throw CArchiveException(CArchiveException::WriteFailed, "disk full");
  });
  EXPECT_THROW(for (int i = 0; i < 100000; ++i) failing.WriteU32(1), CArchiveException);
}

TEST(Archive, FileReadInPiecesGivesBackEveryByteAcrossThePieceEnds) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/pieces.ovd";
  Bytes bytes(3 * CArchive::kLoadBlockBytes + 1234);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 13 + (i >> 8));
  ASSERT_TRUE(WriteFileAtomically(path, bytes, nullptr));
  std::string error;
  EXPECT_EQ(CArchive::LoadFile(dir.path().toStdString() + "/none.ovd", &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(CArchive::LoadFile(dir.path().toStdString(), nullptr), nullptr);  // a folder

  const std::unique_ptr<CArchive> ar = CArchive::LoadFile(path, &error);
  ASSERT_NE(ar, nullptr) << error;
  EXPECT_EQ(ar->Remaining(), bytes.size());
  EXPECT_THROW(ar->CheckCount(bytes.size() + 1, 1), CArchiveException);
  // Words of every width read across the end of a piece, then a span longer than a piece.
  auto u32At = [&bytes](std::size_t at) {
    return std::uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t(bytes[at + 3]) << 24);
  };
  ar->Skip(CArchive::kLoadBlockBytes + CArchive::kRewindBytes - 3);
  std::size_t at = ar->Position();
  EXPECT_EQ(ar->ReadU32(), u32At(at));
  EXPECT_EQ(ar->ReadU16(), std::uint16_t(bytes[at + 4] | bytes[at + 5] << 8));
  ar->Rewind(at);
  EXPECT_EQ(ar->ReadU32(), u32At(at));
  const std::size_t span = CArchive::kLoadBlockBytes + 100;
  at = ar->Position();
  const std::uint8_t* p = ar->ReadSpan(span);
  EXPECT_TRUE(std::equal(p, p + span, bytes.begin() + std::ptrdiff_t(at)));
  // The piece now starts kRewindBytes before the span: back to there, and no further.
  EXPECT_THROW(ar->Rewind(at - CArchive::kRewindBytes - 1), CArchiveException);
  EXPECT_EQ(ar->Position(), at + span);
  ar->Rewind(at - CArchive::kRewindBytes);
  EXPECT_EQ(ar->ReadU32(), u32At(at - CArchive::kRewindBytes));
  ar->Skip(span + CArchive::kRewindBytes - 4);
  // The last bytes, then the end.
  ar->Skip(ar->Remaining() - 4);
  EXPECT_EQ(ar->ReadU32(), u32At(bytes.size() - 4));
  EXPECT_THROW(ar->ReadU8(), CArchiveException);
}

TEST(Archive, BulkReadIntoAVectorChecksWhatIsLeft) {
  CArchive in(Bytes{1, 2, 3, 4});
  Bytes out{9};
  in.ReadBytes(out, 3);
  EXPECT_EQ(out, (Bytes{1, 2, 3}));
  EXPECT_THROW(in.ReadBytes(out, 2), CArchiveException);
  EXPECT_EQ(in.ReadU8(), 4);
}

TEST(Archive, WrongDirectionIsRefused) {
  CArchive out;
  EXPECT_THROW(out.ReadU8(), CArchiveException);
  CArchive in(Bytes{1});
  EXPECT_THROW(in.WriteU8(1), CArchiveException);
}

namespace {
// The file at path holds bytes and is the only file in its folder: no temporary file is left.
void ExpectOnlyFileHolds(const QTemporaryDir& dir, const std::string& path, const Bytes& bytes) {
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(path, back, nullptr));
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path().toStdString()),
                          std::filesystem::directory_iterator()),
            1);
}
}  // namespace

TEST(AtomicWrite, ReplacesFileAndLeavesNoTemporary) {
  QTemporaryDir dir;
  std::string path = dir.path().toStdString() + "/a.ovd";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{1, 2, 3}, &error)) << error;
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{4, 5}, &error)) << error;
  ExpectOnlyFileHolds(dir, path, Bytes{4, 5});
}

TEST(AtomicWrite, ReadOnlyFolderLeavesOriginalIntact) {
  if (geteuid() == 0) {
    // root writes anywhere; use a path whose folder does not exist instead.
    std::string error;
    EXPECT_FALSE(WriteFileAtomically("/nonexistent-folder/x.ovd", Bytes{1}, &error));
    EXPECT_FALSE(error.empty());
    return;
  }
  QTemporaryDir dir;
  std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9, 9}, nullptr));
  std::filesystem::permissions(dir.path().toStdString(), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_exec);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(path, Bytes{1, 2, 3}, &error));
  std::filesystem::permissions(dir.path().toStdString(), std::filesystem::perms::owner_all);
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(path, back, nullptr));
  EXPECT_EQ(back, (Bytes{9, 9}));
}

TEST(AtomicWrite, WholeFileReadsBackLargeFilesExactly) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/big.ovd";
  Bytes bytes(300000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 7);
  ASSERT_TRUE(WriteFileAtomically(path, bytes, nullptr));
  EXPECT_EQ(GetFileSize(path), bytes.size());
  Bytes back{1, 2};
  ASSERT_TRUE(ReadWholeFile(path, back, nullptr));
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(GetFileSize(dir.path().toStdString() + "/none.ovd"), 0u);
  // Loaded by an archive.
  CArchive ar(back);
  EXPECT_EQ(ar.Remaining(), bytes.size());
  EXPECT_EQ(ar.ReadU32(), 0x150E0700u);
  EXPECT_EQ(ar.Data(), bytes);
  EXPECT_EQ(ar.ReadU8(), 28);
  EXPECT_THROW(ar.Rewind(ar.Position() + 1), CArchiveException);
  ar.Rewind(0);
  ar.Skip(bytes.size() - 1);
  EXPECT_EQ(ar.ReadU8(), std::uint8_t((bytes.size() - 1) * 7));
  EXPECT_THROW(ar.Skip(1), CArchiveException);
}

TEST(AtomicWrite, WholeFileReadsFilesThatClaimNoSizeToTheirEnd) {
  // Files under /proc report size 0 and still hold text: the read goes on to the real end.
  Bytes bytes;
  ASSERT_TRUE(ReadWholeFile("/proc/self/cmdline", bytes, nullptr));
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.back(), 0);
  std::string error;
  EXPECT_FALSE(ReadWholeFile("/nonexistent-folder/none.ovd", bytes, &error));
  EXPECT_FALSE(error.empty());
}

TEST(AtomicWrite, FailedFlushToDiskKeepsTheOriginalAndReportsIt) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9, 9}, nullptr));
  SetFileSyncForTests([](int) {
    errno = EIO;
    return -1;
  });
  std::string error;
  const bool written = WriteFileAtomically(path, Bytes{1, 2, 3}, &error);
  SetFileSyncForTests(nullptr);
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("flushed to the disk"), std::string::npos) << error;
  ExpectOnlyFileHolds(dir, path, Bytes{9, 9});
}

TEST(AtomicWrite, KeepsThePermissionsOfTheFileReplacedAndReplacesALinksTarget) {
  namespace fs = std::filesystem;
  QTemporaryDir dir;
  const std::string target = dir.path().toStdString() + "/target.ovd";
  const std::string link = dir.path().toStdString() + "/link.ovd";
  ASSERT_TRUE(WriteFileAtomically(target, Bytes{1}, nullptr));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(target, link);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(link, Bytes{2, 3}, &error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(target, back, nullptr));
  EXPECT_EQ(back, (Bytes{2, 3}));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()), 2);
}

// A file whose write permission is off is refused with the reason and kept as it was, by its
// mode alone: the system lets root write it, and the tests may run as root. Another user's
// file without any write bit is refused likewise.
TEST(AtomicWrite, ReadOnlyFileIsRefusedWithTheReasonAndKept) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  for (const bool anothers : {false, true}) {
    SCOPED_TRACE(anothers);
    if (anothers && geteuid() != 0) continue;  // only root may give the file away
    ASSERT_TRUE(WriteFileAtomically(path, Bytes{9, 9}, nullptr));
    if (anothers) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(path, Bytes{1, 2, 3}, &error));
    EXPECT_EQ(error, "The file could not be written: the file is read-only");
    ExpectOnlyFileHolds(dir, path, Bytes{9, 9});
    struct stat kept {};
    ASSERT_EQ(::stat(path.c_str(), &kept), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0444u);
    ASSERT_EQ(::unlink(path.c_str()), 0);
  }
}

TEST(AtomicWrite, KeepsTheOwnerAndGroupOfTheFileReplaced) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9}, nullptr));
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(path.c_str(), 02640), 0);  // set-group-id: a change of owner would clear it
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{1, 2}, &error)) << error;
  struct stat saved {};
  ASSERT_EQ(::stat(path.c_str(), &saved), 0);
  EXPECT_EQ(saved.st_uid, 65534u);
  EXPECT_EQ(saved.st_gid, 65534u);
  EXPECT_EQ(saved.st_mode & 07777, 02640u);
  ExpectOnlyFileHolds(dir, path, Bytes{1, 2});
}

// Links made in the folder before the save of "link.ovd": (name, target; "@" stands for the
// folder). The save makes "target.ovd" through them and keeps every link, or is refused when
// the links go round.
struct LinkCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>> links;
  bool made;
  friend void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }
};

class DanglingLinkTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(DanglingLinkTest, SaveMakesTheTargetAndKeepsTheLinks) {
  namespace fs = std::filesystem;
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  for (const auto& [name, target] : GetParam().links) {
    std::string to = target;
    if (to[0] == '@') to = folder + to.substr(1);
    fs::create_symlink(to, folder + "/" + name);
  }
  std::string error;
  EXPECT_EQ(WriteFileAtomically(folder + "/link.ovd", Bytes{2, 3}, &error), GetParam().made) << error;
  for (const auto& link : GetParam().links) EXPECT_TRUE(fs::is_symlink(folder + "/" + link.first)) << link.first;
  const std::size_t files = GetParam().links.size() + (GetParam().made ? 1 : 0);
  EXPECT_EQ(std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator())), files);
  if (!GetParam().made) {
    EXPECT_FALSE(error.empty());
    return;
  }
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(folder + "/target.ovd", back, nullptr));
  EXPECT_EQ(back, (Bytes{2, 3}));
}

INSTANTIATE_TEST_SUITE_P(
    Links, DanglingLinkTest,
    ::testing::Values(LinkCase{"Absolute", {{"link.ovd", "@/target.ovd"}}, true},
                      LinkCase{"Relative", {{"link.ovd", "target.ovd"}}, true},
                      LinkCase{"Chain", {{"link.ovd", "middle.ovd"}, {"middle.ovd", "@/./target.ovd"}}, true},
                      LinkCase{"Round", {{"link.ovd", "middle.ovd"}, {"middle.ovd", "link.ovd"}}, false}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// A write past the process's file-size limit fails with the reason, keeps the original and
// leaves no temporary file, and the process goes on: also where SIGXFSZ would end it.
TEST(AtomicWrite, WritePastTheFileSizeLimitFailsAndKeepsTheOriginal) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9, 9}, nullptr));
  struct sigaction before {};
  ASSERT_EQ(::sigaction(SIGXFSZ, nullptr, &before), 0);
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const Bytes piece(3000, 7);
  for (const bool ignored : {true, false}) {
    SCOPED_TRACE(ignored);
    if (ignored) {
      LetWritesPastTheFileSizeLimitFail();
    } else {
      std::signal(SIGXFSZ, SIG_DFL);
    }
    rlimit small = limit;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    CAtomicFileWriter file(path);
    std::string error;
    const bool opened = file.Open(&error);
    const bool first = opened && file.Write(piece.data(), piece.size(), &error);
    const bool second = first && file.Write(piece.data(), piece.size(), &error);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_TRUE(first) << error;
    EXPECT_FALSE(second);
    EXPECT_EQ(error, std::string("The file could not be written: ") + std::strerror(EFBIG));
    EXPECT_FALSE(file.Commit(nullptr));
    ExpectOnlyFileHolds(dir, path, Bytes{9, 9});
  }
  ::sigaction(SIGXFSZ, &before, nullptr);
}

TEST(AtomicWrite, WriterThatFailsOrIsDroppedLeavesTheOriginalAndNoTemporary) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9, 9}, nullptr));
  {
    CAtomicFileWriter dropped(path);
    ASSERT_TRUE(dropped.Open(nullptr));
    ASSERT_TRUE(dropped.Write("abc", 3, nullptr));
  }
  CAtomicFileWriter unopened(path);
  std::string error;
  EXPECT_FALSE(unopened.Write("abc", 3, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(unopened.Commit(&error));
  ExpectOnlyFileHolds(dir, path, Bytes{9, 9});
}

TEST(AtomicWrite, MissingFileReadFails) {
  Bytes b;
  std::string error;
  EXPECT_FALSE(ReadWholeFile("/nonexistent-folder/none.ovd", b, &error));
  EXPECT_FALSE(error.empty());
}
