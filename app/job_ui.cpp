#include "app/job_ui.h"

#include <windows.h>

#include "app/application_title.h"
#include "automation/com_error.h"

namespace tindrel {

void MessageBoxJobUi::ShowJobLine(const std::string& utf8Text) {
  MessageBoxW(GetActiveWindow(), com::Widen(utf8Text).c_str(), kApplicationTitle, MB_OK);
}

}  // namespace tindrel
