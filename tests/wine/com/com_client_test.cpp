// An automation client in its own process: creates the server's classes by
// ProgID out of process (COM starts the registered Tindrel2.exe with
// "-Embedding"), calls them late- and early-bound, connects event sinks,
// and checks that the server process ends by itself after the last
// release. Needs Tindrel2.exe registered and a token cache that sends it to
// the service double (run by com_server.sh); the behaviour behind the
// members is tested in tests/wine/automation.

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/Tindrel2.h"
#include "winapi/unique_any.h"
#include "winapi/com_ptr.h"
#include "winapi/strings.h"
#include "dispatch_walk.h"
#include "test_sink.h"
#include "wine_client.h"

namespace tindrel {
namespace {

using win::ComPtr;

struct Class {
  const wchar_t* progId;
  const CLSID& clsid;
  const IID& iid;
  const IID* events;
};

const Class kClasses[] = {
    {L"Tindrel2.ORV_Kontroll", CLSID_ORV_Kontroll, IID_IORV_Kontroll, &DIID_IORV_KontrollEvents},
    {L"Tindrel2.ORV_Kunde", CLSID_ORV_Kunde, IID_IORV_Kunde, nullptr},
    {L"Tindrel2.ORV_Velkar", CLSID_ORV_Velkar, IID_IORV_Velkar, &DIID_IORV_VelkarEvents},
    {L"Tindrel2.ORV_KontrollInfo", CLSID_ORV_KontrollInfo, IID_IORV_KontrollInfo, nullptr},
    {L"Tindrel2.ORV_Bil", CLSID_ORV_Bil, IID_IORV_Bil, &DIID_IORV_BilEvents},
    {L"Tindrel2.ORV_Bil2", CLSID_ORV_Bil2, IID_IORV_Bil2, &DIID_IORV_Bil2Events},
    {L"Tindrel2.ORV_Kontroll2", CLSID_ORV_Kontroll2, IID_IORV_Kontroll2,
     &DIID_IORV_KontrollEvents},
    {L"Tindrel2.ORV_Kunde2", CLSID_ORV_Kunde2, IID_IORV_Kunde2, &DIID_IORV_Kunde2Events},
};

class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
  void TearDown() override { CoUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

using test::ServerProcesses;

// Waits up to `ms` for every server process to end; ends the ones left
// over and says whether there were any.
bool ServersEndedWithin(DWORD ms) {
  if (test::NoServerWithin(ms)) return true;
  for (DWORD id : ServerProcesses()) {
    const win::UniqueHandle p(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (p) TerminateProcess(p.get(), 1);
  }
  return false;
}

struct WindowSearch {
  DWORD process;
  bool found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM p) {
  auto* s = reinterpret_cast<WindowSearch*>(p);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s->process && IsWindowVisible(window)) s->found = true;
  return TRUE;
}

bool HasVisibleWindow(DWORD process) {
  WindowSearch search{process, false};
  EnumWindows(&FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

ComPtr<IDispatch> CreateByProgId(const wchar_t* progId) {
  CLSID clsid{};
  EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &clsid));
  ComPtr<IDispatch> object;
  EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                   object.put_void()));
  return object;
}

// Every test starts and ends without a server: it must end by itself
// after the last release, within a bounded time.
class Client : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ServersEndedWithin(30000)) << "a server was left running"; }
  void TearDown() override {
    EXPECT_TRUE(ServersEndedWithin(30000)) << "the server did not end after the last release";
  }
};

TEST_F(Client, CreatesEveryClassByProgIdInOneHiddenServerProcess) {
  std::vector<ComPtr<IDispatch>> objects;
  for (const Class& c : kClasses) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(c.progId)));
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(c.progId, &clsid));
    EXPECT_TRUE(IsEqualCLSID(c.clsid, clsid));
    objects.push_back(CreateByProgId(c.progId));
    ASSERT_TRUE(objects.back());
    EXPECT_TRUE(objects.back().try_query<IUnknown>(c.iid));
    EXPECT_TRUE(objects.back().try_query<IUnknown>(IID_ISupportErrorInfo));
    EXPECT_EQ(c.events != nullptr,
              static_cast<bool>(objects.back().try_query<IUnknown>(IID_IConnectionPointContainer)));
  }
  const std::vector<DWORD> servers = ServerProcesses();
  ASSERT_EQ(1u, servers.size());
  EXPECT_FALSE(HasVisibleWindow(servers[0]));
  // Objects in use keep it running; the fixture waits for its end.
  objects.pop_back();
  Sleep(500);
  EXPECT_EQ(servers, ServerProcesses());
}

