// ORV_KontrollInfo: the COM class over the approval-in-period behaviour
// (automation/approval_info_object.h).

#include "automation/Tindrel2.h"
#include "automation/approval_info_object.h"
#include "automation/win/com_glue.h"

namespace tindrel {

class TORV_KontrollInfoImpl final
    : public SessionBoundClass<IORV_KontrollInfo, TApprovalInfoObject> {
 public:
  TORV_KontrollInfoImpl() : SessionBoundClass(CLSID_ORV_KontrollInfo) {}

  // The count comes back through [out, retval] short*, an int16, not a bool.
  HRESULT STDMETHODCALLTYPE ErBilKontrollertIPeriode(BSTR Kjennemerke, SHORT PeriodeAar,
                                                     SHORT PeriodeMnd,
                                                     SHORT* Kontrollert) override {
    return Read(Kontrollert, [&] {
      return ToCom<AutoType::Int16>(AutoValue(behaviour().ErBilKontrollertIPeriode(
          FromCom<AutoType::String>(Kjennemerke), PeriodeAar, PeriodeMnd)));
    });
  }
};

HRESULT CreateKontrollInfo(REFIID iid, void** out) noexcept {
  return com::CreateObject<TORV_KontrollInfoImpl>(iid, out);
}

}  // namespace tindrel
