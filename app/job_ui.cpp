#include "app/job_ui.h"

#include <windows.h>

#include "app/application_title.h"
#include "winapi/strings.h"

namespace tindrel {

void MessageBoxJobUi::ShowJobLine(const std::string& utf8Text) {
  MessageBoxW(GetActiveWindow(), win::Widen(utf8Text).c_str(), kApplicationTitle, MB_OK);
}

}  // namespace tindrel
