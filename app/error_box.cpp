#include "app/error_box.h"

#include <windows.h>

#include <string>

#include "app/application_title.h"
#include "automation/com_error.h"

namespace tindrel {
namespace {

void ShowErrorText(const wchar_t* text) noexcept {
  MessageBoxW(GetActiveWindow(), text, kApplicationTitle, MB_ICONERROR | MB_OK);
}

}  // namespace

void ShowExceptionMessage(const std::exception& e) noexcept {
  try {
    ShowErrorText(com::Widen(e.what()).c_str());
  } catch (...) {
    // No memory for the text: the box still tells that something failed.
    ShowErrorText(L"");
  }
}

void ShowUnknownExceptionMessage() noexcept { ShowErrorText(L""); }

}  // namespace tindrel
