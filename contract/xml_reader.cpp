#include "contract/xml_reader.h"

#include <array>
#include <string>
#include <vector>

#include "base/errors.h"

namespace tindrel {

namespace {

bool StartsWith(std::string_view s, size_t i, std::string_view prefix) {
  return s.substr(i, prefix.size()) == prefix;
}

bool IsXmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Counts nesting and refuses documents deeper than kMaxXmlDepth, so that no
// handler and no recursive backend walk ever sees more.
class DepthGuard final : public IXmlContentHandler {
 public:
  explicit DepthGuard(IXmlContentHandler& inner) : inner_(inner) {}
  void StartElement(const XmlElement& e) override {
    if (++depth_ > kMaxXmlDepth)
      throw ProtocolError("elementene er nestet dypere enn " + std::to_string(kMaxXmlDepth) +
                          " nivåer");
    inner_.StartElement(e);
  }
  void Characters(std::string_view s) override { inner_.Characters(s); }
  void EndElement() override {
    --depth_;
    inner_.EndElement();
  }

 private:
  IXmlContentHandler& inner_;
  int depth_ = 0;
};

}  // namespace

namespace detail {

void CheckXmlProlog(std::string_view s) {
  size_t i = 0;
  if (StartsWith(s, 0, "\xEF\xBB\xBF")) i = 3;
  if (StartsWith(s, 0, "\xFE\xFF") || StartsWith(s, 0, "\xFF\xFE") ||
      s.substr(0, 4).find('\0') != std::string_view::npos)
    throw ProtocolError("dokumentet er ikke i UTF-8");
  for (;;) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) ++i;
    if (i == s.size()) return;  // empty: the parser reports it
    if (s[i] != '<') throw ProtocolError("dokumentet er ikke XML");
    size_t end = std::string_view::npos;
    if (StartsWith(s, i, "<?")) {
      end = s.find("?>", i + 2);
      if (end != std::string_view::npos) end += 2;
    } else if (StartsWith(s, i, "<!--")) {
      end = s.find("-->", i + 4);
      if (end != std::string_view::npos) end += 3;
    } else if (StartsWith(s, i, "<!DOCTYPE")) {
      throw ProtocolError("dokumentet har en DOCTYPE, som ikke er tillatt");
    } else {
      return;  // the root element (or something the parser will refuse)
    }
    if (end == std::string_view::npos) return;  // unterminated: the parser reports it
    i = end;
  }
}

// One pass over the bytes. Inside a tag every '=' outside quotes ends an
// attribute's name; the names show the namespace declarations, and end tags
// close the scopes of their start tags. Comments, CDATA sections and
// processing instructions are passed over whole. Exact for well-formed
// documents up to the depth the parser accepts; what is malformed is left
// to the parser to report.
void CheckXmlAttributeLimits(std::string_view s) {
  static constexpr auto kStops = [] {
    std::array<bool, 256> stops{};
    for (const char c : std::string_view("\"'=>")) stops[static_cast<unsigned char>(c)] = true;
    return stops;
  }();
  std::vector<int> scopes;  // namespace declarations of each open element
  int inScope = 0;
  size_t i = 0;
  while ((i = s.find('<', i)) != std::string_view::npos) {
    std::string_view close;
    const char next = i + 1 < s.size() ? s[i + 1] : '\0';
    if (next == '?') {
      close = "?>";
    } else if (next == '!' && StartsWith(s, i, "<!--")) {
      close = "-->";
    } else if (next == '!' && StartsWith(s, i, "<![CDATA[")) {
      close = "]]>";
    }
    if (!close.empty()) {
      i = s.find(close, i + 2);
      if (i == std::string_view::npos) return;
      i += close.size();
      continue;
    }
    const size_t tag = i;
    int attributes = 0, declarations = 0;
    for (++i; i < s.size(); ++i) {
      const char c = s[i];
      if (!kStops[static_cast<unsigned char>(c)]) continue;
      if (c == '"' || c == '\'') {
        i = s.find(c, i + 1);
        if (i == std::string_view::npos) return;
        continue;
      }
      if (c == '>') break;
      if (++attributes > kMaxXmlAttributes)
        throw ProtocolError("et element har mer enn " + std::to_string(kMaxXmlAttributes) +
                            " attributter");
      // The name before the '=' (blanks may stand between). Walking back
      // stops at the previous value or '=', so each byte is looked at twice
      // at most.
      size_t end = i;
      while (end > tag && IsXmlBlank(s[end - 1])) --end;
      size_t begin = end;
      while (begin > tag && !IsXmlBlank(s[begin - 1]) &&
             !kStops[static_cast<unsigned char>(s[begin - 1])])
        --begin;
      const std::string_view name = s.substr(begin, end - begin);
      if (name == "xmlns" || name.starts_with("xmlns:")) ++declarations;
    }
    if (i >= s.size()) return;
    if (next == '/') {
      if (!scopes.empty()) {
        inScope -= scopes.back();
        scopes.pop_back();
      }
      continue;
    }
    if (inScope + declarations > kMaxXmlNamespaces)
      throw ProtocolError("mer enn " + std::to_string(kMaxXmlNamespaces) +
                          " navnerom er deklarert samtidig");
    if (s[i - 1] != '/') {
      // Deeper than the parser goes, nothing more is read.
      if (scopes.size() == static_cast<size_t>(kMaxXmlDepth)) return;
      scopes.push_back(declarations);
      inScope += declarations;
    }
  }
}

}  // namespace detail

void ParseXml(std::string_view document, IXmlContentHandler& handler) {
  if (document.find_first_not_of(" \t\r\n") == std::string_view::npos)
    throw ProtocolError("dokumentet er tomt");
  detail::CheckXmlProlog(document);
  detail::CheckXmlAttributeLimits(document);
  DepthGuard guard(handler);
  detail::ParseXmlWithBackend(document, guard);
}

}  // namespace tindrel
