// The SOAP reply reader on arbitrary bodies, for every operation (the first
// byte picks it). A failure must be a tindrel::Error. A record that was read,
// written with the binding's writer and read again must come back the same.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "contract/soap_binding.h"

namespace {

using namespace tindrel;

// Every value of a record used as the program uses it.
void Touch(const Record& r) {
  const FixedTimeZone zone(60);
  for (size_t f = 0; f < r.FieldCount(); ++f) {
    if (!r.Has(f)) continue;
    switch (r.Descriptor().fields[f].kind) {
      case FieldKind::DateTime:
        if (const XsDateTime* d = r.GetDateTime(f)) (void)d->AsAutomationDate(zone);
        break;
      case FieldKind::Decimal:
        if (const XsDecimal* d = r.GetDecimal(f)) (void)d->TruncatedInt32();
        break;
      case FieldKind::Record:
        if (const Record* n = r.GetRecord(f)) Touch(*n);
        break;
      default:
        break;
    }
  }
}

std::string Wrapped(const soap::Operation& op, const std::string& result) {
  return "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><" +
         std::string(op.name) + "Response xmlns=\"http://tempuri.org/\">" + result + "</" +
         std::string(op.name) + "Response></s:Body></s:Envelope>";
}

bool HasAnyField(const Record& r) {
  for (size_t f = 0; f < r.FieldCount(); ++f)
    if (r.Has(f)) return true;
  return false;
}

void CheckRoundTrip(const soap::Operation& op, const soap::Reply& reply) {
  std::string result;
  if (op.kind == soap::ResultKind::Record) {
    // An empty result element stands for no record, so only a record with
    // a field can come back as one.
    if (!reply.record || !HasAnyField(*reply.record)) return;
    soap::AppendRecordElement(result, op.resultElement, reply.record.get());
  } else if (op.kind == soap::ResultKind::Array) {
    if (reply.items.empty()) return;
    result = "<" + std::string(op.resultElement) + ">";
    for (const auto& item : reply.items)
      soap::AppendRecordElement(result, "a:" + std::string(op.itemElement), item.get());
    result += "</" + std::string(op.resultElement) + ">";
  } else {
    return;
  }
  const soap::Reply again = soap::ReadReply(Wrapped(op, result), op);
  if (op.kind == soap::ResultKind::Record) {
    if (!again.record || !SameFields(*again.record, *reply.record)) __builtin_trap();
    return;
  }
  if (again.items.size() != reply.items.size()) __builtin_trap();
  for (size_t i = 0; i < again.items.size(); ++i)
    if (!SameFields(*again.items[i], *reply.items[i])) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const soap::Operation& op = *soap::kOperations[data[0] % std::size(soap::kOperations)];
  const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
  soap::Reply reply;
  try {
    reply = soap::ReadReply(body, op);
  } catch (const Error&) {
    return 0;
  }
  if (reply.record) Touch(*reply.record);
  for (const auto& item : reply.items) Touch(*item);
  CheckRoundTrip(op, reply);
  return 0;
}
