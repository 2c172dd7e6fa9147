#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "platform/AppPaths.h"
#include "platform/Clipboard.h"
#include "platform/ObjectHandle.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMessages.h"

namespace {

class CCollectingTarget : public CMessageTarget {
 public:
  std::vector<std::pair<std::uint32_t, WPARAM>> got;
  std::vector<std::thread::id> threads;
  std::vector<std::uint32_t> timers;

 protected:
  void OnMessage(const CPostedMessage& m) override {
    got.emplace_back(m.message, m.wParam);
    threads.push_back(std::this_thread::get_id());
  }
  void OnTimer(std::uint32_t id) override { timers.push_back(id); }
};

void PumpUntil(const std::function<bool()>& done, int ms = 3000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

TEST(PostedMessages, ArriveInOrderOnTheUiThread) {
  CCollectingTarget target;
  std::thread worker([&] {
    for (WPARAM i = 0; i < 500; ++i) target.PostMessage(WM_APP + 106, i, 0);
  });
  worker.join();
  PumpUntil([&] { return target.got.size() == 500; });
  ASSERT_EQ(target.got.size(), 500u);
  for (WPARAM i = 0; i < 500; ++i) EXPECT_EQ(target.got[i].second, i);
  for (auto id : target.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(PostedMessages, DispatchPendingRunsQueuedHandlers) {
  CCollectingTarget target;
  target.PostMessage(WM_APP + 101, 1, 0);
  target.PostMessage(WM_APP + 102, 2, 0);
  target.DispatchPendingMessages();
  EXPECT_EQ(target.got.size(), 2u);
}

TEST(PostedMessages, RecordingSinkKeepsOrderAndCounts) {
  CRecordingSink sink;
  sink.PostMessage(WM_APP + 111, 5, 104);
  sink.PostMessage(WM_APP + 103, 0, 0);
  sink.PostMessage(WM_APP + 111, 6, 105);
  EXPECT_EQ(sink.Count(WM_APP + 111), 2u);
  auto all = sink.Take();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].lParam, 105);
  EXPECT_TRUE(sink.Messages().empty());
}

TEST(ObjectHandles, NeverZeroNeverReusedAndNewForEveryCopy) {
  std::set<std::uint64_t> seen;
  for (int i = 0; i < 100; ++i) {
    const auto made = std::make_unique<CObjectHandle>();  // freed at once: its value stays taken
    CObjectHandle copy(*made);
    CObjectHandle assigned;
    const std::uint64_t before = assigned.Value();
    assigned = *made;
    EXPECT_EQ(assigned.Value(), before) << "assignment keeps the object's own handle";
    for (const std::uint64_t value : {made->Value(), copy.Value(), assigned.Value()}) {
      EXPECT_NE(value, 0u);
      EXPECT_TRUE(seen.insert(value).second) << value;
    }
  }
}

// The watches of a thread hear of every handle that ends there, in the order they were made;
// a watch may end, or another be made, or another object end, while they are being told.
TEST(ObjectHandles, WatchesHearOfEveryEndOnTheirThread) {
  std::vector<std::pair<char, std::uint64_t>> heard;
  auto first = std::make_unique<CObjectHandle>();
  const std::uint64_t firstValue = first->Value();
  auto inner = std::make_unique<CObjectHandle>();
  const std::uint64_t innerValue = inner->Value();
  std::unique_ptr<CObjectEndWatch> late;
  std::unique_ptr<CObjectEndWatch> b;
  CObjectEndWatch a([&](std::uint64_t value) {
    heard.emplace_back('a', value);
    if (value != firstValue) return;
    b.reset();                   // ends while being told: it hears no more
    inner.reset();               // another object ends inside the notice
    late = std::make_unique<CObjectEndWatch>([&](std::uint64_t v) { heard.emplace_back('l', v); });
  });
  b = std::make_unique<CObjectEndWatch>([&](std::uint64_t value) { heard.emplace_back('b', value); });
  first.reset();
  EXPECT_EQ(heard, (std::vector<std::pair<char, std::uint64_t>>{{'a', firstValue}, {'a', innerValue}}));

  heard.clear();
  std::uint64_t offThread = 0;
  std::thread([&] {
    CObjectHandle elsewhere;  // ends on a thread without watches
    offThread = elsewhere.Value();
  }).join();
  EXPECT_TRUE(heard.empty()) << offThread;
  { CObjectHandle last; }
  EXPECT_EQ(heard.size(), 2u);  // a, then the watch made while the first end was told
  late.reset();
}

TEST(Timers, NumberedTimersFireAndStop) {
  CCollectingTarget target;
  target.SetTimer(79, 5);
  EXPECT_TRUE(target.HasTimer(79));
  PumpUntil([&] { return target.timers.size() >= 2; });
  EXPECT_GE(target.timers.size(), 2u);
  EXPECT_EQ(target.timers.front(), 79u);
  target.KillTimer(79);
  EXPECT_FALSE(target.HasTimer(79));
  std::size_t n = target.timers.size();
  PumpUntil([] { return false; }, 30);
  EXPECT_EQ(target.timers.size(), n);
}

TEST(SettingsStore, DefaultsWhenMissingAndValuesPersist) {
  EXPECT_EQ(CSettingsStore::GetInt("Settings", "NoSuchKey", 42), 42u);
  EXPECT_EQ(CSettingsStore::GetString("Settings", "NoSuchString", "dflt"), "dflt");
  CSettingsStore::WriteInt("Settings", "Number", 0xFFFFFFFFu);
  CSettingsStore::WriteString("Settings", "Text", "/tmp/x.ovl");
  EXPECT_EQ(CSettingsStore::GetInt("Settings", "Number", 0), 0xFFFFFFFFu);
  EXPECT_EQ(CSettingsStore::GetString("Settings", "Text", ""), "/tmp/x.ovl");
  CSettingsStore::Remove("Settings", "Number");
  EXPECT_FALSE(CSettingsStore::Contains("Settings", "Number"));
}

TEST(AppPaths, AppDataFolderIsCreatedUnderTheUserDataRoot) {
  std::string folder = GetAppDataFolder();
  EXPECT_EQ(folder, GetUserDataRoot() + "/Orvak/");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(GetExecutableFolder().back(), '/');
}

TEST(Clipboard, FormatsByNameCarryBytes) {
  std::uint32_t a = RegisterClipboardFormat("NerexSeriesSettings");
  std::uint32_t b = RegisterClipboardFormat("CustomControlPanel");
  EXPECT_NE(a, b);
  EXPECT_EQ(RegisterClipboardFormat("NerexSeriesSettings"), a);
  EXPECT_EQ(GetClipboardFormatName(b), "CustomControlPanel");
  std::vector<std::uint8_t> data{1, 2, 0, 255};
  ASSERT_TRUE(SetClipboardData(a, data));
  EXPECT_TRUE(IsClipboardFormatAvailable(a));
  EXPECT_FALSE(IsClipboardFormatAvailable(b));
  EXPECT_TRUE(ClipboardHoldsRegisteredFormat());
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(GetClipboardData(a, back));
  EXPECT_EQ(back, data);
  EmptyClipboard();
  EXPECT_FALSE(IsClipboardFormatAvailable(a));
  EXPECT_FALSE(SetClipboardData(0x1234, data));
}
