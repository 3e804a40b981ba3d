// The proxy as the session uses it: CreateServiceProxy with an injected
// transport, results that belong to the caller, failures as the hierarchy's
// exceptions.

#include <gtest/gtest.h>

#include <functional>

#include "base/errors.h"
#include "contract/http_transport.h"
#include "contract/service.h"
#include "double_replies.h"
#include "fake_service.h"
#include "soap_test_support.h"

namespace tindrel {
namespace {

using namespace testing;
namespace dr = double_replies;

struct Fixture {
  std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
  std::shared_ptr<ITindrel2Service> proxy =
      CreateServiceProxy(false, "http://127.0.0.1:8080/ORVNewPL/Services/Tindrel2Service.svc",
                         transport);
};

TEST(ServiceProxy, AddressesAndDefaults) {
  auto transport = std::make_shared<FakeTransport>();
  transport->Queue(200, std::string(dr::kIsTokenValidReply));
  transport->Queue(200, std::string(dr::kIsTokenValidReply));
  transport->Queue(200, std::string(dr::kIsTokenValidReply));
  CreateServiceProxy(false, "", transport)->IsTokenValid(nullptr);
  CreateServiceProxy(true, "https://h.example/ORVNewPL/Services/Tindrel2Service.svc?Wsdl", transport)
      ->IsTokenValid(nullptr);
  CreateServiceProxy(true, "", transport)->IsTokenValid(nullptr);
  ASSERT_EQ(transport->requests.size(), 3u);
  EXPECT_EQ(transport->requests[0].url, kDefaultServiceAddress);
  EXPECT_EQ(transport->requests[1].url, "https://h.example/ORVNewPL/Services/Tindrel2Service.svc");
  EXPECT_EQ(transport->requests[2].url, kDefaultServiceAddress);
  EXPECT_TRUE(kDefaultServiceAddress.starts_with("https://"));
  EXPECT_TRUE(kDefaultServiceAddress.ends_with("Tindrel2Service.svc"));
}

TEST(ServiceProxy, ResultsBecomeTheCallers) {
  Fixture f;
  f.transport->Queue(200, std::string(dr::kCustomersReply));
  f.transport->Queue(200, std::string(dr::kHistoryReply));
  f.transport->Queue(200, std::string(dr::kTokenReply));
  f.transport->Queue(200, std::string(dr::kUrlReply));
  f.transport->Queue(200, std::string(dr::kVehicleNilReply));

  const ArrayOfTindrel2CustomerData customers = f.proxy->GetCustomers(nullptr);
  ASSERT_EQ(customers.Length(), 3u);
  EXPECT_EQ(customers[0].CustomerNo(), "1001");
  EXPECT_EQ(customers[2].Name(), "Nordmann");
  const ArrayOfTindrel2VehicleApprovalData history =
      f.proxy->GetInspectionsForVehicleForPeriod("AB12345", 3, 2019, nullptr);
  ASSERT_EQ(history.Length(), 2u);
  EXPECT_EQ(history[0].ApprovedInspectionNo(), "K-1001");
  const auto token = f.proxy->Authenticate("verksted", "hemmelig1", "VERKSTED-PC");
  ASSERT_TRUE(token);
  EXPECT_EQ(token->Signature(), "SIG-verksted-1");
  EXPECT_EQ(token->CustomerNo(), 4242);
  EXPECT_EQ(token->ValidTo()->Text(), "2030-12-31T12:00:00+01:00");
  EXPECT_EQ(f.proxy->GetInspectionURL("K-1001", token.get()),
            "https://example.invalid/kontroll/K-1001?a=1&b=2");
  EXPECT_EQ(f.proxy->GetVehicleData("ZZ99999", token.get()), nullptr);
}

TEST(ServiceProxy, FailuresSurfaceAsTheHierarchysExceptions) {
  Fixture f;
  f.transport->Queue(500, std::string(dr::kBadTokenFault));
  f.transport->Queue(500, "Intern serverfeil", "text/plain");
  f.transport->Queue(200, std::string(dr::kVehicleAB12345Reply.substr(0, 300)));
  try {
    f.proxy->GetVehicleData("AB12345", nullptr);
    FAIL();
  } catch (const RemoteFault& e) {
    EXPECT_STREQ(e.what(), "Ugyldig eller utløpt token");
  }
  EXPECT_THROW(f.proxy->GetVehicleData("AB12345", nullptr), TransportError);
  EXPECT_THROW(f.proxy->GetVehicleData("AB12345", nullptr), ProtocolError);
  // The transport's own failure passes through as it is.
  try {
    f.proxy->GetVehicleData("AB12345", nullptr);
    FAIL();
  } catch (const TransportError& e) {
    EXPECT_STREQ(e.what(), "no reply queued");
  }
}

// Every request leaves one line: its outcome, a transport's code, and of a
// fault's text only what names no value.
TEST(ServiceProxy, EachRequestLeavesOneLogLine) {
  struct CodedFailure final : IHttpTransport {
    HttpReply Post(const std::string&, const std::string&, const std::string&,
                   const std::string&) override {
      throw CodedTransportError("Tidsavbrudd mot tjenesten", 12002);
    }
  };
  const auto log = test::FakeLogFile::Install();
  Fixture f;
  const auto token = FullToken();
  token->SetUserName("verksted");
  auto customer = FullCustomer();
  customer->SetFirstName("kari");
  const std::string fault =
      "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><s:Fault>"
      "<faultcode>s:Client</faultcode><faultstring>Kunden kari AB12345 finnes ikke for "
      "verksted</faultstring></s:Fault></s:Body></s:Envelope>";
  const struct {
    int status;
    std::string body;
    std::string_view contentType;
    std::function<void()> call;
    std::string_view line;  // after the duration
  } rows[] = {
      {200, std::string(dr::kIsTokenValidReply), soap::kContentType,
       [&] { f.proxy->IsTokenValid(token.get()); }, "op=IsTokenValid result=answered"},
      {200, std::string(dr::kVehicleNilReply), soap::kContentType,
       [&] { f.proxy->GetVehicleData("AB12345", token.get()); }, "op=GetVehicleData result=empty"},
      {200, RecordReply(soap::kSaveCustomer, customer.get()), soap::kContentType,
       [&] { f.proxy->SaveCustomer(*customer, token.get()); }, "op=SaveCustomer result=saved"},
      {500, fault, soap::kContentType, [&] { f.proxy->SaveCustomer(*customer, token.get()); },
       "op=SaveCustomer result=fault text=\"… finnes ikke for …\""},
      {500, "Intern serverfeil", "text/plain",
       [&] { f.proxy->GetVehicleData("AB12345", token.get()); },
       "op=GetVehicleData result=transport text=\"Tjenesten svarte med HTTP-feil 500\""},
      {200, std::string(dr::kVehicleAB12345Reply.substr(0, 300)), soap::kContentType,
       [&] { f.proxy->GetVehicleData("AB12345", token.get()); },
       "op=GetVehicleData result=unreadable text="},
      {0, {}, {}, [&] {
         CreateServiceProxy(false, "https://h.example/svc", std::make_shared<CodedFailure>())
             ->Authenticate("verksted", "hemmelig1", "PC");
       },
       "op=Authenticate result=transport code=12002 text=\"Tidsavbrudd mot tjenesten\""},
  };
  for (const auto& row : rows) {
    log.file->current.clear();
    if (row.status) f.transport->Queue(row.status, row.body, std::string(row.contentType));
    try {
      row.call();
    } catch (const Error&) {
    }
    std::string line = log.file->current;
    // The fixed stamp and kind, then the duration, which varies.
    const std::string head = "2026-12-10 03:04:05.067 pid=4242 request      ";
    ASSERT_TRUE(line.starts_with(head)) << line;
    line.erase(0, head.size());
    const size_t ms = line.find(" ms=");
    ASSERT_NE(ms, std::string::npos) << line;
    line.erase(ms, line.find(' ', ms + 1) - ms);
    EXPECT_TRUE(line.starts_with(row.line)) << line;
    EXPECT_TRUE(line.ends_with("\r\n") && line.find("AB12345") == std::string::npos) << line;
  }
}

#ifndef _WIN32
TEST(ServiceProxy, NativeDefaultTransportRefusesEveryCall) {
  auto proxy = CreateServiceProxy(false, "https://example.invalid/svc");
  ASSERT_TRUE(proxy);
  try {
    proxy->IsTokenValid(nullptr);
    FAIL();
  } catch (const TransportError& e) {
    EXPECT_NE(std::string(e.what()).find("ingen HTTP-transport"), std::string::npos);
  }
}
#endif

TEST(HttpUrl, SplitsServiceAddresses) {
  const auto u = ParseHttpUrl("https://Tjenester.Example:8443/ORVNewPL/Services/Tindrel2Service.svc?x=1#frag");
  ASSERT_TRUE(u);
  EXPECT_TRUE(u->secure);
  EXPECT_EQ(u->host, "Tjenester.Example");
  EXPECT_EQ(u->port, 8443);
  EXPECT_EQ(u->path, "/ORVNewPL/Services/Tindrel2Service.svc?x=1");
  const auto plain = ParseHttpUrl("HTTP://[::1]");
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->secure);
  EXPECT_EQ(plain->host, "::1");
  EXPECT_EQ(plain->port, 80);
  EXPECT_EQ(plain->path, "/");
  for (const char* bad : {"ftp://h/x", "https://", "https://h:0/", "https://h:65536/", "https://h:8x/",
                          "h/x", "https://user:pw@h/x", "https://[::1/x"})
    EXPECT_FALSE(ParseHttpUrl(bad)) << bad;
}

TEST(HttpUrl, PlainHttpOnlyToLoopback) {
  EXPECT_NO_THROW(CheckServiceUrl("https://tjenester.example/svc"));
  EXPECT_NO_THROW(CheckServiceUrl("http://127.0.0.1:5000/ORVNewPL/Services/Tindrel2Service.svc"));
  EXPECT_NO_THROW(CheckServiceUrl("http://localhost/svc"));
  EXPECT_NO_THROW(CheckServiceUrl("http://127.1.2.3/svc"));
  EXPECT_NO_THROW(CheckServiceUrl("http://[::1]:81/svc"));
  for (const char* refused : {"http://tjenester.example/svc", "http://127.0.0.1.example/svc",
                              "http://127.0.0/svc", "http://127.0.0.256/svc", "http://10.0.0.1/svc",
                              "mailto:x"}) {
    try {
      CheckServiceUrl(refused);
      ADD_FAILURE() << refused;
    } catch (const TransportError& e) {
      EXPECT_TRUE(std::string_view(e.what()).starts_with("Kunne ikke koble til tjenesten: ")) << e.what();
    }
  }
}

}  // namespace
}  // namespace tindrel
