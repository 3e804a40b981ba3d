#pragma once
// Windows only.

#include <windows.h>

#include <string>

namespace tindrel::win {

// The full path of `module`'s file (null: the running program's), of any
// length: an install folder may be deeper than MAX_PATH. Throws Win32Error
// when the system cannot tell.
std::wstring ModulePath(HMODULE module = nullptr);

}  // namespace tindrel::win
