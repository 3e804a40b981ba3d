#pragma once
// The class factory, written once for all classes: it makes objects with a
// class's creation function (com/server.h) and counts LockServer in the
// server process's count. Windows only.

#include <windows.h>
#include <unknwn.h>

#include "com/server.h"

namespace tindrel::com {

class ClassFactory final : public IClassFactory {
 public:
  // The new factory carries one reference, the creator's.
  explicit ClassFactory(const Coclass& coclass) : coclass_(coclass) {}
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  // Every request makes a new object (multi-instance); no aggregation.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return coclass_.create(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ServerProcessAddRef();
    } else {
      ServerProcessRelease();
    }
    return S_OK;
  }

 private:
  LONG refs_ = 1;
  const Coclass& coclass_;
};

}  // namespace tindrel::com
