#pragma once
// Scripted stand-ins for the service and the machine, for the native tests of
// the session and the automation objects (and the COM objects under Wine).
// One fake service answers from what the test sets and logs every call; two
// machines: FakePlatform for the session's own tests (a login queue, a cache
// file in a private folder, an event log), TScriptedPlatform for the objects
// (a working login as often as the test allows, no cache file).

#include <climits>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/clock.h"
#include "base/diagnostic_log.h"
#include "automation/event_target.h"
#include "contract/service.h"
#include "session/service_access.h"
#include "session/session_platform.h"

namespace tindrel::test {

class FakeService final : public ITindrel2Service {
 public:
  // Every call in order as "Operation(arguments)", Authenticate included,
  // followed by what `tokenNote` says about the call's token.
  std::vector<std::string> calls;
  // When set, every call is also appended here as "call:" + the call.
  std::vector<std::string>* timeline = nullptr;
  // The default notes a request sent without the session's token (a fault of
  // the session); FakePlatform notes the token's Signature instead.
  std::function<std::string(const ORVSecurityToken2*)> tokenNote;
  // Called after logging a request, with its operation name; may throw.
  std::function<void(const std::string& op, const ORVSecurityToken2* token)> before;
  // Copies of the records handed to the two saves.
  std::vector<std::unique_ptr<Tindrel2InspectionData2>> sentInspections;
  std::vector<std::unique_ptr<Tindrel2CustomerData2>> sentCustomers;
  // The salt of the last Authenticate.
  std::string lastSalt;

  // The answers; each may throw. Defaults: any login is accepted with the
  // workshop user's token; no vehicle; an empty customer list; no customer; a
  // save answers with a copy of what it was given (an inspection numbered
  // "K-2001" with CreateSucceeded true, a customer with CustomerNoInternal
  // 5001); no inspections in a period; every token valid.
  std::function<std::unique_ptr<ORVSecurityToken2>(
      const std::string& user, const std::string& password, const std::string& salt)>
      authenticate;
  std::function<std::unique_ptr<Tindrel2VehicleData2>(const std::string& regNo)> vehicle;
  std::function<ArrayOfTindrel2CustomerData()> customers;
  std::function<std::unique_ptr<Tindrel2CustomerData2>(const std::string& no)> customer;
  std::function<std::unique_ptr<Tindrel2CustomerData2>(const Tindrel2CustomerData2&)>
      saveCustomer;
  std::function<std::unique_ptr<Tindrel2InspectionData2>(const Tindrel2InspectionData2&)>
      saveInspection;
  std::function<ArrayOfTindrel2VehicleApprovalData()> inspectionsInPeriod;
  bool tokenValid = true;

  FakeService();

  // The calls other than Authenticate.
  std::vector<std::string> Requests() const;

#define TINDREL_FAKE_OPERATION(Name, Result, Parameters, Arguments, ChangesData) \
  Result Name Parameters override;
  TINDREL_SERVICE_OPERATIONS(TINDREL_FAKE_OPERATION)
#undef TINDREL_FAKE_OPERATION

 private:
  void Record(const std::string& op, const std::string& args, const ORVSecurityToken2* token);
};

// The token FakePlatform's service hands out for "user"/"secret".
std::unique_ptr<ORVSecurityToken2> GoodToken(const std::string& salt, int serial = 1);

// The machine of the session tests: answers to the login dialog in order (nullopt = closed; when
// they run out the dialog is closed), a fixed "dd.MM.yyyy" date format, a
// zone of UTC+1, a cache file in a private temporary folder. Its service
// accepts only "user"/"secret", echoes the vehicle and customer asked for,
// lists customers 1001 and 1002 and one empty approval, calls every token
// invalid, and logs each call with the token's Signature.
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

// The machine of the object tests: a working login as often as the test
// allows, then the dialog is closed.
class TScriptedPlatform final : public ISessionPlatform {
 public:
  explicit TScriptedPlatform(std::shared_ptr<FakeService> service)
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
  std::shared_ptr<FakeService> service_;
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
  std::shared_ptr<FakeService> servicePtr = std::make_shared<FakeService>();
  FakeService& service = *servicePtr;
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

// The diagnostic log's files in memory. Install() makes it the process's log
// (a fixed time, process id 4242) until the returned guard ends.
class FakeLogFile final : public ILogFile {
 public:
  std::string current, older;
  bool rotateFails = false;

  uint64_t Size() override { return current.size(); }
  bool Append(std::string_view bytes) override {
    current += bytes;
    return true;
  }
  bool Rotate() override {
    if (rotateFails) return false;
    older = std::exchange(current, std::string());
    return true;
  }

  struct Installed {
    FakeLogFile* file;
    ~Installed() { InstallDiagnosticLog(nullptr); }
  };
  static Installed Install(uint64_t capBytes = kLogCapBytes) {
    auto file = std::make_unique<FakeLogFile>();
    FakeLogFile* raw = file.get();
    InstallDiagnosticLog(std::make_unique<DiagnosticLog>(
        std::move(file), 4242, [] { return LogTime{2026, 12, 10, 3, 4, 5, 67}; }, capBytes));
    return Installed{raw};
  }
};

}  // namespace tindrel::test
