// Short dates written by the system's conversion and read back by pattern.
#include <gtest/gtest.h>

#include "session/short_date.h"

namespace tindrel {
namespace {

TEST(ShortDate, FormatsAndReadsBackInTheUsualPatterns) {
  const CalendarDate date{2030, 3, 7};
  struct Case {
    const char* pattern;
    const char* text;
  };
  for (const Case& c : {Case{"dd.MM.yyyy", "07.03.2030"}, Case{"M/d/yyyy", "3/7/2030"},
                        Case{"yyyy-MM-dd", "2030-03-07"}, Case{"d/M/yy", "7/3/30"},
                        Case{"dd.MM.yyyy' г.'", "07.03.2030 г."}}) {
    EXPECT_EQ(FormatDateWithPattern(date, c.pattern), c.text) << c.pattern;
    EXPECT_EQ(ParseDateWithPattern(c.text, c.pattern), date) << c.pattern;
  }
}

TEST(ShortDate, ReadsDigitsWhateverSeparatesThem) {
  EXPECT_EQ(ParseDateWithPattern("7-3-2030", "dd.MM.yyyy"), (CalendarDate{2030, 3, 7}));
  EXPECT_EQ(ParseDateWithPattern("1/2/99", "M/d/yy"), (CalendarDate{1999, 1, 2}));
  EXPECT_EQ(ParseDateWithPattern("1/2/49", "M/d/yy"), (CalendarDate{2049, 1, 2}));
}

TEST(ShortDate, RefusesWhatIsNotADate) {
  for (const char* text : {"", "31.12", "29.02.2031", "00.01.2030", "1.13.2030", "abc",
                           "01.01.20300"})
    EXPECT_FALSE(ParseDateWithPattern(text, "dd.MM.yyyy")) << text;
  EXPECT_EQ(ParseDateWithPattern("29.02.2032", "dd.MM.yyyy"), (CalendarDate{2032, 2, 29}));
  // Patterns without all three parts, or with the month as a name.
  EXPECT_FALSE(ParseDateWithPattern("07.03", "dd.MM"));
  EXPECT_FALSE(ParseDateWithPattern("07 Mar 2030", "dd MMM yyyy"));
}

}  // namespace
}  // namespace tindrel
