#include "contract/datetime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace tindrel {
namespace {

// Central European rules, simplified to fixed dates: summer time (+02:00)
// from 1 April to 1 October, +01:00 otherwise. Enough to see that the offset
// is taken at the instant being converted, not "now".
class SummerZone final : public ITimeZone {
 public:
  int OffsetAtUtc(int64_t utc) const override { return InSummer(FromEpochSeconds(utc)) ? 120 : 60; }
  int OffsetAtLocal(int64_t local) const override {
    return InSummer(FromEpochSeconds(local)) ? 120 : 60;
  }

 private:
  static bool InSummer(const LocalDateTime& t) { return t.month >= 4 && t.month < 10; }
};

}  // namespace

void PrintTo(const LocalDateTime& t, std::ostream* os) {
  *os << t.year << '-' << t.month << '-' << t.day << ' ' << t.hour << ':' << t.minute << ':'
      << t.second << '.' << t.millisecond;
}

namespace {

LocalDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return LocalDateTime{y, mo, d, h, mi, s, ms};
}

XsDateTime Dt(const char* text) {
  auto v = XsDateTime::Parse(text);
  EXPECT_TRUE(v.has_value()) << text;
  return *v;
}

TEST(DateTime, TextWithoutOffsetCountsAsUtc) {
  // 2019-03-01T00:00:00 reads as 01:00 one hour east of UTC.
  EXPECT_EQ(Dt("2019-03-01T00:00:00").AsLocal(FixedTimeZone(60)), At(2019, 3, 1, 1));
  EXPECT_EQ(Dt("2019-03-01T00:00:00").AsLocal(FixedTimeZone(-300)), At(2019, 2, 28, 19));
  EXPECT_EQ(Dt("2019-03-01T00:00:00Z").AsLocal(FixedTimeZone(0)), At(2019, 3, 1));
}

TEST(DateTime, WrittenOffsetIsRemovedAndMachineOffsetAdded) {
  EXPECT_EQ(Dt("2019-03-01T00:30:00+01:00").AsLocal(FixedTimeZone(0)), At(2019, 2, 28, 23, 30));
  EXPECT_EQ(Dt("2019-12-31T23:00:00-05:30").AsLocal(FixedTimeZone(60)), At(2020, 1, 1, 5, 30));
  // Fractions are dropped, up to seven digits as the service sends them.
  EXPECT_EQ(Dt("2020-02-29T12:34:56.9999999+02:00").AsLocal(FixedTimeZone(120)),
            At(2020, 2, 29, 12, 34, 56));
}

TEST(DateTime, MachineOffsetIsTheOneInForceAtThatInstant) {
  SummerZone zone;
  EXPECT_EQ(Dt("2019-07-01T10:00:00Z").AsLocal(zone), At(2019, 7, 1, 12));
  EXPECT_EQ(Dt("2019-01-01T10:00:00Z").AsLocal(zone), At(2019, 1, 1, 11));
}

TEST(DateTime, YearIsAsWritten) {
  EXPECT_EQ(Dt("1999-12-31T23:30:00-05:00").Year(), 1999);
  EXPECT_EQ(Dt("2000-01-01T00:30:00+01:00").Year(), 2000);
  EXPECT_EQ(Dt("1900-01-01T00:00:00").Year(), 1900);
}

TEST(DateTime, SetFromLocalWritesMillisecondsAndOffset) {
  EXPECT_EQ(XsDateTime::FromLocal(At(2024, 5, 6, 7, 8, 9, 12), FixedTimeZone(120))->Text(),
            "2024-05-06T07:08:09.012+02:00");
  EXPECT_EQ(XsDateTime::FromLocal(At(2024, 5, 6, 7, 8, 9), FixedTimeZone(0))->Text(),
            "2024-05-06T07:08:09.000Z");
  EXPECT_EQ(XsDateTime::FromLocal(At(2024, 1, 2, 3, 4, 5, 600), FixedTimeZone(-570))->Text(),
            "2024-01-02T03:04:05.600-09:30");
  SummerZone zone;
  EXPECT_EQ(XsDateTime::FromLocal(At(2024, 6, 1, 12), zone)->Text(),
            "2024-06-01T12:00:00.000+02:00");
  EXPECT_EQ(XsDateTime::FromLocal(At(2024, 12, 1, 12), zone)->Text(),
            "2024-12-01T12:00:00.000+01:00");
}

TEST(DateTime, SetThenReadGivesTheSameLocalTime) {
  SummerZone zone;
  for (const LocalDateTime& t : {At(2021, 3, 30, 23, 59, 59), At(2021, 4, 2, 0, 0, 1),
                                 At(1970, 1, 1), At(2038, 1, 19, 3, 14, 8)}) {
    EXPECT_EQ(XsDateTime::FromLocal(t, zone)->AsLocal(zone), t);
  }
}

TEST(DateTime, AutomationDateCountsDaysSince18991230) {
  EXPECT_DOUBLE_EQ(ToAutomationDate(At(1899, 12, 30)), 0.0);
  EXPECT_DOUBLE_EQ(ToAutomationDate(At(1900, 1, 1)), 2.0);
  EXPECT_DOUBLE_EQ(ToAutomationDate(At(2019, 3, 1, 6)), 43525.25);
  // Before the epoch the fraction still counts forward from midnight.
  EXPECT_DOUBLE_EQ(ToAutomationDate(At(1899, 12, 29, 6)), -1.25);
  EXPECT_DOUBLE_EQ(Dt("2019-03-01T00:00:00").AsAutomationDate(FixedTimeZone(60)),
                   43525.0 + 1.0 / 24);
}

TEST(DateTime, MalformedTextIsRefused) {
  for (const char* bad :
       {"", "2019-03-01", "2019-3-01T00:00:00", "2019-02-29T00:00:00", "2019-13-01T00:00:00",
        "2019-03-01T24:00:00", "2019-03-01T00:60:00", "2019-03-01T00:00:00.", "2019-03-01T00:00:00+1:00",
        "2019-03-01T00:00:00+15:00", "2019-03-01T00:00:00 ", " 2019-03-01T00:00:00",
        "2019-03-01T00:00:00ZZ", "02019-03-01T00:00:00", "20a9-03-01T00:00:00",
        "9999999-01-01T00:00:00"}) {
    EXPECT_FALSE(XsDateTime::Parse(bad).has_value()) << bad;
  }
  EXPECT_TRUE(XsDateTime::Parse("2020-02-29T00:00:00").has_value());
  EXPECT_TRUE(XsDateTime::Parse("12020-02-29T00:00:00-14:00").has_value());
}

TEST(DateTime, CivilDayArithmeticRoundTripsOverCenturies) {
  for (int64_t d = -800000; d <= 800000; d += 997) {
    int y, m, day;
    CivilFromDays(d, y, m, day);
    ASSERT_EQ(DaysFromCivil(y, m, day), d);
  }
}

#ifndef _WIN32
// The native machine zone follows TZ, daylight saving included.
TEST(DateTime, SystemZoneFollowsTheCLibraryZone) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  const ITimeZone& zone = SystemTimeZone();
  EXPECT_EQ(Dt("2019-03-01T00:00:00").AsLocal(zone), At(2019, 3, 1, 1));
  EXPECT_EQ(Dt("2019-07-01T00:00:00").AsLocal(zone), At(2019, 7, 1, 2));
  EXPECT_EQ(XsDateTime::FromLocal(At(2019, 7, 1, 12), zone)->Text(),
            "2019-07-01T12:00:00.000+02:00");
  if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
}
#endif

}  // namespace
}  // namespace tindrel
