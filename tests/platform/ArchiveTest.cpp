#include "platform/Archive.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "tests/platform/OtherProcesses.h"

using Bytes = std::vector<std::uint8_t>;
using namespace other_processes;

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
namespace fs = std::filesystem;

// The file at path holds bytes and its folder holds files names in all (the file's own names):
// no temporary file is left.
void ExpectOnlyFileHolds(const QTemporaryDir& dir, const std::string& path, const Bytes& bytes, int names = 1) {
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(path, back, nullptr));
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()), names);
}

struct stat StatOf(const std::string& path) {
  struct stat s {};
  EXPECT_EQ(::stat(path.c_str(), &s), 0) << path;
  return s;
}

// The user and group the cases of another user run as (when the tests run as root).
constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

struct SaveResult {
  bool saved = false;
  std::string error;
};

// Saves bytes at path as the user uid with the group gid and no other groups: in a child
// process that takes that user when the test runs as root, or directly when the test runs as
// that user. None when it runs as another user: the case then needs root.
std::optional<SaveResult> SaveAs(uid_t uid, gid_t gid, const std::string& path, const Bytes& bytes) {
  SaveResult result;
  if (::geteuid() == uid) {
    result.saved = WriteFileAtomically(path, bytes, &result.error);
    return result;
  }
  if (::geteuid() != 0) return std::nullopt;
  // The user's own data folder, where a save in place keeps the earlier bytes.
  char home[] = "/tmp/orvak-user-XXXXXX";
  if (!::mkdtemp(home) || ::chown(home, uid, gid) != 0) return std::nullopt;
  struct RemoveHome {
    const char* path;
    ~RemoveHome() { fs::remove_all(path); }
  } removeHome{home};
  int ends[2];
  if (::pipe(ends) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    std::string error = "the user could not be taken";
    char saved = 0;
    if (::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0) {
      SetUserDataRootForTests(home);
      saved = WriteFileAtomically(path, bytes, &error) ? 1 : 0;
    }
    const std::string answer = saved + error;
    [[maybe_unused]] const ssize_t sent = ::write(ends[1], answer.data(), answer.size());
    ::_exit(0);
  }
  ::close(ends[1]);
  std::string answer;
  char buffer[512];
  for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0) answer.append(buffer, std::size_t(n));
    else if (errno != EINTR) break;
  }
  ::close(ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (answer.empty()) return SaveResult{false, "the saving process gave no answer"};
  return SaveResult{answer[0] == 1, answer.substr(1)};
}

// The user a case runs as: nobody when the tests run as root, else the test's own.
uid_t CaseUser() { return ::geteuid() == 0 ? kNobody : ::geteuid(); }
gid_t CaseGroup() { return ::geteuid() == 0 ? kNogroup : ::getegid(); }

// What the flushes of a save met, in order: a folder or a file, its inode and permissions.
struct Flush {
  bool folder;
  ino_t inode;
  mode_t mode;
};
std::vector<Flush> g_flushes;
int RecordFlush(int fd) {
  struct stat s {};
  if (::fstat(fd, &s) == 0) g_flushes.push_back({S_ISDIR(s.st_mode), s.st_ino, mode_t(s.st_mode & 07777)});
  return ::fsync(fd);
}

}  // namespace

TEST(AtomicWrite, ReplacesFileAndLeavesNoTemporary) {
  QTemporaryDir dir;
  std::string path = dir.path().toStdString() + "/a.ovd";
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{1, 2, 3}, &error)) << error;
  const ino_t first = StatOf(path).st_ino;
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{4, 5}, &error)) << error;
  ExpectOnlyFileHolds(dir, path, Bytes{4, 5});
  // A new file took the old one's place: the rename is the rule.
  EXPECT_NE(StatOf(path).st_ino, first);
}

