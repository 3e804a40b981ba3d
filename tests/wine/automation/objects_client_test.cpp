// The eight automation classes out of process, through IDispatch by name as
// the workshop programs call them, against the service double: what each
// member reads and does, what the double received for it, the events, the
// login dialogs a request opens, and the error information of every member
// that can fail. The last tests check that the run reached every member the
// type library declares, and that the server ends with the last object.
//
//   objects_client_tests.exe --double-port=N --ui-driver=WINDOWS_PATH
//
// Needs Tindrel2.exe registered and a token cache that points at the double
// with its workshop user logged in (run by wine_objects.sh).

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "automation/Tindrel2.h"
#include "com/error_info.h"
#include "dispatch_walk.h"
#include "double_log.h"
#include "late_client.h"
#include "ui_answer.h"
#include "wine_client.h"

namespace tindrel::test {
namespace {

int g_doublePort = 0;
std::wstring g_uiDriverPath;

const char kRefusedTitle[] = "Kunne ikke opprette kontroll!";
const char kUnknownUser[] = "Ukjent bruker";  // the double's fault for "feilbruker"

// The apartment, the UI driver, and one object held for the whole run so
// that every test talks to the same server process.
class ClientEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_NE(0, g_doublePort) << "--double-port missing";
    ui = std::make_unique<UiDriver>(g_uiDriverPath);
    ASSERT_TRUE(ui->Running()) << "the UI driver did not start";
    anchor = std::make_unique<Late>(L"Tindrel2.ORV_Kunde2");
    ASSERT_TRUE(anchor->Made()) << "CoCreateInstance: 0x" << std::hex << anchor->CreateResult();
  }
  void TearDown() override {
    anchor.reset();
    ui.reset();
    CoUninitialize();
  }
  std::unique_ptr<UiDriver> ui;
  std::unique_ptr<Late> anchor;
};
ClientEnvironment* const g_env =
    static_cast<ClientEnvironment*>(::testing::AddGlobalTestEnvironment(new ClientEnvironment));

class Objects : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NO_THROW(service.Reset()); }

  std::vector<std::string> Operations() { return service.Operations(); }
  UiDriver& Ui() { return *g_env->ui; }

  DoubleLog service{g_doublePort};
};

using Ops = std::vector<std::string>;
using Values = std::map<std::wstring, std::string>;

// The member failed as a late-bound client sees it: DISP_E_EXCEPTION with
// the text as description and the class's ProgID as source.
void ExpectFailure(const Outcome& o, const std::string& text, const wchar_t* progId) {
  EXPECT_EQ(DISP_E_EXCEPTION, o.hr);
  EXPECT_EQ(text, win::Narrow(o.description));
  EXPECT_EQ(std::wstring(progId), o.source);
}

bool IsEmptyShown(const std::string& shown) {
  for (const char* empty : {"BSTR:", "I4:0", "I2:0", "BOOL:0", "DATE:0"}) {
    if (shown == empty) return true;
  }
  return false;
}

void ExpectAllEmpty(const Values& values) {
  EXPECT_FALSE(values.empty());
  for (const auto& [name, shown] : values) {
    EXPECT_TRUE(IsEmptyShown(shown)) << win::Narrow(name) << " reads " << shown;
  }
}

// Each expected member as read; dates within a second (the service sends
// fractions that the client's own conversion does not reproduce exactly).
void ExpectValues(const Values& actual, const Values& expected) {
  for (const auto& [name, want] : expected) {
    SCOPED_TRACE(win::Narrow(name));
    const auto found = actual.find(name);
    ASSERT_NE(actual.end(), found) << "not read";
    const std::string& got = found->second;
    if (want.rfind("DATE:", 0) == 0 && got.rfind("DATE:", 0) == 0) {
      EXPECT_NEAR(std::stod(want.substr(5)), std::stod(got.substr(5)), 1.0 / 86400) << got;
    } else {
      EXPECT_EQ(want, got);
    }
  }
}

double Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalDate(now.wYear, now.wMonth, now.wDay);
}

// Runs `body` for each of the classes, from a clean log each time. (Not
// TEST_P: parameterized suites would run after the coverage check.)
template <class Body>
void ForEach(DoubleLog& service, std::initializer_list<const wchar_t*> progIds, Body body) {
  for (const wchar_t* progId : progIds) {
    SCOPED_TRACE(win::Narrow(progId));
    service.Reset();
    body(progId);
  }
}

const std::initializer_list<const wchar_t*> kInspectionClasses = {L"Tindrel2.ORV_Kontroll",
                                                                  L"Tindrel2.ORV_Kontroll2"};
const std::initializer_list<const wchar_t*> kVehicleClasses = {L"Tindrel2.ORV_Bil",
                                                               L"Tindrel2.ORV_Bil2"};

bool IsKontroll2(const wchar_t* progId) {
  return std::wstring(progId) == L"Tindrel2.ORV_Kontroll2";
}

const IID& VehicleEvents(const wchar_t* progId) {
  return std::wstring(progId) == L"Tindrel2.ORV_Bil2" ? DIID_IORV_Bil2Events
                                                      : DIID_IORV_BilEvents;
}

// Inspection objects: both classes behave alike.

TEST_F(Objects, BeforeNyKontrollEveryGetIsEmptyAndWritesAreDropped) {
  ForEach(service, kInspectionClasses, [&](const wchar_t* progId) {
    Late k(progId);
    ASSERT_TRUE(k.Made());
    ExpectAllEmpty(k.ReadAll());
    EXPECT_EQ(S_OK, k.Put(L"Kjennemerke", L"AB12345").hr);
    EXPECT_EQ(S_OK, k.Put(L"Understellsnr", L"3456").hr);
    EXPECT_EQ(S_OK, k.Put(L"Km_stand", 45210L).hr);
    EXPECT_EQ(S_OK, k.Put(L"Kontrollnr", L"K-1001").hr);
    EXPECT_EQ(Str(L""), Show(k.Get(L"Kjennemerke")));
    EXPECT_EQ(I4(0), Show(k.Get(L"Km_stand")));
    EXPECT_EQ(Ops{}, Operations());
  });
}

