// Requests as they go on the wire: element order, namespaces, texts, nil,
// and (natively, where xmllint is at hand) validity against the contract's
// schemas.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>
#endif

#include "contract/service.h"
#include "contract/soap_binding.h"
#include "soap_test_support.h"

namespace tindrel {
namespace {

using namespace testing;

std::unique_ptr<ORVSecurityToken2> CachedToken() {
  auto t = std::make_unique<ORVSecurityToken2>();
  t->SetCustomerName("Testverkstedet AS");
  t->SetCustomerNo(4242);
  t->SetSalt("VERKSTED-PC");
  t->SetSignature("SIG-verksted-1");
  t->SetUserID(7);
  t->SetUserName("verksted");
  t->SetValidTo(Dt("2030-12-31T12:00:00.000+01:00"));
  return t;
}

// Runs one call on a proxy whose transport answers `reply`, and returns the
// request it sent.
template <typename Call>
FakeTransport::Request Sent(Call call, std::string reply = "") {
  auto transport = std::make_shared<FakeTransport>();
  transport->Queue(200, reply.empty() ? "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/"
                                        "envelope/\"><s:Body><X xmlns=\"http://tempuri.org/\"/>"
                                        "</s:Body></s:Envelope>"
                                      : reply);
  auto proxy = CreateServiceProxy(false, "https://example.invalid/svc", transport);
  try {
    call(*proxy);
  } catch (const ProtocolError&) {
    // The placeholder reply does not fit the operation; only the request matters.
  }
  EXPECT_EQ(transport->requests.size(), 1u);
  return transport->requests.empty() ? FakeTransport::Request{} : transport->requests[0];
}

TEST(SoapRequest, GoldenGetVehicleData) {
  const auto token = CachedToken();
  const auto rq = Sent([&](ITindrel2Service& s) { s.GetVehicleData("AB12345", token.get()); });
  EXPECT_EQ(rq.url, "https://example.invalid/svc");
  EXPECT_EQ(rq.soapAction, "\"http://tempuri.org/ITindrel2Service/GetVehicleData\"");
  EXPECT_EQ(rq.contentType, "text/xml; charset=utf-8");
  EXPECT_EQ(rq.body,
            "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
            "<GetVehicleData xmlns=\"http://tempuri.org/\"><regNo>AB12345</regNo>"
            "<token xmlns:b=\"http://schemas.datacontract.org/2004/07/ORV.Services.Security\" "
            "xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\">"
            "<b:CustomerName>Testverkstedet AS</b:CustomerName><b:CustomerNo>4242</b:CustomerNo>"
            "<b:Salt>VERKSTED-PC</b:Salt><b:Signature>SIG-verksted-1</b:Signature>"
            "<b:UserID>7</b:UserID><b:UserName>verksted</b:UserName>"
            "<b:ValidTo>2030-12-31T12:00:00.000+01:00</b:ValidTo></token>"
            "</GetVehicleData></s:Body></s:Envelope>");
}

TEST(SoapRequest, GoldenSaveInspectionWithNestedCustomer) {
  Tindrel2InspectionData2 in;
  in.SetCreateSucceeded(false);
  auto customer = std::make_unique<Tindrel2CustomerData2>();
  customer->SetCustomerNo("1001");
  customer->SetIsCompany(true);
  in.SetCustomer(std::move(customer));
  in.SetRegNo("AB12345");
  const auto rq = Sent([&](ITindrel2Service& s) { s.SaveInspection(in, nullptr); });
  EXPECT_EQ(rq.soapAction, "\"http://tempuri.org/ITindrel2Service/SaveInspection\"");
  EXPECT_EQ(rq.body,
            "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
            "<SaveInspection xmlns=\"http://tempuri.org/\">"
            "<inspectionData xmlns:a=\"http://schemas.datacontract.org/2004/07/"
            "ORV.Services.Tindrel2.Contracts\" xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\">"
            "<a:CreateSucceeded>false</a:CreateSucceeded><a:Customer><a:CustomerNo>1001"
            "</a:CustomerNo><a:IsCompany>true</a:IsCompany></a:Customer><a:RegNo>AB12345</a:RegNo>"
            "</inspectionData><token i:nil=\"true\" xmlns:i=\"http://www.w3.org/2001/"
            "XMLSchema-instance\"/></SaveInspection></s:Body></s:Envelope>");
}

TEST(SoapRequest, PeriodParametersInOrderWithTheirTexts) {
  const auto token = CachedToken();
  for (bool history : {true, false}) {
    const auto rq = Sent([&](ITindrel2Service& s) {
      if (history)
        s.GetInspectionsForVehicleForPeriod("AB12345", 3, 2019, token.get());
      else
        s.IsVehicleApprovedForPeriod("AB12345", 3, 2019, token.get());
    });
    const XmlNode op = RequestOperation(rq.body);
    EXPECT_EQ(op.ns, soap::kTargetNamespace);
    EXPECT_EQ(op.local, history ? "GetInspectionsForVehicleForPeriod" : "IsVehicleApprovedForPeriod");
    EXPECT_EQ(op.ChildNames(), (std::vector<std::string>{"regNo", "month", "year", "token"}));
    for (const XmlNode& c : op.children) EXPECT_EQ(c.ns, soap::kTargetNamespace) << c.local;
    EXPECT_EQ(op.Child("regNo").text, "AB12345");
    EXPECT_EQ(op.Child("month").text, "3");
    EXPECT_EQ(op.Child("year").text, "2019");
    EXPECT_EQ(op.Child("token").children.size(), 7u);
  }
}

TEST(SoapRequest, OnlyFlaggedFieldsTravelInFieldOrder) {
  Tindrel2CustomerData2 c;
  c.SetName("Nordmann");  // set out of order: the wire order is the table's
  c.SetCustomerNo("1003");
  const auto rq = Sent([&](ITindrel2Service& s) { s.SaveCustomer(c, nullptr); });
  const XmlNode op = RequestOperation(rq.body);
  const XmlNode& data = op.Child("customerData");
  EXPECT_EQ(data.ns, soap::kTargetNamespace);
  EXPECT_EQ(data.ChildNames(), (std::vector<std::string>{"CustomerNo", "Name"}));
  for (const XmlNode& f : data.children) EXPECT_EQ(f.ns, soap::kContractsNamespace);
  EXPECT_EQ(data.Child("CustomerNo").text, "1003");
  EXPECT_EQ(data.Child("Name").text, "Nordmann");
}

TEST(SoapRequest, EmptyFalseAndEmptyStringAreValuesToo) {
  Tindrel2CustomerData2 empty;
  EXPECT_TRUE(RequestOperation(Sent([&](ITindrel2Service& s) { s.SaveCustomer(empty, nullptr); })
                                   .body)
                  .Child("customerData")
                  .children.empty());
  Tindrel2CustomerData2 c;
  c.SetCustomerNo("");
  c.SetIsCompany(false);
  c.SetCustomerNoInternal(0);
  const XmlNode op =
      RequestOperation(Sent([&](ITindrel2Service& s) { s.SaveCustomer(c, nullptr); }).body);
  const XmlNode& data = op.Child("customerData");
  EXPECT_EQ(data.ChildNames(),
            (std::vector<std::string>{"CustomerNo", "CustomerNoInternal", "IsCompany"}));
  EXPECT_EQ(data.Child("CustomerNo").text, "");
  EXPECT_FALSE(data.Child("CustomerNo").nil);
  EXPECT_EQ(data.Child("CustomerNoInternal").text, "0");
  EXPECT_EQ(data.Child("IsCompany").text, "false");
}

TEST(SoapRequest, NestedCustomerSitsBetweenCreateSucceededAndCustomerNo) {
  Tindrel2InspectionData2 in;
  in.SetRegNo("AB12345");
  in.SetCustomerNo("1001");
  in.SetCreateSucceeded(true);
  in.SetCount0(40);
  const auto without = RequestOperation(
      Sent([&](ITindrel2Service& s) { s.SaveInspection(in, nullptr); }).body);
  EXPECT_EQ(without.Child("inspectionData").ChildNames(),
            (std::vector<std::string>{"Count0", "CreateSucceeded", "CustomerNo", "RegNo"}));

  auto customer = std::make_unique<Tindrel2CustomerData2>();
  customer->SetName("Bilservice Nord AS");
  customer->SetZipCode("9008");
  in.SetCustomer(std::move(customer));
  const auto with = RequestOperation(
      Sent([&](ITindrel2Service& s) { s.SaveInspection(in, nullptr); }).body);
  const XmlNode& data = with.Child("inspectionData");
  EXPECT_EQ(data.ChildNames(), (std::vector<std::string>{"Count0", "CreateSucceeded", "Customer",
                                                         "CustomerNo", "RegNo"}));
  const XmlNode& nested = data.Child("Customer");
  EXPECT_EQ(nested.ns, soap::kContractsNamespace);
  EXPECT_EQ(nested.ChildNames(), (std::vector<std::string>{"Name", "ZipCode"}));
  for (const XmlNode& f : nested.children) EXPECT_EQ(f.ns, soap::kContractsNamespace);
}

TEST(SoapRequest, NullReferencesAreNilOrLeftOut) {
  const auto noToken = RequestOperation(Sent([](ITindrel2Service& s) { s.GetCustomers(nullptr); }).body);
  EXPECT_EQ(noToken.Child("token").nil, "true");
  EXPECT_TRUE(noToken.Child("token").children.empty());

  // Flagged but null: nillable fields go as nil, a value type is left out
  // (nil there would make the service refuse the whole request).
  Tindrel2InspectionData2 in;
  in.SetCustomer(nullptr);
  in.SetInspectionCreatedDate(nullptr);
  ORVSecurityToken2 token;
  token.SetSignature("S");
  token.SetValidTo(nullptr);
  const auto op = RequestOperation(
      Sent([&](ITindrel2Service& s) { s.SaveInspection(in, &token); }).body);
  const XmlNode& data = op.Child("inspectionData");
  EXPECT_EQ(data.ChildNames(), (std::vector<std::string>{"Customer", "InspectionCreatedDate"}));
  EXPECT_EQ(data.Child("Customer").nil, "true");
  EXPECT_EQ(data.Child("InspectionCreatedDate").nil, "true");
  EXPECT_EQ(op.Child("token").ChildNames(), (std::vector<std::string>{"Signature"}));
}

TEST(SoapRequest, PlainParametersCarryTheirTextExactly) {
  const auto op = RequestOperation(Sent([](ITindrel2Service& s) {
                    s.Authenticate("verksted", "h<e>m&m\"e'lig 1 ", "PC-Ø\r\n");
                  }).body);
  EXPECT_EQ(op.ChildNames(), (std::vector<std::string>{"userName", "password", "salt"}));
  EXPECT_EQ(op.Child("password").text, "h<e>m&m\"e'lig 1 ");
  EXPECT_EQ(op.Child("salt").text, "PC-Ø\r\n");
}

// An argument of every parameter type the operations have.
struct AnyArgument {
  const ORVSecurityToken2* token = nullptr;
  Tindrel2CustomerData2 customer;
  Tindrel2InspectionData2 inspection;
  operator std::string() const { return "A"; }
  operator int32_t() const { return 2020; }
  operator const ORVSecurityToken2*() const { return token; }
  operator const Tindrel2CustomerData2&() const { return customer; }
  operator const Tindrel2InspectionData2&() const { return inspection; }
};

template <class Result, class... Parameters>
void CallWith(ITindrel2Service& s, Result (ITindrel2Service::*method)(Parameters...),
              const AnyArgument& a) {
  (s.*method)(static_cast<Parameters>(a)...);
}

TEST(SoapRequest, EveryOperationHasItsWrapperAndAction) {
  const auto token = CachedToken();
  AnyArgument a;
  a.token = token.get();
  const struct {
    std::string_view name;
    std::function<void(ITindrel2Service&)> call;
  } operations[] = {
#define TINDREL_CALL_OPERATION(Name, ...) \
  {#Name, [&](ITindrel2Service& s) { CallWith(s, &ITindrel2Service::Name, a); }},
      TINDREL_SERVICE_OPERATIONS(TINDREL_CALL_OPERATION)
#undef TINDREL_CALL_OPERATION
  };
  ASSERT_EQ(std::size(operations), std::size(soap::kOperations));
  for (size_t i = 0; i < std::size(operations); ++i) {
    const std::string_view name = operations[i].name;
    EXPECT_EQ(soap::kOperations[i]->name, name) << "binding table out of interface order";
    const auto rq = Sent(operations[i].call);
    EXPECT_EQ(rq.soapAction, "\"http://tempuri.org/ITindrel2Service/" + std::string(name) + "\"");
    EXPECT_EQ(RequestOperation(rq.body).local, name);
  }
}

#ifndef _WIN32
// Schema validation with xmllint: the operation element (the Body's child)
// of each request, against the contract's all.xsd.

std::filesystem::path ContractDir() {
  return std::filesystem::path(TINDREL_SOURCE_DIR) / "contract" / "schema";
}

// Writes the Body's child of `envelope` as a document of its own; libxml2
// copies the namespace declarations it needs.
void WriteBodyChild(const std::string& envelope, const std::filesystem::path& file) {
  xmlDocPtr doc = xmlReadMemory(envelope.data(), static_cast<int>(envelope.size()), nullptr,
                                nullptr, XML_PARSE_NONET);
  ASSERT_NE(doc, nullptr);
  xmlNodePtr body = xmlDocGetRootElement(doc)->children;
  while (body && body->type != XML_ELEMENT_NODE) body = body->next;
  ASSERT_NE(body, nullptr);
  xmlNodePtr op = body->children;
  while (op && op->type != XML_ELEMENT_NODE) op = op->next;
  ASSERT_NE(op, nullptr);
  xmlDocPtr out = xmlNewDoc(BAD_CAST "1.0");
  xmlDocSetRootElement(out, xmlDocCopyNode(op, out, 1));
  xmlSaveFormatFileEnc(file.c_str(), out, "UTF-8", 0);
  xmlFreeDoc(out);
  xmlFreeDoc(doc);
}

TEST(SoapRequestSchema, EveryRequestValidatesAgainstTheContract) {
  const auto schema = ContractDir() / "all.xsd";
  ASSERT_TRUE(std::filesystem::exists(schema)) << "no contract at " << schema;
  ASSERT_EQ(std::system("xmllint --version >/dev/null 2>&1"), 0) << "xmllint missing";

  const auto token = CachedToken();
  const auto fullCustomer = FullCustomer();
  const auto fullInspection = FullInspection();  // nested customer and 71-field vehicle
  Tindrel2InspectionData2 nilNested;
  nilNested.SetCustomer(nullptr);
  nilNested.SetVehicle(nullptr);
  nilNested.SetInspectionConcludedDate(nullptr);
  const std::function<void(ITindrel2Service&)> calls[] = {
      [&](ITindrel2Service& s) { s.GetVehicleData("AB12345", token.get()); },
      [&](ITindrel2Service& s) { s.GetVehicleData("", nullptr); },
      [&](ITindrel2Service& s) { s.GetCustomers(token.get()); },
      [&](ITindrel2Service& s) { s.GetCustomer("1001", token.get()); },
      [&](ITindrel2Service& s) { s.SaveCustomer(*fullCustomer, token.get()); },
      [&](ITindrel2Service& s) { s.SaveInspection(*fullInspection, token.get()); },
      [&](ITindrel2Service& s) { s.SaveInspection(nilNested, FullToken().get()); },
      [&](ITindrel2Service& s) { s.GetInspectionURL("K-1001", token.get()); },
      [&](ITindrel2Service& s) { s.Authenticate("verksted", "h&<>", "PC"); },
      [&](ITindrel2Service& s) { s.RenewToken(token.get()); },
      [&](ITindrel2Service& s) { s.IsTokenValid(nullptr); },
      [&](ITindrel2Service& s) { s.IsVehicleApprovedForPeriod("AB12345", 3, 2019, token.get()); },
      [&](ITindrel2Service& s) {
        s.GetInspectionsForVehicleForPeriod("AB12345", -2147483647 - 1, 2147483647, token.get());
      },
      [&](ITindrel2Service& s) { s.GetInspectionData("K-1001", token.get()); },
  };
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tindrel-soap-schema-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string command = "xmllint --noout --schema '" + schema.string() + "'";
  int n = 0;
  for (const auto& call : calls) {
    const auto file = dir / ("request" + std::to_string(++n) + ".xml");
    WriteBodyChild(Sent(call).body, file);
    command += " '" + file.string() + "'";
  }
  command += " 2>&1";
  std::string output;
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[4096];
  while (size_t got = fread(buf, 1, sizeof buf, p)) output.append(buf, got);
  const int status = pclose(p);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(status, 0) << output;
  size_t validated = 0;
  for (size_t at = 0; (at = output.find(" validates", at)) != std::string::npos; ++at) ++validated;
  EXPECT_EQ(validated, std::size(calls)) << output;
}
#endif

}  // namespace
}  // namespace tindrel
