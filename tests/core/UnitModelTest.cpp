// Who answers at a device's ID, against the simulated bus: a unit of another model is set aside
// at going online ("Retrieve" and "Send") and when one takes the place of the device's unit
// while online; nothing is written to it and nothing it sends is taken into the file, the log
// names it once, and a unit of the device's own model takes the device up again.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "core/model/Device.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBaseDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "platform/TextFormat.h"
#include "tests/core/BusHarness.h"
#include "tests/support/BusFrames.h"
#include "tests/support/TestClock.h"
#include "tools/devsim/SimProcessor.h"
#include "tools/devsim/SimZelAmp.h"
#include "tools/devsim/SimZelBreak.h"
#include "tests/support/ModelChanges.h"

namespace {

constexpr std::uint32_t kId = 3;
constexpr std::uint32_t kNeighbourId = 5;
constexpr const char* kFileName = "From the file";

// A device of one model in the file and a unit of another model at its ID.
struct ModelCase {
  const char* name;
  std::uint32_t fileType;
  std::uint32_t unitType;
  const char* note;  // the words that name both
};

const ModelCase kModelCases[] = {
    {"Nerex48_Torvex48", 120, 121, "ID 3: the file has a Nerex48, the unit is a Torvex48"},
    {"Torvex48_Nerex48", 121, 120, "ID 3: the file has a Torvex48, the unit is a Nerex48"},
    // Fewer channels: the unit's replies are shorter than the device asks for, and the reverse.
    {"Nerex48_Nerex24", 120, 114, "ID 3: the file has a Nerex48, the unit is a Nerex24"},
    {"Nerex24_Nerex48", 114, 120, "ID 3: the file has a Nerex24, the unit is a Nerex48"},
    {"Calder48_Calder26", 112, 110, "ID 3: the file has a Calder48, the unit is a Calder26"},
    {"Fennick_ZelFennick", 16, 17, "ID 3: the file has a Fennick, the unit is a Zel-Fennick"},
    {"Zel3_Zel6", 52, 55, "ID 3: the file has a Zel-3, the unit is a Zel-6"},
    {"Zel6_Zel3", 55, 52, "ID 3: the file has a Zel-6, the unit is a Zel-3"},
    {"XB08_XB16", 40, 41, "ID 3: the file has a XB-08, the unit is a XB-16"},
};

bool IsProcessorType(std::uint32_t type) { return type < 34 || type > 60; }

// A simulated unit of the type at the ID, switched on or off.
CSimSwitchedUnit* AddUnit(CSimBus& bus, std::uint32_t type, std::uint32_t id, bool on) {
  std::unique_ptr<CSimUnit> unit;
  SimSecurityConfig zel;
  zel.typeCode = std::uint8_t(type);
  zel.deviceId = id;
  if (IsProcessorType(type)) {
    unit = std::make_unique<CSimProcessorUnit>(int(type), id);
  } else if (type >= 51) {
    unit = std::make_unique<CSimZelAmpUnit>(zel);
  } else {
    unit = std::make_unique<CSimZelBreakUnit>(zel);
  }
  CSimSwitchedUnit* switched = bus.Add<CSimSwitchedUnit>(std::move(unit));
  switched->SetSilent(!on);
  return switched;
}

// The program's clock moves on only with the requests on the bus, each taking about what an
// answered read takes on a 57600-baud line: what the worker decides by its clock (rests, probes
// of a silent unit, hold-offs) follows the requests, not the speed of the machine.
constexpr std::int64_t kRequestUs = 4000;

class UnitModelTest : public ::testing::Test {
 protected:
  UnitModelTest() {
    RegisterAmplifierFamilies();
    RegisterProcessorFamily();
    h.DecideOnEvents();
    h.SkipSecurityDialog();
    h.bus.Add<CClockMover>(m_clock, [](const SimBytes&) { return kRequestUs; });
    // The processors poll their meters at every turn, as with the System Monitor shown: the line
    // never idles, and the worker goes at the pace of the bus.
    h.system.SetSystemMonitorVisible(true);
  }