// The temporary file has the permissions, owner and group of the file it replaces by its first
// flush (a new file the usual ones); after the rename the folder is flushed too.
TEST(AtomicWrite, TemporaryHasTheFinalPermissionsAndTheFolderIsFlushedAfterTheRename) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9}, nullptr));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  g_flushes.clear();
  SetFileSyncForTests(RecordFlush);
  std::string error;
  const bool written = WriteFileAtomically(path, Bytes{1, 2}, &error);
  SetFileSyncForTests(nullptr);
  ASSERT_TRUE(written) << error;
  ASSERT_EQ(g_flushes.size(), 2u);
  EXPECT_FALSE(g_flushes[0].folder);
  EXPECT_EQ(g_flushes[0].mode, 0640u);
  EXPECT_EQ(g_flushes[0].inode, StatOf(path).st_ino);
  EXPECT_TRUE(g_flushes[1].folder);
  EXPECT_EQ(g_flushes[1].inode, StatOf(dir.path().toStdString()).st_ino);
  ExpectOnlyFileHolds(dir, path, Bytes{1, 2});
}

// A file the user may write in a folder the user may not: no temporary file can be made beside
// it, so it is written in place. A read-only file there is still refused, and a new file cannot
// be made.
TEST(AtomicWrite, WritableFileInAFolderNotWritableIsWrittenInPlace) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  const std::string path = folder + "/a.ovd";
  const std::string locked = folder + "/locked.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9, 9, 9, 9}, nullptr));
  ASSERT_TRUE(WriteFileAtomically(locked, Bytes{7}, nullptr));
  ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
  for (const std::string& p : {folder, path, locked}) ASSERT_EQ(::chown(p.c_str(), CaseUser(), CaseGroup()), 0);
  const ino_t inode = StatOf(path).st_ino;
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);

  for (const Bytes& bytes : {Bytes{1, 2, 3, 4, 5, 6}, Bytes{1, 2}}) {  // longer, then shorter
    const std::optional<SaveResult> save = SaveAs(CaseUser(), CaseGroup(), path, bytes);
    ASSERT_TRUE(save);
    EXPECT_TRUE(save->saved) << save->error;
    ExpectOnlyFileHolds(dir, path, bytes, 2);
    EXPECT_EQ(StatOf(path).st_ino, inode);
  }
  const std::optional<SaveResult> readOnly = SaveAs(CaseUser(), CaseGroup(), locked, Bytes{1});
  const std::optional<SaveResult> made = SaveAs(CaseUser(), CaseGroup(), folder + "/new.ovd", Bytes{1});
  ::chmod(folder.c_str(), 0755);
  ASSERT_TRUE(readOnly && made);
  EXPECT_FALSE(readOnly->saved);
  EXPECT_EQ(readOnly->error, "The file could not be written: the file is read-only");
  EXPECT_FALSE(made->saved);
  EXPECT_EQ(made->error, std::string("The file could not be created: ") + std::strerror(EACCES));
  ExpectOnlyFileHolds(dir, path, Bytes{1, 2}, 2);
}

// A file that has other names is written in place, so that every name shows the new bytes.
TEST(AtomicWrite, HardLinkedFileIsWrittenInPlaceForEveryName) {
  QTemporaryDir dir;
  const std::string one = dir.path().toStdString() + "/one.ovd";
  const std::string two = dir.path().toStdString() + "/two.ovd";
  ASSERT_TRUE(WriteFileAtomically(one, Bytes{9, 9}, nullptr));
  ASSERT_EQ(::link(one.c_str(), two.c_str()), 0);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(one, Bytes{1, 2, 3}, &error)) << error;
  ExpectOnlyFileHolds(dir, two, Bytes{1, 2, 3}, 2);
  EXPECT_EQ(StatOf(one).st_ino, StatOf(two).st_ino);
  EXPECT_EQ(StatOf(one).st_nlink, 2u);
}

