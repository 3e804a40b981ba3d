#include "automation/vehicle_object.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "fake_service.h"

namespace tindrel {
namespace {

using test::Date;
using Strings = std::vector<std::string>;
constexpr int kFunnet = TVehicleObject::kBildataFunnet;
constexpr int kIkkeFunnet = TVehicleObject::kBildataIkkeFunnet;

std::unique_ptr<Tindrel2VehicleData2> FullVehicle(const std::string& regNo) {
  auto v = std::make_unique<Tindrel2VehicleData2>();
  v->SetRegNo(regNo);
  v->SetVin("WVWZZZ1JZXW001234");
  v->SetGroupNo(70000);
  v->SetAutosysMakeCode(5012);
  v->SetVehicleMakeNo(77);
  v->SetVehicleMake("VOLKSWAGEN");
  v->SetModel("GOLF");
  v->SetType("1J");
  v->SetWheelDrive("Forhjul");
  v->SetFrameBody("AB");
  v->SetWeightTotalMax(2000);
  v->SetWeight(1400);
  v->SetSeats(5);
  v->SetEnginePower(std::make_unique<XsDecimal>(*XsDecimal::Parse("110.9")));
  v->SetRegistrationDate(Date("1998-06-15T00:00:00"));
  v->SetModelYear(1997);
  v->SetPkkNextDate(Date("2024-03-01T00:00:00Z"));
  auto approval = std::make_unique<Tindrel2VehicleApprovalData2>();
  approval->SetIsApproved(true);
  approval->SetApprovedBy(70001);
  approval->SetApprovedDate(Date("1900-06-01T00:00:00"));
  approval->SetApprovedInspectionNo("K-1999");
  v->SetVehicleApproval(std::move(approval));
  return v;
}

class VehicleObjectTest : public ::testing::Test {
 protected:
  test::TFakeSession session;
  test::TRecordingEvents events;
  test::TFixedClock clock;
  FixedTimeZone zone{60};
  TVehicleObject bil2{TVehicleObject::Interface::Bil2, session.access, zone, clock, events};

  void KnowVehicles() {
    session.service.vehicle =
        [](const std::string& regNo) -> std::unique_ptr<Tindrel2VehicleData2> {
      if (regNo == "AB12345") return FullVehicle(regNo);
      return nullptr;
    };
  }
  std::string Text(int dispid) { return TextValue(bil2.Get(dispid)); }
};

TEST_F(VehicleObjectTest, NewObjectReadsEmptyEverywhere) {
  bil2.SetKjennemerke("AB12345");
  for (const MemberRow& row : bil2.Members()) {
    if (row.kind == MemberKind::Method) continue;
    EXPECT_EQ(bil2.Get(row.dispid), EmptyValue(row.type)) << row.name;
  }
  EXPECT_EQ(Int32Value(bil2.Get(75)), 0);  // Nyttelast, not -75
  EXPECT_EQ(DateValue(bil2.Get(83)), 0.0);  // Nedlastet_dato
  EXPECT_TRUE(session.service.calls.empty());
}

TEST_F(VehicleObjectTest, HentFoundReplacesTheRecordBeforeTheEvent) {
  KnowVehicles();
  std::string vinInHandler;
  events.onFire = [&](int) { vinInHandler = Text(2); };
  bil2.Hent("AB12345");
  EXPECT_EQ(events.fired, std::vector<int>{kFunnet});
  EXPECT_EQ(vinInHandler, "WVWZZZ1JZXW001234");
  EXPECT_EQ(session.service.Requests(), Strings{"GetVehicleData(AB12345)"});
}

TEST_F(VehicleObjectTest, HentNotFoundDropsTheEarlierRecord) {
  KnowVehicles();
  bil2.Hent("AB12345");
  bil2.Hent(" ab 999 ");
  EXPECT_EQ(events.fired, (std::vector<int>{kFunnet, kIkkeFunnet}));
  // The plate goes out exactly as given.
  EXPECT_EQ(session.service.Requests(),
            (Strings{"GetVehicleData(AB12345)", "GetVehicleData( ab 999 )"}));
  EXPECT_EQ(Text(1), "");
  EXPECT_EQ(bil2.Current(), nullptr);
}

TEST_F(VehicleObjectTest, HentWithCancelledLoginFiresNotFound) {
  session.platform.loginsAccepted = 0;
  bil2.Hent("AB12345");
  EXPECT_EQ(events.fired, std::vector<int>{kIkkeFunnet});
  EXPECT_TRUE(session.service.calls.empty());
}

TEST_F(VehicleObjectTest, HentWhoseCallFailsAndLoginIsClosedFiresNotFound) {
  session.platform.loginsAccepted = 1;
  session.service.vehicle = [](const std::string&) -> std::unique_ptr<Tindrel2VehicleData2> {
    throw TransportError("Forbindelsen ble brutt");
  };
  bil2.Hent("AB12345");
  EXPECT_EQ(events.fired, std::vector<int>{kIkkeFunnet});
  EXPECT_EQ(session.platform.loginDialogs, 2);
}

TEST_F(VehicleObjectTest, HentWhoseLoginIsAnsweredWithAFaultDropsTheRecord) {
  KnowVehicles();
  bil2.Hent("AB12345");
  // The next call fails, and the new login is refused by the service.
  session.service.vehicle = [](const std::string&) -> std::unique_ptr<Tindrel2VehicleData2> {
    throw TransportError("Tidsavbrudd");
  };
  session.service.authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw RemoteFault("Ukjent bruker");
  };
  EXPECT_NO_THROW(bil2.Hent("AB12345"));
  EXPECT_EQ(events.fired, (std::vector<int>{kFunnet, kIkkeFunnet}));
  EXPECT_EQ(bil2.Current(), nullptr);
  EXPECT_EQ(session.service.calls,
            (Strings{"Authenticate(verksted)", "GetVehicleData(AB12345)",
                     "GetVehicleData(AB12345)", "Authenticate(verksted)"}));
}

TEST_F(VehicleObjectTest, HentWhoseLoginFailsOtherwiseReportsTheErrorAndKeepsTheRecord) {
  KnowVehicles();
  bil2.Hent("AB12345");
  session.service.vehicle = [](const std::string&) -> std::unique_ptr<Tindrel2VehicleData2> {
    throw RemoteFault("Ugyldig eller utløpt token");
  };
  session.service.authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw TransportError("Kan ikke koble til tjenesten");
  };
  try {
    bil2.Hent("AB12345");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Kan ikke koble til tjenesten");
  }
  EXPECT_EQ(events.fired, std::vector<int>{kFunnet});
  EXPECT_EQ(Text(1), "AB12345");
}

