// ORV_Kunde and ORV_Kunde2: the COM classes. ORV_Kunde forwards to the
// customer behaviour (automation/customer_object.h); ORV_Kunde2 has no
// members and never fires its (empty) events, so it needs no behaviour and
// no session.

#include "automation/Tindrel2.h"
#include "automation/member_tables.h"
#include "com/object.h"
#include "automation/customer_object.h"
#include "automation/session_link.h"

namespace tindrel {

class TORV_KundeImpl final : public com::AutomationObject<IORV_Kunde> {
 public:
  TORV_KundeImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Kunde)), behaviour_(session_.Session()) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_KUNDE_MEMBERS)

 private:
  // Inside each member's exception boundary: a call after the session has
  // gone fails with a text.
  TCustomerObject& behaviour() {
    session_.Check();
    return behaviour_;
  }

  const TSessionLink session_;
  TCustomerObject behaviour_;
};

class TORV_Kunde2Impl final : public com::AutomationObject<IORV_Kunde2> {
 public:
  TORV_Kunde2Impl() : AutomationObject(com::CoclassOf(CLSID_ORV_Kunde2)) {}
};

namespace com {
HRESULT CreateKunde(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_KundeImpl>(iid, out);
}
HRESULT CreateKunde2(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_Kunde2Impl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
