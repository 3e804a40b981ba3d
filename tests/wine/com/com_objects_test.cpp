// The COM classes in this process, linked directly: identity and interfaces,
// the late-bound view from the type library, the error boundary, the
// connection point's firing rules, the server's object count, and the
// classes' hold on the service session. The process carries the type
// library as its TYPELIB resource 1, as Tindrel2.exe does; the session is
// a real TServiceAccess over the fake service (tests/support).

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <span>
#include <string>
#include <vector>

#include "automation/Tindrel2.h"
#include "com/class_factory.h"
#include "automation/member_tables.h"
#include "automation/win/coclasses.h"
#include "automation/win/com_glue.h"
#include "com_placeholder.h"
#include "com/server.h"
#include "automation/session_link.h"
#include "base/errors.h"
#include "dispatch_walk.h"
#include "fake_service.h"
#include "test_sink.h"

namespace tindrel {
namespace {

using win::ComPtr;
using test::TestSink;

// The apartment, and the process-wide session the classes work with, as
// the main window provides it in Tindrel2.exe.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    session = std::make_unique<test::TFakeSession>();
    ServiceAccess = &session->access;
  }
  void TearDown() override {
    ServiceAccess = nullptr;
    session.reset();
    CoUninitialize();
  }
  std::unique_ptr<test::TFakeSession> session;
};
ComEnvironment* const kEnvironment = static_cast<ComEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new ComEnvironment));

ComPtr<IDispatch> Create(const com::Coclass& c) {
  ComPtr<IDispatch> object;
  EXPECT_EQ(S_OK, c.create(IID_IDispatch, object.put_void()));
  return object;
}

std::wstring Name(const com::Coclass& c) { return c.name; }

TEST(ComObjects, EveryClassAnswersItsInterfacesWithOneIdentity) {
  for (const com::Coclass& c : Coclasses()) {
    SCOPED_TRACE(::testing::PrintToString(Name(c)));
    const ComPtr<IDispatch> object = Create(c);
    ASSERT_TRUE(object);
    const ComPtr<IUnknown> identity = object.try_query<IUnknown>(IID_IUnknown);
    for (const IID* iid : {&IID_IDispatch, &c.iid, &IID_ISupportErrorInfo,
                           &IID_IProvideClassInfo}) {
      const ComPtr<IUnknown> i = object.try_query<IUnknown>(*iid);
      ASSERT_TRUE(i);
      EXPECT_EQ(identity.get(), i.try_query<IUnknown>(IID_IUnknown).get());
    }
    const ComPtr<IConnectionPointContainer> container =
        object.try_query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    EXPECT_EQ(c.events != nullptr, static_cast<bool>(container));
    EXPECT_FALSE(object.try_query<IUnknown>(IID_IPersist));

    const ComPtr<ISupportErrorInfo> errors =
        object.try_query<ISupportErrorInfo>(IID_ISupportErrorInfo);
    EXPECT_EQ(S_OK, errors->InterfaceSupportsErrorInfo(c.iid));
    EXPECT_EQ(S_FALSE, errors->InterfaceSupportsErrorInfo(IID_IPersist));

    // The class's own description, with the interfaces it implements.
    const ComPtr<IProvideClassInfo> classInfo =
        object.try_query<IProvideClassInfo>(IID_IProvideClassInfo);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, classInfo->GetClassInfo(coclass.put()));
    win::UniqueBstr name;
    coclass->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    EXPECT_EQ(Name(c), name.get());
  }
}

TEST(ComObjects, TheClassTableAgreesWithTheTypeLibrary) {
  const ComPtr<ITypeLib> lib = com::TypeLibrary();
  for (const com::Coclass& c : Coclasses()) {
    SCOPED_TRACE(::testing::PrintToString(Name(c)));
    EXPECT_EQ(L"Tindrel2." + Name(c), c.progId);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, lib->GetTypeInfoOfGuid(c.clsid, coclass.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    const UINT implemented = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    bool sawDefault = false, sawSource = false;
    for (UINT i = 0; i < implemented; ++i) {
      INT flags = 0;
      HREFTYPE href = 0;
      ComPtr<ITypeInfo> ref;
      ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(i, &flags));
      ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(i, &href));
      ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(href, ref.put()));
      ASSERT_EQ(S_OK, ref->GetTypeAttr(&attr));
      const GUID guid = attr->guid;
      ref->ReleaseTypeAttr(attr);
      if (flags & IMPLTYPEFLAG_FSOURCE) {
        sawSource = true;
        ASSERT_NE(nullptr, c.events);
        EXPECT_TRUE(IsEqualIID(*c.events, guid));
      } else {
        sawDefault = true;
        EXPECT_TRUE(IsEqualIID(c.iid, guid));
      }
    }
    EXPECT_TRUE(sawDefault);
    EXPECT_EQ(c.events != nullptr, sawSource);
  }
}

