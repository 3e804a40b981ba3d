// The Windows XML backend: an MSXML DOM document, walked once into element
// events. The document is set up before loading: DTDs prohibited, externals
// not resolved, no validation, synchronous, white space kept (string values
// of only blanks are values too). A document-type or entity-reference node
// is refused as well: Wine's MSXML (3.0 and 6.0) accepts ProhibitDTD and
// ignores it, loading a DOCTYPE and expanding its entities, which is also why
// ParseXml checks the prolog before the bytes get here.

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <msxml2.h>

#include <cstring>
#include <string>

#include "base/errors.h"
#include "base/text.h"
#include "contract/xml_reader.h"
#include "winapi/com_apartment.h"
#include "winapi/com_ptr.h"
#include "winapi/sdk_extras.h"
#include "winapi/strings.h"
#include "winapi/unique_any.h"

namespace tindrel {

namespace {

using win::ComPtr;
using win::UniqueBstr;
using win::UniqueVariant;

// The text of a BSTR as UTF-8.
std::string Utf8(BSTR b) { return Utf16ToUtf8(win::View(b)); }

struct Progid {
  const wchar_t* wide;
  std::string_view name;
};
constexpr Progid kProgids[] = {{L"Msxml2.DOMDocument.6.0", "Msxml2.DOMDocument.6.0"},
                               {L"Msxml2.DOMDocument.3.0", "Msxml2.DOMDocument.3.0"}};

// The newest MSXML installed, found once.
const Progid* FindMsxml(CLSID& clsid) {
  static CLSID found{};
  static const Progid* which = [] {
    for (const Progid& p : kProgids)
      if (SUCCEEDED(CLSIDFromProgID(p.wide, &found))) return &p;
    return static_cast<const Progid*>(nullptr);
  }();
  clsid = found;
  return which;
}

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    char code[16];
    wsprintfA(code, "%08lX", static_cast<unsigned long>(hr));
    throw ProtocolError(std::string("XML-leseren feilet (") + what + ", 0x" + code + ")");
  }
}

void SetProperty(IXMLDOMDocument2* doc, const wchar_t* name, bool value) {
  const UniqueBstr n(SysAllocString(name));
  UniqueVariant v;
  V_VT(v.get()) = VT_BOOL;
  V_BOOL(v.get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
  Check(doc->setProperty(n.get(), *v.get()), "setProperty");
}

class Walker {
 public:
  explicit Walker(IXmlContentHandler& h)
      : h_(h),
        xsi_(SysAllocString(L"http://www.w3.org/2001/XMLSchema-instance")),
        nil_(SysAllocString(L"nil")) {}

  void Children(IXMLDOMNode* parent) {
    ComPtr<IXMLDOMNode> child;
    Check(parent->get_firstChild(child.put()), "firstChild");
    while (child) {
      Node(child.get());
      ComPtr<IXMLDOMNode> next;
      Check(child->get_nextSibling(next.put()), "nextSibling");
      child.swap(next);
    }
  }

 private:
  void Node(IXMLDOMNode* node) {
    DOMNodeType type{};
    Check(node->get_nodeType(&type), "nodeType");
    switch (type) {
      case NODE_ELEMENT:
        Element(node);
        break;
      case NODE_TEXT:
      case NODE_CDATA_SECTION: {
        UniqueVariant value;
        Check(node->get_nodeValue(value.put()), "nodeValue");
        if (V_VT(value.get()) == VT_BSTR) h_.Characters(Utf8(V_BSTR(value.get())));
        break;
      }
      case NODE_DOCUMENT_TYPE:
      case NODE_ENTITY_REFERENCE:
      case NODE_ENTITY:
        throw ProtocolError("dokumentet har en DOCTYPE, som ikke er tillatt");
      default:
        break;  // comments, processing instructions
    }
  }

  void Element(IXMLDOMNode* node) {
    UniqueBstr ns, local;
    Check(node->get_namespaceURI(ns.put()), "namespaceURI");
    Check(node->get_baseName(local.put()), "baseName");
    const std::string ns8 = Utf8(ns.get()), local8 = Utf8(local.get());
    XmlElement e{ns8, local8, std::nullopt};

    std::string nilValue;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    Check(node->get_attributes(attributes.put()), "attributes");
    if (attributes) {
      ComPtr<IXMLDOMNode> nil;
      if (attributes->getQualifiedItem(nil_.get(), xsi_.get(), nil.put()) == S_OK && nil) {
        UniqueVariant value;
        Check(nil->get_nodeValue(value.put()), "nodeValue");
        if (V_VT(value.get()) == VT_BSTR) nilValue = Utf8(V_BSTR(value.get()));
        e.xsiNil = nilValue;
      }
    }
    h_.StartElement(e);
    Children(node);
    h_.EndElement();
  }

  IXmlContentHandler& h_;
  UniqueBstr xsi_, nil_;
};

}  // namespace

std::string_view XmlBackendName() {
  const win::ComApartment com;
  CLSID clsid;
  const Progid* p = FindMsxml(clsid);
  return p ? p->name : std::string_view("MSXML mangler");
}

namespace detail {

void ParseXmlWithBackend(std::string_view document, IXmlContentHandler& handler) {
  const win::ComApartment com;
  CLSID clsid;
  if (!FindMsxml(clsid)) throw ProtocolError("MSXML er ikke installert");

  ComPtr<IXMLDOMDocument2> doc;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, win::kIID_IXMLDOMDocument2,
                         doc.put_void()),
        "CoCreateInstance");
  Check(doc->put_async(VARIANT_FALSE), "async");
  Check(doc->put_validateOnParse(VARIANT_FALSE), "validateOnParse");
  Check(doc->put_resolveExternals(VARIANT_FALSE), "resolveExternals");
  Check(doc->put_preserveWhiteSpace(VARIANT_TRUE), "preserveWhiteSpace");
  SetProperty(doc.get(), L"ProhibitDTD", true);

  // The bytes go in as they are, so the parser reads the encoding itself.
  UniqueVariant source;
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(document.size()));
  if (!bytes) throw ProtocolError("ikke nok minne til svaret");
  V_VT(source.put()) = VT_ARRAY | VT_UI1;
  V_ARRAY(source.get()) = bytes;  // owned by `source` from here
  void* data = nullptr;
  Check(SafeArrayAccessData(bytes, &data), "SafeArrayAccessData");
  std::memcpy(data, document.data(), document.size());
  SafeArrayUnaccessData(bytes);

  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT hr = doc->load(*source.get(), &loaded);
  if (FAILED(hr) || loaded != VARIANT_TRUE) {
    std::string why = "ukjent feil";
    ComPtr<IXMLDOMParseError> error;
    if (SUCCEEDED(doc->get_parseError(error.put())) && error) {
      UniqueBstr reason;
      long line = 0;
      error->get_line(&line);
      if (SUCCEEDED(error->get_reason(reason.put())) && reason.get()) {
        why = Utf8(reason.get());
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
          why.pop_back();
      }
      why = "linje " + std::to_string(line) + ": " + why;
    }
    throw ProtocolError("ikke velformet XML (" + why + ")");
  }
  Walker(handler).Children(doc.get());
}

}  // namespace detail

}  // namespace tindrel
