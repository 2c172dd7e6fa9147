// Zones: the collapse animations tick by tick, the geometry while they run, and the headers'
// pixels.
#include "core/support/SystemMessages.h"
#include "core/file/Uuid.h"
#include "platform/Archive.h"
#include "platform/Image.h"
#include "tests/ui/RackFixture.h"

namespace {

// One animation: the zone's full size, and the sizes after each tick until the last one.
struct AnimationCase {
  const char* name;
  bool strip;
  bool collapse;
  int tileSize;  // one device of this size; 0 for an empty zone
  std::vector<int> sizes;
};

class ZoneAnimation : public RackFixture, public ::testing::WithParamInterface<AnimationCase> {};

TEST_P(ZoneAnimation, SizesPerTickThenEndsStillAndStopsItsTimer) {
  const AnimationCase& c = GetParam();
  CZone& zone = Zone(0);
  if (c.tileSize > 0) AddDevice(zone, c.tileSize, c.tileSize);
  const CRect header{0, 0, 300, 20};
  const CRect column{0, 0, 20, 120};
  if (!c.collapse) {
    (c.strip ? zone.m_bMeterCollapsed : zone.m_bCollapsed) = true;
  }
  if (c.strip)
    zone.OnMeterHeaderClick(CPoint{6, 12}, column);
  else
    zone.OnHeaderClick(CPoint{282, 10}, header);
  ASSERT_EQ(Posted(c.strip ? FrameMsg::kMeterZoneTimerStart : FrameMsg::kRackZoneTimerStart), 1u);

  const std::int32_t& state = c.strip ? zone.m_nMeterAnimState : zone.m_nAnimState;
  const std::int32_t& size = c.strip ? zone.m_nMeterAnimWidth : zone.m_nAnimHeight;
  const bool& collapsed = c.strip ? zone.m_bMeterCollapsed : zone.m_bCollapsed;
  std::vector<int> seen;
  for (int tick = 0; tick < 100 && state != 0; ++tick) {
    // A click during the animation changes nothing.
    if (c.strip)
      zone.OnMeterHeaderClick(CPoint{6, 12}, column);
    else
      zone.OnHeaderClick(CPoint{282, 10}, header);
    if (c.strip)
      zone.AnimateMeterStep();
    else
      zone.AnimateStep();
    if (state == 0) break;
    seen.push_back(size);
    EXPECT_EQ(collapsed, !c.collapse) << "the flag changes only on the last tick";
  }
  EXPECT_EQ(seen, c.sizes);
  EXPECT_EQ(collapsed, c.collapse);
  EXPECT_EQ(size, c.collapse ? 20 : 0);
  EXPECT_EQ(Posted(c.strip ? FrameMsg::kMeterZoneTimerStop : FrameMsg::kRackZoneTimerStop), 1u);
  EXPECT_EQ(Posted(c.strip ? FrameMsg::kRebuildMeters : FrameMsg::kRefreshRack), seen.size() + 1);
  // The other view's state never moved.
  EXPECT_EQ(c.strip ? zone.m_bCollapsed : zone.m_bMeterCollapsed, false);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, ZoneAnimation,
    ::testing::Values(
        AnimationCase{"RackCollapse100", false, true, 80, {90, 80, 70, 60, 50, 40, 37, 34, 31, 28, 25, 22}},
        AnimationCase{"RackExpand100", false, false, 80, {30, 40, 50, 60, 70, 80, 90, 100}},
        AnimationCase{"RackCollapseEmpty", false, true, 0, {}},
        AnimationCase{"StripCollapse200", true, true, 180,
                      {185, 170, 155, 140, 125, 110, 95, 80, 65, 60, 55, 50, 45, 40, 35, 30, 25, 20}},
        AnimationCase{"StripExpand50", true, false, 30, {35, 50}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RackFixture, ZoneRecord_KeepsBothCollapseFlagsAndSkipsAUuidThatNamesNoDevice) {
  CZone& zone = AddZone("Stage");
  CSizedDevice& kept = AddDevice(zone);
  zone.m_bCollapsed = true;
  CArchive out;
  zone.Serialize(out);
  // One more entry naming a device that the file does not hold.
  std::vector<std::uint8_t> bytes = out.Data();
  bytes[bytes.size() - 16 - 4] = 2;
  CUuid stranger = MakeUuid(false);
  bytes.insert(bytes.end(), stranger.bytes.begin(), stranger.bytes.end());
  CArchive in(bytes);
  CZone back(&system);
  back.Serialize(in);
  EXPECT_EQ(back.GetName(), "Stage");
  EXPECT_TRUE(back.m_bCollapsed);
  EXPECT_FALSE(back.m_bMeterCollapsed);
  EXPECT_EQ(back.GetDevices(), (std::vector<CDevice*>{&kept}));
}

TEST_F(RackFixture, Zone_ClicksOffTheArrowStartNothing) {
  CZone& zone = Zone(0);
  zone.OnHeaderClick(CPoint{100, 10}, CRect{0, 0, 300, 20});  // on the name
  zone.OnHeaderClick(CPoint{290, 10}, CRect{0, 0, 300, 20});  // right of the arrow
  zone.OnMeterHeaderClick(CPoint{10, 60}, CRect{0, 0, 20, 120});  // below the arrow
  EXPECT_EQ(zone.m_nAnimState, 0);
  EXPECT_EQ(zone.m_nMeterAnimState, 0);
  EXPECT_EQ(sink.Messages().size(), 0u);
}

TEST_F(RackFixture, Zone_TilesWhileAnimatingAreCutButCollapsingOnesStillHit) {
  CZone& zone = Zone(0);
  CSizedDevice& a = AddDevice(zone, 30);
  CSizedDevice& b = AddDevice(zone, 30);
  CZone& next = AddZone("Next");
  CSizedDevice& c = AddDevice(next, 30);
  zone.OnHeaderClick(CPoint{282, 10}, CRect{0, 0, 300, 20});
  zone.AnimateStep();  // 80 -> 70 -> 60: b's tile (50..80) is cut, a's (20..50) is not
  zone.AnimateStep();
  ASSERT_EQ(zone.m_nAnimHeight, 60);
  CRect cursor{0, 0, 300, 0};
  EXPECT_EQ(zone.GetDeviceRect(&a, cursor), (CRect{0, 20, 300, 50}));
  cursor = CRect{0, 0, 300, 0};
  EXPECT_EQ(zone.GetDeviceRect(&b, cursor), CRect{});
  EXPECT_EQ(cursor.top, 60);  // past the animated height
  cursor = CRect{0, 60, 300, 0};
  EXPECT_EQ(next.GetDeviceRect(&c, cursor), (CRect{0, 80, 300, 110}));
  EXPECT_EQ(zone.Draw(nullptr, CRect{}, false), 60);
  EXPECT_EQ(zone.Draw(nullptr, CRect{}, true), 80);

  // Collapsing: hit at the full-layout places; expanding: not hit at all.
  cursor = CRect{0, 0, 300, 0};
  EXPECT_EQ(zone.HitTestDevice(10, 70, cursor), &b);
  zone.m_nAnimState = 2;
  zone.m_bCollapsed = true;
  cursor = CRect{0, 0, 300, 0};
  EXPECT_EQ(zone.HitTestDevice(10, 30, cursor), nullptr);
  EXPECT_EQ(cursor.top, 20);
}

TEST_F(RackFixture, Zone_HeadersDrawGradientOutlineNameAndArrow) {
  CZone& zone = Zone(0);
  CImage image(200, 140);
  image.Fill(CColour{0xFF00FF00u});
  Graphics g(image);
  zone.DrawHeader(g, CRect{0, 0, 200, 20});
  // Black 2 px outline at the edge, the gradient from dark at the top to lighter at the bottom.
  EXPECT_EQ(image.GetPixel(0, 10), CColour{0xFF000000u});
  const CColour upper = image.GetPixel(150, 2);
  const CColour lower = image.GetPixel(150, 17);
  EXPECT_LT(upper.R(), lower.R());
  EXPECT_NEAR(upper.R(), 0x32, 8);
  EXPECT_NEAR(lower.R(), 0x64, 10);
  EXPECT_EQ(upper.R(), upper.B());
  // The arrow's base (expanded: at the bottom) in light grey.
  EXPECT_GT(image.GetPixel(182, 15).R(), 0xA0);
  // The name in white, left of the arrow area.
  int white = 0;
  for (int y = 2; y < 18; ++y)
    for (int x = 6; x < 60; ++x) white += image.GetPixel(x, y).R() > 0xC0 ? 1 : 0;
  EXPECT_GT(white, 20);

  // The strip header: translucent white in a column, the name reading upwards.
  zone.DrawMeterHeader(g, CRect{0, 20, 20, 140});
  const CColour column = image.GetPixel(2, 100);
  EXPECT_GT(column.G(), 0xF0);
  EXPECT_GT(column.R(), 0x90);
  EXPECT_EQ(image.GetPixel(0, 100), CColour{0xFF00FF00u});  // one pixel left free

  // A name too long for the column runs up the whole column, under the arrow (top + 8 to
  // top + 20) and past it; the lines just below the arrow carry text.
  zone.SetName("Front of House Delay Towers and Balcony Fills");
  image.Fill(CColour{0xFF00FF00u});
  zone.DrawMeterHeader(g, CRect{0, 0, 20, 140});
  int dark = 0;
  for (int y = 22; y < 28; ++y)
    for (int x = 2; x < 18; ++x) dark += image.GetPixel(x, y).R() < 0x60 ? 1 : 0;
  EXPECT_GT(dark, 4);
}

}  // namespace
