// Kept copies: what saves in place leave when they are cut short, as it is read, checked,
// found, put back, set aside and retired; made by real processes killed at their steps, beside
// other processes that save the file or hold a copy's lock, with bits flipped in the copies.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Archive.h"
#include "platform/AtomicFile.h"
#include "tests/platform/OtherProcesses.h"

using namespace other_processes;
namespace fs = std::filesystem;

namespace {

// Leaves the file at path as a save in place of bytes cut short leaves it: another name given
// to the file so that the save goes in place, the first half of bytes written over it, the
// process gone without its commit; that other name then removed again when asked, so that the
// file's next save goes by the rename. The copy of the file's earlier bytes it left.
CKeptCopy LeaveATornSave(const std::string& path, const Bytes& bytes, bool removeOtherName) {
  const std::string other = path + ".link";
  EXPECT_EQ(::link(path.c_str(), other.c_str()), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    CAtomicFileWriter file(path);
    ::_exit(file.Open(nullptr) && file.Write(bytes.data(), bytes.size() / 2, nullptr) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  if (removeOtherName) ::unlink(other.c_str());
  const std::vector<CKeptCopy> kept = FindKeptCopies(path);
  EXPECT_EQ(kept.size(), 1u);
  return kept.empty() ? CKeptCopy{} : kept[0];
}

void FlipBit(const std::string& path, std::uint64_t offset, std::uint8_t bit = 0x10) {
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekg(std::streamoff(offset));
  const char c = char(file.get() ^ bit);
  file.seekp(std::streamoff(offset));
  file.put(c);
}

// Where the earlier bytes of a copy that a save makes start: after the 8-byte mark, their
// length, when the copy was made, the path's length and the path.
std::uint64_t DataStartOf(const CKeptCopy& kept) { return 8 + 8 + 8 + 4 + kept.file.size(); }

Bytes FileBytes(const std::string& path) {
  Bytes bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes, nullptr)) << path;
  return bytes;
}

// After a Put Back: the one copy left holds what the file held before it, marked so.
void ExpectOnlyWhatThePutBackReplacedKept(const Bytes& replaced) {
  const std::vector<CKeptCopy> left = FindKeptCopies();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].save, EKeptCopySave::Replaced);
  EXPECT_EQ(left[0].damage, EKeptCopyDamage::None);
  Bytes held;
  ASSERT_TRUE(ReadKeptCopyBytes(left[0], held));
  EXPECT_EQ(held, replaced);
}

}  // namespace


// A save of the file that another process makes by the rename, whole, leaves the copy that a
// save in place cut short left when it does not know of it, and once the file is in place (not
// before) marks it as overtaken by that whole save; the same save made by this program after
// the person was told of the copy (released: a child of this process knows what it knows)
// takes it away once the file is in place. Killed at any of its steps, the file holds the new
// bytes, or the copy is still there, its save cut short, to be put back.
class WholeSaveOverACopyTest : public ::testing::TestWithParam<bool> {};

TEST_P(WholeSaveOverACopyTest, ActsOnTheCopyOnlyOnceTheFileIsInPlace) {
  const bool known = GetParam();
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  const Bytes old = Pattern(300000, 7), now = Pattern(400000, 13), later = Pattern(350000, 17);
  int step = 1;
  for (; step < 100; ++step) {
    SCOPED_TRACE(step);
    ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
    ASSERT_TRUE(FindKeptCopies().empty());
    const CKeptCopy torn = LeaveATornSave(path, now, true);
    if (known) {
      ASSERT_TRUE(ReleaseKeptCopy(torn));
    }
    const bool killed = SaveKilledAtStep(path, later, step);
    const std::vector<CKeptCopy> kept = FindKeptCopies(path);
    const Bytes back = FileBytes(path);
    if (back != later) {
      ASSERT_TRUE(killed);
      ASSERT_EQ(kept.size(), 1u);
      EXPECT_EQ(kept[0].save, EKeptCopySave::CutShort);
    } else if (!kept.empty() && kept[0].save == EKeptCopySave::SavedOver) {
      EXPECT_FALSE(known);
      ASSERT_TRUE(kept[0].fileChangedAt);
      EXPECT_GE(kept[0].markedAt, *kept[0].fileChangedAt);
    }
    if (!killed) {
      EXPECT_EQ(back, later);
      ASSERT_EQ(kept.size(), known ? 0u : 1u);
      if (!known) {
        EXPECT_EQ(kept[0].save, EKeptCopySave::SavedOver);
        ASSERT_TRUE(PutKeptCopyBack(kept[0], nullptr));
        EXPECT_EQ(FileBytes(path), old);
        ExpectOnlyWhatThePutBackReplacedKept(later);
      }
      break;
    }
    for (const CKeptCopy& copy : kept) DiscardKeptCopy(copy);
  }
  EXPECT_GT(step, 4);
}

