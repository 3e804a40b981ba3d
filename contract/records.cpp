#include "contract/records.h"

#include <stdexcept>

namespace tindrel {

Record::Record(const RecordType& type) : type_(&type), has_(type.fields.size(), false) {
  values_.reserve(type.fields.size());
  for (const FieldInfo& f : type.fields) {
    switch (f.kind) {
      case FieldKind::String: values_.emplace_back(std::in_place_type<std::string>); break;
      case FieldKind::Int32: values_.emplace_back(std::in_place_type<int32_t>, 0); break;
      case FieldKind::Int16: values_.emplace_back(std::in_place_type<int16_t>, int16_t{0}); break;
      case FieldKind::Bool: values_.emplace_back(std::in_place_type<bool>, false); break;
      case FieldKind::DateTime:
        values_.emplace_back(std::in_place_type<std::unique_ptr<XsDateTime>>);
        break;
      case FieldKind::Decimal:
        values_.emplace_back(std::in_place_type<std::unique_ptr<XsDecimal>>);
        break;
      case FieldKind::Record:
        values_.emplace_back(std::in_place_type<std::unique_ptr<Record>>);
        break;
    }
  }
}

Record::~Record() = default;

const std::string& Record::GetString(size_t f) const { return std::get<std::string>(values_.at(f)); }
int32_t Record::GetInt32(size_t f) const { return std::get<int32_t>(values_.at(f)); }
int16_t Record::GetInt16(size_t f) const { return std::get<int16_t>(values_.at(f)); }
bool Record::GetBool(size_t f) const { return std::get<bool>(values_.at(f)); }
const XsDateTime* Record::GetDateTime(size_t f) const {
  return std::get<std::unique_ptr<XsDateTime>>(values_.at(f)).get();
}
const XsDecimal* Record::GetDecimal(size_t f) const {
  return std::get<std::unique_ptr<XsDecimal>>(values_.at(f)).get();
}
const Record* Record::GetRecord(size_t f) const {
  return std::get<std::unique_ptr<Record>>(values_.at(f)).get();
}
Record* Record::GetRecord(size_t f) { return std::get<std::unique_ptr<Record>>(values_.at(f)).get(); }

void Record::SetString(size_t f, std::string v) {
  std::get<std::string>(values_.at(f)) = std::move(v);
  has_[f] = true;
}
void Record::SetInt32(size_t f, int32_t v) {
  std::get<int32_t>(values_.at(f)) = v;
  has_[f] = true;
}
void Record::SetInt16(size_t f, int16_t v) {
  std::get<int16_t>(values_.at(f)) = v;
  has_[f] = true;
}
void Record::SetBool(size_t f, bool v) {
  std::get<bool>(values_.at(f)) = v;
  has_[f] = true;
}
void Record::SetDateTime(size_t f, std::unique_ptr<XsDateTime> v) {
  std::get<std::unique_ptr<XsDateTime>>(values_.at(f)) = std::move(v);
  has_[f] = true;
}
void Record::SetDecimal(size_t f, std::unique_ptr<XsDecimal> v) {
  std::get<std::unique_ptr<XsDecimal>>(values_.at(f)) = std::move(v);
  has_[f] = true;
}
void Record::SetRecord(size_t f, std::unique_ptr<Record> v) {
  auto& slot = std::get<std::unique_ptr<Record>>(values_.at(f));
  if (v && &v->Descriptor() != type_->fields[f].nested)
    throw std::logic_error("nested record of the wrong type");
  slot = std::move(v);
  has_[f] = true;
}

std::unique_ptr<Record> Record::CloneRecord() const {
  std::unique_ptr<Record> copy = type_->create();
  for (size_t f = 0; f < values_.size(); ++f) {
    if (!has_[f]) continue;
    switch (type_->fields[f].kind) {
      case FieldKind::String: copy->SetString(f, GetString(f)); break;
      case FieldKind::Int32: copy->SetInt32(f, GetInt32(f)); break;
      case FieldKind::Int16: copy->SetInt16(f, GetInt16(f)); break;
      case FieldKind::Bool: copy->SetBool(f, GetBool(f)); break;
      case FieldKind::DateTime: {
        const XsDateTime* v = GetDateTime(f);
        copy->SetDateTime(f, v ? std::make_unique<XsDateTime>(*v) : nullptr);
        break;
      }
      case FieldKind::Decimal: {
        const XsDecimal* v = GetDecimal(f);
        copy->SetDecimal(f, v ? std::make_unique<XsDecimal>(*v) : nullptr);
        break;
      }
      case FieldKind::Record: {
        const Record* v = GetRecord(f);
        copy->SetRecord(f, v ? v->CloneRecord() : nullptr);
        break;
      }
    }
  }
  return copy;
}

bool SameFields(const Record& a, const Record& b) {
  if (&a.Descriptor() != &b.Descriptor()) return false;
  for (size_t f = 0; f < a.FieldCount(); ++f) {
    if (a.Has(f) != b.Has(f)) return false;
    switch (a.Descriptor().fields[f].kind) {
      case FieldKind::String:
        if (a.GetString(f) != b.GetString(f)) return false;
        break;
      case FieldKind::Int32:
        if (a.GetInt32(f) != b.GetInt32(f)) return false;
        break;
      case FieldKind::Int16:
        if (a.GetInt16(f) != b.GetInt16(f)) return false;
        break;
      case FieldKind::Bool:
        if (a.GetBool(f) != b.GetBool(f)) return false;
        break;
      case FieldKind::DateTime: {
        const XsDateTime *x = a.GetDateTime(f), *y = b.GetDateTime(f);
        if (!x != !y || (x && x->Text() != y->Text())) return false;
        break;
      }
      case FieldKind::Decimal: {
        const XsDecimal *x = a.GetDecimal(f), *y = b.GetDecimal(f);
        if (!x != !y || (x && !(*x == *y))) return false;
        break;
      }
      case FieldKind::Record: {
        const Record *x = a.GetRecord(f), *y = b.GetRecord(f);
        if (!x != !y || (x && !SameFields(*x, *y))) return false;
        break;
      }
    }
  }
  return true;
}

#define TINDREL_NESTED_String(T) nullptr
#define TINDREL_NESTED_Int32(T) nullptr
#define TINDREL_NESTED_Int16(T) nullptr
#define TINDREL_NESTED_Bool(T) nullptr
#define TINDREL_NESTED_DateTime(T) nullptr
#define TINDREL_NESTED_Decimal(T) nullptr
#define TINDREL_NESTED_Record(T) &T::kDescriptor
#define TINDREL_FIELD_INFO(N, K, T, NIL) {#N, FieldKind::K, NIL, TINDREL_NESTED_##K(T)},

#define TINDREL_DEFINE_RECORD(Class, XmlName, Ns, FIELDS)                           \
  namespace {                                                                       \
  const FieldInfo k##Class##Fields[] = {FIELDS(TINDREL_FIELD_INFO)};                \
  std::unique_ptr<Record> Create##Class() { return std::make_unique<Class>(); }     \
  }                                                                                 \
  const RecordType Class::kDescriptor = {#Class, XmlName, XmlNamespace::Ns,               \
                                   k##Class##Fields, &Create##Class};               \
  static_assert(std::size(k##Class##Fields) == Class::kFieldCount);

TINDREL_DEFINE_RECORD(Tindrel2CustomerData2, "Tindrel2CustomerData", Contracts,
                      TINDREL_CUSTOMER_FIELDS)
TINDREL_DEFINE_RECORD(Tindrel2VehicleApprovalData2, "Tindrel2VehicleApprovalData", Contracts,
                      TINDREL_VEHICLE_APPROVAL_FIELDS)
TINDREL_DEFINE_RECORD(Tindrel2VehicleData2, "Tindrel2VehicleData", Contracts,
                      TINDREL_VEHICLE_FIELDS)
TINDREL_DEFINE_RECORD(Tindrel2InspectionData2, "Tindrel2InspectionData", Contracts,
                      TINDREL_INSPECTION_FIELDS)
TINDREL_DEFINE_RECORD(ORVSecurityToken2, "ORVSecurityToken", Security, TINDREL_TOKEN_FIELDS)

}  // namespace tindrel
