#pragma once
// The one connection point of an object with an event source. Windows only.
//
// It accepts any number of advises but keeps one event target: each advise
// asks the sink for the event dispinterface by its DIID (a sink without it
// fails the advise with the result of that request) and makes it the
// target, releasing the one before; the replaced connection keeps its cookie
// so that its Unadvise still succeeds. A sink that was unadvised or replaced
// is released at once and never fired into; after the target is unadvised
// nothing is fired until the next advise.
//
// The point lives inside its object: its AddRef and Release are the
// object's.

#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "winapi/com_ptr.h"

namespace tindrel::com {

class EventConnectionPoint final : public IConnectionPoint {
 public:
  // `container` is the object; `events` the DIID of its event interface.
  EventConnectionPoint(IConnectionPointContainer& container, REFIID events);
  EventConnectionPoint(const EventConnectionPoint&) = delete;
  EventConnectionPoint& operator=(const EventConnectionPoint&) = delete;

  // Calls the target's IDispatch::Invoke with `dispid`, IID_NULL, locale
  // 2048 (LOCALE_SYSTEM_DEFAULT), DISPATCH_METHOD and no arguments, and
  // returns when the client's handler has returned. Whatever the handler
  // returns is ignored. Nothing happens while no target is connected.
  void Fire(DISPID dispid) noexcept;
  bool Connected() const { return static_cast<bool>(target_); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(
      IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  // Not offered (E_NOTIMPL, which the interface allows).
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

 private:
  IConnectionPointContainer& container_;
  const IID events_;
  DWORD nextCookie_ = 1;
  DWORD targetCookie_ = 0;
  ComPtr<IDispatch> target_;
  std::vector<DWORD> replaced_;  // advised, replaced, not yet unadvised
};

// The enumeration IConnectionPointContainer::EnumConnectionPoints hands
// out: the object's one point, or none. Holds a reference to the point.
HRESULT NewConnectionPointEnum(IConnectionPoint* point, IEnumConnectionPoints** out) noexcept;

}  // namespace tindrel::com