INSTANTIATE_TEST_SUITE_P(Renamed, WholeSaveOverACopyTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "KnowingOfTheCopy" : "NotKnowingOfIt");
                         });

// A copy the person chose to keep stays through every save of its file, by the rename or in
// place, and goes with the first save of this program after it was released.
TEST(KeptCopies, ACopySetAsideStaysThroughSavesOfItsFileUntilReleased) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  const Bytes old = Pattern(200000, 7);
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  const CKeptCopy kept = LeaveATornSave(path, Pattern(200000, 13), false);
  EXPECT_FALSE(kept.setAside);
  ASSERT_TRUE(SetKeptCopyAside(kept));
  ASSERT_TRUE(SaveInAnotherProcess(path, Pattern(1000, 3)));  // in place: two names
  ASSERT_EQ(::unlink((path + ".link").c_str()), 0);
  ASSERT_TRUE(SaveInAnotherProcess(path, Pattern(2000, 5)));  // by the rename
  std::vector<CKeptCopy> found = FindKeptCopies(path);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(found[0].setAside);
  ASSERT_TRUE(ReleaseKeptCopy(found[0]));
  EXPECT_FALSE(FindKeptCopies(path).at(0).setAside);
  ASSERT_TRUE(WriteFileAtomically(path, Pattern(3000, 5), nullptr));
  EXPECT_TRUE(FindKeptCopies().empty());
}

// A copy whose bytes no longer match their check word, one bit changed anywhere, is found as
// damaged and kept: it is not put back over its file, and it can be saved under another name
// as it stands.
struct DamagedCopyCase {
  std::size_t size;
  std::size_t flipped;  // the earlier byte whose bit is changed
};

class DamagedCopyTest : public ::testing::TestWithParam<DamagedCopyCase> {};

TEST_P(DamagedCopyTest, IsFoundDamagedAndKept) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  const Bytes old = Pattern(GetParam().size, 7);
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  const CKeptCopy kept = LeaveATornSave(path, Pattern(GetParam().size + 10, 13), true);
  EXPECT_EQ(kept.damage, EKeptCopyDamage::None);
  const Bytes torn = FileBytes(path);
  FlipBit(kept.copy, DataStartOf(kept) + GetParam().flipped);
  for (int again = 0; again < 2; ++again) {
    const std::vector<CKeptCopy> found = FindKeptCopies(path);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].damage, EKeptCopyDamage::Bytes);
  }
  std::string error;
  EXPECT_FALSE(PutKeptCopyBack(kept, &error));
  EXPECT_EQ(error, "The kept copy is damaged: its bytes do not match their check word");
  EXPECT_EQ(FileBytes(path), torn);
  const std::string elsewhere = dir.path().toStdString() + "/as it was.ovd";
  ASSERT_TRUE(SaveKeptCopyAs(kept, elsewhere, &error)) << error;
  Bytes expected = old;
  expected[GetParam().flipped] ^= 0x10;
  EXPECT_EQ(FileBytes(elsewhere), expected);
  EXPECT_TRUE(FindKeptCopies().empty());
}

INSTANTIATE_TEST_SUITE_P(Bits, DamagedCopyTest,
                         ::testing::Values(DamagedCopyCase{1, 0}, DamagedCopyCase{31, 30}, DamagedCopyCase{32, 0},
                                           DamagedCopyCase{33, 32}, DamagedCopyCase{100000, 50000},
                                           DamagedCopyCase{(1 << 20) + 7, 1 << 20}, DamagedCopyCase{(1 << 20) + 7, 3}));

// A copy whose file's folder is gone cannot be put back, and is saved under another name as a
// plain file instead; found also by its own path, as a person given that path would name it.
// The kept-copies folder itself takes no such file.
TEST(KeptCopies, ACopyWhoseFolderIsGoneIsSavedAsAPlainFileElsewhere) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString() + "/show";
  ASSERT_TRUE(fs::create_directory(folder));
  const std::string path = folder + "/f.ovd";
  const Bytes old = Pattern(70000, 7);
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  const CKeptCopy kept = LeaveATornSave(path, Pattern(80000, 13), true);
  fs::remove_all(folder);
  std::vector<CKeptCopy> found = FindKeptCopies();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_FALSE(found[0].fileChangedAt);
  std::string error;
  EXPECT_FALSE(PutKeptCopyBack(kept, &error));
  EXPECT_EQ(error, std::string("The file could not be written: ") + std::strerror(ENOENT));
  const std::optional<CKeptCopy> byItsPath = FindKeptCopyAt(kept.copy);
  ASSERT_TRUE(byItsPath);
  EXPECT_EQ(byItsPath->file, path);
  EXPECT_FALSE(FindKeptCopyAt(path));
  EXPECT_FALSE(SaveKeptCopyAs(kept, GetKeptCopyFolder() + "f.ovd", &error));
  EXPECT_EQ(error, "The file could not be written: choose a folder other than that of the kept copies");
  const std::string elsewhere = dir.path().toStdString() + "/f.ovd";
  ASSERT_TRUE(SaveKeptCopyAs(*byItsPath, elsewhere, &error)) << error;
  EXPECT_EQ(FileBytes(elsewhere), old);
  EXPECT_TRUE(FindKeptCopies().empty());
}

