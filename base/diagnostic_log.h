#pragma once
// The diagnostic log for support: one line per start, registration refresh,
// job and service request, appended to a small text file that support can
// read while the program runs (on Windows
// %LOCALAPPDATA%\ORV_AS\Tindrel2.log, see PlatformLogPath).
//
// A line, UTF-8, ended by CR LF:
//
//   2026-12-10 03:12:45.123 pid=4242 request      op=SaveCustomer ms=212 result=saved
//
// local time with milliseconds, the process id, the kind of event padded to
// one column width, then name=value fields; a value with blanks, quotes or
// an equals sign is written in double quotes (a double quote inside becomes
// a single one).
//
// What never reaches the log: passwords, tokens, user names, and the field
// values of records (plate numbers, VINs, names, customer numbers). Callers
// hand in only words of their own (operation names, outcomes, codes) and a
// job file's name; the texts of errors pass through LogRequest, which
// reduces a service fault to its plain lowercase words and drops what a
// reply error quotes from the reply.
//
// Size: when a line would take the file past kLogCapBytes, the file becomes
// the older generation (Tindrel2.log.1, replacing the one before) and a new
// file is begun. When that rename fails (a viewer holds the file without
// sharing delete), lines are appended up to twice the cap and dropped after.
//
// The log is best effort: nothing here throws, shows anything or changes the
// caller's last error; a line that cannot be written is lost.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tindrel {

inline constexpr uint64_t kLogCapBytes = 1024 * 1024;

struct LogTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct LogField {
  std::string_view name;
  std::string_view value;
};

// The log's files as the platform keeps them: the current one and one
// older generation. Each call stands alone (the file is opened per call), so
// that two processes can write the same log.
class ILogFile {
 public:
  virtual ~ILogFile() = default;
  // The current file's size in bytes; 0 when there is none.
  virtual uint64_t Size() = 0;
  // Appends `bytes` to the current file, made when missing, in one write.
  virtual bool Append(std::string_view bytes) = 0;
  // The current file becomes the older generation, replacing it.
  virtual bool Rotate() = 0;
};

// One line: "<time> pid=<pid> <kind> <fields>" and CR LF.
std::string FormatLogLine(const LogTime& time, uint32_t processId, std::string_view kind,
                          std::span<const LogField> fields);

// A service fault's text as the log keeps it: only words made of lowercase
// letters stay; every other word (a capital, a digit, a sign inside it, a
// letter beyond ISO 8859-1), and every word of a value the request carried,
// becomes "…", a run of them one "…".
std::string MaskServiceText(std::string_view text,
                            const std::vector<std::string_view>& carried = {});
// A reply error's text without the parts it quotes from the reply ('...').
std::string DropQuoted(std::string_view text);

class DiagnosticLog {
 public:
  DiagnosticLog(std::unique_ptr<ILogFile> file, uint32_t processId,
                std::function<LogTime()> now, uint64_t capBytes = kLogCapBytes);
  void Write(std::string_view kind, std::span<const LogField> fields) noexcept;

 private:
  std::unique_ptr<ILogFile> file_;
  uint32_t processId_;
  std::function<LogTime()> now_;
  uint64_t cap_;
};

// The process's log; none until one is installed (natively, never by the
// program itself). Installing null removes it.
void InstallDiagnosticLog(std::unique_ptr<DiagnosticLog> log) noexcept;
// Opens the platform's log at PlatformLogPath() and installs it; nothing
// when the place is unknown.
void InstallPlatformDiagnosticLog() noexcept;

// One line of `kind` with the caller's fields; nothing while no log is
// installed. The fields must hold no secret and no record value.
void LogEvent(std::string_view kind, std::span<const LogField> fields) noexcept;
inline void LogEvent(std::string_view kind, std::initializer_list<LogField> fields) noexcept {
  LogEvent(kind, std::span<const LogField>(fields.begin(), fields.size()));
}

// How a service request ended.
enum class RequestResult {
  kSaved,       // a save answered with its record
  kAnswered,    // any other request answered with something
  kEmpty,       // answered with nothing (no record, an empty list or text)
  kFault,       // a SOAP fault (its text reduced as MaskServiceText says)
  kTransport,   // no usable HTTP answer
  kUnreadable,  // an answer the contract does not allow
  kError,       // anything else (its text reduced like a fault's)
};

struct RequestRecord {
  std::string_view operation;
  std::chrono::milliseconds duration{0};
  RequestResult result = RequestResult::kAnswered;
  // The error's text as thrown; reduced here before it is written.
  std::string_view text;
  // A transport error's system code; 0 for none.
  uint32_t code = 0;
  // The plain values the request carried (user name, plate, numbers), kept
  // out of a fault's text even where they are lowercase words.
  std::vector<std::string_view> carried;
};

void LogRequest(const RequestRecord& request) noexcept;

// The platform's parts.
std::filesystem::path PlatformLogPath();
std::unique_ptr<ILogFile> CreatePlatformLogFile(const std::filesystem::path& current);
LogTime PlatformLocalTime();
uint32_t PlatformProcessId();

}  // namespace tindrel