// The member tables, expanded from the same lists as the classes' overrides,
// row by row against the library: the compiler checks names and COM types
// against the widl header, but not the DISPID a get hands to its behaviour,
// the order, nor Bool against Int16 (both a short).
struct Declared {
  std::wstring name;
  DISPID dispid;
  MemberKind kind;
  VARTYPE type;  // of a property get; VT_EMPTY for a method
};

std::vector<Declared> DeclaredMembers(REFIID iid) {
  const ComPtr<ITypeInfo> info = com::TypeInfoOf(iid);
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return {};
  const UINT count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  std::vector<Declared> out;
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* fd = nullptr;
    if (FAILED(info->GetFuncDesc(i, &fd))) continue;
    win::UniqueBstr name;
    info->GetDocumentation(fd->memid, name.put(), nullptr, nullptr, nullptr);
    const INVOKEKIND invkind = fd->invkind;
    const Declared d{name.get() ? name.get() : L"", fd->memid,
                     invkind == INVOKE_FUNC ? MemberKind::Method : MemberKind::Get,
                     invkind == INVOKE_PROPERTYGET ? fd->elemdescFunc.tdesc.vt : VARTYPE{VT_EMPTY}};
    info->ReleaseFuncDesc(fd);
    if (test::IsInherited(d.name)) continue;
    auto pair = std::find_if(out.begin(), out.end(),
                             [&](const Declared& o) { return o.dispid == d.dispid; });
    if (pair == out.end()) {
      out.push_back(d);
    } else {
      pair->kind = MemberKind::GetPut;
      if (d.type != VT_EMPTY) pair->type = d.type;  // the get's, if the put came first
    }
  }
  return out;
}

VARTYPE VarTypeOf(AutoType type) {
  switch (type) {
    case AutoType::String: return VT_BSTR;
    case AutoType::Int32: return VT_I4;
    case AutoType::Int16: return VT_I2;
    case AutoType::Bool: return VT_BOOL;
    case AutoType::Date: return VT_DATE;
  }
  return VT_EMPTY;
}

void ExpectRowsMatch(REFIID iid, std::span<const MemberRow> rows) {
  const std::vector<Declared> declared = DeclaredMembers(iid);
  ASSERT_EQ(declared.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const MemberRow& row = rows[i];
    SCOPED_TRACE(std::string(row.name));
    EXPECT_EQ(win::Widen(row.name), declared[i].name);
    EXPECT_EQ(row.dispid, declared[i].dispid);
    EXPECT_EQ(row.kind, declared[i].kind);
    EXPECT_EQ(row.kind == MemberKind::Method ? VARTYPE{VT_EMPTY} : VarTypeOf(row.type),
              declared[i].type);
  }
}

TEST(ComObjects, MemberListsAgreeWithTheTypeLibrary) {
  ExpectRowsMatch(IID_IORV_Kontroll, kKontrollMembers);
  ExpectRowsMatch(IID_IORV_Kontroll2, kKontroll2Members);
  ExpectRowsMatch(IID_IORV_Kunde, kKundeMembers);
  ExpectRowsMatch(IID_IORV_Bil, kBilMembers);
  ExpectRowsMatch(IID_IORV_Bil2, kBil2Members);
  ExpectRowsMatch(IID_IORV_Velkar, kVelkarMembers);
}

