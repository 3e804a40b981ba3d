#pragma once
// The platform's HTTP transport for the SOAP calls (WinInet on Windows), its
// time-outs, and the address rules every transport applies.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "contract/service.h"

namespace tindrel {

// The one place where the service's time-outs are set. WinInet's own
// defaults are never relied on. A test program may pass shorter ones.
struct HttpTimeouts {
  std::chrono::milliseconds connect{30000};
  std::chrono::milliseconds send{60000};
  std::chrono::milliseconds receive{60000};
};
inline constexpr HttpTimeouts kDefaultHttpTimeouts{};

// A transport failure with the platform's code for it (WinInet's error
// number on Windows), for the diagnostic log; its text is the user's.
class CodedTransportError : public TransportError {
 public:
  CodedTransportError(const std::string& what, uint32_t code) : TransportError(what), code_(code) {}
  uint32_t code() const { return code_; }

 private:
  uint32_t code_;
};

// A new transport of the platform: WinInet on Windows; natively a stand-in
// whose Post throws TransportError (native code injects its transports).
// Null when the platform's HTTP library cannot be started.
std::shared_ptr<IHttpTransport> CreatePlatformHttpTransport(
    const HttpTimeouts& timeouts = kDefaultHttpTimeouts);

struct HttpUrl {
  bool secure = false;  // https
  std::string host;     // without brackets for IPv6
  uint16_t port = 0;
  std::string path;     // path and query, at least "/"
};

// Splits an absolute http or https URL; nullopt when it is not one.
std::optional<HttpUrl> ParseHttpUrl(std::string_view url);

// localhost, 127.0.0.0/8 and ::1.
bool IsLoopbackHost(std::string_view host);

// The address rules of the service transport: https, or plain http to a
// loopback host (a local test service). Throws TransportError otherwise.
HttpUrl CheckServiceUrl(std::string_view url);

}  // namespace tindrel