TEST_F(Client, LateBoundNamesGiveTheirDispids) {
  struct Lookup {
    const wchar_t* progId;
    const wchar_t* name;
    DISPID dispid;  // DISPID_UNKNOWN: not a member
  };
  const Lookup lookups[] = {
      {L"Tindrel2.ORV_Kontroll", L"Kontrollnr", 2},
      {L"Tindrel2.ORV_Kontroll", L"StartKontroll", 5},
      {L"Tindrel2.ORV_Kontroll", L"Kvitteringsnr", DISPID_UNKNOWN},
      {L"Tindrel2.ORV_Kontroll2", L"Kvitteringsnr", 14},
      {L"Tindrel2.ORV_Kontroll2", L"kontrollNR", 2},  // names ignore letter case
      {L"Tindrel2.ORV_Bil2", L"Godkjdato", 4},
      {L"Tindrel2.ORV_Bil2", L"Godkjentdato", 23},
      {L"Tindrel2.ORV_Bil", L"Godkjentdato", 4},
      {L"Tindrel2.ORV_Bil", L"Godkjdato", DISPID_UNKNOWN},
  };
  for (const Lookup& l : lookups) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(l.progId) + L"." + l.name));
    const ComPtr<IDispatch> object = CreateByProgId(l.progId);
    ASSERT_TRUE(object);
    LPOLESTR names[] = {const_cast<LPOLESTR>(l.name)};
    DISPID id = 0;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (l.dispid == DISPID_UNKNOWN) {
      EXPECT_EQ(DISP_E_UNKNOWNNAME, hr);
    } else {
      EXPECT_EQ(S_OK, hr);
      EXPECT_EQ(l.dispid, id);
    }
  }
}

// Every member, called with empty arguments across the process boundary,
// answers with the empty value of its declared type: the service double
// knows no vehicle, customer or history for empty keys. ORV_Kunde's Finn is
// the one member that reports "nothing there" as an error.
TEST_F(Client, EveryMemberAnswersLateBoundWithTheEmptyValueOfItsType) {
  for (const Class& c : kClasses) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(c.progId)));
    const ComPtr<IDispatch> object = CreateByProgId(c.progId);
    ASSERT_TRUE(object);
    const std::vector<test::MemberResult> results = test::CallEveryMember(object.get());
    EXPECT_EQ(IsEqualCLSID(c.clsid, CLSID_ORV_Kunde2), results.empty());
    for (const test::MemberResult& r : results) {
      SCOPED_TRACE(::testing::PrintToString(r.name));
      const bool notFound = IsEqualCLSID(c.clsid, CLSID_ORV_Kunde) && r.name == L"Finn";
      EXPECT_EQ(notFound ? DISP_E_EXCEPTION : S_OK, r.hr);
      if (r.kind != INVOKE_PROPERTYPUT && !notFound) {
        EXPECT_EQ(r.declared == VT_VOID ? VARTYPE{VT_EMPTY} : r.declared, r.returned);
        EXPECT_TRUE(r.empty);
      }
    }
  }
}

