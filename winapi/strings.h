#pragma once
// Text at the Win32 edge. Inside the program text is UTF-8 (std::string) or
// UTF-16 (std::u16string); Win32 takes UTF-16 as wchar_t, which is 16 bits
// here. Windows only.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "winapi/unique_any.h"

namespace tindrel::win {

std::wstring Widen(std::string_view utf8);
inline std::wstring Widen(std::u16string_view utf16) {
  return std::wstring(utf16.begin(), utf16.end());
}
std::string Narrow(std::wstring_view utf16);
// The text in the system's ANSI code page (characters it lacks become its
// default character).
std::string Ansi(std::u16string_view utf16);

// A new BSTR holding `text`; throws std::bad_alloc when none can be made.
BSTR AllocBstr(std::u16string_view text);
inline UniqueBstr MakeBstr(std::u16string_view text) { return UniqueBstr(AllocBstr(text)); }
// The characters of a BSTR (null is empty), without copying.
inline std::u16string_view View(BSTR b) {
  return b ? std::u16string_view(reinterpret_cast<const char16_t*>(b), SysStringLen(b))
           : std::u16string_view();
}

}  // namespace tindrel::win
