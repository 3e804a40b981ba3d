#pragma once
// The library's creatable classes, as the COM plumbing takes them
// (com::Coclass): the class objects, the registry entries and every
// object's coclass come from this one table. Windows only.

#include <windows.h>

#include <span>

#include "com/server.h"

namespace tindrel {

// The eight classes, in the order of the library.
std::span<const com::Coclass> Coclasses();
// The class with `clsid`; throws std::logic_error for any other.
const com::Coclass& CoclassOf(REFCLSID clsid);

// The creation functions, defined beside each class (automation/win/*_class.cpp).
HRESULT CreateKontroll(REFIID iid, void** out) noexcept;
HRESULT CreateKontroll2(REFIID iid, void** out) noexcept;
HRESULT CreateKunde(REFIID iid, void** out) noexcept;
HRESULT CreateKunde2(REFIID iid, void** out) noexcept;
HRESULT CreateBil(REFIID iid, void** out) noexcept;
HRESULT CreateBil2(REFIID iid, void** out) noexcept;
HRESULT CreateKontrollInfo(REFIID iid, void** out) noexcept;
HRESULT CreateVelkar(REFIID iid, void** out) noexcept;

}  // namespace tindrel