TEST_F(Objects, ThePairSavesOnceThenEverySavingWriteSendsTheRecordAgain) {
  ForEach(service, kInspectionClasses, [&](const wchar_t* progId) {
    Late k(progId);
    ASSERT_TRUE(k.Made());
    EventConnection events(k, DIID_IORV_KontrollEvents);
    ASSERT_TRUE(events.Connected());
    ASSERT_EQ(S_OK, k.Call(L"NyKontroll").hr);

    ASSERT_EQ(S_OK, k.Put(L"Kjennemerke", L"AB12345").hr);
    EXPECT_EQ(Ops{}, Operations());
    EXPECT_EQ(std::vector<DISPID>{}, events.Fired());

    ASSERT_EQ(S_OK, k.Put(L"Understellsnr", L"3456").hr);
    std::vector<LoggedRequest> sent = service.Requests();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ("SaveInspection", sent[0].operation);
    EXPECT_EQ("AB12345", sent[0].Field("inspectionData", "RegNo").value_or("(none)"));
    EXPECT_EQ("3456", sent[0].Field("inspectionData", "VIN").value_or("(none)"));
    EXPECT_FALSE(sent[0].HasField("inspectionData", "InspectionNo"));
    EXPECT_EQ(std::vector<DISPID>{1}, events.Fired());  // GrunnverdierOK

    // The service's record, its vehicle included; the VIN as the client wrote it.
    ExpectValues(k.ReadAll(),
                 {{L"Kontrollnr", Str(L"K-2001")},
                  {L"Kjennemerke", Str(L"AB12345")},
                  {L"Status", Str(L"Opprettet")},
                  {L"Statusnr", I2(1)},
                  {L"Understellsnr", Str(L"3456")},
                  {L"Understellsnrfull", Str(L"TDL0000000A123456")},
                  {L"Modell", Str(L"Kombi 2.0")},
                  {L"Type", Str(L"TD5")},
                  {L"Merke", Str(L"Motorverket")},
                  {L"Merkekode", I2(77)},  // VehicleMakeNo here, not AutosysMakeCode
                  {L"Kjgruppekode", I2(101)},
                  {L"Kjgruppetekst", Str(L"Personbil")},
                  {L"Drivstoff", Str(L"Diesel")},
                  {L"Drivstoffkode", I2(2)},
                  {L"Till_tot_vekt", I4(2000)},
                  {L"Standstoy", I2(78)},
                  {L"Omd_min", I2(3000)},
                  {L"Fab_lab", Str(L"Fabrikk Nord")},
                  {L"Tillh_feste", Bool(1)},
                  {L"Bremsesystem", Bool(0)},
                  {L"Reg_aar", I2(2018)},
                  {L"Reg_dato", Date(UtcToLocalDate(2018, 6, 1))},  // RegistrationCountryDate
                  {L"Opprettetdato", Date(UtcToLocalDate(2024, 3, 15, 8, 30, 12))},
                  {L"Kontrolldato", Date(0)},
                  {L"Antall0", I2(0)},
                  {L"Kjforbud", Bool(0)},
                  {L"Kundenr", I4(0)},
                  {L"IntKundenr", I4(0)},
                  {L"MuligTidlKontrollnr", Str(L"")},
                  {L"Startable", Bool(0)}});

    ASSERT_EQ(S_OK, k.Put(L"Km_stand", 45210L).hr);
    sent = service.Requests();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ("K-2001", sent[1].Field("inspectionData", "InspectionNo").value_or("(none)"));
    EXPECT_EQ("45210", sent[1].Field("inspectionData", "Mileage").value_or("(none)"));
    EXPECT_EQ("3456", sent[1].Field("inspectionData", "VIN").value_or("(none)"));
    EXPECT_EQ((std::vector<DISPID>{1, 1}), events.Fired());

    // Accepted and ignored: nothing sent, nothing fired, nothing changed.
    EXPECT_EQ(S_OK, k.Put(L"Tillh_feste", false).hr);
    EXPECT_EQ(S_OK, k.Put(L"IntKundenr", 77L).hr);
    EXPECT_EQ(S_OK, k.Put(L"Kontrollnr", L"K-9999").hr);
    EXPECT_EQ(2u, service.Requests().size());
    EXPECT_EQ(2u, events.Fired().size());
    EXPECT_EQ(Str(L"K-2001"), Show(k.Get(L"Kontrollnr")));
    EXPECT_EQ(Bool(1), Show(k.Get(L"Tillh_feste")));

    ASSERT_EQ(S_OK, k.Put(L"Kundenr", -5L).hr);
    EXPECT_EQ(I4(-5), Show(k.Get(L"Kundenr")));
    ASSERT_EQ(S_OK, k.Put(L"Kundenr", 1001L).hr);
    EXPECT_EQ(I4(3001), Show(k.Get(L"IntKundenr")));  // the service's customer 1001
    ASSERT_EQ(S_OK, k.Put(L"TidlKontrollnr", L"K-1001").hr);
    ASSERT_EQ(S_OK, k.Put(L"Signatur", L"OKH").hr);
    if (IsKontroll2(progId)) {
      ASSERT_EQ(S_OK, k.Put(L"Kvitteringsnr", L"A-778").hr);
    }
    sent = service.Requests();
    ASSERT_EQ(IsKontroll2(progId) ? 7u : 6u, sent.size());
    EXPECT_EQ("-5", sent[2].Field("inspectionData", "CustomerNo").value_or("(none)"));
    EXPECT_EQ("1001", sent[3].Field("inspectionData", "CustomerNo").value_or("(none)"));
    EXPECT_EQ("K-1001",
              sent[4].Field("inspectionData", "PreviousInspectionNo").value_or("(none)"));
    EXPECT_EQ("OKH", sent[5].Field("inspectionData", "InspectedByInitials").value_or("(none)"));
    if (IsKontroll2(progId)) {
      EXPECT_EQ("A-778", sent[6].Field("inspectionData", "OrderNo").value_or("(none)"));
      EXPECT_EQ(Str(L"A-778"), Show(k.Get(L"Kvitteringsnr")));
    }
    for (const LoggedRequest& r : sent) {
      EXPECT_EQ("SaveInspection", r.operation);
      EXPECT_EQ("AB12345", r.Field("inspectionData", "RegNo").value_or("(none)"));
    }
    EXPECT_EQ(sent.size(), events.Fired().size());
    EXPECT_EQ(Str(L"K-1001"), Show(k.Get(L"TidlKontrollnr")));
    EXPECT_EQ(Str(L"OKH"), Show(k.Get(L"Signatur")));

    // The old life-cycle methods change nothing, here or at the service.
    for (const wchar_t* method : {L"SlettKontroll", L"LukkKontroll", L"InitierKontroll",
                                  L"StartKontroll"}) {
      EXPECT_EQ(S_OK, k.Call(method).hr) << win::Narrow(method);
    }
    EXPECT_EQ(sent.size(), service.Requests().size());
    EXPECT_EQ(Str(L"K-2001"), Show(k.Get(L"Kontrollnr")));
    EXPECT_EQ(I4(45210), Show(k.Get(L"Km_stand")));

    // A new inspection starts empty; the saved one stays at the service.
    ASSERT_EQ(S_OK, k.Call(L"NyKontroll").hr);
    EXPECT_EQ(Str(L""), Show(k.Get(L"Kontrollnr")));
    EXPECT_EQ(Str(L""), Show(k.Get(L"Kjennemerke")));
    EXPECT_EQ(sent.size(), service.Requests().size());
    EXPECT_EQ(sent.size(), events.Fired().size());
  });
}

