// The requests: the login gate, the retry after a new login, the results
// when the user breaks off, and what the user is shown on the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "base/errors.h"
#include "fake_service.h"
#include "session/service_access.h"

namespace tindrel::test {
namespace {

using Events = std::vector<std::string>;

const LoginAnswer kGood{"user", "secret"};
const LoginAnswer kWrong{"user", "wrong"};

class Requests : public ::testing::Test {
 protected:
  FakePlatform platform;
  std::unique_ptr<TServiceAccess> session;

  void Start(bool loggedIn) {
    session = std::make_unique<TServiceAccess>(platform);
    if (loggedIn) {
      ASSERT_TRUE(session->LogIn("user", "secret"));
    }
    platform.events.clear();
    platform.service->calls.clear();
  }

  static std::unique_ptr<Tindrel2CustomerData2> NewCustomer() {
    auto c = std::make_unique<Tindrel2CustomerData2>();
    c->SetCustomerNo("1001");
    c->SetFirstName("Kari");
    c->SetName("Nordmann");
    return c;
  }
  static std::unique_ptr<Tindrel2InspectionData2> NewInspection(const std::string& regNo) {
    auto i = std::make_unique<Tindrel2InspectionData2>();
    i->SetRegNo(regNo);
    i->SetMileage(120000);
    return i;
  }
};

TEST_F(Requests, EachSetsItsStatusTextAndCallsItsOperationWithTheToken) {
  Start(true);
  const std::string sig = " SIG-1-abcdefghijklmnopqrstuvwxyz";

  EXPECT_NE(session->FetchVehicleData("AB12345"), nullptr);
  EXPECT_EQ(session->StatusText(), "Henter kjøretøydata for AB12345");
  EXPECT_EQ(session->FetchCustomerList().Length(), 2u);
  EXPECT_EQ(session->StatusText(), "Henter kundeliste.");
  EXPECT_NE(session->FetchCustomer(" 1001"), nullptr);
  EXPECT_EQ(session->StatusText(), "Henter data på kunde nr  1001");
  EXPECT_NE(session->StoreCustomer(*NewCustomer()), nullptr);
  EXPECT_EQ(session->StatusText(), "Lagrer kunde Kari Nordmann");
  EXPECT_NE(session->StoreInspection(*NewInspection("AB12345")), nullptr);
  EXPECT_EQ(session->StatusText(), "Lagrer kontroll for kjøretøy AB12345");
  EXPECT_EQ(session->FetchInspectionHistory("AB12345", 3, 2019).Length(), 1u);
  EXPECT_EQ(session->StatusText(), "Henter kontrollhistorikk for AB12345.");

  EXPECT_EQ(platform.service->calls,
            (Events{"GetVehicleData(AB12345)" + sig, "GetCustomers()" + sig,
                    "GetCustomer( 1001)" + sig, "SaveCustomer(1001)" + sig,
                    "SaveInspection(AB12345)" + sig,
                    "GetInspectionsForVehicleForPeriod(AB12345,3,2019)" + sig}));
  EXPECT_EQ(platform.Count("balloon"), 6);
  EXPECT_EQ(platform.Count("login-dialog"), 0);
}

TEST_F(Requests, TheBalloonNamesUserAndCompanyAndIsCutToWhatTheEntryHolds) {
  Start(true);
  session->FetchVehicleData("AB1");
  ASSERT_EQ(platform.balloons.size(), 1u);
  EXPECT_EQ(platform.balloons[0].first, u"Henter kjøretøydata for AB1");
  EXPECT_EQ(platform.balloons[0].second, u"Logget inn som user\ni firma Testverkstedet AS.");

  platform.service->authenticate = [](auto&, auto&, const std::string& salt) {
    auto t = GoodToken(salt);
    t->SetCustomerName(std::string(300, 'c'));
    return t;
  };
  ASSERT_TRUE(session->LogIn("x", "y"));
  session->FetchVehicleData(std::string(100, 'R'));
  const auto& [title, text] = platform.balloons.back();
  EXPECT_EQ(title.size(), 63u);
  EXPECT_EQ(title.substr(0, 24), u"Henter kjøretøydata for ");
  EXPECT_EQ(text.size(), 254u);
  EXPECT_EQ(text.substr(0, 29), u"Logget inn som user\ni firma c");

  // A character outside the basic plane is not split by the cut.
  session->FetchVehicleData(std::string(38, 'R') + "\U0001F697");
  EXPECT_EQ(platform.balloons.back().first.size(), 62u);
}

TEST_F(Requests, WithoutATokenTheDialogComesFirstAndClosingItBreaksOff) {
  Start(false);
  const auto customerPtr = NewCustomer();
  Tindrel2CustomerData2& customer = *customerPtr;
  const auto customerBefore = customer.Clone();
  const auto inspectionPtr = NewInspection("AB12345");
  Tindrel2InspectionData2& inspection = *inspectionPtr;
  const auto inspectionBefore = inspection.Clone();

  EXPECT_EQ(session->FetchVehicleData("AB12345"), nullptr);
  EXPECT_EQ(session->FetchCustomerList().Length(), 0u);
  EXPECT_EQ(session->FetchCustomer("1001"), nullptr);
  EXPECT_EQ(session->StoreCustomer(customer), nullptr);
  EXPECT_EQ(session->StoreInspection(inspection), nullptr);
  EXPECT_EQ(session->FetchInspectionHistory("AB12345", 1, 2020).Length(), 0u);

  EXPECT_EQ(platform.Count("login-dialog"), 6);
  EXPECT_EQ(platform.Count("balloon"), 0);
  EXPECT_TRUE(platform.service->calls.empty());
  // The callers still hold their own records, as they were.
  EXPECT_TRUE(SameFields(customer, *customerBefore));
  EXPECT_TRUE(SameFields(inspection, *inspectionBefore));
}

TEST_F(Requests, WrongCredentialsBringTheDialogBackUntilItIsClosed) {
  Start(false);
  platform.logins = {kWrong, kWrong, kWrong, std::nullopt};
  EXPECT_EQ(session->StoreCustomer(*NewCustomer()), nullptr);
  EXPECT_EQ(platform.events,
            (Events{"login-dialog", "call:Authenticate(user)", "notify", "login-dialog",
                    "call:Authenticate(user)", "notify", "login-dialog",
                    "call:Authenticate(user)", "notify", "login-dialog"}));
}

TEST_F(Requests, AWorkingLoginAfterWrongOnesLetsTheRequestThrough) {
  Start(false);
  platform.logins = {kWrong, kGood};
  auto saved = session->StoreCustomer(*NewCustomer());
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->CustomerNoInternal(), 5001);
  EXPECT_EQ(platform.Count("login-dialog"), 2);
  // The dialog before the balloon, the balloon right before the call.
  const Events& e = platform.events;
  ASSERT_GE(e.size(), 2u);
  EXPECT_EQ(e[e.size() - 2], "balloon");
  EXPECT_EQ(e.back().rfind("call:SaveCustomer(1001)", 0), 0u);
}

TEST_F(Requests, AFaultIsAnsweredWithANewLoginAndOneMoreAttempt) {
  Start(true);
  bool rejected = false;
  platform.service->before = [&](const std::string& op, const ORVSecurityToken2*) {
    if (op == "SaveCustomer" && !rejected) {
      rejected = true;
      throw RemoteFault("Ugyldig eller utløpt token");
    }
  };
  platform.logins = {kGood};
  auto saved = session->StoreCustomer(*NewCustomer());
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->CustomerNoInternal(), 5001);
  EXPECT_EQ(platform.service->calls,
            (Events{"SaveCustomer(1001) SIG-1-abcdefghijklmnopqrstuvwxyz", "Authenticate(user)",
                    "SaveCustomer(1001) SIG-2-abcdefghijklmnopqrstuvwxyz"}));
  EXPECT_EQ(platform.Count("balloon"), 2);
  // The new token replaced the cached one.
  EXPECT_NE(platform.ReadCache().find("SIG-2-"), std::string::npos);
}

