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
#include <utility>

#include "contract/errors.h"
#include "contract/text.h"
#include "contract/xml_reader.h"

namespace tindrel {

namespace {

// IXMLDOMDocument2 (setProperty) is not in mingw-w64's uuid library.
constexpr IID kIID_IXMLDOMDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  void Swap(ComPtr& other) { std::swap(p_, other.p_); }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* s) : b_(SysAllocString(s)) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }
  BSTR Get() const { return b_; }
  BSTR* Put() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::string Utf8() const {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(b_), SysStringLen(b_)));
  }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT* Put() {
    VariantClear(&v_);
    return &v_;
  }
  VARIANT& Get() { return v_; }

 private:
  VARIANT v_;
};

// COM for the current thread, for as long as the parse lasts. The program's
// thread has COM already (then this only counts up and down); a thread in
// another apartment keeps it (MSXML's DOM works in both).
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

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
  Bstr n(name);
  Variant v;
  V_VT(&v.Get()) = VT_BOOL;
  V_BOOL(&v.Get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
  Check(doc->setProperty(n.Get(), v.Get()), "setProperty");
}

class Walker {
 public:
  explicit Walker(IXmlContentHandler& h) : h_(h), xsi_(L"http://www.w3.org/2001/XMLSchema-instance"), nil_(L"nil") {}

  void Children(IXMLDOMNode* parent) {
    ComPtr<IXMLDOMNode> child;
    Check(parent->get_firstChild(child.Put()), "firstChild");
    while (child) {
      Node(child.Get());
      ComPtr<IXMLDOMNode> next;
      Check(child->get_nextSibling(next.Put()), "nextSibling");
      child.Swap(next);
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
        Variant value;
        Check(node->get_nodeValue(value.Put()), "nodeValue");
        if (V_VT(&value.Get()) == VT_BSTR) {
          const BSTR b = V_BSTR(&value.Get());
          h_.Characters(Utf16ToUtf8(
              std::u16string_view(reinterpret_cast<const char16_t*>(b), SysStringLen(b))));
        }
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
    Bstr ns, local;
    Check(node->get_namespaceURI(ns.Put()), "namespaceURI");
    Check(node->get_baseName(local.Put()), "baseName");
    const std::string ns8 = ns.Utf8(), local8 = local.Utf8();
    XmlElement e{ns8, local8, std::nullopt};

    std::string nilValue;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    Check(node->get_attributes(attributes.Put()), "attributes");
    if (attributes) {
      ComPtr<IXMLDOMNode> nil;
      if (attributes->getQualifiedItem(nil_.Get(), xsi_.Get(), nil.Put()) == S_OK && nil) {
        Variant value;
        Check(nil->get_nodeValue(value.Put()), "nodeValue");
        if (V_VT(&value.Get()) == VT_BSTR) {
          const BSTR b = V_BSTR(&value.Get());
          nilValue = Utf16ToUtf8(
              std::u16string_view(reinterpret_cast<const char16_t*>(b), SysStringLen(b)));
        }
        e.xsiNil = nilValue;
      }
    }
    h_.StartElement(e);
    Children(node);
    h_.EndElement();
  }

  IXmlContentHandler& h_;
  Bstr xsi_, nil_;
};

}  // namespace

std::string_view XmlBackendName() {
  ComScope com;
  CLSID clsid;
  const Progid* p = FindMsxml(clsid);
  return p ? p->name : std::string_view("MSXML mangler");
}

namespace detail {

void ParseXmlWithBackend(std::string_view document, IXmlContentHandler& handler) {
  ComScope com;
  CLSID clsid;
  if (!FindMsxml(clsid)) throw ProtocolError("MSXML er ikke installert");

  ComPtr<IXMLDOMDocument2> doc;
  Check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIID_IXMLDOMDocument2,
                         reinterpret_cast<void**>(doc.Put())),
        "CoCreateInstance");
  Check(doc->put_async(VARIANT_FALSE), "async");
  Check(doc->put_validateOnParse(VARIANT_FALSE), "validateOnParse");
  Check(doc->put_resolveExternals(VARIANT_FALSE), "resolveExternals");
  Check(doc->put_preserveWhiteSpace(VARIANT_TRUE), "preserveWhiteSpace");
  SetProperty(doc.Get(), L"ProhibitDTD", true);

  // The bytes go in as they are, so the parser reads the encoding itself.
  Variant source;
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(document.size()));
  if (!bytes) throw ProtocolError("ikke nok minne til svaret");
  V_VT(source.Put()) = VT_ARRAY | VT_UI1;
  V_ARRAY(&source.Get()) = bytes;  // owned by `source` from here
  void* data = nullptr;
  Check(SafeArrayAccessData(bytes, &data), "SafeArrayAccessData");
  std::memcpy(data, document.data(), document.size());
  SafeArrayUnaccessData(bytes);

  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT hr = doc->load(source.Get(), &loaded);
  if (FAILED(hr) || loaded != VARIANT_TRUE) {
    std::string why = "ukjent feil";
    ComPtr<IXMLDOMParseError> error;
    if (SUCCEEDED(doc->get_parseError(error.Put())) && error) {
      Bstr reason;
      long line = 0;
      error->get_line(&line);
      if (SUCCEEDED(error->get_reason(reason.Put())) && reason.Get()) {
        why = reason.Utf8();
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
          why.pop_back();
      }
      why = "linje " + std::to_string(line) + ": " + why;
    }
    throw ProtocolError("ikke velformet XML (" + why + ")");
  }
  Walker(handler).Children(doc.Get());
}

}  // namespace detail

}  // namespace tindrel
