#pragma once
// The session's Windows services that need no window of the program's own:
// the machine salt, the token cache's location, the user's short date format
// and the notification-area entry. The login dialog and the main window's
// refresh come from app/ (app/session_platform.cpp). Windows only.

#include <filesystem>
#include <optional>
#include <string>

#include "session/session_platform.h"

namespace tindrel::windows {

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

}  // namespace tindrel::windows
