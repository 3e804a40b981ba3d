#pragma once
// Scripted stand-ins for the machine and the service, for the session tests.

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "contract/service.h"
#include "session/session_platform.h"

namespace tindrel::test {

// A service whose Authenticate and record operations follow what the test
// sets; every call is logged as "Operation(args)" with the token's Signature.
class FakeService final : public ITindrel2Service {
 public:
  std::vector<std::string> calls;
  // Returns the token for a login; the default accepts "user"/"secret".
  std::function<std::unique_ptr<ORVSecurityToken2>(const std::string&, const std::string&,
                                                   const std::string&)>
      authenticate;
  // Called before every record operation with its name; may throw.
  std::function<void(const std::string& op, const ORVSecurityToken2* token)> before;
  // What SaveInspection answers; the default echoes with CreateSucceeded true.
  std::function<std::unique_ptr<Tindrel2InspectionData2>(const Tindrel2InspectionData2&)>
      saveInspection;
  std::string lastSalt;
  // When set, every call is also appended here as "call:" + the call.
  std::vector<std::string>* timeline = nullptr;

  FakeService();

  std::unique_ptr<Tindrel2VehicleData2> GetVehicleData(const std::string& regNo,
                                                       const ORVSecurityToken2* token) override;
  ArrayOfTindrel2CustomerData GetCustomers(const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2CustomerData2> GetCustomer(const std::string& customerNo,
                                                     const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2CustomerData2> SaveCustomer(const Tindrel2CustomerData2& customer,
                                                      const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2InspectionData2> SaveInspection(
      const Tindrel2InspectionData2& inspection, const ORVSecurityToken2* token) override;
  std::string GetInspectionURL(const std::string&, const ORVSecurityToken2*) override;
  std::unique_ptr<ORVSecurityToken2> Authenticate(const std::string& userName,
                                                  const std::string& password,
                                                  const std::string& salt) override;
  std::unique_ptr<ORVSecurityToken2> RenewToken(const ORVSecurityToken2*) override;
  bool IsTokenValid(const ORVSecurityToken2*) override;
  std::unique_ptr<Tindrel2VehicleApprovalData2> IsVehicleApprovedForPeriod(
      const std::string&, int32_t, int32_t, const ORVSecurityToken2*) override;
  ArrayOfTindrel2VehicleApprovalData GetInspectionsForVehicleForPeriod(
      const std::string& regNo, int32_t month, int32_t year,
      const ORVSecurityToken2* token) override;
  std::unique_ptr<Tindrel2InspectionData2> GetInspectionData(const std::string&,
                                                             const ORVSecurityToken2*) override;

 private:
  void Record(const std::string& op, const std::string& args, const ORVSecurityToken2* token);
};

// The token FakeService hands out for "user"/"secret".
std::unique_ptr<ORVSecurityToken2> GoodToken(const std::string& salt, int serial = 1);

// The machine: answers to the login dialog in order (nullopt = closed; when
// they run out the dialog is closed), a fixed "dd.MM.yyyy" date format, a
// zone of UTC+1, a cache file in a private temporary folder.
class FakePlatform final : public ISessionPlatform {
 public:
  FakePlatform();
  ~FakePlatform() override;

  std::string salt = "WORKSHOP-PC";
  std::deque<std::optional<LoginAnswer>> logins;
  std::shared_ptr<FakeService> service = std::make_shared<FakeService>();
  std::filesystem::path folder;     // removed with the platform
  std::filesystem::path cachePath;  // folder / "ORV_AS" / "Tindrel2.dat"

  // What the session did, in order: "salt", "login-dialog", "balloon", "refused:<reason>",
  // "icon", "notify", "service:<address>", and the service's "call:..." lines.
  std::vector<std::string> events;
  std::vector<std::pair<std::u16string, std::u16string>> balloons;
  int Count(const std::string& event) const;

  void WriteCache(const std::string& bytes);
  std::string ReadCache() const;

  std::string GetMachineSalt() override {
    events.push_back("salt");
    return salt;
  }
  // Runs while the dialog is open, before it is answered: the calls of other
  // clients that the dialog's message loop lets in. A request among them
  // that waits (WaitForLogin) sees the dialog answered from its wait, as the
  // user's click is handled by the innermost loop.
  std::function<void()> whileOpen;

  std::optional<LoginAnswer> AskForLogin() override;
  bool RunLoginDialog(
      const std::function<void(std::optional<LoginAnswer>)>& answered) override;
  bool WaitForLogin(const std::function<bool()>& pending) override;
  void ShowInspectionRefused(const std::string& reason) override;
  void AddStatusIcon() override { events.push_back("icon"); }
  void ShowStatusBalloon(const std::u16string& title, const std::u16string& text) override;
  void NotifyMainWindow() override { events.push_back("notify"); }
  std::filesystem::path TokenCachePath() override { return cachePath; }
  std::string FormatShortDate(const CalendarDate& date) override;
  std::optional<CalendarDate> ParseShortDate(const std::string& text) override;
  const ITimeZone& TimeZone() override { return zone_; }
  std::shared_ptr<ITindrel2Service> MakeServiceProxy(const std::string& address) override;

 private:
  FixedTimeZone zone_{60};
  // The dialog open now: how to answer it, and whether it has been.
  struct Dialog {
    const std::function<void(std::optional<LoginAnswer>)>& answered;
    bool done = false, given = false;
  };
  Dialog* open_ = nullptr;
  void AnswerOpenDialog();
};

}  // namespace tindrel::test
