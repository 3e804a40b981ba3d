// The session itself: construction, login, and the token cache as the
// session reads and writes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/errors.h"
#include "fake_service.h"
#include "session/service_access.h"

namespace tindrel::test {
namespace {

using Events = std::vector<std::string>;

const std::string kDefault(kDefaultServiceAddress);
const std::string kTokenLine =
    "Testverkstedet AS\t4242\tuser\t7\t31.12.2030\tSIG-1-abcdefghijklmnopqrstuvwxyz";

TEST(ServiceAccess, FirstStartUsesTheDefaultAddressAndLoginWritesItToTheCache) {
  FakePlatform platform;
  TServiceAccess session(platform);
  EXPECT_EQ(platform.events, (Events{"salt", "service:" + kDefault, "icon"}));
  EXPECT_EQ(session.Token(), nullptr);
  EXPECT_EQ(session.ServiceAddress(), kDefault);

  EXPECT_TRUE(session.LogIn("user", "secret"));
  EXPECT_EQ(platform.service->lastSalt, "WORKSHOP-PC");
  EXPECT_EQ(platform.ReadCache(), kDefault + "\r\n" + kTokenLine);
  EXPECT_FALSE(std::filesystem::exists(platform.cachePath.string() + ".tmp"));
  ASSERT_NE(session.Token(), nullptr);
  EXPECT_EQ(session.Token()->Salt(), "WORKSHOP-PC");
  // One refresh from writing the cache, one from the login.
  EXPECT_EQ(platform.Count("notify"), 2);
}

TEST(ServiceAccess, CachedAddressAndTokenAreUsedAndTheSaltComesFromTheMachine) {
  FakePlatform platform;
  platform.WriteCache("http://127.0.0.1:8080/ORVNewPL/Services/Tindrel2Service.svc\r\n" +
                      kTokenLine);
  platform.salt = "DOMENE";
  TServiceAccess session(platform);
  EXPECT_EQ(platform.events,
            (Events{"salt", "notify",
                    "service:http://127.0.0.1:8080/ORVNewPL/Services/Tindrel2Service.svc",
                    "icon"}));
  ASSERT_NE(session.Token(), nullptr);
  EXPECT_EQ(session.Token()->Salt(), "DOMENE");
  EXPECT_EQ(session.Token()->Signature(), "SIG-1-abcdefghijklmnopqrstuvwxyz");
}

TEST(ServiceAccess, EmptyFirstLineOrShortSecondLineMeansDefaultAddressLoggedOut) {
  FakePlatform platform;
  platform.WriteCache("\r\n" + kTokenLine);
  {
    TServiceAccess session(platform);
    EXPECT_EQ(session.ServiceAddress(), kDefault);
    EXPECT_NE(session.Token(), nullptr);
  }
  platform.WriteCache("http://h/x\r\nshort");
  TServiceAccess session(platform);
  EXPECT_EQ(session.ServiceAddress(), "http://h/x");
  EXPECT_EQ(session.Token(), nullptr);
}

TEST(ServiceAccess, LoginWithoutTokenLogsOutButKeepsTheCachedTokenForTheNextStart) {
  FakePlatform platform;
  platform.WriteCache("http://h/x\r\n" + kTokenLine);
  TServiceAccess session(platform);
  ASSERT_NE(session.Token(), nullptr);
  const std::string before = platform.ReadCache();

  EXPECT_FALSE(session.LogIn("user", "wrong"));
  EXPECT_EQ(session.Token(), nullptr);
  EXPECT_EQ(platform.ReadCache(), before);
  EXPECT_EQ(platform.events.back(), "notify");

  TServiceAccess restarted(platform);
  EXPECT_NE(restarted.Token(), nullptr);
}

TEST(ServiceAccess, AnErrorFromAuthenticateLeavesTheTokenAsItWas) {
  FakePlatform platform;
  TServiceAccess session(platform);
  ASSERT_TRUE(session.LogIn("user", "secret"));
  const ORVSecurityToken2* held = session.Token();
  platform.service->authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw TransportError("Kan ikke koble til");
  };
  EXPECT_THROW(session.LogIn("user", "secret"), TransportError);
  EXPECT_EQ(session.Token(), held);
}

TEST(ServiceAccess, PromptLoginIsFalseOnlyWhenTheDialogIsClosed) {
  FakePlatform platform;
  TServiceAccess session(platform);
  platform.logins = {LoginAnswer{"user", "wrong"}, std::nullopt};
  EXPECT_TRUE(session.PromptLogin());
  EXPECT_EQ(session.Token(), nullptr);
  EXPECT_FALSE(session.PromptLogin());
  EXPECT_EQ(platform.service->calls, (Events{"Authenticate(user)"}));
}

TEST(ServiceAccess, ACacheThatCannotBeWrittenLeavesTheTokenInMemory) {
  FakePlatform platform;
  // A file where the folder "ORV_AS" should be.
  std::ofstream(platform.cachePath.parent_path()) << "x";
  TServiceAccess session(platform);
  EXPECT_TRUE(session.LogIn("user", "secret"));
  EXPECT_NE(session.Token(), nullptr);
}

TEST(ServiceAccess, LoginRewritesTheCacheWithTheAddressInUse) {
  FakePlatform platform;
  platform.WriteCache("http://127.0.0.1:1/svc\r\nold");
  TServiceAccess session(platform);
  ASSERT_TRUE(session.LogIn("user", "secret"));
  EXPECT_EQ(platform.ReadCache(), "http://127.0.0.1:1/svc\r\n" + kTokenLine);
}

}  // namespace
}  // namespace tindrel::test
