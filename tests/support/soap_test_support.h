#pragma once
// Helpers of the SOAP binding's tests: a tree read through the project's own
// XML interface (so request checks run on both backends), a transport that
// replays scripted replies, and fully filled records.

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/records.h"
#include "contract/service.h"
#include "contract/soap_binding.h"

namespace tindrel::testing {

struct XmlNode {
  std::string ns, local;
  std::optional<std::string> nil;
  std::string text;  // character data directly inside
  std::vector<XmlNode> children;

  // The only child called `local`; fails the test when there is not one.
  const XmlNode& Child(std::string_view local) const;
  std::vector<std::string> ChildNames() const;
};

// Parses with ParseXml (libxml2 natively, MSXML on Windows).
XmlNode ReadTree(std::string_view document);

// The operation element inside Envelope/Body of a request.
XmlNode RequestOperation(std::string_view envelope);

// Replays queued replies and keeps every request it was given.
class FakeTransport final : public IHttpTransport {
 public:
  struct Request {
    std::string url, soapAction, contentType, body;
  };
  void Queue(int status, std::string body, std::string contentType = "text/xml; charset=utf-8");
  HttpReply Post(const std::string& url, const std::string& soapAction,
                 const std::string& contentType, const std::string& body) override;
  std::vector<Request> requests;

 private:
  std::deque<HttpReply> replies_;
};

// A reply envelope for `op` whose result element holds `inner` (already
// XML), with the contracts namespace bound to prefix `p`.
std::string ReplyEnvelope(const soap::Operation& op, std::string_view inner,
                          std::string_view p = "a");
// A reply whose result is `record`, written with the binding's own writer.
std::string RecordReply(const soap::Operation& op, const Record* record);

// Every field set, values distinct from each other.
std::unique_ptr<ORVSecurityToken2> FullToken();
std::unique_ptr<Tindrel2CustomerData2> FullCustomer();
std::unique_ptr<Tindrel2VehicleApprovalData2> FullApproval();
std::unique_ptr<Tindrel2VehicleData2> FullVehicle();
std::unique_ptr<Tindrel2InspectionData2> FullInspection();

std::unique_ptr<XsDateTime> Dt(std::string_view text);
std::unique_ptr<XsDecimal> Dec(std::string_view text);

}  // namespace tindrel::testing
