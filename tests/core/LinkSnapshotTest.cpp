// Link and snapshot records: exact bytes, round trips and damaged counts.
#include <gtest/gtest.h>

#include "core/model/Link.h"
#include "core/model/Snapshot.h"
#include "platform/Archive.h"
#include "tests/support/FilledUuid.h"

using Bytes = std::vector<std::uint8_t>;

namespace {
void Put(Bytes& out, std::initializer_list<std::uint8_t> bytes) { out.insert(out.end(), bytes); }
void PutUuid(Bytes& out, std::uint8_t fill) { out.insert(out.end(), 16, fill); }
}  // namespace

TEST(LinkRecord, GoldenBytesHaveNoVersionWord) {
  CLink link("L");
  link.AddRef(new CLinkRef(UuidOf(0x11), 13));
  link.AddRef(new CLinkRef(UuidOf(0x22), 0x102));
  link.GetMembers()[1]->m_displayFlag = true;
  link.m_master = 1;
  link.m_expanded = true;
  CArchive out;
  link.Serialize(out);

  Bytes expected;
  Put(expected, {2, 0, 0, 0});
  PutUuid(expected, 0x11);
  Put(expected, {13, 0, 0, 0, 0, 0, 0, 0});
  PutUuid(expected, 0x22);
  Put(expected, {0x02, 0x01, 0, 0, 1, 0, 0, 0});
  Put(expected, {1, 0, 0, 0});                  // master
  Put(expected, {0xFF, 0xFE, 0xFF, 1, 'L', 0});  // name
  Put(expected, {1, 0, 0, 0});                  // expanded
  EXPECT_EQ(out.Data(), expected);

  CArchive in(out.TakeData());
  CLink back("Dummy");
  back.Serialize(in);
  EXPECT_EQ(back.GetName(), "L");
  ASSERT_EQ(back.GetMembers().size(), 2u);
  EXPECT_EQ(back.GetMembers()[1]->m_uuid, UuidOf(0x22));
  EXPECT_EQ(back.GetMembers()[1]->m_parameterId, 0x102u);
  EXPECT_TRUE(back.GetMembers()[1]->m_displayFlag);
  EXPECT_FALSE(back.GetMembers()[0]->m_displayFlag);
  EXPECT_EQ(back.m_master, 1);
  EXPECT_TRUE(back.m_expanded);
}

TEST(LinkRecord, MemberCountBeyondTheDataIsRefused) {
  Bytes bytes = {0xFF, 0xFF, 0, 0};
  PutUuid(bytes, 1);
  CArchive in(bytes);
  CLink link("Dummy");
  EXPECT_THROW(link.Serialize(in), CArchiveException);
  EXPECT_TRUE(link.GetMembers().empty());
}

TEST(SnapshotRecord, GoldenBytesWithTheNameLast) {
  CSnapshot snap("A");
  snap.m_uuid = UuidOf(0x5A);
  snap.m_data.push_back(new CSnapshotData(UuidOf(0x0D), Bytes{9, 8, 7}));
  CArchive out;
  snap.Serialize(out);

  Bytes expected;
  Put(expected, {1, 0, 0, 0});
  PutUuid(expected, 0x5A);
  Put(expected, {1, 0, 0, 0});  // image count
  Put(expected, {1, 0, 0, 0});  // image version
  PutUuid(expected, 0x0D);
  Put(expected, {1, 0, 0, 0, 3, 0, 0, 0, 9, 8, 7});
  Put(expected, {0xFF, 0xFE, 0xFF, 1, 'A', 0});
  EXPECT_EQ(out.Data(), expected);
}

TEST(SnapshotRecord, ImageLengthBeyondTheDataIsRefusedBeforeAllocating) {
  Bytes bytes = {1, 0, 0, 0};
  PutUuid(bytes, 3);
  Put(bytes, {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
  CArchive in(bytes);
  CSnapshotData image;
  try {
    image.Serialize(in);
    FAIL();
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.GetCause(), CArchiveException::BadCount);
  }
  EXPECT_EQ(image.GetLength(), 0u);
}

