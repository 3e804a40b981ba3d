// ORV_Kontroll and ORV_Kontroll2: the COM classes. What the members do is
// the behaviour object's business; these classes only carry the interface.

#include <memory>

#include "automation/Tindrel2.h"
#include "automation/com_object.h"
#include "automation/com_placeholder.h"

namespace tindrel {
namespace {

// The behaviour both classes share, one object per COM object (until the
// inspection behaviour takes its place: every get empty, every put and
// method without effect).
TINDREL_PLACEHOLDER_BEHAVIOUR(KontrollBehaviour, TINDREL_IORV_KONTROLL2_MEMBERS);

std::unique_ptr<KontrollBehaviour> MakeKontrollBehaviour(IEventTarget&) {
  return std::make_unique<KontrollBehaviour>();
}

}  // namespace

class TORV_KontrollImpl final : public com::AutomationObject<IORV_Kontroll> {
 public:
  TORV_KontrollImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Kontroll)),
        behaviour_(MakeKontrollBehaviour(events())) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_KONTROLL_MEMBERS)

 private:
  KontrollBehaviour& behaviour() { return *behaviour_; }
  const std::unique_ptr<KontrollBehaviour> behaviour_;
};

class TORV_Kontroll2Impl final : public com::AutomationObject<IORV_Kontroll2> {
 public:
  TORV_Kontroll2Impl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Kontroll2)),
        behaviour_(MakeKontrollBehaviour(events())) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_KONTROLL2_MEMBERS)

 private:
  KontrollBehaviour& behaviour() { return *behaviour_; }
  const std::unique_ptr<KontrollBehaviour> behaviour_;
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
