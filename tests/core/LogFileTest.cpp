// Log lines: stamp, CR before LF, trimming to the size limit, the comms error switch, the post
// to the output pane and the export copy.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/support/AppSettings.h"
#include "core/support/LogFile.h"
#include "core/support/SystemMessages.h"
#include "platform/AppPaths.h"
#include "platform/Archive.h"
#include "platform/AtomicFile.h"
#include "platform/Sync.h"
#include "platform/WindowMessages.h"

namespace {

std::tm At(int day, int month, int year, int h, int m, int s) {
  std::tm t{};
  t.tm_mday = day;
  t.tm_mon = month - 1;
  t.tm_year = year - 1900;
  t.tm_hour = h;
  t.tm_min = m;
  t.tm_sec = s;
  return t;
}

std::string ReadAll(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return "<missing>";
  return f.readAll().toStdString();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes.data(), qint64(bytes.size()));
}

class LogFileTest : public ::testing::Test {
 public:
  void SetUp() override {
    QFile::remove(QString::fromStdString(CLogFile::GetLogFilePath()));
    m_log.SetLocalTimeForTests([] { return At(7, 3, 2025, 9, 5, 3); });
    m_log.SetOutputSink(&m_sink);
  }
  CCriticalSection m_lock;
  CAppSettings m_settings;
  CRecordingSink m_sink;
  CLogFile m_log{m_lock, m_settings};
};

}  // namespace

TEST_F(LogFileTest, LineIsStampedAndWrittenWithCrLf) {
  EXPECT_EQ(CLogFile::FormatLine(At(7, 3, 2025, 9, 5, 3), "Going Online\n"),
            "07-03-2025 09:05:03    Going Online\n");
  m_log.WriteLog("Going Online\n");
  m_log.WriteLog("two\nlines\n");
  EXPECT_EQ(ReadAll(CLogFile::GetLogFilePath()),
            "07-03-2025 09:05:03    Going Online\r\n07-03-2025 09:05:03    two\r\nlines\r\n");
  EXPECT_EQ(CLogFile::GetLogFilePath().substr(CLogFile::GetLogFilePath().size() - 18),
            "/Orvak/LogFile.txt");
}

TEST_F(LogFileTest, EachLineIsPostedToTheOutputPaneAsTheMessagesText) {
  m_log.WriteLog("Going Offline\n");
  const auto messages = m_sink.Take();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, FrameMsg::kLogLine);
  EXPECT_EQ(messages[0].lParam, 0);
  EXPECT_EQ(messages[0].wParam, 0u);
  EXPECT_EQ(messages[0].text, "07-03-2025 09:05:03    Going Offline\n");
}

TEST_F(LogFileTest, CommsErrorLinesNeedLogCommsErrors) {
  m_settings.logCommsErrors = false;
  m_log.WriteErrorLog("No reply\n");
  EXPECT_EQ(ReadAll(CLogFile::GetLogFilePath()), "<missing>");
  EXPECT_EQ(m_sink.Count(FrameMsg::kLogLine), 0u);
  m_log.WriteLog("Going Online\n");
  m_settings.logCommsErrors = true;
  m_log.WriteErrorLog("No reply\n");
  EXPECT_EQ(ReadAll(CLogFile::GetLogFilePath()),
            "07-03-2025 09:05:03    Going Online\r\n07-03-2025 09:05:03    No reply\r\n");
  EXPECT_EQ(m_sink.Count(FrameMsg::kLogLine), 2u);
}

// Once the file reaches the limit, whole leading lines go until it is below three quarters of
// the limit: the next quarter of the limit is logged before the file is rewritten again.
TEST_F(LogFileTest, TrimDropsWholeLeadingLinesUntilBelowThreeQuartersOfTheLimit) {
  m_settings.maxLogFileSizeKB = 1;
  // 1500 bytes of 100-byte lines (98 characters, CR, LF).
  std::string old;
  for (int i = 0; i < 15; ++i) old += std::string(97, char('a' + i)) + "|\r\n";
  WriteAll(CLogFile::GetLogFilePath(), old);
  m_log.WriteLog("new\n");
  m_log.WaitForTrim();
  const std::string kept = ReadAll(CLogFile::GetLogFilePath());
  EXPECT_LT(kept.size(), 768u);
  // Each dropped line goes up to its CR; its LF stays in front of the kept text.
  const std::string tail = old + "07-03-2025 09:05:03    new\r\n";
  EXPECT_EQ(kept, tail.substr(tail.size() - kept.size()));
  EXPECT_EQ(kept[0], '\n');
  EXPECT_GT(kept.size(), 768u - 100u);
  // Lines are added without a trim until the file reaches the limit again.
  std::string log = kept;
  while (log.size() + 29 < 1024) {
    m_log.WriteLog("more\n");
    log += "07-03-2025 09:05:03    more\r\n";
    ASSERT_EQ(ReadAll(CLogFile::GetLogFilePath()), log);
  }
}