// Copies made before saves took their check word eight bytes at a time (the first form, with a
// word taken a byte at a time) are still checked by their own word and put back.
TEST(KeptCopies, CopiesOfTheFirstFormAreCheckedByTheirOwnWordAndPutBack) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Pattern(500, 3), nullptr));
  const Bytes old = Pattern(100000, 7);
  Bytes copy = {'O', 'V', 'K', 'E', 'P', 'T', '0', '1'};
  auto put = [&copy](std::uint64_t word, int bytes) {
    for (int i = 0; i < bytes; ++i) copy.push_back(std::uint8_t(word >> (8 * i)));
  };
  put(path.size(), 4);
  copy.insert(copy.end(), path.begin(), path.end());
  put(old.size(), 8);
  copy.insert(copy.end(), old.begin(), old.end());
  std::uint64_t word = 0xCBF29CE484222325ull;
  for (const std::uint8_t b : old) word = (word ^ b) * 0x100000001B3ull;
  put(word, 8);
  const std::string at = GetKeptCopyFolder() + "a.ovd.Abc123.kept";
  for (const bool damaged : {true, false}) {
    SCOPED_TRACE(damaged);
    {
      std::ofstream out(at, std::ios::binary);
      out.write(reinterpret_cast<const char*>(copy.data()), std::streamsize(copy.size()));
    }
    if (damaged) FlipBit(at, copy.size() - 8 - 1000);
    const std::vector<CKeptCopy> found = FindKeptCopies(path);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].damage, damaged ? EKeptCopyDamage::Bytes : EKeptCopyDamage::None);
    EXPECT_EQ(found[0].save, EKeptCopySave::Untold);
    std::string error;
    EXPECT_EQ(PutKeptCopyBack(found[0], &error), !damaged) << error;
  }
  EXPECT_EQ(FileBytes(path), old);
  ExpectOnlyWhatThePutBackReplacedKept(Pattern(500, 3));
}

// --- The forms on the disk ---

namespace {

void PutLittleEndian(Bytes& out, std::uint64_t word, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(word >> (8 * i)));
}

// A copy of the second form, as earlier versions made it, of bytes for the file at path.
Bytes SecondFormCopy(const std::string& path, const Bytes& bytes, std::uint64_t word) {
  Bytes copy = {'O', 'V', 'K', 'E', 'P', 'T', '0', '2'};
  PutLittleEndian(copy, path.size(), 4);
  copy.insert(copy.end(), path.begin(), path.end());
  PutLittleEndian(copy, bytes.size(), 8);
  copy.insert(copy.end(), bytes.begin(), bytes.end());
  PutLittleEndian(copy, word, 8);
  return copy;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// 256 bytes 0 to 255 four times, and "Orvak".
Bytes CountedBytes() {
  Bytes bytes;
  for (int i = 0; i < 1024; ++i) bytes.push_back(std::uint8_t(i));
  for (const char c : std::string("Orvak")) bytes.push_back(std::uint8_t(c));
  return bytes;
}

}  // namespace

// The check word of the second and third forms is the 64-bit xxHash of the bytes (seed 0): the
// words below come from another implementation of that hash. A copy of the second form that
// carries them is sound and put back; one word off, it is damaged.
struct KnownWordCase {
  const char* name;
  Bytes bytes;
  std::uint64_t word;
  friend void PrintTo(const KnownWordCase& c, std::ostream* os) { *os << c.name; }
};

class KnownWordTest : public ::testing::TestWithParam<KnownWordCase> {};

TEST_P(KnownWordTest, ACopyOfTheSecondFormCarryingItIsSoundAndPutBack) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Pattern(500, 3), nullptr));
  const std::string at = GetKeptCopyFolder() + "a.ovd.Wrd123.kept";
  for (const std::uint64_t off : {1u, 0u}) {
    SCOPED_TRACE(off);
    WriteBytes(at, SecondFormCopy(path, GetParam().bytes, GetParam().word + off));
    const std::vector<CKeptCopy> found = FindKeptCopies(path);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].damage, off ? EKeptCopyDamage::Bytes : EKeptCopyDamage::None);
    EXPECT_EQ(found[0].size, GetParam().bytes.size());
    EXPECT_EQ(PutKeptCopyBack(found[0], nullptr), off == 0);
  }
  EXPECT_EQ(FileBytes(path), GetParam().bytes);
  ExpectOnlyWhatThePutBackReplacedKept(Pattern(500, 3));
}

