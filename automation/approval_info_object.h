#pragma once
// TApprovalInfoObject: what ORV_KontrollInfo does. It asks the service how
// many inspections a vehicle had in a month and hands on the count. Holds no
// state between calls and fires no events.
//
// The COM class forwards ErBilKontrollertIPeriode (DISPID 1) and stores the
// result in its [out] argument.

#include <cstdint>
#include <string>

#include "session/service_access.h"

namespace tindrel {

class TApprovalInfoObject {
 public:
  // `service` must outlive the object.
  explicit TApprovalInfoObject(TServiceAccess& service) : service_(service) {}

  // The number of inspections the service returns for the plate (passed on
  // untrimmed) in month `month` of year `year`, both passed on unchanged,
  // as the low 16 bits of the count. 0 also when the user breaks off the
  // login. An error raised by the login itself leaves with its text.
  int16_t ErBilKontrollertIPeriode(const std::string& regNo, int16_t year, int16_t month);

 private:
  TServiceAccess& service_;
};

}  // namespace tindrel
