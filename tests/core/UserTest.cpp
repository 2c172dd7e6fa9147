// Users: the 24-byte record, the chained scrambling, the user table and the file records.
#include <gtest/gtest.h>

#include <tuple>

#include "core/protocol/Scramble.h"
#include "core/model/User.h"
#include "platform/Archive.h"
#include "tests/support/FilledUuid.h"
#include "tests/support/FixedTick.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

// Owns the users of a list for the length of a test.
struct OwnedUsers {
  CUserList list;
  ~OwnedUsers() { DeleteAllUsers(list); }
};

Bytes Store(CUser& user) {
  CArchive ar;
  user.Serialize(ar);
  return ar.TakeData();
}

void PutU32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

}  // namespace

TEST(Scramble, ChainsEachWordWithThePreviousStoredWord) {
  std::uint8_t words[12] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
  ScrambleWords(words, 3, 0x10);
  EXPECT_EQ(LoadU32(words), 0x11u);
  EXPECT_EQ(LoadU32(words + 4), 0x13u);
  EXPECT_EQ(LoadU32(words + 8), 0x10u);
  UnscrambleWords(words, 3, 0x10);
  EXPECT_EQ(LoadU32(words), 1u);
  EXPECT_EQ(LoadU32(words + 4), 2u);
  EXPECT_EQ(LoadU32(words + 8), 3u);
}

// Each scrambled word chains with the one before it, and unscrambling in place and into another
// buffer gives the words back, for every count up to and past the words taken four at a time.
TEST(Scramble, ChainsAndUnscramblesInPlaceOrApartForEveryCount) {
  for (std::size_t count = 0; count <= 9; ++count) {
    SCOPED_TRACE(count);
    Bytes plain(4 * count);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = std::uint8_t(37 * i + 11);
    Bytes scrambled = plain;
    ScrambleWords(scrambled.data(), count, 0xA5C30F96);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t before = i ? LoadU32(&scrambled[4 * i - 4]) : 0xA5C30F96u;
      EXPECT_EQ(LoadU32(&scrambled[4 * i]), LoadU32(&plain[4 * i]) ^ before);
    }
    Bytes apart(plain.size(), 0xEE);
    UnscrambleWords(scrambled.data(), apart.data(), count, 0xA5C30F96);
    EXPECT_EQ(apart, plain);
    UnscrambleWords(scrambled.data(), count, 0xA5C30F96);
    EXPECT_EQ(scrambled, plain);
  }
}

TEST(UserRecord, LongNameIsCutAndShortPasswordPaddedWithBlanks) {
  CUser user("Technician", "abc");
  user.SetRestrictionMask(0x0000000500000031ull);
  std::uint8_t record[24];
  user.PackRecord(record);
  const Bytes expected = {'T', 'e', 'c', 'h', 'n', 'i', 'c', 'i',  //
                          'a', 'b', 'c', ' ', ' ', ' ', ' ', ' ',  //
                          0x31, 0, 0, 0, 0x05, 0, 0, 0};
  EXPECT_EQ(Bytes(record, record + 24), expected);

  CUser back("old", "old");
  back.UnpackRecord(record);
  EXPECT_EQ(back.GetName(), "Technici");
  EXPECT_EQ(back.GetPassword(), "abc");
  EXPECT_EQ(back.GetRestrictionMask(), 0x0000000500000031ull);
}

TEST(UserRecord, UnpackStopsAtZeroByteAndTrimsBlanks) {
  std::uint8_t record[24] = {' ', 'a', 'b', 0, 'x', 'y', 'z', ' ',  //
                             '\t', 'p', ' ', 'w', ' ', ' ', ' ', ' '};
  CUser user;
  user.UnpackRecord(record);
  EXPECT_EQ(user.GetName(), "ab");
  EXPECT_EQ(user.GetPassword(), "p w");
  EXPECT_EQ(user.GetRestrictionMask(), 0u);
}

TEST(UserTable, EmptyListIsCountZeroSeedAndScrambledZeros) {
  FixedTick tick(0x12345678);
  CUserTable table;
  table.fill(0xEE);
  PackUserTable({}, table);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(LoadU32(&table[1]), 0x12345678u);
  // Zero words chained from the seed all store the seed itself.
  for (std::size_t w = 0; w < 60; ++w) EXPECT_EQ(LoadU32(&table[5 + 4 * w]), 0x12345678u) << w;
  OwnedUsers back;
  back.list.push_back(new CUser("x", "y"));
  UnpackUserTable(back.list, table);
  EXPECT_TRUE(back.list.empty());
}