TEST_F(VehicleObjectTest, FinnFiresNothingAndReportsLoginFaultsWithTheirText) {
  KnowVehicles();
  bil2.Finn("AB12345");
  EXPECT_EQ(Text(1), "AB12345");
  bil2.Finn("ZZ00000");
  EXPECT_EQ(Text(1), "");
  bil2.Finn("AB12345");
  EXPECT_TRUE(events.fired.empty());

  session.service.vehicle = [](const std::string&) -> std::unique_ptr<Tindrel2VehicleData2> {
    throw TransportError("Tidsavbrudd");
  };
  session.service.authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw RemoteFault("Ukjent bruker");
  };
  try {
    bil2.Finn("CD67890");
    FAIL() << "no error";
  } catch (const RemoteFault& e) {
    EXPECT_STREQ(e.what(), "Ukjent bruker");
  }
  EXPECT_EQ(Text(1), "AB12345");
  EXPECT_TRUE(events.fired.empty());
}

TEST_F(VehicleObjectTest, PropertiesReadTheirFieldsWithTheirConversions) {
  KnowVehicles();
  bil2.Finn("AB12345");
  EXPECT_EQ(Text(2), "WVWZZZ1JZXW001234");
  EXPECT_EQ(Int16Value(bil2.Get(5)), 4464);   // Kjgruppekode, low 16 bits of 70000
  EXPECT_EQ(Int16Value(bil2.Get(7)), 5012);   // Merkekode: AutosysMakeCode
  EXPECT_EQ(Int16Value(bil2.Get(17)), 1998);  // Reg_aar: RegistrationDate, not ModelYear
  EXPECT_DOUBLE_EQ(DateValue(bil2.Get(3)), 45352.0 + 1.0 / 24);  // whole date, local time
  EXPECT_EQ(Int16Value(bil2.Get(21)), 1);                        // Godkjent: 1, not -1
  EXPECT_EQ(Int16Value(bil2.Get(22)), 4465);
  EXPECT_EQ(Text(24), "K-1999");
  EXPECT_EQ(Int32Value(bil2.Get(27)), 110);  // Motorytelse 110.9
  EXPECT_EQ(Int32Value(bil2.Get(75)), 525);  // Nyttelast 2000 - 1400 - 75
  EXPECT_EQ(Int16Value(bil2.Get(72)), 5);
  EXPECT_EQ(Text(77), "VOLKSWAGEN");
  EXPECT_EQ(Text(78), "GOLF");
  EXPECT_EQ(Text(79), "1J");
  EXPECT_EQ(Text(80), "Forhjul");
  EXPECT_EQ(Text(81), "AB");
  EXPECT_EQ(Int32Value(bil2.Get(82)), 0);  // Tecdoc has no source
  EXPECT_EQ(DateValue(bil2.Get(84)), 0.0);
}

