// The binding over WinInet against the service double, under Wine. The
// harness (run_against_double.py) starts the double and passes its address
// in TINDREL_SERVICE_URL, and an address where nothing listens in
// TINDREL_DEAD_URL; it checks the double's request log afterwards.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "base/errors.h"
#include "contract/http_transport.h"
#include "contract/service.h"
#include "wine_client.h"

namespace tindrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Short enough for a test run, long enough for a loaded machine.
constexpr HttpTimeouts kShort{3000ms, 3000ms, 2000ms};

using test::ServiceUrl;

// Switches the double's fault mode for the next `count` SOAP requests.
void SetFault(const std::string& mode, int count = 1, double delay = 0) {
  const HttpReply r = test::DoubleControl(
      "{\"fault\": \"" + mode + "\", \"count\": " + std::to_string(count) +
      ", \"delay\": " + std::to_string(delay) + "}");
  ASSERT_EQ(r.status, 200) << r.body;
}

class AgainstDouble : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ServiceUrl().empty()) GTEST_SKIP() << "TINDREL_SERVICE_URL not set (run through the harness)";
    service = CreateServiceProxy(false, ServiceUrl(), CreatePlatformHttpTransport(kShort));
    ASSERT_TRUE(service);
  }
  std::unique_ptr<ORVSecurityToken2> LogIn() {
    auto token = service->Authenticate("verksted", "hemmelig1", "VERKSTED-PC");
    EXPECT_TRUE(token);
    return token;
  }
  std::shared_ptr<ITindrel2Service> service;
};

template <class E, class Fn>
std::string ErrorText(Fn fn) {
  try {
    fn();
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "no exception";
}

TEST_F(AgainstDouble, Authenticate) {
  const auto token = LogIn();
  ASSERT_TRUE(token);
  EXPECT_EQ(token->CustomerName(), "Testverkstedet AS");
  EXPECT_EQ(token->UserName(), "verksted");
  EXPECT_EQ(token->Signature(), "SIG-verksted-1");
  EXPECT_EQ(token->Salt(), "VERKSTED-PC");
  ASSERT_TRUE(token->ValidTo());
  EXPECT_EQ(token->ValidTo()->Text(), "2030-12-31T12:00:00+01:00");
  EXPECT_EQ(service->Authenticate("verksted", "feil", "VERKSTED-PC"), nullptr);
  EXPECT_EQ(ErrorText<RemoteFault>([&] { service->Authenticate("feilbruker", "x", "y"); }),
            "Ukjent bruker");
  EXPECT_TRUE(service->IsTokenValid(token.get()));
}

TEST_F(AgainstDouble, GetVehicleData) {
  const auto token = LogIn();
  const auto v = service->GetVehicleData("AB12345", token.get());
  ASSERT_TRUE(v);
  for (size_t f = 0; f < v->FieldCount(); ++f)
    EXPECT_TRUE(v->Has(f)) << Tindrel2VehicleData2::kDescriptor.fields[f].name;
  EXPECT_EQ(v->EnginePower()->Text(), "110.9");
  EXPECT_EQ(v->Weight(), 1475);
  EXPECT_EQ(v->WeightTotalMax(), 2000);
  EXPECT_EQ(v->Color(), "Sølvgrå");
  EXPECT_EQ(v->IdentityNotes(), "Identitet kontrollert & <OK>");
  EXPECT_EQ(v->VehicleApproval()->ApprovedDate()->Text(), "2019-03-01T00:00:00");

  const auto sparse = service->GetVehicleData("CD67890", token.get());
  ASSERT_TRUE(sparse);
  EXPECT_EQ(sparse->Weight(), 2600);
  EXPECT_FALSE(sparse->HasVehicleApproval());
  EXPECT_EQ(service->GetVehicleData("ZZ99999", token.get()), nullptr);
  EXPECT_EQ(ErrorText<RemoteFault>([&] { service->GetVehicleData("FAULT99", token.get()); }),
            "Oppslag feilet");
  EXPECT_EQ(ErrorText<RemoteFault>([&] { service->GetVehicleData("AB12345", nullptr); }),
            "Ugyldig eller utløpt token");
}

TEST_F(AgainstDouble, SaveCustomer) {
  const auto token = LogIn();
  Tindrel2CustomerData2 c;
  c.SetCustomerNo("7777");
  c.SetName("Østby & Sønn <AS>");
  const auto saved = service->SaveCustomer(c, token.get());
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->CustomerNo(), "7777");
  EXPECT_EQ(saved->Name(), "Østby & Sønn <AS>");
  EXPECT_GE(saved->CustomerNoInternal(), 5001);
  EXPECT_FALSE(saved->HasCity());  // sent back nil
  c.SetCustomerNo("FEIL");
  EXPECT_EQ(ErrorText<RemoteFault>([&] { service->SaveCustomer(c, token.get()); }),
            "Kunden kunne ikke lagres");
}

