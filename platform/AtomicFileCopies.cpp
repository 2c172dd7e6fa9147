// The copies of files' earlier bytes that saves in place keep (platform/AtomicFile.h): their
// forms, how they are read and checked, found, put back, set aside and retired.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>

#include "platform/AppPaths.h"
#include "platform/AtomicFile.h"
#include "platform/AtomicFileDisk.h"
#include "platform/File.h"

using namespace atomic_file;

namespace {

// The check word of a kept copy's bytes, taken as they stream by. Copies of the first form
// carry a word taken a byte at a time (each byte folded in and multiplied); the later forms one
// taken eight bytes at a time in four lanes that do not wait for each other, many times faster,
// with each lane's words mixed in by multiplication and rotation and the lanes and the length
// mixed together at the end: the 64-bit xxHash of the bytes with seed 0, which any tool that
// knows that hash recomputes.
class CCheckWord {
 public:
  explicit CCheckWord(bool byBytes) : m_byBytes(byBytes) {}

  void Add(const std::uint8_t* data, std::size_t size) {
    if (m_byBytes) {
      for (std::size_t i = 0; i < size; ++i) m_byteWord = (m_byteWord ^ data[i]) * 0x100000001B3ull;
      return;
    }
    m_length += size;
    if (m_pending > 0) {
      const std::size_t n = std::min(size, kStripe - m_pending);
      std::memcpy(m_stripe + m_pending, data, n);
      m_pending += n;
      data += n;
      size -= n;
      if (m_pending < kStripe) return;
      TakeStripe(m_stripe);
      m_pending = 0;
    }
    for (; size >= kStripe; data += kStripe, size -= kStripe) TakeStripe(data);
    std::memcpy(m_stripe, data, size);
    m_pending = size;
  }

  std::uint64_t Word() const {
    if (m_byBytes) return m_byteWord;
    std::uint64_t word = kP5;
    if (m_length >= kStripe) {
      word = std::rotl(m_lanes[0], 1) + std::rotl(m_lanes[1], 7) + std::rotl(m_lanes[2], 12) + std::rotl(m_lanes[3], 18);
      for (const std::uint64_t lane : m_lanes) word = (word ^ Round(0, lane)) * kP1 + kP4;
    }
    word += m_length;
    std::size_t at = 0;
    for (; at + 8 <= m_pending; at += 8) word = std::rotl(word ^ Round(0, Load(m_stripe + at, 8)), 27) * kP1 + kP4;
    if (at + 4 <= m_pending) {
      word = std::rotl(word ^ (Load(m_stripe + at, 4) * kP1), 23) * kP2 + kP3;
      at += 4;
    }
    for (; at < m_pending; ++at) word = std::rotl(word ^ (m_stripe[at] * kP5), 11) * kP1;
    word = (word ^ (word >> 33)) * kP2;
    word = (word ^ (word >> 29)) * kP3;
    return word ^ (word >> 32);
  }

 private:
  static constexpr std::size_t kStripe = 32;
  static constexpr std::uint64_t kP1 = 0x9E3779B185EBCA87ull, kP2 = 0xC2B2AE3D27D4EB4Full,
                                 kP3 = 0x165667B19E3779F9ull, kP4 = 0x85EBCA77C2B2AE63ull,
                                 kP5 = 0x27D4EB2F165667C5ull;

  // size bytes, the first the lowest, whatever the machine's own order.
  static std::uint64_t Load(const std::uint8_t* at, std::size_t size) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, size);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
  }
  static std::uint64_t Round(std::uint64_t lane, std::uint64_t word) {
    return std::rotl(lane + word * kP2, 31) * kP1;
  }
  void TakeStripe(const std::uint8_t* stripe) {
    for (std::size_t i = 0; i < 4; ++i) m_lanes[i] = Round(m_lanes[i], Load(stripe + 8 * i, 8));
  }

  bool m_byBytes;
  std::uint64_t m_byteWord = 0xCBF29CE484222325ull;
  std::uint64_t m_lanes[4] = {kP1 + kP2, kP2, 0, 0 - kP1};
  std::uint64_t m_length = 0;
  std::uint8_t m_stripe[kStripe] = {};
  std::size_t m_pending = 0;
};

std::uint64_t WordOf(const std::uint8_t* data, std::size_t size) {
  CCheckWord word(false);
  word.Add(data, size);
  return word.Word();
}

