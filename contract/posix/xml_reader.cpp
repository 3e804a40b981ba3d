// The native XML backend: libxml2's SAX2 interface, so that no tree is built
// and each element goes straight to the handler.
//
// Options: XML_PARSE_NONET, and neither XML_PARSE_NOENT nor XML_PARSE_DTDLOAD,
// so entities are not substituted and no external subset is loaded. Beyond
// that a DOCTYPE stops the parser as soon as it is seen, before its internal
// subset is read.

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <climits>
#include <exception>
#include <memory>
#include <string>

#include "base/errors.h"
#include "contract/xml_reader.h"

namespace tindrel {

namespace {

std::string_view View(const xmlChar* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

struct SaxState {
  IXmlContentHandler* handler = nullptr;
  xmlParserCtxtPtr ctxt = nullptr;
  std::exception_ptr failure;  // from the handler, rethrown after the parser returns
  bool doctype = false;
  std::string parserMessage;   // the first error libxml2 reported
};

SaxState& State(void* ctx) { return *static_cast<SaxState*>(ctx); }

// No exception may unwind through libxml2's C frames: each callback catches
// and stops the parser.
template <typename Fn>
void Guarded(void* ctx, Fn fn) {
  SaxState& s = State(ctx);
  if (s.failure) return;
  try {
    fn(s);
  } catch (...) {
    s.failure = std::current_exception();
    xmlStopParser(s.ctxt);
  }
}

void OnStartElement(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar* uri, int,
                    const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
  Guarded(ctx, [&](SaxState& s) {
    XmlElement e{View(uri), View(localname), std::nullopt};
    // Five pointers per attribute: local name, prefix, URI, value, value end.
    for (int a = 0; a < attributeCount; ++a) {
      const xmlChar** at = attributes + 5 * a;
      if (View(at[0]) == "nil" && View(at[2]) == kXsiNamespace)
        e.xsiNil = std::string_view(reinterpret_cast<const char*>(at[3]),
                                    static_cast<size_t>(at[4] - at[3]));
    }
    s.handler->StartElement(e);
  });
}

void OnEndElement(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  Guarded(ctx, [](SaxState& s) { s.handler->EndElement(); });
}

void OnCharacters(void* ctx, const xmlChar* text, int length) {
  Guarded(ctx, [&](SaxState& s) {
    s.handler->Characters(
        std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  });
}

void OnInternalSubset(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  SaxState& s = State(ctx);
  s.doctype = true;
  xmlStopParser(s.ctxt);
}

xmlEntityPtr OnGetEntity(void*, const xmlChar*) { return nullptr; }

#if LIBXML_VERSION >= 21200
using ErrorArg = const xmlError*;
#else
using ErrorArg = xmlErrorPtr;
#endif

void OnError(void* ctx, ErrorArg error) {
  SaxState& s = State(ctx);
  if (!s.parserMessage.empty() || !error || error->level < XML_ERR_ERROR) return;
  std::string m = error->message ? error->message : "ukjent feil";
  while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
  s.parserMessage = "linje " + std::to_string(error->line) + ": " + m;
}

xmlSAXHandler MakeHandler() {
  xmlSAXHandler h{};
  h.initialized = XML_SAX2_MAGIC;
  h.startElementNs = OnStartElement;
  h.endElementNs = OnEndElement;
  h.characters = OnCharacters;
  h.ignorableWhitespace = OnCharacters;
  h.cdataBlock = OnCharacters;
  h.internalSubset = OnInternalSubset;
  h.getEntity = OnGetEntity;
  h.getParameterEntity = OnGetEntity;
  h.serror = OnError;
  return h;
}

struct CtxtFree {
  void operator()(xmlParserCtxtPtr c) const {
    c->sax = nullptr;  // ours lives on the stack; libxml2 must not free it
    xmlFreeParserCtxt(c);
  }
};

}  // namespace

std::string_view XmlBackendName() { return "libxml2 " LIBXML_DOTTED_VERSION; }

namespace detail {

void ParseXmlWithBackend(std::string_view document, IXmlContentHandler& handler) {
  static const bool initialised = (xmlInitParser(), true);
  (void)initialised;
  if (document.size() > static_cast<size_t>(INT_MAX))
    throw ProtocolError("dokumentet er for stort");

  std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(
      xmlCreateMemoryParserCtxt(document.data(), static_cast<int>(document.size())));
  if (!ctxt) throw ProtocolError("XML-leseren kunne ikke startes");
  xmlCtxtUseOptions(ctxt.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);

  xmlSAXHandler sax = MakeHandler();
  if (ctxt->sax != nullptr) xmlFree(ctxt->sax);
  ctxt->sax = &sax;
  SaxState state;
  state.handler = &handler;
  state.ctxt = ctxt.get();
  ctxt->userData = &state;

  xmlParseDocument(ctxt.get());

  if (state.failure) std::rethrow_exception(state.failure);
  if (state.doctype) throw ProtocolError("dokumentet har en DOCTYPE, som ikke er tillatt");
  if (!ctxt->wellFormed || !ctxt->nsWellFormed)
    throw ProtocolError("ikke velformet XML (" +
                        (state.parserMessage.empty() ? std::string("ukjent feil")
                                                     : state.parserMessage) +
                        ")");
}

}  // namespace detail

}  // namespace tindrel
