#include "jobfile/job_interpreter.h"

#include "base/errors.h"
#include "base/text.h"

namespace tindrel {
namespace {

constexpr size_t kPositionalFields = 10;
constexpr std::string_view kTenZeros = "0000000000";

// Splits at every separator; leading separators and runs of separators
// produce no empty fields.
template <typename Char>
std::vector<std::basic_string<Char>> SplitFields(std::basic_string_view<Char> s, Char sep) {
  std::vector<std::basic_string<Char>> fields;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == sep) ++i;
    if (i == s.size()) break;
    const size_t end = s.find(sep, i);
    const size_t stop = end == s.npos ? s.size() : end;
    fields.emplace_back(s.substr(i, stop - i));
    i = stop;
  }
  return fields;
}

template <typename Char>
std::basic_string<Char> StripQuotesImpl(std::basic_string_view<Char> f) {
  if (!f.empty() && f[0] == Char('"')) f.remove_prefix(1);
  const size_t q = f.find(Char('"'));
  if (q != f.npos) f = f.substr(0, q);
  return std::basic_string<Char>(f);
}

// Positions 1 to 10, already quote-stripped and in UTF-8. A job with fewer
// fields is padded with empty ones, so nothing is read past the data.
void ApplyPositionalFields(std::vector<std::string> f, Tindrel2CustomerData2& customer,
                           Tindrel2InspectionData2& inspection) {
  if (f.size() < kPositionalFields) f.resize(kPositionalFields);
  customer.SetFirstName(f[1]);
  customer.SetMiddleName(f[2]);
  customer.SetName(f[3]);
  customer.SetAddress1(f[4]);
  customer.SetZipCode(f[5]);
  // f[6] is read and discarded.
  inspection.SetRegNo(f[7]);
  inspection.SetVIN(f[8]);
  inspection.SetPreviousInspectionNo(f[9]);
  // Counted in characters of the stored text.
  size_t chars = 0;
  ForEachCodePoint(inspection.PreviousInspectionNo(), [&](char32_t) { ++chars; });
  if (chars < kTenZeros.size()) inspection.SetPreviousInspectionNo(std::string(kTenZeros));
  // Blanks after the number are ignored like those before it (fixed-width
  // exports pad it).
  std::string_view numberText = f[0];
  while (!numberText.empty() && numberText.back() == ' ') numberText.remove_suffix(1);
  const auto number = ParseInt32(numberText);
  customer.SetCustomerNo(number ? std::to_string(*number) : "0");
  inspection.SetCustomerNo(customer.CustomerNo());
}