TEST_F(Objects, ABlankPlateOrVinNeverSaves) {
  ForEach(service, kInspectionClasses, [&](const wchar_t* progId) {
    Late k(progId);
    ASSERT_TRUE(k.Made());
    EventConnection events(k, DIID_IORV_KontrollEvents);
    ASSERT_EQ(S_OK, k.Call(L"NyKontroll").hr);
    ASSERT_EQ(S_OK, k.Put(L"Kjennemerke", L" \t ").hr);
    ASSERT_EQ(S_OK, k.Put(L"Understellsnr", L"3456").hr);
    ASSERT_EQ(S_OK, k.Put(L"Km_stand", 100L).hr);
    EXPECT_EQ(Ops{}, Operations());
    EXPECT_TRUE(events.Fired().empty());
    // The blanks stay as written.
    EXPECT_EQ(Str(L" \t "), Show(k.Get(L"Kjennemerke")));

    ASSERT_EQ(S_OK, k.Put(L"Kjennemerke", L"AB12345").hr);
    EXPECT_EQ(Ops{"SaveInspection"}, Operations());
    // A VIN blanked again stops the saves.
    ASSERT_EQ(S_OK, k.Put(L"Understellsnr", L"   ").hr);
    ASSERT_EQ(S_OK, k.Put(L"Km_stand", 200L).hr);
    EXPECT_EQ(Ops{"SaveInspection"}, Operations());
    EXPECT_EQ(1u, events.Fired().size());
  });
}

// A fault answered to the login that a failed save asks for leaves the
// setter as its failure; the value just written stays, unsaved.
TEST_F(Objects, ALoginFaultDuringASaveFailsTheWriteWithTheFaultText) {
  ForEach(service, kInspectionClasses, [&](const wchar_t* progId) {
    Late k(progId);
    ASSERT_TRUE(k.Made());
    EventConnection events(k, DIID_IORV_KontrollEvents);
    ASSERT_EQ(S_OK, k.Call(L"NyKontroll").hr);
    ASSERT_EQ(S_OK, k.Put(L"Kjennemerke", L"AB12345").hr);
    service.Fault("http500", "SaveInspection");
    UiAnswer answer(Ui(), UiAction::LogIn("feilbruker", "x"));
    const Outcome o = k.Put(L"Understellsnr", L"3456");
    ASSERT_TRUE(answer.Done()) << answer.Problem();
    ExpectFailure(o, kUnknownUser, progId);
    EXPECT_TRUE(events.Fired().empty());
    EXPECT_EQ((Ops{"SaveInspection", "Authenticate"}), Operations());
    EXPECT_EQ("feilbruker", service.Requests()[1].Param("userName").value_or("(none)"));
    EXPECT_EQ(Str(L"3456"), Show(k.Get(L"Understellsnr")));
    EXPECT_EQ(Str(L""), Show(k.Get(L"Kontrollnr")));

    // The cached token still holds: the next write saves.
    ASSERT_EQ(S_OK, k.Put(L"Km_stand", 1L).hr);
    EXPECT_EQ(Str(L"K-2001"), Show(k.Get(L"Kontrollnr")));
    EXPECT_EQ(std::vector<DISPID>{1}, events.Fired());
  });
}

TEST_F(Objects, TheInspectionReadsTheServicesAnswerAsItCameBack) {
  Late k(L"Tindrel2.ORV_Kontroll");
  ASSERT_TRUE(k.Made());
  ASSERT_EQ(S_OK, k.Call(L"NyKontroll").hr);
  ASSERT_EQ(S_OK, k.Put(L"Kundenr", 1001L).hr);
  ASSERT_EQ(S_OK, k.Put(L"Kjennemerke", L"XY70000").hr);
  ASSERT_EQ(S_OK, k.Put(L"Understellsnr", L"0000").hr);
  ASSERT_EQ(Ops{"SaveInspection"}, Operations());
  EXPECT_EQ("1001", service.Requests()[0].Field("inspectionData", "CustomerNo").value_or(""));
  // The service answered with Count0 70000, a ban, its full VIN, a vehicle
  // in group 70000 and the customer number "12a".
  ExpectValues(k.ReadAll(), {{L"Antall0", I2(4464)},
                             {L"Kjforbud", Bool(1)},
                             {L"Understellsnr", Str(L"0000")},
                             {L"Understellsnrfull", Str(L"YV1XY700000070000")},
                             {L"Kjgruppekode", I2(4464)},
                             {L"Kundenr", I4(0)}});
  // The next save carries the client's VIN and the record as adopted.
  ASSERT_EQ(S_OK, k.Put(L"Km_stand", 5L).hr);
  const std::vector<LoggedRequest> sent = service.Requests();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ("0000", sent[1].Field("inspectionData", "VIN").value_or("(none)"));
  EXPECT_EQ("12a", sent[1].Field("inspectionData", "CustomerNo").value_or("(none)"));
}

