// The system file: golden bytes of a new system, round trips, the reading of versions 1 to 4,
// the values links owe their members after the record, refused and damaged files, and saves that fail
// without touching the original.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <thread>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "core/system/System.h"
#include "core/system/SystemFile.h"
#include "core/model/User.h"
#include "core/protocol/Scramble.h"
#include "core/system/Zone.h"
#include "platform/Archive.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/TextFormat.h"
#include "tests/support/FileTestDevices.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/RecordingUi.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint32_t kTick = 0x0A0B0C0D;

class CRecordingErrors : public CRecordingUi {
 public:
  void ShowFileError(const std::string& text, const std::string& caption) override {
    texts.push_back(text);
    captions.push_back(caption);
  }
  std::vector<std::string> texts;
  std::vector<std::string> captions;
};

class SystemFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterFileTestDevices();
    m_clock.SetTick(kTick);
    SetClockForTests(&m_clock);
    ASSERT_TRUE(m_dir.isValid());
  }
  void TearDown() override { SetClockForTests(nullptr); }

  std::string PathOf(const char* name) const { return m_dir.filePath(name).toStdString(); }

  static CFileTestDevice* AddDevice(CSystem& s, std::uint32_t type, std::uint32_t id, int zone = 0) {
    auto* d = new CFileTestDevice(&s, type, id, nullptr, 0);
    s.AppendDevice(d);
    s.GetZones()[std::size_t(zone)]->AppendDevice(d);
    return d;
  }
  static Bytes Store(CSystem& s) {
    CArchive ar;
    EXPECT_TRUE(s.File().Serialize(ar));
    return ar.TakeData();
  }
  // Reads file into s; its file errors go to errors when given.
  static bool Read(CSystem& s, const Bytes& file, CRecordingErrors* errors = nullptr) {
    if (errors) s.SetUiServices(errors);
    CArchive in(file);
    return s.File().Serialize(in);
  }
  // Writes the first count bytes of file to path.
  static void WriteBytes(const std::string& path, const Bytes& file, std::size_t count) {
    QFile f(QString::fromStdString(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(file.data()), qint64(count));
  }
  static CFileTestDevice* DeviceAt(const CSystem& s, int i) { return static_cast<CFileTestDevice*>(s.GetDevice(i)); }

  // A system with three devices in two zones, three users, two links and two snapshots.
  void Populate(CSystem& s) {
    s.Users().SetUseSystemSecurity(true);
    s.File().SetFullScreenOnOpen(true);
    auto* stage = new CZone(&s);
    stage->SetName("Stage Левый");
    stage->m_bCollapsed = true;
    s.AppendZone(stage);
    s.GetZones()[0]->m_bMeterCollapsed = true;
    CFileTestDevice* a = AddDevice(s, CFileTestDevice::kImagingType, 3);
    CFileTestDevice* b = AddDevice(s, CFileTestDevice::kPlainType, 0x01020304, 1);
    CFileTestDevice* c = AddDevice(s, CFileTestDevice::kImagingType, 7, 1);
    NameDevice(a, "Front");
    a->level = 12;
    NameDevice(b, "Sub");
    b->label = "low end";
    c->level = 40;
    c->trim = 3;
    s.SetSelectedDevice(2);

    s.Users().GetUsers().push_back(new CUser("Operator", "op"));
    s.Users().GetUsers().push_back(new CUser("Guest", ""));
    s.Users().GetUsers()[2]->SetRestrictionMask(0x3F);
    s.Users().EnsureUserPermissions();
    s.Users().GetUsers()[2]->m_devicePermissions[1]->m_flags = 0;
    s.Users().SetCurrentUser(1);

    CLink* l1 = s.Links().AddLink();
    l1->AddRef(new CLinkRef(a->GetUuid(), CFileTestDevice::kLevel));
    l1->AddRef(new CLinkRef(c->GetUuid(), CFileTestDevice::kTrim));
    l1->GetMembers()[1]->m_displayFlag = true;
    l1->m_master = 1;
    l1->m_expanded = true;
    CLink* l2 = s.Links().AddLink();
    l2->m_name = "Mains";
    l2->AddRef(new CLinkRef(b->GetUuid(), CFileTestDevice::kLevel));
    s.Links().SetLinksActive(false);
    s.File().SetTreeState(2);

    s.Snapshots().AddSnapshot("Matinee");
    c->level = 41;
    s.Snapshots().AddSnapshot("Evening");
  }

  CManualClock m_clock;
  QTemporaryDir m_dir;
};

void ExpectDefaults(const CSystem& s) {
  ASSERT_EQ(s.Users().GetUsers().size(), 1u);
  EXPECT_EQ(s.Users().GetUsers()[0]->GetName(), "Admin");
  EXPECT_EQ(s.Users().GetCurrentUser(), 0);
  ASSERT_EQ(s.GetZones().size(), 1u);
  EXPECT_EQ(s.GetZones()[0]->GetName(), "Main Zone");
  EXPECT_EQ(s.GetDeviceCount(), 0);
  EXPECT_TRUE(s.Links().GetLinks().empty());
  EXPECT_TRUE(s.GetSnapshots().empty());
  EXPECT_TRUE(s.Links().AreLinksActive());
  EXPECT_EQ(s.GetSelectedDevice(), -1);
  EXPECT_FALSE(s.IsModified());
}

// Index of the first byte where the two differ, or -1 when they are equal.
long FirstDifference(const Bytes& a, const Bytes& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return long(i);
  return a.size() == b.size() ? -1 : long(n);
}

void PutU32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
void PutText(Bytes& out, const std::string& ascii) {
  out.insert(out.end(), {0xFF, 0xFE, 0xFF, std::uint8_t(ascii.size())});
  for (char ch : ascii) out.insert(out.end(), {std::uint8_t(ch), 0});
}

}  // namespace

TEST_F(SystemFileTest, NewSystemFile_GoldenBytes) {
  CSystem s;
  const Bytes file = Store(s);

  Bytes expected;
  PutU32(expected, 5);  // version
  PutU32(expected, 0);  // use system security
  PutU32(expected, 0);  // full screen on open
  PutU32(expected, 0);  // go online on open
  PutU32(expected, 0);  // current user
  PutU32(expected, 1);  // user list version
  PutU32(expected, 1);  // users
  PutU32(expected, 2);  // user record version
  PutU32(expected, kTick);  // seed
  // "Admin   " "Marigold", mask 0, each word chained with the one stored before it.
  const std::uint32_t words[6] = {0x696D6441, 0x2020206E, 0x6972614D, 0x646C6F67, 0, 0};
  std::uint32_t previous = kTick;
  for (std::uint32_t w : words) PutU32(expected, previous ^= w);
  PutU32(expected, 0);  // device access records
  PutU32(expected, 0);  // panel access records
  PutU32(expected, 0);  // devices
  PutU32(expected, 0xFFFFFFFF);  // selected device -1
  PutU32(expected, 1);  // zones
  PutU32(expected, 1);  // zone record version
  PutText(expected, "Main Zone");
  PutU32(expected, 0);  // collapsed in the rack
  PutU32(expected, 0);  // collapsed in the strip
  PutU32(expected, 0);  // zone devices
  PutU32(expected, 0);  // links
  PutU32(expected, 1);  // links active
  PutU32(expected, 0);  // tree state
  PutU32(expected, 1);  // image root folder version
  const std::size_t rootId = expected.size();
  expected.insert(expected.end(), 16, 0);
  PutText(expected, "");
  PutU32(expected, 0);  // root folder children
  PutU32(expected, 0);  // custom panels
  PutU32(expected, 0);  // snapshots

  ASSERT_EQ(file.size(), expected.size());
  Bytes masked = file;
  std::fill(masked.begin() + std::ptrdiff_t(rootId), masked.begin() + std::ptrdiff_t(rootId + 16), 0);
  EXPECT_EQ(FirstDifference(masked, expected), -1);
}