TEST_F(LogFileTest, NewLimitTakesEffectAtTheNextLine) {
  m_settings.maxLogFileSizeKB = 100;
  WriteAll(CLogFile::GetLogFilePath(), std::string(3000, 'x') + "\r\n" + std::string(10, 'y'));
  m_log.WriteLog("a\n");
  EXPECT_GT(ReadAll(CLogFile::GetLogFilePath()).size(), 3000u);
  m_settings.maxLogFileSizeKB = 2;
  m_log.WriteLog("b\n");
  m_log.WaitForTrim();
  EXPECT_EQ(ReadAll(CLogFile::GetLogFilePath()),
            "\n" + std::string(10, 'y') + "07-03-2025 09:05:03    a\r\n07-03-2025 09:05:03    b\r\n");
}

TEST_F(LogFileTest, TrimEndsWhenTheLimitIsZeroOrNoLineEndRemains) {
  m_settings.maxLogFileSizeKB = 0;
  m_log.WriteLog("kept\n");  // must not loop forever; nothing is trimmed
  EXPECT_EQ(ReadAll(CLogFile::GetLogFilePath()), "07-03-2025 09:05:03    kept\r\n");

  // One line without a CR that is over the limit: the whole file goes.
  m_settings.maxLogFileSizeKB = 1;
  WriteAll(CLogFile::GetLogFilePath(), std::string(2000, 'z'));
  m_log.WriteLog("x");
  m_log.WaitForTrim();
  EXPECT_EQ(ReadAll(CLogFile::GetLogFilePath()), "");
}

// The limit is typed in by the user; a huge one must neither take memory nor stop the log.
TEST_F(LogFileTest, HugeSizeLimitTakesNoMemoryUpFrontAndStillLogs) {
  m_settings.maxLogFileSizeKB = 0xFFFFFFFFu;
  EXPECT_NO_THROW(m_log.WriteLog("first\n"));
  EXPECT_NO_THROW(m_log.WriteLog("second\n"));
  EXPECT_EQ(ReadAll(CLogFile::GetLogFilePath()),
            "07-03-2025 09:05:03    first\r\n07-03-2025 09:05:03    second\r\n");
  EXPECT_EQ(m_sink.Count(FrameMsg::kLogLine), 2u);
}

namespace {

int g_flushes = 0;
bool g_flushFails = false;
int CountedFlush(int fd) {
  ++g_flushes;
  if (!g_flushFails) return ::fsync(fd);
  errno = EIO;
  return -1;
}

// A text that makes a line of 100 bytes in the file: the stamp, 75 characters, CR LF.
const std::string kHundredBytes = std::string(75, 'x') + "\n";

std::int64_t LogSize() { return std::int64_t(ReadAll(CLogFile::GetLogFilePath()).size()); }

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

const char* const kTrimFailed = "The log file could not be cut down to below its limit of ";

}  // namespace