// The forms of a kept copy; all numbers are little-endian.
//
// The third form, which saves make now, named "<file's name>.<six letters>.keptcopy": "OVKEPT03",
// the earlier bytes' length (u64), when the copy was made (i64, ns since the epoch), the length
// of the file's path (u32), the path, the earlier bytes; then the check word of everything
// before the earlier bytes (u64), that of the earlier bytes (u64), and the mark of the copy's
// save (8 letters): "UNDERWAY" as it is made, "FINISHED" once the save's new bytes are on the
// disk, "SAVEDOVR" when another save wrote the file whole, not knowing of the copy, after its
// own save was cut short; "REPLACED" for the bytes a Put Back of another copy wrote over. The
// mark alone is outside the check words: it changes after the copy is made.
//
// The first and second forms, which earlier versions made, named "<name>.<letters>.kept":
// "OVKEPT01" or "OVKEPT02", the path's length (u32), the path, the earlier bytes' length (u64),
// the earlier bytes, and their check word (u64), taken a byte at a time in the first form. No
// word covers their path: one that disagrees with the copy's own name, which starts with the
// file's (cut to 100 bytes), or that lies in a folder not there, is taken for a damaged one.
//
// Earlier versions look only at names that end in ".kept" and remove each whose start they
// cannot read, a copy of the third form among them: so it has a name of its own. A copy is made
// as "<name>.<letters>.making" and takes its own name only once it is whole on the disk, before
// its file changes: a ".making" file that no save holds belongs to a save that stopped before
// it touched its file, and goes. No other file of the folder is ever removed for what it holds
// or does not hold: only one whose file holds every byte it holds (nothing is lost with it), or
// by the person's choice, or by a save of its file made knowing of it.
constexpr std::size_t kMagicBytes = 8;
constexpr char kCopyMagic[kMagicBytes] = {'O', 'V', 'K', 'E', 'P', 'T', '0', '3'};
constexpr char kSecondCopyMagic[kMagicBytes] = {'O', 'V', 'K', 'E', 'P', 'T', '0', '2'};
constexpr char kFirstCopyMagic[kMagicBytes] = {'O', 'V', 'K', 'E', 'P', 'T', '0', '1'};
constexpr const char* kCopyEnd = ".keptcopy";
constexpr const char* kEarlierCopyEnd = ".kept";
constexpr const char* kMakingEnd = ".making";
// Third form: the start before the path, and the two words and the mark after the bytes.
constexpr std::uint64_t kFixedStart = 28;
constexpr std::uint64_t kTrailer = 24;
// Earlier forms: the start before the path, the length after it, and the word after the bytes.
constexpr std::uint64_t kEarlierFixedStart = 12;
constexpr std::uint64_t kEarlierTrailer = 8;
constexpr char kUnderWay[8] = {'U', 'N', 'D', 'E', 'R', 'W', 'A', 'Y'};
constexpr char kFinished[8] = {'F', 'I', 'N', 'I', 'S', 'H', 'E', 'D'};
constexpr char kSavedOver[8] = {'S', 'A', 'V', 'E', 'D', 'O', 'V', 'R'};
constexpr char kReplaced[8] = {'R', 'E', 'P', 'L', 'A', 'C', 'E', 'D'};
// The longest part of a file's name that a copy's name takes.
constexpr std::size_t kNameInCopy = 100;
// The most of a copy's start that is read at once: the fixed start and the longest path.
constexpr std::uint64_t kLongestStart = kFixedStart + PATH_MAX + 8;

bool EndsWith(const std::string& name, const char* end) {
  const std::size_t n = std::strlen(end);
  return name.size() > n && name.compare(name.size() - n, n, end) == 0;
}

bool IsCopyName(const std::string& name) { return EndsWith(name, kCopyEnd) || EndsWith(name, kEarlierCopyEnd); }

// What a copy's bytes say of it.
struct CCopyRead {
  int form = 0;                  // 1, 2 or 3; 0 for a form this version does not read
  std::uint64_t total = 0;       // the copy's length
  std::string file;              // the file it names; empty when that cannot be read
  bool region = false;           // whether where the earlier bytes lie is known (else: the whole copy)
  std::uint64_t dataStart = 0;   // ... where they start
  std::uint64_t size = 0;        // ... and their length
  std::uint64_t sizeField = 0;   // the earlier bytes' length as the start says it
  std::int64_t madeAt = 0;       // third form: when it was made
  bool startSound = false;       // its start adds up (and matches its word, third form)
  EKeptCopySave save = EKeptCopySave::Untold;
  EKeptCopyDamage damage = EKeptCopyDamage::None;  // known once checked
};

int FormOfMagic(const std::uint8_t* magic) {
  if (std::memcmp(magic, kCopyMagic, kMagicBytes) == 0) return 3;
  if (std::memcmp(magic, kSecondCopyMagic, kMagicBytes) == 0) return 2;
  if (std::memcmp(magic, kFirstCopyMagic, kMagicBytes) == 0) return 1;
  return 0;
}

// The copy's first bytes, as many as its start may take, and its last kTrailer bytes.
struct CCopyEnds {
  std::vector<std::uint8_t> start;
  std::uint8_t trailer[kTrailer] = {};
  bool trailerRead = false;
};

bool ReadEnds(int fd, std::uint64_t total, CCopyEnds& ends) {
  ends.start.resize(std::size_t(std::min(total, kLongestStart)));
  if (!ReadAllAt(fd, ends.start.data(), ends.start.size(), 0)) return false;
  ends.trailerRead = total >= kTrailer && ReadAllAt(fd, ends.trailer, kTrailer, total - kTrailer);
  return true;
}

// The path of pathLength bytes at offset of the start read, when it is there and may be a path.
std::string PathAt(const CCopyEnds& ends, std::uint64_t offset, std::uint64_t pathLength) {
  if (pathLength == 0 || pathLength > PATH_MAX || offset + pathLength > ends.start.size()) return {};
  const char* at = reinterpret_cast<const char*>(ends.start.data() + offset);
  std::string path(at, std::size_t(pathLength));
  return path.find('\0') == std::string::npos ? path : std::string();
}

// The third form's mark; one this version does not know is damaged (or a later version's).
EKeptCopySave SaveOfMark(const std::uint8_t* mark) {
  if (std::memcmp(mark, kUnderWay, 8) == 0) return EKeptCopySave::CutShort;
  if (std::memcmp(mark, kFinished, 8) == 0) return EKeptCopySave::Finished;
  if (std::memcmp(mark, kSavedOver, 8) == 0) return EKeptCopySave::SavedOver;
  if (std::memcmp(mark, kReplaced, 8) == 0) return EKeptCopySave::Replaced;
  return EKeptCopySave::MarkDamaged;
}

