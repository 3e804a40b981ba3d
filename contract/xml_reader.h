#pragma once
// Reading an XML document as a stream of element events. One small interface,
// two backends: libxml2 natively (posix/xml_reader.cpp) and MSXML on Windows
// (win/xml_reader.cpp). The SOAP binding sees only this interface, so the same
// test cases run against both.
//
// Safety contract, the same for both backends:
//   - a DOCTYPE is refused (it is looked for in the prolog before the bytes
//     reach the parser, and the backends refuse one on their own as well),
//     so no DTD is read, no entity is declared and nothing is fetched;
//   - only the predefined entities and character references are expanded;
//   - elements nest at most kMaxXmlDepth deep;
//   - a start tag holds at most kMaxXmlAttributes attributes, namespace
//     declarations included, and at most kMaxXmlNamespaces declarations are
//     in scope at once (both counted before parsing: parsers check a tag's
//     attributes pairwise and look prefixes up through every declaration in
//     scope, so a 16 MiB document built against either takes minutes);
//   - UTF-16 and UTF-32 documents are refused (the prolog check reads bytes).
// Every refusal and every well-formedness error throws ProtocolError with a
// short Norwegian description. Exceptions thrown by the handler propagate
// unchanged; the backends never let one cross the parser or COM.

#include <optional>
#include <string_view>

namespace tindrel {

inline constexpr int kMaxXmlDepth = 64;
inline constexpr int kMaxXmlAttributes = 64;
inline constexpr int kMaxXmlNamespaces = 64;
inline constexpr std::string_view kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

// The views are valid only during the call that receives them.
struct XmlElement {
  std::string_view ns;     // namespace URI, empty for none
  std::string_view local;  // local name
  std::optional<std::string_view> xsiNil;  // value of xsi:nil when present
};

class IXmlContentHandler {
 public:
  virtual ~IXmlContentHandler() = default;
  virtual void StartElement(const XmlElement& element) = 0;
  // Character data in UTF-8, possibly split over several calls; CDATA
  // sections arrive the same way. Line ends are already normalised to LF.
  virtual void Characters(std::string_view utf8) = 0;
  virtual void EndElement() = 0;
};

// Parses the whole document, calling the handler as elements open and close.
void ParseXml(std::string_view document, IXmlContentHandler& handler);

// "libxml2 2.9.14", "Msxml2.DOMDocument.6.0": which parser is in use.
std::string_view XmlBackendName();

namespace detail {
// The backend entry point behind ParseXml; call ParseXml instead. Must refuse
// a DOCTYPE itself even though ParseXml has checked the prolog.
void ParseXmlWithBackend(std::string_view document, IXmlContentHandler& handler);
// Throws ProtocolError for a DOCTYPE in the prolog, a UTF-16/32 document or
// one that does not start with markup.
void CheckXmlProlog(std::string_view document);
// Throws ProtocolError for a tag with more than kMaxXmlAttributes attributes
// or more than kMaxXmlNamespaces namespace declarations in scope.
void CheckXmlAttributeLimits(std::string_view document);
}  // namespace detail

}  // namespace tindrel
