#include "contract/datetime.h"

#include <cmath>
#include <cstdio>

namespace tindrel {

int64_t DaysFromCivil(int year, int month, int day) {
  // Proleptic Gregorian, after H. Hinnant's days_from_civil.
  const int64_t y = static_cast<int64_t>(year) - (month <= 2);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int64_t ToEpochSeconds(const LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 +
         t.minute * 60 + t.second;
}

LocalDateTime FromEpochSeconds(int64_t s) {
  int64_t days = s / 86400;
  int64_t rest = s % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  LocalDateTime t;
  CivilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  t.millisecond = 0;
  return t;
}

double ToAutomationDate(const LocalDateTime& t) {
  const int64_t days = DaysFromCivil(t.year, t.month, t.day) - DaysFromCivil(1899, 12, 30);
  const double fraction =
      (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.millisecond) /
      86400000.0;
  return days >= 0 ? static_cast<double>(days) + fraction
                   : static_cast<double>(days) - fraction;
}

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads exactly n digits at s[i].
bool Digits(std::string_view s, size_t& i, size_t n, int& out) {
  if (i + n > s.size()) return false;
  int v = 0;
  for (size_t k = 0; k < n; ++k) {
    const char c = s[i + k];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  i += n;
  out = v;
  return true;
}

bool Expect(std::string_view s, size_t& i, char c) {
  if (i >= s.size() || s[i] != c) return false;
  ++i;
  return true;
}

std::optional<XsDateTime::Parts> ParseParts(std::string_view s) {
  XsDateTime::Parts p;
  size_t i = 0;
  const bool negative = i < s.size() && s[i] == '-';
  if (negative) ++i;
  size_t yearDigits = 0;
  while (i + yearDigits < s.size() && s[i + yearDigits] >= '0' && s[i + yearDigits] <= '9')
    ++yearDigits;
  if (yearDigits < 4 || yearDigits > 6) return std::nullopt;
  if (yearDigits > 4 && s[i] == '0') return std::nullopt;
  int year = 0;
  if (!Digits(s, i, yearDigits, year)) return std::nullopt;
  p.wall.year = negative ? -year : year;
  if (!Expect(s, i, '-') || !Digits(s, i, 2, p.wall.month) || !Expect(s, i, '-') ||
      !Digits(s, i, 2, p.wall.day) || !Expect(s, i, 'T') || !Digits(s, i, 2, p.wall.hour) ||
      !Expect(s, i, ':') || !Digits(s, i, 2, p.wall.minute) || !Expect(s, i, ':') ||
      !Digits(s, i, 2, p.wall.second))
    return std::nullopt;
  if (p.wall.month < 1 || p.wall.month > 12) return std::nullopt;
  if (p.wall.day < 1 || p.wall.day > DaysInMonth(p.wall.year, p.wall.month)) return std::nullopt;
  if (p.wall.hour > 23 || p.wall.minute > 59 || p.wall.second > 59) return std::nullopt;
  if (i < s.size() && s[i] == '.') {
    ++i;
    size_t n = 0;
    int ms = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (n < 3) ms = ms * 10 + (s[i] - '0');
      ++n, ++i;
    }
    if (n == 0) return std::nullopt;
    for (size_t k = n; k < 3; ++k) ms *= 10;
    p.wall.millisecond = ms;
  }
  if (i < s.size()) {
    if (s[i] == 'Z') {
      ++i;
      p.offsetMinutes = 0;
    } else if (s[i] == '+' || s[i] == '-') {
      const int sign = s[i] == '-' ? -1 : 1;
      ++i;
      int hh = 0, mm = 0;
      if (!Digits(s, i, 2, hh) || !Expect(s, i, ':') || !Digits(s, i, 2, mm)) return std::nullopt;
      if (hh > 14 || mm > 59 || (hh == 14 && mm != 0)) return std::nullopt;
      p.offsetMinutes = sign * (hh * 60 + mm);
    } else {
      return std::nullopt;
    }
  }
  if (i != s.size()) return std::nullopt;
  return p;
}

}  // namespace

std::optional<XsDateTime> XsDateTime::Parse(std::string_view text) {
  if (!ParseParts(text)) return std::nullopt;
  return XsDateTime(std::string(text));
}

std::unique_ptr<XsDateTime> XsDateTime::FromLocal(const LocalDateTime& local,
                                                  const ITimeZone& zone) {
  std::unique_ptr<XsDateTime> v(new XsDateTime(std::string()));
  v->SetFromLocal(local, zone);
  return v;
}

XsDateTime::Parts XsDateTime::Split() const {
  // The text was validated when it was stored.
  return *ParseParts(text_);
}

LocalDateTime XsDateTime::AsLocal(const ITimeZone& zone) const {
  const Parts p = Split();
  const int64_t utc = ToEpochSeconds(p.wall) - int64_t{p.offsetMinutes.value_or(0)} * 60;
  return FromEpochSeconds(utc + int64_t{zone.OffsetAtUtc(utc)} * 60);
}

int XsDateTime::Year() const { return Split().wall.year; }

void XsDateTime::SetFromLocal(const LocalDateTime& t, const ITimeZone& zone) {
  const int offset = zone.OffsetAtLocal(ToEpochSeconds(t));
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", t.year, t.month,
                        t.day, t.hour, t.minute, t.second, t.millisecond);
  if (offset == 0) {
    std::snprintf(buf + n, sizeof buf - n, "Z");
  } else {
    const int a = offset < 0 ? -offset : offset;
    std::snprintf(buf + n, sizeof buf - n, "%c%02d:%02d", offset < 0 ? '-' : '+', a / 60, a % 60);
  }
  text_ = buf;
}

double XsDateTime::AsAutomationDate(const ITimeZone& zone) const {
  return ToAutomationDate(AsLocal(zone));
}

}  // namespace tindrel
