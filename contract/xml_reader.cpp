#include "contract/xml_reader.h"

#include "contract/errors.h"

namespace tindrel {

namespace {

bool StartsWith(std::string_view s, size_t i, std::string_view prefix) {
  return s.substr(i, prefix.size()) == prefix;
}

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

}  // namespace detail

void ParseXml(std::string_view document, IXmlContentHandler& handler) {
  if (document.find_first_not_of(" \t\r\n") == std::string_view::npos)
    throw ProtocolError("dokumentet er tomt");
  detail::CheckXmlProlog(document);
  DepthGuard guard(handler);
  detail::ParseXmlWithBackend(document, guard);
}

}  // namespace tindrel