  // The file: the device at kId, and a Nerex48 at kNeighbourId whose unit is what the file says.
  void MakeFile(std::uint32_t type) {
    device = h.system.CreateDevice(kId, type, 0);
    NameDevice(device, kFileName);
    // A Fennick sets its unit's clock even when reading it: not here, so that nothing is written.
    if (auto* processor = dynamic_cast<CNerexSeriesDevice*>(device)) processor->HostOptions().SetAutoRtcUpdate(false);
    h.system.AppendDevice(device);
    neighbour = static_cast<CNerexSeriesDevice*>(h.system.CreateDevice(kNeighbourId, 120, 0));
    h.system.AppendDevice(neighbour);
    AddUnit(h.bus, 120, kNeighbourId, true);
  }
  bool Connected(CDevice* d) const {
    if (!d->IsConnected()) return false;
    if (auto* p = dynamic_cast<CNerexSeriesDevice*>(d)) return p->AllBlocksReceived();
    return static_cast<CZelBaseDevice*>(d)->IsReadOutComplete();
  }
  // The requests to kId from request from on.
  std::vector<BusFrame> ToTheId(std::size_t from = 0) const {
    std::vector<BusFrame> out;
    for (const BusFrame& f : DecodeBusFrames(h.bus.Requests(), from))
      if (f.id == kId) out.push_back(f);
    return out;
  }
  static std::vector<BusFrame> Writes(const std::vector<BusFrame>& frames) {
    std::vector<BusFrame> out;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(out), [](const BusFrame& f) { return f.write; });
    return out;
  }
  // A set-aside device's probe: the processors' identification request, the Zel units' check.
  static bool IsProbe(const BusFrame& f) { return f.identification || (!f.write && f.command == 60); }
  std::size_t LogCount(const std::string& text) const {
    const auto lines = h.frame.LogLines();
    return std::size_t(std::count_if(lines.begin(), lines.end(),
                                     [&](const std::string& line) { return line.find(text) != std::string::npos; }));
  }
  // A person's change of the device's first level setting, to its lowest value.
  static void ChangeALevel(CDevice& d) {
    CParamInfo any;
    any.name = "NULL";
    std::vector<CParamInfo> all;
    d.ListMatchingParameters(any, all);
    for (const CParamInfo& info : all) {
      if (info.kind != ParamKind::kLevel || (info.options & kParamOptionReadOnly)) continue;
      ModelChange(d, CParamValue(info.id, info.minimum, ParamKind::kLevel));
      return;
    }
    ADD_FAILURE() << "no level setting";
  }
  // Waits until done() holds, checked under the system's lock.
  bool Wait(const std::function<bool()>& done) {
    return WaitFor(
        [&] {
          CSingleLock lock(h.system.GetLock());
          return done();
        },
        60000);
  }
  // Lets the bus carry this many more requests.
  void Carry(std::size_t requests) {
    const std::size_t before = h.bus.RequestCount();
    ASSERT_TRUE(WaitFor([&] { return h.bus.RequestCount() >= before + requests; }, 60000));
  }

  // Before the harness: its worker and bus, which read the clock, end before the clock goes.
  CTestClock m_clock;
  CClockInUse m_clockInUse{m_clock};
  CBusHarness h;
  CDevice* device = nullptr;
  CNerexSeriesDevice* neighbour = nullptr;
};

class OtherModelAtGoingOnline
    : public UnitModelTest,
      public ::testing::WithParamInterface<std::tuple<ModelCase, std::uint32_t>> {};

