#pragma once
// What the program uses of the Windows SDK and mingw-w64's headers and
// libraries do not give it, each with the reason. Windows only.

#include <windows.h>

// commctrl.h declares the elevation shield of a button only for targets of
// Windows Vista on; the program targets Windows XP, which ignores the message.
#ifndef BCM_SETSHIELD
#define BCM_SETSHIELD (0x1600 + 0x000C)
#endif

// mingw-w64's wininet.h lacks the option that chooses the TLS versions.
#ifndef INTERNET_OPTION_SECURE_PROTOCOLS
#define INTERNET_OPTION_SECURE_PROTOCOLS 151
#endif

namespace tindrel::win {

// msxml2.h declares IXMLDOMDocument2 (setProperty), but mingw-w64's uuid
// library does not define its IID.
inline constexpr IID kIID_IXMLDOMDocument2 = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

}  // namespace tindrel::win