INSTANTIATE_TEST_SUITE_P(
    XxHash, KnownWordTest,
    ::testing::Values(KnownWordCase{"Abc", Text("abc"), 0x44BC2CF5AD770999ull},
                      KnownWordCase{"FortySeven",
                                    [] {
                                      Bytes b;
                                      for (int i = 0; i < 47; ++i) b.push_back(std::uint8_t(i * 7 + 3));
                                      return b;
                                    }(),
                                    0xA7C5465CC5AD205Eull},
                      KnownWordCase{"Counted", CountedBytes(), 0x8CB697C51AFB51C4ull}),
    [](const ::testing::TestParamInfo<KnownWordCase>& info) { return std::string(info.param.name); });

// A copy of the third form, as saves make it now, byte for byte: its start, its earlier bytes,
// the words of both and the mark of a save cut short. It is read as sound, made when it says,
// and its earlier bytes are saved elsewhere exactly (its file's folder is not there).
TEST(KeptCopies, ACopyOfTheThirdFormIsReadAsItsBytesSay) {
  const std::string path = "/orvak-nowhere/golden/show.ovd";
  const Bytes bytes = CountedBytes();
  Bytes copy = Text("OVKEPT03");
  PutLittleEndian(copy, bytes.size(), 8);
  PutLittleEndian(copy, 1800000000123456789ull, 8);
  PutLittleEndian(copy, path.size(), 4);
  copy.insert(copy.end(), path.begin(), path.end());
  copy.insert(copy.end(), bytes.begin(), bytes.end());
  PutLittleEndian(copy, 0x10BC8D1D7DB99C96ull, 8);  // the start's word
  PutLittleEndian(copy, 0x8CB697C51AFB51C4ull, 8);  // the earlier bytes' word
  const Bytes underWay = Text("UNDERWAY");
  copy.insert(copy.end(), underWay.begin(), underWay.end());
  WriteBytes(GetKeptCopyFolder() + "show.ovd.Gld123.keptcopy", copy);

  const std::vector<CKeptCopy> found = FindKeptCopies();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].damage, EKeptCopyDamage::None);
  EXPECT_EQ(found[0].save, EKeptCopySave::CutShort);
  EXPECT_EQ(found[0].file, path);
  EXPECT_EQ(found[0].size, bytes.size());
  EXPECT_EQ(found[0].keptAt, 1800000000123456789ll);
  EXPECT_FALSE(found[0].fileChangedAt);
  QTemporaryDir dir;
  const std::string elsewhere = dir.path().toStdString() + "/show.ovd";
  ASSERT_TRUE(SaveKeptCopyAs(found[0], elsewhere, nullptr));
  EXPECT_EQ(FileBytes(elsewhere), bytes);
  EXPECT_TRUE(FindKeptCopies().empty());
}

// A save in place names its copy "<file's name>.<six letters or digits>.keptcopy" and starts it
// with the third form's mark: earlier versions look only at names that end in ".kept" (and
// remove each of those whose start they cannot read), so they leave it alone.
TEST(KeptCopies, ACopyASaveMakesHasANameEarlierVersionsLeaveAlone) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Pattern(5000, 7), nullptr));
  const std::string copy = LeaveATornSave(path, Pattern(6000, 13), true).copy;
  const std::string name = copy.substr(copy.find_last_of('/') + 1);
  ASSERT_EQ(name.size(), std::string("a.ovd.").size() + 6 + std::string(".keptcopy").size()) << name;
  EXPECT_EQ(name.substr(0, 6), "a.ovd.");
  EXPECT_TRUE(std::all_of(name.begin() + 6, name.begin() + 12, [](char c) { return std::isalnum((unsigned char)c) != 0; }));
  EXPECT_EQ(name.substr(12), ".keptcopy");
  const Bytes bytes = FileBytes(copy);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 8), Text("OVKEPT03"));
  EXPECT_EQ(Bytes(bytes.end() - 8, bytes.end()), Text("UNDERWAY"));
  DiscardKeptCopy(FindKeptCopies().at(0));
}

