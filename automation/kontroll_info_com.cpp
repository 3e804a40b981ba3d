// ORV_KontrollInfo: the COM class. What ErBilKontrollertIPeriode does is the
// behaviour object's business; this class only carries the interface.

#include <cstdint>
#include <memory>
#include <string>

#include "automation/Tindrel2.h"
#include "automation/com_object.h"

namespace tindrel {
namespace {

// Until the approval-in-period behaviour takes its place: no inspections.
class KontrollInfoBehaviour {
 public:
  int16_t ErBilKontrollertIPeriode(const std::string&, int16_t, int16_t) { return 0; }
};

std::unique_ptr<KontrollInfoBehaviour> MakeKontrollInfoBehaviour() {
  return std::make_unique<KontrollInfoBehaviour>();
}

}  // namespace

class TORV_KontrollInfoImpl final : public com::AutomationObject<IORV_KontrollInfo> {
 public:
  TORV_KontrollInfoImpl()
      : AutomationObject(com::CoclassOf(CLSID_ORV_KontrollInfo)),
        behaviour_(MakeKontrollInfoBehaviour()) {}

  // The count comes back through [out, retval] short*, an int16, not a bool.
  HRESULT STDMETHODCALLTYPE ErBilKontrollertIPeriode(BSTR Kjennemerke, SHORT PeriodeAar,
                                                     SHORT PeriodeMnd,
                                                     SHORT* Kontrollert) override {
    return Read<AutoType::Int16>(Kontrollert, [&] {
      return AutoValue(behaviour_->ErBilKontrollertIPeriode(
          com::FromCom<AutoType::String>(Kjennemerke), PeriodeAar, PeriodeMnd));
    });
  }

 private:
  const std::unique_ptr<KontrollInfoBehaviour> behaviour_;
};

namespace com {
HRESULT CreateKontrollInfo(REFIID iid, void** out) noexcept {
  return CreateObject<TORV_KontrollInfoImpl>(iid, out);
}
}  // namespace com

}  // namespace tindrel