// Two saves of one file in place at once (two instances of the program) take turns: the file
// ends as one of them wrote it, never cut short by the other.
TEST(AtomicWrite, SavesInPlaceAtOnceTakeTurns) {
  QTemporaryDir dir;
  const std::string one = dir.path().toStdString() + "/one.ovd";
  ASSERT_TRUE(WriteFileAtomically(one, Bytes{9}, nullptr));
  ASSERT_EQ(::link(one.c_str(), (dir.path().toStdString() + "/two.ovd").c_str()), 0);
  const Bytes longer(64 * 1024, 'a');
  const Bytes shorter(1024, 'b');
  // Each round both saves start together; the file is looked at once both are done.
  std::atomic<int> arrived{0};
  std::atomic<int> done{0};
  std::atomic<int> failures{0};
  int mixed = 0;
  constexpr int kRounds = 150;
  auto save = [&](const Bytes& bytes, bool looks) {
    for (int round = 0; round < kRounds; ++round) {
      ++arrived;
      while (arrived.load() < 2 * (round + 1)) std::this_thread::yield();
      if (!WriteFileAtomically(one, bytes, nullptr)) ++failures;
      ++done;
      while (done.load() < 2 * (round + 1)) std::this_thread::yield();
      Bytes back;
      if (looks && (!ReadWholeFile(one, back, nullptr) || (back != longer && back != shorter))) ++mixed;
    }
  };
  SetFileSyncForTests([](int) { return 0; });  // the turns are the point, not the disk
  std::thread first(save, std::cref(longer), true);
  std::thread second(save, std::cref(shorter), false);
  first.join();
  second.join();
  SetFileSyncForTests(nullptr);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(mixed, 0);
}

// Another user's file, or one of a group the user is not in, cannot be handed back to its owner
// and group by a user who is not root: it is written in place and stays theirs, in a shared
// sticky folder (where only the owner may rename over the file) and in an open folder alike.
// The user's own file there is saved through a temporary file as ever.
struct OwnerCase {
  const char* name;
  mode_t folderMode;
  uid_t uid;
  gid_t gid;
  bool inPlace;
  friend void PrintTo(const OwnerCase& c, std::ostream* os) { *os << c.name; }
};

class FileOwnerTest : public ::testing::TestWithParam<OwnerCase> {};

TEST_P(FileOwnerTest, FileWhoseOwnerCannotBeKeptIsWrittenInPlaceAndStaysTheirs) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may make another user's file";
  const OwnerCase& c = GetParam();
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  const std::string path = folder + "/shared.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Bytes{9, 9, 9}, nullptr));
  ASSERT_EQ(::chown(path.c_str(), c.uid, c.gid), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
  const ino_t inode = StatOf(path).st_ino;
  const std::optional<SaveResult> save = SaveAs(kNobody, kNogroup, path, Bytes{1, 2});
  ASSERT_TRUE(save);
  EXPECT_TRUE(save->saved) << save->error;
  ExpectOnlyFileHolds(dir, path, Bytes{1, 2});
  const struct stat after = StatOf(path);
  EXPECT_EQ(after.st_uid, c.uid);
  EXPECT_EQ(after.st_gid, c.gid);
  EXPECT_EQ(after.st_mode & 07777, 0666u);
  EXPECT_EQ(after.st_ino == inode, c.inPlace);
}

INSTANTIATE_TEST_SUITE_P(
    Owners, FileOwnerTest,
    ::testing::Values(OwnerCase{"RootsFileInAStickyFolder", 01777, 0, 0, true},
                      OwnerCase{"RootsFileInAnOpenFolder", 0777, 0, 0, true},
                      OwnerCase{"OwnFileOfAnotherGroup", 0777, kNobody, 0, true},
                      OwnerCase{"OwnFileInAStickyFolder", 01777, kNobody, kNogroup, false}),
    [](const ::testing::TestParamInfo<OwnerCase>& info) { return std::string(info.param.name); });