// One bit flipped anywhere in a copy's start or in the words and mark after its earlier bytes:
// the copy is never removed for it, by the sweeps of the start, of an opened file or of saves of
// its file and of others; it is found damaged (or, for the mark alone, as a copy whose mark is
// damaged), never put back over its file when damaged, and its earlier bytes are saved
// elsewhere exactly. A copy of the second form, as earlier versions made it, reads the same;
// its path, which its word does not cover, flipped in the file's name disagrees with the copy's
// own name, and flipped in a folder's names a folder that is not there: damaged either way,
// never put back into another file.
struct StartFlipCase {
  int form;          // 3: made by a save; 2: an earlier version's
  const char* part;  // "start": from the first byte; "path": in the path (-1: its last byte);
                     // "length": after the path; "end": from the words after the earlier bytes
  int index;
  std::uint8_t bit;
  EKeptCopyDamage damage;
};

void PrintTo(const StartFlipCase& c, std::ostream* os) {
  *os << "form" << c.form << "_" << c.part << "_" << c.index << "_bit" << int(c.bit);
}

class StartFlipTest : public ::testing::TestWithParam<StartFlipCase> {};

TEST_P(StartFlipTest, TheCopyIsKeptFoundAndItsBytesSavedElsewhere) {
  const StartFlipCase& c = GetParam();
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  const Bytes old = c.form == 3 ? Pattern(70000, 7) : CountedBytes();
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  std::string copy;
  std::uint64_t pathAt = 0, endAt = 0;
  if (c.form == 3) {
    copy = LeaveATornSave(path, Pattern(80000, 13), true).copy;
    pathAt = 28;
    endAt = fs::file_size(copy) - 24;
  } else {
    ASSERT_TRUE(WriteFileAtomically(path, Pattern(900, 13), nullptr));
    copy = GetKeptCopyFolder() + "a.ovd.Old123.kept";
    WriteBytes(copy, SecondFormCopy(path, old, 0x8CB697C51AFB51C4ull));
    pathAt = 12;
    endAt = fs::file_size(copy) - 8;
  }
  const Bytes torn = FileBytes(path);
  const std::string part = c.part;
  const std::uint64_t at = part == "start"    ? std::uint64_t(c.index)
                           : part == "end"    ? endAt + std::uint64_t(c.index)
                           : part == "length" ? pathAt + path.size() + std::uint64_t(c.index)
                                              : pathAt + (c.index < 0 ? path.size() - 1 : std::uint64_t(c.index));
  FlipBit(copy, at, c.bit);

  for (int sweep = 0; sweep < 4; ++sweep) {
    SCOPED_TRACE(sweep);
    if (sweep == 1) {  // its file, whole, by another instance
      ASSERT_TRUE(SaveInAnotherProcess(path, torn));
    }
    if (sweep == 2) {
      ASSERT_TRUE(WriteFileAtomically(dir.path().toStdString() + "/b.ovd", old, nullptr));
    }
    if (sweep == 3) {  // as its file is opened
      EXPECT_LE(FindKeptCopies(path).size(), 1u);
    }
    const std::vector<CKeptCopy> found = FindKeptCopies();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].copy, copy);
    EXPECT_EQ(found[0].damage, c.damage);
  }
  const CKeptCopy kept = FindKeptCopies().at(0);
  if (c.damage != EKeptCopyDamage::None) {
    EXPECT_FALSE(PutKeptCopyBack(kept, nullptr));
    EXPECT_EQ(FileBytes(path), torn);
  } else if (c.form == 3) {
    EXPECT_EQ(kept.save, EKeptCopySave::MarkDamaged);
  }
  const std::string elsewhere = dir.path().toStdString() + "/as it was.ovd";
  std::string error;
  ASSERT_TRUE(SaveKeptCopyAs(kept, elsewhere, &error)) << error;
  EXPECT_EQ(FileBytes(elsewhere), old);
  EXPECT_TRUE(FindKeptCopies().empty());
}

