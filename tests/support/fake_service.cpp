#include "fake_service.h"

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>

#include "base/errors.h"
#include "session/short_date.h"

namespace tindrel::test {

std::unique_ptr<XsDateTime> Date(const char* text) {
  std::optional<XsDateTime> value = XsDateTime::Parse(text);
  if (!value) throw std::invalid_argument(std::string("not an xs:dateTime: ") + text);
  return std::make_unique<XsDateTime>(*value);
}

std::unique_ptr<ORVSecurityToken2> GoodToken(const std::string& salt, int serial) {
  auto t = std::make_unique<ORVSecurityToken2>();
  t->SetCustomerName("Testverkstedet AS");
  t->SetCustomerNo(4242);
  t->SetUserName("user");
  t->SetUserID(7);
  t->SetSalt(salt);
  t->SetSignature("SIG-" + std::to_string(serial) + "-abcdefghijklmnopqrstuvwxyz");
  t->SetValidTo(std::make_unique<XsDateTime>(*XsDateTime::Parse("2030-12-31T12:00:00+01:00")));
  return t;
}

FakeService::FakeService() {
  tokenNote = [](const ORVSecurityToken2* token) {
    return !token || token->Signature().empty() ? std::string(" without token") : std::string();
  };
  authenticate = [](const std::string&, const std::string&, const std::string&) {
    auto token = std::make_unique<ORVSecurityToken2>();
    token->SetCustomerName("Testverkstedet AS");
    token->SetUserName("verksted");
    token->SetSignature("SIG-verksted-1");
    token->SetValidTo(Date("2030-12-31T12:00:00+01:00"));
    return token;
  };
  vehicle = [](const std::string&) { return nullptr; };
  customers = [] { return ArrayOfTindrel2CustomerData(); };
  customer = [](const std::string&) { return nullptr; };
  saveCustomer = [](const Tindrel2CustomerData2& in) {
    auto out = in.Clone();
    out->SetCustomerNoInternal(5001);
    return out;
  };
  saveInspection = [](const Tindrel2InspectionData2& in) {
    auto out = in.Clone();
    out->SetInspectionNo("K-2001");
    out->SetCreateSucceeded(true);
    return out;
  };
  inspectionsInPeriod = [] { return ArrayOfTindrel2VehicleApprovalData(); };
}

std::vector<std::string> FakeService::Requests() const {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.rfind("Authenticate(", 0) != 0) out.push_back(c);
  return out;
}

void FakeService::Record(const std::string& op, const std::string& args,
                         const ORVSecurityToken2* token) {
  const std::string line = op + "(" + args + ")" + tokenNote(token);
  calls.push_back(line);
  if (timeline) timeline->push_back("call:" + line);
  if (before) before(op, token);
}

std::unique_ptr<Tindrel2VehicleData2> FakeService::GetVehicleData(const std::string& regNo,
                                                                  const ORVSecurityToken2* t) {
  Record("GetVehicleData", regNo, t);
  return vehicle(regNo);
}

ArrayOfTindrel2CustomerData FakeService::GetCustomers(const ORVSecurityToken2* t) {
  Record("GetCustomers", "", t);
  return customers();
}

std::unique_ptr<Tindrel2CustomerData2> FakeService::GetCustomer(const std::string& customerNo,
                                                                const ORVSecurityToken2* t) {
  Record("GetCustomer", customerNo, t);
  return customer(customerNo);
}

std::unique_ptr<Tindrel2CustomerData2> FakeService::SaveCustomer(const Tindrel2CustomerData2& in,
                                                                 const ORVSecurityToken2* t) {
  Record("SaveCustomer", in.CustomerNo(), t);
  sentCustomers.push_back(in.Clone());
  return saveCustomer(in);
}

std::unique_ptr<Tindrel2InspectionData2> FakeService::SaveInspection(
    const Tindrel2InspectionData2& in, const ORVSecurityToken2* t) {
  Record("SaveInspection", in.RegNo(), t);
  sentInspections.push_back(in.Clone());
  return saveInspection(in);
}

std::string FakeService::GetInspectionURL(const std::string& no, const ORVSecurityToken2* t) {
  Record("GetInspectionURL", no, t);
  return {};
}

std::unique_ptr<ORVSecurityToken2> FakeService::Authenticate(const std::string& userName,
                                                             const std::string& password,
                                                             const std::string& salt) {
  lastSalt = salt;
  const std::string line = "Authenticate(" + userName + ")";
  calls.push_back(line);
  if (timeline) timeline->push_back("call:" + line);
  return authenticate(userName, password, salt);
}

std::unique_ptr<ORVSecurityToken2> FakeService::RenewToken(const ORVSecurityToken2* t) {
  Record("RenewToken", "", t);
  return nullptr;
}

bool FakeService::IsTokenValid(const ORVSecurityToken2* t) {
  Record("IsTokenValid", "", t);
  return tokenValid;
}

std::unique_ptr<Tindrel2VehicleApprovalData2> FakeService::IsVehicleApprovedForPeriod(
    const std::string& regNo, int32_t month, int32_t year, const ORVSecurityToken2* t) {
  Record("IsVehicleApprovedForPeriod",
         regNo + "," + std::to_string(month) + "," + std::to_string(year), t);
  return nullptr;
}

ArrayOfTindrel2VehicleApprovalData FakeService::GetInspectionsForVehicleForPeriod(
    const std::string& regNo, int32_t month, int32_t year, const ORVSecurityToken2* t) {
  Record("GetInspectionsForVehicleForPeriod",
         regNo + "," + std::to_string(month) + "," + std::to_string(year), t);
  return inspectionsInPeriod();
}

