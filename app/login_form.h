#pragma once
// TLoginForm: the modal dialog that asks for the service's user name and
// password. It only collects the two texts; the caller makes the login.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "session/session_platform.h"

namespace tindrel {

// Control IDs, for the tests that drive the dialog. The login button is the
// dialog's OK button, so Enter in either field presses it.
inline constexpr int kLoginUserNameEditId = 1001;
inline constexpr int kLoginPasswordEditId = 1002;
inline constexpr int kLoginUserNameLabelId = 1003;
inline constexpr int kLoginPasswordLabelId = 1004;
inline constexpr int kLoginButtonId = IDOK;
inline constexpr int kLoginReasonId = 1005;

// The session's login dialog (windows::SessionUi). Shows a new, empty
// dialog modally and without owner: at (0, 0), above all other windows and
// with the keyboard focus, also when no window of the program is visible;
// Escape does nothing. `answered` runs exactly once, inside the dialog when the user answers it (with the answer, password
// read first, then user name; or nullopt for the close box or a failure to
// read the fields), after the dialog has been hidden; or after it has ended
// for any other reason. Errors `answered` raises are carried out of the
// dialog and raised again here. True when the login button closed it. A
// non-empty `reason` (UTF-8: why the last attempt of a request failed) is
// shown as a line of text below the login button. Throws tindrel::Error when
// the dialog cannot be shown.
bool RunLoginForm(const std::function<void(std::optional<LoginAnswer>)>& answered,
                  const std::string& reason);

// The login dialog on the screen now, or null.
HWND OpenLoginForm();

}  // namespace tindrel