std::vector<StartFlipCase> StartFlips() {
  using D = EKeptCopyDamage;
  std::vector<StartFlipCase> cases;
  // Third form: the mark, the bytes' length, when it was made, the path's length, the path,
  // the start's word, the earlier bytes' word and the save's mark.
  for (const std::uint8_t bit : {0x01, 0x80}) {
    const std::uint8_t b = std::uint8_t(bit);
    for (int i = 0; i < 28; ++i) cases.push_back({3, "start", i, b, D::Start});
    for (const int i : {0, 1, -1}) cases.push_back({3, "path", i, b, D::Start});
    for (int i = 0; i < 8; ++i) cases.push_back({3, "end", i, b, D::Start});
    for (int i = 8; i < 16; ++i) cases.push_back({3, "end", i, b, D::Bytes});
    for (int i = 16; i < 24; ++i) cases.push_back({3, "end", i, b, D::None});
    // Second form: the mark and the path's length, the path (not covered), the bytes' length
    // after it and their word.
    for (int i = 0; i < 12; ++i) cases.push_back({2, "start", i, b, D::Start});
    for (const int i : {1, -1}) cases.push_back({2, "path", i, b, D::Name});
    for (int i = 0; i < 8; ++i) cases.push_back({2, "length", i, b, D::Start});
    for (int i = 0; i < 8; ++i) cases.push_back({2, "end", i, b, D::Bytes});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryByte, StartFlipTest, ::testing::ValuesIn(StartFlips()),
                         [](const ::testing::TestParamInfo<StartFlipCase>& info) {
                           return "Form" + std::to_string(info.param.form) + "_" + info.param.part + "_" +
                                  (info.param.index < 0 ? std::string("last") : std::to_string(info.param.index)) +
                                  "_Bit" + std::to_string(int(info.param.bit));
                         });

// What else lies in the folder of the kept copies stays there, whatever it holds: a later
// version's copy, a copy cut short whose file has changed since, a file of another kind named
// as a copy. Only what holds nothing that would be lost goes: a copy whose file holds every byte
// it holds (an earlier version's copy whose making stopped before its save touched the file),
// a file that holds no more than the first letters of a copy's mark, and a copy of this version
// whose making stopped under its making name. Saves of its file and of others leave the rest.
TEST(KeptCopies, AFileOfTheFolderGoesOnlyWhenNothingGoesWithIt) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd", other = dir.path().toStdString() + "/b.ovd";
  const Bytes earlier = CountedBytes();
  ASSERT_TRUE(WriteFileAtomically(path, earlier, nullptr));
  ASSERT_TRUE(WriteFileAtomically(other, Pattern(3000, 3), nullptr));
  const std::string folder = GetKeptCopyFolder();
  Bytes cutShort = SecondFormCopy(path, earlier, 0x8CB697C51AFB51C4ull);
  cutShort.resize(cutShort.size() / 2);
  Bytes otherCutShort = SecondFormCopy(other, Pattern(3000, 3), 0);
  otherCutShort.resize(otherCutShort.size() - 1);
  struct Planted {
    std::string name;
    Bytes bytes;
    bool stays;
    EKeptCopyDamage damage;
  };
  const std::vector<Planted> planted = {
      {"a.ovd.Ltr123.keptcopy", Text("OVKEPT04 a later version's copy, of a form not known here"), true,
       EKeptCopyDamage::Form},
      {"a.ovd.Ltr456.kept", Text("OVKEPT09"), true, EKeptCopyDamage::Form},
      {"my notes.kept", Text("notes a person keeps here"), true, EKeptCopyDamage::Form},
      {"b.ovd.Cut123.kept", otherCutShort, true, EKeptCopyDamage::Unreadable},  // its file changed since
      {"a.ovd.Cut456.kept", cutShort, false, {}},                                // its file holds its bytes
      {"empty.kept", {}, false, {}},
      {"a.ovd.Mrk123.keptcopy", Text("OVKEP"), false, {}},
      {"a.ovd.Mkg123.making", Text("OVKEPT03 and then the start of a copy"), false, {}},
      {"a.ovd.Mkg456.making", {}, false, {}},
      {"a.ovd.Mkg789.making", Text("OVKEPT04 a later version's making"), true, {}},
  };
  for (const Planted& p : planted) WriteBytes(folder + p.name, p.bytes);
  ASSERT_TRUE(WriteFileAtomically(other, Pattern(2999, 5), nullptr));  // its copy cut short no longer matches it

  for (int sweep = 0; sweep < 3; ++sweep) {
    SCOPED_TRACE(sweep);
    if (sweep == 1) {
      ASSERT_TRUE(SaveInAnotherProcess(path, Pattern(700, 9)));
    }
    if (sweep == 2) {
      ASSERT_TRUE(WriteFileAtomically(other, Pattern(2999, 5), nullptr));
    }
    const std::vector<CKeptCopy> found = FindKeptCopies();
    for (const Planted& p : planted) {
      SCOPED_TRACE(p.name);
      EXPECT_EQ(fs::exists(folder + p.name), p.stays);
      const auto it =
          std::find_if(found.begin(), found.end(), [&](const CKeptCopy& k) { return k.copy == folder + p.name; });
      const bool offered = p.stays && p.name.find(".making") == std::string::npos;
      ASSERT_EQ(it != found.end(), offered);
      if (offered) {
        EXPECT_EQ(it->damage, p.damage);
      }
    }
    EXPECT_EQ(found.size(), 4u);
  }
  // What they hold is saved elsewhere as it stands: the bytes a copy cut short holds where it
  // says, the whole of a file of another form.
  for (const CKeptCopy& kept : FindKeptCopies()) {
    SCOPED_TRACE(kept.copy);
    const std::string elsewhere = dir.path().toStdString() + "/looked at.ovd";
    ASSERT_TRUE(SaveKeptCopyAs(kept, elsewhere, nullptr));
    const auto p =
        std::find_if(planted.begin(), planted.end(), [&](const Planted& each) { return folder + each.name == kept.copy; });
    ASSERT_NE(p, planted.end());
    if (kept.damage == EKeptCopyDamage::Unreadable) {
      EXPECT_EQ(kept.file, other);
      EXPECT_EQ(FileBytes(elsewhere), Pattern(3000, 3));
    } else {
      EXPECT_EQ(FileBytes(elsewhere), p->bytes);
    }
  }
  EXPECT_TRUE(FindKeptCopies().empty());
  ::unlink((folder + "a.ovd.Mkg789.making").c_str());
}

