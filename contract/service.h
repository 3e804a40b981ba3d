#pragma once
// ITindrel2Service: the remote inspection service, one synchronous SOAP call
// per operation; the methods are the rows of contract/service_operations.h.
//
// Every call either returns its result or throws a tindrel::Error:
// RemoteFault for a SOAP fault (what() = faultstring), TransportError for
// connection failures, time-outs and HTTP errors, ProtocolError for replies
// that are not what the contract allows.
//
// Record parameters are read during the call and stay the caller's. Results
// belong to the caller. A missing or nil result gives a null record, an empty
// array, an empty string or false.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "contract/records.h"
#include "contract/service_operations.h"

namespace tindrel {

class ITindrel2Service {
 public:
  virtual ~ITindrel2Service() = default;

  // The token is the session's; null sends a nil token element.
#define TINDREL_DECLARE_OPERATION(Name, Result, Parameters, Arguments, ChangesData) \
  virtual Result Name Parameters = 0;
  TINDREL_SERVICE_OPERATIONS(TINDREL_DECLARE_OPERATION)
#undef TINDREL_DECLARE_OPERATION
};

// One HTTP POST of a SOAP request. Throws TransportError when no HTTP answer
// arrives (refused, reset, timed out); any HTTP status is returned as it is.
struct HttpReply {
  int status = 0;
  std::string contentType;
  std::string body;
};

class IHttpTransport {
 public:
  virtual ~IHttpTransport() = default;
  virtual HttpReply Post(const std::string& url, const std::string& soapAction,
                         const std::string& contentType, const std::string& body) = 0;
};

// The built-in endpoint, used when an empty address is given: the
// production address a package is built for (the CMake cache variable
// TINDREL_SERVICE_URL), or else a placeholder.
#ifdef TINDREL_SERVICE_URL
inline constexpr std::string_view kDefaultServiceAddress = TINDREL_SERVICE_URL;
#else
inline constexpr std::string_view kDefaultServiceAddress =
    "https://tjenester.tindrel.no/ORVNewPL/Services/Tindrel2Service.svc";
#endif

// Proxy for the service at `address` (the default when empty). Without a
// transport the platform's own is created (WinInet on Windows). Returns null
// only when no transport can be had.
std::shared_ptr<ITindrel2Service> CreateServiceProxy(
    bool useWsdl, std::string_view address, std::shared_ptr<IHttpTransport> transport = nullptr);

}  // namespace tindrel