TEST_F(Objects, ARefusedInspectionShowsTheReasonAndStillFires) {
  Late k(L"Tindrel2.ORV_Kontroll2");
  ASSERT_TRUE(k.Made());
  EventConnection events(k, DIID_IORV_KontrollEvents);
  ASSERT_EQ(S_OK, k.Call(L"NyKontroll").hr);
  ASSERT_EQ(S_OK, k.Put(L"Kjennemerke", L"NEKT123").hr);
  UiAnswer answer(Ui(), UiAction::Acknowledge(kRefusedTitle));
  EXPECT_EQ(S_OK, k.Put(L"Understellsnr", L"1234").hr);
  ASSERT_TRUE(answer.Done()) << answer.Problem();
  EXPECT_EQ("Kjøretøyet har allerede en åpen kontroll", answer.MessageText());
  EXPECT_EQ(Ops{"SaveInspection"}, Operations());
  EXPECT_EQ(std::vector<DISPID>{1}, events.Fired());
  EXPECT_EQ(Str(L""), Show(k.Get(L"Kontrollnr")));
}

TEST_F(Objects, ACancelledLoginKeepsTheInspectionsValuesAndStillFires) {
  Late k(L"Tindrel2.ORV_Kontroll");
  ASSERT_TRUE(k.Made());
  EventConnection events(k, DIID_IORV_KontrollEvents);
  ASSERT_EQ(S_OK, k.Call(L"NyKontroll").hr);
  ASSERT_EQ(S_OK, k.Put(L"Kjennemerke", L"AB12345").hr);
  service.Fault("http500", "SaveInspection");
  UiAnswer answer(Ui(), UiAction::CloseLogin());
  EXPECT_EQ(S_OK, k.Put(L"Understellsnr", L"3456").hr);
  ASSERT_TRUE(answer.Done()) << answer.Problem();
  EXPECT_EQ(Ops{"SaveInspection"}, Operations());
  EXPECT_EQ(std::vector<DISPID>{1}, events.Fired());
  EXPECT_EQ(Str(L""), Show(k.Get(L"Kontrollnr")));
  EXPECT_EQ(Str(L"AB12345"), Show(k.Get(L"Kjennemerke")));
  EXPECT_EQ(Str(L"3456"), Show(k.Get(L"Understellsnr")));
}

// Vehicle objects.

TEST_F(Objects, BeforeALookupEveryPropertyIsEmptyAndThePlateWriteIsIgnored) {
  ForEach(service, kVehicleClasses, [&](const wchar_t* progId) {
    Late bil(progId);
    ASSERT_TRUE(bil.Made());
    ExpectAllEmpty(bil.ReadAll());
    EXPECT_EQ(S_OK, bil.Put(L"Kjennemerke", L"AB12345").hr);
    EXPECT_EQ(Str(L""), Show(bil.Get(L"Kjennemerke")));
    EXPECT_EQ(Ops{}, Operations());
  });
}

TEST_F(Objects, FinnFiresNothingAndALoginFaultLeavesTheRecordWithTheFaultText) {
  ForEach(service, kVehicleClasses, [&](const wchar_t* progId) {
    Late bil(progId);
    ASSERT_TRUE(bil.Made());
    EventConnection events(bil, VehicleEvents(progId));
    ASSERT_TRUE(events.Connected());
    ASSERT_EQ(S_OK, bil.Call(L"Finn", {L"ZZ99999"}).hr);
    EXPECT_EQ(Str(L""), Show(bil.Get(L"Kjennemerke")));
    ASSERT_EQ(S_OK, bil.Call(L"Finn", {L"AB12345"}).hr);
    EXPECT_EQ(Str(L"AB12345"), Show(bil.Get(L"Kjennemerke")));
    const std::vector<LoggedRequest> sent = service.Requests();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ("ZZ99999", sent[0].Param("regNo").value_or("(none)"));
    EXPECT_EQ("AB12345", sent[1].Param("regNo").value_or("(none)"));

    service.Fault("http500", "GetVehicleData");
    UiAnswer answer(Ui(), UiAction::LogIn("feilbruker", "x"));
    const Outcome o = bil.Call(L"Finn", {L"CD67890"});
    ASSERT_TRUE(answer.Done()) << answer.Problem();
    ExpectFailure(o, kUnknownUser, progId);
    EXPECT_EQ(Str(L"AB12345"), Show(bil.Get(L"Kjennemerke")));
    EXPECT_EQ((Ops{"GetVehicleData", "GetVehicleData", "GetVehicleData", "Authenticate"}),
              Operations());
    EXPECT_TRUE(events.Fired().empty());
  });
}