// Names of 249 to 255 bytes, whose temporary name would be longer than a file name may be: the
// temporary file takes a shortened name (cut at a character's start), and the save stays a
// rename. A new file of such a name is made.
TEST(AtomicWrite, NamesNearTheLongestAFolderTakesAreSaved) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  if (::pathconf(folder.c_str(), _PC_NAME_MAX) < 255) GTEST_SKIP() << "the folder takes shorter names";
  std::vector<std::string> names;
  for (std::size_t length = 249; length <= 255; ++length) names.push_back(std::string(length - 4, 'n') + ".ovd");
  std::string accented = "x";
  while (accented.size() < 249) accented += "\xC3\xA9";  // "é": the cut may not split it
  names.push_back(accented + ".ovd");
  for (const std::string& name : names) {
    SCOPED_TRACE(name.size());
    const std::string path = folder + "/" + name;
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, Bytes{9}, &error)) << error;
    const ino_t first = StatOf(path).st_ino;
    ASSERT_TRUE(WriteFileAtomically(path, Bytes{1, 2}, &error)) << error;
    ExpectOnlyFileHolds(dir, path, Bytes{1, 2});
    EXPECT_NE(StatOf(path).st_ino, first);
    ASSERT_EQ(::unlink(path.c_str()), 0);
  }
}

// A folder, a pipe or a device at the path is refused at once and left as it is: nothing is
// renamed over it and no pipe is waited on.
TEST(AtomicWrite, PathThatIsNoRegularFileIsRefusedAndKept) {
  QTemporaryDir dir;
  const std::string pipe = dir.path().toStdString() + "/pipe.ovd";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(pipe, Bytes{1}, &error));
  EXPECT_EQ(error, "The file could not be written: it is not a regular file");
  EXPECT_TRUE(fs::is_fifo(pipe));
  const std::string folder = dir.path().toStdString() + "/folder.ovd";
  ASSERT_TRUE(fs::create_directory(folder));
  EXPECT_FALSE(WriteFileAtomically(folder, Bytes{1}, &error));
  EXPECT_EQ(error, std::string("The file could not be written: ") + std::strerror(EISDIR));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(WriteFileAtomically("/dev/null", Bytes{1}, &error));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()), 2);
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

// Only a regular file of at most the size asked for is read whole: a pipe (whose open would
// wait for a writer for good) and a device (/dev/zero never ends) are refused before they are
// opened, a file larger than the bound before a byte is read, and one that claims no size as
// soon as it passes the bound. The archive's file load refuses pipes and devices alike.
TEST(WholeFileRead, OnlyARegularFileOfASaneSizeIsRead) {
  QTemporaryDir dir;
  const std::string pipe = dir.path().toStdString() + "/pipe.ovl";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  const std::string huge = dir.path().toStdString() + "/huge.ovl";
  {
    std::ofstream make(huge);
  }
  ASSERT_EQ(::truncate(huge.c_str(), off_t(kMaxWholeFileBytes) + 1), 0);  // a sparse file

  const std::string tooLarge = std::strerror(EFBIG);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {pipe, "Not a regular file"},
      {"/dev/zero", "Not a regular file"},
      {dir.path().toStdString(), std::strerror(EISDIR)},
      {huge, tooLarge}};
  for (const auto& [path, reason] : refused) {
    SCOPED_TRACE(path);
    Bytes bytes{1};
    std::string error;
    EXPECT_FALSE(ReadWholeFile(path, bytes, &error));
    EXPECT_EQ(error, reason);
  }
  std::string error;
  Bytes bytes;
  EXPECT_FALSE(ReadWholeFile("/proc/self/cmdline", bytes, &error, 4));
  EXPECT_EQ(error, tooLarge);
  ASSERT_TRUE(ReadWholeFile("/proc/self/cmdline", bytes, &error, 4096)) << error;

  for (const std::string& path : {pipe, std::string("/dev/zero")}) {
    EXPECT_EQ(CArchive::LoadFile(path, &error), nullptr);
    EXPECT_EQ(error, "Not a regular file");
  }
}

