// The Windows transport: one synchronous WinInet POST per call.
//
// Certificate checks stay as WinInet makes them (no INTERNET_FLAG_IGNORE_*
// flag, no security option is lowered); INTERNET_FLAG_NO_UI keeps WinInet
// from asking the user about a bad certificate, so such a connection simply
// fails. Redirects are not followed: a POST must not be resent elsewhere,
// least of all from https to http. Time-outs come from HttpTimeouts and are
// set on every handle.

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "base/errors.h"
#include "contract/http_transport.h"
#include "contract/soap_binding.h"
#include "base/text.h"
#include "winapi/strings.h"
#include "winapi/unique_any.h"

namespace tindrel {

namespace {

using InternetHandle = win::UniqueAny<win::NullIsInvalid<HINTERNET, &::InternetCloseHandle>>;
using win::Widen;

// Codes that mingw-w64's wininet.h may lack.
constexpr DWORD kSecInvalidCert = 12169;
constexpr DWORD kSecCertRevoked = 12170;
constexpr DWORD kSecurityChannelError = 12157;

[[noreturn]] void ThrowWinInetError(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_TIMEOUT:
      throw TransportError("Tidsavbrudd mot tjenesten");
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      throw TransportError("Kunne ikke koble til tjenesten: fant ikke vertsnavnet");
    case ERROR_INTERNET_CANNOT_CONNECT:
      throw TransportError("Kunne ikke koble til tjenesten: ingen svarer på adressen");
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      throw TransportError("Kunne ikke koble til tjenesten: forbindelsen ble brutt");
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      throw TransportError("Kunne ikke koble til tjenesten: ugyldig HTTP-svar");
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case kSecInvalidCert:
    case kSecCertRevoked:
    case kSecurityChannelError:
      throw TransportError("Kunne ikke koble til tjenesten: sertifikatet til tjenesten ble "
                           "ikke godtatt (feil " + std::to_string(code) + ")");
    default:
      throw TransportError("Kunne ikke koble til tjenesten: WinInet-feil " + std::to_string(code));
  }
}

[[noreturn]] void ThrowLastError() { ThrowWinInetError(GetLastError()); }

// Measures one blocking WinInet call. Wine reports a receive time-out as
// ERROR_INTERNET_CONNECTION_ABORTED rather than ERROR_INTERNET_TIMEOUT; a
// connection that breaks just when a time-out expires counts as that
// time-out.
class Blocking {
 public:
  explicit Blocking(std::chrono::milliseconds limit) : limit_(limit), start_(GetTickCount()) {}
  [[noreturn]] void Fail() const {
    const DWORD code = GetLastError();
    const auto elapsed = std::chrono::milliseconds(GetTickCount() - start_);
    if ((code == ERROR_INTERNET_CONNECTION_ABORTED || code == ERROR_INTERNET_CONNECTION_RESET) &&
        elapsed + std::chrono::milliseconds(250) >= limit_)
      ThrowWinInetError(ERROR_INTERNET_TIMEOUT);
    ThrowWinInetError(code);
  }

 private:
  std::chrono::milliseconds limit_;
  DWORD start_;
};

void SetTimeout(HINTERNET h, DWORD option, std::chrono::milliseconds ms) {
  DWORD value = static_cast<DWORD>(ms.count());
  InternetSetOptionW(h, option, &value, sizeof value);
}

void ApplyTimeouts(HINTERNET h, const HttpTimeouts& t) {
  SetTimeout(h, INTERNET_OPTION_CONNECT_TIMEOUT, t.connect);
  SetTimeout(h, INTERNET_OPTION_SEND_TIMEOUT, t.send);
  SetTimeout(h, INTERNET_OPTION_DATA_SEND_TIMEOUT, t.send);
  SetTimeout(h, INTERNET_OPTION_RECEIVE_TIMEOUT, t.receive);
  SetTimeout(h, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, t.receive);
  // One attempt: the connect time-out bounds the whole connect.
  DWORD retries = 1;
  InternetSetOptionW(h, INTERNET_OPTION_CONNECT_RETRIES, &retries, sizeof retries);
}

std::string QueryHeader(HINTERNET request, DWORD what) {
  std::wstring buf(256, L'\0');
  DWORD bytes = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, what, buf.data(), &bytes, nullptr)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    buf.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!HttpQueryInfoW(request, what, buf.data(), &bytes, nullptr)) return {};
  }
  buf.resize(bytes / sizeof(wchar_t));
  return win::Narrow(buf);
}