// Whether the path an earlier form's copy records may be trusted: the copy's own name, the
// file's name (cut as a copy's name cuts it), a dot, six letters and ".kept", agrees with it, and
// its folder is there. The third form's path is covered by its start's word instead.
bool NameAgrees(const std::string& name, const CCopyRead& read) {
  if (read.form == 3) return true;
  const std::size_t ending = 1 + kRandomLetters + std::strlen(kEarlierCopyEnd);
  if (name.size() <= ending || read.file.empty()) return false;
  const std::string stem = name.substr(0, name.size() - ending);
  struct stat folder {};
  return stem == CutName(read.file.substr(NameStart(read.file)), kNameInCopy) &&
         ::stat(FolderOf(read.file).c_str(), &folder) == 0 && S_ISDIR(folder.st_mode);
}

// Reads the copy's start (not its earlier bytes): its form, its file, where the bytes lie, and
// whether all that adds up. False when the copy cannot be read at all.
bool ReadCopyStart(int fd, CCopyRead& read, CCopyEnds& ends) {
  struct stat s {};
  if (::fstat(fd, &s) != 0) return false;
  read = CCopyRead{};
  read.total = std::uint64_t(s.st_size);
  if (!ReadEnds(fd, read.total, ends)) return false;
  const std::vector<std::uint8_t>& start = ends.start;
  if (start.size() < kMagicBytes) return true;
  read.form = FormOfMagic(start.data());
  if (read.form == 3 && start.size() >= kFixedStart && ends.trailerRead) {
    read.sizeField = TakeWord(start.data() + 8, 8);
    read.madeAt = std::int64_t(TakeWord(start.data() + 16, 8));
    const std::uint64_t pathLength = TakeWord(start.data() + 24, 4);
    read.file = PathAt(ends, kFixedStart, pathLength);
    read.dataStart = kFixedStart + pathLength;
    read.save = SaveOfMark(ends.trailer + 16);
    read.startSound = !read.file.empty() && read.dataStart + kTrailer <= read.total &&
                      read.sizeField == read.total - kTrailer - read.dataStart &&
                      WordOf(start.data(), std::size_t(read.dataStart)) == TakeWord(ends.trailer, 8);
  } else if ((read.form == 1 || read.form == 2) && start.size() >= kEarlierFixedStart) {
    const std::uint64_t pathLength = TakeWord(start.data() + 8, 4);
    read.file = PathAt(ends, kEarlierFixedStart, pathLength);
    read.dataStart = kEarlierFixedStart + pathLength + 8;
    if (!read.file.empty() && read.dataStart <= start.size())
      read.sizeField = TakeWord(start.data() + read.dataStart - 8, 8);
    read.startSound = !read.file.empty() && read.dataStart + kEarlierTrailer <= read.total &&
                      read.sizeField == read.total - kEarlierTrailer - read.dataStart;
  }
  read.region = read.startSound;
  if (read.startSound) read.size = read.sizeField;
  return true;
}

// Whether the count bytes of the copy from dataStart match the word stored at wordAt, taken
// both ways when the form is not known for sure (byBytes: 1 that way, 0 the other, -1 both).
bool BytesMatchWord(int fd, std::uint64_t dataStart, std::uint64_t count, std::uint64_t stored, int byBytes) {
  CCheckWord bytesWord(true), laneWord(false);
  const int code = EachBlock(fd, dataStart, count, [&](const std::uint8_t* data, std::size_t n, std::uint64_t) {
    if (byBytes != 0) bytesWord.Add(data, n);
    if (byBytes != 1) laneWord.Add(data, n);
    return 0;
  });
  return code == 0 && ((byBytes != 0 && bytesWord.Word() == stored) || (byBytes != 1 && laneWord.Word() == stored));
}

// Where the earlier bytes of a copy whose start does not add up may lie: each layout that one
// of its lengths, read as it stands, gives. The earlier bytes' own word tells which one is right.
struct CLayout {
  int form;
  std::uint64_t dataStart;
};
std::vector<CLayout> LayoutsToTry(const CCopyRead& read, const CCopyEnds& ends) {
  std::vector<CLayout> layouts;
  auto add = [&layouts](int form, std::uint64_t dataStart) {
    for (const CLayout& l : layouts)
      if (l.form == form && l.dataStart == dataStart) return;
    layouts.push_back({form, dataStart});
  };
  const std::vector<std::uint8_t>& start = ends.start;
  const std::uint64_t total = read.total;
  // The third form, from the bytes' length or from the path's.
  if (start.size() >= kFixedStart && total >= kFixedStart + 1 + kTrailer) {
    const std::uint64_t size = TakeWord(start.data() + 8, 8);
    if (size <= total - kFixedStart - 1 - kTrailer) add(3, total - kTrailer - size);
    const std::uint64_t pathLength = TakeWord(start.data() + 24, 4);
    if (pathLength >= 1 && pathLength <= PATH_MAX && kFixedStart + pathLength + kTrailer <= total)
      add(3, kFixedStart + pathLength);
  }
  // The earlier forms, from the path's length, or from each place after a path where the
  // bytes' length stands that the copy's length gives.
  if (start.size() >= kEarlierFixedStart && total >= kEarlierFixedStart + 1 + 8 + kEarlierTrailer) {
    const std::uint64_t pathLength = TakeWord(start.data() + 8, 4);
    if (pathLength >= 1 && pathLength <= PATH_MAX && kEarlierFixedStart + pathLength + 8 + kEarlierTrailer <= total)
      add(1, kEarlierFixedStart + pathLength + 8);
    for (std::uint64_t length = 1; length <= PATH_MAX && kEarlierFixedStart + length + 8 <= start.size(); ++length) {
      const std::uint64_t dataStart = kEarlierFixedStart + length + 8;
      if (dataStart + kEarlierTrailer <= total &&
          TakeWord(start.data() + kEarlierFixedStart + length, 8) == total - kEarlierTrailer - dataStart)
        add(1, dataStart);
    }
  }
  return layouts;
}

