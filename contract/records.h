#pragma once
// The service records: plain bags of typed fields, each with a has-value flag
// that its setter sets and nothing clears. The classes, their accessors and
// their descriptors are all expanded from the tables in record_fields.h.
//
// Ownership: a record owns its nested records, date-times and decimals
// (unique_ptr). Setting such a field destroys the value it replaces. A record
// returned by a service operation belongs to the caller.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "contract/datetime.h"
#include "contract/decimal.h"
#include "contract/record_fields.h"

namespace tindrel {

enum class FieldKind : uint8_t { String, Int32, Int16, Bool, DateTime, Decimal, Record };
enum class XmlNamespace : uint8_t { Contracts, Security };

class Record;
struct RecordType;

// One field of a record: element name, type, nillability; its index in the
// record's field list is its wire order.
struct FieldInfo {
  std::string_view name;
  FieldKind kind;
  bool nillable;
  const RecordType* nested;  // the nested record's type for FieldKind::Record
};

struct RecordType {
  std::string_view className;  // Tindrel2CustomerData2
  std::string_view xmlName;    // Tindrel2CustomerData: the data-contract name
  XmlNamespace ns;             // namespace of the field elements
  std::span<const FieldInfo> fields;
  std::unique_ptr<Record> (*create)();
};

// The generic face of every record, used by the XML binding and by code that
// walks fields. Misusing a field index or kind is a programming error and
// throws std::bad_variant_access / std::out_of_range.
class Record {
 public:
  virtual ~Record();
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  const RecordType& Descriptor() const { return *type_; }
  size_t FieldCount() const { return values_.size(); }
  bool Has(size_t field) const { return has_.at(field); }

  const std::string& GetString(size_t field) const;
  int32_t GetInt32(size_t field) const;
  int16_t GetInt16(size_t field) const;
  bool GetBool(size_t field) const;
  const XsDateTime* GetDateTime(size_t field) const;
  const XsDecimal* GetDecimal(size_t field) const;
  const Record* GetRecord(size_t field) const;
  Record* GetRecord(size_t field);

  void SetString(size_t field, std::string value);
  void SetInt32(size_t field, int32_t value);
  void SetInt16(size_t field, int16_t value);
  void SetBool(size_t field, bool value);
  void SetDateTime(size_t field, std::unique_ptr<XsDateTime> value);
  void SetDecimal(size_t field, std::unique_ptr<XsDecimal> value);
  // The nested record must be of the field's declared type.
  void SetRecord(size_t field, std::unique_ptr<Record> value);

  // A deep copy, flags included.
  std::unique_ptr<Record> CloneRecord() const;

 protected:
  explicit Record(const RecordType& type);

 private:
  using Value = std::variant<std::string, int32_t, int16_t, bool, std::unique_ptr<XsDateTime>,
                             std::unique_ptr<XsDecimal>, std::unique_ptr<Record>>;
  const RecordType* type_;
  std::vector<Value> values_;
  std::vector<bool> has_;
};

// Same flags and same values, nested records compared recursively.
bool SameFields(const Record& a, const Record& b);

#define TINDREL_FIELD_INDEX(N, K, T, NIL) k##N,

#define TINDREL_ACCESSORS_String(N, T)                           \
  const std::string& N() const { return GetString(k##N); }       \
  void Set##N(std::string v) { SetString(k##N, std::move(v)); }
#define TINDREL_ACCESSORS_Int32(N, T)                  \
  int32_t N() const { return GetInt32(k##N); }         \
  void Set##N(int32_t v) { SetInt32(k##N, v); }
#define TINDREL_ACCESSORS_Int16(N, T)                  \
  int16_t N() const { return GetInt16(k##N); }         \
  void Set##N(int16_t v) { SetInt16(k##N, v); }
#define TINDREL_ACCESSORS_Bool(N, T)                   \
  bool N() const { return GetBool(k##N); }             \
  void Set##N(bool v) { SetBool(k##N, v); }
#define TINDREL_ACCESSORS_DateTime(N, T)                                            \
  const XsDateTime* N() const { return GetDateTime(k##N); }                         \
  void Set##N(std::unique_ptr<XsDateTime> v) { SetDateTime(k##N, std::move(v)); }
#define TINDREL_ACCESSORS_Decimal(N, T)                                         \
  const XsDecimal* N() const { return GetDecimal(k##N); }                       \
  void Set##N(std::unique_ptr<XsDecimal> v) { SetDecimal(k##N, std::move(v)); }
#define TINDREL_ACCESSORS_Record(N, T)                                      \
  const T* N() const { return static_cast<const T*>(GetRecord(k##N)); }     \
  T* N() { return static_cast<T*>(GetRecord(k##N)); }                       \
  void Set##N(std::unique_ptr<T> v) { SetRecord(k##N, std::move(v)); }
#define TINDREL_ACCESSORS(N, K, T, NIL) \
  TINDREL_ACCESSORS_##K(N, T) bool Has##N() const { return Has(k##N); }

#define TINDREL_DECLARE_RECORD(Class, FIELDS)                                      \
  class Class final : public Record {                                              \
   public:                                                                         \
    enum Field : size_t { FIELDS(TINDREL_FIELD_INDEX) kFieldCount };               \
    static const RecordType kDescriptor;                                                 \
    Class() : Record(kDescriptor) {}                                                     \
    std::unique_ptr<Class> Clone() const {                                         \
      return std::unique_ptr<Class>(static_cast<Class*>(CloneRecord().release())); \
    }                                                                              \
    FIELDS(TINDREL_ACCESSORS)                                                      \
  };

// Declared so that a record's nested records are complete types before it.
TINDREL_DECLARE_RECORD(Tindrel2CustomerData2, TINDREL_CUSTOMER_FIELDS)
TINDREL_DECLARE_RECORD(Tindrel2VehicleApprovalData2, TINDREL_VEHICLE_APPROVAL_FIELDS)
TINDREL_DECLARE_RECORD(Tindrel2VehicleData2, TINDREL_VEHICLE_FIELDS)
TINDREL_DECLARE_RECORD(Tindrel2InspectionData2, TINDREL_INSPECTION_FIELDS)
TINDREL_DECLARE_RECORD(ORVSecurityToken2, TINDREL_TOKEN_FIELDS)

// An ordered list of records that owns them.
template <class T>
class RecordArray {
 public:
  using Item = T;
  size_t Length() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  T& operator[](size_t i) { return *items_.at(i); }
  const T& operator[](size_t i) const { return *items_.at(i); }
  void Append(std::unique_ptr<T> item) { items_.push_back(std::move(item)); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

class ArrayOfTindrel2CustomerData final : public RecordArray<Tindrel2CustomerData2> {
 public:
  static constexpr std::string_view kXmlName = "ArrayOfTindrel2CustomerData";
};

class ArrayOfTindrel2VehicleApprovalData final
    : public RecordArray<Tindrel2VehicleApprovalData2> {
 public:
  static constexpr std::string_view kXmlName = "ArrayOfTindrel2VehicleApprovalData";
};

}  // namespace tindrel