// The guarantees of a save hold whether the file is renamed into place or written in place (a
// file with a second name).
class SaveGuaranteeTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteFileAtomically(m_path, Bytes{9, 9}, nullptr));
    if (InPlace()) {
      ASSERT_EQ(::link(m_path.c_str(), (m_dir.path().toStdString() + "/other.ovd").c_str()), 0);
    }
  }
  static bool InPlace() { return GetParam(); }
  int Names() const { return InPlace() ? 2 : 1; }

  QTemporaryDir m_dir;
  const std::string m_path = m_dir.path().toStdString() + "/a.ovd";
};

TEST_P(SaveGuaranteeTest, WriterOpensTheWayTheFileAsks) {
  CAtomicFileWriter file(m_path);
  ASSERT_TRUE(file.Open(nullptr));
  EXPECT_EQ(file.WritesInPlace(), InPlace());
}

TEST_P(SaveGuaranteeTest, FailedFlushToDiskKeepsTheOriginalAndReportsIt) {
  SetFileSyncForTests([](int) {
    errno = EIO;
    return -1;
  });
  std::string error;
  const bool written = WriteFileAtomically(m_path, Bytes{1, 2, 3}, &error);
  SetFileSyncForTests(nullptr);
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("flushed to the disk"), std::string::npos) << error;
  ExpectOnlyFileHolds(m_dir, m_path, Bytes{9, 9}, Names());
}

// A file whose write permission is off is refused with the reason and kept as it was, by its
// mode alone: the system lets root write it, and the tests may run as root. Another user's
// file without any write bit is refused likewise.
TEST_P(SaveGuaranteeTest, ReadOnlyFileIsRefusedWithTheReasonAndKept) {
  for (const bool anothers : {false, true}) {
    SCOPED_TRACE(anothers);
    if (anothers && geteuid() != 0) continue;  // only root may give the file away
    if (anothers) {
      ASSERT_EQ(::chown(m_path.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(m_path.c_str(), 0444), 0);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(m_path, Bytes{1, 2, 3}, &error));
    EXPECT_EQ(error, "The file could not be written: the file is read-only");
    ExpectOnlyFileHolds(m_dir, m_path, Bytes{9, 9}, Names());
    EXPECT_EQ(StatOf(m_path).st_mode & 07777, 0444u);
  }
}

TEST_P(SaveGuaranteeTest, KeepsTheOwnerAndGroupOfTheFileReplaced) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  ASSERT_EQ(::chown(m_path.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(m_path.c_str(), 02640), 0);  // set-group-id: a change of owner would clear it
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(m_path, Bytes{1, 2}, &error)) << error;
  const struct stat saved = StatOf(m_path);
  EXPECT_EQ(saved.st_uid, 65534u);
  EXPECT_EQ(saved.st_gid, 65534u);
  EXPECT_EQ(saved.st_mode & 07777, 02640u);
  ExpectOnlyFileHolds(m_dir, m_path, Bytes{1, 2}, Names());
}

// A write past the process's file-size limit fails with the reason, keeps the original and
// leaves no temporary file, and the process goes on: also where SIGXFSZ would end it.
TEST_P(SaveGuaranteeTest, WritePastTheFileSizeLimitFailsAndKeepsTheOriginal) {
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
    CAtomicFileWriter file(m_path);
    std::string error;
    const bool opened = file.Open(&error);
    const bool first = opened && file.Write(piece.data(), piece.size(), &error);
    const bool second = first && file.Write(piece.data(), piece.size(), &error);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_TRUE(first) << error;
    EXPECT_FALSE(second);
    EXPECT_EQ(error, std::string("The file could not be written: ") + std::strerror(EFBIG));
    EXPECT_FALSE(file.Commit(nullptr));
    ExpectOnlyFileHolds(m_dir, m_path, Bytes{9, 9}, Names());
  }
  ::sigaction(SIGXFSZ, &before, nullptr);
}