// Going online finds the other model at the ID: the device is set aside, named once in the log
// nothing is written to the unit and only the probe is asked of it, the
// file keeps what it holds, and the rest of the line is read out and polled as ever. Once a unit
// of the device's own model answers there, the device takes it up as at going online.
TEST_P(OtherModelAtGoingOnline, IsSetAsideUntilItsOwnModelAnswers) {
  const auto& [models, session] = GetParam();
  MakeFile(models.fileType);
  CSimSwitchedUnit* other = AddUnit(h.bus, models.unitType, kId, true);
  CSimSwitchedUnit* own = AddUnit(h.bus, models.fileType, kId, false);
  ASSERT_TRUE(h.StartOnline(session));

  ASSERT_TRUE(Wait([&] { return device->UnitAtId().GetOtherModelAtId() == models.unitType && Connected(neighbour); }));
  const std::size_t setAside = h.bus.RequestCount();
  Carry(120);
  EXPECT_EQ(LogCount(std::string(models.note) + " - nothing is sent to that unit or read from it"), 1u);
  EXPECT_FALSE(device->IsConnected());
  EXPECT_EQ(device->GetName(), kFileName);
  EXPECT_EQ(device->Queue().GetQueueSize(), 0u);
  const std::vector<BusFrame> whileAside = ToTheId();
  EXPECT_TRUE(Writes(whileAside).empty()) << DescribeBusFrames(Writes(whileAside));
  const std::vector<BusFrame> since = ToTheId(setAside);
  EXPECT_FALSE(since.empty());  // still asked who answers there
  EXPECT_TRUE(std::all_of(since.begin(), since.end(), IsProbe)) << DescribeBusFrames(since);
  // The rest of the line went on: the neighbour was polled all along.
  const std::vector<BusFrame> all = DecodeBusFrames(h.bus.Requests(), setAside);
  EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const BusFrame& f) { return f.id == kNeighbourId; }));
  EXPECT_TRUE(neighbour->IsConnected());

  // The device's own model comes to the ID.
  other->SetSilent(true);
  own->SetSilent(false);
  const std::size_t swapped = h.bus.RequestCount();
  ASSERT_TRUE(Wait([&] { return Connected(device) && device->Queue().GetQueueSize() == 0; }));
  Carry(40);
  EXPECT_EQ(device->UnitAtId().GetOtherModelAtId(), 0u);
  EXPECT_EQ(LogCount(FormatText("ID 3: the unit is a %s again", device->GetModelName().c_str())), 1u);
  const std::vector<BusFrame> writes = Writes(ToTheId(swapped));
  if (session == 1) {
    // "Send": the file's settings go to the unit, and the file keeps its name.
    EXPECT_FALSE(writes.empty());
    EXPECT_TRUE(std::all_of(writes.begin(), writes.end(),
                            [&](const BusFrame& f) { return f.type == int(models.fileType); }))
        << DescribeBusFrames(writes);
    if (IsProcessorType(models.fileType)) {
      EXPECT_EQ(device->GetName(), kFileName);
    }
  } else {
    EXPECT_TRUE(writes.empty()) << DescribeBusFrames(writes);
    EXPECT_NE(device->GetName(), kFileName) << DescribeBusFrames(ToTheId(swapped));  // the unit's name, read
  }
}

INSTANTIATE_TEST_SUITE_P(Models, OtherModelAtGoingOnline,
                         ::testing::Combine(::testing::ValuesIn(kModelCases), ::testing::Values(0u, 1u)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) == 1 ? "_Send" : "_Retrieve");
                         });

class OtherModelWhileOnline : public UnitModelTest, public ::testing::WithParamInterface<ModelCase> {};

// A unit of another model takes the place of the device's unit while online: the device drops
// its connection, the log names the unit once, and a change made afterwards reaches no unit.
TEST_P(OtherModelWhileOnline, SetsTheDeviceAsideAtItsFirstReply) {
  const ModelCase& models = GetParam();
  MakeFile(models.fileType);
  CSimSwitchedUnit* own = AddUnit(h.bus, models.fileType, kId, true);
  CSimSwitchedUnit* other = AddUnit(h.bus, models.unitType, kId, false);
  ASSERT_TRUE(h.StartOnline(0));
  ASSERT_TRUE(Wait([&] { return Connected(device) && Connected(neighbour); }));
  const std::string unitsName = device->GetName();

  own->SetSilent(true);
  other->SetSilent(false);
  const std::size_t swapped = h.bus.RequestCount();
  ASSERT_TRUE(Wait([&] { return device->UnitAtId().GetOtherModelAtId() == models.unitType; }));
  EXPECT_FALSE(device->IsConnected());
  EXPECT_TRUE(device->HeldValues().IsAwayOnline());
  ChangeALevel(*device);
  EXPECT_EQ(device->Queue().GetQueueSize(), 0u);
  Carry(60);
  EXPECT_EQ(LogCount(std::string(models.note) + " - nothing is sent to that unit or read from it"), 1u);
  EXPECT_EQ(device->GetName(), unitsName);
  const std::vector<BusFrame> writes = Writes(ToTheId(swapped));
  EXPECT_TRUE(writes.empty()) << DescribeBusFrames(writes);
}

