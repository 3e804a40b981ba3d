// ORV_KontrollInfo: the COM class over the approval-in-period behaviour
// (automation/approval_info_object.h).

#include "automation/Tindrel2.h"
#include "automation/approval_info_object.h"
#include "com/object.h"
#include "automation/session_link.h"

namespace tindrel {

class TORV_KontrollInfoImpl final : public com::AutomationObject<IORV_KontrollInfo> {
 public:
  TORV_KontrollInfoImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_KontrollInfo)),
        behaviour_(session_.Session()) {}

  // The count comes back through [out, retval] short*, an int16, not a bool.
  HRESULT STDMETHODCALLTYPE ErBilKontrollertIPeriode(BSTR Kjennemerke, SHORT PeriodeAar,
                                                     SHORT PeriodeMnd,
                                                     SHORT* Kontrollert) override {
    return Read<AutoType::Int16>(Kontrollert, [&] {
      return AutoValue(behaviour().ErBilKontrollertIPeriode(
          com::FromCom<AutoType::String>(Kjennemerke), PeriodeAar, PeriodeMnd));
    });
  }

 private:
  // Inside the member's exception boundary: a call after the session has
  // gone fails with a text.
  TApprovalInfoObject& behaviour() {
    session_.Check();
    return behaviour_;
  }

  const TSessionLink session_;
  TApprovalInfoObject behaviour_;
};

namespace com {
HRESULT CreateKontrollInfo(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_KontrollInfoImpl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