TEST_P(SaveGuaranteeTest, WriterThatFailsOrIsDroppedLeavesTheOriginalAndNoTemporary) {
  {
    CAtomicFileWriter dropped(m_path);
    ASSERT_TRUE(dropped.Open(nullptr));
    ASSERT_TRUE(dropped.Write("abc", 3, nullptr));
  }
  CAtomicFileWriter unopened(m_path);
  std::string error;
  EXPECT_FALSE(unopened.Write("abc", 3, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(unopened.Commit(&error));
  ExpectOnlyFileHolds(m_dir, m_path, Bytes{9, 9}, Names());
}

INSTANTIATE_TEST_SUITE_P(Ways, SaveGuaranteeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "InPlace" : "Renamed");
                         });

TEST(AtomicWrite, KeepsThePermissionsOfTheFileReplacedAndReplacesALinksTarget) {
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

TEST(AtomicWrite, MissingFileReadFails) {
  Bytes b;
  std::string error;
  EXPECT_FALSE(ReadWholeFile("/nonexistent-folder/none.ovd", b, &error));
  EXPECT_FALSE(error.empty());
}

// --- Saves cut short ---

namespace {

std::size_t FilesIn(const QTemporaryDir& dir) {
  return std::size_t(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()));
}

}  // namespace

// A save killed before any one of its steps (a real process, killed for good) leaves the file
// with its old or its new bytes; a save written in place may leave a mix of them, and then the
// old bytes are kept, found and put back. What the killed saves leave beside the file and in
// the kept copies goes with the next save.
struct KilledSaveCase {
  const char* name;
  bool inPlace;
  std::size_t oldSize;
  std::size_t newSize;
  friend void PrintTo(const KilledSaveCase& c, std::ostream* os) { *os << c.name; }
};

class KilledSaveTest : public ::testing::TestWithParam<KilledSaveCase> {};

TEST_P(KilledSaveTest, AtEveryStepTheFileHoldsItsOldOrNewBytesOrTheOldOnesAreKept) {
  const KilledSaveCase& c = GetParam();
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  const Bytes old = Pattern(c.oldSize, 7), now = Pattern(c.newSize, 13);
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  if (c.inPlace) {
    ASSERT_EQ(::link(path.c_str(), (dir.path().toStdString() + "/b.ovd").c_str()), 0);
  }
  const std::size_t names = c.inPlace ? 2 : 1;
  int torn = 0, leftBeside = 0, finished = 0, step = 1;
  for (; step < 200; ++step) {
    SCOPED_TRACE(step);
    const bool killed = SaveKilledAtStep(path, now, step);
    if (FilesIn(dir) > names) ++leftBeside;
    Bytes back;
    ASSERT_TRUE(ReadWholeFile(path, back, nullptr));
    const std::vector<CKeptCopy> kept = FindKeptCopies(path);
    // A copy says its save reached the disk only when the file holds that save's bytes.
    if (!kept.empty() && kept[0].save == EKeptCopySave::Finished) {
      ++finished;
      EXPECT_EQ(back, now);
    } else if (!kept.empty()) {
      EXPECT_EQ(kept[0].save, EKeptCopySave::CutShort);
      // The copy is at the time of the save's last write: nothing else has written the file since.
      EXPECT_EQ(std::optional<std::int64_t>(kept[0].markedAt), kept[0].fileChangedAt);
    }
    if (back != old && back != now) {
      ++torn;
      ASSERT_EQ(kept.size(), 1u);
      EXPECT_EQ(kept[0].file, path);
      const Bytes mixed = back;
      std::string error;
      ASSERT_TRUE(PutKeptCopyBack(kept[0], &error)) << error;
      ASSERT_TRUE(ReadWholeFile(path, back, nullptr));
      EXPECT_EQ(back, old);
      // What the Put Back wrote over is a copy of its own, which this program's next save takes.
      const std::vector<CKeptCopy> replaced = FindKeptCopies();
      ASSERT_EQ(replaced.size(), 1u);
      EXPECT_EQ(replaced[0].save, EKeptCopySave::Replaced);
      EXPECT_TRUE(replaced[0].known);
      Bytes held;
      ASSERT_TRUE(ReadKeptCopyBytes(replaced[0], held, &error)) << error;
      EXPECT_EQ(held, mixed);
    } else if (back == old) {
      EXPECT_TRUE(kept.empty());  // a copy of the bytes the file holds is no copy to offer
    }
    if (!killed) {
      EXPECT_EQ(back, now);
      break;
    }
    // The next save takes away what the killed one left beside the file and in the copies.
    ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
    ASSERT_EQ(FilesIn(dir), names);
    ASSERT_TRUE(FindKeptCopies().empty());
  }
  EXPECT_GT(step, 8);
  if (c.inPlace) {
    EXPECT_GT(torn, 0);
    EXPECT_GT(finished, 0);
    EXPECT_EQ(leftBeside, 0);
  } else {
    EXPECT_EQ(torn, 0);
    EXPECT_GT(leftBeside, 0);
  }
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  ExpectOnlyFileHolds(dir, path, old, int(names));
  EXPECT_TRUE(FindKeptCopies().empty());
}

