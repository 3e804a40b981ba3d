// ORV_Velkar: the COM class over the workshop host behaviour
// (automation/workshop_host_object.h). IORV_VelkarEvents has no members,
// so nothing is ever fired.

#include "automation/Tindrel2.h"
#include "automation/member_tables.h"
#include "com/object.h"
#include "automation/session_link.h"
#include "automation/workshop_host_object.h"

namespace tindrel {

class TORV_VelkarImpl final : public com::AutomationObject<IORV_Velkar> {
 public:
  TORV_VelkarImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Velkar)), behaviour_(session_.Session()) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_VELKAR_MEMBERS)

 private:
  // Inside each member's exception boundary: a call after the session has
  // gone fails with a text.
  TWorkshopHostObject& behaviour() {
    session_.Check();
    return behaviour_;
  }

  const TSessionLink session_;
  TWorkshopHostObject behaviour_;
};

namespace com {
HRESULT CreateVelkar(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_VelkarImpl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
