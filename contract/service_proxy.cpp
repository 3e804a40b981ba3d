// The client proxy of ITindrel2Service: one request envelope per call, one
// synchronous POST through the transport, the reply read into new records.

#include <chrono>
#include <exception>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/diagnostic_log.h"
#include "contract/http_transport.h"
#include "contract/service.h"
#include "contract/soap_binding.h"

namespace tindrel {

namespace {

template <class T>
std::unique_ptr<T> Take(std::unique_ptr<Record> r) {
  // The reader creates records of the operation's declared type.
  return std::unique_ptr<T>(static_cast<T*>(r.release()));
}

// The token's user name, which a fault may name.
std::string_view UserOf(const ORVSecurityToken2* token) {
  return token ? std::string_view(token->UserName()) : std::string_view();
}

// Every text field a record and its nested records hold.
void AddTexts(const Record* record, std::vector<std::string_view>& out) {
  if (!record) return;
  for (size_t f = 0; f < record->FieldCount(); ++f) {
    if (!record->Has(f)) continue;
    const FieldKind kind = record->Descriptor().fields[f].kind;
    if (kind == FieldKind::String) out.push_back(record->GetString(f));
    if (kind == FieldKind::Record) AddTexts(record->GetRecord(f), out);
  }
}

template <class Array>
Array TakeAll(std::vector<std::unique_ptr<Record>> items) {
  Array out;
  for (auto& item : items) out.Append(Take<typename Array::Item>(std::move(item)));
  return out;
}

// The member of a reply that the method's result type names.
template <class Result>
Result ResultOf(soap::Reply&& reply) {
  if constexpr (std::is_same_v<Result, bool>) {
    return reply.flag;
  } else if constexpr (std::is_same_v<Result, std::string>) {
    return std::move(reply.text);
  } else if constexpr (requires { typename Result::Item; }) {
    return TakeAll<Result>(std::move(reply.items));
  } else {
    return Take<typename Result::element_type>(std::move(reply.record));
  }
}

// What the log keeps out of a fault's text: the request's plain values and
// the token's user name, and the record it saves.
struct Carried {
  std::vector<std::string_view> texts;
  const Record* record = nullptr;
};

// One parameter onto the wire, by its type.
void Put(soap::RequestWriter& w, std::string_view name, const std::string& text, Carried& c) {
  w.String(name, text);
  c.texts.push_back(text);
}
void Put(soap::RequestWriter& w, std::string_view name, int32_t number, Carried&) {
  w.Int32(name, number);
}
void Put(soap::RequestWriter& w, std::string_view name, const ORVSecurityToken2* token,
         Carried& c) {
  w.Record(name, token);
  c.texts.push_back(UserOf(token));
}
void Put(soap::RequestWriter& w, std::string_view name, const Record& saved, Carried& c) {
  w.Record(name, &saved);
  c.record = &saved;
}

// The first name of a comma-separated list, taken off it.
std::string_view TakeName(std::string_view& names) {
  const size_t comma = names.find(',');
  std::string_view name = names.substr(0, comma);
  names.remove_prefix(comma == std::string_view::npos ? names.size() : comma + 1);
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  return name;
}

class SoapServiceProxy final : public ITindrel2Service {
 public:
  SoapServiceProxy(std::string endpoint, std::shared_ptr<IHttpTransport> transport)
      : endpoint_(std::move(endpoint)), transport_(std::move(transport)) {}

#define TINDREL_PROXY_OPERATION(Name, Result, Parameters, Arguments, ChangesData) \
  Result Name Parameters override {                                               \
    return Call<Result>(soap::k##Name, TINDREL_UNPARENTHESIZED Arguments);        \
  }
  TINDREL_SERVICE_OPERATIONS(TINDREL_PROXY_OPERATION)
#undef TINDREL_PROXY_OPERATION

 private:
  // The request of `op` with its arguments, in the order and under the names
  // of the operation's parameters.
  template <class Result, class... Args>
  Result Call(const soap::Operation& op, const Args&... args) {
    soap::RequestWriter w(op);
    Carried carried;
    std::string_view names = op.parameters;
    (Put(w, TakeName(names), args, carried), ...);
    return ResultOf<Result>(Exchange(w, carried));
  }

  // One exchange, and its line in the diagnostic log.
  soap::Reply Exchange(soap::RequestWriter& w, Carried& carried) {
    const soap::Operation& op = w.Op();
    const auto start = std::chrono::steady_clock::now();
    RequestRecord log;
    log.operation = op.name;
    const auto ended = [&](RequestResult result) {
      log.duration = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      log.result = result;
      LogRequest(log);
    };
    try {
      const HttpReply reply = transport_->Post(endpoint_, soap::QuotedSoapAction(op),
                                               std::string(soap::kContentType), w.Finish());
      soap::Reply r = soap::ReadHttpReply(reply, op);
      const bool empty = op.kind != soap::ResultKind::Bool && !r.record && r.items.empty() &&
                         r.text.empty();
      ended(empty ? RequestResult::kEmpty
                  : op.changesData ? RequestResult::kSaved : RequestResult::kAnswered);
      return r;
    } catch (const std::exception& e) {
      ended(Classify(e, log, carried));
      throw;
    }
  }

  // What the log says of a failed request; the texts a fault could repeat
  // are handed to the log only for the service's own texts.
  static RequestResult Classify(const std::exception& e, RequestRecord& log,
                                Carried& carried) noexcept {
    log.text = e.what();
    if (const auto* coded = dynamic_cast<const CodedTransportError*>(&e)) log.code = coded->code();
    if (dynamic_cast<const TransportError*>(&e)) return RequestResult::kTransport;
    if (dynamic_cast<const ProtocolError*>(&e)) return RequestResult::kUnreadable;
    try {
      AddTexts(carried.record, carried.texts);
      log.carried = std::move(carried.texts);
    } catch (...) {
      log.text = {};  // without them, the text is not written
    }
    return dynamic_cast<const RemoteFault*>(&e) ? RequestResult::kFault : RequestResult::kError;
  }

  const std::string endpoint_;
  const std::shared_ptr<IHttpTransport> transport_;
};

// A WCF service's endpoint is its WSDL location without the query.
std::string EndpointOfWsdl(std::string_view wsdl) {
  const size_t q = wsdl.find('?');
  return std::string(wsdl.substr(0, q));
}

}  // namespace

std::shared_ptr<ITindrel2Service> CreateServiceProxy(bool useWsdl, std::string_view address,
                                                     std::shared_ptr<IHttpTransport> transport) {
  std::string endpoint = address.empty() ? std::string(kDefaultServiceAddress)
                         : useWsdl       ? EndpointOfWsdl(address)
                                         : std::string(address);
  if (!transport) transport = CreatePlatformHttpTransport();
  if (!transport) return nullptr;
  return std::make_shared<SoapServiceProxy>(std::move(endpoint), std::move(transport));
}

}  // namespace tindrel