INSTANTIATE_TEST_SUITE_P(Saves, KilledSaveTest,
                         ::testing::Values(KilledSaveCase{"Renamed", false, 300000, 400000},
                                           KilledSaveCase{"InPlaceGrowing", true, 300000, 400000},
                                           KilledSaveCase{"InPlaceShrinking", true, 400000, 300000}),
                         [](const ::testing::TestParamInfo<KilledSaveCase>& info) { return std::string(info.param.name); });

namespace {
int g_release = -1;
bool g_released = false;
void ReleaseTheSave() {
  if (g_released) return;
  g_released = true;
  [[maybe_unused]] const ssize_t sent = ::write(g_release, "go", 1);
}
}  // namespace

// A read of a file that another process is writing in place waits for that save to end and
// reads the new file whole, not the new bytes' first half over the old ones.
TEST(AtomicWrite, AReadWaitsForASaveInPlaceOfAnotherProcessToEnd) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  const Bytes old = Pattern(200000, 7), now = Pattern(200000, 13);
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  ASSERT_EQ(::link(path.c_str(), (dir.path().toStdString() + "/b.ovd").c_str()), 0);
  int paused[2], release[2];
  ASSERT_EQ(::pipe(paused), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    CAtomicFileWriter file(path);
    bool saved = file.Open(nullptr) && file.Write(now.data(), now.size() / 2, nullptr);
    char go = 0;
    saved = saved && ::write(paused[1], "p", 1) == 1 && ::read(release[0], &go, 1) == 1;
    saved = saved && file.Write(now.data() + now.size() / 2, now.size() - now.size() / 2, nullptr) && file.Commit(nullptr);
    ::_exit(saved ? 0 : 1);
  }
  char mark = 0;
  ASSERT_EQ(::read(paused[0], &mark, 1), 1);  // the file is half new now
  g_release = release[1];
  g_released = false;
  SetReadWaitHookForTests(ReleaseTheSave);
  Bytes back;
  const bool read = ReadWholeFile(path, back, nullptr);
  SetReadWaitHookForTests(nullptr);
  ReleaseTheSave();  // when the read did not wait
  int status = 0;
  ::waitpid(child, &status, 0);
  for (int fd : {paused[0], paused[1], release[0], release[1]}) ::close(fd);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(read);
  EXPECT_TRUE(back == now) << "the read took a file that was neither old nor new";
}

