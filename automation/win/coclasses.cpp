#include <iterator>
#include <stdexcept>

#include "automation/Tindrel2.h"
#include "automation/win/coclasses.h"

namespace tindrel {
namespace {

// In the order of the library.
const com::Coclass kCoclasses[] = {
    {CLSID_ORV_Kontroll, L"ORV_Kontroll", L"Tindrel2.ORV_Kontroll", IID_IORV_Kontroll,
     &DIID_IORV_KontrollEvents, &CreateKontroll},
    {CLSID_ORV_Kunde, L"ORV_Kunde", L"Tindrel2.ORV_Kunde", IID_IORV_Kunde, nullptr,
     &CreateKunde},
    {CLSID_ORV_Velkar, L"ORV_Velkar", L"Tindrel2.ORV_Velkar", IID_IORV_Velkar,
     &DIID_IORV_VelkarEvents, &CreateVelkar},
    {CLSID_ORV_KontrollInfo, L"ORV_KontrollInfo", L"Tindrel2.ORV_KontrollInfo",
     IID_IORV_KontrollInfo, nullptr, &CreateKontrollInfo},
    {CLSID_ORV_Bil, L"ORV_Bil", L"Tindrel2.ORV_Bil", IID_IORV_Bil, &DIID_IORV_BilEvents,
     &CreateBil},
    {CLSID_ORV_Bil2, L"ORV_Bil2", L"Tindrel2.ORV_Bil2", IID_IORV_Bil2, &DIID_IORV_Bil2Events,
     &CreateBil2},
    {CLSID_ORV_Kontroll2, L"ORV_Kontroll2", L"Tindrel2.ORV_Kontroll2", IID_IORV_Kontroll2,
     &DIID_IORV_KontrollEvents, &CreateKontroll2},
    {CLSID_ORV_Kunde2, L"ORV_Kunde2", L"Tindrel2.ORV_Kunde2", IID_IORV_Kunde2,
     &DIID_IORV_Kunde2Events, &CreateKunde2},
};
static_assert(std::size(kCoclasses) == 8);

}  // namespace

std::span<const com::Coclass> Coclasses() { return kCoclasses; }

const com::Coclass& CoclassOf(REFCLSID clsid) {
  for (const com::Coclass& c : kCoclasses) {
    if (IsEqualCLSID(c.clsid, clsid)) return c;
  }
  throw std::logic_error("not a class of the Tindrel2 library");
}

}  // namespace tindrel
