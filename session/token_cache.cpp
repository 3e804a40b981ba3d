#include "session/token_cache.h"

#include <optional>
#include <vector>

#include "base/text.h"

namespace tindrel {
namespace {

constexpr char kCtrlZ = 26;

std::string IntText(int32_t v) { return std::to_string(v); }

// The lines as a text-mode read delivers them: up to Ctrl-Z, CR LF as LF,
// each line cut to kTokenCacheLineMax characters (the rest of a longer line
// is dropped, not taken for the next line).
std::vector<std::string_view> ReadLines(std::string_view bytes, size_t wanted) {
  const size_t end = bytes.find(kCtrlZ);
  if (end != bytes.npos) bytes = bytes.substr(0, end);
  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (lines.size() < wanted && pos < bytes.size()) {
    size_t lf = bytes.find('\n', pos);
    const size_t next = lf == bytes.npos ? bytes.size() : lf + 1;
    if (lf == bytes.npos) lf = bytes.size();
    std::string_view line = bytes.substr(pos, lf - pos);
    if (!line.empty() && line.back() == '\r' && lf < bytes.size()) line.remove_suffix(1);
    if (line.size() > kTokenCacheLineMax) line = line.substr(0, kTokenCacheLineMax);
    lines.push_back(line);
    pos = next;
  }
  return lines;
}

std::unique_ptr<ORVSecurityToken2> ParseTokenLine(std::string_view line,
                                                  const std::string& machineSalt,
                                                  ISessionPlatform& platform) {
  std::string_view piece[6];
  for (int i = 0; i < 5; ++i) {
    const size_t tab = line.find('\t');
    if (tab == line.npos) return nullptr;
    piece[i] = line.substr(0, tab);
    line.remove_prefix(tab + 1);
  }
  piece[5] = line;

  const std::optional<int32_t> customerNo = ParseInt32(piece[1]);
  const std::optional<int32_t> userId = ParseInt32(piece[3]);
  if (!customerNo || !userId) return nullptr;
  const std::optional<CalendarDate> validTo = platform.ParseShortDate(Latin1ToUtf8(piece[4]));
  if (!validTo) return nullptr;

  auto token = std::make_unique<ORVSecurityToken2>();
  token->SetCustomerName(Latin1ToUtf8(piece[0]));
  token->SetCustomerNo(*customerNo);
  token->SetUserName(Latin1ToUtf8(piece[2]));
  token->SetUserID(*userId);
  token->SetValidTo(XsDateTime::FromLocal(
      LocalDateTime{validTo->year, validTo->month, validTo->day, 12, 0, 0, 0},
      platform.TimeZone()));
  token->SetSignature(Latin1ToUtf8(piece[5]));
  token->SetSalt(machineSalt);
  return token;
}

}  // namespace

std::string EncodeTokenCache(const std::string& address, const ORVSecurityToken2& token,
                             ISessionPlatform& platform) {
  // A token without ValidTo gets an empty date field, which makes the cached
  // token unreadable at the next start: the user is asked to log in again.
  std::string validTo;
  if (const XsDateTime* v = token.ValidTo()) {
    const LocalDateTime local = v->AsLocal(platform.TimeZone());
    validTo = platform.FormatShortDate(CalendarDate{local.year, local.month, local.day});
  }
  std::string text = address;
  text += "\r\n";
  text += token.CustomerName();
  text += '\t';
  text += IntText(token.CustomerNo());
  text += '\t';
  text += token.UserName();
  text += '\t';
  text += IntText(token.UserID());
  text += '\t';
  text += validTo;
  text += '\t';
  text += token.Signature();
  return Utf8ToLatin1(text);
}

TokenCacheContents DecodeTokenCache(std::string_view bytes, const std::string& machineSalt,
                                    ISessionPlatform& platform) {
  TokenCacheContents contents;
  const std::vector<std::string_view> lines = ReadLines(bytes, 2);
  if (!lines.empty()) contents.serviceAddress = Latin1ToUtf8(lines[0]);
  if (lines.size() > 1 && lines[1].size() >= kTokenLineMinimum)
    contents.token = ParseTokenLine(lines[1], machineSalt, platform);
  return contents;
}

}  // namespace tindrel