// A trim that cannot be written (here the disk fails its flush) is said once, in the log and in
// the output pane, and tried again only once another quarter of the limit has been logged, not
// at each line; the first try after the disk works again cuts the log down.
TEST_F(LogFileTest, AFailedTrimIsSaidOnceAndTriedAgainAfterAnotherQuarterOfTheLimit) {
  m_settings.maxLogFileSizeKB = 64;
  const std::int64_t limit = 64 * 1024;
  while (LogSize() < limit - 100) m_log.WriteLog(kHundredBytes);
  m_sink.Take();
  SetFileSyncForTests(CountedFlush);
  struct CFlushBack {
    ~CFlushBack() { SetFileSyncForTests(nullptr); }
  } flushBack;
  g_flushFails = true;
  std::vector<std::int64_t> triedAt;
  for (int i = 0; i < 400; ++i) {  // 0.6 of the limit
    const int before = g_flushes;
    m_log.WriteLog(kHundredBytes);
    m_log.WaitForTrim();
    if (g_flushes != before) triedAt.push_back(LogSize());
  }
  ASSERT_EQ(triedAt.size(), 3u);
  EXPECT_LT(triedAt[0], limit + 300);
  // Each try a quarter after the last one's line, which the words of the first failure follow.
  for (std::size_t i = 1; i < triedAt.size(); ++i) EXPECT_GE(triedAt[i] - triedAt[i - 1], limit / 4 - 300);
  const std::string said = "07-03-2025 09:05:03    " + std::string(kTrimFailed) +
                           "64 KB: The file could not be flushed to the disk: " + std::strerror(EIO) +
                           ". It is tried again once another quarter of that has been logged.\n";
  EXPECT_EQ(Occurrences(ReadAll(CLogFile::GetLogFilePath()), kTrimFailed), 1u);
  std::size_t posted = 0;
  for (const CPostedMessage& message : m_sink.Take()) posted += message.text == said ? 1 : 0;
  EXPECT_EQ(posted, 1u);
  // Another limit may have taken the cause away: tried at the next line, and not said again.
  m_settings.maxLogFileSizeKB = 63;
  const int before = g_flushes;
  m_log.WriteLog(kHundredBytes);
  m_log.WaitForTrim();
  EXPECT_GT(g_flushes, before);
  EXPECT_EQ(Occurrences(ReadAll(CLogFile::GetLogFilePath()), kTrimFailed), 1u);

  m_settings.maxLogFileSizeKB = 64;
  g_flushFails = false;
  for (int i = 0; i < 1000 && LogSize() > limit - limit / 4; ++i) {
    m_log.WriteLog(kHundredBytes);
    m_log.WaitForTrim();
  }
  EXPECT_LT(LogSize(), limit - limit / 4);
  EXPECT_GE(LogSize(), limit - limit / 4 - 200);
}