// Checks the copy named name (in the kept-copies folder) against its words: its earlier bytes,
// and for an earlier form the path against that name; for a copy whose start does not add up or
// no longer matches its word, finds where its earlier bytes lie by that word: read.damage says
// what is found.
void CheckCopy(int fd, const std::string& name, CCopyRead& read, const CCopyEnds& ends) {
  if (read.startSound) {
    const std::uint64_t wordAt = read.total - (read.form == 3 ? 16 : 8);
    std::uint8_t stored[8];
    const bool sound = ReadAllAt(fd, stored, 8, wordAt) &&
                       BytesMatchWord(fd, read.dataStart, read.size, TakeWord(stored, 8), read.form == 1 ? 1 : 0);
    read.damage = !sound ? EKeptCopyDamage::Bytes : NameAgrees(name, read) ? EKeptCopyDamage::None : EKeptCopyDamage::Name;
    return;
  }
  // The start is damaged: each way its lengths may be read is tried against the earlier bytes'
  // word (both words for the earlier forms, whose own mark may be the damaged part).
  for (const CLayout& layout : LayoutsToTry(read, ends)) {
    const bool third = layout.form == 3;
    const std::uint64_t size = read.total - (third ? kTrailer : kEarlierTrailer) - layout.dataStart;
    std::uint8_t stored[8];
    if (!ReadAllAt(fd, stored, 8, read.total - (third ? 16 : 8))) continue;
    if (!BytesMatchWord(fd, layout.dataStart, size, TakeWord(stored, 8), third ? 0 : -1)) continue;
    read.damage = EKeptCopyDamage::Start;
    read.form = third ? 3 : (read.form == 1 || read.form == 2 ? read.form : 2);
    read.region = true;
    read.dataStart = layout.dataStart;
    read.size = size;
    read.file = third ? PathAt(ends, kFixedStart, layout.dataStart - kFixedStart)
                      : PathAt(ends, kEarlierFixedStart, layout.dataStart - 8 - kEarlierFixedStart);
    if (third) read.save = SaveOfMark(ends.trailer + 16);
    return;
  }
  // Nothing adds up. A copy of a form this version reads holds its bytes where its start says,
  // as far as they go; of another form, it is kept whole.
  if (read.form == 0) {
    read.damage = EKeptCopyDamage::Form;
    read.file.clear();
    return;
  }
  read.damage = EKeptCopyDamage::Unreadable;
  read.region = !read.file.empty() && read.dataStart <= read.total;
  if (read.region) read.size = std::min(read.sizeField, read.total - read.dataStart);
  read.save = EKeptCopySave::Untold;
}

