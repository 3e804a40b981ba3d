#include "contract/decimal.h"

#include <gtest/gtest.h>

namespace tindrel {
namespace {

TEST(Decimal, KeepsDigitsExactly) {
  EXPECT_EQ(XsDecimal::Parse("110.9")->Text(), "110.9");
  // More digits than a double holds survive unchanged.
  EXPECT_EQ(XsDecimal::Parse("12345678901234567890.123456789012345")->Text(),
            "12345678901234567890.123456789012345");
  EXPECT_EQ(XsDecimal::Parse("+007.500")->Text(), "7.5");
  EXPECT_EQ(XsDecimal::Parse("-0.000")->Text(), "0");
  EXPECT_EQ(XsDecimal::Parse(".5")->Text(), "0.5");
  EXPECT_EQ(XsDecimal::Parse("5.")->Text(), "5");
}

TEST(Decimal, TruncatesTowardZeroIntoInt32) {
  EXPECT_EQ(XsDecimal::Parse("110.9")->TruncatedInt32(), 110);
  EXPECT_EQ(XsDecimal::Parse("-110.9")->TruncatedInt32(), -110);
  EXPECT_EQ(XsDecimal::Parse("0.99")->TruncatedInt32(), 0);
  EXPECT_EQ(XsDecimal::Parse("2147483647.9")->TruncatedInt32(), 2147483647);
  EXPECT_EQ(XsDecimal::Parse("-2147483648.5")->TruncatedInt32(), -2147483647 - 1);
  EXPECT_FALSE(XsDecimal::Parse("2147483648")->TruncatedInt32().has_value());
  EXPECT_FALSE(XsDecimal::Parse("99999999999999999999")->TruncatedInt32().has_value());
}

TEST(Decimal, MalformedTextIsRefused) {
  for (const char* bad : {"", ".", "-", "+.", "1e5", "1,5", " 1", "1 ", "0x10", "1.2.3", "--1", "NaN"})
    EXPECT_FALSE(XsDecimal::Parse(bad).has_value()) << bad;
}

}  // namespace
}  // namespace tindrel
