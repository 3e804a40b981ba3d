#include "fake_session.h"

#include <stdexcept>
#include <utility>

namespace tindrel::test {

std::unique_ptr<XsDateTime> Date(const char* text) {
  std::optional<XsDateTime> value = XsDateTime::Parse(text);
  if (!value) throw std::invalid_argument(std::string("not an xs:dateTime: ") + text);
  return std::make_unique<XsDateTime>(*value);
}

TScriptedService::TScriptedService() {
  authenticate = [] {
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

std::vector<std::string> TScriptedService::Requests() const {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.rfind("Authenticate(", 0) != 0) out.push_back(c);
  return out;
}

void TScriptedService::Log(std::string call, const ORVSecurityToken2* token) {
  // A request without the session's token would be a fault of the session.
  if (!token || token->Signature().empty()) call += " without token";
  calls.push_back(std::move(call));
}

std::unique_ptr<Tindrel2VehicleData2> TScriptedService::GetVehicleData(
    const std::string& regNo, const ORVSecurityToken2* token) {
  Log("GetVehicleData(" + regNo + ")", token);
  return vehicle(regNo);
}

ArrayOfTindrel2CustomerData TScriptedService::GetCustomers(const ORVSecurityToken2* token) {
  Log("GetCustomers()", token);
  return customers();
}

std::unique_ptr<Tindrel2CustomerData2> TScriptedService::GetCustomer(
    const std::string& customerNo, const ORVSecurityToken2* token) {
  Log("GetCustomer(" + customerNo + ")", token);
  return customer(customerNo);
}

std::unique_ptr<Tindrel2CustomerData2> TScriptedService::SaveCustomer(
    const Tindrel2CustomerData2& in, const ORVSecurityToken2* token) {
  Log("SaveCustomer(" + in.CustomerNo() + ")", token);
  sentCustomers.push_back(in.Clone());
  return saveCustomer(in);
}

std::unique_ptr<Tindrel2InspectionData2> TScriptedService::SaveInspection(
    const Tindrel2InspectionData2& in, const ORVSecurityToken2* token) {
  Log("SaveInspection(" + in.RegNo() + ")", token);
  sentInspections.push_back(in.Clone());
  return saveInspection(in);
}

std::string TScriptedService::GetInspectionURL(const std::string& inspectionNo,
                                               const ORVSecurityToken2* token) {
  Log("GetInspectionURL(" + inspectionNo + ")", token);
  return {};
}

std::unique_ptr<ORVSecurityToken2> TScriptedService::Authenticate(const std::string& userName,
                                                                  const std::string&,
                                                                  const std::string&) {
  calls.push_back("Authenticate(" + userName + ")");
  return authenticate();
}

std::unique_ptr<ORVSecurityToken2> TScriptedService::RenewToken(const ORVSecurityToken2* token) {
  Log("RenewToken()", token);
  return nullptr;
}

bool TScriptedService::IsTokenValid(const ORVSecurityToken2* token) {
  Log("IsTokenValid()", token);
  return true;
}

std::unique_ptr<Tindrel2VehicleApprovalData2> TScriptedService::IsVehicleApprovedForPeriod(
    const std::string& regNo, int32_t month, int32_t year, const ORVSecurityToken2* token) {
  Log("IsVehicleApprovedForPeriod(" + regNo + "," + std::to_string(month) + "," +
          std::to_string(year) + ")",
      token);
  return nullptr;
}

ArrayOfTindrel2VehicleApprovalData TScriptedService::GetInspectionsForVehicleForPeriod(
    const std::string& regNo, int32_t month, int32_t year, const ORVSecurityToken2* token) {
  Log("GetInspectionsForVehicleForPeriod(" + regNo + "," + std::to_string(month) + "," +
          std::to_string(year) + ")",
      token);
  return inspectionsInPeriod();
}

std::unique_ptr<Tindrel2InspectionData2> TScriptedService::GetInspectionData(
    const std::string& inspectionNo, const ORVSecurityToken2* token) {
  Log("GetInspectionData(" + inspectionNo + ")", token);
  return nullptr;
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
