// ORV_Kunde and ORV_Kunde2: the COM classes. ORV_Kunde forwards to the
// customer behaviour (automation/customer_object.h); ORV_Kunde2 has no
// members and never fires its (empty) events, so it needs no behaviour and
// no session.

#include "automation/Tindrel2.h"
#include "automation/customer_object.h"
#include "automation/member_tables.h"
#include "automation/win/com_glue.h"

namespace tindrel {

class TORV_KundeImpl final : public SessionBoundClass<IORV_Kunde, TCustomerObject> {
 public:
  TORV_KundeImpl() : SessionBoundClass(CLSID_ORV_Kunde) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_KUNDE_MEMBERS)
};

class TORV_Kunde2Impl final : public AutomationClass<IORV_Kunde2> {
 public:
  TORV_Kunde2Impl() : AutomationClass(CLSID_ORV_Kunde2) {}
};

HRESULT CreateKunde(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_KundeImpl>(iid, out);
}
HRESULT CreateKunde2(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_Kunde2Impl>(iid, out);
}

}  // namespace tindrel
