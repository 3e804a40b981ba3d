#include "automation/conversions.h"

#include "base/errors.h"
#include "base/text.h"

namespace tindrel {

AutoValue EmptyValue(AutoType type) {
  switch (type) {
    case AutoType::String: return std::string();
    case AutoType::Int32: return int32_t{0};
    case AutoType::Int16:
    case AutoType::Bool: return int16_t{0};
    case AutoType::Date: return 0.0;
  }
  return std::string();
}

double AutomationDate(const XsDateTime* value, const ITimeZone& zone) {
  return value ? value->AsAutomationDate(zone) : 0.0;
}

int16_t DateYear(const XsDateTime* value) { return value ? Low16(value->Year()) : int16_t{0}; }

int32_t TruncatedDecimal(const XsDecimal* value, std::string_view member) {
  if (!value) return 0;
  if (std::optional<int32_t> v = value->TruncatedInt32()) return *v;
  throw Error(std::string(member) + ": verdien " + value->Text() +
              " er utenfor gyldig tallområde");
}

bool IsBlank(std::string_view text) { return Trim(text).empty(); }

int32_t CustomerNumberFromText(std::string_view text) {
  if (IsBlank(text)) return 0;
  return ParseInt32(text).value_or(0);
}

std::string CustomerNumberText(int32_t number) { return std::to_string(number); }

}  // namespace tindrel
