#pragma once
// A real TServiceAccess over a scripted service and machine, for the tests
// of the automation objects. The service answers from what the test sets and
// logs every call as "Operation(arguments)"; the machine answers the login
// dialog with a working login as often as the test allows and then closes it.

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/clock.h"
#include "automation/event_target.h"
#include "contract/service.h"
#include "session/service_access.h"
#include "session/session_platform.h"

namespace tindrel::test {

class TScriptedService final : public ITindrel2Service {
 public:
  // Every call in order, Authenticate included.
  std::vector<std::string> calls;
  // Copies of the records handed to the two saves.
  std::vector<std::unique_ptr<Tindrel2InspectionData2>> sentInspections;
  std::vector<std::unique_ptr<Tindrel2CustomerData2>> sentCustomers;

  // The answers; each may throw. Defaults: a login is accepted; no vehicle;
  // an empty customer list; no customer; a save answers with a copy of what
  // it was given (an inspection numbered "K-2001" with CreateSucceeded true,
  // a customer with CustomerNoInternal 5001); no inspections in a period.
  std::function<std::unique_ptr<ORVSecurityToken2>()> authenticate;
  std::function<std::unique_ptr<Tindrel2VehicleData2>(const std::string& regNo)> vehicle;
  std::function<ArrayOfTindrel2CustomerData()> customers;
  std::function<std::unique_ptr<Tindrel2CustomerData2>(const std::string& no)> customer;
  std::function<std::unique_ptr<Tindrel2CustomerData2>(const Tindrel2CustomerData2&)>
      saveCustomer;
  std::function<std::unique_ptr<Tindrel2InspectionData2>(const Tindrel2InspectionData2&)>
      saveInspection;
  std::function<ArrayOfTindrel2VehicleApprovalData()> inspectionsInPeriod;

  TScriptedService();

  // The calls other than Authenticate.
  std::vector<std::string> Requests() const;

  std::unique_ptr<Tindrel2VehicleData2> GetVehicleData(const std::string& regNo,
                                                       const ORVSecurityToken2* token) override;
  ArrayOfTindrel2CustomerData GetCustomers(const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2CustomerData2> GetCustomer(const std::string& customerNo,
                                                     const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2CustomerData2> SaveCustomer(const Tindrel2CustomerData2& customer,
                                                      const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2InspectionData2> SaveInspection(
      const Tindrel2InspectionData2& inspection, const ORVSecurityToken2* token) override;
  std::string GetInspectionURL(const std::string& inspectionNo,
                               const ORVSecurityToken2* token) override;
  std::unique_ptr<ORVSecurityToken2> Authenticate(const std::string& userName,
                                                  const std::string& password,
                                                  const std::string& salt) override;
  std::unique_ptr<ORVSecurityToken2> RenewToken(const ORVSecurityToken2* token) override;
  bool IsTokenValid(const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2VehicleApprovalData2> IsVehicleApprovedForPeriod(
      const std::string& regNo, int32_t month, int32_t year,
      const ORVSecurityToken2* token) override;
  ArrayOfTindrel2VehicleApprovalData GetInspectionsForVehicleForPeriod(
      const std::string& regNo, int32_t month, int32_t year,
      const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2InspectionData2> GetInspectionData(
      const std::string& inspectionNo, const ORVSecurityToken2* token) override;

 private:
  void Log(std::string call, const ORVSecurityToken2* token);
};

class TScriptedPlatform final : public ISessionPlatform {
 public:
  explicit TScriptedPlatform(std::shared_ptr<TScriptedService> service)
      : service_(std::move(service)) {}

  // How many more login dialogs are answered with a login; the rest are
  // closed by the user.
  int loginsAccepted = INT_MAX;
  int loginDialogs = 0;
  // Runs while the login dialog is open, as calls from clients that the
  // dialog's message loop lets in.
  std::function<void()> duringLogin;
  // The reasons of the refusal message boxes shown.
  std::vector<std::string> refusals;

  std::string GetMachineSalt() override { return "WORKSHOP-PC"; }
  std::optional<LoginAnswer> AskForLogin() override;
  // The dialog is answered when duringLogin has run, or earlier from the
  // nested wait of a request that duringLogin made (the innermost loop
  // handles the user's click).
  bool RunLoginDialog(
      const std::function<void(std::optional<LoginAnswer>)>& answered) override;
  bool WaitForLogin(const std::function<bool()>& pending) override;
  int loginWaits = 0;
  // Runs while the refusal message box is open, as calls its loop lets in.
  std::function<void()> duringRefusal;
  void ShowInspectionRefused(const std::string& reason) override {
    refusals.push_back(reason);
    if (auto hook = duringRefusal) hook();
  }
  void AddStatusIcon() override {}
  void ShowStatusBalloon(const std::u16string&, const std::u16string&) override {}
  void NotifyMainWindow() override {}
  // No cache file: every test starts logged out and leaves nothing behind.
  std::filesystem::path TokenCachePath() override { return {}; }
  std::string FormatShortDate(const CalendarDate&) override { return {}; }
  std::optional<CalendarDate> ParseShortDate(const std::string&) override { return {}; }
  const ITimeZone& TimeZone() override { return zone_; }
  std::shared_ptr<ITindrel2Service> MakeServiceProxy(const std::string&) override {
    return service_;
  }

 private:
  std::shared_ptr<TScriptedService> service_;
  FixedTimeZone zone_{60};
  struct Dialog {
    const std::function<void(std::optional<LoginAnswer>)>& answered;
    bool done = false, given = false;
  };
  Dialog* open_ = nullptr;
  void AnswerOpenDialog();
};

// The three together, in construction order.
struct TFakeSession {
  std::shared_ptr<TScriptedService> servicePtr = std::make_shared<TScriptedService>();
  TScriptedService& service = *servicePtr;
  TScriptedPlatform platform{servicePtr};
  TServiceAccess access{platform};
};

// Records the events fired; `onFire` runs inside Fire, as a client's handler.
class TRecordingEvents final : public IEventTarget {
 public:
  std::vector<int> fired;
  std::function<void(int)> onFire;
  void Fire(int dispid) noexcept override {
    fired.push_back(dispid);
    if (onFire) onFire(dispid);
  }
};

class TFixedClock final : public IClock {
 public:
  LocalDateTime now{2024, 5, 17, 14, 30, 5, 0};
  LocalDateTime LocalNow() const override { return now; }
};

// A date-time value from its xs:dateTime text; throws on a malformed one.
std::unique_ptr<XsDateTime> Date(const char* text);

}  // namespace tindrel::test
