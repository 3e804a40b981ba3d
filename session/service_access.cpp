#include "session/service_access.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "base/errors.h"
#include "base/text.h"
#include "session/atomic_file.h"
#include "session/token_cache.h"

namespace tindrel {

TServiceAccess* ServiceAccess = nullptr;

namespace {

// What one notification-area balloon holds, without the terminator.
constexpr size_t kBalloonTitleMax = 63;
constexpr size_t kBalloonTextMax = 254;

// The first `max` UTF-16 units of `text`, one fewer when the cut would split
// a surrogate pair.
std::u16string FirstUnits(const std::string& text, size_t max) {
  std::u16string s = Utf8ToUtf16(text);
  if (s.size() > max) {
    size_t n = max;
    if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF) --n;
    s.resize(n);
  }
  return s;
}

// Best effort: the password's characters do not stay behind in freed memory.
void Wipe(std::string& secret) {
  volatile char* p = secret.data();
  for (size_t i = 0; i < secret.size(); ++i) p[i] = 0;
  secret.clear();
}

}  // namespace

TServiceAccess::TServiceAccess(ISessionPlatform& platform) : platform_(platform) {
  machineSalt_ = platform_.GetMachineSalt();
  LoadTokenCache();
  if (serviceAddress_.empty()) serviceAddress_ = std::string(kDefaultServiceAddress);
  service_ = platform_.MakeServiceProxy(serviceAddress_);
  platform_.AddStatusIcon();
}

ITindrel2Service& TServiceAccess::Service() {
  if (!service_) throw TransportError("Ingen forbindelse til tjenesten " + serviceAddress_);
  return *service_;
}

bool TServiceAccess::LogIn(const std::string& userName, const std::string& password) {
  std::unique_ptr<ORVSecurityToken2> token =
      Service().Authenticate(userName, password, machineSalt_);
  token_ = std::move(token);
  if (token_) {
    SaveTokenCache();
    token_->SetSalt(machineSalt_);
  }
  platform_.NotifyMainWindow();
  return token_ != nullptr;
}

bool TServiceAccess::PromptLogin() {
  if (openLogin_) return AwaitOpenLogin();
  const std::shared_ptr<LoginRound> round = std::make_shared<LoginRound>();
  openLogin_ = round;
  // However the dialog ends (an error showing it included), it is no longer
  // open and nobody waits for it any more.
  struct CloseRound {
    TServiceAccess& self;
    const std::shared_ptr<LoginRound>& round;
    ~CloseRound() {
      round->done = true;
      if (self.openLogin_ == round) self.openLogin_.reset();
    }
  } close{*this, round};
  platform_.RunLoginDialog([&](std::optional<LoginAnswer> answer) noexcept {
    if (round->done) return;
    if (answer) {
      struct WipeOnExit {
        std::string& s;
        ~WipeOnExit() { Wipe(s); }
      } wipe{answer->password};
      round->answered = true;
      try {
        LogIn(answer->userName, answer->password);
      } catch (...) {
        round->error = std::current_exception();
      }
    }
    round->done = true;
    if (openLogin_ == round) openLogin_.reset();
  });
  return OutcomeOf(*round);
}

bool TServiceAccess::OutcomeOf(const LoginRound& round) {
  if (round.error) std::rethrow_exception(round.error);
  return round.answered;
}

bool TServiceAccess::AwaitOpenLogin() {
  const std::shared_ptr<LoginRound> round = openLogin_;
  if (!platform_.WaitForLogin([&] { return !round->done; })) return false;
  if (!round->done) return false;
  return OutcomeOf(*round);
}

void TServiceAccess::LoadTokenCache() {
  const std::filesystem::path path = platform_.TokenCachePath();
  if (path.empty()) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  TokenCacheContents contents = DecodeTokenCache(bytes, machineSalt_, platform_);
  serviceAddress_ = std::move(contents.serviceAddress);
  token_ = std::move(contents.token);
  platform_.NotifyMainWindow();
}

void TServiceAccess::SaveTokenCache() {
  const std::filesystem::path path = platform_.TokenCachePath();
  if (!path.empty() && token_) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    // A cache that cannot be written leaves the token in memory only.
    ReplaceFileContents(path, EncodeTokenCache(serviceAddress_, *token_, platform_));
  }
  platform_.NotifyMainWindow();
}

