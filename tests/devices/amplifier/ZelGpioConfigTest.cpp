// The Zel amplifier's GPIO configuration on its own: the byte both ways, the choices each
// offers and the texts.
#include <gtest/gtest.h>

#include "devices/amplifier/ZelGpioConfig.h"

namespace {

struct ByteCase {
  std::uint8_t byte;
  std::uint32_t input, output, aux;
};

class ZelGpioByteTest : public ::testing::TestWithParam<ByteCase> {};

TEST_P(ZelGpioByteTest, TheByteCarriesInputOutputAndRelayAndComesBackAsItWent) {
  const ByteCase& c = GetParam();
  const CZelGpioConfig config = CZelGpioConfig::FromByte(c.byte);
  EXPECT_EQ(config.Input(), c.input);
  EXPECT_EQ(config.Output(), c.output);
  EXPECT_EQ(config.AuxRelay(), c.aux);
  EXPECT_EQ(config.Byte(), std::uint8_t(c.byte & 0x7F));
}

INSTANTIATE_TEST_SUITE_P(Bytes, ZelGpioByteTest,
                         ::testing::Values(ByteCase{0x00, 0, 0, 0}, ByteCase{0x1A, 2, 3, 0}, ByteCase{0x65, 5, 4, 1},
                                           ByteCase{0x7F, 7, 7, 1},  // beyond the lists: kept as it came
                                           ByteCase{0xFF, 7, 7, 1}   // bit 7 is no setting
                                           ));

TEST(ZelGpioConfigTest, AChoiceTakesOnlyWhatItOffersAndSaysWhetherItChanged) {
  CZelGpioConfig config;
  EXPECT_TRUE(config.Choose(CZelGpioConfig::kInput, 5));
  EXPECT_FALSE(config.Choose(CZelGpioConfig::kInput, 5));  // unchanged
  EXPECT_FALSE(config.Choose(CZelGpioConfig::kInput, 6));  // not offered
  EXPECT_TRUE(config.Choose(CZelGpioConfig::kOutput, 4));
  EXPECT_TRUE(config.Choose(CZelGpioConfig::kAuxRelay, 1));
  EXPECT_FALSE(config.Choose(CZelGpioConfig::kAuxRelay, 2));
  EXPECT_EQ(config.Byte(), 0x65);
  EXPECT_EQ(config.GetGpioInputText(), "VCA Mode");
  EXPECT_EQ(config.GetGpioOutputText(), "Load Monitor Alarm");
  EXPECT_EQ(config.GetAuxRelayText(), "Follows GP Out");
}

TEST(ZelGpioConfigTest, AValueBeyondItsListShowsNoText) {
  const CZelGpioConfig config = CZelGpioConfig::FromByte(0x3F);
  EXPECT_EQ(config.GetGpioInputText(), "");
  EXPECT_EQ(config.GetGpioOutputText(), "");
  EXPECT_EQ(config.GetAuxRelayText(), "Inverted GP Out");
}

}  // namespace