TEST(UserTable, RoundTripKeepsRecordsAndOverlongCountGivesTenUsers) {
  FixedTick tick(777);
  OwnedUsers users;
  users.list.push_back(new CUser("Admin", "Marigold"));
  users.list.push_back(new CUser("Op", "1234"));
  users.list[1]->SetRestrictionMask(0x3F);
  CUserTable table;
  PackUserTable(users.list, table);
  EXPECT_EQ(table[0], 2);
  OwnedUsers back;
  UnpackUserTable(back.list, table);
  ASSERT_EQ(back.list.size(), 2u);
  EXPECT_EQ(back.list[0]->GetName(), "Admin");
  EXPECT_EQ(back.list[0]->GetPassword(), "Marigold");
  EXPECT_EQ(back.list[1]->GetName(), "Op");
  EXPECT_EQ(back.list[1]->GetRestrictionMask(), 0x3Fu);

  table[0] = 200;
  UnpackUserTable(back.list, table);
  ASSERT_EQ(back.list.size(), 10u);
  EXPECT_EQ(back.list[9]->GetName(), "");
}

TEST(UserFileRecord, GoldenBytesOfVersionTwo) {
  FixedTick tick(0x01020304);
  CUser user("Admin", "Marigold");
  user.m_devicePermissions.push_back(new CPanelPermissions(UuidOf(0xAB), 1));
  const Bytes stored = Store(user);

  Bytes expected;
  PutU32(expected, 2);
  PutU32(expected, 0x01020304);
  std::uint8_t record[24] = {'A', 'd', 'm', 'i', 'n', ' ', ' ', ' ', 'M', 'a', 'r', 'i', 'g', 'o', 'l', 'd'};
  ScrambleWords(record, 6, 0x01020304);
  expected.insert(expected.end(), record, record + 24);
  PutU32(expected, 1);  // device records
  PutU32(expected, 1);  // access record version
  for (int i = 0; i < 16; ++i) expected.push_back(0xAB);
  PutU32(expected, 1);  // flags
  PutU32(expected, 0);  // panel records
  EXPECT_EQ(stored, expected);
  // The first stored word is the name's first four bytes chained with the seed.
  EXPECT_EQ(LoadU32(&stored[8]), LoadU32(reinterpret_cast<const std::uint8_t*>("Admi")) ^ 0x01020304u);
}

TEST(UserFileRecord, AnotherSeedGivesOtherBytesButTheSameUser) {
  FixedTick tick(1000);
  CUser user("Op", "pw");
  user.SetRestrictionMask(0x20);
  user.m_panelPermissions.push_back(new CPanelPermissions(UuidOf(7), 0));
  const Bytes first = Store(user);
  tick.Set(5000);
  const Bytes second = Store(user);
  EXPECT_NE(first, second);
  for (const Bytes& bytes : {first, second}) {
    CArchive in(bytes);
    CUser back;
    back.Serialize(in);
    EXPECT_FALSE(back.DiffersFrom(user));
    EXPECT_EQ(in.Remaining(), 0u);
  }
}

TEST(UserFileRecord, VersionOneHasNoAccessRecords) {
  Bytes bytes;
  PutU32(bytes, 1);
  PutU32(bytes, 99);
  std::uint8_t record[24] = {'G', 'u', 'e', 's', 't', ' ', ' ', ' ', 'g', ' ', ' ', ' ', ' ', ' ', ' ', ' ', 2};
  ScrambleWords(record, 6, 99);
  bytes.insert(bytes.end(), record, record + 24);
  CArchive in(bytes);
  CUser user;
  user.Serialize(in);
  EXPECT_EQ(user.GetName(), "Guest");
  EXPECT_EQ(user.GetPassword(), "g");
  EXPECT_EQ(user.GetRestrictionMask(), 2u);
  EXPECT_TRUE(user.m_devicePermissions.empty());
  EXPECT_EQ(in.Remaining(), 0u);
}

TEST(UserFileRecord, HugeAccessRecordCountIsRefusedBeforeReading) {
  Bytes bytes;
  PutU32(bytes, 2);
  PutU32(bytes, 0);
  bytes.resize(bytes.size() + 24, 0x20);
  PutU32(bytes, 0xFFFFFFF0u);
  CArchive in(bytes);
  CUser user;
  try {
    user.Serialize(in);
    FAIL() << "an impossible count was accepted";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::BadCount);
  }
}

