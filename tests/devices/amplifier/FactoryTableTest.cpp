// The device factory's table with every family registered: which class each type code makes,
// which model index it keeps, and the codes that make nothing.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "core/model/Device.h"
#include "core/system/System.h"
#include "devices/amplifier/AmplifierFamilies.h"
#include "devices/amplifier/PannexDevice.h"
#include "devices/amplifier/SornicAmpDevice.h"
#include "devices/amplifier/ZelBreakDevice.h"
#include "devices/amplifier/ZelSeriesDevice.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "devices/processor/ProcessorFamily.h"

namespace {

enum class Family { kNone, kProcessor, kZelBreak, kPannex, kZelSeries, kSornic };

Family FamilyOf(CDevice* d) {
  if (!d) return Family::kNone;
  if (dynamic_cast<CNerexSeriesDevice*>(d)) return Family::kProcessor;
  if (dynamic_cast<CZelBreakDevice*>(d)) return Family::kZelBreak;
  if (dynamic_cast<CPannexDevice*>(d)) return Family::kPannex;
  if (dynamic_cast<CZelSeriesDevice*>(d)) return Family::kZelSeries;
  if (dynamic_cast<CSornicAmpDevice*>(d)) return Family::kSornic;
  return Family::kNone;
}

Family Expected(std::uint32_t type) {
  const std::set<std::uint32_t> processors{16, 17, 110, 112, 114, 115, 116, 118, 120, 121};
  if (processors.count(type)) return Family::kProcessor;
  if (type >= 34 && type <= 47) return Family::kZelBreak;
  if (type == 49 || type == 50) return Family::kPannex;
  if (type >= 51 && type <= 56) return Family::kZelSeries;
  if (type == 60) return Family::kSornic;
  return Family::kNone;
}

class FactoryTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAmplifierFamilies();
    RegisterProcessorFamily();
  }
  CSystem system;
};

TEST_F(FactoryTableTest, EveryTypeCode_MakesItsFamilyOrNothing) {
  for (std::uint32_t type = 0; type < 300; ++type) {
    std::unique_ptr<CDevice> device(system.CreateDevice(7, type, 0x1234));
    EXPECT_EQ(FamilyOf(device.get()), Expected(type)) << "type " << type;
    if (device) {
      EXPECT_EQ(device->GetTypeCode(), type);
      EXPECT_EQ(device->GetDeviceId(), 7u);
      EXPECT_TRUE(device->NeedsInitialisation());
    }
  }
  for (std::uint32_t type : {48u, 111u, 113u, 117u, 119u, 57u, 61u, 33u})
    EXPECT_EQ(system.CreateDevice(1, type, 0), nullptr) << "type " << type;
}

TEST_F(FactoryTableTest, ModelIndex_KeptByTheTableRule) {
  auto modelIndexOf = [&](std::uint32_t type) {
    std::unique_ptr<CDevice> device(system.CreateDevice(1, type, 0x1C4A21));
    return device ? device->GetModelIndex() : 0xFFFFFFFFu;
  };
  EXPECT_EQ(modelIndexOf(16), 0u);
  EXPECT_EQ(modelIndexOf(17), 0u);
  for (std::uint32_t type : {110u, 112u, 114u, 115u, 116u, 118u, 120u, 121u}) EXPECT_EQ(modelIndexOf(type), 0x1C4A21u);
  EXPECT_EQ(modelIndexOf(60), 0x1C4A21u);
  EXPECT_EQ(modelIndexOf(40), 0u);
  EXPECT_EQ(modelIndexOf(49), 0u);
  EXPECT_EQ(modelIndexOf(53), 0u);
}

TEST_F(FactoryTableTest, Initialise_RunsForEveryFamily) {
  std::unique_ptr<CDevice> processor(system.CreateDevice(1, 121, 0));
  std::unique_ptr<CDevice> box(system.CreateDevice(1, 35, 0));
  std::unique_ptr<CDevice> pannex(system.CreateDevice(1, 50, 0));
  std::unique_ptr<CDevice> sornic(system.CreateDevice(1, 60, 0));
  EXPECT_NE(static_cast<CNerexSeriesDevice*>(processor.get())->PasteGate().GetPasteEvent(), nullptr);
  EXPECT_NE(static_cast<CZelBreakDevice*>(box.get())->GetPollGate(), nullptr);
  EXPECT_NE(static_cast<CPannexDevice*>(pannex.get())->GetPasteEvent(), nullptr);
  EXPECT_NE(static_cast<CSornicAmpDevice*>(sornic.get())->GetPollGate(), nullptr);
}

}  // namespace