TEST_F(Requests, EveryKindOfFailureIsRetriedAndClosingTheDialogEndsTheLoop) {
  Start(true);
  int attempts = 0;
  platform.service->before = [&](const std::string&, const ORVSecurityToken2*) {
    switch (attempts++) {
      case 0: throw TransportError("Tidsavbrudd");
      case 1: throw ProtocolError("Ufullstendig svar");
      default: throw RemoteFault("Feil");
    }
  };
  platform.logins = {kGood, kGood, kGood, std::nullopt};
  EXPECT_EQ(session->FetchCustomer("1001"), nullptr);
  EXPECT_EQ(attempts, 4);
  EXPECT_EQ(platform.Count("login-dialog"), 4);
}

TEST_F(Requests, AFailedReloginMakesTheNextAttemptFailWithoutACall) {
  Start(true);
  bool rejected = false;
  platform.service->before = [&](const std::string&, const ORVSecurityToken2*) {
    if (!rejected) {
      rejected = true;
      throw RemoteFault("Ugyldig eller utløpt token");
    }
  };
  platform.logins = {kWrong, kGood};
  EXPECT_NE(session->FetchVehicleData("AB12345"), nullptr);
  EXPECT_EQ(platform.service->calls,
            (Events{"GetVehicleData(AB12345) SIG-1-abcdefghijklmnopqrstuvwxyz",
                    "Authenticate(user)", "Authenticate(user)",
                    "GetVehicleData(AB12345) SIG-2-abcdefghijklmnopqrstuvwxyz"}));
}

TEST_F(Requests, AnErrorFromTheLoginItselfLeavesTheRequest) {
  // In the gate...
  Start(false);
  platform.service->authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw RemoteFault("Ukjent bruker");
  };
  platform.logins = {kGood};
  EXPECT_THROW(session->StoreInspection(*NewInspection("AB12345")), RemoteFault);
  EXPECT_EQ(platform.Count("balloon"), 0);

  // ...and in the retry after a failed call.
  FakePlatform other;
  TServiceAccess second(other);
  ASSERT_TRUE(second.LogIn("user", "secret"));
  other.service->before = [](auto&, auto*) { throw TransportError("Ingen forbindelse"); };
  other.service->authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw TransportError("Ingen forbindelse");
  };
  other.logins = {kGood};
  EXPECT_THROW(second.StoreCustomer(*NewCustomer()), TransportError);
  EXPECT_NE(second.Token(), nullptr);
}

