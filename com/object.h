#pragma once
// AutomationObject<Interface>: the COM plumbing every automation class
// shares, written once. Windows only; main thread (the objects are
// apartment-threaded).
//
//   IUnknown                   reference count; the object deletes itself
//   IDispatch                  from the type library: GetIDsOfNames and
//                              Invoke through ITypeInfo on the dual
//                              interface, which calls the vtable members
//   ISupportErrorInfo          for the default interface
//   IProvideClassInfo          the coclass's type description
//   IConnectionPointContainer  only for a class with an event source: its
//                              one connection point (com/connection_point.h)
//
// A class derives from it with its dual interface and implements the
// interface's members, each through Call or Read, which turn any exception
// into DISP_E_EXCEPTION with error information (description: the
// exception's message; source: the class's ProgID). The member lists of
// automation/member_tables.h expand into such members with
// TINDREL_COM_MEMBERS below, forwarding to the class's behaviour object:
//
//   property get   behaviour().Get(dispid), an AutoValue of the member's type
//   property put   behaviour().Set<Name>(value)
//   method         behaviour().<Name>(arguments)
//
// Events: the behaviour object is handed events() (an IEventTarget) and
// calls Fire(dispid) on it; the object fires into its connection point.

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>

#include "com/convert.h"
#include "com/error_info.h"
#include "com/connection_point.h"
#include "winapi/com_ptr.h"
#include "com/server.h"
#include "automation/event_target.h"

namespace tindrel::com {

// A reference of the server process's count, held from construction to
// destruction.
class ServerProcessReference {
 public:
  ServerProcessReference() noexcept { ServerProcessAddRef(); }
  ~ServerProcessReference() { ServerProcessRelease(); }
  ServerProcessReference(const ServerProcessReference&) = delete;
  ServerProcessReference& operator=(const ServerProcessReference&) = delete;
};

template <class Interface>
class AutomationObject : public Interface,
                         public ISupportErrorInfo,
                         public IProvideClassInfo,
                         public IConnectionPointContainer,
                         private IEventTarget {
 public:
  AutomationObject(const AutomationObject&) = delete;
  AutomationObject& operator=(const AutomationObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, coclass_.iid)) {
      *out = static_cast<Interface*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else if (IsEqualIID(iid, IID_IProvideClassInfo)) {
      *out = static_cast<IProvideClassInfo*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer) && point_) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = ComPtr<ITypeInfo>(dispatchInfo_).detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return dispatchInfo_->GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                   UINT* argError) override {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // The vtable view calls the member itself; a failing member comes back
    // as DISP_E_EXCEPTION with its error information in EXCEPINFO.
    HRESULT hr = vtableInfo_->Invoke(static_cast<Interface*>(this), dispid, flags, params,
                                     result, excep, argError);
    // "Set obj.Prop = x" in VB and VBScript asks for DISPATCH_PROPERTYPUTREF
    // alone, which no member of the library declares: every property holds
    // a value. It is answered as the put, which takes the value of the
    // object (its default member), as "obj.Prop = x" and JScript's
    // PUT|PUTREF for an object already do.
    if (hr == DISP_E_MEMBERNOTFOUND && (flags & DISPATCH_PROPERTYPUTREF) &&
        !(flags & DISPATCH_PROPERTYPUT)) {
      const auto put = static_cast<WORD>((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
      hr = vtableInfo_->Invoke(static_cast<Interface*>(this), dispid, put, params, result, excep,
                               argError);
    }
    if (hr == DISP_E_EXCEPTION && excep && !excep->bstrDescription && !excep->bstrSource) {
      FillExcepInfo(*excep);
    }
    return hr;
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return IsEqualIID(iid, coclass_.iid) ? S_OK : S_FALSE;
  }

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    try {
      *info = TypeInfoOf(coclass_.clsid).detach();
      return S_OK;
    } catch (...) {
      return ExceptionResult();
    }
  }

  // IConnectionPointContainer (reachable only when the class has events)
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    return NewConnectionPointEnum(point_ ? &*point_ : nullptr, out);
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!point_ || !coclass_.events || !IsEqualIID(iid, *coclass_.events)) {
      return CONNECT_E_NOCONNECTION;
    }
    *out = ComPtr<IConnectionPoint>(&*point_).detach();
    return S_OK;
  }

 protected:
  // Throws Error when the type library does not describe the class.
  explicit AutomationObject(const Coclass& coclass)
      : coclass_(coclass),
        dispatchInfo_(TypeInfoOf(coclass.iid)),
        vtableInfo_(VtableTypeInfoOf(coclass.iid)) {
    if (coclass.events) point_.emplace(*this, *coclass.events);
  }
  virtual ~AutomationObject() = default;

  const Coclass& coclass() const { return coclass_; }

  // Where the behaviour object fires its events.
  IEventTarget& events() { return *this; }

  // Runs `body` as one automation member: S_OK when it returns, the
  // exception reported otherwise. The object stays alive until the member
  // has returned, even when a client releases its last reference from
  // inside an event handler the member fired.
  template <class Body>
  HRESULT Call(Body&& body) noexcept {
    const ComPtr<AutomationObject> self(this);
    try {
      body();
      return S_OK;
    } catch (...) {
      return ReportException(coclass_.progId, coclass_.iid);
    }
  }

  // A property get: `read` gives the value as an AutoValue of type T. The
  // out-argument holds nothing (NULL, 0) unless the member succeeds.
  template <AutoType T, class ReadValue>
  HRESULT Read(ComType<T>* out, ReadValue&& read) noexcept {
    if (!out) return E_POINTER;
    *out = Unset<T>();
    return Call([&] { *out = ToCom<T>(read()); });
  }

 private:
  void Fire(int dispid) noexcept override {
    if (point_) point_->Fire(dispid);
  }

  // Declared first, released last: the process may end once it goes.
  ServerProcessReference process_;
  LONG refs_ = 1;  // the creator's reference
  const Coclass& coclass_;
  const ComPtr<ITypeInfo> dispatchInfo_;
  const ComPtr<ITypeInfo> vtableInfo_;
  std::optional<EventConnectionPoint> point_;
};