TEST_F(Objects, HentTellsFoundNotFoundAndALoginFaultByEvent) {
  ForEach(service, kVehicleClasses, [&](const wchar_t* progId) {
    Late bil(progId);
    ASSERT_TRUE(bil.Made());
    EventConnection events(bil, VehicleEvents(progId));
    ASSERT_TRUE(events.Connected());
    // The handler already reads the new record.
    std::string readInHandler;
    events.Sink().onInvoke = [&](DISPID) { readInHandler = Show(bil.Get(L"Kjennemerke")); };

    ASSERT_EQ(S_OK, bil.Call(L"Hent", {L"AB12345"}).hr);
    EXPECT_EQ(std::vector<DISPID>{1}, events.Fired());  // BildataFunnet
    EXPECT_EQ(Str(L"AB12345"), readInHandler);
    ASSERT_EQ(S_OK, bil.Call(L"Hent", {L"ZZ99999"}).hr);
    EXPECT_EQ((std::vector<DISPID>{1, 2}), events.Fired());  // BildataIkkeFunnet
    EXPECT_EQ(Str(L""), readInHandler);
    ASSERT_EQ(S_OK, bil.Call(L"Hent", {L"AB12345"}).hr);
    EXPECT_EQ((Ops{"GetVehicleData", "GetVehicleData", "GetVehicleData"}), Operations());

    // A fault answered to the login: the record is dropped, not found, success.
    service.Fault("http500", "GetVehicleData");
    UiAnswer answer(Ui(), UiAction::LogIn("feilbruker", "x"));
    EXPECT_EQ(S_OK, bil.Call(L"Hent", {L"AB12345"}).hr);
    ASSERT_TRUE(answer.Done()) << answer.Problem();
    EXPECT_EQ((std::vector<DISPID>{1, 2, 1, 2}), events.Fired());
    EXPECT_EQ(Str(L""), Show(bil.Get(L"Kjennemerke")));
    const std::vector<std::string> ops = Operations();
    ASSERT_EQ(5u, ops.size());
    EXPECT_EQ("Authenticate", ops[4]);
  });
}

TEST_F(Objects, AVehicleReadsEveryRegistrationValueFromItsMember) {
  const Values common = {
      {L"Kjennemerke", Str(L"AB12345")},
      {L"Understellsnr", Str(L"TDL0000000A123456")},
      {L"Kontrollperiode", Date(UtcToLocalDate(2025, 5, 31))},
      {L"Kjgruppekode", I2(101)},
      {L"Kjgruppe", Str(L"Personbil")},
      {L"Merkekode", I2(5123)},  // AutosysMakeCode here
      {L"Merke", Str(L"Motorverket")},
      {L"Modell", Str(L"Kombi 2.0")},
      {L"Type", Str(L"TD5")},
      {L"Till_tot_vekt", I4(2000)},
      {L"Drivstoffkode", I2(2)},
      {L"Drivstoff", Str(L"Diesel")},
      {L"Standstoy", I2(78)},
      {L"Omd_min", I2(3000)},
      {L"Fab_lab", Str(L"Fabrikk Nord")},
      {L"Reg_aar", I2(2018)},
      {L"Reg_dato", Date(UtcToLocalDate(2018, 5, 30, 22))},
  };
  Late bil(L"Tindrel2.ORV_Bil");
  ASSERT_TRUE(bil.Made());
  ASSERT_EQ(S_OK, bil.Call(L"Finn", {L"AB12345"}).hr);
  Values bilValues = common;
  bilValues[L"Godkjentdato"] = Date(UtcToLocalDate(2019, 3, 1));
  ExpectValues(bil.ReadAll(), bilValues);

  Late bil2(L"Tindrel2.ORV_Bil2");
  ASSERT_TRUE(bil2.Made());
  ASSERT_EQ(S_OK, bil2.Call(L"Hent", {L"AB12345"}).hr);
  Values bil2Values = common;
  bil2Values.insert({
      {L"Godkjdato", Date(UtcToLocalDate(2019, 3, 1))},
      {L"Godkjent", Bool(1)},
      {L"Godkjenner", I2(12)},
      {L"Godkjentdato", Date(UtcToLocalDate(2019, 3, 1))},
      {L"Godkjentkontroll", Str(L"K-1001")},
      {L"Tilhengervekt_med_brems", I4(1800)},
      {L"Tilhengervekt_uten_brems", I4(750)},
      {L"Motorytelse", I4(110)},
      {L"Slagvolum", I4(1968)},
      {L"Lengde", I4(4669)},
      {L"Bredde", I4(1832)},
      {L"Std_dekk_foran", Str(L"215/55R17")},
      {L"Std_dekk_bak", Str(L"225/50R17")},
      {L"Std_felg_foran", Str(L"7Jx17")},
      {L"Std_felg_bak", Str(L"7.5Jx17")},
      {L"Min_LI_foran", Str(L"91")},
      {L"Min_LI_bak", Str(L"94")},
      {L"Min_hast_foran", Str(L"V")},
      {L"Min_hast_bak", Str(L"W")},
      {L"Min_innpress_foran", I4(45)},
      {L"Min_innpress_bak", I4(46)},
      {L"Maks_sporvidde_foran", I4(1549)},
      {L"Maks_sporvidde_bak", I4(1520)},
      {L"Akseltrykk_foran", I4(1010)},
      {L"Akseltrykk_bak", I4(1020)},
      {L"EU_hovednr", Str(L"e9*2007/46*4711")},
      {L"EU_variant", Str(L"VAR-A1")},
      {L"EU_versjon", Str(L"VER-B2")},
      {L"Typegodkjenningsnr", Str(L"NO-4711")},
      {L"Bruktimportert", Bool(1)},
      {L"Ramme_karosseri", Str(L"AC Kombi")},
      {L"Motormerking", Str(L"TDX110")},
      {L"Girkasse", Str(L"Manuell 6 trinn")},
      {L"Egenvekt", I4(1475)},
      {L"Drivende_hjul", Str(L"Forhjulsdrift")},
      {L"Vognkort_anm", Str(L"Registrert første gang i Norge")},
      {L"Identitet_anm", Str(L"Identitet kontrollert & <OK>")},
      {L"Avreg_dato", Date(UtcToLocalDate(2030, 12, 31, 23))},
      {L"Antall_aksler", I2(3)},
      {L"Antall_aksler_drift", I2(1)},
      {L"Lengde_tilh_kobling", I2(1090)},
      {L"Maks_bel_tilhfeste", I4(80)},
      {L"Maks_taklast", I4(90)},
      {L"Vogntogvekt", I4(3590)},
      {L"Ytelsesmaal", Str(L"")},
      {L"Diffsperre", Bool(0)},
      {L"Akselavstand1", I2(0)},
      {L"Akselavstand2", I2(0)},
      {L"Akselavstand3", I2(0)},
      {L"Akselavstand4", I2(0)},
      {L"Egenvekt_foraksel", I4(0)},
      {L"Egenvekt_bakaksel", I4(0)},
      {L"Sitteplasser_totalt", I2(5)},
      {L"Sitteplasser_foran", I2(0)},
      {L"Staaplasser", I2(0)},
      {L"Nyttelast", I4(2000 - 1475 - 75)},
      {L"Farge", Str(L"Sølvgrå")},
      {L"Norm_merke", Str(L"Motorverket")},
      {L"Norm_modell", Str(L"Kombi 2.0")},
      {L"Norm_type", Str(L"TD5")},
      {L"Hjuldrift", Str(L"Forhjulsdrift")},
      {L"Karosseri", Str(L"AC Kombi")},
      {L"Tecdoc", I4(0)},
      {L"Nedlastet_dato", Date(Today())},
      {L"Spesialdato1", Date(0)},
  });
  const Values read = bil2.ReadAll();
  EXPECT_EQ(bil2Values.size(), read.size()) << "every member of IORV_Bil2 has an expectation";
  ExpectValues(read, bil2Values);
  EXPECT_EQ((Ops{"GetVehicleData", "GetVehicleData"}), Operations());
}

