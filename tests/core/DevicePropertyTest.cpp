// Read-back of typed text in a grid row's value type, and the row's new-value test.
#include <gtest/gtest.h>

#include <string>

#include "core/model/DeviceProperty.h"

namespace {

using T = EPropertyValueType;

struct ReadBackCase {
  T type;
  const char* text;
  std::int64_t integer;
  double real;
  bool flag;
};

class ReadBack : public ::testing::TestWithParam<ReadBackCase> {};

TEST_P(ReadBack, TextReadsAsTheRowTypeSays) {
  const ReadBackCase& c = GetParam();
  const CPropertyVariant v = ReadPropertyText(c.type, c.text);
  EXPECT_EQ(v.type, c.type);
  EXPECT_EQ(v.integer, c.integer) << c.text;
  EXPECT_DOUBLE_EQ(v.real, c.real) << c.text;
  EXPECT_EQ(v.flag, c.flag) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadBack,
    ::testing::Values(
        // Integers: blanks skipped, a sign, digits up to the first other character, cut to width.
        ReadBackCase{T::I2, "70000", 4464, 0, false}, ReadBackCase{T::I2, "-5x", -5, 0, false},
        ReadBackCase{T::I2, "  +12", 12, 0, false}, ReadBackCase{T::I2, "abc", 0, 0, false},
        ReadBackCase{T::I2, "32768", -32768, 0, false}, ReadBackCase{T::I4, "4294967297", 1, 0, false},
        ReadBackCase{T::I4, " -2147483648", -2147483648LL, 0, false}, ReadBackCase{T::I4, "", 0, 0, false},
        ReadBackCase{T::UI2, "-1", 65535, 0, false}, ReadBackCase{T::UI4, "-1", 4294967295LL, 0, false},
        ReadBackCase{T::UI4, "12 ID", 12, 0, false},
        // Reals: trimmed, the leading decimal number, nothing gives 0.
        ReadBackCase{T::R4, " 1.5 ", 0, 1.5, false}, ReadBackCase{T::R4, "letters", 0, 0.0, false},
        ReadBackCase{T::R4, "", 0, 0.0, false}, ReadBackCase{T::R4, "12abc", 0, 12.0, false},
        ReadBackCase{T::R4, "0.1", 0, double(0.1f), false}, ReadBackCase{T::R8, "0.1", 0, 0.1, false},
        ReadBackCase{T::R8, "-2.5e2dB", 0, -250.0, false}, ReadBackCase{T::R8, ".", 0, 0.0, false},
        ReadBackCase{T::R8, "+.5", 0, 0.5, false}, ReadBackCase{T::R8, "3e", 0, 3.0, false},
        // Bool: blanks at the right only; "True" exactly.
        ReadBackCase{T::Bool, "True", 0, 0, true}, ReadBackCase{T::Bool, "True  ", 0, 0, true},
        ReadBackCase{T::Bool, "true", 0, 0, false}, ReadBackCase{T::Bool, "TRUE", 0, 0, false},
        ReadBackCase{T::Bool, " True", 0, 0, false}, ReadBackCase{T::Bool, "False", 0, 0, false},
        // UI1: the first character's code, low 8 bits.
        ReadBackCase{T::UI1, "A", 65, 0, false}, ReadBackCase{T::UI1, "", 0, 0, false},
        ReadBackCase{T::UI1, "\xC4\x80", 0, 0, false}, ReadBackCase{T::Other, "12", 0, 0, false}),
    // Numbered: the cases hold pointers, which would make printed names differ from run to run.
    [](const ::testing::TestParamInfo<ReadBackCase>& info) { return std::to_string(info.index); });

TEST(ReadBackText, TextIsKeptExactlyAsTyped) {
  EXPECT_EQ(ReadPropertyText(T::Text, "  Stage Left ").text, "  Stage Left ");
}

TEST(PropertyRow, ValueTypeFollowsTheValueUnlessSet) {
  CDeviceProperty number("N", CDeviceProperty::Value(std::int64_t(5)), "");
  EXPECT_EQ(number.GetValueType(), T::I4);
  number.SetValueType(T::UI2);
  number.SetEditText("70000");
  EXPECT_EQ(number.GetValueAsVariant().integer, 4464);
  CDeviceProperty flag("F", CDeviceProperty::Value(true), "");
  EXPECT_EQ(flag.GetValueType(), T::Bool);
  EXPECT_EQ(flag.GetValueText(), "True");
  CDeviceProperty real("R", CDeviceProperty::Value(2.25f), "");
  EXPECT_EQ(real.GetValueType(), T::R4);
  EXPECT_EQ(real.GetValueText(), "2.25");
}

TEST(PropertyRow, HasNewValueComparesTheEditWithTheValueOrTakesAnyListChoice) {
  CDeviceProperty row("Level", CDeviceProperty::Value(std::int64_t(7)), "");
  EXPECT_FALSE(row.HasNewValue());  // no editor open
  row.SetEditText("7 ");
  EXPECT_FALSE(row.HasNewValue());
  row.SetEditText("8");
  EXPECT_TRUE(row.HasNewValue());

  CDeviceProperty list("Mode", CDeviceProperty::Value(std::string("A")), "");
  list.AddOption("A");
  list.AddOption("B");
  list.SetEditText("A");
  EXPECT_FALSE(list.HasNewValue());
  list.SetComboSelection(0);  // the current item chosen again
  EXPECT_TRUE(list.HasNewValue());
}

}  // namespace
