#include "app/error_box.h"

#include <windows.h>

#include "app/application_title.h"
#include "winapi/error.h"

namespace tindrel {

void ShowCaughtException() noexcept {
  const win::CaughtError caught = win::ClassifyCaughtException();
  MessageBoxW(GetActiveWindow(), caught.message.c_str(), kApplicationTitle,
              MB_ICONERROR | MB_OK);
}

}  // namespace tindrel