// Called with empty arguments against a service that knows nothing, every
// member answers with the empty value of its declared type; only the two
// customer members that report "nothing there" as an error fail, through
// the error boundary.
TEST(ComObjects, EveryMemberAnswersLateBoundWithTheEmptyValueOfItsType) {
  for (const com::Coclass& c : Coclasses()) {
    SCOPED_TRACE(::testing::PrintToString(Name(c)));
    const ComPtr<IDispatch> object = Create(c);
    const std::vector<test::MemberResult> results = test::CallEveryMember(object.get());
    EXPECT_EQ(IsEqualCLSID(c.clsid, CLSID_ORV_Kunde2), results.empty());
    for (const test::MemberResult& r : results) {
      SCOPED_TRACE(::testing::PrintToString(r.name));
      const bool reportsNothing =
          IsEqualCLSID(c.clsid, CLSID_ORV_Kunde) && (r.name == L"Finn" || r.name == L"FindNext");
      EXPECT_EQ(reportsNothing ? DISP_E_EXCEPTION : S_OK, r.hr);
      if (r.kind != INVOKE_PROPERTYPUT && !reportsNothing) {
        EXPECT_EQ(r.declared == VT_VOID ? VARTYPE{VT_EMPTY} : r.declared, r.returned);
        EXPECT_TRUE(r.empty);
      }
    }
  }
}

TEST(ComObjects, EarlyBoundCallsReachTheVtableMembers) {
  ComPtr<IORV_Kontroll2> kontroll;
  ASSERT_EQ(S_OK, CreateKontroll2(IID_IORV_Kontroll2, kontroll.put_void()));
  BSTR text = nullptr;
  ASSERT_EQ(S_OK, kontroll->get_Kvitteringsnr(&text));
  ASSERT_NE(nullptr, text);  // a valid empty string, never NULL
  EXPECT_EQ(0u, SysStringLen(text));
  SysFreeString(text);
  EXPECT_EQ(S_OK, kontroll->StartKontroll());
  EXPECT_EQ(E_POINTER, kontroll->get_Kontrollnr(nullptr));

  ComPtr<IORV_KontrollInfo> info;
  ASSERT_EQ(S_OK, CreateKontrollInfo(IID_IORV_KontrollInfo, info.put_void()));
  SHORT count = -1;
  const win::UniqueBstr plate = win::MakeBstr(u"AB12345");
  EXPECT_EQ(S_OK, info->ErBilKontrollertIPeriode(plate.get(), 2024, 5, &count));
  EXPECT_EQ(0, count);
}

ComPtr<IConnectionPoint> PointOf(IUnknown* object, REFIID events) {
  ComPtr<IConnectionPointContainer> container;
  object->QueryInterface(IID_IConnectionPointContainer, container.put_void());
  ComPtr<IConnectionPoint> point;
  if (container) container->FindConnectionPoint(events, point.put());
  return point;
}

std::wstring TakeErrorDescription(std::wstring* source = nullptr) {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK) return L"(none)";
  win::UniqueBstr description, from;
  info->GetDescription(description.put());
  info->GetSource(from.put());
  if (source) *source = from.get() ? from.get() : L"";
  return description.get() ? description.get() : L"";
}