// Whether the file the copy names holds every byte the copy holds, where the copy says it
// does, and is as long as the copy says the earlier bytes were: the copy holds nothing else,
// and goes. A copy whose making stopped before its save touched the file is one such.
bool FileHoldsEveryByte(int copyFd, const CCopyRead& read) {
  if (!read.region || read.file.empty()) return false;
  const int fd = ::open(read.file.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const std::uint64_t length = read.startSound || read.damage == EKeptCopyDamage::Start ? read.size : read.sizeField;
  struct stat s {};
  bool same = ::fstat(fd, &s) == 0 && S_ISREG(s.st_mode) && std::uint64_t(s.st_size) == length &&
              read.size <= length;
  std::unique_ptr<std::uint8_t[]> theirs(new (std::nothrow) std::uint8_t[kCopyBlock]);
  same = same && theirs &&
         EachBlock(fd, 0, read.size, [&](const std::uint8_t* ours, std::size_t n, std::uint64_t done) {
           const bool alike = ReadAllAt(copyFd, theirs.get(), n, read.dataStart + done) &&
                              std::memcmp(ours, theirs.get(), n) == 0;
           return alike ? 0 : EIO;
         }) == 0;
  ::close(fd);
  return same;
}

// Removes a copy by name and flushes the folder, so that the removal too is on the disk.
void RemoveCopy(const std::string& copy) {
  Step();
  ::unlink(copy.c_str());
  SyncFolder(FolderOf(copy));
}

// The copies this program made, or whose person it told of them (released): a save of their
// file made here removes them. Known by name and by the file the name led to, so that a name
// that another program's copy took since is not taken for one of them.
struct CKnownCopy {
  std::string name;
  dev_t device;
  ino_t inode;
};
std::mutex g_knownMutex;
std::vector<CKnownCopy> g_known;

std::string NameOf(const std::string& copy) { return copy.substr(NameStart(copy)); }

void Know(const std::string& name, int fd) {
  struct stat s {};
  if (::fstat(fd, &s) != 0) return;
  const std::lock_guard<std::mutex> lock(g_knownMutex);
  for (const CKnownCopy& known : g_known)
    if (known.name == name && known.device == s.st_dev && known.inode == s.st_ino) return;
  g_known.push_back({name, s.st_dev, s.st_ino});
}

bool IsKnown(const std::string& name, int fd) {
  struct stat s {};
  if (::fstat(fd, &s) != 0) return false;
  const std::lock_guard<std::mutex> lock(g_knownMutex);
  return std::any_of(g_known.begin(), g_known.end(), [&](const CKnownCopy& known) {
    return known.name == name && known.device == s.st_dev && known.inode == s.st_ino;
  });
}

void Forget(const std::string& name) {
  const std::lock_guard<std::mutex> lock(g_knownMutex);
  g_known.erase(std::remove_if(g_known.begin(), g_known.end(), [&](const CKnownCopy& known) { return known.name == name; }),
                g_known.end());
}

std::string KeptCopyFolderPath() { return GetAppDataFolder() + "KeptCopies/"; }

bool InKeptCopyFolder(const std::string& path) {
  struct stat folder {}, copies {};
  return ::stat(FolderOf(FullFilePath(path)).c_str(), &folder) == 0 && ::stat(KeptCopyFolderPath().c_str(), &copies) == 0 &&
         folder.st_dev == copies.st_dev && folder.st_ino == copies.st_ino;
}

std::int64_t Nanoseconds(const struct timespec& t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; }

// A copy the person set aside has no write permission for its owner.
bool IsSetAside(int fd) {
  struct stat s {};
  return ::fstat(fd, &s) == 0 && (s.st_mode & S_IWUSR) == 0;
}

// Whether the file's first bytes are those of the mark as far as they go, and (with
// nothingElse) whether the file holds no more than them.
bool StartsAsMark(int fd, const char* mark, bool nothingElse) {
  std::uint8_t magic[kMagicBytes];
  struct stat s {};
  if (::fstat(fd, &s) != 0 || (nothingElse && std::uint64_t(s.st_size) > kMagicBytes)) return false;
  const std::size_t n = std::size_t(std::min<std::uint64_t>(std::uint64_t(s.st_size), kMagicBytes));
  return ReadAllAt(fd, magic, n, 0) && std::memcmp(magic, mark, n) == 0;
}

// Whether the file may go on the way with nothing lost: a ".making" file of this version's
// copies, whose making stopped (no save holds it) before its save touched its file, and a copy
// that holds no more than the first letters of a copy's mark (an earlier version's copy whose
// making stopped there).
bool GoesWithNothingLost(const std::string& name, int fd) {
  if (EndsWith(name, kMakingEnd)) return StartsAsMark(fd, kCopyMagic, false);
  return StartsAsMark(fd, kCopyMagic, true) || StartsAsMark(fd, kSecondCopyMagic, true) ||
         StartsAsMark(fd, kFirstCopyMagic, true);
}

// Calls found for each copy in the kept-copies folder that no running save holds, with the
// descriptor it holds locked and what its start says, whether that adds up or not; of one
// file only when file is given (a copy whose start names no file then is not of it). With
// sweep, what holds nothing that would be lost goes on the way. The folder is not made when it
// is not there.
using CFoundCopy = std::function<void(int folderFd, const std::string& name, int fd, CCopyRead&, const CCopyEnds&)>;
void EachUnheldCopy(const std::string& file, bool sweep, const CFoundCopy& found) {
  EachUnheldFile(
      KeptCopyFolderPath(),
      [sweep](const std::string& name) { return IsCopyName(name) || (sweep && EndsWith(name, kMakingEnd)); },
      [&](int folderFd, const std::string& name, int fd) {
        if (sweep && GoesWithNothingLost(name, fd)) {
          ::unlinkat(folderFd, name.c_str(), 0);
          return;
        }
        if (EndsWith(name, kMakingEnd)) return;
        CCopyRead read;
        CCopyEnds ends;
        if (!ReadCopyStart(fd, read, ends)) return;
        if (file.empty() || (!read.file.empty() && IsSameFile(file, read.file))) found(folderFd, name, fd, read, ends);
      });
}

// Marks a copy of the third form whose save was cut short: its file has been saved whole since,
// by a save that did not know of it. A copy set aside is made writable for the moment.
void MarkSavedOver(int folderFd, const std::string& name, int fd, const CCopyRead& read) {
  struct stat s {};
  if (::fstat(fd, &s) != 0) return;
  const bool setAside = (s.st_mode & S_IWUSR) == 0;
  if (setAside && ::fchmod(fd, s.st_mode | S_IWUSR) != 0) return;
  const int out = ::openat(folderFd, name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat opened {};
  if (out >= 0 && ::fstat(out, &opened) == 0 && opened.st_dev == s.st_dev && opened.st_ino == s.st_ino &&
      WriteAllAt(out, reinterpret_cast<const std::uint8_t*>(kSavedOver), 8, read.total - 8)) {
    Step();
    SyncToDisk(out, false);
  }
  if (out >= 0) ::close(out);
  if (setAside) ::fchmod(fd, s.st_mode & 07777);
}

// The copy open at fd, named name in the kept-copies folder, checked, as it is found: removed
// (and none) when its file holds every byte it holds.
std::optional<CKeptCopy> TakeFoundCopy(int folderFd, const std::string& name, int fd, CCopyRead& read,
                                       const CCopyEnds& ends) {
  CheckCopy(fd, name, read, ends);
  if (FileHoldsEveryByte(fd, read)) {
    ::unlinkat(folderFd, name.c_str(), 0);
    Forget(name);
    return std::nullopt;
  }
  CKeptCopy kept;
  kept.file = read.file;
  kept.copy = KeptCopyFolderPath() + name;
  kept.size = read.size;
  kept.damage = read.damage;
  kept.save = read.save;
  kept.known = IsKnown(name, fd);
  struct stat copy {}, file {};
  if (::fstat(fd, &copy) == 0) {
    kept.setAside = (copy.st_mode & S_IWUSR) == 0;
    kept.markedAt = Nanoseconds(copy.st_mtim);
    kept.keptAt = read.form == 3 && read.damage != EKeptCopyDamage::Start ? read.madeAt : kept.markedAt;
  }
  if (!kept.file.empty() && ::stat(kept.file.c_str(), &file) == 0) kept.fileChangedAt = Nanoseconds(file.st_mtim);
  return kept;
}

std::atomic<void (*)(int)> g_lockWaitHook{nullptr};

// Opens the copy and takes its lock, waiting while another program holds it: its sweep holds a
// copy for as long as it takes to read it, tens of milliseconds for most. Two seconds at most.
// The descriptor, or -1 with errno: ENOENT when the copy is gone, EWOULDBLOCK when it is still
// held.
int OpenUnheldCopy(const std::string& copy) {
  const int fd = ::open(copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  constexpr int kTries = 100;
  constexpr useconds_t kPauseUs = 20000;
  for (int waited = 0;; ++waited) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR)) return fd;
    if (waited == kTries) break;
    if (void (*hook)(int) = g_lockWaitHook.load()) hook(waited + 1);
    ::usleep(kPauseUs);
  }
  ::close(fd);
  errno = EWOULDBLOCK;
  return -1;
}

