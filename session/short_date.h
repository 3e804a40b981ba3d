#pragma once
// Dates in a short date pattern of the Windows kind ("dd.MM.yyyy",
// "M/d/yyyy", "yyyy-MM-dd"): d, dd day; M, MM month; yy, yyyy year; text in
// single quotes and every other character is literal.

#include <optional>
#include <string>
#include <string_view>

#include "session/session_platform.h"

namespace tindrel {

std::string FormatDateWithPattern(const CalendarDate& date, std::string_view pattern);

// Reads the day, month and year in the order the pattern names them, as the
// first three runs of digits in `text`, whatever separates them. Two-digit
// years fall in 1950-2049. Nullopt when the pattern lacks one of the three
// parts (or spells the month as a name), when digits are missing or when the
// date does not exist.
std::optional<CalendarDate> ParseDateWithPattern(std::string_view text, std::string_view pattern);

}  // namespace tindrel