// Upper case of the ASCII letters and the accented letters of ISO 8859-1.
std::string UpperKey(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  ForEachCodePoint(utf8, [&](char32_t cp) {
    if ((cp >= U'a' && cp <= U'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)) cp -= 0x20;
    AppendUtf8(out, cp);
  });
  return out;
}

// False when the key is none of the job's keys.
bool ApplyKey(std::string_view key, std::string_view value, Tindrel2CustomerData2& customer,
              Tindrel2InspectionData2& inspection) {
  const std::string v(value);
  if (key == "TYPE") {
    if (value[0] == 'T') throw SilentAbort("Takst er ikke st\u00f8ttet");
  } else if (key == "ORG") {
    if (value[0] == 'Y') customer.SetIsCompany(true);
  } else if (key == "KJMERKE") {
    inspection.SetRegNo(v);
  } else if (key == "CHASSISNR") {
    inspection.SetVIN(v);
  } else if (key == "TAKSTNR") {
    // Valuation numbers are not used.
  } else if (key == "TIDLKONTNR") {
    inspection.SetPreviousInspectionNo(v);
  } else if (key == "KUNDENR") {
    inspection.SetCustomerNo(v);
    customer.SetCustomerNo(v);
  } else if (key == "FORNAVN") {
    customer.SetFirstName(v);
  } else if (key == "MELLOMNAVN") {
    customer.SetMiddleName(v);
  } else if (key == "NAVN") {
    customer.SetName(v);
  } else if (key == "ADRESSE") {
    customer.SetAddress1(v);
  } else if (key == "POSTNR") {
    customer.SetZipCode(v);
  } else if (key == "ORDRENO") {
    inspection.SetOrderNo(v);
  } else {
    return false;
  }
  return true;
}

// Windows-1252's characters for bytes 0x80-0x9F; its five undefined bytes
// keep their ISO 8859-1 meaning.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Valid UTF-8 with at least one multi-byte sequence: plain ASCII proves
// nothing, and 8-bit text is almost never valid UTF-8 by chance.
bool IsMultiByteUtf8(std::string_view bytes) {
  bool multiByte = false;
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t start = i;
    const char32_t cp = DecodeUtf8(bytes, i);
    if (cp == 0xFFFD && i - start == 1) return false;
    multiByte |= i - start > 1;
  }
  return multiByte;
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

JobFileBytes ReadRetryingWhileLocked(const std::filesystem::path& path, IJobFileAccess& files) {
  const auto started = files.Now();
  JobFileBytes read = files.Read(path);
  while (read.status == JobFileBytes::Status::kLocked &&
         files.Now() - started < kLockedJobFilePatience) {
    files.Wait(kLockedJobFileRetry);
    read = files.Read(path);
  }
  return read;
}

}  // namespace

std::string StripQuotes(std::string_view field) { return StripQuotesImpl(field); }
std::u16string StripQuotes(std::u16string_view field) { return StripQuotesImpl(field); }

bool InterpretCommandLineJob(std::u16string_view text, Tindrel2CustomerData2& customer,
                             Tindrel2InspectionData2& inspection) {
  // An empty field between two separators survives as one space.
  std::u16string buffer;
  buffer.reserve(kCommandLineJobMax);
  for (size_t i = 0; i < text.size() && buffer.size() < kCommandLineJobMax; ++i) {
    buffer.push_back(text[i]);
    if (text[i] == kCommandLineSeparator && i + 1 < text.size() &&
        text[i + 1] == kCommandLineSeparator && buffer.size() < kCommandLineJobMax)
      buffer.push_back(u' ');
  }
  // A cut inside a surrogate pair leaves half a character: drop it.
  if (!buffer.empty() && buffer.back() >= 0xD800 && buffer.back() <= 0xDBFF) buffer.pop_back();

  const auto raw = SplitFields<char16_t>(buffer, kCommandLineSeparator);
  std::vector<std::string> fields;
  for (size_t i = 0; i < raw.size() && i < kPositionalFields; ++i)
    fields.push_back(Utf16ToUtf8(StripQuotes(std::u16string_view(raw[i]))));
  ApplyPositionalFields(std::move(fields), customer, inspection);

  // Position 11 is taken as it is, without quote stripping.
  if (raw.size() > kPositionalFields && !raw[kPositionalFields].empty())
    inspection.SetOrderNo(Utf16ToUtf8(Trim(std::u16string_view(raw[kPositionalFields]))));
  return true;
}

JobVerdict InterpretJobLine(std::string_view line, Tindrel2CustomerData2& customer,
                            Tindrel2InspectionData2& inspection) {
  const auto raw = SplitFields<char>(line, kJobLineSeparator);
  std::vector<std::string> fields;
  for (size_t i = 0; i < raw.size() && i < kPositionalFields; ++i)
    fields.push_back(StripQuotes(raw[i]));
  ApplyPositionalFields(std::move(fields), customer, inspection);
  if (Trim(inspection.RegNo()).empty() && Trim(inspection.VIN()).empty())
    return {JobVerdict::Kind::kNothingToSave,
            "b\u00e5de kjennemerke og understellsnummer mangler"};
  return {};
}

JobVerdict InterpretJobKeyValues(const std::vector<std::string>& lines,
                                 Tindrel2CustomerData2& customer,
                                 Tindrel2InspectionData2& inspection, IJobUi& ui) {
  customer.SetIsCompany(false);
  bool recognised = false;
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    const std::string_view whole(line);
    const std::string key =
        eq == std::string::npos ? std::string() : UpperKey(Trim(whole.substr(0, eq)));
    const std::string_view value =
        eq == std::string::npos ? std::string_view() : Trim(whole.substr(eq + 1));
    if (key.empty() || value.empty()) continue;
    ui.ShowJobLine("Key: " + key + " ,Value: " + std::string(value));
    try {
      recognised |= ApplyKey(key, value, customer, inspection);
    } catch (const std::exception& e) {
      return {JobVerdict::Kind::kStopped, e.what()};
    }
  }
  if (!recognised)
    return {JobVerdict::Kind::kNothingToSave,
            "ingen linje har et kjent n\u00f8kkelord"};
  return {};
}