TEST_F(SystemFileTest, NewSystem_SavedAndOpened_KeepsDefaultsAndFlags) {
  CSystem s;
  s.File().SetFullScreenOnOpen(true);
  s.File().SetGoOnlineOnOpen(true);
  s.SetModified(true);
  const std::string path = PathOf("new.ovd");
  ASSERT_TRUE(s.File().SaveFile(path));
  EXPECT_FALSE(s.IsModified());
  EXPECT_EQ(s.File().GetFilePath(), path);

  CSystem back;
  back.SetModified(true);
  ASSERT_TRUE(back.File().OpenFile(path));
  ExpectDefaults(back);
  EXPECT_TRUE(back.File().GetFullScreenOnOpen());
  EXPECT_TRUE(back.File().GetGoOnlineOnOpen());
  EXPECT_FALSE(back.Users().GetUseSystemSecurity());
  EXPECT_EQ(back.File().GetFilePath(), path);
}

// The file the system read or saved last is another once a program writes over it, replaces it
// or removes it; a save or an open of it makes it the system's file again.
TEST_F(SystemFileTest, FileChangedOnDisk_IsTheFileReadOrSavedLastNoLonger) {
  CSystem s;
  EXPECT_FALSE(s.File().IsFileChangedOnDisk());  // no file
  const std::string path = PathOf("disk.ovd");
  ASSERT_TRUE(s.File().SaveFile(path));
  EXPECT_FALSE(s.File().IsFileChangedOnDisk());

  {
    QFile other(QString::fromStdString(path));
    ASSERT_TRUE(other.open(QIODevice::Append));
    ASSERT_EQ(other.write("more", 4), 4);
  }
  EXPECT_TRUE(s.File().IsFileChangedOnDisk()) << "written over";
  ASSERT_TRUE(s.File().SaveFile(path));
  EXPECT_FALSE(s.File().IsFileChangedOnDisk());

  const std::string elsewhere = PathOf("elsewhere.ovd");
  CSystem writer;
  ASSERT_TRUE(writer.File().SaveFile(elsewhere));
  ASSERT_TRUE(QFile::remove(QString::fromStdString(path)));
  EXPECT_TRUE(s.File().IsFileChangedOnDisk()) << "removed";
  ASSERT_TRUE(QFile::rename(QString::fromStdString(elsewhere), QString::fromStdString(path)));
  EXPECT_TRUE(s.File().IsFileChangedOnDisk()) << "replaced";

  CSystem reader;
  ASSERT_TRUE(reader.File().OpenFile(path));
  EXPECT_FALSE(reader.File().IsFileChangedOnDisk());
  s.Clear();
  EXPECT_FALSE(s.File().IsFileChangedOnDisk()) << "a cleared system has no file";
}

TEST_F(SystemFileTest, FullSystem_RoundTripKeepsEveryRecord) {
  CSystem s;
  Populate(s);
  const Bytes file = Store(s);

  CSystem back;
  back.Panels().SetDesignMode(1);
  ASSERT_TRUE(Read(back, file));
  EXPECT_EQ(back.GetDesignMode(), 0);
  EXPECT_TRUE(back.Users().GetUseSystemSecurity());
  EXPECT_TRUE(back.File().GetFullScreenOnOpen());
  EXPECT_FALSE(back.File().GetGoOnlineOnOpen());
  EXPECT_EQ(back.Users().GetCurrentUser(), 1);
  ASSERT_TRUE(AreUserListsEqual(back.Users().GetUsers(), s.Users().GetUsers()));

  ASSERT_EQ(back.GetDeviceCount(), 3);
  for (int i = 0; i < 3; ++i) {
    const CFileTestDevice* was = DeviceAt(s, i);
    const CFileTestDevice* d = DeviceAt(back, i);
    EXPECT_EQ(d->GetUuid(), was->GetUuid()) << i;
    EXPECT_EQ(d->GetTypeCode(), was->GetTypeCode()) << i;
    EXPECT_EQ(d->GetDeviceId(), was->GetDeviceId()) << i;
    EXPECT_EQ(d->GetName(), was->GetName()) << i;
    EXPECT_EQ(d->level, was->level) << i;
    EXPECT_EQ(d->trim, was->trim) << i;
    EXPECT_EQ(d->label, was->label) << i;
  }
  EXPECT_EQ(back.GetSelectedDevice(), 2);

  ASSERT_EQ(back.GetZones().size(), 2u);
  EXPECT_EQ(back.GetZones()[1]->GetName(), "Stage Левый");
  EXPECT_TRUE(back.GetZones()[1]->m_bCollapsed);
  EXPECT_FALSE(back.GetZones()[1]->m_bMeterCollapsed);
  EXPECT_TRUE(back.GetZones()[0]->m_bMeterCollapsed);
  EXPECT_EQ(back.GetZones()[0]->GetDevices(), std::vector<CDevice*>{back.GetDevice(0)});
  EXPECT_EQ(back.GetZones()[1]->GetDevices(), (std::vector<CDevice*>{back.GetDevice(1), back.GetDevice(2)}));

  ASSERT_EQ(back.Links().GetLinks().size(), 2u);
  const CLink* l1 = back.Links().GetLinks()[0];
  EXPECT_EQ(l1->GetName(), "Link 1");
  EXPECT_EQ(l1->m_master, 1);
  EXPECT_TRUE(l1->m_expanded);
  ASSERT_EQ(l1->GetMembers().size(), 2u);
  EXPECT_EQ(l1->GetMembers()[1]->GetUuid(), s.GetDevice(2)->GetUuid());
  EXPECT_EQ(l1->GetMembers()[1]->m_parameterId, std::uint32_t(CFileTestDevice::kTrim));
  EXPECT_TRUE(l1->GetMembers()[1]->m_displayFlag);
  EXPECT_EQ(back.Links().GetLinks()[1]->GetName(), "Mains");
  EXPECT_FALSE(back.Links().AreLinksActive());
  EXPECT_EQ(back.File().GetTreeState(), 2u);

  ASSERT_EQ(back.GetSnapshots().size(), 2u);
  const CSnapshot* evening = back.GetSnapshots()[1];
  EXPECT_EQ(evening->GetName(), "Evening");
  EXPECT_EQ(evening->GetUuid(), s.GetSnapshots()[1]->GetUuid());
  ASSERT_EQ(evening->m_data.size(), 2u);  // the plain device makes no image
  EXPECT_EQ(evening->m_data[1]->GetUuid(), s.GetDevice(2)->GetUuid());
  EXPECT_EQ(evening->m_data[1]->m_data, (Bytes{41, 3}));
  EXPECT_EQ(back.GetSnapshots()[0]->m_data[1]->m_data, (Bytes{40, 3}));

  // Everything that was read is written again byte for byte.
  EXPECT_EQ(FirstDifference(Store(back), file), -1);
}