// The dialog's message loop lets another client's request in while the
// dialog is open: it opens no dialog of its own but waits for the open one
// and takes its outcome, before the request that opened it goes on.
TEST_F(Requests, ARequestWhileTheDialogIsOpenWaitsForItAndTakesItsOutcome) {
  const std::string sig = " SIG-1-abcdefghijklmnopqrstuvwxyz";
  std::unique_ptr<Tindrel2CustomerData2> inner;
  std::string innerError;
  auto whileOpen = [&] {
    platform.whileOpen = nullptr;
    try {
      inner = session->FetchCustomer("1002");
    } catch (const RemoteFault& e) {
      innerError = e.what();
    }
  };

  // A token: both go on with it, the waiting one first.
  Start(false);
  platform.logins = {kGood};
  platform.whileOpen = whileOpen;
  EXPECT_NE(session->FetchVehicleData("AB12345"), nullptr);
  EXPECT_NE(inner, nullptr);
  EXPECT_EQ(platform.service->calls,
            (Events{"Authenticate(user)", "GetCustomer(1002)" + sig, "GetVehicleData(AB12345)" + sig}));
  EXPECT_EQ(platform.Count("login-dialog"), 1);
  EXPECT_EQ(platform.Count("login-wait"), 1);
  EXPECT_FALSE(session->LoginOpen());

  // Broken off: both break off, nothing is called.
  std::filesystem::remove(platform.cachePath);
  Start(false);
  platform.whileOpen = whileOpen;
  EXPECT_EQ(session->FetchVehicleData("AB12345"), nullptr);
  EXPECT_EQ(inner, nullptr);
  EXPECT_TRUE(platform.service->calls.empty());
  EXPECT_EQ(platform.Count("login-dialog"), 1);

  // The login fails: both leave with its error, after one Authenticate.
  Start(false);  // the broken-off login wrote no cache
  platform.service->authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw RemoteFault("Ukjent bruker");
  };
  platform.logins = {kGood};
  platform.whileOpen = whileOpen;
  EXPECT_THROW(session->FetchVehicleData("AB12345"), RemoteFault);
  EXPECT_EQ(innerError, "Ukjent bruker");
  EXPECT_EQ(platform.service->calls, Events{"Authenticate(user)"});
  EXPECT_EQ(platform.Count("login-dialog"), 1);
  EXPECT_FALSE(session->LoginOpen());
}

TEST_F(Requests, ErrorsOutsideTheProgramsOwnAreNotRetried) {
  Start(true);
  platform.service->before = [](auto&, auto*) { throw std::logic_error("bug"); };
  EXPECT_THROW(session->FetchCustomerList(), std::logic_error);
  EXPECT_EQ(platform.Count("login-dialog"), 0);
}

TEST_F(Requests, ARefusedInspectionIsShownAndReturnedAllTheSame) {
  Start(true);
  platform.service->saveInspection = [](const Tindrel2InspectionData2& in) {
    auto out = in.Clone();
    out->SetCreateSucceeded(false);
    out->SetCreateFailedReason("Kjøretøyet har allerede en åpen kontroll");
    return out;
  };
  auto refused = session->StoreInspection(*NewInspection("NEKT123"));
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->RegNo(), "NEKT123");
  EXPECT_EQ(platform.events.back(), "refused:Kjøretøyet har allerede en åpen kontroll");

  // Without a reason, and without a record at all: refused with an empty text.
  platform.service->saveInspection = [](const Tindrel2InspectionData2&) {
    return std::make_unique<Tindrel2InspectionData2>();
  };
  EXPECT_NE(session->StoreInspection(*NewInspection("NEKT123")), nullptr);
  EXPECT_EQ(platform.events.back(), "refused:");
  platform.service->saveInspection = [](const Tindrel2InspectionData2&) {
    return std::unique_ptr<Tindrel2InspectionData2>();
  };
  EXPECT_EQ(session->StoreInspection(*NewInspection("NEKT123")), nullptr);
  EXPECT_EQ(platform.events.back(), "refused:");
}

TEST_F(Requests, ASavedInspectionShowsNoMessage) {
  Start(true);
  auto saved = session->StoreInspection(*NewInspection("AB12345"));
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->InspectionNo(), "K-2001");
  EXPECT_EQ(platform.Count("refused:"), 0);
  for (const std::string& e : platform.events) EXPECT_NE(e.rfind("refused", 0), 0u) << e;
}

TEST_F(Requests, OpeningAnInspectionForEditingDoesNothing) {
  Start(false);
  session->OpenInspectionForEditing("K-1001");
  session->OpenInspectionForEditing("");
  EXPECT_TRUE(platform.events.empty());
  EXPECT_TRUE(session->StatusText().empty());
}

}  // namespace
}  // namespace tindrel::test