TEST_F(Client, EarlyBoundCallsUseTheGeneratedInterfaces) {
  ComPtr<IORV_Kontroll2> kontroll;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ORV_Kontroll2, nullptr, CLSCTX_LOCAL_SERVER,
                                   IID_IORV_Kontroll2, kontroll.put_void()));
  const win::UniqueBstr plate = win::MakeBstr(u"AB12345");
  EXPECT_EQ(S_OK, kontroll->NyKontroll());
  EXPECT_EQ(S_OK, kontroll->put_Kjennemerke(plate.get()));
  EXPECT_EQ(S_OK, kontroll->StartKontroll());
  win::UniqueBstr text;
  ASSERT_EQ(S_OK, kontroll->get_Kvitteringsnr(text.put()));
  ASSERT_TRUE(text);  // a valid empty string, never NULL
  EXPECT_EQ(0u, SysStringLen(text.get()));
  VARIANT_BOOL startable = -1;
  EXPECT_EQ(S_OK, kontroll->get_Startable(&startable));
  EXPECT_EQ(VARIANT_FALSE, startable);
  DATE created = 1;
  EXPECT_EQ(S_OK, kontroll->get_Opprettetdato(&created));
  EXPECT_EQ(0.0, created);

  ComPtr<IORV_KontrollInfo> info;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ORV_KontrollInfo, nullptr, CLSCTX_LOCAL_SERVER,
                                   IID_IORV_KontrollInfo, info.put_void()));
  SHORT count = -1;
  EXPECT_EQ(S_OK, info->ErBilKontrollertIPeriode(plate.get(), 2024, 5, &count));
  EXPECT_EQ(2, count);  // the double's two inspections of AB12345

  ComPtr<IORV_Bil2> bil;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ORV_Bil2, nullptr, CLSCTX_LOCAL_SERVER, IID_IORV_Bil2,
                                   bil.put_void()));
  EXPECT_EQ(S_OK, bil->Finn(plate.get()));
  LONG payload = -1;
  EXPECT_EQ(S_OK, bil->get_Nyttelast(&payload));
  EXPECT_EQ(2000 - 1475 - 75, payload);

  ComPtr<IORV_Kunde> kunde;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ORV_Kunde, nullptr, CLSCTX_LOCAL_SERVER, IID_IORV_Kunde,
                                   kunde.put_void()));
  EXPECT_EQ(S_OK, kunde->Finn(1001));
  SHORT type = -1;
  EXPECT_EQ(S_OK, kunde->get_Kundetype(&type));
  EXPECT_EQ(1, type);  // a company
}

TEST_F(Client, AdviseTakesTheEventSinkAndRefusesOthers) {
  for (const Class& c : kClasses) {
    if (!c.events) continue;
    SCOPED_TRACE(::testing::PrintToString(std::wstring(c.progId)));
    const ComPtr<IDispatch> object = CreateByProgId(c.progId);
    ASSERT_TRUE(object);
    const ComPtr<IConnectionPointContainer> container =
        object.try_query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, container->FindConnectionPoint(*c.events, point.put()));

    test::TestSink first(c.events), second(c.events), wrong(&IID_IPersist);
    DWORD firstCookie = 0, secondCookie = 0, wrongCookie = 0;
    // Across processes: the marshaler must find the event interface in the
    // registered library (locale 0 under Wine).
    EXPECT_EQ(S_OK, point->Advise(&first, &firstCookie));
    EXPECT_EQ(S_OK, point->Advise(&second, &secondCookie));
    EXPECT_NE(0u, secondCookie);
    EXPECT_NE(firstCookie, secondCookie);
    EXPECT_TRUE(FAILED(point->Advise(&wrong, &wrongCookie)));
    EXPECT_EQ(S_OK, point->Unadvise(secondCookie));
    EXPECT_EQ(S_OK, point->Unadvise(firstCookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(firstCookie));
    // The sinks live on this stack: no stub may outlive them.
    for (test::TestSink* s : {&first, &second, &wrong}) CoDisconnectObject(s, 0);
  }
}

// A client that releases its last object and at once creates a new one
// gets a working object: from the ending server, which revoked its class
// objects, or from the next one, which waits for the ending one.
TEST_F(Client, ANewObjectRightAfterTheLastReleaseWorks) {
  for (int i = 0; i < 3; ++i) {
    const ComPtr<IDispatch> object = CreateByProgId(L"Tindrel2.ORV_Kontroll");
    ASSERT_TRUE(object);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Kontrollnr")};
    DISPID id = 0;
    EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
  }
}

// Run on its own after other clients (the script's): the fixture checks
// that their server ended.
TEST_F(Client, NoServerIsLeftRunning) {}

TEST_F(Client, TheServerEndsAfterTheLastRelease) {
  ComPtr<IDispatch> a = CreateByProgId(L"Tindrel2.ORV_Bil");
  ComPtr<IDispatch> b = CreateByProgId(L"Tindrel2.ORV_Kunde");
  ASSERT_EQ(1u, ServerProcesses().size());
  a.reset();
  Sleep(1000);
  EXPECT_EQ(1u, ServerProcesses().size()) << "ended while an object was still in use";
  b.reset();
  EXPECT_TRUE(ServersEndedWithin(20000));
}

}  // namespace
}  // namespace tindrel
