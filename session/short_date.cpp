#include "session/short_date.h"

#include <cstdio>
#include <vector>

#include "contract/datetime.h"

namespace tindrel {
namespace {

struct Token {
  char letter;   // 'd', 'M', 'y', or 0 for literal text
  size_t count;  // repetitions of the letter
  std::string_view literal;
};

std::vector<Token> Tokenize(std::string_view pattern) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '\'') {
      const size_t close = pattern.find('\'', i + 1);
      const size_t end = close == pattern.npos ? pattern.size() : close;
      out.push_back({0, 0, pattern.substr(i + 1, end - i - 1)});
      i = close == pattern.npos ? end : close + 1;
    } else if (c == 'd' || c == 'M' || c == 'y') {
      size_t n = 1;
      while (i + n < pattern.size() && pattern[i + n] == c) ++n;
      out.push_back({c, n, {}});
      i += n;
    } else {
      out.push_back({0, 0, pattern.substr(i, 1)});
      ++i;
    }
  }
  return out;
}

bool ValidDate(const CalendarDate& d) {
  if (d.year < 1 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
  int y = 0, m = 0, day = 0;
  CivilFromDays(DaysFromCivil(d.year, d.month, d.day), y, m, day);
  return y == d.year && m == d.month && day == d.day;
}

}  // namespace

std::string FormatDateWithPattern(const CalendarDate& date, std::string_view pattern) {
  std::string out;
  char buf[16];
  for (const Token& t : Tokenize(pattern)) {
    switch (t.letter) {
      case 'd':
        std::snprintf(buf, sizeof buf, t.count >= 2 ? "%02d" : "%d", date.day);
        out += buf;
        break;
      case 'M':
        std::snprintf(buf, sizeof buf, t.count >= 2 ? "%02d" : "%d", date.month);
        out += buf;
        break;
      case 'y':
        if (t.count <= 2)
          std::snprintf(buf, sizeof buf, "%02d", date.year % 100);
        else
          std::snprintf(buf, sizeof buf, "%04d", date.year);
        out += buf;
        break;
      default:
        out += t.literal;
    }
  }
  return out;
}

std::optional<CalendarDate> ParseDateWithPattern(std::string_view text, std::string_view pattern) {
  std::vector<char> order;
  for (const Token& t : Tokenize(pattern)) {
    if (t.letter == 0) continue;
    // A day of the week ("ddd", "dddd") is not part of the date's value.
    if (t.letter == 'd' && t.count > 2) continue;
    if (t.letter == 'M' && t.count > 2) return std::nullopt;
    for (char seen : order)
      if (seen == t.letter) return std::nullopt;
    order.push_back(t.letter);
  }
  if (order.size() != 3) return std::nullopt;

  std::vector<int> numbers;
  size_t i = 0;
  while (i < text.size() && numbers.size() < 3) {
    if (text[i] < '0' || text[i] > '9') {
      ++i;
      continue;
    }
    int value = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (++digits > 4) return std::nullopt;
      value = value * 10 + (text[i] - '0');
      ++i;
    }
    numbers.push_back(value);
  }
  if (numbers.size() != 3) return std::nullopt;

  CalendarDate date;
  for (size_t k = 0; k < 3; ++k) {
    switch (order[k]) {
      case 'd': date.day = numbers[k]; break;
      case 'M': date.month = numbers[k]; break;
      default: date.year = numbers[k]; break;
    }
  }
  if (date.year < 100) date.year += date.year < 50 ? 2000 : 1900;
  if (!ValidDate(date)) return std::nullopt;
  return date;
}

}  // namespace tindrel
