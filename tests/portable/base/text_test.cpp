#include "base/text.h"

#include <gtest/gtest.h>

namespace tindrel {
namespace {

TEST(Text, Latin1AndUtf8) {
  EXPECT_EQ(Latin1ToUtf8("\xE6\xF8\xE5\xC6\xD8\xC5"), "æøåÆØÅ");
  EXPECT_EQ(Utf8ToLatin1("Bjørn Ås"), "Bj\xF8rn \xC5s");
  // Outside ISO 8859-1: one '?' per character, not per byte.
  EXPECT_EQ(Utf8ToLatin1("a€b😀c"), "a?b?c");
}

TEST(Text, Utf16RoundTripAndBrokenInput) {
  const std::string s = "¤Ås😀";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
  EXPECT_EQ(Utf8ToUtf16("😀").size(), 2u);
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\xFFFD");          // cut sequence
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\xFFFD\xFFFD");  // overlong
}

TEST(Text, TrimCutsBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(std::string_view(" \t\x01 AB 12\r\n")), "AB 12");
  EXPECT_EQ(Trim(std::string_view(" \t ")), "");
  // Latin-1 letters are not control characters.
  EXPECT_EQ(Trim(std::string_view("\xE5 ")), "\xE5");
}

TEST(Text, ParseInt32) {
  EXPECT_EQ(ParseInt32("00123"), 123);
  EXPECT_EQ(ParseInt32("-5"), -5);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", " ", "12a", "2147483648", "-2147483649", "1 ", "+-5", "-",
                          "99999999999999999999999"})
    EXPECT_FALSE(ParseInt32(bad).has_value()) << bad;
}

}  // namespace
}  // namespace tindrel
