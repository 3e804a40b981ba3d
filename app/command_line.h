#pragma once
// How the program reads its command line at start-up: which case applies
// (automation, command-line job, job file, interactive), the job file's
// path with its quotes removed, and the automation server's switches.
// Pure functions over the text; the caller supplies what the platform knows
// (the ANSI form of the line, whether a file exists).

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tindrel {

// The arguments of a whole process command line: the program path (quoted
// or not) and the blanks after it removed, the rest unchanged.
std::u16string CommandLineArguments(std::u16string_view commandLine);

// The job file path of a command line: leading double quotes skipped, then
// cut before the first double quote that follows. A quoted path loses its
// quotes, an unquoted path with spaces stays whole, of two quoted arguments
// only the first remains.
std::u16string CleanPath(std::u16string_view arguments);

enum class StartupCase {
  kInteractive,     // no argument, or one that is nothing of the below
  kAutomation,      // "Embedding" anywhere, exact letter case
  kCommandLineJob,  // first character U+00A4: the whole line is job data
  kJobFile,         // the cleaned path names an existing file
};

struct StartupDispatch {
  StartupCase kind = StartupCase::kInteractive;
  std::u16string jobFile;  // the cleaned path, for kJobFile
};

// The cases in their order, the first that matches wins. `ansiArguments`
// is the line in the system ANSI code page, where "Embedding" is looked
// for; `fileExists` is asked only when the earlier cases did not match.
StartupDispatch DispatchCommandLine(std::u16string_view arguments,
                                    std::string_view ansiArguments,
                                    const std::function<bool(const std::u16string&)>& fileExists);

// The automation server's switches: an argument that is "-" or "/" and the
// switch name in any letter case. Arguments are separated by blanks; double
// quotes group and are dropped.
enum class ServerMode {
  kNone,        // no switch: serve objects, but the last release ends nothing
  kAutomation,  // "AUTOMATION" or "EMBEDDING": started for clients
  kRegister,    // "REGSERVER", "REGSERVERPERUSER"
  kUnregister,  // "UNREGSERVER", "UNREGSERVERPERUSER"
};

struct ServerSwitches {
  ServerMode mode = ServerMode::kNone;
  bool perUser = false;
};

// The first of AUTOMATION/EMBEDDING, REGSERVER, UNREGSERVER,
// REGSERVERPERUSER, UNREGSERVERPERUSER that is present.
ServerSwitches ParseServerSwitches(std::u16string_view arguments);

// The arguments as ParseServerSwitches sees them.
std::vector<std::u16string> SplitArguments(std::u16string_view arguments);

}  // namespace tindrel