class WinInetTransport final : public IHttpTransport {
 public:
  WinInetTransport(InternetHandle session, const HttpTimeouts& timeouts)
      : session_(std::move(session)), timeouts_(timeouts) {}

  HttpReply Post(const std::string& url, const std::string& soapAction,
                 const std::string& contentType, const std::string& body) override {
    const HttpUrl u = CheckServiceUrl(url);
    InternetHandle connection(InternetConnectW(session_.get(), Widen(u.host).c_str(), u.port,
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) ThrowLastError();
    ApplyTimeouts(connection.get(), timeouts_);

    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                  INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_KEEP_CONNECTION;
    if (u.secure) flags |= INTERNET_FLAG_SECURE;
    const wchar_t* accept[] = {L"text/xml", nullptr};
    InternetHandle request(HttpOpenRequestW(connection.get(), L"POST", Widen(u.path).c_str(),
                                            nullptr, nullptr, accept, flags, 0));
    if (!request) ThrowLastError();
    ApplyTimeouts(request.get(), timeouts_);

    const std::wstring headers = L"Content-Type: " + Widen(contentType) + L"\r\nSOAPAction: " +
                                 Widen(soapAction) + L"\r\n";
    // Connect, send and the wait for the status line all happen in here.
    const Blocking send(std::min({timeouts_.connect, timeouts_.send, timeouts_.receive}));
    if (!HttpSendRequestW(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<char*>(body.data()), static_cast<DWORD>(body.size())))
      send.Fail();

    HttpReply reply;
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &size, nullptr))
      ThrowLastError();
    // Wine gives status 0 when the connection closed before any status line.
    if (status < 100)
      throw TransportError("Kunne ikke koble til tjenesten: tjenesten lukket forbindelsen uten å svare");
    reply.status = static_cast<int>(status);
    reply.contentType = QueryHeader(request.get(), HTTP_QUERY_CONTENT_TYPE);

    DWORD declared = 0;
    size = sizeof declared;
    const bool hasLength = HttpQueryInfoW(request.get(),
                                          HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                                          &declared, &size, nullptr);
    if (hasLength && declared > soap::kMaxReplyBytes) throw soap::ReplyTooLarge();
    if (hasLength) reply.body.reserve(declared);

    char buf[16384];
    for (;;) {
      DWORD got = 0;
      const Blocking read(timeouts_.receive);
      if (!InternetReadFile(request.get(), buf, sizeof buf, &got)) read.Fail();
      if (got == 0) break;
      if (reply.body.size() + got > soap::kMaxReplyBytes) throw soap::ReplyTooLarge();
      reply.body.append(buf, got);
    }
    if (hasLength && reply.body.size() < declared)
      throw ProtocolError("Ugyldig svar fra tjenesten: svaret er ufullstendig (" +
                          std::to_string(reply.body.size()) + " av " + std::to_string(declared) +
                          " byte)");
    return reply;
  }

 private:
  InternetHandle session_;
  HttpTimeouts timeouts_;
};

}  // namespace

std::shared_ptr<IHttpTransport> CreatePlatformHttpTransport(const HttpTimeouts& timeouts) {
  InternetHandle session(
      InternetOpenW(L"Tindrel2", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return nullptr;
  ApplyTimeouts(session.get(), timeouts);
  return std::make_shared<WinInetTransport>(std::move(session), timeouts);
}

}  // namespace tindrel