// Why a copy could not be taken, for what was to be done with it.
std::string WhyNotTaken(const std::string& what, int code) {
  if (code == ENOENT) return "The kept copy is no longer there: another program has put it back or removed it";
  if (code == EWOULDBLOCK) return what + ": another program is reading it";
  return Reason(what, code);
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// The copy open at fd read and checked again, as a step on it needs it.
bool ReadAndCheck(int fd, const std::string& copy, CCopyRead& read) {
  CCopyEnds ends;
  if (!ReadCopyStart(fd, read, ends)) return false;
  CheckCopy(fd, NameOf(copy), read, ends);
  return true;
}

// Why a copy is not put back, for its damage.
std::string DamageRefusal(EKeptCopyDamage damage) {
  switch (damage) {
    case EKeptCopyDamage::Bytes: return "The kept copy is damaged: its bytes do not match their check word";
    case EKeptCopyDamage::Name:
      return "The kept copy may be damaged: the file it names does not agree with its own name, or lies in a "
             "folder that is not there";
    default: return "The kept copy is damaged: its start cannot be read whole";
  }
}

// Sets the copy's write permission for its owner: without it, it is set aside.
bool SetCopyMode(const CKeptCopy& kept, mode_t mode, const std::string& what, bool know, std::string* error) {
  const int fd = OpenUnheldCopy(kept.copy);
  if (fd < 0) return Fail(error, WhyNotTaken(what, errno));
  const bool set = ::fchmod(fd, mode) == 0;
  const int code = errno;
  if (set && know) Know(NameOf(kept.copy), fd);
  ::close(fd);
  return set || Fail(error, Reason(what, code));
}

}  // namespace

