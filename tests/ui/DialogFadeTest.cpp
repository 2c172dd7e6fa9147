// The skinned dialogs' fade: the opacity bytes of each step and the tick on which it ends.
#include <gtest/gtest.h>

#include <vector>

#include "widgets/DialogFade.h"

namespace {

struct FadeCase {
  float target;
  std::vector<int> upBytes;  // bytes applied while fading in, in order
  int ticksToEnd;            // fade-out ticks from the top until the dialog ends
  int lastDownByte;          // the last byte applied before the end
};

class DialogFadeTest : public ::testing::TestWithParam<FadeCase> {};

}  // namespace

TEST_P(DialogFadeTest, FadeInStepsToTheTargetThenStopsAndFadeOutEndsOnItsTick) {
  const FadeCase& c = GetParam();
  CDialogFade fade;
  fade.SetTarget(c.target);
  std::vector<int> bytes;
  CDialogFade::Tick tick;
  while ((tick = fade.Step()) == CDialogFade::Tick::kApplied) {
    bytes.push_back(fade.GetOpacityByte());
    ASSERT_LT(bytes.size(), 100u);
  }
  EXPECT_EQ(tick, CDialogFade::Tick::kStop);
  EXPECT_EQ(bytes, c.upBytes);

  fade.StartFadeOut();
  int ticks = 0;
  int last = -1;
  for (;;) {
    ++ticks;
    if (fade.Step() == CDialogFade::Tick::kEnd) break;
    last = fade.GetOpacityByte();
    ASSERT_LT(ticks, 100);
  }
  EXPECT_EQ(ticks, c.ticksToEnd);
  EXPECT_EQ(last, c.lastDownByte);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, DialogFadeTest,
    ::testing::Values(FadeCase{0.9f, {17, 35, 53, 71, 89, 107, 124, 142, 160, 178, 196, 214, 232}, 13, 17},
                      FadeCase{1.0f, {17, 35, 53, 71, 89, 107, 124, 142, 160, 178, 196, 214, 232, 249, 255}, 15, 5}),
    [](const ::testing::TestParamInfo<FadeCase>& info) { return info.index == 0 ? "To90" : "ToFull"; });

TEST(DialogFade, FadeOutDuringTheFadeInStartsFromTheOpacityReached) {
  CDialogFade fade;
  for (int i = 0; i < 5; ++i) fade.Step();
  EXPECT_NEAR(fade.GetOpacity(), 0.35f, 1e-4);
  fade.StartFadeOut();
  int ticks = 1;
  while (fade.Step() != CDialogFade::Tick::kEnd) ++ticks;
  // 0.35 -> 0.28 -> 0.21 -> 0.14 -> 0.07, then the end.
  EXPECT_EQ(ticks, 5);
}