// A value a link owes a member out of line follows the version 5 record behind its mark, where
// earlier programs do not read; a reopen gives it back to the same member. Once none is owed the
// file is the plain version 5 file again, byte for byte.
TEST_F(SystemFileTest, OwedLinkValues_FollowTheRecordBehindTheirMarkAndAFileWithoutThemHasNone) {
  CSystem s;
  Populate(s);
  const Bytes plain = Store(s);
  ASSERT_EQ(plain[0], 5);
  CParamValue level(CFileTestDevice::kTrim, -16.7f, ParamKind::kLevel);
  level.integer = -3;
  level.flag = 1;
  level.text = "Tr\xC3\xBCm";
  s.Links().GetLinks()[0]->GetMembers()[1]->SetMissedValue(level);
  s.Links().GetLinks()[1]->GetMembers()[0]->SetMissedValue(MakeIntParamValue(CFileTestDevice::kLevel, 40));
  const Bytes file = Store(s);
  ASSERT_GT(file.size(), plain.size() + 4);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + std::ptrdiff_t(plain.size())), plain);
  EXPECT_EQ(Bytes(file.begin() + std::ptrdiff_t(plain.size()), file.begin() + std::ptrdiff_t(plain.size()) + 4),
            (Bytes{'O', 'W', 'E', 'D'}));

  CSystem back;
  ASSERT_TRUE(Read(back, file));
  ASSERT_EQ(back.Links().GetLinks().size(), 2u);
  EXPECT_FALSE(back.Links().GetLinks()[0]->GetMembers()[0]->IsOutOfLine());
  ASSERT_TRUE(back.Links().GetLinks()[0]->GetMembers()[1]->IsOutOfLine());
  const CParamValue& owed = *back.Links().GetLinks()[0]->GetMembers()[1]->GetMissedValue();
  EXPECT_EQ(owed.id, CFileTestDevice::kTrim);
  EXPECT_EQ(owed.kind, ParamKind::kLevel);
  EXPECT_EQ(owed.value, -16.7f);
  EXPECT_EQ(owed.integer, -3);
  EXPECT_EQ(owed.flag, 1);
  EXPECT_EQ(owed.text, level.text);
  ASSERT_TRUE(back.Links().GetLinks()[1]->GetMembers()[0]->IsOutOfLine());
  EXPECT_EQ(back.Links().GetLinks()[1]->GetMembers()[0]->GetMissedValue()->integer, 40);
  EXPECT_EQ(back.Links().GetLinks()[1]->GetMembers()[0]->GetMissedValue()->kind, ParamKind::kInteger);
  EXPECT_EQ(FirstDifference(Store(back), file), -1);

  for (const CLink* link : back.Links().GetLinks())
    for (CLinkRef* member : link->GetMembers()) member->ClearMissedValue();
  EXPECT_EQ(FirstDifference(Store(back), plain), -1);
}

// The owed values damaged or cut short, or in a later form of their block, or behind a damaged
// mark: the file is refused with the words of a damaged file (of a later program's file, of one
// with bytes after its system) and nothing of it is taken.
TEST_F(SystemFileTest, DamagedOwedLinkValues_AreRefusedAndNothingIsTaken) {
  CSystem s;
  Populate(s);
  s.Links().GetLinks()[0]->GetMembers()[1]->SetMissedValue(CParamValue(CFileTestDevice::kTrim, -16.7f, ParamKind::kLevel));
  const Bytes file = Store(s);
  // The block: version, count, then the one entry: link, member, kind, number, integer, flag and
  // the empty text (4 bytes).
  const std::size_t block = file.size() - 8 - 28;
  ASSERT_EQ(file[block], 1);
  ASSERT_EQ(file[block + 4], 1);
  struct Patch {
    std::size_t offset;
    std::uint32_t value;
    const char* refusal;
  };
  for (Patch p : {Patch{0, 2, kFileTooNewText}, Patch{4, 0x10000000, kFileDamagedText}, Patch{8, 2, kFileDamagedText},
                  Patch{std::size_t(-4), 0x44455750, kFileBytesAfterEndText},
                  Patch{12, 2, kFileDamagedText}, Patch{16, 0, kFileDamagedText}, Patch{16, 12, kFileDamagedText}}) {
    Bytes damaged = file;
    for (int i = 0; i < 4; ++i) damaged[block + p.offset + std::size_t(i)] = std::uint8_t(p.value >> (8 * i));
    CSystem back;
    CRecordingErrors errors;
    EXPECT_FALSE(Read(back, damaged, &errors)) << p.offset;
    ASSERT_EQ(errors.texts.size(), 1u) << p.offset;
    EXPECT_EQ(errors.texts[0].rfind(p.refusal, 0), 0u) << p.offset << " " << errors.texts[0];
    ExpectDefaults(back);
  }
  for (std::size_t cut = block; cut < file.size(); ++cut) {
    CSystem back;
    CRecordingErrors errors;
    EXPECT_FALSE(Read(back, Bytes(file.begin(), file.begin() + std::ptrdiff_t(cut)), &errors)) << cut;
    ExpectDefaults(back);
  }
}

// --- Older versions ---

