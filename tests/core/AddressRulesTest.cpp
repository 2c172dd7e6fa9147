// The rules of a device's address on their own, for the base device and each family's frames:
// the IDs a row refuses, what the frames carry to the bus, whether the device is addressed, and
// the refusal of an ID another device holds or whose frames would reach another unit.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "core/model/AddressRules.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/processor/ProcessorFamily.h"
#include "tests/support/ModelChanges.h"
#include "tests/support/TestDevices.h"

namespace {

struct AddressCase {
  const char* name;
  std::uint32_t type;  // 0: the test family (the base rules)
  std::uint64_t id;
  const char* rangeRefusal;
  const char* addressRefusal;
  friend void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }
};

const AddressCase kAddressCases[] = {
    {"BaseAnyId", 0, 300, "", ""},
    {"BaseBeyond32Bits", 0, 0x100000000ull, "Device ID must be between 0 and 4294967295",
     "Device ID must be between 0 and 4294967295"},
    {"ProcessorShortId", 120, 63, "", ""},
    {"ProcessorLongId", 120, 300, "Device ID must be between 0 and 63", ""},
    {"ProcessorLowByteZero", 120, 256, "Device ID must be between 0 and 63",
     "Device ID 256 would address every unit of its model"},
    {"ZelSevenBitBytes", 52, 0x7F7F7F7F, "", ""},
    {"ZelByteAbove127", 52, 128, "Device ID 128 would address ID 0 - each byte of the ID must be 0 to 127",
     "Device ID 128 would address ID 0 - each byte of the ID must be 0 to 127"},
};

class AddressRulesTest : public ::testing::TestWithParam<AddressCase> {
 protected:
  void SetUp() override {
    RegisterProcessorFamily();
    RegisterAmplifierFamilies();
  }
  CDevice* Add(std::uint32_t type, std::uint32_t id) {
    CDevice* added = type == 0 ? new CTestDevice(&system, id) : system.CreateDevice(id, type, 0);
    system.AppendDevice(added);
    return added;
  }
  CSystem system;
};

}  // namespace

TEST_P(AddressRulesTest, TheRowAndTheFramesRefuseWhatTheFamilysFramesCannotCarry) {
  const CAddressRules& rules = Add(GetParam().type, 1)->AddressRules();
  EXPECT_EQ(rules.DeviceIdRangeRefusal(GetParam().id), GetParam().rangeRefusal);
  EXPECT_EQ(rules.AddressRefusal(GetParam().id), GetParam().addressRefusal);
}

INSTANTIATE_TEST_SUITE_P(Families, AddressRulesTest, ::testing::ValuesIn(kAddressCases),
                         [](const ::testing::TestParamInfo<AddressCase>& info) { return std::string(info.param.name); });

TEST_F(AddressRulesTest, ProcessorsWhoseIdsShareTheLowByteAreReachedByOneFrame) {
  CDevice* first = Add(120, 44);
  CDevice* other = Add(16, 2);
  const CAddressRules& rules = other->AddressRules();
  EXPECT_EQ(rules.FrameAddress(300), first->AddressRules().FrameAddress(44));
  EXPECT_NE(rules.FrameAddress(45), first->AddressRules().FrameAddress(44));
  EXPECT_EQ(rules.DeviceIdInUseRefusal(44), std::optional<std::string>("Device ID 44 already in use"));
  EXPECT_EQ(rules.DeviceIdInUseRefusal(300),
            std::optional<std::string>("Device ID 300 would also address " + first->GetUnitText()));
  EXPECT_EQ(rules.DeviceIdInUseRefusal(45), std::nullopt);
  EXPECT_EQ(rules.DeviceIdInUseRefusal(0), std::nullopt);
}

TEST_F(AddressRulesTest, ADeviceIsAddressedOnlyWithAnIdOfItsOwnThatItsFramesCarryAndNotLeftOut) {
  CDevice* device = Add(0, 0);
  CAddressRules& rules = device->AddressRules();
  EXPECT_FALSE(rules.IsAddressable()) << "ID 0 addresses every unit of the model";
  GiveDeviceId(device, 7);
  EXPECT_TRUE(rules.IsAddressable());
  rules.SetLeftOut(true);
  EXPECT_FALSE(rules.IsAddressable());
  GiveDeviceId(device, 8);
  EXPECT_FALSE(rules.IsLeftOut()) << "a new ID ends being left out";
  EXPECT_TRUE(rules.IsAddressable());
}

TEST_F(AddressRulesTest, TheZelIdentityQueryIsTheLongIdProbeAndAProcessorAnswersItOnlyAtALongId) {
  const CAddressRules& zel = Add(52, 5)->AddressRules();
  EXPECT_TRUE(zel.QueriesLongId());
  EXPECT_TRUE(zel.AnswersLongIdProbe());
  const CAddressRules& shortProcessor = Add(120, 5)->AddressRules();
  EXPECT_FALSE(shortProcessor.QueriesLongId());
  EXPECT_FALSE(shortProcessor.AnswersLongIdProbe());
  EXPECT_TRUE(Add(120, 300)->AddressRules().AnswersLongIdProbe());
}
