#include "app/session_platform.h"

#include <windows.h>

#include <string>
#include <utility>

#include "app/login_form.h"
#include "app/main_form.h"
#include "session/win/windows_platform.h"

namespace tindrel {
namespace {

class WindowsSessionPlatform final : public ISessionPlatform {
 public:
  std::string GetMachineSalt() override { return windows::MachineSalt(); }
  std::optional<LoginAnswer> AskForLogin() override { return ShowLoginForm(nullptr); }
  bool RunLoginDialog(
      const std::function<void(std::optional<LoginAnswer>)>& answered) override {
    return RunLoginForm(nullptr, answered, std::exchange(loginReason_, std::string()));
  }
  // The thread's own message loop, one level deeper: the open dialog's
  // messages (with its keyboard handling) and the calls of other clients
  // run as they would in the dialog's loop.
  void TellLoginReason(const std::string& reason) override { loginReason_ = reason; }
  bool WaitForLogin(const std::function<bool()>& pending) override {
    MSG msg;
    while (pending()) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == -1) return false;
      if (got == 0) {
        // The program ends: the quit goes on to the loops further down.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
      }
      HWND dialog = OpenLoginForm();
      if (dialog && IsDialogMessageW(dialog, &msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return true;
  }
  void ShowInspectionRefused(const std::string& reason) override {
    windows::ShowInspectionRefused(reason);
  }
  void AddStatusIcon() override { windows::AddStatusIcon(); }
  void ShowStatusBalloon(const std::u16string& title, const std::u16string& text) override {
    windows::ShowStatusBalloon(title, text);
  }
  void NotifyMainWindow() override {
    if (HWND main = MainWindowHandle()) PostMessageW(main, kRefreshLoginStateMessage, 0, 0);
  }
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
  std::string loginReason_;
};

}  // namespace

std::unique_ptr<ISessionPlatform> CreateWindowsSessionPlatform() {
  return std::make_unique<WindowsSessionPlatform>();
}

}  // namespace tindrel
