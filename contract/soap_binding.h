#pragma once
// The wire form of ITindrel2Service: SOAP 1.1, document/literal, wrapped.
// Requests are written from the record descriptors, replies are read back
// into new records through them; no field has XML code of its own.
//
// Request: Envelope/Body/<Operation xmlns=target> holding the parameters in
// order. A plain parameter is an element in the target namespace with the
// text; a record parameter is an element in the target namespace whose
// children are the record's flagged fields, in field order, in the record
// type's namespace (nested records the same way).
//
// Reply: Envelope/Body/<Operation>Response/<Result> (both in the target
// namespace), or a SOAP Fault.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "contract/records.h"
#include "contract/service.h"
#include "contract/service_operations.h"

namespace tindrel::soap {

inline constexpr std::string_view kTargetNamespace = "http://tempuri.org/";
inline constexpr std::string_view kActionPrefix = "http://tempuri.org/ITindrel2Service/";
inline constexpr std::string_view kContractsNamespace =
    "http://schemas.datacontract.org/2004/07/ORV.Services.Tindrel2.Contracts";
inline constexpr std::string_view kSecurityNamespace =
    "http://schemas.datacontract.org/2004/07/ORV.Services.Security";
inline constexpr std::string_view kEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr std::string_view kContentType = "text/xml; charset=utf-8";

// The largest reply body read; a larger one is refused, not truncated.
inline constexpr size_t kMaxReplyBytes = 16 * 1024 * 1024;
// The most records a list reply may hold. Real answers (a workshop's
// customers, a vehicle's approvals) stay far below; a longer list is refused
// as unreadable rather than filling the 32-bit process with records.
inline constexpr size_t kMaxReplyItems = 10000;

std::string_view NamespaceUri(XmlNamespace ns);

enum class ResultKind : uint8_t { Record, Array, String, Bool };

struct Operation {
  std::string_view name;           // GetVehicleData
  std::string_view resultElement;  // GetVehicleDataResult
  ResultKind kind;
  const RecordType* type;          // the record, or the array's item type
  std::string_view itemElement;    // arrays: Tindrel2CustomerData
  // The request's parameter elements in order, comma-separated:
  // "regNo, month, year, token".
  std::string_view parameters;
  // The service creates or changes data: such a request must reach the
  // service at most once per attempt (a transport may not resend it).
  bool changesData = false;
};

// One per row of contract/service_operations.h: kGetVehicleData, ...
#define TINDREL_DECLARE_OPERATION(Name, ...) extern const Operation k##Name;
TINDREL_SERVICE_OPERATIONS(TINDREL_DECLARE_OPERATION)
#undef TINDREL_DECLARE_OPERATION
#define TINDREL_COUNT_OPERATION(...) +1
inline constexpr size_t kOperationCount = 0 TINDREL_SERVICE_OPERATIONS(TINDREL_COUNT_OPERATION);
#undef TINDREL_COUNT_OPERATION
// All of them, in interface order.
extern const Operation* const kOperations[kOperationCount];

// The SOAPAction header value, quoted: "http://tempuri.org/ITindrel2Service/Op".
std::string QuotedSoapAction(const Operation& op);
// Whether the operation named by a quoted SOAPAction changes data (unknown
// actions count as changing, the safe side).
bool ActionChangesData(std::string_view quotedSoapAction);

// Appends a record element `name` (no prefix: it is in the namespace in scope,
// the target namespace for a parameter) with the record's flagged fields; a
// null record is written as a nil element. A flagged date-time, decimal or
// record field holding null is written nil when the field is nillable and
// left out when it is not (the service would refuse the whole request).
void AppendRecordElement(std::string& out, std::string_view name, const Record* record);

// Builds one request envelope.
class RequestWriter {
 public:
  explicit RequestWriter(const Operation& op);
  const Operation& Op() const { return op_; }
  void String(std::string_view name, std::string_view value);
  void Int32(std::string_view name, int32_t value);
  void Record(std::string_view name, const tindrel::Record* record);
  // The finished envelope; the writer is spent afterwards.
  std::string Finish();

 private:
  const Operation& op_;
  std::string out_;
};

// A reply read for one operation. Only the member that the operation's
// result kind names is filled.
struct Reply {
  std::unique_ptr<tindrel::Record> record;               // null: missing, nil or empty
  std::vector<std::unique_ptr<tindrel::Record>> items;   // nil items are skipped
  std::string text;
  bool flag = false;
};

// Reads a reply envelope. Throws RemoteFault (what() = faultstring) for a
// SOAP fault and ProtocolError ("Ugyldig svar fra tjenesten: ...") for
// anything the contract does not allow. Never returns a partial record.
Reply ReadReply(std::string_view body, const Operation& op);

// Judges one HTTP exchange: a fault in the body is a RemoteFault whatever the
// status; any other status than 2xx is a TransportError with the status in
// its text; a 2xx reply that is not XML, empty or too large is a
// ProtocolError.
Reply ReadHttpReply(const HttpReply& reply, const Operation& op);

// The ProtocolError for a reply larger than kMaxReplyBytes (transports that
// stop reading at the cap throw it too).
ProtocolError ReplyTooLarge();

}  // namespace tindrel::soap
