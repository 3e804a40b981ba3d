// Natively there is no HTTP client: the core's tests inject their own
// transports, and the program itself only runs on Windows.

#include "base/errors.h"
#include "contract/http_transport.h"

namespace tindrel {

namespace {

class NoHttpTransport final : public IHttpTransport {
 public:
  HttpReply Post(const std::string&, const std::string&, const std::string&,
                 const std::string&) override {
    throw TransportError("Kunne ikke koble til tjenesten: ingen HTTP-transport på denne plattformen");
  }
};

}  // namespace

std::shared_ptr<IHttpTransport> CreatePlatformHttpTransport(const HttpTimeouts&) {
  return std::make_shared<NoHttpTransport>();
}

}  // namespace tindrel
