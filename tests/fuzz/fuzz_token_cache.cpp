// The token cache reader on arbitrary file bytes. A token that comes back,
// written again and read again, must come back the same.
#include <cstdint>
#include <string>
#include <string_view>

#include "session/token_cache.h"
#include "tests/portable/session/date_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tindrel::test::DateOnlyPlatform platform;
  const tindrel::TokenCacheContents read = tindrel::DecodeTokenCache(bytes, "SALT", platform);
  if (read.serviceAddress.size() > 2 * tindrel::kTokenCacheLineMax) __builtin_trap();
  if (!read.token) return 0;

  const std::string written = tindrel::EncodeTokenCache(read.serviceAddress, *read.token, platform);
  const tindrel::TokenCacheContents again = tindrel::DecodeTokenCache(written, "SALT", platform);
  if (again.serviceAddress != read.serviceAddress) __builtin_trap();
  // Numbers and the date are written in their shortest form, which can bring
  // line 2 under the length that holds a token; otherwise it must survive.
  const size_t line2 = written.size() - (written.find('\n') + 1);
  if (line2 < tindrel::kTokenLineMinimum) return 0;
  if (!again.token || !tindrel::SameFields(*again.token, *read.token)) __builtin_trap();
  return 0;
}
