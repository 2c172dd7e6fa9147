// Formatting into strings: patterns filled as printf fills them, at any length.
#include <gtest/gtest.h>

#include <string>

#include "platform/TextFormat.h"

TEST(TextFormat, FillsPatternsAndKeepsTextsLongerThanTheFirstTry) {
  EXPECT_EQ(FormatText("Device ID %lld already in use", 17LL), "Device ID 17 already in use");
  EXPECT_EQ(FormatText("%s: %.2f %c%%", "Gain", -3.256, 'x'), "Gain: -3.26 x%");
  EXPECT_EQ(FormatText("%s", ""), "");
  const std::string name(700, 'n');
  const std::string text = FormatText("[%s] %d", name.c_str(), 42);
  EXPECT_EQ(text.size(), 705u);
  EXPECT_EQ(text, "[" + name + "] 42");
}
