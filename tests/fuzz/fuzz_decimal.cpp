// xs:decimal parsing: canonical text must parse to itself.
#include <cstdint>
#include <string_view>

#include "contract/decimal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto value = tindrel::XsDecimal::Parse(text);
  if (!value) return 0;
  (void)value->TruncatedInt32();
  const auto again = tindrel::XsDecimal::Parse(value->Text());
  if (!again || !(*again == *value)) __builtin_trap();
  return 0;
}
