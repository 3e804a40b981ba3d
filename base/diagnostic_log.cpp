#include "base/diagnostic_log.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/text.h"

namespace tindrel {
namespace {

// The widest kind ("registration"): the fields start in one column.
constexpr size_t kKindWidth = 12;
constexpr std::string_view kMasked = "\xE2\x80\xA6";  // …

std::unique_ptr<DiagnosticLog>& Installed() {
  static std::unique_ptr<DiagnosticLog> log;
  return log;
}

bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return true;
  for (const char c : value)
    if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '=') return true;
  return false;
}

void AppendValue(std::string& out, std::string_view value) {
  if (!NeedsQuotes(value)) {
    out += value;
    return;
  }
  out += '"';
  for (const char c : value) {
    if (c == '"')
      out += '\'';
    else if (static_cast<unsigned char>(c) < ' ')
      out += ' ';  // a line break would begin a false line
    else
      out += c;
  }
  out += '"';
}

bool IsLowercaseLetter(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7);
}

bool IsPunctuation(char32_t c) {
  return std::u32string_view(U".,:;!?()[]\"'«»-").find(c) != std::u32string_view::npos;
}

std::u32string Decode(std::string_view utf8) {
  std::u32string s;
  ForEachCodePoint(utf8, [&](char32_t c) { s += c; });
  return s;
}

// ASCII letters folded to lowercase, for comparing words with carried values.
std::u32string Folded(std::u32string s) {
  for (char32_t& c : s)
    if (c >= U'A' && c <= U'Z') c += U'a' - U'A';
  return s;
}

void AppendAll(std::string& out, std::u32string_view s) {
  for (const char32_t c : s) AppendUtf8(out, c);
}

}  // namespace

std::string FormatLogLine(const LogTime& t, uint32_t processId, std::string_view kind,
                          std::span<const LogField> fields) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d pid=%u ", t.year,
                t.month, t.day, t.hour, t.minute, t.second, t.millisecond, processId);
  std::string line = stamp;
  line += kind;
  line.append(kind.size() < kKindWidth ? kKindWidth - kind.size() : 0, ' ');
  for (const LogField& f : fields) {
    line += ' ';
    line += f.name;
    line += '=';
    AppendValue(line, f.value);
  }
  line += "\r\n";
  return line;
}

std::string MaskServiceText(std::string_view text, const std::vector<std::string_view>& carried) {
  std::vector<std::u32string> carriedWords;
  for (const std::string_view value : carried) {
    const std::u32string v = Folded(Decode(value));
    size_t i = 0;
    while (i < v.size()) {
      const size_t end = std::min(v.find(U' ', i), v.size());
      if (end > i) carriedWords.push_back(v.substr(i, end - i));
      i = end + 1;
    }
  }
  const std::u32string s = Decode(text);
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] <= U' ') {
      if (!out.empty() && out.back() != ' ') out += ' ';
      ++i;
      continue;
    }
    size_t end = i;
    while (end < s.size() && s[end] > U' ') ++end;
    // The word's own letters, without the signs around it.
    size_t a = i, b = end;
    while (a < b && IsPunctuation(s[a])) ++a;
    while (b > a && IsPunctuation(s[b - 1])) --b;
    const std::u32string core = Folded(s.substr(a, b - a));
    bool keep = true;
    for (const char32_t c : s.substr(a, b - a)) keep = keep && IsLowercaseLetter(c);
    for (const std::u32string& w : carriedWords) keep = keep && core != w;
    if (keep) {
      AppendAll(out, std::u32string_view(s.data() + i, end - i));
    } else {
      AppendAll(out, std::u32string_view(s.data() + i, a - i));
      out += kMasked;
      AppendAll(out, std::u32string_view(s.data() + b, end - b));
    }
    i = end;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  // A run of masked words reads as one.
  const std::string twice = std::string(kMasked) + " " + std::string(kMasked);
  for (size_t p; (p = out.find(twice)) != std::string::npos;) out.erase(p, kMasked.size() + 1);
  return out;
}

std::string DropQuoted(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('\'', i);
    if (open == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    out += text.substr(i, open + 1 - i);
    out += kMasked;
    out += '\'';
    const size_t close = text.find('\'', open + 1);
    i = close == std::string_view::npos ? text.size() : close + 1;
  }
  return out;
}

DiagnosticLog::DiagnosticLog(std::unique_ptr<ILogFile> file, uint32_t processId,
                             std::function<LogTime()> now, uint64_t capBytes)
    : file_(std::move(file)), processId_(processId), now_(std::move(now)), cap_(capBytes) {}

void DiagnosticLog::Write(std::string_view kind, std::span<const LogField> fields) noexcept {
  try {
    const std::string line = FormatLogLine(now_(), processId_, kind, fields);
    const uint64_t size = file_->Size();
    if (size > 0 && size + line.size() > cap_ && !file_->Rotate() &&
        size + line.size() > 2 * cap_)
      return;
    file_->Append(line);
  } catch (...) {
    // No memory for the line: it is lost.
  }
}

void InstallDiagnosticLog(std::unique_ptr<DiagnosticLog> log) noexcept {
  Installed() = std::move(log);
}

void InstallPlatformDiagnosticLog() noexcept {
  try {
    const std::filesystem::path path = PlatformLogPath();
    if (path.empty()) return;
    std::unique_ptr<ILogFile> file = CreatePlatformLogFile(path);
    if (!file) return;
    InstallDiagnosticLog(std::make_unique<DiagnosticLog>(std::move(file), PlatformProcessId(),
                                                         &PlatformLocalTime));
  } catch (...) {
    // Without memory there is no log either.
  }
}

void LogEvent(std::string_view kind, std::span<const LogField> fields) noexcept {
  if (DiagnosticLog* log = Installed().get()) log->Write(kind, fields);
}

void LogRequest(const RequestRecord& r) noexcept {
  DiagnosticLog* log = Installed().get();
  if (!log) return;
  try {
    static constexpr std::string_view kResults[] = {"saved", "answered", "empty", "fault",
                                                    "transport", "unreadable", "error"};
    const std::string ms = std::to_string(r.duration.count());
    const std::string code = std::to_string(r.code);
    std::string text;
    LogField fields[5] = {{"op", r.operation}, {"ms", ms},
                          {"result", kResults[static_cast<size_t>(r.result)]}};
    size_t n = 3;
    switch (r.result) {
      case RequestResult::kFault:
      case RequestResult::kError:
        text = MaskServiceText(r.text, r.carried);
        break;
      case RequestResult::kTransport:
        if (r.code != 0) fields[n++] = {"code", code};
        text = r.text;
        break;
      case RequestResult::kUnreadable:
        text = DropQuoted(r.text);
        break;
      default:
        break;
    }
    if (!r.text.empty()) fields[n++] = {"text", text};
    log->Write("request", std::span<const LogField>(fields, n));
  } catch (...) {
  }
}

}  // namespace tindrel
