// ORV_Bil and ORV_Bil2: the COM classes over the vehicle behaviour
// (automation/vehicle_object.h), one behaviour object per COM object.
// DISPID 4 is Godkjentdato in IORV_Bil and Godkjdato in IORV_Bil2; both
// read Get(4), and IORV_Bil2's own Godkjentdato reads Get(23).

#include "automation/Tindrel2.h"
#include "automation/clock.h"
#include "automation/member_tables.h"
#include "com/object.h"
#include "automation/session_link.h"
#include "automation/vehicle_object.h"

namespace tindrel {
namespace {

// What both classes hold; see InspectionClass in inspection_class.cpp.
template <class Interface>
class VehicleClass : public com::AutomationObject<Interface> {
 protected:
  VehicleClass(REFCLSID clsid, TVehicleObject::Interface kind)
      : com::AutomationObject<Interface>(com::CoclassOf(clsid)),
        behaviour_(kind, session_.Session(), SystemTimeZone(), SystemClock(),
                   this->events()) {}

  TVehicleObject& behaviour() {
    session_.Check();
    return behaviour_;
  }

 private:
  const TSessionLink session_;
  TVehicleObject behaviour_;
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

namespace com {
HRESULT CreateBil(REFIID iid, void** out) noexcept { return CreateObject<TORV_BilImpl>(iid, out); }
HRESULT CreateBil2(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_Bil2Impl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
