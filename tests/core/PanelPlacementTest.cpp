// Where a device's panel goes, on its own: its run of words in the device's record and in a
// data stream, the edges of a loaded rectangle put in order, and the mark of a panel open when
// stored.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "core/file/DataStream.h"
#include "core/model/PanelPlacement.h"
#include "platform/Archive.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Words(std::initializer_list<std::uint32_t> words) {
  Bytes b;
  for (std::uint32_t w : words)
    for (int shift = 0; shift < 32; shift += 8) b.push_back(std::uint8_t(w >> shift));
  return b;
}

CWindowPlacement Placement() {
  CWindowPlacement wp;
  wp.flags = 2;
  wp.showCmd = 1;
  wp.minPosition = CPoint{10, 20};
  wp.maxPosition = CPoint{7, 8};
  wp.normalPosition = CRect{30, 40, 500, 600};
  return wp;
}

}  // namespace

TEST(PanelPlacementTest, NewPlacement_NeverPlacedClosedAndNotOpenWhenStored) {
  CPanelPlacement p;
  EXPECT_EQ(p.GetPanelPlacement().showCmd, 3u);
  EXPECT_EQ(p.GetPanelPlacement().normalPosition, (CRect{-1, -1, 500, 500}));
  EXPECT_EQ(p.GetPanelOrder(), 0);
  EXPECT_FALSE(p.WasPanelOpenWhenStored());
}

TEST(PanelPlacementTest, ArchiveRun_ExactWordsMinimisedBeforeMaximisedAndLoadsBack) {
  CPanelPlacement p;
  p.SetPanelPlacement(Placement());
  p.SetPanelOrder(4);
  CArchive out;
  p.Store(out, true);
  const Bytes bytes = out.TakeData();
  EXPECT_EQ(bytes, Words({44, 2, 1, 10, 20, 7, 8, 30, 40, 500, 600, 1, 4}));

  CPanelPlacement back;
  CArchive in(bytes);
  back.Load(in);
  EXPECT_EQ(back.GetPanelPlacement(), Placement());
  EXPECT_EQ(back.GetPanelOrder(), 4);
  EXPECT_TRUE(back.WasPanelOpenWhenStored());
  back.ClearPanelWasOpen();
  EXPECT_FALSE(back.WasPanelOpenWhenStored());
}

TEST(PanelPlacementTest, ArchiveLoad_ReversedEdgesAreSwappedIntoOrder) {
  CPanelPlacement p;
  CArchive in(Words({44, 0, 1, 0, 0, 0, 0, 500, 600, 30, 40, 0, 0}));
  p.Load(in);
  EXPECT_EQ(p.GetPanelPlacement().normalPosition, (CRect{30, 40, 500, 600}));
  EXPECT_FALSE(p.WasPanelOpenWhenStored());
}

TEST(PanelPlacementTest, ArchiveLoad_TruncatedRunThrows) {
  CPanelPlacement p;
  CArchive in(Words({44, 2, 1, 10}));
  EXPECT_THROW(p.Load(in), CArchiveException);
}

TEST(PanelPlacementTest, StreamRun_MaximisedFirstAndLoadsBack) {
  CPanelPlacement p;
  p.SetPanelPlacement(Placement());
  p.SetPanelOrder(3);
  std::ostringstream out;
  CDataStream store(out);
  p.Stream(store, false);
  const std::string s = out.str();
  // Each point and rectangle is a record of its own with its version word; the rectangle goes
  // left, right, top, bottom.
  EXPECT_EQ(Bytes(s.begin(), s.end()), Words({1, 2, 1, 1, 7, 8, 1, 10, 20, 1, 30, 500, 40, 600, 0, 3}));

  CPanelPlacement back;
  std::istringstream in(s);
  CDataStream load(in);
  back.Stream(load, true);  // the open word read is what counts when loading
  EXPECT_EQ(back.GetPanelPlacement(), Placement());
  EXPECT_EQ(back.GetPanelOrder(), 3);
  EXPECT_FALSE(back.WasPanelOpenWhenStored());
}
