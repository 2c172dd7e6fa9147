// A snapshot recalled while linking is on, for the processors and both Zel families, offline:
// each unit takes the level its own image holds, whatever its link and the order of the
// devices; a person's change afterwards still moves every member.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/system/System.h"
#include "core/system/Zone.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/ModelChanges.h"

namespace {

struct LinkedFamily {
  const char* name;
  std::uint32_t type;
  std::int32_t gain;  // the parameter the link joins: a channel's (or input's) gain
};

void PrintTo(const LinkedFamily& family, std::ostream* out) { *out << family.name; }

// Levels every family stores exactly (Zel gains below -12 dB go in 2 dB steps).
float LevelOf(int member) { return -2.0f * float(member + 1); }

class LinkedRecallTest : public ::testing::TestWithParam<LinkedFamily> {
 protected:
  void SetUp() override {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
    for (std::uint32_t id = 1; id <= kUnits; ++id) {
      CDevice* device = system.CreateDevice(id, GetParam().type, 0);
      ASSERT_NE(device, nullptr);
      system.AppendDevice(device);
      system.GetZones()[0]->AppendDevice(device);
    }
    // Every other unit in one link, its first member the master.
    CLink* link = system.Links().AddLink();
    for (std::uint32_t i = 0; i < kUnits; i += 2)
      link->AddMember(system.GetDevice(int(i))->GetUuid(), std::uint32_t(GetParam().gain));
  }
  void Set(int index, float level) {
    ModelChange(system.GetDevice(index), CParamValue(GetParam().gain, level, ParamKind::kLevel));
  }
  float Level(int index) const { return system.GetDevice(index)->GetCurrentValue(GetParam().gain).value; }

  static constexpr std::uint32_t kUnits = 12;
  CSystem system;
};

}  // namespace

// Levels set apart while linking was off are stored; all units then go to 0 dB, linking goes
// on, and the recall puts every unit, member or not, at its own stored level.
TEST_P(LinkedRecallTest, EveryUnitTakesItsOwnRecalledLevel) {
  system.Links().SetLinksActive(false);
  for (int i = 0; i < int(kUnits); ++i) Set(i, LevelOf(i));
  system.Snapshots().AddSnapshot("Apart");
  for (int i = 0; i < int(kUnits); ++i) Set(i, 0.0f);
  system.Links().SetLinksActive(true);

  ASSERT_TRUE(system.Snapshots().RecallSnapshot(0));
  for (int i = 0; i < int(kUnits); ++i) EXPECT_FLOAT_EQ(Level(i), LevelOf(i)) << "unit " << i;
  EXPECT_EQ(system.GetCurrentSnapshot(), 0);
  EXPECT_FALSE(system.IsLinksBusy());

  // The link still carries a person's change to every member, and to no other unit.
  Set(2, -20.0f);
  for (int i = 0; i < int(kUnits); ++i) EXPECT_FLOAT_EQ(Level(i), i % 2 == 0 ? -20.0f : LevelOf(i)) << "unit " << i;
}

INSTANTIATE_TEST_SUITE_P(Families, LinkedRecallTest,
                         ::testing::Values(LinkedFamily{"Nerex48", 120, 13}, LinkedFamily{"Zel3", 52, kZelParamGain},
                                           LinkedFamily{"ZelBox", 41, kBreakParamGain}),
                         [](const auto& info) { return std::string(info.param.name); });