INSTANTIATE_TEST_SUITE_P(Models, OtherModelWhileOnline, ::testing::ValuesIn(kModelCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A processor of the same line with fewer channels takes the place of the device's unit while
// the device reads the unit out: the block read that follows the identification is answered
// with a shorter reply, from which the device learns the model at once, before it asks anything
// more at the ID: no probe goes there while the device still takes the unit for its own.
struct ShorterWhileReadingCase {
  const char* name;
  std::uint32_t fileType;
  std::uint32_t unitType;
};
void PrintTo(const ShorterWhileReadingCase& c, std::ostream* os) { *os << c.name; }

class ShorterReplyWhileReading : public UnitModelTest, public ::testing::WithParamInterface<ShorterWhileReadingCase> {};

TEST_P(ShorterReplyWhileReading, SetsTheDeviceAsideAtThatReply) {
  const ShorterWhileReadingCase& c = GetParam();
  h.system.Settings().SetLogCommsErrors(true);
  MakeFile(c.fileType);
  CSimSwitchedUnit* own = AddUnit(h.bus, c.fileType, kId, true);
  CSimSwitchedUnit* other = AddUnit(h.bus, c.unitType, kId, false);
  // On the bus thread, as each request comes: the swap at the read-out's identification (the
  // first after the names read of the security step), and then whether any probe reaches the
  // ID while the device is not set aside yet. Shared, as the bus runs on after the test's body.
  struct Watch {
    bool namesRead = false, swapped = false;
    std::atomic<int> probesBeforeSetAside{0}, requestsAfterSwap{0};
  };
  const auto watch = std::make_shared<Watch>();
  CDevice* const watched = device;
  h.bus.SetAnswerWatcher([watch, watched, own, other](const SimBytes& request, const SimBytes&) {
    const BusFrame f = DecodeBusFrame(request);
    if (f.id != kId) return;
    if (watch->swapped) {
      ++watch->requestsAfterSwap;
      if (f.identification && !watched->UnitAtId().IsSetAside()) ++watch->probesBeforeSetAside;
    } else if (!f.write && f.command == 51) {
      watch->namesRead = true;
    } else if (watch->namesRead && f.identification) {
      own->SetSilent(true);
      other->SetSilent(false);
      watch->swapped = true;
    }
  });
  ASSERT_TRUE(h.StartOnline(0));
  ASSERT_TRUE(Wait([&] { return device->UnitAtId().GetOtherModelAtId() == c.unitType; }));
  // Until the device's next probe there.
  ASSERT_TRUE(WaitFor([&] { return watch->requestsAfterSwap.load() >= 2; }, 60000));
  EXPECT_EQ(watch->probesBeforeSetAside.load(), 0);
  EXPECT_EQ(LogCount("Check buffer failed, Command = 0x30 - length in return"), 1u);
  EXPECT_FALSE(device->IsConnected());
  EXPECT_EQ(LogCount(FormatText("ID 3: the file has a %s, the unit is a", device->GetModelName().c_str())), 1u);
}

INSTANTIATE_TEST_SUITE_P(Models, ShorterReplyWhileReading,
                         ::testing::Values(ShorterWhileReadingCase{"Nerex48_Nerex24", 120, 114},
                                           ShorterWhileReadingCase{"Calder48_Calder26", 112, 110}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
