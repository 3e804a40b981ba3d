#include "app/startup.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "app/application_title.h"
#include "app/command_line.h"
#include "app/error_box.h"
#include "app/job_ui.h"
#include "app/registration.h"
#include "app/tindrel_version.h"
#include "base/diagnostic_log.h"
#include "base/text.h"
#include "automation/win/coclasses.h"
#include "com/server.h"
#include "winapi/com_apartment.h"
#include "winapi/error.h"
#include "winapi/strings.h"
#include "winapi/unique_any.h"
#include "jobfile/job_interpreter.h"

namespace tindrel {
namespace {

using win::Widen;

// A file (not a folder) exists at `path`; symbolic links are followed.
bool FileExists(const std::u16string& path) {
  const win::UniqueFileHandle file(CreateFileW(
      Widen(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  return file && GetFileInformationByHandle(file.get(), &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

StartupDispatch Dispatch(std::u16string_view arguments) {
  return DispatchCommandLine(arguments, win::Ansi(arguments), &FileExists);
}

// A job file's name without its folder, for the log (a folder may name the
// user); empty for a command-line job.
std::string JobFileName(const StartupDispatch& d) {
  if (d.kind != StartupCase::kJobFile) return {};
  return Utf16ToUtf8(std::filesystem::path(Widen(d.jobFile)).filename().u16string());
}

std::string_view DroppedReason(JobFileOutcome outcome) {
  switch (outcome) {
    case JobFileOutcome::kMissing:
      return "missing";
    case JobFileOutcome::kLocked:
      return "locked";
    case JobFileOutcome::kUnreadable:
      return "unreadable";
    case JobFileOutcome::kRefused:
      return "refused";
    case JobFileOutcome::kAborted:
      return "stopped";
    case JobFileOutcome::kRead:
      break;
  }
  return "read";
}

// The path names a ".orv" file, in any letter case.
bool LooksLikeJobFile(std::u16string_view path) {
  constexpr std::u16string_view kExtension = u".orv";
  if (path.size() < kExtension.size()) return false;
  const std::u16string_view tail = path.substr(path.size() - kExtension.size());
  for (size_t i = 0; i < tail.size(); ++i) {
    char16_t c = tail[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != kExtension[i]) return false;
  }
  return true;
}

template <class Body>
void ShowingErrors(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    ShowCaughtException();
  }
}

// The failed refresh's line, inside the catch block: the error's code and
// text (the program's own, about registry keys and the type library).
void LogRegistrationFailure() noexcept {
  try {
    throw;
  } catch (const win::Win32Error& e) {
    LogEvent("registration",
             {{"result", "failed"}, {"code", std::to_string(e.code())}, {"text", e.what()}});
  } catch (const win::ComError& e) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(e.result()));
    LogEvent("registration", {{"result", "failed"}, {"code", code}, {"text", e.what()}});
  } catch (const std::exception& e) {
    LogEvent("registration", {{"result", "failed"}, {"text", e.what()}});
  } catch (...) {
    LogEvent("registration", {{"result", "failed"}});
  }
}

// An elevated start refreshes the registration, before the mutex is taken:
// in place, writing only what differs (a current registration is left
// untouched, and clients never find the classes missing meanwhile). A start
// with /UNREGSERVER skips it: registering just to unregister again gains
// nothing. An unexpected failure of the elevation test itself is shown like
// a failed registration, and start-up goes on.
void RefreshRegistrationIfElevated(std::u16string_view arguments) noexcept {
  ShowingErrors([&] {
    const ServerSwitches switches = ParseServerSwitches(arguments);
    if (switches.mode == ServerMode::kUnregister && !switches.perUser) return;
    if (!IsElevated()) return;
    bool written = false;
    try {
      written = RegisterAutomationServer();
      RegisterFileAssociation();
    } catch (...) {
      LogRegistrationFailure();
      throw;
    }
    LogEvent("registration", {{"result", written ? "written" : "current"}});
  });
}

// The start's line: the version, what this process is to do, and which kind
// of command line it got (never the line itself: a command-line job is the
// customer's data).
void LogStart(std::u16string_view arguments) noexcept {
  try {
    std::string_view mode = "window", kind = arguments.empty() ? "none" : "other";
    const ServerSwitches switches = ParseServerSwitches(arguments);
    if (switches.mode == ServerMode::kRegister || switches.mode == ServerMode::kUnregister) {
      mode = switches.mode == ServerMode::kRegister ? "register" : "unregister";
      kind = switches.perUser ? "switch-per-user" : "switch";
    } else {
      switch (Dispatch(arguments).kind) {
        case StartupCase::kAutomation:
          mode = "automation";
          kind = "embedding";
          break;
        case StartupCase::kCommandLineJob:
          mode = "job";
          kind = "job-data";
          break;
        case StartupCase::kJobFile:
          mode = "job";
          kind = "job-file";
          break;
        case StartupCase::kInteractive:
          if (switches.mode == ServerMode::kAutomation) {
            mode = "automation";
            kind = "switch";
          } else if (LooksLikeJobFile(CleanPath(arguments))) {
            kind = "missing-job-file";
          }
          break;
      }
    }
    LogEvent("start", {{"version", TINDREL_PRODUCT_VERSION_TEXT}, {"mode", mode}, {"args", kind}});
  } catch (...) {
  }
}

// Another instance runs. A job given to this one cannot be handed over; the
// user is told instead of the job vanishing.
void TellJobNotHandled(std::u16string_view arguments) noexcept {
  ShowingErrors([&] {
    const StartupDispatch d = Dispatch(arguments);
    std::wstring what;
    if (d.kind == StartupCase::kCommandLineJob) {
      what = L"kommandolinjejobb";
    } else if (d.kind == StartupCase::kJobFile) {
      what = Widen(d.jobFile);
    } else {
      return;
    }
    LogJob(JobFileName(d), "not-handled", "another-instance");
    const std::wstring text = L"Tindrel 2.0 kjører allerede. Jobben ble ikke behandlet: " + what;
    MessageBoxW(nullptr, text.c_str(), kApplicationTitle, MB_OK | MB_ICONWARNING);
  });
}

// A job that was not handled: the user is told which and why.
void TellJobDropped(const std::string& message) {
  MessageBoxW(nullptr, Widen(message).c_str(), kApplicationTitle, MB_OK | MB_ICONWARNING);
}

// How long an instance that COM started waits for an ending predecessor.
constexpr DWORD kPredecessorWaitMs = 20000;

// The mutex is held by another instance. One started for automation
// clients may have been started because that instance is ending: its last
// object was released, its class objects are revoked, and COM launched this
// one for the next client. It waits for the other instance to let go
// (the mutex is abandoned when it exits) and takes over; true when it then
// owns the mutex.
bool TakeOverFromEndingInstance(HANDLE mutex, std::u16string_view arguments) noexcept {
  try {
    if (!mutex || ParseServerSwitches(arguments).mode != ServerMode::kAutomation) return false;
  } catch (...) {
    return false;
  }
  const DWORD wait = WaitForSingleObject(mutex, kPredecessorWaitMs);
  return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

// Everything after the mutex: the server's switches, the class objects, the
// dispatch on the command line and the main window. Throws what RunStartup
// shows in the standard error box.
void Run(StartupOptions& options, std::u16string_view arguments) {
  // The automation server's switches. The registration switches end the
  // process here, with exit code 0 like every other path.
  const ServerSwitches switches = ParseServerSwitches(arguments);
  const com::RegistryScope scope =
      switches.perUser ? com::RegistryScope::User : com::RegistryScope::Machine;
  if (switches.mode == ServerMode::kRegister) {
    com::RegisterServer(Coclasses(), scope);
    return;
  }
  if (switches.mode == ServerMode::kUnregister) {
    com::UnregisterServer(Coclasses(), scope);
    // The machine-wide association goes with the classes, while it still
    // opens this program.
    if (scope == com::RegistryScope::Machine) UnregisterFileAssociation();
    return;
  }
  if (switches.mode == ServerMode::kAutomation) com::QuitOnLastRelease(GetCurrentThreadId());
  // In every other mode too: a client that starts while this instance runs
  // is served here, since a second process would stop at the mutex.
  const com::ClassObjects classObjects(Coclasses());

  const StartupDispatch d = Dispatch(arguments);
  switch (d.kind) {
    case StartupCase::kAutomation:
      options.automation = true;
      break;
    case StartupCase::kCommandLineJob:
      options.jobCustomer = std::make_unique<Tindrel2CustomerData2>();
      options.jobInspection = std::make_unique<Tindrel2InspectionData2>();
      // The line as it came, "¤" and quotes included; the result is not
      // examined: the records are saved as they were filled.
      InterpretCommandLineJob(arguments, *options.jobCustomer, *options.jobInspection);
      break;
    case StartupCase::kJobFile: {
      options.jobCustomer = std::make_unique<Tindrel2CustomerData2>();
      options.jobInspection = std::make_unique<Tindrel2InspectionData2>();
      options.jobFileName = JobFileName(d);
      MessageBoxJobUi ui;
      JobFileResult read;
      try {
        read = ReadJobFile(std::filesystem::path(Widen(d.jobFile)), *options.jobCustomer,
                           *options.jobInspection, ui);
      } catch (...) {
        LogJob(options.jobFileName, "failed");
        throw;
      }
      if (!read) {
        LogJob(options.jobFileName, "dropped", DroppedReason(read.outcome));
        // Gone, still locked, unreadable or refused: the job is dropped
        // before any window or session exists, and the user is told which
        // file and why.
        options.jobCustomer.reset();
        options.jobInspection.reset();
        TellJobDropped(read.message);
        return;
      }
      break;
    }
    case StartupCase::kInteractive:
      // A job file that is not there: the window shows as for any unknown
      // argument, but the user learns that the job was not handled.
      if (LooksLikeJobFile(CleanPath(arguments))) {
        const std::filesystem::path path(Widen(CleanPath(arguments)));
        LogJob(Utf16ToUtf8(path.filename().u16string()), "dropped", "missing");
        TellJobDropped(MissingJobFileMessage(path));
      }
      break;
  }
  RunMainWindow(options);
}

}  // namespace

void LogJob(std::string_view fileName, std::string_view result, std::string_view reason,
            std::string_view customer, std::string_view inspection) noexcept {
  LogField fields[6];
  size_t n = 0;
  fields[n++] = {"source", fileName.empty() ? "command-line" : "file"};
  if (!fileName.empty()) fields[n++] = {"name", fileName};
  fields[n++] = {"result", result};
  if (!reason.empty()) fields[n++] = {"reason", reason};
  if (!customer.empty()) fields[n++] = {"customer", customer};
  if (!inspection.empty()) fields[n++] = {"inspection", inspection};
  LogEvent("job", std::span<const LogField>(fields, n));
}

int RunStartup(HINSTANCE instance, std::u16string_view commandLine) noexcept {
  InstallPlatformDiagnosticLog();
  ShowingErrors([&] {
    const std::u16string arguments = CommandLineArguments(commandLine);
    LogStart(arguments);
    const win::ComApartment apartment;
    StartupOptions options;  // no job records yet
    options.instance = instance;

    RefreshRegistrationIfElevated(arguments);

    // Held for the life of the process; the system releases it at exit.
    const win::UniqueHandle mutex(CreateMutexW(nullptr, TRUE, L"mxTindrel2"));
    const DWORD created = GetLastError();
    if (!mutex || (created == ERROR_ALREADY_EXISTS &&
                   !TakeOverFromEndingInstance(mutex.get(), arguments))) {
      TellJobNotHandled(arguments);
      return;
    }

    ShowingErrors([&] { Run(options, arguments); });
  });
  return 0;
}

}  // namespace tindrel
