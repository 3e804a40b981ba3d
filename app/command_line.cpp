#include "app/command_line.h"

namespace tindrel {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// ASCII letters only: the switch names are ASCII.
char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c; }

bool IsSwitch(std::u16string_view argument, std::u16string_view name) {
  if (argument.size() != name.size() + 1 || (argument[0] != u'-' && argument[0] != u'/')) {
    return false;
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (UpperAscii(argument[i + 1]) != name[i]) return false;
  }
  return true;
}

bool HasSwitch(const std::vector<std::u16string>& arguments, std::u16string_view name) {
  for (const std::u16string& a : arguments) {
    if (IsSwitch(a, name)) return true;
  }
  return false;
}

}  // namespace

std::u16string CommandLineArguments(std::u16string_view line) {
  size_t i = 0;
  // The program path ends at its closing quote, or at the first blank.
  if (!line.empty() && line[0] == u'"') {
    const size_t close = line.find(u'"', 1);
    i = close == line.npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && !IsBlank(line[i])) ++i;
  }
  while (i < line.size() && IsBlank(line[i])) ++i;
  return std::u16string(line.substr(i));
}

std::u16string CleanPath(std::u16string_view arguments) {
  size_t start = 0;
  while (start < arguments.size() && arguments[start] == u'"') ++start;
  std::u16string_view rest = arguments.substr(start);
  return std::u16string(rest.substr(0, rest.find(u'"')));
}

StartupDispatch DispatchCommandLine(std::u16string_view arguments,
                                    std::string_view ansiArguments,
                                    const std::function<bool(const std::u16string&)>& fileExists) {
  StartupDispatch d;
  if (arguments.empty()) return d;
  if (ansiArguments.find("Embedding") != std::string_view::npos) {
    d.kind = StartupCase::kAutomation;
  } else if (arguments[0] == u'\u00A4') {
    d.kind = StartupCase::kCommandLineJob;
  } else {
    std::u16string path = CleanPath(arguments);
    if (!path.empty() && fileExists(path)) {
      d.kind = StartupCase::kJobFile;
      d.jobFile = std::move(path);
    }
  }
  return d;
}

std::vector<std::u16string> SplitArguments(std::u16string_view arguments) {
  std::vector<std::u16string> result;
  size_t i = 0;
  while (i < arguments.size()) {
    while (i < arguments.size() && arguments[i] <= u' ') ++i;
    if (i == arguments.size()) break;
    std::u16string a;
    bool quoted = false;
    for (; i < arguments.size() && (quoted || arguments[i] > u' '); ++i) {
      if (arguments[i] == u'"') {
        quoted = !quoted;
      } else {
        a += arguments[i];
      }
    }
    result.push_back(std::move(a));
  }
  return result;
}

ServerSwitches ParseServerSwitches(std::u16string_view arguments) {
  const std::vector<std::u16string> a = SplitArguments(arguments);
  if (HasSwitch(a, u"AUTOMATION") || HasSwitch(a, u"EMBEDDING")) {
    return {ServerMode::kAutomation, false};
  }
  if (HasSwitch(a, u"REGSERVER")) return {ServerMode::kRegister, false};
  if (HasSwitch(a, u"UNREGSERVER")) return {ServerMode::kUnregister, false};
  if (HasSwitch(a, u"REGSERVERPERUSER")) return {ServerMode::kRegister, true};
  if (HasSwitch(a, u"UNREGSERVERPERUSER")) return {ServerMode::kUnregister, true};
  return {};
}

}  // namespace tindrel