void TServiceAccess::ShowStatusBalloon() {
  const std::string text =
      "Logget inn som " + token_->UserName() + "\ni firma " + token_->CustomerName() + ".";
  platform_.ShowStatusBalloon(FirstUnits(statusText_, kBalloonTitleMax),
                              FirstUnits(text, kBalloonTextMax));
}

// The login gate, the attempt and the retry after a new login. Nullopt when
// the user closed the login dialog. Only the program's own errors count as a
// failed attempt; errors of the login itself leave the request.
template <class Result, class Call>
std::optional<Result> TServiceAccess::Request(std::string statusText, Call call) {
  statusText_ = std::move(statusText);
  while (!token_) {
    if (!PromptLogin()) return std::nullopt;
  }
  for (;;) {
    if (token_) {
      ShowStatusBalloon();
      try {
        return std::optional<Result>(call(Service(), token_.get()));
      } catch (const Error& e) {
        // Whatever failed (a fault, a lost connection, a reply that could not
        // be read, a token the service no longer accepts), a new login is
        // what the user can do about it; the dialog says what failed.
        platform_.TellLoginReason(e.what());
      }
    }
    if (!PromptLogin()) return std::nullopt;
  }
}

std::unique_ptr<Tindrel2VehicleData2> TServiceAccess::FetchVehicleData(const std::string& regNo) {
  auto result = Request<std::unique_ptr<Tindrel2VehicleData2>>(
      "Henter kjøretøydata for " + regNo,
      [&](ITindrel2Service& s, const ORVSecurityToken2* t) { return s.GetVehicleData(regNo, t); });
  return result ? std::move(*result) : nullptr;
}

ArrayOfTindrel2CustomerData TServiceAccess::FetchCustomerList() {
  auto result = Request<ArrayOfTindrel2CustomerData>(
      "Henter kundeliste.",
      [&](ITindrel2Service& s, const ORVSecurityToken2* t) { return s.GetCustomers(t); });
  return result ? std::move(*result) : ArrayOfTindrel2CustomerData();
}

std::unique_ptr<Tindrel2CustomerData2> TServiceAccess::FetchCustomer(
    const std::string& customerNo) {
  auto result = Request<std::unique_ptr<Tindrel2CustomerData2>>(
      "Henter data på kunde nr " + customerNo,
      [&](ITindrel2Service& s, const ORVSecurityToken2* t) {
        return s.GetCustomer(customerNo, t);
      });
  return result ? std::move(*result) : nullptr;
}

std::unique_ptr<Tindrel2CustomerData2> TServiceAccess::StoreCustomer(
    const Tindrel2CustomerData2& customer) {
  auto result = Request<std::unique_ptr<Tindrel2CustomerData2>>(
      "Lagrer kunde " + customer.FirstName() + " " + customer.Name(),
      [&](ITindrel2Service& s, const ORVSecurityToken2* t) {
        return s.SaveCustomer(customer, t);
      });
  return result ? std::move(*result) : nullptr;
}

std::unique_ptr<Tindrel2InspectionData2> TServiceAccess::StoreInspection(
    const Tindrel2InspectionData2& inspection) {
  auto result = Request<std::unique_ptr<Tindrel2InspectionData2>>(
      "Lagrer kontroll for kjøretøy " + inspection.RegNo(),
      [&](ITindrel2Service& s, const ORVSecurityToken2* t) {
        return s.SaveInspection(inspection, t);
      });
  if (!result) return nullptr;
  // A reply without a record has not created anything either; the user is
  // told so in the same way, with no reason to give.
  if (!*result)
    platform_.ShowInspectionRefused(std::string());
  else if (!(*result)->CreateSucceeded())
    platform_.ShowInspectionRefused((*result)->CreateFailedReason());
  return std::move(*result);
}

ArrayOfTindrel2VehicleApprovalData TServiceAccess::FetchInspectionHistory(
    const std::string& regNo, int32_t month, int32_t year) {
  auto result = Request<ArrayOfTindrel2VehicleApprovalData>(
      "Henter kontrollhistorikk for " + regNo + ".",
      [&](ITindrel2Service& s, const ORVSecurityToken2* t) {
        return s.GetInspectionsForVehicleForPeriod(regNo, month, year, t);
      });
  return result ? std::move(*result) : ArrayOfTindrel2VehicleApprovalData();
}

void TServiceAccess::OpenInspectionForEditing(const std::string&) {}

}  // namespace tindrel
