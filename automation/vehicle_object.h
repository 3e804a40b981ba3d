#pragma once
// TVehicleObject: what ORV_Bil and ORV_Bil2 do. The object holds at most one
// vehicle record, the result of its last lookup; every property reads it
// through the member table of its interface (kBilMembers / kBil2Members,
// expanded from the lists in member_tables.h). Both lookups ask the
// service; Finn fires nothing and reports failures as errors, Hent tells
// the outcome by event.
//
// The COM classes are expanded from the same lists and forward member by
// member:
//   every property get          Get(dispid), the value in the row's type
//   Kjennemerke put (1)         SetKjennemerke: accepted and ignored
//   Finn (19), Hent (20)        Finn(regNo), Hent(regNo)
//
// IORV_Bil has DISPIDs 1 to 20 (4 being Godkjentdato, which hides approval
// dates of 1900 and earlier); IORV_Bil2 has 1 to 84 (4 being Godkjdato,
// unfiltered). The rows without a source read the empty value.

#include <memory>
#include <span>
#include <string>

#include "automation/clock.h"
#include "automation/conversions.h"
#include "automation/event_target.h"
#include "automation/member_tables.h"
#include "contract/datetime.h"
#include "contract/records.h"
#include "session/service_access.h"

namespace tindrel {

class TVehicleObject {
 public:
  enum class Interface { Bil, Bil2 };
  // Event DISPIDs of IORV_BilEvents and IORV_Bil2Events.
  static constexpr int kBildataFunnet = 1;
  static constexpr int kBildataIkkeFunnet = 2;

  // All references must outlive the object.
  TVehicleObject(Interface iface, TServiceAccess& service, const ITimeZone& zone,
                 const IClock& clock, IEventTarget& events);

  std::span<const MemberRow> Members() const;
  // The current record, or null.
  const Tindrel2VehicleData2* Current() const { return current_.get(); }

  // Nedlastet_dato reads today's date while a record is held.
  AutoValue Get(int dispid) const;

  // The plate is given to Finn or Hent instead.
  void SetKjennemerke(const std::string&) {}

  // Looks the plate up (passed on exactly as given) and makes the answer,
  // a record or none, current. Fires nothing. An error leaving the request
  // (a failure of its login) leaves Finn with its text; the current record
  // then stays what it was.
  void Finn(const std::string& regNo);

  // As Finn, then fires BildataFunnet or BildataIkkeFunnet after the record
  // is replaced. A remote fault answered to the login drops the current
  // record and fires BildataIkkeFunnet instead of failing. Any other error
  // leaves Hent as it leaves Finn, record unchanged and no event.
  void Hent(const std::string& regNo);

 private:
  Interface iface_;
  TServiceAccess& service_;
  const ITimeZone& zone_;
  const IClock& clock_;
  IEventTarget& events_;
  std::unique_ptr<Tindrel2VehicleData2> current_;
};

}  // namespace tindrel
