// Read-back of typed text in a grid row's value type, the refusal of text that is no value of
// it (in the grid and the property list), and the row's new-value test.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "core/model/DeviceProperty.h"
#include "core/model/PropertyList.h"

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

// Text that is no value of the row's type, with the refusal it gets; text that is one gets none.
struct RefusalCase {
  T type;
  const char* text;
  const char* refusal;
};

class TypedTextRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TypedTextRefusal, OnlyTheWholeTextAsANumberTheTypeHoldsIsTaken) {
  const RefusalCase& c = GetParam();
  EXPECT_EQ(PropertyTextRefusal(c.type, c.text), c.refusal) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TypedTextRefusal,
    ::testing::Values(
        // Integers: letters, a number with more after it, a fraction and nothing are no number.
        RefusalCase{T::I4, "abc", "\"abc\" is not a number"},
        RefusalCase{T::I4, "ten", "\"ten\" is not a number"},
        RefusalCase{T::UI4, "12abc", "\"12abc\" is not a number"},
        RefusalCase{T::I4, "12.5", "\"12.5\" is not a whole number"},
        RefusalCase{T::I4, "1e3", "\"1e3\" is not a whole number"},
        RefusalCase{T::I4, "", "Enter a number"},
        RefusalCase{T::I4, "  ", "Enter a number"},
        RefusalCase{T::I2, "-", "\"-\" is not a number"},
        RefusalCase{T::I4, "1 2", "\"1 2\" is not a number"},
        RefusalCase{T::I4, "0x10", "\"0x10\" is not a number"},
        RefusalCase{T::I4, "abcdefghijklmnopqrstuvwxyz", "\"abcdefghijklmnopqrstuvwx...\" is not a number"},
        // Beyond the word, read signed or unsigned: never wrapped.
        RefusalCase{T::I4, "4294967308", "4294967308 is out of range"},
        RefusalCase{T::UI4, "4294967296", "4294967296 is out of range"},
        RefusalCase{T::I4, "-2147483649", "-2147483649 is out of range"},
        RefusalCase{T::I4, "99999999999999999999999", "99999999999999999999999 is out of range"},
        RefusalCase{T::I2, "65536", "65536 is out of range"},
        RefusalCase{T::UI2, "-32769", "-32769 is out of range"},
        // Taken: the word's numbers either way, blanks around them, a sign.
        RefusalCase{T::I4, " 42 ", ""},
        RefusalCase{T::I4, "+7", ""},
        RefusalCase{T::I4, "4294967295", ""},
        RefusalCase{T::I4, "-2147483648", ""},
        RefusalCase{T::UI4, "-1", ""},
        RefusalCase{T::I2, "65535", ""},
        RefusalCase{T::UI2, "-32768", ""},
        // Reals: the whole text a decimal number the type holds.
        RefusalCase{T::R4, "2k", "\"2k\" is not a number"},
        RefusalCase{T::R8, "-2.5e2dB", "\"-2.5e2dB\" is not a number"},
        RefusalCase{T::R4, ".", "\".\" is not a number"},
        RefusalCase{T::R8, "3e", "\"3e\" is not a number"},
        RefusalCase{T::R4, "nan", "\"nan\" is not a number"},
        RefusalCase{T::R4, "", "Enter a number"},
        RefusalCase{T::R4, "1e39", "1e39 is out of range"},
        RefusalCase{T::R8, "1e309", "1e309 is out of range"},
        RefusalCase{T::R4, " 1.5 ", ""},
        RefusalCase{T::R8, "+.5", ""},
        RefusalCase{T::R8, "-2.5e2", ""},
        RefusalCase{T::R4, "5.", ""},
        // Other types take any text.
        RefusalCase{T::Text, "abc", ""},
        RefusalCase{T::Bool, "maybe", ""},
        RefusalCase{T::UI1, "", ""},
        RefusalCase{T::Other, "x", ""}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::to_string(info.index); });

// A row refuses its editor's text only when it is no value and not the text the row shows.
TEST(PropertyRow, TheEditorsTextIsRefusedOnlyWhenItIsNoValueOfTheRow) {
  CDeviceProperty id("ID", CDeviceProperty::Value(std::int64_t(3)), "");
  EXPECT_EQ(id.GetEditRefusal(), "");  // no editor open
  id.SetEditText("abc");
  EXPECT_EQ(id.GetEditRefusal(), "\"abc\" is not a number");
  id.SetEditText("4294967308");
  EXPECT_EQ(id.GetEditRefusal(), "4294967308 is out of range");
  id.SetEditText("63");
  EXPECT_EQ(id.GetEditRefusal(), "");
  CDeviceProperty name("Name", CDeviceProperty::Value(std::string("Stage")), "");
  name.SetEditText("abc");
  EXPECT_EQ(name.GetEditRefusal(), "");
  // A value shown as the row has it is never refused, whatever it reads as.
  CDeviceProperty ohms("Ohms", CDeviceProperty::Value(std::numeric_limits<float>::infinity()), "");
  ohms.SetEditText(ohms.GetValueText());
  EXPECT_EQ(ohms.GetEditRefusal(), "");
}

// The property list takes a number row's value only as a number: text, whatever it reads as,
// is refused and never reaches the owner, so nothing typed is read as 0 or wrapped.
TEST(PropertyListText, ANumberRowRefusesTextAndTakesANumber) {
  std::vector<std::int64_t> committed;
  const FillRowsFn fill = [](IDevicePropertyGrid& grid) {
    auto group = std::make_unique<CDevicePropertyGroup>("General");
    group->Add(std::make_unique<CDeviceProperty>("ID", CDeviceProperty::Value(std::int64_t(1)), "", 60));
    grid.AddGroup(std::move(group));
  };
  const CommitRowFn commit = [&](CDeviceProperty& row) {
    committed.push_back(row.GetNumber());
    return true;
  };
  for (const char* text : {"abc", "4294967297", "9x", " 9 "}) {
    CNamedPropertyValue value;
    value.propertyId = 60;
    value.SetString(text);
    EXPECT_FALSE(ValidatePropertyList(fill, commit, CListForm{}, value)) << text;
  }
  EXPECT_TRUE(committed.empty());
  CNamedPropertyValue number;
  number.propertyId = 60;
  number.SetNumber(9);
  EXPECT_TRUE(ValidatePropertyList(fill, commit, CListForm{}, number));
  EXPECT_EQ(committed, std::vector<std::int64_t>{9});
}

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
