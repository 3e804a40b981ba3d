// ORV_Bil and ORV_Bil2: the COM classes over the vehicle behaviour
// (automation/vehicle_object.h), one behaviour object per COM object.
// DISPID 4 is Godkjentdato in IORV_Bil and Godkjdato in IORV_Bil2; both
// read Get(4), and IORV_Bil2's own Godkjentdato reads Get(23).

#include "automation/Tindrel2.h"
#include "automation/clock.h"
#include "automation/member_tables.h"
#include "automation/vehicle_object.h"
#include "automation/win/com_glue.h"

namespace tindrel {
namespace {

template <class Interface>
class VehicleClass : public SessionBoundClass<Interface, TVehicleObject> {
 protected:
  VehicleClass(REFCLSID clsid, TVehicleObject::Interface kind)
      : SessionBoundClass<Interface, TVehicleObject>(
            clsid, [kind](TServiceAccess& session, IEventTarget& events) {
              return TVehicleObject(kind, session, SystemTimeZone(), SystemClock(), events);
            }) {}
};

}  // namespace

class TORV_BilImpl final : public VehicleClass<IORV_Bil> {
 public:
  TORV_BilImpl() : VehicleClass(CLSID_ORV_Bil, TVehicleObject::Interface::Bil) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_BIL_MEMBERS)
};

class TORV_Bil2Impl final : public VehicleClass<IORV_Bil2> {
 public:
  TORV_Bil2Impl() : VehicleClass(CLSID_ORV_Bil2, TVehicleObject::Interface::Bil2) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_BIL2_MEMBERS)
};

HRESULT CreateBil(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_BilImpl>(iid, out);
}
HRESULT CreateBil2(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_Bil2Impl>(iid, out);
}

}  // namespace tindrel
