#pragma once
// Inspection jobs from dealer systems: job data on the command line ("¤"
// separated) or a ".orv" job file (one comma-separated line, or key=value
// lines). A job fills a customer record and an inspection record through
// their setters; it never creates, replaces or destroys them.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "contract/records.h"

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

// False when the file cannot be opened, or when its key=value lines were
// refused or failed (the job must then be dropped, not saved half-filled).
// Throws tindrel::Error "Fant ikke data i datafilen" when it has no non-blank
// line.
bool ReadJobFile(const std::filesystem::path& path, Tindrel2CustomerData2& customer,
                 Tindrel2InspectionData2& inspection, IJobUi& ui);

// Job-file lines are ISO 8859-1 bytes, as read from the file.
bool InterpretJobLine(std::string_view latin1Line, Tindrel2CustomerData2& customer,
                      Tindrel2InspectionData2& inspection);
bool InterpretJobKeyValues(const std::vector<std::string>& latin1Lines,
                           Tindrel2CustomerData2& customer,
                           Tindrel2InspectionData2& inspection, IJobUi& ui);

// Drops one leading double quote, then cuts at the next double quote.
std::string StripQuotes(std::string_view field);
std::u16string StripQuotes(std::u16string_view field);

// The non-blank lines of job-file text, as ReadJobFile reads them: Ctrl-Z
// ends the text, pieces of at most kJobFilePieceMax characters, each cut at
// its first LF and then its first CR.
std::vector<std::string> SplitJobFileText(std::string_view bytes);

}  // namespace tindrel
