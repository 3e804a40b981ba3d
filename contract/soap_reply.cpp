// Reading replies: a state machine over the element events of xml_reader.h.
// Records are filled through the descriptors as their elements arrive; the
// result is handed out only when the whole document has been read and
// judged, so a failure never leaves a partial record with the caller.

#include <algorithm>
#include <bitset>
#include <limits>

#include "contract/soap_binding.h"
#include "contract/xml_reader.h"

namespace tindrel::soap {

namespace {

constexpr std::string_view kProtocolPrefix = "Ugyldig svar fra tjenesten: ";

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view Collapse(std::string_view s) {
  while (!s.empty() && IsXmlSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsXmlSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool OnlySpace(std::string_view s) {
  return std::all_of(s.begin(), s.end(), IsXmlSpace);
}

// A value quoted for an error text, cut so that a huge element cannot make a
// huge message.
std::string Quoted(std::string_view v) {
  constexpr size_t kMax = 40;
  std::string q = "'";
  q += v.substr(0, kMax);
  if (v.size() > kMax) q += "...";
  q += '\'';
  return q;
}

std::string Qualified(const XmlElement& e) {
  std::string s;
  if (!e.ns.empty()) {
    s += '{';
    s += e.ns;
    s += '}';
  }
  s += e.local;
  return s;
}

// xs:int / xs:short: optional sign, decimal digits, nothing else.
std::optional<int64_t> ParseXsInteger(std::string_view s, int64_t min, int64_t max) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return std::nullopt;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    v = v * 10 + (s[i] - '0');
    if (v > max + 1) return std::nullopt;  // leading zeros still fit
  }
  if (negative) v = -v;
  if (v < min || v > max) return std::nullopt;
  return v;
}

// A field sent as xsi:nil keeps no value, so the reader remembers it per
// record to see that a second element for it is a duplicate.
constexpr size_t kMaxRecordFields = 128;
static_assert(Tindrel2CustomerData2::kFieldCount <= kMaxRecordFields &&
              Tindrel2InspectionData2::kFieldCount <= kMaxRecordFields &&
              Tindrel2VehicleData2::kFieldCount <= kMaxRecordFields &&
              Tindrel2VehicleApprovalData2::kFieldCount <= kMaxRecordFields &&
              ORVSecurityToken2::kFieldCount <= kMaxRecordFields);

std::optional<bool> ParseXsBoolean(std::string_view s) {
  if (s == "true" || s == "1") return true;
  if (s == "false" || s == "0") return false;
  return std::nullopt;
}

class ReplyReader final : public IXmlContentHandler {
 public:
  explicit ReplyReader(const Operation& op) : op_(op) { stack_.reserve(kMaxXmlDepth + 1); }

  void StartElement(const XmlElement& e) override;
  void Characters(std::string_view s) override;
  void EndElement() override;
  Reply Finish();

 private:
  enum class Kind : uint8_t {
    Envelope, Body, Fault, FaultString, FaultCode, Wrapper, Array, Record, Value, Nil, Skip
  };
  struct Frame {
    Kind kind;
    bool sawChild = false;
    bool isResult = false;  // the result element itself
    Record* record = nullptr;
    size_t field = 0;  // Value: the field; Record: where the next lookup starts
    std::bitset<kMaxRecordFields> nil{};  // Record: fields sent as xsi:nil
  };

  [[noreturn]] static void Fail(const std::string& why) { throw ProtocolError(why); }
  bool IsNil(const XmlElement& e, std::string_view where) const;
  void StartInRecord(Frame& parent, const XmlElement& e);
  void StartResult(const XmlElement& e);
  void StoreValue(const Frame& f);

