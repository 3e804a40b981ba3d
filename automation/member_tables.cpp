#include "automation/member_tables.h"

#include <string>

namespace tindrel {

AutoValue ReadMember(const MemberRow& row, const Record* held, const ReadContext& context) {
  if (row.kind == MemberKind::Method)
    throw std::logic_error("member " + std::string(row.name) + " is a method");
  if (!held || row.source == Source::Nothing) return EmptyValue(row.type);
  if (row.source == Source::Computed) return row.compute(*held, context);
  const Record* record = row.sub == kHeld ? held : held->GetRecord(row.sub);
  if (!record) return EmptyValue(row.type);
  const size_t f = row.field;
  switch (row.source) {
    case Source::Text: return record->GetString(f);
    case Source::Int32Field: return record->GetInt32(f);
    case Source::Int16Field: return record->GetInt16(f);
    case Source::Low16: return Low16(record->GetInt32(f));
    case Source::Flag: return AutomationBool(record->GetBool(f));
    case Source::DateTime: return AutomationDate(record->GetDateTime(f), context.zone);
    case Source::DateTimeAfter1900: {
      const XsDateTime* date = record->GetDateTime(f);
      if (!date || date->Year() <= 1900) return 0.0;
      return AutomationDate(date, context.zone);
    }
    case Source::YearOf: return DateYear(record->GetDateTime(f));
    case Source::Truncated: return TruncatedDecimal(record->GetDecimal(f), row.name);
    case Source::NumberText: return CustomerNumberFromText(record->GetString(f));
    case Source::Nothing:
    case Source::Computed: break;
  }
  return EmptyValue(row.type);
}

const MemberRow* FindMember(std::span<const MemberRow> table, int dispid) {
  for (const MemberRow& row : table)
    if (row.dispid == dispid) return &row;
  return nullptr;
}

AutoValue VehiclePayload(const Record& record, const ReadContext&) {
  const auto& vehicle = static_cast<const Tindrel2VehicleData2&>(record);
  // Signed 32-bit arithmetic that wraps like the old program's instead of
  // overflowing; a negative payload is handed on as it is.
  const int64_t payload = int64_t{vehicle.WeightTotalMax()} - vehicle.Weight() - 75;
  return static_cast<int32_t>(static_cast<uint32_t>(payload));
}

AutoValue DownloadedToday(const Record&, const ReadContext& context) {
  return AutomationToday(context.clock);
}

AutoValue CustomerType(const Record& record, const ReadContext&) {
  const auto& customer = static_cast<const Tindrel2CustomerData2&>(record);
  return int16_t{customer.IsCompany() ? int16_t{1} : int16_t{2}};
}

}  // namespace tindrel
