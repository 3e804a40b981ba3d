// ORV_Kontroll and ORV_Kontroll2: the COM classes over the inspection
// behaviour (automation/inspection_object.h), one behaviour object per COM
// object. ORV_Kontroll2 differs only in its interface and Kvitteringsnr.

#include "automation/Tindrel2.h"
#include "automation/member_tables.h"
#include "com/object.h"
#include "automation/inspection_object.h"
#include "automation/session_link.h"

namespace tindrel {
namespace {

// What both classes hold. Every member reaches the behaviour through
// behaviour(), inside the member's exception boundary, so a call after the
// session has gone fails with a text instead of touching it.
template <class Interface>
class InspectionClass : public com::AutomationObject<Interface> {
 protected:
  InspectionClass(REFCLSID clsid, TInspectionObject::Interface kind)
      : com::AutomationObject<Interface>(com::CoclassOf(clsid)),
        behaviour_(kind, session_.Session(), SystemTimeZone(), this->events()) {}

  TInspectionObject& behaviour() {
    session_.Check();
    return behaviour_;
  }

 private:
  const TSessionLink session_;
  TInspectionObject behaviour_;
};

}  // namespace

class TORV_KontrollImpl final : public InspectionClass<IORV_Kontroll> {
 public:
  TORV_KontrollImpl()
      : InspectionClass(CLSID_ORV_Kontroll, TInspectionObject::Interface::Kontroll) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_KONTROLL_MEMBERS)
};

class TORV_Kontroll2Impl final : public InspectionClass<IORV_Kontroll2> {
 public:
  TORV_Kontroll2Impl()
      : InspectionClass(CLSID_ORV_Kontroll2, TInspectionObject::Interface::Kontroll2) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_KONTROLL2_MEMBERS)
};

namespace com {
HRESULT CreateKontroll(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_KontrollImpl>(iid, out);
}
HRESULT CreateKontroll2(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_Kontroll2Impl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