namespace {

// Writes the fields of an older root record by hand around real user and device records.
class CFileWriter {
 public:
  explicit CFileWriter(std::uint32_t version) : m_version(version) { m_ar.WriteU32(version); }
  CArchive& ar() { return m_ar; }
  void Header(bool security, bool fullScreen) {
    m_ar.WriteBool(security);
    if (m_version == 4) m_ar.WriteU8(fullScreen ? 1 : 0);
    m_ar.WriteI32(0);  // current user
    CUserList users{new CUser("Admin", "pw"), new CUser("Op", "")};
    SerializeUsers(m_ar, users);
    DeleteAllUsers(users);
  }
  // Devices of the scratch system, with the model index from version 3 on.
  void Devices(CSystem& scratch) {
    m_ar.WriteU32(std::uint32_t(scratch.GetDeviceCount()));
    for (CDevice* d : scratch.GetDevices()) {
      m_ar.WriteU32(d->GetTypeCode());
      m_ar.WriteU32(d->GetDeviceId());
      if (m_version >= 3) m_ar.WriteU32(d->GetModelIndex());
      d->Serialize(m_ar);
    }
    m_ar.WriteI32(1);  // selected device
  }
  void Zones(CSystem& scratch) {
    m_ar.WriteU32(std::uint32_t(scratch.GetZones().size()));
    for (CZone* z : scratch.GetZones()) z->Serialize(m_ar);
  }
  void LinksImagesPanels(CSystem& scratch) {
    m_ar.WriteU32(std::uint32_t(scratch.Links().GetLinks().size()));
    for (CLink* l : scratch.Links().GetLinks()) l->Serialize(m_ar);
    m_ar.WriteBool(false);  // links active
    m_ar.WriteU32(3);       // tree state
    m_ar.WriteU32(1);       // empty image root
    for (int i = 0; i < 16; ++i) m_ar.WriteU8(std::uint8_t(i));
    m_ar.WriteString("");
    m_ar.WriteU32(0);
    m_ar.WriteU32(0);  // custom panels
  }
  void Snapshots(CSystem& scratch) {
    m_ar.WriteU32(std::uint32_t(scratch.GetSnapshots().size()));
    for (CSnapshot* sn : scratch.GetSnapshots()) sn->Serialize(m_ar);
  }
  Bytes Take() { return m_ar.TakeData(); }

 private:
  std::uint32_t m_version;
  CArchive m_ar;
};

}  // namespace

TEST_F(SystemFileTest, Version1_PutsEveryDeviceIntoOneMainZoneWithModelIndexZero) {
  CSystem scratch;
  for (std::uint32_t id : {5u, 6u, 7u}) {
    auto* d = new CFileTestDevice(&scratch, CFileTestDevice::kImagingType, id, nullptr, 9);
    d->level = int(id);
    scratch.AppendDevice(d);
  }
  CFileWriter w(1);
  w.Header(true, false);
  w.Devices(scratch);

  CSystem s;
  CArchive in(w.Take());
  ASSERT_TRUE(s.File().Serialize(in));
  EXPECT_TRUE(s.Users().GetUseSystemSecurity());
  ASSERT_EQ(s.GetDeviceCount(), 3);
  ASSERT_EQ(s.GetZones().size(), 1u);
  EXPECT_EQ(s.GetZones()[0]->GetName(), "Main Zone");
  EXPECT_EQ(s.GetZones()[0]->GetDevices(), (std::vector<CDevice*>{s.GetDevice(0), s.GetDevice(1), s.GetDevice(2)}));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s.GetDevice(i)->GetModelIndex(), 0u);
    EXPECT_EQ(DeviceAt(s, i)->level, 5 + i);
  }
  EXPECT_EQ(s.GetSelectedDevice(), 1);
  EXPECT_TRUE(s.Links().AreLinksActive());
  EXPECT_TRUE(s.Links().GetLinks().empty());
  // The second user got an access record for each device.
  ASSERT_EQ(s.Users().GetUsers().size(), 2u);
  EXPECT_EQ(s.Users().GetUsers()[1]->m_devicePermissions.size(), 3u);
  EXPECT_TRUE(s.Users().GetUsers()[0]->m_devicePermissions.empty());
}

TEST_F(SystemFileTest, Version2_ReadsZonesButNoModelIndexOrLinks) {
  CSystem scratch;
  CFileTestDevice* a = AddDevice(scratch, CFileTestDevice::kPlainType, 1);
  auto* second = new CZone(&scratch);
  second->SetName("Balcony");
  scratch.AppendZone(second);
  CFileTestDevice* b = AddDevice(scratch, CFileTestDevice::kPlainType, 2, 1);
  CFileWriter w(2);
  w.Header(false, false);
  w.Devices(scratch);
  w.Zones(scratch);

  CSystem s;
  CArchive in(w.Take());
  ASSERT_TRUE(s.File().Serialize(in));
  ASSERT_EQ(s.GetZones().size(), 2u);
  EXPECT_EQ(s.GetZones()[1]->GetName(), "Balcony");
  ASSERT_EQ(s.GetZones()[1]->GetDevices().size(), 1u);
  EXPECT_EQ(s.GetZones()[1]->GetDevices()[0]->GetUuid(), b->GetUuid());
  EXPECT_EQ(s.GetZones()[0]->GetDevices()[0]->GetUuid(), a->GetUuid());
  EXPECT_TRUE(s.Links().AreLinksActive());
  EXPECT_EQ(s.File().GetTreeState(), 0u);
}

TEST_F(SystemFileTest, Version3_ReadsModelIndexLinksAndTreeStateButNoSnapshots) {
  CSystem scratch;
  auto* d = new CFileTestDevice(&scratch, CFileTestDevice::kImagingType, 4, nullptr, 6);
  scratch.AppendDevice(d);
  scratch.GetZones()[0]->AppendDevice(d);
  CLink* link = scratch.Links().AddLink();
  link->AddRef(new CLinkRef(d->GetUuid(), 1));
  CFileWriter w(3);
  w.Header(false, false);
  w.Devices(scratch);
  w.Zones(scratch);
  w.LinksImagesPanels(scratch);

  CSystem s;
  CArchive in(w.Take());
  ASSERT_TRUE(s.File().Serialize(in));
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_EQ(s.GetDevice(0)->GetModelIndex(), 6u);
  ASSERT_EQ(s.Links().GetLinks().size(), 1u);
  EXPECT_EQ(s.Links().GetLinks()[0]->GetName(), "Link 1");
  EXPECT_FALSE(s.Links().AreLinksActive());
  EXPECT_EQ(s.File().GetTreeState(), 3u);
  EXPECT_TRUE(s.GetSnapshots().empty());
  EXPECT_FALSE(s.File().GetFullScreenOnOpen());
}

TEST_F(SystemFileTest, Version4_HasAOneByteFullScreenFlagSnapshotsAndNoGoOnline) {
  CSystem scratch;
  AddDevice(scratch, CFileTestDevice::kImagingType, 4)->level = 77;
  scratch.Snapshots().AddSnapshot("Show");
  CFileWriter w(4);
  w.Header(false, true);
  w.Devices(scratch);
  w.Zones(scratch);
  w.LinksImagesPanels(scratch);
  w.Snapshots(scratch);

  CSystem s;
  s.File().SetGoOnlineOnOpen(true);
  CArchive in(w.Take());
  ASSERT_TRUE(s.File().Serialize(in));
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_TRUE(s.File().GetFullScreenOnOpen());
  EXPECT_FALSE(s.File().GetGoOnlineOnOpen());
  ASSERT_EQ(s.GetSnapshots().size(), 1u);
  EXPECT_EQ(s.GetSnapshots()[0]->GetName(), "Show");
  EXPECT_EQ(s.GetSnapshots()[0]->m_data[0]->m_data, (Bytes{77, 0}));
}