// A new object of class T (a default-constructible AutomationObject), asked
// for `iid`: the body of every class's creation function.
template <class T>
HRESULT CreateObject(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    const ComPtr<T> object = ComPtr<T>::Attach(new T());
    return object->QueryInterface(iid, out);
  } catch (...) {
    return CreationFailure();
  }
}

}  // namespace tindrel::com

// Expansions of the member lists of automation/member_tables.h into members
// of a class derived from AutomationObject whose behaviour object is
// `behaviour()`. A get passes its row's DISPID to Get, which finds the same
// row in the behaviour's table; the rows' read columns are not needed here.
#define TINDREL_COM_METHOD(Name, Dispid) \
  HRESULT STDMETHODCALLTYPE Name() override { return Call([&] { behaviour().Name(); }); }

#define TINDREL_COM_METHOD1(Name, Dispid, Type)                                           \
  HRESULT STDMETHODCALLTYPE Name(::tindrel::com::ComType<::tindrel::AutoType::Type> arg) \
      override {                                                                          \
    return Call([&] {                                                                     \
      behaviour().Name(::tindrel::com::FromCom<::tindrel::AutoType::Type>(arg));          \
    });                                                                                   \
  }

#define TINDREL_COM_GET(Name, Dispid, Type, ...)                                      \
  HRESULT STDMETHODCALLTYPE get_##Name(                                               \
      ::tindrel::com::ComType<::tindrel::AutoType::Type>* value) override {           \
    return Read<::tindrel::AutoType::Type>(value,                                     \
                                           [&] { return behaviour().Get(Dispid); });  \
  }

#define TINDREL_COM_GETPUT(Name, Dispid, Type, ...)                                       \
  TINDREL_COM_GET(Name, Dispid, Type)                                                     \
  HRESULT STDMETHODCALLTYPE put_##Name(::tindrel::com::ComType<::tindrel::AutoType::Type> \
                                           value) override {                              \
    return Call([&] {                                                                     \
      behaviour().Set##Name(::tindrel::com::FromCom<::tindrel::AutoType::Type>(value));   \
    });                                                                                   \
  }

// All members of a list, e.g. TINDREL_COM_MEMBERS(TINDREL_IORV_KUNDE_MEMBERS).
#define TINDREL_COM_MEMBERS(LIST) \
  LIST(TINDREL_COM_METHOD, TINDREL_COM_METHOD1, TINDREL_COM_GET, TINDREL_COM_GETPUT)
