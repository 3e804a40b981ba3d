// ORV_Kunde and ORV_Kunde2: the COM classes. What ORV_Kunde's members do is
// the behaviour object's business; ORV_Kunde2 has no members and never
// fires its (empty) events.

#include <memory>

#include "automation/Tindrel2.h"
#include "automation/com_object.h"
#include "automation/com_placeholder.h"

namespace tindrel {
namespace {

// Until the customer behaviour takes its place: every get empty, every put
// and method without effect.
TINDREL_PLACEHOLDER_BEHAVIOUR(KundeBehaviour, TINDREL_IORV_KUNDE_MEMBERS);

std::unique_ptr<KundeBehaviour> MakeKundeBehaviour() { return std::make_unique<KundeBehaviour>(); }

}  // namespace

class TORV_KundeImpl final : public com::AutomationObject<IORV_Kunde> {
 public:
  TORV_KundeImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Kunde)), behaviour_(MakeKundeBehaviour()) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_KUNDE_MEMBERS)

 private:
  KundeBehaviour& behaviour() { return *behaviour_; }
  const std::unique_ptr<KundeBehaviour> behaviour_;
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