// --- Refused and damaged files ---

TEST_F(SystemFileTest, NewerOrZeroVersion_ShowsTheVersionMessageAndLeavesAnEmptySystem) {
  for (std::uint32_t version : {0u, 6u}) {
    Bytes file;
    PutU32(file, version);
    PutU32(file, 0);
    const std::string path = PathOf("newer.ovd");
    WriteBytes(path, file, file.size());

    CSystem s;
    CRecordingErrors errors;
    s.SetUiServices(&errors);
    Populate(s);
    s.File().SetFilePath("/somewhere/else.ovd");
    EXPECT_FALSE(s.File().OpenFile(path));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0], "Cannot open file (probably created in a more recent version)");
    EXPECT_EQ(errors.captions[0], "File Error");
    ExpectDefaults(s);
    EXPECT_TRUE(s.File().GetFilePath().empty());
  }
}

TEST_F(SystemFileTest, MoreUsersThanKept_OpensWithTheFirstTenAndNamesTheOthers) {
  CSystem s;
  Populate(s);
  for (int n = 1; s.Users().GetUsers().size() < kMaxUsers + 2; ++n)
    s.Users().GetUsers().push_back(new CUser("Extra" + std::to_string(n), "pw"));
  const std::string last = s.Users().GetUsers().back()->GetName();
  const std::string beforeLast = s.Users().GetUsers()[kMaxUsers]->GetName();
  const Bytes file = Store(s);

  CSystem back;
  CRecordingErrors errors;
  ASSERT_TRUE(Read(back, file, &errors));
  EXPECT_EQ(back.Users().GetUsers().size(), kMaxUsers);
  EXPECT_EQ(back.GetDeviceCount(), s.GetDeviceCount());
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0], std::string(kFileUsersLeftOutText) + "\n" + beforeLast + "\n" + last);
  EXPECT_EQ(errors.captions[0], "File Error");

  // Ten users open without a word.
  CRecordingErrors quiet;
  CSystem again;
  ASSERT_TRUE(Read(again, Store(back), &quiet));
  EXPECT_TRUE(quiet.texts.empty());
}

TEST_F(SystemFileTest, UnknownDeviceType_ShowsTheTypeMessageAndKeepsNothing) {
  CSystem s;
  Populate(s);
  Bytes file = Store(s);
  // The first device's type code follows the user list; find it by its value and device ID.
  const Bytes needle = {0xF0, 0, 0, 0, 3, 0, 0, 0};
  auto at = std::search(file.begin(), file.end(), needle.begin(), needle.end());
  ASSERT_NE(at, file.end());
  *at = 48;  // a code no family takes

  CSystem back;
  CRecordingErrors errors;
  EXPECT_FALSE(Read(back, file, &errors));
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0], "Error opening file - invalid device type found");
  EXPECT_EQ(errors.captions[0], "File Error");
  ExpectDefaults(back);  // the failed read changed nothing
}

TEST_F(SystemFileTest, TruncatedAnywhere_FailsCleanlyAndOpenFileClears) {
  CSystem s;
  Populate(s);
  const Bytes file = Store(s);
  for (std::size_t cut = 0; cut < file.size(); ++cut) {
    CSystem back;
    CRecordingErrors errors;
    ASSERT_FALSE(Read(back, Bytes(file.begin(), file.begin() + std::ptrdiff_t(cut)), &errors)) << "cut at " << cut;
    ASSERT_EQ(errors.texts.size(), 1u) << cut;
    ExpectDefaults(back);
  }

  const std::string path = PathOf("cut.ovd");
  WriteBytes(path, file, file.size() / 2);
  CSystem back;
  CRecordingErrors errors;
  back.SetUiServices(&errors);
  Populate(back);
  back.SetModified(true);
  EXPECT_FALSE(back.File().OpenFile(path));
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0].rfind("Error opening file - the file is damaged or incomplete", 0), 0u);
  ExpectDefaults(back);
  EXPECT_TRUE(back.File().GetFilePath().empty());
}

TEST_F(SystemFileTest, DamagedCountsAndIndexes_AreRefusedBeforeUse) {
  CSystem s;
  const Bytes clean = Store(s);
  // Offsets in a new system's file: current user 16, user count 24, device count 68, zone
  // count 76, zone device count 114.
  struct Patch {
    std::size_t offset;
    std::uint32_t value;
  };
  for (Patch p : {Patch{16, 1}, Patch{16, 0xFFFFFFFF}, Patch{24, 0x7FFFFFFF}, Patch{68, 0xFFFFFFFF},
                  Patch{76, 0x40000000}, Patch{114, 0x10000000}}) {
    Bytes file = clean;
    for (int i = 0; i < 4; ++i) file[p.offset + std::size_t(i)] = std::uint8_t(p.value >> (8 * i));
    CSystem back;
    CRecordingErrors errors;
    EXPECT_FALSE(Read(back, file, &errors)) << p.offset;
    ASSERT_EQ(errors.texts.size(), 1u) << p.offset;
    EXPECT_EQ(errors.texts[0].rfind(kFileDamagedText, 0), 0u) << p.offset;
  }
}

TEST_F(SystemFileTest, ImageOrPanelCountsWithoutTheirRecords_AreRefusedAsDamaged) {
  CSystem s;
  const Bytes clean = Store(s);
  // The last three words: image root children, custom panels, snapshots. A count of one with
  // no record after it is damage.
  for (std::size_t fromEnd : {12u, 8u}) {
    Bytes file = clean;
    file[file.size() - fromEnd] = 1;
    CSystem back;
    CRecordingErrors errors;
    EXPECT_FALSE(Read(back, file, &errors));
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0].rfind(kFileDamagedText, 0), 0u);
  }
}

TEST_F(SystemFileTest, OversizedSnapshotImage_IsRefusedWithoutAllocatingIt) {
  CSystem s;
  AddDevice(s, CFileTestDevice::kImagingType, 1);
  s.Snapshots().AddSnapshot("Big");
  Bytes file = Store(s);
  // The image length is the word before the image's two bytes and the name "Big" (10 bytes).
  const std::size_t lengthAt = file.size() - 2 - 10 - 4;
  ASSERT_EQ(file[lengthAt], 2);
  file[lengthAt + 3] = 0x7F;
  CSystem back;
  CRecordingErrors errors;
  EXPECT_FALSE(Read(back, file, &errors));
  EXPECT_EQ(errors.texts.size(), 1u);
  ExpectDefaults(back);
}