TEST_F(Objects, NumbersAtTheirLimitsAndTheYearFilterOfOrvBil) {
  Late bil(L"Tindrel2.ORV_Bil");
  Late bil2(L"Tindrel2.ORV_Bil2");
  ASSERT_TRUE(bil.Made());
  ASSERT_TRUE(bil2.Made());
  // Approved on 1900-06-15: ORV_Bil hides a date of 1900, ORV_Bil2 does not.
  ASSERT_EQ(S_OK, bil.Call(L"Finn", {L"XY70000"}).hr);
  ASSERT_EQ(S_OK, bil2.Call(L"Finn", {L"XY70000"}).hr);
  EXPECT_EQ(Date(0), Show(bil.Get(L"Godkjentdato")));
  EXPECT_EQ(Date(UtcToLocalDate(1900, 6, 15)), Show(bil2.Get(L"Godkjdato")));
  EXPECT_EQ(Date(UtcToLocalDate(1900, 6, 15)), Show(bil2.Get(L"Godkjentdato")));
  EXPECT_EQ(I2(4464), Show(bil.Get(L"Kjgruppekode")));  // 70000
  EXPECT_EQ(I2(4464), Show(bil2.Get(L"Godkjenner")));   // 70000
  EXPECT_EQ(I4(525), Show(bil2.Get(L"Nyttelast")));     // 2000 - 1400 - 75
  EXPECT_EQ(I4(74), Show(bil2.Get(L"Motorytelse")));    // 74.99

  // Nothing but the plate: both weights 0, no approval.
  ASSERT_EQ(S_OK, bil2.Call(L"Finn", {L"EM00000"}).hr);
  EXPECT_EQ(I4(-75), Show(bil2.Get(L"Nyttelast")));
  EXPECT_EQ(I4(0), Show(bil2.Get(L"Motorytelse")));
  EXPECT_EQ(Bool(0), Show(bil2.Get(L"Godkjent")));
  EXPECT_EQ(Date(0), Show(bil2.Get(L"Godkjdato")));
  EXPECT_EQ(Date(Today()), Show(bil2.Get(L"Nedlastet_dato")));

  // First registered on 1900-01-01: the year is not filtered there.
  ASSERT_EQ(S_OK, bil.Call(L"Finn", {L"CD67890"}).hr);
  EXPECT_EQ(I2(1900), Show(bil.Get(L"Reg_aar")));
  EXPECT_EQ(Date(UtcToLocalDate(1900, 1, 1)), Show(bil.Get(L"Reg_dato")));
  EXPECT_EQ((Ops{"GetVehicleData", "GetVehicleData", "GetVehicleData", "GetVehicleData"}),
            Operations());
}

// Customer objects.

TEST_F(Objects, ANewCustomerObjectReadsEmptyDropsWritesAndIsNotInListMode) {
  Late kunde(L"Tindrel2.ORV_Kunde");
  ASSERT_TRUE(kunde.Made());
  ExpectAllEmpty(kunde.ReadAll());
  EXPECT_EQ(S_OK, kunde.Put(L"Navn", L"Ola Nordmann").hr);
  EXPECT_EQ(S_OK, kunde.Put(L"Kundenr", 1234L).hr);
  EXPECT_EQ(Str(L""), Show(kunde.Get(L"Navn")));
  ExpectFailure(kunde.Call(L"FindNext"), "Ikke i listemodus", L"Tindrel2.ORV_Kunde");
  EXPECT_EQ(S_OK, kunde.Call(L"Slett").hr);
  EXPECT_EQ(Ops{}, Operations());
}