std::string DecodeJobFileText(std::string_view bytes) {
  const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
    const bool littleEndian = bytes[0] == '\xFF';
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto first = static_cast<unsigned char>(bytes[i]);
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      units.push_back(static_cast<char16_t>(littleEndian ? second << 8 | first
                                                         : first << 8 | second));
    }
    return Utf16ToUtf8(units);
  }
  const bool utf8Mark = startsWith("\xEF\xBB\xBF");
  if (utf8Mark) bytes.remove_prefix(3);
  // Ctrl-Z ends the text: what follows it does not choose the encoding.
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 4);
  if (utf8Mark || IsMultiByteUtf8(bytes)) {
    ForEachCodePoint(bytes, [&](char32_t cp) { AppendUtf8(text, cp); });
  } else {
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      AppendUtf8(text, b >= 0x80 && b <= 0x9F ? kWindows1252High[b - 0x80] : b);
    }
  }
  return text;
}

std::vector<std::string> SplitJobFileText(std::string_view text) {
  text = text.substr(0, text.find('\x1A'));
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < text.size()) {
    // One piece: up to a line end, at most kJobFilePieceMax characters.
    const size_t start = i;
    size_t characters = 0;
    while (i < text.size() && characters < kJobFilePieceMax && text[i] != '\n' &&
           text[i] != '\r') {
      DecodeUtf8(text, i);
      ++characters;
    }
    const std::string_view piece = text.substr(start, i - start);
    // A line end right after the piece belongs to it, also after a full one.
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && text[i] == '\n') ++i;
    if (!Trim(piece).empty()) lines.emplace_back(piece);
  }
  return lines;
}

std::string MissingJobFileMessage(const std::filesystem::path& path) {
  return "Fant ikke jobbfilen \u00ab" + PathText(path) + "\u00bb.";
}

JobFileResult ReadJobFile(const std::filesystem::path& path, Tindrel2CustomerData2& customer,
                          Tindrel2InspectionData2& inspection, IJobUi& ui,
                          IJobFileAccess& files) {
  const JobFileBytes read = ReadRetryingWhileLocked(path, files);
  const std::string name = "\u00ab" + PathText(path) + "\u00bb";
  switch (read.status) {
    case JobFileBytes::Status::kRead:
      break;
    case JobFileBytes::Status::kMissing:
      return {JobFileOutcome::kMissing, MissingJobFileMessage(path)};
    case JobFileBytes::Status::kLocked:
      return {JobFileOutcome::kLocked,
              "Jobbfilen " + name + " er fortsatt i bruk av et annet program og kunne ikke leses."};
    case JobFileBytes::Status::kFailed:
      return {JobFileOutcome::kUnreadable,
              "Kunne ikke lese jobbfilen " + name + ": " + read.reason + "."};
  }
  const std::vector<std::string> lines = SplitJobFileText(DecodeJobFileText(read.bytes));
  if (lines.empty()) throw Error("Fant ikke data i datafilen");
  const JobVerdict verdict = lines.size() == 1
                                 ? InterpretJobLine(lines[0], customer, inspection)
                                 : InterpretJobKeyValues(lines, customer, inspection, ui);
  switch (verdict.kind) {
    case JobVerdict::Kind::kAccepted:
      break;
    case JobVerdict::Kind::kNothingToSave:
      return {JobFileOutcome::kRefused, "Jobbfilen " + name + " ble avvist: " + verdict.reason + "."};
    case JobVerdict::Kind::kStopped:
      return {JobFileOutcome::kAborted,
              "Jobbfilen " + name + " ble avbrutt: " + verdict.reason + "."};
  }
  return {};
}

}  // namespace tindrel
