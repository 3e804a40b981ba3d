#include "automation/approval_info_object.h"

#include "automation/conversions.h"

namespace tindrel {

int16_t TApprovalInfoObject::ErBilKontrollertIPeriode(const std::string& regNo, int16_t year,
                                                      int16_t month) {
  const ArrayOfTindrel2VehicleApprovalData inspections =
      service_.FetchInspectionHistory(regNo, int32_t{month}, int32_t{year});
  return Low16(static_cast<int32_t>(inspections.Length()));
}

}  // namespace tindrel
