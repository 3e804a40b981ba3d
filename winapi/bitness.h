// What differs at run time between the 32-bit program (the one workshops
// install) and the 64-bit build of the same sources (built so that machines
// that run no 32-bit code can test it under 64-bit Wine). Each bitness
// files its type library under its own platform key, and the marshaler of
// that bitness looks only there.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace tindrel::win {

#ifdef _WIN64
inline constexpr SYSKIND kTypeLibSyskind = SYS_WIN64;
inline constexpr wchar_t kTypeLibPlatformKey[] = L"win64";
#else
inline constexpr SYSKIND kTypeLibSyskind = SYS_WIN32;
inline constexpr wchar_t kTypeLibPlatformKey[] = L"win32";
#endif

}  // namespace tindrel::win
