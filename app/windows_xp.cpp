// What the program needs to load on Windows XP SP3 although its toolchain
// assumes a later system.
//
// The toolchain's static threads library (winpthread) calls GetTickCount64,
// which Windows has only from Vista on; imported directly, it keeps the
// program from loading on XP at all. Its import slot is defined here
// instead, so the linker takes it rather than kernel32's: the system's
// function where there is one, else GetTickCount widened by counting its
// wrap-arounds. tests/wine/app/xp_imports_test.py reads the import table.

#include <windows.h>

namespace tindrel {
namespace {

ULONGLONG WINAPI TickCount64FromTickCount() {
  // High half: wrap-arounds seen; low half: the last 32-bit reading.
  static volatile LONGLONG state = 0;
  for (;;) {
    const LONGLONG old = InterlockedCompareExchange64(&state, 0, 0);
    const DWORD now = GetTickCount();
    DWORD wraps = static_cast<DWORD>(static_cast<ULONGLONG>(old) >> 32);
    if (now < static_cast<DWORD>(old)) ++wraps;
    const LONGLONG next = static_cast<LONGLONG>((static_cast<ULONGLONG>(wraps) << 32) | now);
    if (InterlockedCompareExchange64(&state, next, old) == old) return static_cast<ULONGLONG>(next);
  }
}

}  // namespace

using TickCount64Function = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI TickCount64() {
  static const TickCount64Function function = [] {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto system = kernel ? reinterpret_cast<TickCount64Function>(reinterpret_cast<void*>(
                                     GetProcAddress(kernel, "GetTickCount64")))
                               : nullptr;
    return system ? system : &TickCount64FromTickCount;
  }();
  return function();
}

}  // namespace tindrel

// The import slot itself (i686 name decoration of a stdcall function
// without arguments).
extern "C" {
extern tindrel::TickCount64Function const tindrel_GetTickCount64_slot __asm__(
    "__imp__GetTickCount64@0");
tindrel::TickCount64Function const tindrel_GetTickCount64_slot = &tindrel::TickCount64;
}