// --- Which save takes a copy away ---

// A whole save of a file, in place or by the rename, made by a program that neither made nor
// told of the copy a save cut short left (another instance), leaves the copy, set aside or not,
// and marks it as overtaken: its file has been saved whole since. The first save of this program
// after it told of the copy (released it) takes it away.
class OtherInstanceSaveTest : public ::testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(OtherInstanceSaveTest, LeavesTheCopyMarkedAndTheProgramThatToldOfItTakesItAway) {
  const auto [inPlace, setAside] = GetParam();
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  const Bytes old = Pattern(100000, 7);
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  const CKeptCopy kept = LeaveATornSave(path, Pattern(120000, 13), !inPlace);
  EXPECT_EQ(kept.save, EKeptCopySave::CutShort);
  if (setAside) {
    ASSERT_TRUE(SetKeptCopyAside(kept));
  }
  ASSERT_TRUE(WriteFileAtomically(path, Pattern(90000, 5), nullptr));  // this program knows nothing of it
  ASSERT_TRUE(SaveInAnotherProcess(path, Pattern(95000, 3)));
  std::vector<CKeptCopy> found = FindKeptCopies(path);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].save, EKeptCopySave::SavedOver);
  EXPECT_EQ(found[0].setAside, setAside);
  EXPECT_EQ(found[0].damage, EKeptCopyDamage::None);
  ASSERT_TRUE(found[0].fileChangedAt);
  EXPECT_GE(found[0].markedAt, kept.keptAt);

  ASSERT_TRUE(ReleaseKeptCopy(found[0]));
  ASSERT_TRUE(SaveInAnotherProcess(path, Pattern(96000, 3)));  // one that knows, once it is told
  ASSERT_EQ(FindKeptCopies(path).size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Saves, OtherInstanceSaveTest, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<bool, bool>>& info) {
                           return std::string(std::get<0>(info.param) ? "InPlace" : "Renamed") +
                                  (std::get<1>(info.param) ? "SetAside" : "");
                         });

// --- Another program holding a copy ---

namespace {

CLockHolder* g_holder = nullptr;
int g_waits = 0;
// Lets the holder go at the first wait.
void ReleaseAtFirstWait(int waited) {
  g_waits = waited;
  if (waited == 1 && g_holder) g_holder->Release();
}
void CountWaits(int waited) { g_waits = waited; }

}  // namespace

// A step on a copy that another program holds (its sweep reads the copy) waits for it: taken
// as soon as it is let go, and refused with the reason, the copy as it was, when it is held on
// for longer than two seconds.
struct HeldCopyCase {
  const char* name;
  bool (*step)(const CKeptCopy&, const std::string& elsewhere, std::string* error);
  const char* refusal;
};

class HeldCopyTest : public ::testing::TestWithParam<std::tuple<HeldCopyCase, bool>> {};

