#include "winapi/module_path.h"

#include "winapi/error.h"

namespace tindrel::win {

std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) ThrowLastError();
    // A path cut short fills the whole buffer (Windows XP adds no null
    // then, and no error either), so only a shorter answer is complete.
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace tindrel::win