// Each class reaches its own behaviour object, and the behaviour fires into
// the connection point of the COM object that owns it.
TEST(ComWiring, TheClassesForwardToTheirBehaviourAndItsEvents) {
  test::FakeService& service = kEnvironment->session->service;
  service.calls.clear();
  service.vehicle = [](const std::string& regNo) {
    auto v = std::make_unique<Tindrel2VehicleData2>();
    v->SetRegNo(regNo);
    v->SetWeightTotalMax(2000);
    v->SetWeight(1400);
    return v;
  };

  ComPtr<IORV_Kontroll2> kontroll;
  ASSERT_EQ(S_OK, CreateKontroll2(IID_IORV_Kontroll2, kontroll.put_void()));
  ComPtr<IORV_Kontroll2> other;
  ASSERT_EQ(S_OK, CreateKontroll2(IID_IORV_Kontroll2, other.put_void()));
  TestSink sink(&DIID_IORV_KontrollEvents), otherSink(&DIID_IORV_KontrollEvents);
  DWORD cookie = 0, otherCookie = 0;
  ASSERT_EQ(S_OK, PointOf(kontroll.get(), DIID_IORV_KontrollEvents)->Advise(&sink, &cookie));
  ASSERT_EQ(S_OK,
            PointOf(other.get(), DIID_IORV_KontrollEvents)->Advise(&otherSink, &otherCookie));
  ASSERT_EQ(S_OK, kontroll->NyKontroll());
  ASSERT_EQ(S_OK, kontroll->put_Kjennemerke(win::MakeBstr(u"AB12345").get()));
  ASSERT_EQ(S_OK, kontroll->put_Understellsnr(win::MakeBstr(u"3456").get()));
  ASSERT_EQ(S_OK, kontroll->put_Kvitteringsnr(win::MakeBstr(u"A-1").get()));
  EXPECT_EQ((std::vector<std::string>{"SaveInspection(AB12345)", "SaveInspection(AB12345)"}),
            service.Requests());
  ASSERT_EQ(2u, sink.calls.size());
  EXPECT_EQ(1, sink.calls[0].dispid);
  EXPECT_TRUE(otherSink.calls.empty());
  win::UniqueBstr text;
  ASSERT_EQ(S_OK, kontroll->get_Kontrollnr(text.put()));
  EXPECT_EQ(u"K-2001", win::View(text.get()));
  ASSERT_EQ(S_OK, kontroll->get_Kvitteringsnr(text.put()));
  EXPECT_EQ(u"A-1", win::View(text.get()));
  ASSERT_EQ(S_OK, other->get_Kontrollnr(text.put()));
  EXPECT_EQ(u"", win::View(text.get()));
  PointOf(kontroll.get(), DIID_IORV_KontrollEvents)->Unadvise(cookie);
  PointOf(other.get(), DIID_IORV_KontrollEvents)->Unadvise(otherCookie);

  ComPtr<IORV_Bil2> bil;
  ASSERT_EQ(S_OK, CreateBil2(IID_IORV_Bil2, bil.put_void()));
  TestSink bilSink(&DIID_IORV_Bil2Events);
  ASSERT_EQ(S_OK, PointOf(bil.get(), DIID_IORV_Bil2Events)->Advise(&bilSink, &cookie));
  ASSERT_EQ(S_OK, bil->Hent(win::MakeBstr(u"CD67890").get()));
  ASSERT_EQ(1u, bilSink.calls.size());
  EXPECT_EQ(1, bilSink.calls[0].dispid);  // BildataFunnet
  LONG payload = 0;
  ASSERT_EQ(S_OK, bil->get_Nyttelast(&payload));
  EXPECT_EQ(525, payload);
  PointOf(bil.get(), DIID_IORV_Bil2Events)->Unadvise(cookie);
  service.vehicle = [](const std::string&) { return nullptr; };
}

// A client may hold an object longer than the session lives (the end of
// the process), or ask for one while there is none: it gets a failure with
// a text, never a call into a session that is gone.
TEST(ComWiring, WithoutTheSessionObjectsFailWithATextInsteadOfReachingIt) {
  TServiceAccess* const session = ServiceAccess;
  ComPtr<IORV_Kunde> kunde;
  ASSERT_EQ(S_OK, CreateKunde(IID_IORV_Kunde, kunde.put_void()));
  ServiceAccess = nullptr;
  LONG number = 7;
  EXPECT_EQ(DISP_E_EXCEPTION, kunde->get_Kundenr(&number));
  EXPECT_EQ(0, number);
  std::wstring source;
  EXPECT_EQ(win::Widen(kNoSessionText), TakeErrorDescription(&source));
  EXPECT_EQ(L"Tindrel2.ORV_Kunde", source);
  EXPECT_EQ(DISP_E_EXCEPTION, kunde->FindFirst());
  TakeErrorDescription();
  for (const com::Coclass& c : Coclasses()) {
    SCOPED_TRACE(::testing::PrintToString(Name(c)));
    ComPtr<IUnknown> object;
    const HRESULT hr = c.create(IID_IUnknown, object.put_void());
    // ORV_Kunde2 has no members and needs no session.
    EXPECT_EQ(IsEqualCLSID(c.clsid, CLSID_ORV_Kunde2), SUCCEEDED(hr));
    if (FAILED(hr)) {
      EXPECT_EQ(E_FAIL, hr);
      EXPECT_EQ(win::Widen(kNoSessionText), TakeErrorDescription(&source));
      EXPECT_EQ(L"Tindrel2", source);
    }
  }

  // Another session in its place is not the one the object was made with.
  test::TFakeSession replacement;
  ServiceAccess = &replacement.access;
  EXPECT_EQ(DISP_E_EXCEPTION, kunde->FindFirst());
  TakeErrorDescription();
  EXPECT_TRUE(replacement.service.calls.empty());
  ServiceAccess = session;
  EXPECT_EQ(S_OK, kunde->get_Kundenr(&number));
}

