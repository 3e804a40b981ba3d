#pragma once
// The standard exception message box: caption "Tindrel 2.0", the
// exception's text, an error icon and an OK button. For errors that reach
// start-up or the message loop, and the main window's handlers.

namespace tindrel {

// Call only inside a catch block. Shows the caught exception's text (empty
// for one outside std::exception, as classified by
// win::ClassifyCaughtException); returns when the user has closed the box.
void ShowCaughtException() noexcept;

}  // namespace tindrel
