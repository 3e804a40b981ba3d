#include "jobfile/job_interpreter.h"

#include <fstream>
#include <iterator>

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
  const auto number = ParseInt32(f[0]);
  customer.SetCustomerNo(number ? std::to_string(*number) : "0");
  inspection.SetCustomerNo(customer.CustomerNo());
}

// Upper case in ISO 8859-1: ASCII letters and the accented letters.
std::string UpperLatin1(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7))
      c = static_cast<char>(b - 0x20);
  }
  return out;
}

void ApplyKey(std::string_view key, std::string_view latin1Value, Tindrel2CustomerData2& customer,
              Tindrel2InspectionData2& inspection) {
  const std::string value = Latin1ToUtf8(latin1Value);
  if (key == "TYPE") {
    if (latin1Value[0] == 'T') throw SilentAbort("Takst er ikke st\u00f8ttet");
  } else if (key == "ORG") {
    if (latin1Value[0] == 'Y') customer.SetIsCompany(true);
  } else if (key == "KJMERKE") {
    inspection.SetRegNo(value);
  } else if (key == "CHASSISNR") {
    inspection.SetVIN(value);
  } else if (key == "TAKSTNR") {
    // Valuation numbers are not used.
  } else if (key == "TIDLKONTNR") {
    inspection.SetPreviousInspectionNo(value);
  } else if (key == "KUNDENR") {
    inspection.SetCustomerNo(value);
    customer.SetCustomerNo(value);
  } else if (key == "FORNAVN") {
    customer.SetFirstName(value);
  } else if (key == "MELLOMNAVN") {
    customer.SetMiddleName(value);
  } else if (key == "NAVN") {
    customer.SetName(value);
  } else if (key == "ADRESSE") {
    customer.SetAddress1(value);
  } else if (key == "POSTNR") {
    customer.SetZipCode(value);
  } else if (key == "ORDRENO") {
    inspection.SetOrderNo(value);
  }
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

bool InterpretJobLine(std::string_view latin1Line, Tindrel2CustomerData2& customer,
                      Tindrel2InspectionData2& inspection) {
  const auto raw = SplitFields<char>(latin1Line, kJobLineSeparator);
  std::vector<std::string> fields;
  for (size_t i = 0; i < raw.size() && i < kPositionalFields; ++i)
    fields.push_back(Latin1ToUtf8(StripQuotes(raw[i])));
  ApplyPositionalFields(std::move(fields), customer, inspection);
  return true;
}

bool InterpretJobKeyValues(const std::vector<std::string>& lines, Tindrel2CustomerData2& customer,
                           Tindrel2InspectionData2& inspection, IJobUi& ui) {
  customer.SetIsCompany(false);
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    const std::string_view whole(line);
    const std::string key = eq == std::string::npos ? std::string()
                                                    : UpperLatin1(Trim(whole.substr(0, eq)));
    const std::string_view value =
        eq == std::string::npos ? std::string_view() : Trim(whole.substr(eq + 1));
    if (key.empty() || value.empty()) continue;
    ui.ShowJobLine(Latin1ToUtf8("Key: " + key + " ,Value: " + std::string(value)));
    try {
      ApplyKey(key, value, customer, inspection);
    } catch (const std::exception&) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> SplitJobFileText(std::string_view bytes) {
  const size_t eof = bytes.find('\x1A');
  if (eof != bytes.npos) bytes = bytes.substr(0, eof);
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < bytes.size()) {
    // One piece: up to and including a line feed, at most kJobFilePieceMax.
    size_t n = 0;
    while (i + n < bytes.size() && n < kJobFilePieceMax && bytes[i + n] != '\n') ++n;
    std::string_view piece = bytes.substr(i, n);
    i += n;
    if (i < bytes.size() && bytes[i] == '\n') ++i;
    const size_t cr = piece.find('\r');
    if (cr != piece.npos) piece = piece.substr(0, cr);
    if (!Trim(piece).empty()) lines.emplace_back(piece);
  }
  return lines;
}

bool ReadJobFile(const std::filesystem::path& path, Tindrel2CustomerData2& customer,
                 Tindrel2InspectionData2& inspection, IJobUi& ui) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  const std::vector<std::string> lines = SplitJobFileText(bytes);
  if (lines.empty()) throw Error("Fant ikke data i datafilen");
  if (lines.size() == 1) return InterpretJobLine(lines[0], customer, inspection);
  return InterpretJobKeyValues(lines, customer, inspection, ui);
}

}  // namespace tindrel
