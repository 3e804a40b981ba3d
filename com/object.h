#pragma once
// AutomationObject<Interface>: the COM plumbing every automation class
// shares, written once. Windows only; main thread (the objects are
// apartment-threaded).
//
//   IUnknown                   com/unknown.h; the object holds a reference
//                              of the server process's count from
//                              construction to destruction
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
// exception's message; source: the class's ProgID). FireEvent fires into
// the connection point.

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>

#include "com/connection_point.h"
#include "com/error_info.h"
#include "com/server.h"
#include "com/unknown.h"
#include "winapi/com_ptr.h"

namespace tindrel::com {

template <class Interface>
class AutomationObject : public Unknown<Interface, ISupportErrorInfo, IProvideClassInfo,
                                         IConnectionPointContainer> {
 public:
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

  // Invokes the connected event sink with `dispid` (see
  // EventConnectionPoint::Fire); nothing for a class without events.
  void FireEvent(DISPID dispid) noexcept {
    if (point_) point_->Fire(dispid);
  }

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

  // A property get: `read` gives the value as the COM type of `out`, which
  // holds nothing (NULL, 0) unless the member succeeds.
  template <class ComValue, class ReadValue>
  HRESULT Read(ComValue* out, ReadValue&& read) noexcept {
    if (!out) return E_POINTER;
    *out = ComValue{};
    return Call([&] { *out = read(); });
  }

 private:
  void* Find(REFIID iid) noexcept override {
    Interface* const dual = this;
    return this->FindIn(
        iid, {{IID_IDispatch, dual},
              {coclass_.iid, dual},
              {IID_ISupportErrorInfo, static_cast<ISupportErrorInfo*>(this)},
              {IID_IProvideClassInfo, static_cast<IProvideClassInfo*>(this)},
              {IID_IConnectionPointContainer,
               point_ ? static_cast<IConnectionPointContainer*>(this) : nullptr}});
  }

  // Declared first, released last: the process may end once it goes.
  ServerProcessReference process_;
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
