#include "contract/http_transport.h"

#include <algorithm>
#include <charconv>

#include "base/errors.h"

namespace tindrel {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
  HttpUrl u;
  const size_t colon = url.find("://");
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view scheme = url.substr(0, colon);
  if (EqualsNoCase(scheme, "https")) {
    u.secure = true;
  } else if (!EqualsNoCase(scheme, "http")) {
    return std::nullopt;
  }
  std::string_view rest = url.substr(colon + 3);
  const size_t pathStart = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, pathStart);
  std::string_view path = pathStart == std::string_view::npos ? std::string_view() : rest.substr(pathStart);
  path = path.substr(0, path.find('#'));
  if (authority.find('@') != std::string_view::npos) return std::nullopt;  // no credentials in URLs
  std::string_view portText;
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    u.host = std::string(authority.substr(1, close - 1));
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return std::nullopt;
      portText = after.substr(1);
    }
  } else {
    const size_t c = authority.find(':');
    u.host = std::string(authority.substr(0, c));
    if (c != std::string_view::npos) portText = authority.substr(c + 1);
  }
  if (u.host.empty()) return std::nullopt;
  u.port = u.secure ? 443 : 80;
  if (!portText.empty()) {
    unsigned port = 0;
    const auto r = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (r.ec != std::errc() || r.ptr != portText.data() + portText.size() || port == 0 ||
        port > 65535)
      return std::nullopt;
    u.port = static_cast<uint16_t>(port);
  }
  u.path = path.empty() || path[0] != '/' ? "/" + std::string(path) : std::string(path);
  return u;
}

bool IsLoopbackHost(std::string_view host) {
  if (EqualsNoCase(host, "localhost") || host == "::1") return true;
  // 127.x.y.z, written as a dotted quad.
  if (!host.starts_with("127.")) return false;
  int parts = 0;
  size_t i = 0;
  while (i <= host.size()) {
    const size_t dot = std::min(host.find('.', i), host.size());
    const std::string_view part = host.substr(i, dot - i);
    unsigned v = 0;
    const auto r = std::from_chars(part.data(), part.data() + part.size(), v);
    if (part.empty() || r.ec != std::errc() || r.ptr != part.data() + part.size() || v > 255)
      return false;
    ++parts;
    i = dot + 1;
  }
  return parts == 4;
}

HttpUrl CheckServiceUrl(std::string_view url) {
  std::optional<HttpUrl> u = ParseHttpUrl(url);
  if (!u) throw TransportError("Kunne ikke koble til tjenesten: ugyldig adresse '" + std::string(url) + "'");
  if (!u->secure && !IsLoopbackHost(u->host))
    throw TransportError("Kunne ikke koble til tjenesten: adressen må begynne med https:// ('" +
                         std::string(url) + "')");
  return *u;
}

}  // namespace tindrel