// An ORV_Kontroll whose behaviour fails and fires on request, to drive the
// boundary and the connection point of the shared base.
TINDREL_PLACEHOLDER_BEHAVIOUR(EmptyKontroll, TINDREL_IORV_KONTROLL_MEMBERS);

class ScriptedBehaviour : public EmptyKontroll {
 public:
  explicit ScriptedBehaviour(IEventTarget& events) : events_(events) {}

  AutoValue Get(int dispid) const {
    switch (dispid) {
      case 2: throw Error("Kontrollen finnes ikke: \xC3\x86\xC3\x98\xC3\x85");  // ÆØÅ
      case 7: throw 42;                      // outside the hierarchy
      case 8: return std::string("wrong");   // Kontrolltypekode is an int32
      case 3: return plate;
      default: return EmptyKontroll::Get(dispid);
    }
  }
  void SetKjennemerke(std::string value) { plate = std::move(value); }
  // Fires GrunnverdierOK, then runs `after`.
  void NyKontroll() {
    events_.Fire(1);
    if (after) after();
  }

  std::string plate;
  std::function<void()> after;

 private:
  IEventTarget& events_;
};

class ScriptedKontroll final : public AutomationClass<IORV_Kontroll> {
 public:
  ScriptedKontroll() : AutomationClass(CLSID_ORV_Kontroll), behaviour_(events()) {}
  TINDREL_COM_MEMBERS(TINDREL_IORV_KONTROLL_MEMBERS)
  ScriptedBehaviour& behaviour() { return behaviour_; }

 private:
  ScriptedBehaviour behaviour_;
};

ComPtr<ScriptedKontroll> NewScripted() {
  return ComPtr<ScriptedKontroll>::Attach(new ScriptedKontroll());
}

TEST(ComBoundary, AnErrorBecomesDispExceptionWithDescriptionAndProgId) {
  const ComPtr<ScriptedKontroll> k = NewScripted();
  BSTR value = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(DISP_E_EXCEPTION, k->get_Kontrollnr(&value));
  EXPECT_EQ(nullptr, value);
  std::wstring source;
  EXPECT_EQ(L"Kontrollen finnes ikke: \u00C6\u00D8\u00C5", TakeErrorDescription(&source));
  EXPECT_EQ(L"Tindrel2.ORV_Kontroll", source);

  // Outside the hierarchy: the same result, with an empty text.
  EXPECT_EQ(DISP_E_EXCEPTION, k->get_Kontrolltype(&value));
  EXPECT_EQ(L"", TakeErrorDescription());

  // A behaviour that answers with the wrong type fails the member, not the
  // process.
  LONG number = 7;
  EXPECT_EQ(DISP_E_EXCEPTION, k->get_Kontrolltypekode(&number));
  EXPECT_EQ(0, number);
  TakeErrorDescription();
}

TEST(ComBoundary, LateBoundCallersSeeTheErrorInExcepInfo) {
  const ComPtr<ScriptedKontroll> k = NewScripted();
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  win::UniqueVariant result;
  EXCEPINFO excep{};
  const HRESULT hr =
      k->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.get(),
                &excep, nullptr);
  EXPECT_EQ(DISP_E_EXCEPTION, hr);
  EXPECT_EQ(std::wstring(L"Kontrollen finnes ikke: \u00C6\u00D8\u00C5"),
            excep.bstrDescription ? excep.bstrDescription : L"(null)");
  EXPECT_EQ(std::wstring(L"Tindrel2.ORV_Kontroll"),
            excep.bstrSource ? excep.bstrSource : L"(null)");
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrHelpFile);

  // Other IIDs than IID_NULL are refused, as IDispatch requires.
  EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
            k->Invoke(2, IID_IORV_Kontroll, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                      result.put(), nullptr, nullptr));
}