// The next save of a file takes away the temporary files its own earlier saves left when they
// were cut short, and nothing else: not a file of the user's named like one, not another file's
// temporary, not the temporary of a save that still runs.
TEST(AtomicWrite, TheNextSaveRemovesOnlyTheTemporariesThatItsFileLeft) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/";
  const std::vector<std::string> left{"a.ovd.Xy12Zq.saving", "a.ovd.000000.saving"};
  const std::vector<std::string> kept{"a.ovd.backup", "a.ovd.Xy12Zq", "b.ovd.Xy12Zq.saving", "a.ovd.Xy1Zq.saving",
                                      "a.ovd.Live01.saving"};
  for (const std::string& name : left) ASSERT_TRUE(WriteFileAtomically(folder + name, Bytes{1}, nullptr));
  for (const std::string& name : kept) ASSERT_TRUE(WriteFileAtomically(folder + name, Bytes{2}, nullptr));
  const int live = ::open((folder + "a.ovd.Live01.saving").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);  // a save that still runs holds its temporary
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(folder + "a.ovd", Bytes{3}, &error)) << error;
  ::close(live);
  for (const std::string& name : left) EXPECT_FALSE(fs::exists(folder + name)) << name;
  for (const std::string& name : kept) EXPECT_TRUE(fs::exists(folder + name)) << name;
  EXPECT_EQ(FilesIn(dir), kept.size() + 1);
}

// A symbolic link in a folder that everybody may write and whose sticky bit is set is followed
// only when it belongs to the user saving or to the folder's owner: another user could have put
// it there to make root's save overwrite root's own file. Refused with the reason; the target
// stays as it was. A link of another user in a folder that is not shared is followed.
struct StickyLinkCase {
  const char* name;
  mode_t folderMode;
  uid_t folderOwner;
  uid_t linkOwner;
  bool followed;
  friend void PrintTo(const StickyLinkCase& c, std::ostream* os) { *os << c.name; }
};

class StickyLinkTest : public ::testing::TestWithParam<StickyLinkCase> {};

TEST_P(StickyLinkTest, ALinkInASharedFolderIsFollowedOnlyWhenItsOwnerMayBeTrusted) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may make another user's link";
  const StickyLinkCase& c = GetParam();
  QTemporaryDir dir;
  const std::string target = dir.path().toStdString() + "/roots.ovd";
  const std::string shared = dir.path().toStdString() + "/shared";
  ASSERT_TRUE(WriteFileAtomically(target, Bytes{9, 9}, nullptr));
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  ASSERT_TRUE(fs::create_directory(shared));
  ASSERT_EQ(::chown(shared.c_str(), c.folderOwner, c.folderOwner), 0);
  ASSERT_EQ(::chmod(shared.c_str(), c.folderMode), 0);
  const std::string link = shared + "/show.ovd";
  fs::create_symlink(target, link);
  ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
  std::string error;
  EXPECT_EQ(WriteFileAtomically(link, Bytes{1, 2, 3}, &error), c.followed) << error;
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(target, back, nullptr));
  EXPECT_EQ(back, c.followed ? (Bytes{1, 2, 3}) : (Bytes{9, 9}));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(std::distance(fs::directory_iterator(shared), fs::directory_iterator()), 1);
  if (!c.followed) {
    EXPECT_EQ(error, "The file could not be written: it is a link that another user made in a shared folder");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Links, StickyLinkTest,
    ::testing::Values(StickyLinkCase{"AnotherUsersLinkInASharedFolder", 01777, 0, kNobody, false},
                      StickyLinkCase{"TheSaversOwnLinkInASharedFolder", 01777, kNobody, 0, true},
                      StickyLinkCase{"TheFolderOwnersLinkInASharedFolder", 01777, kNobody, kNobody, true},
                      StickyLinkCase{"AnotherUsersLinkInAFolderWithoutTheStickyBit", 0777, 0, kNobody, true}),
    [](const ::testing::TestParamInfo<StickyLinkCase>& info) { return std::string(info.param.name); });