TEST_F(SystemFileTest, ZoneEntries_NamingNoDeviceOrADeviceTwice_AreDropped) {
  CSystem s;
  CFileTestDevice* a = AddDevice(s, CFileTestDevice::kPlainType, 1);
  CFileTestDevice* b = AddDevice(s, CFileTestDevice::kPlainType, 2);
  auto* second = new CZone(&s);
  s.AppendZone(second);
  second->AppendDevice(a);                  // a second time
  s.GetZones()[0]->RemoveDevice(b);         // b in no zone
  auto* ghost = new CFileTestDevice(&s, CFileTestDevice::kPlainType, 9, nullptr, 0);
  second->AppendDevice(ghost);              // a device that is not in the file
  const Bytes file = Store(s);
  second->RemoveDevice(ghost);
  delete ghost;

  CSystem back;
  ASSERT_TRUE(Read(back, file));
  // a stays in the first zone that names it; b, in no zone, goes to the end of the first zone.
  EXPECT_EQ(back.GetZones()[0]->GetDevices(), (std::vector<CDevice*>{back.GetDevice(0), back.GetDevice(1)}));
  EXPECT_TRUE(back.GetZones()[1]->GetDevices().empty());
}

TEST_F(SystemFileTest, MissingFile_FailsWithoutAMessage) {
  CSystem s;
  CRecordingErrors errors;
  s.SetUiServices(&errors);
  EXPECT_FALSE(s.File().OpenFile(PathOf("absent.ovd")));
  EXPECT_TRUE(errors.texts.empty());
}

// --- Saves that fail ---

namespace {
Bytes ReadAll(const std::string& path) {
  Bytes bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes, nullptr));
  return bytes;
}
QStringList Entries(const QTemporaryDir& dir) {
  return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}
}  // namespace

// A file is read to its last byte: bytes after the system it begins with (a byte, a hundred,
// the same file joined to itself, a byte after zeros past the first piece read) refuse it with
// their count, and the open system stays empty; zero bytes alone after it are padding, and the
// file opens and saves as the system alone.
struct BytesAfterCase {
  const char* name;
  Bytes (*after)(const Bytes& file);
  bool refused;
};

class BytesAfterTheEndTest : public SystemFileTest, public ::testing::WithParamInterface<BytesAfterCase> {};

TEST_P(BytesAfterTheEndTest, RefuseTheFileWithTheirCountUnlessTheyAreZeros) {
  const BytesAfterCase& c = GetParam();
  CSystem s;
  Populate(s);
  const Bytes file = Store(s);
  Bytes longer = file;
  const Bytes after = c.after(file);
  longer.insert(longer.end(), after.begin(), after.end());
  const std::string path = PathOf("longer.ovd");
  WriteBytes(path, longer, longer.size());
  CSystem back;
  CRecordingErrors errors;
  back.SetUiServices(&errors);
  const bool opened = back.File().OpenFile(path);
  if (c.refused) {
    EXPECT_FALSE(opened);
    EXPECT_EQ(errors.texts, std::vector<std::string>{std::string(kFileBytesAfterEndText) + "\n(" +
                                                     WithThousands(after.size()) + " of its " +
                                                     WithThousands(longer.size()) +
                                                     " bytes follow the system it begins with)"});
    EXPECT_EQ(errors.captions, std::vector<std::string>{"File Error"});
    ExpectDefaults(back);
    EXPECT_TRUE(back.File().GetFilePath().empty());
  } else {
    ASSERT_TRUE(opened);
    EXPECT_TRUE(errors.texts.empty());
    EXPECT_EQ(back.GetDeviceCount(), 3);
    ASSERT_TRUE(back.File().SaveFile(path));
    EXPECT_EQ(ReadAll(path), file);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tails, BytesAfterTheEndTest,
    ::testing::Values(
        BytesAfterCase{"OneByte", [](const Bytes&) { return Bytes{0x0A}; }, true},
        BytesAfterCase{"AHundredBytes", [](const Bytes&) { return Bytes(100, 0x5A); }, true},
        BytesAfterCase{"TheFileJoinedToItself", [](const Bytes& file) { return file; }, true},
        BytesAfterCase{"AByteAfterZerosPastTheFirstPieceRead",
                       [](const Bytes&) {
                         Bytes b(CArchive::kLoadBlockBytes + 1000, 0);
                         b.back() = 1;
                         return b;
                       },
                       true},
        BytesAfterCase{"ZeroPadding", [](const Bytes&) { return Bytes(CArchive::kLoadBlockBytes + 1000, 0); }, false}),
    [](const ::testing::TestParamInfo<BytesAfterCase>& info) { return std::string(info.param.name); });

// A save takes the records under the system's lock a piece at a time and writes them with it
// released: the comms worker, which needs the lock for every reply, never waits for the disk.
// No step of the save that changes the disk (a file made, a write, a flush, a rename, the kept
// copy of a save in place) comes while the lock is held, and the file opens as the system.
class SaveOutsideTheLockTest : public SystemFileTest, public ::testing::WithParamInterface<bool> {
 protected:
  static CCriticalSection* s_lock;
  static int s_steps;
  static int s_stepsUnderTheLock;
  // Whether another thread may take the lock now.
  static void LookAtTheLock(int) {
    ++s_steps;
    std::thread other([] {
      if (s_lock->TryEnter()) {
        s_lock->Leave();
      } else {
        ++s_stepsUnderTheLock;
      }
    });
    other.join();
  }
};
CCriticalSection* SaveOutsideTheLockTest::s_lock = nullptr;
int SaveOutsideTheLockTest::s_steps = 0;
int SaveOutsideTheLockTest::s_stepsUnderTheLock = 0;

TEST_P(SaveOutsideTheLockTest, NoStepOfTheSaveComesWhileTheLockIsHeld) {
  const std::string path = PathOf("show.ovd");
  CSystem s;
  Populate(s);
  for (int i = 0; i < 300; ++i) AddDevice(s, CFileTestDevice::kPlainType, std::uint32_t(100 + i))->label.assign(1000, 'x');
  ASSERT_TRUE(s.File().SaveFile(path));
  if (GetParam()) {
    ASSERT_EQ(::link(path.c_str(), PathOf("second name.ovd").c_str()), 0);
  }
  DeviceAt(s, 0)->level = 13;
  s_lock = &s.GetLock();
  s_steps = s_stepsUnderTheLock = 0;
  SetSaveStepHookForTests(LookAtTheLock);
  const bool saved = s.File().SaveFile(path);
  SetSaveStepHookForTests(nullptr);
  ASSERT_TRUE(saved);
  EXPECT_GT(s_steps, 5);  // the file's bytes went in several writes
  EXPECT_EQ(s_stepsUnderTheLock, 0);
  EXPECT_EQ(ReadAll(path), Store(s));
  CSystem back;
  ASSERT_TRUE(back.File().OpenFile(path));
  EXPECT_EQ(DeviceAt(back, 0)->level, 13);
}

// A change the worker makes between the pieces (its user import marks the system modified
// under the lock) is not in the file: the system stays modified after the save, so that the next
// save or the close asks for it.
TEST_P(SaveOutsideTheLockTest, AChangeMadeBetweenThePiecesLeavesTheSystemModified) {
  const std::string path = PathOf("show.ovd");
  CSystem s;
  Populate(s);
  for (int i = 0; i < 50; ++i) AddDevice(s, CFileTestDevice::kPlainType, std::uint32_t(100 + i))->label.assign(1000, 'x');
  ASSERT_TRUE(s.File().SaveFile(path));
  if (GetParam()) {
    ASSERT_EQ(::link(path.c_str(), PathOf("second name.ovd").c_str()), 0);
  }
  s.SetModified(true);
  static CSystem* s_system;
  s_system = &s;
  SetSaveStepHookForTests([](int) {
    std::thread worker([] {
      CSingleLock lock(s_system->GetLock());
      s_system->SetModified(true);
    });
    worker.join();
  });
  const bool saved = s.File().SaveFile(path);
  SetSaveStepHookForTests(nullptr);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(s.IsModified());
  ASSERT_TRUE(s.File().SaveFile(path));
  EXPECT_FALSE(s.IsModified());
}

INSTANTIATE_TEST_SUITE_P(Roads, SaveOutsideTheLockTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "InPlace" : "Renamed");
                         });