TEST(ComBoundary, TextTravelsAsUtf16BothWays) {
  const ComPtr<ScriptedKontroll> k = NewScripted();
  const win::UniqueBstr plate = win::MakeBstr(u"\u00C6\u00D8\u00C5 123");
  ASSERT_EQ(S_OK, k->put_Kjennemerke(plate.get()));
  EXPECT_EQ("\xC3\x86\xC3\x98\xC3\x85 123", k->behaviour().plate);
  win::UniqueBstr back;
  ASSERT_EQ(S_OK, k->get_Kjennemerke(back.put()));
  EXPECT_EQ(u"\u00C6\u00D8\u00C5 123", win::View(back.get()));
  // A NULL BSTR is the empty string.
  ASSERT_EQ(S_OK, k->put_Kjennemerke(nullptr));
  EXPECT_EQ("", k->behaviour().plate);
}

ComPtr<IConnectionPoint> PointOf(IORV_Kontroll* object) {
  return PointOf(object, DIID_IORV_KontrollEvents);
}

TEST(ComEvents, TheContainerOffersExactlyTheEventInterface) {
  const ComPtr<ScriptedKontroll> k = NewScripted();
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, k->QueryInterface(IID_IConnectionPointContainer, container.put_void()));
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(DIID_IORV_BilEvents, point.put()));
  ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID_IORV_KontrollEvents, point.put()));
  IID iid{};
  ASSERT_EQ(S_OK, point->GetConnectionInterface(&iid));
  EXPECT_TRUE(IsEqualIID(DIID_IORV_KontrollEvents, iid));
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(S_OK, point->GetConnectionPointContainer(back.put()));
  EXPECT_EQ(container.get(), back.get());

  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(S_OK, container->EnumConnectionPoints(points.put()));
  IConnectionPoint* got[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, points->Next(2, got, &fetched));
  ASSERT_EQ(1u, fetched);
  EXPECT_EQ(point.get(), got[0]);
  got[0]->Release();
  EXPECT_EQ(S_FALSE, points->Next(1, got, &fetched));
  EXPECT_EQ(0u, fetched);
}

TEST(ComEvents, FiresIntoTheLastAdvisedSinkOnly) {
  const ComPtr<ScriptedKontroll> k = NewScripted();
  const ComPtr<IConnectionPoint> point = PointOf(k.get());
  ASSERT_TRUE(point);
  TestSink first(&DIID_IORV_KontrollEvents), second(&DIID_IORV_KontrollEvents);

  // No sink: nothing to fire into, and the member still succeeds.
  EXPECT_EQ(S_OK, k->NyKontroll());

  DWORD firstCookie = 0, secondCookie = 0;
  ASSERT_EQ(S_OK, point->Advise(&first, &firstCookie));
  EXPECT_EQ(S_OK, k->NyKontroll());
  ASSERT_EQ(1u, first.calls.size());
  const TestSink::Call& call = first.calls[0];
  EXPECT_EQ(1, call.dispid);
  EXPECT_TRUE(call.nullInterface);
  EXPECT_EQ(2048u, call.lcid);
  EXPECT_EQ(DISPATCH_METHOD, call.flags);
  EXPECT_EQ(0u, call.arguments);
  EXPECT_FALSE(call.wantsResult);

  // The second advise takes over; the first sink is released at once.
  ASSERT_EQ(S_OK, point->Advise(&second, &secondCookie));
  EXPECT_NE(firstCookie, secondCookie);
  EXPECT_EQ(0u, first.Refs());
  EXPECT_EQ(S_OK, k->NyKontroll());
  EXPECT_EQ(1u, first.calls.size());
  EXPECT_EQ(1u, second.calls.size());

  // Both connections can be ended; nothing is fired afterwards.
  EXPECT_EQ(S_OK, point->Unadvise(firstCookie));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(firstCookie));
  EXPECT_EQ(1u, second.Refs());
  EXPECT_EQ(S_OK, point->Unadvise(secondCookie));
  EXPECT_EQ(0u, second.Refs());
  EXPECT_EQ(S_OK, k->NyKontroll());
  EXPECT_EQ(1u, second.calls.size());
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(secondCookie));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(0));
}