TEST_P(HeldCopyTest, WaitsForTheOtherProgramOrSaysItCouldNot) {
  const auto& [c, letGo] = GetParam();
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd", elsewhere = dir.path().toStdString() + "/b.ovd";
  const Bytes old = Pattern(100000, 7);
  ASSERT_TRUE(WriteFileAtomically(path, old, nullptr));
  const CKeptCopy kept = LeaveATornSave(path, Pattern(120000, 13), true);
  const Bytes torn = FileBytes(path);
  CLockHolder holder(kept.copy);
  ASSERT_TRUE(holder.Held());
  g_holder = &holder;
  g_waits = 0;
  SetKeptCopyLockWaitHookForTests(letGo ? ReleaseAtFirstWait : CountWaits);
  std::string error;
  const bool done = c.step(kept, elsewhere, &error);
  SetKeptCopyLockWaitHookForTests(nullptr);
  g_holder = nullptr;
  holder.Release();
  if (letGo) {
    EXPECT_TRUE(done) << error;
    EXPECT_EQ(g_waits, 1);
    for (const CKeptCopy& left : FindKeptCopies()) DiscardKeptCopy(left);
    return;
  }
  EXPECT_FALSE(done);
  EXPECT_EQ(g_waits, 100);
  EXPECT_EQ(error, std::string(c.refusal) + ": another program is reading it");
  const std::vector<CKeptCopy> found = FindKeptCopies(path);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_FALSE(found[0].setAside);
  EXPECT_EQ(FileBytes(path), torn);
  EXPECT_FALSE(fs::exists(elsewhere));
  DiscardKeptCopy(found[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, HeldCopyTest,
    ::testing::Combine(
        ::testing::Values(
            HeldCopyCase{"Keep",
                         [](const CKeptCopy& k, const std::string&, std::string* e) {
                           return SetKeptCopyAside(k, e) && FindKeptCopies().at(0).setAside;
                         },
                         "The kept copy could not be set aside"},
            HeldCopyCase{"Delete",
                         [](const CKeptCopy& k, const std::string&, std::string* e) {
                           return DiscardKeptCopy(k, e) && FindKeptCopies().empty();
                         },
                         "The kept copy could not be deleted"},
            HeldCopyCase{"PutBack",
                         [](const CKeptCopy& k, const std::string&, std::string* e) {
                           return PutKeptCopyBack(k, e) && FileBytes(k.file) == Pattern(100000, 7);
                         },
                         "The kept copy could not be read"},
            HeldCopyCase{"SaveAs",
                         [](const CKeptCopy& k, const std::string& elsewhere, std::string* e) {
                           return SaveKeptCopyAs(k, elsewhere, e) && FileBytes(elsewhere) == Pattern(100000, 7);
                         },
                         "The kept copy could not be read"}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<HeldCopyCase, bool>>& info) {
      return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "LetGo" : "HeldOn");
    });

// A Put Back that cannot reach the disk loses nothing: when what the file holds cannot be kept
// first, the file is not touched; when the copy's bytes cannot be flushed over it, the file gets
// its own bytes back. Either way the copy stays to be put back, and the reason is given.
struct FailedPutBackCase {
  const char* name;
  int firstFailingFlush;  // the flushes to the disk are counted from 1
  int lastFailingFlush;
  const char* error;
};

class FailedPutBackTest : public ::testing::TestWithParam<FailedPutBackCase> {};

int g_flushes = 0;
const FailedPutBackCase* g_failing = nullptr;

TEST_P(FailedPutBackTest, KeepsTheFileAndTheCopy) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Pattern(100000, 7), nullptr));
  const CKeptCopy kept = LeaveATornSave(path, Pattern(120000, 13), true);
  const Bytes torn = FileBytes(path);
  g_flushes = 0;
  g_failing = &GetParam();
  SetFileSyncForTests([](int) {
    ++g_flushes;
    if (g_flushes < g_failing->firstFailingFlush || g_flushes > g_failing->lastFailingFlush) return 0;
    errno = EIO;
    return -1;
  });
  std::string error;
  const bool putBack = PutKeptCopyBack(kept, &error);
  SetFileSyncForTests(nullptr);
  EXPECT_FALSE(putBack);
  EXPECT_EQ(error, std::string(GetParam().error) + std::strerror(EIO));
  EXPECT_EQ(FileBytes(path), torn);
  const std::vector<CKeptCopy> left = FindKeptCopies();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].copy, kept.copy);
  ASSERT_TRUE(PutKeptCopyBack(left[0], &error)) << error;
  EXPECT_EQ(FileBytes(path), Pattern(100000, 7));
}

// The copy of what the file holds takes two flushes (itself, then its folder); the Put Back's
// own flush of the file is the third.
INSTANTIATE_TEST_SUITE_P(
    Flushes, FailedPutBackTest,
    ::testing::Values(
        FailedPutBackCase{"WhatTheFileHoldsNotKept", 1, 1000,
                          "The kept copy was not put back: what the file holds now could not be kept: "},
        FailedPutBackCase{"TheCopysBytesNotFlushed", 3, 3, "The file could not be written: "}),
    [](const ::testing::TestParamInfo<FailedPutBackCase>& info) { return std::string(info.param.name); });

// A step on a copy that another program has put back or removed since it was found says so.
TEST(KeptCopies, AStepOnACopyAnotherProgramTookAwaySaysItIsGone) {
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/a.ovd";
  ASSERT_TRUE(WriteFileAtomically(path, Pattern(100000, 7), nullptr));
  const CKeptCopy kept = LeaveATornSave(path, Pattern(120000, 13), true);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(PutKeptCopyBack(kept, nullptr) ? 0 : 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(KeptCopyIsThere(kept));
  std::string error;
  EXPECT_FALSE(PutKeptCopyBack(kept, &error));
  EXPECT_EQ(error, "The kept copy is no longer there: another program has put it back or removed it");
  EXPECT_FALSE(SetKeptCopyAside(kept, &error));
  EXPECT_EQ(error, "The kept copy is no longer there: another program has put it back or removed it");
}
