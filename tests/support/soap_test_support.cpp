#include "soap_test_support.h"

#include <gtest/gtest.h>

#include "contract/xml_reader.h"

namespace tindrel::testing {

namespace {

class TreeBuilder final : public IXmlContentHandler {
 public:
  void StartElement(const XmlElement& e) override {
    XmlNode n;
    n.ns = std::string(e.ns);
    n.local = std::string(e.local);
    if (e.xsiNil) n.nil = std::string(*e.xsiNil);
    if (open_.empty()) {
      root = std::move(n);
      open_.push_back(&root);
    } else {
      open_.back()->children.push_back(std::move(n));
      open_.push_back(&open_.back()->children.back());
    }
  }
  void Characters(std::string_view s) override { open_.back()->text += s; }
  void EndElement() override { open_.pop_back(); }
  XmlNode root;

 private:
  std::vector<XmlNode*> open_;
};

// Texts that the wire must carry unchanged: markup characters, Norwegian
// letters, blanks at the ends, a CR that XML would otherwise normalise.
const char* const kTexts[] = {"Sølvgrå & <blå>", "  mellomrom  ", "linje 1\r\nlinje 2\tslutt",
                              "Ærlig Østby Åse", "]]> og \"anførsel\" 'enkel'", "",
                              "€ 𝄞 (utenfor BMP)"};

// Sets every field of `r` through the generic setters, each with a value
// derived from its index so that a value read into the wrong field shows.
void FillAll(Record& r, int seed) {
  const auto& fields = r.Descriptor().fields;
  for (size_t f = 0; f < fields.size(); ++f) {
    const int n = seed + static_cast<int>(f);
    switch (fields[f].kind) {
      case FieldKind::String:
        r.SetString(f, std::string(fields[f].name) + ": " + kTexts[n % std::size(kTexts)]);
        break;
      case FieldKind::Int32:
        r.SetInt32(f, n % 3 == 0 ? -100000 - n : 1000 * n + 7);
        break;
      case FieldKind::Int16:
        r.SetInt16(f, static_cast<int16_t>(n % 2 ? -32768 : 32767));
        break;
      case FieldKind::Bool:
        r.SetBool(f, n % 2 == 0);
        break;
      case FieldKind::DateTime: {
        static const char* const kDates[] = {"2019-03-01T00:00:00", "2020-11-02T13:45:30.1234567+01:00",
                                             "2018-05-30T22:00:00Z", "1900-01-01T00:00:00",
                                             "2031-01-01T00:00:00.5-05:30"};
        r.SetDateTime(f, Dt(kDates[n % std::size(kDates)]));
        break;
      }
      case FieldKind::Decimal:
        r.SetDecimal(f, Dec("-1234567890123.00001")  /* 18 digits, the least every processor takes */);
        break;
      case FieldKind::Record: {
        std::unique_ptr<Record> nested = fields[f].nested->create();
        FillAll(*nested, n * 7);
        r.SetRecord(f, std::move(nested));
        break;
      }
    }
  }
}

template <class T>
std::unique_ptr<T> Full(int seed) {
  auto r = std::make_unique<T>();
  FillAll(*r, seed);
  return r;
}

}  // namespace

const XmlNode& XmlNode::Child(std::string_view name) const {
  const XmlNode* found = nullptr;
  int count = 0;
  for (const XmlNode& c : children)
    if (c.local == name) found = &c, ++count;
  EXPECT_EQ(count, 1) << "child " << name << " of " << local;
  static const XmlNode kNone;
  return found ? *found : kNone;
}

std::vector<std::string> XmlNode::ChildNames() const {
  std::vector<std::string> names;
  for (const XmlNode& c : children) names.push_back(c.local);
  return names;
}

XmlNode ReadTree(std::string_view document) {
  TreeBuilder b;
  ParseXml(document, b);
  return std::move(b.root);
}

XmlNode RequestOperation(std::string_view envelope) {
  XmlNode root = ReadTree(envelope);
  EXPECT_EQ(root.ns, soap::kEnvelopeNamespace);
  EXPECT_EQ(root.local, "Envelope");
  const XmlNode& body = root.Child("Body");
  EXPECT_EQ(body.children.size(), 1u);
  return body.children.empty() ? XmlNode{} : body.children[0];
}

void FakeTransport::Queue(int status, std::string body, std::string contentType) {
  replies_.push_back(HttpReply{status, std::move(contentType), std::move(body)});
}

HttpReply FakeTransport::Post(const std::string& url, const std::string& soapAction,
                              const std::string& contentType, const std::string& body) {
  requests.push_back({url, soapAction, contentType, body});
  if (replies_.empty()) throw TransportError("no reply queued");
  HttpReply r = std::move(replies_.front());
  replies_.pop_front();
  return r;
}

std::string ReplyEnvelope(const soap::Operation& op, std::string_view inner, std::string_view p) {
  std::string s = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><";
  s += op.name;
  s += "Response xmlns=\"http://tempuri.org/\"><";
  s += op.resultElement;
  s += " xmlns:";
  s += p;
  s += "=\"";
  s += op.type && op.type->ns == XmlNamespace::Security ? soap::kSecurityNamespace
                                                         : soap::kContractsNamespace;
  s += "\" xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\">";
  s += inner;
  s += "</";
  s += op.resultElement;
  s += "></";
  s += op.name;
  s += "Response></s:Body></s:Envelope>";
  return s;
}

std::string RecordReply(const soap::Operation& op, const Record* record) {
  std::string s = "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><";
  s += op.name;
  s += "Response xmlns=\"http://tempuri.org/\">";
  soap::AppendRecordElement(s, op.resultElement, record);
  s += "</";
  s += op.name;
  s += "Response></s:Body></s:Envelope>";
  return s;
}

std::unique_ptr<ORVSecurityToken2> FullToken() { return Full<ORVSecurityToken2>(1); }
std::unique_ptr<Tindrel2CustomerData2> FullCustomer() { return Full<Tindrel2CustomerData2>(2); }
std::unique_ptr<Tindrel2VehicleApprovalData2> FullApproval() {
  return Full<Tindrel2VehicleApprovalData2>(3);
}
std::unique_ptr<Tindrel2VehicleData2> FullVehicle() { return Full<Tindrel2VehicleData2>(4); }
std::unique_ptr<Tindrel2InspectionData2> FullInspection() {
  return Full<Tindrel2InspectionData2>(5);
}

std::unique_ptr<XsDateTime> Dt(std::string_view text) {
  auto v = XsDateTime::Parse(text);
  EXPECT_TRUE(v.has_value()) << text;
  return v ? std::make_unique<XsDateTime>(*v) : nullptr;
}

std::unique_ptr<XsDecimal> Dec(std::string_view text) {
  auto v = XsDecimal::Parse(text);
  EXPECT_TRUE(v.has_value()) << text;
  return v ? std::make_unique<XsDecimal>(*v) : nullptr;
}

}  // namespace tindrel::testing
