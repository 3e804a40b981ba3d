#pragma once
// The application title: the caption of the program's message boxes and of
// its main window, and its name on the taskbar.

namespace tindrel {

inline constexpr wchar_t kApplicationTitle[] = L"Tindrel 2.0";

}  // namespace tindrel
