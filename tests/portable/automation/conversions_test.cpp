#include "automation/conversions.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace tindrel {
namespace {

TEST(Conversions, Low16WrapsLikeTheOldInterface) {
  EXPECT_EQ(Low16(70000), 4464);
  EXPECT_EQ(Low16(32768), -32768);
  EXPECT_EQ(Low16(-1), -1);
  EXPECT_EQ(Low16(-65536), 0);
  EXPECT_EQ(Low16(INT32_MIN), 0);
}

TEST(Conversions, DatesAndYears) {
  const FixedTimeZone oslo(60);
  EXPECT_EQ(AutomationDate(nullptr, oslo), 0.0);
  EXPECT_EQ(DateYear(nullptr), 0);
  const XsDateTime newYear = *XsDateTime::Parse("2019-12-31T23:30:00Z");
  // The date moves into the next day in UTC+1; the year is the one written.
  EXPECT_DOUBLE_EQ(AutomationDate(&newYear, oslo), 43831.0 + 0.5 / 24);
  EXPECT_EQ(DateYear(&newYear), 2019);
}

TEST(Conversions, DecimalsTruncateTowardZeroWithinRange) {
  auto d = [](const char* text) { return *XsDecimal::Parse(text); };
  EXPECT_EQ(TruncatedDecimal(nullptr, "Motorytelse"), 0);
  const XsDecimal values[] = {d("110.9"), d("-110.9"), d("0.99"), d("2147483647.9"),
                              d("-2147483648.5")};
  const int32_t expected[] = {110, -110, 0, INT32_MAX, INT32_MIN};
  for (size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(TruncatedDecimal(&values[i], "Motorytelse"), expected[i]) << values[i].Text();
  const XsDecimal huge = d("2147483648");
  try {
    TruncatedDecimal(&huge, "Motorytelse");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Motorytelse"), std::string::npos);
  }
}

TEST(Conversions, CustomerNumbersBetweenTextAndInteger) {
  EXPECT_EQ(CustomerNumberText(-5), "-5");
  EXPECT_EQ(CustomerNumberText(0), "0");
  EXPECT_EQ(CustomerNumberText(INT32_MIN), "-2147483648");
  EXPECT_EQ(CustomerNumberFromText(" 42"), 42);   // leading blanks are allowed
  EXPECT_EQ(CustomerNumberFromText("42 "), 0);    // trailing ones are not
  EXPECT_EQ(CustomerNumberFromText("\t42"), 0);
  EXPECT_EQ(CustomerNumberFromText("-2147483648"), INT32_MIN);
  EXPECT_EQ(CustomerNumberFromText("1e3"), 0);
  EXPECT_TRUE(IsBlank(" \t\r\n"));
  EXPECT_FALSE(IsBlank(" x "));
}

}  // namespace
}  // namespace tindrel