TEST_F(AgainstDouble, SaveInspection) {
  const auto token = LogIn();
  Tindrel2InspectionData2 in;
  in.SetRegNo("AB12345");
  in.SetVIN("TDL0000000A123456");
  in.SetOrderNo("A-778");
  auto customer = std::make_unique<Tindrel2CustomerData2>();
  customer->SetCustomerNo("1002");
  customer->SetName("Ærlig");
  in.SetCustomer(std::move(customer));
  const auto saved = service->SaveInspection(in, token.get());
  ASSERT_TRUE(saved);
  EXPECT_TRUE(saved->CreateSucceeded());
  EXPECT_TRUE(saved->InspectionNo().starts_with("K-2")) << saved->InspectionNo();
  EXPECT_EQ(saved->InspectionStatusName(), "Opprettet");
  ASSERT_TRUE(saved->Customer());
  EXPECT_EQ(saved->Customer()->CustomerNoInternal(), 3002);
  ASSERT_TRUE(saved->Vehicle());
  EXPECT_EQ(saved->Vehicle()->Weight(), 1475);
  EXPECT_EQ(saved->InspectionCreatedDate()->Text(), "2024-03-15T09:30:12.1234567+01:00");

  Tindrel2InspectionData2 refused;
  refused.SetRegNo("NEKT123");
  const auto answer = service->SaveInspection(refused, token.get());
  ASSERT_TRUE(answer);
  EXPECT_FALSE(answer->CreateSucceeded());
  EXPECT_EQ(answer->CreateFailedReason(), "Kjøretøyet har allerede en åpen kontroll");
}

TEST_F(AgainstDouble, ListsAndText) {
  const auto token = LogIn();
  const auto customers = service->GetCustomers(token.get());
  ASSERT_EQ(customers.Length(), 3u);
  EXPECT_EQ(customers[0].CustomerNo(), "1001");
  EXPECT_EQ(customers[1].City(), "Ålesund");
  EXPECT_EQ(customers[2].CustomerNo(), "1003");
  const auto history = service->GetInspectionsForVehicleForPeriod("AB12345", 3, 2019, token.get());
  ASSERT_EQ(history.Length(), 2u);
  EXPECT_EQ(history[1].ApprovedInspectionNo(), "K-0901");
  EXPECT_EQ(service->GetInspectionURL("K-1001", token.get()),
            "https://example.invalid/kontroll/K-1001?a=1&b=2");
}

TEST_F(AgainstDouble, FailureModesOfTheService) {
  const auto token = LogIn();
  auto call = [&] { service->GetCustomers(token.get()); };
  SetFault("http500");
  EXPECT_EQ(ErrorText<RemoteFault>(call), "Intern feil i tjenesten");
  SetFault("http500-plain");
  EXPECT_EQ(ErrorText<TransportError>(call), "Tjenesten svarte med HTTP-feil 500");
  SetFault("html");
  EXPECT_TRUE(ErrorText<ProtocolError>(call).starts_with("Ugyldig svar fra tjenesten: svaret er ikke SOAP"));
  SetFault("empty");
  EXPECT_TRUE(ErrorText<ProtocolError>(call).starts_with("Ugyldig svar fra tjenesten: "));
  SetFault("truncate");
  EXPECT_TRUE(ErrorText<ProtocolError>(call).starts_with("Ugyldig svar fra tjenesten: ikke velformet XML"));
  SetFault("reset");
  const std::string reset = ErrorText<Error>(call);
  EXPECT_TRUE(reset.starts_with("Kunne ikke koble til tjenesten: ") ||
              reset.starts_with("Ugyldig svar fra tjenesten: "))
      << reset;
  // No connection is kept alive, so WinInet never sends a request again on
  // its own: one refusal fails the call, and the next call is answered.
  SetFault("refuse", 1);
  const std::string refused = ErrorText<TransportError>(call);
  EXPECT_TRUE(refused.starts_with("Kunne ikke koble til tjenesten: ")) << refused;
  EXPECT_EQ(service->GetCustomers(token.get()).Length(), 3u);  // the switches ran out
}

TEST_F(AgainstDouble, NothingListening) {
  const std::string dead = test::Env("TINDREL_DEAD_URL");
  ASSERT_FALSE(dead.empty());
  auto proxy = CreateServiceProxy(false, dead, CreatePlatformHttpTransport(kShort));
  const auto start = Clock::now();
  const std::string text = ErrorText<TransportError>([&] { proxy->IsTokenValid(nullptr); });
  EXPECT_TRUE(text.starts_with("Kunne ikke koble til tjenesten: ")) << text;
  EXPECT_LT(Clock::now() - start, kShort.connect + 2s);
}

TEST_F(AgainstDouble, ServiceThatNeverAnswers) {
  SetFault("slow", 1, 10);
  const auto start = Clock::now();
  EXPECT_EQ(ErrorText<TransportError>([&] { service->IsTokenValid(nullptr); }),
            "Tidsavbrudd mot tjenesten");
  const auto took = Clock::now() - start;
  EXPECT_GE(took, kShort.receive - 100ms);
  EXPECT_LT(took, kShort.receive + 2s);
}

TEST_F(AgainstDouble, PlainHttpOnlyToLoopback) {
  auto proxy = CreateServiceProxy(false, "http://tjenester.example/ORVNewPL/Services/Tindrel2Service.svc",
                                  CreatePlatformHttpTransport(kShort));
  EXPECT_TRUE(ErrorText<TransportError>([&] { proxy->IsTokenValid(nullptr); })
                  .find("https://") != std::string::npos);
}

}  // namespace
}  // namespace tindrel