namespace atomic_file {

int MakeKeptCopy(int fd, const std::string& file, std::uint64_t size, std::string& copy, int& copyFd,
                 bool replacing) {
  const std::string folder = GetKeptCopyFolder();
  const std::string stem = folder + CutName(file.substr(NameStart(file)), kNameInCopy) + ".";
  std::string making;
  int made = -1;
  for (int attempt = 0; attempt < 100 && made < 0; ++attempt) {
    making = stem + RandomLetters() + kMakingEnd;
    Step();
    made = MakeLockedFile(making, 0600);
    if (made < 0 && errno != EEXIST) break;
  }
  int code = made < 0 ? errno : 0;
  // Writable for its owner whatever the process's mask: a copy without that is one the person
  // set aside.
  if (code == 0 && ::fchmod(made, 0600) != 0) code = errno;
  std::vector<std::uint8_t> start(kCopyMagic, kCopyMagic + kMagicBytes);
  PutWord(start, size, 8);
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  PutWord(start, std::uint64_t(Nanoseconds(now)), 8);
  PutWord(start, file.size(), 4);
  start.insert(start.end(), file.begin(), file.end());
  if (code == 0 && !WriteAllAt(made, start.data(), start.size(), 0)) code = errno;
  CCheckWord word(false);
  if (code == 0) {
    code = CopyBytes(fd, 0, made, start.size(), size,
                     [&word](const std::uint8_t* data, std::size_t n) { word.Add(data, n); });
  }
  std::vector<std::uint8_t> trailer;
  PutWord(trailer, WordOf(start.data(), start.size()), 8);
  PutWord(trailer, word.Word(), 8);
  const char* mark = replacing ? kReplaced : kUnderWay;
  trailer.insert(trailer.end(), mark, mark + 8);
  if (code == 0 && !WriteAllAt(made, trailer.data(), trailer.size(), start.size() + size)) code = errno;
  if (code == 0) {
    Step();
    if (SyncToDisk(made, false) != 0) code = errno;
  }
  // Whole on the disk: it takes a name of its own, never one that another copy has, and the
  // folder keeps that name before the file changes. Stopped between the two names, its making
  // name goes with the next sweep and its own stays.
  bool named = false;
  for (int attempt = 0; code == 0 && !named && attempt < 100; ++attempt) {
    copy = stem + RandomLetters() + kCopyEnd;
    Step();
    named = ::link(making.c_str(), copy.c_str()) == 0;
    if (!named && errno != EEXIST) code = errno;
  }
  if (code == 0 && !named) code = EEXIST;
  if (code == 0) {
    Step();
    ::unlink(making.c_str());
    code = SyncFolder(folder);
  }
  if (code != 0) {
    if (made >= 0) {
      if (named) ::unlink(copy.c_str());
      ::unlink(making.c_str());
      ::close(made);
    }
    copy.clear();
    return code;
  }
  Know(NameOf(copy), made);
  copyFd = made;
  return 0;
}

void FollowFileTime(int copyFd, int fd) {
  struct stat file {};
  if (copyFd < 0 || ::fstat(fd, &file) != 0) return;
  const struct timespec times[2] = {{0, UTIME_OMIT}, file.st_mtim};
  ::futimens(copyFd, times);
}

void MarkKeptCopyFinished(int copyFd) {
  struct stat s {};
  if (copyFd < 0 || ::fstat(copyFd, &s) != 0 || std::uint64_t(s.st_size) < kTrailer) return;
  if (WriteAllAt(copyFd, reinterpret_cast<const std::uint8_t*>(kFinished), 8, std::uint64_t(s.st_size) - 8)) {
    Step();
    SyncToDisk(copyFd, false);
  }
}

int PutKeptBytesBack(int copyFd, int fd) {
  CCopyRead read;
  CCopyEnds ends;
  if (!ReadCopyStart(copyFd, read, ends) || !read.startSound) return EIO;
  if (const int code = CopyBytes(copyFd, read.dataStart, fd, 0, read.size)) return code;
  Step();
  if (::ftruncate(fd, off_t(read.size)) != 0) return errno;
  Step();
  return SyncToDisk(fd, false) == 0 ? 0 : errno;
}

void EndKeptCopy(const std::string& copy, int& copyFd, bool remove) {
  if (copyFd < 0) return;
  if (remove) {
    RemoveCopy(copy);
    Forget(NameOf(copy));
  }
  ::close(copyFd);
  copyFd = -1;
}

void RetireKeptCopies(const std::string& file) {
  bool removed = false;
  EachUnheldCopy(file, false, [&removed](int folderFd, const std::string& name, int fd, CCopyRead& read, const CCopyEnds&) {
    // A copy whose start cannot be read, or whose path disagrees with its name, is not known to
    // be of this file: it stays as it is.
    if (!read.startSound || !NameAgrees(name, read)) return;
    if (!IsKnown(name, fd)) {
      if (read.form == 3 && read.save == EKeptCopySave::CutShort) MarkSavedOver(folderFd, name, fd, read);
      return;
    }
    if (IsSetAside(fd)) return;
    Step();
    if (::unlinkat(folderFd, name.c_str(), 0) == 0) {
      Forget(name);
      removed = true;
    }
  });
  if (removed) SyncFolder(KeptCopyFolderPath());
}

}  // namespace atomic_file

void SetKeptCopyLockWaitHookForTests(void (*hook)(int waited)) { g_lockWaitHook = hook; }