TEST(ComEvents, ASinkWithoutTheEventInterfaceIsRefused) {
  const ComPtr<ScriptedKontroll> k = NewScripted();
  const ComPtr<IConnectionPoint> point = PointOf(k.get());
  TestSink wrong(&DIID_IORV_BilEvents), right(&DIID_IORV_KontrollEvents);
  DWORD cookie = 0, rightCookie = 0;
  ASSERT_EQ(S_OK, point->Advise(&right, &rightCookie));
  EXPECT_EQ(E_NOINTERFACE, point->Advise(&wrong, &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_EQ(0u, wrong.Refs());
  // The refused sink did not replace the connected one.
  EXPECT_EQ(S_OK, k->NyKontroll());
  EXPECT_EQ(1u, right.calls.size());
  EXPECT_EQ(E_POINTER, point->Advise(nullptr, &cookie));
  EXPECT_EQ(S_OK, point->Unadvise(rightCookie));
}

TEST(ComEvents, AnErrorFromTheHandlerIsIgnored) {
  const ComPtr<ScriptedKontroll> k = NewScripted();
  const ComPtr<IConnectionPoint> point = PointOf(k.get());
  TestSink failing(&DIID_IORV_KontrollEvents, E_FAIL);
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point->Advise(&failing, &cookie));
  EXPECT_EQ(S_OK, k->NyKontroll());
  EXPECT_EQ(1u, failing.calls.size());
  EXPECT_EQ(S_OK, point->Unadvise(cookie));
}

TEST(ComEvents, AHandlerMayUnadviseOrReleaseTheObjectWhileItRuns) {
  TestSink sink(&DIID_IORV_KontrollEvents);
  {
    const ComPtr<ScriptedKontroll> k = NewScripted();
    const ComPtr<IConnectionPoint> point = PointOf(k.get());
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
    sink.onInvoke = [&](DISPID) { point->Unadvise(cookie); };
    EXPECT_EQ(S_OK, k->NyKontroll());
    EXPECT_EQ(0u, sink.Refs());
    EXPECT_EQ(S_OK, k->NyKontroll());
    EXPECT_EQ(1u, sink.calls.size());
  }
  // The client's last reference goes inside the handler; the object lives
  // until the member that fired has returned.
  ScriptedKontroll* raw = new ScriptedKontroll();
  ComPtr<IConnectionPoint> point = PointOf(raw);
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
  point.reset();
  bool ranAfter = false;
  raw->behaviour().after = [&] { ranAfter = true; };
  sink.onInvoke = [&](DISPID) { raw->Release(); };
  EXPECT_EQ(S_OK, raw->NyKontroll());
  EXPECT_TRUE(ranAfter);
  EXPECT_EQ(0u, sink.Refs());
}

// The server's count of live objects posts WM_QUIT in automation mode when
// the last one goes, and only then.
bool QuitPosted() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

TEST(ComServer, TheLastReleaseEndsAnAutomationServer) {
  while (QuitPosted()) {
  }
  {
    ComPtr<IDispatch> a = Create(CoclassOf(CLSID_ORV_Bil));
    a.reset();
    EXPECT_FALSE(QuitPosted());  // not in automation mode
  }
  com::QuitOnLastRelease(GetCurrentThreadId());
  ComPtr<IDispatch> a = Create(CoclassOf(CLSID_ORV_Bil));
  ComPtr<IDispatch> b = Create(CoclassOf(CLSID_ORV_Kunde));
  a.reset();
  EXPECT_FALSE(QuitPosted());
  b.reset();
  EXPECT_TRUE(QuitPosted());

  // A factory lock counts like an object; the factory makes a new object
  // for every request.
  const ComPtr<IClassFactory> factory =
      ComPtr<IClassFactory>::Attach(new com::ClassFactory(CoclassOf(CLSID_ORV_Velkar)));
  ASSERT_EQ(S_OK, factory->LockServer(TRUE));
  {
    ComPtr<IUnknown> c, d;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, c.put_void()));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, d.put_void()));
    EXPECT_NE(c.get(), d.get());
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(c.get(), IID_IUnknown, d.put_void()));
  }
  EXPECT_FALSE(QuitPosted());
  ASSERT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_TRUE(QuitPosted());
  com::QuitOnLastRelease(0);
}

}  // namespace
}  // namespace tindrel