// In a folder the user may not write no new file can be made: that save says why and the
// document keeps its edits. The file already there, which the user may write, is saved in place.
TEST_F(SystemFileTest, Save_ReadOnlyFolder_MakesNoNewFileAndWritesTheFileThereInPlace) {
  const std::string path = PathOf("show.ovd");
  CSystem s;
  Populate(s);
  ASSERT_TRUE(s.File().SaveFile(path));
  const Bytes original = ReadAll(path);

  ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
  struct Restore {
    QString dir;
    ~Restore() { QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner); }
  } restore{m_dir.path()};
  if (access(m_dir.path().toLocal8Bit().constData(), W_OK) == 0)
    GTEST_SKIP() << "permissions do not bind this user; the platform tests save as another user";

  CRecordingErrors errors;
  s.SetUiServices(&errors);
  AddDevice(s, CFileTestDevice::kPlainType, 44);
  s.SetModified(true);
  EXPECT_FALSE(s.File().SaveFile(PathOf("elsewhere.ovd")));
  EXPECT_EQ(errors.texts.size(), 1u);
  EXPECT_TRUE(s.IsModified());
  EXPECT_EQ(s.File().GetFilePath(), path);
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_EQ(Entries(m_dir), QStringList{"show.ovd"});

  ASSERT_TRUE(s.File().SaveFile(path));
  EXPECT_EQ(errors.texts.size(), 1u);
  EXPECT_FALSE(s.IsModified());
  EXPECT_EQ(Entries(m_dir), QStringList{"show.ovd"});
  CSystem back;
  ASSERT_TRUE(back.File().OpenFile(path));
  EXPECT_EQ(back.GetDeviceCount(), s.GetDeviceCount());
}

// A file marked read-only is never saved over, whatever the user may: the save says why and
// the document keeps its edits.
TEST_F(SystemFileTest, Save_OverAReadOnlyFile_IsRefusedWithTheReason) {
  const std::string path = PathOf("show.ovd");
  CSystem s;
  ASSERT_TRUE(s.File().SaveFile(path));
  const Bytes original = ReadAll(path);
  ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(path), QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                                    QFileDevice::ReadOther));
  CRecordingErrors errors;
  s.SetUiServices(&errors);
  AddDevice(s, CFileTestDevice::kPlainType, 44);
  s.SetModified(true);
  EXPECT_FALSE(s.File().SaveFile(path));
  EXPECT_EQ(errors.texts, std::vector<std::string>{std::string(kFileSaveFailedText) + "\n" + path +
                                                   "\nThe file could not be written: the file is read-only"});
  EXPECT_TRUE(s.IsModified());
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_EQ(Entries(m_dir), QStringList{"show.ovd"});
}

TEST_F(SystemFileTest, Save_WriteErrorMidway_FailsAndLeavesOriginalIntact) {
  const std::string path = PathOf("show.ovd");
  CSystem s;
  ASSERT_TRUE(s.File().SaveFile(path));
  const Bytes original = ReadAll(path);
  s.File().SetFilePath("/previous/path.ovd");

  // A file size limit makes every write past it fail, as a full disk does.
  Populate(s);
  for (int i = 0; i < 200; ++i) AddDevice(s, CFileTestDevice::kPlainType, std::uint32_t(100 + i))->label.assign(100, 'x');
  s.SetModified(true);
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  CRecordingErrors errors;
  s.SetUiServices(&errors);
  const bool saved = s.File().SaveFile(path);
  setrlimit(RLIMIT_FSIZE, &old);

  EXPECT_FALSE(saved);
  ASSERT_EQ(errors.texts.size(), 1u);
  EXPECT_EQ(errors.texts[0].rfind(kFileSaveFailedText, 0), 0u);
  EXPECT_EQ(errors.captions[0], "File Error");
  EXPECT_TRUE(s.IsModified());
  EXPECT_EQ(s.File().GetFilePath(), "/previous/path.ovd");
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_EQ(Entries(m_dir), QStringList{"show.ovd"});
}

// --- Records of another version ---

namespace {

// The records of the system file that carry a version word of their own.
enum class VersionedRecord { UserList, User, AccessRecord, Zone, Snapshot, SnapshotImage };

struct VersionedCase {
  VersionedRecord record;
  const char* name;
  friend void PrintTo(const VersionedCase& c, std::ostream* os) { *os << c.name; }
};

// A version 5 file written a byte at a time: two users (the second with one access record), one
// device in one zone, two snapshots of it. The record under test carries the version word given
// and, after it, the body of the version this program writes, as a later program that only
// added fields at the end would leave it.
class CByteFile {
 public:
  CByteFile(VersionedRecord record, std::uint32_t version, const CDevice& device)
      : m_record(record), m_version(version) {
    PutU32(m_bytes, 5);
    PutU32(m_bytes, 0);  // use system security
    PutU32(m_bytes, 0);  // full screen on open
    PutU32(m_bytes, 0);  // go online on open
    PutU32(m_bytes, 0);  // current user
    PutU32(m_bytes, VersionOf(VersionedRecord::UserList, 1));
    PutU32(m_bytes, 2);
    User("Admin", "pw", {});
    User("Op", "", {device.GetUuid()});
    PutU32(m_bytes, 1);  // one device: its type, ID, model index and its own record
    PutU32(m_bytes, device.GetTypeCode());
    PutU32(m_bytes, device.GetDeviceId());
    PutU32(m_bytes, 0);
    CArchive own;
    const_cast<CDevice&>(device).Serialize(own);
    m_bytes.insert(m_bytes.end(), own.Data().begin(), own.Data().end());
    PutU32(m_bytes, 0);  // selected device
    PutU32(m_bytes, 1);  // one zone
    PutU32(m_bytes, VersionOf(VersionedRecord::Zone, 1));
    PutText(m_bytes, "Main Zone");
    PutU32(m_bytes, 0);
    PutU32(m_bytes, 1);
    PutU32(m_bytes, 1);
    Uuid(device.GetUuid());
    PutU32(m_bytes, 0);  // links
    PutU32(m_bytes, 1);  // links active
    PutU32(m_bytes, 0);  // tree state
    PutU32(m_bytes, 1);  // the image root: version, id, name, no children
    for (std::uint8_t i = 0; i < 16; ++i) m_bytes.push_back(std::uint8_t(0xA0 + i));
    PutText(m_bytes, "");
    PutU32(m_bytes, 0);
    PutU32(m_bytes, 0);  // custom panels
    PutU32(m_bytes, 2);
    Snapshot("Show 1", device.GetUuid(), {1, 2, 3});
    Snapshot("Show 2", device.GetUuid(), {4, 5});
  }
  const Bytes& Data() const { return m_bytes; }

