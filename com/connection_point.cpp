#include <windows.h>
#include <olectl.h>

#include <algorithm>
#include <new>
#include <utility>

#include "com/error_info.h"
#include "com/connection_point.h"
#include "com/unknown.h"

namespace tindrel::com {

EventConnectionPoint::EventConnectionPoint(IConnectionPointContainer& container, REFIID events)
    : container_(container), events_(events) {}

void EventConnectionPoint::Fire(DISPID dispid) noexcept {
  // A handler may unadvise (or advise another sink) while it runs; the sink
  // being called stays alive until the call has returned.
  ComPtr<IDispatch> target = target_;
  if (!target) return;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  target->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                 nullptr, nullptr);
}

HRESULT EventConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG EventConnectionPoint::AddRef() { return container_.AddRef(); }
ULONG EventConnectionPoint::Release() { return container_.Release(); }

HRESULT EventConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = events_;
  return S_OK;
}

HRESULT EventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  container_.AddRef();
  *container = &container_;
  return S_OK;
}

HRESULT EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  try {
    ComPtr<IDispatch> target;
    const HRESULT hr = sink->QueryInterface(events_, target.put_void());
    if (FAILED(hr)) return hr;
    if (!target) return E_NOINTERFACE;
    if (target_) replaced_.push_back(targetCookie_);
    // Released after the new target is in place: releasing a sink in
    // another process is a call out, during which events may be fired.
    ComPtr<IDispatch> old = std::exchange(target_, std::move(target));
    targetCookie_ = nextCookie_++;
    *cookie = targetCookie_;
    return S_OK;
  } catch (...) {
    return ExceptionResult();
  }
}

HRESULT EventConnectionPoint::Unadvise(DWORD cookie) {
  if (cookie != 0 && cookie == targetCookie_ && target_) {
    targetCookie_ = 0;
    ComPtr<IDispatch> old = std::move(target_);
    return S_OK;
  }
  const auto it = std::find(replaced_.begin(), replaced_.end(), cookie);
  if (cookie == 0 || it == replaced_.end()) return CONNECT_E_NOCONNECTION;
  replaced_.erase(it);
  return S_OK;
}

HRESULT EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

namespace {

class ConnectionPointEnum final : public Unknown<IEnumConnectionPoints> {
 public:
  ConnectionPointEnum(IConnectionPoint* point, ULONG position)
      : point_(point), position_(position) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                 ULONG* fetched) override {
    if (!points || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    if (count > 0 && position_ < Size()) {
      points[0] = ComPtr<IConnectionPoint>(point_.get()).detach();
      ++position_;
      n = 1;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = Size() - std::min(position_, Size());
    position_ += std::min(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) ConnectionPointEnum(point_.get(), position_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 private:
  void* Find(REFIID iid) noexcept override {
    return FindIn(iid, {{IID_IEnumConnectionPoints, static_cast<IEnumConnectionPoints*>(this)}});
  }
  ULONG Size() const { return point_ ? 1 : 0; }

  ComPtr<IConnectionPoint> point_;
  ULONG position_;
};

}  // namespace

HRESULT NewConnectionPointEnum(IConnectionPoint* point, IEnumConnectionPoints** out) noexcept {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) ConnectionPointEnum(point, 0);
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace tindrel::com
