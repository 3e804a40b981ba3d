// The client proxy of ITindrel2Service: one request envelope per call, one
// synchronous POST through the transport, the reply read into new records.

#include <chrono>
#include <exception>
#include <string_view>
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

class SoapServiceProxy final : public ITindrel2Service {
 public:
  SoapServiceProxy(std::string endpoint, std::shared_ptr<IHttpTransport> transport)
      : endpoint_(std::move(endpoint)), transport_(std::move(transport)) {}

  std::unique_ptr<Tindrel2VehicleData2> GetVehicleData(const std::string& regNo,
                                                       const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kGetVehicleData);
    w.String("regNo", regNo);
    w.Record("token", token);
    return Take<Tindrel2VehicleData2>(Call(w, {regNo, UserOf(token)}).record);
  }

  ArrayOfTindrel2CustomerData GetCustomers(const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kGetCustomers);
    w.Record("token", token);
    return TakeAll<ArrayOfTindrel2CustomerData>(std::move(Call(w, {UserOf(token)}).items));
  }

  std::unique_ptr<Tindrel2CustomerData2> GetCustomer(const std::string& customerNo,
                                                     const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kGetCustomer);
    w.String("customerNo", customerNo);
    w.Record("token", token);
    return Take<Tindrel2CustomerData2>(Call(w, {customerNo, UserOf(token)}).record);
  }

  std::unique_ptr<Tindrel2CustomerData2> SaveCustomer(const Tindrel2CustomerData2& customerData,
                                                      const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kSaveCustomer);
    w.Record("customerData", &customerData);
    w.Record("token", token);
    return Take<Tindrel2CustomerData2>(Call(w, {UserOf(token)}, &customerData).record);
  }

  std::unique_ptr<Tindrel2InspectionData2> SaveInspection(
      const Tindrel2InspectionData2& inspectionData, const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kSaveInspection);
    w.Record("inspectionData", &inspectionData);
    w.Record("token", token);
    return Take<Tindrel2InspectionData2>(Call(w, {UserOf(token)}, &inspectionData).record);
  }

  std::string GetInspectionURL(const std::string& inspectionNo,
                               const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kGetInspectionURL);
    w.String("inspectionNo", inspectionNo);
    w.Record("token", token);
    return std::move(Call(w, {inspectionNo, UserOf(token)}).text);
  }

  std::unique_ptr<ORVSecurityToken2> Authenticate(const std::string& userName,
                                                  const std::string& password,
                                                  const std::string& salt) override {
    soap::RequestWriter w(soap::kAuthenticate);
    w.String("userName", userName);
    w.String("password", password);
    w.String("salt", salt);
    return Take<ORVSecurityToken2>(Call(w, {userName, password, salt}).record);
  }

  std::unique_ptr<ORVSecurityToken2> RenewToken(const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kRenewToken);
    w.Record("token", token);
    return Take<ORVSecurityToken2>(Call(w, {UserOf(token)}).record);
  }

  bool IsTokenValid(const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kIsTokenValid);
    w.Record("token", token);
    return Call(w, {UserOf(token)}).flag;
  }

  std::unique_ptr<Tindrel2VehicleApprovalData2> IsVehicleApprovedForPeriod(
      const std::string& regNo, int32_t month, int32_t year,
      const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kIsVehicleApprovedForPeriod);
    w.String("regNo", regNo);
    w.Int32("month", month);
    w.Int32("year", year);
    w.Record("token", token);
    return Take<Tindrel2VehicleApprovalData2>(Call(w, {regNo, UserOf(token)}).record);
  }

  ArrayOfTindrel2VehicleApprovalData GetInspectionsForVehicleForPeriod(
      const std::string& regNo, int32_t month, int32_t year,
      const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kGetInspectionsForVehicleForPeriod);
    w.String("regNo", regNo);
    w.Int32("month", month);
    w.Int32("year", year);
    w.Record("token", token);
    return TakeAll<ArrayOfTindrel2VehicleApprovalData>(
        std::move(Call(w, {regNo, UserOf(token)}).items));
  }

  std::unique_ptr<Tindrel2InspectionData2> GetInspectionData(
      const std::string& inspectionNo, const ORVSecurityToken2* token) override {
    soap::RequestWriter w(soap::kGetInspectionData);
    w.String("inspectionNo", inspectionNo);
    w.Record("token", token);
    return Take<Tindrel2InspectionData2>(Call(w, {inspectionNo, UserOf(token)}).record);
  }

 private:
  // One exchange, and its line in the diagnostic log. `carried` holds the
  // request's plain values, and `record` the one it saves: the log keeps
  // their texts out of a fault's text.
  soap::Reply Call(soap::RequestWriter& w, std::vector<std::string_view> carried,
                   const Record* record = nullptr) {
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
      ended(Classify(e, log, record, carried));
      throw;
    }
  }

  // What the log says of a failed request; the texts a fault could repeat
  // are handed to the log only for the service's own texts.
  static RequestResult Classify(const std::exception& e, RequestRecord& log,
                                const Record* record,
                                std::vector<std::string_view>& carried) noexcept {
    log.text = e.what();
    if (const auto* coded = dynamic_cast<const CodedTransportError*>(&e)) log.code = coded->code();
    if (dynamic_cast<const TransportError*>(&e)) return RequestResult::kTransport;
    if (dynamic_cast<const ProtocolError*>(&e)) return RequestResult::kUnreadable;
    try {
      AddTexts(record, carried);
      log.carried = std::move(carried);
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