TEST_F(Objects, TheCustomerWalkWithANewCustomerInTheMiddle) {
  Late kunde(L"Tindrel2.ORV_Kunde");
  ASSERT_TRUE(kunde.Made());
  ASSERT_EQ(S_OK, kunde.Call(L"FindFirst").hr);
  EXPECT_EQ(Ops{"GetCustomers"}, Operations());
  ExpectValues(kunde.ReadAll(), {{L"Navn", Str(L"Bilservice Nord AS")},
                                 {L"Fornavn", Str(L"")},
                                 {L"Mellomnavn", Str(L"")},
                                 {L"Adr1", Str(L"Storgata 1")},
                                 {L"Adr2", Str(L"")},
                                 {L"Postnr", Str(L"9008")},
                                 {L"Poststed", Str(L"Tromsø")},
                                 {L"Epost", Str(L"post@bilservice-nord.example")},
                                 {L"Kundetype", I2(1)},  // a company
                                 {L"Kundenr", I4(1001)},
                                 {L"IntKundenr", I4(3001)}});
  ASSERT_EQ(S_OK, kunde.Call(L"FindNext").hr);
  // The service's record has the middle name "Æ."; the member never reads it.
  ExpectValues(kunde.ReadAll(), {{L"Navn", Str(L"Ærlig")},
                                 {L"Fornavn", Str(L"Bjørn")},
                                 {L"Mellomnavn", Str(L"")},
                                 {L"Adr2", Str(L"Leilighet 3")},
                                 {L"Poststed", Str(L"Ålesund")},
                                 {L"Kundetype", I2(2)},  // private
                                 {L"Kundenr", I4(1002)},
                                 {L"IntKundenr", I4(3002)}});

  // A new customer in the middle of the walk: first saved when both its
  // number and its name are there.
  ASSERT_EQ(S_OK, kunde.Call(L"Ny").hr);
  EXPECT_EQ(Str(L""), Show(kunde.Get(L"Navn")));
  ASSERT_EQ(S_OK, kunde.Put(L"Navn", L"Ny Kunde AS").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Kundetype", short{1}).hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Mellomnavn", L"M.").hr);
  EXPECT_EQ(Ops{"GetCustomers"}, Operations());
  ASSERT_EQ(S_OK, kunde.Put(L"Kundenr", 1234L).hr);
  std::vector<LoggedRequest> sent = service.Requests();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ("SaveCustomer", sent[1].operation);
  EXPECT_EQ("1234", sent[1].Field("customerData", "CustomerNo").value_or("(none)"));
  EXPECT_EQ("Ny Kunde AS", sent[1].Field("customerData", "Name").value_or("(none)"));
  EXPECT_NE("true", sent[1].Field("customerData", "IsCompany").value_or("(not sent)"));
  EXPECT_FALSE(sent[1].HasField("customerData", "MiddleName"));
  EXPECT_EQ(I4(5001), Show(kunde.Get(L"IntKundenr")));  // numbered by the service
  EXPECT_EQ(I2(2), Show(kunde.Get(L"Kundetype")));

  // From now on every write saves, carrying the service's number.
  ASSERT_EQ(S_OK, kunde.Put(L"Fornavn", L"Kari").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Adr1", L"Kaia 2").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Adr2", L"Postboks 9").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Postnr", L"0150").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Epost", L"post@nykunde.example").hr);
  sent = service.Requests();
  ASSERT_EQ(7u, sent.size());
  const LoggedRequest& last = sent.back();
  EXPECT_EQ("5001", last.Field("customerData", "CustomerNoInternal").value_or("(none)"));
  EXPECT_EQ("Kari", last.Field("customerData", "FirstName").value_or("(none)"));
  EXPECT_EQ("Kaia 2", last.Field("customerData", "Address1").value_or("(none)"));
  EXPECT_EQ("Postboks 9", last.Field("customerData", "Address2").value_or("(none)"));
  EXPECT_EQ("0150", last.Field("customerData", "ZipCode").value_or("(none)"));
  EXPECT_EQ("post@nykunde.example", last.Field("customerData", "Email").value_or("(none)"));
  EXPECT_EQ(Str(L"0150"), Show(kunde.Get(L"Postnr")));

  // The walk goes on after the customer that was current before Ny.
  ASSERT_EQ(S_OK, kunde.Call(L"FindNext").hr);
  EXPECT_EQ(Str(L"Nordmann"), Show(kunde.Get(L"Navn")));
  EXPECT_EQ(I4(1003), Show(kunde.Get(L"Kundenr")));
  ExpectFailure(kunde.Call(L"FindNext"), "Forbi siste kunde", L"Tindrel2.ORV_Kunde");
  EXPECT_EQ(Str(L""), Show(kunde.Get(L"Navn")));
  ExpectFailure(kunde.Call(L"FindNext"), "Ikke i listemodus", L"Tindrel2.ORV_Kunde");
  EXPECT_EQ(S_OK, kunde.Call(L"Slett").hr);
  EXPECT_EQ(7u, service.Requests().size());
}

TEST_F(Objects, FinnFindsACustomerOrReportsKundeIkkeFunnet) {
  Late kunde(L"Tindrel2.ORV_Kunde");
  ASSERT_TRUE(kunde.Made());
  ASSERT_EQ(S_OK, kunde.Call(L"Finn", {1002L}).hr);
  EXPECT_EQ(Str(L"Ærlig"), Show(kunde.Get(L"Navn")));
  ExpectFailure(kunde.Call(L"Finn", {99999L}), "Kunde ikke funnet", L"Tindrel2.ORV_Kunde");
  EXPECT_EQ(Str(L""), Show(kunde.Get(L"Navn")));
  EXPECT_EQ(I4(0), Show(kunde.Get(L"Kundenr")));
  const std::vector<LoggedRequest> sent = service.Requests();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ("GetCustomer", sent[0].operation);
  EXPECT_EQ("1002", sent[0].Param("customerNo").value_or("(none)"));
  EXPECT_EQ("99999", sent[1].Param("customerNo").value_or("(none)"));
}

TEST_F(Objects, ACustomerWhoseNameIsBlankIsNeverSaved) {
  Late kunde(L"Tindrel2.ORV_Kunde");
  ASSERT_TRUE(kunde.Made());
  ASSERT_EQ(S_OK, kunde.Call(L"Ny").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Kundenr", 42L).hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Navn", L"  \t").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Fornavn", L"Per").hr);
  ASSERT_EQ(S_OK, kunde.Put(L"Epost", L"per@example.invalid").hr);
  EXPECT_EQ(Ops{}, Operations());
  ASSERT_EQ(S_OK, kunde.Put(L"Navn", L"Hansen").hr);
  EXPECT_EQ(Ops{"SaveCustomer"}, Operations());
}

// The approval-in-period object and the host functions.

TEST_F(Objects, ErBilKontrollertIPeriodeCountsWhatTheServiceReturns) {
  Late info(L"Tindrel2.ORV_KontrollInfo");
  ASSERT_TRUE(info.Made());
  EXPECT_EQ(I2(2), Show(info.Call(L"ErBilKontrollertIPeriode", {L"AB12345", short{2019}, short{3}})));
  // Passed on as given: blanks, month 13, year 0.
  EXPECT_EQ(I2(0),
            Show(info.Call(L"ErBilKontrollertIPeriode", {L" AB12345 ", short{0}, short{13}})));
  const std::vector<LoggedRequest> sent = service.Requests();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ((std::vector<std::string>{"regNo", "month", "year", "token"}), sent[0].ParamNames());
  EXPECT_EQ("AB12345", sent[0].Param("regNo").value_or("(none)"));
  EXPECT_EQ("3", sent[0].Param("month").value_or("(none)"));
  EXPECT_EQ("2019", sent[0].Param("year").value_or("(none)"));
  EXPECT_EQ(" AB12345 ", sent[1].Param("regNo").value_or("(none)"));
  EXPECT_EQ("13", sent[1].Param("month").value_or("(none)"));
  EXPECT_EQ("0", sent[1].Param("year").value_or("(none)"));
}

