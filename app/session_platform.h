#pragma once
// The session's platform on Windows: the system services of
// session/windows_platform.h, the login dialog TLoginForm (without owner)
// and the refresh message to the main window.

#include <memory>

#include "session/session_platform.h"

namespace tindrel {

std::unique_ptr<ISessionPlatform> CreateWindowsSessionPlatform();

}  // namespace tindrel