std::unique_ptr<Tindrel2InspectionData2> FakeService::GetInspectionData(const std::string& no,
                                                                       const ORVSecurityToken2* t) {
  Record("GetInspectionData", no, t);
  return nullptr;
}

FakePlatform::FakePlatform() {
  std::random_device rd;
  folder = std::filesystem::temp_directory_path() /
           ("tindrel-session-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(folder);
  cachePath = folder / "ORV_AS" / "Tindrel2.dat";
  service->timeline = &events;
  service->tokenNote = [](const ORVSecurityToken2* token) {
    return token ? " " + token->Signature() : std::string();
  };
  service->authenticate = [serial = 0](const std::string& user, const std::string& password,
                                       const std::string& salt) mutable {
    using Result = std::unique_ptr<ORVSecurityToken2>;
    if (user == "user" && password == "secret") return GoodToken(salt, ++serial);
    return Result();
  };
  service->vehicle = [](const std::string& regNo) {
    auto v = std::make_unique<Tindrel2VehicleData2>();
    v->SetRegNo(regNo);
    return v;
  };
  service->customers = [] {
    ArrayOfTindrel2CustomerData list;
    for (const char* no : {"1001", "1002"}) {
      auto c = std::make_unique<Tindrel2CustomerData2>();
      c->SetCustomerNo(no);
      list.Append(std::move(c));
    }
    return list;
  };
  service->customer = [](const std::string& no) {
    auto c = std::make_unique<Tindrel2CustomerData2>();
    c->SetCustomerNo(no);
    return c;
  };
  service->inspectionsInPeriod = [] {
    ArrayOfTindrel2VehicleApprovalData list;
    list.Append(std::make_unique<Tindrel2VehicleApprovalData2>());
    return list;
  };
  service->tokenValid = false;
}

FakePlatform::~FakePlatform() {
  service->timeline = nullptr;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

int FakePlatform::Count(const std::string& event) const {
  int n = 0;
  for (const std::string& e : events) n += e == event;
  return n;
}

void FakePlatform::WriteCache(const std::string& bytes) {
  std::filesystem::create_directories(cachePath.parent_path());
  std::ofstream(cachePath, std::ios::binary) << bytes;
}

std::string FakePlatform::ReadCache() const {
  std::ifstream in(cachePath, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<LoginAnswer> FakePlatform::AskForLogin() {
  events.push_back("login-dialog");
  if (logins.empty()) return std::nullopt;
  std::optional<LoginAnswer> answer = std::move(logins.front());
  logins.pop_front();
  return answer;
}

bool FakePlatform::RunLoginDialog(
    const std::function<void(std::optional<LoginAnswer>)>& answered) {
  events.push_back("login-dialog");
  Dialog dialog{answered};
  Dialog* outer = std::exchange(open_, &dialog);
  // A copy: the hook may clear itself.
  if (auto hook = whileOpen) hook();
  if (!dialog.done) AnswerOpenDialog();
  open_ = outer;
  return dialog.given;
}

// The user answers the dialog that is open: the next scripted login, or the
// close box when they have run out.
void FakePlatform::AnswerOpenDialog() {
  std::optional<LoginAnswer> answer;
  if (!logins.empty()) {
    answer = std::move(logins.front());
    logins.pop_front();
  }
  open_->done = true;
  open_->given = answer.has_value();
  open_->answered(std::move(answer));
}

bool FakePlatform::WaitForLogin(const std::function<bool()>& pending) {
  events.push_back("login-wait");
  if (pending() && open_ && !open_->done) AnswerOpenDialog();
  return !pending();
}

void FakePlatform::ShowInspectionRefused(const std::string& reason) {
  events.push_back("refused:" + reason);
}

void FakePlatform::ShowStatusBalloon(const std::u16string& title, const std::u16string& text) {
  events.push_back("balloon");
  balloons.emplace_back(title, text);
}

std::string FakePlatform::FormatShortDate(const CalendarDate& date) {
  return FormatDateWithPattern(date, "dd.MM.yyyy");
}

std::optional<CalendarDate> FakePlatform::ParseShortDate(const std::string& text) {
  return ParseDateWithPattern(text, "dd.MM.yyyy");
}

std::shared_ptr<ITindrel2Service> FakePlatform::MakeServiceProxy(const std::string& address) {
  events.push_back("service:" + address);
  return service;
}

std::optional<LoginAnswer> TScriptedPlatform::AskForLogin() {
  ++loginDialogs;
  if (duringLogin) duringLogin();
  if (loginsAccepted <= 0) return std::nullopt;
  --loginsAccepted;
  return LoginAnswer{"verksted", "hemmelig1"};
}

bool TScriptedPlatform::RunLoginDialog(
    const std::function<void(std::optional<LoginAnswer>)>& answered) {
  ++loginDialogs;
  Dialog dialog{answered};
  Dialog* outer = std::exchange(open_, &dialog);
  // A copy: the hook may clear itself.
  if (auto hook = duringLogin) hook();
  if (!dialog.done) AnswerOpenDialog();
  open_ = outer;
  return dialog.given;
}

void TScriptedPlatform::AnswerOpenDialog() {
  std::optional<LoginAnswer> answer;
  if (loginsAccepted > 0) {
    --loginsAccepted;
    answer = LoginAnswer{"verksted", "hemmelig1"};
  }
  open_->done = true;
  open_->given = answer.has_value();
  open_->answered(std::move(answer));
}

bool TScriptedPlatform::WaitForLogin(const std::function<bool()>& pending) {
  ++loginWaits;
  if (pending() && open_ && !open_->done) AnswerOpenDialog();
  return !pending();
}

}  // namespace tindrel::test
