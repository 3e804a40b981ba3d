#pragma once
// The class factory, written once for all classes: it makes objects with a
// class's creation function (com/server.h) and counts LockServer in the
// server process's count. Windows only.

#include <windows.h>
#include <unknwn.h>

#include "com/server.h"
#include "com/unknown.h"

namespace tindrel::com {

class ClassFactory final : public Unknown<IClassFactory> {
 public:
  // The new factory carries one reference, the creator's.
  explicit ClassFactory(const Coclass& coclass) : coclass_(coclass) {}

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
  void* Find(REFIID iid) noexcept override {
    return FindIn(iid, {{IID_IClassFactory, static_cast<IClassFactory*>(this)}});
  }

  const Coclass& coclass_;
};

}  // namespace tindrel::com