// A log folder that takes no new file (read-only for its user) fails the trim the same way:
// said once, and not tried again at each line.
TEST_F(LogFileTest, ATrimInAFolderThatTakesNoFileIsNotTriedAtEachLine) {
  char home[] = "/tmp/orvak-log-XXXXXX";
  ASSERT_TRUE(::mkdtemp(home));
  constexpr uid_t kNobody = 65534;
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(home, kNobody, kNobody), 0);
  }
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(1);
    SetUserDataRootForTests(home);
    m_settings.maxLogFileSizeKB = 16;
    while (LogSize() < 16 * 1024 - 100) m_log.WriteLog(kHundredBytes);
    ::chmod(GetAppDataFolder().c_str(), 0555);
    g_flushes = 0;
    SetSaveStepHookForTests([](int) { ++g_flushes; });
    for (int i = 0; i < 100; ++i) {  // 0.6 of the limit
      m_log.WriteLog(kHundredBytes);
      m_log.WaitForTrim();
    }
    const std::string result = std::to_string(g_flushes) + " " +
                               std::to_string(Occurrences(ReadAll(CLogFile::GetLogFilePath()), kTrimFailed));
    [[maybe_unused]] const ssize_t sent = ::write(ends[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(ends[1]);
  char answer[64] = {};
  [[maybe_unused]] const ssize_t got = ::read(ends[0], answer, sizeof answer - 1);
  ::close(ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::chmod((std::string(home) + "/Orvak").c_str(), 0755);
  std::filesystem::remove_all(home);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  int steps = -1, said = -1;
  ASSERT_EQ(std::sscanf(answer, "%d %d", &steps, &said), 2) << answer;
  EXPECT_GT(steps, 0);
  EXPECT_LE(steps, 3 * 2);  // three tries, each looking for a temporary file and a kept copy
  EXPECT_EQ(said, 1);
}

namespace {
CCriticalSection* g_logLock = nullptr;
CLogFile* g_log = nullptr;
int g_freeSteps = 0;
// At each step of the trim's save: whether another thread may take the log's lock now, and if
// so it logs a line there and then.
void LogFromAnotherThread(int) {
  std::thread([] {
    if (!g_logLock->TryEnter()) return;
    g_logLock->Leave();
    if (g_freeSteps++ == 0) g_log->WriteLog("logged during the trim\n");
  }).join();
}
}  // namespace

// The trim copies the kept part without the lock that every line (and the comms worker) takes:
// a line logged meanwhile waits for nothing, and is in the log once the trim has ended.
TEST_F(LogFileTest, ATrimLeavesTheLockFreeWhileItCopiesAndKeepsTheLinesLoggedMeanwhile) {
  m_settings.maxLogFileSizeKB = 64;
  std::string full;
  for (int i = 0; full.size() < 64 * 1024 - 10; ++i) full += "line " + std::to_string(i) + " of the log\r\n";
  WriteAll(CLogFile::GetLogFilePath(), full);
  g_logLock = &m_lock;
  g_log = &m_log;
  g_freeSteps = 0;
  SetSaveStepHookForTests(LogFromAnotherThread);
  m_log.WriteLog("the line over the limit\n");
  m_log.WaitForTrim();
  SetSaveStepHookForTests(nullptr);
  EXPECT_GT(g_freeSteps, 0);
  const std::string now = ReadAll(CLogFile::GetLogFilePath());
  const std::string all = full + "07-03-2025 09:05:03    the line over the limit\r\n" +
                          "07-03-2025 09:05:03    logged during the trim\r\n";
  // Cut to below three quarters of the limit, then the line logged meanwhile.
  EXPECT_LT(now.size(), 48u * 1024 + 100);
  EXPECT_EQ(now, all.substr(all.size() - now.size()));
}

// A log line that makes the log trim it, and an export of the log over an earlier file, killed
// (a real process, killed for good) before any one step of their saves: the log holds all its
// lines or the trimmed ones, never none; the export's file holds its earlier bytes or the log.
class LogKilledTest : public LogFileTest, public ::testing::WithParamInterface<bool> {};

namespace {
int g_killAt = 0;
void KillAt(int step) {
  if (step == g_killAt) ::kill(::getpid(), SIGKILL);
}
}  // namespace

TEST_P(LogKilledTest, ATrimOrAnExportKilledAtAnyStepLosesNoLine) {
  const bool exports = GetParam();
  const std::string log = CLogFile::GetLogFilePath();
  QTemporaryDir dir;
  const std::string copy = dir.path().toStdString() + "/export.txt";
  m_settings.maxLogFileSizeKB = exports ? 0 : 64;
  std::string full;
  for (int i = 0; full.size() < 64 * 1024 - 10; ++i) full += "line " + std::to_string(i) + " of the log\r\n";
  const std::string line = "the line over the limit\n";
  const std::string lineInFile = "07-03-2025 09:05:03    the line over the limit\r\n";
  int steps = 0;
  for (int step = 1; step < 100; ++step, ++steps) {
    SCOPED_TRACE(step);
    WriteAll(log, full);
    WriteAll(copy, "the earlier export");
    const pid_t child = ::fork();
    if (child == 0) {
      g_killAt = step;
      SetSaveStepHookForTests(KillAt);
      if (exports) {
        ::_exit(m_log.ReadLogFile(copy) ? 0 : 1);
      }
      m_log.WriteLog(line);
      m_log.WaitForTrim();
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (exports) {
      const std::string exported = ReadAll(copy);
      EXPECT_TRUE(exported == "the earlier export" || exported == full) << exported.size();
    } else {
      const std::string now = ReadAll(log);
      const std::string all = full + lineInFile;
      EXPECT_FALSE(now.empty());
      EXPECT_TRUE(now == all || (now.size() < 48 * 1024 && now == all.substr(all.size() - now.size())))
          << now.size();
    }
    if (!WIFSIGNALED(status)) break;
  }
  EXPECT_GT(steps, 3);
}

INSTANTIATE_TEST_SUITE_P(Saves, LogKilledTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Export" : "Trim");
                         });

// An export over a file whose owner marked it read-only is refused with the writer's reason and
// leaves it as it was (also for root, whom the system would let write it).
TEST_F(LogFileTest, ExportOverAReadOnlyFileIsRefusedAndKeepsIt) {
  m_log.WriteLog("one\n");
  QTemporaryDir dir;
  const std::string copy = dir.path().toStdString() + "/export.txt";
  WriteAll(copy, "keep");
  ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(copy), QFileDevice::ReadOwner));
  std::string error;
  EXPECT_FALSE(m_log.ReadLogFile(copy, &error));
  EXPECT_EQ(error, "The file could not be written: the file is read-only");
  EXPECT_EQ(ReadAll(copy), "keep");
}

TEST_F(LogFileTest, ExportCopiesTheWholeFileAndReportsFailure) {
  m_log.WriteLog("one\n");
  QTemporaryDir dir;
  const std::string copy = dir.path().toStdString() + "/export.txt";
  WriteAll(copy, "old content that is longer than the log file itself, to be truncated");
  ASSERT_TRUE(m_log.ReadLogFile(copy));
  EXPECT_EQ(ReadAll(copy), "07-03-2025 09:05:03    one\r\n");
  std::string error;
  EXPECT_FALSE(m_log.ReadLogFile(dir.path().toStdString() + "/no/such/folder/x.txt", &error));
  EXPECT_EQ(error, "The file could not be created: No such file or directory");
}
