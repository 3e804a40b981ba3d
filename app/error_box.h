#pragma once
// The standard exception message box: caption "Tindrel 2.0", the
// exception's text, an error icon and an OK button. For errors that reach
// start-up or the message loop, and the main window's handlers.

#include <exception>

namespace tindrel {

// Shows e.what() (UTF-8); returns when the user has closed the box.
void ShowExceptionMessage(const std::exception& e) noexcept;
// For an exception outside std::exception: the same box with an empty text.
void ShowUnknownExceptionMessage() noexcept;

}  // namespace tindrel
