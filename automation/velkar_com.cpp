// ORV_Velkar: the COM class. What the members do is the behaviour object's
// business; IORV_VelkarEvents has no members, so nothing is ever fired.

#include <memory>

#include "automation/Tindrel2.h"
#include "automation/com_object.h"
#include "automation/com_placeholder.h"

namespace tindrel {
namespace {

// Until the host-functions behaviour takes its place: every get empty,
// every method without effect.
TINDREL_PLACEHOLDER_BEHAVIOUR(VelkarBehaviour, TINDREL_IORV_VELKAR_MEMBERS);

std::unique_ptr<VelkarBehaviour> MakeVelkarBehaviour() {
  return std::make_unique<VelkarBehaviour>();
}

}  // namespace

class TORV_VelkarImpl final : public com::AutomationObject<IORV_Velkar> {
 public:
  TORV_VelkarImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Velkar)), behaviour_(MakeVelkarBehaviour()) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_VELKAR_MEMBERS)

 private:
  VelkarBehaviour& behaviour() { return *behaviour_; }
  const std::unique_ptr<VelkarBehaviour> behaviour_;
};

namespace com {
HRESULT CreateVelkar(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_VelkarImpl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
