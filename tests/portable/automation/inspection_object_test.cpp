#include "automation/inspection_object.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "fake_service.h"

namespace tindrel {
namespace {

using test::Date;
using Strings = std::vector<std::string>;

constexpr int kKontrollnr = 2, kKjennemerke = 3, kKundenr = 4, kUnderstellsnr = 10;
constexpr int kKvitteringsnr = 14;

class InspectionObjectTest : public ::testing::Test {
 protected:
  test::TFakeSession session;
  test::TRecordingEvents events;
  FixedTimeZone zone{60};
  TInspectionObject kontroll{TInspectionObject::Interface::Kontroll2, session.access, zone,
                             events};

  std::string Text(int dispid) { return TextValue(kontroll.Get(dispid)); }
  const Tindrel2InspectionData2& LastSent() { return *session.service.sentInspections.back(); }
  void StartWithPair() {
    kontroll.NyKontroll();
    kontroll.SetKjennemerke("AB12345");
    kontroll.SetUnderstellsnr("1234");
  }
};

TEST_F(InspectionObjectTest, BeforeNyKontrollEveryMemberIsEmptyAndNothingIsSent) {
  for (const MemberRow& row : kontroll.Members()) {
    if (row.kind == MemberKind::Method) continue;
    EXPECT_EQ(kontroll.Get(row.dispid), EmptyValue(row.type)) << row.name;
  }
  kontroll.SetKjennemerke("AB12345");
  kontroll.SetUnderstellsnr("1234");
  kontroll.SetKundenr(7);
  kontroll.SetKm_stand(1000);
  kontroll.SetKvitteringsnr("R1");
  EXPECT_EQ(kontroll.Held(), nullptr);
  EXPECT_EQ(Text(kKjennemerke), "");
  EXPECT_TRUE(session.service.calls.empty());
  EXPECT_EQ(session.platform.loginDialogs, 0);
  EXPECT_TRUE(events.fired.empty());
}

TEST_F(InspectionObjectTest, TheWriteThatCompletesPlateAndVinSavesOnce) {
  kontroll.NyKontroll();
  kontroll.SetKjennemerke("AB12345");
  EXPECT_TRUE(session.service.calls.empty());
  EXPECT_TRUE(events.fired.empty());

  kontroll.SetUnderstellsnr("1234");
  EXPECT_EQ(session.service.Requests(), Strings{"SaveInspection(AB12345)"});
  EXPECT_EQ(events.fired, std::vector<int>{TInspectionObject::kGrunnverdierOK});
  // Only what the client wrote travels: the fresh record has nothing else set.
  const Tindrel2InspectionData2& sent = LastSent();
  EXPECT_EQ(sent.VIN(), "1234");
  for (size_t f = 0; f < sent.FieldCount(); ++f) {
    const bool written = f == Tindrel2InspectionData2::kRegNo || f == Tindrel2InspectionData2::kVIN;
    EXPECT_EQ(sent.Has(f), written) << Tindrel2InspectionData2::kDescriptor.fields[f].name;
  }
  EXPECT_EQ(Text(kKontrollnr), "K-2001");
}

TEST_F(InspectionObjectTest, VinFirstThenPlateSavesOnTheSecondWrite) {
  kontroll.NyKontroll();
  kontroll.SetUnderstellsnr("1234");
  EXPECT_TRUE(session.service.calls.empty());
  kontroll.SetKjennemerke("AB12345");
  EXPECT_EQ(session.service.Requests(), Strings{"SaveInspection(AB12345)"});
  EXPECT_EQ(events.fired.size(), 1u);
}

TEST_F(InspectionObjectTest, BlankPlateOrVinNeverSaves) {
  kontroll.NyKontroll();
  kontroll.SetKjennemerke(" \t ");
  kontroll.SetUnderstellsnr("1234");
  kontroll.SetKm_stand(5000);
  kontroll.NyKontroll();
  kontroll.SetKjennemerke("AB12345");
  kontroll.SetUnderstellsnr("   ");
  kontroll.SetSignatur("OK");
  EXPECT_TRUE(session.service.calls.empty());
  EXPECT_TRUE(events.fired.empty());
  // The blanks are kept as written.
  EXPECT_EQ(Text(kUnderstellsnr), "   ");
}

TEST_F(InspectionObjectTest, SavingWritesSendTheServicesRecordAgainAndIgnoredWritesDoNot) {
  StartWithPair();
  kontroll.SetKm_stand(123456);
  ASSERT_EQ(session.service.Requests().size(), 2u);
  EXPECT_EQ(events.fired.size(), 2u);
  // The second send is the numbered record with the client's change on it.
  EXPECT_EQ(LastSent().InspectionNo(), "K-2001");
  EXPECT_EQ(LastSent().Mileage(), 123456);
  EXPECT_EQ(Int32Value(kontroll.Get(29)), 123456);

  kontroll.SetTillh_feste(1);
  kontroll.SetIntKundenr(99);
  kontroll.SetKontrollnr("K-9999");
  EXPECT_EQ(session.service.Requests().size(), 2u);
  EXPECT_EQ(events.fired.size(), 2u);
  EXPECT_EQ(Text(kKontrollnr), "K-2001");
  EXPECT_EQ(Int16Value(kontroll.Get(35)), 0);
  EXPECT_EQ(Int32Value(kontroll.Get(48)), 0);

  // Blanking the plate again stops the saving.
  kontroll.SetKjennemerke("");
  kontroll.SetSignatur("XY");
  EXPECT_EQ(session.service.Requests().size(), 2u);
}

TEST_F(InspectionObjectTest, EverySavingSetterStoresItsFieldAndSends) {
  StartWithPair();
  kontroll.SetKundenr(-5);
  EXPECT_EQ(LastSent().CustomerNo(), "-5");
  EXPECT_EQ(Int32Value(kontroll.Get(kKundenr)), -5);
  kontroll.SetTidlKontrollnr("K-1000");
  EXPECT_EQ(LastSent().PreviousInspectionNo(), "K-1000");
  kontroll.SetSignatur("ABC");
  EXPECT_EQ(LastSent().InspectedByInitials(), "ABC");
  kontroll.SetKvitteringsnr("R-77");
  EXPECT_EQ(LastSent().OrderNo(), "R-77");
  EXPECT_EQ(Text(kKvitteringsnr), "R-77");
  EXPECT_EQ(Text(6), "K-1000");
  EXPECT_EQ(Text(9), "ABC");
  EXPECT_EQ(session.service.Requests().size(), 5u);
  EXPECT_EQ(events.fired.size(), 5u);
}

TEST_F(InspectionObjectTest, KundenrReadsZeroForTextThatIsNoNumber) {
  const std::pair<const char*, int32_t> cases[] = {
      {"12a", 0}, {"", 0}, {"  ", 0}, {"0042", 42}, {"-17", -17}, {"2147483648", 0}, {"12 ", 0}};
  for (const auto& [text, expected] : cases) {
    session.service.saveInspection = [text](const Tindrel2InspectionData2& in) {
      auto out = in.Clone();
      out->SetCustomerNo(text);
      return out;
    };
    StartWithPair();
    EXPECT_EQ(Int32Value(kontroll.Get(kKundenr)), expected) << '"' << text << '"';
  }
}

TEST_F(InspectionObjectTest, ReadsConvertTheServicesRecord) {
  session.service.saveInspection = [](const Tindrel2InspectionData2& in) {
    auto out = in.Clone();
    out->SetVIN("WVWZZZ1JZXW001234");  // the service's own idea of the VIN
    out->SetCount0(70000);
    out->SetCount3(-1);
    out->SetVehicleBannedFromUse(true);
    out->SetInspectionStatusNo(65537);
    out->SetInspectionTypeNo(100000);
    out->SetInspectionStatusName("Opprettet");
    out->SetInspectionConcludedDate(Date("2024-03-01T00:00:00Z"));
    auto vehicle = std::make_unique<Tindrel2VehicleData2>();
    vehicle->SetVin("WVWZZZ1JZXW001234");
    vehicle->SetHasTowbar(true);
    vehicle->SetHasPneumaticBrakes(false);
    vehicle->SetGroupNo(70000);
    vehicle->SetVehicleMakeNo(12);
    vehicle->SetAutosysMakeCode(99);
    vehicle->SetRegistrationDate(Date("1998-06-15T00:00:00"));
    vehicle->SetRegistrationCountryDate(Date("2003-01-02T12:00:00+01:00"));
    vehicle->SetWeightTotalMax(2000);
    out->SetVehicle(std::move(vehicle));
    auto customer = std::make_unique<Tindrel2CustomerData2>();
    customer->SetCustomerNoInternal(5001);
    out->SetCustomer(std::move(customer));
    return out;
  };
  StartWithPair();
  EXPECT_EQ(Text(kUnderstellsnr), "1234");
  EXPECT_EQ(kontroll.Held()->VIN(), "1234");
  EXPECT_EQ(Text(47), "WVWZZZ1JZXW001234");
  EXPECT_EQ(Int16Value(kontroll.Get(17)), 4464);  // Antall0: low 16 bits
  EXPECT_EQ(Int16Value(kontroll.Get(20)), -1);
  EXPECT_EQ(Int16Value(kontroll.Get(15)), 1);  // Kjforbud: 1, not -1
  EXPECT_EQ(Int16Value(kontroll.Get(35)), 1);  // Tillh_feste from the vehicle
  EXPECT_EQ(Int16Value(kontroll.Get(39)), 0);
  EXPECT_EQ(Int16Value(kontroll.Get(40)), 1);
  EXPECT_EQ(Int32Value(kontroll.Get(8)), 100000);
  EXPECT_EQ(Int16Value(kontroll.Get(24)), 4464);
  EXPECT_EQ(Int16Value(kontroll.Get(25)), 12);  // VehicleMakeNo, not AutosysMakeCode
  EXPECT_EQ(Int16Value(kontroll.Get(36)), 1998);
  EXPECT_DOUBLE_EQ(DateValue(kontroll.Get(37)), 37623.5);  // 2003-01-02 12:00 in UTC+1
  EXPECT_DOUBLE_EQ(DateValue(kontroll.Get(38)), 45352.0 + 1.0 / 24);
  EXPECT_EQ(DateValue(kontroll.Get(46)), 0.0);
  EXPECT_EQ(Int32Value(kontroll.Get(28)), 2000);
  EXPECT_EQ(Int32Value(kontroll.Get(48)), 5001);
  EXPECT_EQ(Text(41), "Opprettet");
  EXPECT_EQ(Text(16), "");
  EXPECT_EQ(Int16Value(kontroll.Get(34)), 0);
  // A further save sends the client's VIN, not the service's.
  kontroll.SetKm_stand(1);
  EXPECT_EQ(LastSent().VIN(), "1234");
}

TEST_F(InspectionObjectTest, CancelledLoginKeepsTheRecordAndStillFires) {
  session.platform.loginsAccepted = 0;
  StartWithPair();
  EXPECT_EQ(session.platform.loginDialogs, 1);
  EXPECT_TRUE(session.service.calls.empty());
  EXPECT_EQ(events.fired.size(), 1u);
  EXPECT_EQ(Text(kKontrollnr), "");
  EXPECT_EQ(Text(kKjennemerke), "AB12345");
  EXPECT_EQ(Text(kUnderstellsnr), "1234");
  kontroll.SetKm_stand(10);
  EXPECT_EQ(events.fired.size(), 2u);
  EXPECT_EQ(Int32Value(kontroll.Get(29)), 10);
}

TEST_F(InspectionObjectTest, RefusedSaveIsAdoptedAndFiresAfterTheAnswerIsHeld) {
  session.service.saveInspection = [](const Tindrel2InspectionData2& in) {
    auto out = in.Clone();
    out->SetCreateSucceeded(false);
    out->SetCreateFailedReason("Kjøretøyet har allerede en åpen kontroll");
    out->SetInspectionStatusName("Avvist");
    return out;
  };
  std::string statusInHandler;
  events.onFire = [&](int) { statusInHandler = Text(41); };
  StartWithPair();
  EXPECT_EQ(session.platform.refusals, Strings{"Kjøretøyet har allerede en åpen kontroll"});
  EXPECT_EQ(events.fired.size(), 1u);
  EXPECT_EQ(statusInHandler, "Avvist");
}

TEST_F(InspectionObjectTest, LoginErrorFailsTheSetterAndKeepsTheValueUnsaved) {
  session.service.authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw RemoteFault("Ukjent bruker");
  };
  kontroll.NyKontroll();
  kontroll.SetKjennemerke("AB12345");
  try {
    kontroll.SetUnderstellsnr("1234");
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Ukjent bruker");
  }
  EXPECT_EQ(Text(kUnderstellsnr), "1234");
  EXPECT_EQ(session.service.Requests(), Strings{});
  EXPECT_TRUE(events.fired.empty());
}

TEST_F(InspectionObjectTest, LifeCycleMethodsChangeNothing) {
  StartWithPair();
  kontroll.SlettKontroll();
  kontroll.LukkKontroll();
  kontroll.InitierKontroll();
  kontroll.StartKontroll();
  EXPECT_EQ(Text(kKontrollnr), "K-2001");
  EXPECT_EQ(Text(kKjennemerke), "AB12345");
  EXPECT_EQ(session.service.Requests().size(), 1u);
  EXPECT_EQ(events.fired.size(), 1u);
}

TEST_F(InspectionObjectTest, SecondNyKontrollStartsEmpty) {
  StartWithPair();
  kontroll.NyKontroll();
  EXPECT_EQ(Text(kKontrollnr), "");
  EXPECT_EQ(Text(kKjennemerke), "");
  kontroll.SetKjennemerke("CD67890");
  EXPECT_EQ(session.service.Requests().size(), 1u);
}

TEST_F(InspectionObjectTest, HandlerThatWritesBackIsServedByTheAdoptedRecord) {
  // A client that reacts to GrunnverdierOK with another write starts a
  // second save from inside the first; both must see consistent state.
  events.onFire = [&](int) {
    if (events.fired.size() == 1) kontroll.SetKm_stand(42);
  };
  StartWithPair();
  EXPECT_EQ(session.service.Requests().size(), 2u);
  EXPECT_EQ(LastSent().InspectionNo(), "K-2001");
  EXPECT_EQ(Int32Value(kontroll.Get(29)), 42);
}

TEST_F(InspectionObjectTest, NyKontrollWhileTheSaveWaitsForALoginKeepsTheNewRecord) {
  kontroll.NyKontroll();
  kontroll.SetKjennemerke("AB12345");
  session.platform.duringLogin = [&] {
    session.platform.duringLogin = nullptr;
    kontroll.NyKontroll();
    kontroll.SetKjennemerke("CD67890");
  };
  kontroll.SetUnderstellsnr("1234");
  // The record that was being saved still went out whole.
  EXPECT_EQ(session.service.Requests(), Strings{"SaveInspection(AB12345)"});
  EXPECT_EQ(LastSent().VIN(), "1234");
  EXPECT_EQ(Text(kKjennemerke), "CD67890");
  EXPECT_EQ(Text(kKontrollnr), "");
  EXPECT_EQ(events.fired.size(), 1u);
}

TEST_F(InspectionObjectTest, WritesWhileTheSaveWaitsForALoginMakeOneInspectionThenAnUpdate) {
  // The service numbers a record it has not seen and keeps the number sent.
  int created = 0;
  session.service.saveInspection = [&](const Tindrel2InspectionData2& in) {
    auto out = in.Clone();
    if (in.InspectionNo().empty()) out->SetInspectionNo("K-" + std::to_string(2001 + created++));
    out->SetCreateSucceeded(true);
    return out;
  };
  kontroll.NyKontroll();
  kontroll.SetKjennemerke("AB12345");
  session.platform.duringLogin = [&] {
    session.platform.duringLogin = nullptr;
    kontroll.SetUnderstellsnr("5678");  // completes the pair once more
    kontroll.SetKm_stand(4200);
  };
  kontroll.SetUnderstellsnr("1234");
  EXPECT_EQ(created, 1);
  EXPECT_EQ(session.platform.loginDialogs, 1);
  ASSERT_EQ(session.service.Requests().size(), 2u);
  EXPECT_EQ(session.service.sentInspections[1]->InspectionNo(), "K-2001");
  EXPECT_EQ(LastSent().VIN(), "5678");
  EXPECT_EQ(LastSent().Mileage(), 4200);
  EXPECT_EQ(Text(kUnderstellsnr), "5678");
  EXPECT_EQ(events.fired.size(), 2u);


  // A write while the refusal message is on the screen (after the send) is
  // not lost with the record it went into: it goes out on the answer.
  session.service.saveInspection = [](const Tindrel2InspectionData2& in) {
    auto out = in.Clone();
    out->SetCreateSucceeded(in.Mileage() != 4200);
    return out;
  };
  session.platform.duringRefusal = [&] {
    session.platform.duringRefusal = nullptr;
    kontroll.SetSignatur("OK");
  };
  kontroll.SetKm_stand(4201);
  EXPECT_EQ(session.platform.refusals.size(), 0u);
  kontroll.SetKm_stand(4200);
  ASSERT_EQ(session.service.Requests().size(), 5u);
  EXPECT_EQ(LastSent().InspectedByInitials(), "OK");
  EXPECT_EQ(LastSent().InspectionNo(), "K-2001");
  EXPECT_EQ(Text(9), "OK");
}

TEST(InspectionObjectInterfaces, KvitteringsnrBelongsToKontroll2Only) {
  test::TFakeSession session;
  test::TRecordingEvents events;
  TInspectionObject first(TInspectionObject::Interface::Kontroll, session.access,
                          SystemTimeZone(), events);
  EXPECT_EQ(first.Members().size(), 46u);
  first.NyKontroll();
  EXPECT_THROW(first.Get(kKvitteringsnr), std::logic_error);
  EXPECT_THROW(first.SetKvitteringsnr("R1"), std::logic_error);
  EXPECT_THROW(first.Get(23), std::logic_error);
}

}  // namespace
}  // namespace tindrel
