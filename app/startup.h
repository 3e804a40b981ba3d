#pragma once
// Start-up of Tindrel2.exe and what it hands the main window.

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "contract/records.h"

namespace tindrel {

struct StartupOptions {
  HINSTANCE instance = nullptr;
  // Started for automation clients ("Embedding" in the command line, exact
  // letter case): the main window is created but never shown and has no
  // taskbar button.
  bool automation = false;
  // The job given on the command line or in a job file: both set or both
  // null. Saved through the service while the main window is created.
  std::unique_ptr<Tindrel2CustomerData2> jobCustomer;
  std::unique_ptr<Tindrel2InspectionData2> jobInspection;
  // The job file's name without its folder (UTF-8); empty for a job on the
  // command line. Only for the diagnostic log.
  std::string jobFileName;
};

// The job's line in the diagnostic log: where it came from (a file's name,
// never its folder or contents) and how it ended; empty fields are left out.
void LogJob(std::string_view fileName, std::string_view result, std::string_view reason = {},
            std::string_view customer = {}, std::string_view inspection = {}) noexcept;

// Creates the main window, runs the message loop until the window closes or
// a WM_QUIT arrives (the automation server's last release), destroys the
// window. Errors leave as exceptions; start-up shows them. Defined with the
// main window.
int RunMainWindow(StartupOptions& options);

// The whole start-up: job records, elevated refresh of the registration,
// the single-instance mutex "mxTindrel2", the automation server and its
// switches, the command line's case, the main window. `commandLine` is the
// process's whole command line, program path included. Always 0.
int RunStartup(HINSTANCE instance, std::u16string_view commandLine) noexcept;

}  // namespace tindrel