TEST_F(Objects, ErBilKontrollertIPeriodeAfterACancelledOrAFailedLogin) {
  Late info(L"Tindrel2.ORV_KontrollInfo");
  ASSERT_TRUE(info.Made());
  service.Fault("http500", "GetInspectionsForVehicleForPeriod");
  {
    UiAnswer answer(Ui(), UiAction::CloseLogin());
    EXPECT_EQ(I2(0),
              Show(info.Call(L"ErBilKontrollertIPeriode", {L"AB12345", short{2019}, short{3}})));
    ASSERT_TRUE(answer.Done()) << answer.Problem();
  }
  service.Fault("http500", "GetInspectionsForVehicleForPeriod");
  UiAnswer answer(Ui(), UiAction::LogIn("feilbruker", "x"));
  const Outcome o = info.Call(L"ErBilKontrollertIPeriode", {L"AB12345", short{2019}, short{3}});
  ASSERT_TRUE(answer.Done()) << answer.Problem();
  ExpectFailure(o, kUnknownUser, L"Tindrel2.ORV_KontrollInfo");
  EXPECT_EQ((Ops{"GetInspectionsForVehicleForPeriod", "GetInspectionsForVehicleForPeriod",
                 "Authenticate"}),
            Operations());
}

TEST_F(Objects, TheHostFunctionsSucceedAndTouchNothing) {
  Late velkar(L"Tindrel2.ORV_Velkar");
  ASSERT_TRUE(velkar.Made());
  EventConnection events(velkar, DIID_IORV_VelkarEvents);
  EXPECT_TRUE(events.Connected());
  for (const wchar_t* method : {L"RedigerKontroll", L"SkrivKontrollseddel",
                                L"SkrivKontrollseddelkopi", L"SkrivVerkstedseddel",
                                L"SkrivVerkstedkopi", L"SendKontrollTilHT"}) {
    EXPECT_EQ(S_OK, velkar.Call(method, {L"K-2001"}).hr) << win::Narrow(method);
    EXPECT_EQ(S_OK, velkar.Call(method, {L""}).hr) << win::Narrow(method);
  }
  EXPECT_EQ(S_OK, velkar.Call(L"OppdaterStatus").hr);
  ExpectValues(velkar.ReadAll(),
               {{L"Verkstednr", I2(0)}, {L"Organnr", Str(L"")}, {L"HT", Bool(0)}});
  EXPECT_EQ(Ops{}, Operations());
  EXPECT_TRUE(events.Fired().empty());
}

TEST_F(Objects, OrvKunde2HasNoMembersOfItsOwn) {
  Late kunde2(L"Tindrel2.ORV_Kunde2");
  ASSERT_TRUE(kunde2.Made());
  EXPECT_TRUE(kunde2.PropertyNames().empty());
  EXPECT_TRUE(CallEveryMember(kunde2.get()).empty());
}

// Run last: what the tests above reached.

const wchar_t* const kProgIds[] = {
    L"Tindrel2.ORV_Kontroll", L"Tindrel2.ORV_Kunde",     L"Tindrel2.ORV_Velkar",
    L"Tindrel2.ORV_KontrollInfo", L"Tindrel2.ORV_Bil", L"Tindrel2.ORV_Bil2",
    L"Tindrel2.ORV_Kontroll2",    L"Tindrel2.ORV_Kunde2"};

std::wstring KindName(INVOKEKIND kind) {
  return kind == INVOKE_PROPERTYGET ? L" (get)" : kind == INVOKE_PROPERTYPUT ? L" (put)" : L"()";
}

TEST(Coverage, EveryMemberOfEveryClassWasCalled) {
  if (::testing::GTEST_FLAG(filter) != "*") GTEST_SKIP() << "only with the whole run";
  for (const wchar_t* progId : kProgIds) {
    SCOPED_TRACE(win::Narrow(progId));
    Late object(progId);
    ASSERT_TRUE(object.Made()) << "0x" << std::hex << object.CreateResult();
    win::ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, object.get()->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    const UINT count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    const auto& invoked = InvokedMembers()[object.Iid()];
    std::wstring missing;
    for (UINT i = 0; i < count; ++i) {
      FUNCDESC* fd = nullptr;
      ASSERT_EQ(S_OK, info->GetFuncDesc(i, &fd));
      const std::pair<DISPID, INVOKEKIND> member{fd->memid, fd->invkind};
      win::UniqueBstr name;
      info->GetDocumentation(fd->memid, name.put(), nullptr, nullptr, nullptr);
      info->ReleaseFuncDesc(fd);
      if (!name || IsInherited(name.get())) continue;
      if (!invoked.count(member)) missing += L" " + std::wstring(name.get()) + KindName(member.second);
    }
    EXPECT_EQ(L"", missing) << "never called";
  }
}

TEST(Server, OneProcessServedTheRunAndEndsWithTheLastObject) {
  EXPECT_EQ(1u, ServerProcesses().size());
  g_env->anchor.reset();
  NoServerWithin(30000);
  EXPECT_TRUE(ServerProcesses().empty()) << "the server did not end after the last release";
}

}  // namespace
}  // namespace tindrel::test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--double-port=", 0) == 0) {
      tindrel::test::g_doublePort = std::atoi(arg.c_str() + 14);
    } else if (arg.rfind("--ui-driver=", 0) == 0) {
      tindrel::test::g_uiDriverPath = tindrel::win::Widen(arg.substr(12));
    }
  }
  return RUN_ALL_TESTS();
}
