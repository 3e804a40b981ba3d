#pragma once
// Inspection jobs from dealer systems: job data on the command line ("¤"
// separated) or a ".orv" job file (one comma-separated line, or key=value
// lines). A job fills a customer record and an inspection record through
// their setters; it never creates, replaces or destroys them.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "contract/records.h"
#include "jobfile/job_file_access.h"

namespace tindrel {

// What the key=value interpreter shows the user: one modal message per
// handled line, returning when the user has closed it.
class IJobUi {
 public:
  virtual ~IJobUi() = default;
  virtual void ShowJobLine(const std::string& utf8Text) = 0;
};

// Limits of the job formats, in characters.
inline constexpr size_t kCommandLineJobMax = 1023;  // after the space insertion
inline constexpr size_t kJobFilePieceMax = 1023;    // longer lines are split here

// Field separators of the positional forms.
inline constexpr char16_t kCommandLineSeparator = u'\u00A4';  // "¤"
inline constexpr char kJobLineSeparator = ',';

// `text` is the command line exactly as the process received it, its first
// character "¤". Always true.
bool InterpretCommandLineJob(std::u16string_view text, Tindrel2CustomerData2& customer,
                             Tindrel2InspectionData2& inspection);

// How long a job file that another program still holds is tried again, and
// how often.
inline constexpr std::chrono::milliseconds kLockedJobFileRetry{250};
inline constexpr std::chrono::milliseconds kLockedJobFilePatience{5000};

enum class JobFileOutcome {
  kRead,        // the records hold the job
  kMissing,     // no such file
  kLocked,      // still held by another program after kLockedJobFilePatience
  kUnreadable,  // exists, but reading it failed otherwise
  kRefused,     // read, but nothing in it to save (see InterpretJobLine/KeyValues)
  kAborted,     // a key=value line stopped the job ("Takst er ikke støttet")
};

// What the user is told when a job file is not there: "Fant ikke
// jobbfilen «path»."
std::string MissingJobFileMessage(const std::filesystem::path& path);

struct JobFileResult {
  JobFileOutcome outcome = JobFileOutcome::kRead;
  // Norwegian, UTF-8, naming the file; empty when kRead.
  std::string message;
  explicit operator bool() const { return outcome == JobFileOutcome::kRead; }
};

// Reads, decodes and interprets a job file. Anything but kRead means the job
// must be dropped: the records may hold part of it and are not to be saved.
// Throws tindrel::Error "Fant ikke data i datafilen" when the file has no
// non-blank line.
JobFileResult ReadJobFile(const std::filesystem::path& path, Tindrel2CustomerData2& customer,
                          Tindrel2InspectionData2& inspection, IJobUi& ui,
                          IJobFileAccess& files = PlatformJobFileAccess());

// What an interpreter made of a job file's lines. Not accepted: the job is
// refused (kNothingToSave) or was stopped by one of its lines (kStopped).
struct JobVerdict {
  enum class Kind { kAccepted, kNothingToSave, kStopped };
  Kind kind = Kind::kAccepted;
  std::string reason;  // Norwegian, UTF-8; empty when accepted
  explicit operator bool() const { return kind == Kind::kAccepted; }
};

// Job-file lines are UTF-8, as DecodeJobFileText and SplitJobFileText give
// them. A positional line with neither plate number nor VIN is refused; a
// key=value job in which no handled line carried a recognised key is
// refused. The records keep what was applied before the verdict.
JobVerdict InterpretJobLine(std::string_view line, Tindrel2CustomerData2& customer,
                            Tindrel2InspectionData2& inspection);
JobVerdict InterpretJobKeyValues(const std::vector<std::string>& lines,
                                 Tindrel2CustomerData2& customer,
                                 Tindrel2InspectionData2& inspection, IJobUi& ui);

// Drops one leading double quote, then cuts at the next double quote.
std::string StripQuotes(std::string_view field);
std::u16string StripQuotes(std::u16string_view field);

// A job file's bytes as UTF-8 text, without its byte-order mark. A UTF-8 or
// UTF-16 (LE or BE) mark decides; without one, text that is valid UTF-8 with
// at least one multi-byte sequence is UTF-8, anything else ISO 8859-1 with
// bytes 0x80-0x9F read as Windows-1252. Malformed sequences become U+FFFD.
std::string DecodeJobFileText(std::string_view bytes);

// The non-blank lines of decoded job-file text, as ReadJobFile reads them:
// Ctrl-Z ends the text; LF, CR LF and a lone CR end a line; a line longer
// than kJobFilePieceMax characters is cut into pieces of that many.
std::vector<std::string> SplitJobFileText(std::string_view utf8Text);

}  // namespace tindrel