  const Operation& op_;
  std::vector<Frame> stack_;
  std::string text_;
  bool sawEnvelope_ = false, sawBody_ = false, sawWrapper_ = false, sawFault_ = false;
  std::string faultString_, faultCode_;
  Reply reply_;
};

bool ReplyReader::IsNil(const XmlElement& e, std::string_view where) const {
  if (!e.xsiNil) return false;
  const std::optional<bool> nil = ParseXsBoolean(Collapse(*e.xsiNil));
  if (!nil) Fail("ugyldig xsi:nil " + Quoted(*e.xsiNil) + " i " + std::string(where));
  return *nil;
}

void ReplyReader::StartElement(const XmlElement& e) {
  if (stack_.empty()) {
    if (sawEnvelope_ || e.ns != kEnvelopeNamespace || e.local != "Envelope")
      Fail("svaret er ikke en SOAP 1.1-konvolutt (rotelementet er " + Qualified(e) + ")");
    sawEnvelope_ = true;
    stack_.push_back({Kind::Envelope});
    return;
  }
  Frame& parent = stack_.back();
  const bool firstChild = !parent.sawChild;
  parent.sawChild = true;
  switch (parent.kind) {
    case Kind::Envelope:
      if (e.ns == kEnvelopeNamespace && e.local == "Body") {
        if (sawBody_) Fail("konvolutten har mer enn ett Body");
        sawBody_ = true;
        stack_.push_back({Kind::Body});
      } else {
        stack_.push_back({Kind::Skip});  // Header, or an extension after Body
      }
      return;
    case Kind::Body:
      if (!firstChild) Fail("Body har mer enn ett element");
      if (e.ns == kEnvelopeNamespace && e.local == "Fault") {
        sawFault_ = true;
        stack_.push_back({Kind::Fault});
        return;
      }
      if (e.ns != kTargetNamespace || e.local.size() != op_.name.size() + 8 ||
          e.local.substr(0, op_.name.size()) != op_.name || !e.local.ends_with("Response"))
        Fail("ventet {" + std::string(kTargetNamespace) + "}" + std::string(op_.name) +
             "Response, fikk " + Qualified(e));
      sawWrapper_ = true;
      stack_.push_back({Kind::Wrapper});
      return;
    case Kind::Fault:
      // faultcode and faultstring are unqualified; a namespace on them is
      // tolerated.
      if (e.local == "faultstring" || e.local == "faultcode") {
        text_.clear();
        stack_.push_back({e.local == "faultstring" ? Kind::FaultString : Kind::FaultCode});
      } else {
        stack_.push_back({Kind::Skip});
      }
      return;
    case Kind::Wrapper:
      if (!firstChild) Fail(std::string(op_.name) + "Response har mer enn ett element");
      StartResult(e);
      return;
    case Kind::Array: {
      if (e.ns != NamespaceUri(op_.type->ns) || e.local != op_.itemElement)
        Fail("ventet " + std::string(op_.itemElement) + " i listen, fikk " + Qualified(e));
      if (IsNil(e, op_.itemElement)) {
        stack_.push_back({Kind::Nil});
        return;
      }
      if (reply_.items.size() == kMaxReplyItems)
        Fail("listen har flere enn " + std::to_string(kMaxReplyItems) + " elementer");
      reply_.items.push_back(op_.type->create());
      Frame f{Kind::Record};
      f.record = reply_.items.back().get();
      stack_.push_back(f);
      return;
    }
    case Kind::Record:
      StartInRecord(parent, e);
      return;
    case Kind::Value:
    case Kind::FaultString:
    case Kind::FaultCode:
      Fail("uventet element " + Qualified(e) + " i en enkel verdi");
    case Kind::Nil:
      Fail("elementet med xsi:nil har innhold (" + Qualified(e) + ")");
    case Kind::Skip:
      stack_.push_back({Kind::Skip});
      return;
  }
}

void ReplyReader::StartResult(const XmlElement& e) {
  if (e.ns != kTargetNamespace || e.local != op_.resultElement)
    Fail("ventet {" + std::string(kTargetNamespace) + "}" + std::string(op_.resultElement) +
         ", fikk " + Qualified(e));
  // A nil result is no result, for the bool as well.
  if (IsNil(e, op_.resultElement)) {
    stack_.push_back({Kind::Nil});
    return;
  }
  Frame f{};
  f.isResult = true;
  switch (op_.kind) {
    case ResultKind::Record:
      reply_.record = op_.type->create();
      f.kind = Kind::Record;
      f.record = reply_.record.get();
      break;
    case ResultKind::Array:
      f.kind = Kind::Array;
      break;
    case ResultKind::String:
    case ResultKind::Bool:
      f.kind = Kind::Value;
      text_.clear();
      break;
  }
  stack_.push_back(f);
}

void ReplyReader::StartInRecord(Frame& parent, const XmlElement& e) {
  Record& r = *parent.record;
  const RecordType& type = r.Descriptor();
  const auto& fields = type.fields;
  size_t f = fields.size();
  if (e.ns == NamespaceUri(type.ns)) {
    // Elements arrive in field order, so the next one is almost always the
    // field after the last; anything else is found by name (the table is
    // sorted ordinally).
    for (size_t i = parent.field; i < fields.size() && i < parent.field + 2; ++i) {
      if (fields[i].name == e.local) {
        f = i;
        break;
      }
    }
    if (f == fields.size()) {
      const auto it = std::lower_bound(fields.begin(), fields.end(), e.local,
                                       [](const FieldInfo& fi, std::string_view n) {
                                         return fi.name < n;
                                       });
      if (it != fields.end() && it->name == e.local) f = static_cast<size_t>(it - fields.begin());
    }
  }
  if (f == fields.size()) {  // an element this contract does not know: skipped
    stack_.push_back({Kind::Skip});
    return;
  }
  const FieldInfo& fi = fields[f];
  if (r.Has(f) || parent.nil[f]) Fail("feltet " + std::string(fi.name) + " finnes to ganger");
  parent.field = f + 1;
  if (IsNil(e, fi.name)) {
    if (!fi.nillable)
      Fail("xsi:nil i feltet " + std::string(fi.name) + ", som alltid skal ha en verdi");
    parent.nil.set(f);
    stack_.push_back({Kind::Nil});
    return;
  }
  if (fi.kind == FieldKind::Record) {
    std::unique_ptr<Record> nested = fi.nested->create();
    Frame child{Kind::Record};
    child.record = nested.get();
    r.SetRecord(f, std::move(nested));
    stack_.push_back(child);
    return;
  }
  Frame child{Kind::Value};
  child.record = &r;
  child.field = f;
  text_.clear();
  stack_.push_back(child);
}

void ReplyReader::Characters(std::string_view s) {
  const Kind k = stack_.empty() ? Kind::Envelope : stack_.back().kind;
  if (k == Kind::Value || k == Kind::FaultString || k == Kind::FaultCode) {
    text_ += s;
  } else if (k != Kind::Skip && !OnlySpace(s)) {
    Fail(k == Kind::Nil ? "elementet med xsi:nil har innhold" : "uventet tekst " + Quoted(s));
  }
}

void ReplyReader::StoreValue(const Frame& f) {
  if (!f.record) {  // the String or Bool result
    if (op_.kind == ResultKind::String) {
      reply_.text = std::move(text_);
    } else {
      const std::optional<bool> b = ParseXsBoolean(Collapse(text_));
      if (!b) Fail("ugyldig xs:boolean " + Quoted(text_) + " i " + std::string(op_.resultElement));
      reply_.flag = *b;
    }
    return;
  }
  Record& r = *f.record;
  const FieldInfo& fi = r.Descriptor().fields[f.field];
  if (fi.kind == FieldKind::String) {
    r.SetString(f.field, std::move(text_));
    return;
  }
  const std::string_view v = Collapse(text_);
  auto bad = [&](const char* type) {
    Fail("ugyldig " + std::string(type) + " " + Quoted(text_) + " i feltet " +
         std::string(fi.name));
  };
  switch (fi.kind) {
    case FieldKind::Int32: {
      const auto n = ParseXsInteger(v, std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max());
      if (!n) bad("xs:int");
      r.SetInt32(f.field, static_cast<int32_t>(*n));
      break;
    }
    case FieldKind::Int16: {
      const auto n = ParseXsInteger(v, std::numeric_limits<int16_t>::min(),
                                    std::numeric_limits<int16_t>::max());
      if (!n) bad("xs:short");
      r.SetInt16(f.field, static_cast<int16_t>(*n));
      break;
    }
    case FieldKind::Bool: {
      const auto b = ParseXsBoolean(v);
      if (!b) bad("xs:boolean");
      r.SetBool(f.field, *b);
      break;
    }
    case FieldKind::DateTime: {
      // Validation only: the value keeps its text, no zone work here.
      auto dt = XsDateTime::Parse(v);
      if (!dt) bad("xs:dateTime");
      r.SetDateTime(f.field, std::make_unique<XsDateTime>(std::move(*dt)));
      break;
    }
    case FieldKind::Decimal: {
      auto d = XsDecimal::Parse(v);
      if (!d) bad("xs:decimal");
      r.SetDecimal(f.field, std::make_unique<XsDecimal>(std::move(*d)));
      break;
    }
    case FieldKind::String:
    case FieldKind::Record:
      break;
  }
}

void ReplyReader::EndElement() {
  const Frame f = stack_.back();
  stack_.pop_back();
  switch (f.kind) {
    case Kind::Value:
      StoreValue(f);
      break;
    case Kind::FaultString:
      faultString_ = std::move(text_);
      break;
    case Kind::FaultCode:
      faultCode_ = std::string(Collapse(text_));
      break;
    case Kind::Record:
      // An empty result element stands for no record, as a nil one does.
      if (f.isResult && !f.sawChild) reply_.record.reset();
      break;
    default:
      break;
  }
}

Reply ReplyReader::Finish() {
  if (!sawBody_) Fail("konvolutten har ikke noe Body");
  if (sawFault_) {
    if (!Collapse(faultString_).empty()) throw RemoteFault(faultString_);
    throw RemoteFault("Tjenesten svarte med en SOAP-feil uten tekst" +
                      (faultCode_.empty() ? std::string() : " (" + faultCode_ + ")"));
  }
  if (!sawWrapper_) Fail("Body er tomt");
  return std::move(reply_);
}

bool IsXmlMediaType(std::string_view contentType) {
  std::string media(Collapse(contentType.substr(0, contentType.find(';'))));
  for (char& c : media) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return media.empty() || media == "text/xml" || media == "application/xml" ||
         media == "application/soap+xml";
}

}  // namespace

ProtocolError ReplyTooLarge() {
  return ProtocolError(std::string(kProtocolPrefix) + "svaret er større enn " +
                       std::to_string(kMaxReplyBytes / (1024 * 1024)) + " MiB");
}

Reply ReadReply(std::string_view body, const Operation& op) {
  if (body.size() > kMaxReplyBytes) throw ReplyTooLarge();
  ReplyReader reader(op);
  try {
    ParseXml(body, reader);
    return reader.Finish();
  } catch (const ProtocolError& e) {
    throw ProtocolError(std::string(kProtocolPrefix) + e.what());
  }
}

Reply ReadHttpReply(const HttpReply& http, const Operation& op) {
  const bool ok = http.status >= 200 && http.status < 300;
  if (http.body.size() > kMaxReplyBytes) throw ReplyTooLarge();
  if (ok) {
    if (!IsXmlMediaType(http.contentType))
      throw ProtocolError(std::string(kProtocolPrefix) + "svaret er ikke SOAP (innholdstype " +
                          Quoted(http.contentType) + ")");
    return ReadReply(http.body, op);
  }
  if (IsXmlMediaType(http.contentType) && !OnlySpace(http.body)) {
    try {
      ReadReply(http.body, op);
    } catch (const RemoteFault&) {
      throw;
    } catch (const ProtocolError&) {
      // not a fault: the status says what went wrong
    }
  }
  throw TransportError("Tjenesten svarte med HTTP-feil " + std::to_string(http.status));
}

}  // namespace tindrel::soap
