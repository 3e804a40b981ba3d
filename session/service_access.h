#pragma once
// TServiceAccess: the program's one connection to the inspection service.
// It holds the proxy, the security token every request carries, the salt
// bound to this machine and the service address, keeps the token between
// runs in the token cache file, and offers the requests that the rest of the
// program calls instead of calling the service itself.
//
// Every request sets StatusText, makes sure a token is held (asking the user
// to log in while none is), shows the status balloon, calls the service and,
// when the call fails with a tindrel::Error, asks for a new login and tries
// again, for as long as the user keeps logging in. Closing the login dialog
// breaks the request off with its empty result. An error raised by the login
// itself (Authenticate failing) leaves the request.
//
// One login dialog at a time. The dialog's message loop lets other clients'
// calls in, and their requests may need a login too. There is one thread, so
// such a request cannot block: it runs a nested modal wait (WaitForLogin)
// until the user has answered the dialog that is open, and then takes that
// login's outcome (the login button: go on with whatever token the login
// left; the close box: break off; an error of Authenticate: the same error).
// Because the waiting request sits above the dialog's own frame on the
// stack, the login is made at the moment of the answer, from inside the
// dialog (ISessionPlatform::RunLoginDialog), not after it has returned.
//
// Main thread only; no locks. Records returned belong to the caller.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "contract/records.h"
#include "contract/service.h"
#include "session/session_platform.h"

namespace tindrel {

class TServiceAccess {
 public:
  // In this order: the machine salt, the token cache, the default address
  // when the cache gave none, the proxy, the notification entry. `platform`
  // must outlive the session.
  explicit TServiceAccess(ISessionPlatform& platform);
  TServiceAccess(const TServiceAccess&) = delete;
  TServiceAccess& operator=(const TServiceAccess&) = delete;

  // Null while nobody is logged in. Valid until the next login.
  const ORVSecurityToken2* Token() const { return token_.get(); }
  const std::string& ServiceAddress() const { return serviceAddress_; }
  const std::string& StatusText() const { return statusText_; }
  const std::string& MachineSalt() const { return machineSalt_; }

  // Authenticates; the result replaces the token even when it is none.
  // True when a token is held afterwards. Errors from Authenticate reach the
  // caller with the token unchanged. The password is kept nowhere.
  bool LogIn(const std::string& userName, const std::string& password);
  // Login dialog, then LogIn. False only when the dialog was closed. While
  // a dialog is open already, waits for its outcome instead of asking again.
  bool PromptLogin();
  // A login dialog is open (a request is waiting for the user).
  bool LoginOpen() const { return openLogin_ != nullptr; }

  // Null when the user broke off, or when the service has no such vehicle.
  std::unique_ptr<Tindrel2VehicleData2> FetchVehicleData(const std::string& regNo);
  // Empty when the user broke off.
  ArrayOfTindrel2CustomerData FetchCustomerList();
  std::unique_ptr<Tindrel2CustomerData2> FetchCustomer(const std::string& customerNo);
  // The two saves return the record as the service saved it. They return
  // null when the user broke off the login; the caller then keeps its own
  // record, unchanged. (The record handed in is only read, so nothing can be
  // released twice and no error leaving the request takes it along.)
  std::unique_ptr<Tindrel2CustomerData2> StoreCustomer(const Tindrel2CustomerData2& customer);
  // Shows the refusal message box when the service answers CreateSucceeded
  // false, and returns the record all the same.
  std::unique_ptr<Tindrel2InspectionData2> StoreInspection(
      const Tindrel2InspectionData2& inspection);
  ArrayOfTindrel2VehicleApprovalData FetchInspectionHistory(const std::string& regNo,
                                                           int32_t month, int32_t year);
  // Accepted and ignored: editing happens in the workshop program.
  void OpenInspectionForEditing(const std::string& inspectionNo);

  // The token cache file (see session/token_cache.h for its format).
  void LoadTokenCache();
  void SaveTokenCache();

 private:
  template <class Result, class Call>
  std::optional<Result> Request(std::string statusText, Call call);
  void ShowStatusBalloon();
  ITindrel2Service& Service();
  // One login dialog: what became of it, shared by every request waiting.
  struct LoginRound {
    bool done = false;
    bool answered = false;  // the login button, not the close box
    std::exception_ptr error;
  };
  static bool OutcomeOf(const LoginRound& round);
  bool AwaitOpenLogin();

  ISessionPlatform& platform_;
  std::unique_ptr<ORVSecurityToken2> token_;
  std::shared_ptr<ITindrel2Service> service_;
  std::string statusText_;
  std::string machineSalt_;
  std::string serviceAddress_;
  std::shared_ptr<LoginRound> openLogin_;
};

// The process-wide session, owned by the main window; null outside its life.
extern TServiceAccess* ServiceAccess;

}  // namespace tindrel
