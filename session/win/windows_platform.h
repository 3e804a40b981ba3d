#pragma once
// The session's platform on Windows (SessionPlatform): the system's
// services below, the nested wait for an open login dialog, the system's
// time zone and the WinInet proxy, with the program's own windows handed in
// by app/ (SessionUi: the login dialog and the main window's refresh).
// Windows only.

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "session/session_platform.h"

namespace tindrel::windows {

// The system's services, each also on its own (the tests use them).

// The domain's name when the computer is joined to a domain, else the
// computer's physical NetBIOS name. Empty when the system gives neither.
std::string MachineSalt();

// <roaming application data>\ORV_AS\Tindrel2.dat; empty when the folder is
// unknown.
std::filesystem::path TokenCachePath();

// GetDateFormatW with DATE_SHORTDATE for the user's locale.
std::string FormatShortDate(const CalendarDate& date);
// The same locale's short date pattern, read back (see session/short_date.h).
std::optional<CalendarDate> ParseShortDate(const std::string& text);

// Notification entry 1043, without an owner window; failures are ignored.
void AddStatusIcon();
void ShowStatusBalloon(const std::u16string& title, const std::u16string& text);

// The message box for an inspection the service refused to create.
void ShowInspectionRefused(const std::string& reason);

// What the program's windows do for the session.
struct SessionUi {
  // Runs the login dialog, without owner, as ISessionPlatform::RunLoginDialog
  // describes it; a non-empty `reason` is shown in it. True when its login
  // button closed it.
  std::function<bool(const std::function<void(std::optional<LoginAnswer>)>& answered,
                     const std::string& reason)>
      runLoginDialog;
  // The login dialog on the screen now, or null.
  std::function<HWND()> openLoginDialog;
  // As ISessionPlatform::NotifyMainWindow.
  std::function<void()> refreshMainWindow;
};

class SessionPlatform final : public ISessionPlatform {
 public:
  explicit SessionPlatform(SessionUi ui) : ui_(std::move(ui)) {}

  std::string GetMachineSalt() override { return MachineSalt(); }
  std::optional<LoginAnswer> AskForLogin() override;
  void TellLoginReason(const std::string& reason) override { loginReason_ = reason; }
  bool RunLoginDialog(
      const std::function<void(std::optional<LoginAnswer>)>& answered) override;
  bool WaitForLogin(const std::function<bool()>& pending) override;
  void ShowInspectionRefused(const std::string& reason) override {
    windows::ShowInspectionRefused(reason);
  }
  void AddStatusIcon() override { windows::AddStatusIcon(); }
  void ShowStatusBalloon(const std::u16string& title, const std::u16string& text) override {
    windows::ShowStatusBalloon(title, text);
  }
  void NotifyMainWindow() override { ui_.refreshMainWindow(); }
  std::filesystem::path TokenCachePath() override { return windows::TokenCachePath(); }
  std::string FormatShortDate(const CalendarDate& date) override {
    return windows::FormatShortDate(date);
  }
  std::optional<CalendarDate> ParseShortDate(const std::string& text) override {
    return windows::ParseShortDate(text);
  }
  const ITimeZone& TimeZone() override { return SystemTimeZone(); }
  std::shared_ptr<ITindrel2Service> MakeServiceProxy(const std::string& address) override {
    return CreateServiceProxy(false, address);
  }

 private:
  SessionUi ui_;
  // Told by TellLoginReason, shown by the next RunLoginDialog.
  std::string loginReason_;
};

}  // namespace tindrel::windows
