#pragma once
// TWorkshopHostObject: what ORV_Velkar does. It stands in for the host
// functions of the older workshop program so that its clients keep running:
// every member succeeds, and none prints, sends, opens or refreshes
// anything. IORV_VelkarEvents has no members, so nothing is ever fired.
//
// The COM class forwards every method of IORV_Velkar to the method of the
// same name, and the gets Verkstednr (8), Organnr (9) and HT (10) to
// Get(dispid), which answers their empty values (0, "", false).

#include <span>
#include <string>

#include "automation/conversions.h"
#include "automation/member_tables.h"
#include "session/service_access.h"

namespace tindrel {

class TWorkshopHostObject {
 public:
  // `service` must outlive the object.
  explicit TWorkshopHostObject(TServiceAccess& service) : service_(service) {}

  std::span<const MemberRow> Members() const { return kVelkarMembers; }
  AutoValue Get(int dispid) const;

  // Hands the number to the session, which opens nothing; a remote fault
  // raised on the way is swallowed, other errors leave with their text.
  void RedigerKontroll(const std::string& inspectionNo);

  void OppdaterStatus() {}
  void SkrivKontrollseddel(const std::string&) {}
  void SkrivKontrollseddelkopi(const std::string&) {}
  void SkrivVerkstedseddel(const std::string&) {}
  void SkrivVerkstedkopi(const std::string&) {}
  void SendKontrollTilHT(const std::string&) {}

 private:
  TServiceAccess& service_;
};

}  // namespace tindrel