std::string GetKeptCopyFolder() {
  const std::string folder = KeptCopyFolderPath();
  // The copies hold what the files held: for the user alone.
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::vector<CKeptCopy> FindKeptCopies(const std::string& file) {
  std::vector<CKeptCopy> found;
  EachUnheldCopy(file, true, [&](int folderFd, const std::string& name, int fd, CCopyRead& read, const CCopyEnds& ends) {
    if (std::optional<CKeptCopy> kept = TakeFoundCopy(folderFd, name, fd, read, ends)) found.push_back(std::move(*kept));
  });
  return found;
}

std::optional<CKeptCopy> FindKeptCopyAt(const std::string& copy) {
  if (!InKeptCopyFolder(copy)) return std::nullopt;
  const std::string name = NameOf(copy);
  std::optional<CKeptCopy> found;
  EachUnheldCopy({}, false, [&](int folderFd, const std::string& each, int fd, CCopyRead& read, const CCopyEnds& ends) {
    if (!found && each == name) found = TakeFoundCopy(folderFd, each, fd, read, ends);
  });
  return found;
}

bool IsInKeptCopyFolder(const std::string& path) { return InKeptCopyFolder(path); }

std::optional<std::string> FileOfKeptCopy(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat s {};
  CCopyRead read;
  CCopyEnds ends;
  const bool copy = ::fstat(fd, &s) == 0 && S_ISREG(s.st_mode) && ReadCopyStart(fd, read, ends) && read.form != 0;
  ::close(fd);
  if (!copy) return std::nullopt;
  return read.file;
}

bool KeptCopyIsThere(const CKeptCopy& kept) {
  struct stat s {};
  return ::lstat(kept.copy.c_str(), &s) == 0;
}

bool PutKeptCopyBack(const CKeptCopy& kept, std::string* error) {
  const int copyFd = OpenUnheldCopy(kept.copy);
  if (copyFd < 0) return Fail(error, WhyNotTaken("The kept copy could not be read", errno));
  CCopyRead read;
  if (!ReadAndCheck(copyFd, kept.copy, read) || read.damage != EKeptCopyDamage::None) {
    ::close(copyFd);
    return Fail(error, DamageRefusal(read.damage));
  }
  const int fd = ::open(read.file.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  struct stat s {};
  if (fd < 0 || ::fstat(fd, &s) != 0 || !S_ISREG(s.st_mode)) {
    const int code = fd < 0 ? errno : EINVAL;
    if (fd >= 0) ::close(fd);
    ::close(copyFd);
    return Fail(error, Reason("The file could not be written", code));
  }
  LockForSave(fd);
  // What the file holds now, as it stands under the lock, goes to a copy of its own first.
  std::string replaced;
  int replacedFd = -1;
  int code = 0;
  if (::fstat(fd, &s) != 0) code = errno;
  if (code == 0 && s.st_size > 0) code = MakeKeptCopy(fd, read.file, std::uint64_t(s.st_size), replaced, replacedFd, true);
  if (code != 0) {
    ::close(fd);
    ::close(copyFd);
    return Fail(error, Reason("The kept copy was not put back: what the file holds now could not be kept", code));
  }
  code = PutKeptBytesBack(copyFd, fd);
  // Cut short, the file gets back what it held; the copy of that stays unless it is back whole.
  const bool restored = code != 0 && replacedFd >= 0 && PutKeptBytesBack(replacedFd, fd) == 0;
  ::close(fd);
  EndKeptCopy(replaced, replacedFd, restored);
  if (code == 0) {
    RemoveCopy(kept.copy);
    Forget(NameOf(kept.copy));
  }
  ::close(copyFd);
  return code == 0 || Fail(error, Reason("The file could not be written", code));
}

bool ReadKeptCopyBytes(const CKeptCopy& kept, std::vector<std::uint8_t>& bytes, std::string* error) {
  const int copyFd = OpenUnheldCopy(kept.copy);
  if (copyFd < 0) return Fail(error, WhyNotTaken("The kept copy could not be read", errno));
  CCopyRead read;
  bool done = ReadAndCheck(copyFd, kept.copy, read) || Fail(error, Reason("The kept copy could not be read", errno));
  if (done && read.damage != EKeptCopyDamage::None) done = Fail(error, DamageRefusal(read.damage));
  if (done) {
    try {
      bytes.resize(std::size_t(read.size));
    } catch (const std::bad_alloc&) {
      done = Fail(error, Reason("The kept copy could not be read", ENOMEM));
    }
  }
  if (done && !ReadAllAt(copyFd, bytes.data(), bytes.size(), read.dataStart))
    done = Fail(error, Reason("The kept copy could not be read", errno));
  ::close(copyFd);
  return done;
}

bool SaveKeptCopyAs(const CKeptCopy& kept, const std::string& destination, std::string* error) {
  if (InKeptCopyFolder(destination))
    return Fail(error, "The file could not be written: choose a folder other than that of the kept copies");
  const int copyFd = OpenUnheldCopy(kept.copy);
  if (copyFd < 0) return Fail(error, WhyNotTaken("The kept copy could not be read", errno));
  // The copy stays locked while it is saved: the save's own sweep of copies leaves it. What it
  // holds goes out as it stands, damaged or not: the earlier bytes where they are known to lie,
  // else the whole copy.
  CCopyRead read;
  bool saved = ReadAndCheck(copyFd, kept.copy, read) || Fail(error, Reason("The kept copy could not be read", errno));
  const std::uint64_t from = read.region ? read.dataStart : 0, count = read.region ? read.size : read.total;
  CAtomicFileWriter out(destination);
  saved = saved && out.Open(error);
  if (saved) {
    bool written = true;
    const int code = EachBlock(copyFd, from, count, [&](const std::uint8_t* data, std::size_t n, std::uint64_t) {
      written = out.Write(data, n, error);
      return written ? 0 : EIO;
    });
    if (code != 0 && written) Fail(error, Reason("The kept copy could not be read", code));
    saved = code == 0 && out.Commit(error);
  }
  if (saved) {
    RemoveCopy(kept.copy);
    Forget(NameOf(kept.copy));
  }
  ::close(copyFd);
  return saved;
}

bool DiscardKeptCopy(const CKeptCopy& kept, std::string* error) {
  const int fd = OpenUnheldCopy(kept.copy);
  if (fd < 0) return Fail(error, WhyNotTaken("The kept copy could not be deleted", errno));
  RemoveCopy(kept.copy);
  Forget(NameOf(kept.copy));
  ::close(fd);
  return true;
}

bool SetKeptCopyAside(const CKeptCopy& kept, std::string* error) {
  // A file of a form this version does not read is left exactly as it is.
  if (kept.damage == EKeptCopyDamage::Form) return true;
  return SetCopyMode(kept, 0400, "The kept copy could not be set aside", false, error);
}

bool ReleaseKeptCopy(const CKeptCopy& kept, std::string* error) {
  if (kept.damage == EKeptCopyDamage::Form) return true;
  return SetCopyMode(kept, 0600, "The kept copy could not be released", true, error);
}