TEST(UserList, RoundTripAndElevenUsersKeepTheFirstTen) {
  OwnedUsers users;
  for (int i = 0; i < 11; ++i) users.list.push_back(new CUser("U" + std::to_string(i), "p"));
  CArchive out;
  SerializeUsers(out, users.list);
  CArchive in(out.TakeData());
  OwnedUsers back;
  back.list.push_back(new CUser("stale", ""));
  SerializeUsers(in, back.list);
  ASSERT_EQ(back.list.size(), 10u);
  EXPECT_EQ(back.list[0]->GetName(), "U0");
  EXPECT_EQ(back.list[9]->GetName(), "U9");
  EXPECT_EQ(in.Remaining(), 0u);

  // A list of a later version cannot be read past: it throws as such, and the list is emptied.
  Bytes otherVersion = {2, 0, 0, 0, 5, 0, 0, 0};
  CArchive in2(otherVersion);
  try {
    SerializeUsers(in2, back.list);
    ADD_FAILURE() << "read";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::NewerVersion);
  }
  EXPECT_TRUE(back.list.empty());
}

TEST(UserPermissions, CompareCopyRemoveAndAccess) {
  CUser a("A", "pw");
  a.SetRestrictionMask(0x10);
  a.m_devicePermissions.push_back(new CPanelPermissions(UuidOf(1), 1));
  a.m_panelPermissions.push_back(new CPanelPermissions(UuidOf(1), 1));
  a.m_panelPermissions.push_back(new CPanelPermissions(UuidOf(2), 0));
  CUser b;
  b.m_devicePermissions.push_back(new CPanelPermissions(UuidOf(9), 1));
  b.CopyFrom(a);
  EXPECT_FALSE(b.DiffersFrom(a));
  b.m_panelPermissions[1]->m_flags = 1;
  EXPECT_TRUE(b.DiffersFrom(a));
  // Access records never reach a unit's table.
  EXPECT_FALSE(b.DiffersInTableFrom(a));
  b.CopyFrom(a);
  b.SetRestrictionMask(0x10ull << 32);
  EXPECT_TRUE(b.DiffersFrom(a));
  EXPECT_TRUE(b.DiffersInTableFrom(a));

  // In a table only the first 8 bytes of name and password count, blanks around them trimmed.
  const CUser kept("Op", "Marigold");
  for (const auto& [name, password, differs] :
       {std::tuple{"Op", "Marigold9", false}, std::tuple{" Op ", "Marigold", false},
        std::tuple{"Op", "marigold", true}, std::tuple{"O", "Marigold", true}})
    EXPECT_EQ(CUser(name, password).DiffersInTableFrom(kept), differs) << name << "/" << password;

  // A UUID in both lists: only the device record goes.
  a.RemovePermission(UuidOf(1));
  EXPECT_TRUE(a.m_devicePermissions.empty());
  EXPECT_EQ(a.m_panelPermissions.size(), 2u);
  EXPECT_TRUE(a.HasPermissionRecord(UuidOf(1)));
  EXPECT_TRUE(a.CanAccessPanel(UuidOf(1)));
  EXPECT_FALSE(a.CanAccessPanel(UuidOf(2)));   // flag bit clear
  EXPECT_FALSE(a.CanAccessPanel(UuidOf(3)));   // no record
  CUser open("Admin", "");
  EXPECT_TRUE(open.CanAccessPanel(UuidOf(3)));  // no restrictions

  OwnedUsers x, y;
  x.list.push_back(new CUser("A", "1"));
  y.list.push_back(new CUser("A", "1"));
  EXPECT_TRUE(AreUserListsEqual(x.list, y.list));
  y.list[0]->m_password = "2";
  EXPECT_FALSE(AreUserListsEqual(x.list, y.list));
  EXPECT_FALSE(AreUserTablesEqual(x.list, y.list));
  y.list[0]->m_password = "1";
  y.list[0]->m_devicePermissions.push_back(new CPanelPermissions(UuidOf(4), 1));
  EXPECT_FALSE(AreUserListsEqual(x.list, y.list));
  EXPECT_TRUE(AreUserTablesEqual(x.list, y.list));
  delete y.list.back();
  y.list.pop_back();
  EXPECT_FALSE(AreUserListsEqual(x.list, y.list));
  EXPECT_FALSE(AreUserTablesEqual(x.list, y.list));
}
