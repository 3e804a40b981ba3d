// ORV_Velkar: the COM class over the workshop host behaviour
// (automation/workshop_host_object.h). IORV_VelkarEvents has no members,
// so nothing is ever fired.

#include "automation/Tindrel2.h"
#include "automation/member_tables.h"
#include "automation/win/com_glue.h"
#include "automation/workshop_host_object.h"

namespace tindrel {

class TORV_VelkarImpl final : public SessionBoundClass<IORV_Velkar, TWorkshopHostObject> {
 public:
  TORV_VelkarImpl() : SessionBoundClass(CLSID_ORV_Velkar) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_VELKAR_MEMBERS)
};

HRESULT CreateVelkar(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_VelkarImpl>(iid, out);
}

}  // namespace tindrel
