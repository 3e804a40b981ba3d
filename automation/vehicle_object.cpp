#include "automation/vehicle_object.h"

#include <stdexcept>

#include "base/errors.h"

namespace tindrel {

TVehicleObject::TVehicleObject(Interface iface, TServiceAccess& service, const ITimeZone& zone,
                               const IClock& clock, IEventTarget& events)
    : iface_(iface), service_(service), zone_(zone), clock_(clock), events_(events) {}

std::span<const MemberRow> TVehicleObject::Members() const {
  return iface_ == Interface::Bil2 ? kBil2Members : kBilMembers;
}

AutoValue TVehicleObject::Get(int dispid) const {
  const MemberRow* row = FindMember(Members(), dispid);
  if (!row) throw std::logic_error("no such member of the vehicle interface");
  return ReadMember(*row, current_.get(), ReadContext{zone_, clock_});
}

void TVehicleObject::Finn(const std::string& regNo) {
  current_ = service_.FetchVehicleData(regNo);
}

void TVehicleObject::Hent(const std::string& regNo) {
  try {
    current_ = service_.FetchVehicleData(regNo);
  } catch (const RemoteFault&) {
    // The login was answered with a fault: the vehicle counts as not found.
    current_.reset();
  }
  events_.Fire(current_ ? kBildataFunnet : kBildataIkkeFunnet);
}

}  // namespace tindrel
