#pragma once
// Everything the service session needs from the machine it runs on: the
// salt, the login dialog, the refusal message, the notification area, the
// main window's refresh, the token cache's location, the user's short date
// format, the clock's zone and the service proxy. The Windows implementation
// is windows::SessionPlatform (session/win/windows_platform.h), to which the
// program hands its login dialog and main window; tests bring their own.
//
// All calls are made on the main thread. Texts are UTF-8 unless the type
// says otherwise.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "contract/datetime.h"
#include "contract/service.h"

namespace tindrel {

// What the user typed into the login dialog.
struct LoginAnswer {
  std::string userName;
  std::string password;
};

struct CalendarDate {
  int year = 0, month = 0, day = 0;
  friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

class ISessionPlatform {
 public:
  virtual ~ISessionPlatform() = default;

  // The domain's name on a domain-joined computer, else the computer's
  // physical NetBIOS name.
  virtual std::string GetMachineSalt() = 0;

  // Shows a new, empty login dialog modally, without an owner, on top of
  // everything and with the keyboard focus. The answer when the user pressed
  // its login button (the password field read first, then the user name);
  // nullopt when the dialog was closed through its close box.
  virtual std::optional<LoginAnswer> AskForLogin() = 0;

  // The text of the error (a fault, a lost connection, an unreadable reply)
  // that made a request's attempt fail, told before the request asks for a
  // new login. The next RunLoginDialog shows it and forgets it, whichever
  // login opens that dialog: a request that finds a dialog already open waits
  // for that one, and the reason stays for a later dialog (the main window's
  // login button's, say). A newer reason replaces one not yet shown;
  // AskForLogin never shows one. The default drops it.
  virtual void TellLoginReason(const std::string& /*reason*/) {}

  // The login dialog as the session shows it. `answered` runs exactly once,
  // from inside the dialog at the moment the user answers it (with the
  // answer, or nullopt for the close box), after the dialog has been hidden
  // and before it has returned: the dialog's message loop may have let other
  // calls in, and one of them may be waiting (WaitForLogin) above this call
  // on the one stack, so the login must be complete before any frame below
  // it can return. True when the login button closed the dialog. This
  // default, for a machine whose dialog lets nothing in, asks AskForLogin.
  virtual bool RunLoginDialog(const std::function<void(std::optional<LoginAnswer>)>& answered) {
    std::optional<LoginAnswer> answer = AskForLogin();
    const bool given = answer.has_value();
    answered(std::move(answer));
    return given;
  }

  // A nested modal wait, for a request that arrives while the login dialog
  // is open: runs the thread's messages (the open dialog's among them) until
  // `pending` turns false. False when the wait had to stop first (the
  // program is ending); the caller then breaks off. This default cannot
  // wait: it only says whether there is still something to wait for.
  virtual bool WaitForLogin(const std::function<bool()>& pending) { return !pending(); }

  // The service refused to create an inspection: an error message box
  // without owner, system-modal and topmost, caption
  // "Kunne ikke opprette kontroll!", text `reason`. Returns when it is closed.
  virtual void ShowInspectionRefused(const std::string& reason) = 0;

  // The one notification-area entry (identifier 1043) and its balloon. The
  // session has already cut title and text to what the entry holds; failures
  // are ignored.
  virtual void AddStatusIcon() = 0;
  virtual void ShowStatusBalloon(const std::u16string& title, const std::u16string& text) = 0;

  // Posts WM_USER + 3 to the main window when there is one (not while it is
  // still being constructed); never waits for it to be handled.
  virtual void NotifyMainWindow() = 0;

  // Full path of the token cache file; empty when the user's application
  // data folder cannot be found.
  virtual std::filesystem::path TokenCachePath() = 0;

  // The user's short date format: date to text, and text back to a date.
  virtual std::string FormatShortDate(const CalendarDate& date) = 0;
  virtual std::optional<CalendarDate> ParseShortDate(const std::string& text) = 0;

  // The zone the token's ValidTo is shown and read back in.
  virtual const ITimeZone& TimeZone() = 0;

  // The proxy for the service at `address` (created once per session).
  virtual std::shared_ptr<ITindrel2Service> MakeServiceProxy(const std::string& address) = 0;
};

}  // namespace tindrel