 private:
  std::uint32_t VersionOf(VersionedRecord record, std::uint32_t current) const {
    return record == m_record ? m_version : current;
  }
  void Uuid(const CUuid& uuid) { m_bytes.insert(m_bytes.end(), uuid.bytes.begin(), uuid.bytes.end()); }
  void User(const std::string& name, const std::string& password, const std::vector<CUuid>& access) {
    // The 24-byte record: name and password padded with blanks to 8 bytes, the two mask words.
    std::uint8_t record[24];
    std::fill(record, record + 16, std::uint8_t(' '));
    std::copy(name.begin(), name.end(), record);
    std::copy(password.begin(), password.end(), record + 8);
    std::fill(record + 16, record + 24, std::uint8_t(0));
    ScrambleWords(record, 6, kTick);
    PutU32(m_bytes, VersionOf(VersionedRecord::User, 2));
    PutU32(m_bytes, kTick);
    m_bytes.insert(m_bytes.end(), record, record + 24);
    PutU32(m_bytes, std::uint32_t(access.size()));
    for (const CUuid& uuid : access) {
      PutU32(m_bytes, VersionOf(VersionedRecord::AccessRecord, 1));
      Uuid(uuid);
      PutU32(m_bytes, 1);
    }
    PutU32(m_bytes, 0);  // panel access records
  }
  void Snapshot(const std::string& name, const CUuid& device, const Bytes& image) {
    PutU32(m_bytes, VersionOf(VersionedRecord::Snapshot, 1));
    for (std::uint8_t i = 0; i < 16; ++i) m_bytes.push_back(std::uint8_t(name.back() * 16 + i));
    PutU32(m_bytes, 1);
    PutU32(m_bytes, VersionOf(VersionedRecord::SnapshotImage, 1));
    Uuid(device);
    PutU32(m_bytes, 1);  // flag
    PutU32(m_bytes, std::uint32_t(image.size()));
    m_bytes.insert(m_bytes.end(), image.begin(), image.end());
    PutText(m_bytes, name);
  }

  VersionedRecord m_record;
  std::uint32_t m_version;
  Bytes m_bytes;
};

class RecordVersionTest : public SystemFileTest, public ::testing::WithParamInterface<VersionedCase> {};

}  // namespace

// A record of a later version cannot be read past (records carry no length): the file is refused
// with the words of a file from a later program and nothing of it is loaded, and a version 0
// (no program writes it) is damage. Read whole, the same file gives back every record, and its
// save is the file again byte for byte.
TEST_P(RecordVersionTest, ALaterVersionRefusesTheWholeFileAndTheCurrentOneReadsWhole) {
  CSystem scratch;
  CFileTestDevice* device = AddDevice(scratch, CFileTestDevice::kImagingType, 9);
  NameDevice(device, "Stage");
  device->level = 17;

  const std::string path = PathOf("versions.ovd");
  const std::uint32_t written = GetParam().record == VersionedRecord::User ? 2 : 1;
  const Bytes whole = CByteFile(GetParam().record, written, *device).Data();
  WriteBytes(path, whole, whole.size());
  {
    CSystem back;
    CRecordingErrors errors;
    back.SetUiServices(&errors);
    ASSERT_TRUE(back.File().OpenFile(path));
    EXPECT_TRUE(errors.texts.empty());
    ASSERT_EQ(back.Users().GetUsers().size(), 2u);
    EXPECT_EQ(back.Users().GetUsers()[1]->GetName(), "Op");
    ASSERT_EQ(back.Users().GetUsers()[1]->m_devicePermissions.size(), 1u);
    EXPECT_EQ(back.Users().GetUsers()[1]->m_devicePermissions[0]->GetUuid(), device->GetUuid());
    ASSERT_EQ(back.GetDeviceCount(), 1);
    EXPECT_EQ(DeviceAt(back, 0)->level, 17);
    ASSERT_EQ(back.GetZones().size(), 1u);
    EXPECT_EQ(back.GetZones()[0]->GetDevices().size(), 1u);
    ASSERT_EQ(back.GetSnapshots().size(), 2u);
    EXPECT_EQ(back.GetSnapshots()[0]->GetName(), "Show 1");
    EXPECT_EQ(back.GetSnapshots()[1]->GetName(), "Show 2");
    ASSERT_EQ(back.GetSnapshots()[1]->m_data.size(), 1u);
    EXPECT_EQ(back.GetSnapshots()[1]->m_data[0]->m_data, (Bytes{4, 5}));
    // Saved and read again: nothing lost, nothing added.
    const std::string again = PathOf("again.ovd");
    ASSERT_TRUE(back.File().SaveFile(again));
    EXPECT_EQ(FirstDifference(ReadAll(again), whole), -1);
  }

  for (const std::uint32_t version : {written + 1, 0u}) {
    SCOPED_TRACE(version);
    const Bytes file = CByteFile(GetParam().record, version, *device).Data();
    WriteBytes(path, file, file.size());
    CSystem back;
    CRecordingErrors errors;
    back.SetUiServices(&errors);
    Populate(back);
    EXPECT_FALSE(back.File().OpenFile(path));
    ASSERT_EQ(errors.texts.size(), 1u);
    if (version == 0)
      EXPECT_EQ(errors.texts[0].rfind(std::string(kFileDamagedText) + "\n(", 0), 0u) << errors.texts[0];
    else
      EXPECT_EQ(errors.texts[0], kFileTooNewText);
    ExpectDefaults(back);
    EXPECT_TRUE(back.File().GetFilePath().empty());
    EXPECT_EQ(ReadAll(path), file);  // the file itself stays as it is
  }
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordVersionTest,
    ::testing::Values(VersionedCase{VersionedRecord::UserList, "UserList"}, VersionedCase{VersionedRecord::User, "User"},
                      VersionedCase{VersionedRecord::AccessRecord, "AccessRecord"},
                      VersionedCase{VersionedRecord::Zone, "Zone"}, VersionedCase{VersionedRecord::Snapshot, "Snapshot"},
                      VersionedCase{VersionedRecord::SnapshotImage, "SnapshotImage"}),
    [](const ::testing::TestParamInfo<VersionedCase>& info) { return std::string(info.param.name); });
