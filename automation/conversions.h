#pragma once
// How record values become automation values, written once for every
// automation object. The COM layer turns these into BSTR, long, short,
// VARIANT_BOOL and DATE; nothing here knows about COM.
//
// Value types at this layer: text is UTF-8 std::string, int32 and int16 are
// themselves, bool is an int16 holding 1 or 0 (never the -1 of the automation
// convention, which old clients compare against 1), date is a double counting
// days since 1899-12-30.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "contract/datetime.h"
#include "contract/decimal.h"

namespace tindrel {

enum class AutoType : uint8_t { String, Int32, Int16, Bool, Date };

// A property value as the client receives it. Bool travels as the int16
// alternative; the member's AutoType tells the two apart.
using AutoValue = std::variant<std::string, int32_t, int16_t, double>;

// The empty value of a type: "", 0, false (0), date 0.
AutoValue EmptyValue(AutoType type);

// Typed views of a value, for callers that know the member's type (the
// behaviour tests). The COM layer does not use them: its members convert
// through ToCom (automation/win/com_values.h) of the type their list row names. Asking for another
// type than the member's throws std::bad_variant_access.
inline std::string TextValue(AutoValue v) { return std::get<std::string>(std::move(v)); }
inline int32_t Int32Value(const AutoValue& v) { return std::get<int32_t>(v); }
inline int16_t Int16Value(const AutoValue& v) { return std::get<int16_t>(v); }  // and bool
inline double DateValue(const AutoValue& v) { return std::get<double>(v); }

// The lower half of a 32-bit value as a signed 16-bit number (70000 -> 4464).
inline int16_t Low16(int32_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu));
}

// True as 1, false as 0.
inline int16_t AutomationBool(bool v) { return v ? 1 : 0; }

// The date-time as an automation date in `zone`; 0 when there is none.
double AutomationDate(const XsDateTime* value, const ITimeZone& zone);

// The year as written in the date-time, low 16 bits; 0 when there is none.
int16_t DateYear(const XsDateTime* value);

// The decimal truncated toward zero; 0 when there is none. A value outside
// the 32-bit range is refused with an Error naming `member`, rather than
// handing the client a wrapped number.
int32_t TruncatedDecimal(const XsDecimal* value, std::string_view member);

// True when nothing is left once spaces and control characters (every code
// up to U+0020) are cut from both ends.
bool IsBlank(std::string_view text);

// A customer number kept as text, read as an int32: 0 when the text is
// blank or is not a signed 32-bit decimal number (letters, trailing blanks,
// out of range). Leading spaces are allowed, as the text is not trimmed.
int32_t CustomerNumberFromText(std::string_view text);

// The decimal text of a customer number: "-" before negative numbers, no
// leading zeros.
std::string CustomerNumberText(int32_t number);

}  // namespace tindrel
