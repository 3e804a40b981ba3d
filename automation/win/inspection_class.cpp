// ORV_Kontroll and ORV_Kontroll2: the COM classes over the inspection
// behaviour (automation/inspection_object.h), one behaviour object per COM
// object. ORV_Kontroll2 differs only in its interface and Kvitteringsnr.

#include "automation/Tindrel2.h"
#include "automation/inspection_object.h"
#include "automation/member_tables.h"
#include "automation/win/com_glue.h"

namespace tindrel {
namespace {

template <class Interface>
class InspectionClass : public SessionBoundClass<Interface, TInspectionObject> {
 protected:
  InspectionClass(REFCLSID clsid, TInspectionObject::Interface kind)
      : SessionBoundClass<Interface, TInspectionObject>(
            clsid, [kind](TServiceAccess& session, IEventTarget& events) {
              return TInspectionObject(kind, session, SystemTimeZone(), events);
            }) {}
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

HRESULT CreateKontroll(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_KontrollImpl>(iid, out);
}
HRESULT CreateKontroll2(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_Kontroll2Impl>(iid, out);
}

}  // namespace tindrel
