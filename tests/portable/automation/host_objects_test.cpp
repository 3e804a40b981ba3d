#include <gtest/gtest.h>

#include "automation/approval_info_object.h"
#include "automation/workshop_host_object.h"
#include "base/errors.h"
#include "fake_service.h"

namespace tindrel {
namespace {

using Strings = std::vector<std::string>;

ArrayOfTindrel2VehicleApprovalData Approvals(size_t n) {
  ArrayOfTindrel2VehicleApprovalData list;
  for (size_t i = 0; i < n; ++i) list.Append(std::make_unique<Tindrel2VehicleApprovalData2>());
  return list;
}

TEST(ApprovalInfoObject, CountsWhatTheServiceReturnsMonthBeforeYear) {
  test::TFakeSession session;
  TApprovalInfoObject info(session.access);
  EXPECT_EQ(info.ErBilKontrollertIPeriode("AB12345", 2019, 3), 0);
  session.service.inspectionsInPeriod = [] { return Approvals(2); };
  EXPECT_EQ(info.ErBilKontrollertIPeriode(" AB12345 ", 0, 13), 2);
  EXPECT_EQ(info.ErBilKontrollertIPeriode("AB12345", -1, -32768), 2);
  EXPECT_EQ(session.service.Requests(),
            (Strings{"GetInspectionsForVehicleForPeriod(AB12345,3,2019)",
                     "GetInspectionsForVehicleForPeriod( AB12345 ,13,0)",
                     "GetInspectionsForVehicleForPeriod(AB12345,-32768,-1)"}));
}

TEST(ApprovalInfoObject, CancelledLoginCountsZeroAndLoginErrorsLeave) {
  test::TFakeSession session;
  session.service.inspectionsInPeriod = [] { return Approvals(2); };
  TApprovalInfoObject info(session.access);
  session.platform.loginsAccepted = 0;
  EXPECT_EQ(info.ErBilKontrollertIPeriode("AB12345", 2019, 3), 0);
  EXPECT_TRUE(session.service.calls.empty());

  session.platform.loginsAccepted = 1;
  session.service.authenticate = [](auto&, auto&, auto&) -> std::unique_ptr<ORVSecurityToken2> {
    throw TransportError("Kan ikke koble til tjenesten");
  };
  EXPECT_THROW(info.ErBilKontrollertIPeriode("AB12345", 2019, 3), TransportError);
}

TEST(WorkshopHostObject, EveryMemberSucceedsWithoutTouchingTheService) {
  test::TFakeSession session;
  TWorkshopHostObject velkar(session.access);
  velkar.RedigerKontroll("K-2001");
  velkar.RedigerKontroll("");
  velkar.OppdaterStatus();
  velkar.SkrivKontrollseddel("K-2001");
  velkar.SkrivKontrollseddelkopi("K-2001");
  velkar.SkrivVerkstedseddel("K-2001");
  velkar.SkrivVerkstedkopi("K-2001");
  velkar.SendKontrollTilHT("");
  EXPECT_EQ(Int16Value(velkar.Get(8)), 0);
  EXPECT_EQ(TextValue(velkar.Get(9)), "");
  EXPECT_EQ(Int16Value(velkar.Get(10)), 0);
  EXPECT_TRUE(session.service.calls.empty());
  EXPECT_EQ(session.platform.loginDialogs, 0);
}

}  // namespace
}  // namespace tindrel
