// Entry point of Tindrel2.exe.

#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The whole line rather than the runtime's cut of it: one reading of the
  // program path for every caller (the shell, COM, a dealer system).
  const wchar_t* line = GetCommandLineW();
  return tindrel::RunStartup(instance, reinterpret_cast<const char16_t*>(line ? line : L""));
}
