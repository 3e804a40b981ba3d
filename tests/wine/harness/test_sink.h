#pragma once
// An event sink for the tests: an IDispatch that answers QueryInterface for
// one event dispinterface (or, as a wrong sink, for none), records every
// Invoke it receives and answers it with a chosen result.

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <vector>

namespace tindrel::test {

class TestSink final : public IDispatch {
 public:
  struct Call {
    DISPID dispid;
    bool nullInterface;  // riid was IID_NULL
    LCID lcid;
    WORD flags;
    UINT arguments;
    bool wantsResult;
  };

  // `events`: the DIID the sink implements, or null for a sink without it.
  explicit TestSink(const IID* events, HRESULT answer = S_OK)
      : events_(events ? *events : IID_NULL), hasEvents_(events != nullptr), answer_(answer) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (hasEvents_ && IsEqualIID(iid, events_))) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  // The tests own the sink on the stack; Release only counts.
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    calls.push_back({dispid, IsEqualIID(iid, IID_NULL) != FALSE, lcid, flags,
                     params ? params->cArgs : 0u, result != nullptr});
    if (onInvoke) onInvoke(dispid);
    return answer_;
  }

  // From now on the sink implements `events` (a probe advises one sink on
  // the connection points of several objects).
  void SetEvents(const IID& events) {
    events_ = events;
    hasEvents_ = true;
  }

  // References held by others than the test itself.
  ULONG Refs() const { return refs_; }

  std::vector<Call> calls;
  std::function<void(DISPID)> onInvoke;

 private:
  IID events_;
  bool hasEvents_;
  const HRESULT answer_;
  ULONG refs_ = 0;
};

}  // namespace tindrel::test
