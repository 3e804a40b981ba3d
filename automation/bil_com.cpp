// ORV_Bil and ORV_Bil2: the COM classes. What the members do is the
// behaviour object's business; these classes only carry the interface.
// DISPID 4 is Godkjentdato in IORV_Bil and Godkjdato in IORV_Bil2; both
// read Get(4), and IORV_Bil2's own Godkjentdato reads Get(23).

#include <memory>

#include "automation/Tindrel2.h"
#include "automation/com_object.h"
#include "automation/com_placeholder.h"

namespace tindrel {
namespace {

// The behaviour both classes share, one object per COM object (until the
// vehicle behaviour takes its place: every get empty, Finn and Hent
// without effect).
TINDREL_PLACEHOLDER_BEHAVIOUR(BilBehaviour, TINDREL_IORV_BIL2_MEMBERS);

std::unique_ptr<BilBehaviour> MakeBilBehaviour(IEventTarget&) {
  return std::make_unique<BilBehaviour>();
}

}  // namespace

class TORV_BilImpl final : public com::AutomationObject<IORV_Bil> {
 public:
  TORV_BilImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Bil)), behaviour_(MakeBilBehaviour(events())) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_BIL_MEMBERS)

 private:
  BilBehaviour& behaviour() { return *behaviour_; }
  const std::unique_ptr<BilBehaviour> behaviour_;
};

class TORV_Bil2Impl final : public com::AutomationObject<IORV_Bil2> {
 public:
  TORV_Bil2Impl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_Bil2)), behaviour_(MakeBilBehaviour(events())) {}

  TINDREL_COM_MEMBERS(TINDREL_IORV_BIL2_MEMBERS)

 private:
  BilBehaviour& behaviour() { return *behaviour_; }
  const std::unique_ptr<BilBehaviour> behaviour_;
};

namespace com {
HRESULT CreateBil(REFIID iid, void** out) noexcept { return CreateObject<TORV_BilImpl>(iid, out); }
HRESULT CreateBil2(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_Bil2Impl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
