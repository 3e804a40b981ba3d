// The session's requests over the real WinInet transport, with time-outs
// shortened where HttpTimeouts is set, against the service double switched
// to answer too late. Run by faults_test.py, which passes the double's
// address in TINDREL_SERVICE_URL. The login dialog is replaced by scripted
// answers; everything else is the Windows platform of the session.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "base/errors.h"
#include "contract/http_transport.h"
#include "session/service_access.h"
#include "session/win/windows_platform.h"
#include "wine_client.h"

namespace tindrel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr HttpTimeouts kShort{2000ms, 2000ms, 2000ms};

using test::ServiceUrl;

void Control(const std::string& body) {
  const HttpReply r = test::DoubleControl(body);
  ASSERT_EQ(r.status, 200) << r.body;
}

class ScriptedPlatform final : public ISessionPlatform {
 public:
  std::string GetMachineSalt() override { return windows::MachineSalt(); }
  std::optional<LoginAnswer> AskForLogin() override {
    asked.push_back(Clock::now());
    if (asked.size() > 5) return std::nullopt;  // a loop that never ends is a failure too
    return LoginAnswer{"verksted", "hemmelig1"};
  }
  void ShowInspectionRefused(const std::string&) override { ++refusals; }
  void AddStatusIcon() override {}
  void ShowStatusBalloon(const std::u16string&, const std::u16string&) override { ++balloons; }
  void NotifyMainWindow() override {}
  std::filesystem::path TokenCachePath() override { return {}; }
  std::string FormatShortDate(const CalendarDate& d) override {
    return windows::FormatShortDate(d);
  }
  std::optional<CalendarDate> ParseShortDate(const std::string& t) override {
    return windows::ParseShortDate(t);
  }
  const ITimeZone& TimeZone() override { return SystemTimeZone(); }
  // Without a token cache the session asks for the built-in address; the
  // proxy goes to the double instead.
  std::shared_ptr<ITindrel2Service> MakeServiceProxy(const std::string&) override {
    return CreateServiceProxy(false, ServiceUrl(), CreatePlatformHttpTransport(kShort));
  }

  std::vector<Clock::time_point> asked;
  int refusals = 0;
  int balloons = 0;
};

class SlowService : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ServiceUrl().empty()) GTEST_SKIP() << "TINDREL_SERVICE_URL not set (run by faults_test.py)";
    Control("{\"fault\": null}");
  }
  void TearDown() override {
    if (!ServiceUrl().empty()) Control("{\"fault\": null}");
  }
};

TEST_F(SlowService, AReplyPastTheTimeOutFailsInTimeAndTheRetryAfterTheLoginSucceeds) {
  ScriptedPlatform platform;
  TServiceAccess access(platform);

  // The gate's login, then the list; the first GetCustomers answers after
  // 10 s, far past the 2 s the transport waits.
  Control("{\"fault\": \"slow\", \"delay\": 10, \"count\": 1, \"operations\": [\"GetCustomers\"]}");
  const Clock::time_point start = Clock::now();
  const ArrayOfTindrel2CustomerData customers = access.FetchCustomerList();
  const Clock::time_point end = Clock::now();

  ASSERT_EQ(platform.asked.size(), 2u) << "the gate's login and the retry's";
  EXPECT_EQ(customers.Length(), 3u);
  // From the gate's login to the retry's: the time-out, the failed call's
  // handling and one quick Authenticate, within the time-out plus 2 s.
  const auto failedAfter = platform.asked[1] - platform.asked[0];
  std::printf("slow GetCustomers: failed after %lld ms (receive time-out %lld ms), whole request "
              "%lld ms\n",
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(failedAfter).count()),
              static_cast<long long>(kShort.receive.count()),
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count()));
  EXPECT_GE(failedAfter, kShort.receive - 100ms);
  EXPECT_LT(failedAfter, kShort.receive + 2s);
  EXPECT_LT(end - start, kShort.receive + 4s);
  EXPECT_EQ(platform.balloons, 2);

  // Still usable: the next request goes through at once with the new token.
  const auto vehicle = access.FetchVehicleData("AB12345");
  ASSERT_TRUE(vehicle);
  EXPECT_EQ(vehicle->RegNo(), "AB12345");
  EXPECT_EQ(platform.asked.size(), 2u);
}

TEST_F(SlowService, ASlowLoginLeavesTheRequestWithTheTimeOutAndTheNextOneWorks) {
  ScriptedPlatform platform;
  TServiceAccess access(platform);

  Control("{\"fault\": \"slow\", \"delay\": 10, \"count\": 1, \"operations\": [\"Authenticate\"]}");
  const Clock::time_point start = Clock::now();
  std::string text;
  try {
    access.FetchCustomer("1001");
    ADD_FAILURE() << "the login's time-out did not leave the request";
  } catch (const TransportError& e) {
    text = e.what();
  }
  const auto took = Clock::now() - start;
  std::printf("slow Authenticate: \"%s\" after %lld ms\n", text.c_str(),
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  EXPECT_LT(took, kShort.receive + 2s);
  EXPECT_EQ(text, "Tidsavbrudd mot tjenesten");
  EXPECT_EQ(access.Token(), nullptr);

  const auto customer = access.FetchCustomer("1001");
  ASSERT_TRUE(customer);
  EXPECT_EQ(customer->CustomerNo(), "1001");
  EXPECT_EQ(platform.asked.size(), 2u);
}

}  // namespace
}  // namespace tindrel
