// The Windows transport: one synchronous WinInet POST per call.
//
// Certificate checks stay as WinInet makes them (no INTERNET_FLAG_IGNORE_*
// flag, no security option is lowered); INTERNET_FLAG_NO_UI keeps WinInet
// from asking the user about a bad certificate, so such a connection simply
// fails, and each kind of certificate fault gets its own text. TLS 1.2 is
// asked for explicitly (and 1.3 where the system's TLS has it), so that a
// system whose default still offers only older protocols reaches a service
// that accepts nothing older. Redirects are not followed: a POST must not be
// resent elsewhere, least of all from https to http. Time-outs come from
// HttpTimeouts and are set on every handle.
//
// No connection is kept alive: WinInet silently sends a request again on a
// new connection when a kept-alive one closes without an answer, and a
// service that had already read (and carried out) a save would then carry
// it out twice. Every request asks for "Connection: close", so each goes out
// on a connection of its own and is sent exactly once per attempt; the
// price is one TCP (and TLS) handshake per request.

#include <windows.h>
#include <wininet.h>
#include <schannel.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "base/errors.h"
#include "contract/http_transport.h"
#include "contract/soap_binding.h"
#include "base/text.h"
#include "winapi/sdk_extras.h"
#include "winapi/strings.h"
#include "winapi/unique_any.h"

namespace tindrel {

namespace {

using InternetHandle = win::UniqueAny<win::NullIsInvalid<HINTERNET, &::InternetCloseHandle>>;
using win::Widen;

// The first Windows build whose TLS (SChannel) speaks TLS 1.3 (Server 2022).
constexpr DWORD kFirstTls13Build = 20348;

[[noreturn]] void ThrowCertificateError(const char* what, DWORD code) {
  throw CodedTransportError(
      std::string("Kunne ikke koble til tjenesten: sertifikatet til tjenesten ") + what +
          " (feil " + std::to_string(code) + ")",
      code);
}

[[noreturn]] void ThrowWinInetError(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_TIMEOUT:
      throw CodedTransportError("Tidsavbrudd mot tjenesten", code);
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      throw CodedTransportError("Kunne ikke koble til tjenesten: fant ikke vertsnavnet", code);
    case ERROR_INTERNET_CANNOT_CONNECT:
      throw CodedTransportError("Kunne ikke koble til tjenesten: ingen svarer på adressen", code);
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
      throw CodedTransportError("Kunne ikke koble til tjenesten: forbindelsen ble brutt", code);
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      throw CodedTransportError("Kunne ikke koble til tjenesten: ugyldig HTTP-svar", code);
    case ERROR_INTERNET_INVALID_CA:
      ThrowCertificateError("er ikke utstedt av en sertifiseringsinstans som maskinen stoler på",
                            code);
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
      ThrowCertificateError("gjelder ikke for vertsnavnet i tjenestens adresse", code);
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
      ThrowCertificateError("er utløpt eller ennå ikke gyldig", code);
    case ERROR_INTERNET_SEC_CERT_REVOKED:
      ThrowCertificateError("er trukket tilbake", code);
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
      ThrowCertificateError("kunne ikke sjekkes mot tilbaketrekkingslisten", code);
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_INVALID_CERT:
      ThrowCertificateError("ble ikke godtatt", code);
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
      throw CodedTransportError("Kunne ikke koble til tjenesten: ingen sikker forbindelse kunne "
                                "avtales med tjenesten (feil " + std::to_string(code) + ")",
                                code);
    default:
      throw CodedTransportError(
          "Kunne ikke koble til tjenesten: WinInet-feil " + std::to_string(code), code);
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

// The proxy of the session as the user's Internet Settings give it
// ("host:port", or a list per scheme); empty when there is none.
std::string ProxyName(HINTERNET session) {
  DWORD size = 0;
  InternetQueryOptionW(session, INTERNET_OPTION_PROXY, nullptr, &size);
  if (size < sizeof(INTERNET_PROXY_INFO)) return {};
  std::string buffer(size, '\0');
  if (!InternetQueryOptionW(session, INTERNET_OPTION_PROXY, buffer.data(), &size)) return {};
  const auto* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer.data());
  if (info->dwAccessType != INTERNET_OPEN_TYPE_PROXY || !info->lpszProxy) return {};
  return win::Narrow(reinterpret_cast<const wchar_t*>(info->lpszProxy));
}

// TLS 1.2, with 1.3 where the system's TLS speaks it. A system whose
// WinInet does not know the option (XP, which has no TLS 1.2 at all) keeps
// its own defaults, and a service that demands TLS 1.2 then refuses it.
void RequestModernTls(HINTERNET session) {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  // The manifest declares the current systems, so the version is not
  // shimmed down to an older one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const bool known = GetVersionExW(&version) != FALSE;
#pragma GCC diagnostic pop
  DWORD protocols = SP_PROT_TLS1_2_CLIENT;
  if (known && version.dwMajorVersion >= 10 && version.dwBuildNumber >= kFirstTls13Build)
    protocols |= SP_PROT_TLS1_3_CLIENT;
  if (!InternetSetOptionW(session, INTERNET_OPTION_SECURE_PROTOCOLS, &protocols,
                          sizeof protocols) &&
      protocols != SP_PROT_TLS1_2_CLIENT) {
    protocols = SP_PROT_TLS1_2_CLIENT;
    InternetSetOptionW(session, INTERNET_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
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
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (u.secure) flags |= INTERNET_FLAG_SECURE;
    const wchar_t* accept[] = {L"text/xml", nullptr};
    InternetHandle request(HttpOpenRequestW(connection.get(), L"POST", Widen(u.path).c_str(),
                                            nullptr, nullptr, accept, flags, 0));
    if (!request) ThrowLastError();
    ApplyTimeouts(request.get(), timeouts_);

    const std::wstring headers = L"Content-Type: " + Widen(contentType) + L"\r\nSOAPAction: " +
                                 Widen(soapAction) + L"\r\nConnection: close\r\n";
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
    // The proxy answered, not the service: its demand for a login is told
    // as such. WinInet has already answered it with the user's Windows
    // credentials where the proxy and the system allow that.
    if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
      const std::string proxy = ProxyName(session_.get());
      throw TransportError("Kunne ikke koble til tjenesten: proxyserveren" +
                           (proxy.empty() ? std::string() : " " + proxy) +
                           " krever pålogging (HTTP 407), og tjenesten ble ikke nådd");
    }
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
  RequestModernTls(session.get());
  return std::make_shared<WinInetTransport>(std::move(session), timeouts);
}

}  // namespace tindrel
