#pragma once
// The token cache file "Tindrel2.dat": the service address and the last
// token, kept between runs in the user's roaming application data.
//
// One byte per character, ISO 8859-1 ("?" stands for anything beyond it).
// Line 1 is the service address and ends with CR LF; line 2 is the token,
// six TAB-separated fields with no line end after the last:
//   CustomerName, CustomerNo, UserName, UserID,
//   ValidTo (its local date in the user's short date format), Signature.
// Reading turns CR LF into LF and stops at Ctrl-Z. A line 2 of 50 characters
// or fewer holds no token. ValidTo comes back at 12:00 of its date; the
// token's Salt is never stored and is set from the machine on reading.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "contract/records.h"
#include "session/session_platform.h"

namespace tindrel {

inline constexpr size_t kTokenCacheLineMax = 10239;  // longer lines are cut here
inline constexpr size_t kTokenLineMinimum = 51;      // shorter lines hold no token

struct TokenCacheContents {
  std::string serviceAddress;                // UTF-8; empty when line 1 was
  std::unique_ptr<ORVSecurityToken2> token;  // null when line 2 holds none
};

// The file's bytes for `address` and `token`.
std::string EncodeTokenCache(const std::string& address, const ORVSecurityToken2& token,
                             ISessionPlatform& platform);

// Reads the file's bytes. A malformed line 2 (a TAB missing, a number or the
// date unreadable) gives no token; the address is kept all the same.
TokenCacheContents DecodeTokenCache(std::string_view bytes, const std::string& machineSalt,
                                    ISessionPlatform& platform);

}  // namespace tindrel
