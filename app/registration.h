#pragma once
// Self-registration: the automation server's entries, the ".orv" file
// association, and the two questions that decide who may write them.
// All entries are machine-wide, under HKEY_CLASSES_ROOT.

#include <windows.h>

#include <string_view>

#include "winapi/unique_any.h"

namespace tindrel {

// Whether the process token is elevated (TokenElevation). A system without
// token elevation (the query fails with ERROR_INVALID_PARAMETER, 87) counts
// as elevated. Any other failure throws win::Win32Error with the code.
bool IsElevated();

// Whether the calling thread's effective token is a member of the built-in
// Administrators group (a member whose rights the user account control
// filters out is not). Failures throw win::Win32Error with the code.
bool IsAdministrator();

// Writes ".orv" -> "TindrelORV.Document", its BrowserFlags (8) and
// EditFlags (0x10000), and its open command: the program path and %1, each
// in double quotes. A key that cannot be created is skipped with its values;
// a value already holding exactly its data is not written again. Never fails
// towards the caller.
void RegisterFileAssociation() noexcept;

// Removes "TindrelORV.Document" with everything below it, and ".orv" when
// it names that ProgID, but only while the open command names this program
// (another copy's or another program's association stays). Throws
// win::Win32Error when an existing key cannot be removed.
void UnregisterFileAssociation();

// The automation server's classes and type library (com/server.h), for
// the running program; true when the registry was changed. Throw
// tindrel::Error on failure.
bool RegisterAutomationServer();
void UnregisterAutomationServer();

// Behind the main window's "Registrer" button: elevated, register again
// (which repairs in place what differs); an administrator without elevation, register; anyone
// else, start this program elevated ("runas") with "/REGSERVER" and wait
// until it has ended. A declined elevation prompt shows nothing; another
// failure to start shows "Registrering feilet: <error number>" owned by
// `owner`. Errors of the registration itself are thrown to the caller.
void RegistrationProcedure(HWND owner);

}  // namespace tindrel
