#include "automation/workshop_host_object.h"

#include <stdexcept>

#include "base/errors.h"

namespace tindrel {

AutoValue TWorkshopHostObject::Get(int dispid) const {
  const MemberRow* row = FindMember(Members(), dispid);
  if (!row) throw std::logic_error("no such member of IORV_Velkar");
  return ReadMember(*row, nullptr, ReadContext{SystemTimeZone(), SystemClock()});
}

void TWorkshopHostObject::RedigerKontroll(const std::string& inspectionNo) {
  try {
    service_.OpenInspectionForEditing(inspectionNo);
  } catch (const RemoteFault&) {
    // Old clients call this and carry on whatever happens; a fault from the
    // service is not theirs to handle.
  }
}

}  // namespace tindrel