TEST_F(VehicleObjectTest, PayloadAndEnginePowerEdgeValues) {
  auto vehicle = std::make_shared<std::unique_ptr<Tindrel2VehicleData2>>();
  session.service.vehicle = [vehicle](const std::string&) { return (*vehicle)->Clone(); };

  *vehicle = std::make_unique<Tindrel2VehicleData2>();
  bil2.Finn("X");
  EXPECT_EQ(Int32Value(bil2.Get(75)), -75);
  EXPECT_EQ(Int32Value(bil2.Get(27)), 0);

  (*vehicle)->SetWeight(2600);
  (*vehicle)->SetWeightTotalMax(2525);
  (*vehicle)->SetEnginePower(std::make_unique<XsDecimal>(*XsDecimal::Parse("-3.99")));
  bil2.Finn("X");
  EXPECT_EQ(Int32Value(bil2.Get(75)), -150);
  EXPECT_EQ(Int32Value(bil2.Get(27)), -3);

  // Wraps as 32-bit arithmetic would instead of overflowing.
  (*vehicle)->SetWeight(0);
  (*vehicle)->SetWeightTotalMax(INT32_MIN);
  (*vehicle)->SetEnginePower(std::make_unique<XsDecimal>(*XsDecimal::Parse("3000000000")));
  bil2.Finn("X");
  EXPECT_EQ(Int32Value(bil2.Get(75)), INT32_MAX - 74);
  EXPECT_THROW(bil2.Get(27), Error);
}

TEST_F(VehicleObjectTest, ApprovalDateOf1900IsHiddenByBilOnly) {
  KnowVehicles();
  TVehicleObject bil(TVehicleObject::Interface::Bil, session.access, zone, clock, events);
  bil.Finn("AB12345");
  bil2.Finn("AB12345");
  EXPECT_EQ(DateValue(bil.Get(4)), 0.0);
  EXPECT_DOUBLE_EQ(DateValue(bil2.Get(4)), 153.0 + 1.0 / 24);
  EXPECT_DOUBLE_EQ(DateValue(bil2.Get(23)), 153.0 + 1.0 / 24);

  session.service.vehicle = [](const std::string& regNo) {
    auto v = FullVehicle(regNo);
    v->VehicleApproval()->SetApprovedDate(Date("1901-01-01T00:00:00+01:00"));
    return v;
  };
  bil.Finn("AB12345");
  EXPECT_DOUBLE_EQ(DateValue(bil.Get(4)), 367.0);

  // ORV_Bil has only the first twenty members.
  EXPECT_EQ(bil.Members().size(), 20u);
  EXPECT_THROW(bil.Get(21), std::logic_error);
}

TEST_F(VehicleObjectTest, MissingApprovalReadsLikeNoRecord) {
  session.service.vehicle = [](const std::string& regNo) {
    auto v = FullVehicle(regNo);
    v->SetVehicleApproval(nullptr);
    return v;
  };
  bil2.Finn("AB12345");
  EXPECT_EQ(Int16Value(bil2.Get(21)), 0);
  EXPECT_EQ(DateValue(bil2.Get(4)), 0.0);
  EXPECT_EQ(Text(24), "");
  EXPECT_EQ(Text(2), "WVWZZZ1JZXW001234");
}

TEST_F(VehicleObjectTest, DownloadedDateIsTodayWhileARecordIsHeld) {
  KnowVehicles();
  bil2.Finn("AB12345");
  EXPECT_EQ(DateValue(bil2.Get(83)), 45429.0);  // 2024-05-17, time of day dropped
  clock.now = LocalDateTime{2024, 5, 18, 0, 0, 1, 0};
  EXPECT_EQ(DateValue(bil2.Get(83)), 45430.0);
}

}  // namespace
}  // namespace tindrel
