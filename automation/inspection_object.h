#pragma once
// TInspectionObject: what ORV_Kontroll and ORV_Kontroll2 do. The object holds
// one inspection record; writes fill it, and once plate number and VIN are
// both non-blank every saving write sends the whole record to the service
// and adopts the record the service answers with. GrunnverdierOK follows
// every send. Reads answer from the record held at that moment, its vehicle
// and customer sub-records included.
//
// The COM classes forward member by member:
//   NyKontroll (1)                         NyKontroll()
//   every property get                     Get(dispid), the value in the
//                                          type of its member_tables.h row
//   Kjennemerke, Understellsnr, Kundenr,   SetKjennemerke(...) and so on:
//   TidlKontrollnr, Signatur, Km_stand,    store, then save when ready
//   Kvitteringsnr (14, ORV_Kontroll2 only)
//   Kontrollnr (2), Tillh_feste (35),      SetKontrollnr(...) etc.: accepted
//   IntKundenr (48) puts                   and ignored
//   SlettKontroll (11), InitierKontroll    accepted and without effect:
//   (12), LukkKontroll (13),               nothing is deleted, started or
//   StartKontroll (5)                      closed, the record stays
//
// One record, one save: a write that arrives while a save of this object is
// in flight (its login dialog lets calls in) is stored but starts no save of
// its own; once the save has returned, the write is put on the record the
// service answered with and that record, numbered, is sent once more.
//
// Errors leave as tindrel::Error with the text for the client (a failure of
// the login inside the save); the record then keeps the value just written,
// unsaved. A DISPID that the interface does not have is a programming error
// (std::logic_error).

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "automation/conversions.h"
#include "automation/event_target.h"
#include "automation/member_tables.h"
#include "contract/datetime.h"
#include "contract/records.h"
#include "session/service_access.h"

namespace tindrel {

class TInspectionObject {
 public:
  enum class Interface { Kontroll, Kontroll2 };
  // Event DISPID of IORV_KontrollEvents.
  static constexpr int kGrunnverdierOK = 1;

  // All references must outlive the object.
  TInspectionObject(Interface iface, TServiceAccess& service, const ITimeZone& zone,
                    IEventTarget& events);

  std::span<const MemberRow> Members() const;
  // The record held, or null before NyKontroll.
  const Tindrel2InspectionData2* Held() const { return held_.get(); }

  void NyKontroll();

  AutoValue Get(int dispid) const;

  void SetKjennemerke(std::string regNo);
  void SetUnderstellsnr(std::string vin);
  void SetKundenr(int32_t customerNo);
  void SetTidlKontrollnr(std::string previousInspectionNo);
  void SetSignatur(std::string initials);
  void SetKm_stand(int32_t mileage);
  void SetKvitteringsnr(std::string orderNo);  // ORV_Kontroll2 only

  // An inspection cannot be located by number through this object.
  void SetKontrollnr(const std::string&) {}
  void SetTillh_feste(int16_t) {}
  void SetIntKundenr(int32_t) {}

  void SlettKontroll() {}
  void InitierKontroll() {}
  void LukkKontroll() {}
  void StartKontroll() {}

 private:
  void Write(std::function<void(Tindrel2InspectionData2&)> store);
  bool Ready() const;
  void SaveIfReady();

  Interface iface_;
  TServiceAccess& service_;
  const ITimeZone& zone_;
  IEventTarget& events_;
  // Shared with a save in progress: the login dialog of a request lets other
  // calls in (NyKontroll among them) before the request has read the record.
  std::shared_ptr<Tindrel2InspectionData2> held_;
  // A save is in flight; the writes that arrived during it, in order.
  bool saving_ = false;
  std::vector<std::function<void(Tindrel2InspectionData2&)>> lateWrites_;
};

}  // namespace tindrel
